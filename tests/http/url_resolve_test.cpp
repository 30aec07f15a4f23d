#include "http/url_resolve.h"

#include <gtest/gtest.h>

#include "http/content_range.h"

namespace {

TEST(UrlResolve, LocationsAgainstTheRedirectedAddress) {
  struct Case {
    const wchar_t* base;
    const wchar_t* location;
    const wchar_t* resolved;
  };
  const Case cases[] = {
      {L"http://a.test:8080/dir/file.bin?x=1", L"http://b.test/other.bin", L"http://b.test/other.bin"},
      {L"http://a.test:8080/dir/file.bin?x=1", L"/files/10", L"http://a.test:8080/files/10"},
      {L"http://a.test:8080/dir/file.bin", L"next.bin", L"http://a.test:8080/dir/next.bin"},
      {L"http://a.test:8080/dir/sub/file.bin", L"../up.bin", L"http://a.test:8080/dir/up.bin"},
      {L"https://a.test/dir/file.bin", L"//c.test/x", L"https://c.test/x"},
      {L"http://a.test/dir/file.bin", L"?seed=3", L"http://a.test/dir/file.bin?seed=3"},
      {L"http://a.test/file", L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveLocation(c.base, c.location), c.resolved) << c.location;
}

TEST(ContentRange, StartOfTheRange) {
  uint64_t start = 7;
  EXPECT_TRUE(ContentRangeStart(L"bytes 1310720-2621439/10485760", &start));
  EXPECT_EQ(start, 1310720u);
  EXPECT_TRUE(ContentRangeStart(L"bytes 0-0/1", &start));
  EXPECT_EQ(start, 0u);
  EXPECT_FALSE(ContentRangeStart(L"bytes", &start));
  EXPECT_FALSE(ContentRangeStart(L"bytes 99999999999999999999999-1/2", &start));
}

}  // namespace
