// Remote command requests: posted from any thread, run later by the main loop in posting
// order, never during the post.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Accept posted requests (a fixed switch; off drops requests when they are drained).
extern bool Remoteable;

// Queues a copy of remoteCmd; receiver is not used (requests always go to the interpreter).
// Returns non-zero when queued, 0 for an absent text. Safe from any thread.
int scRemoteCmd(uint64_t receiver, const char* remoteCmd);

// Runs the queued requests through ZelRunCmd, in posting order, including those queued
// while draining. Main thread only. Does nothing while a command is running (a front end
// pumping events inside a command or a dialog): the requests wait for the outer loop, so a
// command that posts a request finishes before it starts. Returns the number run.
size_t ZelDrainRemoteCmds();
size_t ZelPendingRemoteCmds();

// Called (on the posting thread) after each post, so a front end can wake its event loop.
void ZelSetRemoteCmdNotify(std::function<void()> notify);
