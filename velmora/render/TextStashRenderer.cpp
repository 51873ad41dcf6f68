// Screen text renderer and its GL 3.3 glyph backend.
//
// [SECTION] Glyph program
// [SECTION] Backend callbacks
// [SECTION] Renderer
#include "render/TextStashRenderer.h"

#include <new>
#include <string>
#include <utility>

#include "Loader/DataPack.h"
#include "core/AppLog.h"
#include "render/GLShaderBuild.h"

//-----------------------------------------------------------------------------
// [SECTION] Glyph program
//-----------------------------------------------------------------------------

namespace {

// Glyphs sit at z = 1: with the projection below they land on the far plane.
const char* const kFontVertexShader =
    "#version 330\r\n"
    "layout(location = 0) in vec2 vert;\r\n"
    "layout(location = 1) in vec2 coord;\r\n"
    "layout(location = 2) in vec4 color;\r\n"
    "uniform mat4 projMat;\r\n"
    "out vec2 T;\r\n"
    "out vec4 C;\r\n"
    "void main() {\r\n"
    "  T = coord;\r\n"
    "  C = color;\r\n"
    "  gl_Position = projMat * vec4(vert.x, vert.y, 1.0, 1.0);\r\n"
    "}\r\n";

const char* const kFontFragmentShader =
    "#version 330\r\n"
    "uniform sampler2D texture0;\r\n"
    "in vec2 T;\r\n"
    "in vec4 C;\r\n"
    "out vec4 Color;\r\n"
    "void main() {\r\n"
    "  Color = C;\r\n"
    "  Color.a *= texture(texture0, T).r;\r\n"
    "}\r\n";


}  // namespace

GLuint BuildFontProgram() {
  // Build failures of this fixed program are not reported: the overlays and
  // atlas text simply draw nothing.
  const GLuint vs = CompileGLShader(GL_VERTEX_SHADER, kFontVertexShader, nullptr);
  const GLuint fs = vs ? CompileGLShader(GL_FRAGMENT_SHADER, kFontFragmentShader, nullptr) : 0;
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    return 0;
  }
  GLuint program = glCreateProgram();
  if (program) {
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    if (!CheckGLLink(program, nullptr)) {
      glDeleteProgram(program);
      program = 0;
    }
  }
  glDeleteShader(vs);
  glDeleteShader(fs);
  return program;
}

//-----------------------------------------------------------------------------
// [SECTION] Backend callbacks
//-----------------------------------------------------------------------------

namespace {

void SetIdentity(float* m) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

}  // namespace

int FontBackendCreate(void* userPtr, int width, int height) {
  auto* gl = static_cast<FontBackendGL3*>(userPtr);
  if (!gl) return 0;
  if (gl->texture) glDeleteTextures(1, &gl->texture);
  gl->texture = 0;
  glGenTextures(1, &gl->texture);
  if (!gl->texture) return 0;

  if (gl->program) glDeleteProgram(gl->program);
  gl->program = BuildFontProgram();
  if (!gl->program) return 0;
  gl->texture0Location = glGetUniformLocation(gl->program, "texture0");
  gl->projMatLocation = glGetUniformLocation(gl->program, "projMat");
  SetIdentity(gl->projMat);

  if (gl->vertexArray) glDeleteVertexArrays(1, &gl->vertexArray);
  gl->vertexArray = 0;
  glGenVertexArrays(1, &gl->vertexArray);
  if (!gl->vertexArray) return 0;
  if (gl->vertexBuffer) glDeleteBuffers(1, &gl->vertexBuffer);
  gl->vertexBuffer = 0;
  glGenBuffers(1, &gl->vertexBuffer);
  if (!gl->vertexBuffer) return 0;

  gl->width = width;
  gl->height = height;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, gl->texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, width, height, 0, GL_RED, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  return 1;
}

int FontBackendResize(void* userPtr, int width, int height) { return FontBackendCreate(userPtr, width, height); }

void FontBackendUpdate(void* userPtr, int* rect, const unsigned char* data) {
  auto* gl = static_cast<FontBackendGL3*>(userPtr);
  if (!gl || !gl->texture) return;
  glBindTexture(GL_TEXTURE_2D, gl->texture);
  // Left in place afterwards: every other upload sets its own unpack state.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, gl->width);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, rect[0]);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, rect[1]);
  glTexSubImage2D(GL_TEXTURE_2D, 0, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1], GL_RED,
                  GL_UNSIGNED_BYTE, data);
}

