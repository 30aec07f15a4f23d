#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "commonlib/core/error_pair.h"
#include "engine/engine_fixture.h"
#include "engine/task_meta_file.h"
#include "platform/file_system.h"

namespace {

using Range = std::pair<uint64_t, uint64_t>;
constexpr Range kBlock0{0, 1310719};
constexpr Range kBlock1{1310720, 2621439};
constexpr Range kBlock2{2621440, 2999999};

uint64_t FileSize(const std::wstring& path) {
  platform::FileInfo info;
  return platform::GetFileInfo(path, &info) ? info.size : UINT64_MAX;
}

class DownloadTaskTest : public EngineTest {
 protected:
  std::wstring DataPath(const std::wstring& name = L"game.exe") const { return dir / (name + L".qbdt"); }
  std::wstring MetaPath(const std::wstring& name = L"game.exe") const { return dir / (name + L".qbdt.qbmt"); }
  CDownloadTask* Task(const std::wstring& name = L"game.exe") const {
    return queue.FindTaskByPath(dir / name);
  }

  // Leaves a data file and a meta file that say nothing is missing any more.
  void LeaveFinishedDownload(const std::wstring& name) {
    CDownloadTask earlier(kSize);
    earlier.SetTarget(dir.path(), name, kMd5);
    ASSERT_TRUE(earlier.CreateEmptyFile());
    earlier.SaveMeta();
  }
};

TEST_F(DownloadTaskTest, StartsWithTheDomainSourceAndUpToTwoDistinctAddresses) {
  const struct {
    const wchar_t* ipList;
    std::set<std::wstring> addresses;
    size_t pinned;
  } cases[] = {
      {L"", {}, 0},
      {L"10.0.0.5;10.0.0.1;10.0.0.3;10.0.0.2;10.0.0.4",
       {L"10.0.0.1", L"10.0.0.2", L"10.0.0.3", L"10.0.0.4", L"10.0.0.5"},
       2},
      {L"10.0.0.9;;", {L"10.0.0.9"}, 1},  // empty pieces are no addresses
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ipList);
    const std::wstring name = L"file" + std::to_wstring(index++) + L".exe";
    const size_t first = peers.records.size();
    DownloadTaskSettings settings = Settings(name);
    settings.ipList = c.ipList;
    ASSERT_TRUE(Add(settings));

    ASSERT_EQ(peers.records.size() - first, 1 + c.pinned);
    EXPECT_EQ(FileSize(DataPath(name)), kSize);
    const Range expected[] = {kBlock0, kBlock1, kBlock2};
    std::set<std::wstring> picked;
    for (size_t i = first; i < peers.records.size(); ++i) {
      const PeerSettings& peerSettings = peers.records[i]->peerSettings;
      EXPECT_EQ(peerSettings.url, kUrl);
      EXPECT_EQ(peerSettings.dataPath, DataPath(name));
      EXPECT_EQ(peerSettings.key, kMd5);
      EXPECT_EQ(peerSettings.host, L"dl.example.test");
      EXPECT_EQ(peerSettings.port, 8080);
      EXPECT_TRUE(peerSettings.verifyHost);
      EXPECT_FALSE(peerSettings.isCdn);
      EXPECT_EQ(peerSettings.pinned, i != first);
      if (peerSettings.pinned) {
        EXPECT_EQ(c.addresses.count(peerSettings.ip), 1u)
            << "not from the list: " << std::string(peerSettings.ip.begin(), peerSettings.ip.end());
        picked.insert(peerSettings.ip);
      }
      // Each new source gets the next block at once.
      ASSERT_EQ(peers.records[i]->requests.size(), 1u);
      EXPECT_EQ(peers.records[i]->requests[0], expected[i - first]);
    }
    EXPECT_EQ(picked.size(), c.pinned) << "an address was picked twice";
    const auto& events = Task(name)->Log().Events();
    EXPECT_TRUE(AnyContains(events, L"[任务状态] 开始下载:" + std::wstring(kUrl)));
    EXPECT_TRUE(AnyContains(events, L"[选取源] 选取域名源：dl.example.test"));
    for (const std::wstring& ip : picked) EXPECT_TRUE(AnyContains(events, L"[选取源] 选取IP源：" + ip));
  }
  EXPECT_TRUE(completions.empty());
}

