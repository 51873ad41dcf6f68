// Image effect: 2D rectangles with their ratio, cover and fullscreen rules,
// 3D quads and billboards under the target's camera, blend modes at half
// fade, the two colour formulas and the bare modulation that stands in for
// them, glow, buffer sources and bad pictures, checked by readback of
// "Default".
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "effects/EffectBlend.h"
#include "effects/buffers/fxBuffer.h"
#include "effects/images/fxImage.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"
#include "sequence/ClassRegistry.h"
#include "support/DefaultTargetFixture.h"
#include "support/TestImages.h"
#include "support/TestPack.h"

namespace {

constexpr int kSize = 64;

Json::Value Item(const std::string& cls, const std::string& properties) {
  return ParseJson("{\"Class\":\"" + cls + "\",\"Properties\":" + properties + "}");
}

// A rectangle in target pixels, y down, right and bottom exclusive.
struct PixelRect {
  int x0, y0, x1, y1;
};

class ImageEffects : public DefaultTargetTest {
 protected:
  ImageEffects() : DefaultTargetTest(kSize, kSize) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/img/halves.png", ConvertImage("-size 4x4 xc:red -size 4x4 xc:lime +append")},
                                  {"Data/img/white.png", ConvertImage("-size 4x4 xc:white")},
                                  {"Data/img/orange.png", ConvertImage("-size 4x4 xc:'rgb(255,128,0)'")},
                                  {"Data/img/broken.png", "\x89PNG\r\n\x1a\n not really"}}));
    EnterDir(m_dir);
    // The camera looks down -z from 2 sqrt(3): with its 60 degree field a
    // unit quad at the origin spans the middle half of the target exactly.
    g_defaultRenderTarget.m_position = glm::vec3(0.0f, 0.0f, 3.4641016f);
    g_defaultRenderTarget.UpdateMatrices(glm::mat4(1.0f));
    Clear(0.0f, 0.0f, 0.0f, 1.0f);
  }
  static void Clear(float r, float g, float b, float a) {
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // The pixel at column x, row y counted from the top.
  static Rgba8 At(int x, int y) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixel(x, kSize - 1 - y);
  }
  static bool Lit(const Rgba8& p) { return p[0] + p[1] + p[2] > 30; }
  // An image without fades (the base fades in over its first second).
  fxImage* Image(const std::string& properties) {
    auto* fx = static_cast<fxImage*>(AddItem(Item("fxImage", "{\"FadeIn\":0," + properties.substr(1))));
    EXPECT_NE(fx, nullptr);
    return fx;
  }
  static void Run(fxBase* fx) {
    fx->SetState(StateRunning);
    fx->ExternalUpdate();
  }
  // Draws once at fade 0.5 (half-way through a 2 s fade-in).
  static void RunAtHalfFade(fxBase* fx) {
    fx->SetState(StateRunning);
    fx->m_fadeIn = 2.0f;
    fx->m_localTime = 1.0f;
    fx->Update();
  }
  // Lit inside the rectangle (probed one pixel in from each corner) and
  // dark one pixel outside each edge that lies in the target.
  static void ExpectRect(const PixelRect& r, const std::string& what) {
    for (int x : {r.x0 + 1, r.x1 - 2})
      for (int y : {r.y0 + 1, r.y1 - 2}) EXPECT_TRUE(Lit(At(x, y))) << what << " inside at " << x << "," << y;
    const int mx = (r.x0 + r.x1) / 2, my = (r.y0 + r.y1) / 2;
    if (r.x0 > 0) {
      EXPECT_FALSE(Lit(At(r.x0 - 1, my))) << what << " left";
    }
    if (r.x1 < kSize) {
      EXPECT_FALSE(Lit(At(r.x1, my))) << what << " right";
    }
    if (r.y0 > 0) {
      EXPECT_FALSE(Lit(At(mx, r.y0 - 1))) << what << " top";
    }
    if (r.y1 < kSize) {
      EXPECT_FALSE(Lit(At(mx, r.y1))) << what << " bottom";
    }
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(ImageEffects, RectanglesFollowPositionSizeRatioFlagsAndFullscreen) {
  struct Case {
    const char* properties;  // over the 2:1 picture img/halves.png
    PixelRect rect;
  };
  const Case cases[] = {
      {R"("KeepRatioY":false)", {16, 16, 48, 48}},
      {R"("KeepRatioY":true)", {0, 16, 64, 48}},  // height kept, width 2 x 0.5
      {R"("KeepRatioY":false,"KeepRatioX":true)", {16, 24, 48, 40}},  // width kept, height 0.5 x 0.5
      {R"("KeepRatioY":true,"KeepRatioX":true)", {0, 16, 64, 48}},  // KeepRatioY decides
      {R"("KeepRatioY":false,"2d/ScreenPos.x":-1,"2d/ScreenPos.y":-1)", {0, 0, 16, 16}},  // top-left corner
      {R"("KeepRatioY":false,"2d/ScreenPos.x":0.5,"2d/ScreenSize":0.25)", {40, 24, 56, 40}},
      {R"("KeepRatioY":false,"2d/Fullscreen":true)", {0, 0, 64, 64}},
      {R"("KeepRatioY":false,"KeepRatioX":true,"2d/Fullscreen":true)", {0, 16, 64, 48}},
  };
  for (const Case& c : cases) {
    Clear(0.0f, 0.0f, 0.0f, 1.0f);
    fxImage* fx = Image(std::string(R"({"PNG File":"img/halves.png","ColorBlend":0,)") + c.properties + "}");
    Run(fx);
    EXPECT_TRUE(fx->m_textureLoaded);
    ExpectRect(c.rect, c.properties);
  }
}

TEST_F(ImageEffects, CoverTilesThePictureAroundItsRectangle) {
  fxImage* fx = Image(R"({"PNG File":"img/halves.png","KeepRatioY":false,"RepeatUV":true,"ColorBlend":0})");
  Run(fx);
  // The rectangle spans columns 16..47: red then green; the repeating wrap
  // continues the picture to both sides and above and below.
  struct Probe {
    int x, y;
    Rgba8 expected;
  };
  const Probe probes[] = {
      {20, 32, {255, 0, 0, 255}}, {40, 32, {0, 255, 0, 255}}, {8, 32, {0, 255, 0, 255}},
      {56, 32, {255, 0, 0, 255}}, {20, 4, {255, 0, 0, 255}},  {40, 60, {0, 255, 0, 255}},
  };
  for (const Probe& p : probes) EXPECT_TRUE(PixelNear(At(p.x, p.y), p.expected, 8)) << p.x << "," << p.y;
}

TEST_F(ImageEffects, TheTwoColourFormulas) {
  // Picture (1, 0.5, 0, 1), multiply 0.5, add 0.25 on rgb. The 2D program
  // adds before it multiplies; the 3D program multiplies, then adds.
  const std::string common = R"("PNG File":"img/orange.png","ColorBlend":0,"KeepRatioY":false,"2d/Fullscreen":true,
      "ColorMul.r":0.5,"ColorMul.g":0.5,"ColorMul.b":0.5,"ColorMul.a":1,
      "ColorAdd.r":0.25,"ColorAdd.g":0.25,"ColorAdd.b":0.25,"ColorAdd.a":0)";
  struct Case {
    int mode;
    Rgba8 expected;
  };
  const Case cases[] = {{fxImage::Image2d, {159, 96, 32, 255}}, {fxImage::Image3d, {191, 128, 64, 255}}};
  for (const Case& c : cases) {
    Clear(0.0f, 0.0f, 0.0f, 1.0f);
    Run(Image("{" + common + ",\"ImageMode\":" + std::to_string(c.mode) + "}"));
    EXPECT_TRUE(PixelNear(At(32, 32), c.expected)) << "mode " << c.mode;
  }
}

