// zelcli export end to end: whole files of every format against files worked out by hand, the
// whole log, and the faults that must end in an error with no file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/export/" + name; }

// A fresh folder whose name holds a full stop, so the marker-name file shows where the suffix
// is cut.
class ExportCli : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }
  void TearDown() override { fs::remove_all(FRoot); }
  // An empty folder again, for the next case of a table.
  void Fresh() {
    if (!FRoot.empty()) fs::remove_all(FRoot);
    char tmpl[] = "/tmp/zel_export_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    FRoot = tmpl;
    FDir = FRoot / "my.dir";
    fs::create_directory(FDir);
  }
  std::string Out(const std::string& name) const { return (FDir / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(FDir)) r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
  }
  fs::path FRoot, FDir;
};

struct TOkCase {
  std::string Name;
  std::vector<std::string> Args;                // after FILE
  std::map<std::string, std::string> Expected;  // written file -> expected file
  std::vector<std::string> Log;                 // stdout lines; OUT stands for the output
};

TEST_F(ExportCli, EveryFormatMatchesTheHandWorkedFile) {
  const std::string vcf = Data("export.vcf"), map = Data("export.popmap");
  const std::string placeholder = "Calls naming <*> or <NON_REF>, read as missing: 1";
  const std::vector<TOkCase> cases = {
      {"bayescan: the part's 2x2 locus first; multi-allelic, haploid, depth-masked, "
       "unassigned sample; marker names beside it",
       {"--to", "bayescan", "--popmap", map},
       {{"r.txt", "export_bayescan.expected"},
        {"r_markernames.txt", "export_bayescan_markernames.expected"}},
       {"Loaded population map from file: " + map,
        "Exporting VCF variants with population scheme region to BayeScan file/s (minDP "
        "hom/het = 10/2): OUT",
        placeholder, "Exported 6 loci of 2 populations to BayeScan file: OUT",
        "Marker names written to: MARK", "Variants not exported and deselected: 3",
        "Variants without DP values, not exported (a minimum depth is set): 1"}},
      {"structure: members found by name although the map lists them in another order",
       {"--to", "structure", "--popmap", map, "--scheme", "region"},
       {{"r.txt", "export_structure.expected"}},
       {"Loaded population map from file: " + map, "Selecting population scheme: region",
        "Exporting VCF variants to Structure file (minDP (hom/het) = 10/2): OUT", placeholder,
        "Exported 8 loci of 4 individuals to Structure file: OUT",
        "Variants without DP values, not exported (a minimum depth is set): 1"}},
      {"structure: the first threshold is lowered to a smaller second one, here 0: no masking",
       {"--to", "structure", "--popmap", map, "--min-dp", "5", "--min-dp-hom", "0"},
       {{"r.txt", "export_structure_dp0.expected"}},
       {"Loaded population map from file: " + map,
        "Exporting VCF variants to Structure file (minDP (hom/het) = 0/5): OUT", placeholder,
        "Exported 9 loci of 4 individuals to Structure file: OUT"}},
      {"binary: population options and the homozygous threshold are ignored, said once",
       {"--to", "binary", "--popmap", map, "--scheme", "region", "--min-dp-hom", "3"},
       {{"r.txt", "export_binary.expected"}},
       {"Ignored for the binary matrix, which has every sample and one depth threshold "
        "(--min-dp): --popmap, --scheme, --min-dp-hom",
        "Exporting VCF variants to FAMD file (minDP = 2): OUT",
        "Exported 4 variants of 5 samples to FAMD file: OUT",
        "Selected variants not exported (not biallelic, symbolic, without an ALT allele, or "
        "without DP): 5"}},
      {"binary without depth masking",
       {"--to", "binary", "--min-dp", "0"},
       {{"r.txt", "export_binary_dp0.expected"}},
       {"Exporting VCF variants to FAMD file (minDP = 0): OUT",
        "Exported 5 variants of 5 samples to FAMD file: OUT",
        "Selected variants not exported (not biallelic, symbolic, without an ALT allele, or "
        "without DP): 4"}},
      {"bayescan: a triploid call is skipped and counted",
       {"--to", "bayescan", "--popmap", Data("ploidy3.popmap")},
       {{"r.txt", "ploidy3_bayescan.expected"},
        {"r_markernames.txt", "ploidy3_bayescan_markernames.expected"}},
       {}},
  };
  for (const TOkCase& c : cases) {
    Fresh();
    const std::string out = Out("r.txt");
    const std::string file =
        c.Name.find("triploid") != std::string::npos ? Data("ploidy3.vcf") : vcf;
    std::vector<std::string> args{"export", file};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    args.insert(args.end(), {"--out", out});
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 0) << c.Name << "\n" << r.Out;
    if (!c.Log.empty()) {
      std::string log;
      for (std::string line : c.Log) {
        for (size_t at; (at = line.find("OUT")) != std::string::npos;) line.replace(at, 3, out);
        for (size_t at; (at = line.find("MARK")) != std::string::npos;)
          line.replace(at, 4, Out("r_markernames.txt"));
        log += line + "\n";
      }
      EXPECT_EQ(r.Out, log) << c.Name;
    }
    std::vector<std::string> written;
    for (const auto& [name, expected] : c.Expected) {
      written.push_back(name);
      EXPECT_EQ(CliReadFile(FDir / name), CliReadFile(Data(expected))) << c.Name << ": " << name;
    }
    EXPECT_EQ(Files(), written) << c.Name;
  }
}

