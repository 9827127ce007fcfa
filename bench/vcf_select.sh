#!/usr/bin/env bash
# FORMAT filter speed: `zelcli select --sample-tag "GQ >= 20:3"` over all samples of a generated
# 200-sample, 400k-variant plain VCF, against `bcftools view -i 'COUNT(FMT/GQ>=20)>=3'` on the
# same file in the same run (page cache warm); both write the selected variants as plain VCF.
# Usage: bench/vcf_select.sh [VARIANTS]   (default 400000; data in bench/data, git-ignored)
# ZEL_BENCH_RUNS=N repeats the pair of measurements (a busy machine makes single runs noisy).
set -euo pipefail
cd "$(dirname "$0")/.."
variants=${1:-400000}
build=${ZEL_BENCH_BUILD:-build-vcf-rel}
data=bench/data
mkdir -p "$data"
vcf=$data/select200_${variants}.vcf

. bench/need.sh
need bcftools
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 zelcli >/dev/null
g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"
if [ ! -s "$vcf" ]; then
  "$build/vcfgen" --samples 200 --pops 4 --variants "$variants" --seed 7 > "$vcf.tmp"
  mv "$vcf.tmp" "$vcf"
fi
size=$(stat -c %s "$vcf")
cat "$vcf" > /dev/null  # warm the page cache
out=$data/select_out

# Wall and CPU seconds of "$@" (output discarded). The CPU figure (user + sys) gives the speed
# per core and stays meaningful on a busy machine; the wall figure is what a user waits.
timeit() {
  /usr/bin/time -f "%e %U %S" -o "$build/time.txt" "$@" > /dev/null
  read -r wall user sys < "$build/time.txt"
  echo "$wall $(echo "$user + $sys" | bc -l)"
}

echo "file: $vcf ($size bytes, 200 samples, $variants variants)"
for run in $(seq 1 "${ZEL_BENCH_RUNS:-1}"); do
  read -r zw zc < <(timeit "$build/cli/zelcli" -q select "$vcf" --sample-tag "GQ >= 20:3" --out "$out.zel.vcf")
  read -r bw bc_ < <(timeit bcftools view -i 'COUNT(FMT/GQ>=20)>=3' "$vcf" -o "$out.bcf.vcf")
  echo "run $run: zelcli select --sample-tag: wall ${zw}s, cpu ${zc}s;" \
       "bcftools view -i COUNT(FMT/GQ>=20)>=3: wall ${bw}s, cpu ${bc_}s;" \
       "selected: $(grep -vc '^#' "$out.zel.vcf") / $(grep -vc '^#' "$out.bcf.vcf")"
done
rm -f "$out.zel.vcf" "$out.bcf.vcf"
