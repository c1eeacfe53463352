// Parameter traffic between host, editor and plug-in, and the idle tick that carries it.
#include "framework/IAPIBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <tuple>
#include <vector>

using namespace plug;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Config ThreeParams()
{
  Config c;
  c.nParams = 3;
  c.plugWidth = 1000;
  c.plugHeight = 456;
  return c;
}

using HostCall = std::tuple<char, int, double>; // 'B'egin, 'V'alue or 'E'nd, index, value
using Change = std::tuple<int, EParamSource, int>;
using UIChange = std::tuple<int, EParamSource>;
using Shown = std::pair<int, double>;

class RecordingPlugin : public IAPIBase
{
public:
  RecordingPlugin() : IAPIBase(ThreeParams())
  {
    GetParam(0)->InitDouble("Gain", 50.0, 0.0, 100.0, 0.1, "%");
    GetParam(1)->InitInt("Mode", 0, 0, 4);
    GetParam(2)->InitBool("Switch", false);
  }

  void BeginInformHostOfParamChange(int i) override { host.emplace_back('B', i, 0.0); }
  void InformHostOfParamChange(int i, double n) override { host.emplace_back('V', i, n); }
  void EndInformHostOfParamChange(int i) override { host.emplace_back('E', i, 0.0); }
  void OnParamChange(int i, EParamSource s, int offset) override { changes.emplace_back(i, s, offset); }
  void OnParamChangeUI(int i, EParamSource s) override { uiChanges.emplace_back(i, s); }
  void OnIdle() override { queuedAtIdle.push_back(NParamChangesQueued()); }

  std::vector<HostCall> host;
  std::vector<Change> changes;
  std::vector<UIChange> uiChanges;
  std::vector<int> queuedAtIdle; // one entry per OnIdle
};

class FakeEditor : public IEditorControls
{
public:
  void SetParameterFromDelegate(int i, double n) override { values.emplace_back(i, n); }
  void SendMidiMsgFromDelegate(const IMidiMsg& m) override { midi.push_back(m.mData1); }
  void SendSysexMsgFromDelegate(const ISysExData& m) override { sysex.push_back(m.mSize); }

  std::vector<Shown> values;
  std::vector<int> midi, sysex;
};

/** Opens `editor` on `plugin` and forgets the values pushed on opening. */
void Open(RecordingPlugin& plugin, FakeEditor& editor)
{
  plugin.EditorOpened(editor);
  editor.values.clear();
}

} // namespace

TEST(Messaging, HostAutomationConstrainsStoresAndQueuesForTheEditor)
{
  RecordingPlugin plugin;
  EXPECT_TRUE(plugin.SetParameterFromHost(1, 2.6, 17));
  EXPECT_TRUE(plugin.SetParameterFromHost(0, 250.0, 0));
  EXPECT_FALSE(plugin.SetParameterFromHost(3, 1.0, 0));
  EXPECT_FALSE(plugin.SetParameterFromHost(-1, 1.0, 0));
  EXPECT_EQ(plugin.GetParam(1)->Value(), 3.0);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 100.0);
  EXPECT_EQ(plugin.changes, (std::vector<Change>{{1, kHost, 17}, {0, kHost, 0}}));
  EXPECT_TRUE(plugin.host.empty()); // the host is not told about its own change

  FakeEditor editor;
  Open(plugin, editor);
  plugin.GetTimer().Tick();
  EXPECT_EQ(editor.values, (std::vector<Shown>{{1, 0.75}, {0, 1.0}}));
  EXPECT_EQ(plugin.NParamChangesQueued(), 0);
}

TEST(Messaging, MoreThan512ChangesBetweenTicksDropTheRest)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  Open(plugin, editor);
  for (int k = 0; k < 600; ++k)
    plugin.SetParameterFromHost(0, k * 0.1, k % 64);
  EXPECT_EQ(plugin.NParamChangesQueued(), 512);
  EXPECT_EQ(plugin.changes.size(), 600u); // the plug-in hears every change
  EXPECT_DOUBLE_EQ(plugin.GetParam(0)->Value(), 59.9);

  plugin.OnTimer();
  ASSERT_EQ(editor.values.size(), 512u);
  EXPECT_DOUBLE_EQ(editor.values.front().second, 0.0);
  EXPECT_NEAR(editor.values.back().second, 0.511, 1e-12); // change 511 of 0..599

  // The queue has room again afterwards.
  plugin.SetParameterFromHost(0, 12.0, 0);
  plugin.OnTimer();
  EXPECT_DOUBLE_EQ(editor.values.back().second, 0.12);
}

