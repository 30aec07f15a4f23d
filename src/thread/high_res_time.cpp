#include "thread/high_res_time.h"

#include <cmath>
#include <utility>

#include "platform/clock.h"

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
// The counter and the tick count may disagree this much between two readings before the counter
// is distrusted (the tick count itself is coarse).
constexpr double kMaxCounterTickDisagreementMs = 500;
// The estimate may drift this far from the wall clock before the base is taken again.
constexpr double kMaxDriftMs = 31.25;
// Smaller backward steps are hidden by repeating the last reading; larger ones are real changes
// of the wall clock and are passed on.
constexpr double kMaxHiddenStepBackMs = 2000;

}  // namespace

HighResClockSources HighResClockSources::System() {
  HighResClockSources sources;
  sources.fileTime = platform::SystemTimeAsFileTime;
  sources.counterFrequency = platform::PerformanceFrequency;
  sources.counter = platform::PerformanceCounter;
  sources.tickCount = platform::TickCount;
  sources.beginPreciseTimer = platform::BeginPreciseTimer;
  sources.endPreciseTimer = platform::EndPreciseTimer;
  return sources;
}

CHighResClock::CHighResClock(HighResClockSources sources) : sources_(std::move(sources)) {
  int64_t frequency = 0;
  if (sources_.counterFrequency(&frequency) && frequency > 0) frequency_ = frequency;
}

double CHighResClock::WallMs() {
  return static_cast<double>(static_cast<int64_t>(sources_.fileTime() - kUnixEpochAsFileTime)) / 10000.0;
}

double CHighResClock::CounterMs(int64_t count) const {
  // Split so that count * 1000 cannot overflow on a long-running machine.
  const int64_t whole = count / frequency_;
  const int64_t rest = count % frequency_;
  return static_cast<double>(whole) * 1000.0 + static_cast<double>(rest) * 1000.0 / static_cast<double>(frequency_);
}

double CHighResClock::Now() {
  CScopedLock guard(lock_);
  const double wallMs = WallMs();
  if (frequency_ == 0) return wallMs / 1000.0;

  const double counterMs = CounterMs(sources_.counter());
  const uint32_t tick = sources_.tickCount();
  if (hasPrevious_) {
    const double counterAdvance = counterMs - previousCounterMs_;
    const double tickAdvance = static_cast<double>(static_cast<uint32_t>(tick - previousTick_));
    if (std::fabs(counterAdvance - tickAdvance) > kMaxCounterTickDisagreementMs) synchronised_ = false;
  }
  hasPrevious_ = true;
  previousCounterMs_ = counterMs;
  previousTick_ = tick;

  if (!synchronised_) {
    sources_.beginPreciseTimer();
    wallBaseMs_ = WallMs();
    sources_.endPreciseTimer();
    counterBaseMs_ = counterMs;
    synchronised_ = true;
  }

  const double estimateMs = counterMs - counterBaseMs_ + wallBaseMs_;
  // Both started from the bases, so comparing their advances is comparing them directly.
  if (std::fabs(estimateMs - wallMs) > kMaxDriftMs) synchronised_ = false;  // for the next reading

  if (hasReturned_ && estimateMs < lastReturnedMs_ && lastReturnedMs_ - estimateMs < kMaxHiddenStepBackMs) {
    return lastReturnedMs_ / 1000.0;
  }
  hasReturned_ = true;
  lastReturnedMs_ = estimateMs;
  return estimateMs / 1000.0;
}

double GetHighResTime() {
  // Never destroyed: readings may come from other objects' destructors at process exit.
  static CHighResClock* const clock = new CHighResClock(HighResClockSources::System());
  return clock->Now();
}
