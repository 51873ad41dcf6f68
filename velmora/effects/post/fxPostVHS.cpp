// The tape-look pass. See fxPostVHS.h.
//
// [SECTION] Stage text
// [SECTION] Program
// [SECTION] Class description and attributes
#include "effects/post/fxPostVHS.h"

#include "effects/sequencing/fxDemoGlobalParams.h"

//-----------------------------------------------------------------------------
// [SECTION] Stage text
//-----------------------------------------------------------------------------

// The terms that depend on the time alone (the jumps' switches and phase,
// the white stripes' drift, the noise scroll, the vignette's breathing) are
// worked out once per vertex and reach the fragments unchanged (flat): a
// software rasteriser would otherwise evaluate their sines for every pixel.
// Each is a whole operand of the fragment stage's expressions, computed by
// the same arithmetic, so the picture is the one of a per-pixel evaluation.
//
// A black tint has no luminance to divide by: its dark end is the tint
// itself, so black pixels stay black instead of 0 / 0.
namespace {

const char* const kTapeVertex = R"(SHADER_HEADER
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec2 aTexCoords;
out vec2 fragCoord;
flat out float vJumpPhase;
flat out float vJumpHorizontal;
flat out float vJumpVertical;
flat out float vWhiteDrift;
flat out vec2 vNoiseScroll;
flat out float vAperture;
uniform float VIGNETTE_APERTURE;
uniform float VIGNETTE_OSCILLATION;
uniform float JUMP_VERTICAL_FREQ;
uniform float JUMP_HORIZONTAL_FREQ;

float OnOff(float a, float b, float f) { return step(1.0 - 0.99 * f, sin(iTime + a * cos(iTime * b))); }

void main()
{
  fragCoord = aTexCoords * iResolution;
  vJumpPhase = mod(iTime / 4.0, 1.0);
  vJumpHorizontal = OnOff(4.0, 4.0, JUMP_HORIZONTAL_FREQ) * (1.0 + cos(80.0 * iTime));
  vJumpVertical = 0.4 * OnOff(2.0, 3.0, JUMP_VERTICAL_FREQ) *
                  (sin(iTime) * sin(20.0 * iTime) + 0.5 + 0.1 * sin(200.0 * iTime) * cos(iTime));
  vWhiteDrift = sin(iTime + sin(0.63 * iTime));
  vNoiseScroll = vec2(1.0, 2.0 * cos(iTime)) * iTime * 8.0;
  vAperture = VIGNETTE_APERTURE + VIGNETTE_OSCILLATION * sin(iTime + 5.0 * cos(5.0 * iTime));
  gl_Position = vec4(aPos.x, aPos.y, 0.0, 1.0);
}
)";

