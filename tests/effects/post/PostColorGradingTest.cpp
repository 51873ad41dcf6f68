// Colour grading: the lookup table made on the GPU against the same formula
// on the CPU, the pass's gamma, tone maps, vignette, FXAA and "Show LUT" on
// known pictures, when the table is remade, and broken programs or targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

#include "effects/post/fxPostColorGradingAA.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"
#include "effects/post/PostPassFixture.h"

namespace {

struct Grading {
  float lift, gamma, gain, brightness, contrast, saturation;
  bool invSaturation;
  int profile;
};

// The table's formula, written on the CPU for one cell.
std::array<float, 4> CpuLutCell(const Grading& g, int u, int v, int w) {
  const double pi = std::acos(-1.0);
  auto curve = [](double x) { return x * x * (x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0); };
  auto safeAcos = [](double x) { return std::max(std::acos(std::min(std::max(x, -1.0), 1.0)), 1.0 / 1024.0); };
  auto sat = [](double x) { return std::min(std::max(x, 0.0), 1.0); };
  const double lift = 2.0 - pi / safeAcos(-curve(g.lift));
  const double gamma = std::exp(2.0 * curve(g.gamma));
  const double gain = pi / safeAcos(curve(g.gain)) - 1.0;
  const double contrast = curve(g.contrast);
  double saturation = (g.saturation + 1.0) * (g.saturation + 1.0);
  if (g.invSaturation) saturation = -saturation;
  const double factor = 259.0 * (255.0 * contrast + 255.0) / (255.0 * (259.0 - 255.0 * contrast));
  const double weights[2][3] = {{0.2126, 0.7152, 0.0722}, {0.299, 0.587, 0.114}};
  const double* lw = weights[g.profile];
  double col[4] = {u / 31.0, v / 31.0, w / 31.0, 1.0};
  for (double& c : col) {
    c = std::pow(std::max(c * (gain - lift) + lift, 0.0), 1.0 / gamma);
    c = sat(factor * (c - 0.5) + 0.5) + curve(g.brightness);
  }
  const double luma = col[0] * lw[0] + col[1] * lw[1] + col[2] * lw[2];
  std::array<float, 4> out;
  for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(sat(saturation * col[i] + (1.0 - saturation) * luma));
  return out;
}

std::vector<float> ReadLut(GLuint lut) {
  const int n = shColorGradingLUTGen::kLutSize;
  std::vector<float> cells(static_cast<size_t>(n) * n * n * 4);
  glBindTexture(GL_TEXTURE_3D, lut);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGBA, GL_FLOAT, cells.data());
  glBindTexture(GL_TEXTURE_3D, 0);
  return cells;
}

class ColorGrading : public PostPassTest {
 protected:
  fxPostColorGradingAA* MakeGrading(const std::string& properties = "{}") {
    return static_cast<fxPostColorGradingAA*>(Make("fxPostColorGradingAA", properties));
  }
};

}  // namespace

TEST_F(ColorGrading, DefaultsApplyOnlyTheGammaAndKeepAlpha) {
  FillFlat(128, 128, 128, 200);
  LogCapture log;
  Run(MakeGrading());
  const int want = static_cast<int>(std::lround(std::pow(128.0 / 255.0, 0.416666) * 255.0));
  const std::vector<uint8_t> out = ReadTarget();
  for (size_t i = 0; i < out.size(); i += 4) {
    ASSERT_TRUE(PixelNear({out[i], out[i + 1], out[i + 2], out[i + 3]},
                          {uint8_t(want), uint8_t(want), uint8_t(want), 200}, 1))
        << "pixel " << i / 4;
  }
  EXPECT_EQ(CountLines(log.Text(), "[shColorGradingLUTGen] recalculating LUT\n"), 1u);
}

