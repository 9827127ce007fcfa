// SSSE3-level variants: byte scan and count over four aligned 16-byte blocks per step.
// Reads stay inside the aligned blocks holding the range's first and last byte (see SSE2).
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <tmmintrin.h>

#include <cstring>

#define ZEL_BLOCK_READS __attribute__((no_sanitize_address))

namespace {

inline const uint8_t* AlignDown16(const void* p) {
  return reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(15));
}

ZEL_BLOCK_READS inline __m128i Ld(const uint8_t* a) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(a));
}

inline uint32_t Mask(__m128i x) { return static_cast<uint32_t>(_mm_movemask_epi8(x)); }

// Nibble-table popcount of a 16-bit lane mask, without the POPCNT instruction.
inline uint32_t Bits16(uint32_t m) { return NBitsInByte[m & 0xFF] + NBitsInByte[(m >> 8) & 0xFF]; }

}  // namespace

ZEL_BLOCK_READS int64_t ScnMemBf_SSSE3(const void* pv, uint8_t b, uint64_t len) {
  if (len == 0) return -1;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* end = p + len;
  const __m128i v = _mm_set1_epi8(static_cast<char>(b));
  const uint8_t* a = AlignDown16(p);
  uint32_t m = Mask(_mm_cmpeq_epi8(Ld(a), v)) & (0xFFFFu << (p - a));
  if (m) {
    const uint8_t* hit = a + __builtin_ctz(m);
    return hit < end ? hit - p : -1;
  }
  a += 16;
  while (a + 64 <= end) {
    const __m128i c0 = _mm_cmpeq_epi8(Ld(a), v);
    const __m128i c1 = _mm_cmpeq_epi8(Ld(a + 16), v);
    const __m128i c2 = _mm_cmpeq_epi8(Ld(a + 32), v);
    const __m128i c3 = _mm_cmpeq_epi8(Ld(a + 48), v);
    const __m128i any = _mm_or_si128(_mm_or_si128(c0, c1), _mm_or_si128(c2, c3));
    if (Mask(any)) {
      const uint64_t mm = uint64_t(Mask(c0)) | (uint64_t(Mask(c1)) << 16) |
                          (uint64_t(Mask(c2)) << 32) | (uint64_t(Mask(c3)) << 48);
      return a + __builtin_ctzll(mm) - p;  // inside the range: the four blocks end before end
    }
    a += 64;
  }
  for (; a < end; a += 16) {
    m = Mask(_mm_cmpeq_epi8(Ld(a), v));
    if (m) {
      const uint8_t* hit = a + __builtin_ctz(m);
      return hit < end ? hit - p : -1;
    }
  }
  return -1;
}

ZEL_BLOCK_READS uint64_t CntMemB_SSSE3(const void* pv, uint8_t b, uint64_t len) {
  if (len == 0) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* end = p + len;
  const __m128i v = _mm_set1_epi8(static_cast<char>(b));
  const uint8_t* a = AlignDown16(p);
  uint32_t m = Mask(_mm_cmpeq_epi8(Ld(a), v)) & (0xFFFFu << (p - a));
  if (end - a < 16) m &= (1u << (end - a)) - 1;
  uint64_t n = Bits16(m);
  a += 16;
  const __m128i zero = _mm_setzero_si128();
  while (a + 64 <= end) {
    // Each lane gains at most 4 per pass: 63 passes fit a byte counter.
    __m128i acc = zero;
    for (int k = 0; k < 63 && a + 64 <= end; ++k, a += 64) {
      acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(Ld(a), v));
      acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(Ld(a + 16), v));
      acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(Ld(a + 32), v));
      acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(Ld(a + 48), v));
    }
    const __m128i s = _mm_sad_epu8(acc, zero);
    n += static_cast<uint64_t>(_mm_cvtsi128_si64(s)) +
         static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(s, s)));
  }
  for (; a + 16 <= end; a += 16) n += Bits16(Mask(_mm_cmpeq_epi8(Ld(a), v)));
  if (a < end) n += Bits16(Mask(_mm_cmpeq_epi8(Ld(a), v)) & ((1u << (end - a)) - 1));
  return n;
}

int64_t ScnMemBr_SSSE3(const void* p, uint8_t b, uint64_t len) { return ScnMemBr(p, b, len); }
int64_t ScnMemNtBf_SSSE3(const void* p, uint8_t b, uint64_t len) { return ScnMemNtBf(p, b, len); }
int64_t ScnMemNtBr_SSSE3(const void* p, uint8_t b, uint64_t len) { return ScnMemNtBr(p, b, len); }
int64_t ScnMemDf_SSSE3(const void* p, uint32_t v, uint64_t n) { return ScnMemDf(p, v, n); }
void RepValB_SSSE3(void* p, uint8_t b, uint64_t len) { RepValB(p, b, len); }
void AF_CpyMem_SSSE3(const void* src, void* dst, uint64_t len) {
  if (len) std::memmove(dst, src, len);
}
#endif
