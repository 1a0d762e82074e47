#!/usr/bin/env bash
# Opens songs with the installed launcher on a private X server, as a file
# manager's "Open With Zorv" does, and checks what the player gets:
#   - a song starts the real game in a folder of the data folder, whose first
#     slot is the song's easy chart and second its hard one, byte for byte
#     what zorv-chart make writes, and whose start plays the song's copy there;
#   - opening it again takes that folder as it is, charting nothing;
#   - a text file named .mp3 gets a message box and no game;
#   - Cancel in the progress window of a long song leaves nothing behind.
#
# open-song.sh <cmake> <build dir> <zorv-chart> <songs folder>
# ZORV_SHOTS=<folder> keeps screenshots of the progress window and the box.
set -euo pipefail

cmake=$1 build=$2 chart=$3 bundled=$4
for tool in Xvfb xdotool import sox; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

tmp=$(readlink -f "$(mktemp -d "${TMPDIR:-/tmp}/zorv-open.XXXXXX")")
xvfb_pid='' run_pid=''
stop_run() {
    if [ -n "$run_pid" ]; then
        for child in $(pgrep -P "$run_pid" 2>/dev/null); do kill "$child" 2>/dev/null || true; done
        kill "$run_pid" 2>/dev/null || true
        wait "$run_pid" 2>/dev/null || true
        run_pid=''
    fi
}
cleanup() {
    stop_run
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

prefix="$tmp/prefix"
"$cmake" --install "$build" --prefix "$prefix" --component zorv >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }
zorv=$prefix/games/zorv game=$prefix/libexec/zorv/zorv open=$prefix/libexec/zorv/zorv-open

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$tmp/xvfb.log")" >&2; exit 1; }
DISPLAY=":$(head -1 "$tmp/display")"
export DISPLAY QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy XDG_DATA_HOME="$tmp/data"
# In the sanitizer build: libxkbcommon-x11 strndup()s X atom names that have
# no NUL, which is sound, and strict_string_checks reads on past them to one
# and reports an overflow that is not there.
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
unset WAYLAND_DISPLAY ZORV_SONGS
cache=$XDG_DATA_HOME/zorv/songs

mkdir -p "$tmp/music"
cp "$bundled/Dodoroza.mp3" "$tmp/music/My Song.mp3"
echo "a shopping list, not a song" >"$tmp/music/notes.mp3"
# Half an hour at 8 kHz: long enough to cancel while it is charted.
sox -n -r 8000 -c 1 -b 16 "$tmp/music/long.wav" synth 1800 sine 440 vol 0.3

# Starts the launcher on songs, as a menu would, from the entry's folder.
launch() {
    (cd "$prefix/share/games/zorv/songs" && exec "$zorv" "$@") >"$tmp/run.out" 2>"$tmp/run.err" &
    run_pid=$!
}

