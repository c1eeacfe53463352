// The editor's steps of the idle tick: the status line, rebuilding on an accent change, the
// host's colour and name, the tape meter, the messages, and that a settled editor draws no
// frames and a tick allocates nothing.
#include "controls/OutputMeterControl.h"
#include "controls/RepeatsDisplayControl.h"
#include "controls/RingKnobControl.h"
#include "graphics/ITextControl.h"
#include "plugin/EditorStyle.h"
#include "plugin/EditorTestSupport.h"
#include "plugin/Parameters.h"
#include "plugin/PluginHost.h"
#include "support/RealtimeCounters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace ostra::test;
using namespace plug::graphics;
using corvana::controls::limiter_panel::OutputMeterControl;
namespace p = ostratapedelay::plugin;
namespace ed = ostratapedelay::plugin::editor;

namespace
{

std::string status(const RecordingCanvas& canvas)
{
  return static_cast<ITextControl*>(canvas.GetControlWithTag(ed::kStatusTag))->GetStr();
}

TEST(EditorStatus, NamesVersionLatencyAndInputJoinedByMiddleDots)
{
  PluginEditor<> e;
  e.open();
  EXPECT_EQ(status(*e.canvas), "") << "written by the tick, not the layout";
  e.tick();
  EXPECT_EQ(status(*e.canvas),
            "OstraTape-delay 1.0.0 \xC2\xB7 0 samples latency \xC2\xB7 stereo in");
  e.plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
  e.tick();
  EXPECT_EQ(status(*e.canvas),
            "OstraTape-delay 1.0.0 \xC2\xB7 0 samples latency \xC2\xB7 left channel only");
  e.plugin->SetLatency(31);
  e.tick();
  EXPECT_EQ(status(*e.canvas),
            "OstraTape-delay 1.0.0 \xC2\xB7 31 samples latency \xC2\xB7 left channel only");
}

TEST(EditorStatus, AMonoInputIsReportedOnceTheAnalyserHearsIt)
{
  PluginHost host;
  OstraTapeDelay& plugin = *host.plugin;
  RecordingCanvas* canvas = nullptr;
  plugin.setCanvasFactory(
      [&](ICanvasEditorDelegate& d, int w, int h, int, float s)
      {
        auto c = std::make_unique<RecordingCanvas>(&d, w, h, s);
        canvas = c.get();
        return c;
      });
  plugin.openEditor();
  const auto mono = noise(48000, 7);
  host.run({mono, mono});
  plugin.OnTimer();
  EXPECT_EQ(status(*canvas), "OstraTape-delay 1.0.0 \xC2\xB7 0 samples latency \xC2\xB7 mono in");
}

TEST(EditorIdle, AnAccentChangeRebuildsTheEditorOnTheNextTickWithEveryValue)
{
  PluginEditor<> e;
  e.open();
  const int controls = e.canvas->NControls();
  e.plugin->GetParam(p::kFeedback)->Set(60.0); // behind the editor's back
  e.plugin->GetParam(p::kMix)->Set(25.0);
  e.plugin->setAccentIndex(1);
  auto* knob = e.at<corvana::controls::RingKnobControl>(26);
  EXPECT_EQ(knob->GetStyle().colorSpec[kX1], IColor(255, 21, 232, 121)) << "not before the tick";
  e.tick();
  EXPECT_EQ(e.canvas->NControls(), controls);
  knob = e.at<corvana::controls::RingKnobControl>(26);
  ASSERT_EQ(knob->GetParamIdx(), p::kFeedback);
  EXPECT_EQ(knob->GetStyle().colorSpec[kX1], IColor(255, 233, 21, 90));
  EXPECT_DOUBLE_EQ(knob->GetValue(), e.plugin->GetParam(p::kFeedback)->GetNormalized());
  for (int i = 0; i < e.canvas->NControls(); ++i)
  {
    const IControl* c = e.canvas->GetControl(i);
    if (c->GetParamIdx() >= 0)
    {
      EXPECT_DOUBLE_EQ(c->GetValue(), e.plugin->GetParam(c->GetParamIdx())->GetNormalized()) << i;
    }
  }
  e.tick();
  EXPECT_EQ(e.at<corvana::controls::RingKnobControl>(26), knob) << "rebuilt once";
}

/** A host that gives a track colour and name. */
class ColouredHost : public OstraTapeDelay
{
public:
  bool trackColour(int& r, int& g, int& b) const override
  {
    if (!colour)
      return false;
    r = 10, g = 20, b = 30;
    return true;
  }
  void trackLabel(std::string& label) const override { label = name; }
  bool colour = false;
  std::string name;
};

TEST(EditorIdle, TheHostsColourAndTrackNameReachTheEditor)
{
  PluginEditor<ColouredHost> e;
  e.open();
  e.plugin->colour = true;
  e.plugin->name = "Vocals";
  e.tick();
  EXPECT_EQ(e.plugin->resolvedAccent(255), IColor(255, 10, 20, 30));
  auto* title = static_cast<ITextControl*>(e.canvas->GetControlWithTag(ed::kTitleTag));
  EXPECT_EQ(std::string(title->GetStr()), "Vocals");
  auto* knob = e.at<corvana::controls::RingKnobControl>(7);
  EXPECT_EQ(knob->GetStyle().colorSpec[kX1], IColor(255, 10, 20, 30)) << "rebuilt in its colour";

  e.plugin->name.clear();
  e.plugin->colour = false;
  e.tick();
  title = static_cast<ITextControl*>(e.canvas->GetControlWithTag(ed::kTitleTag));
  EXPECT_EQ(std::string(title->GetStr()), "OSTRATAPE-DELAY");
  knob = e.at<corvana::controls::RingKnobControl>(7);
  EXPECT_EQ(knob->GetStyle().colorSpec[kX1], IColor(255, 21, 232, 121));
}

/** Ticks until the repeats worker's first measurement is on the display, then draws what
 *  that left to draw. */
void settleWithRepeats(PluginEditor<>& e)
{
  const auto* display = dynamic_cast<const ostratapedelay::controls::RepeatsDisplayControl*>(
      e.canvas->GetControlWithTag(ed::kRepeatsTag));
  ASSERT_NE(display, nullptr);
  for (int i = 0; i < 500 && !display->hasRepeats(); ++i)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    e.tick();
  }
  ASSERT_TRUE(display->hasRepeats());
  for (int i = 0; i < 50 && e.canvas->Tick(); ++i) // swaying echoes never settle
    ;
}

