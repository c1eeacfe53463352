#include "au/AUEditorView.h"

#include "graphics/linux/ICanvasLinux.h"
#include "plugin/OstraTapeDelay.h"

#include <map>

using namespace plug::graphics;

namespace ostratapedelay::au
{

namespace
{

// Which view holds each plug-in's editor. Pointers are only compared, never followed, so an
// entry of a unit that is gone does no harm until its view forgets it.
std::map<const OstraTapeDelay*, const AUEditorView*>& holders()
{
  static std::map<const OstraTapeDelay*, const AUEditorView*> map;
  return map;
}

} // namespace

AUEditorView::AUEditorView(OstraTapeDelay& plugin)
  : mPlugin(plugin)
  , mLifetime(plugin.GetLifetime())
{
  setFrameSize({double(plugin.GetEditorWidth()), double(plugin.GetEditorHeight())});
}

AUEditorView::~AUEditorView()
{
  close();
}

bool AUEditorView::isOpen() const
{
  if (!mCanvas || !unitAlive())
    return false;
  const auto it = holders().find(&mPlugin);
  return it != holders().end() && it->second == this && mPlugin.ui() == mCanvas;
}

void AUEditorView::viewDidMoveToSuperview()
{
  if (superview())
    open(superview()->enclosingNativeWindow());
  else
    close();
}

void AUEditorView::open(unsigned long parent)
{
  close();
  mError.clear();
  if (!unitAlive())
    return;
  if (!parent)
  {
    mError = "the view it was put in has no native window";
    return;
  }
  mPlugin.setCanvasFactory(
      [this, parent](ICanvasEditorDelegate& delegate, int width, int height, int fps,
                     float scale) -> std::unique_ptr<ICanvas>
      {
        ILinuxViewOptions options;
        options.parent = parent;
        return ICanvasLinux::Create(&delegate, width, height, fps, scale, options, mError);
      });
  ICanvas* opened = mPlugin.openEditor();
  // The factory holds this view's parent: no later open may use it.
  mPlugin.setCanvasFactory(nullptr);
  mCanvas = dynamic_cast<ICanvasLinux*>(opened);
  if (!mCanvas)
  {
    if (opened)
      mPlugin.closeEditor();
    if (mError.empty())
      mError = "the plug-in made no editor";
    return;
  }
  holders()[&mPlugin] = this;
  // The host sizes its window; the editor's drawing follows, as in an LV2 host.
  mCanvas->SetParentResizeFunc([plugin = &mPlugin](int width, int height)
                               { plugin->OnParentWindowResize(width, height); });
  setNativeWindow(mCanvas->GetXWindow());
  setFrameSize({double(mCanvas->WindowWidth()), double(mCanvas->WindowHeight())});
  // The corner grip and the size menu change this view's frame, which the host follows.
  mPlugin.SetViewResizeFunc(
      [this](int width, int height)
      {
        setFrameSize({double(width), double(height)});
        return true;
      });

  const CFTimeInterval period = 1.0 / std::max(mCanvas->FPS(), 1);
  CFRunLoopTimerContext context{0, this, nullptr, nullptr, nullptr};
  mFrameTimer = CFRunLoopTimerCreate(
      kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + period, period, 0, 0,
      [](CFRunLoopTimerRef, void* view) { static_cast<AUEditorView*>(view)->onFrameTimer(); },
      &context);
  CFRunLoopAddTimer(CFRunLoopGetMain(), mFrameTimer, kCFRunLoopCommonModes);
}

void AUEditorView::close()
{
  stopFrames();
  if (isOpen())
  {
    mPlugin.closeEditor();
    mPlugin.SetViewResizeFunc(nullptr);
  }
  if (const auto it = holders().find(&mPlugin); it != holders().end() && it->second == this)
    holders().erase(it);
  mCanvas = nullptr;
  setNativeWindow(0);
}

void AUEditorView::stopFrames()
{
  if (!mFrameTimer)
    return;
  CFRunLoopTimerInvalidate(mFrameTimer);
  CFRelease(mFrameTimer);
  mFrameTimer = nullptr;
}

void AUEditorView::onFrameTimer()
{
  if (!isOpen())
  {
    // Another view took the editor over, or the unit is gone.
    close();
    return;
  }
  try
  {
    if (!mCanvas->Idle())
      close(); // the host destroyed its window, and the editor's with it
  }
  catch (...)
  {
    // An exception must not reach the host's run loop; the next frame tries again.
  }
}

} // namespace ostratapedelay::au
