// Presentation attributes, styles, numbers, units, colours, dash lists,
// transform lists and gradients of the SVG parser.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "svg/SvgParser.h"
#include "SvgTestUtil.h"

namespace {

Pt Apply(const float* t, Pt p) { return {t[0] * p.x + t[2] * p.y + t[4], t[1] * p.x + t[3] * p.y + t[5]}; }

const SvgShape& OnlyShape(const SvgImagePtr& image) {
  EXPECT_NE(image, nullptr);
  EXPECT_NE(image->shapes, nullptr);
  EXPECT_EQ(image->shapes->next, nullptr);
  return *image->shapes;
}

}  // namespace

// ---------------------------------------------------------------------------
// Numbers and units
// ---------------------------------------------------------------------------

TEST(SvgNumbers, TokensStopWhereTheGrammarEnds) {
  struct Case {
    const char* text;
    const char* token;
    const char* rest;
    double value;
  };
  const Case cases[] = {
      {"1e2", "1e2", "", 100.0},       {"2em", "2", "em", 2.0},          {"3ex", "3", "ex", 3.0},
      {"1.5.5", "1.5", ".5", 1.5},     {"-.5", "-.5", "", -0.5},         {"+3,4", "+3", ",4", 3.0},
      {"1E-2", "1E-2", "", 0.01},      {"7e+1x", "7e+1", "x", 70.0},     {"12.375px", "12.375", "px", 12.375},
      {".", ".", "", 0.0},             {"-", "-", "", 0.0},              {"abc", "", "abc", 0.0},
      {"1e", "1e", "", 1.0},           {"0.25%", "0.25", "%", 0.25},     {" 5", "", " 5", 0.0},
  };
  for (const Case& c : cases) {
    char buf[SvgParser::kNumberSize];
    const char* rest = SvgParser::ParseNumber(c.text, buf);
    EXPECT_STREQ(buf, c.token) << c.text;
    EXPECT_STREQ(rest, c.rest) << c.text;
    EXPECT_DOUBLE_EQ(SvgParser::ParseFloat(c.text), c.value) << c.text;
  }
}

TEST(SvgNumbers, LongDigitRunsReadLikeTheCLibrary) {
  // More digits than a 64-bit accumulator or the 63-character token holds.
  const std::string many(70, '0');
  const std::vector<std::string> cases = {
      "18446744073709551616",
      "123456789012345678901234567890",
      "-98765432109876543210.5",
      "0.1234567890123456789012345",
      "0.000000000000000000000000000012345678901234567",
      "9999999999999999999.99999999999999999999",
      "123456789012345678.5",
      many + "1.5",
      "1" + std::string(36, '0'),
      "1" + many + "e-68",
      "0." + std::string(400, '0') + "1e400",
      "314159265358979323846264338327950288419716939937510e-50",
  };
  for (const std::string& text : cases) {
    const float want = std::strtof(text.c_str(), nullptr);
    EXPECT_FLOAT_EQ(static_cast<float>(SvgParser::ParseFloat(text.c_str())), want) << text;
    char buf[SvgParser::kNumberSize];
    EXPECT_EQ(*SvgParser::ParseNumber(text.c_str(), buf), '\0') << "whole token passed over: " << text;
  }
}

TEST(SvgNumbers, OutOfRangeExponentsGiveInfinityOrZeroNeverNaN) {
  EXPECT_TRUE(std::isinf(static_cast<float>(SvgParser::ParseFloat("1e39"))));
  EXPECT_TRUE(std::isinf(SvgParser::ParseFloat("1e400")));
  EXPECT_TRUE(std::isinf(SvgParser::ParseFloat("1e99999999999999")));
  EXPECT_EQ(SvgParser::ParseFloat("0e400"), 0.0);
  EXPECT_EQ(SvgParser::ParseFloat("1e-400"), 0.0);
  EXPECT_EQ(SvgParser::ParseFloat("0.0e100000"), 0.0);
}

TEST(SvgNumbers, ManyDigitsInDocumentsKeepTheirValue) {
  const std::string zeros(70, '0');
  SvgImagePtr image = ParseElement("<rect x=\"" + zeros + "10\" y=\"0\" width=\"" + zeros + "20.5\" height=\"5\"/>");
  ExpectBounds(OnlyShape(image).bounds, 10.0f, 0.0f, 30.5f, 5.0f, 1e-5f);

  image = ParseText("<svg width=\"10\" height=\"10\"><path d=\"M 0 0 L 12345678901234567890 0\"/></svg>");
  const SvgShape& shape = OnlyShape(image);
  EXPECT_FLOAT_EQ(shape.paths->pts[shape.paths->npts * 2 - 2], 12345678901234567890.0f);
}

