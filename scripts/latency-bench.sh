#!/usr/bin/env bash
# Measures how far the play position is from the sound the player hears,
# behind a sound server: starts private servers with a null sink, plays a
# click track through the real SdlMediaPlayer (bench/latency), records the
# sink's monitor with steady-clock timestamps and prints, per server, heard
# minus position before and after the player takes the server's delay off.
# Not a test: nothing fails on a missed target (but --check does, see below).
#
#   scripts/latency-bench.sh [--seconds N] [--sweep] [--build DIR]
#   scripts/latency-bench.sh --check [--seconds N] [--build DIR]
#
# Runs: PulseAudio; PipeWire with pipewire-pulse and WirePlumber, through the
# driver the game picks (pulseaudio) and through SDL's pipewire driver; SDL's
# dummy driver (no server: nothing may change). For each server once more, the
# server killed mid-song: the position must still reach the length. --sweep adds PipeWire runs at
# forced quanta of 64 to 2048 frames, the data the PipeWire delay model is
# fitted to. --check runs PulseAudio only and exits 1 unless taking the delay
# off moved the median towards 0 by more than the spread (the audio-server
# test). --build DIR uses DIR/bench/latency/latency_bench as built.
#
# Every server runs in a private runtime directory with its own sockets, its
# own D-Bus session bus, HOME and configuration (PipeWire's "vm.overrides"
# emptied, so a virtual machine gets the quanta a desktop gets); it sees no
# sound card and no system bus. Every process started here is ended on exit,
# also on failure or Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=20
sweep=
check=
build=
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --sweep) sweep=1; shift ;;
    --check) check=1; shift ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: scripts/latency-bench.sh [--seconds N] [--sweep] [--check] [--build DIR]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh --audio-servers
if [ -z "$build" ]; then
  build=$root/build/bench
  cmake --preset default -B "$build" >/dev/null
  cmake --build "$build" -j2 --target latency_bench
fi
bench=$build/bench/latency/latency_bench
[ -x "$bench" ] || { echo "no $bench; build the latency_bench target" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zorv-latency.XXXXXX")
# shellcheck source=scripts/private-servers.sh
source "$root/scripts/private-servers.sh"
trap 'cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

figures=$work/figures
: >"$figures"
# Runs the bench in a server's environment; $1 the server's folder (or "" for
# none), $2 SDL's driver ("" for the game's own choice), the rest its options.
run() {
  local dir=$1 driver=$2
  shift 2
  local envs=()
  if [ -n "$dir" ]; then envs=($(cat "$dir/env")); else envs=("PATH=$PATH" "XDG_RUNTIME_DIR=$work/none"); fi
  [ -n "$driver" ] && envs+=("SDL_AUDIODRIVER=$driver")
  env -i "${envs[@]}" TMPDIR="$work" "$bench" --seconds "$seconds" "$@" >>"$figures"
}

table() {
  echo
  echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
  echo "servers: PulseAudio $(pulseaudio --version | awk '{print $2}'), PipeWire $(pipewire --version | sed -n 's/.*libpipewire \([0-9.]*\).*/\1/p' | head -n1), null sinks at 48 kHz; SDL $(pkg-config --modversion sdl2 2>/dev/null || echo 2)"
  echo "load average (1, 5, 15 min) before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  "$root"/scripts/table.py "$figures" FIGURE figure result target ""
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
mkdir -p "$work/none" && chmod 700 "$work/none"

if [ -n "$check" ]; then
  start_pulseaudio
  status=0
  run "$work/pulseaudio" pulseaudio --label pulseaudio --recorder pulse --check || status=$?
  cleanup
  table
  exit "$status"
fi

echo "== PulseAudio" >&2
start_pulseaudio
run "$work/pulseaudio" "" --label "PulseAudio, game's driver (pulseaudio)" --recorder pulse
cleanup
# Again, for the server to be killed 3 s into an 8 s song.
start_pulseaudio
run "$work/pulseaudio" "" --label "PulseAudio" --kill "$server_pid" --seconds 8 || true
cleanup

echo "== PipeWire" >&2
start_pipewire
pw=$work/pipewire
run "$pw" "" --label "PipeWire, game's driver (pulseaudio)" --recorder pipewire
run "$pw" pipewire --label "PipeWire, SDL's pipewire driver" --recorder pipewire
if [ -n "$sweep" ]; then
  for quantum in 64 128 512 1024 2048; do
    in_env "$pw" pw-metadata -n settings 0 clock.force-quantum "$quantum" >/dev/null
    run "$pw" "" --label "PipeWire, pulseaudio, quantum $quantum" --recorder pipewire
  done
  for quantum in 128 256 1024; do
    in_env "$pw" pw-metadata -n settings 0 clock.force-quantum "$quantum" >/dev/null
    run "$pw" pipewire --label "PipeWire, pipewire, quantum $quantum" --recorder pipewire
  done
fi
cleanup
start_pipewire
run "$pw" "" --label "PipeWire" --kill "$server_pid" --seconds 8 || true
cleanup

echo "== SDL's dummy driver, no server" >&2
run "" dummy --label "dummy driver" --recorder none

table
