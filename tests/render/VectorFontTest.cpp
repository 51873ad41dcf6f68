// Vector text: the built-in stroke font and TrueType fonts from a real data
// pack, turned into shape trees; the font list shares one parsed font per
// path; broken fonts and odd texts are logged or skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/ShapeNode.h"
#include "render/SimplexFont.h"
#include "render/VectorFont.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* kCantarell = "/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf";

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

VectorFont* Simplex() { return GetFontCache().m_fonts.at(0); }

struct Box {
  float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
};

Box BoxOf(const ShapeNode& node) {
  Box b;
  for (const Polyline* p : node.m_polylines) {
    for (const glm::vec3& q : p->m_points) {
      b.minX = std::min(b.minX, q.x);
      b.maxX = std::max(b.maxX, q.x);
      b.minY = std::min(b.minY, q.y);
      b.maxY = std::max(b.maxY, q.y);
    }
  }
  return b;
}

// A pack holding DejaVu Sans, Cantarell (CFF outlines) and a few broken fonts, entered as working dir.
class PackedFonts : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string dejavu = FileBytes(kDejaVu);
    ASSERT_GT(dejavu.size(), 10000u);
    std::string directoryPastEnd = dejavu.substr(0, 12);
    directoryPastEnd[4] = '\x7f';  // 32512 tables
    std::string tablePastEnd = dejavu.substr(0, 4096);
    const std::string cantarell = FileBytes(kCantarell);
    ASSERT_GT(cantarell.size(), 10000u);
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/font/DejaVuSans.ttf", dejavu},
                                  {"Data/font/Cantarell-Regular.otf", cantarell},
                                  {"Data/font/empty.ttf", ""},
                                  {"Data/font/text.ttf", "this is not a font, only some text bytes"},
                                  {"Data/font/truncated.ttf", tablePastEnd},
                                  {"Data/font/directory.ttf", directoryPastEnd + std::string(64, '\0')}}));
    EnterDir(m_dir);
  }

  VectorFont* DejaVu() { return FindOrLoadFont(GetFontCache(), "font/DejaVuSans.ttf"); }

  TempDir m_dir;
};

}  // namespace

// ---------------------------------------------------------------------------
// The stroke font
// ---------------------------------------------------------------------------

TEST(SimplexFont, TableHoldsThePrintableCharacters) {
  ASSERT_EQ(kSimplexGlyphCount, 95);
  for (int i = 0; i < kSimplexGlyphCount; ++i) {
    const SimplexGlyph& g = kSimplexFont[i];
    EXPECT_LE(g.count, kSimplexMaxPairs) << i;
    EXPECT_GT(g.advance, 0) << i;
  }
  // 'A': two legs and the bar, 18 units wide, apex at the capital height.
  const SimplexGlyph& a = kSimplexFont['A' - 32];
  EXPECT_EQ(a.count, 8);
  EXPECT_EQ(a.advance, 18);
  EXPECT_EQ(a.pairs[0], 9);
  EXPECT_EQ(a.pairs[1], kSimplexCapHeight);
  EXPECT_EQ(kSimplexFont[0].count, 0);  // space: no strokes, 16 wide
  EXPECT_EQ(kSimplexFont[0].advance, 16);
}

