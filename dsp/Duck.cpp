#include "dsp/Duck.h"

#include "dsp/Dispatch.h"
#include "dsp/OnePole.h"

#include <algorithm>
#include <cmath>

namespace ostratapedelay::dsp
{

namespace
{
constexpr double kDefaultReleaseMs = 300.0;
constexpr double kMinReleaseMs = 50.0;
constexpr double kMaxReleaseMs = 2000.0;
constexpr double kMaxDepthDb = 24.0;
constexpr double kGateLevel = 0.001;                // -60 dBFS
constexpr double kRelativeGate = 0.1;               // 20 dB below the slow envelope
constexpr double kDbToLinear = 0.11512925464970228; // ln(10) / 20

double releaseCoefficient(double ms, double rate) noexcept
{
  return 1.0 - std::exp(-3.0 / (ms / 1000.0 * rate));
}
} // namespace

Duck::Duck() noexcept
{
  prepare(corvana::dsp::kDefaultSampleRate);
  // Usable even if the owner never sets a release; releaseMs stays -1 so the
  // owner's first setRelease recomputes it.
  mGainRelease = releaseCoefficient(kDefaultReleaseMs, mSampleRate);
}

void Duck::prepare(double sampleRate) noexcept
{
  mSampleRate = corvana::dsp::usableRate(sampleRate);
  mPeakDecay = corvana::dsp::decayCoefficient(0.05, mSampleRate);
  mEnvelopeAttack = corvana::dsp::onePoleCoefficient(0.002, mSampleRate);
  mEnvelopeRelease = corvana::dsp::decayCoefficient(3.0, mSampleRate);
  mGainAttack = corvana::dsp::onePoleCoefficient(0.005, mSampleRate);
  // Bounded so that absurd rates cannot overflow the conversion.
  mHoldSamples = static_cast<std::int64_t>(std::min(0.1 * mSampleRate, 1.0e15));
  mReleaseMs = -1.0;
  clear();
}

void Duck::clear() noexcept
{
  mPeak = mEnvelope = mGainDb = 0.0;
  mHoldCount = 0;
}

void Duck::setDepth(double db) noexcept
{
  mDepthDb = std::isfinite(db) ? std::clamp(db, 0.0, kMaxDepthDb) : 0.0;
}

void Duck::setRelease(double ms) noexcept
{
  const double release =
      std::isnan(ms) ? kMinReleaseMs : std::clamp(ms, kMinReleaseMs, kMaxReleaseMs);
  if (release != mReleaseMs)
  {
    mReleaseMs = release;
    mGainRelease = releaseCoefficient(release, mSampleRate);
  }
}

CORVANA_DSP_CLONES double Duck::tick(double level) noexcept
{
  if (mDepthDb <= 0.0 && mGainDb == 0.0)
  {
    mHoldCount = 0;
    mPeak = mEnvelope = 0.0;
    return 1.0;
  }

  // A non-finite level would pin both followers for good.
  const double a = std::isfinite(level) ? std::fabs(level) : 0.0;
  mPeak = a > mPeak ? a : mPeak * mPeakDecay;
  mEnvelope = mPeak > mEnvelope ? mEnvelope + (mPeak - mEnvelope) * mEnvelopeAttack
                                : mEnvelope * mEnvelopeRelease;
  if (mPeak < 1e-12)
    mPeak = 0.0;
  if (mEnvelope < 1e-12)
    mEnvelope = 0.0;

  double target = 0.0;
  if (mDepthDb > 0.0 && mPeak >= kGateLevel && mPeak >= kRelativeGate * mEnvelope)
  {
    mHoldCount = mHoldSamples;
    target = -mDepthDb;
  }
  else if (mHoldCount >= 1)
  {
    const bool last = mHoldCount == 1;
    mHoldCount -= 1;
    if (!last)
      target = -mDepthDb;
  }

  mGainDb += (target - mGainDb) * (mGainDb > target ? mGainAttack : mGainRelease);
  if (target == 0.0 && mGainDb > -0.01)
    mGainDb = 0.0;

  if (mGainDb == 0.0)
    return 1.0;
  if (mGainDb != mGainFor)
  {
    mGainFor = mGainDb;
    mGain = std::exp(mGainDb * kDbToLinear);
  }
  return mGain;
}

} // namespace ostratapedelay::dsp
