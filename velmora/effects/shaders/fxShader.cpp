// Shader effects. See fxShader.h.
//
// [SECTION] Stage files
// [SECTION] Class descriptions and attributes
// [SECTION] Compile and textures
// [SECTION] Drawing
#include "effects/shaders/fxShader.h"

#include <cstdio>
#include <ctime>

#include "Loader/DataPack.h"
#include "core/AppLog.h"
#include "effects/buffers/fxBuffer.h"
#include "sequence/rvSequence.h"

//-----------------------------------------------------------------------------
// [SECTION] Stage files
//-----------------------------------------------------------------------------

bool ShaderSourceFile::CheckPathChanged() {
  if (m_path == m_lastPath) return false;
  m_lastPath = m_path;
  m_changedAt = static_cast<int64_t>(std::time(nullptr));
  if (m_path.empty()) m_source.clear();
  return true;
}

bool ShaderSourceFile::LoadSource() {
  m_source.clear();
  if (m_path.empty()) return true;
  int size = 0;
  FileBuffer bytes = DataPack::Get().ReadFile(m_path, size);
  if (bytes && size > 0) m_source.assign(bytes.get(), static_cast<size_t>(size));
  return !m_source.empty();
}

//-----------------------------------------------------------------------------
// [SECTION] Class descriptions and attributes
//-----------------------------------------------------------------------------

namespace {

const char* const kBlendNames[4] = {"Copy", "Alpha", "Add", "Max"};
const char* const kTimeModeNames[4] = {"Fx", "Sequence", "Demo", "System"};

int TimeSourceOffset() {
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Winvalid-offsetof\"")
  return static_cast<int>(offsetof(fxShaderBase, m_program) + offsetof(rvProgram, m_timeSource));
  _Pragma("GCC diagnostic pop")
}

}  // namespace

ClassDesc* fxShaderBase::GetClassDesc() {
  static ClassDesc desc("fxShaderBase", fxBase::GetClassDesc(), &fxShaderBase::Create);
  return &desc;
}

fxBase* fxShaderBase::Create(ClassDesc* desc) { return CreateZeroFilled<fxShaderBase>(desc); }

ClassDesc* fxShaderBase::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrBool, "Enabled", RV_OFFSETOF(fxShaderBase, m_enabled));
  desc->AddAttribute(AttrBool, "AutoCompilation", RV_OFFSETOF(fxShaderBase, m_autoCompilation));
  desc->AddAttribute(AttrEnum, "BlendMode", RV_OFFSETOF(fxShaderBase, m_blendMode))->SetEnumNames(kBlendNames, 4);
  desc->AddAttribute(AttrBool, "DepthBuffer", RV_OFFSETOF(fxShaderBase, m_depthBuffer));
  desc->AddAttribute(AttrEnum, "TimeMode", TimeSourceOffset())->SetEnumNames(kTimeModeNames, 4);
  desc->AddAttribute(AttrButton, "Compile", RV_OFFSETOF(fxShaderBase, m_onCompile))->SetTooltip("Compil shader");
  desc->AddAttribute(AttrFile, "Shaders/Vertex", RV_OFFSETOF(fxShaderBase, m_vertex.m_path))
      ->SetFileFilter(".vs")
      ->SetDefaultDir("shader");
  desc->AddAttribute(AttrFile, "Shaders/Geometry", RV_OFFSETOF(fxShaderBase, m_geometry.m_path))
      ->SetFileFilter(".gs")
      ->SetDefaultDir("shader");
  desc->AddAttribute(AttrFile, "Shaders/Fragment", RV_OFFSETOF(fxShaderBase, m_fragment.m_path))
      ->SetFileFilter(".fs|.glsl")
      ->SetDefaultDir("shader");
  const int texturesOffset = RV_OFFSETOF(fxShaderBase, m_textures);
  for (int i = 0; i < kTextureCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Textures/Tex%d", i);
    desc->AddAttribute(AttrTexture, name, texturesOffset + i * static_cast<int>(sizeof(TextureSlot)))
        ->SetFileFilter(".png|.jpg");
  }
  desc->AddAttribute(AttrFloat, "PostProcess/GlowAlpha", RV_OFFSETOF(fxShaderBase, m_glowAlpha))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "PostProcess/BlurDepth", RV_OFFSETOF(fxShaderBase, m_blurDepth))->SetRange(0.0f, 1.0f);
  AddDebugSlotAttribute(desc, "Debug/DrawColor", RV_OFFSETOF(fxShaderBase, m_drawColor));
  AddDebugSlotAttribute(desc, "Debug/DrawAlpha", RV_OFFSETOF(fxShaderBase, m_drawAlpha));
  AddDebugSlotAttribute(desc, "Debug/DrawDepth", RV_OFFSETOF(fxShaderBase, m_drawDepth));
  AddDebugSlotAttribute(desc, "Debug/DrawGlow", RV_OFFSETOF(fxShaderBase, m_drawGlow));
  AddDebugSlotAttribute(desc, "Debug/DrawBlur", RV_OFFSETOF(fxShaderBase, m_drawBlur));
  return desc;
}

