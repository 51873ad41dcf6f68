// The ambient particle field at 640x480 in milliseconds per frame, with the
// sample production's "Images Motes" settings (five layers of bubbles, the
// spotlight on, additive blending over an RGBA8 target), and the bare GL
// passes it is measured against:
//  - AmbientParticles: the effect's update (uniforms, blend, the draw);
//  - BareFieldPass: the same field fragment stage in a plain program of our
//    own (one full-screen triangle, gl_FragCoord, uniforms set once): the
//    engine's wrapping taken away, the per-pixel work left;
//  - BareFlatPass: one full-screen triangle writing a constant with the same
//    blend: the floor of any pass that touches every pixel.
// glFinish closes every iteration, so the rasteriser's work is counted.
//   DISPLAY=:N LP_NUM_THREADS=2 build/bench/bench_ambient_particles
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchGL.h"
#include "effects/images/fxAmbientParticles.h"
#include "BenchMain.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr float kFrame = 1.0f / 60.0f;

// The production's "Images Motes".
void UseProductionSettings(fxAmbientParticles& fx) {
  shAmbientParticles& p = fx.m_program;
  fx.m_fadeIn = fx.m_fadeOut = 0.0f;
  fx.m_blendMode = 2;
  fx.m_globalMotion = glm::vec3(0.08f, 0.05f, 0.4f);
  fx.m_cameraMotionScale = glm::vec4(0.05f, 0.05f, 0.08f, 1.0f);
  p.m_shape = 2;
  p.m_seed.value = 3;
  p.m_noiseMotion.value = 0.6f;
  p.m_color0.value = glm::vec4(0.25f, 0.35f, 0.9f, 1.0f);
  p.m_color1.value = glm::vec4(1.0f, 0.75f, 0.45f, 1.0f);
  p.m_scale.value = 0.6f;
  p.m_size.value = 0.22f;
  p.m_blur.value = 0.55f;
  p.m_density.value = 5;
  p.m_depthScale.value = 0.7f;
  p.m_depthAlpha.value = 0.78f;
  p.m_spotlight.value = 0.45f;
  p.m_lightPosXY.value = glm::vec2(0.9f, 0.75f);
  p.m_lightRotZ.value = 0.9f;
  p.m_lightAperture.value = 0.6f;
  p.m_lightFallback.value = 0.5f;
  p.m_lightDistance.value = 2.6f;
}

// A target of the benchmark size, current, with the production's blend
// state left to each pass.
class FieldScene {
 public:
  bool Open(benchmark::State& state) {
    if (!m_scene.Open(state, kWidth, kHeight)) return false;
    g_pCurrentRenderTarget->m_width = kWidth;
    g_pCurrentRenderTarget->m_height = kHeight;
    g_pCurrentRenderTarget->UpdateMatrices(glm::mat4(1.0f));
    return true;
  }
  void BeginFrame() const { m_scene.BeginFrame(); }
  void Close() { m_scene.Close(); }

 private:
  BenchScene m_scene;
};

void BM_AmbientParticles(benchmark::State& state) {
  FieldScene scene;
  if (!scene.Open(state)) return;
  std::unique_ptr<fxAmbientParticles> fx(
      static_cast<fxAmbientParticles*>(fxAmbientParticles::Create(fxAmbientParticles::GetClassDesc())));
  UseProductionSettings(*fx);
  fx->Init();
  fx->m_appliedDelta = kFrame;
  for (auto _ : state) {
    scene.BeginFrame();
    fx->m_localTime += kFrame;
    fx->Update();
    glFinish();
  }
  fx.reset();
  scene.Close();
}
BENCHMARK(BM_AmbientParticles)->Unit(benchmark::kMillisecond)->UseRealTime();

// A program of one full-screen triangle whose vertex stage hands the
// fragment stage its pixel position as `fragCoord`.
const char* const kBareVertex = R"(#version 450 core
out vec2 TexCoords;
out vec2 fragCoord;
uniform vec2 iResolution;
void main() {
  vec2 corner = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
  TexCoords = corner;
  fragCoord = corner * iResolution;
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const kFlatFragment = R"(#version 450 core
out vec4 fragColor;
void main() { fragColor = vec4(0.01, 0.02, 0.03, 0.0); }
)";

GLuint BareProgram(const std::string& fragment) { return LinkBareProgram(kBareVertex, fragment.c_str()); }