TEST_F(ColorGrading, TableMatchesTheFormulaOnTheCpu) {
  const Grading cases[] = {
      {0, 0, 0, 0, 0, 0, false, 0},  // identity
      {0.3f, -0.4f, 0.2f, 0.05f, 0.5f, -0.3f, false, 0},
      {-0.5f, 0.6f, -0.2f, -0.1f, -0.6f, 0.4f, true, 1},
      {0.9f, 1.0f, -1.0f, 1.0f, 1.0f, -1.0f, false, 1},
      // Both ends where acos reaches 0: the terms must stay finite.
      {-1.0f, 0, 1.0f, 0, 0, 0, false, 0},
  };
  for (const Grading& g : cases) {
    fxPostColorGradingAA* fx = MakeGrading();
    fx->m_lutGen.m_lift.m_value = g.lift;
    fx->m_lutGen.m_gamma.m_value = g.gamma;
    fx->m_lutGen.m_gain.m_value = g.gain;
    fx->m_lutGen.m_brightness.m_value = g.brightness;
    fx->m_lutGen.m_contrast.m_value = g.contrast;
    fx->m_lutGen.m_saturation.m_value = g.saturation;
    fx->m_lutGen.m_invSaturation = g.invSaturation;
    fx->m_lumaProfile = g.profile;
    Run(fx);
    const std::vector<float> gpu = ReadLut(fx->m_lut);
    int bad = 0;
    double errorSum = 0.0;
    for (int w = 0; w < 32; ++w) {
      for (int v = 0; v < 32; ++v) {
        for (int u = 0; u < 32; ++u) {
          const std::array<float, 4> want = CpuLutCell(g, u, v, w);
          const float* got = &gpu[((w * 32 + v) * 32 + u) * 4];
          for (int c = 0; c < 4; ++c) {
            // The GPU's pow and exp are approximations, and a dark cell's
            // base is a difference of nearly equal terms; a negative
            // saturation then amplifies the error a few times. The mean
            // error below stays tight.
            errorSum += std::fabs(got[c] - want[c]);
            if (!std::isfinite(got[c]) || std::fabs(got[c] - want[c]) > 5e-3f) {
              if (bad++ < 3) {
                ADD_FAILURE() << "lift " << g.lift << " gain " << g.gain << " cell " << u << "," << v << "," << w
                              << " channel " << c << ": " << got[c] << " want " << want[c];
              }
            }
          }
        }
      }
    }
    EXPECT_EQ(bad, 0);
    EXPECT_LT(errorSum / (32.0 * 32.0 * 32.0 * 4.0), 1e-4) << "lift " << g.lift << " gain " << g.gain;
  }
}

TEST_F(ColorGrading, ShowLutDrawsTheSlicesOfAnIdentityTable) {
  FillFlat(10, 20, 30, 255);
  fxPostColorGradingAA* fx = MakeGrading(R"({"ColorGrading/Show LUT":true})");
  Run(fx);
  // The slices are sampled with linear filtering at k / 31, between cell
  // centres: an identity table gives back the sample position.
  auto shown = [](int k) {
    const double texel = std::min(std::max(k / 31.0 * 32.0 - 0.5, 0.0), 31.0);
    return static_cast<uint8_t>(std::lround(texel / 31.0 * 255.0));
  };
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < kSize; ++x) {
      ASSERT_TRUE(PixelNear(TargetPixel(x, y), {shown(x % 32), shown(y % 32), shown(x / 32), 255}, 1))
          << "at " << x << "," << y;
    }
  }
  // Above the 32 rows the picture goes through the pass as usual (gamma).
  auto gamma = [](int v) { return uint8_t(std::lround(std::pow(v / 255.0, 0.416666) * 255.0)); };
  EXPECT_TRUE(PixelNear(TargetPixel(5, 40), {gamma(10), gamma(20), gamma(30), 255}, 1));
}

