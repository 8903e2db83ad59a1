#!/usr/bin/env bash
# Runs every benchmark executable of a bench build. Each prints its own RATIO / MEM / LAT / TIME
# lines (a comparison with its reference measured in the same run); the summary repeats them.
set -euo pipefail
build=$(cd "$1" && pwd)  # absolute: the runs below change directory
out=$build/bench-output.txt
: >"$out"
for b in "$build"/bench/*; do
  [ -f "$b" ] && [ -x "$b" ] || continue  # skip the build folders beside the programs
  echo "== $(basename "$b")"
  (cd "$build/bench" && "$b" --benchmark_min_time=0.2) 2>&1 | tee -a "$out"
done
echo
echo "== summary"
grep -E '^(RATIO|MEM|LAT|TIME) ' "$out" || echo "(no figures printed)"
