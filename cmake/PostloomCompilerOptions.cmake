# Warning and sanitizer flags applied per target, so that third-party code
# pulled in by find_package() is left alone.
function(postloom_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(POSTLOOM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(POSTLOOM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(POSTLOOM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "POSTLOOM_FUZZ needs clang (CXX=clang++)")
  endif()
  # Coverage instrumentation everywhere; only the fuzz targets link libFuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
