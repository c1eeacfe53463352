// Our editor inside jalv.gtk3, a host nobody here wrote, on a private X display and JACK dummy
// server: the editor's colours where its layout puts them, a click and a drag with xdotool that
// reach the host's control ports, and a clean exit when the host closes.
#include "JalvGtk.h"
#include "LilvHost.h"
#include "PrivateServers.h"
#include "ScreenProbe.h"
#include "support/Sanitizers.h"

#include "plugin/Accents.h"
#include "plugin/EditorStyle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

using namespace ostra::lv2test;
using namespace std::chrono_literals;
namespace editor = ostratapedelay::plugin::editor;

namespace
{

constexpr const char* kUiUri = "urn:corvana:ostratape-delay#ui";

// Places in the editor, in pixels at scale 1 from its top-left corner.
struct Spot
{
  int x, y;
};
constexpr Spot kMargin{5, 200};      // the background, left of the body panel
constexpr Spot kBody{20, 240};       // the body panel, between the repeats and the headings
constexpr Spot kBypassPill{919, 62}; // the middle of the bypass pill
constexpr Spot kBypassDot{877, 62};  // its dot: in the accent while the effect is active
constexpr Spot kFeedbackKnob{416, 316};
// The top of FEEDBACK's ring: grey up to 50 %, in the accent above.
constexpr Spot kFeedbackTop{416, 293};

Rgb rgb(const plug::graphics::IColor& c)
{
  return {c.R, c.G, c.B};
}

Rgb accent()
{
  // No host track colour here: the default accent row falls back to its own colour.
  const auto& a = ostratapedelay::plugin::kAccents[ostratapedelay::plugin::kHostAccent];
  return {a.red, a.green, a.blue};
}

std::string show(const Rgb& c)
{
  std::ostringstream s;
  s << "(" << c.r << ", " << c.g << ", " << c.b << ")";
  return s.str();
}

bool near(const Rgb& a, const Rgb& b, int tolerance)
{
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

/** A dim grey: the unlit look of rings and dots. */
bool dimGrey(const Rgb& c)
{
  return near(c, {c.g, c.g, c.g}, 6) && c.g > 30 && c.g < 110;
}

/** The editor's own window inside the host's: the one of the design's size. */
std::optional<Placement> findEditor(const ScreenProbe& screen, const Placement& host)
{
  for (const Placement& p : screen.mappedDescendants(host.window))
    if (p.width == editor::kWidth && p.height == editor::kHeight)
      return p;
  return std::nullopt;
}

std::string sizes(const ScreenProbe& screen, const Placement& host)
{
  std::ostringstream s;
  s << "windows in the host's: ";
  for (const Placement& p : screen.mappedDescendants(host.window))
    s << p.width << "x" << p.height << "+" << p.x << "+" << p.y << " ";
  return s.str();
}

class Screenshots
{
public:
  Screenshots(ScreenProbe& screen, const Placement& editorWindow, const std::string& folder)
    : mScreen(screen)
    , mEditor(editorWindow)
    , mFolder(folder)
  {
  }
  /** Takes screenshots until `ready` holds for the editor's pixels; false after `limit`. */
  template <class Ready>
  bool waitFor(Ready ready, std::chrono::milliseconds limit)
  {
    for (auto end = std::chrono::steady_clock::now() + limit;;)
    {
      if (mScreen.capture(mFolder) && ready())
        return true;
      if (std::chrono::steady_clock::now() >= end)
        return false;
      std::this_thread::sleep_for(100ms);
    }
  }
  Rgb at(const Spot& s) const { return mScreen.at(mEditor.x + s.x, mEditor.y + s.y); }

private:
  ScreenProbe& mScreen;
  Placement mEditor;
  std::string mFolder;
};

/**
 * jalv.gtk3 on a private display and JACK dummy server with a home of its own (no saved
 * settings or presets of the user's, no update check), showing the stereo plug-in; skipped
 * where those servers cannot start.
 */
class JalvGtkEditor : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (OSTRA_SANITIZED)
      GTEST_SKIP() << "the sanitized plug-in cannot load into jalv, which is not instrumented";
    display = std::make_unique<PrivateDisplay>("1280x1024x24");
    if (!display->ok())
      GTEST_SKIP() << "no X server for this test: " << display->error();
    jack = std::make_unique<JackDummyServer>();
    if (!jack->ok())
      GTEST_SKIP() << "no JACK dummy server for this test: " << jack->error();
    screen = std::make_unique<ScreenProbe>(display->name());
    ASSERT_TRUE(screen->ok()) << display->name();

    ASSERT_FALSE(home.path.empty());
    Env env = jack->env();
    env.insert({{"LV2_PATH", bundleParent()},
                {"HOME", home.path},
                {"XDG_CONFIG_HOME", home.path + "/config"},
                {"XDG_DATA_HOME", home.path + "/data"},
                {"XDG_CACHE_HOME", home.path + "/cache"},
                {"CORVANA_UPDATES_FOLDER", home.path + "/updates"},
                {"GSETTINGS_BACKEND", "memory"},
                {"NO_AT_BRIDGE", "1"}});
    const ToolResult off =
        runTool({std::string(OSTRA_BUILD_DIR) + "/cli/ostratape", "updates", "off"}, env, 30s);
    ASSERT_EQ(off.exitCode, 0) << off.output;

    jalv = std::make_unique<JalvGtk>(kStereoUri, env, *screen);
    std::smatch uiLine;
    ASSERT_TRUE(jalv->process().waitFor(std::regex("UI: +(\\S+)\n"), uiLine, 20s))
        << jalv->process().output();
    ASSERT_EQ(uiLine[1].str(), kUiUri) << "jalv did not choose our UI";

    const std::optional<Placement> top = jalv->window("OstraTape-delay", 20s);
    ASSERT_TRUE(top) << jalv->process().output();
    host = *top;
    std::optional<Placement> found;
    for (auto end = std::chrono::steady_clock::now() + 10s;
         !(found = findEditor(*screen, host)) && std::chrono::steady_clock::now() < end;)
      std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(found) << sizes(*screen, host);
    editorWindow = *found;
  }

