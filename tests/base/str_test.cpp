// String utilities: splitting, line breaks, scanning, changing, orders and de-duplication.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/korStr.h"

namespace {

TEST(StrSplit, DelimitersAndTrailing) {
  TAStr a;
  EXPECT_EQ(Str2AStr("a,,b", ',', a, false), 3u);
  EXPECT_EQ(a, MkAStr({"a", "", "b"}));
  EXPECT_EQ(Str2AStr("a,b,", ',', a, true), 2u);
  EXPECT_EQ(Str2AStr("a,b,", ',', a, false), 3u);
  EXPECT_EQ(Str2AStr("", ',', a, false), 0u);
  EXPECT_TRUE(a.empty());
  const TAAStr t = AStr2AAStr(MkAStr({"1\t2", "3", "4\t5\t6"}), '\t', false, 1, 99);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[1].size(), 3u);
  EXPECT_TRUE(AStr2AAStr(MkAStr({"x"}), '\t', false, 5, 9).empty());
}

TEST(StrSplit, LineBreaksNeverEatDataBytes) {
  std::string text = "l1\r\nl2\r\n";
  EXPECT_EQ(CvtStr2AStr(text, "\r\n", true), MkAStr({"l1", "l2"}));
  EXPECT_TRUE(text.empty());
  // Mixed line ends: a bare LF takes no data byte with it.
  text = "ab\ncd\r\nef\n";
  EXPECT_EQ(CvtStr2AStr(text, "\r\n", true), MkAStr({"ab", "cd", "ef"}));
  text = "x\ny";
  EXPECT_EQ(CvtStr2AStr(text, "\r\n", false), MkAStr({"x", "y"}));
  text = "a\nb\n";
  EXPECT_EQ(CvtStr2AStr(text, "\n", false), MkAStr({"a", "b", ""}));
  text = "\n";
  EXPECT_EQ(CvtStr2AStr(text, "\r\n", true), MkAStr({""}));
  text = "";
  EXPECT_EQ(CvtStr2AStr(text, "\r\n", true), MkAStr({""}));
}

TEST(StrSplit, ItemsAndJoining) {
  EXPECT_EQ(GetNthItemF("a\tbb\tccc", 1, '\t'), "bb");
  EXPECT_EQ(GetNthItemF("a\tbb\tccc", 0, '\t'), "a");
  EXPECT_EQ(GetNthItemF("a\tbb\tccc", 3, '\t'), "");
  const std::string d = "ab,abc,b,abc";
  EXPECT_EQ(GetPStrItemOfs(d.data(), "abc", ',', d.size(), 3, 0), 1);
  EXPECT_EQ(GetPStrItemOfs(d.data(), "b", ',', d.size(), 1, 0), 2);
  EXPECT_EQ(GetPStrItemOfs(d.data(), "abc", ',', d.size(), 3, 5), 3);
  EXPECT_EQ(GetPStrItemOfs(d.data(), "x", ',', d.size(), 1, 0), -1);
  EXPECT_EQ(ConcatAStr(MkAStr({"a", "b"}), ", "), "a, b");
  EXPECT_EQ(AStr2Str(MkAStr({"a", "b"}), ";", true), "a;b;");
  EXPECT_EQ(ConcatAStr({}, ","), "");
  EXPECT_EQ(PAStr2Str({"xy", "z"}, {2, 1}, "-", false), "xy-z");
  EXPECT_EQ(PAStr2Str({"xy"}, {2, 1}, "-", false), "");
  EXPECT_EQ(CombineAStr({MkAStr({"1", "2"}), MkAStr({"a"})}, "\t", "<", ">"),
            MkAStr({"<1\ta>", "<2\t>"}));
  TAStr a = MkAStr({"a", "b", "a"}), b = MkAStr({"c"});
  MergeAStr(a, b);
  EXPECT_TRUE(b.empty());
  DelAStrVal(a, "a");
  EXPECT_EQ(a, MkAStr({"b", "c"}));
  DelAStrItem(a, 9);
  DelAStrItem(a, 0);
  EXPECT_EQ(a, MkAStr({"c"}));
  EXPECT_EQ(SelAStr(MkAStr({"a", "b"}), {false, true}), MkAStr({"b"}));
  EXPECT_EQ(SelAStr(MkAStr({"a", "b"}), {true}).size(), 2u);
  EXPECT_EQ(FndAStrItemF(MkAStr({"a", "b", "a"}), "a", 1), 2);
}

