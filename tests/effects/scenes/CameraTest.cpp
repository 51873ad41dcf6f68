// Cameras: the matrices the camera writes into the current target
// (default pose, Flipz, zero quaternion, Euler angles of the free camera),
// gamepad flight fed through the pad seam (scrubbing by whole frames, the
// dead zone, START, key jumps, recording and deletion), ShiftKeys keeping
// every key, and the camera reference's search up the owner chain. The
// matrices need no GL: the target is a plain record with a size.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "effects/scenes/fxCamera.h"
#include "platform/Gamepad.h"
#include "render/RenderTarget.h"
#include "sequence/ClassRegistry.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"
#include "support/JsonText.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// A pad source whose clock steps one frame per read of Now and whose pads
// are whatever the test put in.
class FakePads : public platform::PadSource {
 public:
  FakePads() { platform::SetPadSource(this); }
  ~FakePads() override { platform::SetPadSource(nullptr); }
  double Now() override { return m_now += m_step; }
  bool Read(int id, platform::PadState& state) override {
    auto it = m_pads.find(id);
    if (it == m_pads.end()) return false;
    state = it->second;
    return true;
  }
  double m_now = 10.0;
  double m_step = 1.0 / 60.0;
  std::map<int, platform::PadState> m_pads;
};

class Camera : public ::testing::Test {
 protected:
  void SetUp() override {
    m_target.m_width = 160;
    m_target.m_height = 90;
    g_pCurrentRenderTarget = &m_target;
  }
  void TearDown() override {
    g_pCurrentRenderTarget = nullptr;
    m_sequence.Clear();
  }

  // A running item of the sequence; a 100 s window unless props say more.
  fxBase* Add(rvSequence& sequence, const std::string& json) {
    Json::Value item = ParseJson(json);
    if (!item["Properties"].isMember("End")) item["Properties"]["End"] = 6000;
    fxBase* fx = CreateFxFromJson(GetClassRegistry(), item, &sequence);
    EXPECT_NE(fx, nullptr) << json;
    if (fx) sequence.AppendItem(fx);
    return fx;
  }
  fxCamera* AddCamera(const std::string& properties = "{}") {
    auto* cam = static_cast<fxCamera*>(Add(m_sequence, "{\"Class\":\"fxCamera\",\"Properties\":" + properties + "}"));
    if (cam) cam->SetState(StateRunning);
    return cam;
  }
  // A camera flown by pad 0 (mode "FreePad (Always)") in a paused sequence.
  fxCamera* AddPadCamera(const std::string& extra = "") {
    return AddCamera("{\"ControlMode\":2" + extra + "}");
  }
  platform::PadState& Pad() { return m_pads.m_pads[0]; }

  // Where the target's view puts a world point.
  glm::vec3 InView(const glm::vec3& p) const { return glm::vec3(m_target.m_view * glm::vec4(p, 1.0f)); }

  RenderTarget m_target;
  rvSequence m_sequence{0};
  FakePads m_pads;
};

void ExpectVecNear(const glm::vec3& got, const glm::vec3& want, float tolerance, const char* what) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << what << " component " << i;
}

// ---------------------------------------------------------------------------
// Matrices
// ---------------------------------------------------------------------------

