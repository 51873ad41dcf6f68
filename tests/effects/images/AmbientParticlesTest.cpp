// Ambient particles: the field offset as a function of the camera's motion,
// the program's shape constant, and pixels for Enabled off, Density 0, the
// stencil mask (and the write mask left usable), the debug grid and the
// spotlight, read back from "Default".
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <string>
#include <vector>

#include "effects/EffectBlend.h"
#include "effects/images/fxAmbientParticles.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "support/DefaultTargetFixture.h"
#include "support/LogCapture.h"

namespace {

constexpr int kSize = 64;

// A camera at `position` looking along `forward` (y up).
glm::mat4 CameraAt(const glm::vec3& position, const glm::vec3& forward) {
  return glm::inverse(glm::lookAt(position, position + forward, glm::vec3(0.0f, 1.0f, 0.0f)));
}

}  // namespace

TEST(AmbientField, OffsetFollowsTheCameraInItsOwnAxes) {
  struct Case {
    const char* what;
    glm::mat4 from, to;
    glm::vec4 scale;
    glm::vec3 drift;
    float dt;
    glm::vec3 expected;  // offset change
  };
  const glm::vec3 ahead(0, 0, -1), left(-1, 0, 0);
  const Case cases[] = {
      {"still", CameraAt({0, 0, 0}, ahead), CameraAt({0, 0, 0}, ahead), {1, 1, 1, 1}, {0, 0, 0}, 1.0f / 60, {0, 0, 0}},
      {"forward by 1", CameraAt({0, 0, 0}, ahead), CameraAt({0, 0, -1}, ahead), {1, 1, 1, 1}, {0, 0, 0}, 0, {0, 0, 1}},
      {"forward by 1, turned", CameraAt({0, 0, 0}, left), CameraAt({-1, 0, 0}, left), {1, 1, 1, 5}, {0, 0, 0}, 0, {0, 0, 1}},
      {"to the right by 2", CameraAt({0, 0, 0}, ahead), CameraAt({2, 0, 0}, ahead), {1, 1, 1, 1}, {0, 0, 0}, 0, {2, 0, 0}},
      {"world x not followed", CameraAt({0, 0, 0}, ahead), CameraAt({2, 0, 0}, ahead), {0, 1, 1, 1}, {0, 0, 0}, 0, {0, 0, 0}},
      {"up, half scale", CameraAt({0, 0, 0}, ahead), CameraAt({0, 4, 0}, ahead), {1, 0.5f, 1, 1}, {0, 0, 0}, 0, {0, 2, 0}},
      {"drift", CameraAt({0, 0, 0}, ahead), CameraAt({0, 0, 0}, ahead), {1, 1, 1, 1}, {2, -4, 6}, 0.5f, {-1, 2, 3}},
  };
  for (const Case& c : cases) {
    FieldMotion start;
    start.tracked = TrackedPoint(c.from, c.scale.w);
    start.offset = glm::vec3(10.0f, 20.0f, 30.0f);
    const FieldMotion moved = MoveField(start, c.to, c.scale, c.drift, c.dt);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(moved.offset[k] - start.offset[k], c.expected[k], 1e-5f) << c.what << " " << k;
    EXPECT_EQ(moved.tracked, TrackedPoint(c.to, c.scale.w)) << c.what;
  }
  FieldMotion start;
  start.offset = glm::vec3(1.0f);
  glm::mat4 broken(1.0f);
  broken[3] = glm::vec4(NAN, 0.0f, 0.0f, 1.0f);
  const FieldMotion kept = MoveField(start, broken, glm::vec4(1.0f), glm::vec3(0.0f), 0.1f);
  EXPECT_EQ(kept.offset, glm::vec3(1.0f)) << "a broken camera leaves the field";
  EXPECT_EQ(kept.tracked, start.tracked);
}

TEST(AmbientField, TheTrackedPointLiesAheadOfTheCamera) {
  EXPECT_EQ(TrackedPoint(CameraAt({1, 2, 3}, {0, 0, -1}), 4.0f), glm::vec3(1, 2, -1));
}