TEST_F(ColorGrading, ToneMapsVignetteAndFxaa) {
  struct Case {
    const char* properties;
    double (*curve)(double v);
  };
  const Case cases[] = {
      {R"({"Apply Gamma":false,"Tonemap Profile":0})", [](double v) { return v; }},
      {R"({"Apply Gamma":false,"Tonemap Profile":1})", [](double v) { return 1.35 * v / (1.0 + v); }},
      {R"({"Apply Gamma":false,"Tonemap Profile":2})",
       [](double v) { return v * (2.51 * v + 0.03) / (v * (2.43 * v + 0.59) + 0.14); }},
      {R"({"Apply Gamma":false,"Apply Anti-aliasing":true})", [](double v) { return v; }},
      {R"({"Apply Gamma":false,"Apply Color Grading":true})", [](double v) { return v; }},
  };
  for (const Case& c : cases) {
    FillFlat(150, 150, 150, 255);
    Run(MakeGrading(c.properties));
    const uint8_t want = static_cast<uint8_t>(std::lround(c.curve(150.0 / 255.0) * 255.0));
    for (const auto& at : {std::pair<int, int>{0, 0}, {31, 17}, {63, 63}}) {
      EXPECT_TRUE(PixelNear(TargetPixel(at.first, at.second), {want, want, want, 255}, 1))
          << c.properties << " at " << at.first << "," << at.second;
    }
  }

  FillFlat(255, 255, 255, 255);
  Run(MakeGrading(R"({"Apply Gamma":false,"Apply Vignetting":true,"Vignetting Pow":0.5})"));
  for (const auto& at : {std::pair<int, int>{32, 32}, {0, 0}, {5, 50}}) {
    const double qx = (at.first + 0.5) / kSize, qy = (at.second + 0.5) / kSize;
    const double k = 0.5 + 0.5 * std::pow(16.0 * qx * qy * (1.0 - qx) * (1.0 - qy), 0.5);
    const uint8_t want = static_cast<uint8_t>(std::lround(k * 255.0));
    EXPECT_TRUE(PixelNear(TargetPixel(at.first, at.second), {want, want, want, 255}, 1));
  }
}

TEST_F(ColorGrading, DitherQuantisesToItsStepAroundTheValue) {
  // Dither Pow 3: steps of 8 levels, the pixel's value plus a triangular
  // offset of -0.5 to 1.5 steps' worth of a level, floored. With the
  // production's blue noise a flat 150 becomes 144, 152 or 160, mixed so
  // that the mean stays near 150.
  TempDir dir;
  std::filesystem::copy_file(VELMORA_PACK_PATH, dir.Path() + "/Velmora-Pinvale.sts");
  EnterDir(dir);
  LogCapture log;
  FillFlat(150, 150, 150, 255);
  Run(MakeGrading(R"({"Apply Gamma":false,"Apply Dither":true,"Dither Pow":3})"));
  EXPECT_FALSE(log.Contains("cannot load")) << log.Text();
  const std::vector<uint8_t> out = ReadTarget();
  std::array<int, 256> seen{};
  double sum = 0.0;
  for (size_t i = 0; i < out.size(); i += 4) {
    for (int c = 0; c < 3; ++c) {
      ASSERT_TRUE(out[i + c] == 144 || out[i + c] == 152 || out[i + c] == 160) << int(out[i + c]) << " at " << i / 4;
      ++seen[out[i + c]];
      sum += out[i + c];
    }
    ASSERT_EQ(out[i + 3], 255);
  }
  EXPECT_GT(seen[144] + seen[160], 0) << "the noise moves some pixels off the nearest step";
  EXPECT_GT(seen[152], 0);
  EXPECT_NEAR(sum / (out.size() / 4 * 3), 150.0, 4.0);
}

TEST_F(ColorGrading, FxaaSoftensAnEdgeItFinds) {
  std::vector<uint8_t> rgba(kSize * kSize * 4, 255);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      // A staircase edge: black below the diagonal.
      if (y < x) std::fill_n(&rgba[(y * kSize + x) * 4], 3, uint8_t(0));
    }
  }
  Fill(rgba);
  Run(MakeGrading(R"({"Apply Gamma":false,"Apply Anti-aliasing":true})"));
  int softened = 0;
  for (int i = 1; i < kSize - 1; ++i) {
    const Rgba8 p = TargetPixel(i, i - 1);
    if (p[0] > 0 && p[0] < 255) ++softened;
  }
  EXPECT_GT(softened, kSize / 2) << "pixels along the edge take in-between values";
  EXPECT_TRUE(PixelNear(TargetPixel(50, 5), {0, 0, 0, 255}, 0)) << "flat areas stay";
  EXPECT_TRUE(PixelNear(TargetPixel(5, 50), {255, 255, 255, 255}, 0));
}

