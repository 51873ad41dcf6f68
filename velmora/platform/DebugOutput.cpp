#include "platform/DebugOutput.h"

#include <cstring>
#include <unistd.h>

namespace platform {

void OutputDebugText(const char* text) {
  if (!text) return;
  size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n <= 0) return;  // stderr closed: the log keeps its own copy
    text += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace platform
