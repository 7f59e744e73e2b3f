# GoogleTest from Debian's source package, built with the same compiler as the program.
set(SONDREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${SONDREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# sondrel_add_gtest(<target> SOURCES ... LIBS ... [NO_AUDIO] [EXCLUSIVE] [LIVE] [BUSY] [TIMEOUT s])
# Builds a GoogleTest program and registers each of its cases with ctest. Under Wine every
# case is one Wine process; the test script keeps one wineserver running so that is cheap.
# NO_AUDIO runs the cases where Wine sees no audio device at all. EXCLUSIVE marks cases that
# need the foreground window or the keyboard focus, or that change the virtual capture
# devices installed in the shared Wine prefix: they never run alongside each other.
# LIVE cases capture from the sound server as Wine lists it: each runs in the run's
# live-capture prefix (no virtual capture device there) with a PulseAudio daemon of its own
# (scripts/wine-live.sh), one at a time. BUSY cases keep every core busy for seconds (many
# programs crashing at once): they never run beside the LIVE cases, which capture in real time.
function(sondrel_add_gtest target)
  cmake_parse_arguments(arg "NO_AUDIO;EXCLUSIVE;LIVE;BUSY" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${arg_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_link_libraries(${target} PRIVATE ${arg_LIBS} GTest::gmock GTest::gtest)
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  set(properties TIMEOUT ${arg_TIMEOUT})
  if(arg_NO_AUDIO)
    # Wine's PulseAudio driver then finds no server and lists no device.
    list(APPEND properties ENVIRONMENT "PULSE_SERVER=unix:/nonexistent/sondrel-no-audio")
  endif()
  if(arg_EXCLUSIVE)
    list(APPEND properties RESOURCE_LOCK wine_desktop_and_devices)
  endif()
  if(arg_LIVE)
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-live.sh)
  endif()
  if(arg_LIVE OR arg_BUSY)
    list(APPEND properties RESOURCE_LOCK live_capture)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    NO_PRETTY_VALUES
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()
