// Distance matrices, the genotype score, matrix files and the pairwise SNP distance, checked
// against hand-worked values, an independent Python computation and a plain per-pair count.
#include "popgen/korDist.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fileaccess/korFileIO.h"
#include "vcf/bioVCF.h"

namespace {

constexpr uint32_t M = 0xFFFFFFFFu;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/dist/" + name; }

TEST(SymDist, LayoutAndAccess) {
  TSymDist d(4, 7);
  EXPECT_EQ(d.nDistElements(), 10u);
  EXPECT_EQ(d.PwComparisons(), 6u);
  EXPECT_EQ(d.IdOfs(), 6u);
  d.SetDist(3, 2, 1.5);
  EXPECT_EQ(d.GetElement(5), 1.5);
  EXPECT_EQ(d.GetDist(2, 3), 1.5);
  EXPECT_TRUE(std::isnan(d.GetDist(4, 0)));
  EXPECT_TRUE(std::isnan(d.GetElement(10)));
  d.SetDist(4, 0, 9);  // ignored
  uint32_t i, j;
  TSymDist::DistID2PW(5, 6, i, j);
  EXPECT_EQ(std::make_pair(i, j), std::make_pair(3u, 2u));
  TSymDist::DistID2PW(7, 6, i, j);
  EXPECT_EQ(std::make_pair(i, j), std::make_pair(1u, 1u));
  // Rows far beyond 2^32 positions land exactly.
  const uint64_t big = 3000000000ull;
  TSymDist::DistID2PW(big * (big - 1) / 2 + 5, ~uint64_t(0), i, j);
  EXPECT_EQ(std::make_pair(uint64_t(i), j), std::make_pair(big, 5u));
  TSymDist::DistID2PW(big * (big - 1) / 2 - 1, ~uint64_t(0), i, j);
  EXPECT_EQ(std::make_pair(uint64_t(i), uint64_t(j)), std::make_pair(big - 1, big - 2));
  d.SetNames({"a", "b", "c", "d", "e"});
  EXPECT_TRUE(d.GetNames().empty());
  TSymDist eq(5, 0.25);
  EXPECT_EQ(eq.GetMinPWDistID(), 9u);
  std::vector<TPairD> pairs;
  d.FindAllValuePairs(7, pairs, false);
  EXPECT_EQ(pairs, (std::vector<TPairD>{{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}}));
  EXPECT_EQ(TSymDist::CreateFromArray({{0, 9}, {0.5, 0}})->GetDist(0, 1), 0.5);
  EXPECT_EQ(TSymDist::CreateFromArray({{0, 1}})->nItems(), 0u);
}

TEST(SymDist, GenotypeScoreTable) {
  struct TCase {
    uint32_t a[2], b[2];
    double score;
  };
  const TCase cases[] = {
      {{0, 0}, {1, 1}, 1}, {{0, 1}, {1, 1}, 0.5}, {{0, 1}, {1, 0}, 0},   {{M, M}, {0, 0}, -1},
      {{1, M}, {0, 0}, 1}, {{1, M}, {1, 1}, 0},   {{M, 1}, {0, 1}, 0.5}, {{1, M}, {0, M}, 1},
      {{0, M}, {M, 0}, 0}, {{0, 2}, {1, 1}, 0},   {{0, 2}, {2, 2}, 1},   {{1, 1}, {M, M}, -1},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(dist_gt_score_valid_exclude_MD(c.a, c.b), c.score) << c.a[0] << "/" << c.a[1];
    EXPECT_EQ(dist_gt_score_valid_exclude_MD(c.b, c.a), c.score);
  }
}

std::unique_ptr<TSymDist> Compute(TVCFFile& f, uint32_t minDp, uint32_t minDpHom,
                                  TPwDistStats* statsOut = nullptr, unsigned threads = 1) {
  std::unique_ptr<TSymDist> d;
  TPwDistStats st;
  const TZelErr err =
      PW_SNPDist_Diploid_Unweighted_AsDist(f, minDp, minDpHom, threads, nullptr, d, st);
  EXPECT_FALSE(err) << err.Msg << ": " << err.Details;
  if (statsOut) *statsOut = st;
  return d;
}

// four.vcf: five usable SNPs (an indel, a triallelic and a monomorphic site are left out); a
// haploid call, half-missing calls, a missing DP, an unreadable DP ("abc"), a phased call.
// The expected values come from the score table evaluated per pair in Python. By hand, S2 vs
// S1 without masking: 0.5 + 0 + 1 (0/0 vs haploid 1) + 0 + 1 (0/. vs 1/.) over 5 loci = 0.5.
// With minDP 2/10: S4's 1/1 at DP 5 still scores 1 against S3's 0/0 at position 200.
TEST(PwDist, HandWorkedFixture) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(Data("four.vcf")));
  const double x = std::nan("");
  struct TCase {
    uint32_t MinDp, MinDpHom;
    std::vector<double> Lower;  // (1,0) (2,0) (2,1) (3,0) (3,1) (3,2)
  };
  const TCase cases[] = {
      {0, 0, {0.5, 0.6, 0.5, 2.0 / 3, 2.0 / 3, 2.0 / 3}},
      {2, 10, {0.5, 0.8333333333333334, 0.5, 0.5, 0.75, 0.75}},
      {2, 0, {0.5, 0.8333333333333334, 0.5, 0.5, 0.75, 0.75}},
      {31, 0, {x, x, x, x, x, x}},
  };
  for (const TCase& c : cases) {
    TPwDistStats st;
    auto d = Compute(f, c.MinDp, c.MinDpHom, &st);
    ASSERT_TRUE(d);
    EXPECT_EQ(st.UsedSnps, 5u);
    EXPECT_EQ(d->GetNames(), (std::vector<std::string>{"S1", "S2", "S3", "S4"}));
    for (uint64_t p = 0; p < 6; ++p) {
      if (std::isnan(c.Lower[p]))
        EXPECT_TRUE(std::isnan(d->GetElement(p))) << p;
      else
        EXPECT_EQ(d->GetElement(p), c.Lower[p]) << "minDP " << c.MinDp << " position " << p;
    }
    EXPECT_EQ(st.NAPairs, std::isnan(c.Lower[0]) ? 6u : 0u);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(d->GetDist(i, i), 0.0);
  }
}

