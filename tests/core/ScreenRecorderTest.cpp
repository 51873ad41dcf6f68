// The settings object and its file: defaults, a full file, files that are
// absent or malformed (never fatal, bad values keep their defaults), and the
// registrations of successive ScreenRecorders.
#include <gtest/gtest.h>

#include <string>

#include "core/ScreenRecorder.h"
#include "support/PlayerRun.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

// The settings as one comparable record.
struct Settings {
  int src, dest;
  bool showImGui, fullScreen, lockFps;
  int bitrate, fps;
  std::string ffmpeg, file;

  static Settings Of(const ScreenRecorder& r) {
    return {g_nListbox_SrcItem_current, g_nListbox_DestItem_current, g_bCheckBox_ShowImGUI,
            g_bCheckBox_FullScreen, g_bCheckBox_LockFPS, r._ve._nBitrateMbps, r._ve._nFps,
            r._ve._sFfmpegBinary, r._ve._sFilename};
  }
  bool operator==(const Settings& o) const {
    return src == o.src && dest == o.dest && showImGui == o.showImGui &&
           fullScreen == o.fullScreen && lockFps == o.lockFps && bitrate == o.bitrate &&
           fps == o.fps && ffmpeg == o.ffmpeg && file == o.file;
  }
};

std::ostream& operator<<(std::ostream& os, const Settings& s) {
  return os << s.src << "," << s.dest << "," << s.showImGui << s.fullScreen << s.lockFps << ","
            << s.bitrate << "," << s.fps << "," << s.ffmpeg << "," << s.file;
}

const Settings kDefaults = {0, 3, false, false, false, 6, 60, "..\\tools\\ffmpeg\\ffmpeg.exe",
                            "Velmora.mp4"};

const char kFullFile[] = R"({
  "ScreenRecorderConfig": {
    "nListbox_SrcItem_current": 2,
    "nListbox_DestItem_current": 5,
    "bCheckBox_ShowImGUI": true,
    "bCheckBox_FullScreen": true,
    "bCheckBox_LockFPS": true,
    "_ve._nBitrateMbps": 40,
    "_ve._nFps": 30,
    "_ve._sFfmpegBinary": "C:\\bin\\ffmpeg.exe",
    "_ve._sFilename": "out.mp4"
  }
})";

const Settings kFull = {2, 5, true, true, true, 40, 30, "C:\\bin\\ffmpeg.exe", "out.mp4"};

void WriteConfig(const TempDir& dir, const std::string& text) {
  dir.WriteFile("ScreenRecorderConfig.json", text);
}

}  // namespace

TEST(ScreenRecorder, AbsentFileKeepsEveryDefault) {
  TempDir dir;
  EnterDir(dir);
  LogCapture log;
  ScreenRecorder recorder;
  EXPECT_EQ(Settings::Of(recorder), kDefaults);
  EXPECT_FALSE(recorder.IsActive());
  EXPECT_EQ(log.Text(), "");
}

TEST(ScreenRecorder, FullFileSetsAllNineSettings) {
  TempDir dir;
  WriteConfig(dir, kFullFile);
  EnterDir(dir);
  ScreenRecorder recorder;
  EXPECT_EQ(Settings::Of(recorder), kFull);
  EXPECT_EQ(GetScreenRecorderConfig().m_name, "ScreenRecorderConfig");
  ASSERT_EQ(GetScreenRecorderConfig().m_members.size(), 9u);
  EXPECT_EQ(GetScreenRecorderConfig().m_members[0].key, "nListbox_SrcItem_current");
  EXPECT_EQ(GetScreenRecorderConfig().m_members[8].key, "_ve._sFilename");
}

