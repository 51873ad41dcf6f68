// The two sample shader effects: fxBasicShader2d fills the current target
// with shBasicShader2d's swirl, blended over what is there; fxBasicShader3d
// draws a 20-unit cube around the origin with the wire-frame program
// shBasicShader3d through the current target's camera.
//
// Depends on the sample programs (shBasicShader.h). Each owns its program;
// fxBasicShader3d also owns a vertex buffer and, because the core profile
// draws nothing without one, a vertex array, both from Init to Kill. Main
// thread only.
#pragma once
#include <glad/gl.h>

#include "sequence/fxBase.h"
#include "effects/shaders/shBasicShader.h"

class fxBasicShader2d : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);

  explicit fxBasicShader2d(ClassDesc* desc);
  ~fxBasicShader2d() override;

  void Update() override;

  shBasicShader2d m_program;
};

class fxBasicShader3d : public fxBase {
 public:
  static constexpr int kCubeVertexCount = 36;

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);

  explicit fxBasicShader3d(ClassDesc* desc);
  ~fxBasicShader3d() override;

  void Init() override;
  void Kill() override;
  void Update() override;

  shBasicShader3d m_program;
  GLuint m_vertexBuffer;
  GLuint m_vertexArray;

 private:
  void ReleaseBuffers();
};

// The cube's 12 triangles, 36 corners of (x, y, z), every coordinate +-10.
extern const float g_basicCubeVertices[fxBasicShader3d::kCubeVertexCount * 3];
