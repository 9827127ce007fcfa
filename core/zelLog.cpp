// The log: lines kept in order, shown through sinks; the one error form and the error flag.
#include "core/zelLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/zelUiState.h"

namespace {

struct TLogState {
  std::vector<std::string> Lines;
  std::vector<IZelLogSink*> Sinks;
  bool Error = false;
  std::string LastErrorMsg;
};

TLogState& Log() {
  static TLogState log;
  return log;
}

}  // namespace

void ZelLogAddSink(IZelLogSink* sink) {
  if (sink && std::find(Log().Sinks.begin(), Log().Sinks.end(), sink) == Log().Sinks.end())
    Log().Sinks.push_back(sink);
}

void ZelLogRemoveSink(IZelLogSink* sink) {
  auto& sinks = Log().Sinks;
  sinks.erase(std::remove(sinks.begin(), sinks.end(), sink), sinks.end());
}

const std::vector<std::string>& ZelLogLines() { return Log().Lines; }

void iscZelLog(const std::string& line) {
  Log().Lines.push_back(line);
  // A sink may remove itself while being told; walk a copy.
  const std::vector<IZelLogSink*> sinks = Log().Sinks;
  for (IZelLogSink* s : sinks) s->OnLogLine(line);
}

std::string ZelFormatError(const std::string& errMsg, const std::string& sender,
                           const std::string& details) {
  std::string r = "ERROR";
  if (!sender.empty()) r += " [" + sender + "]";
  r += ": " + errMsg;
  if (!details.empty()) r += ": " + details;
  r += ".";
  return r;
}

void iscZelError(const std::string& errMsg, const std::string& sender, const std::string& details) {
  const std::string line = ZelFormatError(errMsg, sender, details);
  Log().LastErrorMsg = line;
  Log().Error = true;
  scUiSetState(2);
  iscZelLog(line);
}

void iscZelError(const TZelErr& err) { iscZelError(err.Msg, err.Sender, err.Details); }

void iscZelUserError(const std::string& errMsg) { iscZelError(errMsg, "U", {}); }

void iscZelWarning(const std::string& msg) { iscZelLog(msg); }

bool iscZelHasError(bool reset) {
  const bool was = Log().Error;
  if (reset) {
    Log().Error = false;
    Log().LastErrorMsg.clear();
  }
  return was;
}

const std::string& ZelLastErrorMsg() { return Log().LastErrorMsg; }

void scZelLogA(const char* text) { iscZelLog(text ? std::string(text) : std::string()); }

void scClearLog() {
  Log().Lines.clear();
  const std::vector<IZelLogSink*> sinks = Log().Sinks;
  for (IZelLogSink* s : sinks) s->OnLogClear();
}

bool iscZelSaveLog(const std::string& fileName) {
  namespace fs = std::filesystem;
  // Written beside the target and renamed into place: a failed save never leaves a
  // half-written file, and a file another object has mapped is never truncated.
  const fs::path target(fileName);
  fs::path tmp = target;
  tmp += ".zeltmp";
  std::string why;
  {
    errno = 0;
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      why = errno ? std::strerror(errno) : "cannot create file";
    } else {
      for (const std::string& line : Log().Lines) out << line << "\r\n";
      out.close();
      if (!out) why = "write failed";
    }
  }
  if (why.empty()) {
    std::error_code ec;
    fs::rename(tmp, target, ec);
    if (ec) why = ec.message();
  }
  if (!why.empty()) {
    std::error_code ignore;
    fs::remove(tmp, ignore);
    iscZelError("Cannot save the log", "SaveLog", fileName + ": " + why);
    return false;
  }
  iscZelLog("Saved Log to file: " + fileName);
  return true;
}