TEST(ScreenRecorder, SizeTableListsUnknownThenTheExportSizes) {
  TempDir dir;
  EnterDir(dir);
  ScreenRecorder recorder;
  const struct {
    const char* name;
    float w, h;
  } expected[] = {{"Unknown", 0, 0},         {"3840x2160", 3840, 2160}, {"2560x1440", 2560, 1440},
                  {"1920x1080", 1920, 1080}, {"1600x900", 1600, 900},   {"1280x720", 1280, 720},
                  {"1024x576", 1024, 576}};
  ASSERT_EQ(recorder._aSizes.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_STREQ(recorder._aSizes[i].name, expected[i].name);
    EXPECT_EQ(recorder._aSizes[i].width, expected[i].w);
    EXPECT_EQ(recorder._aSizes[i].height, expected[i].h);
  }
}

TEST(ScreenRecorder, PartialFileSetsOnlyItsKeys) {
  TempDir dir;
  WriteConfig(dir, R"({"ScreenRecorderConfig": {"_ve._nFps": 25, "bCheckBox_LockFPS": true},
                      "Other": {"_ve._nFps": 99}})");
  EnterDir(dir);
  ScreenRecorder recorder;
  Settings expected = kDefaults;
  expected.fps = 25;
  expected.lockFps = true;
  EXPECT_EQ(Settings::Of(recorder), expected);
}

TEST(ScreenRecorder, MalformedFilesKeepTheDefaultsAndSayWhy) {
  const struct {
    const char* text;
    const char* logged;  // part of the expected log line; empty: nothing logged
  } cases[] = {
      {"", "is not valid JSON"},
      {R"({"ScreenRecorderConfig": {"_ve._nFps": 3)", "is not valid JSON"},  // truncated
      {R"({"ScreenRecorderConfig": {"_ve._nFps": 30, "_ve._sFilename": "a.mp)", "is not valid JSON"},
      {"\xff\xfe{}", "is not valid JSON"},
      {R"([{"ScreenRecorderConfig": {"_ve._nFps": 30}}])", "the root is not an object"},
      {"42", "the root is not an object"},
      {R"("ScreenRecorderConfig")", "the root is not an object"},
      {R"({"ScreenRecorderConfig": [30]})", "\"ScreenRecorderConfig\" is not an object"},
      {R"({"ScreenRecorderConfig": "fast"})", "\"ScreenRecorderConfig\" is not an object"},
      {R"({"ScreenRecorderConfig": null})", ""},
      {R"({"Config": {"_ve._nFps": 30}})", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TempDir dir;
    WriteConfig(dir, c.text);
    EnterDir(dir);
    LogCapture log;
    ScreenRecorder recorder;
    EXPECT_EQ(Settings::Of(recorder), kDefaults);
    if (*c.logged) {
      EXPECT_TRUE(log.Contains(std::string("[ScreenRecorder] ScreenRecorderConfig.json")))
          << log.Text();
      EXPECT_TRUE(log.Contains(c.logged)) << log.Text();
    } else {
      EXPECT_EQ(log.Text(), "");
    }
  }
}

TEST(ScreenRecorder, DeeplyNestedFileIsRejectedBeforeItIsParsed) {
  // 300 levels are within the reader's own limit, but past what the engine
  // lets any JSON reader recurse through.
  for (const int depth : {100000, 300}) {
    TempDir dir;
    WriteConfig(dir, "{\"ScreenRecorderConfig\":{\"_ve._nFps\":30,\"x\":" + std::string(depth, '[') +
                         std::string(depth, ']') + "}}");
    EnterDir(dir);
    LogCapture log;
    ScreenRecorder recorder;
    EXPECT_EQ(Settings::Of(recorder), kDefaults) << depth;
    EXPECT_TRUE(log.Contains("ScreenRecorderConfig.json is not valid JSON, settings keep their defaults: nested deeper "
                             "than 256 levels"))
        << log.Text();
  }
}

TEST(ScreenRecorder, ValuesOfTheWrongTypeKeepTheirDefaultsAndTheRestLoads) {
  TempDir dir;
  WriteConfig(dir, R"({"ScreenRecorderConfig": {
      "nListbox_SrcItem_current": "two",
      "nListbox_DestItem_current": 4,
      "bCheckBox_ShowImGUI": "yes",
      "bCheckBox_FullScreen": true,
      "bCheckBox_LockFPS": [true],
      "_ve._nBitrateMbps": 1e40,
      "_ve._nFps": {"value": 30},
      "_ve._sFfmpegBinary": ["ffmpeg"],
      "_ve._sFilename": "clip.mp4"}})");
  EnterDir(dir);
  LogCapture log;
  ScreenRecorder recorder;
  Settings expected = kDefaults;
  expected.dest = 4;
  expected.fullScreen = true;
  expected.file = "clip.mp4";
  EXPECT_EQ(Settings::Of(recorder), expected);
  for (const char* key : {"nListbox_SrcItem_current", "bCheckBox_ShowImGUI", "bCheckBox_LockFPS",
                          "_ve._nBitrateMbps", "_ve._nFps", "_ve._sFfmpegBinary"})
    EXPECT_TRUE(log.Contains(std::string("[persist] ScreenRecorderConfig: \"") + key + "\""))
        << key;
}

