// The one cubic flattener shared by fills, edge sets and the layer polylines.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/CubicFlatten.h"

namespace {

struct P {
  float x, y;
};

std::vector<P> Flatten(const float (&c)[8], float tolerance, int level = 0) {
  std::vector<P> out;
  FlattenCubic(c, tolerance, level, [&](float x, float y) { out.push_back({x, y}); });
  return out;
}

P Bezier(const float (&c)[8], double t) {
  const double u = 1 - t;
  const double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
  return {static_cast<float>(a * c[0] + b * c[2] + d * c[4] + e * c[6]),
          static_cast<float>(a * c[1] + b * c[3] + d * c[5] + e * c[7])};
}

double DistToSegment(P p, P a, P b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double u = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  u = u < 0 ? 0 : (u > 1 ? 1 : u);
  return std::hypot(a.x + u * dx - p.x, a.y + u * dy - p.y);
}

// Largest distance from the curve to the polyline start + emitted points.
double Deviation(const float (&c)[8], const std::vector<P>& pts) {
  std::vector<P> line = {{c[0], c[1]}};
  line.insert(line.end(), pts.begin(), pts.end());
  double worst = 0;
  for (int i = 0; i <= 2000; ++i) {
    const P q = Bezier(c, i / 2000.0);
    double best = INFINITY;
    for (size_t k = 0; k + 1 < line.size(); ++k) best = std::fmin(best, DistToSegment(q, line[k], line[k + 1]));
    worst = std::fmax(worst, best);
  }
  return worst;
}

}  // namespace

TEST(CubicFlattening, StraightSegmentsGiveTheirEndPointOnly) {
  const float line[8] = {0, 0, 10, 0, 20, 0, 30, 0};
  for (float tol : {0.0f, 0.01f, 5.0f}) {
    const auto pts = Flatten(line, tol);
    ASSERT_EQ(pts.size(), 1u) << tol;
    EXPECT_EQ(pts[0].x, 30.0f);
    EXPECT_EQ(pts[0].y, 0.0f);
  }
}

// An S-shaped piece can have its midpoint on the chord while bulging to
// both sides; the midpoint test then accepts it. Curves without an
// inflection stay close.
TEST(CubicFlattening, CurvesStayWithinTheTolerance) {
  const float quarter[8] = {100, 0, 100, 55.22848f, 55.22848f, 100, 0, 100};
  const float arch[8] = {0, 0, 20, 80, 80, 80, 100, 0};
  size_t previous = SIZE_MAX;
  for (float tol : {0.01f, 0.1f, 1.0f, 10.0f}) {
    for (const auto* curve : {&quarter, &arch}) {
      const auto pts = Flatten(*curve, tol);
      ASSERT_FALSE(pts.empty()) << tol;
      EXPECT_EQ(pts.back().x, (*curve)[6]);
      EXPECT_EQ(pts.back().y, (*curve)[7]);
      // The midpoint test bounds the error closely, not exactly.
      EXPECT_LE(Deviation(*curve, pts), 1.5 * tol) << tol;
    }
    const size_t count = Flatten(quarter, tol).size();
    EXPECT_LE(count, previous) << "coarser tolerance, no more points";
    previous = count;
  }
}

TEST(CubicFlatteningLimits, DepthStopsAtTwelveLevels) {
  const float curve[8] = {0, 0, 0, 100, 100, 100, 100, 0};
  // At most one point per piece of the deepest level, however fine the
  // tolerance; pieces still curved there are dropped.
  EXPECT_LE(Flatten(curve, 0.0f).size(), 4096u);
  EXPECT_LE(Flatten(curve, 1e-6f).size(), 4096u);
  // Tolerance 0: only pieces of the deepest level whose midpoint rounds onto
  // their chord are kept, so each point is the end of a piece of 1/4096 of
  // the curve, in order along it, and the curved pieces are gone.
  const auto exact = Flatten(curve, 0.0f);
  ASSERT_FALSE(exact.empty());
  EXPECT_LT(exact.size(), 4096u) << "curved pieces are dropped, not kept";
  int previous = 0;
  for (const P& p : exact) {
    // The nearest piece end after the previous point's.
    int k = previous + 1;
    double best = INFINITY;
    for (int j = previous + 1; j <= 4096; ++j) {
      const P q = Bezier(curve, j / 4096.0);
      const double d = std::hypot(q.x - p.x, q.y - p.y);
      if (d < best) best = d, k = j;
    }
    const P want = Bezier(curve, k / 4096.0);
    ASSERT_NEAR(p.x, want.x, 5e-3f) << "point " << &p - exact.data();
    ASSERT_NEAR(p.y, want.y, 5e-3f) << "point " << &p - exact.data();
    previous = k;
  }
  // Starting past the limit emits nothing, even for a flat piece.
  const float line[8] = {0, 0, 1, 0, 2, 0, 3, 0};
  EXPECT_EQ(Flatten(line, 1.0f, 12).size(), 1u);
  EXPECT_TRUE(Flatten(line, 1.0f, 13).empty());
}

TEST(CubicFlatteningLimits, ClosedPiecesMeasureFromTheirStart) {
  // P0 = P3: the midpoint (0, 7.5) is 7.5 from the start.
  const float loop[8] = {0, 0, 10, 10, -10, 10, 0, 0};
  EXPECT_EQ(Flatten(loop, 8.0f).size(), 1u);
  EXPECT_GT(Flatten(loop, 1.0f).size(), 2u);
}
