// Vector geometry: the CPU side of the vector display. One frame's line
// strips, dots, wire-frame triangles and textured quads live here in four
// growable arrays, filled by MoveTo/LineTo/EndLine, AddPoint, AddTriangle,
// AddCube and AddTexturedQuad with the current colour and thickness of the
// settings block. No GL: `vector_display` (VectorDisplay.h) owns this part and
// uploads the arrays at its flush, so effects, the shape tree and tests fill
// and inspect geometry without a context.
//
// The arrays are a contract: callers may append records they built themselves
// (Grow* first), laid out as the calls below would lay them out.
#pragma once
#include <glm/glm.hpp>

#include <cstdint>
#include <cstring>
#include <vector>

class rvTransform;
class VectorGeometry;

// Vertex flag bits; the shaders test the same names.
enum : int32_t {
  PTF_LINE_STRIPSTART = 1,
  PTF_LINE_STRIPEND = 2,
  PTF_TRIANGLE_DISCARDLINE = 4,
  PTF_TEXTURE_MAPPING = 8,
};

// The vertex of every primitive and the GPU vertex format (stride 32).
// With PTF_TEXTURE_MAPPING, bits 24..31 of the flags hold u x 255 and bits
// 16..23 hold v x 255.
struct VectorVertex {
  glm::vec3 position{0.0f};
  glm::vec3 color{1.0f};
  int32_t flags = 0;
  float thickness = 0.5f;
};
static_assert(sizeof(VectorVertex) == 32, "VectorVertex is the GPU layout");

struct VectorTriangle {
  VectorVertex v[3];
};
static_assert(sizeof(VectorTriangle) == 96, "uploaded as it is");

// Two triangles and the GL texture they show.
struct VectorQuad {
  VectorVertex v[6];
  uint32_t texture = 0;
};
static_assert(sizeof(VectorQuad) == 196, "uploaded as it is");

// Packs texture coordinates into vertex flags (PTF_TEXTURE_MAPPING included).
int32_t TextureMappingFlags(float u, float v);

// The look of a display; copied whole by the vector display settings effect.
struct VectorDisplaySettings {
  float decaySteps = 10.0f;
  float decayFinal = 0.2f;
  float decayInitial = 0.2f;
  float decayRamp = 1.0f;
  bool decayCamera = false;
  glm::vec2 thickness{0.1f, 2.0f};  // min, max of the screen-space thickness
  float thicknessFactor = 1.0f;
  float currentThickness = 0.5f;
  float colorIntensity = 1.0f;
  float colorBrightness = 1.0f;
  glm::vec4 currentColor{1.0f};  // only r, g, b reach a vertex
  glm::vec2 fogZ{500.0f, 1000.0f};
  float fogPower = 3.0f;
  bool triangleCulling = true;
  int importColor = 0;  // 0 "No", 1 "Copy"
  int importDepth = 0;  // 0 "No", 1 "Copy"
  int exportColor = 1;  // 0 "Copy", 1 "Add", 2 "Max", 3 "Alpha"
  int exportDepth = 0;  // 0 "No", 1 "Copy"
};

// A growable array of one primitive kind. Starts at 60 zero-filled entries
// and doubles (keeping its contents) until a request fits; never shrinks, so
// the storage is reused frame after frame.
template <class T>
struct VectorArray {
  static constexpr int kInitialCapacity = 60;

  int capacity = 0;
  int count = 0;
  std::vector<T> storage;

  void Allocate() {
    storage.assign(kInitialCapacity, T{});
    capacity = kInitialCapacity;
    count = 0;
  }
  // Makes room for n more entries.
  void Grow(int n) {
    if (capacity <= 0) Allocate();
    int want = capacity;
    while (count + n > want) want *= 2;
    if (want != capacity) {
      storage.resize(static_cast<size_t>(want));
      capacity = want;
    }
  }
  // Grows, then hands out n entries at the end.
  T* Append(int n) {
    Grow(n);
    T* out = storage.data() + count;
    count += n;
    return out;
  }
  T* data() { return storage.data(); }
  const T* data() const { return storage.data(); }
};

// The line array also tracks the strip being built: 2 after MoveTo, +1 per
// LineTo, 0 after EndLine. `strips` counts the finished strips of the frame;
// callers that lay strips out themselves add 1 per strip.
struct VectorLineArray : VectorArray<VectorVertex> {
  int openStrip = 0;
  int strips = 0;
};

// The four counts a shape node records around its drawing.
struct VectorCounts {
  int points = 0;
  int lineVertices = 0;
  int triangles = 0;
  int quads = 0;
  bool operator==(const VectorCounts& o) const {
    return points == o.points && lineVertices == o.lineVertices && triangles == o.triangles && quads == o.quads;
  }
  bool operator!=(const VectorCounts& o) const { return !(*this == o); }
};

// The geometry of the current vector display, or null when there is none
// (defined with the display, VectorDisplay.cpp).
VectorGeometry* CurrentVectorGeometry();

// out = M (p, 1) with M the transform's matrix; a null transform copies p.
void TransformPoint(glm::vec3& out, const rvTransform* transform, const glm::vec3& p);

class VectorGeometry {
 public:
  VectorGeometry();

  // Appending (current colour and thickness of m_settings).
  void MoveTo(float x, float y, float z);
  void MoveToTransformed(const glm::vec3& p, const rvTransform* transform);
  void LineTo(float x, float y, float z);
  void EndLine();
  void DrawLine(const glm::vec3& a, const glm::vec3& b, const glm::mat4& matrix);
  void AddTriangle(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c);
  void AddCube(const VectorVertex corners[8]);
  void AddPoint(const VectorVertex& vertex);
  void AddTexturedQuad(const VectorVertex vertices[6], uint32_t texture);

  void GrowLineVertices(int n) { m_lines.Grow(n); }
  void GrowTriangles(int n) { m_triangles.Grow(n); }

  VectorCounts Counts() const;
  bool IsEmpty() const;
  // Empties the four arrays (after a flush that drew, or a resize).
  void ClearGeometry();

  VectorDisplaySettings m_settings;
  VectorArray<VectorVertex> m_points;
  VectorLineArray m_lines;
  VectorArray<VectorTriangle> m_triangles;
  VectorArray<VectorQuad> m_quads;
  // Counts the clears: counts recorded before the latest one are stale.
  uint32_t m_clearCount = 0;

 private:
  VectorVertex CurrentVertex(float x, float y, float z, int32_t flags) const;
};
