#pragma once
// The engine's time limits. Tests shorten them so that stalls, lost sources and slow downloads
// show within seconds; the product never changes them.
#include <cstdint>

struct EngineLimits {
  uint32_t stallTimeoutMs = 16000;    // a source's transfer without activity is ended
  uint32_t noSourceLimitMs = 10000;   // a task without any source fails after this
  uint32_t cdnSlowWindowMs = 20000;   // below the CDN threshold this long: the CDN joins
};

// The limits in force. UI thread.
inline EngineLimits& CurrentEngineLimits() {
  static EngineLimits limits;
  return limits;
}
