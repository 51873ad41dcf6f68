SHADER_HEADER
// The full-target quad only feeds the geometry stage, which places every
// lantern itself: the corners pass through untouched.
layout(location = 0) in vec2 aPos;
void main()
{
  gl_Position = vec4(aPos, 0.0, 1.0);
}
