// The engine end to end: real sources on the test servers, each fault the servers can inject, the
// CDN rules and the task's own failures. Every finished file is compared with the served bytes.
#include <string>

#include "engine_download.h"

namespace {

constexpr uint64_t kSize = 6000000;  // five blocks

std::string Bytes(uint64_t size) { return ServedBytes(0, size, 3); }

// The file holds exactly the served bytes; else where it first differs.
::testing::AssertionResult HoldsServedFile(const std::wstring& path, uint64_t size) {
  const std::string actual = file_test::ReadWholeFile(path);
  const std::string expected = Bytes(size);
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << "the file has " << actual.size() << " bytes of " << size
                                       << " and first differs at offset " << at;
}

// The download ended with success and the file holds the served bytes.
::testing::AssertionResult SucceededWithServedFile(const DownloadOutcome& outcome, const std::wstring& path,
                                                   uint64_t size) {
  if (!outcome.ended) return ::testing::AssertionFailure() << "the download did not end";
  if (outcome.errorType != 0 || outcome.errorCode != 0) {
    return ::testing::AssertionFailure() << "the download failed et:" << outcome.errorType << " ec:" << outcome.errorCode;
  }
  return HoldsServedFile(path, size);
}

// The download ended with exactly this error pair.
::testing::AssertionResult FailedWith(const DownloadOutcome& outcome, int32_t errorType, int32_t errorCode) {
  if (!outcome.ended) return ::testing::AssertionFailure() << "the download did not end";
  if (outcome.errorType == errorType && outcome.errorCode == errorCode) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the download ended with et:" << outcome.errorType
                                       << " ec:" << outcome.errorCode;
}

// The file's URL with the given server redirecting it (relative target, same servers) and the
// others serving it.
std::string RedirectOn(const TestServer& server) {
  return "?only_server=" + server.host + "&redirect=%2Ffiles%2F6000000%2F3%2Fmoved.exe";
}

size_t RequestsTo(const TestServer& server) { return ServerLog(server).size(); }

TEST_F(EngineDownloadTest, ThreeHealthySourcesEachServeAndTheFileIsRight) {
  file_test::ScratchDirectory dir;
  const DownloadOrder order = Order(kSize, "", dir / L"setup.exe");
  const DownloadOutcome outcome = Run(order);
  EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, kSize));
  const std::string host = servers[0].host + ":" + std::to_string(servers[0].port);
  for (const auto& server : servers) {
    const auto log = ServerLog(server);
    EXPECT_FALSE(log.empty()) << server.host;
    for (const auto& request : log) {
      EXPECT_EQ(request.host, host);  // pinned sources keep the URL's host name
      EXPECT_FALSE(request.range.empty());
    }
  }
  EXPECT_EQ(sink.reports.size(), 1u);
}

// One of the pinned servers misbehaves; the others finish the file, and the faulty source is
// retried only where retrying can help.
TEST_F(EngineDownloadTest, OneFaultySourceIsDroppedOrRetriedAndTheFileIsRight) {
  struct Case {
    const char* name;
    std::string fault;
    size_t requestsToFaultyServer;  // 1: dropped at once; 3: two retries, then dropped
  };
  const Case cases[] = {
      {"stall", "stall_after=1000", 3},
      {"range answered with 200", "ignore_range=1", 1},
      {"wrong Content-Length", "wrong_length=5", 1},
      {"wrong Content-Range", "wrong_range_start=7", 1},
      {"short body", "short_body=1000", 3},
      {"no length, closed early", "no_length_close_after=100000", 3},
      {"reset", "reset_after=100000", 3},
      {"404", "status=404&body=gone", 1},
      {"500", "status=500&body=broken", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& server : servers) ClearServerLog(server);
    file_test::ScratchDirectory dir;
    const DownloadOrder order = Order(kSize, "?only_server=" + servers[1].host + "&" + c.fault, dir / L"setup.exe");
    const DownloadOutcome outcome = Run(order);
    EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, kSize));
    EXPECT_EQ(RequestsTo(servers[1]), c.requestsToFaultyServer);
  }
}

TEST_F(EngineDownloadTest, RedirectOfTheDomainSourceIsFollowedForLaterBlocks) {
  file_test::ScratchDirectory dir;
  const DownloadOrder order = Order(kSize, RedirectOn(servers[0]), dir / L"setup.exe");
  const DownloadOutcome outcome = Run(order);
  EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, kSize));
  const auto log = ServerLog(servers[0]);
  ASSERT_GE(log.size(), 2u);
  size_t redirected = 0;
  for (const auto& request : log) redirected += request.path.find("redirect=") != std::string::npos;
  EXPECT_EQ(redirected, 1u);  // later blocks went straight to the new address
}

TEST_F(EngineDownloadTest, RedirectOfAPinnedSourceRetriesOnTheNewAddressByName) {
  file_test::ScratchDirectory dir;
  const DownloadOrder order = Order(kSize, RedirectOn(servers[1]), dir / L"setup.exe");
  const DownloadOutcome outcome = Run(order);
  EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, kSize));
  // The running transfer follows the redirect on its pinned connection before the source sees it;
  // then the pin is gone and the retry goes to the new address by name.
  const auto pinnedLog = ServerLog(servers[1]);
  ASSERT_EQ(pinnedLog.size(), 2u);
  EXPECT_NE(pinnedLog[1].path.find("moved.exe"), std::string::npos);
  bool movedOnFirst = false;
  for (const auto& request : ServerLog(servers[0])) movedOnFirst |= request.path.find("moved.exe") != std::string::npos;
  EXPECT_TRUE(movedOnFirst);
}