TEST(SvgUnits, SuffixesConvertToPixels) {
  struct Case {
    const char* width;
    float dpi;
    float pixels;
  };
  // A 200 x 100 view box shown at its own size; font size 10.
  const Case cases[] = {
      {"10", 96, 10},     {"10px", 96, 10},   {"72pt", 96, 96},    {"6pc", 96, 96},   {"25.4mm", 96, 96},
      {"2.54cm", 96, 96}, {"1in", 96, 96},    {"1in", 72, 72},     {"36pt", 72, 36},  {"50%", 96, 100},
      {"2em", 96, 20},    {"2ex", 96, 10.4f}, {"10pxx", 96, 10},   {"10q", 96, 10},   {"10P", 96, 10},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseText(
        std::string("<svg width=\"200\" height=\"100\" viewBox=\"0 0 200 100\"><rect font-size=\"10\" width=\"") +
            c.width + "\" height=\"10\"/></svg>",
        c.dpi);
    const SvgShape& shape = OnlyShape(image);
    EXPECT_NEAR(shape.bounds[2] - shape.bounds[0], c.pixels, 1e-4f) << c.width << " at dpi " << c.dpi;
  }
}

TEST(SvgUnits, PercentagesStartAtTheViewOrigin) {
  SvgImagePtr image =
      ParseText("<svg width=\"200\" height=\"100\" viewBox=\"50 10 200 100\"><rect x=\"10%\" y=\"50%\" width=\"10\" "
                "height=\"10\"/></svg>");
  // x = 50 + 20, y = 10 + 50, then the view origin moves to 0.
  ExpectBounds(OnlyShape(image).bounds, 20.0f, 50.0f, 30.0f, 60.0f, 1e-5f);
}

TEST(SvgUnits, RootSizeTakesAbsoluteUnitsAndIgnoresPercent) {
  SvgImagePtr image = ParseText("<svg width=\"2in\" height=\"50%\"></svg>", 96.0f);
  EXPECT_FLOAT_EQ(image->width, 192.0f);
  EXPECT_FLOAT_EQ(image->height, 0.0f);
}

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

TEST(SvgColors, EveryNotationReadsAsBgr) {
  struct Case {
    const char* text;
    uint32_t color;  // 0x00BBGGRR
  };
  const Case cases[] = {
      {"#abc", 0xCCBBAA},
      {"#ABC", 0xCCBBAA},
      {"#ff0000", 0x0000FF},
      {"#00FF00", 0x00FF00},
      {"#0000ff", 0xFF0000},
      {"  #102030", 0x302010},
      {"#abc def", 0xCCBBAA},
      {"#abcd", 0x000000},
      {"#1234567", 0x000000},
      {"#", 0x000000},
      {"#12zz56", 0x120000},  // reading stops at z: the value 0x12 is rrggbb
      {"rgb(100%,50%,0%)", 0x007FFF},
      {"rgb(10, 20, 30)", 0x1E140A},
      {"rgb(10 20 30)", 0x1E140A},
      {"rgb( 1,\t2 ,3)", 0x030201},
      {"rgb(300,-5,20)", 0x1400FF},  // out of range: clamped
      {"rgb(10,20)", 0x00140A},      // missing: 0
      {"rgb(10;20;30)", 0x00000A},
      {"rgb(50%,50,50)", 0x7F7F7F},  // the first separator decides
      {"red", 0x0000FF},
      {"green", 0x008000},
      {"blue", 0xFF0000},
      {"yellow", 0x00FFFF},
      {"cyan", 0xFFFF00},
      {"magenta", 0xFF00FF},
      {"black", 0x000000},
      {"grey", 0x808080},
      {"gray", 0x808080},
      {"white", 0xFFFFFF},
      {"Red", 0x808080},
      {"red ", 0x808080},
      {"transparent", 0x808080},
      {"rgba(1,2,3,0.5)", 0x808080},
      {"", 0x808080},
  };
  for (const Case& c : cases) EXPECT_EQ(SvgParser::ParseColor(c.text), c.color) << '"' << c.text << '"';
}

