// The geometry side of the SVG parser: path data and the basic shapes, all
// turned into cubic Bezier segments in the parse state's point buffer (lines,
// quadratic curves and elliptic arcs are converted), committed subpath by
// subpath with AddPath and made into the element's shape with AddShape.
//
// Index:
//   [SECTION] Point buffer
//   [SECTION] Path data
//   [SECTION] Elliptic arcs
//   [SECTION] Basic shapes
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "svg/SvgParser.h"

using svgtext::IsDigit;
using svgtext::IsSpace;

// ---------------------------------------------------------------------------
// [SECTION] Point buffer
// ---------------------------------------------------------------------------

void SvgParser::AddPoint(float x, float y) {
  if (npts + 1 > cpts) {
    if (cpts > INT_MAX / 4) return;
    const int capacity = cpts ? cpts * 2 : 8;
    float* grown = static_cast<float*>(std::realloc(pts, sizeof(float) * 2 * static_cast<size_t>(capacity)));
    if (!grown) return;
    pts = grown;
    cpts = capacity;
  }
  pts[npts * 2] = x;
  pts[npts * 2 + 1] = y;
  npts++;
}

void SvgParser::MoveTo(float x, float y) {
  if (npts > 0) {
    pts[(npts - 1) * 2] = x;
    pts[(npts - 1) * 2 + 1] = y;
  } else {
    AddPoint(x, y);
  }
}

// A straight segment as a cubic with its controls at the thirds.
void SvgParser::LineTo(float x, float y) {
  if (npts == 0) return;
  const float px = pts[(npts - 1) * 2];
  const float py = pts[(npts - 1) * 2 + 1];
  const float dx = x - px;
  const float dy = y - py;
  AddPoint(px + dx / 3.0f, py + dy / 3.0f);
  AddPoint(x - dx / 3.0f, y - dy / 3.0f);
  AddPoint(x, y);
}

void SvgParser::CubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
  AddPoint(c1x, c1y);
  AddPoint(c2x, c2y);
  AddPoint(x, y);
}

// ---------------------------------------------------------------------------
// [SECTION] Path data
// ---------------------------------------------------------------------------

const char* SvgParser::NextPathItem(const char* s, char* it, double* value, bool flag) {
  it[0] = '\0';
  *value = 0.0;
  while (*s && (IsSpace(*s) || *s == ',')) s++;
  if (!*s) return s;
  // An arc flag is one digit: minifiers write "a1 1 0 002 0" for the flags
  // 0, 0 and the end point (2, 0).
  if (flag && (*s == '0' || *s == '1')) {
    *value = *s == '1' ? 1.0 : 0.0;
    it[0] = *s++;
    it[1] = '\0';
    return s;
  }
  if (*s == '-' || *s == '+' || *s == '.' || IsDigit(*s)) {
    *value = ParseFloat(s);
    return ParseNumber(s, it);
  }
  it[0] = *s++;
  it[1] = '\0';
  return s;
}

int SvgParser::ArgsPerCommand(char cmd) {
  switch (cmd) {
    case 'A':
    case 'a': return 7;
    case 'C':
    case 'c': return 6;
    case 'H':
    case 'h':
    case 'V':
    case 'v': return 1;
    case 'L':
    case 'l':
    case 'M':
    case 'm':
    case 'T':
    case 't': return 2;
    case 'Q':
    case 'q':
    case 'S':
    case 's': return 4;
    default: return 0;
  }
}

void SvgParser::ParsePath(SvgAttrList attribs) {
  // The data is read last, so that the element's transform, id and class
  // apply wherever they stand.
  const char* d = nullptr;
  for (int i = 0; attribs[i]; i += 2) {
    if (std::strcmp(attribs[i], "d") == 0)
      d = attribs[i + 1];
    else
      ParseAttr(attribs[i], attribs[i + 1]);
  }
  if (d) ParsePathData(d);
}

