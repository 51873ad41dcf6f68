// fxReference: a part B played on its own shows an effect of the sequence A
// that normally plays it. The host is the first fxSequence of A playing B,
// the source the first effect of that name overlapping the host (touching
// windows do not count); the clone carries the source's values and drivers,
// its window shifted, and its clock follows the reference's. Nested, or
// without a file, a name, a host or a source, there is no clone and every
// forwarded call does nothing. The clone registers per-object attributes
// of its own (a shader's annotations too), so nothing of it points into the
// temporary sequence it was read from: hostile windows are clamped, the
// sample production's references and its part played alone run on the
// clone's own attributes, and the pixels show the copied values.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "application/StartupOptions.h"
#include "effects/sequencing/fxDemoGlobalParams.h"
#include "effects/sequencing/fxReference.h"
#include "effects/sequencing/fxSequence.h"
#include "effects/shaders/fxShader.h"
#include "production/ProductionClasses.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "sequence/fxBase.h"
#include "sequence/ClassRegistry.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"
#include "support/DefaultTargetFixture.h"
#include "support/ProbeEffect.h"
#include "support/JsonText.h"
#include "support/SequenceText.h"
#include "support/TestPack.h"

namespace fs = std::filesystem;

namespace {

const float kStep = 1.0f / 60.0f;

// The clone's per-object description lists its class's shared descriptors
// first, then only descriptors it owns, each name once; every driver is the
// clone's and writes to the descriptor the clone finds by that name. A
// descriptor borrowed from the source would die with the sequence the
// source was read from.
void ExpectOwnsItsAttributes(const fxBase* clone) {
  ASSERT_FALSE(clone->m_classDesc->IsShared());
  const auto* own = static_cast<const InstanceClassDesc*>(clone->m_classDesc);
  const ClassDesc* shared = own->SharedDesc();
  ASSERT_TRUE(shared->IsShared());
  ASSERT_GE(own->m_attributes.size(), shared->m_attributes.size());
  std::set<std::string> names;
  for (size_t i = 0; i < own->m_attributes.size(); ++i) {
    const AttributeDesc* attribute = own->m_attributes[i];
    if (i < shared->m_attributes.size()) {
      EXPECT_EQ(attribute, shared->m_attributes[i]) << i;
    } else {
      EXPECT_TRUE(own->Owns(attribute)) << "borrowed: " << attribute->m_name;
    }
    EXPECT_TRUE(names.insert(attribute->m_name).second) << attribute->m_name << " listed twice";
  }
  for (const NoneDriver* driver : clone->m_drivers) {
    EXPECT_EQ(driver->GetEffect(), clone);
    EXPECT_EQ(own->FindAttribute(driver->GetAttribute()->m_name), driver->GetAttribute());
  }
}

// The values an effect keeps in per-object descriptions, and its drivers, as
// JSON: what a reference must carry over.
Json::Value PerObjectState(const fxBase* fx) {
  Json::Value state(Json::objectValue);
  for (const ClassDesc* level = fx->m_classDesc; level; level = level->m_parent) {
    if (level->IsShared()) continue;
    for (const AttributeDesc* attribute : level->m_attributes) fx->SaveAttribute(state["values"], attribute);
  }
  fx->SaveDrivers(state);
  return state;
}

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

// The copy of an effect with a per-object attribute and a driver on it: the
// attribute and the driver's target are the copy's own, and the copy keeps
// working once the source is gone.
TEST_F(Reference, TheCopyOwnsItsPerObjectAttributesAndOutlivesTheSource) {
  const std::string drivenGain =
      "\"_apAttribDrivers\": [{\"_eType\": 1, \"_attribName\": \"Dyn/Gain\", \"_eInterpolation\": 1, "
      "\"_aKeys\": [{\"x\": 0, \"y\": 0, \"z\": 0}, {\"x\": 10, \"y\": 10, \"z\": 0}]}]";
  std::unique_ptr<fxBase> source(
      CreateFxFromJson(GetClassRegistry(), ParseJson(Target(0, 600, "source", drivenGain)), nullptr));
  ASSERT_NE(source, nullptr);
  ASSERT_EQ(source->m_drivers.size(), 1u);
  std::unique_ptr<fxBase> clone(fxReference::CopyEffect(source.get()));
  ASSERT_NE(clone, nullptr);
  ExpectOwnsItsAttributes(clone.get());
  const AttributeDesc* gain = clone->m_classDesc->FindAttribute("Dyn/Gain");
  EXPECT_NE(gain, source->m_classDesc->FindAttribute("Dyn/Gain"));
  ASSERT_EQ(clone->m_drivers.size(), 1u);
  EXPECT_EQ(clone->m_drivers[0]->GetAttribute(), gain);

  source.reset();
  clone->m_localTime = 4.0f;
  clone->ApplyDrivers();
  EXPECT_NEAR(static_cast<fxProbe*>(clone.get())->m_gain, 4.0f, 1e-5f);
}

// Windows near the ends of the frame range: the shift by the source's
// distance from the host's start, and the moved bounds, stop at the range.
TEST_F(Reference, TheWindowShiftIsClampedToTheFrameRange) {
  struct Case {
    const char* what;
    int hostStart, hostEnd, sourceStart, sourceEnd;
    int cloneStart, cloneEnd;
  };
  const Case cases[] = {
      {"past the top", -2147483000, INT_MAX, 2147483000, INT_MAX, INT_MAX, INT_MAX},
      {"past the bottom", INT_MAX - 10, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MIN + 10},
      {"inside the range", 100, 700, 400, 1000, 700, 1300},
  };
  // Every case has its own A and part; the pack is read only once built.
  PackFiles files;
  for (const Case& c : cases) {
    const std::string a = std::string("seq/") + c.what + ".seq", part = std::string("seq/") + c.what + " part.seq";
    files["Data/" + a] = SeqFile({Nest("host", part, c.hostStart, c.hostEnd), Target(c.sourceStart, c.sourceEnd, "edge")});
    files["Data/" + part] = SeqFile({RefItem(a, "target", 0, 600)});
  }
  ASSERT_TRUE(BuildPack(m_dir, files));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rvSequence part(1);
    ASSERT_TRUE(part.LoadSequence(std::string("seq/") + c.what + " part.seq", true));
    const fxBase* clone = static_cast<fxReference*>(part.FindItem("ref"))->m_clone;
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->m_start, c.cloneStart);
    EXPECT_EQ(clone->m_end, c.cloneEnd);
    part.Clear();
  }
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
  EXPECT_EQ(static_cast<fxProbe*>(ref->m_clone)->m_gain, 0.25f);
  ExpectOwnsItsAttributes(ref->m_clone);
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