TEST_F(DownloadTaskTest, ResumeWithNothingMissingCompletesRenamesAndReportsTheOptions) {
  const struct {
    const char* options;
    bool keptMember;
  } cases[] = {
      {"{\"game\":\"abc\",\"ver\":3}", true},
      {"[1,2]", false},  // not an object: nothing of it can go into the record
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::wstring name = L"resume" + std::to_wstring(index++) + L".exe";
    LeaveFinishedDownload(name);
    completions.clear();
    sink.reports.clear();
    DownloadTaskSettings settings = Settings(name);
    settings.options = c.options;
    const size_t sourcesBefore = peers.records.size();

    EXPECT_TRUE(Add(settings));
    ExpectOneCompletion(0, 0);
    EXPECT_EQ(peers.records.size(), sourcesBefore) << "nothing to fetch, no source";
    EXPECT_EQ(FileSize(dir / name), kSize);
    EXPECT_FALSE(platform::PathExists(DataPath(name)));
    EXPECT_FALSE(platform::PathExists(MetaPath(name)));
    EXPECT_EQ(queue.TaskCount(), 0u);
    EXPECT_EQ(queue.Reports().Size(), 0u);
    ASSERT_EQ(sink.reports.size(), 1u);
    const ProtoValue& report = sink.reports[0];
    EXPECT_EQ(report.get(L"status").integer(), 1);
    EXPECT_EQ(report.get(L"file_name").string(), name);
    EXPECT_EQ(report.has(L"game"), c.keptMember);
    if (c.keptMember) {
      EXPECT_EQ(report.get(L"ver").integer(), 3);
    }
    EXPECT_TRUE(AnyContains(ReportHistory(report), L"[任务状态] 下载完成 code:0"));
  }
  EXPECT_EQ(trace.LinesContaining(L"任务完成，无需开始下载").size(), 2u);
}

TEST_F(DownloadTaskTest, FinalFileAlreadyCompleteSucceedsWithoutDataFileOrReport) {
  ASSERT_TRUE(file_test::WriteWholeFile(dir / L"game.exe", std::string(kSize, 'x')));
  EXPECT_TRUE(Add(Settings()));
  ExpectOneCompletion(0, 0);
  EXPECT_TRUE(peers.records.empty());
  EXPECT_FALSE(platform::PathExists(DataPath()));
  EXPECT_FALSE(platform::PathExists(MetaPath()));
  EXPECT_EQ(FileSize(dir / L"game.exe"), kSize);
  EXPECT_TRUE(sink.reports.empty());
  EXPECT_EQ(queue.Reports().Size(), 0u) << "the report is built and released, only not sent";
  EXPECT_EQ(
      trace.LinesContaining(L"最终文件大小等于预期大小，认为已经完成 " + dir / L"game.exe" + L" 3000000")
          .size(),
      1u);
}

TEST_F(DownloadTaskTest, StartFailuresEndTheTaskWithTheirCode) {
  const struct {
    const wchar_t* name;
    uint64_t size;
    int32_t code;
    const wchar_t* line;
  } cases[] = {
      {L"missing\\game.exe", kSize, user_error::kDataFileNotCreatable, L"创建空文件失败 "},
      // No block can ever finish a file without bytes: it must fail, not run without end.
      {L"empty.exe", 0, user_error::kNoExpectedSize, L"预期大小为0，无法下载 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    completions.clear();
    sink.reports.clear();
    EXPECT_FALSE(Add(Settings(c.name, c.size)));
    ExpectOneCompletion(error_type::kUser, c.code);
    EXPECT_EQ(queue.TaskCount(), 0u);
    EXPECT_TRUE(peers.records.empty());
    EXPECT_FALSE(platform::PathExists(dir / c.name));
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_EQ(sink.reports[0].get(L"status").integer(), 2);
    const auto lines = trace.LinesContaining(c.line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"[ERRO]", 0), 0u);
  }
}

