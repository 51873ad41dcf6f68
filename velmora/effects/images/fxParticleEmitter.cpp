// fxParticleEmitter. See fxParticleEmitter.h.
//
// [SECTION] Random ranges
// [SECTION] Class description and attributes
// [SECTION] Life cycle and restarts
// [SECTION] Simulation
// [SECTION] Emission
// [SECTION] Drawing
// [SECTION] Editor keys
#include "effects/images/fxParticleEmitter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/AppLog.h"
#include "platform/CRand.h"
#include "render/RenderTarget.h"
#include "render/ShapeNode.h"
#include "render/VectorGeometry.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"

//-----------------------------------------------------------------------------
// [SECTION] Random ranges
//-----------------------------------------------------------------------------

float RandomRange(float a, float b) {
  uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(platform::CRand() % 255) << (8 * i);
  return static_cast<float>(n) * 2.3283064e-10f * (b - a) + a;  // 2^-32
}

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

namespace {

constexpr float kRadiansPerDegree = 3.14159265f / 180.0f;
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kFrame = 1.0f / 60.0f;
// Longer than any lifetime the editor offers (5 s): a step cut to it still
// ends every such particle, as the longer step would.
constexpr float kMaxStep = 10.0f;

// The attributes the editor buttons key, in the order they are keyed.
const char* const kEmitterKeys[] = {"Pos.x", "Pos.y", "Pos.z", "Rot.x", "Rot.y", "Restart"};

AttributeDesc* AddRange(ClassDesc* desc, const char* name, int offset, float min, float max) {
  return desc->AddAttribute(AttrVec2, name, offset)->SetRange(min, max)->SetInlineLayout();
}

}  // namespace

ClassDesc* fxParticleEmitter::GetClassDesc() {
  static ClassDesc desc("fxParticleEmitter", fxBase::GetClassDesc(), &fxParticleEmitter::Create);
  return &desc;
}

fxBase* fxParticleEmitter::Create(ClassDesc* desc) { return CreateZeroFilled<fxParticleEmitter>(desc); }

ClassDesc* fxParticleEmitter::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  using T = fxParticleEmitter;
  desc->AddAttribute(AttrString, "Source", RV_OFFSETOF(T, m_source));
  desc->AddAttribute(AttrVec3, "Pos", RV_OFFSETOF(T, m_pos))->SetRange(-50.0f, 50.0f);
  desc->AddAttribute(AttrVec2, "Rot", RV_OFFSETOF(T, m_rot))->SetRange(-180.0f, 180.0f);
  desc->AddAttribute(AttrFloat, "Radius", RV_OFFSETOF(T, m_radius))->SetRange(0.0f, 20.0f);
  desc->AddAttribute(AttrBool, "RadialEmission", RV_OFFSETOF(T, m_radialEmission));
  desc->AddAttribute(AttrRGBA, "ColorStart", RV_OFFSETOF(T, m_colorStart))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrRGBA, "ColorMid", RV_OFFSETOF(T, m_colorMid))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrRGBA, "ColorEnd", RV_OFFSETOF(T, m_colorEnd))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrBool, "Restart", RV_OFFSETOF(T, m_restart));
  desc->AddAttribute(AttrInt, "InitialCount", RV_OFFSETOF(T, m_initialCount))->SetRangeInt(0, 1000);
  desc->AddAttribute(AttrInt, "Emission", RV_OFFSETOF(T, m_emission))->SetRangeInt(0, 1000);
  desc->AddAttribute(AttrInt, "Particle Max", RV_OFFSETOF(T, m_particleMax))->SetRangeInt(0, 10000);
  desc->AddAttribute(AttrBool, "Particle Respawn", RV_OFFSETOF(T, m_particleRespawn));
  AddRange(desc, "LifeTime", RV_OFFSETOF(T, m_lifeTime), 0.01f, 5.0f);
  desc->AddAttribute(AttrFloat, "Segment Length", RV_OFFSETOF(T, m_segmentLength))->SetRange(0.01f, 1.0f);
  desc->AddAttribute(AttrFloat, "Spread", RV_OFFSETOF(T, m_spread))->SetRange(0.0f, 360.0f);
  AddRange(desc, "Speed", RV_OFFSETOF(T, m_speed), 0.0f, 20.0f);
  AddRange(desc, "Accel Gravity", RV_OFFSETOF(T, m_accelGravity), -20.0f, 20.0f);
  AddRange(desc, "Accel Radial", RV_OFFSETOF(T, m_accelRadial), -10.0f, 10.0f);
  AddRange(desc, "Accel Tangential", RV_OFFSETOF(T, m_accelTangential), -10.0f, 10.0f);
  desc->AddAttribute(AttrFloat, "Accel Friction", RV_OFFSETOF(T, m_accelFriction))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Accel Rebound", RV_OFFSETOF(T, m_accelRebound))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrVec4, "Plane Rebound", RV_OFFSETOF(T, m_planeRebound));
  desc->AddAttribute(AttrBool, "Debug", RV_OFFSETOF(T, m_debug));
  desc->AddAttribute(AttrButton, "KeyEmitter", RV_OFFSETOF(T, m_onKeyEmitter))
      ->SetTooltip("Add keys Pos/rot/Restart at current time from cam transform");
  desc->AddAttribute(AttrButton, "DelEmitter", RV_OFFSETOF(T, m_onDelEmitter))
      ->SetTooltip("Del keys Pos/rot/Restart at current time");
  return desc;
}

