// The ripple and tape passes: exact copies while they have nothing to do,
// the ripple's wave, the monochrome tint from the demo-wide parameters,
// rectangles that leave the rest of the target bit-identical, and the
// feature switches that compile unused tape features out.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "effects/post/PostPassFixture.h"
#include "effects/sequencing/fxDemoGlobalParams.h"
#include "effects/post/fxPostDistortion.h"
#include "effects/post/fxPostVHS.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

// Every amount of the tape look at 0: all features compiled out.
const char* const kTapeOff =
    R"({">>ScreenDistortion":0,">>Vignette":0,">>Noise":0,">>HblLines":0,">>JumpsV":0,">>JumpsH":0,)"
    R"(">>WhiteLines":0,">>NoiseLines":0,">>Wobble":0,">>Monochrome":0})";

const char* const kMonochromeOnly =
    R"({">>ScreenDistortion":0,">>Vignette":0,">>Noise":0,">>HblLines":0,">>JumpsV":0,">>JumpsH":0,)"
    R"(">>WhiteLines":0,">>NoiseLines":0,">>Wobble":0,">>Monochrome":1})";

int DifferingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

class DistortionVHS : public PostPassTest {
 protected:
  void TearDown() override {
    g_pDemoGlobalParams->m_monochromeColor = glm::vec4(1.0f);
    PostPassTest::TearDown();
  }
};

// A tape program that counts its builds.
struct CountingTape : shPostVHS {
  void Build() override {
    ++builds;
    shPostVHS::Build();
  }
  int builds = 0;
};

}  // namespace

TEST_F(DistortionVHS, NothingToDoGivesAnExactCopy) {
  const char* const cases[][2] = {
      {"fxPostVHS", kTapeOff},
      {"fxPostDistortion", R"({"  BumpStart":5.0})"},                   // before the wave starts
      {"fxPostDistortion", R"({"  BumpStart":-1.0,"  BumpSpeed":-5.0})"},  // a negative speed never starts it
  };
  const std::vector<uint8_t> picture = Pattern();
  for (const auto& c : cases) {
    Fill(picture);
    Run(Make(c[0], c[1]));
    EXPECT_EQ(DifferingBytes(ReadTarget(), picture), 0) << c[0] << " " << c[1];
  }
}

TEST_F(DistortionVHS, RippleBendsAndShadesWhereTheWaveRuns) {
  const std::vector<uint8_t> picture = Pattern();
  struct Case {
    const char* properties;
    bool changesCentre, changesCorner;
  };
  const Case cases[] = {
      {R"({"  BumpStart":-0.2})", true, true},
      // A range of 0.3 around the centre: the corners stay.
      {R"({"  BumpStart":-0.2,"  BumpRangeRadius":0.3})", true, false},
  };
  for (const Case& c : cases) {
    Fill(picture);
    Run(Make("fxPostDistortion", c.properties));
    const std::vector<uint8_t> out = ReadTarget();
    auto changedAround = [&](int cx, int cy) {
      int n = 0;
      for (int y = cy - 4; y < cy + 4; ++y)
        for (int x = cx - 4; x < cx + 4; ++x)
          for (int k = 0; k < 3; ++k) n += out[(y * kSize + x) * 4 + k] != picture[(y * kSize + x) * 4 + k];
      return n > 0;
    };
    EXPECT_EQ(changedAround(kSize / 2 + 8, kSize / 2 + 8), c.changesCentre) << c.properties;
    EXPECT_EQ(changedAround(4, 4), c.changesCorner) << c.properties;
    EXPECT_EQ(changedAround(kSize - 5, kSize - 5), c.changesCorner) << c.properties;
  }

  // BumpDebug adds red to the range disc while the wave runs there.
  FillFlat(0, 0, 0, 255);
  Run(Make("fxPostDistortion", R"({"  BumpStart":-0.2,"  BumpRangeRadius":0.5,"  BumpDebug":true,"  BumpColor":0})"));
  EXPECT_TRUE(PixelNear(TargetPixel(kSize / 2, kSize / 2), {255, 0, 0, 255}, 0));
  EXPECT_TRUE(PixelNear(TargetPixel(1, 1), {0, 0, 0, 255}, 0));
}

