// The sample production as a viewer gets it: the built pack played by the
// built player on a screen of its own, at fixed 1/60 s steps.
//
// Screenshots cannot be timed to a frame from outside, so the pictures
// carry their own time: the test repacks the production with one more
// effect at the end of its list, a strip of cells in the bottom-left corner
// that spells the frame number in binary. Every screenshot then says which
// frame it shows, and the checks on it are chosen by that frame.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <json/json.h>

#include "Loader/DataPack.h"
#include "application/Application.h"
#include "effects/music/MusicDecoder.h"
#include "sequence/fxBase.h"
#include "effects/music/fxMusic.h"
#include "effects/sequencing/fxReference.h"
#include "effects/sequencing/fxSequence.h"
#include "effects/shaders/fxShader.h"
#include "production/ProductionClasses.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "sequence/ClassRegistry.h"
#include "sequence/Driver.h"
#include "sequence/rvSequence.h"
#include "support/GLFixture.h"
#include "support/PlayerRun.h"
#include "support/PrivateScreen.h"
#include "support/TestPack.h"
#include "support/JsonText.h"

namespace fs = std::filesystem;

namespace {

const char* const kSequencePath = "seq/_DemoFull_.seq";
const char* const kSequenceEntry = "Data/seq/_DemoFull_.seq";
const char* const kTimecodeEntry = "Data/shader/test/timecode.fs";
constexpr int kSoundtrackFrames = 108 * 60;  // the 108 s soundtrack at 60 frames per second

// Cells of kCell x kCell pixels along the bottom edge: a white and a black
// marker, then the frame number's bits, lowest first.
constexpr int kCell = 6;
constexpr int kFrameBits = 13;
const char* const kTimecodeShader =
    "SHADER_HEADER\n"
    "out vec4 fragColor;\n"
    "void main()\n"
    "{\n"
    "  vec2 cell = floor(gl_FragCoord.xy / 6.0);\n"
    "  if (cell.y > 0.0 || cell.x > 14.0) discard;\n"
    "  int frame = int(floor(iTime * 60.0 + 0.5));\n"
    "  int index = int(cell.x);\n"
    "  float lit = index == 0 ? 1.0 : index == 1 ? 0.0 : float((frame >> (index - 2)) & 1);\n"
    "  fragColor = vec4(vec3(lit), 1.0);\n"
    "}\n";

//-----------------------------------------------------------------------------
// Screenshots
//-----------------------------------------------------------------------------

bool IsLit(const Rgb& c) { return c.Luma() > 160; }
bool IsDark(const Rgb& c) { return c.Luma() < 90; }

// The frame number spelled by the bottom-left cells, or -1 when the markers
// are not there (loading screen, no window yet, player gone).
int ReadTimecode(const Shot& shot) {
  if (shot.rgb.empty()) return -1;
  const int y = shot.height - 1 - kCell / 2;
  auto cell = [&](int i) { return shot.At(i * kCell + kCell / 2, y); };
  if (!IsLit(cell(0)) || !IsDark(cell(1))) return -1;
  int frame = 0;
  for (int bit = 0; bit < kFrameBits; ++bit) {
    const Rgb c = cell(2 + bit);
    if (IsLit(c)) {
      frame |= 1 << bit;
    } else if (!IsDark(c)) {
      return -1;
    }
  }
  return frame;
}

// Averages over a rectangle given in fractions of the picture. The timecode
// strip is left out.
struct Region {
  double r = 0, g = 0, b = 0, luma = 0;
  double darkShare = 0;    // luma below 30
  double colouredShare = 0;  // clearly tinted, not grey or black
  double warmShare = 0;    // bright orange: lanterns, sun
};

Region Measure(const Shot& shot, double x0, double y0, double x1, double y1) {
  Region m;
  const int ix0 = int(x0 * shot.width), ix1 = int(x1 * shot.width);
  const int iy0 = int(y0 * shot.height), iy1 = std::min(int(y1 * shot.height), shot.height - kCell);
  long count = 0;
  for (int y = iy0; y < iy1; ++y) {
    for (int x = ix0; x < ix1; ++x) {
      const Rgb c = shot.At(x, y);
      const int hi = std::max({c.r, c.g, c.b}), lo = std::min({c.r, c.g, c.b});
      m.r += c.r;
      m.g += c.g;
      m.b += c.b;
      m.luma += c.Luma();
      m.darkShare += c.Luma() < 30;
      m.colouredShare += hi > 60 && hi - lo > 30;
      m.warmShare += c.r > 150 && c.r > c.b + 70;
      ++count;
    }
  }
  if (count == 0) return m;
  for (double* v : {&m.r, &m.g, &m.b, &m.luma, &m.darkShare, &m.colouredShare, &m.warmShare}) *v /= double(count);
  return m;
}

// Share of pixels (outside the timecode strip) that differ between shots.
double ChangedShare(const Shot& a, const Shot& b) {
  long changed = 0, count = 0;
  for (int y = 0; y < a.height - kCell; ++y) {
    for (int x = 0; x < a.width; ++x, ++count) {
      const Rgb p = a.At(x, y), q = b.At(x, y);
      changed += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > 12;
    }
  }
  return count ? double(changed) / double(count) : 0.0;
}

//-----------------------------------------------------------------------------
// The built pack in a temporary directory, optionally repacked with the
// timecode effect.
//-----------------------------------------------------------------------------

void CopyBuiltPack(const TempDir& dir) {
  fs::copy_file(VELMORA_PACK_PATH, fs::path(dir.Path()) / "Velmora-Pinvale.sts",
                fs::copy_options::overwrite_existing);
}

// The production's sequence as packed, read the way the player reads it.
// The reading process mounts the pack in `dir` for the rest of the test.
Json::Value PackedSequence(const TempDir& dir) {
  EnterDir(dir);
  int size = 0;
  FileBuffer bytes = DataPack::Get().ReadFile(kSequencePath, size);
  return bytes ? ParseJson(std::string(bytes.get(), size_t(size))) : Json::Value();
}

int LastFrame(const Json::Value& sequence) {
  int last = 0;
  for (const Json::Value& item : sequence["Items"]) {
    const Json::Value& end = item["Properties"]["End"];
    if (end.isInt()) last = std::max(last, end.asInt());
  }
  return last;
}

// Adds the timecode effect as the last item, drawing into the screen after
// everything else, over the whole run (the run's end does not move).
bool AddTimecode(const TempDir& dir, Json::Value sequence) {
  Json::Value item;
  item["Class"] = "fxShader";
  Json::Value& props = item["Properties"];
  props["Name"] = "timecode";
  props["Start"] = 0;
  props["End"] = LastFrame(sequence);
  props["FadeIn"] = 0.0;
  props["FadeOut"] = 0.0;
  props["TimeMode"] = 1;  // the sequence's clock
  props["Shaders/Fragment"] = "shader/test/timecode.fs";
  props["Shaders/Vertex"] = "";
  sequence["Items"].append(item);
  // zip replaces the two entries of the copied pack in place.
  return BuildPack(dir, {{kSequenceEntry, Json::writeString(Json::StreamWriterBuilder(), sequence)},
                         {kTimecodeEntry, kTimecodeShader}});
}

// The built pack in `dir`, with the timecode added to its sequence.
bool CopyTimecodedPack(const TempDir& dir) {
  CopyBuiltPack(dir);
  return AddTimecode(dir, PackedSequence(dir));
}

PlayerOptions FixedStepOptions(const PrivateScreen& screen) {
  PlayerOptions options;
  options.env = {"DISPLAY=" + screen.Display(), "VELMORA_FIXED_STEP=1", "SDL_AUDIODRIVER=dummy"};
  options.timeoutSeconds = 840.0;
  return options;
}

// Screenshots from the moment the hook runs until `done` says so or the
// player stops showing frames for a while after it has shown some.
std::vector<Shot> ShootUntil(const PrivateScreen& screen, const std::function<bool(const Shot&)>& done) {
  std::vector<Shot> shots;
  const auto start = std::chrono::steady_clock::now();
  auto lastFrame = start;
  bool seenFrame = false;
  for (;;) {
    Shot shot = Grab(screen);
    shot.frame = ReadTimecode(shot);
    const auto now = std::chrono::steady_clock::now();
    if (shot.frame >= 0) {
      seenFrame = true;
      lastFrame = now;
    }
    const bool finished = !shot.rgb.empty() && done(shot);
    if (!shot.rgb.empty()) shots.push_back(std::move(shot));
    if (finished) break;
    if (seenFrame && now - lastFrame > std::chrono::seconds(3)) break;  // the player has ended
    if (now - start > std::chrono::seconds(780)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // leave the player most of the machine
  }
  return shots;
}


}  // namespace

//-----------------------------------------------------------------------------
// The sequence itself
//-----------------------------------------------------------------------------

// Unknown classes, attributes and drivers are skipped without a word when a
// sequence loads, so a misspelt key would silently drop part of the show.
// Every item, property and driver of the packed production must land.
class ProductionSequence : public GLTest {
 protected:
  void TearDown() override {
    m_sequence.Clear();
    TextureImage::ReleaseAll();
    GLTest::TearDown();
  }
  rvSequence m_sequence{1};
};

TEST_F(ProductionSequence, EveryItemPropertyAndDriverFindsItsTarget) {
  TempDir dir;
  CopyBuiltPack(dir);
  const Json::Value json = PackedSequence(dir);
  ASSERT_TRUE(json["Items"].isArray());
  // The registry as the player's Init leaves it, production classes included.
  RegisterProductionClasses(GetClassRegistry());
  ASSERT_TRUE(m_sequence.LoadSequence(kSequencePath, false));
  ASSERT_EQ(m_sequence.m_items.size(), json["Items"].size()) << "an item whose class is unknown vanished";

  std::map<int, int> effectsPerForm;
  std::map<std::string, int> classes;
  int geometryStages = 0;
  for (Json::ArrayIndex i = 0; i < json["Items"].size(); ++i) {
    const Json::Value& item = json["Items"][i];
    fxBase* fx = m_sequence.m_items[i];
    const std::string label = item["Properties"]["Name"].asString();
    EXPECT_EQ(fx->m_classDesc->m_name, item["Class"].asString()) << label;
    ++classes[item["Class"].asString()];
    for (const char* group : {"Properties", "PropertiesDynamic"}) {
      for (const std::string& key : item[group].getMemberNames()) {
        if (key == "_apAttribDrivers") continue;
        EXPECT_NE(fx->m_classDesc->FindAttribute(key), nullptr) << label << ": " << group << " " << key;
      }
    }
    EXPECT_EQ(fx->m_drivers.size(), item["Properties"]["_apAttribDrivers"].size())
        << label << ": a driver's attribute or type matched nothing";
    if (fx->IsKindOf("fxShaderBase")) {
      auto* shader = static_cast<fxShaderBase*>(fx);
      EXPECT_EQ(shader->ErrorText(), "") << label;
      ++effectsPerForm[shader->Program().m_stages[StageFragment].format];
      geometryStages += shader->Program().m_stages[StageGeometry].source != nullptr;
    }
  }
  for (int form : {ShaderFormatOwn, ShaderFormatShadertoy, ShaderFormatBonzomatic, ShaderFormatRaw})
    EXPECT_GE(effectsPerForm[form], 2) << "several effects in source form " << form;
  EXPECT_GE(geometryStages, 1);
  EXPECT_GE(classes["fxBufferDisplay"], 2) << "scenes drawn into named buffers that later effects sample";
  EXPECT_GE(classes["fxBufferStencil"], 1);
  EXPECT_EQ(classes["fxMusic"], 1);
  EXPECT_GE(classes["fxCameraReference"], 1) << "a second view through the 3D scene's camera";
  EXPECT_EQ(m_sequence.m_frameMax, kSoundtrackFrames) << "the production lasts as long as its soundtrack";
  EXPECT_EQ(LastFrame(json), json["Items"][json["Items"].size() - 1]["Properties"]["End"].asInt())
      << "the last item ends the run";

  // The soundtrack loads and is as long as the run.
  for (fxBase* fx : m_sequence.m_items) {
    if (!fx->IsKindOf("fxMusic")) continue;
    auto* music = static_cast<fxMusic*>(fx);
    music->SetState(StateInitialized);
    ASSERT_TRUE(music->IsLoaded()) << music->m_mp3File;
    MusicDecoder decoder;
    ASSERT_EQ(decoder.Open(music->m_fileBytes.data(), music->m_fileBytes.size()), 0);
    const double seconds = double(decoder.LengthFrames()) / decoder.SampleRate();
    EXPECT_NEAR(seconds, m_sequence.m_frameMax / 60.0, 0.25);
  }
}

// Inside the rings scene a part of its own plays nested, from a Time Seek
// on; its reference to the rings stays empty (the production shows the
// rings itself), while the production's own reference clones the badge of
// the showreel that plays the whole production nested.
TEST_F(ProductionSequence, TheRingsPartPlaysNestedAndTheBadgeComesFromTheShowreel) {
  TempDir dir;
  CopyBuiltPack(dir);
  EnterDir(dir);
  ASSERT_TRUE(m_sequence.LoadSequence(kSequencePath, true));
  const fxBase* rings = m_sequence.FindItem("rings");
  fxBase* part = m_sequence.FindItem("rings part");
  auto* badge = static_cast<fxReference*>(m_sequence.FindItem("badge"));
  ASSERT_TRUE(rings && part && badge);
  ASSERT_TRUE(part->IsKindOf("fxSequence"));
  ASSERT_TRUE(badge->IsKindOf("fxReference"));
  for (const fxBase* fx : {static_cast<const fxBase*>(part), static_cast<const fxBase*>(badge)}) {
    EXPECT_GE(fx->m_start, rings->m_start) << fx->m_name;
    EXPECT_LE(fx->m_end, rings->m_end) << fx->m_name;
  }

  auto* nest = static_cast<fxSequence*>(part);
  EXPECT_GT(nest->m_timeSeek, 0.0f);
  EXPECT_LT(nest->m_timeSeek, nest->m_sequence.GetFrameMax() / 60.0f);
  ASSERT_GE(nest->m_sequence.m_items.size(), 2u);
  int nestedShaders = 0, nestedReferences = 0;
  for (const fxBase* fx : nest->m_sequence.m_items) {
    EXPECT_EQ(fx->m_state, StateInitialized) << fx->m_name;
    if (fx->IsKindOf("fxShaderBase")) {
      EXPECT_EQ(static_cast<const fxShaderBase*>(fx)->ErrorText(), "") << fx->m_name;
      ++nestedShaders;
    }
    if (fx->IsKindOf("fxReference")) {
      EXPECT_EQ(static_cast<const fxReference*>(fx)->m_clone, nullptr) << fx->m_name;
      ++nestedReferences;
    }
  }
  EXPECT_GE(nestedShaders, 1);
  EXPECT_GE(nestedReferences, 1);

  ASSERT_NE(badge->m_clone, nullptr);
  ASSERT_TRUE(badge->m_clone->IsKindOf("fxShaderBase"));
  EXPECT_EQ(static_cast<const fxShaderBase*>(badge->m_clone)->ErrorText(), "");
  EXPECT_EQ(badge->m_clone->GetDuration(), badge->GetDuration());
}

// Every driver kind appears, and the key frames use several interpolations.
TEST(ProductionDrivers, EveryDriverKindAndSeveralInterpolations) {
  TempDir dir;
  CopyBuiltPack(dir);
  const Json::Value json = PackedSequence(dir);
  std::set<int> types, interpolations;
  for (const Json::Value& item : json["Items"]) {
    for (const Json::Value& driver : item["Properties"]["_apAttribDrivers"]) {
      types.insert(driver["_eType"].asInt());
      if (driver["_eType"].asInt() == DriverKeyFrame) interpolations.insert(driver["_eInterpolation"].asInt());
      if (driver["_eType"].asInt() == DriverExpression) {
        EXPECT_GT(driver["nVarCount"].asInt(), 0) << "expressions carry user variables";
      }
    }
  }
  EXPECT_EQ(types, (std::set<int>{DriverKeyFrame, DriverSinus, DriverTriangle, DriverNoise, DriverExpression,
                                  DriverVariable}));
  EXPECT_GE(interpolations.size(), 5u);
}

//-----------------------------------------------------------------------------
// The player
//-----------------------------------------------------------------------------

TEST(Production, PlaysToItsEndAndExitsCleanly) {
  PrivateScreen screen(320, 180);
  ASSERT_TRUE(screen.Ready());
  TempDir dir;
  CopyBuiltPack(dir);
  const Json::Value json = PackedSequence(dir);
  const PlayerResult run = RunPlayer(dir.Path(), FixedStepOptions(screen));
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  EXPECT_EQ(run.log.find("ERROR: "), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find(" Shader:\n"), std::string::npos) << "a stage's compiler log" << run.log;
  // Every shader effect built while loading.
  for (const Json::Value& item : json["Items"]) {
    const Json::Value& fragment = item["Properties"]["Shaders/Fragment"];
    if (!fragment.isString()) continue;
    EXPECT_NE(run.log.find("[fxShaderBase] compil shader " + fragment.asString() + "\n"), std::string::npos)
        << fragment.asString();
  }
}

// Frames at fixed steps, checked by what each scene must show. The checks
// are coarse on purpose: a region's colour balance, its dark and coloured
// shares, and that the picture moves.
TEST(Production, FramesAtFixedStepsShowEachScene) {
  PrivateScreen screen(480, 270);
  ASSERT_TRUE(screen.Ready());
  TempDir dir;
  ASSERT_TRUE(CopyTimecodedPack(dir));
  PlayerOptions options = FixedStepOptions(screen);
  std::vector<Shot> shots;
  options.waitForLog = "OpenGL Version";
  options.whileRunning = [&] {
    shots = ShootUntil(screen, [](const Shot& shot) { return shot.frame >= kSoundtrackFrames - 20; });
  };
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  EXPECT_EQ(run.log.find("ERROR: "), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find(" Shader:\n"), std::string::npos) << "a stage's compiler log" << run.log;

  std::vector<const Shot*> frames;
  for (const Shot& shot : shots)
    if (shot.frame >= 0) frames.push_back(&shot);
  ASSERT_GE(frames.size(), 8u) << "too few frames caught";
  for (size_t i = 1; i < frames.size(); ++i)
    EXPECT_LE(frames[i - 1]->frame, frames[i]->frame) << "the fixed-step clock only runs forwards";
  EXPECT_GE(frames.back()->frame, kSoundtrackFrames - 4 * 60) << "the run reaches its last seconds";

  struct Scene {
    const char* name;
    int first, last;  // frames
    std::function<void(const Shot&)> check;
  };
  const Scene scenes[] = {
      {"dawn", 6 * 60, 15 * 60,
       [](const Shot& s) {
         const Region sky = Measure(s, 0.0, 0.0, 1.0, 0.15);
         const Region glow = Measure(s, 0.0, 0.40, 1.0, 0.52);
         const Region sea = Measure(s, 0.0, 0.85, 1.0, 1.0);
         EXPECT_GT(sky.b, sky.g) << "a blue-violet sky";
         EXPECT_GT(glow.luma, sea.luma + 20) << "the horizon glows over a darker sea";
         EXPECT_GT(glow.r, glow.b) << "the horizon is warm";
       }},
      {"depths", 18 * 60, 31 * 60,
       [](const Shot& s) {
         const Region all = Measure(s, 0.0, 0.0, 1.0, 1.0);
         const Region centre = Measure(s, 0.42, 0.42, 0.58, 0.58);
         const Region corner = Measure(s, 0.0, 0.0, 0.15, 0.15);
         EXPECT_GT(all.g, all.r * 1.3) << "under water: green-blue";
         EXPECT_GT(all.b, all.r * 1.3) << "under water: green-blue";
         EXPECT_GT(centre.luma, corner.luma + 30) << "the light waits at the tunnel's end";
       }},
      {"rings", 34 * 60, 47 * 60,
       [](const Shot& s) {
         const Region all = Measure(s, 0.0, 0.0, 1.0, 1.0);
         EXPECT_GT(all.darkShare, 0.25) << "neon lines on a dark ground";
         EXPECT_GT(all.colouredShare, 0.05) << "neon lines on a dark ground";
       }},
      {"vector art", 49 * 60, 58 * 60,
       [](const Shot& s) {
         const Region all = Measure(s, 0.0, 0.0, 1.0, 1.0);
         EXPECT_GT(all.darkShare, 0.6) << "glowing outlines on a dark ground";
         EXPECT_GT(all.colouredShare, 0.01) << "glowing outlines on a dark ground";
       }},
      {"3d scene", 60 * 60, 69 * 60,
       [](const Shot& s) {
         const Region all = Measure(s, 0.0, 0.0, 1.0, 1.0);
         EXPECT_GT(all.darkShare, 0.3) << "glowing outlines on a dark ground";
         EXPECT_GT(all.colouredShare, 0.01) << "glowing outlines on a dark ground";
       }},
      {"images and particles", 72 * 60, 79 * 60,
       [](const Shot& s) {
         const Region backdrop = Measure(s, 0.0, 0.75, 0.4, 1.0);
         const Region sprite = Measure(s, 0.62, 0.1, 0.93, 0.4);
         EXPECT_GT(backdrop.b, backdrop.g + 10) << "a violet backdrop";
         EXPECT_GT(sprite.colouredShare, 0.5) << "the plasma sprite in the upper right";
         EXPECT_GT(sprite.luma, backdrop.luma + 20) << "the plasma sprite in the upper right";
       }},
      {"screen wall", 82 * 60, 91 * 60,
       [](const Shot& s) {
         const Region wall = Measure(s, 0.1, 0.15, 0.9, 0.85);
         EXPECT_GT(wall.colouredShare, 0.08) << "sixteen lit screens";
         EXPECT_LT(wall.darkShare, 0.85) << "sixteen lit screens";
       }},
      {"night", 95 * 60, 104 * 60,
       [](const Shot& s) {
         const Region sky = Measure(s, 0.0, 0.0, 1.0, 0.35);
         const Region all = Measure(s, 0.0, 0.0, 1.0, 1.0);
         EXPECT_LT(sky.luma, 70) << "a night sky";
         EXPECT_GT(all.warmShare, 0.002) << "lanterns";
       }},
  };
  for (const Scene& scene : scenes) {
    std::vector<const Shot*> inside;
    for (const Shot* shot : frames)
      if (shot->frame >= scene.first && shot->frame <= scene.last) inside.push_back(shot);
    EXPECT_FALSE(inside.empty()) << "no frame of " << scene.name << " caught";
    for (const Shot* shot : inside) {
      SCOPED_TRACE(std::string(scene.name) + " frame " + std::to_string(shot->frame));
      scene.check(*shot);
    }
    for (size_t i = 1; i < inside.size(); ++i) {
      if (inside[i]->frame - inside[i - 1]->frame < 30) continue;
      EXPECT_GT(ChangedShare(*inside[i - 1], *inside[i]), 0.05)
          << scene.name << " moves between frames " << inside[i - 1]->frame << " and " << inside[i]->frame;
    }
  }
  // The picture opens from black and closes to black.
  for (const Shot* shot : frames) {
    if (shot->frame > 6 && shot->frame < kSoundtrackFrames - 6) continue;
    EXPECT_LT(Measure(*shot, 0.0, 0.0, 1.0, 1.0).luma, 8) << "frame " << shot->frame;
  }
}

// "-640x480 -fps -reso": the frame-rate and scene-size lines in the top-left
// corner, each only when asked for. At fixed steps the rate reads 60.0 and
// both lines are pure green, a colour the opening scene never shows there.
TEST(Production, OverlaysAppearOnlyWhenAsked) {
  struct Case {
    const char* args;
    bool line1, line2;
  };
  const Case cases[] = {
      {"-640x480 -fps -reso", true, true},
      {"-640x480 -fps", true, false},
      {"-640x480 -reso", true, false},
      {"-640x480", false, false},
  };
  PrivateScreen screen(640, 480);
  ASSERT_TRUE(screen.Ready());
  TempDir dir;
  ASSERT_TRUE(CopyTimecodedPack(dir));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    PlayerOptions options = FixedStepOptions(screen);
    std::istringstream words(c.args);
    for (std::string word; words >> word;) options.args.push_back(word);
    Shot frame;
    options.waitForLog = "OpenGL Version";
    options.whileRunning = [&] {
      std::vector<Shot> shots = ShootUntil(screen, [](const Shot& shot) { return shot.frame >= 60; });
      if (!shots.empty()) frame = shots.back();
      ASSERT_TRUE(screen.SendEscape());
    };
    const PlayerResult run = RunPlayer(dir.Path(), options);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    ASSERT_GE(frame.frame, 60);
    auto greenPixels = [&](int y0, int y1) {
      int n = 0;
      for (int y = y0; y < y1; ++y)
        for (int x = 0; x < 240; ++x) {
          const Rgb p = frame.At(x, y);
          n += p.g > 180 && p.r < 90 && p.b < 90;
        }
      return n;
    };
    const int line1 = greenPixels(0, 18), line2 = greenPixels(18, 36);
    EXPECT_EQ(line1 > 20, c.line1) << line1 << " green pixels on the first line";
    EXPECT_EQ(line2 > 20, c.line2) << line2 << " green pixels on the second line";
    if (!c.line1) {
      EXPECT_EQ(line1, 0);
    }
    if (!c.line2) {
      EXPECT_EQ(line2, 0);
    }
  }
}

