// Colour grading, anti-aliasing and the finishing colour steps. See
// fxPostColorGradingAA.h.
//
// [SECTION] Stage texts
// [SECTION] Pass program
// [SECTION] Class description and attributes
// [SECTION] Table life cycle and per-frame pass
#include "effects/post/fxPostColorGradingAA.h"

#include <algorithm>
#include <cmath>

#include "core/AppLog.h"

//-----------------------------------------------------------------------------
// [SECTION] Stage texts
//-----------------------------------------------------------------------------

// The FXAA corner taps keep the engine's historical order (the bottom pair
// named the other way round); the direction and span steps are built on it.
namespace {

const char* const kGradingFragment = R"(SHADER_HEADER
in vec2 fragCoord;
out vec4 fragColor;
uniform sampler2D sFramebuffer;
uniform sampler3D sColorGradingLUT;
uniform sampler2D sBlueNoise;
uniform float DITHER_POW;
uniform float VIGNETTING_POW;
uniform float FXAA_LUMA_THRESHOLD;
uniform float FXAA_MUL_REDUCE;
uniform float FXAA_MIN_REDUCE;
uniform int FXAA_MAX_SPAN;

float Luma(vec3 c)
{
  return dot(c, LUMA_COLOR_PROFILE == 1 ? vec3(0.299, 0.587, 0.114) : vec3(0.2126, 0.7152, 0.0722));
}

vec3 Tap(vec2 offset) { return texture(sFramebuffer, fragCoord + offset).rgb; }

vec3 Fxaa()
{
  vec2 texel = 1.0 / iResolution.xy;
  vec3 rgbM = Tap(vec2(0.0));
  vec3 rgbTL = Tap(vec2(-1.0, 1.0) * texel);
  vec3 rgbTR = Tap(vec2(1.0, 1.0) * texel);
  vec3 rgbBR = Tap(vec2(-1.0, -1.0) * texel);
  vec3 rgbBL = Tap(vec2(1.0, -1.0) * texel);
  float lM = Luma(rgbM), lTL = Luma(rgbTL), lTR = Luma(rgbTR), lBR = Luma(rgbBR), lBL = Luma(rgbBL);
  float lMin = min(lM, min(min(lTL, lTR), min(lBL, lBR)));
  float lMax = max(lM, max(max(lTL, lTR), max(lBL, lBR)));
  if (lMax - lMin <= lMax * FXAA_LUMA_THRESHOLD) return rgbM;
  vec2 dir = vec2(-((lTL + lTR) - (lBL + lBR)), (lTL + lBL) - (lTR + lBR));
  float reduce = max((lTL + lTR + lBL + lBR) * 0.25 * FXAA_MUL_REDUCE, FXAA_MIN_REDUCE);
  float span = float(FXAA_MAX_SPAN);
  dir = clamp(dir / (reduce + min(abs(dir.x), abs(dir.y))), vec2(-span), vec2(span)) * texel;
  vec3 two = 0.5 * (Tap(dir * (1.0 / 3.0 - 0.5)) + Tap(dir * (2.0 / 3.0 - 0.5)));
  vec3 four = 0.5 * two + 0.25 * (Tap(dir * -0.5) + Tap(dir * 0.5));
  float lFour = Luma(four);
  vec3 result = (lFour < lMin || lFour > lMax) ? two : four;
  if (FXAA_SHOW_EDGES == 1) result.g = 1.0;
  return result;
}

vec3 Dither(vec3 col)
{
  vec2 seed = fragCoord * iResolution.xy + 1337.0 * fract(iTime);
  float c0 = pow(2.0, DITHER_POW);
  vec3 its = col / c0;
  vec3 n = texture(sBlueNoise, seed / 1024.0).rgb;
  // A triangular distribution out of the uniform noise.
  vec3 r = 0.5 * n;
  vec3 tri = mix(1.0 - sqrt(max(r - 0.25, 0.0)), sqrt(r), lessThan(n, vec3(0.5)));
  return c0 * floor((its + (2.0 * tri - 0.5) / 255.0) * 255.0) / 255.0;
}

void main()
{
  vec4 source = texture(sFramebuffer, fragCoord);
  // Branches, not selects: a select would run the whole FXAA on every pixel.
  vec3 col = source.rgb;
  if (APPLY_AA == 1) col = Fxaa();
  // Half-texel remap: 0..1 lands on the centres of the first and last cells.
  if (APPLY_GRADING == 1) col = texture(sColorGradingLUT, mix(vec3(0.015625), vec3(0.984375), col)).rgb;
  if (TONEMAP_PROFILE == 1) {
    col = 1.35 * col / (1.0 + col);
  } else if (TONEMAP_PROFILE == 2) {
    col = col * (2.51 * col + 0.03) / (col * (2.43 * col + 0.59) + 0.14);
  }
  if (APPLY_GAMMA == 1) col = pow(col, vec3(LUMA_COLOR_PROFILE == 0 ? 0.416666 : 0.454545));
  vec2 q = fragCoord;
  if (APPLY_VIGNETTING == 1) col *= 0.5 + 0.5 * pow(16.0 * q.x * q.y * (1.0 - q.x) * (1.0 - q.y), VIGNETTING_POW);
  if (APPLY_DITHER == 1) col = Dither(col);
  if (SHOW_LUT == 1) {
    ivec2 p = ivec2(fragCoord * iResolution.xy);
    if (p.x < 1024 && p.y < 32) col = texture(sColorGradingLUT, vec3(p.x % 32, p.y % 32, p.x / 32) / 31.0).rgb;
  }
  fragColor = vec4(col, source.a);
}
)";

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Pass program
//-----------------------------------------------------------------------------