//-----------------------------------------------------------------------------
// Clones of shader effects, drawn

namespace {

// Reads one pixel of a render target's colour framebuffer.
Rgba8 TargetPixel(RenderTarget& target, int x, int y) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, target.m_colorFramebuffer->GL()->m_framebuffer);
  std::vector<uint8_t> pixel(4);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
  return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

// Plays a sequence for a number of frames at 60 per second.
void Play(rvSequence& sequence, int frames) {
  for (int frame = 0; frame < frames; ++frame) sequence.Update(kStep);
}

const char* const kLevelShader =
    "SHADER_HEADER\n"
    "out vec4 fragColor;\n"
    "uniform float uLevel; // |ATTR=Level|MIN=0|MAX=1|0.25\n"
    "void main() { fragColor = vec4(uLevel, 0.0, 0.0, 1.0); }\n";

std::string LevelShader(const std::string& name, const std::string& more) {
  return SeqItem("fxShader", name, 0, 600,
                 "\"FadeIn\": 0, \"FadeOut\": 0, \"Shaders/Fragment\": \"shader/level.fs\", "
                 "\"Shaders/Vertex\": \"\"" + more);
}

// A: each part has a host; "keyed" drives its uniform attribute from 0 at
// 0 s to 1 at 10 s, "stored" holds 0.75 as a per-object value.
std::string ShaderSequence() {
  std::string stored = LevelShader("stored", "");
  stored.insert(stored.rfind('}'), ", \"PropertiesDynamic\": {\"Level\": 0.75}");
  return SeqFile({Nest("keyed host", "seq/keyed.seq", 0, 600), Nest("stored host", "seq/stored.seq", 0, 600),
                  LevelShader("keyed", ", \"_apAttribDrivers\": [{\"_eType\": 1, \"_attribName\": \"Level\", "
                                       "\"_eInterpolation\": 1, \"_aKeys\": [{\"x\": 0, \"y\": 0, \"z\": 0}, "
                                       "{\"x\": 10, \"y\": 1, \"z\": 0}]}]"),
                  stored});
}

