// The vector display on the GPU: its programs build on Mesa, a flush lights
// the pixels of what was appended and glows around them, earlier frames
// decay, and displays that cannot draw draw nothing. Pixels are read back
// from a small target that plays the render target's colour framebuffer.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "render/Framebuffer.h"
#include "render/Polyline.h"
#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"
#include "support/GLFixture.h"
#include "support/GLWorkCount.h"

// ---------------------------------------------------------------------------
// Values without GL
// ---------------------------------------------------------------------------

TEST(VectorDisplayMath, GlowPassesAndGainFollowBrightness) {
  const struct {
    float brightness;
    int passes;
    float gain;
  } cases[] = {{0.0f, 0, 0.15f}, {1.0f, 8, 1.05f}, {2.0f, 16, 1.25f}, {0.01f, 1, 0.9f * -0.970299f + 1.05f}};
  for (const auto& c : cases) {
    EXPECT_EQ(vector_display::GlowPasses(c.brightness), c.passes) << c.brightness;
    EXPECT_NEAR(vector_display::GlowGain(c.brightness), c.gain, 1e-5f) << c.brightness;
  }
}

// The brightness comes from sequence data and drivers: a wild value must
// not turn into millions of blur passes a frame, or into an undefined cast.
TEST(VectorDisplayMath, GlowPassesStayBoundedForWildBrightness) {
  const int most = vector_display::GlowPasses(vector_display::kMaxGlowBrightness);
  EXPECT_EQ(most, int(vector_display::kMaxGlowBrightness) * 8);
  const struct {
    float brightness;
    int passes;
  } cases[] = {{1e6f, most}, {1e10f, most}, {INFINITY, most}, {NAN, 0}, {-1.0f, 0}, {-INFINITY, 0}};
  for (const auto& c : cases) EXPECT_EQ(vector_display::GlowPasses(c.brightness), c.passes) << c.brightness;
}

TEST(VectorDisplayMath, DecayWeightsRampFromInitialToFinal) {
  VectorDisplaySettings s;
  s.decayInitial = 1.0f;
  s.decayFinal = 0.0f;
  s.decayRamp = 1.0f;
  const float want[] = {1.0f, 1.0f, 0.875f, 0.75f, 0.625f, 0.5f, 0.375f, 0.25f, 0.125f, 0.0f};
  for (int age = 0; age < 10; ++age) EXPECT_NEAR(vector_display::DecayWeight(s, 10.0f, age), want[age], 1e-6f) << age;
  // Defaults: every earlier frame at 0.2.
  const VectorDisplaySettings d;
  for (int age = 1; age < 10; ++age) EXPECT_FLOAT_EQ(vector_display::DecayWeight(d, 10.0f, age), 0.2f);
  // Two steps: the one earlier frame gets the initial weight, not 0 / 0.
  s.decayInitial = 0.6f;
  s.decayFinal = 0.1f;
  EXPECT_FLOAT_EQ(vector_display::DecayWeight(s, 2.0f, 1), 0.6f);
}

TEST(VectorDisplayMath, NormalizeRangeOrdersAndSeparates) {
  const struct {
    glm::vec2 in, out;
  } cases[] = {{{1000, 500}, {500, 1000}}, {{3, 3}, {3, 3.0001f}}, {{0.1f, 2}, {0.1f, 2}}};
  for (const auto& c : cases) {
    glm::vec2 r = c.in;
    EXPECT_EQ(NormalizeRange(r), c.out.y);
    EXPECT_EQ(r, c.out);
  }
}

// ---------------------------------------------------------------------------
// GL
// ---------------------------------------------------------------------------

