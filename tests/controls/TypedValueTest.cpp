// Typed values: the parsing table, applying a value as one gesture with step and range,
// and the caption that opens the text field.
#include "controls/TypedValue.h"
#include "controls/ControlsTestSupport.h"
#include "controls/TypedCaptionControl.h"

#include <gtest/gtest.h>

#include <optional>

using namespace ostra::test;
using corvana::controls::parseTypedValue;
using corvana::controls::typed_value::sendTypedValue;
using corvana::controls::typed_value::TypedCaptionControl;

namespace
{

TEST(ParseTypedValue, ReadsNumbersAsUsersTypeThem)
{
  struct Case
  {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"250 ms", 250.0},
      {" -12,5dB", -12.5},
      {"\xE2\x88\x92"
       "3",
       -3.0},
      {"- 5", -5.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e3", 1.0},
      {"+7", 7.0},
      {"0.125", 0.125},
      {"12.", 12.0},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {".", std::nullopt},
      {"+", std::nullopt},
      {"--5", std::nullopt},
      {"ms 5", std::nullopt},
      {"\xE2\x88\x92", std::nullopt},
  };
  for (const Case& c : cases)
  {
    const auto v = parseTypedValue(c.text, -1e9, 1e9);
    ASSERT_EQ(v.has_value(), c.value.has_value()) << "'" << c.text << "'";
    if (v)
    {
      EXPECT_DOUBLE_EQ(*v, *c.value) << "'" << c.text << "'";
    }
  }
}

TEST(ParseTypedValue, ClampsToTheRangeInsteadOfRefusing)
{
  EXPECT_EQ(parseTypedValue("5000", 1.0, 2000.0), 2000.0);
  EXPECT_EQ(parseTypedValue("-3", 1.0, 2000.0), 1.0);
  EXPECT_EQ(parseTypedValue("1999.95", 1.0, 2000.0), 1999.95);
}

/** Parameters for the typed-value rules: a stepped one that reaches below zero. */
class TypedPlugin : public HostRecorder<plug::IAPIBase>
{
public:
  enum
  {
    kMs = 0, // 1..2000 ms
    kSteps,  // -1..1 in steps of 0.2
    kNum
  };
  static plug::Config config()
  {
    plug::Config c;
    c.nParams = kNum;
    c.plugWidth = 400;
    c.plugHeight = 200;
    return c;
  }
  TypedPlugin()
    : HostRecorder<plug::IAPIBase>(config())
  {
    GetParam(kMs)->InitDouble("Time", 500.0, 1.0, 2000.0, 0.1, "ms");
    GetParam(kSteps)->InitDouble("Steps", 0.0, -1.0, 1.0, 0.2, "", plug::IParam::kFlagStepped);
  }
};

struct CaptionEditor : Editor<TypedPlugin>
{
  CaptionEditor()
    : Editor<TypedPlugin>(
          400, 456, 1.f,
          [](ICanvas* g)
          {
            g->EnableMouseOver(true);
            g->AttachPanelBackground(COLOR_BLACK);
            IText edit(12.5f, COLOR_WHITE);
            edit.textEntryFGColor = IColor(255, 1, 2, 3);
            g->AttachControl(new TypedCaptionControl(IRECT(60, 368, 140, 382), TypedPlugin::kMs,
                                                     IText(12.5f), COLOR_TRANSPARENT, true, edit));
            g->AttachControl(new ProbeControl(IRECT(0, 0, 50, 50), TypedPlugin::kMs));
            g->AttachControl(new ProbeControl(IRECT(0, 60, 50, 110), TypedPlugin::kSteps));
          })
  {
    caption = static_cast<TypedCaptionControl*>(canvas->GetControl(1));
    other = static_cast<ProbeControl*>(canvas->GetControl(2));
    stepped = static_cast<ProbeControl*>(canvas->GetControl(3));
  }
  TypedCaptionControl* caption = nullptr;
  ProbeControl* other = nullptr;
  ProbeControl* stepped = nullptr;
};

TEST(SendTypedValue, AppliesOneGestureAndShowsTheValueInEveryBoundControl)
{
  CaptionEditor e;
  EXPECT_TRUE(sendTypedValue(*e.caption, TypedPlugin::kMs, "250 ms"));
  EXPECT_DOUBLE_EQ(e.plugin->GetParam(TypedPlugin::kMs)->Value(), 250.0);
  EXPECT_EQ(e.plugin->kinds(), "BVE");
  const double n = e.plugin->GetParam(TypedPlugin::kMs)->GetNormalized();
  EXPECT_DOUBLE_EQ(e.other->GetValue(), n) << "the knob follows at once";
  EXPECT_DOUBLE_EQ(e.caption->GetValue(), n);

  EXPECT_TRUE(sendTypedValue(*e.caption, TypedPlugin::kMs, "99999"));
  EXPECT_DOUBLE_EQ(e.plugin->GetParam(TypedPlugin::kMs)->Value(), 2000.0) << "clamped";
}

TEST(SendTypedValue, SnapsHalfStepsAwayFromZero)
{
  CaptionEditor e;
  EXPECT_TRUE(sendTypedValue(*e.stepped, TypedPlugin::kSteps, "0.5")); // 2.5 steps
  EXPECT_NEAR(e.plugin->GetParam(TypedPlugin::kSteps)->Value(), 0.6, 1e-12);
  EXPECT_TRUE(sendTypedValue(*e.stepped, TypedPlugin::kSteps, "-0.5"));
  EXPECT_NEAR(e.plugin->GetParam(TypedPlugin::kSteps)->Value(), -0.6, 1e-12);
}

TEST(SendTypedValue, TextWithoutANumberChangesNothingAndSendsNothing)
{
  CaptionEditor e;
  for (const char* text : {"", "abc", "ms"})
    EXPECT_FALSE(sendTypedValue(*e.caption, TypedPlugin::kMs, text)) << text;
  EXPECT_FALSE(sendTypedValue(*e.caption, -1, "5"));
  EXPECT_FALSE(sendTypedValue(*e.caption, 7, "5"));
  EXPECT_TRUE(e.plugin->events.empty());
  EXPECT_DOUBLE_EQ(e.plugin->GetParam(TypedPlugin::kMs)->Value(), 500.0);
}

TEST(TypedCaption, AClickOpensOneFieldWithTheValueAndTheTypedTextIsApplied)
{
  CaptionEditor e;
  e.input->Click(100, 375);
  ASSERT_EQ(e.canvas->TextEntries().size(), 1u);
  const OpenedTextEntry& field = e.canvas->TextEntries()[0];
  EXPECT_EQ(field.text, "500.0");
  EXPECT_EQ(field.bounds, IRECT(60, 366, 140, 384));
  EXPECT_EQ(field.length, 16);
  EXPECT_EQ(field.paramIdx, -1) << "the text comes back whole, units and all";
  EXPECT_EQ(field.style.textEntryFGColor, IColor(255, 1, 2, 3));

  e.input->Click(100, 375);
  e.canvas->OnMouseDblClick(100, 375, EventInjector::Left());
  EXPECT_EQ(e.canvas->TextEntries().size(), 1u) << "no second field while one is open";

  e.plugin->events.clear();
  e.canvas->SetControlValueAfterTextEdit("\xE2\x88\x92"
                                         "3 ms, please");
  EXPECT_DOUBLE_EQ(e.plugin->GetParam(TypedPlugin::kMs)->Value(), 1.0); // -3 clamped to 1
  EXPECT_EQ(e.plugin->kinds(), "BVE");

  e.input->Click(100, 375, EventInjector::Right());
  EXPECT_EQ(e.canvas->TextEntries().size(), 1u) << "only the left button opens a field";
}

TEST(TypedCaption, ShowsTheValueWithItsUnitAndLightsWhileTheMouseIsOver)
{
  CaptionEditor e;
  DrawCall text = firstCall(drawOf(e, e.caption), "DrawText");
  EXPECT_EQ(text.text, "500.0 ms");
  EXPECT_EQ(text.color, COLOR_BLACK);
  e.input->MoveTo(100, 375);
  text = firstCall(drawOf(e, e.caption), "DrawText");
  EXPECT_EQ(text.color, IColor(255, 1, 2, 3));
}

} // namespace
