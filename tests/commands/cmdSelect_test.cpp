// Selection commands: the lines they log, the status text, the dialog's answers (and Cancel),
// saving with a scheme, the selection files, missing calls per sample and renaming.
#include "commands/cmdSelect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/cmdLoad.h"
#include "commands/cmdPop.h"
#include "core/zelGivenUser.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "tests/core/coreFixture.h"
#include "vcf/bioVCF.h"

namespace {

namespace fs = std::filesystem;
using TLines = std::vector<std::string>;

std::string Data(const std::string& n) { return std::string(ZEL_TEST_DATA) + "/vcf/select/" + n; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class CmdSelectTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    ZelSetUser(&User);
    Dir = fs::temp_directory_path() / ("zel_cmdsel_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    ZelSetUser(nullptr);
    fs::remove_all(Dir);
    CoreTest::TearDown();
  }
  TVCFFile* Load(const std::string& name = "sel.vcf") {
    EXPECT_TRUE(scLoadVcfFile(Data(name)));
    Clear();
    return iscActiveVcfFile();
  }
  static void Clear() {
    scClearLog();
    iscZelHasError(true);
  }
  static std::vector<uint64_t> Selected(const TVCFFile& f) {
    std::vector<uint64_t> r;
    for (uint64_t v = 0; v < f.NVariants(); ++v)
      if (f.IsSelected(v)) r.push_back(v);
    return r;
  }
  TZelGivenUser User;
  fs::path Dir;
};

TEST_F(CmdSelectTest, ClassCommandsNarrowAndShowTheCount) {
  TVCFFile* f = Load();
  scVcfSelectSNPs();
  scVcfSelectTransitions();
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{0, 2, 4, 7}));
  EXPECT_EQ(ZelUiState().Panels[2], "4 x 4");
  scVcfInvertSelection();
  EXPECT_EQ(ZelUiState().Panels[2], "4 x 4");
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{1, 3, 5, 6}));
  scVcfSelectNone();
  EXPECT_EQ(ZelUiState().Panels[2], "4 x 0");
  scVcfSelectAll();
  EXPECT_EQ(ZelUiState().Panels[2], "4 x 8");
  scVcfSelectBiallelic();
  scVcfSelectInDels();
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{3}));
  EXPECT_TRUE(Lines().empty());  // class commands log nothing
}

TEST_F(CmdSelectTest, NoVcfIsAUserError) {
  scVcfSelectSNPs();
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Need to operate on VCF input."}));
  Clear();
  ASSERT_TRUE(scLoadPopMap(Data("three_pops.popmap")));
  Clear();
  scVcfSelectAll();
  scVcfListMissingDataPerSample();
  scVcfSaveSelection((Dir / "x.vcf").string());
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Need to operate on VCF input.",
                             "ERROR [U]: No valid VCF input selected.",
                             "ERROR [U]: Need to operate on VCF input."}));
}

TEST_F(CmdSelectTest, InfoDialogAnswersAndRefusals) {
  TVCFFile* f = Load();
  uscVcfSelectByInfo();  // no answer: cancelled
  ASSERT_EQ(User.VarSelRequests.size(), 1u);
  EXPECT_EQ(User.VarSelRequests[0].Page, vsVcfInfo);
  std::vector<std::string> offered;
  for (const TVarSelKey& k : User.VarSelRequests[0].Keys) offered.push_back(k.Id);
  EXPECT_EQ(offered, (TLines{"DP", "AF", "MQ", "TXT", "FL"}));
  EXPECT_EQ(User.VarSelRequests[0].Keys[2].Type, vtFloat);
  EXPECT_TRUE(Lines().empty());

  struct {
    std::string Key;
    uint8_t Cmp;
    std::string Threshold;
    TLines Log;
    std::vector<uint64_t> Sel;
  } cases[] = {
      {"DP",
       4,
       "20",
       {"Selecting variants based upon DP INFO tag >20", "Selected 4 variants"},
       {3, 4, 5, 6}},
      {"DP",
       3,
       "1O",
       {"ERROR [U]: Threshold value does not appear to be a valid integer number: <1O>."},
       {0, 1, 2, 3, 4, 5, 6, 7}},
      {"AF",
       3,
       "0",
       {"ERROR [U]: Only INFO keys with Number=1 can be compared with a threshold: AF has "
        "Number=A."},
       {0, 1, 2, 3, 4, 5, 6, 7}},
      {"TXT",
       2,
       "x",
       {"ERROR [U]: Only Integer and Float INFO keys can be compared with a threshold: TXT has "
        "Type=String."},
       {0, 1, 2, 3, 4, 5, 6, 7}},
      {"MQ",
       1,
       "abc",
       {"ERROR [U]: Threshold value does not appear to be a valid floating point number: <abc>."},
       {0, 1, 2, 3, 4, 5, 6, 7}},
  };
  for (const auto& c : cases) {
    f->ClearSelection(true);
    Clear();
    TVarSelAnswer a;
    a.Key = c.Key;
    a.Comparison = c.Cmp;
    a.Threshold = c.Threshold;
    User.VarSelAnswers.push_back(a);
    uscVcfSelectByInfo();
    EXPECT_EQ(Lines(), c.Log) << c.Key << c.Threshold;
    EXPECT_EQ(Selected(*f), c.Sel) << c.Key << c.Threshold;
    EXPECT_NE(ZelUiState().State, 1);  // never left busy
  }
}

