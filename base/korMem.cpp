// Portable variants of the byte routines, the constant tables and the routine pointers.
// The portable scans and counts work on aligned 64-bit words inside the range (never outside).
#include "base/korMem.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "base/korNum.h"

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

inline const uint8_t* U8(const void* p) { return static_cast<const uint8_t*>(p); }
inline uint8_t* U8(void* p) { return static_cast<uint8_t*>(p); }

// 0x80 in exactly the bytes of x that are zero.
inline uint64_t ZeroBytes(uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); }

inline uint64_t LoadWord(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

constexpr std::array<uint8_t, 256> MakeBitCounts() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i)
    t[i] = static_cast<uint8_t>(std::popcount(static_cast<unsigned>(i)));
  return t;
}
constexpr auto kBitCounts = MakeBitCounts();

}  // namespace

const uint8_t NBitsInByte[256] = {
#define B2(n) n, n + 1, n + 1, n + 2
#define B4(n) B2(n), B2(n + 1), B2(n + 1), B2(n + 2)
#define B6(n) B4(n), B4(n + 1), B4(n + 1), B4(n + 2)
    B6(0), B6(1), B6(1), B6(2)
#undef B2
#undef B4
#undef B6
};

const uint64_t NByteSelectionMask[9] = {0,
                                        0xFFull,
                                        0xFFFFull,
                                        0xFFFFFFull,
                                        0xFFFFFFFFull,
                                        0xFFFFFFFFFFull,
                                        0xFFFFFFFFFFFFull,
                                        0xFFFFFFFFFFFFFFull,
                                        0xFFFFFFFFFFFFFFFFull};

alignas(16) const uint8_t SSE_IgnoreMsk48[48] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0};

const char HexCharTable[17] = "0123456789ABCDEF";

// ---- Scanning ----

int64_t ScnMemBf(const void* pv, uint8_t b, uint64_t len) {
  const uint8_t* p = U8(pv);
  uint64_t i = 0;
  while (i < len && (reinterpret_cast<uintptr_t>(p + i) & 7)) {
    if (p[i] == b) return static_cast<int64_t>(i);
    ++i;
  }
  const uint64_t pat = kOnes * b;
  for (; i + 8 <= len; i += 8) {
    const uint64_t z = ZeroBytes(LoadWord(p + i) ^ pat);
    if (z) return static_cast<int64_t>(i + (std::countr_zero(z) >> 3));
  }
  for (; i < len; ++i)
    if (p[i] == b) return static_cast<int64_t>(i);
  return -1;
}

int64_t ScnMemBr(const void* pv, uint8_t b, uint64_t len) {
  const uint8_t* p = U8(pv);
  uint64_t i = len;
  while (i > 0 && (reinterpret_cast<uintptr_t>(p + i) & 7)) {
    --i;
    if (p[i] == b) return static_cast<int64_t>(i);
  }
  const uint64_t pat = kOnes * b;
  for (; i >= 8; i -= 8) {
    const uint64_t z = ZeroBytes(LoadWord(p + i - 8) ^ pat);
    if (z) return static_cast<int64_t>(i - 8 + ((63 - std::countl_zero(z)) >> 3));
  }
  while (i > 0) {
    --i;
    if (p[i] == b) return static_cast<int64_t>(i);
  }
  return -1;
}

int64_t ScnMemNtBf(const void* pv, uint8_t b, uint64_t len) {
  const uint8_t* p = U8(pv);
  for (uint64_t i = 0; i < len; ++i)
    if (p[i] != b) return static_cast<int64_t>(i);
  return -1;
}

int64_t ScnMemNtBr(const void* pv, uint8_t b, uint64_t len) {
  const uint8_t* p = U8(pv);
  for (uint64_t i = len; i > 0; --i)
    if (p[i - 1] != b) return static_cast<int64_t>(i - 1);
  return -1;
}

int64_t ScnMemGTiBf(const void* pv, int8_t v, uint64_t len) {
  const int8_t* p = static_cast<const int8_t*>(pv);
  for (uint64_t i = 0; i < len; ++i)
    if (p[i] > v) return static_cast<int64_t>(i);
  return -1;
}

