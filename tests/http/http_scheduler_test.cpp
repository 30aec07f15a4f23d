// The request scheduler: the running limit, priorities, deferral, failed starts, the watchdog and
// the command transport.
#include <string>
#include <vector>

#include "support/trace_lines.h"
#include "transport_fixture.h"

namespace {

// A request whose start is scripted and never touches the network.
class ScriptedRequest : public CHttpBase {
 public:
  ScriptedRequest(CHttpMgr* mgr, std::vector<ScriptedRequest*>* startLog, int id)
      : CHttpBase(nullptr, mgr), startLog_(startLog), id(id) {
    url = L"http://scripted/" + std::to_wstring(id);
  }
  ErrorPair Start() override {
    startLog_->push_back(this);
    if (!startResult.IsOk()) return startResult;
    return CHttpBase::Start();
  }
  void Done(int32_t type, int32_t code) override { done.push_back({type, code}); }

  ErrorPair startResult;
  std::vector<ErrorPair> done;

 private:
  std::vector<ScriptedRequest*>* startLog_;

 public:
  int id;
};

class HttpSchedulerTest : public ::testing::Test {
 protected:
  ScriptedRequest* Make(int priority = 0) {
    requests.push_back(std::make_unique<ScriptedRequest>(&mgr, &started, static_cast<int>(requests.size())));
    requests.back()->priority = priority;
    return requests.back().get();
  }
  std::vector<int> StartedIds() const {
    std::vector<int> ids;
    for (const ScriptedRequest* request : started) ids.push_back(request->id);
    return ids;
  }

  CHttpMgr mgr;
  std::vector<ScriptedRequest*> started;
  std::vector<std::unique_ptr<ScriptedRequest>> requests;
};

TEST_F(HttpSchedulerTest, TenRunAtOnceAndTheRestFollowAsSlotsFree) {
  for (int i = 0; i < 12; ++i) mgr.AddRequest(Make());
  EXPECT_EQ(StartedIds(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(mgr.running, 10);
  requests[3]->Stop();  // leaves the scheduler, freeing its slot
  EXPECT_EQ(started.back()->id, 10);
  requests[0]->Stop();
  EXPECT_EQ(started.back()->id, 11);
  EXPECT_EQ(mgr.running, 10);
  EXPECT_EQ(mgr.requests.size(), 10u);
}

TEST_F(HttpSchedulerTest, HigherPriorityTakesTheFreeSlotFirst) {
  for (int i = 0; i < 9; ++i) mgr.AddRequest(Make());
  // Registered without scheduling: deferred until all are listed.
  ScriptedRequest* later = Make();
  later->deferred = true;
  mgr.AddRequest(later);
  ScriptedRequest* urgent = Make(1);
  urgent->deferred = true;
  mgr.AddRequest(urgent);
  later->deferred = false;
  urgent->deferred = false;
  mgr.Schedule();
  EXPECT_EQ(started.back(), urgent);
  EXPECT_FALSE(later->scheduled);
}

TEST_F(HttpSchedulerTest, DeferredRequestWaitsUntilItsRetryIsDue) {
  ScriptedRequest* request = Make();
  request->deferred = true;
  request->deferTick = platform::TickCount();
  mgr.AddRequest(request);
  mgr.ResumeDeferred();
  EXPECT_TRUE(started.empty());
  request->deferTick = platform::TickCount() - 501;
  mgr.ResumeDeferred();
  EXPECT_EQ(StartedIds(), std::vector<int>{0});
  EXPECT_FALSE(request->deferred);
}

TEST_F(HttpSchedulerTest, FailedStartsAreReportedAndTheWalkGoesOn) {
  TraceLines trace;
  ScriptedRequest* failing = Make();
  failing->startResult = {error_type::kUser, -1};
  ScriptedRequest* complete = Make();
  complete->startResult = {error_type::kUser, user_error::kBlockAlreadyComplete};
  ScriptedRequest* fine = Make();
  for (auto& request : requests) {
    request->deferred = true;
    mgr.AddRequest(request.get());
    request->deferred = false;
  }
  mgr.Schedule();
  EXPECT_EQ(failing->done, (std::vector<ErrorPair>{{error_type::kUser, -1}}));
  EXPECT_EQ(complete->done, (std::vector<ErrorPair>{{0, 0}}));  // an already complete block is a success
  EXPECT_TRUE(fine->scheduled);
  EXPECT_EQ(mgr.running, 1);
  EXPECT_GE(trace.LinesContaining(L"CHttpMgr::Schedule 有调度任务开始失败，重新调度").size(), 2u);
}

TEST_F(HttpSchedulerTest, SecondRegistrationKeepsTheFirstId) {
  TraceLines trace;
  ScriptedRequest* request = Make();
  const uint64_t id = mgr.AddRequest(request);
  EXPECT_EQ(mgr.AddRequest(request), id);
  EXPECT_EQ(mgr.requests.size(), 1u);
  EXPECT_EQ(trace.LinesContaining(L"http请求重复添加 url:http://scripted/0").size(), 1u);
  const uint64_t other = mgr.AddRequest(Make());
  EXPECT_EQ(static_cast<uint32_t>(other), static_cast<uint32_t>(id) + 1);  // the sequence in the low half
}

TEST_F(HttpSchedulerTest, WrongRunningCountIsRecountedFromTheFlags) {
  TraceLines trace;
  mgr.AddRequest(Make());
  mgr.running = 40;
  mgr.Schedule();
  EXPECT_EQ(mgr.running, 1);
  EXPECT_EQ(trace.LinesContaining(L"正在运行的任务数计算出错").size(), 1u);
}

TEST_F(HttpSchedulerTest, WatchdogEndsASilentRequestAfterItsTimeout) {
  ScriptedRequest* request = Make();
  request->timeoutMs = 20000;
  mgr.AddRequest(request);
  request->OnStart();
  const uint32_t start = request->activityTick;
  mgr.CheckTimeouts(start + 20000);
  EXPECT_TRUE(request->done.empty());
  mgr.CheckTimeouts(start + 20001);
  EXPECT_EQ(request->done, (std::vector<ErrorPair>{{error_type::kUser, user_error::kNoProgress}}));
  EXPECT_EQ(request->activityTick, 0u);
  mgr.CheckTimeouts(start + 40000);  // not watched any more
  EXPECT_EQ(request->done.size(), 1u);
}

class HttpSchedulerTransferTest : public TransportTest {
 protected:
  CHttpMgr mgr;
};

TEST_F(HttpSchedulerTransferTest, StalledTransferIsEndedByTheWatchdogAndCancelled) {
  workshop.Start();
  FetchRequest request(&workshop, &mgr, servers[0].Url("/files/100000?stall_after=1000"));
  request.timeoutMs = 16000;
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.activityTick != 0 && !request.headerCodes.empty(); }));
  PumpFor(100);
  EXPECT_EQ(request.doneCount, 0);
  mgr.CheckTimeouts(request.activityTick + 16001);
  EXPECT_EQ(request.outcome, (ErrorPair{error_type::kUser, user_error::kNoProgress}));
  EXPECT_EQ(request.curl, nullptr);
  EXPECT_FALSE(mgr.Holds(&request));
}

