// The screen wall on real BPG files: decode steps through an animation and
// its loop, placement in the atlas, the double-buffered upload, the uniform
// arrays of the shader effect, the dump, and screens that stay empty.
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>

#include "support/BpgTestFiles.h"
#include "effects/shaders/fxShader.h"
#include "production/ProductionClasses.h"
#include "production/fxPinvaleScreens.h"
#include "render/Framebuffer.h"
#include "support/DefaultTargetFixture.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

// The picture of a screen as it stands in the atlas, line 0 first.
RgbaPicture SlotPicture(const fxPinvaleScreens& wall, int slot, int width, int height) {
  RgbaPicture out;
  out.width = width;
  out.height = height;
  const AtlasPlacement p = PlaceInAtlas(slot, width, height);
  for (int k = 0; k < height; ++k) {
    const uint8_t* row = wall.Atlas() + size_t(p.row - k) * kAtlasRowBytes + size_t(p.column) * 4;
    out.pixels.insert(out.pixels.end(), row, row + size_t(width) * 4);
  }
  return out;
}

bool SlotIsZero(const fxPinvaleScreens& wall, int slot) {
  for (int r = 0; r < kAtlasHeight; ++r) {
    const uint8_t* row = wall.Atlas() + size_t(r) * kAtlasRowBytes + size_t(slot) * kSlotWidth * 4;
    for (int i = 0; i < kSlotWidth * 4; ++i)
      if (row[i]) return false;
  }
  return true;
}

std::vector<uint8_t> TextureBytes(RenderTarget& target) {
  std::vector<uint8_t> bytes(kAtlasBytes);
  glBindTexture(GL_TEXTURE_2D, target.m_colorFramebuffer->GL()->m_colorTexture);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return bytes;
}

class ScreenWall : public DefaultTargetTest {
 protected:
  ScreenWall() : DefaultTargetTest(64, 64) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    RegisterProductionClasses(GetClassRegistry());
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/bpg/anim.bpg", ReadBytesAsString(SharedBpg("anim420.bpg"))},
                                  {"Data/bpg/still.bpg", ReadBytesAsString(SharedBpg("still420.bpg"))},
                                  {"Data/bpg/clock.bpg", ReadBytesAsString(SharedBpg("clock.bpg"))},
                                  {"Data/bpg/broken.bpg", "BPG\xfb not really"}}));
    EnterDir(m_dir);
  }
  fxPinvaleScreens* Wall(const std::string& properties) {
    fxBase* fx = AddItem(ParseJson(R"({"Class":"fxPinvaleScreens","Properties":)" + properties + "}"));
    EXPECT_NE(fx, nullptr);
    return static_cast<fxPinvaleScreens*>(fx);
  }
  // One frame of the effect's clock: with the default ScaleTime of 2, a step
  // of 0.05 s moves every countdown by one period of the 10 fps animation.
  static void Frame(fxPinvaleScreens* wall, float step = 0.05f) {
    wall->m_appliedDelta = step;
    wall->Update();
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(ScreenWall, StepsWalkThroughTheAnimationAndLoopBackToFrameOne) {
  for (bool multiThreaded : {true, false}) {
    SCOPED_TRACE(multiThreaded);
    fxPinvaleScreens* wall = Wall(std::string(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/anim.bpg","MultiThreaded":)") +
                                  (multiThreaded ? "true" : "false") + "}");
    wall->SetState(StateRunning);
    EXPECT_TRUE(SlotIsZero(*wall, 0)) << "nothing is decoded before the first frame";
    Frame(wall);
    EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 0, 256, 200), LoadReference("anim420", true, 0)));
    // The empty screens are due too: the first frame serves 0 to 7, the
    // second 8 to 15, so screen 0 waits a frame.
    Frame(wall);
    EXPECT_EQ(wall->m_screens[0].m_countdown, 0.0f);
    // Every other step prepares a frame; the one between finds no line left.
    const int expected[] = {1, 2, 3, 4, 5, 6, 7};
    for (int frame : expected) {
      Frame(wall);
      EXPECT_TRUE(wall->m_screens[0].m_restart);
      Frame(wall);
      EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 0, 256, 200), LoadReference("anim420", true, frame)))
          << "frame " << frame;
    }
    Frame(wall);
    // The end of the stream decodes it again and copies nothing; the loop
    // then starts again at frame 1.
    Frame(wall);
    EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 0, 256, 200), LoadReference("anim420", true, 7)));
    Frame(wall);
    Frame(wall);
    EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 0, 256, 200), LoadReference("anim420", true, 1)));
    EXPECT_NEAR(wall->m_screens[0].m_frameDuration, 0.1f, 1e-7f);
    wall->SetState(StateNone);
    EXPECT_EQ(wall->Atlas(), nullptr);
    EXPECT_FALSE(DecodeWorkersRunning());
  }
}

