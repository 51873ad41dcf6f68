// Render targets on a real GL context: creation with its vector layer,
// binding and the flush it triggers, the frame-start clear whatever state
// an effect left behind, and the presentation into the window's viewport,
// all checked by readback.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <glm/gtc/constants.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include "Loader/AssetPath.h"
#include "application/Application.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"
#include "support/GLFixture.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

constexpr int kWindowSize = 256;  // the fixture's window

class RenderTargetTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    Application& app = Application::Get();
    app.m_windowRect = {0, 0, kWindowSize, kWindowSize};
    app.m_viewport = app.m_windowRect;
  }

  static void MakeDefault(int w, int h) {
    g_defaultRenderTarget.Create("Default", w, h, kDefaultTargetFlags, kDefaultFramebufferFlags);
  }

  static GLint Binding() {
    GLint binding = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
    return binding;
  }

  static std::array<GLint, 4> Viewport() {
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
  }

  static GLuint FramebufferOf(RenderTarget& target) { return target.m_colorFramebuffer->GL()->m_framebuffer; }

  // Reads "Default"'s colour (row 0 at the bottom, as GL reads).
  static Rgba8 DefaultPixel(int x, int y) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, FramebufferOf(g_defaultRenderTarget));
    return ReadPixel(x, y);
  }

  // Reads the window's back buffer, row 0 at the bottom.
  static Rgba8 WindowPixel(int x, int y) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    return ReadPixel(x, y);
  }

  static void AddLine(vector_display* display) {
    // Thick enough to light whole pixels from 100 units away.
    display->m_settings.currentThickness = 5.0f;
    // Seen from (0, 0, 100) with a 60 degree field, +-50 spans most of the width.
    display->MoveTo(-50.0f, 0.0f, 0.0f);
    display->LineTo(50.0f, 0.0f, 0.0f);
    display->EndLine();
  }

  void TearDown() override {
    g_pCurrentRenderTarget = nullptr;
    g_pCurrentVectorDisplay = nullptr;
    g_defaultRenderTarget.Destroy(true);
    ReleaseFramePresentation();
    GLTest::TearDown();
  }
};

const Rgba8 kBlack = {0, 0, 0, 255};

}  // namespace

TEST_F(RenderTargetTest, ZeroSizeCreatesNothing) {
  LogCapture log;
  RenderTarget target;
  target.Create("none", 0, 32, 3, 7);
  target.Create("none", 32, 0, 3, 7);
  EXPECT_FALSE(target.m_created);
  EXPECT_EQ(target.m_colorFramebuffer, nullptr);
  EXPECT_EQ(target.m_vectorDisplay, nullptr);
  EXPECT_EQ(log.Text(), "");
  target.Destroy(true);  // never created: nothing to do
}

TEST_F(RenderTargetTest, DefaultGetsColourVectorLayerAndDisplay) {
  LogCapture log;
  MakeDefault(96, 48);
  const RenderTarget& d = g_defaultRenderTarget;
  EXPECT_TRUE(d.m_created);
  EXPECT_EQ(d.m_name, "Default");
  ASSERT_NE(d.m_colorFramebuffer, nullptr);
  EXPECT_EQ(d.m_colorFramebuffer->m_flags, kDefaultFramebufferFlags);
  ASSERT_NE(d.m_vectorFramebuffer, nullptr);
  EXPECT_EQ(d.m_vectorFramebuffer->m_name, "Default.vector");
  EXPECT_EQ(d.m_vectorFramebuffer->m_flags, 7u);
  ASSERT_NE(d.m_vectorDisplay, nullptr);
  EXPECT_STREQ(d.m_vectorDisplay->m_name, "Default.vector");
  EXPECT_EQ(d.m_vectorDisplay->m_setup, 1);
  EXPECT_TRUE(log.Contains("[Framebuffer] create Default 96x48\n")) << log.Text();
  EXPECT_TRUE(log.Contains("[Framebuffer] create Default.vector 96x48\n")) << log.Text();
  EXPECT_TRUE(log.Contains("[Framebuffer] create Default.vector.glow0 32x16\n")) << log.Text();
  // The free camera looks from (0, 0, 100) down -Z with +Y up.
  const glm::vec4 origin = d.m_viewProjection * glm::vec4(0, 0, 0, 1);
  EXPECT_NEAR(origin.x / origin.w, 0.0f, 1e-6f);
  EXPECT_NEAR(origin.y / origin.w, 0.0f, 1e-6f);
  EXPECT_NEAR(origin.w, 100.0f, 1e-3f);
  const glm::vec4 above = d.m_viewProjection * glm::vec4(0, 10, 0, 1);
  EXPECT_GT(above.y / above.w, 0.0f);
}

