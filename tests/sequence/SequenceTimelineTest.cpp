// The timeline: items start and stop at their frame windows, running items
// follow the sequence clock (scaled by their time scale), the range ends or
// loops, and the items are torn down in list order.
#include <gtest/gtest.h>

#include <cmath>

#include "sequence/rvSequence.h"
#include "support/ProbeEffect.h"

namespace {

// What the application does before its first frame.
void Play(rvSequence& sequence) {
  sequence.m_time = sequence.m_loop ? sequence.m_loopStart / 60.0f : 0.0f;
  sequence.m_playing = true;
  for (fxBase* fx : sequence.m_items) fx->SetState(StatePrepared);
}

}  // namespace

TEST(SequenceTimeline, AnItemRunsInsideItsWindowOnly) {
  struct Case {
    float time;
    int state;
  };
  const Case cases[] = {{0.5f, 2}, {59.0f / 60.0f, 2}, {1.0f, 3}, {1.5f, 3}, {1.99f, 3}, {2.0f, 2}, {3.0f, 2}};
  rvSequence sequence(0);
  fxProbe* probe = AddProbe(sequence, "w", 60, 120);
  AddProbe(sequence, "long", 0, 600);
  probe->SetState(StatePrepared);
  for (const Case& c : cases) {
    sequence.m_time = c.time;
    sequence.Update(0.0f);
    EXPECT_EQ(probe->m_state, c.state) << c.time;
  }
  EXPECT_EQ(ProbeCalls("w"), "Init Prepare Start Update Update Update Stop");
}

TEST(SequenceTimeline, AnItemWithAnEmptyWindowNeverRuns) {
  const int windows[][2] = {{120, 120}, {120, 60}};
  for (const auto& w : windows) {
    rvSequence sequence(0);
    AddProbe(sequence, "long", 0, 600);
    fxProbe* probe = AddProbe(sequence, "e", w[0], w[1]);
    Play(sequence);
    for (int frame = 0; frame < 200; ++frame) sequence.Update(1.0f / 60.0f);
    EXPECT_EQ(probe->m_updates, 0);
    EXPECT_EQ(probe->m_state, StatePrepared);
    sequence.Clear();
  }
}

TEST(SequenceTimeline, RunningItemsFollowTheSequenceLocalTime) {
  rvSequence sequence(0);
  fxProbe* early = AddProbe(sequence, "a", 0, 300);
  fxProbe* late = AddProbe(sequence, "b", 30, 300);
  Play(sequence);
  const float dt = 1.0f / 60.0f;
  for (int frame = 0; frame < 120; ++frame) {
    sequence.Update(dt);
    EXPECT_FLOAT_EQ(early->m_localTime, sequence.m_time);
    if (late->m_state == StateRunning) {
      EXPECT_NEAR(late->m_localTime, sequence.m_time - 0.5f, 1e-5f);
    }
  }
  EXPECT_GT(late->m_updates, 0);
}

// The time scale multiplies the gap between the sequence-local time and the
// clock: with a steady step dt the gap settles where (1 - s)(g + dt) = g.
TEST(SequenceTimeline, TimeScaleMultipliesTheGapNotTheClockSpeed) {
  const float dt = 0.01f;
  struct Case {
    float scale, settledGap;
  };
  const Case cases[] = {{1.0f, 0.0f}, {0.5f, dt}, {0.25f, 3.0f * dt}, {1.5f, -dt / 3.0f}};
  for (const Case& c : cases) {
    rvSequence sequence(0);
    fxProbe* probe = AddProbe(sequence, "s", 0, 6000);
    probe->m_timeScale = c.scale;
    Play(sequence);
    for (int frame = 0; frame < 200; ++frame) sequence.Update(dt);
    EXPECT_NEAR(sequence.m_time - probe->m_localTime, c.settledGap, 1e-4f) << c.scale;
    sequence.Clear();
  }

  // Twice the gap: one step ahead on every other frame.
  rvSequence sequence(0);
  fxProbe* probe = AddProbe(sequence, "s", 0, 6000);
  probe->m_timeScale = 2.0f;
  Play(sequence);
  for (int frame = 1; frame <= 8; ++frame) {
    sequence.Update(dt);
    const float gap = sequence.m_time - probe->m_localTime;
    EXPECT_NEAR(gap, frame % 2 ? -dt : 0.0f, 1e-5f) << frame;
  }
  sequence.Clear();

  // Above two the overshoot grows each frame: the clock swings between 0 and
  // the end of its window.
  fxProbe* wild = AddProbe(sequence, "w", 0, 60);
  wild->m_timeScale = 3.0f;
  Play(sequence);
  bool atZero = false, atEnd = false;
  for (int frame = 0; frame < 40; ++frame) {
    sequence.Update(dt);
    atZero = atZero || (frame > 0 && wild->m_localTime == 0.0f);
    atEnd = atEnd || wild->m_localTime == wild->GetDuration();
  }
  EXPECT_TRUE(atZero);
  EXPECT_TRUE(atEnd);
}

