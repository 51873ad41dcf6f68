// The reader on files of our own writer over x265, checked against what the
// encoder holds: the planes that went into lossless files, and x265's own
// reconstruction of lossy ones (so a fault of the writer cannot hide one of
// the reader). Covers 4:4:4, grey, 10 bits, every frame of an animation and
// its loop, and a picture too wide for the screen wall.
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "support/BpgTestFiles.h"
#include "production/BpgDecoder.h"
#include "production/ProductionClasses.h"
#include "production/fxPinvaleScreens.h"
#include "support/DefaultTargetFixture.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

namespace {

std::string WriterFile(const std::string& name) { return std::string(VELMORA_BPG_TESTFILES) + "/" + name; }

// Planes of one picture, as ints.
struct Planes {
  int width = 0, height = 0, chromaWidth = 0, chromaHeight = 0;
  std::vector<int> p[3];
};

// The frames of x265's reconstruction (8-bit Y4M).
std::vector<Planes> ReadY4m(const std::string& path) {
  const std::string bytes = ReadBytesAsString(path);
  const size_t eol = bytes.find('\n');
  const std::string header = bytes.substr(0, eol);
  Planes shape;
  std::sscanf(header.c_str() + header.find(" W") + 2, "%d", &shape.width);
  std::sscanf(header.c_str() + header.find(" H") + 2, "%d", &shape.height);
  const bool full = header.find("C444") != std::string::npos;
  shape.chromaWidth = full ? shape.width : (shape.width + 1) / 2;
  shape.chromaHeight = full ? shape.height : (shape.height + 1) / 2;
  std::vector<Planes> frames;
  size_t at = eol + 1;
  while (bytes.compare(at, 6, "FRAME\n") == 0) {
    at += 6;
    Planes f = shape;
    for (int c = 0; c < 3; ++c) {
      const size_t n = size_t(c ? f.chromaWidth * f.chromaHeight : f.width * f.height);
      for (size_t i = 0; i < n; ++i) f.p[c].push_back(uint8_t(bytes[at + i]));
      at += n;
    }
    frames.push_back(f);
  }
  return frames;
}

// BPG's YCbCr (BT.601, full range) written straight from its definition.
std::array<int, 3> ToRgb(double y, double cb, double cr) {
  const double rgb[3] = {y + 1.402 * (cr - 128), y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128),
                         y + 1.772 * (cb - 128)};
  std::array<int, 3> out;
  for (int i = 0; i < 3; ++i) out[i] = int(std::lround(std::fmin(std::fmax(rgb[i], 0.0), 255.0)));
  return out;
}

struct Decoded {
  BPGImageInfo info;
  std::vector<RgbaPicture> frames;
};

Decoded DecodeAll(const std::vector<uint8_t>& bytes) {
  Decoded d;
  BPGDecoderContext* s = bpg_decoder_open();
  EXPECT_EQ(bpg_decoder_decode(s, bytes.data(), int(bytes.size())), 0);
  bpg_decoder_get_info(s, &d.info);
  while (bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32) == 0 && d.frames.size() < 100) {
    RgbaPicture p;
    p.width = int(d.info.width);
    p.height = int(d.info.height);
    p.pixels.resize(size_t(p.width) * p.height * 4);
    for (int y = 0; y < p.height; ++y) EXPECT_EQ(bpg_decoder_get_line(s, &p.pixels[size_t(y) * p.width * 4]), 0);
    d.frames.push_back(p);
  }
  bpg_decoder_close(s);
  return d;
}

int MaxDifference(const RgbaPicture& pic, int x, int y, const std::array<int, 3>& rgb) {
  const uint8_t* px = &pic.pixels[(size_t(y) * pic.width + x) * 4];
  int d = 0;
  for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(px[c]) - rgb[c]));
  return d;
}

}  // namespace

