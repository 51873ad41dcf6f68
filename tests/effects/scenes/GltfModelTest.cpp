// glTF models: documents built here as GLB bytes (node tree, meshes and
// bounds, skins with inverse bind matrices, the first animation posed at
// load), broken and mistyped documents refused or skipped with one log line,
// the shared sample models loaded in both forms, and the effect drawing a
// box through a camera: white edges over a black face.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effects/scenes/fxGLTFLoader.h"
#include "effects/scenes/rvGltfModel.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "support/DefaultTargetFixture.h"
#include "support/GlbBuilder.h"
#include "support/HostileInputs.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

// ---------------------------------------------------------------------------
// GLB documents built in memory
// ---------------------------------------------------------------------------

using Data = GlbData;

std::vector<unsigned char> Unsigned(const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); }

const Data kTrianglePositions{Bytes<float>({0, 0, 0, 1, 0, 0, 0, 1, 0}), 5126, "VEC3", 3,
                              "\"min\":[0,0,0],\"max\":[1,1,0]"};
const Data kTriangleIndices{Bytes<uint16_t>({0, 1, 2}), 5123, "SCALAR", 3, ""};

// One mesh node whose triangle uses accessors 0 and 1.
const char* const kOneTriangle =
    "\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],"
    "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}]";

bool LoadBytes(rvGltfModel& model, const std::string& bytes) { return model.LoadFromMemory(Unsigned(bytes), "m.glb"); }

int LogLines(const LogCapture& log, const char* prefix) {
  int n = 0;
  const std::string text = log.Text();
  for (size_t p = text.find(prefix); p != std::string::npos; p = text.find(prefix, p + 1)) ++n;
  return n;
}

void ExpectVec(const glm::vec3& got, const glm::vec3& want, const char* what) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-5f) << what << " component " << i;
}

void ExpectMat(const glm::mat4& got, const glm::mat4& want, const char* what) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_NEAR(got[c][r], want[c][r], 1e-5f) << what << " [" << c << "][" << r << "]";
}

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

TEST(GltfModel, MeshBoxIsTheUnionOfItsPrimitiveBoxes) {
  const std::string glb = Glb(
      "\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":["
      "{\"attributes\":{\"POSITION\":0},\"indices\":2},{\"attributes\":{\"POSITION\":1},\"indices\":2}]}]",
      {{Bytes<float>({0, 0, 0, 1, 1, 1, 0, 1, 0}), 5126, "VEC3", 3, "\"min\":[0,0,0],\"max\":[1,1,1]"},
       {Bytes<float>({-1, 2, -3, 0, 5, 0, 0, 2, 0}), 5126, "VEC3", 3, "\"min\":[-1,2,-3],\"max\":[0,5,0]"},
       kTriangleIndices});
  rvGltfModel model;
  ASSERT_TRUE(LoadBytes(model, glb));
  ASSERT_EQ(model.m_meshes.size(), 1u);
  const rvGltfMesh& mesh = *model.m_meshes[0];
  ASSERT_EQ(mesh.primitives.size(), 2u);
  EXPECT_TRUE(mesh.boundsSet);
  ExpectVec(mesh.boundsMin, {-1.0f, 0.0f, -3.0f}, "min");
  ExpectVec(mesh.boundsMax, {1.0f, 5.0f, 1.0f}, "max");
  ExpectVec(mesh.centre, {0.0f, 2.5f, -1.0f}, "centre");
  ExpectVec(mesh.primitives[1]->centre, {-0.5f, 3.5f, -1.5f}, "second centre");
  EXPECT_EQ(mesh.primitives[0]->indexCount, 3);
  EXPECT_EQ(mesh.primitives[0]->vertexCount, 3);
  EXPECT_EQ(mesh.primitives[0]->indexComponentType, static_cast<GLenum>(GL_UNSIGNED_SHORT));
}

TEST(GltfModel, NodeTreeListsChildrenBeforeParentsAndKeepsGivenMatrices) {
  const std::string glb = Glb(
      "\"scene\":1,\"scenes\":[{\"nodes\":[3]},{\"nodes\":[0,3]}],\"nodes\":["
      "{\"children\":[1,2],\"translation\":[1,2,3]},"
      "{\"mesh\":0,\"scale\":[2,2,2]},"
      "{\"matrix\":[1,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1],\"children\":[0]},"
      "{\"rotation\":[0,0.70710678,0,0.70710678]}],"
      "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}]",
      {kTrianglePositions, kTriangleIndices});
  LogCapture log;
  rvGltfModel model;
  ASSERT_TRUE(LoadBytes(model, glb));
  // Scene 1: roots 0 and 3; node 2 is a child of 0 whose own child 0 is
  // already imported (a cycle), so it is left out there.
  ASSERT_EQ(model.m_roots.size(), 2u);
  EXPECT_EQ(model.m_roots[0]->index, 0);
  EXPECT_EQ(model.m_roots[1]->index, 3);
  std::vector<int> order;
  for (const rvGltfNode* n : model.m_nodes) order.push_back(n->index);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 3}));
  EXPECT_EQ(LogLines(log, "[rvGltfModel] m.glb: node 0 skipped"), 1);
  const rvGltfNode* child = model.m_nodes[0];
  EXPECT_EQ(child->parent, model.m_roots[0]);
  ASSERT_NE(child->mesh, nullptr);
  // The mesh's model matrix is the global matrix: T(1,2,3) x S(2).
  ExpectMat(child->mesh->model,
            glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)) * glm::scale(glm::mat4(1.0f), glm::vec3(2.0f)), "model");
  const rvGltfNode* withMatrix = model.m_nodes[1];
  EXPECT_TRUE(withMatrix->hasMatrix);
  ExpectMat(const_cast<rvGltfNode*>(withMatrix)->ComputeGlobalMatrix(),
            glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)) * glm::translate(glm::mat4(1.0f), glm::vec3(5, 0, 0)),
            "kept matrix");
  EXPECT_NEAR(model.m_roots[1]->rotation.y, 0.70710678f, 1e-6f);
  EXPECT_EQ(model.FindImportedNode(2), withMatrix);
  EXPECT_EQ(model.FindImportedNode(7), nullptr);
}

