// The BPG reader on real files of the reference encoder (compared with the
// reference decoder's PNGs), its frame and line semantics, and refused
// headers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/BpgTestFiles.h"
#include "production/BpgDecoder.h"
#include "production/BpgStream.h"

namespace {

// Reads every row of the prepared frame; fails the test when a row is missing.
RgbaPicture ReadFrame(BPGDecoderContext* s, const BPGImageInfo& info) {
  RgbaPicture out;
  out.width = int(info.width);
  out.height = int(info.height);
  out.pixels.resize(size_t(info.width) * info.height * 4);
  for (uint32_t y = 0; y < info.height; ++y)
    EXPECT_EQ(bpg_decoder_get_line(s, &out.pixels[size_t(y) * info.width * 4]), 0) << "row " << y;
  return out;
}

struct SharedFile {
  const char* stem;
  uint32_t width, height;
  int format;
  bool alpha;
  int frames;  // 1 for a still image
  int periodNum, periodDen;
};

const SharedFile kSharedFiles[] = {
    {"still420", 256, 200, bpg::kFormat420, false, 1, 0, 1},
    {"odd_251x189", 251, 189, bpg::kFormat420, false, 1, 0, 1},
    {"gray", 256, 200, bpg::kFormatGray, false, 1, 0, 1},
    {"anim420", 256, 200, bpg::kFormat420, false, 8, 1, 10},
    {"clock", 150, 150, bpg::kFormat420, true, 40, 1, 20},
};

}  // namespace

TEST(BpgReader, SharedFilesDecodeEveryFrameCloseToTheReference) {
  for (const SharedFile& f : kSharedFiles) {
    SCOPED_TRACE(f.stem);
    const std::vector<uint8_t> bytes = ReadBytes(SharedBpg(std::string(f.stem) + ".bpg"));
    ASSERT_FALSE(bytes.empty());
    BPGDecoderContext* s = bpg_decoder_open();
    ASSERT_EQ(bpg_decoder_decode(s, bytes.data(), int(bytes.size())), 0);
    BPGImageInfo info;
    ASSERT_EQ(bpg_decoder_get_info(s, &info), 0);
    EXPECT_EQ(info.width, f.width);
    EXPECT_EQ(info.height, f.height);
    EXPECT_EQ(info.format, f.format);
    EXPECT_EQ(info.has_alpha, f.alpha);
    EXPECT_EQ(info.has_animation, f.frames > 1);
    int num = -1, den = -1;
    bpg_decoder_get_frame_duration(s, &num, &den);
    EXPECT_EQ(num, f.periodNum);
    EXPECT_EQ(den, f.periodDen);
    for (int frame = 0; frame < f.frames; ++frame) {
      SCOPED_TRACE(frame);
      ASSERT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), 0);
      const RgbaPicture ours = ReadFrame(s, info);
      const RgbaPicture ref = LoadReference(f.stem, f.frames > 1, frame);
      ASSERT_EQ(ref.width, ours.width);
      ASSERT_EQ(ref.height, ours.height);
      const Difference d = Compare(ours, ref);
      EXPECT_LE(d.max, kMaxChannelDifference);
      EXPECT_LE(d.over1, kMaxShareOver1);
    }
    EXPECT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), -1) << "no frame after the last";
    bpg_decoder_close(s);
  }
}

TEST(BpgReader, RowsRunOutAfterTheLastLineAndBeforeAnyStart) {
  const std::vector<uint8_t> bytes = ReadBytes(SharedBpg("odd_251x189.bpg"));
  BPGDecoderContext* s = bpg_decoder_open();
  ASSERT_EQ(bpg_decoder_decode(s, bytes.data(), int(bytes.size())), 0);
  std::vector<uint8_t> row(251 * 4);
  EXPECT_EQ(bpg_decoder_get_line(s, row.data()), -1) << "no frame prepared yet";
  ASSERT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), 0);
  for (int y = 0; y < 189; ++y) ASSERT_EQ(bpg_decoder_get_line(s, row.data()), 0);
  EXPECT_EQ(bpg_decoder_get_line(s, row.data()), -1);
  EXPECT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), -1) << "a still image has one frame";
  bpg_decoder_close(s);
}

