// Number formatting and parsing, small arithmetic, quicksort and binary search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/korNum.h"

namespace {

TEST(NumText, Formatting) {
  EXPECT_EQ(b2s(255), "255");
  EXPECT_EQ(d2s(4294967295u), "4294967295");
  EXPECT_EQ(i2s(-42), "-42");
  EXPECT_EQ(q2s(18446744073709551615ull), "18446744073709551615");
  EXPECT_EQ(e2sX(3.5, 2, 8), "    3.50");
  EXPECT_EQ(e2sX(-1.25, 1, 0), "-1.2");  // round half to even as printf does
  EXPECT_EQ(e2s(1.0), "1.000000000");
  EXPECT_EQ(e2s(0.5), "0.500000000");
  EXPECT_EQ(q2sh(0x1F), "000000000000001F");
  EXPECT_EQ(d2sh(0xABCDEF), "00ABCDEF");
  EXPECT_EQ(b2sh(0x0A), "0A");
  EXPECT_EQ(b2sb(5), "00000101");
  EXPECT_EQ(d2sb(1u << 31), "1" + std::string(31, '0'));
}

TEST(NumText, ParsingAndFailureValues) {
  EXPECT_EQ(s2d("4294967296", 7), 0u);  // cut to 32 bits
  EXPECT_EQ(s2q("4294967296", 7), 4294967296ull);
  for (const char* bad : {"12a", "-1", " 1", "", "+1", "1 "}) {
    EXPECT_EQ(s2d(bad, 77), 77u) << bad;
    EXPECT_EQ(s2q(bad, 77), 77u) << bad;
  }
  // 21 digits wrap modulo 2^64.
  EXPECT_EQ(s2q("100000000000000000000", 0), 7766279631452241920ull);
  bool ok = true;
  EXPECT_EQ(ps2q_cf("x", 1, ok), 0u);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ps2q_cf("123", 3, ok), 123u);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ps2q("123", 0, 9), 9u);
  EXPECT_EQ(s2i("-17", 0), -17);
  EXPECT_EQ(s2i("+17", 0), 17);
  for (const char* bad : {"", "2147483648", "1.5", " 3", "3 ", "-", "+-3", "abc"})
    EXPECT_EQ(s2i(bad, -99), -99) << bad;
  EXPECT_EQ(s2i("-2147483648", 0), INT32_MIN);
  EXPECT_DOUBLE_EQ(s2dbl("1.5e3", 0), 1500.0);
  EXPECT_DOUBLE_EQ(s2dbl("-0.25", 0), -0.25);
  for (const char* bad : {"", "1,5", "1.5x", " 1", "e5", "--1"})
    EXPECT_DOUBLE_EQ(s2dbl(bad, -7.5), -7.5) << bad;
}

TEST(NumSmall, ArithmeticAndRanges) {
  EXPECT_EQ(triangular(4), 10u);
  EXPECT_EQ(triangular(100000), 5000050000ull);  // beyond 32 bits
  EXPECT_EQ(triangular(0xFFFFFFFFull), 0xFFFFFFFFull * 0x100000000ull / 2);
  EXPECT_EQ(LimitMinMaxD(5, 10, 3), 3u);
  EXPECT_EQ(fLimitMinMaxD(5, 10, 3), 3u);
  EXPECT_EQ(fLimitMinMaxID(-5, -3, 10), -3);
  EXPECT_EQ(fMinD(3, 9), 3u);
  EXPECT_EQ(fMaxN(3, 1ull << 40), 1ull << 40);
  EXPECT_EQ(fMinID(-3, 2), -3);
  EXPECT_TRUE(OverlapD(5, 1, 3, 8));
  EXPECT_FALSE(OverlapQ(1, 2, 3, 4));
  EXPECT_TRUE(OverlapQ(4, 3, 2, 3));
  EXPECT_TRUE(InRngQ(3, 3, 3));
  uint32_t a = 9, b = 2;
  AscD(a, b);
  EXPECT_EQ(a, 2u);
  bool t = false;
  toggle(t);
  EXPECT_TRUE(t);
  EXPECT_TRUE(RelationDbl(1, 2, cmpL));
  EXPECT_TRUE(RelationDbl(2, 2, cmpGE));
  EXPECT_FALSE(RelationDbl(2, 2, cmpNE));
  EXPECT_FALSE(RelationDbl(2, 2, static_cast<TComparison>(9)));
  EXPECT_STREQ(ComparisonStr[cmpNE], "<>");
  EXPECT_EQ(GetLevDX({2, 0, 2, 1, 0}, 0), (std::vector<uint32_t>{2, 1}));
  const uint32_t x = 1, y = 2;
  EXPECT_EQ(CmpPD(&x, &y), oLess);
}