// A root with a skinned mesh and one child joint, both animated by the
// first animation; node 2 lies outside the scene.
std::string AnimatedDocument(float endTime, const char* animationName, const char* firstSkinName) {
  const std::string name = animationName ? std::string(",\"name\":\"") + animationName + "\"" : "";
  const std::string skinName = firstSkinName ? std::string(",\"name\":\"") + firstSkinName + "\"" : "";
  const float s = std::sqrt(0.5f);
  return Glb("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0,\"skin\":1,\"children\":[1]},"
             "{\"translation\":[0,0,0]},{\"translation\":[9,9,9]}],"
             "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}],"
             "\"skins\":[{\"joints\":[1]" + skinName + "},{\"joints\":[1,2],\"inverseBindMatrices\":5}],"
             "\"animations\":[{\"samplers\":[{\"input\":2,\"output\":3},{\"input\":2,\"output\":4,"
             "\"interpolation\":\"STEP\"}],\"channels\":["
             "{\"sampler\":0,\"target\":{\"node\":1,\"path\":\"translation\"}},"
             "{\"sampler\":1,\"target\":{\"node\":1,\"path\":\"rotation\"}},"
             "{\"sampler\":0,\"target\":{\"node\":2,\"path\":\"translation\"}}]" + name + "},"
             "{\"name\":\"second\",\"samplers\":[],\"channels\":[]}]",
             {kTrianglePositions,
              kTriangleIndices,
              {Bytes<float>({0.0f, endTime}), 5126, "SCALAR", 2, ""},
              {Bytes<float>({0, 0, 0, 4, 0, 0}), 5126, "VEC3", 2, ""},
              {Bytes<float>({0, 0, 0, 1, 0, s, 0, s}), 5126, "VEC4", 2, ""},
              {Bytes<float>({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1,   //
                             1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}),
               5126, "MAT4", 2, ""}});
}