TEST_F(RenderTargetTest, SameSizeAndFlagsKeepEverything) {
  MakeDefault(64, 64);
  const Framebuffer* color = g_defaultRenderTarget.m_colorFramebuffer;
  const vector_display* display = g_defaultRenderTarget.m_vectorDisplay;
  LogCapture log;
  g_defaultRenderTarget.Create("Other", 64, 64, kDefaultTargetFlags, 0x1);
  EXPECT_EQ(g_defaultRenderTarget.m_name, "Default");
  EXPECT_EQ(g_defaultRenderTarget.m_colorFramebuffer, color);
  EXPECT_EQ(g_defaultRenderTarget.m_vectorDisplay, display);
  EXPECT_EQ(log.Text(), "");
}

TEST_F(RenderTargetTest, NewSizeKeepsTheDisplayAndBumpsItsGeneration) {
  MakeDefault(64, 64);
  vector_display* display = g_defaultRenderTarget.m_vectorDisplay;
  const int generation = display->m_resizeGeneration;
  AddLine(display);
  LogCapture log;
  MakeDefault(120, 60);
  EXPECT_EQ(g_defaultRenderTarget.m_vectorDisplay, display);
  EXPECT_EQ(display->m_resizeGeneration, generation + 1);
  EXPECT_EQ(display->m_width, 120.0f);
  EXPECT_TRUE(display->IsEmpty());
  EXPECT_EQ(g_defaultRenderTarget.m_colorFramebuffer->m_width, 120);
  EXPECT_TRUE(log.Contains("[Framebuffer] destroy Default 64x64\n")) << log.Text();
  EXPECT_TRUE(log.Contains("[Framebuffer] create Default 120x60\n")) << log.Text();
}

TEST_F(RenderTargetTest, BindingSwitchesViewportFramebufferAndDisplay) {
  MakeDefault(64, 64);
  RenderTarget effect;
  effect.Create("fxBuffer", 32, 16, 3, 0xB);
  EXPECT_EQ(BindRenderTarget(nullptr, true), nullptr);  // nothing was current

  RenderTarget* previous = BindRenderTarget(&effect, false);
  EXPECT_EQ(previous, &g_defaultRenderTarget);
  EXPECT_EQ(g_pCurrentRenderTarget, &effect);
  EXPECT_EQ(g_pCurrentVectorDisplay, effect.m_vectorDisplay);
  EXPECT_EQ(Binding(), GLint(FramebufferOf(effect)));
  EXPECT_EQ(Viewport(), (std::array<GLint, 4>{0, 0, 32, 16}));

  EXPECT_EQ(BindRenderTarget(&effect, false), nullptr);  // already current
  EXPECT_EQ(BindRenderTarget(previous, false), &effect);
  EXPECT_EQ(Binding(), GLint(FramebufferOf(g_defaultRenderTarget)));
  EXPECT_EQ(Viewport(), (std::array<GLint, 4>{0, 0, 64, 64}));
  effect.Destroy(true);
}

