// The music effect: decoding from the pack, exact seeks, the device gated by
// the timeline, and what the device really played (SDL's "disk" driver writes
// the played samples to a file).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "effects/music/MusicDecoder.h"
#include "effects/music/fxMusic.h"
#include "platform/Threading.h"
#include "sequence/rvSequence.h"
#include "support/TestPack.h"

namespace {

constexpr int kRate = 44100;

// A rising sweep, so every offset in the file sounds different.
std::string MakeMp3(const TempDir& dir, double seconds) {
  const std::string wav = dir.Path() + "/sweep.wav", mp3 = dir.Path() + "/sweep.mp3";
  const std::string cmd = "sox -q -n -r 44100 -c 2 -b 16 '" + wav + "' synth " + std::to_string(seconds) +
                          " sine 200-3000 sine 300-2000 && lame --quiet -b 192 '" + wav + "' '" + mp3 + "'";
  if (std::system(cmd.c_str()) != 0) return {};
  return ReadTextFile(mp3);
}

std::vector<float> DecodeAll(const std::string& bytes) {
  MusicDecoder d;
  if (d.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) != 0) return {};
  std::vector<float> all(d.LengthFrames() * d.Channels());
  all.resize(d.ReadFrames(all.data(), d.LengthFrames()) * d.Channels());
  return all;
}

fxMusic* MakeMusic(const std::string& path) {
  auto* fx = static_cast<fxMusic*>(fxMusic::Create(fxMusic::GetClassDesc()));
  fx->m_mp3File = path;
  fx->m_end = 600;
  return fx;
}

// One frame of the timeline as the sequence hands it to a running effect.
void Step(fxBase* fx, float dt) {
  fx->m_sequenceDelta = dt;
  fx->ExternalUpdate();
}

void SeekTo(fxBase* fx, float t) {
  fx->m_seekTime = t;
  fx->ExternalUpdate();
}

}  // namespace

TEST(MusicDecoder, SeeksAreSampleExact) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, 3.0);
  ASSERT_FALSE(mp3.empty());
  const std::vector<float> all = DecodeAll(mp3);
  ASSERT_GT(all.size(), size_t(2 * kRate * 2));
  MusicDecoder d;
  ASSERT_EQ(d.Open(reinterpret_cast<const uint8_t*>(mp3.data()), mp3.size()), 0);
  EXPECT_EQ(d.SampleRate(), kRate);
  EXPECT_EQ(d.Channels(), 2);
  for (uint64_t offset : {uint64_t(0), uint64_t(1), uint64_t(1153), uint64_t(44100), uint64_t(100003)}) {
    ASSERT_TRUE(d.SeekToFrame(offset));
    std::vector<float> block(2 * 512);
    ASSERT_EQ(d.ReadFrames(block.data(), 512), 512u);
    EXPECT_EQ(0, std::memcmp(block.data(), &all[offset * 2], block.size() * sizeof(float))) << offset;
  }
}

TEST(MusicDecoder, BrokenDataIsAnErrorNotACrash) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, 1.0);
  ASSERT_FALSE(mp3.empty());
  const std::string cases[] = {"", "not an mp3 at all", std::string(4096, '\0'), mp3.substr(0, 10)};
  for (const std::string& bytes : cases) {
    MusicDecoder d;
    EXPECT_NE(d.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0) << bytes.size();
    float out[16];
    EXPECT_EQ(d.ReadFrames(out, 8), 0u);
  }
}

TEST(Music, FramePositionFollowsStartTimeAndNeverGoesNegative) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/Audio/m.mp3", MakeMp3(dir, 1.0)}}));
  EnterDir(dir);
  fxMusic* fx = MakeMusic("Audio/m.mp3");
  fx->SetState(StateInitialized);
  ASSERT_TRUE(fx->IsLoaded());
  struct Case {
    float startTime, t;
    uint64_t frame;
  };
  const Case cases[] = {{0.0f, 0.0f, 0}, {12.0f, 0.0f, 529200}, {12.0f, 1.0f, 573300},
                        {0.0f, 3.0f, 132300}, {-5.0f, 1.0f, 0}, {-0.5f, 1.0f, 22050},
                        {1e30f, 0.0f, UINT64_MAX}, {NAN, 1.0f, 0}};
  for (const Case& c : cases) {
    fx->m_startTime = c.startTime;
    EXPECT_EQ(fx->FrameAt(c.t), c.frame) << c.startTime << " " << c.t;
  }
  fx->SetState(StateNone);
  delete fx;
}

TEST(Music, MissingOrCorruptFileStaysSilentAndRuns) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/Audio/bad.mp3", "ID3 garbage"}}));
  EnterDir(dir);
  for (const char* path : {"Audio/none.mp3", "Audio/bad.mp3"}) {
    fxMusic* fx = MakeMusic(path);
    fx->SetState(StateRunning);
    Step(fx, 0.1f);
    SeekTo(fx, 2.0f);
    EXPECT_FALSE(fx->IsLoaded()) << path;
    EXPECT_FALSE(fx->IsPlaying()) << path;
    EXPECT_FLOAT_EQ(fx->m_localTime, 2.0f);
    fx->SetState(StateNone);
    delete fx;
  }
}

