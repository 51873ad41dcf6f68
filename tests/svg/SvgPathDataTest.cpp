// Path data (every command, relative and absolute, implicit repeats, arcs)
// and the basic shapes of the SVG parser. Documents are 100 x 100 pixels over
// a 100 x 100 view box, so coordinates come out as written.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "svg/SvgParser.h"
#include "SvgTestUtil.h"

namespace {

constexpr float kTwoThirds = 2.0f / 3.0f;

SvgImagePtr ParsePathData(const std::string& d, const std::string& extra = "") {
  return ParseElement("<path " + extra + " d=\"" + d + "\"/>");
}

float Dist(Pt a, Pt b) { return std::hypot(a.x - b.x, a.y - b.y); }

}  // namespace

// ---------------------------------------------------------------------------
// Path commands
// ---------------------------------------------------------------------------

TEST(SvgPathData, CommandsGiveTheirEndPoints) {
  struct Case {
    const char* d;
    std::vector<Pt> knots;  // start and end points of the segments
    bool closed;
  };
  const Case cases[] = {
      {"M 10 10 20 20 30 30", {{10, 10}, {20, 20}, {30, 30}}, false},
      {"m 10 10 20 0", {{10, 10}, {30, 10}}, false},
      {"m 10 10 20 0 0 5", {{10, 10}, {30, 10}, {30, 15}}, false},
      {"M 10 10 L 20 10 l 5 5", {{10, 10}, {20, 10}, {25, 15}}, false},
      {"M 10 10 L 20 10 30 40", {{10, 10}, {20, 10}, {30, 40}}, false},
      {"M 0 0 H 10 V 10 h -5 v -5", {{0, 0}, {10, 0}, {10, 10}, {5, 10}, {5, 5}}, false},
      {"M 0 0 H 10 20 v 5 5", {{0, 0}, {10, 0}, {20, 0}, {20, 5}, {20, 10}}, false},
      {"M 0 0 L 10 0 Z", {{0, 0}, {10, 0}, {0, 0}}, true},
      {"M 0 0 l 10 0 l 0 10 z", {{0, 0}, {10, 0}, {10, 10}, {0, 0}}, true},
      {"M0,0L10-5.5.5", {{0, 0}, {10, -5.5f}}, false},
      {"M0 0L10 0,20 0", {{0, 0}, {10, 0}, {20, 0}}, false},
      {"10 20 M 0 0 L 5 5", {{0, 0}, {5, 5}}, false},              // numbers before any command
      {"M 0 0 X 5 5 L 10 10", {{0, 0}, {10, 10}}, false},          // unknown letter
      {"M 0 0 L e 5", {{0, 0}, {0, 5}}, false},                    // 'e' reads as 0
      {"M 1 2 m 3 4 l 1 1", {{4, 6}, {5, 7}}, false},              // second move replaces the first point
      {"M 1e1 1E1 l -1e-0 +5", {{10, 10}, {9, 15}}, false},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParsePathData(c.d);
    ASSERT_NE(image->shapes, nullptr) << c.d;
    const auto paths = Paths(*image->shapes);
    ASSERT_EQ(paths.size(), 1u) << c.d;
    ExpectPoints(Knots(*paths[0]), c.knots, 1e-5f);
    EXPECT_EQ(paths[0]->npts, 1 + 3 * (static_cast<int>(c.knots.size()) - 1)) << c.d;
    EXPECT_EQ(paths[0]->closed, c.closed ? 1 : 0) << c.d;
  }
}

