// The settings object "ScreenRecorderConfig" and its file (see ScreenRecorder.h).
#include "core/ScreenRecorder.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "core/AppLog.h"
#include "core/JsonDepth.h"

int g_nListbox_SrcItem_current = 0;
int g_nListbox_DestItem_current = 3;
bool g_bCheckBox_ShowImGUI = false;
bool g_bCheckBox_FullScreen = false;
bool g_bCheckBox_LockFPS = false;

namespace {

const char kConfigName[] = "ScreenRecorderConfig";

struct SettingEntry {
  const char* key;
  int kind;
  void* address;
};

// The nine settings in registration order; the constructor adds them and the
// destructor removes exactly these.
std::vector<SettingEntry> SettingsOf(ScreenRecorder& r) {
  return {{"nListbox_SrcItem_current", PersistInt, &g_nListbox_SrcItem_current},
          {"nListbox_DestItem_current", PersistInt, &g_nListbox_DestItem_current},
          {"bCheckBox_ShowImGUI", PersistBool, &g_bCheckBox_ShowImGUI},
          {"bCheckBox_FullScreen", PersistBool, &g_bCheckBox_FullScreen},
          {"bCheckBox_LockFPS", PersistBool, &g_bCheckBox_LockFPS},
          {"_ve._nBitrateMbps", PersistInt, &r._ve._nBitrateMbps},
          {"_ve._nFps", PersistInt, &r._ve._nFps},
          {"_ve._sFfmpegBinary", PersistString, &r._ve._sFfmpegBinary},
          {"_ve._sFilename", PersistString, &r._ve._sFilename}};
}

}  // namespace

rvpersist& GetScreenRecorderConfig() {
  static rvpersist config(kConfigName);
  return config;
}

void LoadScreenRecorderConfig() {
  rvpersist& config = GetScreenRecorderConfig();
  const std::string fileName = config.m_name + ".json";
  std::ifstream file(fileName, std::ios::binary);
  if (!file.is_open()) return;

  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  Json::Value root;
  std::string errors;
  bool parsed = false;
  // Nesting past the limit would run the reader's recursion out of stack,
  // and the reader throws past its own limit; a bad file must never end the
  // player.
  if (!JsonNestingWithin(text.data(), text.size())) {
    errors = "nested deeper than " + std::to_string(kJsonNestingLimit) + " levels";
  } else {
    std::istringstream stream(text);
    try {
      parsed = Json::parseFromStream(builder, stream, &root, &errors);
    } catch (const Json::Exception& e) {
      errors = e.what();
    }
  }
  // A partly parsed root can hold cut values (a truncated 30 reads as 3), so
  // a file that fails to parse is not used at all.
  if (!parsed) {
    AppLog::Get().AddLog("[ScreenRecorder] %s is not valid JSON, settings keep their defaults: %s\n",
                         fileName.c_str(), errors.c_str());
    return;
  }
  if (!root.isObject()) {
    AppLog::Get().AddLog("[ScreenRecorder] %s: the root is not an object, settings keep their defaults\n",
                         fileName.c_str());
    return;
  }
  const Json::Value& settings = root[config.m_name];
  if (!settings.isNull() && !settings.isObject()) {
    AppLog::Get().AddLog("[ScreenRecorder] %s: \"%s\" is not an object, settings keep their defaults\n",
                         fileName.c_str(), config.m_name.c_str());
    return;
  }
  config.Load(settings);
}

ScreenRecorder::ScreenRecorder()
    : _aSizes{{"Unknown", 0.0f, 0.0f},       {"3840x2160", 3840.0f, 2160.0f},
              {"2560x1440", 2560.0f, 1440.0f}, {"1920x1080", 1920.0f, 1080.0f},
              {"1600x900", 1600.0f, 900.0f},   {"1280x720", 1280.0f, 720.0f},
              {"1024x576", 1024.0f, 576.0f}} {
  rvpersist& config = GetScreenRecorderConfig();
  for (const SettingEntry& s : SettingsOf(*this)) config.AddMember(s.key, s.kind, s.address);
  LoadScreenRecorderConfig();
}

ScreenRecorder::~ScreenRecorder() {
  rvpersist& config = GetScreenRecorderConfig();
  for (const SettingEntry& s : SettingsOf(*this)) config.RemoveMember(s.key, s.address);
}
