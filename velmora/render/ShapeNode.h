// Shape tree: the retained vector geometry of an effect. A node is a
// transform with owned polylines and owned child nodes; the owning effect
// updates the tree's transforms every frame (ShapeNode::Update) and draws it
// into the current vector display as line strips. Each draw records the
// display's primitive counts before and after the node (children included),
// so that later effects of the same frame can find and deform what it drew.
// Other effects borrow a tree to sample points along its arc length.
//
// Ownership: a node owns its polylines and children; colour and thickness
// sources and external transforms are borrowed and must outlive the tree.
#pragma once
#include <glm/glm.hpp>

#include <vector>

#include "render/Polyline.h"
#include "render/VectorGeometry.h"
#include "core/rvTransform.h"

class ShapeNode : public rvTransform {
 public:
  ShapeNode();
  ~ShapeNode();
  ShapeNode(const ShapeNode&) = delete;
  ShapeNode& operator=(const ShapeNode&) = delete;

  // Building and release.
  Polyline* AddPolyline();
  ShapeNode* AddChild();
  void Clear();    // deletes every polyline and child, recursively
  void Destroy();  // Clear, and the lists give back their memory

  // Sources and transforms; each walks the whole subtree.
  void SetColor(const glm::vec4& rgba);
  void SetThickness(float thickness);
  void SetThicknessSource(const float* source);           // null: no change
  void SetTransform(rvTransform* transform);              // null: no change
  void SetMatrixFrom(rvTransform* transform, bool update);

  // The per-frame tree walk: updates the external transform, then every child
  // whose transform differs from this node's. The node's own matrix is never
  // recomputed here (it is copied in by SetMatrixFrom).
  void Update() override;

  // The transform points are drawn and sampled with: the external one, else
  // the node itself with the own-matrix flag, else none.
  const rvTransform* DrawTransform() const;

  // Drawing into the current vector display (nothing, and no counts, when
  // there is none) or into the given geometry.
  void Draw();
  void DrawSimplified();
  void DrawPartial(float from, float to);
  void Draw(VectorGeometry& out);
  void DrawSimplified(VectorGeometry& out);
  void DrawPartial(VectorGeometry& out, float from, float to);

  // Measuring and sampling.
  float TotalLength() const;
  VectorVertex PointAtLength(float x) const;
  void Simplify(float epsilon);

  rvTransform* m_pExternalTransform = nullptr;
  unsigned char m_ownMatrix = 0;
  std::vector<Polyline*> m_polylines;
  std::vector<ShapeNode*> m_children;
  // True when the recorded counts describe what the geometry holds now: the
  // latest draw went into it and it has not been cleared since.
  bool CountsAreCurrent(const VectorGeometry& out) const;

  VectorCounts m_countsBefore;
  VectorCounts m_countsAfter;
  const VectorGeometry* m_countsGeometry = nullptr;  // where the counts were taken
  uint32_t m_countsClearCount = 0;                    // its clear count then
  float m_simplifyEpsilon = 0.0f;

 private:
  void RecordCountsAfter(const VectorGeometry& out);
};