TEST_F(Camera, DefaultLooksAwayFromTheOriginAndFlipzTowardsIt) {
  const struct {
    const char* props;
    glm::vec3 ahead;  // a world point straight in front, 1 unit away
  } cases[] = {{"{}", {0.0f, 0.0f, -101.0f}}, {"{\"Flipz\":true}", {0.0f, 0.0f, -99.0f}}};
  for (const auto& c : cases) {
    fxCamera* cam = AddCamera(c.props);
    ASSERT_NE(cam, nullptr);
    cam->Update();
    // Camera space looks down its -z: 1 unit in front is (0, 0, -1).
    ExpectVecNear(InView(c.ahead), {0.0f, 0.0f, -1.0f}, 1e-4f, c.props);
    ExpectVecNear(InView({0.0f, 0.0f, -100.0f}), {0.0f, 0.0f, 0.0f}, 1e-4f, c.props);
    ExpectVecNear(m_target.m_position, {0.0f, 0.0f, -100.0f}, 1e-4f, c.props);
    EXPECT_NEAR(m_target.m_fov, 60.0f * 3.1415927f / 180.0f, 1e-6f);
    const glm::mat4 expected = glm::perspectiveFov(60.0f * 3.1415927f / 180.0f, 160.0f, 90.0f, 0.1f, 1000.0f);
    EXPECT_EQ(m_target.m_projection, expected);
    EXPECT_EQ(m_target.m_viewProjection, m_target.m_projection * m_target.m_view);
    EXPECT_EQ(cam->m_view, m_target.m_view);
  }
  // With Flipz the origin is 100 units ahead.
  ExpectVecNear(InView({0.0f, 0.0f, 0.0f}), {0.0f, 0.0f, -100.0f}, 1e-3f, "origin");
}

TEST_F(Camera, ZeroQuaternionDrawsAsIdentityAndPadModesWriteItBack) {
  fxCamera* identity = AddCamera();
  identity->Update();
  const glm::mat4 expected = m_target.m_view;
  const struct {
    int mode;
    glm::vec4 storedAfter;
  } cases[] = {{0, glm::vec4(0.0f)}, {2, glm::vec4(0.0f, 0.0f, 0.0f, 1.0f)}};
  for (const auto& c : cases) {
    fxCamera* cam = AddCamera("{\"CamQuaternion.x\":0,\"CamQuaternion.y\":0,\"CamQuaternion.z\":0,\"CamQuaternion.w\":0,\"ControlMode\":" +
                              std::to_string(c.mode) + "}");
    ASSERT_NE(cam, nullptr);
    cam->Update();
    EXPECT_EQ(m_target.m_view, expected) << "mode " << c.mode;
    EXPECT_EQ(cam->m_camQuaternion, c.storedAfter) << "mode " << c.mode;
  }
}

TEST_F(Camera, TargetGetsTheEulerAnglesAndPositionOfTheCamera) {
  const struct {
    glm::vec3 axis;
    float angle;
    glm::vec3 rotation;  // expected (pitch, yaw, roll)
  } cases[] = {{{0, 1, 0}, 0.5f, {0.0f, 0.5f, 0.0f}},
               {{1, 0, 0}, 0.3f, {0.3f, 0.0f, 0.0f}},
               {{0, 0, 1}, -0.7f, {0.0f, 0.0f, -0.7f}}};
  for (const auto& c : cases) {
    const glm::quat q = glm::angleAxis(c.angle, c.axis);
    char props[256];
    std::snprintf(props, sizeof props,
                  "{\"CamPosition.x\":1,\"CamPosition.y\":2,\"CamPosition.z\":3,\"CamQuaternion.x\":%.9g,\"CamQuaternion.y\":%.9g,\"CamQuaternion.z\":%.9g,\"CamQuaternion.w\":%.9g}",
                  q.x, q.y, q.z, q.w);
    fxCamera* cam = AddCamera(props);
    ASSERT_NE(cam, nullptr);
    cam->Update();
    ExpectVecNear(m_target.m_rotation, c.rotation, 1e-5f, props);
    ExpectVecNear(m_target.m_position, {1.0f, 2.0f, 3.0f}, 1e-5f, props);
  }
}

TEST_F(Camera, OrbitTargetKeepsItsFreeCameraFields) {
  m_target.m_orbit = true;
  fxCamera* cam = AddCamera("{\"CamPosition.x\":5,\"CamPosition.y\":6,\"CamPosition.z\":7}");
  cam->Update();
  ExpectVecNear(m_target.m_position, {0.0f, 0.0f, 100.0f}, 0.0f, "orbit");
  EXPECT_EQ(m_target.m_view, cam->m_view);
}

