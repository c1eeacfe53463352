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
            std::vector<int>({IParam::kTypeBool, IParam::kTypeEnum, IParam::kTypeInt, IParam::kTypeDouble}));

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
  IParam i, coarse, d;
  i.InitInt("i", 0, -10, 10);
  coarse.InitDouble("c", 0.0, 0.0, 100.0, 5.0, "", IParam::kFlagStepped);
  d.InitDouble("d", 30.0, 0.0, 95.0, 0.1);
  const std::tuple<const IParam*, double, double> cases[] = {
    {&i, 2.5, 3.0},       {&i, -2.5, -3.0},      {&i, 2.49, 2.0},          {&i, 10.6, 10.0},
    {&i, -1e300, -10.0},  {&i, std::numeric_limits<double>::infinity(), 10.0},
    {&coarse, 12.5, 15.0}, {&coarse, 12.4, 10.0}, {&d, 12.3456, 12.3456}, {&d, std::nan(""), 30.0}, // NaN: the default
  };
  for (const auto& [p, in, out] : cases)
    EXPECT_EQ(p->Constrain(in), out) << p->GetName() << " " << in;
  d.Set(std::nan(""));
  EXPECT_EQ(d.Value(), 30.0);
  EXPECT_EQ(d.ToNormalized(std::nan("")), d.ToNormalized(30.0));
}

TEST(ParamConstrain, BoolsAndEnumsAreSteppedEvenWithFlagsZero)
{
  IParam b, e;
  b.InitBool("b", false, "", 0);
  e.InitEnum("e", 0, 19, "", 0);
  EXPECT_TRUE(b.GetStepped());
  EXPECT_TRUE(e.GetStepped());
  EXPECT_EQ(b.FromNormalized(0.49), 0.0);
  EXPECT_EQ(b.FromNormalized(0.51), 1.0);
  EXPECT_EQ(e.FromNormalized(0.7), 13.0); // 0.7 * 18 = 12.6
  e.Set(4.4);
  EXPECT_EQ(e.Int(), 4);
}

TEST(ParamShapeLinear, MapsProportionallyAndClampsBothWays)
{
  IParam p;
  p.InitDouble("lin", 10.0, -10.0, 30.0, 0.5);
  EXPECT_EQ(p.GetNormalized(), 0.5);
  EXPECT_EQ(p.FromNormalized(0.25), 0.0);
  EXPECT_EQ(p.ToNormalized(20.0), 0.75);
  EXPECT_EQ(p.ToNormalized(-50.0), 0.0);
  EXPECT_EQ(p.ToNormalized(50.0), 1.0);
  EXPECT_EQ(p.FromNormalized(-0.5), -10.0);
  EXPECT_EQ(p.FromNormalized(1.5), 30.0);
  p.SetNormalized(0.25);
  EXPECT_EQ(p.Value(), 0.0);
  p.Set(99.0);
  EXPECT_EQ(p.Value(), 30.0);
  EXPECT_EQ(p.GetDisplayType(), plug::kDisplayLinear);
}

TEST(ParamShapePowCurve, GivesMoreTravelToTheLowEndAndRoundTrips)
{
  IParam p;
  p.InitDouble("pow", 1.0, 1.0, 2000.0, 0.1, "", 0, "", IParam::ShapePowCurve(3.0));
  EXPECT_EQ(p.GetShapeID(), IParam::kShapePowCurve);
  // A cubic curve puts the middle of the travel at an eighth of the range.
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.5) - p.GetMin(), p.GetRange() / 8.0);
  double previous = -1.0;
  for (int i = 0; i <= 100; ++i)
  {
    const double v = p.FromNormalized(i / 100.0);
    EXPECT_GT(v, previous);
    EXPECT_NEAR(p.ToNormalized(v), i / 100.0, 1e-12);
    previous = v;
  }
}

TEST(ParamShapePowCurve, DisplayTypeFollowsTheExponent)
{
  // The inverse curve is what the host should draw: x^3 looks like a cube root.
  const std::pair<double, plug::EDisplayType> cases[] = {
    {3.0, plug::kDisplayCubeRoot}, {2.6, plug::kDisplayCubeRoot}, {2.5, plug::kDisplaySquareRoot},
    {2.0, plug::kDisplaySquareRoot}, {1.5, plug::kDisplayLinear}, {1.0, plug::kDisplayLinear},
    {0.6, plug::kDisplaySquared},  {0.4, plug::kDisplaySquared},  {0.39, plug::kDisplayCubed},
    {0.2, plug::kDisplayCubed}};
  for (const auto& [exponent, type] : cases)
  {
    IParam p;
    p.InitDouble("p", 0.0, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapePowCurve(exponent));
    EXPECT_EQ(p.GetDisplayType(), type) << "exponent " << exponent;
  }
}

TEST(ParamShapeExp, EqualTravelGivesEqualRatiosAndAZeroStartStaysFinite)
{
  IParam p;
  p.InitDouble("exp", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  EXPECT_EQ(p.GetShapeID(), IParam::kShapeExponential);
  EXPECT_EQ(p.GetDisplayType(), plug::kDisplayLog);
  EXPECT_NEAR(p.FromNormalized(0.0), 20.0, 1e-9);
  EXPECT_NEAR(p.FromNormalized(1.0), 2000.0, 1e-9);
  for (double n = 0.0; n <= 0.75; n += 0.25)
    EXPECT_NEAR(p.FromNormalized(n + 0.25) / p.FromNormalized(n), std::pow(100.0, 0.25), 1e-9);
  EXPECT_NEAR(p.ToNormalized(200.0), 0.5, 1e-12);

  // A range starting at zero starts just above it; values at or below map to the bottom.
  IParam zero;
  zero.InitDouble("exp0", 1.0, 0.0, 100.0, 0.01, "", 0, "", IParam::ShapeExp());
  EXPECT_GT(zero.FromNormalized(0.0), 0.0);
  EXPECT_LT(zero.FromNormalized(0.0), 1e-6);
  EXPECT_NEAR(zero.FromNormalized(1.0), 100.0, 1e-9);
  EXPECT_EQ(zero.ToNormalized(0.0), 0.0);
  EXPECT_EQ(zero.ToNormalized(-5.0), 0.0);
}
