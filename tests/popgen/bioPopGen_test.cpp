// Allele counting (depth masking, haploid and multi-allelic calls, bad input), the locus filter,
// frequencies, heterozygosities, F_ST with its undefined cases, and the number format.
#include "popgen/bioPopGen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/korThd.h"
#include "popgen/bioFst.h"
#include "tests/vcf/vcfTestUtil.h"
#include "vcf/bioVCF.h"

namespace {

using TU = std::vector<uint32_t>;

// A VCF text with the given sample names and data lines (CHROM POS ID REF ALT ... FORMAT calls).
std::string Vcf(const std::vector<std::string>& samples, const std::vector<std::string>& lines) {
  std::string t = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (const std::string& s : samples) t += "\t" + s;
  t += "\n";
  for (const std::string& l : lines) t += l + "\n";
  return t;
}

TU Global(const TAlleleCounts& ac, uint64_t j) {
  return TU(ac.Global(j), ac.Global(j) + ac.NAlleles(j));
}
TU Pop(const TAlleleCounts& ac, uint32_t p, uint64_t j) {
  return TU(ac.Pop(p, j), ac.Pop(p, j) + ac.NAlleles(j));
}

// One sample per case, minDP 2 and 10: what the call contributes.
TEST(AlleleCounts, DepthMaskingAtTheBoundaries) {
  struct TCase {
    std::string Call;
    TU Counts;  // alleles 0, 1
  } cases[] = {
      {"0/1:1", {0, 0}},  {"0/1:2", {1, 1}},  {"1/1:2", {0, 1}},  {"1/1:9", {0, 1}},
      {"1/1:10", {0, 2}}, {"0/1:5", {1, 1}},  {"1/1:5", {0, 1}},  {"0/1:.", {0, 0}},
      {"0/1", {0, 0}},    {"0/1:", {0, 0}},   {"1:5", {0, 1}},    {"1:1", {0, 0}},
      {"./.:30", {0, 0}}, {"1/.:30", {0, 1}}, {"0|0:12", {2, 0}}, {"0/3:30", {0, 0}},
  };
  for (const TCase& c : cases) {
    TVCFFile vcf;
    // A second sample with depth keeps the line's DP column present.
    ASSERT_TRUE(
        vcf.OpenText(Vcf({"s", "t"}, {"1\t5\t.\tA\tG\t.\t.\t.\tGT:DP\t" + c.Call + "\t0/0:30"})));
    TAlleleCounts ac;
    ASSERT_TRUE(GetVcfAlleleCounts(vcf, {0, 1}, 2, 10, ac, 2)) << c.Call;
    EXPECT_EQ(Pop(ac, 0, 0), c.Counts) << c.Call;
    EXPECT_EQ(Pop(ac, 1, 0), (TU{2, 0})) << c.Call;
  }
}

TEST(AlleleCounts, WithoutDepthThresholdEveryCallCounts) {
  TVCFFile vcf;
  ASSERT_TRUE(vcf.OpenText(Vcf({"s", "t"}, {"1\t5\t.\tA\tG\t.\t.\t.\tGT\t1/1\t0/1",
                                            "1\t6\t.\tA\tG\t.\t.\t.\tGT:DP\t1/1:0\t0/1:1"})));
  TAlleleCounts ac;
  TAlleleCountInfo info;
  ASSERT_TRUE(GetVcfAlleleCounts(vcf, {}, 0, 10, ac, 2, &info));
  EXPECT_EQ(Global(ac, 0), (TU{1, 3}));
  EXPECT_EQ(Global(ac, 1), (TU{1, 3}));
  EXPECT_EQ(ac.nPop, 1u);
  EXPECT_EQ(info.VariantsNoDP, 0u);
  // With a threshold, a line without DP drops every call and is reported.
  ASSERT_TRUE(GetVcfAlleleCounts(vcf, {}, 1, 10, ac, 2, &info));
  EXPECT_EQ(Global(ac, 0), (TU{0, 0}));
  EXPECT_EQ(Global(ac, 1), (TU{1, 1}));  // depth 0 dropped; depth 1 heterozygous kept whole
  EXPECT_EQ(info.VariantsNoDP, 1u);
}

TEST(AlleleCounts, PopulationsRenumberedAndUnassignedSamplesLeftOut) {
  TVCFFile vcf;
  ASSERT_TRUE(vcf.OpenText(
      Vcf({"a", "b", "c", "d"}, {"1\t5\t.\tA\tG,T,C\t.\t.\t.\tGT\t0/1\t2/3\t3/3\t1/1",
                                 "1\t6\t.\tA\t.\t.\t.\t.\tGT\t0/0\t0/0\t0/0\t0/0",
                                 "1\t7\t.\tA\t<*>\t.\t.\t.\tGT\t0/0\t0/0\t0/0\t0/0"})));
  TAlleleCounts ac;
  // Population 1 has no sample: 3 becomes 1; d is unassigned.
  ASSERT_TRUE(GetVcfAlleleCounts(vcf, {3, 0, 3, kPopGenNone}, 0, 0, ac, 2));
  EXPECT_EQ(ac.nPop, 2u);
  EXPECT_EQ(ac.nAllelesPerPop, (TU{2, 4}));
  EXPECT_EQ(ac.maxNAlleles, 4u);
  EXPECT_EQ(Pop(ac, 0, 0), (TU{0, 0, 1, 1}));
  EXPECT_EQ(Pop(ac, 1, 0), (TU{1, 1, 0, 2}));
  EXPECT_EQ(Global(ac, 0), (TU{1, 1, 1, 3}));
  // Sites without an alternative allele keep a slot without alleles and never pass.
  EXPECT_EQ(ac.NAlleles(1), 0u);
  EXPECT_EQ(ac.NAlleles(2), 0u);
  EXPECT_EQ(FilterAndTallyAlleleCounts(ac, 1, 2, 4), 1u);
  EXPECT_EQ(FilterAndTallyAlleleCounts(ac, 1, 2, 3), 0u);  // four alleles > --max-states 3
}

TEST(AlleleCounts, FailuresNameTheLineAndSample) {
  struct TCase {
    std::string Line, Msg, Detail;
  } cases[] = {
      {"1\t5\t.\tA\tG\t.\t.\t.\tGT:DP\t0/1:9\t0/1/1:9", "No valid GT tag found",
       "<memory>, line 3, sample t (more than 2 alleles): Input seen: <1\t5\t.\tA\tG\t.\t.\t.\tGT:"
       "DP\t0/1:9\t0/1/1:9>"},
      {"1\t5\t.\tA\tG\t.\t.\t.\tGT:DP\t0/1:9\t0/1:x", "Invalid DP value",
       "<memory>, line 3, sample t"},
      {"1\t5\t.\tA\tG\t.\t.\t.\tGT:DP\t0/1:9\t0/x:9", "No valid GT tag found",
       "<memory>, line 3, sample t: Input seen: <1\t5\t.\tA\tG\t.\t.\t.\tGT:DP\t0/1:9\t0/x:9>"},
  };
  for (const TCase& c : cases) {
    TVCFFile vcf;
    ASSERT_TRUE(vcf.OpenText(Vcf({"s", "t"}, {c.Line})));
    TAlleleCounts ac;
    TAlleleCountInfo info;
    EXPECT_FALSE(GetVcfAlleleCounts(vcf, {0, 1}, 2, 10, ac, 2, &info));
    EXPECT_EQ(info.Err.Sender, "GetAlleleCounts");
    EXPECT_EQ(info.Err.Msg, c.Msg);
    EXPECT_EQ(info.Err.Details, c.Detail);
  }
  // Quiet refusals: no ploidy, wrong membership length, nothing selected.
  TVCFFile vcf;
  ASSERT_TRUE(vcf.OpenText(Vcf({"s", "t"}, {"1\t5\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/1"})));
  TAlleleCounts ac;
  TAlleleCountInfo info;
  EXPECT_FALSE(GetVcfAlleleCounts(vcf, {0, 1}, 0, 0, ac, 0, &info));
  EXPECT_FALSE(GetVcfAlleleCounts(vcf, {0}, 0, 0, ac, 2, &info));
  vcf.ClearSelection(false);
  EXPECT_FALSE(GetVcfAlleleCounts(vcf, {0, 1}, 0, 0, ac, 2, &info));
  EXPECT_FALSE(info.Err);
}

TEST(AlleleCounts, PairsFromOneWalkEqualAWalkPerPair) {
  TVCFFile vcf;
  ASSERT_TRUE(vcf.OpenText(
      Vcf({"a", "b", "c", "d", "e", "f"},
          {"1\t5\t.\tA\tG\t.\t.\t.\tGT:DP\t0/1:3\t1/1:4\t0/0:20\t1/1:30\t0/1:1\t0/0:12",
           "1\t6\t.\tA\tG,C\t.\t.\t.\tGT:DP\t0/2:30\t1/1:30\t2/2:5\t0/1:30\t./.:30\t0/0:12"})));
  const TU mb = {0, 1, 2, 0, 1, 2};
  TAlleleCounts all, pair, direct;
  ASSERT_TRUE(GetVcfAlleleCounts(vcf, mb, 2, 10, all, 2));
  for (uint32_t lo = 0; lo < 3; ++lo)
    for (uint32_t hi = lo + 1; hi < 3; ++hi) {
      TU m = mb;
      for (uint32_t& p : m)
        if (p != lo && p != hi) p = kPopGenNone;
      ASSERT_TRUE(GetVcfAlleleCounts(vcf, m, 2, 10, direct, 2));
      PairAlleleCounts(all, lo, hi, pair);
      EXPECT_EQ(pair.ac_pop, direct.ac_pop) << lo << hi;
      EXPECT_EQ(pair.ac_global, direct.ac_global) << lo << hi;
      EXPECT_EQ(pair.LocOfs, direct.LocOfs);
      EXPECT_EQ(pair.nAllelesPerPop, direct.nAllelesPerPop);
    }
}

// Counts given directly: locus 0 = two populations with 3,1 and 0,0 observations.
TAlleleCounts Counts(const std::vector<std::vector<TU>>& perLocusPop) {
  TAlleleCounts ac;
  ac.nLoc = perLocusPop.size();
  ac.nPop = uint32_t(perLocusPop[0].size());
  ac.LocOfs.assign(1, 0);
  for (const auto& loc : perLocusPop) {
    const uint32_t n = uint32_t(loc[0].size());
    ac.maxNAlleles = std::max(ac.maxNAlleles, n);
    ac.LocOfs.push_back(ac.LocOfs.back() + n);
    for (uint32_t a = 0; a < n; ++a) {
      uint32_t g = 0;
      for (const TU& p : loc) g += p[a];
      ac.ac_global.push_back(g);
    }
    for (const TU& p : loc) ac.ac_pop.insert(ac.ac_pop.end(), p.begin(), p.end());
  }
  return ac;
}

struct TChain {
  TAlleleFrequencies AF;
  THeterozygosities H;
  std::vector<double> Fst;
};

TChain Chain(TAlleleCounts& ac, uint32_t minObs, uint32_t minPops, bool ssc, bool limit) {
  TChain c;
  FilterAndTallyAlleleCounts(ac, minObs, minPops, 4);
  AlleleFreq(ac, c.AF);
  GetExpHet(c.AF, c.H, ssc ? &ac : nullptr);
  Het2Fst(c.H, c.Fst, limit);
  return c;
}

TEST(Fst, UndefinedValuesAreNaNNeverDivisions) {
  // Locus 0: population 2 has no observation (left out of H_S; its frequencies NaN).
  // Locus 1: population 1 has one observation: corrected H undefined, left out of H_S.
  // Locus 2: everything fixed for allele 0: H_T = 0, F_ST undefined.
  // Locus 3: fixed differences: H_S = 0 < H_T, F_ST = 1.
  TAlleleCounts ac = Counts({{{3, 1}, {1, 3}, {0, 0}},
                             {{2, 2}, {0, 1}, {4, 0}},
                             {{4, 0}, {4, 0}, {4, 0}},
                             {{4, 0}, {0, 4}, {4, 0}}});
  TChain c = Chain(ac, 1, 2, true, true);
  ASSERT_EQ(c.AF.nLoc, 4u);
  EXPECT_TRUE(std::isnan(c.AF.Pop(2, 0)[0]));
  EXPECT_DOUBLE_EQ(c.AF.Pop(0, 0)[0], 0.75);
  // Locus 0: H_T = .5 * 8/7; H_0 = H_1 = .375 * 4/3 = .5; H_S = .5; F = 1 - .5 / (4/7) = .125.
  EXPECT_TRUE(std::isnan(c.H.het_pop[2 * 4 + 0]));
  EXPECT_DOUBLE_EQ(c.H.Hs[0], 0.5);
  EXPECT_NEAR(c.Fst[0], 0.125, 1e-12);
  // Locus 1: pooled 6,3 of 9: H_T = (1 - (4/9 + 1/9)) * 9/8 = .5; H_0 = .5 * 4/3 = 2/3,
  // H_2 = 0, H_1 undefined: H_S = 1/3, F = 1 - (1/3) / .5 = 1/3.
  EXPECT_TRUE(std::isnan(c.H.het_pop[1 * 4 + 1]));
  EXPECT_NEAR(c.H.het_global[1], 0.5, 1e-12);
  EXPECT_NEAR(c.H.Hs[1], 1.0 / 3, 1e-12);
  EXPECT_NEAR(c.Fst[1], 1.0 / 3, 1e-12);
  EXPECT_TRUE(std::isnan(c.Fst[2]));
  EXPECT_EQ(c.Fst[3], 1.0);
  // Without the correction locus 1's population 1 has H = 0 and counts.
  TChain p = Chain(ac, 1, 2, false, true);
  EXPECT_EQ(p.H.het_pop[1 * 4 + 1], 0.0);
  EXPECT_TRUE(std::isnan(p.Fst[2]));
  // One population: no F_ST at all, output untouched.
  TAlleleCounts one = Counts({{{3, 1}}});
  TChain o = Chain(one, 1, 1, true, true);
  EXPECT_TRUE(o.Fst.empty());
  EXPECT_EQ(o.H.nLoc, 1u);
}

TEST(Fst, ClampAndBiallelicFlag) {
  TAlleleCounts ac = Counts({{{1, 1}, {1, 1}}, {{2, 1, 1}, {1, 2, 1}}});
  // Locus 0 corrected: H_T = .5 * 4/3, H_p = .5 * 2 = 1: F = 1 - 1/(2/3) = -.5.
  EXPECT_NEAR(Chain(ac, 1, 2, true, false).Fst[0], -0.5, 1e-12);
  EXPECT_EQ(Chain(ac, 1, 2, true, true).Fst[0], 0.0);
  EXPECT_FALSE(Chain(ac, 1, 2, true, true).AF.isAllBiallelic);
  // Four alleles, no correction: pooled 3,1,1,3 of 8: H_T = 1 - 2(.375^2 + .125^2) = .6875;
  // H_0 = 1 - 4(.25^2) = .75, H_1 = 1 - 2(.5^2) = .5, H_S = .625; F_ST = 1 - .625/.6875 = 1/11.
  TAlleleCounts four = Counts({{{1, 1, 1, 1}, {2, 0, 0, 2}}});
  const TChain f = Chain(four, 1, 2, false, true);
  EXPECT_DOUBLE_EQ(f.H.het_global[0], 0.6875);
  EXPECT_DOUBLE_EQ(f.H.Hs[0], 0.625);
  EXPECT_NEAR(f.Fst[0], 1.0 / 11, 1e-12);
  EXPECT_EQ(ReportAFStr(f.AF, false, {}, "", true, true, '\t', ", ", 4, 5),
            (std::vector<std::string>{"0.3750, 0.1250, 0.1250, 0.3750\t0.2500, 0.2500, 0.2500, "
                                      "0.2500\t0.5000, 0.0000, 0.0000, 0.5000"}));
  TAlleleCounts two = Counts({{{1, 1}, {1, 1}}});
  EXPECT_TRUE(Chain(two, 1, 2, true, true).AF.isAllBiallelic);
}

TEST(Fst, NumbersInFixedNotation) {
  struct TCase {
    double V;
    int Dec, Width;
    const char* Text;
  } cases[] = {{0.5, 4, 5, "0.5000"},     {-0.16666666, 4, 5, "-0.1667"},
               {1.5, 2, 8, "    1.50"},   {0.00005, 4, 5, "0.0001"},
               {0.12345, 4, 0, "0.1235"}, {std::nan(""), 4, 10, "NA"},
               {-0.0, 4, 5, "-0.0000"}};
  for (const TCase& c : cases) EXPECT_EQ(FixedStr(c.V, c.Dec, c.Width), c.Text) << c.V;
  // The same text as printf everywhere, ties and values next to them included.
  std::vector<double> values = {0.5,        0.25, 0.125,         0.00015, 0.00025, 1.00005, 2.5e-5,
                                99999999.0, 1e8,  123456789.125, 1e300,   -1e-300, 5e-324};
  uint64_t seed = 1;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    const double u = double(seed >> 11) / double(1ull << 53);
    values.push_back((i % 2 ? -1 : 1) * u * (i % 3 ? 1.0 : 1000.0));
    values.push_back(std::nearbyint(u * 1e6) / 1e6 + 5e-5);  // near ties at 4 decimals
    values.push_back(double(i) / 8.0);                       // exact ties
  }
  for (double v : values)
    for (int dec : {1, 4, 9}) {
      char buf[512];
      std::snprintf(buf, sizeof buf, "%.*f", dec, v);
      ASSERT_EQ(FixedStr(v, dec, 0), buf) << v << " " << dec;
    }
}