namespace {

PassNoiseTexture& BlueNoise() {
  static PassNoiseTexture texture("img/Shadertoy/BlueNoise1024.png");
  return texture;
}

// FXAA reads the copy between texels. "Default" and its copy filter
// NEAREST, which would turn every such tap into the centre texel and the
// anti-aliasing into a no-op: the pass samples the copy through a linear
// sampler instead (at pixel centres it returns the texel unchanged). Made
// on first use and kept until exit; bound only while FXAA runs, as linear
// taps cost more on a software rasteriser.
GLuint LinearSampler() {
  static GLuint sampler = 0;
  if (sampler == 0) {
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  return sampler;
}

}  // namespace

shPostColorGradingAA::shPostColorGradingAA() : shPostPass("fxPostColorGradingAA") {
  m_colorGradingLut.m_value = 1;
  m_blueNoise.m_value = 2;
  m_applyGamma = true;
  m_ditherPow.m_value = 3.0f;
  m_vignettingPow.m_value = 0.25f;
  m_fxaaLumaThreshold.m_value = 0.5f;
  m_fxaaMaxSpan.m_value = 8;
  m_mulReduceExponent = 3;
  m_minReduceExponent = 7;
  m_applyAA = m_applyGrading = m_applyDither = m_applyVignetting = m_fxaaShowEdges = false;
  m_tonemapProfile = 0;
}

shPostColorGradingAA::~shPostColorGradingAA() = default;

void shPostColorGradingAA::Build() {
  BlueNoise().Load();
  if (!BuildPass(g_postUnitVertex, kGradingFragment)) return;
  Locate(m_framebuffer, "sFramebuffer");
  Locate(m_colorGradingLut, "sColorGradingLUT");
  Locate(m_blueNoise, "sBlueNoise");
  Locate(m_ditherPow, "DITHER_POW");
  Locate(m_vignettingPow, "VIGNETTING_POW");
  Locate(m_fxaaLumaThreshold, "FXAA_LUMA_THRESHOLD");
  Locate(m_fxaaMulReduce, "FXAA_MUL_REDUCE");
  Locate(m_fxaaMinReduce, "FXAA_MIN_REDUCE");
  Locate(m_fxaaMaxSpan, "FXAA_MAX_SPAN");
  UploadAll();
}

void shPostColorGradingAA::UploadAll() const {
  for (const PassUniform<int>* u : {&m_framebuffer, &m_colorGradingLut, &m_blueNoise, &m_fxaaMaxSpan}) {
    UploadUniform(*u);
  }
  for (const PassUniform<float>* u : {&m_ditherPow, &m_vignettingPow, &m_fxaaLumaThreshold, &m_fxaaMulReduce,
                                      &m_fxaaMinReduce}) {
    UploadUniform(*u);
  }
}

namespace {

constexpr int kMaxMulReduceExponent = 8;
constexpr int kMaxMinReduceExponent = 9;

// 2^-exponent, the exponent held to its attribute's range 0..maxExponent: a
// file may hold any int (negating INT_MIN overflows), and a factor past
// the range would reach the shader as 0 or infinity.
float PowerOfHalf(int exponent, int maxExponent) { return std::ldexp(1.0f, -std::clamp(exponent, 0, maxExponent)); }

}  // namespace

void shPostColorGradingAA::BindPass(GLuint lut, bool showLut, int lumaProfile) {
  // A switch that changed rebuilds the program at the bind below. Without a
  // table (its program did not build) grading would turn the picture
  // black: it is left out instead.
  const struct {
    const char* name;
    int value;
  } switches[] = {
      {"APPLY_AA", m_applyAA ? 1 : 0},
      {"APPLY_GRADING", m_applyGrading && lut != 0 ? 1 : 0},
      {"APPLY_DITHER", m_applyDither ? 1 : 0},
      {"APPLY_GAMMA", m_applyGamma ? 1 : 0},
      {"APPLY_VIGNETTING", m_applyVignetting ? 1 : 0},
      {"TONEMAP_PROFILE", m_tonemapProfile},
      {"LUMA_COLOR_PROFILE", lumaProfile},
      {"FXAA_SHOW_EDGES", m_fxaaShowEdges ? 1 : 0},
      {"SHOW_LUT", showLut ? 1 : 0},
  };
  for (const auto& s : switches) SetConstInt(s.name, s.value, false);
  // The noise file is read before the copy takes the GL state.
  BlueNoise().Load();
  BindTargetCopy();
  if (m_program == 0) return;
  m_framebuffer.m_value = 0;
  if (m_applyAA) glBindSampler(0, LinearSampler());
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_3D, lut);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, BlueNoise().Texture());
  glActiveTexture(GL_TEXTURE0);
  m_fxaaMulReduce.m_value = PowerOfHalf(m_mulReduceExponent, kMaxMulReduceExponent);
  m_fxaaMinReduce.m_value = PowerOfHalf(m_minReduceExponent, kMaxMinReduceExponent);
  UploadAll();
}

