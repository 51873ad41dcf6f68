// glTF models. See rvGltfModel.h.
//
// [SECTION] Parsing through tinygltf
// [SECTION] Checked accessor reads
// [SECTION] Nodes and meshes
// [SECTION] Animations and skins
// [SECTION] Matrices and sampling
// [SECTION] GPU upload and drawing
#include "effects/scenes/rvGltfModel.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <utility>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "core/AppLog.h"
#include "core/JsonDepth.h"
#include "effects/scenes/ModelFile.h"

namespace {

constexpr const char* kLog = "rvGltfModel";
// Deeper node chains are cut: the import recurses once per level.
constexpr int kMaxNodeDepth = 256;

std::string CutName(const std::string& name) { return name.substr(0, rvGltfModel::kMaxNameLength); }

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Parsing through tinygltf
//-----------------------------------------------------------------------------

namespace {

// Images are accepted and left undecoded: the wire-frame program samples
// none.
bool IgnoreImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int,
                 void*) {
  return true;
}

// File callbacks: external buffers come from the data pack, never from disk.
bool AnswerExists(const std::string&, void*) { return true; }
std::string KeepPath(const std::string& path, void*) { return path; }
bool ReadFromPack(std::vector<unsigned char>* out, std::string* err, const std::string& path, void*) {
  if (ReadModelFile(path, *out, kLog)) return true;
  if (err) *err += "missing file " + path + "\n";
  return false;
}
bool RefuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
  if (err) *err += "writing is not supported\n";
  return false;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The JSON text of a .gltf file, or the JSON chunk of a .glb file (its
// first chunk, cut to the bytes there are).
std::pair<const char*, size_t> JsonPart(const std::vector<unsigned char>& bytes, bool binary) {
  const char* text = reinterpret_cast<const char*>(bytes.data());
  if (!binary) return {text, bytes.size()};
  constexpr size_t kChunkStart = 20;  // file header 12 bytes, chunk length and type 8
  if (bytes.size() < kChunkStart) return {text, 0};
  uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 12, sizeof(length));
  return {text + kChunkStart, std::min<size_t>(length, bytes.size() - kChunkStart)};
}

// The major number of asset.version ("2.0" gives 2); 0 when it has none.
int MajorVersion(const std::string& version) {
  int major = 0;
  for (size_t i = 0; i < version.size() && i < 4 && version[i] >= '0' && version[i] <= '9'; ++i)
    major = major * 10 + (version[i] - '0');
  return major;
}

bool Parse(const std::vector<unsigned char>& bytes, const std::string& path, tinygltf::Model& document,
           std::string& error) {
  const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
  // The JSON library recurses once per level: a small file nesting deeply
  // would exhaust the stack before any check after the parse.
  const auto [json, jsonSize] = JsonPart(bytes, binary);
  if (!JsonNestingWithin(json, jsonSize)) {
    error = "JSON nested deeper than " + std::to_string(kJsonNestingLimit) + " levels";
    return false;
  }
  tinygltf::TinyGLTF parser;
  parser.SetImageLoader(&IgnoreImage, nullptr);
  parser.SetFsCallbacks(tinygltf::FsCallbacks{&AnswerExists, &KeepPath, &ReadFromPack, &RefuseWrite, nullptr});
  std::string warning;
  const unsigned int size = static_cast<unsigned int>(std::min<size_t>(bytes.size(), 0x7FFFFFFF));
  bool parsed = false;
  // The library throws on memory exhaustion and on some JSON it meets; no
  // exception leaves this module.
  try {
    parsed = binary ? parser.LoadBinaryFromMemory(&document, &error, &warning, bytes.data(), size, DirectoryOf(path))
                    : parser.LoadASCIIFromString(&document, &error, &warning,
                                                 reinterpret_cast<const char*>(bytes.data()), size, DirectoryOf(path));
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  } catch (const std::exception& e) {
    error = e.what();
  }
  // A glTF 1.0 document lays out its members differently: the parser reads
  // next to nothing of it, which would pass for an empty model.
  const int major = MajorVersion(document.asset.version);
  if (parsed && major > 0 && major < 2) {
    error = "glTF " + document.asset.version + " is not supported (2.0 only)";
    return false;
  }
  return parsed;
}

}  // namespace

