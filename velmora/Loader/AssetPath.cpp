// Asset path rules and the process-wide data directory.
//
// Data files were written on a system that accepts both separators and
// paths given with or without the data directory, so every rule accepts
// "/" and "\" after a prefix and the prefix test is a plain byte compare
// (paths are case-sensitive in the pack, except the "data" spelling that
// the productions' files use).
#include "Loader/AssetPath.h"

#include <cstring>

namespace {

std::string s_dataDirectory;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The character at `index` is a separator (a string too short has none).
bool SeparatorAt(const std::string& text, size_t index) {
  return index < text.size() && IsSeparator(text[index]);
}

// Length of a "Data" or "./Data" prefix with its separator, 0 when the path
// has none. "data" is accepted only without the leading "./", as written in
// the productions' files.
size_t DataPrefixLength(const std::string& path) {
  if ((StartsWith(path, "Data") || StartsWith(path, "data")) && SeparatorAt(path, 4)) return 5;
  if ((StartsWith(path, "./Data") || StartsWith(path, ".\\Data")) && SeparatorAt(path, 6)) return 7;
  return 0;
}

bool StartsWithDataDirectory(const std::string& path) {
  const std::string& dir = s_dataDirectory;
  return !dir.empty() && StartsWith(path, dir.c_str()) && SeparatorAt(path, dir.size());
}

}  // namespace

void SetDataDirectory(const std::string& directory) { s_dataDirectory = directory.empty() ? "." : directory; }

const std::string& GetDataDirectory() { return s_dataDirectory; }

std::string AppendSlash(const std::string& text) { return text + "/"; }

std::string ResolveDataPath(const std::string& path) {
  if (s_dataDirectory.empty() || path.empty()) return path;
  if (StartsWithDataDirectory(path)) return path;
  return AppendSlash(s_dataDirectory) + path.substr(DataPrefixLength(path));
}

void NormalizePath(std::string& path) {
  if (!path.empty() && path[0] == '.') path.erase(0, 1);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
}

std::string PackEntryName(const std::string& path) {
  std::string resolved = ResolveDataPath(path);
  NormalizePath(resolved);
  std::string name;
  name.reserve(resolved.size());
  for (char c : resolved) {
    if (c == '/' && (name.empty() || name.back() == '/')) continue;
    name += c;
  }
  if (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

std::string StripDataDir(const std::string& path) {
  if (StartsWithDataDirectory(path)) return path.substr(s_dataDirectory.size() + 1);
  return path.substr(DataPrefixLength(path));
}
