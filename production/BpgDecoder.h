// Our BPG reader: the six calls the screen wall makes on a BPG file, over
// libde265.
//
// Besides those six, the caller may set the largest picture it takes.
//
// The calls keep the semantics the screen wall relies on: decode reads the
// header and decodes frame 0; the first start after it shows that frame and
// every later start decodes the next frame of an animation, failing when
// none is left; get line hands out one 8-bit RGBA row at a time and fails
// once every row is out; decoding the bytes again restarts the stream, and
// the start after that goes on with frame 1 (frame 0 is only the reference
// the next frames are predicted from).
//
// Depends on BpgStream (container), BpgPixels (colour conversion) and
// libde265. Owns one libde265 decoder per layer (colour, alpha) and the
// converted RGBA picture. No GL, no file system; one decoder is used by one
// thread at a time.
#pragma once
#include <cstdint>

struct BPGDecoderContext;

struct BPGImageInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t format = 0;  // bpg::PixelFormat
  uint8_t has_alpha = 0;
  uint8_t color_space = 0;  // bpg::ColorSpace
  uint8_t bit_depth = 0;
  uint8_t premultiplied_alpha = 0;
  uint8_t has_w_plane = 0;
  uint8_t limited_range = 0;
  uint8_t has_animation = 0;
  uint16_t loop_count = 0;
};

// Output formats of bpg_decoder_start: 8-bit RGBA is the only one.
enum BPGDecoderOutputFormat {
  BPG_OUTPUT_FORMAT_RGBA32 = 1,
};

BPGDecoderContext* bpg_decoder_open();
// The largest picture the caller takes (none by default). Decode refuses a
// larger one from its header, before anything is decoded.
void bpg_decoder_set_max_size(BPGDecoderContext* s, uint32_t max_width, uint32_t max_height);
// Parses the header and decodes frame 0 from the whole file. 0 on success,
// -1 on a refused header, a picture larger than the maximum size or one
// that does not decode. The bytes must stay alive while the decoder reads
// later frames from them.
int bpg_decoder_decode(BPGDecoderContext* s, const uint8_t* buf, int buf_len);
// The header's values; also after a refusal for size, so that the caller
// can say what it refused. -1 when no header was read.
int bpg_decoder_get_info(BPGDecoderContext* s, BPGImageInfo* p);
// num / den seconds a frame (0 / 1 for a still image).
void bpg_decoder_get_frame_duration(BPGDecoderContext* s, int* pnum, int* pden);
// Prepares a frame for get_line (see above). 0 on success, -1 when there is
// no frame left or it failed to decode.
int bpg_decoder_start(BPGDecoderContext* s, BPGDecoderOutputFormat out_fmt);
// Writes the next row (width x 4 bytes) into rgb_line. 0 on success, -1
// when no row is left.
int bpg_decoder_get_line(BPGDecoderContext* s, void* rgb_line);
void bpg_decoder_close(BPGDecoderContext* s);
