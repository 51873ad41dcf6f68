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
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"

//-----------------------------------------------------------------------------
// [SECTION] Field source
//-----------------------------------------------------------------------------

namespace {

constexpr float kQuarterTurn = 1.5707964f;
// Layers: each costs every pixel one grid evaluation. The shader text sizes
// its per-layer inputs with the same number.
#define FIELD_MAX_LAYERS 20
#define FIELD_QUOTE(x) #x
#define FIELD_STRING(x) FIELD_QUOTE(x)
constexpr int kMaxDensity = FIELD_MAX_LAYERS;

// llvmpipe evaluates every expression per pixel, also those that only read
// uniforms, so the values that are the same for the whole pass (each
// layer's scale, grid offset and fog, the spotlight axis, the field
// position, the wobble's angle factor and the shape's edges) are worked out
// once per vertex and reach the fragment stage as flat inputs. The vertex
// stage repeats the expressions a per-pixel evaluation would use, in the
// same order, so the field keeps its pixels (the grid offsets come from a
// sine scaled by thousands: any other evaluation would move the particles).
#define FIELD_UNIFORMS \
  "uniform int SEED;\n" \
  "uniform float FADE;\n" \
  "uniform int ENABLED;\n" \
  "uniform vec4 COLOR0;\n" \
  "uniform vec4 COLOR1;\n" \
  "uniform vec3 GLOBAL_MOTION;\n" \
  "uniform float BLUR;\n" \
  "uniform float NOISE_MOTION;\n" \
  "uniform int DENSITY;\n" \
  "uniform float SCALE;\n" \
  "uniform float SIZE;\n" \
  "uniform float DEPTH_SCALE;\n" \
  "uniform float DEPTH_ALPHA;\n" \
  "uniform float SPOTLIGHT;\n" \
  "uniform vec2 LIGHT_POSXY;\n" \
  "uniform float LIGHT_ROTZ;\n" \
  "uniform float LIGHT_APERTURE;\n" \
  "uniform float LIGHT_FALLBACK;\n" \
  "uniform float LIGHT_DISTANCE;\n" \
  "uniform int DEBUG_GRID;\n" \
  "uniform int DEBUG_SPOTLIGHT;\n" \
  "uniform vec3 CAMERA_POSITION;\n" \
  "uniform vec3 CAMERA_ROTATION;\n" \
  "uniform int LAYER;\n" \
  "uniform int COLUMNS;\n" \
  "uniform sampler2D FIELD_SUM;\n" \
  "float hash12(vec2 x) {\n" \
  "  vec2 f = fract(x * vec2(451.45, 231.95));\n" \
  "  f += dot(f, f + 78.78);\n" \
  "  return fract(f.x * f.y);\n" \
  "}\n"

// The particle's centre in its cell c: it circles the cell's centre, larger
// particles moving less.
#define FIELD_CENTRE \
  "vec2 Centre(vec2 c, float h) {\n" \
  "  float a = vWobble.x * (h - 0.5);\n" \
  "  return vec2(cos(a), sin(a)) * vWobble.y + c + 0.5;\n" \
  "}\n"

// The particle shape and the pass (CONST_FIELD_PASS: 0 the whole field per
// pixel, 1 one square per particle adding its colour into a float target,
// 2 that sum drawn over the target) are constants put in the header by the
// program, so the compiler folds those choices away.
const char* const kFieldVertex = "SHADER_HEADER\n" FIELD_UNIFORMS R"(
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec2 aTexCoords;
out vec2 TexCoords;
out vec2 fragCoord;
flat out vec4 vLayer[)" FIELD_STRING(FIELD_MAX_LAYERS) R"(];  // scale, grid offset, fog
flat out vec4 vFrame;      // spotlight axis, field position x and y
flat out vec4 vWobble;     // angle factor, centre radius, cross arm width, size
flat out vec4 vEdges;      // outer and inner edge of the outline shapes
flat out vec4 vHighlight;  // the bubble's highlight edge and offset
flat out vec2 vCell;       // the square's grid cell
flat out vec4 vSquare;     // the square's layer values
)" FIELD_CENTRE R"(

vec2 rot(vec2 v, float a) { return vec2(v.x * sin(a) + v.y * cos(a), -v.x * cos(a) + v.y * sin(a)); }
vec2 hash21(float x) { return fract(sin(x * vec2(24.0181, 52.1984)) * 5081.4972); }

// A coverage edge: full at `outer`, none at `inner`, as (outer, the
// reciprocal of the ramp's width); equal distances make a hard edge.
vec2 edge(float outer, float inner) { return vec2(outer, outer == inner ? -1e30 : 1.0 / (inner - outer)); }

void ShapeEdges() {
  float sz = SIZE;
  float b = 0.999 - BLUR;
  vWobble = vec4(NOISE_MOTION * iTime * 3.0, 0.5 - SIZE, 0.1 * sz, sz);
  // The square's outline is thinner than the round ones'.
  float inner = CONST_PARTICLE_SHAPE == 1 ? 0.9 : 0.98;
  float soft = CONST_PARTICLE_SHAPE == 1 ? 0.01 : 0.02;
  vEdges = vec4(edge(sz, sz * b), edge(inner * sz, (inner * sz - soft) * b));
  vHighlight = vec4(edge(0.637 * sz, 0.0), LIGHT_POSXY * 0.196 * sz);
}

// The first `count` layers. The nearest and farthest layers fade in and
// out as the camera passes through them.
void Layers(vec3 cameraPos, int count) {
  float k = 1.0 / SCALE;
  int n = DENSITY;
  float fn = float(n);
  float seed = floor(cameraPos.z) + float(SEED) * fn;
  float o = fract(cameraPos.z);
  float alpha = 1.0;
  float previousScale = 0.0;
  for (int i = 0; i < )" FIELD_STRING(FIELD_MAX_LAYERS) R"(; ++i) vLayer[i] = vec4(0.0);
  for (int i = 1; i <= count; ++i) {
    float fi = float(i);
    float targetScale = k * ((fi - 1.0) * DEPTH_SCALE + 1.0);
    float scale = mix(targetScale, previousScale, o);
    float blend = 1.0;
    if (o != 0.0 && (i == 1 || i == n)) {
      float w = fi - o;
      blend = smoothstep(0.0, 1.0, w) * (1.0 - smoothstep(fn - 1.0, fn, w));
    }
    float fog = mix(alpha * DEPTH_ALPHA, alpha, o) * blend;
    vLayer[i - 1] = vec4(scale, 10.0 * hash21(seed + fi), fog);
    alpha *= DEPTH_ALPHA;
    previousScale = targetScale;
  }
}

// How far from its centre a particle covers anything.
float Reach() {
  float sz = SIZE;
  if (CONST_PARTICLE_SHAPE == 1) return sz * 1.4143;
  if (CONST_PARTICLE_SHAPE == 2) return max(sz, 0.637 * sz + length(vHighlight.zw));
  return sz;
}

const vec2 kCorners[6] = vec2[6](vec2(-1, -1), vec2(1, -1), vec2(1, 1), vec2(-1, -1), vec2(1, 1), vec2(-1, 1));

// Layer LAYER's instance gl_InstanceID is the cell in row
// gl_InstanceID / COLUMNS and column gl_InstanceID % COLUMNS from one cell
// before the target's lower left corner. The square around its particle
// holds every pixel the particle covers, with a margin for the rounding
// between this stage and the fragment stage. Returns the corner in pixels.
vec2 ParticleCorner() {
  vec4 layer = vLayer[LAYER];
  vSquare = layer;
  vec2 lowerLeft = vec2(-1.0, -iResolution.y / iResolution.x) + CAMERA_ROTATION.xy;
  vec2 c = floor(lowerLeft * layer.x + vFrame.zw + layer.yz) - 1.0 +
           vec2(gl_InstanceID % COLUMNS, gl_InstanceID / COLUMNS);
  vCell = c;
  // A pixel spans 2 x scale / width cells.
  float reach = Reach() + 0.001 + 2.0 * layer.x / iResolution.x;
  vec2 q = Centre(c, hash12(c)) + reach * kCorners[gl_VertexID];
  vec2 uv = (q - vFrame.zw - layer.yz) / layer.x - CAMERA_ROTATION.xy;
  return (uv * iResolution.x + iResolution) * 0.5;
}

void main()
{
  vec3 cameraPos = CAMERA_POSITION + GLOBAL_MOTION * iTime;
  vFrame = vec4(rot(vec2(0.0, -1.0), LIGHT_ROTZ), cameraPos.xy);
  ShapeEdges();
  // A square needs its own layer only.
  Layers(cameraPos, CONST_FIELD_PASS == 1 ? LAYER + 1 : DENSITY);
  vCell = vec2(0.0);
  vSquare = vec4(0.0);
  if (CONST_FIELD_PASS == 1) {
    fragCoord = ParticleCorner();
    TexCoords = fragCoord / iResolution;
    gl_Position = vec4(TexCoords * 2.0 - 1.0, 0.0, 1.0);
  } else {
    TexCoords = aTexCoords;
    fragCoord = aTexCoords * iResolution;
    gl_Position = vec4(aPos.x, aPos.y, 0.0, 1.0);
  }
}
)";

