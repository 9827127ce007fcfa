// zelcli merge end to end: whole merged files against fixtures (shared and either loci and
// samples, gVCF blocks, filters on file A, BGZF output), the refusals that leave no output
// behind, and generated files read back through bcftools.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

std::string Data(const std::string& n) { return std::string(ZEL_TEST_DATA) + "/merge/" + n; }

class MergeCli : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("zel_mergecli_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Out(const std::string& n) const { return (Dir / n).string(); }
  fs::path Dir;
};

struct TFixtureCase {
  const char* Name;
  std::vector<std::string> Args;  // after A B
  const char *A, *B, *Expected;
};

TEST_F(MergeCli, WholeFilesAgainstFixtures) {
  const TFixtureCase cases[] = {
      {"shared loci, all samples", {}, "a.vcf", "b.vcf", "and_loci.vcf"},
      {"all loci, all samples", {"--loci", "or"}, "a.vcf", "b.vcf", "or_loci.vcf"},
      {"shared samples", {"--samples", "and"}, "a.vcf", "b.vcf", "and_samples.vcf"},
      {"filters narrow file A", {"--loci", "or", "--chrom", "2"}, "a.vcf", "b.vcf", "filtered.vcf"},
      {"gVCF blocks cut", {"--loci", "or"}, "block.g.vcf", "record.g.vcf", "blocks.g.vcf"},
  };
  for (const TFixtureCase& c : cases) {
    const std::string out = Out("m.vcf");
    std::vector<std::string> args{"merge", Data(c.A), Data(c.B), "--out", out};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 0) << c.Name << "\n" << r.Out << r.Err;
    EXPECT_EQ(CliReadFile(out), CliReadFile(Data(c.Expected))) << c.Name;
    fs::remove(out);
  }
}

TEST_F(MergeCli, LogNamesConflictsAndMismatches) {
  const std::string out = Out("m.vcf");
  const TCliRun r = RunZelcli({"merge", Data("a.vcf"), Data("b.vcf"), "--out", out});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "Merging VCF file " + Data("b.vcf") + " into: " + out +
                       "\nThe second file defines INFO DP differently; the first "
                       "file's kept\nMerged variants written: 3\n");
}

TEST_F(MergeCli, BgzfOutputHoldsTheSameText) {
  if (!HaveTool("gzip")) GTEST_SKIP() << "gzip not installed";
  const std::string out = Out("m.vcf.gz");
  const TCliRun r = RunZelcli({"merge", Data("a.vcf"), Data("b.vcf"), "--out", out});
  EXPECT_EQ(r.Status, 0) << r.Out;
  const std::string bytes = CliReadFile(out);
  ASSERT_GT(bytes.size(), 28u);
  EXPECT_EQ(bytes.substr(12, 2), "BC");  // the BGZF extra field
  EXPECT_EQ(Shell("gzip -dc " + out), CliReadFile(Data("and_loci.vcf")));
}

TEST_F(MergeCli, GzipFileBIsDetected) {
  if (!HaveTool("gzip")) GTEST_SKIP() << "gzip not installed";
  const std::string b = Out("b.vcf.gz"), out = Out("m.vcf");
  Shell("gzip -c " + Data("b.vcf") + " > " + b);
  const TCliRun r = RunZelcli({"merge", Data("a.vcf"), b, "--out", out});
  EXPECT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(CliReadFile(out), CliReadFile(Data("and_loci.vcf")));
}

TEST_F(MergeCli, RefusalsLeaveNoOutput) {
  const std::string out = Out("m.vcf");
  const std::string copyA = Out("a.vcf");
  fs::copy_file(Data("a.vcf"), copyA);
  struct TCase {
    const char* Name;
    std::vector<std::string> Args;
    std::string Expected;  // a line of the log
    std::string OutFile;
  };
  const TCase cases[] = {
      {"output names file A",
       {"merge", copyA, Data("b.vcf"), "--out", copyA},
       "ERROR [U]: The output file is an input file: " + copyA + ".",
       ""},
      {"file B cannot be opened",
       {"merge", Data("a.vcf"), Out("none.vcf"), "--out", out},
       "ERROR [U]: Cannot open file: " + Out("none.vcf") + ": No such file or directory.",
       out},
      {"no common sample",
       {"merge", Data("a.vcf"), Data("block.g.vcf"), "--samples", "and", "--out", out},
       "ERROR [U]: VCF merge failed (no samples to combine): no sample name in both files.",
       out},
      {"genotypes that cannot be merged",
       {"merge", Data("a.vcf"), Data("triploid.vcf"), "--out", out},
       "ERROR [U]: VCF merge failed (values cannot be merged): FORMAT GT, line 9 of " +
           Data("a.vcf") + ", line 4 of " + Data("triploid.vcf") + ".",
       out},
  };
  for (const TCase& c : cases) {
    const TCliRun r = RunZelcli(c.Args);
    EXPECT_EQ(r.Status, 1) << c.Name;
    EXPECT_NE(r.Out.find(c.Expected + "\n"), std::string::npos) << c.Name << "\n" << r.Out;
    if (!c.OutFile.empty()) {
      EXPECT_FALSE(fs::exists(c.OutFile)) << c.Name;
    }
    for (const auto& e : fs::directory_iterator(Dir))
      EXPECT_TRUE(e.path() == fs::path(copyA)) << c.Name << ": left " << e.path();
  }
  EXPECT_EQ(CliReadFile(copyA), CliReadFile(Data("a.vcf")));
}

