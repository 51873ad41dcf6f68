#version 410 core
// Rings in the Bonzomatic form: the stage declares its own uniforms and
// output; the generated header only replaces the version line.
uniform float fGlobalTime; // in seconds
uniform vec2 v2Resolution; // viewport resolution (in pixels)
uniform sampler2D texNoise;

#include "shader/lib/common.glsl"
#include "shader/lib/noise.glsl"

layout(location = 0) out vec4 out_color;

void main(void)
{
  vec2 uv = (gl_FragCoord.xy - 0.5 * v2Resolution) / v2Resolution.y;
  float d = length(uv);
  float rings = sin(d * 40.0 - fGlobalTime * 4.0 + ValueNoise(uv * 6.0) * 2.0);
  vec3 col = Palette(d + fGlobalTime * 0.1, vec3(0.5), vec3(0.5), vec3(1.0), vec3(0.0, 0.1, 0.2));
  out_color = vec4(col * smoothstep(-0.2, 0.8, rings), 1.0);
}
