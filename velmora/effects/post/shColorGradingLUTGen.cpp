// The colour-grading lookup table generator. See shColorGradingLUTGen.h.
#include "effects/post/shColorGradingLUTGen.h"

#include "core/AppLog.h"

// One invocation per cell: 8 x 8 x 8 groups of 4 x 4 x 4.
//
// lift and gain divide by acos, which reaches 0 at the ends of their ranges
// (Lift -1, Gain +1): the angle is kept above 1/1024 so the terms stay finite.
// A negative lift makes the base of the gamma curve negative for dark
// cells, where pow is undefined: the base is clamped at 0 first.
namespace {

const char* const kLutSource = R"(SHADER_RAW
layout (local_size_x = 4, local_size_y = 4, local_size_z = 4) in;
layout (rgba32f, binding = 0) uniform image3D imgColorGradingLUT;
uniform float LIFT;
uniform float GAMMA;
uniform float GAIN;
uniform float BRIGHTNESS;
uniform float CONTRAST;
uniform float SATURATION;
uniform int INV_SATURATION;
uniform int LUMA_COLOR_PROFILE;

float Curve(float x) { return x * x * sign(x); }
float SafeAcos(float x) { return max(acos(clamp(x, -1.0, 1.0)), 1.0 / 1024.0); }
float Luma(vec3 c)
{
  return dot(c, LUMA_COLOR_PROFILE == 1 ? vec3(0.299, 0.587, 0.114) : vec3(0.2126, 0.7152, 0.0722));
}

void main()
{
  ivec3 cell = ivec3(gl_GlobalInvocationID);
  vec4 col = vec4(vec3(cell) / 31.0, 1.0);
  float pi = acos(-1.0);
  float lift = 2.0 - pi / SafeAcos(-Curve(LIFT));
  float gamma = exp(2.0 * Curve(GAMMA));
  float gain = pi / SafeAcos(Curve(GAIN)) - 1.0;
  float brightness = Curve(BRIGHTNESS);
  float contrast = Curve(CONTRAST);
  float saturation = (SATURATION + 1.0) * (SATURATION + 1.0);
  if (INV_SATURATION == 1) saturation = -saturation;
  float factor = 259.0 * (255.0 * contrast + 255.0) / (255.0 * (259.0 - 255.0 * contrast));
  col = pow(max(col * (gain - lift) + lift, vec4(0.0)), vec4(1.0 / gamma));
  col = clamp(factor * (col - 0.5) + 0.5, 0.0, 1.0) + brightness;
  col = saturation * col + (1.0 - saturation) * Luma(col.rgb);
  imageStore(imgColorGradingLUT, cell, clamp(col, 0.0, 1.0));
}
)";

}  // namespace

shColorGradingLUTGen::shColorGradingLUTGen() = default;

void shColorGradingLUTGen::Build() {
  if (m_buildFailed && (m_dirtyStages & 0x3F) == 0) return;
  if (m_stages[StageCompute].source == nullptr) m_stages[StageCompute].source = kLutSource;
  m_buildFailed = !Link();
  if (m_buildFailed) return;
  m_lift.m_location = Location("LIFT");
  m_gamma.m_location = Location("GAMMA");
  m_gain.m_location = Location("GAIN");
  m_brightness.m_location = Location("BRIGHTNESS");
  m_contrast.m_location = Location("CONTRAST");
  m_saturation.m_location = Location("SATURATION");
  m_invSaturationLocation = Location("INV_SATURATION");
  m_lumaProfile.m_location = Location("LUMA_COLOR_PROFILE");
  Upload();
}

bool shColorGradingLUTGen::TakeChanges() {
  bool changed = false;
  for (GradingUniform* u : {&m_lift, &m_gamma, &m_gain, &m_brightness, &m_contrast, &m_saturation}) {
    // A NaN never equals itself, so it counts as a change.
    if (u->m_value != u->m_lastUsed) {
      changed = true;
      u->m_lastUsed = u->m_value;
    }
  }
  if (m_invSaturation != m_invSaturationLastUsed) {
    changed = true;
    m_invSaturationLastUsed = m_invSaturation;
  }
  return changed;
}

void shColorGradingLUTGen::Upload() const {
  for (const GradingUniform* u : {&m_lift, &m_gamma, &m_gain, &m_brightness, &m_contrast, &m_saturation}) {
    if (u->m_location >= 0) glUniform1f(u->m_location, u->m_value);
  }
  if (m_invSaturationLocation >= 0) glUniform1i(m_invSaturationLocation, m_invSaturation ? 1 : 0);
  UploadUniform(m_lumaProfile);
}

bool shColorGradingLUTGen::GenerateLut(GLuint lut, int lumaProfile, uint8_t& dirty) {
  if (TakeChanges()) dirty = 1;
  // No table yet (Init has not run): the request waits for one.
  if (lut == 0) return false;
  if (!dirty) return m_tableFilled;
  AppLog::Get().AddLog("[shColorGradingLUTGen] recalculating LUT\n");
  dirty = 0;
  Bind();
  m_tableFilled = m_program != 0;
  if (!m_tableFilled) return false;
  glBindTexture(GL_TEXTURE_3D, lut);
  glBindImageTexture(0, lut, 0, GL_TRUE, 0, GL_WRITE_ONLY, GL_RGBA32F);
  m_lumaProfile.m_value = lumaProfile;
  Upload();
  glDispatchCompute(kLutSize / 4, kLutSize / 4, kLutSize / 4);
  glMemoryBarrier(GL_TEXTURE_FETCH_BARRIER_BIT);
  glBindImageTexture(0, 0, 0, GL_FALSE, 0, GL_WRITE_ONLY, GL_RGBA32F);
  glBindTexture(GL_TEXTURE_3D, 0);
  return true;
}
