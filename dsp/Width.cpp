#include "dsp/Width.h"

#include "dsp/Dispatch.h"
#include "dsp/OnePole.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvana::dsp
{

namespace
{
constexpr std::array<double, 7> kAllpassFrequencies{160.0,  320.0,  640.0,  1280.0,
                                                    2560.0, 5120.0, 10240.0};
constexpr std::array<double, 4> kDelayLengths48k{23.0, 53.0, 89.0, 131.0};
constexpr double kAllpassGain = 0.5;
constexpr double kSideHighPassHz = 120.0;
constexpr float kSnap = 1e-6f;

// Samples for `seconds`, rounded half away from zero, bounded against absurd rates.
std::int64_t roundedSamples(double seconds, double rate) noexcept
{
  return std::llround(std::min(seconds * rate, 1.0e15));
}
} // namespace

Width::Width() noexcept
{
  prepare(kDefaultSampleRate);
}

void Width::prepare(double sampleRate) noexcept
{
  const double rate = usableRate(sampleRate);
  mSampleRate = rate;
  mSmooth = static_cast<float>(onePoleCoefficient(0.05, rate));
  mWindowLength = roundedSamples(0.5, rate);
  mSilenceLimit = roundedSamples(2.0, rate);
  mThreshold = 0.001f;

  {
    const double f = std::min(kSideHighPassHz, 0.49 * rate);
    const double w = 2.0 * std::numbers::pi * f / rate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) / std::numbers::sqrt2; // Q = 1/sqrt(2)
    mHighPass.setCoefficients((1.0 + cw) / 2.0, -(1.0 + cw), (1.0 + cw) / 2.0, 1.0 + alpha,
                              -2.0 * cw, 1.0 - alpha);
  }
  for (std::size_t i = 0; i < mAllpass.size(); ++i)
  {
    const double f = std::min(0.49 * rate, kAllpassFrequencies[i]);
    const double w = 2.0 * std::numbers::pi * f / rate;
    const double s = std::sin(w);
    const double c = (1.0 - s) / (1.0 + s);
    const double d = -2.0 * std::cos(w) / (1.0 + s);
    mAllpass[i].setCoefficients(c, d, 1.0, 1.0, d, c);
  }
  for (std::size_t i = 0; i < mLengths.size(); ++i)
    mLengths[i] = static_cast<int>(
        std::lround(std::clamp(kDelayLengths48k[i] * rate / 48000.0, 1.0, 1023.0)));

  clear();
}

void Width::clear() noexcept
{
  clearDecorrelator();
  mSynthActive = false;
  clearAnalyser();
  resetGains();
}

void Width::clearDecorrelator() noexcept
{
  mHighPass.clear();
  for (Biquad& b : mAllpass)
    b.clear();
  for (auto& buffer : mBuffers)
    buffer.fill(0.0f);
  mIndex = 0;
}

void Width::clearAnalyser() noexcept
{
  mState = mLastState = kUndecided;
  mListening = 0;
  mCount = mSilence = 0;
  mSumMid2 = mSumSide2 = 0.0;
}

void Width::resetGains() noexcept
{
  targets(mSideGain, mSynthGain);
}

void Width::setWidth(float w) noexcept
{
  mWidth = std::isfinite(w) ? std::clamp(w, -1.0f, 1.0f) : 0.0f;
}

void Width::setMode(int newMode) noexcept
{
  if (newMode != mMode)
  {
    mMode = newMode;
    clearAnalyser();
  }
}

void Width::setMethod(Method newMethod) noexcept
{
  if (newMethod != mMethod)
  {
    mMethod = newMethod;
    clearDecorrelator();
  }
}

void Width::targets(float& side, float& synth) const noexcept
{
  const float w = mWidth;
  if (w <= 0.0f)
  {
    side = 1.0f + w;
    synth = 0.0f;
    return;
  }
  const bool treatAsMono = mMode == kMono || (mMode == kAuto && (mMonoBus || mState == kMono));
  side = treatAsMono ? 1.0f : 1.0f + w;
  synth = treatAsMono ? w * 0.75f : w * 0.375f;
}

void Width::glide(float& gain, float target) const noexcept
{
  if (gain == target)
    return; // settled: the step below would leave it there
  const float before = gain;
  gain += (target - gain) * mSmooth;
  // In float the step falls below half an ulp some 1e-4 short of the target
  // at usual rates; without the second test the gain would never arrive.
  if (std::fabs(target - gain) < kSnap || gain == before)
    gain = target;
}

