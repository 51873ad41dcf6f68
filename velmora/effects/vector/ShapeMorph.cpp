// ShapeMorph. See ShapeMorph.h.
//
// [SECTION] Building the sides
// [SECTION] Pairing
// [SECTION] Drawing
#include "effects/vector/ShapeMorph.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/AppLog.h"
#include "render/ShapeNode.h"
#include "render/VectorGeometry.h"
#include "sequence/fxBase.h"

//-----------------------------------------------------------------------------
// [SECTION] Building the sides
//-----------------------------------------------------------------------------

const rvTransform* GetNodeTransform(const ShapeNode* node) { return node ? node->DrawTransform() : nullptr; }

void CollectNodeEdges(nanoSVG2Edge& side, const ShapeNode* node) {
  if (!node) return;
  for (const ShapeNode* child : node->m_children) CollectNodeEdges(side, child);
  const rvTransform* transform = GetNodeTransform(node);
  for (const Polyline* line : node->m_polylines) {
    const size_t k = line->m_points.size();
    for (size_t i = 0; i < k; ++i) {
      glm::vec3 p;
      TransformPoint(p, transform, line->m_points[i]);
      const float n = static_cast<float>(side.m_points.size());
      if (i + 1 < k) side.m_edges.push_back(EdgeSegment{n, n + 1.0f, 0.0f});
      side.m_points.push_back(EdgePoint{p.x, p.y, static_cast<uint8_t>(i + 1 == k ? 1 : 0)});
    }
  }
  side.m_pointCount = static_cast<int>(side.m_points.size());
  side.m_edgeCount = static_cast<int>(side.m_edges.size());
}

glm::vec2 ComputeCentroid(const nanoSVG2Edge& side) {
  if (side.m_pointCount <= 0) return glm::vec2(0.0f);
  glm::vec2 sum(0.0f);
  for (int i = 0; i < side.m_pointCount; ++i) sum += glm::vec2(side.m_points[i].x, side.m_points[i].y);
  return sum / static_cast<float>(side.m_pointCount);
}

void TranslatePoints(nanoSVG2Edge& side, const glm::vec2& by) {
  for (EdgePoint& p : side.m_points) {
    p.x += by.x;
    p.y += by.y;
  }
}

bool PointsEqual(const EdgePoint& a, const EdgePoint& b) {
  return std::fabs(a.x - b.x) <= 1e-6f && std::fabs(a.y - b.y) <= 1e-6f;
}

