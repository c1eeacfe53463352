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

using HostCall = std::tuple<char, int, double>; // 'B'egin, 'V'alue or 'E'nd, index, value
using Change = std::tuple<int, EParamSource, int>;
using UIChange = std::tuple<int, EParamSource>;
using Shown = std::pair<int, double>;

class RecordingPlugin : public IAPIBase
{
public:
  RecordingPlugin()
    : IAPIBase(
          []
          {
            Config c;
            c.nParams = 3;
            return c;
          }())
  {
    GetParam(0)->InitDouble("Gain", 50.0, 0.0, 100.0, 0.1, "%");
    GetParam(1)->InitInt("Mode", 0, 0, 4);
    GetParam(2)->InitBool("Switch", false);
  }
  void BeginInformHostOfParamChange(int i) override { host.emplace_back('B', i, 0.0); }
  void InformHostOfParamChange(int i, double n) override { host.emplace_back('V', i, n); }
  void EndInformHostOfParamChange(int i) override { host.emplace_back('E', i, 0.0); }
  void OnParamChange(int i, EParamSource s, int offset) override
  {
    changes.emplace_back(i, s, offset);
  }
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
  std::vector<Shown> values;
};

} // namespace

TEST(Messaging, HostAutomationConstrainsStoresAndQueuesForTheEditor)
{
  RecordingPlugin plugin;
  EXPECT_TRUE(plugin.SetParameterFromHost(1, 2.6, 17));
  EXPECT_TRUE(plugin.SetParameterFromHost(0, 250.0, 0));
  EXPECT_FALSE(plugin.SetParameterFromHost(3, 1.0, 0) || plugin.SetParameterFromHost(-1, 1.0, 0));
  EXPECT_EQ(plugin.GetParam(1)->Value(), 3.0);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 100.0);
  EXPECT_EQ(plugin.changes, (std::vector<Change>{{1, kHost, 17}, {0, kHost, 0}}));
  EXPECT_TRUE(plugin.host.empty()); // the host is not told about its own change

  FakeEditor editor;
  plugin.EditorOpened(editor); // pushes every parameter
  EXPECT_EQ(editor.values, (std::vector<Shown>{{0, 1.0}, {1, 0.75}, {2, 0.0}}));
  editor.values.clear();
  plugin.GetTimer().Tick();
  // An editor value that is not a number shows the stored one; unknown indices are ignored.
  plugin.SendParameterValueFromDelegate(1, std::numeric_limits<double>::quiet_NaN(), true);
  plugin.SendParameterValueFromDelegate(9, 0.5, true);
  EXPECT_EQ(editor.values, (std::vector<Shown>{{1, 0.75}, {0, 1.0}, {1, 0.75}}));
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
  // The queue has room again afterwards.
  plugin.SetParameterFromHost(0, 12.0, 0);
  plugin.OnTimer();
  EXPECT_DOUBLE_EQ(editor.values.back().second, 0.12);
}

TEST(Messaging, IdleTickDrainsBeforeOnIdleEvenWithTheEditorClosed)
{
  RecordingPlugin plugin;
  FakeEditor editor;
  plugin.EditorOpened(editor);
  plugin.EditorClosed();
  editor.values.clear();
  plugin.uiChanges.clear();
  plugin.SetParameterFromHost(2, 1.0, -1);
  plugin.SetParameterFromHost(0, 30.0, -1);
  plugin.SendParameterValueFromDelegate(1, 1.0, true);
  for (int k = 0; k < 3; ++k)
    plugin.GetTimer().Tick();
  EXPECT_EQ(plugin.queuedAtIdle, (std::vector<int>{0, 0, 0}));
  // OnParamChangeUI still runs, but a closed editor's controls are never touched.
  EXPECT_EQ(plugin.uiChanges,
            (std::vector<UIChange>{{1, kDelegate}, {2, kDelegate}, {0, kDelegate}}));
  EXPECT_TRUE(editor.values.empty());
}

TEST(Messaging, DragGivesTheHostBeginValuesEndAndUIValuesAreConstrained)
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
            (std::vector<HostCall>{
                {'B', 0, 0.0}, {'V', 0, 0.1}, {'V', 0, 0.2}, {'V', 0, 0.3}, {'E', 0, 0.0}}));
  EXPECT_DOUBLE_EQ(plugin.GetParam(0)->Value(), 30.0);
  EXPECT_EQ(plugin.changes.back(), Change(0, kUI, -1));
  EXPECT_EQ(plugin.uiChanges.back(), UIChange(0, kUI));

  // Values set from the editor are stepped, and the host hears them in 0..1 whatever came in.
  plugin.host.clear();
  plugin.SetParameterValue(1, 0.63); // 2.52 -> 3
  plugin.SetParameterValue(2, -2.0);
  plugin.SetParameterValue(0, std::numeric_limits<double>::quiet_NaN());
  ASSERT_EQ(plugin.host.size(), 3u);
  EXPECT_EQ(std::vector<HostCall>(plugin.host.begin(), plugin.host.end() - 1),
            (std::vector<HostCall>{{'V', 1, 0.63}, {'V', 2, 0.0}}));
  EXPECT_EQ(plugin.GetParam(1)->Value(), 3.0);
  EXPECT_TRUE(std::isfinite(plugin.GetParam(0)->Value()));
  EXPECT_TRUE(std::get<2>(plugin.host[2]) >= 0.0 && std::get<2>(plugin.host[2]) <= 1.0);
}

TEST(Messaging, HostAutomationFromTwoThreadsWhileTheMainThreadTicks)
{
  // Entries may be dropped, but each one that arrives is an in-range value for a valid parameter.
  RecordingPlugin plugin;
  FakeEditor editor;
  plugin.EditorOpened(editor);
  std::atomic<int> finished{0};
  auto automate = [&](int idx)
  {
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
  for (const auto& [i, n] : editor.values)
    ASSERT_TRUE(i >= 0 && i <= 2 && n >= 0.0 && n <= 1.0) << i << " " << n;
  EXPECT_GT(editor.values.size(), 3u);
  EXPECT_EQ(plugin.NParamChangesQueued(), 0);
}
