// GoogleTest comes before the X headers, whose macros (None, Bool) would break it.
#include "AUViewHost.h"

#include "graphics_linux/XvfbSession.h"

#include <X11/Xlib.h>

#include <atomic>
#include <thread>

namespace au_test
{

std::unique_ptr<AUCocoaUIBase> MakeViewFactory(Host& host, std::string& why)
{
  AudioUnitCocoaViewInfo info{};
  if (const OSStatus err = host.Get(kAudioUnitProperty_CocoaUI, info); err != noErr)
  {
    why = "no Cocoa UI property: " + std::to_string(err);
    return nullptr;
  }
  plug::CFRef<CFURLRef> url(info.mCocoaAUViewBundleLocation);
  plug::CFRef<CFStringRef> className(info.mCocoaAUViewClass[0]);
  const std::optional<NSBundle> bundle = NSBundle::bundleWithURL(url.Get());
  if (!bundle)
  {
    why = "no bundle at " + Text(CFURLGetString(url.Get()));
    return nullptr;
  }
  Class cls = bundle->classNamed(className.Get());
  if (!cls)
  {
    why = "the bundle has no class " + Text(className.Get());
    return nullptr;
  }
  std::unique_ptr<NSObject> object = cls->make();
  // The host checks that the class conforms to the view-factory protocol.
  if (!dynamic_cast<AUCocoaUIBase*>(object.get()))
  {
    why = cls->name + " is no view factory";
    return nullptr;
  }
  return std::unique_ptr<AUCocoaUIBase>(static_cast<AUCocoaUIBase*>(object.release()));
}

void RunMainLoop(int ms)
{
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, ms / 1000.0, false);
}

struct HostWindow::X
{
  Display* display = nullptr;
  std::thread destroyer;
  std::atomic<bool> destroyed{false};
};

HostWindow::HostWindow(int width, int height)
  : mX(std::make_unique<X>())
{
  mX->display = XOpenDisplay(nullptr);
  if (!mX->display)
    return;
  mWindow = XCreateSimpleWindow(mX->display, DefaultRootWindow(mX->display), 0, 0, unsigned(width),
                                unsigned(height), 0, 0, 0);
  XMapWindow(mX->display, mWindow);
  XSync(mX->display, False);
  mContent = std::make_unique<NSView>(NSRect{{0, 0}, {double(width), double(height)}});
  mContent->setNativeWindow(mWindow);
}

HostWindow::~HostWindow()
{
  join();
  // Views go before the window they draw into, as a host closes them.
  mContent.reset();
  if (mX->display)
  {
    if (mWindow && !mX->destroyed)
      XDestroyWindow(mX->display, mWindow);
    XCloseDisplay(mX->display);
  }
}

void HostWindow::resize(int width, int height)
{
  XResizeWindow(mX->display, mWindow, unsigned(width), unsigned(height));
  XSync(mX->display, False);
  mContent->setFrameSize({double(width), double(height)});
}

std::vector<unsigned long> HostWindow::children() const
{
  Window root = 0, parent = 0;
  Window* list = nullptr;
  unsigned count = 0;
  std::vector<unsigned long> result;
  if (mX->destroyed || !XQueryTree(mX->display, mWindow, &root, &parent, &list, &count))
    return result;
  result.assign(list, list + count);
  if (list)
    XFree(list);
  return result;
}

void HostWindow::destroyLater(int ms)
{
  mX->destroyer = std::thread(
      [this, ms, window = mWindow]
      {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        Display* other = XOpenDisplay(nullptr);
        if (!other)
          return;
        XDestroyWindow(other, window);
        XSync(other, False);
        XCloseDisplay(other);
        mX->destroyed = true;
      });
}

void HostWindow::join()
{
  if (mX->destroyer.joinable())
    mX->destroyer.join();
}

bool User(const std::vector<std::string>& xdotoolArgs)
{
  std::vector<std::string> args = {"xdotool"};
  args.insert(args.end(), xdotoolArgs.begin(), xdotoolArgs.end());
  return ostra::test::runPumping(args, [] { RunMainLoop(2); });
}

ParameterEvents::ParameterEvents(AudioUnit unit, AudioUnitParameterID id)
{
  auto hear = [](void* user, void*, const AudioUnitEvent* event, UInt64, Float32 value)
  {
    auto* self = static_cast<ParameterEvents*>(user);
    self->types.push_back(event->mEventType);
    self->values.push_back(value);
  };
  EXPECT_EQ(AUEventListenerCreate(hear, this, nullptr, nullptr, 0.0f, 0.0f, &mListener), noErr);
  AudioUnitEvent event{};
  event.mArgument.mParameter = {unit, id, kAudioUnitScope_Global, 0};
  for (AudioUnitEventType t :
       {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
        kAudioUnitEvent_EndParameterChangeGesture})
  {
    event.mEventType = t;
    EXPECT_EQ(AUEventListenerAddEventType(mListener, nullptr, &event), noErr);
  }
}

ParameterEvents::~ParameterEvents()
{
  if (mListener)
    AUListenerDispose(mListener);
}

} // namespace au_test
