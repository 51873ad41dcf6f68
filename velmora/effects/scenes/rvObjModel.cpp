// OBJ models. See rvObjModel.h.
//
// [SECTION] Text helpers
// [SECTION] OBJ reader
// [SECTION] Faces
// [SECTION] MTL reader
// [SECTION] Drawing
#include "effects/scenes/rvObjModel.h"

#include <charconv>
#include <cstring>

#include "core/AppLog.h"
#include "effects/scenes/ModelFile.h"

namespace {
constexpr const char* kLog = "rvObjModel";
}

//-----------------------------------------------------------------------------
// [SECTION] Text helpers
//-----------------------------------------------------------------------------

std::vector<std::string> SplitTokens(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(delimiter, start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

size_t FirstTokenEnd(const std::string& line) {
  size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  while (p < line.size() && !IsBlank(line[p])) ++p;
  return p;
}

std::string FirstToken(const std::string& line) {
  size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  return line.substr(p, FirstTokenEnd(line) - p);
}

// Calls `visit` with every line of the buffer: leading and trailing blanks
// removed, ended by NUL, LF or CR; the last line counts without a line
// break, and a NUL ends the file.
template <class Visit>
void ForEachLine(const std::vector<unsigned char>& bytes, Visit visit) {
  const char* p = reinterpret_cast<const char*>(bytes.data());
  const char* const end = p + bytes.size();
  while (p < end && *p != '\0') {
    while (p < end && IsBlank(*p)) ++p;
    const char* start = p;
    while (p < end && *p != '\0' && *p != '\n' && *p != '\r') ++p;
    const char* stop = p;
    while (stop > start && IsBlank(stop[-1])) --stop;
    visit(std::string(start, stop));
    while (p < end && (*p == '\n' || *p == '\r')) ++p;
  }
}

// A number in the C locale's form whatever the process locale; false when
// the text is not one. A leading '+' is allowed.
bool ParseFloat(const std::string& text, float& out) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first < last && *first == '+') ++first;
  const auto result = std::from_chars(first, last, out);
  return result.ec == std::errc() && first != last;
}

bool ParseInt(const std::string& text, long& out) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first < last && *first == '+') ++first;
  const auto result = std::from_chars(first, last, out);
  return result.ec == std::errc() && first != last;
}

std::vector<std::string> NonEmpty(std::vector<std::string> pieces) {
  std::vector<std::string> out;
  for (std::string& p : pieces)
    if (!p.empty()) out.push_back(std::move(p));
  return out;
}

// The first n numbers of the pieces; false (missing ones 0) when fewer
// pieces or an unreadable number.
bool ReadFloats(const std::vector<std::string>& pieces, float* out, size_t n) {
  bool ok = pieces.size() >= n;
  for (size_t i = 0; i < n; ++i) {
    out[i] = 0.0f;
    if (i < pieces.size() && !ParseFloat(pieces[i], out[i])) {
      out[i] = 0.0f;
      ok = false;
    }
  }
  return ok;
}

bool EndsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

std::string LineTail(const std::string& line) {
  size_t p = FirstTokenEnd(line);
  while (p < line.size() && IsBlank(line[p])) ++p;
  size_t end = line.size();
  while (end > p && IsBlank(line[end - 1])) --end;
  return line.substr(p, end - p);
}

//-----------------------------------------------------------------------------
// [SECTION] OBJ reader
//-----------------------------------------------------------------------------

rvObjMesh::rvObjMesh(const std::vector<rvObjVertex>& sourceVertices, const std::vector<uint32_t>& polygonList,
                     const glm::vec3& color, float thickness)
    : vertices(sourceVertices), polygons(polygonList) {
  displayVertices.reserve(vertices.size());
  for (const rvObjVertex& v : vertices) {
    VectorVertex d;
    d.position = v.position;
    d.color = color;
    d.flags = 0;
    d.thickness = thickness;
    displayVertices.push_back(d);
  }
}

void rvObjModel::Clear() {
  m_meshes.clear();
  m_loadedVertices.clear();
  m_loadedIndices.clear();
  m_materials.clear();
  m_libraries.clear();
}

namespace {

// The reader's running state for one OBJ file.
struct ObjReader {
  explicit ObjReader(rvObjModel& m) : model(m) {}

  rvObjModel& model;
  std::vector<glm::vec3> positions;
  std::vector<glm::vec2> texcoords;
  std::vector<glm::vec3> normals;
  std::vector<rvObjVertex> vertices;  // of the current mesh
  std::vector<uint32_t> polygons;
  std::vector<std::string> materialNames;
  std::string name;
  bool listening = false;
  int malformed = 0;

  bool Pending() const { return !vertices.empty() && !polygons.empty(); }
  void EmitMesh(const std::string& meshName) {
    model.m_meshes.emplace_back(vertices, polygons, model.m_color, model.m_thickness);
    model.m_meshes.back().name = meshName;
    vertices.clear();
    polygons.clear();
  }

