#include "cli/Tail.h"
#include "cli/CliError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace ostratapedelay::cli
{
namespace
{

// Feeds constant blocks of `level` (left; right silent) until the tracker is done; returns the
// frames kept.
std::int64_t runTail(TailTracker& tracker, double level, int block)
{
  std::vector<double> left(static_cast<size_t>(block), level),
      right(static_cast<size_t>(block), 0.0);
  const double* planes[] = {left.data(), right.data()};
  for (std::int64_t fed = 0; !tracker.done() && fed < 10'000'000; fed += block)
  {
    const int n = static_cast<int>(std::min<std::int64_t>(block, tracker.remaining()));
    EXPECT_LE(tracker.consume(planes, 2, n), n);
  }
  return tracker.framesKept();
}

TEST(TailRule, ParsesAutoAndSecondsAndRefusesTheRest)
{
  EXPECT_TRUE(TailRule::parse("AUTO").automatic);
  const TailRule fixed = TailRule::parse("2.5");
  EXPECT_FALSE(fixed.automatic);
  EXPECT_EQ(fixed.seconds, 2.5);
  EXPECT_EQ(TailRule::parse("0").seconds, 0.0);
  for (const char* bad : {"", "-1", "abc", "3s", "inf", "nan", "1e9"})
    EXPECT_THROW(TailRule::parse(bad), CliError) << bad;
}

TEST(TailTracker, AutoEndsAfterOneSecondBelowMinus96dBRestartingOnEveryLoudSample)
{
  TailTracker quiet(TailRule{}, 48000.0);
  EXPECT_EQ(runTail(quiet, std::pow(10.0, -97.0 / 20.0), 512), 48000);

  TailTracker restarted(TailRule{}, 1000.0);
  std::vector<double> block(1500, 0.0), silence(2000, 0.0);
  block[900] = 0.001; // about -60 dBFS
  const double* planes[] = {block.data()};
  const double* quietPlanes[] = {silence.data()};
  EXPECT_EQ(restarted.consume(planes, 1, 1500), 1500);
  EXPECT_FALSE(restarted.done());
  // 599 quiet frames were already counted after the loud one.
  EXPECT_EQ(restarted.consume(quietPlanes, 1, 2000), 401);
  EXPECT_TRUE(restarted.done());
  EXPECT_EQ(restarted.framesKept(), 1901);
}

TEST(TailTracker, AutoStopsAtSixtySecondsWhenTheOutputNeverFades)
{
  TailTracker loud(TailRule{}, 8000.0);
  EXPECT_EQ(runTail(loud, 0.1, 4096), 480000);
  // A signal that is not a number never counts as quiet either.
  TailTracker broken(TailRule{}, 100.0);
  EXPECT_EQ(runTail(broken, std::numeric_limits<double>::quiet_NaN(), 64), 6000);
}

} // namespace
} // namespace ostratapedelay::cli
