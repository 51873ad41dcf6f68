// fxMorph. See fxMorph.h.
//
// [SECTION] Class description and attributes
// [SECTION] Life cycle and drawing
#include "effects/vector/fxMorph.h"

#include "render/VectorGeometry.h"
#include "sequence/rvSequence.h"

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxMorph::GetClassDesc() {
  static ClassDesc desc("fxMorph", fxBase::GetClassDesc(), &fxMorph::Create);
  return &desc;
}

fxBase* fxMorph::Create(ClassDesc* desc) { return CreateZeroFilled<fxMorph>(desc); }

ClassDesc* fxMorph::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrBool, "FadeInMorph", RV_OFFSETOF(fxMorph, m_fadeInMorph));
  desc->AddAttribute(AttrBool, "FadeInColor", RV_OFFSETOF(fxMorph, m_fadeInColor));
  desc->AddAttribute(AttrBool, "FadeOutMorph", RV_OFFSETOF(fxMorph, m_fadeOutMorph));
  desc->AddAttribute(AttrBool, "FadeOutColor", RV_OFFSETOF(fxMorph, m_fadeOutColor));
  desc->AddAttribute(AttrFloat, "UserMorph", RV_OFFSETOF(fxMorph, m_userMorph))->SetRange(0.0f, 1.0f);
  const struct {
    const char* prefix;
    int fx, svg, pos, size, rot, center;
  } sides[] = {
      {"Source/", RV_OFFSETOF(fxMorph, m_sourceFx), RV_OFFSETOF(fxMorph, m_sourceSvg),
       RV_OFFSETOF(fxMorph, m_sourcePos), RV_OFFSETOF(fxMorph, m_sourceSize), RV_OFFSETOF(fxMorph, m_sourceRot),
       RV_OFFSETOF(fxMorph, m_sourceCenterSvg)},
      {"Destination/", RV_OFFSETOF(fxMorph, m_destinationFx), RV_OFFSETOF(fxMorph, m_destinationSvg),
       RV_OFFSETOF(fxMorph, m_destinationPos), RV_OFFSETOF(fxMorph, m_destinationSize),
       RV_OFFSETOF(fxMorph, m_destinationRot), RV_OFFSETOF(fxMorph, m_destinationCenterSvg)},
  };
  for (const auto& side : sides) {
    const std::string p = side.prefix;
    desc->AddAttribute(AttrString, p + "FX", side.fx);
    desc->AddAttribute(AttrFile, p + "SVG", side.svg)->SetFileFilter(".svg")->SetDefaultDir("Data");
    desc->AddAttribute(AttrVec2, p + "Pos", side.pos)->SetRange(-100.0f, 100.0f);
    desc->AddAttribute(AttrFloat, p + "Size", side.size)->SetRange(0.0f, 10.0f);
    desc->AddAttribute(AttrFloat, p + "Rot", side.rot);
    desc->AddAttribute(AttrBool, p + "CenterSVG", side.center);
  }
  desc->AddAttribute(AttrFloat, "Style/Thickness", RV_OFFSETOF(fxMorph, m_thickness))->SetRange(0.0f, 5.0f);
  desc->AddAttribute(AttrRGBA, "Style/Color", RV_OFFSETOF(fxMorph, m_color))->SetRange(0.0f, 1.0f);
  return desc;
}

fxMorph::fxMorph(ClassDesc* desc)
    : fxBase(desc),
      m_sourceSvg("svg/custom/head.svg"),
      m_destinationSvg("svg/Vectrex_2_logo_v1.svg"),
      m_fadeInMorph(true),
      m_fadeInColor(false),
      m_fadeOutMorph(true),
      m_fadeOutColor(false),
      m_userMorph(1.0f),
      m_thickness(0.2f),
      m_color(1.0f),
      m_sourcePos(0.0f),
      m_destinationPos(0.0f),
      m_sourceSize(1.0f),
      m_destinationSize(1.0f),
      m_sourceRot(0.0f),
      m_destinationRot(0.0f),
      m_sourceCenterSvg(true),
      m_destinationCenterSvg(true) {}

fxMorph::~fxMorph() { m_morph.Clear(); }

//-----------------------------------------------------------------------------
// [SECTION] Life cycle and drawing
//-----------------------------------------------------------------------------

bool fxMorph::BuildSide(MorphSide side, const std::string& fxName, const std::string& svg, const glm::vec2& pos,
                        float size) {
  fxBase* source = m_owner && !fxName.empty() ? m_owner->FindItem(fxName) : nullptr;
  return m_morph.CaptureFromFx(side, source) || m_morph.LoadFromSvg(side, svg, pos, size);
}

void fxMorph::Init() {
  if (!BuildSide(kMorphSource, m_sourceFx, m_sourceSvg, m_sourcePos, m_sourceSize)) return;
  if (!BuildSide(kMorphDestination, m_destinationFx, m_destinationSvg, m_destinationPos, m_destinationSize)) return;
  m_morph.m_pairs.clear();
  m_morph.m_pairCount = 0;
  if (m_morph.m_source.m_edgeCount > 0 && m_morph.m_destination.m_edgeCount > 0) m_morph.PairEdges();
}

void fxMorph::Kill() { m_morph.Clear(); }

bool fxMorph::InFadeIn() const { return m_fadeIn != 0.0f && m_fadeIn > m_localTime; }

bool fxMorph::InFadeOut() const {
  const float duration = static_cast<float>(m_end - m_start) / 60.0f;
  return m_fadeOut != 0.0f && m_localTime > duration - m_fadeOut;
}

float fxMorph::ColorFactor() const {
  const bool follows = (InFadeIn() && m_fadeInColor) || (InFadeOut() && m_fadeOutColor);
  return follows ? GetFadeFactor() : 1.0f;
}

float fxMorph::MorphFactor() const {
  const bool follows = (InFadeIn() && m_fadeInMorph) || (InFadeOut() && m_fadeOutMorph);
  if (!follows) return m_userMorph;
  const float f = GetFadeFactor();
  return (3.0f - 2.0f * f) * f * f * m_userMorph;
}

void fxMorph::Update() {
  VectorGeometry* display = CurrentVectorGeometry();
  if (!display) return;
  const float cf = ColorFactor();
  display->m_settings.currentColor = glm::vec4(m_color.r * cf, m_color.g * cf, m_color.b * cf, 1.0f);
  if (m_thickness > 0.0f) display->m_settings.currentThickness = m_thickness;
  m_morph.Draw(*display, MorphFactor(), m_sourcePos, m_sourceSize, m_destinationPos, m_destinationSize, m_sourceRot,
               m_destinationRot);
}
