// The command-line front killed in the middle of a download with faults in the mix, then started
// again: every file ends up right, and the second run resumes instead of starting over.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "engine/download_task.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/path.h"
#include "platform/process.h"
#include "support/child_process.h"
#include "support/file_test_support.h"
#include "support/server_log.h"
#include "support/test_servers.h"
#include "util/md5.h"

namespace {

using child_process::Quoted;

constexpr uint64_t kSize = 8 * 1024 * 1024;
constexpr int kTrials = 30;

// devu_fetch is copied next to this suite; it has the suite's extension (".exe" or none).
std::wstring FrontPath() {
  const std::wstring self = platform::ModuleFilePath();
  const size_t slash = self.find_last_of(L"\\/");
  const size_t dot = self.find_last_of(L'.');
  const std::wstring extension = dot != std::wstring::npos && dot > slash ? self.substr(dot) : std::wstring();
  return self.substr(0, slash + 1) + L"devu_fetch" + extension;
}

struct FrontRun {
  bool started = false;
  bool exited = false;
  uint32_t exitCode = 0;
};

// Starts the front; kills it after `killAfterMs` unless it has ended by then (0: never).
FrontRun RunFront(const std::wstring& commandLine, uint32_t killAfterMs) {
  FrontRun run;
  platform::ProcessHandle process = child_process::StartChild(FrontPath(), commandLine);
  if (process == nullptr) return run;
  run.started = true;
  const uint32_t wait = killAfterMs == 0 ? 120000 : killAfterMs;
  if (platform::WaitProcess(process, wait, &run.exitCode)) {
    run.exited = true;
  } else {
    platform::TerminateProcess(process, 9);
    platform::WaitProcess(process, platform::kProcessWaitInfinite, nullptr);
  }
  platform::CloseProcessHandle(process);
  return run;
}

// Bytes the meta file left by a killed run says are still missing; the whole file without one.
uint64_t MissingAfterKill(const std::wstring& directory, const std::wstring& md5) {
  CDownloadTask task(kSize);
  task.SetTarget(directory, L"setup.exe", md5);
  if (!task.LoadMeta()) return kSize;
  return task.Gaps().CountUpTo(kSize - 1);
}

uint64_t BytesSent(const std::vector<TestServer>& servers) {
  uint64_t sent = 0;
  for (const auto& server : servers) {
    for (const auto& request : ServerLog(server)) sent += request.sent;
  }
  return sent;
}

TEST(FetchKillResume, KilledDownloadsResumeAndEndRight) {
  const std::vector<TestServer> servers = TestServers();
  ASSERT_EQ(servers.size(), 3u) << "run this suite through ctest (tools/run_with_test_servers.py)";
  const std::string expected = ServedBytes(0, kSize, 5);
  const std::string md5 = MD5(expected.data(), expected.size()).hex_digest();
  // About 4 MB/s per connection; the third server resets every transfer after 400 kB.
  const std::wstring url = servers[0].Url("/files/" + std::to_string(kSize) + "/5/setup.exe?throttle_everywhere=4000000&only_server=" +
                                          servers[2].host + "&reset_after=400000");
  std::mt19937 random(20261211);
  std::uniform_int_distribution<uint32_t> killMoment(100, 1300);

  uint64_t redownloaded = 0;
  int killed = 0;
  int resumedWithProgress = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    SCOPED_TRACE(trial);
    file_test::ScratchDirectory dir;
    const std::wstring out = dir / L"setup.exe";
    for (const auto& server : servers) ClearServerLog(server);
    const std::wstring commandLine = Quoted(FrontPath()) + L" --url " + Quoted(url) + L" --ip " +
                                     TestServer::Wide(servers[1].host) + L" --ip " + TestServer::Wide(servers[2].host) +
                                     L" --size " + std::to_wstring(kSize) + L" --md5 " + TestServer::Wide(md5) +
                                     L" --out " + Quoted(out) + L" --quiet";
    const FrontRun first = RunFront(commandLine, killMoment(random));
    ASSERT_TRUE(first.started) << platform::LastError();
    if (!first.exited) ++killed;
    const uint64_t sentBefore = BytesSent(servers);
    const uint64_t missing = first.exited ? 0 : MissingAfterKill(dir.path(), TestServer::Wide(md5));
    if (missing < kSize) ++resumedWithProgress;
    for (const auto& server : servers) ClearServerLog(server);

    const FrontRun second = RunFront(commandLine, 0);
    ASSERT_TRUE(second.started) << platform::LastError();
    ASSERT_TRUE(second.exited);
    EXPECT_EQ(second.exitCode, 0u);
    const std::string got = file_test::ReadWholeFile(out);
    EXPECT_EQ(MD5(got.data(), got.size()).hex_digest(), md5);
    // The second run fetched what the meta file said was missing, not the whole file again. The
    // slack covers bytes a reset throws away in the client's socket buffer and blocks re-cut.
    const uint64_t sentAfter = BytesSent(servers);
    EXPECT_LE(sentAfter, missing + kSize / 4) << "missing " << missing;
    const uint64_t sent = sentBefore + sentAfter;
    redownloaded += sent > kSize ? sent - kSize : 0;
  }
  std::printf("kill/resume: %d trials, %d killed mid-download, %d resumed with saved progress; on average "
              "%.0f bytes (%.1f%% of the file) were sent more than once\n",
              kTrials, killed, resumedWithProgress, static_cast<double>(redownloaded) / kTrials,
              100.0 * static_cast<double>(redownloaded) / kTrials / static_cast<double>(kSize));
  EXPECT_GE(killed, kTrials * 2 / 3);  // most runs were killed mid-download
  EXPECT_GT(resumedWithProgress, 0);
}

}  // namespace
