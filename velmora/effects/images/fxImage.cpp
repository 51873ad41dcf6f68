// fxImage and its 3D program. See fxImage.h.
//
// [SECTION] The 3D quad program
// [SECTION] Billboard
// [SECTION] Class description and attributes
// [SECTION] Life cycle
// [SECTION] Drawing
#include "effects/images/fxImage.h"

#include <glm/gtc/quaternion.hpp>

#include <cmath>

#include "effects/EffectBlend.h"
#include "effects/buffers/fxBuffer.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "render/VectorDisplay.h"
#include "sequence/rvSequence.h"

//-----------------------------------------------------------------------------
// [SECTION] The 3D quad program
//-----------------------------------------------------------------------------

namespace {

const char* const kImage3dVertex =
    "SHADER_HEADER\n"
    "layout(location = 0) in vec4 vsPosition;\n"
    "layout(location = 1) in vec2 vsTexCoord;\n"
    "uniform mat4 MVP;\n"
    "out vec2 fsTexCoord;\n"
    "void main()\n"
    "{\n"
    "  fsTexCoord = vsTexCoord;\n"
    "  gl_Position = MVP * vsPosition;\n"
    "}\n";

const char* const kImage3dFragment =
    "SHADER_HEADER\n"
    "in vec2 fsTexCoord;\n"
    "out vec4 FragColor;\n"
    "uniform sampler2D TEX_ID;\n"
    "uniform vec4 MUL_COLOR;\n"
    "uniform vec4 ADD_COLOR;\n"
    "void main()\n"
    "{\n"
    "  FragColor = texture(TEX_ID, fsTexCoord) * MUL_COLOR + ADD_COLOR;\n"
    "}\n";

// The 2D draw's colour formula when nothing is added and nothing needs a
// clamp (see fxImage::Modulates).
const char* const kModulateFragment =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 fragColor;\n"
    "uniform sampler2D iChannel0;\n"
    "uniform vec4 vMulColor;\n"
    "void main()\n"
    "{\n"
    "  fragColor = texture(iChannel0, TexCoords) * vMulColor;\n"
    "}\n";

void UploadVec4(int location, const glm::vec4& v) {
  if (location >= 0) glUniform4f(location, v.x, v.y, v.z, v.w);
}

}  // namespace

void shImage3d::Build() {
  if (m_stages[StageVertex].source == nullptr) m_stages[StageVertex].source = kImage3dVertex;
  if (m_stages[StageFragment].source == nullptr) m_stages[StageFragment].source = kImage3dFragment;
  m_attributeNames = {"vsPosition", "vsTexCoord"};
  rvProgram3D::Build();
  m_mulColorLocation = Location("MUL_COLOR");
  m_addColorLocation = Location("ADD_COLOR");
  m_texIdLocation = Location("TEX_ID");
  UploadVec4(m_mulColorLocation, m_mulColor);
  UploadVec4(m_addColorLocation, m_addColor);
  if (m_texIdLocation >= 0) glUniform1i(m_texIdLocation, m_texId);
}

void shImage3d::Bind() {
  rvProgram3D::Bind();
  UploadVec4(m_mulColorLocation, m_mulColor);
  UploadVec4(m_addColorLocation, m_addColor);
}

//-----------------------------------------------------------------------------
// [SECTION] Billboard
//-----------------------------------------------------------------------------

glm::mat4 BillboardMatrix(const glm::mat4& matrix, const glm::vec3& camera) {
  const glm::vec3 axis(matrix[2]);
  const glm::vec3 position(matrix[3]);
  const glm::vec3 toCamera = camera - position;
  // A flattened quad or a camera sitting on it has no direction to turn to;
  // normalising would fill the matrix with NaN.
  if (glm::dot(axis, axis) == 0.0f || glm::dot(toCamera, toCamera) == 0.0f) return matrix;
  const glm::vec3 n = glm::normalize(axis);
  const glm::vec3 d = glm::normalize(toCamera);
  // The half-angle quaternion of the arc from n to d; it vanishes when the
  // two point exactly apart, and that case keeps the quad as it is.
  const glm::vec3 c = glm::cross(n, d);
  glm::quat q(1.0f + glm::dot(n, d), c.x, c.y, c.z);
  const float length = glm::length(q);
  if (!(length > 0.0f)) return matrix;
  q = q / length;
  glm::mat4 turned = glm::mat4_cast(q) * matrix;
  turned[3] = matrix[3];
  return turned;
}

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

