// zelcli fst --estimator wc/hudson against the stored outputs of vcftools --weir-fst-pop and
// plink2 --fst method=hudson on the generated peers.vcf (and against the live tools when they
// are installed), the windows and summary of the hand-computed fixture, the count of skipped
// one-allele calls and the refused runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

std::string Fst(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/fst/" + name; }
std::string Peer(const std::string& name) { return Fst("peers/" + name); }

using TRows = std::vector<std::vector<std::string>>;

// Tab-separated rows of a file (CR dropped), header included.
TRows ReadRows(const fs::path& p) {
  TRows rows;
  std::istringstream in(CliReadFile(p));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string>& row = rows.emplace_back();
    size_t b = 0;
    for (size_t e; (e = line.find('\t', b)) != std::string::npos; b = e + 1)
      row.push_back(line.substr(b, e - b));
    row.push_back(line.substr(b));
  }
  return rows;
}

bool IsNaText(const std::string& s) { return s == "NA" || s == "nan" || s == "-nan"; }

// Per "chrom:pos": the value in column col of the data rows; plink2 writes "1" for "chr1".
std::map<std::string, std::string> ByLocus(const TRows& rows, size_t col, bool plinkChrom) {
  std::map<std::string, std::string> m;
  for (size_t i = 1; i < rows.size(); ++i) {
    const std::string chr = plinkChrom ? "chr" + rows[i][0] : rows[i][0];
    m[chr + ":" + rows[i][1]] = rows[i][col];
  }
  return m;
}

// "Weir and Cockerham mean Fst estimate: X" and the weighted line of a stored vcftools log.
double LogFigure(const std::string& log, const std::string& kind) {
  const std::string key = "Weir and Cockerham " + kind + " Fst estimate: ";
  const size_t at = log.find(key);
  return at == std::string::npos ? std::nan("") : std::stod(log.substr(at + key.size()));
}

class FstEstimatorsCli : public ::testing::Test {
 protected:
  TTmpDir Tmp;
  const fs::path& Dir = Tmp.Dir;
  std::string Out() const { return (Dir / "out").string() + "/"; }
  // zelcli fst on peers.vcf with every call counted (no depth, any number of populations and
  // alleles), as the peer tools do.
  TCliRun RunPeers(const std::string& estimator, bool pairwise) const {
    std::vector<std::string> args = {"fst",          Peer("peers.vcf"),
                                     "--popmap",     Peer("peers.popmap"),
                                     "--estimator",  estimator,
                                     "--min-dp",     "0",
                                     "--min-dp-hom", "0",
                                     "--min-obs",    "1",
                                     "--min-pops",   "1",
                                     "--max-states", "3",
                                     "--out",        Out()};
    if (pairwise) args.push_back("--pairwise");
    return RunZelcli(args);
  }
};

// Every locus vcftools gives a value has the same value here (vcftools writes 6 significant
// digits); vcftools' weighted and mean figures (5 significant digits in its log) equal the
// summary's, and the mean of vcftools' own per-locus values equals ours to 1e-6.
TEST_F(FstEstimatorsCli, WcEqualsVcftoolsPerLocusWeightedAndMean) {
  struct TCase {
    bool Pairwise;
    std::string Desc, PeerName;
  };
  const std::vector<TCase> cases = {{false, "global", "wc_global"},
                                    {true, "popB-popA", "wc_popB-popA"},
                                    {true, "popC-popA", "wc_popC-popA"},
                                    {true, "popC-popB", "wc_popC-popB"}};
  for (bool pairwise : {false, true}) {
    fs::remove_all(Dir / "out");
    const TCliRun r = RunPeers("wc", pairwise);
    ASSERT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("skipped by the wc estimator: 0\n"), std::string::npos) << r.Out;
    const TRows summary = ReadRows(Dir / "out" / "fst_wc_summary.tsv");
    ASSERT_EQ(summary.at(0), (std::vector<std::string>{"Pair", "Loci", "Weighted", "Mean",
                                                       "SE_Weighted", "SE_Mean"}));
    for (const TCase& c : cases) {
      if (c.Pairwise != pairwise) continue;
      const auto ours = ByLocus(ReadRows(Dir / "out" / ("fst_wc_" + c.Desc + ".tsv")), 4, false);
      const auto theirs = ByLocus(ReadRows(Peer(c.PeerName + ".weir.fst")), 2, false);
      double sum = 0;
      size_t n = 0;
      for (const auto& [locus, v] : theirs) {
        if (IsNaText(v)) {
          EXPECT_TRUE(!ours.count(locus) || ours.at(locus) == "NA") << c.Desc << " " << locus;
          continue;
        }
        ASSERT_TRUE(ours.count(locus)) << c.Desc << " " << locus;
        EXPECT_NEAR(std::stod(ours.at(locus)), std::stod(v), 1e-6) << c.Desc << " " << locus;
        sum += std::stod(v);
        ++n;
      }
      EXPECT_GT(n, 100u);
      const auto row = std::find_if(summary.begin(), summary.end(),
                                    [&](const auto& x) { return x[0] == c.Desc; });
      ASSERT_NE(row, summary.end()) << c.Desc;
      EXPECT_EQ((*row)[1], std::to_string(n));
      const std::string log = CliReadFile(Peer(c.PeerName + ".weir.log"));
      EXPECT_NEAR(std::stod((*row)[2]), LogFigure(log, "weighted"), 5e-6) << c.Desc;
      EXPECT_NEAR(std::stod((*row)[3]), LogFigure(log, "mean"), 5e-6) << c.Desc;
      EXPECT_NEAR(std::stod((*row)[3]), sum / double(n), 1e-6) << c.Desc;
      EXPECT_GT(std::stod((*row)[4]), 0) << c.Desc;
    }
  }
}

