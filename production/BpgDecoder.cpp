// Our BPG reader over libde265.
//
// [SECTION] Context
// [SECTION] libde265 layers
// [SECTION] Public calls
#include "production/BpgDecoder.h"

#include <libde265/de265.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "production/BpgPixels.h"
#include "production/BpgStream.h"

//-----------------------------------------------------------------------------
// [SECTION] Context
//-----------------------------------------------------------------------------

namespace {

constexpr int kColourLayer = 0;
constexpr int kAlphaLayer = 1;

// One HEVC layer (colour or alpha) on its own libde265 decoder; the alpha
// layer's NAL units are renumbered to layer 0, which is all a single-layer
// decoder reads.
struct LayerDecoder {
  de265_decoder_context* ctx = nullptr;
  const de265_image* image = nullptr;  // the latest picture, owned by ctx

  void Release() {
    if (ctx) de265_free_decoder(ctx);
    ctx = nullptr;
    image = nullptr;
  }
};

}  // namespace

struct BPGDecoderContext {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  bpg::Stream stream;
  bool parsed = false;  // the header was read: get_info answers
  bool ready = false;   // frame 0 decoded: start may run
  uint32_t maxWidth = UINT32_MAX, maxHeight = UINT32_MAX;
  LayerDecoder layers[2];
  size_t decodedPicture = 0;  // index of the picture the layers hold
  bool startedOnce = false;   // the first start shows the picture decode made
  std::vector<uint8_t> rgba;  // the prepared frame, width x height x 4
  uint32_t nextLine = 0;
  uint32_t lineCount = 0;  // 0 until a start prepares a frame
};

//-----------------------------------------------------------------------------
// [SECTION] libde265 layers
//-----------------------------------------------------------------------------

