// Extraction speed on 200-sample text in memory: the line splitter, genotype reading alone, and
// the whole GT + DP walk of `zelcli info --genotypes`; bytes per second over the variant text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vcf/bioVCF.h"
#include "vcf/vcfSummary.h"

namespace {

// Deterministic 200-sample lines in the generator's shape (GT:DP:GQ, some missing calls).
std::string MakeText(uint32_t nSmp, uint32_t nVar) {
  std::string t = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (uint32_t s = 0; s < nSmp; ++s) t += "\tS" + std::to_string(s);
  t += "\n";
  uint64_t x = 88172645463325252ull;
  for (uint32_t v = 0; v < nVar; ++v) {
    t += "chr1\t" + std::to_string(100 + v * 7) + "\t.\tA\tG\t50\tPASS\tNS=200;DP=4000\tGT:DP:GQ";
    for (uint32_t s = 0; s < nSmp; ++s) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      const uint32_t r = uint32_t(x % 100);
      if (r < 3) {
        t += "\t./.";
        continue;
      }
      t += '\t';
      t += char('0' + (r & 1));
      t += '/';
      t += char('0' + ((r >> 1) & 1));
      t += ':' + std::to_string(5 + r % 30) + ':' + std::to_string(20 + r % 79);
    }
    t += '\n';
  }
  return t;
}

const std::string& Text() {
  static const std::string t = MakeText(200, 5000);
  return t;
}

void BM_SplitLines(benchmark::State& st) {
  TVCFFile f;
  if (!f.OpenText(Text())) st.SkipWithError("the generated text does not open");
  // Reading a variant's column count splits its line.
  for (auto _ : st)
    for (uint64_t v = 0; v < f.NVariants(); ++v) benchmark::DoNotOptimize(f.NColumns(v));
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(Text().size()));
}
BENCHMARK(BM_SplitLines);

void BM_Genotypes(benchmark::State& st) {
  TVCFFile f;
  if (!f.OpenText(Text())) st.SkipWithError("the generated text does not open");
  const uint32_t n = f.NSamples();
  std::vector<uint32_t> act(2 * n), sal(2 * n), ploidy(n);
  for (auto _ : st)
    for (uint64_t v = 0; v < f.NVariants(); ++v)
      f.XtrGenotypeMem(v, 2, act.data(), sal.data(), ploidy.data(), true, nullptr);
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(Text().size()));
}
BENCHMARK(BM_Genotypes);

void BM_InfoGenotypesWalk(benchmark::State& st) {
  TVCFFile f;
  if (!f.OpenText(Text())) st.SkipWithError("the generated text does not open");
  for (auto _ : st) {
    TVcfGtSummary s;
    TZelErr err;
    benchmark::DoNotOptimize(VcfSummariseGenotypes(f, s, err));
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(Text().size()));
}
BENCHMARK(BM_InfoGenotypesWalk);

}  // namespace

BENCHMARK_MAIN();
