// The native view's X events, turned into the context's pointer and key calls.
#include "graphics/linux/ICanvasLinux.h"

#include "graphics/IMessageBoxControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"

#include "graphics/linux/XDisplay.h"
#include "graphics/linux/XKeys.h"

#include <cstdlib>

namespace plug::graphics
{

namespace
{
/** Two presses of one button this close in time (ms) and space (pixels) are a double click. */
constexpr unsigned long kDoubleClickMs = 400;
constexpr int kDoubleClickPixels = 4;

IMouseMod Modifiers(unsigned int state, bool left, bool right)
{
  return IMouseMod(left, right, (state & ShiftMask) != 0, (state & ControlMask) != 0,
                   (state & Mod1Mask) != 0);
}
} // namespace

void ICanvasLinux::HandleEvents()
{
  if (!mX || !mX->display)
    return;
  Display* d = mX->display;
  while (!mClosed && XPending(d) > 0)
  {
    XEvent event;
    XNextEvent(d, &event);
    // Only the latest of a run of pointer moves matters.
    if (event.type == MotionNotify)
    {
      XEvent next;
      while (XPending(d) > 0 && (XPeekEvent(d, &next), next.type == MotionNotify) &&
             next.xmotion.window == event.xmotion.window)
        XNextEvent(d, &event);
    }
    HandleEvent(&event);
  }
  FollowOverlayFocus();
}

void ICanvasLinux::FollowOverlayFocus()
{
  // The keyboard stays the host's (its shortcuts keep working after a click on a knob) and
  // comes here only while a menu, a field or a box wants keys; then it goes back.
  ICanvas& g = *this;
  const bool wantsKeys = (g.GetPopupMenuControl() && g.GetPopupMenuControl()->IsOpen()) ||
                         (g.GetTextEntryControl() && g.GetTextEntryControl()->IsOpen()) ||
                         (g.GetMessageBoxControl() && g.GetMessageBoxControl()->IsOpen());
  if (wantsKeys == mHoldsFocus || mClosed)
    return;
  Display* d = mX->display;
  x11::ErrorTrap trap(d);
  if (wantsKeys)
  {
    Window before = 0;
    int revert = 0;
    XGetInputFocus(d, &before, &revert);
    mFocusBefore = before;
    XSetInputFocus(d, mWindow, RevertToParent, CurrentTime);
  }
  else if (mFocusBefore != mWindow)
  {
    // A window that went meanwhile cannot take it back; the trap swallows that.
    XSetInputFocus(d, mFocusBefore, RevertToParent, CurrentTime);
  }
  trap.Sync();
  mHoldsFocus = wantsKeys;
}

void ICanvasLinux::HandleEvent(void* data)
{
  XEvent& event = *static_cast<XEvent*>(data);
  switch (event.type)
  {
    case Expose:
      if (event.xexpose.count == 0)
        Present();
      break;
    case ConfigureNotify:
      if (mParent && event.xconfigure.window == mParent)
        HandleParentConfigure(event.xconfigure.width, event.xconfigure.height);
      break;
    case MapNotify:
      if (event.xmap.window == mWindow)
        mMapped = true;
      break;
    case UnmapNotify:
      if (event.xunmap.window == mWindow)
        mMapped = false;
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == mWindow)
        mClosed = true;
      break;
    case ClientMessage:
      if (event.xclient.message_type == mX->wmProtocols &&
          static_cast<Atom>(event.xclient.data.l[0]) == mX->wmDelete)
      {
        mClosed = true;
        XUnmapWindow(mX->display, mWindow);
      }
      break;
    case ButtonPress:
    case ButtonRelease:
      HandleButton(&event, event.type == ButtonPress);
      break;
    case MotionNotify:
      HandleMotion(&event);
      break;
    case EnterNotify:
    {
      float x, y;
      ToUnits(event.xcrossing.x, event.xcrossing.y, x, y);
      if (!(event.xcrossing.state & (Button1Mask | Button3Mask)))
        OnMouseOver(x, y, Modifiers(event.xcrossing.state, false, false));
      break;
    }
    case LeaveNotify:
      // A drag goes on outside the window; only a free pointer leaves.
      if (!(event.xcrossing.state & (Button1Mask | Button3Mask)) &&
          event.xcrossing.mode == NotifyNormal)
        OnMouseOut();
      break;
    case KeyPress:
    case KeyRelease:
      HandleKey(&event, event.type == KeyPress);
      break;
    case SelectionRequest:
      HandleSelectionRequest(&event);
      break;
    case SelectionClear:
      if (event.xselectionclear.selection == mX->clipboard)
        mClipboard.clear();
      break;
    default:
      break;
  }
}

