// Text shown for parameter values, display texts, labels, typed text and the JSON record.
#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using plug::IParam;

namespace
{

std::string Display(const IParam& p, double value, bool withDisplayText = true)
{
  std::string out = "stale";
  p.GetDisplay(value, false, out, withDisplayText);
  return out;
}

std::string WithLabel(IParam& p, double value)
{
  p.Set(value);
  std::string out;
  p.GetDisplayWithLabel(out);
  return out;
}

} // namespace

TEST(ParamPrecision, DecimalsFollowTheStep)
{
  struct Case
  {
    double step;
    int precision;
  };
  const Case cases[] = {{1.0, 0}, {2.0, 0}, {0.5, 1}, {0.1, 1}, {0.25, 2}, {0.01, 2},
                        {0.07, 2}, {0.001, 3}, {0.00001, 5}, {1e-7, 6}};
  for (const Case& c : cases)
  {
    IParam p;
    p.InitDouble("p", 0.0, 0.0, 10.0, c.step);
    EXPECT_EQ(p.GetDisplayPrecision(), c.precision) << "step " << c.step;
  }
}

TEST(ParamDisplay, NumbersUseThePrecision)
{
  IParam tenth, whole;
  tenth.InitDouble("t", 0.0, -100.0, 3000.0, 0.1);
  whole.InitDouble("w", 0.0, -100.0, 100.0, 1.0);
  EXPECT_EQ(Display(tenth, 250.875), "250.9");
  EXPECT_EQ(Display(tenth, -3.0), "-3.0");
  EXPECT_EQ(Display(whole, 2.5), "3");
  EXPECT_EQ(Display(whole, -2.5), "-3");
  EXPECT_EQ(Display(whole, 2.49), "2");
  tenth.SetDisplayPrecision(3);
  EXPECT_EQ(Display(tenth, 1.0 / 3.0), "0.333");
}

TEST(ParamDisplay, NormalisedInputIsConvertedFirst)
{
  IParam p;
  p.InitDouble("p", 0.0, 0.0, 200.0, 1.0);
  std::string out;
  p.GetDisplay(0.5, true, out);
  EXPECT_EQ(out, "100");
}

TEST(ParamDisplay, NegateAndSignFlags)
{
  IParam neg, sign, signWhole;
  neg.InitDouble("n", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagNegateDisplay);
  sign.InitDouble("s", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagSignDisplay);
  signWhole.InitDouble("sw", 0.0, -10.0, 10.0, 1.0, "", IParam::kFlagSignDisplay);
  EXPECT_EQ(Display(neg, 5.0), "-5.0");
  EXPECT_EQ(Display(neg, -5.0), "5.0");
  EXPECT_EQ(Display(sign, 3.0), "+3.0");
  EXPECT_EQ(Display(sign, -3.0), "-3.0");
  EXPECT_EQ(Display(sign, 0.0), "0.0");
  // The sign is only forced when decimals are shown.
  EXPECT_EQ(Display(signWhole, 3.0), "3");
}

TEST(ParamDisplay, ZeroNeverShowsAMinus)
{
  IParam neg, tenth, whole;
  neg.InitDouble("n", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagNegateDisplay);
  tenth.InitDouble("t", 0.0, -10.0, 10.0, 0.1);
  whole.InitDouble("w", 0.0, -10.0, 10.0, 1.0, "", IParam::kFlagNegateDisplay);
  EXPECT_EQ(Display(neg, 0.0), "0.0");
  EXPECT_EQ(Display(tenth, -0.0), "0.0");
  EXPECT_EQ(Display(tenth, -0.04), "0.0");
  EXPECT_EQ(Display(whole, 0.0), "0");
  EXPECT_EQ(Display(whole, 0.4), "0");
}

