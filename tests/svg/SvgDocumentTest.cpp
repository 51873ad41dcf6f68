// Whole documents: the tokenizer, the attribute stack, the root element and
// the view-box fit, documents written in the styles of common drawing
// programs (tests/svg/data), and broken input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "svg/SvgParser.h"
#include "SvgTestUtil.h"

namespace {

const std::string kRect1 = "<rect width=\"1\" height=\"1\"/>";

void ExpectFiniteImage(const SvgImage& image, const std::string& doc) {
  EXPECT_TRUE(std::isfinite(image.width)) << doc;
  EXPECT_TRUE(std::isfinite(image.height)) << doc;
  for (const SvgShape* shape : Shapes(image)) {
    for (float b : shape->bounds) EXPECT_FALSE(std::isnan(b)) << doc;
    for (const SvgPath* path : Paths(*shape))
      for (const Pt& p : Points(*path)) {
        EXPECT_FALSE(std::isnan(p.x)) << doc;
        EXPECT_FALSE(std::isnan(p.y)) << doc;
      }
  }
}

int CountShapes(const SvgImage& image) { return static_cast<int>(Shapes(image).size()); }

}  // namespace

// ---------------------------------------------------------------------------
// Tokenizer
// ---------------------------------------------------------------------------

TEST(SvgDocument, DocumentsWithoutSupportedElementsGiveAnEmptyImage) {
  const char* cases[] = {"",
                         "hello world",
                         "<",
                         ">",
                         "<<<>>>",
                         "<svg></svg>",
                         "<svg/>",
                         "<svg width=\"10\"",
                         "<?xml version=\"1.0\"?>",
                         "<svg><text>no shapes</text><use href=\"#a\"/></svg>",
                         "<svg><defs><rect width=\"5\" height=\"5\"/></defs></svg>"};
  for (const char* doc : cases) {
    SvgImagePtr image = ParseText(doc);
    ASSERT_NE(image, nullptr) << doc;
    EXPECT_EQ(image->shapes, nullptr) << doc;
    EXPECT_EQ(image->width, 0.0f) << doc;
    EXPECT_EQ(image->height, 0.0f) << doc;
  }
}

TEST(SvgDocument, MarkupOtherThanElementsIsSkipped) {
  struct Case {
    std::string doc;
    int shapes;
  };
  const std::string root = "<svg width=\"10\" height=\"10\">";
  const Case cases[] = {
      // Comments and CDATA are skipped whole, whatever markup they hold.
      {root + "<!-- a > b -->" + kRect1 + "</svg>", 1},
      {root + "<!-- <rect width=\"5\" height=\"5\"/> -->" + kRect1 + "</svg>", 1},
      {root + "<!-- a > <rect width=\"5\" height=\"5\"/> -->" + kRect1 + "</svg>", 1},
      {root + "<!--><rect width=\"5\" height=\"5\"/>-->" + kRect1 + "</svg>", 1},
      {root + "<![CDATA[ <rect width=\"5\" height=\"5\"/> ]]>" + kRect1 + "</svg>", 1},
      {root + "<![CDATA[ it's > <rect width=\"5\" height=\"5\"/> ]]>" + kRect1 + "</svg>", 1},
      {root + kRect1 + "<!-- unterminated <rect width=\"5\" height=\"5\"/>", 1},
      {"<?xml version=\"1.0\"?><?xml-stylesheet href=\"a.css\"?>" + root + kRect1 + "</svg>", 1},
      {"<!DOCTYPE svg [ <!ENTITY ns \"x\"> ]>" + root + kRect1 + "</svg>", 1},
      {root + "<RECT width=\"5\" height=\"5\"/>" + kRect1 + "</svg>", 1},
      {root + "text &amp; more" + kRect1 + "text</svg>trailing", 1},
      {root + kRect1 + "<rect width=\"1\" height=\"1\"", 1},  // the unclosed tag is never read
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseText(c.doc);
    EXPECT_EQ(CountShapes(*image), c.shapes) << c.doc;
  }
}

