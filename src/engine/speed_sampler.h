#pragma once
// The recent download speed of one peer: bytes since the last sample and the last ten rates.
#include <cstdint>
#include <deque>

#include "platform/clock.h"

struct SpeedSampler {
  uint32_t pendingBytes = 0;
  uint32_t lastTick = platform::TickCount();
  uint32_t avgSpeed = 0;        // bytes per second, mean of `samples`
  std::deque<double> samples;  // oldest first, at most ten
};
