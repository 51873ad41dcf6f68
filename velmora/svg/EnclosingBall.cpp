// Smallest enclosing ball: the support set with its QR updates, the walking
// solver, and the circle of a group of SVG shapes.
//
// Index:
//   [SECTION] Support set
//   [SECTION] Solver
//   [SECTION] Circle of SVG shapes
#include "svg/EnclosingBall.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace {

// The rotation (c, s) that maps (a, b) onto (r, 0), normalised through the
// ratio of the smaller to the larger magnitude so that nothing overflows.
void Givens(double& c, double& s, double a, double b) {
  if (b == 0.0) {
    c = 1.0;
    s = 0.0;
  } else if (std::fabs(b) > std::fabs(a)) {
    const double t = a / b;
    s = 1.0 / std::sqrt(1.0 + t * t);
    c = s * t;
  } else {
    const double t = b / a;
    c = 1.0 / std::sqrt(1.0 + t * t);
    s = c * t;
  }
}

// The points with every exact repeat left out, first occurrences in order.
// A repeat of a support point stops the walk at bound 0 and joins the
// support beside its twin, a degenerate support from which the solver can
// only cycle; without repeats every stop grows the ball. Equal coordinates
// hash alike (-0 is folded into 0); a NaN equals nothing and stays.
std::vector<double> WithoutRepeats(int dim, std::vector<double> points) {
  const size_t count = points.size() / static_cast<size_t>(dim);
  auto hash = [&](size_t index) {
    size_t h = 0;
    for (int i = 0; i < dim; ++i) {
      const double v = points[index * dim + i] + 0.0;
      uint64_t bits = 0;
      std::memcpy(&bits, &v, sizeof bits);
      h = h * 1000003u ^ std::hash<uint64_t>()(bits);
    }
    return h;
  };
  auto equal = [&](size_t a, size_t b) {
    for (int i = 0; i < dim; ++i)
      if (!(points[a * dim + i] == points[b * dim + i])) return false;
    return true;
  };
  std::unordered_set<size_t, decltype(hash), decltype(equal)> seen(count, hash, equal);
  size_t kept = 0;
  for (size_t j = 0; j < count; ++j) {
    // Moved down first, so that the set's indices always name kept points.
    if (kept != j)
      for (int i = 0; i < dim; ++i) points[kept * dim + i] = points[j * dim + i];
    if (seen.insert(kept).second) ++kept;
  }
  points.resize(kept * dim);
  return points;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Support set
// ---------------------------------------------------------------------------

BallSubspan::BallSubspan(int dim, const std::vector<double>& points, int originIndex)
    : m_dim(dim),
      m_points(points),
      m_membership(points.size() / static_cast<size_t>(dim), false),
      m_q(static_cast<size_t>(dim) * dim, 0.0),
      m_r(static_cast<size_t>(dim) * dim, 0.0) {
  for (int i = 0; i < dim; ++i) m_q[static_cast<size_t>(i) * dim + i] = 1.0;
  m_members.push_back(originIndex);
  m_membership[originIndex] = true;
}

void BallSubspan::Rotate(double& a, double& b, double c, double s) const {
  const double x = a, y = b;
  a = c * x + s * y;
  b = c * y - s * x;
}

// Rows `row` and `row + 1` of R, from `firstColumn` to the last member column.
void BallSubspan::RotateRows(int row, int firstColumn, double c, double s) {
  for (int j = firstColumn; j < Rank(); ++j) Rotate(m_r[j * m_dim + row], m_r[j * m_dim + row + 1], c, s);
}

// Columns `col` and `col + 1` of Q, so that Q * R is unchanged by a row
// rotation of R.
void BallSubspan::RotateQColumns(int col, double c, double s) {
  for (int i = 0; i < m_dim; ++i) Rotate(m_q[col * m_dim + i], m_q[(col + 1) * m_dim + i], c, s);
}

void BallSubspan::AddPoint(int index) {
  const int r = Rank();
  const double* p = Point(index);
  const double* o = Origin();
  std::vector<double> u(m_dim);
  for (int i = 0; i < m_dim; ++i) u[i] = p[i] - o[i];

  // The new column is Q^T u; rotations from the bottom up clear it below
  // the diagonal. Earlier columns are zero in those rows.
  double* col = &m_r[r * m_dim];
  for (int i = 0; i < m_dim; ++i) {
    double dot = 0.0;
    for (int k = 0; k < m_dim; ++k) dot += m_q[i * m_dim + k] * u[k];
    col[i] = dot;
  }
  for (int j = m_dim - 1; j > r; --j) {
    double c, s;
    Givens(c, s, col[j - 1], col[j]);
    col[j - 1] = c * col[j - 1] + s * col[j];
    col[j] = 0.0;
    RotateQColumns(j - 1, c, s);
  }

  m_members.insert(m_members.end() - 1, index);
  m_membership[index] = true;
}

void BallSubspan::RemovePoint(int local) {
  const int r = Rank();
  m_membership[m_members[local]] = false;
  if (local == r) {
    // The origin leaves: the last other member becomes the origin, and every
    // remaining column changes by u = old origin - new origin.
    const double* oldOrigin = Point(m_members[r]);
    const double* newOrigin = Point(m_members[r - 1]);
    std::vector<double> u(m_dim);
    for (int i = 0; i < m_dim; ++i) u[i] = oldOrigin[i] - newOrigin[i];
    m_members.pop_back();
    SpecialRankOneUpdate(u.data());
  } else {
    for (int j = local + 1; j < r; ++j)
      for (int i = 0; i < m_dim; ++i) m_r[(j - 1) * m_dim + i] = m_r[j * m_dim + i];
    m_members.erase(m_members.begin() + local);
    HessenbergClear(local);
  }
}

// R + w 1^T with w = Q^T u, brought back to triangular form.
void BallSubspan::SpecialRankOneUpdate(const double* u) {
  std::vector<double> w(m_dim);
  for (int i = 0; i < m_dim; ++i) {
    double dot = 0.0;
    for (int k = 0; k < m_dim; ++k) dot += m_q[i * m_dim + k] * u[k];
    w[i] = dot;
  }
  // Rotate w onto the first axis; R turns upper Hessenberg on the way.
  for (int k = m_dim - 1; k > 0; --k) {
    double c, s;
    Givens(c, s, w[k - 1], w[k]);
    w[k - 1] = c * w[k - 1] + s * w[k];
    w[k] = 0.0;
    RotateRows(k - 1, 0, c, s);
    RotateQColumns(k - 1, c, s);
  }
  for (int j = 0; j < Rank(); ++j) m_r[j * m_dim] += w[0];
  HessenbergClear(0);
}

// Clears the entries just below the diagonal from column `pos` on.
void BallSubspan::HessenbergClear(int pos) {
  for (; pos < Rank() && pos + 1 < m_dim; ++pos) {
    double c, s;
    Givens(c, s, m_r[pos * m_dim + pos], m_r[pos * m_dim + pos + 1]);
    RotateRows(pos, pos, c, s);
    m_r[pos * m_dim + pos + 1] = 0.0;
    RotateQColumns(pos, c, s);
  }
}

double BallSubspan::ShortestVectorToSpan(const double* p, double* w) const {
  const double* o = Origin();
  for (int i = 0; i < m_dim; ++i) w[i] = o[i] - p[i];
  for (int j = 0; j < Rank(); ++j) {
    const double* q = &m_q[j * m_dim];
    double scale = 0.0;
    for (int i = 0; i < m_dim; ++i) scale += w[i] * q[i];
    for (int i = 0; i < m_dim; ++i) w[i] -= scale * q[i];
  }
  double len2 = 0.0;
  for (int i = 0; i < m_dim; ++i) len2 += w[i] * w[i];
  return len2;
}

void BallSubspan::FindAffineCoefficients(const double* p, double* lambdas) const {
  const int r = Rank();
  const double* o = Origin();
  std::vector<double> u(m_dim), w(m_dim);
  for (int i = 0; i < m_dim; ++i) u[i] = p[i] - o[i];
  for (int i = 0; i < m_dim; ++i) {
    double dot = 0.0;
    for (int k = 0; k < m_dim; ++k) dot += m_q[i * m_dim + k] * u[k];
    w[i] = dot;
  }
  // Back substitution in R x = Q^T u.
  double originLambda = 1.0;
  for (int i = r - 1; i >= 0; --i) {
    double x = w[i];
    for (int k = i + 1; k < r; ++k) x -= m_r[k * m_dim + i] * lambdas[k];
    lambdas[i] = x / m_r[i * m_dim + i];
    originLambda -= lambdas[i];
  }
  lambdas[r] = originLambda;
}

// ---------------------------------------------------------------------------
// [SECTION] Solver
// ---------------------------------------------------------------------------

EnclosingBall::EnclosingBall(int dim, std::vector<double> points)
    : m_dim(dim),
      m_points(WithoutRepeats(dim, std::move(points))),
      m_center(dim, 0.0),
      m_centerToAff(dim, 0.0),
      m_lambdas(dim + 1, 0.0) {}

void EnclosingBall::RadiusFromOrigin() {
  const double* o = m_support->Origin();
  m_sqrRadius = 0.0;
  for (int i = 0; i < m_dim; ++i) m_sqrRadius += (o[i] - m_center[i]) * (o[i] - m_center[i]);
  m_radius = std::sqrt(m_sqrRadius);
}

void EnclosingBall::InitBall() {
  for (int i = 0; i < m_dim; ++i) m_center[i] = Point(0)[i];
  int farthest = 0;
  double maxDist = 0.0;
  for (int j = 1; j < PointCount(); ++j) {
    double d2 = 0.0;
    for (int i = 0; i < m_dim; ++i) d2 += (Point(j)[i] - m_center[i]) * (Point(j)[i] - m_center[i]);
    if (d2 >= maxDist) {
      maxDist = d2;
      farthest = j;
    }
  }
  m_sqrRadius = maxDist;
  m_radius = std::sqrt(maxDist);
  m_support = std::make_unique<BallSubspan>(m_dim, m_points, farthest);
}

// How far along w the centre may walk before a point that is not in the
// support reaches the shrinking boundary; that point is returned.
int EnclosingBall::FindStopFraction(double& scale) {
  scale = 1.0;
  int stopper = -1;
  std::vector<double> v(m_dim);
  for (int j = 0; j < PointCount(); ++j) {
    if (m_support->IsMember(j)) continue;
    double dirPointProd = 0.0, v2 = 0.0;
    for (int i = 0; i < m_dim; ++i) {
      v[i] = Point(j)[i] - m_center[i];
      dirPointProd += m_centerToAff[i] * v[i];
      v2 += v[i] * v[i];
    }
    // Points not ahead of the walk cannot stop it.
    if (m_distToAffSquare - dirPointProd < kEps * m_radius * m_distToAff) continue;
    // A point already on the boundary (bound 0, or just below through
    // rounding) must stop the walk at once: moving on would leave it outside.
    // Skipping it, as a strict "bound > 0" would, loses points whenever
    // several lie on the first ball's rim (integer grids, duplicates).
    const double bound = std::fmax(0.0, (m_sqrRadius - v2) / (2.0 * (m_distToAffSquare - dirPointProd)));
    if (bound < scale) {
      scale = bound;
      stopper = j;
    }
  }
  return stopper;
}

bool EnclosingBall::SuccessfulDrop() {
  m_support->FindAffineCoefficients(m_center.data(), m_lambdas.data());
  int smallest = 0;
  double minimum = 1.0;
  for (int i = 0; i < m_support->Size(); ++i) {
    if (m_lambdas[i] < minimum) {
      minimum = m_lambdas[i];
      smallest = i;
    }
  }
  if (minimum <= 0.0) {
    m_support->RemovePoint(smallest);
    return true;
  }
  return false;
}

void EnclosingBall::Update() {
  if (PointCount() == 0) return;
  InitBall();
  // Each support change strictly grows the ball in exact arithmetic; the
  // bound only guards against rounding cycles on hostile input.
  const long maxSteps = 1000L + 100L * PointCount();
  for (m_steps = 0; m_steps < maxSteps; ++m_steps) {
    m_distToAffSquare = m_support->ShortestVectorToSpan(m_center.data(), m_centerToAff.data());
    m_distToAff = std::sqrt(m_distToAffSquare);
    if (m_distToAff > kEps * m_radius) {
      double scale;
      const int stopper = FindStopFraction(scale);
      if (stopper >= 0 && m_support->Size() <= m_dim) {
        for (int i = 0; i < m_dim; ++i) m_center[i] += scale * m_centerToAff[i];
        RadiusFromOrigin();
        m_support->AddPoint(stopper);
        continue;
      }
      for (int i = 0; i < m_dim; ++i) m_center[i] += m_centerToAff[i];
      RadiusFromOrigin();
    }
    if (!SuccessfulDrop()) return;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Circle of SVG shapes
// ---------------------------------------------------------------------------

void AppendEnclosingCirclePoints(const SvgShape& shape, std::vector<double>& xy) {
  for (const SvgPath* path = shape.paths; path; path = path->next) {
    if (path->npts <= 1) continue;
    xy.insert(xy.end(), path->pts, path->pts + static_cast<size_t>(path->npts) * 2);
  }
}

EnclosingCircle SmallestEnclosingCircle(const std::vector<double>& xy) {
  EnclosingCircle circle = {0.0f, 0.0f, 0.0f, 0.0f};
  if (xy.size() < 2) return circle;
  EnclosingBall ball(2, xy);
  ball.Update();
  circle.x = static_cast<float>(ball.Center()[0]);
  circle.y = static_cast<float>(ball.Center()[1]);
  circle.radius = static_cast<float>(ball.Radius());
  return circle;
}
