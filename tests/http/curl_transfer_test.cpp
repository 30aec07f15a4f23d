// The curl worker and its transfers, seen from a listener: which events arrive, in which order.
#include <string>

#include "support/trace_lines.h"
#include "transport_fixture.h"

namespace {

using Kind = TransferEvent::Kind;

class CurlTransferTest : public TransportTest {};

TEST_F(CurlTransferTest, WholeFileArrivesWithStartHeaderAndDoneInOrder) {
  workshop.Start();
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].Url("/files/300000/4"));
  request.reportProgress = true;
  CRefPtr<CCurlBase> transfer = Prepared(request, &listener);
  ASSERT_TRUE(workshop.AddTransfer(transfer));
  ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));

  ASSERT_GE(listener.events.size(), 3u);
  EXPECT_EQ(listener.events.front().kind, Kind::Start);
  EXPECT_EQ(listener.events.back().kind, Kind::Done);
  EXPECT_EQ(listener.events.back().value, 0);
  const auto headers = listener.Of(Kind::Header);
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0].value, 200);
  EXPECT_EQ(headers[0].headers.get(L"Content-Length").string(), L"300000");
  // Throttled progress events add up to the whole body.
  int64_t received = 0;
  for (const auto& event : listener.Of(Kind::RecvProgress)) received += event.value;
  EXPECT_EQ(received, 300000);
}

TEST_F(CurlTransferTest, NoProgressEventsWhenNotAsked) {
  workshop.Start();
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].Url("/files/200000"));
  ASSERT_TRUE(workshop.AddTransfer(Prepared(request, &listener)));
  ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));
  EXPECT_TRUE(listener.Of(Kind::RecvProgress).empty());
  EXPECT_EQ(listener.events.back().value, 0);
}

TEST_F(CurlTransferTest, CancelWhilePendingIsNeverSentAndAnnouncedOnce) {
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].Url("/files/1000"));
  CRefPtr<CCurlBase> transfer = Prepared(request, &listener);
  // The worker thread is not running yet, so the transfer is still pending when cancelled.
  ASSERT_TRUE(workshop.AddTransfer(transfer));
  ASSERT_TRUE(workshop.CancelTransfer(transfer));
  transfer->Retire();
  workshop.Start();
  ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));
  PumpFor(100);
  EXPECT_EQ(listener.Kinds(), std::vector<Kind>{Kind::Cancel});
  EXPECT_TRUE(ServerLog(servers[0]).empty());
}

TEST_F(CurlTransferTest, HandedOverAgainAfterCancelRuns) {
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].Url("/files/1000"));
  CRefPtr<CCurlBase> transfer = Prepared(request, &listener);
  ASSERT_TRUE(workshop.AddTransfer(transfer));
  ASSERT_TRUE(workshop.CancelTransfer(transfer));
  ASSERT_TRUE(workshop.AddTransfer(transfer));  // takes it out of the cancelled list
  workshop.Start();
  ASSERT_TRUE(PumpUntil([&] { return !listener.Of(Kind::Done).empty(); }));
  EXPECT_TRUE(listener.Of(Kind::Cancel).empty());
  EXPECT_EQ(listener.events.front().kind, Kind::Start);
  EXPECT_EQ(listener.Of(Kind::Done)[0].value, 0);
}

TEST_F(CurlTransferTest, ErrorStatusWithBodyIsRefusedAndEndsWithWriteError) {
  workshop.Start();
  TraceLines trace;
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].Url("/missing?status=404&body=gone%20away"));
  ASSERT_TRUE(workshop.AddTransfer(Prepared(request, &listener)));
  ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));

  const auto headers = listener.Of(Kind::Header);
  ASSERT_GE(headers.size(), 3u);  // one per header line of the error response
  for (const auto& event : headers) {
    EXPECT_EQ(event.value, 404);
    EXPECT_TRUE(event.headers.isNull());
  }
  EXPECT_EQ(listener.events.back().kind, Kind::Done);
  EXPECT_EQ(listener.events.back().value, 23);  // CURLE_WRITE_ERROR
  EXPECT_EQ(trace.LinesContaining(L"CCurlHttp::OnRecieveBody HTTP error  httpcode:404 gone away").size(), 1u);
}

TEST_F(CurlTransferTest, RedirectThenSuccessReportsBothBlocksWithMergedHeaders) {
  workshop.Start();
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].Url("/old?redirect=%2Ffiles%2F100&code=301"));
  ASSERT_TRUE(workshop.AddTransfer(Prepared(request, &listener)));
  ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));

  const auto headers = listener.Of(Kind::Header);
  ASSERT_EQ(headers.size(), 2u);
  EXPECT_EQ(headers[0].value, 301);
  EXPECT_EQ(headers[0].headers.get(L"Location").string(), L"/files/100");
  EXPECT_EQ(headers[1].value, 200);
  EXPECT_EQ(headers[1].headers.get(L"Location").string(), L"/files/100");  // kept from the 301
  EXPECT_EQ(headers[1].headers.get(L"Content-Length").string(), L"100");
  EXPECT_EQ(listener.events.back().value, 0);
}