void FontBackendDraw(void* userPtr, const float* verts, const float* tcoords, const unsigned int* colors,
                     int nverts) {
  auto* gl = static_cast<FontBackendGL3*>(userPtr);
  if (!gl || !gl->texture || !gl->program || !gl->vertexArray || !gl->vertexBuffer || nverts <= 0) return;
  glUseProgram(gl->program);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, gl->texture);
  glUniform1i(gl->texture0Location, 0);
  glUniformMatrix4fv(gl->projMatLocation, 1, GL_FALSE, gl->projMat);
  glBindVertexArray(gl->vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, gl->vertexBuffer);

  // Three blocks in one buffer: positions, texture coordinates, colours.
  const GLsizeiptr n = nverts;
  glBufferData(GL_ARRAY_BUFFER, n * 20, nullptr, GL_STATIC_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, n * 8, verts);
  glBufferSubData(GL_ARRAY_BUFFER, n * 8, n * 8, tcoords);
  glBufferSubData(GL_ARRAY_BUFFER, n * 16, n * 4, colors);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 8, reinterpret_cast<const void*>(0));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 8, reinterpret_cast<const void*>(n * 8));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, 4, reinterpret_cast<const void*>(n * 16));

  glDrawArrays(GL_TRIANGLES, 0, nverts);

  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
}

void FontBackendDelete(void* userPtr) {
  auto* gl = static_cast<FontBackendGL3*>(userPtr);
  if (!gl) return;
  if (gl->texture) glDeleteTextures(1, &gl->texture);
  if (gl->program) glDeleteProgram(gl->program);
  if (gl->vertexArray) glDeleteVertexArrays(1, &gl->vertexArray);
  if (gl->vertexBuffer) glDeleteBuffers(1, &gl->vertexBuffer);
  delete gl;
}

//-----------------------------------------------------------------------------
// [SECTION] Renderer
//-----------------------------------------------------------------------------

TextStashRenderer::~TextStashRenderer() { DestroyFontContext(); }

void TextStashRenderer::Create(int width, int height) {
  DestroyFontContext();
  auto* backend = new (std::nothrow) FontBackendGL3();
  if (!backend) return;
  FONSparams params;
  params.width = width;
  params.height = height;
  params.flags = FONS_ZERO_TOPLEFT;
  params.userPtr = backend;
  params.renderCreate = FontBackendCreate;
  params.renderResize = FontBackendResize;
  params.renderUpdate = FontBackendUpdate;
  params.renderDraw = FontBackendDraw;
  params.renderDelete = FontBackendDelete;
  // On failure the atlas has already released the backend record.
  m_context = fonsCreateInternal(&params);
  m_backend = m_context ? backend : nullptr;
}

void TextStashRenderer::DestroyFontContext() {
  fonsDeleteInternal(m_context);
  m_context = nullptr;
  m_backend = nullptr;
  m_fontId = FONS_INVALID;
}

bool TextStashRenderer::AddFont(const char* path) {
  if (!m_context) Create(kDefaultAtlasSize, kDefaultAtlasSize);
  int size = 0;
  const char* name = path ? path : "";
  FileBuffer data = DataPack::Get().LoadFile(name, size);
  m_fontId = FONS_INVALID;
  if (!data || size <= 0) {
    // A caller may look a missing font up every frame: the log, which is
    // never trimmed, is told once per name.
    if (m_reportedMisses.insert(name).second) AppLog::Get().AddLog("[TextStash] Font not found: %s\n", name);
    return false;
  }
  std::string reason;
  if (m_context) m_fontId = fonsAddFontMem(m_context, name, std::move(data), size, &reason);
  if (m_fontId == FONS_INVALID && !reason.empty())
    AppLog::Get().AddLog("[TextStash] Not a usable font: %s (%s)\n", name, reason.c_str());
  return m_fontId != FONS_INVALID;
}

void TextStashRenderer::BeginFrame() {
  if (!m_context) Create(kDefaultAtlasSize, kDefaultAtlasSize);
  glGetIntegerv(GL_VIEWPORT, m_viewport);
  if (m_backend) {
    // x' = 2x / w - 1, y' = 1 - 2y / h, z' = 2z - 1: pixel (0, 0) is the
    // viewport's top-left corner.
    float* m = m_backend->projMat;
    for (int i = 0; i < 16; ++i) m[i] = 0.0f;
    const float w = static_cast<float>(m_viewport[2]), h = static_cast<float>(m_viewport[3]);
    m[0] = w > 0.0f ? 2.0f / w : 0.0f;
    m[5] = h > 0.0f ? -2.0f / h : 0.0f;
    m[10] = 2.0f;
    m[12] = -1.0f;
    m[13] = 1.0f;
    m[14] = -1.0f;
    m[15] = 1.0f;
  }
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  fonsSetFont(m_context, m_fontId);
}

void TextStashRenderer::SetSize(float pixels) { fonsSetSize(m_context, pixels); }
void TextStashRenderer::SetColor(unsigned int abgr) { fonsSetColor(m_context, abgr); }
void TextStashRenderer::SetAlign(int align) { fonsSetAlign(m_context, align); }

float TextStashRenderer::DrawText(float x, float y, const char* text) {
  return m_context ? fonsDrawText(m_context, x, y, text) : x;
}
