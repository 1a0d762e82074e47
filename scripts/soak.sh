#!/usr/bin/env bash
# Plays both bundled songs back to back for a while under a private X server,
# pressing random cursor keys several times a second, and fails when the game
# dies, stops answering, shows a message box, or its memory keeps growing.
#
#   scripts/soak.sh [minutes]        default 20
#
# Environment:
#   ZORV_BIN          the game to run (default: build/default/app/zorv, built first)
#   SOAK_RSS_SLACK_KB allowed RSS growth after the first minute (default 2048)
#   SOAK_LOG          where the samples go (default build/soak/soak.log)
#
# The game runs with songs/ as its working directory and SDL's dummy audio
# driver. There is no window manager: the script gives the window the focus
# itself before every batch of keys.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

minutes=${1:-20}
slack_kb=${SOAK_RSS_SLACK_KB:-2048}
log=${SOAK_LOG:-$root/build/soak/soak.log}
sample_every=5   # seconds between RSS samples and liveness checks
mkdir -p "$(dirname "$log")"

if [ -n "${ZORV_BIN:-}" ]; then
  bin=$(realpath "$ZORV_BIN")
else
  scripts/install-deps.sh
  cmake --preset default >/dev/null
  cmake --build --preset default -j 2 --target zorv >/dev/null
  bin=$root/build/default/app/zorv
fi
for f in Dodoroza.txt Dodoroza.mp3 Virizivez.txt Virizivez.mp3; do
  [ -f "songs/$f" ] || { echo "soak: songs/$f is missing" >&2; exit 2; }
done

# Length of a constant-bit-rate MP3 in whole seconds, rounded up; the songs
# are made that way (tools/songs/make-songs.sh). 150 s when it cannot be told.
song_seconds() {
  local kbps bytes
  kbps=$(file -b "$1" | grep -o '[0-9]\+ kbps' | head -1 | cut -d' ' -f1) || true
  bytes=$(stat -c %s "$1")
  if [ -n "$kbps" ] && [ "$kbps" -gt 0 ]; then
    echo $(( (bytes * 8 + kbps * 1000 - 1) / (kbps * 1000) ))
  else
    echo 150
  fi
}

display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "soak: no free X display number" >&2; exit 2; }

