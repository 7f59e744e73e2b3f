# Settings for a program that must be debuggable from a crash report:
# static runtime, DWARF 4 (what Wine's dbghelp reads), frame pointers kept.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()

add_compile_options(-Wall -Wextra -gdwarf-4 -fno-omit-frame-pointer)
set(CMAKE_CXX_FLAGS_RELEASE "-O2")
set(CMAKE_C_FLAGS_RELEASE "-O2")

if(WIN32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # ANSI program: every text is 8-bit in the system code page.
  remove_definitions(-DUNICODE -D_UNICODE)
else()
  option(SONDREL_SANITIZE "Build the native tests with AddressSanitizer and UBSan" ON)
  if(SONDREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  # The fuzz build (clang): coverage for libFuzzer in every library; the targets link it.
  option(SONDREL_FUZZ "Build the libFuzzer targets instead of the tests (clang only)" OFF)
  if(SONDREL_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()