  std::vector<std::string> at(const Spot& s, int dy = 0) const
  {
    return {std::to_string(editorWindow.x + s.x), std::to_string(editorWindow.y + s.y + dy)};
  }
  /** A click at `s` in the editor. */
  bool click(const Spot& s)
  {
    std::vector<std::string> args = {"mousemove"};
    const auto place = at(s);
    args.insert(args.end(), place.begin(), place.end());
    args.insert(args.end(), {"click", "1"});
    return jalv->xdotool(args);
  }
  /** The host quits and its process ends without a crash. */
  void expectCleanExit()
  {
    EXPECT_TRUE(jalv->process().waitExit(10s)) << jalv->process().output();
    EXPECT_EQ(jalv->process().stop(), 0) << jalv->process().output();
    for (const char* crash : {"Segmentation fault", "Aborted", "core dumped", "terminate called",
                              "X Error", "BadWindow", "BadDrawable"})
      EXPECT_EQ(jalv->process().output().find(crash), std::string::npos)
          << crash << " in: " << jalv->process().output();
  }

  std::unique_ptr<PrivateDisplay> display;
  std::unique_ptr<JackDummyServer> jack;
  std::unique_ptr<ScreenProbe> screen;
  TempDir home;
  std::unique_ptr<JalvGtk> jalv;
  Placement host, editorWindow;
};

} // namespace

