#include "platform/PerfCounter.h"

#include <chrono>

namespace platform {

uint64_t QueryPerformanceCounter() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace platform
