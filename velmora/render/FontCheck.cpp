// Font check: every field stb_truetype reads, checked before it reads it.
// See FontCheck.h.
//
// [SECTION] Reading bytes
// [SECTION] Table directory
// [SECTION] Character map
// [SECTION] Kerning tables
// [SECTION] CFF structure
// [SECTION] CFF charstrings
// [SECTION] TrueType glyphs
// [SECTION] Public calls
//
// Each check mirrors the walk stb_truetype makes over the same bytes (its
// binary searches, its buffer cursors, its subroutine calls), so that what
// passes here is exactly what it can read without leaving the table, hitting
// one of its assertions, recursing without end or converting an
// out-of-range value.
#include "render/FontCheck.h"

#include <stb/stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstring>

//-----------------------------------------------------------------------------
// [SECTION] Reading bytes
//-----------------------------------------------------------------------------

namespace {

struct Bytes {
  const unsigned char* data;
  size_t size;

  bool Has(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
  uint16_t U16(size_t o) const { return static_cast<uint16_t>(data[o] << 8 | data[o + 1]); }
  int16_t I16(size_t o) const { return static_cast<int16_t>(U16(o)); }
  uint32_t U32(size_t o) const { return static_cast<uint32_t>(U16(o)) << 16 | U16(o + 2); }
};

struct Span {
  uint64_t offset = 0, length = 0;
  bool found = false;
  uint64_t End() const { return offset + length; }
};

//-----------------------------------------------------------------------------
// [SECTION] Table directory
//-----------------------------------------------------------------------------

struct Tables {
  Span cmap, head, hhea, hmtx, maxp, loca, glyf, kern, gpos, cff;
};

// stb_truetype takes the first record of a tag; so do we.
bool ReadDirectory(const Bytes& f, uint64_t start, Tables& t, std::string& reason) {
  if (!f.Has(start, 12)) return reason = "no table directory", false;
  const uint64_t count = f.U16(start + 4);
  if (!f.Has(start + 12, count * 16)) return reason = "table directory past the end of the file", false;
  const std::pair<const char*, Span*> wanted[] = {{"cmap", &t.cmap}, {"head", &t.head}, {"hhea", &t.hhea},
                                                  {"hmtx", &t.hmtx}, {"maxp", &t.maxp}, {"loca", &t.loca},
                                                  {"glyf", &t.glyf}, {"kern", &t.kern}, {"GPOS", &t.gpos},
                                                  {"CFF ", &t.cff}};
  for (uint64_t i = 0; i < count; ++i) {
    const size_t entry = static_cast<size_t>(start + 12 + i * 16);
    // Tables stb_truetype never reads must still lie in the file: a
    // directory that points outside is not a font.
    if (!f.Has(f.U32(entry + 8), f.U32(entry + 12))) return reason = "a table lies past the end of the file", false;
    for (const auto& [tag, slot] : wanted) {
      if (slot->found || std::memcmp(f.data + entry, tag, 4) != 0) continue;
      slot->offset = f.U32(entry + 8);
      slot->length = f.U32(entry + 12);
      slot->found = true;
    }
  }
  if (!t.cmap.found || !t.head.found || !t.hhea.found || !t.hmtx.found || !t.maxp.found)
    return reason = "a required table is missing", false;
  if (t.glyf.found ? !t.loca.found : !t.cff.found) return reason = "no glyph outlines", false;
  if (t.head.length < 54 || t.hhea.length < 36 || t.maxp.length < 6 || t.cmap.length < 4)
    return reason = "a required table is too short", false;
  return true;
}

// Metrics every glyph relies on: the scale divides by ascent - descent.
bool CheckMetrics(const Bytes& f, const Tables& t, std::string& reason) {
  const int ascent = f.I16(t.hhea.offset + 4), descent = f.I16(t.hhea.offset + 6);
  if (ascent == descent) return reason = "ascender equals descender", false;
  const uint64_t longMetrics = f.U16(t.hhea.offset + 34);
  if (longMetrics == 0 || t.hmtx.length < longMetrics * 4) return reason = "horizontal metrics too short", false;
  if (f.U16(t.maxp.offset + 4) == 0) return reason = "no glyphs", false;
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] Character map
//-----------------------------------------------------------------------------

// Format 4: the binary search starts at rangeShift and walks entrySelector
// halvings of searchRange; the deepest segment it can reach must exist, and
// every idRangeOffset must point inside the table for its whole segment.
bool CheckFormat4(const Bytes& f, uint64_t at, uint64_t room) {
  if (room < 16) return false;
  const uint64_t segments = f.U16(at + 6) >> 1;
  if (segments == 0 || 16 + 8 * segments > room) return false;
  uint64_t searchRange = f.U16(at + 8) >> 1;
  const uint64_t selector = f.U16(at + 10);
  uint64_t deepest = f.U16(at + 12) >> 1;
  for (uint64_t i = 0; i < selector && searchRange; ++i) {
    searchRange >>= 1;
    deepest += searchRange;
  }
  if (deepest >= segments) return false;
  for (uint64_t i = 0; i < segments; ++i) {
    const uint64_t last = f.U16(at + 14 + 2 * i), first = f.U16(at + 16 + 2 * segments + 2 * i);
    const uint64_t rangeOffsetAt = 16 + 6 * segments + 2 * i;
    const uint64_t rangeOffset = f.U16(at + rangeOffsetAt);
    if (rangeOffset == 0 || first > last) continue;
    if (rangeOffsetAt + rangeOffset + 2 * (last - first) + 2 > room) return false;
  }
  return true;
}

// The encoding records stb_truetype scans, then the subtable it chose.
bool CheckEncodingRecords(const Bytes& f, const Span& cmap, std::string& reason) {
  if (4 + 8 * uint64_t(f.U16(cmap.offset + 2)) > cmap.length) return reason = "cmap records past the table", false;
  return true;
}

bool CheckIndexMap(const Bytes& f, const Span& cmap, uint64_t at, std::string& reason) {
  reason = "cmap subtable does not hold together";
  if (at < cmap.offset || at + 4 > cmap.End()) return false;
  const uint64_t room = cmap.End() - at;
  switch (f.U16(at)) {
    case 0:
      return f.U16(at + 2) <= room;
    case 4:
      return CheckFormat4(f, at, room);
    case 6:
      return room >= 10 && 10 + 2 * uint64_t(f.U16(at + 8)) <= room;
    case 12:
    case 13:
      return room >= 16 && 16 + 12 * uint64_t(f.U32(at + 12)) <= room;
    default:
      reason = "cmap subtable of a format stb_truetype cannot read";
      return false;
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Kerning tables
//-----------------------------------------------------------------------------
// Kerning is optional: a table that does not hold together is dropped and
// the text is laid out without its pairs.

bool KernHolds(const Bytes& f, const Span& k) {
  if (k.length < 4) return false;
  if (f.U16(k.offset + 2) < 1) return true;
  if (k.length < 12) return false;
  if (f.U16(k.offset + 8) != 1) return true;
  return 18 + 6 * uint64_t(f.U16(k.offset + 10)) <= k.length;
}

// The largest index a coverage table yields, -1 for none; false when the
// table lies outside.
bool CoverageHolds(const Bytes& f, const Span& g, uint64_t at, int64_t& maxIndex) {
  maxIndex = -1;
  if (at + 4 > g.length) return false;
  const uint64_t base = g.offset + at, count = f.U16(base + 2);
  switch (f.U16(base)) {
    case 1:
      maxIndex = int64_t(count) - 1;
      return at + 4 + 2 * count <= g.length;
    case 2:
      if (at + 4 + 6 * count > g.length) return false;
      for (uint64_t i = 0; i < count; ++i) {
        const uint64_t r = base + 4 + 6 * i;
        const int64_t first = f.U16(r), last = f.U16(r + 2);
        if (last >= first) maxIndex = std::max<int64_t>(maxIndex, f.U16(r + 4) + last - first);
      }
      return true;
    default:
      return true;
  }
}

bool ClassDefHolds(const Bytes& f, const Span& g, uint64_t at) {
  if (at + 2 > g.length) return false;
  const uint64_t base = g.offset + at;
  switch (f.U16(base)) {
    case 1:
      return at + 6 <= g.length && at + 6 + 2 * uint64_t(f.U16(base + 4)) <= g.length;
    case 2:
      return at + 4 <= g.length && at + 4 + 6 * uint64_t(f.U16(base + 2)) <= g.length;
    default:
      return true;
  }
}

// One pair-adjustment subtable, as the kerning lookup reads it.
bool PairSubtableHolds(const Bytes& f, const Span& g, uint64_t st) {
  if (st + 8 > g.length) return false;
  int64_t maxIndex = -1;
  if (!CoverageHolds(f, g, st + f.U16(g.offset + st + 2), maxIndex)) return false;
  if (maxIndex < 0) return true;
  const uint64_t base = g.offset + st;
  if (f.U16(base + 4) != 4 || f.U16(base + 6) != 0) return true;
  switch (f.U16(base)) {
    case 1: {
      // The pair set offset and its count are read before the index is
      // compared with the pair set count.
      if (st + 10 + 2 * uint64_t(maxIndex + 1) > g.length) return false;
      const uint64_t sets = f.U16(base + 8);
      for (int64_t i = 0; i <= maxIndex; ++i) {
        const uint64_t pv = st + f.U16(base + 10 + 2 * i);
        if (pv + 2 > g.length) return false;
        if (uint64_t(i) < sets && pv + 2 + 4 * uint64_t(f.U16(g.offset + pv)) > g.length) return false;
      }
      return true;
    }
    case 2:
      if (st + 16 > g.length) return false;
      if (!ClassDefHolds(f, g, st + f.U16(base + 8)) || !ClassDefHolds(f, g, st + f.U16(base + 10))) return false;
      return st + 16 + 2 * uint64_t(f.U16(base + 12)) * f.U16(base + 14) <= g.length;
    default:
      return true;
  }
}

bool GposHolds(const Bytes& f, const Span& g) {
  if (g.length < 4) return false;
  if (f.U16(g.offset) != 1 || f.U16(g.offset + 2) != 0) return true;
  if (g.length < 10) return false;
  const uint64_t list = f.U16(g.offset + 8);
  if (list + 2 > g.length) return false;
  const uint64_t lookups = f.U16(g.offset + list);
  if (list + 2 + 2 * lookups > g.length) return false;
  for (uint64_t i = 0; i < lookups; ++i) {
    const uint64_t lookup = list + f.U16(g.offset + list + 2 + 2 * i);
    if (lookup + 6 > g.length) return false;
    if (f.U16(g.offset + lookup) != 2) continue;
    const uint64_t subtables = f.U16(g.offset + lookup + 4);
    if (lookup + 6 + 2 * subtables > g.length) return false;
    for (uint64_t s = 0; s < subtables; ++s)
      if (!PairSubtableHolds(f, g, lookup + f.U16(g.offset + lookup + 6 + 2 * s))) return false;
  }
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] CFF structure
//-----------------------------------------------------------------------------
// Offsets below are relative to the start of the CFF table. stb_truetype
// reads it through a buffer it believes is 512 MB long, so every index,
// dictionary and offset it follows is checked against the real length here,
// and the buffers are cut to it once the font is initialised.

struct CffIndex {
  uint64_t at = 0, size = 0;  // the whole index, header included
  int count = 0, offsize = 0;
};

struct Cff {
  const unsigned char* data = nullptr;
  uint64_t length = 0;
  CffIndex gsubrs, subrs, charstrings, fontdicts;
  std::vector<CffIndex> fdSubrs;  // one per font dictionary of a CID font
  uint64_t fdselect = 0;          // 0: not a CID font

  uint64_t Offset(const CffIndex& index, int i) const {
    const unsigned char* p = data + index.at + 3 + uint64_t(i) * index.offsize;
    uint64_t v = 0;
    for (int k = 0; k < index.offsize; ++k) v = v << 8 | p[k];
    return v;
  }
};

// An index at `pos` whose offsets all increase from 1 and whose data ends
// inside the table; pos moves past it.
bool ReadIndex(const Cff& c, uint64_t& pos, CffIndex& index) {
  index = CffIndex{};
  index.at = pos;
  if (pos + 2 > c.length) return false;
  index.count = c.data[pos] << 8 | c.data[pos + 1];
  if (index.count == 0) {
    index.size = 2;
    pos += 2;
    return true;
  }
  if (pos + 3 > c.length) return false;
  index.offsize = c.data[pos + 2];
  if (index.offsize < 1 || index.offsize > 4) return false;
  const uint64_t dataStart = pos + 3 + uint64_t(index.count + 1) * index.offsize;
  if (dataStart > c.length) return false;
  uint64_t previous = 1;
  for (int i = 0; i <= index.count; ++i) {
    const uint64_t o = c.Offset(index, i);
    if (o < previous || dataStart + o - 1 > c.length) return false;
    previous = o;
  }
  index.size = dataStart + previous - 1 - pos;
  pos += index.size;
  return true;
}

struct CffRange {
  uint64_t at = 0, size = 0;
};

CffRange IndexItem(const Cff& c, const CffIndex& index, int i) {
  const uint64_t start = c.Offset(index, i), end = c.Offset(index, i + 1);
  return {index.at + 2 + uint64_t(index.count + 1) * index.offsize + start, end - start};
}

// A dictionary's operands and operators, walked as stb_truetype walks them
// for any key: operand bytes 31 and 255 hit its assertion.
bool DictHolds(const Cff& c, CffRange d) {
  const unsigned char* p = c.data + d.at;
  uint64_t i = 0;
  auto peek = [&] { return i < d.size ? p[i] : 0; };
  while (i < d.size) {
    while (peek() >= 28) {
      const int b0 = peek();
      if (b0 == 31 || b0 == 255) return false;
      if (b0 == 30) {
        for (++i; i < d.size;) {
          const int v = p[i++];
          if ((v & 0xF) == 0xF || (v >> 4) == 0xF) break;
        }
      } else {
        i += b0 == 28 ? 3 : b0 == 29 ? 5 : b0 >= 247 ? 2 : 1;
      }
    }
    if (peek() == 12) ++i;
    ++i;
  }
  return true;
}

// The integer operands of the first `key` in a dictionary (as many as there
// are, up to n); false when one of them is a real (stb_truetype asserts).
bool DictInts(const Cff& c, CffRange d, int key, int n, uint32_t* out) {
  const unsigned char* p = c.data + d.at;
  uint64_t i = 0;
  auto get = [&] { return i < d.size ? p[i++] : 0; };
  while (i < d.size) {
    const uint64_t start = i;
    while ((i < d.size ? p[i] : 0) >= 28) {
      const int b0 = p[i];
      if (b0 == 30) {
        for (++i; i < d.size;) {
          const int v = p[i++];
          if ((v & 0xF) == 0xF || (v >> 4) == 0xF) break;
        }
      } else {
        i += b0 == 28 ? 3 : b0 == 29 ? 5 : b0 >= 247 ? 2 : 1;
      }
    }
    const uint64_t end = std::min(i, d.size);
    int op = get();
    if (op == 12) op = get() | 0x100;
    if (op != key) continue;
    uint64_t k = start;
    auto at = [&] { return k < end ? p[k++] : 0; };
    for (int v = 0; v < n && k < end; ++v) {
      const int b0 = at();
      if (b0 >= 32 && b0 <= 246) {
        out[v] = uint32_t(b0 - 139);
      } else if (b0 >= 247 && b0 <= 250) {
        out[v] = uint32_t((b0 - 247) * 256 + at() + 108);
      } else if (b0 >= 251 && b0 <= 254) {
        out[v] = uint32_t(-(b0 - 251) * 256 - at() - 108);
      } else if (b0 == 28) {
        const uint32_t hi = at();
        out[v] = hi << 8 | at();
      } else if (b0 == 29) {
        uint32_t x = 0;
        for (int b = 0; b < 4; ++b) x = x << 8 | at();
        out[v] = x;
      } else {
        return false;
      }
    }
    return true;
  }
  return true;
}

// The local subroutines a font dictionary names through its private one.
bool ReadSubrs(const Cff& c, CffRange dict, CffIndex& subrs) {
  subrs = CffIndex{};
  uint32_t priv[2] = {0, 0};
  if (!DictInts(c, dict, 18, 2, priv)) return false;
  if (priv[0] == 0 || priv[1] == 0) return true;
  if (uint64_t(priv[1]) + priv[0] > c.length) return false;
  const CffRange pdict{priv[1], priv[0]};
  uint32_t offset = 0;
  if (!DictHolds(c, pdict) || !DictInts(c, pdict, 19, 1, &offset)) return false;
  if (offset == 0) return true;
  uint64_t pos = uint64_t(priv[1]) + offset;
  return pos <= c.length && ReadIndex(c, pos, subrs);
}

bool ReadCff(const Bytes& f, const Span& table, Cff& c, std::string& reason) {
  reason = "CFF outlines do not hold together";
  c.data = f.data + table.offset;
  c.length = table.length;
  if (c.length < 4) return false;
  uint64_t pos = c.data[2];
  CffIndex names, topDicts, strings;
  if (!ReadIndex(c, pos, names) || !ReadIndex(c, pos, topDicts) || topDicts.count < 1) return false;
  if (!ReadIndex(c, pos, strings) || !ReadIndex(c, pos, c.gsubrs)) return false;
  const CffRange top = IndexItem(c, topDicts, 0);
  uint32_t charstrings = 0, cstype = 2, fdarray = 0, fdselect = 0;
  if (!DictHolds(c, top) || !DictInts(c, top, 17, 1, &charstrings) || !DictInts(c, top, 0x106, 1, &cstype) ||
      !DictInts(c, top, 0x124, 1, &fdarray) || !DictInts(c, top, 0x125, 1, &fdselect) || !ReadSubrs(c, top, c.subrs))
    return false;
  if (cstype != 2 || charstrings == 0) return reason = "CFF outlines of a kind stb_truetype cannot read", false;
  if (fdarray) {
    if (fdselect == 0 || fdselect >= c.length) return false;
    uint64_t at = fdarray;
    if (at > c.length || !ReadIndex(c, at, c.fontdicts)) return false;
    c.fdselect = fdselect;
    c.fdSubrs.resize(static_cast<size_t>(c.fontdicts.count));
    for (int i = 0; i < c.fontdicts.count; ++i) {
      const CffRange dict = IndexItem(c, c.fontdicts, i);
      if (!DictHolds(c, dict) || !ReadSubrs(c, dict, c.fdSubrs[static_cast<size_t>(i)])) return false;
    }
  }
  uint64_t at = charstrings;
  return at <= c.length && ReadIndex(c, at, c.charstrings);
}

// stb_truetype's CFF buffers end where the table ends.
void CutCffBuffers(stbtt_fontinfo& info, const Cff& c) {
  info.cff.size = static_cast<int>(c.length);
  if (c.fdselect) info.fdselect.size = static_cast<int>(c.length - c.fdselect);
}

//-----------------------------------------------------------------------------
// [SECTION] CFF charstrings
//-----------------------------------------------------------------------------
// A charstring is a program: stb_truetype runs it twice per outline and once
// per box, with subroutine calls up to ten deep. This runs it once with the
// same stack, cursors and stopping rules, and refuses the glyph when
// stb_truetype would step out of a buffer (a hint mask past the end, a CID
// glyph without a font dictionary), when the program runs too long or emits
// too many vertices, or when the pen could move where its integer
// conversion overflows. The pen is bounded by the sum of the magnitudes of
// the operands that moved it.

class CharstringRun {
 public:
  CharstringRun(const Cff& c, int glyph) : m_c(c), m_glyph(glyph) {}

  bool Safe();

 private:
  struct Cursor {
    uint64_t at = 0, size = 0, pos = 0;
  };

  static constexpr int kMaxSteps = 1 << 16;
  static constexpr double kMaxPen = 16777216.0;

  int Get8(Cursor& b) const { return b.pos < b.size ? m_c.data[b.at + b.pos++] : 0; }
  float Push(Cursor& b, int b0);
  // A drawing operator using the whole stack (weight 2 for the flexes,
  // whose last point is also derived from the sums).
  bool Draw(double weight);
  bool FdSubrs(CffIndex& subrs) const;
  Cursor Subr(const CffIndex& index, int n) const;

  const Cff& m_c;
  int m_glyph;
  float m_s[48] = {};
  int m_sp = 0;
  double m_pen = 0.0;
  int64_t m_vertices = 0;
};

bool CharstringRun::Draw(double weight) {
  for (int i = 0; i < m_sp; ++i) m_pen += weight * std::fabs(double(m_s[i]));
  m_vertices += m_sp + 2;  // at most one per operand, a move also closes
  return m_pen < kMaxPen && m_vertices <= FontCheck::kMaxGlyphVertices;
}

float CharstringRun::Push(Cursor& b, int b0) {
  if (b0 == 255) {
    uint32_t x = 0;
    for (int k = 0; k < 4; ++k) x = x << 8 | uint32_t(Get8(b));
    return float(int32_t(x)) / 65536.0f;
  }
  if (b0 == 28) {
    const int hi = Get8(b);
    return float(int16_t(hi << 8 | Get8(b)));
  }
  if (b0 <= 246) return float(b0 - 139);
  const int b1 = Get8(b);
  return float(int16_t(b0 <= 250 ? (b0 - 247) * 256 + b1 + 108 : -(b0 - 251) * 256 - b1 - 108));
}

// The font dictionary of a CID glyph, as stb_truetype selects it: it
// asserts on a selector past its buffer or without a dictionary.
bool CharstringRun::FdSubrs(CffIndex& subrs) const {
  const uint64_t at = m_c.fdselect, size = m_c.length - at;
  auto byte = [&](uint64_t i) -> int { return i < size ? m_c.data[at + i] : 0; };
  auto word = [&](uint64_t i) { return byte(i) << 8 | byte(i + 1); };
  int selector = -1;
  const int format = byte(0);
  if (format == 0) {
    if (1 + uint64_t(m_glyph) > size) return false;
    selector = byte(1 + uint64_t(m_glyph));
  } else if (format == 3) {
    const int ranges = word(1);
    int start = word(3);
    for (int i = 0; i < ranges; ++i) {
      const int v = byte(5 + 3 * uint64_t(i)), end = word(6 + 3 * uint64_t(i));
      if (m_glyph >= start && m_glyph < end) {
        selector = v;
        break;
      }
      start = end;
    }
  }
  if (selector < 0 || selector >= m_c.fontdicts.count) return false;
  subrs = m_c.fdSubrs[static_cast<size_t>(selector)];
  return true;
}

CharstringRun::Cursor CharstringRun::Subr(const CffIndex& index, int n) const {
  const int count = index.count;
  n += count >= 33900 ? 32768 : count >= 1240 ? 1131 : 107;
  if (n < 0 || n >= count) return {};
  const CffRange r = IndexItem(m_c, index, n);
  return {r.at, r.size, 0};
}

bool CharstringRun::Safe() {
  if (m_glyph >= m_c.charstrings.count) return false;
  const CffRange glyph = IndexItem(m_c, m_c.charstrings, m_glyph);
  Cursor b{glyph.at, glyph.size, 0};
  Cursor stack[10];
  int depth = 0, maskBits = 0;
  bool inHeader = true, haveSubrs = false;
  CffIndex subrs = m_c.subrs;
  for (int steps = 0; b.pos < b.size; ++steps) {
    if (steps > kMaxSteps) return false;
    bool clear = true;
    const int b0 = Get8(b);
    switch (b0) {
      case 0x13:
      case 0x14: {  // hintmask, cntrmask: the skip must stay inside
        if (inHeader) maskBits += m_sp / 2;
        inHeader = false;
        const uint64_t skip = (uint64_t(maskBits) + 7) / 8;
        if (b.pos + skip > b.size) return false;
        b.pos += skip;
        break;
      }
      case 0x01: case 0x03: case 0x12: case 0x17:  // stems
        maskBits += m_sp / 2;
        break;
      case 0x15: case 0x04: case 0x16: {  // moves
        inHeader = false;
        if (m_sp < (b0 == 0x15 ? 2 : 1)) return true;
        if (!Draw(1.0)) return false;
        break;
      }
      case 0x05: case 0x06: case 0x07: case 0x08: case 0x18: case 0x19:
      case 0x1A: case 0x1B: case 0x1E: case 0x1F: {  // lines and curves
        const int needed = b0 == 0x05 ? 2 : b0 <= 0x07 ? 1 : b0 == 0x08 ? 6 : b0 <= 0x19 ? 8 : 4;
        if (m_sp < needed) return true;
        if (!Draw(1.0)) return false;
        break;
      }
      case 0x0A:
        if (!haveSubrs) {
          if (m_c.fdselect && !FdSubrs(subrs)) return false;
          haveSubrs = true;
        }
        [[fallthrough]];
      case 0x1D: {
        if (m_sp < 1) return true;
        const int v = static_cast<int>(m_s[--m_sp]);
        if (depth >= 10) return true;
        stack[depth++] = b;
        b = Subr(b0 == 0x0A ? subrs : m_c.gsubrs, v);
        if (b.size == 0) return true;
        clear = false;
        break;
      }
      case 0x0B:
        if (depth <= 0) return true;
        b = stack[--depth];
        clear = false;
        break;
      case 0x0E:
        return true;
      case 0x0C: {
        const int b1 = Get8(b);
        if (b1 < 0x22 || b1 > 0x25) return true;
        if (!Draw(2.0)) return false;
        break;
      }
      default:
        if (b0 != 255 && b0 != 28 && b0 < 32) return true;
        {
          const float v = Push(b, b0);
          if (m_sp >= 48) return true;
          m_s[m_sp++] = v;
        }
        clear = false;
        break;
    }
    if (clear) m_sp = 0;
  }
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] TrueType glyphs
//-----------------------------------------------------------------------------

// The coordinate range of a glyph's outline as stb_truetype returns it.
struct Extent {
  int minX = 0, minY = 0, maxX = 0, maxY = 0;
};

class GlyphChecker {
 public:
  GlyphChecker(const Bytes& f, const Tables& t, const stbtt_fontinfo& info)
      : m_f(f), m_t(t), m_info(info), m_state(info.numGlyphs, kUnknown), m_vertices(info.numGlyphs, 0),
        m_height(info.numGlyphs, 0), m_extent(info.numGlyphs) {}

  // Fills one verdict per glyph; false when the font is too costly to check.
  bool CheckAll(const Cff* cff, std::vector<unsigned char>& usable);

 private:
  enum : unsigned char { kUnknown, kBusy, kGood, kBad };
  // Composite walks of one font; past this the font is refused.
  static constexpr long kMaxVisits = 1 << 22;

  bool Range(int g, uint64_t& start, uint64_t& end) const;
  bool MetricsHold(int g) const;
  bool SimpleHolds(uint64_t at, uint64_t length, int contours) const;
  bool Visit(int g, int depth);
  bool Examine(int g, int depth);
  bool CompositeHolds(int g, uint64_t at, uint64_t length, int depth);
  bool Transformed(int g, const float m[6], Extent& out);
  const Extent& ExtentOf(int g);

  const Bytes& m_f;
  const Tables& m_t;
  const stbtt_fontinfo& m_info;
  std::vector<unsigned char> m_state;
  std::vector<int> m_vertices, m_height;
  std::vector<Extent> m_extent;
  std::vector<unsigned char> m_extentKnown;
  long m_visits = 0;
};

bool GlyphChecker::Range(int g, uint64_t& start, uint64_t& end) const {
  const uint64_t gi = static_cast<uint64_t>(g);
  if (m_info.indexToLocFormat == 0) {
    if (m_t.loca.length < (gi + 2) * 2) return false;
    start = uint64_t(m_f.U16(m_t.loca.offset + gi * 2)) * 2;
    end = uint64_t(m_f.U16(m_t.loca.offset + gi * 2 + 2)) * 2;
  } else if (m_info.indexToLocFormat == 1) {
    if (m_t.loca.length < (gi + 2) * 4) return false;
    start = m_f.U32(m_t.loca.offset + gi * 4);
    end = m_f.U32(m_t.loca.offset + gi * 4 + 4);
  } else {
    start = end = 0;  // stb_truetype gives such glyphs no outline
  }
  return start <= end && end <= m_t.glyf.length;
}

// Glyphs past the long metrics read their bearing after them.
bool GlyphChecker::MetricsHold(int g) const {
  const uint64_t longs = m_f.U16(m_t.hhea.offset + 34);
  return uint64_t(g) < longs || longs * 4 + (uint64_t(g) - longs + 1) * 2 <= m_t.hmtx.length;
}

// Contour ends increasing, then instructions, flags and both coordinate
// arrays inside the glyph. A contour that starts on an off-curve point makes
// stb_truetype look at the point after it: the last point cannot.
bool GlyphChecker::SimpleHolds(uint64_t at, uint64_t length, int contours) const {
  uint64_t p = 10 + 2 * uint64_t(contours);
  if (p + 2 > length) return false;
  int previous = -1;
  for (int c = 0; c < contours; ++c) {
    const int endPoint = m_f.U16(at + 10 + 2 * uint64_t(c));
    if (endPoint <= previous) return false;
    previous = endPoint;
  }
  const uint64_t points = uint64_t(previous) + 1;
  if (points + 2 * uint64_t(contours) > uint64_t(FontCheck::kMaxGlyphVertices)) return false;
  p += 2 + m_f.U16(at + p);
  uint64_t xBytes = 0, yBytes = 0, lastFlag = 0;
  for (uint64_t n = 0; n < points;) {
    if (p >= length) return false;
    const uint8_t flag = m_f.data[at + p++];
    uint64_t repeat = 1;
    if (flag & 8) {
      if (p >= length) return false;
      repeat += m_f.data[at + p++];
    }
    repeat = std::min(repeat, points - n);
    xBytes += ((flag & 2) ? 1 : (flag & 16) ? 0 : 2) * repeat;
    yBytes += ((flag & 4) ? 1 : (flag & 32) ? 0 : 2) * repeat;
    n += repeat;
    lastFlag = flag;
  }
  const uint64_t lastContourStart = contours > 1 ? uint64_t(m_f.U16(at + 10 + 2 * uint64_t(contours - 2))) + 1 : 0;
  if (lastContourStart == points - 1 && !(lastFlag & 1)) return false;
  return p + xBytes + yBytes <= length;
}

bool GlyphChecker::Visit(int g, int depth) {
  if (g < 0 || g >= m_info.numGlyphs) return false;
  if (m_state[g] == kGood) return depth + m_height[g] <= FontCheck::kMaxCompositeDepth;
  if (m_state[g] != kUnknown) return false;  // refused, or a composite containing itself
  if (depth > FontCheck::kMaxCompositeDepth || ++m_visits > kMaxVisits) return false;
  m_state[g] = kBusy;
  const bool good = Examine(g, depth);
  // A composite cut by the depth it was reached at may still be fine on its
  // own: only a verdict reached from the top is final.
  m_state[g] = good ? kGood : (depth == 0 ? kBad : kUnknown);
  return good;
}

bool GlyphChecker::Examine(int g, int depth) {
  uint64_t start = 0, end = 0;
  if (!Range(g, start, end) || !MetricsHold(g)) return false;
  const uint64_t length = end - start;
  if (length == 0) return true;  // a blank glyph
  if (length < 10) return false;
  const uint64_t at = m_t.glyf.offset + start;
  const int contours = m_f.I16(at);
  if (contours == 0) return true;
  if (contours > 0) {
    if (!SimpleHolds(at, length, contours)) return false;
    m_vertices[g] = m_f.U16(at + 10 + 2 * uint64_t(contours - 1)) + 1 + 2 * contours;
    return true;
  }
  return CompositeHolds(g, at, length, depth);
}

// Every component: its header inside the glyph, given by x/y offsets
// (stb_truetype asserts on point matching), a glyph that passes on its own,
// and, placed by its transform, coordinates that fit the 16 bits they are
// converted to.
bool GlyphChecker::CompositeHolds(int g, uint64_t at, uint64_t length, int depth) {
  uint64_t p = 10;
  Extent whole;
  bool any = false;
  int vertices = 0, height = 0;
  for (bool more = true; more;) {
    if (p + 4 > length) return false;
    const uint16_t flags = m_f.U16(at + p);
    const int component = m_f.U16(at + p + 2);
    p += 4;
    if (!(flags & 2)) return false;
    float m[6] = {1, 0, 0, 1, 0, 0};
    const uint64_t argBytes = (flags & 1) ? 4 : 2;
    const uint64_t scaleBytes = (flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0;
    if (p + argBytes + scaleBytes > length) return false;
    if (flags & 1) {
      m[4] = m_f.I16(at + p);
      m[5] = m_f.I16(at + p + 2);
    } else {
      m[4] = static_cast<int8_t>(m_f.data[at + p]);
      m[5] = static_cast<int8_t>(m_f.data[at + p + 1]);
    }
    p += argBytes;
    const uint64_t s = at + p;
    if (flags & 8) {
      m[0] = m[3] = m_f.I16(s) / 16384.0f;
    } else if (flags & 0x40) {
      m[0] = m_f.I16(s) / 16384.0f;
      m[3] = m_f.I16(s + 2) / 16384.0f;
    } else if (flags & 0x80) {
      for (int k = 0; k < 4; ++k) m[k] = m_f.I16(s + 2 * uint64_t(k)) / 16384.0f;
    }
    p += scaleBytes;
    more = (flags & 0x20) != 0;
    if (!Visit(component, depth + 1)) return false;
    height = std::max(height, m_height[component] + 1);
    vertices += m_vertices[component];
    if (vertices > FontCheck::kMaxGlyphVertices) return false;
    if (m_vertices[component] == 0) continue;
    Extent placed;
    if (!Transformed(component, m, placed)) return false;
    whole = any ? Extent{std::min(whole.minX, placed.minX), std::min(whole.minY, placed.minY),
                         std::max(whole.maxX, placed.maxX), std::max(whole.maxY, placed.maxY)}
                : placed;
    any = true;
  }
  m_vertices[g] = vertices;
  m_height[g] = height;
  m_extent[g] = whole;
  m_extentKnown.resize(m_info.numGlyphs, 0);
  m_extentKnown[g] = 1;
  return true;
}

// The corners of a component's extent through stb_truetype's transform
// (matrix, then offsets, then the column lengths it multiplies by), with a
// margin for its float rounding.
bool GlyphChecker::Transformed(int g, const float m[6], Extent& out) {
  const Extent& e = ExtentOf(g);
  const double sx = std::sqrt(double(m[0]) * m[0] + double(m[1]) * m[1]);
  const double sy = std::sqrt(double(m[2]) * m[2] + double(m[3]) * m[3]);
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  for (int x : {e.minX, e.maxX}) {
    for (int y : {e.minY, e.maxY}) {
      const double px = sx * (m[0] * double(x) + m[2] * double(y) + m[4]);
      const double py = sy * (m[1] * double(x) + m[3] * double(y) + m[5]);
      lo[0] = std::min(lo[0], px), hi[0] = std::max(hi[0], px);
      lo[1] = std::min(lo[1], py), hi[1] = std::max(hi[1], py);
    }
  }
  constexpr double kLimit = 32700.0;
  if (lo[0] < -kLimit || lo[1] < -kLimit || hi[0] > kLimit || hi[1] > kLimit) return false;
  out = {int(std::floor(lo[0])), int(std::floor(lo[1])), int(std::ceil(hi[0])), int(std::ceil(hi[1]))};
  return true;
}

// A simple glyph's extent from the outline stb_truetype decodes (safe once
// the glyph passed); a composite's was kept when it was checked.
const Extent& GlyphChecker::ExtentOf(int g) {
  m_extentKnown.resize(m_info.numGlyphs, 0);
  if (m_extentKnown[g]) return m_extent[g];
  stbtt_vertex* v = nullptr;
  const int n = stbtt_GetGlyphShape(&m_info, g, &v);
  Extent e;
  bool started = false;
  for (int i = 0; i < n; ++i) {
    for (auto [x, y] : {std::pair<int, int>{v[i].x, v[i].y}, {v[i].cx, v[i].cy}}) {
      if (!started) e = {x, y, x, y};
      started = true;
      e = {std::min(e.minX, x), std::min(e.minY, y), std::max(e.maxX, x), std::max(e.maxY, y)};
    }
  }
  stbtt_FreeShape(&m_info, v);
  m_extent[g] = e;
  m_extentKnown[g] = 1;
  return m_extent[g];
}

bool GlyphChecker::CheckAll(const Cff* cff, std::vector<unsigned char>& usable) {
  usable.assign(static_cast<size_t>(m_info.numGlyphs), 0);
  for (int g = 0; g < m_info.numGlyphs; ++g) {
    if (cff) {
      usable[g] = MetricsHold(g) && CharstringRun(*cff, g).Safe();
      continue;
    }
    usable[g] = Visit(g, 0);
    if (m_visits > kMaxVisits) return false;
  }
  return true;
}

// The highest y the drawn outline reaches: exact for lines and quadratic
// curves, bounded by the control points for cubic ones.
double OutlineTop(const stbtt_fontinfo& info, int glyph) {
  stbtt_vertex* v = nullptr;
  const int n = stbtt_GetGlyphShape(&info, glyph, &v);
  double top = -1e300, previous = 0;
  for (int i = 0; i < n; ++i) {
    const double y = v[i].y, c = v[i].cy;
    top = std::max(top, y);
    if (v[i].type == STBTT_vcurve && c > std::max(previous, y))
      top = std::max(top, previous - (c - previous) * (c - previous) / (previous - 2 * c + y));
    else if (v[i].type == STBTT_vcubic)
      top = std::max({top, c, double(v[i].cy1)});
    previous = y;
  }
  stbtt_FreeShape(&info, v);
  return top;
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Public calls
//-----------------------------------------------------------------------------

bool FontCheck::Open(const unsigned char* data, size_t size, stbtt_fontinfo& info, std::string& reason) {
  m_glyphUsable.clear();
  const Bytes f{data, size};
  // The collection header is read before any length is known.
  if (!data || size < 16) return reason = "too short to be a font", false;
  const int start = stbtt_GetFontOffsetForIndex(data, 0);
  if (start < 0) return reason = "not a TrueType or OpenType font", false;
  Tables t;
  if (!ReadDirectory(f, static_cast<uint64_t>(start), t, reason) || !CheckMetrics(f, t, reason) ||
      !CheckEncodingRecords(f, t.cmap, reason))
    return false;
  Cff cff;
  const bool isCff = !t.glyf.found;
  if (isCff && !ReadCff(f, t.cff, cff, reason)) return false;
  info = stbtt_fontinfo{};
  if (!stbtt_InitFont(&info, const_cast<unsigned char*>(data), start))
    return reason = "stb_truetype cannot read it", false;
  if (isCff) CutCffBuffers(info, cff);
  if (!CheckIndexMap(f, t.cmap, static_cast<uint32_t>(info.index_map), reason)) return false;
  if (t.kern.found && !KernHolds(f, t.kern)) info.kern = 0;
  if (t.gpos.found && !GposHolds(f, t.gpos)) info.gpos = 0;
  GlyphChecker glyphs(f, t, info);
  if (!glyphs.CheckAll(isCff ? &cff : nullptr, m_glyphUsable)) return reason = "composite glyphs too costly to check", false;
  return true;
}

int FontCheck::FindGlyph(const stbtt_fontinfo& info, uint32_t codepoint) const {
  if (m_glyphUsable.empty() || codepoint > 0x10FFFF) return 0;
  const int g = stbtt_FindGlyphIndex(&info, static_cast<int>(codepoint));
  return GlyphUsable(g) ? g : 0;
}

bool FontCheck::GlyphUsable(int glyph) const {
  return glyph >= 0 && glyph < GlyphCount() && m_glyphUsable[static_cast<size_t>(glyph)];
}

bool FontCheck::BitmapBox(const stbtt_fontinfo& info, int glyph, float scale, int box[4]) const {
  if (!GlyphUsable(glyph) || !(scale > 0.0f) || !std::isfinite(scale)) return false;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  if (!stbtt_GetGlyphBox(&info, glyph, &x0, &y0, &x1, &y1)) x0 = y0 = x1 = y1 = 0;
  // The same floor and ceiling stb_truetype takes, of the same float
  // products (a product rounded up to a whole number floors differently),
  // checked in doubles before its own conversion to int.
  const double left = std::floor(double(float(x0) * scale)), top = std::floor(double(float(-y1) * scale));
  const double right = std::ceil(double(float(x1) * scale)), bottom = std::ceil(double(float(-y0) * scale));
  const double w = right - left, h = bottom - top;
  // An inverted box (a crafted glyph header) would make a negative size.
  if (!(w >= 0 && h >= 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide && w * h <= double(kMaxBitmapPixels)))
    return false;
  if (std::fabs(left) > 1e9 || std::fabs(top) > 1e9) return false;
  // The bitmap's rows start at the header box. Ink above the box is cut off
  // there, except when the top row is row 0: then stb_truetype asserts on
  // any edge wholly above it. Only a glyph whose outline leaves its own
  // header box can do that.
  if (top == 0 && OutlineTop(info, glyph) > 0) return false;
  stbtt_GetGlyphBitmapBoxSubpixel(&info, glyph, scale, scale, 0.0f, 0.0f, &box[0], &box[1], &box[2], &box[3]);
  return true;
}
