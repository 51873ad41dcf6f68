// Preprocessing of real stages: includes read from an encrypted data pack,
// Mesa's compiler messages mapped back to the stage or the included file,
// and the messages a build failure leaves in the application log.
#include <gtest/gtest.h>

#include "Loader/AssetPath.h"
#include "Loader/rvLoader.h"
#include "core/ClassDesc.h"
#include "render/rvProgram.h"
#include "support/GLFixture.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

struct EffectProgram : rvProgram2D {
  EffectProgram() { SetValueArea(values, RV_OFFSETOF(EffectProgram, values), 1024, &desc); }
  uint32_t values[1024] = {};
  ClassDesc desc{"probe", nullptr, nullptr};
};

class PreprocessorPackTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    ASSERT_TRUE(BuildPack(m_dir, {
                                     {"Data/shader/good.glsl", "float Half(float x)\n{\n  return x * 0.5;\n}\n"},
                                     {"Data/shader/bad.glsl", "float Broken()\n{\n  return missingName;\n}\n"},
                                     {"Data/shader/outer.glsl", "// wraps bad\n#include \"shader/bad.glsl\"\n"},
                                 }));
    EnterDir(m_dir);
    SetDataDirectory("Data");
    MakeTarget(32, 32);
  }
  TempDir m_dir;
};

