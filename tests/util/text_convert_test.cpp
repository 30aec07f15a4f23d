#include "util/text_convert.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConvert, Utf8OfChineseAndBack) {
  EXPECT_EQ(WideToUtf8(L"\u4e2d"), "\xE4\xB8\xAD");
  EXPECT_EQ(Utf8ToWide("\xE4\xB8\xAD"), L"\u4e2d");
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFD" L"b");
}

TEST(TextConvert, AnsiKeepsAsciiAndPutsASpaceForWhatTheCodePageLacks) {
  EXPECT_EQ(WideToAnsi(L"C:\\Games\\a b.txt"), "C:\\Games\\a b.txt");
  EXPECT_EQ(AnsiToWide("C:\\Games"), L"C:\\Games");
  EXPECT_EQ(WideToAnsi(L""), "");
  EXPECT_EQ(AnsiToWide(""), L"");
  // An unpaired surrogate is in no code page.
  std::wstring text = L"a";
  text += static_cast<wchar_t>(0xD800);
  text += L"b";
  EXPECT_EQ(WideToAnsi(text), "a b");
}

TEST(TextConvert, Utf16UnitsAreTheSameOnEveryTarget) {
  const std::wstring text = L"a\u4e2d\U0001F600";
  const std::u16string units = WideToUtf16(text);
  EXPECT_EQ(units, (std::u16string{u'a', char16_t(0x4E2D), char16_t(0xD83D), char16_t(0xDE00)}));
  EXPECT_EQ(Utf16ToWide(units), text);
  EXPECT_EQ(Utf16Length(text), 4u);

  std::u16string broken{u'x', char16_t(0xDC00), char16_t(0xD800)};  // unpaired low, then high at the end
  EXPECT_EQ(Utf16ToWide(broken), L"x\uFFFD\uFFFD");
  std::wstring lone = L"y";
  lone += static_cast<wchar_t>(0xDC00);
  EXPECT_EQ(WideToUtf16(lone), (std::u16string{u'y', char16_t(0xFFFD)}));
}

}  // namespace
