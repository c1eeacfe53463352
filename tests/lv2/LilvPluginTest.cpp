// The bundle as a lilv host loads it: the three layouts, control ports, time position,
// host bypass, state through lilv, presets, the worker's idle tick and offline rendering.
#include "LilvHost.h"

#include "framework/IByteChunk.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"
#include "presets/FactoryPresets.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/presets/presets.h>

#include <chrono>
#include <cmath>
#include <thread>

using namespace ostra::lv2test;
namespace params = ostratapedelay::plugin;

namespace
{

constexpr int kRate = 48000;

// Default settings: Sync on, a quarter note at the 120 bpm a host without tempo stands for.
constexpr int kQuarterAt120 = kRate / 2;

struct Layout
{
  const char* uri;
  int nIn;
  int nOut;
};

const Layout kLayouts[] = {{kStereoUri, 2, 2}, {kMonoUri, 1, 1}, {kMonoStereoUri, 1, 2}};

bool allFinite(const std::vector<std::vector<float>>& x)
{
  for (const auto& ch : x)
    for (float v : ch)
      if (!std::isfinite(v))
        return false;
  return true;
}

std::vector<double> factoryValues(const std::string& name)
{
  for (const auto& preset : ostratapedelay::offline::factoryPresets())
  {
    if (preset.name != name)
      continue;
    OstraTapeDelay scratch;
    plug::IByteChunk chunk;
    chunk.AppendBytes(preset.state.data(), static_cast<int>(preset.state.size()));
    EXPECT_GE(scratch.UnserializeState(chunk, 0), 0);
    std::vector<double> values;
    for (int i = 0; i < params::kNumParams; ++i)
      values.push_back(scratch.GetParam(i)->Value());
    return values;
  }
  return {};
}

} // namespace

TEST(Lv2Lilv, EveryLayoutInstantiatesAndEchoesAfterAQuarterNote)
{
  LilvHost host;
  for (const auto& layout : kLayouts)
  {
    SCOPED_TRACE(layout.uri);
    Instance fx(host, layout.uri);
    ASSERT_TRUE(fx.valid());
    EXPECT_EQ(fx.nIn(), layout.nIn);
    EXPECT_EQ(fx.nOut(), layout.nOut);

    const auto out = fx.process(impulse(layout.nIn, kRate), 512);
    ASSERT_TRUE(allFinite(out));
    for (const auto& ch : out)
    {
      // Mix at 100 % is all echo: silence until the first echo a quarter note later.
      EXPECT_LT(peakLevel(ch, 0, kQuarterAt120 - 400), 1e-3f);
      const int echo = peakIndex(ch, kQuarterAt120 / 2, kQuarterAt120 * 3 / 2);
      EXPECT_NEAR(echo, kQuarterAt120, 200);
      EXPECT_GT(peakLevel(ch, echo - 10, echo + 10), 0.02f);
    }
  }
}

TEST(Lv2Lilv, BareHostWithoutFeaturesStillProcesses)
{
  // A file renderer offers no features at all: the effect runs, but keeps no state.
  LilvHost host;
  Instance fx(host, kStereoUri, kRate, true);
  ASSERT_TRUE(fx.valid());
  const auto out = fx.process(impulse(2, kRate), 512, false);
  EXPECT_NEAR(peakIndex(out[0], kQuarterAt120 / 2, kQuarterAt120 * 3 / 2), kQuarterAt120, 200);
  EXPECT_TRUE(fx.chunk().empty());
}

