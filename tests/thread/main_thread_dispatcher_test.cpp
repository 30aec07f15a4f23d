#include "thread/main_thread_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/message_loop.h"
#include "thread/main_thread_task.h"

namespace {

constexpr int kTimedOut = -999;
constexpr uint32_t kMsgForeign = platform::kMsgUser + 7;
constexpr int kForeignEvent = -1;

// UI-thread state of the test: what ran, and on which pass of the dispatcher (its n-th message).
struct Ran {
  int id;
  int pass;
  bool operator==(const Ran&) const = default;
};
std::vector<Ran> gRan;
std::vector<int> gEvents;  // task ids and kForeignEvent, in the order the loop saw them
int gPass = 0;

// The dispatcher's budget clock, moved by the tasks.
double gFakeSeconds = 0;
double FakeClock() { return gFakeSeconds; }

void QuitOnTimeout(platform::WindowHandle, uint32_t, uintptr_t, uint32_t) { platform::PostQuit(kTimedOut); }

struct PumpResult {
  int exitCode;
  int firedMessages;
};

// Runs the UI thread's loop until a quit (at most `limitMs`), counting the dispatcher's messages.
PumpResult Pump(uint32_t limitMs = 10000) {
  const uintptr_t limit = platform::SetThreadTimer(limitMs, QuitOnTimeout);
  platform::Message message;
  int fired = 0;
  while (platform::GetNextMessage(&message)) {
    if (message.window == MainThreadDispatcherWindow()) {
      if (message.message == MainThreadFiredMessage()) gPass = ++fired;
      if (message.message == kMsgForeign) gEvents.push_back(kForeignEvent);
    }
    platform::DispatchToWindow(message);
  }
  platform::KillThreadTimer(limit);
  return {static_cast<int>(message.wParam), fired};
}

// Task bodies.
void Step(int id, int costMs) {
  gRan.push_back({id, gPass});
  gEvents.push_back(id);
  gFakeSeconds += costMs / 1000.0;
}

void StepThenPostNext(int id, int costMs) {
  Step(id, costMs);
  PostToMainThread(Step, id + 1, 0);
}

void StepPostingForeignMessage(int id, int costMs) {
  Step(id, costMs);
  platform::PostMessageToWindow(MainThreadDispatcherWindow(), kMsgForeign, 0, 0);
}

void SleepingStep(int id, int sleepMs) {
  Step(id, 0);
  platform::SleepMs(static_cast<uint32_t>(sleepMs));
}

class MainThreadDispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gRan.clear();
    gEvents.clear();
    gPass = 0;
    gFakeSeconds = 1000;
    InitMainThreadDispatcher();
    ASSERT_NE(MainThreadDispatcherWindow(), nullptr);
    ASSERT_NE(MainThreadFiredMessage(), 0u);
  }
  void TearDown() override {
    UninitMainThreadDispatcher();
    SetMainThreadDispatcherClock(nullptr);
  }
};

TEST_F(MainThreadDispatcherTest, TasksPostedBeforeTheLoopRunsShareOneMessageInPostingOrder) {
  std::thread worker([] {
    for (int id = 1; id <= 3; ++id) PostToMainThread(Step, id, 0);
  });
  worker.join();
  platform::PostQuit(0);  // seen only after every posted message
  const PumpResult result = Pump();
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.firedMessages, 1);
  EXPECT_EQ(gRan, (std::vector<Ran>{{1, 1}, {2, 1}, {3, 1}}));
}

TEST_F(MainThreadDispatcherTest, TaskPostedByATaskRunsInTheSamePassUnlessTheBudgetIsSpent) {
  struct Case {
    int costMs;
    int followerPass;
  };
  for (const Case& c : {Case{10, 1}, Case{60, 2}}) {
    SCOPED_TRACE(c.costMs);
    gRan.clear();
    SetMainThreadDispatcherClock(FakeClock);
    PostToMainThread(StepThenPostNext, 1, c.costMs);
    platform::PostQuit(0);
    EXPECT_EQ(Pump().exitCode, 0);
    EXPECT_EQ(gRan, (std::vector<Ran>{{1, 1}, {2, c.followerPass}}));
  }
}

// Each task costs 30 ms of the 50 ms budget: two run per pass, and the loop handles what was posted
// meanwhile before the next pass.
TEST_F(MainThreadDispatcherTest, PassThatSpendsItsBudgetRepostsAndReturnsToTheLoop) {
  SetMainThreadDispatcherClock(FakeClock);
  PostToMainThread(StepPostingForeignMessage, 1, 30);
  for (int id = 2; id <= 5; ++id) PostToMainThread(Step, id, 30);
  platform::PostQuit(0);
  const PumpResult result = Pump();
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.firedMessages, 3);
  EXPECT_EQ(gRan, (std::vector<Ran>{{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}}));
  EXPECT_EQ(gEvents, (std::vector<int>{1, 2, kForeignEvent, 3, 4, 5}));
}

TEST_F(MainThreadDispatcherTest, BudgetIsMeasuredWithTheHighResolutionClock) {
  for (int id = 1; id <= 3; ++id) PostToMainThread(SleepingStep, id, 60);
  platform::PostQuit(0);
  EXPECT_EQ(Pump().exitCode, 0);
  EXPECT_EQ(gRan, (std::vector<Ran>{{1, 1}, {2, 2}, {3, 3}}));
}

