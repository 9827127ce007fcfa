// How long engine work reports progress and learns it should stop. The GUI's progress bar,
// the CLI's stderr line and tests implement it; engine code only calls it.
#pragma once

#include <cstdint>

class IZelProgress {
 public:
  virtual ~IZelProgress() = default;
  // done out of total units (bytes, variants, ...); called from the thread doing the work.
  virtual void Progress(uint64_t done, uint64_t total) = 0;
  virtual bool Cancelled() { return false; }
};
