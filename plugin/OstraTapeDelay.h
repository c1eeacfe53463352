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
#include "graphics/IColor.h"
#include "plugin/RepeatsWorker.h"
#include "plugin/TapTempo.h"
#include "presets/PresetFormat.h"
#include "updates/UpdateCheck.h"
#include "updates/UpdateWorker.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace plug::graphics
{
class ICanvas;
class ICanvasEditorDelegate;
class IControl;
} // namespace plug::graphics

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

  /** How the input feeds the echoes. The state chunk and the editor's menu hold it as its
   *  number. */
  enum class InputMode : int
  {
    kInputAuto = 0,
    kInputStereo = 1,
    kInputLeftOnly = 2
  };
  using enum InputMode;

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

  /** Input mode by its number: 0 auto, 1 stereo, 2 left channel only; out-of-range values
   *  are clamped. Choosing auto restarts the input analyser. Main thread. */
  void setInputMode(int mode);
  void setInputMode(InputMode mode) { setInputMode(static_cast<int>(mode)); }
  /** The input mode's number, as the state chunk stores it. */
  int inputMode() const noexcept
  {
    return static_cast<int>(mInputMode.load(std::memory_order_relaxed));
  }

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
  /** Stores the accent index (6 or more as 0); a change rebuilds an open editor on the next
   *  idle tick. Returns the stored index. Any thread. */
  unsigned setAccentIndex(unsigned index) noexcept;
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
  /** The display's backing scale: the open editor's, else the last one it reported (1 until
   *  one is known). Main thread. */
  float platformScale() const;

  // Editor (main thread) ----------------------------------------------------------------------
  using CanvasFactory = std::function<std::unique_ptr<plug::graphics::ICanvas>(
      plug::graphics::ICanvasEditorDelegate& delegate, int width, int height, int fps,
      float scale)>;

  /** How this platform makes a drawing context (a native view, an offscreen frame). */
  void setCanvasFactory(CanvasFactory factory) { mCanvasFactory = std::move(factory); }
  /** The delegate that joins an open editor to this plug-in. */
  plug::graphics::ICanvasEditorDelegate& editorDelegate() { return *mEditor; }
  /** Opens the editor through the canvas factory, at the scale the stored editor size asks
   *  for; null without a factory or when it makes none. */
  plug::graphics::ICanvas* openEditor();
  void closeEditor();
  /** The open editor's context, or null. */
  plug::graphics::ICanvas* ui() const;
  /** The context for an opening editor: 1000 × 456 at 60 frames per second, at the scale of
   *  the stored editor size over the platform scale (1 when that is not positive). */
  std::unique_ptr<plug::graphics::ICanvas> makeGraphics(plug::graphics::ICanvasEditorDelegate& d);
  /** Where the editor's fonts and artwork are looked for when the context knows no place;
   *  by default beside this binary (resourceFolders()). */
  void setResourceFolders(std::vector<std::string> folders)
  {
    mResourceFolders = std::move(folders);
  }
  /** Attaches every control of the editor to `g`; may run again after RemoveAllControls. */
  void layout(plug::graphics::ICanvas* g);

  /** The accent colour with `alpha`: the host's track colour for index 5 when it gives one. */
  plug::graphics::IColor resolvedAccent(int alpha) const;
  /** The host's track colour; false when it gives none (this binding never does). */
  virtual bool trackColour(int& r, int& g, int& b) const;
  /** The host's track name; empty when none (this binding never gives one). */
  virtual void trackLabel(std::string& label) const;

  /** Shows the time or note controls by Sync and binds the right side to the left by Link,
   *  when either changed since the last time. */
  void showTimeControls();
  /** The window scale: the open editor's pixel width over 1000, else the stored width over
   *  1000 × the platform scale (1 when none is stored). */
  float editorScale() const;
  /** Resizes an open editor to the user's scale `scale`, within the window limits. */
  void applyEditorScale(float scale);
  /** Corrects a requested window size (device pixels) in place: limits 750 × 342 to
   *  2000 × 912 (× the platform scale above 1), aspect 1000 : 456. True when unchanged. */
  bool ConstrainEditorResize(int& width, int& height) const;
  /** The host resized the editor's window to width × height device pixels. */
  void OnParentWindowResize(int width, int height);
  /** The status line for the present latency and input. */
  std::string statusText() const;

  void OnUIOpen() override;
  void OnUIClose() override;

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

  /** Every parameter's value to the editor's controls. */
  void pushValuesToEditor();

private:
  // The configuration outlives the bases' construction this way.
  OstraTapeDelay(const plug::Config& config,
                 const corvana::updates::UpdateWorkerTiming& updateTiming);

  double param(int idx) const noexcept;
  void clearEngines() noexcept;
  void captureTap(int nFrames) noexcept;
  void setupBlock(int nIn, bool gap) noexcept;
  void passThrough(double** inputs, double** outputs, int nIn, int nOut, int nFrames) noexcept;

  // The effect's block path: the block in slices of kSlice frames, each slice through the
  // stages in turn (tape, delay, input analysis, width, duck, meter, mix and fade).
  static constexpr int kSlice = 128;
  struct Routing;
  struct Slice;
  struct MeterSums
  {
    double peak = 0.0;
    double sumSquares = 0.0;
  };
  void runEffect(double** inputs, double** outputs, int nIn, int nOut, int nFrames,
                 bool gap) noexcept;
  void tapeStage(const Routing& routing, Slice& slice) noexcept;
  void delayStage(const Routing& routing, Slice& slice) noexcept;
  void analyseInput(const Routing& routing, Slice& slice) noexcept;
  void widthStage(const Routing& routing, Slice& slice) noexcept;
  void duckStage(const Routing& routing, Slice& slice) noexcept;
  void meterSlice(const Routing& routing, const Slice& slice, MeterSums& sums) const noexcept;
  void mixAndFade(const Routing& routing, const Slice& slice, double** outputs) noexcept;
  void publishMeter(const MeterSums& sums, int nFrames) noexcept;
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
  void feedMeter();
  void rebuildEditor();
  void updateTitle();
  void updateStatusLine();

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
  std::atomic<InputMode> mInputMode{kInputAuto};
  std::atomic<bool> mRedetectInput{false};
  std::atomic<bool> mDetectedMono{false};
  std::atomic<double> mHostTempo{plug::kDefaultTempo};
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

  // Editor side (main thread). The controls belong to the open context; these are found
  // again by each layout and forgotten when the editor closes.
  std::unique_ptr<plug::graphics::ICanvasEditorDelegate> mEditor;
  CanvasFactory mCanvasFactory;
  std::vector<std::string> mResourceFolders;
  std::array<plug::graphics::IControl*, 8> mTimeControls{};
  int mLastSyncLink = -1;
  std::string mLastStatus;
  int mLastStatusKey = -1;
  int mCachedHostColour = -1;
  std::string mCachedTrackLabel;

  // The update check is shared with the editor's notice; the worker goes first on shutdown.
  std::shared_ptr<corvana::updates::UpdateCheck> mUpdateCheck;
  std::unique_ptr<corvana::updates::UpdateWorker> mUpdateWorker;
  // Declared last so that it stops first: a running measurement ends at its next check.
  std::unique_ptr<ostratapedelay::plugin::RepeatsWorker> mRepeatsWorker;
};

/** An input mode's number, as the state chunk and the editor's menu hold it, against a mode. */
constexpr bool operator==(int number, OstraTapeDelay::InputMode mode) noexcept
{
  return number == static_cast<int>(mode);
}
