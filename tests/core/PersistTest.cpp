// Member persistence: the JSON form of every kind, bit-exact round trips,
// the rules for missing, null and short values, values of the wrong type
// (skipped, never thrown), growable lists of foreign element types, and the
// walk over child objects.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "core/rvpersist.h"
#include "support/LogCapture.h"
#include "support/JsonText.h"

namespace {

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

float FromBits(uint32_t u) {
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

// A key frame as the key-frame driver keeps it: the id travels as float bits.
struct Key {
  float time;
  float value;
  uint32_t id;
};

// Every kind, single values and fixed arrays, plus the growable lists.
struct AllKinds : rvpersist {
  bool b = false;
  int i = 0;
  float f = 0.0f;
  glm::vec2 v2 = glm::vec2(0.0f);
  glm::vec3 v3 = glm::vec3(0.0f);
  std::string s;
  float fa[4] = {0, 0, 0, 0};
  int ia[3] = {0, 0, 0};
  glm::vec2 v2a[2] = {glm::vec2(0.0f), glm::vec2(0.0f)};
  glm::vec3 v3a[2] = {glm::vec3(0.0f), glm::vec3(0.0f)};
  std::vector<glm::vec2> l2;
  std::vector<glm::vec3> l3;
  std::vector<Key> keys;

  AllKinds() : rvpersist("all") {
    AddBool("_bFlag", &b);
    AddInt("_nCount", &i);
    AddFloat("_fValue", &f);
    AddMember("_v2", PersistVec2, &v2);
    AddMember("_v3", PersistVec3, &v3);
    AddString("_sText", &s);
    AddFloat("_fParams", fa, 4);
    AddMember("_nInts", PersistInt, ia, 3);
    AddMember("_aV2", PersistVec2, v2a, 2);
    AddMember("_aV3", PersistVec3, v3a, 2);
    AddMember("_aL2", PersistVec2List, &l2);
    AddMember("_aL3", PersistVec3List, static_cast<void*>(&l3));
    AddMember("_aKeys", PersistVec3List, &keys);
  }

  void Fill() {
    b = true;
    i = -2147483647 - 1;
    f = 0.1f;
    v2 = glm::vec2(1.0f / 3.0f, -0.0f);
    v3 = glm::vec3(std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(),
                   -16777217.0f);
    s = "..\\tools\\ffmpeg\\ffmpeg.exe \"quoted\" \xc3\xa9";
    fa[0] = 3.14159274f;
    fa[1] = 1e-30f;
    fa[2] = -2.5f;
    fa[3] = std::numeric_limits<float>::min();
    ia[0] = 2147483647;
    ia[1] = -5;
    ia[2] = 0;
    v2a[0] = glm::vec2(0.7f, 0.3f);
    v2a[1] = glm::vec2(-1e10f, 1e-10f);
    v3a[0] = glm::vec3(1.1f, 2.2f, 3.3f);
    v3a[1] = glm::vec3(4.4f, 5.5f, 6.6f);
    l2 = {glm::vec2(0.5f, 0.25f), glm::vec2(9.9f, -9.9f)};
    l3 = {glm::vec3(0.01f, 0.02f, 0.03f)};
    keys = {{0.5f, 1.0f, 0x12345678u}, {74.0f / 60.0f, -0.33f, 0x3F800001u}};
  }
};

void ExpectSameBits(const AllKinds& a, const AllKinds& b) {
  EXPECT_EQ(a.b, b.b);
  EXPECT_EQ(a.i, b.i);
  EXPECT_EQ(Bits(a.f), Bits(b.f));
  for (int c = 0; c < 2; ++c) EXPECT_EQ(Bits(a.v2[c]), Bits(b.v2[c])) << "v2 " << c;
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Bits(a.v3[c]), Bits(b.v3[c])) << "v3 " << c;
  EXPECT_EQ(a.s, b.s);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Bits(a.fa[k]), Bits(b.fa[k])) << "fa " << k;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(a.ia[k], b.ia[k]) << "ia " << k;
  for (int k = 0; k < 2; ++k)
    for (int c = 0; c < 2; ++c) EXPECT_EQ(Bits(a.v2a[k][c]), Bits(b.v2a[k][c])) << k << c;
  for (int k = 0; k < 2; ++k)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Bits(a.v3a[k][c]), Bits(b.v3a[k][c])) << k << c;
  ASSERT_EQ(a.l2.size(), b.l2.size());
  for (size_t k = 0; k < a.l2.size(); ++k) EXPECT_EQ(a.l2[k], b.l2[k]);
  ASSERT_EQ(a.l3.size(), b.l3.size());
  for (size_t k = 0; k < a.l3.size(); ++k) EXPECT_EQ(a.l3[k], b.l3[k]);
  ASSERT_EQ(a.keys.size(), b.keys.size());
  for (size_t k = 0; k < a.keys.size(); ++k) {
    EXPECT_EQ(Bits(a.keys[k].time), Bits(b.keys[k].time));
    EXPECT_EQ(Bits(a.keys[k].value), Bits(b.keys[k].value));
    EXPECT_EQ(a.keys[k].id, b.keys[k].id);
  }
}

}  // namespace