fxShaderBase::fxShaderBase(ClassDesc* desc)
    : fxBase(desc),
      m_enabled(true),
      m_autoCompilation(true),
      m_glowAlpha(0.0f),
      m_blurDepth(0.0f),
      m_drawDepth(0),
      m_drawAlpha(0),
      m_drawColor(0),
      m_drawGlow(0),
      m_drawBlur(0),
      m_blendMode(BlendCopy),
      m_depthBuffer(false),
      m_onCompile(&fxShaderBase::OnCompile) {
  m_vertex.m_stage = StageVertex;
  m_geometry.m_stage = StageGeometry;
  m_fragment.m_stage = StageFragment;
}

fxShaderBase::~fxShaderBase() { m_program.Release(); }

ClassDesc* fxShader::GetClassDesc() {
  static ClassDesc desc("fxShader", fxShaderBase::GetClassDesc(), &fxShader::Create);
  return &desc;
}

fxBase* fxShader::Create(ClassDesc* desc) { return CreateZeroFilled<fxShader>(desc); }

fxShader::fxShader(ClassDesc* desc) : fxShaderBase(desc) {
  // The annotated uniforms register their attributes in a description of
  // this instance alone, at offsets inside m_values.
  auto* instance = new InstanceClassDesc(desc);
  m_classDesc = instance;
  m_program.SetValueArea(m_values, RV_OFFSETOF(fxShader, m_values), kValueWords, instance);
}

//-----------------------------------------------------------------------------
// [SECTION] Compile and textures
//-----------------------------------------------------------------------------

void fxShaderBase::OnCompile(fxBase* fx) { static_cast<fxShaderBase*>(fx)->Compile(true); }

void fxShaderBase::Compile(bool force) {
  ShaderSourceFile* files[3] = {&m_vertex, &m_geometry, &m_fragment};
  bool changed[3];
  bool any = false;
  for (int i = 0; i < 3; ++i) any |= (changed[i] = files[i]->CheckPathChanged());
  if (!any && !force) return;
  for (int i = 0; i < 3; ++i) {
    if (!changed[i] && !force) continue;
    files[i]->LoadSource();
    // An empty text leaves the stage out; for the vertex stage the 2D
    // program then puts in its own full-target vertex stage.
    const std::string& text = files[i]->m_source;
    m_program.m_stages[files[i]->m_stage].source = text.empty() ? nullptr : text.c_str();
  }
  m_program.m_fullDemo = (m_owner && m_owner->m_ownerFx) ? 1 : 0;
  AppLog::Get().AddLog("[fxShaderBase] compil shader %s\n", m_fragment.m_path.c_str());
  // The 2D build links and also puts in the full-target vertex stage when
  // the effect has none, and finds the colour controls.
  m_program.Build();
  m_errorText = ShaderErrorLog();
  // A stage file that is named but cannot be read would otherwise leave a
  // program that links without it and draws undefined colours.
  for (const ShaderSourceFile* file : files) {
    if (file->m_path.empty() || !file->m_source.empty()) continue;
    char line[512];
    std::snprintf(line, sizeof line, "ERROR: shader file %s missing or empty\n", file->m_path.c_str());
    AppLog::Get().AddLog("%s", line);
    m_errorText += line;
  }
}

void fxShaderBase::ResolveTextures() {
  for (TextureSlot& slot : m_textures) slot.Resolve(m_owner);
}

void fxShaderBase::Init() {
  Compile(false);
  ResolveTextures();
}

void fxShaderBase::OnAttributeLoaded(AttributeDesc* attribute) {
  if (attribute && attribute->m_name == "Shaders/Vertex") Compile(false);
}

void fxShaderBase::OnAttributeEdited(AttributeDesc* attribute) {
  if (!attribute) return;
  if (attribute->m_name.compare(0, 9, "Textures/") == 0) ResolveTextures();
  if (attribute->m_name.compare(0, 8, "Shaders/") == 0) Compile(false);
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

void fxShaderBase::Update() {
  if (!m_errorText.empty() || !m_enabled) return;
  m_program.Bind();
  // A program that did not build draws nothing and leaves no state behind.
  if (m_program.m_program == 0) {
    m_program.Unbind();
    return;
  }
  ApplyEffectBlend(m_blendMode, AlphaEquation::Max);
  if (m_depthBuffer) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
  uint32_t boundUnits = 0;
  for (int i = 0; i < kTextureCount; ++i) {
    const GLuint texture = m_textures[i].GetTexture();
    if (texture == 0) continue;
    glActiveTexture(GL_TEXTURE0 + i);
    glBindTexture(GL_TEXTURE_2D, texture);
    boundUnits |= 1u << i;
  }
  m_program.DrawFull(0);
  for (int i = 0; i < kTextureCount; ++i) {
    if (!(boundUnits & (1u << i))) continue;
    glActiveTexture(GL_TEXTURE0 + i);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glActiveTexture(GL_TEXTURE0);
  m_program.Unbind();
}
