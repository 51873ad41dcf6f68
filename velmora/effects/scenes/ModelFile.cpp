#include "effects/scenes/ModelFile.h"

#include "Loader/DataPack.h"
#include "core/AppLog.h"

bool ReadModelFile(const std::string& path, std::vector<unsigned char>& bytes, const char* who) {
  bytes.clear();
  int size = 0;
  const FileBuffer buffer = DataPack::Get().ReadFile(path, size);
  if (!buffer) {
    AppLog::Get().AddLog("[%s] file not found: %s\n", who, path.c_str());
    return false;
  }
  if (size <= 0) {
    AppLog::Get().AddLog("[%s] empty file: %s\n", who, path.c_str());
    return false;
  }
  bytes.assign(buffer.get(), buffer.get() + size);
  return true;
}
