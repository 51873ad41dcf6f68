// fxReference: a part B played on its own shows an effect of the sequence A
// that normally plays it. The host is the first fxSequence of A playing B,
// the source the first effect of that name overlapping the host (touching
// windows do not count); the clone carries the source's values and drivers,
// its window shifted, and its clock follows the reference's. Nested, or
// without a file, a name, a host or a source, there is no clone and every
// forwarded call does nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "application/StartupOptions.h"
#include "sequence/fxBase.h"
#include "effects/sequencing/fxDemoGlobalParams.h"
#include "effects/sequencing/fxReference.h"
#include "effects/sequencing/fxSequence.h"
#include "sequence/ClassRegistry.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"
#include "support/ProbeEffect.h"
#include "support/JsonText.h"
#include "support/SequenceText.h"
#include "support/TestPack.h"

namespace {

const float kStep = 1.0f / 60.0f;

std::string Nest(const std::string& name, const std::string& file, int start, int end) {
  return SeqItem("fxSequence", name, start, end, "\"Sequence File\": \"" + file + "\"");
}

std::string Target(int start, int end, const std::string& label, const std::string& more = "") {
  return SeqItem("fxProbe", "target", start, end, "\"Probe/Label\": \"" + label + "\"" + (more.empty() ? "" : ", " + more));
}

std::string RefItem(const std::string& file, const std::string& name, int start, int end) {
  return SeqItem("fxReference", "ref", start, end,
                 "\"Sequence File\": \"" + file + "\", \"Fx Name\": \"" + name + "\"");
}

// A key-framed value (0 at 0 s, 10 at 10 s, linear) and a per-object value.
const char* const kDriven =
    "\"TimeScale\": 1, \"Probe/Value\": 99, \"Probe/Count\": 7, \"_apAttribDrivers\": [{\"_eType\": 1, "
    "\"_attribName\": \"Probe/Value\", \"_eInterpolation\": 1, \"_aKeys\": [{\"x\": 0, \"y\": 0, \"z\": 0}, "
    "{\"x\": 10, \"y\": 10, \"z\": 0}]}]";

// A: the second host (earlier in time) must not be taken, and of the
// effects named "target" only the 900..1500 one overlaps the first host
// without merely touching it.
std::string FullSequence() {
  std::string source = Target(900, 1500, "source", kDriven);
  source.insert(source.rfind('}'), ", \"PropertiesDynamic\": {\"Dyn/Gain\": 0.25}");
  return SeqFile({Target(100, 200, "inside the second host"), Target(300, 600, "touching before"),
                  Nest("host", "Data/seq/part.seq", 600, 1200), Nest("other host", "seq/part.seq", 0, 300),
                  Target(1200, 1800, "touching after"), source, Target(1000, 1100, "later"),
                  SeqItem("fxDemoGlobalParams", "A params", 0, 3000)});
}

class Reference : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProbeClass();
    ProbeJournal().clear();
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/seq/full.seq", FullSequence()},
                                  {"Data/seq/part.seq", SeqFile({SeqItem("fxDemoGlobalParams", "B params", 0, 600),
                                                                 RefItem("seq/full.seq", "target", 0, 600)})},
                                  {"Data/seq/outer.seq", SeqFile({Nest("outer nest", "seq/part.seq", 0, 600)})},
                                  {"Data/seq/nohost.seq", SeqFile({Target(0, 600, "no host")})},
                                  {"Data/seq/broken.seq", "{\"Items\": [ {\"Class\": \"fxSequ"}}));
    EnterDir(m_dir);
  }

  // B played on its own: loaded with init, as the player loads its sequence.
  fxReference* LoadPart(rvSequence& part) {
    EXPECT_TRUE(part.LoadSequence("seq/part.seq", true));
    return static_cast<fxReference*>(part.FindItem("ref"));
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(Reference, TheRegistryHoldsBothClassesAtTheirIndices) {
  const ClassRegistry& registry = GetClassRegistry();
  ASSERT_GT(registry.size(), 5u);
  EXPECT_EQ(registry[1]->m_name, "fxSequence");
  EXPECT_EQ(registry[5]->m_name, "fxReference");
  struct Case {
    const char* cls;
    const char* attribute;
    int type;
  };
  const Case cases[] = {{"fxSequence", "Sequence File", AttrFile},
                        {"fxSequence", "Sync Duration", AttrButton},
                        {"fxSequence", "Time Seek", AttrFloat},
                        {"fxReference", "Sequence File", AttrFile},
                        {"fxReference", "Fx Name", AttrString}};
  for (const Case& c : cases) {
    const ClassDesc* desc = registry[std::string(c.cls) == "fxSequence" ? 1 : 5];
    const AttributeDesc* attribute = desc->FindAttribute(c.attribute);
    ASSERT_NE(attribute, nullptr) << c.attribute;
    EXPECT_EQ(attribute->m_type, c.type) << c.attribute;
    if (c.type == AttrFile) {
      EXPECT_EQ(attribute->m_fileFilter, ".seq");
      EXPECT_EQ(attribute->m_defaultDir, "Data/");
    }
  }
  // Their own attributes come in this order, after the base's.
  EXPECT_EQ(registry[1]->m_attributes.size(), 3u);
  EXPECT_EQ(registry[1]->m_attributes[0]->m_name, "Sequence File");
  EXPECT_EQ(registry[1]->m_attributes[2]->m_name, "Time Seek");
  EXPECT_EQ(registry[5]->m_attributes.size(), 2u);
  EXPECT_EQ(registry[5]->m_attributes[1]->m_name, "Fx Name");
}

TEST_F(Reference, TheClonesSourceIsTheFirstOverlappingEffectOfTheFirstHost) {
  rvSequence part(1);
  fxReference* ref = LoadPart(part);
  ASSERT_NE(ref, nullptr);
  ASSERT_NE(ref->m_clone, nullptr);
  auto* clone = static_cast<fxProbe*>(ref->m_clone);
  EXPECT_EQ(clone->m_classDesc->m_name, "fxProbe");
  EXPECT_EQ(clone->m_label, "source");
  EXPECT_EQ(clone->m_count, 7);
  EXPECT_EQ(clone->m_gain, 0.25f);
  EXPECT_EQ(clone->m_state, StateInitialized);
  EXPECT_EQ(clone->m_owner, nullptr);
  // Shifted by the source's distance from the host's start (900 - 600).
  EXPECT_EQ(clone->m_start, 1200);
  EXPECT_EQ(clone->m_end, 1800);
  ASSERT_EQ(clone->m_drivers.size(), 1u);
  EXPECT_EQ(clone->m_drivers[0]->GetEffect(), clone);
  EXPECT_EQ(static_cast<KeyFrameDriver*>(clone->m_drivers[0])->_aKeys.size(), 2u);
  // Only the clone was ever initialised: A's effects were read and deleted.
  EXPECT_EQ(ProbeCalls("target"), "Init Delete Delete Delete Delete Delete");
  part.Clear();
  EXPECT_EQ(ProbeCalls("target"), "Init Delete Delete Delete Delete Delete Kill Delete");
}

TEST_F(Reference, ReadingAKeepsTheLiveDemoParametersPublished) {
  rvSequence part(1);
  LoadPart(part);
  // B's parameters were initialised before the reference read A, whose
  // never-initialised parameters were deleted afterwards.
  EXPECT_EQ(g_pDemoGlobalParams, part.FindItem("B params"));
  part.Clear();
  EXPECT_NE(g_pDemoGlobalParams, nullptr);
  EXPECT_EQ(g_pDemoGlobalParams->m_state, StateNone);
}

TEST_F(Reference, TheClonesClockAndKeyedValueFollowTheReference) {
  rvSequence part(1);
  fxReference* ref = LoadPart(part);
  ASSERT_NE(ref->m_clone, nullptr);
  auto* clone = static_cast<fxProbe*>(ref->m_clone);
  part.StartPlaying();
  EXPECT_EQ(clone->m_state, StatePrepared);
  for (int frame = 0; frame < 300; ++frame) {
    part.Update(kStep);
    ASSERT_EQ(clone->m_state, StateRunning) << frame;
    EXPECT_EQ(clone->m_localTime, ref->m_localTime) << frame;
    // The driver copied with the source gives the keyed value, not the
    // stored 99.
    EXPECT_NEAR(clone->m_value, clone->m_localTime, 1e-5f) << frame;
    EXPECT_EQ(clone->m_currentDuringUpdate, clone);
  }
  EXPECT_EQ(clone->m_updates, 300);
  EXPECT_NEAR(ref->m_localTime, 5.0f, 1e-4f);

  // A seek of the part reaches the clone as the same jump.
  part.m_time = 8.0f;
  part.m_scrub = true;
  part.Update(0.0f);
  EXPECT_EQ(clone->m_localTime, 8.0f);
  EXPECT_NEAR(clone->m_value, 8.0f, 1e-5f);

  part.StopPlaying();
  EXPECT_EQ(clone->m_state, StateInitialized);
  part.Clear();
}

TEST_F(Reference, KillAndANewInitBuildAFreshClone) {
  rvSequence part(1);
  fxReference* ref = LoadPart(part);
  ref->SetState(StateNone);
  EXPECT_EQ(ref->m_clone, nullptr);
  ref->SetState(StateInitialized);
  ASSERT_NE(ref->m_clone, nullptr);
  EXPECT_EQ(static_cast<fxProbe*>(ref->m_clone)->m_label, "source");
  // Two clones initialised; A was read twice (five deleted copies each).
  const std::string calls = ProbeCalls("target");
  EXPECT_EQ(calls, "Init Delete Delete Delete Delete Delete Kill Delete Init Delete Delete Delete Delete Delete");
  part.Clear();
}

TEST_F(Reference, WithoutAUsableSourceThereIsNoCloneAndNothingIsForwarded) {
  struct Case {
    const char* what;
    std::string file;
    std::string name;
  };
  const Case cases[] = {
      {"no file", "", "target"},
      {"no name", "seq/full.seq", ""},
      {"missing file", "seq/missing.seq", "target"},
      {"broken file", "seq/broken.seq", "target"},
      {"no effect of that name", "seq/full.seq", "nothing"},
      {"no host in the file", "seq/nohost.seq", "target"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rvSequence part(1);
    part.m_path = "seq/part.seq";
    fxBase* fx = CreateFxFromJson(GetClassRegistry(), ParseJson(RefItem(c.file, c.name, 0, 600)), &part);
    ASSERT_NE(fx, nullptr);
    part.AppendItem(fx);
    auto* ref = static_cast<fxReference*>(fx);
    ProbeJournal().clear();
    part.StartPlaying();
    for (int frame = 0; frame < 20; ++frame) part.Update(kStep);
    ref->Seek(1.0f, 1.0f, 1.0f);
    std::string name = "Name";
    ref->RenameAttribute(name);
    ref->OnAttributeLoaded(ref->m_classDesc->FindAttribute("Fx Name"));
    ref->OnAttributeEdited(ref->m_classDesc->FindAttribute("Fx Name"));
    EXPECT_EQ(ref->m_clone, nullptr);
    EXPECT_EQ(ref->m_state, StateRunning);
    EXPECT_EQ(ProbeCalls("target").find("Init"), std::string::npos);
    part.Clear();
  }
}

TEST_F(Reference, InsideANestedPartThereIsNoClone) {
  rvSequence outer(1);
  ASSERT_TRUE(outer.LoadSequence("seq/outer.seq", true));
  auto* nest = static_cast<fxSequence*>(outer.FindItem("outer nest"));
  ASSERT_NE(nest, nullptr);
  auto* ref = static_cast<fxReference*>(nest->m_sequence.FindItem("ref"));
  ASSERT_NE(ref, nullptr);
  EXPECT_EQ(ref->m_clone, nullptr);
  outer.StartPlaying();
  for (int frame = 0; frame < 30; ++frame) outer.Update(kStep);
  EXPECT_EQ(ref->m_state, StateRunning);
  EXPECT_EQ(ref->m_clone, nullptr);
  EXPECT_EQ(ProbeCalls("target").find("Init"), std::string::npos);
  outer.Clear();
}

TEST_F(Reference, TheDefaultFileIsTheApplicationsSequence) {
  const std::string saved = g_sequencePath;
  g_sequencePath = "seq/full.seq";
  ClassDesc* desc = GetClassRegistry()[5];
  std::unique_ptr<fxBase> ref(desc->m_create(desc));
  EXPECT_EQ(static_cast<fxReference*>(ref.get())->m_sequenceFile, "seq/full.seq");
  EXPECT_TRUE(static_cast<fxReference*>(ref.get())->m_fxName.empty());
  g_sequencePath = saved;
}