namespace {

// Counts its builds, so a test sees when the shape constant rebuilds it.
class CountingProgram : public shAmbientParticles {
 public:
  void Build() override {
    ++m_builds;
    shAmbientParticles::Build();
  }
  int m_builds = 0;
};

class AmbientParticles : public DefaultTargetTest {
 protected:
  AmbientParticles() : DefaultTargetTest(kSize, kSize) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    Clear(1.0f, 0.0f, 0.0f, 1.0f);
  }
  static void Clear(float r, float g, float b, float a) {
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  static Rgba8 At(int x, int y) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixel(x, kSize - 1 - y);
  }
  // Pixels of the whole target that satisfy `test`.
  template <class Test>
  static int Count(Test test) {
    int n = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) n += test(At(x, y)) ? 1 : 0;
    return n;
  }
  fxAmbientParticles* Run(const std::string& properties) {
    auto* fx = static_cast<fxAmbientParticles*>(
        AddItem(ParseJson("{\"Class\":\"fxAmbientParticles\",\"Properties\":{\"FadeIn\":0," + properties.substr(1) + "}")));
    EXPECT_NE(fx, nullptr);
    fx->SetState(StateRunning);
    fx->ExternalUpdate();
    return fx;
  }
};

}  // namespace

TEST_F(AmbientParticles, AnEmptyFieldIsTransparentBlack) {
  struct Case {
    const char* properties;
    Rgba8 expected;  // over opaque red
  };
  const Case cases[] = {
      {R"({"Enabled":false,"BlendMode":0})", {0, 0, 0, 0}},
      {R"({"Enabled":false,"BlendMode":1})", {255, 0, 0, 255}},
      {R"({"Density":0,"BlendMode":0})", {0, 0, 0, 0}},
      {R"({"Density":0,"BlendMode":2})", {255, 0, 0, 255}},
  };
  for (const Case& c : cases) {
    Clear(1.0f, 0.0f, 0.0f, 1.0f);
    Run(c.properties);
    for (int x : {3, 32, 60}) EXPECT_TRUE(PixelNear(At(x, x), c.expected)) << c.properties << " at " << x;
  }
}

TEST_F(AmbientParticles, TheFieldShowsParticlesOfBothColours) {
  Clear(0.0f, 0.0f, 0.0f, 1.0f);
  Run(R"({"BlendMode":2,"Color0.r":0,"Color0.g":0,"Color0.b":1,"Color0.a":1,"Size":0.4,"Blur":0.2})");
  const int lit = Count([](const Rgba8& p) { return p[2] > 40; });
  EXPECT_GT(lit, kSize * kSize / 50) << "particles show";
  EXPECT_LT(lit, kSize * kSize) << "and space between them";
  EXPECT_GT(Count([](const Rgba8& p) { return p[0] > 40; }), 0) << "some lean to Color1's white";
}

TEST_F(AmbientParticles, StencilKeepsMarkedPixelsAndLeavesTheWriteMaskUsable) {
  // Stencil 1 on the left half.
  glStencilMask(0xFF);
  glClearStencil(0);
  glClear(GL_STENCIL_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, kSize / 2, kSize);
  glClearStencil(1);
  glClear(GL_STENCIL_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glClearStencil(0);

  fxAmbientParticles* fx = Run(R"({"Enabled":false,"BlendMode":0,"UseStencil":true})");
  EXPECT_TRUE(PixelNear(At(10, 32), {255, 0, 0, 255})) << "stencil 1: untouched";
  EXPECT_TRUE(PixelNear(At(50, 32), {0, 0, 0, 0})) << "elsewhere: drawn";
  EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
  GLint writeMask = 0;
  glGetIntegerv(GL_STENCIL_WRITEMASK, &writeMask);
  EXPECT_EQ(writeMask & 0xFF, 0xFF);

  // So the next stencil clear works: the whole target is drawn again.
  glClear(GL_STENCIL_BUFFER_BIT);
  Clear(1.0f, 0.0f, 0.0f, 1.0f);
  fx->ExternalUpdate();
  EXPECT_TRUE(PixelNear(At(10, 32), {0, 0, 0, 0}));
}

TEST_F(AmbientParticles, DebugGridDrawsTheCellEdgesInGreen) {
  const std::string dark = R"("BlendMode":0,"Color0.a":0,"Color1.r":0,"Color1.g":0,"Color1.b":0,"Color1.a":0)";
  Run("{" + dark + "}");
  EXPECT_EQ(Count([](const Rgba8& p) { return p[1] > 0; }), 0) << "no grid, no light";
  Run("{" + dark + R"(,"DebugGrid":true,"Density":1,"Scale":0.013})");
  const int green = Count([](const Rgba8& p) { return p[1] > 100 && p[0] == 0; });
  EXPECT_GT(green, 8) << "grid lines";
  EXPECT_LT(green, kSize * kSize / 4) << "only lines";
}

TEST_F(AmbientParticles, DebugLightShowsTheSpotlightCone) {
  // The light sits on the centre of the pixel in column 32, row 32 from the
  // bottom (row 31 from the top), and points to the left
  // (rotation 0 turns (0, -1) into (-1, 0)).
  const float centre = 1.0f / kSize;
  fxAmbientParticles* fx = Run(R"({"BlendMode":0,"Enabled":false,"DebugLight":true,"LightRotZ":0,
      "LightAperture":0.3,"LightFallback":0.1,"LightDistance":1.5,"LightPosXY.x":)" + std::to_string(centre) +
                               ",\"LightPosXY.y\":" + std::to_string(centre) + "}");
  EXPECT_GT(At(16, 32)[0], 100) << "inside the cone";
  EXPECT_EQ(At(48, 32)[0], 0) << "behind the light";
  EXPECT_EQ(At(16, 2)[0], 0) << "outside the aperture";
  EXPECT_EQ(At(32, 31)[0], 255) << "the light's own pixel is lit, not NaN";
  EXPECT_EQ(fx->m_program.m_timeOffset, 1234.0f);
}

