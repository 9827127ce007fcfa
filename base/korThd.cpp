// Worker thread pool on std::thread: tasks are taken in list order by whichever worker is free;
// the waiting thread calls the installed wait hook so a user interface stays alive.
#include "base/korThd.h"

#include <chrono>
#include <system_error>

namespace {

std::mutex gHookLock;
TPoolWaitHook gWaitHook;

TZelErr FailureText(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return TZelErr("Thread pool", "A parallel task failed", x.what());
  } catch (...) {
    return TZelErr("Thread pool", "A parallel task failed", "unknown exception");
  }
}

bool ListsMatch(const std::vector<TAnyRoutine>& r, const std::vector<TArgList>& a,
                const std::vector<uint32_t>& c) {
  return !r.empty() && r.size() == a.size() && r.size() == c.size();
}

// Removes the global pool when the process ends, so its workers are joined.
struct TGlobalPoolGuard {
  ~TGlobalPoolGuard() { RemoveGlobalThreadPool(); }
} gGlobalPoolGuard;

}  // namespace

TWrkThdPool* GlobalThreadPool = nullptr;
TWrkThdPool* Parallelise_SelfPtr = nullptr;
uint8_t LockParallelise = 0;

void SetPoolWaitHook(TPoolWaitHook hook) {
  std::lock_guard<std::mutex> g(gHookLock);
  gWaitHook = std::move(hook);
}

TPoolWaitHook GetPoolWaitHook() {
  std::lock_guard<std::mutex> g(gHookLock);
  return gWaitHook;
}

uint32_t GetOSnLogProcessors() {
  const unsigned n = std::thread::hardware_concurrency();
  return n ? n : 1;
}

// ---- Parameters and tasks ----

void AddParam(TTskParam& params, uint64_t value) {
  params.Params.push_back(value);
  params.NRegistersUsed = static_cast<uint8_t>(params.Params.size() < 4 ? params.Params.size() : 4);
}

void ClearParams(TTskParam& params) { params = TTskParam{}; }

TTskParam MakeParams(const uint64_t* values, uint32_t count) {
  TTskParam p;
  if (values)
    for (uint32_t i = 0; i < count; ++i) AddParam(p, values[i]);
  return p;
}

TWrkTsk MakeTask(TAnyRoutine routine, const TTskParam& params, uint32_t repetitions,
                 uint32_t* errPtr, TTskErrHandler errHandler) {
  TWrkTsk t;
  t.Routine = std::move(routine);
  t.ParamList = params;
  t.Repetitions = repetitions;
  t.ErrPtr = errPtr;
  t.ErrHandler = std::move(errHandler);
  return t;
}

void ClearTaskList(std::vector<TWrkTsk>& tasks) {
  tasks.clear();
  tasks.shrink_to_fit();
}

std::vector<TWrkTsk*> AWrkTsk2APWrkTsk(std::vector<TWrkTsk>& tasks) {
  std::vector<TWrkTsk*> r;
  r.reserve(tasks.size());
  for (auto& t : tasks) r.push_back(&t);
  return r;
}

void ProcFastCall(const TAnyRoutine& routine, const uint64_t* values, uint32_t count) {
  TStdFuncResult ignored;
  AnyFuncFastCall(routine, values, count, ignored);
}

void AnyFuncFastCall(const TAnyRoutine& routine, const uint64_t* values, uint32_t count,
                     TStdFuncResult& result) {
  result = TStdFuncResult{};
  if (!routine || (count && !values)) return;
  routine(values, count, result);
}

// ---- The pool ----

struct TWrkThdPool::TWorker {
  std::thread Thd;
  bool Executing = false;
  uint32_t Counter = 0;
};

TWrkThdPool::TWrkThdPool(bool install) : hOwnThread(std::this_thread::get_id()) {
  if (install) InstallParallelise();
}

TWrkThdPool::TWrkThdPool(uint32_t count, bool install) : TWrkThdPool(install) {
  // Without workers (a count beyond the limit) the pool runs its tasks on the caller's thread.
  (void)CreateThreads(count);
}

TWrkThdPool::~TWrkThdPool() {
  TerminateThdRunAndWait = true;
  if (FParallelisePatched) UninstallParallelise();
  TerminateThreads();
  FreeThreads();
  ClearTasks();
}

bool TWrkThdPool::CreateThreads(uint32_t count) {
  std::unique_lock<std::mutex> g(FLock);
  if (!Threads.empty()) return false;
  if (count == ~uint32_t(0)) {
    count = GetOSnLogProcessors();
    if (count > kMaxThreads) count = kMaxThreads;
  }
  if (count > kMaxThreads) {
    NThreads = 0;
    return false;
  }
  TerminateThdRunAndWait = false;
  try {
    for (uint32_t i = 0; i < count; ++i) {
      Threads.push_back(std::make_unique<TWorker>());
      Threads.back()->Thd = std::thread(&TWrkThdPool::WorkerLoop, this, i);
    }
  } catch (const std::system_error&) {
    // Undo everything: a pool either has all its workers or none.
    g.unlock();
    TerminateThreads();
    FreeThreads();
    WrkThdOSError = true;
    return false;
  }
  NThreads = count;
  return true;
}

