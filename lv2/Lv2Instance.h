#pragma once

#include "framework/ITimeInfo.h"
#include "lv2/Lv2Effect.h"
#include "lv2/Ports.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace ostratapedelay::lv2
{

/** Frames per block when the host does not say (options bufsz:maxBlockLength or
 *  nominalBlockLength); longer runs are processed in slices of this many frames. */
inline constexpr int kDefaultBlockFrames = 8192;
/** Largest block the scratch buffers are sized for, whatever the host announces. */
inline constexpr int kMaxBlockFrames = 1 << 16;
/** Period of the plug-in's idle tick in audio time. */
inline constexpr double kIdlePeriodSeconds = 0.02;

/**
 * One instance of an LV2 plug-in of the bundle: translates the host's ports, atoms, state,
 * worker and option calls into the framework's processor and parameter operations on the
 * effect it owns.
 *
 * Threads follow LV2's classes: create, activate, deactivate, restore and setOptions are
 * "instantiation" calls (never concurrent with anything else on the instance); run is the
 * audio thread and real-time safe; work is the host's worker thread (non-real-time) and
 * runs the effect's idle tick while no editor is open; save may run beside run and work.
 *
 * The editor side (the bundle's UI, through EditorAccess) runs on the host's UI thread
 * under the editor lock. While the editor is open that thread drives the idle tick and the
 * worker's tick stands aside; a worker tick never waits for the lock, so an offline export
 * that runs the worker inside run() never waits on the UI thread.
 */
class Lv2Instance
{
public:
  /** Null when the rate is unusable. Without urid:map the instance processes audio but
   *  reads no atoms or options and keeps no state. Allocates. */
  static std::unique_ptr<Lv2Instance> create(const Variant& variant, double sampleRate,
                                             const LV2_Feature* const* features);

  /** Any pointer, including null; the host connects before run. Real-time safe. */
  void connectPort(std::uint32_t port, void* data) noexcept;
  /** Resets processing (clears echoes and the tap sequence). */
  void activate();
  void deactivate() noexcept {}
  /** One host cycle of `nFrames`. Real-time safe: no allocation, no lock, no I/O. */
  void run(std::uint32_t nFrames) noexcept;

  /** Stores the state chunk under kStateChunkUri as an atom:Chunk. */
  LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
  /** Applies a saved chunk; a damaged one is refused and leaves the effect as it was. With
   *  the editor open, its controls learn the values once the UI thread's call ends. */
  LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  /** Worker thread: the effect's idle tick. */
  LV2_Worker_Status work() noexcept;

  /** Block length and sample-rate changes from the host. */
  std::uint32_t setOptions(const LV2_Options_Option* options);

  /** The effect, for tests and for a UI with instance access. */
  Lv2Effect& effect() noexcept { return *mEffect; }

  // Editor side: the host's UI thread, between lockEditor and unlockEditor -----------------
  void lockEditor() { mEditorLock.lock(); }
  void unlockEditor() { mEditorLock.unlock(); }
  plug::graphics::ICanvas* openEditor(const EditorHost& host);
  /** Closes the editor when `host` has it (any host when null). */
  void closeEditor(const EditorHost* host = nullptr);
  /** False once the view is gone or the editor went to another host than `host`. */
  bool editorIdle(const EditorHost* host = nullptr);
  void editorPortEvent(std::uint32_t port, float value);
  void editorParentResized(int width, int height);
  /** The clock the editor's idle tick is paced by (tests give their own). */
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  void setEditorClock(Clock clock) { mEditorClock = std::move(clock); }

  /** The editor's table for the UI binary. */
  static const EditorAccess& editorAccess() noexcept;

private:
  Lv2Instance(const Variant& variant, double sampleRate);

  struct Urids
  {
    LV2_URID atomChunk = 0;
    LV2_URID atomObject = 0;
    LV2_URID atomBlank = 0;
    LV2_URID atomFloat = 0;
    LV2_URID atomDouble = 0;
    LV2_URID atomInt = 0;
    LV2_URID atomLong = 0;
    LV2_URID stateChunk = 0;
    LV2_URID timePosition = 0;
    LV2_URID timeBpm = 0;
    LV2_URID timeSpeed = 0;
    LV2_URID timeFrame = 0;
    LV2_URID timeBar = 0;
    LV2_URID timeBarBeat = 0;
    LV2_URID timeBeatsPerBar = 0;
    LV2_URID timeBeatUnit = 0;
    LV2_URID maxBlockLength = 0;
    LV2_URID nominalBlockLength = 0;
    LV2_URID sampleRate = 0;
  };

  void mapUrids(LV2_URID_Map* map);
  void applyBlockLength(int frames);
  void applyControls() noexcept;
  void applySwitches() noexcept;
  void readPosition(const LV2_Atom_Object* object) noexcept;
  bool numberOf(const LV2_Atom* atom, double& out) const noexcept;
  void processSegment(std::uint32_t offset, std::uint32_t nFrames) noexcept;
  void advanceTime(std::uint32_t nFrames) noexcept;
  void idle(std::uint32_t nFrames) noexcept;
  /** The idle tick off the UI thread: skipped while an editor drives it or holds the lock. */
  void tickUnlessEditorRuns() noexcept;

  const Variant& mVariant;
  std::unique_ptr<Lv2Effect> mEffect;
  Urids mUrid;
  bool mHasUrids = false;
  LV2_Worker_Schedule* mSchedule = nullptr;

  // Ports (the host's buffers).
  std::array<const float*, plugin::kNumParams> mControls{};
  const float* mEnabled = nullptr;
  const float* mFreeWheel = nullptr;
  const LV2_Atom_Sequence* mControlIn = nullptr;
  std::array<const float*, 2> mAudioIn{};
  std::array<float*, 2> mAudioOut{};

  // Audio-thread state.
  std::array<float, plugin::kNumParams> mLastControls{};
  bool mControlsSeen = false;
  bool mEnabledNow = true;
  bool mFreeWheelNow = false;
  plug::ITimeInfo mTime;
  double mIdleFrames = 960.0;
  double mFramesSinceIdle = 0.0;
  std::atomic<bool> mWorkPending{false};

  // Editor side.
  std::mutex mEditorLock;
  std::atomic<bool> mEditorOpen{false};
  const EditorHost* mEditorHost = nullptr;
  Clock mEditorClock = [] { return std::chrono::steady_clock::now(); };
  std::chrono::steady_clock::time_point mNextEditorTick{};
};

} // namespace ostratapedelay::lv2
