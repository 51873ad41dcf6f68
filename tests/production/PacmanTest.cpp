// Pac-Man and ghost figures: the strokes they append (counts, the mouth, the
// skirt, the eyes and pupils), the colour with its fade, the animation clock
// and drawing with no display.
#include <gtest/gtest.h>

#include <cmath>

#include "production/ProductionClasses.h"
#include "production/fxObjPacman.h"
#include "render/VectorDisplay.h"
#include "render/VectorGeometry.h"
#include "support/DefaultTargetFixture.h"

namespace {

struct Figure {
  fxObjPacman* fx;
  explicit Figure(int object, float step = 4.0f, float animTime = 0.0f) {
    fx = static_cast<fxObjPacman*>(fxObjPacman::Create(fxObjPacman::GetClassDesc()));
    fx->m_object = object;
    fx->m_stepAngle = step;
    fx->m_animTime = animTime;
    fx->m_transform.Update();
  }
  ~Figure() { delete fx; }
  VectorGeometry Draw() const {
    VectorGeometry g;
    fx->DrawObject(g);
    return g;
  }
};

// The vertices of each strip, from the start flags.
std::vector<std::vector<VectorVertex>> Strips(const VectorGeometry& g) {
  std::vector<std::vector<VectorVertex>> strips;
  for (int i = 0; i < g.m_lines.count; ++i) {
    const VectorVertex& v = g.m_lines.data()[i];
    if (v.flags & PTF_LINE_STRIPSTART) strips.emplace_back();
    strips.back().push_back(v);
  }
  return strips;
}

::testing::AssertionResult Near(const glm::vec3& got, float x, float y) {
  if (std::fabs(got.x - x) < 1e-5f && std::fabs(got.y - y) < 1e-5f && got.z == 0.0f)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << got.x << ", " << got.y << ", " << got.z << ") vs (" << x << ", " << y
                                       << ")";
}

const float kHalfPi = 1.5707964f;

}  // namespace

TEST(Pacman, StrokeCountsOfBothFigures) {
  struct Case {
    const char* what;
    int object;
    float step, animTime;
    std::vector<int> strips;  // vertices of each strip: body, then eye circle and pupil per eye
  };
  const Case cases[] = {
      // MoveTo gives 2 vertices, EndLine 1 more (2 for a lone dot).
      {"closed Pac-Man", fxObjPacman::ObjectPacman, 4.0f, 0.0f, {95, 93, 4}},
      {"closed Pac-Man, 20 degree steps", fxObjPacman::ObjectPacman, 20.0f, 0.0f, {23, 21, 4}},
      {"open Pac-Man, 20 degree steps", fxObjPacman::ObjectPacman, 20.0f, kHalfPi, {19, 21, 4}},
      {"ghost", fxObjPacman::ObjectGhost, 4.0f, 0.0f, {89, 93, 4, 93, 4}},
      {"StepAngle 0 joins the arc ends", fxObjPacman::ObjectPacman, 0.0f, 0.0f, {7, 4, 4}},
      {"a negative StepAngle too", fxObjPacman::ObjectGhost, -3.0f, 0.0f, {45, 4, 4, 4, 4}},
      {"an unknown object draws nothing", 2, 4.0f, 0.0f, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Figure f(c.object, c.step, c.animTime);
    const VectorGeometry g = f.Draw();
    std::vector<int> sizes;
    for (const auto& s : Strips(g)) sizes.push_back(int(s.size()));
    EXPECT_EQ(sizes, c.strips);
    EXPECT_EQ(g.m_lines.strips, int(c.strips.size()));
  }
}

TEST(Pacman, TinyStepsAreBoundedInsteadOfFloodingTheDisplay) {
  Figure f(fxObjPacman::ObjectPacman, 1e-6f);
  EXPECT_EQ(f.fx->ArcStep(), fxObjPacman::kMinStepAngle);
  f.fx->m_stepAngle = std::nanf("");
  EXPECT_EQ(f.fx->ArcStep(), 0.0f);
}

TEST(Pacman, TheMouthOpensToFortyFiveDegreesEachSide) {
  Figure f(fxObjPacman::ObjectPacman, 20.0f, kHalfPi);
  const std::vector<VectorVertex> body = Strips(f.Draw())[0];
  ASSERT_EQ(body.size(), 19u);
  const float d = 3.14159265f / 180.0f;
  EXPECT_TRUE(Near(body[0].position, 1.0f, 0.0f));
  EXPECT_TRUE(Near(body[2].position, std::cos(20 * d), std::sin(20 * d)));
  EXPECT_TRUE(Near(body[7].position, std::cos(120 * d), std::sin(120 * d)));
  EXPECT_TRUE(Near(body[8].position, std::cos(135 * d), std::sin(135 * d)));
  EXPECT_TRUE(Near(body[9].position, 0.0f, 0.0f)) << "the corner of the mouth";
  EXPECT_TRUE(Near(body[10].position, std::cos(-135 * d), std::sin(-135 * d)));
  EXPECT_TRUE(Near(body[11].position, std::cos(-115 * d), std::sin(-115 * d)));
  EXPECT_TRUE(Near(body[17].position, 1.0f, 0.0f));
}

TEST(Pacman, AClosedMouthMeetsOnTheMinusXAxis) {
  Figure f(fxObjPacman::ObjectPacman, 4.0f, 0.0f);
  const std::vector<VectorVertex> body = Strips(f.Draw())[0];
  EXPECT_TRUE(Near(body[46].position, -1.0f, 0.0f));
  EXPECT_TRUE(Near(body[47].position, 0.0f, 0.0f));
  EXPECT_TRUE(Near(body[48].position, -1.0f, 0.0f));
}

TEST(Pacman, TheGhostSkirtHasThirtyNinePoints) {
  Figure f(fxObjPacman::ObjectGhost, 4.0f, 0.0f);
  const std::vector<VectorVertex> body = Strips(f.Draw())[0];
  // MoveTo (2), 44 arc points, P(180), the skirt's left corner, the skirt.
  const size_t first = 2 + 44 + 1 + 1;
  float x = -0.95f;
  for (size_t k = 0; k < 39; ++k, x += 0.05f)
    EXPECT_TRUE(Near(body[first + k].position, x, 0.1f * std::sin(10.0f * x) - 0.9f)) << k;
  EXPECT_NEAR(body[first + 38].position.x, 0.95f, 1e-5f);
  EXPECT_TRUE(Near(body[first + 39].position, 1.0f, 0.0f));
  EXPECT_TRUE(Near(body[first - 1].position, -1.0f, 0.1f * std::sin(-10.0f) - 0.9f));
}

TEST(Pacman, EyesAreCirclesWithAPupilDot) {
  Figure f(fxObjPacman::ObjectGhost, 4.0f, 0.0f);
  f.fx->m_eyeDir = 1.0f;
  f.fx->m_eyeScl = 2.0f;
  const auto strips = Strips(f.Draw());
  ASSERT_EQ(strips.size(), 5u);
  const float eyes[2][2] = {{0.5f, 0.3f}, {-0.5f, 0.3f}};
  for (int e = 0; e < 2; ++e) {
    const auto& circle = strips[size_t(1 + 2 * e)];
    const auto& pupil = strips[size_t(2 + 2 * e)];
    EXPECT_TRUE(Near(circle.front().position, eyes[e][0] + 0.2f, eyes[e][1]));
    EXPECT_TRUE(Near(circle.back().position, eyes[e][0] + 0.2f, eyes[e][1]));
    for (const VectorVertex& v : circle)
      EXPECT_NEAR(glm::length(glm::vec2(v.position) - glm::vec2(eyes[e][0], eyes[e][1])), 0.2f, 1e-5f);
    for (const VectorVertex& v : pupil) EXPECT_TRUE(Near(v.position, eyes[e][0] + 0.18f, eyes[e][1]));
  }
}

TEST(Pacman, TheTransformPlacesTheFigure) {
  Figure f(fxObjPacman::ObjectPacman, 4.0f, 0.0f);
  f.fx->m_transform.position = glm::vec3(2.0f, 3.0f, 1.0f);
  f.fx->m_transform.scale = glm::vec3(2.0f);
  f.fx->m_transform.Update();
  const VectorGeometry g = f.Draw();
  EXPECT_EQ(g.m_lines.data()[0].position, glm::vec3(4.0f, 3.0f, 1.0f));
}

namespace {

class PacmanOnDisplay : public DefaultTargetTest {
 protected:
  PacmanOnDisplay() : DefaultTargetTest(64, 64) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    RegisterProductionClasses(GetClassRegistry());
  }
};

}  // namespace

