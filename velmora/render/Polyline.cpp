// Polyline: building, drawing, arc-length sampling and simplification.
#include "render/Polyline.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/rvTransform.h"
#include "render/CubicFlatten.h"

namespace {

// Interpolation parameter of v along [g, w]. A zero-length segment has no
// direction: its start stands for the whole of it instead of 0 / 0.
float SegmentParam(float v, float g, float w) { return w > g ? (v - g) / (w - g) : 0.0f; }

glm::vec3 Transformed(const rvTransform* transform, const glm::vec3& p) {
  glm::vec3 out;
  TransformPoint(out, transform, p);
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Building
// ---------------------------------------------------------------------------

void Polyline::AddPoint(const glm::vec3& p) {
  if (!m_points.empty()) m_length += glm::distance(m_points.back(), p);
  if (BoxIsEmpty()) {
    m_boxMin = m_boxMax = glm::vec2(p);
  } else {
    m_boxMin = glm::min(m_boxMin, glm::vec2(p));
    m_boxMax = glm::max(m_boxMax, glm::vec2(p));
  }
  m_points.push_back(p);
}

void Polyline::AddCubic(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3,
                        float tolerance, int depth) {
  // The SVG code's flattener, so that outlines and their fills cut the same
  // curve into the same points.
  const float p[8] = {x0, y0, x1, y1, x2, y2, x3, y3};
  FlattenCubic(p, tolerance, depth, [this](float x, float y) { AddPoint(glm::vec3(x, y, 0.0f)); });
}

glm::vec3 Polyline::EffectiveColor() const {
  if (m_pColorSource) return glm::vec3(m_pColorSource[0], m_pColorSource[1], m_pColorSource[2]);
  return glm::vec3(m_color);
}

float Polyline::EffectiveThickness() const { return m_pThicknessSource ? *m_pThicknessSource : m_thickness; }

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

void Polyline::ApplyStyle(VectorGeometry& out) const {
  out.m_settings.currentColor = glm::vec4(EffectiveColor(), 1.0f);
  const float thickness = EffectiveThickness();
  if (thickness > 0.0f) out.m_settings.currentThickness = thickness;
}

void Polyline::Draw(const rvTransform* transform) const {
  if (VectorGeometry* out = CurrentVectorGeometry()) Draw(*out, transform);
}

void Polyline::Draw(VectorGeometry& out, const rvTransform* transform) const {
  ApplyStyle(out);
  if (m_points.size() < 2) return;
  out.MoveToTransformed(m_points[0], transform);
  for (size_t i = 1; i < m_points.size(); ++i) {
    const glm::vec3 p = Transformed(transform, m_points[i]);
    out.LineTo(p.x, p.y, p.z);
  }
  out.EndLine();
}

void Polyline::DrawSimplified(VectorGeometry& out, const rvTransform* transform) const {
  ApplyStyle(out);
  // Indices are only valid for the points they were made from; a list left
  // over from before the points changed is not followed past their end.
  std::vector<glm::vec3> kept;
  kept.reserve(m_simplified.size());
  for (uint32_t index : m_simplified)
    if (index < m_points.size()) kept.push_back(m_points[index]);
  if (kept.size() < 2) return;
  out.MoveToTransformed(kept[0], transform);
  for (size_t i = 1; i < kept.size(); ++i) {
    const glm::vec3 p = Transformed(transform, kept[i]);
    out.LineTo(p.x, p.y, p.z);
  }
  out.EndLine();
}

void Polyline::DrawRange(const rvTransform* transform, float from, float to) const {
  if (VectorGeometry* out = CurrentVectorGeometry()) DrawRange(*out, transform, from, to);
}

void Polyline::DrawRange(VectorGeometry& out, const rvTransform* transform, float from, float to) const {
  if (!(from < to) || m_points.size() < 2) return;
  ApplyStyle(out);
  bool open = false;
  float g = 0.0f;
  for (size_t k = 1; k < m_points.size(); ++k) {
    const glm::vec3& a = m_points[k - 1];
    const glm::vec3& b = m_points[k];
    const float w = g + glm::distance(a, b);
    if (!open) {
      if (g <= from && from <= w) {
        out.MoveToTransformed(glm::mix(a, b, SegmentParam(from, g, w)), transform);
        open = true;
      } else {
        g = w;
        continue;
      }
    }
    if (g <= to && to <= w) {
      const glm::vec3 p = Transformed(transform, glm::mix(a, b, SegmentParam(to, g, w)));
      out.LineTo(p.x, p.y, p.z);
      out.EndLine();
      return;
    }
    const glm::vec3 p = Transformed(transform, b);
    out.LineTo(p.x, p.y, p.z);
    g = w;
  }
  if (open) out.EndLine();
}

// ---------------------------------------------------------------------------
// Sampling
// ---------------------------------------------------------------------------

VectorVertex Polyline::PointAtLength(const rvTransform* transform, float x) const {
  VectorVertex v;
  v.color = EffectiveColor();
  v.thickness = EffectiveThickness();
  v.flags = 0;
  // A polyline without points samples at the origin of its transform.
  glm::vec3 p = m_points.empty() ? glm::vec3(0.0f) : m_points[0];
  float g = 0.0f;
  for (size_t k = 1; k < m_points.size(); ++k) {
    const float w = g + glm::distance(m_points[k - 1], m_points[k]);
    if (g <= x && x <= w) {
      p = glm::mix(m_points[k - 1], m_points[k], SegmentParam(x, g, w));
      break;
    }
    g = w;
  }
  TransformPoint(v.position, transform, p);
  return v;
}

// ---------------------------------------------------------------------------
// Simplification (Ramer-Douglas-Peucker, explicit stack)
// ---------------------------------------------------------------------------

namespace {

// Distance of point i to the chord (f, l) in x and y. A chord whose ends meet
// in x and y has no direction there, so the 3D distance to its first end
// stands in (the formula would divide by zero).
float ChordDistance(const glm::vec3& pi, const glm::vec3& pf, const glm::vec3& pl) {
  const float dx = pl.x - pf.x;
  const float dy = pl.y - pf.y;
  const float len = std::sqrt(dy * dy + dx * dx);
  if (len == 0.0f) return glm::distance(pi, pf);
  return std::fabs((pf.y - pi.y) * dx - (pf.x - pi.x) * dy) / len;
}

}  // namespace

void Polyline::Simplify(float epsilon) {
  m_simplified.clear();
  const size_t n = m_points.size();
  if (n == 0) return;
  std::vector<char> keep(n, 1);
  std::vector<std::pair<size_t, size_t>> stack;
  stack.emplace_back(0, n - 1);
  // Each range costs a scan of its points: about n log n in all, but n^2
  // when every split peels off one point. Past the budget the ranges still
  // waiting keep all their points, so the cost stays bounded and the result
  // only keeps more points than needed.
  const size_t budget = kSimplifyBaseWork + kSimplifyWorkPerPoint * n;
  size_t work = 0;
  while (!stack.empty()) {
    const auto [first, last] = stack.back();
    stack.pop_back();
    if (work > budget) continue;
    work += last - first;
    // Farthest point from the chord; ties keep the earliest.
    bool found = false;
    float best = 0.0f;
    size_t index = first;
    for (size_t i = first + 1; i < last; ++i) {
      const float d = ChordDistance(m_points[i], m_points[first], m_points[last]);
      if (!found || d > best) {
        best = d;
        index = i;
        found = true;
      }
    }
    if (found && best > epsilon) {
      stack.emplace_back(first, index);
      stack.emplace_back(index, last);
    } else {
      for (size_t i = first + 1; i < last; ++i) keep[i] = 0;
    }
  }
  for (size_t i = 0; i < n; ++i)
    if (keep[i]) m_simplified.push_back(static_cast<uint32_t>(i));
}
