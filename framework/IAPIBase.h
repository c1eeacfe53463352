#pragma once

#include "framework/IEditorDelegate.h"
#include "framework/IMidiMsg.h"
#include "framework/IRingQueue.h"
#include "framework/Timer.h"

#include <atomic>
#include <memory>

namespace plug
{

/** Period of the main-thread idle timer. */
constexpr int kIdleTimerPeriodMs = 20;

/** Slot counts of the queues between host, audio thread and editor (capacity is one less). */
constexpr int kParamQueueSlots = 513;
constexpr int kMidiQueueSlots = 33;
constexpr int kSysexQueueSlots = 5;

/**
 * The layer between host, editor and plug-in. Edits made in the editor reach the host inside
 * begin/end gestures through the host-notification hooks a binding overrides; host changes
 * reach the editor through lock-free queues that the idle timer empties on the main thread
 * before it calls OnIdle().
 *
 * Threads are stated per operation. The editor-side operations and the idle tick are for
 * the main thread; host automation may come from any host thread; nothing here locks.
 */
class IAPIBase : public IEditorDelegate
{
public:
  /** Creates the queues and the 20 ms idle timer (which the main thread's owner ticks). */
  explicit IAPIBase(const Config& config);
  ~IAPIBase() override;

  // Editor -> plug-in and host (main thread) ------------------------------------------------

  /** Opens a host gesture for parameter `paramIdx`. */
  void BeginInformHostOfParamChangeFromUI(int paramIdx);
  /** SetParameterValue, then sets the parameter again from `normalized` and calls
   *  OnParamChangeUI(idx, kUI). */
  void SendParameterValueFromUI(int paramIdx, double normalized);
  /** Closes the host gesture for parameter `paramIdx`. */
  void EndInformHostOfParamChangeFromUI(int paramIdx);

  /** Parameter := its value for `normalized` (shape, constrain rule), stored atomically;
   *  tells the host (value-change event) and calls OnParamChange(idx, kUI, -1). */
  void SetParameterValue(int paramIdx, double normalized);

  /** Tells the host every parameter's current normalised value. */
  void DirtyParametersFromUI();

  /** True without doing anything when no platform resize is needed; otherwise asks the
   *  binding to resize the host's view (EditorResize). */
  bool EditorResizeFromUI(int width, int height, bool needsPlatformResize);

  /** Queue MIDI / system-exclusive messages from the editor for the audio thread; false when
   *  the queue is full (the message is dropped). */
  bool SendMidiMsgFromUI(const IMidiMsg& msg);
  bool SendSysexMsgFromUI(const ISysExData& msg);

  // Host -> plug-in and editor -------------------------------------------------------------

  /**
   * The host automated parameter `paramIdx` to the real `value`: constrain and store it
   * atomically, queue it for the editor, then OnParamChange(idx, kHost, sampleOffset).
   * False for an unknown index. Any host thread; real-time safe (no locks, no allocation).
   */
  bool SetParameterFromHost(int paramIdx, double value, int sampleOffset);

  /**
   * Queues {idx, value} for the editor's next idle tick, converting a normalised value to
   * the real value first. Dropped when the queue is full, or when another thread is pushing
   * at the same instant (the queue takes one writer at a time; the parameter itself already
   * holds the value). Any host thread; real-time safe.
   */
  void SendParameterValueFromAPI(int paramIdx, double value, bool normalized);

  // Audio thread side of the message queues (real-time safe) ---------------------------------

  bool PopMidiMsgFromUI(IMidiMsg& msg) noexcept { return mMidiFromUI.Pop(msg); }
  bool PopSysexMsgFromUI(ISysExData& msg) noexcept { return mSysexFromUI.Pop(msg); }
  bool SendMidiMsgToEditor(const IMidiMsg& msg) noexcept { return mMidiToEditor.Push(msg); }
  bool SendSysexMsgToEditor(const ISysExData& msg) noexcept { return mSysexToEditor.Push(msg); }

  // Host notification, overridden by the binding (main thread) --------------------------------

  virtual void BeginInformHostOfParamChange(int /*paramIdx*/) {}
  virtual void InformHostOfParamChange(int /*paramIdx*/, double /*normalized*/) {}
  virtual void EndInformHostOfParamChange(int /*paramIdx*/) {}
  /** Asks the host to resize its view; false when the binding cannot. */
  virtual bool EditorResize(int /*width*/, int /*height*/) { return false; }

  // Idle ---------------------------------------------------------------------------------

  /**
   * The idle tick: hands the queued parameter values, then MIDI and system-exclusive
   * messages, to the editor delegate, then calls OnIdle(). Drains only what was queued when
   * it started, so a busy writer cannot keep it from reaching OnIdle. Main thread.
   */
  void OnTimer();

  /** The plug-in's periodic main-thread work, editor open or not. */
  virtual void OnIdle() {}

  /** The 20 ms idle timer; the main thread's owner calls GetTimer().Tick() each period. */
  Timer& GetTimer() noexcept { return *mTimer; }

  /** Entries waiting in the editor's parameter queue (for diagnostics and tests). */
  int NParamChangesQueued() const noexcept { return mParamChanges.ElementsAvailable(); }

private:
  struct ParamChange
  {
    int paramIdx = 0;
    double value = 0.0;
  };

  IRingQueue<ParamChange> mParamChanges{kParamQueueSlots};
  // Host automation may arrive on more than one thread; this keeps the queue single-writer.
  std::atomic_flag mParamQueueWriting = ATOMIC_FLAG_INIT;
  IRingQueue<IMidiMsg> mMidiFromUI{kMidiQueueSlots};
  IRingQueue<IMidiMsg> mMidiToEditor{kMidiQueueSlots};
  IRingQueue<ISysExData> mSysexFromUI{kSysexQueueSlots};
  IRingQueue<ISysExData> mSysexToEditor{kSysexQueueSlots};
  std::unique_ptr<Timer> mTimer;
};

} // namespace plug
