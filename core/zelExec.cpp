// Child processes on POSIX: posix_spawn with an argument vector, one output pipe, process
// group signalling on cancel, the waiting loop that keeps the front end pumping, and where
// bash and Rscript are found.
#include "core/zelExec.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/zelSettings.h"

extern char** environ;

bool TZelCancelToken::Running() const {
  std::lock_guard<std::mutex> g(FLock);
  return FRunning;
}

void TZelCancelToken::CancelAndWait() {
  Cancel();
  std::unique_lock<std::mutex> lk(FLock);
  FEnded.wait(lk, [this] { return !FRunning; });
}

void TZelCancelToken::BeginRun() {
  std::lock_guard<std::mutex> g(FLock);
  FRunning = true;
  FCancelled.store(false);
}

void TZelCancelToken::EndRun() {
  {
    std::lock_guard<std::mutex> g(FLock);
    FRunning = false;
  }
  FEnded.notify_all();
}

namespace {

using TClock = std::chrono::steady_clock;

// Cuts the byte stream of the child into lines; a line break may arrive in any piece.
class TLineSplitter {
 public:
  TLineSplitter(const TZelExecOptions& o) : FOptions(o) {}

  void Feed(const char* p, size_t n) {
    FPending.append(p, n);
    size_t start = 0;
    for (;;) {
      const size_t nl = FPending.find('\n', start);
      if (nl == std::string::npos) break;
      Emit(std::string_view(FPending).substr(start, nl - start));
      start = nl + 1;
    }
    FPending.erase(0, start);
    // Output without line breaks (a progress bar, binary junk) must not grow without bound.
    const size_t maxLine = FOptions.MaxLine ? FOptions.MaxLine : 1;
    while (FPending.size() > maxLine) {
      Emit(std::string_view(FPending).substr(0, maxLine));
      FPending.erase(0, maxLine);
    }
  }

  void Finish() {
    if (!FPending.empty()) Emit(FPending);
    FPending.clear();
  }

 private:
  void Emit(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!FOptions.OnLine) return;
    const size_t maxLine = FOptions.MaxLine ? FOptions.MaxLine : 1;
    while (line.size() > maxLine) {
      FOptions.OnLine(line.substr(0, maxLine));
      line.remove_prefix(maxLine);
    }
    FOptions.OnLine(line);
  }

  const TZelExecOptions& FOptions;
  std::string FPending;
};

// Reads what the pipe holds now, at most 1 MiB so that a child that never stops writing
// cannot keep the loop from looking at cancel and exit; false at end of file (or a read
// error, which ends it too).
bool DrainPipe(int fd, TLineSplitter& lines) {
  char buf[65536];
  for (int i = 0; i < 16; ++i) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      lines.Feed(buf, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
  return true;
}

// The child has ended (it stays a zombie, so its process group id cannot be reused yet).
bool ChildEnded(pid_t pid) {
  siginfo_t si{};
  if (waitid(P_PID, static_cast<id_t>(pid), &si, WEXITED | WNOHANG | WNOWAIT) != 0)
    return errno == ECHILD;
  return si.si_pid == pid;
}

// What the child reads as standard input: /dev/null, or, should that not be the null device
// (a system where it was replaced by a plain file), a pipe nobody writes to. Either way the
// first read ends the input.
int EmptyInput() {
  const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISCHR(st.st_mode)) return fd;
  if (fd >= 0) close(fd);
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return -1;
  close(p[1]);
  return p[0];
}

struct TSpawnSetup {
  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attr;
  TSpawnSetup() {
    posix_spawn_file_actions_init(&Actions);
    posix_spawnattr_init(&Attr);
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attr);
  }
  TSpawnSetup(const TSpawnSetup&) = delete;
  TSpawnSetup& operator=(const TSpawnSetup&) = delete;
};

}  // namespace

