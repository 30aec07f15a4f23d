#include "util/number_text.h"

#include <limits>

#include "util/format.h"
#include "util/text_edit.h"

namespace {

// Saturating decimal parse with the C runtime's leading white space and sign.
template <typename Int>
Int ParseDecimal(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && IsWideSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  using Unsigned = std::make_unsigned_t<Int>;
  const Unsigned limit = negative ? Unsigned(std::numeric_limits<Int>::max()) + 1u : Unsigned(std::numeric_limits<Int>::max());
  Unsigned magnitude = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    const Unsigned digit = static_cast<Unsigned>(text[i] - L'0');
    if (magnitude > (limit - digit) / 10u) {
      magnitude = limit;
      break;
    }
    magnitude = magnitude * 10u + digit;
  }
  if (!negative) return static_cast<Int>(magnitude);
  // Negate in the unsigned type; the two's-complement conversion back is well defined in C++20.
  return static_cast<Int>(Unsigned(0) - magnitude);
}

}  // namespace

std::string IntToStr(int32_t value) { return FormatA("%d", value); }

std::string UIntToStr(uint32_t value) { return FormatA("%u", value); }

int32_t ToInt(std::wstring_view text) { return ParseDecimal<int32_t>(text); }

int64_t ToInt64(std::wstring_view text) { return ParseDecimal<int64_t>(text); }
