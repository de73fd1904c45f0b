#!/usr/bin/env bash
# Installs what is missing, builds, and opens the settings window under Wine
# with a prefix of its own (its registry holds the settings you make here).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/env.sh
zendrel_ensure_packages
cmake --preset windows >/dev/null
cmake --build --preset windows
bin="$PWD/build/windows/bin"
if [ ! -f "$bin/ZendrelPanel.exe" ]; then
  echo "Built: $(cd "$bin" && ls *.exe | tr '\n' ' ')"
  exit 0
fi
# The installer puts urls.txt beside the program; the program never creates it.
[ -f "$bin/urls.txt" ] || : > "$bin/urls.txt"
zendrel_wine_session "$PWD/build/run/wineprefix"
[ -n "${zendrel_xvfb_pid:-}" ] && echo "No display: the window opens on Xvfb $DISPLAY"
wine "$bin/ZendrelPanel.exe" "$@"
