// Distance commands: what they log and register, the refusals, and failed writes.
#include "commands/cmdDist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "commands/cmdLoad.h"
#include "commands/cmdPop.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "popgen/korDist.h"
#include "popgen/pcoa.h"
#include "tests/core/coreFixture.h"

namespace {

namespace fs = std::filesystem;
using TLines = std::vector<std::string>;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/dist/" + name; }

class CmdDistTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    zelDistMinDP = 0;
    zelDistMinDP_hom = 0;
    char t[] = "/tmp/zel_cmddist_XXXXXX";
    Dir = mkdtemp(t);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(Dir, ec);
    CoreTest::TearDown();
  }
  static void Clear() {
    scClearLog();
    iscZelHasError(true);
  }
  fs::path Dir;
};

TEST_F(CmdDistTest, DistanceIsRegisteredActiveAndNamed) {
  ASSERT_TRUE(scLoadVcfFile(Data("four.vcf")));
  Clear();
  zelDistMinDP = 2;
  zelDistMinDP_hom = 10;
  ASSERT_TRUE(scVcfPwUDist());
  EXPECT_EQ(Lines(), (TLines{"Performing pairwise SNP genotype distance calculation (diploid "
                             "unphased unweighted distance), ignoring missing data; minDP "
                             "(all/hom)=2/10",
                             "SNPs used: 5; samples: 4"}));
  const int32_t id = GetActiveObj();
  ASSERT_EQ(GetObjTypeById(id), oDist);
  const auto* d = dynamic_cast<const TSymDist*>(GetObjById(id));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetNames(), (TLines{"S1", "S2", "S3", "S4"}));
  EXPECT_EQ(d->GetDist(3, 0), 0.5);
  EXPECT_EQ(ZelUiState().State, 0);
  // Another object active: the most recent VCF file is used and made active again.
  ASSERT_TRUE(scLoadPopMap(Data("four.popmap")));
  SetActiveObj(id);
  ASSERT_TRUE(scVcfPwUDist());
  EXPECT_EQ(ZelObjCount(), 4);
}

TEST_F(CmdDistTest, Refusals) {
  EXPECT_FALSE(scVcfPwUDist());
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Nothing loaded."}));
  Clear();
  EXPECT_FALSE(scSaveDist((Dir / "m.tsv").string()));
  EXPECT_EQ(Lines().back(), "ERROR [U]: No distance matrix to save.");
  EXPECT_FALSE(fs::exists(Dir / "m.tsv"));
  Clear();
  EXPECT_FALSE(scUPGMA((Dir / "t.nwk").string()));
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]:  UPGMA: Need to operate on distance matrix."}));
  Clear();
  EXPECT_FALSE(scPCoA());
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: PCoA: Need to operate on distance matrix."}));
  EXPECT_EQ(ZelUiState().State, 2);

  // Only a map loaded: no VCF to work on.
  ASSERT_TRUE(scLoadPopMap(Data("four.popmap")));
  SetActiveObj(0);
  Clear();
  EXPECT_FALSE(scVcfPwUDist());
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Need to operate on VCF input."}));

  // No usable SNP: nothing registered.
  std::ofstream(Dir / "indel.vcf") << "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\t"
                                      "FILTER\tINFO\tFORMAT\tA\tB\n1\t1\t.\tAT\tA\t.\t.\t.\tGT\t0/"
                                      "0\t1/1\n";
  ASSERT_TRUE(scLoadVcfFile((Dir / "indel.vcf").string()));
  const int32_t before = ZelObjCount();
  Clear();
  EXPECT_FALSE(scVcfPwUDist());
  EXPECT_EQ(Lines().back(),
            "ERROR [U]: No usable SNP: none of the selected variants is a biallelic, polymorphic, "
            "non-degenerate SNP.");
  EXPECT_EQ(ZelObjCount(), before);
}

TEST_F(CmdDistTest, PairsWithoutDistanceAreWarnedAboutAndSavedAsNA) {
  std::ofstream(Dir / "na.vcf") << "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\t"
                                   "INFO\tFORMAT\tA\tB\tC\n1\t1\t.\tA\tG\t.\t.\t.\tGT\t0/0\t./"
                                   ".\t1/1\n1\t2\t.\tA\tG\t.\t.\t.\tGT\t./.\t0/1\t1/1\n";
  ASSERT_TRUE(scLoadVcfFile((Dir / "na.vcf").string()));
  Clear();
  ASSERT_TRUE(scVcfPwUDist());
  EXPECT_EQ(Lines().back(), "1 pairs of samples share no scored SNP: their distance is NA");
  const std::string fn = (Dir / "m.tsv").string();
  ASSERT_TRUE(scSaveDist(fn));
  std::ifstream in(fn, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text,
            "A\tB\tC\r\n0.000000000\t\r\nNA\t0.000000000\t\r\n1.000000000\t0.500000000\t0."
            "000000000\t\r\n\r\n");
  // Read back and refused by both analyses.
  ASSERT_TRUE(iscLoadDistMatrix(fn));
  Clear();
  EXPECT_FALSE(scPCoA());
  EXPECT_EQ(Lines().back(),
            "ERROR [U]: PCoA needs a distance for every pair (1 pairs have none): no distance "
            "between B and A.");
}

TEST_F(CmdDistTest, FailedWritesAreReported) {
  ASSERT_TRUE(scLoadVcfFile(Data("four.vcf")));
  ASSERT_TRUE(scVcfPwUDist());
  const std::string bad = (Dir / "no" / "such" / "m.tsv").string();
  Clear();
  EXPECT_FALSE(scSaveDist(bad));
  EXPECT_EQ(Lines().back(),
            "ERROR [U]: Cannot write file: " + bad + ": No such file or directory.");
  Clear();
  EXPECT_FALSE(scUPGMA(bad));
  EXPECT_EQ(Lines().back(),
            "ERROR [U]: Cannot write file: " + bad + ": No such file or directory.");
  ASSERT_TRUE(scPCoA());
  Clear();
  EXPECT_FALSE(iscSavePCoATables((Dir / "no" / "p").string()));
  EXPECT_EQ(Lines().back(), "ERROR [U]: Cannot write file: " + (Dir / "no" / "p").string() +
                                ".coords.tsv: No such file or directory.");
  EXPECT_EQ(ZelUiState().State, 2);
}

TEST_F(CmdDistTest, PCoAKeepsTheGroupsAndHandsTheResultToTheViewer) {
  ASSERT_TRUE(scLoadVcfFile(Data("four.vcf")));
  ASSERT_TRUE(scVcfPwUDist());
  ASSERT_TRUE(scLoadPopMap(Data("four.popmap")));
  int shown = 0;
  iscSetPCoAViewer([&](const TPCoAResult& r) {
    ++shown;
    EXPECT_EQ(r.nItems, 4u);
  });
  ASSERT_TRUE(scPCoA());
  iscSetPCoAViewer(nullptr);
  EXPECT_EQ(shown, 1);
  const TPCoAResult* r = iscLastPCoA();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->GroupNames, (TLines{"p1", "p2"}));
  EXPECT_EQ(r->GroupMembers, (std::vector<TLines>{{"S1", "S2"}, {"S3"}}));
  EXPECT_EQ(r->Names, (TLines{"S1", "S2", "S3", "S4"}));
}

}  // namespace
