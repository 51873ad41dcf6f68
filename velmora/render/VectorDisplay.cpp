// Vector display: GPU programs, creation and release, flush with decay,
// glow capture (BeginPass/EndPass). The geometry arrays themselves are the
// VectorGeometry base (VectorGeometry.cpp); this file uploads them.
//
// [SECTION] Process-wide state and logging
// [SECTION] Shader sources
// [SECTION] Program building
// [SECTION] Vertex arrays and the decay history
// [SECTION] Creation, set-up, glow targets, release
// [SECTION] Flush
// [SECTION] Glow capture: BeginPass / EndPass
#include "render/VectorDisplay.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "render/GLShaderBuild.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "platform/Profiler.h"

//-----------------------------------------------------------------------------
// [SECTION] Process-wide state and logging
//-----------------------------------------------------------------------------

int g_nVectorHistoryIndex = 0;

VectorGeometry* CurrentVectorGeometry() { return g_pCurrentVectorDisplay; }

namespace {

// The glow-dot texture: the profile across every line and dot, shared by
// all displays, made by the first set-up and deleted with the last set-up
// display, so that no display ever samples a name left from a GL context
// that is gone.
GLuint s_pointTexture = 0;
int s_pointTextureUsers = 0;

constexpr int kPointTextureSize = 64;
// Glow framebuffers: colour, linear filtering, 8-bit RGBA.
constexpr uint32_t kGlowFramebufferFlags = 41;
// Screen quads sit at z 10000 under a projection reaching 70000 deep, moved
// back by the whole depth, so they always land inside the clip volume.
constexpr float kQuadDepth = 10000.0f;
constexpr float kOrthoFar = 70000.0f;
// The colour fog fades into. Targets are cleared to black at every frame
// start, and the framebuffer records carry no clear colour of their own.
const glm::vec3 kBackColor(0.0f);

}  // namespace

void vector_display_log(const char* format, ...) {
  std::fputs("[vector_display] ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputs("\n", stderr);
  std::fflush(stderr);
}

float NormalizeRange(glm::vec2& range) {
  if (range.x > range.y) std::swap(range.x, range.y);
  if (range.x == range.y) range.y += 0.0001f;
  return range.y;
}

float vector_display::GlowGain(float brightness) {
  const float d = brightness - 1.0f;
  return (brightness <= 1.0f ? 0.9f : 0.2f) * d * d * d + 1.05f;
}

int vector_display::GlowPasses(float brightness) {
  // NaN and negative values glow not at all; the cap keeps the count finite
  // and the cast defined.
  if (!(brightness > 0.0f)) return 0;
  return static_cast<int>(std::ceil(std::min(brightness, kMaxGlowBrightness) * 8.0f));
}

float vector_display::DecayWeight(const VectorDisplaySettings& s, float steps, int age) {
  if (age <= 0) return 1.0f;
  // With exactly two steps the one earlier frame is the frame before the
  // current one: it gets the initial weight instead of a 0 / 0 base.
  const float span = steps - 2.0f;
  const float base = span > 0.0f ? static_cast<float>(age - 1) / span : 0.0f;
  return s.decayInitial + (s.decayFinal - s.decayInitial) * std::pow(base, s.decayRamp);
}

//-----------------------------------------------------------------------------
// [SECTION] Shader sources
//-----------------------------------------------------------------------------

namespace {

const char* kScreenVertex = R"(#version 450 core
layout(location = 0) in vec4 inPosition;
layout(location = 1) in vec2 inTexCoord;
uniform mat4 inModelViewMatrix;
uniform mat4 inProjectionMatrix;
out vec2 uv;
void main() {
  uv = inTexCoord;
  gl_Position = inProjectionMatrix * inModelViewMatrix * inPosition;
}
)";

const char* kBlitFragment = R"(#version 450 core
in vec2 uv;
uniform sampler2D tex0;
uniform float alpha;
uniform float mult;
out vec4 fragColor;
void main() {
  fragColor = texture(tex0, uv) * vec4(mult, mult, mult, alpha * mult);
}
)";

// The blur's column of taps: in the passes between the glow targets every
// row tap lands on a texel centre of a target of the pass's own size (the
// step is one texel tall), so those passes fetch the texel instead of
// filtering four; the first pass reads the full-size capture between texels
// and filters. The two programs are this source with and without
// FETCH_ROWS defined.
const char* kBlurFragment = R"(
in vec2 uv;
uniform sampler2D tex0;
uniform vec2 scale;
uniform float alpha;
uniform float mult;
out vec4 fragColor;
const float kWeights[9] = float[](0.05, 0.09, 0.12, 0.15, 0.16, 0.15, 0.12, 0.09, 0.05);
vec4 Row(vec2 start, int i) {
#ifdef FETCH_ROWS
  ivec2 p = ivec2(gl_FragCoord.xy);
  return texelFetch(tex0, ivec2(p.x, clamp(p.y + i - 4, 0, textureSize(tex0, 0).y - 1)), 0);
#else
  return texture(tex0, start + vec2(0.0, float(i) * scale.y));
#endif
}
void main() {
  vec4 sum = vec4(0.0);
  vec2 start = uv - vec2(4.0 * scale.x, 0.0);
  for (int i = 0; i < 9; ++i) sum += texture(tex0, start + vec2(float(i) * scale.x, 0.0)) * kWeights[i];
  start = uv - vec2(0.0, 4.0 * scale.y);
  for (int i = 0; i < 9; ++i) sum += Row(start, i) * kWeights[i];
  fragColor = sum * 0.5 * vec4(mult, mult, mult, alpha * mult);
}
)";

std::string BlurFragment(bool fetchRows) {
  return std::string("#version 450 core\n") + (fetchRows ? "#define FETCH_ROWS\n" : "") + kBlurFragment;
}

// Shared by the triangle, line and point programs.
const char* kGeometryVertex = R"(#version 450 core
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inColor;
layout(location = 2) in int inFlags;
layout(location = 3) in float inThickness;
out vec3 vsColor;
flat out int vsFlags;
out float vsThickness;
void main() {
  vsColor = inColor;
  vsFlags = inFlags;
  vsThickness = inThickness;
  gl_Position = vec4(inPosition, 1.0);
}
)";

