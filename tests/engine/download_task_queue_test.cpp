#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "commonlib/core/error_pair.h"
#include "engine/download_engine.h"
#include "engine/engine_fixture.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"

namespace {

class DownloadTaskQueueTest : public EngineTest {};

TEST_F(DownloadTaskQueueTest, SecondTaskForTheSamePathIsRefusedAndNeverStarted) {
  ASSERT_TRUE(Add(Settings()));
  const size_t sources = peers.records.size();
  DownloadTaskSettings again = Settings();
  again.url = L"http://other.example.test/game.exe";
  EXPECT_FALSE(Add(again));
  EXPECT_EQ(peers.records.size(), sources) << "the refused task must not add sources";
  EXPECT_EQ(queue.TaskCount(), 1u);
  EXPECT_EQ(queue.Reports().Size(), 1u) << "the refused task's log must not linger";
  EXPECT_EQ(queue.FindTaskByPath(dir / L"game.exe")->Url(), kUrl);
  EXPECT_TRUE(completions.empty());
}

TEST_F(DownloadTaskQueueTest, CancelKeepsTheFilesAndAddingAgainResumes) {
  ASSERT_TRUE(Add(Settings()));
  FinishBlock(0);
  ScriptedPeer* old = peers.records[0]->peer;
  ASSERT_NE(old, nullptr);
  const ProtoValue staleEvent = engine_event::PeerEventValue(*old);

  queue.CancelDownloadFile(dir / L"game.exe");
  EXPECT_TRUE(completions.empty());
  EXPECT_TRUE(sink.reports.empty());
  EXPECT_EQ(queue.TaskCount(), 0u);
  EXPECT_EQ(peers.records[0]->peer, nullptr);
  EXPECT_TRUE(platform::PathExists(dir / L"game.exe.qbdt"));
  EXPECT_TRUE(platform::PathExists(dir / L"game.exe.qbdt.qbmt"));

  // A result of a source of the cancelled task arrives late: dropped with a line.
  hub.Broadcast(engine_event::kRangeDone, 0, 0, staleEvent);
  EXPECT_EQ(trace.LinesContaining(L"未找到对应peer " + dir / L"game.exe.qbdt").size(), 1u);

  ASSERT_TRUE(Add(Settings()));
  ASSERT_EQ(peers.records.size(), 2u);
  ASSERT_EQ(peers.records[1]->requests.size(), 1u);
  EXPECT_EQ(peers.records[1]->requests[0].first, 1310720u) << "the first block is on disk already";
  CDownloadTask* task = queue.FindTaskByPath(dir / L"game.exe");
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->GetDownloadedSize(), 1310720u);
  EXPECT_TRUE(AnyContains(task->Log().Events(), L"[任务状态] 暂停下载,43%,已下载1.25 MB,下载速度为0 B/秒"));

  queue.CancelDownloadFile(dir / L"game.exe");
  queue.CancelDownloadFile(dir / L"game.exe");
  EXPECT_EQ(trace.LinesContaining(L"CancelDownloadFile 未找到对应task " + dir / L"game.exe").size(), 1u);
}

TEST_F(DownloadTaskQueueTest, TasksWithoutSourcesFailOnSuccessiveTicks) {
  ASSERT_TRUE(Add(Settings(L"first.exe")));
  ASSERT_TRUE(Add(Settings(L"second.exe")));
  FinishBlock(0, error_type::kHttp, 500);
  FinishBlock(0, error_type::kHttp, 500);
  ASSERT_EQ(queue.TaskCount(), 2u);

  const uint32_t t0 = platform::TickCount();
  queue.OnTimer(t0);
  queue.OnTimer(t0 + 10001);
  ASSERT_EQ(completions.size(), 1u);
  EXPECT_EQ(completions[0].errorCode, user_error::kNoSourceLeft);
  EXPECT_EQ(queue.FindTaskByPath(dir / L"first.exe"), nullptr);
  EXPECT_NE(queue.FindTaskByPath(dir / L"second.exe"), nullptr) << "the rest waits for the next tick";
  queue.OnTimer(t0 + 10002);
  ASSERT_EQ(completions.size(), 2u);
  EXPECT_EQ(completions[1].errorType, error_type::kUser);
  EXPECT_EQ(completions[1].errorCode, user_error::kNoSourceLeft);
  EXPECT_EQ(queue.TaskCount(), 0u);
}

