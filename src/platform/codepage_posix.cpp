#include "platform/codepage.h"

#include <cstdint>

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;  // lone surrogates are not characters
  if (c > 0x10FFFF) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string WideToMultiByte(CodePage, std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t w : text) AppendUtf8(out, static_cast<char32_t>(w));
  return out;
}

// Decodes UTF-8; each maximal invalid subsequence becomes one U+FFFD, as the Windows decoder does.
std::wstring MultiByteToWide(CodePage, std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      out += static_cast<wchar_t>(b);
      ++i;
      continue;
    }
    int len = 0;
    char32_t c = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2; c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3; c = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4; c = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      out += static_cast<wchar_t>(kReplacement);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 1; k < len; ++k, ++j) {
      const unsigned char lower = (k == 1) ? lo : 0x80;
      const unsigned char upper = (k == 1) ? hi : 0xBF;
      if (j >= n || p[j] < lower || p[j] > upper) {
        ok = false;
        break;
      }
      c = (c << 6) | (p[j] & 0x3F);
    }
    out += static_cast<wchar_t>(ok ? c : kReplacement);
    i = j;
  }
  return out;
}

}  // namespace platform
