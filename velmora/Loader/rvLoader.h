// The load list and the loading screen.
//
// Before loading starts, the load list ("path;size;" lines in the data pack)
// announces how many bytes the production will read. Every file read then
// ticks rvLoader::Update (from DataPack::ReadFile), which counts the bytes
// and draws one frame of the progress bar into "Default" and presents it.
// The application switches the screen off by clearing the loading window
// once the sequence is loaded.
//
// The parsing is plain C++ (ParseLoadList); the drawing is the connected
// frame drawer's (render/LoadingBar).
#pragma once
#include <cstddef>
#include <string>

struct GLFWwindow;

// Sum of the byte counts of a load list: the second ";"-separated field of
// every line (lines end at CR or LF). A line with fewer than two ";", a
// field that does not start with a number, or a negative count adds
// nothing; the sum stops at the largest int. A line over 1023 characters
// is skipped whole (it is logged).
int ParseLoadList(const char* text, size_t size);

class rvLoader {
 public:
  static constexpr int kMaxLineLength = 1023;

  // Reads the list through the data pack and switches the loading screen on
  // (the main window). An empty or missing list leaves the screen off and
  // the counters as they were.
  static bool ReadLoadList(const std::string& path);
  // One tick after a file read of `bytes` (0 for a miss): counts it and
  // draws a frame of the bar while the loading screen is on.
  static void Update(int bytes);
  // Adds a read to the loaded bytes, never past the announced total; a
  // negative count adds nothing.
  static void Count(int bytes);
  // Share of the announced bytes read so far, 0..1 (0 when nothing was
  // announced).
  static float Fraction();

  // Draws one frame of the bar filled to `fraction` on `window`. Drawing
  // lives in the render layer above; the shell connects it at start-up.
  using FrameDrawer = void (*)(GLFWwindow* window, float fraction);

  static FrameDrawer s_drawFrame;      // none: ticks count but draw nothing
  static GLFWwindow* s_loadingWindow;  // none: the loading screen is off
  static int s_loaded;                 // bytes counted so far, never above s_expected
  static int s_expected;               // bytes announced by the load list
};
