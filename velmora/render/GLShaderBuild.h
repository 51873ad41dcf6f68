// Plain GL shader building for the fixed programs that do not go through
// the preprocessor (the vector display's stages, the text backend): compile
// one stage, check a link, and hand the driver's message back to the caller,
// who decides whether and where to report it.
#pragma once
#include <glad/gl.h>

#include <string>

// The compiled shader, or 0 with the driver's message in *message.
GLuint CompileGLShader(GLenum type, const char* source, std::string* message);
// True when `program` linked; else the driver's message in *message.
bool CheckGLLink(GLuint program, std::string* message);
