// Outside programs: R scripts through Rscript and shell commands through bash.
#include "commands/cmdExt.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/zelExec.h"
#include "core/zelLog.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"

namespace {

TZelCancelToken& Token() {
  static TZelCancelToken token;
  return token;
}

// Main-thread state: one outside program at a time, and one pending exit hook.
bool gRunning = false;
bool gExitHookAdded = false;

const char* const kWslMissing = "Windows Subsystem For Linux (WSL) not installed";
const char* const kBashFailed = "Unknown error running WSL BASH command";

// Runs the program with its output going to the log as it arrives. While it runs the user
// answerer is pumped (the GUI stays responsive) and asked whether to cancel.
TZelExecResult RunLogged(const std::string& exe, const std::vector<std::string>& args) {
  TZelExecResult r;
  if (gRunning) {
    r.StartErrno = EBUSY;
    return r;
  }
  if (!gExitHookAdded) {
    // An exit requested while a program runs stops the program before shutdown goes on.
    gExitHookAdded = true;
    ZelAddExitHook([] {
      gExitHookAdded = false;
      Token().CancelAndWait();
    });
  }
  gRunning = true;
  struct TReset {
    ~TReset() { gRunning = false; }
  } reset;
  TZelWaitHooks hooks;
  hooks.OnLine = [](std::string_view line) { iscZelLog(std::string(line)); };
  hooks.Pump = [] { ZelUser().Progress(0, 0); };
  hooks.Cancelled = [] { return ZelUser().Cancelled(); };
  ExecAndWait(exe, args, Token(), hooks, &r);
  return r;
}

// The line after a failure line: how the run ended.
void LogHowItEnded(const TZelExecResult& r, const std::string& exe) {
  if (!r.Started) {
    iscZelLog("Could not start " + exe + ": " + std::strerror(r.StartErrno));
  } else if (r.Cancelled) {
    iscZelLog("Cancelled: the program and the processes it started were stopped");
  } else if (r.Signal != 0) {
    const char* abbrev = sigabbrev_np(r.Signal);
    iscZelLog("Ended by signal " + (abbrev ? "SIG" + std::string(abbrev) + " " : std::string()) +
              "(" + std::to_string(r.Signal) + ")");
  } else {
    iscZelLog("Exit code: " + std::to_string(r.ExitCode));
  }
}

bool Blank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

// A second program while one runs (started from the GUI during the wait) is refused.
bool RefuseWhileRunning() {
  if (!gRunning) return false;
  iscZelUserError("An outside program is still running");
  return true;
}

void RunBashArgs(const std::vector<std::string>& args) {
  if (!WslInstalled()) {
    iscZelError(kWslMissing, "scRunBash");
    iscZelWarning("WARNING: bash was not found on PATH");
    return;
  }
  scUiSetState(1);
  const std::string bash = GetWslPath();
  const TZelExecResult r = RunLogged(bash, args);
  if (r.Ok()) {
    scUiSetState(0);
    return;
  }
  iscZelError(kBashFailed, "scRunBash");
  LogHowItEnded(r, bash);
}

// Rscript reads a leading '-' as one of its options, not as the script.
std::string ScriptArgument(const std::string& script) {
  return !script.empty() && script[0] == '-' ? "./" + script : script;
}

}  // namespace

bool RunWslCmd(const std::string& bashcmd, TZelExecResult* result) {
  const std::string bash = GetWslPath();
  TZelExecResult r;
  if (!bash.empty()) r = RunLogged(bash, {"-c", bashcmd});
  if (result) *result = r;
  return r.Ok();
}

bool RunRScript(const std::string& script, TZelExecResult* result) {
  const std::string exe = GetRScriptExe();
  TZelExecResult r;
  if (!exe.empty()) r = RunLogged(exe, {ScriptArgument(script)});
  if (result) *result = r;
  return r.Ok();
}

void scRunBash(const std::string& command) {
  if (RefuseWhileRunning()) return;
  iscZelHasError(true);
  if (Blank(command)) {
    iscZelUserError("No command given");
    return;
  }
  RunBashArgs({"-c", command});
}

void iscRunBashFile(const std::string& fileName) {
  if (RefuseWhileRunning()) return;
  iscZelHasError(true);
  const std::string path = WslFileName(fileName);
  if (path.empty()) {
    iscZelError("Not a full path", "U", fileName);
    return;
  }
  // "$0" is the file: the shell runs it as a program and never reads its name as commands.
  RunBashArgs({"-c", "\"$0\"", path});
}

void scRunRScript(const std::string& script) {
  if (RefuseWhileRunning()) return;
  iscZelHasError(true);
  if (Blank(script)) {
    iscZelUserError("No script file given");
    return;
  }
  scUiSetState(1);
  const std::string exe = GetRScriptExe();
  if (exe.empty()) {
    iscZelError("Failed to run script " + script, "S");
    iscZelWarning("WARNING: Rscript was not found on PATH or through RPath in zel.ini");
    return;
  }
  const TZelExecResult r = RunLogged(exe, {ScriptArgument(script)});
  if (r.Ok()) {
    scUiSetState(0);
    return;
  }
  iscZelError("Failed to run script " + script, "S");
  LogHowItEnded(r, exe);
}

void uscRunRScript() {
  const auto file = ZelUser().AskOpenFileName("Run R Script", "R scripts (*.R *.r);;All files (*)");
  if (file) scRunRScript(*file);
}

void uscRunBashFile() {
  const auto file =
      ZelUser().AskOpenFileName("Run WSL Bash Command", "Shell scripts (*.sh);;All files (*)");
  if (file) iscRunBashFile(*file);
}

bool iscExtRunning() { return gRunning; }

void iscExtCancel() {
  if (gRunning) Token().Cancel();
}
