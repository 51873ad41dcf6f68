// fxMorph: one line drawing morphing into another on the current vector
// display. Each side is taken from another effect's shape tree (Source/FX,
// Destination/FX, read once at Init) or else loaded from an SVG file; the
// sides are paired edge by edge at Init (ShapeMorph) and every frame each
// pair is drawn as one line moving from its source edge to its destination
// edge by the morph factor. Fades can drive the factor and the colour.
//
// Depends on ShapeMorph and the sequence (to find the source effects). Owns
// the morph data from Init to Kill. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <string>

#include "effects/vector/ShapeMorph.h"
#include "sequence/fxBase.h"

class fxMorph : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxMorph(ClassDesc* desc);
  ~fxMorph() override;

  void Init() override;
  void Kill() override;
  void Update() override;

  // The morph factor and the colour factor for this frame.
  float MorphFactor() const;
  float ColorFactor() const;

  ShapeMorph m_morph;
  std::string m_sourceFx;
  std::string m_destinationFx;
  std::string m_sourceSvg;
  std::string m_destinationSvg;
  bool m_fadeInMorph;
  bool m_fadeInColor;
  bool m_fadeOutMorph;
  bool m_fadeOutColor;
  float m_userMorph;
  float m_thickness;
  glm::vec4 m_color;
  glm::vec2 m_sourcePos;
  glm::vec2 m_destinationPos;
  float m_sourceSize;
  float m_destinationSize;
  float m_sourceRot;  // degrees
  float m_destinationRot;
  bool m_sourceCenterSvg;  // kept for the sequence files; an SVG side is always centred
  bool m_destinationCenterSvg;

 private:
  // Capture from the named effect, else load the file: false when neither
  // gives the side.
  bool BuildSide(MorphSide side, const std::string& fxName, const std::string& svg, const glm::vec2& pos,
                 float size);
  bool InFadeIn() const;
  bool InFadeOut() const;
};
