#include "logger/file_logger.h"

#include <string>

#include "util/text_convert.h"

FileLogger::FileLogger() { SetFormat(std::make_unique<LogFormat>()); }

FileLogger::~FileLogger() = default;

bool FileLogger::IsEnabled() {
  CScopedLock guard(lock_);
  return HasFormat() && file_ != nullptr;
}

std::FILE* FileLogger::AttachFile(std::FILE* file) {
  CScopedLock guard(lock_);
  std::FILE* previous = file_;
  file_ = file;
  return previous;
}

// UTF-16 little-endian code units whatever the width of wchar_t, so the file reads the same on
// every target; write and flush errors are ignored.
void FileLogger::Output(const std::wstring& line) {
  CScopedLock guard(lock_);
  if (!IsEnabled()) return;
  const std::u16string units = WideToUtf16(line);
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  std::fflush(file_);
}