TEST(BpgWriterFiles, LosslessPicturesDecodeToTheirInputPlanes) {
  // 4:2:0 with flat chroma: every output pixel follows from its luma alone.
  const Decoded d420 = DecodeAll(ReadBytes(WriterFile("lossless420.bpg")));
  ASSERT_EQ(d420.frames.size(), 1u);
  EXPECT_EQ(d420.info.format, 1);
  const std::vector<uint8_t> in420 = ReadBytes(WriterFile("lossless420.yuv"));
  int worst = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 66; ++x) worst = std::max(worst, MaxDifference(d420.frames[0], x, y, ToRgb(in420[size_t(y) * 66 + x], 100, 160)));
  EXPECT_LE(worst, 1);

  const Decoded grey = DecodeAll(ReadBytes(WriterFile("lossless_gray.bpg")));
  ASSERT_EQ(grey.frames.size(), 1u);
  const std::vector<uint8_t> inGrey = ReadBytes(WriterFile("lossless_gray.yuv"));
  for (size_t i = 0; i < inGrey.size(); ++i) {
    ASSERT_EQ(grey.frames[0].pixels[4 * i], inGrey[i]) << i;
    ASSERT_EQ(grey.frames[0].pixels[4 * i + 3], 255);
  }

  // 10 bits, 4:4:4: samples are brought down to 8 bits.
  const Decoded d10 = DecodeAll(ReadBytes(WriterFile("lossless10.bpg")));
  ASSERT_EQ(d10.frames.size(), 1u);
  EXPECT_EQ(d10.info.bit_depth, 10);
  EXPECT_EQ(d10.info.format, 3);
  const std::vector<uint8_t> raw10 = ReadBytes(WriterFile("lossless10.yuv"));
  const size_t n = 34 * 20;
  auto sample = [&](int c, size_t i) { return (raw10[2 * (c * n + i)] | (raw10[2 * (c * n + i) + 1] << 8)) / 4.0; };
  worst = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 34; ++x) {
      const size_t i = size_t(y) * 34 + x;
      worst = std::max(worst, MaxDifference(d10.frames[0], x, y, ToRgb(sample(0, i), sample(1, i), sample(2, i))));
    }
  EXPECT_LE(worst, 1);
}

TEST(BpgWriterFiles, LossyFramesMatchTheEncodersReconstruction) {
  // 4:4:4: every channel of every frame.
  const Decoded d444 = DecodeAll(ReadBytes(WriterFile("lossy444.bpg")));
  const std::vector<Planes> recon444 = ReadY4m(WriterFile("lossy444.y4m"));
  ASSERT_EQ(recon444.size(), 3u);
  ASSERT_EQ(d444.frames.size(), 3u) << "every frame, then no more";
  EXPECT_TRUE(d444.info.has_animation);
  for (size_t f = 0; f < 3; ++f) {
    int worst = 0;
    const Planes& r = recon444[f];
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x) {
        const size_t i = size_t(y) * r.width + x;
        worst = std::max(worst, MaxDifference(d444.frames[f], x, y, ToRgb(r.p[0][i], r.p[1][i], r.p[2][i])));
      }
    EXPECT_LE(worst, 1) << "frame " << f;
  }
  // 4:2:0: the luma recovered from the decoded colours is the encoder's
  // (the chroma upsampling cancels out of it).
  const Decoded d420 = DecodeAll(ReadBytes(WriterFile("lossy420.bpg")));
  const std::vector<Planes> recon420 = ReadY4m(WriterFile("lossy420.y4m"));
  ASSERT_EQ(recon420.size(), 4u);
  ASSERT_EQ(d420.frames.size(), 4u);
  for (size_t f = 0; f < 4; ++f) {
    int worst = 0, compared = 0;
    for (int i = 0; i < 66 * 50; ++i) {
      const uint8_t* px = &d420.frames[f].pixels[size_t(i) * 4];
      // A clamped channel has lost part of the luma.
      if (std::min({px[0], px[1], px[2]}) == 0 || std::max({px[0], px[1], px[2]}) == 255) continue;
      const double y = 0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2];
      worst = std::max(worst, int(std::lround(std::fabs(y - recon420[f].p[0][size_t(i)]))));
      ++compared;
    }
    EXPECT_LE(worst, 2) << "frame " << f;
    EXPECT_GT(compared, 66 * 50 / 2) << "frame " << f;
  }
}

