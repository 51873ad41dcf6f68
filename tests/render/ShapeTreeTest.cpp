// Shape tree and polylines on the CPU: building, drawing into vector
// geometry, partial reveal, simplification, arc-length sampling, and how
// transforms reach down the tree.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <vector>

#include "render/Polyline.h"
#include "render/ShapeNode.h"
#include "render/VectorGeometry.h"
#include "core/rvTransform.h"

namespace {

// Points of the line array between the strip flags, strip by strip.
std::vector<std::vector<glm::vec3>> Strips(const VectorGeometry& g) {
  std::vector<std::vector<glm::vec3>> strips;
  const VectorVertex* v = g.m_lines.data();
  for (int i = 0; i < g.m_lines.count; ++i) {
    if (v[i].flags & PTF_LINE_STRIPSTART) {
      strips.emplace_back();
      continue;  // the start is repeated by the next vertex
    }
    if (v[i].flags & PTF_LINE_STRIPEND) continue;
    strips.back().push_back(v[i].position);
  }
  return strips;
}

void ExpectNear(const glm::vec3& got, const glm::vec3& want, const char* what = "") {
  EXPECT_NEAR(got.x, want.x, 1e-4f) << what;
  EXPECT_NEAR(got.y, want.y, 1e-4f) << what;
  EXPECT_NEAR(got.z, want.z, 1e-4f) << what;
}

bool Finite(const glm::vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

Polyline MakeLine(std::initializer_list<glm::vec3> points) {
  Polyline p;
  for (const glm::vec3& q : points) p.AddPoint(q);
  return p;
}

// A transform that counts its updates.
struct CountingTransform : rvTransform {
  void Update() override { ++updates; }
  int updates = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Polyline
// ---------------------------------------------------------------------------

TEST(Polyline, StartsWhiteWithEmptyBox) {
  Polyline p;
  EXPECT_EQ(p.m_color, glm::vec4(1.0f));
  EXPECT_FLOAT_EQ(p.m_thickness, 0.3f);
  EXPECT_TRUE(p.BoxIsEmpty());
  EXPECT_EQ(p.m_length, 0.0f);
}

TEST(Polyline, AddPointGrowsLengthAndBox) {
  Polyline p = MakeLine({{0, 0, 0}, {3, 4, 0}, {3, 4, 2}, {-1, 6, 0}});
  EXPECT_FLOAT_EQ(p.m_length, 5.0f + 2.0f + std::sqrt(16.0f + 4.0f + 4.0f));
  EXPECT_EQ(p.m_boxMin, glm::vec2(-1, 0));
  EXPECT_EQ(p.m_boxMax, glm::vec2(3, 6));
}

TEST(Polyline, OnePointHasZeroLengthItsBoxAndDrawsNothing) {
  Polyline p = MakeLine({{2, -3, 1}});
  EXPECT_EQ(p.m_length, 0.0f);
  EXPECT_FALSE(p.BoxIsEmpty());
  EXPECT_EQ(p.m_boxMin, glm::vec2(2, -3));
  EXPECT_EQ(p.m_boxMax, glm::vec2(2, -3));
  VectorGeometry g;
  p.Draw(g, nullptr);
  EXPECT_EQ(g.m_lines.count, 0);
}

TEST(Polyline, DrawLaysOutOneTransformedStrip) {
  Polyline p = MakeLine({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
  rvTransform t;
  t.matrix = glm::translate(glm::mat4(1.0f), glm::vec3(10, 0, 0));
  VectorGeometry g;
  p.Draw(g, &t);
  ASSERT_EQ(g.m_lines.count, 5);
  const auto strips = Strips(g);
  ASSERT_EQ(strips.size(), 1u);
  EXPECT_EQ(strips[0], (std::vector<glm::vec3>{{10, 0, 0}, {11, 0, 0}, {11, 1, 0}}));
}

TEST(Polyline, StyleComesFromSourcesElseOwnValues) {
  const float colorSource[3] = {0.25f, 0.5f, 0.75f};
  const struct {
    const float* color;
    const float* thickness;
    float own;
    glm::vec3 wantColor;
    float wantThickness;  // what the display holds afterwards (starts at 0.5)
  } cases[] = {
      {nullptr, nullptr, 0.3f, {1, 0, 0}, 0.3f},
      {colorSource, nullptr, 0.3f, {0.25f, 0.5f, 0.75f}, 0.3f},
      {nullptr, nullptr, 0.0f, {1, 0, 0}, 0.5f},  // thickness 0 leaves the display's
      {nullptr, nullptr, -1.0f, {1, 0, 0}, 0.5f},
  };
  for (const auto& c : cases) {
    Polyline p = MakeLine({{0, 0, 0}, {1, 0, 0}});
    p.m_color = glm::vec4(1, 0, 0, 0.2f);
    p.m_thickness = c.own;
    p.m_pColorSource = c.color;
    p.m_pThicknessSource = c.thickness;
    VectorGeometry g;
    p.Draw(g, nullptr);
    EXPECT_EQ(g.m_lines.data()[0].color, c.wantColor);
    EXPECT_EQ(g.m_settings.currentColor.a, 1.0f);  // alpha is always 1
    EXPECT_FLOAT_EQ(g.m_settings.currentThickness, c.wantThickness);
  }
  float thicknessSource = 1.5f;
  Polyline p = MakeLine({{0, 0, 0}, {1, 0, 0}});
  p.m_pThicknessSource = &thicknessSource;
  VectorGeometry g;
  p.Draw(g, nullptr);
  EXPECT_FLOAT_EQ(g.m_lines.data()[0].thickness, 1.5f);
}

TEST(Polyline, AddCubicFlattensWithinTheTolerance) {
  const struct {
    glm::vec2 p[4];
    float tolerance;
    size_t minAdded, maxAdded;  // points added after the start
  } cases[] = {
      {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 0.0f, 1, 1},        // straight: its end point only
      {{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, 0.5f, 4, 64},   // an arch
      {{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, 0.01f, 16, 4096},
      {{{5, 5}, {5, 5}, {5, 5}, {5, 5}}, 0.0f, 1, 1},        // a point
  };
  for (const auto& c : cases) {
    Polyline p;
    p.AddPoint(glm::vec3(c.p[0], 0.0f));
    p.AddCubic(c.p[0].x, c.p[0].y, c.p[1].x, c.p[1].y, c.p[2].x, c.p[2].y, c.p[3].x, c.p[3].y, c.tolerance, 0);
    const size_t added = p.m_points.size() - 1;
    EXPECT_GE(added, c.minAdded) << c.tolerance;
    EXPECT_LE(added, c.maxAdded) << c.tolerance;
    if (added > 0) {
      EXPECT_EQ(p.m_points.back(), glm::vec3(c.p[3], 0.0f));
    }
    // Every point lies on the curve's side of the chord, inside its hull.
    for (const glm::vec3& q : p.m_points) {
      EXPECT_GE(q.y, -1e-4f);
      EXPECT_LE(q.y, 10.0f);
    }
  }
}

TEST(Polyline, PointAtLengthInterpolatesAlongSegments) {
  Polyline p = MakeLine({{0, 0, 0}, {2, 0, 0}, {2, 3, 0}});
  p.m_color = glm::vec4(0.1f, 0.2f, 0.3f, 1.0f);
  p.m_thickness = -2.0f;  // reported even when not positive
  const struct {
    float x;
    glm::vec3 want;
  } cases[] = {
      {0.0f, {0, 0, 0}}, {1.0f, {1, 0, 0}}, {2.0f, {2, 0, 0}}, {3.5f, {2, 1.5f, 0}}, {5.0f, {2, 3, 0}},
      {5.5f, {0, 0, 0}},   // beyond the end: the first point, not the last
      {-1.0f, {0, 0, 0}},  // before the start: the first point
  };
  for (const auto& c : cases) {
    const VectorVertex v = p.PointAtLength(nullptr, c.x);
    ExpectNear(v.position, c.want);
    EXPECT_EQ(v.flags, 0);
    EXPECT_EQ(v.color, glm::vec3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(v.thickness, -2.0f);
  }
  rvTransform t;
  t.matrix = glm::scale(glm::mat4(1.0f), glm::vec3(2.0f));
  ExpectNear(p.PointAtLength(&t, 1.0f).position, {2, 0, 0});
}

TEST(Polyline, ZeroLengthSegmentsGiveFinitePoints) {
  Polyline p = MakeLine({{1, 1, 0}, {1, 1, 0}, {1, 1, 0}, {4, 1, 0}});
  for (float x : {0.0f, 1.0f, 3.0f}) EXPECT_TRUE(Finite(p.PointAtLength(nullptr, x).position)) << x;
  ExpectNear(p.PointAtLength(nullptr, 0.0f).position, {1, 1, 0});
  VectorGeometry g;
  p.DrawRange(g, nullptr, 0.0f, 2.0f);
  for (int i = 0; i < g.m_lines.count; ++i) EXPECT_TRUE(Finite(g.m_lines.data()[i].position)) << i;
  const auto strips = Strips(g);
  ASSERT_EQ(strips.size(), 1u);
  ExpectNear(strips[0].front(), {1, 1, 0});
  ExpectNear(strips[0].back(), {3, 1, 0});
}

TEST(Polyline, PointAtLengthWithoutPointsIsTheTransformedOrigin) {
  Polyline p;
  p.m_color = glm::vec4(0, 1, 0, 1);
  rvTransform t;
  t.matrix = glm::translate(glm::mat4(1.0f), glm::vec3(5, 6, 7));
  const VectorVertex v = p.PointAtLength(&t, 0.0f);
  EXPECT_EQ(v.position, glm::vec3(5, 6, 7));
  EXPECT_EQ(v.color, glm::vec3(0, 1, 0));
  EXPECT_FLOAT_EQ(v.thickness, 0.3f);
}

TEST(Polyline, DrawRangeCutsBetweenTwoArcLengths) {
  // Segments of length 2, 3 and 1.
  Polyline p = MakeLine({{0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {1, 3, 0}});
  const struct {
    float from, to;
    std::vector<glm::vec3> want;  // empty: nothing drawn
  } cases[] = {
      {0.0f, 6.0f, {{0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {1, 3, 0}}},
      {1.0f, 3.0f, {{1, 0, 0}, {2, 0, 0}, {2, 1, 0}}},
      {2.5f, 4.0f, {{2, 0.5f, 0}, {2, 2, 0}}},
      {4.0f, 9.0f, {{2, 2, 0}, {2, 3, 0}, {1, 3, 0}}},  // runs past the end
      {3.0f, 3.0f, {}},
      {4.0f, 1.0f, {}},
      {7.0f, 9.0f, {}},
  };
  for (const auto& c : cases) {
    VectorGeometry g;
    p.DrawRange(g, nullptr, c.from, c.to);
    const auto strips = Strips(g);
    if (c.want.empty()) {
      EXPECT_TRUE(strips.empty()) << c.from << ".." << c.to;
      continue;
    }
    ASSERT_EQ(strips.size(), 1u) << c.from << ".." << c.to;
    ASSERT_EQ(strips[0].size(), c.want.size()) << c.from << ".." << c.to;
    for (size_t i = 0; i < c.want.size(); ++i) ExpectNear(strips[0][i], c.want[i]);
  }
}

TEST(Polyline, SimplifyKeepsPointsFartherThanEpsilon) {
  const struct {
    std::vector<glm::vec3> points;
    float epsilon;
    std::vector<uint32_t> want;
  } cases[] = {
      {{}, 0.0f, {}},
      {{{1, 1, 0}}, 0.0f, {0}},
      {{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, 0.0f, {0, 3}},  // collinear points drop out
      {{{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, 0.5f, {0, 1, 2}},
      {{{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, 1.0f, {0, 2}},  // not strictly farther
      {{{0, 0, 0}, {1, 0.1f, 0}, {2, -0.1f, 0}, {3, 5, 0}, {4, 0, 0}}, 0.5f, {0, 2, 3, 4}},
      // Ties keep the earliest: both middle points lie 1 away; splitting at
      // the first leaves the second within 0.45 of the chord (1, 3).
      {{{0, 0, 0}, {1, 1, 0}, {2, 1, 0}, {3, 0, 0}}, 0.5f, {0, 1, 3}},
      // A closed loop: the chord's ends coincide, distances are to that end.
      {{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 0, 0}}, 1.0f, {0, 1, 2, 3}},
      // A chord that only moves in z: no 2D direction, no NaN, the far point stays.
      {{{0, 0, 0}, {5, 5, 1}, {0, 0, 2}}, 1.0f, {0, 1, 2}},
  };
  for (size_t k = 0; k < std::size(cases); ++k) {
    Polyline p;
    for (const glm::vec3& q : cases[k].points) p.AddPoint(q);
    p.Simplify(cases[k].epsilon);
    EXPECT_EQ(p.m_simplified, cases[k].want) << "case " << k;
  }
}

TEST(Polyline, DrawSimplifiedFollowsTheIndexList) {
  Polyline p = MakeLine({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 2, 0}});
  VectorGeometry g;
  p.DrawSimplified(g, nullptr);  // never simplified: fewer than two indices
  EXPECT_EQ(g.m_lines.count, 0);
  p.Simplify(0.0f);
  p.DrawSimplified(g, nullptr);
  const auto strips = Strips(g);
  ASSERT_EQ(strips.size(), 1u);
  EXPECT_EQ(strips[0], (std::vector<glm::vec3>{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}}));
}

// ---------------------------------------------------------------------------
// ShapeNode
// ---------------------------------------------------------------------------

namespace {

// A node with `n` children, each holding one horizontal polyline of length
// `length` on its own row y = child index.
void AddRows(ShapeNode& node, int n, float length) {
  for (int j = 0; j < n; ++j) {
    Polyline* p = node.AddChild()->AddPolyline();
    p->AddPoint(glm::vec3(0, float(j), 0));
    p->AddPoint(glm::vec3(length, float(j), 0));
  }
}

}  // namespace

TEST(ShapeNode, StartsEmptyWithIdentityAndNoTransform) {
  ShapeNode n;
  EXPECT_EQ(n.matrix, glm::mat4(1.0f));
  EXPECT_EQ(n.m_pExternalTransform, nullptr);
  EXPECT_EQ(n.m_ownMatrix, 0);
  EXPECT_TRUE(n.m_polylines.empty());
  EXPECT_TRUE(n.m_children.empty());
  EXPECT_EQ(n.DrawTransform(), nullptr);
}

TEST(ShapeNode, DrawPartialRevealsWholeChildrenByIndex) {
  const struct {
    int children;
    float from, to;
    std::vector<std::pair<int, float>> want;  // (row, revealed length)
  } cases[] = {
      {5, 1.5f, 3.0f, {{2, 4.0f}}},  // child 3 gets (-1.5, 0): nothing; child 4 not visited
      {4, 0.0f, 4.0f, {{0, 4.0f}, {1, 4.0f}, {2, 4.0f}, {3, 4.0f}}},
      {3, 0.0f, 1.5f, {{0, 4.0f}, {1, 2.0f}}},
      {3, 0.0f, 0.0f, {}},
  };
  for (const auto& c : cases) {
    ShapeNode root;
    AddRows(root, c.children, 4.0f);
    VectorGeometry g;
    root.DrawPartial(g, c.from, c.to);
    const auto strips = Strips(g);
    ASSERT_EQ(strips.size(), c.want.size()) << c.from << ".." << c.to;
    for (size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(strips[i].front().y, float(c.want[i].first));
      EXPECT_NEAR(strips[i].back().x - strips[i].front().x, c.want[i].second, 1e-5f);
    }
    if (c.children == 5) {
      // Child 4 was never visited: its counts stayed at construction values.
      EXPECT_EQ(root.m_children[4]->m_countsAfter, VectorCounts{});
    }
  }
}

TEST(ShapeNode, DrawPartialSplitsOwnPolylinesByFraction) {
  ShapeNode node;
  Polyline* a = node.AddPolyline();  // length 2
  a->AddPoint(glm::vec3(0, 0, 0));
  a->AddPoint(glm::vec3(2, 0, 0));
  Polyline* b = node.AddPolyline();  // length 6
  b->AddPoint(glm::vec3(0, 1, 0));
  b->AddPoint(glm::vec3(6, 1, 0));
  VectorGeometry g;
  node.DrawPartial(g, 0.125f, 0.5f);  // arc lengths 1 .. 4 of 8
  const auto strips = Strips(g);
  ASSERT_EQ(strips.size(), 2u);
  ExpectNear(strips[0].front(), {1, 0, 0});
  ExpectNear(strips[0].back(), {2, 0, 0});
  ExpectNear(strips[1].front(), {0, 1, 0});
  ExpectNear(strips[1].back(), {2, 1, 0});
}

TEST(ShapeNode, DrawRecordsCountsBeforeAndAfterIncludingChildren) {
  ShapeNode root;
  Polyline* own = root.AddPolyline();
  own->AddPoint(glm::vec3(0));
  own->AddPoint(glm::vec3(1, 0, 0));
  AddRows(root, 2, 1.0f);
  VectorGeometry g;
  g.AddPoint(VectorVertex{});
  g.MoveTo(0, 0, 0);
  g.EndLine();  // 4 vertices already there
  root.Draw(g);
  EXPECT_EQ(root.m_countsBefore, (VectorCounts{1, 4, 0, 0}));
  EXPECT_EQ(root.m_countsAfter, (VectorCounts{1, 16, 0, 0}));
  EXPECT_EQ(root.m_children[1]->m_countsBefore, (VectorCounts{1, 12, 0, 0}));
  EXPECT_EQ(root.m_children[1]->m_countsAfter, root.m_countsAfter);
}

TEST(ShapeNode, TransformOfANode) {
  rvTransform external;
  external.matrix = glm::translate(glm::mat4(1.0f), glm::vec3(100, 0, 0));
  const struct {
    bool external;
    bool own;
    glm::vec3 want;
  } cases[] = {
      {false, false, {1, 0, 0}},    // none: points as they are
      {false, true, {1, 0, 5}},     // the own matrix
      {true, true, {101, 0, 0}},    // the external transform wins over the own matrix
      {true, false, {101, 0, 0}},
  };
  for (const auto& c : cases) {
    ShapeNode n;
    n.matrix = glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 5));
    n.m_ownMatrix = c.own ? 1 : 0;
    n.m_pExternalTransform = c.external ? &external : nullptr;
    Polyline* p = n.AddPolyline();
    p->AddPoint(glm::vec3(1, 0, 0));
    p->AddPoint(glm::vec3(2, 0, 0));
    VectorGeometry g;
    n.Draw(g);
    ExpectNear(g.m_lines.data()[0].position, c.want);
    ExpectNear(n.PointAtLength(0.0f).position, c.want);
  }
}

TEST(ShapeNode, SetMatrixFromReachesEveryDescendant) {
  ShapeNode root;
  ShapeNode* leaf = root.AddChild()->AddChild();
  rvTransform external;
  leaf->m_pExternalTransform = &external;
  rvTransform2D t;
  t.position = glm::vec2(3, 4);
  root.SetMatrixFrom(&t, true);  // runs t.Update first
  for (ShapeNode* n : {&root, root.m_children[0], leaf}) {
    EXPECT_EQ(n->matrix, glm::translate(glm::mat4(1.0f), glm::vec3(3, 4, 0)));
    EXPECT_EQ(n->m_pExternalTransform, nullptr);
    EXPECT_EQ(n->m_ownMatrix, 1);
  }
  // Without update the matrix is copied as it stands.
  t.position = glm::vec2(9, 9);
  root.SetMatrixFrom(&t, false);
  EXPECT_EQ(leaf->matrix, glm::translate(glm::mat4(1.0f), glm::vec3(3, 4, 0)));
  // A node may take its own matrix down to its children.
  root.matrix = glm::mat4(2.0f);
  root.SetMatrixFrom(&root, false);
  EXPECT_EQ(leaf->matrix, glm::mat4(2.0f));
}

TEST(ShapeNode, SetTransformAndSourcesWalkTheSubtreeAndIgnoreNull) {
  ShapeNode root;
  root.AddPolyline();
  ShapeNode* leaf = root.AddChild()->AddChild();
  Polyline* deep = leaf->AddPolyline();
  rvTransform t;
  root.SetTransform(&t);
  EXPECT_EQ(leaf->m_pExternalTransform, &t);
  root.SetTransform(nullptr);
  EXPECT_EQ(leaf->m_pExternalTransform, &t);

  const float thickness = 2.0f;
  root.SetThicknessSource(&thickness);
  EXPECT_EQ(deep->m_pThicknessSource, &thickness);
  root.SetThicknessSource(nullptr);
  EXPECT_EQ(deep->m_pThicknessSource, &thickness);
  root.SetThickness(0.9f);
  EXPECT_EQ(deep->m_pThicknessSource, nullptr);
  EXPECT_FLOAT_EQ(deep->m_thickness, 0.9f);

  const float color[3] = {0, 0, 1};
  deep->m_pColorSource = color;
  root.SetColor(glm::vec4(0.5f, 0.5f, 0.5f, 0.5f));
  EXPECT_EQ(deep->m_pColorSource, nullptr);
  EXPECT_EQ(deep->m_color, glm::vec4(0.5f));
  EXPECT_EQ(root.m_polylines[0]->m_color, glm::vec4(0.5f));
}

TEST(ShapeNode, UpdateSkipsChildrenSharingTheParentsTransform) {
  CountingTransform shared, other, deeper;
  ShapeNode root;
  root.m_pExternalTransform = &shared;
  ShapeNode* same = root.AddChild();  // shares: not visited, nor its subtree
  same->m_pExternalTransform = &shared;
  ShapeNode* hidden = same->AddChild();
  hidden->m_pExternalTransform = &deeper;
  ShapeNode* own = root.AddChild();  // differs: visited
  own->m_pExternalTransform = &other;
  ShapeNode* below = own->AddChild();
  below->m_pExternalTransform = &deeper;
  root.Update();
  EXPECT_EQ(shared.updates, 1);
  EXPECT_EQ(other.updates, 1);
  EXPECT_EQ(deeper.updates, 1);  // through `own` only
}

TEST(ShapeNode, PointAtLengthWalksOwnPolylinesThenChildren) {
  ShapeNode root;
  Polyline* own = root.AddPolyline();  // length 2 on y = -1
  own->AddPoint(glm::vec3(0, -1, 0));
  own->AddPoint(glm::vec3(2, -1, 0));
  AddRows(root, 2, 3.0f);  // lengths 3 and 3
  root.m_children[1]->m_polylines[0]->m_color = glm::vec4(1, 0, 0, 1);
  EXPECT_FLOAT_EQ(root.TotalLength(), 8.0f);
  const struct {
    float x;
    glm::vec3 want;
  } cases[] = {{0.0f, {0, -1, 0}}, {1.0f, {1, -1, 0}}, {2.0f, {2, -1, 0}}, {3.0f, {1, 0, 0}},
               {5.5f, {0.5f, 1, 0}}, {8.0f, {3, 1, 0}}};
  for (const auto& c : cases) ExpectNear(root.PointAtLength(c.x).position, c.want, "x");
  EXPECT_EQ(root.PointAtLength(6.0f).color, glm::vec3(1, 0, 0));
  const VectorVertex none = root.PointAtLength(8.5f);
  EXPECT_EQ(none.position, glm::vec3(0));
  EXPECT_EQ(none.color, glm::vec3(1));
  EXPECT_EQ(none.flags, 0);
  EXPECT_EQ(none.thickness, 0.5f);
}

TEST(ShapeNode, SimplifyRemembersEpsilonInEveryNode) {
  ShapeNode root;
  Polyline* p = root.AddChild()->AddPolyline();
  for (int i = 0; i < 5; ++i) p->AddPoint(glm::vec3(float(i), 0, 0));
  root.Simplify(0.25f);
  EXPECT_EQ(root.m_simplifyEpsilon, 0.25f);
  EXPECT_EQ(root.m_children[0]->m_simplifyEpsilon, 0.25f);
  EXPECT_EQ(p->m_simplified, (std::vector<uint32_t>{0, 4}));
  VectorGeometry g;
  root.DrawSimplified(g);
  EXPECT_EQ(g.m_lines.count, 4);
}

TEST(ShapeNode, ClearEmptiesAndTheTreeCanBeRebuilt) {
  ShapeNode root;
  AddRows(root, 3, 1.0f);
  root.m_children[0]->AddChild()->AddPolyline();
  root.AddPolyline();
  root.Clear();
  EXPECT_TRUE(root.m_children.empty());
  EXPECT_TRUE(root.m_polylines.empty());
  EXPECT_EQ(root.TotalLength(), 0.0f);
  AddRows(root, 1, 2.0f);
  EXPECT_EQ(root.TotalLength(), 2.0f);
  root.Destroy();
  EXPECT_TRUE(root.m_children.empty());
}

TEST(ShapeNode, DrawingWithoutACurrentDisplayDoesNothing) {
  ShapeNode root;
  AddRows(root, 2, 1.0f);
  root.Draw();
  root.DrawPartial(0.0f, 2.0f);
  root.DrawSimplified();
  EXPECT_EQ(root.m_countsAfter, VectorCounts{});
}
