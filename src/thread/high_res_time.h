#pragma once
// Wall time in seconds with the resolution of the performance counter: a wall-clock base that
// advances with the counter, taken again whenever the counter disagrees with the tick count or
// drifts away from the wall clock.
#include <cstdint>
#include <functional>

#include "thread/critical_lock.h"

// Where the clock reads its time; the system's by default, replaceable by tests.
struct HighResClockSources {
  std::function<uint64_t()> fileTime;              // wall time, 100 ns units since 1601
  std::function<bool(int64_t*)> counterFrequency;  // counts per second; false: no counter
  std::function<int64_t()> counter;
  std::function<uint32_t()> tickCount;  // milliseconds, wrapping
  std::function<void()> beginPreciseTimer;
  std::function<void()> endPreciseTimer;

  static HighResClockSources System();
};

class CHighResClock {
 public:
  explicit CHighResClock(HighResClockSources sources);

  // Seconds since 1970-01-01 UTC. Never steps back by less than two seconds: such a step returns
  // the previous reading again. Safe from any thread.
  double Now();

 private:
  double WallMs();
  double CounterMs(int64_t count) const;

  CCriticalLock lock_;
  HighResClockSources sources_;
  int64_t frequency_ = 0;  // 0: no counter, the wall time is used as it is
  bool synchronised_ = false;
  double wallBaseMs_ = 0;
  double counterBaseMs_ = 0;
  bool hasPrevious_ = false;
  double previousCounterMs_ = 0;
  uint32_t previousTick_ = 0;
  bool hasReturned_ = false;
  double lastReturnedMs_ = 0;
};

// The process-wide clock on the system's sources.
double GetHighResTime();