TEST(SvgPathData, CurvesKeepTheirControlPoints) {
  struct Case {
    const char* d;
    std::vector<Pt> points;
  };
  const Case cases[] = {
      {"M 0 0 C 0 10 10 10 10 0", {{0, 0}, {0, 10}, {10, 10}, {10, 0}}},
      {"M 0 0 c 0 10 10 10 10 0 0 -10 10 -10 10 0",
       {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10, -10}, {20, -10}, {20, 0}}},
      // S after C reflects the second control point about the current point.
      {"M 0 0 C 0 10 10 10 10 0 S 20 -10 20 0", {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10, -10}, {20, -10}, {20, 0}}},
      {"M 0 0 C 0 10 10 10 10 0 s 10 -10 10 0", {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10, -10}, {20, -10}, {20, 0}}},
      // S after a line reflects nothing: the control point is the current point.
      {"M 0 0 L 10 0 S 20 10 30 0",
       {{0, 0}, {10.0f / 3, 0}, {20.0f / 3, 0}, {10, 0}, {10, 0}, {20, 10}, {30, 0}}},
      {"M 0 0 Q 10 10 20 0", {{0, 0}, {6.6666667f, 6.6666667f}, {13.333333f, 6.6666667f}, {20, 0}}},
      {"m 0 0 q 10 10 20 0", {{0, 0}, {6.6666667f, 6.6666667f}, {13.333333f, 6.6666667f}, {20, 0}}},
      // T reflects the quadratic control point (10,10) about (20,0) to (30,-10).
      {"M 0 0 Q 10 10 20 0 T 40 0",
       {{0, 0},
        {6.6666667f, 6.6666667f},
        {13.333333f, 6.6666667f},
        {20, 0},
        {20 + 10 * kTwoThirds, -10 * kTwoThirds},
        {40 - 10 * kTwoThirds, -10 * kTwoThirds},
        {40, 0}}},
      {"M 0 0 q 10 10 20 0 t 20 0",
       {{0, 0},
        {6.6666667f, 6.6666667f},
        {13.333333f, 6.6666667f},
        {20, 0},
        {20 + 10 * kTwoThirds, -10 * kTwoThirds},
        {40 - 10 * kTwoThirds, -10 * kTwoThirds},
        {40, 0}}},
      // T after a move: the control point is the current point.
      {"M 0 0 T 9 0", {{0, 0}, {0, 0}, {3, 0}, {9, 0}}},
      // T after C reflects the cubic's second control point.
      {"M 0 0 C 0 0 10 10 10 0 T 20 0",
       {{0, 0}, {0, 0}, {10, 10}, {10, 0}, {10 + 0 * kTwoThirds, -10 * kTwoThirds}, {20 - 10 * kTwoThirds, -10 * kTwoThirds}, {20, 0}}},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParsePathData(c.d);
    ASSERT_NE(image->shapes, nullptr) << c.d;
    ExpectPoints(Points(*image->shapes->paths), c.points, 1e-5f);
  }
}

TEST(SvgPathData, StraightSegmentsPutTheirControlsAtTheThirds) {
  SvgImagePtr image = ParsePathData("M 0 0 L 30 60");
  ExpectPoints(Points(*image->shapes->paths), {{0, 0}, {10, 20}, {20, 40}, {30, 60}}, 1e-5f);
}

TEST(SvgPathData, SubpathsMakeOnePathEachLastFirst) {
  struct Case {
    const char* d;
    const char* extra;
    std::vector<Pt> firstPoints;  // of the paths in list order
    std::vector<int> counts;
  };
  const Case cases[] = {
      {"M 0 0 L 10 0 Z M 5 5 L 6 6", "", {{5, 5}, {0, 0}}, {4, 7}},
      // A named element keeps the point that Z leaves before the next move.
      {"M 0 0 L 10 0 Z M 5 5 L 6 6", "id=\"P\"", {{5, 5}, {0, 0}, {0, 0}}, {4, 1, 7}},
      // After Z the next subpath starts at the closed one's first point.
      {"M 1 1 L 10 0 z l 0 10", "", {{1, 1}, {1, 1}}, {4, 7}},
      {"M 0 0 L 10 0 Z 5 5 L 0 10", "", {{0, 0}, {0, 0}}, {4, 7}},
      {"M 0 0 L 1 1 M 2 2 L 3 3 m 1 1 l 1 1", "", {{4, 4}, {2, 2}, {0, 0}}, {4, 4, 4}},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParsePathData(c.d, c.extra);
    ASSERT_NE(image->shapes, nullptr) << c.d;
    const auto paths = Paths(*image->shapes);
    ASSERT_EQ(paths.size(), c.firstPoints.size()) << c.d << " " << c.extra;
    for (size_t i = 0; i < paths.size(); ++i) {
      EXPECT_NEAR(paths[i]->pts[0], c.firstPoints[i].x, 1e-6f) << c.d << " path " << i;
      EXPECT_NEAR(paths[i]->pts[1], c.firstPoints[i].y, 1e-6f) << c.d << " path " << i;
      EXPECT_EQ(paths[i]->npts, c.counts[i]) << c.d << " path " << i;
    }
  }
}