TEST_F(RenderTargetTest, LeavingATargetFlushesItsLinesIntoIt) {
  MakeDefault(64, 64);
  BeginFrame();
  vector_display* display = g_pCurrentVectorDisplay;
  ASSERT_EQ(display, g_defaultRenderTarget.m_vectorDisplay);
  AddLine(display);

  // Rebinding the current target without force does nothing, flush included.
  EXPECT_EQ(BindRenderTarget(nullptr, false), nullptr);
  EXPECT_FALSE(display->IsEmpty());

  RenderTarget effect;
  effect.Create("fxBuffer", 32, 32, 3, 0xB);
  BindRenderTarget(&effect, false);
  EXPECT_TRUE(display->IsEmpty());
  // The horizontal line through the origin lit the middle row of "Default".
  int lit = 0;
  for (int x = 0; x < 64; ++x) lit += std::max(DefaultPixel(x, 31)[0], DefaultPixel(x, 32)[0]) > 40 ? 1 : 0;
  EXPECT_GT(lit, 32);
  effect.Destroy(true);
}

TEST_F(RenderTargetTest, DestroyingTheCurrentTargetLeavesDefaultCurrent) {
  MakeDefault(64, 64);
  RenderTarget effect;
  effect.Create("fxBuffer", 32, 32, 3, 0xB);
  BindRenderTarget(&effect, false);
  LogCapture log;
  effect.Destroy(true);
  EXPECT_EQ(g_pCurrentRenderTarget, &g_defaultRenderTarget);
  EXPECT_EQ(g_pCurrentVectorDisplay, g_defaultRenderTarget.m_vectorDisplay);
  EXPECT_EQ(Binding(), GLint(FramebufferOf(g_defaultRenderTarget)));
  EXPECT_EQ(effect.m_width, 0);
  EXPECT_EQ(effect.m_name, "");
  EXPECT_EQ(effect.m_vectorDisplay, nullptr);
  EXPECT_TRUE(log.Contains("[Framebuffer] destroy fxBuffer 32x32\n")) << log.Text();
  EXPECT_TRUE(log.Contains("[Framebuffer] destroy fxBuffer.vector 32x32\n")) << log.Text();
}

TEST_F(RenderTargetTest, FrameStartClearsWhateverStateAnEffectLeft) {
  MakeDefault(64, 64);
  BeginFrame();
  // An effect paints, then leaves every write mask off, a scissor and a
  // stencil test on, and blending enabled.
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClearDepth(0.3);
  glClearStencil(7);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glStencilMask(0);
  glEnable(GL_STENCIL_TEST);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 4, 4);
  glEnable(GL_BLEND);

  BeginFrame();
  EXPECT_EQ(g_pCurrentRenderTarget, &g_defaultRenderTarget);
  EXPECT_TRUE(PixelNear(DefaultPixel(40, 40), kBlack));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, FramebufferOf(g_defaultRenderTarget));
  GLuint depthStencil = 0;
  glReadPixels(40, 40, 1, 1, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, &depthStencil);
  EXPECT_EQ(depthStencil >> 8, 0xFFFFFFu) << "depth not cleared to 1";
  EXPECT_EQ(depthStencil & 0xFFu, 0u) << "stencil not cleared";
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(RenderTargetTest, PresentDrawsDefaultIntoTheViewportWithBlackAround) {
  MakeDefault(64, 32);
  BeginFrame();
  // Left half red, right half green.
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 32, 32);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(32, 0, 32, 32);
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);

  // Whatever the window held before.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, kWindowSize, kWindowSize);
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  Application::Get().m_viewport = {32, 64, 192, 96};
  PresentFrame(0.016f, false, 0);
  EXPECT_EQ(g_pCurrentRenderTarget, &g_defaultRenderTarget);
  EXPECT_EQ(Binding(), 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

  struct Probe {
    int x, y;
    Rgba8 want;
  };
  const Probe probes[] = {
      {5, 5, kBlack},     {250, 250, kBlack},         {16, 100, kBlack},          {240, 100, kBlack},
      {100, 40, kBlack},  {100, 200, kBlack},         {40, 70, {255, 0, 0, 255}}, {120, 150, {255, 0, 0, 255}},
      {136, 70, {0, 255, 0, 255}}, {215, 150, {0, 255, 0, 255}},
  };
  for (const Probe& p : probes) EXPECT_TRUE(PixelNear(WindowPixel(p.x, p.y), p.want)) << p.x << "," << p.y;
}

