// libFuzzer target for the curve view: the input is a key list and a script
// of GUI frames (mouse position, buttons, wheel, Shift, keys deleted or
// added between frames) played against the real delegate and widget in a
// headless Dear ImGui context. Sanitizers catch any index past a key list;
// the checks below catch keys that break the driver's invariants (times
// sorted, unique and on whole frames) or a selection pointing past them.
#include <imgui.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sequence/fxBase.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/ImCurveEdit.h"
#include "render/VectorGeometry.h"
#include "sequence/rvCurveEdit.h"

// The target links the shape tree but no vector display: shapes have
// nowhere to draw (the effect here has none anyway).
VectorGeometry* CurrentVectorGeometry() { return nullptr; }

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() {
    if (!size) return 0;
    --size;
    return *data++;
  }
  float Unit() { return Byte() / 255.0f; }
};

void CheckKeys(const KeyFrameDriver& keys) {
  for (size_t i = 0; i < keys._aKeys.size(); ++i) {
    const float t = keys._aKeys[i].time;
    if (std::round(t * 60.0f) / 60.0f != t) std::abort();
    if (i > 0 && !(keys._aKeys[i - 1].time < t)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(640, 480);
    io.DeltaTime = 1.0f / 60.0f;
    io.IniFilename = nullptr;
    unsigned char* pixels;
    int w, h;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    // Registration appends to the class's list: once per process.
    fxBase::RegisterAttributes();
    return true;
  }();
  (void)ready;
  Reader in{data, size};
  fxBase fx(fxBase::GetClassDesc());
  fx.m_start = in.Byte();
  fx.m_end = fx.m_start + in.Byte();
  auto* keys = static_cast<KeyFrameDriver*>(CreateDriver(&fx, DriverKeyFrame, fx.m_classDesc->FindAttribute("FadeIn")));
  fx.m_drivers.push_back(keys);
  const int keyCount = in.Byte() % 12;
  for (int i = 0; i < keyCount; ++i) keys->SetKey(in.Byte() / 60.0f, in.Unit() * 4.0f);

  rvCurveEdit edit;
  edit.m_currentItem = &fx;
  edit.m_max = ImVec2(static_cast<float>(in.Byte() + 1), 4.0f);
  ImCurveEdit::ResetCurveEditorState();
  std::vector<ImCurveEdit::EditPoint> selected;
  ImGuiIO& io = ImGui::GetIO();
  while (in.size >= 4) {
    io.MousePos = ImVec2(in.Unit() * 620.0f, in.Unit() * 220.0f);
    const uint8_t flags = in.Byte();
    io.MouseDown[0] = flags & 1;
    io.MouseDown[2] = flags & 2;
    io.KeyShift = flags & 4;
    io.MouseWheel = (flags & 8) ? (in.Unit() - 0.5f) * 4.0f : 0.0f;
    if ((flags & 16) && !keys->_aKeys.empty()) keys->DeleteKey(in.Byte() % keys->_aKeys.size());
    if (flags & 32) keys->SetKey(in.Byte() / 60.0f, 1.0f);
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(640, 480));
    ImGui::Begin("fuzz", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
    ImCurveEdit::DrawCurveEditor(edit, ImVec2(600, 200), 1, nullptr, &selected);
    ImGui::End();
    ImGui::Render();
    CheckKeys(*keys);
    for (const ImCurveEdit::EditPoint& p : selected) {
      if (p.curveIndex != 0 || p.pointIndex < 0 || p.pointIndex >= static_cast<int>(keys->_aKeys.size())) std::abort();
    }
  }
  fx.ClearDrivers();
  return 0;
}
