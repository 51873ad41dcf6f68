// Framebuffers and their GL records.
//
// [SECTION] Bookkeeping: live records, pool
// [SECTION] FramebufferGL: textures and attachments
// [SECTION] Framebuffer: create, destroy, GL record
// [SECTION] Copy twin
//
// Every attach step and the allocation save and restore the framebuffer
// binding, so creating a framebuffer never changes where the caller draws;
// the one exception is the colour framebuffer of the current render target,
// which stays bound after it is (re)allocated because it is where drawing
// goes next.
#include "render/Framebuffer.h"

#include <algorithm>
#include <vector>

#include "core/AppLog.h"
#include "render/RenderTarget.h"
#include "render/rvProgram.h"

//-----------------------------------------------------------------------------
// [SECTION] Bookkeeping: live records, pool
//-----------------------------------------------------------------------------

namespace {

// Every allocated record; the video-memory total is their sum, so a stencil
// attached later to a live record is counted without a second ledger.
std::vector<FramebufferGL*> s_liveRecords;
// Records handed out per frame and dropped from their owners at the start of
// the next one. Nothing adds to it at present; the frame start and the exit
// still walk it.
std::vector<FramebufferGL*> s_pool;

GLint CurrentFramebufferBinding() {
  GLint binding = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
  return binding;
}

// The program of every Copy, made once and kept until exit like the other
// shared 2D programs.
rvTexColorProgram2D& CopyProgram() {
  static rvTexColorProgram2D* program = new rvTexColorProgram2D();
  return *program;
}

void DeleteGLObjects(FramebufferGL* record) {
  if (record->m_framebuffer) glDeleteFramebuffers(1, &record->m_framebuffer);
  if (record->m_colorTexture) glDeleteTextures(1, &record->m_colorTexture);
  // After AttachDepthStencil the depth field names the depth-stencil texture
  // too: delete that texture once.
  if (record->m_depthTexture && record->m_depthTexture != record->m_depthStencilTexture) {
    glDeleteTextures(1, &record->m_depthTexture);
  }
  if (record->m_depthStencilTexture) glDeleteTextures(1, &record->m_depthStencilTexture);
}

}  // namespace

uint64_t GetFramebufferBytes() {
  uint64_t total = 0;
  for (const FramebufferGL* record : s_liveRecords) total += record->m_bytes;
  return total;
}

int GetFramebufferMo() { return int(GetFramebufferBytes() / 1000000u); }

int GetFramebufferCount() { return int(s_liveRecords.size()); }

void ResetFramebufferPool() {
  for (FramebufferGL* record : s_pool) {
    if (record->m_owner) record->m_owner->m_gl = nullptr;
    record->m_owner = nullptr;
  }
}

void ReleaseFramebufferPool() {
  for (FramebufferGL* record : s_pool) {
    if (record->m_owner) record->m_owner->m_gl = nullptr;
    DeleteGLObjects(record);
    delete record;
  }
  s_pool.clear();
}

//-----------------------------------------------------------------------------
// [SECTION] FramebufferGL: textures and attachments
//-----------------------------------------------------------------------------

namespace {

// Makes a 2D texture of the record's size, leaving the caller's texture
// binding as it was.
GLuint MakeTexture(const FramebufferGL& record, GLint internalFormat, GLenum format, GLenum type,
                   GLint filter, GLint wrap) {
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, record.m_width, record.m_height, 0, format, type, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLfloat(wrap));
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLfloat(wrap));
  glBindTexture(GL_TEXTURE_2D, GLuint(previous));
  return texture;
}

void Attach(const FramebufferGL& record, GLenum attachment, GLuint texture) {
  const GLint saved = CurrentFramebufferBinding();
  glBindFramebuffer(GL_FRAMEBUFFER, record.m_framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, texture, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, GLuint(saved));
}

uint32_t TexelCount(const FramebufferGL& record) { return uint32_t(record.m_width) * uint32_t(record.m_height); }

}  // namespace

void FramebufferGL::AttachColor() {
  GLint internalFormat = GL_RGBA8;
  uint32_t texelBytes = 4;
  if (m_flags & FB_RGBA8) {
  } else if (m_flags & FB_RGBA16F) {
    internalFormat = GL_RGBA16F;
    texelBytes = 8;
  } else if (m_flags & FB_RGBA32F) {
    internalFormat = GL_RGBA32F;
    texelBytes = 16;
  }
  m_colorFormat = internalFormat;
  const GLenum type = internalFormat == GL_RGBA8 ? GL_UNSIGNED_BYTE : GL_FLOAT;
  m_colorTexture = MakeTexture(*this, internalFormat, GL_BGRA, type, (m_flags & FB_LINEAR) ? GL_LINEAR : GL_NEAREST,
                               (m_flags & FB_REPEAT) ? GL_REPEAT : GL_CLAMP_TO_EDGE);
  Attach(*this, GL_COLOR_ATTACHMENT0, m_colorTexture);
  m_bytes += TexelCount(*this) * texelBytes;
}

void FramebufferGL::AttachDepth() {
  m_depthTexture =
      MakeTexture(*this, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_FLOAT, GL_LINEAR, GL_CLAMP_TO_EDGE);
  Attach(*this, GL_DEPTH_ATTACHMENT, m_depthTexture);
  m_bytes += TexelCount(*this) * 4;
}