const char* kFogFunction = R"(
uniform float COLOR_INTENSITY;
uniform vec3 COLOR_BACK;
uniform vec3 COLOR_FOG;
uniform float ALPHA;
vec3 Fogged(vec3 color) {
  float z = gl_FragCoord.z / gl_FragCoord.w;
  float fog = 1.0 - pow(1.0 - clamp((z - COLOR_FOG.x) / (COLOR_FOG.y - COLOR_FOG.x), 0.0, 1.0), COLOR_FOG.z);
  return mix(color * COLOR_INTENSITY, COLOR_BACK, fog);
}
)";

const char* kTriangleGeometry = R"(#version 450 core
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;
uniform mat4 MVP;
uniform float DECALZ;
uniform vec2 VIEWPORT;
uniform vec2 THICKNESS_RANGE;
uniform float THICKNESS_FACTOR;
in vec3 vsColor[];
flat in int vsFlags[];
in float vsThickness[];
out vec3 gsColor;
out vec4 gsDist;
out vec3 gsTexCoord;
const int PTF_TRIANGLE_DISCARDLINE = 4;
const int PTF_TEXTURE_MAPPING = 8;
float Cross2(vec2 a, vec2 b) { return a.x * b.y - a.y * b.x; }
// |cos| of the angle between two edges; 0 for a degenerate edge.
float AbsCos(vec2 a, vec2 b) {
  float l = length(a) * length(b);
  return l > 0.0 ? abs(dot(a, b)) / l : 0.0;
}
void main() {
  vec4 p[3];
  vec2 s[3];
  float T[3];
  float ratio = VIEWPORT.y / VIEWPORT.x;
  for (int i = 0; i < 3; ++i) {
    p[i] = MVP * gl_in[i].gl_Position;
    s[i] = p[i].xy / p[i].w;
    p[i].z += DECALZ;
    float k = 2.0 * VIEWPORT.y / max(p[i].w, 1.0);
    T[i] = clamp(THICKNESS_FACTOR * vsThickness[i] * k, THICKNESS_RANGE.x, THICKNESS_RANGE.y) / k;
  }
  float t0 = AbsCos(s[0] - s[1], s[2] - s[1]);
  float t1 = AbsCos(s[1] - s[0], s[2] - s[0]);
  float thick[3] = float[](mix(T[1], T[2], t0), mix(T[0], T[2], t1), mix(T[0], T[1], t1));
  for (int i = 0; i < 3; ++i) {
    int a = (i + 1) % 3;
    int b = (i + 2) % 3;
    vec2 e = s[b] - s[a];
    // A degenerate triangle has no opposite edge to measure from.
    float el = max(length(e), 1e-8);
    float h = abs(Cross2(s[a] - s[i], s[b] - s[i])) / el;
    vec4 dist = vec4(0.0);
    dist[i] = h * max(p[i].w, 1.0);
    if ((vsFlags[a] & PTF_TRIANGLE_DISCARDLINE) != 0) dist[i] += 999999.0;
    dist.w = thick[i];
    gsDist = dist * mix(1.0, ratio, abs(e.x) / el);
    if ((vsFlags[i] & PTF_TEXTURE_MAPPING) != 0) {
      gsTexCoord = vec3(float((vsFlags[i] >> 24) & 255) / 255.0, float((vsFlags[i] >> 16) & 255) / 255.0, 1.0);
    } else {
      gsTexCoord = vec3(0.0);
    }
    gsColor = vsColor[i];
    gl_Position = p[i];
    EmitVertex();
  }
  EndPrimitive();
}
)";

const char* kTriangleFragmentMain = R"(
uniform sampler2D TEXTURE_MAPPED;
in vec3 gsColor;
in vec4 gsDist;
in vec3 gsTexCoord;
out vec4 fragColor;
void main() {
  float d = min(gsDist.x, min(gsDist.y, gsDist.z));
  float I = 1.0 - smoothstep(0.0, 1.0, d / gsDist.w);
  vec3 base = gsTexCoord.z >= 0.9 ? texture(TEXTURE_MAPPED, gsTexCoord.xy).rgb : vec3(0.0);
  fragColor = vec4(Fogged(mix(base, gsColor, I)), ALPHA);
}
)";

