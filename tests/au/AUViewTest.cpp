// The unit's Cocoa view as a host opens, drives and closes it: the factory class found by the
// name the unit gives, the editor inside the host's window on a private X server, a user's drag
// reaching the host inside a gesture, and closing and reopening without leftovers.
#include "AUViewHost.h"
#include "au/AUEditorView.h"
#include "framework/au/IAUFactory.h"
#include "graphics/ICanvas.h"
#include "graphics/IControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"
#include "graphics/linux/ICanvasLinux.h"
#include "graphics_linux/XvfbSession.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using namespace au_test;
using ostratapedelay::au::AUEditorView;

namespace
{

// A unit of the framework without an editor.
class PlainUnit : public plug::IAUBinding
{
public:
  PlainUnit()
    : IAUBinding(MakeConfig())
  {
  }

private:
  static plug::Config MakeConfig()
  {
    plug::Config config;
    config.channelIOStr = "2-2";
    config.uniqueID = plug::FourCharCode("OsPl");
    config.mfrID = plug::FourCharCode("Crvn");
    return config;
  }
};

AudioComponent PlainComponent()
{
  static const AudioComponent component = []
  {
    const AudioComponentDescription desc = Description(plug::FourCharCode("OsPl"));
    return AudioComponentRegister(&desc, CFSTR("Corvana: plain"), 0x10000,
                                  plug::IAUFactory<PlainUnit>::Factory);
  }();
  return component;
}

std::unique_ptr<AUCocoaUIBase> Factory(Host& host)
{
  std::string why;
  auto factory = MakeViewFactory(host, why);
  EXPECT_NE(factory, nullptr) << why;
  return factory;
}

TEST(AUView, TheHostFindsTheFactoryByTheNamesTheUnitGives)
{
  Host host;
  auto factory = Factory(host);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->description(), "OstraTape-delay View");
  EXPECT_EQ(factory->interfaceVersion(), 0u);

  // Only the unit's own bundle holds the class.
  plug::CFRef<CFURLRef> elsewhere(CFURLCreateWithFileSystemPath(
      kCFAllocatorDefault, CFSTR("/Library/Audio/Plug-Ins/Components/Other.component"),
      kCFURLPOSIXPathStyle, true));
  EXPECT_FALSE(NSBundle::bundleWithURL(elsewhere.Get()).has_value());
  plug::CFRef<CFURLRef> ours(CFURLCreateWithFileSystemPath(
      kCFAllocatorDefault, Key(kBundlePath).Get(), kCFURLPOSIXPathStyle, true));
  const std::optional<NSBundle> bundle = NSBundle::bundleWithURL(ours.Get());
  ASSERT_TRUE(bundle.has_value());
  EXPECT_NE(bundle->classNamed(CFSTR("OstraTapeDelay_View")), nullptr);
  EXPECT_EQ(bundle->classNamed(CFSTR("OstraTapeDelay_Vie")), nullptr);
}

TEST(AUView, NoUnitOrAUnitWithoutTheEditorGetsNoView)
{
  Host host;
  auto factory = Factory(host);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->uiViewForAudioUnit(nullptr, {1000, 456}), nullptr);

  Host plain(PlainComponent());
  AudioUnitCocoaViewInfo info{};
  EXPECT_EQ(plain.Get(kAudioUnitProperty_CocoaUI, info), kAudioUnitErr_InvalidProperty);
  // A host may still ask any factory it has about any unit.
  EXPECT_EQ(factory->uiViewForAudioUnit(plain.Unit(), {1000, 456}), nullptr);
}

TEST(AUView, AViewPutWhereThereIsNoWindowStaysEmpty)
{
  Host host;
  auto* plugin = host.Object<OstraTapeDelay>();
  auto factory = Factory(host);
  ASSERT_NE(factory, nullptr);
  NSView content({{0, 0}, {1000, 456}});
  auto* view = static_cast<AUEditorView*>(
      content.addSubview(factory->uiViewForAudioUnit(host.Unit(), {1000, 456})));
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isOpen());
  EXPECT_NE(view->error().find("no native window"), std::string::npos) << view->error();
  EXPECT_EQ(plugin->ui(), nullptr);

  // A window id the X server does not have, when there is a server.
  OSTRA_XVFB(server);
  content.setNativeWindow(0x7ffff0);
  auto* second = static_cast<AUEditorView*>(
      content.addSubview(factory->uiViewForAudioUnit(host.Unit(), {1000, 456})));
  EXPECT_FALSE(second->isOpen());
  EXPECT_NE(second->error().find("parent window 0x7ffff0"), std::string::npos) << second->error();
  EXPECT_EQ(plugin->ui(), nullptr);
}

