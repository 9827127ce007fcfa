// One zelcli run: start-up, the log on stdout, the progress line on stderr, the orderly end.
#include "cli/cliSession.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "commands/cmdTable.h"
#include "core/zelCmdTable.h"
#include "core/zelLog.h"
#include "core/zelProgressLine.h"
#include "core/zelRemote.h"
#include "core/zelStartup.h"

namespace {

// Prints every log line to stdout. With --quiet, the echo of each line zelcli itself runs
// is left out (matched exactly, so result lines that start with '>' still show).
class TStdoutSink final : public IZelLogSink {
 public:
  bool Quiet = false;
  std::string SkipEcho;
  bool HasSkip = false;

  void OnLogLine(const std::string& line) override {
    if (HasSkip && line == SkipEcho) {
      HasSkip = false;
      return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  void OnLogClear() override {}  // what is printed stays printed
};

// Answers from the given queues; long work shows its progress line on stderr, only when
// stderr is a terminal.
class TCliUser final : public TZelGivenUser {
 public:
  TZelProgressLine Line{stderr, stdout};
  void Progress(uint64_t done, uint64_t total) override { Line.Update(done, total); }
};

TStdoutSink& Sink() {
  static TStdoutSink sink;
  return sink;
}

TCliUser& User() {
  static TCliUser user;
  return user;
}

// A line failed: it named no command, or it set the error flag (which is cleared before each
// line so that every failing line is seen, and remembered here for the exit status).
bool& LineFailed() {
  static bool failed = false;
  return failed;
}

}  // namespace

TZelGivenUser& CliUser() { return User(); }

bool CliStart(const TCliGlobals& globals) {
  RegisterZelCommands();
  ZelSetThreads(globals.Threads);
  Sink().Quiet = globals.Quiet;
  ZelLogAddSink(&Sink());
  if (TZelErr e = iscZelInit()) {
    iscZelError(e);
    return false;
  }
  User().Line.Enabled = !globals.Quiet && isatty(STDERR_FILENO);
  ZelSetUser(&User());
  return true;
}

TCliLineResult CliRunLine(const std::string& line) {
  if (ZelExiting()) return TCliLineResult::Exited;
  if (Sink().Quiet) {
    Sink().SkipEcho = ">" + line;
    Sink().HasSkip = true;
  }
  if (iscZelHasError(true)) LineFailed() = true;
  const bool ran = ZelRunCmd(line);
  Sink().HasSkip = false;
  ZelDrainRemoteCmds();
  if (!ran || iscZelHasError(false)) {
    LineFailed() = true;
    return TCliLineResult::Failed;
  }
  return ZelExiting() ? TCliLineResult::Exited : TCliLineResult::Ok;
}

void CliRunFile(const std::string& fileName, bool keepGoing) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    iscZelError("Cannot read command file", "U", fileName);
    return;
  }
  std::string line;
  uint64_t lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    const TCliLineResult r = CliRunLine(line);
    if (r == TCliLineResult::Exited) break;
    if (r == TCliLineResult::Failed) {
      iscZelError("Line " + std::to_string(lineNo) + " of the command file failed", "U", fileName);
      if (!keepGoing) return;
    }
  }
  if (in.bad()) iscZelError("Cannot read command file", "U", fileName);
}

int CliFinish(int status) {
  if (!ZelExiting()) ZelDrainRemoteCmds();
  scExit();
  const bool failed = iscZelHasError(false);
  ZelLogRemoveSink(&Sink());
  ZelSetUser(nullptr);
  std::fflush(stdout);
  return failed || LineFailed() ? 1 : status;
}
