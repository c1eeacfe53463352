// Text shown for parameter values, display texts and labels.
#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using plug::IParam;

namespace
{

std::string Display(const IParam& p, double value, bool withDisplayText = true)
{
  std::string out = "stale";
  p.GetDisplay(value, false, out, withDisplayText);
  return out;
}

} // namespace

TEST(ParamDisplay, DecimalsFollowTheStepAndZeroNeverShowsAMinus)
{
  for (const auto& [step, precision] : {std::pair{1.0, 0},
                                        {2.0, 0},
                                        {0.5, 1},
                                        {0.1, 1},
                                        {0.25, 2},
                                        {0.01, 2},
                                        {0.07, 2},
                                        {0.001, 3},
                                        {0.00001, 5},
                                        {1e-7, 6}})
  {
    IParam p;
    p.InitDouble("p", 0.0, 0.0, 10.0, step);
    EXPECT_EQ(p.GetDisplayPrecision(), precision) << "step " << step;
  }

  IParam tenth, whole, neg, negWhole, sign, signWhole;
  for (auto [p, step, flags] : {std::tuple{&tenth, 0.1, 0},
                                {&whole, 1.0, 0},
                                {&neg, 0.1, IParam::kFlagNegateDisplay},
                                {&negWhole, 1.0, IParam::kFlagNegateDisplay},
                                {&sign, 0.1, IParam::kFlagSignDisplay},
                                {&signWhole, 1.0, IParam::kFlagSignDisplay}})
    p->InitDouble("p", 0.0, -100.0, 3000.0, step, "", flags);
  const std::tuple<const IParam*, double, const char*> cases[] = {
      {&tenth, 250.875, "250.9"}, {&tenth, -3.0, "-3.0"}, {&whole, 2.5, "3"},
      {&whole, -2.5, "-3"},       {&whole, 2.49, "2"},    {&neg, 5.0, "-5.0"},
      {&neg, -5.0, "5.0"},        {&sign, 3.0, "+3.0"},   {&sign, -3.0, "-3.0"},
      {&sign, 0.0, "0.0"},        {&signWhole, 3.0, "3"}, // sign only with decimals
      {&neg, 0.0, "0.0"},         {&tenth, -0.0, "0.0"},  {&tenth, -0.04, "0.0"},
      {&negWhole, 0.4, "0"},
  };
  for (const auto& [p, value, text] : cases)
    EXPECT_EQ(Display(*p, value), text) << p->GetDisplayPrecision() << " " << value;
}

TEST(ParamDisplayText, FoundOnlyOnExactEqualityTheFirstMatchWinsAndTextsAreCut)
{
  IParam cut, p, big, fewer;
  cut.InitDouble("Low Cut", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  cut.SetDisplayText(20.0, "Off");
  p.InitInt("i", 0, 0, 5);
  for (const auto& [value, text] : {std::pair{1.0, "one"}, {1.0, "uno"}, {2.0, "one"}})
    p.SetDisplayText(value, text);
  // Names, groups and texts are cut at 31 bytes; enum items beyond the count or null are ignored.
  const std::string longText(40, 'x');
  big.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 1.0, longText.c_str(), 0, longText.c_str());
  big.SetDisplayText(0.0, longText.c_str());
  fewer.InitEnum("fewer", 0, 2, "", 0, "", {nullptr, "b", "c"});
  EXPECT_EQ(std::vector<std::string>({Display(cut, 20.0), Display(cut, 20.0000001),
                                      Display(cut, 20.0, false), Display(p, 1.0),
                                      Display(fewer, 1.0), Display(fewer, 0.0)}),
            std::vector<std::string>({"Off", "20", "20", "one", "b", "0"}));
  EXPECT_EQ(std::string(big.GetName()) + big.GetGroup() + Display(big, 0.0), std::string(93, 'x'));
  EXPECT_EQ(std::pair(p.NDisplayTexts(), fewer.NDisplayTexts()), std::pair(3, 1));

  double value = -1.0;
  EXPECT_TRUE(p.MapDisplayText("one", &value));
  EXPECT_EQ(value, 1.0);
  value = -1.0;
  EXPECT_FALSE(p.MapDisplayText("One", &value));
  EXPECT_FALSE(p.MapDisplayText(nullptr, &value));
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &value), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &value), "");
  EXPECT_EQ(value, -1.0);
}

TEST(ParamLabel, SuppressedOnlyWhileADisplayTextIsShown)
{
  IParam cut, duck, plain;
  cut.InitDouble("cut", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  cut.SetDisplayText(20.0, "Off");
  duck.InitDouble("duck", 0.0, 0.0, 24.0, 0.1, "dB");
  duck.SetDisplayText(0.0, "Off");
  plain.InitDouble("plain", 0.0, -100.0, 100.0, 1.0);
  // A number next to a named value keeps its unit.
  const std::tuple<IParam*, double, const char*, const char*> cases[] = {
      {&cut, 20.0, "Off", ""}, {&cut, 500.0, "500 Hz", "Hz"}, {&cut, 20.4, "20 Hz", "Hz"},
      {&duck, 0.0, "Off", ""}, {&duck, 0.5, "0.5 dB", "dB"},  {&plain, -40.0, "-40", ""},
  };
  for (const auto& [p, value, text, label] : cases)
  {
    std::string out;
    p->Set(value);
    p->GetDisplayWithLabel(out);
    EXPECT_EQ(out, text) << value;
    EXPECT_STREQ(p->GetLabel(), label) << value;
  }
}
