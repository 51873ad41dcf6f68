// AppLog: the process-wide log (see AppLog.h). Formats each message once,
// appends it under the lock together with its line starts, and echoes it to
// the debug output inside the same lock so that concurrent messages reach
// stderr whole and in the order they reach the text.
#include "core/AppLog.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/DebugOutput.h"

AppLog& AppLog::Get() {
  static AppLog s_log;
  return s_log;
}

AppLog::AppLog() {
  m_filter.Build();
  Clear();
}

void AppLog::Clear() {
  platform::ScopedLock lock(m_lock);
  m_text.clear();
  m_lineOffsets.clear();
  m_lineOffsets.push_back(0);
}

void AppLog::AddLog(const char* fmt, ...) {
  if (!fmt) return;
  platform::ScopedLock lock(m_lock);
  va_list args;
  va_start(args, fmt);
  va_list sizing;
  va_copy(sizing, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, sizing);
  va_end(sizing);
  if (n <= 0) {
    va_end(args);
    return;
  }
  std::vector<char> message(static_cast<size_t>(n) + 1, 0);
  std::vsnprintf(message.data(), message.size(), fmt, args);
  va_end(args);

  const int old = m_text.size();
  m_text.append(message.data(), message.data() + n);
  platform::OutputDebugText(message.data());
  for (int i = old; i < m_text.size(); ++i)
    if (m_text[i] == '\n') m_lineOffsets.push_back(i + 1);
}

std::string AppLog::Text() {
  platform::ScopedLock lock(m_lock);
  return std::string(m_text.begin(), m_text.end());
}

ImVector<int> AppLog::LineOffsets() {
  platform::ScopedLock lock(m_lock);
  return m_lineOffsets;
}
