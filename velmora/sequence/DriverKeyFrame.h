// Key-frame driver: an attribute animated through keys (time, value) with one
// of eight interpolations between them. The camera and particle effects
// record into it; the curve editor moves its keys.
// Key times are whole frames (n / 60 s) and unique within a driver; the keys
// stay sorted by time. Each key carries a 32-bit id (low bits of the
// performance counter when it was made) that follows it while it is moved.
// Depends on the driver base. Main thread only.
#pragma once
#include <cstdint>
#include <vector>

#include "sequence/Driver.h"

// Persisted as {"x": time, "y": value, "z": the id's bits read as a float}.
struct KeyFrame {
  float time;   // seconds of local time, a whole number of frames
  float value;
  uint32_t id;
};

enum KeyInterpolation : int {
  InterpNone = 0,
  InterpLinear = 1,
  InterpSpline = 2,
  InterpSmoothstep = 3,
  InterpBounce = 4,
  InterpEasyIn = 5,
  InterpEasyOut = 6,
  InterpEasyInOut = 7,
  InterpCount = 8
};

class KeyFrameDriver : public NoneDriver {
 public:
  // Registers "_eInterpolation", "_aKeys", "_fParams" after the base's.
  KeyFrameDriver(fxBase* fx, AttributeDesc* attribute);

  // Registered members, then the keys sorted by time.
  void Load(const Json::Value& obj) override;

  float Evaluate(float t) override;
  bool HasKeys() const override { return !_aKeys.empty(); }
  bool IsKeyAt(float t) const override { return FindKeyAt(t) >= 0; }
  bool HasKeyInRange(float t0, float t1) const override;
  void DrawEditor() override;

  // Makes or updates the key at the effect's current local time (snapped to
  // a frame) with the attribute's current value; returns its index.
  int SetKeyAtCurrentTime();
  // Makes or updates the key at time t (snapped to a frame) with value;
  // returns its index.
  int SetKey(float t, float value);
  // Index outside 0..count-1: nothing.
  void DeleteKey(int index);
  // Moves key index to (time snapped to a frame, value); a key already at
  // that time is deleted first. Returns the key's index in the re-sorted
  // list (a drag that passes another key keeps holding the key it grabbed),
  // -1 for an index outside the list or a time that is not finite.
  int MoveKey(int index, float time, float value);
  // Index of the key whose time equals t exactly, else -1.
  int FindKeyAt(float t) const;
  void SortKeys();

  int _eInterpolation;
  std::vector<KeyFrame> _aKeys;
  float _fParams[2];  // P0: power, or amplitude for Bounce; P1: attenuation for Bounce
};

// Names of the interpolation codes 0..7, for the editor's combo box.
extern const char* const g_KeyInterpolationNames[InterpCount];
