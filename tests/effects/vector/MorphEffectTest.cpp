// Outline morph: pairing of hand-filled sides (splits of the longest edges,
// order of equal distances, reversed partners), captured polylines pairing
// in runs, what a frame draws at morph factors 0 and 1, the fade-in curve,
// sides captured from an fxSVG or loaded from files, and bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "effects/vector/ShapeMorph.h"
#include "effects/vector/fxMorph.h"
#include "effects/vector/fxSVG.h"
#include "render/ShapeNode.h"
#include "render/VectorDisplay.h"
#include "support/DefaultTargetFixture.h"
#include "support/HostileInputs.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

// A side of straight edges that share no points, as an edge set holds them.
void FillSide(nanoSVG2Edge& side, const std::vector<glm::vec4>& edges) {
  for (const glm::vec4& e : edges) {
    const float n = static_cast<float>(side.m_points.size());
    side.m_points.push_back(EdgePoint{e.x, e.y, 0});
    side.m_points.push_back(EdgePoint{e.z, e.w, 1});
    side.m_edges.push_back(EdgeSegment{n, n + 1, 0});
  }
  side.m_pointCount = static_cast<int>(side.m_points.size());
  side.m_edgeCount = static_cast<int>(side.m_edges.size());
}

float EdgeLength(const nanoSVG2Edge& side, int e) {
  const EdgePoint& a = side.m_points[static_cast<int>(side.m_edges[e].start)];
  const EdgePoint& b = side.m_points[static_cast<int>(side.m_edges[e].end)];
  return std::hypot(b.x - a.x, b.y - a.y);
}

// The destination edge a pair's two destination points belong to.
int DestinationEdgeOf(const ShapeMorph& morph, const EdgePair& pair) {
  for (int e = 0; e < morph.m_destination.m_edgeCount; ++e) {
    const int a = static_cast<int>(morph.m_destination.m_edges[e].start);
    const int b = static_cast<int>(morph.m_destination.m_edges[e].end);
    if ((pair.dest1 == a && pair.dest2 == b) || (pair.dest1 == b && pair.dest2 == a)) return e;
  }
  return -1;
}

void ExpectOneToOne(const ShapeMorph& morph) {
  ASSERT_EQ(morph.m_pairCount, static_cast<int>(morph.m_pairs.size()));
  std::set<int> destinations;
  for (int i = 0; i < morph.m_pairCount; ++i) {
    const EdgePair& p = morph.m_pairs[i];
    EXPECT_EQ(p.source1, static_cast<int>(morph.m_source.m_edges[i].start)) << i;
    EXPECT_EQ(p.source2, static_cast<int>(morph.m_source.m_edges[i].end)) << i;
    const int d = DestinationEdgeOf(morph, p);
    EXPECT_GE(d, 0) << i;
    destinations.insert(d);
  }
  EXPECT_EQ(destinations.size(), static_cast<size_t>(morph.m_pairCount));
}

// A polyline of k points on a circle of the given radius, in a node.
void AddCircleLine(ShapeNode& node, int k, float radius) {
  Polyline* line = node.AddPolyline();
  for (int i = 0; i < k; ++i) {
    const float a = 6.2831853f * i / k;
    line->AddPoint(glm::vec3(radius * std::cos(a), radius * std::sin(a), 0.0f));
  }
}

// Each strip drawn as its first and last point (a strip repeats both).
std::vector<std::pair<glm::vec2, glm::vec2>> DrawnLines(const VectorGeometry& g) {
  std::vector<std::pair<glm::vec2, glm::vec2>> lines;
  const VectorVertex* v = g.m_lines.data();
  for (int i = 0; i < g.m_lines.count; ++i) {
    if (v[i].flags & PTF_LINE_STRIPSTART) lines.push_back({glm::vec2(v[i].position), glm::vec2(v[i].position)});
    if (!lines.empty()) lines.back().second = glm::vec2(v[i].position);
  }
  return lines;
}

}  // namespace

// ---------------------------------------------------------------------------
// Pairing on the CPU
// ---------------------------------------------------------------------------

