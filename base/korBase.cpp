// The process-wide parallel-execution hooks and their serial executors.
#include "base/korBase.h"

#include <exception>

namespace {

TZelErr Failure(const char* what) {
  return TZelErr("Thread pool", "A parallel task failed", what ? what : "unknown exception");
}

bool ListsMatch(const std::vector<TAnyRoutine>& r, const std::vector<TArgList>& a,
                const std::vector<uint32_t>& c) {
  return !r.empty() && r.size() == a.size() && r.size() == c.size();
}

TZelErr RunOne(const TAnyRoutine& r, const TArgList& args, uint32_t count, TStdFuncResult& out) {
  if (!r) return {};
  if (count > args.size()) count = static_cast<uint32_t>(args.size());
  try {
    r(args.data(), count, out);
  } catch (const std::exception& e) {
    return Failure(e.what());
  } catch (...) {
    return Failure(nullptr);
  }
  return {};
}

}  // namespace

const uint32_t nSerialExecute = 1;
TParalleliseProc Parallelise = SerialProcExecute;
TParalleliseExProc ParalleliseEx = SerialFuncExecute;
const uint32_t* nParallel = &nSerialExecute;

TZelErr SerialProcExecute(const std::vector<TAnyRoutine>& routines,
                          const std::vector<TArgList>& argLists,
                          const std::vector<uint32_t>& counts) {
  std::vector<TStdFuncResult> ignored;
  return SerialFuncExecute(routines, argLists, counts, ignored);
}

TZelErr SerialFuncExecute(const std::vector<TAnyRoutine>& routines,
                          const std::vector<TArgList>& argLists,
                          const std::vector<uint32_t>& counts,
                          std::vector<TStdFuncResult>& results) {
  results.clear();
  if (!ListsMatch(routines, argLists, counts)) return {};
  results.resize(routines.size());
  TZelErr first;
  for (size_t i = 0; i < routines.size(); ++i) {
    TZelErr e = RunOne(routines[i], argLists[i], counts[i], results[i]);
    if (e && !first) first = std::move(e);
  }
  return first;
}

TZelErr ParalleliseProcs(const std::vector<std::function<void()>>& procs) {
  if (procs.empty()) return {};
  std::vector<TAnyRoutine> routines;
  routines.reserve(procs.size());
  for (const auto& p : procs)
    routines.push_back([&p](const uint64_t*, uint32_t, TStdFuncResult&) {
      if (p) p();
    });
  return Parallelise(routines, std::vector<TArgList>(procs.size()),
                     std::vector<uint32_t>(procs.size(), 0));
}
