// The log: the one error form, the error flag protocol, sinks, clearing and saving.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "coreFixture.h"

namespace {

namespace fs = std::filesystem;

struct TErrCase {
  std::string Msg, Sender, Details, Line;
};

TEST_F(CoreTest, ErrorLinesHaveTheOneForm) {
  const std::vector<TErrCase> cases = {
      {"Out of memory", "PCoA", "", "ERROR [PCoA]: Out of memory."},
      {"Nothing loaded", "U", "", "ERROR [U]: Nothing loaded."},
      {"Bad value", "", "", "ERROR: Bad value."},
      {"Unknown tag", "GetAlleleCounts", "DP", "ERROR [GetAlleleCounts]: Unknown tag: DP."},
      {"Unknown tag", "", "DP", "ERROR: Unknown tag: DP."},
  };
  for (const TErrCase& c : cases) {
    SCOPED_TRACE(c.Line);
    scClearLog();
    iscZelHasError(true);
    scUiSetState(0);
    iscZelError(c.Msg, c.Sender, c.Details);
    EXPECT_EQ(Lines(), std::vector<std::string>{c.Line});
    EXPECT_EQ(ZelLastErrorMsg(), c.Line);
    EXPECT_EQ(ZelUiState().Panels[5], "ERROR");
    EXPECT_EQ(ZelUiState().State, 2);
    EXPECT_EQ(ZelFormatError(c.Msg, c.Sender, c.Details), c.Line);
  }
}

TEST_F(CoreTest, UserErrorsAndEngineErrorValuesUseTheSameForm) {
  iscZelUserError("Need to operate on VCF input");
  iscZelError(TZelErr::User("Cannot open file", "a.vcf"));
  iscZelError(TZelErr("PCoA", "Out of memory"));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"ERROR [U]: Need to operate on VCF input.",
                                               "ERROR [U]: Cannot open file: a.vcf.",
                                               "ERROR [PCoA]: Out of memory."}));
}

TEST_F(CoreTest, FlagIsClearedOnlyByAReset) {
  EXPECT_FALSE(iscZelHasError(false));
  iscZelUserError("x");
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_TRUE(iscZelHasError(false));
  iscZelWarning("just a note");
  EXPECT_EQ(Lines().back(), "just a note");
  EXPECT_TRUE(iscZelHasError(false));
  scClearLog();
  EXPECT_TRUE(Lines().empty());
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_TRUE(iscZelHasError(true));
  EXPECT_EQ(ZelLastErrorMsg(), "");
  EXPECT_FALSE(iscZelHasError(true));
}

TEST_F(CoreTest, WarningChangesNeitherFlagNorIndicator) {
  iscZelWarning("careful");
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(ZelUiState().Panels[5], "Idle");
}

TEST_F(CoreTest, ScZelLogAWritesTheTextOrAnEmptyLine) {
  scZelLogA("hello world");
  scZelLogA(nullptr);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"hello world", ""}));
}

class TRecordingSink : public IZelLogSink {
 public:
  std::vector<std::string> Got;
  int Clears = 0;
  void OnLogLine(const std::string& line) override { Got.push_back(line); }
  void OnLogClear() override { ++Clears; }
};

TEST_F(CoreTest, SinksSeeEveryLineAndEveryClear) {
  TRecordingSink a, b;
  ZelLogAddSink(&a);
  ZelLogAddSink(&a);  // added once only
  ZelLogAddSink(&b);
  iscZelLog("one");
  iscZelUserError("two");
  ZelLogRemoveSink(&b);
  iscZelLog("three");
  scClearLog();
  ZelLogRemoveSink(&a);
  iscZelLog("four");
  EXPECT_EQ(a.Got, (std::vector<std::string>{"one", "ERROR [U]: two.", "three"}));
  EXPECT_EQ(b.Got, (std::vector<std::string>{"one", "ERROR [U]: two."}));
  EXPECT_EQ(a.Clears, 1);
  EXPECT_EQ(b.Clears, 0);
}

class SaveLogTest : public CoreTest {
 protected:
  fs::path Dir;
  void SetUp() override {
    CoreTest::SetUp();
    Dir = fs::temp_directory_path() /
          ("zel_savelog_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override {
    fs::remove_all(Dir);
    CoreTest::TearDown();
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

TEST_F(SaveLogTest, WritesCrLfLinesReplacingTheFileThenLogsTheName) {
  const fs::path file = Dir / "log.txt";
  std::ofstream(file) << "old content that is longer than the new one, to see it replaced";
  iscZelLog("first");
  iscZelLog("second");
  ASSERT_TRUE(iscZelSaveLog(file.string()));
  EXPECT_EQ(Read(file), "first\r\nsecond\r\n");
  EXPECT_EQ(Lines().back(), "Saved Log to file: " + file.string());
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1)
      << "no temporary file left behind";
}

TEST_F(SaveLogTest, UnwritablePlaceLogsAnErrorAndNeverTheSavedLine) {
  iscZelLog("content");
  const std::vector<fs::path> bad = {Dir / "missing_dir" / "log.txt", Dir};
  for (const fs::path& p : bad) {
    SCOPED_TRACE(p.string());
    scClearLog();
    iscZelLog("content");
    iscZelHasError(true);
    EXPECT_FALSE(iscZelSaveLog(p.string()));
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[1].rfind("ERROR [SaveLog]: Cannot save the log: " + p.string() + ": ", 0), 0u)
        << Lines()[1];
    EXPECT_EQ(Lines()[1].back(), '.');
    EXPECT_TRUE(iscZelHasError(false));
  }
  EXPECT_TRUE(fs::is_directory(Dir));
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 0);
}

}  // namespace