TEST(MorphPairing, TenAgainstThirteenEdgesSplitsTheCurrentLongestThreeTimes) {
  ShapeMorph morph;
  // Lengths 100 and 60 then eight of 10, spread out so nothing touches.
  std::vector<glm::vec4> source = {{0, 0, 100, 0}, {0, 20, 60, 20}};
  for (int i = 0; i < 8; ++i) source.push_back({0, 40.0f + 10 * i, 10, 40.0f + 10 * i});
  std::vector<glm::vec4> destination;
  for (int i = 0; i < 13; ++i) destination.push_back({0, 10.0f * i, 5, 10.0f * i});
  FillSide(morph.m_source, source);
  FillSide(morph.m_destination, destination);
  morph.PairEdges();
  EXPECT_EQ(morph.m_pairCount, 13);
  ASSERT_EQ(morph.m_source.m_edgeCount, 13);
  EXPECT_EQ(morph.m_source.m_pointCount, 23);  // three midpoints added
  // 100 -> 50 + 50, 60 -> 30 + 30, then the first 50 again -> 25 + 25.
  const float want[] = {25, 25, 50, 30, 30, 10, 10, 10, 10, 10, 10, 10, 10};
  for (int e = 0; e < 13; ++e) EXPECT_NEAR(EdgeLength(morph.m_source, e), want[e], 1e-4f) << e;
  // The halves share their midpoint, flagged as an end.
  EXPECT_EQ(morph.m_source.m_edges[0].end, morph.m_source.m_edges[1].start);
  EXPECT_EQ(morph.m_source.m_points[static_cast<int>(morph.m_source.m_edges[0].end)].flag, 1);
  ExpectOneToOne(morph);
  // The sides are back where they were.
  EXPECT_FLOAT_EQ(morph.m_destination.m_points[0].x, 0.0f);
  EXPECT_FLOAT_EQ(morph.m_destination.m_points[0].y, 0.0f);
}

TEST(MorphPairing, EqualDistancesAreProcessedInEdgeOrder) {
  ShapeMorph morph;
  // Both source edges lie 10 from the centre; both destination midpoints
  // are equally near to either, so the first processed takes edge 0.
  FillSide(morph.m_source, {{-11, 0, -9, 0}, {9, 0, 11, 0}});
  FillSide(morph.m_destination, {{-1, 1, 1, 1}, {-1, -5, 1, -5}});
  morph.PairEdges();
  ASSERT_EQ(morph.m_pairCount, 2);
  EXPECT_EQ(DestinationEdgeOf(morph, morph.m_pairs[0]), 0);
  EXPECT_EQ(DestinationEdgeOf(morph, morph.m_pairs[1]), 1);
}

TEST(MorphPairing, APartnerRunningTheOtherWayHasItsEndsSwapped) {
  struct Case {
    glm::vec4 destination;
    bool swapped;
  };
  const Case cases[] = {{{0, 5, 10, 5}, false}, {{10, 5, 0, 5}, true}, {{0, 5, 0, 15}, false}};
  for (const Case& c : cases) {
    ShapeMorph morph;
    FillSide(morph.m_source, {{0, 0, 10, 0}});
    FillSide(morph.m_destination, {c.destination});
    morph.PairEdges();
    ASSERT_EQ(morph.m_pairCount, 1);
    EXPECT_EQ(morph.m_pairs[0].dest1, c.swapped ? 1 : 0);
    EXPECT_EQ(morph.m_pairs[0].dest2, c.swapped ? 0 : 1);
  }
}

TEST(MorphPairing, CapturedPolylinesShareTheirPointsAndPairInRuns) {
  ShapeNode source, destination;
  AddCircleLine(source, 12, 10.0f);
  AddCircleLine(destination, 12, 30.0f);
  ShapeMorph morph;
  CollectNodeEdges(morph.m_source, &source);
  CollectNodeEdges(morph.m_destination, &destination);
  // k points give k - 1 edges; the last point carries the end flag.
  ASSERT_EQ(morph.m_source.m_pointCount, 12);
  ASSERT_EQ(morph.m_source.m_edgeCount, 11);
  EXPECT_EQ(morph.m_source.m_points[11].flag, 1);
  EXPECT_EQ(morph.m_source.m_points[10].flag, 0);
  morph.PairEdges();
  ExpectOneToOne(morph);
  // Same shape, different size: the runs pair edge i with edge i.
  for (int i = 0; i < morph.m_pairCount; ++i) EXPECT_EQ(DestinationEdgeOf(morph, morph.m_pairs[i]), i) << i;
}

