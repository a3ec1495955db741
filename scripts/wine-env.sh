# Sourced by the other scripts: the Wine prefix, home and X display of one build tree.
# qf_env_start brings up a private Xvfb display (unless QF_USE_DISPLAY=1 and DISPLAY is set),
# creates the prefix once and starts one persistent wineserver; qf_env_stop ends exactly those.

QF_ROOT=${QF_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
QF_BUILD=${QF_BUILD:-$QF_ROOT/build}
QF_BIN=${QF_BIN:-$QF_BUILD/windows/bin}
QF_ARTIFACTS=${QF_ARTIFACTS:-$QF_BUILD/artifacts}
export QF_ROOT QF_BUILD QF_BIN QF_ARTIFACTS
export WINEPREFIX="$QF_BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko installers and no desktop menu entries: the prefix serves tests only.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine links the prefix's Documents, Desktop and the like to $HOME: keep them in the build tree.
export HOME="$QF_BUILD/home"

QF_XVFB_PID=""
QF_STARTED_WINESERVER=""

qf_free_display() {
  local n
  for n in $(seq 90 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

qf_start_display() {
  if [ "${QF_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local n tries
  for tries in 1 2 3 4 5; do
    n=$(qf_free_display) || { echo "no free X display" >&2; return 1; }
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -ac >/dev/null 2>&1 &
    QF_XVFB_PID=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$QF_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$QF_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
    QF_XVFB_PID=""  # another run took that number first: try the next free one
  done
  echo "could not start Xvfb" >&2
  return 1
}

qf_create_prefix() {
  echo "wine-env: creating the Wine prefix in $WINEPREFIX"
  # A prefix whose creation was interrupted is made again from nothing.
  rm -rf "$WINEPREFIX"
  # wineboot -i returns once the prefix is set up; the services it started (winedevice.exe
  # among them) may then never end by themselves, so waiting for the server alone can hang.
  # Ending the session writes the registry to disk.
  wineboot -i >/dev/null 2>&1 || true
  # Without a window manager Wine waits for one at every destroyed managed window: unmanaged
  # windows make window tests fast and behave the same otherwise.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  if [ ! -f "$WINEPREFIX/system.reg" ] || ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    echo "wine-env: the Wine prefix could not be created" >&2
    return 1
  fi
  touch "$WINEPREFIX/.qf-ready"
}

qf_start_wine() {
  mkdir -p "$HOME" "$QF_ARTIFACTS"
  [ -f "$WINEPREFIX/.qf-ready" ] || qf_create_prefix || return 1
  wineserver -p
  QF_STARTED_WINESERVER=1
  # The first program of a server session starts Wine's own services, which inherit its
  # standard handles: start them here on /dev/null, or they would hold the output pipe of the
  # first test open for ever and its runner would wait on it.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

qf_env_start() {
  qf_start_display && qf_start_wine
}

qf_env_stop() {
  if [ -n "$QF_STARTED_WINESERVER" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    QF_STARTED_WINESERVER=""
  fi
  if [ -n "$QF_XVFB_PID" ]; then
    kill "$QF_XVFB_PID" 2>/dev/null || true
    wait "$QF_XVFB_PID" 2>/dev/null || true
    QF_XVFB_PID=""
  fi
}
