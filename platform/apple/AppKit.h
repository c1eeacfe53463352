// The part of AppKit and the Objective-C runtime an Audio Unit's Cocoa view needs, as C++:
// views in a tree, a plug-in bundle's classes found by name, and the view-factory protocol.
// Views are owned by their superview once added (removing hands ownership back), which stands
// for Cocoa's retain by the superview. Main thread only, as in AppKit.
#pragma once

#include "platform/apple/AudioUnitSDK.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef double CGFloat;

struct NSPoint
{
  CGFloat x = 0.0;
  CGFloat y = 0.0;
};

struct NSSize
{
  CGFloat width = 0.0;
  CGFloat height = 0.0;
};

struct NSRect
{
  NSPoint origin;
  NSSize size;
};

/** The root of the classes a bundle exports. */
class NSObject
{
public:
  virtual ~NSObject() = default;
  virtual std::string description() const { return "NSObject"; }
};

/**
 * A rectangle of a window. On macOS a view draws into its window; here a view may stand for a
 * native window of its own (an X11 window id on Linux), and a view without one draws into its
 * nearest ancestor's.
 */
class NSView : public NSObject
{
public:
  explicit NSView(NSRect frame = {});
  /** Destroys the subviews, last added first. */
  ~NSView() override;
  NSView(const NSView&) = delete;
  NSView& operator=(const NSView&) = delete;

  NSRect frame() const { return mFrame; }
  void setFrameSize(NSSize size) { mFrame.size = size; }

  /** The native window this view is (0: none of its own). */
  unsigned long nativeWindow() const { return mNativeWindow; }
  void setNativeWindow(unsigned long window) { mNativeWindow = window; }
  /** The native window the view draws into: its own, else the nearest ancestor's. */
  unsigned long enclosingNativeWindow() const;

  NSView* superview() const { return mSuperview; }
  const std::vector<std::unique_ptr<NSView>>& subviews() const { return mSubviews; }
  /** Takes the view in (from its old superview, if any) and returns it; null stays null. */
  NSView* addSubview(std::unique_ptr<NSView> view);
  /** Takes the view out of its superview and hands it back; null when it has none. */
  std::unique_ptr<NSView> removeFromSuperview();

protected:
  /** Called before and after the view changes superview (null: removed). */
  virtual void viewWillMoveToSuperview(NSView* /*newSuperview*/) {}
  virtual void viewDidMoveToSuperview() {}

private:
  NSRect mFrame;
  unsigned long mNativeWindow = 0;
  NSView* mSuperview = nullptr;
  std::vector<std::unique_ptr<NSView>> mSubviews;
};

/** A class as the runtime knows it: its name and how an instance is made ([[cls alloc] init]). */
struct NSClass
{
  std::string name;
  std::unique_ptr<NSObject> (*make)() = nullptr;
};
using Class = const NSClass*;

/** A loaded bundle: the classes its code registered. */
class NSBundle
{
public:
  /** The bundle at a file URL; nothing when no bundle is registered there. */
  static std::optional<NSBundle> bundleWithURL(CFURLRef url);
  /** The bundle's class of this name, or null. */
  Class classNamed(CFStringRef name) const;
  std::string bundleIdentifier() const { return mIdentifier; }

private:
  explicit NSBundle(std::string identifier)
    : mIdentifier(std::move(identifier))
  {
  }
  std::string mIdentifier;
};

namespace ostra::apple
{

/** Registers a class of the bundle `bundleIdentifier`, as the runtime does when the bundle's code
 *  loads; a plug-in calls it from a static initialiser. Registering a name again replaces it.
 *  Any thread. */
void registerClass(const char* bundleIdentifier, const char* name,
                   std::unique_ptr<NSObject> (*make)());

} // namespace ostra::apple

/**
 * The protocol of an Audio Unit's Cocoa view factory: the class the Cocoa UI property names.
 * A host makes one, asks it for a view of its unit, embeds the view and later removes it.
 */
class AUCocoaUIBase : public NSObject
{
public:
  /** The protocol version this factory speaks (0). */
  virtual unsigned interfaceVersion() = 0;
  /** A view of `unit`, about `preferredSize`, or null when there is none. */
  virtual std::unique_ptr<NSView> uiViewForAudioUnit(AudioUnit unit, NSSize preferredSize) = 0;
};
