// The player given a pack holding every file of the shared hostile set: each
// font named by stroke text items in every mode and by the overlays, each
// shader as the fragment stage of a shader effect. It plays to the end and
// exits with 0; the sanitized build turns any memory fault or undefined
// behaviour on the way into a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <vector>

#include "support/PlayerRun.h"
#include "support/TestPack.h"

namespace {

const std::string kHostileDir = std::string(VELMORA_TESTDATA_DIR) + "/hostile";
// The overlays read this one font.
const char* const kOverlayFont = "Data/font/PIXEARG_.TTF";

// The files of the hostile set with the given ending.
std::vector<std::string> HostileFiles(const std::vector<std::string>& endings) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(kHostileDir.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      for (const std::string& end : endings)
        if (name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
          names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Item(const std::string& cls, const std::string& properties) {
  return R"({"Class":")" + cls + R"(","Properties":{"Start":0,"End":6,)" + properties + "}}";
}

// Every hostile font in each text mode, every hostile shader as a stage.
std::string HostileSequence(const std::vector<std::string>& fonts, const std::vector<std::string>& shaders) {
  std::vector<std::string> items;
  for (const std::string& font : fonts) {
    const std::string common = R"("Font":"font/)" + font + R"(","Text":"Ag0~\n\u00e9W",)";
    items.push_back(Item("fxText", common + R"("Render Outline":true,"Render Dot":false,"Render Lines":false)"));
    items.push_back(Item("fxText", common + R"("Render Outline":false,"Render Dot":true,"Render Lines":true,"Size":40,"Scale":3)"));
  }
  for (const std::string& shader : shaders)
    items.push_back(Item("fxShader", R"("Shaders/Fragment":"shader/)" + shader + R"(")"));
  std::string sequence = "{ \"Items\" : [\n";
  for (size_t i = 0; i < items.size(); ++i) sequence += (i ? ",\n" : "") + items[i];
  return sequence + "\n] }";
}

}  // namespace

TEST(HostilePack, PlayerRefusesOrDrawsEveryFileAndExitsWithZero) {
  const std::vector<std::string> fonts = HostileFiles({".ttf"});
  const std::vector<std::string> shaders = HostileFiles({".fs", ".glsl"});
  ASSERT_GE(fonts.size(), 20u) << "the hostile set is read from " << kHostileDir;
  ASSERT_GE(shaders.size(), 2u);
  PackFiles files{{"Data/seq/_DemoFull_.seq", HostileSequence(fonts, shaders)}};
  for (const std::string& font : fonts) files["Data/font/" + font] = ReadTextFile(kHostileDir + "/" + font);
  for (const std::string& shader : shaders) files["Data/shader/" + shader] = ReadTextFile(kHostileDir + "/" + shader);
  // The overlays' font: outlines past their glyphs. (The glyph atlas tests
  // take every hostile font through the overlays' code path.)
  files[kOverlayFont] = ReadTextFile(kHostileDir + "/glyphatlas-fuzz-glyf-oob-1695.ttf");
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, files));
  PlayerOptions options;
  options.args = {"-640x480", "-fps", "-reso"};
  options.env = {"VELMORA_FIXED_STEP=1"};
  options.timeoutSeconds = 240.0;
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  EXPECT_FALSE(run.timedOut);
  EXPECT_NE(run.log.find("[VectorFont] Not a usable TrueType font: font/font-hhea-zero-height.ttf"), std::string::npos)
      << run.log;
}
