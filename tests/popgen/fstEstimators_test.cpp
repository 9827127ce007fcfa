// Weir & Cockerham and Hudson F_ST from hand-made diploid counts, the windows along the
// chromosomes, the genome-wide figures and the block jackknife, checked against figures
// worked out by hand.
#include "popgen/fstEstimators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Biallelic loci of nPop populations, every call diploid: per locus and population the
// numbers of 0/0, 0/1 and 1/1 calls.
struct TGeno {
  uint32_t Hom0, Het, Hom1;
};

void MakeCounts(const std::vector<std::vector<TGeno>>& loci, TAlleleCounts& ac,
                TDiploidCounts& dc) {
  ac.Clear();
  dc = TDiploidCounts();
  ac.nPop = uint32_t(loci.at(0).size());
  ac.nLoc = loci.size();
  ac.nAllelesPerPop.assign(ac.nPop, 0);
  ac.LocOfs.assign(1, 0);
  for (const auto& loc : loci) {
    ac.LocOfs.push_back(ac.LocOfs.back() + 2);
    for (const TGeno& g : loc) {
      const uint32_t c0 = 2 * g.Hom0 + g.Het, c1 = 2 * g.Hom1 + g.Het;
      ac.ac_pop.insert(ac.ac_pop.end(), {c0, c1});
      dc.al_pop.insert(dc.al_pop.end(), {c0, c1});
      dc.het_pop.insert(dc.het_pop.end(), {g.Het, g.Het});
    }
  }
  ac.Selection.Make(ac.nLoc, true);
  ac.nSelLoc = ac.nLoc;
}

TFstLocusParts Parts(const std::vector<double>& num, const std::vector<double>& den) {
  TFstLocusParts p;
  p.Num = num;
  p.Den = den;
  for (size_t i = 0; i < num.size(); ++i)
    p.Value.push_back(den[i] != 0 && std::isfinite(den[i]) ? num[i] / den[i] : std::nan(""));
  return p;
}

// Pop 0: 0/0 0/1 (p = .75 of allele 0, n = 4 alleles); pop 1: 1/1 0/1 (p = .25).
// Hudson: N = (.75 - .25)^2 - .1875/3 - .1875/3 = .125, D = .75 * .75 + .25 * .25 = .625,
// F_ST = .2.
// Weir & Cockerham, allele 0 (r = 2, n = 2 each, n_c = 2, p_bar = .5, h_bar = .5,
// s^2 = (2 * .0625 + 2 * .0625) / 2 = .125):
//   a = n/n_c (s^2 - (p_bar(1-p_bar) - (r-1)/r s^2 - h_bar/4) / (n-1))
//     = .125 - (.25 - .0625 - .125) = .0625
//   b = n/(n-1) (p_bar(1-p_bar) - (r-1)/r s^2 - (2n-1)/(4n) h_bar) = 2 (.25 - .0625 - .1875) = 0
//   c = h_bar / 2 = .25; allele 1 alike: theta = .125 / .625 = .2.
TEST(FstEstimators, HandComputedLocusGivesBothEstimators) {
  TAlleleCounts ac;
  TDiploidCounts dc;
  MakeCounts({{{1, 1, 0}, {0, 1, 1}}}, ac, dc);
  TFstLocusParts h, w;
  HudsonFstParts(ac, dc, h);
  ASSERT_EQ(h.Size(), 1u);
  EXPECT_NEAR(h.Num[0], 0.125, 1e-12);
  EXPECT_NEAR(h.Den[0], 0.625, 1e-12);
  EXPECT_NEAR(h.Value[0], 0.2, 1e-12);
  WcFstParts(ac, dc, w);
  ASSERT_EQ(w.Size(), 1u);
  EXPECT_NEAR(w.Num[0], 0.125, 1e-12);
  EXPECT_NEAR(w.Den[0], 0.625, 1e-12);
  EXPECT_NEAR(w.Value[0], 0.2, 1e-12);
}

