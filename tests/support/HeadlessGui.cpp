#include "support/HeadlessGui.h"

HeadlessGui::HeadlessGui() {
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(kWidth, kHeight);
  io.DeltaTime = 1.0f / 60.0f;
  io.IniFilename = nullptr;
  unsigned char* pixels;
  int w, h;
  io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
}

HeadlessGui::~HeadlessGui() { ImGui::DestroyContext(); }

ImGuiID HeadlessGui::Frame(ImVec2 mouse, bool down, const std::function<void()>& panel) {
  ImGuiIO& io = ImGui::GetIO();
  io.MousePos = mouse;
  io.MouseDown[0] = down;
  io.MouseDown[2] = m_middle;
  io.MouseWheel = m_wheel;
  io.KeyShift = m_shift;
  for (int k = 0; k < 512; ++k) io.KeysDown[k] = k == m_key;
  m_wheel = 0.0f;
  ImGui::NewFrame();
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImVec2(kWidth, kHeight));
  ImGui::Begin("Driver", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
  panel();
  ImGui::End();
  ImGui::Render();
  return GImGui->HoveredId;
}

ImGuiID HeadlessGui::IdOf(const char* label, int pushedId) {
  ImGuiID id = 0;
  Frame(ImVec2(-1, -1), false, [&] {
    if (pushedId >= 0) ImGui::PushID(pushedId);
    id = ImGui::GetID(label);
    if (pushedId >= 0) ImGui::PopID();
  });
  return id;
}

bool HeadlessGui::Find(ImGuiID id, const std::function<void()>& panel, ImVec2& at, bool rightmost) {
  for (float y = 2; y < kHeight; y += 3) {
    for (float x = 4; x < kWidth; x += 24) {
      if (Frame(ImVec2(x, y), false, panel) != id) continue;
      at = ImVec2(x, y);
      if (rightmost)
        for (float r = kWidth - 1; r > x; r -= 1)
          if (Frame(ImVec2(r, y), false, panel) == id) {
            at.x = r;
            break;
          }
      return true;
    }
  }
  return false;
}

void HeadlessGui::Click(ImVec2 at, const std::function<void()>& panel) {
  Frame(at, false, panel);
  Frame(at, true, panel);
  Frame(at, false, panel);
}

void HeadlessGui::Drag(ImVec2 from, ImVec2 to, int steps, const std::function<void()>& panel) {
  Frame(from, false, panel);
  Frame(from, true, panel);
  for (int i = 1; i <= steps; ++i) {
    const float f = static_cast<float>(i) / steps;
    Frame(ImVec2(from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f), true, panel);
  }
  Frame(to, false, panel);
}
