// The pieces every form of the line splitter shares, and the processor-specific forms, which
// vcfLine.cpp chooses at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vcfsplit {

inline bool IsCtrl(char c) {
  const uint8_t u = uint8_t(c);
  return u < 0x20 && u != '\t' && u != '\r';
}

// Bit j of low stands for byte p[j]; the bits that are no tab are looked at one by one. A
// signed compare below 0x20 also takes bytes from 0x80 (UTF-8 text), so these are few on a
// VCF line: a CR at its end, a non-ASCII name.
inline bool AnyCtrl(const char* p, uint64_t low, uint64_t tabs) {
  for (uint64_t x = low & ~tabs; x; x &= x - 1)
    if (IsCtrl(p[__builtin_ctzll(x)])) return true;
  return false;
}

// At most one start per byte plus the two ends; the vector only grows, so a reused vector is
// sized once per run, not per line. Null for lines of 4 GiB and more (not split).
inline uint32_t* Prepare(size_t len, std::vector<uint32_t>& starts) {
  if (len >= 0xFFFFFFFFu) {
    starts.clear();
    return nullptr;
  }
  if (starts.size() < len + 2) starts.resize(len + 2);
  starts[0] = 0;
  return starts.data();
}

// The starts after the tabs of a 64-byte block (bit j: byte base - 1 + j). A VCF line has a
// tab every few bytes: eight starts are written per round whatever the count, so the loop's
// length does not depend on where the tabs fall (no mispredicted branch per tab). A write
// after the block's last tab lands on the next free entry and is overwritten later.
inline size_t PutTabs(uint32_t* out, size_t k, uint32_t base, uint64_t m) {
  while (m) {
    for (int r = 0; r < 8; ++r) {
      // The top bit keeps the count defined once m is empty.
      out[k] = base + uint32_t(__builtin_ctzll(m | (uint64_t(1) << 63)));
      k += m != 0;
      m &= m - 1;
    }
  }
  return k;
}

// The bytes from i on one by one, the final entry, and the result of the split.
template <bool kCheck>
inline size_t Finish(const char* p, size_t i, size_t len, uint32_t* out, size_t k, bool bad,
                     uint32_t nColon, bool* ctrl, uint32_t* colons) {
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

}  // namespace vcfsplit

#if defined(__x86_64__)
#define ZEL_HAVE_SPLIT_AVX2 1
size_t VcfSplitLineAVX2(const char* p, size_t len, std::vector<uint32_t>& starts);
size_t VcfSplitLineCheckedAVX2(const char* p, size_t len, std::vector<uint32_t>& starts, bool& ctrl,
                               uint32_t& colons);
#endif
