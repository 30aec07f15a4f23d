#pragma once
// Conversions between wide text (UTF-16 on Windows, UTF-32 on POSIX) and byte text in a code page.
// Windows: the system's conversion calls. POSIX: both code pages are UTF-8; invalid input becomes
// U+FFFD, so a conversion never fails.
#include <string>
#include <string_view>

namespace platform {

enum class CodePage {
  Ansi,  // the system's ANSI code page (used for C-runtime and source-file names)
  Utf8,
};

std::string WideToMultiByte(CodePage codePage, std::wstring_view text);
std::wstring MultiByteToWide(CodePage codePage, std::string_view text);

}  // namespace platform
