// The document side of the SVG parser: the tokenizer that cuts the text in
// place, element dispatch, the attribute stack through which groups pass
// their settings down, assembly of paths and shapes from the point buffer,
// the fit into the view box and the two entry points.
//
// Index:
//   [SECTION] Entry points
//   [SECTION] Tokenizer and element dispatch
//   [SECTION] Root element
//   [SECTION] Attribute stack
//   [SECTION] Paths and shapes
//   [SECTION] View-box fit
#include "svg/SvgParser.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

using svgtext::BoundsUnion;
using svgtext::IsSpace;

void svgtext::CopyString(char* dst, const char* src, int maxChars) {
  int i = 0;
  for (; i < maxChars && src[i]; ++i) dst[i] = src[i];
  dst[i] = '\0';
}

void svgtext::BoundsUnion(float* dst, const float* src, bool first) {
  if (first) {
    std::memcpy(dst, src, sizeof(float) * 4);
    return;
  }
  dst[0] = std::fmin(dst[0], src[0]);
  dst[1] = std::fmin(dst[1], src[1]);
  dst[2] = std::fmax(dst[2], src[2]);
  dst[3] = std::fmax(dst[3], src[3]);
}

namespace {

void XformPoint(float* dx, float* dy, float x, float y, const float* t) {
  *dx = x * t[0] + y * t[2] + t[4];
  *dy = x * t[1] + y * t[3] + t[5];
}

void DeletePaths(SvgPath* path) {
  while (path) {
    SvgPath* next = path->next;
    std::free(path->pts);
    std::free(path->pointData);
    std::free(path);
    path = next;
  }
}

void DeletePaint(SvgPaint& paint) {
  if (paint.type == kSvgPaintLinearGradient || paint.type == kSvgPaintRadialGradient) std::free(paint.gradient);
  paint.type = kSvgPaintNone;
}

void DeleteShapes(SvgShape* shape) {
  while (shape) {
    SvgShape* next = shape->next;
    DeletePaths(shape->paths);
    DeletePaint(shape->fill);
    DeletePaint(shape->stroke);
    std::free(shape);
    shape = next;
  }
}

void DeleteGradientData(SvgGradientData* grad) {
  while (grad) {
    SvgGradientData* next = grad->next;
    std::free(grad->stops);
    std::free(grad);
    grad = next;
  }
}

void InitDefaultAttrib(SvgAttrib& a) {
  SvgParser::XformIdentity(a.xform);
  a.fillColor = 0;
  a.strokeColor = 0;
  a.opacity = 1;
  a.fillOpacity = 1;
  a.strokeOpacity = 1;
  a.stopOpacity = 1;
  a.strokeWidth = 1;
  a.strokeLineJoin = kSvgJoinMiter;
  a.strokeLineCap = kSvgCapButt;
  a.miterLimit = 4;
  a.fillRule = kSvgFillNonZero;
  a.fillKind = kSvgKindColor;
  a.strokeKind = kSvgKindNone;
  a.visible = 1;
}

void DeleteParser(SvgParser* p) {
  DeletePaths(p->plist);
  DeleteGradientData(p->gradients);
  DeleteSvgImage(p->image);
  std::free(p->pts);
  delete p;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Entry points
// ---------------------------------------------------------------------------

SvgImage* ParseSvg(char* text, float dpi) {
  SvgParser* p = new (std::nothrow) SvgParser();
  if (!p) return nullptr;
  p->image = static_cast<SvgImage*>(std::calloc(1, sizeof(SvgImage)));
  if (!p->image) {
    DeleteParser(p);
    return nullptr;
  }
  InitDefaultAttrib(p->attr[0]);
  p->dpi = dpi;

  if (text) p->Parse(text);
  p->ScaleToViewbox();

  SvgImage* result = p->image;
  p->image = nullptr;
  DeleteParser(p);
  return result;
}

void DeleteSvgImage(SvgImage* image) {
  if (!image) return;
  DeleteShapes(image->shapes);
  std::free(image);
}

// ---------------------------------------------------------------------------
// [SECTION] Tokenizer and element dispatch
// ---------------------------------------------------------------------------

// Two states, content and tag. Comments and CDATA sections are skipped
// whole, as drawing programs comment out live markup (a commented-out group
// must not come back, nor its end tag close the group around it). Inside a
// tag a quoted attribute value may hold '>' (style and data attributes do).
// Doctypes and processing instructions end at their first '>'; the rest up
// to the next '<' is character data, which is ignored.
namespace {

// The end of a markup section that starts at `s` with `open`, or null when
// the text does not start with it; an unterminated section runs to the end.
char* SkipSection(char* s, const char* open, const char* close) {
  const size_t openLength = std::strlen(open);
  if (std::strncmp(s, open, openLength) != 0) return nullptr;
  char* end = std::strstr(s + openLength, close);
  return end ? end + std::strlen(close) : s + std::strlen(s);
}

}  // namespace

void SvgParser::Parse(char* text) {
  char* s = text;
  char* mark = s;
  bool inTag = false;
  char quote = '\0';  // the quote of the attribute value being read
  while (*s) {
    if (!inTag) {
      if (*s == '<') {
        char* skipped = SkipSection(s, "<!--", "-->");
        if (!skipped) skipped = SkipSection(s, "<![CDATA[", "]]>");
        if (skipped) {
          s = skipped;
          continue;
        }
        *s = '\0';
        mark = s + 1;
        inTag = true;
        quote = '\0';
      }
    } else if (quote) {
      if (*s == quote) quote = '\0';
    } else if ((*s == '"' || *s == '\'') && *mark != '!' && *mark != '?') {
      quote = *s;
    } else if (*s == '>') {
      *s = '\0';
      ParseElement(mark);
      mark = s + 1;
      inTag = false;
    }
    ++s;
  }
}

void SvgParser::ParseElement(char* s) {
  const char* attribs[kMaxTagAttribs * 2 + 2];
  int nattr = 0;
  bool start = false;
  bool end = false;

  while (IsSpace(*s)) s++;
  if (*s == '/') {
    s++;
    end = true;
  } else {
    start = true;
  }
  if (*s == '\0' || *s == '!' || *s == '?') return;

  // A '/' does not end a name: "g/" names no known element.
  const char* name = s;
  while (*s && !IsSpace(*s)) s++;
  if (*s) *s++ = '\0';

  while (start && !end && *s && nattr < kMaxTagAttribs) {
    while (IsSpace(*s)) s++;
    if (*s == '\0') break;
    if (*s == '/') {
      end = true;
      break;
    }
    const char* attrName = s;
    while (*s && !IsSpace(*s) && *s != '=') s++;
    if (*s) *s++ = '\0';
    while (*s && *s != '"' && *s != '\'') s++;
    if (*s == '\0') break;
    const char quote = *s++;
    const char* value = s;
    while (*s && *s != quote) s++;
    if (*s) *s++ = '\0';
    attribs[nattr * 2] = attrName;
    attribs[nattr * 2 + 1] = value;
    nattr++;
  }
  attribs[nattr * 2] = nullptr;
  attribs[nattr * 2 + 1] = nullptr;

  if (start) StartElement(name, attribs);
  if (end) EndElement(name);
}

void SvgParser::StartElement(const char* el, SvgAttrList attribs) {
  if (defsFlag) {
    // Inside definitions only gradients are read; shapes there are templates
    // for elements this parser does not support.
    if (std::strcmp(el, "linearGradient") == 0) {
      ParseGradient(attribs, kSvgPaintLinearGradient);
    } else if (std::strcmp(el, "radialGradient") == 0) {
      ParseGradient(attribs, kSvgPaintRadialGradient);
    } else if (std::strcmp(el, "stop") == 0) {
      ParseGradientStop(attribs);
    }
    return;
  }

  if (std::strcmp(el, "g") == 0) {
    PushAttr();
    ParseAttribs(attribs);
  } else if (std::strcmp(el, "path") == 0) {
    PushAttr();
    ParsePath(attribs);
    PopAttr();
  } else if (std::strcmp(el, "rect") == 0) {
    PushAttr();
    ParseRect(attribs);
    PopAttr();
  } else if (std::strcmp(el, "circle") == 0) {
    PushAttr();
    ParseCircle(attribs);
    PopAttr();
  } else if (std::strcmp(el, "ellipse") == 0) {
    PushAttr();
    ParseEllipse(attribs);
    PopAttr();
  } else if (std::strcmp(el, "line") == 0) {
    PushAttr();
    ParseLine(attribs);
    PopAttr();
  } else if (std::strcmp(el, "polyline") == 0) {
    PushAttr();
    ParsePoly(attribs, false);
    PopAttr();
  } else if (std::strcmp(el, "polygon") == 0) {
    PushAttr();
    ParsePoly(attribs, true);
    PopAttr();
  } else if (std::strcmp(el, "linearGradient") == 0) {
    ParseGradient(attribs, kSvgPaintLinearGradient);
  } else if (std::strcmp(el, "radialGradient") == 0) {
    ParseGradient(attribs, kSvgPaintRadialGradient);
  } else if (std::strcmp(el, "stop") == 0) {
    ParseGradientStop(attribs);
  } else if (std::strcmp(el, "defs") == 0) {
    defsFlag = true;
  } else if (std::strcmp(el, "svg") == 0) {
    ParseSvgElement(attribs);
  }
}

void SvgParser::EndElement(const char* el) {
  if (std::strcmp(el, "g") == 0) {
    // A group inside definitions pushed nothing.
    if (!defsFlag) PopAttr();
  } else if (std::strcmp(el, "defs") == 0) {
    defsFlag = false;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Root element
// ---------------------------------------------------------------------------

void SvgParser::ParseSvgElement(SvgAttrList attribs) {
  for (int i = 0; attribs[i]; i += 2) {
    const char* name = attribs[i];
    const char* value = attribs[i + 1];
    if (ParseAttr(name, value)) continue;
    if (std::strcmp(name, "width") == 0) {
      image->width = ParseCoordinate(value, 0.0f, 0.0f);
    } else if (std::strcmp(name, "height") == 0) {
      image->height = ParseCoordinate(value, 0.0f, 0.0f);
    } else if (std::strcmp(name, "viewBox") == 0) {
      float* const fields[4] = {&viewMinx, &viewMiny, &viewWidth, &viewHeight};
      char buf[kNumberSize];
      const char* s = value;
      for (int k = 0; k < 4; ++k) {
        *fields[k] = static_cast<float>(ParseFloat(s));
        s = ParseNumber(s, buf);
        if (k == 3) break;
        while (*s && (IsSpace(*s) || *s == '%' || *s == ',')) s++;
        // A short view box also ends the reading of the root's attributes.
        if (*s == '\0') return;
      }
    } else if (std::strcmp(name, "preserveAspectRatio") == 0) {
      if (std::strstr(value, "none")) {
        alignType = kSvgAspectNone;
      } else {
        if (std::strstr(value, "xMin"))
          alignX = kSvgAlignMin;
        else if (std::strstr(value, "xMid"))
          alignX = kSvgAlignMid;
        else if (std::strstr(value, "xMax"))
          alignX = kSvgAlignMax;
        if (std::strstr(value, "YMin"))
          alignY = kSvgAlignMin;
        else if (std::strstr(value, "YMid"))
          alignY = kSvgAlignMid;
        else if (std::strstr(value, "YMax"))
          alignY = kSvgAlignMax;
        alignType = std::strstr(value, "slice") ? kSvgAspectSlice : kSvgAspectMeet;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Attribute stack
// ---------------------------------------------------------------------------

void SvgParser::PushAttr() {
  if (attrHead < kStackSize - 1) {
    attr[attrHead + 1] = attr[attrHead];
    attrHead++;
  } else {
    attrOverflow++;
  }
}

void SvgParser::PopAttr() {
  if (attrOverflow > 0)
    attrOverflow--;
  else if (attrHead > 0)
    attrHead--;
}

// ---------------------------------------------------------------------------
// [SECTION] Paths and shapes
// ---------------------------------------------------------------------------

void SvgParser::AddPath(bool closed) {
  SvgAttrib& a = Attr();
  if (npts == 0) return;
  // Stray points (a move without a line) only matter when the element is
  // named: a named marker point is kept.
  if (npts <= 3 && a.id[0] == '\0') return;
  if (closed) LineTo(pts[0], pts[1]);

  SvgPath* path = static_cast<SvgPath*>(std::calloc(1, sizeof(SvgPath)));
  if (!path) return;
  path->pts = static_cast<float*>(std::malloc(sizeof(float) * 2 * npts));
  path->pointData = static_cast<uint8_t*>(std::calloc(npts, 4));
  if (!path->pts || !path->pointData) {
    DeletePaths(path);
    return;
  }
  std::memcpy(path->id, a.id, kSvgIdSize);
  path->closed = closed ? 1 : 0;
  path->npts = npts;
  for (int i = 0; i < npts; ++i)
    XformPoint(&path->pts[i * 2], &path->pts[i * 2 + 1], pts[i * 2], pts[i * 2 + 1], a.xform);

  for (int i = 0; i + 3 < npts; i += 3) {
    float bounds[4];
    CurveBounds(bounds, &path->pts[i * 2]);
    BoundsUnion(path->bounds, bounds, i == 0);
  }

  path->next = plist;
  plist = path;
}

namespace {

double EvalBezier(double t, double p0, double p1, double p2, double p3) {
  const double it = 1.0 - t;
  return it * it * it * p0 + 3.0 * it * it * t * p1 + 3.0 * it * t * t * p2 + t * t * t * p3;
}

bool PointInBounds(const float* pt, const float* bounds) {
  return pt[0] >= bounds[0] && pt[0] <= bounds[2] && pt[1] >= bounds[1] && pt[1] <= bounds[3];
}

}  // namespace

void SvgParser::CurveBounds(float bounds[4], const float curve[8]) {
  const float* v0 = &curve[0];
  const float* v1 = &curve[2];
  const float* v2 = &curve[4];
  const float* v3 = &curve[6];

  bounds[0] = std::fmin(v0[0], v3[0]);
  bounds[1] = std::fmin(v0[1], v3[1]);
  bounds[2] = std::fmax(v0[0], v3[0]);
  bounds[3] = std::fmax(v0[1], v3[1]);
  if (PointInBounds(v1, bounds) && PointInBounds(v2, bounds)) return;

  // Extrema of each coordinate where the derivative's quadratic is zero.
  for (int i = 0; i < 2; ++i) {
    const double a = -3.0 * v0[i] + 9.0 * v1[i] - 9.0 * v2[i] + 3.0 * v3[i];
    const double b = 6.0 * v0[i] - 12.0 * v1[i] + 6.0 * v2[i];
    const double c = 3.0 * v1[i] - 3.0 * v0[i];
    double roots[2];
    int count = 0;
    if (std::fabs(a) < 1e-12) {
      if (std::fabs(b) > 1e-12) roots[count++] = -c / b;
    } else {
      const double b2ac = b * b - 4.0 * c * a;
      if (b2ac > 1e-12) {
        roots[count++] = (-b + std::sqrt(b2ac)) / (2.0 * a);
        roots[count++] = (-b - std::sqrt(b2ac)) / (2.0 * a);
      }
    }
    for (int j = 0; j < count; ++j) {
      if (roots[j] > 1e-12 && roots[j] < 1.0 - 1e-12) {
        const float v = static_cast<float>(EvalBezier(roots[j], v0[i], v1[i], v2[i], v3[i]));
        bounds[0 + i] = std::fmin(bounds[0 + i], v);
        bounds[2 + i] = std::fmax(bounds[2 + i], v);
      }
    }
  }
}

void SvgParser::AddShape() {
  if (!plist) return;
  SvgAttrib& a = Attr();
  SvgShape* shape = static_cast<SvgShape*>(std::calloc(1, sizeof(SvgShape)));
  if (!shape) {
    DeletePaths(plist);
    plist = nullptr;
    return;
  }

  std::memcpy(shape->id, a.id, sizeof shape->id);
  std::memcpy(shape->className, a.className, sizeof shape->className);
  const float scale = (std::sqrt(a.xform[0] * a.xform[0] + a.xform[2] * a.xform[2]) +
                       std::sqrt(a.xform[1] * a.xform[1] + a.xform[3] * a.xform[3])) /
                      2.0f;
  shape->strokeWidth = a.strokeWidth * scale;
  shape->strokeDashOffset = a.strokeDashOffset * scale;
  shape->strokeDashCount = static_cast<int8_t>(a.strokeDashCount);
  for (int i = 0; i < a.strokeDashCount; ++i) shape->strokeDashArray[i] = a.strokeDashArray[i] * scale;
  shape->strokeLineJoin = a.strokeLineJoin;
  shape->strokeLineCap = a.strokeLineCap;
  shape->miterLimit = a.miterLimit;
  shape->fillRule = a.fillRule;
  shape->opacity = a.opacity;

  shape->paths = plist;
  plist = nullptr;
  // A lone point (the one a named element keeps after "z") has no extent;
  // its zero box would stretch the shape's bounds to the origin.
  bool firstBounds = true;
  for (SvgPath* path = shape->paths; path; path = path->next) {
    if (path->npts < 4) continue;
    BoundsUnion(shape->bounds, path->bounds, firstBounds);
    firstBounds = false;
  }

  struct PaintSource {
    SvgPaint& paint;
    uint8_t kind;
    uint32_t color;
    float opacity;
    const char* gradient;
  };
  const PaintSource sources[2] = {
      {shape->fill, a.fillKind, a.fillColor, a.fillOpacity, a.fillGradient},
      {shape->stroke, a.strokeKind, a.strokeColor, a.strokeOpacity, a.strokeGradient},
  };
  for (const PaintSource& src : sources) {
    if (src.kind == kSvgKindColor) {
      src.paint.type = kSvgPaintColor;
      src.paint.color = src.color | (static_cast<uint32_t>(src.opacity * 255.0f) << 24);
    } else if (src.kind == kSvgKindGradient) {
      // Object-unit gradients are laid over the shape's box in the user
      // space of the element, before its transform.
      float inv[6], localBounds[4];
      XformInverse(inv, a.xform);
      GetLocalBounds(localBounds, shape, inv);
      src.paint.gradient = CreateGradient(src.gradient, localBounds, &src.paint.type);
      if (!src.paint.gradient) src.paint.type = kSvgPaintNone;
    } else {
      src.paint.type = kSvgPaintNone;
    }
  }

  shape->flags = a.visible ? kSvgFlagsVisible : 0;

  if (lastShape)
    lastShape->next = shape;
  else
    image->shapes = shape;
  lastShape = shape;
}

// ---------------------------------------------------------------------------
// [SECTION] View-box fit
// ---------------------------------------------------------------------------

namespace {

float AlignOffset(float content, float container, uint8_t align) {
  if (align == kSvgAlignMid) return (container - content) * 0.5f;
  if (align == kSvgAlignMax) return container - content;
  return 0.0f;
}

void ScaleGradient(SvgPaint& paint, float tx, float ty, float sx, float sy) {
  if (paint.type != kSvgPaintLinearGradient && paint.type != kSvgPaintRadialGradient) return;
  float t[6];
  std::memcpy(t, paint.gradient->xform, sizeof t);
  const float translate[6] = {1, 0, 0, 1, tx, ty};
  const float scale[6] = {sx, 0, 0, sy, 0, 0};
  SvgParser::XformMultiply(t, translate);
  SvgParser::XformMultiply(t, scale);
  SvgParser::XformInverse(paint.gradient->xform, t);
}

}  // namespace

void SvgParser::ScaleToViewbox() {
  float bounds[4] = {0, 0, 0, 0};
  for (SvgShape* shape = image->shapes; shape; shape = shape->next)
    BoundsUnion(bounds, shape->bounds, shape == image->shapes);

  if (viewWidth == 0) {
    if (image->width > 0) {
      viewWidth = image->width;
    } else {
      viewMinx = bounds[0];
      viewWidth = bounds[2] - bounds[0];
    }
  }
  if (viewHeight == 0) {
    if (image->height > 0) {
      viewHeight = image->height;
    } else {
      viewMiny = bounds[1];
      viewHeight = bounds[3] - bounds[1];
    }
  }
  if (image->width == 0) image->width = viewWidth;
  if (image->height == 0) image->height = viewHeight;

  float tx = -viewMinx;
  float ty = -viewMiny;
  float sx = viewWidth > 0 ? image->width / viewWidth : 0.0f;
  float sy = viewHeight > 0 ? image->height / viewHeight : 0.0f;

  // A negative or unbounded scale (a negative view box or size, a size past
  // the float range) has no sensible picture, and neither has a zero scale
  // that meet or slice would divide by: every coordinate would come out NaN.
  // Such a document shows nothing. Without a fit mode a zero scale is sound:
  // it belongs to an axis along which the drawing has no extent (a lone
  // straight line without a size), which it keeps on the image's edge.
  const bool fitDividesByScale = alignType != kSvgAspectNone && (sx == 0.0f || sy == 0.0f);
  const bool negative = sx < 0.0f || sy < 0.0f || viewWidth < 0.0f || viewHeight < 0.0f;
  if (negative || !std::isfinite(sx) || !std::isfinite(sy) || fitDividesByScale) {
    DeleteShapes(image->shapes);
    image->shapes = nullptr;
    lastShape = nullptr;
    return;
  }

  if (alignType == kSvgAspectMeet) {
    sx = sy = std::fmin(sx, sy);
    tx += AlignOffset(viewWidth * sx, image->width, alignX) / sx;
    ty += AlignOffset(viewHeight * sy, image->height, alignY) / sy;
  } else if (alignType == kSvgAspectSlice) {
    sx = sy = std::fmax(sx, sy);
    tx += AlignOffset(viewWidth * sx, image->width, alignX) / sx;
    ty += AlignOffset(viewHeight * sy, image->height, alignY) / sy;
  }

  const float avgScale = (sx + sy) / 2.0f;
  for (SvgShape* shape = image->shapes; shape; shape = shape->next) {
    shape->bounds[0] = (shape->bounds[0] + tx) * sx;
    shape->bounds[1] = (shape->bounds[1] + ty) * sy;
    shape->bounds[2] = (shape->bounds[2] + tx) * sx;
    shape->bounds[3] = (shape->bounds[3] + ty) * sy;
    for (SvgPath* path = shape->paths; path; path = path->next) {
      path->bounds[0] = (path->bounds[0] + tx) * sx;
      path->bounds[1] = (path->bounds[1] + ty) * sy;
      path->bounds[2] = (path->bounds[2] + tx) * sx;
      path->bounds[3] = (path->bounds[3] + ty) * sy;
      for (int i = 0; i < path->npts; ++i) {
        path->pts[i * 2] = (path->pts[i * 2] + tx) * sx;
        path->pts[i * 2 + 1] = (path->pts[i * 2 + 1] + ty) * sy;
      }
    }
    ScaleGradient(shape->fill, tx, ty, sx, sy);
    ScaleGradient(shape->stroke, tx, ty, sx, sy);
    shape->strokeWidth *= avgScale;
    shape->strokeDashOffset *= avgScale;
    for (int i = 0; i < shape->strokeDashCount; ++i) shape->strokeDashArray[i] *= avgScale;
  }
}
