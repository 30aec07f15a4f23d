#include "util/format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/text_convert.h"

namespace text_format {

namespace {

// Larger widths and precisions are refused: they could only come from a broken format or a bad
// '*' argument, and would make the formatter allocate without bound.
constexpr int kMaxField = 65536;

enum class TextWidth { Own, Narrow, Wide };

struct Directive {
  bool leftAlign = false;
  bool plusSign = false;
  bool spaceSign = false;
  bool alternate = false;
  bool zeroPad = false;
  int width = 0;
  bool widthFromArg = false;
  int precision = -1;  // -1: not given
  bool precisionFromArg = false;
  int lengthBits = 0;  // 0: the argument's own width
  TextWidth textWidth = TextWidth::Own;
  char conversion = 0;
};

bool IsKnownConversion(char c) { return std::strchr("diuxXocCsSfFeEgGp", c) != nullptr; }

// Unsigned bits of an integer argument, narrowed to `bits`.
uint64_t RawBits(const FormatArg& arg, int bits) {
  uint64_t raw = arg.kind == FormatArg::Kind::Signed ? static_cast<uint64_t>(arg.signedValue) : arg.unsignedValue;
  if (bits < 64) raw &= (uint64_t{1} << bits) - 1;
  return raw;
}

int64_t SignExtend(uint64_t raw, int bits) {
  if (bits >= 64) return static_cast<int64_t>(raw);
  const uint64_t signBit = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>((raw ^ signBit) - signBit);
}

bool IsInteger(const FormatArg& arg) {
  return arg.kind == FormatArg::Kind::Signed || arg.kind == FormatArg::Kind::Unsigned;
}

std::string Digits(uint64_t value, unsigned base, bool upper) {
  const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string digits;
  while (value != 0) {
    digits.insert(digits.begin(), digitSet[value % base]);
    value /= base;
  }
  return digits;
}

// Fixed or scientific text of a finite, non-negative value.
std::string RealText(double value, std::chars_format style, int precision) {
  std::vector<char> buffer(static_cast<size_t>(precision) + 400);
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, style, precision);
  return std::string(buffer.data(), result.ptr);
}

void StripTrailingZeros(std::string& text) {
  const size_t exponent = text.find('e');
  std::string mantissa = text.substr(0, exponent);
  const std::string tail = exponent == std::string::npos ? std::string() : text.substr(exponent);
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  }
  text = mantissa + tail;
}

void EnsureDecimalPoint(std::string& text) {
  if (text.find('.') != std::string::npos) return;
  const size_t exponent = text.find('e');
  text.insert(exponent == std::string::npos ? text.size() : exponent, 1, '.');
}

// Digits of a finite, non-negative value for %f %e %g (lower case).
std::string RealDigits(double value, char conversion, int precision, bool alternate) {
  std::string text;
  switch (conversion) {
    case 'f':
      text = RealText(value, std::chars_format::fixed, precision);
      break;
    case 'e':
      text = RealText(value, std::chars_format::scientific, precision);
      break;
    default: {  // g: the shorter style by the C rules, trailing zeros dropped unless '#'
      const int significant = precision == 0 ? 1 : precision;
      const std::string probe = RealText(value, std::chars_format::scientific, significant - 1);
      const int exponent = std::atoi(probe.c_str() + probe.find('e') + 1);
      if (significant > exponent && exponent >= -4) {
        text = RealText(value, std::chars_format::fixed, significant - 1 - exponent);
      } else {
        text = probe;
      }
      if (alternate) {
        EnsureDecimalPoint(text);
      } else {
        StripTrailingZeros(text);
      }
      return text;
    }
  }
  if (alternate && precision == 0) EnsureDecimalPoint(text);
  return text;
}

template <typename CharT>
class Formatter {
 public:
  using String = std::basic_string<CharT>;
  static constexpr bool kWide = std::is_same_v<CharT, wchar_t>;

  Formatter(const FormatArg* args, size_t count) : args_(args), count_(count) {}

  String Run(const CharT* format) {
    const CharT* p = format;
    while (*p != 0) {
      if (*p != CharT('%')) {
        out_ += *p++;
        continue;
      }
      const CharT* start = p;
      p = ParseDirective(p + 1);
      if (p == nullptr) {  // format ended inside the directive
        out_.append(start);
        break;
      }
    }
    return std::move(out_);
  }

