// Cameras. See fxCamera.h.
//
// [SECTION] Target camera
// [SECTION] fxCamera: class description and attributes
// [SECTION] fxCamera: per-frame matrices
// [SECTION] fxCamera: gamepad flight
// [SECTION] fxCamera: key tools
// [SECTION] fxCameraReference
#include "effects/scenes/fxCamera.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include "platform/Gamepad.h"
#include "render/RenderTarget.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"

namespace {

constexpr float kDegToRadCamera = 3.1415927f / 180.0f;
constexpr float kDeadZone = 0.05f;

RenderTarget& CurrentTarget() { return g_pCurrentRenderTarget ? *g_pCurrentRenderTarget : g_defaultRenderTarget; }

glm::quat ToQuat(const glm::vec4& v) { return glm::quat(v.w, v.x, v.y, v.z); }
glm::vec4 FromQuat(const glm::quat& q) { return glm::vec4(q.x, q.y, q.z, q.w); }

// A stick axis outside the dead zone, else 0.
float Stick(const platform::PadState& pad, platform::PadAxis axis) {
  const float v = pad.axes[axis];
  return std::fabs(v) > kDeadZone ? v : 0.0f;
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Target camera
//-----------------------------------------------------------------------------

void SetTargetCamera(const glm::mat4& projection, const glm::mat4& view) {
  RenderTarget& target = CurrentTarget();
  target.m_projection = projection;
  target.m_view = view;
  target.m_viewProjection = projection * view;
  target.m_invProjection = glm::inverse(projection);
  target.m_invView = glm::inverse(view);
  target.m_invViewProjection = glm::inverse(target.m_viewProjection);
  if (target.m_orbit) return;

  const glm::mat4& m = target.m_invView;
  target.m_position = glm::vec3(m[3]);
  const glm::quat q = glm::quat_cast(glm::mat3(m));
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  target.m_rotation.x = std::atan2(2.0f * (y * z + w * x), w * w - x * x - y * y + z * z);
  target.m_rotation.y = std::asin(std::clamp(-2.0f * (x * z - w * y), -1.0f, 1.0f));
  target.m_rotation.z = std::atan2(2.0f * (x * y + w * z), w * w + x * x - y * y - z * z);
}

//-----------------------------------------------------------------------------
// [SECTION] fxCamera: class description and attributes
//-----------------------------------------------------------------------------

const char* const fxCamera::kPadComponents[7] = {"CamPosition.x",   "CamPosition.y",   "CamPosition.z",
                                                 "CamQuaternion.x", "CamQuaternion.y", "CamQuaternion.z",
                                                 "CamQuaternion.w"};

namespace {
const char* const kControlModeNames[4] = {"None", "FreePad (When Selected)", "FreePad (Always)", "Locked"};
}

ClassDesc* fxCamera::GetClassDesc() {
  static ClassDesc desc("fxCamera", fxBase::GetClassDesc(), &fxCamera::Create);
  return &desc;
}

fxBase* fxCamera::Create(ClassDesc* desc) { return CreateZeroFilled<fxCamera>(desc); }

ClassDesc* fxCamera::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrVec3, "CamPosition", RV_OFFSETOF(fxCamera, m_camPosition));
  desc->AddAttribute(AttrVec4, "CamQuaternion", RV_OFFSETOF(fxCamera, m_camQuaternion));
  desc->AddAttribute(AttrFloat, "CamFov", RV_OFFSETOF(fxCamera, m_camFov))->SetRange(1.0f, 90.0f);
  desc->AddAttribute(AttrFloat, "CamFar", RV_OFFSETOF(fxCamera, m_camFar))->SetRange(10.0f, 1000.0f);
  desc->AddAttribute(AttrBool, "Flipz", RV_OFFSETOF(fxCamera, m_flipZ));
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  desc->AddAttribute(AttrEnum, "ControlMode", RV_OFFSETOF(fxCamera, m_controlMode))
      ->SetEnumNames(kControlModeNames, 4);
  desc->AddAttribute(AttrFloat, "SpeedPos", RV_OFFSETOF(fxCamera, m_speedPos))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "SpeedRot", RV_OFFSETOF(fxCamera, m_speedRot))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "SpeedTime", RV_OFFSETOF(fxCamera, m_speedTime))->SetRange(0.0f, 1.0f);
  return desc;
}