TEST_F(ImageEffects, BlendModesAtHalfFade) {
  // White picture multiplied to red, faded to (0.5, 0, 0, 0.5), drawn over
  // (0.2, 0.4, 0.6, 1); alpha always keeps the larger value.
  struct Case {
    int blend;
    Rgba8 expected;
  };
  const Case cases[] = {
      {BlendCopy, {128, 0, 0, 128}},
      {BlendAlpha, {89, 51, 77, 255}},
      {BlendAdd, {179, 102, 153, 255}},
      {BlendMax, {128, 102, 153, 255}},
  };
  for (int mode : {fxImage::Image2d, fxImage::Image3d}) {
    for (const Case& c : cases) {
      Clear(0.2f, 0.4f, 0.6f, 1.0f);
      RunAtHalfFade(Image(R"({"PNG File":"img/white.png","KeepRatioY":false,"2d/Fullscreen":true,"ColorMul.g":0,
          "ColorMul.b":0,"ImageMode":)" + std::to_string(mode) + ",\"ColorBlend\":" + std::to_string(c.blend) + "}"));
      EXPECT_TRUE(PixelNear(At(32, 32), c.expected)) << "mode " << mode << " blend " << c.blend;
      if (mode == fxImage::Image2d) {
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "the 2D unbind puts the blend switch back";
      }
    }
  }
}

