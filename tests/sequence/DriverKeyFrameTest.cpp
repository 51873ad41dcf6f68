// Key-frame driver: every interpolation mode, the key operations the
// recorders and the curve editor use, and "_aKeys" in JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "DriverTestFx.h"
#include "sequence/DriverKeyFrame.h"
#include "support/JsonText.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

std::unique_ptr<KeyFrameDriver> MakeDriver(fxBase* fx, AttributeDesc* attribute) {
  return std::unique_ptr<KeyFrameDriver>(
      static_cast<KeyFrameDriver*>(CreateDriver(fx, DriverKeyFrame, attribute)));
}

struct Key {
  float time;
  float value;
};

struct InterpCase {
  const char* what;
  int interpolation;
  float p0, p1;
  std::vector<Key> keys;
  float t;
  float expected;
};

TEST(KeyFrameInterpolation, EveryModeAgainstHandValues) {
  const std::vector<Key> rise = {{0.0f, 0.0f}, {1.0f, 10.0f}};
  const std::vector<Key> bump = {{0.0f, 0.0f}, {1.0f, 1.0f}, {2.0f, 0.0f}};
  const std::vector<Key> flat3 = {{0.0f, 0.0f}, {1.0f, 0.0f}, {2.0f, 0.0f}};
  const std::vector<Key> line4 = {{0.0f, 0.0f}, {1.0f, 1.0f}, {2.0f, 2.0f}, {3.0f, 3.0f}};
  // The first segment is a held step of one frame.
  const std::vector<Key> stepThenCurve = {{0.0f, 0.0f}, {1.0f / 60.0f, 5.0f}, {1.0f, 6.0f}, {2.0f, 7.0f}};
  const float mid = (1.0f / 60.0f + 1.0f) / 2.0f;
  const std::vector<InterpCase> cases = {
      {"no keys", InterpLinear, 0, 0, {}, 0.5f, kInf},
      {"one key before", InterpSpline, 0, 0, {{0.5f, 3.0f}}, 0.0f, 3.0f},
      {"one key after", InterpSpline, 0, 0, {{0.5f, 3.0f}}, 10.0f, 3.0f},
      {"before the first", InterpLinear, 0, 0, rise, -1.0f, 0.0f},
      {"after the last", InterpLinear, 0, 0, rise, 5.0f, 10.0f},
      {"on a key", InterpLinear, 0, 0, bump, 1.0f, 1.0f},
      {"none holds", InterpNone, 0, 0, rise, 0.9f, 0.0f},
      {"linear", InterpLinear, 0, 0, rise, 0.25f, 2.5f},
      {"linear second segment", InterpLinear, 0, 0, bump, 1.5f, 0.5f},
      {"smoothstep", InterpSmoothstep, 0, 0, rise, 0.25f, 10.0f * 0.0625f * 2.5f},
      {"spline end segment clamps P0", InterpSpline, 0, 0, bump, 0.5f, 0.5625f},
      {"spline last segment clamps P3", InterpSpline, 0, 0, bump, 1.5f, 0.5625f},
      {"spline keeps a line straight", InterpSpline, 0, 0, line4, 1.5f, 1.5f},
      // P0 = 5 - (6 - 5) / 2 = 4.5 instead of following the step down to 0:
      // 0.5 (-0.125 * 4.5 + 1.125 * 5 + 1.125 * 6 - 0.125 * 7).
      {"spline ignores a held neighbour", InterpSpline, 0, 0, stepThenCurve, mid, 5.46875f},
      {"bounce first segment", InterpBounce, 0.1f, 0.5f, flat3, 0.5f, 1.0f},
      {"bounce shrinks by 1-P1", InterpBounce, 0.1f, 0.5f, flat3, 1.5f, 0.5f},
      {"bounce quarter", InterpBounce, 0.1f, 0.0f, rise, 0.25f, 2.5f + 0.70710678f},
      {"easy in, power 0", InterpEasyIn, 0, 0, {{0, 0}, {1, 1}}, 0.6f, 0.2f},
      {"easy in, power 0.1 gives e = 3", InterpEasyIn, 0.1f, 0, {{0, 0}, {1, 1}}, 0.5f,
       1.0f - 0.93541435f},
      {"easy out, power 0", InterpEasyOut, 0, 0, {{0, 0}, {1, 1}}, 0.4f, 0.8f},
      {"easy in-out, odd segment eases in", InterpEasyInOut, 0, 0, bump, 0.6f, 0.2f},
      {"easy in-out, even segment eases out", InterpEasyInOut, 0, 0, bump, 1.4f, 1.0f - 0.8f},
      {"unknown code between keys", 9, 0, 0, rise, 0.5f, kInf},
      {"unknown code before the keys", 9, 0, 0, rise, -1.0f, 0.0f},
      {"unknown code after the keys", 9, 0, 0, rise, 2.0f, 10.0f},
      {"negative code", -1, 0, 0, rise, 0.5f, kInf},
      {"shorter than two frames holds", InterpLinear, 0, 0, {{0, 1}, {1.0f / 60.0f, 2}}, 0.01f, 1.0f},
      {"two frames interpolate", InterpLinear, 0, 0, {{0, 1}, {2.0f / 60.0f, 2}}, 1.0f / 60.0f, 1.5f},
      {"unknown code on a held step", 9, 0, 0, {{0, 1}, {1.0f / 60.0f, 2}}, 0.01f, 1.0f},
  };
  DriverTestFx fx;
  for (const InterpCase& c : cases) {
    auto d = MakeDriver(&fx, fx.Attr("Value"));
    d->_eInterpolation = c.interpolation;
    d->_fParams[0] = c.p0;
    d->_fParams[1] = c.p1;
    for (const Key& k : c.keys) d->_aKeys.push_back(KeyFrame{k.time, k.value, 0});
    const float got = d->Evaluate(c.t);
    if (std::isinf(c.expected))
      EXPECT_EQ(got, c.expected) << c.what;
    else
      EXPECT_NEAR(got, c.expected, 1e-5f) << c.what;
  }
}

