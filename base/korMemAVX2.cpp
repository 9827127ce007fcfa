// AVX2 byte scan and count on aligned 32-byte blocks, four per step. Reads stay inside the
// aligned 32-byte blocks holding the range's first and last byte, so never cross a page.
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <immintrin.h>

#define ZEL_BLOCK_READS __attribute__((no_sanitize_address))

namespace {
ZEL_BLOCK_READS inline __m256i Ld(const uint8_t* a) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(a));
}
inline uint32_t Mask(__m256i x) { return static_cast<uint32_t>(_mm256_movemask_epi8(x)); }
inline const uint8_t* AlignDown32(const void* p) {
  return reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(31));
}
// Lanes at or after the first k of a 32-lane mask.
inline uint32_t FromLane(uint64_t k) { return static_cast<uint32_t>(0xFFFFFFFFull << k); }
inline uint32_t BeforeLane(uint64_t k) { return static_cast<uint32_t>((uint64_t(1) << k) - 1); }
}  // namespace

ZEL_BLOCK_READS int64_t ScnMemBf_AVX2(const void* pv, uint8_t b, uint64_t len) {
  if (len == 0) return -1;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* end = p + len;
  const __m256i v = _mm256_set1_epi8(static_cast<char>(b));
  const uint8_t* a = AlignDown32(p);
  int64_t r = -1;
  uint32_t m = Mask(_mm256_cmpeq_epi8(Ld(a), v)) & FromLane(static_cast<uint64_t>(p - a));
  if (m) {
    const uint8_t* hit = a + __builtin_ctz(m);
    r = hit < end ? hit - p : -1;
    _mm256_zeroupper();
    return r;
  }
  a += 32;
  while (a + 128 <= end) {
    const __m256i c0 = _mm256_cmpeq_epi8(Ld(a), v);
    const __m256i c1 = _mm256_cmpeq_epi8(Ld(a + 32), v);
    const __m256i c2 = _mm256_cmpeq_epi8(Ld(a + 64), v);
    const __m256i c3 = _mm256_cmpeq_epi8(Ld(a + 96), v);
    if (Mask(_mm256_or_si256(_mm256_or_si256(c0, c1), _mm256_or_si256(c2, c3)))) {
      const uint64_t lo = uint64_t(Mask(c0)) | (uint64_t(Mask(c1)) << 32);
      if (lo) {
        r = a + __builtin_ctzll(lo) - p;
      } else {
        const uint64_t hi = uint64_t(Mask(c2)) | (uint64_t(Mask(c3)) << 32);
        r = a + 64 + __builtin_ctzll(hi) - p;
      }
      _mm256_zeroupper();
      return r;
    }
    a += 128;
  }
  for (; a < end; a += 32) {
    m = Mask(_mm256_cmpeq_epi8(Ld(a), v));
    if (m) {
      const uint8_t* hit = a + __builtin_ctz(m);
      r = hit < end ? hit - p : -1;
      break;
    }
  }
  _mm256_zeroupper();
  return r;
}

ZEL_BLOCK_READS uint64_t CntMemB_AVX2(const void* pv, uint8_t b, uint64_t len) {
  if (len == 0) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* end = p + len;
  const __m256i v = _mm256_set1_epi8(static_cast<char>(b));
  const uint8_t* a = AlignDown32(p);
  uint32_t m = Mask(_mm256_cmpeq_epi8(Ld(a), v)) & FromLane(static_cast<uint64_t>(p - a));
  if (end - a < 32) m &= BeforeLane(static_cast<uint64_t>(end - a));
  uint64_t n = static_cast<uint64_t>(_mm_popcnt_u32(m));
  a += 32;
  const __m256i zero = _mm256_setzero_si256();
  __m256i total = zero;  // four 64-bit sums
  while (a + 128 <= end) {
    __m256i acc = zero;  // at most 4 per lane and pass: 63 passes fit a byte
    for (int k = 0; k < 63 && a + 128 <= end; ++k, a += 128) {
      acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(Ld(a), v));
      acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(Ld(a + 32), v));
      acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(Ld(a + 64), v));
      acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(Ld(a + 96), v));
    }
    total = _mm256_add_epi64(total, _mm256_sad_epu8(acc, zero));
  }
  alignas(32) uint64_t t[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(t), total);
  n += t[0] + t[1] + t[2] + t[3];
  for (; a + 32 <= end; a += 32)
    n += static_cast<uint64_t>(_mm_popcnt_u32(Mask(_mm256_cmpeq_epi8(Ld(a), v))));
  if (a < end)
    n += static_cast<uint64_t>(_mm_popcnt_u32(Mask(_mm256_cmpeq_epi8(Ld(a), v)) &
                                              BeforeLane(static_cast<uint64_t>(end - a))));
  _mm256_zeroupper();
  return n;
}
#endif
