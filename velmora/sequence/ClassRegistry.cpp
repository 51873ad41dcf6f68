// The effect class registry and the creation of effects from sequence items.
// See ClassRegistry.h.
#include "sequence/ClassRegistry.h"


#include "core/ClassDesc.h"
#include "effects/fxAmbientParticles.h"
#include "effects/fxBase.h"
#include "effects/fxBasicScene.h"
#include "effects/fxBasicShader.h"
#include "effects/fxBuffer.h"
#include "effects/fxCamera.h"
#include "effects/fxDemoGlobalParams.h"
#include "effects/fxGLTFLoader.h"
#include "effects/fxImage.h"
#include "effects/fxMorph.h"
#include "effects/fxMusic.h"
#include "effects/fxObjLoader.h"
#include "effects/fxParticleEmitter.h"
#include "effects/fxPostColorBasic.h"
#include "effects/fxPostColorGradingAA.h"
#include "effects/fxPostDistortion.h"
#include "effects/fxPostVHS.h"
#include "effects/fxReference.h"
#include "effects/fxSVG.h"
#include "effects/fxSequence.h"
#include "effects/fxShader.h"
#include "effects/fxText.h"
#include "effects/fxTextStash.h"
#include "effects/fxVectorDisplay.h"

ClassRegistry& GetClassRegistry() {
  static ClassRegistry registry = [] {
    ClassRegistry built;
    BuildClassRegistry(built);
    return built;
  }();
  return registry;
}

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

void RegisterClassDesc(ClassRegistry& registry, ClassDesc* desc) {
  desc->m_registryIndex = static_cast<int>(registry.size());
  registry.push_back(desc);
}

fxBase* CreateFxFromJson(const ClassRegistry& registry, const Json::Value& item, rvSequence* owner) {
  if (!item.isObject()) return nullptr;
  const Json::Value& className = item["Class"];
  if (!className.isString()) return nullptr;
  const std::string name = className.asString();

  ClassDesc* desc = nullptr;
  for (ClassDesc* candidate : registry) {
    if (candidate->m_name == name) {
      desc = candidate;
      break;
    }
  }
  if (!desc || !desc->m_create) return nullptr;
  fxBase* fx = desc->m_create(desc);
  if (!fx) return nullptr;

  // Loading hooks may reach the sequence through the owner; the sequence sets
  // it for good when it appends the effect.
  const Json::Value& properties = item["Properties"];
  fx->m_owner = owner;
  fx->LoadAttributes(properties);
  fx->LoadAttributes(item["PropertiesDynamic"]);
  fx->LoadDrivers(properties);
  fx->m_owner = nullptr;
  return fx;
}
