// fxAmbientParticles and its program. See fxAmbientParticles.h.
//
// [SECTION] Field source
// [SECTION] The program
// [SECTION] Field motion
// [SECTION] Class description and attributes
// [SECTION] Per-frame work
#include "effects/images/fxAmbientParticles.h"

#include <cmath>

#include "effects/EffectBlend.h"
#include "render/RenderTarget.h"

//-----------------------------------------------------------------------------
// [SECTION] Field source
//-----------------------------------------------------------------------------

namespace {

constexpr float kQuarterTurn = 1.5707964f;
constexpr int kMaxDensity = 20;  // layers: each costs every pixel one grid evaluation

// The particle shape is the constant CONST_PARTICLE_SHAPE, put in the
// header by the program, so the compiler folds the shape choice away.
const char* const kFieldFragment = R"(SHADER_HEADER
in vec2 TexCoords;
in vec2 fragCoord;
out vec4 fragColor;
uniform int SEED;
uniform float FADE;
uniform int ENABLED;
uniform vec4 COLOR0;
uniform vec4 COLOR1;
uniform vec3 GLOBAL_MOTION;
uniform float BLUR;
uniform float NOISE_MOTION;
uniform int DENSITY;
uniform float SCALE;
uniform float SIZE;
uniform float DEPTH_SCALE;
uniform float DEPTH_ALPHA;
uniform float SPOTLIGHT;
uniform vec2 LIGHT_POSXY;
uniform float LIGHT_ROTZ;
uniform float LIGHT_APERTURE;
uniform float LIGHT_FALLBACK;
uniform float LIGHT_DISTANCE;
uniform int DEBUG_GRID;
uniform int DEBUG_SPOTLIGHT;
uniform vec3 CAMERA_POSITION;
uniform vec3 CAMERA_ROTATION;

// A fallback of 0 would divide by zero at the cone's edge.
float linearstep(float x, float a, float b) { return (clamp(x, a, b) - a) / max(b - a, 1e-6); }
vec2 rot(vec2 v, float a) { return vec2(v.x * sin(a) + v.y * cos(a), -v.x * cos(a) + v.y * sin(a)); }
float hash12(vec2 x) {
  vec2 f = fract(x * vec2(451.45, 231.95));
  f += dot(f, f + 78.78);
  return fract(f.x * f.y);
}
vec2 hash21(float x) { return fract(sin(x * vec2(24.0181, 52.1984)) * 5081.4972); }

// Coverage falling from 1 at `inner` to 0 at `outer`. smoothstep has no
// value for equal edges; there the edge is hard.
float fall(float outer, float inner, float d) {
  return outer == inner ? 1.0 - step(outer, d) : smoothstep(outer, inner, d);
}

// An outline: the filled shape minus a slightly smaller one.
float ring(float d, float sz, float b, float inner, float soft) {
  return fall(sz, sz * b, d) - fall(inner * sz, (inner * sz - soft) * b, d);
}

float shape(vec2 g) {
  float sz = SIZE;
  // A particle of no size covers nothing (not the whole cell).
  if (sz <= 0.0) return 0.0;
  float b = 0.999 - BLUR;
  if (CONST_PARTICLE_SHAPE == 1) return ring(max(abs(g.x), abs(g.y)), sz, b, 0.9, 0.01);
  if (CONST_PARTICLE_SHAPE == 2)
    return ring(length(g), sz, b, 0.98, 0.02) + fall(0.637 * sz, 0.0, length(g + LIGHT_POSXY * 0.196 * sz));
  if (CONST_PARTICLE_SHAPE == 3) return fall(sz, sz * b, abs(g.x) + abs(g.y));
  if (CONST_PARTICLE_SHAPE == 4) {
    float e = min(min(abs(g.x), abs(g.y)), abs(g.x) + abs(g.y)) < 0.1 * sz ? length(g) : sz;
    return fall(sz, sz * b, e);
  }
  if (CONST_PARTICLE_SHAPE == 5) return ring(length(g), sz, b, 0.98, 0.02);
  return fall(sz, sz * b, length(g));
}

vec4 cell(vec2 q, float s) {
  vec2 c = floor(q);
  float h = hash12(c);
  vec4 particle = mix(COLOR0, COLOR1, h);
  vec2 centre = rot(vec2(0.0, 1.0), NOISE_MOTION * iTime * 3.0 * (h - 0.5)) * (0.5 - SIZE) + c + 0.5;
  return shape(centre - q) * particle * s;
}

void main()
{
  vec2 uv = (2.0 * fragCoord - iResolution.xy) / iResolution.x;
  vec3 cameraPos = CAMERA_POSITION + GLOBAL_MOTION * iTime;

  vec2 l = uv - LIGHT_POSXY;
  vec2 axis = rot(vec2(0.0, -1.0), LIGHT_ROTZ);
  float len = length(l);
  // Rounding can push the cosine of two unit vectors past 1, where acos has
  // no value; the light's own position counts as inside the cone.
  float ang = len > 0.0 ? acos(clamp(dot(l / len, axis), -1.0, 1.0)) : 0.0;
  float spot = (1.0 - linearstep(ang, LIGHT_APERTURE, LIGHT_APERTURE + LIGHT_FALLBACK)) *
               (1.0 - min(1.0, len / LIGHT_DISTANCE));

  float spotMix = 1.0 - (1.0 - spot) * SPOTLIGHT;
  float k = 1.0 / SCALE;
  int n = DENSITY;
  float fn = float(n);
  float seed = floor(cameraPos.z) + float(SEED) * fn;
  float o = fract(cameraPos.z);
  float alpha = 1.0;
  float previousScale = 0.0;
  vec4 colour = vec4(0.0);
  // A scale of 0 would make every layer's grid infinitely coarse (NaN).
  if (ENABLED != 0 && SCALE > 0.0) {
    for (int i = 1; i <= n; ++i) {
      float fi = float(i);
      float targetScale = k * ((fi - 1.0) * DEPTH_SCALE + 1.0);
      float scale = mix(targetScale, previousScale, o);
      vec2 q = (uv + CAMERA_ROTATION.xy) * scale + cameraPos.xy + 10.0 * hash21(seed + fi);
      float blend = 1.0;
      if (o != 0.0 && (i == 1 || i == n)) {
        float w = fi - o;
        blend = smoothstep(0.0, 1.0, w) * (1.0 - smoothstep(fn - 1.0, fn, w));
      }
      float fog = mix(alpha * DEPTH_ALPHA, alpha, o) * blend;
      colour += cell(q, spotMix) * fog;
      alpha *= DEPTH_ALPHA;
      previousScale = targetScale;
      if (DEBUG_GRID != 0 && min(fract(q).x, fract(q).y) < 0.01) colour.g += (fn + 1.0 - fi) / (fn + 1.0);
    }
  }
  colour *= FADE;
  if (DEBUG_SPOTLIGHT != 0) colour.r = spot;
  fragColor = colour;
}
)";

