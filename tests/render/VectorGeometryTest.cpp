// The CPU side of the vector display: how the appending calls lay out
// strips, dots, triangles, cubes and quads, and how the arrays grow.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "render/VectorGeometry.h"
#include "core/rvTransform.h"

namespace {

std::vector<int> LineFlags(const VectorGeometry& g) {
  std::vector<int> flags;
  for (int i = 0; i < g.m_lines.count; ++i) flags.push_back(g.m_lines.data()[i].flags);
  return flags;
}

}  // namespace

TEST(VectorGeometry, StripOfNPointsTakesNPlusTwoVertices) {
  const struct {
    int points;
    std::vector<int> flags;
  } cases[] = {
      {1, {PTF_LINE_STRIPSTART, 0, PTF_LINE_STRIPEND, PTF_LINE_STRIPEND}},  // a dot
      {2, {PTF_LINE_STRIPSTART, 0, 0, PTF_LINE_STRIPEND}},
      {4, {PTF_LINE_STRIPSTART, 0, 0, 0, 0, PTF_LINE_STRIPEND}},
  };
  for (const auto& c : cases) {
    VectorGeometry g;
    g.MoveTo(0, 0, 0);
    for (int i = 1; i < c.points; ++i) g.LineTo(float(i), 0, 0);
    g.EndLine();
    EXPECT_EQ(g.m_lines.count, c.points == 1 ? 4 : c.points + 2) << c.points;
    EXPECT_EQ(LineFlags(g), c.flags) << c.points;
    EXPECT_EQ(g.m_lines.openStrip, 0);
    EXPECT_EQ(g.m_lines.strips, 1);
    // The end copies sit on the last point.
    EXPECT_EQ(g.m_lines.data()[g.m_lines.count - 1].position, glm::vec3(float(c.points - 1), 0, 0));
  }
}

TEST(VectorGeometry, OpenStripCountFollowsTheCalls) {
  VectorGeometry g;
  g.MoveTo(0, 0, 0);
  EXPECT_EQ(g.m_lines.openStrip, 2);
  g.LineTo(1, 0, 0);
  g.LineTo(2, 0, 0);
  EXPECT_EQ(g.m_lines.openStrip, 4);
  g.EndLine();
  EXPECT_EQ(g.m_lines.openStrip, 0);
}

TEST(VectorGeometry, VerticesTakeCurrentColourAndThicknessButNotAlpha) {
  VectorGeometry g;
  g.m_settings.currentColor = glm::vec4(1, 0, 0, 0);
  g.m_settings.currentThickness = 1.25f;
  g.MoveTo(1, 2, 3);
  g.EndLine();
  for (int i = 0; i < g.m_lines.count; ++i) {
    const VectorVertex& v = g.m_lines.data()[i];
    EXPECT_EQ(v.color, glm::vec3(1, 0, 0));
    EXPECT_FLOAT_EQ(v.thickness, 1.25f);
    EXPECT_EQ(v.position, glm::vec3(1, 2, 3));
  }
}

TEST(VectorGeometry, StrayEndLineOnEmptyArrayAppendsNothing) {
  VectorGeometry g;
  g.EndLine();
  EXPECT_EQ(g.m_lines.count, 0);
}

TEST(VectorGeometry, ArraysStartAtSixtyAndDoubleKeepingContents) {
  VectorGeometry g;
  EXPECT_EQ(g.m_lines.capacity, 60);
  EXPECT_EQ(g.m_points.capacity, 60);
  EXPECT_EQ(g.m_triangles.capacity, 60);
  EXPECT_EQ(g.m_quads.capacity, 60);
  for (int i = 0; i < 61; ++i) {
    VectorVertex v;
    v.position = glm::vec3(float(i), 0, 0);
    g.AddPoint(v);
  }
  EXPECT_EQ(g.m_points.capacity, 120);
  for (int i = 0; i < 61; ++i) EXPECT_EQ(g.m_points.data()[i].position.x, float(i));
  // A request larger than one doubling doubles until it fits.
  g.GrowLineVertices(500);
  EXPECT_EQ(g.m_lines.capacity, 960);
  EXPECT_EQ(g.m_lines.count, 0);
}

TEST(VectorGeometry, DrawLineAppliesTheMatrix) {
  VectorGeometry g;
  const glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(10, 20, 30));
  g.DrawLine(glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), m);
  ASSERT_EQ(g.m_lines.count, 4);
  EXPECT_EQ(g.m_lines.data()[0].position, glm::vec3(10, 20, 30));
  EXPECT_EQ(g.m_lines.data()[2].position, glm::vec3(11, 20, 30));
}

