// INFO/FORMAT value extraction and genotype reading, including the faults mended there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vcf/bioVCF.h"
#include "vcf/vcfSummary.h"

namespace {

const char* kHdr = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";

// A file with the given sample count whose lines are built from (ALT, FORMAT, calls...).
std::string Vcf(uint32_t nSmp, const std::vector<std::vector<std::string>>& rows,
                const std::string& info = "DP=3") {
  std::string t = kHdr;
  for (uint32_t s = 0; s < nSmp; ++s) t += "\tS" + std::to_string(s);
  t += "\n";
  for (const auto& r : rows) {
    t += "1\t10\t.\tA\t" + r[0] + "\t.\t.\t" + info + "\t" + r[1];
    for (size_t i = 2; i < r.size(); ++i) t += "\t" + r[i];
    t += "\n";
  }
  return t;
}

struct TGt {
  std::vector<uint32_t> Act, Sal, Ploidy;
  std::vector<uint8_t> Phase;
  TXtrFuncRes Res;
  TXtrGtReport Rep;
};

TGt ReadGt(TVCFFile& f, uint64_t v, uint8_t A = 2) {
  TGt g;
  const uint32_t n = f.NSamples();
  g.Act.assign(size_t(A) * n, 77);
  g.Sal.assign(size_t(A) * n, 77);
  g.Ploidy.assign(n, 77);
  std::unique_ptr<bool[]> phase(new bool[n + 1]);
  std::fill(phase.get(), phase.get() + n + 1, true);
  g.Res = f.XtrGenotypeMem(v, A, g.Act.data(), g.Sal.data(), g.Ploidy.data(), true, phase.get(), {},
                           &g.Rep);
  g.Phase.assign(phase.get(), phase.get() + n);
  return g;
}

constexpr uint32_t M = MissingAlleleNo;

TEST(Genotypes, CommonShapes) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(5, {{"G", "GT", "0|1", "1/1", "./.", "1", "10/."}})));
  TGt g = ReadGt(f, 0, 11);
  ASSERT_EQ(g.Res, xtrOK);
  // Allele numbers beyond the site's (10 of a biallelic site) make the call missing.
  EXPECT_EQ(g.Ploidy, (std::vector<uint32_t>{2, 2, 2, 1, 2}));
  EXPECT_EQ(g.Sal[0 * 11 + 0], 0u);
  EXPECT_EQ(g.Sal[0 * 11 + 1], 1u);
  EXPECT_EQ(g.Sal[2 * 11 + 0], M);
  EXPECT_EQ(g.Sal[4 * 11 + 0], M);
  EXPECT_EQ(g.Rep.BadAlleleCalls, 1u);
  EXPECT_EQ(g.Rep.FirstBadAlleleLine, 2u);
  EXPECT_EQ(g.Phase, (std::vector<uint8_t>{1, 0, 0, 1, 0}));
  // Counts: [allele][sample].
  EXPECT_EQ(g.Act[1 * 5 + 1], 2u);
  EXPECT_EQ(g.Act[0 * 5 + 0], 1u);
  EXPECT_EQ(g.Act[1 * 5 + 0], 1u);
  EXPECT_EQ(g.Act[0 * 5 + 2] + g.Act[1 * 5 + 2], 0u);
}

TEST(Genotypes, MultiDigitAlleles) {
  std::string alt;
  for (int i = 0; i < 11; ++i) alt += std::string(i ? "," : "") + "AC" + std::to_string(i);
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(2, {{alt, "GT", "10/2", "10/."}})));
  TGt g = ReadGt(f, 0, 12);
  ASSERT_EQ(g.Res, xtrOK);
  EXPECT_EQ(g.Sal[0], 10u);
  EXPECT_EQ(g.Sal[1], 2u);
  EXPECT_EQ(g.Sal[12], 10u);
  EXPECT_EQ(g.Sal[13], M);
}