TEST(Lv2Lilv, TimePositionTempoSetsTheSyncedEcho)
{
  LilvHost host;
  Instance fx(host, kStereoUri);
  ASSERT_TRUE(fx.valid());
  fx.sendTempo(60.0);
  const auto out = fx.process(impulse(2, kRate * 3 / 2), 512);
  // A quarter note at 60 bpm is one second; nothing at the half second of 120 bpm.
  EXPECT_NEAR(peakIndex(out[0], kRate / 2 + kRate / 4, kRate * 5 / 4), kRate, 200);
  EXPECT_LT(peakLevel(out[0], 200, kRate - 400), 1e-3f);

  // A tempo in the middle of a cycle applies from its own frame: the same as a cycle cut
  // there with the tempo at the start of the second part, and not as one at frame 0.
  // (The delay glides from the half second of 120 bpm towards the new time, so the
  // echoes differ wherever the tempo arrives.)
  const auto in = noise(2, 36000);
  auto part = [&in](size_t from, size_t to) {
    return std::vector<std::vector<float>>{{in[0].begin() + static_cast<long>(from), in[0].begin() + static_cast<long>(to)},
                                           {in[1].begin() + static_cast<long>(from), in[1].begin() + static_cast<long>(to)}};
  };
  Instance midCycle(host, kStereoUri);
  midCycle.sendTempo(240.0, 6000);
  const auto whole = midCycle.process(in, 36000);
  Instance cut(host, kStereoUri);
  auto joined = cut.process(part(0, 6000), 6000);
  cut.sendTempo(240.0, 0);
  const auto rest = cut.process(part(6000, 36000), 30000);
  for (int c = 0; c < 2; ++c)
    joined[static_cast<size_t>(c)].insert(joined[static_cast<size_t>(c)].end(), rest[static_cast<size_t>(c)].begin(),
                                          rest[static_cast<size_t>(c)].end());
  EXPECT_EQ(whole, joined);
  Instance atStart(host, kStereoUri);
  atStart.sendTempo(240.0, 0);
  const auto early = atStart.process(in, 36000);
  EXPECT_GT(peakLevel(early[0], 12000, 18000), 0.02f);
  EXPECT_NE(early, whole);
}

TEST(Lv2Lilv, ControlPortsReachTheEffectAndAreConstrained)
{
  LilvHost host;
  Instance fx(host, kStereoUri);
  fx.control("feedback") = 62.5f;
  fx.control("drive") = 40.0f;           // beyond the range: clamped to 18 dB
  fx.control("low_cut") = std::nanf(""); // not a number: the default
  fx.control("note_l") = 7.0f;
  fx.control("sync") = 0.0f;
  fx.run(64);
  const auto values = chunkParameters(fx.chunk());
  ASSERT_EQ(values.size(), 18u);
  EXPECT_DOUBLE_EQ(values[params::kFeedback], 62.5);
  EXPECT_DOUBLE_EQ(values[params::kDrive], 18.0);
  EXPECT_DOUBLE_EQ(values[params::kLowCut], 20.0);
  EXPECT_DOUBLE_EQ(values[params::kNoteL], 7.0);
  EXPECT_DOUBLE_EQ(values[params::kSync], 0.0);
  EXPECT_DOUBLE_EQ(values[params::kMix], 100.0);

  // With Sync off the echo follows Time L.
  fx.control("time_l") = 250.0f;
  fx.activate();
  const auto out = fx.process(impulse(2, kRate / 2), 512);
  EXPECT_NEAR(peakIndex(out[0], 6000, 18000), kRate / 4, 200);
}