rvGltfModel::rvGltfModel() = default;

rvGltfModel::~rvGltfModel() {
  ReleaseGpu();
  Clear();
}

void rvGltfModel::Clear() {
  for (rvGltfMesh* mesh : m_meshes) {
    for (rvGltfPrimitive* p : mesh->primitives) delete p;
    delete mesh;
  }
  for (rvGltfNode* node : m_nodes) delete node;
  m_meshes.clear();
  m_nodes.clear();
  m_roots.clear();
  m_skins.clear();
  m_animations.clear();
  m_nodeByIndex.clear();
  m_meshByIndex.clear();
  m_loaded = false;
}

bool rvGltfModel::Load(const std::string& path) {
  ReleaseGpu();
  Clear();
  m_path = path;
  std::vector<unsigned char> bytes;
  if (!ReadModelFile(path, bytes, kLog)) return false;
  return LoadFromMemory(bytes, path);
}

bool rvGltfModel::LoadFromMemory(const std::vector<unsigned char>& bytes, const std::string& path) {
  ReleaseGpu();
  Clear();
  m_path = path;
  tinygltf::Model document;
  std::string error;
  if (!Parse(bytes, path, document, error)) {
    AppLog::Get().AddLog("[%s] cannot load %s: %s\n", kLog, path.c_str(), error.c_str());
    return false;
  }
  m_loaded = true;
  m_nodeByIndex.assign(document.nodes.size(), nullptr);
  m_meshByIndex.assign(document.meshes.size(), nullptr);
  Import(document);
  // The document is dropped here: every record owns copies of what it needs.
  SampleAnimation(1.0f);
  for (rvGltfNode* node : m_nodes)
    if (node->skinIndex >= 0 && node->skinIndex < static_cast<int>(m_skins.size()))
      node->skin = &m_skins[static_cast<size_t>(node->skinIndex)];
  UpdateMatrices();
  return true;
}

void rvGltfModel::Import(const tinygltf::Model& document) {
  const auto& scenes = document.scenes;
  if (!scenes.empty()) {
    const int sceneIndex =
        document.defaultScene >= 0 && document.defaultScene < static_cast<int>(scenes.size()) ? document.defaultScene : 0;
    for (int root : scenes[static_cast<size_t>(sceneIndex)].nodes) ImportNode(document, root, nullptr, 0);
  }
  if (!document.animations.empty()) ImportAnimations(document);
  ImportSkins(document);
}

//-----------------------------------------------------------------------------
// [SECTION] Checked accessor reads
//-----------------------------------------------------------------------------

namespace {

bool IsGlComponentType(int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return true;
    default: return false;
  }
}

bool IsIndexType(int type) {
  return type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE || type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
         type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
}

uint32_t IndexAt(const uint8_t* p, int componentType, size_t i) {
  switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return p[i];
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      uint16_t v;
      std::memcpy(&v, p + i * 2, 2);
      return v;
    }
    default: {
      uint32_t v;
      std::memcpy(&v, p + i * 4, 4);
      return v;
    }
  }
}

// An accessor's bytes, checked: the accessor must have a buffer view, the
// view must lie inside its buffer, and offset + (count - 1) x stride +
// element size inside the view. The element size comes from the type and
// component type; the stride from the view (0: the element size). A sparse
// accessor is read into a packed copy with its values put in place.
struct AccessorView {
  const unsigned char* data = nullptr;
  size_t count = 0;
  size_t elementSize = 0;
  size_t stride = 0;
  int components = 0;
  int componentType = 0;
  std::vector<unsigned char> sparseCopy;  // what data points into, for a sparse accessor

  size_t ByteLength() const { return count == 0 ? 0 : (count - 1) * stride + elementSize; }
};

