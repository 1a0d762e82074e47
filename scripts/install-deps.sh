#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the game.
# Idempotent: does nothing (no network, no root) when every package is present.
#
#   scripts/install-deps.sh                  to build and play
#   scripts/install-deps.sh --audio-servers  also the sound servers the
#                                            latency benchmark and its test
#                                            run privately
#
# The servers are asked for only by name: installing PulseAudio or PipeWire's
# pulse layer on a desktop that runs the other could change which one the
# desktop starts at the next login, so scripts/play.sh never does.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsdl2-dev libsdl2-mixer-dev libaubio-dev
  libpulse-dev libpipewire-0.3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-nanum fonts-dejavu-core
  xvfb xdotool imagemagick x11-utils libx11-dev libxdamage-dev libxtst-dev
  lame sox
  python3
  clang libclang-rt-14-dev clang-format
  desktop-file-utils dpkg-dev file lintian appstream libglib2.0-bin shared-mime-info
)

if [ "${1:-}" = --audio-servers ]; then
  packages+=(pulseaudio pulseaudio-utils pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "Need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
