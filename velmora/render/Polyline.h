// Polyline: one stroke of the shape tree. A list of 3D points with its arc
// length and 2D box kept up to date as points are added, an optional
// simplified index list (Ramer-Douglas-Peucker), and the calls that draw it,
// whole, simplified or between two arc lengths, into vector geometry.
// Colour and thickness may be borrowed from an effect's attributes through the
// two source pointers, which must outlive the polyline.
#pragma once
#include <glm/glm.hpp>

#include <cstdint>
#include <vector>

#include "render/VectorGeometry.h"

class rvTransform;

class Polyline {
 public:
  // Building.
  void AddPoint(const glm::vec3& p);
  // Appends the cubic Bezier from (x0, y0) to (x3, y3), z = 0, flattened by
  // halving until the curve's midpoint lies within `tolerance` of the chord
  // (the start point is not added). Pieces still curved past depth 12 add
  // nothing, so a tolerance of 0 keeps exactly straight pieces only.
  void AddCubic(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3, float tolerance,
                int depth);
  bool BoxIsEmpty() const { return m_boxMin.x > m_boxMax.x || m_boxMin.y > m_boxMax.y; }

  // Effective values: the sources when set, else the own ones.
  glm::vec3 EffectiveColor() const;
  float EffectiveThickness() const;

  // Drawing into the current vector display (nothing when there is none) or
  // into the given geometry.
  void Draw(const rvTransform* transform) const;
  void Draw(VectorGeometry& out, const rvTransform* transform) const;
  void DrawSimplified(VectorGeometry& out, const rvTransform* transform) const;
  void DrawRange(const rvTransform* transform, float from, float to) const;
  void DrawRange(VectorGeometry& out, const rvTransform* transform, float from, float to) const;

  // The vertex at arc length x (transformed position, effective colour and
  // thickness, flags 0); the first point when x lies outside the polyline.
  VectorVertex PointAtLength(const rvTransform* transform, float x) const;

  // Ramer-Douglas-Peucker into m_simplified. Its point scans are bounded by
  // kSimplifyBaseWork + kSimplifyWorkPerPoint x n; ranges left past that
  // keep all their points.
  static constexpr size_t kSimplifyBaseWork = size_t(1) << 22;
  static constexpr size_t kSimplifyWorkPerPoint = 64;
  void Simplify(float epsilon);

  const float* m_pColorSource = nullptr;      // r, g, b owned elsewhere
  const float* m_pThicknessSource = nullptr;  // owned elsewhere
  glm::vec4 m_color{1.0f};
  float m_thickness = 0.3f;
  std::vector<glm::vec3> m_points;
  std::vector<uint32_t> m_simplified;
  float m_length = 0.0f;
  glm::vec2 m_boxMin{1.0f, 1.0f};
  glm::vec2 m_boxMax{-1.0f, -1.0f};

 private:
  // Sets the display's current colour and thickness from the effective ones.
  void ApplyStyle(VectorGeometry& out) const;
};