void ICanvasLinux::HandleButton(void* data, bool press)
{
  const XButtonEvent& b = static_cast<XEvent*>(data)->xbutton;
  float x, y;
  ToUnits(b.x, b.y, x, y);
  if (b.button == Button4 || b.button == Button5)
  {
    if (press)
      OnMouseWheel(x, y, Modifiers(b.state, false, false), b.button == Button4 ? 1.f : -1.f);
    return;
  }
  if (b.button != Button1 && b.button != Button3)
    return;
  const IMouseMod mod = Modifiers(b.state, b.button == Button1, b.button == Button3);
  mLastX = x;
  mLastY = y;
  mButtonDown[b.button] = press;
  if (!press)
  {
    OnMouseUp(x, y, mod);
    return;
  }
  const bool dbl = int(b.button) == mLastClickButton && b.time - mLastClickTime <= kDoubleClickMs &&
                   std::abs(b.x - mLastClickPX) <= kDoubleClickPixels &&
                   std::abs(b.y - mLastClickPY) <= kDoubleClickPixels;
  if (dbl)
  {
    // A third press starts counting again.
    mLastClickButton = 0;
    OnMouseDblClick(x, y, mod);
    return;
  }
  mLastClickButton = int(b.button);
  mLastClickTime = b.time;
  mLastClickPX = b.x;
  mLastClickPY = b.y;
  OnMouseDown(x, y, mod);
}

void ICanvasLinux::HandleMotion(void* data)
{
  const XMotionEvent& m = static_cast<XEvent*>(data)->xmotion;
  const bool left = (m.state & Button1Mask) != 0, right = (m.state & Button3Mask) != 0;
  const IMouseMod mod = Modifiers(m.state, left, right);
  float x, y;
  if (mCursorLocked)
  {
    // The pointer is held in place: each move is measured from there and undone.
    if (m.x == mLockPX && m.y == mLockPY)
      return;
    float lockX, lockY;
    ToUnits(mLockPX, mLockPY, lockX, lockY);
    ToUnits(m.x, m.y, x, y);
    XWarpPointer(mX->display, 0, mWindow, 0, 0, 0, 0, mLockPX, mLockPY);
    if (left || right)
      OnMouseDrag(lockX, lockY, x - lockX, y - lockY, mod);
    mLastX = lockX;
    mLastY = lockY;
    return;
  }
  ToUnits(m.x, m.y, x, y);
  const float dX = x - mLastX, dY = y - mLastY;
  mLastX = x;
  mLastY = y;
  if (left || right)
    OnMouseDrag(x, y, dX, dY, mod);
  else
    OnMouseOver(x, y, mod);
}

void ICanvasLinux::HandleKey(void* data, bool press)
{
  XKeyEvent& k = static_cast<XEvent*>(data)->xkey;
  char text[8] = {};
  KeySym keysym = 0;
  const int length = XLookupString(&k, text, sizeof text - 1, &keysym, nullptr);
  const IKeyPress key = x11::TranslateKey(keysym, text, length, k.state);
  if (press)
    OnKeyDown(mLastX, mLastY, key);
  else
    OnKeyUp(mLastX, mLastY, key);
}

} // namespace plug::graphics
