// Procedural drivers against values worked out by hand: triangle, sine,
// noise (gradient noise over Perlin's permutation) and the variable table.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "DriverTestFx.h"
#include "platform/CRand.h"
#include "sequence/DriverProcedural.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

template <class T>
std::unique_ptr<T> Make(DriverType type) {
  static DriverTestFx fx;
  return std::unique_ptr<T>(static_cast<T*>(CreateDriver(&fx, static_cast<uint8_t>(type), fx.Attr("Value"))));
}

struct TimeCase {
  float t;
  float expected;
};

TEST(TriangleDriver, DefaultsRiseAndFall) {
  auto d = Make<TriangleDriver>(DriverTriangle);
  const TimeCase cases[] = {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 1.0f}, {1.5f, 0.5f},
                            {2.0f, 0.0f}, {-0.5f, 0.5f}, {3.0f, 1.0f}};
  for (const TimeCase& c : cases) EXPECT_EQ(d->Evaluate(c.t), c.expected) << c.t;
}

TEST(TriangleDriver, SymmetryPhaseAndRange) {
  struct Case {
    float symmetry, phase, min, max, t, expected;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f},    // falling sawtooth starts high
      {0.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.75f},
      {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f},    // rising sawtooth starts low
      {1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.5f},
      {0.25f, 0.0f, 0.0f, 1.0f, 0.5f, 1.0f},   // peak a quarter into the cycle
      {0.25f, 0.0f, 0.0f, 1.0f, 1.25f, 0.5f},  // halfway down: u = 0.625
      {0.5f, 0.25f, 0.0f, 1.0f, 0.0f, 0.5f},   // phase in cycles
      {0.5f, 0.0f, -1.0f, 3.0f, 1.0f, 3.0f},
      {0.5f, 0.0f, -1.0f, 3.0f, 0.0f, -1.0f},
      {0.5f, 0.0f, -1.0f, 3.0f, 0.5f, 1.0f},
  };
  for (const Case& c : cases) {
    auto d = Make<TriangleDriver>(DriverTriangle);
    d->_fSymmetry = c.symmetry;
    d->_fPhase = c.phase;
    d->_fMin = c.min;
    d->_fMax = c.max;
    EXPECT_EQ(d->Evaluate(c.t), c.expected) << c.symmetry << " " << c.t;
  }
}

TEST(SinusDriver, DefaultsFollowOneSine) {
  auto d = Make<SinusDriver>(DriverSinus);
  const TimeCase cases[] = {{0.5f, 1.0f}, {1.5f, 0.0f}, {0.0f, 0.5f}, {2.5f, 1.0f}};
  for (const TimeCase& c : cases) EXPECT_NEAR(d->Evaluate(c.t), c.expected, 1e-6f) << c.t;
}

TEST(SinusDriver, TermsAreWeightedByAmplitude) {
  auto d = Make<SinusDriver>(DriverSinus);
  d->_Count = 2;
  d->_Period[1] = 4.0f;
  d->_AmplitudeFactor[1] = 3.0f;
  // t = 0.5: sin(quarter cycle) = 1 and sin(eighth cycle) = 0.70710678,
  // weighted 1:3 and divided by the weight total 4.
  const float w = (1.0f + 3.0f * 0.70710678f) / 4.0f;
  EXPECT_NEAR(d->Evaluate(0.5f), w / 2.0f + 0.5f, 1e-6f);
  // The weighted mean never leaves the range.
  for (float t = 0.0f; t < 8.0f; t += 0.01f) {
    const float v = d->Evaluate(t);
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 1.0f);
  }
  // Per-term phase in cycles; the range is mapped after weighting.
  d->_Count = 1;
  d->_Phase[0] = 0.25f;
  d->_fMin = -2.0f;
  d->_fMax = 4.0f;
  EXPECT_NEAR(d->Evaluate(0.0f), 4.0f, 1e-6f);
  EXPECT_NEAR(d->Evaluate(1.0f), -2.0f, 1e-5f);
}

TEST(SinusDriver, CountsFromFilesAreClamped) {
  auto one = Make<SinusDriver>(DriverSinus);
  auto d = Make<SinusDriver>(DriverSinus);
  d->_Period[1] = d->_Period[2] = d->_Period[3] = 0.7f;
  const int counts[] = {0, -5};
  for (int count : counts) {
    d->_Count = count;  // a count of 0 would divide 0 by 0
    EXPECT_EQ(d->Evaluate(0.3f), one->Evaluate(0.3f)) << count;
  }
  d->_Count = 4;
  const float four = d->Evaluate(0.3f);
  d->_Count = 1000;
  EXPECT_EQ(d->Evaluate(0.3f), four);
}

