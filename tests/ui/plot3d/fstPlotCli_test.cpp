// zelcli fst --plot end to end on the example data and the six-population fixture: PNG and SVG
// pictures of F_ST along the genome, kept in the build tree's screenshot folder for a look; a bad
// suffix is refused before anything runs.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

std::string Fst(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/fst/" + name; }

TEST(FstPlotCli, PngAndSvgOfTheExample) {
  const fs::path shots = ZEL_SHOT_DIR;
  fs::create_directories(shots);
  const std::string example = std::string(ZEL_TEST_DATA) + "/../../examples/";
  struct TCase {
    std::string File, Vcf, Map;
    std::vector<std::string> Extra;
  } cases[] = {{"fst_genome_example_hudson.png",
                example + "example.vcf.gz",
                example + "example_popmap.txt",
                {"--estimator", "hudson", "--pairwise"}},
               {"fst_genome_example_wc.svg",
                example + "example.vcf.gz",
                example + "example_popmap.txt",
                {"--estimator", "wc", "--window", "500000"}},
               {"fst_genome_six_nei.png",
                Fst("six.vcf"),
                Fst("six.popmap"),
                {"--plot-threshold", "0.3", "--max-states", "3"}}};
  for (const TCase& c : cases) {
    const std::string pic = (shots / c.File).string();
    fs::remove(pic);
    std::vector<std::string> args = {
        "fst",        c.Vcf, "--popmap", c.Map,
        "--min-pops", "2",   "--out",    (shots / "fst_tables").string() + "/",
        "--plot",     pic};
    args.insert(args.end(), c.Extra.begin(), c.Extra.end());
    const TCliRun r = RunZelcli(args);
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("Saved F_ST plot to file " + pic), std::string::npos) << r.Out;
    const std::string bytes = CliReadFile(pic);
    if (c.File.ends_with(".png"))
      EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    else
      EXPECT_NE(bytes.find("<svg"), std::string::npos);
  }
  fs::remove_all(shots / "fst_tables");
}

TEST(FstPlotCli, BadSuffixIsRefused) {
  const TCliRun r = RunZelcli({"fst", Fst("hand.vcf"), "--popmap", Fst("hand.popmap"), "--out",
                               "/tmp/zel_fstplot_never/", "--plot", "/tmp/zel_fstplot.jpg"});
  EXPECT_NE(r.Status, 0);
  EXPECT_FALSE(fs::exists("/tmp/zel_fstplot_never"));
}

}  // namespace