TEST_F(ScreenWall, PicturesSitCentredInTheirSlotsWithAlpha) {
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale02/Bpg":"bpg/clock.bpg","Pinvale04/Bpg":"bpg/still.bpg"})");
  wall->SetState(StateRunning);
  Frame(wall);
  EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 1, 150, 150), LoadReference("clock", true, 0)));
  EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 3, 256, 200), LoadReference("still420", false, 0)));
  // Around the 150 x 150 picture the slot stays zero.
  const AtlasPlacement p = PlaceInAtlas(1, 150, 150);
  EXPECT_EQ(p.column, 309);
  EXPECT_EQ(p.row, 174);
  const uint8_t* above = wall->Atlas() + size_t(p.row + 1) * kAtlasRowBytes + size_t(p.column) * 4;
  for (int i = 0; i < 150 * 4; ++i) ASSERT_EQ(above[i], 0);
}

TEST_F(ScreenWall, AStillImageIsDecodedOnceAndNeverPickedAgain) {
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/still.bpg"})");
  wall->SetState(StateRunning);
  Frame(wall);
  EXPECT_TRUE(std::isnan(wall->m_screens[0].m_countdown));
  EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 0, 256, 200), LoadReference("still420", false, 0)));
  // Cleared by hand: a pick would copy the picture again.
  std::memset(wall->m_atlas, 0, kAtlasBytes);
  for (int i = 0; i < 5; ++i) Frame(wall, 1.0f);
  EXPECT_TRUE(SlotIsZero(*wall, 0));
}

TEST_F(ScreenWall, OddFramePeriodsLoopOrStandAndNeverSpin) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    bool stands;       // never picked again after its first frame
    float maxPeriod;   // seconds a frame, as the wall computed it
  };
  const Case cases[] = {
      {"one picture", OnePictureAnimationBpg(), true, 0.0f},
      {"zero period", AnimationWithPeriodBpg({0x00, 0x01}), true, 0.0f},
      {"65,535 s", AnimationWithPeriodBpg({0x83, 0xFF, 0x7F, 0x01}), true, 65535.0f},
      {"15 microseconds", AnimationWithPeriodBpg({0x01, 0x83, 0xFF, 0x7F}), false, 1.0f / 65535.0f},
  };
  TempDir dir;
  PackFiles files;
  for (size_t i = 0; i < std::size(cases); ++i)
    files["Data/bpg/odd" + std::to_string(i) + ".bpg"] = std::string(cases[i].file.begin(), cases[i].file.end());
  ASSERT_TRUE(BuildPack(dir, files));
  EnterDir(dir);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    m_sequence.Clear();
    fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/odd)" + std::to_string(i) + R"(.bpg"})");
    wall->SetState(StateRunning);
    const ScreenEntry& screen = wall->m_screens[0];
    ASSERT_NE(screen.m_decoder, nullptr);
    EXPECT_NEAR(screen.m_frameDuration, c.maxPeriod, 1e-9f);
    // The first two frames serve the sixteen screens, eight a frame (the
    // empty ones are due too); the screen under test goes first.
    Frame(wall);
    Frame(wall);
    int picks = 0;
    for (int frame = 0; frame < 40; ++frame) {
      const float before = screen.m_countdown;
      Frame(wall);
      // A pick sets the countdown anew: NaN for a screen that stands, or a
      // time within one period for one that loops.
      const bool stillNaN = std::isnan(before) && std::isnan(screen.m_countdown);
      if (!stillNaN && screen.m_countdown != before - 0.1f) ++picks;
      if (c.stands) {
        EXPECT_TRUE(std::isnan(screen.m_countdown) || screen.m_countdown > 60000.0f) << frame;
      } else {
        EXPECT_GT(screen.m_countdown, 0.0f) << frame;
        EXPECT_LE(screen.m_countdown, c.maxPeriod) << frame;
      }
    }
    EXPECT_FALSE(SlotIsZero(*wall, 0));
    EXPECT_EQ(picks, c.stands ? 0 : 40);
    wall->SetState(StateNone);
  }
}

