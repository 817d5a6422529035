# Warnings are errors on every compiler we build with (GCC, clang, mingw-w64).
function(project_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wconversion
    -Wno-sign-conversion)
endfunction()
