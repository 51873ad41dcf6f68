// Smallest enclosing circle: random point sets against a brute-force answer,
// degenerate sets, large sets checked for containment and optimality, and
// the circle of parsed SVG shapes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "svg/EnclosingBall.h"
#include "SvgTestUtil.h"

namespace {

struct Circle {
  double x, y, r;
};

bool Contains(const Circle& c, const std::vector<double>& xy, double slack) {
  for (size_t i = 0; i < xy.size(); i += 2)
    if (std::hypot(xy[i] - c.x, xy[i + 1] - c.y) > c.r + slack) return false;
  return true;
}

// Every smallest circle passes through two points as a diameter or through
// three: try them all and keep the smallest that holds every point.
Circle BruteForce(const std::vector<double>& xy) {
  const size_t n = xy.size() / 2;
  Circle best = {xy[0], xy[1], 0.0};
  if (n == 1) return best;
  double scale = 0.0;
  for (double v : xy) scale = std::fmax(scale, std::fabs(v));
  const double slack = 1e-9 * (1.0 + scale);
  best.r = INFINITY;
  auto consider = [&](const Circle& c) {
    if (c.r < best.r && Contains(c, xy, slack)) best = c;
  };
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      const double ax = xy[2 * i], ay = xy[2 * i + 1], bx = xy[2 * j], by = xy[2 * j + 1];
      consider({(ax + bx) / 2, (ay + by) / 2, std::hypot(ax - bx, ay - by) / 2});
      for (size_t k = j + 1; k < n; ++k) {
        const double cx = xy[2 * k], cy = xy[2 * k + 1];
        const double d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by));
        if (std::fabs(d) < 1e-12) continue;
        const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
        const double ux = (a2 * (by - cy) + b2 * (cy - ay) + c2 * (ay - by)) / d;
        const double uy = (a2 * (cx - bx) + b2 * (ax - cx) + c2 * (bx - ax)) / d;
        consider({ux, uy, std::hypot(ax - ux, ay - uy)});
      }
    }
  }
  return best;
}

Circle Solve(const std::vector<double>& xy) {
  EnclosingBall ball(2, xy);
  ball.Update();
  return {ball.Center()[0], ball.Center()[1], ball.Radius()};
}

// The optimality condition: the centre lies in the convex hull of the points
// on the boundary (a diameter pair, or a triangle around the centre).
bool CentreInBoundaryHull(const Circle& c, const std::vector<double>& xy) {
  std::vector<std::pair<double, double>> rim;
  for (size_t i = 0; i < xy.size(); i += 2)
    if (std::hypot(xy[i] - c.x, xy[i + 1] - c.y) >= c.r * (1 - 1e-9)) rim.push_back({xy[i], xy[i + 1]});
  const double tol = 1e-7 * c.r;
  for (size_t i = 0; i < rim.size(); ++i) {
    for (size_t j = i + 1; j < rim.size(); ++j) {
      const double mx = (rim[i].first + rim[j].first) / 2, my = (rim[i].second + rim[j].second) / 2;
      if (std::hypot(mx - c.x, my - c.y) <= tol) return true;
      for (size_t k = j + 1; k < rim.size(); ++k) {
        auto cross = [](std::pair<double, double> a, std::pair<double, double> b, double px, double py) {
          return (b.first - a.first) * (py - a.second) - (b.second - a.second) * (px - a.first);
        };
        const double d1 = cross(rim[i], rim[j], c.x, c.y);
        const double d2 = cross(rim[j], rim[k], c.x, c.y);
        const double d3 = cross(rim[k], rim[i], c.x, c.y);
        const double eps = -1e-9 * c.r * c.r;
        if ((d1 >= eps && d2 >= eps && d3 >= eps) || (d1 <= -eps && d2 <= -eps && d3 <= -eps)) return true;
      }
    }
  }
  return false;
}

}  // namespace

TEST(EnclosingCircle, RandomSetsMatchTheBruteForceAnswer) {
  std::mt19937 rng(20260131u);
  std::uniform_real_distribution<double> coord(-100.0, 100.0);
  std::uniform_int_distribution<int> grid(-3, 3);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = 1 + trial % 30;
    // Every third set lies on a small integer grid: duplicates, collinear
    // and cocircular points all come up there.
    const bool onGrid = trial % 3 == 0;
    std::vector<double> xy;
    for (int i = 0; i < n; ++i) {
      xy.push_back(onGrid ? grid(rng) : coord(rng));
      xy.push_back(onGrid ? grid(rng) : coord(rng));
    }
    const Circle want = BruteForce(xy);
    const Circle got = Solve(xy);
    const double tol = 1e-9 * (1.0 + want.r);
    EXPECT_NEAR(got.r, want.r, tol) << "trial " << trial;
    EXPECT_NEAR(got.x, want.x, 1e-6 * (1.0 + want.r)) << "trial " << trial;
    EXPECT_NEAR(got.y, want.y, 1e-6 * (1.0 + want.r)) << "trial " << trial;
    EXPECT_TRUE(Contains(got, xy, tol)) << "trial " << trial;
  }
}

