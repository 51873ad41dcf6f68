// The ripple pass. See fxPostDistortion.h.
//
// [SECTION] Stage text
// [SECTION] Program
// [SECTION] Class description and attributes
#include "effects/post/fxPostDistortion.h"

//-----------------------------------------------------------------------------
// [SECTION] Stage text
//-----------------------------------------------------------------------------

namespace {

const char* const kRippleFragment = R"(SHADER_HEADER
in vec2 fragCoord;
out vec4 fragColor;
uniform sampler2D iChannel0;
uniform vec4 iRegionUV;
uniform vec2 POSITION;
uniform vec2 BUMP_HEIGHTS;
uniform float BUMP_RANGE_RADIUS;
uniform float BUMP_RANGE_RAMP;
uniform float BUMP_PERIOD;
uniform float BUMP_SPEED;
uniform float BUMP_ATTENUATION;
uniform float BUMP_START;
uniform float BUMP_COLOR;
uniform int BUMP_DEBUG;
)" POST_REGION_GLSL R"(
void main()
{
  vec2 uv0 = fragCoord / iResolution.xy;
  if (OutsideRegion(uv0)) {
    fragColor = texture(iChannel0, uv0);
    return;
  }
  vec2 p = 2.0 * RegionCoord(uv0) - 1.0;
  float factor = 1.0;
  float debug = 0.0;
  float dist = length(p - POSITION);
  float t = (iTime - BUMP_START) * BUMP_SPEED - dist * BUMP_PERIOD;
  if (t > 0.0) {
    float kRange = pow(BUMP_RANGE_RADIUS <= 0.0 ? 1.0 : 1.0 - min(dist / BUMP_RANGE_RADIUS, 1.0), BUMP_RANGE_RAMP);
    float dh = smoothstep(0.0, 1.57, t) * mix(BUMP_HEIGHTS.x, BUMP_HEIGHTS.y, sin(t));
    factor = 1.0 + dh * kRange * exp(-0.02 * (t + dist) * BUMP_ATTENUATION);
    p /= factor;
    if (BUMP_DEBUG == 1) debug = step(dist, BUMP_RANGE_RADIUS);
  }
  vec4 col = texture(iChannel0, RegionToTexture((p + 1.0) * 0.5)) + vec4(debug, 0.0, 0.0, 0.0);
  col.rgb *= mix(1.0, factor, BUMP_COLOR);
  fragColor = clamp(col, 0.0, 1.0);
}
)";

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Program
//-----------------------------------------------------------------------------

shPostDistortion::shPostDistortion() : shPostRegionPass("fxPostDistortion") {
  m_bumpHeights.m_value = glm::vec2(0.0f, 0.4f);
  m_bumpRangeRamp.m_value = 1.0f;
  m_bumpPeriod.m_value = 3.0f;
  m_bumpSpeed.m_value = 20.0f;
  m_bumpAttenuation.m_value = 8.0f;
  m_bumpColor.m_value = 1.0f;
}

void shPostDistortion::Build() {
  if (!BuildPass(nullptr, kRippleFragment)) return;
  Locate(m_channel0, "iChannel0");
  Locate(m_regionUV, "iRegionUV");
  Locate(m_position, "POSITION");
  Locate(m_bumpHeights, "BUMP_HEIGHTS");
  Locate(m_bumpRangeRadius, "BUMP_RANGE_RADIUS");
  Locate(m_bumpRangeRamp, "BUMP_RANGE_RAMP");
  Locate(m_bumpPeriod, "BUMP_PERIOD");
  Locate(m_bumpSpeed, "BUMP_SPEED");
  Locate(m_bumpAttenuation, "BUMP_ATTENUATION");
  Locate(m_bumpStart, "BUMP_START");
  Locate(m_bumpColor, "BUMP_COLOR");
  Locate(m_bumpDebug, "BUMP_DEBUG");
  UploadUniform(m_regionUV);
  UploadAll();
}

void shPostDistortion::UploadAll() const {
  UploadUniform(m_channel0);
  UploadUniform(m_position);
  UploadUniform(m_bumpHeights);
  for (const PassUniform<float>* u : {&m_bumpRangeRadius, &m_bumpRangeRamp, &m_bumpPeriod, &m_bumpSpeed,
                                      &m_bumpAttenuation, &m_bumpStart, &m_bumpColor}) {
    UploadUniform(*u);
  }
  UploadUniform(m_bumpDebug);
}

void shPostDistortion::Bind() {
  BindTargetCopy();
  if (m_program == 0) return;
  m_channel0.m_value = 0;
  SetFullRegion();
  UploadAll();
}

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxPostDistortion::GetClassDesc() {
  static ClassDesc desc("fxPostDistortion", fxBase::GetClassDesc(), &fxPostDistortion::Create);
  return &desc;
}

fxBase* fxPostDistortion::Create(ClassDesc* desc) { return CreateZeroFilled<fxPostDistortion>(desc); }

#define RIPPLE_OFFSET(member) RV_OFFSETOF(fxPostDistortion, m_program.member.m_value)

ClassDesc* fxPostDistortion::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrVec2, "Position", RIPPLE_OFFSET(m_position))->SetRange(-1.0f, 1.0f);
  desc->AddAttribute(AttrVec2, ">.BumpHeights", RIPPLE_OFFSET(m_bumpHeights))->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrFloat, "  BumpRangeRadius", RIPPLE_OFFSET(m_bumpRangeRadius))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "  BumpRangeRamp", RIPPLE_OFFSET(m_bumpRangeRamp))->SetRange(0.1f, 10.0f);
  desc->AddAttribute(AttrFloat, "  BumpPeriod", RIPPLE_OFFSET(m_bumpPeriod))->SetRange(0.0f, 10.0f);
  // The default speed (20) lies outside the editor range: kept as designed.
  desc->AddAttribute(AttrFloat, "  BumpSpeed", RIPPLE_OFFSET(m_bumpSpeed))->SetRange(-10.0f, 10.0f);
  desc->AddAttribute(AttrFloat, "  BumpAttenuation", RIPPLE_OFFSET(m_bumpAttenuation))->SetRange(0.0f, 30.0f);
  desc->AddAttribute(AttrFloat, "  BumpStart", RIPPLE_OFFSET(m_bumpStart));
  desc->AddAttribute(AttrFloat, "  BumpColor", RIPPLE_OFFSET(m_bumpColor))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrBool, "  BumpDebug", RIPPLE_OFFSET(m_bumpDebug));
  return desc;
}

#undef RIPPLE_OFFSET

fxPostDistortion::fxPostDistortion(ClassDesc* desc) : fxBase(desc) {}

fxPostDistortion::~fxPostDistortion() { m_program.Release(); }

void fxPostDistortion::Init() { m_program.Build(); }

void fxPostDistortion::Update() {
  m_program.Bind();
  m_program.DrawPass(false);
}
