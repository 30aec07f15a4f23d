#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commonlib/core/proto_value_binary.h"
#include "engine/download_task.h"
#include "engine/task_file_names.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "support/file_test_support.h"
#include "support/trace_lines.h"

namespace {

using file_test::ReadWholeFile;
using file_test::ScratchDirectory;
using file_test::WriteWholeFile;
using Ranges = std::vector<std::pair<uint64_t, uint64_t>>;

constexpr uint64_t kSize = 5000000;
const wchar_t kMd5[] = L"0123456789ABCDEF0123456789ABCDEF";

// Takes every block it is offered.
class AcceptingPeer : public CDownloadPeer {
 public:
  bool RequestBlock(BlockRequest* request) override {
    block = request;
    busy = true;
    return true;
  }
  void StopRequest() override {
    block = nullptr;
    busy = false;
  }
  bool IsP2P() override { return false; }
  std::wstring GetUrl() override { return L"http://dl.example.test/game.exe"; }
};

std::unique_ptr<CDownloadTask> MakeTask(const ScratchDirectory& dir, uint64_t size = kSize,
                                        const std::wstring& md5 = kMd5) {
  auto task = std::make_unique<CDownloadTask>(size);
  task->SetTarget(dir.path(), L"game.exe", md5);
  return task;
}

Ranges GapsOf(const CDownloadTask& task) {
  Ranges out;
  for (const ByteRange& r : task.Gaps().Ranges()) out.emplace_back(r.start, r.end);
  return out;
}

ProtoValue Gap(int64_t start, int64_t end) {
  ProtoValue gap;
  gap[L"start"] = start;
  gap[L"end"] = end;
  return gap;
}

// A record as SaveMeta writes it for the task made by MakeTask.
ProtoValue BaseRecord() {
  ProtoValue record;
  record[L"ft"] = 1;
  record[L"fs"] = kSize;
  record[L"fh"] = kMd5;
  record[L"ps"] = 0;
  record[L"ct"] = 1000;
  record[L"log"] = ProtoValue(ProtoValueType::Map);
  return record;
}

void StoreRecord(const CDownloadTask& task, const ProtoValue& record) {
  std::string bytes;
  ASSERT_TRUE(ProtoValueToBinary(record, bytes));
  ASSERT_TRUE(WriteWholeFile(task.GetMetaFilePath(), bytes));
}

TEST(DownloadTaskFilesTest, NamesFollowTheTarget) {
  CDownloadTask task(1);
  task.SetTarget(L"D:\\x", L"setup.exe", L"");
  EXPECT_EQ(task.GetFullPath(), L"D:\\x\\setup.exe");
  EXPECT_EQ(task.GetDataFilePath(), L"D:\\x\\setup.exe.qbdt");
  EXPECT_EQ(task.GetMetaFilePath(), L"D:\\x\\setup.exe.qbdt.qbmt");
}

TEST(DownloadTaskMetaTest, SavedStateRestoresInANewTask) {
  ScratchDirectory dir;
  auto saved = MakeTask(dir);
  saved->Gaps().AddRange(100, 2999999);
  saved->Gaps().AddRange(4000000, 4999999);
  // A block in flight that has received 1000 bytes: those are on disk and not saved as missing.
  saved->Peers().push_back(std::make_unique<AcceptingPeer>());
  ASSERT_TRUE(saved->DownloadNextEmptyBlock());
  saved->Peers().front()->block->received = 1000;
  saved->SetP2pBytes(7);
  saved->SetElapsedMs(5000);
  saved->SetRunStartTick(platform::TickCount());
  saved->SetUsedCdn(true);
  saved->Log().RecordEvent(L"cat", L"text");
  saved->SaveMeta();

  const ProtoValue& record = saved->Meta().root;
  EXPECT_EQ(record.get(L"fs").integer(), static_cast<int64_t>(kSize));
  EXPECT_EQ(record.get(L"fh").string(), kMd5);
  EXPECT_EQ(record.get(L"is_cdn").integer(), 1);
  EXPECT_GE(record.get(L"ct").integer(), 5000);
  EXPECT_LT(record.get(L"ct").integer(), 5000 + 60000);
  EXPECT_EQ(record.get(L"log").type(), ProtoValueType::Map);
  EXPECT_FALSE(platform::PathExists(TaskMetaBackupPath(saved->GetMetaFilePath())));

  auto loaded = MakeTask(dir);
  ASSERT_TRUE(loaded->LoadMeta());
  EXPECT_EQ(GapsOf(*loaded), (Ranges{{1100, 2999999}, {4000000, 4999999}}));
  EXPECT_EQ(loaded->P2pBytes(), 7u);
  EXPECT_GE(loaded->ElapsedMs(), 5000u);
  EXPECT_TRUE(loaded->UsedCdn());
  ASSERT_EQ(loaded->Log().Events().size(), 1u);
  EXPECT_NE(loaded->Log().Events()[0].find(L"[cat] text"), std::wstring::npos);
}

TEST(DownloadTaskMetaTest, RecordWithoutGapsMeansEverythingArrived) {
  ScratchDirectory dir;
  auto saved = MakeTask(dir);
  saved->SaveMeta();
  EXPECT_FALSE(saved->Meta().root.has(L"gl"));
  EXPECT_EQ(saved->Meta().root.get(L"is_cdn").integer(), 0);

  auto loaded = MakeTask(dir);
  loaded->Gaps().AddRange(0, 10);  // cleared by the load
  ASSERT_TRUE(loaded->LoadMeta());
  EXPECT_TRUE(loaded->Gaps().IsEmpty());
  EXPECT_FALSE(loaded->UsedCdn());
}

TEST(DownloadTaskMetaTest, SavedGapsMergeAndReversedOnesAreSkipped) {
  ScratchDirectory dir;
  auto task = MakeTask(dir);
  ProtoValue record = BaseRecord();
  record[L"gl"].append(Gap(0, 99));
  record[L"gl"].append(Gap(50, 199));
  record[L"gl"].append(Gap(10, 5));
  record[L"gl"].append(Gap(4999990, 6000000));  // cut at the last byte of the file
  StoreRecord(*task, record);
  ASSERT_TRUE(task->LoadMeta());
  EXPECT_EQ(GapsOf(*task), (Ranges{{0, 199}, {4999990, 4999999}}));
}

TEST(DownloadTaskMetaTest, HashDifferingOnlyInCaseIsTheSameFile) {
  ScratchDirectory dir;
  auto task = MakeTask(dir, kSize, L"0123456789abcdef0123456789abcdef");
  ProtoValue record = BaseRecord();
  record[L"gl"].append(Gap(0, 9));
  StoreRecord(*task, record);
  TraceLines trace;
  ASSERT_TRUE(task->LoadMeta());
  EXPECT_EQ(trace.LinesContaining(L"size:5000000 save_size:5000000 hash:0123456789abcdef").size(), 1u);
}

TEST(DownloadTaskMetaTest, UnusableRecordsRestoreNothing) {
  struct Case {
    const char* name;
    void (*damage)(ProtoValue& record);
  };
  const Case cases[] = {
      {"size is text", [](ProtoValue& r) { r[L"fs"] = L"5000000"; }},
      {"hash is a number", [](ProtoValue& r) { r[L"fh"] = 5; }},
      {"time spent is text", [](ProtoValue& r) { r[L"ct"] = L"x"; }},
      {"gap list is a number", [](ProtoValue& r) { r[L"gl"] = 3; }},
      {"gap is text", [](ProtoValue& r) { r[L"gl"].append(ProtoValue(L"0-9")); }},
      {"gap end is text", [](ProtoValue& r) {
         ProtoValue gap = Gap(0, 9);
         gap[L"end"] = L"9";
         r[L"gl"].append(gap);
       }},
      {"negative gap start", [](ProtoValue& r) { r[L"gl"].append(Gap(-1, 9)); }},
      {"saved for another size", [](ProtoValue& r) { r[L"fs"] = kSize + 1; }},
      {"saved for another hash", [](ProtoValue& r) { r[L"fh"] = L"ffff"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory dir;
    auto task = MakeTask(dir);
    ProtoValue record = BaseRecord();
    record[L"ps"] = 99;
    record[L"is_cdn"] = 1;
    record[L"gl"].append(Gap(0, 9));
    c.damage(record);
    StoreRecord(*task, record);
    task->SetP2pBytes(1);
    task->SetElapsedMs(2);
    task->Gaps().AddRange(0, 10);
    EXPECT_FALSE(task->LoadMeta());
    EXPECT_TRUE(task->Gaps().IsEmpty());
    EXPECT_EQ(task->P2pBytes(), 1u);
    EXPECT_EQ(task->ElapsedMs(), 2u);
    EXPECT_FALSE(task->UsedCdn());
  }
}

TEST(DownloadTaskMetaTest, MissingMetaFileMeansAFreshStart) {
  ScratchDirectory dir;
  auto task = MakeTask(dir);
  TraceLines trace;
  EXPECT_FALSE(task->LoadMeta());
  EXPECT_EQ(trace.LinesContaining(L"无任务断点信息 " + task->GetDataFilePath()).size(), 1u);
}

TEST(DownloadTaskFilesTest, CreateEmptyFileSetsTheLengthAndKeepsContent) {
  const struct {
    const char* name;
    std::string before;  // "<none>": no file yet
  } cases[] = {{"new file", "<none>"}, {"shorter file", "abc"}, {"longer file", std::string(40, 'z')}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory dir;
    auto task = MakeTask(dir, 20);
    if (c.before != "<none>") {
      ASSERT_TRUE(WriteWholeFile(task->GetDataFilePath(), c.before));
    }
    ASSERT_TRUE(task->CreateEmptyFile());
    const std::string after = ReadWholeFile(task->GetDataFilePath());
    ASSERT_EQ(after.size(), 20u);
    const std::string kept = c.before == "<none>" ? "" : c.before.substr(0, 20);
    EXPECT_EQ(after.substr(0, kept.size()), kept);
    EXPECT_EQ(after.substr(kept.size()), std::string(20 - kept.size(), '\0'));
  }
}

TEST(DownloadTaskFilesTest, CreateEmptyFileInAMissingDirectoryFails) {
  ScratchDirectory dir;
  CDownloadTask task(20);
  task.SetTarget(dir / L"missing", L"game.exe", L"");
  TraceLines trace;
  EXPECT_FALSE(task.CreateEmptyFile());
  EXPECT_EQ(trace.LinesContaining(L"[CreateEmptyFile]打开错误 1:3 ").size(), 1u);
}

TEST(DownloadTaskFilesTest, FinalRenameReplacesTheTargetAndDeletesTheMeta) {
  ScratchDirectory dir;
  auto task = MakeTask(dir);
  ASSERT_TRUE(WriteWholeFile(task->GetDataFilePath(), "new"));
  ASSERT_TRUE(WriteWholeFile(task->GetFullPath(), "old target"));
  task->SaveMeta();
  ASSERT_TRUE(platform::PathExists(task->GetMetaFilePath()));
  std::vector<uint32_t> sleeps;
  EXPECT_EQ(task->MoveDataFileToFinalPath([&](uint32_t ms) { sleeps.push_back(ms); }), 0u);
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(ReadWholeFile(task->GetFullPath()), "new");
  EXPECT_FALSE(platform::PathExists(task->GetDataFilePath()));
  EXPECT_FALSE(platform::PathExists(task->GetMetaFilePath()));
}

TEST(DownloadTaskFilesTest, FinalRenameWithoutDataFileSucceedsOnlyWhenTheTargetExists) {
  for (const bool targetExists : {true, false}) {
    SCOPED_TRACE(targetExists ? "target exists" : "no target");
    ScratchDirectory dir;
    auto task = MakeTask(dir);
    if (targetExists) {
      ASSERT_TRUE(WriteWholeFile(task->GetFullPath(), "done"));
    }
    task->SaveMeta();
    TraceLines trace;
    const uint32_t code = task->MoveDataFileToFinalPath([](uint32_t) {});
    EXPECT_EQ(code, targetExists ? 0u : platform::kErrorFileNotFound);
    EXPECT_EQ(platform::PathExists(task->GetMetaFilePath()), !targetExists);
    EXPECT_EQ(trace.LinesContaining(L"文件重命名失败 et:2").size(), targetExists ? 0u : 1u);
  }
}

TEST(DownloadTaskFilesTest, FinalRenameOfAHeldDataFileRetriesThenKeepsTheMeta) {
  ScratchDirectory dir;
  auto task = MakeTask(dir);
  ASSERT_TRUE(WriteWholeFile(task->GetDataFilePath(), "data"));
  task->SaveMeta();
  platform::FileOpenParams params;
  params.access = platform::FileAccess::Read;
  params.share = platform::kShareRead | platform::kShareWrite;
  platform::NativeFile held = platform::OpenFile(task->GetDataFilePath(), params);
  ASSERT_NE(held, nullptr);
  TraceLines trace;
  std::vector<uint32_t> sleeps;
  const uint32_t code = task->MoveDataFileToFinalPath([&](uint32_t ms) { sleeps.push_back(ms); });
  platform::CloseFile(held);
  EXPECT_EQ(code, platform::kErrorSharingViolation);
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{1, 101, 201, 301, 401, 501, 601, 701, 801, 901, 1001}));
  EXPECT_TRUE(platform::PathExists(task->GetMetaFilePath()));
  EXPECT_EQ(ReadWholeFile(task->GetDataFilePath()), "data");
  EXPECT_EQ(trace.LinesContaining(L"文件下载完成，但是文件重命名失败 et:32").size(), 1u);
}

}  // namespace
