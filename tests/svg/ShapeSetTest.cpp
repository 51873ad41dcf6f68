// The SVG shape set on parsed documents (no pack, no GL): objects, ENG groups
// with their circles and repeatable colours, the pivot, CACHE shapes and
// fills, class colours, the fit scale, and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "SvgTestUtil.h"
#include "platform/CRand.h"
#include "svg/nanoSVGBase.h"

namespace {

std::unique_ptr<nanoSVGBase> SetFromText(const std::string& text, int width = 1920, int height = 1080) {
  auto set = std::make_unique<nanoSVGBase>();
  set->Adopt(ParseText(text).release(), width, height);
  return set;
}

// A square path of side 10 at (x, y) with the given id.
std::string Square(const std::string& id, float x = 0, float y = 0) {
  return "<path id=\"" + id + "\" d=\"M " + std::to_string(x) + " " + std::to_string(y) + " h 10 v 10 h -10 z\"/>";
}

std::string Doc(const std::string& body) {
  return "<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\">" + body + "</svg>";
}

std::vector<std::string> ShapeIds(const std::vector<SvgShape*>& shapes) {
  std::vector<std::string> ids;
  for (const SvgShape* s : shapes) ids.push_back(s->id);
  return ids;
}

// Area covered by the fill's triangles.
double FillArea(const SvgObject& object) {
  double area = 0;
  const auto& v = object.fillVertices;
  for (size_t i = 0; i + 2 < object.fillIndices.size(); i += 3) {
    const size_t a = object.fillIndices[i], b = object.fillIndices[i + 1], c = object.fillIndices[i + 2];
    area += std::fabs((v[b * 2] - v[a * 2]) * (v[c * 2 + 1] - v[a * 2 + 1]) -
                      (v[c * 2] - v[a * 2]) * (v[b * 2 + 1] - v[a * 2 + 1])) /
            2.0;
  }
  return area;
}

}  // namespace

TEST(ShapeSet, ConsecutiveShapesOfOneIdOrOneEngObjectMakeOneObject) {
  struct Case {
    std::vector<std::string> ids;
    std::vector<std::vector<std::string>> objects;
  };
  const Case cases[] = {
      {{"A", "A", "B", "ENG1.1", "ENG1.2", "ENG2.1"}, {{"A", "A"}, {"B"}, {"ENG1.1", "ENG1.2"}, {"ENG2.1"}}},
      {{"A", "B", "A"}, {{"A"}, {"B"}, {"A"}}},
      {{"ENG1.1", "ENG1.7-2", "ENG12.1"}, {{"ENG1.1", "ENG1.7-2", "ENG12.1"}}},  // four characters compared
      {{"", "", "X"}, {{"", ""}, {"X"}}},
  };
  for (const Case& c : cases) {
    std::string body;
    for (const std::string& id : c.ids) body += Square(id);
    auto set = SetFromText(Doc(body));
    ASSERT_EQ(set->m_objects.size(), c.objects.size()) << body;
    for (size_t i = 0; i < c.objects.size(); ++i) {
      EXPECT_EQ(ShapeIds(set->m_objects[i]->shapes), c.objects[i]) << body;
      EXPECT_EQ(std::string(set->m_objects[i]->name), c.objects[i].front());
      EXPECT_EQ(set->m_objects[i]->eng, c.objects[i].front().rfind("ENG", 0) == 0);
    }
    EXPECT_EQ(set->m_shapeCount, static_cast<int>(c.ids.size()));
    for (const SvgShape* s = set->m_image->shapes; s; s = s->next) EXPECT_EQ(s->taken, 1);
  }
}