// "if tag is present": any type of key, with or without a value ("DP=." holds the key).
TEST_F(CmdSelectTest, InfoTagPresence) {
  TVCFFile* f = Load();
  const struct {
    std::string Key;
    std::string LastLog;
    std::vector<uint64_t> Sel;
  } cases[] = {
      {"FL", "Selected 1 variants", {1}},
      {"TXT", "Selected 1 variants", {0}},
      {"DP", "Selected 6 variants", {0, 1, 2, 3, 5, 7}},
      {"NOPE",
       "ERROR [U]: INFO key not defined in the VCF header: NOPE.",
       {0, 1, 2, 3, 4, 5, 6, 7}},
  };
  for (const auto& c : cases) {
    f->ClearSelection(true);
    Clear();
    TVarSelAnswer a;
    a.Key = c.Key;
    a.TagPresent = true;
    a.Threshold = "not read";
    User.VarSelAnswers.push_back(a);
    uscVcfSelectByInfo();
    ASSERT_FALSE(Lines().empty());
    EXPECT_EQ(Lines().back(), c.LastLog) << c.Key;
    EXPECT_EQ(Selected(*f), c.Sel) << c.Key;
  }
}

TEST_F(CmdSelectTest, SampleTagLogsTheConditionAndCount) {
  TVCFFile* f = Load();
  TVarSelAnswer a;
  a.Key = "GQ";
  a.Comparison = 3;
  a.Threshold = "20";
  a.MinSamples = "3";
  User.VarSelAnswers.push_back(a);
  a.MinSamples = "x3";
  User.VarSelAnswers.push_back(a);
  uscVcfSelectBySampleTag();
  uscVcfSelectBySampleTag();
  EXPECT_EQ(Lines(), (TLines{"Selecting variants based upon GQ FORMAT tag >=20, requiring 3 "
                             "sample individuals to pass this condition.",
                             "Selected 5 variants",
                             "ERROR [U]: Min. Sample value does not appear to be a valid unsigned "
                             "integer number: <x3>."}));
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{0, 1, 4, 5, 6}));
  EXPECT_EQ(ZelUiState().Panels[2], "4 x 5");
  EXPECT_EQ(User.VarSelRequests.back().Page, vsVcfSample);
}

TEST_F(CmdSelectTest, ContigAndRangeDialogs) {
  TVCFFile* f = Load();
  f->ClearSelection(false);
  f->SelectVariant(0, true);
  iscShowVcfVarSelection();  // cancelled: the selection stays
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{0}));
  EXPECT_EQ(User.VarSelRequests[0].Contigs, (TLines{"chr2", "chrX", "chr10"}));
  TVarSelAnswer a;
  a.CheckedContigs = {1, 2};
  User.VarSelAnswers.push_back(a);
  iscShowVcfVarSelection();
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{0, 6}));
  a.CheckedContigs = {0};
  a.FromPos = "100";
  a.ToPos = "200";
  User.VarSelAnswers.push_back(a);
  iscShowVcfVarRangeSelection();
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{2, 3, 4}));
  a.FromPos = "300";
  User.VarSelAnswers.push_back(a);
  iscShowVcfVarRangeSelection();
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{2, 3, 4}));
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Not a valid position range: 300 to 200."}));
  EXPECT_EQ(ZelUiState().Panels[2], "4 x 3");
}

TEST_F(CmdSelectTest, SaveWithSchemeWritesItsMembersInPopulationOrder) {
  Load("three_pops.vcf");
  ASSERT_TRUE(scLoadPopMap(Data("three_pops.popmap")));
  scSelectPopScheme("pair");
  Clear();
  const fs::path out = Dir / "pair.vcf";
  scVcfSaveSelection(out.string());
  EXPECT_EQ(Lines(), (TLines{"Saving VCF variant selection to file: " + out.string()}));
  EXPECT_EQ(ReadAll(out),
            "##fileformat=VCFv4.2\n##contig=<ID=1,length=1000>\n"
            "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
            "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tp1a\tp1b\tp3a\tp3b\n"
            "1\t10\t.\tA\tG\t.\tPASS\t.\tGT\t0/0\t0/0\t1/1\t1/1\n"
            "1\t20\t.\tC\tCT\t.\tPASS\t.\tGT\t0/1\t0/1\t./.\t1/1\n"
            "1\t30\t.\tG\tT\t.\tPASS\t.\tGT\t1/1\t0/1\t0/0\t0/1\n");
}

