// The BPG container: header, extensions, the stripped HEVC headers and the
// picture data split into pictures.
//
// [SECTION] Bit reading and writing
// [SECTION] Container fields
// [SECTION] NAL units and pictures
// [SECTION] Rebuilt parameter sets
#include "production/BpgStream.h"

namespace bpg {
namespace {

constexpr uint8_t kMagic[4] = {0x42, 0x50, 0x47, 0xFB};
constexpr uint32_t kAnimationTag = 5;

// NAL unit types the reader handles itself.
constexpr int kNalVps = 32;
constexpr int kNalSps = 33;
constexpr int kNalPps = 34;

//-----------------------------------------------------------------------------
// [SECTION] Bit reading and writing
//-----------------------------------------------------------------------------

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : m_data(data), m_bits(size * 8) {}

  bool Bit(uint32_t& v) { return Bits(1, v); }
  bool Flag(bool& v) {
    uint32_t b = 0;
    if (!Bit(b)) return false;
    v = b != 0;
    return true;
  }
  bool Bits(int n, uint32_t& v) {
    if (m_pos + n > m_bits) return false;
    v = 0;
    for (int i = 0; i < n; ++i, ++m_pos)
      v = (v << 1) | ((m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1u);
    return true;
  }
  // Exp-Golomb, limited to values a header field can hold.
  bool Ue(uint32_t& v) {
    int zeros = 0;
    uint32_t b = 0;
    for (;;) {
      if (!Bit(b)) return false;
      if (b) break;
      if (++zeros > 16) return false;
    }
    uint32_t rest = 0;
    if (!Bits(zeros, rest)) return false;
    v = (1u << zeros) - 1 + rest;
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_bits;
  size_t m_pos = 0;
};

class BitWriter {
 public:
  void Bits(int n, uint32_t v) {
    for (int i = n - 1; i >= 0; --i) PutBit((v >> i) & 1u);
  }
  void Ue(uint32_t v) {
    const uint64_t x = uint64_t(v) + 1;
    int len = 0;
    while ((x >> len) > 1) ++len;
    Bits(len, 0);
    for (int i = len; i >= 0; --i) PutBit(uint32_t(x >> i) & 1u);
  }
  // rbsp_trailing_bits, then emulation prevention over the whole unit.
  std::vector<uint8_t> Finish() {
    PutBit(1);
    while (m_count) PutBit(0);
    std::vector<uint8_t> out;
    int zeros = 0;
    for (uint8_t b : m_bytes) {
      if (zeros >= 2 && b <= 3) {
        out.push_back(3);
        zeros = 0;
      }
      out.push_back(b);
      zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
  }

 private:
  void PutBit(uint32_t b) {
    m_acc = uint8_t((m_acc << 1) | b);
    if (++m_count == 8) {
      m_bytes.push_back(m_acc);
      m_acc = 0;
      m_count = 0;
    }
  }
  std::vector<uint8_t> m_bytes;
  uint8_t m_acc = 0;
  int m_count = 0;
};

//-----------------------------------------------------------------------------
// [SECTION] Container fields
//-----------------------------------------------------------------------------

class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Ue7(uint32_t& v) {
    const size_t n = ReadUe7(m_data + m_pos, m_size - m_pos, v);
    m_pos += n;
    return n != 0;
  }
  bool Byte(uint8_t& v) {
    if (m_pos >= m_size) return false;
    v = m_data[m_pos++];
    return true;
  }
  bool Skip(size_t n) {
    if (n > m_size - m_pos) return false;
    m_pos += n;
    return true;
  }
  size_t pos() const { return m_pos; }
  size_t left() const { return m_size - m_pos; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

bool Fail(std::string& error, const char* reason) {
  error = reason;
  return false;
}

bool ParseAnimationTag(const uint8_t* data, size_t size, Stream& out, std::string& error) {
  ByteCursor c(data, size);
  uint32_t loop = 0, num = 0, den = 0;
  if (!c.Ue7(loop) || !c.Ue7(num) || !c.Ue7(den))
    return Fail(error, "truncated animation control extension");
  if (loop > 0xFFFF || num > 0xFFFF || den > 0xFFFF || den == 0)
    return Fail(error, "invalid animation control extension");
  out.loopCount = loop;
  out.framePeriodNum = num;
  out.framePeriodDen = den;
  return true;
}

bool ParseExtensions(const uint8_t* data, size_t size, Stream& out, bool& hasAnimationTag,
                     std::string& error) {
  ByteCursor c(data, size);
  while (c.left()) {
    uint32_t tag = 0, len = 0;
    if (!c.Ue7(tag) || !c.Ue7(len)) return Fail(error, "truncated extension");
    const size_t at = c.pos();
    if (!c.Skip(len)) return Fail(error, "extension past the end");
    if (tag == kAnimationTag) {
      if (!ParseAnimationTag(data + at, len, out, error)) return false;
      hasAnimationTag = true;
    }
  }
  return true;
}

bool ParseHevcHeaderBits(BitReader& r, HevcHeader& h) {
  if (!r.Ue(h.log2MinCbMinus3) || !r.Ue(h.log2DiffMaxMinCb) || !r.Ue(h.log2MinTbMinus2) ||
      !r.Ue(h.log2DiffMaxMinTb) || !r.Ue(h.maxTransformDepthIntra) ||
      !r.Flag(h.sampleAdaptiveOffset) || !r.Flag(h.pcmEnabled))
    return false;
  if (h.pcmEnabled) {
    if (!r.Bits(4, h.pcmBitDepthLumaMinus1) || !r.Bits(4, h.pcmBitDepthChromaMinus1) ||
        !r.Ue(h.log2MinPcmCbMinus3) || !r.Ue(h.log2DiffMaxMinPcmCb) ||
        !r.Flag(h.pcmLoopFilterDisabled))
      return false;
  }
  if (!r.Flag(h.strongIntraSmoothing) || !r.Flag(h.extensionPresent)) return false;
  if (h.extensionPresent) {
    if (!r.Flag(h.rangeExtension) || !r.Bits(7, h.extension7Bits)) return false;
    if (h.rangeExtension && !r.Bits(9, h.rangeExtensionFlags)) return false;
  }
  // Coding blocks of 8 to 64 samples, as HEVC allows.
  return h.log2MinCbMinus3 <= 3 && h.log2MinCbMinus3 + h.log2DiffMaxMinCb <= 3 &&
         h.log2MinTbMinus2 <= 3 && h.log2MinTbMinus2 + h.log2DiffMaxMinTb <= 3;
}

bool ParseHevcHeader(ByteCursor& c, const uint8_t* data, HevcHeader& h, std::string& error) {
  uint32_t len = 0;
  if (!c.Ue7(len)) return Fail(error, "truncated HEVC header");
  const size_t at = c.pos();
  if (!c.Skip(len)) return Fail(error, "HEVC header past the end");
  BitReader r(data + at, len);
  if (!ParseHevcHeaderBits(r, h)) return Fail(error, "invalid HEVC header");
  return true;
}

bool ParseFixedFields(ByteCursor& c, Stream& out, std::string& error) {
  uint8_t b0 = 0, b1 = 0;
  if (!c.Byte(b0) || !c.Byte(b1)) return Fail(error, "truncated header");
  out.format = b0 >> 5;
  out.alpha1 = (b0 >> 4) & 1;
  out.bitDepth = (b0 & 15) + 8;
  out.colorSpace = b1 >> 4;
  out.extensionPresent = (b1 >> 3) & 1;
  out.alpha2 = (b1 >> 2) & 1;
  out.limitedRange = (b1 >> 1) & 1;
  out.animation = b1 & 1;
  if (out.format > kFormat422Video) return Fail(error, "unknown pixel format");
  if (out.bitDepth > 14) return Fail(error, "unsupported bit depth");
  if (out.colorSpace > kColorYCbCrBT2020) return Fail(error, "unsupported colour space");
  if (out.HasWPlane()) return Fail(error, "W plane not supported");
  if (!c.Ue7(out.width) || !c.Ue7(out.height)) return Fail(error, "truncated header");
  if (out.width == 0 || out.height == 0) return Fail(error, "zero picture size");
  if (out.width > kMaxSide || out.height > kMaxSide) return Fail(error, "picture too large");
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] NAL units and pictures
//-----------------------------------------------------------------------------

// Index of the first start code (00 00 01, or 00 00 00 01) at or after from.
size_t FindStartCode(const uint8_t* data, size_t from, size_t end) {
  for (size_t i = from; i + 2 < end; ++i)
    if (data[i] == 0 && data[i + 1] == 0 && (data[i + 2] == 1 || (data[i + 2] == 0 && i + 3 < end &&
                                                                  data[i + 3] == 1)))
      return i;
  return end;
}

size_t StartCodeLength(const uint8_t* data, size_t at) { return data[at + 2] == 1 ? 3 : 4; }

// The data of the first NAL unit has no start code; every later one has.
std::vector<NalUnit> SplitNalUnits(const uint8_t* data, size_t begin, size_t end) {
  std::vector<NalUnit> nals;
  size_t at = begin;
  while (at < end) {
    const size_t stop = FindStartCode(data, at, end);
    if (stop - at >= 3) {
      NalUnit n;
      n.offset = uint32_t(at);
      n.size = uint32_t(stop - at);
      n.type = (data[at] >> 1) & 0x3F;
      n.layer = ((data[at] & 1) << 5) | (data[at + 1] >> 3);
      nals.push_back(n);
    }
    if (stop == end) break;
    at = stop + StartCodeLength(data, stop);
  }
  return nals;
}

bool IsVcl(const NalUnit& n) { return n.type < 32; }

bool KeepsNal(const NalUnit& n, bool alpha) {
  if (n.layer > (alpha ? 1 : 0)) return false;
  return IsVcl(n) || n.type == kNalPps;  // the rebuilt VPS/SPS stand in; SEI and the rest go
}

// A picture begins with the first slice of a layer that already has one.
void GroupPictures(const uint8_t* data, const std::vector<NalUnit>& nals, bool alpha,
                   std::vector<Picture>& pictures) {
  std::vector<NalUnit> pending;
  bool hasVcl[2] = {false, false};
  for (const NalUnit& n : nals) {
    if (!KeepsNal(n, alpha)) continue;
    if (!IsVcl(n)) {
      pending.push_back(n);
      continue;
    }
    const bool firstSlice = (data[n.offset + 2] & 0x80) != 0;
    if (pictures.empty() || (firstSlice && hasVcl[n.layer])) {
      pictures.emplace_back();
      hasVcl[0] = hasVcl[1] = false;
    }
    for (const NalUnit& p : pending) pictures.back().nals[p.layer].push_back(p);
    pending.clear();
    pictures.back().nals[n.layer].push_back(n);
    hasVcl[n.layer] = true;
  }
}

bool Complete(const Picture& p, bool alpha) {
  auto hasVcl = [](const std::vector<NalUnit>& list) {
    for (const NalUnit& n : list)
      if (IsVcl(n)) return true;
    return false;
  };
  return hasVcl(p.nals[0]) && (!alpha || hasVcl(p.nals[1]));
}

//-----------------------------------------------------------------------------
// [SECTION] Rebuilt parameter sets
//-----------------------------------------------------------------------------

void WriteNalHeader(BitWriter& w, int type) {
  w.Bits(1, 0);     // forbidden_zero_bit
  w.Bits(6, type);  // nal_unit_type
  w.Bits(6, 0);     // nuh_layer_id
  w.Bits(3, 1);     // nuh_temporal_id_plus1
}

void WriteProfileTierLevel(BitWriter& w, int profile) {
  w.Bits(2, 0);  // general_profile_space
  w.Bits(1, 0);  // general_tier_flag
  w.Bits(5, profile);
  w.Bits(32, 1u << (31 - profile));  // compatible with its own profile
  w.Bits(1, 1);  // progressive
  w.Bits(1, 0);  // interlaced
  w.Bits(1, 0);  // non-packed constraint
  w.Bits(1, 1);  // frame only
  w.Bits(32, 0);
  w.Bits(12, 0);  // 44 reserved bits
  w.Bits(8, 0);   // general_level_idc: unconstrained
}

// Main for 8-bit 4:2:0 and grey, the range extensions profile otherwise.
int ProfileFor(const Stream& s, int chromaFormatIdc) {
  return (s.bitDepth == 8 && chromaFormatIdc <= 1) ? 1 : 4;
}

uint32_t RoundUp(uint32_t v, uint32_t multiple) { return (v + multiple - 1) / multiple * multiple; }

void WritePcm(BitWriter& w, const HevcHeader& h) {
  w.Bits(4, h.pcmBitDepthLumaMinus1);
  w.Bits(4, h.pcmBitDepthChromaMinus1);
  w.Ue(h.log2MinPcmCbMinus3);
  w.Ue(h.log2DiffMaxMinPcmCb);
  w.Bits(1, h.pcmLoopFilterDisabled);
}

void WriteSpsExtension(BitWriter& w, const HevcHeader& h) {
  w.Bits(1, h.extensionPresent);
  if (!h.extensionPresent) return;
  w.Bits(1, h.rangeExtension);
  w.Bits(7, h.extension7Bits);
  if (h.rangeExtension) w.Bits(9, h.rangeExtensionFlags);
}

}  // namespace

size_t ReadUe7(const uint8_t* data, size_t size, uint32_t& value) {
  uint64_t v = 0;
  for (size_t i = 0; i < size && i < 5; ++i) {
    const uint8_t b = data[i];
    if (i == 0 && b == 0x80) return 0;  // a leading zero group is not canonical
    v = (v << 7) | (b & 0x7F);
    if (!(b & 0x80)) {
      if (v > 0xFFFFFFFFu) return 0;
      value = uint32_t(v);
      return i + 1;
    }
  }
  return 0;
}

int Stream::ChromaFormatIdc() const {
  static const int kIdc[6] = {0, 1, 2, 3, 1, 2};
  return kIdc[format];
}

bool ParseStream(const uint8_t* data, size_t size, Stream& out, std::string& error) {
  out = Stream();
  if (!data || size < 4) return Fail(error, "truncated header");
  for (int i = 0; i < 4; ++i)
    if (data[i] != kMagic[i]) return Fail(error, "not a BPG file");
  ByteCursor c(data + 4, size - 4);
  if (!ParseFixedFields(c, out, error)) return false;
  uint32_t dataLength = 0;
  if (!c.Ue7(dataLength)) return Fail(error, "truncated header");
  bool hasAnimationTag = false;
  if (out.extensionPresent) {
    uint32_t extLength = 0;
    if (!c.Ue7(extLength)) return Fail(error, "truncated header");
    const size_t at = 4 + c.pos();
    if (!c.Skip(extLength)) return Fail(error, "extension past the end");
    if (!ParseExtensions(data + at, extLength, out, hasAnimationTag, error)) return false;
  }
  if (out.animation && !hasAnimationTag) return Fail(error, "animation without its control extension");
  const size_t picStart = 4 + c.pos();
  if (dataLength && dataLength > c.left()) return Fail(error, "picture data past the end");
  if (out.HasAlpha() && !ParseHevcHeader(c, data + 4, out.alphaHeader, error)) return false;
  if (!ParseHevcHeader(c, data + 4, out.colorHeader, error)) return false;
  const size_t end = dataLength ? picStart + dataLength : size;
  const size_t nalStart = 4 + c.pos();
  if (nalStart >= end) return Fail(error, "no picture data");

  GroupPictures(data, SplitNalUnits(data, nalStart, end), out.HasAlpha(), out.pictures);
  size_t complete = 0;
  while (complete < out.pictures.size() && Complete(out.pictures[complete], out.HasAlpha()))
    ++complete;
  out.pictures.resize(complete);
  if (out.pictures.empty()) return Fail(error, "no picture in the data");
  // An animation of one picture has nothing to go on to: it is a still
  // picture, or each of its loops would decode the whole file again for the
  // same picture, at whatever rate its frame period asks.
  if (out.pictures.size() == 1) out.animation = false;
  if (!out.animation) {
    out.pictures.resize(1);
    out.framePeriodNum = 0;
    out.framePeriodDen = 1;
  }
  return true;
}

std::vector<uint8_t> BuildVps() {
  BitWriter w;
  WriteNalHeader(w, kNalVps);
  w.Bits(4, 0);       // vps_video_parameter_set_id
  w.Bits(2, 3);       // base layer internal and available
  w.Bits(6, 0);       // vps_max_layers_minus1
  w.Bits(3, 0);       // vps_max_sub_layers_minus1
  w.Bits(1, 1);       // vps_temporal_id_nesting_flag
  w.Bits(16, 0xFFFF);
  WriteProfileTierLevel(w, 1);
  w.Bits(1, 0);  // vps_sub_layer_ordering_info_present_flag
  w.Ue(0);       // vps_max_dec_pic_buffering_minus1
  w.Ue(0);       // vps_max_num_reorder_pics
  w.Ue(0);       // vps_max_latency_increase_plus1
  w.Bits(6, 0);  // vps_max_layer_id
  w.Ue(0);       // vps_num_layer_sets_minus1
  w.Bits(1, 0);  // vps_timing_info_present_flag
  w.Bits(1, 0);  // vps_extension_flag
  return w.Finish();
}

std::vector<uint8_t> BuildSps(const Stream& s, const HevcHeader& h, int chromaFormatIdc) {
  const uint32_t minCb = 8u << h.log2MinCbMinus3;
  BitWriter w;
  WriteNalHeader(w, kNalSps);
  w.Bits(4, 0);  // sps_video_parameter_set_id
  w.Bits(3, 0);  // sps_max_sub_layers_minus1
  w.Bits(1, 1);  // sps_temporal_id_nesting_flag
  WriteProfileTierLevel(w, ProfileFor(s, chromaFormatIdc));
  w.Ue(0);  // sps_seq_parameter_set_id
  w.Ue(chromaFormatIdc);
  if (chromaFormatIdc == 3) w.Bits(1, 0);  // separate_colour_plane_flag
  // The coded size is a whole number of coding blocks; the reader crops.
  w.Ue(RoundUp(s.width, minCb));
  w.Ue(RoundUp(s.height, minCb));
  w.Bits(1, 0);  // conformance_window_flag
  w.Ue(s.bitDepth - 8);
  w.Ue(s.bitDepth - 8);
  w.Ue(4);       // log2_max_pic_order_cnt_lsb_minus4
  w.Bits(1, 0);  // sps_sub_layer_ordering_info_present_flag
  w.Ue(1);       // sps_max_dec_pic_buffering_minus1: the reference and the current picture
  w.Ue(0);       // sps_max_num_reorder_pics
  w.Ue(0);       // sps_max_latency_increase_plus1
  w.Ue(h.log2MinCbMinus3);
  w.Ue(h.log2DiffMaxMinCb);
  w.Ue(h.log2MinTbMinus2);
  w.Ue(h.log2DiffMaxMinTb);
  w.Ue(h.maxTransformDepthIntra);  // max_transform_hierarchy_depth_inter
  w.Ue(h.maxTransformDepthIntra);
  w.Bits(1, 0);  // scaling_list_enabled_flag
  w.Bits(1, 1);  // amp_enabled_flag
  w.Bits(1, h.sampleAdaptiveOffset);
  w.Bits(1, h.pcmEnabled);
  if (h.pcmEnabled) WritePcm(w, h);
  w.Ue(0);       // num_short_term_ref_pic_sets: every slice codes its own
  w.Bits(1, 0);  // long_term_ref_pics_present_flag
  w.Bits(1, 1);  // sps_temporal_mvp_enabled_flag
  w.Bits(1, h.strongIntraSmoothing);
  w.Bits(1, 0);  // vui_parameters_present_flag
  WriteSpsExtension(w, h);
  return w.Finish();
}

}  // namespace bpg
