// F_ST commands: preconditions, what is registered (and that nothing is on errors), the save
// without a result, and the selection by F_ST through the user seam.
#include "commands/cmdFst.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "commands/cmdLoad.h"
#include "commands/cmdPop.h"
#include "core/zelGivenUser.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "popgen/bioDS.h"
#include "popgen/bioFst.h"
#include "tests/core/coreFixture.h"
#include "vcf/bioVCF.h"

namespace {

using TLines = std::vector<std::string>;

std::string Fst(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/fst/" + name; }

class CmdFstTest : public CoreTest {
 protected:
  TZelGivenUser User;
  void SetUp() override {
    CoreTest::SetUp();
    ZelSetUser(&User);
  }
  void TearDown() override {
    ZelSetUser(nullptr);
    CoreTest::TearDown();
  }
  static void Clear() {
    scClearLog();
    iscZelHasError(true);
  }
  // hand.vcf with its map, global F_ST with --min-obs 1 --min-pops 2 (see tests/cli): F_ST
  // .1250, 0, 1, NA, 0 at chr1:100, 200, 300, 400 and chr2:500; chr2:600 does not pass.
  static TVCFFile* LoadHand() {
    EXPECT_TRUE(scLoadVcfFile(Fst("hand.vcf")));
    EXPECT_TRUE(scLoadPopMap(Fst("hand.popmap")));
    EXPECT_TRUE(scGlobalFst(2, 10, 1, 2, 2, true, true));
    return iscActiveVcfFile();
  }
  static std::vector<bool> Selected(const TVCFFile& vcf) {
    std::vector<bool> s;
    for (uint64_t v = 0; v < vcf.NVariants(); ++v) s.push_back(vcf.IsSelected(v));
    return s;
  }
};

TEST_F(CmdFstTest, PreconditionsInOrder) {
  EXPECT_FALSE(scGlobalFst(2, 10, 4, 4, 2, true, true));
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: Nothing loaded."}));
  Clear();
  ASSERT_TRUE(scLoadVcfFile(Fst("hand.vcf")));
  EXPECT_FALSE(scPairwiseFst(2, 10, 4, 4, 2, true, true));
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: No population structure defined."}));
  Clear();
  ASSERT_TRUE(scLoadPopMap(Fst("hand.popmap")));
  SetActiveObj(1);  // the data set
  Clear();
  EXPECT_FALSE(scGlobalFst(2, 10, 4, 4, 2, true, true));
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: Need to operate on VCF input."}));
  EXPECT_EQ(GetLastObjIdOfType({oPopParams}), -1);
}

TEST_F(CmdFstTest, ResultsAreRegisteredWithTheirSourceAndMask) {
  TVCFFile* vcf = LoadHand();
  ASSERT_NE(vcf, nullptr);
  const auto* r = GetLastObjOfTypeAs<TPopParameters>(oPopParams);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->popParSrcid, 0u);
  ASSERT_EQ(r->PopParameters.size(), 1u);
  const TPopParams& pp = r->PopParameters[0];
  EXPECT_EQ(pp.Desc, "global");
  EXPECT_EQ(pp.ValKindDesc, "F_ST");
  EXPECT_EQ(pp.valKind, ppvFst);
  EXPECT_EQ(pp.PopNames, (TLines{"A", "B"}));
  EXPECT_EQ(pp.LocNames, (TLines{"chr1\t100", "chr1\t200", "chr1\t300", "chr1\t400", "chr2\t500"}));
  EXPECT_EQ(pp.SelMask.AsABool(), (std::vector<bool>{true, true, true, true, true, false}));
  ASSERT_EQ(pp.Fst.size(), 5u);
  EXPECT_TRUE(std::isnan(pp.Fst[3]));
  EXPECT_EQ(ZelUiState().State, 0);
  // Pairwise on the same file adds a second result: one pair, B-A.
  ASSERT_TRUE(scPairwiseFst(2, 10, 1, 4, 2, true, true));
  const auto* pw = GetLastObjOfTypeAs<TPopParameters>(oPopParams);
  ASSERT_NE(pw, r);
  ASSERT_EQ(pw->PopParameters.size(), 1u);
  EXPECT_EQ(pw->PopParameters[0].Desc, "B-A");
  EXPECT_EQ(pw->PopParameters[0].Pop1, 1u);
  EXPECT_EQ(pw->PopParameters[0].Pop2, 0u);
  // Two populations: the pair is the global run.
  EXPECT_EQ(ReportFstStr(pw->PopParameters[0].Fst, false, {}, "", '\t', 4, 5),
            ReportFstStr(pp.Fst, false, {}, "", '\t', 4, 5));
}

TEST_F(CmdFstTest, ErrorsRegisterNothingAndSaveFindsNothing) {
  ASSERT_TRUE(scLoadVcfFile(Fst("triploid.vcf")));
  ASSERT_TRUE(scLoadPopMap(Fst("hand.popmap")));
  EXPECT_FALSE(scGlobalFst(2, 10, 1, 2, 2, true, true));
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(GetLastObjIdOfType({oPopParams}), -1);
  Clear();
  EXPECT_FALSE(scSaveFst("/tmp/zel_none_"));
  EXPECT_EQ(ZelLogLines(),
            (TLines{"Saving last calculated population parameters/Fsts to file(s) of base name "
                    "/tmp/zel_none_",
                    "ERROR [U]: No suitable dataset in found in memory."}));
  Clear();
  EXPECT_TRUE(scSaveFst(""));
  EXPECT_TRUE(ZelLogLines().empty());
}

// A table that cannot be written is an error naming it (here the last table's name is taken
// by a folder), and no temporary file is left behind.
TEST_F(CmdFstTest, FailedWriteIsReportedAndLeavesNoTable) {
  ASSERT_NE(LoadHand(), nullptr);
  const std::string dir = ::testing::TempDir() + "/zel_fst_fail/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "fst_global.tsv");
  Clear();
  EXPECT_FALSE(scSaveFst(dir));
  EXPECT_TRUE(iscZelHasError(false));
  const TLines log = ZelLogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("ERROR [U]: Cannot write file: " + dir + "fst_global.tsv: ", 0), 0u)
      << log.back();
  // The tables before it are whole; no temporary file is left.
  for (const auto& e : std::filesystem::directory_iterator(dir))
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
  EXPECT_GT(std::filesystem::file_size(dir + "ac_global.tsv"), 100u);
  // A folder that is not there: the first table fails to open.
  Clear();
  EXPECT_FALSE(scSaveFst(dir + "missing/run1"));
  EXPECT_EQ(ZelLogLines().back(), "ERROR [U]: Cannot write file: " + dir +
                                      "missing/run1ac_global.tsv: No such file or directory.");
  std::filesystem::remove_all(dir);
}