void SplitLongestEdges(nanoSVG2Edge& side, int n) {
  auto end = [&side](int e, bool second) -> EdgePoint& {
    return side.m_points[static_cast<size_t>(second ? side.m_edges[e].end : side.m_edges[e].start)];
  };
  std::vector<float> lengths;
  for (int e = 0; e < side.m_edgeCount; ++e) {
    const EdgePoint& a = end(e, false);
    const EdgePoint& b = end(e, true);
    lengths.push_back((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
  }
  for (int k = 0; k < n && !lengths.empty(); ++k) {
    size_t longest = 0;
    for (size_t e = 1; e < lengths.size(); ++e)
      if (lengths[e] > lengths[longest]) longest = e;
    const int e = static_cast<int>(longest);
    const EdgePoint a = end(e, false);
    const EdgePoint b = end(e, true);
    const EdgePoint m{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, 1};
    const float mid = static_cast<float>(side.m_points.size());
    side.m_points.push_back(m);
    const float oldEnd = side.m_edges[longest].end;
    side.m_edges[longest].end = mid;
    side.m_edges.insert(side.m_edges.begin() + static_cast<std::ptrdiff_t>(longest) + 1,
                        EdgeSegment{mid, oldEnd, 0.0f});
    const float half = (m.x - a.x) * (m.x - a.x) + (m.y - a.y) * (m.y - a.y);
    lengths[longest] = half;
    lengths.insert(lengths.begin() + static_cast<std::ptrdiff_t>(longest) + 1, half);
  }
  side.m_pointCount = static_cast<int>(side.m_points.size());
  side.m_edgeCount = static_cast<int>(side.m_edges.size());
}

void ShapeMorph::SetPlacement(MorphSide side, const glm::vec2& position, const glm::vec2& scale) {
  (side == kMorphSource ? m_sourcePosition : m_destinationPosition) = position;
  (side == kMorphSource ? m_sourceScale : m_destinationScale) = scale;
}

bool ShapeMorph::CaptureFromFx(MorphSide side, fxBase* fx) {
  if (!fx) return false;
  nanoSVG2Edge& edges = Side(side);
  edges.Clear();
  SetPlacement(side, glm::vec2(0.0f), glm::vec2(0.1f, -0.1f));
  const float duration = static_cast<float>(fx->m_end - fx->m_start) / 60.0f;
  CollectNodeEdges(edges, fx->GetShapesAtTime(duration));
  return edges.m_edgeCount > 0;
}

bool ShapeMorph::LoadFromSvg(MorphSide side, const std::string& path, const glm::vec2& pos, float size) {
  nanoSVG2Edge& edges = Side(side);
  edges.Clear();
  if (edges.Load(path.c_str()) != 0) return false;
  TranslatePoints(edges, -ComputeCentroid(edges));
  // A side loaded at size 0 would keep nothing of its outline (every point
  // times 0) and give 0 / 0 when drawn at another size: it is kept at size 1
  // about the origin instead, and Draw scales and places it from there.
  const bool sized = size != 0.0f && std::isfinite(size);
  const float k = sized ? 0.1f * size : 0.1f;
  const glm::vec2 offset = sized ? pos : glm::vec2(0.0f);
  for (EdgePoint& p : edges.m_points) {
    p.x = p.x * k + offset.x;
    p.y = p.y * -k + offset.y;
  }
  SetPlacement(side, offset, glm::vec2(k, -k));
  return true;
}

void ShapeMorph::Clear() {
  m_source.Clear();
  m_destination.Clear();
  m_pairs.clear();
  m_pairCount = 0;
}

//-----------------------------------------------------------------------------
// [SECTION] Pairing
//-----------------------------------------------------------------------------

namespace {

glm::vec2 Midpoint(const nanoSVG2Edge& side, int e) {
  const EdgePoint& a = side.m_points[static_cast<size_t>(side.m_edges[e].start)];
  const EdgePoint& b = side.m_points[static_cast<size_t>(side.m_edges[e].end)];
  return glm::vec2((a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f);
}

bool EdgesTouch(const nanoSVG2Edge& side, int e, int f) {
  const EdgePoint* ends[2][2];
  for (int k = 0; k < 2; ++k) {
    const EdgeSegment& s = side.m_edges[k == 0 ? e : f];
    ends[k][0] = &side.m_points[static_cast<size_t>(s.start)];
    ends[k][1] = &side.m_points[static_cast<size_t>(s.end)];
  }
  for (const EdgePoint* p : ends[0])
    for (const EdgePoint* q : ends[1])
      if (PointsEqual(*p, *q)) return true;
  return false;
}

}  // namespace

bool ShapeMorph::TryPairEdge(int a, int b, int i, int j) {
  const int n = m_pairCount;
  if (i < 0 || j < 0 || a < 0 || b < 0 || i >= n || j >= n || a >= n || b >= n) return false;
  if (m_sourceUsed[i] || m_destinationUsed[j]) return false;
  if (a != i && !(EdgesTouch(m_source, a, i) && EdgesTouch(m_destination, b, j))) return false;
  const EdgeSegment& s = m_source.m_edges[i];
  const EdgeSegment& d = m_destination.m_edges[j];
  const int s1 = static_cast<int>(s.start), s2 = static_cast<int>(s.end);
  int d1 = static_cast<int>(d.start), d2 = static_cast<int>(d.end);
  const EdgePoint &ps1 = m_source.m_points[s1], &ps2 = m_source.m_points[s2];
  const EdgePoint &pd1 = m_destination.m_points[d1], &pd2 = m_destination.m_points[d2];
  // Opposite directions would make the line cross over while it morphs.
  if ((ps2.x - ps1.x) * (pd2.x - pd1.x) + (ps2.y - ps1.y) * (pd2.y - pd1.y) < 0.0f) std::swap(d1, d2);
  m_pairs[i] = EdgePair{s1, d1, s2, d2};
  m_sourceUsed[i] = true;
  m_destinationUsed[j] = true;
  return true;
}

void ShapeMorph::PairEdges() {
  // A side without edges has nothing to split or pair with.
  const int n = std::max(m_source.m_edgeCount, m_destination.m_edgeCount);
  if (n > kMaxEdges) {
    AppLog::Get().AddLog("[fxMorph] sides of %d and %d edges: more than %d, not morphed\n", m_source.m_edgeCount,
                         m_destination.m_edgeCount, kMaxEdges);
  }
  if (m_source.m_edgeCount <= 0 || m_destination.m_edgeCount <= 0 || n > kMaxEdges) {
    m_pairs.clear();
    m_pairCount = 0;
    return;
  }
  m_pairCount = n;
  m_pairs.assign(static_cast<size_t>(n), EdgePair{0, 0, 0, 0});
  const glm::vec2 sourceCentre = ComputeCentroid(m_source);
  const glm::vec2 destinationCentre = ComputeCentroid(m_destination);
  TranslatePoints(m_source, -sourceCentre);
  TranslatePoints(m_destination, -destinationCentre);
  if (m_source.m_edgeCount < n) SplitLongestEdges(m_source, n - m_source.m_edgeCount);
  if (m_destination.m_edgeCount < n) SplitLongestEdges(m_destination, n - m_destination.m_edgeCount);

  struct Record {
    glm::vec2 mid;
    float distance2;
    int edge;
  };
  std::vector<Record> sources;
  std::vector<glm::vec2> destinations;
  for (int e = 0; e < n; ++e) {
    const glm::vec2 mid = Midpoint(m_source, e);
    sources.push_back(Record{mid, glm::dot(mid, mid), e});
    destinations.push_back(Midpoint(m_destination, e));
  }
  // Far-out edges first; a bubble sort keeps equal distances in edge order.
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (int e = 0; e + 1 < n; ++e) {
      if (sources[e].distance2 < sources[e + 1].distance2) {
        std::swap(sources[e], sources[e + 1]);
        swapped = true;
      }
    }
  }

  m_sourceUsed.assign(static_cast<size_t>(n), false);
  m_destinationUsed.assign(static_cast<size_t>(n), false);
  const int runs[4][2] = {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}};
  for (const Record& record : sources) {
    const int i = record.edge;
    int j = -1;
    float best = 0.0f;
    for (int d = 0; d < n; ++d) {
      if (m_destinationUsed[d]) continue;
      const glm::vec2 delta = destinations[d] - record.mid;
      const float distance2 = glm::dot(delta, delta);
      if (j < 0 || distance2 < best) {
        j = d;
        best = distance2;
      }
    }
    if (m_sourceUsed[i] || !TryPairEdge(i, j, i, j)) continue;
    // Runs of neighbours along both outlines, each from the seed.
    for (const auto& run : runs) {
      int a = i, b = j;
      for (int k = 1; TryPairEdge(a, b, i + k * run[0], j + k * run[1]); ++k) {
        a = i + k * run[0];
        b = j + k * run[1];
      }
    }
  }
  TranslatePoints(m_source, sourceCentre);
  TranslatePoints(m_destination, destinationCentre);
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

namespace {

// Where a stored point of a side is drawn: rescaled from the size it was
// stored with, rotated, and moved by the change of position.
struct SidePlacement {
  float kx, ky, c, s;
  glm::vec2 offset;
  glm::vec2 Map(const EdgePoint& p) const {
    const float x = kx * p.x, y = ky * p.y;
    return glm::vec2(x * c - y * s, x * s + y * c) + offset;
  }
};

SidePlacement Place(const glm::vec2& storedPos, const glm::vec2& storedScale, const glm::vec2& pos, float size,
                    float rotDegrees) {
  const float r = rotDegrees * 3.1415927f / 180.0f;
  SidePlacement p;
  // A scale of 0 cannot be undone; drawing it as 0 keeps the line ends finite.
  p.kx = storedScale.x != 0.0f ? 0.1f * size / storedScale.x : 0.0f;
  p.ky = storedScale.y != 0.0f ? -0.1f * size / storedScale.y : 0.0f;
  p.c = std::cos(r);
  p.s = std::sin(r);
  p.offset = pos - storedPos;
  return p;
}

}  // namespace

void ShapeMorph::Draw(VectorGeometry& out, float m, const glm::vec2& sourcePos, float sourceSize,
                      const glm::vec2& destPos, float destSize, float sourceRot, float destRot) const {
  const float v = m > 0.0f ? (m < 1.0f ? m : 1.0f) : 0.0f;
  const SidePlacement source = Place(m_sourcePosition, m_sourceScale, sourcePos, sourceSize, sourceRot);
  const SidePlacement destination = Place(m_destinationPosition, m_destinationScale, destPos, destSize, destRot);
  for (int i = 0; i < m_pairCount && i < static_cast<int>(m_pairs.size()); ++i) {
    const EdgePair& pair = m_pairs[i];
    const glm::vec2 e1 = glm::mix(source.Map(m_source.m_points[pair.source1]),
                                  destination.Map(m_destination.m_points[pair.dest1]), v);
    const glm::vec2 e2 = glm::mix(source.Map(m_source.m_points[pair.source2]),
                                  destination.Map(m_destination.m_points[pair.dest2]), v);
    out.MoveTo(e1.x, e1.y, 0.0f);
    out.LineTo(e2.x, e2.y, 0.0f);
    out.EndLine();
  }
}
