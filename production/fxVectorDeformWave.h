// fxVectorDeformWave: bends another effect's vector geometry after that
// effect drew it. Inside an ellipsoid zone every vertex the source appended
// to the current vector display this frame is pushed along a direction by a
// sine wave of its normalised distance from the zone centre and of time,
// fading to nothing at the zone's surface. The zone can follow the source's
// transform (turning and moving with it, not scaled by it).
//
// Depends on the effect base, the sequence (to find the source), the shape
// tree's recorded counts and the display's geometry arrays. Borrows the
// source's shape root; keeps no state between frames. Must come after its
// source in the sequence, before the display is flushed. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <cstdint>
#include <string>

#include "sequence/fxBase.h"

class ShapeNode;
class VectorGeometry;

class fxVectorDeformWave : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxVectorDeformWave(ClassDesc* desc);

  void Init() override;
  void Update() override;

  // Deforms count positions (three floats each) found at records + offset +
  // k x stride, in place, with this frame's working values.
  void DeformRange(uint8_t* records, int offset, int stride, int count) const;
  // Sets the working values of a frame (zone axes and centre, direction,
  // fade, time); false when the zone or the direction is degenerate.
  bool PrepareFrame(float fade, float time);
  void DeformSource(VectorGeometry& geometry) const;

  std::string m_source;
  ShapeNode* m_sourceRoot;  // borrowed
  glm::vec3 m_zonePos;
  glm::vec3 m_zoneSize;
  glm::vec3 m_waveDir;
  glm::vec2 m_waveMinMax;
  float m_wavePeriod1;
  float m_wavePeriod2;
  float m_wavePhase;
  float m_fade;
  bool m_zoneAttached;
  bool m_debug;
  glm::vec3 m_zoneCentre;
  glm::mat3 m_zoneAxes;
  glm::vec3 m_unitDir;
  float m_time;
};

// v / |v| over four components.
glm::vec4 NormalizeVec4(const glm::vec4& v);
