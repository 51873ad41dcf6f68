// fxAmbientParticles: a procedural field of floating particles drawn in one
// full-target fragment pass: several depth layers of a jittered grid, one
// particle of a chosen shape per cell, coloured between two colours and
// slowly wobbling, darkened outside an optional screen-space spotlight. The
// field follows the current render target's camera: the camera's motion
// (and a constant drift) accumulates into a field offset, so the particles
// seem to stay put in space while the camera moves through them.
//
// Depends on the 2D program (render/rvProgram.h), the render targets'
// camera matrices and the shared blend modes. Owns its program; no particle
// lives on the CPU. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "render/rvProgram.h"

// A uniform of the program with the value it gets at every bind; -1 until
// the program is built.
template <class T>
struct CachedUniform {
  int location = -1;
  T value{};
};

class shAmbientParticles : public rvProgram2D {
 public:
  void Build() override;
  void Bind() override;

  CachedUniform<int> m_seed;
  CachedUniform<float> m_fade;
  CachedUniform<int> m_enabled;
  CachedUniform<glm::vec4> m_color0;
  CachedUniform<glm::vec4> m_color1;
  CachedUniform<glm::vec3> m_globalMotion;
  CachedUniform<float> m_blur;
  CachedUniform<float> m_noiseMotion;
  CachedUniform<int> m_density;
  CachedUniform<float> m_scale;
  CachedUniform<float> m_size;
  CachedUniform<float> m_depthScale;
  CachedUniform<float> m_depthAlpha;
  CachedUniform<float> m_spotlight;
  CachedUniform<glm::vec2> m_lightPosXY;
  CachedUniform<float> m_lightRotZ;
  CachedUniform<float> m_lightAperture;
  CachedUniform<float> m_lightFallback;
  CachedUniform<float> m_lightDistance;
  CachedUniform<int> m_debugGrid;
  CachedUniform<int> m_debugSpotlight;
  CachedUniform<glm::vec3> m_cameraPosition;
  CachedUniform<glm::vec3> m_cameraRotation;
  int m_shape = 0;
  int m_builtShape = -1;  // the shape last set as the program constant

 private:
  void UploadAll() const;
};

// The field's fragment stage text (engine form, expecting the
// CONST_PARTICLE_SHAPE constant), for programs that draw the field outside
// the effect.
const char* AmbientFieldFragment();

// The field's motion state: the tracked point ahead of the camera and the
// accumulated field offset.
struct FieldMotion {
  glm::vec3 tracked{0.0f};
  glm::vec3 offset{0.0f};
};

// The point `distance` units ahead of the camera whose inverse view matrix
// is given (the camera looks along minus its z column).
glm::vec3 TrackedPoint(const glm::mat4& invView, float distance);
// One frame: the tracked point's move, scaled per world axis by
// cameraMotionScale.xyz, and the drift over dt, both expressed in the
// camera's axes, added to the offset; the tracked point moves on.
FieldMotion MoveField(const FieldMotion& before, const glm::mat4& invView, const glm::vec4& cameraMotionScale,
                      const glm::vec3& globalMotion, float dt);

class fxAmbientParticles : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxAmbientParticles(ClassDesc* desc);
  ~fxAmbientParticles() override;

  void Init() override;
  void Update() override;

  glm::vec3 m_globalMotion;
  glm::vec4 m_cameraMotionScale;
  FieldMotion m_motion;
  bool m_useStencil;
  int m_blendMode;
  shAmbientParticles m_program;
  bool m_enabled;
  bool m_debugLight;
  bool m_debugGrid;
};
