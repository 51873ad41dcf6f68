// The engine's effects as the layers below them see them: see
// EngineClasses.h.
#include "effects/EngineClasses.h"

#include "core/ClassDesc.h"
#include "effects/buffers/fxBuffer.h"
#include "effects/images/fxAmbientParticles.h"
#include "effects/images/fxImage.h"
#include "effects/images/fxParticleEmitter.h"
#include "effects/music/fxMusic.h"
#include "effects/post/fxPostColorBasic.h"
#include "effects/post/fxPostColorGradingAA.h"
#include "effects/post/fxPostDistortion.h"
#include "effects/post/fxPostVHS.h"
#include "effects/scenes/fxBasicScene.h"
#include "effects/scenes/fxCamera.h"
#include "effects/scenes/fxGLTFLoader.h"
#include "effects/scenes/fxObjLoader.h"
#include "effects/sequencing/fxDemoGlobalParams.h"
#include "effects/sequencing/fxReference.h"
#include "effects/sequencing/fxSequence.h"
#include "effects/shaders/fxBasicShader.h"
#include "effects/shaders/fxShader.h"
#include "effects/vector/fxMorph.h"
#include "effects/vector/fxSVG.h"
#include "effects/vector/fxText.h"
#include "effects/vector/fxTextStash.h"
#include "effects/vector/fxVectorDisplay.h"
#include "render/EffectLink.h"
#include "sequence/fxBase.h"

namespace {

// fxCameraReference registers no attribute of its own: the registry gives
// it the name of the camera it follows. Built once, whatever the number of
// registries built.
ClassDesc* CameraReferenceWithCameraName() {
  ClassDesc* desc = fxCameraReference::GetClassDesc();
  if (FindAttributeInList(desc->m_attributes, "FxCamera") == nullptr)
    desc->AddAttribute(AttrString, "FxCamera", fxCameraReference::CameraNameOffset());
  return desc;
}

}  // namespace

// The engine classes in their fixed registry order.
void BuildClassRegistry(ClassRegistry& registry) {
  RegisterClassDesc(registry, fxBase::RegisterAttributes());
  RegisterClassDesc(registry, fxSequence::RegisterAttributes());
  RegisterClassDesc(registry, fxDemoGlobalParams::RegisterAttributes());
  RegisterClassDesc(registry, fxMusic::RegisterAttributes());
  RegisterClassDesc(registry, fxMusicReference::RegisterAttributes());
  RegisterClassDesc(registry, fxReference::RegisterAttributes());
  RegisterClassDesc(registry, fxBasicShader2d::GetClassDesc());
  RegisterClassDesc(registry, fxBasicShader3d::GetClassDesc());
  RegisterClassDesc(registry, fxBufferDisplay::RegisterAttributes());
  RegisterClassDesc(registry, fxBufferDefault::RegisterAttributes());
  RegisterClassDesc(registry, fxBufferStencil::RegisterAttributes());
  RegisterClassDesc(registry, fxBasicScene::RegisterAttributes());
  RegisterClassDesc(registry, fxCamera::RegisterAttributes());
  RegisterClassDesc(registry, CameraReferenceWithCameraName());
  RegisterClassDesc(registry, fxImage::RegisterAttributes());
  RegisterClassDesc(registry, fxShaderBase::RegisterAttributes());
  RegisterClassDesc(registry, fxShader::GetClassDesc());
  RegisterClassDesc(registry, fxAmbientParticles::RegisterAttributes());
  RegisterClassDesc(registry, fxVectorDisplay::RegisterAttributes());
  RegisterClassDesc(registry, fxMorph::RegisterAttributes());
  RegisterClassDesc(registry, fxText::RegisterAttributes());
  RegisterClassDesc(registry, fxTextStash::RegisterAttributes());
  RegisterClassDesc(registry, fxSVG::RegisterAttributes());
  RegisterClassDesc(registry, fxPostDistortion::RegisterAttributes());
  RegisterClassDesc(registry, fxPostVHS::RegisterAttributes());
  RegisterClassDesc(registry, fxParticleEmitter::RegisterAttributes());
  RegisterClassDesc(registry, fxObjLoader::RegisterAttributes());
  RegisterClassDesc(registry, fxGLTFLoader::RegisterAttributes());
  RegisterClassDesc(registry, fxPostColorGradingAA::RegisterAttributes());
  RegisterClassDesc(registry, fxPostColorBasic::RegisterAttributes());
}


void ConnectEngineEffects() {
  SetClassRegistryBuilder(&BuildClassRegistry);
  EffectLink& link = GetEffectLink();
  link.currentTime = &CurrentEffectTime;
  link.currentFade = &CurrentEffectFade;
  link.findBuffer = &FindBufferEffect;
  link.bufferOf = &BufferEffectTarget;
}