TEST(Messaging, IdleTickDrainsBeforeOnIdleAndRunsWithTheEditorClosed)
{
  RecordingPlugin plugin;
  EXPECT_FALSE(plugin.IsEditorOpen());
  EXPECT_EQ(plugin.GetTimer().GetPeriodMs(), 20);
  plugin.SetParameterFromHost(2, 1.0, -1);
  plugin.SetParameterFromHost(0, 30.0, -1);
  for (int k = 0; k < 3; ++k)
    plugin.GetTimer().Tick();
  EXPECT_EQ(plugin.queuedAtIdle, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(plugin.uiChanges, (std::vector<UIChange>{{2, kDelegate}, {0, kDelegate}}));
}

TEST(Messaging, ClosedEditorTouchesNoControl)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  Open(plugin, editor);
  plugin.EditorClosed();
  EXPECT_FALSE(plugin.IsEditorOpen());
  plugin.uiChanges.clear();

  plugin.SendParameterValueFromDelegate(0, 25.0, false);
  plugin.OnRestoreState();
  plugin.SetParameterFromHost(1, 4.0, 0);
  EXPECT_TRUE(plugin.SendMidiMsgToEditor(IMidiMsg()));
  plugin.OnTimer();
  EXPECT_TRUE(editor.values.empty());
  EXPECT_TRUE(editor.midi.empty());
  // OnParamChangeUI still runs for each: 1 direct + 3 restore + 1 queued.
  EXPECT_EQ(plugin.uiChanges.size(), 5u);
}

TEST(Messaging, EditorIsShownNormalisedValuesWithoutChangingTheParameter)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  plugin.GetParam(0)->Set(20.0);
  plugin.EditorOpened(editor); // OnUIOpen pushes every parameter
  EXPECT_EQ(editor.values, (std::vector<Shown>{{0, 0.2}, {1, 0.0}, {2, 0.0}}));

  editor.values.clear();
  plugin.SendParameterValueFromDelegate(0, 75.0, false);
  plugin.SendParameterValueFromDelegate(0, 500.0, false);
  plugin.SendParameterValueFromDelegate(1, 1.7, true);
  plugin.SendParameterValueFromDelegate(1, kNaN, true); // shows the stored value instead
  plugin.SendParameterValueFromDelegate(9, 0.5, true);
  EXPECT_EQ(editor.values, (std::vector<Shown>{{0, 0.75}, {0, 1.0}, {1, 1.0}, {1, 0.0}}));
  EXPECT_EQ(plugin.GetParam(0)->Value(), 20.0);

  // Values from the API are queued as real or normalised values, also changing nothing.
  plugin.SendParameterValueFromAPI(0, 0.25, true);
  plugin.SendParameterValueFromAPI(0, 60.0, false);
  plugin.SendParameterValueFromAPI(7, 1.0, false);
  editor.values.clear();
  plugin.OnTimer();
  ASSERT_EQ(editor.values.size(), 2u);
  EXPECT_DOUBLE_EQ(editor.values[0].second, 0.25);
  EXPECT_DOUBLE_EQ(editor.values[1].second, 0.6);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 20.0);
  EXPECT_TRUE(plugin.changes.empty());
}

TEST(Messaging, DragGivesTheHostBeginValuesEnd)
{
  RecordingPlugin plugin;
  plugin.BeginInformHostOfParamChangeFromUI(0);
  for (double n : {0.1, 0.2, 0.3})
    plugin.SendParameterValueFromUI(0, n);
  plugin.EndInformHostOfParamChangeFromUI(0);
  // Gestures for unknown parameters never reach the host.
  plugin.BeginInformHostOfParamChangeFromUI(5);
  plugin.SendParameterValueFromUI(5, 0.5);
  plugin.EndInformHostOfParamChangeFromUI(-1);

  EXPECT_EQ(plugin.host,
            (std::vector<HostCall>{{'B', 0, 0.0}, {'V', 0, 0.1}, {'V', 0, 0.2}, {'V', 0, 0.3}, {'E', 0, 0.0}}));
  EXPECT_DOUBLE_EQ(plugin.GetParam(0)->Value(), 30.0);
  ASSERT_EQ(plugin.changes.size(), 3u);
  EXPECT_EQ(plugin.changes[2], Change(0, kUI, -1));
  ASSERT_EQ(plugin.uiChanges.size(), 3u);
  EXPECT_EQ(plugin.uiChanges[2], UIChange(0, kUI));
}