// `count` elements of `elementSize` bytes, `stride` apart, from
// `byteOffset` into buffer view `viewIndex`: null (why set) unless the view
// lies inside its buffer and every element inside the view. Every sum is
// checked against its limit before it is formed, and no pointer is formed
// before the check, so no overflow can make a range look small.
const unsigned char* ViewRange(const tinygltf::Model& document, int viewIndex, size_t byteOffset, size_t count,
                               size_t elementSize, size_t stride, std::string& why) {
  if (viewIndex < 0 || viewIndex >= static_cast<int>(document.bufferViews.size())) {
    why = "accessor without a buffer view";
    return nullptr;
  }
  const tinygltf::BufferView& view = document.bufferViews[static_cast<size_t>(viewIndex)];
  if (view.buffer < 0 || view.buffer >= static_cast<int>(document.buffers.size())) {
    why = "buffer view without a buffer";
    return nullptr;
  }
  const std::vector<unsigned char>& buffer = document.buffers[static_cast<size_t>(view.buffer)].data;
  if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset) {
    why = "buffer view past the end of its buffer";
    return nullptr;
  }
  if (byteOffset > view.byteLength ||
      (count > 0 && ((count - 1) > (view.byteLength - byteOffset) / stride ||
                     elementSize > view.byteLength - byteOffset - (count - 1) * stride))) {
    why = "accessor past the end of its buffer view";
    return nullptr;
  }
  return buffer.data() + view.byteOffset + byteOffset;
}

// Puts a sparse accessor's values over a packed copy of its dense part. The
// index and value ranges are checked like any accessor's, each index
// against the accessor's count.
bool ApplySparse(const tinygltf::Model& document, const tinygltf::Accessor& a, AccessorView& out, std::string& why) {
  const auto& sparse = a.sparse;
  const int indexType = sparse.indices.componentType;
  if (sparse.count < 0 || static_cast<size_t>(sparse.count) > a.count || !IsIndexType(indexType) ||
      sparse.indices.byteOffset < 0 || sparse.values.byteOffset < 0) {
    why = "sparse values that do not fit the accessor";
    return false;
  }
  const size_t n = static_cast<size_t>(sparse.count);
  const size_t indexSize = static_cast<size_t>(tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(indexType)));
  const unsigned char* indices = ViewRange(document, sparse.indices.bufferView,
                                           static_cast<size_t>(sparse.indices.byteOffset), n, indexSize, indexSize, why);
  const unsigned char* values =
      indices ? ViewRange(document, sparse.values.bufferView, static_cast<size_t>(sparse.values.byteOffset), n,
                          out.elementSize, out.elementSize, why)
              : nullptr;
  if (!values) return false;
  std::vector<unsigned char> packed(out.count * out.elementSize);
  for (size_t i = 0; i < out.count; ++i)
    std::memcpy(&packed[i * out.elementSize], out.data + i * out.stride, out.elementSize);
  for (size_t k = 0; k < n; ++k) {
    const uint32_t target = IndexAt(indices, indexType, k);
    if (target >= out.count) {
      why = "sparse index past the accessor's count";
      return false;
    }
    std::memcpy(&packed[target * out.elementSize], values + k * out.elementSize, out.elementSize);
  }
  out.sparseCopy = std::move(packed);
  out.data = out.sparseCopy.data();
  out.stride = out.elementSize;
  return true;
}

bool ViewAccessor(const tinygltf::Model& document, int index, AccessorView& out, std::string& why) {
  if (index < 0 || index >= static_cast<int>(document.accessors.size())) {
    why = "accessor index out of range";
    return false;
  }
  const tinygltf::Accessor& a = document.accessors[static_cast<size_t>(index)];
  const int componentSize = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType));
  const int components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(a.type));
  if (componentSize <= 0 || components <= 0) {
    why = "accessor of unknown type";
    return false;
  }
  out.elementSize = static_cast<size_t>(componentSize) * static_cast<size_t>(components);
  out.count = a.count;
  out.components = components;
  out.componentType = a.componentType;
  // A sparse accessor without a dense part (all zeros but the sparse
  // values) could ask for any size; only a dense part that is there is
  // read.
  const size_t viewStride = a.bufferView >= 0 && a.bufferView < static_cast<int>(document.bufferViews.size())
                                ? document.bufferViews[static_cast<size_t>(a.bufferView)].byteStride
                                : 0;
  out.stride = viewStride == 0 ? out.elementSize : viewStride;
  if (viewStride != 0 && (viewStride < out.elementSize || viewStride % static_cast<size_t>(componentSize) != 0)) {
    why = "buffer view stride does not fit the accessor";
    return false;
  }
  out.data = ViewRange(document, a.bufferView, a.byteOffset, a.count, out.elementSize, out.stride, why);
  if (!out.data) return false;
  return !a.sparse.isSparse || ApplySparse(document, a, out, why);
}

