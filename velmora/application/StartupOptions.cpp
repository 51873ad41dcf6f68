#include "application/StartupOptions.h"

#include <cmath>
#include <cstring>

std::string g_loadListPath;
int g_requestedWidth = -1;
int g_requestedHeight = -1;
int g_sizePresetRow = -1;
bool g_verticalSync = true;
int g_swapInterval = 1;
bool g_overlayFps = false;
bool g_overlayReso = false;

namespace {

struct SizePreset {
  const char* name;
  float width;
  float aspect;
};

// "1024x768" keeps 16:9 and so requests 1024 x 576; no switch selects it.
const SizePreset kSizePresets[] = {
    {"Free", 0.0f, 0.0f},
    {"Ratio 16/10", 0.0f, 16.0f / 10.0f},
    {"Ratio 16/9", 0.0f, 16.0f / 9.0f},
    {"Ratio 21/9", 0.0f, 21.0f / 9.0f},
    {"Ratio 4/3", 0.0f, 4.0f / 3.0f},
    {"640x480", 640.0f, 4.0f / 3.0f},
    {"800x600", 800.0f, 4.0f / 3.0f},
    {"1024x768", 1024.0f, 16.0f / 9.0f},
    {"1280x720", 1280.0f, 16.0f / 9.0f},
    {"1600x900", 1600.0f, 16.0f / 9.0f},
    {"1920x1080", 1920.0f, 16.0f / 9.0f},
    {"3840x2160", 3840.0f, 16.0f / 9.0f},
};

// The switches in the order they are tested: a later hit overrides an
// earlier one, whatever their order on the command line.
const char* const kSizeSwitches[] = {"-640x480",  "-800x600",  "-1280x720",
                                     "-1600x900", "-1920x1080", "-3840x2160"};

bool HasSwitch(const std::string& line, const char* name) { return line.find(name) != std::string::npos; }

}  // namespace

int FindSizePreset(const char* name) {
  if (!name) return -1;
  for (int row = 0; row < int(sizeof kSizePresets / sizeof kSizePresets[0]); ++row) {
    const SizePreset& p = kSizePresets[row];
    if (std::strcmp(p.name, name) != 0) continue;
    const float aspect = p.aspect > 0.0f ? p.aspect : 1.0f;
    g_requestedWidth = int(p.width);
    g_requestedHeight = int(std::round(p.width / aspect));
    g_sizePresetRow = row;
    return row;
  }
  return -1;
}

void ScanCommandLine(const std::string& line) {
  if (HasSwitch(line, "-fps")) g_overlayFps = true;
  if (HasSwitch(line, "-reso")) g_overlayReso = true;
  if (HasSwitch(line, "-nosync")) g_verticalSync = false;
  g_requestedWidth = g_requestedHeight = g_sizePresetRow = -1;
  bool hit = false;
  for (const char* sw : kSizeSwitches) {
    if (!HasSwitch(line, sw)) continue;
    FindSizePreset(sw + 1);
    hit = true;
  }
  if (!hit) FindSizePreset("1920x1080");
}

