#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game on the bundled songs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target zorv
cd songs
exec ../build/default/app/zorv