TEST(SvgDocument, AttributeSyntaxVariants) {
  struct Case {
    std::string element;
    float x0, y0, x1, y1;
  };
  const Case cases[] = {
      {"<rect x='1' y='2' width='3' height='4'/>", 1, 2, 4, 6},
      {"<rect\n\tx=\"1\"\r\n y = \"2\" width=\"3\"\theight=\"4\"/>", 1, 2, 4, 6},
      {"<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" />", 1, 2, 4, 6},
      {"<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"></rect >", 1, 2, 4, 6},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(c.element);
    ASSERT_EQ(CountShapes(*image), 1) << c.element;
    ExpectBounds(image->shapes->bounds, c.x0, c.y0, c.x1, c.y1, 1e-6f);
  }
  SvgImagePtr quoted = ParseElement("<path d='M 0 0 L 1 1' id=\"a'b\" class='c\"d'/>");
  EXPECT_STREQ(quoted->shapes->id, "a'b");
  EXPECT_STREQ(quoted->shapes->className, "c\"d");
}

TEST(SvgDocument, ACommentedOutGroupStaysOutAndKeepsTheLiveGroupsTransform) {
  // Editors comment out whole groups; neither the dead group's start tag nor
  // its end tag may reach the attribute stack.
  const std::string doc = "<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\">"
                          "<g transform=\"translate(10 0)\">"
                          "<!-- <g transform=\"translate(50 0)\"><rect width=\"5\" height=\"5\"/></g> -->"
                          "<rect width=\"1\" height=\"1\"/>"
                          "</g></svg>";
  SvgImagePtr image = ParseText(doc);
  ASSERT_EQ(CountShapes(*image), 1);
  ExpectBounds(image->shapes->bounds, 10, 0, 11, 1, 1e-6f);
}

TEST(SvgDocument, AGreaterThanSignInAQuotedValueDoesNotEndTheTag) {
  struct Case {
    std::string element;
    float x1;
  };
  const Case cases[] = {
      {"<rect data-note=\"a > b\" width=\"5\" height=\"5\"/>", 5},
      {"<rect data-note='a > b' width=\"6\" height=\"5\"/>", 6},
      {"<rect data-note='say \"x > y\"' width=\"7\" height=\"5\"/>", 7},
      {"<rect style=\"fill:red\" data-q=\"'>'\" width=\"8\" height=\"5\"/>", 8},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(c.element);
    ASSERT_EQ(CountShapes(*image), 1) << c.element;
    ExpectBounds(image->shapes->bounds, 0, 0, c.x1, 5, 1e-6f);
  }
}

TEST(SvgDocument, AtMost127AttributesAreReadPerTag) {
  for (int dummies : {125, 126}) {
    std::string element = "<rect";
    for (int i = 0; i < dummies; ++i) element += " a" + std::to_string(i) + "=\"0\"";
    element += " width=\"5\" height=\"5\"/>";
    SvgImagePtr image = ParseElement(element);
    // 125 + 2 fit; with 126 the height is the 128th and is not read.
    EXPECT_EQ(CountShapes(*image), dummies == 125 ? 1 : 0) << dummies;
  }
}

// ---------------------------------------------------------------------------
// Attribute stack
// ---------------------------------------------------------------------------

TEST(SvgDocument, GroupsPassTheirSettingsDownAndRestoreThemAfter) {
  struct Case {
    std::string body;
    std::vector<float> minX;  // of the shapes in order
  };
  const Case cases[] = {
      {"<g transform=\"translate(10,0)\">" + kRect1 + "</g>" + kRect1, {10, 0}},
      // "g/" names no element: it neither pushes nor pops.
      {"<g transform=\"translate(10,0)\"><g/>" + kRect1 + "</g>" + kRect1, {10, 0}},
      {"<g transform=\"translate(10,0)\"><g />" + kRect1 + "</g>" + kRect1, {10, 0}},
      {"<g transform=\"translate(10,0)\"><g transform=\"translate(5,0)\"/>" + kRect1 + "</g>" + kRect1, {10, 0}},
      // Stray end tags never go below the root level.
      {"</g></g>" + kRect1 + "<g transform=\"translate(3,0)\">" + kRect1 + "</g></g></g>" + kRect1, {0, 3, 0}},
      // Definitions skip groups, and their end tags pop nothing.
      {"<g transform=\"translate(5,0)\"><defs><g transform=\"scale(9)\">" + kRect1 + "</g></defs>" + kRect1 +
           "</g>" + kRect1,
       {5, 0}},
      // Unknown elements are skipped with their attributes, not their children.
      {"<text transform=\"scale(9)\" x=\"50\">hi</text><use x=\"50\"/><a href=\"#x\">" + kRect1 + "</a>", {0}},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(c.body);
    const auto shapes = Shapes(*image);
    ASSERT_EQ(shapes.size(), c.minX.size()) << c.body;
    for (size_t i = 0; i < shapes.size(); ++i) EXPECT_NEAR(shapes[i]->bounds[0], c.minX[i], 1e-5f) << c.body;
  }
}

TEST(SvgDocument, DeepNestingKeepsWorkingOnTheLastLevelAndUnwindsToTheRoot) {
  for (int depth : {127, 130, 5000}) {
    std::string body;
    for (int i = 0; i < depth; ++i) body += "<g transform=\"translate(1,0)\">";
    body += "<rect width=\"1\" height=\"1\" fill=\"red\"/>";
    for (int i = 0; i < depth; ++i) body += "</g>";
    body += kRect1;
    SvgImagePtr image = ParseText("<svg width=\"10000\" height=\"10\" viewBox=\"0 0 10000 10\">" + body + "</svg>");
    const auto shapes = Shapes(*image);
    ASSERT_EQ(shapes.size(), 2u) << depth;
    EXPECT_NEAR(shapes[0]->bounds[0], static_cast<float>(depth), 1e-3f) << depth;
    EXPECT_EQ(shapes[0]->fill.color, 0xFF0000FFu) << depth;
    EXPECT_NEAR(shapes[1]->bounds[0], 0.0f, 1e-6f) << depth;
    EXPECT_EQ(shapes[1]->fill.color, 0xFF000000u) << depth;
  }
}

TEST(SvgDocument, RootAttributesChangeTheRootLevel) {
  SvgImagePtr image = ParseText(
      "<svg fill=\"red\" transform=\"translate(5,0)\" id=\"root\" class=\"page\" width=\"100\" height=\"100\" "
      "viewBox=\"0 0 100 100\">" +
      kRect1 + "</svg>");
  ASSERT_EQ(CountShapes(*image), 1);
  const SvgShape& shape = *image->shapes;
  EXPECT_EQ(shape.fill.color, 0xFF0000FFu);
  EXPECT_STREQ(shape.id, "root");
  EXPECT_STREQ(shape.className, "page");
  EXPECT_NEAR(shape.bounds[0], 5.0f, 1e-6f);
}

TEST(SvgDocument, ShapesComeInDocumentOrderAndStartUntouched) {
  SvgImagePtr image = ParseElement("<g id=\"ENG1.1\"><path d=\"M0 0 L1 1\"/><path d=\"M0 0 L2 2\"/></g>"
                                   "<circle id=\"c\" r=\"3\"/><rect id=\"r\" width=\"1\" height=\"1\"/>");
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 4u);
  const char* ids[] = {"ENG1.1", "ENG1.1", "c", "r"};
  for (size_t i = 0; i < shapes.size(); ++i) {
    EXPECT_STREQ(shapes[i]->id, ids[i]);
    EXPECT_EQ(shapes[i]->group, nullptr);
    EXPECT_EQ(shapes[i]->taken, 0);
    for (const SvgPath* path : Paths(*shapes[i])) {
      EXPECT_STREQ(path->id, ids[i]);
      for (int k = 0; k < path->npts * 4; ++k) EXPECT_EQ(path->pointData[k], 0);
    }
  }
}

// ---------------------------------------------------------------------------
// Root element and view-box fit
// ---------------------------------------------------------------------------

TEST(SvgViewBox, FitScalesAndAlignsTheViewBox) {
  struct Case {
    std::string rootAttribs;
    float width, height;            // of the image
    float x0, y0, x1, y1;           // of a rect 0 0 10 10
  };
  const Case cases[] = {
      {"width=\"100\" height=\"50\" viewBox=\"0 0 10 10\"", 100, 50, 0, 0, 100, 50},
      {"width=\"100\" height=\"50\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"none\"", 100, 50, 0, 0, 100, 50},
      {"width=\"100\" height=\"50\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMidYMid meet\"", 100, 50, 25, 0, 75, 50},
      {"width=\"100\" height=\"50\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMidYMid\"", 100, 50, 25, 0, 75, 50},
      {"width=\"50\" height=\"100\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMidYMid\"", 50, 100, 0, 25, 50, 75},
      {"width=\"50\" height=\"100\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMinYMax meet\"", 50, 100, 0, 50, 50, 100},
      {"width=\"100\" height=\"50\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMaxYMin\"", 100, 50, 50, 0, 100, 50},
      {"width=\"100\" height=\"50\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMidYMid slice\"", 100, 50, 0, -25, 100, 75},
      {"width=\"100\" height=\"50\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMinYMin slice\"", 100, 50, 0, 0, 100, 100},
      {"width=\"100\" height=\"50\" viewBox=\"-5 -5 10 10\" preserveAspectRatio=\"xMidYMid\"", 100, 50, 50, 25, 100, 75},
      // Commas separate view box numbers too.
      {"width=\"20\" height=\"20\" viewBox=\"0,0,10,10\"", 20, 20, 0, 0, 20, 20},
      // A leading space makes the first number an empty token: min y 0, width 0, height 10.
      {"width=\"100\" height=\"100\" viewBox=\" 0 0 10 10\"", 100, 100, 0, 0, 10, 100},
      // A short view box ends the root's attributes: width and height are never read.
      {"viewBox=\"0 0\" width=\"100\" height=\"40\"", 10, 10, 0, 0, 10, 10},
      // No view box: the size; no size either: the bounds of the drawing.
      {"width=\"30\" height=\"40\"", 30, 40, 0, 0, 10, 10},
      {"", 10, 10, 0, 0, 10, 10},
      // A zero view box counts as none.
      {"width=\"20\" height=\"20\" viewBox=\"0 0 0 0\"", 20, 20, 0, 0, 10, 10},
  };
  for (const Case& c : cases) {
    SvgImagePtr image =
        ParseText("<svg " + c.rootAttribs + "><rect width=\"10\" height=\"10\" stroke-width=\"1\"/></svg>");
    EXPECT_FLOAT_EQ(image->width, c.width) << c.rootAttribs;
    EXPECT_FLOAT_EQ(image->height, c.height) << c.rootAttribs;
    ASSERT_EQ(CountShapes(*image), 1) << c.rootAttribs;
    ExpectBounds(image->shapes->bounds, c.x0, c.y0, c.x1, c.y1, 1e-4f);
    const SvgPath& path = *image->shapes->paths;
    EXPECT_NEAR(path.pts[0], c.x0, 1e-4f) << c.rootAttribs;
    EXPECT_NEAR(path.pts[1], c.y0, 1e-4f) << c.rootAttribs;
  }
}

TEST(SvgViewBox, DrawingsWithoutASizeMoveToTheOrigin) {
  SvgImagePtr image = ParseText("<svg><rect x=\"10\" y=\"20\" width=\"30\" height=\"40\"/></svg>");
  EXPECT_FLOAT_EQ(image->width, 30.0f);
  EXPECT_FLOAT_EQ(image->height, 40.0f);
  ExpectBounds(image->shapes->bounds, 0, 0, 30, 40, 1e-6f);
}

TEST(SvgViewBox, ZeroOrNegativeScalesGiveNoShapesInsteadOfNaN) {
  const char* cases[] = {
      "<svg width=\"100\" height=\"100\" viewBox=\"0 0 -10 10\"><rect width=\"5\" height=\"5\"/></svg>",
      "<svg width=\"100\" height=\"100\" viewBox=\"0 0 10 -10\" preserveAspectRatio=\"xMidYMid\"><rect width=\"5\" "
      "height=\"5\"/></svg>",
      "<svg width=\"-100\" height=\"100\" viewBox=\"0 0 10 10\"><rect width=\"5\" height=\"5\"/></svg>",
      "<svg viewBox=\"0 0 0 10\" height=\"10\" preserveAspectRatio=\"xMidYMid meet\"><line x1=\"5\" y1=\"0\" "
      "x2=\"5\" y2=\"10\"/></svg>",
      "<svg viewBox=\"0 0 0 10\" height=\"10\" preserveAspectRatio=\"xMidYMid slice\"><linearGradient id=\"g\">"
      "<stop offset=\"0\"/></linearGradient><line x1=\"5\" y1=\"0\" x2=\"5\" y2=\"10\" stroke=\"url(#g)\"/></svg>",
      "<svg width=\"1e39\" height=\"10\" viewBox=\"0 0 10 10\"><rect width=\"5\" height=\"5\"/></svg>",
  };
  for (const char* doc : cases) {
    SvgImagePtr image = ParseText(doc);
    ASSERT_NE(image, nullptr) << doc;
    EXPECT_EQ(image->shapes, nullptr) << doc;
  }
}

// A drawing that is one straight line and names no size has no extent across
// the line: that axis scales by 0 and the line lands on the image's edge,
// whole along its length.
TEST(SvgViewBox, LoneStraightLinesWithoutASizeKeepTheirLength) {
  struct Case {
    const char* doc;
    float width, height;
    std::vector<Pt> knots;
  };
  const Case cases[] = {
      {"<svg><line x1=\"5\" y1=\"2\" x2=\"5\" y2=\"12\"/></svg>", 0, 10, {{0, 0}, {0, 10}}},
      {"<svg><path d=\"M 3 7 H 23\"/></svg>", 20, 0, {{0, 0}, {20, 0}}},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseText(c.doc);
    ASSERT_NE(image, nullptr) << c.doc;
    EXPECT_FLOAT_EQ(image->width, c.width) << c.doc;
    EXPECT_FLOAT_EQ(image->height, c.height) << c.doc;
    ASSERT_NE(image->shapes, nullptr) << c.doc;
    ASSERT_NE(image->shapes->paths, nullptr) << c.doc;
    ExpectPoints(Knots(*image->shapes->paths), c.knots, 1e-5f);
    ExpectBounds(image->shapes->bounds, c.knots.front().x, c.knots.front().y, c.knots.back().x, c.knots.back().y,
                 1e-5f);
  }
}

// ---------------------------------------------------------------------------
// Documents in the styles of common drawing programs
// ---------------------------------------------------------------------------

TEST(SvgRealDocuments, LayeredEditorDocumentInMillimetres) {
  SvgImagePtr image = ParseText(ReadTestDocument("editor_layers.svg"), 96.0f);
  const float s = 96.0f / 25.4f;  // pixels per millimetre
  EXPECT_NEAR(image->width, 100 * s, 1e-3f);
  EXPECT_NEAR(image->height, 50 * s, 1e-3f);
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 2u);

  // The rectangle: relative lines in a layer moved by (-10, -5), closed.
  const SvgShape& rect = *shapes[0];
  EXPECT_STREQ(rect.id, "rect10");
  EXPECT_EQ(rect.fill.type, kSvgPaintColor);
  EXPECT_EQ(rect.fill.color, 0x7F0000FFu);
  EXPECT_EQ(rect.stroke.color, 0xFF000000u);
  EXPECT_NEAR(rect.strokeWidth, 0.5f * s, 1e-4f);
  EXPECT_EQ(rect.strokeLineCap, kSvgCapRound);
  EXPECT_EQ(rect.strokeLineJoin, kSvgJoinBevel);
  // A named element keeps the lone point that z leaves behind: it comes first.
  const auto rectPaths = Paths(rect);
  ASSERT_EQ(rectPaths.size(), 2u);
  EXPECT_EQ(rectPaths[0]->npts, 1);
  EXPECT_NEAR(rectPaths[0]->pts[0], 10 * s, 1e-3f);
  EXPECT_NEAR(rectPaths[0]->pts[1], 10 * s, 1e-3f);
  EXPECT_EQ(rectPaths[1]->closed, 1);
  ExpectPoints(Knots(*rectPaths[1]), {{10 * s, 10 * s}, {50 * s, 10 * s}, {50 * s, 30 * s}, {10 * s, 30 * s}, {10 * s, 10 * s}},
               1e-3f);
  ExpectBounds(rect.bounds, 10 * s, 10 * s, 50 * s, 30 * s, 1e-3f);

  // The arc: a dashed half circle of radius 10 over the centre (70, 25).
  const SvgShape& arc = *shapes[1];
  EXPECT_STREQ(arc.id, "path12");
  EXPECT_EQ(arc.fill.type, kSvgPaintNone);
  EXPECT_EQ(arc.stroke.color, 0xFFFF0000u);
  ASSERT_EQ(arc.strokeDashCount, 2);
  EXPECT_NEAR(arc.strokeDashArray[0], 2 * s, 1e-4f);
  EXPECT_NEAR(arc.strokeDashArray[1], 1 * s, 1e-4f);
  const SvgPath& arcPath = *arc.paths;
  EXPECT_EQ(arcPath.closed, 0);
  for (const Pt& k : Knots(arcPath)) EXPECT_NEAR(std::hypot(k.x - 70 * s, k.y - 25 * s), 10 * s, 1e-3f);
  ExpectBounds(arc.bounds, 60 * s, 15 * s, 80 * s, 25 * s, 0.05f);
}

