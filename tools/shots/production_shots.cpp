// Pictures of the sample production at fixed steps, and their comparison:
// the check that a change meant to make frames cheaper leaves them as they
// were.
//
//   production_shots shoot <dir> [width height [every [offset]]]
//     plays the packed production as the player does with
//     VELMORA_FIXED_STEP=1 (every frame 1/60 s, from the first), in a hidden
//     window of the given size (640x480 by default), and writes what the
//     window shows at frames offset, offset + every, ... (every 20 from 7 by
//     default) as <dir>/frame_NNNNN.png. Run from the build directory, where
//     the pack lies.
//   production_shots compare <before> <after> [tolerance]
//     compares the pictures of the same frames, channel by channel: prints
//     each frame's largest difference and how many channels differ beyond
//     the tolerance (1 level by default); exit status 0 when none does, 1
//     otherwise, 2 when a picture is missing or unreadable.
#include <glad/gl.h>

#include <GLFW/glfw3.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchGL.h"
#include "Loader/AssetPath.h"
#include "application/Application.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"

namespace fs = std::filesystem;

namespace {

constexpr float kStep = 1.0f / 60.0f;

std::string ShotName(int frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%05d.png", frame);
  return name;
}

// What the window shows now (the back buffer before the swap), top row
// first.
bool WriteWindow(const fs::path& file, int width, int height) {
  std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  stbi_flip_vertically_on_write(1);
  return stbi_write_png(file.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

int Shoot(const fs::path& dir, int width, int height, int every, int offset) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  SetDataDirectory("Data");
  fs::create_directories(dir);
  if (!glfwInit()) return 2;
  GLFWwindow* window = OpenHiddenWindow(width, height, "production_shots");
  if (!window) {
    std::fprintf(stderr, "no OpenGL 4.5 context (is DISPLAY set?)\n");
    return 2;
  }
  Application::Get().StartUnboxed(width, height);
  GetClassRegistry();
  int status = 0;
  {
    rvSequence sequence(1);
    if (!sequence.LoadSequence("seq/_DemoFull_.seq", true) || sequence.m_frameMax <= 0) {
      std::fprintf(stderr, "no production: run from the build directory that holds Velmora-Pinvale.sts\n");
      status = 2;
    } else {
      sequence.StartPlaying();
      int shots = 0;
      for (int frame = 0; frame < sequence.m_frameMax; ++frame) {
        BeginFrame();
        sequence.Update(kStep);
        PresentFrame(kStep, !sequence.m_playing, 0);
        if (frame % every == offset) {
          if (!WriteWindow(dir / ShotName(frame), width, height)) status = 2;
          ++shots;
        }
        glfwSwapBuffers(window);
      }
      std::printf("%d pictures of %d frames at %dx%d in %s\n", shots, sequence.m_frameMax, width, height,
                  dir.c_str());
    }
    sequence.Clear();
  }
  TextureImage::ReleaseAll();
  ReleaseFrameResources();
  glfwDestroyWindow(window);
  glfwTerminate();
  return status;
}

struct Picture {
  int width = 0, height = 0;
  std::unique_ptr<unsigned char, decltype(&stbi_image_free)> rgb{nullptr, stbi_image_free};
};

bool Load(const fs::path& file, Picture& picture) {
  int channels = 0;
  picture.rgb.reset(stbi_load(file.c_str(), &picture.width, &picture.height, &channels, 3));
  return picture.rgb != nullptr;
}

int Compare(const fs::path& before, const fs::path& after, int tolerance) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(before))
    if (entry.path().extension() == ".png") files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no pictures in %s\n", before.c_str());
    return 2;
  }
  int status = 0, worst = 0;
  long differing = 0;
  for (const fs::path& name : files) {
    Picture a, b;
    if (!Load(before / name, a) || !Load(after / name, b) || a.width != b.width || a.height != b.height) {
      std::printf("%s: missing, unreadable or of another size\n", name.c_str());
      status = 2;
      continue;
    }
    int largest = 0;
    long beyond = 0;
    const size_t n = size_t(a.width) * size_t(a.height) * 3;
    for (size_t i = 0; i < n; ++i) {
      const int d = std::abs(int(a.rgb.get()[i]) - int(b.rgb.get()[i]));
      largest = std::max(largest, d);
      beyond += d > tolerance;
    }
    worst = std::max(worst, largest);
    differing += beyond;
    if (largest > 0) std::printf("%s: largest difference %d, %ld channels beyond %d\n", name.c_str(), largest, beyond, tolerance);
    if (beyond > 0 && status == 0) status = 1;
  }
  std::printf("%zu pictures compared: largest difference %d, %ld channels beyond %d\n", files.size(), worst,
              differing, tolerance);
  return status;
}

int Usage() {
  std::fprintf(stderr,
               "usage: production_shots shoot <dir> [width height [every [offset]]]\n"
               "       production_shots compare <before> <after> [tolerance]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  ConnectEngineLayers();
  if (argc >= 3 && std::strcmp(argv[1], "shoot") == 0) {
    const int width = argc > 4 ? std::atoi(argv[3]) : 640;
    const int height = argc > 4 ? std::atoi(argv[4]) : 480;
    const int every = argc > 5 ? std::atoi(argv[5]) : 20;
    const int offset = argc > 6 ? std::atoi(argv[6]) : 7;
    if (width <= 0 || height <= 0 || every <= 0 || offset < 0) return Usage();
    return Shoot(argv[2], width, height, every, offset % every);
  }
  if (argc >= 4 && std::strcmp(argv[1], "compare") == 0) {
    const int tolerance = argc > 4 ? std::atoi(argv[4]) : 1;
    return Compare(argv[2], argv[3], std::max(tolerance, 0));
  }
  return Usage();
}