namespace {

constexpr int kSize = 128;

class VectorDisplayTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (HasFatalFailure()) return;
    m_fbo = MakeTarget(kSize, kSize);
    // The render target the display belongs to, assembled by hand: its
    // vector framebuffer and its camera (identity: positions are clip space).
    m_target.m_name = "T";
    m_target.m_width = m_target.m_height = kSize;
    m_target.m_vectorFramebuffer = new Framebuffer();
    m_target.m_vectorFramebuffer->Create("T.vector", kSize, kSize, 7);
    g_pCurrentRenderTarget = &m_target;
    ASSERT_EQ(vector_display::Create("T.vector", float(kSize), float(kSize), &m_display), 0);
    g_pCurrentVectorDisplay = m_display;
    g_nVectorHistoryIndex = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
  }

  void TearDown() override {
    g_pCurrentVectorDisplay = nullptr;
    g_pCurrentRenderTarget = nullptr;
    vector_display::Destroy(m_display);
    if (m_target.m_vectorFramebuffer) Framebuffer::Destroy(m_target.m_vectorFramebuffer);
    GLTest::TearDown();
  }

  // A set-up display whose lines are at most 5 pixels in half width. The
  // profile across a line falls off fast: a pixel half a pixel from the
  // centre gets a bit more than half the colour.
  void SetUpDisplay(float brightness) {
    ASSERT_EQ(m_display->Setup(), 0);
    m_display->m_settings.thickness = glm::vec2(0.1f, 1.0f);
    m_display->m_settings.colorBrightness = brightness;
  }

  // Starts a frame as BeginFrame would: history slot, cleared target.
  void StartFrame(int index, glm::vec4 clear = glm::vec4(0, 0, 0, 1)) {
    g_nVectorHistoryIndex = index;
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glViewport(0, 0, kSize, kSize);
    glClearColor(clear.r, clear.g, clear.b, clear.a);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  void HorizontalLine() {
    m_display->m_settings.currentColor = glm::vec4(1, 1, 1, 1);
    m_display->MoveTo(-0.5f, 0.0f, 0.0f);
    m_display->LineTo(0.5f, 0.0f, 0.0f);
    m_display->EndLine();
  }

  int Red(int x, int y) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    return ReadPixel(x, y)[0];
  }

  GLuint m_fbo = 0;
  RenderTarget m_target;
  vector_display* m_display = nullptr;
};

// Reproducible noise, one byte per channel.
std::vector<uint8_t> Noise(int w, int h, uint32_t seed) {
  std::vector<uint8_t> texels(size_t(w) * h * 4);
  for (uint8_t& t : texels) t = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
  return texels;
}

}  // namespace

TEST_F(VectorDisplayTest, SixProgramsBuildAndGlowTargetsAreNamed) {
  testing::internal::CaptureStderr();
  ASSERT_EQ(m_display->Setup(), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("[vector_display]"), std::string::npos) << err;
  EXPECT_EQ(m_display->m_setup, 1);
  for (GLuint p : {m_display->m_blit.program, m_display->m_blur.program, m_display->m_blurRows.program,
                   m_display->m_triangleProgram.program, m_display->m_lineProgram.program,
                   m_display->m_pointProgram.program})
    EXPECT_NE(p, 0u);
  EXPECT_GE(m_display->m_lineProgram.miterLimit, 0);
  EXPECT_STREQ(m_display->m_name, "T.vector");
  for (int i = 0; i < 2; ++i) {
    ASSERT_NE(m_display->m_glow[i], nullptr);
    EXPECT_EQ(m_display->m_glow[i]->m_name, "T.vector.glow" + std::to_string(i));
    EXPECT_EQ(m_display->m_glow[i]->m_width, kSize / 3);
    EXPECT_EQ(m_display->m_glow[i]->m_flags, 41u);
  }
}

TEST_F(VectorDisplayTest, BadShaderIsLoggedAndRefused) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(vector_display::CompileShader(GL_FRAGMENT_SHADER, "#version 450 core\nvoid main() { nope; }\n"), 0u);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[vector_display] Error compiling shader:\n"), std::string::npos) << err;

  // A program with no stages does not link.
  const GLuint program = glCreateProgram();
  testing::internal::CaptureStderr();
  glLinkProgram(program);
  EXPECT_EQ(vector_display::CheckLink(program), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("[vector_display] Error linking program:"),
            std::string::npos);
}

