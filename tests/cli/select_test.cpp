// zelcli select and stats end to end: filters in the order given, saving with a scheme, the
// user errors of filters, BGZF output, and the selected set against bcftools view -i.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

std::string Data(const std::string& n) { return std::string(ZEL_TEST_DATA) + "/vcf/select/" + n; }

// The ID column (variant names) of the data lines of a VCF text.
std::string Ids(const std::string& vcf) {
  std::string r;
  size_t b = 0;
  while (b < vcf.size()) {
    size_t e = vcf.find('\n', b);
    if (e == std::string::npos) e = vcf.size();
    const std::string l = vcf.substr(b, e - b);
    if (!l.empty() && l[0] != '#') {
      const size_t t1 = l.find('\t'), t2 = l.find('\t', t1 + 1), t3 = l.find('\t', t2 + 1);
      r += l.substr(t2 + 1, t3 - t2 - 1) + " ";
    }
    b = e + 1;
  }
  return r;
}

class SelectCli : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("zel_selcli_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  fs::path Dir;
};

TEST_F(SelectCli, SchemeMembersOnlyInPopulationOrder) {
  const std::string out = (Dir / "pops.vcf").string(), map = Data("three_pops.popmap");
  const TCliRun r = RunZelcli({"select", Data("three_pops.vcf"), "--popmap", map, "--scheme", "pop",
                               "--snps", "--out", out});
  EXPECT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(r.Out, "Loaded population map from file: " + map +
                       "\nSelecting population scheme: pop\nSelected 2 variants\n"
                       "Saving VCF variant selection to file: " +
                       out + "\n");
  const std::string expected =
      "##fileformat=VCFv4.2\n##contig=<ID=1,length=1000>\n"
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tp1a\tp1b\tp2a\tp2b\tp3a\tp3b\n"
      "1\t10\t.\tA\tG\t.\tPASS\t.\tGT\t0/0\t0/0\t0/1\t0/1\t1/1\t1/1\n"
      "1\t30\t.\tG\tT\t.\tPASS\t.\tGT\t1/1\t0/1\t1/1\t0/0\t0/0\t0/1\n";
  EXPECT_EQ(CliReadFile(out), expected);
  if (!HaveTool("bcftools")) GTEST_SKIP() << "bcftools not installed";
  EXPECT_EQ(Shell("bcftools view -H " + out + " 2>&1 | cut -f 1,2,10-15"),
            "1\t10\t0/0\t0/0\t0/1\t0/1\t1/1\t1/1\n1\t30\t1/1\t0/1\t1/1\t0/0\t0/0\t0/1\n");
  EXPECT_EQ(Shell("bcftools query -l " + out + " 2>&1"), "p1a\np1b\np2a\np2b\np3a\np3b\n");
}

TEST_F(SelectCli, FiltersApplyInTheOrderGiven) {
  struct {
    std::vector<std::string> Filters;
    std::string Ids;
  } cases[] = {
      {{"--snps", "--chrom", "chr2"}, "v1 v2 v4 v5 v7 "},
      {{"--chrom", "chr2", "--invert"}, "v0 v6 "},
      {{"--invert", "--chrom", "chr2"}, ""},
      {{"--chrom", "chr2,chrX", "--region", "chr2:100-200"}, "v2 v3 v4 "},
      {{"--transitions", "--invert", "--invert"}, "v0 v2 v4 v7 "},
      {{"--info", "DP >= 10", "--biallelic"}, "v0 v3 v4 "},
      {{"--sample-tag", "GQ>=20:3", "--with-alt"}, "v0 v1 v4 v5 "},
      {{"--info", "MQ > 1e-3", "--polymorphic", "--indels"}, "v3 "},
      {{"--transversions"}, "v1 "},
  };
  for (const auto& c : cases) {
    const std::string out = (Dir / "o.vcf").string();
    std::vector<std::string> args{"select", Data("sel.vcf")};
    args.insert(args.end(), c.Filters.begin(), c.Filters.end());
    args.insert(args.end(), {"--out", out});
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 0) << c.Filters[0] << r.Out;
    EXPECT_EQ(Ids(CliReadFile(out)), c.Ids) << c.Filters[0] << " " << c.Filters.back();
  }
}

