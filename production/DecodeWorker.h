// The decode workers: a process-wide pool of eight threads that run the
// screen wall's decode steps.
//
// Each worker owns a job list of entries (singly linked through the entry's
// next-job field) with a count of steps to run on each. The main thread
// appends jobs and wakes the worker; later it waits until every list is
// empty before it reads what the steps wrote. A worker unlinks an entry
// only after its last step, and clears the entry's count in the same locked
// section, so an entry that the main thread sees with no pending steps is
// never still in a list.
//
// Depends on the platform layer's critical sections, events and threads.
// Owns the eight worker records (constructed before main, stopped and
// destroyed at exit) and their threads while the pool runs.
#pragma once
#include <atomic>
#include <memory>

#include "platform/Threading.h"

constexpr int kDecodeWorkerCount = 8;

// A job: an entry with decode steps to run. An entry is in at most one job
// list at a time; it is queued only when its pending count is not positive.
struct DecodeJob {
  virtual ~DecodeJob() = default;
  virtual void DecodeStep() = 0;

  std::atomic<int> pending{0};  // steps queued and not yet unlinked
  DecodeJob* nextJob = nullptr;
};

// A worker's thread record: kept without a thread when the thread could not
// be created, and then the worker runs its jobs inline as they are queued.
struct ThreadHandle {
  platform::Thread thread;
  bool running = false;
};

class DecodeWorker {
 public:
  DecodeWorker();
  ~DecodeWorker();
  DecodeWorker(const DecodeWorker&) = delete;
  DecodeWorker& operator=(const DecodeWorker&) = delete;

  // The queue lock: a flag taken under a critical section, retried with a
  // zero sleep, since it is held only for a few instructions.
  void LockQueue();
  void UnlockQueue();

  // Appends entry with n steps at the tail of the list and wakes the worker
  // when it waits. Nothing for a null entry or n <= 0.
  void QueueFrames(DecodeJob* entry, int n);

  // Starts the thread (when there is none) and ends it with the rest of its
  // list dropped (pending counts set to 0).
  void Start();
  void Stop();

  bool HasThreadRecord() const { return m_thread != nullptr; }
  bool HasRunningThread() const { return m_thread && m_thread->running; }
  bool IsIdle();  // the job list is empty
  bool StopRequested();  // a stop waits for the thread to end

 private:
  static void Run(DecodeWorker* worker);
  void WaitForWork();
  void DropJobs();

  std::unique_ptr<ThreadHandle> m_thread;
  platform::CriticalSection m_queueSection;
  int m_queueFlag = 0;
  platform::Event m_wake{false, false};
  platform::Event m_broadcast{true, false};
  int m_waiters = 0;
  platform::CriticalSection m_waiterSection;
  bool m_exit = false;
  DecodeJob* m_jobs = nullptr;
};

// The pool of eight, addressed 0..7.
DecodeWorker& GetDecodeWorker(int index);

// Starts every worker's thread when worker 0 has none; otherwise nothing.
void StartDecodeWorkers();
// Returns once every job list is empty (yielding between rounds).
void WaitDecodeWorkersIdle();
// Stops and joins every thread; the pool can be started again.
void StopDecodeWorkers();
bool DecodeWorkersRunning();

// Test seam: makes the next thread starts fail, as when the system refuses
// to create a thread.
void SetDecodeThreadStartFailsForTest(bool fails);