TEST(SvgRealDocuments, PrintExportWithStyleSheetGradientAndNamedGroup) {
  SvgImagePtr image = ParseText(ReadTestDocument("print_export.svg"));
  EXPECT_FLOAT_EQ(image->width, 200.0f);
  EXPECT_FLOAT_EQ(image->height, 100.0f);
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 6u);

  // The root's id names every shape that has none of its own.
  const char* ids[] = {"Layer_1", "ENG1.1", "ENG1.1", "Layer_1", "Layer_1", "Layer_1"};
  const char* classes[] = {"", "st0", "st1", "st0", "st1", ""};
  const int counts[] = {13, 10, 7, 16, 4, 16};
  for (size_t i = 0; i < shapes.size(); ++i) {
    EXPECT_STREQ(shapes[i]->id, ids[i]) << i;
    EXPECT_STREQ(shapes[i]->className, classes[i]) << i;
    ASSERT_EQ(Paths(*shapes[i]).size(), 1u) << i;
    EXPECT_EQ(shapes[i]->paths->npts, counts[i]) << i;
  }

  // The style sheet is not read: class colours are left to the caller.
  EXPECT_EQ(shapes[1]->fill.color, 0xFF000000u);
  EXPECT_EQ(shapes[2]->stroke.type, kSvgPaintNone);

  const SvgPaint& fill = shapes[0]->fill;
  ASSERT_EQ(fill.type, kSvgPaintLinearGradient);
  ASSERT_EQ(fill.gradient->nstops, 2);
  EXPECT_EQ(fill.gradient->stops[0].color, 0xFFFFFFFFu);
  EXPECT_EQ(fill.gradient->stops[1].color, 0xFF000000u);
  const float* t = fill.gradient->xform;
  EXPECT_NEAR(t[1] * 20 + t[3] * 50 + t[5], 0.0f, 1e-5f);
  EXPECT_NEAR(t[1] * 80 + t[3] * 50 + t[5], 1.0f, 1e-5f);

  ExpectBounds(shapes[0]->bounds, 20, 20, 80, 80, 1e-5f);
  ExpectBounds(shapes[1]->bounds, 100, 20, 140, 60, 1e-5f);
  EXPECT_EQ(shapes[1]->paths->closed, 1);
  ExpectBounds(shapes[2]->bounds, 150, 20, 190, 80, 1e-5f);
  EXPECT_EQ(shapes[2]->paths->closed, 0);
  ExpectBounds(shapes[3]->bounds, 40, 40, 60, 60, 1e-4f);
  ExpectBounds(shapes[4]->bounds, 100, 90, 190, 90, 1e-5f);

  // The ellipse turned by -45 degrees: centre and half extents of the turned box.
  const float a = 0.7071f;
  const float cx = a * 60 + a * 50 - 10, cy = -a * 60 + a * 50 + 60;
  const float half = std::sqrt((a * 20) * (a * 20) + (a * 10) * (a * 10));
  ExpectBounds(shapes[5]->bounds, cx - half, cy - half, cx + half, cy + half, 0.02f);
}