TEST_F(DistortionVHS, MonochromeTintFollowsTheDemoWideColour) {
  struct Case {
    glm::vec4 tint;
    Rgba8 in;
    Rgba8 want;
  };
  auto luma = [](int r, int g, int b) {
    return static_cast<uint8_t>(std::lround(0.2126 * r + 0.7152 * g + 0.0722 * b));
  };
  const Case cases[] = {
      // White: every channel becomes the luminance.
      {glm::vec4(1.0f), {200, 40, 90, 255}, {luma(200, 40, 90), luma(200, 40, 90), luma(200, 40, 90), 255}},
      {glm::vec4(1.0f), {10, 250, 30, 255}, {luma(10, 250, 30), luma(10, 250, 30), luma(10, 250, 30), 255}},
      // Black: its dark end is black, brighter pixels fade to white.
      {glm::vec4(0.0f, 0.0f, 0.0f, 1.0f), {0, 0, 0, 255}, {0, 0, 0, 255}},
      {glm::vec4(0.0f, 0.0f, 0.0f, 1.0f), {128, 128, 128, 255}, {128, 128, 128, 255}},
  };
  for (const Case& c : cases) {
    g_pDemoGlobalParams->m_monochromeColor = c.tint;
    FillFlat(c.in[0], c.in[1], c.in[2], c.in[3]);
    Run(Make("fxPostVHS", kMonochromeOnly));
    EXPECT_TRUE(PixelNear(TargetPixel(30, 30), c.want, 1))
        << "tint " << c.tint.r << "," << c.tint.g << "," << c.tint.b << " in " << int(c.in[0]);
  }

  // A black tint on a black picture stays finite (no 0 / 0).
  UseFloatTarget();
  g_pDemoGlobalParams->m_monochromeColor = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
  FillFlat(0, 0, 0, 255);
  Run(Make("fxPostVHS", kMonochromeOnly));
  for (float v : ReadTargetFloat()) ASSERT_TRUE(std::isfinite(v));
}

// The tape features that depend on the place alone (no noise, no clock),
// checked by value on a flat grey picture: the vignette darkens by
// 1 - (1 - a dy^2)(1 - a dx^2), the bands scale each row by
// (h + mod(30 y, 4)) / (h + 1).
TEST_F(DistortionVHS, VignetteAndBandsShadeByTheirFormulas) {
  auto with = [](const std::string& features) {
    // After the switches of kTapeOff, so that these amounts win.
    std::string props = kTapeOff;
    props.insert(props.size() - 1, "," + features);
    return props;
  };
  struct Case {
    const char* what;
    std::string properties;
    double (*shade)(double u, double v, double grey);  // the expected value, 0..1
  };
  const Case cases[] = {
      {"vignette", with(R"(">>Vignette":0.5,"  VignetteAperture":2,"  VignetteOscillation":0)"),
       [](double u, double v, double grey) {
         const double dx = u - 0.5, dy = v - 0.5;
         return grey - 0.5 * (1.0 - (1.0 - 2.0 * dy * dy) * (1.0 - 2.0 * dx * dx));
       }},
      {"bands", with(R"(">>HblLines":1,"  HblLinesHeight":0,"  HblLinesSpeed":0)"),
       // The pass counts y from the top of the picture; rows read back
       // from the bottom.
       [](double, double v, double grey) { return grey * (1.0 + std::fmod(30.0 * (1.0 - v), 4.0)) / 2.0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FillFlat(120, 120, 120, 255);
    Run(Make("fxPostVHS", c.properties));
    const std::vector<uint8_t> out = ReadTarget();
    int checked = 0;
    for (int y = 0; y < kSize; y += 3) {
      for (int x = 0; x < kSize; x += 7) {
        const double u = (x + 0.5) / kSize, v = (y + 0.5) / kSize;
        const double want = std::fmin(std::fmax(c.shade(u, v, 120.0 / 255.0), 0.0), 1.0) * 255.0;
        ASSERT_NEAR(out[(size_t(y) * kSize + x) * 4], want, 1.5) << x << "," << y;
        ++checked;
      }
    }
    EXPECT_GT(checked, 100);
    m_sequence.Clear();
  }
}

TEST_F(DistortionVHS, ARectangleLeavesTheRestOfTheTargetBitIdentical) {
  const std::vector<uint8_t> picture = Pattern();
  auto* vhs = static_cast<fxPostVHS*>(Make("fxPostVHS", kMonochromeOnly));
  auto* ripple = static_cast<fxPostDistortion*>(Make("fxPostDistortion", R"({"  BumpStart":-0.2})"));
  vhs->SetState(StateRunning);
  ripple->SetState(StateRunning);
  for (shPostRegionPass* program : {static_cast<shPostRegionPass*>(&vhs->m_program),
                                    static_cast<shPostRegionPass*>(&ripple->m_program)}) {
    Fill(picture);
    program->Bind();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    // Left-top anchored, a quarter in from the left and from the top.
    program->DrawRect(RECT_LEFT | RECT_TOP, 0.25f, 0.25f, 0.5f, 0.5f);
    program->Unbind();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const std::vector<uint8_t> out = ReadTarget();
    int outsideChanged = 0, insideChanged = 0;
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const bool inside = x >= 16 && x < 48 && y >= 16 && y < 48;  // rows from the bottom: symmetric
        for (int k = 0; k < 4; ++k) {
          const bool differs = out[(y * kSize + x) * 4 + k] != picture[(y * kSize + x) * 4 + k];
          (inside ? insideChanged : outsideChanged) += differs;
        }
      }
    }
    EXPECT_EQ(outsideChanged, 0);
    EXPECT_GT(insideChanged, 0);
  }
}

