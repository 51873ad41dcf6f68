// Effect properties and drivers in JSON: values stored by attribute type in
// key order, legacy names, values of the wrong type, per-object attributes,
// the driver list and the way both are written back.
#include <gtest/gtest.h>

#include <memory>

#include "sequence/fxBase.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "support/LogCapture.h"
#include "support/ProbeEffect.h"
#include "support/JsonText.h"

namespace {

std::unique_ptr<fxProbe> MakeProbe() {
  RegisterProbeClass();
  return std::unique_ptr<fxProbe>(static_cast<fxProbe*>(fxProbe::Create(fxProbe::GetClassDesc())));
}

std::string Joined(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& n : names) all += (all.empty() ? "" : " ") + n;
  return all;
}

}  // namespace

TEST(FxProperties, ValuesAreStoredByAttributeType) {
  auto probe = MakeProbe();
  probe->LoadAttributes(ParseJson(R"({"Start": 120, "End": 240, "FadeIn": 0.5, "Name": "title",
      "TimeScale": 2, "Probe/Flag": true, "Probe/Count": 7, "Probe/Label": "hello",
      "Probe/File": "img/a.png", "Probe/Mode": 2, "Probe/Color.g": 0.25})"));
  EXPECT_EQ(probe->m_start, 120);
  EXPECT_EQ(probe->m_end, 240);
  EXPECT_EQ(probe->m_fadeIn, 0.5f);
  EXPECT_EQ(probe->m_name, "title");
  EXPECT_EQ(probe->m_timeScale, 2.0f);
  EXPECT_TRUE(probe->m_flag);
  EXPECT_EQ(probe->m_count, 7);
  EXPECT_EQ(probe->m_label, "hello");
  EXPECT_EQ(probe->m_file, "img/a.png");
  EXPECT_EQ(probe->m_mode, 2);
  EXPECT_EQ(probe->m_color.g, 0.25f);
  EXPECT_EQ(probe->m_color.r, 1.0f);
}

TEST(FxProperties, ScalarsConvertLikeTheJsonLibrary) {
  struct Case {
    const char* json;
    bool flag;
    int count;
    float value;
    const char* label;
  };
  const Case cases[] = {
      {R"({"Probe/Flag": 2, "Probe/Count": 2.7, "Probe/Value": 3, "Probe/Label": 5})", true, 2, 3.0f, "5"},
      {R"({"Probe/Flag": 0, "Probe/Count": true, "Probe/Value": false, "Probe/Label": true})", false, 1, 0.0f, "true"},
  };
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    probe->LoadAttributes(ParseJson(c.json));
    EXPECT_EQ(probe->m_flag, c.flag) << c.json;
    EXPECT_EQ(probe->m_count, c.count) << c.json;
    EXPECT_EQ(probe->m_value, c.value) << c.json;
    EXPECT_EQ(probe->m_label, c.label) << c.json;
  }
}

TEST(FxProperties, MembersAreVisitedInKeyOrderNotFileOrder) {
  auto probe = MakeProbe();
  probe->LoadAttributes(ParseJson(R"({"Probe/Value": 1, "End": 2, "Probe/Color.a": 0, "Name": "n", "FadeOut": 1})"));
  EXPECT_EQ(Joined(probe->m_loaded), "End FadeOut Name Probe/Color.a Probe/Value");
}

TEST(FxProperties, ACompoundNameFindsItsNodeAndStoresNothing) {
  auto probe = MakeProbe();
  probe->LoadAttributes(ParseJson(R"({"Probe/Color": 0.5})"));
  EXPECT_EQ(Joined(probe->m_loaded), "Probe/Color");
  EXPECT_EQ(probe->m_color, glm::vec4(1.0f));
}

TEST(FxProperties, UnknownNamesAreSkippedSilently) {
  auto probe = MakeProbe();
  LogCapture log;
  probe->LoadAttributes(ParseJson(R"({"Nope": 1, "start": 5, "_apAttribDrivers": [], "Start": 3})"));
  EXPECT_EQ(Joined(probe->m_loaded), "Start");
  EXPECT_EQ(probe->m_start, 3);
  EXPECT_EQ(log.Text(), "");
}

