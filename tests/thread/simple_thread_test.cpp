#include "thread/simple_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "logger/trace_logger.h"
#include "support/trace_lines.h"
#include "platform/clock.h"

namespace {

constexpr wchar_t kTimeoutLine[] = L"CSimpleThread::DestroyThread线程结束超时 tid:";

// A worker whose body the test gives.
class TestThread : public CSimpleThread {
 public:
  explicit TestThread(std::function<void(TestThread&)> body) : body_(std::move(body)) {}
  ~TestThread() override { DestroyThread(platform::kWaitInfinite); }
  void Run() override { body_(*this); }

 private:
  std::function<void(TestThread&)> body_;
};

void RunUntilStopped(TestThread& self) {
  while (!self.IsStopRequested()) platform::SleepMs(1);
}

// Polls `done` for up to 10 s.
bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 10000; ++i) {
    if (done()) return true;
    platform::SleepMs(1);
  }
  return done();
}

TEST(SimpleThread, StartOnARunningThreadStartsNothing) {
  std::atomic<int> runs{0};
  TestThread thread([&](TestThread& self) {
    ++runs;
    RunUntilStopped(self);
  });
  ASSERT_TRUE(thread.Start());
  const uint32_t id = thread.GetThreadId();
  EXPECT_NE(id, 0u);
  EXPECT_TRUE(thread.Start());
  EXPECT_EQ(thread.GetThreadId(), id);
  EXPECT_TRUE(thread.DestroyThread(platform::kWaitInfinite));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(thread.GetThreadId(), 0u);
  EXPECT_TRUE(thread.IsStopRequested());
}

TEST(SimpleThread, BodyThatReturnsLeavesTheThreadIdleAndStartableAgain) {
  std::atomic<int> runs{0};
  TestThread thread([&](TestThread&) { ++runs; });
  for (int round = 1; round <= 2; ++round) {
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return thread.GetThreadId() == 0; }));
    EXPECT_EQ(runs, round);
  }
  EXPECT_TRUE(thread.DestroyThread(100));  // nothing to stop
  EXPECT_FALSE(thread.IsStopRequested());
}

TEST(SimpleThread, StartAfterAStopClearsTheStopRequest) {
  std::mutex lock;
  std::vector<bool> stopSeenAtEntry;
  TestThread thread([&](TestThread& self) {
    {
      std::lock_guard<std::mutex> guard(lock);
      stopSeenAtEntry.push_back(self.IsStopRequested());
    }
    RunUntilStopped(self);
  });
  auto entered = [&](size_t count) {
    return WaitUntil([&] {
      std::lock_guard<std::mutex> guard(lock);
      return stopSeenAtEntry.size() == count;
    });
  };
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(entered(1));
  EXPECT_TRUE(thread.DestroyThread(platform::kWaitInfinite));
  EXPECT_TRUE(thread.IsStopRequested());
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(entered(2));
  EXPECT_TRUE(thread.DestroyThread(platform::kWaitInfinite));
  std::lock_guard<std::mutex> guard(lock);
  EXPECT_EQ(stopSeenAtEntry, (std::vector<bool>{false, false}));
}

TEST(SimpleThread, DestroyThreadFromInsideRunReturnsWithoutWaiting) {
  TraceLines trace;
  std::atomic<bool> finished{false};
  bool result = false;
  bool stopSeen = false;
  uint32_t idAfter = 1;
  TestThread thread([&](TestThread& self) {
    // An unlimited wait on itself would never return.
    result = self.DestroyThread(platform::kWaitInfinite);
    stopSeen = self.IsStopRequested();
    idAfter = self.GetThreadId();
    finished = true;
  });
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitUntil([&] { return finished.load(); }));
  EXPECT_TRUE(result);
  EXPECT_TRUE(stopSeen);
  EXPECT_EQ(idAfter, 0u);
  EXPECT_TRUE(thread.DestroyThread(platform::kWaitInfinite));
  EXPECT_TRUE(trace.LinesContaining(kTimeoutLine).empty());
}

// Windows ends the worker by force after the timeout; elsewhere the wait goes on until the worker
// ends by itself. Either way the timeout is logged and the object is idle afterwards.
TEST(SimpleThread, WorkerIgnoringTheStopIsLoggedAndEndedAfterTheTimeout) {
  TraceLines trace;
  TestThread thread([](TestThread&) { platform::SleepMs(300); });
  ASSERT_TRUE(thread.Start());
  const uint32_t id = thread.GetThreadId();
  const uint32_t before = platform::TickCount();
  EXPECT_TRUE(thread.DestroyThread(100));
  EXPECT_GE(platform::TickCount() - before, 80u);
  EXPECT_EQ(thread.GetThreadId(), 0u);

  const std::vector<std::wstring> lines = trace.LinesContaining(kTimeoutLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind(L"[ERRO]", 0), 0u) << lines[0];
  const std::wstring ending = kTimeoutLine + std::to_wstring(id) + L" \r\n";
  ASSERT_GE(lines[0].size(), ending.size());
  EXPECT_EQ(lines[0].substr(lines[0].size() - ending.size()), ending) << lines[0];
}

// The worker's end and DestroyThread race for the handle; the object is deleted as soon as
// DestroyThread returns. A double close or a late touch of the object shows under the sanitizers.
TEST(SimpleThread, StopRacingTheBodysEndClosesTheHandleOnce) {
  constexpr int kRounds = 300;
  std::atomic<int> runs{0};
  for (int i = 0; i < kRounds; ++i) {
    auto thread = std::make_unique<TestThread>([&](TestThread&) { ++runs; });
    ASSERT_TRUE(thread->Start());
    if (i % 2 == 1) platform::SleepMs(0);
    EXPECT_TRUE(thread->DestroyThread(platform::kWaitInfinite));
    EXPECT_EQ(runs, i + 1);
    thread.reset();
  }
}

}  // namespace
