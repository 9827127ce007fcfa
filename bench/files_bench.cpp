// Line index of a large plain text file (page cache warm), item access over it.
// The file is ZEL_FILES_BENCH_FILE or /tmp/zel_files_bench_1g.txt, made on first use;
// `zel_bench_files --make FILE [MiB]` only writes it. bench/files_index.sh compares with wc -l.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "fileaccess/korFileIO.h"
#include "fileaccess/korMMTF.h"

namespace {

std::string BenchFile() {
  const char* e = std::getenv("ZEL_FILES_BENCH_FILE");
  return e && *e ? e : "/tmp/zel_files_bench_1g.txt";
}

// VCF-like lines of 40..400 bytes, tab separated.
bool MakeFile(const std::string& path, uint64_t mib) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::mt19937_64 rng(42);
  const uint64_t target = mib << 20;
  std::string line;
  uint64_t written = 0, pos = 1000;
  while (written < target) {
    line = "chr1\t" + std::to_string(pos += rng() % 500) +
           "\t.\tA\tG\t50\tPASS\tDP=" + std::to_string(rng() % 100) + "\tGT";
    int samples = static_cast<int>(rng() % 80);
    for (int s = 0; s < samples; ++s) line += (rng() & 1) ? "\t0/1" : "\t0/0";
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), f) != line.size()) {
      std::fclose(f);
      return false;
    }
    written += line.size();
  }
  return std::fclose(f) == 0;
}

bool EnsureFile() {
  const std::string p = BenchFile();
  if (DoesFileExist(p)) return true;
  return MakeFile(p, 1024);
}

void WarmUp(const std::string& p) {
  std::string b;
  uint64_t got, after;
  for (uint64_t o = 0;; o += 8 << 20) {
    if (ReadFilePart(p, b, got, after, o, 8 << 20) != 0 || got == 0) break;
  }
}

void BM_LineIndex(benchmark::State& st, const std::string& sep, uint64_t partSz) {
  if (!EnsureFile()) {
    st.SkipWithError("cannot create the benchmark file");
    return;
  }
  const std::string p = BenchFile();
  WarmUp(p);
  uint64_t bytes = 0, lines = 0;
  for (auto _ : st) {
    TMMTF f;
    if (!f.LoadMMF(p, 0, partSz) || f.MakeIndex(sep) == cNoIdx) {
      st.SkipWithError("indexing failed");
      return;
    }
    bytes += f.FileSize();
    lines = f.GetNItems();
    benchmark::DoNotOptimize(lines);
  }
  st.SetBytesProcessed(static_cast<int64_t>(bytes));
  st.counters["lines"] = static_cast<double>(lines);
}

void BM_ItemWalk(benchmark::State& st) {
  if (!EnsureFile()) {
    st.SkipWithError("cannot create the benchmark file");
    return;
  }
  TMMTF f;
  if (!f.LoadMMF(BenchFile(), 0, cDefMMFPartSz) || f.MakeIndex("\n") == cNoIdx) {
    st.SkipWithError("indexing failed");
    return;
  }
  uint64_t bytes = 0;
  for (auto _ : st) {
    uint64_t sum = 0;
    for (uint64_t i = 0, n = f.GetNItems(); i < n; ++i) {
      uint64_t len;
      const uint8_t* p = f.GetItemPtr(i, len);
      if (p) sum += p[0];
      bytes += len;
    }
    benchmark::DoNotOptimize(sum);
  }
  st.SetBytesProcessed(static_cast<int64_t>(bytes));
}

}  // namespace

BENCHMARK_CAPTURE(BM_LineIndex, LF_1GiBParts, std::string("\n"), cDefMMFPartSz)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineIndex, LF_64MiBParts, std::string("\n"), uint64_t(64) << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineIndex, CRLF_1GiBParts, std::string("\r\n"), cDefMMFPartSz)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItemWalk)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--make") == 0) {
    uint64_t mib = argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 1024;
    return MakeFile(argv[2], mib ? mib : 1024) ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
