// The image effect's 2D draw at 640x480 in milliseconds per frame, as the
// sample production's "Images Backdrop" makes it (a 640x360 RGBA8 picture,
// linear filtering, whole target keeping the picture's height, alpha
// blending), against bare GL passes that sample the same texture over the
// same pixels:
//  - TexColorProgramFull: the engine's texture-colour program (the draw
//    fxImage makes: bind, colour terms, DrawFull keeping the aspect);
//  - BareTexturePass/0: one full-screen triangle, texture() with linear
//    filtering; /1 the same with nearest filtering; /2 texelFetch.
// glFinish closes every iteration, so the rasteriser's work is counted.
//   DISPLAY=:N LP_NUM_THREADS=2 build/bench/bench_image_draws
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "BenchGL.h"
#include "effects/EffectBlend.h"
#include "render/rvProgram.h"
#include "BenchMain.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kPictureWidth = 640, kPictureHeight = 360;

// A picture with detail everywhere, so no filtering shortcut applies.
GLuint MakePicture(GLint filter) {
  std::vector<uint8_t> texels(size_t(kPictureWidth) * kPictureHeight * 4);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) {
      uint8_t* t = &texels[(size_t(y) * kPictureWidth + x) * 4];
      t[0] = uint8_t(x * 7 + y);
      t[1] = uint8_t(y * 5 ^ x);
      t[2] = uint8_t((x + y) * 3);
      t[3] = uint8_t(128 + (x & 127));
    }
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kPictureWidth, kPictureHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}

void BM_TexColorProgramFull(benchmark::State& state) {
  BenchScene scene;
  if (!scene.Open(state, kWidth, kHeight)) return;
  const GLuint picture = MakePicture(GL_LINEAR);
  rvTexColorProgram2D program;
  for (auto _ : state) {
    scene.BeginFrame();
    program.BindTexture(picture);
    ApplyEffectBlend(BlendAlpha, AlphaEquation::Max);
    program.DrawFull(RECT_KEEP_ASPECT_W);
    program.Unbind();
    glFinish();
  }
  program.Release();
  glDeleteTextures(1, &picture);
  scene.Close();
}
BENCHMARK(BM_TexColorProgramFull)->Unit(benchmark::kMillisecond)->UseRealTime();

// One triangle over the target; the picture's middle three quarters span
// its width, as a 4:3 target shows a 16:9 picture kept at full height.
const char* const kBareVertex = R"(#version 450 core
out vec2 uv;
void main() {
  vec2 corner = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
  uv = vec2(0.125 + 0.75 * corner.x, corner.y);
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const kSampleFragment = R"(#version 450 core
in vec2 uv;
out vec4 fragColor;
uniform sampler2D picture;
void main() { fragColor = texture(picture, uv); }
)";

const char* const kFetchFragment = R"(#version 450 core
in vec2 uv;
out vec4 fragColor;
uniform sampler2D picture;
void main() { fragColor = texelFetch(picture, ivec2(uv * vec2(textureSize(picture, 0))), 0); }
)";

GLuint BareProgram(const char* fragment) { return LinkBareProgram(kBareVertex, fragment); }

void BM_BareTexturePass(benchmark::State& state) {
  BenchScene scene;
  if (!scene.Open(state, kWidth, kHeight)) return;
  const int kind = static_cast<int>(state.range(0));
  const GLuint program = BareProgram(kind == 2 ? kFetchFragment : kSampleFragment);
  if (program == 0) {
    state.SkipWithError("the bare program did not link");
    scene.Close();
    return;
  }
  const GLuint picture = MakePicture(kind == 0 ? GL_LINEAR : GL_NEAREST);
  GLuint vao = 0;
  glGenVertexArrays(1, &vao);
  for (auto _ : state) {
    scene.BeginFrame();
    glUseProgram(program);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, picture);
    ApplyEffectBlend(BlendAlpha, AlphaEquation::Max);
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glFinish();
  }
  glBindVertexArray(0);
  glDeleteVertexArrays(1, &vao);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
  glDisable(GL_BLEND);
  glDeleteProgram(program);
  glDeleteTextures(1, &picture);
  scene.Close();
}
BENCHMARK(BM_BareTexturePass)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

VELMORA_BENCHMARK_MAIN()
