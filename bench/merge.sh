#!/usr/bin/env bash
# Merge speed and memory: `zelcli merge --loci or` of two generated 200-sample, 200k-variant
# files that share every site (one --seed, different call seeds and sample names), against
# `bcftools merge` on the same BGZF files in the same run; wall time and peak RSS from
# /usr/bin/time -v. Then the streaming check: the merge's peak anonymous memory (RssAnon,
# sampled) must stay within 1.5x that of merging files a quarter of the size, plus 64 MB.
# Usage: bench/merge.sh [VARIANTS]   (default 200000; data in bench/data, git-ignored)
# ZEL_BENCH_BUILD=DIR uses an existing build directory (configured Release when absent).
set -euo pipefail
cd "$(dirname "$0")/.."
variants=${1:-200000}
quarter=$((variants / 4))
build=${ZEL_BENCH_BUILD:-build-vcf-rel}
data=bench/data
mkdir -p "$data"

. bench/need.sh
need bcftools
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_GUI=OFF >/dev/null
fi
ninja -C "$build" -j2 zelcli >/dev/null
g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"

# Two files of n variants sharing every site: A and B samples, different calls.
make_pair() {
  local n=$1 a=$data/mergeA_$1.vcf.gz b=$data/mergeB_$1.vcf.gz
  if [ ! -s "$a" ]; then
    "$build/vcfgen" --samples 200 --variants "$n" --seed 7 --prefix A --call-seed 1 | bgzip > "$a.tmp"
    mv "$a.tmp" "$a"
    tabix -f -p vcf "$a"
  fi
  if [ ! -s "$b" ]; then
    "$build/vcfgen" --samples 200 --variants "$n" --seed 7 --prefix B --call-seed 2 | bgzip > "$b.tmp"
    mv "$b.tmp" "$b"
    tabix -f -p vcf "$b"
  fi
}

# Wall seconds and peak RSS (MB) of "$@".
timeit() {
  /usr/bin/time -v -o "$build/time.txt" "$@" > /dev/null
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$build/time.txt")
  rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$build/time.txt")
  echo "$wall $rss"
}

# Peak RssAnon (MB) of "$@", sampled every 20 ms.
peak_anon() {
  "$@" > /dev/null &
  local pid=$! peak=0 kb
  while kill -0 "$pid" 2>/dev/null; do
    kb=$(awk '/^RssAnon:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    if [ -n "$kb" ] && [ "$kb" -gt "$peak" ]; then peak=$kb; fi
    sleep 0.02
  done
  wait "$pid"
  echo $((peak / 1024))
}

make_pair "$variants"
make_pair "$quarter"
A=$data/mergeA_$variants.vcf.gz
B=$data/mergeB_$variants.vcf.gz
out=$data/merge_out
cat "$A" "$B" > /dev/null  # warm the page cache

echo "files: $A, $B ($(stat -c %s "$A") and $(stat -c %s "$B") bytes; 200 samples, $variants variants each)"
read -r zw zr < <(timeit "$build/cli/zelcli" -q merge "$A" "$B" --loci or --out "$out.zel.vcf")
read -r bw br < <(timeit bcftools merge -Ov -o "$out.bcf.vcf" "$A" "$B")
echo "zelcli merge: wall ${zw}s, peak RSS ${zr} MB; lines $(grep -vc '^#' "$out.zel.vcf")"
echo "bcftools merge: wall ${bw}s, peak RSS ${br} MB; lines $(grep -vc '^#' "$out.bcf.vcf")"

qa=$(peak_anon "$build/cli/zelcli" -q merge "$data/mergeA_$quarter.vcf.gz" "$data/mergeB_$quarter.vcf.gz" --loci or --out "$out.q.vcf")
fa=$(peak_anon "$build/cli/zelcli" -q merge "$A" "$B" --loci or --out "$out.zel.vcf")
limit=$(echo "1.5 * $qa + 64" | bc -l)
verdict=$(echo "$fa <= $limit" | bc -l)
echo "anonymous memory: ${fa} MB for $variants variants, ${qa} MB for $quarter; limit ${limit} MB: $([ "$verdict" = 1 ] && echo pass || echo FAIL)"
rm -f "$out.zel.vcf" "$out.bcf.vcf" "$out.q.vcf"
