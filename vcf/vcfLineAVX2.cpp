// The line splitter on 32-byte registers, for processors with AVX2: half the instructions of
// the 16-byte form per block, so the checks of the checked split cost less than they save.
#include "vcf/vcfLineSimd.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace {

inline bool IsCtrl(char c) {
  const uint8_t u = uint8_t(c);
  return u < 0x20 && u != '\t' && u != '\r';
}

inline bool AnyCtrl(const char* p, uint64_t low, uint64_t tabs) {
  for (uint64_t x = low & ~tabs; x; x &= x - 1)
    if (IsCtrl(p[__builtin_ctzll(x)])) return true;
  return false;
}

inline uint64_t Mask64(__m256i a, __m256i b) {
  return uint64_t(uint32_t(_mm256_movemask_epi8(a))) |
         (uint64_t(uint32_t(_mm256_movemask_epi8(b))) << 32);
}

template <bool kCheck>
size_t Split(const char* p, size_t len, std::vector<uint32_t>& starts, bool* ctrl,
             uint32_t* colons) {
  if (len >= 0xFFFFFFFFu) {
    starts.clear();
    return 0;
  }
  if (starts.size() < len + 2) starts.resize(len + 2);
  uint32_t* out = starts.data();
  size_t k = 0;
  out[k++] = 0;
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
    // Eight starts per round whatever the count, as in the 16-byte form.
    const uint32_t base = uint32_t(i + 1);
    while (m) {
      for (int r = 0; r < 8; ++r) {
        out[k] = base + uint32_t(__builtin_ctzll(m | (uint64_t(1) << 63)));
        k += m != 0;
        m &= m - 1;
      }
    }
  }
  uint32_t nColon = 0;
  if constexpr (kCheck) {
    alignas(32) uint64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), colonSum);
    nColon = uint32_t(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
  }
  for (; i < len; ++i) {
    if (p[i] == '\t') out[k++] = uint32_t(i + 1);
    if constexpr (kCheck) {
      bad |= IsCtrl(p[i]);
      nColon += p[i] == ':';
    }
  }
  out[k++] = uint32_t(len + 1);
  if constexpr (kCheck) {
    *ctrl = bad;
    *colons = nColon;
  }
  return k - 1;
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
