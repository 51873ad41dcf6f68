// The test scene. See fxBasicScene.h.
//
// [SECTION] Class description and attributes
// [SECTION] Life cycle
// [SECTION] Drawing
#include "effects/scenes/fxBasicScene.h"

#include <cmath>

#include "render/TextureImage.h"
#include "render/TextureSlot.h"
#include "render/VectorGeometry.h"

void InitDisplayPoint(VectorVertex& point) {
  point.position = glm::vec3(0.0f);
  point.color = glm::vec3(1.0f);
  point.flags = 0;
  point.thickness = 0.5f;
}

namespace {

constexpr float kPi = 3.14159265f;

// The quad's image, loaded by the first scene and kept for the whole run.
TextureSlot& SharedQuadSlot() {
  static TextureSlot* slot = new TextureSlot();
  return *slot;
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxBasicScene::GetClassDesc() {
  static ClassDesc desc("fxBasicScene", fxBase::GetClassDesc(), &fxBasicScene::Create);
  return &desc;
}

fxBase* fxBasicScene::Create(ClassDesc* desc) { return CreateZeroFilled<fxBasicScene>(desc); }

ClassDesc* fxBasicScene::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrTransform2D, "Transform", RV_OFFSETOF(fxBasicScene, m_transform));
  const struct {
    const char* name;
    int offset;
  } thicknesses[] = {{"ThicknessBlue", RV_OFFSETOF(fxBasicScene, m_thicknessBlue)},
                     {"ThicknessGreen", RV_OFFSETOF(fxBasicScene, m_thicknessGreen)},
                     {"ThicknessOrange", RV_OFFSETOF(fxBasicScene, m_thicknessOrange)},
                     {"ThicknessPurple", RV_OFFSETOF(fxBasicScene, m_thicknessPurple)},
                     {"ThicknessYellow", RV_OFFSETOF(fxBasicScene, m_thicknessYellow)},
                     {"ThicknessWhite", RV_OFFSETOF(fxBasicScene, m_thicknessWhite)}};
  for (const auto& t : thicknesses) desc->AddAttribute(AttrFloat, t.name, t.offset)->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrBool, "DrawDots", RV_OFFSETOF(fxBasicScene, m_drawDots));
  desc->AddAttribute(AttrBool, "DrawLines", RV_OFFSETOF(fxBasicScene, m_drawLines));
  desc->AddAttribute(AttrBool, "DrawTriangles", RV_OFFSETOF(fxBasicScene, m_drawTriangles));
  desc->AddAttribute(AttrBool, "DrawQuadmaps", RV_OFFSETOF(fxBasicScene, m_drawQuadmaps));
  return desc;
}

fxBasicScene::fxBasicScene(ClassDesc* desc)
    : fxBase(desc),
      m_font(nullptr),
      m_thicknessBlue(0.3f),
      m_thicknessGreen(0.3f),
      m_thicknessOrange(1.0f),
      m_thicknessPurple(1.0f),
      m_thicknessYellow(1.0f),
      m_thicknessWhite(0.3f),
      m_drawDots(true),
      m_drawLines(true),
      m_drawTriangles(true),
      m_drawQuadmaps(true) {
  m_style.size = 20.0f;
  m_style.text = "Velmora";
}

fxBasicScene::~fxBasicScene() {
  m_text.Clear();
  m_program.Release();
}

//-----------------------------------------------------------------------------
// [SECTION] Life cycle
//-----------------------------------------------------------------------------

void fxBasicScene::Init() {
  TextureSlot& slot = SharedQuadSlot();
  if (!slot.m_image && !slot.m_effect) {
    slot.m_file = kQuadImage;
    slot.Resolve(nullptr);
  }
  m_text.Clear();
  m_font = FindOrLoadFont(GetFontCache(), kFont);
  if (!m_font) return;
  // A fresh style: the build writes its running pen position into it.
  m_style = TextStyle();
  m_style.size = 20.0f;
  m_style.text = "Velmora";
  const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  m_font->BuildText(m_style, &m_text, white);
  m_text.SetThicknessSource(&m_thicknessWhite);
}

//-----------------------------------------------------------------------------
// [SECTION] Drawing
//-----------------------------------------------------------------------------

void fxBasicScene::DrawCube(const glm::vec3& c, const glm::vec3& s) {
  VectorGeometry* display = CurrentVectorGeometry();
  if (!display) return;
  const glm::vec3 base[4] = {{c.x - s.x, c.y - s.y, c.z + s.z},
                             {c.x - s.x, c.y - s.y, c.z - s.z},
                             {c.x + s.x, c.y - s.y, c.z - s.z},
                             {c.x + s.x, c.y - s.y, c.z + s.z}};
  const float a = m_localTime * kPi / 4.0f;
  const float ca = std::cos(a), sa = std::sin(a);
  VectorVertex corners[8];
  for (int i = 0; i < 8; ++i) {
    glm::vec3 p = base[i % 4];
    if (i >= 4) p.y = c.y + s.y;
    InitDisplayPoint(corners[i]);
    corners[i].position = glm::vec3(p.x * ca - p.z * sa, p.y, p.x * sa + p.z * ca);
    corners[i].color = glm::vec3(0.0f, 0.5f, 1.0f);
    corners[i].thickness = m_thicknessBlue;
  }
  display->AddCube(corners);
}

void fxBasicScene::DrawText() {
  m_transform.Update();
  m_text.SetMatrixFrom(&m_transform, false);
  m_text.Draw();
}