TEST(SvgPathData, EmptyOrPointOnlyDataMakesNoShapeUnlessNamed) {
  // In "M 10 L 20 30" the line takes the stored 10 and finds no start point.
  const char* empty[] = {"", "   ", ",,,", "M", "M 5 5", "M 5 5 M 6 6", "Z", "z z z", "L 10 10", "hello", "M 10 L 20 30"};
  for (const char* d : empty) {
    SvgImagePtr image = ParsePathData(d);
    EXPECT_EQ(image->shapes, nullptr) << '"' << d << '"';
  }
  EXPECT_EQ(ParseElement("<path />")->shapes, nullptr);
  EXPECT_EQ(ParseElement("<path id=\"P\" />")->shapes, nullptr);

  SvgImagePtr named = ParsePathData("M 1 1", "id=\"P\"");
  ASSERT_NE(named->shapes, nullptr);
  const SvgPath& path = *named->shapes->paths;
  EXPECT_EQ(path.npts, 1);
  EXPECT_STREQ(path.id, "P");
  ExpectBounds(path.bounds, 0, 0, 0, 0, 0);
}

TEST(SvgPathData, ALonePointDoesNotStretchTheShapeBounds) {
  SvgImagePtr image = ParsePathData("M 10 10 L 20 20 Z", "id=\"p\"");
  const auto paths = Paths(*image->shapes);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0]->npts, 1);
  ExpectBounds(paths[0]->bounds, 0, 0, 0, 0, 0);
  ExpectBounds(image->shapes->bounds, 10, 10, 20, 20, 1e-6f);
  // Only lone points: the shape has no extent at all.
  image = ParsePathData("M 10 10 M 30 30", "id=\"p\"");
  ExpectBounds(image->shapes->bounds, 0, 0, 0, 0, 0);
}

TEST(SvgPathData, TheLastDataAttributeWins) {
  SvgImagePtr image = ParseElement("<path d=\"M 0 0 L 1 1\" d=\"M 5 5 L 9 9\"/>");
  ExpectPoints(Knots(*image->shapes->paths), {{5, 5}, {9, 9}}, 1e-6f);
}

TEST(SvgPathData, BoundsIncludeCurveExtrema) {
  struct Case {
    const char* d;
    float x0, y0, x1, y1;
  };
  const Case cases[] = {
      {"M 0 0 L 10 5", 0, 0, 10, 5},
      {"M 0 0 C 0 10 10 10 10 0", 0, 0, 10, 7.5f},       // apex at t = 0.5
      {"M 0 0 C 10 -10 -10 -10 0 0", -2.8867513f, -7.5f, 2.8867513f, 0},
      {"M 0 0 Q 10 20 20 0", 0, 0, 20, 10},
      {"M 0 0 C 5 0 5 0 10 0 L 10 10", 0, 0, 10, 10},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParsePathData(c.d, "id=\"b\"");
    ExpectBounds(image->shapes->paths->bounds, c.x0, c.y0, c.x1, c.y1, 1e-4f);
    ExpectBounds(image->shapes->bounds, c.x0, c.y0, c.x1, c.y1, 1e-4f);
  }
}

// ---------------------------------------------------------------------------
// Elliptic arcs
// ---------------------------------------------------------------------------

