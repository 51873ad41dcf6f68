// The load list and the loading screen.
//
// [SECTION] Load list parsing
// [SECTION] Loading screen
//
// A frame of the bar is drawn after every file read, by the drawer the shell
// connects (the render layer's DrawLoadingBarFrame).
#include "Loader/rvLoader.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "Loader/DataPack.h"
#include "core/AppLog.h"
#include "platform/Profiler.h"
#include "platform/MainWindow.h"

GLFWwindow* rvLoader::s_loadingWindow = nullptr;
rvLoader::FrameDrawer rvLoader::s_drawFrame = nullptr;
int rvLoader::s_loaded = 0;
int rvLoader::s_expected = 0;

//-----------------------------------------------------------------------------
// [SECTION] Load list parsing
//-----------------------------------------------------------------------------

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// The leading decimal number of [begin, end) read as atoi reads it (blanks,
// optional sign, digits; anything else reads as 0), saturated to the int
// range instead of overflowing.
long long LeadingInteger(const char* begin, const char* end) {
  const char* p = begin;
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  long long value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) value = std::min<long long>(value * 10 + (*p - '0'), INT_MAX);
  return negative ? -value : value;
}

// The byte count of one line: its second ";"-separated field, 0 when the
// line has no such field or the count is negative (a size below 0 would run
// the bar backwards and then past its end).
long long LineByteCount(const char* begin, const char* end) {
  const char* first = std::find(begin, end, ';');
  if (first == end) return 0;
  const char* second = std::find(first + 1, end, ';');
  if (second == end) return 0;
  return std::max(0LL, LeadingInteger(first + 1, second));
}

}  // namespace

int ParseLoadList(const char* text, size_t size) {
  long long expected = 0;
  const char* const end = text + size;
  int lineNumber = 0;
  for (const char* p = text; p < end;) {
    const char* lineEnd = std::find_if(p, end, IsLineEnd);
    if (lineEnd != p) {
      ++lineNumber;
      if (lineEnd - p > rvLoader::kMaxLineLength) {
        AppLog::Get().AddLog("[Loader] load list line %d longer than %d characters skipped\n", lineNumber,
                             rvLoader::kMaxLineLength);
      } else {
        expected = std::min<long long>(expected + LineByteCount(p, lineEnd), INT_MAX);
      }
    }
    p = lineEnd;
    while (p < end && IsLineEnd(*p)) ++p;
  }
  return int(expected);
}

bool rvLoader::ReadLoadList(const std::string& path) {
  std::vector<uint8_t> bytes;
  DataPack::Get().LoadFileToVector(path, bytes);
  if (bytes.empty()) return false;
  s_expected = ParseLoadList(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  s_loaded = 0;
  s_loadingWindow = g_mainWindow;
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] Loading screen
//-----------------------------------------------------------------------------

float rvLoader::Fraction() {
  if (s_expected <= 0) return 0.0f;
  return std::clamp(float(s_loaded) / float(s_expected), 0.0f, 1.0f);
}

void rvLoader::Count(int bytes) {
  if (bytes > 0) s_loaded += std::min(bytes, std::max(0, s_expected - s_loaded));
}

void rvLoader::Update(int bytes) {
  if (!s_loadingWindow) return;
  PROFILE_BLOCK("Loader:Update");
  Count(bytes);
  // Closing the window while loading ends the process at once: nothing is
  // set up far enough to tear down.
  if (glfwWindowShouldClose(s_loadingWindow)) std::exit(-1);
  glfwPollEvents();

  if (s_drawFrame) s_drawFrame(s_loadingWindow, Fraction());
}