TEST(SvgColors, PaintsCarryTheirOpacityInTheHighByte) {
  struct Case {
    const char* attribs;
    uint8_t fillType;
    uint32_t fill;
    uint8_t strokeType;
    uint32_t stroke;
  };
  const Case cases[] = {
      {"", kSvgPaintColor, 0xFF000000, kSvgPaintNone, 0},
      {"fill=\"#102030\" fill-opacity=\"0.5\"", kSvgPaintColor, 0x7F302010, kSvgPaintNone, 0},
      {"fill=\"none\" stroke=\"red\" stroke-opacity=\"0.25\"", kSvgPaintNone, 0, kSvgPaintColor, 0x3F0000FF},
      {"fill=\"blue\" fill-opacity=\"2\"", kSvgPaintColor, 0xFFFF0000, kSvgPaintNone, 0},
      {"fill=\"blue\" fill-opacity=\"-1\"", kSvgPaintColor, 0x00FF0000, kSvgPaintNone, 0},
      {"fill=\"url(#missing)\" stroke=\"white\"", kSvgPaintNone, 0, kSvgPaintColor, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(std::string("<rect width=\"10\" height=\"10\" ") + c.attribs + "/>");
    const SvgShape& shape = OnlyShape(image);
    EXPECT_EQ(shape.fill.type, c.fillType) << c.attribs;
    if (c.fillType == kSvgPaintColor) {
      EXPECT_EQ(shape.fill.color, c.fill) << c.attribs;
    }
    EXPECT_EQ(shape.stroke.type, c.strokeType) << c.attribs;
    if (c.strokeType == kSvgPaintColor) {
      EXPECT_EQ(shape.stroke.color, c.stroke) << c.attribs;
    }
  }
}

// ---------------------------------------------------------------------------
// Styles, classes and presentation attributes
// ---------------------------------------------------------------------------

TEST(SvgStyles, DeclarationsApplyInOrder) {
  struct Case {
    const char* attribs;
    uint32_t fill;    // 0: fill none
    uint32_t stroke;  // 0: stroke none
    float strokeWidth;
  };
  const Case cases[] = {
      {"style=\"fill:#f00; stroke : blue ;stroke-width:2\"", 0xFF0000FF, 0xFFFF0000, 2},
      {"style=\"fill:red;fill:blue\"", 0xFFFF0000, 0, 1},
      {"style=\"  fill : none ; ; stroke:#fff;;\"", 0, 0xFFFFFFFF, 1},
      {"style=\"fill;stroke:red\"", 0xFF000000, 0xFF0000FF, 1},  // no ':' names nothing
      {"fill=\"red\" style=\"fill:blue\"", 0xFFFF0000, 0, 1},
      {"style=\"fill:blue\" fill=\"red\"", 0xFF0000FF, 0, 1},
      {"style=\"stroke:red;stroke-width:3;opacity:0.5\" stroke-width=\"4\"", 0xFF000000, 0xFF0000FF, 4},
      {"style=\"\"", 0xFF000000, 0, 1},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(std::string("<path ") + c.attribs + " d=\"M 0 0 L 10 10\"/>");
    const SvgShape& shape = OnlyShape(image);
    if (c.fill) {
      EXPECT_EQ(shape.fill.type, kSvgPaintColor) << c.attribs;
      EXPECT_EQ(shape.fill.color, c.fill) << c.attribs;
    } else {
      EXPECT_EQ(shape.fill.type, kSvgPaintNone) << c.attribs;
    }
    if (c.stroke) {
      EXPECT_EQ(shape.stroke.type, kSvgPaintColor) << c.attribs;
      EXPECT_EQ(shape.stroke.color, c.stroke) << c.attribs;
    } else {
      EXPECT_EQ(shape.stroke.type, kSvgPaintNone) << c.attribs;
    }
    EXPECT_FLOAT_EQ(shape.strokeWidth, c.strokeWidth) << c.attribs;
  }
}

TEST(SvgStyles, KeywordsAndClampedNumbers) {
  struct Case {
    const char* attribs;
    float opacity;
    uint8_t cap, join, rule;
    float miter;
    uint8_t flags;
  };
  const Case cases[] = {
      {"", 1, kSvgCapButt, kSvgJoinMiter, kSvgFillNonZero, 4, kSvgFlagsVisible},
      {"opacity=\"1.5\"", 1, 0, 0, 0, 4, 1},
      {"opacity=\"-2\"", 0, 0, 0, 0, 4, 1},
      {"opacity=\"0.25\"", 0.25f, 0, 0, 0, 4, 1},
      {"stroke-linecap=\"round\" stroke-linejoin=\"round\"", 1, kSvgCapRound, kSvgJoinRound, 0, 4, 1},
      {"stroke-linecap=\"square\" stroke-linejoin=\"bevel\"", 1, kSvgCapSquare, kSvgJoinBevel, 0, 4, 1},
      {"stroke-linecap=\"bogus\" stroke-linejoin=\"miter\"", 1, kSvgCapButt, kSvgJoinMiter, 0, 4, 1},
      {"stroke-miterlimit=\"10\"", 1, 0, 0, 0, 10, 1},
      {"stroke-miterlimit=\"-3\"", 1, 0, 0, 0, 0, 1},
      {"fill-rule=\"evenodd\"", 1, 0, 0, kSvgFillEvenOdd, 4, 1},
      {"fill-rule=\"EvenOdd\"", 1, 0, 0, kSvgFillNonZero, 4, 1},
      {"display=\"none\"", 1, 0, 0, 0, 4, 0},
      {"style=\"display:none\"", 1, 0, 0, 0, 4, 0},
      {"display=\"inline\"", 1, 0, 0, 0, 4, 1},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(std::string("<path ") + c.attribs + " d=\"M 0 0 L 10 10\"/>");
    const SvgShape& shape = OnlyShape(image);
    EXPECT_FLOAT_EQ(shape.opacity, c.opacity) << c.attribs;
    EXPECT_EQ(shape.strokeLineCap, c.cap) << c.attribs;
    EXPECT_EQ(shape.strokeLineJoin, c.join) << c.attribs;
    EXPECT_EQ(shape.fillRule, c.rule) << c.attribs;
    EXPECT_FLOAT_EQ(shape.miterLimit, c.miter) << c.attribs;
    EXPECT_EQ(shape.flags, c.flags) << c.attribs;
  }
}

TEST(SvgStyles, AHiddenGroupCannotBeShownByItsChildren) {
  SvgImagePtr image = ParseElement(
      "<g display=\"none\"><g display=\"inline\"><path d=\"M 0 0 L 1 1\"/></g></g><path d=\"M 0 0 L 2 2\"/>");
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 2u);
  EXPECT_EQ(shapes[0]->flags, 0);
  EXPECT_EQ(shapes[1]->flags, kSvgFlagsVisible);
}

