// SVG layers: the trees built on the CPU (children, polylines, point counts,
// auto-fit pivot and scale, LOD simplification only on a new epsilon), what
// each frame appends to the vector display (which layers, colour times fade,
// layer matrices), pixels of a real icon, and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effects/vector/fxSVG.h"
#include "render/Framebuffer.h"
#include "render/VectorDisplay.h"
#include "support/DefaultTargetFixture.h"
#include "support/HostileInputs.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

constexpr int kSize = 128;
const char* const kIconPath = "/usr/share/icons/Adwaita/scalable/places/folder-symbolic.svg";

// Three shapes: a closed square of four straight sides, a curve, and a
// two-subpath element.
const char* const kShapes =
    "<svg width=\"200\" height=\"100\">"
    "<path d=\"M 10 10 H 50 V 50 H 10 Z\"/>"
    "<path d=\"M 60 10 C 60 60 120 60 120 10\"/>"
    "<path d=\"M 130 10 L 190 10 M 130 20 L 190 20\"/>"
    "</svg>";
const char* const kPivotThird =
    "<svg width=\"200\" height=\"100\">"
    "<path id=\"pivot\" d=\"M 1 1 L 2 2\"/><path id=\"a\" d=\"M 5 5 L 9 9\"/>"
    "<path id=\"PIVOT-here\" d=\"M 70 30 L 80 30\"/><path id=\"PIVOT\" d=\"M 3 3 L 4 4\"/>"
    "</svg>";
// Every point at one spot: a document of size 0.
const char* const kZeroSize = "<svg><path id=\"dot\" d=\"M 5 5 L 5 5\"/></svg>";
const char* const kLine = "<svg width=\"100\" height=\"100\"><path d=\"M 0 50 L 100 50\"/></svg>";

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<VectorVertex> LineVertices() {
  const VectorGeometry& g = *g_pCurrentVectorDisplay;
  return std::vector<VectorVertex>(g.m_lines.data(), g.m_lines.data() + g.m_lines.count);
}

class SvgEffect : public DefaultTargetTest {
 protected:
  SvgEffect() : DefaultTargetTest(kSize, kSize) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    const std::string icon = FileBytes(kIconPath);
    ASSERT_GT(icon.size(), 100u) << "adwaita-icon-theme is missing: run tools/setup.sh";
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/svg/shapes.svg", kShapes},
                                  {"Data/svg/pivot.svg", kPivotThird},
                                  {"Data/svg/zero.svg", kZeroSize},
                                  {"Data/svg/line.svg", kLine},
                                  {"Data/svg/folder.svg", icon},
                                  {"Data/svg/huge.svg", hostile::SvgHugeCubics(20000, 1e6f)}}));
    EnterDir(m_dir);
    g_nVectorHistoryIndex = 0;
  }
  fxSVG* Add(const std::string& properties) {
    fxBase* fx = AddRunning("fxSVG", properties);
    EXPECT_NE(fx, nullptr);
    return static_cast<fxSVG*>(fx);
  }
  TempDir m_dir;
};

}  // namespace

// ---------------------------------------------------------------------------
// Trees
// ---------------------------------------------------------------------------

TEST_F(SvgEffect, EachShapeIsAChildAndEachSubpathAPolyline) {
  fxSVG* fx = Add(R"({"SVG":"svg/shapes.svg","Curve Tolerance":0.5})");
  ASSERT_NE(fx, nullptr);
  const ShapeNode& root = fx->m_layers[0].m_node;
  EXPECT_EQ(fx->m_shapeRoot, &root);
  EXPECT_TRUE(root.m_polylines.empty());
  ASSERT_EQ(root.m_children.size(), 3u);
  // Four straight sides closed: the start, four ends, the start again.
  ASSERT_EQ(root.m_children[0]->m_polylines.size(), 1u);
  EXPECT_EQ(root.m_children[0]->m_polylines[0]->m_points.size(), 6u);
  // The curve is flattened into more than its two ends.
  EXPECT_GT(root.m_children[1]->m_polylines[0]->m_points.size(), 4u);
  ASSERT_EQ(root.m_children[2]->m_polylines.size(), 2u);
  for (const Polyline* p : root.m_children[2]->m_polylines) EXPECT_EQ(p->m_points.size(), 2u);
  // A finer tolerance cuts the curve into more points.
  fxSVG* fine = Add(R"({"SVG":"svg/shapes.svg","Curve Tolerance":0.05})");
  EXPECT_GT(fine->m_layers[0].m_node.m_children[1]->m_polylines[0]->m_points.size(),
            root.m_children[1]->m_polylines[0]->m_points.size());
  // The SVG's own coordinates, y downwards.
  EXPECT_EQ(root.m_children[0]->m_polylines[0]->m_points[0], glm::vec3(10, 10, 0));
}

