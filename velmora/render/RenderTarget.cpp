// Render targets and frame presentation.
//
// [SECTION] Process-wide state
// [SECTION] RenderTarget: create, destroy, matrices
// [SECTION] Binding
// [SECTION] Frame start
// [SECTION] Frame presentation: overlays, the window
#include "render/RenderTarget.h"

#include <glad/gl.h>

#include <glm/gtc/matrix_transform.hpp>

#include <cstdio>

#include "core/AppLog.h"
#include "platform/Profiler.h"
#include "render/Framebuffer.h"
#include "render/TextStashRenderer.h"
#include "render/VectorDisplay.h"
#include "render/rvProgram.h"

//-----------------------------------------------------------------------------
// [SECTION] Process-wide state
//-----------------------------------------------------------------------------

RenderTarget g_defaultRenderTarget;
RenderTarget* g_pCurrentRenderTarget = nullptr;
vector_display* g_pCurrentVectorDisplay = nullptr;

//-----------------------------------------------------------------------------
// [SECTION] RenderTarget: create, destroy, matrices
//-----------------------------------------------------------------------------

void RenderTarget::Create(const std::string& name, int width, int height, uint8_t flags,
                          uint32_t framebufferFlags) {
  if (width == 0 || height == 0) return;
  if (width == m_width && height == m_height && flags == m_flags) return;
  Destroy(false);
  m_name = name;
  m_width = width;
  m_height = height;
  m_flags = flags;
  // Created from here on, whatever the vector step below gives: Destroy must
  // release the framebuffers even when the display could not be set up.
  m_created = true;
  if (framebufferFlags != 0) {
    // Assigned before Create: a target that is current keeps its new colour
    // framebuffer bound (Framebuffer::AllocateGL looks at the current target).
    m_colorFramebuffer = new Framebuffer;
    m_colorFramebuffer->Create(name, width, height, framebufferFlags);
  }
  if (flags & kVectorLayer) {
    const std::string vectorName = name + ".vector";
    m_vectorFramebuffer = new Framebuffer;
    m_vectorFramebuffer->Create(vectorName, width, height, FB_COLOR | FB_DEPTH | FB_DEPTH_STENCIL);
    if (m_vectorDisplay) {
      m_vectorDisplay->Resize(width, height);
    } else {
      int rc = vector_display::Create(vectorName.c_str(), float(width), float(height), &m_vectorDisplay);
      if (rc != 0) {
        AppLog::Get().AddLog("Failed to create vector display: rc=%d\n", rc);
        return;
      }
      rc = m_vectorDisplay->Setup();
      if (rc != 0) {
        AppLog::Get().AddLog("Failed to setup vector display: rc=%d\n", rc);
        return;
      }
    }
  }
  UpdateMatrices(glm::mat4(1.0f));
}

void RenderTarget::Destroy(bool freeDisplay) {
  if (!m_created) return;
  if (g_pCurrentRenderTarget == this && this != &g_defaultRenderTarget) BindRenderTarget(nullptr, true);
  if (m_width == 0 || m_height == 0) return;
  Framebuffer::Destroy(m_colorFramebuffer);
  if (m_flags & kVectorLayer) {
    Framebuffer::Destroy(m_vectorFramebuffer);
    if (freeDisplay && m_vectorDisplay) {
      if (g_pCurrentVectorDisplay == m_vectorDisplay) g_pCurrentVectorDisplay = nullptr;
      vector_display::Destroy(m_vectorDisplay);
    }
  }
  m_width = m_height = 0;
  m_name.clear();
}

