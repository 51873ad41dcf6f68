// The production's registration hook: appends the production's own effect
// classes to the effect class registry, behind the engine's, in their fixed
// order. The shell's Init calls it as its last step.
// Depends on the registry and the production's effect classes.
#pragma once
#include "sequence/ClassRegistry.h"

// Registers each class's attributes and appends its description; a second
// call finds the classes registered and leaves the registry as it is.
void RegisterProductionClasses(ClassRegistry& registry);
