// The native X11 view in a real X server (Xvfb), used as a user would with xdotool, and
// looked at through screenshots.
// GoogleTest comes before the X headers, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include "XvfbSession.h"
#include "graphics/GraphicsTestSupport.h"

#include "graphics/ICaptionControl.h"
#include "graphics/IMessageBoxControl.h"
#include "graphics/IPanelControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"
#include "graphics/IVectorKnobControl.h"
#include "graphics/linux/ICanvasLinux.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ostra::test
{
namespace
{

namespace fs = std::filesystem;

constexpr const char* kRegularFont =
    "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
constexpr IColor kBackground(255, 10, 10, 10);
constexpr IRECT kKnob(40, 40, 120, 120);
constexpr IRECT kCaption(200, 40, 300, 60);

/** A window standing in for the host's, at the top-left of the screen (no window manager). */
class HostWindow
{
public:
  HostWindow(int width, int height)
  {
    mDisplay = XOpenDisplay(nullptr);
    if (!mDisplay)
      return;
    mWindow = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 0, unsigned(width),
                                  unsigned(height), 0, 0, 0);
    XMapWindow(mDisplay, mWindow);
    XSync(mDisplay, False);
  }
  ~HostWindow()
  {
    if (mDisplay)
    {
      XDestroyWindow(mDisplay, mWindow);
      XCloseDisplay(mDisplay);
    }
  }
  Display* display() const { return mDisplay; }
  Window window() const { return mWindow; }
  void resize(int width, int height)
  {
    XResizeWindow(mDisplay, mWindow, unsigned(width), unsigned(height));
    XSync(mDisplay, False);
  }
  /** The size of another client's window, as the server has it. */
  bool sizeOf(unsigned long window, int& width, int& height) const
  {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(mDisplay, window, &a))
      return false;
    width = a.width;
    height = a.height;
    return true;
  }

private:
  Display* mDisplay = nullptr;
  Window mWindow = 0;
};

/** The view with a knob and a caption, in a host window, fonts loaded. */
struct ViewFixture
{
  explicit ViewFixture(float hostScale = 1.f)
    : host(400, 200)
    , plugin(std::make_unique<TestPlugin>())
    , delegate(*plugin)
  {
    ILinuxViewOptions options;
    options.parent = host.window();
    options.hostScale = hostScale;
    auto made = ICanvasLinux::Create(&delegate, 400, 200, 60, 1.f, options, error);
    if (!made)
      return;
    view = made.get();
    delegate.SetLayoutFunc(
        [this](ICanvas* g)
        {
          g->LoadFont("Roboto-Regular", kRegularFont);
          g->AttachPanelBackground(kBackground);
          IVectorStyle style;
          style.showValue = false;
          style.showLabel = false;
          knob = g->AttachControl(new IVectorKnobControl(kKnob, TestPlugin::kLinear, "", style));
          caption = g->AttachControl(new ICaptionControl(kCaption, TestPlugin::kChoice,
                                                         IText(14.f, COLOR_WHITE),
                                                         IColor(255, 60, 60, 60), false));
        });
    delegate.OpenEditor(std::move(made));
    pumpFor(150);
  }
  void pump()
  {
    if (view)
      view->Idle();
  }
  void pumpFor(int ms)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end)
    {
      pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
  }
  bool user(const std::vector<std::string>& xdotoolArgs)
  {
    std::vector<std::string> args = {"xdotool"};
    args.insert(args.end(), xdotoolArgs.begin(), xdotoolArgs.end());
    return runPumping(args, [this] { pump(); });
  }
  double value(int paramIdx) const { return plugin->GetParam(paramIdx)->Value(); }

  HostWindow host;
  std::unique_ptr<TestPlugin> plugin;
  ICanvasEditorDelegate delegate;
  ICanvasLinux* view = nullptr;
  IControl* knob = nullptr;
  IControl* caption = nullptr;
  std::string error;
};

