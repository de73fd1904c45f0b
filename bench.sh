#!/usr/bin/env bash
# Builds the settings program and its benchmark as a release would be built
# (-O2, stripped) in build/bench, and runs the benchmark under Wine in a prefix
# of its own. Prints the machine, Wine's version, the date and the table.
#   ./bench.sh [runs]      (runs: the median is taken of this many; default 5)
set -uo pipefail
cd "$(dirname "$0")"
. scripts/env.sh
zendrel_ensure_packages || exit 1

cmake -S . -B build/bench -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS="-s" \
  -DBUILD_TESTING=OFF >/dev/null || exit 1
cmake --build build/bench --target zendrel_bench ZendrelPanel bare_window bare_window_styled \
  bare_window_controls zendrelctl || exit 1

zendrel_wine_session "$PWD/build/bench/wineprefix"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(uname -sr)"
echo "wine:    $(wine --version)"
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "build:   -O2, stripped (build/bench)"
echo
wine build/bench/bin/zendrel_bench.exe "${1:-5}" | tr -d '\r'