TEST(Genotypes, EveryCallResetsPreviousValues) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(2, {{"G", "GT", "1/1", "0/1"}, {"G", "DP", "5", "6"}})));
  const uint32_t n = 2;
  std::vector<uint32_t> act(2 * n), sal(2 * n), ploidy(n);
  bool phase[2];
  ASSERT_EQ(f.XtrGenotypeMem(0, 2, act.data(), sal.data(), ploidy.data(), true, phase), xtrOK);
  EXPECT_EQ(act[1 * n + 0], 2u);
  // FORMAT without GT: every call missing, nothing left from the variant before.
  ASSERT_EQ(f.XtrGenotypeMem(1, 2, act.data(), sal.data(), ploidy.data(), true, phase), xtrOK);
  EXPECT_EQ(act, (std::vector<uint32_t>(4, 0)));
  EXPECT_EQ(sal, (std::vector<uint32_t>(4, M)));
  EXPECT_EQ(ploidy, (std::vector<uint32_t>(2, 0)));
}

TEST(Genotypes, GtFoundAsExactKeyAnywhere) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(1, {{"G", "GTX:DP", "1/1:4"}, {"G", "DP:GT", "4:0/1"}})));
  TGt g = ReadGt(f, 0);
  EXPECT_EQ(g.Ploidy[0], 0u);  // GTX is not GT
  g = ReadGt(f, 1);
  EXPECT_EQ(g.Ploidy[0], 2u);
  EXPECT_EQ(g.Sal[1], 1u);
}

TEST(Genotypes, LeadingPhaseMark) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(2, {{"G", "GT", "/0/1", "|1|1"}})));
  TGt g = ReadGt(f, 0);
  ASSERT_EQ(g.Res, xtrOK);
  EXPECT_EQ(g.Ploidy, (std::vector<uint32_t>{2, 2}));
  EXPECT_EQ(g.Sal[1], 1u);
  EXPECT_EQ(g.Phase, (std::vector<uint8_t>{0, 1}));
}

TEST(Genotypes, PlaceholderAllelesReadAsMissing) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(3, {{"C,<NON_REF>", "GT", "0/1", "0/2", "2/2"},
                                 {"<NON_REF>,C", "GT", "0/2", "0/1", "0/0"}})));
  TGt g = ReadGt(f, 0);
  ASSERT_EQ(g.Res, xtrOK);
  EXPECT_EQ(g.Sal[1], 1u);
  EXPECT_EQ(g.Sal[2], M);
  EXPECT_EQ(g.Sal[4], M);
  EXPECT_EQ(g.Rep.PlaceholderCalls, 2u);
  // Numbers follow the allele list without placeholders: C is allele 1 in both lines.
  g = ReadGt(f, 1);
  EXPECT_EQ(g.Sal[1], 1u);
  EXPECT_EQ(g.Act[1 * 3 + 0], 1u);
  EXPECT_EQ(g.Sal[2], M);
}

TEST(Genotypes, ErrorsNameTheVariant) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(ZEL_TEST_DATA "/vcf/bad_gt.vcf"));
  EXPECT_EQ(ReadGt(f, 0).Res, xtrOK);
  TGt g = ReadGt(f, 1);
  EXPECT_EQ(g.Res, xtrErrConversion);
  EXPECT_EQ(g.Rep.Fail.Variant, 1u);
  EXPECT_EQ(g.Rep.Fail.Smp, 0u);
  EXPECT_EQ(g.Rep.FailLine, 4u);
  TVCFFile t;
  ASSERT_TRUE(t.OpenText(Vcf(1, {{"G", "GT", "0/0/1"}})));
  EXPECT_EQ(ReadGt(t, 0, 2).Res, xtrErrAlleles);
}

TEST(Genotypes, ShortLinesReadAsMissingWithTheirLine) {
  std::string t = kHdr;
  for (int s = 0; s < 200; ++s) t += "\tS" + std::to_string(s);
  t += "\n1\t5\t.\tA\tG\t.\t.\t.\tGT\n";  // 9 columns in a 200-sample file
  t += "1\t6\t.\tA\tG\t.\t.\t.\tGT\t0/1\n";
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(t));
  TGt g = ReadGt(f, 0);
  EXPECT_EQ(g.Res, xtrOK);
  EXPECT_EQ(g.Rep.ShortLines, 1u);
  EXPECT_EQ(g.Rep.FirstShortLine, 2u);
  EXPECT_EQ(std::count(g.Ploidy.begin(), g.Ploidy.end(), 0u), 200);
  g = ReadGt(f, 1);
  EXPECT_EQ(g.Ploidy[0], 2u);
  EXPECT_EQ(g.Ploidy[1], 0u);
}

