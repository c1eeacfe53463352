#include "dsp/Tape.h"

#include "dsp/TapeReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

using ostratapedelay::dsp::Biquad;
using ostratapedelay::dsp::Tape;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Tape::Mode kModes[] = {Tape::kDirect, Tape::kAntiderivative, Tape::kOversampled};

Tape makeTape(Tape::Mode mode, double drive, double rate = 48000.0)
{
  Tape t;
  t.setMode(mode);
  t.prepare(rate);
  t.setDrive(drive);
  return t;
}

// Loud noise on a low sine: the saturator works hard.
std::vector<double> loud(int n, unsigned seed, double rate = 48000.0)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  std::vector<double> v;
  for (int i = 0; i < n; ++i)
    v.push_back(0.7 * noise(rng) + 0.6 * std::sin(2.0 * std::numbers::pi * 80.0 * i / rate));
  return v;
}

std::vector<double> run(Tape& tape, const std::vector<double>& in)
{
  std::vector<double> out;
  for (double x : in)
    out.push_back(tape.tick(x));
  return out;
}

} // namespace

TEST(TapeSaturator, OddUnitSlopeAndBoundedByPoint41)
{
  EXPECT_NEAR(Tape::saturate(1e-6) / 1e-6, 1.0, 1e-12);
  EXPECT_NEAR(Tape::saturate(1e7), 0.41, 1e-8);
  for (double x = 0.01; x < 1e7; x *= 1.3)
    ASSERT_TRUE(Tape::saturate(-x) == -Tape::saturate(x) && Tape::saturate(x) <= 0.41 + 1e-15) << x;
  // The tabled form the stage runs on.
  for (double x = 1e-300; x < 1e8; x *= 1.001)
    ASSERT_NEAR(Tape::saturateFast(-x) / Tape::saturate(-x), 1.0, 1e-7) << x;
  for (double inf : {kInf, -kInf})
    EXPECT_TRUE(Tape::saturate(inf) == std::copysign(0.41, inf) &&
                Tape::saturateFast(inf) == Tape::saturate(inf));
}

// A small signal barely touches the saturator: the stage is then the seven
// sections alone at unit slope (the make-up division undoing any drive),
// delayed by exactly 31 samples when oversampled.
TEST(TapeStage, SmallSignalIsTheSevenSectionsDelayedByTheLatency)
{
  std::vector<double> in, linear;
  std::array<Biquad, 2> pre{};
  std::array<Biquad, 5> post{};
  Tape::design(ostratapedelay::dsp::kBeforeCurve, pre, 48000.0);
  Tape::design(ostratapedelay::dsp::kAfterCurve, post, 48000.0);
  for (int i = 0; i < 4000; ++i)
  {
    in.push_back(1e-4 * std::sin(2.0 * std::numbers::pi * 997.0 * i / 48000.0));
    double y = pre[1].tick(pre[0].tick(in.back()));
    for (Biquad& b : post)
      y = b.tick(y);
    linear.push_back(y);
  }
  for (Tape::Mode mode : {Tape::kDirect, Tape::kOversampled})
  {
    for (double drive : {1.0, 7.94})
    {
      Tape t = makeTape(mode, drive);
      const auto out = run(t, in);
      const int latency = mode == Tape::kOversampled ? 31 : 0;
      EXPECT_EQ(t.latency(), latency);
      for (int lag : {latency - 1, latency, latency + 1})
      {
        double e = 0.0;
        for (std::size_t i = 1000; lag >= 0 && i < in.size(); ++i)
          e = std::max(e, std::fabs(out[i] - linear[i - static_cast<std::size_t>(lag)]));
        EXPECT_TRUE(lag < 0 || (e < 1e-6) == (lag == latency))
            << static_cast<int>(mode) << " " << drive << " " << lag;
      }
    }
  }
}

TEST(TapeStage, RepeatedSamplesAndUnusableSettings)
{
  // Mode 1: equal successive driven samples take the midpoint, not 0/0, so
  // a held level settles where the plain saturator puts it.
  Tape held = makeTape(Tape::kAntiderivative, 7.94), direct = makeTape(Tape::kDirect, 7.94);
  double y = 0.0, plain = 0.0;
  for (int i = 0; i < 20000; ++i)
  {
    y = held.tick(i < 100 ? 0.0 : 0.5);
    plain = direct.tick(i < 100 ? 0.0 : 0.5);
    ASSERT_TRUE(i < 100 ? y == 0.0 : std::isfinite(y)) << i;
  }
  EXPECT_NEAR(y, plain, 1e-9);
  const auto in = loud(3000, 1);
  // A rate that is not usable means 48 kHz; gains that would break the
  // make-up division are ignored.
  Tape ref = makeTape(Tape::kOversampled, 2.0);
  const auto expected = run(ref, in);
  for (double rate : {0.0, -44100.0, kNaN, kInf})
  {
    Tape t = makeTape(Tape::kOversampled, 2.0, rate);
    t.setDrive(0.0);
    t.setDrive(kNaN);
    t.jumpDrive(-1.0);
    EXPECT_EQ(run(t, in), expected) << rate;
  }
}

