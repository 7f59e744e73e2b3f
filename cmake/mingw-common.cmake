# Shared part of the two mingw-w64 toolchain files; SONDREL_MINGW_TRIPLET names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SONDREL_MINGW_TRIPLET})

# The -posix variants carry std::thread and std::mutex.
set(CMAKE_C_COMPILER ${SONDREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SONDREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SONDREL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SONDREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest and gtest_discover_tests run the test programs under Wine.
find_program(SONDREL_WINE NAMES wine)
if(SONDREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SONDREL_WINE})
endif()