TEST(EditorIdle, ASettledEditorWithoutWobbleDrawsNoFrames)
{
  PluginEditor<> e;
  e.plugin->GetParam(p::kWobble)->Set(0.0);
  e.open();
  settleWithRepeats(e);
  int frames = 0;
  for (int i = 0; i < 100; ++i)
  {
    e.tick();
    frames += e.canvas->Tick();
  }
  EXPECT_EQ(frames, 0);
  e.plugin->SetParameterFromHost(p::kFeedback, 50.0, 0);
  e.tick();
  EXPECT_TRUE(e.canvas->Tick()) << "a change still draws";
}

TEST(EditorIdle, WithWobbleOnlyTheRepeatsDisplayIsRedrawn)
{
  PluginEditor<> e;
  e.plugin->GetParam(p::kWobble)->Set(50.0);
  e.open();
  settleWithRepeats(e);
  for (int i = 0; i < 20; ++i)
  {
    e.tick();
    IRECTList dirty;
    ASSERT_TRUE(e.canvas->IsDirty(dirty)) << "the echoes sway";
    const IRECT area = dirty.Bounds();
    // The display's rectangle, grown by the drawing margin and snapped to pixels.
    EXPECT_GE(area.L, 27.f);
    EXPECT_GE(area.T, 107.f);
    EXPECT_LE(area.R, 973.f);
    EXPECT_LE(area.B, 233.f);
    e.canvas->SetAllControlsClean();
  }
}

TEST(EditorIdle, ATickWithNothingChangedAllocatesNothing)
{
  PluginEditor<> e;
  e.open();
  settleWithRepeats(e); // new repeats would be handed over with their own allocations
  for (int i = 0; i < 5; ++i)
    e.tick();
  startCounting();
  e.tick();
  const RealtimeCounts counts = stopCounting();
  EXPECT_EQ(counts.allocations, 0);
}

TEST(EditorIdle, TheTapeMeterShowsTheDriveWhileTheEditorIsOpenOnly)
{
  PluginHost host;
  OstraTapeDelay& plugin = *host.plugin;
  plugin.setCanvasFactory([](ICanvasEditorDelegate& d, int w, int h, int, float s)
                          { return std::make_unique<RecordingCanvas>(&d, w, h, s); });
  ICanvas* g = plugin.openEditor();
  auto* meter = dynamic_cast<OutputMeterControl*>(g->GetControlWithTag(ed::kMeterTag));
  ASSERT_NE(meter, nullptr);
  const auto n = noise(4800, 3);
  host.run({n, n});
  plugin.OnTimer();
  EXPECT_GT(meter->barDb(), -20.f);
  EXPECT_LT(meter->barDb(), 0.f);
  EXPECT_EQ(meter->zone(), std::optional(OutputMeterControl::Zone(-8.88f, -0.39f)));

  plugin.closeEditor();
  host.run({n, n});
  float peak = 1.f;
  double meanSquare = 1.0;
  plugin.takeMeter(peak, meanSquare);
  EXPECT_EQ(peak, 0.f) << "nothing is gathered for a closed editor";
  EXPECT_EQ(meanSquare, 0.0);
}

TEST(EditorMessages, TellAndAskShowMessageBoxesOnlyInAnOpenEditor)
{
  PluginEditor<> e;
  e.plugin->tell("closed", "Load preset");
  EXPECT_FALSE(e.plugin->ask("closed?", "Save preset"));
  e.open();
  e.plugin->tell("Could not load the preset: it is gone.", "Load preset");
  e.canvas->AnswerNextMessageBox(kYES);
  EXPECT_TRUE(e.plugin->ask("Replace it?", "Save preset"));
  EXPECT_FALSE(e.plugin->ask("Replace it?", "Save preset")) << "the box's cautious answer";
  EXPECT_EQ(e.canvas->MessageBoxes(),
            (std::vector<std::string>{"Load preset: Could not load the preset: it is gone.",
                                      "Save preset: Replace it?", "Save preset: Replace it?"}));
}

} // namespace
