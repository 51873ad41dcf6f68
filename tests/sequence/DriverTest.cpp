// The driver base: factory by type code, writing values into attributes,
// persisted members, bad JSON, icons, and drivers travelling through an
// effect's "_apAttribDrivers".
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <typeinfo>

#include "DriverTestFx.h"
#include "sequence/Driver.h"
#include "sequence/DriverExpression.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/DriverProcedural.h"
#include "support/JsonText.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(DriverFactory, MakesTheClassOfEachTypeCode) {
  DriverTestFx fx;
  struct Case {
    int code;
    const std::type_info* type;  // null: no driver
  };
  const Case cases[] = {
      {0, nullptr},
      {1, &typeid(KeyFrameDriver)},
      {2, &typeid(SinusDriver)},
      {3, &typeid(TriangleDriver)},
      {4, &typeid(NoiseDriver)},
      {5, &typeid(ExpressionDriver)},
      {6, nullptr},
      {7, &typeid(VariableDriver)},
      {8, nullptr},
      {100, nullptr},
      {255, nullptr},
  };
  for (const Case& c : cases) {
    std::unique_ptr<NoneDriver> d(CreateDriver(&fx, static_cast<uint8_t>(c.code), fx.Attr("Value")));
    if (!c.type) {
      EXPECT_EQ(d, nullptr) << c.code;
      continue;
    }
    ASSERT_NE(d, nullptr) << c.code;
    EXPECT_EQ(typeid(*d), *c.type) << c.code;
    EXPECT_EQ(d->GetType(), c.code);
    EXPECT_EQ(d->_eType, c.code);
    EXPECT_EQ(d->_attribName, "Value");
    EXPECT_EQ(d->m_name, "Value");
    EXPECT_EQ(d->GetEffect(), &fx);
    EXPECT_EQ(d->GetAttribute(), fx.Attr("Value"));
    EXPECT_TRUE(d->m_bVisible);
  }
}

TEST(DriverFactory, BaseDefaults) {
  DriverTestFx fx;
  std::unique_ptr<NoneDriver> d(CreateDriver(&fx, DriverTriangle, fx.Attr("Value")));
  EXPECT_EQ(d->_fMin, 0.0f);
  EXPECT_EQ(d->_fMax, 1.0f);
  EXPECT_EQ(d->_fPeriod, 2.0f);
  EXPECT_EQ(d->_fPhase, 0.0f);
  EXPECT_TRUE(d->HasKeys());
  EXPECT_FALSE(d->IsKeyAt(0.0f));
  EXPECT_FALSE(d->HasKeyInRange(-100.0f, 100.0f));
}

// Values are fed through a variable driver, which answers exactly the value
// of its table entry (or infinity without one).
TEST(DriverApply, WritesByAttributeType) {
  struct Case {
    const char* attribute;
    float value;
    double expected;  // read back as a double from the attribute's storage
  };
  const double unchanged = 7.0;  // every attribute starts at 7 (true for the flag)
  const Case cases[] = {
      {"Value", 2.5f, 2.5},
      {"Value", -kInf, -kInf},
      {"Value", kInf, unchanged},  // positive infinity: no value
      {"Count", 2.5f, 3.0},        // halves away from zero
      {"Count", -2.5f, -3.0},
      {"Count", 2.49f, 2.0},
      {"Count", 1e20f, INT_MAX},   // saturates instead of overflowing
      {"Count", -1e20f, INT_MIN},
      {"Count", -kInf, INT_MIN},
      {"Count", kNaN, unchanged},
      {"Count", kInf, unchanged},
      {"Frame", 59.5f, 60.0},
      {"Choice", 1.49f, 1.0},
      {"Flag", 0.6f, 1.0},
      {"Flag", -0.6f, 1.0},
      {"Flag", 0.5f, 0.0},
      {"Flag", -0.5f, 0.0},
      {"Flag", kNaN, 1.0},         // unchanged
      {"Text", 1.0f, unchanged},   // no number to write into
      {"Color", 1.0f, unchanged},  // compound: driven through its leaves
  };
  for (const Case& c : cases) {
    DriverTestFx fx;
    fx.value = fx.count = fx.frame = fx.choice = 7;
    fx.flag = true;
    fx.text = "7";
    for (float& channel : fx.color) channel = 7.0f;
    std::unique_ptr<NoneDriver> d(CreateDriver(&fx, DriverVariable, fx.Attr(c.attribute)));
    static_cast<VariableDriver&>(*d)._sVarName = "v";
    GetDriverVariables() = {{"v", c.value}};
    d->Apply();
    const std::string name = c.attribute;
    const double got = name == "Value"    ? fx.value
                       : name == "Count"  ? fx.count
                       : name == "Frame"  ? fx.frame
                       : name == "Choice" ? fx.choice
                       : name == "Flag"   ? (fx.flag ? 1.0 : 0.0)
                       : name == "Text"   ? std::stod(fx.text)
                                          : fx.color[0];
    EXPECT_EQ(got, c.expected) << c.attribute << " <- " << c.value;
  }
  GetDriverVariables().clear();
}