const char* const kFieldFragment = "SHADER_HEADER\n" FIELD_UNIFORMS R"(
in vec2 TexCoords;
in vec2 fragCoord;
flat in vec4 vLayer[)" FIELD_STRING(FIELD_MAX_LAYERS) R"(];
flat in vec4 vFrame;
flat in vec4 vWobble;
flat in vec4 vEdges;
flat in vec4 vHighlight;
flat in vec2 vCell;
flat in vec4 vSquare;
out vec4 fragColor;
)" FIELD_CENTRE R"(

// A fallback of 0 would divide by zero at the cone's edge.
float linearstep(float x, float a, float b) { return (clamp(x, a, b) - a) / max(b - a, 1e-6); }
// Coverage along one edge (see edge() in the vertex stage).
float fall(vec2 edge, float d) {
  float t = clamp((d - edge.x) * edge.y, 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// An outline: the filled shape minus a slightly smaller one. A particle of
// no size has both edges hard at 0 and covers nothing.
float ring(float d) { return fall(vEdges.xy, d) - fall(vEdges.zw, d); }

float shape(vec2 g) {
  if (CONST_PARTICLE_SHAPE == 1) return ring(max(abs(g.x), abs(g.y)));
  if (CONST_PARTICLE_SHAPE == 2) return ring(length(g)) + fall(vHighlight.xy, length(g + vHighlight.zw));
  if (CONST_PARTICLE_SHAPE == 3) return fall(vEdges.xy, abs(g.x) + abs(g.y));
  if (CONST_PARTICLE_SHAPE == 4) {
    float e = min(min(abs(g.x), abs(g.y)), abs(g.x) + abs(g.y)) < vWobble.z ? length(g) : vWobble.w;
    return fall(vEdges.xy, e);
  }
  if (CONST_PARTICLE_SHAPE == 5) return ring(length(g));
  return fall(vEdges.xy, length(g));
}

vec4 cell(vec2 q, float s) {
  vec2 c = floor(q);
  float h = hash12(c);
  vec4 particle = mix(COLOR0, COLOR1, h);
  return shape(Centre(c, h) - q) * particle * s;
}

void main()
{
  if (CONST_FIELD_PASS == 2) {
    fragColor = texelFetch(FIELD_SUM, ivec2(fragCoord), 0) * FADE;
    return;
  }
  vec2 uv = (2.0 * fragCoord - iResolution.xy) / iResolution.x;

  vec2 l = uv - LIGHT_POSXY;
  float len = length(l);
  // Rounding can push the cosine of two unit vectors past 1, where acos has
  // no value; the light's own position counts as inside the cone.
  float ang = len > 0.0 ? acos(clamp(dot(l / len, vFrame.xy), -1.0, 1.0)) : 0.0;
  float spot = (1.0 - linearstep(ang, LIGHT_APERTURE, LIGHT_APERTURE + LIGHT_FALLBACK)) *
               (1.0 - min(1.0, len / LIGHT_DISTANCE));

  float spotMix = 1.0 - (1.0 - spot) * SPOTLIGHT;
  if (CONST_FIELD_PASS == 1) {
    vec4 layer = vSquare;
    vec2 q = (uv + CAMERA_ROTATION.xy) * layer.x + vFrame.zw + layer.yz;
    // Neighbouring cells' squares overlap: each pixel takes its own cell's
    // particle and adds nothing for the others.
    fragColor = floor(q) == vCell ? cell(q, spotMix) * layer.w : vec4(0.0);
    return;
  }
  int n = DENSITY;
  float fn = float(n);
  vec4 colour = vec4(0.0);
  // A scale of 0 would make every layer's grid infinitely coarse (NaN).
  if (ENABLED != 0 && SCALE > 0.0) {
    for (int i = 0; i < n; ++i) {
      vec4 layer = vLayer[i];
      vec2 q = (uv + CAMERA_ROTATION.xy) * layer.x + vFrame.zw + layer.yz;
      colour += cell(q, spotMix) * layer.w;
      if (DEBUG_GRID != 0 && min(fract(q).x, fract(q).y) < 0.01) colour.g += (fn - float(i)) / (fn + 1.0);
    }
  }
  colour *= FADE;
  if (DEBUG_SPOTLIGHT != 0) colour.r = spot;
  fragColor = colour;
}
)";

#undef FIELD_CENTRE
#undef FIELD_UNIFORMS
#undef FIELD_STRING
#undef FIELD_QUOTE
#undef FIELD_MAX_LAYERS

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

// This program's location with another program's value.
template <class T>
CachedUniform<T> With(const CachedUniform<T>& location, const CachedUniform<T>& value) {
  return {location.location, value.value};
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

const char* AmbientFieldVertex() { return kFieldVertex; }
const char* AmbientFieldFragment() { return kFieldFragment; }

void shAmbientParticles::Build() {
  if (m_stages[StageVertex].source == nullptr) m_stages[StageVertex].source = kFieldVertex;
  if (m_stages[StageFragment].source == nullptr) m_stages[StageFragment].source = kFieldFragment;
  // The constants must exist before the first compile.
  SetConstInt("CONST_PARTICLE_SHAPE", Values().m_shape, true);
  SetConstInt("CONST_FIELD_PASS", m_pass, true);
  m_builtShape = Values().m_shape;
  rvProgram2D::Build();
  m_layerLocation = Location("LAYER");
  m_columnsLocation = Location("COLUMNS");
  m_sumLocation = Location("FIELD_SUM");
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

const shAmbientParticles& shAmbientParticles::Values() const { return m_valuesFrom ? *m_valuesFrom : *this; }

void shAmbientParticles::Bind() {
  // A new shape is a new constant, which marks the stages for a rebuild
  // in the bind below.
  const int shape = Values().m_shape;
  if (shape != m_builtShape) SetConstInt("CONST_PARTICLE_SHAPE", shape, false);
  m_builtShape = shape;
  rvProgram2D::Bind();
  UploadAll();
}

void shAmbientParticles::UploadAll() const {
  const shAmbientParticles& v = Values();
  Upload(With(m_seed, v.m_seed));
  Upload(With(m_fade, v.m_fade));
  UploadInRange(With(m_color0, v.m_color0), 0.0f, 1.0f);
  UploadInRange(With(m_color1, v.m_color1), 0.0f, 1.0f);
  Upload(With(m_globalMotion, v.m_globalMotion));
  Upload(With(m_cameraPosition, v.m_cameraPosition));
  Upload(With(m_cameraRotation, v.m_cameraRotation));
  Upload(With(m_enabled, v.m_enabled));
  UploadInRange(With(m_blur, v.m_blur), 0.0f, 1.0f);
  UploadInRange(With(m_noiseMotion, v.m_noiseMotion), 0.0f, 1.0f);
  UploadInRange(With(m_density, v.m_density), 0.0f, static_cast<float>(kMaxDensity));
  UploadInRange(With(m_scale, v.m_scale), 0.0f, 2.0f);
  UploadInRange(With(m_depthScale, v.m_depthScale), 0.0f, 1.0f);
  UploadInRange(With(m_size, v.m_size), 0.0f, 0.5f);
  UploadInRange(With(m_depthAlpha, v.m_depthAlpha), 0.0f, 1.0f);
  UploadInRange(With(m_spotlight, v.m_spotlight), 0.0f, 1.0f);
  UploadInRange(With(m_lightPosXY, v.m_lightPosXY), -10.0f, 10.0f);
  Upload(With(m_lightRotZ, v.m_lightRotZ));
  UploadInRange(With(m_lightAperture, v.m_lightAperture), 0.0f, kQuarterTurn);
  UploadInRange(With(m_lightFallback, v.m_lightFallback), 0.0f, kQuarterTurn);
  UploadInRange(With(m_lightDistance, v.m_lightDistance), 0.0f, 10.0f);
  Upload(With(m_debugGrid, v.m_debugGrid));
  Upload(With(m_debugSpotlight, v.m_debugSpotlight));
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
      m_debugGrid(false),
      m_particleSquares(true),
      m_sum(nullptr),
      m_squareArray(0) {
  m_squareProgram.m_pass = 1;
  m_squareProgram.m_valuesFrom = &m_program;
  m_sumProgram.m_pass = 2;
  m_sumProgram.m_valuesFrom = &m_program;
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

fxAmbientParticles::~fxAmbientParticles() {
  m_program.Release();
  m_squareProgram.Release();
  m_sumProgram.Release();
  if (m_sum) Framebuffer::Destroy(m_sum);
  if (m_squareArray != 0) glDeleteVertexArrays(1, &m_squareArray);
}

//-----------------------------------------------------------------------------
// [SECTION] Per-frame work
//-----------------------------------------------------------------------------

void fxAmbientParticles::Init() {
  // Re-anchored at the current camera: a camera that jumped between two
  // runs does not move the field.
  const glm::vec3 tracked = TrackedPoint(CurrentTarget().m_invView, m_cameraMotionScale.w);
  if (std::isfinite(tracked.x) && std::isfinite(tracked.y) && std::isfinite(tracked.z)) m_motion.tracked = tracked;
  for (shAmbientParticles* program : {&m_program, &m_squareProgram, &m_sumProgram}) program->m_timeOffset = 1234.0f;
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
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  std::vector<glm::ivec2> grid;
  const bool squares = SquareGrid(viewport[2], viewport[3], grid);
  if (squares) AddParticles(grid, viewport);
  shAmbientParticles& program = squares ? m_sumProgram : m_program;
  program.Bind();
  if (squares) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_sum->GL()->m_colorTexture);
    if (program.m_sumLocation >= 0) glUniform1i(program.m_sumLocation, 0);
  }
  ApplyEffectBlend(m_blendMode, AlphaEquation::SameAsColor);
  if (m_useStencil) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, 1, 0xFF);
    glStencilMask(0);
  }
  program.DrawFull(0);
  program.Unbind();
  if (squares) glBindTexture(GL_TEXTURE_2D, 0);
  if (m_useStencil) {
    glDisable(GL_STENCIL_TEST);
    // A write mask left at 0 would turn every later stencil clear into
    // nothing.
    glStencilMask(0xFF);
  }
}

// Past this many squares a frame the per-pixel pass costs less.
constexpr int kMaxSquares = 4096;

bool fxAmbientParticles::SquareGrid(int width, int height, std::vector<glm::ivec2>& grid) const {
  const shAmbientParticles& p = m_program;
  const int layers = InRange(p.m_density.value, 0.0f, static_cast<float>(kMaxDensity));
  const float scale = InRange(p.m_scale.value, 0.0f, 2.0f);
  const float depthScale = InRange(p.m_depthScale.value, 0.0f, 1.0f);
  // The debug views draw over every pixel.
  if (!m_particleSquares || !m_enabled || m_debugGrid || m_debugLight || layers == 0 || !(scale > 0.0f) ||
      width <= 0 || height <= 0)
    return false;
  const float aspect = static_cast<float>(height) / static_cast<float>(width);
  int squares = 0;
  for (int i = 0; i < layers; ++i) {
    // A layer's grid scale is at most its own target scale (it eases from
    // the previous, smaller one); the target spans 2 x scale cells across
    // and 2 x aspect x scale up, plus a cell of margin on every side.
    const float layerScale = (static_cast<float>(i) * depthScale + 1.0f) / scale;
    const glm::ivec2 cells(static_cast<int>(2.0f * layerScale) + 4, static_cast<int>(2.0f * aspect * layerScale) + 4);
    squares += cells.x * cells.y;
    if (squares > kMaxSquares) return false;
    grid.push_back(cells);
  }
  return true;
}

void fxAmbientParticles::AddParticles(const std::vector<glm::ivec2>& grid, const GLint viewport[4]) {
  GLint target = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
  if (m_sum == nullptr) m_sum = new Framebuffer();
  // 32-bit floats add exactly as the per-pixel loop does, layer by layer.
  m_sum->Create("AmbientParticles.sum", viewport[2], viewport[3], FB_COLOR | FB_RGBA32F);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_sum->GL()->m_framebuffer);
  glViewport(0, 0, viewport[2], viewport[3]);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  const GLfloat zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glClearBufferfv(GL_COLOR, 0, zero);
  m_squareProgram.Bind();
  if (m_squareProgram.m_program != 0) {
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE);
    if (m_squareArray == 0) glGenVertexArrays(1, &m_squareArray);
    glBindVertexArray(m_squareArray);
    for (size_t i = 0; i < grid.size(); ++i) {
      glUniform1i(m_squareProgram.m_layerLocation, static_cast<int>(i));
      glUniform1i(m_squareProgram.m_columnsLocation, grid[i].x);
      glDrawArraysInstanced(GL_TRIANGLES, 0, 6, grid[i].x * grid[i].y);
    }
    glBindVertexArray(0);
  }
  m_squareProgram.Unbind();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(target));
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}