TEST_F(ImageEffects, TheBareModulationKeepsThePixelsAndIsUsedOnlyWhenNothingNeedsAClamp) {
  // A picture with a hard edge, magnified with linear filtering, faded and
  // blended: every pixel of the bare modulation against the full formula.
  const std::string picture = R"("PNG File":"img/halves.png","2d/Fullscreen":true,"ColorBlend":1,)";
  struct Case {
    std::string colours;
    bool modulates;
  };
  const Case cases[] = {
      {R"("ColorMul.r":0.8,"ColorMul.g":0.6,"ColorMul.a":0.9)", true},
      {R"("Intensity":2,"ColorMul.r":0.5,"ColorMul.g":0.25,"ColorMul.b":0.5,"ColorMul.a":0.5)", true},
      {R"("ColorMul.g":-0.5)", false},  // a factor below 0 needs the clamp
      {R"("ColorAdd.b":0.1)", false},
  };
  const auto frame = [&](const Case& c, bool shortcut, fxImage** drawn) {
    Clear(0.2f, 0.4f, 0.6f, 1.0f);
    fxImage* fx = Image("{" + picture + c.colours + "}");
    fx->m_modulateShortcut = shortcut;
    RunAtHalfFade(fx);
    *drawn = fx;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixels(0, 0, kSize, kSize);
  };
  for (const Case& c : cases) {
    fxImage* reference = nullptr;
    fxImage* shortcut = nullptr;
    const std::vector<uint8_t> expected = frame(c, false, &reference);
    const std::vector<uint8_t> got = frame(c, true, &shortcut);
    EXPECT_EQ(reference->m_modulateProgram.m_program, 0u) << c.colours;
    EXPECT_EQ(shortcut->m_modulateProgram.m_program != 0, c.modulates) << c.colours;
    ASSERT_EQ(got.size(), expected.size());
    int far = 0;
    for (size_t i = 0; i < got.size(); ++i) far += std::abs(int(got[i]) - int(expected[i])) > 1 ? 1 : 0;
    EXPECT_EQ(far, 0) << c.colours;
    // Across the edge the filter draws in-between reds.
    std::set<int> reds;
    for (int x = 0; x < kSize; ++x) reds.insert(expected[(size_t(kSize / 2) * kSize + x) * 4]);
    EXPECT_GE(reds.size(), 4u) << c.colours;
  }
}

