#!/usr/bin/env bash
# The three exports of a generated 500-sample, 400k-variant, 4-population VCF (BGZF): wall
# and CPU time and peak memory (maximum resident set) of `zelcli export` for each format.
# Usage: bench/export.sh   (data in bench/data, git-ignored; ZEL_BENCH_BUILD: the build folder,
# default build-rel, configured Release and built here)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZEL_BENCH_BUILD:-build-rel}
data=bench/data
mkdir -p "$data"
vcf=$data/export500x400k.vcf.gz
map=$data/export500x400k.popmap

. bench/need.sh
need bgzip:tabix
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 zelcli >/dev/null
g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"
if [ ! -s "$vcf" ]; then
  "$build/vcfgen" --samples 500 --pops 4 --variants 400000 --seed 11 --popmap "$map" |
    bgzip -@2 > "$vcf.tmp"
  mv "$vcf.tmp" "$vcf"
fi
cat "$vcf" > /dev/null  # warm the page cache
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

echo "file: $vcf ($(stat -c %s "$vcf") bytes, 500 samples, 400000 variants, 4 populations)"
for to in bayescan structure binary; do
  pop=()
  [ "$to" = binary ] || pop=(--popmap "$map")
  /usr/bin/time -f "%e %U %S %M" -o "$out/time.txt" \
    "$build/cli/zelcli" -q export "$vcf" --to "$to" "${pop[@]}" --out "$out/$to.txt" > "$out/log.txt"
  read -r wall user sys rss < "$out/time.txt"
  echo "$to: wall ${wall}s, cpu $(echo "$user + $sys" | bc -l)s, peak RSS $((rss / 1024)) MB," \
       "output $(($(stat -c %s "$out/$to.txt") / 1000000)) MB"
done
