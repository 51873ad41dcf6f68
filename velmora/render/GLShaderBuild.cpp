// Plain GL shader building: see GLShaderBuild.h.
#include "render/GLShaderBuild.h"

namespace {

template <typename GetLength, typename GetLog>
std::string ReadInfoLog(GLuint object, GetLength getLength, GetLog getLog) {
  GLint length = 0;
  getLength(object, GL_INFO_LOG_LENGTH, &length);
  if (length <= 1) return std::string();
  std::string info(static_cast<size_t>(length), '\0');
  getLog(object, length, nullptr, info.data());
  info.resize(info.find('\0') == std::string::npos ? info.size() : info.find('\0'));
  return info;
}

}  // namespace

GLuint CompileGLShader(GLenum type, const char* source, std::string* message) {
  const GLuint shader = glCreateShader(type);
  if (!shader) return 0;
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  if (message) *message = ReadInfoLog(shader, glGetShaderiv, glGetShaderInfoLog);
  glDeleteShader(shader);
  return 0;
}

bool CheckGLLink(GLuint program, std::string* message) {
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok) return true;
  if (message) *message = ReadInfoLog(program, glGetProgramiv, glGetProgramInfoLog);
  return false;
}
