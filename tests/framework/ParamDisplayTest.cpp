// Text shown for parameter values, display texts, labels, typed text and the JSON record.
#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

TEST(ParamDisplay, DecimalsFollowTheStepAndZeroNeverShowsAMinus)
{
  for (const auto& [step, precision] : {std::pair{1.0, 0}, {2.0, 0}, {0.5, 1}, {0.1, 1}, {0.25, 2}, {0.01, 2},
                                        {0.07, 2}, {0.001, 3}, {0.00001, 5}, {1e-7, 6}})
  {
    IParam p;
    p.InitDouble("p", 0.0, 0.0, 10.0, step);
    EXPECT_EQ(p.GetDisplayPrecision(), precision) << "step " << step;
  }

  IParam tenth, whole, neg, negWhole, sign, signWhole;
  for (auto [p, step, flags] : {std::tuple{&tenth, 0.1, 0}, {&whole, 1.0, 0}, {&neg, 0.1, IParam::kFlagNegateDisplay},
                                {&negWhole, 1.0, IParam::kFlagNegateDisplay}, {&sign, 0.1, IParam::kFlagSignDisplay},
                                {&signWhole, 1.0, IParam::kFlagSignDisplay}})
    p->InitDouble("p", 0.0, -100.0, 3000.0, step, "", flags);
  const std::tuple<const IParam*, double, const char*> cases[] = {
    {&tenth, 250.875, "250.9"}, {&tenth, -3.0, "-3.0"}, {&whole, 2.5, "3"},      {&whole, -2.5, "-3"},
    {&whole, 2.49, "2"},        {&neg, 5.0, "-5.0"},    {&neg, -5.0, "5.0"},     {&sign, 3.0, "+3.0"},
    {&sign, -3.0, "-3.0"},      {&sign, 0.0, "0.0"},    {&signWhole, 3.0, "3"}, // sign only with decimals
    {&neg, 0.0, "0.0"},         {&tenth, -0.0, "0.0"},  {&tenth, -0.04, "0.0"}, {&negWhole, 0.4, "0"},
  };
  for (const auto& [p, value, text] : cases)
    EXPECT_EQ(Display(*p, value), text) << p->GetDisplayPrecision() << " " << value;
  std::string out;
  whole.GetDisplay(0.5, true, out); // normalised input is converted first
  EXPECT_EQ(out, "1450");
}

TEST(ParamDisplayText, FoundOnlyOnExactEqualityTheFirstMatchWinsAndTextsAreCut)
{
  IParam cut;
  cut.InitDouble("Low Cut", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  cut.SetDisplayText(20.0, "Off");
  EXPECT_EQ(Display(cut, 20.0), "Off");
  EXPECT_EQ(Display(cut, 20.0000001), "20");
  EXPECT_EQ(Display(cut, 20.0, false), "20");

  IParam p;
  p.InitInt("i", 0, 0, 5);
  p.SetDisplayText(1.0, "one");
  p.SetDisplayText(1.0, "uno");
  p.SetDisplayText(2.0, "one");
  ASSERT_EQ(p.NDisplayTexts(), 3);
  EXPECT_EQ(Display(p, 1.0), "one");
  double value = -1.0;
  EXPECT_TRUE(p.MapDisplayText("one", &value));
  EXPECT_EQ(value, 1.0);
  value = -1.0;
  EXPECT_FALSE(p.MapDisplayText("One", &value));
  EXPECT_FALSE(p.MapDisplayText(nullptr, &value));
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &value), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &value), "");
  EXPECT_EQ(value, -1.0);

  // Names, groups and texts are cut at 31 bytes; enum items beyond the count or null are ignored.
  IParam big, fewer;
  const std::string longText(40, 'x');
  big.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 1.0, longText.c_str(), 0, longText.c_str());
  big.SetDisplayText(0.0, longText.c_str());
  EXPECT_EQ(std::string(big.GetName()) + big.GetGroup() + Display(big, 0.0), std::string(93, 'x'));
  fewer.InitEnum("fewer", 0, 2, "", 0, "", {nullptr, "b", "c"});
  EXPECT_EQ(fewer.NDisplayTexts(), 1);
  EXPECT_EQ(Display(fewer, 1.0) + Display(fewer, 0.0), "b0");
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
  const std::tuple<const IParam*, const char*, double> cases[] = {
    {&b, "off", 0.0},  {&b, "on", 1.0},        {&b, "1", 0.0},     {&b, "On", 0.0},      {&e, "b", 1.0},
    {&e, "c", 2.0},    {&e, "2", 0.0},         {&d, "12.5", 12.5}, {&d, "  -12.5 ms", -12.5},
    {&d, "+7", 7.0},   {&d, "1e1", 10.0},      {&d, "12,5", 12.0}, {&d, ".5", 0.5},      {&d, "abc", 0.0},
    {&d, "", 0.0},     {&d, "1e9", 100.0},     {&d, "-inf", -100.0}, {&neg, "5", -5.0},  {&i, "2.6", 3.0},
  };
  for (const auto& [p, text, value] : cases)
    EXPECT_EQ(p->StringToValue(text), value) << p->GetName() << " \"" << text << '"';
}

TEST(ParamJSON, EscapesTheNameAndPrintsNumbersPlainly)
{
  IParam p;
  p.InitDouble("Say \"hi\"", 0.25, -1.5, 2.0, 0.01, "", 0, "", IParam::ShapePowCurve(3.0));
  EXPECT_EQ(p.GetJSON(7), "{\"id\":7,\"name\":\"Say \\\"hi\\\"\",\"type\":\"double\","
                          "\"min\":-1.5,\"max\":2,\"default\":0.25,\"display_type\":6,"
                          "\"rate\":\"control\"}");
}
