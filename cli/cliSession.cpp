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

}  // namespace

TZelGivenUser& CliUser() { return User(); }

void CliStart(const TCliGlobals& globals) {
  RegisterZelCommands();
  ZelSetThreads(globals.Threads);
  iscZelInit();
  Sink().Quiet = globals.Quiet;
  ZelLogAddSink(&Sink());
  User().Line.Enabled = !globals.Quiet && isatty(STDERR_FILENO);
  ZelSetUser(&User());
}

bool CliRunLine(const std::string& line) {
  if (ZelExiting()) return false;
  if (Sink().Quiet) {
    Sink().SkipEcho = ">" + line;
    Sink().HasSkip = true;
  }
  ZelRunCmd(line);
  Sink().HasSkip = false;
  ZelDrainRemoteCmds();
  return !ZelExiting();
}

void CliRunFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    iscZelError("Cannot read command file", "U", fileName);
    return;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (!CliRunLine(line)) break;
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
  return failed ? 1 : status;
}
