// The attribute side of the SVG parser: presentation attributes and "style"
// declarations into the current level of the attribute stack, and the
// readers the rest of the parser shares (numbers, coordinates with units,
// colours, dash lists, transform lists). Gradient definitions are read here
// too, and a shape's gradient reference is turned into its paint.
//
// Index:
//   [SECTION] Numbers, units and coordinates
//   [SECTION] Colours, references and dash lists
//   [SECTION] Transforms
//   [SECTION] Presentation attributes and styles
//   [SECTION] Gradients
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "svg/SvgParser.h"

namespace {

using svgtext::CopyString;
using svgtext::IsDigit;
using svgtext::IsSpace;

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float ParseNumberValue(const char* str) { return static_cast<float>(SvgParser::ParseFloat(str)); }

// Up to 18 significant digits fit a 64-bit accumulator; the digits after
// them only scale an integer part and cannot change a fraction's double.
constexpr int kMaxSignificantDigits = 18;

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Numbers, units and coordinates
// ---------------------------------------------------------------------------

const char* SvgParser::ParseNumber(const char* s, char* it) {
  const int last = kNumberSize - 1;
  int i = 0;
  auto keep = [&](char c) {
    if (i < last) it[i++] = c;
  };
  if (*s == '-' || *s == '+') keep(*s++);
  while (IsDigit(*s)) keep(*s++);
  if (*s == '.') {
    keep(*s++);
    while (IsDigit(*s)) keep(*s++);
  }
  // "em" and "ex" are units, not exponents.
  if ((*s == 'e' || *s == 'E') && s[1] != 'm' && s[1] != 'x') {
    keep(*s++);
    if (*s == '-' || *s == '+') keep(*s++);
    while (IsDigit(*s)) keep(*s++);
  }
  it[i] = '\0';
  return s;
}

// Values are read from the text itself rather than from the token buffer of
// ParseNumber, which keeps only 63 characters: a long run of digits (or of
// leading zeros) would lose its magnitude there. On any number token both
// readings stop at the same place.
double SvgParser::ParseFloat(const char* s) {
  double sign = 1.0;
  if (*s == '-') {
    sign = -1.0;
    s++;
  } else if (*s == '+') {
    s++;
  }

  uint64_t intPart = 0;
  int intSignificant = 0;
  long intDropped = 0;  // integer digits past the accumulator, each a factor 10
  bool hasDigits = false;
  for (; IsDigit(*s); ++s) {
    hasDigits = true;
    if (intSignificant < kMaxSignificantDigits) {
      intPart = intPart * 10 + static_cast<uint64_t>(*s - '0');
      if (intPart != 0) intSignificant++;
    } else {
      intDropped++;
    }
  }

  uint64_t fracPart = 0;
  long fracDigits = 0;
  if (*s == '.') {
    s++;
    int fracSignificant = 0;
    for (; IsDigit(*s); ++s) {
      hasDigits = true;
      if (fracSignificant < kMaxSignificantDigits) {
        fracPart = fracPart * 10 + static_cast<uint64_t>(*s - '0');
        fracDigits++;
        if (fracPart != 0) fracSignificant++;
      }
    }
  }
  if (!hasDigits || (intPart == 0 && fracPart == 0)) return 0.0 * sign;

  long expPart = 0;
  if (*s == 'e' || *s == 'E') {
    s++;
    int expSign = 1;
    if (*s == '-') {
      expSign = -1;
      s++;
    } else if (*s == '+') {
      s++;
    }
    for (; IsDigit(*s); ++s)
      if (expPart < 100000) expPart = expPart * 10 + (*s - '0');
    expPart *= expSign;
  }

  // Exponents are combined before scaling, so that 10^400 and 10^-400 never
  // meet as inf * 0.
  double res;
  if (intDropped > 0) {
    res = static_cast<double>(intPart) * std::pow(10.0, static_cast<double>(intDropped + expPart));
  } else if (intPart == 0) {
    res = static_cast<double>(fracPart) / std::pow(10.0, static_cast<double>(fracDigits - expPart));
  } else {
    res = static_cast<double>(intPart);
    if (fracDigits > 0) res += static_cast<double>(fracPart) / std::pow(10.0, static_cast<double>(fracDigits));
    if (expPart != 0) res *= std::pow(10.0, static_cast<double>(expPart));
  }
  return res * sign;
}

uint8_t SvgParser::ParseUnits(const char* units) {
  if (units[0] == '%') return kSvgUnitsPercent;
  if (units[0] == '\0' || units[1] == '\0') return kSvgUnitsUser;
  struct Suffix {
    char a, b;
    uint8_t units;
  };
  static const Suffix kSuffixes[] = {
      {'p', 'x', kSvgUnitsPx}, {'p', 't', kSvgUnitsPt}, {'p', 'c', kSvgUnitsPc}, {'m', 'm', kSvgUnitsMm},
      {'c', 'm', kSvgUnitsCm}, {'i', 'n', kSvgUnitsIn}, {'e', 'm', kSvgUnitsEm}, {'e', 'x', kSvgUnitsEx},
  };
  for (const Suffix& suffix : kSuffixes)
    if (units[0] == suffix.a && units[1] == suffix.b) return suffix.units;
  return kSvgUnitsUser;
}

SvgCoordinate SvgParser::ParseCoordinateRaw(const char* str) {
  char buf[kNumberSize];
  const char* units = ParseNumber(str, buf);
  SvgCoordinate c;
  c.value = static_cast<float>(ParseFloat(str));
  c.units = ParseUnits(units);
  return c;
}

float SvgParser::ConvertToPixels(SvgCoordinate c, float orig, float length) const {
  switch (c.units) {
    case kSvgUnitsPt: return c.value / 72.0f * dpi;
    case kSvgUnitsPc: return c.value / 6.0f * dpi;
    case kSvgUnitsMm: return c.value / 25.4f * dpi;
    case kSvgUnitsCm: return c.value / 2.54f * dpi;
    case kSvgUnitsIn: return c.value * dpi;
    case kSvgUnitsPercent: return orig + c.value / 100.0f * length;
    case kSvgUnitsEm: return c.value * attr[attrHead].fontSize;
    case kSvgUnitsEx: return c.value * attr[attrHead].fontSize * 0.52f;
    default: return c.value;
  }
}

float SvgParser::ParseCoordinate(const char* str, float orig, float length) const {
  return ConvertToPixels(ParseCoordinateRaw(str), orig, length);
}

float SvgParser::ViewDiagonal() const {
  return std::sqrt(viewWidth * viewWidth + viewHeight * viewHeight) / std::sqrt(2.0f);
}

// ---------------------------------------------------------------------------
// [SECTION] Colours, references and dash lists
// ---------------------------------------------------------------------------

namespace {

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

uint32_t ParseColorHex(const char* str) {
  const char* digits = str + 1;
  int count = 0;
  while (digits[count] && !IsSpace(digits[count])) count++;
  if (count != 6 && count != 3) return 0;
  uint32_t c = 0;
  for (int i = 0; i < count; ++i) {
    const char ch = digits[i];
    uint32_t v;
    if (IsDigit(ch))
      v = static_cast<uint32_t>(ch - '0');
    else if (ch >= 'a' && ch <= 'f')
      v = static_cast<uint32_t>(ch - 'a' + 10);
    else if (ch >= 'A' && ch <= 'F')
      v = static_cast<uint32_t>(ch - 'A' + 10);
    else
      break;
    c = c * 16 + v;
  }
  if (count == 6) return Rgb((c >> 16) & 0xff, (c >> 8) & 0xff, c & 0xff);
  return Rgb(((c >> 8) & 0xf) * 17, ((c >> 4) & 0xf) * 17, (c & 0xf) * 17);
}

// One decimal integer as a C reader takes it: white space, a sign, digits.
bool ReadInt(const char*& s, int& value) {
  const char* p = s;
  while (IsSpace(*p)) p++;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  if (!IsDigit(*p)) return false;
  long v = 0;
  for (; IsDigit(*p); ++p)
    if (v < 100000) v = v * 10 + (*p - '0');
  value = static_cast<int>(negative ? -v : v);
  s = p;
  return true;
}

// A run of '%', ',', space and tab; false when empty.
bool ReadSeparator(const char*& s, bool& percent) {
  const char* p = s;
  while (*p == '%' || *p == ',' || *p == ' ' || *p == '\t') {
    if (*p == '%') percent = true;
    p++;
  }
  const bool any = p != s;
  s = p;
  return any;
}

uint32_t ParseColorRgb(const char* str) {
  int v[3] = {-1, -1, -1};
  bool percent = false;
  const char* s = str + 4;
  for (int i = 0; i < 3; ++i) {
    if (!ReadInt(s, v[i])) break;
    bool sepPercent = false;
    if (i < 2 && !ReadSeparator(s, sepPercent)) break;
    if (i == 0) percent = sepPercent;
  }
  uint32_t c[3];
  for (int i = 0; i < 3; ++i) {
    long x = v[i];
    if (percent) x = x * 255 / 100;
    // Out-of-range and missing components are clamped, so that a broken
    // component cannot spill into its neighbours' bytes.
    c[i] = static_cast<uint32_t>(x < 0 ? 0 : (x > 255 ? 255 : x));
  }
  return Rgb(c[0], c[1], c[2]);
}

}  // namespace

uint32_t SvgParser::ParseColor(const char* str) {
  while (*str == ' ') ++str;
  if (*str == '#') return ParseColorHex(str);
  if (std::strncmp(str, "rgb(", 4) == 0) return ParseColorRgb(str);
  struct Named {
    const char* name;
    uint32_t color;
  };
  static const Named kColors[] = {
      {"red", Rgb(255, 0, 0)},      {"green", Rgb(0, 128, 0)},   {"blue", Rgb(0, 0, 255)},
      {"yellow", Rgb(255, 255, 0)}, {"cyan", Rgb(0, 255, 255)},  {"magenta", Rgb(255, 0, 255)},
      {"black", Rgb(0, 0, 0)},      {"grey", Rgb(128, 128, 128)}, {"gray", Rgb(128, 128, 128)},
      {"white", Rgb(255, 255, 255)},
  };
  for (const Named& named : kColors)
    if (std::strcmp(str, named.name) == 0) return named.color;
  return Rgb(128, 128, 128);
}

void SvgParser::ParseUrl(char* id, const char* str) {
  int i = 0;
  str += 4;  // "url("
  if (*str == '#') str++;
  while (i < kSvgIdSize - 1 && *str && *str != ')') id[i++] = *str++;
  id[i] = '\0';
}

int SvgParser::ParseStrokeDashArray(const char* str, float* dashes) const {
  if (*str == 'n') return 0;
  int count = 0;
  while (*str) {
    while (*str && (IsSpace(*str) || *str == ',')) str++;
    if (!*str) break;
    char item[kNumberSize];
    int n = 0;
    for (; *str && !IsSpace(*str) && *str != ','; ++str)
      if (n < kNumberSize - 1) item[n++] = *str;
    item[n] = '\0';
    if (count < kSvgMaxDashes) dashes[count++] = std::fabs(ParseCoordinate(item, 0.0f, ViewDiagonal()));
  }
  float sum = 0.0f;
  for (int i = 0; i < count; ++i) sum += dashes[i];
  return sum <= 1e-6f ? 0 : count;
}

// ---------------------------------------------------------------------------
// [SECTION] Transforms
// ---------------------------------------------------------------------------

void SvgParser::XformIdentity(float* t) {
  t[0] = 1.0f;
  t[1] = 0.0f;
  t[2] = 0.0f;
  t[3] = 1.0f;
  t[4] = 0.0f;
  t[5] = 0.0f;
}

void SvgParser::XformMultiply(float* t, const float* s) {
  const float t0 = t[0] * s[0] + t[1] * s[2];
  const float t2 = t[2] * s[0] + t[3] * s[2];
  const float t4 = t[4] * s[0] + t[5] * s[2] + s[4];
  t[1] = t[0] * s[1] + t[1] * s[3];
  t[3] = t[2] * s[1] + t[3] * s[3];
  t[5] = t[4] * s[1] + t[5] * s[3] + s[5];
  t[0] = t0;
  t[2] = t2;
  t[4] = t4;
}

void SvgParser::XformPremultiply(float* t, const float* s) {
  float s2[6];
  std::memcpy(s2, s, sizeof s2);
  XformMultiply(s2, t);
  std::memcpy(t, s2, sizeof s2);
}

void SvgParser::XformInverse(float* inv, const float* t) {
  const double det = static_cast<double>(t[0]) * t[3] - static_cast<double>(t[2]) * t[1];
  if (det > -1e-6 && det < 1e-6) {
    XformIdentity(inv);
    return;
  }
  const double invdet = 1.0 / det;
  inv[0] = static_cast<float>(t[3] * invdet);
  inv[2] = static_cast<float>(-t[2] * invdet);
  inv[4] = static_cast<float>((static_cast<double>(t[2]) * t[5] - static_cast<double>(t[3]) * t[4]) * invdet);
  inv[1] = static_cast<float>(-t[1] * invdet);
  inv[3] = static_cast<float>(t[0] * invdet);
  inv[5] = static_cast<float>((static_cast<double>(t[1]) * t[4] - static_cast<double>(t[0]) * t[5]) * invdet);
}

namespace {

enum TransformForm { kFormMatrix, kFormTranslate, kFormScale, kFormRotate, kFormSkewX, kFormSkewY, kFormCount };

// Reads the numbers between the first '(' and the next ')'. Returns where the
// scan goes on (the ')'), or the end of the text when either is missing: no
// later form could find its parentheses then.
const char* ParseTransformArgs(const char* str, float* args, int maxNa, int* na) {
  *na = 0;
  const char* open = std::strchr(str, '(');
  if (!open) return str + std::strlen(str);
  const char* close = std::strchr(open, ')');
  if (!close) return str + std::strlen(str);
  for (const char* p = open + 1; p < close;) {
    if (*p == '-' || *p == '+' || *p == '.' || IsDigit(*p)) {
      char it[SvgParser::kNumberSize];
      if (*na < maxNa) args[*na] = static_cast<float>(SvgParser::ParseFloat(p));
      p = SvgParser::ParseNumber(p, it);
      (*na)++;
    } else {
      ++p;
    }
  }
  return close;
}

// A form with a number count it does not take contributes nothing.
bool FormMatrix(int form, const float* args, int na, float* t) {
  SvgParser::XformIdentity(t);
  switch (form) {
    case kFormMatrix:
      if (na != 6) return false;
      std::memcpy(t, args, sizeof(float) * 6);
      return true;
    case kFormTranslate:
      if (na != 1 && na != 2) return false;
      t[4] = args[0];
      t[5] = na == 2 ? args[1] : 0.0f;
      return true;
    case kFormScale:
      if (na != 1 && na != 2) return false;
      t[0] = args[0];
      t[3] = na == 2 ? args[1] : args[0];
      return true;
    case kFormRotate: {
      if (na != 1 && na != 3) return false;
      const float a = args[0] / 180.0f * kSvgPi;
      const float cs = std::cos(a), sn = std::sin(a);
      const float rot[6] = {cs, sn, -sn, cs, 0.0f, 0.0f};
      if (na == 1) {
        std::memcpy(t, rot, sizeof rot);
        return true;
      }
      const float back[6] = {1.0f, 0.0f, 0.0f, 1.0f, args[1], args[2]};
      t[4] = -args[1];
      t[5] = -args[2];
      SvgParser::XformMultiply(t, rot);
      SvgParser::XformMultiply(t, back);
      return true;
    }
    case kFormSkewX:
      if (na != 1) return false;
      t[2] = std::tan(args[0] / 180.0f * kSvgPi);
      return true;
    case kFormSkewY:
      if (na != 1) return false;
      t[1] = std::tan(args[0] / 180.0f * kSvgPi);
      return true;
    default: return false;
  }
}

}  // namespace

void SvgParser::ParseTransform(float* xform, const char* str) {
  static const char* const kNames[kFormCount] = {"matrix", "translate", "scale", "rotate", "skewX", "skewY"};
  XformIdentity(xform);
  while (*str) {
    int form = -1;
    for (int k = 0; k < kFormCount && form < 0; ++k)
      if (std::strncmp(str, kNames[k], std::strlen(kNames[k])) == 0) form = k;
    if (form < 0) {
      ++str;
      continue;
    }
    float args[6];
    int na = 0;
    str = ParseTransformArgs(str, args, 6, &na);
    float t[6];
    // Each later form applies before the ones written to its left.
    if (FormMatrix(form, args, na, t)) XformPremultiply(xform, t);
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Presentation attributes and styles
// ---------------------------------------------------------------------------

namespace {

uint8_t Keyword(const char* value, const char* const* names, int count) {
  for (int i = 0; i < count; ++i)
    if (std::strcmp(value, names[i]) == 0) return static_cast<uint8_t>(i);
  return 0;
}

}  // namespace

int SvgParser::ParseAttr(const char* name, const char* value) {
  SvgAttrib& a = Attr();
  if (std::strcmp(name, "style") == 0) {
    ParseStyle(value);
  } else if (std::strcmp(name, "display") == 0) {
    // A hidden group cannot be shown again by its descendants.
    if (std::strcmp(value, "none") == 0) a.visible = 0;
  } else if (std::strcmp(name, "fill") == 0 || std::strcmp(name, "stroke") == 0) {
    const bool fill = name[0] == 'f';
    uint8_t& kind = fill ? a.fillKind : a.strokeKind;
    if (std::strcmp(value, "none") == 0) {
      kind = kSvgKindNone;
    } else if (std::strncmp(value, "url(", 4) == 0) {
      kind = kSvgKindGradient;
      ParseUrl(fill ? a.fillGradient : a.strokeGradient, value);
    } else {
      kind = kSvgKindColor;
      (fill ? a.fillColor : a.strokeColor) = ParseColor(value);
    }
  } else if (std::strcmp(name, "opacity") == 0) {
    a.opacity = Clamp01(ParseNumberValue(value));
  } else if (std::strcmp(name, "fill-opacity") == 0) {
    a.fillOpacity = Clamp01(ParseNumberValue(value));
  } else if (std::strcmp(name, "stroke-opacity") == 0) {
    a.strokeOpacity = Clamp01(ParseNumberValue(value));
  } else if (std::strcmp(name, "stroke-width") == 0) {
    a.strokeWidth = ParseCoordinate(value, 0.0f, ViewDiagonal());
  } else if (std::strcmp(name, "stroke-dasharray") == 0) {
    a.strokeDashCount = ParseStrokeDashArray(value, a.strokeDashArray);
  } else if (std::strcmp(name, "stroke-dashoffset") == 0) {
    a.strokeDashOffset = ParseCoordinate(value, 0.0f, ViewDiagonal());
  } else if (std::strcmp(name, "stroke-linecap") == 0) {
    static const char* const kCaps[] = {"butt", "round", "square"};
    a.strokeLineCap = Keyword(value, kCaps, 3);
  } else if (std::strcmp(name, "stroke-linejoin") == 0) {
    static const char* const kJoins[] = {"miter", "round", "bevel"};
    a.strokeLineJoin = Keyword(value, kJoins, 3);
  } else if (std::strcmp(name, "stroke-miterlimit") == 0) {
    a.miterLimit = std::fmax(0.0f, ParseNumberValue(value));
  } else if (std::strcmp(name, "fill-rule") == 0) {
    static const char* const kRules[] = {"nonzero", "evenodd"};
    a.fillRule = Keyword(value, kRules, 2);
  } else if (std::strcmp(name, "font-size") == 0) {
    a.fontSize = ParseCoordinate(value, 0.0f, ViewDiagonal());
  } else if (std::strcmp(name, "transform") == 0) {
    float t[6];
    ParseTransform(t, value);
    XformPremultiply(a.xform, t);
  } else if (std::strcmp(name, "stop-color") == 0) {
    a.stopColor = ParseColor(value);
  } else if (std::strcmp(name, "stop-opacity") == 0) {
    a.stopOpacity = Clamp01(ParseNumberValue(value));
  } else if (std::strcmp(name, "offset") == 0) {
    a.stopOffset = ParseCoordinate(value, 0.0f, 1.0f);
  } else if (std::strcmp(name, "class") == 0) {
    CopyString(a.className, value, kSvgClassSize - 1);
  } else if (std::strcmp(name, "id") == 0) {
    CopyString(a.id, value, kSvgIdSize - 1);
  } else {
    return 0;
  }
  return 1;
}

void SvgParser::ParseAttribs(SvgAttrList attribs) {
  for (int i = 0; attribs[i]; i += 2) {
    if (std::strcmp(attribs[i], "style") == 0)
      ParseStyle(attribs[i + 1]);
    else
      ParseAttr(attribs[i], attribs[i + 1]);
  }
}

namespace {

constexpr int kStyleFieldSize = 512;  // 511 characters and the NUL

void CopyRange(char* dst, const char* begin, const char* end) {
  size_t n = static_cast<size_t>(end - begin);
  if (n > kStyleFieldSize - 1) n = kStyleFieldSize - 1;
  std::memcpy(dst, begin, n);
  dst[n] = '\0';
}

}  // namespace

void SvgParser::ParseStyle(const char* str) {
  while (*str) {
    while (IsSpace(*str)) ++str;
    const char* start = str;
    while (*str && *str != ';') ++str;
    const char* end = str;
    while (end > start && IsSpace(end[-1])) --end;
    if (*str) ++str;

    // A declaration without ':' names nothing to set and is skipped.
    const char* colon = start;
    while (colon < end && *colon != ':') ++colon;
    if (colon == end) continue;
    const char* nameEnd = colon;
    while (nameEnd > start && IsSpace(nameEnd[-1])) --nameEnd;
    const char* value = colon;
    while (value < end && (*value == ':' || IsSpace(*value))) ++value;

    char name[kStyleFieldSize], val[kStyleFieldSize];
    CopyRange(name, start, nameEnd);
    CopyRange(val, value, end);
    ParseAttr(name, val);
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Gradients
// ---------------------------------------------------------------------------

void SvgParser::ParseGradient(SvgAttrList attribs, uint8_t type) {
  SvgGradientData* grad = static_cast<SvgGradientData*>(std::calloc(1, sizeof(SvgGradientData)));
  if (!grad) return;
  grad->objectUnits = 1;
  grad->type = type;
  if (type == kSvgPaintLinearGradient) {
    grad->coords[0] = {0.0f, kSvgUnitsPercent};
    grad->coords[1] = {0.0f, kSvgUnitsPercent};
    grad->coords[2] = {100.0f, kSvgUnitsPercent};
    grad->coords[3] = {0.0f, kSvgUnitsPercent};
  } else {
    grad->coords[0] = {50.0f, kSvgUnitsPercent};
    grad->coords[1] = {50.0f, kSvgUnitsPercent};
    grad->coords[2] = {50.0f, kSvgUnitsPercent};
  }
  XformIdentity(grad->xform);

  static const char* const kSlots[][2] = {{"cx", "x1"}, {"cy", "y1"}, {"r", "x2"}, {"fx", "y2"}, {"fy", nullptr}};
  for (int i = 0; attribs[i]; i += 2) {
    const char* name = attribs[i];
    const char* value = attribs[i + 1];
    if (std::strcmp(name, "id") == 0) {
      CopyString(grad->id, value, kSvgIdSize - 1);
      continue;
    }
    if (ParseAttr(name, value)) continue;
    if (std::strcmp(name, "gradientUnits") == 0) {
      grad->objectUnits = std::strcmp(value, "objectBoundingBox") == 0 ? 1 : 0;
    } else if (std::strcmp(name, "gradientTransform") == 0) {
      ParseTransform(grad->xform, value);
    } else if (std::strcmp(name, "spreadMethod") == 0) {
      if (std::strcmp(value, "pad") == 0)
        grad->spread = kSvgSpreadPad;
      else if (std::strcmp(value, "reflect") == 0)
        grad->spread = kSvgSpreadReflect;
      else if (std::strcmp(value, "repeat") == 0)
        grad->spread = kSvgSpreadRepeat;
    } else if (std::strcmp(name, "xlink:href") == 0) {
      // The value without its '#'; an empty value names nothing.
      CopyString(grad->ref, value[0] ? value + 1 : value, kSvgIdSize - 2);
    } else {
      for (int slot = 0; slot < 5; ++slot) {
        const bool match = std::strcmp(name, kSlots[slot][0]) == 0 ||
                           (kSlots[slot][1] && std::strcmp(name, kSlots[slot][1]) == 0);
        if (match) {
          grad->coords[slot] = ParseCoordinateRaw(value);
          break;
        }
      }
    }
  }

  grad->next = gradients;
  gradients = grad;
}

void SvgParser::ParseGradientStop(SvgAttrList attribs) {
  SvgAttrib& a = Attr();
  a.stopOffset = 0.0f;
  a.stopColor = 0;
  a.stopOpacity = 1.0f;
  for (int i = 0; attribs[i]; i += 2) ParseAttr(attribs[i], attribs[i + 1]);

  // The stop belongs to the gradient read most recently.
  SvgGradientData* grad = gradients;
  if (!grad) return;
  SvgGradientStop* stops =
      static_cast<SvgGradientStop*>(std::realloc(grad->stops, sizeof(SvgGradientStop) * (grad->nstops + 1)));
  if (!stops) return;
  grad->stops = stops;

  int idx = grad->nstops;
  for (int i = 0; i < grad->nstops; ++i) {
    if (a.stopOffset < stops[i].offset) {
      idx = i;
      break;
    }
  }
  if (idx != grad->nstops)
    std::memmove(&stops[idx + 1], &stops[idx], sizeof(SvgGradientStop) * (grad->nstops - idx));
  stops[idx].color = a.stopColor | (static_cast<uint32_t>(a.stopOpacity * 255.0f) << 24);
  stops[idx].offset = a.stopOffset;
  grad->nstops++;
}

namespace {

SvgGradientData* FindGradientData(SvgGradientData* list, const char* id) {
  if (id[0] == '\0') return nullptr;
  for (; list; list = list->next)
    if (std::strcmp(list->id, id) == 0) return list;
  return nullptr;
}

}  // namespace

SvgGradient* SvgParser::CreateGradient(const char* id, const float* localBounds, uint8_t* paintType) {
  SvgGradientData* data = FindGradientData(gradients, id);
  if (!data) return nullptr;

  // Stops may come from the chain of references; a chain longer than the
  // list of definitions has come back on itself without finding any.
  int definitions = 0;
  for (SvgGradientData* g = gradients; g; g = g->next) definitions++;
  SvgGradientData* ref = data;
  for (int step = 0; ref && ref->nstops == 0 && step < definitions; ++step) ref = FindGradientData(gradients, ref->ref);
  if (!ref || ref->nstops == 0) return nullptr;

  SvgGradient* grad =
      static_cast<SvgGradient*>(std::malloc(sizeof(SvgGradient) + sizeof(SvgGradientStop) * (ref->nstops - 1)));
  if (!grad) return nullptr;

  float ox, oy, sw, sh;
  if (data->objectUnits) {
    ox = localBounds[0];
    oy = localBounds[1];
    sw = localBounds[2] - localBounds[0];
    sh = localBounds[3] - localBounds[1];
  } else {
    ox = viewMinx;
    oy = viewMiny;
    sw = viewWidth;
    sh = viewHeight;
  }
  const float sl = std::sqrt(sw * sw + sh * sh) / std::sqrt(2.0f);

  // In bounding-box units a plain number is a fraction of the box, just as
  // a percentage is; read as pixels it would put the gradient at the
  // document's origin, one pixel long.
  const bool boxUnits = data->objectUnits != 0;
  auto frameCoord = [&](SvgCoordinate c, float orig, float length) {
    if (boxUnits && c.units == kSvgUnitsUser) return orig + c.value * length;
    return ConvertToPixels(c, orig, length);
  };

  if (data->type == kSvgPaintLinearGradient) {
    const float x1 = frameCoord(data->coords[0], ox, sw);
    const float y1 = frameCoord(data->coords[1], oy, sh);
    const float x2 = frameCoord(data->coords[2], ox, sw);
    const float y2 = frameCoord(data->coords[3], oy, sh);
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    grad->xform[0] = dy;
    grad->xform[1] = -dx;
    grad->xform[2] = dx;
    grad->xform[3] = dy;
    grad->xform[4] = x1;
    grad->xform[5] = y1;
    grad->fx = 0.0f;
    grad->fy = 0.0f;
  } else {
    const float cx = frameCoord(data->coords[0], ox, sw);
    const float cy = frameCoord(data->coords[1], oy, sh);
    const float r = frameCoord(data->coords[2], 0.0f, sl);
    // The focal point converts as written: its default, 0 in user units,
    // stays 0 whatever the box (a fraction of the box would move it there).
    const float fx = ConvertToPixels(data->coords[3], ox, sw);
    const float fy = ConvertToPixels(data->coords[4], oy, sh);
    grad->xform[0] = r;
    grad->xform[1] = 0.0f;
    grad->xform[2] = 0.0f;
    grad->xform[3] = r;
    grad->xform[4] = cx;
    grad->xform[5] = cy;
    // A zero radius has no unit circle to measure the focal point in.
    grad->fx = r != 0.0f ? fx / r : 0.0f;
    grad->fy = r != 0.0f ? fy / r : 0.0f;
  }

  XformMultiply(grad->xform, data->xform);
  XformMultiply(grad->xform, Attr().xform);

  grad->spread = data->spread;
  grad->nstops = ref->nstops;
  std::memcpy(grad->stops, ref->stops, sizeof(SvgGradientStop) * ref->nstops);
  *paintType = data->type;
  return grad;
}

void SvgParser::GetLocalBounds(float* bounds, const SvgShape* shape, const float* inv) {
  bool first = true;
  bounds[0] = bounds[1] = bounds[2] = bounds[3] = 0.0f;
  for (const SvgPath* path = shape->paths; path; path = path->next) {
    for (int i = 0; i + 3 < path->npts; i += 3) {
      float curve[8];
      for (int k = 0; k < 4; ++k) {
        const float x = path->pts[(i + k) * 2];
        const float y = path->pts[(i + k) * 2 + 1];
        curve[k * 2] = x * inv[0] + y * inv[2] + inv[4];
        curve[k * 2 + 1] = x * inv[1] + y * inv[3] + inv[5];
      }
      float b[4];
      CurveBounds(b, curve);
      svgtext::BoundsUnion(bounds, b, first);
      first = false;
    }
  }
}
