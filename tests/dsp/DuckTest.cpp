#include "dsp/Duck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using ostratapedelay::dsp::Duck;

namespace
{

Duck makeDuck(double depth, double releaseMs, double rate = 48000.0)
{
  Duck d;
  d.prepare(rate);
  d.setDepth(depth);
  d.setRelease(releaseMs);
  return d;
}

} // namespace

TEST(Duck, DucksHoldsHundredMsThenReleases)
{
  const double depth = 12.0, releaseMs = 600.0;
  Duck d = makeDuck(depth, releaseMs);
  for (int i = 0; i < 9600; ++i)
    d.tick(0.5);
  EXPECT_NEAR(d.tick(0.5), std::pow(10.0, -depth / 20.0), 1e-6);

  // Playing stops. The decaying peak keeps triggering for a while; from the
  // last trigger the target stays at -depth for the hold time (the first
  // non-triggering sample and holdSamples - 2 more), then the gain releases.
  EXPECT_EQ(d.holdSamples(), 4800);
  for (d.tick(0.0); d.peak() >= 0.001 && d.peak() >= 0.1 * d.envelope(); d.tick(0.0))
    ASSERT_EQ(d.holdCount(), d.holdSamples());
  for (std::int64_t k = 2; k < d.holdSamples(); ++k)
  {
    d.tick(0.0);
    ASSERT_LT(d.gainDb(), -depth + 1e-6) << k;
  }
  const double held = d.gainDb();
  d.tick(0.0);
  EXPECT_GT(d.gainDb(), held);
  EXPECT_EQ(d.holdCount(), 0);

  // The release's time constant is a third of the release time; the gain
  // then snaps to exactly 0 dB.
  const double start = d.gainDb();
  for (int k = 1; k < static_cast<int>(releaseMs / 3.0 * 48.0); ++k)
    d.tick(0.0);
  EXPECT_NEAR(d.gainDb() / start, std::exp(-1.0), 2e-3);
  double gain = 0.0;
  for (int k = 0; k < 4 * 48000 && gain != 1.0; ++k)
    gain = d.tick(0.0);
  EXPECT_EQ(gain, 1.0);
  EXPECT_EQ(d.gainDb(), 0.0);
}

TEST(Duck, NonFiniteLevelsLimitsAndRates)
{
  Duck d = makeDuck(40.0, 1e9); // limited to 24 dB and 2 s
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  for (int i = 0; i < 4800; ++i)
  {
    const double g = d.tick(i % 100 == 0 ? inf : i % 50 == 0 ? nan : 0.3);
    ASSERT_TRUE(std::isfinite(g) && g >= std::pow(10.0, -24.0 / 20.0) - 1e-12 && g <= 1.0) << i;
  }
  EXPECT_EQ(d.releaseMs(), 2000.0);
  for (double unusable : {0.0, -1.0, nan, inf})
  {
    d.prepare(unusable);
    EXPECT_EQ(d.holdSamples(), 4800) << unusable;
  }
}