void RenderTarget::UpdateMatrices(const glm::mat4& model) {
  // A target without a size has no aspect: its projection stays as it was.
  if (m_width > 0 && m_height > 0) {
    if (m_orbit) {
      const float a = m_orbitPolar, b = m_orbitAzimuth;
      const glm::vec3 dir(std::cos(b) * std::sin(a), std::cos(a), std::sin(b) * std::sin(a));
      const float halfPi = glm::half_pi<float>();
      const glm::vec3 right(std::cos(b - halfPi), 0.0f, std::sin(b - halfPi));
      const glm::vec3 up = glm::cross(dir, right);
      const glm::vec3 panOffset = -right * m_pan.x + up * m_pan.y;
      const glm::vec3 eye = dir * m_orbitDistance + panOffset;
      const glm::vec3 centre = glm::vec3(0.0f, 1.0f, 0.0f) + panOffset;
      m_view = glm::lookAt(eye, centre, up);
      m_projection = glm::perspective(1.0471976f, float(m_width) / float(m_height), m_near, m_far);
    } else {
      m_projection = glm::perspectiveFov(m_fov, float(m_width), float(m_height), m_near, m_far);
      const glm::mat4 r = glm::rotate(glm::mat4(1.0f), m_rotation.z, glm::vec3(0, 0, 1)) *
                          glm::rotate(glm::mat4(1.0f), m_rotation.x, glm::vec3(1, 0, 0)) *
                          glm::rotate(glm::mat4(1.0f), m_rotation.y, glm::vec3(0, 1, 0));
      const glm::vec3 forward(r[2]);
      const glm::vec3 up(r[1]);
      m_view = glm::lookAt(m_position, m_position - forward, up);
    }
  }
  m_viewProjection = m_projection * m_view * model;
  m_invProjection = glm::inverse(m_projection);
  m_invView = glm::inverse(m_view);
  m_invViewProjection = glm::inverse(m_viewProjection);
}

//-----------------------------------------------------------------------------
// [SECTION] Binding
//-----------------------------------------------------------------------------

RenderTarget* BindRenderTarget(RenderTarget* target, bool force) {
  if (!target) target = &g_defaultRenderTarget;
  if (target == g_pCurrentRenderTarget && !force) return nullptr;
  // What was drawn into the target being left lands in its own pixels.
  if (g_pCurrentVectorDisplay) g_pCurrentVectorDisplay->Flush();
  glViewport(0, 0, target->m_width, target->m_height);
  glBindFramebuffer(GL_FRAMEBUFFER, target->m_colorFramebuffer ? target->m_colorFramebuffer->GL()->m_framebuffer : 0);
  RenderTarget* previous = g_pCurrentRenderTarget;
  g_pCurrentRenderTarget = target;
  g_pCurrentVectorDisplay = target->m_vectorDisplay;
  return previous;
}

void FollowClientSize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  const RenderTarget* current = g_pCurrentRenderTarget;
  if (current && current->m_width == width && current->m_height == height) return;
  if (g_defaultRenderTarget.m_width == width && g_defaultRenderTarget.m_height == height) return;
  g_defaultRenderTarget.Create("Default", width, height, kDefaultTargetFlags, kDefaultFramebufferFlags);
}

//-----------------------------------------------------------------------------
// [SECTION] Frame start
//-----------------------------------------------------------------------------

void BeginFrame() {
  PROFILE_BLOCK("BeginFrame");
  ResetFramebufferPool();
  BindRenderTarget(nullptr, true);
  glDisable(GL_BLEND);
  // An effect may leave any write mask off or a scissor or stencil test on;
  // each of them would keep part of "Default" from being cleared and leak
  // the last frame into this one.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFFFFFFFFu);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  g_defaultRenderTarget.UpdateMatrices(glm::mat4(1.0f));
}

//-----------------------------------------------------------------------------
// [SECTION] Frame presentation: overlays, the window
//-----------------------------------------------------------------------------

