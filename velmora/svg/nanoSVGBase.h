// The SVG shape set: an SVG file loaded as named shapes. From the element ids
// and classes the parser keeps it derives a small scene description: image
// size and a fit scale against the current render target, the pivot (a path
// named PIVOT...), the CACHE1..3 shapes, stroke colours for the classes
// "cls-1".."cls-8", objects (runs of consecutive shapes of one id), the ENG
// groups (ENG<object>.<shape>[-<set>]) with their enclosing circles, and
// triangulated fills on the GPU for the objects named CACHE...
//
// Depends on the SVG parser, the one cubic flattener (SvgFlatten.h), the
// enclosing-circle solver, the GLU tessellator and the C-library generator
// (group colours). Owns the parsed image, the objects with their GPU buffers
// and the groups. The work on a parsed image (Adopt) touches neither the data
// pack nor GL; Load (nanoSVGLoad.cpp) reads the file, logs and uploads the
// fills, so it runs on the main thread with a GL context.
#pragma once
#include <glm/glm.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "svg/SvgImage.h"

// Stroke colours the shape set gives the classes "cls-1" to "cls-8".
constexpr int kSvgClassColorCount = 8;
extern const uint32_t kSvgClassColors[kSvgClassColorCount];

// Fill indices are 16-bit: a polygon with more vertices gets no fill.
constexpr size_t kSvgMaxFillVertices = 65535;

// A run of consecutive shapes sharing an id (or an ENG prefix).
struct SvgObject {
  char name[200];  // the id of the first shape
  std::vector<SvgShape*> shapes;  // not owned, image order
  bool visible;
  bool eng;
  bool cached;
  bool cache3;
  // The triangulated fill: x, y pairs and 16-bit indices into them, made on
  // the CPU; the GPU copies below exist once Load uploaded them.
  std::vector<float> fillVertices;
  std::vector<uint16_t> fillIndices;
  bool fillSkipped;  // too many vertices for 16-bit indices
  uint32_t vertexBuffer;
  uint32_t indexBuffer;
  uint32_t vertexArray;
  int indexCount;
  uint32_t indexType;  // GL_UNSIGNED_SHORT once a fill is built
};

// A group of shapes named ENGo.g or ENGo.g-h, with the smallest circle around
// the points of their paths. Nothing in the engine reads the matrix, the
// flag, the colour or the three loose values; they are kept as a group is
// described so that the record is complete.
struct EngGroup {
  std::vector<SvgShape*> shapes;  // not owned
  glm::mat4 matrix{1.0f};
  glm::vec3 center{0.0f};
  float radius = 0.0f;
  bool flag = false;      // random
  float weight = 1.0f;
  std::string name;       // the id of the group's last shape
  uint8_t mark = 0;
  float pending = 0.1f;   // 0 once a shape has joined
  float color[3] = {0.0f, 0.0f, 0.0f};  // random, 0..0.999

  // Centre and radius from every point (controls included) of the paths of
  // more than one point; a group without such a path keeps (0, 0, 0), 0.
  void ComputeEnclosingCircle();
};

// Appends the flattened cubic P0..P3 (P0 not included) to `out` as x, y
// pairs: the fills' use of the shared flattener.
void FlattenCubicToPolygon(const float p[8], float tolerance, int level, std::vector<float>& out);

// Triangulates a polygon of rings (the first the outline, the others holes;
// even-odd rule) given as joined x, y pairs and the start of each ring.
// Vertices the tessellator adds at crossings are appended to `xy`. False,
// with no indices, when the vertices would not fit 16-bit indices.
bool TriangulateRings(std::vector<float>& xy, const std::vector<size_t>& ringStarts, std::vector<uint16_t>& indices);

class nanoSVGBase {
 public:
  nanoSVGBase();
  ~nanoSVGBase();
  nanoSVGBase(const nanoSVGBase&) = delete;
  nanoSVGBase& operator=(const nanoSVGBase&) = delete;

  // Loading and release, as a pair. Load parses `path` from the data pack at
  // 96 dpi against the current render target's size: 1, or -1 for a null
  // path or a file that does not parse ("Could not open SVG image.\n"). The
  // caller clears the set first. Clear releases the image and the objects
  // with their GPU buffers; the groups stay until the next load or the
  // destructor.
  int Load(const char* path);
  void Clear();
  void Draw() {}

  // Takes ownership of a parsed image (which may be null) and derives
  // everything but the GPU buffers, for a target of the given size.
  void Adopt(SvgImage* image, int targetWidth, int targetHeight);
  // Uploads the fills Adopt triangulated (GL context required).
  void UploadFills();
  // Objects whose fill was skipped for having too many vertices.
  int SkippedFills() const;

  SvgShape* FindShape(const char* name) const;
  void BuildObjects();
  void BuildEngGroups();
  EngGroup* NewEngGroup();
  void BuildCachedFills();
  void ReleaseGroups();

  SvgImage* m_image = nullptr;
  int m_shapeCount = 0;
  float m_halfWidth = 0.0f;
  float m_halfHeight = 0.0f;
  SvgPath* m_pivotPath = nullptr;
  SvgShape* m_cacheShapes[3] = {nullptr, nullptr, nullptr};
  glm::vec2 m_pivot{0.0f};
  bool m_cached = false;
  std::vector<SvgObject*> m_objects;
  glm::mat4 m_drawMatrix{1.0f};
  float m_fitScale = 0.0f;
  std::vector<EngGroup*> m_groups;

 private:
  void ComputeFitScale(int targetWidth, int targetHeight);
  void FindPivot();
  void CloseObject(SvgObject* object);
  void ReleaseObjects();
};
