// JSON text written in tests, parsed the way the engine's readers parse it
// (comments dropped); a syntax error fails the test that wrote it.
#pragma once
#include <json/json.h>

#include <string>

Json::Value ParseJson(const std::string& text);
