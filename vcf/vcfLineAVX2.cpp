// The line splitter on 32-byte registers, for processors with AVX2: half the instructions of
// the 16-byte form per block, so the checks of the checked split cost less than they save.
#include "vcf/vcfLineSimd.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace {

using namespace vcfsplit;

inline uint64_t Mask64(__m256i a, __m256i b) {
  return uint64_t(uint32_t(_mm256_movemask_epi8(a))) |
         (uint64_t(uint32_t(_mm256_movemask_epi8(b))) << 32);
}

template <bool kCheck>
size_t Split(const char* p, size_t len, std::vector<uint32_t>& starts, bool* ctrl,
             uint32_t* colons) {
  uint32_t* out = Prepare(len, starts);
  if (!out) return 0;
  size_t k = 1;
  size_t i = 0;
  bool bad = false;
  const __m256i tab = _mm256_set1_epi8('\t');
  const __m256i colon = _mm256_set1_epi8(':');
  const __m256i space = _mm256_set1_epi8(0x20);
  const __m256i zero = _mm256_setzero_si256();
  __m256i colonSum = zero;
  for (; i + 64 <= len; i += 64) {
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
    uint64_t m = Mask64(_mm256_cmpeq_epi8(v0, tab), _mm256_cmpeq_epi8(v1, tab));
    if constexpr (kCheck) {
      const uint64_t low = Mask64(_mm256_cmpgt_epi8(space, v0), _mm256_cmpgt_epi8(space, v1));
      if (low != m) bad |= AnyCtrl(p + i, low, m);
      const __m256i c = _mm256_add_epi8(_mm256_cmpeq_epi8(v0, colon), _mm256_cmpeq_epi8(v1, colon));
      colonSum = _mm256_add_epi64(colonSum, _mm256_sad_epu8(_mm256_sub_epi8(zero, c), zero));
    }
    k = PutTabs(out, k, uint32_t(i + 1), m);
  }
  uint32_t nColon = 0;
  if constexpr (kCheck) {
    alignas(32) uint64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), colonSum);
    nColon = uint32_t(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
  }
  return Finish<kCheck>(p, i, len, out, k, bad, nColon, ctrl, colons);
}

}  // namespace

size_t VcfSplitLineAVX2(const char* p, size_t len, std::vector<uint32_t>& starts) {
  return Split<false>(p, len, starts, nullptr, nullptr);
}

size_t VcfSplitLineCheckedAVX2(const char* p, size_t len, std::vector<uint32_t>& starts, bool& ctrl,
                               uint32_t& colons) {
  return Split<true>(p, len, starts, &ctrl, &colons);
}
#endif
