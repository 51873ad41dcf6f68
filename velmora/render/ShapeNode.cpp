// Shape tree: building, subtree-wide setters, the per-frame update walk,
// drawing with recorded display counts, and arc-length sampling.
#include "render/ShapeNode.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Building and release
// ---------------------------------------------------------------------------

ShapeNode::ShapeNode() = default;

ShapeNode::~ShapeNode() { Clear(); }

Polyline* ShapeNode::AddPolyline() {
  m_polylines.push_back(new Polyline());
  return m_polylines.back();
}

ShapeNode* ShapeNode::AddChild() {
  m_children.push_back(new ShapeNode());
  return m_children.back();
}

void ShapeNode::Clear() {
  for (Polyline* p : m_polylines) delete p;
  for (ShapeNode* c : m_children) delete c;  // each child clears its subtree
  m_polylines.clear();
  m_children.clear();
}

void ShapeNode::Destroy() {
  Clear();
  std::vector<Polyline*>().swap(m_polylines);
  std::vector<ShapeNode*>().swap(m_children);
}

// ---------------------------------------------------------------------------
// Sources and transforms
// ---------------------------------------------------------------------------

namespace {

void CopyMatrixDown(ShapeNode* node, const glm::mat4 m) {
  node->matrix = m;
  node->m_pExternalTransform = nullptr;
  node->m_ownMatrix = 1;
  for (ShapeNode* c : node->m_children) CopyMatrixDown(c, m);
}

}  // namespace

void ShapeNode::SetColor(const glm::vec4& rgba) {
  for (Polyline* p : m_polylines) {
    p->m_color = rgba;
    p->m_pColorSource = nullptr;
  }
  for (ShapeNode* c : m_children) c->SetColor(rgba);
}

void ShapeNode::SetThickness(float thickness) {
  for (Polyline* p : m_polylines) {
    p->m_thickness = thickness;
    p->m_pThicknessSource = nullptr;
  }
  for (ShapeNode* c : m_children) c->SetThickness(thickness);
}

void ShapeNode::SetThicknessSource(const float* source) {
  if (!source) return;
  for (Polyline* p : m_polylines) p->m_pThicknessSource = source;
  for (ShapeNode* c : m_children) c->SetThicknessSource(source);
}

void ShapeNode::SetTransform(rvTransform* transform) {
  if (!transform) return;
  m_pExternalTransform = transform;
  for (ShapeNode* c : m_children) c->SetTransform(transform);
}

void ShapeNode::SetMatrixFrom(rvTransform* transform, bool update) {
  if (!transform) return;
  if (update) transform->Update();
  // Read the matrix once: the transform may be this node, whose matrix the
  // walk overwrites with the same value.
  CopyMatrixDown(this, transform->matrix);
}

const rvTransform* ShapeNode::DrawTransform() const {
  if (m_pExternalTransform) return m_pExternalTransform;
  return m_ownMatrix ? this : nullptr;
}

void ShapeNode::Update() {
  if (m_pExternalTransform) m_pExternalTransform->Update();
  // A child that shares this node's transform was just brought up to date
  // with it, and so were its descendants that share it too.
  const rvTransform* own = DrawTransform();
  for (ShapeNode* c : m_children)
    if (c->DrawTransform() != own) c->Update();
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

void ShapeNode::Draw() {
  if (VectorGeometry* out = CurrentVectorGeometry()) Draw(*out);
}

void ShapeNode::DrawSimplified() {
  if (VectorGeometry* out = CurrentVectorGeometry()) DrawSimplified(*out);
}

void ShapeNode::DrawPartial(float from, float to) {
  if (VectorGeometry* out = CurrentVectorGeometry()) DrawPartial(*out, from, to);
}

void ShapeNode::RecordCountsAfter(const VectorGeometry& out) {
  m_countsAfter = out.Counts();
  m_countsGeometry = &out;
  m_countsClearCount = out.m_clearCount;
}

bool ShapeNode::CountsAreCurrent(const VectorGeometry& out) const {
  return m_countsGeometry == &out && m_countsClearCount == out.m_clearCount;
}

void ShapeNode::Draw(VectorGeometry& out) {
  m_countsBefore = out.Counts();
  const rvTransform* transform = DrawTransform();
  for (const Polyline* p : m_polylines) p->Draw(out, transform);
  for (ShapeNode* c : m_children) c->Draw(out);
  RecordCountsAfter(out);
}

void ShapeNode::DrawSimplified(VectorGeometry& out) {
  m_countsBefore = out.Counts();
  const rvTransform* transform = DrawTransform();
  for (const Polyline* p : m_polylines) p->DrawSimplified(out, transform);
  for (ShapeNode* c : m_children) c->DrawSimplified(out);
  RecordCountsAfter(out);
}

void ShapeNode::DrawPartial(VectorGeometry& out, float from, float to) {
  m_countsBefore = out.Counts();
  const rvTransform* transform = DrawTransform();
  float sum = 0.0f;
  for (const Polyline* p : m_polylines) sum += p->m_length;
  const float a = from * sum;
  const float b = to * sum;
  float c = 0.0f;
  for (const Polyline* p : m_polylines) {
    const float len = p->m_length;
    if (c < b && a < c + len) p->DrawRange(out, transform, std::max(a - c, 0.0f), std::min(len, b - c));
    c += len;
  }
  // Children are whole units of the reveal: child j shows when j lies in
  // [from, to], cut at the fraction to - j of its own length.
  for (size_t j = 0; j < m_children.size(); ++j) {
    const float fj = static_cast<float>(j);
    if (from <= fj && to >= fj) m_children[j]->DrawPartial(out, from - fj, to - fj);
  }
  RecordCountsAfter(out);
}

// ---------------------------------------------------------------------------
// Measuring and sampling
// ---------------------------------------------------------------------------

float ShapeNode::TotalLength() const {
  float total = 0.0f;
  for (const Polyline* p : m_polylines) total += p->m_length;
  for (const ShapeNode* c : m_children) total += c->TotalLength();
  return total;
}

VectorVertex ShapeNode::PointAtLength(float x) const {
  const rvTransform* transform = DrawTransform();
  float start = 0.0f;
  for (const Polyline* p : m_polylines) {
    const float len = p->m_length;
    if (start <= x && x <= start + len) return p->PointAtLength(transform, x - start);
    start += len;
  }
  for (const ShapeNode* c : m_children) {
    const float len = c->TotalLength();
    if (start <= x && x <= start + len) return c->PointAtLength(x - start);
    start += len;
  }
  VectorVertex none;
  none.position = glm::vec3(0.0f);
  none.color = glm::vec3(1.0f);
  none.flags = 0;
  none.thickness = 0.5f;
  return none;
}

void ShapeNode::Simplify(float epsilon) {
  for (ShapeNode* c : m_children) c->Simplify(epsilon);
  for (Polyline* p : m_polylines) p->Simplify(epsilon);
  m_simplifyEpsilon = epsilon;
}
