# `cmake --install` of the build into a scratch prefix: every interface language's module must
# land beside the interface library, where LoadLanguageModule looks for it.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P install_check.cmake
set(expected rt7700PCL5eui rt7700PCL5eenus rt7700PCL5ede rt7700PCL5ear rt7700PCL5ezhcn rt7700PCL5ezhtw
             rt7700PCL5eru rt7700PCL5eja rt7700PCL5efr rt7700PCL5eit rt7700PCL5eesmx rt7700PCL5esv
             rt7700PCL5eno rt7700PCL5etr)
file(REMOVE_RECURSE ${PREFIX})
# The CUPS component installs to the system's own folders whatever the prefix; it is left out.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --component Unspecified
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
set(missing)
foreach(module ${expected})
  if(NOT EXISTS ${PREFIX}/lib/${module}.so)
    list(APPEND missing ${module}.so)
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
if(missing)
  message(FATAL_ERROR "not installed beside the interface library: ${missing}")
endif()
list(LENGTH expected count)
message(STATUS "${count} libraries installed in lib/")