const char* kLineGeometry = R"(#version 450 core
layout(lines_adjacency) in;
layout(triangle_strip, max_vertices = 12) out;
uniform mat4 MVP;
uniform vec2 VIEWPORT;
uniform vec2 THICKNESS_RANGE;
uniform float THICKNESS_FACTOR;
uniform float MITER_LIMIT;
in vec3 vsColor[];
flat in int vsFlags[];
in float vsThickness[];
out vec3 gsColor;
out vec2 gsTexCoord;
const int PTF_LINE_STRIPSTART = 1;
const int PTF_LINE_STRIPEND = 2;
// Below this length (screen units) a segment has no direction.
const float kMinLength = 1e-4;
vec4 p[4];
vec2 ToScreen(vec4 c) { return c.xy / c.w * VIEWPORT.y; }
void Emit(vec2 pt, vec4 clip, vec3 color, vec2 uv) {
  gl_Position = vec4(clip.w * pt / VIEWPORT.y, clip.z, clip.w);
  gsColor = color;
  gsTexCoord = uv;
  EmitVertex();
}
float Thickness(int i) {
  return clamp(2.0 * VIEWPORT.y * vsThickness[i] * THICKNESS_FACTOR / p[i].w, THICKNESS_RANGE.x, THICKNESS_RANGE.y);
}
void Dot(vec2 pt, float T) {
  Emit(pt + vec2(-T, -T), p[1], vsColor[1], vec2(0.0, 0.0));
  Emit(pt + vec2(-T, T), p[1], vsColor[1], vec2(0.0, 1.0));
  Emit(pt + vec2(T, -T), p[1], vsColor[1], vec2(1.0, 0.0));
  Emit(pt + vec2(T, T), p[1], vsColor[1], vec2(1.0, 1.0));
  EndPrimitive();
}
vec2 Normal(vec2 d) { return vec2(-d.y, d.x); }
void main() {
  if ((vsFlags[0] & PTF_LINE_STRIPEND) != 0 || (vsFlags[1] & PTF_LINE_STRIPEND) != 0 ||
      (vsFlags[2] & PTF_LINE_STRIPSTART) != 0 || (vsFlags[3] & PTF_LINE_STRIPSTART) != 0) return;
  bool valid0 = vsFlags[0] == 0;
  bool valid2 = vsFlags[3] == 0;
  for (int i = 0; i < 4; ++i) p[i] = MVP * gl_in[i].gl_Position;
  vec2 pt0 = ToScreen(p[0]), pt1 = ToScreen(p[1]), pt2 = ToScreen(p[2]), pt3 = ToScreen(p[3]);
  float T1 = Thickness(1);
  float T2 = Thickness(2);
  float area = VIEWPORT.y + max(T1, T2);
  if ((pt1.x < -area && pt2.x < -area) || (pt1.x > area && pt2.x > area) ||
      (pt1.y < -area && pt2.y < -area) || (pt1.y > area && pt2.y > area)) return;
  if (vsFlags[1] != 0 || vsFlags[2] != 0) {
    Dot(pt1, T1);
    return;
  }
  float len1 = length(pt2 - pt1);
  // A repeated point: a lone strip of it is a dot; inside a strip its
  // neighbours round themselves off with caps instead of joining to it.
  if (len1 < kMinLength) {
    if (!valid0 && !valid2) Dot(pt1, T1);
    return;
  }
  bool joinPrev = valid0 && length(pt1 - pt0) >= kMinLength;
  bool joinNext = valid2 && length(pt3 - pt2) >= kMinLength;
  vec2 dCur = (pt2 - pt1) / len1;
  vec2 dPrev = joinPrev ? normalize(pt1 - pt0) : dCur;
  vec2 dNext = joinNext ? normalize(pt3 - pt2) : dCur;
  vec2 nPrev = Normal(dPrev), nCur = Normal(dCur), nNext = Normal(dNext);
  vec2 miterA = nCur, miterB = nCur;
  float lengthA = T1, lengthB = T2;
  vec3 c1 = vsColor[1], c2 = vsColor[2];
  if (joinPrev) {
    if (dot(dPrev, dCur) < -MITER_LIMIT) {
      // Too sharp to miter: butt the segment and close the gap.
      if (dot(dPrev, nCur) > 0.0) {
        Emit(pt1 + T1 * nPrev, p[1], c1, vec2(0.5, 0.0));
        Emit(pt1 + T1 * nCur, p[1], c1, vec2(0.5, 0.0));
        Emit(pt1, p[1], c1, vec2(0.5, 0.5));
      } else {
        Emit(pt1 - T1 * nCur, p[1], c1, vec2(0.5, 1.0));
        Emit(pt1 - T1 * nPrev, p[1], c1, vec2(0.5, 1.0));
        Emit(pt1, p[1], c1, vec2(0.5, 0.5));
      }
      EndPrimitive();
    } else {
      miterA = normalize(nPrev + nCur);
      lengthA = T1 / dot(miterA, nCur);
    }
  }
  if (joinNext && dot(dCur, dNext) >= -MITER_LIMIT) {
    miterB = normalize(nCur + nNext);
    lengthB = T2 / dot(miterB, nCur);
  }
  float da = dot(lengthA * miterA, dCur);
  float db = dot(lengthB * miterB, dCur);
  float fact0 = len1 / max(len1, da - db);
  float fact1 = len1 / max(len1, db - da);
  Emit(pt1 + fact0 * lengthA * miterA, p[1], c1, vec2(0.5, 0.5 * (1.0 - fact0)));
  Emit(pt1 - fact1 * lengthA * miterA, p[1], c1, vec2(0.5, 1.0 - 0.5 * (1.0 - fact1)));
  Emit(pt2 + fact0 * lengthB * miterB, p[2], c2, vec2(0.5, 0.5 * (1.0 - fact0)));
  Emit(pt2 - fact1 * lengthB * miterB, p[2], c2, vec2(0.5, 1.0 - 0.5 * (1.0 - fact1)));
  EndPrimitive();
  if (!joinPrev) {
    Emit(pt1 + T1 * (nCur - dCur), p[1], c1, vec2(0.0, 0.0));
    Emit(pt1 - T1 * (nCur + dCur), p[1], c1, vec2(0.0, 1.0));
    Emit(pt1 + T1 * nCur, p[1], c1, vec2(0.5, 0.0));
    Emit(pt1 - T1 * nCur, p[1], c1, vec2(0.5, 1.0));
    EndPrimitive();
  }
  if (!joinNext) {
    Emit(pt2 + T2 * (nCur + dCur), p[2], c2, vec2(1.0, 0.0));
    Emit(pt2 - T2 * (nCur - dCur), p[2], c2, vec2(1.0, 1.0));
    Emit(pt2 + T2 * nCur, p[2], c2, vec2(0.5, 0.0));
    Emit(pt2 - T2 * nCur, p[2], c2, vec2(0.5, 1.0));
    EndPrimitive();
  }
}
)";

const char* kPointGeometry = R"(#version 450 core
layout(points) in;
layout(triangle_strip, max_vertices = 4) out;
uniform mat4 MVP;
uniform vec2 VIEWPORT;
uniform vec2 THICKNESS_RANGE;
uniform float THICKNESS_FACTOR;
in vec3 vsColor[];
flat in int vsFlags[];
in float vsThickness[];
out vec3 gsColor;
out vec2 gsTexCoord;
void main() {
  vec4 p = MVP * gl_in[0].gl_Position;
  float T = clamp(2.0 * VIEWPORT.y * vsThickness[0] * THICKNESS_FACTOR / p.w, THICKNESS_RANGE.x, THICKNESS_RANGE.y);
  float hh = 2.0 * p.w * T / VIEWPORT.y;
  float hw = hh * VIEWPORT.y / VIEWPORT.x;
  vec2 corner[4] = vec2[](vec2(-1.0, -1.0), vec2(-1.0, 1.0), vec2(1.0, -1.0), vec2(1.0, 1.0));
  for (int i = 0; i < 4; ++i) {
    gl_Position = vec4(p.x + corner[i].x * hw, p.y + corner[i].y * hh, p.z, p.w);
    gsColor = vsColor[0];
    gsTexCoord = corner[i] * 0.5 + 0.5;
    EmitVertex();
  }
  EndPrimitive();
}
)";

