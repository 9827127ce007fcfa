// Outside programs and the plug-in list as commands: the exact log lines, Busy/Idle/ERROR,
// file names that must not be read as commands, cancel, a second run, exit while waiting.
#include "commands/cmdExt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "commands/cmdPlugins.h"
#include "commands/cmdTable.h"
#include "core/zelCmdTable.h"
#include "core/zelExec.h"
#include "core/zelGivenUser.h"
#include "core/zelLog.h"
#include "core/zelSettings.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TLines = std::vector<std::string>;

void WriteExecutable(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
  fs::permissions(p, fs::perms::owner_all);
}

bool Dead(pid_t pid) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string s;
    if (!std::getline(stat, s)) return true;
    const size_t close = s.rfind(')');
    if (close != std::string::npos && close + 2 < s.size() && s[close + 2] == 'Z') return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

// The answerer of a GUI: its pump runs a given action, and its Cancel button can be pressed.
class TPumpUser : public TZelGivenUser {
 public:
  std::function<void()> OnPump;
  std::function<bool()> CancelNow;
  int Pumps = 0;
  void Progress(uint64_t, uint64_t) override {
    ++Pumps;
    if (OnPump) OnPump();
  }
  bool Cancelled() override { return CancelNow && CancelNow(); }
};

const char* const kCancelledLine =
    "Cancelled: the program and the processes it started were stopped";
const char* const kBashFailed = "ERROR [scRunBash]: Unknown error running WSL BASH command.";

class ExtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scClearLog();
    iscZelHasError(true);
    ZelUiReset();
    ZelSetUser(&User);
    Dir = fs::temp_directory_path() /
          ("zel ext " + std::to_string(getpid()) + " " +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir / "r bin");
    // Stands in for R: runs the script file it is given with the shell.
    WriteExecutable(Dir / "r bin" / "Rscript", "#!/bin/sh\nexec /bin/sh \"$1\"\n");
    ZelSettings.RPath = (Dir / "r bin").string();
    const char* path = std::getenv("PATH");
    OldPath = path ? path : "/usr/bin:/bin";
    ZelResetWslCache();
  }
  void TearDown() override {
    setenv("PATH", OldPath.c_str(), 1);
    ZelResetWslCache();
    ZelSettings.RPath.clear();
    ZelSetUser(nullptr);
    fs::remove_all(Dir);
    scClearLog();
    iscZelHasError(true);
  }
  static const TLines& Lines() { return ZelLogLines(); }
  static uint8_t State() { return ZelUiState().State; }
  std::string Script(const std::string& name, const std::string& text) {
    WriteExecutable(Dir / name, text);
    return (Dir / name).string();
  }

  TPumpUser User;
  fs::path Dir;
  std::string OldPath;
};

TEST_F(ExtTest, BashOutputGoesToTheLogAndSuccessEndsIdle) {
  scRunBash("echo hello; echo 'to stderr' >&2; printf 'last'");
  EXPECT_EQ(Lines(), (TLines{"hello", "to stderr", "last"}));
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(State(), 0);
}

struct TBashCase {
  std::string Command;
  TLines Log;
};

TEST_F(ExtTest, BashFailuresGiveTheUnknownErrorLineAndHowTheRunEnded) {
  const std::vector<TBashCase> cases = {
      {"false", {kBashFailed, "Exit code: 1"}},
      {"echo partial; exit 3", {"partial", kBashFailed, "Exit code: 3"}},
      {"kill -KILL $$", {kBashFailed, "Ended by signal SIGKILL (9)"}},
      {"", {"ERROR [U]: No command given."}},
      {" \t ", {"ERROR [U]: No command given."}},
  };
  for (const TBashCase& c : cases) {
    SCOPED_TRACE(c.Command);
    scClearLog();
    ZelUiReset();
    scRunBash(c.Command);
    EXPECT_EQ(Lines(), c.Log);
    EXPECT_TRUE(iscZelHasError(true));
    EXPECT_EQ(State(), 2);
  }
}

// The runners under the commands: true only for exit code 0; nothing logged but output.
TEST_F(ExtTest, RunnersGiveTheResultAndLogOnlyTheOutput) {
  TZelExecResult r;
  EXPECT_FALSE(RunWslCmd("echo out; exit 3", &r));
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(RunWslCmd("true", &r));
  EXPECT_TRUE(RunRScript(Script("fine.R", "echo fine\n"), &r));
  ZelSettings.RPath.clear();
  setenv("PATH", Dir.c_str(), 1);
  ZelResetWslCache();
  EXPECT_FALSE(RunRScript(Script("never.R", "echo never\n"), &r));
  EXPECT_FALSE(r.Started);
  EXPECT_FALSE(RunWslCmd("echo never", &r));
  EXPECT_FALSE(r.Started);
  EXPECT_EQ(Lines(), (TLines{"out", "fine"}));
  EXPECT_FALSE(iscZelHasError(false));
}

