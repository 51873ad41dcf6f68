// Keeping shared libraries loaded for the leak checker.
//
// Mesa's GL driver allocates a little that it never frees, and it is
// unloaded when the last context goes. LeakSanitizer reports at exit, when
// the driver's code is gone: its allocations then come from an unknown
// module, which no suppression can name. A sanitized build (VELMORA_ASAN)
// therefore marks every library loaded once a GL context exists as never to
// be unloaded, so that tools/lsan.supp can name the GL and X libraries, and
// nothing of our own is hidden. Elsewhere this does nothing.
// Depends on the dynamic loader (dlfcn, link.h); owns nothing.
#pragma once

namespace platform {

// Call after the first GL context is made current.
void KeepLoadedLibrariesResident();

}  // namespace platform
