# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads). The
# shipped programs are 32-bit; this build is what the tests run on a machine
# whose processor or kernel runs no 32-bit code (see scripts/env.sh).
set(ZENDREL_MINGW_CPU x86_64)
set(ZENDREL_WINE_RUN wine64-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
