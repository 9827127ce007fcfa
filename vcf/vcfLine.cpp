// Splitting a VCF line at its tabs once.
#include "vcf/vcfLine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