TEST_F(Camera, LockedModePinsThePoseOfTheLastFrame) {
  fxCamera* cam = AddCamera("{\"CamPosition.x\":5,\"CamPosition.y\":0,\"CamPosition.z\":0}");
  cam->Update();
  cam->m_controlMode = fxCamera::ControlLocked;
  cam->m_camPosition = glm::vec3(50.0f);
  cam->Update();
  ExpectVecNear(cam->m_camPosition, {5.0f, 0.0f, 0.0f}, 0.0f, "locked");
  ExpectVecNear(m_target.m_position, {5.0f, 0.0f, 0.0f}, 1e-5f, "locked");
}

// ---------------------------------------------------------------------------
// Gamepad flight
// ---------------------------------------------------------------------------

TEST_F(Camera, LeftTriggerScrubsBackInWholeFramesKeepingTheCarryWithinHalfAFrame) {
  fxCamera* cam = AddPadCamera();
  ASSERT_NE(cam, nullptr);
  m_sequence.m_time = 50.0f;
  Pad().axes[platform::PadLeftTrigger] = 1.0f;  // right trigger stays released (-1)
  cam->Update();  // the first update after Start has no time step
  EXPECT_EQ(m_sequence.m_time, 50.0f);
  int ones = 0, twos = 0;
  for (int frame = 0; frame < 60; ++frame) {
    const float before = m_sequence.m_time;
    cam->Update();
    const float steps = (before - m_sequence.m_time) * 60.0f;
    EXPECT_NEAR(steps, std::round(steps), 2e-3f) << "frame " << frame;
    if (std::round(steps) == 1.0f) ++ones;
    if (std::round(steps) == 2.0f) ++twos;
    EXPECT_LE(std::fabs(cam->m_scrubCarry), 0.5f / 60.0f + 1e-6f) << "frame " << frame;
  }
  // 1.1 frames a frame: 66 frames in 60, one double step in ten.
  EXPECT_EQ(ones + 2 * twos, 66);
  EXPECT_EQ(ones + twos, 60);
}

TEST_F(Camera, SticksOutsideTheDeadZoneOnlyMoveThePausedCamera) {
  const struct {
    float value;
    bool playing;
    bool moves;
  } cases[] = {{0.05f, false, false}, {-0.05f, false, false}, {0.06f, false, true}, {1.0f, true, false}};
  for (const auto& c : cases) {
    fxCamera* cam = AddPadCamera();
    m_sequence.m_playing = c.playing;
    Pad() = platform::PadState();
    Pad().axes[platform::PadLeftY] = c.value;
    cam->Update();
    cam->Update();
    const bool moved = cam->m_camPosition != glm::vec3(0.0f, 0.0f, -100.0f);
    EXPECT_EQ(moved, c.moves) << c.value;
    m_sequence.Clear();
  }
}

TEST_F(Camera, ForwardStickMovesAlongTheViewAxisAtTheSpeedRate) {
  fxCamera* cam = AddPadCamera(",\"SpeedPos\":0");
  cam->Update();
  Pad().axes[platform::PadLeftY] = -1.0f;  // stick pushed forward
  cam->Update();
  // forward = 1 x (0 x 9 + 1) x dt along the camera's z axis.
  ExpectVecNear(cam->m_camPosition, {0.0f, 0.0f, -100.0f + kFrame}, 1e-4f, "forward");
}

