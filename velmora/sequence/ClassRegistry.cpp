// The effect class registry and the creation of effects from sequence items.
// See ClassRegistry.h.
#include "sequence/ClassRegistry.h"

#include "core/AppLog.h"
#include "core/ClassDesc.h"
#include "sequence/fxBase.h"

namespace {

ClassRegistryBuilder s_builder = nullptr;

}  // namespace

void SetClassRegistryBuilder(ClassRegistryBuilder builder) { s_builder = builder; }

ClassRegistry& GetClassRegistry() {
  static ClassRegistry registry = [] {
    ClassRegistry built;
    if (s_builder) {
      s_builder(built);
    } else {
      AppLog::Get().AddLog("[Registry] no engine classes connected\n");
    }
    return built;
  }();
  return registry;
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
