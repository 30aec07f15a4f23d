#include "fetch/fetch_options.h"

#include <gtest/gtest.h>

#include <vector>

#include "fetch/progress_line.h"

namespace {

bool Parse(std::vector<const wchar_t*> words, FetchOptions* options, std::wstring* error) {
  words.insert(words.begin(), L"devu_fetch");
  return ParseFetchOptions(static_cast<int>(words.size()), words.data(), options, error);
}

TEST(FetchOptions, CompleteLine) {
  FetchOptions options;
  std::wstring error;
  ASSERT_TRUE(Parse({L"--url", L"http://h/f", L"--ip", L"10.0.0.2", L"--ip", L"10.0.0.3", L"--cdn", L"cdn.test",
                     L"--cdn-min-speed", L"50000", L"--size", L"1234", L"--md5", L"0123456789abcdef0123456789ABCDEF",
                     L"--out", L"x.bin", L"--quiet"},
                    &options, &error))
      << error;
  EXPECT_EQ(options.url, L"http://h/f");
  EXPECT_EQ(options.ips, (std::vector<std::wstring>{L"10.0.0.2", L"10.0.0.3"}));
  EXPECT_EQ(options.cdnHost, L"cdn.test");
  EXPECT_EQ(options.cdnMinSpeed, 50000);
  EXPECT_EQ(options.size, 1234u);
  EXPECT_EQ(options.out, L"x.bin");
  EXPECT_TRUE(options.quiet);
}

TEST(FetchOptions, WrongLinesSayWhy) {
  const std::vector<std::vector<const wchar_t*>> lines = {
      {},
      {L"--url", L"http://h/f", L"--out", L"x"},                  // no size
      {L"--url", L"http://h/f", L"--size", L"12x", L"--out", L"x"},
      {L"--url", L"http://h/f", L"--size", L"1", L"--out", L"x", L"--md5", L"abc"},
      {L"--url", L"http://h/f", L"--size", L"1", L"--out", L"x", L"--bogus", L"1"},
      {L"--url", L"http://h/f", L"--size", L"1", L"--out"},       // value missing
      {L"--url", L"http://h/f", L"--size", L"99999999999999999999", L"--out", L"x"},
  };
  for (const auto& line : lines) {
    FetchOptions options;
    std::wstring error;
    EXPECT_FALSE(Parse(line, &options, &error));
    EXPECT_FALSE(error.empty());
  }
  FetchOptions options;
  std::wstring error;
  EXPECT_TRUE(Parse({L"--help"}, &options, &error));
  EXPECT_TRUE(options.help);
}

TEST(FetchProgressLine, PercentBytesAndSpeed) {
  EXPECT_EQ(FormatProgressLine(1000, 500, 100), L" 50.0%  500 B / 0.98 KB  100 B/s");
  EXPECT_EQ(FormatProgressLine(0, 0, 0), L"  0.0%  0 B / 0 B  0 B/s");
}

}  // namespace
