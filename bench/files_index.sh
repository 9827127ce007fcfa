#!/usr/bin/env bash
# Line index of a 1 GiB plain text file (page cache warm) against `wc -l` on the same file in the
# same run, with the peak memory of the indexing process.
# Usage: bench/files_index.sh [BUILD_DIR] [FILE]   (BUILD_DIR: a Release build, default build-files-rel)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-files-rel}
file=${2:-/tmp/zel_files_bench_1g.txt}
bin=$build/bench/zel_bench_files
[ -x "$bin" ] || { echo "missing $bin (cmake -DCMAKE_BUILD_TYPE=Release; ninja zel_bench_files)"; exit 1; }
[ -f "$file" ] || "$bin" --make "$file" 1024
size=$(stat -c %s "$file")
cat "$file" > /dev/null  # warm the page cache

best=999
for _ in 1 2 3; do
  t0=$(date +%s.%N); wc -l < "$file" > /dev/null; t1=$(date +%s.%N)
  best=$(echo "$t1 - $t0" | bc -l | awk -v b="$best" '{print ($1 < b) ? $1 : b}')
done
echo "file: $file ($size bytes)"
printf 'wc -l: %.3f s, %.2f GB/s\n' "$best" "$(echo "$size / $best / 1000000000" | bc -l)"

export ZEL_FILES_BENCH_FILE=$file
/usr/bin/time -v "$bin" --benchmark_filter='BM_LineIndex/LF_1GiBParts' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true 2> /tmp/zel_files_bench_time.txt | grep -E "bytes_per_second|LF_1GiB|Benchmark"
grep -E "Maximum resident set size|Elapsed" /tmp/zel_files_bench_time.txt
"$bin" --benchmark_filter='BM_LineIndex/(LF_64MiBParts|CRLF)|BM_ItemWalk' 2>/dev/null | grep -E "BM_|Benchmark"
