// The vector knob: drag gearing and steps, and the geometry it draws.
#include "GraphicsTestSupport.h"

#include "graphics/IVectorKnobControl.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

using Ed = Editor<TestPlugin>;

struct Knob : ::testing::Test
{
  Ed ed;
  IVectorKnobControl* knob = nullptr;

  IVectorKnobControl* attach(int paramIdx, float anchor = -135.f,
                             EDirection dir = EDirection::Vertical)
  {
    IVectorStyle style = kDefaultStyle;
    style.showLabel = false;
    style.showValue = false;
    style.drawShadows = false;
    style.widgetFrac = 0.92f;
    style.colorSpec[kX1] = IColor(255, 21, 232, 121);
    style.colorSpec[kFR] = COLOR_WHITE;
    return static_cast<IVectorKnobControl*>(ed.canvas->AttachControl(
        new IVectorKnobControl(IRECT(100, 50, 152, 102), paramIdx, "", style, false, false, -135.f,
                               135.f, anchor, dir, 4.0, 2.f)));
  }
};

TEST_F(Knob, AFullHeightDragMovesAQuarterAndModifiersATenthOfThat)
{
  knob = attach(TestPlugin::kLinear);
  ed.delegate.SetParameterFromDelegate(TestPlugin::kLinear, 0.2);
  ed.input->Down(126, 76);
  ed.input->DragBy(0, -52, 13); // the knob's full height, upward
  ed.input->Up();
  EXPECT_NEAR(knob->GetValue(), 0.2 + 0.25, 1e-9);

  IMouseMod shift(true, false, true);
  ed.input->Down(126, 76, shift);
  ed.input->DragBy(0, -52, 4, shift);
  ed.input->Up(shift);
  EXPECT_NEAR(knob->GetValue(), 0.45 + 0.025, 1e-9);

  IMouseMod control(true, false, false, true);
  ed.input->Down(126, 76, control);
  ed.input->DragBy(0, 52, 4, control); // downward lowers it
  ed.input->Up(control);
  EXPECT_NEAR(knob->GetValue(), 0.45, 1e-9);
  EXPECT_NEAR(ed.plugin->GetParam(TestPlugin::kLinear)->Value(), 0.45, 1e-9);
}

TEST_F(Knob, DragsStopAtTheEnds)
{
  knob = attach(TestPlugin::kLinear);
  ed.input->Down(126, 76);
  ed.input->DragBy(0, -1000, 5);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
  // Coming back starts from the end, not from where the pointer went.
  ed.input->DragBy(0, 13, 1);
  EXPECT_NEAR(knob->GetValue(), 1.0 - 0.0625, 1e-9);
}

TEST_F(Knob, SteppedParametersSnapWhileSmallMovesAccumulate)
{
  knob = attach(TestPlugin::kStepped); // steps of 0.25 over 0..1
  ed.delegate.SetParameterFromDelegate(TestPlugin::kStepped, 0.0);
  ed.input->Down(126, 76);
  // Each move is 1/52 × 1/4 of the range: far below a step, but they add up.
  for (int i = 0; i < 25; ++i)
  {
    ed.input->DragBy(0, -1);
    const double v = knob->GetValue();
    EXPECT_DOUBLE_EQ(v * 4.0, std::round(v * 4.0)) << "after move " << i;
  }
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.0); // 25/208 of the range: under half a step
  ed.input->DragBy(0, -2);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.25); // 27/208: past half a step
}

TEST_F(Knob, HorizontalDraggingUsesTheWidth)
{
  knob = attach(TestPlugin::kLinear, -135.f, EDirection::Horizontal);
  ed.delegate.SetParameterFromDelegate(TestPlugin::kLinear, 0.5);
  ed.input->Down(126, 76);
  ed.input->DragBy(52, 30, 2);
  EXPECT_NEAR(knob->GetValue(), 0.75, 1e-9);
}

TEST_F(Knob, DoubleClickReturnsTheDefaultAndRightClickPrompts)
{
  knob = attach(TestPlugin::kLinear);
  knob->SetValueFromUserInput(0.9);
  ed.input->DoubleClick(126, 76);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
  ed.input->Click(126, 76, EventInjector::Right());
  ASSERT_EQ(ed.canvas->TextEntries().size(), 1u);
  EXPECT_EQ(ed.canvas->TextEntries()[0].bounds, IRECT(106, 68, 146, 84));
}