TEST(AUView, TheUnitsIdleTickRunsOnTheMainRunLoopUntilTheUnitGoes)
{
  {
    Host host;
    auto* plugin = host.Object<OstraTapeDelay>();
    const auto before = plugin->GetTimer().NTicks();
    RunMainLoop(220);
    const auto ticks = plugin->GetTimer().NTicks() - before;
    // Every 20 ms; a loaded machine delays some, and late ones are skipped, not piled up.
    EXPECT_GE(ticks, 3u);
    EXPECT_LE(ticks, 12u);
  }
  // Nothing of the unit is left on the loop.
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false), kCFRunLoopRunFinished);
}

/** A unit, its view factory and a host window, under a private X server. */
struct Session
{
  Session()
    : window(1000, 456)
    , plugin(host.Object<OstraTapeDelay>())
    , factory(MakeViewFactory(host, why))
  {
  }
  AUEditorView* open()
  {
    auto* view = static_cast<AUEditorView*>(
        window.embed(factory->uiViewForAudioUnit(host.Unit(), {1000, 456})));
    RunMainLoop(60);
    return view;
  }
  std::string why;
  Host host;
  HostWindow window;
  OstraTapeDelay* plugin;
  std::unique_ptr<AUCocoaUIBase> factory;
};

#define OSTRA_SESSION(s)                                                                           \
  OSTRA_XVFB(server);                                                                              \
  Session s;                                                                                       \
  ASSERT_TRUE(s.window.ok());                                                                      \
  ASSERT_NE(s.factory, nullptr) << s.why

TEST(AUView, TheEditorOpensInTheHostsWindowAndADragReachesTheHostInOneGesture)
{
  OSTRA_SESSION(s);
  AUEditorView* view = s.open();
  ASSERT_TRUE(view->isOpen()) << view->error();
  ASSERT_NE(s.plugin->ui(), nullptr);
  EXPECT_EQ(s.window.children(), std::vector<unsigned long>{view->nativeWindow()});
  EXPECT_EQ(view->frame().size.width, 1000.0);
  EXPECT_EQ(view->frame().size.height, 456.0);

  // Frames and the plug-in's idle tick both come from the loop this thread spins.
  plug::graphics::ICanvasLinux* canvas = view->canvas();
  const int frames = canvas->Ticks();
  const auto ticks = s.plugin->GetTimer().NTicks();
  // Software-rendered frames are slow (more so under a sanitizer), so the loop spins until
  // both have come a few times, within a generous limit.
  for (int i = 0; i < 50; ++i)
  {
    RunMainLoop(100);
    if (canvas->Ticks() > frames + 3 && s.plugin->GetTimer().NTicks() > ticks + 2)
      break;
  }
  EXPECT_GT(canvas->Ticks(), frames + 3);
  EXPECT_GT(s.plugin->GetTimer().NTicks(), ticks + 2);
  EXPECT_GE(canvas->FramesDrawn(), 1);

  // Drag the FEEDBACK knob (centre 416, 316) up.
  ParameterEvents events(s.host.Unit(), ostratapedelay::plugin::kFeedback);
  const Float32 before = s.host.GetParam(ostratapedelay::plugin::kFeedback);
  ASSERT_TRUE(
      User({"mousemove", "416", "316", "mousedown", "1", "sleep", "0.1", "mousemove", "416", "296",
            "sleep", "0.1", "mousemove", "416", "276", "sleep", "0.1", "mouseup", "1"}));
  const Float32 after = s.host.GetParam(ostratapedelay::plugin::kFeedback);
  EXPECT_GT(after, before + 5.0f);
  ASSERT_GE(events.types.size(), 3u);
  EXPECT_EQ(events.types.front(), kAudioUnitEvent_BeginParameterChangeGesture);
  EXPECT_EQ(events.types.back(), kAudioUnitEvent_EndParameterChangeGesture);
  for (size_t i = 1; i + 1 < events.types.size(); ++i)
  {
    EXPECT_EQ(events.types[i], kAudioUnitEvent_ParameterValueChange) << i;
    if (i > 1)
    {
      EXPECT_GE(events.values[i], events.values[i - 1]) << i; // up all the way
    }
  }
  EXPECT_FLOAT_EQ(events.values[events.values.size() - 2], after);
}

TEST(AUView, TheHostsWindowSizeScalesTheEditor)
{
  OSTRA_SESSION(s);
  AUEditorView* view = s.open();
  ASSERT_TRUE(view->isOpen()) << view->error();
  s.window.resize(750, 342);
  RunMainLoop(200);
  EXPECT_FLOAT_EQ(s.plugin->ui()->GetDrawScale(), 0.75f);
  EXPECT_EQ(s.plugin->GetEditorWidth(), 750);
  EXPECT_EQ(s.plugin->GetEditorHeight(), 342);
}

TEST(AUView, TheEditorsSizeMenuResizesTheViewTheHostEmbeds)
{
  OSTRA_SESSION(s);
  AUEditorView* view = s.open();
  ASSERT_TRUE(view->isOpen()) << view->error();
  s.plugin->applyEditorScale(1.5f);
  EXPECT_EQ(view->frame().size.width, 1500.0);
  EXPECT_EQ(view->frame().size.height, 684.0);
  view->removeFromSuperview();
  // Closed, the editor asks nobody.
  EXPECT_FALSE(s.plugin->EditorResize(1000, 456));
}