TEST_F(SelectCli, FilterErrorsStopWithoutOutput) {
  struct {
    std::vector<std::string> Filters;
    std::string Out;
  } cases[] = {
      {{"--snps", "--chrom", "chrQ"}, "ERROR [U]: Contig not found in the VCF: chrQ.\n"},
      {{"--region", "chr2:300-200"}, "ERROR [U]: Range start is beyond its end: chr2:300-200.\n"},
      {{"--region", "chr2:1"}, "ERROR [U]: --region takes CHR:FROM-TO: chr2:1.\n"},
      {{"--info", "DP"},
       "ERROR [U]: --info takes \"KEY OP VALUE\" (OP one of < <= = >= > <>): DP.\n"},
      {{"--info", "AF > 0.1"},
       "ERROR [U]: Only INFO keys with Number=1 can be compared with a threshold: AF has "
       "Number=A.\n"},
      {{"--info", "DP >= 1e-3"},
       "ERROR [U]: Threshold value does not appear to be a valid integer number: <1e-3>.\n"},
      {{"--info", "DP >= 2147483648"},
       "ERROR [U]: Threshold value is outside the 32-bit integer range of the comparison: "
       "<2147483648>.\n"},
      {{"--sample-tag", "GQ >= 20"},
       "ERROR [U]: --sample-tag takes \"KEY OP VALUE:MIN_SAMPLES\" (OP one of < <= = >= > <>): "
       "GQ >= 20.\n"},
      {{"--sample-tag", "GQ >= 20:x"},
       "ERROR [U]: Min. Sample value does not appear to be a valid unsigned integer number: "
       "<x>.\n"},
      {{"--sample-tag", "NOPE >= 20:1"},
       "ERROR [U]: FORMAT key not defined in the VCF header: NOPE.\n"},
  };
  for (const auto& c : cases) {
    const fs::path out = Dir / "o.vcf";
    std::vector<std::string> args{"select", Data("sel.vcf")};
    args.insert(args.end(), c.Filters.begin(), c.Filters.end());
    args.insert(args.end(), {"--out", out.string()});
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 1) << c.Filters[0];
    EXPECT_EQ(r.Out, c.Out) << c.Filters[0];
    EXPECT_FALSE(fs::exists(out)) << c.Filters[0];
  }
}

TEST_F(SelectCli, GzOutputIsBgzfAndCrLfInputGivesCrLfOutput) {
  const std::string gz = (Dir / "o.vcf.gz").string(), crlf = (Dir / "crlf.vcf").string();
  ASSERT_EQ(RunZelcli({"select", Data("sel.vcf"), "--region", "chr2:100-100", "--out", gz}).Status,
            0);
  ASSERT_EQ(
      RunZelcli({"select", Data("sel_crlf.vcf"), "--region", "chr2:100-100", "--out", crlf}).Status,
      0);
  const std::string text = CliReadFile(crlf);
  EXPECT_NE(text.find("\tD\r\nchr2\t100\tv2\t"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(CliReadFile(gz).substr(12, 2), "BC");
  if (!HaveTool("bgzip")) GTEST_SKIP() << "bgzip not installed";
  EXPECT_EQ(Shell("bgzip -t " + gz + " 2>&1; echo $?"), "0\n");
  std::string lf = text;
  for (size_t p; (p = lf.find('\r')) != std::string::npos;) lf.erase(p, 1);
  EXPECT_EQ(Shell("bgzip -dc " + gz), lf);
}

TEST_F(SelectCli, SameSetAsBcftoolsWhereEveryVariantCarriesTheKeys) {
  if (!HaveTool("bcftools")) GTEST_SKIP() << "bcftools not installed";
  // Every variant has INFO/DP and FORMAT/GQ; values "." now and then, which pass no
  // threshold here or there (bcftools lets "." pass "!=", so that comparison is left out).
  std::mt19937 rng(11);
  std::string vcf =
      "##fileformat=VCFv4.2\n##contig=<ID=1>\n"
      "##INFO=<ID=DP,Number=1,Type=Integer,Description=\"d\">\n"
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"g\">\n"
      "##FORMAT=<ID=GQ,Number=1,Type=Integer,Description=\"q\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\tc\td\te\n";
  for (int v = 0; v < 400; ++v) {
    const unsigned dp = rng() % 25;
    vcf += "1\t" + std::to_string(v + 1) + "\tr" + std::to_string(v) +
           "\tA\tG\t.\tPASS\tDP=" + (rng() % 10 == 0 ? std::string(".") : std::to_string(dp)) +
           "\tGT:GQ";
    for (int s = 0; s < 5; ++s)
      vcf += "\t0/1:" + (rng() % 8 == 0 ? std::string(".") : std::to_string(rng() % 40));
    vcf += "\n";
  }
  const std::string in = (Dir / "gen.vcf").string(), out = (Dir / "o.vcf").string();
  std::ofstream(in, std::ios::binary) << vcf;
  struct {
    std::vector<std::string> Zel;
    std::string Bcf;
  } cases[] = {
      {{"--info", "DP >= 10"}, "INFO/DP>=10"},
      {{"--info", "DP < 10"}, "INFO/DP<10"},
      {{"--sample-tag", "GQ >= 20:3"}, "COUNT(FMT/GQ>=20)>=3"},
      {{"--sample-tag", "GQ < 5:1"}, "COUNT(FMT/GQ<5)>=1"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"select", in};
    args.insert(args.end(), c.Zel.begin(), c.Zel.end());
    args.insert(args.end(), {"--out", out});
    ASSERT_EQ(RunZelcli(args).Status, 0) << c.Bcf;
    const std::string ours = Ids(CliReadFile(out));
    const std::string theirs = Ids(Shell("bcftools view -H -i '" + c.Bcf + "' " + in));
    EXPECT_EQ(ours, theirs) << c.Bcf;
    EXPECT_GT(ours.size(), 20u) << c.Bcf;
  }
}

TEST_F(SelectCli, StatsListings) {
  const TCliRun r = RunZelcli({"stats", Data("sel.vcf"), "--chrom", "chr2", "--missing"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "Selected 6 variants\nListing missing data per VCF sample:\n"
            "A\t0\r\nB\t0\r\nC\t1\r\nD\t3\n***\n\n");
}

}  // namespace
