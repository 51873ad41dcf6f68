// Vector display settings effect: its settings reach the current target's
// display (whole outside the fade-in, eased from the start values inside
// it), the flush it runs keeps its own decay history, and the pixels show
// decay and glow switched on and off.
#include <gtest/gtest.h>

#include <json/json.h>

#include <memory>
#include <string>

#include "effects/vector/fxVectorDisplay.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"
#include "support/DefaultTargetFixture.h"

namespace {

constexpr int kSize = 128;

int RegistryIndex(const char* name) {
  for (const ClassDesc* desc : GetClassRegistry())
    if (desc->m_name == name) return desc->m_registryIndex;
  return -1;
}

class VectorDisplayEffect : public DefaultTargetTest {
 protected:
  VectorDisplayEffect() : DefaultTargetTest(kSize, kSize) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    m_display = g_pCurrentVectorDisplay;
    ASSERT_NE(m_display, nullptr);
    ASSERT_EQ(m_display->m_setup, 1);
    g_nVectorHistoryIndex = 0;
  }
  // A running fxVectorDisplay made from a sequence item; its window is ten
  // seconds and its fade-in 0 unless the properties say otherwise.
  fxVectorDisplay* Add(const std::string& properties) {
    Json::Value item = ParseJson("{\"Class\":\"fxVectorDisplay\",\"Properties\":" + properties + "}");
    Json::Value& props = item["Properties"];
    if (!props.isMember("FadeIn")) props["FadeIn"] = 0.0;
    fxBase* fx = AddItem(item);
    EXPECT_NE(fx, nullptr);
    if (!fx) return nullptr;
    fx->SetState(StateRunning);
    return static_cast<fxVectorDisplay*>(fx);
  }

  static void Frame(fxBase* fx, float t) {
    fx->m_seekTime = t;
    fx->ExternalUpdate();
  }

  // A vertical stroke at world x, 40 units tall, in the display's colour.
  void Stroke(float x) {
    m_display->m_settings.currentColor = glm::vec4(0.6f, 0.6f, 0.6f, 1.0f);
    m_display->m_settings.currentThickness = 4.0f;
    m_display->MoveTo(x, -20.0f, 0.0f);
    m_display->LineTo(x, 20.0f, 0.0f);
    m_display->EndLine();
  }

  // Frame start as the player does it: "Default" bound and cleared, the
  // history slot of the frame chosen.
  static void StartFrame(int historyIndex) {
    BeginFrame();
    g_nVectorHistoryIndex = historyIndex;
  }

  // Red of "Default" at world point (x, 0, 0).
  static int RedAt(float x, int pixelOffset = 0) {
    const glm::vec4 clip = g_defaultRenderTarget.m_viewProjection * glm::vec4(x, 0.0f, 0.0f, 1.0f);
    const int px = int((clip.x / clip.w * 0.5f + 0.5f) * kSize) + pixelOffset;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixel(px, kSize / 2)[0];
  }

  vector_display* m_display = nullptr;
};

}  // namespace

TEST_F(VectorDisplayEffect, RegisteredAfterTheShaderEffectAndBeforeTheStrokeText) {
  const int shader = RegistryIndex("fxShader");
  const int display = RegistryIndex("fxVectorDisplay");
  const int text = RegistryIndex("fxText");
  ASSERT_GE(shader, 0);
  EXPECT_GT(display, shader);
  EXPECT_GT(text, display);
  EXPECT_EQ(GetClassRegistry()[display]->m_parent, fxBase::GetClassDesc());
}

