// The glTF effect. See fxGLTFLoader.h.
#include "effects/scenes/fxGLTFLoader.h"

ClassDesc* fxGLTFLoader::GetClassDesc() {
  static ClassDesc desc("fxGLTFLoader", fxBase::GetClassDesc(), &fxGLTFLoader::Create);
  return &desc;
}

fxBase* fxGLTFLoader::Create(ClassDesc* desc) { return CreateZeroFilled<fxGLTFLoader>(desc); }

ClassDesc* fxGLTFLoader::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrFile, "GLTF", RV_OFFSETOF(fxGLTFLoader, m_path))->SetFileFilter(".glb")->SetDefaultDir("Data");
  return desc;
}

fxGLTFLoader::fxGLTFLoader(ClassDesc* desc) : fxBase(desc), m_path("meshes/RunningMan.glb") {}

fxGLTFLoader::~fxGLTFLoader() {
  m_program.Release();
  m_model.ReleaseGpu();
}

void fxGLTFLoader::Init() {
  // The wire-frame program reads positions only.
  m_model.m_positionLocation = 0;
  if (m_model.Load(m_path)) m_model.Upload();
}

void fxGLTFLoader::Update() {
  m_program.Bind();
  if (m_program.m_program != 0) m_model.Draw();
  m_program.Unbind();
}