TEST(Genotypes, SamplesToReport) {
  std::string t = kHdr;
  for (int s = 0; s < 300; ++s) t += "\tS" + std::to_string(s);
  t += "\n1\t5\t.\tA\tG\t.\t.\t.\tGT";
  for (int s = 0; s < 300; ++s) t += s == 299 ? "\t1/1" : "\t0/0";
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(t));
  std::vector<uint32_t> smp{299, 0, 500};
  std::vector<uint32_t> sal(6), ploidy(3);
  ASSERT_EQ(f.XtrGenotypeMem(0, 2, nullptr, sal.data(), ploidy.data(), false, nullptr, smp), xtrOK);
  // Allele-first layout: [k][i].
  EXPECT_EQ(sal[0 * 3 + 0], 1u);
  EXPECT_EQ(sal[1 * 3 + 0], 1u);
  EXPECT_EQ(sal[0 * 3 + 1], 0u);
  EXPECT_EQ(ploidy[2], 0u);
}

TEST(FormatValues, DepthWithTrailingFieldsDropped) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(5, {{"G", "GT:DP", "0/1:15", "./.", ".", "0/0:.", "0/1:-1"},
                                 {"G", "GT:DP", "0/1:x", "0/0:2", ".", ".", "."}})));
  std::vector<std::string> tags{"DP", "GQ"};
  std::vector<TXtrFmtFuncParam> p(2);
  const int32_t miss = -999;
  std::vector<uint8_t> mb(4);
  std::memcpy(mb.data(), &miss, 4);
  p[0].MakeAndAlloc(xtSInt32, 5, mb);
  p[1].MakeAndAlloc(xtSInt32, 5, mb);
  TXtrGtReport rep;
  ASSERT_EQ(f.XtrGtKeyMem(0, tags, p, {}, &rep), xtrOK);
  EXPECT_EQ(p[0].Value<int32_t>(0), 15);
  EXPECT_EQ(p[0].Value<int32_t>(1), miss);  // ./. under GT:DP
  EXPECT_EQ(p[0].Value<int32_t>(2), miss);
  EXPECT_EQ(p[0].Value<int32_t>(3), miss);
  EXPECT_EQ(p[0].Value<int32_t>(4), -1);
  EXPECT_EQ(p[0].TagOfs, 1u);
  EXPECT_EQ(p[1].TagOfs, 0xFFFFFFFFu);
  EXPECT_EQ(p[1].ItemBytes[0], 0u);
  // A value that does not read is an error naming the sample; the next call starts clean.
  EXPECT_EQ(f.XtrGtKeyMem(1, tags, p, {}, &rep), xtrErrConversion);
  EXPECT_EQ(rep.Fail.Smp, 0u);
  EXPECT_EQ(rep.FailLine, 3u);
}

TEST(FormatValues, OutOfRangeIsAConversionError) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(1, {{"G", "GT:DP", "0/1:-1"},
                                 {"G", "GT:DP", "0/1:300"},
                                 {"G", "GT:DP", "0/1:4294967296"},
                                 {"G", "GT:DP", "0/1: +7"}})));
  std::vector<std::string> tags{"DP"};
  std::vector<TXtrFmtFuncParam> p(1);
  p[0].MakeAndAlloc(xtUInt32, 1, {});
  EXPECT_EQ(f.XtrGtKeyMem(0, tags, p), xtrErrConversion);  // never 4294967295
  EXPECT_EQ(f.XtrGtKeyMem(1, tags, p), xtrOK);
  EXPECT_EQ(p[0].Value<uint32_t>(0), 300u);
  EXPECT_EQ(f.XtrGtKeyMem(2, tags, p), xtrErrConversion);
  EXPECT_EQ(f.XtrGtKeyMem(3, tags, p), xtrOK);
  EXPECT_EQ(p[0].Value<uint32_t>(0), 7u);
  p[0].MakeAndAlloc(xtUInt8, 1, {});
  EXPECT_EQ(f.XtrGtKeyMem(1, tags, p), xtrErrConversion);
}

