// Opens a link in the desktop's browser (xdg-open) without waiting for the
// browser: true when the opener was found and started.
#pragma once

namespace platform {

bool OpenUrl(const char* url);

}  // namespace platform
