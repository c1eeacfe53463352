// The corner grip's scaling, its cursor and colours, and the ring knob's ring.
#include "controls/ControlsTestSupport.h"
#include "controls/CornerScaleControl.h"
#include "controls/RingKnobControl.h"

#include <gtest/gtest.h>

using namespace ostra::test;
using corvana::controls::CornerScaleControl;
using corvana::controls::RingKnobControl;

namespace
{

void expectNums(const std::vector<float>& actual, const std::vector<float>& expected)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i)
    EXPECT_NEAR(actual[i], expected[i], 1e-4) << i;
}

constexpr IColor kNormal(36, 250, 250, 250);
constexpr IColor kHover(90, 250, 250, 250);

struct GripEditor : Editor<TestPlugin>
{
  GripEditor()
    : Editor<TestPlugin>(
          1000, 456, 1.f,
          [](ICanvas* g)
          {
            g->EnableMouseOver(true);
            g->AttachPanelBackground(COLOR_BLACK); // never a mouse-over target itself
            g->AttachControl(new CornerScaleControl(IRECT(986, 442, 998, 454), 1000.f, 0.75f, 2.f,
                                                    kNormal, kHover));
          })
  {
    grip = static_cast<CornerScaleControl*>(canvas->GetControl(1));
  }
  CornerScaleControl* grip = nullptr;
};

TEST(CornerGrip, DraggingScalesTheEditorWithinItsLimitsAndADoubleClickReturnsTo1)
{
  GripEditor e;
  e.input->Down(992, 448);
  e.input->DragBy(30, 10);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.03f);
  e.input->Up();

  e.input->Down(992, 448);
  e.input->DragBy(-600, -600);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 0.75f);
  e.input->Up();
  e.input->Down(992, 448);
  e.input->DragBy(3000, 5);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 2.f);
  e.input->Up();

  e.input->DoubleClick(992, 448);
  EXPECT_FLOAT_EQ(e.canvas->GetDrawScale(), 1.f);
  EXPECT_EQ(e.canvas->Width(), 1000) << "the design size never changes";
}

TEST(CornerGrip, OnePressKeepsScalingForEveryStepOfItsDrag)
{
  GripEditor e;
  e.input->Down(992, 448);
  e.input->DragBy(30, 0);
  e.input->DragBy(30, 0);
  // The second step counts at the new scale: 30 + 30 × 1.03 pixels on 1000.
  EXPECT_NEAR(e.canvas->GetDrawScale(), 1.0609f, 1e-5f);
  e.input->Up();
}

TEST(CornerGrip, HoveringShowsTheResizeCursorAndTheBrighterTriangle)
{
  GripEditor e;
  DrawCall triangle = firstCall(drawOf(e, e.grip), "FillTriangle");
  EXPECT_EQ(triangle.color, kNormal);
  EXPECT_EQ(triangle.nums, (std::vector<float>{986, 454, 998, 442, 998, 454}));
  EXPECT_FALSE(triangle.hasBlend);

  e.input->MoveTo(995, 450);
  e.input->MoveTo(996, 451);
  ASSERT_EQ(e.canvas->Cursors().size(), 1u) << "set once on entry";
  EXPECT_EQ(e.canvas->Cursors()[0], ECursor::SizeNWSE);
  EXPECT_EQ(firstCall(drawOf(e, e.grip), "FillTriangle").color, kHover);
  e.input->MoveTo(500, 200);
  ASSERT_EQ(e.canvas->Cursors().size(), 2u);
  EXPECT_EQ(e.canvas->Cursors()[1], ECursor::Arrow) << "the previous cursor comes back";
  EXPECT_EQ(firstCall(drawOf(e, e.grip), "FillTriangle").color, kNormal);
}

struct KnobEditor : Editor<TestPlugin>
{
  explicit KnobEditor(float track)
    : Editor<TestPlugin>(400, 200, 1.f,
                         [track](ICanvas* g)
                         {
                           IVectorStyle style;
                           style.showLabel = style.showValue = false;
                           style.widgetFrac = 0.92f;
                           style.colorSpec[kX1] = kTestAccent;
                           g->AttachControl(
                               new RingKnobControl(IRECT(88, 50, 140, 102), TestPluginBase::kLinear,
                                                   "", style, false, false, -135.f, 135.f, 135.f,
                                                   EDirection::Vertical, 4.0, track, kNormal));
                         })
  {
    knob = static_cast<RingKnobControl*>(canvas->GetControl(0));
  }
  RingKnobControl* knob = nullptr;
};

TEST(RingKnob, DrawsTheWholeRingBehindAValueArcThatGrowsFromItsAnchor)
{
  KnobEditor e(2.f);
  e.knob->SetValueFromDelegate(0.25);
  const auto arcs = callsNamed(drawOf(e, e.knob), "DrawArc");
  ASSERT_EQ(arcs.size(), 2u);
  // Widget 52 × 0.92 wide; radius half of it less half the track.
  const float r = 0.5f * 52.f * 0.92f - 1.f;
  EXPECT_EQ(arcs[0].color, kNormal);
  expectNums(arcs[0].nums, {114, 76, r, -135, 135, 2});
  // Anchored at the end: the value arc runs from the value's angle up to 135°.
  EXPECT_EQ(arcs[1].color, kTestAccent);
  expectNums(arcs[1].nums, {114, 76, r, -67.5f, 135, 2});
}

TEST(RingKnob, WithoutATrackThereIsNoRing)
{
  KnobEditor e(0.f);
  EXPECT_TRUE(callsNamed(drawOf(e, e.knob), "DrawArc").empty());
  EXPECT_FALSE(callsNamed(drawOf(e, e.knob), "FillEllipse").empty()) << "the handle still shows";
}

} // namespace