TEST(KeyFrameInterpolation, EmptyDriverLeavesTheAttribute) {
  DriverTestFx fx;
  fx.value = 42.0f;
  auto d = MakeDriver(&fx, fx.Attr("Value"));
  EXPECT_FALSE(d->HasKeys());
  d->Apply();
  EXPECT_EQ(fx.value, 42.0f);
  EXPECT_EQ(d->Evaluate(std::numeric_limits<float>::quiet_NaN()), kInf);
}

TEST(KeyFrameKeys, SetKeyAtCurrentTimeSnapsToFrames) {
  DriverTestFx fx;
  auto d = MakeDriver(&fx, fx.Attr("Value"));
  fx.value = 4.0f;
  fx.m_localTime = 1.2583f;
  EXPECT_EQ(d->SetKeyAtCurrentTime(), 0);
  ASSERT_EQ(d->_aKeys.size(), 1u);
  EXPECT_EQ(d->_aKeys[0].time, 75.0f / 60.0f);
  EXPECT_EQ(d->_aKeys[0].value, 4.0f);
  const uint32_t id = d->_aKeys[0].id;

  // Same frame again: only the value changes.
  fx.value = 6.0f;
  fx.m_localTime = 1.25f;
  EXPECT_EQ(d->SetKeyAtCurrentTime(), 0);
  ASSERT_EQ(d->_aKeys.size(), 1u);
  EXPECT_EQ(d->_aKeys[0].value, 6.0f);
  EXPECT_EQ(d->_aKeys[0].id, id);

  // An earlier key goes first; the index returned is the sorted one.
  fx.value = 1.0f;
  fx.m_localTime = 0.5f;
  EXPECT_EQ(d->SetKeyAtCurrentTime(), 0);
  ASSERT_EQ(d->_aKeys.size(), 2u);
  EXPECT_EQ(d->_aKeys[0].time, 0.5f);
  EXPECT_EQ(d->_aKeys[1].time, 75.0f / 60.0f);
  EXPECT_TRUE(d->HasKeys());
}

