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
// A pause of more than 200 ms between blocks means the host stopped processing; the steady
// clock counts nanoseconds, so "more than" starts one nanosecond above.
constexpr auto kGap = std::chrono::nanoseconds(200000001);

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
    const double bpm = tempo > 1.0 ? tempo : plug::kDefaultTempo;
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
  s.slope = TapeDelay::Slope::k6dB;
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
  mHostTempo.store(tempo > 1.0 ? tempo : plug::kDefaultTempo, std::memory_order_relaxed);
  const Settings settings = delaySettings(tempo);

  const double drive = param(kDrive);
  const double driveGain = drive < Tape::kMinDriveDb
                               ? Tape::kMinDriveGain
                               : std::pow(10.0, std::min(drive, Tape::kMaxDriveDb) / 20.0);
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
  analyser.setMethod(Width::kDelays);
}

// What stays the same over a block: which channels exist and how the input feeds the stages.
struct OstraTapeDelay::Routing
{
  int nIn = 0;
  int nOut = 0;
  bool analyse = false;   // a stereo input in auto mode: the analyser decides per frame
  bool monoInput = false; // otherwise: the input counts as mono (one channel or left only)
  bool rightRuns = false; // the right tape stage feeds the right delay line
  bool pingPong = false;
  bool meter = false;
};

// One slice of a block on its way through the stages: the input and what each stage
// leaves for the next.
struct OstraTapeDelay::Slice
{
  int start = 0;
  int n = 0;
  const double* inL = nullptr;
  const double* inR = nullptr;
  double tapeL[kSlice];
  double tapeR[kSlice];
  double drivenL[kSlice]; // after the drive gain, for the meter
  double drivenR[kSlice];
  double echoL[kSlice];
  double echoR[kSlice];
  bool mono[kSlice];
  double duck[kSlice];
};

void OstraTapeDelay::tapeStage(const Routing& r, Slice& s) noexcept
{
  double* drivenL = r.meter ? s.drivenL : nullptr;
  if (r.rightRuns)
    Tape::processPair(mTape[0], mTape[1], s.inL, s.inR, s.tapeL, s.tapeR, s.n, drivenL,
                      r.meter ? s.drivenR : nullptr);
  else
    mTape[0].process(s.inL, s.tapeL, s.n, drivenL);
}

void OstraTapeDelay::delayStage(const Routing& r, Slice& s) noexcept
{
  mDelay.process(s.tapeL, r.rightRuns ? s.tapeR : s.tapeL, s.echoL, s.echoR, s.n);
}

void OstraTapeDelay::analyseInput(const Routing& r, Slice& s) noexcept
{
  if (r.analyse)
  {
    Width& analyser = mWidth[1];
    for (int j = 0; j < s.n; ++j)
    {
      analyser.analyse(s.inL[j], s.inR[j]); // its output is not used
      s.mono[j] = analyser.state() == Width::kMono;
    }
  }
  else
  {
    std::fill_n(s.mono, s.n, r.monoInput);
  }
  if (s.start == 0)
    mDetectedMono.store(s.mono[0], std::memory_order_relaxed);
}

void OstraTapeDelay::widthStage(const Routing& r, Slice& s) noexcept
{
  Width& width = mWidth[0];
  for (int j = 0; j < s.n; ++j)
  {
    width.setMode(s.mono[j] ? Width::kMono : Width::kStereo);
    if (r.nOut >= 2)
      width.tick(s.echoL[j], s.echoR[j]);
  }
}

void OstraTapeDelay::duckStage(const Routing& r, Slice& s) noexcept
{
  // A mono input ducks from its one channel, a stereo one from the louder side.
  const bool fromLeft = r.monoInput;
  for (int j = 0; j < s.n; ++j)
    s.duck[j] = mDuck.tick(fromLeft ? s.inL[j] : std::max(std::abs(s.inL[j]), std::abs(s.inR[j])));
}

