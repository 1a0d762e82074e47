#!/usr/bin/env bash
# Measures the game as it plays a bundled song and prints each figure with its
# target. Not a test: the figures depend on the machine, and nothing fails.
#
#   scripts/bench.sh [--song Dodoroza|Virizivez] [--offscreen] [--seconds N] [--build DIR]
#
# --build DIR measures the binaries already built in DIR (another tree's build
# folder, say, to compare before and after a change) instead of building.
#
# Builds what it needs in build/bench, starts its own Xvfb (the paint path
# then ends in a real X server, as on a player's desktop; --offscreen paints
# into Qt's offscreen backing store instead and skips the figures that need a
# window on a screen), plays with SDL's dummy audio driver, and runs:
#   form_bench, dense chart    tick cost with 16 arrows and 4 judgements, tick
#                              spacing, key path (in the process, steady clock)
#   form_bench, bundled chart  tick spacing and key path over the whole song,
#                              play position against the frames consumed
#   pad_bench                  a virtual dance mat stepping during the dense
#                              chart: press to rules, CPU of device reading
#   launch_probe + zorv        start-up to the window drawn (5 launches), and
#                              over a whole song: peak RSS and CPU share
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

song=Dodoroza
platform=xcb
seconds=60
build=
while [ $# -gt 0 ]; do
  case "$1" in
    --song) song=$2; shift 2 ;;
    --offscreen) platform=offscreen; shift ;;
    --seconds) seconds=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: scripts/bench.sh [--song Dodoroza|Virizivez] [--offscreen] [--seconds N] [--build DIR]" >&2; exit 2 ;;
  esac
done
case "$song" in Dodoroza|Virizivez) ;; *) echo "no such song: $song" >&2; exit 2 ;; esac

if [ -z "$build" ]; then
  scripts/install-deps.sh
  build=$root/build/bench
  cmake --preset default -B "$build" >/dev/null
  cmake --build "$build" -j2 --target zorv form_bench launch_probe form_tick_bench rules_bench pad_bench
fi

songs=$root/songs
if [ ! -f "$songs/$song.mp3" ]; then
  echo "songs/$song.mp3 is missing; tools/songs/make-songs.sh renders it" >&2
  exit 1
fi

