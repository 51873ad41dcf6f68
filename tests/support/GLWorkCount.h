// Counts the GL calls that make llvmpipe work: framebuffer binds (each one
// ends the rasteriser's binning scene), clears, texture binds, draw calls,
// blits and flushes. While a GLWorkCount lives, the loaded GL entry points
// of those calls go through counting wrappers; its destructor puts the
// driver's entry points back. One at a time, main thread only, with the GL
// entry points already loaded.
#pragma once

#include <string>

struct GLWork {
  int framebufferBinds = 0;  // glBindFramebuffer, any target
  int clears = 0;            // glClear
  int textureBinds = 0;      // glBindTexture, glBindTextureUnit
  int draws = 0;             // glDrawArrays, glDrawElements, their instanced forms, glDrawTransformFeedback
  int blits = 0;             // glBlitFramebuffer
  int flushes = 0;           // glFlush
  int programBinds = 0;      // glUseProgram

  GLWork& operator+=(const GLWork& o);
  // "fb 3 clear 2 tex 5 draw 4 blit 0 flush 1 prog 2"
  std::string Text() const;
};

class GLWorkCount {
 public:
  GLWorkCount();
  ~GLWorkCount();
  GLWorkCount(const GLWorkCount&) = delete;
  GLWorkCount& operator=(const GLWorkCount&) = delete;

  // The calls since construction or the last Reset.
  const GLWork& Work() const;
  void Reset();
};