xvfb_pid= game_pid=
cleanup() {
  if [ -n "$game_pid" ]; then
    kill -CONT "$game_pid" 2>/dev/null || true   # in case it was found frozen
    kill "$game_pid" 2>/dev/null || true
    sleep 1
    kill -KILL "$game_pid" 2>/dev/null || true
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -ardelay 150 -arinterval 25 >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display" SDL_AUDIODRIVER=dummy
unset QT_QPA_PLATFORM
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

(cd songs && exec "$bin") >"$log.game" 2>&1 &
game_pid=$!

fail() {
  echo "soak: FAILED: $*" | tee -a "$log" >&2
  echo "soak: the game's last output ($log.game):" >&2
  tail -n 40 "$log.game" >&2 || true
  exit 1
}
x() { timeout 30 "$@" || fail "'$*' did not finish within 30 s"; }

window=
for _ in $(seq 100); do
  kill -0 "$game_pid" 2>/dev/null || fail "the game exited before showing its window"
  window=$(timeout 5 xdotool search --onlyvisible --name '^Zorv$' 2>/dev/null | head -1) || true
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "no window named Zorv appeared"

alive() { kill -0 "$game_pid" 2>/dev/null; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$game_pid/status" 2>/dev/null; }
# Qt stamps the window with the time of the last key it took from the server
# (there being no window manager to hand the stamp to), so a value that no
# longer follows the keys means the game has stopped reading its events.
# Both print "timeout" when the X server or the game does not answer in time.
user_time() {
  local out
  out=$(timeout 10 xprop -id "$window" _NET_WM_USER_TIME 2>&1) || { echo timeout; return; }
  grep -o '[0-9]\+$' <<<"$out" || echo none
}
message_boxes() {
  local out
  out=$(timeout 10 xdotool search --onlyvisible --name '^Zorv$' 2>/dev/null; echo "status $?")
  case $out in *"status 124") echo timeout; return ;; esac
  grep -v -e "^$window\$" -e '^status' <<<"$out" | grep -c . || true
}
command_key() { x xdotool windowfocus --sync "$window"; x xdotool key "$1"; sleep 0.6; }

keys=(Left Up Down Right)
keys_sent=0
# About a second of play: random cursor keys, each held 20..80 ms and now
# and then long enough (up to 400 ms) for the key to repeat.
press_keys() {
  local args=() i key hold
  for i in 1 2 3 4 5 6 7 8; do
    key=${keys[RANDOM % 4]}
    if (( RANDOM % 10 == 0 )); then hold=0.$(( 200 + RANDOM % 200 )); else hold=0.0$(( 2 + RANDOM % 7 )); fi
    args+=(keydown "$key" sleep "$hold" keyup "$key" sleep 0.0$(( 2 + RANDOM % 6 )))
  done
  x xdotool windowfocus --sync "$window"
  x xdotool "${args[@]}"
  keys_sent=$(( keys_sent + 8 ))
}

start_s=$SECONDS
end_s=$(( start_s + minutes * 60 ))
first_rss= min_rss= max_rss= last_rss= baseline= max_after=-
last_sample=-1000 last_time=none stale=0 songs_played=0
song_playing_until=0 last_picture=none frozen=0
echo "# seconds rss_kb keys song" >"$log"

sample() {
  local now=$(( SECONDS - start_s )) rss t boxes picture
  alive || fail "the game exited after ${now} s (see $log.game)"
  rss=$(rss_kb); [ -n "$rss" ] || fail "cannot read the game's memory"
  [ -z "$first_rss" ] && first_rss=$rss && min_rss=$rss && max_rss=$rss
  (( rss < min_rss )) && min_rss=$rss
  (( rss > max_rss )) && max_rss=$rss
  last_rss=$rss
  # The first minute is warm-up: fonts, pictures, the decoder and the device.
  if (( now <= 60 )); then
    baseline=$max_rss
  else
    if [ "$max_after" = - ] || (( rss > max_after )); then max_after=$rss; fi
    (( rss > baseline + slack_kb )) && fail "RSS grew to $rss kB, more than $slack_kb kB over $baseline kB"
  fi
  t=$(user_time)
  [ "$t" = timeout ] && fail "a window property query timed out"
  if [ "$t" = "$last_time" ]; then stale=$(( stale + 1 )); else stale=0; fi
  last_time=$t
  (( stale >= 3 )) && fail "the game took no key for $(( stale * sample_every )) s"
  # While a song plays the clock beside the bar changes every second, so a
  # picture of the window that stays the same means the game stopped drawing.
  if (( SECONDS < song_playing_until )); then
    picture=$(timeout 10 import -window "$window" rgb:- 2>/dev/null | md5sum) || fail "a screenshot timed out"
    if [ "$picture" = "$last_picture" ]; then frozen=$(( frozen + 1 )); else frozen=0; fi
    last_picture=$picture
    (( frozen >= 3 )) && fail "the window did not change for $(( frozen * sample_every )) s of music"
  fi
  boxes=$(message_boxes)
  [ "$boxes" = timeout ] && fail "a window search timed out"
  (( boxes == 0 )) || fail "a message box appeared"
  echo "$now $rss $keys_sent $1" >>"$log"
}

song=0
while (( SECONDS < end_s )); do
  if (( song % 2 == 0 )); then name=Dodoroza; choose=alt+d; else name=Virizivez; choose=alt+v; fi
  length=$(song_seconds "songs/$name.mp3")
  command_key alt+l
  command_key "$choose"
  command_key alt+s
  song_playing_until=$(( SECONDS + length - 2 ))
  song_end=$(( SECONDS + length + 2 ))
  (( song_end > end_s )) && song_end=$end_s
  while (( SECONDS < song_end )); do
    press_keys
    if (( SECONDS - last_sample >= sample_every )); then sample "$name"; last_sample=$SECONDS; fi
  done
  command_key alt+t
  sample "$name"
  songs_played=$(( songs_played + 1 ))
  song=$(( song + 1 ))
done

# Closing must end the process by itself, with status 0.
command_key alt+c
for _ in $(seq 50); do alive || break; sleep 0.1; done
alive && fail "the game did not end after close"
status=0; wait "$game_pid" || status=$?
game_pid=
(( status == 0 )) || fail "the game ended with status $status"

summary="soak: $(( (SECONDS - start_s) / 60 )) min, $songs_played songs, $keys_sent keys;"
summary+=" RSS kB first $first_rss min $min_rss max $max_rss last $last_rss;"
summary+=" after the first minute at most $max_after (baseline $baseline, slack $slack_kb)"
echo "$summary" | tee -a "$log"
