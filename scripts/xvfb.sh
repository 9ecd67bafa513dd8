#!/usr/bin/env bash
# A private virtual X server (Xvfb) for running SONOVERT without a screen.
#
#   eval "$(scripts/xvfb.sh start)"   starts one; prints export lines for
#                                     DISPLAY, XAUTHORITY, SONOVERT_XVFB_DIR
#                                     and SONOVERT_XVFB_PID
#   scripts/xvfb.sh stop DIR          stops it and removes DIR
#
# The display number is the first N >= 90 with neither /tmp/.X11-unix/XN nor
# /tmp/.XN-lock. The server listens on the local socket only (-nolisten tcp)
# and admits only clients holding the cookie in $XAUTHORITY.
# Screen size: SONOVERT_XVFB_SCREEN (default 1280x1024x24).
# A screenshot of the whole screen: import -window root shot.png
set -euo pipefail

MARKER=.sonovert-xvfb
SCREEN=${SONOVERT_XVFB_SCREEN:-1280x1024x24}
START_TIMEOUT=${SONOVERT_XVFB_TIMEOUT:-15}   # seconds

# True while process $1 exists and has not exited. An exited process whose
# parent has not reaped it yet (a zombie) counts as gone.
alive() {
  local state
  state=$(awk '/^State:/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

die() { echo "xvfb.sh: $*" >&2; exit 1; }

start() {
  command -v Xvfb >/dev/null || die "Xvfb not found (package xvfb; scripts/deps.sh test installs it)"
  command -v xauth >/dev/null || die "xauth not found (package xauth)"
  command -v xdpyinfo >/dev/null || die "xdpyinfo not found (package x11-utils)"

  local dir n pid cookie deadline
  dir=$(mktemp -d "${TMPDIR:-/tmp}/sonovert-xvfb.XXXXXX")
  chmod 700 "$dir"
  : >"$dir/$MARKER"
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')

  n=90
  while [ "$n" -lt 190 ]; do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then
      n=$((n + 1)); continue
    fi
    rm -f "$dir/Xauthority"
    xauth -q -f "$dir/Xauthority" add ":$n" . "$cookie" 2>/dev/null \
      || { rm -rf "$dir"; die "xauth could not write $dir/Xauthority"; }
    # setsid: own session, so a Ctrl-C in the caller's terminal does not reach
    # it; the caller stops it in order. No stdio is kept open, so that
    # "$(xvfb.sh start)" returns at once.
    setsid Xvfb ":$n" -screen 0 "$SCREEN" -nolisten tcp -noreset \
      -auth "$dir/Xauthority" </dev/null >"$dir/xvfb.log" 2>&1 &
    pid=$!
    echo "$pid" >"$dir/pid"
    echo "$n" >"$dir/display"
    deadline=$((SECONDS + START_TIMEOUT))
    while :; do
      if XAUTHORITY="$dir/Xauthority" xdpyinfo -display ":$n" >/dev/null 2>&1; then
        printf 'export DISPLAY=:%s\n' "$n"
        printf 'export XAUTHORITY=%q\n' "$dir/Xauthority"
        printf 'export SONOVERT_XVFB_DIR=%q\n' "$dir"
        printf 'export SONOVERT_XVFB_PID=%s\n' "$pid"
        return 0
      fi
      if ! alive "$pid"; then
        break   # died: most likely another server took :$n meanwhile
      fi
      if [ "$SECONDS" -ge "$deadline" ]; then
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        cat "$dir/xvfb.log" >&2 || true
        rm -rf "$dir"
        die "Xvfb on :$n did not answer within ${START_TIMEOUT}s"
      fi
      sleep 0.1
    done
    wait "$pid" 2>/dev/null || true
    if ! grep -q 'already active' "$dir/xvfb.log" 2>/dev/null; then
      cat "$dir/xvfb.log" >&2 || true
      rm -rf "$dir"
      die "Xvfb failed to start on :$n"
    fi
    n=$((n + 1))
  done
  rm -rf "$dir"
  die "no free display number between :90 and :189"
}

stop() {
  local dir=${1:-${SONOVERT_XVFB_DIR:-}}
  [ -n "$dir" ] || die "usage: xvfb.sh stop DIR"
  [ -d "$dir" ] || return 0
  [ -e "$dir/$MARKER" ] || die "$dir was not made by xvfb.sh start; not touching it"
  local pid n i
  pid=$(cat "$dir/pid" 2>/dev/null || true)
  n=$(cat "$dir/display" 2>/dev/null || true)
  if [ -n "$pid" ] && alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 50); do
      alive "$pid" || break
      sleep 0.1
    done
    if alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  # A server that was killed hard leaves its lock and socket behind: remove
  # them, but only if the lock is still ours.
  if [ -n "$n" ] && [ -n "$pid" ] && [ -f "/tmp/.X$n-lock" ] \
     && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ] \
     && ! alive "$pid"; then
    rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
  fi
  rm -rf "$dir"
}

case "${1:-}" in
  start) start ;;
  stop) shift; stop "$@" ;;
  *) die "usage: xvfb.sh start | xvfb.sh stop DIR" ;;
esac
