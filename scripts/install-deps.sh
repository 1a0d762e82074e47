#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the game.
# Idempotent: does nothing (no network, no root) when every package is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsdl2-dev libsdl2-mixer-dev libaubio-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-nanum fonts-dejavu-core
  xvfb xdotool imagemagick x11-utils libx11-dev libxdamage-dev
  lame sox
  clang libclang-rt-14-dev clang-format
  desktop-file-utils dpkg-dev file lintian appstream
)

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
