// Ambient particles: the field offset as a function of the camera's motion,
// the program's shape constant, and pixels for Enabled off, Density 0, the
// stencil mask (and the write mask left usable), the debug grid and the
// spotlight, read back from "Default"; and the field's pixels against a
// plain per-pixel evaluation of the same field, for every shape and the
// sample production's settings.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdlib>
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

namespace {

// The field evaluated wholly per pixel, every layer's and every frame's
// values included: the straightforward form the effect's program must match.
const char* const kPerPixelField = R"(SHADER_HEADER
in vec2 TexCoords;
in vec2 fragCoord;
out vec4 fragColor;
uniform int SEED;
uniform float FADE;
uniform int ENABLED;
uniform vec4 COLOR0;
uniform vec4 COLOR1;
uniform vec3 GLOBAL_MOTION;
uniform float BLUR;
uniform float NOISE_MOTION;
uniform int DENSITY;
uniform float SCALE;
uniform float SIZE;
uniform float DEPTH_SCALE;
uniform float DEPTH_ALPHA;
uniform float SPOTLIGHT;
uniform vec2 LIGHT_POSXY;
uniform float LIGHT_ROTZ;
uniform float LIGHT_APERTURE;
uniform float LIGHT_FALLBACK;
uniform float LIGHT_DISTANCE;
uniform int DEBUG_GRID;
uniform int DEBUG_SPOTLIGHT;
uniform vec3 CAMERA_POSITION;
uniform vec3 CAMERA_ROTATION;

// A fallback of 0 would divide by zero at the cone's edge.
float linearstep(float x, float a, float b) { return (clamp(x, a, b) - a) / max(b - a, 1e-6); }
vec2 rot(vec2 v, float a) { return vec2(v.x * sin(a) + v.y * cos(a), -v.x * cos(a) + v.y * sin(a)); }
float hash12(vec2 x) {
  vec2 f = fract(x * vec2(451.45, 231.95));
  f += dot(f, f + 78.78);
  return fract(f.x * f.y);
}
vec2 hash21(float x) { return fract(sin(x * vec2(24.0181, 52.1984)) * 5081.4972); }

// Coverage falling from 1 at `inner` to 0 at `outer`. smoothstep has no
// value for equal edges; there the edge is hard.
float fall(float outer, float inner, float d) {
  return outer == inner ? 1.0 - step(outer, d) : smoothstep(outer, inner, d);
}

// An outline: the filled shape minus a slightly smaller one.
float ring(float d, float sz, float b, float inner, float soft) {
  return fall(sz, sz * b, d) - fall(inner * sz, (inner * sz - soft) * b, d);
}

float shape(vec2 g) {
  float sz = SIZE;
  // A particle of no size covers nothing (not the whole cell).
  if (sz <= 0.0) return 0.0;
  float b = 0.999 - BLUR;
  if (CONST_PARTICLE_SHAPE == 1) return ring(max(abs(g.x), abs(g.y)), sz, b, 0.9, 0.01);
  if (CONST_PARTICLE_SHAPE == 2)
    return ring(length(g), sz, b, 0.98, 0.02) + fall(0.637 * sz, 0.0, length(g + LIGHT_POSXY * 0.196 * sz));
  if (CONST_PARTICLE_SHAPE == 3) return fall(sz, sz * b, abs(g.x) + abs(g.y));
  if (CONST_PARTICLE_SHAPE == 4) {
    float e = min(min(abs(g.x), abs(g.y)), abs(g.x) + abs(g.y)) < 0.1 * sz ? length(g) : sz;
    return fall(sz, sz * b, e);
  }
  if (CONST_PARTICLE_SHAPE == 5) return ring(length(g), sz, b, 0.98, 0.02);
  return fall(sz, sz * b, length(g));
}

vec4 cell(vec2 q, float s) {
  vec2 c = floor(q);
  float h = hash12(c);
  vec4 particle = mix(COLOR0, COLOR1, h);
  vec2 centre = rot(vec2(0.0, 1.0), NOISE_MOTION * iTime * 3.0 * (h - 0.5)) * (0.5 - SIZE) + c + 0.5;
  return shape(centre - q) * particle * s;
}

void main()
{
  vec2 uv = (2.0 * fragCoord - iResolution.xy) / iResolution.x;
  vec3 cameraPos = CAMERA_POSITION + GLOBAL_MOTION * iTime;

  vec2 l = uv - LIGHT_POSXY;
  vec2 axis = rot(vec2(0.0, -1.0), LIGHT_ROTZ);
  float len = length(l);
  // Rounding can push the cosine of two unit vectors past 1, where acos has
  // no value; the light's own position counts as inside the cone.
  float ang = len > 0.0 ? acos(clamp(dot(l / len, axis), -1.0, 1.0)) : 0.0;
  float spot = (1.0 - linearstep(ang, LIGHT_APERTURE, LIGHT_APERTURE + LIGHT_FALLBACK)) *
               (1.0 - min(1.0, len / LIGHT_DISTANCE));

  float spotMix = 1.0 - (1.0 - spot) * SPOTLIGHT;
  float k = 1.0 / SCALE;
  int n = DENSITY;
  float fn = float(n);
  float seed = floor(cameraPos.z) + float(SEED) * fn;
  float o = fract(cameraPos.z);
  float alpha = 1.0;
  float previousScale = 0.0;
  vec4 colour = vec4(0.0);
  // A scale of 0 would make every layer's grid infinitely coarse (NaN).
  if (ENABLED != 0 && SCALE > 0.0) {
    for (int i = 1; i <= n; ++i) {
      float fi = float(i);
      float targetScale = k * ((fi - 1.0) * DEPTH_SCALE + 1.0);
      float scale = mix(targetScale, previousScale, o);
      vec2 q = (uv + CAMERA_ROTATION.xy) * scale + cameraPos.xy + 10.0 * hash21(seed + fi);
      float blend = 1.0;
      if (o != 0.0 && (i == 1 || i == n)) {
        float w = fi - o;
        blend = smoothstep(0.0, 1.0, w) * (1.0 - smoothstep(fn - 1.0, fn, w));
      }
      float fog = mix(alpha * DEPTH_ALPHA, alpha, o) * blend;
      colour += cell(q, spotMix) * fog;
      alpha *= DEPTH_ALPHA;
      previousScale = targetScale;
      if (DEBUG_GRID != 0 && min(fract(q).x, fract(q).y) < 0.01) colour.g += (fn + 1.0 - fi) / (fn + 1.0);
    }
  }
  colour *= FADE;
  if (DEBUG_SPOTLIGHT != 0) colour.r = spot;
  fragColor = colour;
}
)";