TEST(GltfModel, FirstAnimationPosesTheTreeAtOneSecondWithLerpAndSlerp) {
  const struct {
    float endTime;
    float translationX;  // at the load's 1.0 s, clamped to the end
    float turn;          // radians about y
  } cases[] = {{2.0f, 2.0f, 3.1415927f / 4.0f}, {0.5f, 4.0f, 3.1415927f / 2.0f}};
  for (const auto& c : cases) {
    rvGltfModel model;
    ASSERT_TRUE(LoadBytes(model, AnimatedDocument(c.endTime, nullptr, nullptr)));
    ASSERT_EQ(model.m_animations.size(), 2u);
    const rvGltfAnimation& a = model.m_animations[0];
    EXPECT_EQ(a.name, "Anim:0");
    EXPECT_EQ(model.m_animations[1].name, "second");
    EXPECT_EQ(a.channels.size(), 2u) << "the channel on node 2 (outside the scene) is dropped";
    EXPECT_EQ(a.startTime, 0.0f);
    EXPECT_EQ(a.endTime, c.endTime);
    EXPECT_EQ(a.samplers[1].interpolation, 1);
    const rvGltfNode* joint = model.FindImportedNode(1);
    ExpectVec(joint->translation, {c.translationX, 0.0f, 0.0f}, "translation");
    const glm::quat expected = glm::angleAxis(c.turn, glm::vec3(0, 1, 0));
    EXPECT_NEAR(std::fabs(glm::dot(joint->rotation, expected)), 1.0f, 1e-5f);
    EXPECT_EQ(model.SampleAnimation(c.endTime + 5.0f), true);
    EXPECT_EQ(model.SampleAnimation(0.0f), false);
    ExpectVec(joint->translation, {0.0f, 0.0f, 0.0f}, "at 0");
  }
}

TEST(GltfModel, SkinsNameThemselvesAndGiveJointMatricesWithInverseBinds) {
  rvGltfModel model;
  ASSERT_TRUE(LoadBytes(model, AnimatedDocument(2.0f, "walk", "first")));
  EXPECT_EQ(model.m_animations[0].name, "walk");
  ASSERT_EQ(model.m_skins.size(), 2u);
  EXPECT_EQ(model.m_skins[0].name, "first");
  EXPECT_EQ(model.m_skins[1].name, "Skin:1");
  const rvGltfSkin& skin = model.m_skins[1];
  // Node 2 is not imported: the joint list closes up.
  ASSERT_EQ(skin.joints.size(), 1u);
  ASSERT_EQ(skin.inverseBindMatrices.size(), 2u);
  ExpectMat(skin.inverseBindMatrices[0], glm::translate(glm::mat4(1.0f), glm::vec3(0, -1, 0)), "inverse bind");
  const rvGltfNode* root = model.m_roots[0];
  ASSERT_EQ(root->skin, &model.m_skins[1]);
  const rvGltfMesh& mesh = *root->mesh;
  EXPECT_EQ(mesh.jointCount, 1);
  const glm::mat4 joint = glm::translate(glm::mat4(1.0f), glm::vec3(2, 0, 0)) *
                          glm::mat4_cast(glm::angleAxis(3.1415927f / 4.0f, glm::vec3(0, 1, 0)));
  ExpectMat(mesh.jointMatrices[0], joint * skin.inverseBindMatrices[0], "joint matrix");
}

TEST(GltfModel, ModelWithoutAnimationKeepsItsImportedPose) {
  rvGltfModel model;
  // A node moved and turned from the origin: sampling at any time keeps
  // that pose rather than putting the mesh back at the identity.
  const char* const kPlacedTriangle =
      "\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
      "\"nodes\":[{\"mesh\":0,\"translation\":[1,2,3],\"rotation\":[0,0.70710678,0,0.70710678]}],"
      "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}]";
  ASSERT_TRUE(LoadBytes(model, Glb(kPlacedTriangle, {kTrianglePositions, kTriangleIndices})));
  EXPECT_TRUE(model.m_animations.empty());
  const glm::mat4 pose = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)) *
                         glm::mat4_cast(glm::angleAxis(3.1415927f / 2.0f, glm::vec3(0, 1, 0)));
  ExpectMat(model.m_meshes[0]->model, pose, "imported");
  EXPECT_TRUE(model.SampleAnimation(3.0f));
  ExpectMat(model.m_meshes[0]->model, pose, "sampled");
}

// Sparse accessor: vertex 1 replaced by (5, 5, 5), through a view whose
// values follow the indices.
std::string SparseTriangle() {
  return Glb(kOneTriangle, {{Bytes<float>({0, 0, 0, 1, 0, 0, 0, 1, 0}), 5126, "VEC3", 3,
                             "\"sparse\":{\"count\":1,\"indices\":{\"bufferView\":2,\"componentType\":5123},"
                             "\"values\":{\"bufferView\":3}}"},
                            kTriangleIndices,
                            {Bytes<uint16_t>({1, 0}), 5123, "SCALAR", 1, ""},
                            {Bytes<float>({5, 5, 5}), 5126, "VEC3", 1, ""}});
}

