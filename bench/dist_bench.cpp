// Engine-only timings of PCoA and UPGMA on matrices of 2,000 and 5,000 items (the matrix already
// in memory, as the Python peers in bench/dist_peers.sh are timed): the peers' own matrix files
// when ZEL_BENCH_MATRICES names their folder (dist_matrix_<n>.tsv), random ones otherwise.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "popgen/korDist.h"
#include "popgen/pcoa.h"
#include "popgen/upgma.h"

namespace {

// Points in 20 dimensions around six centres, plus a little noise that makes the distances
// non-Euclidean.
TSymDist RandomMatrix(uint32_t n) {
  uint64_t x = n;
  auto unit = [&]() {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return double(x >> 11) / double(1ull << 53);
  };
  std::vector<double> p(size_t(n) * 20);
  for (uint32_t i = 0; i < n; ++i) {
    const double c = std::floor(unit() * 6);
    for (int k = 0; k < 20; ++k) p[size_t(i) * 20 + k] = c + unit();
  }
  TSymDist d(n, 0);
  for (uint32_t i = 1; i < n; ++i)
    for (uint32_t j = 0; j < i; ++j) {
      double s = 0;
      for (int k = 0; k < 20; ++k) s += std::pow(p[size_t(i) * 20 + k] - p[size_t(j) * 20 + k], 2);
      d.SetDist(i, j, std::sqrt(s) + 0.05 * unit());
    }
  return d;
}

TSymDist BenchMatrix(uint32_t n) {
  if (const char* dir = std::getenv("ZEL_BENCH_MATRICES")) {
    TDistFileRead r;
    const std::string fn = std::string(dir) + "/dist_matrix_" + std::to_string(n) + ".tsv";
    if (!ReadDistFile(fn, r) && r.Dist) return std::move(*r.Dist);
  }
  return RandomMatrix(n);
}

void BM_PCoA(benchmark::State& st) {
  const TSymDist d = BenchMatrix(uint32_t(st.range(0)));
  for (auto _ : st) {
    TPCoAResult r;
    if (PCoA(d, r)) st.SkipWithError("PCoA failed");
    benchmark::DoNotOptimize(r.Coord.data());
  }
}
BENCHMARK(BM_PCoA)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Upgma(benchmark::State& st) {
  const TSymDist d = BenchMatrix(uint32_t(st.range(0)));
  for (auto _ : st) {
    TDendrogram t;
    std::string s;
    if (upgma(d, t, s)) st.SkipWithError("UPGMA failed");
    benchmark::DoNotOptimize(s.data());
  }
}
BENCHMARK(BM_Upgma)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
