// fxObjPacman: Pac-Man and ghost figures. See fxObjPacman.h.
#include "production/fxObjPacman.h"

#include <cmath>

#include "render/VectorGeometry.h"

namespace {

const char* const kObjectNames[2] = {"Pacman", "Ghost"};
constexpr float kPi = 3.14159265358979f;
constexpr float kDegToRadians = kPi / 180.0f;

// Appends through the figure's matrix.
class FigurePen {
 public:
  FigurePen(VectorGeometry& out, const rvTransform* transform) : m_out(out), m_transform(transform) {}
  void MoveTo(float x, float y) {
    const glm::vec3 p = Place(x, y);
    m_out.MoveTo(p.x, p.y, p.z);
  }
  void LineTo(float x, float y) {
    const glm::vec3 p = Place(x, y);
    m_out.LineTo(p.x, p.y, p.z);
  }
  // The point at a degrees on the circle of radius r around (cx, cy).
  void LineToArc(float cx, float cy, float r, float a) {
    LineTo(cx + r * std::cos(a * kDegToRadians), cy + r * std::sin(a * kDegToRadians));
  }
  void LineToAngle(float a) { LineToArc(0.0f, 0.0f, 1.0f, a); }
  void EndLine() { m_out.EndLine(); }

 private:
  glm::vec3 Place(float x, float y) const {
    glm::vec3 q;
    TransformPoint(q, m_transform, glm::vec3(x, y, 0.0f));
    return q;
  }
  VectorGeometry& m_out;
  const rvTransform* m_transform;
};

// Points of the circle (cx, cy, r) at from + s, from + 2s, ... for every such
// angle below to; none without a step.
void ArcPoints(FigurePen& pen, float cx, float cy, float r, float from, float to, float s) {
  if (!(s > 0.0f)) return;
  for (int k = 1;; ++k) {
    const float a = from + float(k) * s;
    if (!(a < to)) break;
    pen.LineToArc(cx, cy, r, a);
  }
}

}  // namespace

ClassDesc* fxObjPacman::GetClassDesc() {
  static ClassDesc desc("fxObjPacman", fxBase::GetClassDesc(), &fxObjPacman::Create);
  return &desc;
}

fxBase* fxObjPacman::Create(ClassDesc* desc) { return CreateZeroFilled<fxObjPacman>(desc); }

ClassDesc* fxObjPacman::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrTransform3D, "Transform", RV_OFFSETOF(fxObjPacman, m_transform));
  desc->AddAttribute(AttrFloat, "Thickness", RV_OFFSETOF(fxObjPacman, m_thickness))->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrRGB, "Color", RV_OFFSETOF(fxObjPacman, m_color));
  desc->AddAttribute(AttrEnum, "Object", RV_OFFSETOF(fxObjPacman, m_object))->SetEnumNames(kObjectNames, 2);
  desc->AddAttribute(AttrFloat, "Animate", RV_OFFSETOF(fxObjPacman, m_animate))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "EyeDir", RV_OFFSETOF(fxObjPacman, m_eyeDir))->SetRange(-1.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "EyeScl", RV_OFFSETOF(fxObjPacman, m_eyeScl))->SetRange(0.0f, 4.0f);
  desc->AddAttribute(AttrFloat, "StepAngle", RV_OFFSETOF(fxObjPacman, m_stepAngle))->SetRange(0.0f, 20.0f);
  return desc;
}

fxObjPacman::fxObjPacman(ClassDesc* desc)
    : fxBase(desc),
      m_thickness(0.3f),
      m_color(1.0f),
      m_object(ObjectPacman),
      m_animate(0.0f),
      m_eyeDir(0.0f),
      m_eyeScl(2.0f),
      m_stepAngle(4.0f),
      m_animTime(0.0f) {}

void fxObjPacman::Init() { m_animTime = 0.0f; }

float fxObjPacman::ArcStep() const {
  // A step of 0 would never end the arc loops; a tiny one would append
  // millions of points.
  if (!(m_stepAngle > 0.0f)) return 0.0f;
  return std::fmax(m_stepAngle, kMinStepAngle);
}

void fxObjPacman::Update() {
  VectorGeometry* display = CurrentVectorGeometry();
  if (!display) return;
  const float f = GetFadeFactor();
  if (m_thickness > 0.0f) display->m_settings.currentThickness = m_thickness;
  display->m_settings.currentColor = glm::vec4(m_color * f, 1.0f);
  m_transform.Update();
  m_animTime += m_animate * m_appliedDelta * 10.0f;
  DrawObject(*display);
}

void fxObjPacman::DrawObject(VectorGeometry& out) const {
  FigurePen pen(out, &m_transform);
  const float s = ArcStep();
  const float t = m_animTime;
  if (m_object == ObjectPacman) {
    // The mouth opens to 45 degrees each side of -x and closes every pi.
    const float m = 180.0f - 45.0f * std::sin(std::fmod(t, kPi));
    pen.MoveTo(1.0f, 0.0f);
    ArcPoints(pen, 0.0f, 0.0f, 1.0f, 0.0f, m, s);
    pen.LineToAngle(m);
    pen.LineTo(0.0f, 0.0f);
    pen.LineToAngle(-m);
    ArcPoints(pen, 0.0f, 0.0f, 1.0f, -m, 0.0f, s);
    pen.LineTo(1.0f, 0.0f);
    pen.EndLine();
    DrawEye(out, 0.1f, 0.4f);
  } else if (m_object == ObjectGhost) {
    pen.MoveTo(1.0f, 0.0f);
    ArcPoints(pen, 0.0f, 0.0f, 1.0f, 0.0f, 180.0f, s);
    pen.LineToAngle(180.0f);
    pen.LineTo(-1.0f, 0.1f * std::sin(t - 10.0f) - 0.9f);
    // Accumulated in float on purpose: the skirt has 39 points, the last at
    // x = 0.95.
    for (float x = -0.95f; x <= 1.0f; x += 0.05f) pen.LineTo(x, 0.1f * std::sin(10.0f * x + t) - 0.9f);
    pen.LineTo(1.0f, 0.0f);
    pen.EndLine();
    DrawEye(out, 0.5f, 0.3f);
    DrawEye(out, -0.5f, 0.3f);
  }
}

void fxObjPacman::DrawEye(VectorGeometry& out, float x, float y) const {
  FigurePen pen(out, &m_transform);
  const float r = 0.1f * m_eyeScl;
  pen.MoveTo(x + r, y);
  ArcPoints(pen, x, y, r, 0.0f, 360.0f, ArcStep());
  pen.LineTo(x + r, y);
  pen.EndLine();
  pen.MoveTo(x + 0.09f * m_eyeScl * m_eyeDir, y);
  pen.EndLine();
}