TEST_F(CmdSelectTest, SaveRefusesMembersTheVcfLacks) {
  Load("sel.vcf");
  ASSERT_TRUE(scLoadPopMap(Data("three_pops.popmap")));
  Clear();
  const fs::path out = Dir / "none.vcf";
  scVcfSaveSelection(out.string());
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Population member is not a sample of the VCF: p1a."}));
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(CmdSelectTest, SelectionFilesRoundTripAndRefusals) {
  TVCFFile* f = Load();
  f->ClearSelection(false);
  f->SelectVariant(0, true);
  f->SelectVariant(7, true);
  const std::string bits = (Dir / "s.sel").string(), pos = (Dir / "s.pos").string();
  _dev_save_vcf_selection(bits);
  EXPECT_EQ(ReadAll(bits), "Selection1\t0000000000000008.81\r\n");
  _dev_save_vcf_selection_chrom_explicit(pos);
  EXPECT_EQ(ReadAll(pos), "chr2\t300\r\nchr10\t5\r\n");
  scVcfSelectAll();
  _dev_load_vcf_selection(bits);
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{0, 7}));
  scVcfSelectAll();
  _dev_load_vcf_selection_chrom_explicit(pos);
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{0, 7}));
  EXPECT_EQ(Lines(), (TLines{"currently selected : 2 2", "written 2", "currently selected : 2",
                             "Read", "done"}));

  // Files for another VCF, or with a bad row: refused, the selection stays.
  Clear();
  std::ofstream(Dir / "other.sel") << "Selection1\t000000000000000A.0102\n";
  std::ofstream(Dir / "bad.pos") << "chr2\t100,250\nchr10\t5,x\n";
  _dev_load_vcf_selection((Dir / "other.sel").string());
  _dev_load_vcf_selection_chrom_explicit((Dir / "bad.pos").string());
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Selection file was written for another VCF: 10 variants "
                             "in the file, 8 in the VCF, " +
                                 (Dir / "other.sel").string() + ".",
                             "ERROR [U]: Selection file row does not parse: row 2: chr10\t5,x, " +
                                 (Dir / "bad.pos").string() + "."}));
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{0, 7}));

  // Both records of the split site at chr2:100.
  std::ofstream(Dir / "split.pos") << "chr2\t100\n";
  _dev_load_vcf_selection_chrom_explicit((Dir / "split.pos").string());
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{2, 3}));
}

TEST_F(CmdSelectTest, MissingCallsPerSample) {
  Load();
  scVcfSelectSNPs();
  scVcfListMissingDataPerSample();
  EXPECT_EQ(Lines(), (TLines{"Listing missing data per VCF sample:", "A\t0\r\nB\t0\r\nC\t1\r\nD\t2",
                             "***", ""}));
}

TEST_F(CmdSelectTest, RenamingSamples) {
  TVCFFile* f = Load();
  const std::string pre = "Trying to rename VCF sample names (individuals) from TSV file ";
  scRenameVcfSamples(Data("rename_swap.tsv"));
  EXPECT_EQ(f->SampleNamesRef(), (TLines{"B", "A", "C", "D"}));
  scRenameVcfSamples(Data("rename_onefield.tsv"));  // now "A" is the second sample
  EXPECT_EQ(f->SampleNamesRef(), (TLines{"B", "Z", "C", "D"}));
  scRenameVcfSamples(Data("rename_dup.tsv"));   // there is no A any more: nothing to do
  scRenameVcfSamples(Data("rename_swap.tsv"));  // B -> A only: two would be called... no: B->A
  EXPECT_EQ(f->SampleNamesRef(), (TLines{"A", "Z", "C", "D"}));
  scRenameVcfSamples(Data("rename_dup.tsv"));  // A -> B: no other sample is called B
  EXPECT_EQ(f->SampleNamesRef(), (TLines{"B", "Z", "C", "D"}));
  std::ofstream(Dir / "dup.tsv") << "Z\tC\n";
  scRenameVcfSamples((Dir / "dup.tsv").string());
  EXPECT_EQ(f->SampleNamesRef(), (TLines{"B", "Z", "C", "D"}));
  EXPECT_EQ(Lines(), (TLines{pre + Data("rename_swap.tsv"), pre + Data("rename_onefield.tsv"),
                             "Rename table row 2 has one field only, skipped: C",
                             pre + Data("rename_dup.tsv"), pre + Data("rename_swap.tsv"),
                             pre + Data("rename_dup.tsv"), pre + (Dir / "dup.tsv").string(),
                             "ERROR [U]: Renaming would give two samples the same name: C."}));
}

}  // namespace

namespace {

// A malformed line met by a class or contig selection fails the command and leaves the
// selection as it was; the next command reads the line again and fails the same way.
TEST_F(CmdSelectTest, AMalformedLineFailsTheSelectionAndKeepsTheOldOne) {
  ASSERT_TRUE(scLoadVcfFile(std::string(ZEL_TEST_DATA) + "/vcf/strict/pos_negative.vcf"));
  TVCFFile* f = iscActiveVcfFile();
  ASSERT_NE(f, nullptr);
  f->ClearSelection(true);
  f->SetSelected(0, false);
  for (int round = 0; round < 2; ++round) {
    Clear();
    scVcfSelectSNPs();
    EXPECT_TRUE(iscZelHasError(false));
    EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{1}));
  }
  Clear();
  EXPECT_FALSE(iscVcfSelectContigRange("1", 1, 1000, lAnd));
  EXPECT_EQ(Selected(*f), (std::vector<uint64_t>{1}));
}

}  // namespace
