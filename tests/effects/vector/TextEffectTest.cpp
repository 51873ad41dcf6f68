// Stroke text: the shape tree built from the built-in stroke font and from a
// TrueType font of a real data pack, the strokes it appends to the current
// vector display (reveal, transform, colour, thickness, fade, all driven by
// key frames), the pixels lit after the display's flush, and bad input:
// missing font, missing text file, empty, huge and high-byte texts.
#include <gtest/gtest.h>

#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "effects/vector/fxText.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"
#include "support/DefaultTargetFixture.h"
#include "Loader/AssetPath.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

constexpr int kSize = 128;
const char* const kDejaVuPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kTextFile = "FROM\nFILE";

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A key-frame driver entry as sequence files hold it: linear, keys (t, v).
std::string KeyDriver(const std::string& attribute, std::initializer_list<std::pair<float, float>> keys) {
  std::string out = "{\"_attribName\":\"" + attribute + "\",\"_eType\":1,\"_eInterpolation\":1,\"_aKeys\":[";
  bool first = true;
  for (const auto& k : keys) {
    out += (first ? "" : ",") + std::string("{\"x\":") + std::to_string(k.first) + ",\"y\":" +
           std::to_string(k.second) + ",\"z\":0}";
    first = false;
  }
  return out + "]}";
}

// The strips the display holds for this frame, as lists of points.
std::vector<std::vector<VectorVertex>> Strips(const VectorGeometry& g) {
  std::vector<std::vector<VectorVertex>> strips;
  for (int i = 0; i < g.m_lines.count; ++i) {
    const VectorVertex& v = g.m_lines.data()[i];
    if (v.flags & PTF_LINE_STRIPSTART) strips.emplace_back();
    if (!strips.empty()) strips.back().push_back(v);
  }
  return strips;
}

// Arc length of everything drawn this frame (a strip repeats its first and
// last point, which adds nothing).
float DrawnLength(const VectorGeometry& g) {
  float length = 0.0f;
  for (const auto& strip : Strips(g))
    for (size_t i = 1; i < strip.size(); ++i) length += glm::distance(strip[i - 1].position, strip[i].position);
  return length;
}

struct PixelBox {
  int x0 = kSize, y0 = kSize, x1 = -1, y1 = -1;
  void Add(int x, int y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  }
  bool Contains(int x, int y, int margin) const {
    return x >= x0 - margin && x <= x1 + margin && y >= y0 - margin && y <= y1 + margin;
  }
};

class TextEffect : public DefaultTargetTest {
 protected:
  TextEffect() : DefaultTargetTest(kSize, kSize) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    const std::string dejavu = FileBytes(kDejaVuPath);
    ASSERT_GT(dejavu.size(), 10000u);
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/font/DejaVuSans.ttf", dejavu}, {"Data/txt/hello.txt", kTextFile}}));
    EnterDir(m_dir);
    m_display = g_pCurrentVectorDisplay;
    ASSERT_NE(m_display, nullptr);
    ASSERT_EQ(m_display->m_setup, 1);
    g_nVectorHistoryIndex = 0;
  }
  // A running fxText made from a sequence item; its window is two seconds
  // without fades unless the properties say otherwise.
  fxText* Add(const std::string& properties) {
    fxBase* fx = AddRunning("fxText", properties);
    EXPECT_NE(fx, nullptr);
    return static_cast<fxText*>(fx);
  }

  // Draws one frame, flushes the display without glow and reads "Default".
  std::vector<uint8_t> DrawAndRead(fxText* fx) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Frame(fx, 0.0f);
    m_display->m_settings.colorBrightness = 0.0f;
    m_display->Flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixels(0, 0, kSize, kSize);
  }

  // Pixel rectangle covered by the tree's points as the target's camera
  // sees them through the effect's transform.
  static PixelBox ProjectedBox(const fxText& fx) {
    PixelBox box;
    const glm::mat4 m = g_defaultRenderTarget.m_viewProjection * fx.m_transform.matrix;
    for (const ShapeNode* child : fx.m_root.m_children) {
      for (const Polyline* p : child->m_polylines) {
        for (const glm::vec3& q : p->m_points) {
          const glm::vec4 clip = m * glm::vec4(q, 1.0f);
          box.Add(int((clip.x / clip.w * 0.5f + 0.5f) * kSize), int((clip.y / clip.w * 0.5f + 0.5f) * kSize));
        }
      }
    }
    return box;
  }

  TempDir m_dir;
  vector_display* m_display = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Building the tree
