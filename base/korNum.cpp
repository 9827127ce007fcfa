// Number formatting and parsing, min/max/clamp routines, quicksort and binary search.
#include "base/korNum.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

const char* const ComparisonStr[6] = {"<", "<=", "=", ">=", ">", "<>"};

long double GetExtX87Pi() { return 3.141592653589793238462643383279502884L; }

std::string b2s(uint8_t v) { return std::to_string(v); }
std::string d2s(uint32_t v) { return std::to_string(v); }
std::string i2s(int32_t v) { return std::to_string(v); }
std::string i642s(int64_t v) { return std::to_string(v); }
std::string q2s(uint64_t v) { return std::to_string(v); }

std::string e2sX(long double v, int decimals, int width) {
  if (decimals < 0) decimals = 0;
  if (width < 0) width = 0;
  char buf[128];
  int n = std::snprintf(buf, sizeof buf, "%*.*Lf", width, decimals, v);
  if (n < 0) return {};
  if (n < static_cast<int>(sizeof buf)) return std::string(buf, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), "%*.*Lf", width, decimals, v);
  big.resize(static_cast<size_t>(n));
  return big;
}

std::string e2s(long double v) { return e2sX(v, DefDecimals, DefWidth); }

namespace {
std::string Hex(uint64_t v, int digits) {
  std::string s(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, v >>= 4) s[static_cast<size_t>(i)] = HexCharTable[v & 15];
  return s;
}
std::string BinDigits(uint64_t v, int digits) {
  std::string s(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, v >>= 1)
    if (v & 1) s[static_cast<size_t>(i)] = '1';
  return s;
}
}  // namespace

std::string b2sh(uint8_t v) { return Hex(v, 2); }
std::string d2sh(uint32_t v) { return Hex(v, 8); }
std::string q2sh(uint64_t v) { return Hex(v, 16); }
std::string b2sb(uint8_t v) { return BinDigits(v, 8); }
std::string d2sb(uint32_t v) { return BinDigits(v, 32); }

uint64_t ps2q_cf(const void* pv, uint64_t len, bool& ok) {
  ok = false;
  if (len == 0 || !pv) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  uint64_t value = 0, weight = 1;
  for (uint64_t i = len; i > 0; --i) {
    const uint8_t c = p[i - 1];
    if (c < '0' || c > '9') return 0;
    value += static_cast<uint64_t>(c - '0') * weight;
    weight *= 10;
  }
  ok = true;
  return value;
}

uint64_t ps2q(const void* p, uint64_t len, uint64_t def) {
  bool ok;
  const uint64_t v = ps2q_cf(p, len, ok);
  return ok ? v : def;
}

uint64_t s2q(std::string_view s, uint64_t def) { return ps2q(s.data(), s.size(), def); }

bool s2qChecked(std::string_view s, uint64_t& v) {
  if (s.empty() || s.size() > 20) return false;
  uint64_t r = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    const uint64_t d = uint64_t(c - '0');
    if (r > (~uint64_t(0) - d) / 10) return false;
    r = r * 10 + d;
  }
  v = r;
  return true;
}

uint32_t s2d(std::string_view s, uint32_t def) {
  bool ok;
  const uint64_t v = ps2q_cf(s.data(), s.size(), ok);
  return ok ? static_cast<uint32_t>(v) : def;
}

int32_t s2i(std::string_view s, int32_t def) {
  if (s.empty()) return def;
  const char* b = s.data();
  const char* e = b + s.size();
  if (*b == '+') ++b;  // from_chars does not take a plus sign
  if (b == e || (*b == '-' && b != s.data())) return def;
  int32_t v = 0;
  const auto r = std::from_chars(b, e, v);
  if (r.ec != std::errc() || r.ptr != e) return def;
  return v;
}

double s2dbl(std::string_view s, double def) {
  if (s.empty()) return def;
  // Whole text, "." as separator, independent of the locale.
  double v = 0;
  const char* b = s.data();
  const char* e = b + s.size();
  if (*b == '+') ++b;
  if (b == e || (*b == '-' && b != s.data())) return def;
  const auto r = std::from_chars(b, e, v);
  if (r.ec != std::errc() || r.ptr != e) return def;
  return v;
}

uint64_t triangular(uint64_t n) { return n % 2 == 0 ? (n / 2) * (n + 1) : n * ((n + 1) / 2); }

