// glTF documents built in memory as GLB bytes: one buffer, one buffer view
// and one accessor per data block (accessor i = view i = data[i]), added to
// the document members the caller writes.
#pragma once
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

template <class T>
std::string Bytes(std::initializer_list<T> values) {
  std::string out(values.size() * sizeof(T), '\0');
  std::memcpy(&out[0], values.begin(), out.size());
  return out;
}

// One accessor over its own buffer view.
struct GlbData {
  std::string bytes;
  int componentType;  // 5123 unsigned short, 5126 float, ...
  const char* type;   // "SCALAR", "VEC3", ...
  int count;
  std::string extra;  // more accessor members, e.g. "\"min\":[0,0,0],\"max\":[1,1,1]"
};

// `body`: the document's other members ("scenes", "nodes", ...), without
// braces. `version` is asset.version.
std::string Glb(const std::string& body, const std::vector<GlbData>& data, const std::string& version = "2.0");
