// The host's side of a unit's Cocoa view, as a macOS host does it: read the Cocoa UI property,
// find the factory class by name in the bundle, ask it for a view and put the view into a window
// of the host's own (here an X11 window on the test's X server), spin the main run loop while
// the view is open, then take the view out again.
#pragma once

#include "AUHost.h"
#include "platform/apple/AppKit.h"

#include <memory>
#include <string>
#include <vector>

namespace au_test
{

/** The factory of the unit's view class, made the way a host makes it; null with the reason. */
std::unique_ptr<AUCocoaUIBase> MakeViewFactory(Host& host, std::string& why);

/** Spins the main run loop on this thread for about `ms` milliseconds. */
void RunMainLoop(int ms);

/** A top-level window of the host's on $DISPLAY and the content view that stands for it. */
class HostWindow
{
public:
  HostWindow(int width, int height);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool ok() const { return mWindow != 0; }
  unsigned long window() const { return mWindow; }
  NSView& content() { return *mContent; }

  /** Embeds `view` in the content view; the content view owns it from now on. */
  NSView* embed(std::unique_ptr<NSView> view) { return mContent->addSubview(std::move(view)); }
  /** The host resizes its window, as a user dragging its corner would. */
  void resize(int width, int height);
  /** The windows the X server has inside the host's window (the editor's, while it is open). */
  std::vector<unsigned long> children() const;
  /** Destroys the window through another connection on another thread after `ms`, as a host
   *  closing its window while this thread is busy would. join() waits for it. */
  void destroyLater(int ms);
  void join();

private:
  struct X;
  std::unique_ptr<X> mX;
  unsigned long mWindow = 0;
  std::unique_ptr<NSView> mContent;
};

/** A user's xdotool command, run while the main run loop spins; false when it failed. */
bool User(const std::vector<std::string>& xdotoolArgs);

/** Records the begin-gesture, value-change and end-gesture events of one parameter. */
class ParameterEvents
{
public:
  ParameterEvents(AudioUnit unit, AudioUnitParameterID id);
  ~ParameterEvents();
  ParameterEvents(const ParameterEvents&) = delete;
  ParameterEvents& operator=(const ParameterEvents&) = delete;

  std::vector<AudioUnitEventType> types;
  std::vector<Float32> values;

private:
  AUEventListenerRef mListener = nullptr;
};

} // namespace au_test
