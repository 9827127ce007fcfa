#!/usr/bin/env bash
# F_ST speed: `zelcli fst --pairwise` on a generated 500-sample, 400k-variant, 5-population BGZF
# VCF, against `vcftools --weir-fst-pop` (one pair) and `plink2 --fst` (all pairs, its VCF
# import included) in the same run, with 1 and 2 threads. The estimators differ: this compares
# time and peak memory only.
# Usage: bench/fst.sh [VARIANTS]   (default 400000; data in bench/data, git-ignored)
set -euo pipefail
cd "$(dirname "$0")/.."
variants=${1:-400000}
build=${ZEL_BENCH_BUILD:-build-fst-rel}
data=bench/data/fst
mkdir -p "$data"
vcf=$data/fst500_$variants.vcf.gz
map=$data/fst500_$variants.popmap

. bench/need.sh
need vcftools plink2 bgzip:tabix
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_BENCH=OFF >/dev/null
ninja -C "$build" -j2 zelcli >/dev/null
g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"
if [ ! -s "$vcf" ]; then
  "$build/vcfgen" --samples 500 --pops 5 --variants "$variants" --seed 11 --popmap "$map" |
    bgzip -@2 -c > "$vcf.tmp"
  mv "$vcf.tmp" "$vcf"
fi
# vcftools: the two sample lists of the first pair; plink2: the population as a phenotype.
awk -F'\t' 'NR > 1 && $2 == "pop1" {print $1}' "$map" | tr -d '\r' > "$data/pop1.txt"
awk -F'\t' 'NR > 1 && $2 == "pop2" {print $1}' "$map" | tr -d '\r' > "$data/pop2.txt"
{ printf '#IID\tpop\n'; awk -F'\t' 'NR > 1 {print $1 "\t" $2}' "$map" | tr -d '\r'; } > "$data/pop.pheno"
cat "$vcf" > /dev/null  # warm the page cache

# Wall seconds, CPU seconds (user + sys) and peak memory (MB) of "$@", output discarded.
timeit() {
  /usr/bin/time -f "%e %U %S %M" -o "$build/time.txt" "$@" > /dev/null 2>&1
  read -r wall user sys kb < "$build/time.txt"
  echo "wall ${wall}s, cpu $(echo "$user + $sys" | bc -l)s, peak $((kb / 1024)) MB"
}

echo "file: $vcf ($(stat -c %s "$vcf") bytes BGZF, 500 samples, $variants variants, 5 populations)"
for t in 1 2; do
  echo "threads $t:"
  echo "  zelcli fst --pairwise (10 pairs, 40 tables): $(timeit "$build/cli/zelcli" -q --threads "$t" fst "$vcf" --popmap "$map" --pairwise --out "$data/zel_out/")"
  echo "  plink2 --fst (VCF import + 10 pairs):        $(timeit plink2 --threads "$t" --vcf "$vcf" --pheno "$data/pop.pheno" --fst pop --allow-extra-chr --out "$data/plink_fst")"
  echo "  vcftools --weir-fst-pop (1 pair):             $(timeit vcftools --gzvcf "$vcf" --weir-fst-pop "$data/pop1.txt" --weir-fst-pop "$data/pop2.txt" --out "$data/vcftools_fst")"
done
# plink2 --threads 1 still reads BGZF on a thread of its own (its CPU time exceeds its wall
# time): both again on one processor core.
echo "one core each (taskset -c 0):"
echo "  zelcli fst --pairwise --threads 1:           $(timeit taskset -c 0 "$build/cli/zelcli" -q --threads 1 fst "$vcf" --popmap "$map" --pairwise --out "$data/zel_out/")"
echo "  plink2 --fst --threads 1:                    $(timeit taskset -c 0 plink2 --threads 1 --vcf "$vcf" --pheno "$data/pop.pheno" --fst pop --allow-extra-chr --out "$data/plink_fst")"