void Width::process(const double* inL, const double* inR, double* outL, double* outR,
                    int frames) noexcept
{
  for (int i = 0; i < frames; ++i)
  {
    double l = inL[i];
    double r = inR[i];
    tick(l, r);
    outL[i] = l;
    outR[i] = r;
  }
}

CORVANA_DSP_CLONES void Width::tick(double& left, double& right) noexcept
{
  // A non-finite sample would stay in the decorrelator for good.
  const double l = std::isfinite(left) ? left : 0.0;
  const double r = std::isfinite(right) ? right : 0.0;
  const double mid = (l + r) / 2.0;
  const double side = (l - r) / 2.0;

  if (mMode == kAuto && !mMonoBus)
    listen(static_cast<float>(mid), static_cast<float>(side));

  float sideTarget;
  float synthTarget;
  targets(sideTarget, synthTarget);
  glide(mSideGain, sideTarget);
  glide(mSynthGain, synthTarget);

  double delta = side * (static_cast<double>(mSideGain) - 1.0);
  if (mSynthGain > 0.0f)
  {
    if (!mSynthActive)
    {
      clearDecorrelator();
      mSynthActive = true;
    }
    delta += built(mid) * static_cast<double>(mSynthGain);
  }
  else
  {
    mSynthActive = false;
  }
  left = l + delta;
  right = r - delta;
}

CORVANA_DSP_CLONES void Width::analyse(double left, double right) noexcept
{
  if (mWidth != 0.0f || mSideGain != 1.0f || mSynthGain != 0.0f || mSynthActive)
  {
    tick(left, right);
    return;
  }
  // At width 0 the targets are a side gain of 1 and no synthesis, where the
  // gains already are: tick would only feed the analyser.
  const double l = std::isfinite(left) ? left : 0.0;
  const double r = std::isfinite(right) ? right : 0.0;
  if (mMode == kAuto && !mMonoBus)
    listen(static_cast<float>((l + r) / 2.0), static_cast<float>((l - r) / 2.0));
}

double Width::built(double mid) noexcept
{
  double x = std::isfinite(mid) ? mid : 0.0;
  if (mMethod == kAllpassCascade)
  {
    for (Biquad& b : mAllpass)
      x = b.tick(x);
  }
  else
  {
    for (std::size_t i = 0; i < mBuffers.size(); ++i)
    {
      auto& buffer = mBuffers[i];
      const double v =
          buffer[static_cast<std::size_t>((mIndex - mLengths[i]) & (kDelayBufferSize - 1))];
      const double w = x + kAllpassGain * v;
      buffer[static_cast<std::size_t>(mIndex)] = static_cast<float>(w);
      x = v - kAllpassGain * w;
    }
    mIndex = (mIndex + 1) & (kDelayBufferSize - 1);
  }
  return mHighPass.tick(x);
}

void Width::listen(float mid, float side) noexcept
{
  const bool isListening = mListening != 0 || mState == kUndecided;
  const bool silent = std::fabs(mid) < mThreshold && std::fabs(side) < mThreshold;

  if (silent)
  {
    const bool windowStarted = mCount >= 1;
    if (!windowStarted && mState == kUndecided)
      return;
    mSilence += 1;
    if (mSilence >= mSilenceLimit)
    {
      // Long enough silence: whatever comes next may be a new source.
      mCount = mSilence = 0;
      mSumMid2 = mSumSide2 = 0.0;
      if (mState != kUndecided)
        mLastState = mState;
      mListening = 1;
      return;
    }
    if (!windowStarted || !isListening)
      return;
  }
  else
  {
    mSilence = 0;
    if (!isListening)
      return;
  }

  const double m = mid;
  const double s = side;
  mSumMid2 += m * m;
  mSumSide2 += s * s;
  mCount += 1;
  if (mCount >= mWindowLength)
  {
    const double ratio = 10.0 * std::log10(std::max(mSumSide2, 1e-30) / std::max(mSumMid2, 1e-30));
    if (ratio < -30.0)
      mState = kMono;
    else if (ratio > -20.0)
      mState = kStereo;
    else
      mState = mLastState != kUndecided ? mLastState : kStereo;
    mListening = 0;
    mCount = 0;
  }
}

} // namespace corvana::dsp