int64_t ScnMemLTEiBf(const void* pv, int8_t v, uint64_t len) {
  const int8_t* p = static_cast<const int8_t*>(pv);
  for (uint64_t i = 0; i < len; ++i)
    if (p[i] <= v) return static_cast<int64_t>(i);
  return -1;
}

int64_t ScnMemDf(const void* pv, uint32_t v, uint64_t n) {
  const uint8_t* p = U8(pv);
  for (uint64_t i = 0; i < n; ++i) {
    uint32_t x;
    std::memcpy(&x, p + 4 * i, 4);
    if (x == v) return static_cast<int64_t>(i);
  }
  return -1;
}

int64_t ScnNtEqBf(const void* av, const void* bv, uint64_t len) {
  const uint8_t* a = U8(av);
  const uint8_t* b = U8(bv);
  uint64_t i = 0;
  for (; i + 8 <= len; i += 8) {
    const uint64_t x = LoadWord(a + i) ^ LoadWord(b + i);
    if (x) return static_cast<int64_t>(i + (std::countr_zero(x) >> 3));
  }
  for (; i < len; ++i)
    if (a[i] != b[i]) return static_cast<int64_t>(i);
  return -1;
}

int64_t ScnMemAnySBf(const void* pv, const TByteSet& set, uint64_t len) {
  const uint8_t* p = U8(pv);
  for (uint64_t i = 0; i < len; ++i)
    if (set.Has(p[i])) return static_cast<int64_t>(i);
  return -1;
}

int64_t ScnMemAnySBr(const void* pv, const TByteSet& set, uint64_t len) {
  const uint8_t* p = U8(pv);
  for (uint64_t i = len; i > 0; --i)
    if (set.Has(p[i - 1])) return static_cast<int64_t>(i - 1);
  return -1;
}

int64_t ScnMemAnyNtSBf(const void* pv, const TByteSet& set, uint64_t len) {
  const uint8_t* p = U8(pv);
  for (uint64_t i = 0; i < len; ++i)
    if (!set.Has(p[i])) return static_cast<int64_t>(i);
  return -1;
}

int64_t ScnMemAnyNtSBr(const void* pv, const TByteSet& set, uint64_t len) {
  const uint8_t* p = U8(pv);
  for (uint64_t i = len; i > 0; --i)
    if (!set.Has(p[i - 1])) return static_cast<int64_t>(i - 1);
  return -1;
}

int64_t FndStrBf(const void* pv, const void* patv, uint64_t len, uint64_t patLen) {
  if (len == 0 || patLen == 0 || patLen > len) return -1;
  const uint8_t* p = U8(pv);
  const uint8_t* pat = U8(patv);
  const uint8_t last = pat[patLen - 1];
  for (uint64_t i = patLen - 1; i < len; ++i) {
    if (p[i] == last && std::memcmp(p + i - (patLen - 1), pat, patLen) == 0)
      return static_cast<int64_t>(i - (patLen - 1));
  }
  return -1;
}

int64_t FndStrBr(const void* pv, const void* patv, uint64_t len, uint64_t patLen) {
  if (len == 0 || patLen == 0 || patLen > len) return -1;
  const uint8_t* p = U8(pv);
  const uint8_t* pat = U8(patv);
  const uint8_t last = pat[patLen - 1];
  for (uint64_t i = len; i-- > patLen - 1;) {
    if (p[i] == last && std::memcmp(p + i - (patLen - 1), pat, patLen) == 0)
      return static_cast<int64_t>(i - (patLen - 1));
  }
  return -1;
}

// ---- Counting ----