// Written straight into the line array, four vertices a line laid out as a
// strip (start twice, end twice), as the display's own calls would.
void fxBasicScene::DrawFloor(VectorGeometry& display) const {
  for (int i = 0; i < 100; ++i) {
    const float z = 50.0f - 20.0f * static_cast<float>(i);
    display.GrowLineVertices(4);
    VectorVertex* v = display.m_lines.data() + display.m_lines.count;
    const glm::vec3 ends[4] = {{-100.0f, -40.0f, z}, {-100.0f, -40.0f, z}, {100.0f, -40.0f, z}, {100.0f, -40.0f, z}};
    const int32_t flags[4] = {PTF_LINE_STRIPSTART, 0, 0, PTF_LINE_STRIPEND};
    for (int k = 0; k < 4; ++k) {
      v[k].position = ends[k];
      v[k].color = glm::vec3(0.5f, 0.5f, 0.0f);
      v[k].flags = flags[k];
      v[k].thickness = m_thicknessYellow;
    }
    display.m_lines.count += 4;
    display.m_lines.strips += 1;
  }
}

void fxBasicScene::DrawDotCurve(VectorGeometry& display) const {
  const float t = m_localTime;
  for (int i = 0; i < 100; ++i) {
    const float fi = static_cast<float>(i);
    VectorVertex v;
    v.position = glm::vec3(30.0f * std::cos(0.1234f * fi + t), 30.0f * std::sin(0.4321f * fi + t),
                           (fi - 50.0f) * 30.0f / 50.0f);
    v.color = glm::vec3(1.0f, 0.5f, 0.0f);
    v.flags = 0;
    v.thickness = m_thicknessOrange;
    display.AddPoint(v);
  }
}

// A thickness of 0 keeps whatever the display had; the colour always changes.
void fxBasicScene::SetFenceStyle(VectorGeometry& display, float thickness, const glm::vec4& color) const {
  if (thickness > 0.0f) display.m_settings.currentThickness = thickness;
  display.m_settings.currentColor = color;
}

void fxBasicScene::DrawFences(VectorGeometry& display) const {
  const glm::vec4 green(0.0f, 1.0f, 0.0f, 1.0f);
  SetFenceStyle(display, m_thicknessGreen, green);
  for (int zi = 40; zi >= -40; zi -= 4) {
    const float z = static_cast<float>(zi);
    if (m_drawLines) {
      display.MoveTo(-50.0f, 10.0f, z);
      display.LineTo(-50.0f, -10.0f, z);
      display.EndLine();
    }
    if (m_drawDots) {
      display.MoveTo(-50.0f, 11.0f, z);
      display.EndLine();
      display.MoveTo(-50.0f, -11.0f, z);
      display.EndLine();
    }
  }
  SetFenceStyle(display, m_thicknessGreen, green);
  for (int zi = 40; zi >= -40; zi -= 4) {
    const float z = static_cast<float>(zi);
    if (m_drawLines) {
      display.MoveTo(50.0f, 10.0f, z);
      display.LineTo(50.0f, -10.0f, z);
      display.EndLine();
    }
    if (m_drawTriangles) {
      display.AddTriangle({51.0f, -10.0f, z}, {60.0f, 0.0f, z}, {51.0f, 10.0f, z});
      display.AddTriangle({60.0f, -10.0f, z}, {60.0f, 0.0f, z}, {51.0f, -10.0f, z});
      display.AddTriangle({51.0f, 10.0f, z}, {60.0f, 0.0f, z}, {60.0f, 10.0f, z});
    }
  }
  // Left as the current style for whatever draws next.
  SetFenceStyle(display, m_thicknessPurple, glm::vec4(1.0f, 0.0f, 1.0f, 1.0f));
}

void fxBasicScene::DrawQuad(VectorGeometry& display) const {
  const glm::vec3 positions[4] = {{70.0f, 40.0f, 20.0f}, {-70.0f, 40.0f, 20.0f}, {-70.0f, 40.0f, -500.0f},
                                  {70.0f, 40.0f, -500.0f}};
  const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  VectorVertex p[4];
  for (int i = 0; i < 4; ++i) {
    InitDisplayPoint(p[i]);
    p[i].position = positions[i];
    p[i].flags = TextureMappingFlags(uv[i][0], uv[i][1]);
  }
  VectorVertex quad[6] = {p[0], p[1], p[2], p[2], p[3], p[0]};
  // The diagonal p2 to p0 is not drawn.
  quad[2].flags |= PTF_TRIANGLE_DISCARDLINE;
  quad[5].flags |= PTF_TRIANGLE_DISCARDLINE;
  // A missing image (the cache keeps an empty texture for it) samples
  // nothing, and is not read again every frame: the pack cannot gain it
  // while the player runs.
  TextureSlot& slot = SharedQuadSlot();
  const GLuint texture = slot.m_image && slot.m_image->m_width > 0 ? slot.GetTexture() : 0;
  display.AddTexturedQuad(quad, texture);
}

void fxBasicScene::Update() {
  VectorGeometry* display = CurrentVectorGeometry();
  if (m_drawTriangles) {
    const glm::vec3 half(5.0f, 30.0f, 5.0f);
    const glm::vec3 centres[4] = {{-20.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 20.0f}, {0.0f, 0.0f, -20.0f}, {20.0f, 0.0f, 0.0f}};
    for (const glm::vec3& c : centres) DrawCube(c, half);
  }
  // The text rocks +-20 degrees with a period of 2 s and stands at x = -40,
  // whatever the Transform attribute says for those two values.
  m_transform.rotation = 20.0f * std::cos(kPi * m_localTime);
  m_transform.position.x = -40.0f;
  if (!display) return;
  if (m_drawLines) {
    DrawText();
    DrawFloor(*display);
  }
  if (m_drawDots) DrawDotCurve(*display);
  DrawFences(*display);
  if (m_drawQuadmaps) DrawQuad(*display);
}
