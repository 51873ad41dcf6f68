// Opens a link in the desktop's browser (xdg-open), without waiting for it.
#pragma once

namespace platform {

bool OpenUrl(const char* url);

}  // namespace platform
