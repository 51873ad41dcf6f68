// GPU program classes: see rvProgram.h.
//
// Index
//   [SECTION] Built-in stage texts
//   [SECTION] rvProgram: construction, link, bind, release
//   [SECTION] rvProgram2D: bind and the shared rectangle
//   [SECTION] rvProgram3D
//   [SECTION] Ready-made 2D programs
//   [SECTION] Shared fill program
#include "render/rvProgram.h"

#include <algorithm>
#include <cmath>

#include "core/AppLog.h"
#include "render/EffectLink.h"
#include "render/GLShaderBuild.h"
#include "render/GpuBuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"

rvProgram* g_pCurrentProgram = nullptr;

// ---------------------------------------------------------------------------
// [SECTION] Built-in stage texts
// ---------------------------------------------------------------------------

// Besides TexCoords the 2D vertex stage writes fragCoord in pixels: the
// Shadertoy form reads it as an input, and Mesa refuses to link a fragment
// input that the previous stage does not write.
const char* const g_program2DVertex =
    "SHADER_HEADER\n"
    "layout(location = 0) in vec2 aPos;\n"
    "layout(location = 1) in vec2 aTexCoords;\n"
    "out vec2 TexCoords;\n"
    "out vec2 fragCoord;\n"
    "void main()\n"
    "{\n"
    "  TexCoords = aTexCoords;\n"
    "  fragCoord = aTexCoords * iResolution;\n"
    "  gl_Position = vec4(aPos.x, aPos.y, 0.0, 1.0);\n"
    "}\n";

const char* const g_program3DVertex =
    "SHADER_HEADER\n"
    "layout(location = 0) in vec4 position;\n"
    "uniform mat4 MVP;\n"
    "void main()\n"
    "{\n"
    "  gl_Position = MVP * position;\n"
    "}\n";

const char* const g_fillColorFragment =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 fragColor;\n"
    "uniform vec4 FillColor;\n"
    "uniform vec4 vAddColor;\n"
    "uniform vec4 vMulColor;\n"
    "uniform vec4 vMaxColor;\n"
    "void main()\n"
    "{\n"
    "  fragColor = clamp((FillColor+vAddColor)*vMulColor,vec4(0),vMaxColor);\n"
    "}\n";

const char* const g_texColorFragment =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 fragColor;\n"
    "uniform sampler2D iChannel0;\n"
    "uniform vec4 vAddColor;\n"
    "uniform vec4 vMulColor;\n"
    "uniform vec4 vMaxColor;\n"
    "void main()\n"
    "{\n"
    "  vec4 col = texture(iChannel0, TexCoords);\n"
    "  fragColor = clamp((col+vAddColor)*vMulColor,vec4(0),vMaxColor);\n"
    "}\n";

const char* const g_texAlphaFragment =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 FragColor;\n"
    "uniform sampler2D iChannel0;\n"
    "void main()\n"
    "{\n"
    "  float a = texture(iChannel0, TexCoords).a;\n"
    "  FragColor = vec4(a,a,a,1.);\n"
    "}\n";

const char* const g_texDepthFragment =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 FragColor;\n"
    "uniform sampler2D iChannel0;\n"
    "uniform float zFar;\n"
    "uniform float zNear;\n"
    "void main()\n"
    "{\n"
    "  float depth = texture(iChannel0, TexCoords).x;\n"
    "  float c = pow(depth,100.);\n"
    "  FragColor = vec4(c,c,c,1.);\n"
    "}\n";

// texture2D is gone from the core profile; Mesa rejects it under 450 core.
const char* const g_texStencilFragment =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 FragColor;\n"
    "uniform sampler2D iChannel0;\n"
    "void main()\n"
    "{\n"
    "  FragColor = vec4(texture(iChannel0, TexCoords).xyz, 1.0);\n"
    "}\n";

// ---------------------------------------------------------------------------
// [SECTION] rvProgram: construction, link, bind, release
// ---------------------------------------------------------------------------

rvProgram::rvProgram() = default;

rvProgram::~rvProgram() {
  if (g_pCurrentProgram == this) rvProgram::Unbind();
  if (m_program != 0) glDeleteProgram(m_program);
  m_program = 0;
  DeleteStages();
}

void rvProgram::DeleteStages() {
  for (ShaderStage& stage : m_stages) {
    if (stage.shader != 0) glDeleteShader(stage.shader);
    stage.shader = 0;
    stage.includes.clear();
  }
}

void rvProgram::SetValueArea(uint32_t* values, int attributeBase, int dwordBudget, ClassDesc* parameterTarget) {
  m_values = values;
  m_attributeBase = attributeBase;
  m_dwordBudget = dwordBudget;
  m_parameterTarget = parameterTarget;
}