// While the pack loads, every file read draws the loading bar: a white
// frame across the middle half of the screen, filled from the left.
TEST(Production, LoadingShowsTheBarBeforeTheFirstFrame) {
  PrivateScreen screen(640, 480);
  ASSERT_TRUE(screen.Ready());
  TempDir dir;
  ASSERT_TRUE(CopyTimecodedPack(dir));
  PlayerOptions options = FixedStepOptions(screen);
  std::vector<Shot> shots;
  options.waitForLog = "OpenGL Version";
  options.whileRunning = [&] {
    shots = ShootUntil(screen, [](const Shot& shot) { return shot.frame >= 0; });
    ASSERT_TRUE(screen.SendEscape());
  };
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  ASSERT_FALSE(shots.empty());
  EXPECT_GE(shots.back().frame, 0) << "the production started";

  // The frame: rows 235 and 244, columns 160 to 479 on a 640 x 480 screen.
  auto showsBar = [](const Shot& s) {
    for (int x = 170; x < 470; x += 10) {
      if (!IsLit(s.At(x, 235)) || !IsLit(s.At(x, 244))) return false;
      if (s.At(x, 200).Luma() > 20 || s.At(x, 280).Luma() > 20) return false;
    }
    // Inside: a lit run from the left, then dark to the right end.
    bool dark = false;
    for (int x = 162; x < 478; ++x) {
      const bool lit = IsLit(s.At(x, 240));
      if (lit && dark) return false;
      dark |= !lit;
    }
    return true;
  };
  int bars = 0;
  for (const Shot& shot : shots)
    if (shot.frame < 0) bars += showsBar(shot);
  EXPECT_GT(bars, 0) << shots.size() << " screenshots, none of the loading bar";
}