void SvgParser::ParsePathData(const char* d) {
  constexpr float kTwoThirds = 2.0f / 3.0f;
  ResetPath();
  // Current point, and the last control point that S and T reflect.
  float cpx = 0, cpy = 0, cpx2 = 0, cpy2 = 0;
  char cmd = '\0';
  int nargs = 0;
  int rargs = 0;
  float args[10];
  char item[kNumberSize];

  const char* s = d;
  while (*s) {
    double value;
    const bool arcFlag = (cmd == 'a' || cmd == 'A') && (nargs == 3 || nargs == 4);
    s = NextPathItem(s, item, &value, arcFlag);
    if (!item[0]) break;
    const char c0 = item[0];
    if (c0 == '-' || c0 == '+' || c0 == '.' || IsDigit(c0) || c0 == 'e' || c0 == 'E') {
      if (nargs < 10) args[nargs++] = static_cast<float>(value);
      if (nargs < rargs) continue;

      const bool rel = cmd >= 'a' && cmd <= 'z';
      const float ox = rel ? cpx : 0.0f;  // all points of one command share it
      const float oy = rel ? cpy : 0.0f;
      switch (cmd) {
        case 'm':
        case 'M':
          cpx = args[0] + ox;
          cpy = args[1] + oy;
          MoveTo(cpx, cpy);
          // Further pairs after a move are lines.
          cmd = rel ? 'l' : 'L';
          rargs = ArgsPerCommand(cmd);
          cpx2 = cpx;
          cpy2 = cpy;
          break;
        case 'l':
        case 'L':
          cpx = args[0] + ox;
          cpy = args[1] + oy;
          LineTo(cpx, cpy);
          cpx2 = cpx;
          cpy2 = cpy;
          break;
        case 'h':
        case 'H':
          cpx = args[0] + ox;
          LineTo(cpx, cpy);
          cpx2 = cpx;
          cpy2 = cpy;
          break;
        case 'v':
        case 'V':
          cpy = args[0] + oy;
          LineTo(cpx, cpy);
          cpx2 = cpx;
          cpy2 = cpy;
          break;
        case 'c':
        case 'C': {
          const float x2 = args[2] + ox, y2 = args[3] + oy;
          const float x = args[4] + ox, y = args[5] + oy;
          CubicTo(args[0] + ox, args[1] + oy, x2, y2, x, y);
          cpx2 = x2;
          cpy2 = y2;
          cpx = x;
          cpy = y;
          break;
        }
        case 's':
        case 'S': {
          const float x2 = args[0] + ox, y2 = args[1] + oy;
          const float x = args[2] + ox, y = args[3] + oy;
          CubicTo(2 * cpx - cpx2, 2 * cpy - cpy2, x2, y2, x, y);
          cpx2 = x2;
          cpy2 = y2;
          cpx = x;
          cpy = y;
          break;
        }
        case 'q':
        case 'Q':
        case 't':
        case 'T': {
          float qx, qy, x, y;
          if (cmd == 'q' || cmd == 'Q') {
            qx = args[0] + ox;
            qy = args[1] + oy;
            x = args[2] + ox;
            y = args[3] + oy;
          } else {
            qx = 2 * cpx - cpx2;
            qy = 2 * cpy - cpy2;
            x = args[0] + ox;
            y = args[1] + oy;
          }
          CubicTo(cpx + kTwoThirds * (qx - cpx), cpy + kTwoThirds * (qy - cpy), x + kTwoThirds * (qx - x),
                  y + kTwoThirds * (qy - y), x, y);
          cpx2 = qx;
          cpy2 = qy;
          cpx = x;
          cpy = y;
          break;
        }
        case 'a':
        case 'A':
          PathArcTo(&cpx, &cpy, args, rel);
          cpx2 = cpx;
          cpy2 = cpy;
          break;
        default:
          if (nargs >= 2) {
            cpx = args[nargs - 2];
            cpy = args[nargs - 1];
            cpx2 = cpx;
            cpy2 = cpy;
          }
          break;
      }
      nargs = 0;
    } else {
      cmd = c0;
      rargs = ArgsPerCommand(cmd);
      if (cmd == 'M' || cmd == 'm') {
        if (npts > 0) AddPath(false);
        ResetPath();
        nargs = 0;
      } else if (cmd == 'Z' || cmd == 'z') {
        if (npts > 0) {
          cpx = pts[0];
          cpy = pts[1];
          cpx2 = cpx;
          cpy2 = cpy;
          AddPath(true);
        }
        ResetPath();
        MoveTo(cpx, cpy);
        nargs = 0;
      }
    }
  }
  if (npts > 0) AddPath(false);
  AddShape();
}