TEST_F(Camera, StartTogglesOncePerPressAndPausingMovesNothing) {
  fxCamera* cam = AddPadCamera();
  m_sequence.m_playing = true;
  cam->Update();
  Pad().buttons[platform::PadStart] = 1;
  Pad().axes[platform::PadLeftY] = -1.0f;
  for (int i = 0; i < 5; ++i) cam->Update();
  EXPECT_FALSE(m_sequence.m_playing);
  // The press paused the sequence and restarted the items (the camera's pad
  // clock with them); later frames with START still held move the paused
  // camera, the press frame did not.
  Pad().buttons[platform::PadStart] = 0;
  Pad().axes[platform::PadLeftY] = 0.0f;
  cam->Update();
  const glm::vec3 afterHold = cam->m_camPosition;
  Pad().buttons[platform::PadStart] = 1;
  cam->Update();
  EXPECT_TRUE(m_sequence.m_playing);
  EXPECT_EQ(cam->m_camPosition, afterHold);
}

TEST_F(Camera, StartPressFrameWhilePlayingAppliesNoMovement) {
  fxCamera* cam = AddPadCamera();
  m_sequence.m_playing = true;
  cam->Update();
  Pad().buttons[platform::PadStart] = 1;
  Pad().axes[platform::PadLeftY] = -1.0f;
  cam->Update();
  EXPECT_FALSE(m_sequence.m_playing);
  ExpectVecNear(cam->m_camPosition, {0.0f, 0.0f, -100.0f}, 0.0f, "press frame");
  EXPECT_EQ(cam->m_state, StateInitialized);
}

TEST_F(Camera, ThumbButtonsRecordAndDeleteKeysOfTheSevenComponents) {
  fxCamera* cam = AddPadCamera(",\"CamPosition.x\":1,\"CamPosition.y\":2,\"CamPosition.z\":3");
  cam->m_localTime = 0.5f;
  Pad().buttons[platform::PadRightThumb] = 1;
  cam->Update();
  ASSERT_EQ(cam->m_drivers.size(), 7u);
  const float expected[7] = {1, 2, 3, 0, 0, 0, 1};
  for (size_t i = 0; i < 7; ++i) {
    auto* d = static_cast<KeyFrameDriver*>(cam->m_drivers[i]);
    EXPECT_EQ(d->_attribName, fxCamera::kPadComponents[i]);
    ASSERT_EQ(d->_aKeys.size(), 1u);
    EXPECT_EQ(d->_aKeys[0].time, 0.5f);
    EXPECT_EQ(d->_aKeys[0].value, expected[i]) << i;
  }
  Pad().buttons[platform::PadRightThumb] = 0;
  Pad().buttons[platform::PadLeftThumb] = 1;
  cam->Update();
  for (NoneDriver* d : cam->m_drivers) EXPECT_TRUE(static_cast<KeyFrameDriver*>(d)->_aKeys.empty());
}

TEST_F(Camera, RecordKeyRefusesUnknownNamesAndDriversOfAnotherKind) {
  fxCamera* cam = AddCamera(
      "{\"_apAttribDrivers\":[{\"_attribName\":\"CamFov\",\"_eType\":2,\"_fMin\":10,\"_fMax\":20}]}");
  ASSERT_EQ(cam->m_drivers.size(), 1u);
  EXPECT_EQ(cam->RecordKey(nullptr, -1.0f), -1);
  EXPECT_EQ(cam->RecordKey("NoSuchAttribute", -1.0f), -1);
  EXPECT_EQ(cam->RecordKey("CamFov", -1.0f), -1);
  EXPECT_EQ(cam->m_drivers.size(), 1u);
  cam->DeleteKey("CamFov");
  cam->ShiftKeys(kFrame, "CamFov", true, true);
  EXPECT_EQ(cam->RecordKey("CamFar", 2.0f), 0);
  EXPECT_EQ(cam->m_localTime, 0.0f);
  EXPECT_EQ(static_cast<KeyFrameDriver*>(cam->m_drivers[1])->_aKeys[0].time, 2.0f);
}