TEST(Messaging, ValuesSetFromTheUIAreConstrainedAndReachTheHostInZeroToOne)
{
  RecordingPlugin plugin;
  plugin.SetParameterValue(1, 0.6); // 0.6 * 4 = 2.4 rounds to the step
  EXPECT_EQ(plugin.GetParam(1)->Value(), 2.0);
  plugin.SetParameterValue(1, 0.63); // 2.52 -> 3
  plugin.SetParameterValue(0, 1.5);
  plugin.SetParameterValue(2, -2.0);
  plugin.SetParameterValue(0, kNaN);
  EXPECT_EQ(plugin.GetParam(1)->Value(), 3.0);
  EXPECT_EQ(plugin.GetParam(2)->Value(), 0.0);
  EXPECT_TRUE(std::isfinite(plugin.GetParam(0)->Value()));
  ASSERT_EQ(plugin.host.size(), 5u);
  EXPECT_EQ(plugin.host[2], HostCall('V', 0, 1.0));
  EXPECT_EQ(plugin.host[3], HostCall('V', 2, 0.0));
  EXPECT_TRUE(std::get<2>(plugin.host[4]) >= 0.0 && std::get<2>(plugin.host[4]) <= 1.0);
  EXPECT_EQ(plugin.changes.back(), Change(0, kUI, -1));
  EXPECT_TRUE(plugin.uiChanges.empty());

  // Dirtying tells the host every current value.
  plugin.host.clear();
  plugin.GetParam(0)->Set(40.0);
  plugin.DirtyParametersFromUI();
  EXPECT_EQ(plugin.host, (std::vector<HostCall>{{'V', 0, 0.4}, {'V', 1, 0.75}, {'V', 2, 0.0}}));
}

TEST(Messaging, EditorResizeIsDeclinedWhenThePlatformMustResize)
{
  RecordingPlugin plugin;
  EXPECT_TRUE(plugin.EditorResizeFromUI(800, 400, false));
  EXPECT_FALSE(plugin.EditorResizeFromUI(800, 400, true));
  EXPECT_EQ(plugin.GetEditorWidth(), 1000);
}

TEST(Messaging, MidiAndSysexQueuesHaveFixedRoomAndReachTheOpenEditor)
{
  RecordingPlugin plugin;
  IMidiMsg msg;
  ISysExData sysex;
  int accepted = 0;
  for (int k = 0; k < 40; ++k)
    accepted += (plugin.SendMidiMsgFromUI(msg) ? 1 : 0) + (plugin.SendSysexMsgFromUI(sysex) ? 100 : 0);
  EXPECT_EQ(accepted, 32 + 400);

  FakeEditor editor;
  Open(plugin, editor);
  msg.mData1 = 64;
  sysex.mSize = 9;
  EXPECT_TRUE(plugin.SendMidiMsgToEditor(msg) && plugin.SendSysexMsgToEditor(sysex));
  plugin.OnTimer();
  EXPECT_EQ(editor.midi, std::vector<int>{64});
  EXPECT_EQ(editor.sysex, std::vector<int>{9});
}

TEST(Messaging, HostAutomationFromTwoThreadsWhileTheMainThreadTicks)
{
  // Two host threads share the queue's writer side; entries may be dropped but each one
  // that arrives is an in-range value for a valid parameter.
  RecordingPlugin plugin;
  FakeEditor editor;
  Open(plugin, editor);
  std::atomic<int> finished{0};
  auto automate = [&](int idx) {
    for (int k = 0; k < 20000; ++k)
      plugin.SendParameterValueFromAPI(idx, (k % 100) / 100.0, true);
    ++finished;
  };
  std::thread a(automate, 0), b(automate, 1);
  while (finished.load() < 2)
    plugin.OnTimer();
  a.join();
  b.join();
  plugin.OnTimer();
  EXPECT_FALSE(editor.values.empty());
  for (const auto& [i, n] : editor.values)
    ASSERT_TRUE(i >= 0 && i <= 1 && n >= 0.0 && n <= 1.0) << i << " " << n;
  EXPECT_EQ(plugin.NParamChangesQueued(), 0);
}
