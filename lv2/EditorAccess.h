#pragma once

// The bundle's two binaries meet here: the UI binary finds this table through the host's
// data-access feature and works on the running instance only through it. The plug-in
// binary keeps the effect, its editor layout and its idle tick; the UI binary brings the
// native view, so a host that never shows the UI never loads the X11 and OpenGL code.
// Both binaries come from one build, so C++ types may cross.
#include <lv2/core/lv2.h>

#include <memory>
#include <thread>

namespace plug::graphics
{
class ICanvas;
class ICanvasEditorDelegate;
} // namespace plug::graphics

namespace ostratapedelay::lv2
{

/**
 * What the UI lends the instance while the editor is open: how to make the native view and
 * how to reach the host. The instance calls these on `thread` only (the host's UI thread);
 * a call from any other thread is dropped.
 */
struct EditorHost
{
  void* context = nullptr;
  std::thread::id thread;
  std::unique_ptr<plug::graphics::ICanvas> (*makeCanvas)(
      void* context, plug::graphics::ICanvasEditorDelegate& delegate, int width, int height,
      int fps, float scale) = nullptr;
  /** A parameter's gesture begins (true) or ends (false). */
  void (*touch)(void* context, int paramIdx, bool grabbed) = nullptr;
  /** A parameter's new value, in the port's units. */
  void (*write)(void* context, int paramIdx, float value) = nullptr;
  /** The editor wants this many device pixels; false when the host refuses. */
  bool (*resize)(void* context, int width, int height) = nullptr;
  /** One step of the view (events and frames); false once its window is gone. */
  bool (*viewIdle)(void* context) = nullptr;
};

/**
 * The instance's side. `lock` and `unlock` bracket every other call: while they are held
 * nothing else runs the plug-in's idle tick, so the editor, the tick and the preset code
 * see one thread at a time. The host's UI thread is the only caller; lock may wait for a
 * tick already running on the worker, never the other way round.
 */
struct EditorAccess
{
  void (*lock)(LV2_Handle instance);
  void (*unlock)(LV2_Handle instance);
  /** Opens the editor through host->makeCanvas, taking it from any host that had it; null
   *  when no view could be made. `host` must stay valid until close. */
  plug::graphics::ICanvas* (*open)(LV2_Handle instance, const EditorHost* host);
  /** Closes the editor (with any menu, field or box on it) and forgets the host; nothing
   *  when a later open gave the editor to another host. */
  void (*close)(LV2_Handle instance, const EditorHost* host);
  /** The idle tick every 20 ms of the UI thread's clock, then one step of the view. False
   *  once the view's window is gone or the editor went to another host. */
  bool (*idle)(LV2_Handle instance, const EditorHost* host);
  /** A control port's value as the host sees it: the controls follow. */
  void (*portEvent)(LV2_Handle instance, std::uint32_t port, float value);
  /** The host gave the editor's window a new size in device pixels. */
  void (*parentResized)(LV2_Handle instance, int width, int height);
};

/** Holds the instance's editor lock for a scope. */
class EditorLock
{
public:
  EditorLock(const EditorAccess& access, LV2_Handle instance)
    : mAccess(access)
    , mInstance(instance)
  {
    mAccess.lock(mInstance);
  }
  ~EditorLock() { mAccess.unlock(mInstance); }
  EditorLock(const EditorLock&) = delete;
  EditorLock& operator=(const EditorLock&) = delete;

private:
  const EditorAccess& mAccess;
  LV2_Handle mInstance;
};

} // namespace ostratapedelay::lv2
