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

Config ThreeParams()
{
  Config c;
  c.nParams = 3;
  c.plugWidth = 1000;
  c.plugHeight = 456;
  return c;
}

enum class HostEvent
{
  Begin,
  Value,
  End
};

class RecordingPlugin : public IAPIBase
{
public:
  RecordingPlugin() : IAPIBase(ThreeParams())
  {
    GetParam(0)->InitDouble("Gain", 50.0, 0.0, 100.0, 0.1, "%");
    GetParam(1)->InitInt("Mode", 0, 0, 4);
    GetParam(2)->InitBool("Switch", false);
  }

  void BeginInformHostOfParamChange(int i) override { host.emplace_back(HostEvent::Begin, i, 0.0); }
  void InformHostOfParamChange(int i, double n) override { host.emplace_back(HostEvent::Value, i, n); }
  void EndInformHostOfParamChange(int i) override { host.emplace_back(HostEvent::End, i, 0.0); }
  void OnParamChange(int i, EParamSource s, int offset) override { changes.emplace_back(i, s, offset); }
  void OnParamChangeUI(int i, EParamSource s) override { uiChanges.emplace_back(i, s); }
  void OnIdle() override
  {
    ++idles;
    queuedAtIdle = NParamChangesQueued();
  }

  std::vector<std::tuple<HostEvent, int, double>> host;
  std::vector<std::tuple<int, EParamSource, int>> changes;
  std::vector<std::tuple<int, EParamSource>> uiChanges;
  int idles = 0;
  int queuedAtIdle = -1;
};

class FakeEditor : public IEditorControls
{
public:
  void SetParameterFromDelegate(int i, double n) override { values.emplace_back(i, n); }
  void SendMidiMsgFromDelegate(const IMidiMsg& m) override { midi.push_back(m); }
  void SendSysexMsgFromDelegate(const ISysExData& m) override { sysex.push_back(m.mSize); }

  std::vector<std::pair<int, double>> values;
  std::vector<IMidiMsg> midi;
  std::vector<int> sysex;
};

} // namespace

TEST(Messaging, HostAutomationConstrainsStoresAndQueuesForTheEditor)
{
  RecordingPlugin plugin;
  EXPECT_TRUE(plugin.SetParameterFromHost(1, 2.6, 17));
  EXPECT_EQ(plugin.GetParam(1)->Value(), 3.0);
  EXPECT_TRUE(plugin.SetParameterFromHost(0, 250.0, 0));
  EXPECT_EQ(plugin.GetParam(0)->Value(), 100.0);
  EXPECT_FALSE(plugin.SetParameterFromHost(3, 1.0, 0));
  EXPECT_FALSE(plugin.SetParameterFromHost(-1, 1.0, 0));

  ASSERT_EQ(plugin.changes.size(), 2u);
  EXPECT_EQ(plugin.changes[0], std::make_tuple(1, kHost, 17));
  EXPECT_EQ(plugin.changes[1], std::make_tuple(0, kHost, 0));
  EXPECT_TRUE(plugin.host.empty()); // the host is not told about its own change
  EXPECT_EQ(plugin.NParamChangesQueued(), 2);

  FakeEditor editor;
  plugin.EditorOpened(editor);
  editor.values.clear();
  plugin.GetTimer().Tick();
  ASSERT_EQ(editor.values.size(), 2u);
  EXPECT_EQ(editor.values[0], std::make_pair(1, 0.75));
  EXPECT_EQ(editor.values[1], std::make_pair(0, 1.0));
  EXPECT_EQ(plugin.NParamChangesQueued(), 0);
}

TEST(Messaging, MoreThan512ChangesBetweenTicksDropTheRest)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  plugin.EditorOpened(editor);
  editor.values.clear();
  for (int k = 0; k < 600; ++k)
    plugin.SetParameterFromHost(0, k * 0.1, k % 64);
  EXPECT_EQ(plugin.NParamChangesQueued(), 512);
  EXPECT_EQ(plugin.changes.size(), 600u); // the plug-in hears every change
  EXPECT_DOUBLE_EQ(plugin.GetParam(0)->Value(), 59.9);

  plugin.OnTimer();
  ASSERT_EQ(editor.values.size(), 512u);
  EXPECT_DOUBLE_EQ(editor.values.front().second, 0.0);
  EXPECT_NEAR(editor.values.back().second, 0.511, 1e-12); // change 511 of 0..599
  EXPECT_EQ(plugin.queuedAtIdle, 0);

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

  plugin.GetTimer().Tick();
  EXPECT_EQ(plugin.idles, 1);
  EXPECT_EQ(plugin.queuedAtIdle, 0);
  ASSERT_EQ(plugin.uiChanges.size(), 2u);
  EXPECT_EQ(plugin.uiChanges[0], std::make_tuple(2, kDelegate));
  EXPECT_EQ(plugin.uiChanges[1], std::make_tuple(0, kDelegate));

  for (int k = 0; k < 10; ++k)
    plugin.GetTimer().Tick();
  EXPECT_EQ(plugin.idles, 11);
  EXPECT_EQ(plugin.uiChanges.size(), 2u);
}