int rvProgram::Location(const char* name) const {
  return m_program != 0 ? glGetUniformLocation(m_program, name) : -1;
}

void rvProgram::Build() { Link(); }

namespace {

// A build can start inside another: an include read ticks the loading screen,
// whose programs build on their first frame. The inner build gets a log of
// its own and hands the outer one back untouched.
class NestedBuildGuard {
 public:
  NestedBuildGuard() {
    if (s_depth++ > 0) m_outer.swap(ShaderErrorLog());
    ShaderErrorLog().clear();
  }
  ~NestedBuildGuard() {
    if (--s_depth > 0) m_outer.swap(ShaderErrorLog());
  }

 private:
  static int s_depth;
  std::string m_outer;
};
int NestedBuildGuard::s_depth = 0;

}  // namespace

bool rvProgram::Link() {
  NestedBuildGuard guard;
  m_dirtyStages = 0x3F;
  if (m_program != 0) glDeleteProgram(m_program);
  m_program = 0;
  for (int i = 0; i < StageCount; ++i) CompileStage(i);

  // Locations of a failed build must not reach the next program.
  m_timeLocation = m_resolutionLocation = -1;
  for (ShaderUniform& u : m_uniforms) u.location = -1;

  if (ShaderErrorLog().empty()) {
    m_program = glCreateProgram();
    for (const ShaderStage& stage : m_stages) {
      if (stage.shader != 0) glAttachShader(m_program, stage.shader);
    }
    for (size_t i = 0; i < m_attributeNames.size(); ++i) {
      glBindAttribLocation(m_program, static_cast<GLuint>(i), m_attributeNames[i].c_str());
    }
    glLinkProgram(m_program);
    std::string info;
    if (!CheckGLLink(m_program, &info)) {
      ShaderErrorLog() += "ERROR: " + info;
      if (ShaderErrorLog().back() != '\n') ShaderErrorLog() += '\n';
      glDeleteProgram(m_program);
      m_program = 0;
    }
  }
  if (!ShaderErrorLog().empty()) {
    AppLog::Get().AddLog("%s", ShaderErrorLog().c_str());
    return false;
  }

  glUseProgram(m_program);
  for (ShaderUniform& u : m_uniforms) u.location = glGetUniformLocation(m_program, u.name);
  m_resolutionLocation = glGetUniformLocation(m_program, "iResolution");
  if (m_resolutionLocation >= 0) glUniform2f(m_resolutionLocation, m_resolution[0], m_resolution[1]);
  m_timeLocation = glGetUniformLocation(m_program, "iTime");
  if (m_timeLocation >= 0) glUniform1f(m_timeLocation, m_time);
  return true;
}

void rvProgram::Bind() {
  if (m_constantUniformCount != 0) RefreshConstants();
  if (m_program == 0 || (m_dirtyStages & 0x3F) != 0) Build();
  glUseProgram(m_program);
  g_pCurrentProgram = this;

  glGetIntegerv(GL_VIEWPORT, m_viewport);
  m_resolution[0] = static_cast<float>(m_viewport[2]);
  m_resolution[1] = static_cast<float>(m_viewport[3]);
  if (m_resolutionLocation >= 0) glUniform2f(m_resolutionLocation, m_resolution[0], m_resolution[1]);

  const float time = ProgramTime();
  m_delta = time - m_time;
  m_time = time;
  if (m_timeLocation >= 0) glUniform1f(m_timeLocation, m_time);

  if (!m_uniforms.empty()) UploadUniforms();
}

void rvProgram::Unbind() {
  glUseProgram(0);
  g_pCurrentProgram = nullptr;
}

void rvProgram::Release() {
  if (g_pCurrentProgram == this) Unbind();
  if (m_program != 0) glDeleteProgram(m_program);
  m_program = 0;
  m_attributeNames.clear();
}

// ---------------------------------------------------------------------------
// [SECTION] rvProgram2D: bind and the shared rectangle
// ---------------------------------------------------------------------------

