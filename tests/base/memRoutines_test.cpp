// The byte routines' documented cases, through the installed routine pointers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/korMem.h"

namespace {

const uint8_t* B(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

TEST(MemScan, EmptyAndEdgeResults) {
  const char* s = "abcabc";
  EXPECT_EQ(fScnMemBf(s, 'a', 0), -1);
  EXPECT_EQ(fScnMemBr(s, 'a', 0), -1);
  EXPECT_EQ(fCntMemB(s, 'a', 0), 0u);
  EXPECT_EQ(fScnNtEqBf(s, s, 6), -1);
  EXPECT_EQ(fScnMemBr("abbb", 'a', 4), 0);
  EXPECT_EQ(fScnMemBf("abcd", 'd', 3), -1);  // match just outside
  EXPECT_EQ(fScnMemBr(s, 'c', 6), 5);
  EXPECT_EQ(fScnMemNtBf("aaab", 'a', 4), 3);
  EXPECT_EQ(fScnMemNtBr("baaa", 'a', 4), 0);
  EXPECT_EQ(fCntMemB(s, 'b', 6), 2u);
  EXPECT_EQ(fScnNtEqBf("abcd", "abed", 4), 2);
}

TEST(MemScan, SignedComparisons) {
  const uint8_t d[] = {0xC3, 0x80, 0x20, 0x21};
  EXPECT_EQ(fScnMemGTiBf(d, 0x20, 4), 3);  // 0xC3 and 0x80 are negative
  EXPECT_EQ(fScnMemLTEiBf(d, 0x20, 4), 0);
  const uint32_t v[] = {1, 7, 0xFFFFFFFF, 7};
  EXPECT_EQ(fScnMemDf(v, 7, 4), 1);
  EXPECT_EQ(fScnMemDf(v, 9, 4), -1);
}

TEST(MemScan, ByteSets) {
  const TByteSet ws = TByteSet::Of(" \t");
  const char* s = "  ab c\t";
  EXPECT_EQ(fScnMemAnySBf(s, ws, 7), 0);
  EXPECT_EQ(fScnMemAnyNtSBf(s, ws, 7), 2);
  EXPECT_EQ(fScnMemAnySBr(s, ws, 7), 6);
  EXPECT_EQ(fScnMemAnyNtSBr(s, ws, 7), 5);
  EXPECT_TRUE(NotSB(ws).Has('a'));
  EXPECT_FALSE(NotSB(ws).Has(' '));
}

TEST(MemScan, SubstringSearch) {
  EXPECT_EQ(fFndStrBf("ab", "abc", 2, 3), -1);
  EXPECT_EQ(fFndStrBf("abc", "abc", 3, 3), 0);
  EXPECT_EQ(fFndStrBr("abab", "ab", 4, 2), 2);
  EXPECT_EQ(fFndStrBf("abab", "ab", 4, 2), 0);
  EXPECT_EQ(fFndStrBf("abab", "", 4, 0), -1);
  EXPECT_EQ(fFndStrBf("xxabcabd", "abd", 8, 3), 5);
}

TEST(MemRoutines, OrderAndItems) {
  EXPECT_EQ(fMemOrderBf("ab", "b", 2, 1), oGreater);
  EXPECT_EQ(fMemOrderBf("ab", "ac", 2, 2), oLess);
  EXPECT_EQ(fMemOrderBf("ab", "ab", 2, 2), oSame);
  EXPECT_EQ(fMemOrderBf("\xFF", "a", 1, 1), oGreater);  // unsigned bytes
  const char* s = "a\tbb\tccc";
  struct {
    uint64_t n;
    int64_t pos;
    uint64_t len;
    uint8_t res;
  } cases[] = {{0, 0, 1, 0}, {1, 1, 3, 1}, {2, 4, 4, 1}, {3, -1, 0, 0}};
  for (const auto& c : cases) {
    int64_t pos;
    uint64_t len;
    EXPECT_EQ(fGetPosNthMemItemF(s, 8, c.n, '\t', pos, len), c.res) << c.n;
    EXPECT_EQ(pos, c.pos) << c.n;
    EXPECT_EQ(len, c.len) << c.n;
  }
}

TEST(MemRoutines, CompactReplaceTranslate) {
  char out[16] = {};
  EXPECT_EQ(fRmvCscB("a  b   c", out, ' ', 8), 5u);
  EXPECT_EQ(std::string(out, 5), "a b c");
  EXPECT_EQ(fRmvMemB("a,b,,c", ',', 6, out), 3u);
  EXPECT_EQ(std::string(out, 3), "abc");
  char inPlace[] = "x-y-z";
  EXPECT_EQ(fRmvMemB(inPlace, '-', 5, inPlace), 3u);
  EXPECT_EQ(std::string(inPlace, 3), "xyz");
  EXPECT_EQ(fCpyMemMskBf("abcd", out, "\1\0\1\0", 4, 0), 2u);
  EXPECT_EQ(std::string(out, 2), "ac");
  char r[] = "a.b.c";
  fRplMemB(r, '.', '-', 5);
  EXPECT_STREQ(r, "a-b-c");
  fRplMemB(nullptr, '.', '-', 5);  // ignored
  fRplMemAnySB(r, TByteSet::Of("-b"), '_', 5);
  EXPECT_STREQ(r, "a___c");
  fRevMemB(r, 5);
  EXPECT_STREQ(r, "c___a");
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i ^ 0x20);
  XlatMemB("abc", out, table, 3);
  EXPECT_EQ(std::string(out, 3), "ABC");
}

TEST(MemRoutines, FillCombineCount) {
  std::vector<uint8_t> a(13, 0xFF);
  EXPECT_EQ(fCntMemBitsB(a.data(), 13), 104u);
  EXPECT_EQ(fCntBitsD(0xFFFFFFFFu), 32u);
  EXPECT_EQ(fCntBitsB(0x81), 2);
  std::vector<uint32_t> d(4);
  FillMemIncD(d.data(), 0xFFFFFFFFu, 4);
  EXPECT_EQ(d, (std::vector<uint32_t>{0xFFFFFFFFu, 0, 1, 2}));
  fRepValD(d.data(), 9, 3);
  EXPECT_EQ(d, (std::vector<uint32_t>{9, 9, 9, 2}));
  std::vector<uint64_t> q(3);
  FillMemIncN(q.data(), 1ull << 40, 3);
  EXPECT_EQ(q[2], (1ull << 40) + 2);
  uint8_t x[4] = {1, 2, 3, 250}, y[4] = {3, 3, 3, 10};
  fMemAddB(x, y, x, 4);
  EXPECT_EQ(x[3], 4);
  fMemAddCnsB(x, 1, 4);
  EXPECT_EQ(x[0], 5);
  fMemNotB(x, 1);
  EXPECT_EQ(x[0], 0xFA);
  EXPECT_EQ(fCntEqB("abcd", "abed", 4), 3u);
  const double v[] = {1.5, 2.5, -1};
  EXPECT_DOUBLE_EQ(fSumMemDbl(v, 3), 3.0);
  EXPECT_EQ(RepDW(7, 3), (std::vector<uint32_t>{7, 7, 7}));
  EXPECT_TRUE(RepDW(7, 0).empty());
  std::string s = "old";
  SetStr(s, "0123456789", 2, 3);
  EXPECT_EQ(s, "234");
  SetStr(s, "0123", 0, 0);
  EXPECT_TRUE(s.empty());
}

TEST(MemRoutines, CopyAndExchange) {
  char buf[] = "0123456789";
  fCpyMem(buf, buf + 2, 6);  // overlapping forward copy keeps the source intact
  EXPECT_STREQ(buf, "0101234589");
  fMovMem(buf + 2, buf, 6);
  EXPECT_STREQ(buf, "0123454589");
  uint64_t a = 1, b = 2;
  XChange(&a, &b, 8);
  EXPECT_EQ(a, 2u);
  XchgN(a, b);
  EXPECT_EQ(a, 1u);
  uint32_t c = 3, d = 4;
  XchgD(c, d);
  EXPECT_EQ(c, 4u);
  char s1[] = "abc", s2[] = "xyz";
  XChange(s1, s2, 3);
  EXPECT_STREQ(s1, "xyz");
  uint16_t w = 0;
  CpySmallMem("\x34\x12", &w, 2);
  EXPECT_EQ(w, 0x1234);
}

TEST(MemRoutines, Bits) {
  uint8_t m[2] = {0, 0};
  EXPECT_FALSE(SetMemBit(m, 9));
  EXPECT_EQ(m[1], 2);
  EXPECT_TRUE(GetMemBit(m, 9));
  EXPECT_TRUE(ClrMemBit(m, 9));
  EXPECT_FALSE(ChgMemBit(m, 0, true));
  EXPECT_EQ(m[0], 1);
  EXPECT_TRUE(GetBit(0x80000000u, 63));  // i AND 31
  EXPECT_EQ(ChgBitB(0, 3, true), 8);
  EXPECT_EQ(ChgBitB(0xFF, 0, false), 0xFE);
  EXPECT_EQ(XtrBitsD(0xABCD, 4, 8), 0xBCu);
  EXPECT_EQ(XtrBitsD(0xABCD, 4, 0), 0u);
  EXPECT_EQ(InsBitsD(0xFFFFFFFFu, 0, 4, 8), 0xFFFFF00Fu);
  EXPECT_EQ(BitPExtD_BMI2(0xF0F0u, 0xFF00u), 0xF0u);
  EXPECT_EQ(ReqB(0), 1);
  EXPECT_EQ(ReqB(255), 1);
  EXPECT_EQ(ReqB(256), 2);
  EXPECT_EQ(ReqB64(1ull << 63), 8);
  EXPECT_EQ(ReqB64(70000), 3);
}

TEST(MemRoutines, AlignmentAndSpinLock) {
  alignas(64) uint8_t buf[128] = {};
  EXPECT_EQ(MemAlignOfsNext(buf, 16), 0u);
  EXPECT_EQ(MemAlignOfsNext(buf + 1, 16), 15u);
  EXPECT_EQ(MemAlignOfsNext(buf + 1, 3), 3u);  // rounded up to 4
  EXPECT_EQ(MemAlignOfsNext(buf + 5, 0), 0u);
  uint8_t lock = 0;
  SpinLoopB(0, 1, &lock);
  EXPECT_EQ(lock, 1);
  SpinReleaseB(0, &lock);
  EXPECT_EQ(lock, 0);
}

TEST(MemTables, Constants) {
  EXPECT_EQ(NBitsInByte[0xFF], 8);
  EXPECT_EQ(NBitsInByte[0x96], 4);
  EXPECT_EQ(NByteSelectionMask[3], 0xFFFFFFull);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(SSE_IgnoreMsk48) % 16, 0u);
  EXPECT_EQ(SSE_IgnoreMsk48[15], 0);
  EXPECT_EQ(SSE_IgnoreMsk48[16], 0xFF);
  EXPECT_EQ(SSE_IgnoreMsk48[32], 0);
  EXPECT_EQ(std::string(HexCharTable), "0123456789ABCDEF");
  (void)B;
}

}  // namespace
