# Compiler settings shared by every target of the project.

set(GRIDPORT_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wimplicit-fallthrough)
if(GRIDPORT_WERROR)
  list(APPEND GRIDPORT_WARNINGS -Werror)
endif()

if(GRIDPORT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(GRIDPORT_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "GRIDPORT_FUZZ needs clang (configure with CXX=clang++ CC=clang)")
  endif()
  # Everything is instrumented for coverage; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

# Strict warnings for our own targets (not for third-party code).
function(gridport_setup_target target)
  target_compile_options(${target} PRIVATE ${GRIDPORT_WARNINGS})
endfunction()