TEST_F(ScreenWall, StartFramesAreDecodedAheadAtInit) {
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale03/Bpg":"bpg/anim.bpg","Pinvale03/StartFrame":3})");
  wall->SetState(StateRunning);
  WaitDecodeWorkersIdle();
  EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 2, 256, 200), LoadReference("anim420", true, 2)));
  Frame(wall);
  // Six steps at Init showed frames 0 to 2; the first pick goes on with 3.
  EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 2, 256, 200), LoadReference("anim420", true, 3)));
}

TEST_F(ScreenWall, StartFramesPastTheLimitAreHeldToIt) {
  // 2 x StartFrame does not fit an int; the screen starts where a screen
  // asking for the limit starts, with one line.
  LogCapture log;
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/anim.bpg","Pinvale01/StartFrame":1073741825,
                                     "Pinvale02/Bpg":"bpg/anim.bpg","Pinvale02/StartFrame":1024})");
  ASSERT_EQ(fxPinvaleScreens::kMaxStartFrames, 1024);
  wall->SetState(StateRunning);
  WaitDecodeWorkersIdle();
  ASSERT_FALSE(SlotIsZero(*wall, 0));
  const RgbaPicture first = SlotPicture(*wall, 0, 256, 200), second = SlotPicture(*wall, 1, 256, 200);
  EXPECT_EQ(first.pixels, second.pixels);
  const std::string line = "[fxPinvaleScreens] \"bpg/anim.bpg\": StartFrame 1073741825 is more than 1024 frames: 1024 used\n";
  EXPECT_NE(log.Text().find(line), std::string::npos) << log.Text();
  EXPECT_EQ(log.Text().find("StartFrame 1024 "), std::string::npos);
}

TEST_F(ScreenWall, ADisabledScreenClearsItsSlotAndResumesWhereItStood) {
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/anim.bpg"})");
  wall->SetState(StateRunning);
  Frame(wall);
  Frame(wall);
  ASSERT_FALSE(SlotIsZero(*wall, 0));
  wall->m_screens[0].m_enabled = false;
  Frame(wall);
  EXPECT_TRUE(SlotIsZero(*wall, 0));
  wall->m_screens[0].m_enabled = true;
  Frame(wall);  // the decoder had handed out every line of frame 0
  Frame(wall);
  EXPECT_TRUE(CloseToReference(SlotPicture(*wall, 0, 256, 200), LoadReference("anim420", true, 1)));
}

TEST_F(ScreenWall, MissingOrBrokenFilesLeaveTheirScreensEmpty) {
  fxPinvaleScreens* wall =
      Wall(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/none.bpg","Pinvale02/Bpg":"bpg/broken.bpg","Pinvale03/Bpg":"bpg/anim.bpg"})");
  wall->SetState(StateRunning);
  for (int i = 0; i < 4; ++i) Frame(wall);
  EXPECT_EQ(wall->m_screens[0].m_decoder, nullptr);
  EXPECT_EQ(wall->m_screens[1].m_decoder, nullptr);
  EXPECT_TRUE(SlotIsZero(*wall, 0));
  EXPECT_TRUE(SlotIsZero(*wall, 1));
  EXPECT_FALSE(SlotIsZero(*wall, 2));
}

