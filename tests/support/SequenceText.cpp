#include "support/SequenceText.h"

std::string SeqItem(const std::string& cls, const std::string& name, int start, int end, const std::string& more) {
  return "{\"Class\": \"" + cls + "\", \"Properties\": {\"Name\": \"" + name + "\", \"Start\": " +
         std::to_string(start) + ", \"End\": " + std::to_string(end) + (more.empty() ? "" : ", " + more) + "}}";
}

std::string SeqFile(const std::vector<std::string>& items) {
  std::string text = "{\"Items\": [\n";
  for (size_t i = 0; i < items.size(); ++i) text += (i ? ",\n  " : "  ") + items[i];
  return text + "\n]}\n";
}