TEST(ShapeSet, EngGroupsFollowTheNamingWalkAndAGapEndsASet) {
  struct Case {
    std::vector<std::string> ids;
    std::vector<std::vector<std::string>> groups;
  };
  const Case cases[] = {
      {{"A", "A", "B", "ENG1.1", "ENG1.2", "ENG2.1"}, {{"ENG1.1", "ENG1.2"}, {"ENG2.1"}}},
      {{"ENG1.1", "ENG1.2", "ENG1.4"}, {{"ENG1.1", "ENG1.2"}}},
      {{"ENG1.1", "ENG1.2", "ENG1.1-2", "ENG1.2-2", "ENG1.1-3", "ENG2.1"},
       {{"ENG1.1", "ENG1.2"}, {"ENG1.1-2", "ENG1.2-2"}, {"ENG1.1-3"}, {"ENG2.1"}}},
      {{"ENG2.1", "ENG3.1"}, {}},  // the walk ends at the missing ENG1.1
      {{"ENG1.1", "ENG3.1"}, {{"ENG1.1"}}},
      {{"X", "Y"}, {}},
  };
  for (const Case& c : cases) {
    std::string body;
    for (size_t i = 0; i < c.ids.size(); ++i) body += Square(c.ids[i], 10.0f * i);
    auto set = SetFromText(Doc(body));
    ASSERT_EQ(set->m_groups.size(), c.groups.size()) << body;
    for (size_t i = 0; i < c.groups.size(); ++i) {
      const EngGroup& g = *set->m_groups[i];
      EXPECT_EQ(ShapeIds(g.shapes), c.groups[i]) << body;
      EXPECT_EQ(g.name, c.groups[i].back());
      EXPECT_EQ(g.pending, 0.0f);
      EXPECT_GT(g.radius, 0.0f);
      for (const SvgShape* s : g.shapes) EXPECT_EQ(s->group, &g);
    }
    // Shapes outside every group keep a null group pointer.
    for (const SvgShape* s = set->m_image->shapes; s; s = s->next) {
      bool grouped = false;
      for (const EngGroup* g : set->m_groups)
        for (const SvgShape* member : g->shapes) grouped |= member == s;
      if (!grouped) {
        EXPECT_EQ(s->group, nullptr) << s->id;
      }
    }
  }
}

TEST(ShapeSet, GroupColoursDrawFourValuesPerGroupMadeAndRepeat) {
  // ENG1.1 alone makes three groups: the kept one, an empty second set and
  // an empty second object, twelve draws in all.
  const std::string doc = Doc(Square("ENG1.1"));
  platform::CSRand(1);
  std::vector<int> draws;
  for (int i = 0; i < 13; ++i) draws.push_back(platform::CRand());

  platform::CSRand(1);
  auto set = SetFromText(doc);
  ASSERT_EQ(set->m_groups.size(), 1u);
  const EngGroup& g = *set->m_groups[0];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(g.color[i], static_cast<float>(draws[i] % 1000) / 1000.0f) << i;
  EXPECT_EQ(g.flag, draws[3] % 2 == 0);
  EXPECT_EQ(platform::CRand(), draws[12]);

  platform::CSRand(1);
  auto again = SetFromText(doc);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(again->m_groups[0]->color[i], g.color[i]);
}

TEST(ShapeSet, GroupCircleEnclosesEveryPathPointControlsIncluded) {
  auto set = SetFromText(Doc("<circle id=\"ENG1.1\" cx=\"50\" cy=\"50\" r=\"10\"/>"));
  ASSERT_EQ(set->m_groups.size(), 1u);
  const EngGroup& g = *set->m_groups[0];
  EXPECT_NEAR(g.center.x, 50.0f, 1e-4f);
  EXPECT_NEAR(g.center.y, 50.0f, 1e-4f);
  EXPECT_EQ(g.center.z, 0.0f);
  EXPECT_NEAR(g.radius, 11.42f, 0.01f);
}

TEST(ShapeSet, FitScaleAgainstTheTarget) {
  struct Case {
    int docW, docH, targetW, targetH;
    float fit;
  };
  const Case cases[] = {
      {1000, 1000, 1920, 1080, 0.86806f},
      // Tall target: H / hh > W / hw. A = 600, B = 500 - 600 * 1920 / 1080.
      {1000, 1000, 1080, 1920, (500.0f + 600.0f - (500.0f - 600.0f * 1920.0f / 1080.0f)) / 1080.0f},
      {0, 0, 1920, 1080, 0.0f},    // nothing to fit: finite
      {100, 100, 0, 0, 1.0f},      // no target: the unit scale
  };
  for (const Case& c : cases) {
    const std::string doc = "<svg width=\"" + std::to_string(c.docW) + "\" height=\"" + std::to_string(c.docH) +
                            "\">" + Square("A") + "</svg>";
    auto set = SetFromText(c.docW ? doc : "<svg/>", c.targetW, c.targetH);
    EXPECT_NEAR(set->m_fitScale, c.fit, 1e-4f) << c.docW << " " << c.targetW;
    EXPECT_TRUE(std::isfinite(set->m_fitScale));
  }
}