void OstraTapeDelay::mixAndFade(const Routing& routing, const Slice& s, double** outputs) noexcept
{
  // The smoothers in locals: the output stores could otherwise alias them.
  double mix = mMixCurrent;
  double fade = mBypassFade;
  const double mixTarget = mMixTarget;
  const double mixSmooth = mMixSmooth;
  const double fadeStep = mActive ? mFadeStep : -mFadeStep;
  const double* inL = s.inL;
  const double* inR = s.inR;
  const bool pingPong = routing.pingPong;
  double* outL = outputs[0] + s.start;
  double* outR = routing.nOut >= 2 ? outputs[1] + s.start : nullptr;
  for (int j = 0; j < s.n; ++j)
  {
    const double l = inL[j];
    const double r = inR[j];

    mix += (mixTarget - mix) * mixSmooth;
    if (std::abs(mixTarget - mix) < 1e-9)
      mix = mixTarget;
    const double m = std::clamp(mix, 0.0, 1.0);
    const double dry = m <= 0.5 ? 1.0 : 2.0 * (1.0 - m);
    const double wet = (m >= 0.5 ? 1.0 : 2.0 * m) * s.duck[j];
    // A muted dry path contributes nothing, not even a NaN the host sent.
    auto dryPart = [dry](double in) { return dry > 0.0 ? dry * in : 0.0; };

    fade = std::clamp(fade + fadeStep, 0.0, 1.0);
    const double f = fade;
    auto blend = [f](double in, double y)
    { return f >= 1.0 ? y : (f > 0.0 ? in + (y - in) * f : in); };

    if (outR != nullptr)
    {
      outL[j] = blend(l, dryPart(l) + wet * s.echoL[j]);
      outR[j] = blend(r, dryPart(r) + wet * s.echoR[j]);
    }
    else
    {
      const double e = pingPong ? s.echoL[j] + s.echoR[j] : s.echoL[j];
      outL[j] = blend(l, dryPart(l) + wet * e);
    }
  }
  mMixCurrent = mix;
  mBypassFade = fade;
}

void OstraTapeDelay::meterSlice(const Routing& r, const Slice& s, MeterSums& sums) const noexcept
{
  for (int j = 0; j < s.n; ++j)
  {
    const double level =
        std::max(std::abs(s.drivenL[j]), r.rightRuns ? std::abs(s.drivenR[j]) : 0.0);
    sums.peak = std::max(sums.peak, level);
    sums.sumSquares += level * level;
  }
}

void OstraTapeDelay::publishMeter(const MeterSums& sums, int nFrames) noexcept
{
  float peak = mMeterPeak.load();
  while (peak < sums.peak && !mMeterPeak.compare_exchange_weak(peak, static_cast<float>(sums.peak)))
  {
  }
  mMeterSumSquares.fetch_add(sums.sumSquares);
  mMeterFrames.fetch_add(nFrames);
}

void OstraTapeDelay::runEffect(double** inputs, double** outputs, int nIn, int nOut, int nFrames,
                               bool gap) noexcept
{
  setupBlock(nIn, gap);

  const InputMode inputMode = mInputMode.load(std::memory_order_relaxed);
  const bool leftOnly = inputMode == kInputLeftOnly;
  Routing routing;
  routing.nIn = nIn;
  routing.nOut = nOut;
  routing.analyse = nIn >= 2 && inputMode == kInputAuto;
  routing.monoInput = nIn < 2 || leftOnly;
  routing.rightRuns = !routing.monoInput;
  routing.pingPong = param(kPingPong) >= 0.5;
  routing.meter = mMeterEnabled.load(std::memory_order_relaxed);

  // The same every frame of the block, so set once (the mode follows the analyser and
  // stays per frame).
  double widthValue = param(kWidth) / 100.0;
  if (!std::isfinite(widthValue))
    widthValue = 0.0;
  mWidth[0].setWidth(static_cast<float>(std::clamp(widthValue, -1.0, 1.0)));
  mWidth[0].setMethod(Width::kDelays);

  // Slice by slice, each stage runs over the whole slice before the next starts: nothing
  // later in the chain feeds back into an earlier stage, and a stage at a time lets the
  // processor overlap frames instead of waiting on each frame's chain.
  static constexpr double kSilence[kSlice] = {};
  Slice slice;
  MeterSums meter;
  for (int start = 0; start < nFrames; start += kSlice)
  {
    slice.start = start;
    slice.n = std::min(kSlice, nFrames - start);
    // With no input connected the effect still runs, on silence.
    slice.inL = nIn > 0 ? inputs[0] + start : kSilence;
    slice.inR = nIn >= 2 ? inputs[1] + start : slice.inL;

    tapeStage(routing, slice);
    delayStage(routing, slice);
    analyseInput(routing, slice);
    widthStage(routing, slice);
    duckStage(routing, slice);
    if (routing.meter)
      meterSlice(routing, slice, meter);
    mixAndFade(routing, slice, outputs);
  }
  if (routing.meter)
    publishMeter(meter, nFrames);
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

  // With nothing to write the clock still moves on, so a later block does not see a gap.
  if (nOut > 0 && nFrames > 0)
  {
    if (!mActive && mBypassFade <= 0.0)
    {
      mWasActive = false;
      passThrough(inputs, outputs, nIn, nOut, nFrames);
    }
    else
    {
      runEffect(inputs, outputs, nIn, nOut, nFrames, gap);
    }
  }

  mLastProcessTime = std::chrono::steady_clock::now();
  mHasProcessed = true;
}
