// The test scene: what one update puts into the current vector display
// (counts of every kind, the pillars' corners as they turn, the fences'
// style rules, the textured quad, the rocking text) with the font and the
// image of a real pack, and without them.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "effects/scenes/fxBasicScene.h"
#include "render/VectorDisplay.h"
#include "support/DefaultTargetFixture.h"
#include "support/TestPack.h"

namespace {

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TinyPng() {
  const unsigned char rgb[4 * 4 * 3] = {200};
  std::string out;
  stbi_write_png_to_func([](void* ctx, void* data, int size) {
    static_cast<std::string*>(ctx)->append(static_cast<const char*>(data), static_cast<size_t>(size));
  }, &out, 4, 4, 3, rgb, 12);
  return out;
}

class BasicScene : public DefaultTargetTest {
 protected:
  BasicScene() : DefaultTargetTest(64, 64) {}

  // The pack holds the scene's font and image only when asked.
  void UsePack(bool withAssets) {
    PackFiles files = {{"Data/seq/empty.seq", "{}"}};
    if (withAssets) {
      files["Data/Font/Dozirevev.ttf"] = FileBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
      files["Data/img/Shadertoy/Pebbles512.png"] = TinyPng();
    }
    ASSERT_TRUE(BuildPack(m_dir, files));
    EnterDir(m_dir);
  }
  fxBasicScene* AddScene(const std::string& properties = "{}") {
    Json::Value item = ParseJson("{\"Class\":\"fxBasicScene\",\"Properties\":" + properties + "}");
    item["Properties"]["End"] = 600;
    fxBase* fx = AddItem(item);
    EXPECT_NE(fx, nullptr);
    if (!fx) return nullptr;
    fx->SetState(StateRunning);
    return static_cast<fxBasicScene*>(fx);
  }
  // One frame at local time t into an emptied display.
  VectorGeometry& Frame(fxBase* fx, float t) {
    g_pCurrentVectorDisplay->ClearGeometry();
    fx->m_seekTime = t;
    fx->ExternalUpdate();
    return *g_pCurrentVectorDisplay;
  }

  TempDir m_dir;
};

// Floor 100 x 4, left fence 21 x (line 4 + two dots 4 each), right fence
// lines 21 x 4; strips 100 + 21 x 4.
constexpr int kLineVerticesWithoutText = 400 + 21 * 12 + 21 * 4;
constexpr int kStripsWithoutText = 100 + 21 * 4;

TEST_F(BasicScene, OneUpdateFillsTheDisplayWithEveryKind) {
  UsePack(false);
  fxBasicScene* scene = AddScene();
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->m_font, nullptr);
  const VectorGeometry& g = Frame(scene, 0.0f);
  EXPECT_EQ(g.m_triangles.count, 4 * 12 + 21 * 3);
  EXPECT_EQ(g.m_points.count, 100);
  EXPECT_EQ(g.m_quads.count, 1);
  EXPECT_EQ(g.m_lines.count, kLineVerticesWithoutText);
  EXPECT_EQ(g.m_lines.strips, kStripsWithoutText);
  // Without the image the quad samples nothing.
  EXPECT_EQ(g.m_quads.data()[0].texture, 0u);
}

TEST_F(BasicScene, TextAndImageOfThePackJoinTheScene) {
  UsePack(true);
  fxBasicScene* scene = AddScene();
  ASSERT_NE(scene->m_font, nullptr);
  EXPECT_EQ(scene->m_text.m_children.size(), 7u);  // "Velmora"
  const VectorGeometry& g = Frame(scene, 0.0f);
  EXPECT_GT(g.m_lines.count, kLineVerticesWithoutText);
  EXPECT_NE(g.m_quads.data()[0].texture, 0u);
  const VectorQuad& q = g.m_quads.data()[0];
  const int32_t discard[6] = {0, 0, PTF_TRIANGLE_DISCARDLINE, 0, 0, PTF_TRIANGLE_DISCARDLINE};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(q.v[i].flags & PTF_TRIANGLE_DISCARDLINE, discard[i]) << i;
  EXPECT_EQ(q.v[0].position, glm::vec3(70.0f, 40.0f, 20.0f));
  EXPECT_EQ(q.v[4].position, glm::vec3(70.0f, 40.0f, -500.0f));
  EXPECT_EQ(static_cast<uint32_t>(q.v[4].flags) >> 16, 0xFFFFu);  // (u, v) = (1, 1)
}

