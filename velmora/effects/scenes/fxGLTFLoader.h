// fxGLTFLoader: one glTF model (GLB or .gltf from the data pack) drawn as
// glowing wire-frame triangles with shBasicShader3d through the current
// target's camera, in the model's own coordinates and in the pose of 1.0 s
// of its first animation.
//
// Depends on the glTF records (rvGltfModel.h) and the wire-frame program.
// Owns its model (loaded in Init) and program. Main thread only.
#pragma once
#include <string>

#include "sequence/fxBase.h"
#include "effects/scenes/rvGltfModel.h"
#include "effects/shaders/shBasicShader.h"

class fxGLTFLoader : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxGLTFLoader(ClassDesc* desc);
  ~fxGLTFLoader() override;

  void Init() override;
  void Update() override;

  std::string m_path;  // attribute GLTF
  rvGltfModel m_model;
  shBasicShader3d m_program;
};
