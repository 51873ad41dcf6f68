// Screen text in viewport pixels, y downwards from the top-left corner: the
// frame-rate and render-size overlays and the atlas text effect.
//
// Wraps a glyph-atlas context (render/GlyphAtlas.h) and its GL 3.3 backend
// `FontBackendGL3`, which holds the atlas in a single-channel texture and
// draws the glyph quads with its own program. Fonts are read through the data
// pack. Main thread only, with the GL context current.
//
// Typical frame:
//   renderer.BeginFrame();             // viewport, projection, blending, font
//   renderer.SetSize(16.0f);
//   renderer.SetColor(0xFF00FF00u);    // 0xAABBGGRR
//   renderer.DrawText(16.0f, 16.0f, "Scene: 640x360");
#pragma once
#include <glad/gl.h>

#include <set>
#include <string>

#include "render/GlyphAtlas.h"

// The backend record handed to the atlas as its user pointer.
struct FontBackendGL3 {
  GLuint texture = 0;
  GLuint vertexArray = 0;
  GLuint vertexBuffer = 0;
  GLuint program = 0;
  float projMat[16] = {};  // column-major
  GLint texture0Location = -1;
  GLint projMatLocation = -1;
  int width = 0;
  int height = 0;
};

// The atlas callbacks. Create and Resize (re)make every GL object and return
// 0 when one of them cannot be made; Delete releases them and the record.
int FontBackendCreate(void* userPtr, int width, int height);
int FontBackendResize(void* userPtr, int width, int height);
void FontBackendUpdate(void* userPtr, int* rect, const unsigned char* data);
void FontBackendDraw(void* userPtr, const float* verts, const float* tcoords, const unsigned int* colors,
                     int nverts);
void FontBackendDelete(void* userPtr);
// The glyph program, or 0 when a stage does not compile or link.
GLuint BuildFontProgram();

class TextStashRenderer {
 public:
  static constexpr int kDefaultAtlasSize = 512;

  TextStashRenderer() = default;
  ~TextStashRenderer();
  TextStashRenderer(const TextStashRenderer&) = delete;
  TextStashRenderer& operator=(const TextStashRenderer&) = delete;

  // Replaces the context by one with a width x height atlas. The context
  // stays null when the backend cannot be made; draws then do nothing.
  void Create(int width, int height);
  // Deletes the context (and its GL objects) and forgets the font.
  void DestroyFontContext();

  // Reads a font from the data pack and keeps its id for BeginFrame. False,
  // font id -1, for a file that is missing, empty or not a font.
  bool AddFont(const char* path);
  // Per frame, before the first draw: reads the viewport, sets the pixel
  // projection, enables (SRC_ALPHA, ONE_MINUS_SRC_ALPHA) blending, disables
  // the depth test and selects the font. Neither state is restored later.
  void BeginFrame();

  void SetSize(float pixels);
  void SetColor(unsigned int abgr);
  void SetAlign(int align);  // FONS_ALIGN_* bits, e.g. FONS_ALIGN_CENTER | FONS_ALIGN_MIDDLE
  // Draws at (x, y) in viewport pixels; returns the pen position after it.
  float DrawText(float x, float y, const char* text);

  FONScontext* Context() const { return m_context; }
  int FontId() const { return m_fontId; }
  bool HasFont() const { return m_fontId != FONS_INVALID; }
  const FontBackendGL3* Backend() const { return m_backend; }  // null without a context

 private:
  FONScontext* m_context = nullptr;
  FontBackendGL3* m_backend = nullptr;  // owned by the context
  int m_fontId = FONS_INVALID;
  int m_viewport[4] = {0, 0, 0, 0};
  std::set<std::string> m_reportedMisses;  // font names already logged as missing
};
