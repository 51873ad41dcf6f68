// The outline morph's data: two edge sets (source and destination) brought
// to the same edge count and paired edge by edge, and the drawing of each
// pair as one line between its source and destination edges.
//
// A side is either captured from another effect's shape tree (its polylines
// as chains of edges sharing points) or loaded from an SVG file as an edge
// set (Part of the SVG module). Pairing runs once per build: far-out source
// edges first, each with the nearest free destination edge by midpoint, then
// runs of neighbouring edges along both outlines.
//
// Depends on the edge sets, the shape tree and the vector geometry. Owns the
// two sides and the pairs. Main thread only (loading makes GL objects).
#pragma once
#include <glm/glm.hpp>

#include <string>
#include <vector>

#include "svg/nanoSVG2Edge.h"

class ShapeNode;
class fxBase;
class rvTransform;
class VectorGeometry;

// One pair per source edge (its slot in the array is the source edge): the
// point indices of both ends on each side.
struct EdgePair {
  int source1, dest1, source2, dest2;
};

enum MorphSide { kMorphSource = 0, kMorphDestination = 1 };

class ShapeMorph {
 public:
  // Fills the side from the effect's shape tree at the end of its window:
  // false without an effect or when no edge results.
  bool CaptureFromFx(MorphSide side, fxBase* fx);
  // Loads the side's SVG file as an edge set, centred on its centroid,
  // scaled by 0.1 x size (y flipped upwards) and moved to pos.
  bool LoadFromSvg(MorphSide side, const std::string& path, const glm::vec2& pos, float size);
  // Same edge count on both sides, then one pair per source edge. The sort
  // and the nearest-edge search are quadratic in the edge count: sides of
  // more than kMaxEdges edges are refused (logged), leaving no pairs.
  static constexpr int kMaxEdges = 16384;
  void PairEdges();
  // Draws every pair at morph factor m (clamped to 0..1) with the sides
  // placed by the given attributes, as one line each.
  void Draw(VectorGeometry& out, float m, const glm::vec2& sourcePos, float sourceSize, const glm::vec2& destPos,
            float destSize, float sourceRot, float destRot) const;
  // Empties both sides and the pairs.
  void Clear();

  nanoSVG2Edge& Side(MorphSide side) { return side == kMorphSource ? m_source : m_destination; }

  glm::vec2 m_sourcePosition{0.0f};
  glm::vec2 m_sourceScale{1.0f};
  glm::vec2 m_destinationPosition{0.0f};
  glm::vec2 m_destinationScale{1.0f};
  nanoSVG2Edge m_source;
  nanoSVG2Edge m_destination;
  std::vector<EdgePair> m_pairs;
  int m_pairCount = 0;

 private:
  // Pairs source edge i with destination edge j when both are free and,
  // unless this is the seed (a = i), each touches the previous pair's edge
  // (a on the source side, b on the destination side).
  bool TryPairEdge(int a, int b, int i, int j);
  void SetPlacement(MorphSide side, const glm::vec2& position, const glm::vec2& scale);

  std::vector<bool> m_sourceUsed;
  std::vector<bool> m_destinationUsed;
};

// Appends the node's subtree to the side: children first, then each
// polyline of k points as k points and k - 1 edges between neighbours, the
// points transformed by the node's draw transform.
void CollectNodeEdges(nanoSVG2Edge& side, const ShapeNode* node);
// The transform a node's points are drawn with (null: none).
const rvTransform* GetNodeTransform(const ShapeNode* node);
// Mean of the side's points; (0, 0) without points.
glm::vec2 ComputeCentroid(const nanoSVG2Edge& side);
void TranslatePoints(nanoSVG2Edge& side, const glm::vec2& by);
// Splits the longest edge at its midpoint n times, the new half inserted
// right after the edge it came from.
void SplitLongestEdges(nanoSVG2Edge& side, int n);
bool PointsEqual(const EdgePoint& a, const EdgePoint& b);