void Upload(const CachedUniform<int>& u) {
  if (u.location >= 0) glUniform1i(u.location, u.value);
}
void Upload(const CachedUniform<float>& u) {
  if (u.location >= 0) glUniform1f(u.location, u.value);
}
void Upload(const CachedUniform<glm::vec2>& u) {
  if (u.location >= 0) glUniform2f(u.location, u.value.x, u.value.y);
}
void Upload(const CachedUniform<glm::vec3>& u) {
  if (u.location >= 0) glUniform3f(u.location, u.value.x, u.value.y, u.value.z);
}
void Upload(const CachedUniform<glm::vec4>& u) {
  if (u.location >= 0) glUniform4f(u.location, u.value.x, u.value.y, u.value.z, u.value.w);
}

// The attribute's range; NaN goes to its low end.
float InRange(float v, float lo, float hi) { return v >= lo ? (v <= hi ? v : hi) : lo; }
int InRange(int v, float lo, float hi) { return static_cast<int>(InRange(static_cast<float>(v), lo, hi)); }
template <int N>
glm::vec<N, float> InRange(const glm::vec<N, float>& v, float lo, float hi) {
  glm::vec<N, float> out;
  for (int i = 0; i < N; ++i) out[i] = InRange(v[i], lo, hi);
  return out;
}

