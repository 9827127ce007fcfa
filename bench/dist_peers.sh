#!/usr/bin/env bash
# Sample distances, PCoA and UPGMA against their peers in the same run:
#   zelcli dist (its VCF reading included) vs `plink1.9 --distance square 1-ibs` (its VCF import
#   included) on a generated 500-sample x 400k-SNP VCF, one thread each (and both on all cores);
#   zelcli pcoa --matrix vs scikit-bio's pcoa, zelcli upgma --matrix vs scipy's
#   linkage(method='average') on matrices of 2,000 and 5,000 items (the Python figures time
#   the call alone, after the matrix is in memory; zelcli's include reading the matrix text,
#   zel_bench_dist gives the engine alone on the same matrices, in memory).
# Peak memory (max RSS) is printed for every zelcli run.
# Python figures are wall and CPU seconds of the call (time.perf_counter, time.process_time).
# Usage: bench/dist_peers.sh [SAMPLES] [SNPS]   (default 500 400000; data in bench/data)
# ZEL_BENCH_PARTS=dist (or matrix) runs only the distance (or only the PCoA/UPGMA) part.
set -euo pipefail
cd "$(dirname "$0")/.."
samples=${1:-500}
snps=${2:-400000}
build=${ZEL_BENCH_BUILD:-build-dist-rel}
data=bench/data
mkdir -p "$data"

. bench/need.sh
need plink1.9
/usr/bin/python3 -c 'import skbio, scipy' 2>/dev/null || install_packages python3-skbio python3-scipy python3-numpy
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_BENCH=ON >/dev/null
ninja -C "$build" -j2 zelcli zel_bench_dist >/dev/null
g++ -O2 -std=c++20 bench/vcfgen.cpp -o "$build/vcfgen"
zel="$build/cli/zelcli"

# Wall seconds, CPU seconds and peak RSS (MB) of "$@" (output discarded).
timeit() {
  /usr/bin/time -f "%e %U %S %M" -o "$build/time.txt" "$@" > /dev/null 2>&1
  read -r wall user sys rss < "$build/time.txt"
  echo "$wall $(echo "$user + $sys" | bc -l) $((rss / 1024))"
}

parts=${ZEL_BENCH_PARTS:-dist matrix}
if [[ " $parts " == *" dist "* ]]; then
vcf=$data/dist_${samples}x${snps}.vcf
if [ ! -s "$vcf" ]; then
  "$build/vcfgen" --samples "$samples" --pops 5 --variants "$snps" --multi 0 --indel 0 --seed 16 > "$vcf.tmp"
  mv "$vcf.tmp" "$vcf"
fi
cat "$vcf" > /dev/null
echo "== distances: $vcf ($(stat -c %s "$vcf") bytes, $samples samples, $snps SNPs)"
for t in 1 0; do
  label=$([ "$t" = 1 ] && echo "1 thread" || echo "all cores")
  read -r zw zc zm < <(timeit "$zel" -q --threads "$t" dist "$vcf" --min-dp 0 --out "$build/zel.dist")
  pt=$([ "$t" = 1 ] && echo 1 || nproc)
  read -r pw pc pm < <(timeit plink1.9 --vcf "$vcf" --allow-extra-chr --double-id --threads "$pt" \
    --distance square 1-ibs --out "$build/plink")
  echo "$label: zelcli dist wall ${zw}s cpu ${zc}s peak ${zm} MB; plink1.9 1-ibs wall ${pw}s cpu ${pc}s peak ${pm} MB;" \
       "speed-up (wall) $(echo "scale=2; $pw / $zw" | bc -l)x"
done
# Same numbers? plink leaves out no call our masking-free run keeps, so the matrices agree.
/usr/bin/python3 - "$build/zel.dist" "$build/plink.mdist" <<'PY'
import sys
import numpy as np
lines = open(sys.argv[1], newline="").read().split("\r\n")
n = len(lines[0].split("\t"))
z = np.zeros((n, n))
for i in range(n):
    cells = lines[i + 1].split("\t")[:-1]
    for j in range(i + 1):
        z[i, j] = z[j, i] = float(cells[j])