// plink2's genome-wide Hudson F_ST of each pair, and its per-variant values, equal ours.
TEST_F(FstEstimatorsCli, HudsonEqualsPlink2GenomeWideAndPerLocus) {
  const TCliRun r = RunPeers("hudson", true);
  ASSERT_EQ(r.Status, 0) << r.Out;
  const TRows summary = ReadRows(Dir / "out" / "fst_hudson_summary.tsv");
  const TRows plink = ReadRows(Peer("hudson.fst.summary"));
  ASSERT_EQ(plink.size(), 4u);
  ASSERT_EQ(summary.size(), 4u);
  for (size_t i = 1; i < plink.size(); ++i) {
    // plink2 names a pair POP1 POP2 in name order; here the population met later comes first.
    const std::string desc = plink[i][1] + "-" + plink[i][0];
    const auto row =
        std::find_if(summary.begin(), summary.end(), [&](const auto& x) { return x[0] == desc; });
    ASSERT_NE(row, summary.end()) << desc;
    EXPECT_NEAR(std::stod((*row)[2]), std::stod(plink[i][2]), 1e-6) << desc;
    const auto ours = ByLocus(ReadRows(Dir / "out" / ("fst_hudson_" + desc + ".tsv")), 4, false);
    const auto theirs =
        ByLocus(ReadRows(Peer("hudson." + plink[i][0] + "." + plink[i][1] + ".fst.var")), 4, true);
    size_t n = 0;
    for (const auto& [locus, v] : theirs) {
      if (IsNaText(v)) continue;
      ASSERT_TRUE(ours.count(locus)) << desc << " " << locus;
      EXPECT_NEAR(std::stod(ours.at(locus)), std::stod(v), 1e-6) << desc << " " << locus;
      ++n;
    }
    EXPECT_GT(n, 100u);
  }
}

