/* stb_truetype and stb_rect_pack compiled into the font fuzz targets from
 * libstb-dev's own sources, so that they run under the sanitizers with the
 * rest of the target (Debian's libstb is built without them). The
 * executable's definitions take precedence over the shared library's. Only
 * the fuzz build compiles this file. */
#define STB_TRUETYPE_IMPLEMENTATION
#define STB_RECT_PACK_IMPLEMENTATION
#include <stb/stb_rect_pack.h>
#include <stb/stb_truetype.h>
