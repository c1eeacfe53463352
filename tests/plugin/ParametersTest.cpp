// The parameter table, the note values and the configuration as hosts and typed text see them.
#include "plugin/NoteValues.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace ostratapedelay::plugin;
using plug::IParam;

namespace
{

std::string shown(IParam& p, double value)
{
  p.Set(value);
  std::string out;
  p.GetDisplayWithLabel(out);
  return out;
}

} // namespace

TEST(NoteValues, LengthsFollowTheirNamesAndDamagedIndicesFallBackToAQuarter)
{
  auto beatsOf = [](const std::string& name) {
    for (const NoteValue& n : kNoteValues)
      if (name == n.name)
        return n.beats;
    ADD_FAILURE() << "no " << name;
    return 0.0;
  };
  ASSERT_EQ(kNoteValues.size(), 19u);
  for (size_t i = 0; i < kNoteValues.size(); ++i)
  {
    std::string name = kNoteValues[i].name;
    SCOPED_TRACE(name);
    if (i > 0)
    {
      EXPECT_LT(kNoteValues[i - 1].beats, kNoteValues[i].beats); // ordered by length
    }
    const char kind = name.back();
    const double beats = kNoteValues[i].beats;
    if (name == "Whole")
      EXPECT_EQ(beats, 4.0);
    else if (kind == 'T' || kind == 'D')
      EXPECT_DOUBLE_EQ(beats, beatsOf(name.substr(0, name.size() - 1)) * (kind == 'T' ? 2.0 / 3.0 : 1.5));
    else
      EXPECT_DOUBLE_EQ(beats, 4.0 / std::stoi(name.substr(2)));
  }
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, int> indices[] = {{0.0, 0},   {12.9, 12}, {18.0, 18},  {-0.5, 0},          {19.0, 13},
                                            {-1.0, 13}, {1e300, 13}, {-inf, 13}, {std::nan(""), 13}};
  for (auto [stored, index] : indices)
    EXPECT_EQ(noteValueIndex(stored), index) << stored;
}

TEST(Parameters, HostSeesTheTableInIndexOrderWithItsDefaults)
{
  struct Row { const char* name; IParam::EParamType type; const char* shownDefault; };
  const auto b = IParam::kTypeBool, d = IParam::kTypeDouble, e = IParam::kTypeEnum;
  const Row rows[] = {{"Bypass", b, "off"},      {"Time L", d, "500.0 ms"}, {"Time R", d, "500.0 ms"},
                      {"Note L", e, "1/4"},      {"Note R", e, "1/4"},      {"Sync", b, "on"},
                      {"Link", b, "on"},         {"Feedback", d, "30.0 %"}, {"Ping Pong", b, "off"},
                      {"Drive", d, "0.0 dB"},    {"Low Cut", d, "Off"},     {"High Cut", d, "Off"},
                      {"Wobble", d, "100 %"},    {"Width", d, "0"},         {"Tap", b, "off"},
                      {"Duck", d, "Off"},        {"Duck Release", d, "400 ms"}, {"Mix", d, "100 %"}};
  OstraTapeDelay plugin;
  ASSERT_EQ(plugin.NParams(), 18);
  for (int i = 0; i < kNumParams; ++i)
  {
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    IParam& p = *plugin.GetParam(i);
    EXPECT_STREQ(p.GetName(), row.name);
    EXPECT_EQ(p.Type(), row.type);
    EXPECT_EQ(p.Unit(), plug::kUnitCustom);
    EXPECT_STREQ(p.GetGroup(), "");
    EXPECT_EQ(shown(p, p.Value()), row.shownDefault);
    if (row.type == b)
    {
      EXPECT_TRUE(p.GetStepped());
      EXPECT_STREQ(p.GetDisplayText(0.0), "off");
      EXPECT_STREQ(p.GetDisplayText(1.0), "on");
    }
  }
  // Host automation keeps the fraction of unstepped parameters.
  plugin.GetParam(kFeedback)->Set(33.333);
  EXPECT_EQ(plugin.GetParam(kFeedback)->Value(), 33.333);
}

