#pragma once
// printf-style formatting into strings, the same on every target.
//
// Conversions: d i u x X o c s f F e E g G p and %%; flags - + space # 0; width and precision,
// each a number or '*'; size prefixes h hh l ll I32 I64 z j t L (h, hh and I32 narrow an integer
// to 16, 8 and 32 bits; the others keep the argument's own width, which the formatter knows).
// %s takes a string of the format's own width and %S one of the other width (hs is always narrow,
// ls and ws always wide); a string of either width is accepted and converted through the ANSI
// code page. Widths count output code units and precisions the argument's, UTF-16 units for wide
// text (a precision never splits a character), so both targets write the same text. %c of 0 writes
// nothing; %f %e %g take integers too; %p writes two hexadecimal digits per byte of a pointer.
// A directive that is unknown, lacks its argument or gets an argument of the wrong kind is written
// out literally (a wrong-kind argument is still consumed). Floating point is locale-independent.
#include <string>
#include <string_view>

#include "util/format_arg.h"

namespace text_format {

std::string FormatNarrow(const char* format, const FormatArg* args, size_t count);
std::wstring FormatWide(const wchar_t* format, const FormatArg* args, size_t count);

}  // namespace text_format

// A null format, or one that formats to nothing, gives an empty string.
template <typename... Args>
std::wstring FormatW(const wchar_t* format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return text_format::FormatWide(format, nullptr, 0);
  } else {
    const text_format::FormatArg packed[] = {text_format::MakeFormatArg(args)...};
    return text_format::FormatWide(format, packed, sizeof...(Args));
  }
}

template <typename... Args>
std::string FormatA(const char* format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return text_format::FormatNarrow(format, nullptr, 0);
  } else {
    const text_format::FormatArg packed[] = {text_format::MakeFormatArg(args)...};
    return text_format::FormatNarrow(format, packed, sizeof...(Args));
  }
}
