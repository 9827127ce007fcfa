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

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

fs::path TempDir() {
  const fs::path d =
      fs::temp_directory_path() / ("zel_cli_" + std::to_string(getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::create_directories(d);
  return d;
}

const std::string kList =
    "scExit - scZelLogA - scLoadVcfFile - scLoadPopMap - scCloseActiveFile - scListPlugins - "
    "scListCommands - scUiSetState - scVcfListSampleNames - scClearLog - scVcfPwUDist - scPCoA - "
    "scRemoteCmd - scSelectPopScheme";

TEST(Zelcli, ListCommandsEchoesRawTextThenTheFourteenNames) {
  const TCliRun r = RunZelcli({"cmd", "  scListCommands  "});
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
      // A line that names no command or has the wrong word count fails the run; the log line
      // stays a plain line and the later lines still run.
      {{"cmd", "sclistcommands"}, ">sclistcommands\nUnknown command: sclistcommands\n", 1},
      {{"cmd", "scNoSuchCommand", "scZelLogA after"},
       ">scNoSuchCommand\nUnknown command: scNoSuchCommand\n>scZelLogA after\nafter\n",
       1},
      {{"cmd", "scSelectPopScheme a b"},
       ">scSelectPopScheme a b\n"
       "Wrong number of parameters for scSelectPopScheme ... shd be: 1 is: 2\n",
       1},
      {{"cmd", "scSelectPopScheme"},
       ">scSelectPopScheme\nWrong number of parameters for scSelectPopScheme ... shd be: 1 is: 0\n",
       1},
      {{"cmd", ""}, ">\n", 0},
      {{"cmd", "scZelLogA hello", "scZelLogA world"},
       ">scZelLogA hello\nhello\n>scZelLogA world\nworld\n",
       0},
      // A remote request runs after the line that posted it, before the next line.
      {{"cmd", "scRemoteCmd scClearLog", "scZelLogA next"},
       ">scRemoteCmd scClearLog\n>scClearLog\n>scZelLogA next\nnext\n",
       0},
      // The error flag set by any line makes the status 1.
      {{"cmd", "scPCoA", "scZelLogA after"},
       ">scPCoA\nERROR [U]: PCoA: Need to operate on distance matrix.\n>scZelLogA after\nafter\n",
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
    const TCliRun r = RunZelcli(c.Args);
    EXPECT_EQ(r.Out, c.Out);
    EXPECT_EQ(r.Status, c.Status);
    EXPECT_EQ(r.Err, "") << "no progress line when stderr is not a terminal";
  }
}

TEST(Zelcli, RunFileSkipsCommentsAndBlankLines) {
  const fs::path dir = TempDir();
  const fs::path file = dir / "script.zel";
  std::ofstream(file, std::ios::binary) << "# a comment\n\n   \n  # indented comment\r\n"
                                           "scZelLogA one\r\n  scClearLog  \nscZelLogA two";
  const TCliRun r = RunZelcli({"run", file.string()});
  EXPECT_EQ(r.Out, ">scZelLogA one\none\n>  scClearLog  \n>scZelLogA two\ntwo\n");
  EXPECT_EQ(r.Status, 0);
  fs::remove_all(dir);
}

TEST(Zelcli, RunFileStopsAtTheFirstFailingLineUnlessToldToKeepGoing) {
  const fs::path dir = TempDir();
  const fs::path file = dir / "three lines.zel";
  std::ofstream(file, std::ios::binary) << "scZelLogA one\n# two\nscZelLogAA x\nscZelLogA three\n";
  const std::string head = ">scZelLogA one\none\n>scZelLogAA x\nUnknown command: scZelLogAA x\n" +
                           std::string("ERROR [U]: Line 3 of the command file failed: ") +
                           file.string() + ".\n";
  TCliRun r = RunZelcli({"run", file.string()});
  EXPECT_EQ(r.Out, head);
  EXPECT_EQ(r.Status, 1);
  r = RunZelcli({"run", "--keep-going", file.string()});
  EXPECT_EQ(r.Out, head + ">scZelLogA three\nthree\n");
  EXPECT_EQ(r.Status, 1);
  // A command that sets the error flag is a failing line as well; each one is named.
  std::ofstream(file, std::ios::binary)
      << "scLoadVcfFile /nonexistent/a.vcf\nscZelLogA two\nscLoadVcfFile /nonexistent/a.vcf\n";
  r = RunZelcli({"run", "--keep-going", file.string()});
  const std::string load =
      ">scLoadVcfFile /nonexistent/a.vcf\n"
      "ERROR [U]: File not found: /nonexistent/a.vcf.\n";
  const std::string failed = "ERROR [U]: Line ";
  EXPECT_EQ(r.Out, load + failed + "1 of the command file failed: " + file.string() +
                       ".\n>scZelLogA two\ntwo\n" + load + failed +
                       "3 of the command file failed: " + file.string() + ".\n");
  EXPECT_EQ(r.Status, 1);
  fs::remove_all(dir);
}

TEST(Zelcli, VersionIsWrittenWithFourDigits) {
  const TCliRun r = RunZelcli({"--version"});
  EXPECT_EQ(r.Out, "zelcli 0.0.0113\n");
  EXPECT_EQ(r.Status, 0);
}

TEST(Zelcli, MissingRunFileIsAUserErrorWithStatusOne) {
  const TCliRun r = RunZelcli({"run", "/nonexistent/zel/script.zel"});
  EXPECT_EQ(r.Out, "ERROR [U]: Cannot read command file: /nonexistent/zel/script.zel.\n");
  EXPECT_EQ(r.Status, 1);
}

TEST(Zelcli, HelpListsSubcommandsOptionsAndInterpreterCommands) {
  const TCliRun r = RunZelcli({"--help"});
  EXPECT_EQ(r.Status, 0);
  for (const char* s : {"cmd", "run", "--threads", "--quiet", "scListCommands",
                        "scSelectPopScheme WORD", "Exit status"})
    EXPECT_NE(r.Out.find(s), std::string::npos) << s;
}

TEST(Zelcli, UsageErrorsGiveStatusTwo) {
  EXPECT_EQ(RunZelcli({}).Status, 2);
  EXPECT_EQ(RunZelcli({"nosuchverb"}).Status, 2);
  EXPECT_EQ(RunZelcli({"--threads", "x", "cmd", "scListCommands"}).Status, 2);
  EXPECT_EQ(RunZelcli({"cmd"}).Status, 2);
  // An unknown verb stays an error when --help follows it, so scripts can tell verbs apart.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"nosuchverb", "--help"},
                                               {"--threads", "2", "nosuchverb", "-h"},
                                               {"-q", "nosuchverb"}}) {
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Status, 2) << args[0];
    EXPECT_EQ(r.Out, "") << args[0];
    EXPECT_NE(r.Err.find("unknown verb 'nosuchverb'"), std::string::npos) << r.Err;
  }
  EXPECT_EQ(RunZelcli({"info", "--help"}).Status, 0);
}

}  // namespace
