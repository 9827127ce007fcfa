// End-to-end: zelcli info and info --genotypes on small fixtures, whole outputs compared.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/cli/cliRun.h"

namespace {

const std::string kData = ZEL_TEST_DATA "/vcf/";

TEST(CliInfo, HeaderFacts) {
  const TCliRun r = RunZelcli({"info", kData + "basic.vcf.bgz"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "File: " + kData +
                       "basic.vcf.bgz\n"
                       "Compression: BGZF\n"
                       "Samples x variants: 3 x 4\n"
                       "Contigs (2, from the header): chr1, chr2\n"
                       "gVCF: no\n"
                       "INFO keys (3):\n"
                       "  DP\tNumber=1\tType=Integer\tTotal depth, all samples\n"
                       "  AF\tNumber=A\tType=Float\tAllele \"frequency\", per ALT\n"
                       "  DB\tNumber=0\tType=Flag\tdbSNP membership\n"
                       "FORMAT keys (3):\n"
                       "  GT\tNumber=1\tType=String\tGenotype\n"
                       "  DP\tNumber=1\tType=Integer\tRead depth\n"
                       "  GQ\tNumber=1\tType=Integer\tGenotype quality\n");
}

// A BGZF copy without its end-of-file block gives the same facts after a warning; cut inside
// its block it is an error naming the offset.
TEST(CliInfo, BgzfWithoutEndOfFileBlock) {
  namespace fs = std::filesystem;
  const std::string whole = CliReadFile(kData + "basic.vcf.bgz");
  const std::string eof("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0",
                        28);
  ASSERT_TRUE(whole.ends_with(eof));
  const fs::path dir = fs::temp_directory_path() / ("zel_cli_noeof_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string noEof = (dir / "no eof.vcf.bgz").string();
  const std::string cut = (dir / "cut.vcf.bgz").string();
  std::ofstream(noEof, std::ios::binary) << whole.substr(0, whole.size() - eof.size());
  std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() - eof.size() - 10);

  const TCliRun ref = RunZelcli({"info", kData + "basic.vcf.bgz"});
  TCliRun r = RunZelcli({"info", noEof});
  EXPECT_EQ(r.Status, 0);
  std::string expected = ref.Out;
  expected.replace(0, ("File: " + kData + "basic.vcf.bgz").size(), "File: " + noEof);
  EXPECT_EQ(r.Out, "The BGZF end-of-file block is missing, the file may be truncated: " + noEof +
                       "\n" + expected);

  r = RunZelcli({"info", cut});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out.rfind("ERROR [U]: Truncated BGZF file: " + cut + " at offset 0: ", 0), 0u)
      << r.Out;
  fs::remove_all(dir);
}

TEST(CliInfo, Genotypes) {
  const TCliRun r = RunZelcli({"info", "--genotypes", kData + "basic.vcf"});
  EXPECT_EQ(r.Status, 0);
  const std::string tail =
      "Genotypes (GT and DP of every call):\n"
      "  Calls: 12\n"
      "  Called: 9 (75.00%)\n"
      "  Missing: 3 (25.00%)\n"
      "  Partly missing: 0 (0.00%)\n"
      "  Ploidy 1: 1 calls\n"
      "  Ploidy 2: 11 calls\n"
      "  Depth (DP) of 10 calls (absent in 2): min 0, 5% 0, 25% 8, median 9, 75% 12, 95% 16, "
      "max 16\n";
  ASSERT_GE(r.Out.size(), tail.size());
  EXPECT_EQ(r.Out.substr(r.Out.size() - tail.size()), tail) << r.Out;
}

TEST(CliInfo, GvcfAndSitesOnly) {
  TCliRun r = RunZelcli({"info", kData + "gvcf.vcf"});
  EXPECT_NE(r.Out.find("gVCF: yes\n"), std::string::npos);
  EXPECT_NE(r.Out.find("Contigs (1, from the data): chr1\n"), std::string::npos);
  r = RunZelcli({"info", "--genotypes", kData + "sites_only.vcf"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("Samples x variants: 0 x 2\n"), std::string::npos);
}

TEST(CliInfo, BadInputNamesFileOrLine) {
  TCliRun r = RunZelcli({"info", kData + "not_vcf.vcf"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out,
            "ERROR [U]: Not a VCF file (no #CHROM header line): " + kData + "not_vcf.vcf.\n");
  r = RunZelcli({"info", "--genotypes", kData + "bad_gt.vcf"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("ERROR [U]: Genotype does not read: " + kData +
                       "bad_gt.vcf, line 4, sample S1.\n"),
            std::string::npos)
      << r.Out;
  // A line cut short inside its fixed columns is no variant to guess at.
  r = RunZelcli({"info", "--genotypes", kData + "truncated.vcf"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("ERROR [U]: Fewer than 8 tab-separated columns: " + kData +
                       "truncated.vcf, line 12.\n"),
            std::string::npos)
      << r.Out;
}

// One warning per command with the count of lines, after the figures they qualify.
TEST(CliInfo, LineWarningsAreCountedOncePerCommand) {
  TCliRun r = RunZelcli({"info", "--genotypes", kData + "strict/extra_columns.vcf"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("  Calls: 6\n"), std::string::npos) << r.Out;
  EXPECT_TRUE(r.Out.ends_with(
      "2 lines have more sample columns than the header names; the extra columns were ignored "
      "(first at line 5)\n"))
      << r.Out;
  r = RunZelcli({"info", "--genotypes", kData + "strict/extra_subfields.vcf"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(r.Out.ends_with(
      "3 lines have calls with more subfields than FORMAT keys (or sample columns without "
      "FORMAT); the extra subfields were ignored (first at line 5)\n"))
      << r.Out;
  // Contigs taken from the data stop at a malformed line: even plain info fails there.
  const std::string file = kData + "strict/spaces.vcf";
  r = RunZelcli({"info", file});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "File: " + file + "\nCompression: none\nSamples x variants: 2 x 2\n" +
                       "ERROR [U]: Fewer than 8 tab-separated columns: " + file + ", line 6.\n");
}

TEST(CliInfo, CmdListsSampleNames) {
  const TCliRun r =
      RunZelcli({"cmd", "scLoadVcfFile " + kData + "haploid.vcf", "scVcfListSampleNames"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("M1\r\nM2\r\nF1\n"), std::string::npos) << r.Out;
}

}  // namespace