TEST(DriverApply, NaNReachesAFloatAttribute) {
  DriverTestFx fx;
  fx.value = 1.0f;
  std::unique_ptr<NoneDriver> d(CreateDriver(&fx, DriverExpression, fx.Attr("Value")));
  static_cast<ExpressionDriver&>(*d)._sExpression = "x +";  // does not compile
  d->Apply();
  EXPECT_TRUE(std::isnan(fx.value));
}

TEST(DriverApply, EvaluatesAtTheEffectsLocalTime) {
  DriverTestFx fx;
  std::unique_ptr<NoneDriver> d(CreateDriver(&fx, DriverExpression, fx.Attr("Value")));
  static_cast<ExpressionDriver&>(*d)._sExpression = "x*10";
  const float times[] = {0.0f, 0.25f, 1.5f};
  for (float t : times) {
    fx.m_localTime = t;
    d->Apply();
    EXPECT_EQ(fx.value, t * 10.0f);
  }
}

TEST(DriverJson, KeyFrameEntryHasEveryRegisteredMember) {
  DriverTestFx fx;
  std::unique_ptr<NoneDriver> d(CreateDriver(&fx, DriverKeyFrame, fx.Attr("Value")));
  auto& keys = static_cast<KeyFrameDriver&>(*d);
  keys._aKeys.push_back(KeyFrame{0.5f, 1.0f, 0x3F800000u});  // the id's bits are those of 1.0f
  Json::Value obj;
  d->Save(obj);
  const std::vector<std::string> members = obj.getMemberNames();
  EXPECT_EQ(std::set<std::string>(members.begin(), members.end()),
            (std::set<std::string>{"_eType", "_attribName", "_fMin", "_fMax", "_fPeriod", "_fPhase",
                                   "_eInterpolation", "_aKeys", "_fParams"}));
  EXPECT_EQ(obj["_eType"], Json::Value(1));
  EXPECT_EQ(obj["_attribName"], Json::Value("Value"));
  EXPECT_EQ(obj["_fMin"].asDouble(), 0.0);
  EXPECT_EQ(obj["_fMax"].asDouble(), 1.0);
  EXPECT_EQ(obj["_fPeriod"].asDouble(), 2.0);
  EXPECT_EQ(obj["_fPhase"].asDouble(), 0.0);
  EXPECT_EQ(obj["_eInterpolation"], Json::Value(2));
  ASSERT_TRUE(obj["_aKeys"].isArray());
  ASSERT_EQ(obj["_aKeys"].size(), 1u);
  EXPECT_EQ(obj["_aKeys"][0]["x"].asDouble(), 0.5);
  EXPECT_EQ(obj["_aKeys"][0]["y"].asDouble(), 1.0);
  EXPECT_EQ(obj["_aKeys"][0]["z"].asDouble(), 1.0);
  ASSERT_TRUE(obj["_fParams"].isArray());
  EXPECT_EQ(obj["_fParams"].size(), 2u);
}

TEST(DriverJson, BaseMembersRoundTrip) {
  DriverTestFx fx;
  std::unique_ptr<NoneDriver> a(CreateDriver(&fx, DriverNoise, fx.Attr("Value")));
  a->_fMin = -0.1f;
  a->_fMax = 3.3f;
  a->_fPeriod = 0.7f;
  a->_fPhase = 0.123456789f;
  Json::Value obj;
  a->Save(obj);
  std::unique_ptr<NoneDriver> b(CreateDriver(&fx, DriverNoise, fx.Attr("Value")));
  b->Load(obj);
  EXPECT_EQ(b->_fMin, a->_fMin);
  EXPECT_EQ(b->_fMax, a->_fMax);
  EXPECT_EQ(b->_fPeriod, a->_fPeriod);
  EXPECT_EQ(b->_fPhase, a->_fPhase);
}