// Lines and points: the glow-dot texture's alpha is the profile.
const char* kGlowFragmentMain = R"(
uniform sampler2D tex0;
in vec3 gsColor;
in vec2 gsTexCoord;
out vec4 fragColor;
void main() {
  fragColor = vec4(Fogged(gsColor), texture(tex0, gsTexCoord).a * ALPHA);
}
)";

std::string FragmentWithFog(const char* main) { return std::string("#version 450 core\n") + kFogFunction + main; }

//-----------------------------------------------------------------------------
// [SECTION] Program building
//-----------------------------------------------------------------------------

struct AttributeName {
  GLuint location;
  const char* name;
};
const AttributeName kScreenAttributes[] = {{0, "inPosition"}, {1, "inTexCoord"}};
const AttributeName kGeometryAttributes[] = {
    {0, "inPosition"}, {1, "inColor"}, {2, "inFlags"}, {3, "inThickness"}};

// Compiles and links one program; 0 (logged) when a stage or the link fails.
template <size_t N>
GLuint BuildProgram(const char* vertex, const char* geometry, const std::string& fragment,
                    const AttributeName (&attributes)[N]) {
  const GLuint vs = vector_display::CompileShader(GL_VERTEX_SHADER, vertex);
  const GLuint gs = geometry ? vector_display::CompileShader(GL_GEOMETRY_SHADER, geometry) : 0;
  const GLuint fs = vector_display::CompileShader(GL_FRAGMENT_SHADER, fragment.c_str());
  GLuint program = 0;
  if (vs && fs && (gs || !geometry)) {
    program = glCreateProgram();
    if (!program) {
      vector_display_log("Error creating program");
    } else {
      glAttachShader(program, vs);
      if (gs) glAttachShader(program, gs);
      glAttachShader(program, fs);
      for (const AttributeName& a : attributes) glBindAttribLocation(program, a.location, a.name);
      glLinkProgram(program);
      if (vector_display::CheckLink(program) != 0) program = 0;  // CheckLink deleted it
    }
  }
  // The linked program keeps its own copy of the stages.
  for (GLuint shader : {vs, gs, fs})
    if (shader) glDeleteShader(shader);
  return program;
}

void LookUpGeometryUniforms(vector_display::GeometryProgram& p) {
  const GLuint id = p.program;
  p.mvp = glGetUniformLocation(id, "MVP");
  p.alpha = glGetUniformLocation(id, "ALPHA");
  p.decalZ = glGetUniformLocation(id, "DECALZ");
  p.miterLimit = glGetUniformLocation(id, "MITER_LIMIT");
  p.viewport = glGetUniformLocation(id, "VIEWPORT");
  p.colorIntensity = glGetUniformLocation(id, "COLOR_INTENSITY");
  p.colorBack = glGetUniformLocation(id, "COLOR_BACK");
  p.colorFog = glGetUniformLocation(id, "COLOR_FOG");
  p.thicknessRange = glGetUniformLocation(id, "THICKNESS_RANGE");
  p.thicknessFactor = glGetUniformLocation(id, "THICKNESS_FACTOR");
  p.textureMapped = glGetUniformLocation(id, "TEXTURE_MAPPED");
}

void LookUpBlurUniforms(vector_display::BlurProgram& p) {
  const GLuint id = p.program;
  p.modelView = glGetUniformLocation(id, "inModelViewMatrix");
  p.projection = glGetUniformLocation(id, "inProjectionMatrix");
  p.scale = glGetUniformLocation(id, "scale");
  p.alpha = glGetUniformLocation(id, "alpha");
  p.mult = glGetUniformLocation(id, "mult");
  p.tex0 = glGetUniformLocation(id, "tex0");
  glProgramUniform1i(id, p.tex0, 0);
}

// Uniforms of a glow pass: the screen quad at the glow size, the gain, and
// the tap step (the height for both directions, so the blur is as wide as
// it is tall in pixels of the glow target only when it is square).
void SetBlurUniforms(const vector_display::BlurProgram& p, const glm::mat4& projection, const glm::mat4& modelView,
                     float gain, float glowHeight) {
  glProgramUniformMatrix4fv(p.program, p.projection, 1, GL_FALSE, glm::value_ptr(projection));
  glProgramUniformMatrix4fv(p.program, p.modelView, 1, GL_FALSE, glm::value_ptr(modelView));
  glProgramUniform1f(p.program, p.alpha, 1.0f);
  glProgramUniform1f(p.program, p.mult, gain);
  glProgramUniform2f(p.program, p.scale, 1.0f / glowHeight, 1.0f / glowHeight);
}

void DeleteProgram(GLuint& program) {
  if (program) glDeleteProgram(program);
  program = 0;
}

}  // namespace

GLuint vector_display::CompileShader(GLenum type, const char* source) {
  std::string info;
  const GLuint shader = CompileGLShader(type, source, &info);
  if (!shader) vector_display_log("Error compiling shader:\n%s\n", info.c_str());
  return shader;
}

int vector_display::CheckLink(GLuint program) {
  std::string info;
  if (CheckGLLink(program, &info)) return 0;
  vector_display_log("Error linking program:\n%s\n", info.c_str());
  glDeleteProgram(program);
  return -1;
}

//-----------------------------------------------------------------------------
// [SECTION] Vertex arrays and the decay history
//-----------------------------------------------------------------------------

