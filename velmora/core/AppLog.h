// The process-wide text log. Every message goes through AddLog: formatted
// printf-style, appended to the in-memory text with the start of every line
// recorded, and echoed to the debug output (stderr). Any thread may write;
// one lock keeps each message whole.
// Depends on Dear ImGui's containers (no interface context needed) and the
// platform lock and debug output; owns the text and the line starts, which
// grow for the whole run.
#pragma once
#include <imgui.h>

#include <string>

#include "platform/Threading.h"

class AppLog {
 public:
  static AppLog& Get();

  void AddLog(const char* fmt, ...) IM_FMTARGS(2);
  void Clear();

  // Copies for readers that are not the appending thread (tests, a viewer).
  std::string Text();
  ImVector<int> LineOffsets();

 private:
  AppLog();
  AppLog(const AppLog&) = delete;
  AppLog& operator=(const AppLog&) = delete;

  ImGuiTextBuffer m_text;
  ImGuiTextFilter m_filter;
  ImVector<int> m_lineOffsets;
  bool m_autoScroll = true;
  platform::CriticalSection m_lock;
};