TEST(ShapeSet, PivotComesFromTheFirstPivotPathElseTheCentre) {
  struct Case {
    std::string body;
    float x, y;
    bool found;
  };
  const Case cases[] = {
      {Square("PIVOT", 20, 30) + Square("B", 5, 5), 20, 30, true},
      {Square("A", 5, 5) + Square("PIVOT2", 40, 10) + Square("PIVOT", 1, 1), 40, 10, true},
      {Square("pivot", 20, 30), 50, 50, false},
      {Square("A"), 50, 50, false},
  };
  for (const Case& c : cases) {
    auto set = SetFromText(Doc(c.body));
    EXPECT_EQ(set->m_pivotPath != nullptr, c.found) << c.body;
    EXPECT_FLOAT_EQ(set->m_pivot.x, c.x) << c.body;
    EXPECT_FLOAT_EQ(set->m_pivot.y, c.y) << c.body;
  }
}

TEST(ShapeSet, ObjectFlagsComeFromTheirNames) {
  auto set = SetFromText(Doc(Square("CACHE1") + Square("Layer_2") + Square("B") + Square("LAYER_2x") +
                             Square("CACHE3") + Square("PIVOT")));
  struct Want {
    const char* name;
    bool visible, cached, cache3;
  };
  const Want want[] = {{"CACHE1", true, true, false},  {"Layer_2", false, false, false},
                       {"B", true, false, false},      {"LAYER_2x", false, false, false},
                       {"CACHE3", true, true, true},   {"PIVOT", false, false, false}};
  ASSERT_EQ(set->m_objects.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); ++i) {
    const SvgObject& o = *set->m_objects[i];
    EXPECT_STREQ(o.name, want[i].name);
    EXPECT_EQ(o.visible, want[i].visible) << o.name;
    EXPECT_EQ(o.cached, want[i].cached) << o.name;
    EXPECT_EQ(o.cache3, want[i].cache3) << o.name;
  }
  EXPECT_TRUE(set->m_cached);
  EXPECT_STREQ(set->m_cacheShapes[0]->id, "CACHE1");
  EXPECT_EQ(set->m_cacheShapes[1], nullptr);
  EXPECT_STREQ(set->m_cacheShapes[2]->id, "CACHE3");
}

TEST(ShapeSet, ClassesGetTheirStrokeColourButKeepTheirPaintType) {
  std::string body;
  for (int i = 1; i <= 9; ++i)
    body += "<rect class=\"cls-" + std::to_string(i) + "\" stroke=\"none\" width=\"5\" height=\"5\"/>";
  body += "<rect class=\"cls-1 x\" stroke=\"#ff0000\" width=\"5\" height=\"5\"/>";
  auto set = SetFromText(Doc(body));
  const auto shapes = Shapes(*set->m_image);
  ASSERT_EQ(shapes.size(), 10u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(shapes[i]->stroke.color, kSvgClassColors[i]) << i;
    EXPECT_EQ(shapes[i]->stroke.type, kSvgPaintNone) << i;
  }
  EXPECT_EQ(kSvgClassColors[2], 0xFF6393CDu);
  EXPECT_EQ(shapes[8]->stroke.color, 0u);          // cls-9 is not a class of the table
  EXPECT_EQ(shapes[9]->stroke.color, 0xFF0000FFu);  // an exact match only
}

TEST(ShapeSet, AClassedShapeKeepsItsGradientStroke) {
  // The colour would overwrite the gradient's pointer, which the image
  // then frees.
  auto set = SetFromText(Doc("<defs><linearGradient id=\"g\"><stop offset=\"0\" stop-color=\"#f00\"/>"
                             "<stop offset=\"1\" stop-color=\"#00f\"/></linearGradient></defs>"
                             "<rect class=\"cls-1\" stroke=\"url(#g)\" width=\"5\" height=\"5\"/>"));
  const auto shapes = Shapes(*set->m_image);
  ASSERT_EQ(shapes.size(), 1u);
  ASSERT_EQ(shapes[0]->stroke.type, kSvgPaintLinearGradient);
  ASSERT_NE(shapes[0]->stroke.gradient, nullptr);
  EXPECT_EQ(shapes[0]->stroke.gradient->nstops, 2);
  set->Clear();  // frees the gradient it still holds
}

