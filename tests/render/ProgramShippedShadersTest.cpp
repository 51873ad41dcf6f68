// Every shader we ship must compile and link on Mesa, which is stricter than
// the drivers the production was first written for: the built-in programs
// and every stage file under demo/Data/shader, read through a real data pack
// so that their includes expand as in the player.
#include <gtest/gtest.h>

#include <json/json.h>

#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "Loader/AssetPath.h"
#include "core/ClassDesc.h"
#include "render/rvProgram.h"
#include "support/GLFixture.h"
#include "support/TestPack.h"
#include "support/JsonText.h"

namespace {

namespace fs = std::filesystem;

// The shader effect's layout: a value area and a per-instance description.
struct EffectProgram : rvProgram2D {
  EffectProgram() { SetValueArea(values, RV_OFFSETOF(EffectProgram, values), 1024, &desc); }
  uint32_t values[1024] = {};
  ClassDesc desc{"probe", nullptr, nullptr};
};

class ShippedShadersTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    const fs::path root = fs::path(VELMORA_SOURCE_DIR) / "demo" / "Data";
    PackFiles files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "shader")) {
      if (!entry.is_regular_file()) continue;
      const std::string relative = fs::relative(entry.path(), root).generic_string();
      files["Data/" + relative] = ReadTextFile(entry.path().string());
      m_sources[relative] = files["Data/" + relative];
    }
    ASSERT_TRUE(BuildPack(m_dir, files));
    EnterDir(m_dir);
    SetDataDirectory("Data");
    MakeTarget(64, 64);
  }
  bool Is(const std::string& path, const char* extension) const {
    return fs::path(path).extension() == extension;
  }

  TempDir m_dir;
  std::map<std::string, std::string> m_sources;  // path inside Data -> text
};

TEST_F(ShippedShadersTest, BuiltInProgramsCompileAndLink) {
  rvProgram2D plain;
  rvProgram3D solid;
  rvFillColorProgram2D fill;
  rvTexColorProgram2D color;
  rvTexAlphaProgram2D alpha;
  rvTexDepthProgram2D depth;
  rvTexStencilProgram2D stencil;
  rvProgram* programs[] = {&plain, &solid, &fill, &color, &alpha, &depth, &stencil};
  for (rvProgram* p : programs) {
    p->Bind();
    EXPECT_NE(p->m_program, 0u) << ShaderErrorLog();
    EXPECT_TRUE(ShaderErrorLog().empty()) << ShaderErrorLog();
    p->Unbind();
  }
}

namespace {

// The stage triples the sample production's shader effects use, read from
// its sequence file.
struct StageFiles {
  std::string vertex, geometry, fragment;
};

std::vector<StageFiles> ProductionShaderEffects() {
  const std::string text =
      ReadTextFile((fs::path(VELMORA_SOURCE_DIR) / "demo" / "Data" / "seq" / "_DemoFull_.seq").string());
  const Json::Value root = ParseJson(text);
  std::vector<StageFiles> effects;
  for (const Json::Value& item : root["Items"]) {
    const Json::Value& props = item["Properties"];
    if (!props.isObject() || !props["Shaders/Fragment"].isString()) continue;
    const auto path = [&](const char* key) { return props[key].isString() ? props[key].asString() : ""; };
    effects.push_back({path("Shaders/Vertex"), path("Shaders/Geometry"), path("Shaders/Fragment")});
  }
  return effects;
}

}  // namespace

TEST_F(ShippedShadersTest, EveryShaderEffectOfTheProductionBuildsWithItsStages) {
  const std::vector<StageFiles> effects = ProductionShaderEffects();
  ASSERT_FALSE(effects.empty());
  for (const StageFiles& e : effects) {
    EffectProgram p;
    const auto stage = [&](int index, const std::string& path) {
      if (path.empty()) return;
      ASSERT_TRUE(m_sources.count(path)) << path << " is not shipped";
      p.m_stages[index].source = m_sources[path].c_str();
    };
    stage(StageVertex, e.vertex);
    stage(StageGeometry, e.geometry);
    stage(StageFragment, e.fragment);
    p.Bind();
    ASSERT_NE(p.m_program, 0u) << e.vertex << " " << e.geometry << " " << e.fragment << "\n" << ShaderErrorLog();
    p.DrawFull(0);
    p.Unbind();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << e.fragment;
  }
}

