# Shared set-up of run.sh and test.sh: installs what is missing, creates the
# Wine prefix, starts a display and a persistent wineserver. Sourced, not run.

ZENDREL_PACKAGES="cmake ninja-build g++ clang-14 libclang-rt-14-dev libssl-dev g++-mingw-w64-i686-posix googletest \
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
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
}

# zendrel_wine_session PREFIX: exports the Wine environment, creates PREFIX
# once, starts Xvfb when there is no display, keeps one wineserver alive and
# arranges for both to stop when the calling script exits.
zendrel_wine_session() {
  export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
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