TEST_F(DownloadTaskTest, BlocksCompleteOneByOneAndTheLastRenamesAndStopsTheOtherSources) {
  DownloadTaskSettings settings = Settings(L"game.exe", 2000000);  // two blocks, three sources
  settings.ipList = L"10.0.0.1;10.0.0.2";
  ASSERT_TRUE(Add(settings));
  ASSERT_EQ(peers.records.size(), 3u);
  EXPECT_TRUE(peers.records[2]->requests.empty()) << "nothing left for the third source";

  FinishBlock(1310720);
  CDownloadTask* task = Task();
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->GetDownloadedSize(), 2000000u - 1310720u);
  const ScriptedPeer* second = peers.records[1]->peer;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(task->Log().BytesBySource().at(second->serverIp), 689280);
  CTaskMetaFile saved;
  ASSERT_TRUE(saved.LoadFile(MetaPath()));
  ASSERT_EQ(saved.root.get(L"gl").size(), 1u);
  EXPECT_EQ(saved.root.get(L"gl").array()[0].get(L"end").integer(), 1310719);

  FinishBlock(0);
  ExpectOneCompletion(0, 0);
  for (const auto& record : peers.records) {
    EXPECT_EQ(record->peer, nullptr);
    EXPECT_GE(record->stops, 1);
  }
  EXPECT_EQ(FileSize(dir / L"game.exe"), 2000000u);
  EXPECT_FALSE(platform::PathExists(DataPath()));
  EXPECT_FALSE(platform::PathExists(MetaPath()));
  ASSERT_EQ(sink.reports.size(), 1u);
  EXPECT_EQ(sink.reports[0].get(L"download_size").integer(), 2000000);
  EXPECT_EQ(sink.reports[0].get(L"status").integer(), 1);
  EXPECT_EQ(trace.LinesContaining(L"download task completed 正常完成 " + dir / L"game.exe").size(), 1u);
}

TEST_F(DownloadTaskTest, FailedSourceIsDroppedAndItsBlockGoesToTheNextIdleSource) {
  DownloadTaskSettings settings = Settings();
  settings.ipList = L"10.0.0.1;10.0.0.2";
  ASSERT_TRUE(Add(settings));
  const auto domain = peers.records[0];

  FinishBlock(0, error_type::kCurl, 28);
  EXPECT_EQ(domain->peer, nullptr);
  EXPECT_EQ(domain->stops, 1);
  CDownloadTask* task = Task();
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->Peers().size(), 2u);
  EXPECT_TRUE(AnyContains(task->Log().Events(), L"[源失败] 源：dl.example.test失败,et:5,ec:28"));
  EXPECT_EQ(task->Log().TimeBySource().count(L"dl.example.test"), 1u);
  EXPECT_EQ(peers.records.size(), 3u) << "no CDN configured";
  EXPECT_EQ(task->GetDownloadedSize(), 0u);

  // The next source to become idle takes the failed block first.
  ScriptedPeer* next = peers.HolderOf(kBlock1.first);
  ASSERT_NE(next, nullptr);
  next->Finish(hub);
  ASSERT_NE(next->block, nullptr);
  EXPECT_EQ(next->block->start, 0u);
  EXPECT_EQ(next->block->end, 1310719u);
}

TEST_F(DownloadTaskTest, ResultsOfForeignOrBlocklessSourcesChangeNoBlock) {
  DownloadTaskSettings settings = Settings(L"game.exe", 2000000);
  settings.ipList = L"10.0.0.1;10.0.0.2";
  ASSERT_TRUE(Add(settings));
  CDownloadTask* task = Task();
  ASSERT_NE(task, nullptr);

  auto foreignRecord = std::make_shared<PeerRecord>();
  ScriptedPeer foreign(foreignRecord);
  task->OnRangeCompleted(&foreign, 0, 0);
  EXPECT_EQ(trace.LinesContaining(L"peer未找到 0x").size(), 1u);
  EXPECT_EQ(task->Blocks().size(), 2u);
  EXPECT_EQ(task->Peers().size(), 3u);

  // The third source never got a block: its result only drops it.
  ASSERT_EQ(peers.records[2]->peer->block, nullptr);
  peers.records[2]->peer->Finish(hub, 0, 0);
  EXPECT_EQ(trace.LinesContaining(L"et:0 ec:0 peer block_未分配而移除").size(), 1u);
  EXPECT_EQ(peers.records[2]->peer, nullptr);
  EXPECT_EQ(task->Peers().size(), 2u);
  EXPECT_EQ(task->Blocks().size(), 2u);
  EXPECT_EQ(task->GetDownloadedSize(), 0u);
  EXPECT_TRUE(completions.empty());
}