TEST_F(VectorDisplayTest, LineLightsItsPixelsAndGlowsAroundThem) {
  struct Reading {
    int centre, near, far;
  };
  const auto draw = [&](float brightness) {
    m_display->m_settings.colorBrightness = brightness;
    StartFrame(0);
    HorizontalLine();
    m_display->Flush();
    return Reading{Red(64, 64), Red(64, 64 + 9), Red(4, 4)};
  };
  SetUpDisplay(0.0f);
  const Reading plain = draw(0.0f);
  const Reading glowing = draw(1.0f);
  EXPECT_GT(plain.centre, 100);
  EXPECT_EQ(plain.near, 0);  // beyond the line's half width, no glow
  EXPECT_EQ(plain.far, 0);
  EXPECT_GE(glowing.centre, plain.centre);
  EXPECT_GT(glowing.near, 0);  // the glow reaches past the line
  EXPECT_LT(glowing.near, glowing.centre);
  EXPECT_EQ(glowing.far, 0);
  // The ends of the line are at x = 32 and 96.
  EXPECT_GT(Red(40, 64), 100);
  EXPECT_EQ(m_display->m_lines.count, 0);  // the flush emptied the arrays
}

TEST_F(VectorDisplayTest, EarlierFramesDecayAndLeaveAfterTheHistory) {
  SetUpDisplay(0.0f);
  m_display->m_settings.decaySteps = 4.0f;
  m_display->m_settings.decayInitial = 0.5f;
  m_display->m_settings.decayFinal = 0.5f;
  int seen[6] = {};
  for (int frame = 1; frame <= 5; ++frame) {
    StartFrame(frame);
    if (frame == 1) {
      HorizontalLine();
    } else {
      // Something must be drawn in a frame for earlier frames to show.
      m_display->MoveTo(-0.9f, -0.9f, 0.0f);
      m_display->EndLine();
    }
    m_display->Flush();
    seen[frame] = Red(64, 64);
  }
  EXPECT_GT(seen[1], 100);
  for (int frame = 2; frame <= 4; ++frame) {
    EXPECT_GT(seen[frame], seen[1] * 3 / 10) << frame;
    EXPECT_LT(seen[frame], seen[1] * 7 / 10) << frame;
  }
  EXPECT_EQ(seen[5], 0);  // older than the four frames drawn
}

TEST_F(VectorDisplayTest, FrameWithNothingAppendedDrawsNothing) {
  SetUpDisplay(1.0f);
  StartFrame(0);
  HorizontalLine();
  m_display->Flush();
  StartFrame(1, glm::vec4(0, 0, 1, 1));
  m_display->Flush();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
  EXPECT_TRUE(PixelNear(ReadPixel(64, 64), {0, 0, 255, 255}, 0));
  EXPECT_EQ(m_display->m_history.slots[1].lines.count, 0);
  EXPECT_EQ(m_display->m_history.totalLineVertices, 4);
}

TEST_F(VectorDisplayTest, DisplayThatIsNotSetUpDrawsNothing) {
  // Create leaves the set-up flag at -1; only a successful Setup makes it 1.
  EXPECT_EQ(m_display->m_setup, -1);
  StartFrame(0);
  HorizontalLine();
  m_display->Flush();
  EXPECT_EQ(Red(64, 64), 0);
  EXPECT_EQ(m_display->CreateGlowTargets(), 0);
  EXPECT_EQ(m_display->m_glow[0], nullptr);
}

// A display that cannot draw still consumes each frame's geometry at the
// flush; otherwise every frame's lines pile up on the last ones.
TEST_F(VectorDisplayTest, FlushThatCannotDrawStillEmptiesTheArrays) {
  const struct {
    const char* why;
    bool setUp;
    float fov;
    float width;
  } cases[] = {{"not set up", false, 1.0f, float(kSize)},
               {"no field of view", true, 0.0f, float(kSize)},
               {"sizeless", true, 1.0f, 0.0f}};
  for (const auto& c : cases) {
    if (c.setUp && m_display->m_setup != 1) ASSERT_EQ(m_display->Setup(), 0);
    m_target.m_fov = c.fov;
    const float width = m_display->m_width;
    m_display->m_width = c.width;
    for (int frame = 0; frame < 100; ++frame) {
      StartFrame(frame % VectorHistory::kSlots);
      HorizontalLine();
      m_display->AddTriangle(glm::vec3(0), glm::vec3(1, 0, 0), glm::vec3(0, 1, 0));
      m_display->Flush();
      ASSERT_EQ(m_display->m_lines.count, 0) << c.why << " frame " << frame;
      ASSERT_EQ(m_display->m_triangles.count, 0) << c.why << " frame " << frame;
    }
    EXPECT_EQ(Red(64, 64), 0) << c.why;
    m_display->m_width = width;
  }
}

