// fxVectorDeformWave: a wave through another effect's vector geometry. See
// fxVectorDeformWave.h.
#include "production/fxVectorDeformWave.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/AppLog.h"
#include "render/ShapeNode.h"
#include "render/VectorGeometry.h"
#include "sequence/rvSequence.h"

namespace {

constexpr int kVertexStride = int(sizeof(VectorVertex));  // 32
constexpr int kQuadStride = int(sizeof(VectorQuad));      // 196

// The entries first .. last - 1 of an array, with last clamped to what the
// array holds now: recorded counts never reach past the current count.
struct Range {
  int first = 0;
  int count = 0;
};
Range RecordedRange(int before, int after, int current) {
  Range r;
  r.first = std::max(before, 0);
  r.count = std::min(after, current) - r.first;
  if (after == before || r.count < 0) r.count = 0;
  return r;
}

uint8_t* Bytes(void* p) { return static_cast<uint8_t*>(p); }

}  // namespace

glm::vec4 NormalizeVec4(const glm::vec4& v) { return v / std::sqrt(glm::dot(v, v)); }

ClassDesc* fxVectorDeformWave::GetClassDesc() {
  static ClassDesc desc("fxVectorDeformWave", fxBase::GetClassDesc(), &fxVectorDeformWave::Create);
  return &desc;
}

fxBase* fxVectorDeformWave::Create(ClassDesc* desc) { return CreateZeroFilled<fxVectorDeformWave>(desc); }

ClassDesc* fxVectorDeformWave::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrString, "Source", RV_OFFSETOF(fxVectorDeformWave, m_source));
  desc->AddAttribute(AttrBool, "ZoneAttached", RV_OFFSETOF(fxVectorDeformWave, m_zoneAttached));
  desc->AddAttribute(AttrVec3, "ZonePos", RV_OFFSETOF(fxVectorDeformWave, m_zonePos));
  desc->AddAttribute(AttrVec3, "ZoneSize", RV_OFFSETOF(fxVectorDeformWave, m_zoneSize))->SetRange(0.001f, 5.0f);
  desc->AddAttribute(AttrVec3, "WaveDir", RV_OFFSETOF(fxVectorDeformWave, m_waveDir))->SetRange(-1.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "WavePeriod1", RV_OFFSETOF(fxVectorDeformWave, m_wavePeriod1))->SetRange(0.0f, 10.0f);
  desc->AddAttribute(AttrFloat, "WavePeriod2", RV_OFFSETOF(fxVectorDeformWave, m_wavePeriod2))->SetRange(0.0f, 10.0f);
  desc->AddAttribute(AttrVec2, "WaveMinMax", RV_OFFSETOF(fxVectorDeformWave, m_waveMinMax))->SetRange(-1.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "WavePhase", RV_OFFSETOF(fxVectorDeformWave, m_wavePhase))->SetRange(-5.0f, 5.0f);
  desc->AddAttribute(AttrBool, "Debug", RV_OFFSETOF(fxVectorDeformWave, m_debug));
  return desc;
}

fxVectorDeformWave::fxVectorDeformWave(ClassDesc* desc)
    : fxBase(desc),
      m_sourceRoot(nullptr),
      m_zonePos(0.0f),
      m_zoneSize(0.5f),
      m_waveDir(0.0f),
      m_waveMinMax(-0.1f, 0.1f),
      m_wavePeriod1(1.0f),
      m_wavePeriod2(1.0f),
      m_wavePhase(0.0f),
      m_fade(0.0f),
      m_zoneAttached(false),
      m_debug(false),
      m_zoneCentre(0.0f),
      m_zoneAxes(1.0f),
      m_unitDir(0.0f),
      m_time(0.0f) {}

void fxVectorDeformWave::Init() {
  m_sourceRoot = nullptr;
  if (!m_source.empty() && m_owner) {
    fxBase* source = m_owner->FindItem(m_source);
    if (source) m_sourceRoot = source->GetShapesAtTime(-1.0f);
  }
  if (!m_sourceRoot)
    AppLog::Get().AddLog("[fxVectorDeformWave] VectorScene not found for fx \"%s\"", m_source.c_str());
}

