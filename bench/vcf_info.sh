#!/usr/bin/env bash
# GT and DP extraction speed: `zelcli info --genotypes` on a generated 200-sample plain VCF,
# against `bcftools query -f '[%GT:%DP\t]\n'` on the same file in the same run (page cache warm).
# Usage: bench/vcf_info.sh [BYTES]   (default 1500000000; data in bench/data, git-ignored)
set -euo pipefail
cd "$(dirname "$0")/.."
bytes=${1:-1500000000}
build=${ZEL_BENCH_BUILD:-build-vcf-rel}
data=bench/data
mkdir -p "$data"
vcf=$data/bench200_${bytes}.vcf

if ! command -v bcftools >/dev/null; then
  if [ "$(id -u)" = 0 ]; then apt-get install -y bcftools >/dev/null; else sudo apt-get install -y bcftools >/dev/null; fi
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 zelcli >/dev/null
g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"
if [ ! -s "$vcf" ]; then
  "$build/vcfgen" --samples 200 --pops 4 --bytes "$bytes" --seed 7 > "$vcf.tmp"
  mv "$vcf.tmp" "$vcf"
fi
size=$(stat -c %s "$vcf")
cat "$vcf" > /dev/null  # warm the page cache

timeit() {  # prints seconds of wall time of "$@" (output discarded)
  local t0 t1
  t0=$(date +%s.%N)
  "$@" > /dev/null
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}
mbps() { echo "scale=1; $size / 1000000 / $1" | bc -l; }

echo "file: $vcf ($size bytes, 200 samples)"
for run in 1 2; do
  tz=$(timeit "$build/cli/zelcli" -q info --genotypes "$vcf")
  tb=$(timeit bcftools query -f '[%GT:%DP\t]\n' "$vcf")
  echo "run $run: zelcli info --genotypes: ${tz}s = $(mbps "$tz") MB/s;" \
       "bcftools query [%GT:%DP]: ${tb}s = $(mbps "$tb") MB/s"
done
