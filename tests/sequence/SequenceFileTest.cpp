// Sequence files read from a real data pack: a file with an item of every
// registered class loads, plays to its end and tears down; missing, empty and
// broken files never crash and leave the sequence sound.
#include <gtest/gtest.h>

#include "Loader/AssetPath.h"
#include "sequence/fxBase.h"
#include "sequence/ClassRegistry.h"
#include "sequence/Driver.h"
#include "sequence/rvSequence.h"
#include "support/GLFixture.h"
#include "support/LogCapture.h"
#include "support/ProbeEffect.h"
#include "support/TestPack.h"

namespace {

std::string ToText(const Json::Value& root) {
  Json::StreamWriterBuilder writer;
  return Json::writeString(writer, root);
}

// One item of every registered class, each with properties, a per-object
// value and a key-frame driver on its fade-in.
std::string EverythingSequence() {
  Json::Value root;
  int index = 0;
  for (const ClassDesc* desc : GetClassRegistry()) {
    Json::Value item;
    item["Class"] = desc->m_name;
    Json::Value& props = item["Properties"];
    props["Name"] = "item" + std::to_string(index);
    props["Start"] = index * 6;
    props["End"] = 60 + index * 6;
    props["FadeIn"] = 0.25;
    Json::Value driver;
    driver["_eType"] = DriverKeyFrame;
    driver["_attribName"] = "FadeIn";
    driver["_eInterpolation"] = 1;
    Json::Value key;
    key["x"] = 0.0;
    key["y"] = 0.1;
    key["z"] = 0.0;
    driver["_aKeys"].append(key);
    key["x"] = 1.0;
    key["y"] = 0.5;
    driver["_aKeys"].append(key);
    props["_apAttribDrivers"].append(driver);
    item["PropertiesDynamic"]["Dyn/Gain"] = 0.5;
    root["Items"].append(item);
    ++index;
  }
  return ToText(root);
}

class SequenceFile : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    SetDataDirectory("Data");
    RegisterProbeClass();
  }

  void Pack(const PackFiles& files) {
    ASSERT_TRUE(BuildPack(m_dir, files));
    EnterDir(m_dir);
  }

  TempDir m_dir;
};

const char* const kTwoItems =
    "{\"Items\": [\n"
    "  {\"Class\": \"fxProbe\", \"Properties\": {\"Name\": \"a\", \"Start\": 0, \"End\": 60}},\n"
    "  {\"Class\": \"fxProbe\", \"Properties\": {\"Name\": \"b\", \"Start\": 30, \"End\": 120}}\n"
    "]}\n";

}  // namespace

TEST_F(SequenceFile, AnItemOfEveryClassLoadsPlaysAndTearsDown) {
  const std::string text = EverythingSequence();
  Pack({{"Data/seq/all.seq", text}});
  const size_t classes = GetClassRegistry().size();

  rvSequence sequence(1);
  ASSERT_TRUE(sequence.LoadSequence("seq/all.seq", true));
  EXPECT_EQ(sequence.m_path, "seq/all.seq");
  ASSERT_EQ(sequence.m_items.size(), classes);
  for (size_t i = 0; i < classes; ++i) {
    fxBase* fx = sequence.m_items[i];
    EXPECT_EQ(fx->m_classDesc->m_name, GetClassRegistry()[i]->m_name);
    EXPECT_EQ(fx->m_state, StateInitialized);
    EXPECT_EQ(fx->m_owner, &sequence);
    EXPECT_EQ(fx->m_name, "item" + std::to_string(i));
    EXPECT_EQ(fx->m_start, static_cast<int>(i) * 6);
    EXPECT_EQ(fx->m_drivers.size(), 1u);
    EXPECT_FALSE(fx->m_reInit);
  }
  EXPECT_EQ(sequence.GetFrameMax(), 60 + static_cast<int>(classes - 1) * 6);
  EXPECT_EQ(static_cast<fxProbe*>(sequence.FindItem("item" + std::to_string(classes - 1)))->m_gain, 0.5f);

  // Played as the application plays it, with its frame step.
  sequence.m_time = 0.0f;
  sequence.m_playing = true;
  for (fxBase* fx : sequence.m_items) fx->SetState(StatePrepared);
  int frames = 0;
  while (sequence.m_playing && frames < 10000) {
    sequence.Update(1.0f / 60.0f);
    for (fxBase* fx : sequence.m_items) {
      // The driver owns the fade-in: 0.1 at the start, 0.5 after one second.
      if (fx->m_state == StateRunning) {
        EXPECT_NEAR(fx->m_fadeIn, 0.1f + 0.4f * fx->m_localTime, 1e-4f);
      }
    }
    ++frames;
  }
  EXPECT_FALSE(sequence.m_playing);
  EXPECT_EQ(sequence.m_time, sequence.GetFrameMax() / 60.0f);
  for (fxBase* fx : sequence.m_items) EXPECT_EQ(fx->m_state, StateInitialized);
  EXPECT_GT(static_cast<fxProbe*>(sequence.m_items.back())->m_updates, 50);

  sequence.Clear();
  EXPECT_TRUE(sequence.m_items.empty());
  EXPECT_EQ(ProbeCalls("item" + std::to_string(classes - 1)).substr(0, 4), "Init");
}

