// Locks, events, waits and threads in the shape the engine's worker code
// expects: a re-entrant critical section, auto- or manual-reset events, a
// wait on several events at once (any or all, with a time-out), sleep and
// joinable threads.
//
// Every event shares one process-wide mutex and condition variable: that is
// what lets a single wait watch several events without polling. Waits are
// short and few (decode workers, the music thread), so the shared lock never
// matters for speed.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr int kWaitTimeout = -1;

class CriticalSection {
 public:
  void Enter() { m_mutex.lock(); }
  void Leave() { m_mutex.unlock(); }

 private:
  std::recursive_mutex m_mutex;
};

// Holds a critical section for a scope.
class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
  ~ScopedLock() { m_cs.Leave(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& m_cs;
};

class Event {
 public:
  // An auto-reset event releases one waiter and clears itself; a manual-reset
  // event stays set, releasing every waiter, until Reset.
  explicit Event(bool manualReset = false, bool initialState = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was signalled, false on time-out.
  bool Wait(uint32_t timeoutMs = kInfinite);

 private:
  friend int WaitForEvents(Event* const* events, int count, bool waitAll, uint32_t timeoutMs);
  bool m_manualReset;
  bool m_signalled;
};

// Waits until one (waitAll false) or every (waitAll true) event is set.
// Returns the index of the event that released the wait (0 when waitAll), or
// kWaitTimeout. Auto-reset events that release the wait are cleared.
int WaitForEvents(Event* const* events, int count, bool waitAll, uint32_t timeoutMs = kInfinite);

// Sleeps ms milliseconds; 0 yields the processor to any other ready thread.
void SleepMs(uint32_t ms);

class Thread {
 public:
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool Start(std::function<void()> body);
  void Join();

 private:
  std::thread m_thread;
};

}  // namespace platform
