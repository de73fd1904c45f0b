#!/usr/bin/env bash
# zendrel_ensure_packages (scripts/env.sh) against stand-ins for apt-get,
# dpkg and dpkg-query on PATH: a mirror whose 32-bit index lags (update fails,
# the 32-bit install fails), a second run, a native package that cannot be
# installed, an override, and a machine that runs no 32-bit code.
#   ensure_packages_test.sh SOURCE_DIR
set -uo pipefail
src=${1:?usage: ensure_packages_test.sh SOURCE_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0

# The stand-ins keep their state in $work/state: installed (one package a
# line), calls (every apt-get and dpkg call), broken (packages whose install
# fails; :i386 ones always fail, as on a lagging mirror).
mkdir -p "$work/bin" "$work/state"
cat >"$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
case "$1" in
  update)
    echo "Err:6 http://mirror.example/debian bookworm/main i386 Packages"
    echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    exit 100 ;;
  install)
    shift
    for p in "$@"; do
      case "$p" in -*) continue ;; esac
      if [[ $p == *:i386 ]] || grep -qx "$p" "$STATE/broken" 2>/dev/null; then
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
      fi
    done
    for p in "$@"; do case "$p" in -*) ;; *) echo "$p" >>"$STATE/installed" ;; esac; done ;;
esac
SH
cat >"$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
grep -qx "${!#}" "$STATE/installed" && printf 'install ok installed' || exit 1
SH
cat >"$work/bin/dpkg" <<'SH'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STATE/calls"
[ "$1" = --print-foreign-architectures ] && cat "$STATE/arches" 2>/dev/null
case "$1" in --add-architecture) echo i386 >"$STATE/arches" ;; --remove-architecture) : >"$STATE/arches" ;; esac
exit 0
SH
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

# run NAME RUNS_32BIT [VAR=VALUE...]: zendrel_ensure_packages in a checkout of
# its own ($work/checkout, kept between runs as build/ would be); prints its
# exit code, then its output.
run() {
  local runs32=$1
  shift
  mkdir -p "$work/checkout/scripts"
  cp "$src/scripts/env.sh" "$work/checkout/scripts/"
  (cd "$work/checkout" && env -u ZENDREL_WINE_ARCH "$@" STATE="$work/state" PATH="$work/bin:$PATH" bash -c '
    . scripts/env.sh
    zendrel_runs_32bit() { '"$runs32"'; }
    zendrel_ensure_packages 2>&1; echo "exit $?"' )
}

# check NAME CONDITION...: one result line.
check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failures=$((failures + 1))
    echo "FAILED: $name"
    echo "--- output:"; echo "$out"; echo "--- calls:"; cat "$work/state/calls" 2>/dev/null
  fi
}
calls() { [ -f "$work/state/calls" ] && wc -l <"$work/state/calls" || echo 0; }
has() { grep -q -- "$1" <<<"$out"; }
lines() { [ "$(grep -vc '^exit ' <<<"$out")" -eq "$1" ]; }

# Everything is installed but Wine, Xvfb and 32-bit Wine.
. "$src/scripts/env.sh"
tr ' ' '\n' <<<"$ZENDREL_PACKAGES" | grep -v -e '^wine$' -e '^xvfb$' -e '^$' >"$work/state/installed"

out=$(run true)
check "a lagging 32-bit index is reported in three lines and is not fatal" \
  eval 'has "^exit 0$" && lines 3 && has "apt-get update failed (E: Failed to fetch" &&
        has "32-bit Wine cannot be installed (E: Unable to correct" &&
        grep -qx wine "$work/state/installed" && grep -qx xvfb "$work/state/installed"'
check "the failure is remembered with its reason, and the i386 architecture added for it is removed" \
  eval 'grep -q "held broken" "$work/checkout/build/wine32-unavailable" &&
        grep -q -- "--remove-architecture i386" "$work/state/calls" && [ ! -s "$work/state/arches" ]'

before=$(calls)
out=$(run true)
check "a second run asks apt nothing and says nothing" eval '[ "$(calls)" -eq "$before" ] && [ "$out" = "exit 0" ]'

out=$(run true ZENDREL_WINE_ARCH=win32)
check "ZENDREL_WINE_ARCH=win32 asks again, and its failure is fatal and named" \
  eval 'has "^exit 1$" && has "Cannot install wine32:i386, which ZENDREL_WINE_ARCH=win32 asks for"'

rm -rf "$work/checkout/build"
: >"$work/state/calls"
out=$(run false)
check "a machine that runs no 32-bit code is never asked for 32-bit Wine" \
  eval '[ "$out" = "exit 0" ] && [ "$(calls)" -eq 0 ]'

sed -i '/^xvfb$/d' "$work/state/installed"
echo xvfb >"$work/state/broken"
out=$(run false)
check "a native package that cannot be installed is fatal and named" \
  eval 'has "^exit 1$" && has "Cannot install what these scripts need: xvfb (E: Unable"'

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
