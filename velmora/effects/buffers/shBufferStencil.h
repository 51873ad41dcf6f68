// shBufferStencil: the range pass of fxBufferStencil. Reads the current
// target's colour (unit 0) and depth (unit 1) and keeps the fragments whose
// colour channels and depth lie in the given ranges; the stencil state of the
// caller turns every kept fragment into a stencil write. A channel whose
// lower bound exceeds its upper bound does not restrict, nor does a depth
// range with Depthi > Depthf. Two process-wide instances: one that also
// tests the depth range and one that reads the colour only.
// Depends on the 2D program (render/rvProgram.h) and the current render
// target; owns its GL program, which lives until the process ends.
#pragma once
#include "render/rvProgram.h"

class shBufferStencil : public rvProgram2D {
 public:
  // `depthRange` builds the depth read and test into the program.
  explicit shBufferStencil(bool depthRange);
  void Build() override;
  void Bind() override;
  void Unbind() override;

  // Uploads the four bounds at their locations.
  void UploadRanges() const;

  int m_colorILocation = -1;
  float m_colorI[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  int m_colorFLocation = -1;
  float m_colorF[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  int m_depthILocation = -1;
  float m_depthI = 1.0f;
  int m_depthFLocation = -1;
  float m_depthF = 0.0f;
  int m_textureColorLocation = -1;
  int m_textureColorUnit = 0;
  int m_textureDepthLocation = -1;
  int m_textureDepthUnit = 1;
};

// The instance for a pass with (Depthi <= Depthf) or without a depth range.
shBufferStencil& BufferStencilProgram(bool depthRange);