TEST(SinusDriver, NoPeriodOrNoWeightGivesNoValue) {
  auto d = Make<SinusDriver>(DriverSinus);
  d->_Period[0] = 0.0f;
  EXPECT_EQ(d->Evaluate(1.0f), kInf);
  d->_Period[0] = 2.0f;
  d->_AmplitudeFactor[0] = 0.0f;
  EXPECT_EQ(d->Evaluate(1.0f), kInf);
}

TEST(SinusDriver, RandomValuesDrawFromTheCGenerator) {
  platform::CSRand(1);
  unsigned int state = 1;
  auto draw = [&state]() {
    state = state * 214013u + 2531011u;
    return static_cast<float>((state >> 16) & 0x7FFF);
  };
  auto d = Make<SinusDriver>(DriverSinus);
  d->RandomizeTerms();
  for (int k = 0; k < 4; ++k) {
    const float period = draw() * 8.0f / 32768.0f + 1.0f;
    const float phase = draw() / 32768.0f;
    const float amplitude = draw() * 0.9f / 32768.0f + 0.1f;
    EXPECT_EQ(d->_Period[k], period) << k;
    EXPECT_EQ(d->_Phase[k], phase) << k;
    EXPECT_EQ(d->_AmplitudeFactor[k], amplitude) << k;
  }
  // The first draw of a fresh generator is 41, so the first period is known.
  EXPECT_EQ(d->_Period[0], 41.0f * 8.0f / 32768.0f + 1.0f);
}

// Hand values: perm[0] = 151 gives the gradient +8 (low bits 7, bit 3
// clear), perm[1] = 160 gives +1, perm[255] = 180 gives +5.
float Falloff(float f) { return std::pow(1.0f - f * f, 4.0f); }

TEST(NoiseDriver, OneOctaveByHand) {
  auto d = Make<NoiseDriver>(DriverNoise);
  d->_nOctaves = 0;
  // t = 0.5, period 2: x = 0.25 in cell 0.
  const float w1 = (8.0f * 0.25f * Falloff(0.25f) + 1.0f * -0.75f * Falloff(-0.75f)) * 0.45f;
  EXPECT_NEAR(d->Evaluate(0.5f), w1 / 2.0f + 0.5f, 1e-6f);
  // t = -0.5: x = -0.25 in cell -1, whose low 8 bits are 255.
  const float w2 = (5.0f * 0.75f * Falloff(0.75f) + 8.0f * -0.25f * Falloff(-0.25f)) * 0.45f;
  EXPECT_NEAR(d->Evaluate(-0.5f), w2 / 2.0f + 0.5f, 1e-6f);
}

TEST(NoiseDriver, OctavesAddAtDoubleFrequencyAndPersistence) {
  auto d = Make<NoiseDriver>(DriverNoise);
  d->_nOctaves = 1;
  d->_fPersistence = 0.5f;
  d->_fMin = -1.0f;
  d->_fMax = 3.0f;
  const float first = (8.0f * 0.25f * Falloff(0.25f) + 1.0f * -0.75f * Falloff(-0.75f)) * 0.45f;
  // Second octave at x = 0.5, amplitude 0.5.
  const float second = (8.0f * 0.5f * Falloff(0.5f) + 1.0f * -0.5f * Falloff(-0.5f)) * 0.45f * 0.5f;
  EXPECT_NEAR(d->Evaluate(0.5f), (first + second) * 4.0f / 2.0f + 1.0f, 1e-5f);
}

TEST(NoiseDriver, WholeCyclesGiveTheMiddle) {
  auto d = Make<NoiseDriver>(DriverNoise);
  d->_fMin = -1.0f;
  d->_fMax = 3.0f;
  const float times[] = {0.0f, 2.0f, 4.0f, -2.0f, 200.0f, 1024.0f, 1e10f, -3e12f, 1e30f};
  for (float t : times) EXPECT_EQ(d->Evaluate(t), 1.0f) << t;
}

