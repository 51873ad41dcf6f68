// fxObjPacman: a cartoon figure drawn as vector strokes every frame, the
// round Pac-Man with a chomping mouth and one eye, or the ghost with a
// rippling skirt and two eyes; each eye a small circle with a pupil dot that
// looks left or right. Placed by a 3D transform, coloured with the effect's
// fade.
//
// Depends on the effect base, the transforms and the current vector
// display's geometry. Owns no geometry: everything is appended to the
// display in Update. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "core/rvTransform.h"

class VectorGeometry;

class fxObjPacman : public fxBase {
 public:
  enum Object { ObjectPacman = 0, ObjectGhost = 1 };

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxObjPacman(ClassDesc* desc);

  void Init() override;
  void Update() override;

  // The figure's strokes into out (figure units: radius 1 around the origin,
  // z = 0), through the transform's matrix.
  void DrawObject(VectorGeometry& out) const;
  void DrawEye(VectorGeometry& out, float x, float y) const;

  // The arc step the loops use: StepAngle, no smaller than kMinStepAngle; 0
  // (or a value that is not a number) when there is no usable step, and the
  // arcs then join their end points without points between.
  float ArcStep() const;
  static constexpr float kMinStepAngle = 0.1f;

  rvTransform3D m_transform;
  float m_thickness;
  glm::vec3 m_color;
  int m_object;
  float m_animate;
  float m_eyeDir;
  float m_eyeScl;
  float m_stepAngle;
  float m_animTime;
};
