#!/usr/bin/env bash
# Plays a chart in the real game as a player with perfect timing would, and
# prints the judgements the game gave. Not a test (a song takes minutes and
# the figures depend on the machine): a benchmark of the chart and the game.
#
#   scripts/autoplay.sh [--song NAME | --audio FILE] [--level easy|medium|hard|all]
#                       [--bundled] [--offsets MS[,MS...]] [--dummy] [--build DIR]
#
# --song NAME: a bundled song (Dodoroza, Virizivez) or a corpus song, looked
# up in $ZORV_CORPUS (default build/corpus); --audio FILE any song. Default:
# Dodoroza. Each level (default all three) is charted with
# `zorv-chart make --into DIR --slot 1` into a folder of its own and played.
# --bundled plays the song's bundled chart as it is instead (Dodoroza or
# Virizivez only). --offsets presses that many ms after each beat (one play
# per offset; default 0): where the judgements change shows the window's
# margin. --dummy plays once more on SDL's dummy driver, with no sound to
# listen to, timed from the start key as the earlier harness did.
# --build DIR uses zorv, zorv-chart and autoplay as built in DIR.
# ZORV_AUTOPLAY_OPTIONS adds options of the player's own (see its source).
#
# Starts Xvfb and a private PulseAudio with a null sink (scripts/
# private-servers.sh: private runtime folder, sockets, D-Bus session bus; no
# sound card), runs the real `zorv` in the chart's folder, so the game plays
# through PulseAudio in real time with its latency compensation on, and
# bench/autoplay/autoplay beside it: it listens to the sink's monitor, finds
# when the song started as heard, presses each note's key at its beat through
# XTest, and reads the game's score board. A song's NAME.truth beside its
# audio (the corpus's ground truth) adds presses against the true onsets.
# Every process started here is ended on exit, also on failure or Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

song=
audio=
levels=all
bundled=
offsets=0
dummy=
build=
usage() {
  echo "usage: scripts/autoplay.sh [--song NAME | --audio FILE] [--level easy|medium|hard|all] [--bundled]" \
    "[--offsets MS[,MS...]] [--dummy] [--build DIR]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case "$1" in
    --song) song=$2; shift 2 ;;
    --audio) audio=$(realpath "$2"); shift 2 ;;
    --level) levels=$2; shift 2 ;;
    --bundled) bundled=1; shift ;;
    --offsets) offsets=$2; shift 2 ;;
    --dummy) dummy=1; shift ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$song" ] && [ -n "$audio" ] && usage
case "$levels" in all) levels="easy medium hard" ;; easy|medium|hard) ;; *) usage ;; esac
[ -z "$song" ] && [ -z "$audio" ] && song=Dodoroza

scripts/install-deps.sh --audio-servers
if [ -z "$build" ]; then
  build=$root/build/bench
  cmake --preset default -B "$build" >/dev/null
  cmake --build "$build" -j2 --target zorv zorv-chart autoplay
fi
zorv=$build/app/zorv
chart_tool=$build/tools/chart/zorv-chart
player=$build/bench/autoplay/autoplay
for program in "$zorv" "$chart_tool" "$player"; do
  [ -x "$program" ] || { echo "no $program; build zorv, zorv-chart and autoplay" >&2; exit 1; }
done

# Which song, its audio and, for a corpus song, its ground truth.
slot=1
if [ -n "$song" ]; then
  case "$song" in
    Dodoroza) audio=$root/songs/Dodoroza.mp3 ;;
    Virizivez) audio=$root/songs/Virizivez.mp3; slot=2 ;;
    *)
      corpus=${ZORV_CORPUS:-$root/build/corpus}
      if [ ! -f "$corpus/$song.mp3" ] && [ -x tools/corpus/make-corpus.sh ]; then
        tools/corpus/make-corpus.sh --only "$song" "$corpus"
      fi
      audio=$corpus/$song.mp3
      ;;
  esac
fi
[ -f "$audio" ] || { echo "no audio: $audio (set ZORV_CORPUS or give --audio FILE)" >&2; exit 1; }
if [ -n "$bundled" ] && [ "$song" != Dodoroza ] && [ "$song" != Virizivez ]; then
  echo "--bundled plays a bundled song's own chart: --song Dodoroza or Virizivez" >&2
  exit 2
fi
truth=${audio%.*}.truth
[ -f "$truth" ] || truth=