TEST_F(Knob, DrawsTrackHandleAndPointerFromTheValue)
{
  knob = attach(TestPlugin::kLinear);
  ed.delegate.SetParameterFromDelegate(TestPlugin::kLinear, 0.75);
  ed.canvas->Tick();

  // Widget: 52 × 52 scaled by 0.92 about (126, 76); r = 23.92 - 1.
  const float r = 0.5f * 52.f * 0.92f - 1.f;
  const auto arcs = ed.canvas->Calls("DrawArc");
  ASSERT_EQ(arcs.size(), 1u);
  EXPECT_EQ(arcs[0].color, IColor(255, 21, 232, 121));
  ASSERT_EQ(arcs[0].nums.size(), 6u);
  EXPECT_FLOAT_EQ(arcs[0].nums[0], 126.f);
  EXPECT_FLOAT_EQ(arcs[0].nums[1], 76.f);
  EXPECT_FLOAT_EQ(arcs[0].nums[2], r);
  EXPECT_FLOAT_EQ(arcs[0].nums[3], -135.f);
  EXPECT_FLOAT_EQ(arcs[0].nums[4], 67.5f); // -135 + 0.75 × 270
  EXPECT_FLOAT_EQ(arcs[0].nums[5], 2.f);

  const float side = 2.f * (r - 4.f);
  const auto handles = ed.canvas->Calls("FillEllipse");
  ASSERT_FALSE(handles.empty());
  EXPECT_EQ(handles[0].rect, IRECT(126 - side / 2, 76 - side / 2, 126 + side / 2, 76 + side / 2));

  // The pointer: along 67.5° (clockwise from up) from 0.1 to 1.0 of the handle's radius.
  const auto lines = ed.canvas->Calls("DrawLine");
  ASSERT_EQ(lines.size(), 1u);
  const float a = 67.5f * 3.14159265f / 180.f, hr = side / 2;
  EXPECT_NEAR(lines[0].nums[0], 126 + 0.1f * hr * std::sin(a), 1e-4);
  EXPECT_NEAR(lines[0].nums[1], 76 - 0.1f * hr * std::cos(a), 1e-4);
  EXPECT_NEAR(lines[0].nums[2], 126 + hr * std::sin(a), 1e-4);
  EXPECT_NEAR(lines[0].nums[3], 76 - hr * std::cos(a), 1e-4);
  EXPECT_FLOAT_EQ(lines[0].nums[4], 2.5f);
  EXPECT_EQ(lines[0].color, COLOR_WHITE);
}

TEST_F(Knob, TheValueArcGrowsFromTheAnchor)
{
  knob = attach(TestPlugin::kLinear, 135.f); // from the maximum end
  ed.delegate.SetParameterFromDelegate(TestPlugin::kLinear, 0.25);
  ed.canvas->Tick();
  auto arc = ed.canvas->Calls("DrawArc")[0].nums;
  EXPECT_FLOAT_EQ(arc[3], -67.5f);
  EXPECT_FLOAT_EQ(arc[4], 135.f);
}

class RingKnob : public IVectorKnobControl
{
public:
  using IVectorKnobControl::IVectorKnobControl;
  void DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius) override
  {
    if (GetTrackSize() > 0.f)
      g.DrawArc(IColor(36, 250, 250, 250), cx, cy, radius, -135.f, 135.f, &GetBlend(),
                GetTrackSize());
    IVectorKnobControl::DrawIndicatorTrack(g, angle, cx, cy, radius);
  }
};

TEST_F(Knob, TheTrackIsAnOverridableStep)
{
  ed.canvas->AttachControl(new RingKnob(IRECT(0, 0, 40, 40), TestPlugin::kLinear));
  ed.canvas->AttachControl(new RingKnob(IRECT(50, 0, 90, 40), TestPlugin::kLinear, "",
                                        kDefaultStyle, false, false, -135.f, 135.f, -135.f,
                                        EDirection::Vertical, 4.0, 0.f));
  ed.canvas->Tick();
  // The first draws its ring and its value arc; the second, with no track, neither.
  const auto arcs = ed.canvas->Calls("DrawArc");
  ASSERT_EQ(arcs.size(), 2u);
  EXPECT_EQ(arcs[0].color, IColor(36, 250, 250, 250));
  EXPECT_EQ(arcs[0].control, ed.canvas->GetControl(0));
  EXPECT_EQ(arcs[1].control, ed.canvas->GetControl(0));
}

TEST_F(Knob, ThePressedHandleUsesThePressedColour)
{
  knob = attach(TestPlugin::kLinear);
  ed.canvas->Tick();
  ed.input->Down(126, 76);
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_EQ(ed.canvas->Calls("FillEllipse")[0].color, knob->GetColor(kPR));
  ed.input->Up();
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_EQ(ed.canvas->Calls("FillEllipse")[0].color, knob->GetColor(kFG));
}

} // namespace
} // namespace ostra::test
