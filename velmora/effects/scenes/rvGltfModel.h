// glTF models: a .glb file, or a .gltf file whose buffers are embedded or
// lie beside it in the data pack, imported into engine records: a node tree
// with local and global matrices, meshes whose triangle primitives are
// uploaded into GPU vertex arrays, skins with joint matrices, and the first
// animation sampled into the node tree.
//
// Parsing is tinygltf's (the Debian library; images are accepted and never
// decoded, file reads go through the data pack). Everything after the parse
// is here, and every accessor is checked against its buffer view and buffer
// before a byte is read: a primitive, sampler or skin whose data does not
// fit is skipped with one log line. Nothing of the parsed document is kept
// once the records are built.
//
// Import and sampling need no GL; Upload and Draw do. The model owns its
// records and their GL objects (ReleaseGpu before the context goes).
// Main thread only.
#pragma once
#include <glad/gl.h>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace tinygltf {
class Model;
}

struct rvGltfMesh;
struct rvGltfSkin;

// One vertex attribute as read from its accessor: the checked byte range
// (stride kept, so interleaved views work), the GL component type and count.
struct rvGltfAttributeData {
  std::vector<uint8_t> bytes;
  GLenum componentType = 0;
  int components = 0;
  int stride = 0;
  bool present = false;
};

struct rvGltfPrimitive {
  glm::vec3 boundsMin{0.0f};
  glm::vec3 boundsMax{0.0f};
  glm::vec3 centre{0.0f};
  GLuint vertexArray = 0;
  GLuint indexBuffer = 0;
  GLuint positionBuffer = 0;
  GLuint normalBuffer = 0;
  GLuint jointsBuffer = 0;
  GLuint weightsBuffer = 0;
  GLuint texcoordBuffer = 0;
  GLenum indexComponentType = 0;
  int positionStride = 0;
  GLenum positionComponentType = 0;
  int indexCount = 0;
  int vertexCount = 0;

  // Waiting for Upload; emptied by it.
  rvGltfAttributeData position, normal, texcoord, joints, weights;
  std::vector<uint8_t> indices;
};

struct rvGltfNode {
  glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
  glm::vec3 translation{0.0f};
  glm::vec3 scale{1.0f};
  glm::mat4 local{1.0f};
  glm::mat4 global{1.0f};  // parent's global x local, as of the last UpdateGlobalMatrices
  rvGltfNode* parent = nullptr;
  int index = 0;  // in the document's node array
  std::vector<rvGltfNode*> children;
  rvGltfMesh* mesh = nullptr;
  rvGltfSkin* skin = nullptr;
  int skinIndex = -1;
  // Given by a matrix: the local matrix is kept as it came, not rebuilt from
  // translation, rotation and scale.
  bool hasMatrix = false;

  void UpdateLocalMatrix();
  // Walks the parent chain: for one node. A whole tree is posed through
  // UpdateGlobalMatrices, one product per node.
  glm::mat4 ComputeGlobalMatrix();
  void UpdateGlobalMatrices(const glm::mat4& parentGlobal);
  // The mesh and joint matrices of this subtree from the stored global
  // matrices (UpdateGlobalMatrices first).
  void UpdateMeshMatrices();
};

struct rvGltfMesh {
  static constexpr int kMaxJoints = 128;

  std::vector<rvGltfPrimitive*> primitives;
  glm::vec3 boundsMin{0.0f};
  glm::vec3 boundsMax{0.0f};
  bool boundsSet = false;
  glm::vec3 centre{0.0f};
  glm::mat4 model{1.0f};
  glm::mat4 jointMatrices[kMaxJoints];
  int jointCount = 0;

  rvGltfMesh();
};

struct rvGltfSkin {
  std::string name;
  rvGltfNode* skeleton = nullptr;
  std::vector<glm::mat4> inverseBindMatrices;
  std::vector<rvGltfNode*> joints;
};

struct rvGltfAnimSampler {
  int interpolation = 0;  // 0 linear, 1 step, 2 cubic spline: stored, not used
  std::vector<float> times;
  std::vector<glm::vec4> values;  // vec3 outputs as (x, y, z, 0)
};

enum rvGltfAnimPath : int { AnimPathTranslation = 1, AnimPathRotation = 2, AnimPathScale = 3 };

struct rvGltfAnimChannel {
  int path = 0;
  rvGltfNode* node = nullptr;
  int sampler = 0;
};

struct rvGltfAnimation {
  std::string name;
  std::vector<rvGltfAnimSampler> samplers;
  std::vector<rvGltfAnimChannel> channels;
  float startTime = 0.0f;
  float endTime = 0.0f;
};

class rvGltfModel {
 public:
  static constexpr size_t kMaxNameLength = 255;

  rvGltfModel();
  ~rvGltfModel();
  rvGltfModel(const rvGltfModel&) = delete;
  rvGltfModel& operator=(const rvGltfModel&) = delete;

  // (Re)loads from the data pack: parse, import, pose at 1.0 s of the first
  // animation. False (logged) when the file is missing or cannot be parsed;
  // the model is then empty. Needs no GL; Upload sends the vertex data.
  bool Load(const std::string& path);
  // Parses bytes of a .glb or .gltf file; external buffers are read
  // through the pack relative to `path`.
  bool LoadFromMemory(const std::vector<unsigned char>& bytes, const std::string& path);
  void Clear();

  // GPU side: vertex arrays and buffers for every primitive (only the
  // attribute kinds whose location is not -1), then the indexed draws.
  void Upload();
  void Draw() const;
  void ReleaseGpu();

  // Poses the nodes from the first animation at time t (clamped to its
  // range); true when t has reached its end, and when there is none.
  bool SampleAnimation(float t);
  // Every global matrix once, top-down, then every mesh and joint matrix.
  void UpdateMatrices();
  // The imported node of a document index (null when not imported).
  rvGltfNode* FindImportedNode(int index) const;

  bool m_loaded = false;
  std::vector<rvGltfMesh*> m_meshes;  // each document mesh once, shared by the nodes naming it
  std::vector<rvGltfNode*> m_roots;
  std::vector<rvGltfNode*> m_nodes;  // children before their parent
  std::vector<rvGltfSkin> m_skins;
  std::vector<rvGltfAnimation> m_animations;
  int m_positionLocation = -1;
  int m_weightsLocation = -1;
  int m_jointsLocation = -1;
  int m_normalLocation = -1;
  int m_texcoordLocation = -1;

 private:
  void Import(const tinygltf::Model& document);
  rvGltfNode* ImportNode(const tinygltf::Model& document, int index, rvGltfNode* parent, int depth);
  rvGltfMesh* ImportMesh(const tinygltf::Model& document, int meshIndex);
  void ImportAnimations(const tinygltf::Model& document);
  void ImportSkins(const tinygltf::Model& document);

  std::string m_path;  // for log lines
  // By document index, filled while importing: nodes (null: not imported)
  // and meshes (null: not imported yet).
  std::vector<rvGltfNode*> m_nodeByIndex;
  std::vector<rvGltfMesh*> m_meshByIndex;
};