TEST_F(ColorGrading, TableIsRemadeOnlyWhenAGradingValueOrTheProfileChanges) {
  FillFlat(100, 100, 100, 255);
  fxPostColorGradingAA* fx = MakeGrading();
  const std::string line = "[shColorGradingLUTGen] recalculating LUT\n";
  LogCapture log;
  Run(fx);
  fx->ExternalUpdate();
  fx->ExternalUpdate();
  EXPECT_EQ(CountLines(log.Text(), line), 1u) << "unchanged frames remake nothing";

  struct Step {
    void (*change)(fxPostColorGradingAA* fx);
    size_t lines;
  };
  const Step steps[] = {
      {[](fxPostColorGradingAA* f) { f->m_lutGen.m_lift.m_value = 0.2f; }, 2},
      {[](fxPostColorGradingAA* f) { f->m_lutGen.m_lift.m_value = 0.2f; }, 2},
      {[](fxPostColorGradingAA* f) { f->m_lutGen.m_saturation.m_value = -0.5f; }, 3},
      {[](fxPostColorGradingAA* f) { f->m_lutGen.m_invSaturation = 1; }, 4},
      {[](fxPostColorGradingAA* f) { f->m_lumaProfile = 1; }, 5},
      {[](fxPostColorGradingAA* f) { f->m_pass.m_applyGrading = true; }, 5},  // a pass setting
  };
  for (const Step& s : steps) {
    s.change(fx);
    fx->ExternalUpdate();
    fx->ExternalUpdate();
    EXPECT_EQ(CountLines(log.Text(), line), s.lines);
  }

  // Kill then Init: a new table, filled by the next Update with no change.
  const std::vector<float> before = ReadLut(fx->m_lut);
  fx->SetState(StateNone);
  EXPECT_EQ(fx->m_lut, 0u);
  EXPECT_TRUE(log.Contains("[fxPostColorGradingAA] unload LUT\n"));
  Run(fx);
  EXPECT_NE(fx->m_lut, 0u);
  EXPECT_EQ(CountLines(log.Text(), line), 6u);
  EXPECT_EQ(ReadLut(fx->m_lut), before);
}

TEST_F(ColorGrading, BrokenProgramsLeaveThePictureAndReportOnce) {
  const std::vector<uint8_t> picture = Pattern();
  struct Case {
    bool brokenPass, brokenTable;
  };
  for (const Case& c : {Case{true, false}, Case{false, true}}) {
    Fill(picture);
    LogCapture log;
    fxPostColorGradingAA* fx = MakeGrading(R"({"Apply Gamma":false,"Apply Color Grading":true})");
    const char* broken = "SHADER_HEADER\nvoid main() { undeclared = 1; }\n";
    const char* brokenCompute = "SHADER_RAW\nlayout (local_size_x = 4) in;\nvoid main() { undeclared = 1; }\n";
    if (c.brokenPass) fx->m_pass.m_stages[StageFragment].source = broken;
    if (c.brokenTable) fx->m_lutGen.m_stages[StageCompute].source = brokenCompute;
    Run(fx);
    fx->ExternalUpdate();
    fx->ExternalUpdate();
    EXPECT_EQ(CountLines(log.Text(), "error: `undeclared' undeclared"), 1u) << log.Text();
    // Without a pass the target keeps its picture; without a table grading
    // is left out: either way no black frame.
    const std::vector<uint8_t> out = ReadTarget();
    int differing = 0;
    for (size_t i = 0; i < out.size(); ++i) differing += std::abs(int(out[i]) - int(picture[i])) > 1;
    EXPECT_EQ(differing, 0);
    fx->SetState(StateNone);
  }
}

TEST_F(ColorGrading, TargetWithoutColourIsSkippedAndReportedOnce) {
  RenderTarget bare;
  bare.m_name = "Bare";
  RenderTarget* saved = g_pCurrentRenderTarget;
  g_pCurrentRenderTarget = &bare;
  LogCapture log;
  fxPostColorGradingAA* fx = MakeGrading();
  Run(fx);
  fx->ExternalUpdate();
  g_pCurrentRenderTarget = saved;
  EXPECT_EQ(CountLines(log.Text(), "[fxPostColorGradingAA] target Bare has no colour to copy: pass skipped\n"), 1u)
      << log.Text();
}

