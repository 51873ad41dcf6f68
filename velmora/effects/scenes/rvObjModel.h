// OBJ models: a line-oriented reader of Wavefront OBJ files and their MTL
// material libraries from the data pack. Object and group lines split the
// file into meshes; faces stay polygons; every vertex gets, at load time,
// the colour and thickness its owner asks for. Each frame the polygons go
// to the current vector display as fans of wire-frame triangles whose inner
// edges are hidden, so only the polygon outlines glow.
//
// Numbers are read independently of the C locale. Face corners that name
// no vertex read so far (index 0, or past either end) drop their face with
// one log line for the file; nothing is read outside the lists.
// Depends on the vector geometry (render/VectorGeometry.h) and the model
// file read (ModelFile.h). Owns its meshes and materials. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "render/VectorGeometry.h"

// Position, normal, texture coordinate.
struct rvObjVertex {
  glm::vec3 position{0.0f};
  glm::vec3 normal{0.0f};
  glm::vec2 texcoord{0.0f};
};

struct rvObjMaterial {
  std::string name;
  glm::vec3 Ka{0.0f}, Kd{0.0f}, Ks{0.0f};
  float Ns = 0.0f, Ni = 0.0f, d = 0.0f;
  int illum = 0;
  std::string map_Ka, map_Kd, map_Ks, map_Ns, map_d, map_bump;
};

// A polygon list is [n, i0 .. in-1] per face, faces one after another.
struct rvObjMesh {
  rvObjMesh(const std::vector<rvObjVertex>& vertices, const std::vector<uint32_t>& polygons, const glm::vec3& color,
            float thickness);

  std::string name;
  std::vector<rvObjVertex> vertices;
  std::vector<VectorVertex> displayVertices;
  std::vector<uint32_t> polygons;
  rvObjMaterial material;
};

// Pieces of `text` between the delimiters, in order: an empty piece for
// each pair of adjacent delimiters and for a leading one, none after a
// trailing one.
std::vector<std::string> SplitTokens(const std::string& text, char delimiter);
// The text after the first token, without the blanks around it.
std::string LineTail(const std::string& line);

class rvObjModel {
 public:
  // Reads the OBJ file (path ending in ".obj"); true when anything was read.
  bool Load(const std::string& path, const glm::vec3& color, float thickness);
  // Reads an MTL file (path ending in ".mtl") and appends its materials;
  // a library already read (since the last Clear) is not read again.
  bool LoadMaterials(const std::string& path);
  // The corners of one face from an "f" line's tail, resolved against the
  // lists read so far; false (nothing appended) when a corner names no
  // vertex, texture coordinate or normal of them.
  static bool ParseFace(const std::string& tail, const std::vector<glm::vec3>& positions,
                        const std::vector<glm::vec2>& texcoords, const std::vector<glm::vec3>& normals,
                        std::vector<rvObjVertex>& corners);
  void Clear();
  // Every polygon of every mesh into the current vector display (nothing
  // without one), or into `out`.
  void DrawToVectorDisplay() const;
  void DrawToVectorDisplay(VectorGeometry& out) const;

  std::vector<rvObjMesh> m_meshes;
  std::vector<rvObjVertex> m_loadedVertices;
  std::vector<uint32_t> m_loadedIndices;
  std::vector<rvObjMaterial> m_materials;  // kept across loads
  std::set<std::string> m_libraries;       // read into m_materials, kept with them
  glm::vec3 m_color{1.0f};
  float m_thickness = 1.0f;
};