TEST(SvgArcs, DegenerateArcsAreStraightSegments) {
  struct Case {
    const char* d;
    Pt end;
  };
  const Case cases[] = {
      {"M 0 0 A 0 0 0 0 1 10 0", {10, 0}},
      {"M 0 0 A 0 5 0 0 1 10 0", {10, 0}},
      {"M 0 0 a 5 0 0 0 1 10 0", {10, 0}},
      {"M 5 5 A 10 10 0 0 1 5 5", {5, 5}},  // end = start: a segment of length 0
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParsePathData(c.d, "id=\"a\"");
    ASSERT_NE(image->shapes, nullptr) << c.d;
    const auto pts = Points(*image->shapes->paths);
    ASSERT_EQ(pts.size(), 4u) << c.d;
    EXPECT_NEAR(pts[3].x, c.end.x, 1e-6f) << c.d;
    EXPECT_NEAR(pts[3].y, c.end.y, 1e-6f) << c.d;
    EXPECT_NEAR(pts[1].x, pts[0].x + (c.end.x - pts[0].x) / 3, 1e-5f) << c.d;
  }
}

TEST(SvgArcs, ArcsFollowTheirEllipse) {
  struct Case {
    const char* d;
    Pt centre;
    float radius;  // of the circle, or 0 to skip the distance check
    float x0, y0, x1, y1;  // bounds
    int minSegments, maxSegments;
  };
  const Case cases[] = {
      // Half circles: the sweep flag picks the side.
      {"M 0 50 A 10 10 0 0 1 20 50", {10, 50}, 10, 0, 40, 20, 50, 2, 3},
      {"M 0 50 A 10 10 0 0 0 20 50", {10, 50}, 10, 0, 50, 20, 60, 2, 3},
      {"M 0 50 a 10 10 0 1 1 20 0", {10, 50}, 10, 0, 40, 20, 50, 2, 3},
      // Radii too small to reach are scaled up.
      {"M 0 50 A 1 1 0 0 1 20 50", {10, 50}, 10, 0, 40, 20, 50, 2, 3},
      // Large arc of three quarters around (20, 60); the small one around (30, 50).
      {"M 20 50 A 10 10 0 1 0 30 60", {20, 60}, 10, 10, 50, 30, 70, 3, 4},
      {"M 20 50 A 10 10 0 0 0 30 60", {30, 50}, 10, 20, 50, 30, 60, 1, 2},
      // Quarter turns with a rotated ellipse: rx = 20 lies along y.
      {"M 50 0 A 20 10 90 0 1 50 40", {50, 20}, 0, 50, 0, 60, 40, 2, 3},
      {"M 50 0 A 20 10 90 0 0 50 40", {50, 20}, 0, 40, 0, 50, 40, 2, 3},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParsePathData(c.d);
    ASSERT_NE(image->shapes, nullptr) << c.d;
    const SvgPath& path = *image->shapes->paths;
    const int segments = (path.npts - 1) / 3;
    EXPECT_EQ(path.npts, 1 + 3 * segments) << c.d;
    EXPECT_GE(segments, c.minSegments) << c.d;
    EXPECT_LE(segments, c.maxSegments) << c.d;
    if (c.radius > 0) {
      for (const Pt& k : Knots(path)) EXPECT_NEAR(Dist(k, c.centre), c.radius, 1e-4f) << c.d;
    }
    // A cubic quarter circle strays outwards by at most 0.03 % of the radius.
    ExpectBounds(path.bounds, c.x0, c.y0, c.x1, c.y1, 0.01f);
  }
}

TEST(SvgArcs, RelativeArcsEndRelativeToTheCurrentPoint) {
  SvgImagePtr image = ParsePathData("m 10 10 a 5 5 0 0 1 10 0 l 0 10");
  const auto knots = Knots(*image->shapes->paths);
  ASSERT_GE(knots.size(), 3u);
  EXPECT_NEAR(knots[knots.size() - 2].x, 20, 1e-5f);
  EXPECT_NEAR(knots[knots.size() - 2].y, 10, 1e-5f);
  EXPECT_NEAR(knots.back().x, 20, 1e-5f);
  EXPECT_NEAR(knots.back().y, 20, 1e-5f);
}

