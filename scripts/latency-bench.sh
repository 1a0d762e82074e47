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
pids=()
cleanup() {
  local pid
  # Newest first: clients before the servers they talk to.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    pid=${pids[i]}
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  pids=()
}
trap 'cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# A clean environment for one server and its clients, all under $1.
private_env() {
  local dir=$1
  mkdir -p "$dir/run" "$dir/home" "$dir/config" "$dir/state"
  chmod 700 "$dir/run"
  printf '%s\n' \
    "PATH=/usr/sbin:/usr/bin:/sbin:/bin" \
    "HOME=$dir/home" \
    "XDG_RUNTIME_DIR=$dir/run" \
    "XDG_CONFIG_HOME=$dir/config" \
    "XDG_STATE_HOME=$dir/state" \
    "XDG_DATA_HOME=$dir/home/.local/share" \
    "DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/run/bus" \
    "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/run/no-system-bus" \
    "PULSE_SERVER=unix:$dir/run/pulse/native" \
    "PULSE_CLIENTCONFIG=$dir/client.conf" \
    "PULSE_RUNTIME_PATH=$dir/run/pulse" \
    "PIPEWIRE_RUNTIME_DIR=$dir/run" >"$dir/env"
  # No client started here may spawn a server of its own.
  echo "autospawn = no" >"$dir/client.conf"
}

# Runs a command in the private environment of $1, in the background.
start() {
  local dir=$1 log=$2
  shift 2
  env -i $(cat "$dir/env") "$@" >"$log" 2>&1 &
  pids+=($!)
}

in_env() {
  local dir=$1
  shift
  env -i $(cat "$dir/env") "$@"
}

wait_for() {
  local what=$1 log=$2
  shift 2
  for _ in $(seq 100); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "$what did not start; its log:" >&2
  cat "$log" >&2
  return 1
}

start_dbus() {
  local dir=$1
  start "$dir" "$dir/dbus.log" dbus-daemon --session --nofork --nopidfile --address="unix:path=$dir/run/bus"
  wait_for "dbus-daemon" "$dir/dbus.log" test -S "$dir/run/bus"
}

start_pulseaudio() {
  local dir=$work/pulseaudio
  private_env "$dir"
  cat >"$dir/default.pa" <<EOF
load-module module-null-sink sink_name=zorv_null rate=48000
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/run/pulse/native
set-default-sink zorv_null
EOF
  mkdir -p "$dir/run/pulse"
  start_dbus "$dir"
  start "$dir" "$dir/pulseaudio.log" pulseaudio -n -F "$dir/default.pa" --daemonize=no --system=no \
    --use-pid-file=no --exit-idle-time=-1 --disallow-module-loading=no --log-target=stderr
  server_pid=${pids[-1]}
  wait_for "PulseAudio" "$dir/pulseaudio.log" in_env "$dir" pactl info
}

start_pipewire() {
  local dir=$work/pipewire
  private_env "$dir"
  local conf=$dir/config/pipewire
  mkdir -p "$conf" "$dir/config/wireplumber/main.lua.d" "$dir/config/wireplumber/bluetooth.lua.d"
  python3 - "$conf" <<'EOF'
import re, sys
conf = sys.argv[1]
null_sink = """context.objects = [
    { factory = adapter
        args = {
            factory.name     = support.null-audio-sink
            node.name        = "zorv_null"
            node.description = "zorv null sink"
            media.class      = "Audio/Sink"
            audio.position   = [ FL FR ]
            audio.rate       = 48000
            monitor.channel-volumes = true
        }
    }
"""
for name in ("pipewire.conf", "pipewire-pulse.conf"):
    text = open("/usr/share/pipewire/" + name).read()
    text = re.sub(r"vm\.overrides = \{[^}]*\}", "vm.overrides = { }", text)
    if name == "pipewire.conf":
        text = text.replace("context.objects = [\n", null_sink, 1)
    open(conf + "/" + name, "w").write(text)
EOF
  # WirePlumber without its device monitors (ALSA, V4L2, libcamera, BlueZ):
  # it links our streams to the null sink and touches no hardware.
  cat >"$dir/config/wireplumber/main.lua.d/90-enable-all.lua" <<'EOF'
load_module("metadata")
default_access.enable()
device_defaults.enable()
stream_defaults.enable()
EOF
  echo "-- no Bluetooth" >"$dir/config/wireplumber/bluetooth.lua.d/90-enable-all.lua"
  start_dbus "$dir"
  start "$dir" "$dir/pipewire.log" env PIPEWIRE_CONFIG_DIR="$conf" pipewire
  server_pid=${pids[-1]}
  wait_for "PipeWire" "$dir/pipewire.log" test -S "$dir/run/pipewire-0"
  start "$dir" "$dir/pipewire-pulse.log" env PIPEWIRE_CONFIG_DIR="$conf" pipewire-pulse
  start "$dir" "$dir/wireplumber.log" wireplumber
  wait_for "pipewire-pulse and WirePlumber" "$dir/wireplumber.log" \
    sh -c "env -i $(tr '\n' ' ' <"$dir/env") pactl info | grep -q '^Default Sink: zorv_null'"
}

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
  python3 - "$figures" <<'EOF'
import sys
rows = [line.rstrip("\n").split("\t")[1:] for line in open(sys.argv[1]) if line.startswith("FIGURE\t")]
head = ["figure", "result", "target", ""]
widths = [max(len(r[i]) for r in rows + [head]) for i in range(4)]
for r in [head] + rows:
    print("  ".join(cell.ljust(w) for cell, w in zip(r, widths)).rstrip())
EOF
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
