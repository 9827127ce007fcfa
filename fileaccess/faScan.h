// Byte scanning used by the file-access layer: first byte, byte count, first substring, all
// through the base library's routine pointers (the variant chosen for this processor).
#pragma once

#include <cstdint>
#include <cstring>

#include "base/korMem.h"

// Position of the first byte b in p[0, n), or -1.
inline int64_t FaScanB(const uint8_t* p, uint64_t n, uint8_t b) {
  if (n == 0) return -1;
  return fScnMemBf(p, b, n);
}

// Number of bytes equal to b in p[0, n).
inline uint64_t FaCountB(const uint8_t* p, uint64_t n, uint8_t b) {
  return n ? fCntMemB(p, b, n) : 0;
}

// Start of the first occurrence of pat[0, m) in p[0, n), or -1. Candidates are found by their
// first byte with the forward byte scan, which is fast for line-break patterns (a CR is rare in
// text).
inline int64_t FaFindStr(const uint8_t* p, uint64_t n, const uint8_t* pat, uint64_t m) {
  if (m == 0 || n < m) return -1;
  const uint8_t* q = p;
  const uint8_t* last = p + (n - m);  // last possible start
  while (q <= last) {
    int64_t c = fScnMemBf(q, pat[0], static_cast<uint64_t>(last - q) + 1);
    if (c < 0) return -1;
    q += c;
    if (std::memcmp(q + 1, pat + 1, m - 1) == 0) return q - p;
    ++q;
  }
  return -1;
}
