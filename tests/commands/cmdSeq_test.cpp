// Sequence commands: FASTA and GFF3 loads (by suffix too) with their status texts, failures
// that name the file and keep the active object, listing and grabbing entries, Tm lines.
#include "commands/cmdSeq.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/cmdLoad.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "seq/bioFastAQ.h"
#include "seq/bioGFF3.h"
#include "tests/core/coreFixture.h"

namespace {

namespace fs = std::filesystem;
using TLines = std::vector<std::string>;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/seq/" + name; }

class CmdSeqTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    Dir = fs::temp_directory_path() / ("zel_cmdseq_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    fs::remove_all(Dir);
    CoreTest::TearDown();
  }
  fs::path Dir;
};

TEST_F(CmdSeqTest, LoadsRegisterAndShowSizes) {
  ASSERT_TRUE(scLoadFileAuto(Data("multi.fa.gz")));
  EXPECT_EQ(GetObjTypeById(GetActiveObj()), oFASTA);
  EXPECT_EQ(ZelUiState().Panels[2], "5 seq");
  ASSERT_NE(iscActiveFastaFile(), nullptr);
  EXPECT_EQ(iscActiveFastaFile()->NSeq(), 5u);
  ASSERT_TRUE(scLoadFileAuto(Data("real.gff3.bgz")));
  EXPECT_EQ(GetObjTypeById(GetActiveObj()), oGFF3);
  EXPECT_EQ(ZelUiState().Panels[2], "10 FT");
  ASSERT_NE(iscActiveGff3File(), nullptr);
  EXPECT_EQ(iscActiveFastaFile(), nullptr);
  EXPECT_EQ(ZelObjCount(), 2);
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_TRUE(ZelLogLines().empty());
}

TEST_F(CmdSeqTest, FailedLoadNamesFileAndKeepsActiveObject) {
  ASSERT_TRUE(scLoadFastaFile(Data("crlf.fa")));
  const int32_t id = GetActiveObj();
  const struct {
    bool Gff;
    std::string File, Line;
  } cases[] = {
      {true, Data("bad_cols.gff3"),
       "ERROR [U]: Not a GFF3 feature line (8 columns, 9 needed): " + Data("bad_cols.gff3") +
           " line 5."},
      {true, Data("multi.fa"),
       "ERROR [U]: Not a GFF3 feature line (1 columns, 9 needed): " + Data("multi.fa") +
           " line 1."},
      {false, Data("names.txt"),
       "ERROR [U]: Not a FASTA file (no line starts with \">\"): " + Data("names.txt") + "."},
      {false, Data("none.fa"), "ERROR [U]: File not found: " + Data("none.fa") + "."}};
  for (const auto& c : cases) {
    scClearLog();
    EXPECT_FALSE(c.Gff ? scLoadGff3File(c.File) : scLoadFastaFile(c.File));
    EXPECT_TRUE(iscZelHasError(true));
    EXPECT_EQ(ZelLogLines(), TLines{c.Line});
    EXPECT_EQ(GetActiveObj(), id);
    EXPECT_EQ(ZelObjCount(), 1);
    EXPECT_EQ(ZelUiState().Panels[2], "3 seq");
  }
}

TEST_F(CmdSeqTest, ListNeedsAFastaFile) {
  TLines names;
  auto add = [&](const std::string& n) { names.push_back(n); };
  EXPECT_FALSE(iscListFastaSeq(add));
  EXPECT_EQ(ZelLogLines(), TLines{"ERROR [U]: Nothing loaded."});
  ASSERT_TRUE(scLoadGff3File(Data("real.gff3")));
  scClearLog();
  EXPECT_FALSE(iscGrabSelFasta2File({"a"}, (Dir / "x.fa").string()));
  EXPECT_EQ(ZelLogLines(), TLines{"ERROR [U]: Need to operate on FASTA/Q input."});
  ASSERT_TRUE(scLoadFastaFile(Data("multi.fa")));
  scClearLog();
  EXPECT_TRUE(iscListFastaSeq(add));
  EXPECT_EQ(names, (TLines{"seq1 first sequence", "seq2|x y", "seq3", "empty one", "seq5"}));
  EXPECT_TRUE(ZelLogLines().empty());
  EXPECT_EQ(ZelUiState().State, 0);
}

TEST_F(CmdSeqTest, GrabWritesInFileOrderAndCounts) {
  ASSERT_TRUE(scLoadFastaFile(Data("multi.fa")));
  const std::string out = (Dir / "out.fa").string();
  EXPECT_TRUE(iscGrabSelFasta2File({"seq5", "missing", "seq1 first sequence", "empty one"}, out));
  EXPECT_EQ(ZelLogLines(), (TLines{"Names not found (1): missing",
                                   "Entries with an empty sequence, not written (1): empty one",
                                   "2 of 4 written to " + out}));
  std::ifstream in(out, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), ">seq1 first sequence\r\nACGTACGTACGTACGT\r\n>seq5\r\ngattaca\r\n\r\n");

  scClearLog();
  const std::string none = (Dir / "none.fa").string();
  EXPECT_FALSE(iscGrabSelFasta2File({"empty one", "x"}, none));
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(ZelLogLines(), (TLines{"Names not found (1): x",
                                   "Entries with an empty sequence, not written (1): empty one",
                                   "ERROR [U]: No sequence written: 0 of 2 written."}));
  EXPECT_FALSE(fs::exists(none));
}

TEST_F(CmdSeqTest, MeltingTemperatureLines) {
  scCalcTm("ACGTACGT");
  EXPECT_EQ(ZelLogLines(), (TLines{"Calculating Tm for Oligo: ACGTACGT",
                                   "Tm simplest: 24.0 \xC2\xB0"
                                   "C",
                                   "Tm salt: -3.1 \xC2\xB0"
                                   "C @ [Salt+]=50mM"}));
  scClearLog();
  scCalcTm("");
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(ZelLogLines(), TLines{"ERROR [U]: No oligonucleotide to calculate Tm for."});
}

}  // namespace
