// The engine's effects as the layers below them see them.
//
// The class registry, the render layer's texture slots and program clocks
// know effects only through registration points of their own; this module
// fills them: the builder of the registry (the engine classes in their fixed
// registry order) and the render layer's EffectLink (the clocks of the
// effect being drawn, render-target effects found by name). The shell calls
// ConnectEngineEffects once at start-up, before the registry is first used.
#pragma once
#include "sequence/ClassRegistry.h"

// Appends the engine classes in their fixed registry order.
void BuildClassRegistry(ClassRegistry& registry);

// Fills the registration points of the layers below; calling it again
// changes nothing.
void ConnectEngineEffects();