TEST(MorphPairing, CollectingTransformsByTheNodesMatrixAndWalksChildrenFirst) {
  ShapeNode root;
  Polyline* own = root.AddPolyline();
  own->AddPoint(glm::vec3(100, 0, 0));
  own->AddPoint(glm::vec3(200, 0, 0));
  ShapeNode* child = root.AddChild();
  Polyline* closed = child->AddPolyline();
  for (const glm::vec3& p : {glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(1, 1, 0), glm::vec3(0, 0, 0)})
    closed->AddPoint(p);
  rvTransform shift;
  shift.matrix = glm::mat4(1.0f);
  shift.matrix[3] = glm::vec4(5, 7, 0, 1);
  child->SetMatrixFrom(&shift, false);
  nanoSVG2Edge side;
  CollectNodeEdges(side, &root);
  ASSERT_EQ(side.m_pointCount, 6);
  ASSERT_EQ(side.m_edgeCount, 4);
  // The child's closed polyline first, its first and last points separate.
  EXPECT_FLOAT_EQ(side.m_points[0].x, 5.0f);
  EXPECT_FLOAT_EQ(side.m_points[0].y, 7.0f);
  EXPECT_FLOAT_EQ(side.m_points[3].x, 5.0f);
  EXPECT_EQ(side.m_edges[2].end, 3.0f);
  EXPECT_FLOAT_EQ(side.m_points[4].x, 100.0f);
  EXPECT_EQ(side.m_edges[3].start, 4.0f);
}

TEST(MorphPairing, MorphFactorZeroDrawsTheSourceAndOneTheDestination) {
  ShapeMorph morph;
  FillSide(morph.m_source, {{0, 0, 10, 0}, {0, 10, 10, 10}});
  FillSide(morph.m_destination, {{0, 100, 20, 100}, {0, 110, 20, 110}});
  morph.m_sourceScale = morph.m_destinationScale = glm::vec2(0.1f, -0.1f);
  morph.PairEdges();
  struct Case {
    float m;
    float x1, y1;  // first line's second end
  };
  const Case cases[] = {{0.0f, 10, 0}, {1.0f, 20, 100}, {0.5f, 15, 50}, {-3.0f, 10, 0}, {7.0f, 20, 100}};
  for (const Case& c : cases) {
    VectorGeometry g;
    morph.Draw(g, c.m, glm::vec2(0), 1.0f, glm::vec2(0), 1.0f, 0.0f, 0.0f);
    const auto lines = DrawnLines(g);
    ASSERT_EQ(lines.size(), 2u);
    // The far-out edge is paired first, then the other; each pair is drawn
    // in its source slot.
    EXPECT_NEAR(lines[0].second.x, c.x1, 1e-4f) << c.m;
    EXPECT_NEAR(lines[0].second.y, c.y1, 1e-4f) << c.m;
  }
  // Rotation and size apply about the origin, then the position offset.
  VectorGeometry g;
  morph.Draw(g, 0.0f, glm::vec2(3, 4), 2.0f, glm::vec2(0), 1.0f, 90.0f, 0.0f);
  const auto lines = DrawnLines(g);
  EXPECT_NEAR(lines[0].second.x, 3.0f, 1e-4f);
  EXPECT_NEAR(lines[0].second.y, 4.0f + 20.0f, 1e-4f);
}

// ---------------------------------------------------------------------------
// The effect
// ---------------------------------------------------------------------------

namespace {

const char* const kSquare = "<svg width=\"100\" height=\"100\"><path d=\"M 10 10 H 90 V 90 H 10 Z\"/></svg>";
const char* const kBar = "<svg width=\"100\" height=\"100\"><path d=\"M 0 50 L 100 50\"/></svg>";

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class MorphEffect : public DefaultTargetTest {
 protected:
  MorphEffect() : DefaultTargetTest(128, 128) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    // Two icons of Debian's adwaita-icon-theme (tools/setup.sh installs it).
    const std::string folder = FileBytes("/usr/share/icons/Adwaita/scalable/places/folder-symbolic.svg");
    const std::string home = FileBytes("/usr/share/icons/Adwaita/scalable/places/user-home-symbolic.svg");
    ASSERT_GT(folder.size(), 100u) << "adwaita-icon-theme is missing: run tools/setup.sh";
    ASSERT_GT(home.size(), 100u) << "adwaita-icon-theme is missing: run tools/setup.sh";
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/svg/square.svg", kSquare},
                                  {"Data/svg/bar.svg", kBar},
                                  {"Data/svg/folder.svg", folder},
                                  {"Data/svg/home.svg", home},
                                  {"Data/svg/long.svg", hostile::SvgLongPath(100000)}}));
    EnterDir(m_dir);
  }
  fxMorph* Add(const std::string& properties) {
    fxBase* fx = AddRunning("fxMorph", properties);
    EXPECT_NE(fx, nullptr);
    return static_cast<fxMorph*>(fx);
  }
  static std::vector<std::pair<glm::vec2, glm::vec2>> Lines() { return DrawnLines(*g_pCurrentVectorDisplay); }
  TempDir m_dir;
};

}  // namespace