TEST_F(SequenceFile, LoadingWithoutInitLeavesTheItemsInStateNone) {
  Pack({{"Data/seq/a.seq", kTwoItems}});
  rvSequence sequence(0);
  sequence.m_time = 3.0f;
  ASSERT_TRUE(sequence.LoadSequence("seq/a.seq", false));
  ASSERT_EQ(sequence.m_items.size(), 2u);
  EXPECT_EQ(sequence.m_items[0]->m_state, StateNone);
  EXPECT_EQ(sequence.m_time, 3.0f);

  ASSERT_TRUE(sequence.LoadSequence("seq/a.seq", true));
  EXPECT_EQ(sequence.m_items[0]->m_state, StateInitialized);
  EXPECT_EQ(sequence.m_time, 0.0f);
  // Reloading cleared the first load's items.
  EXPECT_EQ(ProbeCalls("a"), "Delete Init");
}

TEST_F(SequenceFile, MissingOrEmptyFilesLeaveTheSequenceAsItWas) {
  Pack({{"Data/seq/a.seq", kTwoItems}, {"Data/seq/empty.seq", ""}});
  rvSequence sequence(0);
  ASSERT_TRUE(sequence.LoadSequence("seq/a.seq", true));
  for (const char* path : {"seq/empty.seq", "seq/missing.seq", ""}) {
    EXPECT_FALSE(sequence.LoadSequence(path, true)) << path;
    EXPECT_EQ(sequence.m_path, "seq/a.seq");
    EXPECT_EQ(sequence.m_items.size(), 2u);
  }
}

