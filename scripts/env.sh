# Shared set-up of run.sh and test.sh: installs what is missing, creates the
# Wine prefix, starts a display and a persistent wineserver. Sourced, not run.

# What every script needs (native packages: the 32-bit release builds with a
# native cross compiler), and 32-bit Wine, which only a machine that runs
# 32-bit code can use.
ZENDREL_PACKAGES="cmake ninja-build g++ clang-14 libclang-rt-14-dev libssl-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest \
wine fonts-wine xvfb xdotool x11-apps netpbm fp-utils nsis \
libcli11-dev nlohmann-json3-dev libxml2-utils"
ZENDREL_WINE32_PACKAGE="wine32:i386"
# Written (with the reason) when 32-bit Wine could not be installed, so that
# later runs do not ask apt again; delete it to try again.
ZENDREL_WINE32_MEMO="build/wine32-unavailable"

# zendrel_missing_packages NAME...: prints those of NAME... not installed.
zendrel_missing_packages() {
  local p missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing="$missing $p"
  done
  echo "$missing"
}

# zendrel_runs_32bit: succeeds where the kernel runs 32-bit x86 programs (some
# virtual machines run 64-bit code only: "Exec format error"). It runs a
# 93-byte i386 program that only exits, written into build/.
zendrel_runs_32bit() {
  mkdir -p build || return 1
  local elf='\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\010\064\0\0\0\0\0\0\0'
  local phdr='\0\0\0\0\064\0\040\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\010\0\200\4\010'
  local code='\135\0\0\0\135\0\0\0\5\0\0\0\0\020\0\0\270\1\0\0\0\061\333\315\200'
  # shellcheck disable=SC2059
  printf "$elf$phdr$code" >build/.i386-probe || return 1
  chmod +x build/.i386-probe && build/.i386-probe 2>/dev/null
}

# zendrel_wants_wine32: whether to ask apt for 32-bit Wine: where
# ZENDREL_WINE_ARCH asks for it, or (unset) where the machine runs 32-bit code
# and an earlier run did not find it impossible to install.
zendrel_wants_wine32() {
  case "${ZENDREL_WINE_ARCH:-}" in
    win32) return 0 ;;
    win64) return 1 ;;
  esac
  [ ! -f "$ZENDREL_WINE32_MEMO" ] && zendrel_runs_32bit
}

# zendrel_apt LOG ARGS...: runs apt-get ARGS... (as root, through sudo when
# needed) with its output in LOG; fails as apt-get does.
zendrel_apt() {
  local log=$1 sudo=""
  shift
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@" >"$log" 2>&1
}

# zendrel_apt_error LOG: apt's first error line in LOG, for a one-line report.
zendrel_apt_error() {
  grep -m1 '^E:' "$1" 2>/dev/null | cut -c1-160
}