TEST(Music, DeviceFollowsTheTimeline) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/Audio/m.mp3", MakeMp3(dir, 2.0)}}));
  EnterDir(dir);
  fxMusic* fx = MakeMusic("Audio/m.mp3");
  fx->SetState(StateRunning);
  ASSERT_TRUE(fx->IsLoaded()) << "the dummy audio driver opens a device";
  Step(fx, 1.0f / 60.0f);
  EXPECT_TRUE(fx->IsPlaying());
  Step(fx, 0.0f);  // paused timeline
  EXPECT_FALSE(fx->IsPlaying());
  Step(fx, 1.0f / 60.0f);
  EXPECT_TRUE(fx->IsPlaying());
  SeekTo(fx, 1.0f);  // a seek keeps a playing device playing
  EXPECT_TRUE(fx->IsPlaying());
  fx->m_volume = 0.0f;
  Step(fx, 1.0f / 60.0f);
  EXPECT_FALSE(fx->IsPlaying());
  Step(fx, 1.0f / 60.0f);
  EXPECT_FALSE(fx->IsPlaying()) << "volume 0 keeps the device stopped";
  fx->m_volume = 1.0f;
  SeekTo(fx, 0.5f);
  EXPECT_FALSE(fx->IsPlaying()) << "a stopped device does not start in the frame of a seek";
  Step(fx, 1.0f / 60.0f);
  EXPECT_TRUE(fx->IsPlaying());
  fx->SetState(StatePrepared);
  EXPECT_FALSE(fx->IsPlaying());
  fx->SetState(StateNone);
  EXPECT_FALSE(fx->IsLoaded());
  delete fx;
}

TEST(Music, PlaysTheDecodedAudioFromTheSeekPosition) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, 3.0);
  ASSERT_TRUE(BuildPack(dir, {{"Data/Audio/m.mp3", mp3}}));
  EnterDir(dir);
  const std::string played = dir.Path() + "/played.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
  const std::vector<float> all = DecodeAll(mp3);

  fxMusic* fx = MakeMusic("Audio/m.mp3");
  fx->m_startTime = 0.25f;
  fx->SetState(StateRunning);
  ASSERT_TRUE(fx->IsLoaded());
  // Entering the window in its middle: the first update lands where the
  // timeline stands (1.5 s), not at the start of the file.
  Step(fx, 1.5f);
  ASSERT_TRUE(fx->IsPlaying());
  platform::SleepMs(400);
  fx->SetState(StateNone);  // closes the device: the file is complete
  delete fx;

  const std::string raw = ReadTextFile(played);
  std::vector<float> out(raw.size() / sizeof(float));
  std::memcpy(out.data(), raw.data(), out.size() * sizeof(float));
  size_t first = 0;
  while (first < out.size() && out[first] == 0.0f) ++first;  // silence while paused
  first &= ~size_t(1);
  const size_t expectedFrame = size_t((0.25f + 1.5f) * 44100.0f);
  const size_t compare = 2 * 2048;
  ASSERT_GE(out.size(), first + compare) << "the device played less than 2048 frames";
  size_t mismatches = 0;
  for (size_t i = 0; i < compare; ++i)
    if (std::fabs(out[first + i] - all[expectedFrame * 2 + i]) > 1e-6f) ++mismatches;
  EXPECT_EQ(mismatches, 0u);
}

TEST(MusicDecoder, ASeekPastTheEndLeavesOnlySilence) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, 1.0);
  ASSERT_FALSE(mp3.empty());
  MusicDecoder d;
  ASSERT_EQ(d.Open(reinterpret_cast<const uint8_t*>(mp3.data()), mp3.size()), 0);
  const uint64_t length = d.LengthFrames();
  ASSERT_GT(length, 0u);
  // Past the end by a little, by a lot, and beyond what a file offset holds:
  // none of them may leave the decoder where it stood.
  for (uint64_t target : {length, length + 1000, uint64_t(1) << 40, ~uint64_t(0)}) {
    ASSERT_TRUE(d.SeekToFrame(length / 2));
    EXPECT_TRUE(d.SeekToFrame(target)) << target;
    float out[2 * 64];
    EXPECT_EQ(d.ReadFrames(out, 64), 0u) << target;
  }
}

TEST(Music, APausedSequenceKeepsTheDeviceStoppedWhenItsClockIsMovedByHand) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/Audio/m.mp3", MakeMp3(dir, 2.0)}}));
  EnterDir(dir);
  rvSequence sequence(0);
  fxMusic* fx = MakeMusic("Audio/m.mp3");
  sequence.AppendItem(fx);
  fx->SetState(StateRunning);
  ASSERT_TRUE(fx->IsLoaded());
  // A pad or a "Time Seek" moves a paused clock: the items see an ordinary
  // step, yet nothing is playing.
  sequence.m_playing = false;
  Step(fx, 0.25f);
  EXPECT_FALSE(fx->IsPlaying());
  sequence.m_playing = true;
  Step(fx, 1.0f / 60.0f);
  EXPECT_TRUE(fx->IsPlaying());
  sequence.m_playing = false;
  Step(fx, 1.0f / 60.0f);
  EXPECT_FALSE(fx->IsPlaying());
  sequence.Clear();
}
