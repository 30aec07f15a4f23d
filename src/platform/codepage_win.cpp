#include "platform/codepage.h"

#include <windows.h>

namespace platform {

namespace {
UINT ToWin(CodePage codePage) { return codePage == CodePage::Utf8 ? CP_UTF8 : CP_ACP; }
}

std::string WideToMultiByte(CodePage codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int wideLen = static_cast<int>(text.size());
  const int len = ::WideCharToMultiByte(ToWin(codePage), 0, text.data(), wideLen, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return {};
  std::string out(static_cast<size_t>(len), '\0');
  ::WideCharToMultiByte(ToWin(codePage), 0, text.data(), wideLen, out.data(), len, nullptr, nullptr);
  return out;
}

std::wstring MultiByteToWide(CodePage codePage, std::string_view text) {
  if (text.empty()) return {};
  const int byteLen = static_cast<int>(text.size());
  const int len = ::MultiByteToWideChar(ToWin(codePage), 0, text.data(), byteLen, nullptr, 0);
  if (len <= 0) return {};
  std::wstring out(static_cast<size_t>(len), L'\0');
  ::MultiByteToWideChar(ToWin(codePage), 0, text.data(), byteLen, out.data(), len);
  return out;
}

}  // namespace platform