TEST(Lv2Lilv, HostBypassPassesAudioThroughAndClearsOnReturn)
{
  LilvHost host;
  for (const auto& layout : kLayouts)
  {
    SCOPED_TRACE(layout.uri);
    Instance fx(host, layout.uri);
    fx.control("enabled") = 0.0f;
    const auto in = noise(layout.nIn, 4096);
    const auto out = fx.process(in, 256);
    // Bypassed, every output carries its input (a mono input feeds both sides).
    for (int c = 0; c < layout.nOut; ++c)
      EXPECT_EQ(out[static_cast<size_t>(c)], in[static_cast<size_t>(std::min(c, layout.nIn - 1))]);

    // An echo in flight when the host bypasses is gone when it switches back.
    Instance fx2(host, layout.uri);
    auto first = fx2.process(impulse(layout.nIn, 4800), 480);
    fx2.control("enabled") = 0.0f;
    fx2.process(std::vector<std::vector<float>>(static_cast<size_t>(layout.nIn), std::vector<float>(480)), 480);
    fx2.control("enabled") = 1.0f;
    const auto rest = fx2.process(std::vector<std::vector<float>>(static_cast<size_t>(layout.nIn),
                                                                  std::vector<float>(kRate / 2)),
                                  480);
    EXPECT_LT(peakLevel(rest[0], 0, kRate / 2), 1e-6f);

    // Without the bypass in between the same echo arrives.
    Instance fx3(host, layout.uri);
    fx3.process(impulse(layout.nIn, 5280), 480);
    const auto kept = fx3.process(std::vector<std::vector<float>>(static_cast<size_t>(layout.nIn),
                                                                  std::vector<float>(kRate / 2)),
                                  480);
    EXPECT_GT(peakLevel(kept[0], 0, kRate / 2), 0.02f);
  }
}

TEST(Lv2Lilv, InPlaceBuffersGiveTheSameOutput)
{
  LilvHost host;
  for (const auto& layout : kLayouts)
  {
    SCOPED_TRACE(layout.uri);
    Instance a(host, layout.uri);
    Instance b(host, layout.uri);
    const auto in = noise(layout.nIn, 8192);
    EXPECT_EQ(a.process(in, 700), b.processInPlace(in, 700));
  }
}

TEST(Lv2Lilv, RunsLongerThanTheAnnouncedBlockAreSliced)
{
  LilvHost small(64);
  LilvHost large(16384);
  Instance a(small, kStereoUri);
  Instance b(large, kStereoUri);
  const auto in = impulse(2, kRate);
  const auto outA = a.process(in, 5000);
  const auto outB = b.process(in, 5000);
  ASSERT_TRUE(allFinite(outA));
  EXPECT_NEAR(peakIndex(outA[0], kQuarterAt120 / 2, kQuarterAt120 * 3 / 2), kQuarterAt120, 200);
  for (int c = 0; c < 2; ++c)
    for (size_t i = 0; i < outA[0].size(); ++i)
      ASSERT_NEAR(outA[static_cast<size_t>(c)][i], outB[static_cast<size_t>(c)][i], 1e-4f) << i;
}

TEST(Lv2Lilv, StateSavedByLilvRestoresIntoAFreshInstance)
{
  LilvHost host;
  for (const auto& layout : kLayouts)
  {
    SCOPED_TRACE(layout.uri);
    Instance a(host, layout.uri);
    a.control("sync") = 0.0f;
    a.control("time_l") = 333.3f;
    a.control("feedback") = 71.0f;
    a.control("ping_pong") = 1.0f;
    a.control("width") = -40.0f;
    a.control("duck") = 6.5f;
    a.run(128);
    const auto saved = chunkParameters(a.chunk());
    ASSERT_EQ(saved.size(), 18u);
    EXPECT_NEAR(saved[params::kTimeL], 333.3, 1e-4);

    LilvState* state = a.saveState();
    ASSERT_NE(state, nullptr);
    // The chunk travels as a property of the saved state.
    char* text = lilv_state_to_string(host.world(), host.mapFeature(), host.unmapFeature(), state, "urn:test:state", nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find("urn:corvana:ostratape-delay#state"), std::string::npos);
    lilv_free(text);

    Instance b(host, layout.uri);
    b.restoreState(state);
    lilv_state_free(state);
    EXPECT_FLOAT_EQ(b.control("feedback"), 71.0f);
    b.run(128);
    EXPECT_EQ(chunkParameters(b.chunk()), saved);

    // Same parameters, same engines after a reset: the same sound.
    a.activate();
    b.activate();
    const auto in = noise(layout.nIn, kRate / 2);
    EXPECT_EQ(a.process(in, 512), b.process(in, 512));
  }
}

