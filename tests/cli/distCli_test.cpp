// zelcli dist, pcoa and upgma end to end: whole outputs and files on the hand-worked fixture,
// matrices read back, and the refusals (malformed matrix, pairs without distance, no DP).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = ZEL_TEST_DATA "/dist/";

void WriteText(const std::string& fn, const std::string& text) {
  std::ofstream(fn, std::ios::binary) << text;
}

// four.vcf with the default depths 2/10 (values worked per pair in the popgen tests).
const std::string kFourMatrix =
    "S1\tS2\tS3\tS4\r\n"
    "0.000000000\t\r\n"
    "0.500000000\t0.000000000\t\r\n"
    "0.833333333\t0.500000000\t0.000000000\t\r\n"
    "0.500000000\t0.750000000\t0.750000000\t0.000000000\t\r\n"
    "\r\n";

TEST(CliDist, WritesTheMatrixFile) {
  TTmpDir t;
  const TCliRun r = RunZelcli({"dist", kData + "four.vcf", "--out", t / "m.tsv"});
  EXPECT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(r.Out,
            "Performing pairwise SNP genotype distance calculation (diploid unphased unweighted "
            "distance), ignoring missing data; minDP (all/hom)=2/10\n"
            "SNPs used: 5; samples: 4\n"
            "Saving last calculated distance to file " +
                (t / "m.tsv") + "\n");
  EXPECT_EQ(CliReadFile(t / "m.tsv"), kFourMatrix);
}

// By hand from the matrix above: S1,S2 join at 0.25; S3 is (0.8333 + 0.5)/2 = 0.6667 and S4
// (0.5 + 0.75)/2 = 0.625 from them, so S4 joins at 0.3125; S3 is then (0.75 + 2 * 0.6667)/3 =
// 0.6944 from the three: root at 0.347222.
TEST(CliDist, UpgmaFromVcfAndFromMatrixAppends) {
  TTmpDir t;
  WriteText(t / "m.tsv", kFourMatrix);
  const std::string tree =
      "(S3:0.347222,(S4:0.312500,(S1:0.250000,S2:0.250000):0.062500):0.034722);\r\n";
  TCliRun r = RunZelcli({"upgma", kData + "four.vcf", "--out", t / "tree.nwk"});
  EXPECT_EQ(r.Status, 0) << r.Out;
  r = RunZelcli({"upgma", "--matrix", t / "m.tsv", "--out", t / "tree.nwk"});
  EXPECT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(r.Out, "Loaded distance matrix of 4 items from file: " + (t / "m.tsv") + "\n");
  EXPECT_EQ(CliReadFile(t / "tree.nwk"), tree + tree);
}

std::vector<std::vector<std::string>> Table(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    EXPECT_TRUE(!line.empty() && line.back() == '\r');
    line.pop_back();
    std::vector<std::string> cells;
    std::istringstream ls(line);
    for (std::string c; std::getline(ls, c, '\t');) cells.push_back(c);
    rows.push_back(cells);
  }
  return rows;
}

TEST(CliDist, PcoaWritesCoordinatesAndEigenvalues) {
  TTmpDir t;
  // Two items at distance 1 lie at +-0.5 on one axis; the third at 0 from the first.
  WriteText(t / "m.tsv", "S1\tS2\tS3\n0\t\n1\t0\t\n0\t1\t0\t\n\n");
  const TCliRun r = RunZelcli(
      {"pcoa", "--matrix", t / "m.tsv", "--popmap", kData + "four.popmap", "--out", t / "run"});
  EXPECT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(r.Out, "Loaded distance matrix of 3 items from file: " + (t / "m.tsv") +
                       "\nLoaded population map from file: " + kData +
                       "four.popmap\nPCoA of 3 items: 1 axes with positive eigenvalues; the first "
                       "explain 100.00%\nSaved PCoA coordinates to file " +
                       (t / "run.coords.tsv") + " and eigenvalues to file " +
                       (t / "run.eigenvalues.tsv") + "\n");
  const auto c = Table(CliReadFile(t / "run.coords.tsv"));
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[0], (std::vector<std::string>{"sample", "population", "PCo1"}));
  const double want[] = {1.0 / 3, -2.0 / 3, 1.0 / 3};
  const char* pops[] = {"p1", "p1", "p2"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(c[i + 1].size(), 3u);
    EXPECT_EQ(c[i + 1][0], "S" + std::to_string(i + 1));
    EXPECT_EQ(c[i + 1][1], pops[i]);
    EXPECT_NEAR(std::stod(c[i + 1][2]), want[i], 1e-15);
  }
  const auto e = Table(CliReadFile(t / "run.eigenvalues.tsv"));
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0],
            (std::vector<std::string>{"axis", "eigenvalue", "percent", "cumulative_percent"}));
  EXPECT_EQ(e[1][0], "PCo1");
  EXPECT_NEAR(std::stod(e[1][1]), 2.0 / 3, 1e-15);
  EXPECT_EQ(e[1][2], "100.0000");
  EXPECT_EQ(e[1][3], "100.0000");
}

