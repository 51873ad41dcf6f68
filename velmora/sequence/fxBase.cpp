// fxBase: class description, construction, the life cycle, the per-frame
// clock, drivers and shapes, and the JSON form of properties and drivers.
//
// [SECTION] Class description and construction
// [SECTION] Life cycle
// [SECTION] Per-frame clock
// [SECTION] Drivers and shapes
// [SECTION] Properties and drivers as JSON
#include "sequence/fxBase.h"

#include <cmath>
#include <cstdint>

#include "core/AppLog.h"
#include "core/ClassDesc.h"
#include "platform/Profiler.h"
#include "render/ShapeNode.h"
#include "render/UniformAnnotations.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"

fxBase* g_pCurrentFx = nullptr;

// roundf already gives a whole number of frames; going through an int would
// change nothing inside the int range and be undefined outside it (a window
// end of INT_MAX from a broken file).
float SnapToFrame(float t) { return roundf(t * 60.0f) / 60.0f; }

// ---------------------------------------------------------------------------
// [SECTION] Class description and construction

ClassDesc* fxBase::GetClassDesc() {
  static ClassDesc desc("fxBase", nullptr, &fxBase::Create);
  return &desc;
}

fxBase* fxBase::Create(ClassDesc* desc) { return CreateZeroFilled<fxBase>(desc); }

ClassDesc* fxBase::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  AttributeDesc* createKey = desc->AddAttribute(AttrButton, "Create Key", RV_OFFSETOF(fxBase, m_onCreateKey));
  createKey->SetTooltip("Create Key at this time\nand for current values\n[K]");
  createKey->m_shortcut = 'K';
  desc->AddAttribute(AttrButton, "ReInit", RV_OFFSETOF(fxBase, m_onReInit))->SetTooltip("ReInit : Force call kill then Init");
  desc->AddAttribute(AttrButton, "ClearDrivers", RV_OFFSETOF(fxBase, m_onClearDrivers))->SetTooltip("Clear all drivers");
  desc->AddAttribute(AttrString, "Name", RV_OFFSETOF(fxBase, m_name));
  desc->AddAttribute(AttrFloat, "TimeScale", RV_OFFSETOF(fxBase, m_timeScale));
  desc->AddAttribute(AttrFrame, "Start", RV_OFFSETOF(fxBase, m_start));
  desc->AddAttribute(AttrFrame, "End", RV_OFFSETOF(fxBase, m_end));
  desc->AddAttribute(AttrFloat, "FadeIn", RV_OFFSETOF(fxBase, m_fadeIn));
  desc->AddAttribute(AttrFloat, "FadeOut", RV_OFFSETOF(fxBase, m_fadeOut));
  return desc;
}

fxBase::fxBase(ClassDesc* desc)
    : m_classDesc(desc),
      m_owner(nullptr),
      m_state(-1),
      m_name(desc ? desc->m_name : std::string()),
      m_start(0),
      m_end(600),
      m_fadeIn(1.0f),
      m_fadeOut(1.0f),
      m_appliedDelta(0.0f),
      m_prevLocalTime(0.0f),
      m_localTime(0.0f),
      m_timeScale(1.0f),
      m_seekTime(-1.0f),
      m_reInit(false),
      m_onCreateKey(&fxBase::OnCreateKey),
      m_onReInit(&fxBase::OnReInit),
      m_onClearDrivers(&fxBase::OnClearDrivers),
      m_enabled(true),
      m_expanded(false),
      m_sequenceDelta(0.0f),
      m_shapeRoot(nullptr) {
  m_state = StateNone;
}