uint64_t CntMemB(const void* pv, uint8_t b, uint64_t len) {
  const uint8_t* p = U8(pv);
  uint64_t i = 0, n = 0;
  while (i < len && (reinterpret_cast<uintptr_t>(p + i) & 7)) n += p[i++] == b;
  const uint64_t pat = kOnes * b;
  while (i + 8 <= len) {
    // Per-byte counters of up to 255 words, then a horizontal sum.
    uint64_t acc = 0;
    const uint64_t stop = std::min<uint64_t>(len, i + 8 * 255);
    for (; i + 8 <= stop; i += 8) acc += ZeroBytes(LoadWord(p + i) ^ pat) >> 7;
    // Byte lanes to 16-bit lanes before the horizontal sum, which can exceed a byte.
    const uint64_t pairs = (acc & 0x00FF00FF00FF00FFull) + ((acc >> 8) & 0x00FF00FF00FF00FFull);
    n += (pairs * 0x0001000100010001ull) >> 48;
  }
  for (; i < len; ++i) n += p[i] == b;
  return n;
}

uint64_t CntEqB(const void* av, const void* bv, uint64_t len) {
  const uint8_t* a = U8(av);
  const uint8_t* b = U8(bv);
  uint64_t n = 0;
  for (uint64_t i = 0; i < len; ++i) n += a[i] == b[i];
  return n;
}

uint8_t CntBitsB(uint8_t b) { return NBitsInByte[b]; }

uint32_t CntBitsD(uint32_t v) {
  return NBitsInByte[v & 0xFF] + NBitsInByte[(v >> 8) & 0xFF] + NBitsInByte[(v >> 16) & 0xFF] +
         NBitsInByte[v >> 24];
}

uint64_t CntMemBitsB(const void* pv, uint64_t len) {
  const uint8_t* p = U8(pv);
  uint64_t n = 0;
  for (uint64_t i = 0; i < len; ++i) n += kBitCounts[p[i]];
  return n;
}

double SumMemDbl(const double* p, uint64_t n) {
  double s = 0;
  for (uint64_t i = 0; i < n; ++i) s += p[i];
  return s;
}

// ---- Filling ----

void RepValB(void* p, uint8_t b, uint64_t len) {
  if (len) std::memset(p, b, len);
}

void RepValD(void* pv, uint32_t v, uint64_t n) {
  uint8_t* p = U8(pv);
  for (uint64_t i = 0; i < n; ++i) std::memcpy(p + 4 * i, &v, 4);
}

void FillMemIncD(void* pv, uint32_t start, uint64_t n) {
  uint8_t* p = U8(pv);
  for (uint64_t i = 0; i < n; ++i) {
    const uint32_t v = start + static_cast<uint32_t>(i);
    std::memcpy(p + 4 * i, &v, 4);
  }
}

void FillMemIncN(void* pv, uint64_t start, uint64_t n) {
  uint8_t* p = U8(pv);
  for (uint64_t i = 0; i < n; ++i) {
    const uint64_t v = start + i;
    std::memcpy(p + 8 * i, &v, 8);
  }
}

std::vector<uint32_t> RepDW(uint32_t v, uint32_t n) { return std::vector<uint32_t>(n, v); }
std::vector<void*> RepPtr(void* v, uint32_t n) { return std::vector<void*>(n, v); }

void SetStr(std::string& s, const void* p, uint64_t ofs, uint64_t len) {
  if (len == 0) {
    s.clear();
    return;
  }
  s.resize(len);
  fCpyMem(U8(p) + ofs, s.data(), len);
}

// ---- Combining ----

void MemAndB(const void* a, const void* b, void* dst, uint64_t len) {
  for (uint64_t i = 0; i < len; ++i) U8(dst)[i] = U8(a)[i] & U8(b)[i];
}
void MemOrB(const void* a, const void* b, void* dst, uint64_t len) {
  for (uint64_t i = 0; i < len; ++i) U8(dst)[i] = U8(a)[i] | U8(b)[i];
}
void MemXOrB(const void* a, const void* b, void* dst, uint64_t len) {
  for (uint64_t i = 0; i < len; ++i) U8(dst)[i] = U8(a)[i] ^ U8(b)[i];
}
void MemAddB(const void* a, const void* b, void* dst, uint64_t len) {
  for (uint64_t i = 0; i < len; ++i) U8(dst)[i] = static_cast<uint8_t>(U8(a)[i] + U8(b)[i]);
}
void MemAddCnsB(void* p, uint8_t c, uint64_t len) {
  for (uint64_t i = 0; i < len; ++i) U8(p)[i] = static_cast<uint8_t>(U8(p)[i] + c);
}
void MemNotB(void* p, uint64_t len) {
  for (uint64_t i = 0; i < len; ++i) U8(p)[i] = static_cast<uint8_t>(~U8(p)[i]);
}

