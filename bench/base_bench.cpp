// Throughput of the forward byte scan and the byte count: the dispatched variant, every
// variant this processor runs, the portable variant, and glibc memchr, on 1 MiB (cache) and
// 256 MiB (memory) buffers. Bytes per second are reported by the benchmark library.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/korMem.h"

namespace {

constexpr uint8_t kAbsent = 0x0A;  // never in the buffer: the scan reads all of it

const uint8_t* Buffer(size_t len) {
  static std::vector<uint8_t> mem;
  if (mem.size() < len + 64) {
    mem.assign(len + 64, 0);
    std::mt19937 rng(1);
    for (auto& b : mem) {
      b = static_cast<uint8_t>(rng());
      if (b == kAbsent) b = 'x';
    }
  }
  return mem.data() + MemAlignOfsNext(mem.data(), 64) + 1;  // an odd start on purpose
}

void Scan(benchmark::State& st, TScnMemBProc f) {
  const size_t len = static_cast<size_t>(st.range(0));
  const uint8_t* p = Buffer(len);
  for (auto _ : st) benchmark::DoNotOptimize(f(p, kAbsent, len));
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(len));
}

void Count(benchmark::State& st, TCntMemBProc f) {
  const size_t len = static_cast<size_t>(st.range(0));
  const uint8_t* p = Buffer(len);
  for (auto _ : st) benchmark::DoNotOptimize(f(p, 'x', len));
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(len));
}

void BM_ScnMemBf_Dispatched(benchmark::State& st) {
  st.SetLabel(VariantName(fScnMemBf));
  Scan(st, fScnMemBf);
}
void BM_ScnMemBf_Portable(benchmark::State& st) { Scan(st, ScnMemBf); }
void BM_memchr(benchmark::State& st) {
  Scan(st, [](const void* p, uint8_t b, uint64_t len) -> int64_t {
    const void* r = std::memchr(p, b, len);
    return r ? static_cast<const uint8_t*>(r) - static_cast<const uint8_t*>(p) : -1;
  });
}
void BM_CntMemB_Dispatched(benchmark::State& st) {
  st.SetLabel(VariantName(fCntMemB));
  Count(st, fCntMemB);
}
void BM_CntMemB_Portable(benchmark::State& st) { Count(st, CntMemB); }

constexpr int64_t kSmall = 1 << 20;
constexpr int64_t kLarge = int64_t(256) << 20;

BENCHMARK(BM_ScnMemBf_Dispatched)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_ScnMemBf_Portable)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_memchr)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_CntMemB_Dispatched)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_CntMemB_Portable)->Arg(kSmall)->Arg(kLarge);

// Every runnable variant of both families, by name.
[[maybe_unused]] const bool kVariantsRegistered = [] {
  for (const auto& v : RunnableVariants(SelectionCPU())) {
    const std::string fam = v.Family;
    if (fam == "ScnMemBf") {
      const auto f = reinterpret_cast<TScnMemBProc>(v.Proc);
      benchmark::RegisterBenchmark((std::string("BM_Variant/") + v.Name).c_str(),
                                   [f](benchmark::State& st) { Scan(st, f); })
          ->Arg(kSmall)
          ->Arg(kLarge);
    } else if (fam == "CntMemB") {
      const auto f = reinterpret_cast<TCntMemBProc>(v.Proc);
      benchmark::RegisterBenchmark((std::string("BM_Variant/") + v.Name).c_str(),
                                   [f](benchmark::State& st) { Count(st, f); })
          ->Arg(kSmall)
          ->Arg(kLarge);
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