TEST(GltfModel, SparseAccessorsPutTheirValuesInPlace) {
  rvGltfModel model;
  model.m_positionLocation = 0;
  ASSERT_TRUE(LoadBytes(model, SparseTriangle()));
  ASSERT_EQ(model.m_meshes.size(), 1u);
  ASSERT_EQ(model.m_meshes[0]->primitives.size(), 1u);
  const rvGltfAttributeData& position = model.m_meshes[0]->primitives[0]->position;
  ASSERT_EQ(position.bytes.size(), 36u);
  std::vector<float> xyz(9);
  std::memcpy(xyz.data(), position.bytes.data(), 36);
  EXPECT_EQ(xyz, (std::vector<float>{0, 0, 0, 5, 5, 5, 0, 1, 0}));
  EXPECT_EQ(position.stride, 12);
}

TEST(GltfModel, OnlyAttributesThatAreUploadedCanCostAPrimitive) {
  // Texture coordinates of three floats: a type the upload does not take.
  const std::string glb =
      Glb("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":"
          "{\"POSITION\":0,\"TEXCOORD_0\":0},\"indices\":1}]}]",
          {kTrianglePositions, kTriangleIndices});
  for (const int texcoordLocation : {-1, 2}) {
    LogCapture log;
    rvGltfModel model;
    model.m_positionLocation = 0;
    model.m_texcoordLocation = texcoordLocation;
    ASSERT_TRUE(LoadBytes(model, glb));
    const size_t kept = texcoordLocation < 0 ? 1u : 0u;
    EXPECT_EQ(model.m_meshes[0]->primitives.size(), kept) << texcoordLocation;
    EXPECT_EQ(LogLines(log, "skipped: vertex attribute of an unsupported type"), 1 - static_cast<int>(kept));
  }
}

// ---------------------------------------------------------------------------
// Hostile documents: bounded imports
// ---------------------------------------------------------------------------

TEST(GltfModel, AMeshUsedByManyNodesIsImportedOnceAndShared) {
  rvGltfModel model;
  model.m_positionLocation = 0;
  ASSERT_TRUE(LoadBytes(model, hostile::GlbSharedMesh(200, 300)));
  ASSERT_EQ(model.m_nodes.size(), 300u);
  ASSERT_EQ(model.m_meshes.size(), 1u) << "one import, not one per node";
  EXPECT_EQ(model.m_meshes[0]->primitives.size(), 200u);
  size_t bytes = 0;
  for (const rvGltfPrimitive* p : model.m_meshes[0]->primitives) bytes += p->position.bytes.size() + p->indices.size();
  EXPECT_EQ(bytes, 200u * (36u + 6u));
  for (const rvGltfNode* node : model.m_nodes) EXPECT_EQ(node->mesh, model.m_meshes[0]);
}

TEST(GltfModel, DeepSkinnedChainsGetEveryGlobalAndJointMatrix) {
  rvGltfModel model;
  ASSERT_TRUE(LoadBytes(model, hostile::GlbSkinnedChains(4, 255)));
  ASSERT_EQ(model.m_nodes.size(), 4u * 255u);
  ASSERT_EQ(model.m_meshes.size(), 1u);
  ASSERT_EQ(model.m_skins.size(), 4u);
  for (int chain = 0; chain < 4; ++chain) {
    for (const int depth : {0, 127, 254}) {
      const rvGltfNode* node = model.FindImportedNode(chain * 255 + depth);
      ASSERT_NE(node, nullptr);
      // Each level moves one unit up.
      ExpectMat(node->global, glm::translate(glm::mat4(1.0f), glm::vec3(0, depth + 1, 0)), "global");
    }
  }
  // The shared mesh holds the joints of the last node posed (chain 3's
  // deepest): joint j at j + 1 units up, seen from 255 units up.
  const rvGltfMesh& mesh = *model.m_meshes[0];
  EXPECT_EQ(mesh.jointCount, 128);
  ExpectMat(mesh.jointMatrices[127], glm::translate(glm::mat4(1.0f), glm::vec3(0, 128 - 255, 0)), "joint 127");
}

