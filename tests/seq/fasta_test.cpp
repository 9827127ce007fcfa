// FASTA files read in place (plain, CR LF, CR, gzip, BGZF), selection by name, and named
// sequence sets written out as FASTA.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "seq/bioFastAQ.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = ZEL_TEST_DATA "/seq/";

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class FastaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("zel_fasta_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  fs::path Dir;
};

std::vector<TNamedSeq> All(TFastaFile& f) { return f.AsNamedSeqs(0, cNoOfs); }

TEST(Fasta, CrLfEntriesWithoutFinalBreak) {
  TFastaFile f;
  ASSERT_TRUE(f.OpenFile(kData + "crlf.fa")) << f.LastError().Msg;
  ASSERT_EQ(f.NSeq(), 3u);
  EXPECT_EQ(All(f), (std::vector<TNamedSeq>{{"a", "ACGT"}, {"b x", ""}, {"c", "TT"}}));
  EXPECT_EQ(f.GetLSeq(0), 4u);
  EXPECT_EQ(f.GetLSeq(1), 0u);
  EXPECT_EQ(f.GetLSeq(2), 2u);
  EXPECT_EQ(f.GetLName(1), 3u);
  EXPECT_EQ(f.GetLSeq(3), cNoOfs);
  EXPECT_EQ(f.GetLName(3), cNoOfs);
  EXPECT_EQ(f.GetEntryRaw(0), "a\r\nAC\r\nGT\r\n");
  EXPECT_EQ(f.GetEntryRaw(2), "c\r\nTT");
  EXPECT_EQ(f.GetEntrySeq(7), "");
}

TEST(Fasta, LineBreakKindsGiveTheSameEntries) {
  const std::vector<TNamedSeq> want{{"s1 d", "ACGTAC"}, {"s2", "GG"}};
  for (const char* text : {">s1 d\nACG\nTAC\n>s2\nGG\n", ">s1 d\r\nACG\r\nTAC\r\n>s2\r\nGG\r\n",
                           ">s1 d\rACG\rTAC\r>s2\rGG\r", ">s1 d\nACG\r\nTAC\n\n>s2\nG\rG"}) {
    TFastaFile f;
    ASSERT_TRUE(f.OpenText(text, "t")) << text;
    EXPECT_EQ(All(f), want) << text;
  }
}

TEST(Fasta, EntriesStartOnlyAtLineStart) {
  TFastaFile f;
  ASSERT_TRUE(f.OpenFile(kData + "multi.fa"));
  ASSERT_EQ(f.NSeq(), 5u);
  EXPECT_EQ(All(f), (std::vector<TNamedSeq>{{"seq1 first sequence", "ACGTACGTACGTACGT"},
                                            {"seq2|x y", "NNNNACGT"},
                                            {"seq3", "ACGT>NOTANENTRYTTTT"},
                                            {"empty one", ""},
                                            {"seq5", "gattaca"}}));
  EXPECT_EQ(f.AsNames(2, 100), (std::vector<std::string>{"seq3", "empty one", "seq5"}));
  EXPECT_TRUE(f.AsNames(5, 100).empty());
  EXPECT_TRUE(f.AsNames(3, 2).empty());
  std::vector<uint64_t> names, seqs;
  EXPECT_EQ(f.XtrEntrySizes(&names, &seqs, 1, 3), 3u);
  EXPECT_EQ(names, (std::vector<uint64_t>{8, 4, 9}));
  EXPECT_EQ(seqs, (std::vector<uint64_t>{8, 19, 0}));
  EXPECT_EQ(f.XtrEntrySizes(nullptr, nullptr, 0, 4), 0u);
}

TEST(Fasta, CompressedFilesReadAsPlain) {
  TFastaFile plain;
  ASSERT_TRUE(plain.OpenFile(kData + "multi.fa"));
  for (const char* name : {"multi.fa.gz", "multi.fa.bgz"}) {
    TFastaFile z;
    ASSERT_TRUE(z.OpenFile(kData + name)) << name << ": " << z.LastError().Msg;
    EXPECT_EQ(All(z), All(plain)) << name;
    EXPECT_EQ(z.GetSeqIDByPName("seq5", 4, 0), 4u) << name;
  }
}

TEST(Fasta, CarriageReturnsNeverInNamesOrSequences) {
  TFastaFile f;
  ASSERT_TRUE(f.OpenText("x\r\n>n1\r\r\nA\rC\r\n>n2 \r\n\r\nG", "t"));
  EXPECT_EQ(All(f), (std::vector<TNamedSeq>{{"n1", "AC"}, {"n2 ", "G"}}));
}

TEST(Fasta, NotFastaIsAnError) {
  const struct {
    std::string Text, Msg;
  } cases[] = {{"", "Empty file, not a FASTA file"},
               {"ACGT\nACGT\n", "Not a FASTA file (no line starts with \">\")"},
               {"a > b\n", "Not a FASTA file (no line starts with \">\")"}};
  for (const auto& c : cases) {
    TFastaFile f;
    EXPECT_FALSE(f.OpenText(c.Text, "x.fa"));
    EXPECT_EQ(f.LastError().Msg, c.Msg);
    EXPECT_EQ(f.LastError().Details, "x.fa");
    EXPECT_EQ(f.NSeq(), 0u);
  }
  TFastaFile f;
  EXPECT_FALSE(f.OpenFile(kData + "no_such.fa"));
  EXPECT_EQ(f.LastError().Msg, "File not found");
}

