// Particle emitter: the random ranges of the C-library generator, emission
// with its carry, deaths by swap-remove, the rebound plane, restart keys,
// colour over life, the four-vertex streaks in the vector display's line
// array, repeatable runs, shape sources, the editor's emitter keys and bad
// counts, positions and sources.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effects/images/fxParticleEmitter.h"
#include "platform/CRand.h"
#include "render/RenderTarget.h"
#include "render/ShapeNode.h"
#include "render/VectorDisplay.h"
#include "sequence/ClassRegistry.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"
#include "support/DefaultTargetFixture.h"
#include "support/JsonText.h"
#include "support/LogCapture.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;

Json::Value Item(const std::string& cls, const std::string& properties) {
  return ParseJson("{\"Class\":\"" + cls + "\",\"Properties\":" + properties + "}");
}

// A particle told apart by its gravity, with everything else still.
Particle Tagged(float tag, float age, float lifetime) {
  Particle p{};
  p.gravity = tag;
  p.age = age;
  p.lifetime = lifetime;
  return p;
}

class Emitter : public ::testing::Test {
 protected:
  void SetUp() override {
    GetClassRegistry();
    platform::CSRand(1);
  }
  // An emitter of the sequence, without fades, not started.
  fxParticleEmitter* Make(const std::string& properties) {
    fxBase* fx = CreateFxFromJson(GetClassRegistry(), Item("fxParticleEmitter", "{\"FadeIn\":0," + properties.substr(1)),
                                  &m_sequence);
    EXPECT_NE(fx, nullptr);
    m_sequence.AppendItem(fx);
    return static_cast<fxParticleEmitter*>(fx);
  }
  fxParticleEmitter* Started(const std::string& properties) {
    fxParticleEmitter* fx = Make(properties);
    fx->SetState(StateRunning);
    return fx;
  }
  // One frame of dt seconds of local time.
  static void Step(fxParticleEmitter* fx, float dt = kFrame) {
    fx->m_localTime += dt;
    fx->m_appliedDelta = dt;
    fx->Update();
  }
  static KeyFrameDriver* AddKeyDriver(fxParticleEmitter* fx, const char* attribute) {
    NoneDriver* driver = CreateDriver(fx, DriverKeyFrame, fx->m_classDesc->FindAttribute(attribute));
    fx->m_drivers.push_back(driver);
    return static_cast<KeyFrameDriver*>(driver);
  }

  rvSequence m_sequence{0};
};

}  // namespace

TEST(EmitterRandom, FourDrawsModulo255MakeTheFraction) {
  // The generator's first four values from state 1 are 41, 18467, 6334 and
  // 26500: bytes 41, 107, 214, 235 of the fraction.
  platform::CSRand(1);
  const float expected = static_cast<float>(41u + 107u * 256u + 214u * 65536u + 235u * 16777216u) * 2.3283064e-10f;
  const float unit = RandomRange(0.0f, 1.0f);
  EXPECT_EQ(unit, expected);
  struct Case {
    float a, b;
  };
  for (const Case& c : {Case{2.0f, 4.0f}, Case{4.0f, 2.0f}, Case{-1.0f, 1.0f}}) {
    platform::CSRand(1);
    EXPECT_FLOAT_EQ(RandomRange(c.a, c.b), unit * (c.b - c.a) + c.a) << c.a << ".." << c.b;
  }
}

TEST_F(Emitter, EmissionCarriesTheFractionOfEachFrame) {
  fxParticleEmitter* fx = Started(R"({"Emission":250,"LifeTime.x":5,"LifeTime.y":5})");
  size_t before = fx->m_particles.size();
  for (int frame = 0; frame < 60; ++frame) {
    Step(fx);
    const size_t born = fx->m_particles.size() - before;
    EXPECT_TRUE(born == 4 || born == 5) << "frame " << frame << ": " << born;
    before = fx->m_particles.size();
  }
  EXPECT_EQ(fx->m_particles.size(), 250u);
  EXPECT_EQ(fx->m_emittedCount, 250);
}

TEST_F(Emitter, AStillClockAgesMovesAndEmitsNothing) {
  fxParticleEmitter* fx = Started(R"({"InitialCount":20,"Emission":250})");
  Step(fx);
  const std::vector<Particle> before = fx->m_particles;
  Step(fx, 0.0f);
  ASSERT_EQ(fx->m_particles.size(), before.size());
  EXPECT_EQ(std::memcmp(fx->m_particles.data(), before.data(), before.size() * sizeof(Particle)), 0);
}

TEST_F(Emitter, ParticlesDieAtTheirLifetimeBySwapRemove) {
  fxParticleEmitter* fx = Started(R"({"Emission":0})");
  // The first and third reach their lifetime exactly in a step of 0.5.
  fx->m_particles = {Tagged(0, 0.0f, 0.5f), Tagged(1, 0.0f, 2.0f), Tagged(2, 0.25f, 0.75f), Tagged(3, 0.0f, 2.0f)};
  fx->Simulate(0.5f);
  ASSERT_EQ(fx->m_particles.size(), 2u);
  EXPECT_EQ(fx->m_particles[0].gravity, 3.0f) << "the last particle took the first slot";
  EXPECT_EQ(fx->m_particles[1].gravity, 1.0f);
  fx->m_particles = {Tagged(0, 0.0f, 0.5f)};
  fx->Simulate(0.5f);
  EXPECT_TRUE(fx->m_particles.empty());
}

TEST_F(Emitter, ThePlanePushesBackOrMirrorsWhatCrossesIt) {
  struct Case {
    const char* what;
    glm::vec4 plane;
    float rebound;
    float y, vy;                  // start, velocity; a step of 0.1 s
    float expectedY, expectedVy;
  };
  const Case cases[] = {
      {"no plane", {0, 0, 0, 0}, 0.0f, 0.1f, -10.0f, -0.9f, -10.0f},
      {"rebound 0 stops on the plane", {0, 2, 0, 0}, 0.0f, 0.1f, -10.0f, 0.0f, 0.0f},
      {"rebound 1 mirrors", {0, 1, 0, 0}, 1.0f, 0.1f, -10.0f, 0.9f, 10.0f},
      {"above the plane falls freely", {0, 1, 0, 0}, 1.0f, 5.0f, -10.0f, 4.0f, -10.0f},
      {"raised plane", {0, 1, 0, 1}, 0.0f, 1.5f, -10.0f, 1.0f, 0.0f},
      {"moving away is left alone", {0, 1, 0, 0}, 0.0f, -1.0f, 5.0f, 0.0f, 5.0f},
  };
  for (const Case& c : cases) {
    fxParticleEmitter* fx = Started(R"({"Emission":0})");
    fx->m_planeRebound = c.plane;
    fx->m_accelRebound = c.rebound;
    Particle p = Tagged(0, 0.0f, 10.0f);
    p.position = {0.0f, c.y, 0.0f};
    p.velocity = {0.0f, c.vy, 0.0f};
    fx->m_particles = {p};
    Step(fx, 0.1f);
    ASSERT_EQ(fx->m_particles.size(), 1u) << c.what;
    EXPECT_NEAR(fx->m_particles[0].position.y, c.expectedY, 1e-5f) << c.what;
    EXPECT_NEAR(fx->m_particles[0].velocity.y, c.expectedVy, 1e-5f) << c.what;
  }
  fxParticleEmitter* fx = Started(R"({"Emission":0,"Plane Rebound.y":2,"Plane Rebound.w":3})");
  Step(fx);
  EXPECT_EQ(fx->m_planeRebound, glm::vec4(0, 1, 0, 3)) << "the normal is made unit in place";
}