TEST(GltfModel, NodesAreFoundByIndexForEveryChannelAndJoint) {
  const int nodes = 20000;
  rvGltfModel model;
  ASSERT_TRUE(LoadBytes(model, hostile::GlbManyAnimatedNodes(nodes)));
  ASSERT_EQ(model.m_nodes.size(), static_cast<size_t>(nodes));
  ASSERT_EQ(model.m_animations.size(), 1u);
  EXPECT_EQ(model.m_animations[0].channels.size(), static_cast<size_t>(nodes));
  ASSERT_EQ(model.m_skins.size(), 1u);
  ASSERT_EQ(model.m_skins[0].joints.size(), 128u);
  EXPECT_EQ(model.m_skins[0].joints.back(), model.FindImportedNode(nodes - 1));
  EXPECT_EQ(model.FindImportedNode(nodes), nullptr);
  EXPECT_EQ(model.FindImportedNode(-1), nullptr);
  for (const int i : {0, nodes / 2, nodes - 1}) {
    ASSERT_EQ(model.FindImportedNode(i)->index, i);
    // Posed at 1.0 s of 0..2 s: half way from 0 to (2, 4, 6).
    ExpectVec(model.FindImportedNode(i)->translation, {1.0f, 2.0f, 3.0f}, "posed");
  }
}

// ---------------------------------------------------------------------------
// Broken and mistyped documents
// ---------------------------------------------------------------------------

struct BadCase {
  const char* what;
  std::string bytes;
  bool loads;       // the parse succeeds (and the bad part is skipped)
  const char* log;  // the one line expected; null: none of ours
  int primitives;   // primitives left
};

TEST(GltfModel, BrokenDocumentsAreRefusedOrSkippedWithOneLogLine) {
  const std::string good = Glb(kOneTriangle, {kTrianglePositions, kTriangleIndices});
  std::string badChunk = good;
  badChunk[12] = '\x7f';  // JSON chunk length beyond the file
  const Data nineVertices{Bytes<float>({0, 0, 0}), 5126, "VEC3", 9, ""};
  const Data shortIndex{Bytes<uint16_t>({0, 1, 7}), 5123, "SCALAR", 3, ""};
  std::string tooManyJoints = "\"skins\":[{\"joints\":[0";
  for (int i = 0; i < 128; ++i) tooManyJoints += ",0";
  tooManyJoints += "]}]";
  const BadCase cases[] = {
      {"empty", "", false, "[rvGltfModel] cannot load m.glb", 0},
      {"truncated GLB", good.substr(0, good.size() / 2), false, "[rvGltfModel] cannot load m.glb", 0},
      {"chunk past the end", badChunk, false, "[rvGltfModel] cannot load m.glb", 0},
      {"not JSON", "{\"asset\":", false, "[rvGltfModel] cannot load m.glb", 0},
      {"mistyped nodes", "{\"asset\":{\"version\":\"2.0\"},\"nodes\":5}", true, nullptr, 0},
      {"accessor past its view", Glb(kOneTriangle, {nineVertices, kTriangleIndices}), true,
       "primitive 0 of mesh 0 skipped: accessor past the end of its buffer view", 0},
      {"index past the last vertex", Glb(kOneTriangle, {kTrianglePositions, shortIndex}), true,
       "primitive 0 of mesh 0 skipped: index past the last vertex", 0},
      {"no indices",
       Glb("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":"
           "{\"POSITION\":0}}]}]",
           {kTrianglePositions}),
       true, "primitive 0 of mesh 0 skipped: no indices", 0},
      {"indices as floats", Glb(kOneTriangle, {kTrianglePositions, {Bytes<float>({0, 1, 2}), 5126, "SCALAR", 3, ""}}),
       true, "primitive 0 of mesh 0 skipped: indices of an unsupported type", 0},
      {"more than 128 joints", Glb(std::string(kOneTriangle) + "," + tooManyJoints, {kTrianglePositions, kTriangleIndices}),
       true, "skin Skin:0 skipped: more than 128 joints", 1},
      {"inverse binds as vec3",
       Glb(std::string(kOneTriangle) + ",\"skins\":[{\"joints\":[0],\"inverseBindMatrices\":0}]",
           {kTrianglePositions, kTriangleIndices}),
       true, "skin Skin:0 skipped: accessor of another type than expected", 1},
      {"nested 30,000 arrays deep", hostile::GltfDeepExtras(30000), false,
       "[rvGltfModel] cannot load m.glb: JSON nested deeper than 256 levels", 0},
      {"glTF 1.0", hostile::GltfVersion1(), false, "[rvGltfModel] cannot load m.glb: glTF 1.0 is not supported", 0},
      {"count 0 at byte offset 2^64 - 1", hostile::GlbFarAccessorOffset(), true,
       "primitive 0 of mesh 0 skipped: accessor past the end of its buffer view", 0},
      {"sparse index past the count",
       Glb(kOneTriangle,
           {{Bytes<float>({0, 0, 0, 1, 0, 0, 0, 1, 0}), 5126, "VEC3", 3,
             "\"sparse\":{\"count\":1,\"indices\":{\"bufferView\":2,\"componentType\":5123},"
             "\"values\":{\"bufferView\":3}}"},
            kTriangleIndices,
            {Bytes<uint16_t>({3, 0}), 5123, "SCALAR", 1, ""},
            {Bytes<float>({5, 5, 5}), 5126, "VEC3", 1, ""}}),
       true, "primitive 0 of mesh 0 skipped: sparse index past the accessor's count", 0},
      {"sampler of scalars",
       Glb(std::string(kOneTriangle) + ",\"animations\":[{\"samplers\":[{\"input\":1,\"output\":1}],\"channels\":[]}]",
           {kTrianglePositions, {Bytes<float>({0, 1, 2}), 5126, "SCALAR", 3, ""}}),
       true, "sampler 0 of Anim:0 skipped: output neither vec3 nor vec4 floats", 0},
  };
  for (const auto& c : cases) {
    LogCapture log;
    rvGltfModel model;
    EXPECT_EQ(LoadBytes(model, c.bytes), c.loads) << c.what;
    if (c.log) EXPECT_EQ(LogLines(log, c.log), 1) << c.what << "\n" << log.Text();
    if (!c.log) EXPECT_EQ(LogLines(log, "[rvGltfModel]"), 0) << c.what << "\n" << log.Text();
    int primitives = 0;
    for (const rvGltfMesh* m : model.m_meshes) primitives += static_cast<int>(m->primitives.size());
    EXPECT_EQ(primitives, c.primitives) << c.what;
    if (!c.loads) EXPECT_TRUE(model.m_nodes.empty()) << c.what;
  }
}