/** The screen as raw RGB, read with ImageMagick's import. */
struct Screenshot
{
  bool take(ViewFixture& f)
  {
    path =
        (fs::temp_directory_path() / ("ostra-view-" + std::to_string(getpid()) + ".rgb")).string();
    if (!runPumping({"import", "-window", "root", "-depth", "8", "rgb:" + path}, [&] { f.pump(); }))
      return false;
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(path);
    return bytes.size() == 800u * 600u * 3u;
  }
  IColor at(int x, int y) const
  {
    const size_t i = (size_t(y) * 800 + size_t(x)) * 3;
    return IColor(255, (unsigned char)bytes[i], (unsigned char)bytes[i + 1],
                  (unsigned char)bytes[i + 2]);
  }
  std::string path;
  std::string bytes;
};

bool near(const IColor& a, const IColor& b, int tolerance = 3)
{
  return std::abs(a.R - b.R) <= tolerance && std::abs(a.G - b.G) <= tolerance &&
         std::abs(a.B - b.B) <= tolerance;
}

std::string describe(const IColor& c)
{
  return std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B);
}

std::string px(float v)
{
  return std::to_string(int(std::lround(v)));
}

#define OSTRA_VIEW(f)                                                                              \
  ViewFixture f;                                                                                   \
  ASSERT_NE(f.view, nullptr) << f.error

TEST(LinuxView, WithoutAnXServerThereIsNoViewAndTheReasonIsGiven)
{
  TestPlugin plugin;
  ICanvasEditorDelegate delegate(plugin);
  std::string error;
  ILinuxViewOptions options;
  options.display = ":4093";
  EXPECT_EQ(ICanvasLinux::Create(&delegate, 400, 200, 60, 1.f, options, error), nullptr);
  EXPECT_NE(error.find("cannot connect to the X display \":4093\""), std::string::npos) << error;

  const char* old = std::getenv("DISPLAY");
  const std::string saved = old ? old : "";
  unsetenv("DISPLAY");
  error.clear();
  EXPECT_EQ(ICanvasLinux::Create(&delegate, 400, 200, 60, 1.f, {}, error), nullptr);
  EXPECT_NE(error.find("DISPLAY is not set"), std::string::npos) << error;
  if (old)
    setenv("DISPLAY", saved.c_str(), 1);
}

TEST(LinuxView, AServerWithoutGlxOrABadParentGivesNoView)
{
  TestPlugin plugin;
  ICanvasEditorDelegate delegate(plugin);
  std::string error;
  {
    XvfbSession noGlx(false);
    if (!noGlx.ok())
      GTEST_SKIP() << "no X server for this test: " << noGlx.error();
    EXPECT_EQ(ICanvasLinux::Create(&delegate, 400, 200, 60, 1.f, {}, error), nullptr);
    EXPECT_NE(error.find("GLX"), std::string::npos) << error;
  }
  OSTRA_XVFB(server);
  ILinuxViewOptions options;
  options.parent = 0x7ffff0; // no such window
  error.clear();
  EXPECT_EQ(ICanvasLinux::Create(&delegate, 400, 200, 60, 1.f, options, error), nullptr);
  EXPECT_NE(error.find("parent window 0x7ffff0"), std::string::npos) << error;
}

TEST(LinuxView, TheFrameLoopDrawsOnlyWhenSomethingIsDirty)
{
  OSTRA_XVFB(server);
  OSTRA_VIEW(f);
  EXPECT_GE(f.view->FramesDrawn(), 1);
  const int frames = f.view->FramesDrawn();
  const int ticks = f.view->Ticks();
  f.pumpFor(300);
  EXPECT_EQ(f.view->FramesDrawn(), frames);
  EXPECT_GT(f.view->Ticks(), ticks + 5); // the loop ran, at about the frame rate
  EXPECT_LT(f.view->Ticks(), ticks + 40);
  f.delegate.SetParameterFromDelegate(TestPlugin::kLinear, 0.9);
  f.pumpFor(100);
  EXPECT_EQ(f.view->FramesDrawn(), frames + 1);
}