TEST(SimplexFont, OneNodePerCharacterWithItsStrokesAndAdvance) {
  const struct {
    std::string text;
    std::vector<size_t> strokes;  // polylines per child
    float advance;                // font units
  } cases[] = {
      {"A", {3}, 18},
      {"B", {3}, 21},
      {"I", {1}, 8},
      {" ", {0}, 16},
      {"AI", {3, 1}, 26},
      {"", {}, 0},
      {"\x01\x7f\x80\xe9\xff", {}, 0},  // outside 32..126: skipped, pen unmoved
  };
  for (const auto& c : cases) {
    ShapeNode root;
    TextStyle style;
    style.size = 20.0f;
    style.text = c.text;
    const float color[4] = {0.5f, 0.25f, 1.0f, 0.75f};
    Simplex()->BuildText(style, &root, color);
    ASSERT_EQ(root.m_children.size(), c.strokes.size()) << c.text;
    for (size_t i = 0; i < c.strokes.size(); ++i) {
      EXPECT_EQ(root.m_children[i]->m_polylines.size(), c.strokes[i]) << c.text << " " << i;
      for (const Polyline* p : root.m_children[i]->m_polylines) {
        EXPECT_EQ(p->m_color, glm::vec4(0.5f, 0.25f, 1.0f, 0.75f));
        EXPECT_EQ(p->m_pColorSource, nullptr);
        EXPECT_FLOAT_EQ(p->m_thickness, 0.3f);
      }
    }
    EXPECT_NEAR(style.penX, c.advance * 0.6f, 1e-4f) << c.text;
    EXPECT_EQ(style.penY, 0.0f);
  }
}

TEST(SimplexFont, CapitalHeightIs063TimesSize) {
  ShapeNode root;
  TextStyle style;
  style.size = 20.0f;
  style.text = "H";
  Simplex()->BuildText(style, &root, nullptr);
  const Box b = BoxOf(*root.m_children[0]);
  EXPECT_NEAR(b.minY, 0.0f, 1e-5f);
  EXPECT_NEAR(b.maxY, 12.6f, 1e-4f);
}

TEST(SimplexFont, TabsAndNewlinesMoveThePen) {
  const float a = 20.0f * 0.03f;
  const struct {
    std::string text;
    float penX, penY;
  } cases[] = {
      {"\t", 40 * a, 0},
      {"\t\t", 80 * a, 0},
      {"A\t", 40 * a, 0},
      {"A\n", 0, -35 * a},
      {"A\nI", 8 * a, -35 * a},
  };
  for (const auto& c : cases) {
    ShapeNode root;
    TextStyle style;
    style.size = 20.0f;
    style.text = c.text;
    Simplex()->BuildText(style, &root, nullptr);
    EXPECT_NEAR(style.penX, c.penX, 1e-4f) << c.text;
    EXPECT_NEAR(style.penY, c.penY, 1e-4f) << c.text;
  }
  // The second line's glyph sits 35 a lower and starts again at x = 0.
  ShapeNode root;
  TextStyle style;
  style.size = 20.0f;
  style.text = "I\nI";
  Simplex()->BuildText(style, &root, nullptr);
  const Box first = BoxOf(*root.m_children[0]);
  const Box second = BoxOf(*root.m_children[1]);
  EXPECT_NEAR(first.minY - second.minY, 35 * a, 1e-4f);
  EXPECT_EQ(first.minX, second.minX);
}

TEST(SimplexFont, HugeTextIsCutAndLogged) {
  LogCapture log;
  ShapeNode root;
  TextStyle style;
  style.text = std::string(VectorFont::kMaxTextBytes * 4, 'I');
  Simplex()->BuildText(style, &root, nullptr);
  EXPECT_EQ(root.m_children.size(), VectorFont::kMaxTextBytes);
  EXPECT_TRUE(log.Contains("[VectorFont] Text of 262144 bytes cut to 65536"));
}

TEST(SimplexFont, BuiltInFontIsTheFirstEntryUnderSimplex) {
  VectorFontList& list = GetFontCache();
  ASSERT_EQ(list.m_fonts.size(), 1u);
  EXPECT_EQ(list.m_fonts[0]->m_builtIn, 1);
  EXPECT_EQ(list.m_fonts[0]->m_info, nullptr);
  EXPECT_EQ(FindOrLoadFont(list, "Simplex"), list.m_fonts[0]);
  EXPECT_EQ(list.m_fonts.size(), 1u);
  TextStyle style;
  style.text = "A";
  Simplex()->BuildText(style, nullptr, nullptr);  // no node: nothing happens
  EXPECT_EQ(style.penX, 0.0f);
}

