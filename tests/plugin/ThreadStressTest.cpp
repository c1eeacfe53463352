// The threads a host really uses, all at once on one plug-in: audio blocks on one thread,
// host automation and state save/restore on a second, the idle tick and the preset
// operations on a third, while fresh instances (with update workers fetching from a server
// that never answers) come and go. Run under ThreadSanitizer this finds any field two of
// them share without an atomic or the preset lock; in every build it checks that nothing
// fails or refuses and that every instance goes promptly.
#include "PluginHost.h"
#include "plugin/StateTestSupport.h"
#include "updates/LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>
#include <vector>

using namespace ostratapedelay::plugin;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{

// Update workers that fetch at once, so each instance has a fetch hanging when it goes.
const corvana::updates::UpdateWorkerTiming kEagerUpdates{0ms, 0ms, 600000ms, 5ms};

std::unique_ptr<OstraTapeDelay> spareInstance()
{
  auto plugin = std::make_unique<OstraTapeDelay>(kEagerUpdates);
  plugin->SetChannelConnections(plug::kInput, 0, 2, true);
  plugin->SetChannelConnections(plug::kOutput, 0, 2, true);
  plugin->SetSampleRate(44100.0);
  plugin->SetBlockSize(64);
  plugin->OnReset();
  return plugin;
}

struct Counts
{
  std::atomic<int> blocks{0}, nonFinite{0}, saves{0}, restores{0}, badRestores{0}, ticks{0},
      presetRounds{0}, spareInstances{0};
};

// Audio thread: blocks of noise through the plug-in.
void audio(OstraTapeDelay& plugin, const std::atomic<bool>& stop, Counts& counts)
{
  std::vector<double> inL = ostra::test::noise(64, 1), inR = ostra::test::noise(64, 2);
  std::vector<double> outL(64), outR(64);
  double* in[2] = {inL.data(), inR.data()};
  double* out[2] = {outL.data(), outR.data()};
  while (!stop)
  {
    plugin.AttachBuffers(plug::kInput, 0, 2, in, 64);
    plugin.AttachBuffers(plug::kOutput, 0, 2, out, 64);
    plugin.ProcessBuffers(64);
    for (int i = 0; i < 64; ++i)
      counts.nonFinite += !std::isfinite(outL[size_t(i)]) || !std::isfinite(outR[size_t(i)]);
    ++counts.blocks;
  }
}

// Host thread: automation, then a state save and a restore of a chunk that carries a
// name, a modified mark, an accent, a window size and an input mode.
void host(OstraTapeDelay& plugin, const std::atomic<bool>& stop, Counts& counts)
{
  const auto restored = ostra::test::ChunkWriter{}
                            .header(3, 3, 1500, 684, "From the host")
                            .values(1, ostra::test::sampleValues())
                            .tail(1, 0)
                            .chunk();
  for (int round = 0; !stop; ++round)
  {
    plugin.SetParameterFromHost(kFeedback, 20.0 + round % 60, round % 64);
    plugin.SetParameterFromHost(kMix, round % 101, 0);
    plugin.SetParameterFromHost(kTap, round % 2, 3);
    plug::IByteChunk saved;
    counts.saves += plugin.SerializeState(saved) && saved.ByteCount() >= 196;
    counts.badRestores += plugin.UnserializeState(round % 2 ? saved : restored, 0) < 0;
    ++counts.restores;
  }
}

// Main thread: idle ticks around a save, list, load and removal of a user preset, and a
// spare instance coming and going.
void editor(ostra::test::ScriptedPlugin& plugin, const std::atomic<bool>& stop, Counts& counts)
{
  while (!stop)
  {
    plugin.OnTimer();
    plugin.savePreset("Stress", false);
    plugin.OnTimer();
    for (const auto& preset : plugin.savedPresets())
      if (preset.name == "Stress")
      {
        plugin.loadPreset(preset);
        plugin.OnTimer();
        plugin.removePreset(preset);
      }
    plugin.loadFactoryPreset("Ping and pong");
    plugin.OnTimer();
    ++counts.presetRounds;
    if (counts.presetRounds % 4 == 0)
    {
      spareInstance().reset();
      ++counts.spareInstances;
    }
  }
}

} // namespace

TEST(ThreadStress, AudioHostAndMainThreadsShareOnePluginWhileInstancesComeAndGo)
{
  ostra::test::TempDataHome home; // before any plug-in: no worker reads the environment
  corvana::updates::test::LoopbackServer silent([](const std::string&) { return std::string(); });
  const std::filesystem::path updates = home.root / "updates";
  setenv("CORVANA_UPDATES_FOLDER", updates.c_str(), 1);
  setenv("CORVANA_UPDATES_URL", silent.url("/updates.json").c_str(), 1);

  Counts counts;
  Clock::duration slowestTeardown{};
  for (int round = 0; round < 4; ++round)
  {
    // Without the record each new instance's worker claims a fetch of its own.
    std::filesystem::remove(updates / "updates.json");
    auto plugin = std::make_unique<ostra::test::ScriptedPlugin>(kEagerUpdates);
    plugin->SetChannelConnections(plug::kInput, 0, 2, true);
    plugin->SetChannelConnections(plug::kOutput, 0, 2, true);
    plugin->SetSampleRate(44100.0);
    plugin->OnReset();

    std::atomic<bool> stop{false};
    std::thread audioThread(audio, std::ref(*plugin), std::cref(stop), std::ref(counts));
    std::thread hostThread(host, std::ref(*plugin), std::cref(stop), std::ref(counts));
    std::thread mainThread(editor, std::ref(*plugin), std::cref(stop), std::ref(counts));
    std::this_thread::sleep_for(200ms);
    stop = true;
    audioThread.join();
    hostThread.join();
    mainThread.join();

    EXPECT_TRUE(plugin->told.empty()) << plugin->told.front().text;
    const auto start = Clock::now();
    plugin.reset();
    slowestTeardown = std::max(slowestTeardown, Clock::now() - start);
  }
  unsetenv("CORVANA_UPDATES_URL");
  unsetenv("CORVANA_UPDATES_FOLDER");

  EXPECT_GT(counts.blocks, 0);
  EXPECT_EQ(counts.nonFinite, 0);
  EXPECT_GT(counts.restores, 0);
  EXPECT_EQ(counts.saves, counts.restores);
  EXPECT_EQ(counts.badRestores, 0);
  EXPECT_GT(counts.presetRounds, 0);
  EXPECT_GT(counts.spareInstances, 0);
  EXPECT_GE(silent.requestCount(), 1); // the workers really were inside a fetch
  EXPECT_LT(slowestTeardown, 1s);
}
