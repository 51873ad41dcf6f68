// An effect with one attribute of every kind a driver writes, for the driver
// tests: drivers act on real attribute descriptors and a real fxBase clock.
#pragma once
#include <string>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"

class DriverTestFx : public fxBase {
 public:
  // Built once per process; a class description lives as long as the process.
  static ClassDesc* Desc() {
    static ClassDesc desc("DriverTestFx", nullptr, nullptr);
    if (desc.m_attributes.empty()) {
      desc.AddAttribute(AttrFloat, "Value", RV_OFFSETOF(DriverTestFx, value));
      desc.AddAttribute(AttrFloat, "Ranged", RV_OFFSETOF(DriverTestFx, ranged))->SetRange(-2.0f, 3.0f);
      desc.AddAttribute(AttrInt, "Count", RV_OFFSETOF(DriverTestFx, count));
      desc.AddAttribute(AttrFrame, "Frame", RV_OFFSETOF(DriverTestFx, frame));
      desc.AddAttribute(AttrEnum, "Choice", RV_OFFSETOF(DriverTestFx, choice));
      desc.AddAttribute(AttrBool, "Flag", RV_OFFSETOF(DriverTestFx, flag));
      desc.AddAttribute(AttrString, "Text", RV_OFFSETOF(DriverTestFx, text));
      desc.AddAttribute(AttrRGBA, "Color", RV_OFFSETOF(DriverTestFx, color));
    }
    return &desc;
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