// A viewport of "Default"'s own size takes the copy path: every pixel of the
// viewport is "Default"'s pixel, in place, and the bars stay black.
TEST_F(RenderTargetTest, PresentAtDefaultsOwnSizeCopiesEveryPixelInPlace) {
  const int w = 64, h = 48;
  MakeDefault(w, h);
  BeginFrame();
  std::vector<uint8_t> picture(size_t(w) * h * 4);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t((i * 37 + i / 256) % 256);
  for (size_t i = 3; i < picture.size(); i += 4) picture[i] = 255;
  glBindTexture(GL_TEXTURE_2D, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_colorTexture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
  glBindTexture(GL_TEXTURE_2D, 0);

  Application::Get().m_viewport = {40, 24, w, h};
  PresentFrame(0.016f, false, 0);
  EXPECT_EQ(Binding(), 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  const std::vector<uint8_t> shown = ReadPixels(40, 24, w, h);
  for (size_t i = 0; i < picture.size(); i += 4) {
    const Rgba8 want = {picture[i], picture[i + 1], picture[i + 2], 255};
    ASSERT_TRUE(PixelNear({shown[i], shown[i + 1], shown[i + 2], 255}, want, 0)) << "pixel " << i / 4;
  }
  EXPECT_TRUE(PixelNear(WindowPixel(39, 30), kBlack, 0));
  EXPECT_TRUE(PixelNear(WindowPixel(40 + w, 30), kBlack, 0));
  EXPECT_TRUE(PixelNear(WindowPixel(50, 23), kBlack, 0));
  EXPECT_TRUE(PixelNear(WindowPixel(50, 24 + h), kBlack, 0));
}

TEST_F(RenderTargetTest, WindowEqualToTheViewportIsNotCleared) {
  // "Default" without a size draws nothing, so only the clear could change
  // the window.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, kWindowSize, kWindowSize);
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  PresentFrame(0.016f, false, 0);
  EXPECT_TRUE(PixelNear(WindowPixel(128, 128), {0, 0, 255, 255}));

  Application::Get().m_viewport = {0, 0, 128, 128};
  PresentFrame(0.016f, false, 0);
  EXPECT_TRUE(PixelNear(WindowPixel(200, 200), kBlack));
}

TEST_F(RenderTargetTest, HistoryIndexAdvancesUnlessTimeStops) {
  MakeDefault(32, 32);
  g_nVectorHistoryIndex = 30;
  const std::pair<bool, int> frames[] = {{false, 31}, {false, 0}, {true, 0}, {false, 1}};
  for (const auto& [stopped, index] : frames) {
    BeginFrame();
    PresentFrame(0.016f, stopped, 0);
    EXPECT_EQ(g_nVectorHistoryIndex, index);
  }
}

namespace {

enum class Hue { Orange, Green, Red };

bool IsHue(const uint8_t* p, Hue hue) {
  switch (hue) {
    case Hue::Orange: return p[0] >= 200 && p[1] >= 90 && p[1] <= 160 && p[2] < 30;
    case Hue::Green: return p[1] >= 200 && p[0] < 30 && p[2] < 30;
    case Hue::Red: return p[0] >= 200 && p[1] < 30 && p[2] < 30;
  }
  return false;
}

// Rows of "Default" (0 at the top, as the overlays place them) holding a
// fully covered text pixel of that hue.
std::vector<int> RowsOf(Hue hue, int w, int h) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
  std::vector<uint8_t> pixels(size_t(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  std::vector<int> rows;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (IsHue(&pixels[(size_t(y) * w + x) * 4], hue)) {
        rows.push_back(h - 1 - y);
        break;
      }
    }
  }
  return rows;
}

class OverlayTest : public RenderTargetTest {
 protected:
  static constexpr int kWidth = 256, kHeight = 64;

  void SetUp() override {
    RenderTargetTest::SetUp();
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/font/PIXEARG_.TTF",
                                   ReadTextFile("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf")}}));
    EnterDir(m_dir);
    SetDataDirectory("Data");
    MakeDefault(kWidth, kHeight);
    Application::Get().m_viewport = {0, 0, kWidth, kHeight};
    Application::Get().m_windowRect = Application::Get().m_viewport;
  }

  static std::vector<int> Present(float dt, int flags, Hue hue) {
    BeginFrame();
    PresentFrame(dt, false, flags);
    return RowsOf(hue, kWidth, kHeight);
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(OverlayTest, FirstFrameAtFiftyFpsIsOrangeOnTheFirstLine) {
  const std::vector<int> orange = Present(0.02f, OVERLAY_FPS, Hue::Orange);
  ASSERT_FALSE(orange.empty());
  EXPECT_GE(orange.front(), 1);
  EXPECT_LE(orange.back(), 17);
  EXPECT_TRUE(RowsOf(Hue::Green, kWidth, kHeight).empty());
  EXPECT_TRUE(RowsOf(Hue::Red, kWidth, kHeight).empty());
}

TEST_F(OverlayTest, FrameRateColourFollowsTheSmoothedRate) {
  // 100 FPS is green; smoothing keeps a slow frame after it above 59.5.
  EXPECT_FALSE(Present(0.01f, OVERLAY_FPS, Hue::Green).empty());
  EXPECT_FALSE(Present(0.05f, OVERLAY_FPS, Hue::Green).empty());  // 0.95*0.01+0.05*0.05 = 0.012 s
  // Held at 20 FPS the rate falls below 29.5: red.
  std::vector<int> red;
  for (int i = 0; i < 200; ++i) red = Present(0.05f, OVERLAY_FPS, Hue::Red);
  EXPECT_FALSE(red.empty());
}

TEST_F(OverlayTest, SizeLineFollowsTheFrameRateLine) {
  const std::vector<int> alone = Present(0.02f, OVERLAY_RESOLUTION, Hue::Green);
  ASSERT_FALSE(alone.empty());
  EXPECT_LE(alone.back(), 17);

  const std::vector<int> second = Present(0.02f, OVERLAY_FPS | OVERLAY_RESOLUTION, Hue::Green);
  ASSERT_FALSE(second.empty());
  EXPECT_GT(second.front(), 17);
  EXPECT_LE(second.back(), 33);
  const std::vector<int> first = RowsOf(Hue::Orange, kWidth, kHeight);
  ASSERT_FALSE(first.empty());
  EXPECT_LT(first.back(), second.front());
}

TEST_F(OverlayTest, DumpingLineIsRedBelowTheOthers) {
  const std::vector<int> red = Present(0.01f, OVERLAY_FPS | OVERLAY_RESOLUTION | OVERLAY_DUMPING, Hue::Red);
  ASSERT_FALSE(red.empty());
  EXPECT_GT(red.front(), 33);
  EXPECT_LE(red.back(), 49);
}

TEST_F(RenderTargetTest, OverlaysWithoutTheirFontDrawNothingAndSayItOnce) {
  TempDir empty;
  ASSERT_TRUE(BuildPack(empty, {{"Data/seq/a.seq", "{}"}}));
  EnterDir(empty);
  SetDataDirectory("Data");
  MakeDefault(128, 64);
  LogCapture log;
  for (int frame = 0; frame < 10; ++frame) {
    BeginFrame();
    PresentFrame(0.02f, false, OVERLAY_FPS | OVERLAY_RESOLUTION);
  }
  EXPECT_TRUE(RowsOf(Hue::Orange, 128, 64).empty());
  EXPECT_TRUE(RowsOf(Hue::Green, 128, 64).empty());
  // Looked up every frame (the test below finds it once it is there), told
  // once: a log that is never trimmed gets one line, not sixty a second.
  const std::string line = "[TextStash] Font not found: font/PIXEARG_.TTF\n";
  const std::string text = log.Text();
  ASSERT_NE(text.find(line), std::string::npos) << text;
  EXPECT_EQ(text.find(line), text.rfind(line)) << text;
}

// A font missing from the pack is looked up again on the next frame with
// overlays, and the frame rate is smoothed all the while: at 100 FPS and
// then one slow frame, the first line drawn is still green.
TEST_F(RenderTargetTest, MissingOverlayFontIsTriedAgainAndTheRateKeepsSmoothing) {
  constexpr int kW = 256, kH = 64;
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Later/font/PIXEARG_.TTF",
                               ReadTextFile("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf")}}));
  EnterDir(dir);  // data directory "Data": the font is not found there
  MakeDefault(kW, kH);
  Application::Get().m_viewport = {0, 0, kW, kH};
  Application::Get().m_windowRect = Application::Get().m_viewport;
  for (int frame = 0; frame < 100; ++frame) {
    BeginFrame();
    PresentFrame(0.01f, false, OVERLAY_FPS);
  }
  EXPECT_TRUE(RowsOf(Hue::Green, kW, kH).empty());
  SetDataDirectory("Later");  // now the same name finds the font
  BeginFrame();
  PresentFrame(0.05f, false, OVERLAY_FPS);
  EXPECT_FALSE(RowsOf(Hue::Green, kW, kH).empty()) << "0.95 x 0.01 + 0.05 x 0.05 s: 83 FPS";
  EXPECT_TRUE(RowsOf(Hue::Red, kW, kH).empty()) << "a first frame of 0.05 s would show 20 FPS in red";
}

