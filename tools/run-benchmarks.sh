#!/usr/bin/env bash
# Runs every benchmark executable of a bench build. Each prints its own RATIO / MEM / LAT / TIME /
# CENTS / COUNT lines (a comparison with its reference measured in the same run); the summary
# repeats them.
set -euo pipefail
build=$(cd "$1" && pwd)  # absolute: the runs below change directory
out=$build/bench-output.txt
: >"$out"
# The Debian package, for the installed program's start-up (bench_app).
rm -rf "$build/pacote"
if (cd "$build" && cpack -G DEB -B "$build/pacote" >"$build/pacote.log" 2>&1); then
  TESSARIN_BENCH_PACOTE=$(ls "$build"/pacote/tessarin_*.deb)
  export TESSARIN_BENCH_PACOTE
else
  echo "(no package: see $build/pacote.log)"
fi
for b in "$build"/bench/*; do
  [ -f "$b" ] && [ -x "$b" ] || continue  # skip the build folders beside the programs
  echo "== $(basename "$b")"
  (cd "$build/bench" && "$b" --benchmark_min_time=0.2 --benchmark_color=false) 2>&1 | tee -a "$out"
done
echo
echo "== summary"
# Colour codes a reporter may leave at the start of a line are not part of the figures.
sed 's/\x1b\[[0-9;]*m//g' "$out" | grep -aE '^(RATIO|MEM|LAT|TIME|CENTS|COUNT) ' || echo "(no figures printed)"