TEST(SequenceTimeline, TheEndOfTheRangeStopsEverything) {
  rvSequence sequence(1);
  fxProbe* a = AddProbe(sequence, "a", 0, 120);
  fxProbe* b = AddProbe(sequence, "b", 60, 100);
  EXPECT_EQ(sequence.GetFrameMax(), 120);
  Play(sequence);
  // Quarter seconds add up exactly: a runs at 0.25 .. 1.75, b at 1.0 .. 1.5,
  // at 2.0 a has left its window but the range has not been passed yet.
  int frames = 0;
  while (sequence.m_playing && frames < 1000) {
    sequence.Update(0.25f);
    ++frames;
  }
  EXPECT_EQ(frames, 9);
  EXPECT_FALSE(sequence.m_playing);
  EXPECT_EQ(sequence.m_time, 120 / 60.0f);
  EXPECT_EQ(a->m_state, StateInitialized);
  EXPECT_EQ(b->m_state, StateInitialized);
  EXPECT_EQ(ProbeCalls("a"), "Init Prepare Start Update Update Update Update Update Update Update Stop Unprepare");
  EXPECT_EQ(ProbeCalls("b"), "Init Prepare Start Update Update Update Stop Unprepare");
  // A stopped sequence keeps its clock.
  sequence.Update(1.0f);
  EXPECT_EQ(sequence.m_time, 2.0f);
}

TEST(SequenceTimeline, AnEmptyPlayingSequenceEndsAtTheFirstStep) {
  rvSequence sequence(1);
  Play(sequence);
  sequence.Update(1.0f / 60.0f);
  EXPECT_FALSE(sequence.m_playing);
  EXPECT_EQ(sequence.m_time, 0.0f);
}

TEST(SequenceTimeline, ALoopRestartsAtTheLoopStartWithSeeks) {
  rvSequence sequence(1);
  fxProbe* whole = AddProbe(sequence, "whole", 0, 300);
  fxProbe* inside = AddProbe(sequence, "in", 50, 100);
  fxProbe* later = AddProbe(sequence, "later", 200, 300);
  sequence.m_loop = true;
  sequence.m_loopStart = 60;
  EXPECT_EQ(sequence.m_loopEnd, 300);
  Play(sequence);
  EXPECT_EQ(sequence.m_time, 1.0f);

  sequence.m_time = 4.99f;
  sequence.Update(0.0f);
  ProbeJournal().clear();
  sequence.Update(0.02f);  // passes 5.0 s
  EXPECT_TRUE(sequence.m_playing);
  EXPECT_EQ(sequence.m_time, 1.0f);
  EXPECT_EQ(whole->m_state, StateRunning);
  EXPECT_EQ(inside->m_state, StateRunning);
  EXPECT_EQ(later->m_state, StatePrepared);
  EXPECT_EQ(whole->m_seekTime, 1.0f);
  EXPECT_FLOAT_EQ(inside->m_seekTime, 10.0f / 60.0f);
  // Out of the windows, down to 1, back to 2, the windows holding 1.0 s
  // start again; no frame is drawn yet.
  EXPECT_EQ(ProbeCalls("whole"), "Stop Unprepare Prepare Start");
  EXPECT_EQ(ProbeCalls("in"), "Unprepare Prepare Start");
  EXPECT_EQ(ProbeCalls("later"), "Stop Unprepare Prepare");

  ProbeJournal().clear();
  sequence.Update(0.0f);
  EXPECT_EQ(ProbeCalls("whole"), "Seek Update");
  EXPECT_FLOAT_EQ(whole->m_localTime, 1.0f);
  EXPECT_FLOAT_EQ(inside->m_localTime, 10.0f / 60.0f);
  EXPECT_LT(whole->m_seekTime, 0.0f);
}

TEST(SequenceTimeline, AScrubbedFrameSeeksTheRunningItems) {
  rvSequence sequence(0);
  fxProbe* probe = AddProbe(sequence, "s", 60, 600);
  Play(sequence);
  sequence.m_time = 2.004f;
  sequence.m_scrub = true;
  ProbeJournal().clear();
  sequence.Update(0.0f);
  EXPECT_EQ(ProbeCalls("s"), "Start Seek Update");
  EXPECT_FLOAT_EQ(probe->m_localTime, 1.0f);  // snapped to a whole frame
  EXPECT_FALSE(sequence.m_scrub);
}

