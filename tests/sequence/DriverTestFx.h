// An effect with one attribute of every kind a driver writes, for the driver
// tests: drivers act on real attribute descriptors and a real fxBase clock.
#pragma once
#include <string>

#include "core/ClassDesc.h"
#include "effects/fxBase.h"

class DriverTestFx : public fxBase {
 public:
  // Built once per process; a class description lives as long as the process.
  static ClassDesc* Desc() {
    static ClassDesc* desc = [] {
      ClassDesc* d = new ClassDesc("DriverTestFx", nullptr, nullptr);
      d->AddAttribute(AttrFloat, "Value", RV_OFFSETOF(DriverTestFx, value));
      d->AddAttribute(AttrFloat, "Ranged", RV_OFFSETOF(DriverTestFx, ranged))->SetRange(-2.0f, 3.0f);
      d->AddAttribute(AttrInt, "Count", RV_OFFSETOF(DriverTestFx, count));
      d->AddAttribute(AttrFrame, "Frame", RV_OFFSETOF(DriverTestFx, frame));
      d->AddAttribute(AttrEnum, "Choice", RV_OFFSETOF(DriverTestFx, choice));
      d->AddAttribute(AttrBool, "Flag", RV_OFFSETOF(DriverTestFx, flag));
      d->AddAttribute(AttrString, "Text", RV_OFFSETOF(DriverTestFx, text));
      d->AddAttribute(AttrRGBA, "Color", RV_OFFSETOF(DriverTestFx, color));
      return d;
    }();
    return desc;
  }

  DriverTestFx() : fxBase(Desc()) {}

  AttributeDesc* Attr(const char* name) const { return Desc()->FindAttribute(name); }

  float value = 0.0f;
  float ranged = 0.0f;
  int count = 0;
  int frame = 0;
  int choice = 0;
  bool flag = false;
  std::string text;
  float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};
