// fxPostColorGradingAA: the finishing colour pass of a target. In this
// order: a simplified FXAA, colour grading through a 32^3 lookup table
// (filled by shColorGradingLUTGen on the GPU, only when a grading value or
// the luma profile changes), tone mapping (off, "Reinhardt", ACES), gamma
// by luma profile, vignetting and blue-noise dithering; with all defaults
// only the gamma applies. The pass keeps the target's alpha.
//
// Depends on the shared post pass (fxPostPass.h). Owns its two programs and
// the lookup-table texture (made by Init, deleted by Kill). Every instance
// samples one process-wide blue-noise image,
// "img/Shadertoy/BlueNoise1024.png". Main thread only.
#pragma once
#include <glad/gl.h>

#include <cstdint>

#include "sequence/fxBase.h"
#include "effects/post/fxPostPass.h"
#include "effects/post/shColorGradingLUTGen.h"

class shPostColorGradingAA : public shPostPass {
 public:
  shPostColorGradingAA();
  ~shPostColorGradingAA() override;
  void Build() override;
  void Unbind() override;
  // Sets the step switches and the luma profile as program constants,
  // copies the target and binds it with the table on unit 1 and the blue
  // noise on unit 2, then uploads the remaining settings. A table of 0
  // leaves grading out.
  void BindPass(GLuint lut, bool showLut, int lumaProfile);

  PassUniform<int> m_framebuffer;      // unit 0
  PassUniform<int> m_colorGradingLut;  // unit 1
  PassUniform<int> m_blueNoise;        // unit 2
  PassUniform<float> m_ditherPow;
  PassUniform<float> m_vignettingPow;
  PassUniform<float> m_fxaaLumaThreshold;
  PassUniform<float> m_fxaaMulReduce;  // 2^-m_mulReduceExponent, set at bind
  PassUniform<float> m_fxaaMinReduce;  // 2^-m_minReduceExponent, set at bind
  PassUniform<int> m_fxaaMaxSpan;
  int m_mulReduceExponent;
  int m_minReduceExponent;
  // Every switch is a program constant, not a uniform: a software
  // rasteriser runs both sides of a uniform test with the results masked,
  // so a step that is off would still cost its full price (the gamma and
  // vignetting pow, the tone curves, the table view's 3D fetch). Toggling
  // one rebuilds the program at the next bind.
  bool m_applyAA;
  bool m_applyGrading;
  bool m_applyDither;
  bool m_applyGamma;
  bool m_applyVignetting;
  bool m_fxaaShowEdges;
  int m_tonemapProfile;  // 0 off, 1 "Reinhardt", 2 ACES

 private:
  void UploadAll() const;
};

class fxPostColorGradingAA : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxPostColorGradingAA(ClassDesc* desc);
  ~fxPostColorGradingAA() override;

  void Init() override;
  void Kill() override;
  void Update() override;

  shColorGradingLUTGen m_lutGen;
  shPostColorGradingAA m_pass;
  GLuint m_lut;       // 0 when none
  uint8_t m_lutDirty;  // on: the next Update fills the table
  bool m_showLut;
  int m_lumaProfile;
  int m_lastLumaProfile;  // -1 at creation

 private:
  void UnloadLut();
};
