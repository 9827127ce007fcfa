// Numbers to text and back, minimum/maximum/clamp routines, quicksort and binary search.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/korMem.h"
#include "base/korTypes.h"

extern const char* const ComparisonStr[6];

// 80-bit extended precision on x86-64 (long double); arithmetic is the compiler's.
using TExtendedX87 = long double;
long double GetExtX87Pi();

inline constexpr int DefWidth = 10;
inline constexpr int DefDecimals = 9;

// ---- Number to text ----
std::string b2s(uint8_t v);
std::string d2s(uint32_t v);
std::string i2s(int32_t v);
std::string i642s(int64_t v);
std::string q2s(uint64_t v);
std::string e2s(long double v);
std::string e2sX(long double v, int decimals, int width);
std::string b2sh(uint8_t v);
std::string d2sh(uint32_t v);
std::string q2sh(uint64_t v);
std::string b2sb(uint8_t v);
std::string d2sb(uint32_t v);

// ---- Text to number (the last argument is the value returned on failure) ----
// Only decimal digits, no sign or blanks; accumulated modulo 2^64.
uint64_t ps2q(const void* p, uint64_t len, uint64_t def);
uint64_t ps2q_cf(const void* p, uint64_t len, bool& ok);
uint64_t s2q(std::string_view s, uint64_t def);
// Decimal digits only, refusing a value past 2^64 - 1 instead of wrapping: for what a user types.
[[nodiscard]] bool s2qChecked(std::string_view s, uint64_t& v);
uint32_t s2d(std::string_view s, uint32_t def);
// Whole text as a signed decimal (optional sign); out of range or any other byte gives def.
int32_t s2i(std::string_view s, int32_t def);
// Whole text as a floating-point number with "." as separator; any error gives def.
double s2dbl(std::string_view s, double def);

// ---- Small arithmetic ----
// n (n + 1) / 2 in 64 bits, so no n of 32 bits overflows.
uint64_t triangular(uint64_t n);
uint32_t minD(uint32_t a, uint32_t b);
uint32_t maxD(uint32_t a, uint32_t b);
int32_t minID(int32_t a, int32_t b);
int32_t maxID(int32_t a, int32_t b);
uint64_t minN(uint64_t a, uint64_t b);
uint64_t maxN(uint64_t a, uint64_t b);
uint64_t minQ(uint64_t a, uint64_t b);
uint32_t LimitMinMaxD(uint32_t v, uint32_t low, uint32_t high);
int32_t LimitMinMaxID(int32_t v, int32_t low, int32_t high);
uint32_t minD_C(uint32_t a, uint32_t b);
uint32_t maxD_C(uint32_t a, uint32_t b);
int32_t minID_C(int32_t a, int32_t b);
int32_t maxID_C(int32_t a, int32_t b);
uint64_t minN_C(uint64_t a, uint64_t b);
uint64_t maxN_C(uint64_t a, uint64_t b);
uint32_t LimitMinMaxD_C(uint32_t v, uint32_t low, uint32_t high);
int32_t LimitMinMaxID_C(int32_t v, int32_t low, int32_t high);
bool InRngQ(uint64_t v, uint64_t low, uint64_t high);
void AscD(uint32_t& a, uint32_t& b);
bool OverlapD(uint32_t a1, uint32_t a2, uint32_t b1, uint32_t b2);
bool OverlapQ(uint64_t a1, uint64_t a2, uint64_t b1, uint64_t b2);
void toggle(bool& b);
// a c b, e.g. Relation(a, b, cmpGE) is a >= b.
template <class T>
bool Relation(T a, T b, TComparison c) {
  switch (c) {
    case cmpL:
      return a < b;
    case cmpLE:
      return a <= b;
    case cmpE:
      return a == b;
    case cmpGE:
      return a >= b;
    case cmpG:
      return a > b;
    case cmpNE:
      return a != b;
  }
  return false;
}
inline bool RelationDbl(double a, double b, TComparison c) { return Relation(a, b, c); }
TOrder8 CmpPD(const void* p, const void* q);
TOrder8 CmpPN(const void* p, const void* q);
TOrder8 CmpPQ(const void* p, const void* q);
std::vector<uint32_t> GetLevDX(const std::vector<uint32_t>& values, uint32_t key);

// ---- Sorting and searching ----
// Comparator of two item addresses; any callable converts (no allocation).
using TItemCmp = TFuncRef<TOrder8(const void*, const void*)>;

// Items are itemSize bytes apart from base; lo and hi are inclusive item numbers. The sort is
// not stable; recursion goes into the smaller side only, so the stack stays shallow.
void QSrt(void* base, uint32_t itemSize, TItemCmp cmp, int64_t lo, int64_t hi);
void QSrtIdx(std::vector<uint32_t>& index, const void* base, uint32_t itemSize, TItemCmp cmp,
             int64_t lo, int64_t hi);
void QSrtIdxN(std::vector<uint64_t>& index, const void* base, uint32_t itemSize, TItemCmp cmp,
              int64_t lo, int64_t hi);
// -1 when hi < lo. exact: position of an equal item or -1; inexact: the last position probed.
int64_t BinSrc(const void* base, uint32_t itemSize, const void* key, TItemCmp cmp, int64_t lo,
               int64_t hi, bool exact);
int64_t BinSrcIdx(const std::vector<uint32_t>& index, const void* base, uint32_t itemSize,
                  const void* key, TItemCmp cmp, int64_t lo, int64_t hi, bool exact);
int64_t BinSrcIdxN(const std::vector<uint64_t>& index, const void* base, uint32_t itemSize,
                   const void* key, TItemCmp cmp, int64_t lo, int64_t hi, bool exact);
