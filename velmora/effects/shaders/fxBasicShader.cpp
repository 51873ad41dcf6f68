// The sample shader effects. See fxBasicShader.h.
#include "effects/shaders/fxBasicShader.h"

// ---------------------------------------------------------------------------
// fxBasicShader2d
// ---------------------------------------------------------------------------

ClassDesc* fxBasicShader2d::GetClassDesc() {
  static ClassDesc desc("fxBasicShader2d", fxBase::GetClassDesc(), &fxBasicShader2d::Create);
  return &desc;
}

fxBase* fxBasicShader2d::Create(ClassDesc* desc) { return CreateZeroFilled<fxBasicShader2d>(desc); }

fxBasicShader2d::fxBasicShader2d(ClassDesc* desc) : fxBase(desc) {}

fxBasicShader2d::~fxBasicShader2d() { m_program.Release(); }

void fxBasicShader2d::Update() {
  m_program.Bind();
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  m_program.DrawFull(0);
  // The 2D unbind puts back what its bind found, so blending goes off again
  // when it was off before.
  m_program.Unbind();
}

// ---------------------------------------------------------------------------
// fxBasicShader3d
// ---------------------------------------------------------------------------

#define P 10.0f
#define M -10.0f
const float g_basicCubeVertices[fxBasicShader3d::kCubeVertexCount * 3] = {
    M, M, M, M, M, P, M, P, P,  //
    P, P, M, M, M, M, M, P, M,  //
    P, M, P, M, M, M, P, M, M,  //
    P, P, M, P, M, M, M, M, M,  //
    M, M, M, M, P, P, M, P, M,  //
    P, M, P, M, M, P, M, M, M,  //
    M, P, P, M, M, P, P, M, P,  //
    P, P, P, P, M, M, P, P, M,  //
    P, M, M, P, P, P, P, M, P,  //
    P, P, P, P, P, M, M, P, M,  //
    P, P, P, M, P, M, M, P, P,  //
    P, P, P, M, P, P, P, M, P,  //
};
#undef P
#undef M

ClassDesc* fxBasicShader3d::GetClassDesc() {
  static ClassDesc desc("fxBasicShader3d", fxBase::GetClassDesc(), &fxBasicShader3d::Create);
  return &desc;
}

fxBase* fxBasicShader3d::Create(ClassDesc* desc) { return CreateZeroFilled<fxBasicShader3d>(desc); }

fxBasicShader3d::fxBasicShader3d(ClassDesc* desc) : fxBase(desc), m_vertexBuffer(0), m_vertexArray(0) {}

fxBasicShader3d::~fxBasicShader3d() {
  ReleaseBuffers();
  m_program.Release();
}

void fxBasicShader3d::ReleaseBuffers() {
  if (m_vertexBuffer != 0) glDeleteBuffers(1, &m_vertexBuffer);
  if (m_vertexArray != 0) glDeleteVertexArrays(1, &m_vertexArray);
  m_vertexBuffer = m_vertexArray = 0;
}

void fxBasicShader3d::Init() {
  ReleaseBuffers();
  glGenBuffers(1, &m_vertexBuffer);
  glGenVertexArrays(1, &m_vertexArray);
}

void fxBasicShader3d::Kill() { ReleaseBuffers(); }

void fxBasicShader3d::Update() {
  if (m_vertexArray == 0) return;
  m_program.Bind();
  glBindVertexArray(m_vertexArray);
  glEnableVertexAttribArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof g_basicCubeVertices, g_basicCubeVertices, GL_STATIC_DRAW);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  if (m_program.m_program != 0) glDrawArrays(GL_TRIANGLES, 0, kCubeVertexCount);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDisableVertexAttribArray(0);
  glBindVertexArray(0);
  m_program.Unbind();
}