class ShaderReference : public DefaultTargetTest {
 protected:
  ShaderReference() : DefaultTargetTest(64, 64) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/shader/level.fs", kLevelShader},
                                  {"Data/seq/full.seq", ShaderSequence()},
                                  {"Data/seq/keyed.seq", SeqFile({RefItem("seq/full.seq", "keyed", 0, 600)})},
                                  {"Data/seq/stored.seq", SeqFile({RefItem("seq/full.seq", "stored", 0, 600)})}}));
    EnterDir(m_dir);
  }
  TempDir m_dir;
};

}  // namespace

// The part played on its own draws the copied shader with the keyed value
// of its uniform at the part's time, or with the stored one; after Kill and
// Init a fresh clone draws the same way.
TEST_F(ShaderReference, TheCloneDrawsTheKeyedOrStoredUniformValue) {
  struct Case {
    const char* part;
    int redAt2s, redAt3s;  // 255 x the uniform's value
  };
  const Case cases[] = {{"seq/keyed.seq", 51, 77}, {"seq/stored.seq", 191, 191}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    ASSERT_TRUE(m_sequence.LoadSequence(c.part, true));
    auto* ref = static_cast<fxReference*>(m_sequence.FindItem("ref"));
    ASSERT_NE(ref->m_clone, nullptr);
    ASSERT_TRUE(ref->m_clone->IsKindOf("fxShader"));
    EXPECT_EQ(static_cast<fxShader*>(ref->m_clone)->ErrorText(), "");
    ExpectOwnsItsAttributes(ref->m_clone);
    m_sequence.StartPlaying();
    Play(m_sequence, 120);
    EXPECT_TRUE(PixelNear(TargetPixel(g_defaultRenderTarget, 32, 32), {uint8_t(c.redAt2s), 0, 0, 255}, 3));

    // The first clone drawn full red from now on; Kill, then Init again on the
    // next frame, reads A again into a fresh clone.
    ref->m_clone->ClearDrivers();
    ref->m_clone->m_classDesc->FindAttribute("Level")->Value<float>(ref->m_clone) = 1.0f;
    ref->m_reInit = true;
    Play(m_sequence, 60);
    ASSERT_NE(ref->m_clone, nullptr);
    ExpectOwnsItsAttributes(ref->m_clone);
    EXPECT_TRUE(PixelNear(TargetPixel(g_defaultRenderTarget, 32, 32), {uint8_t(c.redAt3s), 0, 0, 255}, 3));
    m_sequence.Clear();
  }
}

//-----------------------------------------------------------------------------
// The sample production's references

namespace {

class SampleReference : public DefaultTargetTest {
 protected:
  SampleReference() : DefaultTargetTest(64, 64) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    RegisterProductionClasses(GetClassRegistry());
    const fs::path root = fs::path(VELMORA_SOURCE_DIR) / "demo" / "Data";
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      m_files["Data/" + fs::relative(entry.path(), root).generic_string()] = ReadTextFile(entry.path().string());
    }
  }
  void Pack() {
    ASSERT_TRUE(BuildPack(m_dir, m_files));
    EnterDir(m_dir);
  }
  PackFiles m_files;
  TempDir m_dir;
};

}  // namespace

