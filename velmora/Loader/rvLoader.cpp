// The load list and the loading screen.
//
// [SECTION] Load list parsing
// [SECTION] Loading screen
//
// The bar is drawn after every file read, so it never holds GL state across
// a read: each tick binds "Default", draws with the shared fill program and
// presents, like a frame of the main loop.
#include "Loader/rvLoader.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "Loader/DataPack.h"
#include "application/Application.h"
#include "core/AppLog.h"
#include "platform/Profiler.h"
#include "render/RenderTarget.h"
#include "render/rvProgram.h"

GLFWwindow* rvLoader::s_loadingWindow = nullptr;
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

namespace {

// The bar, in fractions of "Default" from its top-left corner: a white
// frame, a black inside, and the white fill over the inside.
struct BarRect {
  float x, y, width, height;
};
constexpr BarRect kBarFrame = {0.25f, 0.49f, 0.5f, 0.02f};
constexpr BarRect kBarInside = {0.251f, 0.491f, 0.498f, 0.018f};
constexpr float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};

void DrawBarRect(const BarRect& rect, const float color[4], float width) {
  SetFillColor(color[0], color[1], color[2], color[3]);
  rvFillColorProgram2D& program = FillColorProgram();
  program.rvProgram2D::DrawRect(RECT_LEFT | RECT_TOP, rect.x, rect.y, width, rect.height);
  program.Unbind();
}

}  // namespace

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

  int width = 0, height = 0;
  glfwGetFramebufferSize(s_loadingWindow, &width, &height);
  FollowClientSize(width, height);
  BeginFrame();
  glDisable(GL_DEPTH_TEST);
  const float fill = kBarInside.width * Fraction();
  DrawBarRect(kBarFrame, kWhite, kBarFrame.width);
  DrawBarRect(kBarInside, kBlack, kBarInside.width);
  DrawBarRect(kBarInside, kWhite, fill);
  PresentFrame(0.0f, false, 0);
  glfwSwapInterval(0);
  glfwSwapBuffers(s_loadingWindow);
}
