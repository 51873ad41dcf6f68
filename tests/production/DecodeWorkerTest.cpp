// The decode worker pool: order of jobs, waking, idle wait, stop and
// restart, and jobs run inline when no thread can be made.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "production/DecodeWorker.h"

namespace {

// Appends (id, step) to a shared log at every step.
class RecordingJob : public DecodeJob {
 public:
  RecordingJob(int id, std::vector<int>* log, std::mutex* lock) : m_id(id), m_log(log), m_lock(lock) {}
  void DecodeStep() override {
    std::lock_guard<std::mutex> hold(*m_lock);
    m_log->push_back(m_id);
    thread = std::this_thread::get_id();
    ++steps;
  }
  std::atomic<int> steps{0};
  std::thread::id thread;

 private:
  int m_id;
  std::vector<int>* m_log;
  std::mutex* m_lock;
};

// A job whose first step holds until the test opens the gate.
class GatedJob : public DecodeJob {
 public:
  void DecodeStep() override {
    started = true;
    while (!open) std::this_thread::yield();
    ++steps;
  }
  std::atomic<bool> started{false};
  std::atomic<bool> open{false};
  std::atomic<int> steps{0};
};

struct PoolGuard {
  ~PoolGuard() {
    StopDecodeWorkers();
    SetDecodeThreadStartFailsForTest(false);
  }
};

// Bounded spin so that a broken pool fails the test instead of hanging it.
template <typename Pred>
bool SpinUntil(Pred pred) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

TEST(DecodeWorkers, JobsRunInQueueOrderWithTheirStepCounts) {
  PoolGuard guard;
  StartDecodeWorkers();
  std::vector<int> log;
  std::mutex lock;
  RecordingJob a(1, &log, &lock), b(2, &log, &lock), c(3, &log, &lock);
  GatedJob gate;
  // The gate keeps the worker busy so that all three wait in its list.
  GetDecodeWorker(3).QueueFrames(&gate, 1);
  ASSERT_TRUE(SpinUntil([&] { return gate.started.load(); }));
  GetDecodeWorker(3).QueueFrames(&a, 2);
  GetDecodeWorker(3).QueueFrames(&b, 1);
  GetDecodeWorker(3).QueueFrames(&c, 3);
  EXPECT_FALSE(GetDecodeWorker(3).IsIdle());
  gate.open = true;
  WaitDecodeWorkersIdle();
  EXPECT_EQ(log, (std::vector<int>{1, 1, 2, 3, 3, 3}));
  for (DecodeJob* j : {static_cast<DecodeJob*>(&a), static_cast<DecodeJob*>(&b), static_cast<DecodeJob*>(&c)}) {
    EXPECT_EQ(j->pending, 0);
    EXPECT_EQ(j->nextJob, nullptr);
  }
}

TEST(DecodeWorkers, JobsQueuedBeforeTheThreadsStartRunOnceTheyDo) {
  PoolGuard guard;
  std::vector<int> log;
  std::mutex lock;
  RecordingJob jobs[8] = {{0, &log, &lock}, {1, &log, &lock}, {2, &log, &lock}, {3, &log, &lock},
                          {4, &log, &lock}, {5, &log, &lock}, {6, &log, &lock}, {7, &log, &lock}};
  for (int i = 0; i < kDecodeWorkerCount; ++i) GetDecodeWorker(i).QueueFrames(&jobs[i], i + 1);
  EXPECT_FALSE(DecodeWorkersRunning());
  StartDecodeWorkers();
  WaitDecodeWorkersIdle();
  for (int i = 0; i < kDecodeWorkerCount; ++i) {
    EXPECT_EQ(jobs[i].steps, i + 1);
    EXPECT_NE(jobs[i].thread, std::this_thread::get_id()) << "ran on a worker";
  }
}

TEST(DecodeWorkers, NullJobsAndEmptyCountsAreIgnored) {
  PoolGuard guard;
  StartDecodeWorkers();
  std::vector<int> log;
  std::mutex lock;
  RecordingJob job(1, &log, &lock);
  const int counts[] = {0, -1};
  for (int n : counts) {
    GetDecodeWorker(0).QueueFrames(&job, n);
    EXPECT_EQ(job.pending, 0);
    EXPECT_TRUE(GetDecodeWorker(0).IsIdle());
  }
  GetDecodeWorker(0).QueueFrames(nullptr, 3);
  WaitDecodeWorkersIdle();
  EXPECT_EQ(job.steps, 0);
}

TEST(DecodeWorkers, AJobSeenDoneIsNoLongerListedAndCanBeQueuedAtOnce) {
  PoolGuard guard;
  StartDecodeWorkers();
  std::vector<int> log;
  std::mutex lock;
  RecordingJob job(1, &log, &lock);
  // The screen wall requeues a screen as soon as its pending count drops;
  // were the count cleared before the worker unlinks the entry, the entry
  // would be appended behind itself and lost, and this loop would stall.
  for (int round = 0; round < 2000; ++round) {
    DecodeWorker& w = GetDecodeWorker(round % kDecodeWorkerCount);
    w.QueueFrames(&job, 1);
    ASSERT_TRUE(SpinUntil([&] { return job.pending <= 0; })) << "round " << round;
  }
  WaitDecodeWorkersIdle();
  EXPECT_EQ(job.steps, 2000);
}

TEST(DecodeWorkers, IdleWaitReturnsOnlyAfterEveryHeadIsUnlinked) {
  PoolGuard guard;
  StartDecodeWorkers();
  std::vector<int> log;
  std::mutex lock;
  std::vector<std::unique_ptr<RecordingJob>> jobs;
  for (int round = 0; round < 200; ++round) {
    jobs.clear();
    for (int i = 0; i < kDecodeWorkerCount; ++i) {
      jobs.push_back(std::make_unique<RecordingJob>(i, &log, &lock));
      GetDecodeWorker(i).QueueFrames(jobs.back().get(), 2);
    }
    WaitDecodeWorkersIdle();
    for (auto& j : jobs) {
      ASSERT_EQ(j->steps, 2);
      ASSERT_EQ(j->pending, 0);
      ASSERT_EQ(j->nextJob, nullptr);
    }
  }
}

TEST(DecodeWorkers, StopWhileWaitingEndsEveryThreadAndTheyStartAgain) {
  PoolGuard guard;
  StartDecodeWorkers();
  EXPECT_TRUE(DecodeWorkersRunning());
  for (int i = 0; i < kDecodeWorkerCount; ++i) EXPECT_TRUE(GetDecodeWorker(i).HasRunningThread());
  StopDecodeWorkers();
  EXPECT_FALSE(DecodeWorkersRunning());
  for (int i = 0; i < kDecodeWorkerCount; ++i) EXPECT_FALSE(GetDecodeWorker(i).HasThreadRecord());
  StartDecodeWorkers();
  std::vector<int> log;
  std::mutex lock;
  RecordingJob job(5, &log, &lock);
  GetDecodeWorker(7).QueueFrames(&job, 2);
  WaitDecodeWorkersIdle();
  EXPECT_EQ(job.steps, 2);
}

TEST(DecodeWorkers, StopWhileBusyFinishesTheEntryInHandAndDropsTheRest) {
  PoolGuard guard;
  StartDecodeWorkers();
  GatedJob busy;
  std::vector<int> log;
  std::mutex lock;
  RecordingJob queued(9, &log, &lock);
  GetDecodeWorker(2).QueueFrames(&busy, 3);
  GetDecodeWorker(2).QueueFrames(&queued, 4);
  ASSERT_TRUE(SpinUntil([&] { return busy.started.load(); }));
  std::thread stopper([] { StopDecodeWorkers(); });
  ASSERT_TRUE(SpinUntil([] { return GetDecodeWorker(2).StopRequested(); }));
  busy.open = true;
  stopper.join();
  EXPECT_EQ(busy.steps, 3) << "the entry in hand runs out its steps";
  EXPECT_EQ(queued.steps, 0);
  EXPECT_EQ(queued.pending, 0);
  EXPECT_EQ(busy.pending, 0);
  EXPECT_TRUE(GetDecodeWorker(2).IsIdle());
  EXPECT_FALSE(DecodeWorkersRunning());
}

TEST(DecodeWorkers, AWorkerWithoutAThreadRunsItsJobsInline) {
  PoolGuard guard;
  SetDecodeThreadStartFailsForTest(true);
  StartDecodeWorkers();
  EXPECT_TRUE(DecodeWorkersRunning());
  EXPECT_FALSE(GetDecodeWorker(0).HasRunningThread());
  std::vector<int> log;
  std::mutex lock;
  RecordingJob job(1, &log, &lock);
  GetDecodeWorker(0).QueueFrames(&job, 3);
  EXPECT_EQ(job.steps, 3);
  EXPECT_EQ(job.pending, 0);
  EXPECT_EQ(job.thread, std::this_thread::get_id());
  WaitDecodeWorkersIdle();
}
