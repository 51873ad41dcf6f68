// The basic colour pass: multiply, add, gamma and vignette on known pixels,
// the alpha modes as a table, and a negative colour kept out of the gamma
// curve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "effects/post/PostPassFixture.h"
#include "effects/post/fxPostColorBasic.h"
#include "support/LogCapture.h"

namespace {

class ColorBasic : public PostPassTest {};

}  // namespace

TEST_F(ColorBasic, AlphaProcessAndClearModes) {
  // Colour 200 halved (Color_Mul 0.5, gamma 1, vignette off): 100 where the
  // pass works in full, 200 where it leaves the pixel, mixed by alpha.
  struct Case {
    int process, clear;
    uint8_t alpha;
    int wantRgb, wantAlpha;
  };
  const Case cases[] = {
      {0, 0, 0, 100, 0},     {0, 0, 128, 100, 128}, {0, 0, 255, 100, 255},
      {1, 0, 255, 200, 255},  // "Process Alpha 0": opaque pixels untouched
      {1, 0, 0, 100, 0},     {1, 0, 128, 150, 128},  // mix(col, c, a)
      {2, 0, 0, 200, 0},      // "Process Alpha 1": transparent pixels untouched
      {2, 0, 255, 100, 255}, {2, 0, 128, 150, 128},  // mix(c, col, a)
      {0, 1, 128, 100, 0},   {0, 2, 128, 100, 255}, {0, 3, 64, 100, 191},
      {1, 1, 255, 200, 0},    // untouched colour still takes the alpha mode
      {2, 3, 0, 200, 255},
  };
  for (const Case& c : cases) {
    FillFlat(200, 200, 200, c.alpha);
    char properties[256];
    std::snprintf(properties, sizeof properties,
                  R"({"Color_Mul.x":0.5,"Color_Mul.y":0.5,"Color_Mul.z":0.5,"Gamma":1.0,"Vignette":0.0,)"
                  R"("Alpha_Process":%d,"Alpha_Clear":%d})",
                  c.process, c.clear);
    fxBase* fx = Make("fxPostColorBasic", properties);
    ASSERT_NE(fx, nullptr);
    Run(fx);
    const uint8_t rgb = static_cast<uint8_t>(c.wantRgb);
    EXPECT_TRUE(PixelNear(TargetPixel(20, 40), {rgb, rgb, rgb, static_cast<uint8_t>(c.wantAlpha)}, 1))
        << "process " << c.process << " clear " << c.clear << " alpha " << int(c.alpha);
  }
}

TEST_F(ColorBasic, MultiplyAddGammaAndVignette) {
  FillFlat(100, 150, 200, 255);
  Run(Make("fxPostColorBasic", R"({"Color_Mul.x":2.0,"Color_Mul.y":1.0,"Color_Mul.z":0.5,)"
                               R"("Color_Add.x":0.0,"Color_Add.y":0.1,"Color_Add.z":-0.1,"Gamma":0.8,"Vignette":0.3})"));
  const double in[3] = {100 / 255.0, 150 / 255.0, 200 / 255.0};
  const double mul[3] = {2.0, 1.0, 0.5}, add[3] = {0.0, 0.1, -0.1};
  for (const auto& at : {std::pair<int, int>{32, 32}, {0, 0}, {63, 10}}) {
    const double qx = (at.first + 0.5) / kSize, qy = (at.second + 0.5) / kSize;
    const double k = 0.5 + 0.5 * std::pow(16.0 * qx * qy * (1.0 - qx) * (1.0 - qy), 0.3);
    Rgba8 want{0, 0, 0, 255};
    for (int i = 0; i < 3; ++i) {
      const double v = std::pow(std::max(in[i] * mul[i] + add[i], 0.0), 0.8) * k;
      want[i] = static_cast<uint8_t>(std::lround(std::min(v, 1.0) * 255.0));
    }
    EXPECT_TRUE(PixelNear(TargetPixel(at.first, at.second), want, 1)) << at.first << "," << at.second;
  }
}

TEST_F(ColorBasic, NegativeColourIsClampedBeforeTheGamma) {
  UseFloatTarget();
  FillFlat(100, 150, 200, 255);
  Run(Make("fxPostColorBasic", R"({"Color_Add.x":-1.0,"Color_Add.y":-1.0,"Color_Add.z":-1.0,"Vignette":0.0})"));
  const std::vector<float> out = ReadTargetFloat();
  for (size_t i = 0; i < out.size(); i += 4) {
    for (int c = 0; c < 3; ++c) ASSERT_EQ(out[i + c], 0.0f) << "pixel " << i / 4 << " channel " << c;
  }
}

TEST_F(ColorBasic, AlphaModeChangeRebuildsTheProgram) {
  FillFlat(200, 200, 200, 128);
  auto* fx = static_cast<fxPostColorBasic*>(Make("fxPostColorBasic", R"({"Gamma":1.0,"Vignette":0.0})"));
  Run(fx);
  EXPECT_TRUE(PixelNear(TargetPixel(3, 3), {200, 200, 200, 128}, 1));
  fx->m_program.m_alphaClear = 2;
  fx->ExternalUpdate();
  EXPECT_TRUE(PixelNear(TargetPixel(3, 3), {200, 200, 200, 255}, 1));
}

TEST_F(ColorBasic, BrokenProgramKeepsThePictureAndReportsOnce) {
  const std::vector<uint8_t> picture = Pattern();
  Fill(picture);
  LogCapture log;
  auto* fx = static_cast<fxPostColorBasic*>(Make("fxPostColorBasic"));
  fx->m_program.m_stages[StageFragment].source = "SHADER_HEADER\nvoid main() { undeclared = 1; }\n";
  Run(fx);
  fx->ExternalUpdate();
  fx->ExternalUpdate();
  EXPECT_EQ(CountLines(log.Text(), "error: `undeclared' undeclared"), 1u) << log.Text();
  EXPECT_EQ(ReadTarget(), picture);
}