TEST_F(EngineDownloadTest, CdnTakesOverWhenEveryHttpSourceFails) {
  file_test::ScratchDirectory dir;
  // Every request fails except the CDN's, which names "localhost" as host. (The query must not hold
  // the URL's host: the CDN address is the URL with every occurrence of it replaced.)
  DownloadOrder order = Order(kSize, "?except_host=localhost&status=500", dir / L"setup.exe");
  order.cdnHost = L"localhost";
  const DownloadOutcome outcome = Run(order);
  EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, kSize));
  size_t cdnRequests = 0;
  for (const auto& request : ServerLog(servers[0])) cdnRequests += request.host.rfind("localhost:", 0) == 0;
  EXPECT_GT(cdnRequests, 0u);
  ASSERT_EQ(sink.reports.size(), 1u);
  EXPECT_EQ(sink.reports[0].get(L"is_cdn").integer(), 1);
}

TEST_F(EngineDownloadTest, CdnJoinsSourcesThatStayBelowTheThreshold) {
  file_test::ScratchDirectory dir;
  const uint64_t size = 12000000;
  DownloadOrder order = Order(size, "?except_host=localhost&throttle=100000", dir / L"setup.exe");
  order.cdnHost = L"localhost";
  order.cdnMinSpeed = 5000000;
  const DownloadOutcome outcome = Run(order, 90000);
  EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, size));
  // The window is 3 s here; the slow sources alone would need about 40 s.
  EXPECT_GE(outcome.elapsedMs, 3000u);
  size_t cdnRequests = 0;
  for (const auto& request : ServerLog(servers[0])) cdnRequests += request.host.rfind("localhost:", 0) == 0;
  EXPECT_GT(cdnRequests, 0u);
}

TEST_F(EngineDownloadTest, EverySourceFailingWithoutCdnEndsWithNoSourceLeft) {
  file_test::ScratchDirectory dir;
  const DownloadOrder order = Order(kSize, "?status=503", dir / L"setup.exe");
  const DownloadOutcome outcome = Run(order);
  ASSERT_TRUE(FailedWith(outcome, 3, 809));
  EXPECT_GE(outcome.elapsedMs, 2000u);  // the shortened limit
}

TEST_F(EngineDownloadTest, NoSourceLeftAtTheRealTenSecondLimit) {
  CurrentEngineLimits() = EngineLimits();
  file_test::ScratchDirectory dir;
  const DownloadOrder order = Order(kSize, "?status=503", dir / L"setup.exe");
  const DownloadOutcome outcome = Run(order, 30000);
  ASSERT_TRUE(FailedWith(outcome, 3, 809));
  // More than 10 s without a source, seen by the next one-second tick.
  EXPECT_GE(outcome.elapsedMs, 10000u);
  EXPECT_LE(outcome.elapsedMs, 16000u);
}

TEST_F(EngineDownloadTest, FinalFileAlreadyCompleteEndsAtOnceWithoutReport) {
  file_test::ScratchDirectory dir;
  const DownloadOrder order = Order(kSize, "", dir / L"setup.exe");
  ASSERT_TRUE(file_test::WriteWholeFile(order.path, Bytes(kSize)));
  const DownloadOutcome outcome = Run(order);
  EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, kSize));  // and left as it was
  EXPECT_TRUE(sink.reports.empty());
  for (const auto& server : servers) EXPECT_EQ(RequestsTo(server), 0u);
}

TEST_F(EngineDownloadTest, DataFileThatCannotBeCreatedEndsWithSix) {
  file_test::ScratchDirectory dir;
  ASSERT_TRUE(file_test::WriteWholeFile(dir / L"blocker", "a file where a folder should be"));
  const DownloadOrder order = Order(kSize, "", dir / L"blocker\\setup.exe");
  const DownloadOutcome outcome = Run(order);
  EXPECT_TRUE(FailedWith(outcome, 3, 6));
}

TEST_F(EngineDownloadTest, ExpectedSizeZeroFailsClearly) {
  file_test::ScratchDirectory dir;
  DownloadOrder order = Order(kSize, "", dir / L"setup.exe");
  order.size = 0;
  const DownloadOutcome outcome = Run(order, 20000);
  EXPECT_TRUE(FailedWith(outcome, 3, 810));  // no expected size
}

TEST_F(EngineDownloadTest, HttpsSourceWithHostVerificationOff) {
  file_test::ScratchDirectory dir;
  DownloadOrder order = Order(kSize, "", dir / L"setup.exe");
  // The certificate names the server's address, so verifying the host passes.
  order.url = servers[0].HttpsUrl("/files/6000000/3/setup.exe");
  order.ipList.clear();
  const DownloadOutcome outcome = Run(order);
  EXPECT_TRUE(SucceededWithServedFile(outcome, order.path, kSize));
}

}  // namespace
