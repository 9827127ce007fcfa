// A one-line progress display for a terminal: "NN% (done/total)", rewritten in place with a
// carriage return, redrawn only when the percentage changes, wiped when the work ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>

class TZelProgressLine {
 public:
  // out: where the line goes (stderr in zelcli); before: flushed first so lines do not mix.
  explicit TZelProgressLine(std::FILE* out, std::FILE* before = nullptr)
      : FOut(out), FBefore(before) {}
  bool Enabled = true;
  // Safe from any thread; done >= total ends the line.
  void Update(uint64_t done, uint64_t total);

 private:
  std::FILE* FOut;
  std::FILE* FBefore;
  std::mutex FLock;
  int FLastPct = -1;
};
