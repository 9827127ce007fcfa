// One zelcli run: start-up, the log on stdout, the answerer with its progress line on
// stderr, running interpreter lines, and the orderly end with the exit status.
#pragma once

#include <string>
#include <vector>

#include "cli/cliVerb.h"
#include "core/zelGivenUser.h"

// The answerer installed for this run: verbs push the answers their options give (file
// names, input values); questions without an answer are cancelled.
TZelGivenUser& CliUser();

// Start-up: command table, settings, log sink on stdout, answerer, thread count.
void CliStart(const TCliGlobals& globals);
// Runs one interpreter line and then the remote requests it posted. False once scExit ran
// (later lines are not run).
bool CliRunLine(const std::string& line);
// Runs the lines of a command file; blank lines and lines whose first non-blank character
// is '#' are skipped. An unreadable file is a user error.
void CliRunFile(const std::string& fileName);
// Drains what is left, shuts down, and gives the exit status: 1 when the error flag is
// set, else status.
int CliFinish(int status);
