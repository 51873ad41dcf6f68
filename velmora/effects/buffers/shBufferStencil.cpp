// shBufferStencil. See shBufferStencil.h.
#include "effects/buffers/shBufferStencil.h"

#include "render/Framebuffer.h"
#include "render/RenderTarget.h"

namespace {

// Each fragment reads its own texel: texelFetch at the fragment's pixel,
// not a filtered tap at the texel centre, which gives the same value at a
// fraction of the cost on a software rasteriser. The depth range is a
// program constant (DEPTH_RANGE): behind a uniform test the depth read
// would run for every fragment even with the range off.
const char* const kStencilFragment =
    "SHADER_HEADER\n"
    "out vec4 fragColor;\n"
    "uniform vec4 COLORI;\n"
    "uniform vec4 COLORF;\n"
    "uniform float DEPTHI;\n"
    "uniform float DEPTHF;\n"
    "uniform sampler2D TEXTURE_COLOR;\n"
    "uniform sampler2D TEXTURE_DEPTH;\n"
    "void main()\n"
    "{\n"
    "  ivec2 texel = ivec2(gl_FragCoord.xy);\n"
    "  vec4 col = texelFetch(TEXTURE_COLOR, texel, 0);\n"
    "  bvec4 open = greaterThan(COLORI, COLORF);\n"
    "  bvec4 inside = bvec4(lessThanEqual(COLORI, col)) ;\n"
    "  bvec4 below = lessThanEqual(col, COLORF);\n"
    "  bool valid = true;\n"
    "  for (int i = 0; i < 4; ++i) valid = valid && (open[i] || (inside[i] && below[i]));\n"
    "  if (DEPTH_RANGE == 1 && valid) {\n"
    "    float depth = texelFetch(TEXTURE_DEPTH, texel, 0).x;\n"
    "    valid = DEPTHI <= depth && depth <= DEPTHF;\n"
    "  }\n"
    "  if (!valid) discard;\n"
    "  fragColor = col;\n"
    "}\n";

}  // namespace

shBufferStencil::shBufferStencil(bool depthRange) { SetConstInt("DEPTH_RANGE", depthRange ? 1 : 0, false); }

void shBufferStencil::Build() {
  if (!m_stages[StageFragment].source) m_stages[StageFragment].source = kStencilFragment;
  rvProgram2D::Build();
  m_colorILocation = Location("COLORI");
  m_colorFLocation = Location("COLORF");
  m_depthILocation = Location("DEPTHI");
  m_depthFLocation = Location("DEPTHF");
  m_textureColorLocation = Location("TEXTURE_COLOR");
  m_textureDepthLocation = Location("TEXTURE_DEPTH");
  if (m_program == 0) return;
  glUseProgram(m_program);
  UploadRanges();
  if (m_textureColorLocation >= 0) glUniform1i(m_textureColorLocation, m_textureColorUnit);
  if (m_textureDepthLocation >= 0) glUniform1i(m_textureDepthLocation, m_textureDepthUnit);
  glUseProgram(0);
}

void shBufferStencil::UploadRanges() const {
  UploadColor(m_colorILocation, m_colorI);
  UploadColor(m_colorFLocation, m_colorF);
  if (m_depthILocation >= 0) glUniform1f(m_depthILocation, m_depthI);
  if (m_depthFLocation >= 0) glUniform1f(m_depthFLocation, m_depthF);
}

void shBufferStencil::Bind() {
  rvProgram2D::Bind();
  UploadRanges();
  glDisable(GL_DEPTH_TEST);
  RenderTarget* target = g_pCurrentRenderTarget;
  FramebufferGL* gl = target && target->m_colorFramebuffer ? target->m_colorFramebuffer->GL() : nullptr;
  glActiveTexture(GL_TEXTURE0 + m_textureDepthUnit);
  glBindTexture(GL_TEXTURE_2D, gl ? gl->m_depthTexture : 0);
  glActiveTexture(GL_TEXTURE0 + m_textureColorUnit);
  glBindTexture(GL_TEXTURE_2D, gl ? gl->m_colorTexture : 0);
}

void shBufferStencil::Unbind() {
  glActiveTexture(GL_TEXTURE0 + m_textureDepthUnit);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  rvProgram2D::Unbind();
}

shBufferStencil& BufferStencilProgram(bool depthRange) {
  // Made on first use and kept until exit, like the engine's shared
  // programs: a static object would delete its GL program after the
  // context is gone.
  static shBufferStencil* s_colorOnly = new shBufferStencil(false);
  static shBufferStencil* s_withDepth = new shBufferStencil(true);
  return depthRange ? *s_withDepth : *s_colorOnly;
}