TEST_F(SequenceFile, CarriageReturnsAreIgnored) {
  std::string crlf;
  for (char c : std::string(kTwoItems)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.insert(crlf.find("\"a\"") + 1, "\r");  // even inside a string
  Pack({{"Data/seq/crlf.seq", crlf}});
  rvSequence sequence(0);
  LogCapture log;
  ASSERT_TRUE(sequence.LoadSequence("seq/crlf.seq", false));
  ASSERT_EQ(sequence.m_items.size(), 2u);
  EXPECT_EQ(sequence.m_items[0]->m_name, "a");
  EXPECT_EQ(sequence.m_items[1]->m_end, 120);
  EXPECT_EQ(log.Text(), "");
}

TEST_F(SequenceFile, ItemsGivenAsAnObjectAreTakenInKeyOrder) {
  Pack({{"Data/seq/o.seq", R"({"Items": {"z": {"Class": "fxProbe", "Properties": {"Name": "last"}},
                                       "a": {"Class": "fxProbe", "Properties": {"Name": "first"}}}})"}});
  rvSequence sequence(0);
  ASSERT_TRUE(sequence.LoadSequence("seq/o.seq", false));
  ASSERT_EQ(sequence.m_items.size(), 2u);
  EXPECT_EQ(sequence.m_items[0]->m_name, "first");
}

TEST_F(SequenceFile, UnknownClassesAndAttributesVanishSilently) {
  Pack({{"Data/seq/u.seq", R"({"Items": [{"Class": "fxNoSuchEffect", "Properties": {"Name": "ghost"}},
      {"Class": "fxProbe", "Properties": {"Name": "real", "Colour": 3, "Probe/Value": 1.5}},
      {"Properties": {"Name": "classless"}}], "Version": 3})"}});
  rvSequence sequence(0);
  LogCapture log;
  ASSERT_TRUE(sequence.LoadSequence("seq/u.seq", true));
  ASSERT_EQ(sequence.m_items.size(), 1u);
  EXPECT_EQ(sequence.m_items[0]->m_name, "real");
  EXPECT_EQ(static_cast<fxProbe*>(sequence.m_items[0])->m_value, 1.5f);
  EXPECT_EQ(log.Text(), "");
}

TEST_F(SequenceFile, BrokenFilesNeverCrashThePlayer) {
  struct Case {
    const char* name;
    std::string text;
    size_t items;     // what survives
    bool logsError;   // a syntax error is reported
  };
  const std::string full = kTwoItems;
  const Case cases[] = {
      {"truncated after the first item", full.substr(0, full.find("},\n") + 3), 1, true},
      // The reader keeps the members read before the break: the first item
      // has its class and becomes an effect.
      {"truncated inside the first item", full.substr(0, full.find("\"Properties\"")), 1, true},
      {"not JSON", "this is not a sequence", 0, true},
      {"binary", std::string("\x00\xff\x13\x37", 4), 0, true},
      {"array root", "[{\"Class\": \"fxProbe\"}]", 0, false},
      {"number root", "42", 0, false},
      {"string root", "\"Items\"", 0, false},
      {"items a string", R"({"Items": "fxProbe"})", 0, false},
      {"items of every type", R"({"Items": [1, "fxProbe", null, [], true, {"Class": "fxProbe"}]})", 1, false},
      {"properties of the wrong type", R"({"Items": [{"Class": "fxProbe", "Properties": [1, 2],
           "PropertiesDynamic": "x"}]})", 1, false},
      {"values of the wrong type", R"({"Items": [{"Class": "fxProbe", "Properties": {"Start": "soon",
           "End": {"f": 1}, "Name": [], "FadeIn": "1", "_apAttribDrivers": {"a": 1}}}]})", 1, false},
      {"drivers of the wrong type", R"({"Items": [{"Class": "fxProbe", "Properties": {"_apAttribDrivers":
           [{"_eType": 1, "_attribName": "FadeIn", "_aKeys": "none", "_fMin": "low", "_eInterpolation": []},
            {"_eType": [1], "_attribName": "FadeIn"}, {"_eType": 2.5, "_attribName": {}}]}}]})", 1, false},
      {"nesting past the reader's limit", std::string(100000, '['), 0, true},
      // Nested past the limit any recursive reader can take on a thread's
      // stack, though within JsonCpp's own: refused before the parse.
      {"nesting past the limit in a value",
       R"({"Items": [{"Class": "fxProbe", "Properties": {"Name": )" + std::string(300, '[') + std::string(300, ']') +
           "}}]}",
       0, true},
      {"nesting within the limit", R"({"Items": [{"Class": "fxProbe", "Properties": {"Name": )" +
                                       std::string(200, '[') + std::string(200, ']') + "}}]}",
       1, false},
  };
  // One pack for all: the data pack is mounted once per process.
  PackFiles files;
  for (size_t i = 0; i < std::size(cases); ++i) files["Data/seq/bad" + std::to_string(i) + ".seq"] = cases[i].text;
  Pack(files);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string path = "seq/bad" + std::to_string(i) + ".seq";
    rvSequence sequence(1);
    LogCapture log;
    EXPECT_TRUE(sequence.LoadSequence(path, true)) << c.name;
    EXPECT_EQ(sequence.m_items.size(), c.items) << c.name;
    EXPECT_EQ(log.Contains("[Sequence] " + path + ": JSON error"), c.logsError) << c.name << "\n" << log.Text();
    // Whatever was read plays to its end.
    sequence.m_playing = true;
    for (fxBase* fx : sequence.m_items) fx->SetState(StatePrepared);
    for (int frame = 0; frame < 700 && sequence.m_playing; ++frame) sequence.Update(0.1f);
    EXPECT_FALSE(sequence.m_playing) << c.name;
    sequence.Clear();
  }
}
