// Edge sets for morphing: an SVG file as a list of 2D points and a list of
// straight edges, each edge owning its two points, every curve flattened and
// every edge longer than the split length cut into pieces. The outline morph
// holds two of them and fills them itself when a side comes from another
// effect's shapes.
//
// Depends on the shape set (image, half extents, fit scale) and the one
// cubic flattener. Owns its four lists. Two passes over the image size the
// lists before the second fills them; every write is bounded by those sizes.
// BuildEdges works on the adopted image without the data pack or GL; Load
// and Draw live with the shape set's file read (nanoSVGLoad.cpp).
#pragma once
#include <cstdint>
#include <vector>

#include "svg/nanoSVGBase.h"

struct EdgePoint {
  float x, y;
  uint8_t flag;  // 1: the last point written for a subpath
};

// Point indices stored as floats, read by truncation; -1 while not filled.
struct EdgeSegment {
  float start, end, unused;
};

class nanoSVG2Edge : public nanoSVGBase {
 public:
  nanoSVG2Edge() = default;
  ~nanoSVG2Edge();

  // Loading and release, as a pair. Load: 0, or -1 when the shape set does
  // not load; the caller clears first. Clear empties the lists and counts.
  int Load(const char* path);
  void Clear();
  // One line per edge into the current vector display, z = 0.
  void Draw();

  // Both collecting passes and the split over the adopted image: 0, or -1
  // without an image.
  int BuildEdges();
  int CollectEdges(bool fill);
  void FlattenCubic(const float p[8], int level);
  void SplitLongEdges();

  std::vector<EdgePoint> m_points;
  std::vector<EdgeSegment> m_edges;
  std::vector<EdgePoint> m_newPoints;
  std::vector<EdgeSegment> m_newEdges;
  int m_edgeShapeCount = 0;
  int m_neededPoints = 0;
  // Edges the counting pass saw opened: the edge list is sized from it.
  int m_neededEdges = 0;
  int m_pointCount = 0;
  int m_edgeCount = 0;
  float m_splitLength = 50.0f;
  float m_splitPieces = 10.0f;

 private:
  void Emit(float x, float y);
  void StartPath(float x, float y);
  void ClosePath(float x, float y);
  bool StorePoint(float x, float y, uint8_t flag);
  EdgeSegment* LastEdge() { return m_edgeCount > 0 ? &m_edges[m_edgeCount - 1] : nullptr; }

  bool m_filling = false;
  float m_tolerance = 0.0f;
};
