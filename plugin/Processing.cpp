#include "plugin/OstraTapeDelay.h"

#include "dsp/FlushToZero.h"
#include "plugin/NoteValues.h"
#include "plugin/Parameters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace ostratapedelay::plugin;
using corvana::dsp::Width;
using ostratapedelay::dsp::Tape;
using ostratapedelay::dsp::TapeDelay;

namespace
{
// Time constant of the Mix smoother and length of the bypass crossfade.
constexpr double kMixSeconds = 0.02;
// A pause longer than this between blocks means the host stopped processing.
constexpr auto kGap = std::chrono::nanoseconds(200000001);
constexpr double kFallbackTempo = 120.0;

double noteBeats(double value)
{
  return kNoteValues[static_cast<size_t>(noteValueIndex(value))].beats;
}
} // namespace

OstraTapeDelay::Settings OstraTapeDelay::delaySettings(double tempo) const
{
  Settings s;
  const bool link = param(kLink) >= 0.5;
  if (param(kSync) >= 0.5)
  {
    const double bpm = tempo > 1.0 ? tempo : kFallbackTempo;
    s.timeLeft = noteBeats(param(kNoteL)) * 60.0 / bpm;
    s.timeRight = link ? s.timeLeft : noteBeats(param(kNoteR)) * 60.0 / bpm;
  }
  else
  {
    s.timeLeft = param(kTimeL) / 1000.0;
    s.timeRight = link ? s.timeLeft : param(kTimeR) / 1000.0;
  }
  s.feedback = param(kFeedback) / 100.0;
  s.pingPong = param(kPingPong) >= 0.5;
  s.character = TapeDelay::kMedium;
  s.lowCut = param(kLowCut);
  s.highCut = param(kHighCut);
  s.slope = TapeDelay::kSlope6dB;
  s.bandwidth = 16000.0;
  s.wobble = param(kWobble) / 100.0;
  return s;
}

void OstraTapeDelay::OnReset()
{
  const double rate = GetSampleRate();
  if (rate != mPreparedRate)
  {
    mPreparedRate = rate;
    mDelay.prepare(rate);
  }
  else
  {
    mDelay.clear();
  }
  for (auto& tape : mTape)
    tape.prepare(rate);
  for (auto& width : mWidth)
    width.prepare(rate);
  mDuck.prepare(rate > 0.0 ? rate : 48000.0);

  mMixSmooth = rate > 0.0 ? 1.0 - std::exp(-1.0 / (kMixSeconds * rate)) : 0.0010411243202754772;
  mMixFirst = true;
  mFadeStep = rate > 0.0 ? 1.0 / (kMixSeconds * rate) : 1.0 / 960.0;

  const bool bypassed = param(kBypass) >= 0.5;
  mBypassFade = bypassed ? 0.0 : 1.0;
  mActive = mWasActive = !bypassed;
  mTap.restart();
  mSampleCounter = 0;
}

void OstraTapeDelay::clearEngines() noexcept
{
  mDelay.clear();
  mTape[0].clear();
  mTape[1].clear();
  mWidth[0].clear();
  mDuck.clear();
}

void OstraTapeDelay::captureTap(int nFrames) noexcept
{
  if (!mTapPending.exchange(false) || param(kSync) >= 0.5)
    return; // a tap while Sync is on is dropped
  const int offset = std::clamp(mTapOffset.load(), 0, std::max(nFrames, 1) - 1);
  const double rate = GetSampleRate() > 0.0 ? GetSampleRate() : 48000.0;
  mTap.press(static_cast<double>(offset + mSampleCounter) / rate);
}

void OstraTapeDelay::passThrough(double** inputs, double** outputs, int nIn, int nOut,
                                 int nFrames) noexcept
{
  int copied = 0;
  if (inputs)
  {
    copied = std::min(nIn, nOut);
    for (int c = 0; c < copied; ++c)
      if (inputs[c] != outputs[c])
        std::memcpy(outputs[c], inputs[c], sizeof(double) * static_cast<size_t>(nFrames));
  }
  for (int c = copied; c < nOut; ++c)
  {
    if (copied > 0)
      std::memcpy(outputs[c], outputs[0], sizeof(double) * static_cast<size_t>(nFrames));
    else
      std::memset(outputs[c], 0, sizeof(double) * static_cast<size_t>(nFrames));
  }
}

