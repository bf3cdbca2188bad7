# Compiler flags for every target of the project.
add_compile_options(-Wall -Wextra -Werror)

if(MORAINE_SANITIZE AND MORAINE_SANITIZERS STREQUAL "thread")
  # ThreadSanitizer for the parts that run on several threads; it cannot be combined with the others.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(MORAINE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MORAINE_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (libFuzzer)")
  endif()
  # Coverage feedback must reach into the parsers, not only the fuzz entry points.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