TEST(SvgArcs, FlagsWrittenWithoutSeparatorsReadAsSingleDigits) {
  struct Case {
    const char* packed;
    const char* spaced;
  };
  const Case cases[] = {
      {"M 0 0 a1 1 0 002 0", "M 0 0 a 1 1 0 0 0 2 0"},
      {"M 0 0 a1 1 0 012 0", "M 0 0 a 1 1 0 0 1 2 0"},
      {"M 0 0 A5 5 0 1110 0", "M 0 0 A 5 5 0 1 1 10 0"},
      {"M 0 0 a1 1 0 0,0 2,0", "M 0 0 a 1 1 0 0 0 2 0"},
      {"M 0 0 a1 1 0 00-2 0", "M 0 0 a 1 1 0 0 0 -2 0"},
      {"M 0 0 a1 1 0 00.5 0", "M 0 0 a 1 1 0 0 0 0.5 0"},
      // Two arcs in a row, the second taking the implicit repeat.
      {"M 0 0 a1 1 0 002 0 1 1 0 002 0", "M 0 0 a 1 1 0 0 0 2 0 a 1 1 0 0 0 2 0"},
      // The radii and the rotation are plain numbers, never flags.
      {"M 0 0 a10 10 0 0 0 20 0", "M 0 0 a 10 10 0 0 0 20 0"},
  };
  for (const Case& c : cases) {
    SvgImagePtr packed = ParsePathData(c.packed);
    SvgImagePtr spaced = ParsePathData(c.spaced);
    ASSERT_NE(packed->shapes, nullptr) << c.packed;
    ASSERT_NE(spaced->shapes, nullptr) << c.spaced;
    const std::vector<Pt> want = Points(*spaced->shapes->paths);
    ASSERT_GT(want.size(), 1u);
    ExpectPoints(Points(*packed->shapes->paths), want, 1e-5f);
  }
}

TEST(SvgArcs, HugeRadiiStayFinite) {
  const char* cases[] = {"M 0 0 A 1e38 1e38 0 0 1 1e38 0", "M 0 0 A 1e30 1e-30 45 1 1 5 5",
                         "M 1e38 1e38 A 1e38 1 0 0 0 -1e38 -1e38", "M 0 0 A 5 5 1e30 1 0 3 4"};
  for (const char* d : cases) {
    SvgImagePtr image = ParseText(std::string("<svg width=\"10\" height=\"10\"><path d=\"") + d + "\"/></svg>");
    for (const SvgShape* shape : Shapes(*image))
      for (const SvgPath* path : Paths(*shape))
        for (const Pt& p : Points(*path)) {
          EXPECT_FALSE(std::isnan(p.x)) << d;
          EXPECT_FALSE(std::isnan(p.y)) << d;
        }
  }
}

// ---------------------------------------------------------------------------
// Basic shapes
// ---------------------------------------------------------------------------