TEST_F(ImageEffects, QuadSitsUnderTheCameraAndKeepsTheRatio) {
  fxImage* square = Image(R"({"PNG File":"img/halves.png","ImageMode":1,"KeepRatioY":false,"ColorBlend":0})");
  Run(square);
  ExpectRect({16, 16, 48, 48}, "unit quad");
  Clear(0.0f, 0.0f, 0.0f, 1.0f);
  fxImage* wide = Image(R"({"PNG File":"img/halves.png","ImageMode":1,"ColorBlend":0,
      "3d/Transform.Scale.x":0.5,"3d/Transform.Scale.y":0.5,"3d/Transform.Scale.z":0.5})");
  Run(wide);
  ExpectRect({16, 24, 48, 40}, "half extents (2, 1) at scale 0.5");
  EXPECT_TRUE(PixelNear(At(20, 32), {255, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(At(44, 32), {0, 255, 0, 255})) << "u runs left to right";
}

TEST_F(ImageEffects, BillboardTurnsAnEdgeOnQuadToTheCamera) {
  const std::string edgeOn = R"("PNG File":"img/white.png","ImageMode":1,"ColorBlend":0,"3d/Transform.Rot.y":90)";
  Run(Image("{" + edgeOn + "}"));
  EXPECT_FALSE(Lit(At(32, 32))) << "seen edge-on the quad has no area";
  Run(Image("{" + edgeOn + ",\"3d/Billboard\":true}"));
  EXPECT_TRUE(PixelNear(At(32, 32), {255, 255, 255, 255}));
}

TEST(Billboard, MatrixTurnsTheNormalToTheCameraByTheShortestArc) {
  const glm::mat4 moved = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)) * glm::scale(glm::mat4(1.0f), glm::vec3(2));
  struct Case {
    const char* what;
    glm::mat4 matrix;
    glm::vec3 camera;
    glm::vec3 x, y, z;  // expected columns
  };
  const Case cases[] = {
      {"already facing", glm::mat4(1.0f), {0, 0, 5}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      {"facing exactly away", glm::mat4(1.0f), {0, 0, -5}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      {"camera on the right", glm::mat4(1.0f), {5, 0, 0}, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
      {"camera above, scaled and moved", moved, {1, 6, 3}, {2, 0, 0}, {0, 0, -2}, {0, 2, 0}},
      {"camera on the quad", moved, {1, 2, 3}, {2, 0, 0}, {0, 2, 0}, {0, 0, 2}},
  };
  for (const Case& c : cases) {
    const glm::mat4 m = BillboardMatrix(c.matrix, c.camera);
    const glm::vec3 columns[3] = {c.x, c.y, c.z};
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(m[i][k], columns[i][k], 1e-5f) << c.what << " column " << i;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(m[3][k], c.matrix[3][k]) << c.what << ": the position stays";
  }
}

TEST_F(ImageEffects, GlowHaloesThePictureAndNeedsAVectorDisplay) {
  const std::string small = R"("PNG File":"img/white.png","KeepRatioY":false,"2d/ScreenSize":0.25,"ColorBlend":0)";
  Run(Image("{" + small + "}"));
  ExpectRect({24, 24, 40, 40}, "plain");
  const Rgba8 plainNear = At(21, 32);

  Clear(0.0f, 0.0f, 0.0f, 1.0f);
  Run(Image("{" + small + ",\"Glow\":true}"));
  EXPECT_TRUE(Lit(At(32, 32))) << "the picture is composited back";
  EXPECT_GT(At(21, 32)[0], plainNear[0] + 5) << "light spills past the edge";

  // A target without a vector display draws the picture unglowed.
  Clear(0.0f, 0.0f, 0.0f, 1.0f);
  vector_display* display = g_pCurrentVectorDisplay;
  g_pCurrentVectorDisplay = nullptr;
  Run(Image("{" + small + ",\"Glow\":true}"));
  g_pCurrentVectorDisplay = display;
  ExpectRect({24, 24, 40, 40}, "no display");
}

TEST_F(ImageEffects, BufferSourceDrawsOnlyWhileItsBufferRuns) {
  fxBase* buffer = AddItem(Item("fxBufferDisplay", R"({"Name":"Buf","Clear":true,"BackColor.r":1,"BackColor.g":1,
      "BackColor.b":0,"BackColor.a":1})"));
  fxBase* back = AddItem(Item("fxBufferDefault", "{}"));
  // A picture file is ignored when a buffer is named.
  fxBase* image = Image(R"({"FX Buffer":"Buf","PNG File":"img/white.png","2d/Fullscreen":true,"KeepRatioY":false,
      "ColorBlend":0})");
  for (int mode : {fxImage::Image2d, fxImage::Image3d}) {
    static_cast<fxImage*>(image)->m_imageMode = mode;  // switching to 3D without a new Init still draws
    for (fxBase* fx : {buffer, back, image}) fx->SetState(StatePrepared);
    Clear(0.0f, 0.0f, 0.0f, 1.0f);
    Run(image);
    EXPECT_FALSE(Lit(At(32, 32))) << "mode " << mode << ": a stopped buffer draws nothing";
    for (fxBase* fx : {buffer, back, image}) Run(fx);
    EXPECT_TRUE(PixelNear(At(32, 32), {255, 255, 0, 255})) << "mode " << mode;
  }
}

TEST_F(ImageEffects, MissingUndecodableOrUnnamedSourcesDrawNothing) {
  const char* const sources[] = {
      R"("PNG File":"img/broken.png")", R"("PNG File":"img/missing.png")", R"("PNG File":"img/")",
      R"("PNG File":"")",               R"("FX Buffer":"Nobody")",
  };
  AddItem(Item("fxImage", R"({"Name":"NotABuffer"})"));
  for (int mode : {fxImage::Image2d, fxImage::Image3d}) {
    for (const char* source : sources) {
      Clear(0.0f, 0.0f, 0.0f, 1.0f);
      fxImage* fx = Image(std::string("{") + source + ",\"2d/Fullscreen\":true,\"ColorBlend\":0,\"ImageMode\":" +
                          std::to_string(mode) + "}");
      Run(fx);
      EXPECT_FALSE(fx->m_textureLoaded) << source;
      EXPECT_FALSE(Lit(At(32, 32))) << source << " mode " << mode;
    }
    fxImage* fx = Image(R"({"FX Buffer":"NotABuffer","2d/Fullscreen":true,"ImageMode":)" + std::to_string(mode) + "}");
    Run(fx);
    EXPECT_EQ(fx->m_buffer, nullptr) << "only buffer effects are sources";
  }
}

TEST_F(ImageEffects, KillReleasesTheProgramsAndTheQuad) {
  fxImage* fx = Image(R"({"PNG File":"img/white.png","ImageMode":1})");
  Run(fx);
  EXPECT_NE(fx->m_quadArray, 0u);
  EXPECT_NE(fx->m_program3d.m_program, 0u);
  fx->SetState(StateNone);
  EXPECT_EQ(fx->m_quadArray, 0u);
  EXPECT_EQ(fx->m_quadBuffer, 0u);
  EXPECT_EQ(fx->m_program3d.m_program, 0u);
  EXPECT_EQ(fx->m_program2d.m_program, 0u);
}

TEST(ImageNames, LegacyScreenNamesMoveIntoThe2dGroup) {
  struct Case {
    const char* old;
    const char* renamed;
  };
  const Case cases[] = {
      {"ScreenPos.x", "2d/ScreenPos.x"}, {"ScreenSize", "2d/ScreenSize"}, {"Screen", "2d/Screen"},
      {"Fullscreen", "2d/Fullscreen"},   {"Scree", "Scree"},              {"FullscreenX", "FullscreenX"},
      {"Intensity", "Intensity"},        {"2d/ScreenPos.y", "2d/ScreenPos.y"},
  };
  GetClassRegistry();
  fxImage* fx = static_cast<fxImage*>(fxImage::Create(fxImage::GetClassDesc()));
  for (const Case& c : cases) {
    std::string name = c.old;
    fx->RenameAttribute(name);
    EXPECT_EQ(name, c.renamed);
  }
  fx->LoadAttributes(ParseJson(R"({"ScreenPos.x":0.5,"ScreenSize":0.75,"Fullscreen":true})"));
  EXPECT_EQ(fx->m_screenPos.x, 0.5f);
  EXPECT_EQ(fx->m_screenSize, 0.75f);
  EXPECT_TRUE(fx->m_fullscreen);
  delete fx;
}
