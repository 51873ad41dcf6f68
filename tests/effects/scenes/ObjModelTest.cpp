// OBJ models: files of a real pack read into meshes (naming, corner forms
// with negative indices, the face normal rule, MTL materials, a last face
// without a line break), the fans handed to the vector display with their
// inner edges hidden, bad input dropped with one log line, the shared OBJ
// test files, and the effect drawing into the current display.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effects/scenes/fxObjLoader.h"
#include "effects/scenes/rvObjModel.h"
#include "render/VectorDisplay.h"
#include "support/DefaultTargetFixture.h"
#include "support/HostileInputs.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

const char* const kTriangleVertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

class ObjModel : public ::testing::Test {
 protected:
  // The files (paths inside "Data/") in a pack of their own.
  void UsePack(const PackFiles& files) {
    PackFiles data;
    for (const auto& [path, bytes] : files) data["Data/" + path] = bytes;
    ASSERT_TRUE(BuildPack(m_dir, data));
    EnterDir(m_dir);
  }
  // One OBJ text loaded as m.obj.
  bool LoadText(const std::string& text, PackFiles more = {}) {
    more["m.obj"] = text;
    UsePack(more);
    return m_model.Load("m.obj", glm::vec3(0.25f, 0.5f, 0.75f), 0.8f);
  }
  // A table's OBJ texts as m0.obj, m1.obj, ... of one pack (the pack is
  // mounted once per process).
  void UseTexts(const std::vector<std::string>& texts) {
    PackFiles files;
    for (size_t i = 0; i < texts.size(); ++i) files["m" + std::to_string(i) + ".obj"] = texts[i];
    UsePack(files);
  }
  bool LoadCase(size_t i) {
    m_model = rvObjModel();
    return m_model.Load("m" + std::to_string(i) + ".obj", glm::vec3(0.25f, 0.5f, 0.75f), 0.8f);
  }

  TempDir m_dir;
  rvObjModel m_model;
};

TEST(ObjText, SplitTokensAndLineTail) {
  const struct {
    const char* text;
    std::vector<std::string> pieces;
  } cases[] = {{"a b", {"a", "b"}}, {"a  b", {"a", "", "b"}}, {" a", {"", "a"}}, {"a ", {"a"}}, {"", {}}};
  for (const auto& c : cases) EXPECT_EQ(SplitTokens(c.text, ' '), c.pieces) << "[" << c.text << "]";
  EXPECT_EQ(LineTail("usemtl  red  "), "red");
  EXPECT_EQ(LineTail("\tg\tfront cube"), "front cube");
  EXPECT_EQ(LineTail("o"), "");
}

// ---------------------------------------------------------------------------
// Fans
// ---------------------------------------------------------------------------

TEST_F(ObjModel, FansHideTheInnerEdgesOfEveryPolygon) {
  const struct {
    const char* face;
    std::vector<std::vector<int>> corners;  // per triangle, 1-based corners
    std::vector<int> flags;                 // per triangle: bit k = vertex k flagged
  } cases[] = {
      {"f 1 2 3", {{1, 2, 3}}, {0}},
      {"f 1 2 3 4", {{1, 2, 3}, {1, 3, 4}}, {4, 1}},
      {"f 1 2 3 4 5 6 7", {{1, 2, 3}, {1, 3, 4}, {1, 4, 5}, {1, 5, 6}, {1, 6, 7}}, {4, 5, 5, 5, 1}},
  };
  std::string vertices;
  for (int i = 1; i <= 7; ++i) vertices += "v " + std::to_string(i) + " 0 0\n";
  std::vector<std::string> texts;
  for (const auto& c : cases) texts.push_back(vertices + c.face + "\n");
  UseTexts(texts);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    ASSERT_TRUE(LoadCase(i)) << c.face;
    VectorGeometry g;
    m_model.DrawToVectorDisplay(g);
    ASSERT_EQ(g.m_triangles.count, static_cast<int>(c.corners.size())) << c.face;
    for (size_t t = 0; t < c.corners.size(); ++t) {
      const VectorTriangle& tri = g.m_triangles.data()[t];
      int flags = 0;
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(tri.v[k].position.x, static_cast<float>(c.corners[t][static_cast<size_t>(k)])) << c.face;
        if (tri.v[k].flags & PTF_TRIANGLE_DISCARDLINE) flags |= 1 << k;
        EXPECT_EQ(tri.v[k].color, glm::vec3(0.25f, 0.5f, 0.75f));
        EXPECT_FLOAT_EQ(tri.v[k].thickness, 0.8f);
      }
      EXPECT_EQ(flags, c.flags[t]) << c.face << " triangle " << t;
    }
  }
}

