// Render-target effects. See fxBuffer.h.
//
// [SECTION] fxBufferDisplay
// [SECTION] fxBufferDefault
// [SECTION] fxBufferStencil
#include "effects/buffers/fxBuffer.h"

#include "effects/buffers/shBufferStencil.h"
#include "sequence/rvSequence.h"
#include "render/Framebuffer.h"
#include "render/VectorDisplay.h"

namespace {

const char* const kDebugSlotNames[9] = {"None",   "SlotL1", "SlotL2", "SlotL3", "SlotL4",
                                        "SlotR1", "SlotR2", "SlotR3", "SlotR4"};
const char* const kColorFormatNames[4] = {"default", "8bits", "16bits", "32bits"};
const char* const kModeNames[2] = {"Reset to Default Buffer", "Unbind to previous buffer"};

}  // namespace

AttributeDesc* AddDebugSlotAttribute(ClassDesc* desc, const char* name, int offset) {
  return desc->AddAttribute(AttrEnum, name, offset)->SetEnumNames(kDebugSlotNames, 9);
}

//-----------------------------------------------------------------------------
// [SECTION] fxBufferDisplay
//-----------------------------------------------------------------------------

ClassDesc* fxBufferDisplay::GetClassDesc() {
  static ClassDesc desc("fxBufferDisplay", fxBase::GetClassDesc(), &fxBufferDisplay::Create);
  return &desc;
}

fxBase* fxBufferDisplay::Create(ClassDesc* desc) { return CreateZeroFilled<fxBufferDisplay>(desc); }

ClassDesc* fxBufferDisplay::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrEnum, "ColorFormat", RV_OFFSETOF(fxBufferDisplay, m_colorFormat))
      ->SetEnumNames(kColorFormatNames, 4);
  desc->AddAttribute(AttrVec2, "SizePixel", RV_OFFSETOF(fxBufferDisplay, m_sizePixel))->SetRange(0.0f, 2000.0f);
  desc->AddAttribute(AttrVec2, "SizeUnit", RV_OFFSETOF(fxBufferDisplay, m_sizeUnit))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrRGBA, "BackColor", RV_OFFSETOF(fxBufferDisplay, m_backColor));
  desc->AddAttribute(AttrBool, "InterpColor", RV_OFFSETOF(fxBufferDisplay, m_interpColor));
  desc->AddAttribute(AttrBool, "KeepRatio", RV_OFFSETOF(fxBufferDisplay, m_keepRatio));
  desc->AddAttribute(AttrBool, "RepeatUV", RV_OFFSETOF(fxBufferDisplay, m_repeatUV));
  desc->AddAttribute(AttrBool, "Clear", RV_OFFSETOF(fxBufferDisplay, m_clear));
  AddDebugSlotAttribute(desc, "Debug Color", RV_OFFSETOF(fxBufferDisplay, m_debugColor));
  AddDebugSlotAttribute(desc, "Debug Alpha", RV_OFFSETOF(fxBufferDisplay, m_debugAlpha));
  AddDebugSlotAttribute(desc, "Debug Depth", RV_OFFSETOF(fxBufferDisplay, m_debugDepth));
  return desc;
}

fxBufferDisplay::fxBufferDisplay(ClassDesc* desc)
    : fxBase(desc),
      m_colorFormat(0),
      m_sizePixel(0.0f),
      m_sizeUnit(1.0f),
      m_backColor(0.0f, 0.0f, 0.0f, 1.0f),
      m_interpColor(true),
      m_keepRatio(true),
      m_repeatUV(true),
      m_clear(false),
      m_debugColor(0),
      m_debugAlpha(0),
      m_debugDepth(0) {}

fxBufferDisplay::~fxBufferDisplay() { m_target.Destroy(true); }

RenderTarget* fxBufferDisplay::GetBuffer() { return &m_target; }

fxBase* FindBufferEffect(rvSequence* scope, const std::string& name, fxBase* kept) {
  fxBase* found = kept;
  for (rvSequence* s = scope; s;) {
    if (found && found->m_name == name) return found;
    // A renamed slot whose new name finds nothing samples nothing, rather
    // than the buffer it named before.
    found = nullptr;
    fxBase* item = s->FindItem(name);
    if (item && item->IsKindOf("fxBufferDisplay")) found = item;
    if (item || !s->m_ownerFx) return found;
    s = s->m_ownerFx->m_owner;
  }
  return found;
}

RenderTarget* BufferEffectTarget(fxBase* effect, bool running) {
  if (!effect || !effect->IsKindOf("fxBufferDisplay")) return nullptr;
  if (running && effect->m_state != StateRunning) return nullptr;
  return static_cast<fxBufferDisplay*>(effect)->GetBuffer();
}

