// AVX-level byte scan: VEX-encoded 128-bit compares, four aligned blocks per step.
// Reads stay inside the aligned 16-byte blocks holding the range's first and last byte.
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <immintrin.h>

#define ZEL_BLOCK_READS __attribute__((no_sanitize_address))

namespace {
ZEL_BLOCK_READS inline __m128i Ld(const uint8_t* a) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(a));
}
inline uint32_t Mask(__m128i x) { return static_cast<uint32_t>(_mm_movemask_epi8(x)); }
}  // namespace

ZEL_BLOCK_READS int64_t ScnMemBf_AVX(const void* pv, uint8_t b, uint64_t len) {
  if (len == 0) return -1;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* end = p + len;
  const __m128i v = _mm_set1_epi8(static_cast<char>(b));
  const uint8_t* a =
      reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(15));
  uint32_t m = Mask(_mm_cmpeq_epi8(Ld(a), v)) & (0xFFFFu << (p - a));
  int64_t r = -1;
  if (m) {
    const uint8_t* hit = a + __builtin_ctz(m);
    r = hit < end ? hit - p : -1;
    _mm256_zeroupper();
    return r;
  }
  a += 16;
  while (a + 64 <= end) {
    const __m128i c0 = _mm_cmpeq_epi8(Ld(a), v);
    const __m128i c1 = _mm_cmpeq_epi8(Ld(a + 16), v);
    const __m128i c2 = _mm_cmpeq_epi8(Ld(a + 32), v);
    const __m128i c3 = _mm_cmpeq_epi8(Ld(a + 48), v);
    if (Mask(_mm_or_si128(_mm_or_si128(c0, c1), _mm_or_si128(c2, c3)))) {
      const uint64_t mm = uint64_t(Mask(c0)) | (uint64_t(Mask(c1)) << 16) |
                          (uint64_t(Mask(c2)) << 32) | (uint64_t(Mask(c3)) << 48);
      r = a + __builtin_ctzll(mm) - p;
      _mm256_zeroupper();
      return r;
    }
    a += 64;
  }
  for (; a < end; a += 16) {
    m = Mask(_mm_cmpeq_epi8(Ld(a), v));
    if (m) {
      const uint8_t* hit = a + __builtin_ctz(m);
      r = hit < end ? hit - p : -1;
      break;
    }
  }
  _mm256_zeroupper();
  return r;
}
#endif
