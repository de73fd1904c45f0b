#!/usr/bin/env bash
# Installs what is missing, builds the three presets and runs every test: the
# portable libraries natively (host), everything else under Wine on the debug
# build (windows), and the install tests on the release build, whose
# programs ZendrelSetup.exe carries (windows-release).
set -uo pipefail
cd "$(dirname "$0")"
. scripts/env.sh
zendrel_ensure_packages || exit 1
zendrel_wine_session "$PWD/build/windows/wineprefix"

status=0
cmake --preset host >/dev/null && cmake --build --preset host &&
  ctest --preset host || status=1
cmake --preset windows >/dev/null && cmake --build --preset windows &&
  ctest --preset windows -LE long || status=1
cmake --preset windows-release >/dev/null && cmake --build --preset windows-release &&
  ctest --preset windows-release || status=1
exit $status