namespace {

// One dimension in pixels, or 0 ("use the current target's") for a value
// no texture can have: negative, NaN, or beyond any GL size limit, where the
// conversion to int would also be undefined.
int PixelDimension(float v) { return v >= 0.0f && v < 65536.0f ? static_cast<int>(v) : 0; }

}  // namespace

void fxBufferDisplay::ComputeSize(int currentWidth, int currentHeight, int& width, int& height) const {
  const float w = static_cast<float>(currentWidth), h = static_cast<float>(currentHeight);
  // Both dimensions are measured in target heights.
  width = PixelDimension(h * m_sizeUnit.x);
  if (width == 0) width = PixelDimension(m_sizePixel.x);
  height = PixelDimension(h * m_sizeUnit.y);
  if (height == 0) height = PixelDimension(m_sizePixel.y);
  if (m_keepRatio && h > 0.0f) width = static_cast<int>(static_cast<float>(height) * w / h);
  if (width == 0 || height == 0) {
    width = currentWidth;
    height = currentHeight;
  }
}

uint32_t fxBufferDisplay::FramebufferFlags() const {
  uint32_t flags = m_repeatUV ? 0x1B : 0x0B;
  if (m_colorFormat == 1) flags |= FB_RGBA8;
  if (m_colorFormat == 2) flags |= FB_RGBA16F;
  if (m_colorFormat == 3) flags |= FB_RGBA32F;
  return flags;
}

void fxBufferDisplay::Init() {
  RenderTarget* current = g_pCurrentRenderTarget;
  int width = 0, height = 0;
  ComputeSize(current ? current->m_width : 0, current ? current->m_height : 0, width, height);
  m_target.Create(m_name, width, height, kDefaultTargetFlags, FramebufferFlags());
}

void fxBufferDisplay::Kill() { m_target.Destroy(true); }

void fxBufferDisplay::Update() {
  m_target.m_previous = BindRenderTarget(&m_target, false);
  if (!m_clear || !m_target.m_colorFramebuffer) return;
  FramebufferGL* gl = m_target.m_colorFramebuffer->GL();
  glClearColor(m_backColor.r, m_backColor.g, m_backColor.b, 1.0f);
  glClearDepth(1.0);
  glClearStencil(0);
  GLbitfield bits = 0;
  if (gl->m_colorTexture) bits |= GL_COLOR_BUFFER_BIT;
  if (gl->m_depthTexture || gl->m_depthStencilTexture) bits |= GL_DEPTH_BUFFER_BIT;
  if (gl->m_depthStencilTexture) bits |= GL_STENCIL_BUFFER_BIT;
  if (bits) glClear(bits);
}

//-----------------------------------------------------------------------------
// [SECTION] fxBufferDefault
//-----------------------------------------------------------------------------

ClassDesc* fxBufferDefault::GetClassDesc() {
  static ClassDesc desc("fxBufferDefault", fxBase::GetClassDesc(), &fxBufferDefault::Create);
  return &desc;
}

fxBase* fxBufferDefault::Create(ClassDesc* desc) { return CreateZeroFilled<fxBufferDefault>(desc); }

ClassDesc* fxBufferDefault::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  AddDebugSlotAttribute(desc, "Debug Color", RV_OFFSETOF(fxBufferDefault, m_debugColor));
  AddDebugSlotAttribute(desc, "Debug Alpha", RV_OFFSETOF(fxBufferDefault, m_debugAlpha));
  AddDebugSlotAttribute(desc, "Debug Depth", RV_OFFSETOF(fxBufferDefault, m_debugDepth));
  desc->AddAttribute(AttrEnum, "Mode", RV_OFFSETOF(fxBufferDefault, m_mode))->SetEnumNames(kModeNames, 2);
  return desc;
}

fxBufferDefault::fxBufferDefault(ClassDesc* desc)
    : fxBase(desc), m_debugColor(0), m_debugAlpha(0), m_debugDepth(0), m_mode(ResetToDefault) {}

void fxBufferDefault::Update() {
  if (m_mode == UnbindToPrevious) {
    RenderTarget* current = g_pCurrentRenderTarget;
    if (!current) return;
    BindRenderTarget(current->m_previous ? current->m_previous : &g_defaultRenderTarget, false);
    current->m_previous = nullptr;
    return;
  }
  if (g_pCurrentRenderTarget != &g_defaultRenderTarget) BindRenderTarget(&g_defaultRenderTarget, false);
}

//-----------------------------------------------------------------------------
// [SECTION] fxBufferStencil
//-----------------------------------------------------------------------------

ClassDesc* fxBufferStencil::GetClassDesc() {
  static ClassDesc desc("fxBufferStencil", fxBase::GetClassDesc(), &fxBufferStencil::Create);
  return &desc;
}

fxBase* fxBufferStencil::Create(ClassDesc* desc) { return CreateZeroFilled<fxBufferStencil>(desc); }

