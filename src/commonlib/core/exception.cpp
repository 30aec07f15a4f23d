#include "commonlib/core/exception.h"

#include <utility>

#include "logger/log.h"
#include "util/format.h"
#include "util/text_convert.h"

IException::IException(int32_t code, std::wstring message) : code(code), message(std::move(message)) {}

IException::~IException() = default;

void IException::GetErrorText(std::wstring& out) const {
  out = FormatW(L"[Exception]%s(%d): code:%d errMsg:%s", file, line, code, message);
}

bool IException::OnReport(const std::wstring& /*text*/) const { return true; }

bool IException::Report() const {
  std::wstring text;
  GetErrorText(text);
  // The text is the format: a message that holds a percent sign is written as the formatter
  // reads it, and a directive without an argument is written literally.
  LOG_ERRO(text.c_str());
  OnReport(text);
  return true;
}

void IException::SetLocation(const char* sourceFile, int32_t sourceLine) {
  file = sourceFile != nullptr ? AnsiToWide(sourceFile) : std::wstring();
  line = sourceLine;
}
