// zelcli pcoa --plot end to end: PNG and SVG pictures, their size and rotation options, and the
// user error of a result with fewer than three axes (no file at all).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

struct TTmp {
  fs::path Dir;
  TTmp() {
    char tmpl[] = "/tmp/zel_plot_XXXXXX";
    Dir = mkdtemp(tmpl);
  }
  ~TTmp() {
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  std::string operator/(const std::string& n) const { return (Dir / n).string(); }
};

// Five items at mutual distance 1 (a simplex: four equal positive axes) in two populations.
void WriteSimplex(const TTmp& t) {
  std::ofstream(t / "m.tsv") << "S1\tS2\tS3\tS4\tS5\n0\t\n1\t0\t\n1\t1\t0\t\n1\t1\t1\t0\t\n"
                                "1\t1\t1\t1\t0\t\n\n";
  std::ofstream(t / "p.popmap") << "<SAMPLES>\tgroup\nS1\tp1\nS2\tp1\nS3\tp2\nS4\tp2\nS5\t.\n";
}

uint32_t Be32(const std::string& s, size_t at) {
  return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
         (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

TEST(Plot3dCli, PngOfTheRequestedSize) {
  TTmp t;
  WriteSimplex(t);
  const TCliRun r =
      RunZelcli({"pcoa", "--matrix", t / "m.tsv", "--popmap", t / "p.popmap", "--out", t / "run",
                 "--plot", t / "plot.png", "--rotate", "10,-20,5", "--size", "640x480"});
  ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("Saved 3D plot to file " + (t / "plot.png")), std::string::npos) << r.Out;
  const std::string png = CliReadFile(t / "plot.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(Be32(png, 16), 640u);
  EXPECT_EQ(Be32(png, 20), 480u);
  EXPECT_TRUE(fs::exists(t / "run.coords.tsv"));
}

TEST(Plot3dCli, SvgWithLabelsAndLegend) {
  TTmp t;
  WriteSimplex(t);
  const TCliRun r = RunZelcli({"pcoa", "--matrix", t / "m.tsv", "--popmap", t / "p.popmap", "--out",
                               t / "run", "--plot", t / "plot.svg"});
  ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
  const std::string svg = CliReadFile(t / "plot.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  EXPECT_NE(svg.find("viewBox=\"0 0 1000 800\""), std::string::npos);
  for (const char* text : {">S1<", ">S5<", ">p1<", ">p2<", ">NA<", "Co. 1 (25.0%)"})
    EXPECT_NE(svg.find(text), std::string::npos) << text;
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") == 0) {
    const std::string cmd =
        "rsvg-convert -o '" + (t / "check.png") + "' '" + (t / "plot.svg") + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_GT(fs::file_size(t / "check.png"), 1000u);
  }
}

TEST(Plot3dCli, FewerThanThreeAxesWritesNothing) {
  TTmp t;
  std::ofstream(t / "m.tsv") << "S1\tS2\tS3\n0\t\n1\t0\t\n0\t1\t0\t\n\n";
  const TCliRun r =
      RunZelcli({"pcoa", "--matrix", t / "m.tsv", "--out", t / "run", "--plot", t / "plot.png"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("ERROR [U]: PCoA View Error: less than 3 dimensions."), std::string::npos)
      << r.Out;
  EXPECT_FALSE(fs::exists(t / "plot.png"));
  EXPECT_FALSE(fs::exists(t / "run.coords.tsv"));
  EXPECT_EQ(std::distance(fs::directory_iterator(t.Dir), fs::directory_iterator()), 1);
}

TEST(Plot3dCli, BadPlotOptionsAreUsageErrors) {
  TTmp t;
  WriteSimplex(t);
  const std::vector<std::vector<std::string>> bad = {
      {"--plot", t / "plot.jpg"},
      {"--plot", t / "plot.png", "--rotate", "1,2"},
      {"--plot", t / "plot.png", "--rotate", "1,2,x"},
      {"--plot", t / "plot.png", "--size", "10x10"},
      {"--plot", t / "plot.png", "--size", "800"},
  };
  for (const auto& extra : bad) {
    std::vector<std::string> args = {"pcoa", "--matrix", t / "m.tsv", "--out", t / "run"};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(RunZelcli(args).Status, 2) << extra.back();
    EXPECT_FALSE(fs::exists(t / "plot.png"));
  }
}

}  // namespace
