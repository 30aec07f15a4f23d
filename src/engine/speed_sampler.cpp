#include "engine/speed_sampler.h"

#include <limits>
#include <numeric>

uint32_t SpeedSampler::Sample(uint32_t now) {
  if (lastTick == 0) return 0;
  const uint32_t elapsed = now - lastTick;
  lastTick = now;
  const double rate = elapsed == 0 ? 0.0 : static_cast<double>(pendingBytes) / elapsed * 1000.0;
  pendingBytes = 0;
  samples.push_back(rate);
  if (samples.size() > kMaxSamples) samples.pop_front();
  const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();
  // A burst within a millisecond would not fit: the rate saturates instead of wrapping.
  constexpr double kMax = std::numeric_limits<uint32_t>::max();
  avgSpeed = mean >= kMax ? std::numeric_limits<uint32_t>::max() : static_cast<uint32_t>(mean);
  return avgSpeed;
}
