// Population commands: map loading into data sets, scheme selection, the quick-select list and
// the group manager's data-set side, each with the exact lines it logs.
#include "commands/cmdPop.h"

#include <gtest/gtest.h>

#include <memory>

#include "commands/cmdLoad.h"
#include "core/zelGivenUser.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "popgen/bioDS.h"
#include "tests/core/coreFixture.h"
#include "vcf/bioVCF.h"

namespace {

using TLines = std::vector<std::string>;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/pop/" + name; }

// Starts every test from a fresh core state (registry, log, error flag, interface state).
class CmdPopTest : public CoreTest {
 protected:
  void TearDown() override {
    ZelSetUser(nullptr);
    CoreTest::TearDown();
  }
  static TBioDataSet* Newest() { return GetLastObjOfTypeAs<TBioDataSet>(oBioDS); }
  static void Clear() {
    scClearLog();
    iscZelHasError(true);
  }
};

TEST_F(CmdPopTest, LoadPopMapRegistersADataSetAndLogs) {
  const int32_t activeBefore = GetActiveObj();
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  EXPECT_EQ(ZelLogLines(), (TLines{"Loaded population map from file: " + Data("example.popmap")}));
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(ZelObjCount(), 1);
  EXPECT_EQ(GetObjTypeById(0), oBioDS);
  EXPECT_EQ(GetActiveObj(), activeBefore);
  ASSERT_NE(Newest(), nullptr);
  EXPECT_EQ(Newest()->PopStruc().GetSchemeNames(), (TPopNames{"region", "site"}));
  EXPECT_EQ(Newest()->CurrPopScheme(), 0u);
  // Loading a map does not touch the quick-select list.
  EXPECT_TRUE(ZelUiState().QuickSelect.empty());
}

TEST_F(CmdPopTest, RefusedMapRegistersNothingAndKeepsThePreviousDataSetNewest) {
  ASSERT_TRUE(scLoadPopMap(Data("label_order.popmap")));
  TBioDataSet* before = Newest();
  struct Case {
    std::string File;
    std::string Line;
  };
  const std::vector<Case> cases = {
      {"short_row.popmap", "ERROR [U]: Population map row has 2 fields where the header has 3: " +
                               Data("short_row.popmap") + ", line 3."},
      {"duplicate.popmap", "ERROR [U]: Individual \"ind1\" is listed again (first on line 2): " +
                               Data("duplicate.popmap") + ", line 4."},
      {"empty_name.popmap", "ERROR [U]: Population map row has an empty individual name: " +
                                Data("empty_name.popmap") + ", line 3."},
      {"dup_scheme.popmap",
       "ERROR [U]: Scheme name \"region\" of column 4 is already the name "
       "of column 2: " +
           Data("dup_scheme.popmap") + ", line 1."},
      {"missing.popmap",
       "ERROR [U]: Population map file not found: " + Data("missing.popmap") + "."},
  };
  for (const Case& c : cases) {
    Clear();
    EXPECT_FALSE(scLoadPopMap(Data(c.File)));
    EXPECT_EQ(ZelLogLines(), (TLines{c.Line}));
    EXPECT_TRUE(iscZelHasError(false));
    EXPECT_EQ(ZelObjCount(), 1);
    EXPECT_EQ(Newest(), before);
  }
}

// Names that cannot meet: the map's names that are no samples, the samples the map leaves out,
// one warning each with the count and the first five names.
TEST_F(CmdPopTest, MapAgainstTheActiveVcfWarnsAboutUnmatchedNames) {
  ASSERT_TRUE(scLoadVcfFile(std::string(ZEL_TEST_DATA) + "/vcf/basic.vcf"));  // S1 S2 S3
  Clear();
  ASSERT_TRUE(scLoadPopMap(Data("vs_basic.popmap")));
  EXPECT_EQ(
      ZelLogLines(),
      (TLines{"Loaded population map from file: " + Data("vs_basic.popmap"),
              "Names of the population map that are not samples of the active VCF file: "
              "6 (X1, X2, X3, X4, X5, ...)",
              "Samples of the active VCF file that the population map does not name: 1 (S3)"}));
  EXPECT_FALSE(iscZelHasError(false));
  ASSERT_NE(Newest(), nullptr);
}

TEST_F(CmdPopTest, SelectSchemeSetsTheCurrentSchemeAndPanel) {
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  Clear();
  scSelectPopScheme("site");
  EXPECT_EQ(ZelLogLines(), (TLines{"Selecting population scheme: site"}));
  EXPECT_EQ(Newest()->CurrPopScheme(), 1u);
  EXPECT_EQ(ZelUiState().Panels[3], "site");
  EXPECT_FALSE(iscZelHasError(false));
}

TEST_F(CmdPopTest, SelectSchemeUserErrors) {
  Clear();
  scSelectPopScheme("region");  // no data set at all
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: No suitable population information available. ."}));
  EXPECT_TRUE(iscZelHasError(false));

  AddObj2ObjList(std::make_unique<TBioDataSet>(), oBioDS);  // a data set without individuals
  Clear();
  scSelectPopScheme("region");
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: No suitable population information available. ."}));

  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  ASSERT_TRUE(Newest()->SetCurrPopScheme(1));
  for (const char* wrong : {"Region", "regio", "region "}) {
    Clear();
    scSelectPopScheme(wrong);
    EXPECT_EQ(ZelLogLines(),
              (TLines{std::string("ERROR [U]: Population scheme \"") + wrong + "\" not found."}));
    EXPECT_EQ(Newest()->CurrPopScheme(), 1u);
  }
}

TEST_F(CmdPopTest, SelectSchemeWithoutNameDoesNothing) {
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  Clear();
  scSelectPopScheme("");
  scSelectPopScheme(nullptr);
  EXPECT_TRUE(ZelLogLines().empty());
  EXPECT_FALSE(iscZelHasError(false));
}

TEST_F(CmdPopTest, SelectSchemeUsesTheNewestDataSet) {
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  ASSERT_TRUE(scLoadPopMap(Data("label_order.popmap")));
  Clear();
  scSelectPopScheme("site");  // only in the older data set
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: Population scheme \"site\" not found."}));
  Clear();
  scSelectPopScheme("group");
  EXPECT_EQ(ZelLogLines(), (TLines{"Selecting population scheme: group"}));
}