// ---------------------------------------------------------------------------
// Corners, normals, names
// ---------------------------------------------------------------------------

TEST_F(ObjModel, EveryCornerFormWithPositiveAndNegativeIndices) {
  const char* const lists =
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.5 0.25\nvt 0.75 1\nvn 0 0 1\nvn 0 1 0\n";
  const struct {
    const char* face;
    glm::vec2 texcoord1;  // of the second corner
    glm::vec3 normal1;
  } cases[] = {
      {"f 1 2 3", {0, 0}, {0, 0, -1}},
      {"f -3 -2 -1", {0, 0}, {0, 0, -1}},
      {"f 1/1 2/2 3/1", {0.75f, 1}, {0, 0, -1}},
      {"f 1/-2 -2/-1 3/1", {0.75f, 1}, {0, 0, -1}},
      {"f 1/1/2 2/2/2 3/1/2", {0.75f, 1}, {0, 1, 0}},
      {"f 1//1 2//-1 3//1", {0, 0}, {0, 1, 0}},
      // The face normal (P0 - P1) x (P2 - P1) is (0, 0, -1) here; one corner
      // without a normal gives it to every corner.
      {"f 1//2 2 3//2", {0, 0}, {0, 0, -1}},
  };
  std::vector<std::string> texts;
  for (const auto& c : cases) texts.push_back(std::string(lists) + c.face);
  UseTexts(texts);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    ASSERT_TRUE(LoadCase(i)) << c.face;
    ASSERT_EQ(m_model.m_loadedVertices.size(), 3u) << c.face;
    const rvObjVertex& v = m_model.m_loadedVertices[1];
    EXPECT_EQ(v.position, glm::vec3(1, 0, 0)) << c.face;
    EXPECT_EQ(v.texcoord, c.texcoord1) << c.face;
    EXPECT_EQ(v.normal, c.normal1) << c.face;
    EXPECT_EQ(m_model.m_loadedIndices, (std::vector<uint32_t>{3, 0, 1, 2})) << c.face;
  }
}

TEST_F(ObjModel, MeshesAreNamedByObjectLinesAndSplitByMaterials) {
  const struct {
    const char* text;
    std::vector<std::string> names;
  } cases[] = {
      {"f 1 2 3\n", {""}},
      {"o\nf 1 2 3\n", {""}},
      // Any line starting with o or g is an object line; its tail names the mesh.
      {"o first\nf 1 2 3\ngroupy\nf 1 2 3\n", {"first", ""}},
      {"o first\ngx\nf 1 2 3\n", {"unnamed"}},
      {"o first\nusemtl a\nf 1 2 3\nusemtl b\nf 3 2 1\no next\nf 1 2 3", {"first_2", "first", "next"}},
  };
  std::vector<std::string> texts;
  for (const auto& c : cases) texts.push_back(std::string(kTriangleVertices) + c.text);
  UseTexts(texts);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    ASSERT_TRUE(LoadCase(i)) << c.text;
    std::vector<std::string> names;
    for (const rvObjMesh& m : m_model.m_meshes) names.push_back(m.name);
    EXPECT_EQ(names, c.names) << c.text;
  }
}