void shPostColorGradingAA::Unbind() {
  glBindSampler(0, 0);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_3D, 0);
  glActiveTexture(GL_TEXTURE0);
  shPostPass::Unbind();
}

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

namespace {

const char* const kLumaProfileNames[2] = {"Rec.709 / Rec. 2020", "Rec.601"};
const char* const kTonemapNames[3] = {"Off", "Reinhardt", "ACES"};

}  // namespace

ClassDesc* fxPostColorGradingAA::GetClassDesc() {
  static ClassDesc desc("fxPostColorGradingAA", fxBase::GetClassDesc(), &fxPostColorGradingAA::Create);
  return &desc;
}

fxBase* fxPostColorGradingAA::Create(ClassDesc* desc) { return CreateZeroFilled<fxPostColorGradingAA>(desc); }

#define GRADING_OFFSET(member) RV_OFFSETOF(fxPostColorGradingAA, member)

ClassDesc* fxPostColorGradingAA::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrEnum, "Luma Color Profile", GRADING_OFFSET(m_lumaProfile))->SetEnumNames(kLumaProfileNames, 2);
  desc->AddAttribute(AttrBool, "ColorGrading/Show LUT", GRADING_OFFSET(m_showLut));
  const struct {
    const char* name;
    int offset;
  } grading[] = {
      {"ColorGrading/Lift", GRADING_OFFSET(m_lutGen.m_lift.m_value)},
      {"ColorGrading/Gamma", GRADING_OFFSET(m_lutGen.m_gamma.m_value)},
      {"ColorGrading/Gain", GRADING_OFFSET(m_lutGen.m_gain.m_value)},
      {"ColorGrading/Brightness", GRADING_OFFSET(m_lutGen.m_brightness.m_value)},
      {"ColorGrading/Contrast", GRADING_OFFSET(m_lutGen.m_contrast.m_value)},
      {"ColorGrading/Saturation", GRADING_OFFSET(m_lutGen.m_saturation.m_value)},
  };
  for (const auto& g : grading) desc->AddAttribute(AttrFloat, g.name, g.offset)->SetRange(-1.0f, 1.0f);
  desc->AddAttribute(AttrBool, "ColorGrading/Inverse Sat", GRADING_OFFSET(m_lutGen.m_invSaturation));
  desc->AddAttribute(AttrBool, "Antialiasing/Show Edges", GRADING_OFFSET(m_pass.m_fxaaShowEdges));
  desc->AddAttribute(AttrFloat, "Antialiasing/Luma Treshold", GRADING_OFFSET(m_pass.m_fxaaLumaThreshold.m_value))
      ->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrInt, "Antialiasing/Mult Reduce", GRADING_OFFSET(m_pass.m_mulReduceExponent))
      ->SetRangeInt(0, kMaxMulReduceExponent);
  desc->AddAttribute(AttrInt, "Antialiasing/Min Reduce", GRADING_OFFSET(m_pass.m_minReduceExponent))
      ->SetRangeInt(0, kMaxMinReduceExponent);
  desc->AddAttribute(AttrInt, "Antialiasing/Max Span", GRADING_OFFSET(m_pass.m_fxaaMaxSpan.m_value))->SetRangeInt(1, 16);
  desc->AddAttribute(AttrEnum, "Tonemap Profile", GRADING_OFFSET(m_pass.m_tonemapProfile))
      ->SetEnumNames(kTonemapNames, 3);
  desc->AddAttribute(AttrBool, "Apply Color Grading", GRADING_OFFSET(m_pass.m_applyGrading));
  desc->AddAttribute(AttrBool, "Apply Anti-aliasing", GRADING_OFFSET(m_pass.m_applyAA));
  desc->AddAttribute(AttrBool, "Apply Vignetting", GRADING_OFFSET(m_pass.m_applyVignetting));
  desc->AddAttribute(AttrFloat, "Vignetting Pow", GRADING_OFFSET(m_pass.m_vignettingPow.m_value))->SetRange(0.001f, 1.0f);
  desc->AddAttribute(AttrBool, "Apply Gamma", GRADING_OFFSET(m_pass.m_applyGamma));
  desc->AddAttribute(AttrBool, "Apply Dither", GRADING_OFFSET(m_pass.m_applyDither));
  desc->AddAttribute(AttrFloat, "Dither Pow", GRADING_OFFSET(m_pass.m_ditherPow.m_value))->SetRange(1.0f, 6.0f);
  return desc;
}

