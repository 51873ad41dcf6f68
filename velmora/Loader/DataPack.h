// The data pack: every asset of the production is read from one
// password-protected ZIP archive, "./Velmora-Pinvale.sts", in the working
// directory. There is no fallback to loose files: a name that is not in the
// pack is a miss.
//
// Depends on PhysFS (mount, existence test, encrypted reads through the
// "name$password" form) and on the path rules of Loader/AssetPath.h. Every
// read ticks the loading screen (rvLoader::Update), so files are read on the
// main thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A whole file: size + 1 bytes, the last one 0 so that text can be used as
// a zero-terminated string. Null on a miss.
using FileBuffer = std::unique_ptr<char[]>;

class DataPack {
 public:
  static constexpr const char* kPackFile = "./Velmora-Pinvale.sts";

  // The process-wide pack, mounted by the first reader that asks for it. A
  // failed mount is not retried: every read is then a miss.
  static DataPack& Get();

  // Reads a whole file; `size` gets its length (0 on a miss). A miss, a
  // failed open, a length that does not fit an int buffer or the memory at
  // hand, or a read that delivers fewer bytes than announced all return
  // null with size 0. An empty path returns null at once without ticking
  // the loading screen.
  FileBuffer ReadFile(const std::string& path, int& size);
  // The name the glyph-atlas renderer uses for the same read.
  FileBuffer LoadFile(const std::string& path, int& size) { return ReadFile(path, size); }
  // Reads a whole file into `bytes` (cleared first, left empty on a miss).
  // Returns the vector's data, or null on a miss.
  const uint8_t* LoadFileToVector(const std::string& path, std::vector<uint8_t>& bytes);

  bool Mounted() const { return !m_password.empty(); }

 private:
  DataPack();
  DataPack(const DataPack&) = delete;
  DataPack& operator=(const DataPack&) = delete;

  std::string m_password;  // empty when the mount failed
};
