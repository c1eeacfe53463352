#include "dsp/TapeDelay.h"

#include "dsp/OnePole.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostratapedelay::dsp
{

namespace
{

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSqrt2 = std::numbers::sqrt2;

// Peak pitch deviation of a wobble of 1: 1.1 cents, as a ratio minus one.
constexpr double kCentsRatio = 0.0006355868152678745;
constexpr double kTimeWobbleHz = 19.0;
constexpr double kLevelWobbleHz = 18.88;

// Q-derived divisors of the two sections of a fourth-order Butterworth low-pass.
constexpr double kButterworth4A = 1.082392200292394;
constexpr double kButterworth4B = 2.613125929752753;

constexpr double kMaxFeedback = 0.95;

bool sameSetting(double a, double b) noexcept
{
  return a == b || (std::isnan(a) && std::isnan(b));
}

// A value fit for a delay time, a feedback amount or a wobble depth: NaN counts as 0.
double orZero(double v) noexcept
{
  return std::isnan(v) ? 0.0 : v;
}

void firstOrderLowPass(Biquad& q, double k) noexcept
{
  q.b0 = k / (1.0 + k);
  q.b1 = q.b0;
  q.b2 = 0.0;
  q.a1 = (k - 1.0) / (1.0 + k);
  q.a2 = 0.0;
}

void secondOrderLowPass(Biquad& q, double cosW, double alpha) noexcept
{
  const double n = 1.0 + alpha;
  q.b0 = (1.0 - cosW) / 2.0 / n;
  q.b1 = (1.0 - cosW) / n;
  q.b2 = q.b0;
  q.a1 = -2.0 * cosW / n;
  q.a2 = (1.0 - alpha) / n;
}

void secondOrderHighPass(Biquad& q, double cosW, double alpha) noexcept
{
  const double n = 1.0 + alpha;
  q.b0 = (1.0 + cosW) / 2.0 / n;
  q.b1 = -(1.0 + cosW) / n;
  q.b2 = q.b0;
  q.a1 = -2.0 * cosW / n;
  q.a2 = (1.0 - alpha) / n;
}

} // namespace

// ---------------------------------------------------------------- Line

void TapeDelay::Line::designCuts(double lowCutHz, double highCutHz, Slope slope, double bandwidthHz,
                                 double rate) noexcept
{
  bandwidthOn = bandwidthHz > 0.0;
  if (bandwidthOn)
  {
    // Bilinear one-pole whose corner sits at `bandwidthHz` when prewarped at fc.
    const double fc = std::min(0.2 * rate, 8000.0);
    const double k = bandwidthHz * std::tan(std::numbers::pi * fc / rate) / fc;
    firstOrderLowPass(bandwidth, k);
  }

  lowCutOn = lowCutHz > 20.0;
  if (lowCutOn)
  {
    const double f = std::min(0.49 * rate, lowCutHz);
    const double w = kTwoPi * f / rate;
    secondOrderHighPass(lowCut, std::cos(w), std::sin(w) / kSqrt2);
  }

  highCutSections = 0;
  highCutFirstOrder = highCutHz > 0.0 && highCutHz < 19900.0 && slope == Slope::k6dB;
  if (highCutHz > 0.0 && highCutHz < 19900.0)
  {
    const double f = std::min(0.49 * rate, highCutHz);
    const double w = kTwoPi * f / rate;
    if (slope == Slope::k6dB)
    {
      firstOrderLowPass(highCut1, std::tan(std::numbers::pi * f / rate));
      highCut1.z2 = 0.0; // unused now; a steeper design may have left a value
      highCutSections = 1;
    }
    else if (slope == Slope::k12dB)
    {
      secondOrderLowPass(highCut1, std::cos(w), std::sin(w) / kSqrt2);
      highCutSections = 1;
    }
    else
    {
      secondOrderLowPass(highCut1, std::cos(w), std::sin(w) / kButterworth4A);
      secondOrderLowPass(highCut2, std::cos(w), std::sin(w) / kButterworth4B);
      highCutSections = 2;
    }
  }
}

void TapeDelay::Line::clear() noexcept
{
  filled = 0;
  lowCut.clear();
  highCut1.clear();
  highCut2.clear();
  bandwidth.clear();
}

// ---------------------------------------------------------------- TapeDelay

void TapeDelay::prepare(double sampleRate)
{
  // Beyond these limits the ring size overflows or the filter designs stop
  // being finite; such a rate is taken as the nearest limit.
  const double rate =
      std::clamp(corvana::dsp::usableRate(sampleRate), kMinSampleRate, kMaxSampleRate);
  const auto needed = static_cast<std::size_t>(std::ceil(std::max(192000.0, rate) * 6.05)) + 8;

  if (needed <= mCapacity && mLeft.buffer.size() == mCapacity && mRight.buffer.size() == mCapacity)
  {
    std::fill(mLeft.buffer.begin(), mLeft.buffer.end(), 0.0f);
    std::fill(mRight.buffer.begin(), mRight.buffer.end(), 0.0f);
  }
  else
  {
    // Allocate both before touching the lines, so a failure leaves them intact.
    std::vector<float> l(needed, 0.0f);
    std::vector<float> r(needed, 0.0f);
    mLeft.buffer.swap(l);
    mRight.buffer.swap(r);
    mCapacity = needed;
  }
  mLeft.writeIndex = 0;
  mRight.writeIndex = 0;
  mRate = rate;

  mSmooth = corvana::dsp::onePoleCoefficient(0.02, rate);
  mAttack = corvana::dsp::onePoleCoefficient(0.002, rate);
  mEchoRelease = corvana::dsp::decayCoefficient(0.15, rate);
  mInputRelease = corvana::dsp::decayCoefficient(3.0, rate);

  mIncrement1 = kTwoPi * kTimeWobbleHz / rate;
  mIncrement2 = kTwoPi * kLevelWobbleHz / rate;
  mStepSin1 = std::sin(mIncrement1);
  mStepCos1 = std::cos(mIncrement1);
  mStepSin2 = std::sin(mIncrement2);
  mStepCos2 = std::cos(mIncrement2);
  mDepthPerUnit = kCentsRatio * rate / (kTwoPi * kTimeWobbleHz);

  mDesignedLowCut = -1.0;
  mDesignedHighCut = -1.0;
  mDesignedBandwidth = -1.0;
  mCutsDesigned = false;

  clear();
}

void TapeDelay::clear() noexcept
{
  mLeft.clear();
  mRight.clear();
  mInputEnvelope = 0.0;
  mEchoEnvelope = 0.0;
  mPhase1 = 0.0;
  mPhase2 = 0.0;
  mFramesToAnchor = 0;
  mFirst = true;
}

void TapeDelay::set(const Settings& s) noexcept
{
  mPingPong = s.pingPong;
  mFeedbackTarget = std::clamp(orZero(s.feedback), 0.0, kMaxFeedback);

  mCharacter = s.character;
  if (!std::isfinite(mCharacter.exponent) || !std::isfinite(mCharacter.compression))
    mCharacter = kPlain;
  mPlain = mCharacter.exponent == 1.0 && mCharacter.compression == 0.0;
  mLevelExponent = mFeedbackTarget > 1e-6
                       ? std::log10(mFeedbackTarget) * (-20.0 * mCharacter.compression) / 10.0
                       : 0.0;

  const double minDelay = std::max(0.001 * mRate, static_cast<double>(inputOffset) + 4.0);

  mWobbleTarget = std::clamp(orZero(s.wobble), 0.0, 2.0);
  if (mFirst)
    mWobbleCurrent = mWobbleTarget;

  auto applyTime = [&](Line& line, double seconds)
  {
    if (line.buffer.empty())
      return;
    const double maxDelay =
        std::min(kMaxDelaySeconds * mRate, static_cast<double>(line.buffer.size()) - 4.0);
    double d = orZero(seconds) * mRate;
    if (d < minDelay)
      d = minDelay;
    else
      d = std::min(d, maxDelay);
    if (d != line.delayTarget)
    {
      line.delayTarget = d;
      line.glide = 1.0 - std::exp(-1.0 / d);
    }
    if (mFirst)
      line.delayCurrent = d;
  };
  applyTime(mLeft, s.timeLeft);
  applyTime(mRight, s.timeRight);

  if (!mCutsDesigned || !sameSetting(s.lowCut, mDesignedLowCut) ||
      !sameSetting(s.highCut, mDesignedHighCut) || s.slope != mDesignedSlope ||
      !sameSetting(s.bandwidth, mDesignedBandwidth))
  {
    mDesignedLowCut = s.lowCut;
    mDesignedHighCut = s.highCut;
    mDesignedSlope = s.slope;
    mDesignedBandwidth = s.bandwidth;
    mCutsDesigned = true;
    mLeft.designCuts(s.lowCut, s.highCut, s.slope, s.bandwidth, mRate);
    mRight.designCuts(s.lowCut, s.highCut, s.slope, s.bandwidth, mRate);
  }

  if (mFirst)
    mFeedbackCurrent = mFeedbackTarget;
  mFirst = false;
}

} // namespace ostratapedelay::dsp