TEST_F(DownloadTaskTest, CdnJoinsOnceWhenTheLastOwnSourceFailsThenNoSourceEndsWith809) {
  DownloadTaskSettings settings = Settings();
  settings.cdnHost = L"cdn.example.test";
  settings.cdnMinSpeed = 1;
  ASSERT_TRUE(Add(settings));
  FinishBlock(0, error_type::kHttp, 404);

  ASSERT_EQ(peers.records.size(), 2u);
  const PeerSettings& cdn = peers.records[1]->peerSettings;
  EXPECT_EQ(cdn.url, L"http://cdn.example.test:8080/pkg/game.exe");
  EXPECT_TRUE(cdn.isCdn);
  EXPECT_FALSE(cdn.pinned);
  EXPECT_EQ(cdn.key, kMd5);
  ASSERT_EQ(peers.records[1]->requests.size(), 1u);
  EXPECT_EQ(peers.records[1]->requests[0], kBlock0);
  EXPECT_TRUE(Task()->CdnSwitched());
  const std::wstring reason = L"0%,已下载0 B,下载源全部失败，切换为第三方cdn下载源：cdn.example.test";
  EXPECT_TRUE(AnyContains(Task()->Log().Events(), L"[选取源] " + reason));
  EXPECT_EQ(trace.LinesContaining(reason).size(), 1u) << "the CDN line goes to the log too";

  // The CDN failing as well brings no second one.
  FinishBlock(0, error_type::kCurl, 7);
  EXPECT_EQ(peers.records.size(), 2u);
  ASSERT_NE(Task(), nullptr);
  EXPECT_TRUE(Task()->Peers().empty());

  const uint32_t t0 = platform::TickCount();
  queue.OnTimer(t0);
  queue.OnTimer(t0 + 10000);
  EXPECT_TRUE(completions.empty()) << "10 s without a source are still allowed";
  queue.OnTimer(t0 + 10001);
  ExpectOneCompletion(error_type::kUser, user_error::kNoSourceLeft);
  EXPECT_EQ(queue.TaskCount(), 0u);
  EXPECT_EQ(trace.LinesContaining(L"下载任务，找不到任何源！！url:" + std::wstring(kUrl)).size(), 1u);
  ASSERT_EQ(sink.reports.size(), 1u);
  EXPECT_EQ(sink.reports[0].get(L"status").integer(), 2);
  EXPECT_EQ(sink.reports[0].get(L"is_cdn").integer(), 1);
  EXPECT_TRUE(platform::PathExists(DataPath())) << "a failed download keeps its files";
}

TEST_F(DownloadTaskTest, SlowOwnSourcesBringTheCdnAfterTwentySeconds) {
  const struct {
    const wchar_t* name;
    const wchar_t* cdnHost;
    uint32_t bytesPerTick;
    bool switches;
  } cases[] = {
      {L"silent.exe", L"cdn.example.test", 0, true},
      {L"flowing.exe", L"cdn.example.test", 5000, false},  // faster than the threshold of 0
      {L"nocdn.exe", L"", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DownloadTaskSettings settings = Settings(c.name);
    settings.cdnHost = c.cdnHost;
    settings.cdnMinSpeed = 0;
    ASSERT_TRUE(Add(settings));
    CDownloadTask* task = Task(c.name);
    ASSERT_NE(task, nullptr);
    ScriptedPeer* own = peers.records.back()->peer;
    const size_t sources = peers.records.size();
    const uint32_t start = platform::TickCount();
    for (uint32_t at : {1000u, 10000u, 19000u, 21000u, 45000u}) {
      own->sampler.pendingBytes = c.bytesPerTick;
      ASSERT_TRUE(task->OnTimer(start + at));
      if (at == 19000u) {
        EXPECT_EQ(peers.records.size(), sources);
      }
    }
    EXPECT_EQ(peers.records.size(), sources + (c.switches ? 1 : 0)) << "at most one CDN source";
    EXPECT_EQ(task->CdnSwitched(), c.switches);
    if (c.switches) {
      EXPECT_TRUE(peers.records.back()->peerSettings.isCdn);
      EXPECT_TRUE(AnyContains(
          task->Log().Events(),
          L"任务进度0%,已下载0 B,下载速度为0 B/秒低于阈值0 B/秒，切换为第三方cdn下载源：cdn.example.test"));
    }
  }
}

TEST_F(DownloadTaskTest, TickReportsProgressAndHandsIdleSourcesABlock) {
  ASSERT_TRUE(Add(Settings()));
  ScriptedPeer* own = peers.records[0]->peer;
  own->block->received = 1000;
  own->sampler.pendingBytes = 2000;
  CDownloadTask* task = Task();
  ASSERT_TRUE(task->OnTimer(own->sampler.lastTick + 1000));
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0].userData, kUserData);
  EXPECT_EQ(progress[0].total, kSize);
  EXPECT_EQ(progress[0].completed, 1000u);
  EXPECT_EQ(progress[0].speed, 2000u);
  EXPECT_EQ(
      trace.LinesContaining(std::wstring(kUrl) + L" 任务下载 speed:2000 completed:1000/3000000 peer_count:1")
          .size(),
      1u);

  // A source left idle (its request was refused earlier, say) gets the next free block.
  own->busy = false;
  ASSERT_TRUE(task->OnTimer(own->sampler.lastTick + 1000));
  EXPECT_EQ(trace.LinesContaining(L"任务未完成，但还有空闲peer，开始调度下载").size(), 1u);
  ASSERT_EQ(peers.records[0]->requests.size(), 2u);
  EXPECT_EQ(peers.records[0]->requests[1], kBlock1);
}

