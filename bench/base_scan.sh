#!/bin/sh
# Runs the byte scan/count benchmark from a Release build and prints GB/s per case.
# Usage: bench/base_scan.sh [BUILD_DIR]   (default: build-rel next to this script's repo)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-rel}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 zel_bench_base >/dev/null
"$build/bench/zel_bench_base" --benchmark_min_time=0.5 --benchmark_counters_tabular=true \
  --benchmark_format=console | awk '{print} /bytes_per_second|B\/s/ {}'
