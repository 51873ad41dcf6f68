// Smallest enclosing ball of a point set, used in two dimensions for the
// circle around each ENG group of the SVG shape set.
//
// The solver walks the centre towards the affine hull of a support set of at
// most dim + 1 points, letting the first point that would leave the ball
// stop the walk and join the support, and dropping support points whose
// affine coefficient is not positive. The support keeps a QR factorisation of
// its points relative to its last member, updated by Givens rotations, so
// each step costs O(dim^2) besides the scan over the points. Tolerances are
// relative to the current radius (1e-14).
//
// Plain C++; owns copies of the points in double precision.
#pragma once
#include <memory>
#include <vector>

#include "svg/SvgImage.h"

// The support set: member points, the origin being the last of them, and the
// factorisation Q * R of the matrix whose columns are member - origin.
class BallSubspan {
 public:
  BallSubspan(int dim, const std::vector<double>& points, int originIndex);

  int Size() const { return static_cast<int>(m_members.size()); }
  bool IsMember(int index) const { return m_membership[index]; }
  const double* Origin() const { return Point(m_members.back()); }

  void AddPoint(int index);
  void RemovePoint(int local);
  // w = shortest vector from p to the affine hull; returns |w|^2.
  double ShortestVectorToSpan(const double* p, double* w) const;
  // Coefficients of p in the members (origin last), summing to 1.
  void FindAffineCoefficients(const double* p, double* lambdas) const;

 private:
  const double* Point(int index) const { return &m_points[static_cast<size_t>(index) * m_dim]; }
  int Rank() const { return Size() - 1; }
  void Rotate(double& a, double& b, double c, double s) const;
  void RotateRows(int row, int firstColumn, double c, double s);
  void RotateQColumns(int col, double c, double s);
  void SpecialRankOneUpdate(const double* u);
  void HessenbergClear(int pos);

  int m_dim;
  const std::vector<double>& m_points;
  std::vector<bool> m_membership;
  std::vector<int> m_members;
  // Column-major: m_q[j * dim + i] is row i of column j; m_r likewise.
  std::vector<double> m_q;
  std::vector<double> m_r;
};

class EnclosingBall {
 public:
  // `points` holds count * dim coordinates; at least one point. Exact
  // repeats are dropped here: they add nothing to the ball.
  EnclosingBall(int dim, std::vector<double> points);
  // The support refers to the point list: neither copied nor moved.
  EnclosingBall(const EnclosingBall&) = delete;
  EnclosingBall& operator=(const EnclosingBall&) = delete;

  void Update();
  const std::vector<double>& Center() const { return m_center; }
  double Radius() const { return m_radius; }
  // Walking steps the last Update took (each one a scan of the points).
  long Steps() const { return m_steps; }

 private:
  int PointCount() const { return static_cast<int>(m_points.size() / m_dim); }
  const double* Point(int index) const { return &m_points[static_cast<size_t>(index) * m_dim]; }
  void InitBall();
  int FindStopFraction(double& scale);
  bool SuccessfulDrop();
  void RadiusFromOrigin();

  static constexpr double kEps = 1e-14;

  int m_dim;
  std::vector<double> m_points;
  std::vector<double> m_center;
  double m_sqrRadius = 0.0;
  double m_radius = 0.0;
  long m_steps = 0;
  std::unique_ptr<BallSubspan> m_support;
  std::vector<double> m_centerToAff;  // walking direction w
  double m_distToAffSquare = 0.0;
  double m_distToAff = 0.0;
  std::vector<double> m_lambdas;
};

struct EnclosingCircle {
  float x, y, z;  // z is always 0
  float radius;
};

// Appends the points of the shape's paths with more than one point, in path
// list order: start, control and end points alike (curves are not
// flattened), as x, y pairs.
void AppendEnclosingCirclePoints(const SvgShape& shape, std::vector<double>& xy);
// The smallest circle around x, y pairs; no point gives centre 0 and radius 0.
EnclosingCircle SmallestEnclosingCircle(const std::vector<double>& xy);
