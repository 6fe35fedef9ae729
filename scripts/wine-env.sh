# Sourced by the scripts that run Windows programs: one Wine prefix per
# checkout (`.wine/`), made once, and an Xvfb display of the run's own,
# started and stopped by id. No other prefix and no other display is ever
# used: a WINEPREFIX exported by the caller that names another prefix is
# refused (sourcing returns 1), so that a personal prefix is never created
# into, trusted into or deleted.
CORVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CORVEL_PREFIX="$CORVEL_ROOT/.wine"
# Marks a prefix made (and set up) by corvel_make_prefix.
CORVEL_PREFIX_MARKER=.corvel-prefix-v1
# Display numbers tried for the run's Xvfb: from 90 up, away from the ones
# desktops and ssh forwarding use; several runs on one machine each get one
# of their own.
CORVEL_FIRST_DISPLAY=90
CORVEL_DISPLAY_TRIES=40
# Seconds an Xvfb gets to take its display and listen.
CORVEL_XVFB_START_S=10
CORVEL_XVFB_PID=
# Wine turns Windows file names into Unix ones with the locale's character
# set: under the plain C locale of a fresh system a name such as "程序"
# cannot be made at all. Every Windows program of ours runs with UTF-8.
export LC_ALL=C.UTF-8

# True when $1 names this checkout's own prefix.
corvel_is_own_prefix() {
  [ -n "${1:-}" ] && [ "$(realpath -m -- "$1")" = "$(realpath -m -- "$CORVEL_PREFIX")" ]
}

# Fails with a clear message unless WINEPREFIX is this checkout's prefix.
corvel_require_own_prefix() {
  if ! corvel_is_own_prefix "${WINEPREFIX:-}"; then
    echo "[wine] refusing WINEPREFIX=${WINEPREFIX:-<unset>}: the tests only ever use this checkout's own prefix" \
      "$CORVEL_PREFIX (unset WINEPREFIX to use it)" >&2
    return 1
  fi
}

if [ -n "${WINEPREFIX:-}" ] && ! corvel_is_own_prefix "$WINEPREFIX"; then
  corvel_require_own_prefix
  return 1
fi
export WINEPREFIX="$CORVEL_PREFIX"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer is asked for, and no debugger is started for a
# crashing program: winedbg would keep a crashed test waiting for ctest's
# timeout instead of letting it fail at once. No menu entries or icons are
# written into the host's home for the links programs make.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"}
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver

# True when the checkout's prefix has been made and set up.
corvel_prefix_ready() { [ -f "$CORVEL_PREFIX/$CORVEL_PREFIX_MARKER" ]; }

# Wine links the user's shell folders (Desktop, Documents, ...) to the
# host's home folder, where links and files programs make there would land
# outside the prefix: they become real folders of the prefix. Cheap and
# idempotent; a wineboot update may link them again, so callers run it
# before each use.
corvel_keep_user_folders_in_prefix() {
  local folder
  for folder in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$folder" ]; then
      rm -f "$folder"
      mkdir -p "$folder"
    fi
  done
}

# Makes the checkout's prefix once; a half-made one (no marker) is removed
# and made again. Only ever this checkout's own prefix.
corvel_make_prefix() {
  corvel_require_own_prefix || return 1
  if corvel_prefix_ready; then
    corvel_keep_user_folders_in_prefix
    return 0
  fi
  echo "[wine] creating prefix $WINEPREFIX"
  rm -rf "$CORVEL_PREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w
  bash "$CORVEL_ROOT/scripts/prefix-setup.sh" || return 1
  touch "$CORVEL_PREFIX/$CORVEL_PREFIX_MARKER"
  # The set-up's wineserver and desktop process keep the display they
  # started with: let them end before anything else runs.
  "$WINESERVER" -w
}

# True when process $1 runs (a child that ended but was not yet waited for
# does not count).
corvel_alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# The pid of the live Xvfb that holds display number $1, or nothing.
corvel_xvfb_of_display() {
  local pid
  pid=$(tr -d ' \n' 2>/dev/null <"/tmp/.X$1-lock") || return 0
  [ -n "$pid" ] && tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -q "^[^ ]*Xvfb :$1 " && echo "$pid"
}

# Starts Xvfb on display number $1 and waits until it holds the display and
# listens. Returns 1 when the server ends instead (the number was taken
# meanwhile, e.g. by another run starting at the same time) or does not
# come up in time; then nothing of it is left running.
corvel_try_display() {
  local n=$1 log=$2
  Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >"$log" 2>&1 &
  CORVEL_XVFB_PID=$!
  local tick
  for tick in $(seq 1 $((CORVEL_XVFB_START_S * 10))); do
    if ! corvel_alive "$CORVEL_XVFB_PID"; then
      wait "$CORVEL_XVFB_PID" 2>/dev/null || true
      CORVEL_XVFB_PID=
      return 1
    fi
    # Ours only when the display's lock names this very server.
    if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(corvel_xvfb_of_display "$n")" = "$CORVEL_XVFB_PID" ]; then
      return 0
    fi
    sleep 0.1
  done
  echo "[wine] Xvfb on :$n did not come up within ${CORVEL_XVFB_START_S} s" >&2
  corvel_stop_display
  return 1
}

# Starts the run's own Xvfb on the first display number that is free and
# stays this run's: several runs starting at once each get their own. Sets
# CORVEL_XVFB_PID; exports DISPLAY and CORVEL_DISPLAY (the display
# tests/support/run-test.sh requires: tests never run on one the run did
# not start).
corvel_start_xvfb() {
  local n=$CORVEL_FIRST_DISPLAY last=$((CORVEL_FIRST_DISPLAY + CORVEL_DISPLAY_TRIES)) log
  log=$(mktemp)
  while [ "$n" -lt "$last" ]; do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ] && corvel_try_display "$n" "$log"; then
      break
    fi
    n=$((n + 1))
  done
  if [ -z "$CORVEL_XVFB_PID" ]; then
    echo "[wine] no Xvfb could be started on displays :$CORVEL_FIRST_DISPLAY to :$((last - 1)); last output:" >&2
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
  export DISPLAY=":$n"
  export CORVEL_DISPLAY=":$n"
  echo "[wine] Xvfb on $DISPLAY (pid $CORVEL_XVFB_PID)"
}

# Starts the run's own Xvfb, then makes the prefix, so that every Wine
# process of the run, the prefix set-up's included, sees the same display.
corvel_start_display() {
  corvel_start_xvfb && corvel_make_prefix
}

# Stops the Xvfb this shell started, by its id.
corvel_stop_display() {
  if [ -n "$CORVEL_XVFB_PID" ]; then
    kill "$CORVEL_XVFB_PID" >/dev/null 2>&1 || true
    wait "$CORVEL_XVFB_PID" 2>/dev/null || true
    CORVEL_XVFB_PID=
  fi
}

# Ends this checkout's wineserver and the Xvfb this shell started.
corvel_stop_all() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  corvel_stop_display
}
