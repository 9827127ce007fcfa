#!/usr/bin/env bash
# Decoding compressed VCF to the line index against the usual tools, in one run:
#   BGZF on 1 and 2 threads vs `bgzip -dc -@1` / `-@2`, plain gzip vs `gzip -dc`.
# Usage: bench/gz_decode.sh [BUILD_DIR] [WORK_DIR] [BYTES]   (ZEL_GZ_SKIP_VERIFY=1: timings only)
#   BUILD_DIR holds bench/zel_bench_gz (ninja -C BUILD_DIR zel_bench_gz); default build.
#   WORK_DIR receives the generated files (kept for later runs); default /tmp/zel_gz_bench.
#   BYTES is the size of the generated VCF text; default 600000000.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
work="${2:-/tmp/zel_gz_bench}"
bytes="${3:-600000000}"
reps="${ZEL_BENCH_REPS:-3}"
bench="$build/bench/zel_bench_gz"

[[ -x "$bench" ]] || { echo "missing $bench: run ninja -C $build zel_bench_gz" >&2; exit 1; }
. "$here/bench/need.sh"
need bgzip:tabix
for t in bgzip gzip; do
  command -v "$t" > /dev/null || { echo "missing $t (Debian: tabix, gzip)" >&2; exit 1; }
done
mkdir -p "$work"
vcf="$work/bench.vcf"
bgz="$work/bench.vcf.bgz"
gz="$work/bench.vcf.gz"

if [[ ! -s "$vcf" || $(stat -L -c %s "$vcf") -lt $bytes ]]; then
  gen="$build/bench/zel_vcfgen"
  if [[ ! -x "$gen" ]]; then
    gen="$work/vcfgen"
    g++ -O2 -std=c++20 "$here/bench/vcfgen.cpp" -o "$gen"
  fi
  echo "generating $bytes bytes of VCF text ..."
  "$gen" --samples 100 --bytes "$bytes" --seed 1 > "$vcf"
  rm -f "$bgz" "$gz"
fi
[[ -s "$bgz" ]] || { echo "bgzip ..."; bgzip -@2 -c "$vcf" > "$bgz"; }
[[ -s "$gz" ]] || { echo "gzip ..."; gzip -6 -c "$vcf" > "$gz"; }

# Correctness on a 200 MB piece first: gzip, multi-member gzip and BGZF copies must give the
# bytes of `gzip -dc` (which equal the text) at random ranges and the same line count.
piece="$work/verify.vcf"
if [[ ! -s "$piece" ]]; then
  dd if="$vcf" of="$piece" iflag=count_bytes count=200000000 bs=1M status=none
  gzip -1 -c "$piece" > "$piece.gz"
  third=$(( $(stat -L -c %s "$piece") / 3 ))
  piece_part() { dd if="$piece" iflag=skip_bytes,count_bytes skip="$1" count="$2" bs=1M status=none; }
  { piece_part 0 "$third" | gzip -1 -c
    piece_part "$third" "$third" | gzip -1 -c
    piece_part "$((2 * third))" "$(($(stat -L -c %s "$piece") - 2 * third))" | gzip -1 -c
  } > "$piece.multi.gz"
  bgzip -@2 -c "$piece" > "$piece.bgz"
fi
for f in "$piece.gz" "$piece.multi.gz" "$piece.bgz"; do
  gzip -dc "$f" | cmp -s - "$piece" || { echo "gzip -dc $f differs from the text" >&2; exit 1; }
done
if [[ -z "${ZEL_GZ_SKIP_VERIFY:-}" ]]; then
  echo "verifying random ranges of $piece.{gz,multi.gz,bgz} ..."
  ZEL_GZ_VERIFY_PLAIN="$piece" ZEL_GZ_VERIFY_FILES="$piece.gz:$piece.multi.gz:$piece.bgz" \
    "$bench" --benchmark_filter=BM_VerifyRandomRanges 2>&1 | grep -E "BM_Verify|ERROR|error"
fi

cat "$bgz" "$gz" > /dev/null  # page cache warm for every contender

decoded=$(stat -L -c %s "$vcf")
echo
echo "decoded size: $decoded bytes; BGZF $(stat -L -c %s "$bgz") bytes; gzip $(stat -L -c %s "$gz") bytes"
echo "cores: $(nproc); load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# Best of $reps runs: wall seconds, and user+sys CPU seconds of that run.
best() {
  local label="$1"
  shift
  local bw="" bc=""
  for ((i = 0; i < reps; i++)); do
    /usr/bin/time -o "$work/time.txt" -f "%e %U %S" "$@" > /dev/null 2> /dev/null
    read -r w u s < <(tail -n 1 "$work/time.txt")
    local c
    c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
    if [[ -z "$bw" ]] || awk -v a="$w" -v b="$bw" 'BEGIN { exit !(a < b) }'; then
      bw="$w"
      bc="$c"
    fi
  done
  awk -v l="$label" -v w="$bw" -v c="$bc" -v n="$decoded" \
    'BEGIN { printf "%-34s wall %6.2f s  %7.1f MB/s   cpu %6.2f s\n", l, w, n / w / 1e6, c }'
}

best "bgzip -dc -@1" bgzip -dc -@1 "$bgz"
best "bgzip -dc -@2" bgzip -dc -@2 "$bgz"
export ZEL_GZ_BENCH_BGZF="$bgz" ZEL_GZ_BENCH_GZ="$gz"
best "zel BGZF line index, 1 thread" "$bench" --benchmark_filter='BM_BgzfLineIndex/1/0/' \
  --benchmark_min_time=0.01
best "zel BGZF line index, 2 threads" "$bench" --benchmark_filter='BM_BgzfLineIndex/2/0/' \
  --benchmark_min_time=0.01
best "gzip -dc" gzip -dc "$gz"
best "zel gzip line index, 1 thread" "$bench" --benchmark_filter='BM_GzipLineIndex/1/0/' \
  --benchmark_min_time=0.01
best "zel gzip line index, 2 threads" "$bench" --benchmark_filter='BM_GzipLineIndex/2/0/' \
  --benchmark_min_time=0.01
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "(zel figures include mapping the file and building the block table / access points)"