const char* const kTapeFragment = R"(SHADER_HEADER
in vec2 fragCoord;
flat in float vJumpPhase;
flat in float vJumpHorizontal;
flat in float vJumpVertical;
flat in float vWhiteDrift;
flat in vec2 vNoiseScroll;
flat in float vAperture;
out vec4 fragColor;
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform vec4 iRegionUV;
uniform float SCREEN_DISTORTION;
uniform float VIGNETTE;
uniform float VIGNETTE_APERTURE;
uniform float VIGNETTE_OSCILLATION;
uniform float MONOCHROME;
uniform vec4 MONOCHROME_COLOR;
uniform float NOISE;
uniform float NOISE_SCALE;
uniform float HBL_LINES;
uniform float HBL_LINES_HEIGHT;
uniform float HBL_LINES_SPEED;
uniform float JUMP_VERTICAL;
uniform float JUMP_VERTICAL_FREQ;
uniform float JUMP_HORIZONTAL;
uniform float JUMP_HORIZONTAL_FREQ;
uniform float WHITE_LINES;
uniform float WHITE_LINES_START;
uniform float WHITE_LINES_END;
uniform float WHITE_LINES_HEIGHT;
uniform float NOISE_LINES;
uniform float NOISE_LINES_FREQ;
uniform float WOBBLE;
uniform float WOBBLE_BAND;
)" POST_REGION_GLSL R"(
float Rand(vec2 v) { return fract(sin(dot(v, vec2(12.9898, 78.233))) * 43758.5453); }
vec4 Tex(vec2 uv) { return texture(iChannel0, RegionToTexture(uv)); }
float NoiseAt(vec2 uv) { return texture(iChannel1, vNoiseScroll + uv).r; }

void main()
{
  vec2 uv0 = fragCoord / iResolution.xy;
  if (OutsideRegion(uv0)) {
    fragColor = texture(iChannel0, uv0);
    return;
  }
  vec2 uv = RegionCoord(uv0);
  if (ENABLE_SCREEN_DISTORTION == 1) {
    uv -= 0.5;
    uv += uv * SCREEN_DISTORTION * 10.0 * abs(uv.x * uv.x * uv.x * uv.y * uv.y * uv.y);
    uv += 0.5;
  }
  if (ENABLE_JUMPS == 1) {
    float d = uv.y - vJumpPhase;
    float window = 1.0 / (1.0 + 20.0 * d * d);
    uv.x += JUMP_HORIZONTAL * sin(10.0 * uv.y + iTime) / 50.0 * vJumpHorizontal * window;
    uv.y = mod(uv.y + JUMP_VERTICAL * vJumpVertical, 1.0);
  }
  vec4 color = Tex(uv);
  if (ENABLE_WOBBLE == 1) {
    vec2 w = vec2(0.01 * WOBBLE * Rand(vec2(iTime, fragCoord.y)), 0.0);
    float tv = tan(0.15 * iTime + uv.y * 0.67 * 3.14159265);
    vec2 off = WOBBLE_BAND * vec2(w.x * min(0.0, tv), 0.0);
    vec4 c1 = Tex(uv + w + off);
    vec4 c2 = Tex((uv + 1.5 * w + 1.3 * off) * (1.0 + 0.005 * WOBBLE));
    color = vec4(c2.r, c2.g, mix(c1.b, pow(c1.b, 0.67), WOBBLE), 1.0);
    color.rgb = mix(color.rgb, Tex(uv + off).rgb, 0.5);
  }
  if (ENABLE_NOISE_LINES == 1) {
    float ival = 450.0 / (1.0 + 9.0 * NOISE_LINES_FREQ);
    float r = Rand(vec2(iTime, fragCoord.y));
    float on = floor(float(int(fragCoord.y + iTime * r * 1000.0) % int(ival + 1.0)) / ival);
    float n = pow(texture(iChannel1, mod(fragCoord + iTime, 256.0) / iResolution.xy).r, 7.0);
    color.rgb = min(vec3(1.0), color.rgb + NOISE_LINES * n * on);
  }
  if (ENABLE_WHITE_LINES == 1) {
    float s = NoiseAt(vec2(0.5 * uv.x + 1.0, uv.y + 3.0));
    float y = mod(4.0 * uv.y + iTime / 2.0 + vWhiteDrift, WHITE_LINES_HEIGHT);
    bool inside = WHITE_LINES_START <= y && y < WHITE_LINES_END;
    float ramp = inside ? 1.0 - (y - WHITE_LINES_START) / (WHITE_LINES_END - WHITE_LINES_START) : 0.0;
    color += WHITE_LINES * ramp * s * s;
  }
  if (ENABLE_HBL_LINES == 1) {
    float h = mix(1.0, 30.0, HBL_LINES_HEIGHT);
    color *= mix(1.0, (h + mod(30.0 * uv.y + iTime * HBL_LINES_SPEED, 4.0)) / (h + 1.0), HBL_LINES);
  }
  if (ENABLE_NOISE == 1) {
    float n = NoiseAt(uv * NOISE_SCALE) - 0.5;
    color.rgb += 0.5 * NOISE * n;
  }
  if (ENABLE_VIGNETTE == 1) {
    float a = vAperture;
    float dy = uv.y - 0.5, dx = uv.x - 0.5;
    color.rgb -= VIGNETTE * (1.0 - (1.0 - a * dy * dy) * (1.0 - a * dx * dx));
  }
  color = clamp(color, 0.0, 1.0);
  if (ENABLE_MONOCHROME == 1) {
    const vec4 L = vec4(0.2126, 0.7152, 0.0722, 0.0);
    float Ii = dot(color, L);
    float If = dot(MONOCHROME_COLOR, L);
    vec4 c;
    if (Ii <= If) {
      c = If > 0.0 ? MONOCHROME_COLOR * Ii / If : MONOCHROME_COLOR;
    } else {
      c = mix(MONOCHROME_COLOR, vec4(1.0), (Ii - If) / (1.0 - If));
    }
    color.rgb += MONOCHROME * (c - color).rgb;
  }
  fragColor = color;
}
)";

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Program
//-----------------------------------------------------------------------------

