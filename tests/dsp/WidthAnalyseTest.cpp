// The analyser-only step of the width stage against the full tick.

#include "dsp/Width.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using corvana::dsp::Width;

TEST(WidthAnalyse, LeavesTheStageAsTickWouldAtEveryWidth)
{
  // Stereo noise, then the same signal on both sides (mono), with a
  // non-finite sample and silences that restart the listening.
  for (float width : {0.0f, 0.5f, -0.4f})
  {
    SCOPED_TRACE(width);
    Width a, b;
    for (Width* w : {&a, &b})
    {
      w->prepare(48000.0);
      w->setMode(Width::kAuto);
      w->setWidth(width);
    }
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    int decisions = 0;
    int last = Width::kUndecided;
    for (int i = 0; i < 400000; ++i)
    {
      // 1.25 s stereo, 2.1 s silence, 1.25 s mono, 2.1 s silence, stereo.
      const int at = i % 320000;
      const bool silent = (at >= 60000 && at < 160000) || at >= 220000;
      const bool mono = at >= 160000 && at < 220000;
      const double l = silent ? 0.0 : noise(rng);
      const double r = mono || silent ? l : noise(rng);
      const double bad = i == 1234 ? std::numeric_limits<double>::quiet_NaN() : l;
      double tl = bad, tr = r;
      a.tick(tl, tr);
      b.analyse(bad, r);
      ASSERT_EQ(b.state(), a.state()) << i;
      ASSERT_EQ(b.listening(), a.listening()) << i;
      ASSERT_EQ(b.sideGain(), a.sideGain()) << i;
      ASSERT_EQ(b.synthGain(), a.synthGain()) << i;
      ASSERT_EQ(b.synthActive(), a.synthActive()) << i;
      if (a.state() != last)
      {
        ++decisions;
        last = a.state();
      }
    }
    EXPECT_GE(decisions, 3); // stereo, mono, stereo again at least
  }
}