void OstraTapeDelay::setupBlock(int nIn, bool gap) noexcept
{
  if (!mWasActive || mClearRequested.exchange(false) || gap)
    clearEngines();
  mWasActive = true;

  const double tempo = GetTempo();
  mHostTempo.store(tempo > 1.0 ? tempo : kFallbackTempo, std::memory_order_relaxed);
  const Settings settings = delaySettings(tempo);

  const double drive = param(kDrive);
  const double driveGain =
      drive < -18.0 ? 0.12589254117941673 : std::pow(10.0, std::min(drive, 18.0) / 20.0);
  for (auto& tape : mTape)
  {
    tape.setDrive(driveGain);
    tape.setMode(Tape::kOversampled);
  }

  mDelay.inputOffset = Tape::kOversampledLatency;
  mDelay.set(settings);

  mDuck.setDepth(std::clamp(param(kDuck), 0.0, 24.0));
  mDuck.setRelease(std::clamp(param(kDuckRelease), 50.0, 2000.0));

  mMixTarget = std::clamp(param(kMix) / 100.0, 0.0, 1.0);
  if (mMixFirst)
  {
    mMixCurrent = mMixTarget;
    mMixFirst = false;
  }

  const bool leftOnly = mInputMode.load(std::memory_order_relaxed) == kInputLeftOnly;
  if (mPreviousLeftOnly && !leftOnly)
    mTape[1].clear(); // it did not run while only the left input fed the echoes
  mPreviousLeftOnly = leftOnly;

  Width& analyser = mWidth[1];
  analyser.setMonoBus(nIn < 2);
  if (mRedetectInput.exchange(false))
  {
    analyser.clearDecorrelator();
    analyser.clearAnalyser();
    analyser.resetGains();
  }
  analyser.setWidth(0.0f);
  analyser.setMode(Width::kAuto);
  analyser.setMethod(0);
}

