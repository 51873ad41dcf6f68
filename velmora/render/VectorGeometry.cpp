// Vector geometry: the appending calls of the vector display, on the CPU.
// See VectorGeometry.h for the layout contract of the four arrays.
#include "render/VectorGeometry.h"

#include "core/rvTransform.h"

int32_t TextureMappingFlags(float u, float v) {
  const uint32_t ub = static_cast<uint32_t>(u * 255.0f) & 0xFFu;
  const uint32_t vb = static_cast<uint32_t>(v * 255.0f) & 0xFFu;
  return static_cast<int32_t>((ub << 24) | (vb << 16) | PTF_TEXTURE_MAPPING);
}

void TransformPoint(glm::vec3& out, const rvTransform* transform, const glm::vec3& p) {
  if (!transform) {
    out = p;
    return;
  }
  out = glm::vec3(transform->matrix * glm::vec4(p, 1.0f));
}

VectorGeometry::VectorGeometry() {
  m_points.Allocate();
  m_lines.Allocate();
  m_triangles.Allocate();
  m_quads.Allocate();
}

VectorVertex VectorGeometry::CurrentVertex(float x, float y, float z, int32_t flags) const {
  VectorVertex v;
  v.position = glm::vec3(x, y, z);
  v.color = glm::vec3(m_settings.currentColor);
  v.flags = flags;
  v.thickness = m_settings.currentThickness;
  return v;
}

void VectorGeometry::MoveTo(float x, float y, float z) {
  VectorVertex* out = m_lines.Append(2);
  out[0] = CurrentVertex(x, y, z, PTF_LINE_STRIPSTART);
  out[1] = CurrentVertex(x, y, z, 0);
  m_lines.openStrip = 2;
}

void VectorGeometry::MoveToTransformed(const glm::vec3& p, const rvTransform* transform) {
  glm::vec3 q;
  TransformPoint(q, transform, p);
  MoveTo(q.x, q.y, q.z);
}

void VectorGeometry::LineTo(float x, float y, float z) {
  *m_lines.Append(1) = CurrentVertex(x, y, z, 0);
  m_lines.openStrip++;
}

void VectorGeometry::EndLine() {
  // A stray EndLine on an empty array has no last vertex to copy.
  if (m_lines.count == 0) return;
  // A strip without LineTo gets its end twice: start, p, end, end is the
  // layout the line shader turns into one dot.
  const int copies = m_lines.openStrip == 2 ? 2 : 1;
  VectorVertex last = m_lines.data()[m_lines.count - 1];
  last.flags = PTF_LINE_STRIPEND;
  VectorVertex* out = m_lines.Append(copies);
  for (int i = 0; i < copies; ++i) out[i] = last;
  m_lines.openStrip = 0;
  m_lines.strips++;
}

void VectorGeometry::DrawLine(const glm::vec3& a, const glm::vec3& b, const glm::mat4& matrix) {
  const glm::vec3 ta(matrix * glm::vec4(a, 1.0f));
  const glm::vec3 tb(matrix * glm::vec4(b, 1.0f));
  MoveTo(ta.x, ta.y, ta.z);
  LineTo(tb.x, tb.y, tb.z);
  EndLine();
}

void VectorGeometry::AddTriangle(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c) {
  VectorTriangle* t = m_triangles.Append(1);
  t->v[0] = CurrentVertex(a.x, a.y, a.z, 0);
  t->v[1] = CurrentVertex(b.x, b.y, b.z, 0);
  t->v[2] = CurrentVertex(c.x, c.y, c.z, 0);
}

void VectorGeometry::AddCube(const VectorVertex corners[8]) {
  static const int kFaces[6][4] = {{0, 1, 2, 3}, {0, 4, 5, 1}, {3, 7, 4, 0},
                                   {2, 6, 7, 3}, {1, 5, 6, 2}, {7, 6, 5, 4}};
  VectorTriangle* t = m_triangles.Append(12);
  for (const auto& f : kFaces) {
    // (a, b, c) and (c, d, a); the flag on each third vertex hides the edge
    // back to the first, which is the face diagonal.
    const int tris[2][3] = {{f[0], f[1], f[2]}, {f[2], f[3], f[0]}};
    for (const auto& tri : tris) {
      for (int k = 0; k < 3; ++k) t->v[k] = corners[tri[k]];
      t->v[2].flags |= PTF_TRIANGLE_DISCARDLINE;
      ++t;
    }
  }
}

void VectorGeometry::AddPoint(const VectorVertex& vertex) { *m_points.Append(1) = vertex; }

void VectorGeometry::AddTexturedQuad(const VectorVertex vertices[6], uint32_t texture) {
  VectorQuad* q = m_quads.Append(1);
  for (int i = 0; i < 6; ++i) q->v[i] = vertices[i];
  q->texture = texture;
}

VectorCounts VectorGeometry::Counts() const {
  return VectorCounts{m_points.count, m_lines.count, m_triangles.count, m_quads.count};
}

bool VectorGeometry::IsEmpty() const {
  return m_points.count == 0 && m_lines.count == 0 && m_triangles.count == 0 && m_quads.count == 0;
}

void VectorGeometry::ClearGeometry() {
  ++m_clearCount;
  m_points.count = 0;
  m_lines.count = 0;
  m_lines.openStrip = 0;
  m_lines.strips = 0;
  m_triangles.count = 0;
  m_quads.count = 0;
}
