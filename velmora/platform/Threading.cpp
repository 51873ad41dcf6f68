#include "platform/Threading.h"

#include <chrono>
#include <condition_variable>
#include <system_error>

namespace platform {
namespace {

std::mutex& EventMutex() {
  static std::mutex s_mutex;
  return s_mutex;
}

std::condition_variable& EventCondition() {
  static std::condition_variable s_cv;
  return s_cv;
}

// Waits on the shared condition until ready() holds or the time-out passes;
// ready() runs under the shared lock.
template <typename Ready>
bool WaitShared(std::unique_lock<std::mutex>& lock, uint32_t timeoutMs, Ready ready) {
  if (timeoutMs == kInfinite) {
    EventCondition().wait(lock, ready);
    return true;
  }
  return EventCondition().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

}  // namespace

Event::Event(bool manualReset, bool initialState)
    : m_manualReset(manualReset), m_signalled(initialState) {}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(EventMutex());
    m_signalled = true;
  }
  EventCondition().notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(EventMutex());
  m_signalled = false;
}

bool Event::Wait(uint32_t timeoutMs) {
  Event* self = this;
  return WaitForEvents(&self, 1, false, timeoutMs) == 0;
}

int WaitForEvents(Event* const* events, int count, bool waitAll, uint32_t timeoutMs) {
  if (!events || count <= 0) return kWaitTimeout;
  std::unique_lock<std::mutex> lock(EventMutex());
  int released = kWaitTimeout;
  auto ready = [&]() {
    if (waitAll) {
      for (int i = 0; i < count; ++i)
        if (!events[i]->m_signalled) return false;
      released = 0;
      return true;
    }
    for (int i = 0; i < count; ++i) {
      if (events[i]->m_signalled) {
        released = i;
        return true;
      }
    }
    return false;
  };
  if (!WaitShared(lock, timeoutMs, ready)) return kWaitTimeout;
  // Consume the signal of auto-reset events, as the wait that saw them did.
  if (waitAll) {
    for (int i = 0; i < count; ++i)
      if (!events[i]->m_manualReset) events[i]->m_signalled = false;
  } else if (!events[released]->m_manualReset) {
    events[released]->m_signalled = false;
  }
  return released;
}

// A sleep of 0 gives up the rest of the time slice, as the decode workers'
// spin lock and idle wait rely on; the standard library's sleep of 0 returns
// at once, so those loops would spin on a busy processor instead.
void SleepMs(uint32_t ms) {
  if (ms == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
  if (m_thread.joinable() || !body) return false;
  // The thread library reports a thread it cannot create by throwing;
  // callers get a result instead.
  try {
    m_thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Thread::Join() {
  if (m_thread.joinable()) m_thread.join();
}

}  // namespace platform
