#include "dsp/FastMath.h"
#include "dsp/FeedbackLaw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

using corvana::dsp::fastExp;
using corvana::dsp::fastLog;

namespace
{

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Distance in units of the last place of `exact`.
double ulps(double value, double exact)
{
  const double ulp = std::nextafter(std::fabs(exact), kInf) - std::fabs(exact);
  return std::fabs(value - exact) / ulp;
}

TEST(FastMath, LogAndExpStayWithinAFewUnitsInTheLastPlace)
{
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::uniform_int_distribution<int> exponent(-1022, 1023);
  std::uniform_real_distribution<double> wide(-708.0, 709.0);
  std::uniform_real_distribution<double> near(-1.0, 1.0);
  double worstLog = 0.0, worstLogNearOne = 0.0, worstExp = 0.0;
  for (int i = 0; i < 2000000; ++i)
  {
    const double x = std::ldexp(mantissa(rng), exponent(rng));
    const double exact = std::log(x);
    // Near 1 the logarithm nears 0 and is judged by its absolute error.
    if (std::fabs(exact) > 1.0)
      worstLog = std::max(worstLog, ulps(fastLog(x), exact));
    const double y = 1.0 + near(rng) * 0.01;
    worstLogNearOne = std::max(worstLogNearOne, std::fabs(fastLog(y) - std::log(y)));
    const double e = i % 2 ? wide(rng) : near(rng);
    worstExp = std::max(worstExp, ulps(fastExp(e), std::exp(e)));
  }
  EXPECT_LE(worstLog, 4.0);
  EXPECT_LE(worstLogNearOne, 8e-16); // a few units of ln 2, which cancels there
  EXPECT_LE(worstExp, 3.0);

  // Exact where the library is exact, the library's answers outside the kernels' ranges.
  EXPECT_EQ(fastLog(1.0), 0.0);
  EXPECT_EQ(fastLog(0.5), -std::log(2.0));
  EXPECT_EQ(fastExp(0.0), 1.0);
  for (double x : {0.0, -0.0, 4e-320, -1.0, kInf, kNaN})
  {
    const double a = fastLog(x), b = std::log(x);
    EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << x;
  }
  for (double x : {-710.0, -745.5, 709.9, kInf, -kInf, kNaN})
  {
    const double a = fastExp(x), b = std::exp(x);
    EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << x;
  }
}

#if defined(__GNUC__)
using corvana::dsp::fastmath::Quad;
namespace law = ostratapedelay::dsp::feedbacklaw;

// Four frames side by side give each frame's own bits, also where lanes leave
// the kernels' ranges or take the other branches of the law.
TEST(FastMath, FourLanesGiveEachLanesOwnBits)
{
  std::mt19937_64 rng(4);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> exponent(-1070, 1000);
  for (int i = 0; i < 200000; ++i)
  {
    Quad x, y;
    for (int k = 0; k < 4; ++k)
    {
      x[k] = std::ldexp(1.0 + unit(rng), exponent(rng));
      y[k] = -708.0 + 1417.0 * unit(rng);
    }
    const Quad logs = corvana::dsp::fastmath::logKernel(x),
               exps = corvana::dsp::fastmath::expKernel(y);
    for (int k = 0; k < 4; ++k)
    {
      if (x[k] >= 0x1p-1022)
      {
        ASSERT_EQ(logs[k], fastLog(x[k])) << x[k];
      }
      ASSERT_EQ(exps[k], fastExp(y[k])) << y[k];
    }
  }

  const double special[] = {0.0, 1e-320, 1e-9, 1e-5, 0.3, 0.9999, 1.0, 2.0};
  for (double exponentE : {0.0371, 4.4, -7.75})
  {
    for (int i = 0; i < 20000; ++i)
    {
      Quad g0, in, echo;
      for (int k = 0; k < 4; ++k)
      {
        g0[k] = i % 50 == 0 ? 0.0 : unit(rng);
        in[k] = i % 3 == 0 ? special[(i + k) % 8] : unit(rng);
        echo[k] = i % 5 == 0 ? special[(i + 2 * k) % 8] : unit(rng) * in[k];
      }
      const Quad g = law::gains(g0, in, echo, exponentE);
      for (int k = 0; k < 4; ++k)
      {
        const double one = law::gain(g0[k], in[k], echo[k], exponentE);
        ASSERT_TRUE(g[k] == one || (std::isnan(g[k]) && std::isnan(one)))
            << g0[k] << " " << in[k] << " " << echo[k] << " " << exponentE;
      }
    }
  }
}
#endif

} // namespace