namespace {

PassNoiseTexture& TapeNoise() {
  static PassNoiseTexture texture("img/Shadertoy/RGBANoiseMedium256.png");
  return texture;
}

const char* const kFloatUniformNames[shPostVHS::kFloatCount] = {
    "SCREEN_DISTORTION", "VIGNETTE",       "VIGNETTE_APERTURE", "VIGNETTE_OSCILLATION", "MONOCHROME",
    "NOISE",             "NOISE_SCALE",    "HBL_LINES",         "HBL_LINES_HEIGHT",     "HBL_LINES_SPEED",
    "JUMP_VERTICAL",     "JUMP_VERTICAL_FREQ", "JUMP_HORIZONTAL", "JUMP_HORIZONTAL_FREQ", "WHITE_LINES",
    "WHITE_LINES_START", "WHITE_LINES_END", "WHITE_LINES_HEIGHT", "NOISE_LINES",         "NOISE_LINES_FREQ",
    "WOBBLE",            "WOBBLE_BAND",
};

// Below this an amount counts as 0 and its feature is compiled out.
constexpr float kFeatureThreshold = 0.0001f;

}  // namespace

shPostVHS::shPostVHS() : shPostRegionPass("fxPostVHS") {
  const float defaults[kFloatCount] = {0.2f, 0.2f, 3.0f, 0.3f, 0.0f, 0.5f, 4.0f, 0.1f, 0.5f, 1.0f, 0.0f,
                                       0.01f, 0.1f, 0.01f, 0.1f, 0.2f, 0.3f, 1.0f, 1.0f, 1.0f, 0.3f, 0.0f};
  for (int i = 0; i < kFloatCount; ++i) m_floats[i].m_value = defaults[i];
  m_monochromeColor.m_value = glm::vec4(1.0f);
}

std::array<VhsSwitch, 9> shPostVHS::FeatureSwitches() const {
  auto on = [this](Amount a) { return m_floats[a].m_value > kFeatureThreshold ? 1 : 0; };
  return {{
      {"ENABLE_SCREEN_DISTORTION", on(ScreenDistortion)},
      {"ENABLE_VIGNETTE", on(Vignette)},
      {"ENABLE_MONOCHROME", on(Monochrome)},
      {"ENABLE_NOISE", on(Noise)},
      {"ENABLE_HBL_LINES", on(HblLines)},
      {"ENABLE_JUMPS", on(JumpHorizontal) | on(JumpVertical)},
      {"ENABLE_WHITE_LINES", on(WhiteLines)},
      {"ENABLE_NOISE_LINES", on(NoiseLines)},
      {"ENABLE_WOBBLE", on(Wobble)},
  }};
}

void shPostVHS::Build() {
  TapeNoise().Load();
  if (!BuildPass(kTapeVertex, kTapeFragment)) return;
  Locate(m_channel0, "iChannel0");
  Locate(m_channel1, "iChannel1");
  Locate(m_regionUV, "iRegionUV");
  for (int i = 0; i < kFloatCount; ++i) Locate(m_floats[i], kFloatUniformNames[i]);
  Locate(m_monochromeColor, "MONOCHROME_COLOR");
  UploadUniform(m_regionUV);
  UploadAll();
}

void shPostVHS::UploadAll() const {
  UploadUniform(m_channel0);
  UploadUniform(m_channel1);
  for (const PassUniform<float>& u : m_floats) UploadUniform(u);
  UploadUniform(m_monochromeColor);
}