fxBase::~fxBase() {
  ClearDrivers();
  m_state = -1;
  if (m_classDesc && !m_classDesc->IsShared()) delete m_classDesc;
  m_classDesc = nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Life cycle

int fxBase::SetState(int target) {
  target = std::min(std::max(target, static_cast<int>(StateNone)), static_cast<int>(StateRunning));
  while (m_state < target) {
    switch (m_state) {
      case StateNone: Init(); m_state = StateInitialized; break;
      case StateInitialized: Prepare(); m_state = StatePrepared; break;
      case StatePrepared: StartRunning(); break;
      default: return m_state;  // constructing or destroying: not walked
    }
  }
  while (m_state > target) {
    switch (m_state) {
      case StateRunning: Stop(); m_state = StatePrepared; break;
      case StatePrepared: Unprepare(); m_state = StateInitialized; break;
      case StateInitialized: Kill(); m_state = StateNone; break;
      default: return m_state;
    }
  }
  return m_state;
}

void fxBase::StartRunning() {
  // The state comes first so that Start and the drivers see a running effect;
  // the previous local time and a pending seek survive the restart.
  m_state = StateRunning;
  m_localTime = 0.0f;
  m_appliedDelta = 0.0f;
  m_sequenceDelta = 0.0f;
  ApplyDrivers();
  Start();
}

// ---------------------------------------------------------------------------
// [SECTION] Per-frame clock

// The frame difference in 64 bits: a window from INT_MIN to INT_MAX read
// from a file must not overflow.
float fxBase::GetDuration() const { return static_cast<float>(static_cast<int64_t>(m_end) - m_start) / 60.0f; }

bool fxBase::IsInWindow(float sequenceTime) const {
  return FrameToSeconds(m_start) <= sequenceTime && sequenceTime < FrameToSeconds(m_end);
}

void fxBase::ExternalUpdate() {
  PROFILE_BLOCK("fxBase::ExternalUpdate");
  if (m_reInit) {
    const int state = m_state;
    SetState(StateNone);
    SetState(state);
    m_reInit = false;
  }

  // A seek ignores the time scale; a time step is scaled by it.
  float delta;
  if (m_seekTime >= 0.0f) {
    delta = m_seekTime - m_localTime;
    m_sequenceDelta = delta;
  } else {
    delta = m_sequenceDelta * m_timeScale;
  }
  m_appliedDelta = delta;
  m_prevLocalTime = m_localTime;
  // fmax first: a NaN step (a driven NaN time scale) lands on 0, not on NaN.
  m_localTime = std::fmin(std::fmax(m_localTime + delta, 0.0f), GetDuration());
  if (m_seekTime >= 0.0f) Seek(delta, m_localTime, m_seekTime);

  // With a time scale of 0 the clock stands but the drivers still run.
  if (m_sequenceDelta != 0.0f || m_seekTime >= 0.0f) {
    PROFILE_BLOCK("Apply Drivers");
    ApplyDrivers();
  }
  m_seekTime = -1.0f;

  if (m_shapeRoot) m_shapeRoot->Update();

  PROFILE_BLOCK(m_classDesc->m_name.c_str());
  // A nested sequence runs its items inside this Update: the previous value
  // comes back afterwards so that this effect is current again.
  fxBase* const previous = g_pCurrentFx;
  g_pCurrentFx = this;
  Update();
  g_pCurrentFx = previous;
}

float CurrentEffectTime(int timeSource) {
  const fxBase* fx = g_pCurrentFx;
  if (!fx) return 0.0f;
  switch (timeSource) {
    case TimeSourceEffect:
      return fx->m_localTime;
    case TimeSourceSequence:
      return fx->m_owner ? fx->m_owner->m_time : fx->m_localTime;
    case TimeSourceOuterSequence: {
      const rvSequence* seq = fx->m_owner;
      if (seq && seq->m_ownerFx) {
        const fxBase* outer = seq->m_ownerFx;
        return outer->m_owner ? outer->m_owner->m_time : outer->m_localTime;
      }
      return seq ? seq->m_time : fx->m_localTime;
    }
    default:
      return 0.0f;
  }
}

float CurrentEffectFade() { return g_pCurrentFx ? g_pCurrentFx->GetFadeFactor() : 1.0f; }

float fxBase::GetFadeFactor() const {
  const float t = m_localTime;
  // The fade-in test comes first: where both ramps overlap, it wins.
  if (m_fadeIn != 0.0f && m_fadeIn > t) return std::fmax(t / m_fadeIn, 0.0f);
  if (m_fadeOut != 0.0f) {
    const float c = t - (GetDuration() - m_fadeOut);
    if (c > 0.0f) return std::fmax(1.0f - c / m_fadeOut, 0.0f);
  }
  return 1.0f;
}

// ---------------------------------------------------------------------------
// [SECTION] Drivers and shapes

void fxBase::ApplyDrivers() {
  for (NoneDriver* driver : m_drivers) driver->Apply();
}

void fxBase::ClearDrivers() {
  for (NoneDriver* driver : m_drivers) delete driver;
  m_drivers.clear();
}

void fxBase::CreateKeys() {
  for (NoneDriver* driver : m_drivers) {
    if (driver->GetType() == DriverKeyFrame) static_cast<KeyFrameDriver*>(driver)->SetKeyAtCurrentTime();
  }
}

ShapeNode* fxBase::GetShapesAtTime(float t) {
  if (!m_shapeRoot || !(t >= 0.0f)) return m_shapeRoot;
  if (t == m_localTime) return m_shapeRoot;
  // The attributes keep the values evaluated at t until the drivers run again.
  const float saved = m_localTime;
  m_localTime = t;
  ApplyDrivers();
  m_shapeRoot->Update();
  m_localTime = saved;
  return m_shapeRoot;
}

bool fxBase::IsKindOf(const char* className) const {
  for (const ClassDesc* desc = m_classDesc; desc; desc = desc->m_parent) {
    if (desc->m_name == className) return true;
  }
  return false;
}

void fxBase::OnCreateKey(fxBase* fx) { fx->CreateKeys(); }
void fxBase::OnReInit(fxBase* fx) { fx->m_reInit = true; }
void fxBase::OnClearDrivers(fxBase* fx) { fx->ClearDrivers(); }

// ---------------------------------------------------------------------------
// [SECTION] Properties and drivers as JSON

// JsonCpp throws on a conversion it cannot make, so each type is checked
// first; a value of the wrong type is skipped and the attribute keeps its
// value.
bool fxBase::StoreJsonValue(const AttributeDesc* attribute, const Json::Value& value) {
  char* const place = reinterpret_cast<char*>(this) + attribute->m_offset;
  const bool scalar = value.isNull() || value.isBool() || value.isNumeric();
  switch (attribute->m_type) {
    case AttrBool:
      if (!scalar) return false;
      *reinterpret_cast<bool*>(place) = value.asBool();
      return true;
    case AttrInt:
    case AttrFrame:
    case AttrEnum:
      if (!value.isConvertibleTo(Json::intValue)) return false;
      *reinterpret_cast<int*>(place) = value.asInt();
      return true;
    case AttrFloat:
      if (!scalar) return false;
      *reinterpret_cast<float*>(place) = value.asFloat();
      return true;
    case AttrString:
    case AttrFile:
      if (!scalar && !value.isString()) return false;
      *reinterpret_cast<std::string*>(place) = value.asString();
      return true;
    default:
      return true;  // nothing is stored, yet the attribute counts as loaded
  }
}

void fxBase::LoadAttributes(const Json::Value& properties) {
  if (!properties.isObject()) return;
  // JsonCpp visits members by key, not in file order; OnAttributeLoaded hooks
  // rely on that order.
  for (auto it = properties.begin(); it != properties.end(); ++it) {
    std::string name = it.name();
    RenameAttribute(name);
    AttributeDesc* attribute = m_classDesc->FindAttribute(name);
    if (!attribute) continue;
    if (!StoreJsonValue(attribute, *it)) {
      AppLog::Get().AddLog("[fxBase] %s: \"%s\" has a value of the wrong type, skipped\n", m_name.c_str(),
                           name.c_str());
      continue;
    }
    OnAttributeLoaded(attribute);
  }
}

void fxBase::LoadDrivers(const Json::Value& properties) {
  ClearDrivers();
  const Json::Value& entries = properties.isObject() ? properties["_apAttribDrivers"] : Json::Value::nullSingleton();
  if (entries.isArray()) {
    for (const Json::Value& entry : entries) {
      if (!entry.isObject()) continue;
      const Json::Value& attribName = entry["_attribName"];
      const Json::Value& type = entry["_eType"];
      if (!attribName.isString() || !type.isConvertibleTo(Json::intValue)) continue;
      std::string name = attribName.asString();
      RenameAttribute(name);
      AttributeDesc* attribute = m_classDesc->FindAttribute(name);
      if (!attribute) continue;
      NoneDriver* driver = CreateDriver(this, static_cast<uint8_t>(type.asInt() & 0xFF), attribute);
      if (!driver) continue;
      driver->Load(entry);
      m_drivers.push_back(driver);
    }
  }
  // A running effect picks its new drivers up by walking down and up again.
  if (m_state > StateNone) m_reInit = true;
}

namespace {

// JsonCpp throws when a member is set on, or appended to, a value of another
// type; such a target is left as it is.
bool IsJsonObjectTarget(const Json::Value& object) { return object.isNull() || object.isObject(); }

}  // namespace

void fxBase::SaveAttribute(Json::Value& object, const AttributeDesc* attribute) const {
  if (!IsJsonObjectTarget(object)) return;
  if (!attribute->m_children.empty()) {
    for (const AttributeDesc* child : attribute->m_children) SaveAttribute(object, child);
    return;
  }
  // A leaf whose driver has keys gets its value from the driver.
  for (const NoneDriver* driver : m_drivers) {
    if (driver->GetAttribute() == attribute) {
      if (driver->HasKeys()) return;
      break;
    }
  }
  const char* const place = reinterpret_cast<const char*>(this) + attribute->m_offset;
  switch (attribute->m_type) {
    case AttrBool: object[attribute->m_name] = *reinterpret_cast<const bool*>(place); break;
    case AttrInt:
    case AttrFrame:
    case AttrEnum: object[attribute->m_name] = *reinterpret_cast<const int*>(place); break;
    case AttrFloat: object[attribute->m_name] = static_cast<double>(*reinterpret_cast<const float*>(place)); break;
    case AttrString:
    case AttrFile: object[attribute->m_name] = *reinterpret_cast<const std::string*>(place); break;
    default: break;  // no JSON form
  }
}

void fxBase::SaveDrivers(Json::Value& object) const {
  if (m_drivers.empty() || !IsJsonObjectTarget(object)) return;
  Json::Value& list = object["_apAttribDrivers"];
  if (!list.isArray()) list = Json::Value(Json::arrayValue);
  for (const NoneDriver* driver : m_drivers) {
    Json::Value entry(Json::objectValue);
    driver->Save(entry);
    list.append(entry);
  }
}
