#!/usr/bin/env bash
# A private PulseAudio server with one null sink, which stands in for a
# loopback line: what is played into it can be recorded from its monitor
# source (<sink>.monitor). Nothing of the user's own sound setup is touched.
#
#   eval "$(scripts/sound-server.sh start)"   starts one; prints export lines
#                     for XDG_RUNTIME_DIR, PULSE_SERVER, SONOVERT_PULSE_DIR
#                     and SONOVERT_PULSE_PID
#   scripts/sound-server.sh stop DIR          stops it and removes DIR
#
# Sink: SONOVERT_SINK_NAME (default sonovert_loopback) with the description
# SONOVERT_SINK_DESCRIPTION (default Loopback; no spaces). It is the default
# sink, so its monitor is the default source.
#
# Works as root too: pulseaudio then only warns that it is "not intended to be
# run as root"; system mode (--system) is not needed.
set -euo pipefail

MARKER=.sonovert-sound-server
SINK_NAME=${SONOVERT_SINK_NAME:-sonovert_loopback}
SINK_DESCRIPTION=${SONOVERT_SINK_DESCRIPTION:-Loopback}
START_TIMEOUT=${SONOVERT_PULSE_TIMEOUT:-15}   # seconds

# True while process $1 exists and has not exited. An exited process whose
# parent has not reaped it yet (a zombie) counts as gone.
alive() {
  local state
  state=$(awk '/^State:/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

die() { echo "sound-server.sh: $*" >&2; exit 1; }

start() {
  command -v pulseaudio >/dev/null || die "pulseaudio not found (package pulseaudio; scripts/deps.sh installs it)"
  command -v pactl >/dev/null || die "pactl not found (package pulseaudio-utils)"
  case "$SINK_NAME$SINK_DESCRIPTION" in
    *[!A-Za-z0-9_.-]*) die "sink name and description may hold only letters, digits, _ . -" ;;
  esac

  local dir pid socket deadline
  dir=$(mktemp -d "${TMPDIR:-/tmp}/sonovert-pulse.XXXXXX")
  if [ ${#dir} -gt 90 ]; then   # a unix socket path must stay under 108 bytes
    rmdir "$dir"
    dir=$(mktemp -d /tmp/sonovert-pulse.XXXXXX)
  fi
  chmod 700 "$dir"
  : >"$dir/$MARKER"
  mkdir -m 700 "$dir/pulse" "$dir/home"
  socket="$dir/pulse/native"

  # The daemon gets its own HOME (its cookie and state go there), no DISPLAY
  # and no session bus, so it neither reads nor writes the user's settings and
  # never starts a D-Bus daemon through X11. Clients need no cookie: the socket
  # sits in a directory only this user can enter.
  # setsid: own session, so a Ctrl-C in the caller's terminal does not reach
  # it; the caller stops it in order. No stdio is kept open, so that
  # "$(sound-server.sh start)" returns at once.
  env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u XDG_CONFIG_HOME -u XDG_STATE_HOME \
      -u PULSE_SERVER -u PULSE_RUNTIME_PATH \
      HOME="$dir/home" XDG_RUNTIME_DIR="$dir" \
    setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
      --realtime=no --high-priority=no --log-target=stderr \
      -L "module-native-protocol-unix auth-anonymous=1 socket=$socket" \
      -L "module-null-sink sink_name=$SINK_NAME sink_properties=device.description=$SINK_DESCRIPTION" \
      </dev/null >"$dir/pulseaudio.log" 2>&1 &
  pid=$!
  echo "$pid" >"$dir/daemon.pid"

  deadline=$((SECONDS + START_TIMEOUT))
  until PULSE_SERVER="unix:$socket" pactl info >/dev/null 2>&1; do
    if ! alive "$pid"; then
      cat "$dir/pulseaudio.log" >&2 || true
      rm -rf "$dir"
      die "pulseaudio exited during start-up (log above)"
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      kill -KILL "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
      cat "$dir/pulseaudio.log" >&2 || true
      rm -rf "$dir"
      die "pulseaudio did not answer 'pactl info' within ${START_TIMEOUT}s (log above)"
    fi
    sleep 0.1
  done

  printf 'export XDG_RUNTIME_DIR=%q\n' "$dir"
  printf 'export PULSE_SERVER=%q\n' "unix:$socket"
  printf 'export SONOVERT_PULSE_DIR=%q\n' "$dir"
  printf 'export SONOVERT_PULSE_PID=%s\n' "$pid"
}

stop() {
  local dir=${1:-${SONOVERT_PULSE_DIR:-}}
  [ -n "$dir" ] || die "usage: sound-server.sh stop DIR"
  [ -d "$dir" ] || return 0
  [ -e "$dir/$MARKER" ] || die "$dir was not made by sound-server.sh start; not touching it"
  local pid i
  pid=$(cat "$dir/daemon.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 50); do
      alive "$pid" || break
      sleep 0.1
    done
    if alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  rm -rf "$dir"
}

case "${1:-}" in
  start) start ;;
  stop) shift; stop "$@" ;;
  *) die "usage: sound-server.sh start | sound-server.sh stop DIR" ;;
esac
