// The repeats display's drawing rules, checked on the calls it makes.
#include "graphics/GraphicsTestSupport.h"

#include "controls/RepeatsDisplayControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ostra::test
{
namespace
{

using ostratapedelay::controls::RepeatsDisplayControl;
using Repeat = RepeatsDisplayControl::Repeat;
constexpr double kInf = std::numeric_limits<double>::infinity();
const IColor kAccent(255, 255, 120, 40);
const IText kLabel(12.f, COLOR_WHITE, "Roboto-Regular");
const IText kSmall(10.f, COLOR_GRAY, "Roboto-Regular");
const IRECT kBounds(100, 200, 700, 330); // L 100, T 200, R 700, B 330

struct Display
{
  Display()
  {
    control = new RepeatsDisplayControl(kBounds, IColor(90, 255, 120, 40), kLabel, kSmall,
                                        [this] { return now; });
    ed.canvas->AttachControl(control);
  }

  /** Draws once and returns the calls of that draw. */
  const std::vector<DrawCall>& draw(double advanceMs = 16.0)
  {
    ed.nowMs += advanceMs;
    ed.canvas->ClearCalls();
    control->Draw(*ed.canvas);
    control->SetClean(); // as the context does after drawing
    return ed.canvas->Calls();
  }

  std::vector<DrawCall> named(const std::string& name) const { return ed.canvas->Calls(name); }

  /** Filled bars in the accent colour. */
  std::vector<DrawCall> bars() const
  {
    std::vector<DrawCall> out;
    for (const auto& c : named("FillRoundRect"))
      if (c.color.R == kAccent.R && c.color.G == kAccent.G && c.color.B == kAccent.B)
        out.push_back(c);
    return out;
  }

  /** The dry marker: the fill at time zero. */
  DrawCall marker() const
  {
    for (const auto& c : named("FillRoundRect"))
      if (c.color.R == 250 && std::fabs(c.rect.MW() - (kBounds.L + 34)) < 1e-3)
        return c;
    ADD_FAILURE() << "no dry marker";
    return {};
  }

  std::vector<std::string> texts() const
  {
    std::vector<std::string> out;
    for (const auto& c : named("DrawText"))
      out.push_back(c.text);
    return out;
  }

  bool drew(const std::string& text) const
  {
    for (const auto& t : texts())
      if (t == text)
        return true;
    return false;
  }

  Editor<TestPlugin> ed{1000, 456};
  RepeatsDisplayControl::Now now;
  RepeatsDisplayControl* control = nullptr;
};

Repeat echo(double time, bool right, int index, double levelDb, double highHz = kInf)
{
  return {time, right, index, levelDb, highHz, 0.0};
}

TEST(RepeatsDisplay, MixAtZeroDrawsQuarterHeightBarsAndAFullDryMarker)
{
  Display d;
  d.now.mix = 0.0;
  d.now.sync = false;
  d.now.wobble = 0.0; // no sway, so the bars sit exactly at their time
  d.control->setRepeats({echo(0.25, false, 1, 0.0), echo(0.25, true, 1, -24.0)});
  d.draw();
  const auto bars = d.bars();
  ASSERT_EQ(bars.size(), 2u);
  const float centre = kBounds.T + 58;
  // 0 dB reaches the full 46 units, scaled by the wet share 0.25.
  EXPECT_FLOAT_EQ(bars[0].rect.B, centre);
  EXPECT_FLOAT_EQ(bars[0].rect.T, centre - 46 * 0.25f);
  // -24 dB is half of that, below the line for the right channel.
  EXPECT_FLOAT_EQ(bars[1].rect.T, centre);
  EXPECT_FLOAT_EQ(bars[1].rect.B, centre + 23 * 0.25f);
  EXPECT_FLOAT_EQ(bars[0].rect.W(), 6.f);
  // Same time, same x; x = x0 + pos / span * W, the span 1.08 x the 500 ms set times.
  const float x = kBounds.L + 34 + 250.f / 540.f * (kBounds.W() - 48);
  EXPECT_NEAR(bars[0].rect.MW(), x, 1e-3);
  EXPECT_EQ(bars[0].color.A, 255); // no low-pass: full tone
  EXPECT_EQ(d.marker().color.A, 229);
  EXPECT_TRUE(d.drew("dry"));
  EXPECT_FALSE(d.drew("dry off"));
}

TEST(RepeatsDisplay, MixAtFullReadsDryOffWithAFaintMarkerAndFullHeightBars)
{
  Display d;
  d.now.mix = 100.0;
  d.control->setRepeats({echo(0.25, false, 1, 0.0)});
  d.draw();
  EXPECT_EQ(d.marker().color.A, 38);
  EXPECT_TRUE(d.drew("dry off"));
  ASSERT_EQ(d.bars().size(), 1u);
  EXPECT_FLOAT_EQ(d.bars()[0].rect.H(), 46.f);

  // Half way the dry signal is still whole and the bars are full height.
  d.now.mix = 50.0;
  d.draw();
  EXPECT_EQ(d.marker().color.A, 229);
  EXPECT_FLOAT_EQ(d.bars()[0].rect.H(), 46.f);
  // At 75 % the dry share is 0.5: alpha trunc(255 * 0.525) = 133.
  d.now.mix = 75.0;
  d.draw();
  EXPECT_EQ(d.marker().color.A, 133);
}

TEST(RepeatsDisplay, BypassedDrawsTheFrameAndDryMarkerButNoBars)
{
  Display d;
  d.now.active = false;
  d.now.mix = 100.0;
  d.control->setRepeats({echo(0.25, false, 1, 0.0, 3000.0), echo(0.5, false, 2, -6.0)});
  d.draw();
  EXPECT_TRUE(d.bars().empty());
  EXPECT_EQ(d.marker().color.A, 229);
  EXPECT_TRUE(d.drew("dry"));
  EXPECT_TRUE(d.drew("L"));
  EXPECT_TRUE(d.drew("R"));
  EXPECT_TRUE(d.drew("beats at 120 bpm"));
  EXPECT_FALSE(d.drew("3.0k"));
  // Background first, then its outline, in the fixed colours.
  const auto& calls = d.ed.canvas->Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "FillRoundRect");
  EXPECT_EQ(calls[0].color, RepeatsDisplayControl::kBackground);
  EXPECT_EQ(calls[0].rect, kBounds);
  EXPECT_EQ(calls[1].name, "DrawRoundRect");
  EXPECT_EQ(calls[1].color, RepeatsDisplayControl::kBorder);
}

/** The x of each grid line, as a time in ms of the display's span. */
std::vector<double> gridTimes(const Display& d)
{
  std::vector<double> out;
  const double w = kBounds.W() - 48;
  for (const auto& c : d.named("DrawLine"))
    if (c.color == RepeatsDisplayControl::kGrid)
      out.push_back(std::round((c.nums[0] - (kBounds.L + 34)) / w * d.control->span()));
  return out;
}

std::vector<std::string> gridLabels(const Display& d)
{
  std::vector<std::string> out;
  for (const auto& c : d.named("DrawText"))
    if (c.rect.B == kBounds.B - 4)
      out.push_back(c.text);
  return out;
}

TEST(RepeatsDisplayGrid, SyncAt120BpmOverASecondStepsInHalfBeatsAndLabelsWholeBeats)
{
  Display d;
  d.now.timeLMs = d.now.timeRMs = 1000.0; // span 1080 ms, r = 2.16
  d.draw();
  EXPECT_DOUBLE_EQ(d.control->span(), 1080.0);
  EXPECT_EQ(gridTimes(d), (std::vector<double>{250, 500, 750, 1000}));
  EXPECT_EQ(gridLabels(d), (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(d.drew("beats at 120 bpm"));

  d.now.bpm = 97.25; // rounded to one decimal, half away from zero
  d.draw();
  EXPECT_TRUE(d.drew("beats at 97.3 bpm"));
}

TEST(RepeatsDisplayGrid, MillisecondsAndSecondsWithoutSync)
{
  Display d;
  d.now.sync = false;
  d.now.timeLMs = d.now.timeRMs = 462.9; // span 499.9 ms: 50 ms would give 10 lines
  d.draw();
  EXPECT_EQ(gridTimes(d), (std::vector<double>{100, 200, 300, 400}));
  EXPECT_EQ(gridLabels(d), (std::vector<std::string>{"100 ms", "200 ms", "300 ms", "400 ms"}));
  EXPECT_FALSE(d.drew("beats at 120 bpm"));

  Display wide;
  wide.now.sync = false;
  wide.now.timeLMs = wide.now.timeRMs = 1851.0; // span 1999 ms
  wide.draw();
  EXPECT_EQ(gridLabels(wide), (std::vector<std::string>{"250 ms", "500 ms", "750 ms", "1 s",
                                                        "1.25 s", "1.5 s", "1.75 s"}));
}

TEST(RepeatsDisplayGrid, StepsForEachRangeOfSpans)
{
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(500.0, false, 120), 100.0);
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(2000.0, false, 120), 250.0);
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(90.0, false, 120), 10.0);
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(9001.0, false, 120), 2000.0);
  // Sync at 120 bpm: a beat is 500 ms.
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(1000.0, true, 120), 125.0);  // r = 2
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(3001.0, true, 120), 500.0);  // r > 6
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(8001.0, true, 120), 2000.0); // r > 16
  // A tempo of 0 counts as 1 bpm rather than dividing by zero.
  EXPECT_DOUBLE_EQ(RepeatsDisplayControl::gridStep(1000.0, true, 0.0), 15000.0);
}

