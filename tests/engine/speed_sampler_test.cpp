#include "engine/speed_sampler.h"

#include <gtest/gtest.h>

namespace {

TEST(SpeedSamplerTest, KeepsTheMeanOfTheLastTenOneSecondRates) {
  SpeedSampler sampler;
  sampler.lastTick = 1000;
  // Twelve seconds at 1,000 .. 12,000 bytes per second: the first two fall out.
  for (uint32_t second = 1; second <= 12; ++second) {
    sampler.pendingBytes = second * 1000;
    sampler.Sample(1000 + second * 1000);
  }
  EXPECT_EQ(sampler.samples.size(), 10u);
  EXPECT_EQ(sampler.samples.front(), 3000.0);
  EXPECT_EQ(sampler.avgSpeed, 7500u);
  EXPECT_EQ(sampler.pendingBytes, 0u);
}

TEST(SpeedSamplerTest, EdgeCasesGiveNoRate) {
  SpeedSampler unstarted;
  unstarted.lastTick = 0;
  unstarted.pendingBytes = 500;
  EXPECT_EQ(unstarted.Sample(1000), 0u);
  EXPECT_TRUE(unstarted.samples.empty());

  SpeedSampler sameTick;
  sameTick.lastTick = 2000;
  sameTick.pendingBytes = 500;
  EXPECT_EQ(sameTick.Sample(2000), 0u);
  EXPECT_EQ(sameTick.samples.size(), 1u);

  // A tick count that wrapped still measures the real second.
  SpeedSampler wrapped;
  wrapped.lastTick = 0xFFFFFE00u;
  wrapped.pendingBytes = 1000;
  EXPECT_EQ(wrapped.Sample(0x000001E8u), 1000u);

  // More than fits in 32 bits per second saturates instead of wrapping.
  SpeedSampler burst;
  burst.lastTick = 10;
  burst.pendingBytes = 0xFFFFFFFFu;
  EXPECT_EQ(burst.Sample(11), 0xFFFFFFFFu);
}

}  // namespace