TEST(EnclosingCircle, DegenerateSets) {
  const double r3 = std::sqrt(3.0);
  struct Case {
    const char* name;
    std::vector<double> xy;
    Circle want;
  };
  const Case cases[] = {
      {"one point", {3, 4}, {3, 4, 0}},
      {"two points", {0, 0, 6, 8}, {3, 4, 5}},
      {"all equal", {2, 2, 2, 2, 2, 2, 2, 2}, {2, 2, 0}},
      {"collinear", {0, 0, 1, 0, 5, 0}, {2.5, 0, 2.5}},
      {"collinear unsorted", {3, 3, -1, -1, 1, 1, 0, 0}, {1, 1, 2 * std::sqrt(2.0)}},
      {"equilateral", {0, 0, 2, 0, 1, r3}, {1, 1 / r3, 2 / r3}},
      {"obtuse", {0, 0, 10, 0, 5, 1}, {5, 0, 5}},
      {"duplicates", {0, 0, 0, 0, 4, 0, 4, 0, 2, 1, 2, 1}, {2, 0, 2}},
      // The first ball's centre sees two points at the same distance; the
      // one not taken into the support must still stop the walk.
      {"ties on the first rim", {3, -3, -3, -1, 1, 3}, {0.5, -0.5, std::sqrt(12.5)}},
      {"square corners", {0, 0, 2, 0, 2, 2, 0, 2}, {1, 1, std::sqrt(2.0)}},
      {"octagon and centre", {1, 0, 0.70710678, 0.70710678, 0, 1, -0.70710678, 0.70710678, -1, 0, -0.70710678,
                              -0.70710678, 0, -1, 0.70710678, -0.70710678, 0, 0},
       {0, 0, 1}},
  };
  for (const Case& c : cases) {
    const Circle got = Solve(c.xy);
    EXPECT_NEAR(got.x, c.want.x, 1e-7) << c.name;
    EXPECT_NEAR(got.y, c.want.y, 1e-7) << c.name;
    EXPECT_NEAR(got.r, c.want.r, 1e-7) << c.name;
  }
}

TEST(EnclosingCircle, LargeSetsAreContainedAndTight) {
  std::mt19937 rng(7u);
  std::normal_distribution<double> spread(0.0, 50.0);
  std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
  for (int trial = 0; trial < 6; ++trial) {
    std::vector<double> xy;
    for (int i = 0; i < 3000; ++i) {
      switch (trial % 3) {
        case 0:  // a cloud
          xy.push_back(spread(rng));
          xy.push_back(spread(rng));
          break;
        case 1: {  // on a circle: every point is a candidate support point
          const double a = angle(rng);
          xy.push_back(10 + 40 * std::cos(a));
          xy.push_back(-5 + 40 * std::sin(a));
          break;
        }
        default:  // nearly on a line
          xy.push_back(spread(rng));
          xy.push_back(1e-9 * spread(rng));
          break;
      }
    }
    const Circle got = Solve(xy);
    EXPECT_TRUE(Contains(got, xy, 1e-9 * got.r)) << "trial " << trial;
    EXPECT_TRUE(CentreInBoundaryHull(got, xy)) << "trial " << trial;
  }
}

TEST(EnclosingCircle, CircleOfShapesUsesEveryPathPoint) {
  // Control points included: the 16 points of a circle of radius 10 reach
  // sqrt(10^2 + (10 * 0.5522848)^2) from its centre.
  SvgImagePtr image = ParseElement("<circle cx=\"50\" cy=\"50\" r=\"10\"/>");
  std::vector<double> xy;
  AppendEnclosingCirclePoints(*image->shapes, xy);
  EXPECT_EQ(xy.size(), 32u);
  const EnclosingCircle c = SmallestEnclosingCircle(xy);
  EXPECT_NEAR(c.x, 50.0f, 1e-4f);
  EXPECT_NEAR(c.y, 50.0f, 1e-4f);
  EXPECT_EQ(c.z, 0.0f);
  EXPECT_NEAR(c.radius, std::hypot(10.0f, 10.0f * 0.5522848f), 1e-4f);
  EXPECT_NEAR(c.radius, 11.42f, 0.01f);
}

