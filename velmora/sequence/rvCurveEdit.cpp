// rvCurveEdit: frames and values of the current item's drivers for the
// curve view. See rvCurveEdit.h.
#include "sequence/rvCurveEdit.h"

#include <algorithm>
#include <cmath>

#include "sequence/fxBase.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"

unsigned int GetDriverCurveColor(int type) {
  static const unsigned int kColors[DriverTypeCount] = {0xFF000000, 0xFF0000FF, 0xFF00FF00, 0xFF00FFFF,
                                                        0xFFFFFF00, 0xFFFF0000, 0xFFFF00FF, 0xFF808080};
  return (type >= 0 && type < DriverTypeCount) ? kColors[type] : 0;
}

namespace {

KeyFrameDriver* AsKeyFrames(NoneDriver* driver) {
  return (driver && driver->GetType() == DriverKeyFrame) ? static_cast<KeyFrameDriver*>(driver) : nullptr;
}

}  // namespace

NoneDriver* rvCurveEdit::Driver(int curveIndex) const {
  if (!m_currentItem || curveIndex < 0 || curveIndex >= static_cast<int>(m_currentItem->m_drivers.size())) return nullptr;
  return m_currentItem->m_drivers[curveIndex];
}

float rvCurveEdit::LocalTimeAt(float frame) const {
  return std::round(frame) / 60.0f - FrameToSeconds(m_currentItem->m_start);
}

int rvCurveEdit::GetCurveCount() { return m_currentItem ? static_cast<int>(m_currentItem->m_drivers.size()) : 0; }

bool rvCurveEdit::IsCurveVisible(int curveIndex) {
  const NoneDriver* driver = Driver(curveIndex);
  return driver && driver->m_bVisible;
}

ImCurveEdit::CurveType rvCurveEdit::GetCurveType(int /*curveIndex*/) const { return ImCurveEdit::CurveSampled; }

int rvCurveEdit::GetPointCount(int curveIndex) {
  const KeyFrameDriver* keys = AsKeyFrames(Driver(curveIndex));
  return keys ? static_cast<int>(keys->_aKeys.size()) : 0;
}

unsigned int rvCurveEdit::GetCurveColor(int curveIndex) {
  const NoneDriver* driver = Driver(curveIndex);
  return driver ? GetDriverCurveColor(driver->GetType()) : 0;
}

ImVec2 rvCurveEdit::GetPoint(int curveIndex, int pointIndex) {
  const KeyFrameDriver* keys = AsKeyFrames(Driver(curveIndex));
  if (!keys || pointIndex < 0 || pointIndex >= static_cast<int>(keys->_aKeys.size())) return ImVec2(0.0f, 0.0f);
  const KeyFrame& key = keys->_aKeys[pointIndex];
  return ImVec2(std::round((FrameToSeconds(m_currentItem->m_start) + key.time) * 60.0f), key.value);
}

float rvCurveEdit::EvaluateCurve(int curveIndex, float x) {
  NoneDriver* driver = Driver(curveIndex);
  if (!driver) return 0.0f;
  return driver->Evaluate(std::trunc(x) / 60.0f - FrameToSeconds(m_currentItem->m_start));
}

float rvCurveEdit::GetFrameMin() { return m_currentItem ? static_cast<float>(m_currentItem->m_start) : 0.0f; }

float rvCurveEdit::GetFrameMax() { return m_currentItem ? static_cast<float>(m_currentItem->m_end) : 0.0f; }

int rvCurveEdit::EditPoint(int curveIndex, int pointIndex, ImVec2 value) {
  KeyFrameDriver* keys = AsKeyFrames(Driver(curveIndex));
  if (!keys) return 0;
  return keys->MoveKey(pointIndex, LocalTimeAt(value.x), value.y);
}

// Through SetKey: a point added on the frame of an existing key sets that
// key's value, so key times stay unique.
void rvCurveEdit::AddPoint(int curveIndex, ImVec2 value) {
  KeyFrameDriver* keys = AsKeyFrames(Driver(curveIndex));
  if (keys) keys->SetKey(LocalTimeAt(value.x), value.y);
}

// Samples without a value (positive infinity) and NaN say nothing about the
// range and are skipped; a zero-length item is sampled once, at 0.
void rvCurveEdit::FitValueRange() {
  if (!m_currentItem) return;
  const float duration = m_currentItem->GetDuration();
  const int n = static_cast<int>(std::min(std::max(std::round(duration * 60.0f), 0.0f), 100.0f));
  float lo = INFINITY, hi = -INFINITY;
  for (int c = 0; c < GetCurveCount(); ++c) {
    NoneDriver* driver = Driver(c);
    if (!driver->m_bVisible) continue;
    for (int j = 0; j <= n; ++j) {
      const float t = n > 0 ? static_cast<float>(j) / n * duration : 0.0f;
      const float v = driver->Evaluate(t);
      if (!std::isfinite(v)) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  if (lo > hi) return;
  if (hi - lo <= 0.0002f) {
    m_min.y = lo - 0.1f;
    m_max.y = lo + 0.1f;
  } else {
    const float margin = (hi - lo) * 0.05f;
    m_min.y = lo - margin;
    m_max.y = hi + margin;
  }
}