TEST_F(ShippedShadersTest, EveryFragmentFileBuildsWithBothVertexStages) {
  ASSERT_TRUE(m_sources.count("shader/quad.vs"));
  // Fragments written for a geometry stage read its outputs: they build with
  // their own stages in the test above.
  std::set<std::string> needGeometry;
  for (const StageFiles& e : ProductionShaderEffects())
    if (!e.geometry.empty()) needGeometry.insert(e.fragment);
  int fragments = 0;
  for (const auto& [path, text] : m_sources) {
    if (!Is(path, ".fs") || needGeometry.count(path)) continue;
    ++fragments;
    // With the shipped vertex file and with the built-in one.
    for (const char* vertex : {m_sources["shader/quad.vs"].c_str(), static_cast<const char*>(nullptr)}) {
      EffectProgram p;
      p.m_stages[StageVertex].source = vertex;
      p.m_stages[StageFragment].source = text.c_str();
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      p.Bind();
      ASSERT_NE(p.m_program, 0u) << path << (vertex ? " with quad.vs" : "") << "\n" << ShaderErrorLog();
      p.DrawFull(0);
      p.Unbind();
      EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << path;
    }
  }
  EXPECT_GE(fragments, 4);
}

// Includes are expanded one level only: an include inside an included file
// would reach the compiler as written.
TEST_F(ShippedShadersTest, IncludedFilesIncludeNothing) {
  int libraries = 0;
  for (const auto& [path, text] : m_sources) {
    if (!Is(path, ".glsl")) continue;
    ++libraries;
    std::string stripped = text;
    StripComments(stripped);
    size_t line = 0;
    while (line < stripped.size()) {
      const size_t code = stripped.find_first_not_of(" ", line);
      EXPECT_NE(stripped.compare(code == std::string::npos ? line : code, 8, "#include"), 0) << path;
      const size_t next = stripped.find('\n', line);
      line = next == std::string::npos ? stripped.size() : next + 1;
    }
  }
  EXPECT_GE(libraries, 2);
}

TEST_F(ShippedShadersTest, SampleShadersCoverTheFourSourceForms) {
  std::map<uint8_t, std::string> forms;
  for (const auto& [path, text] : m_sources) {
    if (!Is(path, ".fs")) continue;
    EffectProgram p;
    p.m_stages[StageFragment].source = text.c_str();
    ASSERT_TRUE(p.Link()) << path << "\n" << ShaderErrorLog();
    forms[p.m_stages[StageFragment].format] = path;
    EXPECT_FALSE(p.m_stages[StageFragment].includes.empty() && text.find("#include") != std::string::npos) << path;
  }
  for (uint8_t form : {ShaderFormatOwn, ShaderFormatShadertoy, ShaderFormatBonzomatic, ShaderFormatRaw}) {
    EXPECT_TRUE(forms.count(form)) << "no sample shader in form " << int(form);
  }
}

TEST_F(ShippedShadersTest, PlasmaParametersBecomeEffectAttributes) {
  EffectProgram p;
  p.m_stages[StageFragment].source = m_sources["shader/plasma.fs"].c_str();
  ASSERT_TRUE(p.Link()) << ShaderErrorLog();
  struct Case {
    const char* name;
    int type;
  } cases[] = {{"Speed", AttrFloat}, {"Scale", AttrFloat}, {"Tint", AttrRGB}, {"Glow", AttrRGBS}, {"Bands", AttrInt}};
  for (const Case& c : cases) {
    AttributeDesc* a = p.desc.FindAttribute(c.name);
    ASSERT_NE(a, nullptr) << c.name;
    EXPECT_EQ(a->m_type, c.type) << c.name;
  }
  EXPECT_EQ(p.desc.FindAttribute("Bands")->Value<int>(&p), 3);
  EXPECT_EQ(p.m_constantUniformCount, 1);
}

}  // namespace