// ---- Compacting, replacing, translating ----

uint64_t RmvMemB(const void* src, uint8_t b, uint64_t len, void* dst) {
  uint64_t n = 0;
  for (uint64_t i = 0; i < len; ++i) {
    const uint8_t c = U8(src)[i];
    if (c != b) U8(dst)[n++] = c;
  }
  return n;
}

uint64_t RmvMemAnySB(const void* src, const TByteSet& set, uint64_t len, void* dst) {
  uint64_t n = 0;
  for (uint64_t i = 0; i < len; ++i) {
    const uint8_t c = U8(src)[i];
    if (!set.Has(c)) U8(dst)[n++] = c;
  }
  return n;
}

uint64_t RmvCscB(const void* src, void* dst, uint8_t b, uint64_t len) {
  if (len == 0) return 0;
  uint64_t n = 0;
  uint8_t prev = U8(src)[0];
  U8(dst)[n++] = prev;
  for (uint64_t i = 1; i < len; ++i) {
    const uint8_t c = U8(src)[i];
    if (!(c == b && prev == b)) U8(dst)[n++] = c;
    prev = c;
  }
  return n;
}

uint64_t CpyMemMskBf(const void* src, void* dst, const void* mask, uint64_t len, uint8_t v) {
  uint64_t n = 0;
  for (uint64_t i = 0; i < len; ++i) {
    const uint8_t c = U8(src)[i];
    if (U8(mask)[i] != v) U8(dst)[n++] = c;
  }
  return n;
}

void RplMemB(void* p, uint8_t oldB, uint8_t newB, uint64_t len) {
  if (!p) return;
  for (uint64_t i = 0; i < len; ++i)
    if (U8(p)[i] == oldB) U8(p)[i] = newB;
}

void RplMemAnySB(void* p, const TByteSet& set, uint8_t newB, uint64_t len) {
  if (!p || set.Empty()) return;
  for (uint64_t i = 0; i < len; ++i)
    if (set.Has(U8(p)[i])) U8(p)[i] = newB;
}

void XlatMemB(const void* src, void* dst, const uint8_t* table, uint64_t len) {
  for (uint64_t i = 0; i < len; ++i) U8(dst)[i] = table[U8(src)[i]];
}

void RevMemB(void* p, uint64_t len) {
  if (len > 1) std::reverse(U8(p), U8(p) + len);
}

TByteSet NotSB(const TByteSet& set) {
  TByteSet r;
  for (int i = 0; i < 4; ++i) r.W[i] = ~set.W[i];
  return r;
}

// ---- Copying and exchanging ----

void CpyMem(const void* src, void* dst, uint64_t len) {
  if (len) std::memmove(dst, src, len);
}

void MovMem(const void* src, void* dst, uint64_t len) {
  if (len) std::memmove(dst, src, len);
}

void CpySmallMem(const void* src, void* dst, uint8_t n) {
  switch (n) {
    case 0:
      return;
    case 1:
    case 2:
    case 4:
    case 8: {
      uint64_t v = 0;
      std::memcpy(&v, src, n);
      std::memcpy(dst, &v, n);
      return;
    }
    default:
      fCpyMem(src, dst, n);
  }
}

void XChange(void* a, void* b, uint32_t n) {
  if (a == b) return;
  for (uint32_t i = n; i > 0; --i) std::swap(U8(a)[i - 1], U8(b)[i - 1]);
}

void XchgD(uint32_t& a, uint32_t& b) { std::swap(a, b); }
void XchgN(uint64_t& a, uint64_t& b) { std::swap(a, b); }

