#!/usr/bin/env bash
# Cross-builds into build/NAME and runs ctest there under Wine, with a prefix
# of that build's own (so several builds can test side by side).
#   scripts/wine-ctest.sh NAME [ctest arguments, e.g. -R Md5]
set -uo pipefail
cd "$(dirname "$0")/.."
name=${1:?usage: scripts/wine-ctest.sh NAME [ctest arguments]}
shift
. scripts/env.sh
zendrel_ensure_packages || exit 1
# The 32-bit build, or the 64-bit one where 32-bit Wine cannot run here.
preset=windows
[ "$(zendrel_wine_arch)" = win64 ] && preset=windows-x64
cmake --preset $preset -B "build/$name" >/dev/null || exit 1
cmake --build "build/$name" || exit 1
zendrel_wine_session "$PWD/build/$name/wineprefix"
ctest --test-dir "build/$name" --output-on-failure -j2 "$@"
