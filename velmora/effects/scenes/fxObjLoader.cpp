// The OBJ effect. See fxObjLoader.h.
#include "effects/scenes/fxObjLoader.h"

ClassDesc* fxObjLoader::GetClassDesc() {
  static ClassDesc desc("fxObjLoader", fxBase::GetClassDesc(), &fxObjLoader::Create);
  return &desc;
}

fxBase* fxObjLoader::Create(ClassDesc* desc) { return CreateZeroFilled<fxObjLoader>(desc); }

ClassDesc* fxObjLoader::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrFile, "OBJ", RV_OFFSETOF(fxObjLoader, m_path))->SetFileFilter(".obj")->SetDefaultDir("Data");
  desc->AddAttribute(AttrFloat, "Thickness", RV_OFFSETOF(fxObjLoader, m_thickness))->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrRGB, "Color", RV_OFFSETOF(fxObjLoader, m_color));
  return desc;
}

fxObjLoader::fxObjLoader(ClassDesc* desc)
    : fxBase(desc), m_path("meshes/3dRideScene.obj"), m_thickness(1.0f), m_color(1.0f, 1.0f, 1.0f) {}

fxObjLoader::~fxObjLoader() { m_program.Release(); }

void fxObjLoader::Init() {
  m_model.Load(m_path, m_color, m_thickness);
  // Every attribute location stays -1 and nothing is uploaded: the path is
  // loaded for the ride to come and read by nothing yet.
  m_camera.Load(kCameraPath);
}

// The triangles are drawn when the vector display is flushed; the bind and
// unbind leave the depth test off and no program bound.
void fxObjLoader::Update() {
  m_program.Bind();
  m_model.DrawToVectorDisplay();
  m_program.Unbind();
}