// ---- Bits ----

bool GetMemBit(const void* p, uint64_t i) { return (U8(p)[i >> 3] >> (i & 7)) & 1; }

bool SetMemBit(void* p, uint64_t i) {
  const bool old = GetMemBit(p, i);
  U8(p)[i >> 3] |= static_cast<uint8_t>(1u << (i & 7));
  return old;
}

bool ClrMemBit(void* p, uint64_t i) {
  const bool old = GetMemBit(p, i);
  U8(p)[i >> 3] &= static_cast<uint8_t>(~(1u << (i & 7)));
  return old;
}

bool ChgMemBit(void* p, uint64_t i, bool v) { return v ? SetMemBit(p, i) : ClrMemBit(p, i); }

bool GetBit(uint32_t v, uint32_t i) { return (v >> (i & 31)) & 1; }

uint8_t ChgBitB(uint8_t b, uint8_t i, bool v) {
  const uint8_t m = static_cast<uint8_t>(1u << (i & 7));
  return v ? static_cast<uint8_t>(b | m) : static_cast<uint8_t>(b & ~m);
}

uint32_t XtrBitsD_noBMI(uint64_t v, uint8_t start, uint8_t len) {
  if (len == 0 || start >= 32) return 0;
  const uint32_t top = start + len >= 32 ? 32 : start + len;
  const uint64_t mask = (uint64_t(1) << top) - 1;
  return static_cast<uint32_t>(((v & 0xFFFFFFFFull) & mask) >> start);
}

uint32_t InsBitsD_noBMI(uint32_t dest, uint32_t src, uint32_t start, uint32_t len) {
  if (start >= 32) return dest;
  const uint64_t m = XtrBitsD_noBMI(0xFFFFFFFFull, 0, static_cast<uint8_t>(len > 32 ? 32 : len));
  return static_cast<uint32_t>((dest & ~(m << start)) | ((src & m) << start));
}

uint32_t BitPExtD_BMI2(uint32_t v, uint32_t mask) {
#if defined(__BMI2__)
  return __builtin_ia32_pext_si(v, mask);
#else
  uint32_t r = 0, k = 0;
  for (uint32_t i = 0; i < 32; ++i)
    if ((mask >> i) & 1) r |= ((v >> i) & 1) << k++;
  return r;
#endif
}

uint8_t ReqB(uint64_t v) { return ReqB64(v); }

uint8_t ReqB64(uint64_t v) {
  if (v == 0) return 1;
  return static_cast<uint8_t>(((63 - std::countl_zero(v)) + 8) / 8);
}

// ---- Positions, comparing, small routines ----

TOrder8 MemOrderBf(const void* a, const void* b, uint64_t lenA, uint64_t lenB) {
  if (lenA != lenB) return lenA > lenB ? oGreater : oLess;
  const int64_t i = fScnNtEqBf(a, b, lenA);
  if (i < 0) return oSame;
  return U8(a)[i] > U8(b)[i] ? oGreater : oLess;
}

uint8_t fGetPosNthMemItemF(const void* pv, uint64_t size, uint64_t n, uint8_t delim, int64_t& pos,
                           uint64_t& len) {
  pos = -1;
  len = 0;
  if (size == 0) return 0;
  const uint8_t* p = U8(pv);
  if (n == 0) {
    const int64_t d = fScnMemBf(p, delim, size);
    pos = 0;
    len = d < 0 ? size : static_cast<uint64_t>(d);
    return 0;
  }
  uint64_t at = 0;  // offset of the n-th delimiter when found
  uint64_t from = 0;
  for (uint64_t k = 0; k < n; ++k) {
    if (from >= size) return 0;
    const int64_t d = fScnMemBf(p + from, delim, size - from);
    if (d < 0) return 0;
    at = from + static_cast<uint64_t>(d);
    from = at + 1;
  }
  pos = static_cast<int64_t>(at);
  const int64_t next = from < size ? fScnMemBf(p + from, delim, size - from) : -1;
  len = next < 0 ? size - at : from + static_cast<uint64_t>(next) - at;
  return 1;
}

