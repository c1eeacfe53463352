#pragma once

#include <cstdint>

namespace ostratapedelay::dsp
{

// Turns the input level into a gain for the echoes: lowers them while the input
// plays, holds the reduction 100 ms after the last loud sample, then lets them
// swell back with a third of the release time as time constant.
//
// One instance is used by one thread at a time (the audio thread).
class Duck
{
public:
  // Coefficients of 48000 Hz until prepare is called.
  Duck() noexcept;

  // Recomputes the rate-dependent coefficients for `sampleRate` (48000 when it
  // is not a usable rate), forgets the release time and clears the state.
  // Audio or owner's thread; real-time safe.
  void prepare(double sampleRate) noexcept;

  // Zeroes the followers, the reduction and the hold. Real-time safe.
  void clear() noexcept;

  // Reduction while ducking in dB, limited to 0..24; 0 switches ducking off.
  // Per block; real-time safe.
  void setDepth(double db) noexcept;

  // Release time in ms, limited to 50..2000; the coefficient is recomputed
  // only when the limited value differs from the last one. Per block;
  // real-time safe.
  void setRelease(double ms) noexcept;

  // One sample of input level -> linear gain for the wet signal (exactly 1
  // when not ducking). Real-time safe.
  double tick(double level) noexcept;

  double depthDb() const noexcept { return mDepthDb; }
  double releaseMs() const noexcept { return mReleaseMs; }
  double gainDb() const noexcept { return mGainDb; }
  std::int64_t holdSamples() const noexcept { return mHoldSamples; }
  std::int64_t holdCount() const noexcept { return mHoldCount; }
  double peak() const noexcept { return mPeak; }
  double envelope() const noexcept { return mEnvelope; }

private:
  double mSampleRate = 48000.0;
  double mPeakDecay = 0.0;
  double mEnvelopeAttack = 0.0;
  double mEnvelopeRelease = 0.0;
  double mGainAttack = 0.0;
  double mGainRelease = 0.0;
  double mReleaseMs = -1.0;
  double mDepthDb = 0.0;
  double mPeak = 0.0;
  double mEnvelope = 0.0;
  double mGainDb = 0.0;
  std::int64_t mHoldSamples = 0;
  std::int64_t mHoldCount = 0;
  // The reduction settles on a fixed value while ducking; its linear gain is
  // reused until it moves.
  double mGainFor = 0.0;
  double mGain = 1.0;
};

} // namespace ostratapedelay::dsp