TEST(FxProperties, LegacyNamesAreRenamedBeforeTheLookup) {
  auto probe = MakeProbe();
  probe->LoadAttributes(ParseJson(R"({"OldValue": 4.5})"));
  EXPECT_EQ(probe->m_value, 4.5f);
  EXPECT_EQ(Joined(probe->m_loaded), "Probe/Value");
}

TEST(FxProperties, ValuesOfTheWrongTypeAreSkippedAndLogged) {
  const char* cases[] = {
      R"({"Start": "abc"})",       R"({"Start": 3e10})",        R"({"Start": [1]})",
      R"({"FadeIn": "0.5"})",      R"({"FadeIn": {"x": 1}})",   R"({"Name": ["a"]})",
      R"({"Name": {}})",           R"({"Probe/Flag": "yes"})",  R"({"Probe/Count": 4294967296})",
      R"({"Probe/Mode": [2]})",    R"({"Probe/File": {"f": 1}})",
  };
  for (const char* json : cases) {
    auto probe = MakeProbe();
    LogCapture log;
    probe->LoadAttributes(ParseJson(json));
    EXPECT_EQ(probe->m_start, 0) << json;
    EXPECT_EQ(probe->m_fadeIn, 1.0f) << json;
    EXPECT_EQ(probe->m_name, "fxProbe") << json;
    EXPECT_FALSE(probe->m_flag) << json;
    EXPECT_EQ(probe->m_count, 0) << json;
    EXPECT_EQ(probe->m_mode, 0) << json;
    EXPECT_EQ(probe->m_file, "") << json;
    EXPECT_TRUE(probe->m_loaded.empty()) << json;
    EXPECT_TRUE(log.Contains("wrong type")) << json;
  }
}

TEST(FxProperties, AnythingButAnObjectHoldsNoProperties) {
  const char* cases[] = {"null", "[1, 2]", "5", "\"Start\"", "true"};
  for (const char* json : cases) {
    auto probe = MakeProbe();
    probe->LoadAttributes(ParseJson(json));
    probe->LoadDrivers(ParseJson(json));
    EXPECT_TRUE(probe->m_loaded.empty()) << json;
    EXPECT_TRUE(probe->m_drivers.empty()) << json;
  }
}

TEST(FxProperties, PerObjectAttributesLoadThroughTheInstanceDescription) {
  auto probe = MakeProbe();
  auto other = MakeProbe();
  EXPECT_FALSE(probe->m_classDesc->IsShared());
  probe->LoadAttributes(ParseJson(R"({"Dyn/Gain": 0.75})"));
  EXPECT_EQ(probe->m_gain, 0.75f);
  EXPECT_EQ(fxProbe::GetClassDesc()->FindAttribute("Dyn/Gain"), nullptr);
  EXPECT_NE(other->m_classDesc->FindAttribute("Dyn/Gain"), probe->m_classDesc->FindAttribute("Dyn/Gain"));
}

TEST(FxProperties, DriversAreCreatedByTypeAndUnknownEntriesSkipped) {
  struct Case {
    const char* entries;
    const char* types;  // type codes of the drivers made, in order
  };
  const Case cases[] = {
      {R"([{"_eType": 6, "_attribName": "FadeIn"}, {"_eType": 2, "_attribName": "FadeOut"}])", "2"},
      {R"([{"_eType": 257, "_attribName": "Probe/Value"}])", "1"},
      {R"([{"_eType": 1, "_attribName": "Probe/Value"}, {"_eType": 3, "_attribName": "Start"},
           {"_eType": 4, "_attribName": "Probe/Color.r"}, {"_eType": 7, "_attribName": "End"}])", "1 3 4 7"},
      {R"([{"_eType": 2, "_attribName": "NoSuchAttribute"}, {"_eType": 0, "_attribName": "FadeIn"},
           {"_eType": 8, "_attribName": "FadeIn"}])", ""},
      {R"([5, "x", null, {"_eType": "2", "_attribName": "FadeIn"}, {"_eType": 2, "_attribName": 3},
           {"_eType": 2}, {"_eType": 2, "_attribName": "OldValue"}])", "2"},
      {R"({"a": {"_eType": 2, "_attribName": "FadeIn"}})", ""},
  };
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    probe->LoadDrivers(ParseJson(std::string(R"({"_apAttribDrivers": )") + c.entries + "}"));
    std::vector<std::string> types;
    for (const NoneDriver* d : probe->m_drivers) types.push_back(std::to_string(d->GetType()));
    EXPECT_EQ(Joined(types), c.types) << c.entries;
  }
}

