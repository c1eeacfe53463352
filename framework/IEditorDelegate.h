#pragma once

#include "framework/IAtomicSize.h"
#include "framework/IEffectBase.h"
#include "framework/IMidiMsg.h"

#include <atomic>

namespace plug
{

/**
 * The editor's controls as the delegate sees them: what the editor implements so that
 * parameter values and messages reach the controls. Main thread only.
 */
class IEditorControls
{
public:
  virtual ~IEditorControls() = default;
  /** Sets every control bound to parameter `paramIdx` to `normalized` (0..1). */
  virtual void SetParameterFromDelegate(int paramIdx, double normalized) = 0;
  virtual void SendMidiMsgFromDelegate(const IMidiMsg& /*msg*/) {}
  virtual void SendSysexMsgFromDelegate(const ISysExData& /*msg*/) {}
};

/**
 * Editor-facing side of the plug-in: pushes parameter values and messages into the editor's
 * controls while an editor is open, and always tells the plug-in through OnParamChangeUI.
 * With no editor open nothing touches a control. Main thread only.
 */
class IEditorDelegate : public IEffectBase
{
public:
  explicit IEditorDelegate(const Config& config);

  /** With an editor open, sets the controls bound to `paramIdx` to the value (a real value
   *  is converted to normalised through the parameter's constrain rule and shape; a
   *  normalised one is clamped to 0..1); then, open or closed, OnParamChangeUI(idx, kDelegate).
   *  Out-of-range indices are ignored. */
  void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);

  /** Passes a MIDI / system-exclusive message to an open editor; nothing when closed. */
  void SendMidiMsgFromDelegate(const IMidiMsg& msg);
  void SendSysexMsgFromDelegate(const ISysExData& msg);

  /** After a state restore: every parameter's normalised value to the editor. */
  virtual void OnRestoreState();

  /** The editor has opened and its controls are attached; by default pushes every value. */
  virtual void OnUIOpen();
  /** The editor is about to close. */
  virtual void OnUIClose() {}

  /** Called by the editor once its controls exist: attaches them, then OnUIOpen(). */
  void EditorOpened(IEditorControls& editor);
  /** Called by the editor before its controls go: OnUIClose(), then detaches them. */
  void EditorClosed();
  /** Any thread. */
  bool IsEditorOpen() const noexcept { return mEditor.load() != nullptr; }

  /** Editor size in editor units that the framework currently holds (from the
   *  configuration until the editor changes it). Any thread: a host may save state on
   *  its own thread while the main thread resizes. */
  IAtomicSize::Size GetEditorSize() const noexcept { return mEditorSize.Load(); }
  int GetEditorWidth() const noexcept { return GetEditorSize().width; }
  int GetEditorHeight() const noexcept { return GetEditorSize().height; }
  /** Any thread; width and height change together. */
  void SetEditorSize(int width, int height) noexcept { mEditorSize.Store(width, height); }

private:
  // Set and cleared on the main thread; a state restore on a host thread asks whether it is open.
  std::atomic<IEditorControls*> mEditor{nullptr};
  IAtomicSize mEditorSize;
};

} // namespace plug
