// Debug output: where every log line is echoed. Here that is stderr, written
// unbuffered in one call per message so lines from several threads (already
// serialised by the log) arrive whole.
#pragma once

namespace platform {

void OutputDebugText(const char* text);

}  // namespace platform
