// Procedural drivers: sine, triangle, noise and variable (see
// DriverProcedural.h).
//
// Index
//   [SECTION] SinusDriver
//   [SECTION] TriangleDriver
//   [SECTION] NoiseDriver
//   [SECTION] VariableDriver
#include "sequence/DriverProcedural.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/CRand.h"

namespace {

constexpr float kNoValue = std::numeric_limits<float>::infinity();

// A period of zero (or one so small that t / period leaves the finite
// floats) has no wave to offer: the attribute keeps its value instead of
// turning into NaN.
bool WavePosition(float t, float period, float phase, float& x) {
  x = t / period + phase;
  return period != 0.0f && std::isfinite(x);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] SinusDriver
// ---------------------------------------------------------------------------

SinusDriver::SinusDriver(fxBase* fx, AttributeDesc* attribute)
    : NoneDriver(fx, attribute),
      _Count(1),
      _Period{2.0f, 2.0f, 2.0f, 2.0f},
      _Phase{0.0f, 0.0f, 0.0f, 0.0f},
      _AmplitudeFactor{1.0f, 1.0f, 1.0f, 1.0f} {
  AddInt("_Count", &_Count);
  AddFloat("_Period", _Period, kMaxTerms);
  AddFloat("_Phase", _Phase, kMaxTerms);
  AddFloat("_AmplitudeFactor", _AmplitudeFactor, kMaxTerms);
}

float SinusDriver::Evaluate(float t) {
  // The arrays hold four terms; a count from a file outside 1..4 uses the
  // nearest valid one.
  const int count = std::clamp(_Count, 1, kMaxTerms);
  float s = 0.0f;
  float a = 0.0f;
  for (int k = 0; k < count; ++k) {
    float x;
    if (!WavePosition(t, _Period[k], _Phase[k], x)) return kNoValue;
    s += std::sin(x * 6.2831855f) * _AmplitudeFactor[k];
    a += _AmplitudeFactor[k];
  }
  if (a == 0.0f) return kNoValue;  // no weight: no wave
  return s * (_fMax - _fMin) / 2.0f / a + (_fMin + _fMax) / 2.0f;
}

void SinusDriver::RandomizeTerms() {
  for (int k = 0; k < kMaxTerms; ++k) {
    _Period[k] = static_cast<float>(platform::CRand()) * 8.0f / 32768.0f + 1.0f;
    _Phase[k] = static_cast<float>(platform::CRand()) / 32768.0f;
    _AmplitudeFactor[k] = static_cast<float>(platform::CRand()) * 0.9f / 32768.0f + 0.1f;
  }
}

void SinusDriver::DrawEditor() {
  ImGui::SliderInt("Count", &_Count, 1, kMaxTerms, "%d");
  ImGui::Separator();
  DrawRangeSliders();
  const int count = std::clamp(_Count, 1, kMaxTerms);
  for (int k = 0; k < count; ++k) {
    ImGui::Separator();
    char label[16];
    snprintf(label, sizeof(label), "Period%d", k + 1);
    ImGui::SliderFloat(label, &_Period[k], 0.01f, 10.0f, "%.2f", ImGuiSliderFlags_Logarithmic);
    snprintf(label, sizeof(label), "Phase%d", k + 1);
    ImGui::SliderFloat(label, &_Phase[k], 0.0f, 1.0f, "%.3f");
    if (_Count > 1) {
      snprintf(label, sizeof(label), "Amplitude%d", k + 1);
      ImGui::SliderFloat(label, &_AmplitudeFactor[k], 0.01f, 1.0f, "%.3f");
    }
  }
  ImGui::Separator();
  if (ImGui::Button("Random Values")) RandomizeTerms();
}

// ---------------------------------------------------------------------------
// [SECTION] TriangleDriver
// ---------------------------------------------------------------------------

TriangleDriver::TriangleDriver(fxBase* fx, AttributeDesc* attribute)
    : NoneDriver(fx, attribute), _fSymmetry(0.5f) {
  AddFloat("_fSymmetry", &_fSymmetry);
}

float TriangleDriver::Evaluate(float t) {
  float x;
  if (!WavePosition(t, _fPeriod, _fPhase, x)) return kNoValue;
  const float u = x - std::floor(x);
  const float s = _fSymmetry;
  // s = 0 never takes the rising branch and s = 1 never the falling one, so
  // neither divides by zero.
  const float w = s > u ? 2.0f * u / s - 1.0f : 1.0f - 2.0f * (u - s) / (1.0f - s);
  return MapWave(w);
}

void TriangleDriver::DrawEditor() {
  DrawRangeSliders();
  ImGui::SliderFloat("Period", &_fPeriod, 0.01f, 10.0f, "%.2f", ImGuiSliderFlags_Logarithmic);
  ImGui::SliderFloat("Phase", &_fPhase, 0.0f, 1.0f, "%.3f");
  ImGui::SliderFloat("Symmetry", &_fSymmetry, 0.0f, 1.0f, "%.3f");
}

// ---------------------------------------------------------------------------
// [SECTION] NoiseDriver
// ---------------------------------------------------------------------------

namespace {

// The permutation of Perlin's improved noise, indexed with the low 8 bits of
// the lattice index.
const uint8_t kPermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225,
    140, 36,  103, 30,  69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148,
    247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203, 117, 35,  11,  32,
    57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175,
    74,  165, 71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122,
    60,  211, 133, 230, 220, 105, 92,  41,  55,  46,  245, 40,  244, 102, 143, 54,
    65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,  18,  169,
    200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,
    52,  217, 226, 250, 124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212,
    207, 206, 59,  227, 47,  16,  58,  17,  182, 189, 28,  42,  223, 183, 170, 213,
    119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104,
    218, 246, 97,  228, 251, 34,  242, 193, 238, 210, 144, 12,  191, 179, 162, 241,
    81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,  181, 199, 106, 157,
    184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,
    222, 114, 67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

// Gradient of a hash: 1..8, negated when bit 3 is set.
float Gradient(uint8_t h) {
  const float g = static_cast<float>((h & 7) + 1);
  return (h & 8) ? -g : g;
}

// One octave of 1D gradient noise at x (finite).
float NoiseOctave(float x) {
  const float cell = std::floor(x);
  const float f = x - cell;
  // Low 8 bits of the lattice index. From 2^32 on every float is a multiple
  // of 512, so its low bits are 0; below, the conversion is exact (and two's
  // complement gives a negative index its low bits).
  const int low = std::fabs(cell) < 4294967296.0f ? static_cast<int>(static_cast<long long>(cell) & 255) : 0;
  const uint8_t h0 = kPermutation[low & 255];
  const uint8_t h1 = kPermutation[(low + 1) & 255];
  const float q0 = 1.0f - f * f;
  const float g = f - 1.0f;
  const float q1 = 1.0f - g * g;
  const float term0 = Gradient(h0) * f * (q0 * q0 * q0 * q0);
  const float term1 = Gradient(h1) * g * (q1 * q1 * q1 * q1);
  return term0 + term1;
}

}  // namespace

NoiseDriver::NoiseDriver(fxBase* fx, AttributeDesc* attribute)
    : NoneDriver(fx, attribute), _nOctaves(4), _fPersistence(0.5f) {
  AddInt("_nOctaves", &_nOctaves);
  AddFloat("_fPersistence", &_fPersistence);
}

float NoiseDriver::Evaluate(float t) {
  float x;
  if (!WavePosition(t, _fPeriod, _fPhase, x)) return kNoValue;
  // A count from a file outside 0..8 uses the nearest valid one: a negative
  // count would sum nothing, a huge one would only add inaudible detail.
  const int octaves = std::clamp(_nOctaves, 0, kMaxOctaves);
  float amplitude = 1.0f;
  float sum = 0.0f;
  for (int o = 0; o <= octaves && std::isfinite(x); ++o) {
    sum += NoiseOctave(x) * 0.45f * amplitude;
    x = 2.0f * x;
    amplitude = amplitude * _fPersistence;
  }
  return MapWave(sum);
}

void NoiseDriver::DrawEditor() {
  DrawRangeSliders();
  ImGui::SliderFloat("Period", &_fPeriod, 0.01f, 10.0f, "%.2f", ImGuiSliderFlags_Logarithmic);
  ImGui::SliderFloat("Offset", &_fPhase, 0.0f, 10.0f, "%.3f");
  ImGui::SliderInt("Octaves", &_nOctaves, 0, kMaxOctaves, "%d");
  ImGui::SliderFloat("Persistence", &_fPersistence, 0.0f, 1.0f, "%.3f");
}

// ---------------------------------------------------------------------------
// [SECTION] VariableDriver
// ---------------------------------------------------------------------------

std::vector<std::pair<std::string, float>>& GetDriverVariables() {
  static std::vector<std::pair<std::string, float>> variables;
  return variables;
}

VariableDriver::VariableDriver(fxBase* fx, AttributeDesc* attribute) : NoneDriver(fx, attribute) {
  AddString("_sVarName", &_sVarName);
}

float VariableDriver::Evaluate(float /*t*/) {
  for (const auto& entry : GetDriverVariables())
    if (entry.first == _sVarName) return entry.second;
  return kNoValue;
}

void VariableDriver::DrawEditor() {
  ImGui::SetNextItemWidth(-FLT_MIN);
  ImGui::InputText("##string", &_sVarName);
}
