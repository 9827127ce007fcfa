// End-to-end: runs the zelcli binary and compares its whole stdout and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

fs::path TempDir() {
  const fs::path d =
      fs::temp_directory_path() / ("zel_cli_" + std::to_string(getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::create_directories(d);
  return d;
}

// Runs zelcli with args (no shell), stdout and stderr into files.
TRun Zelcli(const std::vector<std::string>& args) {
  const fs::path dir = TempDir();
  const fs::path out = dir / "out", err = dir / "err";
  const pid_t pid = fork();
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ZELCLI_PATH));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ZELCLI_PATH, argv.data());
    _exit(127);
  }
  TRun r;
  int st = 0;
  waitpid(pid, &st, 0);
  r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  r.Out = ReadFile(out);
  r.Err = ReadFile(err);
  fs::remove_all(dir);
  return r;
}

const std::string kList =
    "scExit - scZelLogA - scLoadVcfFile - scLoadPopMap - scCloseActiveFile - scListPlugins - "
    "scListCommands - scUiSetState - scVcfListSampleNames - scClearLog - scVcfPwUDist - scPCoA - "
    "scRemoteCmd - scSelectPopScheme";

TEST(Zelcli, ListCommandsEchoesRawTextThenTheFourteenNames) {
  const TRun r = Zelcli({"cmd", "  scListCommands  "});
  EXPECT_EQ(r.Out, ">  scListCommands  \n" + kList + "\n");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(r.Status, 0);
}

struct TCliCase {
  std::vector<std::string> Args;
  std::string Out;
  int Status;
};

TEST(Zelcli, InterpreterLinesGiveExactOutputAndStatus) {
  const std::vector<TCliCase> cases = {
      {{"cmd", "sclistcommands"}, ">sclistcommands\nUnknown command: sclistcommands\n", 0},
      {{"cmd", "scSelectPopScheme a b"},
       ">scSelectPopScheme a b\n"
       "Wrong number of parameters for scSelectPopScheme ... shd be: 1 is: 2\n",
       0},
      {{"cmd", "scSelectPopScheme"},
       ">scSelectPopScheme\nWrong number of parameters for scSelectPopScheme ... shd be: 1 is: 0\n",
       0},
      {{"cmd", ""}, ">\n", 0},
      {{"cmd", "scZelLogA hello", "scZelLogA world"},
       ">scZelLogA hello\nhello\n>scZelLogA world\nworld\n",
       0},
      // A remote request runs after the line that posted it, before the next line.
      {{"cmd", "scRemoteCmd scListPlugins", "scZelLogA next"},
       ">scRemoteCmd scListPlugins\n>scListPlugins\n>scZelLogA next\nnext\n",
       0},
      // The error flag set by any line makes the status 1.
      {{"cmd", "scPCoA", "scZelLogA after"},
       ">scPCoA\nERROR [U]: PCoA is not available yet.\n>scZelLogA after\nafter\n",
       1},
      // Lines after scExit are not run.
      {{"cmd", "scZelLogA a", "scExit", "scZelLogA b"}, ">scZelLogA a\na\n>scExit\n", 0},
      {{"--quiet", "cmd", "scZelLogA a"}, "a\n", 0},
      {{"cmd", "scZelLogA a", "--quiet"}, "a\n", 0},
      {{"--threads", "2", "cmd", "scZelLogA >x"}, ">scZelLogA >x\n>x\n", 0},
  };
  for (const TCliCase& c : cases) {
    std::string trace;
    for (const std::string& a : c.Args) trace += "[" + a + "] ";
    SCOPED_TRACE(trace);
    const TRun r = Zelcli(c.Args);
    EXPECT_EQ(r.Out, c.Out);
    EXPECT_EQ(r.Status, c.Status);
    EXPECT_EQ(r.Err, "") << "no progress line when stderr is not a terminal";
  }
}

TEST(Zelcli, RunFileSkipsCommentsAndBlankLines) {
  const fs::path dir = TempDir();
  const fs::path file = dir / "script.zel";
  std::ofstream(file, std::ios::binary) << "# a comment\n\n   \n  # indented comment\r\n"
                                           "scZelLogA one\r\n  scListPlugins  \nscZelLogA two";
  const TRun r = Zelcli({"run", file.string()});
  EXPECT_EQ(r.Out, ">scZelLogA one\none\n>  scListPlugins  \n>scZelLogA two\ntwo\n");
  EXPECT_EQ(r.Status, 0);
  fs::remove_all(dir);
}

TEST(Zelcli, MissingRunFileIsAUserErrorWithStatusOne) {
  const TRun r = Zelcli({"run", "/nonexistent/zel/script.zel"});
  EXPECT_EQ(r.Out, "ERROR [U]: Cannot read command file: /nonexistent/zel/script.zel.\n");
  EXPECT_EQ(r.Status, 1);
}

TEST(Zelcli, HelpListsSubcommandsOptionsAndInterpreterCommands) {
  const TRun r = Zelcli({"--help"});
  EXPECT_EQ(r.Status, 0);
  for (const char* s : {"cmd", "run", "--threads", "--quiet", "scListCommands",
                        "scSelectPopScheme WORD", "Exit status"})
    EXPECT_NE(r.Out.find(s), std::string::npos) << s;
}

TEST(Zelcli, UsageErrorsGiveStatusTwo) {
  EXPECT_EQ(Zelcli({}).Status, 2);
  EXPECT_EQ(Zelcli({"nosuchverb"}).Status, 2);
  EXPECT_EQ(Zelcli({"--threads", "x", "cmd", "scListCommands"}).Status, 2);
  EXPECT_EQ(Zelcli({"cmd"}).Status, 2);
}

}  // namespace