// The optimised stage (tabled saturator, contiguous filter windows, block
// path) against the textbook loops, with a drive glide and loud input; blocks
// of any length give what ticks give, bit for bit.
TEST(TapeFastPath, TicksAndBlocksMatchThePlainReference)
{
  for (double rate : {44100.0, 96000.0})
  {
    const auto in = loud(20000, 5, rate);
    for (Tape::Mode mode : kModes)
    {
      for (double drive : {1.0, 7.94})
      {
        Tape t = makeTape(mode, drive, rate), b = makeTape(mode, drive, rate);
        tapetest::ReferenceTape ref;
        ref.prepare(rate, static_cast<int>(mode), drive);
        t.setDrive(drive * 0.5);
        b.setDrive(drive * 0.5);
        ref.setDriveTarget(drive * 0.5);
        std::vector<double> expected, blocked(in.size()), blockDriven(in.size());
        double peak = 0.0;
        for (double x : in)
        {
          expected.push_back(ref.tick(x));
          peak = std::max(peak, std::fabs(expected.back()));
        }
        const auto out = run(t, in);
        for (std::size_t i = 0; i < out.size(); ++i)
          ASSERT_LE(std::fabs(out[i] - expected[i]), 1e-6 * std::fabs(expected[i]) + 1e-7 * peak)
              << rate << " " << static_cast<int>(mode) << " " << drive << " " << i;
        const int lengths[] = {1, 63, 64, 65, 7, 512};
        for (std::size_t pos = 0, k = 0; pos < in.size();
             pos += static_cast<std::size_t>(lengths[k++ % 6]))
          b.process(in.data() + pos, blocked.data() + pos,
                    std::min(lengths[k % 6], static_cast<int>(in.size() - pos)),
                    blockDriven.data() + pos);
        ASSERT_EQ(blocked, out) << rate << " " << static_cast<int>(mode) << " " << drive;
        EXPECT_EQ(blockDriven.back(), t.lastDriven()); // the meter's source
      }
    }
  }
}

// Non-finite or huge inputs neither escape nor poison the stage. In a pair,
// one bad channel sends both through their own paths; each still gets exactly
// its own result, and ticks between blocks continue the signal.
TEST(TapeFastPath, PairsWithNonFiniteSamplesAndTicksBetweenBlocksGiveWhatTicksGive)
{
  auto bad = loud(3000, 7);
  bad[100] = kNaN;
  bad[700] = kInf;
  bad[701] = 1e300; // finite, but overflows after the pre-emphasis and drive
  bad[1300] = -1e308;
  bad[1500] = -kInf;
  const auto clean = loud(3000, 8);
  for (Tape::Mode mode : kModes)
  {
    Tape a = makeTape(mode, 7.94), b = makeTape(mode, 2.0), l = a, r = b;
    const auto expectedL = run(a, bad), expectedR = run(b, clean);
    for (std::size_t i = 0; i < bad.size(); ++i)
      ASSERT_TRUE(std::isfinite(expectedL[i]) && (i < 1600 || expectedL[i] != 0.0))
          << static_cast<int>(mode) << " " << i;
    std::vector<double> outL(bad.size()), outR(bad.size());
    for (std::size_t pos = 0, round = 0; pos < bad.size(); ++round)
    {
      const std::size_t n = std::min<std::size_t>(round % 2 == 0 ? 256 : 13, bad.size() - pos);
      if (round % 2 == 0)
        Tape::processPair(l, r, bad.data() + pos, clean.data() + pos, outL.data() + pos,
                          outR.data() + pos, static_cast<int>(n));
      for (std::size_t i = pos; round % 2 == 1 && i < pos + n; ++i)
      {
        outL[i] = l.tick(bad[i]);
        outR[i] = r.tick(clean[i]);
      }
      pos += n;
    }
    EXPECT_EQ(outL, expectedL) << static_cast<int>(mode);
    EXPECT_EQ(outR, expectedR) << static_cast<int>(mode);
  }
}