TEST(NoiseDriver, RepeatsEvery256Cells) {
  auto d = Make<NoiseDriver>(DriverNoise);
  d->_nOctaves = 0;
  d->_fPeriod = 1.0f;
  const float xs[] = {0.25f, 3.5f, 100.75f, -7.125f};
  for (float x : xs) EXPECT_EQ(d->Evaluate(x), d->Evaluate(x + 256.0f)) << x;
}

TEST(NoiseDriver, OctaveCountsFromFilesAreClamped) {
  auto reference = Make<NoiseDriver>(DriverNoise);
  auto d = Make<NoiseDriver>(DriverNoise);
  reference->_nOctaves = 0;
  d->_nOctaves = -3;
  EXPECT_EQ(d->Evaluate(0.7f), reference->Evaluate(0.7f));
  reference->_nOctaves = 8;
  d->_nOctaves = 1000000;
  EXPECT_EQ(d->Evaluate(0.7f), reference->Evaluate(0.7f));
}

TEST(NoiseDriver, NoPeriodGivesNoValue) {
  auto d = Make<NoiseDriver>(DriverNoise);
  d->_fPeriod = 0.0f;
  EXPECT_EQ(d->Evaluate(0.0f), kInf);
  EXPECT_EQ(d->Evaluate(1.0f), kInf);
  d->_fPeriod = 1e-38f;  // t / period leaves the floats
  EXPECT_EQ(d->Evaluate(1e10f), kInf);
}

TEST(VariableDriver, ReadsTheFirstEntryOfExactlyItsName) {
  GetDriverVariables() = {{"speed", 2.0f}, {"Speed", 5.0f}, {"speed", 9.0f}};
  struct Case {
    const char* name;
    float expected;
  };
  const Case cases[] = {{"speed", 2.0f}, {"Speed", 5.0f}, {"spee", kInf}, {"speed ", kInf}, {"", kInf}};
  for (const Case& c : cases) {
    auto d = Make<VariableDriver>(DriverVariable);
    d->_sVarName = c.name;
    EXPECT_EQ(d->Evaluate(1.0f), c.expected) << c.name;
  }
  GetDriverVariables().clear();
}

TEST(VariableDriver, EmptyTableLeavesTheAttribute) {
  GetDriverVariables().clear();
  DriverTestFx fx;
  fx.value = 3.0f;
  std::unique_ptr<NoneDriver> d(CreateDriver(&fx, DriverVariable, fx.Attr("Value")));
  static_cast<VariableDriver&>(*d)._sVarName = "anything";
  d->Apply();
  EXPECT_EQ(fx.value, 3.0f);
}

TEST(ProceduralJson, MembersRoundTrip) {
  auto sine = Make<SinusDriver>(DriverSinus);
  sine->_Count = 3;
  sine->_Period[2] = 0.3f;
  sine->_Phase[3] = 0.9f;
  sine->_AmplitudeFactor[1] = 0.15f;
  auto tri = Make<TriangleDriver>(DriverTriangle);
  tri->_fSymmetry = 0.2f;
  auto noise = Make<NoiseDriver>(DriverNoise);
  noise->_nOctaves = 7;
  noise->_fPersistence = 0.33f;
  auto var = Make<VariableDriver>(DriverVariable);
  var->_sVarName = "beat";

  Json::Value s, t, n, v;
  sine->Save(s);
  tri->Save(t);
  noise->Save(n);
  var->Save(v);
  EXPECT_EQ(s["_Period"].size(), 4u);

  auto sine2 = Make<SinusDriver>(DriverSinus);
  auto tri2 = Make<TriangleDriver>(DriverTriangle);
  auto noise2 = Make<NoiseDriver>(DriverNoise);
  auto var2 = Make<VariableDriver>(DriverVariable);
  sine2->Load(s);
  tri2->Load(t);
  noise2->Load(n);
  var2->Load(v);
  EXPECT_EQ(sine2->_Count, 3);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(sine2->_Period[k], sine->_Period[k]);
    EXPECT_EQ(sine2->_Phase[k], sine->_Phase[k]);
    EXPECT_EQ(sine2->_AmplitudeFactor[k], sine->_AmplitudeFactor[k]);
  }
  EXPECT_EQ(tri2->_fSymmetry, 0.2f);
  EXPECT_EQ(noise2->_nOctaves, 7);
  EXPECT_EQ(noise2->_fPersistence, 0.33f);
  EXPECT_EQ(var2->_sVarName, "beat");
}

}  // namespace
