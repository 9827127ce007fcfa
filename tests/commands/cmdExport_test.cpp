// Export commands: their preconditions as user errors, the selection BayeScan leaves (and
// restores when the file cannot be written), Structure and FAMD leaving it alone.
#include "commands/cmdExport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/cmdLoad.h"
#include "commands/cmdPop.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "popgen/bioDS.h"
#include "tests/core/coreFixture.h"
#include "vcf/bioVCF.h"

namespace {

namespace fs = std::filesystem;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/export/" + name; }

class CmdExportTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    char tmpl[] = "/tmp/zel_cmdexport_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    FDir = tmpl;
  }
  void TearDown() override {
    fs::remove_all(FDir);
    CoreTest::TearDown();
  }
  std::string Out(const std::string& name) const { return (FDir / name).string(); }
  static std::vector<bool> Selection(const TVCFFile& vcf) {
    std::vector<bool> s;
    for (uint64_t v = 0; v < vcf.NVariants(); ++v) s.push_back(vcf.IsSelected(v));
    return s;
  }
  fs::path FDir;
};

TEST_F(CmdExportTest, PreconditionsAreUserErrorsAndWriteNothing) {
  const std::string out = Out("r.txt");
  struct TCase {
    std::string Name;
    std::function<void()> Prepare;
    std::string Bayescan, Structure;  // the error line of each
  };
  const std::vector<TCase> cases = {
      {"no VCF", [] {}, "ERROR [U]: Need to operate on VCF input.",
       "ERROR [U]: Need to operate on VCF input."},
      {"a data set but no VCF", [] { scLoadPopMap(Data("export.popmap")); },
       "ERROR [U]: Need to operate on VCF input.", "ERROR [U]: Need to operate on VCF input."},
      {"no data set", [] { scLoadVcfFile(Data("export.vcf")); },
       "ERROR [U]: BayeScan export requires populations to be defined.",
       "ERROR [U]: Structure export requires populations to be defined."},
      {"a data set without schemes",
       [] {
         scLoadVcfFile(Data("export.vcf"));
         auto ds = std::make_unique<TBioDataSet>();
         TPopStructure s;
         ASSERT_TRUE(s.init({"S1", "S2", "S3", "S4", "S5"}));
         ds->SetPopStruc(s);
         AddObj2ObjList(std::move(ds), oBioDS);
       },
       "ERROR [U]: Corrupt population scheme.", "ERROR [U]: Corrupt population scheme."},
      {"an empty data set",
       [] {
         scLoadVcfFile(Data("export.vcf"));
         AddObj2ObjList(std::make_unique<TBioDataSet>(), oBioDS);
       },
       "ERROR [U]: Corrupt population scheme.", "ERROR [U]: Corrupt population scheme."},
  };
  for (const TCase& c : cases) {
    ResetCore();
    c.Prepare();
    scClearLog();
    EXPECT_FALSE(scVcfExport2Bayescan(out, 10, 2)) << c.Name;
    EXPECT_EQ(Lines(), (std::vector<std::string>{c.Bayescan})) << c.Name;
    scClearLog();
    EXPECT_FALSE(scVcfExport2Structure(out, 10, 2)) << c.Name;
    EXPECT_EQ(Lines(), (std::vector<std::string>{c.Structure})) << c.Name;
    EXPECT_TRUE(iscZelHasError(false));
    EXPECT_TRUE(fs::is_empty(FDir)) << c.Name;
  }
  ResetCore();
  EXPECT_FALSE(scVcfExport2FAMD(out, 2));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"ERROR [U]: Need to operate on VCF input."}));
}

TEST_F(CmdExportTest, BayeScanDeselectsWhatItDidNotExportOnlyWhenTheFilesAreWritten) {
  ASSERT_TRUE(scLoadVcfFile(Data("export.vcf")));
  ASSERT_TRUE(scLoadPopMap(Data("export.popmap")));
  TVCFFile* vcf = iscActiveVcfFile();
  ASSERT_NE(vcf, nullptr);
  vcf->SetSelected(0, false);
  const std::vector<bool> before = Selection(*vcf);
  // The file goes in, the marker names cannot: neither stays, the selection is as it was.
  fs::create_directory(FDir / "r_markernames.txt");
  EXPECT_FALSE(scVcfExport2Bayescan(Out("r.txt"), 10, 2));
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_FALSE(fs::exists(FDir / "r.txt"));
  EXPECT_EQ(Selection(*vcf), before);
  EXPECT_EQ(ZelUiState().State, 2);
  fs::remove(FDir / "r_markernames.txt");

  // Structure and FAMD leave the selection alone.
  ASSERT_TRUE(scVcfExport2Structure(Out("s.txt"), 10, 2));
  ASSERT_TRUE(scVcfExport2FAMD(Out("f.txt"), 2));
  EXPECT_EQ(Selection(*vcf), before);

  scClearLog();
  ASSERT_TRUE(scVcfExport2Bayescan(Out("r.txt"), 10, 2));
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(ZelUiState().State, 0);
  // Exported: chr1 200, 300, 400, chr2 50, 80; not: the unselected first, the site without
  // calls, the one without ALT, the one without DP.
  EXPECT_EQ(Selection(*vcf),
            (std::vector<bool>{false, true, true, true, true, false, false, true, false}));
  EXPECT_EQ(Lines().back(), "Variants without DP values, not exported (a minimum depth is set): 1");
}

}  // namespace