TEST(FormatValues, TextValues) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(2, {{"G", "GT:FT", "0/1:PASS", "0/0:lowqual_long"}})));
  std::vector<std::string> tags{"FT"};
  std::vector<TXtrFmtFuncParam> p(1);
  p[0].MakeAndAlloc(xtString, 2, {'.'}, 8);
  EXPECT_EQ(f.XtrGtKeyMem(0, tags, p), xtrErrMemory);
  p[0].MakeAndAlloc(xtString, 2, {'.'}, 32);
  ASSERT_EQ(f.XtrGtKeyMem(0, tags, p), xtrOK);
  EXPECT_EQ(p[0].Text(0), "PASS");
  EXPECT_EQ(p[0].Text(1), "lowqual_long");
}

TEST(InfoValues, Cases) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(1, {{"G", "GT", "0/1"}}, "DP=12;AF=0.5;DB;NDP=3;MQ=.")));
  std::vector<std::string> tags{"DP", "AF", "AN", "DB", "MQ"};
  std::vector<TXtrInfFuncParam> p(5);
  p[0].Make(xtSInt32, {}, "");
  p[1].Make(xtDbl, {}, "");
  p[2].Make(xtSInt32, {}, "");
  p[3].Make(xtUInt8, {}, std::string(1, '\1'));
  p[4].Make(xtSInt32, {0, 0, 0, 0}, "");
  ASSERT_EQ(f.XtrInfokeyValMem(0, tags, p), xtrOK);
  int32_t dp;
  std::memcpy(&dp, p[0].PBuffer, 4);
  EXPECT_EQ(dp, 12);
  EXPECT_EQ(p[0].ItemBytes, 4u);
  double af;
  std::memcpy(&af, p[1].PBuffer, 8);
  EXPECT_EQ(af, 0.5);
  EXPECT_EQ(p[1].ItemBytes, 8u);
  EXPECT_EQ(p[2].ItemBytes, 0u);
  EXPECT_EQ(p[3].ItemBytes, 1u);
  EXPECT_EQ(p[3].PBuffer[0], 1u);
  EXPECT_EQ(p[4].ItemBytes, 4u);
  p[4].Make(xtSInt32, {}, "");
  EXPECT_EQ(f.XtrInfokeyValMem(0, tags, p), xtrErrConversion);
}

TEST(KeysPresent, InfoAndFormat) {
  TVCFFile f;
  ASSERT_TRUE(
      f.OpenText("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS\n"
                 "1\t1\t.\tA\tG\t.\t.\tDP=5;DB\tGT:DP\t0/1:3\n"
                 "1\t2\t.\tA\tG\t.\t.\t.\tGT:AD:DP\t0/1:1,2:3\n"));
  EXPECT_EQ(f.GetGtKeysPresent(0, 9), (std::vector<std::string>{"AD", "DP", "GT"}));
  EXPECT_EQ(f.GetInfoKeysPresent(0, 9), (std::vector<std::string>{"DB", "DP"}));
}

TEST(MissingCalls, AllAllelesMissing) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(
      4, {{"G", "GT", "./.", "0/.", ".", "0/1"}, {"G", "GT:DP", ".:3", "./.:.", "1/1", "./1"}})));
  EXPECT_EQ(f.SampleSummaryMissingGtCalls(), (std::vector<uint64_t>{2, 1, 1, 0}));
}

}  // namespace