TEST(Persist, EveryKindRoundTripsBitExactThroughJsonValues) {
  AllKinds source;
  source.Fill();
  Json::Value saved;
  source.Save(saved);
  AllKinds loaded;
  loaded.Load(saved);
  ExpectSameBits(source, loaded);
}

TEST(Persist, EveryKindRoundTripsBitExactThroughJsonText) {
  AllKinds source;
  source.Fill();
  Json::Value saved;
  source.Save(saved);
  Json::StreamWriterBuilder writer;
  const std::string text = Json::writeString(writer, saved);
  AllKinds loaded;
  loaded.Load(ParseJson(text));
  ExpectSameBits(source, loaded);
}

TEST(Persist, SavedValuesHaveTheJsonFormOfTheirKind) {
  AllKinds source;
  source.Fill();
  Json::Value o;
  source.Save(o);
  EXPECT_TRUE(o["_bFlag"].isBool());
  EXPECT_TRUE(o["_nCount"].isInt());
  EXPECT_EQ(o["_nCount"].asInt(), -2147483647 - 1);
  // The float widened to double, not re-rounded to a short decimal.
  ASSERT_TRUE(o["_fValue"].isDouble());
  EXPECT_EQ(o["_fValue"].asDouble(), static_cast<double>(0.1f));
  EXPECT_EQ(o["_v2"].getMemberNames(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(o["_v3"].getMemberNames(), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(o["_v3"]["z"].asDouble(), -16777216.0);  // -16777217 is not a float
  EXPECT_TRUE(o["_sText"].isString());
  ASSERT_TRUE(o["_fParams"].isArray());
  EXPECT_EQ(o["_fParams"].size(), 4u);
  EXPECT_EQ(o["_fParams"][2].asDouble(), -2.5);
  EXPECT_EQ(o["_nInts"].size(), 3u);
  EXPECT_TRUE(o["_nInts"][0].isInt());
  ASSERT_EQ(o["_aV2"].size(), 2u);
  EXPECT_EQ(o["_aV2"][1]["x"].asDouble(), static_cast<double>(-1e10f));
  ASSERT_EQ(o["_aV3"].size(), 2u);
  EXPECT_EQ(o["_aV3"][0].getMemberNames(), (std::vector<std::string>{"x", "y", "z"}));
  ASSERT_EQ(o["_aL2"].size(), 2u);
  EXPECT_EQ(o["_aL2"][0].getMemberNames(), (std::vector<std::string>{"x", "y"}));
  ASSERT_EQ(o["_aKeys"].size(), 2u);
  // {"x": time, "y": value, "z": the id's bits read as a float}
  EXPECT_EQ(o["_aKeys"][0]["x"].asDouble(), 0.5);
  EXPECT_EQ(o["_aKeys"][0]["y"].asDouble(), 1.0);
  EXPECT_EQ(o["_aKeys"][1]["z"].asDouble(), static_cast<double>(FromBits(0x3F800001u)));
  EXPECT_EQ(o.size(), 13u);
}

TEST(Persist, EmptyListsWriteNothingAndAbsentListsKeepTheirElements) {
  AllKinds empty;
  Json::Value o;
  empty.Save(o);
  EXPECT_FALSE(o.isMember("_aL2"));
  EXPECT_FALSE(o.isMember("_aL3"));
  EXPECT_FALSE(o.isMember("_aKeys"));

  AllKinds filled;
  filled.Fill();
  filled.Load(o);  // no list keys: the lists stay
  EXPECT_EQ(filled.keys.size(), 2u);
  EXPECT_EQ(filled.l2.size(), 2u);

  filled.Load(ParseJson(R"({"_aKeys": [], "_aL2": null})"));
  EXPECT_TRUE(filled.keys.empty());
  EXPECT_EQ(filled.l2.size(), 2u);  // null keeps the list too
}

TEST(Persist, MissingAndNullValuesKeepTheVariables) {
  for (const char* text : {R"({})", R"({"_fValue": null, "_nCount": null, "_sText": null,
                                      "_v3": null, "_fParams": null, "_bFlag": null})",
                           R"({"other": 1})", "null"}) {
    SCOPED_TRACE(text);
    AllKinds a;
    a.Fill();
    AllKinds b;
    b.Fill();
    b.Load(ParseJson(text));
    ExpectSameBits(a, b);
  }
}

TEST(Persist, ShortArraysAndMissingComponentsReadAsZero) {
  AllKinds a;
  a.Fill();
  a.Load(ParseJson(R"({"_fParams": [3], "_nInts": [], "_v3": {"x": 2},
                   "_aV2": [{"y": 4}], "_aL3": [{"x": 1}, {"y": 2, "z": 3}]})"));
  EXPECT_EQ(a.fa[0], 3.0f);
  EXPECT_EQ(a.fa[1], 0.0f);
  EXPECT_EQ(a.fa[2], 0.0f);
  EXPECT_EQ(a.fa[3], 0.0f);
  EXPECT_EQ(a.ia[0], 0);
  EXPECT_EQ(a.ia[1], 0);
  EXPECT_EQ(a.v3, glm::vec3(2.0f, 0.0f, 0.0f));
  EXPECT_EQ(a.v2a[0], glm::vec2(0.0f, 4.0f));
  EXPECT_EQ(a.v2a[1], glm::vec2(0.0f, 0.0f));
  ASSERT_EQ(a.l3.size(), 2u);
  EXPECT_EQ(a.l3[0], glm::vec3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(a.l3[1], glm::vec3(0.0f, 2.0f, 3.0f));
}

TEST(Persist, NumbersConvertBetweenTheNumericKinds) {
  AllKinds a;
  a.Load(ParseJson(R"({"_bFlag": 2, "_nCount": 7.9, "_fValue": 5, "_fParams": [true, 1, 2.5, -1]})"));
  EXPECT_TRUE(a.b);
  EXPECT_EQ(a.i, 7);
  EXPECT_EQ(a.f, 5.0f);
  EXPECT_EQ(a.fa[0], 1.0f);
  EXPECT_EQ(a.fa[2], 2.5f);
  a.Load(ParseJson(R"({"_bFlag": 0, "_nCount": false})"));
  EXPECT_FALSE(a.b);
  EXPECT_EQ(a.i, 0);
}

TEST(Persist, ScalarsLoadIntoStringsThroughTheirStringForm) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"_sText": 7})", "7"},         {R"({"_sText": -3})", "-3"},
      {R"({"_sText": true})", "true"},   {R"({"_sText": false})", "false"},
      {R"({"_sText": 1.5})", "1.5"},     {R"({"_sText": "text"})", "text"},
  };
  for (const auto& c : cases) {
    AllKinds a;
    a.Fill();
    LogCapture log;
    a.Load(ParseJson(c.first));
    EXPECT_EQ(a.s, c.second) << c.first;
    EXPECT_FALSE(log.Contains("[persist]")) << c.first << log.Text();
  }
}

