#!/usr/bin/env bash
# Runs every fuzz target listed by the fuzz build for the given number of seconds each.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$(cd "$1" && pwd)  # absolute: the runs below change directory
seconds=$2
list=$build/fuzzers.list
if [ ! -s "$list" ]; then
  echo "fuzz: no fuzz targets"
  exit 0
fi
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
sort -u "$list" | while IFS='|' read -r name corpus dict; do
  [ -n "$name" ] || continue
  work=$build/fuzz-corpus/$name
  mkdir -p "$work"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  [ -n "$dict" ] && args+=(-dict="$dict")
  seeds=()
  [ -n "$corpus" ] && [ -d "$corpus" ] && seeds+=("$corpus")
  echo "fuzz: $name for ${seconds}s"
  (cd "$build/fuzz" && "./$name" "${args[@]}" "$work" "${seeds[@]}" 2>"$build/fuzz-$name.log") || {
    tail -n 60 "$build/fuzz-$name.log"
    echo "fuzz: $name FAILED"
    exit 1
  }
  grep -E 'stat::number_of_executed_units' "$build/fuzz-$name.log" || true
done
