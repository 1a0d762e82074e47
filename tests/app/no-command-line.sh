#!/usr/bin/env bash
# Starts the real game on a private X server with Qt's own command-line options
# and with arguments of no meaning, and checks that each time its window is the
# one it opens without arguments: position, size, title, class and every pixel.
# Qt's environment variables keep working: QT_STYLE_OVERRIDE changes the look
# (which also shows the pixel comparison sees a change of style), and
# QT_QPA_PLATFORM=offscreen keeps the window off the X server.
#
# no-command-line.sh <game> <songs folder>
set -euo pipefail

game=$(readlink -f "$1") songs=$2
for tool in Xvfb xdotool xwininfo xprop import; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/zorv-args.XXXXXX")
xvfb_pid='' game_pid=''
stop_game() {
    if [ -n "$game_pid" ]; then
        kill "$game_pid" 2>/dev/null || true
        wait "$game_pid" 2>/dev/null || true
        game_pid=''
    fi
}
cleanup() {
    stop_game
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Xvfb picks a free display itself, so parallel runs do not collide.
# -noreset: the server would otherwise reset when each game quits, refusing
# whoever connects meanwhile.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$tmp/xvfb.log")" >&2; exit 1; }
DISPLAY=":$(head -1 "$tmp/display")"
export DISPLAY QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy
unset WAYLAND_DISPLAY QT_STYLE_OVERRIDE
# In the sanitizer build: libxkbcommon-x11 strndup()s X atom names that have
# no NUL, which is sound, and strict_string_checks reads on past them to one
# and reports an overflow that is not there (as the soak, run without it).
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"

echo '* { background: red; }' >"$tmp/red.qss"

# Prints one line describing the game's window when started with the given
# environment assignments and arguments, or "no window" when none appears on
# the X server within <wait> seconds while the game stays up.
window_of() { # wait env-assignments args...
    local wait=$1 assignments=$2 window='' shot='' previous=''
    shift 2
    # shellcheck disable=SC2086  # assignments are words of VAR=value
    (cd "$songs" && exec env $assignments "$game" "$@") >"$tmp/game.log" 2>&1 &
    game_pid=$!
    for _ in $(seq $((wait * 10))); do
        window=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -1) || true
        [ -z "$window" ] || break
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! kill -0 "$game_pid" 2>/dev/null; then
        echo "game ended: $(tr '\n' ' ' <"$tmp/game.log")"
    elif [ -z "$window" ]; then
        echo "no window"
    else
        # The first frames may still be on their way: wait for two equal shots.
        for _ in $(seq 50); do
            shot=$(import -window "$window" rgb:- 2>/dev/null | md5sum | cut -d' ' -f1)
            [ "$shot" != "$previous" ] || break
            previous=$shot
            sleep 0.2
        done
        printf '%s %s %s pixels %s\n' \
            "$(xwininfo -id "$window" | awk '/Absolute upper-left|Width:|Height:/ { printf "%s ", $NF }')" \
            "$(xprop -id "$window" WM_NAME WM_CLASS | tr '\n' ' ')" \
            "icon $(xprop -id "$window" _NET_WM_ICON | md5sum | cut -c1-8)" "$shot"
    fi
    stop_game
}

baseline=$(window_of 20 '')
echo "without arguments: $baseline"
case $baseline in
    *pixels*) ;;
    *) echo "FAIL: the game shows no window without arguments" >&2; exit 1 ;;
esac

# expectation | environment | arguments (split at spaces; @TMP@ is the scratch folder)
failures=0
while IFS='|' read -r expect assignments arguments; do
    args=()
    for word in $arguments; do args+=("${word//@TMP@/$tmp}"); done
    wait=20
    [ "$expect" != "no window" ] || wait=3
    actual=$(window_of "$wait" "$assignments" "${args[@]}")
    case $expect in
        same) ok=$([ "$actual" = "$baseline" ] && echo 1 || echo 0) ;;
        differs) ok=$([[ "$actual" = *pixels* && "$actual" != "$baseline" ]] && echo 1 || echo 0) ;;
        "no window") ok=$([ "$actual" = "no window" ] && echo 1 || echo 0) ;;
    esac
    label=$(echo "$assignments ${args[*]}" | xargs)
    if [ "$ok" = 1 ]; then
        echo "ok   $label: $expect"
    else
        echo "FAIL $label: expected $expect, got: $actual" >&2
        failures=$((failures + 1))
    fi
done <<'EOF'
same||-qwindowgeometry 300x200+10+10
same||-geometry 300x200+10+10
same||-reverse
same||-style windows
same||-stylesheet @TMP@/red.qss
same||-qwindowtitle Other
same||-name other
same||-platform offscreen
same||-display unix:65000
same||Dodoroza.txt --help -
differs|QT_STYLE_OVERRIDE=windows|
no window|QT_QPA_PLATFORM=offscreen|
EOF

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed" >&2; exit 1; }
echo "arguments change nothing"