TEST_F(CmdPopTest, QuickSelectListAppendsEverySchemeEachTime) {
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  iscMenuUpdatePopSchemes(*Newest());
  iscMenuUpdatePopSchemes(*Newest());
  EXPECT_EQ(ZelUiState().QuickSelect, (TLines{"region", "site", "region", "site"}));
  iscMenuUpdatePopSchemes(TBioDataSet());
  EXPECT_EQ(ZelUiState().QuickSelect.size(), 4u);
}

TEST_F(CmdPopTest, GroupManagerNeedsAnActiveVcfFile) {
  uscShowGrpMan();  // nothing was ever registered: nothing happens
  EXPECT_TRUE(ZelLogLines().empty());
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  Clear();
  uscShowGrpMan();  // no active object
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: Need to operate on VCF input."}));
  SetActiveObj(0);  // the data set is not a VCF file
  Clear();
  uscShowGrpMan();
  EXPECT_EQ(ZelLogLines(), (TLines{"ERROR [U]: Need to operate on VCF input."}));
}

// Registers a VCF file with the given sample columns and makes it active.
void AddActiveVcf(const std::string& samples) {
  auto vcf = std::make_unique<TVCFFile>();
  ASSERT_TRUE(
      vcf->OpenText("##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO"
                    "\tFORMAT\t" +
                        samples + "\n1\t10\t.\tA\tG\t.\t.\t.\tGT\t0/1\t1/1\t0/0\n",
                    "mem.vcf"));
  SetActiveObj(static_cast<int32_t>(AddObj2ObjList(std::move(vcf), oVCF)));
}