fxParticleEmitter::fxParticleEmitter(ClassDesc* desc)
    : fxBase(desc),
      m_sourceRoot(nullptr),
      m_pos(0.0f),
      m_previousPos(0.0f),
      m_rot(90.0f, 0.0f),
      m_particleMax(1000),
      m_initialCount(0),
      m_emission(250),
      m_particleRespawn(true),
      m_radialEmission(false),
      m_radius(0.5f),
      m_segmentLength(1.0f),
      m_spread(30.0f),
      m_lifeTime(0.1f, 3.0f),
      m_speed(10.0f, 20.0f),
      m_accelGravity(-1.0f, -20.0f),
      m_accelRadial(0.0f),
      m_accelTangential(0.0f),
      m_accelFriction(0.0f),
      m_accelRebound(0.0f),
      m_planeRebound(0.0f),
      m_restart(false),
      m_debug(false),
      m_colorStart(0.9f, 0.5f, 0.1f, 1.0f),
      m_colorMid(0.0f),
      m_colorEnd(0.3f, 0.1f, 0.1f, 1.0f),
      m_planeActive(false),
      m_lastRestartTime(0.0f),
      m_emissionCarry(0.0f),
      m_emittedCount(0),
      m_onKeyEmitter(&fxParticleEmitter::KeyEmitter),
      m_onDelEmitter(&fxParticleEmitter::DelEmitter) {}

fxParticleEmitter::~fxParticleEmitter() = default;

// Names of sequence files written before the ranges became vec2 pairs.
void fxParticleEmitter::RenameAttribute(std::string& name) {
  static const struct {
    const char* old;
    const char* renamed;
  } kLegacy[] = {
      {"Direction", "Rot.x"},
      {"DirectionXZ", "Rot.y"},
      {"LifeTime Min", "LifeTime.x"},
      {"LifeTime Max", "LifeTime.y"},
      {"Speed Min", "Speed.x"},
      {"Speed Max", "Speed.y"},
      {"Gravity Min", "Accel Gravity.x"},
      {"Gravity Max", "Accel Gravity.y"},
      {"Radial Accel Min", "Accel Radial.x"},
      {"Radial Accel Max", "Accel Radial.y"},
      {"Tangential Accel Min", "Accel Tangential.x"},
      {"Tangential Accel Max", "Accel Tangential.y"},
      {"Friction", "Accel Friction"},
  };
  for (const auto& entry : kLegacy) {
    if (name == entry.old) {
      name = entry.renamed;
      return;
    }
  }
}

int fxParticleEmitter::MaxParticles() const { return std::clamp(m_particleMax, 0, kParticleLimit); }

//-----------------------------------------------------------------------------
// [SECTION] Life cycle and restarts
//-----------------------------------------------------------------------------