TEST(StrScan, PositionsAreOneBased) {
  EXPECT_EQ(ScnChF("abca", 'a'), 1u);
  EXPECT_EQ(ScnChR("abca", 'a'), 4u);
  EXPECT_EQ(ScnChF("abc", 'x'), 0u);
  EXPECT_EQ(ScnChExF("abca", 'a', 0), 0u);
  EXPECT_EQ(ScnChExF("abca", 'a', 2), 4u);
  EXPECT_EQ(ScnChExR("abca", 'a', 3), 1u);
  EXPECT_EQ(ScnChExR("abca", 'a', ToEnd), 4u);
  EXPECT_EQ(CntCh("banana", 'a'), 3u);
  EXPECT_EQ(CntChEx("banana", 'a', 3, 99), 2u);
  EXPECT_EQ(CntChEx("banana", 'a', 0, 99), 0u);
  EXPECT_EQ(FndStrF("xabab", "ab"), 2u);
  EXPECT_EQ(FndStrR("xabab", "ab"), 4u);
  EXPECT_EQ(FndStrExF("xabab", "ab", 3), 4u);
  EXPECT_EQ(SubStr("abcdef", 2, 3), "bcd");
  EXPECT_EQ(SubStr("abc", 0, 3), "");
  EXPECT_EQ(StrRgn("abcdef", 2, 99), "bcdef");
  EXPECT_EQ(StrRgn("abcdef", 4, 3), "");
  EXPECT_EQ(TrcStrF("abc", 2), "ab");
  EXPECT_EQ(TrcStrAtDelimF("ab:cd", ':'), "ab");
  EXPECT_EQ(TrcAppStrR("0123456789", 4, "...", "!"), "...6789!");
  EXPECT_EQ(TrcAppStrR("0123", 4, "...", "!"), "0123");
  std::string l, r;
  EXPECT_TRUE(BrkStrF("k=v=w", '=', l, r));
  EXPECT_EQ(l + "|" + r, "k|v=w");
  EXPECT_TRUE(BrkStrR("k=v=w", '=', l, r));
  EXPECT_EQ(l + "|" + r, "k=v|w");
  EXPECT_FALSE(BrkStrF("kv", '=', l, r));
  EXPECT_EQ(l + "|" + r, "kv|");
  EXPECT_FALSE(BrkStrR("kv", '=', l, r));
  EXPECT_EQ(l + "|" + r, "|kv");
  uint64_t s, e;
  EXPECT_TRUE(NxtStrRgn("a<bc>d<e>", '<', '>', s, e, 1, ToEnd));
  EXPECT_EQ(s, 2u);
  EXPECT_EQ(e, 5u);
  EXPECT_TRUE(NxtStrRgn("a<bc>d<e>", '<', '>', s, e, 6, ToEnd));
  EXPECT_EQ(s, 7u);
  EXPECT_FALSE(NxtStrRgn("a<bc", '<', '>', s, e, 1, ToEnd));
  EXPECT_TRUE(StrEq("ab", "ab"));
  EXPECT_FALSE(StrEq("ab", "abc"));
  EXPECT_TRUE(StrEndsWithLineBreak("x\r\n", "\r\n"));
  EXPECT_FALSE(StrEndsWithLineBreak("x\n", "\r\n"));
}

TEST(StrScan, LineBreakStyle) {
  EXPECT_EQ(GuessLineBreakStyle(""), lbUnknown);
  EXPECT_EQ(GuessLineBreakStyle("abc\n"), lbUnknown);
  EXPECT_EQ(GuessLineBreakStyle("a\r\nb"), lbDOS);
  EXPECT_EQ(GuessLineBreakStyle("a\nb"), lbUNIX);
  EXPECT_EQ(GuessLineBreakStyle("a\rb"), lbMac);
  EXPECT_EQ(GuessLineBreakStyle("ab"), lbUnknown);
  EXPECT_STREQ(LineBreakStr[lbDOS], "\r\n");
}

