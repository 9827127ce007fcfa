// Outside programs: R scripts through Rscript and shell commands through bash, run as child
// processes whose output goes to the log line by line while the front end stays responsive.
#pragma once

#include <string>

struct TZelExecResult;

// Runs bash -c command; true when it exited with code 0. Nothing is logged but the output.
bool RunWslCmd(const std::string& bashcmd, TZelExecResult* result = nullptr);
// Runs Rscript on the script file; false when Rscript is not found or the run failed.
bool RunRScript(const std::string& script, TZelExecResult* result = nullptr);

// Runs one shell command (given as the shell's command text). An empty command is a user
// error; without bash, "Windows Subsystem For Linux (WSL) not installed"; a failed run
// "Unknown error running WSL BASH command", followed by how it ended.
void scRunBash(const std::string& command);
// Runs a script file with bash: the file is the shell's argument, never its command text,
// so no character of its name is interpreted. The name goes through WslFileName first.
void iscRunBashFile(const std::string& fileName);
// Runs an R script; any failure (Rscript missing included) is "Failed to run script " + the
// script file, with source "S", followed by the reason.
void scRunRScript(const std::string& script);

// The menu entries "Run R Script..." and "Run WSL Bash Command...": ask for a file, run it.
void uscRunRScript();
void uscRunBashFile();

// True while an outside program runs (a second one is refused meanwhile).
bool iscExtRunning();
// Stops the running program (the GUI's Cancel button): SIGTERM to it and everything it
// started, SIGKILL after a grace period. The run then reports that it was cancelled.
void iscExtCancel();