TEST_F(CmdPopTest, GroupManagerOnTheActiveVcfFile) {
  AddActiveVcf("V1\tV2\tV3");
  TZelGivenUser user;
  user.GroupManager = [](TZelObject& obj) {
    auto& s = dynamic_cast<TPopStructure&>(obj);
    EXPECT_EQ(s.IndNames, (TPopNames{"V1", "V2", "V3"}));
    return s.AddPop({"V2"}, "west", false);
  };
  ZelSetUser(&user);
  uscShowGrpMan();
  EXPECT_EQ(user.Asked, (TLines{"Group manager"}));
  ASSERT_NE(Newest(), nullptr);
  EXPECT_EQ(Newest()->PopStruc().Schemes[0].PopMembership, (TPopIdList{kPopNone, 0, kPopNone}));
  EXPECT_EQ(ZelUiState().QuickSelect, (TLines{"0"}));
  EXPECT_EQ(GetObjTypeById(GetActiveObj()), oVCF);
  EXPECT_TRUE(ZelLogLines().empty());
}

TEST_F(CmdPopTest, GroupManagerConfirmedEditIsStoredAndListed) {
  TZelGivenUser user;
  const TPopStructure* shown = nullptr;
  user.GroupManager = [&](TZelObject& obj) {
    auto& s = dynamic_cast<TPopStructure&>(obj);
    shown = &s;
    EXPECT_EQ(s.IndNames, (TPopNames{"S1", "S2", "S3"}));
    EXPECT_TRUE(s.AddPop({"S1", "S3"}, "east", false));
    return true;
  };
  ZelSetUser(&user);
  iscShowGrpManForSamples({"S1", "S2", "S3"});
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(ZelObjCount(), 1);  // the data set was created and registered
  ASSERT_NE(Newest(), nullptr);
  EXPECT_EQ(Newest()->PopStruc().GetSchemeNames(), (TPopNames{"0"}));
  EXPECT_NE(&Newest()->PopStruc(), shown);  // the data set holds its own copy
  EXPECT_EQ(ZelUiState().QuickSelect, (TLines{"0"}));
  EXPECT_TRUE(ZelLogLines().empty());
  // A second confirmed round appends the entries again.
  user.GroupManager = [](TZelObject&) { return true; };
  iscShowGrpManForSamples({"S1", "S2", "S3"});
  EXPECT_EQ(ZelUiState().QuickSelect, (TLines{"0", "0"}));
}

TEST_F(CmdPopTest, GroupManagerCancelledLeavesTheDataSet) {
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  TZelGivenUser user;
  user.GroupManager = [](TZelObject& obj) {
    auto& s = dynamic_cast<TPopStructure&>(obj);
    EXPECT_TRUE(s.AddPop({"ind2"}, "new", true));
    return false;
  };
  ZelSetUser(&user);
  iscShowGrpManForSamples({"ind1", "ind2", "ind3"});
  EXPECT_EQ(Newest()->PopStruc().PopDef.size(), 4u);
  EXPECT_TRUE(ZelUiState().QuickSelect.empty());
  EXPECT_EQ(ZelObjCount(), 1);
}

TEST_F(CmdPopTest, GroupManagerEditThatDropsTheCurrentSchemeResetsIt) {
  ASSERT_TRUE(scLoadPopMap(Data("example.popmap")));
  ASSERT_TRUE(Newest()->SetCurrPopScheme(1));
  TZelGivenUser user;
  user.GroupManager = [](TZelObject& obj) {
    auto& s = dynamic_cast<TPopStructure&>(obj);
    EXPECT_FALSE(s.LoadFromPopMap(Data("label_order.popmap")));
    return true;
  };
  ZelSetUser(&user);
  iscShowGrpManForSamples({"ind1", "ind2", "ind3"});
  EXPECT_EQ(Newest()->CurrPopScheme(), 0u);
  ASSERT_NE(Newest()->GetCurrScheme(), nullptr);
  EXPECT_EQ(Newest()->GetCurrScheme()->Name, "group");
}

TEST_F(CmdPopTest, GroupManagerRefusesUnusableSampleNames) {
  TZelGivenUser user;
  ZelSetUser(&user);
  iscShowGrpManForSamples({"S1", "S1"});
  EXPECT_EQ(ZelLogLines(),
            (TLines{"ERROR [U]: The VCF sample names cannot be used as individuals (repeated or "
                    "empty)."}));
  EXPECT_TRUE(user.Asked.empty());
  iscShowGrpManForSamples({});  // a VCF file without samples: nothing happens
  EXPECT_TRUE(user.Asked.empty());
}

}  // namespace
