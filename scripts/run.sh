#!/usr/bin/env bash
# Installs what is missing, builds, and starts SONOVERT (build/app/sonovert).
# Extra arguments go to the program.
#
# - No DISPLAY (and no Wayland): a private virtual X server (Xvfb) is started;
#   the window then runs headless. Look at it with: import -window root shot.png
#   (with the DISPLAY and XAUTHORITY that this script prints).
# - No PulseAudio server answering `pactl info`: a private one is started whose
#   default sink is a null sink described as "Loopback"; a server that answers
#   is used as it is.
# Whatever this script started is stopped when the program exits.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$(pwd)
SCRIPTS=$ROOT/scripts
APP=$ROOT/build/app/sonovert

say() { echo "run.sh: $*" >&2; }

need_x=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then need_x=1; fi

if [ "$need_x" = 1 ]; then
  "$SCRIPTS/deps.sh" build runtime test
else
  "$SCRIPTS/deps.sh" build runtime
fi
"$SCRIPTS/build.sh"
[ -x "$APP" ] || { say "the build made no $APP"; exit 1; }

XVFB_DIR=
PULSE_DIR=
APP_PID=
APP_WRAP=()
on_exit() {
  local rc=$?
  trap - EXIT INT TERM HUP
  if [ -n "$APP_PID" ]; then
    kill -TERM -- "-$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
  fi
  [ -z "$PULSE_DIR" ] || "$SCRIPTS/sound-server.sh" stop "$PULSE_DIR" || true
  [ -z "$XVFB_DIR" ] || "$SCRIPTS/xvfb.sh" stop "$XVFB_DIR" || true
  exit "$rc"
}
trap on_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

if [ "$need_x" = 1 ]; then
  eval "$("$SCRIPTS/xvfb.sh" start)"
  XVFB_DIR=$SONOVERT_XVFB_DIR
  say "no DISPLAY: started a private virtual X server; the window runs headless on it."
  say "to look at it: DISPLAY=$DISPLAY XAUTHORITY=$XAUTHORITY import -window root shot.png"
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    # No session bus either: give the program one of its own for its lifetime
    # (otherwise GLib would start one through X11 that outlives the program).
    APP_WRAP=(dbus-run-session --)
  fi
  export NO_AT_BRIDGE=1   # no accessibility bus for a window nobody sees
fi

if ! pactl info >/dev/null 2>&1; then
  user_runtime_dir=${XDG_RUNTIME_DIR:-}
  eval "$("$SCRIPTS/sound-server.sh" start)"
  PULSE_DIR=$SONOVERT_PULSE_DIR
  # Keep the user's own runtime directory (session bus, dconf) if there is one;
  # PULSE_SERVER alone points the program at the private server.
  if [ -n "$user_runtime_dir" ]; then export XDG_RUNTIME_DIR=$user_runtime_dir; fi
  say "no sound server answered: started a private PulseAudio ($PULSE_SERVER) with a null sink 'Loopback'."
fi

# In the background and in its own process group, so that a signal to this
# script reaches the trap at once and the trap can stop the program (with its
# session bus, if it got one).
setsid "${APP_WRAP[@]}" "$APP" "$@" &
APP_PID=$!
status=0
wait "$APP_PID" || status=$?
APP_PID=
exit "$status"