// ---------------------------------------------------------------------------

TEST_F(TextEffect, StrokeFontGivesOneNodePerPrintableCharacter) {
  const struct {
    const char* text;
    size_t children;
  } cases[] = {{"AB", 2}, {"A B", 3}, {"A\nB", 2}, {"A\tB", 2}, {"\x80\xe9Z\xff", 1}, {"", 0}};
  for (const auto& c : cases) {
    // Raw bytes do not survive JSON text: the text is set as an editor would.
    fxText* fx = Add(R"({"Render Simplex":true,"Text":""})");
    ASSERT_NE(fx, nullptr);
    fx->m_text = c.text;
    Frame(fx, 0.0f);
    EXPECT_EQ(fx->m_resolvedFont, GetFontCache().m_fonts.front());
    EXPECT_EQ(fx->m_root.m_children.size(), c.children) << c.text;
    for (const ShapeNode* child : fx->m_root.m_children) {
      EXPECT_EQ(child->m_pExternalTransform, &fx->m_transform);
      for (const Polyline* p : child->m_polylines) EXPECT_EQ(p->m_pThicknessSource, &fx->m_thickness);
    }
  }
}

TEST_F(TextEffect, DefaultTextInTrueTypeOutlinesGivesTwentyFourGlyphsOnTwoLines) {
  fxText* fx = Add(R"({"Font":"font/DejaVuSans.ttf"})");
  ASSERT_NE(fx, nullptr);
  ASSERT_NE(fx->m_resolvedFont, nullptr);
  EXPECT_EQ(fx->m_resolvedFontName, FontKey("font/DejaVuSans.ttf"));
  const auto& children = fx->m_root.m_children;
  ASSERT_EQ(children.size(), 24u);  // the newline adds no node
  // "H" starts the first line, "W" the second, one Size (20) lower.
  EXPECT_NEAR(children[13]->m_polylines.front()->m_boxMax.y, children[0]->m_polylines.front()->m_boxMax.y - 20.0f,
              1.0f);
  EXPECT_FLOAT_EQ(fx->m_root.m_simplifyEpsilon, 0.1f);
  EXPECT_FALSE(children[0]->m_polylines.front()->m_simplified.empty());
}

// ---------------------------------------------------------------------------
// Pixels after the flush
// ---------------------------------------------------------------------------

TEST_F(TextEffect, StrokesLightThePixelsOfTheTextAndNothingElse) {
  const struct {
    const char* name;
    const char* props;
  } cases[] = {
      {"Simplex", R"({"Render Simplex":true,"Text":"VEL","Transform.Pos.x":-20,"Transform.Pos.y":-6,
                      "Thickness":1.0,"Color.r":1,"Color.g":0.25,"Color.b":0})"},
      {"DejaVu", R"({"Font":"font/DejaVuSans.ttf","Text":"VEL","Transform.Pos.x":-20,"Transform.Pos.y":-6,
                     "Thickness":1.0,"Color.r":1,"Color.g":0.25,"Color.b":0})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fxText* fx = Add(c.props);
    ASSERT_NE(fx, nullptr);
    const std::vector<uint8_t> pixels = DrawAndRead(fx);
    const PixelBox box = ProjectedBox(*fx);
    ASSERT_GT(box.x1 - box.x0, 20);
    ASSERT_GT(box.y1 - box.y0, 8);
    int litInside = 0, litOutside = 0, greenAboveRed = 0;
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const uint8_t* p = &pixels[(size_t(y) * kSize + x) * 4];
        if (p[0] < 40) {
          // Well away from the strokes nothing at all may show.
          if (!box.Contains(x, y, 4) && (p[0] > 8 || p[1] > 8 || p[2] > 8)) ++litOutside;
          continue;
        }
        (box.Contains(x, y, 2) ? litInside : litOutside)++;
        if (p[1] > p[0]) ++greenAboveRed;
      }
    }
    EXPECT_GT(litInside, 60);
    EXPECT_EQ(litOutside, 0);
    EXPECT_EQ(greenAboveRed, 0) << "the strokes take the effect's colour";
  }
}