TEST(StrChange, ReplaceTrimFormat) {
  EXPECT_EQ(RepCh('x', 3), "xxx");
  EXPECT_EQ(RplCh("a.b", '.', ','), "a,b");
  EXPECT_EQ(RplChs("a.b;c", TChSet::Of(".;"), '_'), "a_b_c");
  std::string s = "  a\t\tb  ";
  EXPECT_EQ(dFmtStr(s, TChSet::Of(" \t"), ' ', true), 1u);
  EXPECT_EQ(s, "a b");
  std::string out;
  EXPECT_EQ(FmtStr(" x  y ", TChSet::Of(" "), ' ', out, false), 3u);
  EXPECT_EQ(out, " x y ");
  EXPECT_EQ(ExclChs("a1b2", TChSet::Of("12")), "ab");
  EXPECT_EQ(InclChs("a1b2", TChSet::Of("12")), "12");
  EXPECT_EQ(TrmStrLR("   ", TChSet::Of(" ")), "");
  EXPECT_EQ(TrmStrLR("  ab c ", TChSet::Of(" ")), "ab c");
  EXPECT_EQ(RmvCscCh("a  b   c", ' '), "a b c");
  EXPECT_EQ(UpStr("aZ\xe4q"), "AZ\xe4Q");
  EXPECT_EQ(RevStr("abc"), "cba");
  EXPECT_EQ(RplStrF("aaaa", "aa", "b", true), "bb");
  EXPECT_EQ(RplStrF("aaaa", "aa", "b", false), "baa");
  EXPECT_EQ(RplStrF("ab", "abc", "x", true), "ab");
  EXPECT_EQ(RplStrF("ab", "", "x", true), "ab");
  std::string t = "a,b\"c,d\"e,f";
  pRplRgnCh(t, ',', ';', '"', '"', false);
  EXPECT_EQ(t, "a,b\"c;d\"e,f");
  t = "a,b\"c,d\"e,f";
  pRplRgnCh(t, ',', ';', '"', '"', true);
  EXPECT_EQ(t, "a;b\"c,d\"e;f");
}

TEST(StrNumbers, ArraysAndTables) {
  TADw d;
  EXPECT_EQ(CvtAStr2ADw(MkAStr({"1", "x", "4294967296"}), d, 7), 1u);
  EXPECT_EQ(d, (TADw{1, 7, 0}));
  TAQw q;
  EXPECT_EQ(CvtAStr2AQw(MkAStr({"4294967296"}), q, 0), 0u);
  EXPECT_EQ(q[0], 4294967296ull);
  EXPECT_EQ(CvtAStr2ADw({}, d, 5), 5u);
  EXPECT_EQ(CvtADw2AStr({1, 20}), MkAStr({"1", "20"}));
  EXPECT_EQ(CvtAQw2AStr({1ull << 40}), MkAStr({"1099511627776"}));
  EXPECT_EQ(CvtADbl2AStr({0.5}, 2, 5), MkAStr({" 0.50"}));
  TAAStr tbl = {MkAStr({"a"}), MkAStr({"b", "c", "d"})};
  const TAAStr copy = AAStr2Tbl(tbl, ToEnd);
  EXPECT_EQ(copy[0].size(), 3u);
  dAAStr2Tbl(tbl, 2);
  EXPECT_EQ(tbl[1], MkAStr({"b", "c"}));
}