// ---------------------------------------------------------------------------
// [SECTION] Elliptic arcs
// ---------------------------------------------------------------------------

float SvgParser::VecAngle(float ux, float uy, float vx, float vy) {
  const float len = std::sqrt(ux * ux + uy * uy) * std::sqrt(vx * vx + vy * vy);
  float r = (ux * vx + uy * vy) / len;
  if (r < -1.0f) r = -1.0f;
  if (r > 1.0f) r = 1.0f;
  return ((ux * vy < uy * vx) ? -1.0f : 1.0f) * std::acos(r);
}

// Endpoint form to centre form, then one cubic per quarter turn or less.
void SvgParser::PathArcTo(float* cpx, float* cpy, const float* args, bool rel) {
  float rx = std::fabs(args[0]);
  float ry = std::fabs(args[1]);
  const float rotx = args[2] / 180.0f * kSvgPi;
  const bool largeArc = std::fabs(args[3]) > 1e-6f;
  const bool sweep = std::fabs(args[4]) > 1e-6f;
  const float x1 = *cpx;
  const float y1 = *cpy;
  const float x2 = rel ? *cpx + args[5] : args[5];
  const float y2 = rel ? *cpy + args[6] : args[6];

  float dx = x1 - x2;
  float dy = y1 - y2;
  const float d = std::sqrt(dx * dx + dy * dy);
  if (d < 1e-6f || rx < 1e-6f || ry < 1e-6f) {
    LineTo(x2, y2);
    *cpx = x2;
    *cpy = y2;
    return;
  }

  const float sinrx = std::sin(rotx);
  const float cosrx = std::cos(rotx);
  const float x1p = cosrx * dx / 2.0f + sinrx * dy / 2.0f;
  const float y1p = -sinrx * dx / 2.0f + cosrx * dy / 2.0f;
  float lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
  if (lambda > 1) {
    // The radii are too small to reach the end point: scale them up.
    lambda = std::sqrt(lambda);
    rx *= lambda;
    ry *= lambda;
  }
  float sa = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p;
  if (sa < 0.0f) sa = 0.0f;
  const float sb = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
  float s = sb > 0.0f ? std::sqrt(sa / sb) : 0.0f;
  if (largeArc == sweep) s = -s;
  const float cxp = s * rx * y1p / ry;
  const float cyp = s * -ry * x1p / rx;
  const float cx = (x1 + x2) / 2.0f + cosrx * cxp - sinrx * cyp;
  const float cy = (y1 + y2) / 2.0f + sinrx * cxp + cosrx * cyp;

  const float ux = (x1p - cxp) / rx;
  const float uy = (y1p - cyp) / ry;
  const float vx = (-x1p - cxp) / rx;
  const float vy = (-y1p - cyp) / ry;
  const float a1 = VecAngle(1.0f, 0.0f, ux, uy);
  float da = VecAngle(ux, uy, vx, vy);
  if (!sweep && da > 0)
    da -= 2 * kSvgPi;
  else if (sweep && da < 0)
    da += 2 * kSvgPi;

  // Radii or coordinates near the float range overflow the arithmetic
  // above; the end point is still reached, in a straight line.
  if (!std::isfinite(da) || !std::isfinite(a1) || !std::isfinite(cx) || !std::isfinite(cy)) {
    LineTo(x2, y2);
    *cpx = x2;
    *cpy = y2;
    return;
  }

  const float t[6] = {cosrx, sinrx, -sinrx, cosrx, cx, cy};
  const int ndivs = static_cast<int>(std::fabs(da) / (kSvgPi * 0.5f) + 1.0f);
  const float hda = (da / static_cast<float>(ndivs)) / 2.0f;
  const float sinh = std::sin(hda);
  float kappa = sinh != 0.0f ? std::fabs(4.0f / 3.0f * (1.0f - std::cos(hda)) / sinh) : 0.0f;
  if (da < 0.0f) kappa = -kappa;

  float px = 0, py = 0, ptanx = 0, ptany = 0;
  for (int i = 0; i <= ndivs; ++i) {
    const float a = a1 + da * (static_cast<float>(i) / static_cast<float>(ndivs));
    dx = std::cos(a);
    dy = std::sin(a);
    const float ex = dx * rx, ey = dy * ry;
    const float x = ex * t[0] + ey * t[2] + t[4];
    const float y = ex * t[1] + ey * t[3] + t[5];
    const float vtx = -dy * rx * kappa, vty = dx * ry * kappa;
    const float tanx = vtx * t[0] + vty * t[2];
    const float tany = vtx * t[1] + vty * t[3];
    if (i > 0) CubicTo(px + ptanx, py + ptany, x - tanx, y - tany, x, y);
    px = x;
    py = y;
    ptanx = tanx;
    ptany = tany;
  }

  *cpx = x2;
  *cpy = y2;
}