TEST_F(DownloadTaskQueueTest, TasksAreFoundByMd5TextButEventsReachTheTaskHoldingTheSource) {
  ASSERT_TRUE(Add(Settings(L"first.exe")));
  ASSERT_TRUE(Add(Settings(L"second.exe")));
  CDownloadTask* first = queue.FindTaskByPath(dir / L"first.exe");
  CDownloadTask* second = queue.FindTaskByPath(dir / L"second.exe");
  EXPECT_EQ(queue.FindTaskByKey(kMd5), first);
  std::wstring upper = kMd5;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  EXPECT_EQ(queue.FindTaskByKey(upper), nullptr) << "the text must match exactly";

  // Routed by MD5 the second task's result would go to the first, which does not know the
  // source; the block would then never be handed out again.
  peers.records[1]->peer->Finish(hub);
  EXPECT_EQ(second->GetDownloadedSize(), 1310720u);
  EXPECT_EQ(first->GetDownloadedSize(), 0u);
  EXPECT_TRUE(trace.LinesContaining(L"peer未找到").empty());
}

TEST_F(DownloadTaskQueueTest, HubDeliversToTheListenersRegisteredAtDeliveryTime) {
  struct Listener : DAEventListener {
    void OnEvent(int32_t type, int32_t, int32_t, const ProtoValue&) override {
      types.push_back(type);
      if (other != nullptr) hub->Unregister(other);
    }
    EventHub* hub = nullptr;
    DAEventListener* other = nullptr;
    std::vector<int32_t> types;
  };
  EventHub own;
  Listener first;
  Listener second;
  first.hub = &own;
  first.other = &second;
  EXPECT_TRUE(own.Register(&first));
  EXPECT_FALSE(own.Register(&first));
  EXPECT_FALSE(own.Register(nullptr));
  EXPECT_TRUE(own.Register(&second));
  own.Broadcast(5, 0, 0, ProtoValue());
  EXPECT_EQ(first.types, std::vector<int32_t>{5});
  EXPECT_TRUE(second.types.empty()) << "unregistered during the delivery";
  own.Broadcast(6, 0, 0, ProtoValue());
  EXPECT_EQ(first.types, (std::vector<int32_t>{5, 6}));
  EXPECT_TRUE(second.types.empty());
}

TEST_F(DownloadTaskQueueTest, EngineTimerTicksTheProcessQueueUntilUninit) {
  CDownloadTaskQueue* processQueue = CDownloadTaskQueue::GetInstance();
  bool ticked = false;
  std::vector<uintptr_t> ticks;
  SetDownloadCallbacks(
      [&](uintptr_t userData, uint64_t total, uint64_t, uint32_t) {
        ticks.push_back(userData);
        EXPECT_EQ(total, kSize);
        ticked = true;
      },
      nullptr);

  EXPECT_TRUE(DownloadEngineInit());
  EXPECT_TRUE(DownloadEngineInit());              // once is enough: no second timer, no second registration
  processQueue->SetPeerFactory(peers.Factory());  // in place of the real sources Init installs
  const uintptr_t timer = EventHub::GetInstance()->TimerId();
  EXPECT_TRUE(EventHub::GetInstance()->Started());
  EXPECT_TRUE(EventHub::GetInstance()->IsRegistered(processQueue));
  const std::wstring path = dir / L"engine.exe";
  EXPECT_TRUE(AddDownloadTask(kMd5, nullptr, kUrl, nullptr, path.c_str(), kSize, 77, 0, nullptr));
  ASSERT_EQ(processQueue->TaskCount(), 1u);
  ASSERT_EQ(peers.records.size(), 1u);

  // Results published on the process hub reach the process queue.
  peers.records[0]->peer->Finish(*EventHub::GetInstance());
  EXPECT_EQ(processQueue->FindTaskByPath(path)->GetDownloadedSize(), 1310720u);

  const uint32_t before = platform::TickCount();
  EXPECT_TRUE(platform::RunModalLoop(ticked));
  EXPECT_GE(platform::TickCount() - before, 500u) << "the first tick comes after about a second";
  EXPECT_EQ(ticks, std::vector<uintptr_t>{77});

  EXPECT_TRUE(DownloadEngineUninit());
  EXPECT_FALSE(EventHub::GetInstance()->Started());
  EXPECT_FALSE(EventHub::GetInstance()->IsRegistered(processQueue));
  EXPECT_FALSE(platform::KillThreadTimer(timer)) << "the timer is gone";
  EXPECT_TRUE(RemoveDownloadTask(nullptr, path.c_str()));
  EXPECT_EQ(processQueue->TaskCount(), 0u);
  SetDownloadCallbacks(nullptr, nullptr);
  processQueue->SetPeerFactory(nullptr);
}

}  // namespace