TEST(Fasta, LookupByName) {
  TFastaFile f;
  ASSERT_TRUE(f.OpenText(">ab\nA\n>\nC\n>a\nG\n>a\nT\n", "t"));
  EXPECT_EQ(f.GetSeqIDByPName("a", 1, 0), 2u);  // not "ab"
  EXPECT_EQ(f.GetSeqIDByPName("a", 1, 3), 3u);
  EXPECT_EQ(f.GetSeqIDByPName("a", 1, 4), cNoOfs);
  EXPECT_EQ(f.GetSeqIDByPName("", 0, 0), 1u);
  EXPECT_EQ(f.GetSeqIDByPName("b", 1, 0), cNoOfs);
  // File order, not request order; a name asked twice takes two entries of that name.
  EXPECT_EQ(f.CollectSeqsByName({"a", "ab"}), (std::vector<TNamedSeq>{{"ab", "A"}, {"a", "G"}}));
  EXPECT_EQ(f.CollectSeqsByName({"a", "x", "a"}), (std::vector<TNamedSeq>{{"a", "G"}, {"a", "T"}}));
  EXPECT_TRUE(f.CollectSeqsByName({}).empty());
}

TEST(Fasta, QualitiesAndRecords) {
  TFastaFile f;
  ASSERT_TRUE(f.OpenText(">a\nACG\n>b\n", "t"));
  EXPECT_TRUE(f.GetEntryQual(0).empty());
  f.FMakeQualArray = true;
  f.FDefQualVal = 30;
  EXPECT_EQ(f.GetEntryQual(0), (std::vector<int8_t>{30, 30, 30}));
  EXPECT_EQ(f.GetQSeq(0), (TQualSeq{"a", "ACG", {30, 30, 30}}));
  EXPECT_EQ(f.AsQSeqsEx(0, 1, true, 5),
            (std::vector<TQualSeq>{{"a", "ACG", {5, 5, 5}}, {"b", "", {}}}));
  EXPECT_EQ(ANamedSeq2AQualSeq({{"a", "AC"}}, true, 7),
            (std::vector<TQualSeq>{{"a", "AC", {7, 7}}}));
  EXPECT_EQ(ANamedSeq2AQualSeq({{"a", "AC"}}, false, 7), (std::vector<TQualSeq>{{"a", "AC", {}}}));
  EXPECT_TRUE(f.FaNameDelimiters()['|']);
  EXPECT_TRUE(f.FaNameDelimiters()[0]);
  EXPECT_FALSE(f.FaNameDelimiters()['_']);
}

TEST_F(FastaTest, QSeqSetWritesRecordsWithSequences) {
  TQSeqSet s;
  s.AddQSeq("a", "ACGT");
  s.AddQSeq(TQualSeq{"b", "", {}});
  EXPECT_EQ(s.AllToFastA("\n"), ">a\nACGT\n");
  const fs::path out = Dir / "o.fa";
  EXPECT_EQ(s.WriteFastA(out, false), 0);
  EXPECT_EQ(ReadAll(out), ">a\r\nACGT\r\n\r\n");
  EXPECT_EQ(s.WriteFastA(out, true), 0);
  EXPECT_EQ(ReadAll(out), ">a\r\nACGT\r\n\r\n>a\r\nACGT\r\n\r\n");
  TQSeqSet none;
  none.AddQSeq("b", "");
  EXPECT_EQ(none.WriteFastA(Dir / "none.fa", false), 0);
  EXPECT_FALSE(fs::exists(Dir / "none.fa"));
}

TEST_F(FastaTest, WriteByNameReportsWhatWasLeftOut) {
  TFastaFile f;
  ASSERT_TRUE(f.OpenFile(kData + "multi.fa"));
  f.SetMaxEntryLen(30);  // seq1's entry (38 bytes) is too long to hold
  const fs::path out = Dir / "out.fa";
  TFastaGrabReport rep;
  TZelErr err;
  ASSERT_TRUE(f.WriteSeqsByName(
      {"seq5", "missing", "seq1 first sequence", "empty one", "seq3", "seq5"}, out, rep, err));
  EXPECT_EQ(rep.Requested, 6u);
  EXPECT_EQ(rep.Written, 2u);
  EXPECT_EQ(rep.NotFound, (std::vector<std::string>{"seq5", "missing"}));
  EXPECT_EQ(rep.Empty, (std::vector<std::string>{"empty one"}));
  EXPECT_EQ(rep.TooLong, (std::vector<std::string>{"seq1 first sequence"}));
  EXPECT_EQ(ReadAll(out), ">seq3\r\nACGT>NOTANENTRYTTTT\r\n>seq5\r\ngattaca\r\n\r\n");

  // Nothing to write: no file, and an existing one stays as it was.
  std::ofstream(Dir / "keep.fa") << "old";
  ASSERT_TRUE(f.WriteSeqsByName({"empty one", "nope"}, Dir / "keep.fa", rep, err));
  EXPECT_EQ(rep.Written, 0u);
  EXPECT_EQ(ReadAll(Dir / "keep.fa"), "old");
  ASSERT_TRUE(f.WriteSeqsByName({"nope"}, Dir / "new.fa", rep, err));
  EXPECT_FALSE(fs::exists(Dir / "new.fa"));

  // A file that cannot be made is an error naming it; no temporary file is left behind.
  EXPECT_FALSE(f.WriteSeqsByName({"seq5"}, (Dir / "no_dir" / "x.fa").string(), rep, err));
  EXPECT_EQ(err.Msg, "Cannot write file");
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 2);
}

}  // namespace