TEST(SvgRealDocuments, CompactWebIconWithImplicitAndRelativeCommands) {
  SvgImagePtr image = ParseText(ReadTestDocument("web_icon.svg"));
  EXPECT_FLOAT_EQ(image->width, 48.0f);
  EXPECT_FLOAT_EQ(image->height, 48.0f);
  ASSERT_EQ(CountShapes(*image), 1);
  const SvgShape& shape = *image->shapes;
  EXPECT_EQ(shape.fill.color, 0xFF000000u);
  ExpectBounds(shape.bounds, 4, 4, 44, 44, 1e-4f);

  // Three subpaths, last first; the stray point after the ring's z is dropped.
  const auto paths = Paths(shape);
  ASSERT_EQ(paths.size(), 3u);
  ExpectBounds(paths[0]->bounds, 22, 14, 26, 18, 1e-4f);
  ExpectBounds(paths[1]->bounds, 22, 22, 26, 34, 1e-4f);
  ExpectBounds(paths[2]->bounds, 4, 4, 44, 44, 1e-4f);
  for (const SvgPath* path : paths) {
    EXPECT_EQ(path->npts, 16);
    EXPECT_EQ(path->closed, 1);
  }
  // The ring: C, s, an implicit s, S, and the closing segment.
  ExpectPoints(Knots(*paths[2]), {{24, 4}, {4, 24}, {24, 44}, {44, 24}, {24, 4}, {24, 4}}, 1e-4f);
  // The first s reflects the control point (2, 6.48) about (2, 12).
  EXPECT_NEAR(paths[2]->pts[8], 4.0f, 1e-4f);
  EXPECT_NEAR(paths[2]->pts[9], 35.04f, 1e-4f);
  ExpectPoints(Knots(*paths[1]), {{22, 34}, {26, 34}, {26, 22}, {22, 22}, {22, 34}, {22, 34}}, 1e-4f);
}