TEST(Fst, ReportsKeepLocusNamesAligned) {
  TAlleleCounts ac = Counts({{{3, 1}, {1, 3}}, {{0, 0}, {1, 1}}});
  TChain c = Chain(ac, 1, 2, false, true);
  const std::vector<std::string> names = {"c\t1"};
  EXPECT_EQ(ReportACStr(ac, true, names, "Chr\tPos", true, true, true, '\t', ", ", "."),
            (std::vector<std::string>{"Chr\tPos\tAC_global\tAC_Pop0\tAC_Pop1",
                                      "c\t1\t4, 4\t3, 1\t1, 3"}));
  // Every locus, the failed one as the ignore mark.
  EXPECT_EQ(ReportACStr(ac, false, {"c\t1", "c\t2"}, "", true, true, false, '\t', ", ", "."),
            (std::vector<std::string>{"c\t1\t4, 4\t3, 1\t1, 3", "c\t2\t."}));
  // A name list of the wrong length gives nothing.
  EXPECT_TRUE(ReportFstStr(c.Fst, true, {"a", "b"}, "Chr\tPos", '\t', 4, 5).empty());
  EXPECT_EQ(ReportFstStr(c.Fst, true, {}, "Chr\tPos", '\t', 4, 5),
            (std::vector<std::string>{"Chr\tPos\tFst", "0.2500"}));
}

