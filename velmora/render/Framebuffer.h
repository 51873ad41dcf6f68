// Framebuffers: a named GL framebuffer object with the textures a flags
// word asks for (RGBA8/16F/32F colour, depth, depth-stencil), and a "Copy"
// twin that gives post-processing a readable duplicate of the colour while
// it draws back into the same target.
//
// The GL objects live in a FramebufferGL record that every reader allocates
// on demand (GL()), so a record can be dropped and remade at any time. Every
// live record is counted in a process-wide video-memory total. The shared
// copy program is built by the first Create. Main thread only.
#pragma once
#include <glad/gl.h>

#include <cstdint>
#include <string>

class rvTexColorProgram2D;

// Flags word of a framebuffer.
enum : uint32_t {
  FB_COLOR = 0x1,          // colour texture on GL_COLOR_ATTACHMENT0
  FB_DEPTH = 0x2,          // depth texture (only without FB_DEPTH_STENCIL)
  FB_DEPTH_STENCIL = 0x4,  // GL_DEPTH24_STENCIL8 texture
  FB_LINEAR = 0x8,         // colour filter GL_LINEAR, else GL_NEAREST
  FB_REPEAT = 0x10,        // colour wrap GL_REPEAT, else GL_CLAMP_TO_EDGE
  FB_RGBA8 = 0x20,         // colour formats; none set means RGBA8, the
  FB_RGBA16F = 0x40,       // lowest bit wins when several are set
  FB_RGBA32F = 0x80,
  FB_CARRIED = 1u << 30,   // carried in the word, read by nothing; not copied to a twin
};

struct Framebuffer;

// The GL objects of one allocation.
struct FramebufferGL {
  Framebuffer* m_owner = nullptr;
  uint32_t m_bytes = 0;  // video memory of its textures
  GLuint m_framebuffer = 0;
  GLuint m_colorTexture = 0;
  GLuint m_depthTexture = 0;  // holds the depth-stencil name too once that is attached
  GLuint m_depthStencilTexture = 0;
  int m_width = 0, m_height = 0;
  uint32_t m_flags = 0;
  GLint m_colorFormat = 0;  // internal format of the colour texture, 0 without one

  void AttachColor();
  void AttachDepth();
  // Replaces a depth texture by a depth-stencil one; also used on an
  // existing record to give a target a stencil.
  void AttachDepthStencil();
};

struct Framebuffer {
  std::string m_name;
  int m_width = 0, m_height = 0;  // 0: never created
  uint32_t m_flags = 0;
  FramebufferGL* m_gl = nullptr;  // owned; read through GL()
  int m_savedBinding = 0;         // binding saved by Copy while it draws into this twin
  Framebuffer* m_twin = nullptr;  // owned; name + "Copy", made by the first Copy
  bool m_created = false;

  Framebuffer() = default;
  ~Framebuffer();
  Framebuffer(const Framebuffer&) = delete;
  Framebuffer& operator=(const Framebuffer&) = delete;

  // Nothing when a size is 0 or when size and flags are unchanged (the name
  // is not compared). Otherwise (re)allocates the GL objects and logs
  // "[Framebuffer] create ...".
  void Create(const std::string& name, int width, int height, uint32_t flags);
  // Releases the GL objects and the twin (logging "[Framebuffer] destroy
  // ..." when it was created), deletes the record and nulls the pointer.
  static void Destroy(Framebuffer*& framebuffer);

  // The GL record, allocated when missing.
  FramebufferGL* GL();
  // Copies the colour texture into the twin; returns the twin's texture.
  // 8-bit colours are copied texel for texel; float colours are drawn
  // through the copy program, which cuts negative values.
  GLuint Copy();

  void AllocateGL();
  void FreeGL();
};

// Video memory of every live framebuffer record, in bytes and in units of
// 1,000,000 bytes ("Mo", fraction dropped).
uint64_t GetFramebufferBytes();
int GetFramebufferMo();
// Number of live framebuffer records.
int GetFramebufferCount();

// Draws `texture` over the whole viewport with `program`, its output
// clamped to 0..maxColor (vMaxColor), then unbinds the program and leaves
// the depth test, blending and culling as they were. Nothing is drawn for a
// texture without a size.
void DrawTextureToViewport(rvTexColorProgram2D& program, GLuint texture, const float maxColor[4]);

// Start of every frame and exit: detaches pooled records from their owners.
void ResetFramebufferPool();
// Exit: deletes every pooled record with its GL objects.
void ReleaseFramebufferPool();