TEST(EnclosingCircle, ShapesAccumulateAndLonePointsAreLeftOut) {
  SvgImagePtr image = ParseElement(
      "<path id=\"PIVOT\" d=\"M 90 90\"/><line x1=\"0\" y1=\"0\" x2=\"10\" y2=\"0\"/>"
      "<line x1=\"0\" y1=\"20\" x2=\"10\" y2=\"20\"/>");
  const auto shapes = Shapes(*image);
  ASSERT_EQ(shapes.size(), 3u);
  std::vector<double> xy;
  AppendEnclosingCirclePoints(*shapes[0], xy);
  EXPECT_TRUE(xy.empty());
  const EnclosingCircle none = SmallestEnclosingCircle(xy);
  EXPECT_EQ(none.x, 0.0f);
  EXPECT_EQ(none.y, 0.0f);
  EXPECT_EQ(none.radius, 0.0f);

  AppendEnclosingCirclePoints(*shapes[1], xy);
  AppendEnclosingCirclePoints(*shapes[2], xy);
  const EnclosingCircle c = SmallestEnclosingCircle(xy);
  EXPECT_NEAR(c.x, 5.0f, 1e-5f);
  EXPECT_NEAR(c.y, 10.0f, 1e-5f);
  EXPECT_NEAR(c.radius, std::hypot(5.0f, 10.0f), 1e-5f);
}

TEST(EnclosingCircle, RepeatedPointsNeitherCycleNorMissTheSmallestCircle) {
  // Parser output repeats points (a path's end is the next one's start,
  // closed paths come back to their start). Sets on small grids with many
  // repeats, checked against the brute-force answer, and a count of the
  // walking steps that a cycling solver would run up to its cap.
  std::mt19937 rng(40000u);
  for (int trial = 0; trial < 4000; ++trial) {
    const int side = 2 + trial % 5;
    std::uniform_int_distribution<int> grid(-side, side);
    std::vector<double> xy;
    for (int i = 0; i < 4 + trial % 9; ++i) {
      xy.push_back(grid(rng));
      xy.push_back(grid(rng));
    }
    // Every set sees each of its points a few times, in shuffled order.
    const size_t distinct = xy.size() / 2;
    for (size_t i = 0; i < 3 * distinct; ++i) {
      const size_t k = rng() % distinct;
      xy.push_back(xy[2 * k]);
      xy.push_back(xy[2 * k + 1]);
    }
    const Circle want = BruteForce(xy);
    EnclosingBall ball(2, xy);
    ball.Update();
    ASSERT_NEAR(ball.Radius(), want.r, 1e-9 * (1.0 + want.r)) << "trial " << trial;
    ASSERT_NEAR(ball.Center()[0], want.x, 1e-6 * (1.0 + want.r)) << "trial " << trial;
    ASSERT_NEAR(ball.Center()[1], want.y, 1e-6 * (1.0 + want.r)) << "trial " << trial;
    ASSERT_LE(ball.Steps(), 2 * long(distinct) + 8) << "trial " << trial;
  }
}

TEST(EnclosingCircle, TwelveThousandPointsWithRepeatsTakeAFewSteps) {
  // A grid set whose repeats used to send the solver round in a cycle to its
  // step cap (a wrong circle after 10^6 scans of the points), filled up to
  // 12,001 points with repeated points inside it.
  std::vector<double> rim = {-1, 3,  0,  -3, 2,  1,  -5, -2, -2, 2, -2, 1, 3,  5,  6,  4,  5,  6, 1,  -1,
                             3,  2,  5,  0,  -1, 3,  -1, 3,  3,  2, 3,  2, -2, 1,  -2, 2,  5,  0, 2,  1,
                             1,  -1, 3,  2,  5,  6,  -5, -2, 1,  -1, 2, 1, -5, -2, -2, 2,  1,  -1, 2,  1,
                             -1, 3,  3,  5,  -2, 1,  5,  6,  2,  1, -2, 1, 0,  -3, -1, 3,  5,  0, 6,  4,
                             1,  -1, 5,  0,  0,  -3, -2, 2,  0,  -3, -2, 2, -2, 2,  1,  -1};
  const Circle want = BruteForce(rim);
  std::vector<double> xy = rim;
  for (int k = 0; xy.size() < 2u * 12001u; k = (k + 1) % 9) {
    xy.push_back(k % 3);
    xy.push_back(k / 3);
  }
  EnclosingBall ball(2, xy);
  ball.Update();
  EXPECT_NEAR(ball.Radius(), want.r, 1e-9 * want.r);
  EXPECT_NEAR(ball.Center()[0], want.x, 1e-7);
  EXPECT_NEAR(ball.Center()[1], want.y, 1e-7);
  EXPECT_LE(ball.Steps(), 20);
}
