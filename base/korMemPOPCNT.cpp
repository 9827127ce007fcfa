// Variants using the POPCNT instruction: bit counts and the byte count's hit masks.
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <nmmintrin.h>
#include <tmmintrin.h>

#include <cstring>

#define ZEL_BLOCK_READS __attribute__((no_sanitize_address))

namespace {
ZEL_BLOCK_READS inline uint32_t EqMask(const uint8_t* a, __m128i v) {
  return static_cast<uint32_t>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(a)), v)));
}
}  // namespace

uint8_t CntBitsB_POPCNT(uint8_t b) { return static_cast<uint8_t>(_mm_popcnt_u32(b)); }
uint32_t CntBitsD_POPCNT(uint32_t v) { return static_cast<uint32_t>(_mm_popcnt_u32(v)); }

uint64_t CntMemBitsB_POPCNT(const void* pv, uint64_t len) {
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  uint64_t n = 0, i = 0;
  for (; i + 8 <= len; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    n += static_cast<uint64_t>(_mm_popcnt_u64(w));
  }
  if (i < len) {
    uint64_t w = 0;
    std::memcpy(&w, p + i, len - i);
    n += static_cast<uint64_t>(_mm_popcnt_u64(w & NByteSelectionMask[len - i]));
  }
  return n;
}

ZEL_BLOCK_READS uint64_t CntMemB_SSSE3_POPCNT(const void* pv, uint8_t b, uint64_t len) {
  if (len == 0) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* end = p + len;
  const __m128i v = _mm_set1_epi8(static_cast<char>(b));
  const uint8_t* a =
      reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(15));
  uint32_t m = EqMask(a, v) & (0xFFFFu << (p - a));
  if (end - a < 16) m &= (1u << (end - a)) - 1;
  uint64_t n = static_cast<uint64_t>(_mm_popcnt_u32(m));
  a += 16;
  while (a + 64 <= end) {
    const uint64_t mm = uint64_t(EqMask(a, v)) | (uint64_t(EqMask(a + 16, v)) << 16) |
                        (uint64_t(EqMask(a + 32, v)) << 32) | (uint64_t(EqMask(a + 48, v)) << 48);
    n += static_cast<uint64_t>(_mm_popcnt_u64(mm));
    a += 64;
  }
  for (; a + 16 <= end; a += 16) n += static_cast<uint64_t>(_mm_popcnt_u32(EqMask(a, v)));
  if (a < end) n += static_cast<uint64_t>(_mm_popcnt_u32(EqMask(a, v) & ((1u << (end - a)) - 1)));
  return n;
}

uint64_t CntEqB_SSE3_POPCNT(const void* a, const void* b, uint64_t len) {
  return CntEqB(a, b, len);
}
#endif
