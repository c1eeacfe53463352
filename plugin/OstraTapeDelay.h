#pragma once

#include "dsp/Duck.h"
#include "dsp/Tape.h"
#include "dsp/TapeDelay.h"
#include "dsp/Width.h"
#include "framework/Config.h"
#include "framework/IAPIBase.h"
#include "framework/IAtomicSize.h"
#include "framework/IProcessor.h"
#include "framework/au/IAUBinding.h"
#include "plugin/RepeatsWorker.h"
#include "plugin/TapTempo.h"
#include "presets/PresetFormat.h"
#include "updates/UpdateCheck.h"
#include "updates/UpdateWorker.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

/**
 * The OstraTape-delay plug-in: a stereo tape delay with eighteen parameters (see
 * plugin/Parameters.h for their order).
 *
 * Construction and destruction on the main thread. ProcessBlock and OnReset run on the
 * host's audio thread; OnIdle and the editor-facing calls on the main thread. The two
 * sides share only atomic or single-word fields.
 */
class OstraTapeDelay : public plug::IAUBinding
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
  /** The same with the update worker's waits given, for tools and tests that need the
   *  background check to run soon. Main thread; allocates. */
  explicit OstraTapeDelay(const corvana::updates::UpdateWorkerTiming& updateTiming);
  /** Ends the update worker at once (a running fetch is cancelled). Main thread. */
  ~OstraTapeDelay() override;

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

  // State (any thread the host asks on; a preset load on the main thread) ------------------
  /** Appends the state chunk: magic, version 3, accent, editor size, preset name, modified
   *  flag, the eighteen values and the tail. */
  bool SerializeState(plug::IByteChunk& chunk) const override;
  /** Reads a state chunk from `startPos` and applies it; a chunk without the magic is read
   *  as a bare parameter list. Returns the position after the last field read, or -1 when
   *  the parameter values are cut short. */
  int UnserializeState(const plug::IByteChunk& chunk, int startPos) override;

  /** Editor accent colour index 0..5 (6 or more is stored as 0). */
  unsigned accentIndex() const noexcept { return mAccent.load(); }
  void setAccentIndex(unsigned index) noexcept;
  /** Ends the background update check for this instance, for offline tools that must
   *  not touch the network while they render. Main thread. */
  void stopUpdateWorker() { mUpdateWorker.reset(); }
  /** The update check whose notice the editor shows. */
  std::shared_ptr<corvana::updates::UpdateCheck> updateCheck() const { return mUpdateCheck; }

  /** True once after the accent changed. Main thread. */
  bool takeAccentChanged() noexcept { return mAccentChanged.exchange(false); }
  /** The editor size the last restored chunk or preset carried (points). Any thread. */
  int storedEditorWidth() const noexcept { return mStoredEditorSize.Load().width; }
  int storedEditorHeight() const noexcept { return mStoredEditorSize.Load().height; }
  /** The display's backing scale last reported by the editor; 1 until one is known. Any
   *  thread. */
  float platformScale() const noexcept { return mPlatformScale.load(); }

  // Preset bookkeeping (main thread unless stated) --------------------------------------
  /** The user preset folder. Any thread. */
  std::filesystem::path presetDirectory() const;
  /** The user presets, sorted; empty on any error. Any thread. */
  std::vector<corvana::presets::SavedPreset> savedPresets() const;
  std::string presetName() const;
  bool presetIsFactory() const;
  /** Any thread. */
  bool presetModified() const noexcept { return mModified.load() || mForcedModified.load(); }
  /** The current real values of all parameters, in index order. Any thread. */
  std::vector<double> soundSnapshot() const;
  /** Starts a new snapshot on the next idle tick; `forced` keeps the preset modified. */
  void retakePresetSnapshot(bool forced);

  void loadPreset(const corvana::presets::SavedPreset& preset);
  void savePreset(const std::string& name, bool askFirst);
  void removePreset(const corvana::presets::SavedPreset& preset);
  void loadFactoryPreset(const std::string& name);
  /** The preset bar's save: overwrites the loaded user preset at once, asks (on the next
   *  idle tick) before replacing any other existing file. */
  void requestSave(const std::string& name);
  /** Whether a save waits for the next idle tick. */
  bool hasPendingSave() const { return mPendingSaveName.has_value(); }

  // Repeats display (main thread) ---------------------------------------------------------
  /** What the repeats display measures: the delay settings at the host's tempo and Drive. */
  ostratapedelay::dsp::RepeatsModel::Request repeatsRequest() const;
  /** The display's idle step: makes the worker on first use, posts the current request and
   *  takes the results, only fresh ones once the display has some. True when `out` was
   *  filled. The worker lives as long as the plug-in, so a reopened editor gets the last
   *  results at once. */
  bool pollRepeats(bool displayHasRepeats, std::vector<ostratapedelay::dsp::Repeat>& out);
  /** The worker, or null before the first poll. */
  ostratapedelay::plugin::RepeatsWorker* repeatsWorker() const { return mRepeatsWorker.get(); }

  /** Shows a message box in the open editor; nothing without one. */
  virtual void tell(const std::string& message, const std::string& title);
  /** Asks a yes/no question in the open editor; false without one. */
  virtual bool ask(const std::string& message, const std::string& title);

