// Attaching, tags, finding and removing controls, and hit testing.
#include "GraphicsTestSupport.h"

#include "graphics/IPanelControl.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

using Ed = Editor<TestPlugin>;

TEST(ControlTree, AttachRunsHooksInOrderThenJoinsTheList)
{
  Ed ed;
  auto* probe = new ProbeControl(IRECT(0, 0, 10, 10));
  EXPECT_EQ(ed.canvas->AttachControl(probe, 7, "knobs"), probe);
  EXPECT_EQ(probe->takeLifecycle(), "OnInit OnResize OnRescale OnAttached");
  // Not yet in the list while it initialises; in it once attached.
  EXPECT_EQ(probe->inListAtHook, (std::vector<bool>{false, true}));
  EXPECT_EQ(probe->GetUI(), ed.canvas);
  EXPECT_EQ(probe->GetDelegate(), &ed.delegate);
  EXPECT_EQ(probe->GetGroup(), "knobs");
  EXPECT_EQ(probe->GetTag(), 7);
}

TEST(ControlTree, AUsedTagRefusesTheSecondControl)
{
  Ed ed;
  auto* first = ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10)), 3);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10)), 3), nullptr);
  EXPECT_EQ(ed.canvas->NControls(), 1);
  EXPECT_EQ(ed.canvas->GetControlWithTag(3), first);

  // Untagged controls never clash; a removed control frees its tag.
  EXPECT_NE(ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 1, 1))), nullptr);
  EXPECT_NE(ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 1, 1))), nullptr);
  ed.canvas->RemoveControlWithTag(3);
  EXPECT_EQ(ed.canvas->GetControlWithTag(3), nullptr);
  EXPECT_NE(ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10)), 3), nullptr);
}

TEST(ControlTree, FindsControlsByParameterAndGroup)
{
  Ed ed;
  auto* a = ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 1, 1), TestPlugin::kLinear));
  auto* b = ed.canvas->AttachControl(
      new ProbeControl(IRECT(0, 0, 1, 1), {TestPlugin::kChoice, TestPlugin::kLinear}), -1, "g");
  ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 1, 1), TestPlugin::kToggle), -1, "g");

  EXPECT_EQ(ed.canvas->GetControlWithParamIdx(TestPlugin::kLinear), a);
  EXPECT_EQ(b->LinkedToParam(TestPlugin::kLinear), 1);
  std::vector<IControl*> bound;
  ed.canvas->ForControlWithParam(TestPlugin::kLinear, [&](IControl& c) { bound.push_back(&c); });
  EXPECT_EQ(bound, (std::vector<IControl*>{a, b}));

  ed.canvas->HideControlsInGroup("g", true);
  EXPECT_FALSE(a->IsHidden());
  EXPECT_TRUE(b->IsHidden());
  EXPECT_TRUE(ed.canvas->GetControl(2)->IsHidden());
}

TEST(ControlTree, PanelBackgroundGoesFirstAndCoversTheEditor)
{
  Ed ed(400, 200);
  ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10)));
  IControl* bg = ed.canvas->AttachPanelBackground(COLOR_BLUE);
  EXPECT_EQ(ed.canvas->GetControl(0), bg);
  EXPECT_EQ(ed.canvas->GetBackgroundControl(), bg);
  EXPECT_EQ(bg->GetRECT(), IRECT(0, 0, 400, 200));
  EXPECT_EQ(bg->GetUI(), ed.canvas);
}

TEST(ControlTree, RemovingAContainerTakesItsChildren)
{
  Ed ed;
  auto* panel = new IPanelControl(IRECT(0, 0, 100, 100), COLOR_GRAY);
  auto* child = new ProbeControl(IRECT(10, 10, 20, 20));
  panel->AddChildControl(child, 5);
  ed.canvas->AttachControl(panel);
  ASSERT_EQ(ed.canvas->NControls(), 2);
  EXPECT_EQ(ed.canvas->GetControl(1), child);
  EXPECT_EQ(child->GetParent(), panel);
  EXPECT_EQ(panel->GetChild(0), child);

  ed.canvas->RemoveControl(panel);
  EXPECT_EQ(ed.canvas->NControls(), 0);
  EXPECT_EQ(ed.canvas->GetControlWithTag(5), nullptr);
}