TEST(SvgShapes, RectanglesAndTheirCorners) {
  const float k = 0.44771522f;
  struct Case {
    const char* attribs;
    int npts;  // 0: no shape
    std::vector<Pt> firstPoints;
  };
  const Case cases[] = {
      {"x=\"10\" y=\"20\" width=\"30\" height=\"40\"", 13, {{10, 20}, {20, 20}, {30, 20}, {40, 20}}},
      // rx alone rounds both ways.
      {"x=\"10\" y=\"20\" width=\"30\" height=\"40\" rx=\"5\"",
       28,
       {{15, 20}, {15 + 20.0f / 3, 20}, {35 - 20.0f / 3, 20}, {35, 20}, {40 - 5 * k, 20}, {40, 25 - 5 + 5 * k}, {40, 25}}},
      {"x=\"10\" y=\"20\" width=\"30\" height=\"40\" ry=\"5\"",
       28,
       {{15, 20}, {15 + 20.0f / 3, 20}, {35 - 20.0f / 3, 20}, {35, 20}, {40 - 5 * k, 20}, {40, 25 - 5 + 5 * k}, {40, 25}}},
      // Corners are limited to half the side.
      {"x=\"10\" y=\"20\" width=\"30\" height=\"40\" rx=\"30\"", 28, {{25, 20}, {25, 20}, {25, 20}, {25, 20}}},
      {"x=\"10\" y=\"20\" width=\"30\" height=\"40\" rx=\"-5\"", 28, {{15, 20}}},
      {"x=\"10\" y=\"20\" width=\"0\" height=\"40\"", 0, {}},
      {"x=\"10\" y=\"20\" width=\"30\"", 0, {}},
      {"width=\"10\" height=\"10\" rx=\"0\"", 13, {{0, 0}}},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(std::string("<rect ") + c.attribs + "/>");
    if (c.npts == 0) {
      EXPECT_EQ(image->shapes, nullptr) << c.attribs;
      continue;
    }
    ASSERT_NE(image->shapes, nullptr) << c.attribs;
    const SvgPath& path = *image->shapes->paths;
    EXPECT_EQ(path.npts, c.npts) << c.attribs;
    EXPECT_EQ(path.closed, 1) << c.attribs;
    const auto pts = Points(path);
    for (size_t i = 0; i < c.firstPoints.size(); ++i) {
      EXPECT_NEAR(pts[i].x, c.firstPoints[i].x, 1e-4f) << c.attribs << " point " << i;
      EXPECT_NEAR(pts[i].y, c.firstPoints[i].y, 1e-4f) << c.attribs << " point " << i;
    }
    // Every outline closes on its start.
    EXPECT_NEAR(pts.back().x, pts.front().x, 1e-5f) << c.attribs;
    EXPECT_NEAR(pts.back().y, pts.front().y, 1e-5f) << c.attribs;
  }
  SvgImagePtr plain = ParseElement("<rect x=\"10\" y=\"20\" width=\"30\" height=\"40\"/>");
  ExpectPoints(Knots(*plain->shapes->paths), {{10, 20}, {40, 20}, {40, 60}, {10, 60}, {10, 20}}, 1e-5f);
  ExpectBounds(plain->shapes->bounds, 10, 20, 40, 60, 1e-5f);
}

TEST(SvgShapes, CirclesAndEllipsesAreFourQuarterCurves) {
  struct Case {
    const char* element;
    float x0, y0, x1, y1;  // 0 width: no shape
  };
  const Case cases[] = {
      {"<circle cx=\"50\" cy=\"50\" r=\"10\"/>", 40, 40, 60, 60},
      {"<circle cx=\"50\" cy=\"50\" r=\"-10\"/>", 40, 40, 60, 60},
      {"<circle cx=\"50\" cy=\"50\"/>", 0, 0, 0, 0},
      {"<circle cx=\"50\" cy=\"50\" r=\"0\"/>", 0, 0, 0, 0},
      {"<ellipse cx=\"50\" cy=\"50\" rx=\"20\" ry=\"10\"/>", 30, 40, 70, 60},
      {"<ellipse cx=\"50\" cy=\"50\" rx=\"20\"/>", 0, 0, 0, 0},
      {"<ellipse rx=\"20\" ry=\"-10\"/>", -20, -10, 20, 10},
      {"<circle cx=\"50%\" cy=\"25%\" r=\"10%\"/>", 40, 15, 60, 35},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(c.element);
    if (c.x1 == c.x0) {
      EXPECT_EQ(image->shapes, nullptr) << c.element;
      continue;
    }
    ASSERT_NE(image->shapes, nullptr) << c.element;
    const SvgPath& path = *image->shapes->paths;
    // Four quarters and the closing segment of length 0.
    ASSERT_EQ(path.npts, 16) << c.element;
    EXPECT_EQ(path.closed, 1);
    for (int i = 12; i < 16; ++i) {
      EXPECT_FLOAT_EQ(path.pts[i * 2], path.pts[0]) << c.element;
      EXPECT_FLOAT_EQ(path.pts[i * 2 + 1], path.pts[1]) << c.element;
    }
    ExpectBounds(path.bounds, c.x0, c.y0, c.x1, c.y1, 1e-4f);
  }
}