TEST(AUView, ClosingAndReopeningTwentyTimesLeavesNothingOpenEvenWithAMenuOrFieldUp)
{
  OSTRA_SESSION(s);
  using namespace ostratapedelay::plugin;
  for (int i = 0; i < 20; ++i)
  {
    SCOPED_TRACE(i);
    AUEditorView* view = s.open();
    ASSERT_TRUE(view->isOpen()) << view->error();
    plug::graphics::ICanvas* g = s.plugin->ui();
    ASSERT_NE(g, nullptr);
    if (i == 0)
    {
      // A user's right click on the NOTE L knob opens its menu of note values.
      ASSERT_TRUE(User({"mousemove", "270", "316", "click", "3"}));
      EXPECT_TRUE(g->GetPopupMenuControl()->IsOpen());
    }
    else if (i == 1)
    {
      // ... and on the FEEDBACK knob a text field.
      ASSERT_TRUE(User({"mousemove", "416", "316", "click", "3"}));
      EXPECT_TRUE(g->GetTextEntryControl()->IsOpen());
    }
    else if (i % 3 == 0)
    {
      g->GetControlWithParamIdx(kPingPong)->PromptUserInput(0);
      EXPECT_TRUE(g->GetPopupMenuControl()->IsOpen());
    }
    else if (i % 3 == 1)
    {
      g->GetControlWithParamIdx(kFeedback)->PromptUserInput(0);
      EXPECT_TRUE(g->GetTextEntryControl()->IsOpen());
    }
    RunMainLoop(30);
    // The host takes the view out and lets it go.
    view->removeFromSuperview();
    EXPECT_EQ(s.plugin->ui(), nullptr);
    EXPECT_FALSE(s.plugin->IsEditorOpen());
    EXPECT_TRUE(s.window.children().empty());
    EXPECT_TRUE(s.window.content().subviews().empty());
  }
  // The unit's idle tick is all that is left on the loop.
  const auto ticks = s.plugin->GetTimer().NTicks();
  for (int i = 0; i < 20 && s.plugin->GetTimer().NTicks() <= ticks + 2; ++i)
    RunMainLoop(50);
  EXPECT_GT(s.plugin->GetTimer().NTicks(), ticks + 2);
}

TEST(AUView, AHostClosingItsWindowUnderAMessageBoxEndsTheBoxAndTheEditor)
{
  OSTRA_SESSION(s);
  AUEditorView* view = s.open();
  ASSERT_TRUE(view->isOpen()) << view->error();
  RunMainLoop(150); // mapped: a box shows only in a visible window
  s.window.destroyLater(300);
  // Blocks in the box until its window goes with the host's.
  const auto start = std::chrono::steady_clock::now();
  s.plugin->tell("The preset file cannot be read.", "Load preset");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  s.window.join();
  RunMainLoop(60);
  EXPECT_FALSE(view->isOpen());
  EXPECT_EQ(s.plugin->ui(), nullptr);
  view->removeFromSuperview();
}

TEST(AUView, ASecondViewOfTheUnitTakesTheEditorOverAndTheFirstLetsGo)
{
  OSTRA_SESSION(s);
  AUEditorView* first = s.open();
  ASSERT_TRUE(first->isOpen()) << first->error();
  AUEditorView* second = s.open();
  ASSERT_TRUE(second->isOpen()) << second->error();
  EXPECT_FALSE(first->isOpen());
  EXPECT_EQ(first->canvas(), nullptr);
  EXPECT_EQ(s.window.children(), std::vector<unsigned long>{second->nativeWindow()});

  first->removeFromSuperview(); // must not close the second view's editor
  EXPECT_TRUE(second->isOpen());
  RunMainLoop(50);
  second->removeFromSuperview();
  EXPECT_EQ(s.plugin->ui(), nullptr);
}

TEST(AUView, AViewThatOutlivesItsUnitDoesNothing)
{
  OSTRA_XVFB(server);
  HostWindow window(1000, 456);
  ASSERT_TRUE(window.ok());
  std::optional<Host> host(std::in_place);
  std::string why;
  auto factory = MakeViewFactory(*host, why);
  ASSERT_NE(factory, nullptr) << why;
  auto* view = static_cast<AUEditorView*>(
      window.embed(factory->uiViewForAudioUnit(host->Unit(), {1000, 456})));
  RunMainLoop(60);
  ASSERT_TRUE(view->isOpen()) << view->error();

  host.reset(); // the host disposes of the unit first, against the rules
  EXPECT_FALSE(view->isOpen());
  EXPECT_TRUE(window.children().empty()); // the editor went with its plug-in
  RunMainLoop(60);
  view->removeFromSuperview();
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false), kCFRunLoopRunFinished);
}

} // namespace
