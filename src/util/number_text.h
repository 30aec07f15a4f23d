#pragma once
// Decimal numbers to and from text.
#include <cstdint>
#include <string>
#include <string_view>

std::string IntToStr(int32_t value);
std::string UIntToStr(uint32_t value);

// C-runtime rules: leading white space and one sign are accepted, parsing stops at the first
// non-digit, 0 when there is no digit. A value out of range saturates at the type's limit.
int32_t ToInt(std::wstring_view text);
int64_t ToInt64(std::wstring_view text);
