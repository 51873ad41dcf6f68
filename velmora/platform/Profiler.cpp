#include "platform/Profiler.h"

namespace platform {
namespace {
thread_local const char* t_threadName = "";
thread_local ProfileCapture* t_capture = nullptr;
}  // namespace

void SetThreadName(const char* name) { t_threadName = name ? name : ""; }

const char* ThreadName() { return t_threadName; }

void SetProfileCapture(ProfileCapture* capture) { t_capture = capture; }

ProfileCapture* CurrentProfileCapture() { return t_capture; }

}  // namespace platform
