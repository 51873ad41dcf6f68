// fxSVG. See fxSVG.h.
//
// [SECTION] Class description and attributes
// [SECTION] Building the layers
// [SECTION] Drawing
#include "effects/vector/fxSVG.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/AppLog.h"

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxSVG::GetClassDesc() {
  static ClassDesc desc("fxSVG", fxBase::GetClassDesc(), &fxSVG::Create);
  return &desc;
}

fxBase* fxSVG::Create(ClassDesc* desc) { return CreateZeroFilled<fxSVG>(desc); }

ClassDesc* fxSVG::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  for (int i = 0; i < kLayerCount; ++i) {
    const std::string prefix = i == 0 ? "" : "child" + std::to_string(i) + "/";
    const int layer = RV_OFFSETOF(fxSVG, m_layers) + i * static_cast<int>(sizeof(SvgLayer));
    desc->AddAttribute(AttrTransform3D, prefix + "Transform", layer + RV_OFFSETOF(SvgLayer, m_transform));
    desc->AddAttribute(AttrRGBA, prefix + "Color", layer + RV_OFFSETOF(SvgLayer, m_color))->SetRange(0.0f, 1.0f);
    desc->AddAttribute(AttrFile, prefix + "SVG", layer + RV_OFFSETOF(SvgLayer, m_svg))
        ->SetFileFilter(".svg")
        ->SetDefaultDir("Data");
    desc->AddAttribute(AttrFloat, prefix + "Thickness", layer + RV_OFFSETOF(SvgLayer, m_thickness))
        ->SetRange(0.0f, 2.0f);
    desc->AddAttribute(AttrBool, prefix + "Persistent", layer + RV_OFFSETOF(SvgLayer, m_persistent));
  }
  desc->AddAttribute(AttrInt, "DisplayId", RV_OFFSETOF(fxSVG, m_displayId));
  desc->AddAttribute(AttrBool, "Auto Transform", RV_OFFSETOF(fxSVG, m_autoTransform));
  desc->AddAttribute(AttrBool, "LOD Enabled", RV_OFFSETOF(fxSVG, m_lodEnabled));
  desc->AddAttribute(AttrFloat, "LOD Epsilon", RV_OFFSETOF(fxSVG, m_lodEpsilon))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Curve Tolerance", RV_OFFSETOF(fxSVG, m_curveTolerance))->SetRange(0.0f, 1.0f);
  return desc;
}

fxSVG::fxSVG(ClassDesc* desc)
    : fxBase(desc),
      m_displayId(0),
      m_autoTransform(true),
      m_lodEnabled(true),
      m_lodEpsilon(0.1f),
      m_curveTolerance(1.0f) {
  m_layers[0].m_svg = "svg/Skyloom/Machinery_Of_Time.svg";
  m_shapeRoot = &m_layers[0].m_node;
}

fxSVG::~fxSVG() {
  m_shapeRoot = nullptr;
  for (SvgLayer& layer : m_layers) layer.m_node.Destroy();
}

//-----------------------------------------------------------------------------
// [SECTION] Building the layers
//-----------------------------------------------------------------------------

glm::mat4 fxSVG::LayerMatrix(int layer) const {
  const glm::mat4& base = m_layers[0].m_transform.matrix;
  return layer == 0 ? base : base * m_layers[layer].m_transform.matrix;
}

SvgImage* fxSVG::BuildLayer(int layer) {
  ShapeNode& node = m_layers[layer].m_node;
  node.Clear();
  SvgImage* image = ParseSvgFile(m_layers[layer].m_svg.c_str(), 0.0f);
  if (!image) return nullptr;
  size_t points = 0;
  bool cut = false;
  for (const SvgShape* shape = image->shapes; shape; shape = shape->next) {
    ShapeNode* child = node.AddChild();
    for (const SvgPath* path = shape->paths; path; path = path->next) {
      if (path->npts <= 0) continue;
      Polyline* line = child->AddPolyline();
      const float* p = path->pts;
      line->AddPoint(glm::vec3(p[0], p[1], 0.0f));
      for (int i = 0; i + 3 < path->npts; i += 3) {
        const float* s = &p[i * 2];
        cut |= points + line->m_points.size() > kMaxLayerPoints;
        if (cut)
          line->AddPoint(glm::vec3(s[6], s[7], 0.0f));
        else
          line->AddCubic(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], m_curveTolerance, 0);
      }
      if (path->closed) line->AddPoint(glm::vec3(p[0], p[1], 0.0f));
      points += line->m_points.size();
    }
  }
  if (cut) {
    AppLog::Get().AddLog("fxSVG: %s flattens to more than %zu points: the curves past them are drawn straight.\n",
                         m_layers[layer].m_svg.c_str(), kMaxLayerPoints);
  }
  return image;
}

void fxSVG::AutoFit(const SvgImage& image) {
  const float size = std::max(image.width, image.height);
  // A document without extent has nothing to scale to 100 units; 100 / 0
  // would make every layer's matrix infinite.
  if (!(size > 0.0f) || !std::isfinite(size)) {
    AppLog::Get().AddLog("fxSVG: %s has no size to fit, Auto Transform skipped.\n", m_layers[0].m_svg.c_str());
    return;
  }
  glm::vec2 pivot(image.width * 0.5f, image.height * 0.5f);
  bool found = false;
  for (const SvgShape* shape = image.shapes; shape && !found; shape = shape->next) {
    for (const SvgPath* path = shape->paths; path && !found; path = path->next) {
      if (std::strncmp(path->id, "PIVOT", 5) != 0 || path->npts < 1) continue;
      pivot = glm::vec2(path->pts[0], path->pts[1]);
      found = true;
    }
  }
  rvTransform3D& t = m_layers[0].m_transform;
  t.pivot.x = pivot.x;
  t.pivot.y = pivot.y;
  const float s = 100.0f / size;
  t.scale = glm::vec3(s, s, 1.0f);
}

void fxSVG::Init() {
  for (int i = 0; i < kLayerCount; ++i) {
    SvgImage* image = BuildLayer(i);
    if (i == 0 && m_autoTransform && image) AutoFit(*image);
    DeleteSvgImage(image);
    SvgLayer& layer = m_layers[i];
    layer.m_transform.Update();
    rvTransform placement;
    placement.matrix = LayerMatrix(i);
    layer.m_node.SetMatrixFrom(&placement, false);
    layer.m_node.Simplify(m_lodEpsilon);
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

void fxSVG::Update() {
  for (SvgLayer& layer : m_layers) layer.m_transform.Update();
  const float fade = GetFadeFactor();
  for (int i = 0; i < kLayerCount; ++i) {
    SvgLayer& layer = m_layers[i];
    if (!layer.m_persistent && i != m_displayId) continue;
    layer.m_node.SetColor(layer.m_color * fade);
    layer.m_node.SetThickness(layer.m_thickness);
    rvTransform placement;
    placement.matrix = LayerMatrix(i);
    layer.m_node.SetMatrixFrom(&placement, false);
    if (m_lodEnabled) {
      // Simplifying is the costly step: only a new epsilon (NaN included)
      // asks for it again.
      if (!(m_lodEpsilon == layer.m_node.m_simplifyEpsilon)) layer.m_node.Simplify(m_lodEpsilon);
      layer.m_node.DrawSimplified();
    } else {
      layer.m_node.Draw();
    }
  }
}