TEST(FxProperties, LoadedDriversReadTheirMembersAndReplaceTheOldOnes) {
  auto probe = MakeProbe();
  probe->LoadDrivers(ParseJson(R"({"_apAttribDrivers": [{"_eType": 2, "_attribName": "FadeIn"}]})"));
  probe->LoadDrivers(ParseJson(R"({"_apAttribDrivers": [{"_eType": 1, "_attribName": "Probe/Value",
      "_eInterpolation": 1, "_aKeys": [{"x": 0, "y": 2, "z": 0}, {"x": 1, "y": 4, "z": 0}]}]})"));
  ASSERT_EQ(probe->m_drivers.size(), 1u);
  auto* keys = static_cast<KeyFrameDriver*>(probe->m_drivers[0]);
  EXPECT_EQ(keys->GetAttribute(), probe->m_classDesc->FindAttribute("Probe/Value"));
  EXPECT_EQ(keys->_eInterpolation, 1);
  ASSERT_EQ(keys->_aKeys.size(), 2u);
  probe->SetState(StateRunning);
  probe->m_sequenceDelta = 0.5f;
  probe->ExternalUpdate();
  EXPECT_FLOAT_EQ(probe->m_value, 3.0f);
}

TEST(FxProperties, LoadingDriversIntoALiveEffectAsksForAReInit) {
  const int states[] = {StateNone, StateInitialized, StatePrepared, StateRunning};
  for (int state : states) {
    auto probe = MakeProbe();
    probe->SetState(state);
    probe->LoadDrivers(ParseJson(R"({"_apAttribDrivers": [{"_eType": 2, "_attribName": "FadeIn"}]})"));
    EXPECT_EQ(probe->m_reInit, state > StateNone) << state;
  }
}

TEST(FxProperties, SavedLeavesSkipValuesThatComeFromADriver) {
  auto probe = MakeProbe();
  probe->m_fadeIn = 0.25f;
  probe->m_value = 1.5f;
  probe->m_count = 4;
  probe->m_flag = true;
  probe->m_label = "x";
  probe->m_color = glm::vec4(0.1f, 0.2f, 0.3f, 0.4f);
  ClassDesc* desc = probe->m_classDesc;
  probe->m_drivers.push_back(CreateDriver(probe.get(), DriverNoise, desc->FindAttribute("Probe/Color.g")));
  probe->m_drivers.push_back(CreateDriver(probe.get(), DriverKeyFrame, desc->FindAttribute("Probe/Value")));

  Json::Value out(Json::objectValue);
  for (const char* name : {"FadeIn", "Probe/Value", "Probe/Count", "Probe/Flag", "Probe/Label", "Probe/Color",
                           "Create Key"}) {
    probe->SaveAttribute(out, desc->FindAttribute(name));
  }
  EXPECT_FLOAT_EQ(out["FadeIn"].asFloat(), 0.25f);
  EXPECT_FLOAT_EQ(out["Probe/Value"].asFloat(), 1.5f);  // a key-frame driver without keys
  EXPECT_EQ(out["Probe/Count"].asInt(), 4);
  EXPECT_TRUE(out["Probe/Flag"].asBool());
  EXPECT_EQ(out["Probe/Label"].asString(), "x");
  EXPECT_FLOAT_EQ(out["Probe/Color.r"].asFloat(), 0.1f);
  EXPECT_FALSE(out.isMember("Probe/Color.g"));  // the noise driver has the value
  EXPECT_FALSE(out.isMember("Probe/Color"));
  EXPECT_FALSE(out.isMember("Create Key"));

  static_cast<KeyFrameDriver*>(probe->m_drivers[1])->SetKey(0.0f, 9.0f);
  Json::Value again(Json::objectValue);
  probe->SaveAttribute(again, desc->FindAttribute("Probe/Value"));
  EXPECT_FALSE(again.isMember("Probe/Value"));
}

