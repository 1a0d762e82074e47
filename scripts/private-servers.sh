# shellcheck shell=bash
# Sourced, not run: private sound servers and the processes around them, for
# the scripts that play through a real server (scripts/latency-bench.sh,
# scripts/autoplay.sh).
#
# Every server runs in a private runtime directory under $work (set by the
# sourcing script) with its own sockets, its own D-Bus session bus, HOME and
# configuration; it sees no sound card and no system bus. Every process
# started through `start` is recorded in `pids`, and `cleanup` ends them,
# newest first: the sourcing script calls it from its EXIT trap.
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