namespace {

// Genotypes and tags in one walk give what the two separate readers give, line by line:
// GT first or later, tags before GT, tags asked twice or absent, cut columns, no FORMAT.
TEST(OneWalk, SameAsSeparateReaders) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(4, {{"G", "GT:DP:GQ", "0/1:15:30", "./.", ".", "1|1:7"},
                                 {"C,<*>", "DP:GT", "3:0/2", "4:1/1", "5", ".:0|1"},
                                 {"G", "GQ:DP", "1:2", "3:4", "5:6", "."},
                                 {"T", "GT", "1", "0/1/1", "./1", "0"},
                                 {"G,T", "GT:DP", "2/2:1", "0/3:2", "1/0:3", "0/0:4"}}) +
                         "1\t20\t.\tA\tG\t.\t.\tDP=3\n"));
  const uint32_t n = 4;
  const uint8_t A = 3;
  std::vector<std::string> tags{"DP", "GQ", "DP", "XX"};
  auto make = [&] {
    std::vector<TXtrFmtFuncParam> p(4);
    for (auto& q : p) q.MakeAndAlloc(xtSInt32, n, {0xff, 0xff, 0xff, 0x7f});
    return p;
  };
  for (uint64_t v = 0; v < f.NVariants(); ++v) {
    SCOPED_TRACE(v);
    std::vector<uint32_t> act1(A * n, 9), sal1(A * n, 9), pl1(n, 9);
    std::vector<uint32_t> act2(A * n, 8), sal2(A * n, 8), pl2(n, 8);
    bool ph1[4], ph2[4];
    std::vector<TXtrFmtFuncParam> p1 = make(), p2 = make();
    const TXtrFuncRes g = f.XtrGenotypeMem(v, A, act1.data(), sal1.data(), pl1.data(), false, ph1);
    const TXtrFuncRes k = f.XtrGtKeyMem(v, tags, p1);
    const TXtrFuncRes both =
        f.XtrGenotypeAndKeysMem(v, A, act2.data(), sal2.data(), pl2.data(), false, ph2, tags, p2);
    EXPECT_EQ(both, g);
    EXPECT_EQ(k, v == 5 ? xtrErrInput : xtrOK);
    EXPECT_EQ(act1, act2);
    EXPECT_EQ(sal1, sal2);
    EXPECT_EQ(pl1, pl2);
    EXPECT_TRUE(std::equal(ph1, ph1 + n, ph2));
    for (size_t t = 0; t < tags.size(); ++t) {
      EXPECT_EQ(p1[t].TagOfs, p2[t].TagOfs);
      EXPECT_EQ(p1[t].Buffer, p2[t].Buffer);
    }
  }
}

TEST(OneWalk, FailureNamesGenotypeOrTag) {
  TVCFFile f;
  ASSERT_TRUE(
      f.OpenText(Vcf(2, {{"G", "GT:DP", "0/1:1", "0/A:2"}, {"G", "GT:DP", "0/1:z", "0/1:2"}})));
  std::vector<std::string> tags{"DP"};
  std::vector<TXtrFmtFuncParam> p(1);
  p[0].MakeAndAlloc(xtSInt32, 2, {});
  std::vector<uint32_t> sal(4), pl(2);
  TXtrGtReport rep;
  EXPECT_EQ(f.XtrGenotypeAndKeysMem(0, 2, nullptr, sal.data(), pl.data(), true, nullptr, tags, p,
                                    {}, &rep),
            xtrErrConversion);
  EXPECT_EQ(rep.Fail.Tag, vcfNone32);
  EXPECT_EQ(rep.Fail.Smp, 1u);
  EXPECT_EQ(rep.FailLine, 2u);
  EXPECT_EQ(f.XtrGenotypeAndKeysMem(1, 2, nullptr, sal.data(), pl.data(), true, nullptr, tags, p,
                                    {}, &rep),
            xtrErrConversion);
  EXPECT_EQ(rep.Fail.Tag, 0u);
  EXPECT_EQ(rep.Fail.Smp, 0u);
  EXPECT_EQ(rep.FailLine, 3u);
}

}  // namespace