TEST_F(PacmanOnDisplay, ColourFadesAndTheClockFollowsAnimate) {
  fxObjPacman* fx = static_cast<fxObjPacman*>(
      AddItem(ParseJson(R"({"Class":"fxObjPacman","Properties":{"Color.r":1,"Color.g":0.5,"Color.b":0.25,
                           "Thickness":0.7,"Animate":1,"FadeIn":1.0,"End":600}})")));
  ASSERT_NE(fx, nullptr);
  fx->SetState(StateRunning);
  fx->m_localTime = 0.25f;
  fx->m_appliedDelta = 0.05f;
  fx->Update();
  const float fade = fx->GetFadeFactor();
  ASSERT_GT(fade, 0.0f);
  ASSERT_LT(fade, 1.0f);
  const VectorDisplaySettings& s = g_pCurrentVectorDisplay->m_settings;
  EXPECT_EQ(s.currentColor, glm::vec4(1.0f * fade, 0.5f * fade, 0.25f * fade, 1.0f));
  EXPECT_EQ(s.currentThickness, 0.7f);
  EXPECT_FLOAT_EQ(fx->m_animTime, 0.5f);
  EXPECT_EQ(g_pCurrentVectorDisplay->m_lines.strips, 3);
  // Animate 0 freezes the figure.
  fx->m_animate = 0.0f;
  fx->Update();
  EXPECT_FLOAT_EQ(fx->m_animTime, 0.5f);
  // Init starts the clock again.
  fx->SetState(StateNone);
  fx->SetState(StateRunning);
  EXPECT_EQ(fx->m_animTime, 0.0f);
}

TEST_F(PacmanOnDisplay, NoDisplayDrawsAndWritesNothing) {
  fxObjPacman* fx = static_cast<fxObjPacman*>(AddItem(ParseJson(R"({"Class":"fxObjPacman","Properties":{"Thickness":1.5}})")));
  ASSERT_NE(fx, nullptr);
  fx->SetState(StateRunning);
  vector_display* display = g_pCurrentVectorDisplay;
  const VectorDisplaySettings before = display->m_settings;
  g_pCurrentVectorDisplay = nullptr;
  fx->Update();
  g_pCurrentVectorDisplay = display;
  EXPECT_EQ(display->m_lines.count, 0);
  EXPECT_EQ(display->m_settings.currentThickness, before.currentThickness);
  EXPECT_EQ(display->m_settings.currentColor, before.currentColor);
}
