#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (widget tests offscreen,
# audio through SDL's dummy driver).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

cmake --preset default
cmake --build --preset default -j "$(nproc)"
ctest --preset default -j 2
