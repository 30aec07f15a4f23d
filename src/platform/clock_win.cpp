#include "platform/clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace platform {

uint32_t TickCount() { return ::GetTickCount(); }

uint64_t SystemTimeAsFileTime() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

bool PerformanceFrequency(int64_t* countsPerSecond) {
  LARGE_INTEGER f;
  if (!::QueryPerformanceFrequency(&f) || f.QuadPart == 0) return false;
  *countsPerSecond = f.QuadPart;
  return true;
}

int64_t PerformanceCounter() {
  LARGE_INTEGER c;
  ::QueryPerformanceCounter(&c);
  return c.QuadPart;
}

void BeginPreciseTimer() { ::timeBeginPeriod(1); }
void EndPreciseTimer() { ::timeEndPeriod(1); }

bool UnixTimeToLocal(int64_t seconds, LocalDateTime* out) {
  constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
  if (seconds < 0) return false;
  const uint64_t ft64 = static_cast<uint64_t>(seconds * 10000000LL + kUnixEpochAsFileTime);
  FILETIME utc{static_cast<DWORD>(ft64), static_cast<DWORD>(ft64 >> 32)};
  FILETIME local;
  SYSTEMTIME st;
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &st)) return false;
  *out = LocalDateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  return true;
}

LocalDateTime LocalTimeNow() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return LocalDateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

void SleepMs(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform
