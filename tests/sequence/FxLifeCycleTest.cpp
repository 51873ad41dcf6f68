// The effect life cycle: one step at a time through the four states, the
// local clock with time scale and seeks, fades, drivers applied on start and
// on every move of the clock, shapes evaluated at another time, kinds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "sequence/fxBase.h"
#include "effects/sequencing/fxDemoGlobalParams.h"
#include "render/ShapeNode.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "support/ProbeEffect.h"

namespace {

std::unique_ptr<fxProbe> MakeProbe(const std::string& name = "p") {
  RegisterProbeClass();
  std::unique_ptr<fxProbe> probe(static_cast<fxProbe*>(fxProbe::Create(fxProbe::GetClassDesc())));
  probe->m_name = name;
  return probe;
}

// A key-frame driver holding one key: it yields that value at every time.
KeyFrameDriver* AddConstantDriver(fxBase* fx, const char* attribute, float value) {
  AttributeDesc* desc = fx->m_classDesc->FindAttribute(attribute);
  EXPECT_NE(desc, nullptr) << attribute;
  auto* driver = static_cast<KeyFrameDriver*>(CreateDriver(fx, DriverKeyFrame, desc));
  driver->SetKey(0.0f, value);
  fx->m_drivers.push_back(driver);
  return driver;
}

// A linear key-frame driver from (0 s, 0) to (10 s, 10): value = local time.
void AddClockDriver(fxBase* fx, const char* attribute) {
  KeyFrameDriver* driver = AddConstantDriver(fx, attribute, 0.0f);
  driver->_eInterpolation = InterpLinear;
  driver->SetKey(10.0f, 10.0f);
}

}  // namespace

TEST(FxLifeCycle, ConstructionGivesTheBaseDefaults) {
  auto probe = MakeProbe();
  EXPECT_EQ(probe->m_state, StateNone);
  EXPECT_EQ(probe->m_start, 0);
  EXPECT_EQ(probe->m_end, 600);
  EXPECT_EQ(probe->m_fadeIn, 1.0f);
  EXPECT_EQ(probe->m_fadeOut, 1.0f);
  EXPECT_EQ(probe->m_timeScale, 1.0f);
  EXPECT_LT(probe->m_seekTime, 0.0f);
  EXPECT_TRUE(probe->m_enabled);
  EXPECT_FALSE(probe->m_reInit);
  EXPECT_EQ(probe->m_owner, nullptr);
  EXPECT_EQ(probe->m_shapeRoot, nullptr);
  EXPECT_FLOAT_EQ(probe->GetDuration(), 10.0f);

  std::unique_ptr<fxBase> plain(fxBase::Create(fxBase::GetClassDesc()));
  EXPECT_EQ(plain->m_name, "fxBase");
}

TEST(FxLifeCycle, SetStateWalksOneStepAtATime) {
  struct Case {
    int from, to;
    const char* calls;  // with the state each call saw
  };
  const Case cases[] = {
      {0, 0, ""},
      {0, 1, "Init@0"},
      {0, 2, "Init@0 Prepare@1"},
      {0, 3, "Init@0 Prepare@1 Start@3"},
      {1, 3, "Prepare@1 Start@3"},
      {2, 3, "Start@3"},
      {3, 3, ""},
      {3, 2, "Stop@3"},
      {3, 1, "Stop@3 Unprepare@2"},
      {3, 0, "Stop@3 Unprepare@2 Kill@1"},
      {2, 0, "Unprepare@2 Kill@1"},
      {1, 0, "Kill@1"},
      {2, 1, "Unprepare@2"},
  };
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    probe->SetState(c.from);
    ProbeJournal().clear();
    EXPECT_EQ(probe->SetState(c.to), c.to);
    EXPECT_EQ(probe->m_state, c.to);
    std::string seen;
    for (const std::string& entry : ProbeJournal()) seen += (seen.empty() ? "" : " ") + entry.substr(2);
    EXPECT_EQ(seen, c.calls) << c.from << " -> " << c.to;
  }
}

TEST(FxLifeCycle, TargetsOutsideTheStatesStopAtTheNearestOne) {
  auto probe = MakeProbe();
  EXPECT_EQ(probe->SetState(7), StateRunning);
  EXPECT_EQ(probe->SetState(-4), StateNone);
}

TEST(FxLifeCycle, StartRunningResetsTheClocksAndAppliesDriversAtZero) {
  auto probe = MakeProbe();
  AddClockDriver(probe.get(), "Probe/Value");
  probe->SetState(StatePrepared);
  probe->m_localTime = 3.0f;
  probe->m_prevLocalTime = 2.5f;
  probe->m_appliedDelta = 0.5f;
  probe->m_sequenceDelta = 0.25f;
  probe->m_seekTime = 1.0f;
  probe->m_value = 42.0f;

  probe->SetState(StateRunning);
  EXPECT_EQ(probe->m_localTime, 0.0f);
  EXPECT_EQ(probe->m_appliedDelta, 0.0f);
  EXPECT_EQ(probe->m_sequenceDelta, 0.0f);
  EXPECT_EQ(probe->m_value, 0.0f);  // the driver at local time 0
  // Left as they were: a seek set before the start applies on the next frame.
  EXPECT_EQ(probe->m_prevLocalTime, 2.5f);
  EXPECT_EQ(probe->m_seekTime, 1.0f);
}

TEST(FxLifeCycle, FadeFactorFollowsBothRamps) {
  struct Case {
    float fadeIn, fadeOut, localTime, expected;
  };
  // Window 60..120: one second.
  const Case cases[] = {
      {0.5f, 0.5f, 0.0f, 0.0f},   {0.5f, 0.5f, 0.25f, 0.5f}, {0.5f, 0.5f, 0.5f, 1.0f},
      {0.5f, 0.5f, 0.75f, 0.5f},  {0.5f, 0.5f, 1.0f, 0.0f},  {0.0f, 0.0f, 0.0f, 1.0f},
      {0.0f, 0.0f, 1.0f, 1.0f},   {1.0f, 1.0f, 0.75f, 0.75f},  // overlap: the fade-in wins
      {-1.0f, -1.0f, 0.0f, 1.0f}, {-1.0f, -1.0f, 1.0f, 1.0f},  // negative fades never trigger
  };
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    probe->m_start = 60;
    probe->m_end = 120;
    probe->m_fadeIn = c.fadeIn;
    probe->m_fadeOut = c.fadeOut;
    probe->m_localTime = c.localTime;
    EXPECT_FLOAT_EQ(probe->GetFadeFactor(), c.expected)
        << "in " << c.fadeIn << " out " << c.fadeOut << " t " << c.localTime;
  }
}

TEST(FxLifeCycle, ExternalUpdateScalesTheStepAndClampsTheClock) {
  struct Case {
    float timeScale, localTime, sequenceDelta, expectedLocal, expectedApplied;
  };
  // Duration 2 s (frames 0..120).
  const Case cases[] = {
      {1.0f, 0.5f, 0.25f, 0.75f, 0.25f},  {2.0f, 0.5f, 0.25f, 1.0f, 0.5f},   {0.5f, 0.5f, 0.25f, 0.625f, 0.125f},
      {1.0f, 1.9f, 0.5f, 2.0f, 0.5f},     {1.0f, 0.2f, -0.5f, 0.0f, -0.5f},  {0.0f, 0.5f, 0.25f, 0.5f, 0.0f},
      {-1.0f, 0.5f, 0.25f, 0.25f, -0.25f},
  };
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    probe->m_end = 120;
    probe->SetState(StateRunning);
    probe->m_timeScale = c.timeScale;
    probe->m_localTime = c.localTime;
    probe->m_sequenceDelta = c.sequenceDelta;
    probe->ExternalUpdate();
    EXPECT_FLOAT_EQ(probe->m_localTime, c.expectedLocal) << "scale " << c.timeScale;
    EXPECT_FLOAT_EQ(probe->m_appliedDelta, c.expectedApplied) << "scale " << c.timeScale;
    EXPECT_EQ(probe->m_prevLocalTime, c.localTime);
    EXPECT_EQ(probe->m_updates, 1);
    EXPECT_EQ(ProbeCalls("p").find("Seek"), std::string::npos);
  }
}

TEST(FxLifeCycle, ANaNTimeScaleKeepsTheClockInsideTheWindow) {
  auto probe = MakeProbe();
  probe->SetState(StateRunning);
  probe->m_localTime = 1.0f;
  probe->m_timeScale = std::numeric_limits<float>::quiet_NaN();
  probe->m_sequenceDelta = 0.25f;
  probe->ExternalUpdate();
  EXPECT_GE(probe->m_localTime, 0.0f);
  EXPECT_LE(probe->m_localTime, probe->GetDuration());
}