TEST_F(VectorDisplayEffect, OutsideTheFadeInTheWholeOwnBlockReplacesTheDisplays) {
  fxVectorDisplay* fx = Add(R"({"Decay Camera":true,"Decay Steps":20,"Decay Ramp":1.5,"Decay Initial":0.6,
      "Decay Final":0.1,"Thickness Min|Max.x":0.2,"Thickness Min|Max.y":3,"Thickness Factor":1.5,
      "Color Intensity":1.25,"Color Brightness":0.5,"Fog Zmin|Zmax.x":100,"Fog Zmin|Zmax.y":900,"Fog Power":5,
      "Triangle Culling":false,"Import Color":1,"Import Depth":1,"Export Color":2,"Export Depth":1})");
  ASSERT_NE(fx, nullptr);
  m_display->m_settings.currentColor = glm::vec4(1, 0, 0, 1);
  m_display->m_settings.currentThickness = 2.0f;
  Stroke(0.0f);
  Frame(fx, 0.5f);
  const VectorDisplaySettings& s = m_display->m_settings;
  const struct {
    const char* name;
    float got, want;
  } cases[] = {{"decay camera", float(s.decayCamera), 1},
               {"decay steps", s.decaySteps, 20},
               {"decay ramp", s.decayRamp, 1.5f},
               {"decay initial", s.decayInitial, 0.6f},
               {"decay final", s.decayFinal, 0.1f},
               {"thickness min", s.thickness.x, 0.2f},
               {"thickness max", s.thickness.y, 3},
               {"thickness factor", s.thicknessFactor, 1.5f},
               {"current thickness", s.currentThickness, 0.5f},
               {"colour intensity", s.colorIntensity, 1.25f},
               {"colour brightness", s.colorBrightness, 0.5f},
               {"current red", s.currentColor.r, 1},
               {"current green", s.currentColor.g, 1},
               {"current blue", s.currentColor.b, 1},
               {"fog min", s.fogZ.x, 100},
               {"fog max", s.fogZ.y, 900},
               {"fog power", s.fogPower, 5},
               {"triangle culling", float(s.triangleCulling), 0},
               {"import colour", float(s.importColor), 1},
               {"import depth", float(s.importDepth), 1},
               {"export colour", float(s.exportColor), 2},
               {"export depth", float(s.exportDepth), 1}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(c.got, c.want) << c.name;
  // The flush ran with the effect's history and emptied the display.
  EXPECT_EQ(m_display->m_lines.count, 0);
  EXPECT_EQ(fx->m_history.slots[0].lines.count, 4);
  EXPECT_EQ(m_display->m_history.slots[0].lines.count, 0);
}

TEST_F(VectorDisplayEffect, TheFadeInEasesFromTheValuesTheDisplayHadAtStart) {
  m_display->m_settings.thicknessFactor = 0.5f;
  fxVectorDisplay* fx = Add(R"({"FadeIn":2,"Decay Steps":30,"Thickness Factor":1.5,"Decay Camera":true,
      "Export Depth":1})");
  ASSERT_NE(fx, nullptr);
  EXPECT_FLOAT_EQ(fx->m_startSettings.thicknessFactor, 0.5f);
  const struct {
    float t, steps, factor;
    bool ownColour;
  } cases[] = {{0.0f, 10, 0.5f, false}, {0.5f, 15, 0.75f, false}, {1.0f, 20, 1.0f, false},
               {1.5f, 25, 1.25f, false}, {2.0f, 30, 1.5f, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.t);
    Stroke(0.0f);
    Frame(fx, c.t);
    const VectorDisplaySettings& s = m_display->m_settings;
    EXPECT_FLOAT_EQ(s.decaySteps, c.steps);
    EXPECT_FLOAT_EQ(s.thicknessFactor, c.factor);
    EXPECT_TRUE(s.decayCamera);
    EXPECT_EQ(s.exportDepth, 1);
    // Inside the fade-in the colour an effect set for its drawing stays.
    EXPECT_EQ(s.currentColor, c.ownColour ? glm::vec4(1.0f) : glm::vec4(0.6f, 0.6f, 0.6f, 1.0f));
  }
}

