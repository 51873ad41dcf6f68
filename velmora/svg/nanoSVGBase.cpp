// The SVG shape set's work on a parsed image: fit scale, pivot, objects,
// ENG groups with their circles, fills triangulated by the GLU tessellator
// and their GPU buffers. See nanoSVGBase.h; the file read lives in
// nanoSVGLoad.cpp.
//
// Index:
//   [SECTION] Construction and release
//   [SECTION] Adopting an image
//   [SECTION] Objects
//   [SECTION] ENG groups
//   [SECTION] Fills
#include "svg/nanoSVGBase.h"

#include <glad/gl.h>
// The tessellator's header after glad, which already declared GL itself.
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/CRand.h"
#include "svg/EnclosingBall.h"
#include "render/CubicFlatten.h"
#include "svg/SvgParser.h"

const uint32_t kSvgClassColors[kSvgClassColorCount] = {
    0xFFB7E0D4u, 0xFF9AD8DBu, 0xFF6393CDu, 0xFFA6D8BBu, 0xFFDBEDD2u, 0xFF436AB3u, 0xFF3DC7F4u, 0xFF5276BAu,
};

namespace {

bool StartsWith(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

bool StartsWithNoCase(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix) {
    const char a = *s >= 'A' && *s <= 'Z' ? static_cast<char>(*s - 'A' + 'a') : *s;
    const char b = *prefix >= 'A' && *prefix <= 'Z' ? static_cast<char>(*prefix - 'A' + 'a') : *prefix;
    if (a != b || !*s) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Construction and release
// ---------------------------------------------------------------------------

nanoSVGBase::nanoSVGBase() = default;

nanoSVGBase::~nanoSVGBase() {
  Clear();
  ReleaseGroups();
}

void nanoSVGBase::Clear() {
  DeleteSvgImage(m_image);
  m_image = nullptr;
  ReleaseObjects();
  // The groups point into the image just released.
  for (EngGroup* group : m_groups) group->shapes.clear();
  m_pivotPath = nullptr;
  for (SvgShape*& shape : m_cacheShapes) shape = nullptr;
}

void nanoSVGBase::ReleaseObjects() {
  for (SvgObject* object : m_objects) {
    // GPU objects before the record that names them.
    if (object->vertexArray) {
      glDeleteVertexArrays(1, &object->vertexArray);
      glDeleteBuffers(1, &object->vertexBuffer);
      glDeleteBuffers(1, &object->indexBuffer);
    }
    delete object;
  }
  m_objects.clear();
}

void nanoSVGBase::ReleaseGroups() {
  for (EngGroup* group : m_groups) delete group;
  m_groups.clear();
}

// ---------------------------------------------------------------------------
// [SECTION] Adopting an image
// ---------------------------------------------------------------------------

void nanoSVGBase::Adopt(SvgImage* image, int targetWidth, int targetHeight) {
  // Callers clear first; a set that was not cleared must still not leak or
  // keep objects that point into the old image.
  if (m_image && m_image != image) Clear();
  m_image = image;
  // A reload starts with new groups; the old ones point into a freed image.
  ReleaseGroups();
  if (!image) return;
  m_halfWidth = image->width * 0.5f;
  m_halfHeight = image->height * 0.5f;
  ComputeFitScale(targetWidth, targetHeight);
  m_shapeCount = 0;
  FindPivot();
  m_cacheShapes[0] = FindShape("CACHE1");
  m_cacheShapes[1] = FindShape("CACHE2");
  m_cacheShapes[2] = FindShape("CACHE3");
  BuildObjects();
  BuildEngGroups();
  BuildCachedFills();
}

// The image, 1.2 times its smaller half extent, fitted into the target by
// its limiting side. Its only reader is the flattening tolerance.
void nanoSVGBase::ComputeFitScale(int targetWidth, int targetHeight) {
  // Without a sized target there is nothing to fit against: keep the unit
  // scale rather than divide by zero.
  if (targetWidth <= 0 || targetHeight <= 0) {
    m_fitScale = 1.0f;
    return;
  }
  const float w = static_cast<float>(targetWidth), h = static_cast<float>(targetHeight);
  const float hw = m_halfWidth, hh = m_halfHeight;
  float a, b;
  if (h / hh > w / hw) {
    a = 1.2f * hw;
    b = hh - 1.2f * hw * h / w;
  } else {
    a = 1.2f * hh * w / h;
    b = hh - 1.2f * hh;
  }
  m_fitScale = (hw + a - b) / w;
}

void nanoSVGBase::FindPivot() {
  m_pivotPath = nullptr;
  m_pivot = glm::vec2(m_halfWidth, m_halfHeight);
  for (SvgShape* shape = m_image->shapes; shape; shape = shape->next) {
    for (SvgPath* path = shape->paths; path; path = path->next) {
      if (!StartsWith(path->id, "PIVOT")) continue;
      m_pivotPath = path;
      if (path->npts > 0) m_pivot = glm::vec2(path->pts[0], path->pts[1]);
      return;
    }
  }
}

SvgShape* nanoSVGBase::FindShape(const char* name) const {
  if (!m_image || !name) return nullptr;
  for (SvgShape* shape = m_image->shapes; shape; shape = shape->next)
    if (std::strcmp(shape->id, name) == 0) return shape;
  return nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Objects
// ---------------------------------------------------------------------------

void nanoSVGBase::BuildObjects() {
  m_shapeCount = 0;
  m_cached = false;
  if (!m_image) return;
  SvgObject* current = nullptr;
  for (SvgShape* shape = m_image->shapes; shape; shape = shape->next) {
    for (int i = 0; i < kSvgClassColorCount; ++i) {
      char className[8];
      std::snprintf(className, sizeof className, "cls-%d", i + 1);
      // A gradient stroke keeps its gradient: the colour shares the paint's
      // storage with the gradient's pointer, which it would overwrite.
      const bool gradient = shape->stroke.type == kSvgPaintLinearGradient || shape->stroke.type == kSvgPaintRadialGradient;
      if (!gradient && std::strcmp(shape->className, className) == 0) shape->stroke.color = kSvgClassColors[i];
    }
    // ENG shapes of one object number join whatever their shape number.
    const bool joins = current && (std::strcmp(shape->id, current->name) == 0 ||
                                   (StartsWith(current->name, "ENG") && std::strncmp(current->name, shape->id, 4) == 0));
    if (!joins) {
      if (current) CloseObject(current);
      current = new SvgObject();
      svgtext::CopyString(current->name, shape->id, kSvgIdSize - 1);
      current->eng = StartsWith(shape->id, "ENG");
      current->visible = true;
      m_objects.push_back(current);
    }
    current->shapes.push_back(shape);
    shape->group = nullptr;
    shape->taken = 1;
    ++m_shapeCount;
  }
  if (current) CloseObject(current);
}

void nanoSVGBase::CloseObject(SvgObject* object) {
  if (StartsWith(object->name, "CACHE")) {
    object->cached = true;
    m_cached = true;
  }
  if (StartsWith(object->name, "PIVOT")) object->visible = false;
  if (StartsWithNoCase(object->name, "Layer_2")) object->visible = false;
  if (std::strcmp(object->name, "CACHE3") == 0) object->cache3 = true;
}

// ---------------------------------------------------------------------------
// [SECTION] ENG groups
// ---------------------------------------------------------------------------

EngGroup* nanoSVGBase::NewEngGroup() {
  EngGroup* group = new EngGroup();
  // Four draws for every group made, also one removed again, so that the
  // colours repeat run to run.
  for (float& c : group->color) c = static_cast<float>(platform::CRand() % 1000) / 1000.0f;
  group->flag = platform::CRand() % 2 == 0;
  m_groups.push_back(group);
  return group;
}

// Walks the names ENGo.g (set h = 1) and ENGo.g-h (h > 1): shapes g = 1, 2,
// ... of a set until one is missing, then the next set, then the next
// object, until the first name of an object's first set is missing.
void nanoSVGBase::BuildEngGroups() {
  int o = 1, g = 1, h = 1;
  EngGroup* current = NewEngGroup();
  for (;;) {
    char name[64];
    if (h == 1)
      std::snprintf(name, sizeof name, "ENG%d.%d", o, g);
    else
      std::snprintf(name, sizeof name, "ENG%d.%d-%d", o, g, h);
    SvgShape* shape = FindShape(name);
    if (shape) {
      current->shapes.push_back(shape);
      shape->group = current;
      current->name = name;
      current->mark = 0;
      current->pending = 0.0f;
      ++g;
    } else if (g > 1) {
      current->ComputeEnclosingCircle();
      current = NewEngGroup();
      g = 1;
      ++h;
    } else {
      // The current group is empty: drop it, and either go on with the
      // next object or stop.
      m_groups.pop_back();
      delete current;
      if (h == 1) break;
      ++o;
      current = NewEngGroup();
      g = 1;
      h = 1;
    }
  }
}

void EngGroup::ComputeEnclosingCircle() {
  std::vector<double> xy;
  for (const SvgShape* shape : shapes) AppendEnclosingCirclePoints(*shape, xy);
  const EnclosingCircle circle = SmallestEnclosingCircle(xy);
  center = glm::vec3(circle.x, circle.y, 0.0f);
  radius = circle.radius;
}

// ---------------------------------------------------------------------------
// [SECTION] Fills
// ---------------------------------------------------------------------------

void FlattenCubicToPolygon(const float p[8], float tolerance, int level, std::vector<float>& out) {
  FlattenCubic(p, tolerance, level, [&out](float x, float y) {
    out.push_back(x);
    out.push_back(y);
  });
}

namespace {

// The tessellator's callbacks collect triangles (the edge-flag callback keeps
// it from emitting fans and strips) and append the vertices it makes where
// edges cross.
struct TessState {
  std::vector<float>* xy;
  std::vector<size_t> triangle;  // vertex indices of the triangle being read
  std::vector<uint16_t>* indices;
  bool overflow = false;
};

void GLAPIENTRY TessVertex(void* vertex, void* data) {
  TessState* state = static_cast<TessState*>(data);
  state->triangle.push_back(reinterpret_cast<size_t>(vertex));
  if (state->triangle.size() < 3) return;
  for (size_t index : state->triangle) {
    if (index >= kSvgMaxFillVertices) state->overflow = true;
    state->indices->push_back(static_cast<uint16_t>(index));
  }
  state->triangle.clear();
}

void GLAPIENTRY TessEdgeFlag(GLboolean, void*) {}

void GLAPIENTRY TessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
  TessState* state = static_cast<TessState*>(data);
  const size_t index = state->xy->size() / 2;
  state->xy->push_back(static_cast<float>(coords[0]));
  state->xy->push_back(static_cast<float>(coords[1]));
  *out = reinterpret_cast<void*>(index);
}

void GLAPIENTRY TessError(GLenum, void* data) { static_cast<TessState*>(data)->overflow = true; }

}  // namespace

bool TriangulateRings(std::vector<float>& xy, const std::vector<size_t>& ringStarts, std::vector<uint16_t>& indices) {
  indices.clear();
  const size_t count = xy.size() / 2;
  if (count > kSvgMaxFillVertices) return false;
  for (float v : xy)
    if (!std::isfinite(v)) return false;  // the tessellator has no answer for these
  GLUtesselator* tess = gluNewTess();
  if (!tess) return false;
  TessState state;
  state.xy = &xy;
  state.indices = &indices;
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(TessVertex));
  gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(TessEdgeFlag));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(TessCombine));
  gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(TessError));
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
  gluTessNormal(tess, 0.0, 0.0, 1.0);

  // The tessellator keeps pointers to the coordinates until EndPolygon.
  std::vector<GLdouble> coords(count * 3, 0.0);
  gluTessBeginPolygon(tess, &state);
  for (size_t r = 0; r < ringStarts.size(); ++r) {
    const size_t begin = ringStarts[r];
    const size_t end = r + 1 < ringStarts.size() ? ringStarts[r + 1] : count;
    gluTessBeginContour(tess);
    for (size_t i = begin; i < end; ++i) {
      coords[i * 3] = xy[i * 2];
      coords[i * 3 + 1] = xy[i * 2 + 1];
      gluTessVertex(tess, &coords[i * 3], reinterpret_cast<void*>(i));
    }
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  gluDeleteTess(tess);

  if (state.overflow || xy.size() / 2 > kSvgMaxFillVertices) {
    indices.clear();
    return false;
  }
  return true;
}

