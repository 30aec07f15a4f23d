#pragma once
// Trimming, lower-casing, replacing and splitting of text.
#include <list>
#include <string>
#include <string_view>
#include <vector>

// White space as Unicode defines it (tab to carriage return, space, next line, no-break space and
// the other space separators), the same on every target.
bool IsWideSpace(wchar_t c);

// Lowers A to Z only, as the C runtime does in its default locale, so results match everywhere.
std::wstring ToLowerW(std::wstring_view text);

// Removes leading and trailing white space in place.
void TrimW(std::wstring& text);

// Every non-overlapping occurrence of `from`, searched left to right, replaced by `to`. An empty
// `from` leaves the text unchanged.
std::wstring ReplaceAllW(std::wstring_view text, std::wstring_view from, std::wstring_view to);

// The pieces between occurrences of `separator`, in order; a text ending with the separator gives
// an empty last piece. An empty text or an empty separator gives a list holding the text alone.
std::vector<std::wstring> SplitW(std::wstring_view text, std::wstring_view separator);
std::list<std::wstring> SplitSemicolonW(std::wstring_view text);
std::vector<std::string> SplitSemicolonA(std::string_view text);
