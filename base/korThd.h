// Worker thread pool: runs lists of independent calls on a fixed set of std::threads and waits
// for them. The waiting thread calls an installable hook while it waits (the GUI pumps its
// events there; headless it is a plain wait). A pool may be installed as the target of the
// Parallelise hooks of korBase.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/korBase.h"
#include "base/korMiniQ.h"

enum TExecuteMode : uint8_t {
  emSimpleProc = 0,
  emSimpleMeth = 1,
  emAnyRoutine = 2,
  emAnonymProc = 3
};

struct TTskParam {
  std::vector<uint64_t> Params;
  uint8_t NRegistersUsed = 0;  // min(number of arguments, 4)
};
void AddParam(TTskParam& params, uint64_t value);
void ClearParams(TTskParam& params);
TTskParam MakeParams(const uint64_t* values, uint32_t count);

// Called with the task's error flag and the worker number when the flag is non-zero after a run.
using TTskErrHandler = std::function<void(uint32_t* errFlag, uint32_t worker)>;

struct TWrkTsk {
  TAnyRoutine Routine;
  std::function<void()> SimpleProc;
  std::function<void()> AnonymousProc;
  TTskParam ParamList;
  uint32_t Repetitions = 0;    // extra runs of the same task
  uint32_t* ErrPtr = nullptr;  // a non-zero flag stops the task's repetitions
  TTskErrHandler ErrHandler;
  TStdFuncResult ReturnValue;
  std::exception_ptr Failure;  // what the task threw, if it did
};
TWrkTsk MakeTask(TAnyRoutine routine, const TTskParam& params, uint32_t repetitions = 0,
                 uint32_t* errPtr = nullptr, TTskErrHandler errHandler = {});
void ClearTaskList(std::vector<TWrkTsk>& tasks);
std::vector<TWrkTsk*> AWrkTsk2APWrkTsk(std::vector<TWrkTsk>& tasks);

// Calls routine with count arguments; nothing for an empty routine or a non-zero count without
// values.
void ProcFastCall(const TAnyRoutine& routine, const uint64_t* values, uint32_t count);
void AnyFuncFastCall(const TAnyRoutine& routine, const uint64_t* values, uint32_t count,
                     TStdFuncResult& result);

// While a pool waits for its workers, the waiting thread calls this hook about every
// few milliseconds (the GUI processes its pending events there). Empty: a plain wait.
using TPoolWaitHook = std::function<void()>;
void SetPoolWaitHook(TPoolWaitHook hook);
TPoolWaitHook GetPoolWaitHook();

uint32_t GetOSnLogProcessors();

class TWrkThdPool {
 public:
  static constexpr uint32_t kMaxThreads = 63;

  explicit TWrkThdPool(bool install = false);
  TWrkThdPool(uint32_t count, bool install);
  ~TWrkThdPool();
  TWrkThdPool(const TWrkThdPool&) = delete;
  TWrkThdPool& operator=(const TWrkThdPool&) = delete;

  // false when workers exist already or the count is 64 or more (nothing created then);
  // all ones means the number of logical processors, at most 63.
  [[nodiscard]] bool CreateThreads(uint32_t count);
  uint32_t NumberOfThreads() const { return NThreads; }
  uint32_t GetNIdleThreads() const;
  bool CheckThdIdle(uint32_t worker) const;

  // Queues the tasks (by address; they must live until RunAndWait returns) without running.
  void AssignTasks(const std::vector<TWrkTsk*>& tasks);
  void AppendTasks(const std::vector<TWrkTsk*>& tasks);
  // Runs every assigned task, in order as workers become free, and waits (calling the wait
  // hook). Returns true when a worker failed at the system level (WrkThdOSError). A task that
  // throws is recorded in its Failure; FirstTaskFailure() reports it.
  [[nodiscard]] bool RunAndWait();
  void ClearTasks();
  [[nodiscard]] TZelErr FirstTaskFailure() const;

  // Runs routines[i] with argLists[i] (first counts[i] values) when the three lists have the
  // same non-zero length. A call made while this pool is already running (e.g. from events
  // pumped by the wait hook, or from another thread) runs serially on the caller instead.
  [[nodiscard]] TZelErr ParallelExecute(const std::vector<TAnyRoutine>& routines,
                                        const std::vector<TArgList>& argLists,
                                        const std::vector<uint32_t>& counts);
  [[nodiscard]] TZelErr ParallelExecuteEx(const std::vector<TAnyRoutine>& routines,
                                          const std::vector<TArgList>& argLists,
                                          const std::vector<uint32_t>& counts,
                                          std::vector<TStdFuncResult>& results);

  void InstallParallelise();
  void UninstallParallelise();
  bool IsInstalled() const { return FParallelisePatched; }

  void TerminateThreads();
  void FreeThreads();

  uint32_t NThreads = 0;
  bool WrkThdOSError = false;
  uint32_t LastOSError = 0;
  bool CheckWorkerErrors = true;
  std::vector<uint32_t> Affinities;

 private:
  struct TWorker;
  void WorkerLoop(uint32_t index);
  [[nodiscard]] TZelErr RunTasks(std::vector<TWrkTsk>& tasks, bool serial);

  std::vector<std::unique_ptr<TWorker>> Threads;
  std::vector<TWrkTsk*> Tasks;
  uint64_t NextTask = 0;
  uint64_t TasksDone = 0;
  bool FDispatching = false;  // workers may take tasks
  std::vector<TWrkTsk*> FDoneTasks, FLastRun;
  std::atomic<bool> TerminateThdRunAndWait{false};
  bool FParallelisePatched = false;
  std::atomic<bool> FRunning{false};
  std::thread::id hOwnThread;
  mutable std::mutex FLock;
  std::condition_variable FWorkCv;
  std::condition_variable FDoneCv;
  // what InstallParallelise replaced
  TWrkThdPool* FPrevSelf = nullptr;
  TParalleliseProc FPrevProc = nullptr;
  TParalleliseExProc FPrevProcEx = nullptr;
  const uint32_t* FPrevNParallel = nullptr;
};

// Forward to the installed pool, or run serially when none is installed.
[[nodiscard]] TZelErr TP_ParallelExecute(const std::vector<TAnyRoutine>& routines,
                                         const std::vector<TArgList>& argLists,
                                         const std::vector<uint32_t>& counts);
[[nodiscard]] TZelErr TP_ParallelExecuteEx(const std::vector<TAnyRoutine>& routines,
                                           const std::vector<TArgList>& argLists,
                                           const std::vector<uint32_t>& counts,
                                           std::vector<TStdFuncResult>& results);

extern TWrkThdPool* GlobalThreadPool;
extern TWrkThdPool* Parallelise_SelfPtr;
extern uint8_t LockParallelise;

// Creates the global pool once (later calls do nothing); count all ones = all logical
// processors (at most 63).
void InitGlobalThreadPool(uint32_t count, bool install);
void RemoveGlobalThreadPool();