TEST_F(SvgEffect, AutoTransformCentresOnThePivotAndScalesToOneHundredUnits) {
  struct Case {
    const char* props;
    glm::vec2 pivot;
    float scale;
  };
  const Case cases[] = {
      {R"({"SVG":"svg/shapes.svg"})", {100, 50}, 0.5f},
      {R"({"SVG":"svg/pivot.svg"})", {70, 30}, 0.5f},
      {R"({"SVG":"svg/shapes.svg","Auto Transform":false,"Transform.Scale.x":2})", {0, 0}, 2.0f},
  };
  for (const Case& c : cases) {
    fxSVG* fx = Add(c.props);
    const rvTransform3D& t = fx->m_layers[0].m_transform;
    EXPECT_FLOAT_EQ(t.pivot.x, c.pivot.x) << c.props;
    EXPECT_FLOAT_EQ(t.pivot.y, c.pivot.y) << c.props;
    EXPECT_FLOAT_EQ(t.scale.x, c.scale) << c.props;
    EXPECT_FLOAT_EQ(t.scale.z, 1.0f) << c.props;
  }
}

TEST_F(SvgEffect, AZeroSizeDocumentSkipsTheFitWithOneLogLineAndStaysFinite) {
  LogCapture log;
  fxSVG* fx = Add(R"({"SVG":"svg/zero.svg","child1/SVG":"svg/line.svg","child1/Persistent":true})");
  ASSERT_NE(fx, nullptr);
  EXPECT_EQ(fx->m_layers[0].m_transform.scale, glm::vec3(1.0f));
  EXPECT_TRUE(log.Contains("svg/zero.svg has no size to fit"));
  Frame(fx, 0.0f);
  const auto vertices = LineVertices();
  ASSERT_FALSE(vertices.empty());
  for (const VectorVertex& v : vertices)
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(std::isfinite(v.position[k]));
  for (int i = 0; i < fxSVG::kLayerCount; ++i) {
    const glm::mat4 m = fx->LayerMatrix(i);
    for (int k = 0; k < 16; ++k) ASSERT_TRUE(std::isfinite(m[k / 4][k % 4])) << i;
  }
}

TEST_F(SvgEffect, MissingOrEmptyFilesLeaveOnlyTheirLayerEmpty) {
  fxSVG* fx = Add(R"({"SVG":"svg/nothing.svg","child2/SVG":"svg/line.svg","child3/SVG":""})");
  ASSERT_NE(fx, nullptr);
  EXPECT_TRUE(fx->m_layers[0].m_node.m_children.empty());
  EXPECT_EQ(fx->m_layers[2].m_node.m_children.size(), 1u);
  EXPECT_TRUE(fx->m_layers[3].m_node.m_children.empty());
  Frame(fx, 0.0f);
  EXPECT_EQ(g_pCurrentVectorDisplay->m_lines.count, 0);
}

