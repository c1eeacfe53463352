// Normalised <-> real conversions, the constrain rule, and what each shape tells the host.
#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using plug::IParam;

TEST(ParamKind, FirstInitialiserFixesTheKind)
{
  IParam b, e, i, d;
  b.InitBool("b", true);
  e.InitEnum("e", 1, 3);
  i.InitInt("i", 2, 0, 5);
  d.InitDouble("d", 0.5, 0.0, 1.0, 0.01);
  EXPECT_EQ(b.Type(), IParam::kTypeBool);
  EXPECT_EQ(e.Type(), IParam::kTypeEnum);
  EXPECT_EQ(i.Type(), IParam::kTypeInt);
  EXPECT_EQ(d.Type(), IParam::kTypeDouble);
  // A later InitDouble does not turn the bool into a double.
  b.InitDouble("b", 0.0, 0.0, 1.0, 1.0);
  EXPECT_EQ(b.Type(), IParam::kTypeBool);
}

TEST(ParamRange, MaxIsAtLeastOneStepAboveMin)
{
  IParam same, narrow, wide;
  same.InitDouble("same", 5.0, 5.0, 5.0, 1.0);
  narrow.InitDouble("narrow", 0.0, 0.0, 0.05, 0.1);
  wide.InitDouble("wide", 0.0, 0.0, 10.0, 0.1);
  EXPECT_EQ(same.GetMax(), 6.0);
  EXPECT_DOUBLE_EQ(narrow.GetMax(), 0.1);
  EXPECT_EQ(wide.GetMax(), 10.0);
  // The range never inverts, whatever the step.
  IParam negativeStep;
  negativeStep.InitDouble("neg", 0.0, 0.0, -5.0, -1.0);
  EXPECT_GE(negativeStep.GetMax(), negativeStep.GetMin());
  EXPECT_TRUE(std::isfinite(negativeStep.ToNormalized(0.0)));
}

TEST(ParamConstrain, SteppedValuesRoundHalvesAwayFromZeroThenClamp)
{
  IParam p;
  p.InitInt("i", 0, -10, 10);
  EXPECT_EQ(p.Constrain(2.5), 3.0);
  EXPECT_EQ(p.Constrain(-2.5), -3.0);
  EXPECT_EQ(p.Constrain(2.49), 2.0);
  EXPECT_EQ(p.Constrain(10.6), 10.0);
  EXPECT_EQ(p.Constrain(-1e300), -10.0);
  EXPECT_EQ(p.Constrain(std::numeric_limits<double>::infinity()), 10.0);

  IParam coarse;
  coarse.InitDouble("c", 0.0, 0.0, 100.0, 5.0, "", IParam::kFlagStepped);
  EXPECT_EQ(coarse.Constrain(12.5), 15.0);
  EXPECT_EQ(coarse.Constrain(12.4), 10.0);
}

TEST(ParamConstrain, UnsteppedValuesKeepTheirFractionAndNaNFallsBackToDefault)
{
  IParam p;
  p.InitDouble("d", 30.0, 0.0, 95.0, 0.1);
  EXPECT_EQ(p.Constrain(12.3456), 12.3456);
  EXPECT_EQ(p.Constrain(std::nan("")), 30.0);
  p.Set(std::nan(""));
  EXPECT_EQ(p.Value(), 30.0);
  EXPECT_EQ(p.ToNormalized(std::nan("")), p.ToNormalized(30.0));
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
  EXPECT_EQ(e.Value(), 4.0);
  EXPECT_EQ(e.Int(), 4);
}

TEST(ParamShapeLinear, MapsProportionally)
{
  IParam p;
  p.InitDouble("lin", 0.0, -10.0, 30.0, 0.5);
  EXPECT_EQ(p.FromNormalized(0.25), 0.0);
  EXPECT_EQ(p.ToNormalized(20.0), 0.75);
  EXPECT_EQ(p.ToNormalized(-50.0), 0.0);
  EXPECT_EQ(p.ToNormalized(50.0), 1.0);
  EXPECT_EQ(p.FromNormalized(-0.5), -10.0);
  EXPECT_EQ(p.FromNormalized(1.5), 30.0);
  EXPECT_EQ(p.GetDisplayType(), plug::kDisplayLinear);
}

