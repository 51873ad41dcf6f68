// A Dear ImGui context for tests, with no window and no GL: the font atlas
// is built, the display has a fixed size, and each Frame draws a panel in
// one full-screen window while the test moves and presses the mouse, turns
// its wheel, holds Shift or a key. Frames are driven through ImGuiIO as a
// backend would drive them.
#pragma once
#include <imgui.h>
#include <imgui_internal.h>

#include <functional>

class HeadlessGui {
 public:
  HeadlessGui();
  ~HeadlessGui();
  HeadlessGui(const HeadlessGui&) = delete;
  HeadlessGui& operator=(const HeadlessGui&) = delete;

  // Draws one frame with the mouse at `mouse` and button 0 down or up;
  // returns the widget the mouse hovered in it. The other inputs below
  // apply to this frame too; the wheel turns for this frame only.
  ImGuiID Frame(ImVec2 mouse, bool down, const std::function<void()>& panel);

  // The id a label gets at the top of the panel's window.
  ImGuiID IdOf(const char* label, int pushedId = -1);

  // Sweeps the mouse over the window until the widget is under it; the
  // rightmost point found on its row when rightmost is set.
  bool Find(ImGuiID id, const std::function<void()>& panel, ImVec2& at, bool rightmost = false);

  // Press and release at a point, as a click.
  void Click(ImVec2 at, const std::function<void()>& panel);
  // Press at `from`, move to `to` in `steps` frames, release there.
  void Drag(ImVec2 from, ImVec2 to, int steps, const std::function<void()>& panel);

  bool m_middle = false;  // button 2 held
  bool m_shift = false;
  int m_key = -1;         // a key code held down, -1 for none
  float m_wheel = 0.0f;   // wheel turn of the next frame

  static constexpr float kWidth = 640;
  static constexpr float kHeight = 480;
};