TEST_F(JalvGtkEditor, ShowsTheEditorTakesAClickAndADragIntoItsPortsAndClosesCleanly)
{
  // The whole editor lies inside the host's window.
  EXPECT_GE(editorWindow.x, host.x);
  EXPECT_LE(editorWindow.x + editorWindow.width, host.x + host.width);
  EXPECT_LE(editorWindow.y + editorWindow.height, host.y + host.height);

  // The editor as drawn: its background and body, the bypass pill's lit dot and FEEDBACK's ring
  // at its default 30 %.
  Screenshots shots(*screen, editorWindow, home.path);
  const Rgb background = rgb(editor::kBackgroundColour), body = rgb(editor::kBodyColour);
  ASSERT_TRUE(shots.waitFor([&] { return near(shots.at(kMargin), background, 3); }, 15s))
      << "no editor background at the margin: " << show(shots.at(kMargin));
  EXPECT_TRUE(near(shots.at(kBody), body, 3)) << show(shots.at(kBody));
  EXPECT_TRUE(near(shots.at(kBypassDot), accent(), 12)) << show(shots.at(kBypassDot));
  EXPECT_TRUE(dimGrey(shots.at(kFeedbackTop))) << show(shots.at(kFeedbackTop));

  // The host's values before the user acts, read back through its own state saving.
  const auto before = jalv->saveState(home.path + "/before");
  ASSERT_TRUE(before.count("bypass") && before.count("feedback")) << jalv->process().output();
  EXPECT_EQ(before.at("bypass"), 0.0);
  EXPECT_NEAR(before.at("feedback"), 30.0, 1e-3);

  // A click on the bypass pill and an upward drag on FEEDBACK, in small steps as a hand moves.
  ASSERT_TRUE(click(kBypassPill));
  std::vector<std::string> drag = {"mousemove"};
  for (const auto& a : at(kFeedbackKnob))
    drag.push_back(a);
  drag.insert(drag.end(), {"sleep", "0.1", "mousedown", "1", "sleep", "0.1"});
  for (int dy = -10; dy >= -100; dy -= 10)
  {
    drag.push_back("mousemove");
    for (const auto& a : at(kFeedbackKnob, dy))
      drag.push_back(a);
    drag.insert(drag.end(), {"sleep", "0.03"});
  }
  drag.insert(drag.end(), {"sleep", "0.1", "mouseup", "1"});
  ASSERT_TRUE(jalv->xdotool(drag));

  // The editor shows it: the dot unlit, the ring lit past its top.
  EXPECT_TRUE(shots.waitFor(
      [&] { return dimGrey(shots.at(kBypassDot)) && near(shots.at(kFeedbackTop), accent(), 12); },
      5s))
      << "dot " << show(shots.at(kBypassDot)) << ", ring " << show(shots.at(kFeedbackTop));

  // And so does the host: bypass on, feedback raised by the upward drag (100 pixels of a
  // 52-pixel knob at gearing 4 is about half its range).
  const auto after = jalv->saveState(home.path + "/after");
  ASSERT_TRUE(after.count("bypass") && after.count("feedback")) << jalv->process().output();
  EXPECT_EQ(after.at("bypass"), 1.0);
  EXPECT_GT(after.at("feedback"), 60.0);
  EXPECT_LT(after.at("feedback"), 95.0);
  // Nothing else moved.
  for (const auto& [symbol, value] : before)
  {
    if (symbol != "bypass" && symbol != "feedback")
    {
      EXPECT_EQ(after.count(symbol) ? after.at(symbol) : -1.0, value) << symbol;
    }
  }

  // The user quits from the host's menu; the UI closes with the host.
  ASSERT_TRUE(jalv->quit());
  expectCleanExit();
}

TEST_F(JalvGtkEditor, TheHostsKeyboardShortcutsStillWorkAfterAClickInTheEditor)
{
  // A click on a switch needs no keyboard; the host's Quit key must still reach the host once
  // the editor has taken the click.
  Screenshots shots(*screen, editorWindow, home.path);
  ASSERT_TRUE(shots.waitFor([&] { return near(shots.at(kBypassDot), accent(), 12); }, 15s));
  ASSERT_TRUE(click(kBypassPill));
  ASSERT_TRUE(shots.waitFor([&] { return dimGrey(shots.at(kBypassDot)); }, 5s));
  ASSERT_TRUE(jalv->keyOverMenuBar("ctrl+q"));
  expectCleanExit();
}