TEST_F(Emitter, ForcesFrictionAndSegmentLength) {
  fxParticleEmitter* fx = Started(R"({"Emission":0,"Accel Friction":0.75,"Segment Length":0.5})");
  Particle p = Tagged(0, 0.0f, 10.0f);
  p.position = {1.0f, 0.0f, 0.0f};  // d = +x from the emitter at the origin
  p.radial = 2.0f;
  p.tangential = 4.0f;
  fx->m_particles = {p};
  fx->Simulate(1.0f);
  const Particle& q = fx->m_particles[0];
  // v = (rad, tan, 0) x dt, then x (1 - 0.75)^1.
  EXPECT_NEAR(q.velocity.x, 0.5f, 1e-6f);
  EXPECT_NEAR(q.velocity.y, 1.0f, 1e-6f);
  EXPECT_NEAR(q.position.x, 1.5f, 1e-6f);
  EXPECT_NEAR(q.trail.x, 1.25f, 1e-6f) << "half the step: the newer half";
  EXPECT_NEAR(q.trail.y, 0.5f, 1e-6f);
}

TEST_F(Emitter, EachParticleFallsByItsOwnGravity) {
  // Two particles at the emitter (no radial or tangential direction there)
  // with their own gravity: v.y = g dt, then y = v.y dt.
  fxParticleEmitter* fx = Started(R"({"Emission":0})");
  fx->m_particles = {Tagged(-2.0f, 0.0f, 10.0f), Tagged(-5.0f, 0.0f, 10.0f)};
  fx->Simulate(0.5f);
  ASSERT_EQ(fx->m_particles.size(), 2u);
  EXPECT_FLOAT_EQ(fx->m_particles[0].velocity.y, -1.0f);
  EXPECT_FLOAT_EQ(fx->m_particles[0].position.y, -0.5f);
  EXPECT_FLOAT_EQ(fx->m_particles[1].velocity.y, -2.5f);
  EXPECT_FLOAT_EQ(fx->m_particles[1].position.y, -1.25f);
  EXPECT_EQ(fx->m_particles[0].velocity.x, 0.0f);

  // Births draw their gravity from the Accel Gravity range.
  struct Case {
    float min, max;
  };
  for (const Case& c : {Case{-3.0f, -3.0f}, Case{-4.0f, -2.0f}}) {
    fxParticleEmitter* born = Started(R"({"Emission":600,"Accel Gravity.x":)" + std::to_string(c.min) +
                                      R"(,"Accel Gravity.y":)" + std::to_string(c.max) + "}");
    Step(born);
    ASSERT_GE(born->m_particles.size(), 5u);
    float lowest = 1e9f, highest = -1e9f;
    for (const Particle& q : born->m_particles) {
      lowest = std::min(lowest, q.gravity);
      highest = std::max(highest, q.gravity);
    }
    EXPECT_GE(lowest, c.min);
    EXPECT_LE(highest, c.max);
    if (c.min < c.max) EXPECT_GT(highest - lowest, 0.1f * (c.max - c.min)) << "drawn, not fixed";
  }
}

TEST_F(Emitter, ColourRunsThroughMidOnlyWhenItsAlphaIsSet) {
  struct Case {
    const char* mid;
    float s;
    glm::vec4 expected;
  };
  const Case cases[] = {
      {"", 0.5f, {0.5f, 0.0f, 0.5f, 1.0f}},
      {R"(,"ColorMid.g":1,"ColorMid.a":1)", 0.25f, {0.5f, 0.5f, 0.0f, 1.0f}},
      {R"(,"ColorMid.g":1,"ColorMid.a":1)", 0.75f, {0.0f, 0.5f, 0.5f, 1.0f}},
  };
  for (const Case& c : cases) {
    fxParticleEmitter* fx = Started(std::string(R"({"Emission":0,"ColorStart.r":1,"ColorStart.g":0,"ColorStart.b":0,
        "ColorStart.a":1,"ColorEnd.r":0,"ColorEnd.g":0,"ColorEnd.b":1,"ColorEnd.a":1)") + c.mid + "}");
    fx->m_particles = {Tagged(0, c.s - 0.125f, 1.0f)};
    fx->m_particles[0].color = glm::vec4(9.0f);
    fx->Simulate(0.125f);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(fx->m_particles[0].color[k], c.expected[k], 1e-6f) << c.mid << c.s;
    EXPECT_EQ(fx->m_particles[0].previousColor, glm::vec4(9.0f)) << "the colour before the step";
  }
}

