// Keeping shared libraries loaded for the leak checker. See LibraryResidency.h.
#include "platform/LibraryResidency.h"

#ifdef VELMORA_SANITIZED
#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>
#endif

namespace platform {

void KeepLoadedLibrariesResident() {
#ifdef VELMORA_SANITIZED
  // The names are gathered first: the loader's list must not change while
  // it is being walked.
  std::vector<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* out) {
        if (info->dlpi_name && info->dlpi_name[0]) static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
        return 0;
      },
      &names);
  // RTLD_NOLOAD only finds what is loaded; RTLD_NODELETE keeps it to the end.
  for (const std::string& name : names) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}

}  // namespace platform