TEST(LinuxView, AUserDragsAKnobTypesAValueAndPicksFromAMenu)
{
  OSTRA_XVFB(server);
  OSTRA_VIEW(f);
  Screenshot shot;
  ASSERT_TRUE(shot.take(f));
  EXPECT_TRUE(near(shot.at(300, 150), kBackground)) << describe(shot.at(300, 150));
  EXPECT_TRUE(near(shot.at(290, 45), IColor(255, 60, 60, 60))) << describe(shot.at(290, 45));

  // Drag the knob up.
  const double before = f.value(TestPlugin::kLinear);
  ASSERT_TRUE(
      f.user({"mousemove", "80", "80", "mousedown", "1", "sleep", "0.1", "mousemove", "80", "60",
              "sleep", "0.1", "mousemove", "80", "40", "sleep", "0.1", "mouseup", "1"}));
  EXPECT_GT(f.value(TestPlugin::kLinear), before + 0.05);
  ASSERT_FALSE(f.plugin->events.empty());
  EXPECT_EQ(f.plugin->events.front().kind, 'B');
  EXPECT_EQ(f.plugin->events.back().kind, 'E');
  EXPECT_NE(f.plugin->kinds().find('V'), std::string::npos);

  // Right-click it and type a value.
  f.plugin->events.clear();
  ASSERT_TRUE(f.user({"mousemove", "80", "80", "click", "3"}));
  ITextEntryControl* field = f.view->GetTextEntryControl();
  ASSERT_TRUE(field->IsOpen());
  ASSERT_TRUE(f.user({"type", "--delay", "30", "x0.25"}));
  EXPECT_EQ(field->GetString(), "0.25");
  ASSERT_TRUE(f.user({"key", "Return"}));
  EXPECT_FALSE(field->IsOpen());
  EXPECT_DOUBLE_EQ(f.value(TestPlugin::kLinear), 0.25);

  // Open the caption's menu and pick "blue".
  ASSERT_TRUE(f.user({"mousemove", "250", "50", "click", "1"}));
  IPopupMenuControl* menu = f.view->GetPopupMenuControl();
  ASSERT_TRUE(menu->IsOpen());
  const IRECT blue = menu->GetItemRECT(0, 2);
  ASSERT_TRUE(f.user({"mousemove", px(blue.MW()), px(blue.MH())}));
  f.pumpFor(50);
  ASSERT_TRUE(shot.take(f));
  // The hovered item is lit, the panel drawn over the editor's background.
  const IPopupMenuStyle& style = menu->GetStyle();
  EXPECT_TRUE(near(shot.at(int(blue.L) + 3, int(blue.MH())), style.highlight))
      << describe(shot.at(int(blue.L) + 3, int(blue.MH())));
  const IRECT red = menu->GetItemRECT(0, 0);
  EXPECT_TRUE(near(shot.at(int(red.R) - 3, int(red.MH())), style.background))
      << describe(shot.at(int(red.R) - 3, int(red.MH())));
  ASSERT_TRUE(f.user({"click", "1"}));
  EXPECT_FALSE(menu->IsOpen());
  EXPECT_DOUBLE_EQ(f.value(TestPlugin::kChoice), 2.0);
  // The menu's place shows the editor again.
  ASSERT_TRUE(shot.take(f));
  EXPECT_TRUE(near(shot.at(int(red.R) - 3, int(red.MH())), kBackground))
      << describe(shot.at(int(red.R) - 3, int(red.MH())));
}

TEST(LinuxView, AMessageBoxWaitsForTheUsersKeys)
{
  OSTRA_XVFB(server);
  OSTRA_VIEW(f);
  // Focus the view, then answer a yes/no box with Tab (to "No") and Enter.
  ASSERT_TRUE(f.user({"mousemove", "350", "150", "click", "1"}));
  const pid_t user =
      spawn({"xdotool", "sleep", "0.4", "key", "Tab", "sleep", "0.1", "key", "Return"});
  ASSERT_GT(user, 0);
  const int result = f.view->ShowMessageBox("Replace it?", "Save preset", kMB_YESNO);
  int status = 0;
  waitpid(user, &status, 0);
  EXPECT_EQ(result, kNO);
  EXPECT_FALSE(f.view->GetMessageBoxControl()->IsOpen());
}

