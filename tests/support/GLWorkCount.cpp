// GL call counting. See GLWorkCount.h.
#include "GLWorkCount.h"

#include <glad/gl.h>

#include <cstdio>

namespace {

GLWork s_work;

// The driver's entry points while a count lives.
struct Originals {
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
  PFNGLCLEARPROC clear;
  PFNGLBINDTEXTUREPROC bindTexture;
  PFNGLBINDTEXTUREUNITPROC bindTextureUnit;
  PFNGLDRAWARRAYSPROC drawArrays;
  PFNGLDRAWARRAYSINSTANCEDPROC drawArraysInstanced;
  PFNGLDRAWELEMENTSPROC drawElements;
  PFNGLDRAWELEMENTSINSTANCEDPROC drawElementsInstanced;
  PFNGLDRAWTRANSFORMFEEDBACKPROC drawTransformFeedback;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer;
  PFNGLFLUSHPROC flush;
  PFNGLUSEPROGRAMPROC useProgram;
} s_gl;

void GLAD_API_PTR BindFramebuffer(GLenum target, GLuint fb) {
  ++s_work.framebufferBinds;
  s_gl.bindFramebuffer(target, fb);
}
void GLAD_API_PTR Clear(GLbitfield mask) {
  ++s_work.clears;
  s_gl.clear(mask);
}
void GLAD_API_PTR BindTexture(GLenum target, GLuint texture) {
  ++s_work.textureBinds;
  s_gl.bindTexture(target, texture);
}
void GLAD_API_PTR BindTextureUnit(GLuint unit, GLuint texture) {
  ++s_work.textureBinds;
  s_gl.bindTextureUnit(unit, texture);
}
void GLAD_API_PTR DrawArrays(GLenum mode, GLint first, GLsizei count) {
  ++s_work.draws;
  s_gl.drawArrays(mode, first, count);
}
void GLAD_API_PTR DrawArraysInstanced(GLenum mode, GLint first, GLsizei count, GLsizei instances) {
  ++s_work.draws;
  s_gl.drawArraysInstanced(mode, first, count, instances);
}
void GLAD_API_PTR DrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
  ++s_work.draws;
  s_gl.drawElements(mode, count, type, indices);
}
void GLAD_API_PTR DrawElementsInstanced(GLenum mode, GLsizei count, GLenum type, const void* indices,
                                    GLsizei instances) {
  ++s_work.draws;
  s_gl.drawElementsInstanced(mode, count, type, indices, instances);
}
void GLAD_API_PTR DrawTransformFeedback(GLenum mode, GLuint feedback) {
  ++s_work.draws;
  s_gl.drawTransformFeedback(mode, feedback);
}
void GLAD_API_PTR BlitFramebuffer(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1,
                              GLint dy1, GLbitfield mask, GLenum filter) {
  ++s_work.blits;
  s_gl.blitFramebuffer(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, mask, filter);
}
void GLAD_API_PTR Flush() {
  ++s_work.flushes;
  s_gl.flush();
}
void GLAD_API_PTR UseProgram(GLuint program) {
  ++s_work.programBinds;
  s_gl.useProgram(program);
}

}  // namespace

GLWork& GLWork::operator+=(const GLWork& o) {
  framebufferBinds += o.framebufferBinds;
  clears += o.clears;
  textureBinds += o.textureBinds;
  draws += o.draws;
  blits += o.blits;
  flushes += o.flushes;
  programBinds += o.programBinds;
  return *this;
}

std::string GLWork::Text() const {
  char text[160];
  std::snprintf(text, sizeof text, "fb %d clear %d tex %d draw %d blit %d flush %d prog %d", framebufferBinds,
                clears, textureBinds, draws, blits, flushes, programBinds);
  return text;
}

GLWorkCount::GLWorkCount() {
  s_gl = {glad_glBindFramebuffer, glad_glClear,         glad_glBindTexture,         glad_glBindTextureUnit,
          glad_glDrawArrays,      glad_glDrawArraysInstanced, glad_glDrawElements, glad_glDrawElementsInstanced,
          glad_glDrawTransformFeedback, glad_glBlitFramebuffer, glad_glFlush,         glad_glUseProgram};
  glad_glBindFramebuffer = BindFramebuffer;
  glad_glClear = Clear;
  glad_glBindTexture = BindTexture;
  glad_glBindTextureUnit = BindTextureUnit;
  glad_glDrawArrays = DrawArrays;
  glad_glDrawArraysInstanced = DrawArraysInstanced;
  glad_glDrawElements = DrawElements;
  glad_glDrawElementsInstanced = DrawElementsInstanced;
  glad_glDrawTransformFeedback = DrawTransformFeedback;
  glad_glBlitFramebuffer = BlitFramebuffer;
  glad_glFlush = Flush;
  glad_glUseProgram = UseProgram;
  Reset();
}

GLWorkCount::~GLWorkCount() {
  glad_glBindFramebuffer = s_gl.bindFramebuffer;
  glad_glClear = s_gl.clear;
  glad_glBindTexture = s_gl.bindTexture;
  glad_glBindTextureUnit = s_gl.bindTextureUnit;
  glad_glDrawArrays = s_gl.drawArrays;
  glad_glDrawArraysInstanced = s_gl.drawArraysInstanced;
  glad_glDrawElements = s_gl.drawElements;
  glad_glDrawElementsInstanced = s_gl.drawElementsInstanced;
  glad_glDrawTransformFeedback = s_gl.drawTransformFeedback;
  glad_glBlitFramebuffer = s_gl.blitFramebuffer;
  glad_glFlush = s_gl.flush;
  glad_glUseProgram = s_gl.useProgram;
}

const GLWork& GLWorkCount::Work() const { return s_work; }

void GLWorkCount::Reset() { s_work = GLWork(); }