TEST_F(HttpSchedulerTransferTest, EventsOfAReplacedTransferAreDropped) {
  workshop.Start();
  FetchRequest request(&workshop, &mgr, servers[0].Url("/files/50000?throttle=100000"));
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.activityTick != 0; }));
  // A new attempt replaces the running one; the old one's end must not reach the request.
  request.Stop();
  request.url = servers[0].Url("/files/10");
  request.mgr = &mgr;  // Stop unregistered it
  mgr.AddRequest(&request);
  ASSERT_TRUE(PumpUntil([&] { return request.doneCount > 0; }));
  PumpFor(300);
  EXPECT_EQ(request.doneCount, 1);
  EXPECT_EQ(request.body, ServedBytes(0, 10));
}

TEST_F(HttpSchedulerTransferTest, CommandTransportDetachesItsRequestsWhenDestroyed) {
  ASSERT_TRUE(CHttpMgr::CreateCommandTransport());
  CHttpMgr* commands = CHttpMgr::CommandMgr();
  ASSERT_NE(commands, nullptr);
  ASSERT_NE(CHttpMgr::CommandWorkshop(), nullptr);
  FetchRequest request(CHttpMgr::CommandWorkshop(), commands, servers[0].Url("/files/10?stall_after=5"));
  commands->AddRequest(&request);
  EXPECT_TRUE(CHttpMgr::HasRequest(&request));
  ASSERT_TRUE(CHttpMgr::DestroyCommandTransport());
  EXPECT_EQ(request.mgr, nullptr);
  EXPECT_EQ(request.workshop, nullptr);
  EXPECT_FALSE(CHttpMgr::HasRequest(&request));
  EXPECT_EQ(CHttpMgr::CommandMgr(), nullptr);
  PumpFor(100);  // events of the torn-down transport are dropped
  EXPECT_EQ(request.doneCount, 0);
}

}  // namespace