// Pairs are made several at once (one per thread) but put in place in pair order: a failure
// keeps every table before it, whole, and nothing after it, whatever the number of threads.
TEST_F(CmdFstTest, FailedPairwiseWriteKeepsTheTablesBeforeIt) {
  const std::string dir = ::testing::TempDir() + "/zel_fst_fail_pw/";
  const unsigned threads = ZelThreads();
  for (unsigned t : {1u, 2u, 3u}) {
    SCOPED_TRACE(t);
    ZelSetThreads(t);
    ASSERT_TRUE(scLoadVcfFile(Fst("pairs.vcf")));
    ASSERT_TRUE(scLoadPopMap(Fst("pairs.popmap")));
    scSelectPopScheme("three");
    ASSERT_TRUE(scPairwiseFst(0, 10, 1, 2, 2, true, true));  // pairs Z-Y, X-Y, X-Z
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "het_X-Y.tsv");
    Clear();
    EXPECT_FALSE(scSaveFst(dir));
    EXPECT_EQ(
        ZelLogLines().back().rfind("ERROR [U]: Cannot write file: " + dir + "het_X-Y.tsv: ", 0), 0u)
        << ZelLogLines().back();
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      names.push_back(e.path().filename().string());
      if (!e.is_directory()) {
        EXPECT_GT(std::filesystem::file_size(e.path()), 20u) << names.back();
      }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (TLines{"ac_X-Y.tsv", "ac_Z-Y.tsv", "af_X-Y.tsv", "af_Z-Y.tsv", "fst_Z-Y.tsv",
                             "het_X-Y.tsv", "het_Z-Y.tsv"}));
  }
  ZelSetThreads(threads);
  std::filesystem::remove_all(dir);
}

