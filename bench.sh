#!/usr/bin/env bash
# Builds the settings program and its benchmark as a release would be built
# (-O2, stripped) in build/bench, and runs the benchmark under Wine in a prefix
# of its own. Prints the machine, Wine's version, the date and the table.
#   ./bench.sh [runs]      (runs: the median is taken of this many; default 5)
#   ./bench.sh --guard     the guard's rows alone (about three minutes)
set -uo pipefail
cd "$(dirname "$0")"
. scripts/env.sh
zendrel_ensure_packages || exit 1

# The shipped 32-bit build, or the 64-bit one where the machine runs no 32-bit
# code (the figures are then those of 64-bit programs: the table says which).
toolchain=cmake/mingw-i686.cmake dir=build/bench
[ "$(zendrel_wine_arch)" = win64 ] && toolchain=cmake/mingw-x86_64.cmake dir=build/bench-x64
cmake -S . -B $dir -G Ninja -DCMAKE_TOOLCHAIN_FILE=$toolchain \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS="-s" \
  -DBUILD_TESTING=OFF >/dev/null || exit 1
cmake --build $dir --target zendrel_bench ZendrelPanel bare_window bare_window_styled \
  bare_window_controls zendrelctl ZendrelGuard bare_console bare_service pupil || exit 1

zendrel_wine_session "$PWD/$dir/wineprefix"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(uname -sr)"
echo "wine:    $(wine --version)"
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "build:   -O2, stripped ($dir), $(zendrel_wine_arch)"
echo
wine $dir/bin/zendrel_bench.exe "${1:-5}" | tr -d '\r'