// With the peer tools installed, they still give the stored outputs the tests above use.
TEST_F(FstEstimatorsCli, InstalledPeersGiveTheStoredOutputs) {
  if (std::system("command -v vcftools >/dev/null 2>&1 && command -v plink2 >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "vcftools or plink2 not installed";
  fs::create_directories(Dir / "peers");
  const std::string cmd = "sh '" + Peer("run_peers.sh") + "' '" + (Dir / "peers").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(Dir / "peers")) {
    const std::string name = e.path().filename().string();
    // plink2's report carries no version or time; vcftools' lines are the figures only.
    EXPECT_EQ(CliReadFile(e.path()), CliReadFile(Peer(name))) << name;
    ++n;
  }
  EXPECT_EQ(n, 12u);
}

// hand.vcf (see fstCli_test.cpp): corrected heterozygosities, F_ST limited to 0. As parts
// (H_T - H_S over H_T): chr1:100 1/14 over 4/7, chr1:200 -2/21 over 4/7 (value 0), chr1:300
// 4/7 over 4/7, chr1:400 undefined, chr2:500 -7/30 over 3/5 (value 0).
// Windows of 250: chr1 [1,250] (-1/42)/(8/7) = -1/48, [251,500] 1 (chr1:400 has no value),
// chr2 [1,250] no locus, [251,500] -7/18.
// Genome-wide: weighted .135802469 (sum of parts), mean (.125 + 0 + 1 + 0) / 4; four loci in
// four blocks; leave-one-out figures by hand give the standard errors.
TEST_F(FstEstimatorsCli, NeiWindowsAndSummaryOfTheHandFixture) {
  const TCliRun r = RunZelcli({"fst", Fst("hand.vcf"), "--popmap", Fst("hand.popmap"), "--min-obs",
                               "1", "--min-pops", "2", "--window", "250", "--out", Out()});
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(CliReadFile(Dir / "out" / "fst_nei_window_global.tsv"),
            "Chr\tStart\tEnd\tLoci\tFst\r\n"
            "chr1\t1\t250\t2\t-0.02083333\r\n"
            "chr1\t251\t500\t1\t1.00000000\r\n"
            "chr2\t1\t250\t0\tNA\r\n"
            "chr2\t251\t500\t1\t-0.38888889\r\n");
  EXPECT_EQ(CliReadFile(Dir / "out" / "fst_nei_summary.tsv"),
            "Pair\tLoci\tWeighted\tMean\tSE_Weighted\tSE_Mean\r\n"
            "global\t4\t0.13580247\t0.28125000\t0.30477807\t0.24138813\r\n");
  EXPECT_TRUE(fs::exists(Dir / "out" / "fst_global.tsv"));

  // Without the new options the Nei run writes its four tables only.
  fs::remove_all(Dir / "out");
  ASSERT_EQ(RunZelcli({"fst", Fst("hand.vcf"), "--popmap", Fst("hand.popmap"), "--min-obs", "1",
                       "--min-pops", "2", "--out", Out()})
                .Status,
            0);
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(Dir / "out")) ++files;
  EXPECT_EQ(files, 4u);
}

// B2's 0/0 at depth 5 (below --min-dp-hom 10) keeps one allele: the only call wc skips.
// A1 ./. and B2 give chr2:500 one diploid call in A and one in B: no mean sample size
// above one individual, so no value.
TEST_F(FstEstimatorsCli, OneAlleleCallsAreCountedAndUndefinedLociAreNA) {
  const TCliRun r = RunZelcli({"fst", Fst("hand.vcf"), "--popmap", Fst("hand.popmap"), "--min-obs",
                               "1", "--min-pops", "2", "--estimator", "wc", "--jackknife-blocks",
                               "2", "--out", Out()});
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_NE(r.Out.find("F_ST estimator: wc\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("Calls with one allele (haploid, half missing, or homozygous below "
                       "minDP_hom) skipped by the wc estimator: 1\n"),
            std::string::npos)
      << r.Out;
  const TRows rows = ReadRows(Dir / "out" / "fst_wc_global.tsv");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[4], (std::vector<std::string>{"chr1", "400", "0.00000000", "0.00000000", "NA"}));
  EXPECT_EQ(rows[5], (std::vector<std::string>{"chr2", "500", "NA", "NA", "NA"}));
  const TRows summary = ReadRows(Dir / "out" / "fst_wc_summary.tsv");
  ASSERT_EQ(summary.size(), 2u);
  EXPECT_EQ(summary[1][1], "3");
  std::map<std::string, bool> names;
  for (const auto& e : fs::directory_iterator(Dir / "out")) names[e.path().filename()] = true;
  EXPECT_EQ(names.size(), 2u);
}

TEST_F(FstEstimatorsCli, RefusedRunsSayWhyAndWriteNothing) {
  struct TCase {
    std::vector<std::string> Args;
    std::string Error;
  } cases[] = {
      {{"--estimator", "hudson"},
       "ERROR [U]: The hudson estimator compares two populations: use it with pairwise F_ST "
       "(zelcli: --pairwise).\n"},
      {{"--step", "10"}, "ERROR [U]: --step needs --window.\n"},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> args = {
        "fst", Fst("hand.vcf"), "--popmap", Fst("hand.popmap"), "--min-pops", "2", "--out", Out()};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 1) << c.Error;
    EXPECT_TRUE(r.Out.ends_with(c.Error)) << r.Out;
    EXPECT_FALSE(fs::exists(Dir / "out"));
  }
  const TCliRun bad = RunZelcli({"fst", Fst("hand.vcf"), "--popmap", Fst("hand.popmap"),
                                 "--estimator", "fis", "--out", Out()});
  EXPECT_NE(bad.Status, 0);
  EXPECT_FALSE(fs::exists(Dir / "out"));
}

}  // namespace
