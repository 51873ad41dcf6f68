SHADER_RAW
// Scanlines over a texture, in the raw form: only the version comes from the
// generated header, the stage declares everything else itself.
in vec2 TexCoords;
out vec4 fragColor;
uniform sampler2D iChannel0;  // |TEXTURE0|
uniform vec2 iResolution;
uniform float iTime;
uniform float uStrength;      // |ATTR=Strength|MIN=0|MAX=1|0.35
uniform float uLineCount;     // |ATTR=Lines|MIN=16|MAX=1080|240
void main()
{
  vec3 col = texture(iChannel0, TexCoords).rgb;
  float line = 0.5 + 0.5 * sin((TexCoords.y * uLineCount + iTime * 2.0) * 3.14159265);
  fragColor = vec4(col * (1.0 - uStrength * line), 1.0);
}
