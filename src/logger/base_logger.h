#pragma once
// Composition of log lines, shared by every sink. A line reads: level tag, local date and time with
// the tick count, process id, thread id, the source location (LogWithLocation only), the message
// and CR LF, with no separators, e.g. [INFO][2017-03-09 14:05:09][tick:123456][pid:4410][tid:5120]text
#include <memory>
#include <string>

#include "logger/log_format.h"
#include "thread/critical_lock.h"
#include "util/format.h"

class BaseLogger {
 public:
  virtual ~BaseLogger();

  // Message formats are wide printf formats (see util/format.h); %s takes a wide string.
  template <typename... Args>
  void Log(int level, const wchar_t* format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
      Compose(level, nullptr, 0, format, nullptr, 0);
    } else {
      const text_format::FormatArg packed[] = {text_format::MakeFormatArg(args)...};
      Compose(level, nullptr, 0, format, packed, sizeof...(Args));
    }
  }

  template <typename... Args>
  void LogWithLocation(int level, int line, const wchar_t* file, const wchar_t* format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
      Compose(level, file ? file : L"", line, format, nullptr, 0);
    } else {
      const text_format::FormatArg packed[] = {text_format::MakeFormatArg(args)...};
      Compose(level, file ? file : L"", line, format, packed, sizeof...(Args));
    }
  }

  // The text is the format: "%%" is written as one percent sign.
  void Info(const wchar_t* text) { Log(LOG_LEVEL_INFO, text); }
  void Error(const wchar_t* text) { Log(LOG_LEVEL_ERRO, text); }

  // Replaces the format record (null disables the logger).
  void SetFormat(std::unique_ptr<LogFormat> format);

  virtual bool IsEnabled() = 0;

 protected:
  BaseLogger() = default;
  BaseLogger(const BaseLogger&) = delete;
  BaseLogger& operator=(const BaseLogger&) = delete;

  // Writes one finished line to the sink.
  virtual void Output(const std::wstring& line) = 0;

  bool HasFormat() const { return format_ != nullptr; }

  CCriticalLock lock_;

 private:
  // `file` null: no location part.
  void Compose(int level, const wchar_t* file, int line, const wchar_t* format,
               const text_format::FormatArg* args, size_t count);

  std::unique_ptr<LogFormat> format_;
};