TEST(RepeatsDisplayBars, ToneSetsAlphaAndTheFirstLeftEchoesGetFrequencyLabels)
{
  Display d;
  d.now.sync = false;
  d.now.wobble = 0.0;
  d.control->setRepeats({echo(0.1, false, 1, -3.0, kInf), echo(0.1, true, 1, -3.0, 3000.0),
                         echo(0.2, false, 2, -6.0, 12000.0), echo(0.3, false, 3, -9.0, 300.0),
                         echo(0.4, false, 4, -60.0, 950.0)});
  d.draw();
  const auto bars = d.bars();
  ASSERT_EQ(bars.size(), 4u); // the quiet fourth echo is not drawn
  EXPECT_EQ(bars[0].color.A, 255);
  // 3000 Hz: c = ln 10 / ln 40 = 0.624; alpha trunc(255 * (0.82 * 0.624 + 0.18)).
  EXPECT_EQ(bars[1].color.A, 176);
  EXPECT_EQ(bars[2].color.A, 255); // 12 kHz is full tone
  EXPECT_EQ(bars[3].color.A, 62);  // 300 Hz and below: tone 0.08
  // Labels only for left echoes with a finite edge: the right one's 3.0k is not shown.
  std::vector<std::string> labels;
  for (const auto& c : d.named("DrawText"))
    if (c.style.size == kSmall.size && c.rect.B != kBounds.B - 4)
      labels.push_back(c.text);
  EXPECT_EQ(labels, (std::vector<std::string>{"12.0k", "300"}));
}

