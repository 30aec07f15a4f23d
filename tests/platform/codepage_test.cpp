#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

using platform::CodePage;

TEST(Codepage, Utf8RoundTripOfChineseAndAscii) {
  const std::wstring wide = L"\u4e0b\u8f7d abc";  // 下载 abc
  const std::string utf8 = platform::WideToMultiByte(CodePage::Utf8, wide);
  EXPECT_EQ(utf8, "\xE4\xB8\x8B\xE8\xBD\xBD abc");
  EXPECT_EQ(platform::MultiByteToWide(CodePage::Utf8, utf8), wide);
  EXPECT_EQ(platform::WideToMultiByte(CodePage::Utf8, L""), "");
  EXPECT_EQ(platform::MultiByteToWide(CodePage::Utf8, ""), L"");
}

TEST(Codepage, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    std::string bytes;
    std::wstring wide;
  };
  const Case cases[] = {
      {"a\xFF" "b", L"a\uFFFD" L"b"},     // byte that never starts a sequence
      {"a\xE4\xB8", L"a\uFFFD"},          // truncated sequence at the end
      {"\xE4\xB8" "z", L"\uFFFD" L"z"},   // truncated sequence before ASCII
      {"\xC0\xAF", L"\uFFFD\uFFFD"},      // overlong encoding
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::MultiByteToWide(CodePage::Utf8, c.bytes), c.wide) << testing::PrintToString(c.bytes);
  }
}

TEST(Codepage, EncodedSurrogateNeverBecomesASurrogate) {
  // Decoders differ in how many replacement characters this becomes; none lets it through.
  const std::wstring wide = platform::MultiByteToWide(CodePage::Utf8, "\xED\xA0\x80");
  ASSERT_FALSE(wide.empty());
  for (wchar_t c : wide) EXPECT_EQ(c, L'\uFFFD');
}

TEST(Codepage, CharacterOutsideTheBasicPlaneSurvivesTheRoundTrip) {
  const std::string utf8 = "\xF0\x9F\x98\x80";  // U+1F600
  const std::wstring wide = platform::MultiByteToWide(CodePage::Utf8, utf8);
  EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
  EXPECT_EQ(platform::WideToMultiByte(CodePage::Utf8, wide), utf8);
}

}  // namespace
