// The decode workers: a process-wide pool of eight threads that run the
// screen wall's decode steps.
//
// [SECTION] Queue lock and jobs
// [SECTION] Worker loop
// [SECTION] Pool
#include "production/DecodeWorker.h"

#include "platform/Profiler.h"

namespace {

std::atomic<bool> g_threadStartFails{false};

// Static records: their destructor stops and joins the threads at exit,
// whatever path the process takes to it.
DecodeWorker g_workers[kDecodeWorkerCount];

}  // namespace

DecodeWorker::DecodeWorker() {
  // Touching an event here makes the events' shared lock outlive the
  // records, whose destructor still sets events at exit.
  m_broadcast.Reset();
}

DecodeWorker::~DecodeWorker() { Stop(); }

//-----------------------------------------------------------------------------
// [SECTION] Queue lock and jobs
//-----------------------------------------------------------------------------

void DecodeWorker::LockQueue() {
  for (;;) {
    m_queueSection.Enter();
    const int old = m_queueFlag;
    m_queueFlag = 1;
    m_queueSection.Leave();
    if (old == 0) return;
    platform::SleepMs(0);
  }
}

void DecodeWorker::UnlockQueue() {
  platform::ScopedLock lock(m_queueSection);
  m_queueFlag = 0;
}

void DecodeWorker::QueueFrames(DecodeJob* entry, int n) {
  if (!entry || n <= 0) return;
  if (m_thread && !m_thread->running) {
    // No thread could be made for this worker: the caller runs the steps.
    entry->pending = n;
    for (int i = 0; i < n; ++i) entry->DecodeStep();
    entry->pending = 0;
    return;
  }
  LockQueue();
  entry->pending = n;
  entry->nextJob = nullptr;
  DecodeJob** tail = &m_jobs;
  while (*tail) tail = &(*tail)->nextJob;
  *tail = entry;
  UnlockQueue();
  int waiters = 0;
  {
    platform::ScopedLock lock(m_waiterSection);
    waiters = m_waiters;
  }
  if (waiters) m_wake.Set();
}

bool DecodeWorker::IsIdle() {
  LockQueue();
  const bool idle = m_jobs == nullptr;
  UnlockQueue();
  return idle;
}

bool DecodeWorker::StopRequested() {
  LockQueue();
  const bool exit = m_exit;
  UnlockQueue();
  return exit;
}

//-----------------------------------------------------------------------------
// [SECTION] Worker loop
//-----------------------------------------------------------------------------

// Entered with the queue lock held and an empty list; returns without it.
void DecodeWorker::WaitForWork() {
  {
    // Counted as a waiter before the lock goes back, so a job appended from
    // now on always sets the wake event.
    platform::ScopedLock lock(m_waiterSection);
    ++m_waiters;
  }
  UnlockQueue();
  platform::Event* events[2] = {&m_wake, &m_broadcast};
  const int released = platform::WaitForEvents(events, 2, false);
  platform::ScopedLock lock(m_waiterSection);
  --m_waiters;
  if (released == 1 && m_waiters == 0) m_broadcast.Reset();
}

void DecodeWorker::Run(DecodeWorker* w) {
  for (;;) {
    w->LockQueue();
    if (w->m_exit) {
      w->UnlockQueue();
      return;
    }
    if (!w->m_jobs) {
      w->WaitForWork();
      continue;
    }
    DecodeJob* entry = w->m_jobs;
    w->UnlockQueue();
    // The count stays positive until the entry is unlinked, so the main
    // thread cannot queue it again while it still heads this list.
    while (entry->pending > 1) {
      entry->DecodeStep();
      entry->pending -= 1;
    }
    if (entry->pending > 0) entry->DecodeStep();
    w->LockQueue();
    if (w->m_exit) {
      w->UnlockQueue();
      return;
    }
    w->m_jobs = entry->nextJob;
    entry->nextJob = nullptr;
    entry->pending = 0;
    w->UnlockQueue();
  }
}

void DecodeWorker::Start() {
  if (m_thread) return;
  m_thread = std::make_unique<ThreadHandle>();
  if (g_threadStartFails) return;
  m_thread->running = m_thread->thread.Start([this] {
    PROFILE_THREAD("decode worker");
    Run(this);
  });
}

void DecodeWorker::DropJobs() {
  LockQueue();
  for (DecodeJob* j = m_jobs; j;) {
    DecodeJob* next = j->nextJob;
    j->pending = 0;
    j->nextJob = nullptr;
    j = next;
  }
  m_jobs = nullptr;
  UnlockQueue();
}

void DecodeWorker::Stop() {
  if (!m_thread) return;
  if (m_thread->running) {
    LockQueue();
    m_exit = true;
    UnlockQueue();
    m_broadcast.Set();
    m_thread->thread.Join();
  }
  m_thread.reset();
  DropJobs();
  m_broadcast.Reset();
  m_exit = false;
}

//-----------------------------------------------------------------------------
// [SECTION] Pool
//-----------------------------------------------------------------------------

DecodeWorker& GetDecodeWorker(int index) { return g_workers[index]; }

void StartDecodeWorkers() {
  if (g_workers[0].HasThreadRecord()) return;
  for (DecodeWorker& w : g_workers) w.Start();
}

void WaitDecodeWorkersIdle() {
  for (;;) {
    int idle = 0;
    for (DecodeWorker& w : g_workers) idle += w.IsIdle() ? 1 : 0;
    if (idle == kDecodeWorkerCount) return;
    platform::SleepMs(0);
  }
}

void StopDecodeWorkers() {
  for (DecodeWorker& w : g_workers) w.Stop();
}

bool DecodeWorkersRunning() { return g_workers[0].HasThreadRecord(); }

void SetDecodeThreadStartFailsForTest(bool fails) { g_threadStartFails = fails; }