TEST(FxProperties, SavedPropertiesAndDriversLoadIntoAFreshEffect) {
  auto probe = MakeProbe();
  probe->LoadAttributes(ParseJson(R"({"Start": 30, "End": 90, "Name": "copy", "Probe/Value": 2.5,
      "Probe/Color.b": 0.5, "Probe/Mode": 1, "Dyn/Gain": 3})"));
  probe->LoadDrivers(ParseJson(R"({"_apAttribDrivers": [{"_eType": 3, "_attribName": "FadeIn", "_fMax": 4},
      {"_eType": 1, "_attribName": "Probe/Count", "_aKeys": [{"x": 0.5, "y": 7, "z": 0}]}]})"));

  Json::Value props(Json::objectValue);
  for (const AttributeDesc* a : fxBase::GetClassDesc()->m_attributes) probe->SaveAttribute(props, a);
  for (const AttributeDesc* a : probe->m_classDesc->m_attributes) probe->SaveAttribute(props, a);
  probe->SaveDrivers(props);
  ASSERT_EQ(props["_apAttribDrivers"].size(), 2u);

  auto copy = MakeProbe();
  copy->LoadAttributes(props);
  copy->LoadDrivers(props);
  EXPECT_EQ(copy->m_start, 30);
  EXPECT_EQ(copy->m_end, 90);
  EXPECT_EQ(copy->m_name, "copy");
  EXPECT_EQ(copy->m_value, 2.5f);
  EXPECT_EQ(copy->m_color.b, 0.5f);
  EXPECT_EQ(copy->m_mode, 1);
  EXPECT_EQ(copy->m_gain, 3.0f);
  ASSERT_EQ(copy->m_drivers.size(), 2u);
  EXPECT_EQ(copy->m_drivers[0]->GetType(), DriverTriangle);
  EXPECT_EQ(copy->m_drivers[0]->_fMax, 4.0f);
  EXPECT_EQ(static_cast<KeyFrameDriver*>(copy->m_drivers[1])->_aKeys.size(), 1u);
}

TEST(FxProperties, AnEffectWithoutDriversSavesNoDriverList) {
  auto probe = MakeProbe();
  Json::Value out(Json::objectValue);
  probe->SaveDrivers(out);
  EXPECT_FALSE(out.isMember("_apAttribDrivers"));
}

TEST(FxProperties, SavingIntoSomethingThatIsNotAnObjectNeverThrows) {
  auto probe = MakeProbe();
  probe->m_fadeIn = 0.25f;
  probe->m_drivers.push_back(CreateDriver(probe.get(), DriverSinus, probe->m_classDesc->FindAttribute("FadeIn")));
  const AttributeDesc* value = probe->m_classDesc->FindAttribute("Probe/Value");
  // What the JSON library would refuse to index or append to is left as it is.
  for (const char* text : {"[1, 2]", "42", "\"text\"", "true"}) {
    const Json::Value before = ParseJson(text);
    Json::Value out = before;
    probe->SaveAttribute(out, value);
    probe->SaveDrivers(out);
    EXPECT_EQ(out, before) << text;
  }
  // A driver list of the wrong type is replaced by the effect's drivers.
  Json::Value out = ParseJson(R"({"_apAttribDrivers": "none", "Other": 1})");
  probe->SaveDrivers(out);
  ASSERT_TRUE(out["_apAttribDrivers"].isArray());
  ASSERT_EQ(out["_apAttribDrivers"].size(), 1u);
  EXPECT_EQ(out["_apAttribDrivers"][0]["_eType"].asInt(), DriverSinus);
  EXPECT_EQ(out["Other"].asInt(), 1);
}
