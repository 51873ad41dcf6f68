// fxPostVHS: a video-tape look over the current target: barrel screen
// distortion, vertical and horizontal jumps, wobble, noise lines, white
// stripes, horizontal bands, grain, a vignette and a monochrome tint whose
// colour is the demo-wide MonochromeColor.
//
// A feature whose amount is 0 (at most 1e-4) is compiled out through an
// ENABLE_* program constant instead of being tested per pixel: switching
// one on or off rebuilds the program at the next bind.
//
// Depends on the shared post pass (fxPostPass.h) and the demo-wide
// parameters. Owns its program; every instance samples one process-wide
// noise image, "img/Shadertoy/RGBANoiseMedium256.png". Main thread only.
#pragma once
#include <array>

#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "effects/post/fxPostPass.h"

// One compile-time switch of the tape pass.
struct VhsSwitch {
  const char* name;
  int value;
};

class shPostVHS : public shPostRegionPass {
 public:
  static constexpr int kFloatCount = 22;
  enum Amount {  // indices into m_floats, in upload order
    ScreenDistortion, Vignette, VignetteAperture, VignetteOscillation, Monochrome, Noise, NoiseScale,
    HblLines, HblLinesHeight, HblLinesSpeed, JumpVertical, JumpVerticalFreq, JumpHorizontal,
    JumpHorizontalFreq, WhiteLines, WhiteLinesStart, WhiteLinesEnd, WhiteLinesHeight, NoiseLines,
    NoiseLinesFreq, Wobble, WobbleBand,
  };

  shPostVHS();
  void Build() override;
  // Sets the feature switches, copies the target and binds it on unit 0 with
  // the noise on unit 1, the whole target as region, then uploads.
  void Bind() override;
  void Unbind() override;

  // The nine switches, in the order they are set: 1 where the feature's
  // amount exceeds 1e-4 (the jumps: either of their two amounts).
  std::array<VhsSwitch, 9> FeatureSwitches() const;

  PassUniform<int> m_channel0;  // unit 0
  PassUniform<int> m_channel1;  // unit 1
  PassUniform<float> m_floats[kFloatCount];
  PassUniform<glm::vec4> m_monochromeColor;

 private:
  void UploadAll() const;
};

class fxPostVHS : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxPostVHS(ClassDesc* desc);
  ~fxPostVHS() override;

  void Update() override;

  shPostVHS m_program;
};
