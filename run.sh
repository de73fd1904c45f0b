#!/usr/bin/env bash
# Installs what is missing, builds, and opens the settings window under Wine
# with a prefix of its own (its registry holds the settings you make here).
# On a machine without a display it instead takes screenshots of the window
# on an Xvfb of its own: the main window at 96 and 144 DPI and the password
# dialog, in build/screenshots/*.png, and closes the program again.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/env.sh
. scripts/wine-fonts.sh
zendrel_ensure_packages || exit 1
# The 32-bit build, or the 64-bit one where 32-bit Wine cannot run here.
preset=windows
[ "$(zendrel_wine_arch)" = win64 ] && preset=windows-x64
cmake --preset $preset >/dev/null
cmake --build --preset $preset
bin="$PWD/build/$preset/bin"
if [ ! -f "$bin/ZendrelPanel.exe" ]; then
  echo "Built: $(cd "$bin" && ls *.exe | tr '\n' ' ')"
  exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
  out="$PWD/build/screenshots"
  echo "No display: taking screenshots of the window on an Xvfb of its own"
  # A prefix of the screenshots' own, with sample settings and a password.
  scripts/screenshots.sh "$bin" "$out" "$out/wineprefix" >/dev/null
  echo "Screenshots of ZendrelPanel.exe (the program is closed again):"
  echo "  $out/main-96dpi.png     the main window at 96 DPI"
  echo "  $out/main-144dpi.png    the main window at 144 DPI"
  echo "  $out/password.png       the password dialog"
  exit 0
fi

# The installer puts urls.txt beside the program; the program never creates it.
[ -f "$bin/urls.txt" ] || : > "$bin/urls.txt"
zendrel_wine_session "$PWD/build/run/wineprefix"
# The window in Wine's own Tahoma (see scripts/wine-fonts.sh).
zendrel_link_wine_fonts
wine "$bin/ZendrelPanel.exe" "$@"