void FramebufferGL::AttachDepthStencil() {
  if (m_depthTexture) {
    if (m_depthTexture != m_depthStencilTexture) glDeleteTextures(1, &m_depthTexture);
    m_depthTexture = 0;
    m_bytes -= TexelCount(*this) * 4;
  }
  // A second stencil request replaces the first one's texture.
  if (m_depthStencilTexture) glDeleteTextures(1, &m_depthStencilTexture);
  m_depthStencilTexture = MakeTexture(*this, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8,
                                      GL_LINEAR, GL_CLAMP_TO_EDGE);
  Attach(*this, GL_DEPTH_STENCIL_ATTACHMENT, m_depthStencilTexture);
  m_bytes += TexelCount(*this) * 4;
  m_depthTexture = m_depthStencilTexture;
}

//-----------------------------------------------------------------------------
// [SECTION] Framebuffer: create, destroy, GL record
//-----------------------------------------------------------------------------

void Framebuffer::Create(const std::string& name, int width, int height, uint32_t flags) {
  if (width == 0 || height == 0) return;
  if (width == m_width && height == m_height && flags == m_flags) return;
  FreeGL();
  AppLog::Get().AddLog("[Framebuffer] create %s %dx%d\n", name.c_str(), width, height);
  m_name = name;
  m_width = width;
  m_height = height;
  m_flags = flags;
  AllocateGL();
  rvTexColorProgram2D& copyProgram = CopyProgram();
  if (!copyProgram.m_program) copyProgram.Build();
  m_created = true;
}

void Framebuffer::Destroy(Framebuffer*& framebuffer) {
  if (!framebuffer) return;
  Framebuffer* fb = framebuffer;
  framebuffer = nullptr;
  if (fb->m_created && fb->m_width != 0 && fb->m_height != 0) {
    AppLog::Get().AddLog("[Framebuffer] destroy %s %dx%d\n", fb->m_name.c_str(), fb->m_width, fb->m_height);
  }
  delete fb;
}

// A record that never got a size may still hold a GL record made by a
// reader: it goes with the record too.
Framebuffer::~Framebuffer() {
  FreeGL();
  Destroy(m_twin);
}

FramebufferGL* Framebuffer::GL() {
  if (!m_gl) AllocateGL();
  return m_gl;
}

void Framebuffer::AllocateGL() {
  FreeGL();
  m_gl = new FramebufferGL;
  m_gl->m_owner = this;
  m_gl->m_width = m_width;
  m_gl->m_height = m_height;
  m_gl->m_flags = m_flags;
  glGenFramebuffers(1, &m_gl->m_framebuffer);
  if (m_flags & FB_COLOR) m_gl->AttachColor();
  if ((m_flags & (FB_DEPTH | FB_DEPTH_STENCIL)) == FB_DEPTH) m_gl->AttachDepth();
  if (m_flags & FB_DEPTH_STENCIL) m_gl->AttachDepthStencil();

  const GLint saved = CurrentFramebufferBinding();
  glBindFramebuffer(GL_FRAMEBUFFER, m_gl->m_framebuffer);
  glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (!(g_pCurrentRenderTarget && g_pCurrentRenderTarget->m_colorFramebuffer == this)) {
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(saved));
  }
  s_liveRecords.push_back(m_gl);
}

void Framebuffer::FreeGL() {
  if (!m_gl) return;
  s_liveRecords.erase(std::remove(s_liveRecords.begin(), s_liveRecords.end(), m_gl), s_liveRecords.end());
  DeleteGLObjects(m_gl);
  delete m_gl;
  m_gl = nullptr;
}

//-----------------------------------------------------------------------------
// [SECTION] Copy twin
//-----------------------------------------------------------------------------

void DrawTextureToViewport(rvTexColorProgram2D& program, GLuint texture, const float maxColor[4]) {
  program.BindTexture(texture);
  std::copy(maxColor, maxColor + 4, program.m_maxColor);
  program.UploadColor(program.m_maxColorLocation, program.m_maxColor);
  if (program.m_texWidth > 0 && program.m_texHeight > 0) program.DrawRect(0, 0.5f, 0.5f, 1.0f, 1.0f);
  program.Unbind();
}

GLuint Framebuffer::Copy() {
  // Create is a no-op while the twin matches; after this framebuffer was
  // recreated with another size or format the twin follows, or the copy
  // would land in a texture of the old size.
  if (!m_twin) m_twin = new Framebuffer;
  m_twin->Create(m_name + "Copy", m_width, m_height, m_flags & ~FB_CARRIED);
  const FramebufferGL* source = GL();
  const FramebufferGL* twin = m_twin->GL();
  if (source->m_colorFormat == GL_RGBA8 && twin->m_colorFormat == GL_RGBA8) {
    // 8-bit colours lie in 0..1 already, where the copy program changes
    // nothing: the texels themselves, without a pass of the rasteriser.
    glCopyImageSubData(source->m_colorTexture, GL_TEXTURE_2D, 0, 0, 0, 0, twin->m_colorTexture, GL_TEXTURE_2D, 0,
                       0, 0, 0, source->m_width, source->m_height, 1);
    return twin->m_colorTexture;
  }
  m_twin->m_savedBinding = CurrentFramebufferBinding();
  glBindFramebuffer(GL_FRAMEBUFFER, m_twin->GL()->m_framebuffer);
  // The copy only cuts negative values: float targets keep values above 1.
  const float noCap[4] = {9999.0f, 9999.0f, 9999.0f, 1.0f};
  DrawTextureToViewport(CopyProgram(), GL()->m_colorTexture, noCap);
  glBindFramebuffer(GL_FRAMEBUFFER, GLuint(m_twin->m_savedBinding));
  m_twin->m_savedBinding = 0;
  return m_twin->GL()->m_colorTexture;
}
