// fxBase: the base of every effect. It holds what the timeline needs of an
// effect: its class description, the sequence that owns it, the four-state
// life cycle walked one step at a time, the frame window with fades and a
// time scale, a local clock clamped to the window's duration, the drivers
// that animate its attributes and an optional root of vector shapes.
// Depends on the class descriptions (core), the drivers (sequence) and the
// shape tree (render). Owns its drivers and, when it has one, its per-object
// class description; the shape root belongs to the subclass that makes it.
#pragma once
#include <json/json.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/ClassDesc.h"

class NoneDriver;
class ShapeNode;
class rvSequence;

enum FxState { StateNone = 0, StateInitialized = 1, StatePrepared = 2, StateRunning = 3 };

// Every effect class's Create: the object is zero-filled before its
// constructor runs, so members the constructor leaves alone read as zero.
template <class T>
T* CreateZeroFilled(ClassDesc* desc) {
  void* memory = ::operator new(sizeof(T));
  std::memset(memory, 0, sizeof(T));
  return new (memory) T(desc);
}

// A frame window bound as the timeline compares it: the int frame converted
// to float, then divided, so every caller agrees on the same float edge.
inline float FrameToSeconds(int frame) { return static_cast<float>(frame) / 60.0f; }

// A frame count computed in 64 bits, clamped to the int range that frame
// attributes hold, so sums of hostile stored values cannot overflow.
inline int ClampToFrame(int64_t frames) {
  return static_cast<int>(std::min<int64_t>(std::max<int64_t>(frames, INT_MIN), INT_MAX));
}

// A time in seconds snapped to the nearest whole frame (60 per second).
float SnapToFrame(float t);

class fxBase {
 public:
  // Class description, create function and attribute registration.
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxBase(ClassDesc* desc);
  virtual ~fxBase();
  fxBase(const fxBase&) = delete;
  fxBase& operator=(const fxBase&) = delete;

  // Slots for the subclasses, in life-cycle order; all empty here.
  virtual void Init() {}
  virtual void Kill() {}
  virtual void Prepare() {}
  virtual void Unprepare() {}
  virtual void Start() {}
  virtual void Stop() {}
  virtual void Update() {}
  // (delta applied, new local time, requested time), all in seconds.
  virtual void Seek(float /*delta*/, float /*localTime*/, float /*requestedTime*/) {}
  // Maps a legacy attribute name read from JSON to the current one, in place.
  virtual void RenameAttribute(std::string& /*name*/) {}
  virtual void OnAttributeLoaded(AttributeDesc* /*attribute*/) {}
  virtual void OnAttributeEdited(AttributeDesc* /*attribute*/) {}

  // Life cycle and per-frame clock.
  int SetState(int target);
  void StartRunning();
  void ExternalUpdate();
  float GetDuration() const;
  float GetFadeFactor() const;
  bool IsInWindow(float sequenceTime) const;

  // Drivers and shapes.
  void ApplyDrivers();
  void ClearDrivers();
  void CreateKeys();
  ShapeNode* GetShapesAtTime(float t);
  bool IsKindOf(const char* className) const;

  // Properties and drivers as JSON.
  void LoadAttributes(const Json::Value& properties);
  void LoadDrivers(const Json::Value& properties);
  void SaveAttribute(Json::Value& object, const AttributeDesc* attribute) const;
  void SaveDrivers(Json::Value& object) const;

  // Button actions.
  static void OnCreateKey(fxBase* fx);
  static void OnReInit(fxBase* fx);
  static void OnClearDrivers(fxBase* fx);

  ClassDesc* m_classDesc;
  rvSequence* m_owner;
  int m_state;  // FxState; -1 while the base is being constructed or destroyed
  std::string m_name;
  int m_start;  // frames
  int m_end;    // frames, exclusive
  float m_fadeIn;
  float m_fadeOut;
  float m_appliedDelta;  // step applied to the local clock by the last ExternalUpdate
  float m_prevLocalTime;
  float m_localTime;
  float m_timeScale;
  float m_seekTime;  // negative: no seek pending
  std::vector<NoneDriver*> m_drivers;
  bool m_reInit;
  AttrButtonFunc m_onCreateKey;
  AttrButtonFunc m_onReInit;
  AttrButtonFunc m_onClearDrivers;
  bool m_enabled;
  bool m_expanded;
  float m_sequenceDelta;  // sequence-local time minus the local time, set each frame
  ShapeNode* m_shapeRoot;

 private:
  bool StoreJsonValue(const AttributeDesc* attribute, const Json::Value& value);
};

// The effect whose Update runs; null outside any Update.
extern fxBase* g_pCurrentFx;

// The clocks of g_pCurrentFx as shader programs read them (a program time
// source: the effect's local time, its sequence's time, the time of the
// sequence embedding that one); 0 without a current effect or for another
// source.
float CurrentEffectTime(int timeSource);
// g_pCurrentFx's fade factor; 1 without a current effect.
float CurrentEffectFade();
