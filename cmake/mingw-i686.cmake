# Cross build for 32-bit Windows with Debian's MinGW-w64 (posix threads, which
# GoogleTest needs for std::mutex). Programs built here run under Wine.
set(ZENDREL_MINGW_CPU i686)
set(ZENDREL_WINE_RUN wine-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