TZelExecResult ZelExecRun(const std::string& exe, const std::vector<std::string>& args,
                          TZelCancelToken& cancel, const TZelExecOptions& options) {
  TZelExecResult r;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    r.StartErrno = errno;
    return r;
  }
  const int in = EmptyInput();
  if (in < 0) {
    r.StartErrno = errno;
    close(fds[0]);
    close(fds[1]);
    return r;
  }
  TSpawnSetup s;
  posix_spawn_file_actions_adddup2(&s.Actions, in, 0);
  posix_spawn_file_actions_adddup2(&s.Actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&s.Actions, fds[1], 2);
  // Mapped data files and sockets of this process are none of the child's business.
  posix_spawn_file_actions_addclosefrom_np(&s.Actions, 3);
  // A session of its own: its own process group to signal on cancel, and no controlling
  // terminal it could wait on for input.
  sigset_t none, dflt;
  sigemptyset(&none);
  sigemptyset(&dflt);
  for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2})
    sigaddset(&dflt, sig);
  posix_spawnattr_setsigmask(&s.Attr, &none);
  posix_spawnattr_setsigdefault(&s.Attr, &dflt);
  posix_spawnattr_setflags(&s.Attr,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, exe.c_str(), &s.Actions, &s.Attr, argv.data(), environ);
  close(in);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    r.StartErrno = rc;
    return r;
  }
  r.Started = true;
  const int fd = fds[0];
  struct TCloser {
    int Fd;
    ~TCloser() { close(Fd); }
  } closer{fd};
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

  TLineSplitter lines(options);
  bool open = true;
  try {
    bool termSent = false;
    TClock::time_point termAt;
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (open) {
        if (poll(&p, 1, 20) > 0) open = DrainPipe(fd, lines);
      } else {
        poll(nullptr, 0, 20);
      }
      const bool ended = ChildEnded(pid);
      if (ended && !termSent) {
        // What it wrote before it ended is in the pipe now; later output of processes it
        // left running is not waited for.
        if (open) DrainPipe(fd, lines);
        break;
      }
      if (!termSent && cancel.Cancelled()) {
        kill(-pid, SIGTERM);
        termSent = true;
        termAt = TClock::now();
        r.Cancelled = true;
      }
      if (termSent) {
        // The group has had its chance when the child has ended and nobody holds the output
        // open any more, or when the grace period is over; then nothing of it survives.
        if ((ended && !open) || TClock::now() - termAt >= options.Grace) {
          kill(-pid, SIGKILL);
          break;
        }
      }
    }
  } catch (...) {
    // A line handler that throws leaves no child behind.
    kill(-pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    throw;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (open) DrainPipe(fd, lines);
  lines.Finish();
  if (WIFEXITED(status)) r.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.Signal = WTERMSIG(status);
  return r;
}

bool ExecAndWait(const std::string& exe, const std::vector<std::string>& args,
                 TZelCancelToken& cancel, const TZelWaitHooks& hooks, TZelExecResult* result,
                 std::chrono::milliseconds grace) {
  struct TShared {
    std::mutex Lock;
    std::condition_variable Ready;
    std::vector<std::string> Lines;
    bool Done = false;
    TZelExecResult Result;
  };
  auto sh = std::make_shared<TShared>();
  TZelExecOptions o;
  o.Grace = grace;
  o.OnLine = [sh](std::string_view line) {
    {
      std::lock_guard<std::mutex> g(sh->Lock);
      sh->Lines.emplace_back(line);
    }
    sh->Ready.notify_one();
  };

  cancel.BeginRun();
  std::thread worker;
  try {
    worker = std::thread([sh, o, exe, args, &cancel] {
      TZelExecResult r = ZelExecRun(exe, args, cancel, o);
      {
        std::lock_guard<std::mutex> g(sh->Lock);
        sh->Result = r;
        sh->Done = true;
      }
      cancel.EndRun();
      sh->Ready.notify_one();
    });
  } catch (...) {
    cancel.EndRun();
    throw;
  }
  // Whatever a hook throws, the child is stopped and the worker joined before it leaves.
  struct TJoin {
    std::thread& W;
    TZelCancelToken& C;
    ~TJoin() {
      if (W.joinable()) {
        C.Cancel();
        W.join();
      }
    }
  } join{worker, cancel};

  std::vector<std::string> batch;
  for (;;) {
    bool done;
    {
      std::unique_lock<std::mutex> lk(sh->Lock);
      sh->Ready.wait_for(lk, std::chrono::milliseconds(50),
                         [&] { return sh->Done || !sh->Lines.empty(); });
      batch.swap(sh->Lines);
      done = sh->Done;
    }
    for (const std::string& line : batch)
      if (hooks.OnLine) hooks.OnLine(line);
    batch.clear();
    if (done) break;
    if (hooks.Pump) hooks.Pump();
    if (hooks.Cancelled && hooks.Cancelled()) cancel.Cancel();
  }
  worker.join();
  if (result) *result = sh->Result;
  return sh->Result.Ok();
}

bool ZelIsExecutableFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

std::string ZelFindOnPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  const char* env = std::getenv("PATH");
  const std::string path = env ? env : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    start = end + 1;
    if (dir.empty() || dir[0] != '/') continue;
    if (dir.back() != '/') dir += '/';
    if (ZelIsExecutableFile(dir + name)) return dir + name;
  }
  return {};
}

namespace {

// The top bit set: not yet determined; afterwards 0 or 1.
uint8_t& WslIsInstalledCache() {
  static uint8_t v = 0x80;
  return v;
}

std::string& BashPath() {
  static std::string p;
  return p;
}

}  // namespace

bool WslInstalled() {
  uint8_t& c = WslIsInstalledCache();
  if (!(c & 0x80)) return c != 0;
  BashPath() = ZelFindOnPath("bash");
  c = BashPath().empty() ? 0 : 1;
  return c != 0;
}

std::string GetWslPath() { return WslInstalled() ? BashPath() : std::string(); }

void ZelResetWslCache() {
  WslIsInstalledCache() = 0x80;
  BashPath().clear();
}

std::string WslFileName(const std::string& winFileName) {
  if (winFileName.size() >= 2 && winFileName[1] == ':') {
    // No drive here is mapped onto a folder, so the drive part stays as it is.
    std::string s = winFileName;
    s.erase(1, 1);
    s[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
    for (char& ch : s)
      if (ch == '\\') ch = '/';
    return "/mnt/" + s;
  }
  if (!winFileName.empty() && winFileName[0] == '/') return winFileName;
  return {};
}

std::string GetRScriptExe() {
  const std::string& rpath = ZelSettings.RPath;
  if (!rpath.empty()) {
    if (ZelIsExecutableFile(rpath)) return rpath;
    const std::string inDir = rpath + (rpath.back() == '/' ? "" : "/") + "Rscript";
    if (ZelIsExecutableFile(inDir)) return inDir;
  }
  return ZelFindOnPath("Rscript");
}

std::string GetRPath() {
  const std::string exe = GetRScriptExe();
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : exe.substr(0, slash);
}