TEST_F(Emitter, RestartKeysFireOnceAndTheBurstIsClampedToTheMaximum) {
  fxParticleEmitter* fx = Make(R"({"Emission":0,"InitialCount":30,"Particle Max":20,"LifeTime.x":5,"LifeTime.y":5})");
  KeyFrameDriver* restart = AddKeyDriver(fx, "Restart");
  restart->SetKey(0.0f, 1.0f);
  restart->SetKey(0.5f, 1.0f);
  fx->SetState(StateRunning);
  EXPECT_EQ(fx->m_initialCount, 20) << "the attribute itself is lowered";
  EXPECT_EQ(fx->m_particles.size(), 20u);
  fx->m_particles.resize(5);  // room for a burst to show
  int restarts = 0;
  for (int frame = 1; frame <= 60; ++frame) {
    const float before = fx->m_lastRestartTime;
    Step(fx);
    if (fx->m_lastRestartTime != before) {
      ++restarts;
      EXPECT_NEAR(fx->m_localTime, 0.5f, 1e-4f) << "only the key at 0.5 fires";
    }
  }
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(fx->m_particles.size(), 20u) << "the burst stops at Particle Max";
}

TEST_F(Emitter, WithoutRespawnARestartAllowsParticleMaxEmissions) {
  fxParticleEmitter* fx = Started(R"({"Emission":600,"Particle Max":30,"Particle Respawn":false,
      "LifeTime.x":0.05,"LifeTime.y":0.05})");
  for (int frame = 0; frame < 60; ++frame) Step(fx);
  EXPECT_EQ(fx->m_emittedCount, 30);
  EXPECT_TRUE(fx->m_particles.empty()) << "all lived out, none replaced";
  fx->Restart();
  Step(fx);
  EXPECT_EQ(fx->m_emittedCount, 10) << "a restart opens the count again";
}

TEST_F(Emitter, DirectionsFollowTheAnglesOrPointAway) {
  fxParticleEmitter* up = Started(R"({"Emission":0,"Spread":0,"Radius":0,"Speed.x":2,"Speed.y":2})");
  up->Emit();
  EXPECT_NEAR(up->m_particles[0].velocity.x, 0.0f, 1e-5f);
  EXPECT_NEAR(up->m_particles[0].velocity.y, 2.0f, 1e-5f) << "Rot (90, 0) points along +y";
  fxParticleEmitter* side = Started(R"({"Emission":0,"Spread":0,"Radius":0,"Rot.x":0,"Rot.y":90,"Speed.x":2,"Speed.y":2})");
  side->Emit();
  EXPECT_NEAR(side->m_particles[0].velocity.z, 2.0f, 1e-5f) << "azimuth 90 turns towards +z";
  fxParticleEmitter* radial = Started(R"({"Emission":0,"RadialEmission":true,"Radius":3,"Speed.x":1,"Speed.y":1})");
  radial->Emit();
  const Particle& p = radial->m_particles[0];
  EXPECT_NEAR(glm::length(p.position), 3.0f, 1e-4f) << "born on the sphere";
  EXPECT_NEAR(glm::dot(glm::normalize(p.position), p.velocity), 1.0f, 1e-4f) << "flying straight away";
}

TEST_F(Emitter, TwoRunsGiveIdenticalParticlesAndStreaks) {
  auto run = [this](VectorGeometry& geometry) {
    platform::CSRand(1);
    fxParticleEmitter* fx = Started(R"({"InitialCount":50,"Accel Radial.x":-2,"Accel Radial.y":3,
        "Accel Tangential.x":1,"Accel Tangential.y":4,"Pos.x":1,"Plane Rebound.y":1,"Accel Rebound":0.5})");
    for (int frame = 0; frame < 45; ++frame) {
      fx->m_pos.x = 1.0f + 0.1f * static_cast<float>(frame);  // the emitter sweeps
      Step(fx);
    }
    fx->DrawStreaks(geometry);
    return fx->m_particles;
  };
  VectorGeometry first, second;
  const std::vector<Particle> a = run(first), b = run(second);
  ASSERT_FALSE(a.empty());
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(Particle)), 0);
  ASSERT_EQ(first.m_lines.count, second.m_lines.count);
  EXPECT_EQ(std::memcmp(first.m_lines.data(), second.m_lines.data(), first.m_lines.count * sizeof(VectorVertex)), 0);
}

