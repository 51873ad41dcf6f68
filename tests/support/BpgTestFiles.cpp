// BPG test files: the shared real files, byte patches of them, reference decodes. See BpgTestFiles.h.
#include "support/BpgTestFiles.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/TestPack.h"

std::string SharedBpg(const std::string& name) { return std::string(VELMORA_TESTDATA_DIR) + "/bpg/" + name; }

std::string ReadBytesAsString(const std::string& path) { return ReadTextFile(path); }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadTextFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Patched(const std::vector<uint8_t>& file, size_t at, size_t erase, std::vector<uint8_t> insert) {
  std::vector<uint8_t> out(file.begin(), file.begin() + at);
  out.insert(out.end(), insert.begin(), insert.end());
  out.insert(out.end(), file.begin() + at + erase, file.end());
  return out;
}

RgbaPicture LoadPng(const std::string& path) {
  RgbaPicture out;
  int channels = 0;
  unsigned char* p = stbi_load(path.c_str(), &out.width, &out.height, &channels, 4);
  if (p) out.pixels.assign(p, p + size_t(out.width) * out.height * 4);
  stbi_image_free(p);
  return out;
}

RgbaPicture LoadReference(const std::string& stem, bool animated, int frame) {
  if (!animated) return LoadPng(SharedBpg(stem + ".png"));
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_f%02d.png", frame);
  return LoadPng(SharedBpg(stem + suffix));
}

Difference Compare(const RgbaPicture& a, const RgbaPicture& b) {
  Difference d;
  if (a.pixels.size() != b.pixels.size()) {
    d.max = 256;
    d.over1 = 1;
    return d;
  }
  size_t over = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const int diff = std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    d.max = std::max(d.max, diff);
    over += diff > 1 ? 1 : 0;
  }
  d.over1 = a.pixels.empty() ? 0 : double(over) / double(a.pixels.size());
  return d;
}

bool CloseToReference(const RgbaPicture& ours, const RgbaPicture& ref) {
  const Difference d = Compare(ours, ref);
  return !ref.pixels.empty() && d.max <= kMaxChannelDifference && d.over1 <= kMaxShareOver1;
}

std::vector<uint8_t> HugeDeclaredBpg() {
  // Width and height, two bytes each, become 81 80 00 (16384).
  return Patched(ReadBytes(SharedBpg("still420.bpg")), 6, 4, {0x81, 0x80, 0x00, 0x81, 0x80, 0x00});
}

std::vector<uint8_t> OnePictureAnimationBpg() {
  // The animation and extension flags set, and an animation extension
  // (length 5, tag 5, length 3, loop 0, period 1/10) put in.
  const std::vector<uint8_t> still = ReadBytes(SharedBpg("still420.bpg"));
  return Patched(Patched(still, 5, 1, {0x09}), 11, 0, {0x05, 0x05, 0x03, 0x00, 0x01, 0x0A});
}

std::vector<uint8_t> AnimationWithPeriodBpg(const std::vector<uint8_t>& numDen) {
  // anim420.bpg's animation extension is bytes 11 to 16: length 5, tag 5,
  // length 3, loop 0, period 1/10.
  std::vector<uint8_t> ext = {uint8_t(3 + numDen.size()), 0x05, uint8_t(1 + numDen.size()), 0x00};
  ext.insert(ext.end(), numDen.begin(), numDen.end());
  return Patched(ReadBytes(SharedBpg("anim420.bpg")), 11, 6, ext);
}