void fxParticleEmitter::Init() {
  m_sourceRoot = nullptr;
  if (!m_source.empty() && m_owner) {
    fxBase* source = m_owner->FindItem(m_source);
    if (source) m_sourceRoot = source->GetShapesAtTime(-1.0f);
  }
  m_particles.reserve(static_cast<size_t>(MaxParticles()));
}

void fxParticleEmitter::Start() {
  m_particles.clear();
  m_emissionCarry = 0.0f;
  Restart();
}

void fxParticleEmitter::Restart() {
  m_previousPos = m_pos;
  m_emittedCount = 0;
  m_initialCount = std::min(m_initialCount, m_particleMax);
  m_lastRestartTime = m_localTime;
  const int max = MaxParticles();
  for (int i = 0; i < m_initialCount && static_cast<int>(m_particles.size()) < max; ++i) Emit();
}

// A key of the Restart driver inside the last frame window, never the one
// that fired the previous restart again.
bool fxParticleEmitter::RestartKeyFired() const {
  const float t = m_localTime;
  for (const NoneDriver* driver : m_drivers) {
    const AttributeDesc* attribute = driver->GetAttribute();
    if (!attribute || attribute->m_name != "Restart") continue;
    if (driver->HasKeyInRange(std::min(m_lastRestartTime + kFrame, t), t)) return true;
  }
  return false;
}

void fxParticleEmitter::Update() {
  // A NaN step counts as none, like a backwards one; an endless one (a
  // huge TimeScale) as a long one, so the emission carry stays finite.
  const float dt = m_appliedDelta > 0.0f ? std::min(m_appliedDelta, kMaxStep) : 0.0f;
  const glm::vec3 normal(m_planeRebound);
  m_planeActive = normal != glm::vec3(0.0f);
  if (m_planeActive) {
    const glm::vec3 unit = glm::normalize(normal);
    m_planeRebound = glm::vec4(unit, m_planeRebound.w);
  }
  if (RestartKeyFired()) Restart();
  if (dt != 0.0f) {
    Simulate(dt);
    EmitForStep(dt);
  }
  if (VectorGeometry* geometry = CurrentVectorGeometry()) DrawStreaks(*geometry);
  m_previousPos = m_pos;
}

//-----------------------------------------------------------------------------
// [SECTION] Simulation
//-----------------------------------------------------------------------------

glm::vec4 fxParticleEmitter::ColorAt(float s) const {
  glm::vec4 color;
  if (m_colorMid.a > 0.0f) {
    color = s < 0.5f ? glm::mix(m_colorStart, m_colorMid, 2.0f * s) : glm::mix(m_colorMid, m_colorEnd, 2.0f * (s - 0.5f));
  } else {
    color = glm::mix(m_colorStart, m_colorEnd, s);
  }
  return color * GetFadeFactor();
}