TEST_F(TextEffect, MovingTheTransformMovesTheLitPixels) {
  fxText* fx = Add(R"({"Render Simplex":true,"Text":"I","Thickness":1.0,"Color.r":1,"Color.g":1,"Color.b":1,)"
                   "\"_apAttribDrivers\":[" +
                   KeyDriver("Transform.Pos.x", {{0.0f, -30.0f}, {1.0f, 30.0f}}) + "]}");
  ASSERT_NE(fx, nullptr);
  // The column of the brightest pixel at half height, at both ends of the move.
  auto litColumn = [&](float t) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Frame(fx, t);
    m_display->m_settings.colorBrightness = 0.0f;
    m_display->Flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    const PixelBox box = ProjectedBox(*fx);
    const std::vector<uint8_t> row = ReadPixels(0, (box.y0 + box.y1) / 2, kSize, 1);
    int best = -1, bestValue = 0;
    for (int x = 0; x < kSize; ++x) {
      if (row[size_t(x) * 4] > bestValue) bestValue = row[size_t(x) * 4], best = x;
    }
    EXPECT_GE(best, box.x0 - 2);
    EXPECT_LE(best, box.x1 + 2);
    return best;
  };
  const int left = litColumn(0.0f);
  const int right = litColumn(1.0f);
  // 60 units at distance 100 under a 60 degree field of view: about 66 pixels.
  EXPECT_NEAR(right - left, 60.0f / (2.0f * 100.0f * std::tan(1.0471967f / 2.0f)) * kSize, 3.0f);
}

// ---------------------------------------------------------------------------
// Reveal, drivers, fade
// ---------------------------------------------------------------------------

TEST_F(TextEffect, RevealDrawsWholeCharactersAndAFractionOfTheNext) {
  const struct {
    float startChar, endChar, glyphs;
  } cases[] = {{0, -1, 4}, {0, 2.5f, 2.5f}, {1.5f, -1, 2}, {1.5f, 3, 1}, {0, 0, 0}, {0, 40, 4}};
  for (const auto& c : cases) {
    fxText* fx = Add("{\"Render Simplex\":true,\"Text\":\"AAAA\",\"StartChar\":" + std::to_string(c.startChar) +
                     ",\"EndChar\":" + std::to_string(c.endChar) + "}");
    ASSERT_NE(fx, nullptr);
    Frame(fx, 0.0f);
    const float glyph = fx->m_root.m_children.at(0)->TotalLength();
    EXPECT_NEAR(DrawnLength(*m_display), c.glyphs * glyph, 1e-3f * glyph) << c.startChar << " " << c.endChar;
  }
}

TEST_F(TextEffect, KeyFramesAnimatePositionSizeColourThicknessAndReveal) {
  fxText* fx = Add(R"({"Render Simplex":true,"Text":"AAAA","Color.r":1,"Color.b":0,"_apAttribDrivers":[)" +
                   KeyDriver("Transform.Pos.x", {{0.0f, 0.0f}, {1.0f, 30.0f}}) + "," +
                   KeyDriver("Size", {{0.0f, 10.0f}, {1.0f, 20.0f}}) + "," +
                   KeyDriver("Color.g", {{0.0f, 0.0f}, {1.0f, 1.0f}}) + "," +
                   KeyDriver("Thickness", {{0.0f, 0.1f}, {1.0f, 0.5f}}) + "," +
                   KeyDriver("EndChar", {{0.0f, 0.0f}, {1.0f, 4.0f}}) + "]}");
  ASSERT_NE(fx, nullptr);
  const struct {
    float t, x, size, g, thickness, glyphs;
  } cases[] = {{0.5f, 15.0f, 15.0f, 0.5f, 0.3f, 2.0f}, {1.0f, 30.0f, 20.0f, 1.0f, 0.5f, 4.0f},
               {0.25f, 7.5f, 12.5f, 0.25f, 0.2f, 1.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.t);
    Frame(fx, c.t);
    // Size rebuilt the tree: the stroke font's capital height is 0.63 Size.
    const ShapeNode* a = fx->m_root.m_children.at(0);
    float top = -1e9f, bottom = 1e9f;
    for (const Polyline* p : a->m_polylines) top = std::max(top, p->m_boxMax.y), bottom = std::min(bottom, p->m_boxMin.y);
    EXPECT_NEAR(top - bottom, 0.63f * c.size, 1e-3f);
    EXPECT_NEAR(DrawnLength(*m_display), c.glyphs * a->TotalLength(), 1e-3f * c.glyphs * a->TotalLength());
    const auto strips = Strips(*m_display);
    ASSERT_FALSE(strips.empty());
    const glm::vec3 built = a->m_polylines.front()->m_points.front();
    EXPECT_NEAR(strips[0][0].position.x, built.x + c.x, 1e-3f);
    EXPECT_NEAR(strips[0][0].position.y, built.y, 1e-3f);
    for (const auto& strip : strips) {
      for (const VectorVertex& v : strip) {
        EXPECT_NEAR(v.thickness, c.thickness, 1e-5f);
        EXPECT_NEAR(v.color.r, 1.0f, 1e-5f);
        EXPECT_NEAR(v.color.g, c.g, 1e-5f);
        EXPECT_NEAR(v.color.b, 0.0f, 1e-5f);
      }
    }
  }
}

