#include "thread/high_res_time.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/clock.h"

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr int64_t kFrequency = 10000000;  // counts per second
constexpr double kStartSeconds = 1700000000.0;
constexpr double kTolerance = 1e-6;  // seconds

// Clock sources the test moves by hand. The tick count starts just before it wraps.
struct FakeTime {
  uint64_t fileTime = kUnixEpochAsFileTime + static_cast<uint64_t>(kStartSeconds) * 10000000u;
  int64_t counter = 987654321012345;
  uint32_t tick = 0xFFFFFFF0u;
  bool hasCounter = true;
  int preciseBegun = 0;
  int preciseEnded = 0;

  // Moves each source on by the given milliseconds (whole numbers; the wall clock may go back).
  void Advance(int64_t counterMs, int64_t tickMs, int64_t wallMs) {
    counter += counterMs * (kFrequency / 1000);
    tick += static_cast<uint32_t>(tickMs);
    fileTime += static_cast<uint64_t>(wallMs * 10000);
  }
  void AdvanceAll(int64_t ms) { Advance(ms, ms, ms); }

  HighResClockSources Sources() {
    HighResClockSources sources;
    sources.fileTime = [this] { return fileTime; };
    sources.counterFrequency = [this](int64_t* frequency) {
      *frequency = hasCounter ? kFrequency : 0;
      return hasCounter;
    };
    sources.counter = [this] { return counter; };
    sources.tickCount = [this] { return tick; };
    sources.beginPreciseTimer = [this] { ++preciseBegun; };
    sources.endPreciseTimer = [this] { ++preciseEnded; };
    return sources;
  }
};

double At(double advanceMs) { return kStartSeconds + advanceMs / 1000.0; }

TEST(HighResClock, WithoutACounterReturnsTheWallTimeAsItIs) {
  FakeTime time;
  time.hasCounter = false;
  CHighResClock clock(time.Sources());
  EXPECT_NEAR(clock.Now(), At(0), kTolerance);
  time.Advance(0, 0, -1500);
  EXPECT_NEAR(clock.Now(), At(-1500), kTolerance);
  EXPECT_EQ(time.preciseBegun, 0);
}

// Between readings the wall clock may not move at all (coarse); the counter carries the estimate.
// The tick count wraps on the way, which must not count as a disagreement.
TEST(HighResClock, AdvancesWithTheCounterFromAWallClockBase) {
  FakeTime time;
  CHighResClock clock(time.Sources());
  EXPECT_NEAR(clock.Now(), At(0), kTolerance);
  EXPECT_EQ(time.preciseBegun, 1);
  EXPECT_EQ(time.preciseEnded, 1);
  time.Advance(10, 10, 0);
  EXPECT_NEAR(clock.Now(), At(10), kTolerance);
  time.Advance(20, 20, 30);
  EXPECT_NEAR(clock.Now(), At(30), kTolerance);
  EXPECT_EQ(time.preciseBegun, 1);  // no new base was needed
}

// The wall clock is set back while the counter goes on; the next reading takes the new base, and the
// estimate steps back by exactly `stepBackMs`.
TEST(HighResClock, SmallBackwardStepsRepeatTheLastReadingLargeOnesPassThrough) {
  struct Case {
    int64_t stepBackMs;
    bool repeated;
  };
  const Case cases[] = {{1500, true}, {1999, true}, {2000, false}, {5000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stepBackMs);
    FakeTime time;
    CHighResClock clock(time.Sources());
    EXPECT_NEAR(clock.Now(), At(0), kTolerance);
    time.Advance(100, 100, 100 - c.stepBackMs);
    EXPECT_NEAR(clock.Now(), At(100), kTolerance);  // still the counter's estimate
    const double stepped = clock.Now();             // on the new base
    EXPECT_NEAR(stepped, c.repeated ? At(100) : At(100 - c.stepBackMs), kTolerance);
    EXPECT_EQ(time.preciseBegun, 2);
  }
}

TEST(HighResClock, HeldReadingResumesOnceTheEstimatePassesIt) {
  FakeTime time;
  CHighResClock clock(time.Sources());
  clock.Now();
  time.Advance(0, 0, -1500);
  clock.Now();
  EXPECT_NEAR(clock.Now(), At(0), kTolerance);
  time.AdvanceAll(1000);
  EXPECT_NEAR(clock.Now(), At(0), kTolerance);
  time.AdvanceAll(1000);
  EXPECT_NEAR(clock.Now(), At(500), kTolerance);
}

// A counter that leaps or stalls against the tick count is not trusted: the reading is taken from
// the wall clock at once.
TEST(HighResClock, CounterDisagreeingWithTheTickCountTakesANewBase) {
  struct Case {
    int64_t counterMs, tickMs, wallMs;
    double expectedMs;
  };
  const Case cases[] = {
      {2000, 100, 100, 100},    // counter leapt
      {100, 2000, 2000, 2000},  // counter stalled
      {600, 100, 100, 600},     // 500 ms apart is still trusted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.counterMs);
    FakeTime time;
    CHighResClock clock(time.Sources());
    clock.Now();
    time.Advance(c.counterMs, c.tickMs, c.wallMs);
    EXPECT_NEAR(clock.Now(), At(c.expectedMs), kTolerance);
  }
}

// Drift of more than 31.25 ms from the wall clock takes a new base on the following reading.
TEST(HighResClock, DriftFromTheWallClockTakesANewBaseOnTheNextReading) {
  struct Case {
    int64_t wallMs;
    double secondMs;
    int bases;
  };
  const Case cases[] = {{1040, 1040, 2}, {1030, 1000, 1}, {960, 1000, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wallMs);
    FakeTime time;
    CHighResClock clock(time.Sources());
    clock.Now();
    time.Advance(1000, 1000, c.wallMs);
    EXPECT_NEAR(clock.Now(), At(1000), kTolerance);
    EXPECT_NEAR(clock.Now(), At(c.secondMs), kTolerance);
    EXPECT_EQ(time.preciseBegun, c.bases);
    EXPECT_EQ(time.preciseEnded, c.bases);
  }
}

TEST(HighResClock, SystemClockFollowsTheWallClockAndNeverGoesBack) {
  const double wall =
      static_cast<double>(platform::SystemTimeAsFileTime() - kUnixEpochAsFileTime) / 10000000.0;
  double last = GetHighResTime();
  EXPECT_NEAR(last, wall, 1.0);
  for (int i = 0; i < 1000; ++i) {
    const double now = GetHighResTime();
    ASSERT_GE(now, last);
    last = now;
  }
}

}  // namespace
