#include "dsp/Tape.h"

#include "dsp/OnePole.h"
#include "dsp/TapeLanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace ostratapedelay::dsp
{

using tapelanes::kCeiling;
using tapelanes::kShapeEntries;
using tapelanes::kShapeResolution;
using tapelanes::shapeAt;

namespace
{

constexpr double kKnee = 3.1;
constexpr double kInverseKnee = 0.3225806451612903; // 1 / 3.1

// Slope of F far out, where f has settled just below the ceiling.
constexpr double kTailSlope = 0.40999997901571605;
constexpr double kTableEnd = 64.0;

// Beyond this |x|/0.41 the saturator equals the ceiling to double precision;
// capping here also keeps infinities and overflow of the power from giving 0/inf.
constexpr double kSaturated = 1.0e6;

struct SharedTables
{
  std::array<double, Tape::kTableSize> antiderivative{};
  std::array<double, Tape::kHalfbandTaps> halfband{};
  std::array<double, 2 * kShapeEntries> shape{};
  // The 32 taps at odd distance from the centre, newest-last order.
  alignas(16) std::array<double, 32> evenTaps{};
};

// Modified Bessel function of the first kind, order 0, by its power series.
double besselI0(double z)
{
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k < 40; ++k)
  {
    const double factor = z / (2.0 * k);
    term *= factor * factor;
    sum += term;
  }
  return sum;
}

void fillTables(SharedTables& t)
{
  // Simpson's rule on eight sub-intervals per table step.
  t.antiderivative[0] = 0.0;
  constexpr double step = 1.0 / Tape::kTableResolution;
  constexpr double sub = step / 8.0;
  for (int i = 0; i + 1 < Tape::kTableSize; ++i)
  {
    double area = 0.0;
    for (int s = 0; s < 8; ++s)
    {
      const double a = i * step + s * sub;
      area += (Tape::saturate(a) + 4.0 * Tape::saturate(a + sub / 2.0) + Tape::saturate(a + sub)) /
              12288.0;
    }
    t.antiderivative[static_cast<std::size_t>(i) + 1] =
        t.antiderivative[static_cast<std::size_t>(i)] + area;
  }

  // Kaiser-windowed (beta 8) half-band low-pass, 63 taps.
  constexpr int half = (Tape::kHalfbandTaps - 1) / 2;
  for (int n = -half; n <= half; ++n)
  {
    const double ideal =
        n == 0 ? 0.5 : std::sin(std::numbers::pi * n / 2.0) / (std::numbers::pi * n);
    const double r = static_cast<double>(n) / half;
    const double window = besselI0(8.0 * std::sqrt(1.0 - r * r)) / 427.56411572180474;
    t.halfband[static_cast<std::size_t>(n + half)] = ideal * window;
  }
  // Entry q multiplies the sample 31 - q steps back.
  for (std::size_t q = 0; q < 32; ++q)
    t.evenTaps[q] = t.halfband[2 * (31 - q)];

  for (int i = 0; i < kShapeEntries; ++i)
  {
    const double a = static_cast<double>(i) / kShapeResolution;
    const double p = std::pow(a, kKnee);
    const double h = std::pow(1.0 + p, -kInverseKnee);
    const double slope = -std::pow(a, kKnee - 1.0) * h / (1.0 + p);
    t.shape[static_cast<std::size_t>(2 * i)] = h;
    t.shape[static_cast<std::size_t>(2 * i + 1)] = slope / kShapeResolution;
  }
}

const SharedTables& sharedTables()
{
  // Static storage, not the heap: the tables go with the library when a host unloads the
  // plug-in (hosts load and unload plug-ins constantly), and no thread still running at
  // exit can see them freed. Filled once under the thread-safe initialisation of the
  // function-local static; read-only afterwards.
  static SharedTables tables;
  [[maybe_unused]] static const bool filled = (fillTables(tables), true);
  return tables;
}

} // namespace

