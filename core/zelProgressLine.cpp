// A one-line progress display for a terminal.
#include "core/zelProgressLine.h"

void TZelProgressLine::Update(uint64_t done, uint64_t total) {
  if (!Enabled || total == 0 || !FOut) return;
  std::lock_guard<std::mutex> g(FLock);
  const int pct = done >= total ? 100 : static_cast<int>(done * 100 / total);
  if (pct == FLastPct) return;
  if (FBefore) std::fflush(FBefore);
  if (pct >= 100) {
    // Only a line that was shown needs wiping.
    if (FLastPct >= 0) std::fputs("\r                                            \r", FOut);
    FLastPct = -1;
  } else {
    FLastPct = pct;
    std::fprintf(FOut, "\r%3d%% (%llu/%llu)", pct, static_cast<unsigned long long>(done),
                 static_cast<unsigned long long>(total));
  }
  std::fflush(FOut);
}