namespace {

// Sets a stage text unless an owner preset it.
void DefaultSource(ShaderStage& stage, const char* text) {
  if (stage.source == nullptr) stage.source = text;
}

// The shared rectangle: one vertex array over one buffer of six (x, y, u, v)
// vertices, made on first use and kept until exit.
VertexArray& RectangleArray() {
  static VertexArray* array = nullptr;
  if (array == nullptr) {
    array = new VertexArray();
    auto* buffer = new VertexBuffer(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
    buffer->CreateQuad();
    buffer->AddAttribute2(0);
    buffer->AddAttribute2(1);
    array->AddBuffer(buffer);
    array->Build();
  }
  return *array;
}

void DrawRectangleArray() {
  VertexArray& array = RectangleArray();
  if (array.m_buffers.empty()) return;
  VertexBuffer* buffer = array.m_buffers.front();
  glBindBuffer(buffer->m_target, buffer->m_id);
  if (buffer->m_elementCount == kRectFloatCount) {
    glBufferSubData(buffer->m_target, 0, kRectByteCount, g_rectVertices);
  } else {
    buffer->m_elementCount = kRectFloatCount;
    glBufferData(buffer->m_target, kRectByteCount, g_rectVertices, buffer->m_usage);
  }
  if (buffer->m_stride != 0) buffer->m_vertexCount = kRectByteCount / buffer->m_stride;
  array.Draw();
}

}  // namespace

rvProgram2D::~rvProgram2D() = default;

void rvProgram2D::Build() {
  DefaultSource(m_stages[StageVertex], g_program2DVertex);
  if (m_attributeNames.empty()) m_attributeNames = {"aPos", "aTexCoords"};
  Link();
  m_addColorLocation = Location("vAddColor");
  m_mulColorLocation = Location("vMulColor");
  m_maxColorLocation = Location("vMaxColor");
  UploadColor(m_addColorLocation, m_addColor);
  UploadColor(m_mulColorLocation, m_mulColor);
  UploadColor(m_maxColorLocation, m_maxColor);
}

void rvProgram2D::UploadColor(int location, const float* rgba) const {
  if (location >= 0) glUniform4f(location, rgba[0], rgba[1], rgba[2], rgba[3]);
}

void rvProgram2D::Bind() {
  rvProgram::Bind();
  glGetIntegerv(GL_DEPTH_TEST, &m_savedDepthTest);
  glGetIntegerv(GL_BLEND, &m_savedBlend);
  glGetIntegerv(GL_CULL_FACE, &m_savedCullFace);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  const float add[4] = {0.0f, 0.0f, 0.0f, 0.0f}, mul[4] = {1.0f, 1.0f, 1.0f, 1.0f},
              max[4] = {9999.0f, 9999.0f, 9999.0f, 1.0f};
  std::copy(add, add + 4, m_addColor);
  std::copy(mul, mul + 4, m_mulColor);
  std::copy(max, max + 4, m_maxColor);
  m_uvScale[0] = m_uvScale[1] = 1.0f;
  m_uvOffset[0] = m_uvOffset[1] = 0.0f;
  m_uvRotation = 0.0f;
  UploadColor(m_addColorLocation, m_addColor);
  UploadColor(m_mulColorLocation, m_mulColor);
  UploadColor(m_maxColorLocation, m_maxColor);
}

// Each switch goes back to what Bind found, both ways: a caller that turned
// one on between Bind and Unbind (a shader effect's blend mode) must not
// leave it on for whatever draws next.
void rvProgram2D::RestoreStates() const {
  if (m_savedDepthTest) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
  if (m_savedBlend) glEnable(GL_BLEND); else glDisable(GL_BLEND);
  if (m_savedCullFace) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
}

void rvProgram2D::Unbind() {
  RestoreStates();
  glUseProgram(0);
  g_pCurrentProgram = nullptr;
}

void rvProgram2D::DrawFull(int /*flags*/) { DrawRect(RECT_LEFT | RECT_TOP, 0.0f, 0.0f, 1.0f, 1.0f); }

void rvProgram2D::DrawPixelRect(int flags, int x, int y, int width, int height) {
  const float w = static_cast<float>(m_viewport[2]), h = static_cast<float>(m_viewport[3]);
  if (w <= 0.0f || h <= 0.0f) return;
  const float fw = width < 0 ? w : static_cast<float>(width);
  const float fh = height < 0 ? h : static_cast<float>(height);
  DrawRect(flags, static_cast<float>(x) / w, static_cast<float>(y) / h, fw / w, fh / h);
}

void rvProgram2D::DrawRect(int flags, float x, float y, float w, float h) {
  // A program whose build failed draws nothing.
  if (m_program == 0) return;
  float left, bottom;
  if (flags & RECT_LEFT) {
    left = x;
  } else if (flags & RECT_RIGHT) {
    left = x - w;
  } else {
    left = x - w * 0.5f;
  }
  float right = left + w;
  // y grows downwards.
  if (flags & RECT_TOP) {
    bottom = y + h;
  } else if (flags & RECT_BOTTOM) {
    bottom = y;
  } else {
    bottom = y + h * 0.5f;
  }
  float top = bottom - h;

  float uLeft = 0.0f, uRight = 1.0f, vTop = 1.0f, vBottom = 0.0f;
  if (flags & RECT_COVER) {
    if (left > 0.0f) uLeft = -left / (right - left);
    if (right < 1.0f) uRight = 1.0f + (1.0f - right) / (right - left);
    if (top > 0.0f) vTop = 1.0f + top / (bottom - top);
    if (bottom < 1.0f) vBottom = -(1.0f - bottom) / (bottom - top);
    left = std::min(0.0f, left);
    right = std::max(1.0f, right);
    top = std::min(0.0f, top);
    bottom = std::max(1.0f, bottom);
  }
  if (m_uvScale[0] != 1.0f) {
    uLeft = (uLeft - 0.5f) * m_uvScale[0] + 0.5f;
    uRight = (uRight - 0.5f) * m_uvScale[0] + 0.5f;
  }
  if (m_uvScale[1] != 1.0f) {
    vTop = (vTop - 0.5f) * m_uvScale[1] + 0.5f;
    vBottom = (vBottom - 0.5f) * m_uvScale[1] + 0.5f;
  }
  float cx = 0.5f, cy = 0.5f;
  if (m_uvOffset[0] != 0.0f) {
    uLeft += m_uvOffset[0];
    uRight += m_uvOffset[0];
    cx = 0.5f + m_uvOffset[0];
  }
  if (m_uvOffset[1] != 0.0f) {
    vTop += m_uvOffset[1];
    vBottom += m_uvOffset[1];
    cy = 0.5f + m_uvOffset[1];
  }

  const float xl = (left - 0.5f) * 2.0f, xr = (right - 0.5f) * 2.0f;
  const float yt = (0.5f - top) * 2.0f, yb = (0.5f - bottom) * 2.0f;
  struct Vertex {
    float x, y, u, v;
  } vertices[6] = {
      {xl, yt, uLeft, vTop},  {xl, yb, uLeft, vBottom}, {xr, yb, uRight, vBottom},
      {xl, yt, uLeft, vTop},  {xr, yb, uRight, vBottom}, {xr, yt, uRight, vTop},
  };
  if (m_uvRotation != 0.0f) {
    const float c = cosf(m_uvRotation), s = sinf(m_uvRotation);
    for (Vertex& v : vertices) {
      const float du = v.u - cx, dv = v.v - cy;
      v.u = du * c - dv * s + cx;
      v.v = dv * c + du * s + cy;
    }
  }
  static_assert(sizeof(vertices) == sizeof(g_rectVertices), "six (x, y, u, v) vertices");
  std::copy(&vertices[0].x, &vertices[0].x + kRectFloatCount, g_rectVertices);
  DrawRectangleArray();
}

// ---------------------------------------------------------------------------
// [SECTION] rvProgram3D
// ---------------------------------------------------------------------------

rvProgram3D::~rvProgram3D() = default;

void rvProgram3D::Build() {
  DefaultSource(m_stages[StageVertex], g_program3DVertex);
  if (m_attributeNames.empty()) m_attributeNames = {"position"};
  Link();
  m_mvpLocation = Location("MVP");
  if (m_mvpLocation >= 0) glUniformMatrix4fv(m_mvpLocation, 1, GL_FALSE, &m_mvp[0][0]);
}

void rvProgram3D::Bind() {
  rvProgram::Bind();
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  if (m_mvpLocation >= 0) {
    const RenderTarget* target = g_pCurrentRenderTarget ? g_pCurrentRenderTarget : &g_defaultRenderTarget;
    m_mvp = target->m_viewProjection;
    glUniformMatrix4fv(m_mvpLocation, 1, GL_FALSE, &m_mvp[0][0]);
  }
}

void rvProgram3D::Unbind() {
  glDisable(GL_DEPTH_TEST);
  glUseProgram(0);
  g_pCurrentProgram = nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Ready-made 2D programs
// ---------------------------------------------------------------------------

namespace {

// The texture programs' unbind: texture unit 0 emptied, then the 2D unbind.
void UnbindTextureProgram(rvProgram2D& program) {
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  program.rvProgram2D::Unbind();
}

}  // namespace

rvFillColorProgram2D::~rvFillColorProgram2D() = default;

void rvFillColorProgram2D::Build() {
  DefaultSource(m_stages[StageFragment], g_fillColorFragment);
  rvProgram2D::Build();
  m_fillColorLocation = Location("FillColor");
  UploadColor(m_fillColorLocation, m_fillColor);
}

void rvFillColorProgram2D::Bind() {
  rvProgram2D::Bind();
  UploadColor(m_fillColorLocation, m_fillColor);
}

rvTexColorProgram2D::~rvTexColorProgram2D() = default;

void rvTexColorProgram2D::Build() {
  DefaultSource(m_stages[StageFragment], g_texColorFragment);
  rvProgram2D::Build();
}

void rvTexColorProgram2D::Bind() {
  // The first read of an image ticks the loading screen, which draws a frame
  // with its own programs: read before this program takes the GL state.
  const GLuint texture = m_textureSlot.GetTexture();
  rvProgram2D::Bind();
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
}

void rvTexColorProgram2D::SetTexture(const std::string& file) {
  m_textureSlot.m_file = file;
  m_textureSlot.Resolve(nullptr);
  m_texWidth = m_texHeight = 0;
  if (m_textureSlot.m_image) {
    m_texWidth = m_textureSlot.m_image->m_width;
    m_texHeight = m_textureSlot.m_image->m_height;
  } else if (const RenderTarget* target = LinkedBufferTarget(m_textureSlot.m_effect, false)) {
    m_texWidth = target->m_width;
    m_texHeight = target->m_height;
  }
}

void rvTexColorProgram2D::BindTexture(GLuint texture) {
  rvProgram2D::Bind();
  glDisable(GL_DEPTH_TEST);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &m_texWidth);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &m_texHeight);
}

