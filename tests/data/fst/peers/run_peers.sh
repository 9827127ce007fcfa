#!/bin/sh
# Makes the stored outputs of the peer tools for peers.vcf (vcftools --weir-fst-pop for all
# three populations and for each pair, plink2 --fst method=hudson with per-variant reports),
# which the tests compare zelcli fst --estimator wc/hudson with. Needs vcftools and plink2.
set -e
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
wc() { # name, population files...
  name=$1; shift
  args=""
  for p in "$@"; do args="$args --weir-fst-pop $here/$p.txt"; done
  vcftools --vcf "$here/peers.vcf" $args --out "$name" >"$name.log" 2>&1
  cp "$name.weir.fst" "$out/$name.weir.fst"
  grep "Fst estimate" "$name.log" > "$out/$name.weir.log"
}
wc wc_global popA popB popC
wc wc_popB-popA popA popB
wc wc_popC-popA popA popC
wc wc_popC-popB popB popC
{ printf '#IID\tpop\n'; tail -n +2 "$here/peers.popmap"; } > pheno.txt
plink2 --vcf "$here/peers.vcf" --pheno pheno.txt --fst pop method=hudson report-variants \
  --out hudson >/dev/null 2>&1
cp hudson.fst.summary "$out/hudson.fst.summary"
for f in hudson.*.fst.var; do cp "$f" "$out/$f"; done
