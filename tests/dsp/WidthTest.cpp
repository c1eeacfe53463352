#include "dsp/Width.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using corvana::dsp::Width;

namespace
{

constexpr double kStereo = -1.0;

Width makeWidth(float w, int mode, Width::Method method = Width::kDelays, double rate = 48000.0)
{
  Width s;
  s.setMode(mode);
  s.setMethod(method);
  s.setWidth(w);
  s.prepare(rate);
  return s;
}

// Feeds `frames` frames of noise (output discarded): a side of `side` times
// the mid, or independent channels for kStereo; amplitude 0 is silence.
void feed(Width& s, long frames, double side, double amplitude = 0.5)
{
  static std::mt19937 rng(11);
  std::uniform_real_distribution<double> noise(-amplitude, amplitude);
  for (long i = 0; i < frames; ++i)
  {
    const double mid = noise(rng), sd = side == kStereo ? noise(rng) : mid * side;
    double l = mid + sd, r = mid - sd;
    s.tick(l, r);
  }
}

} // namespace

// Narrowing: -100 % gives the mid on both channels, 0 leaves the signal as it
// is; in place or not.
TEST(Width, MidStaysAndTheSideScalesByOnePlusWidth)
{
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> noise(-0.5, 0.5);
  std::vector<double> inL(512), inR(512);
  for (std::size_t i = 0; i < inL.size(); ++i)
    inL[i] = noise(rng), inR[i] = noise(rng);
  for (float w : {-1.0f, -0.5f, 0.0f})
  {
    Width s = makeWidth(w, Width::kAuto), inPlace = makeWidth(w, Width::kAuto);
    std::vector<double> outL(512), outR(512), l = inL, r = inR;
    s.process(inL.data(), inR.data(), outL.data(), outR.data(), 512);
    inPlace.process(l.data(), r.data(), l.data(), r.data(), 512);
    for (std::size_t i = 0; i < inL.size(); ++i)
    {
      const double mid = (inL[i] + inR[i]) / 2.0, side = (inL[i] - inR[i]) / 2.0 * (1.0 + w);
      ASSERT_TRUE(std::abs(outL[i] - mid - side) < 1e-15 && std::abs(outR[i] - mid + side) < 1e-15)
          << w << i;
    }
    EXPECT_TRUE(l == outL && r == outR) << w;
    EXPECT_TRUE(w != 0.0f || (outL == inL && outR == inR));
  }
}

TEST(WidthAnalyser, DecidesOnHalfASecondOfPlayingAndListensAgainAfterTwoSecondsOfSilence)
{
  const double mono = 0.01, between = std::pow(10.0, -25.0 / 20.0); // side 40 and 25 dB down
  Width s = makeWidth(1.0f, Width::kAuto);
  feed(s, 200000, 0.0, 0.0); // silence before any playing is ignored
  feed(s, 23999, mono);
  EXPECT_EQ(s.state(), Width::kUndecided);
  EXPECT_FLOAT_EQ(s.synthGain(), 0.375f); // undecided counts as stereo
  feed(s, 1, mono);
  EXPECT_EQ(s.state(), Width::kMono);
  // Mono: the side is left unscaled and synthesised at 0.75 w.
  feed(s, 48000, mono);
  EXPECT_FLOAT_EQ(s.sideGain(), 1.0f);
  EXPECT_FLOAT_EQ(s.synthGain(), 0.75f);
  feed(s, 48000, kStereo);  // kept while playing continues
  feed(s, 95999, 0.0, 0.0); // and over less than two seconds of silence
  feed(s, 24000, kStereo);
  EXPECT_EQ(s.state(), Width::kMono);
  // After two seconds of silence it listens again, the old decision holding meanwhile.
  feed(s, 96000, 0.0, 0.0);
  EXPECT_TRUE(s.listening());
  EXPECT_EQ(s.state(), Width::kMono);
  feed(s, 24000, kStereo);
  EXPECT_EQ(s.state(), Width::kStereo);
  // Between -30 and -20 dB the previous decision stands; undecided counts as stereo.
  feed(s, 96000, 0.0, 0.0);
  feed(s, 24000, mono);
  ASSERT_EQ(s.state(), Width::kMono);
  feed(s, 96000, 0.0, 0.0);
  feed(s, 24000, between);
  EXPECT_EQ(s.state(), Width::kMono);
  Width fresh = makeWidth(0.0f, Width::kAuto);
  feed(fresh, 24000, between);
  EXPECT_EQ(fresh.state(), Width::kStereo);
}

TEST(Width, SampleRatesAndBadInput)
{
  for (double rate : {22050.0, 44100.0, 96000.0, 192000.0})
  {
    for (Width::Method method : {Width::kAllpassCascade, Width::kDelays})
    {
      Width s = makeWidth(1.0f, Width::kAuto, method, rate);
      double peak = 0.0;
      for (int i = 0; i < static_cast<int>(rate); ++i)
      { // the analyser's window scales with the rate
        double l = i == 50 ? std::numeric_limits<double>::quiet_NaN() : std::sin(i * 0.01);
        double r = i == 60 ? std::numeric_limits<double>::infinity() : l;
        s.tick(l, r);
        ASSERT_TRUE(std::isfinite(l) && std::isfinite(r))
            << rate << " " << static_cast<int>(method) << " " << i;
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
      }
      EXPECT_EQ(s.state(), Width::kMono) << rate;
      EXPECT_TRUE(peak > 0.1 && peak < 3.0)
          << rate << " " << static_cast<int>(method) << " " << peak;
    }
  }
  Width s;
  s.setWidth(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(s.width(), 0.0f);
}
