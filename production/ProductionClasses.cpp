// The production's registration hook. See ProductionClasses.h.
#include "production/ProductionClasses.h"

#include "core/ClassDesc.h"
#include "production/fxObjPacman.h"
#include "production/fxPinvaleScreens.h"
#include "production/fxVectorDeformWave.h"

void RegisterProductionClasses(ClassRegistry& registry) {
  // Attribute registration appends to the shared descriptions: it must run
  // once per process.
  if (fxPinvaleScreens::GetClassDesc()->m_registryIndex >= 0) return;
  RegisterClassDesc(registry, fxPinvaleScreens::RegisterAttributes());
  RegisterClassDesc(registry, fxObjPacman::RegisterAttributes());
  RegisterClassDesc(registry, fxVectorDeformWave::RegisterAttributes());
}
