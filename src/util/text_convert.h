#pragma once
// Conversions between wide text and byte text at the system's edges: UTF-8 for JSON and HTTP, the
// ANSI code page for C-runtime and source-file names, UTF-16 where a byte format is defined on
// UTF-16 code units. An empty input gives an empty output; invalid input is replaced, never fatal.
#include <string>
#include <string_view>

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// A character the ANSI code page cannot represent becomes a space.
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

// UTF-16 code units of wide text (wchar_t is UTF-16 on Windows, UTF-32 elsewhere). Unpaired
// surrogates and values beyond U+10FFFF become U+FFFD.
std::u16string WideToUtf16(std::wstring_view text);
std::wstring Utf16ToWide(std::u16string_view text);
// Number of UTF-16 code units the text takes, the same on every target.
size_t Utf16Length(std::wstring_view text);