TEST_F(MorphEffect, SidesFromFilesAreCentredScaledAndFlipped) {
  fxMorph* fx = Add(R"({"Source/SVG":"svg/square.svg","Destination/SVG":"svg/bar.svg","UserMorph":0,
                        "Source/Pos.x":5,"Source/Pos.y":0,"Source/Size":2})");
  ASSERT_NE(fx, nullptr);
  ASSERT_GT(fx->m_morph.m_pairCount, 0);
  Frame(fx, 1.0f);
  const auto lines = Lines();
  ASSERT_EQ(static_cast<int>(lines.size()), fx->m_morph.m_pairCount);
  // The square of side 80 about its centre, times 0.2, moved by (5, 0).
  glm::vec2 lo(1e9f), hi(-1e9f);
  for (const auto& l : lines)
    for (const glm::vec2& p : {l.first, l.second}) {
      lo = glm::min(lo, p);
      hi = glm::max(hi, p);
    }
  EXPECT_NEAR(lo.x, 5.0f - 8.0f, 0.5f);
  EXPECT_NEAR(hi.x, 5.0f + 8.0f, 0.5f);
  EXPECT_NEAR(lo.y, -8.0f, 0.5f);
  EXPECT_NEAR(hi.y, 8.0f, 0.5f);
}

TEST_F(MorphEffect, TheFadeInRaisesTheMorphFactorAlongSmoothstep) {
  fxMorph* fx = Add(R"({"Source/SVG":"svg/square.svg","Destination/SVG":"svg/bar.svg","FadeIn":1.0,
                        "UserMorph":0.8})");
  for (float t : {0.0f, 0.25f, 0.5f, 0.9f, 1.5f}) {
    Frame(fx, t);
    const float f = t < 1.0f ? t : 1.0f;
    const float want = t < 1.0f ? (3.0f - 2.0f * f) * f * f * 0.8f : 0.8f;
    EXPECT_NEAR(fx->MorphFactor(), want, 1e-6f) << t;
    EXPECT_FLOAT_EQ(fx->ColorFactor(), 1.0f);
  }
  fx->m_fadeInColor = true;
  Frame(fx, 0.25f);
  EXPECT_NEAR(fx->ColorFactor(), 0.25f, 1e-6f);
  EXPECT_NEAR(g_pCurrentVectorDisplay->m_settings.currentColor.r, 0.25f, 1e-6f);
}

TEST_F(MorphEffect, ThicknessZeroLeavesTheDisplaysThickness) {
  for (float thickness : {0.0f, 1.5f}) {
    fxMorph* fx = Add(R"({"Source/SVG":"svg/square.svg","Destination/SVG":"svg/bar.svg"})");
    fx->m_thickness = thickness;
    g_pCurrentVectorDisplay->m_settings.currentThickness = 0.77f;
    Frame(fx, 1.0f);
    EXPECT_FLOAT_EQ(g_pCurrentVectorDisplay->m_settings.currentThickness, thickness > 0 ? thickness : 0.77f);
  }
}

