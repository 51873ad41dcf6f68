// BPG test helpers: the reference encoder's BPG files in
// ../shared/testdata/bpg with their reference PNGs, and comparing RGBA
// pictures with a tolerance.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

std::string SharedBpg(const std::string& name);
std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadBytesAsString(const std::string& path);
// A file with the `erase` bytes at `at` replaced by `insert`.
// Crafted files made from the shared ones: still420.bpg declaring
// 16384 x 16384 over its 256 x 200 picture data; still420.bpg flagged as an
// animation of its one picture; anim420.bpg with its frame period replaced
// by the given numerator and denominator (each as BPG's ue7 bytes).
std::vector<uint8_t> HugeDeclaredBpg();
std::vector<uint8_t> OnePictureAnimationBpg();
std::vector<uint8_t> AnimationWithPeriodBpg(const std::vector<uint8_t>& numDen);

std::vector<uint8_t> Patched(const std::vector<uint8_t>& file, size_t at, size_t erase, std::vector<uint8_t> insert);

struct RgbaPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};
RgbaPicture LoadPng(const std::string& path);
// The reference PNG of frame `frame` of a shared file ("stem.png" for a
// still image, "stem_fNN.png" for an animation).
RgbaPicture LoadReference(const std::string& stem, bool animated, int frame);

// Largest channel difference, and the share of channels off by more than 1.
struct Difference {
  int max = 0;
  double over1 = 0;
};
Difference Compare(const RgbaPicture& a, const RgbaPicture& b);

// Our 4:2:0 chroma upsampling differs from the reference decoder's by at
// most a few levels at sharp colour edges, and by one level of rounding
// elsewhere.
constexpr int kMaxChannelDifference = 8;
constexpr double kMaxShareOver1 = 0.005;
bool CloseToReference(const RgbaPicture& ours, const RgbaPicture& ref);