TEST_F(Emitter, ShapeSourcesPlaceTheBirthsAlongTheirLength) {
  ShapeNode root;
  Polyline* line = root.AddPolyline();
  line->AddPoint({10.0f, 0.0f, 0.0f});
  line->AddPoint({20.0f, 0.0f, 0.0f});
  ShapeNode empty;
  struct Case {
    const char* what;
    ShapeNode* shapes;
    float xMin, xMax;
  };
  const Case cases[] = {{"a line", &root, 10.0f, 20.0f}, {"no length", &empty, 0.0f, 0.0f}, {"no shapes", nullptr, 0.0f, 0.0f}};
  for (const Case& c : cases) {
    fxBase* source = CreateFxFromJson(GetClassRegistry(), Item("fxBase", R"({"Name":"shape"})"), &m_sequence);
    source->m_shapeRoot = c.shapes;
    m_sequence.AppendItem(source);
    fxParticleEmitter* fx = Started(R"({"Source":"shape","Radius":0,"InitialCount":40,"Emission":0})");
    EXPECT_EQ(fx->m_sourceRoot, c.shapes) << c.what;
    ASSERT_EQ(fx->m_particles.size(), 40u);
    for (const Particle& p : fx->m_particles) {
      EXPECT_GE(p.position.x, c.xMin) << c.what;
      EXPECT_LE(p.position.x, c.xMax) << c.what;
      EXPECT_EQ(p.position.y, 0.0f) << c.what;
    }
    source->m_shapeRoot = nullptr;
    m_sequence.Clear();
  }
  fxParticleEmitter* fx = Started(R"({"Source":"nobody","InitialCount":5})");
  EXPECT_EQ(fx->m_sourceRoot, nullptr);
  EXPECT_EQ(fx->m_particles.size(), 5u) << "births around Pos instead";
}

TEST_F(Emitter, BadCountsAndNaNPositionsDrawNothingBroken) {
  struct Case {
    const char* properties;
    size_t maxParticles;
  };
  const Case cases[] = {
      {R"({"Particle Max":-5,"InitialCount":10})", 0},
      {R"({"Particle Max":2000000000,"Emission":2000000000,"LifeTime.x":5,"LifeTime.y":5})",
       static_cast<size_t>(fxParticleEmitter::kParticleLimit)},
      {R"({"Emission":-100})", 0},
  };
  for (const Case& c : cases) {
    fxParticleEmitter* fx = Started(c.properties);
    Step(fx);
    EXPECT_LE(fx->m_particles.size(), c.maxParticles) << c.properties;
    EXPECT_LE(fx->m_particles.capacity(), static_cast<size_t>(fxParticleEmitter::kParticleLimit)) << c.properties;
  }
  fxParticleEmitter* fx = Started(R"({"InitialCount":10})");
  fx->m_pos = glm::vec3(NAN, 0.0f, 0.0f);
  Step(fx);
  VectorGeometry geometry;
  fx->DrawStreaks(geometry);
  for (int i = 0; i < geometry.m_lines.count; ++i) {
    const glm::vec3 v = geometry.m_lines.data()[i].position;
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << i;
  }
}