TEST_F(AmbientParticles, EveryShapeBuildsAndAShapeChangeRebuildsOnce) {
  for (int shape = 0; shape < 6; ++shape) {
    LogCapture log;
    fxAmbientParticles* fx = Run(R"({"Shape":)" + std::to_string(shape) + "}");
    EXPECT_NE(fx->m_program.m_program, 0u) << shape;
    EXPECT_FALSE(log.Contains("ERROR")) << shape << log.Text();
  }
  CountingProgram program;
  const struct {
    int shape;
    int builds;
  } steps[] = {{0, 1}, {0, 1}, {3, 2}, {3, 2}, {5, 3}};
  for (const auto& step : steps) {
    program.m_shape = step.shape;
    program.Bind();
    program.Unbind();
    EXPECT_EQ(program.m_builds, step.builds) << "shape " << step.shape;
    EXPECT_NE(program.m_program, 0u);
  }
  const ShaderConstant& constant = program.m_constants.front();
  EXPECT_EQ(constant.declaration, "const int CONST_PARTICLE_SHAPE = 5;\n");
  program.Release();
}

TEST_F(AmbientParticles, InitReanchorsAtTheCameraAndKeepsTheOffset) {
  fxAmbientParticles* fx = Run(R"({"BlendMode":1})");
  fx->m_motion.offset = glm::vec3(7.0f);
  g_defaultRenderTarget.m_position = glm::vec3(50.0f, 0.0f, 0.0f);  // a jump between two runs
  g_defaultRenderTarget.UpdateMatrices(glm::mat4(1.0f));
  fx->SetState(StateNone);
  fx->SetState(StateRunning);
  fx->ExternalUpdate();
  EXPECT_EQ(fx->m_motion.offset, glm::vec3(7.0f));
}

TEST_F(AmbientParticles, ValuesPastTheirRangesReachTheShaderClampedOrDrawNothing) {
  // Density 1e9 would run a billion layers per pixel: it draws as 20.
  const auto frame = [this](const std::string& properties) {
    Clear(0.0f, 0.0f, 0.0f, 0.0f);
    Run(properties);
    std::vector<Rgba8> pixels;
    for (int y = 0; y < kSize; y += 3)
      for (int x = 0; x < kSize; x += 3) pixels.push_back(At(x, y));
    return pixels;
  };
  const std::vector<Rgba8> twenty = frame(R"({"Density":20,"BlendMode":0})");
  const std::vector<Rgba8> billion = frame(R"({"Density":1000000000,"BlendMode":0})");
  ASSERT_EQ(twenty.size(), billion.size());
  int lit = 0;
  for (size_t i = 0; i < twenty.size(); ++i) {
    EXPECT_TRUE(PixelNear(billion[i], twenty[i])) << i;
    lit += twenty[i][0] > 0 ? 1 : 0;
  }
  EXPECT_GT(lit, 0) << "the field shows particles";
  // No particle, or a particle of no size, covers nothing: not the whole
  // target (equal smoothstep edges), not NaN.
  for (const char* properties :
       {R"({"Size":0,"BlendMode":0})", R"({"Size":-0.3,"BlendMode":0})", R"({"Scale":0,"BlendMode":0})",
        R"({"Scale":-1,"BlendMode":0})", R"({"Density":-5,"BlendMode":0})", R"({"Size":0,"Shape":2,"BlendMode":0})"}) {
    Clear(0.0f, 0.0f, 1.0f, 1.0f);
    Run(properties);
    EXPECT_EQ(Count([](const Rgba8& p) { return !PixelNear(p, Rgba8{0, 0, 0, 0}); }), 0) << properties;
  }
}
