// The noise textures the post passes sample, made at build time:
//   BlueNoise1024.png      1024 x 1024 grey blue noise (void and cluster),
//                          every grey level used equally often
//   RGBANoiseMedium256.png 256 x 256, four independent white-noise channels
// Usage: make_noise <output folder>
//
// Void and cluster ranks every pixel of a torus: a pixel's energy is the sum
// of a Gaussian over the pixels already set around it, the next pixel set is
// the one in the largest void (lowest energy) and the pixel removed is the
// one in the tightest cluster (highest energy). Pixel ranks become grey
// levels. The searches run over 16 x 16 blocks whose extrema are kept in a
// small tournament tree, so a step costs a few block scans instead of a scan
// of the whole picture. Deterministic: a fixed LCG seeds the first pattern.
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

// The platform's C library generator, so every build makes the same bytes.
struct Lcg {
  uint32_t state = 1;
  int Next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// Extremum search over cells: keys in 16 x 16 blocks, per-block best cell,
// and a tournament tree over the blocks. `Better` picks the lower key when
// kMin, else the higher one; cells out of the search hold a key that never
// wins.
template <bool kMin>
class ExtremumSearch {
 public:
  static constexpr int kBlock = 16;

  ExtremumSearch(int size, float key) : m_size(size), m_blocksPerRow(size / kBlock) {
    const int blocks = m_blocksPerRow * m_blocksPerRow;
    m_key.assign(static_cast<size_t>(size) * size, key);
    m_isDirty.assign(blocks, 0);
    m_leaves = 1;
    while (m_leaves < blocks) m_leaves *= 2;
    m_tree.assign(2 * static_cast<size_t>(m_leaves), -1);
    m_blockBest.assign(blocks, 0);
    for (int b = 0; b < blocks; ++b) RescanBlock(b);
  }

  static float Worst() {
    return kMin ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
  }
  // Changes one key; the block and tree follow at the next Refresh.
  void Set(int cell, float key) {
    m_key[cell] = key;
    const int x = cell % m_size, y = cell / m_size;
    MarkBlock((y / kBlock) * m_blocksPerRow + x / kBlock);
  }
  // The best cell; -1 when no cell is in the search.
  int Best() {
    Refresh();
    const int block = m_tree[1];
    if (block < 0) return -1;
    const int cell = m_blockBest[block];
    return m_key[cell] == Worst() ? -1 : cell;
  }

 private:
  bool Better(float a, float b) const { return kMin ? a < b : a > b; }

  void MarkBlock(int block) {
    if (m_isDirty[block]) return;
    m_isDirty[block] = 1;
    m_dirty.push_back(block);
  }

  void RescanBlock(int block) {
    const int bx = (block % m_blocksPerRow) * kBlock, by = (block / m_blocksPerRow) * kBlock;
    int best = by * m_size + bx;
    for (int y = by; y < by + kBlock; ++y) {
      const float* row = &m_key[static_cast<size_t>(y) * m_size];
      for (int x = bx; x < bx + kBlock; ++x) {
        if (Better(row[x], m_key[best])) best = y * m_size + x;
      }
    }
    m_blockBest[block] = best;
    UpdateTree(block);
  }

  void UpdateTree(int block) {
    int node = m_leaves + block;
    m_tree[node] = block;
    for (node /= 2; node >= 1; node /= 2) {
      const int a = m_tree[2 * node], b = m_tree[2 * node + 1];
      if (a < 0 || b < 0) {
        m_tree[node] = a < 0 ? b : a;
      } else {
        m_tree[node] = Better(m_key[m_blockBest[b]], m_key[m_blockBest[a]]) ? b : a;
      }
    }
  }

  void Refresh() {
    for (int block : m_dirty) {
      RescanBlock(block);
      m_isDirty[block] = 0;
    }
    m_dirty.clear();
  }

  int m_size, m_blocksPerRow, m_leaves = 1;
  std::vector<float> m_key;
  std::vector<int> m_blockBest;
  std::vector<int> m_tree;  // block index of the best block under each node
  std::vector<int> m_dirty;
  std::vector<uint8_t> m_isDirty;
};

// Gaussian energy on a torus with a truncated kernel.
class EnergyField {
 public:
  static constexpr int kRadius = 6;
  static constexpr float kSigma = 1.5f;

  explicit EnergyField(int size) : m_size(size), m_energy(static_cast<size_t>(size) * size, 0.0f) {
    for (int dy = -kRadius; dy <= kRadius; ++dy) {
      for (int dx = -kRadius; dx <= kRadius; ++dx) {
        m_kernel.push_back(std::exp(-static_cast<float>(dx * dx + dy * dy) / (2.0f * kSigma * kSigma)));
      }
    }
  }