fxCamera::fxCamera(ClassDesc* desc)
    : fxBase(desc),
      m_projection(1.0f),
      m_view(1.0f),
      m_camPosition(0.0f, 0.0f, -100.0f),
      m_camQuaternion(0.0f, 0.0f, 0.0f, 1.0f),
      m_savedPosition(0.0f, 0.0f, -100.0f),
      m_savedQuaternion(0.0f, 0.0f, 0.0f, 1.0f),
      m_camFov(60.0f),
      m_camFar(1000.0f),
      m_speedPos(0.5f),
      m_speedRot(0.5f),
      m_speedTime(0.5f),
      m_controlMode(ControlNone),
      m_padClock(0.0),
      m_scrubCarry(0.0f),
      m_bumperHeld{},
      m_startHeld{},
      m_flipZ(false) {}

fxCamera::~fxCamera() = default;

// The first pad update after a start, and after the restart of every item
// that START causes, gets a time step of 0.
void fxCamera::Start() { m_padClock = -1.0; }

//-----------------------------------------------------------------------------
// [SECTION] fxCamera: per-frame matrices
//-----------------------------------------------------------------------------

void fxCamera::Update() {
  if (m_owner && m_controlMode == ControlLocked) {
    m_camPosition = m_savedPosition;
    m_camQuaternion = m_savedQuaternion;
  }

  // A zero (or NaN) quaternion has no orientation: the identity stands in.
  const float length = glm::length(m_camQuaternion);
  glm::quat q = length > 0.0f ? ToQuat(m_camQuaternion / length) : glm::quat(1.0f, 0.0f, 0.0f, 0.0f);
  const glm::mat3 r = glm::mat3_cast(q);
  Axes axes{r[0], r[1], r[2]};
  const glm::vec3 eye = m_camPosition;

  if (PadActive()) {
    UpdatePads(q, axes);
    m_camQuaternion = FromQuat(q);
  }

  RenderTarget& target = CurrentTarget();
  if (target.m_width > 0 && target.m_height > 0) {
    m_projection = glm::perspectiveFov(m_camFov * kDegToRadCamera, static_cast<float>(target.m_width),
                                       static_cast<float>(target.m_height), 0.1f, m_camFar);
  }
  const float s = m_flipZ ? 1.0f : -1.0f;
  m_view = glm::lookAt(eye, eye + s * axes.z, axes.y);
  SetTargetCamera(m_projection, m_view);
  target.m_fov = m_camFov * kDegToRadCamera;

  m_savedPosition = m_camPosition;
  m_savedQuaternion = m_camQuaternion;
}

//-----------------------------------------------------------------------------
// [SECTION] fxCamera: gamepad flight
//-----------------------------------------------------------------------------

bool fxCamera::PadActive() const {
  if (!m_owner) return false;
  if (m_controlMode == ControlPadAlways) return true;
  if (m_controlMode != ControlPadSelected) return false;
  const auto& items = m_owner->m_items;
  const auto self = std::find(items.begin(), items.end(), this);
  if (self == items.end()) return false;
  const int index = static_cast<int>(self - items.begin());
  const auto& selection = m_owner->m_selection;
  return std::find(selection.begin(), selection.end(), index) != selection.end();
}

void fxCamera::UpdatePads(glm::quat& q, Axes& axes) {
  platform::PadSource& source = platform::GetPadSource();
  const double now = source.Now();
  const float dt = m_padClock < 0.0 ? 0.0f : static_cast<float>(now - m_padClock);
  m_padClock = now;
  // Each connected pad acts on its own, so two pads add their inputs.
  for (int id = 0; id < platform::PadSource::kMaxPads; ++id) {
    platform::PadState pad;
    if (source.Read(id, pad)) ApplyPad(id, pad, dt, q, axes);
  }
}

void fxCamera::TogglePlaying(bool playing) {
  m_owner->m_playing = playing;
  // Stopping goes down to Initialized; playing again parks every item as
  // Prepared so the next sequence update restarts them from their windows.
  const int state = playing ? StatePrepared : StateInitialized;
  // Indexed: a state change may run code that touches the list.
  for (size_t i = 0; i < m_owner->m_items.size(); ++i) m_owner->m_items[i]->SetState(state);
}

