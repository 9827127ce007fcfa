// The log: the one place all output meant for the user goes, with the one error form,
// the process-wide error flag, and sinks that show the lines (GUI pane, stdout, file).
#pragma once

#include <string>
#include <vector>

#include "base/zelError.h"

class IZelLogSink {
 public:
  virtual ~IZelLogSink() = default;
  virtual void OnLogLine(const std::string& line) = 0;
  virtual void OnLogClear() = 0;
};

void ZelLogAddSink(IZelLogSink* sink);
void ZelLogRemoveSink(IZelLogSink* sink);
const std::vector<std::string>& ZelLogLines();

void iscZelLog(const std::string& line);
// The error line alone, without logging or touching the flag.
std::string ZelFormatError(const std::string& errMsg, const std::string& sender = {},
                           const std::string& details = {});
// "ERROR" [" [" Sender "]"] ": " ErrMsg [": " Details] "."; sets the flag and the ERROR state.
void iscZelError(const std::string& errMsg, const std::string& sender = {},
                 const std::string& details = {});
void iscZelError(const TZelErr& err);
void iscZelUserError(const std::string& errMsg);
void iscZelWarning(const std::string& msg);
// Returns the flag as it was on entry; with reset, clears it and the last message.
bool iscZelHasError(bool reset);
const std::string& ZelLastErrorMsg();

void scZelLogA(const char* text);
void scClearLog();
// Writes all lines, CR LF separated, replacing the file; logs "Saved Log to file: " + name
// on success and an error line otherwise.
[[nodiscard]] bool iscZelSaveLog(const std::string& fileName);