// What the shader receives stays within the attribute's range, whatever a
// file or a driver wrote: the layer count bounds each pixel's loop, and a
// negative size or scale would light every pixel.
template <class T>
void UploadInRange(const CachedUniform<T>& u, float lo, float hi) {
  Upload(CachedUniform<T>{u.location, InRange(u.value, lo, hi)});
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] The program
//-----------------------------------------------------------------------------

const char* AmbientFieldFragment() { return kFieldFragment; }

void shAmbientParticles::Build() {
  if (m_stages[StageFragment].source == nullptr) m_stages[StageFragment].source = kFieldFragment;
  // The constant must exist before the first compile.
  SetConstInt("CONST_PARTICLE_SHAPE", m_shape, true);
  m_builtShape = m_shape;
  rvProgram2D::Build();
  struct Named {
    int* location;
    const char* name;
  } const names[] = {
      {&m_seed.location, "SEED"},
      {&m_fade.location, "FADE"},
      {&m_enabled.location, "ENABLED"},
      {&m_color0.location, "COLOR0"},
      {&m_color1.location, "COLOR1"},
      {&m_globalMotion.location, "GLOBAL_MOTION"},
      {&m_blur.location, "BLUR"},
      {&m_noiseMotion.location, "NOISE_MOTION"},
      {&m_density.location, "DENSITY"},
      {&m_scale.location, "SCALE"},
      {&m_size.location, "SIZE"},
      {&m_depthScale.location, "DEPTH_SCALE"},
      {&m_depthAlpha.location, "DEPTH_ALPHA"},
      {&m_spotlight.location, "SPOTLIGHT"},
      {&m_lightPosXY.location, "LIGHT_POSXY"},
      {&m_lightRotZ.location, "LIGHT_ROTZ"},
      {&m_lightAperture.location, "LIGHT_APERTURE"},
      {&m_lightFallback.location, "LIGHT_FALLBACK"},
      {&m_lightDistance.location, "LIGHT_DISTANCE"},
      {&m_debugGrid.location, "DEBUG_GRID"},
      {&m_debugSpotlight.location, "DEBUG_SPOTLIGHT"},
      {&m_cameraPosition.location, "CAMERA_POSITION"},
      {&m_cameraRotation.location, "CAMERA_ROTATION"},
  };
  for (const Named& n : names) *n.location = Location(n.name);
  if (m_program != 0) UploadAll();
}

void shAmbientParticles::Bind() {
  // A new shape is a new constant, which marks the stages for a rebuild
  // in the bind below.
  if (m_shape != m_builtShape) SetConstInt("CONST_PARTICLE_SHAPE", m_shape, false);
  m_builtShape = m_shape;
  rvProgram2D::Bind();
  UploadAll();
}

void shAmbientParticles::UploadAll() const {
  Upload(m_seed);
  Upload(m_fade);
  UploadInRange(m_color0, 0.0f, 1.0f);
  UploadInRange(m_color1, 0.0f, 1.0f);
  Upload(m_globalMotion);
  Upload(m_cameraPosition);
  Upload(m_cameraRotation);
  Upload(m_enabled);
  UploadInRange(m_blur, 0.0f, 1.0f);
  UploadInRange(m_noiseMotion, 0.0f, 1.0f);
  UploadInRange(m_density, 0.0f, static_cast<float>(kMaxDensity));
  UploadInRange(m_scale, 0.0f, 2.0f);
  UploadInRange(m_depthScale, 0.0f, 1.0f);
  UploadInRange(m_size, 0.0f, 0.5f);
  UploadInRange(m_depthAlpha, 0.0f, 1.0f);
  UploadInRange(m_spotlight, 0.0f, 1.0f);
  UploadInRange(m_lightPosXY, -10.0f, 10.0f);
  Upload(m_lightRotZ);
  UploadInRange(m_lightAperture, 0.0f, kQuarterTurn);
  UploadInRange(m_lightFallback, 0.0f, kQuarterTurn);
  UploadInRange(m_lightDistance, 0.0f, 10.0f);
  Upload(m_debugGrid);
  Upload(m_debugSpotlight);
}