// ---------------------------------------------------------------------------
// Broken input
// ---------------------------------------------------------------------------

TEST(SvgBadInput, EveryPrefixOfARealDocumentParses) {
  for (const char* name : {"editor_layers.svg", "print_export.svg", "web_icon.svg"}) {
    const std::string doc = ReadTestDocument(name);
    ASSERT_FALSE(doc.empty()) << name;
    const int full = CountShapes(*ParseText(doc));
    for (size_t len = 0; len <= doc.size(); ++len) {
      SvgImagePtr image = ParseText(doc.substr(0, len));
      ASSERT_NE(image, nullptr) << name << " cut at " << len;
      ASSERT_LE(CountShapes(*image), full) << name << " cut at " << len;
      ExpectFiniteImage(*image, doc.substr(0, len));
    }
  }
}

TEST(SvgBadInput, RandomMarkupNeverBreaksTheParser) {
  static const char* const kPieces[] = {
      "<", ">", "/", "\"", "'", "=", " ", "svg", "g", "path", "rect", "circle", "ellipse", "line", "polyline",
      "polygon", "defs", "stop", "linearGradient", "radialGradient", " d=\"", " points=\"", " viewBox=\"",
      " width=\"", " height=\"", " transform=\"", " style=\"", " fill=\"url(#", " xlink:href=\"#", " id=\"", "M",
      "m", "L", "C", "S", "Q", "T", "A", "a", "Z", "z", "H", "v", "e", "E", "-", "+", ".", ",", "0", "1", "9",
      "1e30", "1e-30", "99999999999999999999999", "%", "em", "rotate(", "scale(", "matrix(", ")", "rgb(", "#abc",
      ";", ":", "none", "xMidYMid", "slice", "<!--", "-->", "\n"};
  uint32_t state = 12345;
  auto next = [&]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  const size_t pieceCount = sizeof(kPieces) / sizeof(kPieces[0]);
  for (int doc = 0; doc < 3000; ++doc) {
    std::string text;
    const int n = static_cast<int>(next() % 120);
    for (int i = 0; i < n; ++i) text += kPieces[next() % pieceCount];
    SvgImagePtr image = ParseText(text);
    ASSERT_NE(image, nullptr) << text;
    ExpectFiniteImage(*image, text);
  }
}