# Waits for a visible window of the program `exe` started by the launcher;
# prints "<window> <pid>".
window_of() { # exe seconds
    local want=$1 pid window
    for _ in $(seq $(($2 * 10))); do
        for pid in $run_pid $(pgrep -P "$run_pid" 2>/dev/null); do
            [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$want" ] || continue
            window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1) || true
            [ -z "$window" ] || { echo "$window $pid"; return 0; }
        done
        kill -0 "$run_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

shot() { # window name
    [ -n "${ZORV_SHOTS:-}" ] || return 0
    mkdir -p "$ZORV_SHOTS"
    sleep 0.3
    import -window root "$ZORV_SHOTS/$2.png" 2>/dev/null || true
}

# Waits for the launcher to end; sets `status`.
wait_run() {
    status=0
    wait "$run_pid" || status=$?
    run_pid=''
}

# --- A song starts the game on its easy chart --------------------------------
"$chart" make "$tmp/music/My Song.mp3" --level easy --into "$tmp/easy" --slot 1 2>/dev/null
"$chart" make "$tmp/music/My Song.mp3" --level hard --into "$tmp/hard" --slot 2 2>/dev/null
launch "$tmp/music/My Song.mp3"
if ! found=$(window_of "$game" 60); then
    fail "opening a song started no game: $(cat "$tmp/run.err")"
else
    read -r window pid <<<"$found"
    folder=$(readlink "/proc/$pid/cwd")
    case $folder in
        "$cache"/*) echo "the game runs in $folder" ;;
        *) fail "the game runs in $folder, not in $cache" ;;
    esac
    cmp -s "$folder/Dodoroza.txt" "$tmp/easy/Dodoroza.txt" || fail "slot 1 is not the song's easy chart"
    cmp -s "$folder/Virizivez.txt" "$tmp/hard/Virizivez.txt" || fail "slot 2 is not the song's hard chart"
    # list, Dodoroza (the panel's first choice, at 128,256), start.
    xdotool windowfocus --sync "$window"
    xdotool key --window "$window" alt+l
    sleep 0.5
    xdotool mousemove --window "$window" 140 264 click 1
    sleep 0.5
    xdotool key --window "$window" alt+s
    playing=''
    for _ in $(seq 50); do
        playing=$(find "/proc/$pid/fd" -lname '*.mp3' -printf '%l\n' 2>/dev/null | head -1)
        [ -z "$playing" ] || break
        sleep 0.1
    done
    if [ "$playing" != "$folder/My-Song.mp3" ]; then
        fail "the game plays '$playing', expected $folder/My-Song.mp3"
    else
        cmp -s "$playing" "$tmp/music/My Song.mp3" || fail "$playing is not the song"
        echo "the game plays $playing"
    fi
    ls -l --time-style=+%s.%N "$folder" >"$tmp/first.ls"
    stop_run
fi
[ "$(ls -A "$tmp/music" | wc -l)" = 3 ] || fail "written beside the songs: $(ls -A "$tmp/music")"

# --- Again: the same folder as it was ----------------------------------------
launch "$tmp/music/My Song.mp3"
if ! found=$(window_of "$game" 60); then
    fail "opening the song again started no game: $(cat "$tmp/run.err")"
else
    read -r window pid <<<"$found"
    [ "$(readlink "/proc/$pid/cwd")" = "${folder:-}" ] || fail "again, the game runs in $(readlink "/proc/$pid/cwd")"
    ls -l --time-style=+%s.%N "$folder" | diff "$tmp/first.ls" - >&2 || fail "the folder changed when opened again"
    stop_run
fi

# --- Not a song: a message box, no game ----------------------------------------
before=$(ls -A "$cache")
launch "$tmp/music/notes.mp3"
if ! found=$(window_of "$open" 30); then
    fail "a text file named .mp3 got no window: $(cat "$tmp/run.err")"
else
    read -r window pid <<<"$found"
    # Past the progress window's delay: the box alone, nothing over it.
    sleep 1
    windows=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
    [ "$windows" = 1 ] || fail "$windows windows with the message box"
    shot "$window" message-box
    [ "$(xdotool getwindowname "$window")" = Zorv ] || fail "the box is called $(xdotool getwindowname "$window")"
    # Typed as a player types (XTEST): the box closes as the key goes up.
    xdotool windowfocus --sync "$window" key Return 2>/dev/null || true
    wait_run
    [ "$status" = 2 ] || fail "a text file named .mp3: exit status $status, expected 2"
    grep -q "notes.mp3: not playable audio" "$tmp/run.err" || fail "stderr: $(cat "$tmp/run.err")"
    [ ! -s "$tmp/run.out" ] || fail "printed a folder: $(cat "$tmp/run.out")"
fi
[ "$(ls -A "$cache")" = "$before" ] || fail "the cache changed: $(ls -A "$cache")"

# --- Cancel: nothing behind -----------------------------------------------------
launch "$tmp/music/long.wav"
if ! found=$(window_of "$open" 30); then
    fail "a long song showed no progress window: $(cat "$tmp/run.err")"
else
    read -r window pid <<<"$found"
    shot "$window" progress
    xdotool windowfocus --sync "$window" key Escape 2>/dev/null || true
    wait_run
    [ "$status" = 3 ] || fail "cancelled: exit status $status, expected 3: $(cat "$tmp/run.err")"
fi
[ "$(ls -A "$cache")" = "$before" ] || fail "cancelling left: $(ls -A "$cache")"
pgrep -f "$game" >/dev/null && fail "a game is running"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "songs open as a player opens them"
