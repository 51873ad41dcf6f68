// Cameras: fxCamera holds an animatable camera pose (position, orientation
// quaternion, field of view, far plane) and every frame writes the
// projection and view it gives into the current render target, where 3D
// programs, the vector display and the camera uniform annotations read
// them. In its pad modes a gamepad flies it, scrubs and pauses the
// timeline and records, deletes, shifts and jumps between the camera's own
// key frames (ordinary key-frame drivers, so a recorded flight plays back
// like any other animation). fxCameraReference re-applies the matrices of
// a camera named by its "FxCamera" attribute, found in its own sequence or
// an enclosing one, so nested sequences share their parent's camera.
//
// Depends on the render targets, the key-frame drivers, the sequence and
// the gamepad seam (platform/Gamepad.h). Owns nothing beyond its members;
// the reference's camera is borrowed. Main thread only.
#pragma once
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <string>

#include "platform/Gamepad.h"
#include "sequence/fxBase.h"

class KeyFrameDriver;

// Writes a camera into the current render target: projection, view,
// view-projection = projection x view and the three inverses, and (unless
// the target uses its orbit camera) the free-camera position and Euler
// rotation of the inverse view. The field of view is left to the caller.
void SetTargetCamera(const glm::mat4& projection, const glm::mat4& view);

class fxCamera : public fxBase {
 public:
  enum ControlMode { ControlNone = 0, ControlPadSelected = 1, ControlPadAlways = 2, ControlLocked = 3 };
  // The components a pad records, deletes and shifts keys of, in this order.
  static const char* const kPadComponents[7];

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxCamera(ClassDesc* desc);
  ~fxCamera() override;

  void Start() override;
  void Update() override;

  // Key tools on one attribute component ("CamPosition.x", ...).
  // RecordKey: the key at the local time (or at `time` when >= 0, with the
  // driver applied there first); its index, or -1. Creates the key-frame
  // driver when the component has none.
  int RecordKey(const char* name, float time);
  void DeleteKey(const char* name);
  // Moves the key at the local time by `offset` seconds, optionally with
  // every earlier and/or later key; no key is lost on the way.
  void ShiftKeys(float offset, const char* name, bool withEarlier, bool withLater);
  // Moves the owner sequence's clock to the nearest earlier (previous) or
  // later (next) key of any of the camera's key-frame drivers; one jump per
  // bumper press of each pad.
  void JumpToKey(bool previous, bool next, int pad = 0);

  glm::mat4 m_projection;
  glm::mat4 m_view;
  glm::vec3 m_camPosition;
  glm::vec4 m_camQuaternion;  // x, y, z, w; need not be normalised
  glm::vec3 m_savedPosition;
  glm::vec4 m_savedQuaternion;
  float m_camFov;  // degrees
  float m_camFar;
  float m_speedPos;
  float m_speedRot;
  float m_speedTime;
  int m_controlMode;
  double m_padClock;   // seconds; negative: no previous pad update
  float m_scrubCarry;  // seconds of scrubbing not yet applied as whole frames
  // Per pad, so that a button one pad holds is not seen as pressed again
  // after another pad's update.
  bool m_bumperHeld[platform::PadSource::kMaxPads];
  bool m_startHeld[platform::PadSource::kMaxPads];
  bool m_flipZ;

 private:
  // The camera's axes for this frame's view; a re-levelling replaces them.
  struct Axes {
    glm::vec3 x, y, z;
  };
  bool PadActive() const;
  void UpdatePads(glm::quat& q, Axes& axes);
  void ApplyPad(int id, const platform::PadState& pad, float dt, glm::quat& q, Axes& axes);
  void TogglePlaying(bool playing);
  // The key-frame driver of a component, or null (missing attribute,
  // missing driver, a driver of another kind).
  KeyFrameDriver* FindKeyDriver(const char* name) const;
  // Index of the key at the local time (snapped first, then exact), or -1.
  int KeyAtLocalTime(const KeyFrameDriver& driver) const;
};

class fxCameraReference : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  // Where the registry binds the "FxCamera" attribute it appends.
  static int CameraNameOffset();

  explicit fxCameraReference(ClassDesc* desc);
  ~fxCameraReference() override;

  void Init() override;
  void Update() override;

  // Resolves FxCamera in `sequence`, climbing to the sequences that embed
  // it; the nearest sequence with an item of that name ends the search.
  void FindCamera(rvSequence* sequence);

  fxCamera* m_camera;  // not owned
  std::string m_fxCamera;
};