void Tape::design(std::span<const TapeSection> sections, std::span<Biquad> biquads,
                  double rate) noexcept
{
  rate = corvana::dsp::usableRate(rate);
  const std::size_t count = std::min(sections.size(), biquads.size());
  for (std::size_t i = 0; i < count; ++i)
  {
    const TapeSection& s = sections[i];
    const double f = std::min(0.49 * rate, s.frequency);
    const double w = 2.0 * std::numbers::pi * f / rate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * s.q);
    const double A = std::pow(10.0, s.gain / 40.0);
    Biquad& b = biquads[i];
    switch (s.kind)
    {
      case TapeSection::Kind::kHighPass:
        b.setCoefficients((1.0 + cw) / 2.0, -(1.0 + cw), (1.0 + cw) / 2.0, 1.0 + alpha, -2.0 * cw,
                          1.0 - alpha);
        break;
      case TapeSection::Kind::kPeaking:
        b.setCoefficients(1.0 + alpha * A, -2.0 * cw, 1.0 - alpha * A, 1.0 + alpha / A, -2.0 * cw,
                          1.0 - alpha / A);
        break;
      case TapeSection::Kind::kHighShelf:
      {
        const double sa = 2.0 * std::sqrt(A) * alpha;
        b.setCoefficients(A * ((A + 1.0) + (A - 1.0) * cw + sa),
                          -2.0 * A * ((A - 1.0) + (A + 1.0) * cw),
                          A * ((A + 1.0) + (A - 1.0) * cw - sa), (A + 1.0) - (A - 1.0) * cw + sa,
                          2.0 * ((A - 1.0) - (A + 1.0) * cw), (A + 1.0) - (A - 1.0) * cw - sa);
        break;
      }
      default:
        break;
    }
  }
}

double Tape::saturate(double x) noexcept
{
  const double a = std::fabs(x) / kCeiling;
  if (!(a < kSaturated))
    return std::isnan(x) ? x : std::copysign(kCeiling, x);
  return x / std::pow(1.0 + std::pow(a, kKnee), kInverseKnee);
}

double Tape::saturateFast(double x) noexcept
{
  return shapeAt(sharedTables().shape.data(), x);
}

namespace
{

// F(x) by cubic Hermite interpolation of the antiderivative table, the end
// slopes taken from `f`.
template <typename Saturator>
double interpolateIntegral(const double* table, double x, Saturator f) noexcept
{
  if (!std::isfinite(x))
    return 0.0;
  const double a = std::fabs(x);
  if (a >= kTableEnd)
    return (a - kTableEnd) * kTailSlope + table[16384];
  const double u = a * Tape::kTableResolution;
  const double fi = std::floor(u);
  const auto i = static_cast<std::size_t>(fi);
  const double t = u - fi;
  const double x0 = fi / Tape::kTableResolution;
  const double t2 = t * t;
  const double t3 = t2 * t;
  const double m0 = f(x0) / Tape::kTableResolution;
  const double m1 = f(x0 + 1.0 / Tape::kTableResolution) / Tape::kTableResolution;
  return (2.0 * t3 - 3.0 * t2 + 1.0) * table[i] + (t3 - 2.0 * t2 + t) * m0 +
         (3.0 * t2 - 2.0 * t3) * table[i + 1] + (t3 - t2) * m1;
}

} // namespace

double Tape::integral(double x) noexcept
{
  return interpolateIntegral(sharedTables().antiderivative.data(), x,
                             [](double v) { return saturate(v); });
}

const std::array<double, Tape::kTableSize>& Tape::antiderivativeTable()
{
  return sharedTables().antiderivative;
}

const std::array<double, Tape::kHalfbandTaps>& Tape::halfband()
{
  return sharedTables().halfband;
}

void Tape::prepare(double sampleRate)
{
  const double rate = corvana::dsp::usableRate(sampleRate);
  design(kBeforeCurve, mPre, rate);
  design(kAfterCurve, mPost, rate);
  mSmooth = corvana::dsp::onePoleCoefficient(0.02, rate);
  fetchTables();
  clear();
}

void Tape::fetchTables() noexcept
{
  const SharedTables& tables = sharedTables();
  mShape = tables.shape.data();
  mTaps = tables.evenTaps.data();
  mCentreTap = tables.halfband[31];
  mAntiderivative = tables.antiderivative.data();
}

void Tape::clear() noexcept
{
  clearStates();
  mFirst = true;
}

void Tape::clearStates() noexcept
{
  for (Biquad& b : mPre)
    b.clear();
  for (Biquad& b : mPost)
    b.clear();
  clearSaturator();
  mLastDriven = 0.0;
}

