// Values, parameter binding, and the gestures the dispatch opens and closes around them.
#include "GraphicsTestSupport.h"

#include "graphics/IVectorKnobControl.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

using Ed = Editor<TestPlugin>;
constexpr int kLin = TestPlugin::kLinear;

struct Binding : ::testing::Test
{
  // The controls are laid out as the editor opens, so the opening pushes values into them.
  Ed ed{400, 200, 1.f,
        [](ICanvas* g)
        {
          g->AttachControl(new ProbeControl(IRECT(0, 0, 50, 50), kLin));
          g->AttachControl(new ProbeControl(IRECT(60, 0, 110, 50), kLin));
        }};
  ProbeControl* a = nullptr;
  ProbeControl* peer = nullptr;
  int actions = 0;

  void SetUp() override
  {
    a = static_cast<ProbeControl*>(ed.canvas->GetControl(0));
    peer = static_cast<ProbeControl*>(ed.canvas->GetControl(1));
    a->SetActionFunction([this](IControl*) { ++actions; });
    ed.plugin->events.clear();
    ed.canvas->SetAllControlsClean();
  }
};

TEST_F(Binding, OpeningTheEditorPushesEveryValue)
{
  // Linear's default is 0.5; the delegate pushed it when the editor opened.
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(peer->GetValue(), 0.5);
}

TEST_F(Binding, UserInputSendsTheValueUpdatesPeersAndActs)
{
  a->SetValueFromUserInput(0.8);
  EXPECT_EQ(ed.plugin->events, (std::vector<HostEvent>{{'V', kLin, 0.8}}));
  EXPECT_DOUBLE_EQ(ed.plugin->GetParam(kLin)->Value(), 0.8);
  EXPECT_DOUBLE_EQ(peer->GetValue(), 0.8);
  EXPECT_TRUE(peer->IsDirty());
  EXPECT_EQ(actions, 1);
}

TEST_F(Binding, TheSameUserValueSendsNothing)
{
  a->SetValueFromUserInput(a->GetValue());
  EXPECT_TRUE(ed.plugin->events.empty());
  EXPECT_EQ(actions, 0);
  EXPECT_FALSE(a->IsDirty());
}

TEST_F(Binding, DelegateValuesRedrawWithoutAction)
{
  ed.delegate.SetParameterFromDelegate(kLin, 0.25);
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.25);
  EXPECT_TRUE(a->IsDirty());
  EXPECT_EQ(actions, 0);
  EXPECT_TRUE(ed.plugin->events.empty());
  // The same value again leaves the control clean.
  a->SetClean();
  ed.delegate.SetParameterFromDelegate(kLin, 0.25);
  EXPECT_FALSE(a->IsDirty());
}

TEST_F(Binding, ADelegatePushDuringADragLeavesTheValue)
{
  ed.input->Down(10, 10);
  ed.delegate.SetParameterFromDelegate(kLin, 0.1);
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(peer->GetValue(), 0.1); // not held: it follows
  ed.input->Up();
  ed.delegate.SetParameterFromDelegate(kLin, 0.1);
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.1);
}

TEST_F(Binding, HostAutomationReachesControlsThroughTheIdleTick)
{
  ed.plugin->SetParameterFromHost(kLin, 0.75, 0);
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.5); // not before the tick
  ed.plugin->OnTimer();
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.75);
  EXPECT_DOUBLE_EQ(peer->GetValue(), 0.75);
}

TEST_F(Binding, SetDirtyClampsValuesIntoRange)
{
  a->SetValue(1.7);
  a->SetDirty(true);
  EXPECT_DOUBLE_EQ(a->GetValue(), 1.0);
  EXPECT_EQ(ed.plugin->events, (std::vector<HostEvent>{{'V', kLin, 1.0}}));
  a->SetValue(-3.0);
  a->SetDirty(false);
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.0);
}

TEST(BindingDefaults, DefaultsSnapToTheNearestStep)
{
  Ed ed;
  auto* c = ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10), TestPlugin::kStepped));
  // 0.375 lies halfway between the steps 0.25 and 0.5; halves go away from zero.
  c->SetValueToDefault();
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(ed.plugin->GetParam(TestPlugin::kStepped)->Value(), 0.5);

  auto* lin = ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 10, 10), kLin));
  lin->SetValueFromUserInput(0.9);
  lin->SetValueToDefault();
  EXPECT_DOUBLE_EQ(lin->GetValue(), 0.5);
}

