#!/usr/bin/env bash
# Builds the Debian package from this build and checks what a player gets from
# it: the files and their modes, the dependencies, what lintian says, the
# desktop entry and AppStream metadata (the audio types it opens, and that
# the desktop's own lookup offers it for an MP3), the versions it states, and
# that the launcher starts the game inside its songs folder, also from a
# prefix that was moved after installing.
#
# check-package.sh --cmake <cmake> --cpack <cpack> --build <build dir>
#                  [--config <build type>] [--chart-checker 0|1]
set -euo pipefail

cmake=cmake cpack=cpack build='' config='' chart_checker=0
while [ $# -gt 0 ]; do
    case $1 in
        --cmake) cmake=$2 ;;
        --cpack) cpack=$2 ;;
        --build) build=$2 ;;
        --config) config=$2 ;;
        --chart-checker) chart_checker=$2 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
    shift 2
done
[ -n "$build" ] || { echo "--build is required" >&2; exit 2; }

tmp=$(readlink -f "$(mktemp -d "${TMPDIR:-/tmp}/zorv-package.XXXXXX")")
game_pid=
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- The package -----------------------------------------------------------
cpack_args=(--config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out")
[ -z "$config" ] || cpack_args+=(-C "$config")
if ! "$cpack" "${cpack_args[@]}" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    echo "FAIL: cpack did not build the package" >&2
    exit 1
fi
debs=("$tmp"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: expected one .deb, got: ${debs[*]}" >&2
    exit 1
fi
deb=${debs[0]}
echo "built $(basename "$deb")"

# --- Its files -------------------------------------------------------------
# mode, path, and when the file is there: always, or only with the chart checker.
expected_files() {
    cat <<'EOF'
-rwxr-xr-x ./usr/games/zorv                                       always
-rwxr-xr-x ./usr/libexec/zorv/zorv                              always
-rwxr-xr-x ./usr/games/zorv-chart                                 chart
-rwxr-xr-x ./usr/libexec/zorv/zorv-open                         chart
-rw-r--r-- ./usr/share/games/zorv/songs/Dodoroza.txt              always
-rw-r--r-- ./usr/share/games/zorv/songs/Dodoroza.mp3              always
-rw-r--r-- ./usr/share/games/zorv/songs/Virizivez.txt             always
-rw-r--r-- ./usr/share/games/zorv/songs/Virizivez.mp3             always
-rw-r--r-- ./usr/share/applications/zorv.desktop                  always
-rw-r--r-- ./usr/share/icons/hicolor/256x256/apps/zorv.png        always
-rw-r--r-- ./usr/share/metainfo/example.c_seed_5ae453f7.zorv.metainfo.xml always
-rw-r--r-- ./usr/share/man/man6/zorv.6.gz                         always
-rw-r--r-- ./usr/share/man/man6/zorv-chart.6.gz                   chart
-rw-r--r-- ./usr/share/doc/zorv/copyright                         always
-rw-r--r-- ./usr/share/doc/zorv/changelog.Debian.gz               always
-rw-r--r-- ./usr/share/lintian/overrides/zorv                     always
EOF
}

# "mode owner path" for every file that is not a directory.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' >"$tmp/contents"

declare -A wanted=()
while read -r mode path when; do
    [ "$when" = always ] || [ "$chart_checker" = 1 ] || continue
    wanted[$path]=1
    actual=$(awk -v p="$path" '$3 == p { print $1, $2 }' "$tmp/contents")
    if [ -z "$actual" ]; then
        fail "$path is not in the package"
    elif [ "$actual" != "$mode root/root" ]; then
        fail "$path is $actual, expected $mode root/root"
    fi
done < <(expected_files)

while read -r _ _ path; do
    [ -n "${wanted[$path]:-}" ] || fail "$path is in the package but not expected"
done <"$tmp/contents"

# --- Its relations ---------------------------------------------------------
# Package names in a relation field, without versions; alternatives count too.
relation_names() {
    dpkg-deb -f "$deb" "$1" | tr ',|' '\n' | sed -E 's/\(.*\)//; s/^[[:space:]]+//; s/[[:space:]]+$//' | sed '/^$/d'
}
while read -r field name; do
    relation_names "$field" | grep -qxF "$name" || fail "$field does not name $name: $(dpkg-deb -f "$deb" "$field")"
done <<'EOF'
Depends libqt6widgets6
Depends libsdl2-mixer-2.0-0
Depends libpulse0
Depends libpipewire-0.3-0
Depends qt6-qpa-plugins
Recommends fonts-nanum
EOF

# --- lintian ---------------------------------------------------------------
# No error and no warning; the overrides the package ships give their reasons.
# Lower levels are printed for the log.
if ! lintian --fail-on error,warning --display-info "$deb" >"$tmp/lintian.log" 2>&1; then
    fail "lintian: $(grep -v "^running with root privileges" "$tmp/lintian.log")"
else
    grep -v '^running with root privileges' "$tmp/lintian.log" || true
fi

# Unpacked into a folder with a space in its name, to run it moved from /usr.
root="$tmp/moved prefix"
dpkg-deb -x "$deb" "$root"

# --- Versions --------------------------------------------------------------
# The package's version, the Debian changelog's newest entry, the AppStream
# newest release and zorv-chart --version agree; the last two without the
# Debian revision.
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}
changelog_version=$(zcat "$root/usr/share/doc/zorv/changelog.Debian.gz" | dpkg-parsechangelog -l - -S Version)
[ "$changelog_version" = "$version" ] || fail "changelog.Debian.gz is at $changelog_version, the package at $version"
metainfo=$(echo "$root"/usr/share/metainfo/*.metainfo.xml)
release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[ "$release" = "$upstream" ] || fail "the AppStream metadata's newest release is $release, the package's $upstream"
if [ "$chart_checker" = 1 ]; then
    said=$("$root/usr/games/zorv-chart" --version 2>&1) || true
    [ "$said" = "zorv-chart $upstream" ] || fail "zorv-chart --version says '$said', expected 'zorv-chart $upstream'"
fi

# --- AppStream metadata ----------------------------------------------------
# Offline: the screenshot is a web address the validator would otherwise
# fetch. Infos are printed for the log; a warning or error fails.
if ! appstreamcli validate --no-net "$metainfo" >"$tmp/appstream.log" 2>&1; then
    fail "appstreamcli validate: $(cat "$tmp/appstream.log")"
else
    cat "$tmp/appstream.log"
fi
cid=$(grep -o '<id>[^<]*</id>' "$metainfo" | sed 's/<[^>]*>//g')
[ "$(basename "$metainfo")" = "$cid.metainfo.xml" ] || fail "$(basename "$metainfo") does not match its id $cid"
desktop_id=$(grep -o '<launchable type="desktop-id">[^<]*' "$metainfo" | sed 's/.*>//')
[ -f "$root/usr/share/applications/$desktop_id" ] || fail "the AppStream launchable $desktop_id is not in the package"

# --- The desktop entry -----------------------------------------------------
entry="$root/usr/share/applications/zorv.desktop"

# Warnings and hints count too: menus differ in what they forgive.
validate() { # label entry
    if ! desktop-file-validate "$2" >"$tmp/validate.log" 2>&1 || [ -s "$tmp/validate.log" ]; then
        fail "desktop-file-validate ($1): $(cat "$tmp/validate.log")"
    fi
}
validate package "$entry"

# The value of a key of the [Desktop Entry] group.
desktop_value() {
    awk -v key="$2" '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }
    ' "$1"
}
while read -r key expected; do
    actual=$(desktop_value "$entry" "$key")
    [ "$actual" = "$expected" ] || fail "desktop entry: $key=$actual, expected $key=$expected"
done <<'EOF'
Path /usr/share/games/zorv/songs
Exec /usr/games/zorv %F
MimeType audio/mpeg;audio/ogg;audio/x-vorbis+ogg;audio/flac;audio/x-wav;
EOF
# The AppStream metadata declares the same types.
for type in $(desktop_value "$entry" MimeType | tr ';' ' '); do
    grep -qF "<mediatype>$type</mediatype>" "$metainfo" || fail "the AppStream metadata does not declare $type"
done
icon=$(desktop_value "$entry" Icon)
[ -f "$root/usr/share/icons/hicolor/256x256/apps/$icon.png" ] || fail "no icon in the package for Icon=$icon"

# --- The charts ------------------------------------------------------------
# Each chart's first token pair names its MP3, which the game opens relative to
# its working directory: the songs folder the launcher starts it in.
songs="$root/usr/share/games/zorv/songs"
for chart in "$songs"/*.txt; do
    [ -f "$chart" ] || continue
    audio=$(tr -s ' \t\r\n\v\f' '\n' <"$chart" | sed '/^$/d' | sed -n 2p)
    if [ -z "$audio" ] || [ ! -f "$songs/$audio" ]; then
        fail "$(basename "$chart") plays '$audio', which the package does not hold next to it"
    fi
done

# --- The launcher ----------------------------------------------------------
# A second install, to a prefix unknown when the build was configured: the
# launcher and desktop entry must name it, not the configured one.
prefix="$tmp/other prefix"
"$cmake" --install "$build" --prefix "$prefix" --component zorv ${config:+--config "$config"} >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log" >&2; fail "cmake --install --prefix failed"; }
other_entry="$prefix/share/applications/zorv.desktop"
validate "other prefix" "$other_entry"
while read -r key expected; do
    actual=$(desktop_value "$other_entry" "$key")
    [ "$actual" = "$expected" ] || fail "desktop entry (other prefix): $key=$actual, expected $key=$expected"
done <<EOF
Path $prefix/share/games/zorv/songs
Exec "$prefix/games/zorv" %F
EOF

# --- Open With -------------------------------------------------------------
# The desktop's own lookup, reading only the installed tree's menu entries:
# file managers offer Zorv for a song. (GIO lists an entry only when the
# program its Exec names is there, so not the package's, for /usr/games.)
gio_home="$tmp/gio home"
mkdir -p "$gio_home"
update-desktop-database "$prefix/share/applications"
offered=$(HOME=$gio_home XDG_DATA_HOME="$gio_home/.local/share" XDG_DATA_DIRS="$prefix/share" \
    XDG_CONFIG_DIRS="$gio_home" XDG_CONFIG_HOME="$gio_home/.config" XDG_CURRENT_DESKTOP='' \
    gio mime audio/mpeg 2>&1) || true
grep -qx '[[:space:]]*zorv.desktop' <<<"$offered" || fail "gio mime audio/mpeg does not offer zorv.desktop: $offered"
rm -f "$prefix/share/applications/mimeinfo.cache"

# A launcher copied away from its prefix has nothing relative to go by and
# falls back to the paths it was installed with.
mkdir -p "$tmp/elsewhere" "$tmp/own songs" "$tmp/cwd"
cp "$prefix/games/zorv" "$tmp/elsewhere/zorv"
cp -R "$songs/." "$tmp/own songs/"

# Starts a launcher from an unrelated folder and checks which program runs
# and in which folder, once the launcher has handed over to the game.
check_launch() { # name launcher songs-override expected-exe expected-cwd
    local name=$1 launcher=$2 override=$3 want_exe=$4 want_cwd=$5 exe='' cwd=''
    (cd "$tmp/cwd" && ZORV_SONGS=$override exec "$launcher" >"$tmp/launch.log" 2>&1) &
    game_pid=$!
    for _ in $(seq 100); do
        exe=$(readlink "/proc/$game_pid/exe" 2>/dev/null) || break
        [ "$exe" != "$want_exe" ] || break
        sleep 0.1
    done
    cwd=$(readlink "/proc/$game_pid/cwd" 2>/dev/null) || true
    sleep 1
    if ! kill "$game_pid" 2>/dev/null; then
        fail "$name: the game did not stay up: $(cat "$tmp/launch.log")"
    else
        [ "$exe" = "$want_exe" ] || fail "$name: runs '$exe', expected '$want_exe'"
        [ "$cwd" = "$want_cwd" ] || fail "$name: runs in '$cwd', expected '$want_cwd'"
    fi
    wait "$game_pid" 2>/dev/null || true
    game_pid=
    if grep -q "Can't open" "$tmp/launch.log"; then
        fail "$name: $(cat "$tmp/launch.log")"
    fi
}

while IFS='|' read -r name launcher override want_exe want_cwd; do
    check_launch "$name" "$launcher" "$override" "$want_exe" "$want_cwd"
done <<EOF
moved package|$root/usr/games/zorv||$root/usr/libexec/zorv/zorv|$songs
launcher on its own|$tmp/elsewhere/zorv||$prefix/libexec/zorv/zorv|$prefix/share/games/zorv/songs
own songs folder|$root/usr/games/zorv|$tmp/own songs|$root/usr/libexec/zorv/zorv|$tmp/own songs
EOF

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed"