void nanoSVGBase::BuildCachedFills() {
  const float tolerance = 1.5f * m_fitScale;
  for (SvgObject* object : m_objects) {
    if (!object->cached) continue;
    // One ring per path of more than one point: its start point, then each
    // complete segment flattened, the start again when closed.
    std::vector<std::vector<float>> rings;
    for (const SvgShape* shape : object->shapes) {
      for (const SvgPath* path = shape->paths; path; path = path->next) {
        if (path->npts <= 1) continue;
        std::vector<float> ring = {path->pts[0], path->pts[1]};
        for (int i = 0; i + 3 < path->npts; i += 3) FlattenCubicToPolygon(&path->pts[i * 2], tolerance, 0, ring);
        if (path->closed) ring.insert(ring.end(), {path->pts[0], path->pts[1]});
        rings.push_back(std::move(ring));
      }
    }
    if (rings.empty()) continue;
    // The outline first, then one hole; CACHE3 draws its second ring as the
    // outline around the first.
    std::vector<const std::vector<float>*> polygon;
    if (object->cache3 && rings.size() >= 2)
      polygon = {&rings[1], &rings[0]};
    else if (rings.size() >= 2)
      polygon = {&rings[0], &rings[1]};
    else
      polygon = {&rings[0]};

    std::vector<size_t> starts;
    object->fillVertices.clear();
    for (const std::vector<float>* ring : polygon) {
      starts.push_back(object->fillVertices.size() / 2);
      object->fillVertices.insert(object->fillVertices.end(), ring->begin(), ring->end());
    }
    object->fillSkipped = !TriangulateRings(object->fillVertices, starts, object->fillIndices);
    if (object->fillSkipped) {
      object->fillVertices.clear();
      object->fillIndices.clear();
    }
  }
}

int nanoSVGBase::SkippedFills() const {
  int skipped = 0;
  for (const SvgObject* object : m_objects) skipped += object->fillSkipped ? 1 : 0;
  return skipped;
}

void nanoSVGBase::UploadFills() {
  for (SvgObject* object : m_objects) {
    if (!object->cached || object->fillSkipped || object->fillVertices.empty() || object->vertexArray) continue;
    glGenBuffers(1, &object->vertexBuffer);
    glGenBuffers(1, &object->indexBuffer);
    glGenVertexArrays(1, &object->vertexArray);
    glBindVertexArray(object->vertexArray);
    object->indexCount = static_cast<int>(object->fillIndices.size());
    object->indexType = GL_UNSIGNED_SHORT;
    glBindBuffer(GL_ARRAY_BUFFER, object->vertexBuffer);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(object->fillVertices.size() * sizeof(float)),
                 object->fillVertices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, object->indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(object->fillIndices.size() * sizeof(uint16_t)),
                 object->fillIndices.data(), GL_STATIC_DRAW);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }
}