bool fxVectorDeformWave::PrepareFrame(float fade, float time) {
  if (!(m_zoneSize.x > 0.0f && m_zoneSize.y > 0.0f && m_zoneSize.z > 0.0f)) return false;
  const float length = glm::length(m_waveDir);
  if (!(length > 0.0001f)) return false;
  m_unitDir = m_waveDir / length;
  m_fade = fade;
  m_time = time;
  m_zoneAxes = glm::mat3(1.0f);
  m_zoneCentre = m_zonePos;
  if (m_zoneAttached && m_sourceRoot) {
    const rvTransform* t = m_sourceRoot->DrawTransform();
    const glm::mat4 m = t ? t->matrix : glm::mat4(1.0f);
    // Normalised columns: the zone turns with the source but keeps its size.
    for (int c = 0; c < 3; ++c) m_zoneAxes[c] = glm::vec3(NormalizeVec4(m[c]));
    m_zoneCentre = m_zoneAxes * m_zonePos + glm::vec3(m[3]);
    m_unitDir = m_zoneAxes * m_unitDir;
  }
  return true;
}

void fxVectorDeformWave::Update() {
  VectorGeometry* geometry = CurrentVectorGeometry();
  if (!m_sourceRoot || !geometry) return;
  if (!PrepareFrame(GetFadeFactor(), m_localTime)) return;
  // Counts from a draw into another display, or before its last clear,
  // would point at other effects' geometry.
  if (!m_sourceRoot->CountsAreCurrent(*geometry)) return;
  DeformSource(*geometry);
}

void fxVectorDeformWave::DeformSource(VectorGeometry& g) const {
  const VectorCounts& b = m_sourceRoot->m_countsBefore;
  const VectorCounts& a = m_sourceRoot->m_countsAfter;
  const Range points = RecordedRange(b.points, a.points, g.m_points.count);
  if (points.count) DeformRange(Bytes(g.m_points.data() + points.first), 0, kVertexStride, points.count);
  const Range lines = RecordedRange(b.lineVertices, a.lineVertices, g.m_lines.count);
  if (lines.count) DeformRange(Bytes(g.m_lines.data() + lines.first), 0, kVertexStride, lines.count);
  const Range triangles = RecordedRange(b.triangles, a.triangles, g.m_triangles.count);
  if (triangles.count)
    DeformRange(Bytes(g.m_triangles.data() + triangles.first), 0, kVertexStride, 3 * triangles.count);
  const Range quads = RecordedRange(b.quads, a.quads, g.m_quads.count);
  for (int v = 0; v < 6 && quads.count; ++v)
    DeformRange(Bytes(g.m_quads.data() + quads.first), v * kVertexStride, kQuadStride, quads.count);
}

void fxVectorDeformWave::DeformRange(uint8_t* records, int offset, int stride, int count) const {
  const float amplitude = std::fabs(m_waveMinMax.y - m_waveMinMax.x) / 2.0f;
  const float middle = (m_waveMinMax.x + m_waveMinMax.y) / 2.0f;
  for (int k = 0; k < count; ++k) {
    uint8_t* at = records + offset + size_t(k) * size_t(stride);
    glm::vec3 p;
    std::memcpy(&p, at, sizeof p);
    glm::vec3 q;
    if (m_zoneAttached) {
      const glm::vec3 d = p - m_zoneCentre;
      q = glm::vec3(glm::dot(d, m_zoneAxes[0]), glm::dot(d, m_zoneAxes[1]), glm::dot(d, m_zoneAxes[2])) / m_zoneSize;
    } else {
      q = (p - m_zonePos) / m_zoneSize;
    }
    const float r = q.x * q.x + q.y * q.y + q.z * q.z;
    if (!(r < 1.0f)) continue;
    const float w = std::sin(r * m_wavePeriod2 + m_time * m_wavePeriod1 + m_wavePhase);
    const float s = (w * amplitude + middle) * (1.0f - r) * m_fade;
    p += m_unitDir * s;
    std::memcpy(at, &p, sizeof p);
  }
}