// Several workers post at once while the UI thread runs: every task runs once, each worker's in
// its order; the last worker's final task ends the loop.
std::vector<std::vector<int>> gSeenByWorker;
int gWorkersDone = 0;
constexpr int kWorkers = 4;
constexpr int kTasksPerWorker = 300;

void RecordFromWorker(int worker, int sequence) { gSeenByWorker[worker].push_back(sequence); }
void WorkerDone(int, int) {
  if (++gWorkersDone == kWorkers) platform::PostQuit(0);
}

TEST_F(MainThreadDispatcherTest, ConcurrentPostersKeepEachPostersOrder) {
  gSeenByWorker.assign(kWorkers, {});
  gWorkersDone = 0;
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([w] {
      for (int i = 0; i < kTasksPerWorker; ++i) PostToMainThread(RecordFromWorker, w, i);
      PostToMainThread(WorkerDone, w, 0);
    });
  }
  const PumpResult result = Pump();
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(result.exitCode, 0);
  std::vector<int> expected(kTasksPerWorker);
  for (int i = 0; i < kTasksPerWorker; ++i) expected[i] = i;
  for (int w = 0; w < kWorkers; ++w) EXPECT_EQ(gSeenByWorker[w], expected) << "worker " << w;
}

// An object handed to a task by reference count.
class Payload : public CRefThreadSafeBase<Payload> {
 public:
  Payload(int value, std::atomic<int>* destroyed) : value(value), destroyed_(destroyed) {}
  virtual ~Payload() { ++*destroyed_; }
  const int value;

 private:
  std::atomic<int>* destroyed_;
};

std::atomic<int> gPayloadsDestroyed{0};
std::vector<std::wstring> gCalls;

void TakesPayload(const CRefPtr<Payload>& payload, int code) {
  gCalls.push_back(L"payload " + std::to_wstring(payload->value) + L" " + std::to_wstring(code) + L" destroyed " +
                   std::to_wstring(gPayloadsDestroyed.load()));
}
void TakesThree(unsigned int a, const std::wstring& text, double d) {
  gCalls.push_back(std::to_wstring(a) + L" " + text + L" " + std::to_wstring(static_cast<int>(d * 10)));
}
void TakesFour(void* context, const std::string& body, int type, int code) {
  gCalls.push_back(std::to_wstring(context != nullptr) + L" " + std::wstring(body.begin(), body.end()) + L" " +
                   std::to_wstring(type) + L" " + std::to_wstring(code));
}

// Each arity calls its function with copies of the arguments taken when it was posted; a stored
// CRefPtr keeps its object alive until the task is gone, even after the poster let go of it.
TEST_F(MainThreadDispatcherTest, TasksCallTheirFunctionWithTheStoredCopies) {
  gCalls.clear();
  gPayloadsDestroyed = 0;
  std::thread worker([] {
    CRefPtr<Payload> payload(new Payload(42, &gPayloadsDestroyed));
    PostToMainThread(TakesPayload, payload, 7);
    std::wstring text = L"posted";
    PostToMainThread(TakesThree, 3u, text, 2.5);
    text = L"changed";
    std::string body = "body";
    int context = 0;
    PostToMainThread(TakesFour, static_cast<void*>(&context), body, 4, 404);
    body.clear();
  });
  worker.join();
  EXPECT_EQ(gPayloadsDestroyed, 0);
  platform::PostQuit(0);
  EXPECT_EQ(Pump().exitCode, 0);
  EXPECT_EQ(gCalls, (std::vector<std::wstring>{L"payload 42 7 destroyed 0", L"3 posted 25", L"1 body 4 404"}));
  EXPECT_EQ(gPayloadsDestroyed, 1);
}

void MustNotRun(const CRefPtr<Payload>&, int id) { gRan.push_back({id, gPass}); }

TEST_F(MainThreadDispatcherTest, ShutdownDropsQueuedTasksWithoutRunningThem) {
  gPayloadsDestroyed = 0;
  PostToMainThread(MustNotRun, CRefPtr<Payload>(new Payload(1, &gPayloadsDestroyed)), 1);
  PostToMainThread(MustNotRun, CRefPtr<Payload>(new Payload(2, &gPayloadsDestroyed)), 2);
  UninitMainThreadDispatcher();
  EXPECT_EQ(gPayloadsDestroyed, 2);
  EXPECT_EQ(MainThreadDispatcherWindow(), nullptr);

  // Posted after shutdown: stays queued (its payload alive) and never runs.
  std::thread worker([] { PostToMainThread(MustNotRun, CRefPtr<Payload>(new Payload(3, &gPayloadsDestroyed)), 3); });
  worker.join();
  EXPECT_EQ(Pump(50).exitCode, kTimedOut);
  EXPECT_EQ(gPayloadsDestroyed, 2);

  // A new dispatcher does not run it either.
  InitMainThreadDispatcher();
  EXPECT_EQ(gPayloadsDestroyed, 3);
  platform::PostQuit(0);
  EXPECT_EQ(Pump().exitCode, 0);
  EXPECT_TRUE(gRan.empty());
}

TEST_F(MainThreadDispatcherTest, SecondInitKeepsTheDispatcherAndItsQueue) {
  const platform::WindowHandle window = MainThreadDispatcherWindow();
  PostToMainThread(Step, 1, 0);
  InitMainThreadDispatcher();
  EXPECT_EQ(MainThreadDispatcherWindow(), window);
  platform::PostQuit(0);
  EXPECT_EQ(Pump().exitCode, 0);
  EXPECT_EQ(gRan, (std::vector<Ran>{{1, 1}}));
}

}  // namespace
