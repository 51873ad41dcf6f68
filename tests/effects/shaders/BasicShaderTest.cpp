// The sample shader effects drawn for real: fxBasicShader2d's swirl against
// the same formula evaluated on the CPU (blended over black), and
// fxBasicShader3d's cube through the wire-frame program, whose edges glow
// white over black faces; the 3D effect's own vertex array and buffer live
// from Init to Kill.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/shaders/fxBasicShader.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "support/DefaultTargetFixture.h"

namespace {

class BasicShaderEffect : public DefaultTargetTest {
 protected:
  BasicShaderEffect() : DefaultTargetTest(64, 48) {}

  fxBase* AddRunning(const char* className, float localTime) {
    fxBase* fx = AddItem(ParseJson(std::string("{\"Class\":\"") + className + "\",\"Properties\":{\"End\":600}}"));
    EXPECT_NE(fx, nullptr);
    if (!fx) return nullptr;
    fx->SetState(StateRunning);
    fx->m_seekTime = localTime;
    return fx;
  }
  void ClearTarget() {
    glDisable(GL_BLEND);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  std::vector<uint8_t> ReadDefault() {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixels(0, 0, m_width, m_height);
  }
};

// The swirl's c for a pixel centre, as the fragment stage computes it.
float SwirlAt(int x, int y, int w, int h, float t) {
  const float rx = static_cast<float>(w), ry = static_cast<float>(h);
  const float ux = ((static_cast<float>(x) + 0.5f) / rx - 0.5f) * (rx / ry);
  const float uy = (static_cast<float>(y) + 0.5f) / ry - 0.5f;
  const float len = std::sqrt(ux * ux + uy * uy);
  return std::sin(len * 10.0f + std::atan(ux / uy) * 6.0f - t) * len * 1.5f;
}

TEST_F(BasicShaderEffect, SwirlMatchesTheFormulaBlendedOverBlack) {
  for (float t : {0.0f, 1.7f}) {
    fxBase* fx = AddRunning("fxBasicShader2d", t);
    ASSERT_NE(fx, nullptr);
    ClearTarget();
    fx->ExternalUpdate();
    ASSERT_NE(static_cast<fxBasicShader2d*>(fx)->m_program.m_program, 0u);
    // Blending stays as the bind found it (off).
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    const std::vector<uint8_t> pixels = ReadDefault();
    int bright = 0;
    for (int y = 0; y < m_height; ++y) {
      for (int x = 0; x < m_width; ++x) {
        // The framebuffer clamps the colour and alpha before blending:
        // result = c' x c' + 0 x (1 - c').
        const float c = std::clamp(SwirlAt(x, y, m_width, m_height, t), 0.0f, 1.0f);
        const int want = static_cast<int>(std::lround(c * c * 255.0f));
        const int got = pixels[(y * m_width + x) * 4];
        ASSERT_NEAR(got, want, 4) << "t " << t << " at " << x << "," << y;
        EXPECT_EQ(pixels[(y * m_width + x) * 4 + 1], got);
        if (got > 128) ++bright;
      }
    }
    EXPECT_GT(bright, 20) << "the swirl lights part of the target";
  }
}

TEST_F(BasicShaderEffect, CubeEdgesGlowWhiteOverBlackFaces) {
  // Looking down -z at the cube's +z face; an orthographic camera keeps w at
  // 1, so lines are a few pixels wide at this size.
  g_defaultRenderTarget.m_viewProjection =
      glm::ortho(-20.0f, 20.0f, -15.0f, 15.0f, 1.0f, 100.0f) *
      glm::lookAt(glm::vec3(0.0f, 0.0f, 50.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
  fxBase* fx = AddRunning("fxBasicShader3d", 0.0f);
  ASSERT_NE(fx, nullptr);
  auto* cube = static_cast<fxBasicShader3d*>(fx);
  ASSERT_NE(cube->m_vertexArray, 0u);
  ClearTarget();
  glBindVertexArray(0);
  fx->ExternalUpdate();
  ASSERT_NE(cube->m_program.m_program, 0u);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

  // World x = -10 is pixel column 16, x = +10 column 48; y = -10 row 8.5,
  // y = +10 row 39.5. The face's lower-left triangle has its incentre at
  // (-4.14, -4.14), the upper-right one at (4.14, 4.14).
  const struct {
    const char* what;
    int x, y;
    bool edge;
  } cases[] = {{"left edge", 16, 24, true},  {"right edge", 47, 20, true},   {"diagonal", 31, 23, true},
               {"lower-left face", 25, 15, false}, {"upper-right face", 38, 32, false}};
  const std::vector<uint8_t> pixels = ReadDefault();
  for (const auto& c : cases) {
    const uint8_t* p = &pixels[(c.y * m_width + c.x) * 4];
    if (c.edge) {
      for (int k = 0; k < 3; ++k) EXPECT_GT(p[k], 200) << c.what;
    } else {
      for (int k = 0; k < 3; ++k) EXPECT_LT(p[k], 16) << c.what;
    }
  }
  // Outside the cube the clear colour stays.
  EXPECT_EQ(pixels[(2 * m_width + 2) * 4], 0);

  fx->SetState(StateNone);
  EXPECT_EQ(cube->m_vertexArray, 0u);
  EXPECT_EQ(cube->m_vertexBuffer, 0u);
}

}  // namespace
