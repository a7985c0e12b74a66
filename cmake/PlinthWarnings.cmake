# Warnings are on for every target of ours; CI turns them into errors.
function(plinth_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(PLINTH_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
