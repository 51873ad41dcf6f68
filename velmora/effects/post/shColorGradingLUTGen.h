// shColorGradingLUTGen: the compute program that fills the colour-grading
// lookup table, 32 x 32 x 32 RGBA32F cells, from lift, gamma, gain,
// brightness, contrast and saturation. fxPostColorGradingAA owns one and
// asks for a new table every frame; the table is only recomputed when a
// grading value or the luma profile changed since the last one.
//
// Owns its GL program; the table texture belongs to the effect. Main thread
// only.
#pragma once
#include <glad/gl.h>

#include <cstdint>

#include "effects/post/fxPostPass.h"
#include "render/rvProgram.h"

// A grading value with the value the current table was made from.
struct GradingUniform {
  int m_location = -1;
  float m_value = 0.0f;
  float m_lastUsed = -1.0f;
};

class shColorGradingLUTGen : public rvProgram {
 public:
  static constexpr int kLutSize = 32;

  shColorGradingLUTGen();
  void Build() override;
  // Recomputes `lut` when `dirty` is on or a grading value moved since the
  // last table (which turns `dirty` on), then turns `dirty` off. Logs
  // "[shColorGradingLUTGen] recalculating LUT" once per table. True while
  // the table holds values made by this program; false when the program
  // does not build, so the pass can leave grading out.
  bool GenerateLut(GLuint lut, int lumaProfile, uint8_t& dirty);

  GradingUniform m_lift, m_gamma, m_gain, m_brightness, m_contrast, m_saturation;
  int m_invSaturationLocation = -1;
  uint8_t m_invSaturation = 0;
  uint8_t m_invSaturationLastUsed = 0;
  PassUniform<int> m_lumaProfile;

 private:
  // Brings every last-used value up to date; true when any moved.
  bool TakeChanges();
  void Upload() const;

  bool m_buildFailed = false;
  bool m_tableFilled = false;
};
