// Shader effects: stage files from the pack, per-instance "|ATTR="
// parameters, texture units from images and buffer effects, blend modes and
// broken shaders, checked by readback of the current target.
#include <gtest/gtest.h>

#include <json/json.h>

#include "effects/buffers/fxBuffer.h"
#include "effects/shaders/fxShader.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"
#include "support/DefaultTargetFixture.h"
#include "support/LogCapture.h"
#include "support/TestImages.h"
#include "support/TestPack.h"

namespace {

const char* const kColorShader =
    "SHADER_HEADER\n"
    "out vec4 fragColor;\n"
    "uniform vec4 uColor; // |COLOR|ATTR=Color|0.0, 0.5, 1.0, 1.0\n"
    "void main() { fragColor = uColor; }\n";

const char* const kTextureShader =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 fragColor;\n"
    "uniform sampler2D uTex; // |TEXTURE3|\n"
    "void main() { fragColor = texture(uTex, TexCoords); }\n";

const char* const kShadertoyShader =
    "void mainImage(out vec4 fragColor, in vec2 fragCoord)\n"
    "{ fragColor = vec4(fragCoord.x < iResolution.x * 0.5 ? 1.0 : 0.0, 0.0, 0.0, 1.0); }\n";

const char* const kBrokenShader =
    "SHADER_HEADER\n"
    "out vec4 fragColor;\n"
    "void main() { fragColor = vec4(undeclared, 1.0); }\n";

// A 2 x 2 PNG: red, green / blue, white.
std::string TinyPng() {
  return ConvertImage("-size 2x2 xc:black -fill red -draw 'point 0,0' -fill lime -draw 'point 1,0'"
                      " -fill blue -draw 'point 0,1' -fill white -draw 'point 1,1'");
}

Json::Value Item(const std::string& cls, const std::string& properties, const std::string& dynamic = "{}") {
  return ParseJson("{\"Class\":\"" + cls + "\",\"Properties\":" + properties + ",\"PropertiesDynamic\":" + dynamic +
                   "}");
}

class ShaderEffects : public DefaultTargetTest {
 protected:
  ShaderEffects() : DefaultTargetTest(64, 64) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/shader/color.fs", kColorShader},
                                  {"Data/shader/texture.fs", kTextureShader},
                                  {"Data/shader/toy.fs", kShadertoyShader},
                                  {"Data/shader/broken.fs", kBrokenShader},
                                  {"Data/img/tiny.png", TinyPng()}}));
    EnterDir(m_dir);
    Clear(0.0f, 0.0f, 0.0f, 1.0f);
  }
  static void Clear(float r, float g, float b, float a) {
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  static Rgba8 Pixel(RenderTarget& target, int x, int y) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixel(x, y);
  }
  static void Run(fxBase* fx) {
    fx->SetState(StateRunning);
    fx->ExternalUpdate();
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(ShaderEffects, LoadingCompilesOnceAndAttributesTakeTheirStoredValues) {
  LogCapture log;
  fxBase* fx = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/color.fs","Shaders/Vertex":""})",
                        R"({"Color.r":1.0,"Color.g":0.0,"Color.b":0.0,"Color.a":1.0})"));
  ASSERT_NE(fx, nullptr);
  Run(fx);
  auto* shader = static_cast<fxShader*>(fx);
  EXPECT_EQ(shader->ErrorText(), "");
  size_t compiles = 0;
  for (size_t at = 0; (at = log.Text().find("[fxShaderBase] compil shader shader/color.fs\n", at)) != std::string::npos; ++at)
    ++compiles;
  EXPECT_EQ(compiles, 1u) << "compiled while loading, not again in Init";
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 32, 32), {255, 0, 0, 255}));

  // The parameter is an attribute of this instance, in its value area.
  AttributeDesc* color = fx->m_classDesc->FindAttribute("Color");
  ASSERT_NE(color, nullptr);
  float* rgba = &color->Value<float>(fx);
  rgba[0] = 0.0f;
  rgba[1] = 1.0f;
  fx->ExternalUpdate();
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 32, 32), {0, 255, 0, 255}));
  EXPECT_EQ(GetClassRegistry()[fx->m_classDesc->m_registryIndex]->FindAttribute("Color"), nullptr)
      << "the shared class description has no per-instance attribute";
}

TEST_F(ShaderEffects, DefaultValueAndShadertoyForm) {
  fxBase* plain = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/color.fs","Shaders/Vertex":""})"));
  Run(plain);
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 5, 5), {0, 128, 255, 255}));
  fxBase* toy = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/toy.fs","Shaders/Vertex":""})"));
  Run(toy);
  EXPECT_EQ(static_cast<fxShaderBase*>(toy)->ErrorText(), "");
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 10, 32), {255, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 54, 32), {0, 0, 0, 255}));
}

