#!/usr/bin/env bash
# Writes the seed inputs under fuzz/corpus/. The fuzzers grow their own
# corpora from these in a scratch folder; only the seeds are kept here.
set -euo pipefail
cd "$(dirname "$0")/corpus"

# --- chart_fuzz: chart files as they are ---------------------------------
c=chart_fuzz
printf 'x song.mp3\n1 1125\n3 1725\n2 2325\n4 2925\n0 0\n' > $c/plain
printf 'x\tsong.mp3\r\n\r\n 1   100\v4\f200 7' > $c/odd-count-mixed-space
printf 'x %0150d\n2 300\n' 0 | tr 0 a > $c/long-token
printf 'x a.mp3\n01 -1099511627776\n1x +1099511627776\n5 2147483648\n-1 -2147483649\n+-3 - 3\n' > $c/numbers
printf 'x a.mp3\n\0011 \377\000200\n\0004 9\n' > $c/binary
for i in $(seq 0 309); do printf 'p%d q%d\n' "$i" "$i"; done > $c/310-pairs
cp ../../songs/Dodoroza.txt $c/dodoroza

# --- rules_fuzz: operations (see the format in rules_fuzz.cpp) ------------
r=rules_fuzz
bytes() { for b in "$@"; do printf "\\x$(printf %02x "$b")"; done; }
load() { local n=${#1}; bytes 0 $((n & 255)) $((n >> 8)); printf '%s' "$1"; }
run() { bytes 3 $(($1 - 1)); }           # $1 ticks, 50 ms apart
tickAt() { bytes 2 $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
press() { bytes 4 "$1" 5 "$1"; }          # lane 0..3: down, then up
{
  load $'x a.mp3\n1 0\n2 100\n3 200\n4 300\n1 700\n0 0\n'
  run 57; press 0; run 2; press 1; run 2; press 2; run 2; press 3
  run 3; press 0; run 3; press 0; run 3; press 0
  bytes 4 240 65 0 5 240 65 0              # a key that is no cursor key
  run 100; bytes 6; run 60; press 0
} > $r/play-and-judge
{
  load $'x a.mp3\n1 -1099511627776\n2 1099511627776\n3 50\n0 0\n'
  run 5; tickAt 2147483000; run 3; tickAt -5
} > $r/huge-times
{
  load $'x a.mp3\n2 0\n2 0\n2 0\n2 0\n2 0\n2 9000\n0 0\n'
  run 10; bytes 7 0xa8 0xe9 0x01 0x00; run 80; press 1
} > $r/full-lane
{
  load $'x long.mp3\n1 0\n2 50\n3 100\n4 150\n1 200\n2 250\n3 300\n4 350\n'
  run 20; bytes 6
  load $'y short.mp3\n4 0\n7'
  run 60; press 3; bytes 1 30 1 30
} > $r/reload-mid-song
