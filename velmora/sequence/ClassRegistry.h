// The effect class registry: the process-wide, ordered list of every effect
// class the player knows, built once at start-up from the engine classes in
// a fixed order (the effects layer's BuildClassRegistry); the production's
// hook appends its own classes behind them.
// A class's position is its registry index. CreateFxFromJson turns one item
// of a sequence file into a new effect with its properties and drivers.
// Depends on the class descriptions (core) and the effect base; owns only
// the list (the class descriptions live for the whole run).
#pragma once
#include <json/json.h>

#include <vector>

class ClassDesc;
class fxBase;
class rvSequence;

using ClassRegistry = std::vector<ClassDesc*>;

// The engine's effect classes live in the layer above: it hands over the
// function that lists them at start-up, before the first GetClassRegistry.
using ClassRegistryBuilder = void (*)(ClassRegistry& registry);
void SetClassRegistryBuilder(ClassRegistryBuilder builder);
// Built by the connected builder on the first call (empty, and logged,
// when none was connected).
ClassRegistry& GetClassRegistry();
// Stores the list size as the description's registry index, then appends it.
void RegisterClassDesc(ClassRegistry& registry, ClassDesc* desc);

// A new effect (state 0) for a sequence item, or null when its "Class" names
// no registered class.
fxBase* CreateFxFromJson(const ClassRegistry& registry, const Json::Value& item, rvSequence* owner);
