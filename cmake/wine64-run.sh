#!/bin/sh
# Runs a program of the 64-bit test build under 64-bit Wine (the machine runs
# no 32-bit code). test.sh sets WINEPREFIX, DISPLAY and a persistent
# wineserver; run by hand, this falls back to the build's own prefix.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/windows-x64/wineprefix}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
exec /usr/lib/wine/wine64 "$@"
