// ParseSvgFile: the one place the SVG module touches the data pack. The
// parser itself takes bytes, so it stays testable without a pack.
#include "Loader/DataPack.h"
#include "svg/SvgImage.h"

SvgImage* ParseSvgFile(const char* path, float dpi) {
  int size = 0;
  FileBuffer bytes = DataPack::Get().ReadFile(path ? path : "", size);
  if (!bytes || size == 0) return nullptr;
  return ParseSvg(bytes.get(), dpi);
}