void rvTexColorProgram2D::Unbind() { UnbindTextureProgram(*this); }

void rvTexColorProgram2D::DrawFull(int flags) {
  if (m_texWidth < 1 || m_texHeight < 1) return;
  const float ax = (flags & RECT_LEFT) ? 0.0f : (flags & RECT_RIGHT) ? 1.0f : 0.5f;
  const float ay = (flags & RECT_TOP) ? 0.0f : (flags & RECT_BOTTOM) ? 1.0f : 0.5f;
  DrawRect(flags, ax, ay, 1.0f, 1.0f);
}

void rvTexColorProgram2D::DrawRect(int flags, float x, float y, float w, float h) {
  // The texture keeps its aspect ratio in pixels.
  const float vw = static_cast<float>(m_viewport[2]), vh = static_cast<float>(m_viewport[3]);
  if (m_texWidth > 0 && m_texHeight > 0 && vw > 0.0f && vh > 0.0f) {
    if (flags & RECT_KEEP_ASPECT_W) {
      w = (static_cast<float>(m_texWidth) / static_cast<float>(m_texHeight)) * (vh * h) / vw;
    } else if (flags & RECT_KEEP_ASPECT_H) {
      h = (static_cast<float>(m_texHeight) / static_cast<float>(m_texWidth)) * (vw * w) / vh;
    }
  }
  rvProgram2D::DrawRect(flags, x, y, w, h);
}