// ---------------------------------------------------------------------------
// [SECTION] Basic shapes
// ---------------------------------------------------------------------------

namespace {

// Offset of a quarter circle's control points from its ends.
constexpr float kKappa90 = 0.5522848f;

}  // namespace

void SvgParser::ParseRect(SvgAttrList attribs) {
  float x = 0, y = 0, w = 0, h = 0;
  float rx = -1, ry = -1;  // -1: not given
  for (int i = 0; attribs[i]; i += 2) {
    const char* name = attribs[i];
    const char* value = attribs[i + 1];
    if (ParseAttr(name, value)) continue;
    if (std::strcmp(name, "x") == 0) x = ParseCoordinate(value, viewMinx, viewWidth);
    if (std::strcmp(name, "y") == 0) y = ParseCoordinate(value, viewMiny, viewHeight);
    if (std::strcmp(name, "width") == 0) w = ParseCoordinate(value, 0.0f, viewWidth);
    if (std::strcmp(name, "height") == 0) h = ParseCoordinate(value, 0.0f, viewHeight);
    if (std::strcmp(name, "rx") == 0) rx = std::fabs(ParseCoordinate(value, 0.0f, viewWidth));
    if (std::strcmp(name, "ry") == 0) ry = std::fabs(ParseCoordinate(value, 0.0f, viewHeight));
  }
  if (rx < 0.0f && ry > 0.0f) rx = ry;
  if (ry < 0.0f && rx > 0.0f) ry = rx;
  if (rx < 0.0f) rx = 0.0f;
  if (ry < 0.0f) ry = 0.0f;
  if (rx > w / 2.0f) rx = w / 2.0f;
  if (ry > h / 2.0f) ry = h / 2.0f;
  if (w == 0.0f || h == 0.0f) return;

  ResetPath();
  if (rx < 0.00001f || ry < 0.0001f) {
    MoveTo(x, y);
    LineTo(x + w, y);
    LineTo(x + w, y + h);
    LineTo(x, y + h);
  } else {
    const float k = 1.0f - kKappa90;
    MoveTo(x + rx, y);
    LineTo(x + w - rx, y);
    CubicTo(x + w - rx * k, y, x + w, y + ry * k, x + w, y + ry);
    LineTo(x + w, y + h - ry);
    CubicTo(x + w, y + h - ry * k, x + w - rx * k, y + h, x + w - rx, y + h);
    LineTo(x + rx, y + h);
    CubicTo(x + rx * k, y + h, x, y + h - ry * k, x, y + h - ry);
    LineTo(x, y + ry);
    CubicTo(x, y + ry * k, x + rx * k, y, x + rx, y);
  }
  AddPath(true);
  AddShape();
}

