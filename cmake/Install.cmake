# `cmake --install`: the tools, the libraries they load from <bin>/../lib, and (tools/cups) the
# CUPS filter and PPD.
include(GNUInstallDirs)
get_property(rt7700_language_modules GLOBAL PROPERTY RT7700_LANGUAGE_MODULES)
set(rt7700_installed rt7700-print rt7700-devmode platform rt7700PCL5edr rt7700PCL5eui ${rt7700_language_modules})
foreach(target ${rt7700_installed})
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} LIBRARY DESTINATION lib)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "\$ORIGIN/../lib")
  endif()
endforeach()
if(TARGET rt7700-pdftopcl)
  set_target_properties(rt7700-pdftopcl PROPERTIES INSTALL_RPATH "${CMAKE_INSTALL_PREFIX}/lib")
endif()