TEST(BpgReader, DecodingAgainAfterTheEndContinuesAtFrameOne) {
  const std::vector<uint8_t> bytes = ReadBytes(SharedBpg("anim420.bpg"));
  BPGDecoderContext* s = bpg_decoder_open();
  ASSERT_EQ(bpg_decoder_decode(s, bytes.data(), int(bytes.size())), 0);
  BPGImageInfo info;
  bpg_decoder_get_info(s, &info);
  int frames = 0;
  while (bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32) == 0) ++frames;
  EXPECT_EQ(frames, 8);
  ASSERT_EQ(bpg_decoder_decode(s, bytes.data(), int(bytes.size())), 0);
  const int expected[] = {1, 2, 3, 4, 5, 6, 7};
  for (int frame : expected) {
    SCOPED_TRACE(frame);
    ASSERT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), 0);
    EXPECT_TRUE(CloseToReference(ReadFrame(s, info), LoadReference("anim420", true, frame)));
  }
  EXPECT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), -1);
  bpg_decoder_close(s);
}

TEST(BpgReader, ContainerNumbersAreCanonical) {
  struct Case {
    std::vector<uint8_t> bytes;
    size_t used;
    uint32_t value;
  };
  const Case cases[] = {
      {{0x00}, 1, 0},
      {{0x7F}, 1, 127},
      {{0x81, 0x00}, 2, 128},
      {{0x82, 0x00}, 2, 256},
      {{0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, 5, 0xFFFFFFFFu},
      {{0x80, 0x01}, 0, 0},                    // leading zero group
      {{0x81}, 0, 0},                          // truncated
      {{0x90, 0x80, 0x80, 0x80, 0x00}, 0, 0},  // above 32 bits
      {{0x81, 0x81, 0x81, 0x81, 0x81, 0x01}, 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t v = 12345;
    const size_t used = bpg::ReadUe7(c.bytes.data(), c.bytes.size(), v);
    EXPECT_EQ(used, c.used);
    if (c.used) {
      EXPECT_EQ(v, c.value);
    }
  }
}

TEST(BpgReader, BrokenHeadersAreRefused) {
  // still420.bpg: magic, 0x20 0x00, width 82 00, height 81 48, length 00,
  // then the HEVC header length 03 at byte 11.
  const std::vector<uint8_t> still = ReadBytes(SharedBpg("still420.bpg"));
  ASSERT_GT(still.size(), 20u);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"bad magic", Patched(still, 0, 1, {0x43})},
      {"width with a leading 0x80", Patched(still, 6, 2, {0x80, 0x82, 0x00})},
      {"zero width", Patched(still, 6, 2, {0x00})},
      {"zero height", Patched(still, 8, 2, {0x00})},
      {"extension past the end", Patched(Patched(still, 5, 1, {0x08}), 11, 0, {0x81, 0x80, 0x80, 0x00})},
      {"extension entry past its block", Patched(Patched(still, 5, 1, {0x08}), 11, 0, {0x02, 0x01, 0x09})},
      {"animation without its extension", Patched(still, 5, 1, {0x01})},
      {"zero frame period denominator",
       Patched(Patched(still, 5, 1, {0x09}), 11, 0, {0x05, 0x05, 0x03, 0x00, 0x01, 0x00})},
      {"picture data past the end", Patched(still, 10, 1, {0x81, 0x80, 0x80, 0x00})},
      {"HEVC header past the end", Patched(still, 11, 1, {0x81, 0x80, 0x80, 0x00})},
      {"W plane", Patched(still, 5, 1, {0x04})},
      {"unknown pixel format", Patched(still, 4, 1, {0xC0})},
      {"unknown colour space", Patched(still, 5, 1, {0x60})},
      {"header only", std::vector<uint8_t>(still.begin(), still.begin() + 15)},
      {"empty", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BPGDecoderContext* s = bpg_decoder_open();
    EXPECT_EQ(bpg_decoder_decode(s, c.bytes.data(), int(c.bytes.size())), -1);
    BPGImageInfo info;
    EXPECT_EQ(bpg_decoder_get_info(s, &info), -1);
    EXPECT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), -1);
    bpg_decoder_close(s);
  }
}

