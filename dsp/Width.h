#pragma once

#include "dsp/Biquad.h"

#include <array>
#include <cstdint>

namespace corvana::dsp
{

// Mid/side stereo width. Narrows by scaling the side; widens by scaling the side
// and, for inputs that are (or are treated as) mono, by adding a side signal
// decorrelated from the mid. Carries an input analyser that decides whether a
// stereo input is really mono.
//
// One instance is used by one thread at a time (the audio thread).
class Width
{
public:
  static constexpr int kAuto = 0;
  static constexpr int kStereo = 1;
  static constexpr int kMono = 2;

  // How a side signal is built from the mid: a chain of four allpass delays, or a cascade
  // of allpass filters (a value outside the two, cast from a number, takes the delays).
  enum class Method : int
  {
    kDelays = 0,
    kAllpassCascade = 1
  };
  using enum Method;

  static constexpr int kUndecided = 0; // analyser states; kStereo and kMono otherwise

  static constexpr int kDelayBufferSize = 1024;

  Width() noexcept;

  // Designs the filters for `sampleRate` (48000 when it is not a usable rate)
  // and clears everything (see clear). Keeps width, mode, method and monoBus.
  // Owner's thread; real-time safe.
  void prepare(double sampleRate) noexcept;

  // Clears the decorrelator and the analyser and sets the gains to their
  // targets at once. Real-time safe.
  void clear() noexcept;

  // Zeroes the decorrelator's filters, delay buffers and index. Real-time safe.
  void clearDecorrelator() noexcept;

  // Forgets the analyser's window, decision and silence count. Real-time safe.
  void clearAnalyser() noexcept;

  // Sets both gains to their current targets without gliding. Real-time safe.
  void resetGains() noexcept;

  // Width -1..1 (-1 mid only, 0 unchanged, 1 widest); non-finite counts as 0.
  void setWidth(float w) noexcept;
  // kAuto, kStereo or kMono; a change clears the analyser.
  void setMode(int newMode) noexcept;
  // A change clears the decorrelator.
  void setMethod(Method newMethod) noexcept;
  // True when only one input channel is connected.
  void setMonoBus(bool mono) noexcept { mMonoBus = mono; }

  float width() const noexcept { return mWidth; }
  int mode() const noexcept { return mMode; }
  Method method() const noexcept { return mMethod; }
  bool monoBus() const noexcept { return mMonoBus; }
  float sideGain() const noexcept { return mSideGain; }
  float synthGain() const noexcept { return mSynthGain; }
  bool synthActive() const noexcept { return mSynthActive; }

  // Analyser decision: kUndecided, kStereo or kMono.
  int state() const noexcept { return mState; }
  bool listening() const noexcept { return mListening != 0 || mState == kUndecided; }

  // Processes `frames` frames; inputs and outputs may be the same arrays.
  // Real-time safe.
  void process(const double* inL, const double* inR, double* outL, double* outR,
               int frames) noexcept;

  // One frame in place. Real-time safe.
  void tick(double& left, double& right) noexcept;

  // What tick does to the stage's state for one frame, without its output:
  // for a stage used only for its analyser. At width 0 (gains settled, no
  // side synthesised) only the analyser runs; otherwise this is tick.
  // Real-time safe.
  void analyse(double left, double right) noexcept;

  // One analyser step on a mid and side sample. Real-time safe.
  void listen(float mid, float side) noexcept;

  // One synthesised side sample from a mid sample (decorrelated, no bass).
  // Real-time safe.
  double built(double mid) noexcept;

private:
  void targets(float& side, float& synth) const noexcept;
  void glide(float& gain, float target) const noexcept;

  double mSampleRate = 48000.0;
  float mWidth = 0.0f;
  int mMode = kAuto;
  Method mMethod = kDelays;
  bool mMonoBus = false;
  float mSmooth = 0.0f;
  float mSideGain = 1.0f;
  float mSynthGain = 0.0f;
  bool mSynthActive = false;

  Biquad mHighPass{};
  std::array<Biquad, 7> mAllpass{};
  std::array<std::array<float, kDelayBufferSize>, 4> mBuffers{};
  std::array<int, 4> mLengths{};
  int mIndex = 0;

  float mThreshold = 0.001f;
  std::int64_t mWindowLength = 24000;
  std::int64_t mSilenceLimit = 96000;
  int mState = kUndecided;
  int mLastState = kUndecided;
  int mListening = 0;
  std::int64_t mCount = 0;
  std::int64_t mSilence = 0;
  double mSumMid2 = 0.0;
  double mSumSide2 = 0.0;
};

} // namespace corvana::dsp