  void ObjectLine(const std::string& line) {
    const std::string tail = LineTail(line);
    if (!listening) {
      listening = true;
      name = tail;
    } else if (Pending()) {
      EmitMesh(name);
      name = tail;
    } else {
      const std::string token = FirstToken(line);
      name = token == "o" || token == "g" ? tail : "unnamed";
    }
  }

  void Face(const std::string& line) {
    std::vector<rvObjVertex> corners;
    if (!rvObjModel::ParseFace(LineTail(line), positions, texcoords, normals, corners)) {
      ++malformed;
      return;
    }
    const uint32_t meshBase = static_cast<uint32_t>(vertices.size());
    const uint32_t loadedBase = static_cast<uint32_t>(model.m_loadedVertices.size());
    vertices.insert(vertices.end(), corners.begin(), corners.end());
    model.m_loadedVertices.insert(model.m_loadedVertices.end(), corners.begin(), corners.end());
    const uint32_t n = static_cast<uint32_t>(corners.size());
    if (n < 3) return;
    polygons.push_back(n);
    model.m_loadedIndices.push_back(n);
    for (uint32_t k = 0; k < n; ++k) {
      polygons.push_back(meshBase + k);
      model.m_loadedIndices.push_back(loadedBase + k);
    }
  }

  void Line(const std::string& line, const std::string& objPath) {
    if (line.empty()) return;
    if (line[0] == 'o' || line[0] == 'g') {
      ObjectLine(line);
      return;
    }
    const std::string token = FirstToken(line);
    if (token == "v" || token == "vn") {
      float xyz[3];
      if (!ReadFloats(NonEmpty(SplitTokens(LineTail(line), ' ')), xyz, 3)) ++malformed;
      (token == "v" ? positions : normals).emplace_back(xyz[0], xyz[1], xyz[2]);
    } else if (token == "vt") {
      float uv[2];
      if (!ReadFloats(SplitTokens(LineTail(line), ' '), uv, 2)) ++malformed;
      texcoords.emplace_back(uv[0], uv[1]);
    } else if (token == "f") {
      Face(line);
    } else if (token == "usemtl") {
      materialNames.push_back(LineTail(line));
      if (Pending()) EmitMesh(name + "_2");
    } else if (token == "mtllib") {
      std::string mtl;
      const std::vector<std::string> pieces = SplitTokens(objPath, '/');
      for (size_t i = 0; i + 1 < pieces.size(); ++i) mtl += pieces[i] + "/";
      model.LoadMaterials(mtl + LineTail(line));
    }
  }
};

}  // namespace

bool rvObjModel::Load(const std::string& path, const glm::vec3& color, float thickness) {
  if (!EndsWith(path, ".obj")) return false;
  // Emptied before the read: a file that is missing or empty leaves no mesh
  // of an earlier load behind.
  m_meshes.clear();
  m_loadedVertices.clear();
  m_loadedIndices.clear();
  m_color = color;
  m_thickness = thickness;
  std::vector<unsigned char> bytes;
  if (!ReadModelFile(path, bytes, kLog)) return false;

  ObjReader reader(*this);
  ForEachLine(bytes, [&](const std::string& line) { reader.Line(line, path); });
  if (reader.Pending()) reader.EmitMesh(reader.name);
  for (size_t j = 0; j < reader.materialNames.size() && j < m_meshes.size(); ++j) {
    for (const rvObjMaterial& m : m_materials) {
      if (m.name == reader.materialNames[j]) {
        m_meshes[j].material = m;
        break;
      }
    }
  }
  if (reader.malformed > 0)
    AppLog::Get().AddLog("[%s] %s: %d malformed lines skipped or read as 0\n", kLog, path.c_str(), reader.malformed);
  return !(m_meshes.empty() && m_loadedVertices.empty() && m_loadedIndices.empty());
}

//-----------------------------------------------------------------------------
// [SECTION] Faces
//-----------------------------------------------------------------------------

namespace {

enum CornerForm { FormV = 1, FormVT = 2, FormVTN = 3, FormVN = 4 };

// 1-based from the front, negative from the back of the list as read so
// far; 0 and anything outside the list name nothing.
template <class T>
bool Resolve(const std::string& text, const std::vector<T>& list, T& out) {
  long k = 0;
  if (!ParseInt(text, k)) return false;
  const long count = static_cast<long>(list.size());
  const long i = k > 0 ? k - 1 : count + k;
  if (k == 0 || i < 0 || i >= count) return false;
  out = list[static_cast<size_t>(i)];
  return true;
}

}  // namespace

