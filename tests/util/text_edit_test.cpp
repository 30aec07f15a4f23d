#include "util/text_edit.h"

#include <gtest/gtest.h>

#include <limits>

#include "util/number_text.h"

namespace {

TEST(TextEdit, TrimRemovesWhiteSpaceAtBothEnds) {
  const struct {
    std::wstring text;
    std::wstring expected;
  } cases[] = {
      {L"  x\t", L"x"},
      {L"   ", L""},
      {L"", L""},
      {L"a b", L"a b"},
      {L"\r\n\v\fkey = value \u3000", L"key = value"},
      {L"\u00a0\u2003x", L"x"},
  };
  for (auto c : cases) {
    TrimW(c.text);
    EXPECT_EQ(c.text, c.expected);
  }
}

TEST(TextEdit, ToLowerLowersAsciiLettersOnly) {
  EXPECT_EQ(ToLowerW(L"D41D8CD98F00B204E9800998ECF8427E"), L"d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ToLowerW(L"Az[@\u00c4\u4e2d"), L"az[@\u00c4\u4e2d");
}

TEST(TextEdit, ReplaceAllReplacesNonOverlappingLeftToRight) {
  EXPECT_EQ(ReplaceAllW(L"aaa", L"aa", L"b"), L"ba");
  EXPECT_EQ(ReplaceAllW(L"a/b/c", L"/", L"\\\\"), L"a\\\\b\\\\c");
  EXPECT_EQ(ReplaceAllW(L"abab", L"ab", L"abab"), L"abababab");  // replacement is not searched again
  EXPECT_EQ(ReplaceAllW(L"abc", L"", L"x"), L"abc");
  EXPECT_EQ(ReplaceAllW(L"abc", L"abc", L""), L"");
}

TEST(TextEdit, SplitKeepsEmptyPieces) {
  using Pieces = std::vector<std::wstring>;
  EXPECT_EQ(SplitW(L"a;b;", L";"), (Pieces{L"a", L"b", L""}));
  EXPECT_EQ(SplitW(L";a;;b", L";"), (Pieces{L"", L"a", L"", L"b"}));
  EXPECT_EQ(SplitW(L"a", L""), (Pieces{L"a"}));
  EXPECT_EQ(SplitW(L"", L";"), (Pieces{L""}));
  EXPECT_EQ(SplitW(L"1.2.3.4::5.6.7.8", L"::"), (Pieces{L"1.2.3.4", L"5.6.7.8"}));
  EXPECT_EQ(SplitSemicolonW(L""), (std::list<std::wstring>{L""}));
  EXPECT_EQ(SplitSemicolonW(L"1.1.1.1;8.8.8.8"), (std::list<std::wstring>{L"1.1.1.1", L"8.8.8.8"}));
  EXPECT_EQ(SplitSemicolonA("x;;y"), (std::vector<std::string>{"x", "", "y"}));
}

TEST(NumberText, ParsesLikeTheCRuntimeAndSaturates) {
  const struct {
    const wchar_t* text;
    int32_t value;
  } ints[] = {
      {L"42", 42},          {L"  -12abc", -12},       {L"+7", 7},
      {L"\t 3 4", 3},       {L"x1", 0},               {L"", 0},
      {L"-", 0},            {L"--5", 0},              {L"2147483647", 2147483647},
      {L"2147483648", std::numeric_limits<int32_t>::max()},
      {L"-2147483648", std::numeric_limits<int32_t>::min()},
      {L"-99999999999", std::numeric_limits<int32_t>::min()},
  };
  for (const auto& c : ints) EXPECT_EQ(ToInt(c.text), c.value) << testing::PrintToString(std::wstring(c.text));

  const struct {
    const wchar_t* text;
    int64_t value;
  } longs[] = {
      {L"4294967296", 4294967296LL},
      {L"9223372036854775807", std::numeric_limits<int64_t>::max()},
      {L"-9223372036854775808", std::numeric_limits<int64_t>::min()},
      {L"99999999999999999999", std::numeric_limits<int64_t>::max()},
      {L" 00012x", 12},
  };
  for (const auto& c : longs) EXPECT_EQ(ToInt64(c.text), c.value) << testing::PrintToString(std::wstring(c.text));

  EXPECT_EQ(IntToStr(-5), "-5");
  EXPECT_EQ(IntToStr(std::numeric_limits<int32_t>::min()), "-2147483648");
  EXPECT_EQ(UIntToStr(4294967295u), "4294967295");
}

}  // namespace