TEST(TapeSwitches, EachFeatureIsOnAboveItsThreshold) {
  using A = shPostVHS::Amount;
  struct Case {
    std::vector<std::pair<A, float>> amounts;  // over all amounts at 0
    int want[9];  // screen, vignette, monochrome, noise, bands, jumps, white, noise lines, wobble
  };
  const Case cases[] = {
      {{}, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{{A::ScreenDistortion, 0.2f}}, {1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{{A::Vignette, 0.00011f}}, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {{{A::Vignette, 0.0001f}}, {0, 0, 0, 0, 0, 0, 0, 0, 0}},  // at the threshold: off
      {{{A::Monochrome, 1.0f}}, {0, 0, 1, 0, 0, 0, 0, 0, 0}},
      {{{A::Noise, 0.5f}}, {0, 0, 0, 1, 0, 0, 0, 0, 0}},
      {{{A::HblLines, 0.1f}}, {0, 0, 0, 0, 1, 0, 0, 0, 0}},
      {{{A::JumpHorizontal, 0.1f}}, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
      {{{A::JumpVertical, 0.1f}}, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
      {{{A::WhiteLines, 0.1f}}, {0, 0, 0, 0, 0, 0, 1, 0, 0}},
      {{{A::NoiseLines, 1.0f}}, {0, 0, 0, 0, 0, 0, 0, 1, 0}},
      {{{A::Wobble, 0.3f}}, {0, 0, 0, 0, 0, 0, 0, 0, 1}},
      // Settings of a feature never switch it.
      {{{A::VignetteAperture, 3.0f}, {A::NoiseScale, 4.0f}, {A::JumpVerticalFreq, 1.0f}, {A::WobbleBand, 1.0f}},
       {0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  const char* const names[9] = {"ENABLE_SCREEN_DISTORTION", "ENABLE_VIGNETTE", "ENABLE_MONOCHROME",
                                "ENABLE_NOISE", "ENABLE_HBL_LINES", "ENABLE_JUMPS",
                                "ENABLE_WHITE_LINES", "ENABLE_NOISE_LINES", "ENABLE_WOBBLE"};
  for (const Case& c : cases) {
    shPostVHS program;
    for (auto& u : program.m_floats) u.m_value = 0.0f;
    for (const auto& a : c.amounts) program.m_floats[a.first].m_value = a.second;
    const auto switches = program.FeatureSwitches();
    for (int i = 0; i < 9; ++i) {
      EXPECT_STREQ(switches[i].name, names[i]);
      EXPECT_EQ(switches[i].value, c.want[i]) << names[i] << " case " << (&c - cases);
    }
  }
}

TEST_F(DistortionVHS, CrossingAThresholdRebuildsExactlyOnce) {
  FillFlat(90, 90, 90, 255);
  CountingTape program;
  auto frame = [&] {
    program.Bind();
    program.DrawPass(false);
  };
  frame();
  EXPECT_EQ(program.builds, 1);
  frame();
  EXPECT_EQ(program.builds, 1) << "an unchanged frame keeps the program";
  struct Step {
    shPostVHS::Amount amount;
    float value;
    int builds;
  };
  const Step steps[] = {
      {shPostVHS::Monochrome, 0.5f, 2},      // crosses up
      {shPostVHS::Monochrome, 0.7f, 2},      // stays on
      {shPostVHS::Wobble, 0.0f, 3},          // crosses down
      {shPostVHS::JumpVertical, 0.2f, 3},    // jumps already on through JumpsH
      {shPostVHS::JumpHorizontal, 0.0f, 3},  // still on through JumpsV
      {shPostVHS::JumpVertical, 0.0f, 4},    // now neither
      {shPostVHS::NoiseScale, 9.0f, 4},      // a setting, not an amount
  };
  for (const Step& s : steps) {
    program.m_floats[s.amount].m_value = s.value;
    frame();
    frame();
    EXPECT_EQ(program.builds, s.builds) << "amount " << s.amount << " = " << s.value;
  }
  EXPECT_NE(program.m_program, 0u);
}

TEST_F(DistortionVHS, EveryTapeFeatureBuildsAndAMissingNoiseIsReportedOnce) {
  // No pack: the noise image is missing. Every feature is on.
  LogCapture log;
  FillFlat(120, 80, 60, 255);
  auto* fx = static_cast<fxPostVHS*>(Make("fxPostVHS", R"({">>JumpsV":0.5,">>Monochrome":0.5,">>WhiteLines":1})"));
  Run(fx);
  fx->ExternalUpdate();
  // Each frame works on a fresh picture, as in the player.
  FillFlat(120, 80, 60, 255);
  fx->ExternalUpdate();
  EXPECT_NE(fx->m_program.m_program, 0u) << log.Text();
  EXPECT_EQ(log.Text().find("ERROR"), std::string::npos) << log.Text();
  EXPECT_EQ(CountLines(log.Text(), "[Texture] cannot load image img/Shadertoy/RGBANoiseMedium256.png"), 1u)
      << log.Text();
  // Not a black frame: the picture is still there under the tape look.
  const std::vector<uint8_t> out = ReadTarget();
  double sum = 0.0;
  for (size_t i = 0; i < out.size(); i += 4) sum += out[i];
  EXPECT_GT(sum / (kSize * kSize), 40.0);
}

TEST_F(DistortionVHS, TapeWithTheProductionNoiseChangesThePicture) {
  TempDir dir;
  std::filesystem::copy_file(VELMORA_PACK_PATH, dir.Path() + "/Velmora-Pinvale.sts");
  EnterDir(dir);
  LogCapture log;
  const std::vector<uint8_t> picture = Pattern();
  Fill(picture);
  fxBase* fx = Make("fxPostVHS");  // the defaults: distortion, vignette, noise, bands, jumps, lines, wobble
  Run(fx);
  EXPECT_FALSE(log.Contains("cannot load")) << log.Text();
  EXPECT_GT(DifferingBytes(ReadTarget(), picture), kSize * kSize / 2);
}

namespace {

// The tape's fragment stage with the time-only terms worked out per pixel:
// the vertex stage's assignments (all but its position outputs) moved to
// the top of the fragment main, its flat inputs turned into globals.
std::string PerPixelTapeFragment(const std::string& vertex, const std::string& fragment) {
  const size_t onOffAt = vertex.find("float OnOff");
  const std::string onOff = vertex.substr(onOffAt, vertex.find('\n', onOffAt) + 1 - onOffAt);
  const size_t bodyAt = vertex.find('\n', vertex.find("fragCoord = ")) + 1;
  const std::string terms = vertex.substr(bodyAt, vertex.find("  gl_Position") - bodyAt);
  std::string text = fragment;
  for (size_t at; (at = text.find("flat in ")) != std::string::npos;) text.erase(at, 8);
  const size_t mainAt = text.find("void main()\n{\n");
  text.insert(mainAt + 14, terms);
  text.insert(mainAt, onOff);
  return text;
}

}  // namespace

TEST_F(DistortionVHS, TimeTermsFromTheVertexStageGiveThePerPixelPicture) {
  TempDir dir;
  std::filesystem::copy_file(VELMORA_PACK_PATH, dir.Path() + "/Velmora-Pinvale.sts");
  EnterDir(dir);
  shPostVHS tape, reference;
  for (shPostVHS* p : {&tape, &reference}) {
    p->m_floats[shPostVHS::JumpVertical].m_value = 0.5f;
    p->m_floats[shPostVHS::JumpVerticalFreq].m_value = 0.8f;
    p->m_floats[shPostVHS::JumpHorizontalFreq].m_value = 0.8f;
    p->m_floats[shPostVHS::Monochrome].m_value = 0.5f;
    p->m_floats[shPostVHS::WhiteLines].m_value = 0.6f;
  }
  const std::vector<uint8_t> picture = Pattern();
  Fill(picture);
  tape.Bind();
  tape.DrawPass(false);
  ASSERT_NE(tape.m_program, 0u);
  const std::string vertex = tape.m_stages[StageVertex].source;
  const std::string perPixel = PerPixelTapeFragment(vertex, tape.m_stages[StageFragment].source);
  reference.m_stages[StageVertex].source = vertex.c_str();
  reference.m_stages[StageFragment].source = perPixel.c_str();
  int changedFrames = 0;
  for (float t : {0.3f, 2.7f, 9.1f, 41.6f, 80.62f, 107.9f}) {
    std::vector<uint8_t> out[2];
    shPostVHS* programs[2] = {&tape, &reference};
    for (int i = 0; i < 2; ++i) {
      Fill(picture);
      programs[i]->m_timeOffset = t;
      programs[i]->Bind();
      ASSERT_NE(programs[i]->m_program, 0u) << "time " << t;
      programs[i]->DrawPass(false);
      out[i] = ReadTarget();
    }
    for (size_t i = 0; i < out[0].size(); ++i) {
      ASSERT_LE(std::abs(int(out[0][i]) - int(out[1][i])), 1) << "time " << t << " byte " << i;
    }
    changedFrames += DifferingBytes(out[0], picture) > kSize * kSize / 2;
  }
  EXPECT_EQ(changedFrames, 6) << "every time draws the tape look";
}
