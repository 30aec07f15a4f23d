#include "logger/console_logger.h"

#include <cstdio>

#include "util/text_convert.h"

ConsoleLogger::ConsoleLogger() { SetFormat(std::make_unique<LogFormat>()); }

ConsoleLogger::~ConsoleLogger() = default;

bool ConsoleLogger::IsEnabled() {
  CScopedLock guard(lock_);
  return HasFormat() && enabled_;
}

void ConsoleLogger::SetEnabled(bool enabled) {
  CScopedLock guard(lock_);
  enabled_ = enabled;
}

// UTF-8 on standard output; write errors (no console) are ignored.
void ConsoleLogger::Output(const std::wstring& line) {
  CScopedLock guard(lock_);
  if (!IsEnabled()) return;
  const std::string bytes = WideToUtf8(line);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}
