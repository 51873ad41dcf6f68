#include "platform/Profiler.h"

namespace platform {
namespace {
thread_local const char* t_threadName = "";
}

void SetThreadName(const char* name) { t_threadName = name ? name : ""; }

const char* ThreadName() { return t_threadName; }

}  // namespace platform