namespace {

const char* const kModeNames[2] = {"Image 2d", "Image 3d"};
const char* const kBlendNames[4] = {"Copy", "Alpha", "Add", "Max"};

// The picture as GL names it: a bound texture and its size.
struct BoundTexture {
  GLuint texture = 0;
  int width = 0, height = 0;
};

// Binds `texture` on unit 0 and reads its size.
BoundTexture BindOnUnit0(GLuint texture) {
  BoundTexture bound;
  bound.texture = texture;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &bound.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &bound.height);
  return bound;
}

// Glow capture around one draw: the current display's pass when glow is
// asked and a display is set up on the target. Without one the picture is
// drawn straight into the target, unglowed, rather than into a pass that is
// never composited.
class GlowScope {
 public:
  explicit GlowScope(bool glow) {
    vector_display* display = g_pCurrentVectorDisplay;
    if (glow && display && display->m_setup == 1) {
      m_display = display;
      m_previous = display->BeginPass();
    }
  }
  ~GlowScope() {
    if (m_display) m_display->EndPass(m_previous);
  }
  GlowScope(const GlowScope&) = delete;
  GlowScope& operator=(const GlowScope&) = delete;

 private:
  vector_display* m_display = nullptr;
  GLuint m_previous = 0;
};

}  // namespace

ClassDesc* fxImage::GetClassDesc() {
  static ClassDesc desc("fxImage", fxBase::GetClassDesc(), &fxImage::Create);
  return &desc;
}

fxBase* fxImage::Create(ClassDesc* desc) { return CreateZeroFilled<fxImage>(desc); }

ClassDesc* fxImage::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrFile, "PNG File", RV_OFFSETOF(fxImage, m_pngFile))
      ->SetFileFilter(".png|.jpg")
      ->SetDefaultDir("img");
  desc->AddAttribute(AttrString, "FX Buffer", RV_OFFSETOF(fxImage, m_fxBuffer));
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  desc->AddAttribute(AttrEnum, "ImageMode", RV_OFFSETOF(fxImage, m_imageMode))->SetEnumNames(kModeNames, 2);
  desc->AddAttribute(AttrVec2, "2d/ScreenPos", RV_OFFSETOF(fxImage, m_screenPos))->SetRange(-2.0f, 2.0f);
  desc->AddAttribute(AttrFloat, "2d/ScreenSize", RV_OFFSETOF(fxImage, m_screenSize))->SetRange(0.01f, 2.0f);
  desc->AddAttribute(AttrBool, "2d/Fullscreen", RV_OFFSETOF(fxImage, m_fullscreen));
  desc->AddAttribute(AttrTransform3D, "3d/Transform", RV_OFFSETOF(fxImage, m_transform));
  desc->AddAttribute(AttrBool, "3d/DepthBuffer", RV_OFFSETOF(fxImage, m_depthBuffer));
  desc->AddAttribute(AttrBool, "3d/Culling", RV_OFFSETOF(fxImage, m_culling));
  desc->AddAttribute(AttrBool, "3d/Billboard", RV_OFFSETOF(fxImage, m_billboard));
  desc->AddAttribute(AttrBool, "KeepRatioX", RV_OFFSETOF(fxImage, m_keepRatioX));
  desc->AddAttribute(AttrBool, "KeepRatioY", RV_OFFSETOF(fxImage, m_keepRatioY));
  desc->AddAttribute(AttrBool, "RepeatUV", RV_OFFSETOF(fxImage, m_repeatUV));
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  desc->AddAttribute(AttrFloat, "Intensity", RV_OFFSETOF(fxImage, m_intensity))->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrRGBA, "ColorMul", RV_OFFSETOF(fxImage, m_colorMul))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrRGBA, "ColorAdd", RV_OFFSETOF(fxImage, m_colorAdd))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrEnum, "ColorBlend", RV_OFFSETOF(fxImage, m_colorBlend))->SetEnumNames(kBlendNames, 4);
  desc->AddAttribute(AttrBool, "Glow", RV_OFFSETOF(fxImage, m_glow));
  return desc;
}

