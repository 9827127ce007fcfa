// Task queue and worker pool: order, failures reported, nesting, hook installation.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "base/korMiniQ.h"
#include "base/korThd.h"

namespace {

TEST(MiniQueue, TakeInOrderThenInitValue) {
  TQueueRec q = EmptyThdQueue();
  EXPECT_TRUE(QueueExhausted(q));  // empty
  EXPECT_EQ(GetNextQueueItem(q), ~uint64_t(0));
  AddToQueue(q, {10, 20, 30});
  EXPECT_EQ(q.Q.size(), 16u);
  EXPECT_FALSE(QueueStarted(q));
  EXPECT_FALSE(QueueExhausted(q));
  EXPECT_EQ(GetCurrentQueueItem(q), ~uint64_t(0));
  EXPECT_EQ(GetNextQueueItem(q), 10u);
  EXPECT_TRUE(QueueStarted(q));
  EXPECT_EQ(GetCurrentQueueItem(q), 10u);
  EXPECT_EQ(GetNWaitingQueueItems(q), 2u);
  EXPECT_EQ(GetNextQueueItem(q, 99), 20u);
  EXPECT_EQ(q.Q[1], 99u);
  EXPECT_EQ(GetNextQueueItem(q), 30u);
  EXPECT_TRUE(QueueExhausted(q));
  EXPECT_EQ(GetNextQueueItem(q), ~uint64_t(0));
  EXPECT_EQ(GetNextQueueItem(q), ~uint64_t(0));
  DestroyQueue(q);
  EXPECT_EQ(q.NQueued, 0u);
  TQueueRec t = EmptyTskQueue();
  AddToQueue(t, 1);
  EXPECT_EQ(t.Q.size(), 64u);
  TQueueRec z = EmptyQueue();
  z.GrowBy = 0;
  AddToQueue(z, {1, 2});
  EXPECT_EQ(z.NQueued, 2u);
}

TAnyRoutine Adder(std::atomic<uint64_t>& sum) {
  return [&sum](const uint64_t* a, uint32_t n, TStdFuncResult& r) {
    uint64_t s = 0;
    for (uint32_t i = 0; i < n; ++i) s += a[i];
    sum += s;
    r.I_reAX = s;
  };
}

TEST(WorkerPool, RunsEveryTaskAndReturnsResultsInOrder) {
  TWrkThdPool pool(3, false);
  EXPECT_EQ(pool.NumberOfThreads(), 3u);
  std::atomic<uint64_t> sum{0};
  std::vector<TAnyRoutine> r(50, Adder(sum));
  std::vector<TArgList> args(50);
  std::vector<uint32_t> counts(50, 2);
  for (uint64_t i = 0; i < 50; ++i) args[i] = {i, 1000};
  std::vector<TStdFuncResult> res;
  EXPECT_FALSE(pool.ParallelExecuteEx(r, args, counts, res));
  ASSERT_EQ(res.size(), 50u);
  for (uint64_t i = 0; i < 50; ++i) EXPECT_EQ(res[i].I_reAX, i + 1000);
  EXPECT_EQ(sum.load(), 50 * 1000 + 49 * 50 / 2);
  // Lists of different lengths do nothing.
  counts.pop_back();
  sum = 0;
  EXPECT_FALSE(pool.ParallelExecute(r, args, counts));
  EXPECT_EQ(sum.load(), 0u);
}

TEST(WorkerPool, OneWorkerRunsTasksOneAfterTheOther) {
  TWrkThdPool pool(1, false);
  std::vector<int> order;
  std::vector<TAnyRoutine> r;
  for (int i = 0; i < 3; ++i)
    r.push_back([&order, i](const uint64_t*, uint32_t, TStdFuncResult&) { order.push_back(i); });
  EXPECT_FALSE(pool.ParallelExecute(r, std::vector<TArgList>(3), std::vector<uint32_t>(3, 0)));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(WorkerPool, ThrowingTaskIsReportedNotFatal) {
  TWrkThdPool pool(2, false);
  std::atomic<int> ran{0};
  std::vector<TAnyRoutine> r = {
      [&](const uint64_t*, uint32_t, TStdFuncResult&) { ++ran; },
      [&](const uint64_t*, uint32_t, TStdFuncResult&) {
        throw std::runtime_error("inflate failed");
      },
      [&](const uint64_t*, uint32_t, TStdFuncResult&) { ++ran; },
  };
  const TZelErr e = pool.ParallelExecute(r, std::vector<TArgList>(3), std::vector<uint32_t>(3, 0));
  EXPECT_TRUE(e);
  EXPECT_EQ(e.Details, "inflate failed");
  EXPECT_EQ(ran.load(), 2);
  // The pool still works afterwards.
  ran = 0;
  r.erase(r.begin() + 1);
  EXPECT_FALSE(pool.ParallelExecute(r, std::vector<TArgList>(2), std::vector<uint32_t>(2, 0)));
  EXPECT_EQ(ran.load(), 2);
}

TEST(WorkerPool, NestedCallFromTheWaitHookRunsSerially) {
  TWrkThdPool pool(2, false);
  std::atomic<bool> release{false};
  std::atomic<int> nestedRan{0};
  bool nestedDone = false;
  SetPoolWaitHook([&] {
    if (nestedDone) return;
    nestedDone = true;
    std::vector<TAnyRoutine> inner(
        4, [&](const uint64_t*, uint32_t, TStdFuncResult&) { ++nestedRan; });
    EXPECT_FALSE(
        pool.ParallelExecute(inner, std::vector<TArgList>(4), std::vector<uint32_t>(4, 0)));
    release = true;
  });
  std::vector<TAnyRoutine> outer(2, [&](const uint64_t*, uint32_t, TStdFuncResult&) {
    while (!release) std::this_thread::yield();
  });
  EXPECT_FALSE(pool.ParallelExecute(outer, std::vector<TArgList>(2), std::vector<uint32_t>(2, 0)));
  SetPoolWaitHook({});
  EXPECT_EQ(nestedRan.load(), 4);
}

TEST(WorkerPool, NestedCallFromATaskRunsSerially) {
  TWrkThdPool pool(2, false);
  std::atomic<int> inner{0};
  std::vector<TAnyRoutine> outer(3, [&](const uint64_t*, uint32_t, TStdFuncResult&) {
    std::vector<TAnyRoutine> r(2, [&](const uint64_t*, uint32_t, TStdFuncResult&) { ++inner; });
    EXPECT_FALSE(pool.ParallelExecute(r, std::vector<TArgList>(2), std::vector<uint32_t>(2, 0)));
  });
  EXPECT_FALSE(pool.ParallelExecute(outer, std::vector<TArgList>(3), std::vector<uint32_t>(3, 0)));
  EXPECT_EQ(inner.load(), 6);
}

TEST(WorkerPool, CreateThreadsLimits) {
  TWrkThdPool a;
  EXPECT_FALSE(a.CreateThreads(64));
  EXPECT_EQ(a.NumberOfThreads(), 0u);
  EXPECT_TRUE(a.CreateThreads(2));
  EXPECT_FALSE(a.CreateThreads(2));  // workers exist already
  TWrkThdPool b;
  EXPECT_TRUE(b.CreateThreads(~uint32_t(0)));
  EXPECT_GE(b.NumberOfThreads(), 1u);
  EXPECT_LE(b.NumberOfThreads(), 63u);
}

TEST(WorkerPool, TasksWithRepetitionsAndErrorFlag) {
  TWrkThdPool pool(2, false);
  std::atomic<int> runs{0};
  uint32_t err = 0;
  int handled = 0;
  std::vector<TWrkTsk> tasks;
  tasks.push_back(MakeTask([&](const uint64_t*, uint32_t, TStdFuncResult&) { ++runs; }, {}, 2));
  tasks.push_back(MakeTask(
      [&](const uint64_t*, uint32_t, TStdFuncResult&) {
        ++runs;
        err = 1;
      },
      {}, 5, &err, [&](uint32_t* f, uint32_t) { handled += static_cast<int>(*f); }));
  pool.AssignTasks(AWrkTsk2APWrkTsk(tasks));
  EXPECT_FALSE(pool.RunAndWait());
  EXPECT_EQ(runs.load(), 3 + 1);  // the flag stopped the second task's repetitions
  EXPECT_EQ(handled, 1);
}

TEST(Parallelise, SerialUntilInstalledAndNestedInstallation) {
  std::vector<int> order;
  std::vector<std::function<void()>> procs;
  for (int i = 0; i < 3; ++i) procs.push_back([&order, i] { order.push_back(i); });
  EXPECT_EQ(Parallelise, SerialProcExecute);
  EXPECT_FALSE(ParalleliseProcs(procs));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(*nParallel, 1u);
  {
    TWrkThdPool a(2, true);
    EXPECT_EQ(Parallelise_SelfPtr, &a);
    EXPECT_EQ(*nParallel, 2u);
    {
      TWrkThdPool b(3, true);
      EXPECT_EQ(Parallelise_SelfPtr, &b);
      b.UninstallParallelise();
      EXPECT_EQ(Parallelise_SelfPtr, &a);
    }
    std::atomic<int> n{0};
    std::vector<std::function<void()>> p(10, [&n] { ++n; });
    EXPECT_FALSE(ParalleliseProcs(p));
    EXPECT_EQ(n.load(), 10);
    std::vector<std::function<void()>> bad = {[] { throw 7; }};
    EXPECT_TRUE(ParalleliseProcs(bad));
  }
  EXPECT_EQ(Parallelise_SelfPtr, nullptr);
  EXPECT_EQ(Parallelise, SerialProcExecute);
  EXPECT_EQ(*nParallel, 1u);
}

TEST(Parallelise, GlobalPoolOnceAndRemoved) {
  InitGlobalThreadPool(2, true);
  TWrkThdPool* first = GlobalThreadPool;
  InitGlobalThreadPool(4, true);
  EXPECT_EQ(GlobalThreadPool, first);
  EXPECT_EQ(Parallelise_SelfPtr, first);
  RemoveGlobalThreadPool();
  EXPECT_EQ(GlobalThreadPool, nullptr);
  EXPECT_EQ(Parallelise_SelfPtr, nullptr);
  EXPECT_GE(GetOSnLogProcessors(), 1u);
}

TEST(Parallelise, SerialExecutorsCheckLists) {
  std::atomic<uint64_t> sum{0};
  std::vector<TStdFuncResult> res;
  EXPECT_FALSE(SerialFuncExecute({Adder(sum)}, {{5, 6, 7}}, {2}, res));
  ASSERT_EQ(res.size(), 1u);
  EXPECT_EQ(res[0].I_reAX, 11u);
  EXPECT_FALSE(TP_ParallelExecute({Adder(sum)}, {}, {}));
  EXPECT_EQ(sum.load(), 11u);
}

}  // namespace