TEST(BpgReader, EveryTruncationOfAnAnimationIsRefusedOrDecodesWhatIsThere) {
  const std::vector<uint8_t> anim = ReadBytes(SharedBpg("anim420.bpg"));
  BPGDecoderContext* s = bpg_decoder_open();
  for (size_t len = 0; len < anim.size(); len += 29) {
    std::vector<uint8_t> cut(anim.begin(), anim.begin() + len);
    if (bpg_decoder_decode(s, cut.data(), int(cut.size())) != 0) continue;
    BPGImageInfo info;
    ASSERT_EQ(bpg_decoder_get_info(s, &info), 0);
    std::vector<uint8_t> row(info.width * 4);
    int frames = 0;
    while (bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32) == 0 && frames < 100) {
      ++frames;
      while (bpg_decoder_get_line(s, row.data()) == 0) {
      }
    }
    EXPECT_LE(frames, 8) << "length " << len;
  }
  bpg_decoder_close(s);
}

TEST(BpgReader, APictureLargerThanTheCallerTakesIsRefusedFromItsHeader) {
  // still420.bpg declaring 16384 x 16384 (width and height 81 80 00): the
  // picture data stays that of 256 x 200, which decoding at the declared
  // size would spend seconds and gigabytes on.
  const std::vector<uint8_t> still = ReadBytes(SharedBpg("still420.bpg"));
  const std::vector<uint8_t> huge = HugeDeclaredBpg();
  struct Case {
    const char* what;
    const std::vector<uint8_t>& bytes;
    uint32_t width;  // as the header tells it
    uint32_t maxWidth, maxHeight;
    int result;
  };
  const Case cases[] = {{"16384 x 16384 past 256 x 200", huge, 16384, 256, 200, -1},
                        {"256 x 200 past 255 x 200", still, 256, 255, 200, -1},
                        {"256 x 200 past 256 x 199", still, 256, 256, 199, -1},
                        {"256 x 200 within 256 x 200", still, 256, 256, 200, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BPGDecoderContext* s = bpg_decoder_open();
    bpg_decoder_set_max_size(s, c.maxWidth, c.maxHeight);
    EXPECT_EQ(bpg_decoder_decode(s, c.bytes.data(), int(c.bytes.size())), c.result);
    BPGImageInfo info;
    ASSERT_EQ(bpg_decoder_get_info(s, &info), 0) << "the header is still told";
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), c.result);
    bpg_decoder_close(s);
  }
}

TEST(BpgReader, AnAnimationOfOnePictureIsAStillPicture) {
  // still420.bpg flagged as an animation with a 1/10 s period: there is no
  // next frame to loop to, so it is told and read as a still picture.
  const std::vector<uint8_t> still = ReadBytes(SharedBpg("still420.bpg"));
  const std::vector<uint8_t> one = Patched(Patched(still, 5, 1, {0x09}), 11, 0, {0x05, 0x05, 0x03, 0x00, 0x01, 0x0A});
  BPGDecoderContext* s = bpg_decoder_open();
  ASSERT_EQ(bpg_decoder_decode(s, one.data(), int(one.size())), 0);
  BPGImageInfo info;
  ASSERT_EQ(bpg_decoder_get_info(s, &info), 0);
  EXPECT_EQ(info.has_animation, 0);
  int num = -1, den = -1;
  bpg_decoder_get_frame_duration(s, &num, &den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(den, 1);
  EXPECT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), 0);
  EXPECT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), -1);
  bpg_decoder_close(s);
}