TEST(KeyFrameKeys, RecordsTheAttributesNumberByType) {
  struct Case {
    const char* attribute;
    float expected;
  };
  const Case cases[] = {{"Count", -3.0f}, {"Frame", 120.0f}, {"Choice", 2.0f}, {"Flag", 1.0f},
                        {"Text", 0.0f}};
  for (const Case& c : cases) {
    DriverTestFx fx;
    fx.count = -3;
    fx.frame = 120;
    fx.choice = 2;
    fx.flag = true;
    fx.text = "5";
    auto d = MakeDriver(&fx, fx.Attr(c.attribute));
    ASSERT_EQ(d->SetKeyAtCurrentTime(), 0);
    EXPECT_EQ(d->_aKeys[0].value, c.expected) << c.attribute;
  }
}

std::unique_ptr<KeyFrameDriver> ThreeKeys(DriverTestFx& fx, uint32_t firstId) {
  auto d = MakeDriver(&fx, fx.Attr("Value"));
  for (int i = 0; i < 3; ++i)
    d->_aKeys.push_back(KeyFrame{static_cast<float>(i), static_cast<float>(10 * i),
                                 firstId == 0 ? 0u : firstId + static_cast<uint32_t>(i)});
  return d;
}

std::vector<float> Times(const KeyFrameDriver& d) {
  std::vector<float> t;
  for (const KeyFrame& k : d._aKeys) t.push_back(k.time);
  return t;
}

TEST(KeyFrameKeys, MoveKeyOntoAnotherKeyReplacesIt) {
  DriverTestFx fx;
  auto d = ThreeKeys(fx, 1);
  EXPECT_EQ(d->MoveKey(0, 1.0f, 9.0f), 0);
  EXPECT_EQ(Times(*d), (std::vector<float>{1.0f, 2.0f}));
  EXPECT_EQ(d->_aKeys[0].value, 9.0f);
  EXPECT_EQ(d->_aKeys[0].id, 1u);

  d = ThreeKeys(fx, 1);
  EXPECT_EQ(d->MoveKey(2, 0.0f, 7.0f), 0);
  EXPECT_EQ(Times(*d), (std::vector<float>{0.0f, 1.0f}));
  EXPECT_EQ(d->_aKeys[0].id, 3u);
  EXPECT_EQ(d->_aKeys[0].value, 7.0f);
}

TEST(KeyFrameKeys, MoveKeySnapsAndResorts) {
  DriverTestFx fx;
  auto d = ThreeKeys(fx, 1);
  // The index returned is the one after sorting, so a drag that passes a
  // neighbour keeps holding the key it grabbed.
  EXPECT_EQ(d->MoveKey(0, 1.51f, 3.0f), 1);
  EXPECT_EQ(Times(*d), (std::vector<float>{1.0f, 91.0f / 60.0f, 2.0f}));
  EXPECT_EQ(d->_aKeys[1].id, 1u);
  EXPECT_EQ(d->MoveKey(1, 2.5f, 3.0f), 2);
  EXPECT_EQ(d->_aKeys[2].id, 1u);
  EXPECT_EQ(d->MoveKey(5, 0.0f, 0.0f), -1);
  EXPECT_EQ(d->MoveKey(-1, 0.0f, 0.0f), -1);
  EXPECT_EQ(d->MoveKey(0, std::numeric_limits<float>::quiet_NaN(), 0.0f), -1);
  EXPECT_EQ(d->_aKeys.size(), 3u);
}

TEST(KeyFrameKeys, MoveKeyMovesTheRightKeyWhenIdsRepeat) {
  // Keys loaded from entries without "z" all carry id 0.
  DriverTestFx fx;
  auto d = ThreeKeys(fx, 0);
  d->MoveKey(2, 0.5f, 4.0f);
  EXPECT_EQ(Times(*d), (std::vector<float>{0.0f, 0.5f, 1.0f}));
  EXPECT_EQ(d->_aKeys[0].value, 0.0f);
  EXPECT_EQ(d->_aKeys[1].value, 4.0f);
  EXPECT_EQ(d->_aKeys[2].value, 10.0f);
}

