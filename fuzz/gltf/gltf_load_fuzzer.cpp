// libFuzzer target for the glTF reader: any bytes are a .glb or .gltf file
// (the input is also what an external buffer reads). Besides the import it
// poses the node tree at several animation times and recomputes every
// matrix, the way the effect and the loader use the records.
// The GPU upload is left out: it only sends the bytes the import checked.
// Built by tools/fuzz_gltf.sh, not by CMake.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/AppLog.h"
#include "effects/scenes/ModelFile.h"
#include "effects/scenes/rvGltfModel.h"

namespace {
std::vector<unsigned char> g_input;
}

// The data pack of this harness: every name reads the input.
bool ReadModelFile(const std::string&, std::vector<unsigned char>& bytes, const char*) {
  bytes = g_input;
  return !bytes.empty();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The log keeps every line for the whole run; across millions of inputs
  // that alone would exhaust the memory limit.
  AppLog::Get().Clear();
  g_input.assign(data, data + size);
  rvGltfModel model;
  if (!model.LoadFromMemory(g_input, "fuzz/model.glb")) return 0;
  for (float t : {-1.0f, 0.0f, 0.5f, 1.0f, 2.5f, 1e30f}) model.SampleAnimation(t);
  model.UpdateMatrices();
  volatile float sink = 0.0f;
  for (const rvGltfNode* node : model.m_nodes)
    if (node->mesh) sink = sink + node->mesh->model[3][0] + static_cast<float>(node->mesh->jointCount);
  for (const rvGltfMesh* mesh : model.m_meshes)
    for (const rvGltfPrimitive* p : mesh->primitives) sink = sink + static_cast<float>(p->indexCount);
  return 0;
}
