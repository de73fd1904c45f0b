#!/bin/sh
# Runs a Windows program of the build under Wine. test.sh sets WINEPREFIX,
# DISPLAY and a persistent wineserver; run by hand, this falls back to the
# build's own prefix.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/windows/wineprefix}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES WINEARCH=win32
exec wine "$@"
