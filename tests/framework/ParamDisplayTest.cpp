// Text shown for parameter values, display texts, labels, typed text and the JSON record.
#include "framework/IParam.h"

#include <gtest/gtest.h>

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

IParam& Double(IParam& p, double step, int flags = 0, double min = -100.0, double max = 3000.0)
{
  p.InitDouble("p", 0.0, min, max, step, "", flags);
  return p;
}

} // namespace

TEST(ParamDisplay, DecimalsFollowTheStep)
{
  const std::pair<double, int> cases[] = {{1.0, 0},   {2.0, 0},   {0.5, 1},   {0.1, 1},     {0.25, 2},
                                          {0.01, 2},  {0.07, 2},  {0.001, 3}, {0.00001, 5}, {1e-7, 6}};
  for (const auto& [step, precision] : cases)
  {
    IParam p;
    EXPECT_EQ(Double(p, step).GetDisplayPrecision(), precision) << "step " << step;
  }
}

TEST(ParamDisplay, NumbersRoundSignAndNegateAndZeroNeverShowsAMinus)
{
  IParam tenth, whole, neg, negWhole, sign, signWhole;
  Double(tenth, 0.1);
  Double(whole, 1.0);
  Double(neg, 0.1, IParam::kFlagNegateDisplay);
  Double(negWhole, 1.0, IParam::kFlagNegateDisplay);
  Double(sign, 0.1, IParam::kFlagSignDisplay);
  Double(signWhole, 1.0, IParam::kFlagSignDisplay);
  const struct
  {
    const IParam& p;
    double value;
    const char* text;
  } cases[] = {
    {tenth, 250.875, "250.9"}, {tenth, -3.0, "-3.0"}, {whole, 2.5, "3"},      {whole, -2.5, "-3"},
    {whole, 2.49, "2"},        {neg, 5.0, "-5.0"},    {neg, -5.0, "5.0"},     {sign, 3.0, "+3.0"},
    {sign, -3.0, "-3.0"},      {sign, 0.0, "0.0"},    {signWhole, 3.0, "3"}, // sign only with decimals
    {neg, 0.0, "0.0"},         {tenth, -0.0, "0.0"},  {tenth, -0.04, "0.0"}, {negWhole, 0.0, "0"},
    {negWhole, 0.4, "0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Display(c.p, c.value), c.text) << c.value;

  tenth.SetDisplayPrecision(3);
  EXPECT_EQ(Display(tenth, 1.0 / 3.0), "0.333");
  IParam wide;
  std::string out;
  Double(wide, 1.0, 0, 0.0, 200.0).GetDisplay(0.5, true, out); // normalised input is converted first
  EXPECT_EQ(out, "100");
}

TEST(ParamDisplayText, FoundOnlyOnExactEqualityAndTheFirstMatchWins)
{
  IParam cut;
  cut.InitDouble("Low Cut", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  cut.SetDisplayText(20.0, "Off");
  EXPECT_EQ(Display(cut, 20.0), "Off");
  EXPECT_EQ(Display(cut, 20.0000001), "20");
  EXPECT_EQ(Display(cut, 20.0, false), "20");
  EXPECT_STREQ(cut.GetDisplayText(20.0000001), "");

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
  for (const char* text : {"one", "uno"})
  {
    value = -1.0;
    EXPECT_TRUE(p.MapDisplayText(text, &value));
    EXPECT_EQ(value, 1.0) << text;
  }
  value = -1.0;
  EXPECT_FALSE(p.MapDisplayText("One", &value));
  EXPECT_FALSE(p.MapDisplayText(nullptr, &value));
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &value), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &value), "");
  EXPECT_EQ(value, -1.0);
}

TEST(ParamDisplayText, TextsAreCutAt31BytesAndADisplayFunctionOverridesAll)
{
  IParam p;
  const std::string longText(40, 'x');
  p.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 1.0, longText.c_str(), 0, longText.c_str());
  p.SetDisplayText(0.0, longText.c_str());
  EXPECT_EQ(std::string(p.GetName()), std::string(31, 'x'));
  EXPECT_EQ(std::string(p.GetGroup()), std::string(31, 'x'));
  EXPECT_EQ(Display(p, 0.0), std::string(31, 'x'));

  IParam f;
  f.InitDouble("f", 0.0, 0.0, 10.0, 1.0, "", 0, "", IParam::ShapeLinear(), plug::kUnitCustom,
               [](double v, std::string& out) { out = "v=" + std::to_string(static_cast<int>(v)); });
  f.SetDisplayText(3.0, "three");
  EXPECT_EQ(Display(f, 3.0), "v=3");
  std::string out;
  f.GetDisplay(1.0, true, out);
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
  EXPECT_EQ(WithLabel(cut, 20.4), "20 Hz"); // a number next to a named value keeps its unit
  EXPECT_EQ(WithLabel(duck, 0.0), "Off");
  EXPECT_EQ(WithLabel(duck, 0.5), "0.5 dB");
  EXPECT_EQ(WithLabel(plain, -40.0), "-40");
}