// Monomorphic loci have a zero denominator, a population without diploid calls leaves too
// little data: no value, and left out of the sums, whatever the estimator.
TEST(FstEstimators, UndefinedLociAreLeftOutOfTheSums) {
  TAlleleCounts ac;
  TDiploidCounts dc;
  MakeCounts({{{1, 1, 0}, {0, 1, 1}}, {{2, 0, 0}, {2, 0, 0}}, {{2, 0, 0}, {0, 0, 0}}}, ac, dc);
  for (bool hudson : {true, false}) {
    TFstLocusParts p;
    if (hudson)
      HudsonFstParts(ac, dc, p);
    else
      WcFstParts(ac, dc, p);
    ASSERT_EQ(p.Size(), 3u);
    EXPECT_TRUE(p.Defined(0));
    EXPECT_FALSE(p.Defined(1)) << hudson;
    EXPECT_TRUE(std::isnan(p.Value[1]));
    EXPECT_FALSE(p.Defined(2)) << hudson;
    const TFstSummary s = SummariseFst(p, 100);
    EXPECT_EQ(s.Loci, 1u);
    EXPECT_NEAR(s.Weighted, p.Value[0], 1e-12);
    EXPECT_NEAR(s.Mean, p.Value[0], 1e-12);
    EXPECT_TRUE(std::isnan(s.SeWeighted));  // one block with data
    EXPECT_TRUE(std::isnan(s.SeMean));
  }
  const std::vector<std::string> lines = ReportFstPartsStr(
      Parts({0.125, 0, std::nan("")}, {0.625, 0, std::nan("")}), {"c\t1", "c\t2", "c\t3"});
  EXPECT_EQ(lines,
            (std::vector<std::string>{"Chr\tPos\tNumerator\tDenominator\tFst",
                                      "c\t1\t0.12500000\t0.62500000\t0.20000000",
                                      "c\t2\t0.00000000\t0.00000000\tNA", "c\t3\tNA\tNA\tNA"}));
}

// chr1: 10 (1/4), 20 (1/2), 35 (undefined), 90 (3/4); chr2: 5 (1/1).
TEST(FstEstimators, WindowsAreRatiosOfSumsWithEmptyWindowsNA) {
  const std::vector<std::string> names = {"chr1\t10", "chr1\t20", "chr1\t35", "chr1\t90",
                                          "chr2\t5"};
  const TFstLocusParts p = Parts({1, 1, 1, 3, 1}, {4, 2, 0, 4, 1});
  struct TCase {
    uint64_t Size, Step;
    std::vector<std::string> Lines;
  };
  const std::vector<TCase> cases = {
      {30,
       30,
       {"Chr\tStart\tEnd\tLoci\tFst", "chr1\t1\t30\t2\t0.33333333", "chr1\t31\t60\t0\tNA",
        "chr1\t61\t90\t1\t0.75000000", "chr2\t1\t30\t1\t1.00000000"}},
      // Overlapping windows: [1,40] holds 10, 20 (and the undefined 35), [21,60] only the
      // undefined 35, [41,80] nothing, [61,100] 90, [81,120] 90.
      {40,
       20,
       {"Chr\tStart\tEnd\tLoci\tFst", "chr1\t1\t40\t2\t0.33333333", "chr1\t21\t60\t0\tNA",
        "chr1\t41\t80\t0\tNA", "chr1\t61\t100\t1\t0.75000000", "chr1\t81\t120\t1\t0.75000000",
        "chr2\t1\t40\t1\t1.00000000"}},
  };
  for (const TCase& c : cases) {
    std::vector<TFstWindow> w;
    ASSERT_TRUE(FstWindows(names, p, c.Size, c.Step, w));
    EXPECT_EQ(ReportFstWindowsStr(w), c.Lines) << c.Size << "/" << c.Step;
  }
  std::vector<TFstWindow> w;
  EXPECT_FALSE(FstWindows(names, p, 0, 10, w));
  EXPECT_FALSE(FstWindows({"chr1\t10"}, p, 10, 10, w));
}

TEST(FstEstimators, IdenticalBlocksGiveStandardErrorZero) {
  std::vector<double> num, den;
  for (int b = 0; b < 4; ++b)
    for (double x : {0.1, 0.3, 0.05}) {
      num.push_back(x);
      den.push_back(0.5);
    }
  const TFstSummary s = SummariseFst(Parts(num, den), 4);
  EXPECT_EQ(s.Loci, 12u);
  EXPECT_NEAR(s.Weighted, 0.45 / 1.5, 1e-12);
  EXPECT_DOUBLE_EQ(s.SeWeighted, 0);
  EXPECT_DOUBLE_EQ(s.SeMean, 0);
}

