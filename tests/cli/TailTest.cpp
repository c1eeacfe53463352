#include "cli/CliError.h"
#include "cli/Tail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace ostratapedelay::cli
{
namespace
{

TEST(TailRule, ParsesAutoAndSecondsAndRefusesTheRest)
{
  EXPECT_TRUE(TailRule::parse("auto").automatic);
  EXPECT_TRUE(TailRule::parse("AUTO").automatic);
  const TailRule fixed = TailRule::parse("2.5");
  EXPECT_FALSE(fixed.automatic);
  EXPECT_EQ(fixed.seconds, 2.5);
  EXPECT_EQ(TailRule::parse("0").seconds, 0.0);
  for (const char* bad : {"", "-1", "abc", "3s", "inf", "nan", "1e9"})
    EXPECT_THROW(TailRule::parse(bad), CliError) << bad;
}

// Feeds constant blocks of `level` until the tracker is done; returns the frames kept.
std::int64_t runTail(TailTracker& tracker, double level, int block, std::int64_t maxFrames)
{
  std::vector<double> left(static_cast<size_t>(block), level);
  std::vector<double> right(static_cast<size_t>(block), 0.0);
  const double* planes[] = {left.data(), right.data()};
  std::int64_t fed = 0;
  while (!tracker.done() && fed < maxFrames)
  {
    const int n = static_cast<int>(std::min<std::int64_t>(block, tracker.remaining()));
    const int kept = tracker.consume(planes, 2, n);
    EXPECT_LE(kept, n);
    fed += n;
  }
  return tracker.framesKept();
}

TEST(TailTracker, AFixedTailKeepsExactlyItsLength)
{
  TailRule rule;
  rule.automatic = false;
  rule.seconds = 0.75;
  TailTracker tracker(rule, 44100.0);
  EXPECT_EQ(runTail(tracker, 0.5, 1000, 10'000'000), 33075);
  EXPECT_TRUE(tracker.done());

  rule.seconds = 0.0;
  TailTracker none(rule, 48000.0);
  EXPECT_TRUE(none.done());
}

TEST(TailTracker, AutoEndsAfterOneSecondBelowMinus96dB)
{
  TailTracker tracker(TailRule{}, 48000.0);
  // Loud for 0.5 s, then quiet: the tail ends one second into the quiet part.
  std::vector<double> loud(24000, 0.01);
  const double* loudPlanes[] = {loud.data()};
  EXPECT_EQ(tracker.consume(loudPlanes, 1, 24000), 24000);
  const double quietLevel = std::pow(10.0, -97.0 / 20.0);
  EXPECT_EQ(runTail(tracker, quietLevel, 512, 10'000'000), 24000 + 48000);
}

TEST(TailTracker, AutoRestartsTheQuietSecondOnEveryLoudSample)
{
  TailTracker tracker(TailRule{}, 1000.0);
  std::vector<double> block(1500, 0.0);
  block[900] = 0.001; // about -60 dBFS
  const double* planes[] = {block.data()};
  EXPECT_EQ(tracker.consume(planes, 1, 1500), 1500);
  EXPECT_FALSE(tracker.done());
  std::vector<double> quiet(2000, 0.0);
  const double* quietPlanes[] = {quiet.data()};
  // 599 quiet frames were already counted after the loud one.
  EXPECT_EQ(tracker.consume(quietPlanes, 1, 2000), 401);
  EXPECT_TRUE(tracker.done());
  EXPECT_EQ(tracker.framesKept(), 1901);
}

TEST(TailTracker, AutoStopsAtSixtySecondsWhenTheOutputNeverFades)
{
  TailTracker tracker(TailRule{}, 8000.0);
  EXPECT_EQ(runTail(tracker, 0.1, 4096, 10'000'000), 480000);

  // A signal that is not a number never counts as quiet either.
  TailTracker broken(TailRule{}, 100.0);
  EXPECT_EQ(runTail(broken, std::numeric_limits<double>::quiet_NaN(), 64, 10'000'000), 6000);
}

} // namespace
} // namespace ostratapedelay::cli
