// Child processes: output lines, exit codes and signals, no shell between us and the
// arguments, stdin from /dev/null, cancel of the whole process group, the waiting loop's
// pump, and finding bash and Rscript.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "core/zelExec.h"
#include "core/zelSettings.h"
#include "coreFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path TempDir() {
  const fs::path d =
      fs::temp_directory_path() / ("zel exec " + std::to_string(getpid()) + " " +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

void WriteExecutable(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
  fs::permissions(p, fs::perms::owner_all);
}

// Dead means gone or a zombie waiting for its reaper; the kernel finishes a killed process
// a moment after the signal, so look a few times.
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

// PATH for one test; the old value and the bash cache come back afterwards.
class TPathScope {
 public:
  explicit TPathScope(const std::string& path) {
    const char* old = std::getenv("PATH");
    FHad = old != nullptr;
    if (old) FOld = old;
    setenv("PATH", path.c_str(), 1);
    ZelResetWslCache();
  }
  ~TPathScope() {
    if (FHad)
      setenv("PATH", FOld.c_str(), 1);
    else
      unsetenv("PATH");
    ZelResetWslCache();
  }

 private:
  bool FHad = false;
  std::string FOld;
};

struct TRun {
  TZelExecResult R;
  std::vector<std::string> Lines;
};

TRun Sh(const std::string& script, const std::vector<std::string>& more = {},
        size_t maxLine = 1 << 20) {
  TRun run;
  TZelCancelToken token;
  TZelExecOptions o;
  o.MaxLine = maxLine;
  o.OnLine = [&](std::string_view l) { run.Lines.emplace_back(l); };
  std::vector<std::string> args = {"-c", script, "sh"};
  args.insert(args.end(), more.begin(), more.end());
  run.R = ZelExecRun("/bin/sh", args, token, o);
  return run;
}

struct TExecCase {
  std::string Script;
  std::vector<std::string> Lines;
  int ExitCode;
  int Signal;
};

TEST(Exec, OutputLinesExitCodesAndSignals) {
  const std::vector<TExecCase> cases = {
      // Standard error joins standard output in the order written; a last line without a
      // line break still arrives; CR LF endings lose the CR.
      {"echo hello; echo err >&2; echo again; printf 'tail'",
       {"hello", "err", "again", "tail"},
       0,
       0},
      {"printf 'a\\r\\nb\\r\\n\\n'", {"a", "b", ""}, 0, 0},
      {"echo before; exit 3", {"before"}, 3, 0},
      {"kill -KILL $$", {}, -1, SIGKILL},
      {"kill -SEGV $$", {}, -1, SIGSEGV},
      // Standard input is /dev/null: reading ends at once instead of waiting for a user.
      {"cat; if read x; then echo got; else echo eof; fi", {"eof"}, 0, 0},
  };
  for (const TExecCase& c : cases) {
    SCOPED_TRACE(c.Script);
    const TRun run = Sh(c.Script);
    EXPECT_TRUE(run.R.Started);
    EXPECT_EQ(run.Lines, c.Lines);
    EXPECT_EQ(run.R.ExitCode, c.ExitCode);
    EXPECT_EQ(run.R.Signal, c.Signal);
    EXPECT_FALSE(run.R.Cancelled);
    EXPECT_EQ(run.R.Ok(), c.ExitCode == 0 && c.Signal == 0);
  }
}

TEST(Exec, ArgumentsReachTheChildUntouched) {
  const fs::path dir = TempDir();
  const fs::path canary = dir / "pwned";
  const std::string nasty = "a b \"c\" 'd'; touch " + canary.string() + " $(touch " +
                            canary.string() + ") `touch " + canary.string() + "` \\ *";
  const TRun run = Sh("printf '%s\\n' \"$1\"; printf '%s\\n' \"$2\"", {nasty, ""});
  EXPECT_EQ(run.Lines, (std::vector<std::string>{nasty, ""}));
  EXPECT_FALSE(fs::exists(canary));
  fs::remove_all(dir);
}

TEST(Exec, LongLinesArriveInPiecesOfMaxLine) {
  const TRun run = Sh("printf 'abcdefghij\\nxy'", {}, 4);
  EXPECT_EQ(run.Lines, (std::vector<std::string>{"abcd", "efgh", "ij", "xy"}));
  // A line of exactly MaxLine whose break comes in a later piece stays one line.
  EXPECT_EQ(Sh("printf abcd; sleep 0.05; printf '\\nefgh\\n'", {}, 4).Lines,
            (std::vector<std::string>{"abcd", "efgh"}));
}

TEST(Exec, ChildHasItsOwnSessionAndNoInheritedDescriptors) {
  // Compared with itself, not with 0: in a container whose session leader lives outside
  // the process namespace, getsid() reports 0 for every process in it.
  const pid_t ownSession = getsid(0);
  const int fd = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
  ASSERT_GE(fd, 0);
  const int high = dup2(fd, 57);
  ASSERT_EQ(high, 57);
  const TRun run =
      Sh("[ -e /proc/self/fd/57 ] && echo open || echo closed; "
         "read -r pid comm state ppid pgrp sid rest < /proc/self/stat; "
         "[ \"$pid\" = \"$sid\" ] && [ \"$pid\" = \"$pgrp\" ] && echo leader || echo member");
  close(high);
  close(fd);
  EXPECT_EQ(run.Lines, (std::vector<std::string>{"closed", "leader"}));
  EXPECT_EQ(getsid(0), ownSession);  // only the child moved to a session of its own
}

TEST(Exec, AProgramThatCannotStartIsNotStarted) {
  TZelCancelToken token;
  const TZelExecResult r = ZelExecRun("/nonexistent/zel/prog", {}, token, {});
  EXPECT_FALSE(r.Started);
  EXPECT_EQ(r.StartErrno, ENOENT);
  EXPECT_FALSE(r.Ok());
  const fs::path dir = TempDir();
  std::ofstream(dir / "plain") << "not a program\n";
  const TZelExecResult r2 = ZelExecRun((dir / "plain").string(), {}, token, {});
  EXPECT_FALSE(r2.Started);
  EXPECT_EQ(r2.StartErrno, EACCES);
  fs::remove_all(dir);
}

// The shell ignores SIGTERM and so does what it started (ignoring is inherited): only the
// SIGKILL after the grace period ends them, the background child included.
TEST(Exec, CancelEndsTheWholeGroupEvenWhenItIgnoresSigterm) {
  TZelCancelToken token;
  std::vector<std::string> lines;
  TZelExecOptions o;
  o.Grace = 200ms;
  o.OnLine = [&](std::string_view l) {
    lines.emplace_back(l);
    token.Cancel();
  };
  const TZelExecResult r = ZelExecRun(
      "/bin/sh", {"-c", "trap '' TERM; sleep 30 & echo $!; wait; wait; echo after"}, token, o);
  EXPECT_TRUE(r.Started);
  EXPECT_TRUE(r.Cancelled);
  EXPECT_EQ(r.Signal, SIGKILL);
  EXPECT_FALSE(r.Ok());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Dead(static_cast<pid_t>(std::stol(lines[0]))));
}

