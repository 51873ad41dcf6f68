#include "support/TestPack.h"

#include "Loader/AssetPath.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

const char* const kPackPassword = "Quiet lanterns drift over amber fields.";

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "velmora-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  m_path = made ? made : "";
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!m_path.empty()) fs::remove_all(m_path, ec);
}

void TempDir::WriteFile(const std::string& relative, const std::string& bytes) const {
  fs::path p = fs::path(m_path) / relative;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

static std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool BuildPack(const TempDir& dir, const PackFiles& files, const std::string& password,
               const std::string& packName) {
  const std::string stage = dir.Path() + "/.stage";
  std::string list;
  for (const auto& [name, bytes] : files) {
    fs::path p = fs::path(stage) / name;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    list += name + "\n";
  }
  const std::string listFile = dir.Path() + "/.stage-list";
  std::ofstream(listFile) << list;
  std::string cmd = "cd " + ShellQuote(stage) + " && zip -q -D -X ";
  if (!password.empty()) cmd += "-P " + ShellQuote(password) + " ";
  cmd += ShellQuote(dir.Path() + "/" + packName) + " -@ < " + ShellQuote(listFile);
  const bool ok = std::system(cmd.c_str()) == 0;
  std::error_code ec;
  fs::remove_all(stage, ec);
  fs::remove(listFile, ec);
  return ok;
}

void EnterDir(const TempDir& dir) {
  if (chdir(dir.Path().c_str()) != 0) std::abort();
  SetDataDirectory("Data");
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