TEST_F(Emitter, EndlessAndNaNStepsLeaveTheCarryFiniteAndEmissionGoing) {
  // An endless step from a huge TimeScale, a NaN one, then ordinary frames.
  fxParticleEmitter* fx = Started(R"({"Emission":1000000000,"Particle Max":100,"LifeTime.x":5,"LifeTime.y":5})");
  for (const float dt : {INFINITY, 1e36f, NAN, kFrame}) {
    Step(fx, dt);
    EXPECT_TRUE(std::isfinite(fx->m_emissionCarry)) << dt;
    EXPECT_LE(fx->m_particles.size(), 100u) << dt;
    for (const Particle& p : fx->m_particles) EXPECT_TRUE(std::isfinite(p.age)) << dt;
  }
  fx->m_particles.clear();
  Step(fx);
  EXPECT_EQ(fx->m_particles.size(), 100u) << "emission goes on after the endless step";
}

TEST_F(Emitter, NegativeCountsRatesAndSizesDrawNothing) {
  for (const char* properties :
       {R"({"Particle Max":-1,"InitialCount":50,"Emission":250})", R"({"InitialCount":-50,"Emission":-250})",
        R"({"Particle Max":-2147483648,"InitialCount":-2147483648,"Emission":-2147483648})"}) {
    fxParticleEmitter* fx = Started(properties);
    for (int frame = 0; frame < 10; ++frame) Step(fx);
    EXPECT_TRUE(fx->m_particles.empty()) << properties;
    VectorGeometry geometry;
    fx->DrawStreaks(geometry);
    EXPECT_EQ(geometry.m_lines.count, 0) << properties;
  }
}

TEST_F(Emitter, LegacyNamesBecomeTheRangePairs) {
  struct Case {
    const char* old;
    const char* renamed;
  };
  const Case cases[] = {
      {"Direction", "Rot.x"},           {"DirectionXZ", "Rot.y"},
      {"LifeTime Min", "LifeTime.x"},   {"LifeTime Max", "LifeTime.y"},
      {"Speed Min", "Speed.x"},         {"Speed Max", "Speed.y"},
      {"Gravity Min", "Accel Gravity.x"}, {"Gravity Max", "Accel Gravity.y"},
      {"Radial Accel Min", "Accel Radial.x"}, {"Radial Accel Max", "Accel Radial.y"},
      {"Tangential Accel Min", "Accel Tangential.x"}, {"Tangential Accel Max", "Accel Tangential.y"},
      {"Friction", "Accel Friction"},   {"Speed", "Speed"},
  };
  fxParticleEmitter* fx = Make("{}");
  for (const Case& c : cases) {
    std::string name = c.old;
    fx->RenameAttribute(name);
    EXPECT_EQ(name, c.renamed);
    EXPECT_NE(fx->m_classDesc->FindAttribute(name), nullptr) << name;
  }
  fx->LoadAttributes(ParseJson(R"({"Speed Min":3,"Friction":0.25})"));
  EXPECT_EQ(fx->m_speed.x, 3.0f);
  EXPECT_EQ(fx->m_accelFriction, 0.25f);
}