uint32_t minD(uint32_t a, uint32_t b) { return a < b ? a : b; }
uint32_t maxD(uint32_t a, uint32_t b) { return a > b ? a : b; }
int32_t minID(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t maxID(int32_t a, int32_t b) { return a > b ? a : b; }
uint64_t minN(uint64_t a, uint64_t b) { return a < b ? a : b; }
uint64_t maxN(uint64_t a, uint64_t b) { return a > b ? a : b; }
uint64_t minQ(uint64_t a, uint64_t b) { return a < b ? a : b; }
uint32_t LimitMinMaxD(uint32_t v, uint32_t low, uint32_t high) { return minD(maxD(v, low), high); }
int32_t LimitMinMaxID(int32_t v, int32_t low, int32_t high) { return minID(maxID(v, low), high); }

// Branch-free forms (the compiler emits conditional moves for these selections).
uint32_t minD_C(uint32_t a, uint32_t b) {
  const uint32_t m = 0u - static_cast<uint32_t>(a < b);
  return (a & m) | (b & ~m);
}
uint32_t maxD_C(uint32_t a, uint32_t b) {
  const uint32_t m = 0u - static_cast<uint32_t>(a > b);
  return (a & m) | (b & ~m);
}
int32_t minID_C(int32_t a, int32_t b) {
  const int32_t m = -static_cast<int32_t>(a < b);
  return (a & m) | (b & ~m);
}
int32_t maxID_C(int32_t a, int32_t b) {
  const int32_t m = -static_cast<int32_t>(a > b);
  return (a & m) | (b & ~m);
}
uint64_t minN_C(uint64_t a, uint64_t b) {
  const uint64_t m = uint64_t(0) - static_cast<uint64_t>(a < b);
  return (a & m) | (b & ~m);
}
uint64_t maxN_C(uint64_t a, uint64_t b) {
  const uint64_t m = uint64_t(0) - static_cast<uint64_t>(a > b);
  return (a & m) | (b & ~m);
}
uint32_t LimitMinMaxD_C(uint32_t v, uint32_t low, uint32_t high) {
  return minD_C(maxD_C(v, low), high);
}
int32_t LimitMinMaxID_C(int32_t v, int32_t low, int32_t high) {
  return minID_C(maxID_C(v, low), high);
}

bool InRngQ(uint64_t v, uint64_t low, uint64_t high) { return low <= v && v <= high; }

void AscD(uint32_t& a, uint32_t& b) {
  if (b < a) std::swap(a, b);
}

bool OverlapD(uint32_t a1, uint32_t a2, uint32_t b1, uint32_t b2) {
  return OverlapQ(a1, a2, b1, b2);
}

bool OverlapQ(uint64_t a1, uint64_t a2, uint64_t b1, uint64_t b2) {
  if (a2 < a1) std::swap(a1, a2);
  if (b2 < b1) std::swap(b1, b2);
  return a1 <= b2 && b1 <= a2;
}

void toggle(bool& b) {
  // Only the two proper values change; any other byte pattern stays as it is.
  uint8_t raw;
  std::memcpy(&raw, &b, 1);
  if (raw == 0)
    raw = 1;
  else if (raw == 1)
    raw = 0;
  std::memcpy(&b, &raw, 1);
}

namespace {
template <class T>
TOrder8 CmpAt(const void* p, const void* q) {
  T a, b;
  std::memcpy(&a, p, sizeof(T));
  std::memcpy(&b, q, sizeof(T));
  return a < b ? oLess : (a > b ? oGreater : oSame);
}
}  // namespace

TOrder8 CmpPD(const void* p, const void* q) { return CmpAt<uint32_t>(p, q); }
TOrder8 CmpPN(const void* p, const void* q) { return CmpAt<uint64_t>(p, q); }
TOrder8 CmpPQ(const void* p, const void* q) { return CmpAt<uint64_t>(p, q); }

std::vector<uint32_t> GetLevDX(const std::vector<uint32_t>& values, uint32_t key) {
  std::vector<uint32_t> out;
  for (uint32_t v : values) {
    if (v == key) continue;
    bool seen = false;
    for (uint32_t o : out)
      if (o == v) {
        seen = true;
        break;
      }
    if (!seen) out.push_back(v);
  }
  return out;
}

// ---- Sorting ----

namespace {

// Hoare partition with the middle item as pivot; the pivot's value is kept in `pivot` so it
// need not be followed when items move. Recursion into the smaller side, loop on the larger.
void QSrtRange(uint8_t* base, uint32_t size, TItemCmp& cmp, int64_t lo, int64_t hi,
               uint8_t* pivot) {
  while (lo < hi) {
    std::memcpy(pivot, base + static_cast<uint64_t>(lo + (hi - lo) / 2) * size, size);
    int64_t i = lo, j = hi;
    do {
      while (cmp(base + static_cast<uint64_t>(i) * size, pivot) < 0) ++i;
      while (cmp(pivot, base + static_cast<uint64_t>(j) * size) < 0 && j > 0) --j;
      if (i <= j) {
        if (i != j)
          XChange(base + static_cast<uint64_t>(i) * size, base + static_cast<uint64_t>(j) * size,
                  size);
        ++i;
        if (j > 0) --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) QSrtRange(base, size, cmp, lo, j, pivot);
      lo = i;
    } else {
      if (i < hi) QSrtRange(base, size, cmp, i, hi, pivot);
      hi = j;
    }
  }
}

template <class Idx>
void QSrtIdxRange(Idx* idx, const uint8_t* base, uint32_t size, TItemCmp& cmp, int64_t lo,
                  int64_t hi) {
  while (lo < hi) {
    const uint8_t* pivot = base + static_cast<uint64_t>(idx[lo + (hi - lo) / 2]) * size;
    int64_t i = lo, j = hi;
    do {
      while (cmp(base + static_cast<uint64_t>(idx[i]) * size, pivot) < 0) ++i;
      while (cmp(pivot, base + static_cast<uint64_t>(idx[j]) * size) < 0 && j > 0) --j;
      if (i <= j) {
        std::swap(idx[i], idx[j]);
        ++i;
        if (j > 0) --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) QSrtIdxRange(idx, base, size, cmp, lo, j);
      lo = i;
    } else {
      if (i < hi) QSrtIdxRange(idx, base, size, cmp, i, hi);
      hi = j;
    }
  }
}

template <class GetItem>
int64_t BinSrcImpl(GetItem item, const void* key, TItemCmp& cmp, int64_t lo, int64_t hi,
                   bool exact) {
  if (hi < lo) return -1;
  int64_t mid = lo;
  int r;
  do {
    mid = lo + (hi - lo) / 2;
    r = cmp(key, item(mid));
    if (r <= 0)
      hi = mid - 1;
    else
      lo = mid + 1;
  } while (r != 0 && hi >= lo);
  if (!exact) return mid;
  return cmp(item(mid), key) == 0 ? mid : -1;
}

}  // namespace

void QSrt(void* base, uint32_t itemSize, TItemCmp cmp, int64_t lo, int64_t hi) {
  if (!base || itemSize == 0 || lo >= hi || lo < 0) return;
  std::vector<uint8_t> pivot(itemSize);
  QSrtRange(static_cast<uint8_t*>(base), itemSize, cmp, lo, hi, pivot.data());
}

void QSrtIdx(std::vector<uint32_t>& index, const void* base, uint32_t itemSize, TItemCmp cmp,
             int64_t lo, int64_t hi) {
  if (lo < 0 || lo >= hi || hi >= static_cast<int64_t>(index.size())) return;
  QSrtIdxRange(index.data(), static_cast<const uint8_t*>(base), itemSize, cmp, lo, hi);
}

void QSrtIdxN(std::vector<uint64_t>& index, const void* base, uint32_t itemSize, TItemCmp cmp,
              int64_t lo, int64_t hi) {
  if (lo < 0 || lo >= hi || hi >= static_cast<int64_t>(index.size())) return;
  QSrtIdxRange(index.data(), static_cast<const uint8_t*>(base), itemSize, cmp, lo, hi);
}

int64_t BinSrc(const void* base, uint32_t itemSize, const void* key, TItemCmp cmp, int64_t lo,
               int64_t hi, bool exact) {
  if (lo < 0) lo = 0;
  const uint8_t* b = static_cast<const uint8_t*>(base);
  return BinSrcImpl([&](int64_t i) { return b + static_cast<uint64_t>(i) * itemSize; }, key, cmp,
                    lo, hi, exact);
}

int64_t BinSrcIdx(const std::vector<uint32_t>& index, const void* base, uint32_t itemSize,
                  const void* key, TItemCmp cmp, int64_t lo, int64_t hi, bool exact) {
  if (lo < 0) lo = 0;
  if (hi >= static_cast<int64_t>(index.size())) hi = static_cast<int64_t>(index.size()) - 1;
  const uint8_t* b = static_cast<const uint8_t*>(base);
  return BinSrcImpl(
      [&](int64_t i) {
        return b + static_cast<uint64_t>(index[static_cast<size_t>(i)]) * itemSize;
      },
      key, cmp, lo, hi, exact);
}

int64_t BinSrcIdxN(const std::vector<uint64_t>& index, const void* base, uint32_t itemSize,
                   const void* key, TItemCmp cmp, int64_t lo, int64_t hi, bool exact) {
  if (lo < 0) lo = 0;
  if (hi >= static_cast<int64_t>(index.size())) hi = static_cast<int64_t>(index.size()) - 1;
  const uint8_t* b = static_cast<const uint8_t*>(base);
  return BinSrcImpl([&](int64_t i) { return b + index[static_cast<size_t>(i)] * itemSize; }, key,
                    cmp, lo, hi, exact);
}