TEST(LinuxView, TheParentsSizeScalesTheEditor)
{
  OSTRA_XVFB(server);
  OSTRA_VIEW(f);
  f.host.resize(800, 400);
  f.pumpFor(150);
  EXPECT_FLOAT_EQ(f.view->GetDrawScale(), 2.f);
  int width = 0, height = 0;
  ASSERT_TRUE(f.host.sizeOf(f.view->GetXWindow(), width, height));
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 400);
  Screenshot shot;
  ASSERT_TRUE(shot.take(f));
  // The caption's grey, at twice its place.
  EXPECT_TRUE(near(shot.at(580, 90), IColor(255, 60, 60, 60))) << describe(shot.at(580, 90));
}

TEST(LinuxView, TheScreenScaleComesFromTheHostElseFromXftDpi)
{
  OSTRA_XVFB(server);
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  const std::string resources = "Xft.dpi:\t192\n";
  XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources.c_str()), int(resources.size()));
  XSync(d, False);
  {
    ViewFixture f(0.f);
    ASSERT_NE(f.view, nullptr) << f.error;
    EXPECT_FLOAT_EQ(f.view->GetScreenScale(), 2.f);
    int width = 0, height = 0;
    ASSERT_TRUE(f.host.sizeOf(f.view->GetXWindow(), width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 400);
  }
  {
    ViewFixture f(1.5f);
    ASSERT_NE(f.view, nullptr) << f.error;
    EXPECT_FLOAT_EQ(f.view->GetScreenScale(), 1.5f);
  }
  XDeleteProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER);
  XCloseDisplay(d);
}

TEST(LinuxView, ClipboardTextGoesThroughTheServerAndIntoAField)
{
  OSTRA_XVFB(server);
  OSTRA_VIEW(f);
  std::string text;
  EXPECT_FALSE(f.view->GetTextFromClipboard(text)); // nobody owns it yet
  ASSERT_TRUE(f.view->SetTextInClipboard("0.75"));
  ASSERT_TRUE(f.view->GetTextFromClipboard(text));
  EXPECT_EQ(text, "0.75");

  ASSERT_TRUE(f.user({"mousemove", "80", "80", "click", "3"}));
  ASSERT_TRUE(f.view->GetTextEntryControl()->IsOpen());
  ASSERT_TRUE(f.user({"key", "ctrl+v", "Return"}));
  EXPECT_DOUBLE_EQ(f.value(TestPlugin::kLinear), 0.75);
}

TEST(LinuxView, OpenUrlStartsXdgOpenDetachedWithTheUrlAsOneArgument)
{
  OSTRA_XVFB(server);
  OSTRA_VIEW(f);
  const fs::path dir = fs::temp_directory_path() / ("ostra-xdg-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path out = dir / "args";
  {
    std::ofstream script(dir / "xdg-open");
    script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" \"$PPID\" > \"" << out.string()
           << ".tmp\"\nmv \"" << out.string() << ".tmp\" \"" << out.string() << "\"\n";
  }
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);

  const std::string url = "https://example.com/a b;echo x";
  EXPECT_TRUE(f.view->OpenURL(url.c_str()));
  for (int i = 0; i < 200 && !fs::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream in(out);
  std::string count, arg, parent;
  std::getline(in, count);
  std::getline(in, arg);
  std::getline(in, parent);
  EXPECT_EQ(count, "1");
  EXPECT_EQ(arg, url);
  EXPECT_NE(parent, std::to_string(getpid())); // not our child: nobody waits for it
  EXPECT_FALSE(f.view->OpenURL("--help"));
  EXPECT_FALSE(f.view->OpenURL("https://x\n"));

  setenv("PATH", oldPath.c_str(), 1);
  fs::remove_all(dir);
}

} // namespace
} // namespace ostra::test