TEST(Exec, ALineHandlerThatThrowsLeavesNoChildBehind) {
  TZelCancelToken token;
  std::string pid;
  TZelExecOptions o;
  o.OnLine = [&](std::string_view l) {
    pid = l;
    throw std::runtime_error("handler failed");
  };
  EXPECT_THROW(ZelExecRun("/bin/sh", {"-c", "echo $$; sleep 30"}, token, o), std::runtime_error);
  ASSERT_FALSE(pid.empty());
  EXPECT_TRUE(Dead(static_cast<pid_t>(std::stol(pid))));
}

// A waiting caller cancels "sleep 30" after 0.2 s through its hook.
TEST(Exec, ExecAndWaitPumpsOnTheCallingThreadAndCancelsThroughTheHook) {
  TZelCancelToken token;
  std::vector<std::string> lines;
  int pumps = 0;
  const auto start = std::chrono::steady_clock::now();
  const std::thread::id me = std::this_thread::get_id();
  TZelWaitHooks h;
  h.OnLine = [&](std::string_view l) {
    EXPECT_EQ(std::this_thread::get_id(), me);
    lines.emplace_back(l);
  };
  h.Pump = [&] {
    EXPECT_EQ(std::this_thread::get_id(), me);
    ++pumps;
  };
  h.Cancelled = [&] { return std::chrono::steady_clock::now() - start >= 200ms; };
  TZelExecResult r;
  EXPECT_FALSE(ExecAndWait("/bin/sh", {"-c", "sleep 30 & echo $!; wait"}, token, h, &r));
  EXPECT_TRUE(r.Cancelled);
  EXPECT_GE(pumps, 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Dead(static_cast<pid_t>(std::stol(lines[0]))));
  EXPECT_FALSE(token.Running());

  // A later run on the same token starts afresh.
  lines.clear();
  h.Cancelled = nullptr;
  EXPECT_TRUE(ExecAndWait("/bin/sh", {"-c", "echo hello"}, token, h, &r));
  EXPECT_EQ(lines, (std::vector<std::string>{"hello"}));
}