TEST_F(TextEffect, FadeScalesTheWholeColour) {
  fxText* fx = Add(R"({"Render Simplex":true,"Text":"A","FadeIn":1,"Color.r":1,"Color.g":0.5,"Color.b":0.25})");
  ASSERT_NE(fx, nullptr);
  Frame(fx, 0.25f);
  ASSERT_GT(m_display->m_lines.count, 0);
  const VectorVertex& v = m_display->m_lines.data()[0];
  EXPECT_NEAR(v.color.r, 0.25f, 1e-5f);
  EXPECT_NEAR(v.color.g, 0.125f, 1e-5f);
  EXPECT_NEAR(v.color.b, 0.0625f, 1e-5f);
}

// ---------------------------------------------------------------------------
// Changes at run time
// ---------------------------------------------------------------------------

TEST_F(TextEffect, ATextOfTheSameLengthIsShownToo) {
  fxText* fx = Add(R"({"Render Simplex":true,"Text":"AB"})");
  ASSERT_NE(fx, nullptr);
  fxText* reference = Add(R"({"Render Simplex":true,"Text":"CD"})");
  ASSERT_NE(reference, nullptr);
  fx->m_text = "CD";
  Frame(fx, 0.0f);
  EXPECT_EQ(fx->m_style.text, "CD");
  ASSERT_EQ(fx->m_root.m_children.size(), 2u);
  EXPECT_EQ(fx->m_root.m_children[1]->m_polylines.front()->m_points,
            reference->m_root.m_children[1]->m_polylines.front()->m_points);
}

TEST_F(TextEffect, RebuildsFollowSizeAndFlagsButNotScaleAlone) {
  fxText* fx = Add(R"({"Font":"font/DejaVuSans.ttf","Text":"AB"})");
  ASSERT_NE(fx, nullptr);
  const ShapeNode* before = fx->m_root.m_children.at(0);
  const glm::vec3 first = before->m_polylines.front()->m_points.front();
  fx->m_style.scale = 2.0f;
  Frame(fx, 0.0f);
  EXPECT_EQ(fx->m_root.m_children.at(0)->m_polylines.front()->m_points.front(), first) << "Scale alone";
  fx->m_style.renderLines = true;
  Frame(fx, 0.0f);
  EXPECT_EQ(fx->m_root.m_children.size(), 4u) << "outlines and runs";
  fx->m_style.size = 10.0f;
  Frame(fx, 0.0f);
  EXPECT_NEAR(fx->m_root.m_children.at(0)->m_polylines.front()->m_points.front().y, first.y * 0.5f, 1e-3f);
}

