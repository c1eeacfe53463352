#pragma once

#include "dsp/Duck.h"
#include "dsp/Tape.h"
#include "dsp/TapeDelay.h"
#include "dsp/Width.h"
#include "framework/Config.h"
#include "framework/IAPIBase.h"
#include "framework/IProcessor.h"
#include "plugin/TapTempo.h"

#include <atomic>
#include <chrono>
#include <cstdint>

/**
 * The OstraTape-delay plug-in: a stereo tape delay with eighteen parameters (see
 * plugin/Parameters.h for their order).
 *
 * Construction and destruction on the main thread. ProcessBlock and OnReset run on the
 * host's audio thread; OnIdle and the editor-facing calls on the main thread. The two
 * sides share only atomic or single-word fields.
 */
class OstraTapeDelay : public plug::IAPIBase, public plug::IProcessor
{
public:
  using Settings = ostratapedelay::dsp::TapeDelay::Settings;

  /** Input modes (saved in the state chunk). */
  enum EInputMode : int
  {
    kInputAuto = 0,
    kInputStereo = 1,
    kInputLeftOnly = 2
  };

  /** Hands the framework the plug-in's configuration, creates its parameters and prepares
   *  the engines at 48000 Hz. Main thread; allocates. */
  OstraTapeDelay();

  // Audio side (host's audio thread) ------------------------------------------------------
  /** Re-prepares the engines for the framework's current sample rate. Allocates only when
   *  the rate changed (the delay rings are resized); call from the binding's set-up. */
  void OnReset() override;
  /** One host block; real-time safe. */
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  /** The delay engine's settings for the current parameters at `tempo` beats per minute.
   *  Any thread. */
  Settings delaySettings(double tempo) const;

  // Parameter hooks ------------------------------------------------------------------------
  /** Only Tap is handled: a rising edge from the host or the editor becomes a pending tap
   *  for the audio thread. Any thread; real-time safe. */
  void OnParamChange(int paramIdx, plug::EParamSource source, int sampleOffset) override;

  // Main thread ----------------------------------------------------------------------------
  /** The idle tick's work: host bypass clears the engines, a tapped interval becomes the
   *  delay times, Tap springs back to off. Main thread. */
  void OnIdle() override;

  /** Input mode 0 auto, 1 stereo, 2 left channel only; out-of-range values are clamped.
   *  Choosing auto restarts the input analyser. Main thread. */
  void setInputMode(int mode);
  int inputMode() const noexcept { return mInputMode.load(std::memory_order_relaxed); }

  // Published by the audio thread, read by the editor side -----------------------------------
  double hostTempo() const noexcept { return mHostTempo.load(std::memory_order_relaxed); }
  bool detectedMono() const noexcept { return mDetectedMono.load(std::memory_order_relaxed); }
  /** The editor wants the drive meter; the audio thread fills the accumulators meanwhile. */
  void setMeterEnabled(bool enabled) noexcept { mMeterEnabled.store(enabled); }
  /** Takes the meter accumulators (peak, mean square over the frames since the last take). */
  void takeMeter(float& peak, double& meanSquare) noexcept;

protected:
  /** Constrains `value` to parameter `paramIdx`, sends it to the host as an edit from the
   *  editor and to the editor's controls. Main thread. */
  void sendValueFromEditor(int paramIdx, double value);

private:
  // The configuration outlives the bases' construction this way.
  explicit OstraTapeDelay(const plug::Config& config);

  double param(int idx) const noexcept;
  void clearEngines() noexcept;
  void captureTap(int nFrames) noexcept;
  void setupBlock(int nIn, bool gap) noexcept;
  void passThrough(double** inputs, double** outputs, int nIn, int nOut, int nFrames) noexcept;
  void applyTapInterval();

  // Engines: touched by the audio thread and OnReset only.
  ostratapedelay::dsp::TapeDelay mDelay;
  ostratapedelay::dsp::Tape mTape[2];
  corvana::dsp::Width mWidth[2]; // [0] widens the echoes, [1] analyses the input
  ostratapedelay::dsp::Duck mDuck;

  // Per-block state of the audio thread.
  double mPreparedRate = 0.0;
  double mMixCurrent = 1.0;
  double mMixTarget = 1.0;
  double mMixSmooth = 0.0;
  bool mMixFirst = true;
  bool mActive = true;
  bool mWasActive = true;
  double mBypassFade = 1.0;
  double mFadeStep = 1.0 / 960.0;
  bool mPreviousLeftOnly = false;
  std::int64_t mSampleCounter = 0;
  std::chrono::steady_clock::time_point mLastProcessTime{};
  bool mHasProcessed = false;

  // Shared with the main thread.
  std::atomic<bool> mClearRequested{false};
  std::atomic<bool> mTapDown{false};
  std::atomic<bool> mTapPending{false};
  std::atomic<int> mTapOffset{0};
  ostratapedelay::plugin::TapTempo mTap;
  std::atomic<int> mInputMode{kInputAuto};
  std::atomic<bool> mRedetectInput{false};
  std::atomic<bool> mDetectedMono{false};
  std::atomic<double> mHostTempo{120.0};
  std::atomic<bool> mMeterEnabled{false};
  std::atomic<float> mMeterPeak{0.0f};
  std::atomic<double> mMeterSumSquares{0.0};
  std::atomic<int> mMeterFrames{0};
};