// For each class whose effects in the production carry per-object
// attributes, one of its effects (one with stored per-object values when
// there is such) is referenced from a part hosted in a copy of the
// production: the clone holds the source's per-object values and drivers,
// on attributes of its own.
TEST_F(SampleReference, EachClassWithPerObjectAttributesIsCopiedOntoItsOwn) {
  Json::Value production = ParseJson(m_files["Data/seq/_DemoFull_.seq"]);
  std::map<std::string, std::string> chosen;  // class -> effect name
  for (const Json::Value& item : production["Items"]) {
    const std::string cls = item["Class"].asString();
    if (!chosen.count(cls) || item.isMember("PropertiesDynamic")) chosen[cls] = item["Properties"]["Name"].asString();
  }
  std::vector<std::string> refs;
  std::set<std::string> perObjectClasses;
  for (ClassDesc* desc : GetClassRegistry()) {
    if (!chosen.count(desc->m_name)) continue;
    std::unique_ptr<fxBase> fx(desc->m_create(desc));
    if (fx->m_classDesc->IsShared()) continue;
    perObjectClasses.insert(desc->m_name);
    refs.push_back(RefItem("seq/hosted.seq", chosen[desc->m_name], 0, 600));
  }
  EXPECT_EQ(perObjectClasses, std::set<std::string>{"fxShader"});
  production["Items"].append(ParseJson(Nest("test host", "seq/refs.seq", 0, 100000)));
  m_files["Data/seq/hosted.seq"] = Json::writeString(Json::StreamWriterBuilder(), production);
  m_files["Data/seq/refs.seq"] = SeqFile(refs);
  Pack();

  ASSERT_TRUE(m_sequence.LoadSequence("seq/refs.seq", true));
  ASSERT_EQ(m_sequence.m_items.size(), refs.size());
  // The sources, read as a reference reads them, kept for comparing.
  rvSequence a(0);
  ASSERT_TRUE(a.LoadSequence("seq/hosted.seq", false));
  for (const fxBase* item : m_sequence.m_items) {
    const auto* ref = static_cast<const fxReference*>(item);
    SCOPED_TRACE(ref->m_fxName);
    ASSERT_NE(ref->m_clone, nullptr);
    ExpectOwnsItsAttributes(ref->m_clone);
    const Json::Value state = PerObjectState(ref->m_clone);
    EXPECT_FALSE(state["values"].empty());
    EXPECT_FALSE(state["_apAttribDrivers"].empty());
    EXPECT_EQ(state, PerObjectState(a.FindItem(ref->m_fxName)));
  }
  a.Clear();
  m_sequence.StartPlaying();
  Play(m_sequence, 30);
  m_sequence.Clear();
}

// The production's own part, played as the top-level sequence: its
// reference copies the rings of the production and drives the copy's own
// uniform attributes by the copied drivers, frame after frame.
TEST_F(SampleReference, TheRingsPartPlayedAloneDrivesItsOwnCopyOfTheRings) {
  Pack();
  ASSERT_TRUE(m_sequence.LoadSequence("seq/rings_part.seq", true));
  auto* ref = static_cast<fxReference*>(m_sequence.FindItem("rings echo"));
  ASSERT_NE(ref, nullptr);
  ASSERT_NE(ref->m_clone, nullptr);
  fxBase* clone = ref->m_clone;
  EXPECT_EQ(clone->m_name, "rings");
  EXPECT_EQ(static_cast<fxShader*>(clone)->ErrorText(), "");
  ExpectOwnsItsAttributes(clone);
  EXPECT_EQ(clone->m_drivers.size(), 4u);

  m_sequence.StartPlaying();
  Play(m_sequence, 120);
  ASSERT_EQ(clone->m_state, StateRunning);
  // "Hue" is keyed linearly from 0 at 0 s to 0.85 at 17 s.
  const AttributeDesc* hue = clone->m_classDesc->FindAttribute("Hue");
  ASSERT_NE(hue, nullptr);
  EXPECT_NEAR(hue->Value<float>(clone), 0.85f * clone->m_localTime / 17.0f, 1e-4f);
  EXPECT_NEAR(clone->m_localTime, 2.0f, 1e-4f);

  ref->SetState(StateNone);
  EXPECT_EQ(ref->m_clone, nullptr);
  ref->SetState(StateInitialized);
  ASSERT_NE(ref->m_clone, nullptr);
  ExpectOwnsItsAttributes(ref->m_clone);
  m_sequence.Clear();
}
