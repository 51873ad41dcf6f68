// Edge sets: the counting and filling passes over the shape set's image and
// the split of long edges. See nanoSVG2Edge.h.
//
// Index:
//   [SECTION] Release
//   [SECTION] Collecting
//   [SECTION] Splitting
#include "svg/nanoSVG2Edge.h"

#include <climits>
#include <cmath>

#include "render/CubicFlatten.h"

namespace {

// Counts stop growing here: a list that large cannot be allocated anyway,
// and the int must not wrap.
constexpr int kMaxCount = INT_MAX / 4;

void Grow(int& count, int by) { count = count > kMaxCount - by ? kMaxCount : count + by; }

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Release
// ---------------------------------------------------------------------------

nanoSVG2Edge::~nanoSVG2Edge() { Clear(); }

void nanoSVG2Edge::Clear() {
  nanoSVGBase::Clear();
  m_points.clear();
  m_edges.clear();
  m_edgeShapeCount = 0;
  m_neededPoints = 0;
  m_neededEdges = 0;
  m_pointCount = 0;
  m_edgeCount = 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Collecting
// ---------------------------------------------------------------------------

int nanoSVG2Edge::BuildEdges() {
  m_neededPoints = 0;
  m_neededEdges = 0;
  if (CollectEdges(false) < 0) return -1;
  // Sized from what the counting pass opened, so that files whose shapes
  // give no path (S close to P or above it) cannot make the list too short.
  m_points.assign(static_cast<size_t>(m_neededPoints), EdgePoint{0.0f, 0.0f, 0});
  m_edges.assign(static_cast<size_t>(m_neededEdges), EdgeSegment{-1.0f, -1.0f, -1.0f});
  m_edgeCount = 0;
  if (!m_points.empty()) {
    CollectEdges(true);
    SplitLongEdges();
  }
  return 0;
}

int nanoSVG2Edge::CollectEdges(bool fill) {
  if (!m_image) return -1;
  m_filling = fill;
  m_tolerance = 1.5f * m_fitScale;
  m_edgeShapeCount = 0;
  for (SvgShape* shape = m_image->shapes; shape; shape = shape->next) {
    shape->group = nullptr;
    shape->taken = 1;
    ++m_edgeShapeCount;
    for (const SvgPath* path = shape->paths; path; path = path->next) {
      if (path->npts <= 1) continue;
      StartPath(path->pts[0], path->pts[1]);
      for (int i = 0; i + 3 < path->npts; i += 3) FlattenCubic(&path->pts[i * 2], 0);
      if (path->closed) ClosePath(path->pts[0], path->pts[1]);
    }
  }
  // The edge opened past the very last end point leads nowhere: drop it with
  // its point.
  EdgeSegment* last = LastEdge();
  if (fill && last && last->end < 0.0f) {
    last->start = -1.0f;
    --m_edgeCount;
    if (m_pointCount > 0) --m_pointCount;
    if (m_pointCount > 0) m_points[m_pointCount - 1].flag = 1;
  }
  return 0;
}

void nanoSVG2Edge::FlattenCubic(const float p[8], int level) {
  ::FlattenCubic(p, m_tolerance, level, [this](float x, float y) { Emit(x, y); });
}

bool nanoSVG2Edge::StorePoint(float x, float y, uint8_t flag) {
  if (m_pointCount >= static_cast<int>(m_points.size())) return false;
  m_points[m_pointCount++] = EdgePoint{x - m_halfWidth, y - m_halfHeight, flag};
  return true;
}

void nanoSVG2Edge::StartPath(float x, float y) {
  if (!m_filling) {
    Grow(m_neededPoints, 1);
    Grow(m_neededEdges, 1);
    return;
  }
  if (m_pointCount > 0) m_points[m_pointCount - 1].flag = 1;
  EdgeSegment* last = LastEdge();
  if (last && last->end < 0.0f) {
    last->start = -1.0f;
    --m_edgeCount;
  }
  if (!StorePoint(x, y, 0)) return;
  const int edges = static_cast<int>(m_edges.size());
  if (m_edgeCount < edges && m_edges[m_edgeCount].start < 0.0f) {
    m_edges[m_edgeCount].start = static_cast<float>(m_pointCount - 1);
    if (m_edgeCount < edges - 1) ++m_edgeCount;
  }
}

void nanoSVG2Edge::ClosePath(float x, float y) {
  if (!m_filling) {
    Grow(m_neededPoints, 1);
    return;
  }
  if (!StorePoint(x, y, 1)) return;
  if (EdgeSegment* last = LastEdge()) last->end = static_cast<float>(m_pointCount - 1);
}

// Closes the open edge at the end point and opens the next one 0.75 past
// it along the closed edge, so that consecutive edges never share a point.
void nanoSVG2Edge::Emit(float x, float y) {
  if (!m_filling) {
    Grow(m_neededPoints, 2);
    Grow(m_neededEdges, 1);
    return;
  }
  if (!StorePoint(x, y, 0)) return;
  const int endIndex = m_pointCount - 1;
  EdgeSegment* last = LastEdge();
  if (!last) return;
  if (last->start < 0.0f) {
    last->start = static_cast<float>(endIndex);
    return;
  }
  last->end = static_cast<float>(endIndex);

  const EdgePoint e = m_points[endIndex];
  const int startIndex = static_cast<int>(last->start);
  const EdgePoint s = startIndex >= 0 && startIndex < m_pointCount ? m_points[startIndex] : e;
  const float dx = e.x - s.x, dy = e.y - s.y;
  const float length = std::sqrt(dx * dx + dy * dy);
  const float k = length > 1e-5f ? 0.75f / length : 0.75f;
  if (m_pointCount >= static_cast<int>(m_points.size()) || m_edgeCount >= static_cast<int>(m_edges.size())) return;
  m_points[m_pointCount] = EdgePoint{e.x + k * dx, e.y + k * dy, 0};
  m_edges[m_edgeCount].start = static_cast<float>(m_pointCount);
  ++m_pointCount;
  ++m_edgeCount;
}

// ---------------------------------------------------------------------------
// [SECTION] Splitting
// ---------------------------------------------------------------------------

void nanoSVG2Edge::SplitLongEdges() {
  if (m_points.empty() || m_edges.empty()) return;
  m_newPoints.clear();
  m_newEdges.clear();
  auto append = [this](const EdgePoint& a, const EdgePoint& b) {
    const float first = static_cast<float>(m_newPoints.size());
    m_newPoints.push_back(a);
    m_newPoints.push_back(b);
    m_newEdges.push_back(EdgeSegment{first, first + 1.0f, 0.0f});
  };
  for (int i = 0; i < m_edgeCount && i < static_cast<int>(m_edges.size()); ++i) {
    const int ia = static_cast<int>(m_edges[i].start), ib = static_cast<int>(m_edges[i].end);
    if (ia < 0 || ib < 0 || ia >= m_pointCount || ib >= m_pointCount) continue;
    const EdgePoint a = m_points[ia], b = m_points[ib];
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float length = std::sqrt(dx * dx + dy * dy + 0.0f);
    if (!(length > m_splitLength)) {
      append(a, b);
      continue;
    }
    const float ux = dx / length, uy = dy / length;
    const float step = length / m_splitPieces;
    const float sx = ux * step, sy = uy * step;
    // Pieces end 0.75 short of the next start, as edges of a path do; the
    // last one reaches the original end point's place.
    float qx = a.x, qy = a.y;
    const int pieces = static_cast<int>(m_splitPieces);
    for (int k = 0; static_cast<float>(k) < m_splitPieces; ++k) {
      const bool lastPiece = k == pieces - 1;
      const float ex = lastPiece ? qx + sx : qx + sx - 0.75f * ux;
      const float ey = lastPiece ? qy + sy : qy + sy - 0.75f * uy;
      append(EdgePoint{qx, qy, 0}, EdgePoint{ex, ey, 0});
      qx += sx;
      qy += sy;
    }
  }
  m_points = m_newPoints;
  m_edges = m_newEdges;
  m_pointCount = static_cast<int>(m_points.size());
  m_edgeCount = static_cast<int>(m_edges.size());
}
