// The result of parsing an SVG document: shapes in document order, each with
// its paint, stroke settings, bounds and subpaths made of cubic Bezier
// segments, everything in pixels of the image.
//
// Plain records with no GL and no file access. `ParseSvg` allocates them and
// `DeleteSvgImage` releases them: the caller owns an image, a shape owns its
// paths and its gradient paints. Readers are the shape set, the edge sets and
// the SVG layers effect; they walk `shapes` and `paths` as linked lists.
#pragma once
#include <cstdint>

struct EngGroup;  // grouping of the shape set; the parser leaves it null

// Colours are 0xAABBGGRR: red in the low byte, alpha in the high byte.
enum SvgPaintType : uint8_t {
  kSvgPaintNone = 0,
  kSvgPaintColor = 1,
  kSvgPaintLinearGradient = 2,
  kSvgPaintRadialGradient = 3,
};

enum SvgSpread : uint8_t { kSvgSpreadPad = 0, kSvgSpreadReflect = 1, kSvgSpreadRepeat = 2 };
enum SvgLineJoin : uint8_t { kSvgJoinMiter = 0, kSvgJoinRound = 1, kSvgJoinBevel = 2 };
enum SvgLineCap : uint8_t { kSvgCapButt = 0, kSvgCapRound = 1, kSvgCapSquare = 2 };
enum SvgFillRule : uint8_t { kSvgFillNonZero = 0, kSvgFillEvenOdd = 1 };
enum SvgShapeFlags : uint8_t { kSvgFlagsVisible = 1 };

constexpr int kSvgIdSize = 64;     // 63 characters and the NUL
constexpr int kSvgClassSize = 20;  // 19 characters and the NUL
constexpr int kSvgMaxDashes = 8;

struct SvgGradientStop {
  uint32_t color;  // 0xAABBGGRR, alpha from the stop opacity
  float offset;
};

// A gradient paint. After the view-box fit, `xform` maps result pixels into
// gradient space: the second coordinate runs 0..1 along a linear gradient's
// line, and a radial gradient's circle becomes the unit circle. The stops
// lie inline behind the record (`nstops` of them).
struct SvgGradient {
  float xform[6];
  uint8_t spread;
  float fx, fy;  // focal point in units of the radius
  int nstops;
  SvgGradientStop stops[1];
};

struct SvgPaint {
  uint8_t type;  // SvgPaintType
  union {
    uint32_t color;
    SvgGradient* gradient;  // owned, for the two gradient types
  };
};

// One subpath: the start point, then three points per cubic segment (first
// control point, second control point, end point).
struct SvgPath {
  char id[kSvgIdSize];  // id current for the element that made it
  float* pts;           // x, y pairs
  int npts;
  uint8_t* pointData;   // 4 bytes per point, owned; left zero by the parser
  uint8_t closed;
  float bounds[4];      // min x, min y, max x, max y, curve extrema included
  SvgPath* next;
};

struct SvgShape {
  char id[kSvgIdSize];
  char className[kSvgClassSize];
  SvgPaint fill;
  SvgPaint stroke;
  float opacity;  // 0..1, not folded into the paint colours
  float strokeWidth;
  float strokeDashOffset;
  float strokeDashArray[kSvgMaxDashes];
  int8_t strokeDashCount;
  uint8_t strokeLineJoin;
  uint8_t strokeLineCap;
  float miterLimit;
  uint8_t fillRule;
  uint8_t flags;  // SvgShapeFlags
  float bounds[4];
  // Subpaths from the element's last to its first.
  SvgPath* paths;
  SvgShape* next;
  EngGroup* group;  // set by the shape set
  uint8_t taken;    // set by the shape set
};

struct SvgImage {
  float width;
  float height;
  SvgShape* shapes;
};

// Parses a whole document held in `text`, a writable NUL-terminated buffer
// that the parser cuts up in place (the caller must not expect it unchanged).
// `dpi` converts absolute units (pt, pc, mm, cm, in). Returns null only when
// memory runs out; a document without supported elements gives an image
// without shapes.
SvgImage* ParseSvg(char* text, float dpi);
// Reads the file through the data pack and parses it; null when the pack
// has no such file or it is empty.
SvgImage* ParseSvgFile(const char* path, float dpi);
// Releases an image with its shapes, paths and gradient paints; null is fine.
void DeleteSvgImage(SvgImage* image);