TEST_F(BasicScene, PillarsTurnAQuarterAboutTheYAxisInTwoSeconds) {
  UsePack(false);
  fxBasicScene* scene = AddScene();
  const struct {
    float t;
    glm::vec3 firstCorner;   // corner 0 of the pillar at (-20, 0, 0)
    glm::vec3 fourthCentre;  // centre of the pillar that started at (20, 0, 0)
  } cases[] = {{0.0f, {-25.0f, -30.0f, 5.0f}, {20.0f, 0.0f, 0.0f}}, {2.0f, {-5.0f, -30.0f, -25.0f}, {0.0f, 0.0f, 20.0f}}};
  for (const auto& c : cases) {
    const VectorGeometry& g = Frame(scene, c.t);
    const VectorTriangle* t = g.m_triangles.data();
    // The first triangle of a cube starts at corner 0.
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(t[0].v[0].position[k], c.firstCorner[k], 1e-4f) << c.t;
    EXPECT_EQ(t[0].v[0].color, glm::vec3(0.0f, 0.5f, 1.0f));
    EXPECT_FLOAT_EQ(t[0].v[0].thickness, 0.3f);
    // The fourth cube: the mean of its 36 corners is its centre.
    glm::vec3 sum(0.0f);
    for (int i = 36; i < 48; ++i)
      for (int k = 0; k < 3; ++k) sum += t[i].v[k].position;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(sum[k] / 36.0f, c.fourthCentre[k], 1e-3f) << c.t;
  }
}

TEST_F(BasicScene, TextRocksAndStaysAtMinusFortyWhateverTheTransformSays) {
  UsePack(false);
  fxBasicScene* scene = AddScene(R"({"Transform.Pos.x": 99, "Transform.Rot": 45, "Transform.Pos.y": 7})");
  const struct {
    float t, rotation;
  } cases[] = {{0.0f, 20.0f}, {1.0f, -20.0f}, {0.5f, 0.0f}, {2.0f, 20.0f}};
  for (const auto& c : cases) {
    Frame(scene, c.t);
    EXPECT_NEAR(scene->m_transform.rotation, c.rotation, 1e-4f) << c.t;
    EXPECT_EQ(scene->m_transform.position.x, -40.0f);
    EXPECT_EQ(scene->m_transform.position.y, 7.0f);
  }
}

TEST_F(BasicScene, FenceStyleFollowsTheGreenAndPurpleThicknesses) {
  UsePack(false);
  const struct {
    const char* props;
    float fenceThickness;  // of the fence lines
    float after;           // the display's current thickness afterwards
  } cases[] = {{R"({"ThicknessGreen": 0.7, "ThicknessPurple": 1.5})", 0.7f, 1.5f},
               {R"({"ThicknessGreen": 0, "ThicknessPurple": 0})", 0.25f, 0.25f}};
  for (const auto& c : cases) {
    fxBasicScene* scene = AddScene(c.props);
    g_pCurrentVectorDisplay->m_settings.currentThickness = 0.25f;
    const VectorGeometry& g = Frame(scene, 0.0f);
    // The first strip after the floor is the first left fence line.
    const VectorVertex& fence = g.m_lines.data()[400];
    EXPECT_EQ(fence.position, glm::vec3(-50.0f, 10.0f, 40.0f)) << c.props;
    EXPECT_EQ(fence.color, glm::vec3(0.0f, 1.0f, 0.0f)) << c.props;
    EXPECT_FLOAT_EQ(fence.thickness, c.fenceThickness) << c.props;
    EXPECT_EQ(g.m_settings.currentColor, glm::vec4(1.0f, 0.0f, 1.0f, 1.0f)) << c.props;
    EXPECT_FLOAT_EQ(g.m_settings.currentThickness, c.after) << c.props;
    m_sequence.Clear();
  }
}

TEST_F(BasicScene, EverySwitchOffLeavesOnlyTheStyle) {
  UsePack(true);
  fxBasicScene* scene =
      AddScene(R"({"DrawDots": false, "DrawLines": false, "DrawTriangles": false, "DrawQuadmaps": false})");
  const VectorGeometry& g = Frame(scene, 1.0f);
  EXPECT_TRUE(g.IsEmpty());
  EXPECT_EQ(g.m_settings.currentColor, glm::vec4(1.0f, 0.0f, 1.0f, 1.0f));
  EXPECT_NEAR(scene->m_transform.rotation, -20.0f, 1e-4f);
}

}  // namespace