TEST_F(ObjModel, LastFaceCountsWithOrWithoutALineBreak) {
  const char* const ends[] = {"f 1 2 3", "f 1 2 3\n", "f 1 2 3\r\n", "f 1 2 3  \t"};
  std::vector<std::string> texts;
  for (const char* end : ends) texts.push_back(std::string(kTriangleVertices) + end);
  UseTexts(texts);
  for (size_t i = 0; i < std::size(ends); ++i) {
    const char* end = ends[i];
    ASSERT_TRUE(LoadCase(i));
    ASSERT_EQ(m_model.m_meshes.size(), 1u) << end;
    EXPECT_EQ(m_model.m_meshes[0].polygons, (std::vector<uint32_t>{3, 0, 1, 2})) << end;
  }
}

TEST_F(ObjModel, MaterialsAreReadAndBoundInUseOrder) {
  const char* const mtl =
      "newmtl red\nKa 0.1 0.2 0.3\nKd 1 0 0\nKd 0.5 0.5\nNs 10\nNi 1.5\nd 0.25\nillum 2\n"
      "map_Kd img/red.png\nmap_Bump img/bump.png\n"
      "newmtl\nKd 0 1 0\n";
  const std::string obj = std::string("mtllib m.mtl\n") + kTriangleVertices +
                          "o a\nusemtl none\nf 1 2 3\no b\nusemtl red\nf 1 2 3\n";
  ASSERT_TRUE(LoadText(obj, {{"models/m.mtl", mtl}, {"m.mtl", mtl}}));
  ASSERT_EQ(m_model.m_materials.size(), 2u);
  const rvObjMaterial& red = m_model.m_materials[0];
  EXPECT_EQ(red.name, "red");
  EXPECT_EQ(red.Ka, glm::vec3(0.1f, 0.2f, 0.3f));
  EXPECT_EQ(red.Kd, glm::vec3(1, 0, 0)) << "two numbers leave Kd as it was";
  EXPECT_EQ(red.Ns, 10.0f);
  EXPECT_EQ(red.Ni, 1.5f);
  EXPECT_EQ(red.d, 0.25f);
  EXPECT_EQ(red.illum, 2);
  EXPECT_EQ(red.map_Kd, "img/red.png");
  EXPECT_EQ(red.map_bump, "img/bump.png");
  EXPECT_EQ(m_model.m_materials[1].name, "none");
  // The first "usemtl" names mesh 0, the second mesh 1.
  ASSERT_EQ(m_model.m_meshes.size(), 2u);
  EXPECT_EQ(m_model.m_meshes[0].material.name, "none");
  EXPECT_EQ(m_model.m_meshes[0].material.Kd, glm::vec3(0, 1, 0));
  EXPECT_EQ(m_model.m_meshes[1].material.name, "red");
}

TEST_F(ObjModel, MaterialLibraryIsFoundBesideTheObjFile) {
  UsePack({{"meshes/scene/m.obj", std::string("mtllib lib.mtl\n") + kTriangleVertices + "usemtl x\nf 1 2 3\n"},
           {"meshes/scene/lib.mtl", "newmtl x\nKd 0 0 1\n"}});
  ASSERT_TRUE(m_model.Load("meshes/scene/m.obj", glm::vec3(1.0f), 1.0f));
  EXPECT_EQ(m_model.m_meshes[0].material.Kd, glm::vec3(0, 0, 1));
}

// ---------------------------------------------------------------------------
// Bad input
// ---------------------------------------------------------------------------

