// Population map files: the exact written form, label numbering, round trips and refusals.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "popgen/bioPop.h"

namespace {

namespace fs = std::filesystem;
using Names = TPopNames;

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/pop/" + name; }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class PopMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zel_popmap_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Tmp(const std::string& name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

// The structure of the example map: two schemes, ind2 unassigned in "site".
TPopStructure Example() {
  TPopStructure s;
  EXPECT_TRUE(s.init({"ind1", "ind2", "ind3"}));
  uint32_t id = s.AddValidPopListToScheme("north", {0, 2}, {true, false, true}, kPopNone, "region");
  EXPECT_EQ(s.AddValidPopListToScheme("south", {1}, {false, true, false}, id, ""), 0u);
  id = s.AddValidPopListToScheme("A", {0}, {true, false, false}, kPopNone, "site");
  EXPECT_EQ(s.AddValidPopListToScheme("B", {2}, {false, false, true}, id, ""), 1u);
  return s;
}

void ExpectExample(const TPopStructure& s) {
  EXPECT_EQ(s.IndNames, (Names{"ind1", "ind2", "ind3"}));
  ASSERT_EQ(s.GetSchemeNames(), (Names{"region", "site"}));
  EXPECT_EQ(s.Schemes[0].PopNames, (Names{"north", "south"}));
  EXPECT_EQ(s.Schemes[0].PopMembership, (TPopIdList{0, 1, 0}));
  EXPECT_EQ(s.Schemes[1].PopNames, (Names{"A", "B"}));
  EXPECT_EQ(s.Schemes[1].PopMembership, (TPopIdList{0, kPopNone, 1}));
  EXPECT_EQ(s.Schemes[1].nIndInScheme, 2u);
  EXPECT_EQ(s.PopDef.size(), 4u);
}

TEST_F(PopMapTest, SaveWritesTheExampleByteForByte) {
  const std::string out = Tmp("saved.popmap");
  ASSERT_FALSE(Example().SaveToPopMap(out));
  EXPECT_EQ(Slurp(out), Slurp(Data("example.popmap")));
  EXPECT_EQ(Slurp(out),
            "<SAMPLES>\tregion\tsite\r\nind1\tnorth\tA\r\nind2\tsouth\t.\r\nind3\tnorth\tB\r\n");
}

TEST_F(PopMapTest, LoadReadsTheExample) {
  TPopStructure s;
  ASSERT_FALSE(s.LoadFromPopMap(Data("example.popmap")));
  ExpectExample(s);
}

TEST_F(PopMapTest, LabelsAreNumberedInByteOrder) {
  TPopStructure s;
  ASSERT_FALSE(s.LoadFromPopMap(Data("label_order.popmap")));
  ASSERT_EQ(s.nSchemes(), 1u);
  EXPECT_EQ(s.Schemes[0].Name, "group");
  EXPECT_EQ(s.Schemes[0].PopNames, (Names{"Pop1", "pop10", "pop2"}));
  EXPECT_EQ(s.Schemes[0].PopMembership, (TPopIdList{1, 2, 0, 2}));
  EXPECT_EQ(s.Schemes[0].PopIndList, (std::vector<TPopIdList>{{2}, {0}, {1, 3}}));
}

TEST_F(PopMapTest, LoadSaveLoadKeepsEverything) {
  TPopStructure first;
  ASSERT_FALSE(first.LoadFromPopMapText(
      "<SAMPLES>\tregion\tsite\tlone\n"
      "z9\tnorth\tA\t.\nind.2\tsouth\t.\tX\n.\tnorth\tB\t.\n a b \t south \t\t.\n",
      "mem"));
  const std::string out = Tmp("round.popmap");
  ASSERT_FALSE(first.SaveToPopMap(out));
  TPopStructure second;
  ASSERT_FALSE(second.LoadFromPopMap(out));
  EXPECT_EQ(second.IndNames, first.IndNames);
  EXPECT_EQ(second.GetSchemeNames(), (Names{"region", "site", "lone"}));
  for (uint32_t k = 0; k < first.nSchemes(); ++k) {
    EXPECT_EQ(second.Schemes[k].PopNames, first.Schemes[k].PopNames);
    EXPECT_EQ(second.Schemes[k].PopMembership, first.Schemes[k].PopMembership);
    EXPECT_EQ(second.Schemes[k].PopIndList, first.Schemes[k].PopIndList);
  }
  EXPECT_EQ(second.Schemes[0].PopNames, (Names{" south ", "north", "south"}));
  // And the second save is identical to the first.
  const std::string again = Tmp("again.popmap");
  ASSERT_FALSE(second.SaveToPopMap(again));
  EXPECT_EQ(Slurp(again), Slurp(out));
}

TEST_F(PopMapTest, BlankLinesAreSkipped) {
  TPopStructure s;
  ASSERT_FALSE(s.LoadFromPopMap(Data("blank_lines.popmap")));
  ExpectExample(s);
}

TEST_F(PopMapTest, ColumnWithoutAssignmentsCreatesNoScheme) {
  TPopStructure s;
  ASSERT_FALSE(s.LoadFromPopMap(Data("unassigned_column.popmap")));
  ASSERT_EQ(s.GetSchemeNames(), (Names{"site"}));
  EXPECT_EQ(s.Schemes[0].PopMembership, (TPopIdList{0, 1, kPopNone}));
}

struct BadMap {
  const char* File;
  const char* Msg;      // part of the message
  const char* Details;  // expected end of the details: the line, when there is one
};

class PopMapRefusal : public PopMapTest, public ::testing::WithParamInterface<BadMap> {};

TEST_P(PopMapRefusal, NamesFileAndLineAndKeepsTheStructure) {
  const BadMap& c = GetParam();
  TPopStructure s;
  ASSERT_FALSE(s.LoadFromPopMap(Data("example.popmap")));
  const TZelErr err = s.LoadFromPopMap(Data(c.File));
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.Sender, "U");
  EXPECT_NE(err.Msg.find(c.Msg), std::string::npos) << err.Msg;
  EXPECT_NE(err.Details.find(Data(c.File)), std::string::npos) << err.Details;
  EXPECT_TRUE(err.Details.ends_with(c.Details)) << err.Details;
  ExpectExample(s);  // a bad file never wipes what was there
}