TEST(StrOrder, TwoOrders) {
  EXPECT_EQ(StrOrder_Len("z", "ab"), oLess);
  EXPECT_EQ(StrOrder_Ch("z", "ab"), oGreater);
  EXPECT_EQ(StrOrder_Ch("ab", "abc"), oLess);
  EXPECT_EQ(StrOrder_Ch("\xff", "a"), oGreater);
  TAStr a = MkAStr({"ab", "z", "b", "aa"});
  QSortAStr(a, true);
  EXPECT_EQ(a, MkAStr({"b", "z", "aa", "ab"}));
  EXPECT_TRUE(IsAStrSorted(a, 3, true));
  QSortAStr(a, false);
  EXPECT_EQ(a, MkAStr({"aa", "ab", "b", "z"}));
  EXPECT_TRUE(IsAStrSorted(a, 3, false));
  EXPECT_FALSE(IsAStrSorted(a, 3, true));
  EXPECT_EQ(BinSearchAStr(a, "b", false, true, 0, 3), 2);
  EXPECT_EQ(BinSearchAStr(a, "c", false, true, 0, 3), -1);
  const TAStrPtrLen pl = AStr2APtrLen(a);
  EXPECT_EQ(BinSearchAStrPtrLen(pl, "ab", 2, false, true, 0, 3), 1);
  EXPECT_EQ(BinSearchAStrPtrLen(pl, "zz", 2, false, true, 0, 3), -1);
}

TEST(StrOrder, SortAndSearchAgreeWithStd) {
  std::mt19937 rng(21);
  TAStr a;
  for (int i = 0; i < 3000; ++i) {
    std::string s(1 + rng() % 12, ' ');
    for (char& c : s) c = static_cast<char>('a' + rng() % 4);
    a.push_back(s);
  }
  TAStr byLen = a, byCh = a;
  QSortAStr(byLen, true);
  QSortAStr(byCh, false);
  TAStr expectCh = a;
  std::sort(expectCh.begin(), expectCh.end());
  EXPECT_EQ(byCh, expectCh);
  TAStr expectLen = a;
  std::sort(expectLen.begin(), expectLen.end(), [](const std::string& x, const std::string& y) {
    return x.size() != y.size() ? x.size() < y.size() : x < y;
  });
  EXPECT_EQ(byLen, expectLen);
  const TADw idx = GetIdxAStr_Len(a);
  for (size_t i = 0; i < idx.size(); ++i) ASSERT_EQ(a[idx[i]], expectLen[i]);
  for (int k = 0; k < 300; ++k) {
    const std::string& key = a[rng() % a.size()];
    const int64_t p =
        BinSearchAStr(byLen, key, true, true, 0, static_cast<int64_t>(byLen.size()) - 1);
    ASSERT_GE(p, 0);
    EXPECT_EQ(byLen[static_cast<size_t>(p)], key);
    const int64_t pi =
        BinSearchIdxAStr_Len(idx, a, key, true, 0, static_cast<int64_t>(a.size()) - 1);
    ASSERT_GE(pi, 0);
    EXPECT_EQ(a[idx[static_cast<size_t>(pi)]], key);
  }
  EXPECT_EQ(BinSearchAStr(byLen, "zzzzzzzzzzzzzz", true, true, 0, 2999), -1);
  EXPECT_EQ(BinSearchIdxAStr_Len(TADw{0}, a, "a", true, 0, 0), -1);
  // De-duplication with counts equals a run-length count.
  TADw counts;
  TAStr dedup = byCh;
  const uint64_t n = RmvSrtAStrDupAndCnt(dedup, counts);
  EXPECT_EQ(n, dedup.size());
  EXPECT_TRUE(std::adjacent_find(dedup.begin(), dedup.end()) == dedup.end());
  uint64_t total = 0;
  for (size_t i = 0; i < dedup.size(); ++i) {
    EXPECT_EQ(counts[i], std::count(a.begin(), a.end(), dedup[i]));
    total += counts[i];
  }
  EXPECT_EQ(total, a.size());
}

TEST(StrOrder, DedupCases) {
  TAStr a = MkAStr({"a", "a", "b", "c", "c", "c"});
  TADw counts;
  EXPECT_EQ(RmvSrtAStrDupAndCnt(a, counts), 3u);
  EXPECT_EQ(a, MkAStr({"a", "b", "c"}));
  EXPECT_EQ(counts, (TADw{2, 1, 3}));
  TAStr e;
  EXPECT_EQ(RmvSrtAStrDup(e), 0u);
  TAStr one = MkAStr({"x", "x"});
  EXPECT_EQ(RmvSrtAStrDup(one), 1u);
}

}  // namespace
