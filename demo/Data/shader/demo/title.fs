SHADER_HEADER
// Title words in glowing strokes, added onto the scene. Letters rise into
// place one after another as Reveal goes from 0 to 1; a rule underneath
// opens from the centre.
#include "shader/demo/lib.glsl"
in vec2 TexCoords;
out vec4 fragColor;
uniform vec3 uResolution;  // |RESOLUTION|
uniform float uFade;       // |FADE|
uniform float uReveal;     // |ATTR=Reveal|MIN=0|MAX=1|1.0
uniform float uGlow;       // |ATTR=Glow|MIN=0|MAX=3|1.0
uniform float uWord;       // |ATTR=Word|MIN=0|MAX=1|0
uniform float uSize;       // |ATTR=Size|MIN=0.02|MAX=0.3|0.11
uniform float uHeight;     // |ATTR=Height|MIN=-0.5|MAX=0.5|0.12
uniform vec3 uInk;         // |COLOR|ATTR=Ink|1.0, 0.82, 0.55

const int kVelmora[7] = int[7](9, 1, 3, 4, 6, 8, 0);
const int kPinvale[7] = int[7](7, 2, 5, 9, 0, 3, 1);
const float kAdvance = 0.95;

void main()
{
  vec2 p = (TexCoords - 0.5) * vec2(uResolution.z, 1.0);
  vec2 q = (p - vec2(0.0, uHeight)) / uSize;
  q += vec2((6.0 * kAdvance + 0.6) * 0.5, 0.5);
  float d = 1e3;
  float lit = 0.0;
  if (q.y > -2.0 && q.y < 3.0)
  {
    int first = int(floor(q.x / kAdvance));
    for (int j = first - 1; j <= first + 1; ++j)
    {
      if (j < 0 || j > 6) continue;
      float show = clamp(uReveal * 8.0 - float(j), 0.0, 1.0);
      if (show <= 0.0) continue;
      int code = uWord < 0.5 ? kVelmora[j] : kPinvale[j];
      float dj = Letter(code, q - vec2(float(j) * kAdvance, (1.0 - show) * -0.6));
      if (dj < d)
      {
        d = dj;
        lit = show;
      }
    }
    float open = clamp(uReveal * 1.3 - 0.3, 0.0, 1.0) * 3.3;
    float rule = Segment(q, vec2(3.1 - open, -0.45), vec2(3.1 + open, -0.45)) + 0.02;
    if (rule < d)
    {
      d = rule;
      lit = 0.6;
    }
  }
  float stroke = smoothstep(0.075, 0.045, d);
  float glow = 0.05 / (d + 0.05) * exp(-d * 1.5);
  vec3 col = uInk * (stroke * 1.1 + glow * 0.45 * uGlow) * lit;
  fragColor = vec4(col * uFade, 1.0);
}