TEST(Messaging, ClosedEditorTouchesNoControl)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  plugin.EditorOpened(editor);
  EXPECT_TRUE(plugin.IsEditorOpen());
  plugin.EditorClosed();
  EXPECT_FALSE(plugin.IsEditorOpen());
  editor.values.clear();
  plugin.uiChanges.clear();

  plugin.SendParameterValueFromDelegate(0, 25.0, false);
  plugin.OnRestoreState();
  plugin.SetParameterFromHost(1, 4.0, 0);
  IMidiMsg msg;
  plugin.SendMidiMsgToEditor(msg);
  plugin.OnTimer();
  EXPECT_TRUE(editor.values.empty());
  EXPECT_TRUE(editor.midi.empty());
  // OnParamChangeUI still runs for each: 1 direct + 3 restore + 1 queued.
  EXPECT_EQ(plugin.uiChanges.size(), 5u);
  EXPECT_EQ(plugin.NParamChangesQueued(), 0);
}

TEST(Messaging, OpenEditorGetsNormalisedValues)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  plugin.GetParam(0)->Set(20.0);
  plugin.EditorOpened(editor);
  // OnUIOpen pushes every parameter.
  ASSERT_EQ(editor.values.size(), 3u);
  EXPECT_EQ(editor.values[0], std::make_pair(0, 0.2));
  EXPECT_EQ(editor.values[1], std::make_pair(1, 0.0));
  EXPECT_EQ(editor.values[2], std::make_pair(2, 0.0));

  editor.values.clear();
  plugin.SendParameterValueFromDelegate(0, 75.0, false);
  plugin.SendParameterValueFromDelegate(0, 500.0, false);
  plugin.SendParameterValueFromDelegate(1, 1.7, true);
  plugin.SendParameterValueFromDelegate(1, std::numeric_limits<double>::quiet_NaN(), true);
  plugin.SendParameterValueFromDelegate(9, 0.5, true);
  ASSERT_EQ(editor.values.size(), 4u);
  EXPECT_EQ(editor.values[0].second, 0.75);
  EXPECT_EQ(editor.values[1].second, 1.0);
  EXPECT_EQ(editor.values[2].second, 1.0);
  EXPECT_EQ(editor.values[3].second, 0.0); // NaN shows the stored value instead
  // The delegate only shows values: the parameter is not changed by it.
  EXPECT_EQ(plugin.GetParam(0)->Value(), 20.0);
}

TEST(Messaging, DragGivesTheHostBeginValuesEnd)
{
  RecordingPlugin plugin;
  plugin.BeginInformHostOfParamChangeFromUI(0);
  for (double n : {0.1, 0.2, 0.3})
    plugin.SendParameterValueFromUI(0, n);
  plugin.EndInformHostOfParamChangeFromUI(0);

  ASSERT_EQ(plugin.host.size(), 5u);
  EXPECT_EQ(plugin.host[0], std::make_tuple(HostEvent::Begin, 0, 0.0));
  EXPECT_EQ(plugin.host[1], std::make_tuple(HostEvent::Value, 0, 0.1));
  EXPECT_EQ(plugin.host[2], std::make_tuple(HostEvent::Value, 0, 0.2));
  EXPECT_EQ(plugin.host[3], std::make_tuple(HostEvent::Value, 0, 0.3));
  EXPECT_EQ(plugin.host[4], std::make_tuple(HostEvent::End, 0, 0.0));
  EXPECT_DOUBLE_EQ(plugin.GetParam(0)->Value(), 30.0);
  ASSERT_EQ(plugin.changes.size(), 3u);
  EXPECT_EQ(plugin.changes[2], std::make_tuple(0, kUI, -1));
  ASSERT_EQ(plugin.uiChanges.size(), 3u);
  EXPECT_EQ(plugin.uiChanges[2], std::make_tuple(0, kUI));

  // Gestures for unknown parameters never reach the host.
  plugin.BeginInformHostOfParamChangeFromUI(5);
  plugin.SendParameterValueFromUI(5, 0.5);
  plugin.EndInformHostOfParamChangeFromUI(-1);
  EXPECT_EQ(plugin.host.size(), 5u);
}