namespace {

glm::vec3 Ndc(const RenderTarget& t, const glm::vec3& p) {
  const glm::vec4 c = t.m_viewProjection * glm::vec4(p, 1.0f);
  return glm::vec3(c) / c.w;
}

void ExpectIdentity(const glm::mat4& m, const char* what, float tolerance) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_NEAR(m[c][r], c == r ? 1.0f : 0.0f, tolerance) << what << " " << c << "," << r;
}

}  // namespace

// Matrices are plain CPU maths: no context needed, a target with a size is.
TEST(RenderTargetCamera, FreeCameraTurnsWithItsRotation) {
  struct Case {
    glm::vec3 rotation;
    glm::vec3 seenAtCentre;  // a point straight ahead of (0, 0, 100)
    glm::vec3 seenAbove;     // a point that lands above the centre
  };
  const float quarter = glm::half_pi<float>();
  const Case cases[] = {
      {{0, 0, 0}, {0, 0, 0}, {0, 10, 0}},
      {{0, quarter, 0}, {-100, 0, 100}, {-100, 10, 100}},     // turned left: looks down -X
      {{0, -quarter, 0}, {100, 0, 100}, {100, 10, 100}},      // looks down +X
      {{quarter, 0, 0}, {0, 100, 100}, {0, 100, 110}},        // pitched up: looks along +Y, +Z up
      {{0, 0, quarter}, {0, 0, 0}, {-10, 0, 0}},              // rolled: up is -X
  };
  for (const Case& c : cases) {
    RenderTarget t;
    t.m_width = 160;
    t.m_height = 90;
    t.m_rotation = c.rotation;
    t.UpdateMatrices(glm::mat4(1.0f));
    const glm::vec3 centre = Ndc(t, c.seenAtCentre);
    EXPECT_NEAR(centre.x, 0.0f, 1e-4f) << c.rotation.x << " " << c.rotation.y << " " << c.rotation.z;
    EXPECT_NEAR(centre.y, 0.0f, 1e-4f);
    EXPECT_GT(centre.z, -1.0f);
    EXPECT_LT(centre.z, 1.0f);
    const glm::vec3 above = Ndc(t, c.seenAbove);
    EXPECT_NEAR(above.x, 0.0f, 1e-4f);
    EXPECT_GT(above.y, 0.0f);
  }
}