TEST_F(ScreenWall, UpdatesUploadIntoTheTwoTargetsInTurn) {
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/still.bpg"})");
  wall->SetState(StateRunning);
  RenderTarget& t0 = wall->AtlasTarget(0);
  RenderTarget& t1 = wall->AtlasTarget(1);
  EXPECT_EQ(t0.m_width, 4096);
  EXPECT_EQ(t0.m_height, 200);
  EXPECT_EQ(t0.m_vectorDisplay, nullptr);
  EXPECT_EQ(t0.m_colorFramebuffer->m_flags, 0x40000009u) << "linear filtering with InterpColor";
  // Both targets hold the empty wall from Init on.
  const std::vector<uint8_t> zero(kAtlasBytes, 0);
  EXPECT_EQ(TextureBytes(t0), zero);
  EXPECT_EQ(TextureBytes(t1), zero);
  EXPECT_EQ(wall->GetBuffer(), &t0);

  Frame(wall);
  const std::vector<uint8_t> atlas(wall->Atlas(), wall->Atlas() + kAtlasBytes);
  EXPECT_EQ(TextureBytes(t0), atlas);
  EXPECT_EQ(TextureBytes(t1), zero);
  EXPECT_EQ(wall->GetBuffer(), &t1) << "readers get the target this Update did not write";

  Frame(wall);
  EXPECT_EQ(TextureBytes(t1), atlas);
  EXPECT_EQ(wall->GetBuffer(), &t0);
}

TEST_F(ScreenWall, UniformArraysAreFedAtTheBlockOffset) {
  struct Case {
    const char* what;
    int offset;
    int elements;      // declared array size of each uniform
    bool constDetail;  // "pinvaleTexDetail" is a constant scalar instead
    bool written;      // the three arrays receive the values
  };
  const Case cases[] = {{"block 0", 0, 16, false, true},
                        {"block 1 of 32 elements", 1, 32, false, true},
                        {"block 1 of only 16 elements", 1, 16, false, false},
                        {"a negative block", -1, 32, false, false},
                        // Blocks whose first word lies past the int range:
                        // counted in int they wrapped round to block 0 or to
                        // words in front of the array.
                        {"block 2^26", 1 << 26, 32, false, false},
                        {"block 2^26 - 1", (1 << 26) - 1, 32, false, false},
                        {"the largest block", INT_MAX, 32, false, false},
                        {"a constant of that name", 0, 16, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_sequence.Clear();
    fxShader* shader =
        static_cast<fxShader*>(AddItem(ParseJson(R"({"Class":"fxShader","Properties":{"Name":"Screens"}})")));
    ASSERT_NE(shader, nullptr);
    rvProgram& program = shader->Program();
    program.AddUniform("pinvaleTexDetail", UniformInt, 0, c.constDetail ? 1 : c.elements, c.constDetail);
    program.AddUniform("pinvaleTexScreen", UniformVec4, 0, c.elements, false);
    program.AddUniform("pinvaleObjShape", UniformVec2, 0, c.elements, false);
    const std::vector<uint32_t> before(program.m_values, program.m_values + fxShader::kValueWords);
    fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","PinvaleShaderFx":"Screens","PinvaleShaderOffset":)" +
                                  std::to_string(c.offset) +
                                  R"(,"Pinvale01/Detail":3,"Pinvale16/Detail":7,"Pinvale02/Screeni.x":0.25,"Pinvale02/Screeni.y":0.5,
                                     "Pinvale02/Screenf.x":0.75,"Pinvale16/Shape.x":0.5,"Pinvale16/Shape.y":0.125})");
    wall->SetState(StateRunning);
    ASSERT_EQ(wall->ShaderEffect(), shader);
    const std::vector<uint32_t> after(program.m_values, program.m_values + fxShader::kValueWords);
    const ShaderUniform* detail = program.FindUniform("pinvaleTexDetail");
    const ShaderUniform* screen = program.FindUniform("pinvaleTexScreen");
    const ShaderUniform* shape = program.FindUniform("pinvaleObjShape");
    if (!c.written) {
      EXPECT_EQ(after, before);
    } else {
      const int b = c.offset;
      auto f = [&](int word) {
        float x;
        std::memcpy(&x, &after[size_t(word)], 4);
        return x;
      };
      if (c.constDetail) {
        EXPECT_EQ(after[size_t(detail->valueWord)], before[size_t(detail->valueWord)]) << "constants are skipped";
      } else {
        EXPECT_EQ(int(after[size_t(detail->valueWord + 16 * b)]), 3);
        EXPECT_EQ(int(after[size_t(detail->valueWord + 16 * b + 15)]), 7);
      }
      EXPECT_EQ(f(screen->valueWord + 64 * b + 4), 0.25f);
      EXPECT_EQ(f(screen->valueWord + 64 * b + 7), 1.0f);
      EXPECT_EQ(f(screen->valueWord + 64 * b + 2), 1.0f) << "Screenf defaults to (1,1)";
      EXPECT_EQ(f(shape->valueWord + 32 * b + 30), 0.5f);
      EXPECT_EQ(f(shape->valueWord + 32 * b + 31), 0.125f);
      if (b > 0) {
        EXPECT_EQ(f(screen->valueWord + 4), 0.0f) << "block 0 untouched";
      }
    }
    wall->SetState(StateNone);
  }
}

