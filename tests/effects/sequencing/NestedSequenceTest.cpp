// fxSequence: a sequence file played as one effect. Its clock follows the
// applied step of the effect, Time Seek moves it on every start, Stop and
// Kill bring the nested items down, a nested part can end before its window,
// a file that nests itself is refused (under any spelling of its path),
// the nested sequences a production opens are bounded in number and depth,
// and the owner chain it sets up is what texture slots and shader time
// modes climb.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

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

namespace {

std::string NestItem(const std::string& name, const std::string& file) {
  return SeqItem("fxSequence", name, 0, 600, "\"Sequence File\": \"" + file + "\"");
}

// Spellings the pack opens as the one file Data/seq/self.seq (as JSON text:
// a backslash is written twice).
const char* const kSelfSpellings[] = {"seq/self.seq",        "seq//self.seq",      "/seq/self.seq",
                                      "seq\\\\self.seq",     "seq///self.seq",     "Data/seq/self.seq",
                                      "Data//seq/self.seq",  "data\\\\seq\\\\self.seq", "//seq\\\\/self.seq/"};

}  // namespace

// Nested under every other spelling of its own path, a file is refused at
// once each time, one line each: no spelling plays it again.
TEST_F(NestedSequence, AFileIsKnownAboveHoweverItsPathIsSpelled) {
  std::vector<std::string> items = {SeqItem("fxProbe", "p", 0, 600)};
  for (const char* spelling : kSelfSpellings) items.push_back(NestItem(spelling, spelling));
  Pack({{"Data/seq/self.seq", SeqFile(items)}});
  const size_t count = sizeof kSelfSpellings / sizeof kSelfSpellings[0];
  for (const char* top : {"seq/self.seq", "seq//self.seq", "/seq/self.seq", "seq\\self.seq"}) {
    SCOPED_TRACE(top);
    ProbeJournal().clear();
    LogCapture log;
    rvSequence main(1);
    ASSERT_TRUE(main.LoadSequence(top, true));
    ASSERT_EQ(main.m_items.size(), count + 1);
    EXPECT_EQ(CountOf(log.Text(), "would play inside itself"), int(count)) << log.Text();
    EXPECT_EQ(fxSequence::OpenNestedCount(), 0);
    for (const fxBase* fx : main.m_items) {
      if (!fx->IsKindOf("fxSequence")) continue;
      EXPECT_TRUE(static_cast<const fxSequence*>(fx)->m_sequence.m_items.empty()) << fx->m_name;
    }
    EXPECT_EQ(ProbeCalls("p"), "Init");
    main.Clear();
  }
}

// The whole chain of owners is searched: a file nesting a file that nests
// the first under another spelling ends there, and so does one naming
// itself; a third file plays.
TEST_F(NestedSequence, AFileOpenFurtherUpTheChainIsRefusedUnderAnySpelling) {
  Pack({{"Data/seq/a.seq", SeqFile({NestItem("to b", "seq/b.seq")})},
        {"Data/seq/b.seq", SeqFile({NestItem("to a", "seq//a.seq"), NestItem("to b", "seq\\\\b.seq"),
                                    NestItem("to c", "/seq/c.seq")})},
        {"Data/seq/c.seq", SeqFile({SeqItem("fxProbe", "c", 0, 600)})}});
  LogCapture log;
  rvSequence main(1);
  ASSERT_TRUE(main.LoadSequence("Data/seq/a.seq", true));
  EXPECT_EQ(CountOf(log.Text(), "would play inside itself"), 2) << log.Text();
  EXPECT_EQ(fxSequence::OpenNestedCount(), 2);
  const rvSequence& b = static_cast<fxSequence*>(main.FindItem("to b"))->m_sequence;
  ASSERT_EQ(b.m_items.size(), 3u);
  EXPECT_TRUE(static_cast<fxSequence*>(b.m_items[0])->m_sequence.m_items.empty());
  EXPECT_TRUE(static_cast<fxSequence*>(b.m_items[1])->m_sequence.m_items.empty());
  EXPECT_EQ(static_cast<fxSequence*>(b.m_items[2])->m_sequence.m_items.size(), 1u);
  main.StartPlaying();
  PlayFrames(main, 5);
  EXPECT_EQ(ProbeCalls("c"), "Init Prepare Start Update Update Update Update Update");
  main.Clear();
  EXPECT_EQ(fxSequence::OpenNestedCount(), 0);
}