namespace {

void AddEllipseOutline(SvgParser& p, float cx, float cy, float rx, float ry) {
  const float k = kKappa90;
  p.ResetPath();
  p.MoveTo(cx + rx, cy);
  p.CubicTo(cx + rx, cy + ry * k, cx + rx * k, cy + ry, cx, cy + ry);
  p.CubicTo(cx - rx * k, cy + ry, cx - rx, cy + ry * k, cx - rx, cy);
  p.CubicTo(cx - rx, cy - ry * k, cx - rx * k, cy - ry, cx, cy - ry);
  p.CubicTo(cx + rx * k, cy - ry, cx + rx, cy - ry * k, cx + rx, cy);
  p.AddPath(true);
  p.AddShape();
}

}  // namespace

void SvgParser::ParseCircle(SvgAttrList attribs) {
  float cx = 0, cy = 0, r = 0;
  for (int i = 0; attribs[i]; i += 2) {
    const char* name = attribs[i];
    const char* value = attribs[i + 1];
    if (ParseAttr(name, value)) continue;
    if (std::strcmp(name, "cx") == 0) cx = ParseCoordinate(value, viewMinx, viewWidth);
    if (std::strcmp(name, "cy") == 0) cy = ParseCoordinate(value, viewMiny, viewHeight);
    if (std::strcmp(name, "r") == 0) r = std::fabs(ParseCoordinate(value, 0.0f, ViewDiagonal()));
  }
  if (r > 0.0f) AddEllipseOutline(*this, cx, cy, r, r);
}

void SvgParser::ParseEllipse(SvgAttrList attribs) {
  float cx = 0, cy = 0, rx = 0, ry = 0;
  for (int i = 0; attribs[i]; i += 2) {
    const char* name = attribs[i];
    const char* value = attribs[i + 1];
    if (ParseAttr(name, value)) continue;
    if (std::strcmp(name, "cx") == 0) cx = ParseCoordinate(value, viewMinx, viewWidth);
    if (std::strcmp(name, "cy") == 0) cy = ParseCoordinate(value, viewMiny, viewHeight);
    if (std::strcmp(name, "rx") == 0) rx = std::fabs(ParseCoordinate(value, 0.0f, viewWidth));
    if (std::strcmp(name, "ry") == 0) ry = std::fabs(ParseCoordinate(value, 0.0f, viewHeight));
  }
  if (rx > 0.0f && ry > 0.0f) AddEllipseOutline(*this, cx, cy, rx, ry);
}

void SvgParser::ParseLine(SvgAttrList attribs) {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  for (int i = 0; attribs[i]; i += 2) {
    const char* name = attribs[i];
    const char* value = attribs[i + 1];
    if (ParseAttr(name, value)) continue;
    if (std::strcmp(name, "x1") == 0) x1 = ParseCoordinate(value, viewMinx, viewWidth);
    if (std::strcmp(name, "y1") == 0) y1 = ParseCoordinate(value, viewMiny, viewHeight);
    if (std::strcmp(name, "x2") == 0) x2 = ParseCoordinate(value, viewMinx, viewWidth);
    if (std::strcmp(name, "y2") == 0) y2 = ParseCoordinate(value, viewMiny, viewHeight);
  }
  ResetPath();
  MoveTo(x1, y1);
  LineTo(x2, y2);
  AddPath(false);
  AddShape();
}

void SvgParser::ParsePoly(SvgAttrList attribs, bool closed) {
  ResetPath();
  float args[2];
  int nargs = 0;
  int npoints = 0;
  char item[kNumberSize];
  for (int i = 0; attribs[i]; i += 2) {
    const char* name = attribs[i];
    const char* value = attribs[i + 1];
    if (ParseAttr(name, value)) continue;
    if (std::strcmp(name, "points") != 0) continue;
    const char* s = value;
    while (*s) {
      // Letters and the empty item after a trailing separator read as 0.
      double value;
      s = NextPathItem(s, item, &value);
      args[nargs++] = static_cast<float>(value);
      if (nargs < 2) continue;
      if (npoints == 0)
        MoveTo(args[0], args[1]);
      else
        LineTo(args[0], args[1]);
      npoints++;
      nargs = 0;
    }
  }
  AddPath(closed);
  AddShape();
}