// A null element of a growable list still takes its place, as zeros, so the
// elements after it keep their indices (and a key list its count).
TEST(Persist, NullListElementsAreAppendedAsZeros) {
  AllKinds a;
  a.Fill();
  LogCapture log;
  a.Load(ParseJson(R"({"_aKeys": [{"x": 1, "y": 2}, null, {"x": 3, "y": 4}], "_aL2": [null, {"x": 5, "y": 6}]})"));
  ASSERT_EQ(a.keys.size(), 3u);
  EXPECT_EQ(a.keys[0].time, 1.0f);
  EXPECT_EQ(a.keys[1].time, 0.0f);
  EXPECT_EQ(a.keys[1].value, 0.0f);
  EXPECT_EQ(a.keys[1].id, 0u);
  EXPECT_EQ(a.keys[2].time, 3.0f);
  ASSERT_EQ(a.l2.size(), 2u);
  EXPECT_EQ(a.l2[0], glm::vec2(0.0f));
  EXPECT_EQ(a.l2[1], glm::vec2(5.0f, 6.0f));
  EXPECT_FALSE(log.Contains("[persist]")) << log.Text();
}

TEST(Persist, ValuesOfTheWrongTypeAreSkippedAndLogged) {
  const struct {
    const char* json;
    const char* key;
  } cases[] = {
      {R"({"_bFlag": "yes"})", "_bFlag"},
      {R"({"_bFlag": [true]})", "_bFlag"},
      {R"({"_nCount": "12"})", "_nCount"},
      {R"({"_nCount": 1e12})", "_nCount"},
      {R"({"_nCount": {"x": 1}})", "_nCount"},
      {R"({"_fValue": "0.5"})", "_fValue"},
      {R"({"_fValue": [0.5]})", "_fValue"},
      {R"({"_sText": {"a": "b"}})", "_sText"},
      {R"({"_sText": ["a"]})", "_sText"},
      {R"({"_v2": [1, 2]})", "_v2"},
      {R"({"_v3": 3})", "_v3"},
      {R"({"_fParams": {"0": 1}})", "_fParams"},
      {R"({"_fParams": 4})", "_fParams"},
      {R"({"_aV3": {"x": 1}})", "_aV3"},
      {R"({"_aL2": {"x": 1, "y": 2}})", "_aL2"},
      {R"({"_aKeys": "none"})", "_aKeys"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    AllKinds expected;
    expected.Fill();
    AllKinds a;
    a.Fill();
    LogCapture log;
    a.Load(ParseJson(c.json));
    ExpectSameBits(expected, a);
    EXPECT_TRUE(log.Contains(std::string("[persist] all: \"") + c.key + "\" has a value of the wrong type"))
        << log.Text();
  }
}

TEST(Persist, WrongTypedPartsOfAValueKeepOnlyThemselves) {
  AllKinds a;
  a.Fill();
  LogCapture log;
  a.Load(ParseJson(R"({"_fParams": [1, "two", 3], "_v3": {"x": 8, "y": "bad", "z": 9},
                   "_aKeys": [{"x": 1, "y": 2, "z": 0}, 5, {"x": "t"}, {"x": 3, "y": 4}],
                   "_nCount": 42})"));
  EXPECT_EQ(a.fa[0], 1.0f);
  EXPECT_EQ(a.fa[1], 1e-30f);  // kept
  EXPECT_EQ(a.fa[2], 3.0f);
  EXPECT_EQ(a.fa[3], 0.0f);  // beyond the array: null reads as 0
  EXPECT_EQ(a.v3.x, 8.0f);
  EXPECT_EQ(a.v3.y, std::numeric_limits<float>::denorm_min());  // kept
  EXPECT_EQ(a.v3.z, 9.0f);
  // Elements that are not objects of numbers are left out of a new list.
  ASSERT_EQ(a.keys.size(), 2u);
  EXPECT_EQ(a.keys[0].time, 1.0f);
  EXPECT_EQ(a.keys[1].time, 3.0f);
  EXPECT_EQ(a.keys[1].id, 0u);
  EXPECT_EQ(a.i, 42);
  EXPECT_TRUE(log.Contains("\"_fParams\""));
  EXPECT_TRUE(log.Contains("\"_v3\""));
  EXPECT_TRUE(log.Contains("\"_aKeys\""));
  EXPECT_FALSE(log.Contains("\"_nCount\""));
}

TEST(Persist, NonObjectRootsLoadNothingAndSaveNothing) {
  for (const char* text : {"[1, 2]", "3", "\"text\"", "true", "[]"}) {
    SCOPED_TRACE(text);
    AllKinds a;
    a.Fill();
    AllKinds expected;
    expected.Fill();
    const Json::Value root = ParseJson(text);
    a.Load(root);
    ExpectSameBits(expected, a);
    Json::Value out = root;
    a.Save(out);
    EXPECT_EQ(out, root);
  }
}

TEST(Persist, StringsWithACountAreNeitherReadNorWritten) {
  struct Odd : rvpersist {
    std::string s = "kept";
    Odd() : rvpersist("odd") { AddMember("_s", PersistString, &s, 2); }
  } odd;
  odd.Load(ParseJson(R"({"_s": "new"})"));
  EXPECT_EQ(odd.s, "kept");
  Json::Value o;
  odd.Save(o);
  EXPECT_FALSE(o.isMember("_s"));
}

TEST(Persist, ListsMustMatchTheirKind) {
  struct Wrong : rvpersist {
    std::vector<glm::vec2> pairs;
    Wrong() : rvpersist("wrong") { AddMember("_a", PersistVec3List, &pairs); }
  };
  LogCapture log;
  Wrong w;
  EXPECT_TRUE(w.m_members.empty());
  EXPECT_TRUE(log.Contains("[persist] wrong: member _a is not a list of kind 7, not registered"));
}

TEST(Persist, RemoveMemberDropsOnlyTheMatchingRegistration) {
  rvpersist p("p");
  int a = 1, b = 2;
  p.AddInt("k", &a);
  p.AddInt("k", &b);
  p.AddInt("other", &a);
  EXPECT_FALSE(p.RemoveMember("k", &p));
  EXPECT_TRUE(p.RemoveMember("k", &a));
  ASSERT_EQ(p.m_members.size(), 2u);
  EXPECT_EQ(p.m_members[0].address, &b);
  EXPECT_EQ(p.m_members[1].key, "other");
  p.Load(ParseJson(R"({"k": 20, "other": 30})"));
  EXPECT_EQ(a, 30);
  EXPECT_EQ(b, 20);
}

TEST(Persist, ChildObjectsAndArraysCountOneIndexPerKind) {
  struct Leaf : rvpersist {
    int v = -1;
    explicit Leaf(const std::string& name) : rvpersist(name) { AddInt("v", &v); }
  };
  Leaf c0("kids"), c1("kids"), e0("list"), e1("list"), e2("more");
  rvpersist parent("parent");
  parent.m_children = {&c0, &c1};
  std::vector<rvpersist*> list = {&e0, &e1};
  std::vector<rvpersist*> more = {&e2};
  parent.m_childArrays = {{"list", &list}, {"more", &more}};

  // Element indices run on over all child arrays together.
  parent.Load(ParseJson(R"({"kids": [{"v": 10}, {"v": 11}],
                        "list": [{"v": 20}, {"v": 21}, {"v": 22}],
                        "more": [{"v": 30}, {"v": 31}, {"v": 32}]})"));
  EXPECT_EQ(c0.v, 10);
  EXPECT_EQ(c1.v, 11);
  EXPECT_EQ(e0.v, 20);
  EXPECT_EQ(e1.v, 21);
  EXPECT_EQ(e2.v, 32);

  Json::Value o;
  parent.Save(o);
  EXPECT_EQ(o["kids"][1]["v"].asInt(), 11);
  EXPECT_EQ(o["list"][1]["v"].asInt(), 21);
  EXPECT_EQ(o["more"][2]["v"].asInt(), 32);

  // A child key of the wrong type loads nothing and saves nothing into it.
  c0.v = 5;
  parent.Load(ParseJson(R"({"kids": {"v": 1}})"));
  EXPECT_EQ(c0.v, 5);
  Json::Value blocked = ParseJson(R"({"kids": {"v": 1}})");
  parent.Save(blocked);
  EXPECT_EQ(blocked["kids"], ParseJson(R"({"v": 1})"));
}

TEST(Persist, SaveOverwritesExistingKeysOfAnyType) {
  AllKinds a;
  a.Fill();
  Json::Value o = ParseJson(R"({"_fParams": {"x": 1}, "_v3": [1], "_nCount": "s", "_aKeys": 4})");
  a.Save(o);
  AllKinds b;
  b.Load(o);
  ExpectSameBits(a, b);
}
