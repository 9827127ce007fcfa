// SSE2 variants of the byte scans and counts (aligned 16-byte blocks).
// The scans read whole aligned blocks that may extend past either end of the range but never
// past the block's own 16 bytes, so never onto another page; AddressSanitizer is told so.
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <emmintrin.h>

#include <cstring>

#define ZEL_BLOCK_READS __attribute__((no_sanitize_address))

namespace {

inline const uint8_t* AlignDown16(const void* p) {
  return reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(15));
}

template <class Cmp>
ZEL_BLOCK_READS inline int64_t Scan16(const uint8_t* p, uint64_t len, Cmp cmp) {
  if (len == 0) return -1;
  const uint8_t* end = p + len;
  const uint8_t* a = AlignDown16(p);
  uint32_t m = static_cast<uint32_t>(
                   _mm_movemask_epi8(cmp(_mm_load_si128(reinterpret_cast<const __m128i*>(a))))) &
               (0xFFFFu << (p - a));
  for (;;) {
    if (m) {
      const uint8_t* hit = a + __builtin_ctz(m);
      return hit < end ? hit - p : -1;
    }
    a += 16;
    if (a >= end) return -1;
    m = static_cast<uint32_t>(
        _mm_movemask_epi8(cmp(_mm_load_si128(reinterpret_cast<const __m128i*>(a)))));
  }
}

inline uint32_t Bits16(uint32_t m) { return NBitsInByte[m & 0xFF] + NBitsInByte[(m >> 8) & 0xFF]; }

ZEL_BLOCK_READS inline uint32_t EqMask16(const uint8_t* at, __m128i v) {
  return static_cast<uint32_t>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(at)), v)));
}

}  // namespace

ZEL_BLOCK_READS int64_t ScnMemBf_SSE2(const void* p, uint8_t b, uint64_t len) {
  const __m128i v = _mm_set1_epi8(static_cast<char>(b));
  return Scan16(static_cast<const uint8_t*>(p), len,
                [v](__m128i x) { return _mm_cmpeq_epi8(x, v); });
}

ZEL_BLOCK_READS int64_t ScnMemGTiBf_SSE2(const void* p, int8_t v, uint64_t len) {
  const __m128i vv = _mm_set1_epi8(v);
  return Scan16(static_cast<const uint8_t*>(p), len,
                [vv](__m128i x) { return _mm_cmpgt_epi8(x, vv); });
}

ZEL_BLOCK_READS uint64_t CntMemB_SSE2(const void* pv, uint8_t b, uint64_t len) {
  if (len == 0) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* end = p + len;
  const __m128i v = _mm_set1_epi8(static_cast<char>(b));
  const uint8_t* a = AlignDown16(p);
  uint32_t m = EqMask16(a, v) & (0xFFFFu << (p - a));
  if (end - a < 16) m &= (1u << (end - a)) - 1;
  uint64_t n = Bits16(m);
  a += 16;
  const __m128i zero = _mm_setzero_si128();
  while (a + 16 <= end) {
    // Lane counters of up to 255 blocks, then summed with SAD.
    __m128i acc = zero;
    const uint8_t* stop = a + 16 * 255 < end ? a + 16 * 255 : end;
    for (; a + 16 <= stop; a += 16)
      acc =
          _mm_sub_epi8(acc, _mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(a)), v));
    const __m128i s = _mm_sad_epu8(acc, zero);
    n += static_cast<uint64_t>(_mm_cvtsi128_si64(s)) +
         static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(s, s)));
  }
  if (a < end) n += Bits16(EqMask16(a, v) & ((1u << (end - a)) - 1));
  return n;
}

int64_t ScnMemBr_SSE2(const void* p, uint8_t b, uint64_t len) { return ScnMemBr(p, b, len); }
int64_t ScnMemNtBf_SSE2(const void* p, uint8_t b, uint64_t len) { return ScnMemNtBf(p, b, len); }
int64_t ScnMemNtBr_SSE2(const void* p, uint8_t b, uint64_t len) { return ScnMemNtBr(p, b, len); }
int64_t ScnMemDf_SSE2(const void* p, uint32_t v, uint64_t n) { return ScnMemDf(p, v, n); }
int64_t ScnMemLTEiBf_SSE2(const void* p, int8_t v, uint64_t len) { return ScnMemLTEiBf(p, v, len); }
int64_t ScnNtEqBf_SSE2(const void* a, const void* b, uint64_t len) { return ScnNtEqBf(a, b, len); }
uint64_t CntEqB_SSE2(const void* a, const void* b, uint64_t len) { return CntEqB(a, b, len); }
void RepValB_SSE2(void* p, uint8_t b, uint64_t len) { RepValB(p, b, len); }

namespace {
template <class Op>
inline void Combine16(const void* av, const void* bv, void* dv, uint64_t len, Op op) {
  const uint8_t* a = static_cast<const uint8_t*>(av);
  const uint8_t* b = static_cast<const uint8_t*>(bv);
  uint8_t* d = static_cast<uint8_t*>(dv);
  uint64_t i = 0;
  for (; i + 16 <= len; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), op(x, y));
  }
  for (; i < len; ++i) {
    const __m128i x = _mm_cvtsi32_si128(a[i]);
    const __m128i y = _mm_cvtsi32_si128(b[i]);
    d[i] = static_cast<uint8_t>(_mm_cvtsi128_si32(op(x, y)));
  }
}
}  // namespace

void MemAndB_SSE2(const void* a, const void* b, void* dst, uint64_t len) {
  Combine16(a, b, dst, len, [](__m128i x, __m128i y) { return _mm_and_si128(x, y); });
}
void MemOrB_SSE2(const void* a, const void* b, void* dst, uint64_t len) {
  Combine16(a, b, dst, len, [](__m128i x, __m128i y) { return _mm_or_si128(x, y); });
}
void MemXOrB_SSE2(const void* a, const void* b, void* dst, uint64_t len) {
  Combine16(a, b, dst, len, [](__m128i x, __m128i y) { return _mm_xor_si128(x, y); });
}
void MemAddB_SSE2(const void* a, const void* b, void* dst, uint64_t len) {
  Combine16(a, b, dst, len, [](__m128i x, __m128i y) { return _mm_add_epi8(x, y); });
}

// Overlap-safe, like every copy here.
void AF_CpyMem_SSE2(const void* src, void* dst, uint64_t len) {
  if (len) std::memmove(dst, src, len);
}
#endif