fxImage::fxImage(ClassDesc* desc)
    : fxBase(desc),
      m_buffer(nullptr),
      m_screenPos(0.0f),
      m_colorMul(1.0f),
      m_colorAdd(0.0f),
      m_intensity(1.0f),
      m_colorBlend(BlendAlpha),
      m_imageMode(Image2d),
      m_screenSize(0.5f),
      m_fullscreen(false),
      m_quadBuffer(0),
      m_quadArray(0),
      m_depthBuffer(false),
      m_culling(false),
      m_billboard(false),
      m_keepRatioX(false),
      m_keepRatioY(true),
      m_repeatUV(false),
      m_textureLoaded(false),
      m_glow(false),
      m_modulateShortcut(true) {
  m_modulateProgram.m_stages[StageFragment].source = kModulateFragment;
}

fxImage::~fxImage() { Kill(); }

// Sequence files written before the 2D settings had their group name them
// "ScreenPos", "ScreenSize" and "Fullscreen".
void fxImage::RenameAttribute(std::string& name) {
  if ((name.size() >= 6 && name.compare(0, 6, "Screen") == 0) || name == "Fullscreen") name = "2d/" + name;
}

//-----------------------------------------------------------------------------
// [SECTION] Life cycle
//-----------------------------------------------------------------------------

void fxImage::Init() {
  m_textureLoaded = false;
  m_buffer = nullptr;
  if (!m_fxBuffer.empty() && m_owner) {
    fxBase* item = m_owner->FindItem(m_fxBuffer);
    if (item && item->IsKindOf("fxBufferDisplay")) m_buffer = static_cast<fxBufferDisplay*>(item);
  } else if (!m_pngFile.empty() && m_pngFile != "img/") {
    m_program2d.SetTexture(m_pngFile);
    // A file that could not be read still leaves a 0 x 0 entry in the image
    // cache; only a picture with a size counts as loaded.
    m_textureLoaded = m_program2d.m_texWidth > 0 && m_program2d.m_texHeight > 0;
  }
  m_program2d.Build();
  if (m_imageMode == Image3d) {
    m_program3d.Build();
    CreateQuad();
  }
}

void fxImage::Kill() {
  m_program2d.Release();
  m_modulateProgram.Release();
  m_program3d.Release();
  ReleaseQuad();
}

