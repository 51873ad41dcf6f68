// fxSequence: a sequence file played as one effect. Its clock follows the
// applied step of the effect, Time Seek moves it on every start, Stop and
// Kill bring the nested items down, a nested part can end before its window,
// a file that nests itself is refused, and the owner chain it sets up is
// what texture slots and shader time modes climb.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "effects/buffers/fxBuffer.h"
#include "effects/sequencing/fxSequence.h"
#include "render/TextureSlot.h"
#include "render/UniformAnnotations.h"
#include "render/rvProgram.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"
#include "support/GLFixture.h"
#include "support/JsonText.h"
#include "support/LogCapture.h"
#include "support/ProbeEffect.h"
#include "support/SequenceText.h"
#include "support/TestPack.h"

namespace {

const float kStep = 1.0f / 60.0f;

// Makes the effect a sequence item names and appends it to the sequence.
fxBase* AddItem(rvSequence& sequence, const std::string& itemText) {
  fxBase* fx = CreateFxFromJson(GetClassRegistry(), ParseJson(itemText), &sequence);
  if (fx) sequence.AppendItem(fx);
  return fx;
}

fxSequence* AddNested(rvSequence& sequence, const std::string& file, int start, int end,
                      const std::string& more = "") {
  const std::string props = "\"Sequence File\": \"" + file + "\"" + (more.empty() ? "" : ", " + more);
  return static_cast<fxSequence*>(AddItem(sequence, SeqItem("fxSequence", "nest", start, end, props)));
}

class NestedSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProbeClass();
    ProbeJournal().clear();
  }
  void Pack(const PackFiles& files) {
    ASSERT_TRUE(BuildPack(m_dir, files));
    EnterDir(m_dir);
  }
  TempDir m_dir;
};

// Plays a sequence for a number of frames at 60 per second.
void PlayFrames(rvSequence& sequence, int frames) {
  for (int i = 0; i < frames; ++i) sequence.Update(kStep);
}

const std::string kInner = SeqFile({SeqItem("fxProbe", "a", 0, 60), SeqItem("fxProbe", "b", 30, 600)});

int CountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

}  // namespace

TEST_F(NestedSequence, InitLoadsTheFileUnderThisEffectAndKillEmptiesIt) {
  Pack({{"Data/seq/inner.seq", kInner}});
  rvSequence outer(1);
  fxSequence* nest = AddNested(outer, "seq/inner.seq", 60, 300);
  ASSERT_NE(nest, nullptr);
  nest->SetState(StateInitialized);

  rvSequence& inner = nest->m_sequence;
  EXPECT_EQ(inner.m_kind, 0);
  EXPECT_EQ(inner.m_ownerFx, nest);
  EXPECT_EQ(inner.m_path, "seq/inner.seq");
  EXPECT_EQ(inner.GetFrameMax(), 600);
  ASSERT_EQ(inner.m_items.size(), 2u);
  for (fxBase* fx : inner.m_items) {
    EXPECT_EQ(fx->m_state, StateInitialized);
    EXPECT_EQ(fx->m_owner, &inner);
  }

  nest->SetState(StateNone);
  EXPECT_TRUE(inner.m_items.empty());
  EXPECT_EQ(ProbeCalls("a"), "Init Kill Delete");
  // A new Init reads the file again.
  nest->SetState(StateInitialized);
  EXPECT_EQ(inner.m_items.size(), 2u);
  EXPECT_EQ(ProbeCalls("a"), "Init Kill Delete Init");
  EXPECT_EQ(inner.m_ownerFx, nest);
  outer.Clear();
}

TEST_F(NestedSequence, SyncDurationTakesTheNestedFrameMax) {
  Pack({{"Data/seq/inner.seq", kInner}});
  rvSequence outer(1);
  fxSequence* nest = AddNested(outer, "seq/inner.seq", 60, 300);
  // Before any Init the nested sequence is empty: End falls onto Start.
  fxSequence::SyncDuration(nest);
  EXPECT_EQ(nest->m_end, 60);
  nest->SetState(StateInitialized);
  nest->m_onSyncDuration(nest);
  EXPECT_EQ(nest->m_end, 660);
  outer.Clear();
}