TEST(SvgBadInput, LongInputsAreReadInOnePass) {
  std::string d = "M 0 0";
  for (int i = 0; i < 100000; ++i) d += " L " + std::to_string(i % 100) + " " + std::to_string(i % 7);
  SvgImagePtr image = ParseText("<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\"><path d=\"" + d +
                                "\"/></svg>");
  ASSERT_EQ(CountShapes(*image), 1);
  EXPECT_EQ(image->shapes->paths->npts, 1 + 3 * 100000);

  std::string forms;
  for (int i = 0; i < 200000; ++i) forms += "scale";
  image = ParseElement("<rect width=\"1\" height=\"1\" transform=\"" + forms + "\"/>");
  ExpectBounds(image->shapes->bounds, 0, 0, 1, 1, 0);

  const std::string longValue(1 << 20, 'x');
  image = ParseElement("<rect id=\"" + longValue + "\" class=\"" + longValue + "\" style=\"fill:" + longValue +
                       "\" width=\"1\" height=\"1\"/>");
  ASSERT_EQ(CountShapes(*image), 1);
  EXPECT_EQ(std::string(image->shapes->id).size(), 63u);
  EXPECT_EQ(image->shapes->fill.color, 0xFF808080u);
}

TEST(SvgBadInput, TextEndsAtTheFirstNul) {
  std::string doc = "<svg width=\"10\" height=\"10\">" + kRect1;
  doc += '\0';
  doc += kRect1 + "</svg>";
  EXPECT_EQ(CountShapes(*ParseText(doc)), 1);
}

TEST(SvgBadInput, NullTextGivesAnEmptyImage) {
  SvgImage* image = ParseSvg(nullptr, 96.0f);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->shapes, nullptr);
  DeleteSvgImage(image);
  DeleteSvgImage(nullptr);
}