# zendrel_ensure_packages: installs what is missing and asks apt nothing when
# all is there. A failed "apt-get update" (a mirror in the middle of a sync)
# and a 32-bit Wine that cannot be installed are each reported in one line and
# are not fatal: the scripts then use 64-bit Wine. A native package that
# cannot be installed is fatal and named. apt's output is in build/apt-*.log.
zendrel_ensure_packages() {
  local missing wine32="" added_i386="" sudo="" still
  missing=$(zendrel_missing_packages $ZENDREL_PACKAGES)
  if zendrel_wants_wine32; then
    wine32=$(zendrel_missing_packages "$ZENDREL_WINE32_PACKAGE")
  fi
  [ -z "$missing$wine32" ] && return 0
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  mkdir -p build
  echo "Installing:$missing$wine32 (apt's output: build/apt-*.log)"
  if [ -n "$wine32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 && added_i386=1
  fi
  if ! zendrel_apt build/apt-update.log update -q; then
    local failed
    failed=$(zendrel_apt_error build/apt-update.log)
    echo "apt-get update failed (${failed:-see build/apt-update.log}); going on with the package lists there are"
  fi
  if [ -n "$missing" ]; then
    # shellcheck disable=SC2086
    zendrel_apt build/apt-install.log install -y -q $missing
    still=$(zendrel_missing_packages $missing)
    if [ -n "$still" ]; then
      echo "Cannot install what these scripts need:$still ($(zendrel_apt_error build/apt-install.log); build/apt-install.log)" >&2
      return 1
    fi
  fi
  [ -z "$wine32" ] && return 0
  if zendrel_apt build/apt-wine32.log install -y -q $wine32; then
    rm -f "$ZENDREL_WINE32_MEMO"
    return 0
  fi
  local why
  why=$(zendrel_apt_error build/apt-wine32.log)
  if [ "${ZENDREL_WINE_ARCH:-}" = win32 ]; then
    echo "Cannot install$wine32, which ZENDREL_WINE_ARCH=win32 asks for (${why:-see build/apt-wine32.log})" >&2
    return 1
  fi
  echo "${why:-apt-get failed}" >"$ZENDREL_WINE32_MEMO"
  [ -n "$added_i386" ] && $sudo dpkg --remove-architecture i386 2>/dev/null
  echo "32-bit Wine cannot be installed (${why:-see build/apt-wine32.log}): using 64-bit Wine, and not asking again (delete $ZENDREL_WINE32_MEMO to try again)"
  return 0
}

# zendrel_wine_arch: win32 where 32-bit Wine runs here, win64 where it is not
# installed or cannot run (see zendrel_ensure_packages). ZENDREL_WINE_ARCH
# overrides the answer.
zendrel_wine_arch() {
  if [ -n "${ZENDREL_WINE_ARCH:-}" ]; then
    echo "$ZENDREL_WINE_ARCH"
  elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo win32
  else
    echo win64
  fi
}

# zendrel_why_wine64: one line saying why the 64-bit build is used here.
zendrel_why_wine64() {
  if [ -n "${ZENDREL_WINE_ARCH:-}" ]; then
    echo "ZENDREL_WINE_ARCH=$ZENDREL_WINE_ARCH"
  elif ! zendrel_runs_32bit; then
    echo "this machine runs no 32-bit code"
  elif [ -f "$ZENDREL_WINE32_MEMO" ]; then
    echo "32-bit Wine could not be installed: $(cat "$ZENDREL_WINE32_MEMO")"
  else
    echo "32-bit Wine is not installed"
  fi
}

# zendrel_use_wine64 DIR: makes "wine" mean 64-bit Wine in this shell and its
# children (Debian's wrapper prefers the 32-bit loader whenever it is
# installed, even where it cannot run), through small scripts in DIR.
zendrel_use_wine64() {
  mkdir -p "$1"
  local w
  for w in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$1/$w"
    chmod +x "$1/$w"
  done
  case ":$PATH:" in *":$1:"*) ;; *) export PATH="$1:$PATH" ;; esac
}

# zendrel_wine_session PREFIX: exports the Wine environment (of zendrel_wine_arch), creates PREFIX
# once, starts Xvfb when there is no display, keeps one wineserver alive and
# arranges for both to stop when the calling script exits.
zendrel_wine_session() {
  ZENDREL_WINE_ARCH=$(zendrel_wine_arch)
  export ZENDREL_WINE_ARCH
  export WINEPREFIX="$1" WINEARCH=$ZENDREL_WINE_ARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ "$ZENDREL_WINE_ARCH" = win64 ] && zendrel_use_wine64 "$(dirname "$1")/wine64-bin"
  zendrel_xvfb_pid=""
  if [ -z "${DISPLAY:-}" ]; then
    local n=99
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    zendrel_xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  trap zendrel_end_session EXIT
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Without a window manager Wine waits about 2 s whenever a window is
    # hidden; unmanaged windows remove the wait.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  wineserver -p 3600
  # The first Wine program starts Wine's own services, which outlive it and
  # keep its output open: start them here, with nothing to inherit, so that
  # ctest is not left waiting on a pipe the services hold.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
}

zendrel_end_session() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${zendrel_xvfb_pid:-}" ]; then
    kill "$zendrel_xvfb_pid" 2>/dev/null || true
    wait "$zendrel_xvfb_pid" 2>/dev/null || true
  fi
}
