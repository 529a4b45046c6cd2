# Project-wide warning set; CI turns warnings into errors.
add_compile_options(-Wall -Wextra)
if(RT7700_WERROR)
  add_compile_options(-Werror)
endif()

# Driver libraries export only their published entry points.
function(rt7700_hide_symbols target)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()
