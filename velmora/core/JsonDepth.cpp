#include "core/JsonDepth.h"

bool JsonNestingWithin(const char* text, size_t size, int limit) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < size; ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;  // the escaped character cannot end the string
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return true;
}