TEST_F(VectorDisplayEffect, DecayStepsBeyondTheRangeAreClampedInTheDisplaysCopyOnly) {
  fxVectorDisplay* fx = Add(R"({"_apAttribDrivers":[{"_attribName":"Decay Steps","_eType":1,"_eInterpolation":1,
      "_aKeys":[{"x":0,"y":10,"z":0},{"x":1,"y":40,"z":0}]}]})");
  ASSERT_NE(fx, nullptr);
  Stroke(0.0f);
  Frame(fx, 1.0f);
  EXPECT_FLOAT_EQ(fx->m_settings.decaySteps, 40.0f);
  EXPECT_FLOAT_EQ(m_display->m_settings.decaySteps, 32.0f);
}

TEST_F(VectorDisplayEffect, WithoutACurrentDisplayNothingIsWrittenOrFlushed) {
  fxVectorDisplay* fx = Add(R"({"Decay Steps":3})");
  ASSERT_NE(fx, nullptr);
  Stroke(0.0f);
  g_pCurrentVectorDisplay = nullptr;
  Frame(fx, 0.5f);
  g_pCurrentVectorDisplay = m_display;
  EXPECT_FLOAT_EQ(m_display->m_settings.decaySteps, 10.0f);
  EXPECT_EQ(m_display->m_lines.count, 4);
}

TEST_F(VectorDisplayEffect, TwoEffectsFlushWhatWasDrawnBeforeEachWithTheirOwnHistory) {
  fxVectorDisplay* first = Add("{}");
  fxVectorDisplay* second = Add("{}");
  ASSERT_TRUE(first && second);
  Stroke(-10.0f);
  Frame(first, 0.5f);
  Stroke(0.0f);
  Stroke(10.0f);
  Frame(second, 0.5f);
  EXPECT_EQ(first->m_history.slots[0].lines.count, 4);
  EXPECT_EQ(second->m_history.slots[0].lines.count, 8);
  // Stopping gives the history's buffers back.
  first->SetState(StatePrepared);
  EXPECT_EQ(first->m_history.slots[0].lines.vbo, 0u);
}

// ---------------------------------------------------------------------------
// Pixels
// ---------------------------------------------------------------------------

TEST_F(VectorDisplayEffect, DecayKeepsTheLastFrameVisibleOnlyWhenSwitchedOn) {
  const struct {
    const char* props;
    bool trail;
  } cases[] = {{R"({"Decay Steps":10,"Decay Initial":0.5,"Decay Final":0.5,"Color Brightness":0})", true},
               {R"({"Decay Steps":1,"Color Brightness":0})", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.props);
    fxVectorDisplay* fx = Add(c.props);
    ASSERT_NE(fx, nullptr);
    StartFrame(1);
    Stroke(-30.0f);
    Frame(fx, 0.5f);
    const int drawn = RedAt(-30.0f);
    ASSERT_GT(drawn, 60);
    // The next frame draws elsewhere; the stroke of the frame before shows
    // only through the decay.
    StartFrame(2);
    Stroke(30.0f);
    Frame(fx, 0.5f + 1.0f / 60.0f);
    EXPECT_GT(RedAt(30.0f), 60);
    const int trail = RedAt(-30.0f);
    if (c.trail) {
      EXPECT_GT(trail, drawn / 4);
      EXPECT_LT(trail, drawn * 3 / 4);
    } else {
      EXPECT_LE(trail, 2);
    }
    fx->SetState(StatePrepared);
  }
}

TEST_F(VectorDisplayEffect, GlowLightsPixelsBesideTheStrokeOnlyWithBrightness) {
  const struct {
    const char* props;
    bool glow;
  } cases[] = {{R"({"Color Brightness":0})", false}, {R"({"Color Brightness":1.5})", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.props);
    fxVectorDisplay* fx = Add(c.props);
    ASSERT_NE(fx, nullptr);
    StartFrame(1);
    Stroke(0.0f);
    Frame(fx, 0.5f);
    EXPECT_GT(RedAt(0.0f), 60);
    // Eight pixels off the stroke's centre only the blurred glow reaches.
    const int beside = RedAt(0.0f, 8);
    if (c.glow) EXPECT_GE(beside, 4); else EXPECT_LE(beside, 1);
    fx->SetState(StatePrepared);
  }
}
