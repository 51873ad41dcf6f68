// The two sample programs. shBasicShader2d fills a target with an animated
// two-colour swirl (the sample of a 2D pass); shBasicShader3d is the
// wire-frame 3D program every mesh effect draws with: a geometry stage
// measures each fragment's distance to its triangle's edges in screen space,
// so edges glow in LINE_COLOR over faces in FILL_COLOR. A larger LINE_BOLD
// gives thinner lines.
//
// Depends on the program classes (render/rvProgram.h), which own the GL
// program; the stage texts are built in. Main thread only.
#pragma once
#include "render/rvProgram.h"

class shBasicShader2d : public rvProgram2D {
 public:
  void Build() override;
  void Bind() override;

  int m_backColorLocation = -1;
  float m_backColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  int m_frontColorLocation = -1;
  float m_frontColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};

 private:
  void UploadColors() const;
};

class shBasicShader3d : public rvProgram3D {
 public:
  shBasicShader3d();
  void Build() override;
  void Bind() override;

  int m_lineBoldLocation = -1;
  float m_lineBold = 5.0f;
  int m_lineColorLocation = -1;
  float m_lineColor[3] = {1.0f, 1.0f, 1.0f};
  int m_fillColorLocation = -1;
  float m_fillColor[3] = {0.0f, 0.0f, 0.0f};

 private:
  void UploadStyle() const;
};

// Built-in stage texts, shared with the tests that compile every shipped
// shader.
extern const char* const g_basicShader2dFragment;
extern const char* const g_basicShader3dVertex;
extern const char* const g_basicShader3dGeometry;
extern const char* const g_basicShader3dFragment;
