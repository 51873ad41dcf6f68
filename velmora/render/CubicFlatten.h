// The one cubic flattener of the vector-art code: fills of the shape set,
// edge sets for morphing and the SVG layers' polylines all cut their Bezier
// segments with it, so that the same tolerance gives the same points
// everywhere. Header-only so each caller passes its own point sink without
// an indirect call per point.
//
// Adaptive subdivision by the distance of the curve's midpoint from the
// chord: a piece is flat when the midpoint lies within `tolerance` of the
// segment P0-P3. Depth is limited to 12 levels; a piece that is still not
// flat there emits nothing (a tolerance of 0 therefore keeps exactly the
// straight segments and drops curved pieces).
#pragma once

constexpr int kSvgFlattenMaxLevel = 12;

// Emits the end point of every flat piece through emit(x, y); the start
// point P0 is the caller's. `p` holds P0..P3 as x, y pairs.
template <class Emit>
void FlattenCubic(const float p[8], float tolerance, int level, Emit&& emit) {
  float x0 = p[0], y0 = p[1], x1 = p[2], y1 = p[3];
  float x2 = p[4], y2 = p[5], x3 = p[6], y3 = p[7];
  const float tol2 = tolerance * tolerance;
  while (level <= kSvgFlattenMaxLevel) {
    const float x01 = (x0 + x1) * 0.5f, y01 = (y0 + y1) * 0.5f;
    const float x12 = (x1 + x2) * 0.5f, y12 = (y1 + y2) * 0.5f;
    const float x23 = (x2 + x3) * 0.5f, y23 = (y2 + y3) * 0.5f;
    const float x012 = (x01 + x12) * 0.5f, y012 = (y01 + y12) * 0.5f;
    const float x123 = (x12 + x23) * 0.5f, y123 = (y12 + y23) * 0.5f;
    const float mx = (x012 + x123) * 0.5f, my = (y012 + y123) * 0.5f;

    // Squared distance from the midpoint to the chord segment; a closed
    // piece (P0 = P3) measures from P0.
    const float dx = x3 - x0, dy = y3 - y0;
    const float len2 = dx * dx + dy * dy;
    float u = len2 > 0.0f ? ((mx - x0) * dx + (my - y0) * dy) / len2 : 0.0f;
    u = u < 0.0f ? 0.0f : (u > 1.0f ? 1.0f : u);
    const float ex = x0 + u * dx - mx, ey = y0 + u * dy - my;
    if (ex * ex + ey * ey <= tol2) break;

    ++level;
    const float first[8] = {x0, y0, x01, y01, x012, y012, mx, my};
    FlattenCubic(first, tolerance, level, emit);
    x0 = mx;
    y0 = my;
    x1 = x123;
    y1 = y123;
    x2 = x23;
    y2 = y23;
  }
  if (level <= kSvgFlattenMaxLevel) emit(x3, y3);
}