TEST(RenderTargetCamera, FieldOfViewAndAspectShapeTheProjection) {
  RenderTarget t;
  t.m_width = 200;
  t.m_height = 100;
  t.UpdateMatrices(glm::mat4(1.0f));
  // The vertical field of view is m_fov: a point at half-angle height sits on
  // the top edge; the aspect halves the horizontal reach.
  const float half = std::tan(t.m_fov / 2.0f) * 100.0f;
  EXPECT_NEAR(Ndc(t, {0, half, 0}).y, 1.0f, 1e-4f);
  EXPECT_NEAR(Ndc(t, {half, 0, 0}).x, 0.5f, 1e-4f);
  // Near and far planes map to -1 and 1.
  EXPECT_NEAR(Ndc(t, {0, 0, 100.0f - t.m_near}).z, -1.0f, 1e-3f);
  EXPECT_NEAR(Ndc(t, {0, 0, 100.0f - t.m_far}).z, 1.0f, 1e-3f);
}

TEST(RenderTargetCamera, OrbitCameraCirclesTheLookAtPoint) {
  RenderTarget t;
  t.m_width = 100;
  t.m_height = 100;
  t.m_orbit = true;
  t.UpdateMatrices(glm::mat4(1.0f));
  const float a = t.m_orbitPolar, b = t.m_orbitAzimuth;
  const glm::vec3 eye = glm::vec3(std::cos(b) * std::sin(a), std::cos(a), std::sin(b) * std::sin(a)) * 20.0f;
  const glm::vec4 eyeFromView = t.m_invView * glm::vec4(0, 0, 0, 1);
  EXPECT_NEAR(eyeFromView.x, eye.x, 1e-4f);
  EXPECT_NEAR(eyeFromView.y, eye.y, 1e-4f);
  EXPECT_NEAR(eyeFromView.z, eye.z, 1e-4f);
  const glm::vec3 centre = Ndc(t, {0, 1, 0});
  EXPECT_NEAR(centre.x, 0.0f, 1e-4f);
  EXPECT_NEAR(centre.y, 0.0f, 1e-4f);

  // A pan moves the eye and the look-at point together.
  t.m_pan = {2.0f, 1.0f};
  t.UpdateMatrices(glm::mat4(1.0f));
  const glm::vec3 right(std::cos(b - glm::half_pi<float>()), 0.0f, std::sin(b - glm::half_pi<float>()));
  const glm::vec3 dir = eye / 20.0f;
  const glm::vec3 up = glm::cross(dir, right);
  const glm::vec3 lookAt = glm::vec3(0, 1, 0) - right * 2.0f + up * 1.0f;
  const glm::vec3 panned = Ndc(t, lookAt);
  EXPECT_NEAR(panned.x, 0.0f, 1e-4f);
  EXPECT_NEAR(panned.y, 0.0f, 1e-4f);
}

TEST(RenderTargetCamera, ModelMatrixAndInversesAreStored) {
  RenderTarget t;
  t.m_width = 64;
  t.m_height = 48;
  t.m_position = {3, -2, 50};
  t.m_rotation = {0.2f, -0.4f, 0.1f};
  const glm::mat4 model = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
  t.UpdateMatrices(model);
  const glm::mat4 expected = t.m_projection * t.m_view * model;
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_FLOAT_EQ(t.m_viewProjection[c][r], expected[c][r]);
  ExpectIdentity(t.m_invProjection * t.m_projection, "projection", 1e-4f);
  ExpectIdentity(t.m_invView * t.m_view, "view", 1e-4f);
  // Near 0.01 and far 1000 leave the product a few float steps off.
  ExpectIdentity(t.m_invViewProjection * t.m_viewProjection, "view-projection", 2e-2f);
}