 private:
  // Parses and writes one directive starting after its '%'; returns the position after it, or
  // null when the format ends first.
  const CharT* ParseDirective(const CharT* p) {
    const CharT* start = p - 1;
    if (*p == CharT('%')) {
      out_ += CharT('%');
      return p + 1;
    }
    Directive d;
    for (;; ++p) {
      if (*p == CharT('-')) d.leftAlign = true;
      else if (*p == CharT('+')) d.plusSign = true;
      else if (*p == CharT(' ')) d.spaceSign = true;
      else if (*p == CharT('#')) d.alternate = true;
      else if (*p == CharT('0')) d.zeroPad = true;
      else break;
    }
    bool tooLarge = false;
    if (*p == CharT('*')) {
      d.widthFromArg = true;
      ++p;
    } else {
      p = ParseNumber(p, &d.width, &tooLarge);
    }
    if (*p == CharT('.')) {
      ++p;
      if (*p == CharT('*')) {
        d.precisionFromArg = true;
        ++p;
      } else {
        d.precision = 0;
        p = ParseNumber(p, &d.precision, &tooLarge);
      }
    }
    p = Length(p, &d);
    if (*p == 0) return nullptr;
    const CharT conversion = *p++;
    const bool known = conversion > 0 && conversion < 0x80 && IsKnownConversion(static_cast<char>(conversion));
    if (!known || tooLarge) {
      out_.append(start, p);
      return p;
    }
    d.conversion = static_cast<char>(conversion);
    if (!TakeStarArguments(&d) || next_ >= count_) {
      out_.append(start, p);
      return p;
    }
    if (!Convert(d, args_[next_++])) out_.append(start, p);
    return p;
  }

  const CharT* ParseNumber(const CharT* p, int* value, bool* tooLarge) {
    while (*p >= CharT('0') && *p <= CharT('9')) {
      if (*value <= kMaxField) *value = *value * 10 + static_cast<int>(*p - CharT('0'));
      ++p;
    }
    if (*value > kMaxField) *tooLarge = true;
    return p;
  }

  static bool At(const CharT* p, const char* text) {
    for (; *text != 0; ++p, ++text) {
      if (*p != CharT(*text)) return false;
    }
    return true;
  }

  const CharT* Length(const CharT* p, Directive* d) {
    if (At(p, "hh")) { d->lengthBits = 8; d->textWidth = TextWidth::Narrow; return p + 2; }
    if (At(p, "h")) { d->lengthBits = 16; d->textWidth = TextWidth::Narrow; return p + 1; }
    if (At(p, "I32")) { d->lengthBits = 32; return p + 3; }
    if (At(p, "I64")) return p + 3;
    if (At(p, "ll")) return p + 2;
    if (At(p, "l") || At(p, "w")) { d->textWidth = TextWidth::Wide; return p + 1; }
    if (At(p, "I") || At(p, "z") || At(p, "j") || At(p, "t") || At(p, "L") || At(p, "q")) return p + 1;
    return p;
  }

  // Consumes the '*' arguments. False when one is missing or is not an integer (a present one is
  // still consumed) or gives a width beyond the limit.
  bool TakeStarArguments(Directive* d) {
    if (d->widthFromArg) {
      if (next_ >= count_) return false;
      const FormatArg& arg = args_[next_++];
      int64_t width = 0;
      if (!StarValue(arg, &width)) return false;
      if (width < 0) {
        d->leftAlign = true;
        width = -width;
      }
      if (width > kMaxField) return false;
      d->width = static_cast<int>(width);
    }
    if (d->precisionFromArg) {
      if (next_ >= count_) return false;
      const FormatArg& arg = args_[next_++];
      int64_t precision = 0;
      if (!StarValue(arg, &precision)) return false;
      if (precision > kMaxField) return false;
      d->precision = precision < 0 ? -1 : static_cast<int>(precision);
    }
    return true;
  }