work=$(mktemp -d "${TMPDIR:-/tmp}/zorv-autoplay.XXXXXX")
# shellcheck source=scripts/private-servers.sh
source "$root/scripts/private-servers.sh"
trap 'cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# Ends one process started by `start` and forgets it. The game ends itself
# when the player clicks close; once a song has played SDL holds SIGTERM for
# an event loop the game does not run, so a game that did not end gets KILL.
end_process() {
  local pid=$1 kept=() p
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  for p in "${pids[@]}"; do [ "$p" = "$pid" ] || kept+=("$p"); done
  pids=("${kept[@]}")
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== PulseAudio and Xvfb" >&2
start_pulseaudio
server=$work/pulseaudio
# A silent stream keeps the null sink rendering 20 ms ahead, as a sound card's
# sink runs once anything plays. Left idle with the player's recorders on its
# monitor, the null sink renders up to 2 s ahead and a stream that arrives
# then is heard over a second late for the whole song; the game's latency
# compensation ignores answers over 1 s, so every arrow ran about 960 ms
# ahead of the music (Dodoroza, bundled chart: 37 judgements, all good).
start "$server" "$work/silence.log" sh -c \
  'exec pacat --playback --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 </dev/zero'
start "$server" "$work/xvfb.log" Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset
wait_for "Xvfb" "$work/xvfb.log" grep -qx '[0-9][0-9]*' "$work/xvfb.log"
echo "DISPLAY=:$(grep -x '[0-9][0-9]*' "$work/xvfb.log" | head -n1)" >>"$server/env"

results=$work/results
: >"$results"
runs=0
# Plays the chart of slot $2 in the songs folder $1; $3 the label, the rest
# the player's options. "--no-sound" among them plays on SDL's dummy driver.
play() {
  local folder=$1 slot=$2 label=$3
  shift 3
  local driver=()
  [[ " $* " == *" --no-sound "* ]] && driver=(SDL_AUDIODRIVER=dummy)
  runs=$((runs + 1))
  echo "== $label" >&2
  # shellcheck disable=SC2016  # expanded by the inner shell
  start "$server" "$work/zorv-$runs.log" "${driver[@]}" QT_QPA_PLATFORM=xcb \
    sh -c 'cd "$1" && exec "$2"' sh "$folder" "$zorv"
  local game=${pids[-1]} chart
  if [ "$slot" = 1 ]; then chart=$folder/Dodoroza.txt; else chart=$folder/Virizivez.txt; fi
  local status=0
  # shellcheck disable=SC2086  # ZORV_AUTOPLAY_OPTIONS: one option a word
  in_env "$server" "$player" --chart "$chart" --slot "$slot" --label "$label" \
    ${truth:+--truth "$truth"} "$@" ${ZORV_AUTOPLAY_OPTIONS:-} >"$work/play-$runs.out" || status=$?
  cat "$work/play-$runs.out"
  grep '^RESULT' "$work/play-$runs.out" >>"$results" || true
  end_process "$game"
  if [ "$status" -ne 0 ]; then
    echo "the player failed; the game's log:" >&2
    cat "$work/zorv-$runs.log" >&2
    return 1
  fi
}

name=$(basename "${audio%.*}")
IFS=, read -r -a offset_list <<<"$offsets"
if [ -n "$bundled" ]; then
  for offset in "${offset_list[@]}"; do
    play "$root/songs" "$slot" "$name, bundled chart, offset $offset ms" --offset "$offset"
  done
  if [ -n "$dummy" ]; then
    play "$root/songs" "$slot" "$name, bundled chart, dummy driver, timed from the start key" --no-sound
  fi
else
  for level in $levels; do
    folder=$work/songs-$level
    "$chart_tool" make "$audio" --level "$level" --into "$folder" --slot 1 2>"$work/make-$level.log" >/dev/null ||
      { cat "$work/make-$level.log" >&2; exit 1; }
    grep -E "^  ($level|length)" "$work/make-$level.log" >&2 || true
    for offset in "${offset_list[@]}"; do
      play "$folder" 1 "$name, $level, offset $offset ms" --offset "$offset"
    done
    if [ -n "$dummy" ]; then
      play "$folder" 1 "$name, $level, dummy driver, timed from the start key" --no-sound
    fi
  done
fi

echo
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
echo "PulseAudio $(pulseaudio --version | awk '{print $2}'), null sink at 48 kHz; Xvfb; the game's own latency compensation on"
echo "load average (1, 5, 15 min) before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
"$root"/scripts/table.py "$results" RESULT run notes great good bad miss unjudged sum