namespace {

// Files <prefix>0 .. <prefix><n-1>: each plays the next `fanOut` times; the
// last holds a probe named "leaf".
PackFiles FanOut(int levels, int fanOut, const std::string& prefix = "level") {
  PackFiles files;
  for (int level = 0; level < levels; ++level) {
    std::vector<std::string> items;
    if (level + 1 == levels) items.push_back(SeqItem("fxProbe", "leaf", 0, 600));
    for (int i = 0; level + 1 < levels && i < fanOut; ++i)
      items.push_back(NestItem("nest", "seq/" + prefix + std::to_string(level + 1) + ".seq"));
    files["Data/seq/" + prefix + std::to_string(level) + ".seq"] = SeqFile(items);
  }
  return files;
}

}  // namespace

// Five files, each playing the next ten times, would open ten thousand
// sequences: opening stops at the bound, with one line, and what was opened
// plays; closing the production gives every place back.
TEST_F(NestedSequence, TheNestedSequencesOpenAtOnceAreBounded) {
  Pack(FanOut(5, 10));
  LogCapture log;
  rvSequence main(1);
  ASSERT_TRUE(main.LoadSequence("seq/level0.seq", true));
  EXPECT_EQ(fxSequence::OpenNestedCount(), fxSequence::kMaxOpenNested);
  EXPECT_EQ(CountOf(log.Text(), "[fxSequence] nest: \"seq/level"), 1) << log.Text().substr(0, 2000);
  EXPECT_TRUE(log.Contains("would open more than 512 nested sequences, left empty\n"));
  const int leaves = CountOf(ProbeCalls("leaf"), "Init");
  EXPECT_GT(leaves, 0);
  EXPECT_LT(leaves, fxSequence::kMaxOpenNested);
  main.StartPlaying();
  PlayFrames(main, 3);
  EXPECT_EQ(CountOf(ProbeCalls("leaf"), "Update"), 3 * leaves);
  main.Clear();
  EXPECT_EQ(fxSequence::OpenNestedCount(), 0);

  // A production loaded afterwards gets its own places and its own line.
  LogCapture again;
  ASSERT_TRUE(main.LoadSequence("seq/level0.seq", true));
  EXPECT_EQ(fxSequence::OpenNestedCount(), fxSequence::kMaxOpenNested);
  EXPECT_TRUE(again.Contains("would open more than 512 nested sequences"));
  main.Clear();
}

// Distinct files, each nesting the next: a chain of two hundred plays to its
// last file; one deeper than the bound stops there, with one line.
TEST_F(NestedSequence, AChainOfDistinctFilesPlaysUpToTheDepthBound) {
  struct Case {
    const char* prefix;
    int files;
    int opened;  // nested sequences opened below the main one
    bool refused;
  };
  const Case cases[] = {{"chain", 200, 199, false},
                        {"deep", fxSequence::kMaxNestingDepth + 40, fxSequence::kMaxNestingDepth, true}};
  PackFiles files;
  for (const Case& c : cases) files.merge(FanOut(c.files, 1, c.prefix));
  Pack(files);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prefix);
    ProbeJournal().clear();
    LogCapture log;
    rvSequence main(1);
    ASSERT_TRUE(main.LoadSequence(std::string("seq/") + c.prefix + "0.seq", true));
    EXPECT_EQ(fxSequence::OpenNestedCount(), c.opened);
    EXPECT_EQ(CountOf(log.Text(), "nested deeper than 256 levels, left empty\n"), c.refused ? 1 : 0);
    main.StartPlaying();
    PlayFrames(main, 2);
    EXPECT_EQ(ProbeCalls("leaf"), c.refused ? "" : "Init Prepare Start Update Update");
    main.Clear();
    EXPECT_EQ(fxSequence::OpenNestedCount(), 0);
  }
}

// Start + the nested frame max is clamped to the frame range.
TEST_F(NestedSequence, SyncDurationStopsAtTheEndOfTheFrameRange) {
  Pack({{"Data/seq/inner.seq", kInner}});  // frame max 600
  struct Case {
    int start;
    int end;
  };
  const Case cases[] = {{INT_MAX - 100, INT_MAX}, {INT_MAX - 600, INT_MAX}, {INT_MAX - 601, INT_MAX - 1},
                        {INT_MIN, INT_MIN + 600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    rvSequence outer(1);
    fxSequence* nest = AddNested(outer, "seq/inner.seq", c.start, c.start);
    nest->SetState(StateInitialized);
    ASSERT_EQ(nest->m_sequence.GetFrameMax(), 600);
    fxSequence::SyncDuration(nest);
    EXPECT_EQ(nest->m_end, c.end);
    outer.Clear();
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
