#include "graphics/linux/ICanvasLinux.h"

#include "graphics/IMessageBoxControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"
#include "graphics/linux/LaunchDetached.h"
#include "graphics/linux/XDisplay.h"
#include "graphics/linux/XScale.h"

#include <X11/cursorfont.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace plug::graphics
{

// ---- X errors -------------------------------------------------------------------------------

namespace x11
{
namespace
{
thread_local int gTrappedError = 0;

int TrapHandler(Display*, XErrorEvent* event)
{
  if (!gTrappedError)
    gTrappedError = event->error_code;
  return 0;
}
} // namespace

ErrorTrap::ErrorTrap(Display* display)
  : mDisplay(display)
{
  XSync(mDisplay, False);
  gTrappedError = 0;
  mPrevious = XSetErrorHandler(TrapHandler);
}

ErrorTrap::~ErrorTrap()
{
  XSync(mDisplay, False);
  XSetErrorHandler(mPrevious);
}

int ErrorTrap::Sync()
{
  XSync(mDisplay, False);
  const int error = gTrappedError;
  gTrappedError = 0;
  return error;
}
} // namespace x11

// ---- The GL context while drawing -------------------------------------------------------------

struct ICanvasLinux::CurrentGuard
{
  explicit CurrentGuard(ICanvasLinux& view)
    : previousDisplay(glXGetCurrentDisplay())
    , previousDrawable(glXGetCurrentDrawable())
    , previousContext(glXGetCurrentContext())
    , context(view.mX->context)
  {
    ok = previousContext == context ||
         glXMakeCurrent(view.mX->display, view.mWindow, view.mX->context) == True;
  }
  ~CurrentGuard()
  {
    // A host drawing with GL of its own finds its context current again; otherwise ours
    // stays current, which spares switching each frame.
    if (previousContext && previousContext != context && previousDisplay)
      glXMakeCurrent(previousDisplay, previousDrawable, previousContext);
  }
  CurrentGuard(const CurrentGuard&) = delete;
  CurrentGuard& operator=(const CurrentGuard&) = delete;

  Display* previousDisplay;
  GLXDrawable previousDrawable;
  GLXContext previousContext;
  GLXContext context;
  bool ok = false;
};

// ---- Opening and closing ----------------------------------------------------------------------

ICanvasLinux::ICanvasLinux(ICanvasEditorDelegate* delegate, int width, int height, int fps,
                           float scale)
  : ICanvasNanoVG(delegate, width, height, fps, scale)
{
}

std::unique_ptr<ICanvasLinux> ICanvasLinux::Create(ICanvasEditorDelegate* delegate, int width,
                                                   int height, int fps, float scale,
                                                   const ILinuxViewOptions& options,
                                                   std::string& error)
{
  std::unique_ptr<ICanvasLinux> view(new ICanvasLinux(delegate, width, height, fps, scale));
  if (!view->Open(options, error))
    return nullptr;
  return view;
}

ICanvasLinux::~ICanvasLinux()
{
  Destroy();
}

namespace
{
using CreateContextAttribs = GLXContext (*)(Display*, GLXFBConfig, GLXContext, Bool, const int*);

bool HasExtension(const char* list, const char* name)
{
  if (!list)
    return false;
  const size_t n = std::strlen(name);
  for (const char* p = std::strstr(list, name); p; p = std::strstr(p + n, name))
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0'))
      return true;
  return false;
}

std::string Hex(unsigned long id)
{
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", id);
  return text;
}
} // namespace

bool ICanvasLinux::Open(const ILinuxViewOptions& options, std::string& error)
{
  mX = std::make_unique<X>();
  const char* name = options.display ? options.display : std::getenv("DISPLAY");
  if (!name || !*name)
  {
    error = "no X display: DISPLAY is not set";
    return false;
  }
  Display* d = XOpenDisplay(name);
  if (!d)
  {
    error = std::string("cannot connect to the X display \"") + name + "\"";
    return false;
  }
  mX->display = d;
  int errorBase = 0, eventBase = 0;
  if (!glXQueryExtension(d, &errorBase, &eventBase))
  {
    error = "the X display has no GLX extension";
    return false;
  }
  const int screen = DefaultScreen(d);
  // NanoVG fills shapes through the stencil buffer: a visual without one cannot draw them.
  const int attributes[] = {GLX_X_RENDERABLE,
                            True,
                            GLX_DRAWABLE_TYPE,
                            GLX_WINDOW_BIT,
                            GLX_RENDER_TYPE,
                            GLX_RGBA_BIT,
                            GLX_RED_SIZE,
                            8,
                            GLX_GREEN_SIZE,
                            8,
                            GLX_BLUE_SIZE,
                            8,
                            GLX_STENCIL_SIZE,
                            8,
                            GLX_DOUBLEBUFFER,
                            True,
                            None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(d, screen, attributes, &count);
  if (!configs || count == 0)
  {
    if (configs)
      XFree(configs);
    error = "no GLX visual with an 8-bit stencil buffer";
    return false;
  }
  mX->config = configs[0];
  XFree(configs);
  XVisualInfo* visual = glXGetVisualFromFBConfig(d, mX->config);
  if (!visual)
  {
    error = "no GLX visual with an 8-bit stencil buffer";
    return false;
  }

  const Window root = RootWindow(d, visual->screen);
  mParent = options.parent ? options.parent : 0;
  mPlatformScale = options.hostScale > 0.f ? options.hostScale
                                           : x11::ScaleFromResources(XResourceManagerString(d));
  SetScreenScale(mPlatformScale);

  {
    x11::ErrorTrap trap(d);
    mX->colormap = XCreateColormap(d, root, visual->visual, AllocNone);
    XSetWindowAttributes wa{};
    wa.colormap = mX->colormap;
    wa.border_pixel = 0;
    wa.background_pixmap = 0; // GL paints every pixel: no flash of a background first
    wa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                    KeyPressMask | KeyReleaseMask | EnterWindowMask | LeaveWindowMask |
                    FocusChangeMask | StructureNotifyMask;
    const Window window =
        XCreateWindow(d, mParent ? mParent : root, 0, 0, unsigned(std::max(PixelWidth(), 1)),
                      unsigned(std::max(PixelHeight(), 1)), 0, visual->depth, InputOutput,
                      visual->visual, CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &wa);
    if (trap.Sync() != 0)
    {
      XFree(visual);
      error = mParent ? "cannot open a window inside the parent window " + Hex(mParent)
                      : "cannot open a window on the X display";
      return false;
    }
    mWindow = window;
    if (mParent)
    {
      // The parent's size changes come to us too.
      XWindowAttributes parent{};
      XSelectInput(d, mParent, StructureNotifyMask);
      if (XGetWindowAttributes(d, mParent, &parent))
      {
        mParentWidth = parent.width;
        mParentHeight = parent.height;
      }
      trap.Sync();
    }
  }
  XFree(visual);

  mX->wmProtocols = XInternAtom(d, "WM_PROTOCOLS", False);
  mX->wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  mX->clipboard = XInternAtom(d, "CLIPBOARD", False);
  mX->utf8 = XInternAtom(d, "UTF8_STRING", False);
  mX->targets = XInternAtom(d, "TARGETS", False);
  mX->transfer = XInternAtom(d, "OSTRA_CLIPBOARD", False);
  if (!mParent)
  {
    XStoreName(d, mWindow, options.title.c_str());
    XSetWMProtocols(d, mWindow, &mX->wmDelete, 1);
  }

  auto createContext = reinterpret_cast<CreateContextAttribs>(
      glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCreateContextAttribsARB")));
  const char* extensions = glXQueryExtensionsString(d, screen);
  if (!createContext || !HasExtension(extensions, "GLX_ARB_create_context"))
  {
    error = "GLX cannot make OpenGL 3.3 core contexts here";
    return false;
  }
  const int contextAttributes[] = {GLX_CONTEXT_MAJOR_VERSION_ARB,
                                   3,
                                   GLX_CONTEXT_MINOR_VERSION_ARB,
                                   3,
                                   GLX_CONTEXT_PROFILE_MASK_ARB,
                                   GLX_CONTEXT_CORE_PROFILE_BIT_ARB,
                                   None};
  {
    x11::ErrorTrap trap(d);
    mX->context = createContext(d, mX->config, nullptr, True, contextAttributes);
    if (trap.Sync() != 0 && mX->context)
    {
      glXDestroyContext(d, mX->context);
      mX->context = nullptr;
    }
  }
  if (!mX->context)
  {
    error = "GLX gave no OpenGL 3.3 core context";
    return false;
  }
  {
    CurrentGuard current(*this);
    if (!current.ok)
    {
      error = "the OpenGL context could not be made current on the window";
      return false;
    }
    // Presenting must not wait for the display's refresh inside the host's idle call.
    using SwapIntervalMESA = int (*)(unsigned);
    using SwapIntervalEXT = void (*)(Display*, GLXDrawable, int);
    if (HasExtension(extensions, "GLX_MESA_swap_control"))
    {
      if (auto f = reinterpret_cast<SwapIntervalMESA>(
              glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA"))))
        f(0);
    }
    else if (HasExtension(extensions, "GLX_EXT_swap_control"))
    {
      if (auto f = reinterpret_cast<SwapIntervalEXT>(
              glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT"))))
        f(d, mWindow, 0);
    }
    OnViewInitialized(nullptr);
    if (!IsDrawingReady())
    {
      error = GetBackendError();
      return false;
    }
  }

  AttachPopupMenuControl();
  AttachTextEntryControl();
  AttachMessageBoxControl();
  XMapWindow(d, mWindow);
  XFlush(d);
  return true;
}

void ICanvasLinux::Destroy()
{
  if (!mX)
    return;
  Display* d = mX->display;
  if (d)
  {
    x11::ErrorTrap trap(d);
    if (mX->context)
    {
      // A window destroyed with its parent can no longer be drawn to: bind the context
      // with no drawable to free what it holds.
      if (mClosed || !mWindow || !glXMakeCurrent(d, mWindow, mX->context))
        glXMakeContextCurrent(d, 0, 0, mX->context);
      trap.Sync();
      // The software renderer's threads may still run a frame's shaders: they end before
      // the shaders go.
      glFinish();
      OnViewDestroyed();
      DeleteFramebuffer();
      glFinish();
      glXMakeCurrent(d, 0, nullptr);
      glXDestroyContext(d, mX->context);
    }
    if (mWindow)
      XDestroyWindow(d, mWindow);
    for (auto& [shape, cursor] : mX->cursors)
      XFreeCursor(d, cursor);
    if (mX->blank)
      XFreeCursor(d, mX->blank);
    if (mX->colormap)
      XFreeColormap(d, mX->colormap);
    trap.Sync();
  }
  if (d)
    XCloseDisplay(d);
  mX.reset();
  mWindow = 0;
}

void* ICanvasLinux::GetWindow()
{
  return IsOpen() ? reinterpret_cast<void*>(mWindow) : nullptr;
}

// ---- Frames -------------------------------------------------------------------------------

double ICanvasLinux::NowMs() const
{
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void ICanvasLinux::DeleteFramebuffer()
{
  mTarget.Release();
  mHasPicture = false;
}

bool ICanvasLinux::EnsureFramebuffer()
{
  const int width = FramePixelWidth(), height = FramePixelHeight();
  if (mTarget.Framebuffer() && width == mTarget.Width() && height == mTarget.Height())
    return true;
  DeleteFramebuffer();
  // The picture is kept here between frames, so that a frame draws only what changed and
  // an exposed window is repainted without drawing.
  std::string error;
  if (!mTarget.Resize(width, height, error))
    return false;
  glViewport(0, 0, width, height);
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetFrameBuffer(mTarget.Framebuffer());
  SetAllControlsDirty();
  return true;
}

bool ICanvasLinux::Tick()
{
  if (!IsOpen())
    return false;
  ++mTicks;
  // The host may destroy its window (and ours with it) before we hear of it: a frame for a
  // window that is gone must not end the host through Xlib's default error handler.
  x11::ErrorTrap trap(mX->display);
  bool drawn = false;
  {
    CurrentGuard current(*this);
    drawn = current.ok && EnsureFramebuffer() && DrawFrameIfDirty();
  }
  if (drawn)
  {
    ++mFramesDrawn;
    mHasPicture = true;
    // The software renderer fails badly when a window goes during its present, so a window
    // that went while the frame was drawn gets none (the remaining gap is a round trip).
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(mX->display, mWindow, &attributes))
      PresentUntrapped();
    else
      mClosed = true;
  }
  if (trap.Sync() != 0)
    mClosed = true;
  return drawn && !mClosed;
}

void ICanvasLinux::Present()
{
  if (!IsOpen())
    return;
  x11::ErrorTrap trap(mX->display);
  PresentUntrapped();
  if (trap.Sync() != 0)
    mClosed = true;
}

void ICanvasLinux::PresentUntrapped()
{
  if (!IsOpen() || !mHasPicture || !mTarget.Framebuffer())
    return;
  CurrentGuard current(*this);
  if (!current.ok)
    return;
  const int width = mTarget.Width(), height = mTarget.Height();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, mTarget.Framebuffer());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, mTarget.Framebuffer());
  glXSwapBuffers(mX->display, mWindow);
}

bool ICanvasLinux::Idle()
{
  if (!IsOpen())
    return false;
  HandleEvents();
  if (!IsOpen())
    return false;
  const double now = NowMs();
  // A host idling at about the frame rate must not skip every other frame.
  if (now - mLastTickMs >= 0.75 * 1000.0 / std::max(FPS(), 1))
  {
    mLastTickMs = now;
    Tick();
  }
  return IsOpen();
}

bool ICanvasLinux::RunModalLoop(const std::function<bool()>& answered)
{
  if (!IsOpen())
    return false;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(mX->display, mWindow, &attributes) ||
      attributes.map_state != IsViewable)
    return false; // nobody could answer a box in a hidden window
  const double period = 1000.0 / std::max(FPS(), 1);
  const int fd = ConnectionNumber(mX->display);
  ++mModalDepth;
  while (!answered() && IsOpen())
  {
    HandleEvents();
    if (answered() || !IsOpen())
      break;
    const double now = NowMs();
    if (now - mLastTickMs >= period)
    {
      mLastTickMs = now;
      Tick();
    }
    if (XPending(mX->display) == 0)
    {
      pollfd pfd{fd, POLLIN, 0};
      const double wait = period - (NowMs() - mLastTickMs);
      ::poll(&pfd, 1, std::max(1, int(std::ceil(wait))));
    }
  }
  --mModalDepth;
  // The box's place is drawn again at once.
  Tick();
  return true;
}

// ---- Size ---------------------------------------------------------------------------------------

void ICanvasLinux::PlatformResize(bool)
{
  if (!IsOpen())
    return;
  XResizeWindow(mX->display, mWindow, unsigned(std::max(PixelWidth(), 1)),
                unsigned(std::max(PixelHeight(), 1)));
  XFlush(mX->display);
}

void ICanvasLinux::HandleParentConfigure(int width, int height)
{
  if (width == mParentWidth && height == mParentHeight)
    return;
  mParentWidth = width;
  mParentHeight = height;
  if (mParentResizeFunc)
  {
    mParentResizeFunc(width, height);
    return;
  }
  const float screen = GetScreenScale();
  const float scale = std::min(float(width) / (float(Width()) * screen),
                               float(height) / (float(Height()) * screen));
  if (scale > 0.f && std::fabs(scale - GetDrawScale()) > 0.001f)
    Resize(Width(), Height(), scale, false);
}

// ---- Resources that need the GL context --------------------------------------------------------

bool ICanvasLinux::LoadAPIFont(const std::string& fontID, const std::vector<unsigned char>& data,
                               std::string& error)
{
  if (IsOpen())
  {
    CurrentGuard current(*this);
    return ICanvasNanoVG::LoadAPIFont(fontID, data, error);
  }
  return ICanvasNanoVG::LoadAPIFont(fontID, data, error);
}

std::shared_ptr<APIBitmap> ICanvasLinux::LoadAPIBitmap(const std::vector<unsigned char>& data,
                                                       int scale, std::string& error)
{
  if (!IsOpen())
  {
    error = "the view is closed";
    return nullptr;
  }
  CurrentGuard current(*this);
  return ICanvasNanoVG::LoadAPIBitmap(data, scale, error);
}

std::shared_ptr<APIBitmap> ICanvasLinux::CreateAPIBitmap(int width, int height, float scale)
{
  if (!IsOpen())
    return nullptr;
  CurrentGuard current(*this);
  return ICanvasNanoVG::CreateAPIBitmap(width, height, scale);
}

// ---- Cursor and pointer
// ----------------------------------------------------------------------------

namespace
{
unsigned int FontCursorFor(ECursor cursor)
{
  switch (cursor)
  {
    case ECursor::IBeam:
      return XC_xterm;
    case ECursor::Wait:
    case ECursor::AppStarting:
      return XC_watch;
    case ECursor::Cross:
      return XC_crosshair;
    case ECursor::UpArrow:
      return XC_sb_up_arrow;
    case ECursor::SizeNWSE:
      return XC_bottom_right_corner;
    case ECursor::SizeNESW:
      return XC_bottom_left_corner;
    case ECursor::SizeWE:
      return XC_sb_h_double_arrow;
    case ECursor::SizeNS:
      return XC_sb_v_double_arrow;
    case ECursor::SizeAll:
      return XC_fleur;
    case ECursor::No:
      return XC_X_cursor;
    case ECursor::Hand:
      return XC_hand2;
    case ECursor::Help:
      return XC_question_arrow;
    default:
      return XC_left_ptr;
  }
}
} // namespace

ECursor ICanvasLinux::SetMouseCursor(ECursor cursor)
{
  const ECursor previous = ICanvas::SetMouseCursor(cursor);
  mCursor = cursor;
  if (IsOpen() && !mCursorHidden)
  {
    Cursor& shape = mX->cursors[cursor];
    if (!shape)
      shape = XCreateFontCursor(mX->display, FontCursorFor(cursor));
    XDefineCursor(mX->display, mWindow, shape);
    XFlush(mX->display);
  }
  return previous;
}

void ICanvasLinux::HideMouseCursor(bool hide, bool lock)
{
  if (!IsOpen())
    return;
  Display* d = mX->display;
  if (hide)
  {
    if (!mX->blank)
    {
      const char bits[1] = {0};
      const Pixmap empty = XCreateBitmapFromData(d, mWindow, bits, 1, 1);
      XColor black{};
      mX->blank = XCreatePixmapCursor(d, empty, empty, &black, &black, 0, 0);
      XFreePixmap(d, empty);
    }
    XDefineCursor(d, mWindow, mX->blank);
    mCursorHidden = true;
    if (lock)
    {
      Window root, child;
      int rootX, rootY, winX, winY;
      unsigned int mask;
      if (XQueryPointer(d, mWindow, &root, &child, &rootX, &rootY, &winX, &winY, &mask))
      {
        mLockPX = winX;
        mLockPY = winY;
        mCursorLocked = true;
      }
    }
  }
  else
  {
    mCursorHidden = false;
    mCursorLocked = false;
    SetMouseCursor(mCursor);
  }
  XFlush(d);
}

void ICanvasLinux::MoveMouseCursor(float x, float y)
{
  if (!IsOpen())
    return;
  const float s = GetBackingPixelScale();
  const int px = int(std::lround(x * s)), py = int(std::lround(y * s));
  if (mCursorLocked)
  {
    mLockPX = px;
    mLockPY = py;
  }
  XWarpPointer(mX->display, 0, mWindow, 0, 0, 0, 0, px, py);
  XFlush(mX->display);
}

bool ICanvasLinux::GetMouseLocation(float& x, float& y) const
{
  if (!IsOpen())
    return false;
  Window root, child;
  int rootX, rootY, winX, winY;
  unsigned int mask;
  if (!XQueryPointer(mX->display, mWindow, &root, &child, &rootX, &rootY, &winX, &winY, &mask))
    return false;
  ToUnits(winX, winY, x, y);
  return true;
}

void ICanvasLinux::ToUnits(int px, int py, float& x, float& y) const
{
  const float s = GetBackingPixelScale();
  x = float(px) / s;
  y = float(py) / s;
}

// ---- URLs ------------------------------------------------------------------------------------

bool ICanvasLinux::OpenURL(const char* url)
{
  // One argument, never an option, with nothing a terminal or shell would act on.
  if (!url || !*url || url[0] == '-')
    return false;
  for (const char* p = url; *p; ++p)
    if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F)
      return false;
  const std::string program = x11::FindProgram("xdg-open");
  if (program.empty())
    return false;
  std::string error;
  return x11::LaunchDetached(program, {url}, error);
}

} // namespace plug::graphics
