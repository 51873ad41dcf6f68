// Driver base, factory, icons and the attribute writer (see Driver.h).
#include "sequence/Driver.h"

#include <imgui.h>

#include <cmath>
#include <limits>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "sequence/DriverExpression.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/DriverProcedural.h"

// ---------------------------------------------------------------------------
// Attribute values
// ---------------------------------------------------------------------------

namespace {

// Nearest int, halves away from zero, saturated: a driver value beyond the
// int range (or an infinity) must not reach an undefined conversion.
int RoundToInt(float v) {
  const float r = std::round(v);
  if (r >= 2147483648.0f) return std::numeric_limits<int>::max();
  if (r < -2147483648.0f) return std::numeric_limits<int>::min();
  return static_cast<int>(r);
}

}  // namespace

void WriteAttributeValue(fxBase* fx, const AttributeDesc* attribute, float v) {
  if (!fx || !attribute || v == std::numeric_limits<float>::infinity()) return;
  switch (attribute->m_type) {
    case AttrFloat:
      attribute->Value<float>(fx) = v;  // NaN included: a float can hold it
      break;
    case AttrInt:
    case AttrFrame:
    case AttrEnum:
      // NaN is not a number of frames, an index or a count: keep the value.
      if (!std::isnan(v)) attribute->Value<int>(fx) = RoundToInt(v);
      break;
    case AttrBool:
      if (!std::isnan(v)) attribute->Value<bool>(fx) = std::fabs(v) > 0.5f;
      break;
    default:
      break;  // compound attributes are driven through their leaves
  }
}

bool ReadAttributeValue(fxBase* fx, const AttributeDesc* attribute, float& v) {
  if (!fx || !attribute) return false;
  switch (attribute->m_type) {
    case AttrFloat:
      v = attribute->Value<float>(fx);
      return true;
    case AttrInt:
    case AttrFrame:
    case AttrEnum:
      v = static_cast<float>(attribute->Value<int>(fx));
      return true;
    case AttrBool:
      v = attribute->Value<bool>(fx) ? 1.0f : 0.0f;
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// NoneDriver
// ---------------------------------------------------------------------------

NoneDriver::NoneDriver(fxBase* fx, AttributeDesc* attribute)
    : rvpersist(attribute ? attribute->m_name : std::string()),
      _eType(DriverNone),
      _attribName(attribute ? attribute->m_name : std::string()),
      _fMin(0.0f),
      _fMax(1.0f),
      _fPeriod(2.0f),
      _fPhase(0.0f),
      m_bVisible(true),
      m_type(DriverNone),
      m_pAttribute(attribute),
      m_pFx(fx) {
  AddInt("_eType", &_eType);
  AddString("_attribName", &_attribName);
  AddFloat("_fMin", &_fMin);
  AddFloat("_fMax", &_fMax);
  AddFloat("_fPeriod", &_fPeriod);
  AddFloat("_fPhase", &_fPhase);
}

NoneDriver::~NoneDriver() = default;

void NoneDriver::Load(const Json::Value& obj) {
  rvpersist::Load(obj);
  // The class and the target were fixed when the driver was made; an entry
  // found through a legacy name or with a type of 257 saves as what it is.
  _eType = m_type;
  if (m_pAttribute) _attribName = m_pAttribute->m_name;
}

float NoneDriver::Evaluate(float /*t*/) { return std::numeric_limits<float>::infinity(); }

void NoneDriver::Apply() {
  if (!m_pFx || !m_pAttribute) return;
  WriteAttributeValue(m_pFx, m_pAttribute, Evaluate(m_pFx->m_localTime));
}

float NoneDriver::MapWave(float w) const {
  return w * (_fMax - _fMin) / 2.0f + (_fMin + _fMax) / 2.0f;
}

void NoneDriver::GetSliderRange(float& min, float& max) const {
  if (!m_pAttribute || !m_pAttribute->GetRange(min, max)) {
    min = -100.0f;
    max = 100.0f;
  }
}

void NoneDriver::DrawRangeSliders() {
  float lo, hi;
  GetSliderRange(lo, hi);
  ImGui::SliderFloat("Min", &_fMin, lo, hi, "%.2f", ImGuiSliderFlags_Logarithmic);
  ImGui::SliderFloat("Max", &_fMax, lo, hi, "%.2f", ImGuiSliderFlags_Logarithmic);
}

// ---------------------------------------------------------------------------
// Factory and icons
// ---------------------------------------------------------------------------

NoneDriver* CreateDriver(fxBase* fx, uint8_t type, AttributeDesc* attribute) {
  NoneDriver* driver = nullptr;
  switch (type) {
    case DriverKeyFrame: driver = new KeyFrameDriver(fx, attribute); break;
    case DriverSinus: driver = new SinusDriver(fx, attribute); break;
    case DriverTriangle: driver = new TriangleDriver(fx, attribute); break;
    case DriverNoise: driver = new NoiseDriver(fx, attribute); break;
    case DriverExpression: driver = new ExpressionDriver(fx, attribute); break;
    case DriverVariable: driver = new VariableDriver(fx, attribute); break;
    default: return nullptr;
  }
  driver->m_type = type;
  driver->_eType = type;
  return driver;
}

const char* GetDriverIcon(int type) {
  // Private-use code points of the editor's icon font, as UTF-8.
  static const char* const kIcons[DriverTypeCount] = {
      "\xEE\xA0\xB6",  // U+E836 none
      "\xEF\x84\x92",  // U+F112 key frames
      "\xEF\x85\x9D",  // U+F15D sine
      "\xEF\x85\x9F",  // U+F15F triangle
      "\xEF\x85\x99",  // U+F159 noise
      "\xEE\x89\x8A",  // U+E24A expression
      "\xEF\x85\x85",  // U+F145 (unused code 6)
      "\xEE\x83\x99",  // U+E0D9 variable
  };
  return (type >= 0 && type < DriverTypeCount) ? kIcons[type] : "";
}