TEST(SvgShapes, LinesAlwaysMakeAShape) {
  SvgImagePtr image = ParseElement("<line x1=\"1\" y1=\"2\" x2=\"31\" y2=\"62\"/><line />");
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 2u);
  ExpectPoints(Points(*shapes[0]->paths), {{1, 2}, {11, 22}, {21, 42}, {31, 62}}, 1e-5f);
  EXPECT_EQ(shapes[0]->paths->closed, 0);
  ExpectPoints(Points(*shapes[1]->paths), {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, 0);
}

TEST(SvgShapes, PolylinesAndPolygonsReadPointPairs) {
  struct Case {
    const char* element;
    std::vector<Pt> knots;  // empty: no shape
    bool closed;
  };
  const Case cases[] = {
      {"<polygon points=\"0,0 10,0 10,10\"/>", {{0, 0}, {10, 0}, {10, 10}, {0, 0}}, true},
      {"<polyline points=\"0,0 10,0 10,10\"/>", {{0, 0}, {10, 0}, {10, 10}}, false},
      {"<polyline points=\"10,20 30 \"/>", {{10, 20}, {30, 0}}, false},
      {"<polyline points=\"10,20 30\"/>", {}, false},
      {"<polyline id=\"one\" points=\"10,20 30\"/>", {{10, 20}}, false},
      {"<polygon points=\"0,0 a 10 10,10\"/>", {{0, 0}, {0, 10}, {10, 10}, {0, 0}}, true},
      {"<polyline points=\"  1 2,3 4\t5 6  \"/>", {{1, 2}, {3, 4}, {5, 6}}, false},
      {"<polyline points=\"0,0 1,1\" points=\"2,2\"/>", {{0, 0}, {1, 1}, {2, 2}}, false},
      {"<polygon />", {}, true},
  };
  for (const Case& c : cases) {
    SvgImagePtr image = ParseElement(c.element);
    if (c.knots.empty()) {
      EXPECT_EQ(image->shapes, nullptr) << c.element;
      continue;
    }
    ASSERT_NE(image->shapes, nullptr) << c.element;
    const SvgPath& path = *image->shapes->paths;
    ExpectPoints(Knots(path), c.knots, 1e-5f);
    EXPECT_EQ(path.npts, 1 + 3 * (static_cast<int>(c.knots.size()) - 1)) << c.element;
    EXPECT_EQ(path.closed, c.closed ? 1 : 0) << c.element;
  }
}

TEST(SvgShapes, PresentationAttributesApplyWhereverTheyStand) {
  SvgImagePtr image = ParseElement(
      "<rect x=\"1\" y=\"1\" width=\"2\" height=\"2\" transform=\"translate(10,0)\" id=\"r\" fill=\"red\"/>"
      "<circle transform=\"scale(2)\" cx=\"5\" cy=\"5\" r=\"1\" style=\"stroke:blue\"/>");
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 2u);
  ExpectBounds(shapes[0]->bounds, 11, 1, 13, 3, 1e-5f);
  EXPECT_STREQ(shapes[0]->id, "r");
  EXPECT_EQ(shapes[0]->fill.color, 0xFF0000FFu);
  ExpectBounds(shapes[1]->bounds, 8, 8, 12, 12, 1e-4f);
  EXPECT_EQ(shapes[1]->stroke.type, kSvgPaintColor);
  // The element's settings do not leak to its siblings.
  EXPECT_STREQ(shapes[1]->id, "");
  EXPECT_EQ(shapes[1]->fill.color, 0xFF000000u);
}