#undef GRADING_OFFSET

fxPostColorGradingAA::fxPostColorGradingAA(ClassDesc* desc)
    : fxBase(desc), m_lut(0), m_lutDirty(1), m_showLut(false), m_lumaProfile(0), m_lastLumaProfile(-1) {}

fxPostColorGradingAA::~fxPostColorGradingAA() {
  UnloadLut();
  m_pass.Release();
  m_lutGen.Release();
}

//-----------------------------------------------------------------------------
// [SECTION] Table life cycle and per-frame pass
//-----------------------------------------------------------------------------

void fxPostColorGradingAA::Init() {
  // The first Update fills the table: the dirty flag stays on.
  if (!m_lutDirty || m_lut != 0) return;
  glGenTextures(1, &m_lut);
  glBindTexture(GL_TEXTURE_3D, m_lut);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  const int n = shColorGradingLUTGen::kLutSize;
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA32F, n, n, n, 0, GL_RGBA, GL_FLOAT, nullptr);
  glBindTexture(GL_TEXTURE_3D, 0);
}

void fxPostColorGradingAA::UnloadLut() {
  if (m_lut == 0) return;
  AppLog::Get().AddLog("[fxPostColorGradingAA] unload LUT\n");
  glDeleteTextures(1, &m_lut);
  m_lut = 0;
  m_lutDirty = 1;
}

void fxPostColorGradingAA::Kill() { UnloadLut(); }

void fxPostColorGradingAA::Update() {
  if (m_lumaProfile != m_lastLumaProfile) {
    m_lutDirty = 1;
    m_lastLumaProfile = m_lumaProfile;
  }
  const bool tableReady = m_lutGen.GenerateLut(m_lut, m_lumaProfile, m_lutDirty);
  m_lutGen.Unbind();
  m_pass.BindPass(tableReady ? m_lut : 0, m_showLut, m_lumaProfile);
  m_pass.DrawPass(false);
}
