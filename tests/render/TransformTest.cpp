// Transforms: matrix composition of position, pivot, rotation in degrees and
// scale, checked against matrices worked out by hand, point mappings, and the
// compound attributes writing into the real transform fields.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <glm/glm.hpp>

#include "core/ClassDesc.h"
#include "core/rvTransform.h"

namespace {

// Column-major like GLM: cols[c][r].
void ExpectMatrixNear(const glm::mat4& got, const float (&cols)[4][4], float tol = 1e-5f) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      EXPECT_NEAR(got[c][r], cols[c][r], tol) << "column " << c << " row " << r;
}

glm::vec3 Apply(const rvTransform& t, const glm::vec3& p) {
  return glm::vec3(t.matrix * glm::vec4(p, 1.0f));
}

void ExpectVecNear(const glm::vec3& got, const glm::vec3& want) {
  EXPECT_NEAR(got.x, want.x, 1e-5f);
  EXPECT_NEAR(got.y, want.y, 1e-5f);
  EXPECT_NEAR(got.z, want.z, 1e-5f);
}

const float kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

}  // namespace

TEST(Transform, DefaultsGiveTheIdentity) {
  rvTransform base;
  rvTransform2D t2;
  rvTransform3D t3;
  ExpectMatrixNear(base.matrix, kIdentity, 0.0f);
  ExpectMatrixNear(t2.matrix, kIdentity, 0.0f);
  t2.Update();
  ExpectMatrixNear(t2.matrix, kIdentity, 0.0f);
  t3.Update();
  ExpectMatrixNear(t3.matrix, kIdentity, 0.0f);
  // The base keeps whatever matrix it holds.
  base.matrix[3][0] = 5.0f;
  base.Update();
  EXPECT_EQ(base.matrix[3][0], 5.0f);
}

