SHADER_RAW
// Letterbox bars closing in over the finale, drawn into the screen with
// alpha after the grade. Only the bars' own pixels are drawn; a thin warm
// rim lights their inner edge.
in vec2 TexCoords;
out vec4 fragColor;
uniform float uFade;   // |FADE|
uniform float uCover;  // |ATTR=Cover|MIN=0|MAX=0.5|0.0
uniform vec3 uRim;     // |COLOR|ATTR=Rim|1.0, 0.7, 0.4
void main()
{
  float y = min(TexCoords.y, 1.0 - TexCoords.y);
  if (y > uCover + 0.004) discard;
  float rim = smoothstep(0.004, 0.0, abs(y - uCover));
  fragColor = vec4(uRim * rim * 0.5, uFade * smoothstep(uCover + 0.004, uCover, y));
}