//-----------------------------------------------------------------------------
// [SECTION] Field motion
//-----------------------------------------------------------------------------

glm::vec3 TrackedPoint(const glm::mat4& invView, float distance) {
  return glm::vec3(invView[3]) - distance * glm::vec3(invView[2]);
}

FieldMotion MoveField(const FieldMotion& before, const glm::mat4& invView, const glm::vec4& cameraMotionScale,
                      const glm::vec3& globalMotion, float dt) {
  const glm::vec3 r(invView[0]), u(invView[1]), z(invView[2]);
  const glm::vec3 tracked = TrackedPoint(invView, cameraMotionScale.w);
  FieldMotion after = before;
  // A camera with a broken matrix leaves the field where it was rather than
  // sending it to NaN for good (the offset is never reset).
  if (std::isfinite(tracked.x) && std::isfinite(tracked.y) && std::isfinite(tracked.z)) {
    const glm::vec3 d = (tracked - before.tracked) * glm::vec3(cameraMotionScale);
    after.tracked = tracked;
    after.offset.x += glm::dot(r, d);
    after.offset.y += glm::dot(u, d);
    after.offset.z -= glm::dot(z, d);
  }
  after.offset.x -= glm::dot(r, globalMotion) * dt;
  after.offset.y -= glm::dot(u, globalMotion) * dt;
  after.offset.z += glm::dot(z, globalMotion) * dt;
  return after;
}

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

namespace {

const char* const kBlendNames[4] = {"None", "Alpha", "Add", "Max"};
const char* const kShapeNames[6] = {"Sphere", "Square", "Bubble", "Diamond", "Cross", "Circle"};

const RenderTarget& CurrentTarget() {
  return g_pCurrentRenderTarget ? *g_pCurrentRenderTarget : g_defaultRenderTarget;
}

}  // namespace

ClassDesc* fxAmbientParticles::GetClassDesc() {
  static ClassDesc desc("fxAmbientParticles", fxBase::GetClassDesc(), &fxAmbientParticles::Create);
  return &desc;
}

fxBase* fxAmbientParticles::Create(ClassDesc* desc) { return CreateZeroFilled<fxAmbientParticles>(desc); }

// The shader values are attributes themselves: the editor and the drivers
// write straight into the program's uniform cache.
#define AMBIENT_VALUE(member) RV_OFFSETOF(fxAmbientParticles, m_program.member.value)

ClassDesc* fxAmbientParticles::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  using T = fxAmbientParticles;
  desc->AddAttribute(AttrBool, "Enabled", RV_OFFSETOF(T, m_enabled));
  desc->AddAttribute(AttrEnum, "BlendMode", RV_OFFSETOF(T, m_blendMode))->SetEnumNames(kBlendNames, 4);
  desc->AddAttribute(AttrEnum, "Shape", RV_OFFSETOF(T, m_program.m_shape))->SetEnumNames(kShapeNames, 6);
  desc->AddAttribute(AttrInt, "Seed", AMBIENT_VALUE(m_seed));
  desc->AddAttribute(AttrVec3, "GlobalMotion", RV_OFFSETOF(T, m_globalMotion))->SetRange(-10.0f, 10.0f);
  desc->AddAttribute(AttrVec4, "CameraMotionScale", RV_OFFSETOF(T, m_cameraMotionScale))->SetRange(0.0f, 10.0f);
  desc->AddAttribute(AttrFloat, "NoiseMotion", AMBIENT_VALUE(m_noiseMotion))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrVec2, "LightPosXY", AMBIENT_VALUE(m_lightPosXY))->SetRange(-10.0f, 10.0f);
  desc->AddAttribute(AttrFloat, "LightRotZ", AMBIENT_VALUE(m_lightRotZ));
  desc->AddAttribute(AttrFloat, "LightAperture", AMBIENT_VALUE(m_lightAperture))->SetRange(0.0f, kQuarterTurn);
  desc->AddAttribute(AttrFloat, "LightFallback", AMBIENT_VALUE(m_lightFallback))->SetRange(0.0f, kQuarterTurn);
  desc->AddAttribute(AttrFloat, "LightDistance", AMBIENT_VALUE(m_lightDistance))->SetRange(0.0f, 10.0f);
  desc->AddAttribute(AttrRGBA, "Color0", AMBIENT_VALUE(m_color0))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrRGBA, "Color1", AMBIENT_VALUE(m_color1))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Scale", AMBIENT_VALUE(m_scale))->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrFloat, "Size", AMBIENT_VALUE(m_size))->SetRange(0.0f, 0.5f);
  desc->AddAttribute(AttrFloat, "Blur", AMBIENT_VALUE(m_blur))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrInt, "Density", AMBIENT_VALUE(m_density))->SetRangeInt(0, kMaxDensity);
  desc->AddAttribute(AttrFloat, "zScale", AMBIENT_VALUE(m_depthScale))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "zAlpha", AMBIENT_VALUE(m_depthAlpha))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Spotlight", AMBIENT_VALUE(m_spotlight))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrBool, "UseStencil", RV_OFFSETOF(T, m_useStencil));
  desc->AddAttribute(AttrBool, "DebugGrid", RV_OFFSETOF(T, m_debugGrid));
  desc->AddAttribute(AttrBool, "DebugLight", RV_OFFSETOF(T, m_debugLight));
  return desc;
}

