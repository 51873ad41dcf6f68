// fxText: a text written as glowing vector strokes. The text (an attribute,
// or a text file of the data pack) is built once into a shape tree with a
// vector font, one child node per character, and drawn every frame into the
// current vector display with the effect's colour faded by its fade, its
// thickness, its 3D transform and a progressive reveal from a start to an
// end character.
//
// Depends on the vector fonts (render/VectorFont.h) and the shape tree.
// Owns its shape tree; the font is borrowed from the process-wide font list
// and never freed here. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <string>

#include "sequence/fxBase.h"
#include "render/ShapeNode.h"
#include "render/VectorFont.h"
#include "core/rvTransform.h"

class fxText : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxText(ClassDesc* desc);
  ~fxText() override;

  void Init() override;
  void Update() override;
  void OnAttributeEdited(AttributeDesc* attribute) override;

  // Picks the built-in font or the TrueType font named by Font, and asks for
  // a rebuild either way.
  void ResolveFont();
  // Rebuilds the tree when the text, the render flags, Size or LOD Epsilon
  // changed since the last build.
  void RebuildGeometry();

  ShapeNode m_root;
  rvTransform3D m_transform;
  glm::vec4 m_color;
  float m_thickness;
  std::string m_font;
  TextStyle m_style;  // size, text shown, scale, dot size, render modes
  // The render flags and size of the last build.
  bool m_builtOutline;
  bool m_builtDot;
  bool m_builtLines;
  float m_builtSize;
  float m_startChar;
  float m_endChar;  // below 0: all characters
  float m_lodEpsilon;
  std::string m_textFile;
  std::string m_text;
  std::string m_resolvedFontName;  // key of the font last resolved; empty: resolve again
  bool m_renderSimplex;
  VectorFont* m_resolvedFont;  // borrowed from the font list; null: none yet
  bool m_rebuild;
};
