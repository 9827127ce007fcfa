// Splitting a VCF line at its tabs once.
#include "vcf/vcfLine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// One bit per byte of p[0..64) that is a tab.
inline uint64_t TabMask64(const char* p) {
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i* v = reinterpret_cast<const __m128i*>(p);
  const uint64_t m0 = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v), tab)));
  const uint64_t m1 = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 1), tab)));
  const uint64_t m2 = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 2), tab)));
  const uint64_t m3 = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 3), tab)));
  return m0 | (m1 << 16) | (m2 << 32) | (m3 << 48);
}
#endif

}  // namespace

size_t VcfSplitLine(const char* p, size_t len, std::vector<uint32_t>& starts) {
  if (len >= 0xFFFFFFFFu) {
    starts.clear();
    return 0;
  }
  // At most one start per byte plus the two ends; the vector only grows, so a reused vector
  // is sized once per run, not per line.
  if (starts.size() < len + 2) starts.resize(len + 2);
  uint32_t* out = starts.data();
  size_t k = 0;
  out[k++] = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // A VCF line has a tab every few bytes: eight starts are written per round whatever the
  // count, so the loop's length does not depend on where the tabs fall (no mispredicted
  // branch per tab). A write after the block's last tab lands on the next free entry and is
  // overwritten later.
  for (; i + 64 <= len; i += 64) {
    uint64_t m = TabMask64(p + i);
    const uint32_t base = uint32_t(i + 1);
    while (m) {
      for (int r = 0; r < 8; ++r) {
        // The top bit keeps the count defined once m is empty.
        out[k] = base + uint32_t(__builtin_ctzll(m | (uint64_t(1) << 63)));
        k += m != 0;
        m &= m - 1;
      }
    }
  }
  const __m128i tab = _mm_set1_epi8('\t');
  for (; i + 16 <= len; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    unsigned m = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)));
    while (m) {
      out[k++] = uint32_t(i + unsigned(__builtin_ctz(m)) + 1);
      m &= m - 1;
    }
  }
#endif
  for (; i < len; ++i)
    if (p[i] == '\t') out[k++] = uint32_t(i + 1);
  out[k++] = uint32_t(len + 1);
  return k - 1;
}
