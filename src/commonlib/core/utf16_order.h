#pragma once
// Order of wide strings by their UTF-16 code units, compared as unsigned 16-bit numbers, the same
// on every target: where wchar_t is UTF-32, a character above U+FFFF sorts as its surrogate pair
// (so it comes before U+E000..U+FFFF, as it does on Windows).
#include <string_view>

// Negative, zero or positive as `a` sorts before, with or after `b`.
int CompareUtf16(std::wstring_view a, std::wstring_view b);

// Map comparator; transparent, so lookups take a std::wstring_view without building a string.
struct Utf16Less {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const { return CompareUtf16(a, b) < 0; }
};
