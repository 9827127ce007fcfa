// Every verb that walks the calls warns once, with the count and the first line, about lines
// whose extra sample columns or subfields it ignored, as info --genotypes does.
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

}  // namespace
