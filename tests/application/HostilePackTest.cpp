// The player given a pack holding every file of the shared hostile set: each
// font named by stroke text items in every mode and by the overlays, each
// shader as the fragment stage of a shader effect; and the crafted
// productions generated here: models, art, particles, grading values, a
// nested sequence file, the settings file and the load list that once hung
// the player or exhausted its memory or stack. It plays to the end and
// exits with 0; the sanitized build turns any memory fault or undefined
// behaviour on the way into a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <vector>

#include "support/BpgTestFiles.h"
#include "support/HostileInputs.h"
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

// Crafted production files (paths inside the pack) and the items that
// load them or carry crafted values.
struct CraftedProduction {
  PackFiles files;
  std::vector<std::string> items;
};

CraftedProduction Crafted() {
  CraftedProduction p;
  const std::pair<const char*, std::string> models[] = {
      {"meshes/deep.gltf", hostile::GltfDeepExtras(30000)},
      {"meshes/chains.glb", hostile::GlbSkinnedChains(4, 255)},
      {"meshes/shared.glb", hostile::GlbSharedMesh(200, 1000)},
      {"meshes/far.glb", hostile::GlbFarAccessorOffset()},
      {"meshes/many.glb", hostile::GlbManyAnimatedNodes(20000)},
      {"meshes/old.gltf", hostile::GltfVersion1()},
  };
  for (const auto& [path, bytes] : models) {
    p.files[std::string("Data/") + path] = bytes;
    p.items.push_back(Item("fxGLTFLoader", std::string(R"("GLTF":")") + path + "\""));
  }
  p.files["Data/meshes/many_libs.obj"] = hostile::ObjRepeatedLibrary(8000, "lib.mtl");
  p.files["Data/meshes/lib.mtl"] = hostile::MtlLibrary(750);
  p.files["Data/meshes/empty.obj"] = "";
  for (const char* obj : {"meshes/many_libs.obj", "meshes/empty.obj"})
    p.items.push_back(Item("fxObjLoader", std::string(R"("OBJ":")") + obj + "\""));
  p.files["Data/svg/huge.svg"] = hostile::SvgHugeCubics(20000, 1e6f);
  p.files["Data/svg/long.svg"] = hostile::SvgLongPath(100000);
  p.items.push_back(Item("fxSVG", R"("SVG":"svg/huge.svg")"));
  p.files["Data/svg/square.svg"] =
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><path d="M0 0 H10 V10 H0 Z"/></svg>)";
  p.items.push_back(Item("fxMorph", R"("Source/SVG":"svg/long.svg","Destination/SVG":"svg/square.svg")"));
  for (const char* values : {R"("Density":1000000000)", R"("Size":0,"Shape":2)", R"("Scale":0)",
                             R"("Density":-5,"Size":-1,"Scale":-2,"Blur":-1)"})
    p.items.push_back(Item("fxAmbientParticles", values));
  for (const char* values : {R"("Emission":1000000000,"TimeScale":1e38)",
                             R"("Particle Max":-1,"InitialCount":-5,"Emission":-250,"Radius":-3)"})
    p.items.push_back(Item("fxParticleEmitter", values));
  p.items.push_back(Item("fxPostColorGradingAA",
                         R"("Apply Anti-aliasing":true,"Antialiasing/Mult Reduce":-2147483648,)"
                         R"("Antialiasing/Min Reduce":-2147483648)"));
  // The screen wall: a picture declaring 16384 x 16384, animations of one
  // picture, of a zero and of a 65,535 s period and of 15-microsecond
  // frames.
  const std::vector<uint8_t> bpgs[] = {HugeDeclaredBpg(), OnePictureAnimationBpg(),
                                       AnimationWithPeriodBpg({0x00, 0x01}),
                                       AnimationWithPeriodBpg({0x83, 0xFF, 0x7F, 0x01}),
                                       AnimationWithPeriodBpg({0x01, 0x83, 0xFF, 0x7F})};
  std::string wall = R"("Name":"Wall")";
  for (size_t i = 0; i < std::size(bpgs); ++i) {
    const std::string path = "bpg/odd" + std::to_string(i) + ".bpg";
    p.files["Data/" + path] = std::string(bpgs[i].begin(), bpgs[i].end());
    wall += ",\"Pinvale0" + std::to_string(i + 1) + "/Bpg\":\"" + path + "\"";
  }
  p.items.push_back(Item("fxPinvaleScreens", wall));
  p.files["Data/seq/deep.seq"] = hostile::NestedArrays(100000);
  p.items.push_back(Item("fxSequence", R"("Sequence File":"seq/deep.seq")"));
  p.files["Data/csv/demo.csv"] = hostile::NestedArrays(100000);
  return p;
}