TEST_F(NestedSequence, TheNestedClockFollowsTheAppliedStep) {
  Pack({{"Data/seq/inner.seq", kInner}});
  for (float scale : {1.0f, 0.5f, 2.0f, 0.0f}) {
    SCOPED_TRACE(scale);
    rvSequence outer(1);
    fxSequence* nest = AddNested(outer, "seq/inner.seq", 30, 600, "\"TimeScale\": " + std::to_string(scale));
    for (fxBase* fx : outer.m_items) fx->SetState(StateInitialized);
    outer.StartPlaying();
    float expected = 0.0f;
    for (int frame = 0; frame < 150; ++frame) {
      outer.Update(kStep);
      if (nest->m_state != StateRunning) continue;
      expected += nest->m_appliedDelta;
      EXPECT_EQ(nest->m_sequence.m_time, expected) << frame;
      if (scale == 1.0f) {
        EXPECT_NEAR(nest->m_sequence.m_time, nest->m_localTime, 1e-5f) << frame;
      }
    }
    if (scale == 0.0f) {
      EXPECT_EQ(nest->m_sequence.m_time, 0.0f);
    } else {
      EXPECT_GT(nest->m_sequence.m_time, 1.0f);
    }
    // The nested items run on the nested clock.
    const fxBase* b = nest->m_sequence.FindItem("b");
    if (scale == 1.0f) {
      EXPECT_EQ(b->m_state, StateRunning);
      EXPECT_NEAR(b->m_localTime, nest->m_sequence.m_time - 0.5f, 1e-5f);
    }
    outer.Clear();
  }
}

TEST_F(NestedSequence, TimeSeekStartsTheNestedClockAtTheSeekOrAtItsEnd) {
  struct Case {
    const char* seek;
    float time;
  };
  // The nested frame max is 600: ten seconds.
  const Case cases[] = {{"3", 3.0f}, {"12", 10.0f}, {"0", 0.0f}, {"-2", 0.0f}};
  Pack({{"Data/seq/inner.seq", kInner}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seek);
    rvSequence outer(1);
    fxSequence* nest = AddNested(outer, "seq/inner.seq", 0, 600, std::string("\"Time Seek\": ") + c.seek);
    // Every start seeks again from the rewound clock; the seeks never add up.
    for (int round = 0; round < 2; ++round) {
      nest->SetState(StateRunning);
      EXPECT_EQ(nest->m_sequence.m_time, c.time);
      EXPECT_TRUE(nest->m_sequence.m_playing);
      for (const fxBase* fx : nest->m_sequence.m_items) EXPECT_EQ(fx->m_state, StatePrepared);
      nest->m_sequenceDelta = 0.5f;
      nest->ExternalUpdate();
      nest->SetState(StatePrepared);
    }
    outer.Clear();
  }
}

TEST_F(NestedSequence, StopHaltsTheNestedClockAndKeepsItsItemsInitialised) {
  Pack({{"Data/seq/inner.seq", kInner}});
  rvSequence outer(1);
  fxSequence* nest = AddNested(outer, "seq/inner.seq", 0, 600);
  for (fxBase* fx : outer.m_items) fx->SetState(StateInitialized);
  outer.StartPlaying();
  PlayFrames(outer, 45);
  ASSERT_EQ(nest->m_sequence.FindItem("b")->m_state, StateRunning);

  outer.StopPlaying();
  EXPECT_EQ(nest->m_state, StateInitialized);
  EXPECT_FALSE(nest->m_sequence.m_playing);
  ASSERT_EQ(nest->m_sequence.m_items.size(), 2u);
  for (const fxBase* fx : nest->m_sequence.m_items) EXPECT_EQ(fx->m_state, StateInitialized);
  EXPECT_EQ(ProbeCalls("b"), "Init Prepare Start Update Update Update Update Update Update Update Update Update Update "
                             "Update Update Update Update Update Update Stop Unprepare");
  outer.Clear();
}

TEST_F(NestedSequence, ANestedPartEndsBeforeItsWindowDoes) {
  Pack({{"Data/seq/short.seq", SeqFile({SeqItem("fxProbe", "s", 0, 60)})}});
  rvSequence outer(1);
  fxSequence* nest = AddNested(outer, "seq/short.seq", 0, 300);
  for (fxBase* fx : outer.m_items) fx->SetState(StateInitialized);
  outer.StartPlaying();
  PlayFrames(outer, 120);
  EXPECT_EQ(nest->m_state, StateRunning);
  EXPECT_FALSE(nest->m_sequence.m_playing);
  EXPECT_EQ(nest->m_sequence.m_time, 1.0f);
  EXPECT_EQ(nest->m_sequence.m_items[0]->m_state, StateInitialized);
  // The nested clock stays at its end while the effect runs on.
  PlayFrames(outer, 10);
  EXPECT_EQ(nest->m_sequence.m_time, 1.0f);
  EXPECT_TRUE(outer.m_playing);
  outer.Clear();
}