namespace {

// Calls drawn at random from known GT and DP texts, in every column shape, read in one walk
// and checked against what each text means.
TEST(OneWalk, RandomCallsMatchTheirMeaning) {
  struct TGtText {
    const char* Text;
    uint32_t Ploidy, A0, A1;  // A = 3 slots; allele 2 is beyond the site's (REF, G)
  };
  const TGtText gts[] = {{"0/1", 2, 0, 1},  {"1|0", 2, 1, 0},   {"./.", 2, M, M},
                         {"0", 1, 0, M},    {"1/1/0", 3, 1, 1}, {"./1", 2, M, 1},
                         {".", 1, M, M},    {"", 0, M, M},      {"0/2", 2, M, M},
                         {"/0|1", 2, 0, 1}, {"10/1", 2, M, M},  {"0|.", 2, 0, M}};
  struct TDpText {
    const char* Text;  // null: the item is left out
    int32_t Value;
  };
  const int32_t miss = -7;
  const TDpText dps[] = {
      {nullptr, miss},           {".", miss}, {"5", 5}, {"17", 17}, {"123456789", 123456789},
      {"1234567890", 1234567890}};
  uint64_t x = 2024;
  auto rnd = [&](uint32_t n) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t((x >> 33) % n);
  };
  const uint32_t n = 30;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> picks;
  for (int v = 0; v < 40; ++v) {
    std::vector<std::string> row{"G", "GT:DP"};
    std::vector<std::pair<uint32_t, uint32_t>> p;
    for (uint32_t s = 0; s < n; ++s) {
      const uint32_t g = rnd(std::size(gts)), d = rnd(std::size(dps));
      std::string call = gts[g].Text;
      if (dps[d].Text) call += std::string(":") + dps[d].Text;
      row.push_back(call);
      p.emplace_back(g, d);
    }
    rows.push_back(row);
    picks.push_back(p);
  }
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(n, rows)));
  std::vector<std::string> tags{"DP"};
  std::vector<TXtrFmtFuncParam> dp(1);
  std::vector<uint8_t> mb(4);
  std::memcpy(mb.data(), &miss, 4);
  dp[0].MakeAndAlloc(xtSInt32, n, mb);
  std::vector<uint32_t> sal(3 * n), ploidy(n);
  for (uint64_t v = 0; v < rows.size(); ++v) {
    SCOPED_TRACE(v);
    TXtrGtReport rep;
    ASSERT_EQ(f.XtrGenotypeAndKeysMem(v, 3, nullptr, sal.data(), ploidy.data(), true, nullptr, tags,
                                      dp, {}, &rep),
              xtrOK);
    for (uint32_t s = 0; s < n; ++s) {
      const TGtText& g = gts[picks[v][s].first];
      SCOPED_TRACE(rows[v][2 + s]);
      EXPECT_EQ(ploidy[s], g.Ploidy);
      EXPECT_EQ(sal[s * 3], g.A0);
      EXPECT_EQ(sal[s * 3 + 1], g.A1);
      // "." alone is the whole call missing; its DP (if any) is read as written.
      const int32_t want = std::string(g.Text) == "." && !dps[picks[v][s].second].Text
                               ? miss
                               : dps[picks[v][s].second].Value;
      EXPECT_EQ(dp[0].Value<int32_t>(s), want);
    }
  }
}

}  // namespace

namespace {

// The genotype summary over calls whose depths lie inside and beyond the histogram.
TEST(Summary, CountsAndDepthQuantiles) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(4, {{"G", "GT:DP", "0/1:1", "./.:7000", "0/.:4095", "1"},
                                 {"G", "GT:DP", ".:5000", "1/1:3", "0|0:4096", "./1:."}})));
  TVcfGtSummary s;
  TZelErr err;
  ASSERT_TRUE(VcfSummariseGenotypes(f, s, err)) << err.Msg;
  EXPECT_EQ(s.Calls, 8u);
  EXPECT_EQ(s.Called, 4u);         // 0/1, 1, 1/1, 0|0
  EXPECT_EQ(s.Missing, 2u);        // ./., .
  EXPECT_EQ(s.PartlyMissing, 2u);  // 0/., ./1
  EXPECT_EQ(s.DepthCalls, 6u);
  EXPECT_EQ(s.DepthAbsent, 2u);
  EXPECT_EQ(s.DepthQuantiles, (std::vector<uint32_t>{1, 1, 3, 4095, 5000, 7000, 7000}));
  EXPECT_EQ(s.CallsPerPloidy, (std::map<uint32_t, uint64_t>{{1, 2}, {2, 6}}));
}

}  // namespace