TEST_F(ObjModel, BadCornersDropTheirFaceWithOneLogLine) {
  const struct {
    const char* text;
    size_t faces;
    int dropped;
  } cases[] = {
      {"f 0 1 2\nf 1 2 3\n", 1, 1},
      {"f 1 2 4\n", 0, 1},
      {"f -4 -3 -2\n", 0, 1},
      {"f 1/5 2/1 3/1\nf 1//9 2//1 3//1\nf 1 2 x\n", 0, 3},
      {"f 99999999999999999999 1 2\nf 1 2 3", 1, 1},
  };
  std::vector<std::string> texts;
  for (const auto& c : cases) texts.push_back(std::string(kTriangleVertices) + "vt 0 0\nvn 0 0 1\n" + c.text);
  UseTexts(texts);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    LogCapture log;
    const bool loaded = LoadCase(i);
    size_t faces = 0;
    for (const rvObjMesh& m : m_model.m_meshes) faces += m.polygons.empty() ? 0 : 1;
    EXPECT_EQ(faces, c.faces) << c.text;
    EXPECT_EQ(loaded, c.faces > 0) << c.text;
    const std::string line =
        "[rvObjModel] m" + std::to_string(i) + ".obj: " + std::to_string(c.dropped) + " malformed lines";
    EXPECT_TRUE(log.Contains(line)) << c.text << log.Text();
  }
}

TEST_F(ObjModel, MalformedNumbersReadAsZeroAndTheFileStillLoads) {
  LogCapture log;
  ASSERT_TRUE(LoadText("v 1 2\nv a b c\nv 0 1 0\nvt\nvt 0.5  0.5\nf 1 2 3\n"));
  ASSERT_EQ(m_model.m_loadedVertices.size(), 3u);
  EXPECT_EQ(m_model.m_loadedVertices[0].position, glm::vec3(1, 2, 0));
  EXPECT_EQ(m_model.m_loadedVertices[1].position, glm::vec3(0, 0, 0));
  EXPECT_TRUE(log.Contains("[rvObjModel] m.obj: 4 malformed lines"));
}

TEST_F(ObjModel, WrongExtensionMissingFileAndEmptyFileLoadNothing) {
  UsePack({{"m.txt", kTriangleVertices}, {"e.obj", "# nothing\n"}});
  for (const char* path : {"m.txt", "obj", "none.obj", "e.obj"}) {
    EXPECT_FALSE(m_model.Load(path, glm::vec3(1.0f), 1.0f)) << path;
    EXPECT_TRUE(m_model.m_meshes.empty()) << path;
  }
  EXPECT_FALSE(m_model.LoadMaterials("m.txt"));
}