std::string VcfText(uint32_t n, const std::vector<std::string>& rows) {
  std::string t = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (uint32_t s = 0; s < n; ++s) t += "\ts" + std::to_string(s);
  t += "\n";
  uint32_t pos = 1;
  for (const std::string& r : rows) t += "1\t" + std::to_string(pos++) + "\t.\t" + r + "\n";
  return t;
}

// The bit-plane sums against a plain evaluation of the score for every pair and locus, on
// random calls over more than one block of loci and more than one tile of samples, with one
// and with two threads, with and without depth masking.
TEST(PwDist, EqualsPlainPerPairScoresOnRandomCalls) {
  const uint32_t n = 70, nv = 4200;
  // The first seven are the common form; a line drawn from them alone is read in one pass.
  const char* gts[] = {"0/0", "0/1", "1/1", "./.", "0/.", "./1", "1|0", "1", "0", "."};
  uint64_t x = 7;
  auto rnd = [&](uint32_t k) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t((x >> 33) % k);
  };
  std::vector<std::string> rows;
  for (uint32_t v = 0; v < nv; ++v) {
    std::string r = rnd(20) == 0 ? "A\tC,G\t.\t.\t.\tGT:DP" : "A\tG\t.\t.\t.\tGT:DP";
    const uint32_t kinds = v % 2 ? 7 : 10;
    for (uint32_t s = 0; s < n; ++s)
      r += std::string("\t") + gts[rnd(kinds)] + ":" + std::to_string(rnd(6));
    rows.push_back(r);
  }
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(VcfText(n, rows)));
  for (uint32_t minDp : {0u, 3u}) {
    std::vector<double> sum(n * n, 0);
    std::vector<uint64_t> cnt(n * n, 0);
    std::vector<uint32_t> sal(2 * n), pl(n);
    std::vector<std::string> tags{"DP"};
    std::vector<TXtrFmtFuncParam> dp(1);
    dp[0].MakeAndAlloc(xtUInt32, n, {0, 0, 0, 0});
    for (uint32_t v = 0; v < nv; ++v) {
      if (!f.IsBiallelic(v)) continue;
      ASSERT_EQ(
          f.XtrGenotypeAndKeysMem(v, 2, nullptr, sal.data(), pl.data(), true, nullptr, tags, dp),
          xtrOK);
      for (uint32_t s = 0; s < n; ++s)
        if (minDp && dp[0].Value<uint32_t>(s) < minDp) sal[2 * s] = sal[2 * s + 1] = M;
      for (uint32_t i = 0; i < n; ++i)
        for (uint32_t j = 0; j < i; ++j) {
          const double sc = dist_gt_score_valid_exclude_MD(&sal[2 * i], &sal[2 * j]);
          if (sc < 0) continue;
          sum[i * n + j] += sc;
          ++cnt[i * n + j];
        }
    }
    for (unsigned threads : {1u, 2u}) {
      auto d = Compute(f, minDp, 0, nullptr, threads);
      ASSERT_TRUE(d);
      uint64_t bad = 0;
      for (uint32_t i = 0; i < n; ++i)
        for (uint32_t j = 0; j < i; ++j) {
          const double want = cnt[i * n + j] ? sum[i * n + j] / double(cnt[i * n + j]) : NAN;
          const double got = d->GetDist(i, j);
          if (!(got == want || (std::isnan(got) && std::isnan(want)))) ++bad;
        }
      EXPECT_EQ(bad, 0u) << "minDP " << minDp << ", threads " << threads;
    }
  }
}