// Standard input is /dev/null: a script waiting for input (an R prompt) ends at once.
TEST_F(ExtTest, AScriptReadingStandardInputDoesNotHang) {
  scRunBash("cat; read answer || echo 'no input'");
  EXPECT_EQ(Lines(), (TLines{"no input"}));
  EXPECT_FALSE(iscZelHasError(false));
}

TEST_F(ExtTest, WithoutBashTheNotInstalledErrorAndAWarning) {
  setenv("PATH", Dir.c_str(), 1);
  ZelResetWslCache();
  scRunBash("echo hello");
  iscRunBashFile("/bin/true");
  const TLines once = {"ERROR [scRunBash]: Windows Subsystem For Linux (WSL) not installed.",
                       "WARNING: bash was not found on PATH"};
  TLines twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(Lines(), twice);
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(State(), 2);
}

TEST_F(ExtTest, RScriptRunsAndItsOutputIsLogged) {
  const std::string s = Script("ok.R", "echo from R\n");
  scRunRScript(s);
  EXPECT_EQ(Lines(), (TLines{"from R"}));
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(State(), 0);
}

TEST_F(ExtTest, RScriptExitingWithThreeFailsWithTheScriptNamedAndTheCode) {
  const std::string s = Script("three.R", "exit 3\n");
  scRunRScript(s);
  EXPECT_EQ(Lines(), (TLines{"ERROR [S]: Failed to run script " + s + ".", "Exit code: 3"}));
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(State(), 2);
}

TEST_F(ExtTest, RscriptMissingGivesTheSameFailureLineAndAWarning) {
  const std::string s = Script("ok.R", "echo from R\n");
  ZelSettings.RPath = (Dir / "no R here").string();
  setenv("PATH", Dir.c_str(), 1);
  scRunRScript(s);
  EXPECT_EQ(Lines(),
            (TLines{"ERROR [S]: Failed to run script " + s + ".",
                    "WARNING: Rscript was not found on PATH or through RPath in zel.ini"}));
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(State(), 2);
  scClearLog();
  scRunRScript("");
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: No script file given."}));
}

TEST_F(ExtTest, AnRscriptThatCannotStartSaysWhy) {
  const std::string s = Script("ok.R", "echo from R\n");
  WriteExecutable(Dir / "r bin" / "Rscript", "neither a program nor a script with #!\n");
  scRunRScript(s);
  EXPECT_EQ(Lines(), (TLines{"ERROR [S]: Failed to run script " + s + ".",
                             "Could not start " + (Dir / "r bin" / "Rscript").string() +
                                 ": Exec format error"}));
  EXPECT_EQ(State(), 2);
}

// Spaces, quotes, ';', '$(...)' and backquotes in a file name are only characters of it.
TEST_F(ExtTest, FileNamesThatLookLikeShellTextRunNothingElse) {
  const fs::path canary = Dir / "pwned";
  const std::string odd = "it's a \"script\"; touch pwned $(touch pwned) `touch pwned`";
  const std::string r = Script(odd + ".R", "echo R ran\n");
  const std::string sh = Script(odd + ".sh", "#!/bin/sh\necho shell ran\n");
  const std::string dash = Script("-e", "echo dash ran\n");
  const fs::path old = fs::current_path();
  fs::current_path(Dir);
  scRunRScript(r);
  iscRunBashFile(sh);
  scRunRScript("-e");  // not an option of Rscript: the file of that name
  fs::current_path(old);
  EXPECT_EQ(Lines(), (TLines{"R ran", "shell ran", "dash ran"}));
  EXPECT_FALSE(fs::exists(canary));
  EXPECT_FALSE(fs::exists(old / "pwned"));
  EXPECT_FALSE(iscZelHasError(false));
}

