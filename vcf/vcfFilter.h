// One condition of the INFO and FORMAT filters of the variant selection: key, threshold,
// comparison, and what a variant without the key or with a missing value gets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/korTypes.h"

using TVcfEvaluator = bool (*)(TValue64 value, TValue64 threshold, TComparison comparison);

// The low 32 bits of both values as signed integers, value on the left.
bool EvalRelationV64_i32(TValue64 value, TValue64 threshold, TComparison comparison);
// Both as doubles; a NaN on either side never passes.
bool EvalRelationV64_Dbl(TValue64 value, TValue64 threshold, TComparison comparison);

// The comparison written as text (display strings: ComparisonStr of base/korNum.h) ("<", "<=", "=",
// "==", ">=", ">", "<>", "!="); false when none.
bool ParseComparison(std::string_view text, TComparison& c);

struct TVcfFilterItem {
  std::string Key;
  TValue64 Threshold{};
  TVcfEvaluator Evaluator = nullptr;
  uint32_t fmt_MinNPassingSamples = 1;
  TComparison Comparison = cmpGE;
  // Mask value of a variant that lacks the key: bNA keeps its current selection bit.
  TBool KeyMissingMskValue = bNA;
  // Bytes evaluated in place of a value "."; empty: "." is a missing value, which never passes.
  std::vector<uint8_t> KeyPresentMissingValue;
  // INFO only: bytes evaluated for a key present without a value ("KEY" alone); empty: such a
  // key counts as absent.
  std::string info_KeyPresentAsFlag;
};
