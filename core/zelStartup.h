// The headless half of start-up and shutdown: settings, command table, registry hook-up,
// the thread count for parallel work, and the orderly exit.
#pragma once

#include <cstdio>
#include <functional>

#include "base/zelError.h"

// Developer mode: extra diagnostics; off, and set off again first thing at start-up.
extern bool zelDev;

// Start-up before any window exists, in this order: processor routine selection, settings
// file, command table, global worker pool, registry notification. The command layer must
// have registered its commands. Also puts log flag, interface state and exit state to their
// start-up values. An error when the command table cannot be built: start-up stops there and
// the front end ends with exit status 1.
[[nodiscard]] TZelErr iscZelInit();

// Orderly shutdown: runs the exit hooks (worker pools), deletes every registered object,
// writes the settings file back when it changed, then asks the front end to stop. A
// second call does nothing.
void scExit();
bool ZelExiting();

// Work to do at the start of scExit, latest added first (pools created after start-up).
void ZelAddExitHook(std::function<void()> hook);
// The front end's way to end its event loop; zelcli stops reading lines instead.
void ZelSetTerminateHandler(std::function<void()> handler);

// Threads for parallel work; 0 means all cores. Set before iscZelInit, which creates the
// global worker pool with that many threads. ZelThreads() never returns 0.
void ZelSetThreads(unsigned n);
unsigned ZelThreads();

// The echo of a command line the desktop program does not act on: "OFF", "ZEL CMD LINE",
// "Params: ", then "i: " + argument i for every argument, the program's path first.
void RunZelCmdLine(int argc, const char* const* argv, std::FILE* out);