TEST_F(ExtTest, MenuEntriesAskForTheFileAndDoNothingWhenCancelled) {
  const std::string r = Script("menu.R", "echo menu R\n");
  const std::string sh = Script("menu.sh", "#!/bin/sh\necho menu sh\n");
  User.OpenFileNames = {r, sh, std::nullopt, std::nullopt, "relative.sh"};
  uscRunRScript();
  uscRunBashFile();
  uscRunRScript();
  uscRunBashFile();
  EXPECT_EQ(Lines(), (TLines{"menu R", "menu sh"}));
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(User.Asked.size(), 4u);
  uscRunBashFile();
  EXPECT_EQ(Lines().back(), "ERROR [U]: Not a full path: relative.sh.");
}

// The GUI's Cancel pressed after 0.2 s stops "sleep 30" and what it started.
TEST_F(ExtTest, CancelStopsTheProgramAndItsChildrenAndIsAnError) {
  const auto start = std::chrono::steady_clock::now();
  // (After the child's first line, so that there is a grandchild to look for.)
  User.CancelNow = [&] {
    return !Lines().empty() && std::chrono::steady_clock::now() - start >= 200ms;
  };
  scRunBash("sleep 30 & echo $!; wait");
  ASSERT_EQ(Lines().size(), 3u);
  EXPECT_EQ(Lines()[1], kBashFailed);
  EXPECT_EQ(Lines()[2], kCancelledLine);
  EXPECT_TRUE(Dead(static_cast<pid_t>(std::stol(Lines()[0]))));
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(State(), 2);
  EXPECT_FALSE(iscExtRunning());
}

TEST_F(ExtTest, TheCancelCallStopsTheRunningProgram) {
  User.OnPump = [] { iscExtCancel(); };
  const std::string s = Script("long.R", "sleep 30\n");
  scRunRScript(s);
  EXPECT_EQ(Lines(), (TLines{"ERROR [S]: Failed to run script " + s + ".", kCancelledLine}));
}

// While the first program waits for a file, the pump tries two more runs and then makes it.
TEST_F(ExtTest, ASecondRunWhileOneRunsIsRefused) {
  const fs::path go = Dir / "go";
  const std::string r = Script("other.R", "echo other\n");
  User.OnPump = [&] {
    if (fs::exists(go)) return;
    EXPECT_TRUE(iscExtRunning());
    scRunBash("echo nested");
    scRunRScript(r);
    std::ofstream(go) << "";
  };
  scRunBash("while [ ! -e '" + go.string() + "' ]; do sleep 0.02; done; echo outer");
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: An outside program is still running.",
                             "ERROR [U]: An outside program is still running.", "outer"}));
  EXPECT_FALSE(iscExtRunning());
  EXPECT_GE(User.Pumps, 1);
}

// scExit from the GUI while a program runs: the program is stopped first, then shutdown
// goes on; the run reports that it was cancelled.
TEST_F(ExtTest, ExitWhileWaitingCancelsTheProgramFirst) {
  RegisterZelCommands();
  ASSERT_FALSE(iscZelInit());
  std::vector<std::string> order;
  ZelSetTerminateHandler([&] {
    const bool gone = Dead(static_cast<pid_t>(std::stol(Lines().at(0))));
    order.push_back(gone ? "terminate after the program ended" : "terminate too early");
  });
  bool exited = false;
  User.OnPump = [&] {
    if (exited || Lines().empty()) return;
    exited = true;
    scExit();
  };
  scRunBash("sleep 30 & echo $!; wait");
  ASSERT_EQ(Lines().size(), 3u);
  EXPECT_EQ(Lines()[1], kBashFailed);
  EXPECT_EQ(Lines()[2], kCancelledLine);
  EXPECT_TRUE(Dead(static_cast<pid_t>(std::stol(Lines()[0]))));
  EXPECT_TRUE(ZelExiting());
  EXPECT_EQ(order, (std::vector<std::string>{"terminate after the program ended"}));
  ZelSetTerminateHandler(nullptr);
  EXPECT_FALSE(iscZelInit());  // a fresh start for the tests after this one
  ZelClearCommandRegistrations();
}

TEST_F(ExtTest, ListPluginsLogsTheHostOnlyAndTheSameEachTime) {
  const std::string exe = fs::canonical("/proc/self/exe").string();
  const fs::path lib =
      fs::path(exe).parent_path() / ("zel_ext_test_" + std::to_string(getpid()) + ".so");
  scListPlugins();
  std::ofstream(lib) << "not loaded\n";  // a library beside the program changes nothing
  scListPlugins();
  fs::remove(lib);
  const TLines once = {"-- Plugins -- ", "ZEL 0.0.0113 in " + exe, "-- -- -- -- --"};
  TLines twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(Lines(), twice);
}

}  // namespace