TEST(Parameters, NoteTextsFollowTheNoteTable)
{
  OstraTapeDelay plugin;
  for (EParams idx : {kNoteL, kNoteR})
  {
    IParam& p = *plugin.GetParam(idx);
    ASSERT_EQ(p.NDisplayTexts(), 19);
    for (int i = 0; i < 19; ++i)
    {
      double value = -1.0;
      EXPECT_STREQ(p.GetDisplayTextAtIdx(i, &value), kNoteValues[size_t(i)].name);
      EXPECT_EQ(value, i);
      EXPECT_EQ(p.StringToValue(kNoteValues[size_t(i)].name), i);
    }
    EXPECT_EQ(p.FromNormalized(1.0), 18.0);
    EXPECT_EQ(p.FromNormalized(0.51), 9.0); // rounds 9.18 to an index
  }
}

TEST(Parameters, CurvesAndOffTextsAtTheExactEnds)
{
  OstraTapeDelay plugin;
  auto p = [&](EParams idx) -> IParam& { return *plugin.GetParam(idx); };
  IParam& time = p(kTimeL);
  // Cubic: half the travel covers an eighth of the range.
  EXPECT_DOUBLE_EQ(time.FromNormalized(0.5), 250.875);
  EXPECT_DOUBLE_EQ(time.ToNormalized(250.875), 0.5);
  EXPECT_EQ(p(kTimeR).FromNormalized(0.5), time.FromNormalized(0.5));
  // Exponential: the middle of the travel is the geometric mean of the ends.
  for (EParams idx : {kLowCut, kHighCut, kDuckRelease})
    EXPECT_NEAR(p(idx).FromNormalized(0.5), std::sqrt(p(idx).GetMin() * p(idx).GetMax()), 1e-9) << idx;

  struct Case { EParams idx; double value; const char* text; };
  const Case cases[] = {{kTimeL, 250.875, "250.9 ms"},
                        {kLowCut, p(kLowCut).FromNormalized(0.5), "200 Hz"},
                        {kHighCut, p(kHighCut).FromNormalized(0.5), "4472 Hz"},
                        {kDuckRelease, p(kDuckRelease).FromNormalized(0.5), "316 ms"},
                        {kLowCut, 20.0, "Off"},
                        {kLowCut, 20.0 + 1e-7, "20 Hz"},
                        {kHighCut, 20000.0, "Off"},
                        {kHighCut, 20000.0 - 1e-7, "20000 Hz"},
                        {kDuck, 0.0, "Off"},
                        {kDuck, 0.1, "0.1 dB"},
                        {kDuck, 0.04, "0.0 dB"}};
  for (const Case& c : cases)
    EXPECT_EQ(shown(p(c.idx), c.value), c.text) << c.idx << " at " << c.value;
}

TEST(Parameters, TypedTextUsesNamesAndDecimalPoints)
{
  OstraTapeDelay plugin;
  struct Case { EParams idx; const char* text; double value; };
  const Case cases[] = {{kBypass, "on", 1.0},      {kSync, "1", 0.0},          {kNoteL, "1/8D", 12.0},
                        {kLowCut, "Off", 20.0},    {kLowCut, "5", 20.0},       {kTimeL, "250.5 ms", 250.5},
                        {kWidth, "-150", -100.0}};
  for (const Case& c : cases)
    EXPECT_EQ(plugin.GetParam(c.idx)->StringToValue(c.text), c.value) << c.text;
}

TEST(PluginConfig, VersionEditorLimitsAndChannelLayouts)
{
  const plug::Config c = makeConfig();
  const int v = c.vendorVersion;
  EXPECT_EQ(std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF),
            kUpdateVersion);
  // The limits contain the design size and keep its aspect ratio.
  EXPECT_TRUE(c.plugMinWidth <= c.plugWidth && c.plugWidth <= c.plugMaxWidth);
  EXPECT_TRUE(c.plugMinHeight <= c.plugHeight && c.plugHeight <= c.plugMaxHeight);
  EXPECT_EQ(c.plugMinWidth * c.plugHeight, c.plugMinHeight * c.plugWidth);
  EXPECT_EQ(c.plugMaxWidth * c.plugHeight, c.plugMaxHeight * c.plugWidth);

  OstraTapeDelay plugin;
  const int layouts[][3] = {{1, 1, true}, {1, 2, true}, {2, 2, true}, {2, 1, false}, {0, 2, false}};
  for (auto [in, out, legal] : layouts)
    EXPECT_EQ(plugin.LegalIO(in, out), bool(legal)) << in << "-" << out;
  EXPECT_EQ(plugin.GetLatency(), 0);
}