TEST(ParamTextEntry, BoolsAndEnumsTakeOnlyTheirTextsAndNumbersReadLikeTheCLocale)
{
  IParam b, e, d, neg, i;
  b.InitBool("b", true);
  e.InitEnum("e", 2, 3, "", 0, "", {"a", "b", "c"});
  d.InitDouble("d", 0.0, -100.0, 100.0, 0.1, "ms");
  neg.InitDouble("n", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagNegateDisplay);
  i.InitInt("i", 0, 0, 10);
  const struct
  {
    const IParam& p;
    const char* text;
    double value;
  } cases[] = {
    {b, "off", 0.0},        {b, "on", 1.0},          {b, "1", 0.0},    {b, "On", 0.0},     {e, "b", 1.0},
    {e, "c", 2.0},          {e, "2", 0.0},           {d, "12.5", 12.5}, {d, "  -12.5 ms", -12.5},
    {d, "+7", 7.0},         {d, "1e1", 10.0},        {d, "12,5", 12.0}, {d, ".5", 0.5},     {d, "abc", 0.0},
    {d, "", 0.0},           {d, "1e9", 100.0},       {d, "-inf", -100.0}, {neg, "5", -5.0}, {i, "2.6", 3.0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.p.StringToValue(c.text), c.value) << c.p.GetName() << " \"" << c.text << '"';
}

TEST(ParamInitialisers, EnumsPitchesAndConvenienceFormsCarryTheirTextsAndUnits)
{
  IParam more, fewer;
  more.InitEnum("more", 0, 2, "", 0, "", {"a", "b", "c"});
  fewer.InitEnum("fewer", 0, 3, "", 0, "", {"a", nullptr, "c"});
  EXPECT_EQ(more.NDisplayTexts(), 2);
  EXPECT_EQ(fewer.NDisplayTexts(), 2);
  EXPECT_EQ(Display(fewer, 2.0), "c");
  EXPECT_EQ(Display(fewer, 1.0), "1");

  IParam pitch;
  pitch.InitPitch("pitch", 60, 0, 127);
  EXPECT_EQ(pitch.NDisplayTexts(), 128);
  EXPECT_TRUE(pitch.GetStepped());
  EXPECT_EQ(WithLabel(pitch, 60.0) + " " + WithLabel(pitch, 69.0) + " " + WithLabel(pitch, 0.0) + " " +
              WithLabel(pitch, 13.0),
            "C4 A4 C-1 C#0");
  EXPECT_EQ(pitch.StringToValue("A#4"), 70.0);

  IParam freq, secs, ms, gain, pct, deg;
  freq.InitFrequency("f");
  secs.InitSeconds("s");
  ms.InitMilliseconds("ms", 10.0, 0.0, 100.0);
  gain.InitGain("g");
  pct.InitPercentage("p");
  deg.InitAngleDegrees("a");
  const struct
  {
    IParam& p;
    double value;
    const char* text;
    plug::EParamUnit unit;
  } forms[] = {{freq, 1000.0, "1000.0 Hz", plug::kUnitFrequency},  {secs, 1.5, "1.5 Seconds", plug::kUnitSeconds},
               {ms, 12.4, "12 ms", plug::kUnitMilliseconds},        {gain, -6.0, "-6.0 dB", plug::kUnitDB},
               {pct, 50.0, "50 %", plug::kUnitPercentage},          {deg, 90.0, "90 degrees", plug::kUnitDegrees}};
  for (const auto& f : forms)
  {
    EXPECT_EQ(WithLabel(f.p, f.value), f.text);
    EXPECT_EQ(f.p.Unit(), f.unit) << f.text;
  }
  EXPECT_EQ(freq.GetDisplayType(), plug::kDisplayLog);
}

TEST(ParamJSON, DescribesTheParameterForHosts)
{
  IParam p, b;
  p.InitDouble("Say \"hi\"", 0.25, -1.5, 2.0, 0.01, "", 0, "", IParam::ShapePowCurve(3.0));
  EXPECT_EQ(p.GetJSON(7), "{\"id\":7,\"name\":\"Say \\\"hi\\\"\",\"type\":\"double\","
                          "\"min\":-1.5,\"max\":2,\"default\":0.25,\"display_type\":6,"
                          "\"rate\":\"control\"}");
  b.InitBool("b", true);
  EXPECT_NE(b.GetJSON(0).find("\"type\":\"bool\""), std::string::npos);
  EXPECT_NE(b.GetJSON(0).find("\"default\":1,"), std::string::npos);
}
