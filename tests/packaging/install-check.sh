#!/usr/bin/env bash
# Installs the package on this machine with apt, starts the game the way the
# desktop menu does (the entry's Exec in its Path) on a private X server, plays
# a song for a few seconds, removes the package, and checks that nothing is
# left behind: no file or folder under /usr, /etc or /opt that was not there
# before, no package state. Packages apt pulled in for it are purged again,
# so the machine ends with the packages it started with.
#
# Changes the machine while it runs: as root, on a Debian 12 system that may
# be changed (a container or a test machine), with zorv not installed.
#
#   tests/packaging/install-check.sh <zorv_*.deb>
set -euo pipefail

deb=$(readlink -f "$1")
[ "$(id -u)" = 0 ] || { echo "install-check: run as root" >&2; exit 2; }
if dpkg-query -W -f='${Status}' zorv 2>/dev/null | grep -q installed; then
    echo "install-check: zorv is installed already" >&2
    exit 2
fi

tmp=$(mktemp -d /tmp/zorv-install.XXXXXX)
xvfb_pid='' game_pid=''
cleanup() {
    [ -z "$game_pid" ] || kill "$game_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

packages() { dpkg-query -W -f='${Package}:${Architecture} ${db:Status-Abbrev}\n' | sort; }
files() { find /usr /etc /opt -xdev 2>/dev/null | sort; }
packages >"$tmp/packages.before"
files >"$tmp/files.before"

export DEBIAN_FRONTEND=noninteractive
echo "--- install"
apt-get install -y -q "$deb" | tail -3

# --- Start it as the menu does ---------------------------------------------
entry=/usr/share/applications/zorv.desktop
# Without files to open, a menu drops the entry's %F.
exec_line=$(sed -n 's/^Exec=//p' "$entry" | sed 's/ %F$//')
path=$(sed -n 's/^Path=//p' "$entry")
echo "menu: Exec=$exec_line Path=$path"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
DISPLAY=":$(head -1 "$tmp/display")"
export DISPLAY
# A fresh home, to see what the game writes there.
mkdir -p "$tmp/home"
# shellcheck disable=SC2086  # Exec is split into words as a menu would
(cd "$path" && HOME=$tmp/home SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb exec $exec_line) >"$tmp/game.log" 2>&1 &
game_pid=$!
window=''
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Zorv$' 2>/dev/null | head -1) || true
    [ -z "$window" ] || break
    sleep 0.1
done
if [ -z "$window" ]; then
    fail "no window: $(cat "$tmp/game.log")"
else
    pid=$(xdotool getwindowpid "$window")
    echo "game: $(readlink "/proc/$pid/exe") in $(readlink "/proc/$pid/cwd")"
    [ "$(readlink "/proc/$pid/exe")" = /usr/libexec/zorv/zorv ] || fail "the menu runs $(readlink "/proc/$pid/exe")"
    [ "$(readlink "/proc/$pid/cwd")" = /usr/share/games/zorv/songs ] || fail "the game runs in $(readlink "/proc/$pid/cwd")"
    # list, Virizivez, start: the song panel's second choice lies at 128,328.
    xdotool windowfocus --sync "$window"
    xdotool key --window "$window" alt+l
    sleep 0.5
    xdotool mousemove --window "$window" 140 336 click 1
    sleep 0.5
    xdotool key --window "$window" alt+s
    sleep 4
    import -window "$window" "$tmp/playing.png"
    windows=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
    [ "$windows" = 1 ] || fail "$windows windows open while playing (a message box?): $(cat "$tmp/game.log")"
    cp "$tmp/playing.png" "${ZORV_SHOT:-/tmp/zorv-installed-playing.png}"
    echo "screenshot while playing: ${ZORV_SHOT:-/tmp/zorv-installed-playing.png}"
    kill "$pid"
fi
wait "$game_pid" 2>/dev/null || true
game_pid=''
echo "written to a fresh home: $(cd "$tmp/home" && find . -mindepth 1 | tr '\n' ' ')"

# --- Remove it --------------------------------------------------------------
echo "--- remove"
apt-get remove -y -q zorv | tail -2
state=$(dpkg-query -W -f='${db:Status-Abbrev}' zorv 2>/dev/null || true)
[ -z "$state" ] || [ "$state" = "un " ] || fail "dpkg still knows zorv: '$state'"

# Whatever apt pulled in for the game goes too.
packages >"$tmp/packages.between"
added=$(comm -13 <(cut -d' ' -f1 "$tmp/packages.before") <(cut -d' ' -f1 "$tmp/packages.between") | cut -d: -f1)
if [ -n "$added" ]; then
    echo "--- purge what the install pulled in: $added"
    # shellcheck disable=SC2086  # one package a word
    apt-get purge -y -q $added | tail -2
fi

files >"$tmp/files.after"
left=$(comm -13 "$tmp/files.before" "$tmp/files.after")
gone=$(comm -23 "$tmp/files.before" "$tmp/files.after")
[ -z "$left" ] || fail "left behind: $left"
[ -z "$gone" ] || fail "gone since before: $gone"
packages >"$tmp/packages.after"
diff "$tmp/packages.before" "$tmp/packages.after" >"$tmp/packages.diff" || fail "packages differ from before: $(cat "$tmp/packages.diff")"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "installed, played, removed; nothing left behind"
