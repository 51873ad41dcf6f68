#include "effects/scenes/ModelFile.h"

#include "Loader/DataPack.h"
#include "core/AppLog.h"

bool ReadModelFile(const std::string& path, std::vector<unsigned char>& bytes, const char* who) {
  bytes.clear();
  if (DataPack::Get().LoadFileToVector(path, bytes)) return true;
  AppLog::Get().AddLog("[%s] file not found: %s\n", who, path.c_str());
  return false;
}
