#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform/ids.h"

namespace {

TEST(Clock, SleepAdvancesTickCountAndCounter) {
  int64_t frequency = 0;
  ASSERT_TRUE(platform::PerformanceFrequency(&frequency));
  ASSERT_GT(frequency, 0);
  const uint32_t tick0 = platform::TickCount();
  const int64_t counter0 = platform::PerformanceCounter();
  platform::SleepMs(50);
  const uint32_t elapsedTicks = platform::TickCount() - tick0;
  const double elapsedCounterMs = double(platform::PerformanceCounter() - counter0) * 1000.0 / double(frequency);
  // The tick count may have a coarse (~16 ms) resolution on Windows.
  EXPECT_GE(elapsedTicks, 30u);
  EXPECT_GE(elapsedCounterMs, 45.0);
  EXPECT_LT(elapsedCounterMs, 5000.0);
}

TEST(Clock, FileTimeIsAfter2020AndLocalTimeIsPlausible) {
  const uint64_t jan2020 = 116444736000000000ull + 1577836800ull * 10000000ull;
  EXPECT_GT(platform::SystemTimeAsFileTime(), jan2020);
  const platform::LocalDateTime now = platform::LocalTimeNow();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LT(now.millisecond, 1000);
}

TEST(Clock, UnixTimeToLocalKeepsMinutesAndSeconds) {
  platform::LocalDateTime t{};
  ASSERT_TRUE(platform::UnixTimeToLocal(1700000000, &t));  // 2023-11-14 22:13:20 UTC
  EXPECT_EQ(t.second, 20);
  EXPECT_TRUE(t.minute == 13 || t.minute == 43 || t.minute == 58 || t.minute == 28);  // whole and half-hour zones
}

TEST(Ids, ProcessAndThreadIdsAreNonZero) {
  EXPECT_NE(platform::CurrentProcessId(), 0u);
  EXPECT_NE(platform::CurrentThreadId(), 0u);
  EXPECT_EQ(platform::CurrentThreadId(), platform::CurrentThreadId());
}

}  // namespace
