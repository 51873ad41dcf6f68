// The screen wall's arithmetic: where a picture goes in the atlas, which
// screens are due for a decode step this frame, and their next countdown.
//
// Plain values in and out (no GL, no threads), so the wall's choices are
// tested as tables. Depends on nothing but the standard library.
#pragma once
#include <cstddef>
#include <vector>

// The atlas: 16 slots of 256 x 200 RGBA pixels side by side.
constexpr int kScreenCount = 16;
constexpr int kSlotWidth = 256;
constexpr int kSlotHeight = 200;
constexpr int kAtlasWidth = kScreenCount * kSlotWidth;  // 4096
constexpr int kAtlasHeight = kSlotHeight;
constexpr size_t kAtlasRowBytes = size_t(kAtlasWidth) * 4;
constexpr size_t kAtlasBytes = kAtlasRowBytes * kAtlasHeight;  // 3,276,800

// Where line 0 of a w x h picture in slot i starts: the picture is centred
// in its slot, line 0 on the highest memory row so that it reads upright in
// texture coordinates (line k goes to row - k).
struct AtlasPlacement {
  int column = 0;
  int row = 0;
};
AtlasPlacement PlaceInAtlas(int slot, int width, int height);
// The layout holds pictures of at most one slot.
bool FitsSlot(int width, int height);

// What a pick looks at in one screen.
struct ScreenDue {
  float countdown = 0.0f;
  int pending = 0;  // decode steps still held by a worker
};

// Up to maxPicks screen indices, one pick at a time: each takes the smallest
// countdown among the screens with no pending step not yet picked (the
// lowest index wins ties; NaN never wins), and picking stops when none
// qualifies or the smallest is still in the future (> 0).
std::vector<int> PickDueScreens(const std::vector<ScreenDue>& screens, int maxPicks);

// The countdown after a pick: the overshoot carries into the next period and
// whole periods missed are dropped. A duration of 0 (a still image) gives
// NaN, so the screen is never picked again.
float NextCountdown(float countdown, float duration);
