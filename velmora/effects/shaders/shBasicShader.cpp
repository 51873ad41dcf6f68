// The sample programs. See shBasicShader.h.
#include "effects/shaders/shBasicShader.h"

// ---------------------------------------------------------------------------
// Stage texts
// ---------------------------------------------------------------------------

// c is left unclamped on purpose: beyond 0..1 the mix extrapolates, which
// gives the swirl its bright and dark rims.
const char* const g_basicShader2dFragment =
    "SHADER_HEADER\n"
    "in vec2 fragCoord;\n"
    "out vec4 fragColor;\n"
    "uniform vec4 BACK_COLOR;\n"
    "uniform vec4 FRONT_COLOR;\n"
    "void main()\n"
    "{\n"
    "  vec2 uv = (fragCoord / iResolution - 0.5) * vec2(iResolution.x / iResolution.y, 1.0);\n"
    "  float c = sin(length(uv) * 10.0 + atan(uv.x / uv.y) * 6.0 - iTime) * length(uv) * 1.5;\n"
    "  fragColor = mix(BACK_COLOR, FRONT_COLOR, c);\n"
    "}\n";

// The projection happens in the geometry stage, which needs the clip
// positions of all three corners.
const char* const g_basicShader3dVertex =
    "SHADER_HEADER\n"
    "layout(location = 0) in vec4 position;\n"
    "void main()\n"
    "{\n"
    "  gl_Position = position;\n"
    "}\n";

// Each corner carries its distance to the opposite edge (scaled by
// LINE_BOLD) in its own component, zero in the others; interpolated, the
// smallest component is the fragment's distance to the nearest edge. The
// factor w undoes the perspective division of the interpolation.
const char* const g_basicShader3dGeometry =
    "SHADER_HEADER\n"
    "layout(triangles) in;\n"
    "layout(triangle_strip, max_vertices = 3) out;\n"
    "uniform float LINE_BOLD;\n"
    "uniform mat4 MVP;\n"
    "out vec4 dist;\n"
    "float EdgeDistance(vec2 p, vec2 a, vec2 b)\n"
    "{\n"
    "  vec2 e1 = LINE_BOLD * (a - p);\n"
    "  vec2 e2 = LINE_BOLD * (b - p);\n"
    "  return abs(e1.x * e2.y - e1.y * e2.x) / length(e1 - e2);\n"
    "}\n"
    "void main()\n"
    "{\n"
    "  vec4 c[3];\n"
    "  vec2 p[3];\n"
    "  for (int i = 0; i < 3; ++i) {\n"
    "    c[i] = MVP * gl_in[i].gl_Position;\n"
    "    p[i] = c[i].xy / c[i].w;\n"
    "  }\n"
    "  float h0 = EdgeDistance(p[0], p[1], p[2]);\n"
    "  float h1 = EdgeDistance(p[1], p[2], p[0]);\n"
    "  float h2 = EdgeDistance(p[2], p[0], p[1]);\n"
    "  dist = vec4(h0, 0.0, 0.0, 1.0) * c[0].w;\n"
    "  gl_Position = c[0];\n"
    "  EmitVertex();\n"
    "  dist = vec4(0.0, h1, 0.0, 1.0) * c[1].w;\n"
    "  gl_Position = c[1];\n"
    "  EmitVertex();\n"
    "  dist = vec4(0.0, 0.0, h2, 1.0) * c[2].w;\n"
    "  gl_Position = c[2];\n"
    "  EmitVertex();\n"
    "  EndPrimitive();\n"
    "}\n";

const char* const g_basicShader3dFragment =
    "SHADER_HEADER\n"
    "in vec4 dist;\n"
    "out vec4 fragColor;\n"
    "uniform vec3 LINE_COLOR;\n"
    "uniform vec3 FILL_COLOR;\n"
    "void main()\n"
    "{\n"
    "  float d = min(dist.x, min(dist.y, dist.z));\n"
    "  float I = exp2(-2.0 * d * d * d);\n"
    "  fragColor = vec4(mix(FILL_COLOR, LINE_COLOR, I), 1.0);\n"
    "}\n";

namespace {

void SetDefaultStage(ShaderStage& stage, const char* text) {
  if (stage.source == nullptr) stage.source = text;
}

}  // namespace

// ---------------------------------------------------------------------------
// shBasicShader2d
// ---------------------------------------------------------------------------

void shBasicShader2d::UploadColors() const {
  UploadColor(m_backColorLocation, m_backColor);
  UploadColor(m_frontColorLocation, m_frontColor);
}

void shBasicShader2d::Build() {
  SetDefaultStage(m_stages[StageVertex], g_program2DVertex);
  SetDefaultStage(m_stages[StageFragment], g_basicShader2dFragment);
  rvProgram2D::Build();
  m_backColorLocation = Location("BACK_COLOR");
  m_frontColorLocation = Location("FRONT_COLOR");
  UploadColors();
}

void shBasicShader2d::Bind() {
  rvProgram2D::Bind();
  UploadColors();
}

// ---------------------------------------------------------------------------
// shBasicShader3d
// ---------------------------------------------------------------------------

shBasicShader3d::shBasicShader3d() = default;

void shBasicShader3d::UploadStyle() const {
  if (m_lineBoldLocation >= 0) glUniform1f(m_lineBoldLocation, m_lineBold);
  if (m_lineColorLocation >= 0) glUniform3f(m_lineColorLocation, m_lineColor[0], m_lineColor[1], m_lineColor[2]);
  if (m_fillColorLocation >= 0) glUniform3f(m_fillColorLocation, m_fillColor[0], m_fillColor[1], m_fillColor[2]);
}

void shBasicShader3d::Build() {
  SetDefaultStage(m_stages[StageVertex], g_basicShader3dVertex);
  SetDefaultStage(m_stages[StageGeometry], g_basicShader3dGeometry);
  SetDefaultStage(m_stages[StageFragment], g_basicShader3dFragment);
  // The 3D build links and uploads the stored MVP.
  rvProgram3D::Build();
  m_lineBoldLocation = Location("LINE_BOLD");
  m_lineColorLocation = Location("LINE_COLOR");
  m_fillColorLocation = Location("FILL_COLOR");
  UploadStyle();
}

void shBasicShader3d::Bind() {
  rvProgram3D::Bind();
  UploadStyle();
}
