// fxTextStash. See fxTextStash.h.
//
// [SECTION] Class description and attributes
// [SECTION] Life cycle and drawing
#include "effects/vector/fxTextStash.h"

#include <algorithm>
#include <cstdint>

#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"

namespace {

const char* const kAlignHNames[3] = {"Left", "Center", "Right"};
const char* const kAlignVNames[4] = {"Top", "Middle", "Bottom", "Baseline"};

// One colour channel as a byte: a driven value outside 0..1 must not spill
// into the neighbouring channel of the packed colour.
uint32_t ChannelByte(float v) {
  const float scaled = 255.0f * v;
  if (!(scaled > 0.0f)) return 0;  // NaN too
  return scaled >= 255.0f ? 255u : static_cast<uint32_t>(scaled);
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxTextStash::GetClassDesc() {
  static ClassDesc desc("fxTextStash", fxBase::GetClassDesc(), &fxTextStash::Create);
  return &desc;
}

fxBase* fxTextStash::Create(ClassDesc* desc) { return CreateZeroFilled<fxTextStash>(desc); }

ClassDesc* fxTextStash::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrString, "Text", RV_OFFSETOF(fxTextStash, m_text));
  desc->AddAttribute(AttrFile, "Font", RV_OFFSETOF(fxTextStash, m_font))
      ->SetFileFilter(".ttf")
      ->SetDefaultDir("Data/font");
  desc->AddAttribute(AttrVec2, "Pos", RV_OFFSETOF(fxTextStash, m_pos))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Size", RV_OFFSETOF(fxTextStash, m_size))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrRGBA, "Color", RV_OFFSETOF(fxTextStash, m_color));
  desc->AddAttribute(AttrInt, "Dpi", RV_OFFSETOF(fxTextStash, m_dpi));
  desc->AddAttribute(AttrEnum, "AlignH", RV_OFFSETOF(fxTextStash, m_alignH))->SetEnumNames(kAlignHNames, 3);
  desc->AddAttribute(AttrEnum, "AlignV", RV_OFFSETOF(fxTextStash, m_alignV))->SetEnumNames(kAlignVNames, 4);
  desc->AddAttribute(AttrFloat, "Glow", RV_OFFSETOF(fxTextStash, m_glow))->SetRange(0.0f, 1.0f);
  return desc;
}

fxTextStash::fxTextStash(ClassDesc* desc)
    : fxBase(desc),
      m_font("Font/DroidSerif-Regular.ttf"),
      m_text("Hello World!"),
      m_pos(0.5f),
      m_size(0.1f),
      m_glow(0.0f),
      m_color(1.0f),
      m_dpi(1024),
      m_alignH(0),
      m_alignV(3) {}

fxTextStash::~fxTextStash() { m_renderer.DestroyFontContext(); }

void fxTextStash::OnAttributeEdited(AttributeDesc* attribute) {
  if (!attribute) return;
  const std::string& name = attribute->m_name;
  if (name == "Font" || name == "Dpi" || name == "AlignH" || name == "AlignV" || name == "Size") m_reInit = true;
}

//-----------------------------------------------------------------------------
// [SECTION] Life cycle and drawing
//-----------------------------------------------------------------------------

int fxTextStash::AtlasSide(int targetHeight) const {
  // In 64 bits: a large Dpi times the height must not wrap.
  const int64_t side = std::max<int64_t>(static_cast<int64_t>(m_dpi) * targetHeight / 900, m_dpi);
  return static_cast<int>(std::clamp<int64_t>(side, INT32_MIN, INT32_MAX));
}

int fxTextStash::Alignment() const {
  // Indices from a sequence file may lie outside the names; a shift by them
  // would not be defined.
  const int h = std::clamp(m_alignH, 0, 2);
  const int v = std::clamp(m_alignV, 0, 3);
  return (1 << h) | (8 << v);
}

uint32_t fxTextStash::PackedColor(float fade) const {
  return ChannelByte(m_color.r) | ChannelByte(m_color.g) << 8 | ChannelByte(m_color.b) << 16 |
         ChannelByte(m_color.a * fade) << 24;
}

void fxTextStash::Init() {
  const int height = g_pCurrentRenderTarget ? g_pCurrentRenderTarget->m_height : 0;
  const int side = AtlasSide(height);
  m_renderer.Create(side, side);
  // No atlas of that side (Dpi 0 or less): the effect draws nothing, rather
  // than through the renderer's default atlas, which its font and draw
  // calls would make on first use.
  if (!m_renderer.Context()) return;
  m_renderer.AddFont(m_font.c_str());
  m_renderer.SetAlign(Alignment());
}

void fxTextStash::DrawLine() {
  if (!m_renderer.Context()) return;
  m_renderer.BeginFrame();
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const float width = static_cast<float>(viewport[2]), height = static_cast<float>(viewport[3]);
  m_renderer.SetSize(width * m_size);
  m_renderer.SetColor(PackedColor(GetFadeFactor()));
  if (!m_text.empty()) m_renderer.DrawText(width * m_pos.x, height * m_pos.y, m_text.c_str());
}

void fxTextStash::Update() {
  vector_display* display = g_pCurrentVectorDisplay;
  if (!(m_glow > 0.0f) || !display) {
    DrawLine();
    return;
  }
  const float brightness = display->m_settings.colorBrightness;
  display->m_settings.colorBrightness = m_glow;
  const GLuint previous = display->BeginPass();
  DrawLine();
  // Closed whatever framebuffer was bound before, the window's (0) too:
  // otherwise later effects would draw into the pass framebuffer and the
  // display would keep the glow brightness.
  display->EndPass(previous);
  display->m_settings.colorBrightness = brightness;
}
