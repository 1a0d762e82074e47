#!/usr/bin/env bash
# Measures the chart maker on real band recordings against the charts people
# wrote for them, and prints each figure beside its target: per song and
# level the maker's tempo against the person's, the share of easy notes on
# quarter beats and of medium notes on eighths, steadiness, agreement with the
# person's notes and density correlation with the person's hardest chart
# (tools/corpus/Groove.h says what each measures). First it measures the
# person's own charts the same way, as written and shifted, which shows the
# measures' convention holds. A benchmark, not a test: it exits 1 when a
# target is missed.
#
#   scripts/bench-real.sh [--cache DIR] [--levels L,L] [--maker PATH]
#
# The songs are Debian's fretsonfire-songs-sectoid, a song package only:
# fetched with apt-get download and unpacked with dpkg-deb -x into the cache
# (default: $XDG_CACHE_HOME/zorv/sectoid, or ~/.cache/zorv/sectoid) when it
# is not there; never installed, nothing in it is run. Each song folder's
# song.ogg and guitar.ogg are the band and the guitar: summed, they are the
# song as it was mixed, which is what a player would bring to the game. The
# sum is written as WAV (no second lossy encoding) into build/bench-real/mix,
# scaled down only where it would clip. Then
#   MAKER make MIX.wav --level L -o build/bench-real/charts/L/SONG.txt
# for every song and level (MAKER: zorv-chart built in build/bench-make).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/bench-make
work=$root/build/bench-real
package=fretsonfire-songs-sectoid
songs_under=usr/share/games/fretsonfire/data/songs/sectoid

cache=${XDG_CACHE_HOME:-$HOME/.cache}/zorv/sectoid
levels=easy,medium,hard
maker=
while [ $# -gt 0 ]; do
  case "$1" in
    --cache) cache=$(realpath -m "$2"); shift 2 ;;
    --levels) levels=$2; shift 2 ;;
    --maker) maker=$(realpath "$2"); shift 2 ;;
    *)
      echo "usage: scripts/bench-real.sh [--cache DIR] [--levels L,L] [--maker PATH]" >&2
      exit 2
      ;;
  esac
done

fetch() {
  echo "fetching $package into $cache" >&2
  local download
  download=$(mktemp -d)
  # apt-get download works as any user; it needs the package lists.
  if ! (cd "$download" && apt-get download "$package" >&2); then
    apt-get update >&2
    (cd "$download" && apt-get download "$package" >&2)
  fi
  mkdir -p "$cache"
  dpkg-deb -x "$download"/"$package"_*.deb "$cache"
  mv "$download"/"$package"_*.deb "$cache"/
  rmdir "$download"
}

if [ ! -d "$cache/$songs_under" ]; then
  fetch
fi
songs=$cache/$songs_under
[ -d "$songs" ] || { echo "no songs in $songs after unpacking $package" >&2; exit 2; }

scripts/install-deps.sh
cmake --preset default -B "$build" >/dev/null
if [ -n "$maker" ]; then
  cmake --build "$build" -j2 --target real-bench
else
  cmake --build "$build" -j2 --target zorv-chart real-bench
  maker=$build/tools/chart/zorv-chart
fi
if ! "$maker" --help 2>/dev/null | grep -q 'zorv-chart make'; then
  echo "$maker has no make command; build one that has, or pass --maker PATH" >&2
  exit 2
fi

# The band and the guitar summed at full level; where the sum would clip,
# both scaled by the same factor so that its peak is at 0.99 of full scale.
mix() {
  local folder=$1 out=$2 half peak gain
  half=$(sox -m "$folder/song.ogg" "$folder/guitar.ogg" -n stat 2>&1 |
    awk '/^Maximum amplitude/ {max = $3} /^Minimum amplitude/ {min = -$3} END {print (max > min ? max : min)}')
  peak=$(awk -v h="$half" 'BEGIN {print 2 * h}')
  gain=$(awk -v p="$peak" 'BEGIN {print (p > 0.99 ? 0.99 / p : 1)}')
  # No dither (-D): the same mix, byte for byte, on every run, so the same charts.
  sox -D -m -v "$gain" "$folder/song.ogg" -v "$gain" "$folder/guitar.ogg" -b 16 "$out.part.wav"
  mv "$out.part.wav" "$out"
  # What the alignment reads (tools/corpus/Alignment.h): mono, 16 kHz, 16-bit.
  sox -D "$out" -r 16000 -c 1 -b 16 -e signed-integer -t raw "${out%.wav}.raw"
  printf 'MIX\t%s\t%.3f\t%.2f\n' "$(basename "$folder")" "$peak" "$gain" >>"$work/mix/levels.tsv"
}

mkdir -p "$work/mix"
IFS=, read -r -a level_list <<<"$levels"
for level in "${level_list[@]}"; do
  rm -rf "$work/charts/$level"
  mkdir -p "$work/charts/$level"
done
export SDL_AUDIODRIVER=dummy
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for folder in "$songs"/*/; do
  folder=${folder%/}
  name=$(basename "$folder")
  [ -f "$folder/notes.mid" ] || continue
  audio=$work/mix/$name.wav
  if [ ! -f "$audio" ] || [ ! -f "${audio%.wav}.raw" ]; then
    echo "mixing $name" >&2
    mix "$folder" "$audio"
  fi
  for level in "${level_list[@]}"; do
    chart=$work/charts/$level/$name.txt
    if ! "$maker" make "$audio" --level "$level" -o "$chart" >"${chart%.txt}.log" 2>&1; then
      echo "  $name $level: the maker failed, see ${chart%.txt}.log" >&2
    fi
  done
done

figures=$work/figures.tsv
status=0
"$build/tools/corpus/real-bench" --songs "$songs" --audio "$work/mix" --charts "$work/charts" --levels "$levels" >"$figures" || status=$?
[ "$status" -le 1 ] || { cat "$figures"; exit "$status"; }

echo "The person's own charts measured as if they were ours: as written, 30 ms late, half a beat late."
echo "A 3:2 tempo is the person's tempo times 2/3 put to the tempo check. Aligned: how long after the"
echo "person's notes the recording's attacks come, found from the audio, which moves their notes and the"
echo "grid to where they are heard; contrast: how clearly (1: not at all)."
echo
scripts/table.py "$figures" PERSON song level notes BPM "on 1/4" "on 1/8" steady "+30ms 1/4" "+30ms 1/8" \
  "+1/2 beat 1/4" "tempo 3:2" "aligned ms" contrast "judged on"
echo
echo "The maker's charts (maker: $maker; charts and its messages in ${work#"$root"/}/charts/LEVEL/)."
echo "offset: median ms from our notes to the nearest of the person's within 50 ms, on the aligned grid."
echo
scripts/table.py "$figures" CHART song level notes BPM "their BPM" "on 1/4" "on 1/8" steady agree offset density \
  verdict
echo
scripts/table.py "$figures" TARGET target goal result ""
echo
echo "mixes (peak of the sum of the band and the guitar, gain applied to both):"
sort -u "$work/mix/levels.tsv" 2>/dev/null | awk -F'\t' '{printf "  %-24s peak %s, gain %s\n", $2, $3, $4}'
echo "machine: $(nproc) cores; load average (1, 5, 15 min) before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "songs: $package $(dpkg-deb -f "$cache"/*.deb Version 2>/dev/null || cat "$songs"/*/notes.mid | sha256sum | cut -c1-16)"
exit "$status"