protected:
  /** Constrains `value` to parameter `paramIdx`, sends it to the host as an edit from the
   *  editor and to the editor's controls. Main thread. */
  void sendValueFromEditor(int paramIdx, double value);

private:
  // The configuration outlives the bases' construction this way.
  OstraTapeDelay(const plug::Config& config,
                 const corvana::updates::UpdateWorkerTiming& updateTiming);

  double param(int idx) const noexcept;
  void clearEngines() noexcept;
  void captureTap(int nFrames) noexcept;
  void setupBlock(int nIn, bool gap) noexcept;
  void passThrough(double** inputs, double** outputs, int nIn, int nOut, int nFrames) noexcept;
  void applyTapInterval();
  /** Who hands a chunk to the reader: a factory preset keeps the window and accent, a
   *  preset of either kind keeps the input mode. An argument, not a flag on the object: a
   *  host may restore on its own thread while the main thread loads a preset. */
  enum class StateSource
  {
    kHost,
    kUserPreset,
    kFactoryPreset
  };
  int readState(const plug::IByteChunk& chunk, int startPos, StateSource source);
  void applyPreset(const corvana::presets::SavedPreset& preset, bool factory);
  void loadPresetFile(const corvana::presets::SavedPreset& preset);
  void savePresetFile(const std::string& name, bool askFirst);
  void removePresetFile(const corvana::presets::SavedPreset& preset);
  void checkPresetModified();
  void restoreEditorSize(int width, int height, StateSource source);

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

  // Editor data carried by the state chunk.
  std::atomic<unsigned> mAccent{5};
  std::atomic<bool> mAccentChanged{false};
  // A host may save or restore state on its own thread while the main thread works with
  // these, so each is one atomic word.
  plug::IAtomicSize mStoredEditorSize;
  std::atomic<float> mPlatformScale{1.0f};

  // Preset bookkeeping. A host restore on its own thread and the idle tick both change the
  // three flags, so every change of them happens under the lock (a retake and its
  // consumption must not interleave); they are atomic so that presetModified() and the
  // state writer can read them without it.
  mutable std::mutex mPresetLock; // guards the name, the factory flag and flag changes
  std::string mPresetName;
  bool mPresetFactory = false;
  std::atomic<bool> mModified{false};
  std::atomic<bool> mForcedModified{false};
  std::atomic<bool> mRetakeRequested{false};
  // Main thread only.
  std::vector<double> mSnapshot;
  std::optional<std::string> mPendingSaveName;

  // The update check is shared with the editor's notice; the worker goes first on shutdown.
  std::shared_ptr<corvana::updates::UpdateCheck> mUpdateCheck;
  std::unique_ptr<corvana::updates::UpdateWorker> mUpdateWorker;
  // Declared last so that it stops first: a running measurement ends at its next check.
  std::unique_ptr<ostratapedelay::plugin::RepeatsWorker> mRepeatsWorker;
};