TOrder8 CmpU32(const void* a, const void* b) { return CmpPD(a, b); }

TEST(NumSort, QuickSortAgreesWithStdSort) {
  std::mt19937 rng(11);
  for (int round = 0; round < 30; ++round) {
    const size_t n = rng() % 2000;
    std::vector<uint32_t> v(n);
    for (auto& x : v) x = rng() % (round % 3 == 0 ? 5 : 100000);
    auto expect = v;
    std::sort(expect.begin(), expect.end());
    auto idxBase = v;
    QSrt(v.data(), 4, CmpU32, 0, static_cast<int64_t>(n) - 1);
    EXPECT_EQ(v, expect);
    std::vector<uint32_t> idx(n);
    for (uint32_t i = 0; i < n; ++i) idx[i] = i;
    QSrtIdx(idx, idxBase.data(), 4, CmpU32, 0, static_cast<int64_t>(n) - 1);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(idxBase[idx[i]], expect[i]);
    // Binary search agrees with lower_bound on present keys and misses absent ones.
    for (int k = 0; k < 50 && n; ++k) {
      const uint32_t key = rng() % 100001;
      const int64_t r =
          BinSrc(expect.data(), 4, &key, CmpU32, 0, static_cast<int64_t>(n) - 1, true);
      const auto lb = std::lower_bound(expect.begin(), expect.end(), key);
      if (lb != expect.end() && *lb == key) {
        ASSERT_GE(r, 0);
        EXPECT_EQ(expect[static_cast<size_t>(r)], key);
      } else {
        EXPECT_EQ(r, -1);
      }
      const int64_t ri =
          BinSrcIdx(idx, idxBase.data(), 4, &key, CmpU32, 0, static_cast<int64_t>(n) - 1, true);
      EXPECT_EQ(ri >= 0, r >= 0);
    }
  }
}

TEST(NumSort, LargeSortedReversedAndEqualInputsDoNotOverflowTheStack) {
  // The sort uses no routine pointer; the per-level reruns of the suite need not repeat it.
  if (std::getenv("ZEL_CPU_LEVEL")) GTEST_SKIP() << "level-independent";
  const size_t n = 10'000'000;
  std::vector<uint32_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint32_t>(i);
  QSrt(v.data(), 4, CmpU32, 0, n - 1);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  std::reverse(v.begin(), v.end());
  QSrt(v.data(), 4, CmpU32, 0, n - 1);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  std::fill(v.begin(), v.end(), 7u);
  QSrt(v.data(), 4, CmpU32, 0, n - 1);
  EXPECT_EQ(v.front(), 7u);
}

TEST(NumSort, BinarySearchCases) {
  const uint32_t v[] = {1, 3, 5, 7};
  const uint32_t four = 4, seven = 7;
  EXPECT_EQ(BinSrc(v, 4, &four, CmpU32, 0, 3, true), -1);
  const int64_t near = BinSrc(v, 4, &four, CmpU32, 0, 3, false);
  EXPECT_TRUE(near == 1 || near == 2);
  EXPECT_EQ(BinSrc(v, 4, &seven, CmpU32, 0, 3, true), 3);
  EXPECT_EQ(BinSrc(v, 4, &seven, CmpU32, 3, 2, true), -1);
  // Comparators may be lambdas with state.
  int calls = 0;
  EXPECT_EQ(BinSrc(
                v, 4, &seven,
                [&](const void* a, const void* b) {
                  ++calls;
                  return CmpPD(a, b);
                },
                0, 3, true),
            3);
  EXPECT_GT(calls, 0);
}

}  // namespace
