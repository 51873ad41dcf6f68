// Key-frame driver (see DriverKeyFrame.h).
//
// Index
//   [SECTION] Construction and persistence
//   [SECTION] Evaluation
//   [SECTION] Key operations
//   [SECTION] Editor panel
#include "sequence/DriverKeyFrame.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "platform/PerfCounter.h"

const char* const g_KeyInterpolationNames[InterpCount] = {
    "None", "Linear", "Spline", "Smoothstep", "Bounce", "EasyIn", "EasyOut", "EasyInOut"};

namespace {

// Segments shorter than two frames are held steps, not curves.
constexpr float kShortSegment = 0.033333335f;
constexpr float kPi = 3.1415927f;

// Catmull-Rom basis rows; each weight is ((a f + b) f + c) f + d.
const int8_t kCatmullRom[4][4] = {{-1, 2, -1, 0}, {3, -5, 0, 2}, {-3, 4, 1, 0}, {1, -1, 0, 0}};

float Basis(int row, float f) {
  const int8_t* c = kCatmullRom[row];
  return ((static_cast<float>(c[0]) * f + static_cast<float>(c[1])) * f + static_cast<float>(c[2])) * f +
         static_cast<float>(c[3]);
}

uint32_t NewKeyId() { return static_cast<uint32_t>(platform::QueryPerformanceCounter()); }

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Construction and persistence
// ---------------------------------------------------------------------------

KeyFrameDriver::KeyFrameDriver(fxBase* fx, AttributeDesc* attribute)
    : NoneDriver(fx, attribute), _eInterpolation(InterpSpline), _fParams{0.0f, 0.0f} {
  AddInt("_eInterpolation", &_eInterpolation);
  AddMember("_aKeys", PersistVec3List, &_aKeys);
  AddFloat("_fParams", _fParams, 2);
}

void KeyFrameDriver::Load(const Json::Value& obj) {
  NoneDriver::Load(obj);
  // Evaluation and the range tests rely on sorted keys; a hand-edited file
  // may list them in any order.
  SortKeys();
}

// ---------------------------------------------------------------------------
// [SECTION] Evaluation
// ---------------------------------------------------------------------------

float KeyFrameDriver::Evaluate(float t) {
  const float none = std::numeric_limits<float>::infinity();
  const size_t n = _aKeys.size();
  if (n == 0 || std::isnan(t)) return none;
  if (n == 1 || t <= _aKeys[0].time) return _aKeys[0].value;
  if (t >= _aKeys[n - 1].time) return _aKeys[n - 1].value;

  // First key after t: t(i-1) <= t < t(i), 1 <= i <= n-1.
  const size_t i = static_cast<size_t>(
      std::upper_bound(_aKeys.begin(), _aKeys.end(), t,
                       [](float time, const KeyFrame& k) { return time < k.time; }) -
      _aKeys.begin());
  const KeyFrame& k0 = _aKeys[i - 1];
  const KeyFrame& k1 = _aKeys[i];
  const float d = k1.time - k0.time;
  if (_eInterpolation == InterpNone || d < kShortSegment) return k0.value;

  const float f = (t - k0.time) / d;
  const float v0 = k0.value;
  const float dv = k1.value - k0.value;
  const float e = _fParams[0] * 10.0f + 2.0f;  // easing exponent; P0 = 0 gives 2
  const bool easeIn = _eInterpolation == InterpEasyIn || (_eInterpolation == InterpEasyInOut && (i % 2) == 1);
  switch (_eInterpolation) {
    case InterpLinear:
      return v0 + dv * f;
    case InterpSpline: {
      float p0 = i >= 2 ? _aKeys[i - 2].value : _aKeys[0].value;
      float p3 = i <= n - 2 ? _aKeys[i + 1].value : _aKeys[n - 1].value;
      // A held step next to the segment would make the curve overshoot:
      // continue the segment's own slope instead.
      if (i >= 2 && k0.time - _aKeys[i - 2].time < kShortSegment) p0 = k0.value - dv / 2.0f;
      if (i <= n - 2 && _aKeys[i + 1].time - k1.time < kShortSegment) p3 = k1.value + dv / 2.0f;
      return 0.5f * (Basis(0, f) * p0 + Basis(1, f) * k0.value + Basis(2, f) * k1.value + Basis(3, f) * p3);
    }
    case InterpSmoothstep:
      return v0 + dv * (f * f * (3.0f - 2.0f * f));
    case InterpBounce:
      // The bump shrinks by (1 - P1) from one segment to the next.
      return v0 + dv * f +
             std::sin(f * kPi) * _fParams[0] * 10.0f *
                 std::pow(1.0f - _fParams[1], static_cast<float>(i - 1));
    case InterpEasyIn:
    case InterpEasyOut:
    case InterpEasyInOut:
      if (easeIn) return v0 + dv * (1.0f - std::sqrt(1.0f - std::pow(f, e)));
      return v0 + dv * std::sqrt(1.0f - std::pow(1.0f - f, e));
    default:
      return none;
  }
}

bool KeyFrameDriver::HasKeyInRange(float t0, float t1) const {
  const auto it = std::lower_bound(_aKeys.begin(), _aKeys.end(), t0,
                                   [](const KeyFrame& k, float time) { return k.time < time; });
  return it != _aKeys.end() && it->time <= t1;
}

// ---------------------------------------------------------------------------
// [SECTION] Key operations
// ---------------------------------------------------------------------------

int KeyFrameDriver::FindKeyAt(float t) const {
  for (size_t i = 0; i < _aKeys.size(); ++i)
    if (_aKeys[i].time == t) return static_cast<int>(i);
  return -1;
}

void KeyFrameDriver::SortKeys() {
  // Key times are finite in any file the engine wrote; a NaN would break
  // the ordering every search relies on.
  _aKeys.erase(std::remove_if(_aKeys.begin(), _aKeys.end(),
                              [](const KeyFrame& k) { return std::isnan(k.time); }),
               _aKeys.end());
  std::stable_sort(_aKeys.begin(), _aKeys.end(),
                   [](const KeyFrame& a, const KeyFrame& b) { return a.time < b.time; });
}

int KeyFrameDriver::SetKey(float t, float value) {
  if (!std::isfinite(t)) return -1;
  const float ts = SnapToFrame(t);
  const int found = FindKeyAt(ts);
  if (found >= 0) {
    _aKeys[found].value = value;
    return found;
  }
  _aKeys.push_back(KeyFrame{ts, value, NewKeyId()});
  SortKeys();
  return FindKeyAt(ts);
}

int KeyFrameDriver::SetKeyAtCurrentTime() {
  fxBase* fx = GetEffect();
  if (!fx) return -1;
  // An attribute without a single number (a string, a compound) records 0.
  float value = 0.0f;
  ReadAttributeValue(fx, GetAttribute(), value);
  return SetKey(fx->m_localTime, value);
}

void KeyFrameDriver::DeleteKey(int index) {
  if (index < 0 || index >= static_cast<int>(_aKeys.size())) return;
  _aKeys.erase(_aKeys.begin() + index);
}

int KeyFrameDriver::MoveKey(int index, float time, float value) {
  if (index < 0 || index >= static_cast<int>(_aKeys.size()) || !std::isfinite(time)) return -1;
  const float ts = SnapToFrame(time);
  const int other = FindKeyAt(ts);
  if (other >= 0 && other != index) {
    _aKeys.erase(_aKeys.begin() + other);
    // The moved key is followed by position, not by id: keys loaded from a
    // file without ids all share id 0, and the first of them is not
    // necessarily the one being moved.
    if (other < index) --index;
  }
  _aKeys[index].time = ts;
  _aKeys[index].value = value;
  SortKeys();
  return FindKeyAt(ts);
}

// ---------------------------------------------------------------------------
// [SECTION] Editor panel
// ---------------------------------------------------------------------------

void KeyFrameDriver::DrawEditor() {
  if (ImGui::Button("Create Key")) SetKeyAtCurrentTime();
  ImGui::Combo("##Interpo", &_eInterpolation, g_KeyInterpolationNames, InterpCount);

  auto paramRow = [this](const char* name, int p) {
    ImGui::TextUnformatted(name);
    ImGui::SameLine();
    char label[16];
    snprintf(label, sizeof(label), "##param%d", p);
    ImGui::SliderFloat(label, &_fParams[p], 0.0f, 1.0f, "%.3f");
  };
  if (_eInterpolation >= InterpEasyIn && _eInterpolation <= InterpEasyInOut) {
    paramRow("Power", 0);
  } else if (_eInterpolation == InterpBounce) {
    paramRow("Amplitude", 0);
    paramRow("Attenuation", 1);
  }

  float lo = 0.0f, hi = 0.0f;
  const bool ranged = GetAttribute() && GetAttribute()->GetRange(lo, hi);
  // Deletions and time edits change the list, so they wait until the rows
  // are drawn.
  int deleteIndex = -1;
  int movedIndex = -1;
  float movedTime = 0.0f;
  if (ImGui::BeginTable("##keys", 2)) {
    ImGui::TableSetupColumn("TimeFx");
    ImGui::TableSetupColumn("Value");
    ImGui::TableHeadersRow();
    for (size_t i = 0; i < _aKeys.size(); ++i) {
      KeyFrame& key = _aKeys[i];
      ImGui::PushID(key.id != 0 ? static_cast<int>(key.id) : static_cast<int>(i));
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      if (ImGui::SmallButton("\xEE\x85\x8C")) deleteIndex = static_cast<int>(i);  // U+E14C
      if (ImGui::IsItemHovered()) ImGui::SetTooltip("Delete key");
      ImGui::SameLine();
      // A typed time is taken on Enter and goes through MoveKey, so key
      // times stay whole frames and unique; taking every keystroke would
      // delete any key the half-typed number passes over.
      float time = key.time;
      if (ImGui::InputFloat("##time", &time, 0.0f, 0.0f, "%.3f", ImGuiInputTextFlags_EnterReturnsTrue)) {
        movedIndex = static_cast<int>(i);
        movedTime = time;
      }
      ImGui::TableNextColumn();
      if (ranged)
        ImGui::SliderFloat("##float", &key.value, lo, hi, "%.3f");
      else
        ImGui::InputFloat("##float", &key.value, 0.0f, 0.0f, "%.3f");
      ImGui::PopID();
    }
    ImGui::EndTable();
  }
  if (movedIndex >= 0) MoveKey(movedIndex, movedTime, _aKeys[movedIndex].value);
  else DeleteKey(deleteIndex);
}
