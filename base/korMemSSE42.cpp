// SSE4.2-level substring search. Candidates are filtered 16 positions at a time by the
// pattern's first and last byte (loads stay inside the range), then confirmed byte by byte.
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <nmmintrin.h>

#include <cstring>

int64_t FndStrBf_SSE4_2_CMOV(const void* pv, const void* patv, uint64_t len, uint64_t patLen) {
  if (len == 0 || patLen == 0 || patLen > len) return -1;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* pat = static_cast<const uint8_t*>(patv);
  const uint64_t lastStart = len - patLen;
  const __m128i first = _mm_set1_epi8(static_cast<char>(pat[0]));
  const __m128i last = _mm_set1_epi8(static_cast<char>(pat[patLen - 1]));
  uint64_t i = 0;
  for (; i + 15 <= lastStart; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + patLen - 1));
    uint32_t m = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(z, last))));
    while (m) {
      const uint64_t at = i + static_cast<uint64_t>(__builtin_ctz(m));
      if (std::memcmp(p + at, pat, patLen) == 0) return static_cast<int64_t>(at);
      m &= m - 1;
    }
  }
  for (; i <= lastStart; ++i)
    if (p[i] == pat[0] && std::memcmp(p + i, pat, patLen) == 0) return static_cast<int64_t>(i);
  return -1;
}
#endif
