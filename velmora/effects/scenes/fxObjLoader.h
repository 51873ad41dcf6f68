// fxObjLoader: one OBJ model (with its MTL materials) handed every frame to
// the current vector display as glowing polygon outlines, in the colour and
// thickness the effect had when it loaded. It also loads the ride's camera
// path (a glTF file) that nothing reads yet.
//
// Depends on the OBJ and glTF records and the wire-frame program. Owns its
// models and program; loads in Init. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <string>

#include "sequence/fxBase.h"
#include "effects/scenes/rvGltfModel.h"
#include "effects/scenes/rvObjModel.h"
#include "effects/shaders/shBasicShader.h"

class fxObjLoader : public fxBase {
 public:
  static constexpr const char* kCameraPath = "meshes/3dRideCamera.gltf";

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxObjLoader(ClassDesc* desc);
  ~fxObjLoader() override;

  void Init() override;
  void Update() override;

  std::string m_path;  // attribute OBJ
  rvObjModel m_model;
  shBasicShader3d m_program;
  rvGltfModel m_camera;
  float m_thickness;
  glm::vec3 m_color;
};
