// fxSVG: up to five SVG files drawn as outlines on the current render
// target's vector display. Each file becomes a layer: a shape node with one
// child per SVG shape and one polyline per subpath, curves flattened. Layer
// 0 is the main picture and can be fitted at Init (centred on its PIVOT path
// and scaled to 100 units); layers 1 to 4 ("child1/" .. "child4/") are
// placed relative to it. Every frame the persistent layers and the one named
// by DisplayId are drawn in their colour times the fade, optionally through
// simplified polylines. Layer 0's node is the effect's shape tree, which the
// outline morph borrows.
//
// Depends on the SVG parser and the shape tree. Owns the five layers' trees,
// built at Init and kept until the next Init or the destructor. Main thread.
#pragma once
#include <glm/glm.hpp>

#include <string>

#include "sequence/fxBase.h"
#include "render/ShapeNode.h"
#include "core/rvTransform.h"
#include "svg/SvgImage.h"

struct SvgLayer {
  ShapeNode m_node;  // one child per SVG shape; holds no polylines itself
  rvTransform3D m_transform;
  glm::vec4 m_color{0.0f, 0.6f, 1.0f, 1.0f};
  std::string m_svg;
  float m_thickness = 0.5f;
  bool m_persistent = false;
};

class fxSVG : public fxBase {
 public:
  static constexpr int kLayerCount = 5;
  // Points one layer's curves may flatten to. Past it every further cubic
  // adds only its end point (one straight segment), so a file of huge curves
  // cannot hold Init (and each frame's draw) for minutes.
  static constexpr size_t kMaxLayerPoints = 262144;

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxSVG(ClassDesc* desc);
  ~fxSVG() override;

  void Init() override;
  void Update() override;

  // The layer's placement: layer 0's matrix, times layer i's for i >= 1.
  glm::mat4 LayerMatrix(int layer) const;
  // Empties the layer and builds its tree from its file; the document when
  // one was parsed (the caller releases it), else null.
  SvgImage* BuildLayer(int layer);
  // Centres layer 0 on the document's pivot and scales it to 100 units.
  void AutoFit(const SvgImage& image);

  SvgLayer m_layers[kLayerCount];
  int m_displayId;
  bool m_autoTransform;
  bool m_lodEnabled;
  float m_lodEpsilon;
  float m_curveTolerance;
};