TEST(Lv2Lilv, ADamagedChunkIsRefusedAndChangesNothing)
{
  LilvHost host;
  Instance fx(host, kStereoUri);
  fx.control("feedback") = 55.0f;
  fx.control("wobble") = 12.0f;
  fx.run(64);
  const auto before = fx.chunk();
  ASSERT_FALSE(before.empty());

  // A chunk from another instance, cut inside its parameter values.
  Instance other(host, kStereoUri);
  other.control("feedback") = 5.0f;
  other.control("mix") = 20.0f;
  other.run(64);
  auto damaged = other.chunk();
  damaged.resize(32 + 8 * 5);
  EXPECT_EQ(fx.restoreChunk(damaged), LV2_STATE_ERR_UNKNOWN);
  EXPECT_EQ(chunkParameters(fx.chunk()), chunkParameters(before));

  // Wrong property type: refused as such.
  EXPECT_EQ(fx.restoreChunk(other.chunk(), host.map(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_EQ(chunkParameters(fx.chunk()), chunkParameters(before));

  // The instance keeps running.
  const auto out = fx.process(impulse(2, kRate), 512);
  ASSERT_TRUE(allFinite(out));
  EXPECT_GT(peakLevel(out[0], kQuarterAt120 - 200, kQuarterAt120 + 200), 0.02f);

  // A whole chunk is taken.
  EXPECT_EQ(fx.restoreChunk(other.chunk()), LV2_STATE_SUCCESS);
  EXPECT_DOUBLE_EQ(chunkParameters(fx.chunk())[params::kMix], 20.0);
}

TEST(Lv2Lilv, FactoryPresetsAreListedAndApplyTheirValues)
{
  LilvHost host;
  const LilvPlugin* plugin = host.plugin(kMonoStereoUri);
  ASSERT_NE(plugin, nullptr);
  LilvNode* presetClass = lilv_new_uri(host.world(), LV2_PRESETS__Preset);
  LilvNode* label = lilv_new_uri(host.world(), LILV_NS_RDFS "label");
  LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
  EXPECT_EQ(lilv_nodes_size(presets), 2u);

  std::vector<std::string> names;
  LILV_FOREACH(nodes, it, presets)
  {
    const LilvNode* preset = lilv_nodes_get(presets, it);
    lilv_world_load_resource(host.world(), preset);
    LilvNodes* labels = lilv_world_find_nodes(host.world(), preset, label, nullptr);
    ASSERT_NE(labels, nullptr);
    const std::string name = lilv_node_as_string(lilv_nodes_get_first(labels));
    lilv_nodes_free(labels);
    names.push_back(name);

    LilvState* state = lilv_state_new_from_world(host.world(), host.mapFeature(), preset);
    ASSERT_NE(state, nullptr);
    Instance fx(host, kMonoStereoUri);
    fx.restoreState(state);
    lilv_state_free(state);
    fx.run(64);
    const auto values = chunkParameters(fx.chunk());
    const auto expected = factoryValues(name);
    ASSERT_EQ(values.size(), expected.size()) << name;
    for (size_t i = 0; i < values.size(); ++i)
      EXPECT_NEAR(values[i], expected[i], 1e-5 * std::max(1.0, std::fabs(expected[i]))) << name << " " << i;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Ping and pong", "Warm and wide delay"}));
  lilv_nodes_free(presets);
  lilv_node_free(label);
  lilv_node_free(presetClass);
}

TEST(Lv2Lilv, TapsBecomeTheDelayTimeThroughTheWorker)
{
  LilvHost host;
  Instance fx(host, kStereoUri);
  fx.control("sync") = 0.0f;
  const int scheduledBefore = host.worker().scheduled;
  // Four presses 0.3 s apart, each held for a few cycles; 10 ms cycles.
  const std::vector<std::vector<float>> cycle(2, std::vector<float>(480));
  for (int press = 0; press < 4; ++press)
  {
    fx.control("tap") = 1.0f;
    fx.process(cycle, 480);
    fx.control("tap") = 0.0f;
    for (int i = 0; i < 29; ++i)
      fx.process(cycle, 480);
  }
  // A few more cycles so the idle tick sees the last tap.
  for (int i = 0; i < 5; ++i)
    fx.process(cycle, 480);
  EXPECT_GT(host.worker().scheduled - scheduledBefore, 50);
  EXPECT_NEAR(chunkParameters(fx.chunk())[params::kTimeL], 300.0, 0.5);
  // The tap button springs back inside the effect.
  EXPECT_DOUBLE_EQ(chunkParameters(fx.chunk())[params::kTap], 0.0);
}

TEST(Lv2Lilv, FreeWheelingIsNotAPause)
{
  // A real-time host that stops calling for more than 200 ms has paused: the echoes are
  // cleared. A free-wheeling render may take any time between cycles.
  LilvHost host;
  Instance live(host, kStereoUri);
  Instance offline(host, kStereoUri);
  offline.control("freewheel") = 1.0f;
  const auto start = impulse(2, 4800);
  live.process(start, 480);
  offline.process(start, 480);
  std::this_thread::sleep_for(std::chrono::milliseconds(260));
  const std::vector<std::vector<float>> silence(2, std::vector<float>(kRate / 2));
  const auto liveOut = live.process(silence, 480);
  const auto offlineOut = offline.process(silence, 480);
  EXPECT_LT(peakLevel(liveOut[0], 0, kRate / 2), 1e-6f);
  EXPECT_GT(peakLevel(offlineOut[0], 0, kRate / 2), 0.02f);
}

TEST(Lv2Lilv, OtherSampleRatesPlaceTheEchoInTime)
{
  LilvHost host;
  for (double rate : {22050.0, 96000.0})
  {
    Instance fx(host, kStereoUri, rate);
    ASSERT_TRUE(fx.valid());
    const int frames = static_cast<int>(rate);
    const auto out = fx.process(impulse(2, frames), 512);
    EXPECT_NEAR(peakIndex(out[0], frames / 4, frames * 3 / 4), frames / 2, 200) << rate;
  }
  EXPECT_FALSE(Instance(host, kStereoUri, 0.0).valid());
}

TEST(Lv2Lilv, SampleRateAndBlockLengthOptionsAreTaken)
{
  LilvHost host;
  Instance fx(host, kStereoUri, kRate);
  const auto* options =
    static_cast<const LV2_Options_Interface*>(lilv_instance_get_extension_data(fx.raw(), LV2_OPTIONS__interface));
  ASSERT_NE(options, nullptr);
  const float rate = 96000.0f;
  const int32_t block = 32;
  const LV2_Options_Option set[] = {
    {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_PARAMETERS__sampleRate), sizeof(float), host.map(LV2_ATOM__Float), &rate},
    {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), host.map(LV2_ATOM__Int), &block},
    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  EXPECT_EQ(options->set(lilv_instance_get_handle(fx.raw()), set), static_cast<uint32_t>(LV2_OPTIONS_SUCCESS));
  // The quarter note is now 48000 frames, and 512-frame cycles run in 32-frame slices.
  const auto out = fx.process(impulse(2, 96000), 512);
  EXPECT_NEAR(peakIndex(out[0], 30000, 70000), 48000, 400);

  const float badRate = -1.0f;
  const LV2_Options_Option bad[] = {
    {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_PARAMETERS__sampleRate), sizeof(float), host.map(LV2_ATOM__Float), &badRate},
    {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_ATOM__Path), sizeof(float), host.map(LV2_ATOM__Float), &badRate},
    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  EXPECT_EQ(options->set(lilv_instance_get_handle(fx.raw()), bad),
            static_cast<uint32_t>(LV2_OPTIONS_ERR_BAD_VALUE | LV2_OPTIONS_ERR_BAD_KEY));
  const auto again = fx.process(impulse(2, 96000), 512);
  EXPECT_NEAR(peakIndex(again[0], 30000, 70000), 48000, 400);
}
