#!/usr/bin/env bash
# Builds the song generator, writes the charts into songs/ and renders and
# encodes the songs there. The charts and WAVs come out the same on every
# run; the MP3s can differ between lame versions.
#
#   tools/songs/make-songs.sh            # charts and MP3s
#   tools/songs/make-songs.sh --charts   # charts only, no audio
#   KEEP_WAV=/tmp/wav tools/songs/make-songs.sh   # also keep the WAVs
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZORV_SONGS_BUILD:-$root/build/songs}
songs=$root/songs

cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j2 --target make-songs

if [ "${1:-}" = "--charts" ]; then
  "$build/tools/songs/make-songs" --charts-only "$songs"
  exit 0
fi

wavs=${KEEP_WAV:-}
if [ -z "$wavs" ]; then
  wavs=$(mktemp -d)
  trap 'rm -rf "$wavs"' EXIT
fi
mkdir -p "$wavs"

"$build/tools/songs/make-songs" --wav-dir "$wavs" "$songs"

for wav in "$wavs"/*.wav; do
  name=$(basename "$wav" .wav)
  # 160 kb/s CBR keeps a two-minute song near 2.3 MB and the hats clean.
  lame --quiet --noreplaygain -q 2 -b 160 --tt "$name" --ta Zorv "$wav" "$songs/$name.mp3"
  printf '%s.mp3: %s bytes\n' "$name" "$(stat -c %s "$songs/$name.mp3")"
done