TEST(RepeatsDisplayAnimation, WithoutWobbleAStillDisplayRedrawsOnlyOnChange)
{
  Display d;
  d.now.wobble = 0.0;
  d.control->setRepeats({echo(0.25, false, 1, -3.0)});
  d.draw();
  EXPECT_FALSE(d.control->animating());
  EXPECT_FALSE(d.control->IsDirty());
  d.now.mix = 80.0;
  EXPECT_TRUE(d.control->IsDirty());
  d.draw();
  EXPECT_FALSE(d.control->IsDirty());
  // New repeats show although the settings stand still.
  d.control->setRepeats({echo(0.25, false, 1, -6.0)});
  EXPECT_TRUE(d.control->IsDirty());
  d.draw();
  EXPECT_FALSE(d.control->IsDirty());
  d.now.bpm = std::numeric_limits<double>::quiet_NaN(); // never equal: keeps asking
  d.draw();
  EXPECT_TRUE(d.control->IsDirty());

  // Wobble keeps a display with bars in motion, swaying the bars off their place.
  Display w;
  w.now.wobble = 1.0;
  w.control->setRepeats({echo(0.25, false, 4, -3.0)});
  w.draw();
  EXPECT_TRUE(w.control->animating());
  const float first = w.bars()[0].rect.MW();
  w.draw(40.0);
  EXPECT_NE(w.bars()[0].rect.MW(), first);
}

