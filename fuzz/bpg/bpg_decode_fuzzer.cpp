// libFuzzer target for the BPG reader: the container parser, the rebuilt
// parameter sets, libde265 and the colour conversion, over the first frames
// of whatever the bytes hold (a few are enough to reach the inter pictures
// and the end of short streams), then again after decoding them anew.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "production/BpgDecoder.h"
#include "production/ScreenSchedule.h"

namespace {

void ReadAllFrames(BPGDecoderContext* s, const BPGImageInfo& info) {
  std::vector<uint8_t> row(size_t(info.width) * 4);
  for (int frame = 0; frame < 3 && bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32) == 0; ++frame)
    while (bpg_decoder_get_line(s, row.data()) == 0) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BPGDecoderContext* s = bpg_decoder_open();
  // The screen wall's limit: one slot.
  bpg_decoder_set_max_size(s, kSlotWidth, kSlotHeight);
  if (bpg_decoder_decode(s, data, int(size)) == 0) {
    BPGImageInfo info;
    bpg_decoder_get_info(s, &info);
    int num = 0, den = 0;
    bpg_decoder_get_frame_duration(s, &num, &den);
    ReadAllFrames(s, info);
    if (bpg_decoder_decode(s, data, int(size)) == 0) ReadAllFrames(s, info);
  }
  bpg_decoder_close(s);
  return 0;
}
