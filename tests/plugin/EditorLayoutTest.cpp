// The editor's layout: every row's class, rectangle, parameter, tag and text in attachment
// order; the knobs' anchors; the accent and its fallbacks; the lockup and its stand-in.
#include "controls/CornerScaleControl.h"
#include "controls/LinkLockControl.h"
#include "controls/OutputMeterControl.h"
#include "controls/PillToggleControl.h"
#include "controls/PresetBarControl.h"
#include "controls/RepeatsDisplayControl.h"
#include "controls/RingKnobControl.h"
#include "controls/SettingsMenuControl.h"
#include "controls/TapButtonControl.h"
#include "controls/TypedCaptionControl.h"
#include "controls/UpdatePillControl.h"
#include "graphics/IPanelControl.h"
#include "graphics/ISVGControl.h"
#include "plugin/Accents.h"
#include "plugin/EditorTestSupport.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace ostra::test;
using namespace plug::graphics;
using namespace corvana::controls;
namespace p = ostratapedelay::plugin;

namespace
{

std::string kindOf(const IControl* c)
{
  if (dynamic_cast<const typed_value::TypedCaptionControl*>(c))
    return "TypedCaption";
  if (dynamic_cast<const ICaptionControl*>(c))
    return "Caption";
  if (dynamic_cast<const ITextControl*>(c))
    return "Text";
  if (dynamic_cast<const RingKnobControl*>(c))
    return "RingKnob";
  if (dynamic_cast<const PillToggleControl*>(c))
    return "Pill";
  if (dynamic_cast<const TapButtonControl*>(c))
    return "Tap";
  if (dynamic_cast<const LinkLockControl*>(c))
    return "Link";
  if (dynamic_cast<const CornerScaleControl*>(c))
    return "Corner";
  if (dynamic_cast<const limiter_panel::OutputMeterControl*>(c))
    return "Meter";
  if (dynamic_cast<const ostratapedelay::controls::RepeatsDisplayControl*>(c))
    return "Repeats";
  if (dynamic_cast<const ostratapedelay::controls::SettingsMenuControl*>(c))
    return "Settings";
  if (dynamic_cast<const UpdatePillControl*>(c))
    return "Notice";
  if (dynamic_cast<const PresetBarControl*>(c))
    return "PresetBar";
  if (dynamic_cast<const ISVGControl*>(c))
    return "SVG";
  if (dynamic_cast<const IPanelControl*>(c))
    return "Panel";
  return "?";
}

struct Row
{
  Row(std::string k, IRECT r, int p = -1, int t = -1, std::string s = {})
    : kind(std::move(k))
    , rect(r)
    , param(p)
    , tag(t)
    , text(std::move(s))
  {
  }
  std::string kind;
  IRECT rect;
  int param;
  int tag;
  std::string text; // for text controls
};

std::vector<Row> knobGroup(float x, int param, const char* label)
{
  return {{"RingKnob", {x - 26, 290, x + 26, 342}, param},
          {"Text", {x - 50, 350, x + 50, 366}, -1, -1, label},
          {"TypedCaption", {x - 40, 368, x + 40, 382}, param}};
}
std::vector<Row> timeSet(float x, int time, int note, const char* label)
{
  return {{"RingKnob", {x - 26, 290, x + 26, 342}, time},
          {"TypedCaption", {x - 40, 368, x + 40, 382}, time},
          {"RingKnob", {x - 26, 290, x + 26, 342}, note},
          {"Caption", {x - 40, 368, x + 40, 382}, note},
          {"Text", {x - 50, 350, x + 50, 366}, -1, -1, label}};
}
Row heading(float x, const char* text)
{
  return {"Text", {x, 248, x + 140, 270}, -1, -1, text};
}
Row divider(float x)
{
  return {"Panel", {x, 248, x + 1, 388}};
}

std::vector<Row> expectedLayout()
{
  std::vector<Row> rows = {
      {"Panel", {0, 0, 1000, 456}},
      {"Panel", {14, 96, 986, 402}},
      {"Text", {28, 48, 836, 82}, -1, 0, "OSTRATAPE-DELAY"},
      {"Pill", {866, 47, 972, 77}, p::kBypass},
      {"Repeats", {28, 108, 972, 232}, -1, 3},
      heading(30, "TAPE"),
      {"Meter", {14, 282, 90, 380}, -1, 2},
  };
  auto add = [&rows](const std::vector<Row>& more)
  { rows.insert(rows.end(), more.begin(), more.end()); };
  add(knobGroup(114, p::kDrive, "DRIVE"));
  add(knobGroup(182, p::kWobble, "WOBBLE"));
  rows.push_back(divider(222));
  rows.push_back(heading(238, "DELAY"));
  add(timeSet(270, p::kTimeL, p::kNoteL, "TIME L"));
  add(timeSet(342, p::kTimeR, p::kNoteR, "TIME R"));
  rows.push_back({"Link", {290, 302, 322, 330}, p::kLink});
  add(knobGroup(416, p::kFeedback, "FEEDBACK"));
  rows.push_back({"Pill", {462, 288, 558, 312}, p::kSync});
  rows.push_back({"Tap", {462, 318, 558, 342}, p::kTap});
  rows.push_back({"Pill", {462, 348, 558, 372}, p::kPingPong});
  rows.push_back(divider(574));
  rows.push_back(heading(590, "TONE"));
  add(knobGroup(622, p::kLowCut, "LOW CUT"));
  add(knobGroup(698, p::kHighCut, "HIGH CUT"));
  rows.push_back(divider(738));
  rows.push_back(heading(754, "SPACE"));
  add(knobGroup(784, p::kWidth, "WIDTH"));
  add(knobGroup(842, p::kDuck, "DUCK"));
  rows.push_back({"RingKnob", {879, 303, 913, 337}, p::kDuckRelease});
  rows.push_back({"Text", {846, 351, 946, 367}, -1, -1, "RELEASE"});
  rows.push_back({"TypedCaption", {856, 369, 936, 383}, p::kDuckRelease});
  add(knobGroup(950, p::kMix, "MIX"));
  rows.push_back({"Settings", {}}); // placed by its menu button when it opens
  rows.push_back({"Notice", {696, 47, 856, 77}});
  rows.push_back({"PresetBar", {0, 0, 1000, 32}});
  // The lockup artwork is 374 × 44: 22 units high, 187 wide.
  rows.push_back({"SVG", {28, 418, 215, 440}});
  rows.push_back({"Text", {300, 421, 972, 437}, -1, 1, ""});
  rows.push_back({"Corner", {986, 442, 998, 454}});
  return rows;
}

TEST(EditorLayout, EveryRowHasItsClassRectangleParameterTagAndText)
{
  PluginEditor<> e;
  e.plugin->GetParam(p::kLink)->Set(0.0); // the right side shows its own parameters
  ASSERT_TRUE(e.open());
  const std::vector<Row> rows = expectedLayout();
  ASSERT_EQ(e.canvas->NControls(), int(rows.size()));
  for (int i = 0; i < int(rows.size()); ++i)
  {
    const IControl* c = e.canvas->GetControl(i);
    const Row& row = rows[size_t(i)];
    SCOPED_TRACE("row " + std::to_string(i) + " " + row.kind + " " + row.text);
    EXPECT_EQ(kindOf(c), row.kind);
    EXPECT_EQ(c->GetRECT(), row.rect);
    EXPECT_EQ(c->GetParamIdx(), row.param);
    EXPECT_EQ(c->GetTag(), row.tag);
    if (row.kind == "Text")
    {
      EXPECT_EQ(static_cast<const ITextControl*>(c)->GetStr(), row.text);
    }
  }
}

TEST(EditorLayout, KnobArcsStartAtTheirAnchorsWithTheRingAndStyleOfTheDesign)
{
  PluginEditor<> e;
  e.open();
  int knobs = 0;
  for (int i = 0; i < e.canvas->NControls(); ++i)
    if (auto* knob = e.at<RingKnobControl>(i))
    {
      ++knobs;
      const int param = knob->GetParamIdx();
      const float anchor = param == p::kHighCut                         ? 135.f
                           : (param == p::kDrive || param == p::kWidth) ? 0.f
                                                                        : -135.f;
      EXPECT_EQ(knob->anchorAngle(), anchor) << param;
      EXPECT_EQ(knob->ringColor(), IColor(36, 250, 250, 250));
      EXPECT_EQ(knob->GetTrackSize(), 2.f);
      EXPECT_EQ(knob->GetGearing(), 4.0);
      const IVectorStyle& style = knob->GetStyle();
      EXPECT_FALSE(style.showLabel || style.showValue || style.drawFrame || style.drawShadows ||
                   style.hideCursor);
      EXPECT_EQ(style.widgetFrac, 0.92f);
      EXPECT_EQ(style.colorSpec[kFG], IColor(255, 19, 19, 19));
      EXPECT_EQ(style.colorSpec[kPR], IColor(255, 34, 34, 34));
      EXPECT_EQ(style.colorSpec[kFR], IColor(255, 250, 250, 250));
      EXPECT_EQ(style.colorSpec[kX1], IColor(255, 21, 232, 121));
    }
  EXPECT_EQ(knobs, 13); // eight knob groups, two time and two note knobs, the release knob
}

IColor bypassDot(PluginEditor<>& e)
{
  e.canvas->ClearCalls();
  e.canvas->DrawAll();
  for (const DrawCall& c : e.canvas->CallsOf(e.canvas->GetControl(3)))
    if (c.name == "FillEllipse")
      return c.color;
  return {};
}

TEST(EditorAccent, TheHostColourRowWithoutAHostColourDrawsLikeGreen)
{
  PluginEditor<> e;
  ASSERT_EQ(e.plugin->accentIndex(), 5u);
  const IColor green(255, 21, 232, 121);
  EXPECT_EQ(e.plugin->resolvedAccent(255), green);
  EXPECT_EQ(e.plugin->resolvedAccent(77), green.WithAlpha(77));
  e.open();
  EXPECT_EQ(bypassDot(e), green);
  e.plugin->setAccentIndex(0);
  e.tick();
  EXPECT_EQ(bypassDot(e), green);
}

TEST(EditorAccent, AnIndexOf6OrMoreActsAs0)
{
  PluginEditor<> e;
  e.plugin->setAccentIndex(2);
  EXPECT_EQ(e.plugin->setAccentIndex(6), 0u);
  EXPECT_EQ(e.plugin->accentIndex(), 0u);
  EXPECT_EQ(e.plugin->setAccentIndex(1000), 0u);
  EXPECT_EQ(e.plugin->resolvedAccent(255), IColor(255, 21, 232, 121));
  for (unsigned i = 0; i < 5; ++i)
  {
    e.plugin->setAccentIndex(i);
    const auto& row = ostratapedelay::plugin::kAccents[i];
    EXPECT_EQ(e.plugin->resolvedAccent(255), IColor(255, row.red, row.green, row.blue)) << i;
  }
}

TEST(EditorLayout, WithoutTheArtworkTheWordmarkTextStandsIn)
{
  PluginEditor<> e;
  e.plugin->setResourceFolders(
      {(std::filesystem::temp_directory_path() / "no-such-folder").string()});
  e.open();
  const auto* wordmark = e.at<ITextControl>(e.canvas->NControls() - 3);
  ASSERT_NE(wordmark, nullptr);
  EXPECT_EQ(kindOf(wordmark), "Text");
  EXPECT_EQ(std::string(wordmark->GetStr()), "OSTRATAPE-DELAY");
  EXPECT_EQ(wordmark->GetRECT(), IRECT(28, 420, 300, 438));
  EXPECT_FALSE(e.canvas->HasFont("Roboto-Regular")) << "and nothing crashed without fonts";
}

TEST(EditorLayout, TheFontsAndArtworkAreFoundBesideTheProgram)
{
  PluginEditor<> e;
  e.open();
  EXPECT_TRUE(e.canvas->HasFont("Roboto-Regular"));
  EXPECT_TRUE(e.canvas->HasFont("RobotoCondensed-Bold"));
  EXPECT_EQ(kindOf(e.canvas->GetControl(e.canvas->NControls() - 3)), "SVG");
}

} // namespace