void fxParticleEmitter::Simulate(float dt) {
  const glm::vec3 n(m_planeRebound);
  const float w = m_planeRebound.w;
  const float bounce = 1.0f + m_accelRebound;
  size_t i = 0;
  while (i < m_particles.size()) {
    Particle& p = m_particles[i];
    p.age += dt;
    if (p.age >= p.lifetime) {
      // Swap-remove: the last particle takes this slot and is stepped next.
      p = m_particles.back();
      m_particles.pop_back();
      continue;
    }
    const glm::vec3 offset = p.position - m_pos;
    const float distance = glm::length(offset);
    const glm::vec3 d = distance > 0.0f ? offset / distance : glm::vec3(0.0f);
    p.velocity.x += (-d.y * p.tangential + d.x * p.radial) * dt;
    p.velocity.y += p.gravity * dt + (d.x * p.tangential + d.y * p.radial) * dt;
    p.velocity.z += (d.z * p.tangential + d.z * p.radial) * dt;
    if (m_accelFriction != 0.0f) p.velocity *= std::pow(1.0f - m_accelFriction, dt);
    p.trail = p.position;
    p.position += p.velocity * dt;
    // Only a particle that went through the plane bounces; one above it
    // keeps falling freely.
    const float depth = m_planeActive ? glm::dot(p.position, n) : 0.0f;
    if (m_planeActive && depth < w) {
      p.position += n * ((w - depth) * bounce);
      const float into = glm::dot(p.velocity, n);
      if (into < 0.0f) p.velocity += n * (-bounce * into);
    }
    p.previousColor = p.color;
    p.color = ColorAt(p.age / p.lifetime);
    if (m_segmentLength < 1.0f) p.trail = p.position + (p.trail - p.position) * m_segmentLength;
    ++i;
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Emission
//-----------------------------------------------------------------------------

void fxParticleEmitter::EmitForStep(float dt) {
  const int max = MaxParticles();
  if (!m_particleRespawn && m_emittedCount >= max) return;
  const float e = static_cast<float>(std::max(m_emission, 0)) * dt + m_emissionCarry;
  const float whole = std::trunc(e);
  m_emissionCarry = e - whole;
  // No frame emits more than the array can hold, however long the step.
  const int n = static_cast<int>(std::min(whole, static_cast<float>(max)));
  for (int i = 0; i < n && static_cast<int>(m_particles.size()) < max; ++i) Emit();
}

void fxParticleEmitter::Emit() {
  if (!m_particleRespawn && m_emittedCount >= MaxParticles()) return;
  const float a = RandomRange(0.0f, 1.0f);
  glm::vec3 base = m_pos + (m_previousPos - m_pos) * a;
  if (m_sourceRoot) {
    // The draw is made whatever the length, so the sequence of draws does
    // not depend on what the source shows; shapes without a length (or a
    // broken one) leave the emitter at its own position.
    const float length = m_sourceRoot->TotalLength();
    const float at = RandomRange(0.0f, 1.0f) * length;
    if (length > 0.0f && std::isfinite(length)) base = m_sourceRoot->PointAtLength(at).position;
  }
  const float c = RandomRange(-1.0f, 1.0f);
  const float phi = RandomRange(0.0f, 6.2831855f);
  const float s = std::sqrt(1.0f - c * c);
  AddParticle(base + m_radius * glm::vec3(std::cos(phi) * s, std::sin(phi) * s, c));
}

void fxParticleEmitter::AddParticle(const glm::vec3& point) {
  m_particles.push_back(Particle{});
  ++m_emittedCount;
  Particle& p = m_particles.back();
  p.age = 0.0f;
  p.lifetime = RandomRange(m_lifeTime.x, m_lifeTime.y);
  p.position = p.trail = point;
  p.color = p.previousColor = m_colorStart;
  glm::vec3 direction(0.0f);
  if (m_radialEmission) {
    const glm::vec3 away = point - m_pos;
    if (away != glm::vec3(0.0f)) direction = glm::normalize(away);
  } else {
    const float ex = (RandomRange(-m_spread, m_spread) / 2.0f + m_rot.x) * kRadiansPerDegree;
    const float ey = (RandomRange(-m_spread, m_spread) / 2.0f + m_rot.y) * kRadiansPerDegree;
    direction = glm::vec3(std::cos(ey) * std::cos(ex), std::sin(ex), std::sin(ey) * std::cos(ex));
  }
  p.velocity = direction * RandomRange(m_speed.x, m_speed.y);
  p.gravity = RandomRange(m_accelGravity.x, m_accelGravity.y);
  p.radial = RandomRange(m_accelRadial.x, m_accelRadial.y);
  p.tangential = RandomRange(m_accelTangential.x, m_accelTangential.y);
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

namespace {

VectorVertex StreakVertex(const glm::vec3& position, const glm::vec4& color, int32_t flags) {
  VectorVertex v;
  v.position = position;
  v.color = glm::vec3(color);
  v.flags = flags;
  v.thickness = 0.5f;
  return v;
}

bool Finite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

void fxParticleEmitter::DrawStreaks(VectorGeometry& geometry) const {
  VectorLineArray& lines = geometry.m_lines;
  lines.Grow(4 * static_cast<int>(m_particles.size()));
  VectorVertex* out = lines.data() + lines.count;
  int drawn = 0;
  for (const Particle& p : m_particles) {
    // A NaN driven into the emitter must not reach the display's buffers.
    if (!Finite(p.position) || !Finite(p.trail)) continue;
    *out++ = StreakVertex(p.trail, p.previousColor, PTF_LINE_STRIPSTART);
    *out++ = StreakVertex(p.trail, p.previousColor, 0);
    *out++ = StreakVertex(p.position, p.color, 0);
    *out++ = StreakVertex(p.position, p.color, PTF_LINE_STRIPEND);
    ++drawn;
  }
  lines.count += 4 * drawn;
  lines.strips += drawn;
}

//-----------------------------------------------------------------------------
// [SECTION] Editor keys
//-----------------------------------------------------------------------------

void fxParticleEmitter::KeyEmitter(fxBase* fx) {
  auto* self = static_cast<fxParticleEmitter*>(fx);
  const RenderTarget* target = g_pCurrentRenderTarget;
  if (!target) return;
  const glm::vec3 p(target->m_invView[3]);
  const glm::vec3 v = -glm::vec3(target->m_invView[2]);
  AppLog& log = AppLog::Get();
  log.AddLog("------------------------------------------------------\n");
  log.AddLog("fxParticleEmitter::KeyEmitter: dir x=%f y=%f z=%f\n", v.x, v.y, v.z);
  // Rounding can push a unit component past 1, where asin has no value.
  self->m_rot.x = std::asin(std::clamp(v.y, -1.0f, 1.0f)) * kDegreesPerRadian;
  const float c = std::cos(self->m_rot.x * kRadiansPerDegree);
  // Looking straight up or down leaves no azimuth to divide out.
  self->m_rot.y = (c > 0.0f ? std::atan2(v.z / c, v.x / c) : std::atan2(v.z, v.x)) * kDegreesPerRadian;
  log.AddLog("fxParticleEmitter::KeyEmitter: rot.x=%f\n", self->m_rot.x);
  log.AddLog("fxParticleEmitter::KeyEmitter: rot.y=%f\n", self->m_rot.y);
  const float ex = self->m_rot.x * kRadiansPerDegree, ey = self->m_rot.y * kRadiansPerDegree;
  log.AddLog("fxParticleEmitter::KeyEmitter: dir x=%f y=%f z=%f\n", std::cos(ey) * std::cos(ex), std::sin(ex),
             std::sin(ey) * std::cos(ex));
  self->m_pos = p;
  self->m_restart = true;
  for (const char* name : kEmitterKeys) self->RecordKey(name);
}

void fxParticleEmitter::DelEmitter(fxBase* fx) {
  auto* self = static_cast<fxParticleEmitter*>(fx);
  for (const char* name : kEmitterKeys) self->DeleteKey(name);
}

namespace {

NoneDriver* FindDriver(const std::vector<NoneDriver*>& drivers, const AttributeDesc* attribute) {
  for (NoneDriver* driver : drivers) {
    if (driver->GetAttribute() == attribute) return driver;
  }
  return nullptr;
}

}  // namespace

void fxParticleEmitter::RecordKey(const char* name) {
  AttributeDesc* attribute = m_classDesc->FindAttribute(name);
  if (!attribute) return;
  NoneDriver* driver = FindDriver(m_drivers, attribute);
  if (!driver) {
    driver = CreateDriver(this, DriverKeyFrame, attribute);
    if (!driver) return;
    m_drivers.push_back(driver);
  }
  if (driver->GetType() == DriverKeyFrame) static_cast<KeyFrameDriver*>(driver)->SetKeyAtCurrentTime();
}

void fxParticleEmitter::DeleteKey(const char* name) {
  const AttributeDesc* attribute = m_classDesc->FindAttribute(name);
  if (!attribute) return;
  NoneDriver* driver = FindDriver(m_drivers, attribute);
  if (!driver || driver->GetType() != DriverKeyFrame) return;
  auto* keys = static_cast<KeyFrameDriver*>(driver);
  int index = keys->FindKeyAt(SnapToFrame(m_localTime));
  if (index < 0) index = keys->FindKeyAt(m_localTime);
  if (index >= 0) keys->DeleteKey(index);
}