namespace {

constexpr const char* kOverlayFont = "font/PIXEARG_.TTF";
constexpr float kOverlayTextSize = 16.0f;
constexpr float kOverlayLineStep = 16.0f;

// Made on first use; released by ReleaseFramePresentation while the context
// still exists.
rvTexColorProgram2D* s_presentProgram = nullptr;
TextStashRenderer* s_overlayText = nullptr;
float s_smoothedFrameTime = -1.0f;
// The shell's window rectangle and viewport (SetPresentArea).
const IntRect* s_presentWindow = nullptr;
const IntRect* s_presentViewport = nullptr;

constexpr unsigned int Abgr(unsigned int r, unsigned int g, unsigned int b, unsigned int a) {
  return (a << 24) | (b << 16) | (g << 8) | r;
}

void DrawOverlayLine(TextStashRenderer& text, int line, unsigned int abgr, const char* message) {
  text.BeginFrame();
  text.SetColor(abgr);
  text.DrawText(kOverlayLineStep, kOverlayLineStep * float(line), message);
}

// The overlays draw into "Default", which is bound, in its pixels.
void DrawOverlays(float dt, int flags) {
  if (!s_overlayText) s_overlayText = new TextStashRenderer;
  TextStashRenderer& text = *s_overlayText;
  // A missing font is tried again on the next frame with overlays; until it
  // is there the lines draw nothing, but the frame rate is still smoothed.
  if (!text.HasFont()) {
    text.AddFont(kOverlayFont);
    text.SetSize(kOverlayTextSize);
  }
  char message[64];
  int line = 1;
  if (flags & OVERLAY_FPS) {
    s_smoothedFrameTime = s_smoothedFrameTime < 0.0f ? dt : 0.95f * s_smoothedFrameTime + 0.05f * dt;
    const float fps = 1.0f / s_smoothedFrameTime;
    const unsigned int green = fps >= 59.5f ? 255 : fps > 29.5f ? 127 : 0;
    const unsigned int red = fps < 59.5f ? 255 : 0;
    std::snprintf(message, sizeof message, "%.1f FPS", double(fps));
    DrawOverlayLine(text, line++, Abgr(red, green, 0, 255), message);
  }
  if (flags & OVERLAY_RESOLUTION) {
    std::snprintf(message, sizeof message, "Scene: %dx%d", g_pCurrentRenderTarget->m_width,
                  g_pCurrentRenderTarget->m_height);
    DrawOverlayLine(text, line++, Abgr(0, 255, 0, 255), message);
  }
  if (flags & OVERLAY_DUMPING) DrawOverlayLine(text, line, Abgr(255, 0, 0, 255), "Dumping list");
}

// An 8-bit "Default" lies in 0..1 already, so the clamp of the present
// program changes nothing; at the viewport's own size its texture draw is a
// texel-for-texel copy, which a blit does at a third of the cost on a
// software rasteriser.
bool CanBlitUnscaled(const FramebufferGL& frame, const IntRect& viewport) {
  return frame.m_colorTexture != 0 && frame.m_colorFormat == GL_RGBA8 && frame.m_width == viewport.w &&
         frame.m_height == viewport.h;
}

// Copies "Default" into the viewport of the window's framebuffer, which is
// bound again for drawing and reading afterwards.
void BlitUnscaled(const FramebufferGL& frame, const IntRect& viewport) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, frame.m_framebuffer);
  glBlitFramebuffer(0, 0, frame.m_width, frame.m_height, viewport.x, viewport.y, viewport.x + viewport.w,
                    viewport.y + viewport.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

}  // namespace

void SetPresentArea(const IntRect* window, const IntRect* viewport) {
  s_presentWindow = window;
  s_presentViewport = viewport;
}

void PresentFrame(float dt, bool timeStopped, int overlayFlags) {
  PROFILE_BLOCK("PresentFrame");
  BindRenderTarget(nullptr, true);
  if (overlayFlags != 0) DrawOverlays(dt, overlayFlags);
  if (!timeStopped) g_nVectorHistoryIndex = (g_nVectorHistoryIndex + 1) % VectorHistory::kSlots;

  const IntRect whole = {0, 0, g_defaultRenderTarget.m_width, g_defaultRenderTarget.m_height};
  const IntRect& window = s_presentWindow ? *s_presentWindow : whole;
  const IntRect& viewport = s_presentViewport ? *s_presentViewport : whole;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (window.w != viewport.w || window.h != viewport.h) {
    glViewport(0, 0, window.w, window.h);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glViewport(viewport.x, viewport.y, viewport.w, viewport.h);

  FramebufferGL* frame =
      g_defaultRenderTarget.m_colorFramebuffer ? g_defaultRenderTarget.m_colorFramebuffer->GL() : nullptr;
  if (frame && CanBlitUnscaled(*frame, viewport)) {
    BlitUnscaled(*frame, viewport);
  } else {
    if (!s_presentProgram) s_presentProgram = new rvTexColorProgram2D;
    const float clampToOne[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    DrawTextureToViewport(*s_presentProgram, frame ? frame->m_colorTexture : 0, clampToOne);
  }
  glFlush();
}

void ReleaseFramePresentation() {
  delete s_presentProgram;
  s_presentProgram = nullptr;
  delete s_overlayText;
  s_overlayText = nullptr;
}

void ReleaseFrameResources() {
  g_pCurrentRenderTarget = nullptr;
  g_pCurrentVectorDisplay = nullptr;
  g_defaultRenderTarget.Destroy(true);
  ReleaseFramePresentation();
  ResetFramebufferPool();
  ReleaseFramebufferPool();
}