TEST(Messaging, SetParameterValueConstrains)
{
  RecordingPlugin plugin;
  plugin.SetParameterValue(1, 0.6); // 0.6 * 4 = 2.4 rounds to the step
  EXPECT_EQ(plugin.GetParam(1)->Value(), 2.0);
  plugin.SetParameterValue(1, 0.63); // 2.52 -> 3
  EXPECT_EQ(plugin.GetParam(1)->Value(), 3.0);
  plugin.SetParameterValue(0, 1.5);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 100.0);
  plugin.SetParameterValue(0, -2.0);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 0.0);
  plugin.SetParameterValue(0, std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(std::isfinite(plugin.GetParam(0)->Value()));

  // The host only ever sees values in 0..1.
  ASSERT_EQ(plugin.host.size(), 5u);
  EXPECT_EQ(std::get<2>(plugin.host[2]), 1.0);
  EXPECT_EQ(std::get<2>(plugin.host[3]), 0.0);
  const double last = std::get<2>(plugin.host[4]);
  EXPECT_TRUE(last >= 0.0 && last <= 1.0);
  for (const auto& change : plugin.changes)
    EXPECT_EQ(change, std::make_tuple(std::get<0>(change), kUI, -1));
  EXPECT_TRUE(plugin.uiChanges.empty());
}

TEST(Messaging, DirtyParametersTellsTheHostEveryValue)
{
  RecordingPlugin plugin;
  plugin.GetParam(0)->Set(40.0);
  plugin.GetParam(2)->Set(1.0);
  plugin.DirtyParametersFromUI();
  ASSERT_EQ(plugin.host.size(), 3u);
  EXPECT_EQ(plugin.host[0], std::make_tuple(HostEvent::Value, 0, 0.4));
  EXPECT_EQ(plugin.host[1], std::make_tuple(HostEvent::Value, 1, 0.0));
  EXPECT_EQ(plugin.host[2], std::make_tuple(HostEvent::Value, 2, 1.0));
}

TEST(Messaging, ValuesFromTheAPIAreQueuedAsRealValues)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  plugin.EditorOpened(editor);
  editor.values.clear();
  plugin.SendParameterValueFromAPI(0, 0.25, true);
  plugin.SendParameterValueFromAPI(0, 60.0, false);
  plugin.SendParameterValueFromAPI(7, 1.0, false);
  EXPECT_EQ(plugin.NParamChangesQueued(), 2);
  plugin.OnTimer();
  ASSERT_EQ(editor.values.size(), 2u);
  EXPECT_DOUBLE_EQ(editor.values[0].second, 0.25);
  EXPECT_DOUBLE_EQ(editor.values[1].second, 0.6);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 50.0); // queuing for the editor changes nothing
  EXPECT_TRUE(plugin.changes.empty());
}

TEST(Messaging, EditorResizeIsDeclinedWhenThePlatformMustResize)
{
  RecordingPlugin plugin;
  EXPECT_TRUE(plugin.EditorResizeFromUI(800, 400, false));
  EXPECT_FALSE(plugin.EditorResizeFromUI(800, 400, true));
  EXPECT_EQ(plugin.GetEditorWidth(), 1000);
  EXPECT_EQ(plugin.GetEditorHeight(), 456);
}

TEST(Messaging, MidiAndSysexQueues)
{
  RecordingPlugin plugin;
  IMidiMsg msg;
  msg.mStatus = 0x90;
  int accepted = 0;
  for (int k = 0; k < 40; ++k)
  {
    msg.mData1 = static_cast<std::uint8_t>(k);
    accepted += plugin.SendMidiMsgFromUI(msg) ? 1 : 0;
  }
  EXPECT_EQ(accepted, 32);
  IMidiMsg got;
  ASSERT_TRUE(plugin.PopMidiMsgFromUI(got));
  EXPECT_EQ(got.mData1, 0);

  ISysExData sysex;
  sysex.mSize = 3;
  int sysexAccepted = 0;
  for (int k = 0; k < 6; ++k)
    sysexAccepted += plugin.SendSysexMsgFromUI(sysex) ? 1 : 0;
  EXPECT_EQ(sysexAccepted, 4);

  FakeEditor editor;
  plugin.EditorOpened(editor);
  msg.mData1 = 64;
  EXPECT_TRUE(plugin.SendMidiMsgToEditor(msg));
  sysex.mSize = 9;
  EXPECT_TRUE(plugin.SendSysexMsgToEditor(sysex));
  plugin.OnTimer();
  ASSERT_EQ(editor.midi.size(), 1u);
  EXPECT_EQ(editor.midi[0].mData1, 64);
  EXPECT_EQ(editor.sysex, std::vector<int>{9});
}

TEST(Messaging, HostAutomationFromTwoThreadsWhileTheMainThreadTicks)
{
  // Two host threads share the parameter queue's writer side; entries may be dropped but
  // every one that arrives is a real, in-range value for a valid parameter.
  RecordingPlugin plugin;
  struct Checker : IEditorControls
  {
    void SetParameterFromDelegate(int i, double n) override
    {
      bad += (i < 0 || i > 2 || !(n >= 0.0 && n <= 1.0)) ? 1 : 0;
      ++seen;
    }
    int bad = 0;
    int seen = 0;
  } editor;
  plugin.EditorOpened(editor);
  editor.seen = 0;

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
  EXPECT_EQ(editor.bad, 0);
  EXPECT_GT(editor.seen, 0);
  EXPECT_EQ(plugin.NParamChangesQueued(), 0);
}