void Tape::clearSaturator() noexcept
{
  mPrevious = 0.0;
  mPreviousIntegral = 0.0;
  mInHistory.fill(0.0);
  mUpHistory.fill(0.0);
  mDirectHistory.fill(0.0);
  mInIndex = 0;
  mOutIndex = 0;
}

void Tape::setMode(Mode newMode) noexcept
{
  if (newMode != mMode)
  {
    mMode = newMode;
    clearSaturator();
  }
}

namespace
{
bool usableDrive(double g) noexcept
{
  return std::isfinite(g) && g > 0.0;
}
} // namespace

void Tape::setDrive(double linearGain) noexcept
{
  // A zero, negative or non-finite drive would break the make-up division.
  if (!usableDrive(linearGain))
    return;
  mDriveTarget = linearGain;
  if (mFirst)
  {
    mDriveCurrent = linearGain;
    mFirst = false;
  }
}

void Tape::jumpDrive(double linearGain) noexcept
{
  if (!usableDrive(linearGain))
    return;
  mDriveTarget = mDriveCurrent = linearGain;
  mFirst = false;
}

namespace
{
inline double dot(const double* c, const double* x) noexcept
{
#if defined(__GNUC__)
  return tapelanes::foldedDotAcross(c, x);
#else
  return tapelanes::foldedDot(c, x);
#endif
}
} // namespace

double Tape::twice(double v) noexcept
{
  // Zero-stuffed upsampling by two, the saturator at the doubled rate, and
  // half-band decimation; only the taps at odd distance from the centre are
  // non-zero, so each branch is one 32-term sum (folded, the taps being
  // symmetric). Filter delay 15.5 + 15.5. TapeBlock.cpp runs the same
  // arithmetic over whole blocks.
  const auto n = static_cast<std::size_t>(mInIndex);
  mInHistory[n] = v;
  mInHistory[n + 32] = v;
  const double* window = mInHistory.data() + n + 1; // oldest .. newest
  const double interpolated = 2.0 * dot(mTaps, window);
  const double direct = window[31 - 15];
  mInIndex = (mInIndex + 1) & 31;

  const auto m = static_cast<std::size_t>(mOutIndex);
  const double up = shapeAt(mShape, interpolated);
  mUpHistory[m] = up;
  mUpHistory[m + 32] = up;
  // The centre tap meets the original-rate sample from 16 steps back.
  const double out =
      dot(mTaps, mUpHistory.data() + m + 1) + mCentreTap * mDirectHistory[(m + 16) & 31];
  mDirectHistory[m] = shapeAt(mShape, direct);
  mOutIndex = (mOutIndex + 1) & 31;
  return out;
}

double Tape::tick(double x) noexcept
{
  if (mShape == nullptr) // ticked before prepare (normally prepare has fetched the tables)
    fetchTables();
  // A non-finite input would stay in the filter states for good.
  if (!std::isfinite(x))
    x = 0.0;

  mDriveCurrent += (mDriveTarget - mDriveCurrent) * mSmooth;
  const double v = mPre[1].tick(mPre[0].tick(x)) * mDriveCurrent;
  if (!std::isfinite(v))
  {
    // Only an input near the limit of the double range gets here; start afresh.
    clearStates();
    return 0.0;
  }
  mLastDriven = v;

  double y;
  if (mMode == kDirect)
  {
    y = shapeAt(mShape, v);
  }
  else if (mMode == kAntiderivative)
  {
    // F(previous) is kept from the last sample; the slopes come from the
    // tabled saturator.
    const double* shape = mShape;
    const double current =
        interpolateIntegral(mAntiderivative, v, [shape](double s) { return shapeAt(shape, s); });
    const double d = v - mPrevious;
    if (std::fabs(d) > 1e-6)
      y = (current - mPreviousIntegral) / d;
    else
      y = shapeAt(mShape, (v + mPrevious) / 2.0);
    mPrevious = v;
    mPreviousIntegral = current;
  }
  else
  {
    y = twice(v);
  }

  for (Biquad& b : mPost)
    y = b.tick(y);
  y /= mDriveCurrent;

  if (!std::isfinite(y))
  {
    clearStates();
    return 0.0;
  }
  return y;
}

} // namespace ostratapedelay::dsp