TEST_F(MorphEffect, SidesPastTheEdgeLimitAreRefusedWithOneLine) {
  // Pairing is quadratic in the edges: 100,000 would take minutes.
  LogCapture log;
  fxMorph* fx = Add(R"({"Source/SVG":"svg/long.svg","Destination/SVG":"svg/bar.svg"})");
  EXPECT_GE(fx->m_morph.m_source.m_edgeCount, 100000);
  EXPECT_EQ(fx->m_morph.m_pairCount, 0);
  EXPECT_TRUE(fx->m_morph.m_pairs.empty());
  EXPECT_TRUE(log.Contains("[fxMorph] sides of " + std::to_string(fx->m_morph.m_source.m_edgeCount) + " and " +
                           std::to_string(fx->m_morph.m_destination.m_edgeCount) +
                           " edges: more than 16384, not morphed"))
      << log.Text();
  Frame(fx, 1.0f);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(MorphEffect, ASideCapturedFromAnSvgEffectBeforeItElseItsFile) {
  // The fxSVG comes first: its outline is the source.
  fxBase* art = AddRunning("fxSVG", R"({"Name":"art","SVG":"svg/square.svg"})");
  ASSERT_NE(art, nullptr);
  fxMorph* fx = Add(R"({"Source/FX":"art","Source/SVG":"svg/missing.svg","Destination/SVG":"svg/bar.svg"})");
  // The closed square: start, four ends and the start again: five edges.
  EXPECT_EQ(fx->m_morph.m_sourceScale, glm::vec2(0.1f, -0.1f));
  EXPECT_GE(fx->m_morph.m_pairCount, 5);
  // Named but not there yet: the file.
  fxMorph* before = Add(R"({"Source/FX":"later","Source/SVG":"svg/bar.svg","Destination/SVG":"svg/square.svg"})");
  AddRunning("fxSVG", R"({"Name":"later","SVG":"svg/square.svg"})");
  EXPECT_EQ(before->m_morph.m_sourceScale, glm::vec2(0.1f, -0.1f));
  EXPECT_GT(before->m_morph.m_source.m_edgeCount, 0);
  EXPECT_LT(before->m_morph.m_source.m_points[0].y, 1.0f);  // the bar, centred
}

TEST_F(MorphEffect, ASideOfSizeZeroStaysFiniteAndComesBackWhenTheSizeChanges) {
  fxMorph* fx = Add(R"({"Source/SVG":"svg/square.svg","Destination/SVG":"svg/bar.svg","UserMorph":0,
                        "Source/Size":0,"Source/Pos.x":3,"Source/Pos.y":4})");
  ASSERT_GT(fx->m_morph.m_pairCount, 0);
  Frame(fx, 1.0f);
  for (const auto& l : Lines()) {
    EXPECT_NEAR(l.first.x, 3.0f, 1e-5f);
    EXPECT_NEAR(l.first.y, 4.0f, 1e-5f);
  }
  fx->m_sourceSize = 1.0f;
  Frame(fx, 1.0f);
  glm::vec2 lo(1e9f), hi(-1e9f);
  for (const auto& l : Lines()) {
    for (const glm::vec2& p : {l.first, l.second}) {
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
      lo = glm::min(lo, p);
      hi = glm::max(hi, p);
    }
  }
  // The square of side 80 at size 1: 8 units about (3, 4).
  EXPECT_NEAR(hi.x - lo.x, 8.0f, 0.5f);
  EXPECT_NEAR((hi.x + lo.x) / 2, 3.0f, 0.5f);
  EXPECT_NEAR((hi.y + lo.y) / 2, 4.0f, 0.5f);
}

TEST_F(MorphEffect, MissingFilesLeaveNoPairsAndDrawNothing) {
  const char* cases[] = {R"({"Source/SVG":"svg/missing.svg","Destination/SVG":"svg/bar.svg"})",
                         R"({"Source/SVG":"svg/bar.svg","Destination/SVG":"svg/missing.svg"})",
                         R"({"Source/SVG":"","Destination/SVG":""})"};
  for (const char* props : cases) {
    fxMorph* fx = Add(props);
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(fx->m_morph.m_pairCount, 0) << props;
    Frame(fx, 0.5f);
    EXPECT_EQ(g_pCurrentVectorDisplay->m_lines.count, 0) << props;
    fx->SetState(StateNone);
    EXPECT_TRUE(fx->m_morph.m_source.m_points.empty());
  }
}

TEST_F(MorphEffect, RealIconsMorphIntoEachOtherWithFiniteLines) {
  fxMorph* fx = Add(R"({"Source/SVG":"svg/folder.svg","Destination/SVG":"svg/home.svg","Source/Size":4,
                        "Destination/Size":4,"UserMorph":0.5})");
  ASSERT_GT(fx->m_morph.m_source.m_edgeCount, 10);
  ASSERT_GT(fx->m_morph.m_destination.m_edgeCount, 10);
  EXPECT_EQ(fx->m_morph.m_pairCount,
            std::max(fx->m_morph.m_source.m_edgeCount, fx->m_morph.m_destination.m_edgeCount));
  ExpectOneToOne(fx->m_morph);
  Frame(fx, 1.0f);
  const auto lines = Lines();
  ASSERT_EQ(static_cast<int>(lines.size()), fx->m_morph.m_pairCount);
  for (const auto& l : lines)
    for (const glm::vec2& p : {l.first, l.second}) {
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
      // A 16-pixel icon at size 4: 6.4 units across.
      EXPECT_LT(glm::length(p), 6.0f);
    }
}