TEST(VectorGeometry, MoveToTransformedUsesTheTransformMatrix) {
  VectorGeometry g;
  rvTransform2D t;
  t.rotation = 90.0f;
  t.pivot = glm::vec2(1, 0);
  t.Update();
  g.MoveToTransformed(glm::vec3(2, 0, 0), &t);
  g.EndLine();
  const glm::vec3 p = g.m_lines.data()[0].position;
  EXPECT_NEAR(p.x, 0.0f, 1e-5f);
  EXPECT_NEAR(p.y, 1.0f, 1e-5f);
  glm::vec3 copy;
  TransformPoint(copy, nullptr, glm::vec3(4, 5, 6));
  EXPECT_EQ(copy, glm::vec3(4, 5, 6));
}

TEST(VectorGeometry, TriangleTakesCurrentStyleWithFlagsZero) {
  VectorGeometry g;
  g.m_settings.currentColor = glm::vec4(0, 1, 0, 1);
  g.m_settings.currentThickness = 0.7f;
  g.AddTriangle(glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(0, 1, 0));
  ASSERT_EQ(g.m_triangles.count, 1);
  const VectorTriangle& t = g.m_triangles.data()[0];
  EXPECT_EQ(t.v[1].position, glm::vec3(1, 0, 0));
  for (const VectorVertex& v : t.v) {
    EXPECT_EQ(v.flags, 0);
    EXPECT_EQ(v.color, glm::vec3(0, 1, 0));
    EXPECT_FLOAT_EQ(v.thickness, 0.7f);
  }
}

TEST(VectorGeometry, CubeGivesTwelveTrianglesWithDiagonalsHidden) {
  VectorGeometry g;
  VectorVertex corners[8];
  for (int i = 0; i < 8; ++i) corners[i].position = glm::vec3(float(i), 0, 0);
  g.AddCube(corners);
  ASSERT_EQ(g.m_triangles.count, 12);
  const int faces[6][4] = {{0, 1, 2, 3}, {0, 4, 5, 1}, {3, 7, 4, 0}, {2, 6, 7, 3}, {1, 5, 6, 2}, {7, 6, 5, 4}};
  for (int f = 0; f < 6; ++f) {
    const int* q = faces[f];
    const int expect[2][3] = {{q[0], q[1], q[2]}, {q[2], q[3], q[0]}};
    for (int k = 0; k < 2; ++k) {
      const VectorTriangle& t = g.m_triangles.data()[f * 2 + k];
      for (int v = 0; v < 3; ++v) EXPECT_EQ(t.v[v].position.x, float(expect[k][v])) << f << k << v;
      EXPECT_EQ(t.v[0].flags, 0);
      EXPECT_EQ(t.v[1].flags, 0);
      EXPECT_EQ(t.v[2].flags, PTF_TRIANGLE_DISCARDLINE);
    }
  }
}

TEST(VectorGeometry, TexturedQuadKeepsVerticesAndTexture) {
  VectorGeometry g;
  VectorVertex v[6];
  for (int i = 0; i < 6; ++i) {
    v[i].position = glm::vec3(float(i), 0, 0);
    v[i].flags = TextureMappingFlags(1.0f, 0.0f);
  }
  g.AddTexturedQuad(v, 77u);
  ASSERT_EQ(g.m_quads.count, 1);
  EXPECT_EQ(g.m_quads.data()[0].texture, 77u);
  EXPECT_EQ(g.m_quads.data()[0].v[5].position.x, 5.0f);
  EXPECT_EQ(static_cast<uint32_t>(g.m_quads.data()[0].v[0].flags), 0xFF000000u | PTF_TEXTURE_MAPPING);
}

TEST(VectorGeometry, TextureMappingFlagsPackUAndV) {
  const struct {
    float u, v;
    uint32_t flags;
  } cases[] = {
      {0, 0, 0x8u}, {1, 0, 0xFF000008u}, {0, 1, 0x00FF0008u}, {1, 1, 0xFFFF0008u}, {0.5f, 0.5f, 0x7F7F0008u}};
  for (const auto& c : cases) EXPECT_EQ(static_cast<uint32_t>(TextureMappingFlags(c.u, c.v)), c.flags) << c.u << c.v;
}

TEST(VectorGeometry, CountsAndClear) {
  VectorGeometry g;
  g.MoveTo(0, 0, 0);
  g.LineTo(1, 0, 0);
  g.EndLine();
  g.AddPoint(VectorVertex{});
  g.AddTriangle(glm::vec3(0), glm::vec3(1), glm::vec3(2));
  EXPECT_EQ(g.Counts(), (VectorCounts{1, 4, 1, 0}));
  EXPECT_FALSE(g.IsEmpty());
  g.ClearGeometry();
  EXPECT_TRUE(g.IsEmpty());
  EXPECT_EQ(g.m_lines.strips, 0);
  EXPECT_EQ(g.m_lines.capacity, 60);  // storage is kept for the next frame
}
