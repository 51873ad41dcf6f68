// The screen wall's arithmetic. See ScreenSchedule.h.
#include "production/ScreenSchedule.h"

#include <cfloat>
#include <cmath>

AtlasPlacement PlaceInAtlas(int slot, int width, int height) {
  AtlasPlacement p;
  p.column = kSlotWidth * slot + ((kSlotWidth - width) >> 1);
  p.row = (kSlotHeight - 1) - ((kSlotHeight - height) >> 1);
  return p;
}

bool FitsSlot(int width, int height) {
  return width > 0 && height > 0 && width <= kSlotWidth && height <= kSlotHeight;
}

std::vector<int> PickDueScreens(const std::vector<ScreenDue>& screens, int maxPicks) {
  std::vector<int> picked;
  std::vector<bool> taken(screens.size(), false);
  while (int(picked.size()) < maxPicks) {
    int kept = -1;
    float smallest = FLT_MAX;
    for (size_t i = 0; i < screens.size(); ++i) {
      if (taken[i] || screens[i].pending > 0) continue;
      // Strictly smaller: ties keep the lower index, NaN compares false.
      if (screens[i].countdown < smallest) {
        smallest = screens[i].countdown;
        kept = int(i);
      }
    }
    if (kept < 0 || smallest > 0.0f) break;
    taken[size_t(kept)] = true;
    picked.push_back(kept);
  }
  return picked;
}

float NextCountdown(float countdown, float duration) { return duration - std::fmod(-countdown, duration); }
