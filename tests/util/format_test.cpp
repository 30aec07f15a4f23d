#include "util/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

struct WideCase {
  std::wstring actual;
  const wchar_t* expected;
  int line;
};

TEST(Format, WideConversionsFlagsWidthAndPrecision) {
  const std::wstring wideText = L"wide";
  const WideCase cases[] = {
      {FormatW(L"%s\\%s", L"a", L"b"), L"a\\b", __LINE__},
      {FormatW(L"%s|%S", wideText, "narrow"), L"wide|narrow", __LINE__},
      {FormatW(L"%hs|%ls", "h", L"l"), L"h|l", __LINE__},
      {FormatW(L"%d", -42), L"-42", __LINE__},
      {FormatW(L"%i", 0), L"0", __LINE__},
      {FormatW(L"%5d|%-5d|", 42, 42), L"   42|42   |", __LINE__},
      {FormatW(L"%05d", -42), L"-0042", __LINE__},
      {FormatW(L"%+d % d %+d", 5, 5, -5), L"+5  5 -5", __LINE__},
      {FormatW(L"%.3d|%.0d|%8.3d", 7, 0, -7), L"007||    -007", __LINE__},
      {FormatW(L"%08.3d", 7), L"     007", __LINE__},  // a precision turns off zero padding
      {FormatW(L"%-05d|", 3), L"3    |", __LINE__},
      {FormatW(L"%u", -1), L"4294967295", __LINE__},
      {FormatW(L"%x %X %#x %#X %#x", 255, 255, 255u, 255u, 0), L"ff FF 0xff 0XFF 0", __LINE__},
      {FormatW(L"%o %#o %#.0o", 8, 8, 0), L"10 010 0", __LINE__},
      {FormatW(L"%#08x", 255), L"0x0000ff", __LINE__},
      {FormatW(L"%hd %hhu %hu", 65537, 257u, -1), L"1 1 65535", __LINE__},
      {FormatW(L"%I64d", std::numeric_limits<int64_t>::min()), L"-9223372036854775808", __LINE__},
      {FormatW(L"%llu", std::numeric_limits<uint64_t>::max()), L"18446744073709551615", __LINE__},
      {FormatW(L"%I64u|%I32d", uint64_t{5000000000}, int64_t{0x1FFFFFFFF}), L"5000000000|-1", __LINE__},
      {FormatW(L"%zu %lu %ld", size_t{123}, 7u, -7), L"123 7 -7", __LINE__},
      {FormatW(L"%d", int64_t{5000000000}), L"5000000000", __LINE__},  // the argument's own width
      {FormatW(L"%d %u", true, static_cast<unsigned char>(200)), L"1 200", __LINE__},
      {FormatW(L"%*d|%-*d|%*d|", 6, 42, 4, 7, -4, 7), L"    42|7   |7   |", __LINE__},
      {FormatW(L"%.*f|%.*d", 2, 3.14159, -1, 5), L"3.14|5", __LINE__},
      {FormatW(L"%c%3c|%-3c|", L'x', L'y', L'z'), L"x  y|z  |", __LINE__},
      {FormatW(L"%c", 0x4E2D), L"\u4e2d", __LINE__},
      {FormatW(L"%C", 'n'), L"n", __LINE__},
      {FormatW(L"[%c]", 0), L"[]", __LINE__},
      {FormatW(L"%s|%S", static_cast<const wchar_t*>(nullptr), static_cast<const char*>(nullptr)), L"(null)|(null)", __LINE__},
      {FormatW(L"%.2s|%-4s|%4s|%.9s", L"abcdef", L"ab", L"ab", L"abc"), L"ab|ab  |  ab|abc", __LINE__},
      {FormatW(L"%p", reinterpret_cast<void*>(0x1234)), sizeof(void*) == 8 ? L"0000000000001234" : L"00001234", __LINE__},
      {FormatW(L"%p", nullptr), sizeof(void*) == 8 ? L"0000000000000000" : L"00000000", __LINE__},
      {FormatW(L"100%% %%d"), L"100% %d", __LINE__},
      {FormatW(L""), L"", __LINE__},
      {FormatW(static_cast<const wchar_t*>(nullptr), 1), L"", __LINE__},
  };
  for (const WideCase& c : cases) EXPECT_EQ(c.actual, c.expected) << "case at line " << c.line;
}