TEST(ParamShapePowCurve, GivesMoreTravelToTheLowEndAndRoundTrips)
{
  IParam p;
  p.InitDouble("pow", 1.0, 1.0, 2000.0, 0.1, "", 0, "", IParam::ShapePowCurve(3.0));
  EXPECT_EQ(p.GetShapeID(), IParam::kShapePowCurve);
  EXPECT_EQ(p.GetShapeValue(), 3.0);
  // A cubic curve puts the middle of the travel at an eighth of the range.
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.5) - p.GetMin(), p.GetRange() / 8.0);
  double previous = -1.0;
  for (int i = 0; i <= 100; ++i)
  {
    const double n = i / 100.0;
    const double v = p.FromNormalized(n);
    EXPECT_GT(v, previous);
    EXPECT_NEAR(p.ToNormalized(v), n, 1e-12);
    previous = v;
  }
}

TEST(ParamShapePowCurve, DisplayTypeFollowsTheExponent)
{
  struct Case
  {
    double exponent;
    plug::EDisplayType type;
  };
  // The inverse curve is what the host should draw: x^3 looks like a cube root.
  const Case cases[] = {{3.0, plug::kDisplayCubeRoot},   {2.6, plug::kDisplayCubeRoot},
                        {2.5, plug::kDisplaySquareRoot}, {2.0, plug::kDisplaySquareRoot},
                        {1.5, plug::kDisplayLinear},     {1.0, plug::kDisplayLinear},
                        {0.6, plug::kDisplaySquared},    {0.4, plug::kDisplaySquared},
                        {0.39, plug::kDisplayCubed},     {0.2, plug::kDisplayCubed}};
  for (const Case& c : cases)
  {
    IParam p;
    p.InitDouble("p", 0.0, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapePowCurve(c.exponent));
    EXPECT_EQ(p.GetDisplayType(), c.type) << "exponent " << c.exponent;
  }
}

TEST(ParamShapeExp, EqualTravelGivesEqualRatios)
{
  IParam p;
  p.InitDouble("exp", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", IParam::ShapeExp());
  EXPECT_EQ(p.GetShapeID(), IParam::kShapeExponential);
  EXPECT_EQ(p.GetShapeValue(), 0.0);
  EXPECT_EQ(p.GetDisplayType(), plug::kDisplayLog);
  EXPECT_NEAR(p.FromNormalized(0.0), 20.0, 1e-9);
  EXPECT_NEAR(p.FromNormalized(1.0), 2000.0, 1e-9);
  for (double n = 0.0; n <= 0.75; n += 0.25)
    EXPECT_NEAR(p.FromNormalized(n + 0.25) / p.FromNormalized(n), std::pow(100.0, 0.25), 1e-9);
  EXPECT_NEAR(p.ToNormalized(200.0), 0.5, 1e-12);
}

TEST(ParamShapeExp, RangeStartingAtZeroStartsJustAboveIt)
{
  IParam p;
  p.InitDouble("exp0", 1.0, 0.0, 100.0, 0.01, "", 0, "", IParam::ShapeExp());
  const double bottom = p.FromNormalized(0.0);
  EXPECT_GT(bottom, 0.0);
  EXPECT_LT(bottom, 1e-6);
  EXPECT_NEAR(p.FromNormalized(1.0), 100.0, 1e-9);
  // Values at or below the start of the curve map to the bottom of the travel, never NaN.
  EXPECT_EQ(p.ToNormalized(0.0), 0.0);
  EXPECT_EQ(p.ToNormalized(-5.0), 0.0);
}

TEST(ParamValue, SetAndNormalisedAccessAgree)
{
  IParam p;
  p.InitDouble("v", 10.0, 0.0, 40.0, 0.1);
  EXPECT_EQ(p.Value(), 10.0);
  EXPECT_EQ(p.GetNormalized(), 0.25);
  EXPECT_EQ(p.GetDefault(true), 0.25);
  p.SetNormalized(0.5);
  EXPECT_EQ(p.Value(), 20.0);
  p.Set(99.0);
  EXPECT_EQ(p.Value(), 40.0);
  p.SetToDefault();
  EXPECT_EQ(p.Value(), 10.0);
}
