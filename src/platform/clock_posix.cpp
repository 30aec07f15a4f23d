#include "platform/clock.h"

#include <time.h>

namespace platform {

namespace {
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
}

uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

uint64_t SystemTimeAsFileTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return kUnixEpochAsFileTime + static_cast<uint64_t>(ts.tv_sec) * 10000000u + static_cast<uint64_t>(ts.tv_nsec) / 100u;
}

bool PerformanceFrequency(int64_t* countsPerSecond) {
  *countsPerSecond = 1000000000;
  return true;
}

int64_t PerformanceCounter() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// CLOCK_REALTIME already has nanosecond resolution.
void BeginPreciseTimer() {}
void EndPreciseTimer() {}

bool UnixTimeToLocal(int64_t seconds, LocalDateTime* out) {
  time_t t = static_cast<time_t>(seconds);
  tm parts{};
  if (localtime_r(&t, &parts) == nullptr) return false;
  *out = LocalDateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, 0};
  return true;
}

LocalDateTime LocalTimeNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  LocalDateTime result{};
  UnixTimeToLocal(ts.tv_sec, &result);
  result.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return result;
}

void SleepMs(uint32_t milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace platform