TEST(Transform, TwoDimensionalMatricesMatchHandComposition) {
  // p -> p - pivot -> scale -> rotate about z -> + position.
  struct Case {
    const char* what;
    float rotation;
    glm::vec2 scale, position, pivot;
    float cols[4][4];
  };
  const Case cases[] = {
      {"translation only", 0, {1, 1}, {3, -4}, {0, 0},
       {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {3, -4, 0, 1}}},
      {"pivot only", 0, {1, 1}, {0, 0}, {2, 5},
       {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-2, -5, 0, 1}}},
      {"scale about the pivot", 0, {2, 3}, {0, 0}, {1, 1},
       {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 1, 0}, {-2, -3, 0, 1}}},
      // (x, y) -> (-y, x)
      {"quarter turn", 90, {1, 1}, {0, 0}, {0, 0},
       {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
      // (x, y) -> (3 - 3(y - 1), 4 + 2(x - 1)) = (6 - 3y, 2 + 2x)
      {"all four", 90, {2, 3}, {3, 4}, {1, 1},
       {{0, 2, 0, 0}, {-3, 0, 0, 0}, {0, 0, 1, 0}, {6, 2, 0, 1}}},
      // (x, y) -> (-x, -y) + (1, 1)
      {"half turn", 180, {1, 1}, {1, 1}, {0, 0},
       {{-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {1, 1, 0, 1}}},
      // (x, y) -> (y, -x): a negative angle turns clockwise
      {"negative quarter", -90, {1, 1}, {0, 0}, {0, 0},
       {{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rvTransform2D t;
    t.rotation = c.rotation;
    t.scale = c.scale;
    t.position = c.position;
    t.pivot = c.pivot;
    t.Update();
    ExpectMatrixNear(t.matrix, c.cols);
  }
}

TEST(Transform, TwoDimensionalRotationTurnsAboutThePivot) {
  rvTransform2D t;
  t.rotation = 90.0f;
  t.pivot = glm::vec2(1.0f, 0.0f);
  t.Update();
  ExpectVecNear(Apply(t, {1, 0, 0}), {0, 0, 0});
  ExpectVecNear(Apply(t, {2, 0, 0}), {0, 1, 0});
  // z passes through untouched.
  ExpectVecNear(Apply(t, {1, 0, 7}), {0, 0, 7});
}

TEST(Transform, RotationUsesTheEngineDegreeFactor) {
  rvTransform2D t;
  t.rotation = 30.0f;
  t.Update();
  const float angle = 30.0f * 0.017453292f;
  EXPECT_EQ(t.matrix[0][0], std::cos(angle));
  EXPECT_EQ(t.matrix[0][1], std::sin(angle));
}

TEST(Transform, ThreeDimensionalMatricesMatchHandComposition) {
  struct Case {
    const char* what;
    glm::vec3 rotation, scale, position, pivot;
    float cols[4][4];
  };
  const Case cases[] = {
      {"translation", {0, 0, 0}, {1, 1, 1}, {1, 2, 3}, {0, 0, 0},
       {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}},
      // y by 90: x -> -z, z -> x
      {"about y", {0, 90, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0},
       {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}},
      // x by 90: y -> z, z -> -y
      {"about x", {90, 0, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0},
       {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}}},
      // y first, then x: x -> -z -> y, y -> y -> z, z -> x -> x
      {"y then x", {90, 90, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0},
       {{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}},
      // x first, then z: x -> x -> y, y -> z -> z, z -> -y -> x
      {"x then z", {90, 0, 90}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0},
       {{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}},
      // y first, then z: x -> -z -> -z, y -> y -> -x, z -> x -> y
      {"y then z", {0, 90, 90}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0},
       {{0, 0, -1, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}},
      // p -> 2(p - (1, 0, 0)) -> about z: (x, y, z) -> (-y, x, z) -> + (1, 2, 3)
      // = (1 - 2y, 2 + 2x - 2, 3 + 2z)
      {"all four", {0, 0, 90}, {2, 2, 2}, {1, 2, 3}, {1, 0, 0},
       {{0, 2, 0, 0}, {-2, 0, 0, 0}, {0, 0, 2, 0}, {1, 0, 3, 1}}},
      // non-uniform scale before the turn: x scaled by 3 lands on z
      {"scale then turn", {0, -90, 0}, {3, 1, 1}, {0, 0, 0}, {0, 0, 0},
       {{0, 0, 3, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rvTransform3D t;
    t.rotation = c.rotation;
    t.scale = c.scale;
    t.position = c.position;
    t.pivot = c.pivot;
    t.Update();
    ExpectMatrixNear(t.matrix, c.cols);
  }
}

TEST(Transform, ThreeDimensionalRotationsApplyYThenXThenZ) {
  rvTransform3D t;
  t.rotation = glm::vec3(90.0f, 90.0f, 0.0f);
  t.Update();
  // About y to (0, 0, -1), then about x to (0, 1, 0).
  ExpectVecNear(Apply(t, {1, 0, 0}), {0, 1, 0});
}

TEST(Transform, ZeroScaleFlattensOntoThePivotPlaneBeforeRotation) {
  rvTransform3D t;
  t.scale = glm::vec3(1.0f, 1.0f, 0.0f);
  t.pivot = glm::vec3(0.0f, 0.0f, 5.0f);
  t.rotation = glm::vec3(90.0f, 0.0f, 0.0f);
  t.Update();
  // Both points lie on the pivot's plane z = 5 after scaling, which the turn
  // about x carries to y = 0.
  ExpectVecNear(Apply(t, {1, 2, 7}), {1, 0, 2});
  ExpectVecNear(Apply(t, {1, 2, -3}), {1, 0, 2});

  rvTransform2D flat;
  flat.scale = glm::vec2(0.0f, 1.0f);
  flat.pivot = glm::vec2(4.0f, 0.0f);
  flat.Update();
  ExpectVecNear(Apply(flat, {9, 1, 0}), {0, 1, 0});
  ExpectVecNear(Apply(flat, {-9, 1, 0}), {0, 1, 0});
}

TEST(Transform, UpdateIsReachedThroughTheBase) {
  rvTransform3D t3;
  t3.position = glm::vec3(1.0f, 2.0f, 3.0f);
  rvTransform* base = &t3;
  base->Update();
  ExpectVecNear(Apply(t3, {0, 0, 0}), {1, 2, 3});
}

// An effect-like object embedding both transforms after other fields, so
// that the attribute offsets are not zero.
struct Holder {
  int pad[3] = {0, 0, 0};
  rvTransform2D t2;
  rvTransform3D t3;
};

TEST(Transform, CompoundAttributesWriteTheTransformFields) {
  Holder h;
  const int o2 = static_cast<int>(reinterpret_cast<char*>(&h.t2) - reinterpret_cast<char*>(&h));
  const int o3 = static_cast<int>(reinterpret_cast<char*>(&h.t3) - reinterpret_cast<char*>(&h));
  ClassDesc desc("fxHolder", nullptr, nullptr);
  desc.AddAttribute(AttrTransform2D, "Transform", o2);
  desc.AddAttribute(AttrTransform3D, "3d/Transform", o3);

  const struct {
    const char* name;
    float value;
  } writes[] = {{"Transform.Pos.x", 3},      {"Transform.Pos.y", 4},      {"Transform.Rot", 90},
                {"Transform.Scale.x", 2},    {"Transform.Scale.y", 3},    {"Transform.Pivot.x", 1},
                {"Transform.Pivot.y", 1},    {"3d/Transform.Pos.x", 1},   {"3d/Transform.Pos.y", 2},
                {"3d/Transform.Pos.z", 3},   {"3d/Transform.Rot.z", 90},  {"3d/Transform.Scale.x", 2},
                {"3d/Transform.Scale.y", 2}, {"3d/Transform.Scale.z", 2}, {"3d/Transform.Pivot.x", 1}};
  for (const auto& w : writes) {
    AttributeDesc* a = desc.FindAttribute(w.name);
    ASSERT_NE(a, nullptr) << w.name;
    ASSERT_EQ(a->m_type, AttrFloat) << w.name;
    a->Value<float>(&h) = w.value;
  }
  EXPECT_EQ(h.t2.position, glm::vec2(3, 4));
  EXPECT_EQ(h.t2.rotation, 90.0f);
  EXPECT_EQ(h.t2.scale, glm::vec2(2, 3));
  EXPECT_EQ(h.t2.pivot, glm::vec2(1, 1));
  EXPECT_EQ(h.t3.position, glm::vec3(1, 2, 3));
  EXPECT_EQ(h.t3.rotation, glm::vec3(0, 0, 90));
  EXPECT_EQ(h.t3.scale, glm::vec3(2, 2, 2));
  EXPECT_EQ(h.t3.pivot, glm::vec3(1, 0, 0));
  EXPECT_EQ(h.pad[0] | h.pad[1] | h.pad[2], 0);

  // The matrices the written fields give are those of the hand-worked cases.
  h.t2.Update();
  h.t3.Update();
  const float want2[4][4] = {{0, 2, 0, 0}, {-3, 0, 0, 0}, {0, 0, 1, 0}, {6, 2, 0, 1}};
  const float want3[4][4] = {{0, 2, 0, 0}, {-2, 0, 0, 0}, {0, 0, 2, 0}, {1, 0, 3, 1}};
  ExpectMatrixNear(h.t2.matrix, want2);
  ExpectMatrixNear(h.t3.matrix, want3);
}
