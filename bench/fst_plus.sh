#!/usr/bin/env bash
# Standard F_ST estimators, speed: `zelcli fst --pairwise --estimator hudson` (10 pairs) on the
# generated 500-sample, 400k-variant, 5-population BGZF VCF of bench/fst.sh against
# `plink2 --fst pop method=hudson` (its VCF import included), with 1 and 2 threads, and
# `zelcli fst --estimator wc` against `vcftools --weir-fst-pop` for one pair (pop1, pop2).
# Every call counts on both sides (no depth masking, no locus filter, up to 10 alleles), and the
# first pair's genome-wide figures are printed beside the peers' for a check.
# Usage: bench/fst_plus.sh [VARIANTS]   (default 400000; data in bench/data, git-ignored)
#        ZEL_BENCH_BUILD=DIR uses an already configured build folder as it is.
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
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_BENCH=OFF -DZEL_GUI=OFF >/dev/null
fi
ninja -C "$build" -j2 zelcli >/dev/null
if [ ! -s "$vcf" ]; then
  g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"
  "$build/vcfgen" --samples 500 --pops 5 --variants "$variants" --seed 11 --popmap "$map" |
    bgzip -@2 -c > "$vcf.tmp"
  mv "$vcf.tmp" "$vcf"
fi
# vcftools: the sample lists of the pair; zelcli: a map with the other samples unassigned;
# plink2: the population as a phenotype.
awk -F'\t' 'NR > 1 && $2 == "pop1" {print $1}' "$map" | tr -d '\r' > "$data/pop1.txt"
awk -F'\t' 'NR > 1 && $2 == "pop2" {print $1}' "$map" | tr -d '\r' > "$data/pop2.txt"
awk -F'\t' 'BEGIN {OFS = "\t"} {gsub(/\r/, "")} NR == 1 {print $1, $2; next}
  {print $1, ($2 == "pop1" || $2 == "pop2") ? $2 : "."}' "$map" > "$data/pair12.popmap"
{ printf '#IID\tpop\n'; awk -F'\t' 'NR > 1 {print $1 "\t" $2}' "$map" | tr -d '\r'; } > "$data/pop.pheno"
cat "$vcf" > /dev/null  # warm the page cache

# Wall seconds, CPU seconds (user + sys) and peak memory (MB) of "$@", output discarded (the
# standard error kept in $build/stderr.txt).
timeit() {
  /usr/bin/time -f "%e %U %S %M" -o "$build/time.txt" "$@" > /dev/null 2> "$build/stderr.txt"
  read -r wall user sys kb < "$build/time.txt"
  echo "wall ${wall}s, cpu $(echo "$user + $sys" | bc -l)s, peak $((kb / 1024)) MB"
}

all=(--min-dp 0 --min-dp-hom 0 --min-obs 1 --min-pops 1 --max-states 10)
rm -rf "$data/zel_plus"
echo "file: $vcf ($(stat -c %s "$vcf") bytes BGZF, 500 samples, $variants variants, 5 populations)"
for t in 1 2; do
  echo "threads $t:"
  echo "  zelcli fst --pairwise --estimator hudson (10 pairs): $(timeit "$build/cli/zelcli" -q --threads "$t" fst "$vcf" --popmap "$map" --pairwise --estimator hudson "${all[@]}" --out "$data/zel_plus/hudson_")"
  echo "  plink2 --fst method=hudson (VCF import + 10 pairs):  $(timeit plink2 --threads "$t" --vcf "$vcf" --pheno "$data/pop.pheno" --fst pop method=hudson --allow-extra-chr --out "$data/plink_hudson")"
  echo "  zelcli fst --estimator wc (1 pair):                  $(timeit "$build/cli/zelcli" -q --threads "$t" fst "$vcf" --popmap "$data/pair12.popmap" --estimator wc "${all[@]}" --out "$data/zel_plus/wc_")"
done
# plink2 --threads 1 still reads BGZF on a thread of its own: both again on one processor core.
echo "one core each (taskset -c 0):"
echo "  zelcli fst --pairwise --estimator hudson --threads 1: $(timeit taskset -c 0 "$build/cli/zelcli" -q --threads 1 fst "$vcf" --popmap "$map" --pairwise --estimator hudson "${all[@]}" --out "$data/zel_plus/hudson_")"
echo "  plink2 --fst method=hudson --threads 1:               $(timeit taskset -c 0 plink2 --threads 1 --vcf "$vcf" --pheno "$data/pop.pheno" --fst pop method=hudson --allow-extra-chr --out "$data/plink_hudson")"
# vcftools has no threads: one run.
echo "  vcftools --weir-fst-pop (1 pair, single-threaded):   $(timeit vcftools --gzvcf "$vcf" --weir-fst-pop "$data/pop1.txt" --weir-fst-pop "$data/pop2.txt" --out "$data/vcftools_wc")"
cp "$build/stderr.txt" "$data/vcftools_wc.log"
echo "check, pair pop2-pop1:"
echo "  zelcli hudson: $(awk -F'\t' '$1 == "pop2-pop1" {print $3}' "$data/zel_plus/hudson_fst_hudson_summary.tsv")   plink2: $(awk '$1 == "pop1" && $2 == "pop2" {print $3}' "$data/plink_hudson.fst.summary")"
echo "  zelcli wc weighted/mean: $(awk -F'\t' 'NR == 2 {print $3 " " $4}' "$data/zel_plus/wc_fst_wc_summary.tsv")   vcftools: $(awk '/weighted Fst/ {w = $NF} /mean Fst/ {m = $NF} END {print w " " m}' "$data/vcftools_wc.log")"
# vcftools leaves out every site with a call it does not take as diploid (the generator writes
# some missing calls as a lone "."): the same figures over the sites it kept.
echo "  zelcli wc weighted/mean over the sites vcftools kept: $(tr -d '\r' < "$data/zel_plus/wc_fst_wc_global.tsv" |
  awk -F'\t' 'NR == FNR {if (FNR > 1 && $3 != "nan" && $3 != "-nan") kept[$1 ":" $2] = 1; next}
    FNR > 1 && ($1 ":" $2) in kept && $5 != "NA" {n += $3; d += $4; v += $5; k++}
    END {printf "%.6f %.6f (%d sites)", n / d, v / k, k}' "$data/vcftools_wc.weir.fst" -)"