class AmbientFieldPixels : public DefaultTargetTest {
 protected:
  AmbientFieldPixels() : DefaultTargetTest(kWidth, kHeight) {}
  static constexpr int kWidth = 320, kHeight = 240;

  // The whole target after one frame of a field with these properties at
  // local time t and field offset `offset`, over opaque black; with
  // `perPixel`, drawn by the per-pixel evaluation.
  std::vector<uint8_t> Field(const std::string& properties, float t, const glm::vec3& offset, bool perPixel) {
    auto* fx = static_cast<fxAmbientParticles*>(AddRunning("fxAmbientParticles", properties));
    if (fx == nullptr) return {};
    if (perPixel) fx->m_program.m_stages[StageFragment].source = kPerPixelField;
    fx->m_motion.offset = offset;
    glBindFramebuffer(GL_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    Frame(fx, t);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixels(0, 0, kWidth, kHeight);
  }
};

}  // namespace

TEST_F(AmbientFieldPixels, MatchThePerPixelEvaluationWithinOneLevel) {
  const std::string motes = R"("BlendMode":2,"Shape":2,"Seed":3,"NoiseMotion":0.6,"Color0.r":0.25,"Color0.g":0.35,
      "Color0.b":0.9,"Color1.g":0.75,"Color1.b":0.45,"Scale":0.6,"Size":0.22,"Blur":0.55,"Density":5,"zScale":0.7,
      "zAlpha":0.78,"Spotlight":0.45,"LightPosXY.x":0.9,"LightPosXY.y":0.75,"LightRotZ":0.9,"LightAperture":0.6,
      "LightFallback":0.5,"LightDistance":2.6)";
  struct Case {
    std::string properties;
    float t;
    glm::vec3 offset;  // a fractional z blends the nearest and farthest layers
  };
  std::vector<Case> cases = {
      {"{" + motes + "}", 0.0f, {0.0f, 0.0f, 0.0f}},
      {"{" + motes + "}", 7.3f, {0.4f, -1.3f, 2.35f}},
      {"{" + motes + R"(,"Size":0.45,"Blur":0,"Spotlight":1})", 3.0f, {5.0f, 2.0f, -7.8f}},
      {R"({"BlendMode":2,"Density":20,"Scale":2,"Size":0.5,"Blur":1,"zScale":1,"zAlpha":1})", 50.0f, {0, 0, 0.5f}},
      {R"({"BlendMode":0,"Size":0,"Shape":2,"DebugGrid":true,"DebugLight":true,"Density":3})", 1.0f, {0, 0, 0.25f}},
  };
  for (int shape = 0; shape < 6; ++shape)
    cases.push_back({R"({"BlendMode":2,"Size":0.4,"Blur":0.3,"Shape":)" + std::to_string(shape) + "}", 2.5f,
                     {1.5f, 0.5f, 3.6f}});
  for (const Case& c : cases) {
    const std::vector<uint8_t> expected = Field(c.properties, c.t, c.offset, true);
    const std::vector<uint8_t> got = Field(c.properties, c.t, c.offset, false);
    ASSERT_EQ(got.size(), expected.size()) << c.properties;
    int far = 0, lit = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      far += std::abs(int(got[i]) - int(expected[i])) > 1 ? 1 : 0;
      lit += (i % 4 != 3 && expected[i] > 0) ? 1 : 0;
    }
    EXPECT_EQ(far, 0) << "channels more than one level apart: " << c.properties;
    EXPECT_GT(lit, 0) << "the case draws something: " << c.properties;
  }
}