TEST(SvgStyles, IdsAndClassesAreKeptCutAndInherited) {
  const std::string longId(80, 'i');
  SvgImagePtr image = ParseElement(
      "<g id=\"outer\" class=\"cls-3 big\">"
      "<path d=\"M 0 0 L 1 1\"/>"
      "<path id=\"own\" d=\"M 0 0 L 1 1\"/>"
      "<g class=\"abcdefghijklmnopqrstuvwxyz\"><rect width=\"1\" height=\"1\"/></g>"
      "<circle id=\"" + longId + "\" r=\"1\"/>"
      "</g><path d=\"M 0 0 L 1 1\"/>");
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 5u);
  struct Want {
    std::string id, cls;
  };
  const Want want[] = {{"outer", "cls-3 big"},
                       {"own", "cls-3 big"},
                       {"outer", "abcdefghijklmnopqrs"},
                       {longId.substr(0, 63), "cls-3 big"},
                       {"", ""}};
  for (size_t i = 0; i < shapes.size(); ++i) {
    EXPECT_EQ(shapes[i]->id, want[i].id) << i;
    EXPECT_EQ(shapes[i]->className, want[i].cls) << i;
    for (const SvgPath* path : Paths(*shapes[i])) EXPECT_EQ(std::string(path->id), want[i].id) << i;
  }
}