// Every hostile font in each text mode, every hostile shader as a stage,
// then the crafted items.
std::string HostileSequence(const std::vector<std::string>& fonts, const std::vector<std::string>& shaders,
                            const std::vector<std::string>& crafted) {
  std::vector<std::string> items;
  for (const std::string& font : fonts) {
    const std::string common = R"("Font":"font/)" + font + R"(","Text":"Ag0~\n\u00e9W",)";
    items.push_back(Item("fxText", common + R"("Render Outline":true,"Render Dot":false,"Render Lines":false)"));
    items.push_back(Item("fxText", common + R"("Render Outline":false,"Render Dot":true,"Render Lines":true,"Size":40,"Scale":3)"));
  }
  for (const std::string& shader : shaders)
    items.push_back(Item("fxShader", R"("Shaders/Fragment":"shader/)" + shader + R"(")"));
  items.insert(items.end(), crafted.begin(), crafted.end());
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
  CraftedProduction crafted = Crafted();
  PackFiles files = crafted.files;
  files["Data/seq/_DemoFull_.seq"] = HostileSequence(fonts, shaders, crafted.items);
  for (const std::string& font : fonts) files["Data/font/" + font] = ReadTextFile(kHostileDir + "/" + font);
  for (const std::string& shader : shaders) files["Data/shader/" + shader] = ReadTextFile(kHostileDir + "/" + shader);
  // The overlays' font: outlines past their glyphs. (The glyph atlas tests
  // take every hostile font through the overlays' code path.)
  files[kOverlayFont] = ReadTextFile(kHostileDir + "/glyphatlas-fuzz-glyf-oob-1695.ttf");
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, files));
  dir.WriteFile("ScreenRecorderConfig.json", "{\"ScreenRecorderConfig\":" + hostile::NestedArrays(100000) + "}");
  PlayerOptions options;
  options.args = {"-640x480", "-fps", "-reso"};
  options.env = {"VELMORA_FIXED_STEP=1"};
  options.timeoutSeconds = 240.0;
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  EXPECT_FALSE(run.timedOut);
  EXPECT_NE(run.log.find("[VectorFont] Not a usable TrueType font: font/font-hhea-zero-height.ttf"), std::string::npos)
      << run.log;
  // Each crafted file met its refusal or its bound on the way.
  for (const char* line : {
           "[rvGltfModel] cannot load meshes/deep.gltf: JSON nested deeper than 256 levels",
           "[rvGltfModel] cannot load meshes/old.gltf: glTF 1.0 is not supported",
           "[rvGltfModel] meshes/far.glb: primitive 0 of mesh 0 skipped: accessor past the end of its buffer view",
           "[rvObjModel] empty file: meshes/empty.obj",
           "fxSVG: svg/huge.svg flattens to more than 262144 points",
           "[fxMorph] sides of",
           "[Sequence] seq/deep.seq: JSON error, nested deeper than 256 levels",
           "[fxPinvaleScreens] \"bpg/odd0.bpg\" is 16384x16384, larger than a 256x200 screen: not shown",
           "ScreenRecorderConfig.json is not valid JSON",
           "[Loader] load list line 1 longer than 1023 characters skipped",
       })
    EXPECT_NE(run.log.find(line), std::string::npos) << line;
}