TEST(RepeatsDisplayAnimation, NewResultsGlideIntoPlaceAndTheSpanFollows)
{
  Display d;
  d.now.wobble = 0.0;
  d.now.sync = false;
  d.now.timeLMs = d.now.timeRMs = 100.0;
  d.control->setRepeats({echo(0.1, false, 1, -3.0)});
  d.draw();
  EXPECT_DOUBLE_EQ(d.control->span(), 250.0); // the smallest span, taken at once
  d.control->setRepeats({echo(0.4, false, 1, -3.0)});
  d.draw(16.0);
  // alpha = 1 - exp(-4 * 0.016): both move about 6 % of the way.
  const double alpha = 1.0 - std::exp(-0.064);
  EXPECT_NEAR(d.control->span(), 250.0 + (432.0 - 250.0) * alpha, 1e-9);
  const double pos = 100.0 + 300.0 * alpha;
  const float x = static_cast<float>(kBounds.L + 34 + pos / d.control->span() * (kBounds.W() - 48));
  EXPECT_NEAR(d.bars()[0].rect.MW(), x, 1e-3);
  EXPECT_TRUE(d.control->animating());
  // A long pause counts as 50 ms only, so the glide never jumps.
  d.draw(5000.0);
  EXPECT_TRUE(d.control->animating());
  for (int i = 0; i < 200; ++i)
    d.draw(50.0);
  EXPECT_FALSE(d.control->animating());
  EXPECT_NEAR(d.control->span(), 432.0, 0.5);
}

TEST(RepeatsDisplay, WithoutAProviderItUsesTheDefaultsAndTheDirtyFlag)
{
  Editor<TestPlugin> ed(1000, 456);
  auto* c = new RepeatsDisplayControl(kBounds, kAccent, kLabel, kSmall, nullptr);
  ed.canvas->AttachControl(c);
  EXPECT_TRUE(c->GetIgnoreMouse());
  EXPECT_FALSE(c->hasRepeats());
  c->Draw(*ed.canvas);
  c->SetClean();
  EXPECT_EQ(c->shown(), RepeatsDisplayControl::Now{});
  EXPECT_DOUBLE_EQ(c->span(), 540.0); // 500 ms default times
  EXPECT_FALSE(c->IsDirty());
  c->setRepeats({});
  EXPECT_TRUE(c->hasRepeats());
  EXPECT_TRUE(c->IsDirty());
}

} // namespace
} // namespace ostra::test

#include "support/RealtimeCounters.h"

namespace ostra::test
{
namespace
{

/** Draws nothing and records nothing, so only the control's own allocations count. */
class SilentCanvas : public RecordingCanvas
{
public:
  using RecordingCanvas::RecordingCanvas;
  void DrawLine(const IColor&, float, float, float, float, const IBlend*, float) override {}
  void DrawRoundRect(const IColor&, const IRECT&, float, const IBlend*, float) override {}
  void FillRoundRect(const IColor&, const IRECT&, float, const IBlend*) override {}

protected:
  void DoDrawText(const IText&, const char*, const IRECT&, const IBlend*) override {}
};

TEST(RepeatsDisplayDrawing, AllocatesOnlyForNewEchoPositions)
{
  TestPlugin plugin;
  ICanvasEditorDelegate delegate(plugin);
  auto made = std::make_unique<SilentCanvas>(&delegate, 1000, 456);
  SilentCanvas* canvas = made.get();
  delegate.OpenEditor(std::move(made));
  double nowMs = 1000.0;
  canvas->SetClock([&] { return nowMs; });
  RepeatsDisplayControl::Now now;
  now.sync = false; // labels in ms and s
  auto* display = new RepeatsDisplayControl(kBounds, kAccent, kLabel, kSmall, [&] { return now; });
  canvas->AttachControl(display);
  std::vector<Repeat> repeats;
  for (int i = 1; i <= 8; ++i)
  {
    repeats.push_back(echo(0.2 * i, false, i, -3.0 * i, 12000.0 / i));
    repeats.push_back(echo(0.2 * i, true, i, -3.0 * i, 12000.0 / i));
  }
  display->setRepeats(repeats);

  startCounting();
  display->Draw(*canvas);
  const RealtimeCounts first = stopCounting();
  EXPECT_GT(first.allocations, 0); // the sixteen positions are new

  for (int frame = 0; frame < 3; ++frame)
  {
    nowMs += 16.0;
    now.sync = frame % 2 == 1; // both kinds of grid labels
    startCounting();
    display->Draw(*canvas);
    EXPECT_EQ(stopCounting().allocations, 0) << "frame " << frame;
  }
}

} // namespace
} // namespace ostra::test