TEST(Format, FloatingPointIsLocaleIndependentAndTheSameEverywhere) {
  const double inf = std::numeric_limits<double>::infinity();
  const WideCase cases[] = {
      {FormatW(L"%f", 3.14159), L"3.141590", __LINE__},
      {FormatW(L"%.2f|%.0f|%.0f", 2.675, 2.5, 3.5), L"2.67|2|4", __LINE__},  // exact binary value, ties to even
      {FormatW(L"%e|%E", 12345.678, 0.00012), L"1.234568e+04|1.200000E-04", __LINE__},
      {FormatW(L"%.0e|%#.0e", 5.0, 5.0), L"5e+00|5.e+00", __LINE__},
      {FormatW(L"%g|%g|%g", 0.0001, 0.00001, 123456789.0), L"0.0001|1e-05|1.23457e+08", __LINE__},
      {FormatW(L"%g|%g|%g|%g", 100000.0, 1e6, 0.0, 9.9999996), L"100000|1e+06|0|10", __LINE__},
      {FormatW(L"%G|%.3g|%.0g|%.0g", 1e-10, 3.14159, 26.0, 25.0), L"1E-10|3.14|3e+01|2e+01", __LINE__},
      {FormatW(L"%#g|%#.0f", 1.0, 3.0), L"1.00000|3.", __LINE__},
      {FormatW(L"%+.1f|% .1f", 2.25, 2.25), L"+2.2| 2.2", __LINE__},
      {FormatW(L"%010.3f|%-8.2f|", -3.5, 1.0), L"-00003.500|1.00    |", __LINE__},
      {FormatW(L"%f", -0.0), L"-0.000000", __LINE__},
      {FormatW(L"%f|%5.1F|%05f", inf, -inf, inf), L"inf| -INF|  inf", __LINE__},
      {FormatW(L"%f|%E", std::nan(""), std::nan("")), L"nan|NAN", __LINE__},
      {FormatW(L"%f|%.1f", 2, uint64_t{3}), L"2.000000|3.0", __LINE__},  // integers are promoted
      {FormatW(L"%.3f", 1e300).substr(0, 5), L"10000", __LINE__},
  };
  for (const WideCase& c : cases) EXPECT_EQ(c.actual, c.expected) << "case at line " << c.line;
}

// A directive the formatter cannot honour is written out as it stands; only a wrong-kind argument
// is consumed, so the arguments after it still line up.
TEST(Format, BadDirectivesAreWrittenLiterallyAndNeverReadGarbage) {
  const WideCase cases[] = {
      {FormatW(L"%y %d", 5), L"%y 5", __LINE__},
      {FormatW(L"%5.2y|%d", 5), L"%5.2y|5", __LINE__},
      {FormatW(L"%n%d", 7), L"%n7", __LINE__},
      {FormatW(L"%a|%d", 7), L"%a|7", __LINE__},
      {FormatW(L"%d %d %s", 1), L"1 %d %s", __LINE__},
      {FormatW(L"%d", L"x"), L"%d", __LINE__},
      {FormatW(L"%d%s", L"x", L"y"), L"%dy", __LINE__},
      {FormatW(L"%s|%d", 3, 4), L"%s|4", __LINE__},
      {FormatW(L"%p|%f", 1, L"t"), L"%p|%f", __LINE__},
      {FormatW(L"%*d", 5), L"%*d", __LINE__},
      {FormatW(L"%*d|%d", L"w", 1, 2), L"%*d|1", __LINE__},
      {FormatW(L"abc%"), L"abc%", __LINE__},
      {FormatW(L"abc%-5", 1), L"abc%-5", __LINE__},
      {FormatW(L"%99999999d|%d", 1), L"%99999999d|1", __LINE__},
      {FormatW(L"%.99999999f|%d", 1), L"%.99999999f|1", __LINE__},
      {FormatW(L"%*d|%d", 100000, 1, 2), L"%*d|1", __LINE__},
      {FormatW(L"%*d|%d", int64_t{-4294967296}, 1, 2), L"%*d|1", __LINE__},
  };
  for (const WideCase& c : cases) EXPECT_EQ(c.actual, c.expected) << "case at line " << c.line;
}

// Widths and precisions of wide text count UTF-16 code units on every target, and a precision
// never splits a character.
TEST(Format, WideWidthCountsUtf16UnitsOnEveryTarget) {
  const std::wstring smile = L"\U0001F600";
  EXPECT_EQ(FormatW(L"%3s|", smile), L" " + smile + L"|");
  EXPECT_EQ(FormatW(L"%.1s|", smile + L"x"), L"|");
  EXPECT_EQ(FormatW(L"%.2s|", smile + L"x"), smile + L"|");
  EXPECT_EQ(FormatW(L"%.3s|", smile + L"x"), smile + L"x|");
  EXPECT_EQ(FormatW(L"%c", 0x1F600), smile);
  EXPECT_EQ(FormatW(L"%c", 0x110000), L"\uFFFD");
}

TEST(Format, NarrowFormatTakesNarrowStringsWithPercentS) {
  struct Case {
    std::string actual;
    const char* expected;
    int line;
  };
  const std::string narrowText = "std";
  const Case cases[] = {
      {FormatA("%s|%s", "abc", narrowText), "abc|std", __LINE__},
      {FormatA("%S|%ls|%hs", L"wide", L"l", "h"), "wide|l|h", __LINE__},
      {FormatA("%5.1f|%c|%-3d|", 3.14159, 'A', 9), "  3.1|A|9  |", __LINE__},
      {FormatA("%.2s|%4S", "abcdef", L"ab"), "ab|  ab", __LINE__},
      {FormatA("%08.2e", 1234.5), "1.23e+03", __LINE__},
      {FormatA("%q%d", 3), "%q%d", __LINE__},  // a size prefix without a conversion
      {FormatA(nullptr), "", __LINE__},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << "case at line " << c.line;
}

}  // namespace
