// The basic colour pass. See fxPostColorBasic.h.
#include "effects/post/fxPostColorBasic.h"

#include "effects/buffers/fxBuffer.h"

// Color_Add reaches -1, and pow of a negative base is undefined in GLSL:
// the colour is clamped at 0 before the gamma curve.
namespace {

const char* const kBasicFragment = R"(SHADER_HEADER
in vec2 fragCoord;
out vec4 fragColor;
uniform sampler2D sFramebuffer;
uniform vec3 COLOR_MUL;
uniform vec3 COLOR_ADD;
uniform float GAMMA;
uniform float VIGNETTE;
void main()
{
  vec4 c = texture(sFramebuffer, fragCoord);
  float af = ALPHA_CLEAR == 0 ? c.a : ALPHA_CLEAR == 1 ? 0.0 : ALPHA_CLEAR == 2 ? 1.0 : 1.0 - c.a;
  if ((ALPHA_PROCESS == 1 && c.a >= 1.0) || (ALPHA_PROCESS == 2 && c.a <= 0.0)) {
    fragColor = vec4(c.rgb, af);
    return;
  }
  vec3 col = c.rgb * COLOR_MUL + COLOR_ADD;
  col = pow(max(col, vec3(0.0)), vec3(GAMMA));
  vec2 q = fragCoord;
  col *= 0.5 + 0.5 * pow(16.0 * q.x * q.y * (1.0 - q.x) * (1.0 - q.y), VIGNETTE);
  if (ALPHA_PROCESS == 1) {
    col = mix(col, c.rgb, c.a);
  } else if (ALPHA_PROCESS == 2) {
    col = mix(c.rgb, col, c.a);
  }
  fragColor = vec4(col, af);
}
)";

}  // namespace

shPostColorBasic::shPostColorBasic()
    : shPostPass("fxPostColorBasic"),
      m_alphaProcess(0),
      m_alphaClear(0),
      m_debugAlphai(0),
      m_debugColori(0),
      m_debugAlphaf(0),
      m_debugColorf(0) {
  m_colorMul.m_value = glm::vec3(1.0f);
  m_gamma.m_value = 0.4545f;
  m_vignette.m_value = 0.25f;
}

void shPostColorBasic::Build() {
  if (!BuildPass(g_postUnitVertex, kBasicFragment)) return;
  Locate(m_framebuffer, "sFramebuffer");
  Locate(m_colorMul, "COLOR_MUL");
  Locate(m_colorAdd, "COLOR_ADD");
  Locate(m_gamma, "GAMMA");
  Locate(m_vignette, "VIGNETTE");
  UploadUniform(m_framebuffer);
  UploadUniform(m_colorMul);
  UploadUniform(m_colorAdd);
  UploadUniform(m_gamma);
  UploadUniform(m_vignette);
}

void shPostColorBasic::Bind() {
  // A changed mode rebuilds the program at the bind below.
  SetConstInt("ALPHA_PROCESS", m_alphaProcess, false);
  SetConstInt("ALPHA_CLEAR", m_alphaClear, false);
  BindTargetCopy();
  if (m_program == 0) return;
  m_framebuffer.m_value = 0;
  UploadUniform(m_framebuffer);
  UploadUniform(m_colorMul);
  UploadUniform(m_colorAdd);
  UploadUniform(m_gamma);
  UploadUniform(m_vignette);
}

namespace {

const char* const kAlphaProcessNames[3] = {"Process All Pixels", "Process Alpha 0", "Process Alpha 1"};
const char* const kAlphaClearNames[4] = {"Keep Alpha", "Set Alpha 0", "Set Alpha 1", "Inv Alpha"};

}  // namespace

ClassDesc* fxPostColorBasic::GetClassDesc() {
  static ClassDesc desc("fxPostColorBasic", fxBase::GetClassDesc(), &fxPostColorBasic::Create);
  return &desc;
}

fxBase* fxPostColorBasic::Create(ClassDesc* desc) { return CreateZeroFilled<fxPostColorBasic>(desc); }

ClassDesc* fxPostColorBasic::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrVec3, "Color_Mul", RV_OFFSETOF(fxPostColorBasic, m_program.m_colorMul.m_value))
      ->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrVec3, "Color_Add", RV_OFFSETOF(fxPostColorBasic, m_program.m_colorAdd.m_value))
      ->SetRange(-1.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Gamma", RV_OFFSETOF(fxPostColorBasic, m_program.m_gamma.m_value))->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrFloat, "Vignette", RV_OFFSETOF(fxPostColorBasic, m_program.m_vignette.m_value))
      ->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  desc->AddAttribute(AttrEnum, "Alpha_Process", RV_OFFSETOF(fxPostColorBasic, m_program.m_alphaProcess))
      ->SetEnumNames(kAlphaProcessNames, 3);
  desc->AddAttribute(AttrEnum, "Alpha_Clear", RV_OFFSETOF(fxPostColorBasic, m_program.m_alphaClear))
      ->SetEnumNames(kAlphaClearNames, 4);
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  AddDebugSlotAttribute(desc, "Debug Colori", RV_OFFSETOF(fxPostColorBasic, m_program.m_debugColori));
  AddDebugSlotAttribute(desc, "Debug Alphai", RV_OFFSETOF(fxPostColorBasic, m_program.m_debugAlphai));
  AddDebugSlotAttribute(desc, "Debug Colorf", RV_OFFSETOF(fxPostColorBasic, m_program.m_debugColorf));
  AddDebugSlotAttribute(desc, "Debug Alphaf", RV_OFFSETOF(fxPostColorBasic, m_program.m_debugAlphaf));
  return desc;
}

fxPostColorBasic::fxPostColorBasic(ClassDesc* desc) : fxBase(desc) {}

fxPostColorBasic::~fxPostColorBasic() { m_program.Release(); }

void fxPostColorBasic::Update() {
  m_program.Bind();
  m_program.DrawPass(true);
}