TEST_F(VectorDisplayTest, SinglePointStripIsADot) {
  SetUpDisplay(0.0f);
  StartFrame(0);
  m_display->m_settings.currentColor = glm::vec4(0, 1, 0, 0);  // alpha never reaches a vertex
  m_display->MoveTo(0.25f, 0.25f, 0.0f);
  m_display->EndLine();
  m_display->Flush();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
  const Rgba8 centre = ReadPixel(80, 80);
  EXPECT_GT(centre[1], 80);
  EXPECT_EQ(centre[0], 0);
  EXPECT_EQ(ReadPixel(80, 95)[1], 0);
}

TEST_F(VectorDisplayTest, TrianglesShowGlowingEdgesOverABlackFace) {
  SetUpDisplay(0.0f);
  const struct {
    int discardOn;  // vertex index flagged, -1 none
    bool bottomEdgeLit;
  } cases[] = {{-1, true}, {1, false}};
  for (const auto& c : cases) {
    StartFrame(0, glm::vec4(0, 0, 0.5f, 1));
    m_display->m_settings.currentColor = glm::vec4(1, 1, 1, 1);
    m_display->AddTriangle(glm::vec3(0, 0.5f, 0), glm::vec3(-0.5f, -0.5f, 0), glm::vec3(0.5f, -0.5f, 0));
    if (c.discardOn >= 0) m_display->m_triangles.data()[0].v[c.discardOn].flags |= PTF_TRIANGLE_DISCARDLINE;
    m_display->Flush();
    EXPECT_EQ(Red(64, 32) > 150, c.bottomEdgeLit) << c.discardOn;
    EXPECT_GT(Red(48, 64), 150) << c.discardOn;  // the left edge is always lit
    EXPECT_LT(Red(64, 56), 10) << c.discardOn;   // the face itself is black
  }
}

TEST_F(VectorDisplayTest, ExportCopyReplacesTheTargetPixels) {
  SetUpDisplay(0.0f);
  m_display->m_settings.exportColor = 0;
  StartFrame(0, glm::vec4(0, 0, 1, 1));
  HorizontalLine();
  m_display->Flush();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
  EXPECT_TRUE(PixelNear(ReadPixel(4, 4), {0, 0, 0, 0}, 0));
  EXPECT_GT(ReadPixel(64, 64)[0], 100);
}

TEST_F(VectorDisplayTest, ResizeToOnePixelBuildsNoGlowAndEmptiesTheFrame) {
  SetUpDisplay(1.0f);
  HorizontalLine();
  const int generation = m_display->m_resizeGeneration;
  m_display->Resize(1, 1);
  EXPECT_EQ(m_display->m_resizeGeneration, generation + 1);
  EXPECT_EQ(m_display->m_lines.count, 0);
  EXPECT_FLOAT_EQ(m_display->m_glowWidth, 1.0f / 3.0f);
  ASSERT_NE(m_display->m_glow[0], nullptr);
  EXPECT_EQ(m_display->m_glow[0]->m_width, 0);
}

TEST_F(VectorDisplayTest, PolylineDrawsIntoTheCurrentDisplay) {
  SetUpDisplay(0.0f);
  StartFrame(0);
  m_display->m_settings.currentThickness = 0.5f;
  Polyline p;
  p.AddPoint(glm::vec3(-0.5f, 0.0f, 0.0f));
  p.AddPoint(glm::vec3(0.5f, 0.0f, 0.0f));
  p.Draw(nullptr);
  EXPECT_EQ(m_display->m_lines.count, 4);
  m_display->Flush();
  EXPECT_GT(Red(64, 64), 100);
}