TEST(CliDist, PcoaFromVcfMarksUnassignedSamples) {
  TTmpDir t;
  const TCliRun r =
      RunZelcli({"pcoa", kData + "four.vcf", "--popmap", kData + "four.popmap", "--out", t / "p"});
  EXPECT_EQ(r.Status, 0) << r.Out;
  const auto c = Table(CliReadFile(t / "p.coords.tsv"));
  ASSERT_EQ(c.size(), 5u);
  EXPECT_EQ(c[4][0], "S4");
  EXPECT_EQ(c[4][1], "NA");
}

TEST(CliDist, Refusals) {
  TTmpDir t;
  WriteText(t / "short.tsv", "A\tB\tC\r\n0.000000000\t\r\n0.5\t0\t\r\n0.1\t0.2\t\r\n\r\n");
  WriteText(t / "na.tsv", "A\tB\tC\n0\t\n0.5\t0\t\n0.1\tNA\t0\t\n\n");
  struct TCase {
    std::vector<std::string> Args;
    std::string LastLine;
    int Status;
    std::string NotWritten;
  };
  const TCase cases[] = {
      {{"pcoa", "--matrix", t / "short.tsv", "--out", t / "x"},
       "ERROR [U]: Distance matrix row has 2 cells instead of 3: " + (t / "short.tsv") +
           ", line 4.",
       1,
       t / "x.coords.tsv"},
      {{"upgma", "--matrix", t / "na.tsv", "--out", t / "x.nwk"},
       "ERROR [U]: UPGMA needs a distance for every pair (1 pairs have none): no distance between "
       "C and B.",
       1,
       t / "x.nwk"},
      {{"pcoa", "--matrix", t / "na.tsv", "--out", t / "x"},
       "ERROR [U]: PCoA needs a distance for every pair (1 pairs have none): no distance between "
       "C and B.",
       1,
       t / "x.coords.tsv"},
      {{"dist", kData + "nodp.vcf", "--out", t / "m.tsv"},
       "ERROR [U]: No call carries a DP value, so a minimum depth of 2 drops every call: set both "
       "minimum depths to 0 to compute without depth masking.",
       1,
       t / "m.tsv"},
      {{"upgma", "--matrix", t / "missing.tsv", "--out", t / "x.nwk"},
       "ERROR [U]: Distance matrix file not found: " + (t / "missing.tsv") + ".",
       1,
       t / "x.nwk"},
  };
  for (const TCase& c : cases) {
    const TCliRun r = RunZelcli(c.Args);
    EXPECT_EQ(r.Status, c.Status) << c.Args[0];
    std::string out = r.Out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    EXPECT_EQ(out.substr(out.rfind('\n') + 1), c.LastLine);
    EXPECT_FALSE(fs::exists(c.NotWritten)) << c.NotWritten;
  }
  // Without DP masking the same file computes.
  const TCliRun ok = RunZelcli({"dist", kData + "nodp.vcf", "--min-dp", "0", "--out", t / "m.tsv"});
  EXPECT_EQ(ok.Status, 0);
  EXPECT_EQ(CliReadFile(t / "m.tsv"),
            "A\tB\r\n0.000000000\t\r\n0.500000000\t0.000000000\t\r\n\r\n");
  // FILE and --matrix exclude each other; one of them is needed; depths need FILE.
  EXPECT_EQ(
      RunZelcli({"pcoa", kData + "four.vcf", "--matrix", t / "m.tsv", "--out", t / "p"}).Status, 2);
  EXPECT_EQ(RunZelcli({"upgma", "--out", t / "p"}).Status, 2);
  EXPECT_EQ(RunZelcli({"upgma", "--matrix", t / "m.tsv", "--min-dp", "3", "--out", t / "p"}).Status,
            2);
  EXPECT_EQ(RunZelcli({"dist", kData + "four.vcf"}).Status, 2);
}

}  // namespace