TEST_F(NestedSequence, SeekingTheParentMovesTheNestedClockByTheJump) {
  Pack({{"Data/seq/inner.seq", kInner}});
  rvSequence outer(1);
  fxSequence* nest = AddNested(outer, "seq/inner.seq", 60, 900);
  for (fxBase* fx : outer.m_items) fx->SetState(StateInitialized);
  outer.StartPlaying();
  PlayFrames(outer, 90);  // the nest has run for half a second
  const float before = nest->m_sequence.m_time;
  ASSERT_NEAR(before, 0.5f, 1e-4f);

  outer.m_time = 5.0f;
  outer.m_scrub = true;
  outer.Update(0.0f);
  EXPECT_EQ(nest->m_localTime, 4.0f);
  EXPECT_NEAR(nest->m_sequence.m_time, 4.0f, 1e-4f);
  EXPECT_EQ(nest->m_sequence.m_time, before + nest->m_appliedDelta);
  outer.Clear();
}

TEST_F(NestedSequence, AFileWithoutItemsOrMissingLeavesAnEmptyRunningClock) {
  Pack({{"Data/seq/empty.seq", "{}"}, {"Data/seq/broken.seq", "{\"Items\": [ {\"Class\": "}});
  for (const char* file : {"seq/missing.seq", "seq/empty.seq", "seq/broken.seq", "", "seq/"}) {
    SCOPED_TRACE(file);
    rvSequence outer(1);
    fxSequence* nest = AddNested(outer, file, 0, 120);
    for (fxBase* fx : outer.m_items) fx->SetState(StateInitialized);
    outer.StartPlaying();
    PlayFrames(outer, 30);
    EXPECT_TRUE(nest->m_sequence.m_items.empty());
    EXPECT_EQ(nest->m_sequence.m_ownerFx, nest);
    outer.Clear();
  }
}

TEST_F(NestedSequence, AFileThatNestsItselfIsRefusedOnce) {
  auto nest = [](const std::string& file) {
    return SeqItem("fxSequence", "nest", 0, 600, "\"Sequence File\": \"" + file + "\"");
  };
  const std::string probe = SeqItem("fxProbe", "p", 0, 600);
  Pack({{"Data/seq/self.seq", SeqFile({probe, nest("seq/self.seq")})},
        {"Data/seq/ping.seq", SeqFile({nest("seq/pong.seq")})},
        {"Data/seq/pong.seq", SeqFile({probe, nest("seq/ping.seq")})},
        {"Data/seq/folder.seq", SeqFile({nest("Data/seq/folder.seq")})}});
  struct Case {
    const char* file;
    int depth;  // nests down to the refused one
  };
  const Case cases[] = {{"seq/self.seq", 1}, {"seq/ping.seq", 2}, {"seq/folder.seq", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    LogCapture log;
    rvSequence main(1);
    ASSERT_TRUE(main.LoadSequence(c.file, true));
    EXPECT_EQ(CountOf(log.Text(), "would play inside itself"), 1) << log.Text();

    rvSequence* s = &main;
    for (int depth = 0; depth < c.depth; ++depth) {
      fxBase* fx = s->FindItem("nest");
      ASSERT_NE(fx, nullptr) << depth;
      s = &static_cast<fxSequence*>(fx)->m_sequence;
      EXPECT_EQ(s->m_items.empty(), depth + 1 == c.depth) << depth;
    }
    main.StartPlaying();
    PlayFrames(main, 5);
    main.Clear();
  }
}

// The chain an fxSequence sets up is climbed from a nested item: a texture
// slot finds a buffer of the enclosing sequence by name, and a program's
// time modes read the nested and the enclosing clock.
class NestedChain : public GLTest {};

TEST_F(NestedChain, SlotsAndTimeModesClimbThroughTheNest) {
  RegisterProbeClass();
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/inner.seq", kInner}}));
  EnterDir(dir);
  rvSequence outer(1);
  fxBase* buffer = AddItem(outer, SeqItem("fxBufferDisplay", "Buf", 0, 6000));
  ASSERT_NE(buffer, nullptr);
  fxSequence* nest = AddNested(outer, "seq/inner.seq", 60, 6000);
  nest->SetState(StateInitialized);

  TextureSlot slot;
  slot.m_effectName = "Buf";
  slot.Resolve(&nest->m_sequence);
  EXPECT_EQ(slot.m_effect, buffer);

  outer.StartPlaying();
  PlayFrames(outer, 120);
  fxBase* inner = nest->m_sequence.FindItem("b");
  ASSERT_EQ(inner->m_state, StateRunning);
  struct Case {
    int source;
    float time;
  };
  const Case cases[] = {{TimeSourceEffect, inner->m_localTime},
                        {TimeSourceSequence, nest->m_sequence.m_time},
                        {TimeSourceOuterSequence, outer.m_time}};
  rvProgram program;
  fxBase* const previous = g_pCurrentFx;
  g_pCurrentFx = inner;
  for (const Case& c : cases) {
    program.m_timeSource = c.source;
    EXPECT_EQ(program.ProgramTime(), c.time) << c.source;
  }
  g_pCurrentFx = previous;
  EXPECT_NEAR(outer.m_time - nest->m_sequence.m_time, 1.0f, 1e-4f);
  outer.Clear();
}