TEST_F(Camera, BumpersJumpToTheNearestKeyOncePerPress) {
  const struct {
    bool previous, next;
    float expectedTime;
  } cases[] = {{false, true, 2.0f}, {true, false, 1.0f}, {true, true, 1.0f}};
  for (const auto& c : cases) {
    fxCamera* cam = AddCamera();
    cam->RecordKey("CamPosition.x", 1.0f);
    cam->RecordKey("CamPosition.x", 2.0f);
    cam->m_localTime = 1.0f;
    m_sequence.m_time = 1.0f;
    cam->JumpToKey(c.previous, c.next);
    EXPECT_FLOAT_EQ(m_sequence.m_time, c.expectedTime) << c.previous << c.next;
    // Held down: no second jump.
    m_sequence.m_time = 1.0f;
    cam->JumpToKey(c.previous, c.next);
    EXPECT_FLOAT_EQ(m_sequence.m_time, 1.0f);
    m_sequence.Clear();
  }
}

TEST_F(Camera, YRelevelsKeepingTheHeadingTheCameraLooksAlongWhateverItsRoll) {
  struct Case {
    const char* what;
    glm::quat q;
  };
  const glm::vec3 xAxis(1, 0, 0), yAxis(0, 1, 0), zAxis(0, 0, 1);
  const float quarter = glm::radians(90.0f);
  const glm::quat yawed = glm::angleAxis(0.5f, yAxis);
  const Case cases[] = {
      {"level, turned", yawed},
      {"a quarter roll", glm::angleAxis(quarter, zAxis)},
      {"a quarter roll the other way", glm::angleAxis(-quarter, zAxis)},
      {"turned, a quarter roll", yawed * glm::angleAxis(quarter, zAxis)},
      {"rolled past a quarter", yawed * glm::angleAxis(glm::radians(100.0f), zAxis)},
      {"upside down", yawed * glm::angleAxis(glm::radians(180.0f), zAxis)},
      {"pitched and rolled", yawed * glm::angleAxis(0.4f, xAxis) * glm::angleAxis(-2.3f, zAxis)},
      {"looking straight down", glm::angleAxis(quarter, xAxis)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char props[256];
    std::snprintf(props, sizeof props,
                  ",\"CamQuaternion.x\":%.9g,\"CamQuaternion.y\":%.9g,\"CamQuaternion.z\":%.9g,\"CamQuaternion.w\":%.9g",
                  c.q.x, c.q.y, c.q.z, c.q.w);
    fxCamera* cam = AddPadCamera(props);
    Pad() = platform::PadState();
    Pad().buttons[platform::PadY] = 1;
    cam->Update();
    const glm::vec4 stored = cam->m_camQuaternion;
    const glm::mat3 after = glm::mat3_cast(glm::normalize(glm::quat(stored.w, stored.x, stored.y, stored.z)));
    const glm::mat3 before = glm::mat3_cast(c.q);
    ExpectVecNear(after[1], yAxis, 1e-5f, "up");
    // The heading: the old z axis laid flat, or for a camera looking
    // straight down, the way its up axis pointed.
    glm::vec3 heading(before[2].x, 0.0f, before[2].z);
    if (glm::length(heading) < 1e-4f) heading = glm::vec3(before[1].x, 0.0f, before[1].z);
    ExpectVecNear(after[2], glm::normalize(heading), 1e-5f, "heading");
    m_sequence.Clear();
  }
}

TEST_F(Camera, AButtonHeldOnOnePadActsOnceWhileAnotherPadIsConnected) {
  fxCamera* cam = AddPadCamera();
  m_pads.m_pads[1] = platform::PadState();  // connected, nothing pressed
  m_sequence.m_playing = true;
  Pad().buttons[platform::PadStart] = 1;
  for (int frame = 0; frame < 6; ++frame) {
    cam->Update();
    EXPECT_FALSE(m_sequence.m_playing) << "START held: one toggle, frame " << frame;
  }
  Pad().buttons[platform::PadStart] = 0;

  cam->RecordKey("CamPosition.x", 1.0f);
  cam->RecordKey("CamPosition.x", 2.0f);
  cam->m_localTime = 1.0f;
  Pad().buttons[platform::PadRightBumper] = 1;
  for (int frame = 0; frame < 4; ++frame) {
    m_sequence.m_time = 1.0f;
    cam->Update();
    EXPECT_FLOAT_EQ(m_sequence.m_time, frame == 0 ? 2.0f : 1.0f) << "bumper held: one jump, frame " << frame;
  }
}

// ---------------------------------------------------------------------------
// ShiftKeys
// ---------------------------------------------------------------------------

struct ShiftCase {
  const char* what;
  std::vector<int> keys;  // frames
  int current;            // frame of the local time
  int offset;             // frames
  bool earlier, later;
  std::vector<int> expected;
};

TEST_F(Camera, ShiftKeysMovesTheRightKeysAndLosesNoneItDoesNotLandOn) {
  const ShiftCase cases[] = {
      {"later keys along", {0, 1, 2}, 0, 1, false, true, {1, 2, 3}},
      {"earlier keys along", {0, 1, 2}, 2, -1, true, false, {-1, 0, 1}},
      {"alone onto a neighbour", {0, 1, 2}, 0, 1, false, false, {1, 2}},
      // The current key lands on an earlier one that stays: every later key
      // must still move (the list shrank under the moves before).
      {"back onto a key, later along", {0, 1, 2, 3}, 1, -1, false, true, {0, 1, 2}},
      {"forward onto a key, earlier along", {0, 1, 2, 3}, 2, 1, true, false, {1, 2, 3}},
      {"everything back", {3, 4, 5}, 4, -2, true, true, {1, 2, 3}},
      {"no key at the time", {0, 2}, 1, 1, true, true, {0, 2}},
  };
  for (const auto& c : cases) {
    fxCamera* cam = AddCamera();
    for (int k : c.keys) cam->RecordKey("CamPosition.y", static_cast<float>(k) / 60.0f);
    cam->m_localTime = static_cast<float>(c.current) / 60.0f;
    cam->ShiftKeys(static_cast<float>(c.offset) / 60.0f, "CamPosition.y", c.earlier, c.later);
    const auto& keys = static_cast<KeyFrameDriver*>(cam->m_drivers[0])->_aKeys;
    std::vector<int> frames;
    for (const KeyFrame& k : keys) frames.push_back(static_cast<int>(std::lround(k.time * 60.0f)));
    EXPECT_EQ(frames, c.expected) << c.what;
    m_sequence.Clear();
  }
}

// ---------------------------------------------------------------------------
// Camera reference
// ---------------------------------------------------------------------------

TEST_F(Camera, ReferenceFindsItsCameraUpTheOwnerChainUnlessANearerItemHasTheName) {
  fxCamera* cam = AddCamera("{\"Name\":\"Main\",\"CamPosition.x\":7,\"CamPosition.y\":0,\"CamPosition.z\":0}");
  cam->Update();
  // A nested sequence embedded by an effect of the outer one.
  fxBase* embedder = Add(m_sequence, R"({"Class":"fxBase","Properties":{"Name":"nest"}})");
  rvSequence inner(0);
  inner.m_ownerFx = embedder;
  const struct {
    const char* innerItem;  // an item of the nested sequence named "Main", or none
    bool found;
  } cases[] = {{nullptr, true}, {R"({"Class":"fxBase","Properties":{"Name":"Main"}})", false}};
  for (const auto& c : cases) {
    if (c.innerItem) Add(inner, c.innerItem);
    auto* ref = static_cast<fxCameraReference*>(
        Add(inner, R"({"Class":"fxCameraReference","Properties":{"FxCamera":"Main"}})"));
    ASSERT_NE(ref, nullptr);
    ref->SetState(StateRunning);
    EXPECT_EQ(ref->m_camera, c.found ? cam : nullptr);
    m_target.m_view = glm::mat4(2.0f);
    ref->Update();
    EXPECT_EQ(m_target.m_view == cam->m_view, c.found);
    inner.Clear();
  }
}

}  // namespace