TEST(SequenceTimeline, AdvanceTimeStaysInsideTheRange) {
  struct Case {
    float from, delta, expected;
  };
  const Case cases[] = {{1.0f, -100.0f, 0.0f}, {1.0f, 100.0f, 3.0f}, {1.0f, 0.5f, 1.5f}, {2.5f, 0.5f, 3.0f}};
  for (const Case& c : cases) {
    rvSequence sequence(0);
    fxProbe* probe = AddProbe(sequence, "a", 0, 180);
    Play(sequence);
    sequence.m_time = c.from;
    sequence.AdvanceTime(c.delta);
    EXPECT_EQ(sequence.m_time, c.expected) << c.from << " + " << c.delta;
    EXPECT_LT(probe->m_seekTime, 0.0f);
    sequence.Clear();
  }
}

TEST(SequenceTimeline, AppendingTracksTheRangeAndTheOwner) {
  rvSequence sequence(0);
  EXPECT_EQ(sequence.m_path, "seq");
  fxProbe* a = AddProbe(sequence, "a", 0, 240);
  EXPECT_EQ(sequence.m_loopEnd, 240);
  fxProbe* b = AddProbe(sequence, "b", 0, 600);
  AddProbe(sequence, "c", 0, 100);
  EXPECT_EQ(sequence.GetFrameMax(), 600);
  EXPECT_EQ(sequence.m_loopEnd, 240);  // set by the first append only
  EXPECT_EQ(a->m_owner, &sequence);
  EXPECT_EQ(b->m_owner, &sequence);
  EXPECT_EQ(sequence.m_items[1], b);

  rvSequence negative(0);
  AddProbe(negative, "n", -100, -10);
  EXPECT_EQ(negative.GetFrameMax(), 0);
}

TEST(SequenceTimeline, FindItemReturnsTheFirstExactMatch) {
  rvSequence sequence(0);
  fxProbe* first = AddProbe(sequence, "twin", 0, 60);
  AddProbe(sequence, "twin", 0, 60);
  fxProbe* other = AddProbe(sequence, "other", 0, 60);
  EXPECT_EQ(sequence.FindItem("twin"), first);
  EXPECT_EQ(sequence.FindItem("other"), other);
  EXPECT_EQ(sequence.FindItem("Twin"), nullptr);
  EXPECT_EQ(sequence.FindItem("twin "), nullptr);
}

TEST(SequenceTimeline, DisabledItemsChangeStateButDrawNothing) {
  rvSequence sequence(0);
  fxProbe* probe = AddProbe(sequence, "d", 0, 60);
  probe->m_enabled = false;
  Play(sequence);
  sequence.Update(0.5f);
  EXPECT_EQ(probe->m_state, StateRunning);
  EXPECT_EQ(probe->m_updates, 0);
}

TEST(SequenceTimeline, ClearTearsDownInListOrder) {
  rvSequence sequence(1);
  AddProbe(sequence, "a", 0, 60);
  AddProbe(sequence, "b", 0, 120);
  Play(sequence);
  sequence.Update(0.1f);
  sequence.m_selection = {0, 1};
  ProbeJournal().clear();
  sequence.Clear();
  std::string order;
  for (const std::string& e : ProbeJournal()) order += e + " ";
  EXPECT_EQ(order, "a.Stop@3 a.Unprepare@2 a.Kill@1 a.Delete b.Stop@3 b.Unprepare@2 b.Kill@1 b.Delete ");
  EXPECT_TRUE(sequence.m_items.empty());
  EXPECT_TRUE(sequence.m_selection.empty());
  EXPECT_EQ(sequence.GetFrameMax(), 120);
}

TEST(SequenceTimeline, ASequenceDestroyedWithItemsTearsThemDown) {
  {
    rvSequence sequence(0);
    AddProbe(sequence, "left", 0, 60);
    sequence.m_items[0]->SetState(StateInitialized);
  }
  EXPECT_EQ(ProbeCalls("left"), "Init Kill Delete");
}

TEST(SequenceTimeline, NoEffectIsCurrentBetweenFrames) {
  rvSequence sequence(0);
  fxProbe* probe = AddProbe(sequence, "a", 0, 60);
  Play(sequence);
  sequence.Update(0.1f);
  EXPECT_EQ(probe->m_currentDuringUpdate, probe);
  EXPECT_EQ(g_pCurrentFx, nullptr);
}
