# Shared set-up of run.sh and test.sh: installs what is missing, creates the
# Wine prefix, starts a display and a persistent wineserver. Sourced, not run.

ZENDREL_PACKAGES="cmake ninja-build g++ clang-14 libclang-rt-14-dev libssl-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest \
wine wine32:i386 fonts-wine xvfb xdotool x11-apps netpbm fp-utils nsis \
libcli11-dev nlohmann-json3-dev libxml2-utils"

zendrel_missing_packages() {
  local p missing=""
  for p in $ZENDREL_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing="$missing $p"
  done
  echo "$missing"
}

zendrel_ensure_packages() {
  local missing sudo=""
  missing=$(zendrel_missing_packages)
  [ -z "$missing" ] && return 0
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing:$missing"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing && return 0
  # A mirror whose 32-bit index lags behind its 64-bit one cannot install
  # 32-bit Wine beside the 64-bit libraries; the tests then run 64-bit Wine
  # (see zendrel_wine_arch), so install the rest without it.
  case "$missing" in *:i386*) ;; *) return 1 ;; esac
  local native
  native=$(echo "$missing" | tr ' ' '\n' | grep -v ':i386$' | tr '\n' ' ')
  echo "The 32-bit packages cannot be installed; installing the others:$native"
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $native
}

# zendrel_wine_arch: win32 where this machine runs 32-bit programs, win64
# where its processor or kernel runs 64-bit code only (some virtual machines:
# a 32-bit program there fails with "Exec format error", and so does 32-bit
# Wine). ZENDREL_WINE_ARCH overrides the answer.
zendrel_wine_arch() {
  if [ -n "${ZENDREL_WINE_ARCH:-}" ]; then
    echo "$ZENDREL_WINE_ARCH"
  elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo win32
  else
    echo win64
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