TEST(ParamDisplayText, FoundOnlyOnExactEquality)
{
  IParam p;
  p.InitDouble("Low Cut", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  p.SetDisplayText(20.0, "Off");
  EXPECT_EQ(Display(p, 20.0), "Off");
  EXPECT_EQ(Display(p, 20.0000001), "20");
  EXPECT_EQ(Display(p, 20.0, false), "20");
  EXPECT_STREQ(p.GetDisplayText(20.0), "Off");
  EXPECT_STREQ(p.GetDisplayText(20.0000001), "");
}

TEST(ParamDisplayText, EntriesAppendAndTheFirstMatchWins)
{
  IParam p;
  p.InitInt("i", 0, 0, 5);
  p.SetDisplayText(1.0, "one");
  p.SetDisplayText(1.0, "uno");
  p.SetDisplayText(2.0, "one");
  ASSERT_EQ(p.NDisplayTexts(), 3);
  EXPECT_EQ(Display(p, 1.0), "one");
  double value = -1.0;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(1, &value), "uno");
  EXPECT_EQ(value, 1.0);
  EXPECT_TRUE(p.MapDisplayText("one", &value));
  EXPECT_EQ(value, 1.0);
  EXPECT_TRUE(p.MapDisplayText("uno", &value));
  EXPECT_EQ(value, 1.0);
  value = -1.0;
  EXPECT_FALSE(p.MapDisplayText("One", &value));
  EXPECT_FALSE(p.MapDisplayText(nullptr, &value));
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &value), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &value), "");
  EXPECT_EQ(value, -1.0);
}

TEST(ParamDisplayText, TextsAreCutAt31Bytes)
{
  IParam p;
  const std::string longText(40, 'x');
  p.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 1.0, longText.c_str(), 0, longText.c_str());
  p.SetDisplayText(0.0, longText.c_str());
  EXPECT_EQ(std::string(p.GetName()), std::string(31, 'x'));
  EXPECT_EQ(std::string(p.GetGroup()), std::string(31, 'x'));
  EXPECT_EQ(Display(p, 0.0), std::string(31, 'x'));
}

TEST(ParamDisplayFunction, OverridesTextsAndNumbers)
{
  IParam p;
  p.InitDouble("f", 0.0, 0.0, 10.0, 1.0, "", 0, "", IParam::ShapeLinear(), plug::kUnitCustom,
               [](double v, std::string& out) { out = "v=" + std::to_string(static_cast<int>(v)); });
  p.SetDisplayText(3.0, "three");
  EXPECT_TRUE(p.HasDisplayFunction());
  EXPECT_EQ(Display(p, 3.0), "v=3");
  std::string out;
  p.GetDisplay(1.0, true, out);
  EXPECT_EQ(out, "v=10");
}

