// Edge sets on parsed documents (no pack, no GL): the straight-line example
// before and after the split, closing edges, the split threshold, edges that
// never share points, and documents whose shapes open few or no edges.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "SvgTestUtil.h"
#include "svg/nanoSVG2Edge.h"

namespace {

std::unique_ptr<nanoSVG2Edge> EdgesFromText(const std::string& text, float splitLength = 50.0f) {
  auto set = std::make_unique<nanoSVG2Edge>();
  set->m_splitLength = splitLength;
  set->Adopt(ParseText(text).release(), 1920, 1080);
  EXPECT_EQ(set->BuildEdges(), 0);
  return set;
}

std::string Doc(const std::string& body) {
  return "<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\">" + body + "</svg>";
}

struct Edge {
  float x0, y0, x1, y1;
};

std::vector<Edge> Edges(const nanoSVG2Edge& set) {
  std::vector<Edge> out;
  for (int i = 0; i < set.m_edgeCount; ++i) {
    const EdgePoint& a = set.m_points[static_cast<int>(set.m_edges[i].start)];
    const EdgePoint& b = set.m_points[static_cast<int>(set.m_edges[i].end)];
    out.push_back({a.x, a.y, b.x, b.y});
  }
  return out;
}

// What every finished edge set holds: lists of exactly the counts, edge i
// owning points 2i and 2i + 1, no NaN.
void ExpectWellFormed(const nanoSVG2Edge& set, const std::string& what) {
  ASSERT_EQ(set.m_points.size(), static_cast<size_t>(set.m_pointCount)) << what;
  ASSERT_EQ(set.m_edges.size(), static_cast<size_t>(set.m_edgeCount)) << what;
  ASSERT_EQ(set.m_pointCount, 2 * set.m_edgeCount) << what;
  for (int i = 0; i < set.m_edgeCount; ++i) {
    EXPECT_EQ(set.m_edges[i].start, 2.0f * i) << what;
    EXPECT_EQ(set.m_edges[i].end, 2.0f * i + 1) << what;
    EXPECT_EQ(set.m_edges[i].unused, 0.0f) << what;
  }
  for (const EdgePoint& p : set.m_points) {
    ASSERT_FALSE(std::isnan(p.x)) << what;
    ASSERT_FALSE(std::isnan(p.y)) << what;
  }
}

}  // namespace

TEST(EdgeSet, AStraightLineBeforeTheSplit) {
  // With no edge long enough to split, the collected lists come through.
  auto set = EdgesFromText(Doc("<path d=\"M 0 0 L 100 0\"/>"), 1000.0f);
  EXPECT_EQ(set->m_neededPoints, 3);
  EXPECT_EQ(set->m_edgeShapeCount, 1);
  ASSERT_EQ(set->m_edgeCount, 1);
  ASSERT_EQ(set->m_pointCount, 2);
  EXPECT_FLOAT_EQ(set->m_points[0].x, -50.0f);
  EXPECT_FLOAT_EQ(set->m_points[0].y, -50.0f);
  EXPECT_EQ(set->m_points[0].flag, 0);
  EXPECT_FLOAT_EQ(set->m_points[1].x, 50.0f);
  EXPECT_FLOAT_EQ(set->m_points[1].y, -50.0f);
  EXPECT_EQ(set->m_points[1].flag, 1);
}

TEST(EdgeSet, AStraightLineAfterTheSplitIsTenPiecesEndingShort) {
  auto set = EdgesFromText(Doc("<path d=\"M 0 0 L 100 0\"/>"));
  ExpectWellFormed(*set, "line");
  const auto edges = Edges(*set);
  ASSERT_EQ(edges.size(), 10u);
  for (int k = 0; k < 10; ++k) {
    EXPECT_NEAR(edges[k].x0, -50.0f + 10.0f * k, 1e-4f) << k;
    EXPECT_NEAR(edges[k].x1, k == 9 ? 50.0f : -40.75f + 10.0f * k, 1e-4f) << k;
    EXPECT_FLOAT_EQ(edges[k].y0, -50.0f);
    EXPECT_FLOAT_EQ(edges[k].y1, -50.0f);
    EXPECT_EQ(set->m_points[2 * k].flag, 0);
  }
}

TEST(EdgeSet, SplitOnlyEdgesLongerThanTheSplitLength) {
  struct Case {
    const char* d;
    size_t edges;
  };
  const Case cases[] = {
      {"M 0 0 L 50 0", 1},
      {"M 0 0 L 30 40", 1},  // length exactly 50 along a slant
      {"M 0 0 L 50.01 0", 10},
      {"M 0 0 L 49 0 L 49 60", 11},
  };
  for (const Case& c : cases) {
    auto set = EdgesFromText(Doc(std::string("<path d=\"") + c.d + "\"/>"));
    ExpectWellFormed(*set, c.d);
    EXPECT_EQ(Edges(*set).size(), c.edges) << c.d;
  }
}