TEST(SvgStyles, StrokeLengthsFollowTheTransformAndTheFit) {
  struct Case {
    const char* doc;
    float width, offset;
    std::vector<float> dashes;
  };
  const Case cases[] = {
      {"<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\"><path stroke-width=\"3\" "
       "stroke-dasharray=\"5,3 2\" stroke-dashoffset=\"1\" d=\"M0 0 L 9 9\"/></svg>",
       3, 1, {5, 3, 2}},
      {"<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\"><g transform=\"scale(2)\"><path stroke-width=\"3\" "
       "stroke-dasharray=\"5\" d=\"M0 0 L 9 9\"/></g></svg>",
       6, 0, {10}},
      {"<svg width=\"200\" height=\"200\" viewBox=\"0 0 100 100\"><path stroke-width=\"3\" "
       "stroke-dasharray=\"-4 2\" d=\"M0 0 L 9 9\"/></svg>",
       6, 0, {8, 4}},
      {"<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\"><path stroke-width=\"10%\" "
       "stroke-dasharray=\"10%\" d=\"M0 0 L 9 9\"/></svg>",
       10, 0, {10}},
      {"<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\"><path stroke-dasharray=\"none\" d=\"M0 0 L 9 "
       "9\"/></svg>",
       1, 0, {}},
      {"<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\"><path stroke-dasharray=\"0 0\" d=\"M0 0 L 9 "
       "9\"/></svg>",
       1, 0, {}},
      {"<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\"><path stroke-dasharray=\"1 2 3 4 5 6 7 8 9 10\" "
       "d=\"M0 0 L 9 9\"/></svg>",
       1, 0, {1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseText(c.doc);
    const SvgShape& shape = OnlyShape(image);
    EXPECT_NEAR(shape.strokeWidth, c.width, 1e-4f) << c.doc;
    EXPECT_NEAR(shape.strokeDashOffset, c.offset, 1e-4f) << c.doc;
    ASSERT_EQ(shape.strokeDashCount, static_cast<int>(c.dashes.size())) << c.doc;
    for (size_t i = 0; i < c.dashes.size(); ++i) EXPECT_NEAR(shape.strokeDashArray[i], c.dashes[i], 1e-4f) << c.doc;
  }
}

// ---------------------------------------------------------------------------
// Transforms
// ---------------------------------------------------------------------------

TEST(SvgTransforms, ListsComposeRightToLeft) {
  struct Case {
    const char* text;
    Pt in, out;
  };
  const Case cases[] = {
      {"translate(10) scale(2)", {1, 1}, {12, 2}},
      {"rotate(90 10 0)", {20, 0}, {10, 10}},
      {"rotate(90)", {1, 0}, {0, 1}},
      {"translate(5,6)", {0, 0}, {5, 6}},
      {"scale(2,3)", {1, 1}, {2, 3}},
      {"scale(-1)", {2, 3}, {-2, -3}},
      {"matrix(1 2 3 4 5 6)", {1, 1}, {9, 12}},
      {"matrix(1,2,3,4,5,6)", {1, 1}, {9, 12}},
      {"skewX(45)", {0, 1}, {1, 1}},
      {"skewY(45)", {1, 0}, {1, 1}},
      {"translate(10,20)rotate(90)", {1, 0}, {10, 21}},
      {"scale(2) translate(10)", {1, 1}, {22, 2}},
      {"translate(1e1, -2.5e0)", {0, 0}, {10, -2.5f}},
      {"translate(1-2)", {0, 0}, {1, -2}},
      // Forms with a number count they do not take change nothing.
      {"matrix(1 0 0 1 5) translate(1)", {0, 0}, {1, 0}},
      {"translate(1 2 3)", {0, 0}, {0, 0}},
      {"rotate(90 5)", {1, 0}, {1, 0}},
      {"scale()", {3, 4}, {3, 4}},
      {"scale(2", {3, 4}, {3, 4}},
      {"scale", {3, 4}, {3, 4}},
      {"nonsense", {3, 4}, {3, 4}},
      {"", {3, 4}, {3, 4}},
  };
  for (const Case& c : cases) {
    float t[6];
    SvgParser::ParseTransform(t, c.text);
    const Pt got = Apply(t, c.in);
    EXPECT_NEAR(got.x, c.out.x, 1e-5f) << c.text;
    EXPECT_NEAR(got.y, c.out.y, 1e-5f) << c.text;
  }
}

TEST(SvgTransforms, ProductAppliesTheLeftFactorFirst) {
  float t[6] = {1, 0, 0, 1, 10, 0};      // translate(10, 0)
  const float s[6] = {2, 0, 0, 2, 0, 0};  // scale(2)
  SvgParser::XformMultiply(t, s);
  const Pt got = Apply(t, {1, 0});
  EXPECT_FLOAT_EQ(got.x, 22.0f);
  EXPECT_FLOAT_EQ(got.y, 0.0f);
}

TEST(SvgTransforms, InverseUndoesAndSingularGivesIdentity) {
  const float t[6] = {2, 1, -1, 3, 5, -7};
  float inv[6];
  SvgParser::XformInverse(inv, t);
  const Pt p = Apply(inv, Apply(t, {3, 4}));
  EXPECT_NEAR(p.x, 3.0f, 1e-5f);
  EXPECT_NEAR(p.y, 4.0f, 1e-5f);

  const float singular[6] = {1, 2, 2, 4, 5, 5};
  SvgParser::XformInverse(inv, singular);
  const float identity[6] = {1, 0, 0, 1, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(inv[i], identity[i]);
}

TEST(SvgTransforms, AnElementsOwnTransformAppliesBeforeItsGroups) {
  SvgImagePtr image = ParseElement(
      "<g transform=\"translate(100,0)\"><g transform=\"rotate(90)\">"
      "<path transform=\"scale(2)\" d=\"M 1 0 L 2 0\"/></g></g><path d=\"M 1 0 L 2 0\"/>");
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 2u);
  // scale, then rotate, then translate: (1,0) -> (2,0) -> (0,2) -> (100,2).
  ExpectPoints(Knots(*shapes[0]->paths), {{100, 2}, {100, 4}}, 1e-4f);
  ExpectPoints(Knots(*shapes[1]->paths), {{1, 0}, {2, 0}}, 1e-6f);
}

TEST(SvgTransforms, TransformAfterThePathDataStillApplies) {
  SvgImagePtr image = ParseElement("<path d=\"M 1 1 L 2 2\" transform=\"translate(10,20)\"/>");
  ExpectPoints(Knots(*image->shapes->paths), {{11, 21}, {12, 22}}, 1e-6f);
}

// ---------------------------------------------------------------------------
// Gradients
// ---------------------------------------------------------------------------

TEST(SvgGradients, StopsAreSortedByOffsetKeepingDocumentOrderOnTies) {
  SvgImagePtr image = ParseElement(
      "<defs><linearGradient id=\"g\">"
      "<stop offset=\"0\" stop-color=\"red\"/>"
      "<stop offset=\"1\" stop-color=\"blue\"/>"
      "<stop offset=\"50%\" stop-color=\"white\" stop-opacity=\"0.5\"/>"
      "<stop offset=\"0.5\" style=\"stop-color:#00ff00;stop-opacity:0.25\"/>"
      "</linearGradient></defs><rect width=\"10\" height=\"10\" fill=\"url(#g)\"/>");
  const SvgShape& shape = OnlyShape(image);
  ASSERT_EQ(shape.fill.type, kSvgPaintLinearGradient);
  const SvgGradient& g = *shape.fill.gradient;
  ASSERT_EQ(g.nstops, 4);
  const SvgGradientStop want[] = {{0xFF0000FF, 0}, {0x7FFFFFFF, 0.5f}, {0x3F00FF00, 0.5f}, {0xFFFF0000, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g.stops[i].color, want[i].color) << i;
    EXPECT_FLOAT_EQ(g.stops[i].offset, want[i].offset) << i;
  }
}

TEST(SvgGradients, TransformsMapResultPixelsIntoGradientSpace) {
  const char* stops = "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>";
  struct Probe {
    Pt at;
    Pt gradient;
  };
  struct Case {
    std::string doc;
    uint8_t type;
    std::vector<Probe> probes;
  };
  const std::string root = "<svg width=\"200\" height=\"100\" viewBox=\"0 0 200 100\">";
  const Case cases[] = {
      // User space: the line from x1 to x2 runs 0..1 in the second coordinate.
      {root + "<linearGradient id=\"g\" gradientUnits=\"userSpaceOnUse\" x1=\"20\" y1=\"50\" x2=\"80\" y2=\"50\">" +
           stops + "</linearGradient><rect x=\"20\" y=\"20\" width=\"60\" height=\"60\" fill=\"url(#g)\"/></svg>",
       kSvgPaintLinearGradient,
       {{{20, 50}, {0, 0}}, {{80, 50}, {0, 1}}, {{50, 10}, {0.6666667f, 0.5f}}}},
      // Bounding-box units by default: 0% .. 100% across the shape's box.
      {root + "<linearGradient id=\"g\">" + stops +
           "</linearGradient><rect x=\"10\" y=\"20\" width=\"40\" height=\"20\" fill=\"url(#g)\"/></svg>",
       kSvgPaintLinearGradient,
       {{{10, 30}, {0, 0}}, {{50, 30}, {0, 1}}, {{30, 30}, {0, 0.5f}}}},
      // Plain numbers in bounding-box units are fractions of the box.
      {root + "<linearGradient id=\"g\" x1=\"0.25\" x2=\"0.75\">" + stops +
           "</linearGradient><rect x=\"10\" y=\"20\" width=\"40\" height=\"20\" fill=\"url(#g)\"/></svg>",
       kSvgPaintLinearGradient,
       {{{20, 30}, {0, 0}}, {{40, 30}, {0, 1}}}},
      // Radial in box units: centre at the box centre, radius half the box diagonal / sqrt 2.
      {root + "<radialGradient id=\"g\">" + stops +
           "</radialGradient><rect x=\"10\" y=\"20\" width=\"40\" height=\"20\" fill=\"url(#g)\"/></svg>",
       kSvgPaintRadialGradient,
       {{{30, 30}, {0, 0}}, {{30 + std::sqrt(1000.0f) / 2, 30}, {1, 0}}}},
      // The gradient transform applies before the shape's.
      {root + "<linearGradient id=\"g\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"0\" x2=\"10\" y2=\"0\" "
              "gradientTransform=\"translate(5,0)\">" +
           stops +
           "</linearGradient><g transform=\"translate(100,0)\"><rect width=\"40\" height=\"40\" "
           "fill=\"url(#g)\"/></g></svg>",
       kSvgPaintLinearGradient,
       {{{105, 0}, {0, 0}}, {{115, 0}, {0, 1}}}},
      // Box units measure the shape before its own transform.
      {root + "<linearGradient id=\"g\">" + stops +
           "</linearGradient><g transform=\"translate(100,0) scale(2)\"><rect width=\"10\" height=\"10\" "
           "fill=\"url(#g)\"/></g></svg>",
       kSvgPaintLinearGradient,
       {{{100, 5}, {0, 0}}, {{120, 5}, {0, 1}}}},
      // The view-box fit scales gradients with the shapes.
      {"<svg width=\"400\" height=\"200\" viewBox=\"0 0 200 100\"><linearGradient id=\"g\" "
       "gradientUnits=\"userSpaceOnUse\" x1=\"0\" x2=\"100\">" +
           std::string(stops) + "</linearGradient><rect width=\"100\" height=\"100\" fill=\"none\" stroke=\"url(#g)\"/></svg>",
       kSvgPaintLinearGradient,
       {{{0, 0}, {0, 0}}, {{200, 0}, {0, 1}}}},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseText(c.doc);
    const SvgShape& shape = OnlyShape(image);
    const SvgPaint& paint = shape.fill.type != kSvgPaintNone ? shape.fill : shape.stroke;
    ASSERT_EQ(paint.type, c.type) << c.doc;
    EXPECT_EQ(paint.gradient->nstops, 2);
    for (const Probe& probe : c.probes) {
      const Pt got = Apply(paint.gradient->xform, probe.at);
      if (c.type == kSvgPaintLinearGradient) {
        EXPECT_NEAR(got.y, probe.gradient.y, 1e-5f) << c.doc << " at " << probe.at.x << "," << probe.at.y;
      } else {
        EXPECT_NEAR(got.x, probe.gradient.x, 1e-5f) << c.doc;
        EXPECT_NEAR(got.y, probe.gradient.y, 1e-5f) << c.doc;
      }
    }
  }
}

TEST(SvgGradients, FocalPointIsMeasuredInRadii) {
  const std::string root = "<svg width=\"200\" height=\"100\" viewBox=\"0 0 200 100\">";
  const std::string stops = "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>";
  const std::string box = "<rect x=\"10\" y=\"20\" width=\"40\" height=\"20\" fill=\"url(#g)\"/></svg>";
  const float boxRadius = std::sqrt(40.0f * 40.0f + 20.0f * 20.0f) / std::sqrt(2.0f) * 0.5f;
  const struct {
    std::string gradient;
    float fx, fy;
  } cases[] = {
      // Unset, the focal point is 0 whatever the box.
      {"<radialGradient id=\"g\">", 0.0f, 0.0f},
      {"<radialGradient id=\"g\" gradientUnits=\"userSpaceOnUse\" cx=\"30\" cy=\"30\" r=\"10\">", 0.0f, 0.0f},
      // Set, it is the converted coordinate over the radius.
      {"<radialGradient id=\"g\" gradientUnits=\"userSpaceOnUse\" r=\"10\" fx=\"20\" fy=\"-5\">", 2.0f, -0.5f},
      {"<radialGradient id=\"g\" fx=\"50%\" fy=\"0%\">", 30.0f / boxRadius, 20.0f / boxRadius},
  };
  for (const auto& c : cases) {
    SvgImagePtr image = ParseText(root + c.gradient + stops + "</radialGradient>" + box);
    const SvgShape& shape = OnlyShape(image);
    ASSERT_EQ(shape.fill.type, kSvgPaintRadialGradient) << c.gradient;
    EXPECT_NEAR(shape.fill.gradient->fx, c.fx, 1e-5f) << c.gradient;
    EXPECT_NEAR(shape.fill.gradient->fy, c.fy, 1e-5f) << c.gradient;
  }
}

TEST(SvgGradients, StopsComeThroughReferencesTheRestFromTheFirstDefinition) {
  SvgImagePtr image = ParseElement(
      "<linearGradient id=\"base\"><stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" "
      "stop-color=\"blue\"/></linearGradient>"
      "<linearGradient id=\"mid\" xlink:href=\"#base\"/>"
      "<radialGradient id=\"ref\" xlink:href=\"#mid\" gradientUnits=\"userSpaceOnUse\" cx=\"20\" cy=\"30\" r=\"10\" "
      "spreadMethod=\"reflect\"/>"
      "<rect width=\"50\" height=\"50\" fill=\"url(#ref)\"/>");
  const SvgShape& shape = OnlyShape(image);
  ASSERT_EQ(shape.fill.type, kSvgPaintRadialGradient);
  const SvgGradient& g = *shape.fill.gradient;
  EXPECT_EQ(g.spread, kSvgSpreadReflect);
  ASSERT_EQ(g.nstops, 2);
  EXPECT_EQ(g.stops[0].color, 0xFF0000FFu);
  const Pt centre = Apply(g.xform, {20, 30});
  const Pt rim = Apply(g.xform, {30, 30});
  EXPECT_NEAR(centre.x, 0.0f, 1e-6f);
  EXPECT_NEAR(centre.y, 0.0f, 1e-6f);
  EXPECT_NEAR(rim.x, 1.0f, 1e-6f);
}

TEST(SvgGradients, UnresolvableReferencesGiveNoPaint) {
  const char* cases[] = {
      "<rect width=\"5\" height=\"5\" fill=\"url(#nowhere)\"/>",
      "<linearGradient id=\"empty\"/><rect width=\"5\" height=\"5\" fill=\"url(#empty)\"/>",
      "<linearGradient id=\"a\" xlink:href=\"#b\"/><linearGradient id=\"b\" xlink:href=\"#a\"/>"
      "<rect width=\"5\" height=\"5\" fill=\"url(#a)\"/>",
      "<linearGradient id=\"self\" xlink:href=\"#self\"/><rect width=\"5\" height=\"5\" fill=\"url(self)\"/>",
      "<linearGradient id=\"x\" xlink:href=\"\"/><rect width=\"5\" height=\"5\" fill=\"url(#x)\"/>",
      "<linearGradient id=\"x\" xlink:href=\"#gone\"/><rect width=\"5\" height=\"5\" fill=\"url(#x\"/>",
  };
  for (const char* doc : cases) {
    SvgImagePtr image = ParseElement(doc);
    EXPECT_EQ(OnlyShape(image).fill.type, kSvgPaintNone) << doc;
  }
}

TEST(SvgGradients, SpreadMethodKeepsItsValueOnUnknownWords) {
  struct Case {
    const char* attribs;
    uint8_t spread;
  };
  const Case cases[] = {{"", kSvgSpreadPad},
                        {"spreadMethod=\"repeat\"", kSvgSpreadRepeat},
                        {"spreadMethod=\"reflect\" spreadMethod=\"bogus\"", kSvgSpreadReflect},
                        {"spreadMethod=\"reflect\" spreadMethod=\"pad\"", kSvgSpreadPad}};
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(std::string("<linearGradient id=\"g\" ") + c.attribs +
                                     "><stop offset=\"0\"/></linearGradient><rect width=\"5\" height=\"5\" "
                                     "fill=\"url(#g)\"/>");
    ASSERT_EQ(OnlyShape(image).fill.type, kSvgPaintLinearGradient) << c.attribs;
    EXPECT_EQ(image->shapes->fill.gradient->spread, c.spread) << c.attribs;
  }
}

TEST(SvgGradients, AStopOutsideItsGradientJoinsTheLastOneRead) {
  SvgImagePtr image = ParseElement(
      "<stop offset=\"0\" stop-color=\"red\"/>"  // no gradient yet: dropped
      "<linearGradient id=\"g\"/><stop offset=\"1\" stop-color=\"blue\"/>"
      "<rect width=\"5\" height=\"5\" fill=\"url(#g)\"/>");
  const SvgShape& shape = OnlyShape(image);
  ASSERT_EQ(shape.fill.type, kSvgPaintLinearGradient);
  ASSERT_EQ(shape.fill.gradient->nstops, 1);
  EXPECT_EQ(shape.fill.gradient->stops[0].color, 0xFFFF0000u);
}

TEST(SvgGradients, AttributesOfStopsAndGradientsChangeTheCurrentLevel) {
  // Only "id" of a gradient is its own; an id on a stop names the shapes after it.
  SvgImagePtr image = ParseElement(
      "<linearGradient id=\"g\" fill=\"red\"><stop id=\"S\" offset=\"0\"/></linearGradient>"
      "<path d=\"M 0 0 L 1 1\"/>");
  const SvgShape& shape = OnlyShape(image);
  EXPECT_STREQ(shape.id, "S");
  EXPECT_EQ(shape.fill.color, 0xFF0000FFu);
}