void OstraTapeDelay::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
  const corvana::dsp::ScopedFlushToZero ftz;
  const int nIn = inputs ? NChannelsConnected(plug::kInput) : 0;
  const int nOut = outputs ? NChannelsConnected(plug::kOutput) : 0;
  const auto now = std::chrono::steady_clock::now();

  bool gap = false;
  if (mHasProcessed && !GetRenderingOffline() && now - mLastProcessTime >= kGap)
  {
    mTap.restart();
    gap = true;
  }

  captureTap(nFrames);
  mSampleCounter += nFrames;
  mActive = param(kBypass) < 0.5;

  if (nOut == 0 || nFrames <= 0)
  {
    // Nothing to write; still keep the clock so a later block does not see a gap.
  }
  else if (!mActive && mBypassFade <= 0.0)
  {
    mWasActive = false;
    passThrough(inputs, outputs, nIn, nOut, nFrames);
  }
  else
  {
    setupBlock(nIn, gap);

    const int inputMode = mInputMode.load(std::memory_order_relaxed);
    const bool leftOnly = inputMode == kInputLeftOnly;
    double widthValue = param(kWidth) / 100.0;
    if (!std::isfinite(widthValue))
      widthValue = 0.0;
    const float width = static_cast<float>(std::clamp(widthValue, -1.0, 1.0));
    const bool meter = mMeterEnabled.load(std::memory_order_relaxed);
    const bool pingPong = param(kPingPong) >= 0.5;
    const bool rightRuns = !(nIn < 2 || leftOnly);
    double blockPeak = 0.0;
    double blockSum = 0.0;

    // The same every frame of the block, so set once (the mode follows the
    // analyser and stays per frame).
    mWidth[0].setWidth(width);
    mWidth[0].setMethod(0);

    // The tape stages feed only the delay lines and nothing in the frame loop
    // feeds back into them, so they run ahead over a slice of the block, both
    // channels in one pass.
    constexpr int kSlice = 128;
    static constexpr double kSilence[kSlice] = {};
    double tapeL[kSlice];
    double tapeR[kSlice];
    double drivenL[kSlice];
    double drivenR[kSlice];
    double echoesL[kSlice];
    double echoesR[kSlice];

    for (int start = 0; start < nFrames; start += kSlice)
    {
      const int n = std::min(kSlice, nFrames - start);
      // With no input connected the effect still runs, on silence.
      const double* inL = nIn > 0 ? inputs[0] + start : kSilence;
      const double* inR = nIn >= 2 ? inputs[1] + start : inL;

      if (rightRuns)
        Tape::processPair(mTape[0], mTape[1], inL, inR, tapeL, tapeR, n, meter ? drivenL : nullptr,
                          meter ? drivenR : nullptr);
      else
        mTape[0].process(inL, tapeL, n, meter ? drivenL : nullptr);
      // Likewise the delay lines: nothing after them feeds back either.
      mDelay.process(tapeL, rightRuns ? tapeR : tapeL, echoesL, echoesR, n);

      // The analyser, the width stage and the ducker each run over the slice
      // in turn, then the mix: a stage at a time, frames overlap in the
      // processor instead of waiting on each other's chains.
      const bool duckFromLeft = nIn < 2 || leftOnly;
      bool mono[kSlice];
      if (nIn >= 2 && inputMode == kInputAuto)
      {
        for (int j = 0; j < n; ++j)
        {
          mWidth[1].analyse(inL[j], inR[j]); // its output is not used
          mono[j] = mWidth[1].state() == Width::kMono;
        }
      }
      else
      {
        std::fill_n(mono, n, nIn < 2 || leftOnly);
      }
      if (start == 0)
        mDetectedMono.store(mono[0], std::memory_order_relaxed);

      for (int j = 0; j < n; ++j)
      {
        mWidth[0].setMode(mono[j] ? Width::kMono : Width::kStereo);
        if (nOut >= 2)
          mWidth[0].tick(echoesL[j], echoesR[j]);
      }

      double duck[kSlice];
      for (int j = 0; j < n; ++j)
        duck[j] = mDuck.tick(duckFromLeft ? inL[j] : std::max(std::abs(inL[j]), std::abs(inR[j])));

      if (meter)
      {
        for (int j = 0; j < n; ++j)
        {
          const double level =
              std::max(std::abs(drivenL[j]), rightRuns ? std::abs(drivenR[j]) : 0.0);
          blockPeak = std::max(blockPeak, level);
          blockSum += level * level;
        }
      }

      // The smoothers in locals: the output stores could otherwise alias them.
      double mix = mMixCurrent;
      double fade = mBypassFade;
      const double mixTarget = mMixTarget;
      const double mixSmooth = mMixSmooth;
      const double fadeStep = mActive ? mFadeStep : -mFadeStep;
      for (int j = 0; j < n; ++j)
      {
        const int i = start + j;
        const double l = inL[j];
        const double r = inR[j];
        const double echoL = echoesL[j];
        const double echoR = echoesR[j];

        mix += (mixTarget - mix) * mixSmooth;
        if (std::abs(mixTarget - mix) < 1e-9)
          mix = mixTarget;
        const double m = std::clamp(mix, 0.0, 1.0);
        const double dry = m <= 0.5 ? 1.0 : 2.0 * (1.0 - m);
        const double wet = (m >= 0.5 ? 1.0 : 2.0 * m) * duck[j];
        // A muted dry path contributes nothing, not even a NaN the host sent.
        auto dryPart = [dry](double in) { return dry > 0.0 ? dry * in : 0.0; };

        fade = std::clamp(fade + fadeStep, 0.0, 1.0);
        const double f = fade;
        auto blend = [f](double in, double y)
        { return f >= 1.0 ? y : (f > 0.0 ? in + (y - in) * f : in); };

        if (nOut >= 2)
        {
          outputs[0][i] = blend(l, dryPart(l) + wet * echoL);
          outputs[1][i] = blend(r, dryPart(r) + wet * echoR);
        }
        else
        {
          const double e = pingPong ? echoL + echoR : echoL;
          outputs[0][i] = blend(l, dryPart(l) + wet * e);
        }
      }
      mMixCurrent = mix;
      mBypassFade = fade;
    }

    if (meter)
    {
      float peak = mMeterPeak.load();
      while (peak < blockPeak &&
             !mMeterPeak.compare_exchange_weak(peak, static_cast<float>(blockPeak)))
      {
      }
      mMeterSumSquares.fetch_add(blockSum);
      mMeterFrames.fetch_add(nFrames);
    }
  }

  mLastProcessTime = std::chrono::steady_clock::now();
  mHasProcessed = true;
}