TEST(EdgeSet, ConsecutiveEdgesStartPastTheEndOfThePreviousOne) {
  auto set = EdgesFromText(Doc("<path d=\"M 0 0 L 10 0 L 10 20\"/>"));
  ExpectWellFormed(*set, "corner");
  const auto edges = Edges(*set);
  ASSERT_EQ(edges.size(), 2u);
  // The second edge starts 0.75 past (10, 0) along the first edge.
  EXPECT_NEAR(edges[0].x1, -40.0f, 1e-5f);
  EXPECT_NEAR(edges[1].x0, -39.25f, 1e-5f);
  EXPECT_NEAR(edges[1].y0, -50.0f, 1e-5f);
  EXPECT_NEAR(edges[1].x1, -40.0f, 1e-5f);
  EXPECT_NEAR(edges[1].y1, -30.0f, 1e-5f);
}

TEST(EdgeSet, AClosedPathAddsItsClosingEdge) {
  auto open = EdgesFromText(Doc("<path d=\"M 0 0 L 10 0 L 10 10\"/>"));
  auto closed = EdgesFromText(Doc("<path d=\"M 0 0 L 10 0 L 10 10 Z\"/>"));
  ExpectWellFormed(*closed, "closed");
  const auto edges = Edges(*closed);
  // Z draws the line back to the start, and the close adds the last short
  // edge from 0.75 past that line's end back onto the first point.
  ASSERT_EQ(edges.size(), Edges(*open).size() + 2);
  const Edge& last = edges.back();
  EXPECT_FLOAT_EQ(last.x1, -50.0f);
  EXPECT_FLOAT_EQ(last.y1, -50.0f);
  EXPECT_NEAR(std::hypot(last.x1 - last.x0, last.y1 - last.y0), 0.75f, 1e-4f);
}

TEST(EdgeSet, DocumentsThatOpenFewOrNoEdgesStayInsideTheirLists) {
  std::string onePointPaths;
  for (int i = 0; i < 50; ++i) onePointPaths += "<path id=\"p" + std::to_string(i) + "\" d=\"M 1 1\"/>";
  struct Case {
    std::string name;
    std::string doc;
    size_t edges;
  };
  const Case cases[] = {
      {"no shapes", "<svg width=\"10\" height=\"10\"></svg>", 0},
      {"empty text", "", 0},
      {"one-point paths only", Doc(onePointPaths), 0},
      // Fifty shapes without edges beside one line: the shape count is far
      // above the point count.
      {"one-point paths and a line", Doc(onePointPaths + "<path d=\"M 0 0 L 10 0\"/>"), 1},
      {"one-point paths after curves", Doc("<circle cx=\"50\" cy=\"50\" r=\"30\"/>" + onePointPaths), 0},
      {"zero-size document", "<svg width=\"0\" height=\"0\"><path d=\"M 5 5 L 5 5\"/></svg>", 1},
  };
  for (const Case& c : cases) {
    auto set = EdgesFromText(c.doc);
    ExpectWellFormed(*set, c.name);
    if (c.name == "one-point paths after curves")
      EXPECT_GT(set->m_edgeCount, 4) << c.name;
    else
      EXPECT_EQ(static_cast<size_t>(set->m_edgeCount), c.edges) << c.name;
  }
}

TEST(EdgeSet, NoImageFailsAndClearEmptiesEverything) {
  nanoSVG2Edge none;
  EXPECT_EQ(none.BuildEdges(), -1);
  auto set = EdgesFromText(Doc("<path d=\"M 0 0 L 100 0\"/>"));
  set->Clear();
  EXPECT_TRUE(set->m_points.empty());
  EXPECT_TRUE(set->m_edges.empty());
  EXPECT_EQ(set->m_pointCount, 0);
  EXPECT_EQ(set->m_edgeCount, 0);
  EXPECT_EQ(set->m_image, nullptr);
}

TEST(EdgeSet, DrawingProgramOutputMakesWellFormedEdgeSets) {
  for (const char* name : {"editor_layers.svg", "print_export.svg", "web_icon.svg"}) {
    auto set = EdgesFromText(ReadTestDocument(name));
    ExpectWellFormed(*set, name);
    EXPECT_GT(set->m_edgeCount, 0) << name;
  }
}

TEST(EdgeSet, DebianIconThemeFilesMakeShapeSetsAndEdgeSets) {
  // Icons drawn in Inkscape and cleaned by svgo (adwaita-icon-theme, which
  // tools/setup.sh installs): comments, minified path data, groups.
  const std::filesystem::path root = "/usr/share/icons/Adwaita/scalable";
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error))
    if (entry.path().extension() == ".svg") files.push_back(entry.path());
  ASSERT_GE(files.size(), 100u) << "adwaita-icon-theme is missing: run tools/setup.sh";
  int withEdges = 0;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    auto set = std::make_unique<nanoSVG2Edge>();
    set->Adopt(ParseText(text.str()).release(), 1920, 1080);
    ASSERT_NE(set->m_image, nullptr) << file;
    ASSERT_EQ(set->BuildEdges(), 0) << file;
    ExpectWellFormed(*set, file.string());
    withEdges += set->m_edgeCount > 0 ? 1 : 0;
    for (const SvgObject* o : set->m_objects)
      for (uint16_t i : o->fillIndices) ASSERT_LT(i, o->fillVertices.size() / 2) << file;
  }
  // Nearly every icon has an outline to morph.
  EXPECT_GT(withEdges, static_cast<int>(files.size()) * 9 / 10);
}
