// The base library's chief header: processor dispatch, memory routines, numbers, sorting, and
// the process-wide hooks through which any code asks for parallel execution.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/korCpu.h"
#include "base/korMem.h"
#include "base/korNum.h"
#include "base/korTypes.h"
#include "base/zelError.h"

// What a task routine returned (integer result registers and a floating-point value).
struct TStdFuncResult {
  uint64_t I_reAX = 0;
  uint64_t I_reDX = 0;
  double Dbl = 0.0;
  bool HasST0 = false;
  int64_t I64() const { return static_cast<int64_t>(I_reAX); }
};

// A task routine takes its list of 64-bit argument values and fills its result.
using TAnyRoutine = std::function<void(const uint64_t* args, uint32_t count, TStdFuncResult& r)>;
using TArgList = std::vector<uint64_t>;

// Runs routines[i](argLists[i]) for all i when the three lists have the same non-zero length
// (counts[i] arguments of argLists[i] are passed). A routine that throws is reported in the
// result (the first failure's text), never ends the process.
using TParalleliseProc = TZelErr (*)(const std::vector<TAnyRoutine>& routines,
                                     const std::vector<TArgList>& argLists,
                                     const std::vector<uint32_t>& counts);
using TParalleliseExProc = TZelErr (*)(const std::vector<TAnyRoutine>& routines,
                                       const std::vector<TArgList>& argLists,
                                       const std::vector<uint32_t>& counts,
                                       std::vector<TStdFuncResult>& results);

[[nodiscard]] TZelErr SerialProcExecute(const std::vector<TAnyRoutine>& routines,
                                        const std::vector<TArgList>& argLists,
                                        const std::vector<uint32_t>& counts);
[[nodiscard]] TZelErr SerialFuncExecute(const std::vector<TAnyRoutine>& routines,
                                        const std::vector<TArgList>& argLists,
                                        const std::vector<uint32_t>& counts,
                                        std::vector<TStdFuncResult>& results);

// Redirected to the global worker pool when one is installed (korThd); serial until then.
extern TParalleliseProc Parallelise;
extern TParalleliseExProc ParalleliseEx;
// Address of the current worker count (1 while serial).
extern const uint32_t* nParallel;
extern const uint32_t nSerialExecute;

// Convenience over the hook: runs every closure once, in parallel when a pool is installed.
// Returns the first failure of a closure that threw (Sender "Thread pool").
[[nodiscard]] TZelErr ParalleliseProcs(const std::vector<std::function<void()>>& procs);