struct HitTest : ::testing::Test
{
  Ed ed;
  IControl* bg = nullptr;
  ProbeControl* under = nullptr;
  ProbeControl* over = nullptr;

  void SetUp() override
  {
    bg = ed.canvas->AttachPanelBackground(COLOR_BLACK);
    under = static_cast<ProbeControl*>(
        ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 100, 100))));
    over = static_cast<ProbeControl*>(
        ed.canvas->AttachControl(new ProbeControl(IRECT(50, 50, 150, 150))));
  }
};

TEST_F(HitTest, TheLastAttachedControlWins)
{
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, false), over);
  EXPECT_EQ(ed.canvas->GetMouseControl(25, 25, false), under);
  // Panels ignore the mouse, so nothing takes a click where only the background is.
  EXPECT_EQ(ed.canvas->GetMouseControl(300, 180, false), nullptr);
  bg->SetIgnoreMouse(false);
  EXPECT_EQ(ed.canvas->GetMouseControl(300, 180, false), bg);
  // ...but the background is never a mouse-over target.
  EXPECT_EQ(ed.canvas->GetMouseControl(300, 180, true), nullptr);
}

TEST_F(HitTest, HiddenAndMouseIgnoringControlsAreSkipped)
{
  over->Hide(true);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, false), under);
  over->Hide(false);
  over->SetIgnoreMouse(true);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, false), under);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, true), under);
}

TEST_F(HitTest, DisabledControlsTakeOnlyWhatTheyAccept)
{
  over->SetDisabled(true);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, false), under);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, true), under);

  over->SetMEWhenGrayed(true);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, false), over);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, true), under);

  over->SetMEWhenGrayed(false);
  over->SetMOWhenGrayed(true);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, false), under);
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, true), over);

  // Through the dispatch: a click lands on the enabled control underneath.
  over->SetMOWhenGrayed(false);
  ed.input->Click(75, 75);
  EXPECT_EQ(over->take(), "");
  EXPECT_EQ(under->take(), "down up");
}

TEST_F(HitTest, TheTargetRectangleDecidesHits)
{
  over->SetTargetRECT(IRECT(140, 140, 150, 150));
  EXPECT_EQ(ed.canvas->GetMouseControl(75, 75, false), under);
  EXPECT_EQ(ed.canvas->GetMouseControl(145, 145, false), over);
}

TEST_F(HitTest, MouseOverFollowsThePointerOnlyWhenEnabled)
{
  ed.input->MoveTo(75, 75);
  EXPECT_EQ(over->take(), "");
  ed.canvas->EnableMouseOver(true);
  ed.input->MoveTo(75, 75);
  EXPECT_EQ(over->take(), "over");
  EXPECT_TRUE(over->GetMouseIsOver());
  ed.input->MoveTo(25, 25);
  EXPECT_EQ(over->take(), "out");
  EXPECT_EQ(under->take(), "over");
  ed.input->Leave();
  EXPECT_EQ(under->take(), "out");
  EXPECT_EQ(ed.canvas->GetMouseOver(), nullptr);
}

TEST_F(HitTest, MouseUpReevaluatesWhatTheMouseIsOver)
{
  ed.canvas->EnableMouseOver(true);
  ed.input->MoveTo(25, 25);
  under->take();
  // Pressed on one control, released over the other: the first is left, the second entered.
  ed.input->Down(25, 25);
  ed.input->DragTo(120, 120, 2);
  ed.input->Up();
  EXPECT_EQ(under->take(), "down drag drag up out");
  EXPECT_EQ(over->take(), "over");
  EXPECT_EQ(ed.canvas->GetMouseOver(), over);
}

} // namespace
} // namespace ostra::test