TEST_F(SvgEffect, LodSimplifiesAgainOnlyWhenTheEpsilonChanges) {
  fxSVG* fx = Add(R"({"SVG":"svg/shapes.svg","LOD Epsilon":0.2})");
  ShapeNode& node = fx->m_layers[0].m_node;
  EXPECT_FLOAT_EQ(node.m_simplifyEpsilon, 0.2f);
  ASSERT_GE(node.m_children.size(), 2u);
  ASSERT_FALSE(node.m_children[1]->m_polylines.empty());
  Polyline& curve = *node.m_children[1]->m_polylines[0];
  ASSERT_FALSE(curve.m_simplified.empty());
  // A marker the next simplification would overwrite.
  curve.m_simplified.assign(1, 0u);
  Frame(fx, 0.0f);
  EXPECT_EQ(curve.m_simplified.size(), 1u) << "same epsilon: no new simplification";
  fx->m_lodEnabled = false;
  fx->m_lodEpsilon = 0.9f;
  Frame(fx, 0.0f);
  EXPECT_EQ(curve.m_simplified.size(), 1u) << "LOD off: no simplification";
  fx->m_lodEnabled = true;
  Frame(fx, 0.0f);
  EXPECT_GT(curve.m_simplified.size(), 1u);
  EXPECT_FLOAT_EQ(node.m_simplifyEpsilon, 0.9f);
}

// ---------------------------------------------------------------------------
// What a frame appends
// ---------------------------------------------------------------------------

TEST_F(SvgEffect, DisplayIdAndPersistentLayersChooseWhatIsDrawn) {
  // Each layer draws the same line in a red of its own: 0.1, 0.2, ... 0.5.
  std::string layers;
  for (int i = 0; i < fxSVG::kLayerCount; ++i) {
    const std::string p = i == 0 ? "" : "child" + std::to_string(i) + "/";
    layers += "\"" + p + "SVG\":\"svg/line.svg\",\"" + p + "Color.r\":" + std::to_string(0.1 * (i + 1)) + ",";
  }
  struct Case {
    std::string props;
    std::vector<int> drawn;
  };
  const Case cases[] = {
      {"\"DisplayId\":3", {3}},
      {"\"DisplayId\":7", {}},
      {"\"DisplayId\":7,\"child1/Persistent\":true,\"child4/Persistent\":true", {1, 4}},
      {"\"DisplayId\":0,\"child2/Persistent\":true", {0, 2}},
  };
  for (const Case& c : cases) {
    fxSVG* fx = Add("{" + layers + c.props + "}");
    Frame(fx, 0.0f);
    std::vector<int> drawn;
    for (const VectorVertex& v : LineVertices()) {
      const int layer = static_cast<int>(std::lround(v.color.r * 10.0f)) - 1;
      if (drawn.empty() || drawn.back() != layer) drawn.push_back(layer);
    }
    EXPECT_EQ(drawn, c.drawn) << c.props;
  }
}

TEST_F(SvgEffect, ColourIsTimesTheFadeAndThicknessIsTheLayers) {
  fxSVG* fx = Add(R"({"SVG":"svg/line.svg","FadeIn":1.0,"Thickness":1.25})");
  Frame(fx, 0.5f);
  const float f = fx->GetFadeFactor();
  ASSERT_GT(f, 0.0f);
  ASSERT_LT(f, 1.0f);
  const auto vertices = LineVertices();
  ASSERT_FALSE(vertices.empty());
  for (const VectorVertex& v : vertices) {
    EXPECT_FLOAT_EQ(v.color.r, 0.0f);
    EXPECT_FLOAT_EQ(v.color.g, 0.6f * f);
    EXPECT_FLOAT_EQ(v.color.b, 1.0f * f);
    EXPECT_FLOAT_EQ(v.thickness, 1.25f);
  }
  const Polyline& line = *fx->m_layers[0].m_node.m_children[0]->m_polylines[0];
  EXPECT_FLOAT_EQ(line.m_color.a, f);
}