TEST_F(PreprocessorPackTest, CompilerMessagesPointAtTheRightFileAndLine) {
  struct Case {
    const char* source;
    const char* where;
  } cases[] = {
      // Own form: the marker line is line 1 of the stage.
      {"SHADER_HEADER\nout vec4 c;\nvoid main()\n{\n  c = vec4(nothing);\n}\n", "Line 5"},
      {"SHADER_HEADER\n#include \"shader/good.glsl\"\nout vec4 c;\nvoid main()\n{\n  c = vec4(nothing);\n}\n",
       "Line 6"},
      {"SHADER_HEADER\nout vec4 c;\n#include \"shader/bad.glsl\"\nvoid main() { c = vec4(Broken()); }\n",
       "[shader/bad.glsl] Line 3"},
      // The include inside outer.glsl is not expanded: the compiler meets it.
      {"SHADER_HEADER\nout vec4 c;\n#include \"shader/outer.glsl\"\nvoid main() { c = vec4(1.0); }\n",
       "[shader/outer.glsl] Line 2"},
      // Shadertoy form: the body is the whole text.
      {"\nvoid mainImage(out vec4 fragColor, in vec2 fragCoord)\n{\n  fragColor = vec4(nothing);\n}\n", "Line 4"},
      {"SHADER_RAW\nout vec4 c;\nvoid main() { c = vec4(nothing); }\n", "Line 3"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EffectProgram p;
    p.m_stages[StageFragment].source = c.source;
    EXPECT_FALSE(p.Link()) << c.source;
    const std::string& errors = ShaderErrorLog();
    // The stage title, then the mapped compiler log as it stands.
    EXPECT_EQ(errors.rfind("Fragment Shader:\n    \xEF\x84\x98 ", 0), 0u) << errors;
    EXPECT_NE(errors.back(), '\n') << errors;
    EXPECT_NE(errors.find(std::string("\xEF\x84\x98 ") + c.where + ":"), std::string::npos)
        << c.source << "\n" << errors;
    EXPECT_TRUE(log.Contains(c.where)) << log.Text();
  }
}

TEST_F(PreprocessorPackTest, IncludedCodeCompilesAndRuns) {
  EffectProgram p;
  p.m_stages[StageFragment].source =
      "SHADER_HEADER\n#include \"shader/good.glsl\"\nout vec4 c;\n"
      "#include \"shader/good.glsl\" \n"  // repeated: a second definition fails
      "void main() { c = vec4(Half(1.0)); }\n";
  EXPECT_FALSE(p.Link());
  EXPECT_EQ(p.m_stages[StageFragment].includes.size(), 2u);

  p.m_stages[StageFragment].source =
      "SHADER_HEADER\n#include \"shader/good.glsl\"\nout vec4 c;\nvoid main() { c = vec4(Half(1.0)); }\n";
  p.Bind();
  ASSERT_NE(p.m_program, 0u) << ShaderErrorLog();
  p.DrawFull(0);
  p.Unbind();
  EXPECT_TRUE(PixelNear(ReadPixel(16, 16), {128, 128, 128, 128}));
}

TEST_F(PreprocessorPackTest, MissingIncludeIsLoggedAndFailsTheStage) {
  LogCapture log;
  EffectProgram p;
  p.m_stages[StageFragment].source =
      "SHADER_HEADER\nout vec4 c;\n#include \"shader/none.glsl\"\nvoid main() { c = vec4(1.0); }\n";
  EXPECT_FALSE(p.Link());
  EXPECT_EQ(p.m_program, 0u);
  EXPECT_EQ(ShaderErrorLog(), "Fragment Shader:\nERROR: included file shader/none.glsl not found or empty\n");
  EXPECT_TRUE(log.Contains("ERROR: included file shader/none.glsl not found or empty"));
  // Nothing drawn, nothing crashed.
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  p.Bind();
  p.DrawFull(0);
  p.Unbind();
  EXPECT_TRUE(PixelNear(ReadPixel(16, 16), {0, 0, 0, 0}));
}

TEST_F(PreprocessorPackTest, LoadingScreenBuildsDuringAnIncludeKeepTheirOwnLog) {
  // The include read draws a loading frame, whose fill and present programs
  // are built there for the first time, in the middle of this build.
  rvLoader::s_loadingWindow = Window();
  EffectProgram p;
  // The vertex stage fails first, so the log holds text when the read comes.
  p.m_stages[StageVertex].source = "SHADER_HEADER\nvoid main() { gl_Position = vec4(nothing); }\n";
  p.m_stages[StageFragment].source =
      "SHADER_HEADER\nout vec4 c;\n#include \"shader/bad.glsl\"\nvoid main() { c = vec4(Broken()); }\n";
  EXPECT_FALSE(p.Link());
  rvLoader::s_loadingWindow = nullptr;
  EXPECT_NE(FillColorProgram().m_program, 0u) << "the loading frame was drawn";
  EXPECT_EQ(ShaderErrorLog().rfind("Vertex Shader:\n", 0), 0u) << ShaderErrorLog();
  EXPECT_NE(ShaderErrorLog().find("Fragment Shader:\n"), std::string::npos) << ShaderErrorLog();
  EXPECT_NE(ShaderErrorLog().find("[shader/bad.glsl] Line 3"), std::string::npos) << ShaderErrorLog();
}

TEST_F(PreprocessorPackTest, UnknownFormIsReportedWithTheStageTitle) {
  LogCapture log;
  rvProgram2D p;
  p.m_stages[StageFragment].source = "void main() {}\n";
  EXPECT_FALSE(p.Link());
  EXPECT_EQ(ShaderErrorLog(),
            "Fragment Shader:\nERROR: shader format unknown (not shadertoy, bonzomatic or velmora shader).");
  EXPECT_TRUE(log.Contains("ERROR: shader format unknown"));
}

TEST_F(PreprocessorPackTest, ShadertoyAndBonzomaticUniformsAreFed) {
  const uint8_t texel[4] = {0, 0, 255, 255};
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glActiveTexture(GL_TEXTURE0);
  struct Case {
    const char* source;
    Rgba8 want;
  } cases[] = {
      // fragCoord in pixels from the 2D vertex stage, iMouse zero, iChannel1 on unit 1.
      {"void mainImage(out vec4 fragColor,in vec2 fragCoord)\n{\n"
       "  fragColor = vec4(fragCoord / iResolution, iMouse.x, 1.0) + texture(iChannel1, vec2(0.5));\n}\n",
       {128, 128, 255, 255}},
      {"#version 410 core\nuniform float fGlobalTime;\nuniform vec2 v2Resolution;\nuniform sampler2D texTex1;\n"
       "out vec4 o;\nvoid main()\n{\n  o = vec4(gl_FragCoord.xy / v2Resolution, fGlobalTime, 1.0)"
       " + texture(texTex1, vec2(0.5));\n}\n",
       {128, 128, 255, 255}},
  };
  for (const Case& c : cases) {
    EffectProgram p;
    p.m_stages[StageFragment].source = c.source;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    p.Bind();
    ASSERT_NE(p.m_program, 0u) << ShaderErrorLog();
    p.DrawFull(0);
    p.Unbind();
    EXPECT_TRUE(PixelNear(ReadPixel(16, 16), c.want, 6)) << c.source;
  }
  glDeleteTextures(1, &tex);
}

}  // namespace
