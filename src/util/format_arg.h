#pragma once
// One argument of a printf-style format, captured with its type so the formatter never reads an
// argument it was not given and never guesses a width. Built by MakeFormatArg from the caller's
// values; holds views, so it lives only as long as the call that made it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace text_format {

struct FormatArg {
  enum class Kind { Signed, Unsigned, Real, NarrowText, WideText, Pointer };

  Kind kind = Kind::Signed;
  int bits = 0;  // width of an integer argument's own type, 8..64
  union {
    int64_t signedValue;
    uint64_t unsignedValue;
    double realValue;
    const void* pointerValue;
  };
  // Text arguments; null data means a null pointer was passed.
  const char* narrowData = nullptr;
  const wchar_t* wideData = nullptr;
  size_t textLength = 0;

  FormatArg() : signedValue(0) {}
};

template <typename T>
FormatArg MakeFormatArg(const T& value) {
  using U = std::remove_cv_t<T>;
  FormatArg arg;
  if constexpr (std::is_same_v<U, bool>) {
    arg.kind = FormatArg::Kind::Signed;
    arg.bits = 32;
    arg.signedValue = value ? 1 : 0;
  } else if constexpr (std::is_enum_v<U>) {
    return MakeFormatArg(static_cast<std::underlying_type_t<U>>(value));
  } else if constexpr (std::is_integral_v<U>) {
    arg.bits = static_cast<int>(sizeof(U) * 8);
    if constexpr (std::is_signed_v<U>) {
      arg.kind = FormatArg::Kind::Signed;
      arg.signedValue = static_cast<int64_t>(value);
    } else {
      arg.kind = FormatArg::Kind::Unsigned;
      arg.unsignedValue = static_cast<uint64_t>(value);
    }
  } else if constexpr (std::is_floating_point_v<U>) {
    arg.kind = FormatArg::Kind::Real;
    arg.realValue = static_cast<double>(value);
  } else if constexpr (std::is_same_v<U, std::string> || std::is_same_v<U, std::string_view>) {
    arg.kind = FormatArg::Kind::NarrowText;
    arg.narrowData = value.data() ? value.data() : "";
    arg.textLength = value.size();
  } else if constexpr (std::is_same_v<U, std::wstring> || std::is_same_v<U, std::wstring_view>) {
    arg.kind = FormatArg::Kind::WideText;
    arg.wideData = value.data() ? value.data() : L"";
    arg.textLength = value.size();
  } else if constexpr (std::is_array_v<U> && std::is_same_v<std::remove_cv_t<std::remove_extent_t<U>>, char>) {
    return MakeFormatArg(static_cast<const char*>(value));
  } else if constexpr (std::is_array_v<U> && std::is_same_v<std::remove_cv_t<std::remove_extent_t<U>>, wchar_t>) {
    return MakeFormatArg(static_cast<const wchar_t*>(value));
  } else if constexpr (std::is_pointer_v<U> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<U>>, char>) {
    arg.kind = FormatArg::Kind::NarrowText;
    arg.narrowData = value;
    arg.textLength = value ? std::char_traits<char>::length(value) : 0;
  } else if constexpr (std::is_pointer_v<U> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<U>>, wchar_t>) {
    arg.kind = FormatArg::Kind::WideText;
    arg.wideData = value;
    arg.textLength = value ? std::char_traits<wchar_t>::length(value) : 0;
  } else if constexpr (std::is_null_pointer_v<U>) {
    arg.kind = FormatArg::Kind::Pointer;
    arg.pointerValue = nullptr;
  } else if constexpr (std::is_pointer_v<U>) {
    arg.kind = FormatArg::Kind::Pointer;
    arg.pointerValue = reinterpret_cast<const void*>(value);
  } else {
    static_assert(sizeof(U) == 0, "this type cannot be a format argument");
  }
  return arg;
}

}  // namespace text_format
