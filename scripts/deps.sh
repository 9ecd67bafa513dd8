#!/usr/bin/env bash
# Installs the Debian 12 packages SONOVERT needs, but only those that are
# missing. This is the one place where the package list lives: to add a
# package, add one line to the right group below.
#
# Usage: scripts/deps.sh [GROUP...]   GROUP: build, runtime, test (default: all)
set -euo pipefail

# Compiling the program and its tests.
BUILD_PACKAGES=(
  cmake
  g++
  make
  pkg-config
  libgtk-3-dev
  libgstreamer1.0-dev
  libgstreamer-plugins-base1.0-dev
  libpulse-dev
  libfluidsynth-dev
  libsmf-dev
  libgtest-dev
  libxtst-dev
  libxfixes-dev
)

# Running the program: playback, sound server, SoundFont, fonts, GTK.
RUNTIME_PACKAGES=(
  gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good
  gstreamer1.0-pulseaudio
  gstreamer1.0-x
  timgm6mb-soundfont
  fonts-dejavu-core
  pulseaudio
  pulseaudio-utils
  libgtk-3-0
  at-spi2-core
  dbus-x11
)

# Running the tests headless: virtual X server, screenshots.
TEST_PACKAGES=(
  xvfb
  xauth
  x11-utils
  imagemagick
)

SOUNDFONT=/usr/share/sounds/sf2/default-GM.sf2

die() { echo "deps.sh: $*" >&2; exit 1; }

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build runtime test)

wanted=()
for g in "${groups[@]}"; do
  case "$g" in
    build)   wanted+=("${BUILD_PACKAGES[@]}") ;;
    runtime) wanted+=("${RUNTIME_PACKAGES[@]}") ;;
    test)    wanted+=("${TEST_PACKAGES[@]}") ;;
    all)     wanted+=("${BUILD_PACKAGES[@]}" "${RUNTIME_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
    *) die "unknown group '$g' (use build, runtime, test or all)" ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
  case "$status" in
    ii*) ;;
    *) missing+=("$p") ;;
  esac
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    die "missing packages: ${missing[*]}
run as root: apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
  fi
  echo "deps.sh: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=300 update -q >&2
  apt-get -o DPkg::Lock::Timeout=300 install -y -q --no-install-recommends "${missing[@]}" >&2
fi

# The SoundFont comes through the alternatives system (timgm6mb-soundfont).
for g in "${groups[@]}"; do
  if [ "$g" = runtime ] || [ "$g" = all ]; then
    if [ ! -e "$SOUNDFONT" ] && [ "$(id -u)" -eq 0 ]; then
      update-alternatives --auto default-GM.sf2 >/dev/null 2>&1 || true
    fi
    [ -e "$SOUNDFONT" ] || die "no SoundFont at $SOUNDFONT (package timgm6mb-soundfont provides it)"
  fi
done
exit 0
