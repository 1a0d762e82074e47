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
# dummy driver (no server: nothing may change). On PipeWire the recorder's
# convention is checked first (latency_bench --calibrate: bursts handed to
# the graph at known cycles, recorded on the sink's monitor and through a
# direct link, must come out at those cycles). On each server the game's
# path is played once more with the delay taken off 20 ms too large: the
# harness must see that error. For each server once more, the server killed
# mid-song: the position must still reach the length. --sweep adds, at forced
# quanta of 64 to 2048 frames, the calibration and both PipeWire paths: the
# data the PipeWire delay is fitted to. --check is the audio-server test:
# PulseAudio and both PipeWire paths, a few seconds of clicks each; exits 1
# unless the median of heard - position is within 3 ms on every one (and the
# PipeWire recorder's convention holds). --build DIR uses
# DIR/bench/latency/latency_bench as built.
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
  status=0
  start_pulseaudio
  run "$work/pulseaudio" "" --label "PulseAudio" --recorder pulse --check || status=1
  cleanup
  start_pipewire
  pw=$work/pipewire
  run "$pw" "" --label "PipeWire" --calibrate --seconds 4 || status=1
  run "$pw" "" --label "PipeWire, pulse layer" --recorder pipewire --check || status=1
  run "$pw" pipewire --label "PipeWire, native" --recorder pipewire --check || status=1
  cleanup
  table
  exit "$status"
fi

echo "== PulseAudio" >&2
start_pulseaudio
run "$work/pulseaudio" "" --label "PulseAudio, game's driver (pulseaudio)" --recorder pulse --error-ms 20
cleanup
# Again, for the server to be killed 3 s into an 8 s song.
start_pulseaudio
run "$work/pulseaudio" "" --label "PulseAudio" --kill "$server_pid" --seconds 8 || true
cleanup

echo "== PipeWire" >&2
start_pipewire
pw=$work/pipewire
quantum() { in_env "$pw" pw-metadata -n settings 0 clock.force-quantum "$1" >/dev/null; }
run "$pw" "" --label "PipeWire, recorder's convention, default quantum" --calibrate --seconds 6 || true
run "$pw" "" --label "PipeWire, game's driver (pulseaudio)" --recorder pipewire --error-ms 20
run "$pw" pipewire --label "PipeWire, SDL's pipewire driver" --recorder pipewire
if [ -n "$sweep" ]; then
  for q in 64 128 256 512 1024 2048; do
    quantum "$q"
    run "$pw" "" --label "PipeWire, recorder's convention, quantum $q" --calibrate --seconds 5 || true
    run "$pw" "" --label "PipeWire, pulseaudio, quantum $q" --recorder pipewire
    run "$pw" pipewire --label "PipeWire, pipewire, quantum $q" --recorder pipewire
  done
  quantum 0
fi
cleanup
start_pipewire
run "$pw" "" --label "PipeWire" --kill "$server_pid" --seconds 8 || true
cleanup

echo "== SDL's dummy driver, no server" >&2
run "" dummy --label "dummy driver" --recorder none

table
