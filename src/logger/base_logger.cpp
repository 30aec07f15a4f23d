#include "logger/base_logger.h"

#include "platform/clock.h"
#include "platform/ids.h"

namespace {

// Header parts are bounded: at most 63 characters each, the location at most 2047.
constexpr size_t kMaxHeaderPart = 63;
constexpr size_t kMaxLocationPart = 2047;

void AppendPart(std::wstring& line, std::wstring part, size_t limit) {
  if (part.size() > limit) part.resize(limit);
  line += part;
}

const wchar_t* LevelTag(int level) {
  switch (level) {
    case LOG_LEVEL_INFO: return L"INFO";
    case LOG_LEVEL_WARN: return L"WARN";
    case LOG_LEVEL_ERRO: return L"ERRO";
    default: return nullptr;
  }
}

}  // namespace

BaseLogger::~BaseLogger() = default;

void BaseLogger::SetFormat(std::unique_ptr<LogFormat> format) {
  CScopedLock guard(lock_);
  format_ = std::move(format);
}

void BaseLogger::Compose(int level, const wchar_t* file, int line, const wchar_t* format,
                         const text_format::FormatArg* args, size_t count) {
  CScopedLock guard(lock_);
  if (!IsEnabled()) return;  // nothing is formatted for a sink that takes no lines
  const uint32_t flags = format_->flags;

  std::wstring text;
  if (const wchar_t* tag = LevelTag(level)) AppendPart(text, FormatW(L"[%4s]", tag), kMaxHeaderPart);
  if (flags & LOG_FLAG_TIME) {
    const platform::LocalDateTime now = platform::LocalTimeNow();
    const std::wstring date = FormatW(L"[%04d-%02d-%02d %02d:%02d:%02d]", now.year, now.month, now.day, now.hour,
                                      now.minute, now.second);
    AppendPart(text, FormatW(L"%s[tick:%u]", date, platform::TickCount()), kMaxHeaderPart);
  }
  if (flags & LOG_FLAG_PID) AppendPart(text, FormatW(L"[pid:%d]", platform::CurrentProcessId()), kMaxHeaderPart);
  if (flags & LOG_FLAG_TID) AppendPart(text, FormatW(L"[tid:%d]", platform::CurrentThreadId()), kMaxHeaderPart);
  if (file != nullptr) AppendPart(text, FormatW(L"[%s:%d]", file, line), kMaxLocationPart);
  text += text_format::FormatWide(format, args, count);
  if (format_->appendNewline) text += L"\r\n";
  Output(text);
}
