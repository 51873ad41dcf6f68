// Process environment switches that tests and screenshots use. None of them
// is a command-line switch: a player started by hand never sees them.
#pragma once

namespace platform {

// VELMORA_FIXED_STEP set (to anything but "0"): the frame loop advances by
// the fixed step of the video-export settings instead of the clock, so frames
// repeat exactly from run to run.
bool FixedStepRequested();

}  // namespace platform
