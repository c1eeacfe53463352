// The plug-in's eighteen parameters as hosts, the editor and typed text see them.
#include "plugin/NoteValues.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ostratapedelay::plugin;
using plug::IParam;

namespace
{

std::string Shown(const IParam& p, double value)
{
  std::string out;
  p.GetDisplay(value, false, out);
  return out;
}

std::string ShownWithLabel(IParam& p, double value)
{
  p.Set(value);
  std::string out;
  p.GetDisplayWithLabel(out);
  return out;
}

class PluginParameters : public testing::Test
{
protected:
  IParam& Param(EParams idx) { return *plugin.GetParam(idx); }
  OstraTapeDelay plugin;
};

} // namespace

TEST_F(PluginParameters, HostSeesEighteenNamedParametersInIndexOrder)
{
  const char* names[] = {"Bypass",    "Time L",   "Time R", "Note L",  "Note R", "Sync",
                         "Link",      "Feedback", "Ping Pong", "Drive", "Low Cut", "High Cut",
                         "Wobble",    "Width",    "Tap",    "Duck",    "Duck Release", "Mix"};
  ASSERT_EQ(plugin.NParams(), kNumParams);
  ASSERT_EQ(kNumParams, 18);
  for (int i = 0; i < kNumParams; ++i)
  {
    EXPECT_STREQ(plugin.GetParam(i)->GetName(), names[i]) << "index " << i;
    EXPECT_EQ(plugin.GetParam(i)->Unit(), plug::kUnitCustom);
    EXPECT_STREQ(plugin.GetParam(i)->GetGroup(), "");
  }
}

TEST_F(PluginParameters, DefaultsReadAsAFreshInstanceShouldSound)
{
  // What a host's generic editor shows for a new instance: defaults, precision and labels.
  const char* expected[] = {"off",  "500.0 ms", "500.0 ms", "1/4", "1/4",   "on",
                            "on",   "30.0 %",   "off",      "0.0 dB", "Off", "Off",
                            "100 %", "0",       "off",      "Off",  "400 ms", "100 %"};
  for (int i = 0; i < kNumParams; ++i)
  {
    std::string out;
    plugin.GetParam(i)->GetDisplayWithLabel(out);
    EXPECT_EQ(out, expected[i]) << plugin.GetParam(i)->GetName();
  }
}

TEST_F(PluginParameters, SwitchesAndNotesAreSteppedTheRestContinuous)
{
  for (EParams idx : {kBypass, kSync, kLink, kPingPong, kTap})
  {
    EXPECT_EQ(Param(idx).Type(), IParam::kTypeBool);
    EXPECT_TRUE(Param(idx).GetStepped());
    EXPECT_STREQ(Param(idx).GetDisplayText(0.0), "off");
    EXPECT_STREQ(Param(idx).GetDisplayText(1.0), "on");
  }
  for (EParams idx : {kNoteL, kNoteR})
  {
    EXPECT_EQ(Param(idx).Type(), IParam::kTypeEnum);
    EXPECT_EQ(Param(idx).FromNormalized(1.0), static_cast<double>(kNoteValues.size() - 1));
    EXPECT_EQ(Param(idx).FromNormalized(0.51), 9.0); // rounds 9.18 to an index
  }
  // Host automation keeps the fraction of unstepped parameters.
  Param(kFeedback).Set(33.333);
  EXPECT_EQ(Param(kFeedback).Value(), 33.333);
}

TEST_F(PluginParameters, NoteTextsFollowTheNoteTable)
{
  for (EParams idx : {kNoteL, kNoteR})
  {
    ASSERT_EQ(Param(idx).NDisplayTexts(), static_cast<int>(kNoteValues.size()));
    for (size_t i = 0; i < kNoteValues.size(); ++i)
    {
      double value = -1.0;
      EXPECT_STREQ(Param(idx).GetDisplayTextAtIdx(static_cast<int>(i), &value), kNoteValues[i].name);
      EXPECT_EQ(value, static_cast<double>(i));
      EXPECT_EQ(Param(idx).StringToValue(kNoteValues[i].name), static_cast<double>(i));
    }
    EXPECT_EQ(kNoteValues[static_cast<size_t>(Param(idx).GetDefault())].beats, 1.0);
  }
}