TEST(KeyFrameKeys, DeleteFindAndRanges) {
  DriverTestFx fx;
  auto d = MakeDriver(&fx, fx.Attr("Value"));
  d->_aKeys = {{0.5f, 1.0f, 1}, {2.5f, 2.0f, 2}};
  EXPECT_FALSE(d->HasKeyInRange(1.0f, 2.0f));
  EXPECT_TRUE(d->HasKeyInRange(0.0f, 0.5f));
  EXPECT_TRUE(d->HasKeyInRange(2.5f, 2.5f));
  EXPECT_FALSE(d->HasKeyInRange(3.0f, 9.0f));
  d->_aKeys.insert(d->_aKeys.begin() + 1, KeyFrame{2.0f, 3.0f, 3});
  EXPECT_TRUE(d->HasKeyInRange(1.0f, 2.0f));
  EXPECT_EQ(d->FindKeyAt(2.0f), 1);
  EXPECT_EQ(d->FindKeyAt(2.0001f), -1);
  EXPECT_TRUE(d->IsKeyAt(2.5f));
  EXPECT_FALSE(d->IsKeyAt(1.0f));
  d->DeleteKey(3);
  d->DeleteKey(-1);
  EXPECT_EQ(d->_aKeys.size(), 3u);
  d->DeleteKey(1);
  EXPECT_EQ(Times(*d), (std::vector<float>{0.5f, 2.5f}));
}

TEST(KeyFrameJson, KeysRoundTripWithTheirIds) {
  DriverTestFx fx;
  auto a = MakeDriver(&fx, fx.Attr("Value"));
  a->_eInterpolation = InterpBounce;
  a->_fParams[0] = 0.25f;
  a->_fParams[1] = 0.75f;
  a->_aKeys = {{0.0f, -1.5f, 0x3F800000u}, {1.0f / 60.0f, 0.1f, 0x40490FDBu},
               {125.0f / 60.0f, 1e6f, 12345u}, {10.0f, 0.0f, 0u}};
  Json::Value obj;
  a->Save(obj);
  auto b = MakeDriver(&fx, fx.Attr("Value"));
  b->Load(obj);
  EXPECT_EQ(b->_eInterpolation, InterpBounce);
  EXPECT_EQ(b->_fParams[0], 0.25f);
  EXPECT_EQ(b->_fParams[1], 0.75f);
  ASSERT_EQ(b->_aKeys.size(), a->_aKeys.size());
  for (size_t i = 0; i < a->_aKeys.size(); ++i) {
    EXPECT_EQ(b->_aKeys[i].time, a->_aKeys[i].time) << i;
    EXPECT_EQ(b->_aKeys[i].value, a->_aKeys[i].value) << i;
    EXPECT_EQ(b->_aKeys[i].id, a->_aKeys[i].id) << i;
  }
}

TEST(KeyFrameJson, LoadingKeysFromFiles) {
  struct Case {
    const char* json;
    std::vector<float> times;  // after loading into a driver holding keys at 7 and 8
  };
  const Case cases[] = {
      {R"({})", {7.0f, 8.0f}},                       // absent: kept
      {R"({"_aKeys": null})", {7.0f, 8.0f}},         // null: kept
      {R"({"_aKeys": "keys"})", {7.0f, 8.0f}},       // wrong type: kept
      {R"({"_aKeys": []})", {}},                     // empty array: emptied
      {R"({"_aKeys": [{"x": 2, "y": 1}, {"x": 1, "y": 2}, {"x": 0.5}]})", {0.5f, 1.0f, 2.0f}},
  };
  DriverTestFx fx;
  for (const Case& c : cases) {
    auto d = MakeDriver(&fx, fx.Attr("Value"));
    d->_aKeys = {{7.0f, 0.0f, 1}, {8.0f, 0.0f, 2}};
    d->Load(ParseJson(c.json));
    EXPECT_EQ(Times(*d), c.times) << c.json;
  }
}

TEST(KeyFrameJson, DriverWithoutKeysSavesNoKeyList) {
  DriverTestFx fx;
  auto d = MakeDriver(&fx, fx.Attr("Value"));
  Json::Value obj;
  d->Save(obj);
  EXPECT_FALSE(obj.isMember("_aKeys"));
  EXPECT_TRUE(obj.isMember("_eInterpolation"));
}

}  // namespace
