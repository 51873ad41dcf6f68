// Helpers of the production tests. See BpgTestFiles.h.
#include "BpgTestFiles.h"

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
