# libmp3lame 3.100, the MP3 encoder, built from Debian's source package for this build's
# architecture by scripts/build-lame.sh. The result is cached in SONDREL_CACHE_DIR (outside
# git and every build folder), so only the first configure per architecture builds it.
# Defines the imported static library sondrel::mp3lame.
set(SONDREL_CACHE_DIR ${PROJECT_SOURCE_DIR}/.cache CACHE PATH "Cache of third-party builds")

if(WIN32)
  set(_lame_arch ${SONDREL_MINGW_TRIPLET})
else()
  set(_lame_arch native)
endif()
# The folder scripts/build-lame.sh builds into ("fast": LAME's own optimisation flags).
set(_lame_prefix ${SONDREL_CACHE_DIR}/lame-3.100-fast-${_lame_arch})

if(NOT EXISTS ${_lame_prefix}/.complete)
  message(STATUS "Building libmp3lame 3.100 for ${_lame_arch} into ${_lame_prefix}")
  execute_process(
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/build-lame.sh
            ${_lame_arch} ${SONDREL_CACHE_DIR} ${CMAKE_C_COMPILER}
    RESULT_VARIABLE _lame_result)
  if(NOT _lame_result EQUAL 0)
    message(FATAL_ERROR "Could not build libmp3lame for ${_lame_arch}")
  endif()
endif()

add_library(sondrel::mp3lame STATIC IMPORTED GLOBAL)
set_target_properties(sondrel::mp3lame PROPERTIES
  IMPORTED_LOCATION ${_lame_prefix}/lib/libmp3lame.a
  INTERFACE_INCLUDE_DIRECTORIES ${_lame_prefix}/include)
if(NOT WIN32)
  set_property(TARGET sondrel::mp3lame PROPERTY INTERFACE_LINK_LIBRARIES m)
endif()