TEST_F(CmdFstTest, SelectionByFstThroughTheSeam) {
  TVCFFile* vcf = LoadHand();
  ASSERT_NE(vcf, nullptr);
  struct TCase {
    uint8_t Cmp;
    std::string Thr;
    std::vector<bool> Sel;
    TLines Log;
  } cases[] = {
      {3,
       "0.5",
       {false, false, true, false, false, false},
       {"Selecting variants based on F_ST global with threshold >=    0.5000",
        "Selected 1 variants"}},
      // "NA" (chr1:400) never passes, not even "<>".
      {5,
       "1",
       {true, true, false, false, true, false},
       {"Selecting variants based on F_ST global with threshold <>    1.0000",
        "Selected 3 variants"}},
      {0,
       "-1e-9",
       {false, false, false, false, false, false},
       {"Selecting variants based on F_ST global with threshold <   -0.0000",
        "Selected 0 variants"}},
      {3,
       "abc",
       {true, true, true, true, true, true},
       {"ERROR [U]: Threshold value does not appear to be a valid number: <abc>."}},
      // The number the dialog once used as "no number" is a threshold like any other.
      {3,
       "-999.999666999",
       {true, true, true, false, true, false},
       {"Selecting variants based on F_ST global with threshold >= -999.9997",
        "Selected 4 variants"}},
  };
  for (const TCase& c : cases) {
    vcf->ClearSelection(true);
    Clear();
    User.ValueSelections.push_back(TZelValueSelection{0, c.Cmp, c.Thr});
    uscVcfSelectByFst();
    EXPECT_EQ(ZelLogLines(), c.Log) << c.Thr;
    EXPECT_EQ(Selected(*vcf), c.Sel) << c.Thr;
  }
  EXPECT_EQ(User.ValueSelectionLines, (TLines{"F_ST global [2.0]"}));
  // Cancelled: nothing happens.
  vcf->ClearSelection(true);
  Clear();
  uscVcfSelectByFst();
  EXPECT_TRUE(ZelLogLines().empty());
  EXPECT_EQ(vcf->NSelected(), 6u);
}

TEST_F(CmdFstTest, SelectionNeedsAVcfAndAResultOfIt) {
  uscVcfSelectByFst();  // nothing registered: nothing happens
  EXPECT_TRUE(ZelLogLines().empty());
  ASSERT_TRUE(scLoadPopMap(Fst("hand.popmap")));
  SetActiveObj(0);
  Clear();
  uscVcfSelectByFst();
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: No valid VCF input selected."}));
  Clear();
  ASSERT_TRUE(scLoadVcfFile(Fst("hand.vcf")));
  Clear();
  uscVcfSelectByFst();
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: No suitable Fst data set found."}));
  EXPECT_TRUE(User.Asked.empty());
}

}  // namespace

// The estimator holds for the runs that follow; an unknown name is refused and changes
// nothing. hand.vcf under wc: chr1:100 .2 (a = .125, a + b + c = .625 over both alleles),
// chr1:200 0 (every call 0/1), chr1:300 1, chr1:400 monomorphic and chr2:500 (one diploid call
// per population after the depth masking) without a value; the call cut to one allele is
// counted.
TEST_F(CmdFstTest, EstimatorChosenByNameHoldsForTheNextRuns) {
  EXPECT_FALSE(scFstEstimator("fis"));
  EXPECT_EQ(ZelLogLines(),
            (TLines{"ERROR [U]: Unknown F_ST estimator: <fis> (nei, wc or hudson)."}));
  ASSERT_TRUE(scFstEstimator("wc"));
  ASSERT_TRUE(scLoadVcfFile(Fst("hand.vcf")));
  ASSERT_TRUE(scLoadPopMap(Fst("hand.popmap")));
  SetActiveObj(0);
  Clear();
  ASSERT_TRUE(scGlobalFst(2, 10, 1, 2, 2, true, true));
  EXPECT_NE(std::find(ZelLogLines().begin(), ZelLogLines().end(),
                      "Calls with one allele (haploid, half missing, or homozygous below "
                      "minDP_hom) skipped by the wc estimator: 1"),
            ZelLogLines().end());
  const auto* r = GetLastObjOfTypeAs<TPopParameters>(oPopParams);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Estimator, fstWC);
  const std::vector<double>& f = r->PopParameters.at(0).Fst;
  ASSERT_EQ(f.size(), 5u);
  EXPECT_NEAR(f[0], 0.2, 1e-12);
  EXPECT_NEAR(f[1], 0, 1e-12);
  EXPECT_NEAR(f[2], 1, 1e-12);
  EXPECT_TRUE(std::isnan(f[3]) && std::isnan(f[4]));
  // Hudson compares two populations only.
  ASSERT_TRUE(scFstEstimator("hudson"));
  Clear();
  EXPECT_FALSE(scGlobalFst(2, 10, 1, 2, 2, true, true));
  EXPECT_TRUE(iscZelHasError(false));
  ASSERT_TRUE(scPairwiseFst(2, 10, 1, 2, 2, true, true));
  EXPECT_EQ(GetLastObjOfTypeAs<TPopParameters>(oPopParams)->Estimator, fstHudson);
  ASSERT_TRUE(scFstEstimator("nei"));
}
