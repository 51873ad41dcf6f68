// libFuzzer target for the OBJ and MTL readers: the input is an OBJ file,
// optionally followed by "@@MTL@@" and the text every material library it
// names reads. Besides loading, the meshes are handed to a vector display's
// geometry as the effect does every frame.
// Built by tools/fuzz_obj.sh, not by CMake.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/AppLog.h"
#include "effects/scenes/ModelFile.h"
#include "effects/scenes/rvObjModel.h"

namespace {
std::vector<unsigned char> g_obj;
std::vector<unsigned char> g_mtl;
constexpr char kSeparator[] = "@@MTL@@";
}

// The data pack of this harness: ".mtl" names read the library part, every
// other name the OBJ part.
bool ReadModelFile(const std::string& path, std::vector<unsigned char>& bytes, const char*) {
  const bool mtl = path.size() >= 4 && path.compare(path.size() - 4, 4, ".mtl") == 0;
  bytes = mtl ? g_mtl : g_obj;
  return !bytes.empty();
}

// This harness has no vector display: the draw goes to a geometry of its own.
VectorGeometry* CurrentVectorGeometry() { return nullptr; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The log keeps every line for the whole run; across millions of inputs
  // that alone would exhaust the memory limit.
  AppLog::Get().Clear();
  const char* text = reinterpret_cast<const char*>(data);
  const char* split = static_cast<const char*>(memmem(text, size, kSeparator, sizeof kSeparator - 1));
  const size_t objSize = split ? static_cast<size_t>(split - text) : size;
  g_obj.assign(data, data + objSize);
  g_mtl.clear();
  if (split) g_mtl.assign(data + objSize + sizeof kSeparator - 1, data + size);

  rvObjModel model;
  model.Load("fuzz/scene.obj", glm::vec3(1.0f), 1.0f);
  VectorGeometry geometry;
  model.DrawToVectorDisplay(geometry);
  volatile float sink = 0.0f;
  for (int i = 0; i < geometry.m_triangles.count; ++i) sink = sink + geometry.m_triangles.data()[i].v[2].position.x;
  for (const rvObjMesh& mesh : model.m_meshes) sink = sink + mesh.material.Kd.x;
  return 0;
}