TEST_F(CurlTransferTest, RangeAnsweredWithWholeFileDropsWhatTheOutputHeld) {
  workshop.Start();
  TraceLines trace;
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].Url("/files/5000?ignore_range=1"));
  request.rangeStart = 1000;
  request.rangeEnd = 1999;
  ASSERT_TRUE(workshop.AddTransfer(Prepared(request, &listener)));
  ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));
  EXPECT_EQ(trace.LinesContaining(L"httpcode==200 不支持断点续传，清空文件").size(), 1u);
  const auto log = ServerLog(servers[0]);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].range, "bytes=1000-1999");
}

// A body that would land at the wrong offset is refused before a byte of it is taken: the whole
// file for a range, or a range starting elsewhere. The transfer ends with libcurl's write error.
TEST_F(CurlTransferTest, BodyOfAnotherRangeIsRefused) {
  workshop.Start();
  struct Case {
    const char* query;
    int result;
    size_t taken;
  };
  const Case cases[] = {{"", 0, 1000}, {"?ignore_range=1", 23, 0}, {"?wrong_range_start=5", 23, 0},
                        {"?wrong_range_start=-1000", 23, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    RecordingListener listener;
    FetchRequest request(&workshop, nullptr, servers[0].Url(std::string("/files/5000") + c.query));
    request.rangeStart = 1000;
    request.rangeEnd = 1999;
    CRefPtr<CCurlBase> transfer = Prepared(request, &listener);
    auto* http = static_cast<CCurlHttp*>(transfer.Get());
    http->rangeRequested = true;
    http->requestedOffset = 1000;
    http->reportProgress = true;
    ASSERT_TRUE(workshop.AddTransfer(transfer));
    ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));
    EXPECT_EQ(listener.events.back().value, c.result);
    int64_t received = 0;
    for (const auto& event : listener.Of(Kind::RecvProgress)) received += event.value;
    EXPECT_EQ(received, static_cast<int64_t>(c.taken));
  }
}

TEST_F(CurlTransferTest, HeaderLinesAreSplitAtTheFirstColonAndTrimmed) {
  CRefPtr<CCurlHttp> transfer(new CCurlHttp(&workshop, nullptr));
  transfer->httpCode = 200;
  const std::string lines[] = {"HTTP/1.1 200 OK\r\n", "Content-Length:  512 \r\n", ": no name\r\n",
                               "X-Time: 12:30:00\r\n", "X-Case: a\r\n", "x-case: b\r\n", "X-Case: c\r\n"};
  for (const auto& line : lines) EXPECT_EQ(transfer->OnRecieveHeader(line.data(), line.size()), line.size());
  const ProtoValue& headers = transfer->headers;
  EXPECT_EQ(headers.size(), 4u);
  EXPECT_EQ(headers.get(L"Content-Length").string(), L"512");
  EXPECT_EQ(headers.get(L"X-Time").string(), L"12:30:00");
  EXPECT_EQ(headers.get(L"X-Case").string(), L"c");  // a later line replaces the value
  EXPECT_EQ(headers.get(L"x-case").string(), L"b");  // names keep their case
}

TEST_F(CurlTransferTest, PostSendsItsBodyOrNothing) {
  workshop.Start();
  struct Case {
    std::string body;
    uint64_t postSize;
  };
  for (const Case& c : {Case{"name=value&x=1", 14}, Case{"", 0}}) {
    SCOPED_TRACE(c.body);
    ClearServerLog(servers[0]);
    RecordingListener listener;
    FetchRequest request(&workshop, nullptr, servers[0].Url("/upload?status=200&body=ok"));
    request.method = CHttpBase::kPost;
    request.postBody = c.body;
    request.postSize = c.postSize;
    request.reportProgress = true;
    CRefPtr<CCurlBase> transfer = Prepared(request, &listener);
    ASSERT_TRUE(workshop.AddTransfer(transfer));
    ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));
    EXPECT_EQ(listener.events.back().value, 0);
    auto* http = static_cast<CCurlHttp*>(transfer.Get());
    EXPECT_EQ(http->uploadSent, c.body.size());
    const auto log = ServerLog(servers[0]);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "POST");
  }
}

TEST_F(CurlTransferTest, HttpsWorksWithASelfSignedCertificate) {
  workshop.Start();
  RecordingListener listener;
  FetchRequest request(&workshop, nullptr, servers[0].HttpsUrl("/files/4096/2"));
  ASSERT_TRUE(workshop.AddTransfer(Prepared(request, &listener)));
  ASSERT_TRUE(PumpUntil([&] { return listener.Ended(); }));
  EXPECT_EQ(listener.events.back().value, 0);
  const auto log = ServerLog(servers[0]);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(log[0].https);
}

TEST_F(CurlTransferTest, AWorkerWithoutMultiHandleRefusesTransfers) {
  CCurlWorkshop idle;
  RecordingListener listener;
  FetchRequest request(&idle, nullptr, servers[0].Url("/files/10"));
  CRefPtr<CCurlBase> transfer = Prepared(request, &listener);
  EXPECT_FALSE(idle.AddTransfer(transfer));
  EXPECT_FALSE(idle.CancelTransfer(transfer));
}

}  // namespace
