// Loading commands: suffix guess, opening VCF files with their status texts, refusing files
// that are not VCF without touching the active object, listing samples, the transition matrix.
#include "commands/cmdLoad.h"

#include <gtest/gtest.h>

#include "commands/cmdVcf.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "tests/core/coreFixture.h"
#include "vcf/bioVCF.h"

namespace {

using TLines = std::vector<std::string>;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/vcf/" + name; }

// Starts every test from a fresh core state (registry, log, error flag, interface state).
class CmdLoadTest : public CoreTest {
 protected:
};

TEST(GuessFileType, Suffixes) {
  const struct {
    const char* Name;
    uint8_t Type;
  } cases[] = {{"data.vcf.gz", oVCF},
               {"data.VCF.BGZ", oVCF},
               {"/a/b/data.vcf", oVCF},
               {"data.bgz.gz", 255},
               {"reads.fastq.gz", oFASTQ},
               {"genome.fa", oFASTA},
               {"genome.FNA", oFASTA},
               {"annotation.gff3", oGFF3},
               {"x.bcf", oBCF},
               {"vcf", 255},
               {"", 255},
               {"data.vcf.bgz.gz", oVCF}};
  for (const auto& c : cases) EXPECT_EQ(iscGuessFileTypeBySuffix(c.Name), c.Type) << c.Name;
}

TEST_F(CmdLoadTest, LoadRegistersAndShowsStatus) {
  ASSERT_TRUE(scLoadVcfFile(Data("basic.vcf")));
  const int32_t id = GetActiveObj();
  ASSERT_GE(id, 0);
  EXPECT_EQ(GetObjTypeById(id), oVCF);
  TVCFFile* vcf = iscActiveVcfFile();
  ASSERT_NE(vcf, nullptr);
  EXPECT_EQ(vcf->NSelected(), 4u);
  EXPECT_EQ(ZelUiState().Panels[2], "3 x 4");
  EXPECT_EQ(ZelUiState().Panels[1], std::to_string(id));
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_TRUE(ZelLogLines().empty());
}

TEST_F(CmdLoadTest, NonVcfKeepsThePreviousFileActive) {
  ASSERT_TRUE(scLoadVcfFile(Data("basic.vcf")));
  const int32_t id = GetActiveObj();
  const int32_t count = ZelObjCount();
  for (const char* bad : {"not_vcf.vcf", "empty.vcf", "binary.vcf", "missing.vcf",
                          "strict/hdr_short.vcf", "strict/empty_sample.vcf"}) {
    SCOPED_TRACE(bad);
    scClearLog();
    EXPECT_FALSE(scLoadVcfFile(Data(bad)));
    EXPECT_TRUE(iscZelHasError(true));
    ASSERT_EQ(ZelLogLines().size(), 1u);
    EXPECT_EQ(ZelLogLines()[0].rfind("ERROR [U]: ", 0), 0u) << ZelLogLines()[0];
    EXPECT_NE(ZelLogLines()[0].find(bad), std::string::npos);
    EXPECT_EQ(GetActiveObj(), id);
    EXPECT_EQ(ZelObjCount(), count);
    EXPECT_EQ(ZelUiState().Panels[2], "3 x 4");
  }
}

TEST_F(CmdLoadTest, LoadWarningsAndPathsThatAreNoFiles) {
  ASSERT_TRUE(scLoadVcfFile(Data("strict/blank_lines.vcf")));
  EXPECT_EQ(ZelLogLines(), TLines{"3 blank lines in the data section are not variants (first at "
                                  "line 6): " +
                                  Data("strict/blank_lines.vcf")});
  EXPECT_EQ(ZelUiState().Panels[2], "2 x 3");
  EXPECT_FALSE(iscZelHasError(false));
  scClearLog();
  const std::string dir = std::string(ZEL_TEST_DATA) + "/vcf/strict";
  EXPECT_FALSE(scLoadVcfFile(dir));
  EXPECT_EQ(ZelLogLines(), TLines{"ERROR [U]: Cannot open file: " + dir + ": Is a directory."});
  EXPECT_EQ(ZelUiState().Panels[2], "2 x 3");
}

TEST_F(CmdLoadTest, LoadFileAutoChoosesByType) {
  EXPECT_TRUE(scLoadFileAuto(Data("basic.vcf.gz")));
  EXPECT_FALSE(scLoadFileAuto(Data("basic.fastq")));
  EXPECT_EQ(ZelObjCount(), 1);
}

TEST_F(CmdLoadTest, ListSampleNames) {
  scVcfListSampleNames();  // nothing active: nothing happens
  EXPECT_TRUE(ZelLogLines().empty());
  ASSERT_TRUE(scLoadVcfFile(Data("haploid.vcf")));
  scVcfListSampleNames();
  EXPECT_EQ(ZelLogLines(), TLines{"M1\r\nM2\r\nF1"});
}

TEST_F(CmdLoadTest, SnpTransitionMatrix) {
  ASSERT_TRUE(scLoadVcfFile(Data("haploid.vcf")));
  scClearLog();
  scVcfGetSnpTransitionMatrix();
  // A/G, G/A: two A-G; C/T,G is not biallelic.
  EXPECT_EQ(
      ZelLogLines(),
      (TLines{"Obtaining nucleotide transition matrix from biallelic SNP data...",
              "Total transitions considered: 2", "\tA\tC\tG\tT\t",
              "A\t0.0000\t0.0000\t1.0000\t0.0000\t", "C\t0.0000\t0.0000\t0.0000\t0.0000\t",
              "G\t1.0000\t0.0000\t0.0000\t0.0000\t", "T\t0.0000\t0.0000\t0.0000\t0.0000\t", ""}));
  EXPECT_EQ(ZelUiState().State, 0);
}

}  // namespace
