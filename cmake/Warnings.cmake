# orv_warnings(target): the project's warning set; warnings are errors when ORV_WARNINGS_AS_ERRORS is on.
function(orv_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${ORV_WARNINGS_AS_ERRORS}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                           $<$<BOOL:${ORV_WARNINGS_AS_ERRORS}>:-Werror>)
  endif()
endfunction()
