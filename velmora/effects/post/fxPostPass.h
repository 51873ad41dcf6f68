// The post-processing pass shared by the colour, distortion and tape
// effects: every frame the pass copies the current render target's colour
// into the target's "Copy" twin (Framebuffer::Copy), samples that copy on
// texture unit 0 and draws one quad over the whole target back into the
// same target, blending and depth test off. Effects later in the sequence
// see the result; there is no second target and no ping-pong.
//
// shPostPass is the 2D texture program those passes derive from: the copy
// and bind, the draw with its colour mask, and a build that reports a broken
// program once instead of every frame. shPostRegionPass adds the rectangle
// that limits a pass (iRegionUV). PassUniform is the cached {location,
// value} pair the effects register their attributes on. PassNoiseTexture is
// a process-wide noise image shared by every instance of a pass class.
//
// Depends on the render targets, framebuffers and texture slots. Owns
// nothing beyond its programs' GL objects; the noise slots live until exit.
// Main thread only.
#pragma once
#include <glad/gl.h>

#include <glm/glm.hpp>

#include "render/TextureSlot.h"
#include "render/rvProgram.h"

// A uniform the pass sets: its location in the built program (-1 while
// unbuilt or when the compiler removed it) and the value the next bind
// uploads. Effect attributes are registered on m_value directly.
template <class T>
struct PassUniform {
  int m_location = -1;
  T m_value{};
};

// The vertex stage of the colour passes, which work in target units:
// fragCoord runs 0..1 over the target (the 2D program's own stage gives
// pixels).
extern const char* const g_postUnitVertex;

// Uploads a value at its location; nothing at -1.
void UploadUniform(const PassUniform<float>& u);
void UploadUniform(const PassUniform<int>& u);
void UploadUniform(const PassUniform<bool>& u);  // sent as 0 or 1
void UploadUniform(const PassUniform<glm::vec2>& u);
void UploadUniform(const PassUniform<glm::vec3>& u);
void UploadUniform(const PassUniform<glm::vec4>& u);

class shPostPass : public rvTexColorProgram2D {
 public:
  // `name` prefixes the pass's log lines; it must outlive the program.
  explicit shPostPass(const char* name) : m_passName(name) {}

  // Copies the current target's colour and binds the copy on unit 0 (which
  // binds the program). False when the target has no colour to copy,
  // reported once: the pass then draws nothing and the target keeps its
  // picture.
  bool BindTargetCopy();
  // Draws the full pass with red, green and blue written and alpha only when
  // asked, blending and depth test off, then unbinds. The colour mask goes
  // back to all four channels: the next copy and the frame's clear need it.
  void DrawPass(bool writeAlpha);

 protected:
  // Puts in the pass's own stage texts where none were given (a null
  // vertex text leaves the 2D program's pixel-coordinate stage), then builds
  // as a 2D program. A program that failed is not rebuilt until a source or
  // a constant changes, so a broken pass logs once, not every frame.
  bool BuildPass(const char* vertex, const char* fragment);
  // Looks the location of a cached uniform up in the built program.
  template <class T>
  void Locate(PassUniform<T>& u, const char* name) {
    u.m_location = Location(name);
  }

  const char* m_passName;
  bool m_buildFailed = false;
  bool m_reportedNoCopy = false;
};

// A pass limited to a rectangle of the target: pixels outside it are
// copied unchanged and the pass's coordinates run over the rectangle.
class shPostRegionPass : public shPostPass {
 public:
  using shPostPass::shPostPass;
  // Anchors the rectangle like rvProgram2D::DrawRect, uploads it as
  // iRegionUV (x, y from the top left, w, h in target units) and draws the
  // whole target; DrawFull arrives here as the whole target.
  void DrawRect(int flags, float x, float y, float w, float h) override;
  // The whole target, uploaded: what every bind starts from.
  void SetFullRegion();

  PassUniform<glm::vec4> m_regionUV;
};

// GLSL shared by the region passes' fragment stages (placed after their
// iRegionUV declaration): the test for pixels outside the rectangle, the
// pass's coordinate over it (0..1, y down) and the way back to a texture
// coordinate of the copy.
#define POST_REGION_GLSL                                                              \
  "bool OutsideRegion(vec2 uv0)\n"                                                    \
  "{\n"                                                                               \
  "  return uv0.x < iRegionUV.x || uv0.x > iRegionUV.x + iRegionUV.z ||\n"            \
  "         1.0 - uv0.y < iRegionUV.y || 1.0 - uv0.y > iRegionUV.y + iRegionUV.w;\n"  \
  "}\n"                                                                               \
  "vec2 RegionCoord(vec2 uv0)\n"                                                      \
  "{\n"                                                                               \
  "  return vec2((uv0.x - iRegionUV.x) / iRegionUV.z, (1.0 - uv0.y - iRegionUV.y) / iRegionUV.w);\n" \
  "}\n"                                                                               \
  "vec2 RegionToTexture(vec2 uv)\n"                                                   \
  "{\n"                                                                               \
  "  return vec2(uv.x * iRegionUV.z + iRegionUV.x, 1.0 - (uv.y * iRegionUV.w + iRegionUV.y));\n" \
  "}\n"

// An image of the data pack that every instance of a pass class samples,
// held by one process-wide slot made on first use and kept until exit.
class PassNoiseTexture {
 public:
  explicit PassNoiseTexture(const char* file) : m_file(file) {}
  // Names and resolves the slot the first time (while it holds neither an
  // image nor an effect) and keeps the texture's size. The file read may
  // draw a loading frame: call it before taking any GL state.
  void Load();
  // Resolves again; the texture to bind now (0 for a missing image).
  GLuint Texture();

  int m_width = 0, m_height = 0;

 private:
  const char* m_file;
  TextureSlot* m_slot = nullptr;
};