TEST_F(DownloadTaskTest, SourceNotesAreRecordedByKind) {
  DownloadTaskSettings settings = Settings();
  settings.ipList = L"10.0.0.1";
  settings.cdnHost = L"cdn.example.test";
  ASSERT_TRUE(Add(settings));
  CDownloadTask* task = Task();
  task->SwitchToCdn(L"test");
  ASSERT_EQ(peers.records.size(), 3u);
  ScriptedPeer* domain = peers.records[0]->peer;
  ScriptedPeer* pinned = peers.records[1]->peer;
  ScriptedPeer* cdn = peers.records[2]->peer;
  domain->serverIp = L"1.2.3.4";
  cdn->serverIp = L"5.6.7.8";

  const auto publish = [this](int32_t type, ScriptedPeer* peer, ProtoValue value) {
    value[engine_event::kPeer] = engine_event::PeerId(peer);
    hub.Broadcast(type, 0, 0, value);
  };
  publish(engine_event::kSourceResolved, domain, ProtoValue());
  publish(engine_event::kSourceResolved, cdn, ProtoValue());
  pinned->redirected = true;
  pinned->serverIp = L"9.9.9.9";
  publish(engine_event::kSourceResolved, pinned, ProtoValue());
  ProtoValue redirect;
  redirect[engine_event::kLogName] = L"10.0.0.1";
  redirect[engine_event::kLocation] = L"http://mirror.example.test/game.exe";
  publish(engine_event::kSourceRedirected, pinned, redirect);
  ProtoValue retry;
  retry[engine_event::kErrorType] = 3;
  retry[engine_event::kErrorCode] = 3002;
  retry[engine_event::kTimes] = 2;
  publish(engine_event::kSourceRetry, domain, retry);
  publish(8, domain, ProtoValue());  // not an engine event the queue knows

  const auto& events = task->Log().Events();
  const std::wstring expected[] = {
      L"[源解析] 域名源dl.example.test解析ip为：1.2.3.4",
      L"[源解析] CDNcdn.example.test解析ip为：5.6.7.8",
      L"[源解析] 重定向源dl.example.test解析ip为：9.9.9.9",
      L"[源重定向] 源10.0.0.1重定向到:http://mirror.example.test/game.exe",
      L"[源重试] 下载源1.2.3.4 第2次重试 et:3 ec:3002",
  };
  for (const std::wstring& line : expected)
    EXPECT_TRUE(AnyContains(events, line)) << std::string(line.begin(), line.end());
  EXPECT_EQ(trace.LinesContaining(L"[源重定向] 源10.0.0.1重定向到:").size(), 1u)
      << "the redirect goes to the log too";
}

TEST_F(DownloadTaskTest, StartAndStopRefuseTheWrongState) {
  ASSERT_TRUE(Add(Settings()));
  CDownloadTask* task = Task();
  const size_t sources = peers.records.size();
  EXPECT_FALSE(task->StartTask());
  EXPECT_EQ(peers.records.size(), sources);
  EXPECT_EQ(trace.LinesContaining(L"StartTask error 状态错误 " + dir / L"game.exe").size(), 1u);

  CDownloadTask idle(kSize);
  idle.SetTarget(dir.path(), L"idle.exe", kMd5);
  EXPECT_FALSE(idle.StopTask());
  EXPECT_EQ(trace.LinesContaining(L"StopTask error 状态错误 ").size(), 1u);
  EXPECT_FALSE(platform::PathExists(dir / L"idle.exe.qbdt.qbmt")) << "an idle stop saves nothing";
}

}  // namespace
