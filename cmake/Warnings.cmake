# orv_warnings(target): the project's warning set; warnings are errors unless ORV_WERROR is off.
function(orv_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${ORV_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                           $<$<BOOL:${ORV_WERROR}>:-Werror>)
  endif()
endfunction()
