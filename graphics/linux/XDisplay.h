#pragma once

// The X and GLX state of a native view, shared by its source files only.
#include "graphics/linux/ICanvasLinux.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <map>

namespace plug::graphics
{

struct ICanvasLinux::X
{
  Display* display = nullptr;
  GLXFBConfig config = nullptr;
  GLXContext context = nullptr;
  Colormap colormap = 0;
  Atom wmDelete = 0;
  Atom wmProtocols = 0;
  Atom clipboard = 0;
  Atom utf8 = 0;
  Atom targets = 0;
  Atom transfer = 0;
  std::map<ECursor, Cursor> cursors;
  Cursor blank = 0;
};

namespace x11
{
/** Collects X errors instead of letting Xlib's default handler end the host's process. The
 *  handler is the process's, so it is set only around requests that may fail, then put back. */
class ErrorTrap
{
public:
  explicit ErrorTrap(Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;
  /** Waits for the server to answer everything sent so far; the first error's code, or 0. */
  int Sync();

private:
  Display* mDisplay;
  int (*mPrevious)(Display*, XErrorEvent*);
};
} // namespace x11

} // namespace plug::graphics
