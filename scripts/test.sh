#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite against a
# private X server (Xvfb, 1280x1024x24) and a private PulseAudio server whose
# default sink is a null sink "sonovert_test" (description Loopback_Test).
# Everything it starts (X server, sound server, temporary directories) is
# removed again on every way out, and its exit status is ctest's.
#
# Usage: scripts/test.sh [CTEST-ARGS...]      e.g. scripts/test.sh -R Settings
#
# The tests see: DISPLAY and XAUTHORITY (the private X server), PULSE_SERVER
# and XDG_RUNTIME_DIR (the private sound server), a temporary HOME and
# XDG_CONFIG_HOME/XDG_CACHE_HOME/XDG_DATA_HOME/XDG_STATE_HOME, and no session
# D-Bus (DBUS_SESSION_BUS_ADDRESS=disabled:, NO_AT_BRIDGE=1, GSettings kept in
# memory). A test that needs a bus runs its program under
# `dbus-run-session -- PROGRAM` (unset NO_AT_BRIDGE there for accessibility).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$(pwd)
SCRIPTS=$ROOT/scripts

"$SCRIPTS/deps.sh"
"$SCRIPTS/build.sh"

TEST_DIR=
XVFB_DIR=
PULSE_DIR=
CTEST_PID=
WATCHDOG_PID=

# True while process $1 exists and has not exited (a zombie counts as gone).
alive() {
  local state
  state=$(awk '/^State:/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# Stops what this run started. Safe to call more than once.
release() {
  if [ -n "$CTEST_PID" ]; then
    # ctest runs in its own process group: stop it together with its tests
    # and anything they left running.
    kill -TERM -- "-$CTEST_PID" 2>/dev/null || true
    for _ in $(seq 30); do alive "$CTEST_PID" || break; sleep 0.1; done
    kill -KILL -- "-$CTEST_PID" 2>/dev/null || true
  fi
  [ -z "$PULSE_DIR" ] || "$SCRIPTS/sound-server.sh" stop "$PULSE_DIR" || true
  [ -z "$XVFB_DIR" ] || "$SCRIPTS/xvfb.sh" stop "$XVFB_DIR" || true
  [ -z "$TEST_DIR" ] || rm -rf "$TEST_DIR"
}

on_exit() {
  local rc=$?
  trap - EXIT INT TERM HUP
  if [ -n "$WATCHDOG_PID" ]; then kill -TERM "$WATCHDOG_PID" 2>/dev/null || true; fi
  release
  exit "$rc"
}
trap on_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

TEST_DIR=$(mktemp -d "${TMPDIR:-/tmp}/sonovert-test.XXXXXX")
mkdir -p "$TEST_DIR"/{home,config,cache,data,state}

xvfb_env=$("$SCRIPTS/xvfb.sh" start)
eval "$xvfb_env"
XVFB_DIR=$SONOVERT_XVFB_DIR

pulse_env=$(SONOVERT_SINK_NAME=sonovert_test SONOVERT_SINK_DESCRIPTION=Loopback_Test \
  "$SCRIPTS/sound-server.sh" start)
eval "$pulse_env"
PULSE_DIR=$SONOVERT_PULSE_DIR

# If this script is killed outright (kill -9), no trap runs: a watchdog then
# releases everything once this shell is gone.
owner=$$
(
  trap '' INT HUP
  trap 'exit 0' TERM
  while alive "$owner"; do sleep 1; done
  CTEST_PID=$(cat "$TEST_DIR/ctest.pid" 2>/dev/null || true)
  release
) </dev/null >/dev/null 2>&1 &
WATCHDOG_PID=$!

export HOME=$TEST_DIR/home
export XDG_CONFIG_HOME=$TEST_DIR/config
export XDG_CACHE_HOME=$TEST_DIR/cache
export XDG_DATA_HOME=$TEST_DIR/data
export XDG_STATE_HOME=$TEST_DIR/state
export DBUS_SESSION_BUS_ADDRESS=disabled:
export NO_AT_BRIDGE=1
export GSETTINGS_BACKEND=memory
export GDK_BACKEND=x11
export LANG=C.UTF-8
unset WAYLAND_DISPLAY LC_ALL LANGUAGE CTEST_PARALLEL_LEVEL

# One X display and one sound server are shared: tests run one at a time.
# ctest gets its own process group so that it can be stopped with its tests.
status=0
setsid ctest --test-dir build --output-on-failure -j1 "$@" &
CTEST_PID=$!
echo "$CTEST_PID" >"$TEST_DIR/ctest.pid"
wait "$CTEST_PID" || status=$?
exit "$status"
