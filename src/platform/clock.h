#pragma once
// Clocks and sleeping.
#include <cstdint>

namespace platform {

// Milliseconds since the system started; wraps after 49.7 days. Compare by unsigned difference.
uint32_t TickCount();

// Wall time as a file time: 100-nanosecond intervals since 1601-01-01 UTC.
uint64_t SystemTimeAsFileTime();

// The high-resolution counter and its frequency in counts per second; false when there is none.
bool PerformanceFrequency(int64_t* countsPerSecond);
int64_t PerformanceCounter();

// Raises the system timer resolution to 1 ms around a precise reading (no-op where the clock
// always has that resolution).
void BeginPreciseTimer();
void EndPreciseTimer();

// Calendar fields of a moment in local time.
struct LocalDateTime {
  int year;
  int month;  // 1..12
  int day;    // 1..31
  int hour;
  int minute;
  int second;
  int millisecond;
};
LocalDateTime LocalTimeNow();
// Seconds since 1970-01-01 UTC to local calendar fields; false when the time cannot be converted.
bool UnixTimeToLocal(int64_t seconds, LocalDateTime* out);

void SleepMs(uint32_t milliseconds);

}  // namespace platform