namespace {

// Dosage codes read in one pass equal what the allele lists and the DP values say, for every
// column shape: GT first or not, DP right after GT or elsewhere or absent, placeholder ALTs,
// and DP texts that are not plain counts.
TEST(Dosage, EqualsAlleleListsAndDepths) {
  const char* gts[] = {"0/0", "0/1", "1|1", "./.", "0/.",  "./1",  "1",    "0",
                       ".",   "",    "0/2", "1|0", "/0|1", "10/1", "00/1", "0/1:"};
  const char* dps[] = {nullptr, ".", "", "5", "4", "17", "+6", "x", "007", "1234567890", "5 "};
  const char* formats[] = {"GT:DP", "DP:GT", "GT:AD:DP", "GT", "GT:DP:GQ"};
  const char* alts[] = {"G", "G,<*>", "<*>,G"};
  uint64_t x = 99;
  auto rnd = [&](uint32_t n) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t((x >> 33) % n);
  };
  const uint32_t n = 40;
  std::vector<std::vector<std::string>> rows;
  for (int v = 0; v < 60; ++v) {
    const std::string fmt = formats[rnd(std::size(formats))];
    std::vector<std::string> row{alts[rnd(std::size(alts))], fmt};
    for (uint32_t s = 0; s < n; ++s) {
      const std::string g = gts[rnd(std::size(gts))];
      const char* d = dps[rnd(std::size(dps))];
      std::string call;
      if (fmt == "GT")
        call = g;
      else if (fmt == "DP:GT")
        call = std::string(d ? d : "") + ":" + g;
      else if (fmt == "GT:AD:DP")
        call = g + ":3,4" + (d ? std::string(":") + d : "");
      else
        call = g + (d ? std::string(":") + d : "") + (fmt == "GT:DP:GQ" && d ? ":30" : "");
      row.push_back(call);
    }
    rows.push_back(row);
  }
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(n, rows)));
  std::vector<std::string> tags{"DP"};
  std::vector<TXtrFmtFuncParam> text(1);
  text[0].MakeAndAlloc(xtString, n, {}, 32);
  std::vector<uint32_t> sal(2 * n), ploidy(n);
  const size_t stride = 3;
  std::vector<uint8_t> code(n * stride, 0xAA);
  for (uint32_t minDp : {0u, 5u}) {
    for (uint64_t v = 0; v < rows.size(); ++v) {
      SCOPED_TRACE(std::to_string(v) + " " + rows[v][0] + " " + rows[v][1]);
      TXtrGtReport want, got;
      ASSERT_EQ(
          f.XtrGenotypeMem(v, 2, nullptr, sal.data(), ploidy.data(), true, nullptr, {}, &want),
          xtrOK);
      const bool dpKey = f.XtrGtKeyMem(v, tags, text) == xtrOK && text[0].TagOfs != 0xFFFFFFFFu;
      bool depthKey = !dpKey;
      ASSERT_EQ(f.XtrDosageMem(v, code.data(), stride, minDp, &depthKey, &got), xtrOK);
      EXPECT_EQ(depthKey, dpKey);
      EXPECT_EQ(got.BadAlleleCalls, want.BadAlleleCalls);
      EXPECT_EQ(got.PlaceholderCalls, want.PlaceholderCalls);
      for (uint32_t s = 0; s < n; ++s) {
        SCOPED_TRACE(rows[v][2 + s]);
        const uint32_t lo = std::min(sal[2 * s], sal[2 * s + 1]);
        const uint32_t hi = std::max(sal[2 * s], sal[2 * s + 1]);
        uint32_t depth = 0;
        if (dpKey && !XtrConvert(text[0].Text(s), xtUInt32, &depth)) depth = 0;
        uint8_t c = TVCFFile::DoseNotScored;
        if (lo <= 1 && (hi <= 1 || hi == M) && depth >= minDp)
          c = uint8_t(lo + (hi == M ? lo : hi));
        EXPECT_EQ(code[s * stride], c);
      }
    }
  }
}

TEST(Dosage, GenotypeErrorsAreTheAlleleListsErrors) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(3, {{"G", "GT:DP", "0/1:4", "0/A:4", "1/1:4"},
                                 {"G", "GT:DP", "0/1:4", "0/1/1:4", "1/1:4"}})));
  std::vector<uint8_t> code(3);
  std::vector<uint32_t> sal(6), ploidy(3);
  for (uint64_t v = 0; v < 2; ++v) {
    TXtrGtReport want, got;
    const TXtrFuncRes r =
        f.XtrGenotypeMem(v, 2, nullptr, sal.data(), ploidy.data(), true, nullptr, {}, &want);
    ASSERT_NE(r, xtrOK);
    EXPECT_EQ(f.XtrDosageMem(v, code.data(), 1, 0, nullptr, &got), r);
    EXPECT_EQ(got.Fail.Smp, want.Fail.Smp);
    EXPECT_EQ(got.FailLine, want.FailLine);
  }
}

}  // namespace