// Fixed steps make frames repeat exactly: frames the player showed are drawn
// again in this process, from a pristine copy of the pack, frame by frame
// into a "Default" of the screen's size, and must match pixel for pixel
// everywhere but the timecode strip (which only the player's copy has).
class ProductionReplay : public GLTest {
 protected:
  void TearDown() override {
    m_sequence.Clear();
    TextureImage::ReleaseAll();
    ReleaseFrameResources();
    GLTest::TearDown();
  }
  rvSequence m_sequence{1};
};

TEST_F(ProductionReplay, FramesRepeatExactly) {
  constexpr int kWidth = 480, kHeight = 270, kLastFrame = 20 * 60;
  PrivateScreen screen(kWidth, kHeight);
  ASSERT_TRUE(screen.Ready());
  TempDir pristine, played;
  CopyBuiltPack(pristine);
  CopyBuiltPack(played);
  ASSERT_TRUE(AddTimecode(played, PackedSequence(pristine)));

  PlayerOptions options = FixedStepOptions(screen);
  std::vector<Shot> shots;
  options.waitForLog = "OpenGL Version";
  options.whileRunning = [&] {
    shots = ShootUntil(screen, [](const Shot& shot) { return shot.frame >= kLastFrame; });
    ASSERT_TRUE(screen.SendEscape());
  };
  const PlayerResult run = RunPlayer(played.Path(), options);
  ASSERT_EQ(run.exitCode, 0) << run.log;
  // Up to three distinct frames, first, middle and last caught.
  std::vector<const Shot*> picked;
  for (const Shot& shot : shots)
    if (shot.frame > 0 && shot.frame <= kLastFrame && (picked.empty() || picked.back()->frame != shot.frame))
      picked.push_back(&shot);
  ASSERT_FALSE(picked.empty());
  if (picked.size() > 3) picked = {picked.front(), picked[picked.size() / 2], picked.back()};

  // The player's run: every effect prepared, then one Update per 1/60 s.
  Application::Get().StartUnboxed(kWidth, kHeight);
  ASSERT_TRUE(m_sequence.LoadSequence(kSequencePath, true));
  m_sequence.m_playing = true;
  for (fxBase* fx : m_sequence.m_items) fx->SetState(StatePrepared);
  const float step = 1.0f / 60.0f;
  size_t next = 0;
  for (int frame = 1; next < picked.size(); ++frame) {
    BeginFrame();
    m_sequence.Update(step);
    PresentFrame(step, false, 0);
    if (frame != picked[next]->frame) continue;
    const Shot& shot = *picked[next++];
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    const std::vector<uint8_t> pixels = ReadPixels(0, 0, kWidth, kHeight);  // rows bottom-up
    int differing = 0;
    for (int y = 0; y < kHeight - kCell; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* mine = &pixels[(size_t(kHeight - 1 - y) * kWidth + size_t(x)) * 4];
        const Rgb shown = shot.At(x, y);
        differing += mine[0] != shown.r || mine[1] != shown.g || mine[2] != shown.b;
      }
    }
    EXPECT_EQ(differing, 0) << "frame " << frame << " drawn again differs in " << differing << " pixels";
  }
}