uint32_t MemAlignOfsNext(const void* p, uint32_t align) {
  uint32_t a = align <= 1 ? 1 : std::bit_ceil(align);
  const uint32_t low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
  return (0u - low) & (a - 1);
}

void SpinLoopB(uint8_t expected, uint8_t newVal, uint8_t* target) {
  for (;;) {
    uint8_t e = expected;
    if (__atomic_compare_exchange_n(target, &e, newVal, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
      return;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
}

void SpinReleaseB(uint8_t value, uint8_t* target) {
  __atomic_store_n(target, value, __ATOMIC_RELEASE);
}

// ---- Routine pointers: portable until the selection installs others ----

TCpyMemProc fCpyMem = CpyMem, fMovMem = MovMem;
TCpyMemMskProc fCpyMemMskBf = CpyMemMskBf;
TMinMaxDProc fMinD = minD, fMaxD = maxD;
TMinMaxNProc fMinN = minN, fMaxN = maxN;
TMinMaxIDProc fMinID = minID, fMaxID = maxID;
TLimitDProc fLimitMinMaxD = LimitMinMaxD;
TLimitIDProc fLimitMinMaxID = LimitMinMaxID;
TCntBitsBProc fCntBitsB = CntBitsB;
TCntBitsDProc fCntBitsD = CntBitsD;
TCntMemBitsBProc fCntMemBitsB = CntMemBitsB;
TCntMemBProc fCntMemB = CntMemB;
TCntEqBProc fCntEqB = CntEqB;
TScnMemBProc fScnMemBf = ScnMemBf, fScnMemBr = ScnMemBr, fScnMemNtBf = ScnMemNtBf,
             fScnMemNtBr = ScnMemNtBr;
TScnMemIBProc fScnMemGTiBf = ScnMemGTiBf, fScnMemLTEiBf = ScnMemLTEiBf;
TScnMemDProc fScnMemDf = ScnMemDf;
TScnNtEqBProc fScnNtEqBf = ScnNtEqBf;
TScnMemSetProc fScnMemAnySBf = ScnMemAnySBf, fScnMemAnySBr = ScnMemAnySBr,
               fScnMemAnyNtSBf = ScnMemAnyNtSBf, fScnMemAnyNtSBr = ScnMemAnyNtSBr;
TSumMemDblProc fSumMemDbl = SumMemDbl;
TMemOp3Proc fMemAndB = MemAndB, fMemOrB = MemOrB, fMemXorB = MemXOrB, fMemAddB = MemAddB;
TMemAddCnsProc fMemAddCnsB = MemAddCnsB;
TMemNotProc fMemNotB = MemNotB;
TRepValBProc fRepValB = RepValB;
TRepValDProc fRepValD = RepValD;
TFndStrProc fFndStrBf = FndStrBf, fFndStrBr = FndStrBr;
TRplMemBProc fRplMemB = RplMemB;
TRplMemSetProc fRplMemAnySB = RplMemAnySB;
TRmvMemBProc fRmvMemB = RmvMemB;
TRmvMemSetProc fRmvMemAnySB = RmvMemAnySB;
TRmvCscBProc fRmvCscB = RmvCscB;
TRevMemProc fRevMemB = RevMemB;
TMemOrderProc fMemOrderBf = MemOrderBf;
TXtrBitsDProc XtrBitsD = XtrBitsD_noBMI;
TInsBitsDProc InsBitsD = InsBitsD_noBMI;

TFastRoutines PortableRoutines() {
  TFastRoutines r;
  r.CpyMem = CpyMem;
  r.MovMem = MovMem;
  r.CpyMemMskBf = CpyMemMskBf;
  r.MinD = minD;
  r.MaxD = maxD;
  r.MinN = minN;
  r.MaxN = maxN;
  r.MinID = minID;
  r.MaxID = maxID;
  r.LimitMinMaxD = LimitMinMaxD;
  r.LimitMinMaxID = LimitMinMaxID;
  r.CntBitsB = CntBitsB;
  r.CntBitsD = CntBitsD;
  r.CntMemBitsB = CntMemBitsB;
  r.CntMemB = CntMemB;
  r.CntEqB = CntEqB;
  r.ScnMemBf = ScnMemBf;
  r.ScnMemBr = ScnMemBr;
  r.ScnMemNtBf = ScnMemNtBf;
  r.ScnMemNtBr = ScnMemNtBr;
  r.ScnMemGTiBf = ScnMemGTiBf;
  r.ScnMemLTEiBf = ScnMemLTEiBf;
  r.ScnMemDf = ScnMemDf;
  r.ScnNtEqBf = ScnNtEqBf;
  r.ScnMemAnySBf = ScnMemAnySBf;
  r.ScnMemAnySBr = ScnMemAnySBr;
  r.ScnMemAnyNtSBf = ScnMemAnyNtSBf;
  r.ScnMemAnyNtSBr = ScnMemAnyNtSBr;
  r.SumMemDbl = SumMemDbl;
  r.MemAndB = MemAndB;
  r.MemOrB = MemOrB;
  r.MemXorB = MemXOrB;
  r.MemAddB = MemAddB;
  r.MemAddCnsB = MemAddCnsB;
  r.MemNotB = MemNotB;
  r.RepValB = RepValB;
  r.RepValD = RepValD;
  r.FndStrBf = FndStrBf;
  r.FndStrBr = FndStrBr;
  r.RplMemB = RplMemB;
  r.RplMemAnySB = RplMemAnySB;
  r.RmvMemB = RmvMemB;
  r.RmvMemAnySB = RmvMemAnySB;
  r.RmvCscB = RmvCscB;
  r.RevMemB = RevMemB;
  r.MemOrderBf = MemOrderBf;
  r.XtrBitsD = XtrBitsD_noBMI;
  r.InsBitsD = InsBitsD_noBMI;
  return r;
}

TFastRoutines CurrentRoutines() {
  TFastRoutines r;
  r.CpyMem = fCpyMem;
  r.MovMem = fMovMem;
  r.CpyMemMskBf = fCpyMemMskBf;
  r.MinD = fMinD;
  r.MaxD = fMaxD;
  r.MinN = fMinN;
  r.MaxN = fMaxN;
  r.MinID = fMinID;
  r.MaxID = fMaxID;
  r.LimitMinMaxD = fLimitMinMaxD;
  r.LimitMinMaxID = fLimitMinMaxID;
  r.CntBitsB = fCntBitsB;
  r.CntBitsD = fCntBitsD;
  r.CntMemBitsB = fCntMemBitsB;
  r.CntMemB = fCntMemB;
  r.CntEqB = fCntEqB;
  r.ScnMemBf = fScnMemBf;
  r.ScnMemBr = fScnMemBr;
  r.ScnMemNtBf = fScnMemNtBf;
  r.ScnMemNtBr = fScnMemNtBr;
  r.ScnMemGTiBf = fScnMemGTiBf;
  r.ScnMemLTEiBf = fScnMemLTEiBf;
  r.ScnMemDf = fScnMemDf;
  r.ScnNtEqBf = fScnNtEqBf;
  r.ScnMemAnySBf = fScnMemAnySBf;
  r.ScnMemAnySBr = fScnMemAnySBr;
  r.ScnMemAnyNtSBf = fScnMemAnyNtSBf;
  r.ScnMemAnyNtSBr = fScnMemAnyNtSBr;
  r.SumMemDbl = fSumMemDbl;
  r.MemAndB = fMemAndB;
  r.MemOrB = fMemOrB;
  r.MemXorB = fMemXorB;
  r.MemAddB = fMemAddB;
  r.MemAddCnsB = fMemAddCnsB;
  r.MemNotB = fMemNotB;
  r.RepValB = fRepValB;
  r.RepValD = fRepValD;
  r.FndStrBf = fFndStrBf;
  r.FndStrBr = fFndStrBr;
  r.RplMemB = fRplMemB;
  r.RplMemAnySB = fRplMemAnySB;
  r.RmvMemB = fRmvMemB;
  r.RmvMemAnySB = fRmvMemAnySB;
  r.RmvCscB = fRmvCscB;
  r.RevMemB = fRevMemB;
  r.MemOrderBf = fMemOrderBf;
  r.XtrBitsD = XtrBitsD;
  r.InsBitsD = InsBitsD;
  return r;
}

void InstallFamily(TRoutineFamily f, const TFastRoutines& r) {
  switch (f) {
    case TRoutineFamily::CpyMem:
      fCpyMem = r.CpyMem;
      fMovMem = r.MovMem;
      fCpyMemMskBf = r.CpyMemMskBf;
      break;
    case TRoutineFamily::MinMax:
      fMinD = r.MinD;
      fMaxD = r.MaxD;
      fMinN = r.MinN;
      fMaxN = r.MaxN;
      fMinID = r.MinID;
      fMaxID = r.MaxID;
      fLimitMinMaxD = r.LimitMinMaxD;
      fLimitMinMaxID = r.LimitMinMaxID;
      break;
    case TRoutineFamily::CntBits:
      fCntBitsB = r.CntBitsB;
      fCntBitsD = r.CntBitsD;
      fCntMemBitsB = r.CntMemBitsB;
      break;
    case TRoutineFamily::CntMemB:
      fCntMemB = r.CntMemB;
      break;
    case TRoutineFamily::CntEqB:
      fCntEqB = r.CntEqB;
      break;
    case TRoutineFamily::ScnMem:
      fScnMemBf = r.ScnMemBf;
      fScnMemBr = r.ScnMemBr;
      fScnMemNtBf = r.ScnMemNtBf;
      fScnMemNtBr = r.ScnMemNtBr;
      fScnMemGTiBf = r.ScnMemGTiBf;
      fScnMemLTEiBf = r.ScnMemLTEiBf;
      fScnMemDf = r.ScnMemDf;
      fScnNtEqBf = r.ScnNtEqBf;
      fScnMemAnySBf = r.ScnMemAnySBf;
      fScnMemAnySBr = r.ScnMemAnySBr;
      fScnMemAnyNtSBf = r.ScnMemAnyNtSBf;
      fScnMemAnyNtSBr = r.ScnMemAnyNtSBr;
      fSumMemDbl = r.SumMemDbl;
      break;
    case TRoutineFamily::RepVal:
      fRepValB = r.RepValB;
      fRepValD = r.RepValD;
      break;
    case TRoutineFamily::MemOp:
      fMemAndB = r.MemAndB;
      fMemOrB = r.MemOrB;
      fMemXorB = r.MemXorB;
      fMemAddB = r.MemAddB;
      fMemAddCnsB = r.MemAddCnsB;
      fMemNotB = r.MemNotB;
      break;
    case TRoutineFamily::FndStr:
      fFndStrBf = r.FndStrBf;
      fFndStrBr = r.FndStrBr;
      fMemOrderBf = r.MemOrderBf;
      break;
    case TRoutineFamily::RmvMem:
      fRmvMemB = r.RmvMemB;
      fRmvMemAnySB = r.RmvMemAnySB;
      fRmvCscB = r.RmvCscB;
      fRevMemB = r.RevMemB;
      break;
    case TRoutineFamily::RplMem:
      fRplMemB = r.RplMemB;
      fRplMemAnySB = r.RplMemAnySB;
      break;
    case TRoutineFamily::BitManip:
      XtrBitsD = r.XtrBitsD;
      InsBitsD = r.InsBitsD;
      break;
  }
}

void InstallRoutines(const TFastRoutines& r) {
  for (uint8_t f = 0; f <= uint8_t(TRoutineFamily::Last); ++f) InstallFamily(TRoutineFamily(f), r);
}

// The selection runs at start-up, before any user code or worker thread.
namespace {
[[maybe_unused]] const bool kAutoSelected = (SetupFastRoutines(false), true);
}
