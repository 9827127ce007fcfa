// zelcli fst end to end: whole tables (CR LF included) of a hand-computed fixture, pair order
// and file names, the refused runs, and the same results from plain and BGZF input on one
// and two threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

std::string Fst(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/fst/" + name; }

// A fresh folder per test, removed at the end.
class FstCli : public ::testing::Test {
 protected:
  TTmpDir Tmp;
  const fs::path& Dir = Tmp.Dir;
  std::string Out(const std::string& rel = "") const { return (Dir / "out").string() + "/" + rel; }
  // Every file of a folder with its content.
  static std::map<std::string, std::string> Files(const fs::path& d) {
    std::map<std::string, std::string> m;
    if (!fs::is_directory(d)) return m;
    for (const auto& e : fs::directory_iterator(d))
      m[e.path().filename().string()] = CliReadFile(e.path());
    return m;
  }
  static std::string Crlf(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
  }
};

// hand.vcf: samples A1 A2 (population A = AC_Pop0) and B1 B2 (B = AC_Pop1), DP 20 unless
// said. Run with --min-obs 1 --min-pops 2, minDP 2/10, at most 2 alleles.
//  chr1:100  A: 0/0 0/1 -> 3,1 (0.75/0.25)   B: 1/1 0/1 -> 1,3   pooled 4,4 (0.5/0.5), N=8
//            no correction: H_T = 1-(.25+.25) = .5, H_A = H_B = 1-(.5625+.0625) = .375,
//            H_S = .375, F_ST = 1-.375/.5 = .25
//            corrected: H_T = .5*8/7 = .571429, H_A = H_B = .375*4/3 = .5, F_ST = 1-.5/.571429 =
//            .125
//  chr1:200  every call 0/1: no correction H_T = H_S = .5, F_ST = 0; corrected H_T = .571429,
//            H_A = H_B = .5*4/3 = .666667, F_ST = 1-.666667/.571429 = -.166667 (clamped to 0)
//  chr1:300  A fixed for 0, B for 1: pooled .5/.5, H_S = 0 < H_T: F_ST = 1 either way
//  chr1:400  every call 0/0: H_T = 0, F_ST undefined: "NA"
//  chr2:500  A1 ./. , A2 0/1 -> 1,1 ; B1 1/1, B2 0/0 at DP 5 (< 10: one allele) -> 1,2 ;
//            pooled 2,3 (.4/.6), N=5. No correction: H_T = 1-(.16+.36) = .48, H_A = .5,
//            H_B = 1-(1/9+4/9) = .444444, H_S = .472222, F_ST = 1-.472222/.48 = .016204
//            corrected: H_T = .48*5/4 = .6, H_A = .5*2/1 = 1, H_B = .444444*3/2 = .666667,
//            H_S = .833333, F_ST = 1-.833333/.6 = -.388889 (clamped to 0)
//  chr2:600  three alleles: left out by --max-states 2
TEST_F(FstCli, HandComputedFixtureGivesTheseTablesByteForByte) {
  const std::vector<std::string> base = {
      "fst", Fst("hand.vcf"), "--popmap", Fst("hand.popmap"), "--min-obs", "1", "--min-pops", "2"};
  const std::string ac =
      Crlf({"Chr\tPos\tAC_global\tAC_Pop0\tAC_Pop1", "chr1\t100\t4, 4\t3, 1\t1, 3",
            "chr1\t200\t4, 4\t2, 2\t2, 2", "chr1\t300\t4, 4\t4, 0\t0, 4",
            "chr1\t400\t8, 0\t4, 0\t4, 0", "chr2\t500\t2, 3\t1, 1\t1, 2"});
  const std::string af = Crlf({"Chr\tPos\tAF_global\tAF_0\tAF_1",
                               "chr1\t100\t0.5000, 0.5000\t0.7500, 0.2500\t0.2500, 0.7500",
                               "chr1\t200\t0.5000, 0.5000\t0.5000, 0.5000\t0.5000, 0.5000",
                               "chr1\t300\t0.5000, 0.5000\t1.0000, 0.0000\t0.0000, 1.0000",
                               "chr1\t400\t1.0000, 0.0000\t1.0000, 0.0000\t1.0000, 0.0000",
                               "chr2\t500\t0.4000, 0.6000\t0.5000, 0.5000\t0.3333, 0.6667"});
  const std::string hetCorr = Crlf(
      {"Chr\tPos\tH_T\tH_S\tH_0\tH_1", "chr1\t100\t0.5714\t0.5000\t0.5000\t0.5000",
       "chr1\t200\t0.5714\t0.6667\t0.6667\t0.6667", "chr1\t300\t0.5714\t0.0000\t0.0000\t0.0000",
       "chr1\t400\t0.0000\t0.0000\t0.0000\t0.0000", "chr2\t500\t0.6000\t0.8333\t1.0000\t0.6667"});
  const std::string hetPlain = Crlf(
      {"Chr\tPos\tH_T\tH_S\tH_0\tH_1", "chr1\t100\t0.5000\t0.3750\t0.3750\t0.3750",
       "chr1\t200\t0.5000\t0.5000\t0.5000\t0.5000", "chr1\t300\t0.5000\t0.0000\t0.0000\t0.0000",
       "chr1\t400\t0.0000\t0.0000\t0.0000\t0.0000", "chr2\t500\t0.4800\t0.4722\t0.5000\t0.4444"});
  auto fst = [&](const char* a, const char* b, const char* c) {
    return Crlf({"Chr\tPos\tFst", std::string("chr1\t100\t") + a, std::string("chr1\t200\t") + b,
                 "chr1\t300\t1.0000", "chr1\t400\tNA", std::string("chr2\t500\t") + c});
  };
  struct TCase {
    std::vector<std::string> Extra;
    std::string Het, Fst;
  } cases[] = {
      {{}, hetCorr, fst("0.1250", "0.0000", "0.0000")},
      {{"--no-limit-zero"}, hetCorr, fst("0.1250", "-0.1667", "-0.3889")},
      {{"--no-small-sample-correction"}, hetPlain, fst("0.2500", "0.0000", "0.0162")},
  };
  for (const TCase& c : cases) {
    fs::remove_all(Dir / "out");
    std::vector<std::string> args = base;
    args.insert(args.end(), c.Extra.begin(), c.Extra.end());
    args.insert(args.end(), {"--out", Out("run1")});
    const TCliRun r = RunZelcli(args);
    ASSERT_EQ(r.Status, 0) << r.Out;
    const std::map<std::string, std::string> want = {{"run1ac_global.tsv", ac},
                                                     {"run1af_global.tsv", af},
                                                     {"run1het_global.tsv", c.Het},
                                                     {"run1fst_global.tsv", c.Fst}};
    EXPECT_EQ(Files(Dir / "out"), want) << (c.Extra.empty() ? "" : c.Extra[0]);
  }
  // Two populations: the one pair, B-A, has the global tables (its frequencies and
  // heterozygosities are derived again from the counts when written).
  fs::remove_all(Dir / "out");
  std::vector<std::string> pw = base;
  pw.insert(pw.end(), {"--pairwise", "--out", Out("run1")});
  ASSERT_EQ(RunZelcli(pw).Status, 0);
  const std::map<std::string, std::string> wantPair = {{"run1ac_B-A.tsv", ac},
                                                       {"run1af_B-A.tsv", af},
                                                       {"run1het_B-A.tsv", hetCorr},
                                                       {"run1fst_B-A.tsv", cases[0].Fst}};
  EXPECT_EQ(Files(Dir / "out"), wantPair);
  // The log of the default run, whole.
  fs::remove_all(Dir / "out");
  std::vector<std::string> args = base;
  args.insert(args.end(), {"--out", Out()});
  const TCliRun r = RunZelcli(args);
  EXPECT_EQ(r.Out, "Loaded population map from file: " + Fst("hand.popmap") +
                       "\nPerforming global Fst calculations [minDP_all=2minDP_hom=10 "
                       "minNAllelePerPop= 1 per minNPops= 2 maxAllelicStats=2+ LimitFstToZero= 1]"
                       " ...\nLoci passing the filters: 5 of 6 selected\nFinished.\nSaving last "
                       "calculated population parameters/Fsts to file(s) of base name " +
                       Out() + "\nFinished.\n");
  EXPECT_EQ(Files(Dir / "out").size(), 4u);
}

// pairs.popmap: scheme "four" met in the order C, A, B, D among the samples, scheme "three"
// in the order Y, Z, X; D's calls are all missing.
TEST_F(FstCli, PairsFollowFirstAppearanceWithFourFilesEach) {
  struct TCase {
    std::string Scheme;
    std::vector<std::string> Pairs;
    std::vector<std::string> Empty;  // pairs without a passing locus
  } cases[] = {
      {"three", {"Z-Y", "X-Y", "X-Z"}, {}},
      {"four", {"A-C", "B-C", "B-A", "D-C", "D-A", "D-B"}, {"D-C", "D-A", "D-B"}},
  };
  for (const TCase& c : cases) {
    fs::remove_all(Dir / "out");
    const TCliRun r =
        RunZelcli({"fst", Fst("pairs.vcf"), "--popmap", Fst("pairs.popmap"), "--scheme", c.Scheme,
                   "--pairwise", "--min-obs", "1", "--min-dp", "0", "--out", Out()});
    ASSERT_EQ(r.Status, 0) << r.Out;
    std::string passLines;
    for (const std::string& p : c.Pairs) {
      const bool empty = std::find(c.Empty.begin(), c.Empty.end(), p) != c.Empty.end();
      passLines +=
          "Loci passing the filters (" + p + "): " + (empty ? "0" : "3") + " of 3 selected\n";
      if (empty)
        passLines += "No locus passed the filters for the pair " + p +
                     "; its tables hold header lines only\n";
    }
    EXPECT_NE(r.Out.find("per minNPops= 2 maxAllelicStats=2+ LimitFstToZero= 1] ...\n" + passLines +
                         "DONE....\n"),
              std::string::npos)
        << r.Out;
    std::map<std::string, std::string> files = Files(Dir / "out");
    EXPECT_EQ(files.size(), 4 * c.Pairs.size());
    for (const std::string& p : c.Pairs)
      for (const char* kind : {"ac_", "af_", "het_", "fst_"})
        EXPECT_TRUE(files.count(kind + p + ".tsv")) << kind << p;
    for (const std::string& p : c.Empty) {
      EXPECT_EQ(files["fst_" + p + ".tsv"], "Chr\tPos\tFst\r\n");
      EXPECT_EQ(files["het_" + p + ".tsv"], "Chr\tPos\tH_T\tH_S\tH_0\tH_1\r\n");
    }
  }
  // In pair A-C, C (met first) is population 0: its samples c1, c2 are 0/0 at chr1:1.
  const std::string acAC = CliReadFile(Dir / "out" / "ac_A-C.tsv");
  EXPECT_EQ(acAC.substr(0, acAC.find("\r\nchr1\t2")),
            "Chr\tPos\tAC_global\tAC_Pop0\tAC_Pop1\r\nchr1\t1\t4, 4\t4, 0\t0, 4");
}

TEST_F(FstCli, RefusedRunsSayWhyAndWriteNothing) {
  struct TCase {
    std::string Name;
    std::vector<std::string> Args;
    std::string Error;
  } cases[] = {
      {"one population",
       {Fst("pairs.vcf"), "--popmap", Fst("pairs.popmap"), "--scheme", "one"},
       "ERROR [U]: F_ST needs at least two populations: scheme \"one\" has 1 with samples in "
       "the VCF file.\n"},
      {"fewer populations than --min-pops",
       {Fst("pairs.vcf"), "--popmap", Fst("pairs.popmap"), "--scheme", "three"},
       "ERROR [U]: No locus can pass the filters: scheme \"three\" has 3 populations, fewer than "
       "the minimum number of populations (minNPops=4; zelcli: --min-pops).\n"},
      {"no DP with a depth threshold",
       {Fst("pairs.vcf"), "--popmap", Fst("pairs.popmap"), "--scheme", "three", "--min-pops", "2"},
       "Loci passing the filters: 0 of 3 selected\nERROR [U]: No locus passed the filters: no "
       "variant has a DP value, so the depth threshold (minDP_all=2) drops every call; set the "
       "depth thresholds to 0 to count calls without depth (zelcli: --min-dp 0 --min-dp-hom 0).\n"},
      {"map of other samples",
       {Fst("hand.vcf"), "--popmap", Fst("pairs.popmap")},
       "ERROR [U]: The population map has 8 individuals but the VCF file has 4 samples.\n"},
      {"ploidy 3",
       {Fst("triploid.vcf"), "--popmap", Fst("hand.popmap"), "--min-pops", "2"},
       "ERROR [GetAlleleCounts]: No valid GT tag found: " + Fst("triploid.vcf") +
           ", line 5, sample B1 (more than 2 alleles): Input seen: <chr1\t200\t.\tA\tC\t.\tPASS\t."
           "\tGT:DP\t0/1:20\t0/1:20\t0/1/1:20\t0/1:20>.\n"},
      {"no passing locus",
       {Fst("hand.vcf"), "--popmap", Fst("hand.popmap"), "--min-pops", "2", "--min-obs", "9"},
       "Loci passing the filters: 0 of 6 selected\nERROR [U]: No locus passed the filters.\n"},
      {"file names that would collide",
       {Fst("pairs.vcf"), "--popmap", Fst("pairs.popmap"), "--scheme", "slash", "--pairwise",
        "--min-dp", "0"},
       "ERROR [U]: Two data sets would be written to the same files: " + (Dir / "out").string() +
           "/fst_z-x_y.tsv.\n"},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> args{"fst"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    args.insert(args.end(), {"--out", Out()});
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 1) << c.Name;
    EXPECT_TRUE(r.Out.ends_with(c.Error)) << c.Name << "\n" << r.Out;
    EXPECT_TRUE(Files(Dir / "out").empty()) << c.Name;
  }
}

TEST_F(FstCli, SlashesAndControlCharactersLeaveFileNames) {
  const TCliRun r =
      RunZelcli({"fst", Fst("pairs.vcf"), "--popmap", Fst("pairs.popmap"), "--scheme", "slash2",
                 "--pairwise", "--min-dp", "0", "--min-obs", "1", "--out", Out("r ")});
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_NE(r.Out.find("(p q-x/y)"), std::string::npos) << r.Out;
  std::map<std::string, std::string> files = Files(Dir / "out");
  EXPECT_TRUE(files.count("r fst_p q-x_y.tsv")) << files.begin()->first;
  EXPECT_EQ(files.size(), 4u);
}

// six.vcf: 36 samples in 6 populations, 400 variants (some with three alleles); six.vcf.bgz
// is the same text in BGZF.
TEST_F(FstCli, PlainAndBgzfOnOneAndTwoThreadsAgree) {
  for (const char* mode : {"", "--pairwise"}) {
    std::map<std::string, std::string> first;
    for (const char* file : {"six.vcf", "six.vcf.bgz"})
      for (const char* threads : {"1", "2"}) {
        fs::remove_all(Dir / "out");
        std::vector<std::string> args = {
            "--threads",       threads,        "fst", Fst(file), "--popmap",
            Fst("six.popmap"), "--max-states", "3",   "--out",   Out()};
        if (*mode) args.push_back(mode);
        const TCliRun r = RunZelcli(args);
        ASSERT_EQ(r.Status, 0) << r.Out;
        const std::map<std::string, std::string> files = Files(Dir / "out");
        EXPECT_EQ(files.size(), *mode ? 60u : 4u);
        if (first.empty())
          first = files;
        else
          EXPECT_EQ(files, first) << file << " threads " << threads << " " << mode;
      }
  }
}

}  // namespace
