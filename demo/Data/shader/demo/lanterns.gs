SHADER_HEADER
// Sky lanterns: each of the quad's two triangles runs 16 invocations that
// emit 8 lantern sprites each, 256 in all. A lantern rises from the shore,
// drifts with the wind and fades as it climbs; nearer ones are larger,
// faster and lower.
layout(triangles, invocations = 16) in;
layout(triangle_strip, max_vertices = 32) out;
out vec2 gUV;
out vec4 gColor;
uniform float uRise;    // |ATTR=Rise|MIN=0|MAX=0.5|0.05
uniform float uCount;   // |ATTR=Count|MIN=0|MAX=256|256
uniform float uSize;    // |ATTR=Size|MIN=0.005|MAX=0.1|0.03
uniform float uWind;    // |ATTR=Wind|MIN=-1|MAX=1|0.1

#include "shader/demo/lib.glsl"

void main()
{
  float aspect = iResolution.x / iResolution.y;
  for (int k = 0; k < 8; ++k)
  {
    float id = float((gl_PrimitiveIDIn * 16 + gl_InvocationID) * 8 + k);
    if (id >= uCount) break;
    float h1 = Hash11(id * 1.73 + 0.31);
    float h2 = Hash11(id * 3.17 + 7.11);
    float near = Hash11(id * 5.31 + 1.97);
    near *= near;
    float life = fract(h1 + iTime * uRise * (0.4 + 0.8 * near));
    float start = mix(-0.16, -1.1, near);
    vec2 c = vec2((h2 * 2.0 - 1.0) * 1.1 + uWind * life * (0.3 + near) + 0.02 * sin(iTime * 0.7 + id),
                  mix(start, 1.15, life));
    vec2 extent = vec2(1.0 / aspect, 1.3) * uSize * (0.35 + 1.3 * near);
    float alpha = smoothstep(0.0, 0.06, life) * (1.0 - smoothstep(0.6, 1.0, life)) * (0.35 + 0.65 * near);
    float flicker = 0.85 + 0.15 * sin(iTime * (7.0 + 5.0 * h1) + id);
    vec4 color = vec4(mix(vec3(1.0, 0.45, 0.12), vec3(1.0, 0.75, 0.35), h2) * flicker, alpha);
    for (int v = 0; v < 4; ++v)
    {
      vec2 corner = vec2(float(v & 1) * 2.0 - 1.0, float(v >> 1) * 2.0 - 1.0);
      gUV = corner;
      gColor = color;
      gl_Position = vec4(c + corner * extent * 2.5, 0.0, 1.0);
      EmitVertex();
    }
    EndPrimitive();
  }
}
