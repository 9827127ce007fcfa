// Small value types shared by the whole base library: orders, comparisons, byte sets.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

enum TComparison : uint8_t { cmpL = 0, cmpLE = 1, cmpE = 2, cmpGE = 3, cmpG = 4, cmpNE = 5 };

// Comparators return one of these; callers test only the sign.
enum TOrder8 : int8_t { oLess = -1, oSame = 0, oGreater = 1 };

enum TBool : int8_t { bNA = -1, bFalse = 0, bTrue = 1 };

// The same 8 bytes read through any view (little-endian).
union TValue64 {
  uint8_t B;
  uint16_t W;
  uint32_t D;
  float Sgl;
  int8_t i8;
  int16_t i16;
  int32_t i32;
  char CH;
  char16_t WCH;
  uint64_t Nuint;
  int64_t Nint;
  void* ptr;
  double Dbl;
  uint64_t Q;
  int64_t i64;
};

union TValue32 {
  uint8_t B;
  uint16_t W;
  uint32_t D;
  float Sgl;
  int8_t i8;
  int16_t i16;
  int32_t i32;
  char CH;
  char16_t WCH;
};

// A set of byte values: value v is bit (v AND 63) of word (v SHR 6), which is the same as
// bit (v AND 7) of byte (v SHR 3).
struct TByteSet {
  uint64_t W[4] = {0, 0, 0, 0};

  constexpr bool Has(uint8_t v) const { return (W[v >> 6] >> (v & 63)) & 1; }
  constexpr void Add(uint8_t v) { W[v >> 6] |= uint64_t(1) << (v & 63); }
  constexpr void Del(uint8_t v) { W[v >> 6] &= ~(uint64_t(1) << (v & 63)); }
  constexpr bool Empty() const { return (W[0] | W[1] | W[2] | W[3]) == 0; }
  static constexpr TByteSet Of(std::string_view chars) {
    TByteSet s;
    for (char c : chars) s.Add(static_cast<uint8_t>(c));
    return s;
  }
};
using TChSet = TByteSet;

// A non-owning reference to a callable (no allocation), for comparators and hooks that are
// called in tight loops.
template <class Sig>
class TFuncRef;
template <class R, class... A>
class TFuncRef<R(A...)> {
 public:
  template <class F>
  requires(!std::is_same_v<std::decay_t<F>, TFuncRef>)
      TFuncRef(F&& f)  // NOLINT: implicit on purpose, lambdas and functions convert
      : obj_(const_cast<void*>(static_cast<const void*>(&f))), call_([](void* o, A... a) -> R {
          return (*static_cast<std::remove_reference_t<F>*>(o))(static_cast<A>(a)...);
        }) {}
  TFuncRef(R (*f)(A...))  // NOLINT
      : obj_(reinterpret_cast<void*>(f)), call_([](void* o, A... a) -> R {
          return reinterpret_cast<R (*)(A...)>(o)(static_cast<A>(a)...);
        }) {}
  R operator()(A... a) const { return call_(obj_, static_cast<A>(a)...); }

 private:
  void* obj_;
  R (*call_)(void*, A...);
};
