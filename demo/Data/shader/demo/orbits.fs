SHADER_HEADER
// Orbiting beads: twelve small glowing beads circling the middle of the
// screen on a flattened ring, added onto the scene. Played inside the rings
// part, on that part's own clock.
#include "shader/demo/lib.glsl"
in vec2 TexCoords;
out vec4 fragColor;
uniform vec3 uResolution;  // |RESOLUTION|
uniform float uFade;       // |FADE|
uniform float uTime;       // |TIME|
uniform float uSpread;     // |ATTR=Spread|MIN=0|MAX=1|0.35
uniform float uSpin;       // |ATTR=Spin|MIN=-2|MAX=2|0.6
uniform vec3 uTint;        // |COLOR|ATTR=Tint|0.55, 0.85, 1.0

void main()
{
  vec2 p = (TexCoords - 0.5) * vec2(uResolution.z, 1.0);
  vec3 col = vec3(0.0);
  for (int i = 0; i < 12; ++i)
  {
    float fi = float(i);
    float a = fi * TAU / 12.0 + uTime * uSpin;
    vec2 c = vec2(cos(a), sin(a) * 0.55) * uSpread;
    vec2 d = p - c;
    float twinkle = 0.6 + 0.4 * sin(uTime * 3.0 + fi * 1.7);
    col += uTint * (0.0004 / (dot(d, d) + 0.0005)) * twinkle;
  }
  fragColor = vec4(col * uFade, 1.0);
}
