// The bundle's editor in a host built on suil, as LV2 hosts embed it: inside the host's X
// window, on the running instance, driven by the host's idle calls, used through real X
// input (xdotool), and opened and closed many times.
#include <gtest/gtest.h>

#include "graphics_linux/XvfbSession.h"
#include "lv2/SuilEditor.h"

#include <X11/Xutil.h>

#include <cstdlib>
#include <dirent.h>
#include <memory>

namespace ostra::lv2test
{
namespace
{

using ostra::test::runPumping;
using ostra::test::XvfbSession;

// Knob centres in editor units (scale 1 at 96 dpi).
constexpr int kKnobY = 316;
constexpr int kFeedbackX = 416, kFeedbackY = kKnobY;
constexpr int kLowCutX = 622;
constexpr std::uint32_t kFeedbackPort = 7;

int countEntries(const char* folder)
{
  int n = 0;
  if (DIR* dir = opendir(folder))
  {
    while (readdir(dir))
      ++n;
    closedir(dir);
  }
  return n;
}

int childWindows(Display* display, Window window)
{
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &n))
    return -1;
  if (children)
    XFree(children);
  return static_cast<int>(n);
}

class SuilEditorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!xvfb.ok())
      GTEST_SKIP() << "no X server for the editor: " << xvfb.error();
    // A failed request fails the test instead of ending the program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    display = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(display, nullptr);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1000, 456, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    instance = std::make_unique<Instance>(host, kStereoUri);
    ASSERT_TRUE(instance->valid());
    instance->run(512);
  }
  void TearDown() override
  {
    instance.reset();
    if (display)
      XCloseDisplay(display);
  }

  /** The pixels of a 40 × 40 square of the parent window around (x, y). */
  std::vector<unsigned long> square(int x, int y)
  {
    XSync(display, False);
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, parent, x - 20, y - 20, 40, 40, AllPlanes, ZPixmap);
    if (!image)
      return pixels;
    for (int j = 0; j < 40; ++j)
      for (int i = 0; i < 40; ++i)
        pixels.push_back(XGetPixel(image, i, j) & 0xffffff);
    XDestroyImage(image);
    return pixels;
  }

  bool user(SuilEditor& editor, const std::vector<std::string>& xdotoolArgs)
  {
    std::vector<std::string> args = {"xdotool"};
    args.insert(args.end(), xdotoolArgs.begin(), xdotoolArgs.end());
    return runPumping(args, [&editor] { editor.idle(); });
  }

  XvfbSession xvfb;
  Display* display = nullptr;
  Window parent = 0;
  LilvHost host;
  std::unique_ptr<Instance> instance;
};

TEST_F(SuilEditorTest, OpensInTheHostsWindowAndFollowsTheHostsPortValues)
{
  SuilEditor editor(host, *instance, display, parent);
  ASSERT_TRUE(editor.open());
  // The editor is the host's window's child, and asked the host for its size.
  EXPECT_EQ(childWindows(display, parent), 1);
  EXPECT_EQ(editor.resizeWidth, 1000);
  EXPECT_EQ(editor.resizeHeight, 456);
  editor.idleFor(300);
  const auto feedbackBefore = square(kFeedbackX, kFeedbackY);
  const auto lowCutBefore = square(kLowCutX, kKnobY);
  ASSERT_FALSE(feedbackBefore.empty());

  // Only the port event moves the knob here: the plug-in does not run meanwhile.
  editor.portEvent("feedback", 95.f);
  editor.idleFor(200);
  EXPECT_TRUE(square(kFeedbackX, kFeedbackY) != feedbackBefore) << "FEEDBACK did not move";
  EXPECT_TRUE(square(kLowCutX, kKnobY) == lowCutBefore) << "LOW CUT moved";
  // Nothing of that goes back to the host as an edit.
  EXPECT_TRUE(editor.events.empty());
}

TEST_F(SuilEditorTest, TheHostsScaleFactorSizesTheEditor)
{
  SuilEditor editor(host, *instance, display, parent, 1.5f);
  ASSERT_TRUE(editor.open());
  EXPECT_EQ(editor.resizeWidth, 1500);
  EXPECT_EQ(editor.resizeHeight, 684);
  XWindowAttributes attributes{};
  ASSERT_TRUE(XGetWindowAttributes(display, editor.widget(), &attributes));
  EXPECT_EQ(attributes.width, 1500);
}

TEST_F(SuilEditorTest, ADragReachesTheHostAsOneGestureWithValuesInOrder)
{
  SuilEditor editor(host, *instance, display, parent);
  ASSERT_TRUE(editor.open());
  editor.idleFor(200);
  const std::string x = std::to_string(kFeedbackX), y = std::to_string(kFeedbackY);
  ASSERT_TRUE(
      user(editor, {"mousemove", x,     y,           "mousedown", "1",
                    "sleep",     "0.1", "mousemove", x,           std::to_string(kFeedbackY - 15),
                    "sleep",     "0.1", "mousemove", x,           std::to_string(kFeedbackY - 30),
                    "sleep",     "0.1", "mousemove", x,           std::to_string(kFeedbackY - 45),
                    "sleep",     "0.1", "mouseup",   "1"}));
  editor.idleFor(100);

  const auto& events = editor.events;
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events.front().kind, HostEvent::Touch);
  EXPECT_EQ(events.back().kind, HostEvent::Release);
  int writes = 0;
  float last = 30.f; // the default feedback
  for (size_t i = 0; i < events.size(); ++i)
  {
    EXPECT_EQ(events[i].port, kFeedbackPort) << "event " << i;
    if (i > 0 && i + 1 < events.size())
    {
      ASSERT_EQ(events[i].kind, HostEvent::Write) << "event " << i;
      EXPECT_GT(events[i].value, last) << "event " << i;
      last = events[i].value;
      ++writes;
    }
  }
  EXPECT_GE(writes, 3);
}

// Each open makes a GL context, whose shaders the software renderer compiles anew: the
// default run keeps the count small; the sanitizer run (scripts/sanitize.sh) asks for 100.
int openCloseCycles()
{
  const char* text = std::getenv("OSTRA_EDITOR_CYCLES");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 12;
}

TEST_F(SuilEditorTest, OpensAndClosesRepeatedlyLeavingNothingBehind)
{
  // Warm up once: the first open loads libraries that stay (the GL driver, fonts).
  {
    SuilEditor editor(host, *instance, display, parent);
    ASSERT_TRUE(editor.open());
    editor.idleFor(50);
  }
  XSync(display, False);
  const int threads = countEntries("/proc/self/task");
  const int files = countEntries("/proc/self/fd");

  const int cycles = openCloseCycles();
  for (int i = 0; i < cycles; ++i)
  {
    SuilEditor editor(host, *instance, display, parent);
    ASSERT_TRUE(editor.open()) << "open " << i;
    ASSERT_TRUE(editor.idle());
    // Now and then the editor closes with a menu or a typing field open on it.
    if (i % 10 == 1)
    {
      ASSERT_TRUE(user(editor, {"mousemove", "147", "41", "click", "1"})); // the preset menu
    }
    if (i % 10 == 2)
    {
      ASSERT_TRUE(user(editor, {"mousemove", std::to_string(kFeedbackX), std::to_string(kFeedbackY),
                                "click", "3"})); // a value field
    }
    instance->run(256); // audio goes on meanwhile
  }
  XSync(display, False);
  EXPECT_EQ(childWindows(display, parent), 0);
  EXPECT_EQ(countEntries("/proc/self/task"), threads);
  EXPECT_EQ(countEntries("/proc/self/fd"), files);
}

} // namespace
} // namespace ostra::lv2test
