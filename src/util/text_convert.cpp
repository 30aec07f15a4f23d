#include "util/text_convert.h"

#include <type_traits>

#include "platform/codepage.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Calls `emit` with each code point of wide text; an unpaired surrogate, or a value that is no
// code point, is passed through as it is for the caller to judge.
template <typename Emit>
void ForEachCodePoint(std::wstring_view text, Emit emit) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if (sizeof(wchar_t) == 2 && IsHigh(c) && i + 1 < text.size()) {
      const char32_t next = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]));
      if (IsLow(next)) {
        emit(0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00), text.substr(i, 2));
        ++i;
        continue;
      }
    }
    emit(c, text.substr(i, 1));
  }
}

bool IsCodePoint(char32_t c) { return c <= 0x10FFFF && !IsHigh(c) && !IsLow(c); }

}  // namespace

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  return platform::WideToMultiByte(platform::CodePage::Utf8, text);
}

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  return platform::MultiByteToWide(platform::CodePage::Utf8, text);
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const std::string whole = platform::WideToMultiByte(platform::CodePage::Ansi, text);
  if (platform::MultiByteToWide(platform::CodePage::Ansi, whole) == text) return whole;
  // Something did not survive the code page: convert character by character and put a space
  // where one does not come back as it went in.
  std::string out;
  ForEachCodePoint(text, [&out](char32_t, std::wstring_view character) {
    const std::string bytes = platform::WideToMultiByte(platform::CodePage::Ansi, character);
    const bool kept = !bytes.empty() && platform::MultiByteToWide(platform::CodePage::Ansi, bytes) == character;
    out += kept ? bytes : std::string(" ");
  });
  return out;
}

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  return platform::MultiByteToWide(platform::CodePage::Ansi, text);
}

std::u16string WideToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&out](char32_t c, std::wstring_view) {
    if (!IsCodePoint(c)) c = kReplacement;
    if (c > 0xFFFF) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  });
  return out;
}

std::wstring Utf16ToWide(std::u16string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHigh(c) || IsLow(c)) {
      c = kReplacement;
    }
    if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
      out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
  }
  return out;
}

size_t Utf16Length(std::wstring_view text) {
  size_t units = 0;
  ForEachCodePoint(text, [&units](char32_t c, std::wstring_view) { units += IsCodePoint(c) && c > 0xFFFF ? 2 : 1; });
  return units;
}
