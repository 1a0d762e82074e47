#!/usr/bin/env bash
# Measures the chart maker on the corpus and prints each figure beside its
# target: per song and level, the share of notes within 20 ms of a true
# onset, the median offset, the share of easy notes on beats, notes per
# second, charting speed on one core and peak memory. A benchmark, not a
# test: it exits 1 when a target is missed, so it can gate a change, but the
# speed depends on the machine and on what else runs on it.
#
#   scripts/bench-make.sh [--runs N] [--only NAME] [--levels L,L]
#   scripts/bench-make.sh --maker PATH        # another zorv-chart, e.g. a branch's build
#   scripts/bench-make.sh --oracle [--shift MS]  # the stand-in maker that reads the truth
#
# Builds what it needs in build/bench-make, writes the corpus into
# build/corpus when it is missing or its scores changed (about three minutes
# the first time; tools/corpus/make-corpus.sh), and runs
#   MAKER make SONG.mp3 --level L -o CHART
# for every song and level, pinned to CPU 0, three times (the leanest run
# counts; every run must write the same chart), then checks each chart
# with zorv-chart. The charts and the maker's messages stay in
# build/bench-make/charts/LEVEL/. See docs/performance.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/bench-make
corpus=$root/build/corpus

runs=3
maker=
oracle=
shift_ms=
bench_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --only | --levels) bench_args+=("$1" "$2"); shift 2 ;;
    --maker) maker=$(realpath "$2"); shift 2 ;;
    --oracle) oracle=1; shift ;;
    --shift) shift_ms=$2; shift 2 ;;
    *)
      echo "usage: scripts/bench-make.sh [--runs N] [--only NAME] [--levels L,L] [--maker PATH | --oracle [--shift MS]]" >&2
      exit 2
      ;;
  esac
done

scripts/install-deps.sh
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j2 --target zorv-chart make-corpus corpus-bench corpus-oracle
ZORV_CORPUS_BUILD=$build tools/corpus/make-corpus.sh "$corpus"

checker=$build/tools/chart/zorv-chart
if [ -n "$oracle" ]; then
  command=("$build/tools/corpus/corpus-oracle")
  [ -n "$shift_ms" ] && command+=(--shift "$shift_ms")
else
  command=("${maker:-$checker}" make)
  if ! "${command[0]}" --help 2>/dev/null | grep -q 'zorv-chart make'; then
    echo "${command[0]} has no make command; build one that has, or pass --maker PATH or --oracle" >&2
    exit 2
  fi
fi

# The checker measures each song's length through SDL; no sound card needed.
export SDL_AUDIODRIVER=dummy
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
status=0
"$build/tools/corpus/corpus-bench" --corpus "$corpus" --work "$build/charts" --runs "$runs" --cpu 0 \
  --check "$checker" "${bench_args[@]}" -- "${command[@]}" || status=$?
echo
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
echo "load average (1, 5, 15 min) before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
# Figures compare only on the same audio and truth.
echo "corpus: $(cat "$corpus"/*.truth "$corpus"/*.mp3 | sha256sum | cut -c1-16) (sha256 of its truth files and MP3s)"
exit "$status"