TEST(FxLifeCycle, SeekIgnoresTheTimeScaleAndClampsTheClock) {
  struct Case {
    float localTime, seek, expectedLocal;
  };
  const Case cases[] = {{0.5f, 5.0f, 2.0f}, {1.5f, 0.25f, 0.25f}, {1.0f, 1.0f, 1.0f}, {0.5f, 0.0f, 0.0f}};
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    probe->m_end = 120;  // 2 s
    probe->SetState(StateRunning);
    probe->m_timeScale = 3.0f;
    probe->m_localTime = c.localTime;
    probe->m_sequenceDelta = 0.125f;
    probe->m_seekTime = c.seek;
    ProbeJournal().clear();
    probe->ExternalUpdate();
    const float delta = c.seek - c.localTime;  // unclamped
    EXPECT_FLOAT_EQ(probe->m_localTime, c.expectedLocal);
    EXPECT_FLOAT_EQ(probe->m_appliedDelta, delta);
    EXPECT_FLOAT_EQ(probe->m_sequenceDelta, delta);
    EXPECT_FLOAT_EQ(probe->m_seekArgs[0], delta);
    EXPECT_FLOAT_EQ(probe->m_seekArgs[1], c.expectedLocal);
    EXPECT_FLOAT_EQ(probe->m_seekArgs[2], c.seek);
    EXPECT_LT(probe->m_seekTime, 0.0f);
    EXPECT_EQ(ProbeCalls("p"), "Seek Update");
  }
}

TEST(FxLifeCycle, DriversRunWhenTheClockMovesOrASeekHappens) {
  struct Case {
    float timeScale, sequenceDelta, seek;
    bool applied;
  };
  const Case cases[] = {
      {1.0f, 0.5f, -1.0f, true},
      {0.0f, 0.5f, -1.0f, true},  // the clock stands, the drivers still run
      {1.0f, 0.0f, -1.0f, false},
      {1.0f, 0.0f, 0.5f, true},
  };
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    AddClockDriver(probe.get(), "Probe/Value");
    probe->SetState(StateRunning);
    probe->m_localTime = 1.0f;
    probe->m_timeScale = c.timeScale;
    probe->m_sequenceDelta = c.sequenceDelta;
    probe->m_seekTime = c.seek;
    probe->m_value = -7.0f;
    probe->ExternalUpdate();
    if (c.applied) {
      EXPECT_FLOAT_EQ(probe->m_value, probe->m_localTime) << c.timeScale << " " << c.sequenceDelta << " " << c.seek;
    } else {
      EXPECT_EQ(probe->m_value, -7.0f);
    }
  }
}

TEST(FxLifeCycle, DriverValuesAreWrittenByTheAttributeType) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* attribute;
    float value;
    double expected;  // read back by type
  };
  const Case cases[] = {
      {"Probe/Count", 2.5f, 3},   {"Probe/Count", -2.5f, -3}, {"Probe/Mode", 1.4f, 1}, {"Start", 59.5f, 60},
      {"Probe/Flag", 0.5f, 0},    {"Probe/Flag", 0.6f, 1},    {"Probe/Flag", -0.6f, 1}, {"Probe/Value", 0.25f, 0.25},
      {"Probe/Value", inf, 9.0},  // no value: unchanged
  };
  for (const Case& c : cases) {
    auto probe = MakeProbe();
    probe->m_count = 9;
    probe->m_value = 9.0f;
    probe->m_mode = 9;
    AddConstantDriver(probe.get(), c.attribute, c.value);
    probe->SetState(StateRunning);
    const std::string name = c.attribute;
    double got = 0;
    if (name == "Probe/Count") got = probe->m_count;
    if (name == "Probe/Mode") got = probe->m_mode;
    if (name == "Start") got = probe->m_start;
    if (name == "Probe/Flag") got = probe->m_flag ? 1 : 0;
    if (name == "Probe/Value") got = probe->m_value;
    EXPECT_DOUBLE_EQ(got, c.expected) << c.attribute << " <- " << c.value;
  }

  auto probe = MakeProbe();
  AddConstantDriver(probe.get(), "Probe/Value", std::numeric_limits<float>::quiet_NaN());
  probe->SetState(StateRunning);
  EXPECT_TRUE(std::isnan(probe->m_value));  // NaN is a value like any other
}

TEST(FxLifeCycle, ReInitWalksDownToNoneAndBackBeforeTheFrame) {
  auto probe = MakeProbe();
  probe->SetState(StateRunning);
  ProbeJournal().clear();
  fxBase::OnReInit(probe.get());
  EXPECT_TRUE(probe->m_reInit);
  probe->m_sequenceDelta = 0.1f;
  probe->ExternalUpdate();
  EXPECT_EQ(ProbeCalls("p"), "Stop Unprepare Kill Init Prepare Start Update");
  EXPECT_FALSE(probe->m_reInit);
  EXPECT_EQ(probe->m_state, StateRunning);
}

TEST(FxLifeCycle, CurrentEffectIsPublishedOnlyDuringUpdate) {
  auto outer = MakeProbe("o");
  outer->SetState(StateRunning);
  outer->ExternalUpdate();
  EXPECT_EQ(outer->m_currentDuringUpdate, outer.get());
  EXPECT_EQ(g_pCurrentFx, nullptr);
}

