#!/usr/bin/env bash
# Screenshots of the real ZendrelPanel.exe under Wine, on an Xvfb of their own
# (so they look the same whatever display you have):
#   scripts/screenshots.sh [--fallback DIR] BIN_DIR OUT_DIR PREFIX
#     OUT_DIR/main-96dpi.png     the main window at 96 DPI (100 %)
#     OUT_DIR/main-144dpi.png    the main window at 144 DPI (150 %)
#     OUT_DIR/password.png       the password dialog, at 96 DPI
# PREFIX is a Wine prefix of the screenshots' own (created when missing; its
# registry holds the sample settings shown). The program runs from a copy in
# the prefix beside a sample urls.txt, and is ended by its process id after
# each picture. With --fallback, a failure copies DIR/*.png instead, warns and
# exits 0 (the help build uses this); without it a failure exits 1.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

fallback=""
if [ "${1:-}" = --fallback ]; then
  fallback=$2
  shift 2
fi
bin=${1:?usage: screenshots.sh [--fallback DIR] BIN_DIR OUT_DIR PREFIX}
out=${2:?OUT_DIR}
prefix=${3:?PREFIX}
mkdir -p "$out"

give_up() {
  echo "screenshots: $*" >&2
  if [ -n "$fallback" ]; then
    echo "screenshots: WARNING: using the stored pictures of $fallback instead" >&2
    cp "$fallback"/*.png "$out"/
    exit 0
  fi
  exit 1
}

for tool in wine Xvfb xdotool xwd xwdtopnm pnmtopng; do
  command -v "$tool" >/dev/null 2>&1 || give_up "$tool is missing"
done
[ -f "$bin/ZendrelPanel.exe" ] || give_up "no $bin/ZendrelPanel.exe"

# A display of our own: zendrel_wine_session starts Xvfb when DISPLAY is unset
# and stops it (and the prefix's wineserver) when this script exits.
. "$here/scripts/env.sh"
. "$here/scripts/wine-fonts.sh"
unset DISPLAY
zendrel_wine_session "$prefix" >/dev/null 2>&1
[ -n "${DISPLAY:-}" ] || give_up "no Xvfb"
# The window in Wine's own Tahoma, as on Windows, not in a fallback face.
zendrel_link_wine_fonts

app="$WINEPREFIX/drive_c/Zendrel"
mkdir -p "$app"
cp "$bin/ZendrelPanel.exe" "$app/"
printf 'www.orvantix.example\r\nschool.example.org\r\nencyclopedia.example.net\r\n' >"$app/urls.txt"
key='HKLM\Software\Orvantix\Zendrel'
reg() { wine reg "$@" >/dev/null 2>&1; }
reg add "$key" /v requests /t REG_MULTI_SZ /d 'games.example.com\0news.example.org' /f
reg add "$key" /v activitylogging /t REG_DWORD /d 1 /f
reg add 'HKCU\Software\Orvantix\Zendrel' /v mode /t REG_DWORD /d 1 /f
reg delete "$key" /v config /f
reg delete "$key" /v hint /f

pid=""
stop_program() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    pid=""
  fi
}
trap 'stop_program; zendrel_end_session' EXIT

# shoot TITLE FILE: starts the program, waits for the window TITLE, saves it.
shoot() {
  local title=$1 file=$2 wid="" i
  wine "$app/ZendrelPanel.exe" </dev/null >/dev/null 2>&1 &
  pid=$!
  for i in $(seq 100); do
    wid=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | tail -1)
    [ -n "$wid" ] && break
    sleep 0.2
  done
  [ -n "$wid" ] || give_up "the window \"$title\" did not appear"
  sleep 1.5  # let it paint
  xwd -silent -id "$wid" | xwdtopnm 2>/dev/null | pnmtopng >"$out/$file" 2>/dev/null
  stop_program
  [ -s "$out/$file" ] || give_up "no picture of \"$title\""
  echo "$out/$file"
}

dpi() { reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f; }

dpi 96
shoot 'Zendrel Settings' main-96dpi.png
dpi 144
shoot 'Zendrel Settings' main-144dpi.png
dpi 96
# The password "secret" (its MD5 digest, as the program stores it) and a hint.
reg add "$key" /v config /t REG_SZ /d "$(printf secret | md5sum | cut -c1-32)" /f
reg add "$key" /v hint /t REG_SZ /d 'the name of the school' /f
shoot 'Enter Password to Access Zendrel Settings' password.png
reg delete "$key" /v config /f
reg delete "$key" /v hint /f
exit 0