TEST(DriverJson, ValuesOfTheWrongTypeAreSkipped) {
  DriverTestFx fx;
  std::unique_ptr<NoneDriver> d(CreateDriver(&fx, DriverSinus, fx.Attr("Value")));
  d->Load(ParseJson(R"({"_eType": "2", "_attribName": 5, "_fMin": "abc", "_fMax": [1],
                    "_fPeriod": {"x": 1}, "_fPhase": null, "_Count": true,
                    "_Period": "fast", "_Phase": [0.25, "b", {}, null]})"));
  const auto& sine = static_cast<const SinusDriver&>(*d);
  EXPECT_EQ(d->_eType, 2);
  EXPECT_EQ(d->_attribName, "Value");
  EXPECT_EQ(d->_fMin, 0.0f);
  EXPECT_EQ(d->_fMax, 1.0f);
  EXPECT_EQ(d->_fPeriod, 2.0f);
  EXPECT_EQ(d->_fPhase, 0.0f);
  EXPECT_EQ(sine._Count, 1);
  EXPECT_EQ(sine._Period[0], 2.0f);
  EXPECT_EQ(sine._Phase[0], 0.25f);
  // Loading something that is not an object changes nothing and never throws.
  const char* notObjects[] = {"null", "[1, 2]", "\"text\"", "12"};
  for (const char* text : notObjects) {
    d->Load(ParseJson(text));
    EXPECT_EQ(d->_fMax, 1.0f) << text;
  }
}

TEST(DriverJson, TypeAndTargetStayWhatTheFactoryMade) {
  DriverTestFx fx;
  // A loader passes the low 8 bits: 257 made a key-frame driver.
  std::unique_ptr<NoneDriver> d(CreateDriver(&fx, static_cast<uint8_t>(257 & 0xFF), fx.Attr("Value")));
  d->Load(ParseJson(R"({"_eType": 257, "_attribName": "LegacyValue"})"));
  Json::Value obj;
  d->Save(obj);
  EXPECT_EQ(obj["_eType"], Json::Value(1));
  EXPECT_EQ(obj["_attribName"], Json::Value("Value"));
}

TEST(DriverIcons, OneGlyphPerTypeCode) {
  const char32_t expected[] = {0xE836, 0xF112, 0xF15D, 0xF15F, 0xF159, 0xE24A, 0xF145, 0xE0D9};
  for (int code = 0; code < 8; ++code) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(GetDriverIcon(code));
    ASSERT_EQ(strlen(reinterpret_cast<const char*>(s)), 3u) << code;
    const char32_t cp = ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
    EXPECT_EQ(s[0] & 0xF0u, 0xE0u);
    EXPECT_EQ(cp, expected[code]) << code;
  }
  EXPECT_STREQ(GetDriverIcon(-1), "");
  EXPECT_STREQ(GetDriverIcon(8), "");
}

TEST(DriverJson, EffectLoadsOnlyKnownTypesOnKnownAttributes) {
  DriverTestFx fx;
  fx.LoadDrivers(ParseJson(R"({"_apAttribDrivers": [
      {"_eType": 6, "_attribName": "Value"},
      {"_eType": 2, "_attribName": "Value", "_fMax": 4},
      {"_eType": 0, "_attribName": "Value"},
      {"_eType": 8, "_attribName": "Value"},
      {"_eType": 257, "_attribName": "Count", "_aKeys": [{"x": 0, "y": 5, "z": 0}]},
      {"_eType": 1, "_attribName": "NoSuchAttribute"},
      {"_eType": "5", "_attribName": "Value"},
      {"_attribName": "Value"},
      42
  ]})"));
  ASSERT_EQ(fx.m_drivers.size(), 2u);
  EXPECT_EQ(fx.m_drivers[0]->GetType(), DriverSinus);
  EXPECT_EQ(fx.m_drivers[0]->_fMax, 4.0f);
  EXPECT_EQ(fx.m_drivers[1]->GetType(), DriverKeyFrame);
  EXPECT_EQ(fx.m_drivers[1]->GetAttribute(), fx.Attr("Count"));

  Json::Value saved;
  fx.SaveDrivers(saved);
  ASSERT_EQ(saved["_apAttribDrivers"].size(), 2u);
  EXPECT_EQ(saved["_apAttribDrivers"][0]["_eType"], Json::Value(2));
  EXPECT_EQ(saved["_apAttribDrivers"][1]["_eType"], Json::Value(1));

  // What was saved loads back into the same drivers.
  DriverTestFx copy;
  copy.LoadDrivers(saved);
  ASSERT_EQ(copy.m_drivers.size(), 2u);
  copy.m_localTime = 0.5f;
  copy.ApplyDrivers();
  EXPECT_EQ(copy.value, 4.0f);  // sine peak at a quarter cycle, mapped to 0..4
  EXPECT_EQ(copy.count, 5);
}

}  // namespace
