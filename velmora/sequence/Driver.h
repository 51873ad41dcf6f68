// Parameter drivers: a driver animates one attribute of one effect. Every
// time the effect's clock moves it computes a value for the effect's local
// time (seconds from the effect's start frame) and writes it into the
// attribute. Positive infinity means "no value": the attribute keeps what it
// has. NaN is a value like any other.
// This file holds the driver base NoneDriver, the factory that makes a driver
// from its "_eType" code and the icon table of the sequencer. The key-frame,
// procedural and expression drivers live in their own file pairs.
// Depends on rvpersist (members as JSON), the attribute descriptors and
// fxBase (the target effect's clock and storage). A driver is owned by its
// effect. Main thread only.
#pragma once
#include <cstdint>
#include <string>

#include "core/rvpersist.h"

class AttributeDesc;
class fxBase;

// "_eType" codes. 0 and 6 have no driver object; the codes are stored in
// sequence files, so they never change.
enum DriverType : int {
  DriverNone = 0,
  DriverKeyFrame = 1,
  DriverSinus = 2,
  DriverTriangle = 3,
  DriverNoise = 4,
  DriverExpression = 5,
  DriverUnused6 = 6,
  DriverVariable = 7,
  DriverTypeCount = 8
};

class NoneDriver : public rvpersist {
 public:
  // Named after the attribute's full name; registers "_eType", "_attribName",
  // "_fMin", "_fMax", "_fPeriod", "_fPhase" in that order.
  NoneDriver(fxBase* fx, AttributeDesc* attribute);
  ~NoneDriver() override;
  NoneDriver(const NoneDriver&) = delete;
  NoneDriver& operator=(const NoneDriver&) = delete;

  // The registered members; the type stays the one the factory gave, whatever
  // "_eType" the entry holds (a loaded 257 made a key-frame driver and must
  // save as one).
  void Load(const Json::Value& obj) override;

  // Value at local time t in seconds; positive infinity for none.
  virtual float Evaluate(float t);
  virtual bool HasKeys() const { return true; }
  virtual bool IsKeyAt(float /*t*/) const { return false; }
  virtual bool HasKeyInRange(float /*t0*/, float /*t1*/) const { return false; }
  // Editor panel (editing layer only; needs a current ImGui frame).
  virtual void DrawEditor() {}

  // Writes Evaluate(effect's local time) into the attribute by its type.
  void Apply();

  DriverType GetType() const { return static_cast<DriverType>(m_type); }
  fxBase* GetEffect() const { return m_pFx; }
  AttributeDesc* GetAttribute() const { return m_pAttribute; }
  // Range of the Min and Max sliders: the attribute's range, else -100..100.
  void GetSliderRange(float& min, float& max) const;

  // Persisted members.
  int _eType;
  std::string _attribName;
  float _fMin;
  float _fMax;
  float _fPeriod;  // seconds per cycle (noise, triangle)
  float _fPhase;   // cycles (noise, triangle)

  bool m_bVisible;  // drawn by the curve editor; toggled in the driver list

 protected:
  // Maps a wave in -1..1 onto _fMin.._fMax.
  float MapWave(float w) const;
  // "Min" and "Max" sliders shared by the procedural panels.
  void DrawRangeSliders();

 private:
  friend NoneDriver* CreateDriver(fxBase* fx, uint8_t type, AttributeDesc* attribute);
  uint8_t m_type;
  AttributeDesc* m_pAttribute;
  fxBase* m_pFx;
};

// A new driver of the class of the code on the attribute of fx, or null for
// 0, 6 and codes above 7 (the caller skips such entries).
NoneDriver* CreateDriver(fxBase* fx, uint8_t type, AttributeDesc* attribute);

// The sequencer's glyph for a driver type (UTF-8 of a private-use code point
// of the editor's icon font); empty text for codes outside 0..7.
const char* GetDriverIcon(int type);

// Writes v into the attribute's storage inside fx: a float as is (NaN
// included); int, frame and enum rounded half away from zero and saturated
// to the int range; bool |v| > 0.5. Positive infinity writes nothing, NaN
// writes nothing but a float, and other types are never written.
void WriteAttributeValue(fxBase* fx, const AttributeDesc* attribute, float v);
// The attribute's current value as a float (bool 1 or 0); false for a type
// with no single number.
bool ReadAttributeValue(fxBase* fx, const AttributeDesc* attribute, float& v);
