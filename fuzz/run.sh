#!/usr/bin/env bash
# Builds the fuzz targets (preset `fuzz`, clang) and runs each for a while,
# both at once, starting from the seeds in fuzz/corpus/. New inputs go to a
# scratch corpus under build/fuzz/run/, findings to build/fuzz/artifacts/.
# Fails when either target finds a crash, a failed check, a leak or a hang.
#
#   fuzz/run.sh [seconds per target]     default 60
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
targets=(chart_fuzz rules_fuzz)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

out=build/fuzz
mkdir -p "$out/artifacts"
pids=()
for t in "${targets[@]}"; do
  mkdir -p "$out/run/$t"
  "$out/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/artifacts/$t-" "$out/run/$t" "fuzz/corpus/$t" >"$out/run/$t.log" 2>&1 &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  if wait "${pids[$i]}"; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/run/$t.log" | grep -o '[0-9]*$' || echo '?')
    echo "$t: no findings in $seconds s, $runs inputs run"
  else
    failed=1
    echo "$t: FINDING (log $out/run/$t.log):" >&2
    grep -E 'ERROR|_fuzz:|SUMMARY|Test unit written' "$out/run/$t.log" | head -20 >&2 || tail -30 "$out/run/$t.log" >&2
  fi
done
exit $failed