void fxCamera::ApplyPad(int id, const platform::PadState& pad, float dt, glm::quat& q, Axes& axes) {
  using namespace platform;
  const bool paused = !m_owner->m_playing;
  const float move = (m_speedPos * 9.0f + 1.0f) * dt;
  const float turn = (m_speedRot * 3.0f + 1.0f) * dt;
  const float scrub = (m_speedTime * 9.0f + 1.0f) * 0.1f * dt;

  // Scrubbing moves the clock by whole frames only; the rest waits in the
  // carry. Keys under the cursor are shifted before the clock moves, so
  // holding A drags the key along with the time.
  m_scrubCarry += (pad.axes[PadRightTrigger] - pad.axes[PadLeftTrigger]) * scrub;
  const float frames = std::round(m_scrubCarry * 60.0f);
  if (frames != 0.0f) {
    const float d = frames / 60.0f;
    m_scrubCarry -= d;
    if ((pad.Down(PadA) || pad.Down(PadX) || pad.Down(PadB)) && paused) {
      for (const char* c : kPadComponents) ShiftKeys(d, c, pad.Down(PadX), pad.Down(PadB));
    }
    m_owner->AdvanceTime(d);
  }

  const bool start = pad.Down(PadStart);
  if (start && !m_startHeld[id]) TogglePlaying(paused);
  m_startHeld[id] = start;
  if (!paused) return;

  JumpToKey(pad.Down(PadLeftBumper), pad.Down(PadRightBumper), id);
  if (pad.Down(PadRightThumb)) {
    for (const char* c : kPadComponents) RecordKey(c, -1.0f);
  } else if (pad.Down(PadLeftThumb)) {
    for (const char* c : kPadComponents) DeleteKey(c);
  }

  const float up = (pad.Down(PadDpadUp) ? 0.5f * move : 0.0f) - (pad.Down(PadDpadDown) ? 0.5f * move : 0.0f);
  const float roll = (pad.Down(PadDpadRight) ? turn : 0.0f) - (pad.Down(PadDpadLeft) ? turn : 0.0f);
  const float side = -Stick(pad, PadLeftX) * move;
  const float forward = -Stick(pad, PadLeftY) * move;
  const float yaw = -Stick(pad, PadRightX) * turn;
  const float pitch = Stick(pad, PadRightY) * turn;

  if (pad.Down(PadY)) {
    // Re-level: put the up axis back on the world's and keep the heading
    // the camera looks along, its z axis laid flat, whatever its roll (the
    // heading of X x up vanishes at a quarter roll and turns round past it).
    // Looking straight up or down, z has no heading: X x up gives it, as it
    // does for a camera without roll. The axes are made unit length so the
    // quaternion is a rotation.
    const glm::vec3 level(0.0f, 1.0f, 0.0f);
    glm::vec3 z(axes.z.x, 0.0f, axes.z.z);
    if (glm::length(z) < 1e-4f) z = glm::cross(axes.x, level);
    if (glm::length(z) > 0.0f) {
      axes.y = level;
      axes.z = glm::normalize(z);
      axes.x = glm::cross(axes.y, axes.z);
      q = glm::quat_cast(glm::mat3(axes.x, axes.y, axes.z));
    }
  }
  m_camPosition += axes.x * side + axes.y * up + axes.z * forward;
  if (yaw != 0.0f) q = glm::angleAxis(yaw, glm::vec3(0.0f, 1.0f, 0.0f)) * q;
  if (pitch != 0.0f) q = q * glm::angleAxis(pitch, glm::vec3(1.0f, 0.0f, 0.0f));
  if (roll != 0.0f) q = q * glm::angleAxis(roll, glm::vec3(0.0f, 0.0f, 1.0f));
}

//-----------------------------------------------------------------------------
// [SECTION] fxCamera: key tools
//-----------------------------------------------------------------------------

namespace {

NoneDriver* DriverOf(const fxBase& fx, const AttributeDesc* attribute) {
  for (NoneDriver* d : fx.m_drivers)
    if (d && d->GetAttribute() == attribute) return d;
  return nullptr;
}

}  // namespace

KeyFrameDriver* fxCamera::FindKeyDriver(const char* name) const {
  if (!name) return nullptr;
  const AttributeDesc* attribute = GetClassDesc()->FindAttribute(name);
  if (!attribute) return nullptr;
  NoneDriver* driver = DriverOf(*this, attribute);
  if (!driver || driver->GetType() != DriverKeyFrame) return nullptr;
  return static_cast<KeyFrameDriver*>(driver);
}

int fxCamera::KeyAtLocalTime(const KeyFrameDriver& driver) const {
  const int snapped = driver.FindKeyAt(SnapToFrame(m_localTime));
  return snapped >= 0 ? snapped : driver.FindKeyAt(m_localTime);
}