void shPostVHS::Bind() {
  for (const VhsSwitch& s : FeatureSwitches()) SetConstInt(s.name, s.value, false);
  // The noise file is read before the copy takes the GL state.
  TapeNoise().Load();
  BindTargetCopy();
  if (m_program == 0) return;
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, TapeNoise().Texture());
  glActiveTexture(GL_TEXTURE0);
  m_channel0.m_value = 0;
  m_channel1.m_value = 1;
  SetFullRegion();
  m_monochromeColor.m_value = g_pDemoGlobalParams->m_monochromeColor;
  UploadAll();
}

void shPostVHS::Unbind() {
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  shPostRegionPass::Unbind();
}

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxPostVHS::GetClassDesc() {
  static ClassDesc desc("fxPostVHS", fxBase::GetClassDesc(), &fxPostVHS::Create);
  return &desc;
}

fxBase* fxPostVHS::Create(ClassDesc* desc) { return CreateZeroFilled<fxPostVHS>(desc); }

ClassDesc* fxPostVHS::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  const struct {
    const char* name;
    shPostVHS::Amount amount;
    float min, max;
  } attributes[] = {
      {">>ScreenDistortion", shPostVHS::ScreenDistortion, 0.0f, 1.0f},
      {">>Vignette", shPostVHS::Vignette, 0.0f, 1.0f},
      {"  VignetteAperture", shPostVHS::VignetteAperture, 0.0f, 10.0f},
      {"  VignetteOscillation", shPostVHS::VignetteOscillation, 0.0f, 10.0f},
      {">>Noise", shPostVHS::Noise, 0.0f, 1.0f},
      {"  NoiseScale", shPostVHS::NoiseScale, 0.0f, 10.0f},
      {">>HblLines", shPostVHS::HblLines, 0.0f, 1.0f},
      {"  HblLinesHeight", shPostVHS::HblLinesHeight, 0.0f, 1.0f},
      {"  HblLinesSpeed", shPostVHS::HblLinesSpeed, -10.0f, 10.0f},
      {">>JumpsV", shPostVHS::JumpVertical, 0.0f, 1.0f},
      {"  JumpsFreqV", shPostVHS::JumpVerticalFreq, 0.0f, 1.0f},
      {">>JumpsH", shPostVHS::JumpHorizontal, 0.0f, 1.0f},
      {"  JumpsFreqH", shPostVHS::JumpHorizontalFreq, 0.0f, 1.0f},
      {">>WhiteLines", shPostVHS::WhiteLines, 0.0f, 1.0f},
      {"  WhiteLinesStart", shPostVHS::WhiteLinesStart, 0.0f, 2.0f},
      {"  WhiteLinesEnd", shPostVHS::WhiteLinesEnd, 0.0f, 2.0f},
      {"  WhiteLinesHeight", shPostVHS::WhiteLinesHeight, 0.0f, 2.0f},
      {">>NoiseLines", shPostVHS::NoiseLines, 0.0f, 1.0f},
      {"  NoiseLinesFreq", shPostVHS::NoiseLinesFreq, 0.0f, 1.0f},
      {">>Wobble", shPostVHS::Wobble, 0.0f, 1.0f},
      {"  WobbleBand", shPostVHS::WobbleBand, 0.0f, 1.0f},
      {">>Monochrome", shPostVHS::Monochrome, 0.0f, 1.0f},
  };
  const int floats = RV_OFFSETOF(fxPostVHS, m_program.m_floats);
  const int stride = static_cast<int>(sizeof(PassUniform<float>));
  const int value = static_cast<int>(offsetof(PassUniform<float>, m_value));
  for (const auto& a : attributes) {
    desc->AddAttribute(AttrFloat, a.name, floats + a.amount * stride + value)->SetRange(a.min, a.max);
  }
  return desc;
}

fxPostVHS::fxPostVHS(ClassDesc* desc) : fxBase(desc) {}

fxPostVHS::~fxPostVHS() { m_program.Release(); }

void fxPostVHS::Update() {
  m_program.Bind();
  m_program.DrawPass(false);
}
