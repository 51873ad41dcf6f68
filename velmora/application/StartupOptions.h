// Start-up values of the process: the size presets, the command-line
// switches and what they select. Set by Application::Init, read by the
// frame loop, the loading screen and the references to the main sequence.
#pragma once
#include <string>

#include "platform/MainWindow.h"
#include "sequence/rvSequence.h"

extern std::string g_loadListPath;
extern int g_requestedWidth;   // -1: unset
extern int g_requestedHeight;  // -1: unset
extern int g_sizePresetRow;    // -1: none
extern bool g_verticalSync;    // "-nosync" clears it
extern int g_swapInterval;     // chosen at start-up: -1 (tear control) or 1
extern bool g_overlayFps;      // "-fps"
extern bool g_overlayReso;     // "-reso"

// Exact, case-sensitive match against the preset names in table order; the
// first match sets the requested size and returns its row, else -1.
int FindSizePreset(const char* name);

// Switches are substring tests on the whole command line, program path
// included. Size switches are tested in a fixed order, so the last of that
// order present wins; none selects 1920x1080.
void ScanCommandLine(const std::string& line);
