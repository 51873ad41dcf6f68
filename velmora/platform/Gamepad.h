// Gamepads and the clock the camera's pad flight is timed with, behind one
// seam: the player reads GLFW's gamepad API and clock, tests install their
// own source and feed pad states. Button and axis indices follow GLFW's
// gamepad layout; a released trigger reads -1, a pressed one +1.
// Owns nothing; the installed source belongs to whoever installed it.
#pragma once

namespace platform {

enum PadButton : int {
  PadA = 0,
  PadB = 1,
  PadX = 2,
  PadY = 3,
  PadLeftBumper = 4,
  PadRightBumper = 5,
  PadBack = 6,
  PadStart = 7,
  PadGuide = 8,
  PadLeftThumb = 9,
  PadRightThumb = 10,
  PadDpadUp = 11,
  PadDpadRight = 12,
  PadDpadDown = 13,
  PadDpadLeft = 14,
  PadButtonCount = 15
};

enum PadAxis : int {
  PadLeftX = 0,
  PadLeftY = 1,
  PadRightX = 2,
  PadRightY = 3,
  PadLeftTrigger = 4,
  PadRightTrigger = 5,
  PadAxisCount = 6
};

struct PadState {
  unsigned char buttons[PadButtonCount] = {};  // 1 = down
  float axes[PadAxisCount] = {0.0f, 0.0f, 0.0f, 0.0f, -1.0f, -1.0f};

  bool Down(PadButton b) const { return buttons[b] != 0; }
};

class PadSource {
 public:
  static constexpr int kMaxPads = 16;

  virtual ~PadSource() = default;
  // Seconds of the application clock.
  virtual double Now() = 0;
  // The state of joystick `id` when it is present, has a gamepad mapping
  // and its state could be read; false otherwise.
  virtual bool Read(int id, PadState& state) = 0;
};

// The source in use: GLFW's unless a test installed another.
PadSource& GetPadSource();
// Installs `source` (not owned); null goes back to GLFW's.
void SetPadSource(PadSource* source);

}  // namespace platform