TEST_F(ColorGrading, ReduceExponentsPastTheirRangesReachTheShaderClamped) {
  struct Case {
    const char* properties;
    float mul, min;  // what the pass uploads
  };
  const Case cases[] = {
      {R"({"Antialiasing/Mult Reduce":-2147483648,"Antialiasing/Min Reduce":2147483647})", 1.0f, 1.0f / 512.0f},
      {R"({"Antialiasing/Mult Reduce":2147483647,"Antialiasing/Min Reduce":-2147483648})", 1.0f / 256.0f, 1.0f},
      {R"({"Antialiasing/Mult Reduce":3,"Antialiasing/Min Reduce":7})", 1.0f / 8.0f, 1.0f / 128.0f},
  };
  for (const Case& c : cases) {
    FillFlat(150, 150, 150, 255);
    fxPostColorGradingAA* fx = MakeGrading(std::string(R"({"Apply Anti-aliasing":true,)") + (c.properties + 1));
    Run(fx);
    EXPECT_EQ(fx->m_pass.m_fxaaMulReduce.m_value, c.mul) << c.properties;
    EXPECT_EQ(fx->m_pass.m_fxaaMinReduce.m_value, c.min) << c.properties;
    // A flat picture: FXAA keeps it, the gamma applies.
    const uint8_t want = static_cast<uint8_t>(std::lround(std::pow(150.0 / 255.0, 0.416666) * 255.0));
    EXPECT_TRUE(PixelNear(TargetPixel(20, 20), {want, want, want, 255}, 1)) << c.properties;
  }
}

namespace {

// A grading pass that counts its builds.
struct CountingGradingPass : shPostColorGradingAA {
  void Build() override {
    ++builds;
    shPostColorGradingAA::Build();
  }
  int builds = 0;
};

}  // namespace

// The step switches are program constants: a frame with unchanged switches
// builds nothing, each change builds once and shows at once.
TEST_F(ColorGrading, SwitchesRebuildOnlyWhenTheyChange) {
  CountingGradingPass pass;
  auto frame = [&pass](int lumaProfile) {
    FillFlat(128, 128, 128, 255);
    pass.BindPass(0, false, lumaProfile);
    pass.DrawPass(false);
    return TargetPixel(10, 10);
  };
  const int gamma = static_cast<int>(std::lround(std::pow(128.0 / 255.0, 0.416666) * 255.0));
  EXPECT_TRUE(PixelNear(frame(0), {uint8_t(gamma), uint8_t(gamma), uint8_t(gamma), 255}, 1));
  EXPECT_TRUE(PixelNear(frame(0), {uint8_t(gamma), uint8_t(gamma), uint8_t(gamma), 255}, 1));
  EXPECT_EQ(pass.builds, 1);
  const int rec601 = static_cast<int>(std::lround(std::pow(128.0 / 255.0, 0.454545) * 255.0));
  EXPECT_TRUE(PixelNear(frame(1), {uint8_t(rec601), uint8_t(rec601), uint8_t(rec601), 255}, 1));
  EXPECT_EQ(pass.builds, 2);
  pass.m_applyGamma = false;
  EXPECT_TRUE(PixelNear(frame(1), {128, 128, 128, 255}, 1));
  EXPECT_TRUE(PixelNear(frame(1), {128, 128, 128, 255}, 1));
  EXPECT_EQ(pass.builds, 3);
  pass.m_tonemapProfile = 1;  // 1.35 c / (1 + c)
  const int reinhard = static_cast<int>(std::lround(1.35 * (128.0 / 255.0) / (1.0 + 128.0 / 255.0) * 255.0));
  EXPECT_TRUE(PixelNear(frame(1), {uint8_t(reinhard), uint8_t(reinhard), uint8_t(reinhard), 255}, 1));
  EXPECT_EQ(pass.builds, 4);
}