void rvTexAlphaProgram2D::Build() {
  DefaultSource(m_stages[StageFragment], g_texAlphaFragment);
  rvProgram2D::Build();
}

void rvTexAlphaProgram2D::Unbind() { UnbindTextureProgram(*this); }

rvTexDepthProgram2D::~rvTexDepthProgram2D() = default;

void rvTexDepthProgram2D::Build() {
  DefaultSource(m_stages[StageFragment], g_texDepthFragment);
  rvProgram2D::Build();
  m_zFarLocation = Location("zFar");
  if (m_zFarLocation >= 0) glUniform1f(m_zFarLocation, m_zFar);
  m_zNearLocation = Location("zNear");
  if (m_zNearLocation >= 0) glUniform1f(m_zNearLocation, m_zNear);
}

void rvTexDepthProgram2D::Unbind() { UnbindTextureProgram(*this); }

void rvTexStencilProgram2D::Build() {
  DefaultSource(m_stages[StageFragment], g_texStencilFragment);
  rvProgram2D::Build();
}

void rvTexStencilProgram2D::Unbind() { UnbindTextureProgram(*this); }

// ---------------------------------------------------------------------------
// [SECTION] Shared fill program
// ---------------------------------------------------------------------------

rvFillColorProgram2D& FillColorProgram() {
  // Made on first use and kept until exit, like the shared rectangle.
  static rvFillColorProgram2D* program = new rvFillColorProgram2D();
  return *program;
}

void SetFillColor(float r, float g, float b, float a) {
  rvFillColorProgram2D& program = FillColorProgram();
  program.rvProgram2D::Bind();
  program.m_fillColor[0] = r;
  program.m_fillColor[1] = g;
  program.m_fillColor[2] = b;
  program.m_fillColor[3] = a;
  program.UploadColor(program.m_fillColorLocation, program.m_fillColor);
}