TEST_F(ExportCli, TriploidCallsAreCountedInTheLog) {
  const TCliRun r = RunZelcli({"export", Data("ploidy3.vcf"), "--to", "bayescan", "--popmap",
                               Data("ploidy3.popmap"), "--out", Out("p.txt")});
  EXPECT_NE(r.Out.find("\nCalls with more than two alleles, not counted: 1\n"), std::string::npos)
      << r.Out;
}

struct TFailCase {
  std::string Name;
  std::vector<std::string> Args;  // the whole command line after "export"
  std::string Error;              // the error line; OUT stands for the output
};

// Every failure logs its cause, ends with status 1 and writes nothing: an old file of the same
// name keeps its bytes and no temporary file is left behind.
TEST_F(ExportCli, FailuresWriteNoFile) {
  const std::string vcf = Data("export.vcf"), p3 = Data("ploidy3.vcf");
  const std::string nodp = Data("export_nodp.vcf");
  const std::vector<TFailCase> cases = {
      {"one population",
       {vcf, "--to", "bayescan", "--popmap", Data("export_onepop.popmap")},
       "ERROR [U]: BayeScan export needs at least two populations: 1 given."},
      {"no populations",
       {vcf, "--to", "bayescan"},
       "ERROR [U]: BayeScan export requires populations to be defined."},
      {"no populations (structure)",
       {vcf, "--to", "structure"},
       "ERROR [U]: Structure export requires populations to be defined."},
      {"a member the VCF does not have",
       {vcf, "--to", "structure", "--popmap", Data("export_stranger.popmap")},
       "ERROR [U]: Population member is not a sample of the VCF file: X9 (scheme region)."},
      {"triploid call in structure",
       {p3, "--to", "structure", "--popmap", Data("ploidy3.popmap")},
       "ERROR [U]: Genotype with more than 2 alleles: " + p3 + ", line 3, sample P2."},
      {"triploid call in the binary matrix",
       {p3, "--to", "binary"},
       "ERROR [U]: Genotype with more than 2 alleles: " + p3 + ", line 3, sample P2."},
      {"depth threshold on a file without DP",
       {nodp, "--to", "bayescan", "--popmap", Data("ploidy3.popmap")},
       "ERROR [U]: No locus to export: 2 of the 2 selected variants have no DP values while a "
       "minimum depth is set; set the depth thresholds to 0 to export without depth masking."},
      {"depth threshold on a file without DP (binary)",
       {nodp, "--to", "binary", "--min-dp", "1"},
       "ERROR [U]: No locus to export: 2 of the 2 selected variants have no DP values while a "
       "minimum depth is set; set the depth thresholds to 0 to export without depth masking."},
      {"no site with two alleles called",
       {Data("export_mono.vcf"), "--to", "bayescan", "--popmap", Data("ploidy3.popmap"), "--min-dp",
        "0"},
       "ERROR [U]: No locus to export: none of the 3 selected variants has two alleles called "
       "among the population members."},
      {"monomorphic sites only (binary)",
       {Data("export_mono.vcf"), "--to", "binary", "--min-dp", "0"},
       "ERROR [U]: No locus to export: none of the 3 selected variants is a biallelic site "
       "with an ALT allele without symbolic alleles."},
  };
  for (const TFailCase& c : cases) {
    Fresh();
    const std::string out = Out("r.txt");
    {
      std::ofstream(out, std::ios::binary) << "old\r\n";
      std::ofstream(Out("r_markernames.txt"), std::ios::binary) << "old markers\r\n";
    }
    std::vector<std::string> args{"export"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    args.insert(args.end(), {"--out", out});
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 1) << c.Name;
    std::string error = c.Error;
    for (size_t at; (at = error.find("OUT")) != std::string::npos;) error.replace(at, 3, out);
    EXPECT_NE(r.Out.find(error + "\n"), std::string::npos) << c.Name << "\n" << r.Out;
    EXPECT_EQ(CliReadFile(out), "old\r\n") << c.Name;
    EXPECT_EQ(CliReadFile(Out("r_markernames.txt")), "old markers\r\n") << c.Name;
    EXPECT_EQ(Files(), (std::vector<std::string>{"r.txt", "r_markernames.txt"})) << c.Name;
  }
}

TEST_F(ExportCli, TheOpenVcfFileIsNeverReplaced) {
  const std::string copy = Out("in.vcf");
  fs::copy_file(Data("export.vcf"), copy);
  const TCliRun r = RunZelcli({"export", copy, "--to", "binary", "--out", copy});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("ERROR [U]: The export would replace the open VCF file: " + copy + ".\n"),
            std::string::npos)
      << r.Out;
  EXPECT_EQ(CliReadFile(copy), CliReadFile(Data("export.vcf")));
}

TEST_F(ExportCli, AnUnwritableTargetIsAnError) {
  const std::string out = (FDir / "missing" / "r.txt").string();
  const TCliRun r = RunZelcli({"export", Data("export.vcf"), "--to", "bayescan", "--popmap",
                               Data("export.popmap"), "--out", out});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("ERROR [U]: Cannot write file: " + out + ": No such file or directory.\n"),
            std::string::npos)
      << r.Out;
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExportCli, UsageErrors) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"export", Data("export.vcf"), "--to", "plink", "--out", Out("x")},
           {"export", Data("export.vcf"), "--to", "binary"},
           {"export", Data("export.vcf"), "--out", Out("x")},
           {"export", Data("export.vcf"), "--to", "binary", "--min-dp", "-1", "--out", Out("x")},
       }) {
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 2) << args[2];
    EXPECT_TRUE(Files().empty());
  }
}

}  // namespace