TEST(FstPairs, OrderLevelsAndFileNames) {
  std::vector<TU> mbs;
  TU p1, p2;
  const TU mb = {2, 0, kPopGenNone, 1, 2};
  EXPECT_EQ(MakePopPairs(mb, mbs, p1, p2), 3u);
  EXPECT_EQ(p1, (TU{1, 2, 2}));
  EXPECT_EQ(p2, (TU{0, 0, 1}));
  EXPECT_EQ(mbs[0], (TU{kPopGenNone, 0, kPopGenNone, 1, kPopGenNone}));
  const TU levels = {2, 0, 1};
  EXPECT_EQ(Xlat2Levels(mb, levels), (TU{0, 1, kPopGenNone, 2, 0}));
  EXPECT_EQ(xlatPopNames({"a", "b", "c"}, levels), (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_EQ(FstFileDesc(std::string("a/b c-\x01x\x7f", 9) + std::string(1, '\0') + "\x1f"),
            "a_b c-_x__"
            "_");
}

}  // namespace

namespace {

// Two counts of the same calls agree in every output.
void ExpectSameCounts(const TAlleleCounts& ca, const TAlleleCounts& cb, const TDiploidCounts& da,
                      const TDiploidCounts& db, const TAlleleCountInfo& ia,
                      const TAlleleCountInfo& ib) {
  EXPECT_EQ(ca.LocOfs, cb.LocOfs);
  EXPECT_EQ(ca.maxNAlleles, cb.maxNAlleles);
  EXPECT_EQ(ca.ac_global, cb.ac_global);
  EXPECT_EQ(ca.ac_pop, cb.ac_pop);
  EXPECT_EQ(da.al_pop, db.al_pop);
  EXPECT_EQ(da.het_pop, db.het_pop);
  EXPECT_EQ(da.OneAlleleCalls, db.OneAlleleCalls);
  EXPECT_EQ(ia.VariantsRead, ib.VariantsRead);
  EXPECT_EQ(ia.VariantsNoDP, ib.VariantsNoDP);
  // What the report says of the lines, which the command logs.
  auto notes = [](const TXtrGtReport& r) {
    return std::vector<uint64_t>{r.BadAlleleCalls,    r.FirstBadAlleleLine, r.PlaceholderCalls,
                                 r.ShortLines,        r.FirstShortLine,     r.ExtraItemLines,
                                 r.FirstExtraItemLine};
  };
  EXPECT_EQ(notes(ia.Report), notes(ib.Report));
}

// Lines whose calls are read in their common form must count exactly as the general readers
// count them: the same random calls written GT first (the common form, where a line allows
// it) and GT last (always the general readers) give the same counts, diploid tallies and
// notes, with and without depth masking.
TEST(AlleleCounts, CommonFormCountsAsTheGeneralReaders) {
  const char* gts[] = {"0/0", "0/1", "1|0", "1/1", "./.", "0/.", "./1", ".", "0", "1", "0/2"};
  // (A DP that is not a number stops a run: not drawn here.)
  // Depths of one to four digits: "009" reads as 9, below a homozygote threshold of 10.
  const char* dps[] = {nullptr, ".",  "",    "0",   "1",    "2",  "9",
                       "10",    "35", "009", "100", "1000", "007"};
  const uint32_t n = 24;
  uint64_t x = 31;
  auto rnd = [&](uint32_t k) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t((x >> 33) % k);
  };
  std::vector<std::string> samples, first, last;
  std::vector<uint32_t> pops;
  for (uint32_t s = 0; s < n; ++s) {
    samples.push_back("s" + std::to_string(s));
    pops.push_back(s % 5 == 4 ? kPopGenNone : s % 3);
  }
  for (int v = 0; v < 300; ++v) {
    // Mostly lines the common form takes whole; some with one call it does not take.
    const bool odd = rnd(4) == 0;
    const std::string alt = rnd(10) == 0 ? "G,T" : "G";
    const bool withDp = rnd(8) != 0;
    std::string a = "1\t" + std::to_string(10 + v) + "\t.\tA\t" + alt + "\t.\t.\t.\t" +
                    (withDp ? "GT:DP:GQ" : "GT:GQ");
    std::string b = "1\t" + std::to_string(10 + v) + "\t.\tA\t" + alt + "\t.\t.\t.\t" +
                    (withDp ? "GQ:DP:GT" : "GQ:GT");
    for (uint32_t s = 0; s < n; ++s) {
      const char* g = gts[rnd(odd ? 11 : 7)];
      const char* d = dps[rnd(odd ? 13 : 12)];
      if (std::string(g) == ".") {
        a += "\t.";
        b += "\t.";
        continue;
      }
      const std::string dp = withDp ? std::string(d ? d : "") + ":" : "";
      a += std::string("\t") + g + (withDp ? ":" + std::string(d ? d : "") : "") + ":30";
      b += "\t30:" + dp + g;
    }
    first.push_back(a);
    last.push_back(b);
  }
  TVCFFile fa, fb;
  ASSERT_TRUE(fa.OpenText(Vcf(samples, first)));
  ASSERT_TRUE(fb.OpenText(Vcf(samples, last)));
  for (auto [all, hom] : {std::pair{0u, 0u}, {2u, 10u}, {9u, 9u}}) {
    SCOPED_TRACE(std::to_string(all) + "/" + std::to_string(hom));
    TAlleleCounts ca, cb;
    TAlleleCountInfo ia, ib;
    TDiploidCounts da, db;
    const bool ra = GetVcfAlleleCounts(fa, pops, all, hom, ca, 2, &ia, nullptr, nullptr, &da);
    const bool rb = GetVcfAlleleCounts(fb, pops, all, hom, cb, 2, &ib, nullptr, nullptr, &db);
    ASSERT_TRUE(ra) << ia.Err.Msg;
    ASSERT_TRUE(rb) << ib.Err.Msg;
    ExpectSameCounts(ca, cb, da, db, ia, ib);
  }
}

}  // namespace

