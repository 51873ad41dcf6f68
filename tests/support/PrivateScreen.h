// A virtual screen of the test's own (a private Xvfb), so that player-level
// tests choose their picture size and never see each other's windows when
// the suite runs in parallel; screenshots of it and keys sent to it.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

class PrivateScreen {
 public:
  PrivateScreen(int width, int height);
  ~PrivateScreen();
  PrivateScreen(const PrivateScreen&) = delete;
  PrivateScreen& operator=(const PrivateScreen&) = delete;

  bool Ready() const { return !m_display.empty(); }
  const std::string& Display() const { return m_display; }  // ":N"
  int Width() const { return m_width; }
  int Height() const { return m_height; }

  // Presses Escape on whatever window has the keyboard there.
  bool SendEscape() const;

 private:
  int m_width, m_height;
  pid_t m_pid = -1;
  std::string m_display;
};

struct Rgb {
  int r = 0, g = 0, b = 0;
  int Luma() const { return (299 * r + 587 * g + 114 * b) / 1000; }
};

struct Shot {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;  // rows top-down; empty when the grab failed
  int frame = -1;                  // set by callers that read a timecode

  Rgb At(int x, int y) const {
    const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// The whole root window of the screen, read back through ImageMagick.
Shot Grab(const PrivateScreen& screen);
