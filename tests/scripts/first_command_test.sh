#!/usr/bin/env bash
# The README's first command as a machine without a display runs it, after
# test.sh has installed and built everything: ./run.sh must ask apt nothing
# (an apt-get that fails every call stands first on PATH), build on what
# test.sh built, and leave the three screenshots, each a PNG of the window's
# size. Run by .ci/run.
set -uo pipefail
cd "$(dirname "$0")/../.."
stand=$(mktemp -d)
trap 'rm -rf "$stand"' EXIT
printf '#!/bin/sh\necho "apt-get $*" >>"%s/calls"\nexit 100\n' "$stand" >"$stand/apt-get"
chmod +x "$stand/apt-get"
rm -f build/screenshots/*.png

failures=0 passed=0
check() {
  if eval "$2"; then passed=$((passed + 1)); else failures=$((failures + 1)); echo "FAILED: $1"; fi
}
# png_size FILE: "WIDTHxHEIGHT" from the PNG's header, or nothing.
png_size() {
  [ "$(head -c 8 "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || return
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}

env -u DISPLAY PATH="$stand:$PATH" ./run.sh </dev/null
check "./run.sh without a display exits 0" '[ $? -eq 0 ]'
check "./run.sh asks apt nothing once test.sh installed everything" '[ ! -e "$stand/calls" ]'
# The sizes of the windows as this Wine draws them: the main window at 96 and
# at 144 DPI, and the password dialog.
for shot in main-96dpi.png:431x550 main-144dpi.png:644x822 password.png:378x165; do
  file=build/screenshots/${shot%%:*}
  check "$file is a PNG of ${shot#*:} (it is $(png_size "$file"))" '[ "$(png_size "$file")" = "${shot#*:}" ]'
done
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
