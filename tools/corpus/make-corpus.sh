#!/usr/bin/env bash
# Builds the corpus generator and writes the corpus the chart maker is
# measured on: each song's MP3 and its ground truth (NAME.truth). A song whose
# MP3 was made by the same build of the generator (NAME.made-by) for the same
# truth is skipped, so a second run costs seconds; a change to a score or to
# the synthesiser renders again (about three minutes for all). The audio is
# not committed: 36 minutes of it, 43 MB as MP3.
#
#   tools/corpus/make-corpus.sh [--force] [--only NAME] [DIR]   # DIR: build/corpus
#
# --force renders every song again. ZORV_CORPUS_BUILD names the build tree.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZORV_CORPUS_BUILD:-$root/build/bench-make}
args=()
dir=$root/build/corpus
while [ $# -gt 0 ]; do
  case "$1" in
    --force) args+=("$1"); shift ;;
    --only) args+=("$1" "$2"); shift 2 ;;
    -*) echo "usage: tools/corpus/make-corpus.sh [--force] [--only NAME] [DIR]" >&2; exit 2 ;;
    *) dir=$1; shift ;;
  esac
done
mkdir -p "$dir"

cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j2 --target make-corpus

"$build/tools/corpus/make-corpus" "${args[@]}" "$dir"

shopt -s nullglob
for wav in "$dir"/*.wav; do
  name=$(basename "$wav" .wav)
  # As tools/songs/make-songs.sh encodes the game's songs: what a player's
  # music folder holds, and what the game decodes.
  lame --quiet --noreplaygain -q 2 -b 160 --tt "$name" --ta Zorv "$wav" "$dir/$name.mp3.part"
  mv "$dir/$name.mp3.part" "$dir/$name.mp3"
  rm "$wav"
  printf '%s.mp3: %s bytes\n' "$name" "$(stat -c %s "$dir/$name.mp3")"
done