namespace {

bool PushNal(de265_decoder_context* ctx, const uint8_t* data, size_t size, bool renumber) {
  if (!renumber) return de265_isOK(de265_push_NAL(ctx, data, int(size), 0, nullptr));
  std::vector<uint8_t> copy(data, data + size);
  copy[0] &= 0xFE;  // nuh_layer_id := 0
  copy[1] &= 0x07;
  return de265_isOK(de265_push_NAL(ctx, copy.data(), int(copy.size()), 0, nullptr));
}

bool OpenLayer(BPGDecoderContext* s, int layer) {
  LayerDecoder& d = s->layers[layer];
  d.Release();
  d.ctx = de265_new_decoder();
  if (!d.ctx) return false;
  de265_set_verbosity(0);
  const bpg::Stream& st = s->stream;
  const bool alpha = layer == kAlphaLayer;
  const std::vector<uint8_t> vps = bpg::BuildVps();
  const std::vector<uint8_t> sps =
      bpg::BuildSps(st, alpha ? st.alphaHeader : st.colorHeader, alpha ? 0 : st.ChromaFormatIdc());
  return PushNal(d.ctx, vps.data(), vps.size(), false) && PushNal(d.ctx, sps.data(), sps.size(), false);
}

// Feeds one picture of one layer and decodes until libde265 hands it out.
bool DecodeLayerPicture(BPGDecoderContext* s, int layer, size_t picture) {
  LayerDecoder& d = s->layers[layer];
  if (d.image) de265_release_next_picture(d.ctx);
  d.image = nullptr;
  for (const bpg::NalUnit& n : s->stream.pictures[picture].nals[layer])
    if (!PushNal(d.ctx, s->bytes + n.offset, n.size, layer == kAlphaLayer)) return false;
  de265_push_end_of_frame(d.ctx);
  for (;;) {
    int more = 0;
    const de265_error err = de265_decode(d.ctx, &more);
    d.image = de265_peek_next_picture(d.ctx);
    if (d.image) return true;
    if (err == DE265_ERROR_WAITING_FOR_INPUT_DATA || !more) return false;
    if (!de265_isOK(err)) return false;
  }
}

bool DecodePicture(BPGDecoderContext* s, size_t picture) {
  if (picture >= s->stream.pictures.size()) return false;
  if (!DecodeLayerPicture(s, kColourLayer, picture)) return false;
  if (s->stream.HasAlpha() && !DecodeLayerPicture(s, kAlphaLayer, picture)) return false;
  s->decodedPicture = picture;
  return true;
}

bpg::PlaneView Plane(const de265_image* img, int channel) {
  bpg::PlaneView p;
  p.data = de265_get_image_plane(img, channel, &p.stride);
  p.width = de265_get_image_width(img, channel);
  p.height = de265_get_image_height(img, channel);
  p.bitDepth = de265_get_bits_per_pixel(img, channel);
  return p;
}

// The decoded planes must cover the picture and match the header's depth;
// a stream whose slices say otherwise is refused rather than read past.
bool PlanesFit(const bpg::PlaneView& p, const bpg::Stream& st, uint32_t w, uint32_t h) {
  return p.data && p.width >= int(w) && p.height >= int(h) && p.bitDepth == st.bitDepth;
}

bool ConvertPicture(BPGDecoderContext* s) {
  const bpg::Stream& st = s->stream;
  const de265_image* img = s->layers[kColourLayer].image;
  const bool grey = st.format == bpg::kFormatGray;
  if (int(de265_get_chroma_format(img)) != st.ChromaFormatIdc()) return false;
  bpg::PlaneView planes[3];
  planes[0] = Plane(img, 0);
  if (!PlanesFit(planes[0], st, st.width, st.height)) return false;
  if (!grey) {
    const uint32_t sx = st.format == bpg::kFormat444 ? 0 : 1;
    const uint32_t sy = (st.format == bpg::kFormat420 || st.format == bpg::kFormat420Video) ? 1 : 0;
    for (int c = 1; c < 3; ++c) {
      planes[c] = Plane(img, c);
      if (!PlanesFit(planes[c], st, (st.width + sx) >> sx, (st.height + sy) >> sy)) return false;
      // Only the part under the picture takes part (the coded size is larger).
      planes[c].width = int((st.width + sx) >> sx);
      planes[c].height = int((st.height + sy) >> sy);
    }
  }
  bpg::PlaneView alpha;
  if (st.HasAlpha()) {
    alpha = Plane(s->layers[kAlphaLayer].image, 0);
    if (!PlanesFit(alpha, st, st.width, st.height)) return false;
  }
  bpg::PixelLayout layout;
  layout.format = st.format;
  layout.colorSpace = st.colorSpace;
  layout.bitDepth = st.bitDepth;
  layout.limitedRange = st.limitedRange;
  layout.premultiplied = st.Premultiplied();
  s->rgba.resize(size_t(st.width) * st.height * 4);
  bpg::ConvertToRgba(layout, planes, st.HasAlpha() ? &alpha : nullptr, int(st.width),
                     int(st.height), s->rgba.data());
  return true;
}

void ReleaseLayers(BPGDecoderContext* s) {
  for (LayerDecoder& d : s->layers) d.Release();
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Public calls
//-----------------------------------------------------------------------------

BPGDecoderContext* bpg_decoder_open() { return new BPGDecoderContext(); }

void bpg_decoder_set_max_size(BPGDecoderContext* s, uint32_t max_width, uint32_t max_height) {
  if (!s) return;
  s->maxWidth = max_width;
  s->maxHeight = max_height;
}

int bpg_decoder_decode(BPGDecoderContext* s, const uint8_t* buf, int buf_len) {
  if (!s) return -1;
  ReleaseLayers(s);
  s->parsed = s->ready = false;
  s->lineCount = s->nextLine = 0;
  if (!buf || buf_len <= 0) return -1;
  std::string error;
  if (!bpg::ParseStream(buf, size_t(buf_len), s->stream, error)) return -1;
  s->bytes = buf;
  s->size = size_t(buf_len);
  s->parsed = true;
  // A few header bytes may declare any size; decoding and converting that
  // size would cost its full time and memory, so the header alone decides.
  if (s->stream.width > s->maxWidth || s->stream.height > s->maxHeight) return -1;
  const bool opened = OpenLayer(s, kColourLayer) && (!s->stream.HasAlpha() || OpenLayer(s, kAlphaLayer));
  if (!opened || !DecodePicture(s, 0)) {
    ReleaseLayers(s);
    s->parsed = false;
    return -1;
  }
  s->ready = true;
  return 0;
}

int bpg_decoder_get_info(BPGDecoderContext* s, BPGImageInfo* p) {
  if (!s || !p || !s->parsed) return -1;
  const bpg::Stream& st = s->stream;
  *p = BPGImageInfo();
  p->width = st.width;
  p->height = st.height;
  p->format = uint8_t(st.format);
  p->has_alpha = st.HasAlpha();
  p->color_space = uint8_t(st.colorSpace);
  p->bit_depth = uint8_t(st.bitDepth);
  p->premultiplied_alpha = st.Premultiplied();
  p->has_w_plane = st.HasWPlane();
  p->limited_range = st.limitedRange;
  p->has_animation = st.animation;
  p->loop_count = uint16_t(st.loopCount);
  return 0;
}

void bpg_decoder_get_frame_duration(BPGDecoderContext* s, int* pnum, int* pden) {
  const bool known = s && s->parsed;
  if (pnum) *pnum = known ? int(s->stream.framePeriodNum) : 0;
  if (pden) *pden = known ? int(s->stream.framePeriodDen) : 1;
}

int bpg_decoder_start(BPGDecoderContext* s, BPGDecoderOutputFormat out_fmt) {
  if (!s || !s->ready || out_fmt != BPG_OUTPUT_FORMAT_RGBA32) return -1;
  s->lineCount = s->nextLine = 0;
  if (s->startedOnce && !DecodePicture(s, s->decodedPicture + 1)) return -1;
  s->startedOnce = true;
  if (!ConvertPicture(s)) return -1;
  s->lineCount = s->stream.height;
  return 0;
}

int bpg_decoder_get_line(BPGDecoderContext* s, void* rgb_line) {
  if (!s || !rgb_line || s->nextLine >= s->lineCount) return -1;
  const size_t row = size_t(s->stream.width) * 4;
  std::memcpy(rgb_line, s->rgba.data() + row * s->nextLine, row);
  ++s->nextLine;
  return 0;
}

void bpg_decoder_close(BPGDecoderContext* s) {
  if (!s) return;
  ReleaseLayers(s);
  delete s;
}