  static bool StarValue(const FormatArg& arg, int64_t* value) {
    if (!IsInteger(arg)) return false;
    if (arg.kind == FormatArg::Kind::Unsigned && arg.unsignedValue > uint64_t(kMaxField)) {
      *value = int64_t{kMaxField} + 1;
      return true;
    }
    *value = arg.kind == FormatArg::Kind::Signed ? arg.signedValue : static_cast<int64_t>(arg.unsignedValue);
    if (*value < -int64_t{kMaxField}) *value = int64_t{kMaxField} + 1;  // too wide either way
    return true;
  }

  bool Convert(const Directive& d, const FormatArg& arg) {
    switch (d.conversion) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
        return IsInteger(arg) && (Integer(d, arg), true);
      case 'c': case 'C':
        return IsInteger(arg) && (Character(d, arg), true);
      case 's': case 'S':
        return (arg.kind == FormatArg::Kind::NarrowText || arg.kind == FormatArg::Kind::WideText) && (Text(d, arg), true);
      case 'p':
        return arg.kind == FormatArg::Kind::Pointer && (Pointer(d, arg), true);
      default:  // f F e E g G
        return (arg.kind == FormatArg::Kind::Real || IsInteger(arg)) && (Real(d, arg), true);
    }
  }

  void Integer(const Directive& d, const FormatArg& arg) {
    const int bits = d.lengthBits != 0 && d.lengthBits < arg.bits ? d.lengthBits : arg.bits;
    const uint64_t raw = RawBits(arg, bits);
    std::string sign;
    uint64_t magnitude = raw;
    if (d.conversion == 'd' || d.conversion == 'i') {
      const int64_t value = SignExtend(raw, bits);
      magnitude = value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
      if (value < 0) sign = "-";
      else if (d.plusSign) sign = "+";
      else if (d.spaceSign) sign = " ";
    }
    const unsigned base = d.conversion == 'o' ? 8 : (d.conversion == 'x' || d.conversion == 'X') ? 16 : 10;
    std::string digits = Digits(magnitude, base, d.conversion == 'X');
    const size_t minDigits = d.precision < 0 ? 1 : static_cast<size_t>(d.precision);
    if (digits.size() < minDigits) digits.insert(0, minDigits - digits.size(), '0');
    std::string prefix;
    if (d.alternate) {
      if (base == 8 && (digits.empty() || digits[0] != '0')) digits.insert(0, 1, '0');
      if (base == 16 && magnitude != 0) prefix = d.conversion == 'X' ? "0X" : "0x";
    }
    WriteNumber(d, sign + prefix, digits, d.zeroPad && d.precision < 0);
  }

  void Real(const Directive& d, const FormatArg& arg) {
    double value = arg.kind == FormatArg::Kind::Real ? arg.realValue
                   : arg.kind == FormatArg::Kind::Signed ? static_cast<double>(arg.signedValue)
                                                         : static_cast<double>(arg.unsignedValue);
    const bool upper = d.conversion == 'F' || d.conversion == 'E' || d.conversion == 'G';
    const char lower = static_cast<char>(d.conversion | 0x20);
    std::string sign;
    const bool negative = !std::isnan(value) && std::signbit(value);
    if (negative) sign = "-";
    else if (d.plusSign) sign = "+";
    else if (d.spaceSign) sign = " ";
    std::string digits;
    const bool finite = std::isfinite(value);
    if (std::isnan(value)) {
      digits = "nan";
    } else if (!finite) {
      digits = "inf";
    } else {
      digits = RealDigits(std::fabs(value), lower, d.precision < 0 ? 6 : d.precision, d.alternate);
    }
    if (upper) {
      for (char& c : digits) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      }
    }
    WriteNumber(d, sign, digits, d.zeroPad && finite);
  }

  void Pointer(const Directive& d, const FormatArg& arg) {
    std::string digits = Digits(reinterpret_cast<uintptr_t>(arg.pointerValue), 16, true);
    digits.insert(0, sizeof(void*) * 2 - digits.size(), '0');
    WriteNumber(d, std::string(), digits, false);
  }

  // Writes prefix and digits (ASCII) padded to the width.
  void WriteNumber(const Directive& d, const std::string& prefix, const std::string& digits, bool zeroPad) {
    const size_t length = prefix.size() + digits.size();
    const size_t pad = static_cast<size_t>(d.width) > length ? static_cast<size_t>(d.width) - length : 0;
    if (d.leftAlign) {
      AppendAscii(prefix);
      AppendAscii(digits);
      out_.append(pad, CharT(' '));
    } else if (zeroPad) {
      AppendAscii(prefix);
      out_.append(pad, CharT('0'));
      AppendAscii(digits);
    } else {
      out_.append(pad, CharT(' '));
      AppendAscii(prefix);
      AppendAscii(digits);
    }
  }

  void AppendAscii(const std::string& text) {
    for (char c : text) out_ += static_cast<CharT>(c);
  }

  bool WantsWide(const Directive& d) const {
    if (d.textWidth == TextWidth::Narrow) return false;
    if (d.textWidth == TextWidth::Wide) return true;
    const bool upper = d.conversion == 'S' || d.conversion == 'C';
    return kWide != upper;
  }

  void Character(const Directive& d, const FormatArg& arg) {
    const uint64_t raw = RawBits(arg, arg.bits);
    if (raw == 0) return PaddedOutput(d, String());  // a NUL would cut the text short downstream
    if (WantsWide(d)) {
      // The value is a code point; one beyond Unicode becomes the replacement character.
      const uint32_t codePoint = raw > 0x10FFFF ? 0xFFFD : static_cast<uint32_t>(raw);
      std::u16string units;
      if (codePoint > 0xFFFF) {
        units += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
        units += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
      } else {
        units += static_cast<char16_t>(codePoint);
      }
      Padded(d, Utf16ToWide(units));
    } else {
      Padded(d, std::string(1, static_cast<char>(raw & 0xFF)));
    }
  }

  void Text(const Directive& d, const FormatArg& arg) {
    if (arg.kind == FormatArg::Kind::NarrowText) {
      if (arg.narrowData == nullptr) return Padded(d, std::string("(null)"));
      std::string_view text(arg.narrowData, arg.textLength);
      if (d.precision >= 0 && text.size() > static_cast<size_t>(d.precision)) text = text.substr(0, static_cast<size_t>(d.precision));
      return Padded(d, text);
    }
    if (arg.wideData == nullptr) return Padded(d, std::wstring(L"(null)"));
    std::wstring_view text(arg.wideData, arg.textLength);
    if (d.precision >= 0) text = CutToUtf16Units(text, static_cast<size_t>(d.precision));
    Padded(d, text);
  }

  // The longest prefix of at most `limit` UTF-16 units that does not split a character.
  static std::wstring_view CutToUtf16Units(std::wstring_view text, size_t limit) {
    size_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
      const size_t take = IsSurrogatePair(text, i) ? 2 : 1;
      const size_t cost = Utf16Length(text.substr(i, take));
      if (units + cost > limit) break;
      units += cost;
      i += take;
    }
    return text.substr(0, i);
  }

  static bool IsSurrogatePair(std::wstring_view text, size_t i) {
    return i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
  }

  void Padded(const Directive& d, std::string_view narrow) {
    if constexpr (kWide) {
      PaddedOutput(d, AnsiToWide(narrow));
    } else {
      PaddedOutput(d, String(narrow));
    }
  }

  void Padded(const Directive& d, std::wstring_view wide) {
    if constexpr (kWide) {
      PaddedOutput(d, String(wide));
    } else {
      PaddedOutput(d, WideToAnsi(wide));
    }
  }

  void PaddedOutput(const Directive& d, const String& text) {
    size_t length = text.size();
    if constexpr (kWide) length = Utf16Length(text);
    const size_t pad = static_cast<size_t>(d.width) > length ? static_cast<size_t>(d.width) - length : 0;
    if (!d.leftAlign) out_.append(pad, CharT(' '));
    out_ += text;
    if (d.leftAlign) out_.append(pad, CharT(' '));
  }

  const FormatArg* args_;
  size_t count_;
  size_t next_ = 0;
  String out_;
};

}  // namespace

std::string FormatNarrow(const char* format, const FormatArg* args, size_t count) {
  if (format == nullptr) return {};
  return Formatter<char>(args, count).Run(format);
}

std::wstring FormatWide(const wchar_t* format, const FormatArg* args, size_t count) {
  if (format == nullptr) return {};
  return Formatter<wchar_t>(args, count).Run(format);
}

}  // namespace text_format
