// Plain GL shader building: compile one stage, check a link, and hand the
// driver's message back to the caller, who decides whether and where to
// report it. Used by the preprocessed programs (rvProgram) and by the fixed
// ones that bypass the preprocessor (the vector display, the text backend).
// Depends on GL only; owns nothing (the caller owns the names it gets).
#pragma once
#include <glad/gl.h>

#include <string>

// The compiled shader, or 0 with the driver's message in *message.
GLuint CompileGLShader(GLenum type, const char* source, std::string* message);
// True when `program` linked; else the driver's message in *message.
bool CheckGLLink(GLuint program, std::string* message);