ClassDesc* fxBufferStencil::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  AddDebugSlotAttribute(desc, "Debug In", RV_OFFSETOF(fxBufferStencil, m_debugIn));
  AddDebugSlotAttribute(desc, "Debug Out", RV_OFFSETOF(fxBufferStencil, m_debugOut));
  desc->AddAttribute(AttrBool, "Clear", RV_OFFSETOF(fxBufferStencil, m_clear));
  desc->AddAttribute(AttrBool, "KeepWriting", RV_OFFSETOF(fxBufferStencil, m_keepWriting));
  desc->AddAttribute(AttrBool, "WriteRange/Enabled", RV_OFFSETOF(fxBufferStencil, m_writeRangeEnabled));
  desc->AddAttribute(AttrRGBA, "WriteRange/Colori", RV_OFFSETOF(fxBufferStencil, m_colorI));
  desc->AddAttribute(AttrRGBA, "WriteRange/Colorf", RV_OFFSETOF(fxBufferStencil, m_colorF));
  desc->AddAttribute(AttrFloat, "WriteRange/Depthi", RV_OFFSETOF(fxBufferStencil, m_depthI))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "WriteRange/Depthf", RV_OFFSETOF(fxBufferStencil, m_depthF))->SetRange(0.0f, 1.0f);
  return desc;
}

fxBufferStencil::fxBufferStencil(ClassDesc* desc)
    : fxBase(desc),
      m_debugIn(0),
      m_debugOut(0),
      m_clear(false),
      m_keepWriting(false),
      m_writeRangeEnabled(false),
      m_colorI(1.0f),
      m_colorF(0.0f),
      m_depthI(1.0f),
      m_depthF(0.0f) {}

namespace {

// The state fxBufferStencil changes and gives back unless it keeps writing.
struct StencilState {
  GLboolean colorMask[4];
  GLboolean stencilTest;
  GLint stencilWriteMask;
  GLint stencilFunc, stencilRef, stencilValueMask;
  GLboolean depthTest;
  GLboolean depthMask;

  void Save() {
    glGetBooleanv(GL_COLOR_WRITEMASK, colorMask);
    stencilTest = glIsEnabled(GL_STENCIL_TEST);
    glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilWriteMask);
    glGetIntegerv(GL_STENCIL_FUNC, &stencilFunc);
    glGetIntegerv(GL_STENCIL_REF, &stencilRef);
    glGetIntegerv(GL_STENCIL_VALUE_MASK, &stencilValueMask);
    depthTest = glIsEnabled(GL_DEPTH_TEST);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  }

  void Restore() const {
    glColorMask(colorMask[0], colorMask[1], colorMask[2], colorMask[3]);
    if (stencilTest) glEnable(GL_STENCIL_TEST); else glDisable(GL_STENCIL_TEST);
    glStencilMask(static_cast<GLuint>(stencilWriteMask));
    glStencilFunc(static_cast<GLenum>(stencilFunc), stencilRef, static_cast<GLuint>(stencilValueMask));
    if (depthTest) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
    glDepthMask(depthMask);
  }
};

}  // namespace

void fxBufferStencil::Update() {
  RenderTarget* target = g_pCurrentRenderTarget;
  if (!target || !target->m_colorFramebuffer) return;
  Framebuffer* fb = target->m_colorFramebuffer;
  FramebufferGL* gl = fb->GL();
  if (!(fb->m_flags & FB_DEPTH_STENCIL)) {
    fb->m_flags |= FB_DEPTH_STENCIL;
    gl->m_flags |= FB_DEPTH_STENCIL;
    gl->AttachDepthStencil();
  }
  if (!gl->m_depthStencilTexture) return;

  StencilState saved;
  saved.Save();
  glEnable(GL_STENCIL_TEST);
  glDisable(GL_DEPTH_TEST);
  if (m_clear) {
    glClearStencil(1);
    glStencilMask(0xFF);
    glStencilFunc(GL_ALWAYS, 1, 0xFF);
    glClear(GL_STENCIL_BUFFER_BIT);
  }
  glStencilMask(0xFF);
  glStencilFunc(GL_ALWAYS, 2, 0xFF);
  glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  if (m_writeRangeEnabled) RunRangePass();
  if (m_keepWriting) return;
  saved.Restore();
}

void fxBufferStencil::RunRangePass() {
  shBufferStencil& program = BufferStencilProgram(m_depthI <= m_depthF);
  for (int i = 0; i < 4; ++i) {
    program.m_colorI[i] = m_colorI[i];
    program.m_colorF[i] = m_colorF[i];
  }
  program.m_depthI = m_depthI;
  program.m_depthF = m_depthF;
  program.Bind();
  program.DrawRect(RECT_LEFT | RECT_TOP, 0.0f, 0.0f, 1.0f, 1.0f);
  program.Unbind();
  glEnable(GL_DEPTH_TEST);
}
