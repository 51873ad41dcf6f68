// The start configuration the entry point hands to the application.
#pragma once
#include <string>

struct AppConfig {
  std::string title;
  std::string dataDirectory;
  std::string sequenceFile;
  std::string loadListFile;
};