TEST_F(VectorDisplayTest, GlowDotTextureIsSharedByEveryDisplay) {
  SetUpDisplay(1.0f);
  const GLuint texture = vector_display::PointTexture();
  ASSERT_NE(texture, 0u);
  vector_display* second = nullptr;
  ASSERT_EQ(vector_display::Create("Other.vector", 64.0f, 64.0f, &second), 0);
  ASSERT_EQ(second->Setup(), 0);
  EXPECT_EQ(vector_display::PointTexture(), texture);
  vector_display::Destroy(second);
  EXPECT_EQ(vector_display::PointTexture(), texture);  // still in use by the first
  // Alpha 255 at the centre, 0 from radius 32 outwards.
  glBindTexture(GL_TEXTURE_2D, texture);
  std::vector<uint8_t> texels(64 * 64 * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  EXPECT_EQ(texels[(32 * 64 + 32) * 4 + 3], 255);
  EXPECT_EQ(texels[(32 * 64 + 0) * 4 + 3], 0);
  EXPECT_EQ(texels[(32 * 64 + 16) * 4 + 3], 15);  // 255 x 16^-1, cut
  EXPECT_EQ(texels[0], 255);
}

TEST_F(VectorDisplayTest, RepeatedPointDoesNotBlankItsNeighbours) {
  SetUpDisplay(0.0f);
  const struct {
    std::vector<glm::vec2> points;
  } cases[] = {
      {{{-0.5f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}, {0.5f, 0.0f}}},
      {{{-0.5f, 0.0f}, {-0.5f, 0.0f}, {0.0f, 0.0f}, {0.5f, 0.0f}, {0.5f, 0.0f}}},
  };
  for (const auto& c : cases) {
    StartFrame(0);
    m_display->m_settings.currentColor = glm::vec4(1, 1, 1, 1);
    m_display->MoveTo(c.points[0].x, c.points[0].y, 0.0f);
    for (size_t i = 1; i < c.points.size(); ++i) m_display->LineTo(c.points[i].x, c.points[i].y, 0.0f);
    m_display->EndLine();
    m_display->Flush();
    EXPECT_GT(Red(48, 64), 100) << c.points.size();  // first half
    EXPECT_GT(Red(80, 64), 100) << c.points.size();  // second half
  }
  // A strip that never moves is a dot where it stands.
  StartFrame(0);
  m_display->MoveTo(0.0f, 0.0f, 0.0f);
  m_display->LineTo(0.0f, 0.0f, 0.0f);
  m_display->EndLine();
  m_display->Flush();
  EXPECT_GT(Red(64, 64), 100);
  EXPECT_EQ(Red(64, 80), 0);
}

TEST_F(VectorDisplayTest, ImportAndExportModesComposeThePass) {
  SetUpDisplay(0.0f);
  const struct {
    int importColor, exportColor;
    Rgba8 far;  // a pixel the line does not reach, over a target of (0, 0, 64, 255)
  } cases[] = {
      {0, 1, {0, 0, 64, 255}},   // Add: the empty pass adds nothing
      {1, 1, {0, 0, 128, 255}},  // Add of an imported copy doubles the target
      {1, 2, {0, 0, 64, 255}},   // Max of the target with itself
      {1, 0, {0, 0, 64, 255}},   // Copy of the copy
      {0, 0, {0, 0, 0, 0}},      // Copy of the empty pass, alpha included
      {0, 3, {0, 0, 64, 255}},   // Alpha: the empty pass is transparent
  };
  for (const auto& c : cases) {
    m_display->m_settings.importColor = c.importColor;
    m_display->m_settings.exportColor = c.exportColor;
    StartFrame(0, glm::vec4(0, 0, 64.0f / 255.0f, 1));
    HorizontalLine();
    m_display->Flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    EXPECT_TRUE(PixelNear(ReadPixel(4, 4), c.far, 1)) << c.importColor << " " << c.exportColor;
    // The pass holds colour x profile; "Alpha" weighs it by the profile again.
    EXPECT_GT(ReadPixel(64, 64)[0], 50) << c.importColor << " " << c.exportColor;
  }
}

TEST_F(VectorDisplayTest, GlowCaptureCompositesWhatWasDrawnInside) {
  const struct {
    float brightness;
    bool glowOutside;
  } cases[] = {{0.0f, false}, {1.0f, true}};
  ASSERT_EQ(m_display->Setup(), 0);
  for (const auto& c : cases) {
    m_display->m_settings.colorBrightness = c.brightness;
    StartFrame(0);
    const GLuint previous = m_display->BeginPass();
    EXPECT_EQ(previous, m_fbo);
    // Whatever the caller draws lands in the pass: here a red square.
    glEnable(GL_SCISSOR_TEST);
    glScissor(56, 56, 16, 16);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    m_display->EndPass(previous);
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(GLuint(bound), m_fbo);
    EXPECT_GT(Red(64, 64), 250) << c.brightness;
    EXPECT_EQ(Red(64, 78) > 0, c.glowOutside) << c.brightness;
  }
}

// Every blur pass covers its whole glow target, so it writes over what the
// target held: no clear per pass, and nothing of an earlier glow (or of a
// blending state the caller left on) reaches the picture.
TEST_F(VectorDisplayTest, GlowPassesOverwriteTheirTargetsWithoutClears) {
  SetUpDisplay(1.0f);
  const auto glowingLine = [&](glm::vec4 glowLeftover) {
    for (Framebuffer* glow : m_display->m_glow) {
      glBindFramebuffer(GL_FRAMEBUFFER, glow->GL()->m_framebuffer);
      glClearColor(glowLeftover.r, glowLeftover.g, glowLeftover.b, glowLeftover.a);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    StartFrame(0);
    HorizontalLine();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    GLWorkCount count;
    m_display->Flush();
    const GLWork work = count.Work();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    return std::make_pair(work, ReadPixels(0, 0, kSize, kSize));
  };
  const auto [work, clean] = glowingLine(glm::vec4(0.0f));
  const auto [workAfterWhite, afterWhite] = glowingLine(glm::vec4(1.0f));
  EXPECT_EQ(afterWhite, clean);
  // The pass target's clear only; its bind, one per blur pass, the target's.
  const int passes = vector_display::GlowPasses(1.0f);
  EXPECT_EQ(work.clears, 1) << work.Text();
  EXPECT_EQ(work.framebufferBinds, 1 + passes + 1) << work.Text();
  EXPECT_EQ(work.draws, 1 + passes + 2) << work.Text();  // lines, blur passes, pass and glow composited
  EXPECT_GT(clean[(64 * kSize + 64) * 4], 100);
  EXPECT_GT(clean[((64 + 9) * kSize + 64) * 4], 0);  // the glow is there
}

// Between the glow targets the blur fetches its column of taps instead of
// filtering them: on a target of whole size the two programs agree on every
// pixel, the rows near the edges (clamped) included.
TEST_F(VectorDisplayTest, BlurBetweenGlowTargetsFetchesWhatFilteringReads) {
  SetUpDisplay(1.0f);
  const FramebufferGL* src = m_display->m_glow[0]->GL();
  const FramebufferGL* dst = m_display->m_glow[1]->GL();
  const int w = m_display->m_glow[0]->m_width, h = m_display->m_glow[0]->m_height;
  const std::vector<uint8_t> texels = Noise(w, h, 12345);
  glTextureSubImage2D(src->m_colorTexture, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());

  // The screen quad of a glow pass at exactly the target's size.
  const float W = float(w), H = float(h), Z = 10000.0f;
  const float quad[30] = {0, 0, Z, 0, 1, W, H, Z, 1, 0, W, 0, Z, 1, 1, 0, 0, Z, 0, 1, 0, H, Z, 0, 0, W, H, Z, 1, 0};
  GLuint vao = 0, vbo = 0;
  glCreateVertexArrays(1, &vao);
  glCreateBuffers(1, &vbo);
  glNamedBufferData(vbo, sizeof(quad), quad, GL_STATIC_DRAW);
  glVertexArrayVertexBuffer(vao, 0, vbo, 0, 5 * sizeof(float));
  glVertexArrayAttribFormat(vao, 0, 3, GL_FLOAT, GL_FALSE, 0);
  glVertexArrayAttribFormat(vao, 1, 2, GL_FLOAT, GL_FALSE, 3 * sizeof(float));
  for (GLuint a = 0; a < 2; ++a) {
    glVertexArrayAttribBinding(vao, a, 0);
    glEnableVertexArrayAttrib(vao, a);
  }
  const glm::mat4 projection = glm::ortho(0.0f, W, H, 0.0f, 0.0f, 70000.0f);
  const glm::mat4 modelView = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -70000.0f));
  const auto blur = [&](const vector_display::BlurProgram& p) {
    glUseProgram(p.program);
    glUniformMatrix4fv(p.projection, 1, GL_FALSE, &projection[0][0]);
    glUniformMatrix4fv(p.modelView, 1, GL_FALSE, &modelView[0][0]);
    glUniform1f(p.alpha, 1.0f);
    glUniform1f(p.mult, 1.0f);
    glUniform2f(p.scale, 1.0f / H, 1.0f / H);
    glBindFramebuffer(GL_FRAMEBUFFER, dst->m_framebuffer);
    glViewport(0, 0, w, h);
    glDisable(GL_BLEND);
    glBindTextureUnit(0, src->m_colorTexture);
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    std::vector<uint8_t> out(texels.size());
    glGetTextureImage(dst->m_colorTexture, 0, GL_RGBA, GL_UNSIGNED_BYTE, GLsizei(out.size()), out.data());
    return out;
  };
  const std::vector<uint8_t> filtered = blur(m_display->m_blur);
  const std::vector<uint8_t> fetched = blur(m_display->m_blurRows);
  glBindVertexArray(0);
  glUseProgram(0);
  glDeleteVertexArrays(1, &vao);
  glDeleteBuffers(1, &vbo);
  int worst = 0;
  size_t worstAt = 0;
  for (size_t i = 0; i < filtered.size(); ++i) {
    const int d = std::abs(int(filtered[i]) - int(fetched[i]));
    if (d > worst) worst = d, worstAt = i;
  }
  EXPECT_LE(worst, 1) << "pixel " << worstAt / 4 % w << "," << worstAt / 4 / w;
  // The pattern is noise: a blur that read nothing would agree with itself.
  EXPECT_GT(std::count_if(filtered.begin(), filtered.end(), [](uint8_t v) { return v > 40; }), int(filtered.size()) / 4);
}

