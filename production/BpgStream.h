// The BPG container: header, extensions, the stripped HEVC headers and the
// picture data split into pictures.
//
// Plain bytes in, plain values out: no decoder, no GL, no file system. A BPG
// file keeps only a few fields of each HEVC sequence parameter set (the rest
// is fixed by the format), so this module also rebuilds the VPS and SPS NAL
// units that a stock HEVC decoder needs before the file's own PPS and slices.
// Depends on nothing but the standard library; owns nothing beyond the
// parsed values (NAL units are offsets into the caller's bytes).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bpg {

// Pixel formats of the header, in the container's numbering.
enum PixelFormat {
  kFormatGray = 0,
  kFormat420 = 1,       // chroma centred between luma samples
  kFormat422 = 2,
  kFormat444 = 3,
  kFormat420Video = 4,  // chroma co-sited with even luma columns
  kFormat422Video = 5,
};

enum ColorSpace {
  kColorYCbCr = 0,  // BT.601
  kColorRGB = 1,
  kColorYCgCo = 2,
  kColorYCbCrBT709 = 3,
  kColorYCbCrBT2020 = 4,
};

// The fields of one HEVC sequence the container keeps.
struct HevcHeader {
  uint32_t log2MinCbMinus3 = 0;
  uint32_t log2DiffMaxMinCb = 0;
  uint32_t log2MinTbMinus2 = 0;
  uint32_t log2DiffMaxMinTb = 0;
  uint32_t maxTransformDepthIntra = 0;
  bool sampleAdaptiveOffset = false;
  bool pcmEnabled = false;
  uint32_t pcmBitDepthLumaMinus1 = 0, pcmBitDepthChromaMinus1 = 0;
  uint32_t log2MinPcmCbMinus3 = 0, log2DiffMaxMinPcmCb = 0;
  bool pcmLoopFilterDisabled = false;
  bool strongIntraSmoothing = false;
  bool extensionPresent = false;
  bool rangeExtension = false;
  uint32_t extension7Bits = 0;
  uint32_t rangeExtensionFlags = 0;  // the nine range-extension flags, first in the high bit
};

// One NAL unit: its bytes are data[offset .. offset + size) of the file.
struct NalUnit {
  uint32_t offset = 0;
  uint32_t size = 0;
  int type = 0;
  int layer = 0;  // 0 colour, 1 alpha
};

// One picture: the NAL units of each layer (PPS and slices).
struct Picture {
  std::vector<NalUnit> nals[2];
};

struct Stream {
  int format = 0;
  bool alpha1 = false, alpha2 = false;
  int bitDepth = 8;
  int colorSpace = 0;
  bool extensionPresent = false;
  bool limitedRange = false;
  bool animation = false;
  uint32_t width = 0, height = 0;
  uint32_t loopCount = 0;
  uint32_t framePeriodNum = 0, framePeriodDen = 1;

  bool HasAlpha() const { return alpha1; }
  bool Premultiplied() const { return alpha1 && alpha2; }
  bool HasWPlane() const { return !alpha1 && alpha2; }
  int ChromaFormatIdc() const;  // 0 grey, 1 4:2:0, 2 4:2:2, 3 4:4:4

  HevcHeader alphaHeader;  // only with alpha
  HevcHeader colorHeader;
  std::vector<Picture> pictures;
};

// Largest picture side accepted; larger sizes are refused as corrupt rather
// than handed to the allocator.
constexpr uint32_t kMaxSide = 16384;

// Parses a whole file. False, with a reason, on bad magic, truncation,
// non-canonical numbers, zero sizes, an extension past the end, an
// unsupported format or a stream without a picture.
bool ParseStream(const uint8_t* data, size_t size, Stream& out, std::string& error);

// The VPS and SPS (without start codes, with emulation prevention) that
// stand in for the stripped ones of one layer: chroma format 0 for the
// alpha layer, the stream's for the colour layer.
std::vector<uint8_t> BuildVps();
std::vector<uint8_t> BuildSps(const Stream& stream, const HevcHeader& header, int chromaFormatIdc);

// Reads one container number (7 bits a byte, high bit = more follows, at
// most 32 bits, no leading 0x80). Returns the bytes used, 0 on failure.
size_t ReadUe7(const uint8_t* data, size_t size, uint32_t& value);

}  // namespace bpg
