// Vector display: the oscilloscope-style line renderer of a render target.
// Effects append line strips, dots, wire-frame triangles and textured quads
// to the VectorGeometry part during a frame (GL-free, VectorGeometry.h); the
// flush uploads them once into the decay history and draws the current frame
// with up to 31 fainter earlier ones into the target's vector framebuffer,
// then blurs a third-size copy into the glow targets and composites pass and
// glow back into the target's colour framebuffer.
//
// Owned by a RenderTarget with the vector flag: RenderTarget::Create calls
// vector_display::Create and Setup (or Resize on an existing display), the
// target's Destroy calls vector_display::Destroy; BindRenderTarget sets
// g_pCurrentVectorDisplay and every target switch, BeginFrame and
// PresentFrame call Flush. Owns: six GPU programs, two glow framebuffers,
// two screen quads, the per-draw quad buffer and its own VectorHistory.
// Shader compile and link messages go to stderr, prefixed "[vector_display] ".
// Main thread only; every GL call needs the context current.
#pragma once
#include <glad/gl.h>
#include <glm/glm.hpp>

#include "render/VectorGeometry.h"

struct Framebuffer;

// The last 32 flushed frames on the GPU, one slot per frame, so that earlier
// frames redraw from their buffers with only their weight changed.
struct VectorHistory {
  static constexpr int kSlots = 32;

  struct Buffer {
    GLuint vao = 0;
    GLuint vbo = 0;
    int count = 0;  // points, line vertices or triangles
  };
  struct Slot {
    Buffer points;
    Buffer lines;
    Buffer triangles;
    glm::mat4 camera = glm::mat4(1.0f);  // the target's view-projection then
  };

  int totalPoints = 0;
  int totalLineVertices = 0;
  int totalTriangles = 0;
  int generation = -1;  // -1: none yet
  Slot slots[kSlots];

  VectorHistory() = default;
  // New GL buffers and vertex arrays for every slot; generation -1, counts 0.
  void Init();
  // Deletes the GL objects (safe on a history that was never initialised).
  void Release();
  // Zeroes the totals and every slot count.
  void Empty();
};

struct vector_display : public VectorGeometry {
 public:
  static constexpr int kNameSize = 256;

  // Creation and release, as a pair. Create allocates the record and its
  // CPU/GL buffers (always returns 0); Destroy frees every GL object, the
  // arrays and the record, and nulls the pointer.
  static int Create(const char* name, float width, float height, vector_display** out);
  static void Destroy(vector_display*& display);

  // Builds the six programs, the glow-dot texture, the screen quads and the
  // glow targets: 0, or -1 when a program does not build (the display then
  // stays not set up and draws nothing).
  int Setup();
  // (Re)makes the two glow framebuffers at a third of the size and fills the
  // screen quads; returns 0. Nothing until Setup succeeded.
  int CreateGlowTargets();
  // The resize step of RenderTarget::Create on an existing display: new
  // size, new glow targets, empty arrays, next resize generation.
  void Resize(int width, int height);
  // The process-wide glow-dot texture, built once while set-up displays
  // exist (0 when none).
  static void CreatePointTexture();
  static GLuint PointTexture();

  // Draws the frame's geometry with the decay of `history` (null: the
  // display's own) and empties the arrays, also when it cannot draw (not
  // set up, sizeless, no camera).
  void Flush(VectorHistory* history = nullptr);
  // Glow capture: binds and clears the pass framebuffer; returns the
  // framebuffer bound before.
  GLuint BeginPass();
  // Blurs, composites and binds `previous` again.
  void EndPass(GLuint previous);

  static GLuint CompileShader(GLenum type, const char* source);
  static int CheckLink(GLuint program);

  // Glow strength from the colour brightness (Flush and EndPass use them).
  static float GlowGain(float brightness);
  static int GlowPasses(float brightness);
  // Brightness beyond which more passes change nothing visible (the gain is
  // far above 1 a pass); the pass count stops growing there.
  static constexpr float kMaxGlowBrightness = 32.0f;
  // Weight of a history frame of age k with `steps` frames drawn.
  static float DecayWeight(const VectorDisplaySettings& s, float steps, int age);

  // Programs, each with its uniform locations.
  struct BlitProgram {
    GLuint program = 0;
    GLint modelView = -1, projection = -1, alpha = -1, mult = -1, tex0 = -1;
  };
  struct BlurProgram {
    GLuint program = 0;
    GLint modelView = -1, projection = -1, scale = -1, alpha = -1, mult = -1, tex0 = -1;
  };
  // Triangles, lines and points share one set of names; a program without
  // one of them keeps -1 there.
  struct GeometryProgram {
    GLuint program = 0;
    GLint mvp = -1, alpha = -1, decalZ = -1, miterLimit = -1, viewport = -1, colorIntensity = -1,
          colorBack = -1, colorFog = -1, thicknessRange = -1, thicknessFactor = -1, textureMapped = -1;
  };
  struct ScreenQuad {
    GLuint vao = 0;
    GLuint vbo = 0;
  };

  BlitProgram m_blit;
  GLuint m_passFramebuffer = 0;
  GLuint m_passColorTexture = 0;
  BlurProgram m_blur;      // the first glow pass, from the full-size capture
  BlurProgram m_blurRows;  // the passes between the glow targets
  GeometryProgram m_triangleProgram;
  GeometryProgram m_lineProgram;
  GeometryProgram m_pointProgram;
  Framebuffer* m_glow[2] = {nullptr, nullptr};
  float m_width = 0.0f, m_height = 0.0f;
  float m_glowWidth = 0.0f, m_glowHeight = 0.0f;
  ScreenQuad m_quadFull;
  ScreenQuad m_quadGlow;
  int m_glowPasses = 0;
  // -1 after Create, 1 once Setup succeeded (0: never set up).
  int m_setup = 0;
  int m_resizeGeneration = -1;
  char m_name[kNameSize] = {};
  GLuint m_drawVbo = 0;  // per-draw uploads (the quads)
  GLuint m_drawVao = 0;
  VectorHistory m_history;

 private:
  vector_display() = default;
  ~vector_display() = default;

  void ReleaseGL();
  void FreeGlowTargets();
  void FillScreenQuads();
  // BeginPass; without `depth` the pass's depth is neither cleared nor
  // imported (a flush that draws nothing depth tested).
  GLuint OpenPass(bool depth);
  // Binds the program with the display's uniforms, ALPHA 1 and the MVP.
  void SetGeometryUniforms(const GeometryProgram& p, const glm::mat4& mvp);
};

// The display of the current render target (defined and set with the
// render targets, RenderTarget.cpp), and the decay-history slot of the
// current frame, 0..31 (advanced by PresentFrame).
extern vector_display* g_pCurrentVectorDisplay;
extern int g_nVectorHistoryIndex;

// Orders the pair (smaller first); equal values become (v, v + 0.0001).
// Returns the second.
float NormalizeRange(glm::vec2& range);

// "[vector_display] " + message + "\n" on stderr, flushed.
void vector_display_log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
