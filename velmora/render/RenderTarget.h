// Render targets and frame presentation.
//
// A RenderTarget is a named drawing surface: a colour Framebuffer, with
// flag 2 a vector layer (a framebuffer named name + ".vector" and a
// vector_display), and the camera matrices that 3D programs and annotated
// uniforms read. One target is current at a time and effects draw into it.
// The process-wide target "Default" receives the whole frame: BeginFrame
// makes it current and clears it, effects draw, PresentFrame draws the
// overlays into it and copies it into the application's viewport.
//
// Owns the current-target and current-display pointers, "Default", the
// present program and the overlay text renderer. The vector display of the
// current target is flushed whenever the current target changes. Main
// thread only.
#pragma once
#include <cstdint>
#include <string>

#include <glm/glm.hpp>

struct Framebuffer;
struct vector_display;

struct RenderTarget {
  static constexpr uint8_t kVectorLayer = 2;

  bool m_created = false;
  std::string m_name;
  int m_width = 0, m_height = 0;  // 0: not created
  uint8_t m_flags = 0;            // kVectorLayer; bit 0 is passed by every creator and means nothing here
  RenderTarget* m_previous = nullptr;  // set by the render-target effect that binds this target; not owned
  Framebuffer* m_colorFramebuffer = nullptr;   // owned
  Framebuffer* m_vectorFramebuffer = nullptr;  // owned; name + ".vector", flags 7
  vector_display* m_vectorDisplay = nullptr;   // owned

  glm::mat4 m_projection{1.0f};
  glm::mat4 m_view{1.0f};
  glm::mat4 m_viewProjection{1.0f};  // projection x view x model
  glm::mat4 m_invProjection{1.0f};
  glm::mat4 m_invView{1.0f};
  glm::mat4 m_invViewProjection{1.0f};

  // Orbit camera (nothing in the player switches a target to it).
  float m_orbitDistance = 20.0f;
  float m_orbitPolar = 1.0f;  // radians from +Y
  float m_orbitAzimuth = 0.744f;
  glm::vec2 m_pan{0.0f};
  // Free camera.
  float m_fov = 1.0471967f;  // radians, a hair below pi/3
  glm::vec3 m_position{0.0f, 0.0f, 100.0f};
  glm::vec3 m_rotation{0.0f};  // radians about x, y, z
  float m_near = 0.01f, m_far = 1000.0f;
  bool m_orbit = false;

  RenderTarget() = default;
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;

  // Nothing when a size is 0, or when size and flags are unchanged (the
  // name and the framebuffer flags are not compared). Otherwise rebuilds the
  // framebuffers (a colour one only when framebufferFlags is not 0) and
  // creates or resizes the vector display.
  void Create(const std::string& name, int width, int height, uint8_t flags, uint32_t framebufferFlags);
  // Releases the framebuffers, and the vector display when freeDisplay. The
  // current target, when it is this one and not "Default", is replaced by
  // "Default" first.
  void Destroy(bool freeDisplay);

  // Projection and view from the camera fields, view-projection =
  // projection x view x model, and the three inverses.
  void UpdateMatrices(const glm::mat4& model);
};

// "Default" as the shell creates it: vector layer, RGBA8 colour with NEAREST
// filtering and a depth-stencil texture.
constexpr uint8_t kDefaultTargetFlags = 3;
constexpr uint32_t kDefaultFramebufferFlags = 0x40000007;

extern RenderTarget g_defaultRenderTarget;
extern RenderTarget* g_pCurrentRenderTarget;
extern vector_display* g_pCurrentVectorDisplay;

// Makes `target` (null: "Default") current: flushes the current vector
// display, sets the viewport to the target, binds its colour framebuffer.
// Returns the target that was current before; null and nothing done when
// the target is current already and `force` is false.
RenderTarget* BindRenderTarget(RenderTarget* target, bool force);

// Recreates "Default" at (width, height) when that is a real size that
// neither the current target nor "Default" has yet. The frame loop and the
// loading screen both let "Default" follow the window's client size.
void FollowClientSize(int width, int height);

// Frame start: makes "Default" current and clears its colour, depth and
// stencil, with the write masks and tests that would stop the clear reset.
void BeginFrame();

enum : int {
  OVERLAY_FPS = 1,
  OVERLAY_RESOLUTION = 2,
  OVERLAY_DUMPING = 4,
};

struct IntRect {
  int x = 0, y = 0, w = 0, h = 0;
};

// Where PresentFrame puts the picture: the window's rectangle and the
// viewport inside it. The shell owns both and registers them at start-up;
// until it does, the picture fills a window the size of "Default".
void SetPresentArea(const IntRect* window, const IntRect* viewport);

// Frame end: draws the requested overlays into "Default" and draws
// "Default" into the registered viewport on the window, clamped to 0..1,
// with black bars when the window is larger than the viewport. An 8-bit
// "Default" of the viewport's size is blitted, the same pixels at less cost.
void PresentFrame(float dt, bool timeStopped, int overlayFlags);

// Exit: releases the present program and the overlay text renderer while
// the GL context still exists.
void ReleaseFramePresentation();

// Exit, or the end of a run that drove the frame loop itself: no target is
// current any more, "Default" is destroyed, and the frame presentation and
// the framebuffer pool are released, all while the GL context still exists.
void ReleaseFrameResources();