// The field's own fragment text with the engine's header written out: the
// version, the engine uniforms and the shape constant.
std::string BareFieldFragment(int shape) {
  std::string text = AmbientFieldFragment();
  const std::string marker = "SHADER_HEADER";
  text.replace(text.find(marker), marker.size(),
               "#version 450 core\nuniform vec2 iResolution;\nuniform float iTime;\nconst int CONST_PARTICLE_SHAPE = " +
                   std::to_string(shape) + ";\n");
  return text;
}

void SetUniform(GLuint program, const char* name, float v) { glUniform1f(glGetUniformLocation(program, name), v); }
void SetUniform(GLuint program, const char* name, int v) { glUniform1i(glGetUniformLocation(program, name), v); }
void SetUniform(GLuint program, const char* name, const glm::vec2& v) {
  glUniform2f(glGetUniformLocation(program, name), v.x, v.y);
}
void SetUniform(GLuint program, const char* name, const glm::vec4& v) {
  glUniform4f(glGetUniformLocation(program, name), v.x, v.y, v.z, v.w);
}

// The effect's values, set once; the camera offset stays at zero.
void SetFieldUniforms(GLuint program, const fxAmbientParticles& fx) {
  const shAmbientParticles& p = fx.m_program;
  SetUniform(program, "iResolution", glm::vec2(kWidth, kHeight));
  SetUniform(program, "iTime", 1234.0f);
  SetUniform(program, "SEED", p.m_seed.value);
  SetUniform(program, "FADE", 1.0f);
  SetUniform(program, "ENABLED", 1);
  SetUniform(program, "COLOR0", p.m_color0.value);
  SetUniform(program, "COLOR1", p.m_color1.value);
  SetUniform(program, "BLUR", p.m_blur.value);
  SetUniform(program, "NOISE_MOTION", p.m_noiseMotion.value);
  SetUniform(program, "DENSITY", p.m_density.value);
  SetUniform(program, "SCALE", p.m_scale.value);
  SetUniform(program, "SIZE", p.m_size.value);
  SetUniform(program, "DEPTH_SCALE", p.m_depthScale.value);
  SetUniform(program, "DEPTH_ALPHA", p.m_depthAlpha.value);
  SetUniform(program, "SPOTLIGHT", p.m_spotlight.value);
  SetUniform(program, "LIGHT_POSXY", p.m_lightPosXY.value);
  SetUniform(program, "LIGHT_ROTZ", p.m_lightRotZ.value);
  SetUniform(program, "LIGHT_APERTURE", p.m_lightAperture.value);
  SetUniform(program, "LIGHT_FALLBACK", p.m_lightFallback.value);
  SetUniform(program, "LIGHT_DISTANCE", p.m_lightDistance.value);
}

// One full-screen triangle per iteration with additive blending.
void RunBarePass(benchmark::State& state, GLuint program) {
  FieldScene scene;
  if (!scene.Open(state)) return;
  if (program == 0) {
    state.SkipWithError("the bare program did not link");
    scene.Close();
    return;
  }
  GLuint vao = 0;
  glGenVertexArrays(1, &vao);
  for (auto _ : state) {
    scene.BeginFrame();
    glUseProgram(program);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE);
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glFinish();
  }
  glBindVertexArray(0);
  glDeleteVertexArrays(1, &vao);
  glUseProgram(0);
  glDisable(GL_BLEND);
  glDeleteProgram(program);
  scene.Close();
}

void BM_BareFieldPass(benchmark::State& state) {
  if (!GLContext()) {
    state.SkipWithError("no GL 4.5 context (set DISPLAY)");
    return;
  }
  std::unique_ptr<fxAmbientParticles> fx(
      static_cast<fxAmbientParticles*>(fxAmbientParticles::Create(fxAmbientParticles::GetClassDesc())));
  UseProductionSettings(*fx);
  const GLuint program = BareProgram(BareFieldFragment(fx->m_program.m_shape));
  if (program != 0) {
    glUseProgram(program);
    SetFieldUniforms(program, *fx);
  }
  RunBarePass(state, program);
}
BENCHMARK(BM_BareFieldPass)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareFlatPass(benchmark::State& state) {
  if (!GLContext()) {
    state.SkipWithError("no GL 4.5 context (set DISPLAY)");
    return;
  }
  RunBarePass(state, BareProgram(kFlatFragment));
}
BENCHMARK(BM_BareFlatPass)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

VELMORA_BENCHMARK_MAIN()