# Other work on the machine shows up in every figure; say how busy it was.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
work=$(mktemp -d)
xvfb_pid=
zorv_pid=
cleanup() {
  [ -n "$zorv_pid" ] && kill -KILL "$zorv_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=$platform
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
if [ "$platform" = xcb ]; then
  # -displayfd picks a free display and says which once the server is ready.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$(cat "$work/display")
fi

figures=$work/figures
: >"$figures"
figure() { printf 'FIGURE\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >>"$figures"; }

echo "== form_bench, dense chart, ${seconds} s" >&2
"$build/bench/form_bench" --songs "$songs" --song "$song" --chart dense --seconds "$seconds" \
  >"$work/dense.out" 2>"$work/dense.err" || { cat "$work/dense.err" >&2; exit 1; }
grep -v '^QStandardPaths' "$work/dense.err" >&2 || true
cat "$work/dense.out" >>"$figures"

echo "== form_bench, bundled chart, whole song" >&2
"$build/bench/form_bench" --songs "$songs" --song "$song" --chart song \
  >"$work/song.out" 2>"$work/song.err" || { cat "$work/song.err" >&2; exit 1; }
grep -v '^QStandardPaths' "$work/song.err" >&2 || true
cat "$work/song.out" >>"$figures"
length_s=$(sed -n 's/.*song \([0-9.]*\) s$/\1/p' "$work/song.err" | head -n1)

echo "== pad_bench, a virtual dance mat, ${seconds} s of steps" >&2
"$build/bench/pad_bench" --seconds "$seconds" >"$work/pad.out" 2>"$work/pad.err" || { cat "$work/pad.err" >&2; exit 1; }
grep -v '^QStandardPaths' "$work/pad.err" >&2 || true
cat "$work/pad.out" >>"$figures"

if [ "$platform" = xcb ]; then
  echo "== zorv start-up, 5 launches" >&2
  (
    cd "$songs"
    for _ in 1 2 3 4 5; do
      "$build/bench/launch_probe" --kill -- "$build/app/zorv" 2>/dev/null
      sleep 0.5
    done
  ) >"$work/startup.out"
  cat "$work/startup.out" >&2
  python3 - "$work/startup.out" >>"$figures" <<'EOF'
import re, statistics, sys
drawn = [float(m) for m in re.findall(r"drawn_ms=([-0-9.]+)", open(sys.argv[1]).read())]
ok = drawn and min(drawn) >= 0
verdict = "ok" if ok and max(drawn) < 300 else "MISS"
print(f"FIGURE\tstart-up: process start -> window drawn\tmedian {statistics.median(drawn):.0f} ms, "
      f"max {max(drawn):.0f} ms (n={len(drawn)})\t< 300 ms\t{verdict}")
EOF

  echo "== zorv, whole song ($length_s s), keys pressed twice a second" >&2
  cd "$songs"
  "$build/bench/launch_probe" -- "$build/app/zorv" >"$work/launch.out" 2>/dev/null
  cd "$root"
  zorv_pid=$(sed -n 's/^pid=\([0-9]*\).*/\1/p' "$work/launch.out")
  # The window sits where the form puts it; click list, the song, start.
  left=235 top=200
  click() { xdotool mousemove $((left + $1)) $((top + $2)) click 1; sleep 0.3; }
  click 469 588                                       # list
  if [ "$song" = Dodoroza ]; then click 184 264; else click 184 336; fi
  ticks_per_s=$(getconf CLK_TCK)
  cpu_ticks() { awk '{print $14 + $15}' "/proc/$zorv_pid/stat"; }
  click 469 628                                       # start
  start_ns=$(date +%s%N)
  start_cpu=$(cpu_ticks)
  end_ns=$((start_ns + ${length_s%.*} * 1000000000 + 10#${length_s#*.} * 100000000))
  keys=(Left Up Down Right)
  i=0
  while [ "$(date +%s%N)" -lt "$end_ns" ]; do
    xdotool key "${keys[i % 4]}"
    i=$((i + 1))
    sleep 0.5
  done
  end_cpu=$(cpu_ticks)
  end_ns=$(date +%s%N)
  hwm_kb=$(awk '/^VmHWM/ {print $2}' "/proc/$zorv_pid/status")
  # close; once a song has played, SDL holds SIGTERM for an event loop the
  # game does not run, so only SIGKILL is sure to end it.
  click 573 588
  for _ in $(seq 20); do kill -0 "$zorv_pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$zorv_pid" 2>/dev/null || true
  zorv_pid=
  python3 - "$start_cpu" "$end_cpu" "$ticks_per_s" "$start_ns" "$end_ns" "$hwm_kb" "$i" >>"$figures" <<'EOF'
import sys
start_cpu, end_cpu, hz, start_ns, end_ns, hwm_kb, keys = (float(v) for v in sys.argv[1:])
wall = (end_ns - start_ns) / 1e9
share = (end_cpu - start_cpu) / hz / wall * 100
mb = hwm_kb / 1024
print(f"FIGURE\tpeak resident memory (VmHWM), zorv\t{mb:.1f} MB\t< 80 MB\t{'ok' if mb < 80 else 'MISS'}")
print(f"FIGURE\tCPU time over a whole song, zorv\t{share:.2f} % of one core over {wall:.0f} s, "
      f"{int(keys)} keys\t< 3 %\t{'ok' if share < 3 else 'MISS'}")
EOF
fi

{
  echo
  echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1); Qt platform: $platform; audio: SDL dummy driver; song: $song"
  echo "load average (1, 5, 15 min) before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  "$root"/scripts/table.py "$figures" FIGURE figure result target ""
}
