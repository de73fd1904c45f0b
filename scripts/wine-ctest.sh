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
cmake --preset windows -B "build/$name" >/dev/null || exit 1
cmake --build "build/$name" || exit 1
zendrel_wine_session "$PWD/build/$name/wineprefix"
ctest --test-dir "build/$name" --output-on-failure -j2 "$@"