namespace {

using vcftest::ToBgzf;
using vcftest::WriteTemp;

// The tally made while a BGZF file is indexed must count exactly as reading the lines does:
// random calls on sites of two to four alleles, with the forms it leaves to the general
// readers mixed in (haploid and out-of-range calls, placeholders, GT not first, calls with
// an extra item, short lines, monomorphic sites, no DP), CR LF line ends and a last line
// without a break; a random ID makes the file span several pieces of the parallel pass.
TEST(AlleleCounts, TallyWhileIndexingCountsAsReadingTheLines) {
  const char* gts[] = {"0/0", "0/1", "1|0", "1/1", "./.", "0/.", "./1", ".", "2/1", "0/2", "3/3"};
  const char* odd[] = {"1", "0/5", ".|1", "0|1:7:30:9"};
  const char* dps[] = {nullptr, ".", "", "0", "1", "2", "9", "10", "35", "009", "100", "1000"};
  uint64_t x = 77;
  auto rnd = [&](uint32_t k) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t((x >> 33) % k);
  };
  const uint32_t nS = 30;
  std::vector<std::string> samples, lines;
  std::vector<uint32_t> pops;
  for (uint32_t s = 0; s < nS; ++s) {
    samples.push_back("s" + std::to_string(s));
    pops.push_back(s % 7 == 6 ? kPopGenNone : s % 4);
  }
  const char* alts[] = {"G", "G", "G", "G,T", "G,T,C", ".", "G,<*>"};
  for (int v = 0; v < 6000; ++v) {
    const std::string alt = alts[rnd(7)];
    const uint32_t shape = rnd(40);  // 0: GT last, 1: a short line, 2: one odd call
    const bool withDp = rnd(10) != 0;
    std::string id;
    for (int k = 0; k < 400; ++k) id += char('a' + rnd(26));
    std::string l =
        "chr" + std::to_string(1 + v / 2500) + "\t" + std::to_string(100 + v) + "\t" + id +
        "\tA\t" + alt + "\t50\tPASS\t.\t" +
        (shape == 0 ? (withDp ? "GQ:DP:GT" : "GQ:GT") : (withDp ? "GT:DP:GQ" : "GT:GQ"));
    const uint32_t n = shape == 1 ? nS - 3 : nS;
    const uint32_t oddAt = shape == 2 ? rnd(n) : n;
    for (uint32_t s = 0; s < n; ++s) {
      std::string g = s == oddAt ? odd[rnd(4)] : gts[rnd(alt.size() > 1 ? 11 : 8)];
      const char* d = dps[rnd(12)];
      const std::string dp = withDp ? std::string(d ? d : "") : "";
      if (g == ".")
        l += "\t.";
      else if (shape == 0)
        l += "\t30:" + (withDp ? dp + ":" : "") + g;
      else
        l += "\t" + g + (withDp ? ":" + dp : "") + ":30";
    }
    lines.push_back(l);
  }
  std::string text = Vcf(samples, lines);
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.resize(crlf.size() - 2);  // no break after the last line
  for (const std::string* t : {&text, &crlf}) {
    const std::string path =
        WriteTemp(t == &text ? "tally.vcf.gz" : "tally_crlf.vcf.gz", ToBgzf(*t));
    for (uint32_t threads : {1u, 2u}) {
      std::unique_ptr<TWrkThdPool> pool;
      if (threads > 1) pool = std::make_unique<TWrkThdPool>(threads, true);
      for (auto [all, hom] : {std::pair{0u, 0u}, {2u, 10u}}) {
        SCOPED_TRACE((t == &text ? "LF" : "CRLF") + std::string(", threads ") +
                     std::to_string(threads) + ", depths " + std::to_string(all) + "/" +
                     std::to_string(hom));
        uint32_t nPop = 0;
        const TU popOf = AlleleCountPops(pops, nS, nPop);
        TVcfCallTallyPlan plan;
        plan.SampleNames = samples;
        for (uint32_t p : popOf) plan.Rows.push_back(p == kPopGenNone ? nPop : p);
        plan.NPops = nPop;
        plan.MinDPAll = all;
        plan.MinDPHom = std::max(all, hom);
        TVCFFile tallied, plain;
        tallied.PlanCallTally(plan);
        ASSERT_TRUE(tallied.OpenFile(path)) << tallied.LastError().Details;
        ASSERT_TRUE(plain.OpenFile(path));
        ASSERT_TRUE(tallied.CallTally());
        EXPECT_FALSE(plain.CallTally());
        // Most lines are taken, those of three and four alleles too.
        uint64_t taken = 0, multi = 0;
        for (uint64_t v = 0; v < tallied.NVariants(); ++v) {
          const uint64_t line = tallied.VariantItem(v);
          if (tallied.CallTally()->Kind(line) != TVcfTallyKind::Read) ++taken;
          if (tallied.CallTally()->NAlleles(line) > 2) ++multi;
        }
        EXPECT_GT(taken, 4000u);
        EXPECT_GT(multi, 500u);
        TAlleleCounts ca, cb;
        TAlleleCountInfo ia, ib;
        TDiploidCounts da, db;
        std::vector<std::string> na, nb;
        ASSERT_TRUE(GetVcfAlleleCounts(tallied, pops, all, hom, ca, 2, &ia, nullptr, &na, &da))
            << ia.Err.Msg << ia.Err.Details;
        EXPECT_FALSE(tallied.CallTally());  // used once
        ASSERT_TRUE(GetVcfAlleleCounts(plain, pops, all, hom, cb, 2, &ib, nullptr, &nb, &db));
        EXPECT_EQ(na, nb);
        ExpectSameCounts(ca, cb, da, db, ia, ib);
        const TXtrGtReport& rb = ib.Report;
        EXPECT_GT(rb.ShortLines + rb.ExtraItemLines + rb.BadAlleleCalls, 0u);
      }
    }
  }
}

// A tally is kept only for the samples it was planned for, and used only by a count with the
// plan's populations and depths.
TEST(AlleleCounts, TallyOnlyForItsSamplesPopulationsAndDepths) {
  const std::string path =
      WriteTemp("tally_small.vcf.gz",
                ToBgzf(Vcf({"a", "b"}, {"1\t5\t.\tA\tG\t.\t.\t.\tGT:DP\t0/1:9\t1/1:3"})));
  TVcfCallTallyPlan plan;
  plan.SampleNames = {"a", "c"};
  plan.Rows = {0, 1};
  plan.NPops = 2;
  TVCFFile f;
  f.PlanCallTally(plan);
  ASSERT_TRUE(f.OpenFile(path));
  EXPECT_FALSE(f.CallTally());
  plan.SampleNames = {"a", "b"};
  f.PlanCallTally(plan);
  ASSERT_TRUE(f.OpenFile(path));
  ASSERT_TRUE(f.CallTally());
  TAlleleCounts ac;
  ASSERT_TRUE(GetVcfAlleleCounts(f, {0, 0}, 0, 0, ac, 2));  // other populations: read
  EXPECT_TRUE(f.CallTally());
  ASSERT_TRUE(GetVcfAlleleCounts(f, {0, 1}, 2, 10, ac, 2));  // other depths: read
  EXPECT_TRUE(f.CallTally());
  EXPECT_EQ(Pop(ac, 1, 0), (TU{0, 1}));
  ASSERT_TRUE(GetVcfAlleleCounts(f, {4, 7}, 0, 0, ac, 2));  // the plan's, renumbered
  EXPECT_FALSE(f.CallTally());
  EXPECT_EQ(Pop(ac, 0, 0), (TU{1, 1}));
  EXPECT_EQ(Pop(ac, 1, 0), (TU{0, 2}));
}

}  // namespace
