// Bit-field extract and insert with the BMI1/BMI2 instructions.
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <immintrin.h>

uint32_t XtrBitsD_BMI1(uint64_t v, uint8_t start, uint8_t len) {
  return _bextr_u32(static_cast<uint32_t>(v), start, len);
}

uint32_t InsBitsD_BMI1_BMI2(uint32_t dest, uint32_t src, uint32_t start, uint32_t len) {
  if (start >= 32) return dest;
  const uint32_t m = _bzhi_u32(0xFFFFFFFFu, len);
  return _andn_u32(m << start, dest) | ((src & m) << start);
}
#endif
