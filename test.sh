#!/usr/bin/env bash
# Installs what is missing, builds the presets and runs every test: the
# portable libraries natively (host), everything else under Wine on the debug
# build (windows), and the install tests on the release build, whose
# programs ZendrelSetup.exe carries (windows-release).
#
# On a machine that runs no 32-bit code (see zendrel_wine_arch in
# scripts/env.sh) the 32-bit release is still built, and the Wine tests run
# the same sources built for 64-bit Windows instead (windows-x64 and
# windows-x64-release, under 64-bit Wine).
set -uo pipefail
cd "$(dirname "$0")"
. scripts/env.sh
zendrel_ensure_packages || exit 1

status=0
cmake --preset host >/dev/null && cmake --build --preset host &&
  ctest --preset host || status=1

if [ "$(zendrel_wine_arch)" = win32 ]; then
  tests=windows release_tests=windows-release
else
  echo "The Wine tests run the 64-bit build: $(zendrel_why_wine64)."
  tests=windows-x64 release_tests=windows-x64-release
  cmake --preset windows-release >/dev/null && cmake --build --preset windows-release || status=1
fi
zendrel_wine_session "$PWD/build/$tests/wineprefix"
cmake --preset $tests >/dev/null && cmake --build --preset $tests &&
  ctest --preset $tests -LE long || status=1
cmake --preset $release_tests >/dev/null && cmake --build --preset $release_tests &&
  ctest --preset $release_tests || status=1
exit $status
