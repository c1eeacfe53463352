#include "ScreenProbe.h"

#include <X11/Xlib.h>

#include <fstream>
#include <iterator>

namespace ostra::lv2test
{

using namespace std::chrono_literals;

namespace
{
Display* x(void* display)
{
  return static_cast<Display*>(display);
}
} // namespace

ScreenProbe::ScreenProbe(const std::string& display)
  : mEnv{{"DISPLAY", display}}
{
  Display* d = XOpenDisplay(display.c_str());
  mDisplay = d;
  if (d)
  {
    mWidth = DisplayWidth(d, DefaultScreen(d));
    mHeight = DisplayHeight(d, DefaultScreen(d));
  }
}

ScreenProbe::~ScreenProbe()
{
  if (mDisplay)
    XCloseDisplay(x(mDisplay));
}

std::optional<Placement> ScreenProbe::placement(unsigned long window) const
{
  Display* d = x(mDisplay);
  XWindowAttributes a{};
  Window child = 0;
  int rootX = 0, rootY = 0;
  // A window gone in the meantime is an error to X; the default handler would end the test.
  auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  const bool known =
      XGetWindowAttributes(d, window, &a) &&
      XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &rootX, &rootY, &child);
  XSync(d, False);
  XSetErrorHandler(previous);
  if (!known || a.map_state != IsViewable)
    return std::nullopt;
  return Placement{window, rootX, rootY, a.width, a.height};
}

std::vector<Placement> ScreenProbe::mappedDescendants(unsigned long top) const
{
  std::vector<Placement> found;
  std::vector<Window> pending = {top};
  while (!pending.empty())
  {
    const Window w = pending.back();
    pending.pop_back();
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x(mDisplay), w, &root, &parent, &children, &count))
      continue;
    for (unsigned i = 0; i < count; ++i)
    {
      if (auto p = placement(children[i]))
      {
        found.push_back(*p);
        pending.push_back(children[i]);
      }
    }
    if (children)
      XFree(children);
  }
  return found;
}

bool ScreenProbe::capture(const std::string& folder)
{
  const std::string path = folder + "/screen.rgb";
  const ToolResult run =
      runTool({"import", "-window", "root", "-depth", "8", "rgb:" + path}, mEnv, 15s);
  if (run.exitCode != 0)
    return false;
  std::ifstream in(path, std::ios::binary);
  mPixels.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return mPixels.size() == static_cast<size_t>(mWidth) * static_cast<size_t>(mHeight) * 3u;
}

Rgb ScreenProbe::at(int px, int py) const
{
  if (px < 0 || py < 0 || px >= mWidth || py >= mHeight ||
      mPixels.size() != static_cast<size_t>(mWidth) * static_cast<size_t>(mHeight) * 3u)
    return {-1, -1, -1};
  const size_t i =
      (static_cast<size_t>(py) * static_cast<size_t>(mWidth) + static_cast<size_t>(px)) * 3u;
  return {mPixels[i], mPixels[i + 1], mPixels[i + 2]};
}

} // namespace ostra::lv2test