uint32_t TWrkThdPool::GetNIdleThreads() const {
  std::lock_guard<std::mutex> g(FLock);
  uint32_t n = 0;
  for (const auto& w : Threads) n += !w->Executing;
  return n;
}

bool TWrkThdPool::CheckThdIdle(uint32_t worker) const {
  std::lock_guard<std::mutex> g(FLock);
  return worker < Threads.size() && !Threads[worker]->Executing;
}

void TWrkThdPool::AssignTasks(const std::vector<TWrkTsk*>& tasks) { AppendTasks(tasks); }

void TWrkThdPool::AppendTasks(const std::vector<TWrkTsk*>& tasks) {
  std::lock_guard<std::mutex> g(FLock);
  for (TWrkTsk* t : tasks)
    if (t) Tasks.push_back(t);
  FWorkCv.notify_all();
}

void TWrkThdPool::ClearTasks() {
  std::lock_guard<std::mutex> g(FLock);
  Tasks.clear();
  NextTask = 0;
  TasksDone = 0;
}

namespace {
void RunTask(TWrkTsk& t, uint32_t worker) {
  (void)worker;
  try {
    for (uint64_t rep = 0; rep <= t.Repetitions; ++rep) {
      if (t.Routine)
        AnyFuncFastCall(t.Routine, t.ParamList.Params.data(),
                        static_cast<uint32_t>(t.ParamList.Params.size()), t.ReturnValue);
      else if (t.SimpleProc)
        t.SimpleProc();
      else if (t.AnonymousProc)
        t.AnonymousProc();
      if (t.ErrPtr && *t.ErrPtr) break;
    }
  } catch (...) {
    t.Failure = std::current_exception();
  }
}
}  // namespace

void TWrkThdPool::WorkerLoop(uint32_t index) {
  std::unique_lock<std::mutex> g(FLock);
  for (;;) {
    FWorkCv.wait(
        g, [&] { return TerminateThdRunAndWait || (FDispatching && NextTask < Tasks.size()); });
    if (TerminateThdRunAndWait) return;
    TWrkTsk* t = Tasks[NextTask++];
    TWorker& w = *Threads[index];
    w.Executing = true;
    g.unlock();
    RunTask(*t, index);
    g.lock();
    w.Executing = false;
    ++w.Counter;
    ++TasksDone;
    FDoneCv.notify_all();
  }
}

bool TWrkThdPool::RunAndWait() {
  if (TerminateThdRunAndWait) return false;
  WrkThdOSError = false;
  const TPoolWaitHook hook = GetPoolWaitHook();
  std::unique_lock<std::mutex> g(FLock);
  if (FDispatching) return false;  // the running call will also run what was appended
  if (Threads.empty()) {
    // No workers: run here, in order.
    std::vector<TWrkTsk*> list;
    list.swap(Tasks);
    g.unlock();
    for (TWrkTsk* t : list) RunTask(*t, 0);
    g.lock();
    FDoneTasks = std::move(list);
  } else {
    NextTask = 0;
    TasksDone = 0;
    FDispatching = true;
    FWorkCv.notify_all();
    while (TasksDone < Tasks.size()) {
      if (hook) {
        FDoneCv.wait_for(g, std::chrono::milliseconds(5));
        if (TasksDone >= Tasks.size()) break;
        g.unlock();
        hook();  // may start a nested ParallelExecute: it runs serially
        g.lock();
      } else {
        FDoneCv.wait(g);
      }
    }
    FDispatching = false;
    FDoneTasks.swap(Tasks);
    Tasks.clear();
    NextTask = 0;
    TasksDone = 0;
  }
  std::vector<TWrkTsk*> done;
  done.swap(FDoneTasks);
  g.unlock();
  if (CheckWorkerErrors)
    for (TWrkTsk* t : done)
      if (t->ErrPtr && *t->ErrPtr && t->ErrHandler) t->ErrHandler(t->ErrPtr, 0);
  std::lock_guard<std::mutex> g2(FLock);
  FLastRun = std::move(done);
  return WrkThdOSError;
}

TZelErr TWrkThdPool::FirstTaskFailure() const {
  std::lock_guard<std::mutex> g(FLock);
  for (const TWrkTsk* t : FLastRun)
    if (t->Failure) return FailureText(t->Failure);
  return {};
}

