// fxText. See fxText.h.
//
// [SECTION] Class description and attributes
// [SECTION] Font and geometry
// [SECTION] Life cycle and drawing
#include "effects/vector/fxText.h"

#include "Loader/DataPack.h"

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxText::GetClassDesc() {
  static ClassDesc desc("fxText", fxBase::GetClassDesc(), &fxText::Create);
  return &desc;
}

fxBase* fxText::Create(ClassDesc* desc) { return CreateZeroFilled<fxText>(desc); }

ClassDesc* fxText::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrFile, "Font", RV_OFFSETOF(fxText, m_font))->SetFileFilter(".ttf")->SetDefaultDir("Data");
  desc->AddAttribute(AttrString, "Text", RV_OFFSETOF(fxText, m_text));
  desc->AddAttribute(AttrFile, "TextFile", RV_OFFSETOF(fxText, m_textFile))
      ->SetFileFilter(".txt")
      ->SetDefaultDir("Data");
  desc->AddAttribute(AttrTransform3D, "Transform", RV_OFFSETOF(fxText, m_transform));
  desc->AddAttribute(AttrFloat, "StartChar", RV_OFFSETOF(fxText, m_startChar))->SetRange(0.0f, 40.0f);
  desc->AddAttribute(AttrFloat, "EndChar", RV_OFFSETOF(fxText, m_endChar))->SetRange(0.0f, 40.0f);
  desc->AddAttribute(AttrFloat, "LOD Epsilon", RV_OFFSETOF(fxText, m_lodEpsilon))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Size", RV_OFFSETOF(fxText, m_style.size))->SetRange(0.0f, 40.0f);
  desc->AddAttribute(AttrFloat, "Scale", RV_OFFSETOF(fxText, m_style.scale))->SetRange(0.05f, 3.0f);
  desc->AddAttribute(AttrFloat, "Dot Size", RV_OFFSETOF(fxText, m_style.dotSize))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Thickness", RV_OFFSETOF(fxText, m_thickness))->SetRange(0.0f, 1.5f);
  desc->AddAttribute(AttrRGBA, "Color", RV_OFFSETOF(fxText, m_color));
  desc->AddAttribute(AttrBool, "Render Dot", RV_OFFSETOF(fxText, m_style.renderDot));
  desc->AddAttribute(AttrBool, "Render Outline", RV_OFFSETOF(fxText, m_style.renderOutline));
  desc->AddAttribute(AttrBool, "Render Lines", RV_OFFSETOF(fxText, m_style.renderLines));
  desc->AddAttribute(AttrBool, "Render Simplex", RV_OFFSETOF(fxText, m_renderSimplex));
  return desc;
}

fxText::fxText(ClassDesc* desc)
    : fxBase(desc),
      m_color(0.0f, 0.5f, 1.0f, 1.0f),
      m_thickness(0.35f),
      m_font("Font/Dozirevev.ttf"),
      m_builtOutline(true),
      m_builtDot(false),
      m_builtLines(false),
      m_builtSize(0.0f),
      m_startChar(0.0f),
      m_endChar(-1.0f),
      m_lodEpsilon(0.1f),
      m_text("Hello World !\nWhat's up ?"),
      m_renderSimplex(false),
      m_resolvedFont(nullptr),
      m_rebuild(true) {
  m_style.size = 20.0f;
  m_style.scale = 1.0f;
  m_style.dotSize = 0.1f;
  m_style.renderOutline = true;
  m_style.renderDot = false;
  m_style.renderLines = false;
  m_shapeRoot = &m_root;
}

fxText::~fxText() {
  m_shapeRoot = nullptr;
  m_root.Destroy();
}

void fxText::OnAttributeEdited(AttributeDesc* attribute) {
  if (attribute && attribute->m_name == "Font") m_resolvedFontName.clear();
}

//-----------------------------------------------------------------------------
// [SECTION] Font and geometry
//-----------------------------------------------------------------------------

void fxText::ResolveFont() {
  if (m_renderSimplex) {
    m_resolvedFont = GetFontCache().m_fonts.front();
    m_resolvedFontName.clear();
  } else {
    m_resolvedFont = FindOrLoadFont(GetFontCache(), m_font);
    if (m_resolvedFont) m_resolvedFontName = m_resolvedFont->m_key;
  }
  m_rebuild = true;
}

void fxText::RebuildGeometry() {
  const bool sameFlags = m_style.renderOutline == m_builtOutline && m_style.renderDot == m_builtDot &&
                         m_style.renderLines == m_builtLines;
  if (!m_rebuild && sameFlags && m_style.size == m_builtSize && m_lodEpsilon == m_root.m_simplifyEpsilon) return;

  m_root.Clear();
  if (m_resolvedFont) {
    m_resolvedFont->BuildText(m_style, &m_root, &m_color[0]);
    m_root.SetTransform(&m_transform);
    // The frame's tree walk has already run when a rebuild happens inside
    // Update; without this the new tree would draw one frame untransformed.
    m_transform.Update();
    m_root.SetThicknessSource(&m_thickness);
    m_root.Simplify(m_lodEpsilon);
  }
  m_builtOutline = m_style.renderOutline;
  m_builtDot = m_style.renderDot;
  m_builtLines = m_style.renderLines;
  m_builtSize = m_style.size;
  m_rebuild = false;
}

//-----------------------------------------------------------------------------
// [SECTION] Life cycle and drawing
//-----------------------------------------------------------------------------

void fxText::Init() {
  ResolveFont();
  int size = 0;
  FileBuffer contents = DataPack::Get().ReadFile(m_textFile, size);
  if (contents) {
    m_style.text.assign(contents.get(), static_cast<size_t>(size));
    m_text.clear();
  } else {
    m_style.text = m_text;
  }
  RebuildGeometry();
}

void fxText::Update() {
  if (m_resolvedFont) {
    const bool builtIn = m_resolvedFont->m_builtIn != 0;
    if (m_renderSimplex != builtIn || (!builtIn && m_resolvedFontName != m_resolvedFont->m_key)) ResolveFont();
  } else {
    // A font missing from the pack is looked up again every frame.
    ResolveFont();
  }
  if (m_style.size <= 0.0f || !m_resolvedFont) return;

  // The whole text is compared, not only its length: an edit to a text of
  // the same length must show too.
  if (m_textFile.empty() && m_style.text != m_text) {
    m_style.text = m_text;
    m_rebuild = true;
  }
  RebuildGeometry();

  const glm::vec4 color = m_color * GetFadeFactor();
  const float end = m_endChar < 0.0f ? static_cast<float>(m_root.m_children.size()) : m_endChar;
  m_root.SetColor(color);
  m_root.DrawPartial(m_startChar, end);
}