// ---------------------------------------------------------------------------
// TrueType fonts from the pack
// ---------------------------------------------------------------------------

TEST_F(PackedFonts, SamePathInAnyCaseSharesOneFont) {
  VectorFont* font = DejaVu();
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->m_builtIn, 0);
  EXPECT_EQ(font->m_key, "data/font/dejavusans.ttf");
  const size_t entries = GetFontCache().m_fonts.size();
  for (const char* other : {"Font/DejaVuSans.ttf", "FONT/DEJAVUSANS.TTF", "Data/Font/DEJAVUSANS.ttf"}) {
    EXPECT_EQ(FindOrLoadFont(GetFontCache(), other), font) << other;
  }
  EXPECT_EQ(GetFontCache().m_fonts.size(), entries);
}

TEST_F(PackedFonts, MissingAndBrokenFontsAreMisses) {
  const struct {
    const char* path;
    const char* log;
  } cases[] = {
      {"font/none.ttf", "[VectorFont] Font not found: font/none.ttf"},
      {"font/empty.ttf", "font/empty.ttf"},
      {"font/text.ttf", "[VectorFont] Not a usable TrueType font: font/text.ttf"},
      {"font/truncated.ttf", "[VectorFont] Not a usable TrueType font: font/truncated.ttf"},
      {"font/directory.ttf", "[VectorFont] Not a usable TrueType font: font/directory.ttf"},
  };
  for (const auto& c : cases) {
    LogCapture log;
    EXPECT_EQ(FindOrLoadFont(GetFontCache(), c.path), nullptr) << c.path;
    EXPECT_TRUE(log.Contains(c.log)) << c.path << "\n" << log.Text();
  }
  EXPECT_EQ(GetFontCache().m_fonts.size(), 1u);  // nothing but the built-in font
}

TEST_F(PackedFonts, OutlinesFollowTheGlyphShapes) {
  VectorFont* font = DejaVu();
  ASSERT_NE(font, nullptr);
  ShapeNode root;
  TextStyle style;
  style.size = 20.0f;
  style.text = "A\nA";
  font->BuildText(style, &root, nullptr);
  ASSERT_EQ(root.m_children.size(), 2u);
  // 'A' has an outer contour and the triangle of its counter.
  EXPECT_EQ(root.m_children[0]->m_polylines.size(), 2u);
  const Box first = BoxOf(*root.m_children[0]);
  const Box second = BoxOf(*root.m_children[1]);
  EXPECT_FLOAT_EQ(first.minY - second.minY, 20.0f);  // the next line is one size lower
  EXPECT_FLOAT_EQ(first.minX, second.minX);
  EXPECT_NEAR(first.minY, 0.0f, 0.05f);  // on the baseline
  EXPECT_GT(first.maxY, 10.0f);
  EXPECT_LT(first.maxY, 20.0f);
  EXPECT_GT(style.penX, 0.0f);
  EXPECT_GT(style.glyphScale, 0.0f);
  // A closed contour ends where it starts.
  const Polyline* outer = root.m_children[0]->m_polylines[0];
  EXPECT_EQ(outer->m_points.front(), outer->m_points.back());
}

// Quadratic (TrueType) and cubic (CFF) curves alike.
TEST_F(PackedFonts, CurvedGlyphsAreFlattenedFinely) {
  for (const char* path : {"font/DejaVuSans.ttf", "font/Cantarell-Regular.otf"}) {
    VectorFont* font = FindOrLoadFont(GetFontCache(), path);
    ASSERT_NE(font, nullptr) << path;
    ShapeNode root;
    TextStyle style;
    style.size = 200.0f;
    style.text = "O";
    font->BuildText(style, &root, nullptr);
    ASSERT_EQ(root.m_children.size(), 1u) << path;
    ASSERT_EQ(root.m_children[0]->m_polylines.size(), 2u) << path;
    const Polyline* outer = root.m_children[0]->m_polylines[0];
    EXPECT_GT(outer->m_points.size(), 30u) << path;
    EXPECT_EQ(outer->m_points.front(), outer->m_points.back()) << path;
    // No step along the flattened curve is long compared with the letter.
    for (size_t i = 1; i < outer->m_points.size(); ++i)
      EXPECT_LT(glm::distance(outer->m_points[i - 1], outer->m_points[i]), 20.0f) << path << " " << i;
    const Box box = BoxOf(*root.m_children[0]);
    EXPECT_GT(box.maxY - box.minY, 100.0f) << path;
    EXPECT_LT(box.maxY - box.minY, 200.0f) << path;
  }
}

