#pragma once
// The recent download speed of one peer: bytes since the last sample and the last ten rates.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/clock.h"

struct SpeedSampler {
  static constexpr size_t kMaxSamples = 10;

  // Turns the bytes since the last sample into a rate, keeps the last ten rates and returns
  // their mean in bytes per second. 0 (and nothing kept) while `lastTick` is 0.
  uint32_t Sample(uint32_t now);

  uint32_t pendingBytes = 0;
  uint32_t lastTick = platform::TickCount();
  uint32_t avgSpeed = 0;       // bytes per second, mean of `samples`
  std::deque<double> samples;  // oldest first, at most ten
};