// Six loci in three blocks of two: (1/2, 1/2), (2/4, 0/4) and (3/3, 1/1).
// Sums: num 8, den 16, values .5 .5 .5 0 1 1 (sum 3.5).
// Without block 0: 6/12 = .5, mean 2.5/4 = .625; without block 1: 6/8 = .75, mean 3/4 = .75;
// without block 2: 4/12 = 1/3, mean 1.5/4 = .375.
// SE = sqrt(2/3 * sum (x - mean x)^2).
TEST(FstEstimators, LeavingOutABlockGivesTheHandComputedEstimates) {
  const TFstLocusParts p = Parts({1, 1, 2, 0, 3, 1}, {2, 2, 4, 4, 3, 1});
  const TFstJackknife jk = FstJackknife(p, 3);
  ASSERT_EQ(jk.LooWeighted.size(), 3u);
  EXPECT_NEAR(jk.LooWeighted[0], 0.5, 1e-12);
  EXPECT_NEAR(jk.LooWeighted[1], 0.75, 1e-12);
  EXPECT_NEAR(jk.LooWeighted[2], 1.0 / 3.0, 1e-12);
  EXPECT_NEAR(jk.LooMean[0], 0.625, 1e-12);
  EXPECT_NEAR(jk.LooMean[1], 0.75, 1e-12);
  EXPECT_NEAR(jk.LooMean[2], 0.375, 1e-12);
  auto se = [](std::vector<double> x) {
    const double m = (x[0] + x[1] + x[2]) / 3;
    double ss = 0;
    for (double v : x) ss += (v - m) * (v - m);
    return std::sqrt(2.0 / 3.0 * ss);
  };
  const TFstSummary s = SummariseFst(p, 3);
  EXPECT_NEAR(s.Weighted, 0.5, 1e-12);
  EXPECT_NEAR(s.Mean, 3.5 / 6, 1e-12);
  EXPECT_NEAR(s.SeWeighted, se({0.5, 0.75, 1.0 / 3.0}), 1e-12);
  EXPECT_NEAR(s.SeMean, se({0.625, 0.75, 0.375}), 1e-12);
  // More blocks than loci: one locus a block; one block only: no standard error.
  EXPECT_EQ(FstJackknife(p, 100).LooWeighted.size(), 6u);
  EXPECT_TRUE(std::isnan(SummariseFst(p, 1).SeWeighted));
  EXPECT_TRUE(std::isnan(JackknifeSE({})));
}

TEST(FstEstimators, NamesRoundTrip) {
  for (TFstEstimator e : {fstNei, fstWC, fstHudson}) {
    TFstEstimator back = fstNei;
    ASSERT_TRUE(FstEstimatorFromName(FstEstimatorName(e), back));
    EXPECT_EQ(back, e);
  }
  TFstEstimator e = fstWC;
  EXPECT_FALSE(FstEstimatorFromName("WC", e));
  EXPECT_EQ(e, fstWC);
}

}  // namespace

namespace {

// The pair filter on the counts of all populations passes what the filter passes on the
// pair's own counts.
TEST(FstEstimators, PairFilterAgreesWithTheFilterOnPairCounts) {
  TAlleleCounts ac;
  TDiploidCounts dc;
  MakeCounts({{{1, 1, 0}, {0, 0, 0}, {2, 0, 1}},
              {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}},
              {{3, 0, 0}, {0, 2, 0}, {0, 0, 0}},
              {{0, 1, 0}, {1, 0, 0}, {0, 1, 0}}},
             ac, dc);
  for (uint32_t minObs : {1u, 2u, 3u})
    for (uint32_t minPops : {1u, 2u})
      for (auto [p0, p1] : {std::pair{0u, 1u}, {0u, 2u}, {2u, 1u}}) {
        TAlleleCounts pair;
        PairAlleleCounts(ac, p0, p1, pair);
        const uint64_t want = FilterAndTallyAlleleCounts(pair, minObs, minPops, 2);
        TBitField pass;
        EXPECT_EQ(PairLocusFilter(ac, p0, p1, minObs, minPops, 2, pass), want);
        for (uint64_t j = 0; j < ac.nLoc; ++j)
          EXPECT_EQ(pass.GetFieldBit(j), pair.Selection.GetFieldBit(j))
              << minObs << " " << minPops << " " << p0 << p1 << " locus " << j;
      }
}

}  // namespace
