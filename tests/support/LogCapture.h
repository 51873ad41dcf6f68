// Captures what the application log receives from construction on.
#pragma once
#include <string>

class LogCapture {
 public:
  LogCapture();
  std::string Text() const;
  bool Contains(const std::string& needle) const;

 private:
  size_t m_start;
};
