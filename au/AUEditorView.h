#pragma once

#include "platform/apple/AppKit.h"

#include <memory>
#include <string>

class OstraTapeDelay;

namespace plug::graphics
{
class ICanvasLinux;
}

namespace ostratapedelay::au
{

/**
 * The plug-in's editor as a Cocoa view. Embedded in a view with a native window, it opens the
 * editor there (a child X11 window of the host's, as an LV2 host's parent window is used); taken
 * out or destroyed, it closes it. While open, a main run-loop timer at the editor's frame rate
 * lets the native view handle its events and draw, so the editor, like the plug-in's idle tick,
 * runs on the thread that spins the host's main run loop.
 *
 * One editor per plug-in: a second view of the same unit takes the editor over, and the first
 * then shows nothing. A view that outlives its unit does nothing. Main thread only.
 */
class AUEditorView : public NSView
{
public:
  explicit AUEditorView(OstraTapeDelay& plugin);
  ~AUEditorView() override;

  /** Whether the editor is open in this view. */
  bool isOpen() const;
  /** The native view while the editor is open here, else null. */
  plug::graphics::ICanvasLinux* canvas() const { return isOpen() ? mCanvas : nullptr; }
  /** Why the editor did not open when this view was last embedded; empty when it did. */
  const std::string& error() const { return mError; }

protected:
  void viewDidMoveToSuperview() override;

private:
  void open(unsigned long parent);
  void close();
  void stopFrames();
  void onFrameTimer();
  bool unitAlive() const { return !mLifetime.expired(); }

  OstraTapeDelay& mPlugin;
  std::weak_ptr<const void> mLifetime;
  plug::graphics::ICanvasLinux* mCanvas = nullptr; // owned by the plug-in's editor delegate
  CFRunLoopTimerRef mFrameTimer = nullptr;
  std::string mError;
};

} // namespace ostratapedelay::au