TEST_F(SvgEffect, ChildLayersArePlacedAfterLayerZero) {
  // Layer 0 fitted (pivot (50, 50), scale 1) and moved; layer 2 with an
  // identity transform on top of it; layer 1 moved by 10 in layer 0's units.
  fxSVG* fx = Add(R"({"SVG":"svg/line.svg","Transform.Pos.x":5,"Transform.Rot.z":90,
                      "child1/SVG":"svg/line.svg","child1/Persistent":true,"child1/Transform.Pos.x":10,
                      "child2/SVG":"svg/line.svg","child2/Persistent":true})");
  Frame(fx, 0.0f);
  const glm::mat4 m0 = fx->m_layers[0].m_transform.matrix;
  const glm::vec3 start0 = glm::vec3(m0 * glm::vec4(0, 50, 0, 1));
  const glm::vec3 start1 = glm::vec3(m0 * glm::vec4(10, 50, 0, 1));
  std::vector<glm::vec3> starts;
  for (const VectorVertex& v : LineVertices())
    if (v.flags & PTF_LINE_STRIPSTART) starts.push_back(v.position);
  ASSERT_EQ(starts.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(starts[0][k], start0[k], 1e-4f);
    EXPECT_NEAR(starts[1][k], start1[k], 1e-4f);
    EXPECT_NEAR(starts[2][k], start0[k], 1e-4f);
  }
}

// ---------------------------------------------------------------------------
// Pixels
// ---------------------------------------------------------------------------

TEST_F(SvgEffect, ARealIconLightsPixelsInItsColourAroundTheCentre) {
  fxSVG* fx = Add(R"({"SVG":"svg/folder.svg","Color.r":1,"Color.g":0,"Color.b":0,"Thickness":1.0})");
  ASSERT_NE(fx, nullptr);
  ASSERT_GT(fx->m_layers[0].m_node.m_children.size(), 0u);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  Frame(fx, 0.0f);
  g_pCurrentVectorDisplay->m_settings.colorBrightness = 0.0f;
  g_pCurrentVectorDisplay->Flush();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
  const std::vector<uint8_t> pixels = ReadPixels(0, 0, kSize, kSize);
  int lit = 0, litFar = 0, notRed = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const uint8_t* p = &pixels[(size_t(y) * kSize + x) * 4];
      if (p[0] < 60) continue;
      ++lit;
      // 100 units of icon at distance 100 under a 60 degree field: about
      // 110 of the 128 pixels, centred.
      if (std::abs(x - kSize / 2) > 60 || std::abs(y - kSize / 2) > 60) ++litFar;
      if (p[1] > p[0] / 2 || p[2] > p[0] / 2) ++notRed;
    }
  }
  EXPECT_GT(lit, 200);
  EXPECT_EQ(litFar, 0);
  EXPECT_EQ(notRed, 0);
}

TEST_F(SvgEffect, CurvesPastTheLayersPointBudgetAreDrawnStraight) {
  // 20,000 cubics a million units wide: 1,024 points each at full depth.
  LogCapture log;
  fxSVG* fx = Add(R"({"SVG":"svg/huge.svg","Auto Transform":false})");
  ASSERT_EQ(fx->m_layers[0].m_node.m_children.size(), 1u);
  const ShapeNode& shape = *fx->m_layers[0].m_node.m_children[0];
  ASSERT_EQ(shape.m_polylines.size(), 1u);
  const Polyline& line = *shape.m_polylines[0];
  // The budget, the last cubic flattened before it ran out, and one point
  // per cubic after it.
  EXPECT_LE(line.m_points.size(), fxSVG::kMaxLayerPoints + 4096u + 20000u);
  EXPECT_GT(line.m_points.size(), fxSVG::kMaxLayerPoints);
  // The path ends 20,000 widths along (relative coordinates add up in
  // floats).
  EXPECT_NEAR(line.m_points.back().x, 2e10f, 2e10f * 1e-4f);
  EXPECT_EQ(line.m_points.back().y, 0.0f);
  EXPECT_GE(line.m_simplified.size(), 2u);
  EXPECT_LE(line.m_simplified.size(), line.m_points.size());
  EXPECT_TRUE(log.Contains("fxSVG: svg/huge.svg flattens to more than 262144 points")) << log.Text();
}