TZelErr TWrkThdPool::ParallelExecute(const std::vector<TAnyRoutine>& routines,
                                     const std::vector<TArgList>& argLists,
                                     const std::vector<uint32_t>& counts) {
  std::vector<TStdFuncResult> ignored;
  return ParallelExecuteEx(routines, argLists, counts, ignored);
}

TZelErr TWrkThdPool::ParallelExecuteEx(const std::vector<TAnyRoutine>& routines,
                                       const std::vector<TArgList>& argLists,
                                       const std::vector<uint32_t>& counts,
                                       std::vector<TStdFuncResult>& results) {
  results.clear();
  if (!ListsMatch(routines, argLists, counts)) return {};
  std::vector<TWrkTsk> tasks(routines.size());
  for (size_t i = 0; i < routines.size(); ++i) {
    const uint32_t n =
        counts[i] < argLists[i].size() ? counts[i] : static_cast<uint32_t>(argLists[i].size());
    tasks[i] = MakeTask(routines[i], MakeParams(argLists[i].data(), n));
  }
  // A second caller while a run is on (events pumped by the wait hook, a task, another
  // thread) gets a serial run of its own instead of sharing the pool's state.
  const bool serial = TerminateThdRunAndWait || FRunning.exchange(true);
  TZelErr err = RunTasks(tasks, serial);
  if (!serial) FRunning = false;
  results.reserve(tasks.size());
  for (auto& t : tasks) results.push_back(t.ReturnValue);
  return err;
}

TZelErr TWrkThdPool::RunTasks(std::vector<TWrkTsk>& tasks, bool serial) {
  if (!serial && NThreads == 0 && !CreateThreads(~uint32_t(0))) serial = true;
  if (serial) {
    for (auto& t : tasks) RunTask(t, 0);
  } else {
    AssignTasks(AWrkTsk2APWrkTsk(tasks));
    // False only when the pool is stopping or a call is already dispatching (that call runs
    // the tasks appended here); the tasks' own failures are read below.
    (void)RunAndWait();
  }
  for (const auto& t : tasks)
    if (t.Failure) return FailureText(t.Failure);
  return {};
}

void TWrkThdPool::InstallParallelise() {
  SpinLoopB(0, 1, &LockParallelise);
  if (!FParallelisePatched) {
    FPrevSelf = Parallelise_SelfPtr;
    FPrevProc = Parallelise;
    FPrevProcEx = ParalleliseEx;
    FPrevNParallel = nParallel;
    Parallelise_SelfPtr = this;
    Parallelise = TP_ParallelExecute;
    ParalleliseEx = TP_ParallelExecuteEx;
    nParallel = &NThreads;
    FParallelisePatched = true;
  }
  SpinReleaseB(0, &LockParallelise);
}

void TWrkThdPool::UninstallParallelise() {
  SpinLoopB(0, 1, &LockParallelise);
  if (FParallelisePatched) {
    Parallelise_SelfPtr = FPrevSelf;
    Parallelise = FPrevProc;
    ParalleliseEx = FPrevProcEx;
    nParallel = FPrevNParallel;
    FParallelisePatched = false;
  }
  SpinReleaseB(0, &LockParallelise);
}

void TWrkThdPool::TerminateThreads() {
  std::lock_guard<std::mutex> g(FLock);
  TerminateThdRunAndWait = true;
  FWorkCv.notify_all();
}

void TWrkThdPool::FreeThreads() {
  std::vector<std::unique_ptr<TWorker>> list;
  {
    std::lock_guard<std::mutex> g(FLock);
    list.swap(Threads);
    NThreads = 0;
  }
  for (auto& w : list)
    if (w->Thd.joinable()) w->Thd.join();
}

TZelErr TP_ParallelExecute(const std::vector<TAnyRoutine>& routines,
                           const std::vector<TArgList>& argLists,
                           const std::vector<uint32_t>& counts) {
  TWrkThdPool* pool = Parallelise_SelfPtr;
  if (!pool) return SerialProcExecute(routines, argLists, counts);
  return pool->ParallelExecute(routines, argLists, counts);
}

TZelErr TP_ParallelExecuteEx(const std::vector<TAnyRoutine>& routines,
                             const std::vector<TArgList>& argLists,
                             const std::vector<uint32_t>& counts,
                             std::vector<TStdFuncResult>& results) {
  TWrkThdPool* pool = Parallelise_SelfPtr;
  if (!pool) return SerialFuncExecute(routines, argLists, counts, results);
  return pool->ParallelExecuteEx(routines, argLists, counts, results);
}

void InitGlobalThreadPool(uint32_t count, bool install) {
  if (GlobalThreadPool) return;
  GlobalThreadPool = new TWrkThdPool(count, install);
}

void RemoveGlobalThreadPool() {
  delete GlobalThreadPool;
  GlobalThreadPool = nullptr;
}