TEST(BindingDefaults, MultiValueControlsDefaultOneOrAllValues)
{
  Ed ed;
  auto* c = ed.canvas->AttachControl(
      new ProbeControl(IRECT(0, 0, 10, 10), {TestPlugin::kLinear, TestPlugin::kInteger}));
  c->SetValue(0.9, 0);
  c->SetValue(0.9, 1);
  c->SetValueToDefault(1);
  EXPECT_DOUBLE_EQ(c->GetValue(0), 0.9);
  EXPECT_DOUBLE_EQ(c->GetValue(1), 0.0);
  c->SetValueToDefault(kNoValIdx);
  EXPECT_DOUBLE_EQ(c->GetValue(0), 0.5);
}

// ---- Gestures -----------------------------------------------------------------------------

struct Gestures : ::testing::Test
{
  Ed ed;
  IVectorKnobControl* knob = nullptr;

  void SetUp() override
  {
    knob = static_cast<IVectorKnobControl*>(
        ed.canvas->AttachControl(new IVectorKnobControl(IRECT(0, 0, 100, 100), kLin)));
    ed.plugin->events.clear();
  }
};

TEST_F(Gestures, ADragIsOneGestureAroundItsValues)
{
  ed.input->Down(50, 50);
  ed.input->DragBy(0, -20, 4);
  ed.input->Up();
  EXPECT_EQ(ed.plugin->kinds(), "BVVVVE");
  for (const HostEvent& e : ed.plugin->events)
    EXPECT_EQ(e.paramIdx, kLin);
}

TEST_F(Gestures, EveryBoundParameterGetsItsGesture)
{
  auto* pair = ed.canvas->AttachControl(
      new ProbeControl(IRECT(200, 0, 300, 100), {TestPlugin::kLinear, TestPlugin::kInteger}));
  (void)pair;
  ed.input->Click(250, 50);
  EXPECT_EQ(ed.plugin->events, (std::vector<HostEvent>{{'B', kLin, 0},
                                                       {'B', TestPlugin::kInteger, 0},
                                                       {'E', kLin, 0},
                                                       {'E', TestPlugin::kInteger, 0}}));
}

TEST_F(Gestures, ADoubleClickResetsOutsideAnyGesture)
{
  knob->SetValueFromUserInput(0.9);
  ed.plugin->events.clear();
  ed.input->DoubleClick(50, 50);
  // The first click's own gesture, then the reset value with no gesture around it.
  EXPECT_EQ(ed.plugin->kinds(), "BEV");
  EXPECT_DOUBLE_EQ(ed.plugin->events.back().value, 0.5);
  EXPECT_FALSE(ed.canvas->HasCapture());
}

TEST_F(Gestures, ADoubleClickEndsTheGestureOfAPressStillHeld)
{
  ed.input->Down(50, 50);
  ed.canvas->OnMouseDblClick(50, 50, EventInjector::Left());
  EXPECT_EQ(ed.plugin->kinds(), "BEV");
  EXPECT_FALSE(ed.canvas->HasCapture());
}

TEST_F(Gestures, PointersAreCapturedSeparately)
{
  auto* other = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(200, 0, 300, 100))));
  IMouseMod first(true), second(true);
  second.touchID = 2;
  ed.canvas->OnMouseDown(IMouseInfos{{50, 50, 0, 0, first}, {250, 50, 0, 0, second}});
  EXPECT_EQ(ed.canvas->GetCapturedControl(0), knob);
  EXPECT_EQ(ed.canvas->GetCapturedControl(2), other);
  ed.canvas->OnMouseDrag(IMouseInfos{{260, 60, 10, 10, second}});
  EXPECT_EQ(other->take(), "down drag");
  ed.canvas->OnMouseUp(IMouseInfos{{260, 60, 0, 0, second}});
  EXPECT_EQ(ed.canvas->GetCapturedControl(2), nullptr);
  EXPECT_EQ(ed.canvas->GetCapturedControl(0), knob);
}

} // namespace
} // namespace ostra::test