int fxCamera::RecordKey(const char* name, float time) {
  if (!name) return -1;
  AttributeDesc* attribute = GetClassDesc()->FindAttribute(name);
  if (!attribute) return -1;
  NoneDriver* driver = DriverOf(*this, attribute);
  if (!driver) {
    driver = CreateDriver(this, DriverKeyFrame, attribute);
    if (!driver) return -1;
    m_drivers.push_back(driver);
  }
  if (driver->GetType() != DriverKeyFrame) return -1;
  auto* keys = static_cast<KeyFrameDriver*>(driver);
  const float localTime = m_localTime;
  if (time >= 0.0f) {
    m_localTime = time;
    keys->Apply();
  }
  const int index = keys->SetKeyAtCurrentTime();
  m_localTime = localTime;
  return index;
}

void fxCamera::DeleteKey(const char* name) {
  KeyFrameDriver* driver = FindKeyDriver(name);
  if (!driver) return;
  driver->DeleteKey(KeyAtLocalTime(*driver));
}

void fxCamera::ShiftKeys(float offset, const char* name, bool withEarlier, bool withLater) {
  if (offset == 0.0f) return;
  KeyFrameDriver* driver = FindKeyDriver(name);
  if (!driver) return;
  const int i = KeyAtLocalTime(*driver);
  if (i < 0) return;

  // The keys to move, in the order they move: along the shift, so that no
  // key lands on one that has not moved yet. They are collected by time
  // before anything moves, because a move that lands on a key deletes it
  // and shifts every index behind it.
  const int last = static_cast<int>(driver->_aKeys.size()) - 1;
  std::vector<int> order;
  auto run = [&](int from, int to, int step) {
    for (int k = from; step > 0 ? k <= to : k >= to; k += step) order.push_back(k);
  };
  if (offset < 0.0f) {
    if (withEarlier) run(0, i - 1, 1);
    order.push_back(i);
    if (withLater) run(i + 1, last, 1);
  } else {
    if (withLater) run(last, i + 1, -1);
    order.push_back(i);
    if (withEarlier) run(i - 1, 0, -1);
  }
  std::vector<float> times;
  for (int k : order) times.push_back(driver->_aKeys[static_cast<size_t>(k)].time);

  for (float t : times) {
    const int k = driver->FindKeyAt(t);
    if (k < 0) continue;
    const KeyFrame key = driver->_aKeys[static_cast<size_t>(k)];
    driver->MoveKey(k, key.time + offset, key.value);
  }
}

void fxCamera::JumpToKey(bool previous, bool next, int pad) {
  bool& held = m_bumperHeld[pad];
  if (held) {
    held = previous || next;
    return;
  }
  if (previous == next) return;
  held = true;

  float best = 0.0f;
  const float t = m_localTime;
  for (NoneDriver* d : m_drivers) {
    if (!d || d->GetType() != DriverKeyFrame) continue;
    const auto& keys = static_cast<KeyFrameDriver*>(d)->_aKeys;
    if (next) {
      for (const KeyFrame& k : keys) {
        if (!(k.time > t + 0.00001f)) continue;
        const float dist = k.time - t;
        if (best == 0.0f || dist <= best) best = dist;
        break;
      }
    } else {
      for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        if (!(k->time < t - 0.00001f)) continue;
        const float dist = k->time - t;
        if (best == 0.0f || dist >= best) best = dist;
        break;
      }
    }
  }
  if (m_owner) m_owner->AdvanceTime(best);
}

//-----------------------------------------------------------------------------
// [SECTION] fxCameraReference
//-----------------------------------------------------------------------------

ClassDesc* fxCameraReference::GetClassDesc() {
  static ClassDesc desc("fxCameraReference", fxBase::GetClassDesc(), &fxCameraReference::Create);
  return &desc;
}

fxBase* fxCameraReference::Create(ClassDesc* desc) { return CreateZeroFilled<fxCameraReference>(desc); }

int fxCameraReference::CameraNameOffset() { return RV_OFFSETOF(fxCameraReference, m_fxCamera); }

fxCameraReference::fxCameraReference(ClassDesc* desc) : fxBase(desc), m_camera(nullptr) {}

fxCameraReference::~fxCameraReference() = default;

void fxCameraReference::FindCamera(rvSequence* sequence) {
  if (m_fxCamera.empty()) return;
  while (sequence) {
    fxBase* found = sequence->FindItem(m_fxCamera);
    if (found) {
      if (found->IsKindOf("fxCamera")) m_camera = static_cast<fxCamera*>(found);
      return;
    }
    if (!sequence->m_ownerFx) return;
    sequence = sequence->m_ownerFx->m_owner;
  }
}

void fxCameraReference::Init() { FindCamera(m_owner); }

void fxCameraReference::Update() {
  if (!m_camera) return;
  SetTargetCamera(m_camera->m_projection, m_camera->m_view);
  CurrentTarget().m_fov = m_camera->m_camFov * kDegToRadCamera;
}
