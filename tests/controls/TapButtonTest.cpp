// The tap button: one whole gesture per press, the 90 ms flash (also for taps that arrive
// as parameter changes), and the disabled state.
#include "controls/ControlsTestSupport.h"
#include "controls/TapButtonControl.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

using namespace ostra::test;
using corvana::controls::TapButtonControl;
namespace p = ostratapedelay::plugin;

namespace
{

struct TapEditor : Editor<RealPlugin>
{
  TapEditor()
    : Editor<RealPlugin>(1000, 456, 1.f,
                         [this](ICanvas* g)
                         {
                           static_cast<TapButtonControl*>(g->AttachControl(new TapButtonControl(
                                                              IRECT(462, 318, 558, 342), p::kTap,
                                                              "TAP", IText(11.f), kTestAccent)))
                               ->disabled = [this] { return syncOn; };
                         })
  {
    tap = static_cast<TapButtonControl*>(canvas->GetControl(0));
    canvas->SetAllControlsClean();
  }
  /** Whether the tap button's parameter was sent 1 in this many separate gestures. */
  int tapGestures() const
  {
    int n = 0;
    const auto& ev = plugin->events;
    for (size_t i = 2; i < ev.size(); ++i)
      n += ev[i - 2].kind == 'B' && ev[i - 1] == HostEvent{'V', p::kTap, 1.0} &&
           ev[i].kind == 'E' && ev[i].paramIdx == p::kTap;
    return n;
  }
  TapButtonControl* tap = nullptr;
  bool syncOn = false;
};

TEST(TapButton, TwoFastTapsAreTwoGesturesAndKeepTheButtonLitUntil90msAfterTheSecond)
{
  TapEditor e;
  e.input->Click(500, 330);
  EXPECT_EQ(e.tapGestures(), 1);
  EXPECT_TRUE(e.tap->isFlashing());
  e.nowMs += 20.0;
  // The second press of a fast double click arrives as the double click itself.
  e.canvas->OnMouseDblClick(500, 330, EventInjector::Left());
  EXPECT_EQ(e.tapGestures(), 2);
  e.nowMs += 85.0; // 105 ms after the first tap, 85 after the second
  EXPECT_TRUE(e.tap->isFlashing());
  EXPECT_EQ(firstCall(drawOf(e, e.tap), "FillRoundRect").color, IColor(77, 21, 232, 121));
  EXPECT_EQ(firstCall(drawOf(e, e.tap), "DrawRoundRect").color, kTestAccent);
  e.nowMs += 6.0;
  EXPECT_FALSE(e.tap->isFlashing());
  EXPECT_EQ(firstCall(drawOf(e, e.tap), "FillRoundRect").color, IColor(255, 20, 20, 20));
  EXPECT_EQ(firstCall(drawOf(e, e.tap), "DrawRoundRect").color, kWhite56);
}

TEST(TapButton, TheEndOfAFlashIsDrawnOnceThenTheButtonStaysClean)
{
  TapEditor e;
  e.input->Click(500, 330);
  EXPECT_TRUE(e.canvas->Tick());
  e.nowMs += 50.0;
  EXPECT_TRUE(e.canvas->Tick()) << "dirty while lit";
  e.nowMs += 50.0;
  EXPECT_TRUE(e.canvas->Tick()) << "once more to draw it unlit";
  EXPECT_FALSE(e.canvas->Tick());
  EXPECT_FALSE(e.canvas->Tick());
}

TEST(TapButton, ATapArrivingAsAParameterChangeFlashesOnlyOnItsRisingEdge)
{
  TapEditor e;
  e.tap->SetValueFromDelegate(1.0);
  EXPECT_TRUE(e.tap->isFlashing());
  e.nowMs += 200.0;
  e.tap->SetValueFromDelegate(0.9); // still above 0.5: no new tap
  EXPECT_FALSE(e.tap->isFlashing());
  e.tap->SetValueFromDelegate(0.0);
  e.tap->SetValueFromDelegate(1.0);
  EXPECT_TRUE(e.tap->isFlashing());
  EXPECT_TRUE(e.plugin->events.empty()) << "the host hears nothing of what it sent";
}

TEST(TapButton, WhileDisabledItIsDimmedAndIgnoresClicks)
{
  TapEditor e;
  e.syncOn = true;
  e.input->Click(500, 330);
  e.canvas->OnMouseDblClick(500, 330, EventInjector::Left());
  EXPECT_EQ(e.tapGestures(), 0);
  EXPECT_FALSE(e.tap->isFlashing());
  for (const DrawCall& c : drawOf(e, e.tap))
    if (c.name != "SetClipRegion")
    {
      EXPECT_FLOAT_EQ(c.blendWeight, 0.4f) << c.name;
    }

  e.syncOn = false;
  e.input->Click(500, 330, EventInjector::Right());
  EXPECT_EQ(e.tapGestures(), 0) << "only the left button taps";
  for (const DrawCall& c : drawOf(e, e.tap))
    if (c.name != "SetClipRegion")
    {
      EXPECT_FLOAT_EQ(c.blendWeight, 1.f) << c.name;
    }
}

} // namespace
