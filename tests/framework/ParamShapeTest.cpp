// Normalised <-> real conversions, the constrain rule, and what each shape tells the host.
#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

using plug::IParam;

TEST(ParamKind, FirstInitialiserFixesTheKindAndTheRangeNeverCollapses)
{
  IParam b, e, i, d;
  b.InitBool("b", true);
  e.InitEnum("e", 1, 3);
  i.InitInt("i", 2, 0, 5);
  d.InitDouble("d", 0.5, 0.0, 1.0, 0.01);
  b.InitDouble("b", 0.0, 0.0, 1.0, 1.0); // does not turn the bool into a double
  EXPECT_EQ(std::vector<int>({b.Type(), e.Type(), i.Type(), d.Type()}),
            std::vector<int>(
                {IParam::kTypeBool, IParam::kTypeEnum, IParam::kTypeInt, IParam::kTypeDouble}));

  // The maximum is at least one step above the minimum and never below it, whatever the step.
  IParam same, narrow, negativeStep;
  same.InitDouble("same", 5.0, 5.0, 5.0, 1.0);
  narrow.InitDouble("narrow", 0.0, 0.0, 0.05, 0.1);
  negativeStep.InitDouble("neg", 0.0, 0.0, -5.0, -1.0);
  EXPECT_EQ(same.GetMax(), 6.0);
  EXPECT_DOUBLE_EQ(narrow.GetMax(), 0.1);
  EXPECT_GE(negativeStep.GetMax(), negativeStep.GetMin());
  EXPECT_TRUE(std::isfinite(negativeStep.ToNormalized(0.0)));
}

TEST(ParamConstrain, SteppedValuesRoundHalvesAwayFromZeroThenClampUnsteppedKeepTheirFraction)
{
  IParam i, coarse, d, b, e;
  i.InitInt("i", 0, -10, 10);
  coarse.InitDouble("c", 0.0, 0.0, 100.0, 5.0, "", IParam::kFlagStepped);
  d.InitDouble("d", 30.0, 0.0, 95.0, 0.1);
  b.InitBool("b", false, "", 0); // bools and enums step even with flags 0
  e.InitEnum("e", 0, 19, "", 0);
  const std::tuple<const IParam*, double, double> cases[] = {
      {&i, 2.5, 3.0},         {&i, -2.5, -3.0},
      {&i, 2.49, 2.0},        {&i, 10.6, 10.0},
      {&i, -1e300, -10.0},    {&i, std::numeric_limits<double>::infinity(), 10.0},
      {&coarse, 12.5, 15.0},  {&coarse, 12.4, 10.0},
      {&d, 12.3456, 12.3456}, {&d, std::nan(""), 30.0}, // NaN: the default
      {&e, 4.4, 4.0},
  };
  for (const auto& [p, in, out] : cases)
    EXPECT_EQ(p->Constrain(in), out) << p->GetName() << " " << in;
  d.Set(std::nan(""));
  EXPECT_EQ(d.Value(), 30.0);
  EXPECT_EQ(d.ToNormalized(std::nan("")), d.ToNormalized(30.0));
  EXPECT_TRUE(b.GetStepped() && e.GetStepped());
  EXPECT_EQ(
      std::vector<double>({b.FromNormalized(0.49), b.FromNormalized(0.51), e.FromNormalized(0.7)}),
      std::vector<double>({0.0, 1.0, 13.0})); // 0.7 * 18 = 12.6
}

TEST(ParamShape, LinearPowAndExpMapBothWaysAndClamp)
{
  IParam lin, pow, exp, zero;
  lin.InitDouble("lin", 10.0, -10.0, 30.0, 0.5);
  pow.InitDouble("pow", 1.0, 1.0, 2001.0, 0.1, "", 0, "", IParam::ShapePowCurve(3.0));
  exp.InitDouble("exp", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  zero.InitDouble("exp0", 1.0, 0.0, 100.0, 0.01, "", 0, "", IParam::ShapeExp());
  // A cubic curve puts the middle of the travel at an eighth of the range; equal travel on
  // the exponential shape gives equal ratios.
  const std::tuple<const IParam*, double, double> cases[] = {
      {&lin, 0.25, 0.0},   {&lin, 0.75, 20.0},
      {&lin, 1.0, 30.0},   {&pow, 0.5, 251.0},
      {&pow, 0.0, 1.0},    {&pow, 1.0, 2001.0},
      {&exp, 0.0, 20.0},   {&exp, 0.25, 20.0 * std::sqrt(10.0)},
      {&exp, 0.5, 200.0},  {&exp, 1.0, 2000.0},
      {&zero, 1.0, 100.0},
  };
  for (const auto& [p, n, v] : cases)
  {
    EXPECT_NEAR(p->FromNormalized(n), v, 1e-9 * v) << p->GetName() << " " << n;
    EXPECT_NEAR(p->ToNormalized(v), n, 1e-12) << p->GetName() << " " << v;
  }
  for (int k = 1; k <= 100; ++k)
    EXPECT_GT(pow.FromNormalized(k / 100.0), pow.FromNormalized((k - 1) / 100.0)) << k;
  EXPECT_EQ(std::vector<double>({lin.ToNormalized(-50.0), lin.ToNormalized(50.0),
                                 lin.FromNormalized(-0.5), lin.FromNormalized(1.5),
                                 zero.ToNormalized(0.0), zero.ToNormalized(-5.0)}),
            std::vector<double>({0.0, 1.0, -10.0, 30.0, 0.0, 0.0}));
  // A range starting at zero starts just above it.
  EXPECT_GT(zero.FromNormalized(0.0), 0.0);
  EXPECT_LT(zero.FromNormalized(0.0), 1e-6);
  EXPECT_EQ(std::vector<int>({lin.GetDisplayType(), exp.GetDisplayType()}),
            std::vector<int>({plug::kDisplayLinear, plug::kDisplayLog}));
}

TEST(ParamShape, PowCurveDisplayTypeFollowsTheExponent)
{
  // The inverse curve is what the host should draw: x^3 looks like a cube root.
  const std::pair<double, plug::EDisplayType> cases[] = {
      {3.0, plug::kDisplayCubeRoot},   {2.6, plug::kDisplayCubeRoot},
      {2.5, plug::kDisplaySquareRoot}, {2.0, plug::kDisplaySquareRoot},
      {1.5, plug::kDisplayLinear},     {1.0, plug::kDisplayLinear},
      {0.6, plug::kDisplaySquared},    {0.4, plug::kDisplaySquared},
      {0.39, plug::kDisplayCubed},     {0.2, plug::kDisplayCubed}};
  for (const auto& [exponent, type] : cases)
  {
    IParam p;
    p.InitDouble("p", 0.0, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapePowCurve(exponent));
    EXPECT_EQ(p.GetDisplayType(), type) << "exponent " << exponent;
  }
}

TEST(ParamShape, TheEndsOfACurvedRangeReadBackAsThemselves)
{
  // The editor shows values from their normalised form: High Cut's "Off" at the top of an
  // exponential range must survive the round trip.
  IParam highCut;
  highCut.InitDouble("High Cut", 20000.0, 1000.0, 20000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  highCut.SetDisplayText(20000.0, "Off");
  EXPECT_EQ(highCut.ToNormalized(20000.0), 1.0);
  EXPECT_EQ(highCut.ToNormalized(1000.0), 0.0);
  EXPECT_EQ(highCut.FromNormalized(highCut.ToNormalized(20000.0)), 20000.0);
  std::string shown;
  highCut.GetDisplay(highCut.ToNormalized(20000.0), true, shown);
  EXPECT_EQ(shown, "Off");
}
