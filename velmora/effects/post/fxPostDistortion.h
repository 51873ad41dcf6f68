// fxPostDistortion: a ripple over the current target. From BumpStart
// (seconds of the effect's clock) a wave front spreads from Position at
// BumpSpeed / BumpPeriod units per second; each pixel it reaches swings
// between the two BumpHeights, bending the picture like a water surface and
// optionally brightening or darkening with the wave, the swing dying out
// with distance and time. Red marks the range disc with BumpDebug.
//
// Depends on the shared post pass (fxPostPass.h). Owns its program, built
// by every Init. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "effects/post/fxPostPass.h"

class shPostDistortion : public shPostRegionPass {
 public:
  shPostDistortion();
  void Build() override;
  // Copies the target and binds it on unit 0, the whole target as region,
  // then uploads the ripple.
  void Bind() override;

  PassUniform<int> m_channel0;  // unit 0
  PassUniform<glm::vec2> m_position;
  PassUniform<glm::vec2> m_bumpHeights;
  PassUniform<float> m_bumpRangeRadius;
  PassUniform<float> m_bumpRangeRamp;
  PassUniform<float> m_bumpPeriod;
  PassUniform<float> m_bumpSpeed;
  PassUniform<float> m_bumpAttenuation;
  PassUniform<float> m_bumpStart;
  PassUniform<float> m_bumpColor;
  PassUniform<bool> m_bumpDebug;

 private:
  void UploadAll() const;
};

class fxPostDistortion : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxPostDistortion(ClassDesc* desc);
  ~fxPostDistortion() override;

  void Init() override;
  void Update() override;

  shPostDistortion m_program;
};
