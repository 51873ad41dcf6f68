#include "support/TestImages.h"

#include <cstdlib>

#include "support/TestPack.h"

std::string ConvertImage(const std::string& arguments, const std::string& format) {
  TempDir tmp;
  const std::string path = tmp.Path() + "/image";
  const std::string cmd = "convert " + arguments + " " + format + ":'" + path + "'";
  return std::system(cmd.c_str()) == 0 ? ReadTextFile(path) : std::string();
}