TEST(ShapeSet, CachedFillsCoverTheOutlineMinusTheHoleWithIndicesInRange) {
  // Two rings in one path element: outline 0..40, hole 10..20.
  const std::string rings = "d=\"M 0 0 H 40 V 40 H 0 Z M 10 10 H 20 V 20 H 10 Z\"";
  struct Case {
    std::string body;
    double area;
  };
  const Case cases[] = {
      {"<path id=\"CACHE1\" " + rings + "/>", 1600 - 100},
      // CACHE3 takes its second ring as the outline: the small square, with
      // the big one as a hole around it, which the even-odd rule fills.
      {"<path id=\"CACHE3\" " + rings + "/>", 1600 - 100},
      {"<circle id=\"CACHE2\" cx=\"50\" cy=\"50\" r=\"20\"/>", 3.14159 * 400},
      {"<path id=\"CACHE1\" d=\"M 0 0 L 10 0\"/>", 0},  // no area, no triangles
  };
  for (const Case& c : cases) {
    auto set = SetFromText(Doc(c.body));
    ASSERT_EQ(set->m_objects.size(), 1u);
    const SvgObject& o = *set->m_objects[0];
    EXPECT_TRUE(o.cached);
    EXPECT_FALSE(o.fillSkipped);
    EXPECT_EQ(o.fillIndices.size() % 3, 0u);
    for (uint16_t i : o.fillIndices) EXPECT_LT(i, o.fillVertices.size() / 2) << c.body;
    EXPECT_NEAR(FillArea(o), c.area, c.area * 0.02 + 1e-3) << c.body;
  }
}

TEST(ShapeSet, Cache3PutsItsSecondRingFirst) {
  const std::string rings = "d=\"M 0 0 H 40 V 40 H 0 Z M 10 10 H 20 V 20 H 10 Z\"";
  auto cache1 = SetFromText(Doc("<path id=\"CACHE1\" " + rings + "/>"));
  auto cache3 = SetFromText(Doc("<path id=\"CACHE3\" " + rings + "/>"));
  // The parser lists the element's last subpath first: ring 1 is the small
  // square, ring 2 the big one.
  EXPECT_FLOAT_EQ(cache1->m_objects[0]->fillVertices[0], 10.0f);
  EXPECT_FLOAT_EQ(cache3->m_objects[0]->fillVertices[0], 0.0f);
}

TEST(ShapeSet, AFillOfMoreThan65535VerticesIsSkipped) {
  for (int points : {65000, 70000}) {
    std::string d = "M 0 0";
    for (int i = 1; i < points; ++i) {
      const float a = 6.2831853f * i / points;
      d += " L " + std::to_string(50 + 40 * std::cos(a)) + " " + std::to_string(50 + 40 * std::sin(a));
    }
    auto set = SetFromText(Doc("<path id=\"CACHE1\" d=\"" + d + "\"/>"));
    const SvgObject& o = *set->m_objects[0];
    const bool fits = points < 65535;
    EXPECT_EQ(o.fillSkipped, !fits) << points;
    EXPECT_EQ(set->SkippedFills(), fits ? 0 : 1);
    EXPECT_EQ(o.fillIndices.empty(), !fits);
    for (uint16_t i : o.fillIndices) ASSERT_LT(i, o.fillVertices.size() / 2);
  }
}

TEST(ShapeSet, NoImageOrNoShapesGivesAnEmptySet) {
  nanoSVGBase none;
  none.Adopt(nullptr, 1920, 1080);
  EXPECT_TRUE(none.m_objects.empty());
  EXPECT_TRUE(none.m_groups.empty());
  EXPECT_EQ(none.FindShape("A"), nullptr);
  for (const char* doc : {"", "<svg/>", "<svg width=\"0\" height=\"0\"><text>x</text></svg>"}) {
    auto set = SetFromText(doc);
    EXPECT_TRUE(set->m_objects.empty()) << doc;
    EXPECT_TRUE(set->m_groups.empty()) << doc;
    EXPECT_EQ(set->m_shapeCount, 0);
    EXPECT_TRUE(std::isfinite(set->m_fitScale));
    set->Clear();
    EXPECT_EQ(set->m_image, nullptr);
  }
}

TEST(ShapeSet, AdoptingAgainWithoutClearingReplacesTheImage) {
  auto set = SetFromText(Doc(Square("A") + Square("ENG1.1")));
  ASSERT_EQ(set->m_objects.size(), 2u);
  set->Adopt(ParseText(Doc(Square("B"))).release(), 1920, 1080);
  ASSERT_EQ(set->m_objects.size(), 1u);
  EXPECT_STREQ(set->m_objects[0]->name, "B");
  EXPECT_TRUE(set->m_groups.empty());
}
