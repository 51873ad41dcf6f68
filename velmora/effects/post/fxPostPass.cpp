// The shared post-processing pass. See fxPostPass.h.
#include "effects/post/fxPostPass.h"

#include "core/AppLog.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"

//-----------------------------------------------------------------------------
// [SECTION] Unit-coordinate vertex stage
//-----------------------------------------------------------------------------

// The colour passes work in target units: fragCoord runs 0..1.
const char* const g_postUnitVertex = R"(SHADER_HEADER
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec2 aTexCoords;
out vec2 fragCoord;
void main()
{
  fragCoord = aTexCoords;
  gl_Position = vec4(aPos.x, aPos.y, 0.0, 1.0);
}
)";

//-----------------------------------------------------------------------------
// [SECTION] Uniform uploads
//-----------------------------------------------------------------------------

void UploadUniform(const PassUniform<float>& u) {
  if (u.m_location >= 0) glUniform1f(u.m_location, u.m_value);
}
void UploadUniform(const PassUniform<int>& u) {
  if (u.m_location >= 0) glUniform1i(u.m_location, u.m_value);
}
void UploadUniform(const PassUniform<bool>& u) {
  if (u.m_location >= 0) glUniform1i(u.m_location, u.m_value ? 1 : 0);
}
void UploadUniform(const PassUniform<glm::vec2>& u) {
  if (u.m_location >= 0) glUniform2f(u.m_location, u.m_value.x, u.m_value.y);
}
void UploadUniform(const PassUniform<glm::vec3>& u) {
  if (u.m_location >= 0) glUniform3f(u.m_location, u.m_value.x, u.m_value.y, u.m_value.z);
}
void UploadUniform(const PassUniform<glm::vec4>& u) {
  if (u.m_location >= 0) glUniform4f(u.m_location, u.m_value.x, u.m_value.y, u.m_value.z, u.m_value.w);
}

//-----------------------------------------------------------------------------
// [SECTION] Copy, draw and build
//-----------------------------------------------------------------------------

bool shPostPass::BindTargetCopy() {
  RenderTarget* target = g_pCurrentRenderTarget ? g_pCurrentRenderTarget : &g_defaultRenderTarget;
  Framebuffer* framebuffer = target->m_colorFramebuffer;
  // A pass that left alpha masked would make the copy keep a stale alpha.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  GLuint copy = 0;
  if (framebuffer && (framebuffer->m_flags & FB_COLOR) && framebuffer->m_width > 0 && framebuffer->m_height > 0) {
    copy = framebuffer->Copy();
  }
  BindTexture(copy);
  if (copy == 0 && !m_reportedNoCopy) {
    AppLog::Get().AddLog("[%s] target %s has no colour to copy: pass skipped\n", m_passName, target->m_name.c_str());
    m_reportedNoCopy = true;
  }
  return copy != 0;
}

void shPostPass::DrawPass(bool writeAlpha) {
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, writeAlpha ? GL_TRUE : GL_FALSE);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  DrawFull(0);
  Unbind();
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

bool shPostPass::BuildPass(const char* vertex, const char* fragment) {
  if (m_buildFailed && (m_dirtyStages & 0x3F) == 0) return false;
  if (m_stages[StageVertex].source == nullptr) m_stages[StageVertex].source = vertex;
  if (m_stages[StageFragment].source == nullptr) m_stages[StageFragment].source = fragment;
  rvTexColorProgram2D::Build();
  m_buildFailed = m_program == 0;
  return !m_buildFailed;
}

//-----------------------------------------------------------------------------
// [SECTION] Region
//-----------------------------------------------------------------------------

void shPostRegionPass::DrawRect(int flags, float x, float y, float w, float h) {
  const float x0 = (flags & RECT_LEFT) ? x : (flags & RECT_RIGHT) ? x - w : x - w * 0.5f;
  const float y0 = (flags & RECT_TOP) ? y : (flags & RECT_BOTTOM) ? y - h : y - h * 0.5f;
  m_regionUV.m_value = glm::vec4(x0, y0, w, h);
  UploadUniform(m_regionUV);
  rvProgram2D::DrawRect(RECT_LEFT | RECT_TOP, 0.0f, 0.0f, 1.0f, 1.0f);
}

void shPostRegionPass::SetFullRegion() {
  m_regionUV.m_value = glm::vec4(0.0f, 0.0f, 1.0f, 1.0f);
  UploadUniform(m_regionUV);
}

//-----------------------------------------------------------------------------
// [SECTION] Shared noise images
//-----------------------------------------------------------------------------

void PassNoiseTexture::Load() {
  if (!m_slot) m_slot = new TextureSlot;
  if (m_slot->m_image || m_slot->m_effect) return;
  m_slot->m_file = m_file;
  m_slot->Resolve(nullptr);
  m_width = m_slot->m_image ? m_slot->m_image->m_width : 0;
  m_height = m_slot->m_image ? m_slot->m_image->m_height : 0;
}

GLuint PassNoiseTexture::Texture() {
  Load();
  return m_slot->GetTexture();
}
