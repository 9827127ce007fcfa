#!/bin/sh
# Byte scan and byte count throughput (GB/s): dispatched variant, every runnable variant, the
# portable variant and glibc memchr, on 1 MiB and 256 MiB buffers, from a Release build.
# Usage: bench/base_scan.sh [BUILD_DIR]   (default: build-rel in the repository)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-rel}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
bin=$build/bench/zel_bench_base
if ! ninja -C "$build" -j2 zel_bench_base >/dev/null 2>&1; then
  # The benchmark needs only the base library; build it alone when other folders do not.
  ninja -C "$build" -j2 zel_base >/dev/null
  bin=$build/zel_bench_base_only
  c++ -O3 -DNDEBUG -std=c++20 -I"$here" "$here/bench/base_bench.cpp" \
    "$build/base/libzel_base.a" -lbenchmark -lpthread -o "$bin"
fi
"$bin" --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