// A float accessor of the given component count, or why not.
bool ViewFloats(const tinygltf::Model& document, int index, int components, AccessorView& out, std::string& why) {
  if (!ViewAccessor(document, index, out, why)) return false;
  if (out.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT || out.components != components) {
    why = "accessor of another type than expected";
    return false;
  }
  return true;
}

// Element i's floats (the view is float data).
void ReadFloats(const AccessorView& v, size_t i, float* out, int n) {
  std::memcpy(out, v.data + i * v.stride, sizeof(float) * static_cast<size_t>(n));
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Nodes and meshes
//-----------------------------------------------------------------------------

namespace {

struct AttributeKind {
  const char* prefix;
  int components;
  rvGltfAttributeData rvGltfPrimitive::*slot;
  int rvGltfModel::*location;
};

// TANGENT, COLOR_n and other kinds are ignored; several sets of one kind
// share one slot, the last one remains.
const AttributeKind kAttributeKinds[] = {
    {"POSITION", 3, &rvGltfPrimitive::position, &rvGltfModel::m_positionLocation},
    {"NORMAL", 3, &rvGltfPrimitive::normal, &rvGltfModel::m_normalLocation},
    {"TEXCOORD_", 2, &rvGltfPrimitive::texcoord, &rvGltfModel::m_texcoordLocation},
    {"JOINTS_", 4, &rvGltfPrimitive::joints, &rvGltfModel::m_jointsLocation},
    {"WEIGHTS_", 4, &rvGltfPrimitive::weights, &rvGltfModel::m_weightsLocation}};

const AttributeKind* FindKind(const std::string& name) {
  for (const AttributeKind& k : kAttributeKinds) {
    const size_t n = std::strlen(k.prefix);
    if (k.prefix[n - 1] == '_' ? name.compare(0, n, k.prefix) == 0 : name == k.prefix) return &k;
  }
  return nullptr;
}

bool ReadAttribute(const tinygltf::Model& document, int accessor, int components, rvGltfAttributeData& out,
                   std::string& why) {
  AccessorView v;
  if (!ViewAccessor(document, accessor, v, why)) return false;
  if (v.components != components || !IsGlComponentType(v.componentType)) {
    why = "vertex attribute of an unsupported type";
    return false;
  }
  out.bytes.assign(v.data, v.data + v.ByteLength());
  out.componentType = static_cast<GLenum>(v.componentType);
  out.components = components;
  out.stride = static_cast<int>(v.stride);
  out.present = true;
  return true;
}

bool ReadIndices(const tinygltf::Model& document, const tinygltf::Primitive& gp, rvGltfPrimitive& p, std::string& why) {
  if (gp.indices < 0) {
    why = "no indices";
    return false;
  }
  AccessorView v;
  if (!ViewAccessor(document, gp.indices, v, why)) return false;
  if (v.components != 1 || !IsIndexType(v.componentType) || v.stride != v.elementSize || v.count > 0x7FFFFFFF) {
    why = "indices of an unsupported type";
    return false;
  }
  // An index past the last vertex would make the draw read outside the
  // vertex buffers.
  for (size_t i = 0; i < v.count; ++i) {
    if (IndexAt(v.data, v.componentType, i) >= static_cast<uint32_t>(p.vertexCount)) {
      why = "index past the last vertex";
      return false;
    }
  }
  p.indices.assign(v.data, v.data + v.ByteLength());
  p.indexCount = static_cast<int>(v.count);
  p.indexComponentType = static_cast<GLenum>(v.componentType);
  return true;
}

// One primitive's records, or why it is skipped. Positions are always read
// (they give the vertex count the indices are checked against); another
// kind only when the model uploads it, so an attribute nothing draws with
// cannot cost the primitive.
bool ImportPrimitive(const tinygltf::Model& document, const tinygltf::Primitive& gp, const rvGltfModel& model,
                     rvGltfPrimitive& p, std::string& why) {
  if (gp.mode != TINYGLTF_MODE_TRIANGLES) {
    why = "not a triangle list";
    return false;
  }
  for (const auto& [name, accessor] : gp.attributes) {
    const AttributeKind* kind = FindKind(name);
    if (!kind || (kind->slot != &rvGltfPrimitive::position && model.*(kind->location) < 0)) continue;
    if (!ReadAttribute(document, accessor, kind->components, p.*(kind->slot), why)) return false;
    if (kind->slot != &rvGltfPrimitive::position) continue;
    const tinygltf::Accessor& a = document.accessors[static_cast<size_t>(accessor)];
    if (a.count > 0x7FFFFFFF) {
      why = "too many vertices";
      return false;
    }
    p.vertexCount = static_cast<int>(a.count);
    p.positionComponentType = p.position.componentType;
    p.positionStride = p.position.stride;
    if (a.minValues.size() >= 3 && a.maxValues.size() >= 3) {
      p.boundsMin = glm::vec3(a.minValues[0], a.minValues[1], a.minValues[2]);
      p.boundsMax = glm::vec3(a.maxValues[0], a.maxValues[1], a.maxValues[2]);
    }
    p.centre = (p.boundsMin + p.boundsMax) * 0.5f;
  }
  if (!p.position.present) {
    why = "no positions";
    return false;
  }
  return ReadIndices(document, gp, p, why);
}

void ReadNodeTransform(const tinygltf::Node& g, rvGltfNode& node) {
  if (g.matrix.size() == 16) {
    for (int i = 0; i < 16; ++i) glm::value_ptr(node.local)[i] = static_cast<float>(g.matrix[static_cast<size_t>(i)]);
    node.hasMatrix = true;
    return;
  }
  if (g.translation.size() == 3) node.translation = glm::vec3(g.translation[0], g.translation[1], g.translation[2]);
  if (g.rotation.size() == 4)
    node.rotation = glm::quat(static_cast<float>(g.rotation[3]), static_cast<float>(g.rotation[0]),
                              static_cast<float>(g.rotation[1]), static_cast<float>(g.rotation[2]));
  if (g.scale.size() == 3) node.scale = glm::vec3(g.scale[0], g.scale[1], g.scale[2]);
  node.UpdateLocalMatrix();
}

}  // namespace

rvGltfMesh::rvGltfMesh() {
  for (glm::mat4& m : jointMatrices) m = glm::mat4(1.0f);
}

rvGltfMesh* rvGltfModel::ImportMesh(const tinygltf::Model& document, int meshIndex) {
  // Nodes naming the same mesh share one import: its vertex data is read and
  // uploaded once, whatever the number of nodes.
  rvGltfMesh*& shared = m_meshByIndex[static_cast<size_t>(meshIndex)];
  if (shared) return shared;
  auto* mesh = new rvGltfMesh();
  shared = mesh;
  const tinygltf::Mesh& gmesh = document.meshes[static_cast<size_t>(meshIndex)];
  for (size_t i = 0; i < gmesh.primitives.size(); ++i) {
    auto* p = new rvGltfPrimitive();
    std::string why;
    if (!ImportPrimitive(document, gmesh.primitives[i], *this, *p, why)) {
      AppLog::Get().AddLog("[%s] %s: primitive %zu of mesh %d skipped: %s\n", kLog, m_path.c_str(), i, meshIndex,
                           why.c_str());
      delete p;
      continue;
    }
    mesh->primitives.push_back(p);
  }
  if (!mesh->primitives.empty()) {
    const rvGltfPrimitive& first = *mesh->primitives.front();
    mesh->boundsMin = first.boundsMin;
    mesh->boundsMax = first.boundsMax;
    mesh->centre = first.centre;
    mesh->boundsSet = true;
    for (const rvGltfPrimitive* p : mesh->primitives) {
      mesh->boundsMin = glm::min(mesh->boundsMin, p->boundsMin);
      mesh->boundsMax = glm::max(mesh->boundsMax, p->boundsMax);
    }
    mesh->centre = (mesh->boundsMin + mesh->boundsMax) * 0.5f;
  }
  m_meshes.push_back(mesh);
  return mesh;
}

rvGltfNode* rvGltfModel::ImportNode(const tinygltf::Model& document, int index, rvGltfNode* parent, int depth) {
  // A glTF node has one parent; an index met again (a cycle, or a node
  // shared by two parents) or a chain too deep is left out.
  if (index < 0 || index >= static_cast<int>(document.nodes.size()) || m_nodeByIndex[static_cast<size_t>(index)] ||
      depth >= kMaxNodeDepth) {
    AppLog::Get().AddLog("[%s] %s: node %d skipped: out of range, repeated or too deep\n", kLog, m_path.c_str(), index);
    return nullptr;
  }
  const tinygltf::Node& g = document.nodes[static_cast<size_t>(index)];
  auto* node = new rvGltfNode();
  m_nodeByIndex[static_cast<size_t>(index)] = node;
  node->index = index;
  node->parent = parent;
  node->skinIndex = g.skin >= 0 && g.skin < static_cast<int>(document.skins.size()) ? g.skin : -1;
  ReadNodeTransform(g, *node);
  for (int child : g.children) ImportNode(document, child, node, depth + 1);
  if (g.mesh >= 0 && g.mesh < static_cast<int>(document.meshes.size())) node->mesh = ImportMesh(document, g.mesh);
  m_nodes.push_back(node);
  if (parent)
    parent->children.push_back(node);
  else
    m_roots.push_back(node);
  return node;
}

rvGltfNode* rvGltfModel::FindImportedNode(int index) const {
  if (index < 0 || index >= static_cast<int>(m_nodeByIndex.size())) return nullptr;
  return m_nodeByIndex[static_cast<size_t>(index)];
}

//-----------------------------------------------------------------------------
// [SECTION] Animations and skins
//-----------------------------------------------------------------------------

namespace {

int InterpolationCode(const std::string& name) {
  if (name == "STEP") return 1;
  if (name == "CUBICSPLINE") return 2;
  return 0;
}

// Key times and values of one sampler; an unusable sampler stays empty (and
// its channels are skipped when sampled) so that channel indices still
// point at the right sampler.
bool ReadSampler(const tinygltf::Model& document, const tinygltf::AnimationSampler& g, rvGltfAnimSampler& s,
                 std::string& why) {
  s.interpolation = InterpolationCode(g.interpolation);
  AccessorView input, output;
  if (!ViewFloats(document, g.input, 1, input, why)) return false;
  if (!ViewAccessor(document, g.output, output, why)) return false;
  if (output.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT || (output.components != 3 && output.components != 4)) {
    why = "output neither vec3 nor vec4 floats";
    return false;
  }
  s.times.resize(input.count);
  for (size_t i = 0; i < input.count; ++i) ReadFloats(input, i, &s.times[i], 1);
  s.values.assign(output.count, glm::vec4(0.0f));
  for (size_t i = 0; i < output.count; ++i) ReadFloats(output, i, &s.values[i].x, output.components);
  return true;
}

int PathCode(const std::string& path) {
  if (path == "translation") return AnimPathTranslation;
  if (path == "rotation") return AnimPathRotation;
  if (path == "scale") return AnimPathScale;
  return 0;
}

}  // namespace

void rvGltfModel::ImportAnimations(const tinygltf::Model& document) {
  for (const tinygltf::Animation& g : document.animations) {
    rvGltfAnimation animation;
    animation.name = g.name.empty() ? "Anim:" + std::to_string(m_animations.size()) : CutName(g.name);
    animation.startTime = 3.4028235e38f;
    animation.endTime = 1.1754944e-38f;
    for (size_t i = 0; i < g.samplers.size(); ++i) {
      rvGltfAnimSampler sampler;
      std::string why;
      if (!ReadSampler(document, g.samplers[i], sampler, why)) {
        AppLog::Get().AddLog("[%s] %s: sampler %zu of %s skipped: %s\n", kLog, m_path.c_str(), i,
                             animation.name.c_str(), why.c_str());
        sampler = rvGltfAnimSampler();
      }
      for (float t : sampler.times) {
        animation.startTime = std::min(animation.startTime, t);
        animation.endTime = std::max(animation.endTime, t);
      }
      animation.samplers.push_back(std::move(sampler));
    }
    for (const tinygltf::AnimationChannel& c : g.channels) {
      rvGltfAnimChannel channel;
      channel.sampler = c.sampler;
      channel.path = PathCode(c.target_path);
      channel.node = FindImportedNode(c.target_node);
      // A channel outside the imported tree, of another path (morph
      // weights) or naming no sampler is dropped.
      if (!channel.node || channel.path == 0 || c.sampler < 0 || c.sampler >= static_cast<int>(g.samplers.size()))
        continue;
      animation.channels.push_back(channel);
    }
    m_animations.push_back(std::move(animation));
  }
}

void rvGltfModel::ImportSkins(const tinygltf::Model& document) {
  for (size_t i = 0; i < document.skins.size(); ++i) {
    const tinygltf::Skin& g = document.skins[i];
    rvGltfSkin skin;
    skin.name = g.name.empty() ? "Skin:" + std::to_string(i) : CutName(g.name);
    std::string why;
    AccessorView matrices;
    if (g.joints.size() > static_cast<size_t>(rvGltfMesh::kMaxJoints)) {
      why = "more than 128 joints";
    } else if (g.inverseBindMatrices >= 0 && !ViewFloats(document, g.inverseBindMatrices, 16, matrices, why)) {
      // why is set
    } else {
      skin.skeleton = g.skeleton >= 0 ? FindImportedNode(g.skeleton) : nullptr;
      for (int joint : g.joints)
        if (rvGltfNode* node = FindImportedNode(joint)) skin.joints.push_back(node);
      skin.inverseBindMatrices.resize(matrices.count);
      for (size_t k = 0; k < matrices.count; ++k) ReadFloats(matrices, k, glm::value_ptr(skin.inverseBindMatrices[k]), 16);
    }
    // A refused skin keeps its place (nodes name skins by index) but binds
    // no joints.
    if (!why.empty())
      AppLog::Get().AddLog("[%s] %s: skin %s skipped: %s\n", kLog, m_path.c_str(), skin.name.c_str(), why.c_str());
    m_skins.push_back(std::move(skin));
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Matrices and sampling
//-----------------------------------------------------------------------------

void rvGltfNode::UpdateLocalMatrix() {
  if (hasMatrix) return;
  local = glm::translate(glm::mat4(1.0f), translation) * glm::mat4_cast(rotation) * glm::scale(glm::mat4(1.0f), scale);
}

glm::mat4 rvGltfNode::ComputeGlobalMatrix() {
  UpdateLocalMatrix();
  std::vector<const rvGltfNode*> chain;
  for (const rvGltfNode* p = parent; p; p = p->parent) chain.push_back(p);
  glm::mat4 m(1.0f);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) m = m * (*it)->local;
  return m * local;
}

void rvGltfNode::UpdateGlobalMatrices(const glm::mat4& parentGlobal) {
  UpdateLocalMatrix();
  global = parentGlobal * local;
  for (rvGltfNode* child : children) child->UpdateGlobalMatrices(global);
}

void rvGltfNode::UpdateMeshMatrices() {
  if (mesh) {
    mesh->model = global;
    if (skin) {
      const glm::mat4 inverseModel = glm::inverse(mesh->model);
      const size_t count = std::min(skin->joints.size(), static_cast<size_t>(rvGltfMesh::kMaxJoints));
      for (size_t j = 0; j < count; ++j) {
        const glm::mat4 inverseBind = j < skin->inverseBindMatrices.size() ? skin->inverseBindMatrices[j] : glm::mat4(1.0f);
        mesh->jointMatrices[j] = inverseModel * skin->joints[j]->global * inverseBind;
      }
      mesh->jointCount = static_cast<int>(count);
    }
  }
  for (rvGltfNode* child : children) child->UpdateMeshMatrices();
}

bool rvGltfModel::SampleAnimation(float t) {
  if (m_animations.empty()) return true;
  const rvGltfAnimation& animation = m_animations.front();
  t = std::min(std::max(t, animation.startTime), animation.endTime);
  bool applied = false;
  for (const rvGltfAnimChannel& channel : animation.channels) {
    const rvGltfAnimSampler& s = animation.samplers[static_cast<size_t>(channel.sampler)];
    if (s.times.size() < 2 || s.values.size() < s.times.size()) continue;
    for (size_t i = 0; i + 1 < s.times.size(); ++i) {
      const float k0 = s.times[i], k1 = s.times[i + 1];
      if (!(k0 <= t && t <= k1)) continue;
      float f = (t - k0) / (k1 - k0);
      if (!(f > 0.0f)) f = 0.0f;
      const glm::vec4& a = s.values[i];
      const glm::vec4& b = s.values[i + 1];
      rvGltfNode& node = *channel.node;
      if (channel.path == AnimPathRotation) {
        node.rotation = glm::slerp(glm::quat(a.w, a.x, a.y, a.z), glm::quat(b.w, b.x, b.y, b.z), f);
      } else {
        const glm::vec3 v = glm::mix(glm::vec3(a), glm::vec3(b), f);
        (channel.path == AnimPathTranslation ? node.translation : node.scale) = v;
      }
      applied = true;
    }
  }
  if (applied) UpdateMatrices();
  return t >= animation.endTime;
}

void rvGltfModel::UpdateMatrices() {
  for (rvGltfNode* root : m_roots) root->UpdateGlobalMatrices(glm::mat4(1.0f));
  for (rvGltfNode* root : m_roots) root->UpdateMeshMatrices();
}

//-----------------------------------------------------------------------------
// [SECTION] GPU upload and drawing
//-----------------------------------------------------------------------------

namespace {

void UploadAttribute(GLuint buffer, int location, rvGltfAttributeData& data, bool integer) {
  if (location < 0 || !data.present) return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.bytes.size()), data.bytes.data(), GL_STATIC_DRAW);
  if (integer)
    glVertexAttribIPointer(static_cast<GLuint>(location), data.components, data.componentType, data.stride, nullptr);
  else
    glVertexAttribPointer(static_cast<GLuint>(location), data.components, data.componentType, GL_FALSE, data.stride,
                          nullptr);
  glEnableVertexAttribArray(static_cast<GLuint>(location));
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

}  // namespace

void rvGltfModel::Upload() {
  for (rvGltfMesh* mesh : m_meshes) {
    for (rvGltfPrimitive* p : mesh->primitives) {
      if (p->vertexArray != 0) continue;
      GLuint buffers[6];
      glGenBuffers(6, buffers);
      p->indexBuffer = buffers[0];
      p->positionBuffer = buffers[1];
      p->normalBuffer = buffers[2];
      p->jointsBuffer = buffers[3];
      p->weightsBuffer = buffers[4];
      p->texcoordBuffer = buffers[5];
      glGenVertexArrays(1, &p->vertexArray);
      glBindVertexArray(p->vertexArray);
      UploadAttribute(p->positionBuffer, m_positionLocation, p->position, false);
      UploadAttribute(p->normalBuffer, m_normalLocation, p->normal, false);
      UploadAttribute(p->texcoordBuffer, m_texcoordLocation, p->texcoord, false);
      UploadAttribute(p->jointsBuffer, m_jointsLocation, p->joints, true);
      UploadAttribute(p->weightsBuffer, m_weightsLocation, p->weights, false);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, p->indexBuffer);
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(p->indices.size()), p->indices.data(),
                   GL_STATIC_DRAW);
      glBindVertexArray(0);
      glBindBuffer(GL_ARRAY_BUFFER, 0);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
      // Upload errors are read once per primitive and otherwise ignored.
      glGetError();
      for (rvGltfAttributeData* d : {&p->position, &p->normal, &p->texcoord, &p->joints, &p->weights})
        std::vector<uint8_t>().swap(d->bytes);
      std::vector<uint8_t>().swap(p->indices);
    }
  }
}

void rvGltfModel::Draw() const {
  for (const rvGltfMesh* mesh : m_meshes) {
    for (const rvGltfPrimitive* p : mesh->primitives) {
      if (p->vertexArray == 0) continue;
      glBindVertexArray(p->vertexArray);
      glDrawElements(GL_TRIANGLES, p->indexCount, p->indexComponentType, nullptr);
      glBindVertexArray(0);
    }
  }
}

void rvGltfModel::ReleaseGpu() {
  for (rvGltfMesh* mesh : m_meshes) {
    for (rvGltfPrimitive* p : mesh->primitives) {
      if (p->vertexArray == 0) continue;
      const GLuint buffers[6] = {p->indexBuffer,   p->positionBuffer, p->normalBuffer,
                                 p->jointsBuffer, p->weightsBuffer,  p->texcoordBuffer};
      glDeleteBuffers(6, buffers);
      glDeleteVertexArrays(1, &p->vertexArray);
      p->vertexArray = p->indexBuffer = p->positionBuffer = p->normalBuffer = 0;
      p->jointsBuffer = p->weightsBuffer = p->texcoordBuffer = 0;
    }
  }
}