TEST_F(TextEffect, RenderSimplexSwitchesFontsAtRunTime) {
  fxText* fx = Add(R"({"Font":"font/DejaVuSans.ttf","Text":"A"})");
  ASSERT_NE(fx, nullptr);
  VectorFont* dejavu = fx->m_resolvedFont;
  ASSERT_NE(dejavu, nullptr);
  const size_t outlineStrokes = fx->m_root.m_children.at(0)->m_polylines.size();
  fx->m_renderSimplex = true;
  Frame(fx, 0.0f);
  EXPECT_EQ(fx->m_resolvedFont, GetFontCache().m_fonts.front());
  EXPECT_EQ(fx->m_root.m_children.at(0)->m_polylines.size(), 3u) << "two legs and the bar";
  EXPECT_NE(outlineStrokes, 3u);
  fx->m_renderSimplex = false;
  Frame(fx, 0.0f);
  EXPECT_EQ(fx->m_resolvedFont, dejavu);
  EXPECT_EQ(fx->m_root.m_children.at(0)->m_polylines.size(), outlineStrokes);
}

// ---------------------------------------------------------------------------
// Text files and bad input
// ---------------------------------------------------------------------------

TEST_F(TextEffect, ATextFileReplacesTheTextAndAMissingOneFallsBack) {
  const struct {
    const char* textFile;
    std::string shown, textAfter;
  } cases[] = {{"txt/hello.txt", kTextFile, ""}, {"txt/missing.txt", "AB", "AB"}, {"", "AB", "AB"}};
  for (const auto& c : cases) {
    fxText* fx = Add(std::string(R"({"Render Simplex":true,"Text":"AB","TextFile":")") + c.textFile + "\"}");
    ASSERT_NE(fx, nullptr);
    Frame(fx, 0.0f);
    EXPECT_EQ(fx->m_style.text, c.shown) << c.textFile;
    EXPECT_EQ(fx->m_text, c.textAfter) << c.textFile;
  }
}

TEST_F(TextEffect, AMissingFontDrawsNothingAndIsLookedUpAgainEveryFrame) {
  LogCapture log;
  SetDataDirectory("Elsewhere");  // the font's name finds nothing there
  fxText* fx = Add(R"({"Font":"font/DejaVuSans.ttf","Text":"AB"})");
  ASSERT_NE(fx, nullptr);
  for (int i = 0; i < 5; ++i) Frame(fx, i / 60.0f);
  EXPECT_EQ(fx->m_resolvedFont, nullptr);
  EXPECT_TRUE(fx->m_root.m_children.empty());
  EXPECT_EQ(m_display->m_lines.count, 0);
  const std::string text = log.Text();
  const std::string line = "[VectorFont] Font not found: font/DejaVuSans.ttf\n";
  const size_t first = text.find(line);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(text.find(line, first + 1), std::string::npos) << "logged once, not every frame";
  // The same name, looked up at the next frame, now finds the font.
  SetDataDirectory("Data");
  Frame(fx, 0.1f);
  ASSERT_NE(fx->m_resolvedFont, nullptr);
  EXPECT_EQ(fx->m_root.m_children.size(), 2u);
  EXPECT_GT(m_display->m_lines.count, 0);
}

TEST_F(TextEffect, BadTextsAndSizesDrawNothingOrAreCut) {
  LogCapture log;
  const struct {
    const char* name;
    std::string props;
    size_t children;
    bool draws;
  } cases[] = {
      {"empty", R"({"Render Simplex":true,"Text":""})", 0, false},
      {"high bytes, stroke font", R"({"Render Simplex":true,"Text":"\u0080\u00ff"})", 0, false},
      // UTF-8 is not decoded: each byte of "\u00e9" is a Latin-1 glyph of its own.
      {"high bytes, TrueType", R"({"Font":"font/DejaVuSans.ttf","Text":"\u00e9"})", 2, true},
      {"size 0", R"({"Render Simplex":true,"Text":"AB","Size":0})", 2, false},
      {"negative size", R"({"Render Simplex":true,"Text":"AB","Size":-5})", 2, false},
      {"huge", R"({"Render Simplex":true,"Text":")" + std::string(100000, 'x') + "\"}", VectorFont::kMaxTextBytes,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fxText* fx = Add(c.props);
    ASSERT_NE(fx, nullptr);
    Frame(fx, 0.0f);
    EXPECT_EQ(fx->m_root.m_children.size(), c.children);
    EXPECT_EQ(m_display->m_lines.count > 0, c.draws);
    fx->SetState(StateNone);
  }
  EXPECT_TRUE(log.Contains("[VectorFont] Text of 100000 bytes cut to 65536\n"));
}