TEST_F(ScreenWall, ANameOfAnotherKindFeedsNothing) {
  fxBase* other = AddItem(ParseJson(R"({"Class":"fxBufferDisplay","Properties":{"Name":"NotAShader"}})"));
  ASSERT_NE(other, nullptr);
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","PinvaleShaderFx":"NotAShader"})");
  wall->SetState(StateRunning);
  EXPECT_EQ(wall->ShaderEffect(), nullptr);
  fxPinvaleScreens* missing = Wall(R"({"Name":"Wall2","PinvaleShaderFx":"Nowhere"})");
  missing->SetState(StateRunning);
  EXPECT_EQ(missing->ShaderEffect(), nullptr);
  Frame(wall);
  Frame(missing);
}

TEST_F(ScreenWall, DumpImgWritesTheAtlasAsAPng) {
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale05/Bpg":"bpg/clock.bpg"})");
  fxPinvaleScreens::OnDumpImg(wall);
  FILE* early = std::fopen("fxPinvaleScreens.png", "rb");
  EXPECT_EQ(early, nullptr) << "no atlas before Init: no file";
  if (early) std::fclose(early);
  wall->SetState(StateRunning);
  Frame(wall);
  fxPinvaleScreens::OnDumpImg(wall);
  int w = 0, h = 0, n = 0;
  unsigned char* png = stbi_load("fxPinvaleScreens.png", &w, &h, &n, 4);
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(w, 4096);
  EXPECT_EQ(h, 200);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(std::memcmp(png, wall->Atlas(), kAtlasBytes), 0) << "memory row 0 first";
  stbi_image_free(png);
}

TEST_F(ScreenWall, CopyAllSpreadsTheFirstVideoAndReinitialises) {
  fxPinvaleScreens* wall = Wall(R"({"Name":"Wall","Pinvale01/Bpg":"bpg/anim.bpg","Pinvale09/Enabled":false})");
  wall->SetState(StateRunning);
  fxPinvaleScreens::OnCopyAll(wall);
  EXPECT_EQ(wall->m_state, StateInitialized);
  for (const ScreenEntry& s : wall->m_screens) {
    EXPECT_EQ(s.m_bpg, "bpg/anim.bpg");
    EXPECT_TRUE(s.m_enabled);
  }
}