#undef AMBIENT_VALUE

fxAmbientParticles::fxAmbientParticles(ClassDesc* desc)
    : fxBase(desc),
      m_globalMotion(0.0f),
      m_cameraMotionScale(1.0f),
      m_useStencil(false),
      m_blendMode(BlendAlpha),
      m_enabled(true),
      m_debugLight(false),
      m_debugGrid(false) {
  m_program.m_color0.value = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
  m_program.m_color1.value = glm::vec4(1.0f);
  m_program.m_noiseMotion.value = 1.0f;
  m_program.m_lightPosXY.value = glm::vec2(1.5f, 0.8f);
  m_program.m_lightRotZ.value = 0.7f;
  m_program.m_lightAperture.value = 0.15f;
  m_program.m_lightFallback.value = 0.15f;
  m_program.m_lightDistance.value = 0.25f;
  m_program.m_scale.value = 0.5f;
  m_program.m_size.value = 0.25f;
  m_program.m_blur.value = 0.75f;
  m_program.m_density.value = 10;
  m_program.m_depthScale.value = 0.8f;
  m_program.m_depthAlpha.value = 0.8f;
}

fxAmbientParticles::~fxAmbientParticles() { m_program.Release(); }

//-----------------------------------------------------------------------------
// [SECTION] Per-frame work
//-----------------------------------------------------------------------------

void fxAmbientParticles::Init() {
  // Re-anchored at the current camera: a camera that jumped between two
  // runs does not move the field.
  const glm::vec3 tracked = TrackedPoint(CurrentTarget().m_invView, m_cameraMotionScale.w);
  if (std::isfinite(tracked.x) && std::isfinite(tracked.y) && std::isfinite(tracked.z)) m_motion.tracked = tracked;
  m_program.m_timeOffset = 1234.0f;
}

void fxAmbientParticles::Update() {
  m_program.m_fade.value = GetFadeFactor();
  m_motion = MoveField(m_motion, CurrentTarget().m_invView, m_cameraMotionScale, m_globalMotion, m_appliedDelta);
  m_program.m_cameraPosition.value = m_motion.offset;
  m_program.m_cameraRotation.value = glm::vec3(0.0f);
  m_program.m_globalMotion.value = glm::vec3(0.0f);  // the drift already lives in the offset
  m_program.m_enabled.value = m_enabled ? 1 : 0;
  m_program.m_debugGrid.value = m_debugGrid ? 1 : 0;
  m_program.m_debugSpotlight.value = m_debugLight ? 1 : 0;
  m_program.Bind();
  ApplyEffectBlend(m_blendMode, AlphaEquation::SameAsColor);
  if (m_useStencil) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, 1, 0xFF);
    glStencilMask(0);
  }
  m_program.DrawFull(0);
  m_program.Unbind();
  if (m_useStencil) {
    glDisable(GL_STENCIL_TEST);
    // A write mask left at 0 would turn every later stencil clear into
    // nothing.
    glStencilMask(0xFF);
  }
}
