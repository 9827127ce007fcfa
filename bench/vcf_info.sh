#!/usr/bin/env bash
# GT and DP extraction speed: `zelcli info --genotypes` on a generated 200-sample plain VCF,
# against `bcftools query -f '[%GT:%DP\t]\n'` on the same file in the same run (page cache warm).
# Usage: bench/vcf_info.sh [BYTES]   (default 1500000000; data in bench/data, git-ignored)
# ZEL_BENCH_RUNS=N repeats the pair of measurements (a busy machine makes single runs noisy).
set -euo pipefail
cd "$(dirname "$0")/.."
bytes=${1:-1500000000}
build=${ZEL_BENCH_BUILD:-build-vcf-rel}
data=bench/data
mkdir -p "$data"
vcf=$data/bench200_${bytes}.vcf

. bench/need.sh
need bcftools
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 zelcli >/dev/null
g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"
if [ ! -s "$vcf" ]; then
  "$build/vcfgen" --samples 200 --pops 4 --bytes "$bytes" --seed 7 > "$vcf.tmp"
  mv "$vcf.tmp" "$vcf"
fi
size=$(stat -c %s "$vcf")
cat "$vcf" > /dev/null  # warm the page cache

# Wall and CPU seconds of "$@" (output discarded). The CPU figure (user + sys) gives the speed
# per core and stays meaningful on a busy machine; the wall figure is what a user waits.
timeit() {
  /usr/bin/time -f "%e %U %S" -o "$build/time.txt" "$@" > /dev/null
  read -r wall user sys < "$build/time.txt"
  echo "$wall $(echo "$user + $sys" | bc -l)"
}
mbps() { echo "scale=1; $size / 1000000 / $1" | bc -l; }

echo "file: $vcf ($size bytes, 200 samples)"
for run in $(seq 1 "${ZEL_BENCH_RUNS:-1}"); do
  read -r zw zc < <(timeit "$build/cli/zelcli" -q info --genotypes "$vcf")
  read -r bw bc_ < <(timeit bcftools query -f '[%GT:%DP\t]\n' "$vcf")
  echo "run $run: zelcli info --genotypes: wall ${zw}s ($(mbps "$zw") MB/s), cpu ${zc}s ($(mbps "$zc") MB/s per core);" \
       "bcftools query [%GT:%DP]: wall ${bw}s ($(mbps "$bw") MB/s), cpu ${bc_}s ($(mbps "$bc_") MB/s per core)"
done