TEST_F(ObjModel, AMissingOrEmptyFileClearsTheLastLoadAndSaysWhich) {
  const std::string quad = std::string(kTriangleVertices) + "v 1 1 0\nf 1 2 4 3\n";
  UsePack({{"q.obj", quad}, {"empty.obj", ""}});
  const struct {
    const char* path;
    const char* log;
  } cases[] = {{"empty.obj", "[rvObjModel] empty file: empty.obj"}, {"none.obj", "[rvObjModel] file not found: none.obj"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(m_model.Load("q.obj", glm::vec3(1.0f), 1.0f));
    ASSERT_EQ(m_model.m_meshes.size(), 1u);
    LogCapture log;
    EXPECT_FALSE(m_model.Load(c.path, glm::vec3(1.0f), 1.0f)) << c.path;
    EXPECT_TRUE(m_model.m_meshes.empty()) << c.path;
    EXPECT_TRUE(m_model.m_loadedVertices.empty()) << c.path;
    EXPECT_TRUE(m_model.m_loadedIndices.empty()) << c.path;
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
  }
}

TEST_F(ObjModel, ALibraryNamedThousandsOfTimesIsReadOnce) {
  UsePack({{"m.obj", hostile::ObjRepeatedLibrary(8000, "lib.mtl")}, {"lib.mtl", hostile::MtlLibrary(750)}});
  ASSERT_TRUE(m_model.Load("m.obj", glm::vec3(1.0f), 1.0f));
  EXPECT_EQ(m_model.m_materials.size(), 750u) << "one read of the library, not 8000";
  ASSERT_EQ(m_model.m_meshes.size(), 1u);
  EXPECT_EQ(m_model.m_meshes[0].material.name, "m1");
  EXPECT_EQ(m_model.m_meshes[0].material.Kd, glm::vec3(0.5f, 0.25f, 1.0f));
  // A second load reads nothing again; Clear forgets the library with its
  // materials.
  ASSERT_TRUE(m_model.Load("m.obj", glm::vec3(1.0f), 1.0f));
  EXPECT_EQ(m_model.m_materials.size(), 750u);
  m_model.Clear();
  EXPECT_TRUE(m_model.LoadMaterials("lib.mtl"));
  EXPECT_EQ(m_model.m_materials.size(), 750u);
}

// ---------------------------------------------------------------------------
// Real files
// ---------------------------------------------------------------------------

std::string TestFile(const std::string& name) {
  std::ifstream in(std::string(VELMORA_TESTDATA_DIR) + "/obj/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(ObjModel, SharedObjFilesLoad) {
  const char* const files[] = {"cube.obj", "cube.mtl", "cornell_box.obj", "cornell_box.mtl",
                               "issue-162-smoothing-group.obj", "issue-162-smoothing-group.mtl",
                               "issue-235-usemtl-then-o.obj", "issue-235.mtl", "issue-319-002.obj",
                               "invalid-relative-vertex-index.obj"};
  PackFiles pack;
  for (const char* f : files) pack[std::string("obj/") + f] = TestFile(f);
  UsePack(pack);
  const struct {
    const char* file;
    bool loads;
    size_t meshes;
    size_t faces;
    size_t triangles;  // drawn
    const char* firstMaterial;
  } cases[] = {
      {"cube.obj", true, 6, 6, 12, "white"},
      {"cornell_box.obj", true, 9, 18, 36, "white"},
      {"issue-162-smoothing-group.obj", true, 2, 12, 12, "test1"},
      {"issue-235-usemtl-then-o.obj", true, 2, 2, 2, "None"},
      {"issue-319-002.obj", true, 1, 3, 5 + 6 + 3, ""},
      {"invalid-relative-vertex-index.obj", false, 0, 0, 0, ""},
  };
  for (const auto& c : cases) {
    rvObjModel model;
    EXPECT_EQ(model.Load(std::string("obj/") + c.file, glm::vec3(1.0f), 1.0f), c.loads) << c.file;
    EXPECT_EQ(model.m_meshes.size(), c.meshes) << c.file;
    size_t faces = 0;
    for (size_t i = 0; i < model.m_loadedIndices.size(); i += 1 + model.m_loadedIndices[i]) ++faces;
    EXPECT_EQ(faces, c.faces) << c.file;
    VectorGeometry g;
    model.DrawToVectorDisplay(g);
    EXPECT_EQ(static_cast<size_t>(g.m_triangles.count), c.triangles) << c.file;
    if (!model.m_meshes.empty()) EXPECT_EQ(model.m_meshes[0].material.name, c.firstMaterial) << c.file;
  }
}

// ---------------------------------------------------------------------------
// The effect
// ---------------------------------------------------------------------------

class ObjEffect : public DefaultTargetTest {
 protected:
  ObjEffect() : DefaultTargetTest(64, 64) {}
};

TEST_F(ObjEffect, EveryFrameHandsThePolygonsToTheCurrentDisplay) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/meshes/q.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n"}}));
  EnterDir(dir);
  fxBase* fx = AddItem(ParseJson(
      R"({"Class":"fxObjLoader","Properties":{"OBJ":"meshes/q.obj","Thickness":0.4,"Color.r":1,"Color.g":0,"Color.b":0.5}})"));
  ASSERT_NE(fx, nullptr);
  fx->SetState(StateRunning);
  for (int frame = 0; frame < 2; ++frame) {
    g_pCurrentVectorDisplay->ClearGeometry();
    fx->ExternalUpdate();
    const VectorGeometry& g = *g_pCurrentVectorDisplay;
    ASSERT_EQ(g.m_triangles.count, 2);
    EXPECT_EQ(g.m_triangles.data()[0].v[0].color, glm::vec3(1.0f, 0.0f, 0.5f));
    EXPECT_FLOAT_EQ(g.m_triangles.data()[1].v[2].thickness, 0.4f);
  }
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(g_pCurrentProgram, nullptr);
}

}  // namespace
