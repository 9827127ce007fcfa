// One zelcli run: start-up, the log on stdout, the answerer with its progress line on
// stderr, running interpreter lines, and the orderly end with the exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cliVerb.h"
#include "core/zelGivenUser.h"

// The answerer installed for this run: verbs push the answers their options give (file
// names, input values); questions without an answer are cancelled.
TZelGivenUser& CliUser();

// Start-up: command table, settings, log sink on stdout, answerer, thread count. False (the
// error logged) when start-up failed; the run then ends with status 1.
[[nodiscard]] bool CliStart(const TCliGlobals& globals);

enum class TCliLineResult : uint8_t {
  Ok,      // ran and left the error flag as it was
  Failed,  // named no command, had the wrong argument count, or set the error flag
  Exited,  // scExit ran: later lines are not run
};
// Runs one interpreter line and then the remote requests it posted. A failed line makes the
// exit status 1.
TCliLineResult CliRunLine(const std::string& line);
// Runs the lines of a command file; blank lines and lines whose first non-blank character
// is '#' are skipped. An unreadable file is a user error. A failing line is named by its
// line number in the file; without keepGoing the lines after it are not run.
void CliRunFile(const std::string& fileName, bool keepGoing);
// Drains what is left, shuts down, and gives the exit status: 1 when the error flag is set
// or a line failed, else status.
int CliFinish(int status);