namespace {

// A vertex array over one buffer with the VectorVertex layout: position and
// colour as floats, flags as a true integer attribute, thickness as a float.
void CreateVertexBuffer(GLuint& vao, GLuint& vbo) {
  glCreateVertexArrays(1, &vao);
  glCreateBuffers(1, &vbo);
  glVertexArrayVertexBuffer(vao, 0, vbo, 0, sizeof(VectorVertex));
  glVertexArrayAttribFormat(vao, 0, 3, GL_FLOAT, GL_FALSE, offsetof(VectorVertex, position));
  glVertexArrayAttribFormat(vao, 1, 3, GL_FLOAT, GL_FALSE, offsetof(VectorVertex, color));
  glVertexArrayAttribIFormat(vao, 2, 1, GL_INT, offsetof(VectorVertex, flags));
  glVertexArrayAttribFormat(vao, 3, 1, GL_FLOAT, GL_FALSE, offsetof(VectorVertex, thickness));
  for (GLuint a = 0; a < 4; ++a) {
    glVertexArrayAttribBinding(vao, a, 0);
    glEnableVertexArrayAttrib(vao, a);
  }
}

void DeleteVertexBuffer(GLuint& vao, GLuint& vbo) {
  if (vao) glDeleteVertexArrays(1, &vao);
  if (vbo) glDeleteBuffers(1, &vbo);
  vao = vbo = 0;
}

}  // namespace

void VectorHistory::Init() {
  Release();
  for (Slot& s : slots) {
    CreateVertexBuffer(s.points.vao, s.points.vbo);
    CreateVertexBuffer(s.lines.vao, s.lines.vbo);
    CreateVertexBuffer(s.triangles.vao, s.triangles.vbo);
  }
  generation = -1;
  Empty();
}

void VectorHistory::Release() {
  for (Slot& s : slots) {
    DeleteVertexBuffer(s.points.vao, s.points.vbo);
    DeleteVertexBuffer(s.lines.vao, s.lines.vbo);
    DeleteVertexBuffer(s.triangles.vao, s.triangles.vbo);
  }
  Empty();
}

void VectorHistory::Empty() {
  totalPoints = totalLineVertices = totalTriangles = 0;
  for (Slot& s : slots) s.points.count = s.lines.count = s.triangles.count = 0;
}

//-----------------------------------------------------------------------------
// [SECTION] Creation, set-up, glow targets, release
//-----------------------------------------------------------------------------

int vector_display::Create(const char* name, float width, float height, vector_display** out) {
  if (!out) return 0;
  vector_display* d = new vector_display();
  d->m_history.Init();
  // Names longer than the buffer are cut; the glow targets take the cut name.
  std::snprintf(d->m_name, sizeof(d->m_name) - 1, "%s", name ? name : "?");
  CreateVertexBuffer(d->m_drawVao, d->m_drawVbo);
  d->m_width = width;
  d->m_height = height;
  d->m_glowWidth = width / 3.0f;
  d->m_glowHeight = height / 3.0f;
  d->m_setup = -1;
  *out = d;
  return 0;
}

void vector_display::Destroy(vector_display*& display) {
  if (!display) return;
  display->ReleaseGL();
  delete display;
  display = nullptr;
}

void vector_display::ReleaseGL() {
  DeleteProgram(m_blit.program);
  DeleteProgram(m_blur.program);
  DeleteProgram(m_blurRows.program);
  DeleteProgram(m_triangleProgram.program);
  DeleteProgram(m_lineProgram.program);
  DeleteProgram(m_pointProgram.program);
  DeleteVertexBuffer(m_quadFull.vao, m_quadFull.vbo);
  DeleteVertexBuffer(m_quadGlow.vao, m_quadGlow.vbo);
  FreeGlowTargets();
  m_history.Release();
  DeleteVertexBuffer(m_drawVao, m_drawVbo);
  if (m_setup == 1 && --s_pointTextureUsers == 0) {
    glDeleteTextures(1, &s_pointTexture);
    s_pointTexture = 0;
  }
  m_setup = 0;
}

