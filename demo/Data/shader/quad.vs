SHADER_HEADER
// Full-target pass: texture coordinates for the own form, pixel coordinates
// for the Shadertoy form.
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec2 aTexCoords;
out vec2 TexCoords;
out vec2 fragCoord;
void main()
{
  TexCoords = aTexCoords;
  fragCoord = aTexCoords * iResolution;
  gl_Position = vec4(aPos, 0.0, 1.0);
}
