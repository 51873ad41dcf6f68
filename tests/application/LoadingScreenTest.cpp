// The loading bar as a person sees it: a production that takes a while to
// load is screenshot while it loads, and the bar's frame and fill are where
// the loading screen draws them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/PlayerRun.h"
#include "support/TestPack.h"

namespace {

struct Screenshot {
  int width = 0, height = 0;
  std::string rgb;  // 3 bytes a pixel, rows top-down

  bool Take(const std::string& path) {
    const std::string cmd = "import -window root -depth 8 rgb:'" + path + "' 2>/dev/null && "
                            "xdpyinfo | sed -n 's/.*dimensions: *\\([0-9]*\\)x\\([0-9]*\\) .*/\\1 \\2/p' > '" +
                            path + ".size'";
    if (std::system(cmd.c_str()) != 0) return false;
    rgb = ReadTextFile(path);
    const std::string size = ReadTextFile(path + ".size");
    if (std::sscanf(size.c_str(), "%d %d", &width, &height) != 2) return false;
    return rgb.size() == size_t(width) * height * 3;
  }
  bool White(int x, int y) const { return Lum(x, y) > 200; }
  bool Black(int x, int y) const { return Lum(x, y) < 40; }
  int Lum(int x, int y) const {
    const size_t i = (size_t(y) * width + x) * 3;
    return (uint8_t(rgb[i]) + uint8_t(rgb[i + 1]) + uint8_t(rgb[i + 2])) / 3;
  }
};

// Many shader effects: each one is read and compiled while the bar shows.
std::string SlowSequence(int effects) {
  std::string items;
  for (int i = 0; i < effects; ++i) {
    if (i) items += ",";
    items += R"({"Class":"fxShader","Properties":{"Start":0,"End":30,"Shaders/Fragment":"shader/s)" +
             std::to_string(i) + R"(.fs","Shaders/Vertex":""}})";
  }
  return "{\"Items\":[" + items + "]}";
}

std::string Shader(int i) {
  return "SHADER_HEADER\nout vec4 fragColor;\nuniform float uGain; // |ATTR=Gain|" + std::to_string(i) +
         "\nvoid main() { fragColor = vec4(sin(gl_FragCoord.x * uGain), 0.0, 0.0, 1.0); }\n";
}

}  // namespace

TEST(LoadingScreen, BarFillsWhileTheProductionLoads) {
  constexpr int kEffects = 400;
  PackFiles files = {{"Data/seq/_DemoFull_.seq", SlowSequence(kEffects)}};
  for (int i = 0; i < kEffects; ++i) files["Data/shader/s" + std::to_string(i) + ".fs"] = Shader(i);
  std::string list;
  for (const auto& [name, bytes] : files) list += name.substr(5) + ";" + std::to_string(bytes.size()) + ";\n";
  files["Data/csv/demo.csv"] = list;
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, files));

  Screenshot shot;
  bool taken = false;
  PlayerOptions options;
  options.args = {"-640x480"};
  // A quarter through the shader reads the bar stands between empty and
  // full, with most of the loading still ahead while the screenshot is taken.
  options.waitForLog = "compil shader shader/s100.fs";
  options.whileRunning = [&] { taken = shot.Take(dir.Path() + "/loading.rgb"); };
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log.substr(0, 2000);
  ASSERT_TRUE(taken);

  const int w = shot.width, h = shot.height;
  const int y = h / 2;  // the bar spans 0.49 to 0.51 of the height
  EXPECT_TRUE(shot.White(int(0.2505f * w), y)) << "left edge of the frame";
  EXPECT_TRUE(shot.White(int(0.7495f * w), y)) << "right edge of the frame";
  EXPECT_TRUE(shot.Black(w / 2, int(0.40f * h))) << "nothing above the bar";
  EXPECT_TRUE(shot.Black(w / 2, int(0.60f * h))) << "nothing below the bar";
  // The fill starts at the left inside edge and stops short of the right one.
  EXPECT_TRUE(shot.White(int(0.26f * w), y)) << "filled part";
  EXPECT_TRUE(shot.Black(int(0.745f * w), y)) << "part still to load";
}