// An exit request arriving through the pump stops the child and waits for it there.
TEST(Exec, CancelAndWaitFromInsideThePumpReturnsOnceTheChildIsGone) {
  TZelCancelToken token;
  bool stopped = false;
  TZelWaitHooks h;
  h.Pump = [&] {
    if (stopped) return;
    token.CancelAndWait();
    stopped = true;
    EXPECT_FALSE(token.Running());
  };
  TZelExecResult r;
  EXPECT_FALSE(ExecAndWait("/bin/sh", {"-c", "sleep 30"}, token, h, &r));
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(r.Cancelled);
}

TEST(Exec, FindOnPathTakesAbsoluteFoldersInOrderAndOnlyExecutables) {
  const fs::path dir = TempDir();
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  fs::create_directories(dir / "c");
  std::ofstream(dir / "a" / "tool") << "not executable\n";
  fs::create_directories(dir / "b" / "tool");  // a folder is no program
  WriteExecutable(dir / "c" / "tool", "#!/bin/sh\n");
  {
    TPathScope path("::relative:" + (dir / "a").string() + ":" + (dir / "b").string() + ":" +
                    (dir / "c").string() + "/");
    EXPECT_EQ(ZelFindOnPath("tool"), (dir / "c" / "tool").string());
    EXPECT_EQ(ZelFindOnPath("missing"), "");
    EXPECT_EQ(ZelFindOnPath("c/tool"), "");
  }
  {
    // A relative folder on PATH is never searched.
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    TPathScope path("c");
    EXPECT_EQ(ZelFindOnPath("tool"), "");
    fs::current_path(old);
  }
  fs::remove_all(dir);
}

TEST(Exec, BashIsFoundOnPathAndTheAnswerIsCached) {
  const fs::path dir = TempDir();
  {
    TPathScope path(dir.string());
    EXPECT_FALSE(WslInstalled());
    EXPECT_EQ(GetWslPath(), "");
  }
  ZelResetWslCache();
  ASSERT_TRUE(WslInstalled());
  const std::string bash = GetWslPath();
  EXPECT_EQ(fs::path(bash).filename(), "bash");
  EXPECT_TRUE(ZelIsExecutableFile(bash));
  {
    const char* old = std::getenv("PATH");
    const std::string keep = old ? old : "";
    setenv("PATH", dir.c_str(), 1);
    EXPECT_TRUE(WslInstalled()) << "cached until reset";
    setenv("PATH", keep.c_str(), 1);
  }
  fs::remove_all(dir);
}

TEST(Exec, WslFileNameKeepsLinuxPathsAndTranslatesDrivePaths) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"D:\\a\\b.sh", "/mnt/d/a/b.sh"},
      {"C:\\data\\run1\\x.vcf", "/mnt/c/data/run1/x.vcf"},
      {"/home/u/b.sh", "/home/u/b.sh"},
      {"/home/u/with space; $(x).sh", "/home/u/with space; $(x).sh"},
      {"b.sh", ""},
      {"./b.sh", ""},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(WslFileName(in), out) << in;
}

class RScriptTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    Dir = TempDir();
    fs::create_directories(Dir / "r bin");
    WriteExecutable(Dir / "r bin" / "Rscript", "#!/bin/sh\n");
  }
  void TearDown() override {
    ZelSettings.Init();
    LoadZelIni("");
    fs::remove_all(Dir);
    CoreTest::TearDown();
  }
  fs::path Dir;
};

TEST_F(RScriptTest, RPathFromTheSettingsFileComesBeforePath) {
  const std::string rbin = (Dir / "r bin").string();
  std::ofstream(Dir / "zel.ini") << "[ZEL]\nRPath=" << rbin << "\n";
  ZelSettings.Init();
  ASSERT_TRUE(iscFindZelIniFileIn(Dir.string()));
  LoadZelIni(ZelSettings.ZelIniFullName);
  EXPECT_EQ(ZelSettings.RPath, rbin);
  TPathScope path(Dir.string());  // no Rscript on PATH
  EXPECT_EQ(GetRScriptExe(), rbin + "/Rscript");
  EXPECT_EQ(GetRPath(), rbin);
  ZelSettings.RPath = rbin + "/Rscript";  // the program itself will do as well
  EXPECT_EQ(GetRScriptExe(), rbin + "/Rscript");
  ZelSettings.RPath = (Dir / "nothing here").string();
  EXPECT_EQ(GetRScriptExe(), "");
  EXPECT_EQ(GetRPath(), "");
}

TEST_F(RScriptTest, WithoutRPathRscriptIsTakenFromPath) {
  ZelSettings.RPath.clear();
  TPathScope path((Dir / "r bin").string());
  EXPECT_EQ(GetRScriptExe(), (Dir / "r bin" / "Rscript").string());
}

}  // namespace
