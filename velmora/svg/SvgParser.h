// The parse state of one SVG document and the plain functions around it.
//
// `ParseSvg` (SvgImage.h) creates an `SvgParser`, walks the text once in
// place and hands back the image. The work is split over three files:
//   SvgParser.cpp      tokenizer, element dispatch, attribute stack, paths
//                      and shapes, the view-box fit, entry points;
//   SvgAttributes.cpp  presentation attributes, styles, numbers, units,
//                      colours, dash lists, transforms, gradients;
//   SvgPathData.cpp    path data, arcs and the basic shapes.
// Nothing here reports errors: unreadable text gives 0, a default or no
// change, and allocation failures drop the piece being built.
#pragma once
#include <cstdint>

#include "svg/SvgImage.h"

constexpr float kSvgPi = 3.1415927f;

// Small text and box helpers shared by the parser's files.
namespace svgtext {
inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Copies at most `maxChars` characters and always ends the copy.
void CopyString(char* dst, const char* src, int maxChars);
// Widens `dst` by `src`; the first box of a union replaces `dst`.
void BoundsUnion(float* dst, const float* src, bool first);
}  // namespace svgtext

enum SvgUnits : uint8_t {
  kSvgUnitsUser = 0,
  kSvgUnitsPx,
  kSvgUnitsPt,
  kSvgUnitsPc,
  kSvgUnitsMm,
  kSvgUnitsCm,
  kSvgUnitsIn,
  kSvgUnitsPercent,
  kSvgUnitsEm,
  kSvgUnitsEx,
};

enum SvgAlign : uint8_t { kSvgAlignMin = 0, kSvgAlignMid = 1, kSvgAlignMax = 2 };
enum SvgAspect : uint8_t { kSvgAspectNone = 0, kSvgAspectMeet = 1, kSvgAspectSlice = 2 };
enum SvgPaintKind : uint8_t { kSvgKindNone = 0, kSvgKindColor = 1, kSvgKindGradient = 2 };

struct SvgCoordinate {
  float value;
  uint8_t units;  // SvgUnits
};

// A gradient definition as read from the document; owned by the parse state.
struct SvgGradientData {
  char id[kSvgIdSize];
  char ref[kSvgIdSize];  // id named by xlink:href
  uint8_t type;          // kSvgPaintLinearGradient or kSvgPaintRadialGradient
  // One shared set: linear x1 y1 x2 y2, radial cx cy r fx; slot 4 is fy.
  SvgCoordinate coords[5];
  uint8_t spread;
  uint8_t objectUnits;  // 1 objectBoundingBox, 0 userSpaceOnUse
  float xform[6];
  int nstops;
  SvgGradientStop* stops;  // sorted by offset
  SvgGradientData* next;
};

// One level of the attribute stack: a full copy of the presentation state.
struct SvgAttrib {
  char id[kSvgIdSize];
  char className[kSvgClassSize];
  float xform[6];  // x' = a*x + c*y + e, y' = b*x + d*y + f
  uint32_t fillColor;
  uint32_t strokeColor;
  float opacity;
  float fillOpacity;
  float strokeOpacity;
  char fillGradient[kSvgIdSize];
  char strokeGradient[kSvgIdSize];
  float strokeWidth;
  float strokeDashOffset;
  float strokeDashArray[kSvgMaxDashes];
  int strokeDashCount;
  uint8_t strokeLineJoin;
  uint8_t strokeLineCap;
  float miterLimit;
  uint8_t fillRule;
  float fontSize;
  uint32_t stopColor;
  float stopOpacity;
  float stopOffset;
  uint8_t fillKind;    // SvgPaintKind
  uint8_t strokeKind;  // SvgPaintKind
  uint8_t visible;
};

// Attributes of one tag: alternating name and value pointers into the text,
// ended by a null name.
using SvgAttrList = const char* const*;

struct SvgParser {
  static constexpr int kStackSize = 128;
  static constexpr int kMaxTagAttribs = 127;
  static constexpr int kNumberSize = 64;  // token buffer: 63 characters kept

  SvgAttrib attr[kStackSize];
  int attrHead;
  // Pushes refused because the stack was full; their pops must not lower
  // the level of the enclosing element.
  int attrOverflow;
  float* pts;  // point buffer of the subpath being built, x, y pairs
  int npts;
  int cpts;
  SvgPath* plist;  // pending paths of the element being built
  SvgImage* image;
  SvgShape* lastShape;
  SvgGradientData* gradients;
  float viewMinx, viewMiny, viewWidth, viewHeight;
  uint8_t alignX, alignY, alignType;
  float dpi;
  bool defsFlag;

  // ---- Document (SvgParser.cpp) ----
  void Parse(char* text);
  void ParseElement(char* s);
  void StartElement(const char* el, SvgAttrList attribs);
  void EndElement(const char* el);
  void ParseSvgElement(SvgAttrList attribs);
  SvgAttrib& Attr() { return attr[attrHead]; }
  void PushAttr();
  void PopAttr();
  void AddPath(bool closed);
  void AddShape();
  static void CurveBounds(float bounds[4], const float curve[8]);
  void ScaleToViewbox();

  // ---- Attributes, units, colours, transforms, gradients (SvgAttributes.cpp) ----
  int ParseAttr(const char* name, const char* value);
  void ParseAttribs(SvgAttrList attribs);
  void ParseStyle(const char* str);
  // The token at `s` into `it` (63 characters kept); returns its end.
  static const char* ParseNumber(const char* s, char* it);
  // The value of the number at `s`, read up to the end of its token.
  static double ParseFloat(const char* s);
  static uint8_t ParseUnits(const char* units);
  static SvgCoordinate ParseCoordinateRaw(const char* str);
  float ConvertToPixels(SvgCoordinate c, float orig, float length) const;
  float ParseCoordinate(const char* str, float orig, float length) const;
  float ViewDiagonal() const;
  static uint32_t ParseColor(const char* str);
  static void ParseUrl(char* id, const char* str);
  int ParseStrokeDashArray(const char* str, float* dashes) const;
  static void ParseTransform(float* xform, const char* str);
  static void XformIdentity(float* t);
  static void XformMultiply(float* t, const float* s);
  static void XformPremultiply(float* t, const float* s);
  static void XformInverse(float* inv, const float* t);
  void ParseGradient(SvgAttrList attribs, uint8_t type);
  void ParseGradientStop(SvgAttrList attribs);
  SvgGradient* CreateGradient(const char* id, const float* localBounds, uint8_t* paintType);
  static void GetLocalBounds(float* bounds, const SvgShape* shape, const float* inv);

  // ---- Path data and basic shapes (SvgPathData.cpp) ----
  void ResetPath() { npts = 0; }
  void AddPoint(float x, float y);
  void MoveTo(float x, float y);
  void LineTo(float x, float y);
  void CubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y);
  void ParsePath(SvgAttrList attribs);
  void ParsePathData(const char* d);
  void PathArcTo(float* cpx, float* cpy, const float* args, bool rel);
  void ParseRect(SvgAttrList attribs);
  void ParseCircle(SvgAttrList attribs);
  void ParseEllipse(SvgAttrList attribs);
  void ParseLine(SvgAttrList attribs);
  void ParsePoly(SvgAttrList attribs, bool closed);
  // One item of path data: a number token (its value in `value`) or a single
  // character (value 0); an empty item at the end of the text. With `flag`
  // a leading 0 or 1 is a whole item (an arc flag).
  static const char* NextPathItem(const char* s, char* it, double* value, bool flag = false);
  static int ArgsPerCommand(char cmd);
  static float VecAngle(float ux, float uy, float vx, float vy);
};
