// The time controls: milliseconds or note values by Sync, the right side linked to the left
// by Link, after every layout and after every change.
#include "controls/RingKnobControl.h"
#include "graphics/IControl.h"
#include "plugin/EditorTestSupport.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

using namespace ostra::test;
using namespace plug::graphics;
namespace p = ostratapedelay::plugin;

namespace
{

// Control indices of the time sets in the layout (after the background).
constexpr int kLeftTimeKnob = 15, kLeftTimeValue = 16, kLeftNoteKnob = 17, kLeftNoteValue = 18;
constexpr int kRight = 5; // the right set follows five controls later

struct TimeEditor : PluginEditor<>
{
  IControl* c(int idx) const { return canvas->GetControl(idx); }
  void set(int param, double value)
  {
    plugin->SetParameterFromHost(param, value, 0);
    tick();
  }
  /** Exactly one of the time knob and note knob shows, and its value caption with it. */
  void expectOneShown(bool sync) const
  {
    for (int side : {0, kRight})
    {
      SCOPED_TRACE(side ? "right" : "left");
      EXPECT_EQ(c(kLeftTimeKnob + side)->IsHidden(), sync);
      EXPECT_EQ(c(kLeftTimeValue + side)->IsHidden(), sync);
      EXPECT_EQ(c(kLeftNoteKnob + side)->IsHidden(), !sync);
      EXPECT_EQ(c(kLeftNoteValue + side)->IsHidden(), !sync);
    }
  }
  void expectLinked(bool link) const
  {
    for (int i = 0; i < 4; ++i)
    {
      const IControl* right = c(kLeftTimeKnob + kRight + i);
      const bool time = i < 2;
      SCOPED_TRACE(i);
      EXPECT_EQ(right->GetParamIdx(),
                time ? (link ? p::kTimeL : p::kTimeR) : (link ? p::kNoteL : p::kNoteR));
      EXPECT_FLOAT_EQ(right->GetBlend().weight, link ? 0.45f : 1.f);
      EXPECT_EQ(right->GetIgnoreMouse(), link);
      EXPECT_DOUBLE_EQ(right->GetValue(), plugin->GetParam(right->GetParamIdx())->GetNormalized());
    }
  }
};

TEST(EditorTimeControls, OneOfTimeAndNoteShowsOnEachSideForEverySyncAndLink)
{
  for (bool sync : {false, true})
    for (bool link : {false, true})
    {
      SCOPED_TRACE(std::string("sync ") + (sync ? "on" : "off") + ", link " +
                   (link ? "on" : "off"));
      TimeEditor e;
      e.plugin->GetParam(p::kSync)->Set(sync);
      e.plugin->GetParam(p::kLink)->Set(link);
      e.plugin->GetParam(p::kTimeR)->Set(750.0);
      e.open();
      e.expectOneShown(sync);
      e.expectLinked(link);
    }
}

TEST(EditorTimeControls, SwitchingSyncAndLinkSwapsAndRebindsOnTheNextTick)
{
  TimeEditor e;
  e.plugin->GetParam(p::kTimeR)->Set(750.0);
  e.open(); // Sync and Link start on
  e.expectOneShown(true);
  e.expectLinked(true);

  e.set(p::kSync, 0.0);
  e.expectOneShown(false);
  e.set(p::kLink, 0.0);
  e.expectLinked(false);
  EXPECT_NE(e.c(kLeftTimeKnob + kRight)->GetValue(), e.c(kLeftTimeKnob)->GetValue());
  e.set(p::kLink, 1.0);
  e.expectLinked(true);
  e.set(p::kSync, 1.0);
  e.expectOneShown(true);
}

TEST(EditorTimeControls, TheLinkedRightSideIgnoresTheMouse)
{
  TimeEditor e;
  e.plugin->GetParam(p::kSync)->Set(0.0);
  e.open();
  EXPECT_EQ(e.canvas->GetMouseControl(342, 316, false), nullptr);
  e.set(p::kLink, 0.0);
  EXPECT_EQ(e.canvas->GetMouseControl(342, 316, false), e.c(kLeftTimeKnob + kRight));
  const double before = e.plugin->GetParam(p::kTimeR)->Value();
  e.input->Down(342, 316);
  e.input->DragBy(0, -20);
  e.input->Up();
  EXPECT_GT(e.plugin->GetParam(p::kTimeR)->Value(), before);
}

TEST(EditorTimeControls, TheLinkLockCopiesTheLeftSideToTheRightBeforeItLinks)
{
  TimeEditor e;
  e.plugin->GetParam(p::kLink)->Set(0.0);
  e.plugin->GetParam(p::kTimeL)->Set(300.0);
  e.plugin->GetParam(p::kTimeR)->Set(900.0);
  e.plugin->GetParam(p::kNoteL)->Set(5.0);
  e.plugin->GetParam(p::kNoteR)->Set(12.0);
  e.open();
  e.input->Click(306, 316);
  EXPECT_NEAR(e.plugin->GetParam(p::kTimeR)->Value(), 300.0, 1e-6);
  EXPECT_EQ(e.plugin->GetParam(p::kNoteR)->Value(), 5.0);
  EXPECT_EQ(e.plugin->GetParam(p::kLink)->Value(), 1.0);
  e.tick();
  e.expectLinked(true);
}

} // namespace