TEST(BpgWriterFiles, TheLoopRestartsAtFrameOne) {
  const std::vector<uint8_t> bytes = ReadBytes(WriterFile("lossy444.bpg"));
  const Decoded all = DecodeAll(bytes);
  ASSERT_EQ(all.frames.size(), 3u);
  BPGDecoderContext* s = bpg_decoder_open();
  ASSERT_EQ(bpg_decoder_decode(s, bytes.data(), int(bytes.size())), 0);
  while (bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32) == 0) {
  }
  ASSERT_EQ(bpg_decoder_decode(s, bytes.data(), int(bytes.size())), 0);
  ASSERT_EQ(bpg_decoder_start(s, BPG_OUTPUT_FORMAT_RGBA32), 0);
  std::vector<uint8_t> row(66 * 4);
  for (int y = 0; y < 50; ++y) {
    ASSERT_EQ(bpg_decoder_get_line(s, row.data()), 0);
    ASSERT_EQ(std::memcmp(row.data(), &all.frames[1].pixels[size_t(y) * 66 * 4], row.size()), 0) << y;
  }
  bpg_decoder_close(s);
}

namespace {

class WallWithWriterFiles : public DefaultTargetTest {
 protected:
  WallWithWriterFiles() : DefaultTargetTest(64, 64) {}
};

}  // namespace

TEST_F(WallWithWriterFiles, APictureWiderThanASlotIsRefusedWithOneLine) {
  RegisterProductionClasses(GetClassRegistry());
  TempDir dir;
  // A few header bytes declaring 16384 x 16384 (width and height 81 80 00
  // in place of lossy444's 42 32) are refused the same way, before the
  // picture is decoded at that size.
  const std::vector<uint8_t> lossy = ReadBytes(WriterFile("lossy444.bpg"));
  ASSERT_EQ(lossy[6], 0x42);
  const std::vector<uint8_t> huge = Patched(lossy, 6, 2, {0x81, 0x80, 0x00, 0x81, 0x80, 0x00});
  ASSERT_TRUE(BuildPack(dir, {{"Data/bpg/wide.bpg", ReadBytesAsString(WriterFile("wide.bpg"))},
                              {"Data/bpg/ok.bpg", ReadBytesAsString(WriterFile("lossy444.bpg"))},
                              {"Data/bpg/huge.bpg", std::string(huge.begin(), huge.end())}}));
  EnterDir(dir);
  LogCapture log;
  fxPinvaleScreens* wall = static_cast<fxPinvaleScreens*>(AddItem(ParseJson(
      R"({"Class":"fxPinvaleScreens","Properties":{"Name":"Wall","Pinvale01/Bpg":"bpg/wide.bpg","Pinvale02/Bpg":"bpg/ok.bpg",
          "Pinvale03/Bpg":"bpg/huge.bpg"}})")));
  ASSERT_NE(wall, nullptr);
  wall->SetState(StateRunning);
  const std::string line = "[fxPinvaleScreens] \"bpg/wide.bpg\" is 264x16, larger than a 256x200 screen: not shown\n";
  const std::string text = log.Text();
  ASSERT_NE(text.find(line), std::string::npos) << text;
  EXPECT_EQ(text.find(line), text.rfind(line)) << "one line";
  const std::string hugeLine =
      "[fxPinvaleScreens] \"bpg/huge.bpg\" is 16384x16384, larger than a 256x200 screen: not shown\n";
  EXPECT_NE(text.find(hugeLine), std::string::npos) << text;
  EXPECT_EQ(wall->m_screens[2].m_decoder, nullptr);
  EXPECT_EQ(wall->m_screens[0].m_decoder, nullptr);
  EXPECT_NE(wall->m_screens[1].m_decoder, nullptr);
  wall->m_appliedDelta = 0.05f;
  wall->Update();
  // Nothing of the wide picture lands anywhere: slot 0 and its neighbours
  // outside screen 1's picture stay zero.
  for (int r = 0; r < kAtlasHeight; ++r)
    for (int c = 0; c < kSlotWidth * 4; ++c) ASSERT_EQ(wall->Atlas()[size_t(r) * kAtlasRowBytes + c], 0);
}
