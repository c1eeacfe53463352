#include "dsp/TapeDelay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using ostratapedelay::dsp::TapeDelay;

namespace
{

struct Case
{
  const char* name;
  double rate;
  std::uint32_t inputOffset;
  TapeDelay::Settings settings;
  // Settings taken from this frame on, gliding there.
  TapeDelay::Settings later;
};

TapeDelay::Settings base(double left, double right)
{
  return {.timeLeft = left,
          .timeRight = right,
          .feedback = 0.8,
          .character = TapeDelay::kMedium,
          .lowCut = 120.0,
          .highCut = 5000.0,
          .bandwidth = 16000.0,
          .slope = TapeDelay::Slope::k6dB,
          .wobble = 2.0};
}

TapeDelay::Settings with(TapeDelay::Settings s, auto change)
{
  change(s);
  return s;
}

// process() over blocks of every length must give tick()'s results bit for
// bit: the echoes, the gains, the glides and whatever the rings hold, also
// where the stretches shrink to single frames because the delay is shorter
// than the input offset plus the wobble allows, and when the outputs are the
// inputs.
TEST(TapeDelayProcess, GivesExactlyWhatTickGives)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"plugin", 48000.0, 31, base(0.3, 0.21),
       with(base(0.3, 0.21), [](auto& s) { s.timeLeft = 0.05; })},
      {"shortest", 48000.0, 31, base(0.0, 0.0005),
       with(base(0.0, 0.0), [](auto& s) { s.timeRight = 0.002; })},
      {"ping-pong", 44100.0, 31, with(base(0.02, 0.013), [](auto& s) { s.pingPong = true; }),
       with(base(0.0, 0.013), [](auto& s) { s.pingPong = true; })},
      {"plain", 22050.0, 0,
       with(base(0.004, 0.003), [](auto& s) { s.character = TapeDelay::kPlain; }),
       with(base(0.01, 0.003), [](auto& s) { s.wobble = 0.0; })},
      {"192k 24dB", 192000.0, 31,
       with(base(0.01, 0.0003), [](auto& s) { s.slope = TapeDelay::Slope::k24dB; }),
       with(base(0.01, 0.2), [](auto& s) { s.feedback = 0.0; })},
      // A compression below 0 makes the exponent negative: powers beyond the
      // fast kernels' range.
      {"negative exponent", 48000.0, 31,
       with(base(0.01, 0.011),
            [](auto& s) {
              s.character = {0.5, -40.0};
            }),
       with(base(0.01, 0.011),
            [](auto& s) {
              s.character = {0.5, -40.0};
            })},
  };
  const int blocks[] = {1, 3, 64, 65, 127, 500};
  for (const Case& c : cases)
  {
    for (bool inPlace : {false, true})
    {
      TapeDelay ticked;
      TapeDelay blocked;
      for (TapeDelay* d : {&ticked, &blocked})
      {
        d->prepare(c.rate);
        d->inputOffset = c.inputOffset;
        d->set(c.settings);
      }
      std::mt19937 rng(7);
      std::uniform_real_distribution<double> noise(-1.0, 1.0);
      const int frames = static_cast<int>(c.rate * 0.4);
      std::vector<double> inL(frames), inR(frames), tickL(frames), tickR(frames), outL(frames),
          outR(frames);
      for (int n = 0; n < frames; ++n)
      {
        // Bursts with silence between, a few non-finite samples.
        const bool on = (n / 2000) % 3 == 0;
        inL[n] = on ? noise(rng) : 0.0;
        inR[n] = on ? 0.5 * noise(rng) : (n % 997 == 0 ? nan : 0.0);
      }

      int n = 0;
      for (int k = 0; n < frames; ++k)
      {
        const int length = std::min(blocks[k % std::size(blocks)], frames - n);
        if (n >= frames / 2 && n - length < frames / 2)
        {
          ticked.set(c.later);
          blocked.set(c.later);
        }
        for (int i = n; i < n + length; ++i)
          ticked.tick(inL[i], inR[i], tickL[i], tickR[i]);
        if (inPlace)
        {
          std::copy_n(inL.begin() + n, length, outL.begin() + n);
          std::copy_n(inR.begin() + n, length, outR.begin() + n);
          blocked.process(&outL[n], &outR[n], &outL[n], &outR[n], length);
        }
        else
        {
          blocked.process(&inL[n], &inR[n], &outL[n], &outR[n], length);
        }
        ASSERT_EQ(blocked.lastGain(), ticked.lastGain()) << c.name << " at " << n;
        n += length;
      }
      for (int i = 0; i < frames; ++i)
        ASSERT_TRUE(outL[i] == tickL[i] && outR[i] == tickR[i])
            << c.name << " frame " << i << " " << inPlace;
      EXPECT_EQ(blocked.delaySamples(false), ticked.delaySamples(false)) << c.name;
      EXPECT_EQ(blocked.left().buffer, ticked.left().buffer) << c.name;
      EXPECT_EQ(blocked.right().buffer, ticked.right().buffer) << c.name;
    }
  }
}

TEST(TapeDelayProcess, UnpreparedEngineGivesSilence)
{
  TapeDelay d;
  const double in[3] = {1.0, 2.0, 3.0};
  double l[3] = {9.0, 9.0, 9.0}, r[3] = {9.0, 9.0, 9.0};
  d.process(in, in, l, r, 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(l[i] == 0.0 && r[i] == 0.0);
}

} // namespace