TEST_F(MergeCli, MissingFileAIsAUserError) {
  const TCliRun m = RunZelcli({"merge", Out("none.vcf"), Data("b.vcf"), "--out", Out("m.vcf")});
  EXPECT_EQ(m.Status, 1);
  EXPECT_EQ(m.Out, "ERROR [U]: File not found: " + Out("none.vcf") + ".\n");
  EXPECT_FALSE(fs::exists(Out("m.vcf")));
}

// Three samples per file, one of them (s) in both with the same calls; file B's ALT differs
// from A's at some sites, where s is called homozygous reference in both.
void WriteGenerated(const std::string& path, const std::vector<std::string>& names, uint32_t seed,
                    const std::vector<std::string>& sharedCalls, bool otherAlt) {
  std::mt19937 rng(seed);
  std::ofstream f(path, std::ios::binary);
  f << "##fileformat=VCFv4.2\n##contig=<ID=chr1,length=100000>\n"
       "##contig=<ID=chr2,length=100000>\n"
       "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
       "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Read depth\">\n"
       "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (const std::string& n : names) f << "\t" << n;
  f << "\n";
  const char* calls[] = {"0/0", "0/1", "1/1", "./.", "1/0"};
  for (size_t i = 0; i < sharedCalls.size(); ++i) {
    const bool differ = i % 4 == 3;
    f << (i < sharedCalls.size() / 2 ? "chr1" : "chr2") << "\t" << (100 + 37 * i) << "\t.\tA\t"
      << (differ && otherAlt ? "G" : "C") << "\t.\tPASS\t.\tGT:DP";
    for (const std::string& n : names) {
      if (n == "s")
        f << "\t" << (differ ? "0/0" : sharedCalls[i]) << ":" << (i % 9);
      else
        f << "\t" << calls[rng() % 5] << ":" << (rng() % 30);
    }
    f << "\n";
  }
}

// Sample name -> the genotypes (as bases) of all its lines, through bcftools.
std::map<std::string, std::string> Genotypes(const std::string& vcf) {
  std::map<std::string, std::string> r;
  std::istringstream in(Shell("bcftools query -f '[%SAMPLE=%TGT\\n]' " + vcf + " 2>&1"));
  std::string l;
  while (std::getline(in, l)) {
    const size_t eq = l.find('=');
    if (eq == std::string::npos) {
      r["error"] += l;
      continue;
    }
    // Unphased: "G/A" and "A/G" are one genotype (a renumbered call is written in order).
    std::string g = l.substr(eq + 1);
    const size_t sl = g.find('/');
    if (sl != std::string::npos && g.substr(sl + 1) < g.substr(0, sl))
      g = g.substr(sl + 1) + "/" + g.substr(0, sl);
    r[l.substr(0, eq)] += g + " ";
  }
  return r;
}

TEST_F(MergeCli, GeneratedFilesReadByBcftoolsWithTheInputsGenotypes) {
  if (!HaveTool("bcftools")) GTEST_SKIP() << "bcftools not installed";
  std::mt19937 rng(11);
  const char* calls[] = {"0/0", "0/1", "1/1", "./."};
  std::vector<std::string> shared(60);
  for (std::string& c : shared) c = calls[rng() % 4];
  const std::string a = Out("ga.vcf"), b = Out("gb.vcf"), out = Out("gm.vcf");
  WriteGenerated(a, {"a1", "s", "a2"}, 1, shared, false);
  WriteGenerated(b, {"b1", "b2", "s"}, 2, shared, true);
  const TCliRun r = RunZelcli({"merge", a, b, "--out", out});
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(Shell("bcftools view -h " + out + " 2>&1 | tail -n 1"),
            "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta1\ts\ta2\tb1\tb2\n");
  EXPECT_EQ(Shell("bcftools view -H " + out + " 2>&1 | wc -l"), "60\n");
  const auto merged = Genotypes(out), ga = Genotypes(a), gb = Genotypes(b);
  EXPECT_EQ(merged.count("error"), 0u) << merged.at("error");
  for (const char* s : {"a1", "s", "a2"}) EXPECT_EQ(merged.at(s), ga.at(s)) << s;
  for (const char* s : {"b1", "b2", "s"}) EXPECT_EQ(merged.at(s), gb.at(s)) << s;
}

}  // namespace