TEST(ScreenRecorder, ALaterRecorderLoadsIntoItselfOnly) {
  TempDir dir;
  WriteConfig(dir, kFullFile);
  EnterDir(dir);
  const rvpersist& config = GetScreenRecorderConfig();
  {
    ScreenRecorder first;
    EXPECT_EQ(Settings::Of(first), kFull);
  }
  EXPECT_TRUE(config.m_members.empty());

  // The second one registers afresh; nothing points into the first any more.
  g_nListbox_DestItem_current = 3;
  ScreenRecorder second;
  EXPECT_EQ(config.m_members.size(), 9u);
  EXPECT_EQ(Settings::Of(second), kFull);
  for (const PersistMember& m : config.m_members) {
    if (m.key.compare(0, 4, "_ve.") == 0) {
      const char* at = static_cast<const char*>(m.address);
      EXPECT_TRUE(at >= reinterpret_cast<const char*>(&second) &&
                  at < reinterpret_cast<const char*>(&second + 1))
          << m.key;
    }
  }
}

TEST(ScreenRecorder, OverlappingRecordersKeepEachOthersRegistrations) {
  TempDir dir;
  WriteConfig(dir, R"({"ScreenRecorderConfig": {"_ve._nFps": 24}})");
  EnterDir(dir);
  ScreenRecorder* first = new ScreenRecorder();
  ScreenRecorder second;
  EXPECT_EQ(GetScreenRecorderConfig().m_members.size(), 18u);
  delete first;
  ASSERT_EQ(GetScreenRecorderConfig().m_members.size(), 9u);
  second._ve._nFps = 60;
  LoadScreenRecorderConfig();
  EXPECT_EQ(second._ve._nFps, 24);
}

TEST(ScreenRecorder, PlayerRunsOnWithBrokenSettingsFiles) {
  const struct {
    const char* text;
    const char* logged;
  } cases[] = {
      {R"({"ScreenRecorderConfig": {"_ve._nFps": 3)", "is not valid JSON"},
      {R"([1, 2, 3])", "the root is not an object"},
      {R"({"ScreenRecorderConfig": {"_ve._nFps": "fast", "bCheckBox_LockFPS": {}}})",
       "[persist] ScreenRecorderConfig: \"_ve._nFps\" has a value of the wrong type"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TempDir dir;
    ASSERT_TRUE(BuildPack(dir, {{"Data/seq/_DemoFull_.seq", "{ \"Items\" : [] }"}}));
    WriteConfig(dir, c.text);
    PlayerOptions options;
    options.args = {"-640x480"};
    const PlayerResult run = RunPlayer(dir.Path(), options);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_NE(run.log.find(c.logged), std::string::npos) << run.log;
  }
}
