// Glyph atlas: bitmap text from TrueType fonts, for the screen-text renderer.
//
// Rasterises glyphs with stb_truetype into one single-channel atlas packed by
// stb_rect_pack, lays out UTF-8 text on a baseline and emits textured quads.
// It owns no GL object: a render backend given at creation holds the atlas
// texture (create, resize, update a dirty rectangle) and draws the quads, so
// this module runs and is tested on the CPU alone.
//
// Only what the engine calls is here: fonts from memory, one drawing state
// (font, size, colour, alignment) and the text draw; measuring is exposed for
// alignment and layout. Glyph quads and the dirty atlas rectangle are handed
// to the backend at a flush: when the vertex buffer is full, before the atlas
// is grown or reset, and at the end of every `fonsDrawText`.
//
// When a glyph does not fit, the atlas doubles (up to kGlyphAtlasMaxSize on a
// side, keeping what it holds in its top-left corner); a full atlas at the
// largest size is emptied and refilled with the glyphs drawn from then on.
#pragma once
#include <memory>
#include <string>

enum FONSflags {
  FONS_ZERO_TOPLEFT = 1,     // y grows downwards from the top-left corner
  FONS_ZERO_BOTTOMLEFT = 2,  // y grows upwards from the bottom-left corner
};

// Alignment bits: one horizontal (left, center, right) or'ed with one
// vertical (top, middle, bottom, baseline) relative to the draw position.
enum FONSalign {
  FONS_ALIGN_LEFT = 1 << 0,
  FONS_ALIGN_CENTER = 1 << 1,
  FONS_ALIGN_RIGHT = 1 << 2,
  FONS_ALIGN_TOP = 1 << 3,
  FONS_ALIGN_MIDDLE = 1 << 4,
  FONS_ALIGN_BOTTOM = 1 << 5,
  FONS_ALIGN_BASELINE = 1 << 6,
};

enum { FONS_INVALID = -1 };

constexpr int kGlyphAtlasMaxSize = 4096;

// The render backend: every callback gets `userPtr` first.
//  renderCreate/renderResize: (re)make an empty atlas texture of that size;
//    0 means failure.
//  renderUpdate: upload rect (x0, y0, x1, y1) of `data`, the whole atlas,
//    one byte a pixel, rows of atlas width, row 0 at the top.
//  renderDraw: n vertices as triangles; positions and texture coordinates
//    two floats each, colours 0xAABBGGRR.
//  renderDelete: release the backend and its record.
struct FONSparams {
  int width = 0;
  int height = 0;
  unsigned char flags = FONS_ZERO_TOPLEFT;
  void* userPtr = nullptr;
  int (*renderCreate)(void* uptr, int width, int height) = nullptr;
  int (*renderResize)(void* uptr, int width, int height) = nullptr;
  void (*renderUpdate)(void* uptr, int* rect, const unsigned char* data) = nullptr;
  void (*renderDraw)(void* uptr, const float* verts, const float* tcoords, const unsigned int* colors,
                     int nverts) = nullptr;
  void (*renderDelete)(void* uptr) = nullptr;
};

// The drawing state every text call uses. A new context starts with no
// font, size 12, opaque white and left/baseline alignment.
struct FONSstate {
  int font = FONS_INVALID;
  float size = 12.0f;
  unsigned int color = 0xFFFFFFFFu;
  int align = FONS_ALIGN_LEFT | FONS_ALIGN_BASELINE;
};

struct FONScontext;

// Makes a context and its backend (renderCreate); sides above
// kGlyphAtlasMaxSize are clamped to it. Returns null for a side below 1 or
// when the backend fails; the backend's renderDelete has then been called,
// so its record is released.
FONScontext* fonsCreateInternal(const FONSparams* params);
// Releases the fonts and calls the backend's renderDelete. Null is allowed.
void fonsDeleteInternal(FONScontext* ctx);

// Adds a font from a whole TrueType/OpenType file. The context takes the
// buffer in every case and keeps it while the font lives. Returns the font
// id, or FONS_INVALID when the bytes are not a font stb_truetype can read
// safely (the font check, FontCheck.h), with the reason when asked for.
int fonsAddFontMem(FONScontext* ctx, const char* name, std::unique_ptr<char[]> data, int dataSize,
                   std::string* reason = nullptr);

void fonsSetFont(FONScontext* ctx, int font);
void fonsSetSize(FONScontext* ctx, float size);
void fonsSetColor(FONScontext* ctx, unsigned int color);
void fonsSetAlign(FONScontext* ctx, int align);

// Draws UTF-8 text (up to `end`, or the terminating zero when end is null)
// at (x, y) with the current state and flushes. Returns the pen position
// after the text; nothing is drawn without a valid font.
float fonsDrawText(FONScontext* ctx, float x, float y, const char* str, const char* end = nullptr);

// The advance width of the text in pixels with the current font and size:
// the sum of the glyph advances and kerning, as the pen moves in a draw.
float fonsTextWidth(FONScontext* ctx, const char* str, const char* end = nullptr);

// Scaled vertical metrics of the current font and size: ascender (above the
// baseline, positive), descender (below, negative) and line height.
void fonsVertMetrics(FONScontext* ctx, float* ascender, float* descender, float* lineh);

// Atlas inspection for the backend's owner and tests.
void fonsGetAtlasSize(FONScontext* ctx, int* width, int* height);
const unsigned char* fonsGetAtlasData(FONScontext* ctx);
int fonsGetGlyphCount(FONScontext* ctx);