int vector_display::Setup() {
  m_blit.program = BuildProgram(kScreenVertex, nullptr, kBlitFragment, kScreenAttributes);
  m_blur.program = m_blit.program ? BuildProgram(kScreenVertex, nullptr, BlurFragment(false), kScreenAttributes) : 0;
  m_blurRows.program =
      m_blur.program ? BuildProgram(kScreenVertex, nullptr, BlurFragment(true), kScreenAttributes) : 0;
  m_triangleProgram.program =
      m_blurRows.program ? BuildProgram(kGeometryVertex, kTriangleGeometry, FragmentWithFog(kTriangleFragmentMain),
                                    kGeometryAttributes)
                     : 0;
  m_lineProgram.program = m_triangleProgram.program
                              ? BuildProgram(kGeometryVertex, kLineGeometry, FragmentWithFog(kGlowFragmentMain),
                                             kGeometryAttributes)
                              : 0;
  m_pointProgram.program = m_lineProgram.program
                               ? BuildProgram(kGeometryVertex, kPointGeometry, FragmentWithFog(kGlowFragmentMain),
                                              kGeometryAttributes)
                               : 0;
  if (!m_pointProgram.program) {
    // A display that cannot draw stays not set up: its flushes do nothing
    // instead of drawing with programs and glow buffers that do not exist.
    DeleteProgram(m_blit.program);
    DeleteProgram(m_blur.program);
    DeleteProgram(m_blurRows.program);
    DeleteProgram(m_triangleProgram.program);
    DeleteProgram(m_lineProgram.program);
    return -1;
  }

  const GLuint blit = m_blit.program;
  m_blit.modelView = glGetUniformLocation(blit, "inModelViewMatrix");
  m_blit.projection = glGetUniformLocation(blit, "inProjectionMatrix");
  m_blit.alpha = glGetUniformLocation(blit, "alpha");
  m_blit.mult = glGetUniformLocation(blit, "mult");
  m_blit.tex0 = glGetUniformLocation(blit, "tex0");
  glProgramUniform1i(blit, m_blit.tex0, 0);

  LookUpBlurUniforms(m_blur);
  LookUpBlurUniforms(m_blurRows);

  LookUpGeometryUniforms(m_triangleProgram);
  glProgramUniform1i(m_triangleProgram.program, m_triangleProgram.textureMapped, 0);
  LookUpGeometryUniforms(m_lineProgram);
  glProgramUniform1f(m_lineProgram.program, m_lineProgram.miterLimit, 0.75f);
  LookUpGeometryUniforms(m_pointProgram);

  CreatePointTexture();
  ++s_pointTextureUsers;

  for (ScreenQuad* q : {&m_quadFull, &m_quadGlow}) {
    glCreateVertexArrays(1, &q->vao);
    glCreateBuffers(1, &q->vbo);
    glVertexArrayVertexBuffer(q->vao, 0, q->vbo, 0, 5 * sizeof(float));
    glVertexArrayAttribFormat(q->vao, 0, 3, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribFormat(q->vao, 1, 2, GL_FLOAT, GL_FALSE, 3 * sizeof(float));
    for (GLuint a = 0; a < 2; ++a) {
      glVertexArrayAttribBinding(q->vao, a, 0);
      glEnableVertexArrayAttrib(q->vao, a);
    }
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  m_setup = 1;
  return CreateGlowTargets();
}

void vector_display::CreatePointTexture() {
  if (s_pointTexture) return;
  std::vector<uint8_t> texels(kPointTextureSize * kPointTextureSize * 4);
  const int half = kPointTextureSize / 2;
  for (int row = 0; row < kPointTextureSize; ++row) {
    for (int col = 0; col < kPointTextureSize; ++col) {
      const float dx = static_cast<float>(col - half);
      const float dy = static_cast<float>(row - half);
      const float r = std::sqrt(dx * dx + dy * dy);
      const float a = std::pow(16.0f, -2.0f * std::min(r / 32.0f, 1.0f));
      uint8_t* t = &texels[(row * kPointTextureSize + col) * 4];
      t[0] = t[1] = t[2] = 255;
      t[3] = static_cast<uint8_t>(255.0f * std::min(std::max(a, 0.0f), 1.0f));
    }
  }
  glActiveTexture(GL_TEXTURE0);
  glGenTextures(1, &s_pointTexture);
  glBindTexture(GL_TEXTURE_2D, s_pointTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  // Errors raised before this point are not the upload's.
  while (glGetError() != GL_NO_ERROR) {
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kPointTextureSize, kPointTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               texels.data());
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) vector_display_log("opengl error in %s: %d", "glTexImage2D", static_cast<int>(error));
  glBindTexture(GL_TEXTURE_2D, 0);
}

GLuint vector_display::PointTexture() { return s_pointTexture; }

int vector_display::CreateGlowTargets() {
  if (m_setup != 1) return 0;
  GLint saved = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &saved);
  const int gw = static_cast<int>(m_glowWidth);
  const int gh = static_cast<int>(m_glowHeight);
  for (int i = 0; i < 2; ++i) {
    if (!m_glow[i]) m_glow[i] = new Framebuffer();
    Framebuffer* f = m_glow[i];
    if (gw != 0 && gh != 0 && (f->m_width != gw || f->m_height != gh || f->m_flags != kGlowFramebufferFlags)) {
      f->Create(std::string(m_name) + ".glow" + std::to_string(i), gw, gh, kGlowFramebufferFlags);
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(saved));
  FillScreenQuads();
  return 0;
}

void vector_display::FreeGlowTargets() {
  for (Framebuffer*& f : m_glow)
    if (f) Framebuffer::Destroy(f);
}

void vector_display::FillScreenQuads() {
  const std::pair<ScreenQuad*, glm::vec2> quads[] = {{&m_quadFull, {m_width, m_height}},
                                                     {&m_quadGlow, {m_glowWidth, m_glowHeight}}};
  for (const auto& [quad, size] : quads) {
    const float W = size.x, H = size.y, Z = kQuadDepth;
    // y = 0 is the top of the screen and samples v = 1 (the texture's top row).
    const float v[30] = {0, 0, Z, 0, 1, W, H, Z, 1, 0, W, 0, Z, 1, 1,
                         0, 0, Z, 0, 1, 0, H, Z, 0, 0, W, H, Z, 1, 0};
    glNamedBufferData(quad->vbo, sizeof(v), v, GL_STATIC_DRAW);
  }
}

void vector_display::Resize(int width, int height) {
  if (m_setup == 1) FreeGlowTargets();
  m_width = static_cast<float>(width);
  m_height = static_cast<float>(height);
  m_glowWidth = m_width / 3.0f;
  m_glowHeight = m_height / 3.0f;
  CreateGlowTargets();
  ClearGeometry();
  m_resizeGeneration++;
}

//-----------------------------------------------------------------------------
// [SECTION] Flush
//-----------------------------------------------------------------------------

void vector_display::SetGeometryUniforms(const GeometryProgram& p, const glm::mat4& mvp) {
  const VectorDisplaySettings& s = m_settings;
  glUseProgram(p.program);
  glUniformMatrix4fv(p.mvp, 1, GL_FALSE, glm::value_ptr(mvp));
  glUniform2f(p.viewport, m_width, m_height);
  glUniform1f(p.colorIntensity, s.colorIntensity);
  glUniform3fv(p.colorBack, 1, glm::value_ptr(kBackColor));
  glUniform3f(p.colorFog, s.fogZ.x, s.fogZ.y, s.fogPower);
  glUniform2f(p.thicknessRange, s.thickness.x * 10.0f, s.thickness.y * 10.0f);
  glUniform1f(p.thicknessFactor, s.thicknessFactor);
  glUniform1f(p.alpha, 1.0f);
  if (p.decalZ >= 0) glUniform1f(p.decalZ, 0.0f);
  if (p.miterLimit >= 0) glUniform1f(p.miterLimit, 0.75f);
}

namespace {

int SlotIndex(int i) { return ((i % VectorHistory::kSlots) + VectorHistory::kSlots) % VectorHistory::kSlots; }

// Hands one history layer to the rasteriser. llvmpipe bins a frame's layers
// into one scene and then slows down far beyond the sum of its layers (ten
// times for the 15 layers of a phosphor text at 640x480); a flush after each
// layer keeps its cost that sum. Nothing visible changes.
void HandOverLayer() { glFlush(); }

// Lines and points: every slot, oldest first, added on top of each other.
void DrawGlowHistory(const vector_display& d, const vector_display::GeometryProgram& p, VectorHistory& h,
                     VectorHistory::Buffer VectorHistory::Slot::*kind, GLenum mode, int current, int steps) {
  for (int i = 0; i < steps; ++i) {
    VectorHistory::Slot& slot = h.slots[SlotIndex(current + 1 + i - steps)];
    const VectorHistory::Buffer& b = slot.*kind;
    if (b.count == 0) continue;
    const float weight = vector_display::DecayWeight(d.m_settings, d.m_settings.decaySteps, steps - 1 - i);
    if (weight <= 0.0f) continue;
    glUniform1f(p.alpha, weight);
    if (d.m_settings.decayCamera) glUniformMatrix4fv(p.mvp, 1, GL_FALSE, glm::value_ptr(slot.camera));
    glBindVertexArray(b.vao);
    glDrawArrays(mode, 0, b.count);
    HandOverLayer();
  }
}

template <class T>
void UploadSlot(VectorHistory::Buffer& b, const VectorArray<T>& array) {
  glNamedBufferData(b.vbo, static_cast<GLsizeiptr>(array.count) * static_cast<GLsizeiptr>(sizeof(T)),
                    array.count ? array.data() : nullptr, GL_STATIC_DRAW);
}

}  // namespace

void vector_display::Flush(VectorHistory* history) {
  PROFILE_BLOCK("vector_display::Flush");
  const RenderTarget* target = g_pCurrentRenderTarget;
  if (m_setup != 1 || m_width == 0.0f || m_height == 0.0f || !target || !(target->m_fov > 0.0f)) {
    // Nothing can be drawn, but the frame's geometry is still consumed:
    // kept, it would pile up frame after frame without limit.
    ClearGeometry();
    return;
  }
  VectorHistory& h = history ? *history : m_history;
  if (h.generation != m_resizeGeneration) {
    h.generation = m_resizeGeneration;
    h.Empty();
  }
  const int s = SlotIndex(g_nVectorHistoryIndex);
  VectorHistory::Slot& slot = h.slots[s];
  h.totalPoints -= slot.points.count;
  h.totalLineVertices -= slot.lines.count;
  h.totalTriangles -= slot.triangles.count;
  slot.points.count = slot.lines.count = slot.triangles.count = 0;
  if (IsEmpty()) return;

  NormalizeRange(m_settings.fogZ);
  NormalizeRange(m_settings.thickness);
  // Lines and dots test against the depth of triangles and quads only (or
  // of an imported depth): without any, every fragment in the clip volume
  // passes the test against the cleared depth, so the pass skips the depth
  // clear and the test.
  const bool depth = h.totalTriangles + m_triangles.count > 0 || m_quads.count > 0 || m_settings.importDepth == 1 ||
                     m_settings.exportDepth == 1;
  const GLuint previous = OpenPass(depth);
  if (depth) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  const glm::mat4 mvp = target->m_viewProjection;
  slot.camera = mvp;
  // The bound first: a NaN step count becomes 1 instead of reaching the cast.
  m_settings.decaySteps = std::min(std::max(1.0f, m_settings.decaySteps), 32.0f);
  const int n = static_cast<int>(m_settings.decaySteps);

  // Triangles: the newest drawn frame is opaque and writes depth, older ones
  // add light on top.
  h.totalTriangles += m_triangles.count;
  slot.triangles.count = m_triangles.count;
  if (h.totalTriangles > 0) {
    PROFILE_BLOCK("vector_display::Triangles");
    UploadSlot(slot.triangles, m_triangles);
    SetGeometryUniforms(m_triangleProgram, mvp);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    if (m_settings.triangleCulling) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_BLEND);
    for (int i = 0; i < n; ++i) {
      VectorHistory::Slot& old = h.slots[SlotIndex(s - i)];
      if (old.triangles.count == 0) continue;
      const float weight = DecayWeight(m_settings, m_settings.decaySteps, i);
      if (weight <= 0.0f) continue;
      glUniform1f(m_triangleProgram.alpha, weight);
      if (m_settings.decayCamera) glUniformMatrix4fv(m_triangleProgram.mvp, 1, GL_FALSE, glm::value_ptr(old.camera));
      glBindVertexArray(old.triangles.vao);
      glDrawArrays(GL_TRIANGLES, 0, 3 * old.triangles.count);
      HandOverLayer();
      glDepthMask(GL_FALSE);
      glEnable(GL_BLEND);
      glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    }
  }

  // Textured quads: current frame only, one upload and draw each.
  if (m_quads.count > 0) {
    SetGeometryUniforms(m_triangleProgram, mvp);
    if (m_settings.triangleCulling) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(m_drawVao);
    for (int i = 0; i < m_quads.count; ++i) {
      const VectorQuad& q = m_quads.data()[i];
      glNamedBufferData(m_drawVbo, sizeof(q.v), q.v, GL_DYNAMIC_DRAW);
      glBindTexture(GL_TEXTURE_2D, q.texture);
      glDrawArrays(GL_TRIANGLES, 0, 6);
    }
  }

  // Lines and dots: additive glow profiles, no depth writes.
  const auto glowState = [&](const GeometryProgram& p) {
    SetGeometryUniforms(p, mvp);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, s_pointTexture);
  };
  h.totalLineVertices += m_lines.count;
  slot.lines.count = m_lines.count;
  if (h.totalLineVertices > 0) {
    PROFILE_BLOCK("vector_display::Lines");
    UploadSlot(slot.lines, m_lines);
    glowState(m_lineProgram);
    DrawGlowHistory(*this, m_lineProgram, h, &VectorHistory::Slot::lines, GL_LINE_STRIP_ADJACENCY, s, n);
  }
  h.totalPoints += m_points.count;
  slot.points.count = m_points.count;
  if (h.totalPoints > 0) {
    PROFILE_BLOCK("vector_display::Points");
    UploadSlot(slot.points, m_points);
    glowState(m_pointProgram);
    DrawGlowHistory(*this, m_pointProgram, h, &VectorHistory::Slot::points, GL_POINTS, s, n);
  }

  glBindVertexArray(0);
  glDisable(GL_DEPTH_TEST);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDepthMask(GL_TRUE);
  EndPass(previous);
  ClearGeometry();
  glDisable(GL_STENCIL_TEST);
}

