// Running an outside program as a child process: argument vector (never a shell string),
// standard input from /dev/null, output lines as they arrive, cancel with SIGTERM then
// SIGKILL to the child's whole process group, and a waiting loop that keeps the caller's
// front end alive. Also finding programs on PATH.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Asks a running child to stop; safe from any thread. One token serves one run at a time.
class TZelCancelToken {
 public:
  void Cancel() { FCancelled.store(true); }
  bool Cancelled() const { return FCancelled.load(); }
  // True between the start of a run and the moment its child has been reaped.
  bool Running() const;
  // Cancels and blocks until the child of the current run (if any) has been reaped. The
  // worker never needs the calling thread for that, so this may be called from inside the
  // caller's pump (an exit request arriving while the caller waits).
  void CancelAndWait();

  // For the runner: a run starts (clears an earlier cancel) and ends.
  void BeginRun();
  void EndRun();

 private:
  std::atomic<bool> FCancelled{false};
  mutable std::mutex FLock;
  std::condition_variable FEnded;
  bool FRunning = false;
};

struct TZelExecResult {
  bool Started = false;  // the program could be started
  int StartErrno = 0;    // why not, when it could not
  int ExitCode = -1;     // when it exited on its own
  int Signal = 0;        // when a signal ended it
  bool Cancelled = false;
  bool Ok() const { return Started && !Cancelled && Signal == 0 && ExitCode == 0; }
};

struct TZelExecOptions {
  // Each line of the child's standard output and error (one stream, in the order written),
  // without its line break. Lines longer than MaxLine arrive in pieces of MaxLine bytes.
  std::function<void(std::string_view line)> OnLine;
  // How long a cancelled child's group has after SIGTERM before SIGKILL.
  std::chrono::milliseconds Grace{3000};
  size_t MaxLine = 1 << 20;
};

// Runs exe (a path; not searched on PATH) with args as argv[1..] in its own session and
// process group, stdin at its end (/dev/null), stdout and stderr into one pipe, no other open
// descriptor inherited. Blocks until the child has ended; OnLine runs on the calling thread.
// When cancel is set during the run, the child's group gets SIGTERM, then SIGKILL after the
// grace period, whether or not the child itself ended on the SIGTERM.
TZelExecResult ZelExecRun(const std::string& exe, const std::vector<std::string>& args,
                          TZelCancelToken& cancel, const TZelExecOptions& options);

struct TZelWaitHooks {
  // Each output line, called on the waiting thread (the log may be written from here).
  std::function<void(std::string_view line)> OnLine;
  // Called about every 50 ms while the child runs: the GUI repaints and handles input here.
  std::function<void()> Pump;
  // Asked after every pump; true cancels the child.
  std::function<bool()> Cancelled;
};

// ZelExecRun on a worker thread while the calling thread waits: it passes the output lines
// on as they arrive and keeps calling the pump, so the front end stays responsive and a
// Cancel button (through hooks.Cancelled or the token) can stop the child. True when the
// child ran and exited with code 0; the details are in *result when given.
bool ExecAndWait(const std::string& exe, const std::vector<std::string>& args,
                 TZelCancelToken& cancel, const TZelWaitHooks& hooks,
                 TZelExecResult* result = nullptr,
                 std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

// Full path of the first executable regular file called name in the absolute directories
// of PATH (empty and relative entries are skipped: a program is never taken from wherever
// the process happens to be); "/usr/bin:/bin" when PATH is unset. Empty when not found.
std::string ZelFindOnPath(const std::string& name);
// True when path names an executable regular file (following links).
bool ZelIsExecutableFile(const std::string& path);

// The outside programs on this platform. The shell is the system's bash, found on PATH;
// "WSL installed" means it was found. The answer is cached for the process.
bool WslInstalled();
// Full path of bash, or empty.
std::string GetWslPath();
// Forgets the cached answer (after PATH changed; tests).
void ZelResetWslCache();
// The shell's path for a file name: an absolute path stays as it is; a drive path such as
// C:\data\x.sh becomes /mnt/c/data/x.sh; anything else (a relative name) gives "".
std::string WslFileName(const std::string& winFileName);
// Rscript: the RPath setting (a folder holding Rscript, or Rscript itself) when it names
// an executable, else Rscript on PATH; empty when neither. GetRPath gives its folder.
std::string GetRScriptExe();
std::string GetRPath();