  // Adds (sign 1) or removes (sign -1) a set pixel; `touched` sees every
  // cell whose energy moved.
  template <class Touched>
  void Splat(int cell, float sign, Touched&& touched) {
    const int cx = cell % m_size, cy = cell / m_size;
    const int mask = m_size - 1;  // power-of-two sizes wrap with a mask
    int k = 0;
    for (int dy = -kRadius; dy <= kRadius; ++dy) {
      const int y = (cy + dy) & mask;
      for (int dx = -kRadius; dx <= kRadius; ++dx, ++k) {
        const int c = y * m_size + ((cx + dx) & mask);
        m_energy[c] += sign * m_kernel[k];
        touched(c);
      }
    }
  }
  float operator[](int cell) const { return m_energy[cell]; }

 private:
  int m_size;
  std::vector<float> m_energy;
  std::vector<float> m_kernel;
};

// Holds a pattern with its energy and the searches over set and free cells.
class Pattern {
 public:
  explicit Pattern(int size)
      : m_set(static_cast<size_t>(size) * size, 0),
        m_field(size),
        m_voids(size, 0.0f),
        m_clusters(size, ExtremumSearch<false>::Worst()) {}

  void Add(int cell) {
    m_set[cell] = 1;
    m_field.Splat(cell, 1.0f, [this](int c) { Rekey(c); });
  }
  void Remove(int cell) {
    m_set[cell] = 0;
    m_field.Splat(cell, -1.0f, [this](int c) { Rekey(c); });
  }
  int LargestVoid() { return m_voids.Best(); }
  int TightestCluster() { return m_clusters.Best(); }
  bool IsSet(int cell) const { return m_set[cell] != 0; }

 private:
  void Rekey(int c) {
    const float e = m_field[c];
    if (m_set[c]) {
      m_clusters.Set(c, e);
      m_voids.Set(c, ExtremumSearch<true>::Worst());
    } else {
      m_voids.Set(c, e);
      m_clusters.Set(c, ExtremumSearch<false>::Worst());
    }
  }

  std::vector<uint8_t> m_set;
  EnergyField m_field;
  ExtremumSearch<true> m_voids;
  ExtremumSearch<false> m_clusters;
};

// Ranks 0..size^2-1 of every pixel.
std::vector<int> VoidAndCluster(int size) {
  const int cells = size * size;
  const int initial = cells / 10;
  Lcg lcg;
  Pattern start(size);
  std::vector<int> placed;
  while (static_cast<int>(placed.size()) < initial) {
    const int cell = ((lcg.Next() << 15) | lcg.Next()) % cells;
    if (start.IsSet(cell)) continue;
    start.Add(cell);
    placed.push_back(cell);
  }
  // Spread the random start until the tightest cluster is the largest void.
  for (;;) {
    const int cluster = start.TightestCluster();
    start.Remove(cluster);
    const int hole = start.LargestVoid();
    start.Add(hole);
    if (hole == cluster) break;
  }

  std::vector<int> rank(cells, -1);
  {
    // Ranks below the start: take the tightest cluster away, one at a time.
    Pattern down(size);
    for (int c = 0; c < cells; ++c) {
      if (start.IsSet(c)) down.Add(c);
    }
    for (int r = initial - 1; r >= 0; --r) {
      const int cluster = down.TightestCluster();
      down.Remove(cluster);
      rank[cluster] = r;
    }
  }
  // Ranks above: fill the largest void. With a kernel that sums to the same
  // total everywhere, the free cells' own tightest cluster past the half-way
  // mark is this same void, so one rule fills the picture.
  for (int r = initial; r < cells; ++r) {
    const int hole = start.LargestVoid();
    start.Add(hole);
    rank[hole] = r;
  }
  return rank;
}

bool WriteBlueNoise(const std::string& path, int size) {
  const std::vector<int> rank = VoidAndCluster(size);
  std::vector<uint8_t> grey(rank.size());
  const int64_t cells = static_cast<int64_t>(rank.size());
  for (size_t i = 0; i < rank.size(); ++i) grey[i] = static_cast<uint8_t>(int64_t{rank[i]} * 256 / cells);
  return stbi_write_png(path.c_str(), size, size, 1, grey.data(), size) != 0;
}

bool WriteRgbaNoise(const std::string& path, int size) {
  Lcg lcg;
  lcg.state = 13;
  std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
  for (uint8_t& v : rgba) v = static_cast<uint8_t>(lcg.Next() >> 7);
  return stbi_write_png(path.c_str(), size, size, 4, rgba.data(), size * 4) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  if (!WriteRgbaNoise(folder + "/RGBANoiseMedium256.png", 256)) {
    std::fprintf(stderr, "make_noise: cannot write %s/RGBANoiseMedium256.png\n", folder.c_str());
    return 1;
  }
  if (!WriteBlueNoise(folder + "/BlueNoise1024.png", 1024)) {
    std::fprintf(stderr, "make_noise: cannot write %s/BlueNoise1024.png\n", folder.c_str());
    return 1;
  }
  return 0;
}