TEST_F(PluginParameters, TimeMovesAlongACubicCurve)
{
  IParam& time = Param(kTimeL);
  const double middle = time.FromNormalized(0.5);
  // Half the travel covers an eighth of the range.
  EXPECT_DOUBLE_EQ((middle - time.GetMin()) / (time.GetMax() - time.GetMin()), 0.125);
  EXPECT_EQ(ShownWithLabel(time, middle), "250.9 ms");
  EXPECT_DOUBLE_EQ(time.ToNormalized(middle), 0.5);
  EXPECT_EQ(Param(kTimeR).FromNormalized(0.5), middle);
  EXPECT_EQ(time.GetDisplayType(), plug::kDisplayCubeRoot);
}

TEST_F(PluginParameters, CutsAndDuckReleaseMoveExponentially)
{
  for (EParams idx : {kLowCut, kHighCut, kDuckRelease})
  {
    IParam& p = Param(idx);
    // The middle of an exponential travel is the geometric mean of its ends.
    EXPECT_NEAR(p.FromNormalized(0.5), std::sqrt(p.GetMin() * p.GetMax()), 1e-9) << p.GetName();
    EXPECT_EQ(p.GetDisplayType(), plug::kDisplayLog);
  }
  EXPECT_EQ(ShownWithLabel(Param(kLowCut), Param(kLowCut).FromNormalized(0.5)), "200 Hz");
  EXPECT_EQ(ShownWithLabel(Param(kHighCut), Param(kHighCut).FromNormalized(0.5)), "4472 Hz");
  EXPECT_EQ(ShownWithLabel(Param(kDuckRelease), Param(kDuckRelease).FromNormalized(0.5)), "316 ms");
}

TEST_F(PluginParameters, OffIsShownOnlyAtTheExactEndValue)
{
  IParam& low = Param(kLowCut);
  IParam& high = Param(kHighCut);
  IParam& duck = Param(kDuck);
  EXPECT_EQ(ShownWithLabel(low, low.GetMin()), "Off");
  EXPECT_EQ(ShownWithLabel(low, low.GetMin() + 1e-7), "20 Hz");
  EXPECT_EQ(ShownWithLabel(high, high.GetMax()), "Off");
  EXPECT_EQ(ShownWithLabel(high, high.GetMax() - 1e-7), "20000 Hz");
  EXPECT_EQ(ShownWithLabel(duck, 0.0), "Off");
  EXPECT_EQ(ShownWithLabel(duck, 0.1), "0.1 dB");
  EXPECT_EQ(ShownWithLabel(duck, 0.04), "0.0 dB");
  EXPECT_EQ(Shown(duck, 0.0), "Off");
}

TEST_F(PluginParameters, TypedTextUsesNamesAndDecimalPoints)
{
  EXPECT_EQ(Param(kBypass).StringToValue("on"), 1.0);
  EXPECT_EQ(Param(kSync).StringToValue("1"), 0.0);
  EXPECT_EQ(Param(kNoteL).StringToValue("1/8D"), 12.0);
  EXPECT_EQ(Param(kLowCut).StringToValue("Off"), 20.0);
  EXPECT_EQ(Param(kLowCut).StringToValue("5"), 20.0);
  EXPECT_EQ(Param(kTimeL).StringToValue("250.5 ms"), 250.5);
  EXPECT_EQ(Param(kWidth).StringToValue("-150"), -100.0);
}

TEST_F(PluginParameters, DefaultStateRoundTripsThroughTheBareParameterList)
{
  Param(kTimeL).Set(123.4);
  Param(kNoteR).Set(3.0);
  Param(kPingPong).Set(1.0);
  plug::IByteChunk chunk;
  ASSERT_TRUE(plugin.SerializeParams(chunk));
  EXPECT_EQ(chunk.ByteCount(), kNumParams * 8);

  OstraTapeDelay other;
  EXPECT_EQ(other.UnserializeParams(chunk, 0), chunk.ByteCount());
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(other.GetParam(i)->Value(), plugin.GetParam(i)->Value()) << i;
}