//-----------------------------------------------------------------------------
// [SECTION] Glow capture: BeginPass / EndPass
//-----------------------------------------------------------------------------

GLuint vector_display::BeginPass() { return OpenPass(true); }

GLuint vector_display::OpenPass(bool depth) {
  PROFILE_BLOCK("vector_display::BeginPass");
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  const GLuint previous = static_cast<GLuint>(bound);
  m_passFramebuffer = 0;
  m_passColorTexture = 0;
  const RenderTarget* target = g_pCurrentRenderTarget;
  if (!target || !target->m_vectorFramebuffer) return previous;
  FramebufferGL* gl = target->m_vectorFramebuffer->GL();
  m_passFramebuffer = gl->m_framebuffer;
  m_passColorTexture = gl->m_colorTexture;

  const int w = static_cast<int>(m_width), h = static_cast<int>(m_height);
  glBindFramebuffer(GL_FRAMEBUFFER, m_passFramebuffer);
  glViewport(0, 0, w, h);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  // A depth clear with depth writes off would silently keep the old depth.
  glDepthMask(GL_TRUE);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  const bool importColor = m_settings.importColor == 1;
  const bool importDepth = depth && m_settings.importDepth == 1;
  const GLbitfield clearBits =
      (importColor ? 0 : GL_COLOR_BUFFER_BIT) | (importDepth || !depth ? 0 : GL_DEPTH_BUFFER_BIT);
  if (clearBits) glClear(clearBits);
  if (importColor || importDepth) {
    const GLbitfield copyBits = (importColor ? GL_COLOR_BUFFER_BIT : 0) | (importDepth ? GL_DEPTH_BUFFER_BIT : 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, previous);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, copyBits, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_passFramebuffer);
  }
  return previous;
}

