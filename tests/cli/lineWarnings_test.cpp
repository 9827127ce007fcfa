// Every verb that walks the calls warns once, with the count and the first line, about lines
// whose extra sample columns or subfields it ignored, as info --genotypes does; and every
// selection and listing stops at a malformed line, naming it, without writing anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

const std::string kStrict = ZEL_TEST_DATA "/vcf/strict/";

TEST(CliLineWarnings, AnalysesWarnOnceAboutIgnoredColumnsAndSubfields) {
  const std::string out =
      (std::filesystem::temp_directory_path() / ("zel_linewarn_" + std::to_string(getpid())))
          .string();
  const std::string columns =
      "2 lines have more sample columns than the header names; the extra columns were ignored "
      "(first at line 5)\n";
  const std::string subfields =
      "3 lines have calls with more subfields than FORMAT keys (or sample columns without "
      "FORMAT); the extra subfields were ignored (first at line 5)\n";
  const struct {
    std::vector<std::string> Args;
    std::string Warning;
  } cases[] = {
      {{"dist", kStrict + "extra_columns.vcf", "--min-dp", "0", "--out", out}, columns},
      {{"dist", kStrict + "extra_subfields.vcf", "--min-dp", "0", "--out", out}, subfields},
      {{"export", kStrict + "extra_columns.vcf", "--to", "binary", "--min-dp", "0", "--out", out},
       columns},
  };
  for (const auto& c : cases) {
    const TCliRun r = RunZelcli(c.Args);
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    const size_t at = r.Out.find(c.Warning);
    EXPECT_NE(at, std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find(c.Warning, at + 1), std::string::npos) << r.Out;
    std::filesystem::remove(out);
  }
}

TEST(CliLineWarnings, SelectionsAndListingsStopAtAMalformedLine) {
  const std::string out =
      (std::filesystem::temp_directory_path() / ("zel_linebad_" + std::to_string(getpid())))
          .string() +
      ".vcf";
  const std::string vcf = kStrict + "pos_negative.vcf";
  const std::string error =
      "ERROR [U]: POS \"-5\" is not a whole number from 0 to 9223372036854775807: " + vcf +
      ", line 6.\n";
  const std::vector<std::vector<std::string>> cases = {
      {"select", vcf, "--out", out},
      {"select", vcf, "--snps", "--out", out},
      {"select", vcf, "--chrom", "1", "--out", out},
      {"select", vcf, "--region", "1:1-1000", "--out", out},
      {"select", vcf, "--sample-tag", "DP >= 1:1", "--out", out},
      {"stats", vcf, "--transition-matrix"},
      {"stats", vcf, "--missing"},
  };
  for (const auto& args : cases) {
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 1) << args[2] << "\n" << r.Out << r.Err;
    EXPECT_NE(r.Out.find(error), std::string::npos) << args[2] << "\n" << r.Out;
    EXPECT_EQ(r.Out.find("Selected"), std::string::npos) << args[2] << "\n" << r.Out;
    EXPECT_FALSE(std::filesystem::exists(out)) << args[2];
    std::filesystem::remove(out);
  }
}

}  // namespace
