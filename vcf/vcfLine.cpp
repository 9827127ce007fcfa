// Splitting a VCF line at its tabs once.
#include "vcf/vcfLine.h"

#include "base/korCpu.h"
#include "vcf/vcfLineSimd.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using namespace vcfsplit;

template <bool kCheck>
size_t SplitLine(const char* p, size_t len, std::vector<uint32_t>& starts, bool* ctrl,
                 uint32_t* colons) {
  uint32_t* out = Prepare(len, starts);
  if (!out) return 0;
  size_t k = 1;
  size_t i = 0;
  bool bad = false;
  uint32_t nColon = 0;
#if defined(__SSE2__)
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i colon = _mm_set1_epi8(':');
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i zero = _mm_setzero_si128();
  __m128i colonSum = zero;  // two 64-bit lanes of colon counts
  for (; i + 64 <= len; i += 64) {
    const __m128i* v = reinterpret_cast<const __m128i*>(p + i);
    const __m128i v0 = _mm_loadu_si128(v), v1 = _mm_loadu_si128(v + 1);
    const __m128i v2 = _mm_loadu_si128(v + 2), v3 = _mm_loadu_si128(v + 3);
    const __m128i t0 = _mm_cmpeq_epi8(v0, tab), t1 = _mm_cmpeq_epi8(v1, tab);
    const __m128i t2 = _mm_cmpeq_epi8(v2, tab), t3 = _mm_cmpeq_epi8(v3, tab);
    uint64_t m = uint64_t(uint32_t(_mm_movemask_epi8(t0))) |
                 (uint64_t(uint32_t(_mm_movemask_epi8(t1))) << 16) |
                 (uint64_t(uint32_t(_mm_movemask_epi8(t2))) << 32) |
                 (uint64_t(uint32_t(_mm_movemask_epi8(t3))) << 48);
    if constexpr (kCheck) {
      // Bytes below 0x20 (and from 0x80) should be the tabs: any other is looked at.
      const uint64_t low =
          uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpgt_epi8(space, v0)))) |
          (uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpgt_epi8(space, v1)))) << 16) |
          (uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpgt_epi8(space, v2)))) << 32) |
          (uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpgt_epi8(space, v3)))) << 48);
      if (low != m) bad |= AnyCtrl(p + i, low, m);
      // Each compare gives -1 per colon: four of them sum to 0..4 per byte lane, which one
      // SAD adds up. No popcount: a baseline x86-64 build would call libgcc's for it.
      const __m128i c =
          _mm_add_epi8(_mm_add_epi8(_mm_cmpeq_epi8(v0, colon), _mm_cmpeq_epi8(v1, colon)),
                       _mm_add_epi8(_mm_cmpeq_epi8(v2, colon), _mm_cmpeq_epi8(v3, colon)));
      colonSum = _mm_add_epi64(colonSum, _mm_sad_epu8(_mm_sub_epi8(zero, c), zero));
    }
    k = PutTabs(out, k, uint32_t(i + 1), m);
  }
  for (; i + 16 <= len; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i t = _mm_cmpeq_epi8(v, tab);
    if constexpr (kCheck) {
      const unsigned low = unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(space, v)));
      const unsigned tabs = unsigned(_mm_movemask_epi8(t));
      if (low != tabs) bad |= AnyCtrl(p + i, low, tabs);
      colonSum =
          _mm_add_epi64(colonSum, _mm_sad_epu8(_mm_sub_epi8(zero, _mm_cmpeq_epi8(v, colon)), zero));
    }
    unsigned m = unsigned(_mm_movemask_epi8(t));
    while (m) {
      out[k++] = uint32_t(i + unsigned(__builtin_ctz(m)) + 1);
      m &= m - 1;
    }
  }
  if constexpr (kCheck) {
    nColon = uint32_t(_mm_cvtsi128_si64(colonSum)) +
             uint32_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(colonSum, colonSum)));
  }
#endif
  return Finish<kCheck>(p, i, len, out, k, bad, nColon, ctrl, colons);
}

}  // namespace

#if defined(ZEL_HAVE_SPLIT_AVX2)
namespace {
// The processor is asked once; the ceiling AllowSSE is read on every call, so that a lowered
// ceiling (tests, a user's choice) takes effect at once.
bool UseAVX2() {
  static const bool has = [] {
    const TCPUIdentification& c = SelectionCPU();
    return c.HasAVX2 && c.OSEnabledYMM;
  }();
  return has && AllowSSE >= AVX2;
}
}  // namespace
#endif

size_t VcfSplitLine(const char* p, size_t len, std::vector<uint32_t>& starts) {
#if defined(ZEL_HAVE_SPLIT_AVX2)
  if (UseAVX2()) return VcfSplitLineAVX2(p, len, starts);
#endif
  return SplitLine<false>(p, len, starts, nullptr, nullptr);
}

size_t VcfSplitLineChecked(const char* p, size_t len, std::vector<uint32_t>& starts, bool& ctrl,
                           uint32_t& colons) {
  ctrl = false;
  colons = 0;
#if defined(ZEL_HAVE_SPLIT_AVX2)
  if (UseAVX2()) return VcfSplitLineCheckedAVX2(p, len, starts, ctrl, colons);
#endif
  return SplitLine<true>(p, len, starts, &ctrl, &colons);
}
