SHADER_HEADER
// Showreel badge: the word REEL in a thin frame in the lower right corner,
// with a red dot beating at 120 bpm, added onto the scene. Pixels away from
// the corner leave at once.
#include "shader/demo/lib.glsl"
in vec2 TexCoords;
out vec4 fragColor;
uniform vec3 uResolution;  // |RESOLUTION|
uniform float uFade;       // |FADE|
uniform float uTime;       // |TIME|
uniform vec3 uInk;         // |COLOR|ATTR=Ink|0.9, 0.92, 1.0

const int kReel[4] = int[4](8, 1, 1, 3);

void main()
{
  vec2 p = (TexCoords - 0.5) * vec2(uResolution.z, 1.0);
  // Cells of 0.045 of the screen height, the badge ending near the corner.
  vec2 q = (p - vec2(0.5 * uResolution.z - 0.26, -0.42)) / 0.045;
  if (q.x < -2.0 || q.x > 4.6 || q.y < -1.0 || q.y > 2.0)
  {
    fragColor = vec4(0.0, 0.0, 0.0, 1.0);
    return;
  }
  float d = 1e3;
  for (int j = 0; j < 4; ++j)
    d = min(d, Letter(kReel[j], q - vec2(float(j) * 0.85, 0.0)));
  vec2 box = abs(q - vec2(1.25, 0.5)) - vec2(2.85, 1.0);
  float frame = abs(length(max(box, 0.0)) + min(max(box.x, box.y), 0.0));
  float ink = smoothstep(0.12, 0.05, d) + 0.5 * smoothstep(0.08, 0.02, frame);
  float beat = exp(-5.0 * fract(uTime * 2.0));
  float dotMask = smoothstep(0.32, 0.22, length(q - vec2(-1.0, 0.5)));
  vec3 col = uInk * ink + vec3(1.0, 0.15, 0.1) * dotMask * (0.35 + 0.65 * beat);
  fragColor = vec4(col * uFade, 1.0);
}