TEST_F(PackedFonts, DotsAndRunsComeFromLitPixels) {
  VectorFont* font = DejaVu();
  ASSERT_NE(font, nullptr);
  TextStyle style;
  style.size = 20.0f;
  style.dotSize = 0.1f;
  style.renderOutline = false;
  style.renderDot = true;
  style.text = "I ";
  ShapeNode dots;
  font->BuildText(style, &dots, nullptr);
  ASSERT_EQ(dots.m_children.size(), 2u);
  EXPECT_GT(dots.m_children[0]->m_polylines.size(), 10u);
  EXPECT_TRUE(dots.m_children[1]->m_polylines.empty());  // the space: an empty child, the pen moves on
  EXPECT_GT(style.penX, 0.0f);
  for (const Polyline* p : dots.m_children[0]->m_polylines) {
    ASSERT_EQ(p->m_points.size(), 2u);
    EXPECT_NEAR(p->m_length, 0.1f, 1e-5f);
    EXPECT_EQ(p->m_points[0].y, p->m_points[1].y);
  }

  style.renderDot = false;
  style.renderLines = true;
  style.text = "I\nI";
  ShapeNode runs;
  font->BuildText(style, &runs, nullptr);
  // The newline is a glyph like any other here: the text stays on one line.
  ASSERT_EQ(runs.m_children.size(), 3u);
  const Box first = BoxOf(*runs.m_children[0]);
  const Box third = BoxOf(*runs.m_children[2]);
  EXPECT_FLOAT_EQ(first.minY, third.minY);
  EXPECT_GT(third.minX, first.maxX);
  // 'I' is a vertical bar: one horizontal run per row.
  for (const Polyline* p : runs.m_children[0]->m_polylines) {
    ASSERT_EQ(p->m_points.size(), 2u);
    EXPECT_EQ(p->m_points[0].y, p->m_points[1].y);
    EXPECT_LE(p->m_points[0].x, p->m_points[1].x);
  }
  EXPECT_GT(runs.m_children[0]->m_polylines.size(), 5u);
}

TEST_F(PackedFonts, TwoModesGiveTwoSetsOfGlyphNodes) {
  VectorFont* font = DejaVu();
  ASSERT_NE(font, nullptr);
  TextStyle style;
  style.text = "AB";
  style.renderDot = true;
  ShapeNode root;
  font->BuildText(style, &root, nullptr);
  EXPECT_EQ(root.m_children.size(), 4u);
}

TEST_F(PackedFonts, HighBytesAreUnsignedAndSkippedWithoutAGlyph) {
  VectorFont* font = DejaVu();
  ASSERT_NE(font, nullptr);
  const struct {
    std::string text;
    size_t children;
    bool penMoves;
  } cases[] = {
      {"\x80", 0, false},  // a C1 control: no glyph, left out
      {"\xe9", 1, true},   // U+00E9, which DejaVu has
      {"", 0, false},
  };
  for (const auto& c : cases) {
    ShapeNode root;
    TextStyle style;
    style.text = c.text;
    font->BuildText(style, &root, nullptr);
    EXPECT_EQ(root.m_children.size(), c.children);
    EXPECT_EQ(style.penX > 0.0f, c.penMoves);
  }
}