INSTANTIATE_TEST_SUITE_P(
    Files, PopMapRefusal,
    ::testing::Values(
        BadMap{"short_row.popmap", "row has 2 fields where the header has 3", ", line 3"},
        BadMap{"duplicate.popmap", "\"ind1\" is listed again (first on line 2)", ", line 4"},
        BadMap{"empty_name.popmap", "empty individual name", ", line 3"},
        BadMap{"header_case.popmap", "must begin with \"<SAMPLES>\"", ", line 1"},
        BadMap{"header_only_names.popmap", "names no scheme", ", line 1"},
        BadMap{"no_such_file.popmap", "Cannot read", "No such file or directory"}));

TEST(PopMapText, RefusesEmptyAndHeaderOnlyMaps) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "empty"}, {"\r\n \n\t\n", "empty"}, {"<SAMPLES>\tregion\r\n", "no individuals"}};
  for (const auto& [text, msg] : cases) {
    TPopStructure s;
    const TZelErr err = s.LoadFromPopMapText(text, "m.txt");
    ASSERT_TRUE(err.IsError()) << text;
    EXPECT_NE(err.Msg.find(msg), std::string::npos) << err.Msg;
    EXPECT_EQ(err.Details, "m.txt");
  }
}

TEST(PopMapText, LineBreakStylesAndByteOrderMark) {
  for (const char* text :
       {"<SAMPLES>\tg\ra\tx\rb\ty", "\xEF\xBB\xBF<SAMPLES>\tg\r\na\tx\nb\ty\r\n"}) {
    TPopStructure s;
    ASSERT_FALSE(s.LoadFromPopMapText(text, "m"));
    EXPECT_EQ(s.IndNames, (Names{"a", "b"}));
    EXPECT_EQ(s.Schemes[0].PopNames, (Names{"x", "y"}));
  }
}

TEST(PopMapText, EmptySchemeHeaderIsNamedByItsId) {
  TPopStructure s;
  ASSERT_FALSE(s.LoadFromPopMapText("<SAMPLES>\t\tsite\na\tx\ty\n", "m"));
  EXPECT_EQ(s.GetSchemeNames(), (Names{"0", "site"}));
}

TEST_F(PopMapTest, SaveRefusesWhatCannotBeReadBack) {
  const std::string out = Tmp("refused.popmap");
  { std::ofstream(out, std::ios::binary) << "keep me"; }
  TPopStructure empty;
  EXPECT_TRUE(empty.SaveToPopMap(out).IsError());
  TPopStructure noScheme;
  ASSERT_TRUE(noScheme.init({"a"}));
  EXPECT_TRUE(noScheme.SaveToPopMap(out).IsError());
  TPopStructure badPop = Example();
  badPop.Schemes[1].PopNames[0] = ".";
  EXPECT_TRUE(badPop.SaveToPopMap(out).IsError());
  TPopStructure badScheme = Example();
  badScheme.Schemes[0].Name = "re\tgion";
  EXPECT_TRUE(badScheme.SaveToPopMap(out).IsError());
  TPopStructure badInd = Example();
  badInd.IndNames[1] = "in\nd";
  EXPECT_TRUE(badInd.SaveToPopMap(out).IsError());
  EXPECT_EQ(Slurp(out), "keep me");
}

TEST_F(PopMapTest, SaveReplacesThroughATemporaryFile) {
  const std::string out = Tmp("map.popmap");
  { std::ofstream(out, std::ios::binary) << std::string(1000, 'x'); }
  ::chmod(out.c_str(), 0640);
  ASSERT_FALSE(Example().SaveToPopMap(out));
  EXPECT_EQ(Slurp(out), Slurp(Data("example.popmap")));
  struct stat st {};
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file keeps its permissions
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary left behind
}

TEST_F(PopMapTest, SaveThroughSymbolicLinkKeepsTheLink) {
  const std::string real = Tmp("real.popmap"), link = Tmp("link.popmap");
  { std::ofstream(real, std::ios::binary) << "old"; }
  fs::create_symlink(real, link);
  ASSERT_FALSE(Example().SaveToPopMap(link));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(real), Slurp(Data("example.popmap")));
}

TEST_F(PopMapTest, WriteErrorsAreReturned) {
  const std::string missingDir = Tmp("no/such/dir.popmap");
  TZelErr err = Example().SaveToPopMap(missingDir);
  ASSERT_TRUE(err.IsError());
  EXPECT_EQ(err.Msg, "Cannot write population map");
  EXPECT_NE(err.Details.find(missingDir), std::string::npos);
  const std::string folder = Tmp("a_folder");
  fs::create_directories(folder);
  EXPECT_TRUE(Example().SaveToPopMap(folder).IsError());
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(PopMapTest, WriteErrorKeepsTheOldFile) {
  const std::string out = Tmp("full.popmap");
  { std::ofstream(out, std::ios::binary) << "old"; }
  // A file size limit makes the write itself fail, whoever runs the test; the child reports
  // through its exit code: 0 error returned, 1 saved, 2 old content lost.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{10, 10};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    const TZelErr err = Example().SaveToPopMap(out);
    ::_exit(!err.IsError() ? 1 : Slurp(out) == "old" ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Slurp(out), "old");
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // the temporary was removed
}

}  // namespace
