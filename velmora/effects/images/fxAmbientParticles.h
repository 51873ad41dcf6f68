// fxAmbientParticles: a procedural field of floating particles computed on
// the GPU: several depth layers of a jittered grid, one particle of a chosen
// shape per cell, coloured between two colours and slowly wobbling,
// darkened outside an optional screen-space spotlight. The field follows
// the current render target's camera: the camera's motion (and a constant
// drift) accumulates into a field offset, so the particles seem to stay put
// in space while the camera moves through them.
//
// Most pixels of a layer hold no particle, so the field is drawn as one
// square per particle, layer after layer, adding into a float target, then
// that sum is drawn over the current target in one pass; the debug views
// and very fine grids are drawn per pixel over the whole target instead.
// Both give the same pixels.
//
// Depends on the 2D program (render/rvProgram.h), framebuffers, the render
// targets' camera matrices and the shared blend modes. Owns its programs,
// the float target and the squares' vertex array; no particle lives on the
// CPU. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <vector>

#include "sequence/fxBase.h"
#include "render/rvProgram.h"

struct Framebuffer;

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
  // What the program draws: 0 the whole field per pixel; 1 one square per
  // particle of layer LAYER (instances in rows of COLUMNS), adding its
  // colour into a float target; 2 that float target (FIELD_SUM) faded.
  int m_pass = 0;
  // The program whose values (and shape) this one draws with; null: its own.
  const shAmbientParticles* m_valuesFrom = nullptr;
  int m_layerLocation = -1;
  int m_columnsLocation = -1;
  int m_sumLocation = -1;

 private:
  const shAmbientParticles& Values() const;
  void UploadAll() const;
};

// The field's stage texts (engine form, expecting the CONST_FIELD_PASS and
// CONST_PARTICLE_SHAPE constants), for programs that draw the field outside
// the effect.
const char* AmbientFieldVertex();
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
  shAmbientParticles m_program;  // the whole field per pixel; holds the values
  bool m_enabled;
  bool m_debugLight;
  bool m_debugGrid;
  // Off: the field is always drawn per pixel (the reference the particle
  // squares are compared with).
  bool m_particleSquares;
  shAmbientParticles m_squareProgram;
  shAmbientParticles m_sumProgram;
  Framebuffer* m_sum;  // the particles' float sum, the size of the viewport
  GLuint m_squareArray;

 private:
  // The instances of each layer's squares (columns, rows), or false when
  // the per-pixel field is the one to draw: a debug view, nothing to draw,
  // or more squares than the per-pixel pass is worth.
  bool SquareGrid(int width, int height, std::vector<glm::ivec2>& grid) const;
  // Draws the particles of every layer into m_sum, cleared first; the
  // framebuffer and viewport are put back.
  void AddParticles(const std::vector<glm::ivec2>& grid, const GLint viewport[4]);
};