TEST_F(VectorDisplayTest, PassImageIsCompositedTexelForPixel) {
  SetUpDisplay(0.0f);
  m_display->m_settings.exportColor = 0;
  StartFrame(0);
  const GLuint previous = m_display->BeginPass();
  const std::vector<uint8_t> texels = Noise(kSize, kSize, 777);
  glTextureSubImage2D(m_display->m_passColorTexture, 0, 0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  m_display->EndPass(previous);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
  EXPECT_EQ(ReadPixels(0, 0, kSize, kSize), texels);
}

// Lines and dots alone are tested against nothing: the flush leaves the
// pass depth as it was (no clear, no test) and draws the pixels a flush
// with a depth-tested triangle (here one outside the view) draws; once a
// triangle is in the history the depth is cleared and tested again.
TEST_F(VectorDisplayTest, FlushWithNothingDepthTestedSkipsTheDepth) {
  SetUpDisplay(1.0f);
  const GLuint passFbo = m_target.m_vectorFramebuffer->GL()->m_framebuffer;
  const auto passDepth = [&](int x, int y) {
    float depth = -1.0f;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, passFbo);
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
  };
  const auto frame = [&](int index, bool triangle) {
    glBindFramebuffer(GL_FRAMEBUFFER, passFbo);
    glDepthMask(GL_TRUE);
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    StartFrame(index);
    HorizontalLine();
    if (triangle) m_display->AddTriangle(glm::vec3(2, 2, 0), glm::vec3(3, 2, 0), glm::vec3(2, 3, 0));
    m_display->Flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    return ReadPixels(0, 0, kSize, kSize);
  };
  // Two displays' worth of frames: each starts with an empty history.
  const std::vector<uint8_t> linesOnly = frame(0, false);
  EXPECT_NEAR(passDepth(64, 64), 0.25f, 1e-6f);  // neither cleared nor written
  m_display->Resize(kSize, kSize);
  const std::vector<uint8_t> withTriangle = frame(0, true);
  EXPECT_EQ(passDepth(4, 4), 1.0f);  // cleared for the triangle
  EXPECT_EQ(linesOnly, withTriangle);
  EXPECT_GT(linesOnly[(64 * kSize + 64) * 4], 100);
  // The triangle stays in the history: the next frame tests depth too.
  frame(1, false);
  EXPECT_EQ(passDepth(4, 4), 1.0f);
}