void vector_display::EndPass(GLuint previous) {
  if (!m_passColorTexture) return;
  PROFILE_BLOCK("vector_display::EndPass");
  const VectorDisplaySettings& s = m_settings;
  const float gain = GlowGain(s.colorBrightness);
  m_glowPasses = GlowPasses(s.colorBrightness);
  // Screen quads are never depth tested or culled, whatever the caller of a
  // glow capture left on.
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  const glm::mat4 modelView = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -kOrthoFar));
  const bool haveGlow = m_glow[0] && m_glow[1] && m_glow[0]->m_width > 0 && m_glow[1]->m_width > 0;

  // Glow: downsample to a third, then blur again pass after pass. Each pass
  // covers its whole target, so it is written over, not added to a cleared
  // target: the same pixels without a clear per pass.
  if (haveGlow && m_glowPasses > 0) {
    PROFILE_BLOCK("vector_display::Glow");
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_BLEND);
    const glm::mat4 projection = glm::ortho(0.0f, m_glowWidth, m_glowHeight, 0.0f, 0.0f, kOrthoFar);
    SetBlurUniforms(m_blur, projection, modelView, gain, m_glowHeight);
    SetBlurUniforms(m_blurRows, projection, modelView, gain, m_glowHeight);
    glViewport(0, 0, static_cast<int>(m_glowWidth), static_cast<int>(m_glowHeight));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_passColorTexture);
    glBindVertexArray(m_quadGlow.vao);
    // The row taps land on texel centres only when the glow height is
    // whole (the step is 1 / m_glowHeight).
    const GLuint between = m_glowHeight == std::floor(m_glowHeight) ? m_blurRows.program : m_blur.program;
    for (int i = 0; i < m_glowPasses; ++i) {
      FramebufferGL* gl = m_glow[i % 2]->GL();
      if (i < 2) glUseProgram(i == 0 ? m_blur.program : between);
      glBindFramebuffer(GL_FRAMEBUFFER, gl->m_framebuffer);
      glDrawArrays(GL_TRIANGLES, 0, 6);
      glBindTexture(GL_TEXTURE_2D, gl->m_colorTexture);
    }
  }

  // Composite the pass by export colour.
  glBindFramebuffer(GL_FRAMEBUFFER, previous);
  glViewport(0, 0, static_cast<int>(m_width), static_cast<int>(m_height));
  const glm::mat4 projection = glm::ortho(0.0f, m_width, m_height, 0.0f, 0.0f, kOrthoFar);
  glUseProgram(m_blit.program);
  glUniformMatrix4fv(m_blit.projection, 1, GL_FALSE, glm::value_ptr(projection));
  glUniformMatrix4fv(m_blit.modelView, 1, GL_FALSE, glm::value_ptr(modelView));
  glUniform1f(m_blit.alpha, 1.0f);
  glUniform1f(m_blit.mult, 1.0f);
  switch (s.exportColor) {
    case 0:  // Copy
      glDisable(GL_BLEND);
      break;
    case 2:  // Max
      glEnable(GL_BLEND);
      glBlendEquationSeparate(GL_MAX, GL_MAX);
      glBlendFunc(GL_ONE, GL_ONE);
      break;
    case 3:  // Alpha
      glEnable(GL_BLEND);
      glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    default:  // Add
      glEnable(GL_BLEND);
      glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);
      glBlendFunc(GL_ONE, GL_ONE);
      break;
  }
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, m_passColorTexture);
  glBindVertexArray(m_quadFull.vao);
  glDrawArrays(GL_TRIANGLES, 0, 6);

  if (haveGlow && s.colorBrightness > 0.0f && m_glowPasses > 0) {
    glEnable(GL_BLEND);
    glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);
    glBlendFunc(GL_ONE, GL_ONE);
    glUniform1f(m_blit.mult, gain);
    glBindTexture(GL_TEXTURE_2D, m_glow[(m_glowPasses - 1) % 2]->GL()->m_colorTexture);
    glDrawArrays(GL_TRIANGLES, 0, 6);
  }

  if (s.exportDepth == 1) {
    const int w = static_cast<int>(m_width), h = static_cast<int>(m_height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_passFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, previous);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, previous);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindVertexArray(0);
  glUseProgram(0);
}