TEST(GltfModel, AccessorsWithoutViewsAndViewsPastTheirBufferAreSkipped) {
  std::string glb = Glb(kOneTriangle, {kTrianglePositions, kTriangleIndices});
  const struct {
    const char* what;
    const char* from;
    const char* to;
    const char* log;
  } cases[] = {
      {"accessor without a view", "{\"bufferView\":0,", "{", "accessor without a buffer view"},
      {"view past its buffer", "\"byteLength\":36}", "\"byteLength\":99}", "buffer view past the end of its buffer"},
      {"view of a missing buffer", "{\"buffer\":0,\"byteOffset\":0", "{\"buffer\":4,\"byteOffset\":0",
       "buffer view without a buffer"},
  };
  for (const auto& c : cases) {
    std::string bytes = glb;
    // Edits of the same length, padded with blanks, keep the chunk sizes.
    const size_t at = bytes.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.what;
    std::string replacement = c.to;
    while (replacement.size() < std::strlen(c.from)) replacement += ' ';
    ASSERT_EQ(replacement.size(), std::strlen(c.from)) << c.what;
    bytes.replace(at, std::strlen(c.from), replacement);
    LogCapture log;
    rvGltfModel model;
    EXPECT_TRUE(LoadBytes(model, bytes)) << c.what;
    EXPECT_EQ(LogLines(log, c.log), 1) << c.what << "\n" << log.Text();
    ASSERT_EQ(model.m_meshes.size(), 1u);
    EXPECT_TRUE(model.m_meshes[0]->primitives.empty()) << c.what;
  }
}

// ---------------------------------------------------------------------------
// Real files and drawing
// ---------------------------------------------------------------------------