// The Shadertoy form registers its engine uniforms in the uniform table; the
// base class gives its program no value area to hold them.
TEST_F(ShaderEffects, ShadertoyFormNeedsAValueArea) {
  LogCapture log;
  fxBase* toy = AddItem(Item("fxShaderBase", R"({"Shaders/Fragment":"shader/toy.fs","Shaders/Vertex":""})"));
  Run(toy);
  EXPECT_NE(static_cast<fxShaderBase*>(toy)->ErrorText().find(
                "ERROR: two many uniform variables with iTimeDelta (max 0 dword cumulated)\n"),
            std::string::npos)
      << static_cast<fxShaderBase*>(toy)->ErrorText();
  EXPECT_TRUE(log.Contains("two many uniform variables")) << log.Text();
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 10, 32), {0, 0, 0, 255}));
}

TEST_F(ShaderEffects, BrokenOrMissingShaderDrawsNothingAndLogs) {
  const std::pair<const char*, const char*> cases[] = {
      {"shader/broken.fs", "Fragment Shader:\n"},  // then the compiler's own lines
      {"shader/missing.fs", "ERROR: "},
  };
  for (const auto& [path, logged] : cases) {
    LogCapture log;
    fxBase* fx = AddItem(Item("fxShader", std::string(R"({"Shaders/Fragment":")") + path + R"(","Shaders/Vertex":""})"));
    Run(fx);
    EXPECT_NE(static_cast<fxShaderBase*>(fx)->ErrorText(), "") << path;
    EXPECT_NE(log.Text().find(logged), std::string::npos) << path << log.Text();
    EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 32, 32), {0, 0, 0, 255})) << path;
  }
}

TEST_F(ShaderEffects, TextureUnitsFromImagesAndRunningBufferEffects) {
  fxBase* image = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/texture.fs","Shaders/Vertex":"",
      "Textures/Tex3.TexFile":"img/tiny.png","Textures/Tex3.TexFilter":0})"));
  ASSERT_NE(image, nullptr);
  Run(image);
  EXPECT_EQ(static_cast<fxShaderBase*>(image)->ErrorText(), "");
  // Rows are flipped bottom-up: the image's top row lands at the top.
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 8, 56), {255, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 56, 56), {0, 255, 0, 255}));
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 8, 8), {0, 0, 255, 255}));

  // A buffer effect filled in yellow, then sampled by name.
  fxBase* buffer = AddItem(Item("fxBufferDisplay", R"({"Name":"Buf","Clear":true,"BackColor.r":1,"BackColor.g":1,"BackColor.b":0})"));
  fxBase* back = AddItem(Item("fxBufferDefault", "{}"));
  fxBase* sampler = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/texture.fs","Shaders/Vertex":"",
      "Textures/Tex3.FxBuf":"Buf"})"));
  for (fxBase* fx : {buffer, back, sampler}) fx->SetState(StatePrepared);
  Clear(0, 0, 0, 1);
  sampler->SetState(StateRunning);
  sampler->ExternalUpdate();
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 32, 32), {0, 0, 0, 255}))
      << "a stopped buffer effect gives no texture";
  for (fxBase* fx : {buffer, back, sampler}) Run(fx);
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 32, 32), {255, 255, 0, 255}));
}

TEST_F(ShaderEffects, BlendModes) {
  struct Case {
    int mode;
    Rgba8 expected;  // drawn (0, 0.5, 1, 1) over (0.5, 0.25, 0.5, 1)
  };
  const Case cases[] = {
      {BlendCopy, {0, 128, 255, 255}},
      {BlendAlpha, {0, 128, 255, 255}},
      {BlendAdd, {128, 191, 255, 255}},
      {BlendMax, {128, 128, 255, 255}},
  };
  for (const Case& c : cases) {
    Clear(0.5f, 0.25f, 0.5f, 1.0f);
    fxBase* fx = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/color.fs","Shaders/Vertex":"","BlendMode":)" +
                                          std::to_string(c.mode) + "}"));
    Run(fx);
    EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 32, 32), c.expected)) << c.mode;
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "the program's unbind restores the blend switch";
  }
}

TEST_F(ShaderEffects, DisabledEffectTouchesNothing) {
  fxBase* fx = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/color.fs","Shaders/Vertex":"","Enabled":false})"));
  Run(fx);
  EXPECT_TRUE(PixelNear(Pixel(g_defaultRenderTarget, 32, 32), {0, 0, 0, 255}));
}

TEST_F(ShaderEffects, CompileReloadsOnlyChangedStagesUnlessForced) {
  fxBase* fx = AddItem(Item("fxShader", R"({"Shaders/Fragment":"shader/color.fs","Shaders/Vertex":""})"));
  auto* shader = static_cast<fxShaderBase*>(fx);
  Run(fx);
  const GLuint program = shader->Program().m_program;
  shader->Compile(false);
  EXPECT_EQ(shader->Program().m_program, program) << "nothing changed: no relink";
  LogCapture log;
  shader->Compile(true);
  EXPECT_TRUE(log.Contains("[fxShaderBase] compil shader shader/color.fs\n"));
  shader->m_fragment.m_path = "shader/broken.fs";
  shader->Compile(false);
  EXPECT_NE(shader->ErrorText(), "");
  shader->m_fragment.m_path = "shader/color.fs";
  shader->Compile(false);
  EXPECT_EQ(shader->ErrorText(), "");
}