TEST(ParamLabel, SuppressedOnlyWhileADisplayTextIsShown)
{
  IParam cut, duck, plain;
  cut.InitDouble("cut", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  cut.SetDisplayText(20.0, "Off");
  duck.InitDouble("duck", 0.0, 0.0, 24.0, 0.1, "dB");
  duck.SetDisplayText(0.0, "Off");
  plain.InitDouble("plain", 0.0, -100.0, 100.0, 1.0);

  EXPECT_EQ(WithLabel(cut, 20.0), "Off");
  EXPECT_STREQ(cut.GetLabel(), "");
  EXPECT_EQ(WithLabel(cut, 500.0), "500 Hz");
  EXPECT_STREQ(cut.GetLabel(), "Hz");
  // Numbers next to a named value keep their unit.
  EXPECT_EQ(WithLabel(cut, 20.4), "20 Hz");
  EXPECT_EQ(WithLabel(duck, 0.0), "Off");
  EXPECT_EQ(WithLabel(duck, 0.5), "0.5 dB");
  EXPECT_EQ(WithLabel(plain, -40.0), "-40");
}

TEST(ParamTextEntry, BoolsAndEnumsTakeOnlyTheirTexts)
{
  IParam b, e;
  b.InitBool("b", true);
  e.InitEnum("e", 2, 3, "", 0, "", {"a", "b", "c"});
  EXPECT_EQ(b.StringToValue("off"), 0.0);
  EXPECT_EQ(b.StringToValue("on"), 1.0);
  EXPECT_EQ(b.StringToValue("1"), 0.0);
  EXPECT_EQ(b.StringToValue("On"), 0.0);
  EXPECT_EQ(e.StringToValue("b"), 1.0);
  EXPECT_EQ(e.StringToValue("c"), 2.0);
  EXPECT_EQ(e.StringToValue("2"), 0.0);
}

TEST(ParamTextEntry, NumbersAreReadLikeTheCLocale)
{
  IParam d, neg, i;
  d.InitDouble("d", 0.0, -100.0, 100.0, 0.1, "ms");
  neg.InitDouble("n", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagNegateDisplay);
  i.InitInt("i", 0, 0, 10);
  EXPECT_EQ(d.StringToValue("12.5"), 12.5);
  EXPECT_EQ(d.StringToValue("  -12.5 ms"), -12.5);
  EXPECT_EQ(d.StringToValue("+7"), 7.0);
  EXPECT_EQ(d.StringToValue("1e1"), 10.0);
  EXPECT_EQ(d.StringToValue("12,5"), 12.0);
  EXPECT_EQ(d.StringToValue(".5"), 0.5);
  EXPECT_EQ(d.StringToValue("abc"), 0.0);
  EXPECT_EQ(d.StringToValue(""), 0.0);
  EXPECT_EQ(d.StringToValue("1e9"), 100.0);
  EXPECT_EQ(d.StringToValue("-inf"), -100.0);
  EXPECT_EQ(neg.StringToValue("5"), -5.0);
  EXPECT_EQ(i.StringToValue("2.6"), 3.0);
}

TEST(ParamInitialisers, EnumItemsBeyondTheCountOrNullAreIgnored)
{
  IParam more, fewer;
  more.InitEnum("more", 0, 2, "", 0, "", {"a", "b", "c"});
  fewer.InitEnum("fewer", 0, 3, "", 0, "", {"a", nullptr, "c"});
  EXPECT_EQ(more.NDisplayTexts(), 2);
  EXPECT_EQ(fewer.NDisplayTexts(), 2);
  EXPECT_EQ(Display(fewer, 2.0), "c");
  EXPECT_EQ(Display(fewer, 1.0), "1");
}

TEST(ParamInitialisers, PitchNamesEverySemitone)
{
  IParam p;
  p.InitPitch("pitch", 60, 0, 127);
  EXPECT_EQ(p.NDisplayTexts(), 128);
  EXPECT_TRUE(p.GetStepped());
  EXPECT_EQ(WithLabel(p, 60.0), "C4");
  EXPECT_EQ(WithLabel(p, 69.0), "A4");
  EXPECT_EQ(WithLabel(p, 0.0), "C-1");
  EXPECT_EQ(WithLabel(p, 13.0), "C#0");
  EXPECT_EQ(p.StringToValue("A#4"), 70.0);
}

TEST(ParamInitialisers, ConvenienceFormsCarryTheirUnits)
{
  IParam freq, secs, ms, gain, pct, deg;
  freq.InitFrequency("f");
  secs.InitSeconds("s");
  ms.InitMilliseconds("ms", 10.0, 0.0, 100.0);
  gain.InitGain("g");
  pct.InitPercentage("p");
  deg.InitAngleDegrees("a");
  EXPECT_EQ(freq.Unit(), plug::kUnitFrequency);
  EXPECT_EQ(freq.GetDisplayType(), plug::kDisplayLog);
  EXPECT_EQ(WithLabel(freq, 1000.0), "1000.0 Hz");
  EXPECT_EQ(WithLabel(secs, 1.5), "1.5 Seconds");
  EXPECT_EQ(secs.Unit(), plug::kUnitSeconds);
  EXPECT_EQ(WithLabel(ms, 12.4), "12 ms");
  EXPECT_EQ(ms.Unit(), plug::kUnitMilliseconds);
  EXPECT_EQ(WithLabel(gain, -6.0), "-6.0 dB");
  EXPECT_EQ(gain.Unit(), plug::kUnitDB);
  EXPECT_EQ(WithLabel(pct, 50.0), "50 %");
  EXPECT_EQ(pct.Unit(), plug::kUnitPercentage);
  EXPECT_EQ(WithLabel(deg, 90.0), "90 degrees");
  EXPECT_EQ(deg.Unit(), plug::kUnitDegrees);
  EXPECT_EQ(freq.Type(), IParam::kTypeDouble);
}

TEST(ParamJSON, DescribesTheParameterForHosts)
{
  IParam p;
  p.InitDouble("Say \"hi\"", 0.25, -1.5, 2.0, 0.01, "", 0, "", IParam::ShapePowCurve(3.0));
  EXPECT_EQ(p.GetJSON(7), "{\"id\":7,\"name\":\"Say \\\"hi\\\"\",\"type\":\"double\","
                          "\"min\":-1.5,\"max\":2,\"default\":0.25,\"display_type\":6,"
                          "\"rate\":\"control\"}");
  IParam b;
  b.InitBool("b", true);
  const std::string json = b.GetJSON(0);
  EXPECT_NE(json.find("\"type\":\"bool\""), std::string::npos);
  EXPECT_NE(json.find("\"default\":1,"), std::string::npos);
}
