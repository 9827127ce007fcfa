// Runs the zelcli binary for end-to-end tests: arguments go straight to execv (no shell, so
// paths with spaces or quotes need no care), stdout and stderr are captured whole.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct TCliRun {
  int Status = -1;  // exit status, or 128 + signal
  std::string Out, Err;
};

// A fresh folder under /tmp, removed with everything in it at the end of its scope.
struct TTmpDir {
  std::filesystem::path Dir;
  TTmpDir() {
    char t[] = "/tmp/zel_test_XXXXXX";
    if (const char* made = mkdtemp(t)) Dir = made;
  }
  ~TTmpDir() {
    std::error_code ec;
    if (!Dir.empty()) std::filesystem::remove_all(Dir, ec);
  }
  TTmpDir(const TTmpDir&) = delete;
  TTmpDir& operator=(const TTmpDir&) = delete;
  std::string operator/(const std::string& n) const { return (Dir / n).string(); }
};

// Whether a peer tool is on the PATH (tests that compare with it skip otherwise).
inline bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// stdout of a shell command line (only fixed tool names and our own temp paths are passed).
inline std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

inline std::string CliReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// stdinText, when given, is what zelcli reads on standard input; otherwise /dev/null.
inline TCliRun RunZelcli(const std::vector<std::string>& args,
                         const std::string* stdinText = nullptr) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/zel_cli_XXXXXX";
  const char* made = mkdtemp(tmpl);
  if (!made) return {};
  const fs::path dir = made;
  const fs::path out = dir / "out", err = dir / "err", in = dir / "in";
  if (stdinText) std::ofstream(in, std::ios::binary) << *stdinText;
  const pid_t pid = fork();
  if (pid == 0) {
    const int i = open(stdinText ? in.c_str() : "/dev/null", O_RDONLY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(i, 0);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ZELCLI_PATH));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ZELCLI_PATH, argv.data());
    _exit(127);
  }
  TCliRun r;
  int st = 0;
  waitpid(pid, &st, 0);
  r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  r.Out = CliReadFile(out);
  r.Err = CliReadFile(err);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return r;
}
