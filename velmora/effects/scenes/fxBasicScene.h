// fxBasicScene: the engine's test scene, drawn into the current vector
// display every frame: four pillars circling the y axis, a floor grid, a
// curve of dots, two fences (lines and dots on the left, lines and
// triangles on the right), a textured quad overhead and the word "Velmora"
// in vector text rocking to and fro. Each kind can be switched off and has
// its own line thickness. InitDisplayPoint gives the default display point
// the scene starts its vertices from.
//
// Depends on the vector display's geometry, the vector fonts and shape tree,
// and the texture slots. Owns the text's shape tree; the font belongs to the
// process-wide font list, and the quad's image slot is shared by every
// scene for the whole run. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "effects/shaders/shBasicShader.h"
#include "render/ShapeNode.h"
#include "render/VectorFont.h"
#include "core/rvTransform.h"

struct VectorVertex;

// Position (0, 0, 0), white, no flags, thickness 0.5.
void InitDisplayPoint(VectorVertex& point);

class fxBasicScene : public fxBase {
 public:
  static constexpr const char* kQuadImage = "img/Shadertoy/Pebbles512.png";
  static constexpr const char* kFont = "Font/Dozirevev.ttf";

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxBasicScene(ClassDesc* desc);
  ~fxBasicScene() override;

  void Init() override;
  void Update() override;

  // A box of half extent s around c, turned about the world y axis by
  // pi / 4 radians a second of local time.
  void DrawCube(const glm::vec3& c, const glm::vec3& s);

  shBasicShader3d m_program;  // kept for scenes that draw with it; unused here
  VectorFont* m_font;         // borrowed from the font list
  TextStyle m_style;
  ShapeNode m_text;
  rvTransform2D m_transform;
  float m_thicknessBlue;
  float m_thicknessGreen;
  float m_thicknessOrange;
  float m_thicknessPurple;
  float m_thicknessYellow;
  float m_thicknessWhite;
  bool m_drawDots;
  bool m_drawLines;
  bool m_drawTriangles;
  bool m_drawQuadmaps;

 private:
  void DrawText();
  void DrawFloor(VectorGeometry& display) const;
  void DrawDotCurve(VectorGeometry& display) const;
  void SetFenceStyle(VectorGeometry& display, float thickness, const glm::vec4& color) const;
  void DrawFences(VectorGeometry& display) const;
  void DrawQuad(VectorGeometry& display) const;
};