TEST(PwDist, PairWithoutJointlyScoredLocusIsNaN) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(
      VcfText(3, {"A\tG\t.\t.\t.\tGT\t0/0\t./.\t1/1", "A\tG\t.\t.\t.\tGT\t./.\t0/1\t1/1"})));
  TPwDistStats st;
  auto d = Compute(f, 0, 0, &st);
  ASSERT_TRUE(d);
  EXPECT_TRUE(std::isnan(d->GetDist(1, 0)));
  EXPECT_EQ(d->GetDist(2, 0), 1.0);
  EXPECT_EQ(d->GetDist(2, 1), 0.5);
  EXPECT_EQ(st.NAPairs, 1u);
  TPairD p;
  ASSERT_TRUE(d->FindNAPair(p));
  EXPECT_EQ(p, (TPairD{1, 0}));
}

TEST(PwDist, NoUsableSnpAndGenotypeErrors) {
  TVCFFile f;
  ASSERT_TRUE(
      f.OpenText(VcfText(2, {"AT\tA\t.\t.\t.\tGT\t0/0\t1/1", "A\tG\t.\t.\t.\tGT\t0/0\t1/1"})));
  f.ClearSelection(false);
  f.SetSelected(0, true);  // only the indel
  TPwDistStats st;
  auto d = Compute(f, 0, 0, &st);
  EXPECT_EQ(st.UsedSnps, 0u);

  TVCFFile g;
  ASSERT_TRUE(
      g.OpenText(VcfText(2, {"A\tG\t.\t.\t.\tGT\t0/0\t1/1", "A\tG\t.\t.\t.\tGT\t0/0/1\t1/1"})));
  std::unique_ptr<TSymDist> out;
  const TZelErr err = PW_SNPDist_Diploid_Unweighted_AsDist(g, 0, 0, 1, nullptr, out, st);
  EXPECT_EQ(err.Sender, "PW_SNPDist_Diploid_Unweighted");
  EXPECT_EQ(err.Msg, "No valid GT tag found");
  EXPECT_EQ(err.Details, "Input seen: <1\t2\t.\tA\tG\t.\t.\t.\tGT\t0/0/1\t1/1>");
  EXPECT_FALSE(out);
}

// ---------------------------------------------------------------- matrix files

TEST(DistFile, WritesThePackedLayoutAndReadsItBack) {
  TSymDist d(3, 0);
  d.SetDist(1, 0, 0.25);
  d.SetDist(2, 0, 1.0 / 3);
  d.SetDist(2, 1, std::nan(""));
  d.SetNames({"A", "B", "C"});
  const auto lines = DistFileLines(d);
  ASSERT_EQ(lines.size(), 2u);
  std::string text = lines[0] + "\r\n" + lines[1] + "\r\n";
  EXPECT_EQ(text,
            "A\tB\tC\r\n0.000000000\t\r\n0.250000000\t0.000000000\t\r\n"
            "0.333333333\tNA\t0.000000000\t\r\n\r\n");
  for (bool lf : {false, true}) {
    std::string t = text;
    if (lf)
      for (size_t p; (p = t.find('\r')) != std::string::npos;) t.erase(p, 1);
    TDistFileRead r;
    ASSERT_FALSE(ReadDistText(t, "m", r));
    ASSERT_TRUE(r.Dist);
    EXPECT_EQ(r.Dist->GetNames(), d.GetNames());
    EXPECT_EQ(r.Dist->GetDist(1, 0), 0.25);
    EXPECT_EQ(r.Dist->GetDist(2, 0), 0.333333333);
    EXPECT_TRUE(std::isnan(r.Dist->GetDist(2, 1)));
    EXPECT_TRUE(r.Warnings.empty());
  }
}