TEST_F(VectorDisplayTest, FlushClampsAndOrdersTheSettings) {
  SetUpDisplay(0.0f);
  m_display->m_settings.decaySteps = 40.0f;
  m_display->m_settings.fogZ = glm::vec2(1000.0f, 500.0f);
  m_display->m_settings.thickness = glm::vec2(0.8f, 0.8f);
  StartFrame(0);
  HorizontalLine();
  m_display->Flush();
  EXPECT_EQ(m_display->m_settings.decaySteps, 32.0f);
  EXPECT_EQ(m_display->m_settings.fogZ, glm::vec2(500.0f, 1000.0f));
  EXPECT_EQ(m_display->m_settings.thickness, glm::vec2(0.8f, 0.8f + 0.0001f));

  // A step count that is not a number falls to the lower bound.
  m_display->m_settings.decaySteps = NAN;
  StartFrame(1);
  HorizontalLine();
  m_display->Flush();
  EXPECT_EQ(m_display->m_settings.decaySteps, 1.0f);
}

TEST_F(VectorDisplayTest, EarlierFramesVanishWithOneStepOrAfterAResize) {
  const struct {
    float steps;
    bool resize;
    bool earlierShows;
  } cases[] = {{4.0f, false, true}, {1.0f, false, false}, {0.0f, false, false}, {4.0f, true, false}};
  for (const auto& c : cases) {
    vector_display::Destroy(m_display);
    ASSERT_EQ(vector_display::Create("T.vector", float(kSize), float(kSize), &m_display), 0);
    g_pCurrentVectorDisplay = m_display;
    SetUpDisplay(0.0f);
    m_display->m_settings.decaySteps = c.steps;
    StartFrame(1);
    HorizontalLine();
    m_display->Flush();
    if (c.resize) m_display->Resize(kSize, kSize);
    StartFrame(2);
    m_display->MoveTo(-0.9f, -0.9f, 0.0f);
    m_display->EndLine();
    m_display->Flush();
    EXPECT_EQ(Red(64, 64) > 0, c.earlierShows) << c.steps << " " << c.resize;
  }
}

TEST_F(VectorDisplayTest, OverLongNamesAreCut) {
  const struct {
    const char* name;
    size_t length;
  } cases[] = {{nullptr, 1}, {"", 0}, {"Default.vector", 14}};
  for (const auto& c : cases) {
    vector_display* d = nullptr;
    ASSERT_EQ(vector_display::Create(c.name, 64.0f, 64.0f, &d), 0);
    EXPECT_EQ(std::strlen(d->m_name), c.length);
    vector_display::Destroy(d);
    EXPECT_EQ(d, nullptr);
  }
  const std::string longName(400, 'n');
  vector_display* d = nullptr;
  ASSERT_EQ(vector_display::Create(longName.c_str(), 64.0f, 64.0f, &d), 0);
  EXPECT_EQ(std::string(d->m_name), longName.substr(0, 254));
  ASSERT_EQ(d->Setup(), 0);
  EXPECT_EQ(d->m_glow[1]->m_name, longName.substr(0, 254) + ".glow1");
  vector_display::Destroy(d);
}
