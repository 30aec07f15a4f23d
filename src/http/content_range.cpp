#include "http/content_range.h"

bool ContentRangeStart(const std::wstring& text, uint64_t* start) {
  const size_t digits = text.find_first_of(L"0123456789");
  if (digits == std::wstring::npos) return false;
  uint64_t value = 0;
  for (size_t i = digits; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
  }
  *start = value;
  return true;
}
