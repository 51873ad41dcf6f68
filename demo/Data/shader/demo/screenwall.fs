SHADER_HEADER
// The screen wall: sixteen small CRT screens in a 4 x 4 grid, each showing
// its slot of the wall's atlas (a 4096 x 200 texture, 16 slots of 256 x 200
// side by side). Per screen the wall effect feeds where its picture lies in
// the slot (pinvaleTexScreen: x0, y0, x1, y1 in slot units, y up), the tube
// shape (pinvaleObjShape: bulge, corner rounding) and a decoration
// (pinvaleTexDetail: 0 none, 1-7 a coloured bezel lamp and stand).
#include "shader/demo/lib.glsl"
in vec2 TexCoords;
out vec4 fragColor;
uniform sampler2D uWall;      // |TEXTURE0|
uniform float uFade;          // |FADE|
uniform float uSpread;        // |ATTR=Spread|MIN=0|MAX=1|1.0
uniform float uFlicker;       // |ATTR=Flicker|MIN=0|MAX=1|0.3
uniform int pinvaleTexDetail[16];
uniform vec4 pinvaleTexScreen[16];
uniform vec2 pinvaleObjShape[16];

const vec2 kGrid = vec2(4.0, 4.0);

// The texture coordinate of point q (0..1 inside the picture, y up) of screen i.
vec2 AtlasUV(int i, vec2 q)
{
  vec4 r = pinvaleTexScreen[i];
  vec2 inSlot = mix(r.xy, r.zw, q);
  return vec2((float(i) + inSlot.x) / 16.0, inSlot.y);
}

vec3 DetailColor(int d)
{
  return Palette(float(d) * 0.14, vec3(0.6), vec3(0.4), vec3(1.0), vec3(0.0, 0.33, 0.67));
}

void main(void)
{
  vec2 uv = TexCoords;
  // Cells of the grid: the wall leaves a band above for the title and one
  // below for the figures that run past it.
  vec2 wall = (uv - vec2(0.5, 0.49)) * vec2(1.12, 1.35) / mix(0.6, 1.0, uSpread) + 0.5;
  vec2 cell = floor(wall * kGrid);
  vec3 col = vec3(0.0);
  float alpha = 0.0;
  if (all(greaterThanEqual(cell, vec2(0.0))) && all(lessThan(cell, kGrid)))
  {
    int i = int(cell.y) * 4 + int(cell.x);
    vec2 local = fract(wall * kGrid);
    // Each tube wobbles a little on its own.
    local += 0.01 * vec2(sin(iTime * 1.3 + float(i)), cos(iTime * 1.7 + float(i) * 2.0));
    vec2 p = (local - 0.5) / vec2(0.84, 0.86);
    vec2 shape = pinvaleObjShape[i];
    // Barrel bulge of the tube, then its rounded corners.
    vec2 q = p * (1.0 + shape.x * dot(p, p));
    vec2 corner = max(abs(q) - (0.5 - shape.y * 0.25), 0.0);
    float inside = 1.0 - smoothstep(shape.y * 0.25 - 0.01, shape.y * 0.25 + 0.01, length(corner));
    inside *= step(abs(q.x), 0.5) * step(abs(q.y), 0.5);
    vec2 pic = q + 0.5;
    vec3 screen = texture(uWall, AtlasUV(i, clamp(pic, 0.0, 1.0))).rgb;
    float scan = 0.82 + 0.18 * sin(pic.y * 360.0);
    float flick = 1.0 - uFlicker * 0.15 * Hash11(floor(iTime * 24.0) + float(i));
    screen *= scan * flick;
    // The bezel around every tube, with a lamp coloured by the detail.
    float bezel = (1.0 - inside) * step(max(abs(q.x), abs(q.y)), 0.58);
    int d = pinvaleTexDetail[i];
    vec3 lamp = d > 0 ? DetailColor(d) * step(length(q - vec2(0.45, -0.54)), 0.03) : vec3(0.0);
    col = screen * inside + vec3(0.08, 0.08, 0.1) * bezel + lamp;
    alpha = max(inside, bezel);
  }
  fragColor = vec4(col, alpha * uFade);
}
