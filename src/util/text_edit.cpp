#include "util/text_edit.h"

#include <cstdint>
#include <iterator>
#include <type_traits>

namespace {

template <typename Char>
std::vector<std::basic_string<Char>> Split(std::basic_string_view<Char> text, std::basic_string_view<Char> separator) {
  std::vector<std::basic_string<Char>> pieces;
  if (text.empty() || separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    const size_t found = text.find(separator, start);
    if (found == std::basic_string_view<Char>::npos) break;
    pieces.emplace_back(text.substr(start, found - start));
    start = found + separator.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

}  // namespace

bool IsWideSpace(wchar_t c) {
  switch (static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c))) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
    case 0x85: case 0xA0: case 0x1680:
    case 0x2000: case 0x2001: case 0x2002: case 0x2003: case 0x2004: case 0x2005:
    case 0x2006: case 0x2007: case 0x2008: case 0x2009: case 0x200A:
    case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return false;
  }
}

std::wstring ToLowerW(std::wstring_view text) {
  std::wstring lowered(text);
  for (wchar_t& c : lowered) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return lowered;
}

void TrimW(std::wstring& text) {
  size_t end = text.size();
  while (end > 0 && IsWideSpace(text[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && IsWideSpace(text[begin])) ++begin;
  text.erase(end);
  text.erase(0, begin);
}

std::wstring ReplaceAllW(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
  if (from.empty()) return std::wstring(text);
  std::wstring out;
  size_t start = 0;
  for (;;) {
    const size_t found = text.find(from, start);
    if (found == std::wstring_view::npos) break;
    out.append(text.substr(start, found - start));
    out.append(to);
    start = found + from.size();
  }
  out.append(text.substr(start));
  return out;
}

std::vector<std::wstring> SplitW(std::wstring_view text, std::wstring_view separator) { return Split(text, separator); }

std::list<std::wstring> SplitSemicolonW(std::wstring_view text) {
  std::vector<std::wstring> pieces = Split(text, std::wstring_view(L";"));
  return std::list<std::wstring>(std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
}

std::vector<std::string> SplitSemicolonA(std::string_view text) { return Split(text, std::string_view(";")); }
