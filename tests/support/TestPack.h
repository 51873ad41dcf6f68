// Test data packs: a temporary working directory holding a real encrypted
// pack built from files given in memory (paths as inside the pack, e.g.
// "Data/seq/a.seq"). Every entry is encrypted with the given password,
// exactly as the sample production's pack is built.
#pragma once
#include <map>
#include <string>

extern const char* const kPackPassword;

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return m_path; }
  void WriteFile(const std::string& relative, const std::string& bytes) const;

 private:
  std::string m_path;
};

using PackFiles = std::map<std::string, std::string>;

// Builds dir/Velmora-Pinvale.sts from files, or adds them to the pack already
// there (an entry of the same name is replaced). Returns false when zip
// failed.
bool BuildPack(const TempDir& dir, const PackFiles& files, const std::string& password = kPackPassword,
               const std::string& packName = "Velmora-Pinvale.sts");

// Makes dir the working directory for the rest of the test process (each test
// runs in its own process, so the data pack mounts whatever lies there), and
// "Data" the data directory, as the player sets it.
void EnterDir(const TempDir& dir);

std::string ReadTextFile(const std::string& path);
