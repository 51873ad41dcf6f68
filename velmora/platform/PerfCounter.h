// Performance counter: a monotonic tick count in nanoseconds. Key-frame
// editing uses its low 32 bits as a cheap "new key" identifier.
#pragma once
#include <cstdint>

namespace platform {

uint64_t QueryPerformanceCounter();

}  // namespace platform