void fxImage::CreateQuad() {
  if (m_quadArray != 0) return;
  glGenBuffers(1, &m_quadBuffer);
  glGenVertexArrays(1, &m_quadArray);
  glBindVertexArray(m_quadArray);
  glBindBuffer(GL_ARRAY_BUFFER, m_quadBuffer);
  constexpr GLsizei kStride = 5 * sizeof(float);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, kStride, nullptr);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, kStride, reinterpret_cast<const void*>(3 * sizeof(float)));
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void fxImage::ReleaseQuad() {
  if (m_quadArray != 0) glDeleteVertexArrays(1, &m_quadArray);
  if (m_quadBuffer != 0) glDeleteBuffers(1, &m_quadBuffer);
  m_quadArray = m_quadBuffer = 0;
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

bool fxImage::BufferRunning() const { return m_buffer && m_buffer->m_state == StateRunning; }

glm::vec4 fxImage::MultiplyColor() const { return m_colorMul * (GetFadeFactor() * m_intensity); }

glm::vec4 fxImage::AddColor() const { return m_colorAdd * (GetFadeFactor() * m_intensity); }

void fxImage::Update() {
  if (!m_textureLoaded && !BufferRunning()) return;
  if (m_imageMode == Image3d)
    Draw3d();
  else
    Draw2d();
}

namespace {

// The colour texture of a buffer effect's target, its GL objects made first
// when nothing has drawn into it yet.
GLuint BufferTexture(fxBufferDisplay* buffer) {
  RenderTarget* target = buffer->GetBuffer();
  if (!target || !target->m_colorFramebuffer) return 0;
  return target->m_colorFramebuffer->GL()->m_colorTexture;
}

}  // namespace

bool fxImage::Modulates(GLuint texture, const glm::vec4& mul, const glm::vec4& add) const {
  if (!m_modulateShortcut || texture == 0 || add != glm::vec4(0.0f)) return false;
  for (int i = 0; i < 4; ++i)
    if (!(mul[i] >= 0.0f && mul[i] <= 1.0f)) return false;
  GLint format = 0;
  glGetTextureLevelParameteriv(texture, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  return format == GL_RGBA8 || format == GL_RGB8;
}

void fxImage::Draw2d() {
  GlowScope glow(m_glow);
  const glm::vec4 mul = MultiplyColor(), add = AddColor();
  const bool buffer = BufferRunning();
  const GLuint texture = buffer ? BufferTexture(m_buffer) : m_program2d.m_textureSlot.GetTexture();
  const bool modulates = Modulates(texture, mul, add);
  rvTexColorProgram2D& program = modulates ? m_modulateProgram : m_program2d;
  if (buffer || modulates)
    program.BindTexture(texture);
  else
    program.Bind();
  ApplyEffectBlend(m_colorBlend, AlphaEquation::Max);
  for (int i = 0; i < 4; ++i) {
    program.m_mulColor[i] = mul[i];
    program.m_addColor[i] = add[i];
  }
  program.UploadColor(program.m_mulColorLocation, program.m_mulColor);
  program.UploadColor(program.m_addColorLocation, program.m_addColor);

  const int flags = (m_repeatUV ? RECT_COVER : 0) | (m_keepRatioX ? RECT_KEEP_ASPECT_H : 0) |
                    (m_keepRatioY ? RECT_KEEP_ASPECT_W : 0);
  if (program.m_texWidth > 0 && program.m_texHeight > 0) {
    if (m_fullscreen)
      program.DrawFull(flags);
    else
      program.DrawRect(flags, (m_screenPos.x + 1.0f) * 0.5f, (m_screenPos.y + 1.0f) * 0.5f, m_screenSize,
                       m_screenSize);
  }
  program.Unbind();
}

void fxImage::Draw3d() {
  const GLuint texture = BufferRunning() ? BufferTexture(m_buffer) : m_program2d.m_textureSlot.GetTexture();
  if (texture == 0) return;
  CreateQuad();
  GlowScope glow(m_glow);
  m_program3d.m_mulColor = MultiplyColor();
  m_program3d.m_addColor = AddColor();
  m_program3d.Bind();
  const BoundTexture bound = BindOnUnit0(texture);
  // A texture without a size would make the half extents 0 / 0.
  if (bound.width > 0 && bound.height > 0) {
    const float w = static_cast<float>(bound.width), h = static_cast<float>(bound.height);
    const float sx = m_keepRatioY ? w / h : 1.0f;
    const float sy = (m_keepRatioX && !m_keepRatioY) ? h / w : 1.0f;
    m_transform.Update();
    glm::mat4 matrix = m_transform.matrix;
    if (m_billboard) {
      const RenderTarget* target = g_pCurrentRenderTarget ? g_pCurrentRenderTarget : &g_defaultRenderTarget;
      matrix = BillboardMatrix(matrix, glm::vec3(target->m_invView[3]));
    }
    const float local[6][5] = {{-sx, sy, 0, 0, 1}, {-sx, -sy, 0, 0, 0}, {sx, -sy, 0, 1, 0},
                               {-sx, sy, 0, 0, 1}, {sx, -sy, 0, 1, 0},  {sx, sy, 0, 1, 1}};
    float vertices[6][5];
    for (int i = 0; i < 6; ++i) {
      const glm::vec4 p = matrix * glm::vec4(local[i][0], local[i][1], local[i][2], 1.0f);
      vertices[i][0] = p.x;
      vertices[i][1] = p.y;
      vertices[i][2] = p.z;
      vertices[i][3] = local[i][3];
      vertices[i][4] = local[i][4];
    }
    glBindBuffer(GL_ARRAY_BUFFER, m_quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
    ApplyEffectBlend(m_colorBlend, AlphaEquation::Max);
    if (m_depthBuffer) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
    if (m_culling) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
    glBindVertexArray(m_quadArray);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    // Culling is this draw's own choice; what draws next has not asked for it.
    glDisable(GL_CULL_FACE);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  m_program3d.Unbind();
}
