// The video-export and window settings: the process-wide settings object
// "ScreenRecorderConfig", filled once per run from ScreenRecorderConfig.json
// in the working directory, and the ScreenRecorder that the run step builds
// on its stack. The file is read, never written; no setting changes what the
// player does (the export itself is not part of the player).
//
// Ownership: the ScreenRecorder registers its four "_ve." members in the
// settings object and removes them again when it dies, so that a later
// ScreenRecorder never loads through a dead one. Main thread only.
#pragma once
#include <string>
#include <vector>

#include "core/rvpersist.h"

// Process-wide settings, registered by every ScreenRecorder.
extern int g_nListbox_SrcItem_current;   // "nListbox_SrcItem_current", 0
extern int g_nListbox_DestItem_current;  // "nListbox_DestItem_current", 3
extern bool g_bCheckBox_ShowImGUI;       // "bCheckBox_ShowImGUI", false
extern bool g_bCheckBox_FullScreen;      // "bCheckBox_FullScreen", false
extern bool g_bCheckBox_LockFPS;         // "bCheckBox_LockFPS", false

// The settings object, named "ScreenRecorderConfig".
rvpersist& GetScreenRecorderConfig();

// Reads "ScreenRecorderConfig" + ".json" from the working directory into the
// settings object. An absent file changes nothing; a file that does not parse
// is logged and changes nothing either.
void LoadScreenRecorderConfig();

struct VideoExportSettings {
  int _nBitrateMbps = 6;
  int _nFps = 60;
  std::string _sFfmpegBinary = "..\\tools\\ffmpeg\\ffmpeg.exe";
  std::string _sFilename = "Velmora.mp4";
};

struct ScreenRecorderSize {
  const char* name;
  float width;
  float height;
};

class ScreenRecorder {
 public:
  // Registers the nine settings in the settings object, then loads the file.
  ScreenRecorder();
  // Removes the nine registrations made by the constructor.
  ~ScreenRecorder();
  ScreenRecorder(const ScreenRecorder&) = delete;
  ScreenRecorder& operator=(const ScreenRecorder&) = delete;

  // True while a recording runs; nothing in the player starts one.
  bool IsActive() const { return _bActive; }

  bool _bActive = false;
  // "Unknown" (0 x 0) first, then the export sizes from large to small.
  std::vector<ScreenRecorderSize> _aSizes;
  VideoExportSettings _ve;
};
