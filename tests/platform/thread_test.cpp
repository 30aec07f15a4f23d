#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/clock.h"
#include "platform/ids.h"

namespace {

struct Worker {
  std::atomic<bool> stop{false};
  std::atomic<uint32_t> seenId{0};
  uint32_t runForMs = 0;
};

void WorkerMain(void* raw) {
  auto* worker = static_cast<Worker*>(raw);
  worker->seenId = platform::CurrentThreadId();
  const uint32_t start = platform::TickCount();
  while (!worker->stop && platform::TickCount() - start < worker->runForMs) platform::SleepMs(5);
}

TEST(Thread, StartReportsTheIdTheThreadSees) {
  Worker worker;
  uint32_t id = 0;
  platform::ThreadHandle thread = platform::StartThread(WorkerMain, &worker, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(platform::WaitThread(thread, platform::kWaitInfinite));
  EXPECT_NE(id, 0u);
  EXPECT_EQ(id, worker.seenId.load());
  EXPECT_NE(id, platform::CurrentThreadId());
  EXPECT_FALSE(platform::IsThreadRunning(thread));
  platform::CloseThreadHandle(thread);
}

TEST(Thread, WaitTimesOutWhileRunningAndSucceedsAfterStop) {
  Worker worker;
  worker.runForMs = 60000;
  platform::ThreadHandle thread = platform::StartThread(WorkerMain, &worker, nullptr);
  ASSERT_NE(thread, nullptr);
  const uint32_t start = platform::TickCount();
  EXPECT_FALSE(platform::WaitThread(thread, 100));
  EXPECT_GE(platform::TickCount() - start, 80u);
  EXPECT_TRUE(platform::IsThreadRunning(thread));
  worker.stop = true;
  EXPECT_TRUE(platform::WaitThread(thread, 10000));
  EXPECT_FALSE(platform::IsThreadRunning(thread));
  platform::CloseThreadHandle(thread);
}

TEST(Thread, ClosingTheHandleOfARunningThreadLetsItFinish) {
  static Worker worker;  // outlives the detached thread
  worker.runForMs = 50;
  platform::ThreadHandle thread = platform::StartThread(WorkerMain, &worker, nullptr);
  ASSERT_NE(thread, nullptr);
  platform::CloseThreadHandle(thread);
  const uint32_t start = platform::TickCount();
  while (worker.seenId == 0 && platform::TickCount() - start < 5000) platform::SleepMs(5);
  EXPECT_NE(worker.seenId.load(), 0u);
  platform::SleepMs(100);
}

}  // namespace
