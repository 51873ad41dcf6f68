#include "support/LogCapture.h"

#include "core/AppLog.h"

LogCapture::LogCapture() : m_start(AppLog::Get().Text().size()) {}

std::string LogCapture::Text() const {
  std::string all = AppLog::Get().Text();
  return m_start <= all.size() ? all.substr(m_start) : all;
}

bool LogCapture::Contains(const std::string& needle) const {
  return Text().find(needle) != std::string::npos;
}