std::string TestFile(const std::string& name) {
  std::ifstream in(std::string(VELMORA_TESTDATA_DIR) + "/gltf/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(GltfModel, SharedSampleModelsLoadAlikeAsGlbAndGltf) {
  const struct {
    const char* name;
    size_t nodes, meshes;
    int indices;
    int joints;  // of the first skin, -1 without
    size_t channels;
  } cases[] = {{"Box", 2, 1, 36, -1, 0},          {"BoxAnimated", 4, 2, 762, -1, 2},
               {"RiggedSimple", 5, 1, 564, 2, 3}, {"SimpleSkin", 3, 1, 24, 2, 1},
               {"CesiumMan", 22, 1, 14016, 19, 57}};
  for (const auto& c : cases) {
    for (const char* ext : {".glb", ".gltf"}) {
      const std::string file = std::string(c.name) + ext;
      const std::string bytes = TestFile(file);
      ASSERT_FALSE(bytes.empty()) << file;
      LogCapture log;
      rvGltfModel model;
      ASSERT_TRUE(model.LoadFromMemory(Unsigned(bytes), file)) << file << "\n" << log.Text();
      EXPECT_EQ(log.Text().find("skipped"), std::string::npos) << file << "\n" << log.Text();
      EXPECT_EQ(model.m_nodes.size(), c.nodes) << file;
      EXPECT_EQ(model.m_meshes.size(), c.meshes) << file;
      int indices = 0;
      for (const rvGltfMesh* m : model.m_meshes)
        for (const rvGltfPrimitive* p : m->primitives) indices += p->indexCount;
      EXPECT_EQ(indices, c.indices) << file;
      EXPECT_EQ(model.m_skins.empty() ? -1 : static_cast<int>(model.m_skins[0].joints.size()), c.joints) << file;
      EXPECT_EQ(model.m_animations.empty() ? 0u : model.m_animations[0].channels.size(), c.channels) << file;
    }
  }
}

class GltfEffect : public DefaultTargetTest {
 protected:
  GltfEffect() : DefaultTargetTest(64, 64) {}
};

TEST_F(GltfEffect, BoxFromThePackDrawsWhiteEdgesOverABlackFace) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/meshes/box.glb", TestFile("Box.glb")}, {"Data/meshes/box.gltf", TestFile("Box.gltf")}}));
  EnterDir(dir);
  for (const char* path : {"meshes/box.glb", "meshes/box.gltf"}) {
    // Square target: 60 degrees vertically, from 2 units in front of the
    // +z face.
    g_defaultRenderTarget.m_viewProjection =
        glm::perspective(3.1415927f / 3.0f, 1.0f, 0.1f, 100.0f) *
        glm::lookAt(glm::vec3(0.0f, 0.0f, 2.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    fxBase* fx = AddItem(ParseJson(std::string("{\"Class\":\"fxGLTFLoader\",\"Properties\":{\"GLTF\":\"") + path + "\"}}"));
    ASSERT_NE(fx, nullptr);
    fx->SetState(StateRunning);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fx->ExternalUpdate();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    const std::vector<uint8_t> px = ReadPixels(0, 0, 64, 64);
    auto at = [&](int x, int y) { return px[(y * 64 + x) * 4 + 1]; };
    // The face spans +-0.5 / (1.5 tan 30deg) = +-0.577 of the view: columns
    // and rows 13.5 to 50.5.
    EXPECT_GT(at(14, 32), 200) << path << " left edge";
    EXPECT_GT(at(49, 32), 200) << path << " right edge";
    EXPECT_GT(at(32, 14), 200) << path << " bottom edge";
    EXPECT_EQ(at(4, 4), 0) << path << " outside";
    int dark = 0;
    for (int y = 20; y < 44; ++y)
      for (int x = 20; x < 44; ++x) dark += at(x, y) < 32;
    EXPECT_GT(dark, 24 * 24 / 3) << path << " the face is black";
    m_sequence.Clear();
  }
}

TEST_F(GltfEffect, MissingFileDrawsNothing) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/a.seq", "{}"}}));
  EnterDir(dir);
  LogCapture log;
  fxBase* fx = AddItem(ParseJson(R"({"Class":"fxGLTFLoader","Properties":{"GLTF":"meshes/none.glb"}})"));
  ASSERT_NE(fx, nullptr);
  fx->SetState(StateRunning);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  fx->ExternalUpdate();
  EXPECT_TRUE(static_cast<fxGLTFLoader*>(fx)->m_model.m_nodes.empty());
  EXPECT_TRUE(log.Contains("[rvGltfModel] file not found: meshes/none.glb"));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
  // Every pixel keeps the clear colour: opaque black.
  const std::vector<uint8_t> pixels = ReadPixels(0, 0, 64, 64);
  ASSERT_EQ(pixels.size(), 64u * 64u * 4u);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    ASSERT_EQ(pixels[i] | pixels[i + 1] | pixels[i + 2], 0) << "pixel " << i / 4;
    ASSERT_EQ(pixels[i + 3], 255) << "pixel " << i / 4;
  }
}

}  // namespace