TEST(FxLifeCycle, CreateKeySnapsToTheFrameAndReplacesAKeyThere) {
  auto probe = MakeProbe();
  KeyFrameDriver* driver = AddConstantDriver(probe.get(), "Probe/Value", 0.0f);
  driver->_aKeys.clear();
  // A driver of another kind is left alone.
  NoneDriver* sine = CreateDriver(probe.get(), DriverSinus, probe->m_classDesc->FindAttribute("FadeIn"));
  probe->m_drivers.push_back(sine);

  probe->m_localTime = 1.2345f;
  probe->m_value = 3.0f;
  probe->m_onCreateKey(probe.get());
  ASSERT_EQ(driver->_aKeys.size(), 1u);
  EXPECT_EQ(driver->_aKeys[0].time, 74.0f / 60.0f);
  EXPECT_EQ(driver->_aKeys[0].value, 3.0f);

  probe->m_localTime = 1.24f;  // same frame
  probe->m_value = 5.0f;
  fxBase::OnCreateKey(probe.get());
  ASSERT_EQ(driver->_aKeys.size(), 1u);
  EXPECT_EQ(driver->_aKeys[0].value, 5.0f);

  probe->m_localTime = 0.5f;
  probe->CreateKeys();
  ASSERT_EQ(driver->_aKeys.size(), 2u);
  EXPECT_EQ(driver->_aKeys[0].time, 0.5f);  // kept sorted
}

TEST(FxLifeCycle, ClearDriversButtonEmptiesTheList) {
  auto probe = MakeProbe();
  AddConstantDriver(probe.get(), "Probe/Value", 1.0f);
  AddConstantDriver(probe.get(), "FadeIn", 1.0f);
  probe->m_onClearDrivers(probe.get());
  EXPECT_TRUE(probe->m_drivers.empty());
}

TEST(FxLifeCycle, ShapesAtAnotherTimeApplyTheDriversThereAndKeepTheClock) {
  auto probe = MakeProbe();
  EXPECT_EQ(probe->GetShapesAtTime(1.0f), nullptr);

  ShapeNode root;
  probe->m_shapeRoot = &root;
  AddClockDriver(probe.get(), "Probe/Value");
  probe->m_localTime = 2.0f;
  probe->m_value = -1.0f;

  struct Case {
    float t;
    float expectedValue;  // -1: drivers not applied
  };
  const Case cases[] = {{-1.0f, -1.0f}, {std::numeric_limits<float>::quiet_NaN(), -1.0f}, {2.0f, -1.0f}, {3.5f, 3.5f}};
  for (const Case& c : cases) {
    probe->m_value = -1.0f;
    EXPECT_EQ(probe->GetShapesAtTime(c.t), &root);
    EXPECT_FLOAT_EQ(probe->m_value, c.expectedValue) << c.t;
    EXPECT_EQ(probe->m_localTime, 2.0f);
  }
  probe->m_shapeRoot = nullptr;
}

TEST(FxLifeCycle, IsKindOfWalksTheParentChain) {
  auto probe = MakeProbe();
  std::unique_ptr<fxBase> base(fxBase::Create(fxBase::GetClassDesc()));
  std::unique_ptr<fxBase> params(fxDemoGlobalParams::Create(fxDemoGlobalParams::GetClassDesc()));
  struct Case {
    const fxBase* fx;
    const char* name;
    bool expected;
  };
  const Case cases[] = {
      {probe.get(), "fxProbe", true},          {probe.get(), "fxBase", true},
      {probe.get(), "fxbase", false},          {probe.get(), "fxDemoGlobalParams", false},
      {base.get(), "fxBase", true},            {base.get(), "fxProbe", false},
      {params.get(), "fxDemoGlobalParams", true}, {params.get(), "fxBase", true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.fx->IsKindOf(c.name), c.expected) << c.fx->m_name << " " << c.name;
}

TEST(FxLifeCycle, SnapToFrameRoundsToTheNearestFrame) {
  struct Case {
    float t, expected;
  };
  const Case cases[] = {{0.0f, 0.0f}, {1.2345f, 74.0f / 60.0f}, {1.2583f, 1.25f}, {-0.02f, -1.0f / 60.0f}, {2.0f, 2.0f}};
  for (const Case& c : cases) EXPECT_EQ(SnapToFrame(c.t), c.expected) << c.t;
}

TEST(FxLifeCycle, TheWidestWindowStillHasAPositiveDuration) {
  auto probe = MakeProbe();
  probe->m_start = std::numeric_limits<int>::min();
  probe->m_end = std::numeric_limits<int>::max();
  EXPECT_FLOAT_EQ(probe->GetDuration(), 4294967295.0f / 60.0f);
  EXPECT_FLOAT_EQ(SnapToFrame(probe->GetDuration()), 4294967295.0f / 60.0f);
}