TEST_F(Emitter, KeyEmitterRecordsTheCameraAndDelEmitterRemovesTheKeys) {
  struct Case {
    const char* what;
    glm::vec3 view;  // where the camera looks
    float rotX, rotY;
  };
  const Case cases[] = {
      {"along +x", {1, 0, 0}, 0.0f, 0.0f},
      {"along +z", {0, 0, 1}, 0.0f, 90.0f},
      {"up, past 1 by rounding", {0, 1.0000001f, 0}, 90.0f, 0.0f},
  };
  RenderTarget target;
  for (const Case& c : cases) {
    fxParticleEmitter* fx = Make("{}");
    fx->m_localTime = 0.5f;
    target.m_invView = glm::mat4(1.0f);
    target.m_invView[2] = glm::vec4(-c.view, 0.0f);
    target.m_invView[3] = glm::vec4(1.0f, 2.0f, 3.0f, 1.0f);
    g_pCurrentRenderTarget = &target;
    LogCapture log;
    fxParticleEmitter::KeyEmitter(fx);
    g_pCurrentRenderTarget = nullptr;
    EXPECT_TRUE(log.Contains("fxParticleEmitter::KeyEmitter: rot.x=")) << log.Text();
    EXPECT_NEAR(fx->m_rot.x, c.rotX, 1e-3f) << c.what;
    EXPECT_NEAR(fx->m_rot.y, c.rotY, 1e-3f) << c.what;
    EXPECT_EQ(fx->m_pos, glm::vec3(1, 2, 3)) << c.what;
    EXPECT_TRUE(fx->m_restart);
    ASSERT_EQ(fx->m_drivers.size(), 6u) << c.what;
    for (NoneDriver* driver : fx->m_drivers) {
      auto* keys = static_cast<KeyFrameDriver*>(driver);
      ASSERT_EQ(keys->_aKeys.size(), 1u) << driver->_attribName;
      EXPECT_EQ(keys->_aKeys[0].time, 0.5f);
    }
    EXPECT_EQ(static_cast<KeyFrameDriver*>(fx->m_drivers[5])->_aKeys[0].value, 1.0f) << "Restart keyed on";
    fx->m_localTime = 0.5001f;  // deleting finds the key at the snapped time
    fxParticleEmitter::DelEmitter(fx);
    for (NoneDriver* driver : fx->m_drivers) EXPECT_FALSE(driver->HasKeys()) << driver->_attribName;
  }
  fxParticleEmitter* fx = Make("{}");
  fxParticleEmitter::KeyEmitter(fx);
  EXPECT_TRUE(fx->m_drivers.empty()) << "no current target, no keys";
  fx->RecordKey("No Such Attribute");
  fx->DeleteKey("No Such Attribute");
  EXPECT_TRUE(fx->m_drivers.empty());
}

namespace {

class EmitterDisplay : public DefaultTargetTest {
 protected:
  EmitterDisplay() : DefaultTargetTest(64, 64) {}
};

}  // namespace

TEST_F(EmitterDisplay, UpdateWritesFourVerticesPerParticleIntoTheLineArray) {
  auto* fx = static_cast<fxParticleEmitter*>(AddItem(Item("fxParticleEmitter", R"({"FadeIn":0,"Emission":0})")));
  ASSERT_NE(fx, nullptr);
  fx->SetState(StateRunning);
  Particle p = Tagged(0, 0.0f, 10.0f);
  p.trail = {1, 2, 3};
  p.position = {4, 5, 6};
  p.previousColor = {0.1f, 0.2f, 0.3f, 0.4f};
  p.color = {0.5f, 0.6f, 0.7f, 0.8f};
  fx->m_particles.assign(300, p);
  vector_display* display = g_pCurrentVectorDisplay;
  ASSERT_NE(display, nullptr);
  display->ClearGeometry();
  const int stripsBefore = display->m_lines.strips;
  fx->m_appliedDelta = 0.0f;
  fx->Update();
  ASSERT_EQ(display->m_lines.count, 1200);
  EXPECT_EQ(display->m_lines.strips - stripsBefore, 300);
  EXPECT_GE(display->m_lines.capacity, 1200);
  const VectorVertex* v = display->m_lines.data();
  struct Expected {
    glm::vec3 position, color;
    int32_t flags;
  };
  const Expected expected[4] = {{{1, 2, 3}, {0.1f, 0.2f, 0.3f}, PTF_LINE_STRIPSTART},
                                {{1, 2, 3}, {0.1f, 0.2f, 0.3f}, 0},
                                {{4, 5, 6}, {0.5f, 0.6f, 0.7f}, 0},
                                {{4, 5, 6}, {0.5f, 0.6f, 0.7f}, PTF_LINE_STRIPEND}};
  for (int i : {0, 1199 - 3}) {
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(v[i + k].position, expected[k].position) << i + k;
      EXPECT_EQ(v[i + k].color, expected[k].color) << i + k;
      EXPECT_EQ(v[i + k].flags, expected[k].flags) << i + k;
      EXPECT_EQ(v[i + k].thickness, 0.5f) << i + k;
    }
  }
  // No display on the target: nothing is written anywhere.
  display->ClearGeometry();
  g_pCurrentVectorDisplay = nullptr;
  fx->Update();
  g_pCurrentVectorDisplay = display;
  EXPECT_EQ(display->m_lines.count, 0);
}