// Cells are read as from_chars reads them, whatever their form: nine decimals as written here,
// long or short digit runs, exponents, leading zeros, a lone point on either side.
TEST(DistFile, CellsReadAsFromChars) {
  const char* fixedForms[] = {
      "5.",   ".5",    "007.50",     "123456789012345", "1234567890123456", "0.1234567890123456789",
      "1e-3", "2.5E2", "0.000000001"};
  uint64_t x = 7;
  auto unit = [&] {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return double(x >> 11) / double(1ull << 53);
  };
  const uint32_t n = 60;
  std::string text;
  for (uint32_t i = 0; i < n; ++i) text += "i" + std::to_string(i) + (i + 1 < n ? "\t" : "\n");
  std::vector<std::string> cells;
  for (uint32_t r = 0; r < n; ++r) {
    for (uint32_t c = 0; c < r; ++c) {
      char buf[64];
      const double u = unit() * (c % 3 == 0 ? 1000 : 1);
      const uint32_t k = (r * 31 + c) % 12;
      if (k < std::size(fixedForms))
        std::snprintf(buf, sizeof buf, "%s", fixedForms[k]);
      else
        std::snprintf(buf, sizeof buf, k == 9 ? "%.9f" : k == 10 ? "%.17g" : "%.3f", u);
      cells.push_back(buf);
      text += cells.back() + "\t";
    }
    text += "0\t\n";
  }
  TDistFileRead rd;
  ASSERT_FALSE(ReadDistText(text, "m", rd));
  ASSERT_TRUE(rd.Dist);
  size_t k = 0;
  for (uint32_t r = 0; r < n; ++r)
    for (uint32_t c = 0; c < r; ++c, ++k) {
      double want = 0;
      const std::string& t = cells[k];
      std::from_chars(t.data(), t.data() + t.size(), want);
      EXPECT_EQ(rd.Dist->GetDist(r, c), want) << t;
    }
}

TEST(DistFile, MalformedFilesAreErrorsNamingTheLine) {
  const std::string h = "A\tB\tC\r\n";
  const std::string r1 = "0.000000000\t\r\n", r2 = "0.5\t0.000000000\t\r\n";
  struct TCase {
    std::string Text, Msg;
    int Line;
  };
  const TCase cases[] = {
      {"", "Distance matrix without item names", 1},
      {"\r\n" + r1, "Distance matrix without item names", 1},
      {"A\t\tC\r\n", "Distance matrix item name missing", 1},
      {h + r1 + r2, "Distance matrix ends before row 3 of 3", 4},
      {h + r1 + r2 + "0.1\t0.2\t\r\n", "Distance matrix row has 2 cells instead of 3", 4},
      {h + r1 + r2 + "0.1\t0.2\t0\t0\t\r\n", "Distance matrix row has more than 3 cells", 4},
      {h + r1 + r2 + "0.1\t0.2\t0",
       "Distance matrix row does not end with a tab after its last cell", 4},
      {h + r1 + "0.5x\t0\t\r\n" + r1, "Distance matrix cell 1 is not a number: \"0.5x\"", 3},
      {h + r1 + "0,5\t0\t\r\n" + r1, "Distance matrix cell 1 is not a number: \"0,5\"", 3},
      {h + r1 + "\t0\t\r\n" + r1, "Distance matrix cell 1 is not a number: \"\"", 3},
      {h + r1 + "-0.5\t0\t\r\n" + r1, "Distance matrix cell 1 is negative", 3},
      {h + r1 + "inf\t0\t\r\n" + r1, "Distance matrix cell 1 is not a finite number", 3},
      {h + r1 + r2 + "0.1\t0.2\t0.3\t\r\n", "Distance matrix diagonal is not 0", 4},
      {h + "NA\t\r\n" + r2 + r1, "Distance matrix diagonal is not 0", 2},
      {h + r1 + r2 + "0.1\t0.2\t0\t\r\n\r\n0.1\t\r\n", "Text after the last distance matrix row",
       6},
  };
  for (const TCase& c : cases) {
    TDistFileRead r;
    const TZelErr err = ReadDistText(c.Text, "m.tsv", r);
    EXPECT_EQ(err.Sender, "U");
    EXPECT_EQ(err.Msg, c.Msg) << c.Text;
    EXPECT_EQ(err.Details, "m.tsv, line " + std::to_string(c.Line)) << c.Text;
    EXPECT_FALSE(r.Dist);
  }
  // A names line asking for a huge matrix is refused before anything is allocated.
  std::string many;
  for (int k = 0; k < 200000; ++k) many += "n" + std::to_string(k) + "\t";
  many.back() = '\n';
  TDistFileRead r;
  EXPECT_EQ(ReadDistText(many + "0\t\n", "m", r).Msg,
            "Distance matrix ends before row 2 of 200000");
}

TEST(DistFile, RepeatedNamesAreReadWithAWarning) {
  TDistFileRead r;
  ASSERT_FALSE(ReadDistText("A\tA\n0\t\n1\t0\t\n\n", "m", r));
  ASSERT_EQ(r.Warnings.size(), 1u);
  EXPECT_EQ(r.Warnings[0], "Distance matrix names \"A\" more than once (m, line 1)");
  EXPECT_EQ(r.Dist->GetDist(1, 0), 1.0);
}

}  // namespace
