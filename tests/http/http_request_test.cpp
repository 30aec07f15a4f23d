// Requests: range texts, the ranking of results, pinned addresses, redirects and retry timing.
#include <string>

#include "platform/clock.h"
#include "support/trace_lines.h"
#include "transport_fixture.h"

namespace {

class HttpRequestTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    workshop.Start();
  }
  CHttpMgr mgr;
};

TEST(HttpRequestRange, RangeTexts) {
  struct Case {
    uint64_t start, end;
    const char* text;
  };
  const Case cases[] = {{100, 0, "100-"}, {0, 99, "0-99"}, {0, 0, ""}, {5, 5, ""}, {7, 3, ""},
                        {5000000000ull, 5000000009ull, "5000000000-5000000009"}};
  for (const Case& c : cases) {
    FetchRequest request(nullptr, nullptr, L"http://h/");
    request.rangeStart = c.start;
    request.rangeEnd = c.end;
    EXPECT_EQ(request.RangeText(), c.text) << c.start << "-" << c.end;
  }
}

TEST(HttpRequestResult, GetErrorRanksSystemOwnHttpThenCurl) {
  struct Entry {
    int32_t type, code;
  };
  struct Case {
    std::vector<Entry> entries;
    ErrorPair expected;
  };
  const Case cases[] = {
      {{{4, 404}, {5, 23}}, {4, 404}},
      {{{4, 200}, {5, 28}}, {5, 28}},
      {{{4, 200}}, {0, 0}},
      {{{4, 99}}, {4, 99}},
      {{{5, 7}, {3, 3002}, {4, 500}}, {3, 3002}},
      {{{1, 32}, {3, 2009}}, {1, 32}},
      {{{1, 0}, {5, 0}}, {0, 0}},
      {{}, {0, 0}},
  };
  for (const Case& c : cases) {
    FetchRequest request(nullptr, nullptr, L"http://h/");
    for (const Entry& entry : c.entries) request.SetResult(entry.type, entry.code);
    EXPECT_EQ(request.GetError(), c.expected) << c.expected.type << ":" << c.expected.code;
  }
  FetchRequest notAMap(nullptr, nullptr, L"http://h/");
  notAMap.result = ProtoValue(L"text");
  EXPECT_EQ(notAMap.GetError(), ErrorPair{});
}

TEST(HttpRequestRetry, DueMoreThan500MillisecondsAfterDeferral) {
  FetchRequest request(nullptr, nullptr, L"http://h/");
  const uint32_t now = platform::TickCount();
  request.deferTick = now - 400;
  EXPECT_FALSE(request.IsRetryDue());
  request.deferTick = now - 600;
  EXPECT_TRUE(request.IsRetryDue());
  request.deferTick = now + 5000;  // later than now: no time has passed
  EXPECT_FALSE(request.IsRetryDue());
}

TEST_F(HttpRequestTest, PinnedAddressReachesThatServerWithTheOriginalHost) {
  // A name that does not resolve: only the pin can bring the request anywhere.
  const std::wstring address = L"http://download.invalid:" + std::to_wstring(servers[1].port) + L"/files/2048/9";
  FetchRequest request(&workshop, &mgr, address);
  request.SetIp(L"download.invalid", TestServer::Wide(servers[1].host), servers[1].port);
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.doneCount > 0; }));
  EXPECT_EQ(request.outcome, ErrorPair{});
  EXPECT_EQ(request.body, ServedBytes(0, 2048, 9));
  const auto log = ServerLog(servers[1]);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].host, "download.invalid:" + std::to_string(servers[1].port));
  EXPECT_TRUE(ServerLog(servers[0]).empty());
}

TEST_F(HttpRequestTest, EmptyAddressOnlyClearsThePin) {
  FetchRequest request(&workshop, &mgr, L"http://h/");
  request.SetIp(L"h", L"10.0.0.1", 80);
  ASSERT_EQ(request.connectTo, std::vector<std::string>{"::10.0.0.1:80"});
  request.SetIp(L"h", L"", 80);
  EXPECT_TRUE(request.connectTo.empty());
}

TEST_F(HttpRequestTest, RedirectDropsThePinForTheNextAttempt) {
  TraceLines trace;
  const std::string target = "http%3A%2F%2F" + servers[2].host + "%3A" + std::to_string(servers[2].port) + "%2Ffiles%2F64";
  const std::wstring address = L"http://pinned.invalid:" + std::to_wstring(servers[0].port) + L"/moved?redirect=" +
                               TestServer::Wide(target);
  FetchRequest request(&workshop, &mgr, address);
  request.SetIp(L"pinned.invalid", TestServer::Wide(servers[0].host), servers[0].port);
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.doneCount > 0; }));
  // The running transfer keeps its pin, so the redirected request to server 2 went to server 0.
  EXPECT_EQ(request.headerCodes.front(), 302);
  EXPECT_TRUE(request.redirected);
  EXPECT_TRUE(request.connectTo.empty());
  EXPECT_EQ(trace.LinesContaining(L"取消指定ip").size(), 1u);
  EXPECT_TRUE(ServerLog(servers[2]).empty());
  const auto log0 = ServerLog(servers[0]);
  ASSERT_EQ(log0.size(), 2u);
  EXPECT_EQ(log0[1].host, servers[2].host + ":" + std::to_string(servers[2].port));

  // The next attempt connects by name.
  request.doneCount = 0;
  request.url = TestServer::Wide("http://" + servers[2].host + ":" + std::to_string(servers[2].port) + "/files/64");
  request.mgr = &mgr;  // Stop unregistered it
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.doneCount > 0; }));
  EXPECT_EQ(ServerLog(servers[2]).size(), 1u);
  EXPECT_EQ(trace.LinesContaining(L"取消指定ip").size(), 1u);
}

TEST_F(HttpRequestTest, FormFieldsArePostedAndClearedByStop) {
  FetchRequest request(&workshop, &mgr, servers[0].Url("/form?status=200&body=ok"));
  request.method = CHttpBase::kPost;
  request.AddFormField("product", "game");
  request.AddFormField("sign", "abc");
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.doneCount > 0; }));
  EXPECT_EQ(request.outcome, ErrorPair{});
  EXPECT_EQ(request.body, "ok");
  EXPECT_TRUE(request.formFields.empty());
  const auto log = ServerLog(servers[0]);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].method, "POST");
}

TEST_F(HttpRequestTest, NotFoundOutranksTheWriteError) {
  FetchRequest request(&workshop, &mgr, servers[0].Url("/x?status=404&body=nope"));
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.doneCount > 0; }));
  EXPECT_EQ(request.outcome, (ErrorPair{error_type::kHttp, 404}));
}

TEST_F(HttpRequestTest, StartTwiceIsRefused) {
  FetchRequest request(&workshop, nullptr, servers[0].Url("/files/10"));
  EXPECT_EQ(request.Start(), ErrorPair{});
  EXPECT_EQ(request.Start(), (ErrorPair{error_type::kUser, -1}));
  EXPECT_EQ(request.attempts, 1u);
  request.Stop();
}

}  // namespace
