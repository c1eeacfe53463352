// The level meter: its ballistics on a test clock, the readout, the scale and the zone, and
// that updates which move nothing leave it clean.
#include "controls/ControlsTestSupport.h"
#include "controls/OutputMeterControl.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ostra::test;
using corvana::controls::limiter_panel::OutputMeterControl;

namespace
{

struct MeterEditor : Editor<TestPlugin>
{
  explicit MeterEditor(bool showRms = true, bool withZone = true)
    : Editor<TestPlugin>(
          400, 456, 1.f,
          [this, showRms, withZone](ICanvas* g)
          {
            OutputMeterControl::Options o;
            o.label = "TAPE";
            o.range = 36.f;
            o.ticks = {0, -12, -24, -36};
            o.showRms = showRms;
            if (withZone)
              o.zone = [] { return std::optional<OutputMeterControl::Zone>({-8.88f, -0.39f}); };
            static_cast<OutputMeterControl*>(
                g->AttachControl(new OutputMeterControl(
                    IRECT(14, 282, 90, 380), IRECT(50, 290, 64, 348), kTestAccent, IText(12.f),
                    IText(12.f), IText(10.f, COLOR_WHITE, kDefaultFont, EAlign::Far),
                    std::move(o))))
                ->setClock([this] { return seconds; });
          })
  {
    meter = static_cast<OutputMeterControl*>(canvas->GetControl(0));
  }
  /** One update 1/60 s later. */
  void update(float peak, float meanSquare = 0.f)
  {
    seconds += 1.0 / 60.0;
    meter->setLevels(peak, meanSquare);
  }
  double seconds = 10.0;
  OutputMeterControl* meter = nullptr;
};

TEST(OutputMeter, APeakFallsAt20dBPerSecondAndTheHoldWaits1point5Seconds)
{
  MeterEditor e;
  EXPECT_EQ(e.meter->readout(), "-inf");
  e.update(1.f);
  EXPECT_FLOAT_EQ(e.meter->barDb(), 0.f);
  EXPECT_EQ(e.meter->readout(), "0.0");
  for (int i = 0; i < 60; ++i)
    e.update(0.f);
  EXPECT_NEAR(e.meter->barDb(), -20.f, 0.01f);
  EXPECT_FLOAT_EQ(e.meter->holdDb(), 0.f);
  for (int i = 0; i < 29; ++i) // to 1.5 s after the peak: the hold still stands
    e.update(0.f);
  EXPECT_FLOAT_EQ(e.meter->holdDb(), 0.f);
  EXPECT_EQ(e.meter->readout(), "0.0");
  e.update(0.f);
  e.update(0.f);
  EXPECT_NEAR(e.meter->holdDb(), -30.33f, 0.05f) << "the hold drops to the bar";
  EXPECT_FLOAT_EQ(e.meter->holdDb(), e.meter->barDb());
  e.update(0.f);
  EXPECT_FLOAT_EQ(e.meter->holdDb(), e.meter->barDb()) << "and follows it down";

  while (e.meter->holdDb() > -59.f)
    e.update(0.f);
  EXPECT_NE(e.meter->readout(), "-inf");
  e.update(0.f);
  e.update(0.f);
  EXPECT_EQ(e.meter->readout(), "-inf");
  for (int i = 0; i < 60; ++i)
    e.update(0.f);
  EXPECT_FLOAT_EQ(e.meter->barDb(), -60.f) << "the floor";
}

TEST(OutputMeter, ReadsHeldLevelsWithATrueMinusSign)
{
  MeterEditor e;
  e.update(0.5f);
  EXPECT_EQ(e.meter->readout(), "\xE2\x88\x92"
                                "6.0");
  e.update(0.9945f); // -0.048 dB reads 0.0
  EXPECT_EQ(e.meter->readout(), "0.0");
  e.update(2.f); // above full scale
  EXPECT_EQ(e.meter->readout(), "6.0");
  e.update(std::nanf(""));
  EXPECT_NEAR(e.meter->barDb(), 20.0 * std::log10(2.0) - 20.0 / 60.0, 1e-4)
      << "NaN counts as silence";
}

TEST(OutputMeter, TheScaleSitsAtThirdsAndTheZoneHasABracket)
{
  MeterEditor e;
  e.update(0.25f, 0.01f);
  const auto calls = drawOf(e, e.meter);
  std::vector<std::pair<std::string, float>> ticks;
  for (const DrawCall& c : callsNamed(calls, "DrawText"))
    ticks.push_back({c.text, c.rect.MH()});
  ASSERT_GE(ticks.size(), 6u);
  EXPECT_EQ(ticks[0], std::pair(std::string("0"), 290.f));
  EXPECT_EQ(ticks[1].first, "\xE2\x88\x92"
                            "12");
  EXPECT_FLOAT_EQ(ticks[1].second, 290.f + 58.f / 3.f);
  EXPECT_FLOAT_EQ(ticks[2].second, 290.f + 2.f * 58.f / 3.f);
  EXPECT_EQ(ticks[3], std::pair(std::string("\xE2\x88\x92"
                                            "36"),
                                348.f));
  EXPECT_EQ(ticks[4].first, "TAPE");
  EXPECT_EQ(ticks[5].first, "\xE2\x88\x92"
                            "12.0");

  const auto fills = callsNamed(calls, "FillRect");
  ASSERT_GE(fills.size(), 7u);
  EXPECT_EQ(fills[0].color, IColor(18, 250, 250, 250));
  EXPECT_EQ(fills[0].rect, IRECT(50, 290, 64, 348));
  const float yHigh = 290.f + 58.f * 0.39f / 36.f, yLow = 290.f + 58.f * 8.88f / 36.f;
  EXPECT_EQ(fills[1].color, kTestAccent.WithAlpha(61));
  EXPECT_FLOAT_EQ(fills[1].rect.T, yHigh);
  EXPECT_FLOAT_EQ(fills[1].rect.B, yLow);
  EXPECT_EQ(fills[2].rect, IRECT(67, yHigh, 72, yHigh + 2));
  EXPECT_EQ(fills[3].rect, IRECT(67, yLow - 2, 72, yLow));
  EXPECT_EQ(fills[4].rect, IRECT(70, yHigh, 72, yLow));
  EXPECT_EQ(fills[5].color, kTestAccent.WithAlpha(81)) << "the peak bar fades behind the RMS";
  EXPECT_EQ(fills[6].color, kTestAccent.WithAlpha(229));
}

TEST(OutputMeter, WithoutRmsThePeakBarIsSolid)
{
  MeterEditor e(false, false);
  e.update(0.25f, 0.01f);
  const auto fills = callsNamed(drawOf(e, e.meter), "FillRect");
  ASSERT_EQ(fills.size(), 3u); // track, peak bar, hold line
  EXPECT_EQ(fills[1].color, kTestAccent.WithAlpha(229));
  EXPECT_FLOAT_EQ(fills[2].rect.H(), 1.f);
}

TEST(OutputMeter, UpdatesThatMoveNothingLeaveItClean)
{
  MeterEditor e;
  e.update(0.f); // the zone appears
  e.canvas->SetAllControlsClean();
  for (int i = 0; i < 10; ++i)
  {
    e.update(0.f);
    EXPECT_FALSE(e.meter->IsDirty()) << i;
  }
  e.update(0.001f); // -60 dB: the floor, nothing moves
  EXPECT_FALSE(e.meter->IsDirty());
  e.update(0.f, 0.0001f); // only the RMS rises
  EXPECT_FLOAT_EQ(e.meter->barDb(), -60.f);
  EXPECT_TRUE(e.meter->IsDirty());
  e.canvas->SetAllControlsClean();
  e.update(0.01f);
  EXPECT_TRUE(e.meter->IsDirty());
}

} // namespace
