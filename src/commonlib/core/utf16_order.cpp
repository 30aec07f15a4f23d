#include "commonlib/core/utf16_order.h"

#include <cstdint>

namespace {

// Walks a wide string as a sequence of UTF-16 code units without converting it.
class Utf16UnitReader {
 public:
  explicit Utf16UnitReader(std::wstring_view text) : text_(text) {}

  bool AtEnd() const { return index_ == text_.size() && pendingLow_ == 0; }

  // The next code unit; values that are no character (beyond U+10FFFF) stay as they are, above
  // every real unit.
  uint32_t Next() {
    if (pendingLow_ != 0) {
      const uint32_t low = pendingLow_;
      pendingLow_ = 0;
      return low;
    }
    const uint32_t c = static_cast<uint32_t>(text_[index_++]);
    if constexpr (sizeof(wchar_t) == 2) {
      return c & 0xFFFFu;
    } else {
      if (c >= 0x10000u && c <= 0x10FFFFu) {
        const uint32_t offset = c - 0x10000u;
        pendingLow_ = 0xDC00u + (offset & 0x3FFu);
        return 0xD800u + (offset >> 10);
      }
      return c;
    }
  }

 private:
  std::wstring_view text_;
  size_t index_ = 0;
  uint32_t pendingLow_ = 0;
};

}  // namespace

int CompareUtf16(std::wstring_view a, std::wstring_view b) {
  if constexpr (sizeof(wchar_t) == 2) {
    // Already code units; only the sign of wchar_t must not matter.
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
      const uint32_t ua = static_cast<uint16_t>(a[i]);
      const uint32_t ub = static_cast<uint16_t>(b[i]);
      if (ua != ub) return ua < ub ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  } else {
    Utf16UnitReader ra(a);
    Utf16UnitReader rb(b);
    while (!ra.AtEnd() && !rb.AtEnd()) {
      const uint32_t ua = ra.Next();
      const uint32_t ub = rb.Next();
      if (ua != ub) return ua < ub ? -1 : 1;
    }
    if (ra.AtEnd() && rb.AtEnd()) return 0;
    return ra.AtEnd() ? -1 : 1;
  }
}