p = np.loadtxt(sys.argv[2])
print("largest difference to plink's matrix: %.3g (ours has 9 decimals)" % np.abs(z - p).max())
PY
fi

[[ " $parts " == *" matrix "* ]] || exit 0
for n in 2000 5000; do
  m=$data/dist_matrix_$n.tsv
  if [ ! -s "$m" ]; then
    /usr/bin/python3 - "$n" "$m" <<'PY'
import sys
import numpy as np
n, fn = int(sys.argv[1]), sys.argv[2]
rng = np.random.default_rng(n)
x = rng.normal(size=(n, 20)) + rng.integers(0, 6, size=(n, 1))
d = np.sqrt(((x[:, None, :] - x[None, :, :]) ** 2).sum(-1)) if n <= 2000 else None
if d is None:
    g = (x * x).sum(1)
    d = np.sqrt(np.maximum(g[:, None] + g[None, :] - 2 * x @ x.T, 0))
d = d / d.max() + np.triu(rng.uniform(0, 0.05, (n, n)), 1).T  # a little non-Euclidean
with open(fn + ".tmp", "w", newline="") as f:
    f.write("\t".join("i%d" % i for i in range(n)) + "\r\n")
    for i in range(n):
        row = d[i, :i + 1].copy()
        row[i] = 0
        f.write("".join("%.9f\t" % v for v in row) + "\r\n")
    f.write("\r\n")
import os
os.rename(fn + ".tmp", fn)
PY
  fi
  echo "== PCoA and UPGMA of $n items ($m)"
  read -r zw zc zm < <(timeit "$zel" -q pcoa --matrix "$m" --out "$build/pc$n")
  skb=$(/usr/bin/python3 - "$m" <<'PY'
import sys, time, warnings
import numpy as np
warnings.simplefilter("ignore")
from skbio import DistanceMatrix
from skbio.stats.ordination import pcoa
lines = open(sys.argv[1], newline="").read().split("\r\n")
n = len(lines[0].split("\t"))
d = np.zeros((n, n))
for i in range(n):
    cells = lines[i + 1].split("\t")[:-1]
    d[i, :i + 1] = [float(c) for c in cells]
d = d + d.T
dm = DistanceMatrix(d)
t, c = time.perf_counter(), time.process_time()
pcoa(dm)
print("wall %.2fs cpu %.2fs" % (time.perf_counter() - t, time.process_time() - c))
PY
)
  echo "zelcli pcoa (read included) wall ${zw}s cpu ${zc}s peak ${zm} MB; scikit-bio pcoa call ${skb}"
  rm -f "$build/tree$n.nwk"
  read -r uw uc um < <(timeit "$zel" -q upgma --matrix "$m" --out "$build/tree$n.nwk")
  sp=$(/usr/bin/python3 - "$m" <<'PY'
import sys, time
import numpy as np
from scipy.cluster.hierarchy import linkage
lines = open(sys.argv[1], newline="").read().split("\r\n")
n = len(lines[0].split("\t"))
d = np.zeros((n, n))
for i in range(n):
    cells = lines[i + 1].split("\t")[:-1]
    d[i, :i + 1] = [float(c) for c in cells]
d = d + d.T
from scipy.spatial.distance import squareform
c = squareform(d, checks=False)
t, p = time.perf_counter(), time.process_time()
linkage(c, method="average")
print("wall %.2fs cpu %.2fs" % (time.perf_counter() - t, time.process_time() - p))
PY
)
  echo "zelcli upgma (read included) wall ${uw}s cpu ${uc}s peak ${um} MB; scipy linkage(average) call ${sp}"
done
echo "== engine alone (the same matrices, in memory; default OpenBLAS threads)"
ZEL_BENCH_MATRICES="$data" "$build/bench/zel_bench_dist" 2>/dev/null | grep -E '^BM_'
