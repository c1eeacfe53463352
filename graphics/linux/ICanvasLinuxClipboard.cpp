// Text on the X clipboard (the CLIPBOARD selection): offered while this view owns it, and
// read from whichever client owns it.
#include "graphics/linux/ICanvasLinux.h"

#include "graphics/linux/XDisplay.h"

#include <X11/Xatom.h>

#include <chrono>
#include <poll.h>

namespace plug::graphics
{

namespace
{
/** How long a paste waits for the clipboard's owner to answer. */
constexpr double kClipboardWaitMs = 500.0;
} // namespace

bool ICanvasLinux::SetTextInClipboard(const char* str)
{
  if (!IsOpen() || !str)
    return false;
  mClipboard = str;
  XSetSelectionOwner(mX->display, mX->clipboard, mWindow, CurrentTime);
  return XGetSelectionOwner(mX->display, mX->clipboard) == mWindow;
}

void ICanvasLinux::HandleSelectionRequest(void* data)
{
  const XSelectionRequestEvent& request = static_cast<XEvent*>(data)->xselectionrequest;
  Display* d = mX->display;
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = d;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  reply.property = 0;
  // Old clients name no property: the target stands in for it.
  const Atom property = request.property ? request.property : request.target;
  x11::ErrorTrap trap(d);
  if (request.selection == mX->clipboard && XGetSelectionOwner(d, mX->clipboard) == mWindow)
  {
    if (request.target == mX->targets)
    {
      const Atom offered[] = {mX->targets, mX->utf8, XA_STRING};
      XChangeProperty(d, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered), 3);
      reply.property = property;
    }
    else if (request.target == mX->utf8 || request.target == XA_STRING)
    {
      XChangeProperty(d, request.requestor, property, request.target, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(mClipboard.data()),
                      int(mClipboard.size()));
      reply.property = property;
    }
  }
  XSendEvent(d, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
  trap.Sync();
}

bool ICanvasLinux::GetTextFromClipboard(std::string& str)
{
  if (!IsOpen())
    return false;
  Display* d = mX->display;
  if (XGetSelectionOwner(d, mX->clipboard) == 0)
    return false;
  XDeleteProperty(d, mWindow, mX->transfer);
  XConvertSelection(d, mX->clipboard, mX->utf8, mX->transfer, mWindow, CurrentTime);
  XFlush(d);
  using namespace std::chrono;
  const auto start = steady_clock::now();
  const int fd = ConnectionNumber(d);
  while (duration<double, std::milli>(steady_clock::now() - start).count() < kClipboardWaitMs)
  {
    XEvent event;
    // The owner may be this view itself: its requests are answered while waiting. Other
    // events stay queued for the next idle call.
    if (XCheckTypedEvent(d, SelectionRequest, &event))
    {
      HandleSelectionRequest(&event);
      continue;
    }
    if (XCheckTypedWindowEvent(d, mWindow, SelectionNotify, &event))
    {
      if (event.xselection.property == 0)
        return false;
      Atom type = 0;
      int format = 0;
      unsigned long count = 0, after = 0;
      unsigned char* bytes = nullptr;
      if (XGetWindowProperty(d, mWindow, mX->transfer, 0, 1 << 20, True, AnyPropertyType, &type,
                             &format, &count, &after, &bytes) != Success)
        return false;
      // Large transfers come in increments, which this view does not take.
      const bool text = (type == mX->utf8 || type == XA_STRING) && format == 8;
      if (text)
        str.assign(reinterpret_cast<const char*>(bytes), count);
      if (bytes)
        XFree(bytes);
      return text;
    }
    pollfd pfd{fd, POLLIN, 0};
    ::poll(&pfd, 1, 10);
    XPending(d); // reads what arrived into the queue
  }
  return false;
}

} // namespace plug::graphics
