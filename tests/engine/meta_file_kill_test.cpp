// A child process saves ever newer task records and is killed at random moments; after every
// kill the meta file must still load as one complete record, the newest the child finished or the
// one just after it, never a mix of two saves.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/download_task.h"
#include "engine/helper/meta_kill_record.h"
#include "engine/task_file_names.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/process.h"
#include "support/child_process.h"
#include "support/file_test_support.h"

namespace {

using child_process::Quoted;
using file_test::ReadWholeFile;
using file_test::ScratchDirectory;

constexpr int kKills = 50;

// Built beside this test's executable (see helper/CMakeLists.txt).
std::wstring ChildPath() {
  std::wstring self = platform::ModuleFilePath();
  self.erase(self.rfind(L'\\') + 1);
  return self + DEVU_META_KILL_CHILD_NAME;
}

// The child's last completed save; nothing when none completed. A file that is neither empty nor
// a number of the agreed width fails the test.
std::optional<uint64_t> ReadReportedSave(const ScratchDirectory& dir) {
  const std::string text = ReadWholeFile(dir / meta_kill::SavedFileName());
  if (text.empty()) return std::nullopt;
  EXPECT_EQ(text.size(), meta_kill::kSavedDigits) << text;
  EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos) << text;
  return std::stoull(text);
}

// Empty when the loaded task holds exactly record n in every member that carries it.
std::string DescribeMismatch(const CDownloadTask& task, uint64_t n) {
  std::string out;
  if (task.ElapsedMs() / meta_kill::kElapsedMsPerStep != n) {
    out += " elapsed " + std::to_string(task.ElapsedMs());
  }
  std::vector<std::pair<uint64_t, uint64_t>> gaps;
  for (const ByteRange& r : task.Gaps().Ranges()) gaps.emplace_back(r.start, r.end);
  if (gaps != meta_kill::Gaps(n)) out += " gaps (" + std::to_string(gaps.size()) + ")";
  const std::vector<std::wstring>& events = task.Log().Events();
  bool eventsMatch = events.size() == meta_kill::EventCount(n);
  const std::wstring tail = L"] " + meta_kill::EventText(n);
  for (const std::wstring& event : events) {
    eventsMatch = eventsMatch && event.size() >= tail.size() &&
                  event.compare(event.size() - tail.size(), tail.size(), tail) == 0;
  }
  if (!eventsMatch) out += " log lines (" + std::to_string(events.size()) + ")";
  return out;
}

TEST(TaskMetaFileKillTest, KilledSaverAlwaysLeavesOneWholeRecord) {
  ScratchDirectory dir;
  const std::wstring child = ChildPath();
  ASSERT_TRUE(platform::PathExists(child)) << "child program missing";
  const uint32_t seed = static_cast<uint32_t>(std::random_device{}());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMs(5, 60);

  std::optional<uint64_t> loaded;  // the record found after the previous kill
  uint64_t first = 1;              // the sequence number the next child starts with
  int runsThatSaved = 0;
  int killsBeforeReport = 0;       // the record moved into place, the report not yet written
  int killsMidSave = 0;            // a backup was left behind
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill) + ", first record " + std::to_string(first));
    platform::RemoveFile(dir / meta_kill::ReadyFileName());
    platform::RemoveFile(dir / meta_kill::SavedFileName());

    const std::wstring commandLine = Quoted(child) + L" " + Quoted(dir.path()) + L" " + std::to_wstring(first);
    platform::ProcessHandle process = child_process::StartChild(child, commandLine);
    ASSERT_NE(process, nullptr) << platform::LastError();
    const auto started = std::chrono::steady_clock::now();
    bool ready = false;
    uint32_t exitCode = 0;
    while (!(ready = platform::PathExists(dir / meta_kill::ReadyFileName()))) {
      if (platform::WaitProcess(process, 1, &exitCode) ||
          std::chrono::steady_clock::now() - started > std::chrono::seconds(60)) {
        break;
      }
    }
    if (ready) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
    // A child that ended by itself stopped saving for a reason of its own (its exit code says which).
    const bool killed = platform::TerminateProcess(process, 9);
    const bool ended = platform::WaitProcess(process, 60000, &exitCode);
    platform::CloseProcessHandle(process);
    ASSERT_TRUE(ready) << "the child never got ready; exit code " << exitCode;
    ASSERT_TRUE(killed) << "the child ended before the kill with exit code " << exitCode;
    ASSERT_TRUE(ended) << "the killed child did not end";

    const std::optional<uint64_t> reported = ReadReportedSave(dir);
    if (reported) ++runsThatSaved;
    if (platform::PathExists(TaskMetaBackupPath(TaskMetaFilePath(TaskDataFilePath(
            TaskFullPath(dir.path(), meta_kill::FileName())))))) {
      ++killsMidSave;
    }

    CDownloadTask task(meta_kill::kFileSize);
    task.SetTarget(dir.path(), meta_kill::FileName(), meta_kill::Md5());
    if (!task.LoadMeta()) {
      ASSERT_FALSE(loaded) << "a record loaded before is gone";
      ASSERT_FALSE(reported) << "record " << *reported << " completed but nothing loads";
      first += 1 + kill % 3;
      continue;
    }
    const uint64_t n = task.P2pBytes();
    EXPECT_EQ(DescribeMismatch(task, n), "") << "record " << n << " mixes saves";
    // The report follows the move into place, so the file may be one save ahead of it. Without a
    // report this child may still have moved its first record in; else the file is unchanged.
    if (reported) {
      EXPECT_TRUE(n == *reported || n == *reported + 1) << "loaded " << n << ", reported " << *reported;
      if (n == *reported + 1) ++killsBeforeReport;
    } else {
      EXPECT_TRUE(n == first || (loaded && n == *loaded)) << "loaded " << n << ", none reported";
      if (n == first) ++killsBeforeReport;
    }
    if (loaded) {
      EXPECT_GE(n, *loaded) << "the sequence went backwards";
    }
    if (::testing::Test::HasFailure()) return;
    loaded = n;
    // Skipping numbers changes the next record's length against what a left-over backup holds.
    first = n + 1 + kill % 3;
  }
  // Without saves that completed the kills above prove nothing.
  EXPECT_GT(runsThatSaved, 0);
  ASSERT_TRUE(loaded);
  std::cout << "[ kill test ] " << kKills << " kills: " << runsThatSaved << " children saved, last record "
            << *loaded << ", " << killsBeforeReport << " killed between move and report, "
            << killsMidSave << " left a backup behind\n";
}

}  // namespace
