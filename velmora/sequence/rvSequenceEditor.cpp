// rvSequence: the slots a timeline editor calls (ImSequencer's sequence
// interface): ranges, items and their colours, moving, resizing, adding and
// deleting items, and drawing an item's row with its fade ramps, its driver
// legend and the curve view. Frames are ints at 60 per second. The player
// never calls any of this.
//
// [SECTION] Items and classes
// [SECTION] Editing
// [SECTION] Rows
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "sequence/ClassRegistry.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"

namespace {

// One colour per registry index, modulo the table's size.
const unsigned int kItemColors[24] = {
    0xff90a0d6, 0xff1e3bfe, 0xff322ca1, 0xff7a2ffa, 0xfff71ce6, 0xff7c2f99, 0xffec024f, 0xffcb692d,
    0xffeea600, 0xff9aa208, 0xff6a662a, 0xff57494a, 0xffa47b8e, 0xffffc0b7, 0xff707c82, 0xff1c3b5a,
    0xff0765ae, 0xff30aaf7, 0xff5ceaf4, 0xff00959b, 0xff046256, 0xff3b9611, 0xff13e151, 0xffccfd08};

const unsigned int kRampColor = 0x80ffffff;
const unsigned int kHiddenCurveColor = 0x80ffffff;
const unsigned int kKeyTickColor = 0xaa000000;
const unsigned int kCloseKeyTickColor = 0xff0000ff;
const float kLegendLineHeight = 14.0f;
const float kLegendIndent = 15.0f;
const int kKeyF = 70;

// Frames in 64 bits: an edit of a window read from a broken file must not
// overflow before it is clamped.
int ClampToInt(int64_t v) {
  return static_cast<int>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

const char* DriverTypeName(int type) {
  static const char* const kNames[DriverTypeCount] = {"None",  "KeyFrame",   "Sinus", "Triangle",
                                                      "Noise", "Expression", "",      "Variable"};
  return (type >= 0 && type < DriverTypeCount) ? kNames[type] : "";
}

// x of a time in seconds over a row that spans the item's window.
float TimeToX(const fxBase* fx, const ImRect& rc, float t) {
  const float span = static_cast<float>(static_cast<int64_t>(fx->m_end) - fx->m_start + 1);
  return (std::round(t * 60.0f) - static_cast<float>(fx->m_start)) / span * rc.GetWidth() + rc.Min.x;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Items and classes

fxBase* rvSequence::ItemAt(int index) const {
  return (index >= 0 && index < static_cast<int>(m_items.size())) ? m_items[index] : nullptr;
}

int rvSequence::GetClassCount() const { return static_cast<int>(GetClassRegistry().size()); }

int rvSequence::GetClassIndex(const char* name) const {
  if (!name) return -1;
  for (int i = 0; i < GetClassCount(); ++i) {
    if (std::string(GetClassName(i)) == name) return i;
  }
  return -1;
}

const char* rvSequence::GetClassName(int classIndex) const {
  if (classIndex < 0 || classIndex >= GetClassCount()) return "";
  return GetClassRegistry()[classIndex]->m_name.c_str();
}

const char* rvSequence::GetItemLabel(int index) const {
  const fxBase* fx = ItemAt(index);
  return fx ? fx->m_name.c_str() : "";
}

bool rvSequence::IsItemEnabled(int index) const {
  const fxBase* fx = ItemAt(index);
  return fx && fx->m_enabled;
}

void rvSequence::SetItemEnabled(int index, bool enabled) {
  if (fxBase* fx = ItemAt(index)) fx->m_enabled = enabled;
}

void rvSequence::GetItem(int index, int** start, int** end, int* classIndex, unsigned int* color) {
  fxBase* fx = ItemAt(index);
  if (!fx) return;
  const int registryIndex = fx->m_classDesc->m_registryIndex;
  if (start) *start = &fx->m_start;
  if (end) *end = &fx->m_end;
  if (classIndex) *classIndex = registryIndex;
  // An unregistered class (index -1) takes the first colour.
  if (color) *color = kItemColors[registryIndex >= 0 ? registryIndex % 24 : 0];
}

int rvSequence::GetFirstSelected(const std::vector<int>& indices) const {
  int best = -1;
  for (int index : indices) {
    const fxBase* fx = ItemAt(index);
    if (fx && (best < 0 || fx->m_start < m_items[best]->m_start)) best = index;
  }
  return best;
}

int rvSequence::GetLastSelected(const std::vector<int>& indices) const {
  int best = -1;
  for (int index : indices) {
    const fxBase* fx = ItemAt(index);
    if (fx && (best < 0 || fx->m_end > m_items[best]->m_end)) best = index;
  }
  return best;
}

// ---------------------------------------------------------------------------
// [SECTION] Editing

// The effect joins the sequence before its Init, so that classes that look
// around their sequence while initialising (references, texture slots that
// name a buffer) find it.
int rvSequence::AddItem(int classIndex) {
  if (classIndex < 0 || classIndex >= GetClassCount()) return -1;
  ClassDesc* desc = GetClassRegistry()[classIndex];
  fxBase* fx = desc->m_create ? desc->m_create(desc) : nullptr;
  if (!fx) return -1;
  int index = AppendItem(fx);
  fx->SetState(StateInitialized);
  MoveItemToCurrentTime(index);
  if (!m_selection.empty()) {
    const int highest = *std::max_element(m_selection.begin(), m_selection.end());
    index += MoveItemInList(index, highest + 1 - index, true);
  }
  return index;
}

int rvSequence::DeleteItem(int index) {
  fxBase* fx = ItemAt(index);
  if (!fx) return 0;
  if (m_curveEdit.m_currentItem == fx) m_curveEdit.m_currentItem = nullptr;
  fx->SetState(StateNone);
  delete fx;
  m_items.erase(m_items.begin() + index);
  // The selection names items by index: the deleted one leaves it and the
  // ones after it move up.
  std::vector<int> kept;
  for (int selected : m_selection) {
    if (selected != index) kept.push_back(selected > index ? selected - 1 : selected);
  }
  m_selection.swap(kept);
  UpdateFrameMax();
  if (m_loopEnd == 0) m_loopEnd = m_frameMax;
  return m_frameMax;
}

int rvSequence::MoveItemToCurrentTime(int index) {
  fxBase* fx = ItemAt(index);
  if (!fx) return 0;
  const int start = ClampToInt(static_cast<int64_t>(std::round(static_cast<double>(m_time) * 60.0)));
  const int shift = ClampToInt(static_cast<int64_t>(start) - fx->m_start);
  fx->m_start = start;
  fx->m_end = ClampToInt(static_cast<int64_t>(fx->m_end) + shift);
  return shift;
}

int rvSequence::ShiftItem(int index, int delta) {
  fxBase* fx = ItemAt(index);
  if (!fx) return 0;
  int64_t shift;
  if (delta < 0) {
    shift = std::max<int64_t>(static_cast<int64_t>(fx->m_start) + delta, m_frameMin) - fx->m_start;
  } else {
    shift = std::min<int64_t>(m_frameMax, static_cast<int64_t>(fx->m_end) + delta) - fx->m_end;
  }
  fx->m_start = ClampToInt(fx->m_start + shift);
  fx->m_end = ClampToInt(fx->m_end + shift);
  return ClampToInt(shift);
}

int rvSequence::MoveItemInList(int index, int delta, bool keepSelection) {
  if (!ItemAt(index)) return 0;
  const int last = static_cast<int>(m_items.size()) - 1;
  const int target = ClampToInt(std::min<int64_t>(std::max<int64_t>(static_cast<int64_t>(index) + delta, 0), last));
  const int step = target > index ? 1 : -1;
  for (int at = index; at != target; at += step) {
    const int next = at + step;
    std::swap(m_items[at], m_items[next]);
    if (!keepSelection) continue;
    for (int& selected : m_selection) {
      if (selected == at) selected = next;
      else if (selected == next) selected = at;
    }
  }
  return target - index;
}

int rvSequence::SetItemStart(int index, int delta) {
  fxBase* fx = ItemAt(index);
  if (!fx) return 0;
  int64_t start = static_cast<int64_t>(fx->m_start) + delta;
  if (start < m_frameMin) start = m_frameMin;
  else start = std::min<int64_t>(start, static_cast<int64_t>(fx->m_end) - 1);
  const int change = ClampToInt(start - fx->m_start);
  fx->m_start = ClampToInt(start);
  return change;
}

int rvSequence::SetItemEnd(int index, int delta) {
  fxBase* fx = ItemAt(index);
  if (!fx) return 0;
  int64_t end = static_cast<int64_t>(fx->m_end) + delta;
  if (end < static_cast<int64_t>(fx->m_start) + 1) end = static_cast<int64_t>(fx->m_start) + 1;
  else end = std::min<int64_t>(end, m_frameMax);
  const int change = ClampToInt(end - fx->m_end);
  fx->m_end = ClampToInt(end);
  return change;
}

// ---------------------------------------------------------------------------
// [SECTION] Rows

size_t rvSequence::GetCustomHeight(int index) {
  const fxBase* fx = ItemAt(index);
  if (!fx || !fx->m_expanded) return 0;
  return 100 + 14 * fx->m_drivers.size();
}

void rvSequence::DoubleClick(int index) {
  fxBase* fx = ItemAt(index);
  if (!fx) return;
  if (fx->m_expanded) {
    fx->m_expanded = false;
    return;
  }
  for (fxBase* item : m_items) item->m_expanded = false;
  fx->m_expanded = true;
  m_curveEdit.m_currentItem = fx;
  m_curveEdit.FitValueRange();
}

void DrawFadeRamps(ImDrawList* drawList, const ImRect& rc, const fxBase* fx) {
  const float start = FrameToSeconds(fx->m_start);
  const float end = FrameToSeconds(fx->m_end);
  const float bottom = rc.Max.y - 1.0f;
  const float top = rc.Min.y + 3.0f;
  if (fx->m_fadeIn > 0.0f) {
    const float x0 = TimeToX(fx, rc, start);
    const float x1 = TimeToX(fx, rc, start + fx->m_fadeIn);
    drawList->AddTriangleFilled(ImVec2(x0, bottom), ImVec2(x1, top), ImVec2(x1, bottom), kRampColor);
  }
  if (fx->m_fadeOut > 0.0f) {
    const float x0 = TimeToX(fx, rc, end);
    const float x1 = TimeToX(fx, rc, end - fx->m_fadeOut);
    drawList->AddTriangleFilled(ImVec2(x0, bottom), ImVec2(x1, top), ImVec2(x1, bottom), kRampColor);
  }
}

void rvSequence::DrawDriverLegend(fxBase* fx, ImDrawList* drawList, const ImRect& legendRect) {
  const ImVec2 mouse = ImGui::GetIO().MousePos;
  for (size_t i = 0; i < fx->m_drivers.size(); ++i) {
    NoneDriver* driver = fx->m_drivers[i];
    const ImVec2 at(legendRect.Min.x + kLegendIndent, legendRect.Min.y + kLegendLineHeight * static_cast<float>(i));
    const ImRect line(at, ImVec2(legendRect.Max.x, at.y + kLegendLineHeight));
    if (ImGui::IsMouseClicked(ImGuiMouseButton_Left) && line.Contains(mouse)) driver->m_bVisible = !driver->m_bVisible;
    const std::string text = std::string(DriverTypeName(driver->GetType())) + " " + driver->_attribName;
    const unsigned int color = driver->m_bVisible ? GetDriverCurveColor(driver->GetType()) : kHiddenCurveColor;
    drawList->AddText(at, color, text.c_str());
  }
}

void rvSequence::CustomDraw(int index, ImDrawList* drawList, const ImRect& rc, const ImRect& legendRect,
                            const ImRect& clippingRect, const ImRect& legendClippingRect) {
  fxBase* fx = ItemAt(index);
  if (!fx || !drawList) return;
  DrawFadeRamps(drawList, rc, fx);

  drawList->PushClipRect(legendClippingRect.Min, legendClippingRect.Max, true);
  DrawDriverLegend(fx, drawList, legendRect);
  drawList->PopClipRect();

  m_curveEdit.m_currentItem = fx;
  m_curveEdit.m_min.x = static_cast<float>(m_frameMin);
  m_curveEdit.m_max.x = static_cast<float>(m_frameMax);
  ImGui::SetCursorScreenPos(rc.Min);
  ImCurveEdit::DrawCurveEditor(m_curveEdit, rc.GetSize(), 137 + index, &clippingRect);
  if (m_focus && ImGui::IsKeyPressed(kKeyF)) m_curveEdit.FitValueRange();
}

void rvSequence::CustomDrawCompact(int index, ImDrawList* drawList, const ImRect& rc, const ImRect& clippingRect) {
  fxBase* fx = ItemAt(index);
  if (!fx || !drawList) return;
  // A zero-length sequence has no place for a tick.
  const float span = static_cast<float>(static_cast<int64_t>(m_frameMax) - m_frameMin);
  if (span > 0.0f) {
    for (const NoneDriver* driver : fx->m_drivers) {
      if (driver->GetType() != DriverKeyFrame) continue;
      bool drawnBefore = false;
      int64_t previous = 0;
      for (const KeyFrame& key : static_cast<const KeyFrameDriver*>(driver)->_aKeys) {
        const float f = std::round((FrameToSeconds(fx->m_start) + key.time) * 60.0f);
        if (!(f >= static_cast<float>(fx->m_start) && f <= static_cast<float>(fx->m_end))) continue;
        const int64_t frame = static_cast<int64_t>(f);
        const float x = (f - static_cast<float>(m_frameMin)) / span * clippingRect.GetWidth() + clippingRect.Min.x;
        const bool close = drawnBefore && frame - previous < 2;
        drawList->AddLine(ImVec2(x, clippingRect.Min.y + 6.0f), ImVec2(x, clippingRect.Max.y - 4.0f),
                          close ? kCloseKeyTickColor : kKeyTickColor, 3.0f);
        drawnBefore = true;
        previous = frame;
      }
    }
  }
  DrawFadeRamps(drawList, rc, fx);
}