bool rvObjModel::ParseFace(const std::string& tail, const std::vector<glm::vec3>& positions,
                           const std::vector<glm::vec2>& texcoords, const std::vector<glm::vec3>& normals,
                           std::vector<rvObjVertex>& corners) {
  std::vector<rvObjVertex> out;
  bool needsFaceNormal = false;
  int previous = 0;
  for (const std::string& piece : NonEmpty(SplitTokens(tail, ' '))) {
    const std::vector<std::string> parts = SplitTokens(piece, '/');
    int form = 0;
    if (parts.size() == 1) form = FormV;
    if (parts.size() == 2) form = FormVT;
    if (parts.size() == 3) form = parts[1].empty() ? FormVN : FormVTN;
    // Another count of parts reads in the form of the corner before; as
    // the first corner it ends the face.
    if (form == 0) form = previous;
    if (form == 0) break;
    const size_t needed = form == FormV ? 1 : form == FormVT ? 2 : 3;
    if (parts.size() < needed) return false;
    rvObjVertex v;
    if (!Resolve(parts[0], positions, v.position)) return false;
    if ((form == FormVT || form == FormVTN) && !Resolve(parts[1], texcoords, v.texcoord)) return false;
    if ((form == FormVN || form == FormVTN) && !Resolve(parts[2], normals, v.normal)) return false;
    needsFaceNormal |= form == FormV || form == FormVT;
    previous = form;
    out.push_back(v);
  }
  if (needsFaceNormal && out.size() >= 3) {
    const glm::vec3 n = glm::cross(out[0].position - out[1].position, out[2].position - out[1].position);
    for (rvObjVertex& v : out) v.normal = n;
  }
  corners.insert(corners.end(), out.begin(), out.end());
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] MTL reader
//-----------------------------------------------------------------------------

bool rvObjModel::LoadMaterials(const std::string& path) {
  if (!EndsWith(path, ".mtl")) return false;
  // A library named again adds nothing the first read did not (the first
  // material of a name wins), so it is read once, however many lines name
  // it.
  if (!m_libraries.insert(path).second) return true;
  std::vector<unsigned char> bytes;
  if (!ReadModelFile(path, bytes, kLog)) return false;
  rvObjMaterial current;
  bool listening = false;
  ForEachLine(bytes, [&](const std::string& line) {
    const std::string token = FirstToken(line);
    const std::string tail = LineTail(line);
    float value = 0.0f;
    if (token == "newmtl") {
      if (listening) {
        m_materials.push_back(current);
        current = rvObjMaterial();
      }
      listening = true;
      current.name = line.size() >= 8 ? tail : "none";
    } else if (token == "Ka" || token == "Kd" || token == "Ks") {
      const std::vector<std::string> pieces = SplitTokens(tail, ' ');
      float rgb[3];
      if (pieces.size() == 3 && ReadFloats(pieces, rgb, 3))
        (token == "Ka" ? current.Ka : token == "Kd" ? current.Kd : current.Ks) = glm::vec3(rgb[0], rgb[1], rgb[2]);
    } else if (token == "Ns" || token == "Ni" || token == "d") {
      if (ParseFloat(tail, value)) (token == "Ns" ? current.Ns : token == "Ni" ? current.Ni : current.d) = value;
    } else if (token == "illum") {
      long illum = 0;
      if (ParseInt(tail, illum)) current.illum = static_cast<int>(illum);
    } else if (token == "map_Ka") {
      current.map_Ka = tail;
    } else if (token == "map_Kd") {
      current.map_Kd = tail;
    } else if (token == "map_Ks") {
      current.map_Ks = tail;
    } else if (token == "map_Ns") {
      current.map_Ns = tail;
    } else if (token == "map_d") {
      current.map_d = tail;
    } else if (token == "map_Bump" || token == "map_bump" || token == "bump") {
      current.map_bump = tail;
    }
  });
  m_materials.push_back(current);
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

void rvObjModel::DrawToVectorDisplay() const {
  if (VectorGeometry* display = CurrentVectorGeometry()) DrawToVectorDisplay(*display);
}

void rvObjModel::DrawToVectorDisplay(VectorGeometry& out) const {
  for (const rvObjMesh& mesh : m_meshes) {
    const std::vector<uint32_t>& list = mesh.polygons;
    const size_t vertexCount = mesh.displayVertices.size();
    size_t p = 0;
    while (p < list.size()) {
      const uint32_t n = list[p];
      // A polygon running past the list, or naming a vertex the mesh does
      // not have, ends this mesh's walk.
      if (n > list.size() - p - 1) break;
      const uint32_t* idx = &list[p + 1];
      p += 1 + n;
      bool inside = true;
      for (uint32_t k = 0; k < n; ++k) inside &= idx[k] < vertexCount;
      if (!inside) break;
      if (n <= 2) continue;
      // A fan: T1 = (v0, v1, v2), Tk = (v0, vk, vk+1). The flags hide the
      // edges back to and from v0 inside the polygon, so only its outline
      // shows.
      const int triangles = static_cast<int>(n) - 2;
      VectorTriangle* t = out.m_triangles.Append(triangles);
      for (int k = 0; k < triangles; ++k) {
        t[k].v[0] = mesh.displayVertices[idx[0]];
        t[k].v[1] = mesh.displayVertices[idx[k + 1]];
        t[k].v[2] = mesh.displayVertices[idx[k + 2]];
        if (k + 1 < triangles) t[k].v[2].flags |= PTF_TRIANGLE_DISCARDLINE;
        if (k > 0) t[k].v[0].flags |= PTF_TRIANGLE_DISCARDLINE;
      }
    }
  }
}
