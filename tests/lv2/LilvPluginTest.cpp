// The bundle as a lilv host loads it: the three layouts, control ports, time position, host
// bypass, state through lilv, presets, the worker, free-wheeling and the host's options.
#include "LilvHost.h"

#include "framework/IByteChunk.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"
#include "presets/FactoryPresets.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
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
constexpr int kQuarter = kRate / 2;

Audio silence(int channels, int frames)
{
  return Audio(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
}

bool allFinite(const Audio& x)
{
  for (const auto& ch : x)
    for (float v : ch)
      if (!std::isfinite(v))
        return false;
  return true;
}

// Mix at 100 % is all echo: silence, then the impulse's echo at `at`.
void expectEchoAt(const std::vector<float>& out, int at, int tolerance = 200)
{
  EXPECT_LT(peakLevel(out, 0, at - 2 * tolerance), 1e-3f);
  const int echo = peakIndex(out, at / 2, at * 3 / 2);
  EXPECT_NEAR(echo, at, tolerance);
  EXPECT_GT(peakLevel(out, echo - 10, echo + 10), 0.02f);
}

// The parameter values a state chunk holds, read by the effect itself (empty when it refuses it).
std::vector<double> chunkParameters(const std::vector<std::uint8_t>& bytes)
{
  OstraTapeDelay scratch;
  plug::IByteChunk chunk;
  chunk.AppendBytes(bytes.data(), static_cast<int>(bytes.size()));
  std::vector<double> values;
  if (bytes.empty() || scratch.UnserializeState(chunk, 0) < 0)
    return values;
  for (int i = 0; i < params::kNumParams; ++i)
    values.push_back(scratch.GetParam(i)->Value());
  return values;
}

struct Layout
{
  const char* uri;
  int nIn;
  int nOut;
};
const Layout kLayouts[] = {{kStereoUri, 2, 2}, {kMonoUri, 1, 1}, {kMonoStereoUri, 1, 2}};

class Lv2Lilv : public testing::Test
{
protected:
  LilvHost host;
  Instance fx{host, kStereoUri};
};

class Lv2Layout : public testing::TestWithParam<Layout>
{
protected:
  LilvHost host;
  const Layout& layout = GetParam();
  Instance fx{host, layout.uri};
};

INSTANTIATE_TEST_SUITE_P(All, Lv2Layout, testing::ValuesIn(kLayouts),
                         [](const auto& info) {
                           return std::string(info.index == 0   ? "Stereo"
                                              : info.index == 1 ? "Mono"
                                                                : "MonoToStereo");
                         });

} // namespace

TEST(Lv2Echo, EveryLayoutRateAndHostPlacesTheEchoAQuarterNoteLater)
{
  struct Case
  {
    const char* name;
    Layout layout;
    double rate;
    bool bareHost; // a plain file renderer: no features at all
  };
  const Case cases[] = {
      {"stereo", kLayouts[0], kRate, false},         {"mono", kLayouts[1], kRate, false},
      {"mono to stereo", kLayouts[2], kRate, false}, {"bare host", kLayouts[0], kRate, true},
      {"22.05 kHz", kLayouts[0], 22050, false},      {"96 kHz", kLayouts[2], 96000, false},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.name);
    LilvHost host;
    Instance fx(host, c.layout.uri, c.rate, c.bareHost);
    ASSERT_TRUE(fx.valid());
    EXPECT_EQ(fx.nIn(), c.layout.nIn);
    EXPECT_EQ(fx.nOut(), c.layout.nOut);
    const int second = static_cast<int>(c.rate);
    const auto out = fx.process(impulse(c.layout.nIn, second), 512);
    ASSERT_TRUE(allFinite(out));
    for (const auto& ch : out)
      expectEchoAt(ch, second / 2);
    // Without urid:map it keeps no state rather than failing.
    EXPECT_EQ(fx.chunk().empty(), c.bareHost);
  }
  LilvHost host;
  EXPECT_FALSE(Instance(host, kStereoUri, 0.0).valid());
}

TEST(Lv2Echo, CyclesLongerThanTheAnnouncedBlockAreSliced)
{
  LilvHost small(64), large(16384);
  Instance a(small, kStereoUri), b(large, kStereoUri);
  const auto outA = a.process(impulse(2, kRate), 5000);
  const auto outB = b.process(impulse(2, kRate), 5000);
  ASSERT_TRUE(allFinite(outA));
  expectEchoAt(outA[0], kQuarter);
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < outA[0].size(); ++i)
      ASSERT_NEAR(outA[c][i], outB[c][i], 1e-4f) << i;
}

TEST_P(Lv2Layout, HostBypassPassesTheInputAndDropsEchoesInFlight)
{
  fx.control("enabled") = 0.0f;
  const auto in = noise(layout.nIn, 4096);
  const auto out = fx.process(in, 256);
  for (int c = 0; c < layout.nOut; ++c) // a mono input feeds both sides
    EXPECT_EQ(out[static_cast<size_t>(c)], in[static_cast<size_t>(std::min(c, layout.nIn - 1))]);

  for (bool bypass : {true, false})
  {
    SCOPED_TRACE(bypass ? "bypassed for a cycle" : "never bypassed");
    Instance fx2(host, layout.uri);
    fx2.process(impulse(layout.nIn, 4800), 480);
    fx2.control("enabled") = bypass ? 0.0f : 1.0f;
    fx2.process(silence(layout.nIn, 480), 480);
    fx2.control("enabled") = 1.0f;
    const float rest = peakLevel(fx2.process(silence(layout.nIn, kQuarter), 480)[0], 0, kQuarter);
    if (bypass)
      EXPECT_LT(rest, 1e-6f);
    else
      EXPECT_GT(rest, 0.02f);
  }
}

TEST_P(Lv2Layout, InPlaceBuffersGiveTheSameOutput)
{
  Instance other(host, layout.uri);
  const auto in = noise(layout.nIn, 8192);
  EXPECT_EQ(fx.process(in, 700), other.process(in, 700, true));
}

TEST_P(Lv2Layout, StateSavedByLilvRestoresIntoAFreshInstance)
{
  fx.control("sync") = 0.0f;
  fx.control("time_l") = 333.3f;
  fx.control("feedback") = 71.0f;
  fx.control("ping_pong") = 1.0f;
  fx.control("width") = -40.0f;
  fx.control("duck") = 6.5f;
  fx.run(128);
  const auto saved = chunkParameters(fx.chunk());
  ASSERT_EQ(saved.size(), 18u);
  EXPECT_NEAR(saved[params::kTimeL], 333.3, 1e-4);

  LilvState* state = fx.saveState();
  ASSERT_NE(state, nullptr);
  // The chunk travels as a property of the saved state, not only as port values.
  char* text = lilv_state_to_string(host.world(), host.mapFeature(), host.unmapFeature(), state,
                                    "urn:test:state", nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::string(text).find("urn:corvana:ostratape-delay#state"), std::string::npos);
  lilv_free(text);

  Instance fresh(host, layout.uri);
  fresh.restoreState(state);
  lilv_state_free(state);
  EXPECT_FLOAT_EQ(fresh.control("feedback"), 71.0f);
  fresh.run(128);
  EXPECT_EQ(chunkParameters(fresh.chunk()), saved);
  // Same parameters, engines reset: the same sound.
  fx.reset();
  fresh.reset();
  const auto in = noise(layout.nIn, kQuarter);
  EXPECT_EQ(fx.process(in), fresh.process(in));
}

TEST_F(Lv2Lilv, TimePositionTempoSetsTheSyncedEchoFromItsOwnFrame)
{
  fx.sendTempo(60.0);
  // A quarter note at 60 bpm is one second; nothing at the half second of 120 bpm.
  expectEchoAt(fx.process(impulse(2, kRate * 3 / 2))[0], kRate);

  // A tempo in the middle of a cycle sounds like a cycle cut there with the tempo at the start
  // of the second part, and not like one at frame 0 (the delay glides towards the new time,
  // so the echoes differ wherever the tempo arrives).
  const auto in = noise(2, 36000);
  auto part = [&in](long from, long to)
  {
    return Audio{{in[0].begin() + from, in[0].begin() + to},
                 {in[1].begin() + from, in[1].begin() + to}};
  };
  Instance midCycle(host, kStereoUri), cut(host, kStereoUri), atStart(host, kStereoUri);
  midCycle.sendTempo(240.0, 6000);
  const auto whole = midCycle.process(in, 36000);
  auto joined = cut.process(part(0, 6000), 6000);
  cut.sendTempo(240.0);
  const auto rest = cut.process(part(6000, 36000), 30000);
  for (size_t c = 0; c < 2; ++c)
    joined[c].insert(joined[c].end(), rest[c].begin(), rest[c].end());
  EXPECT_EQ(whole, joined);
  atStart.sendTempo(240.0);
  const auto early = atStart.process(in, 36000);
  EXPECT_GT(peakLevel(early[0], 12000, 18000), 0.02f);
  EXPECT_NE(early, whole);
}

TEST_F(Lv2Lilv, ControlPortsReachTheEffectClamped)
{
  fx.control("feedback") = 62.5f;
  fx.control("drive") = 40.0f;           // beyond the range: 18 dB
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
  // With Sync off the echo follows Time L.
  fx.control("time_l") = 250.0f;
  fx.reset();
  expectEchoAt(fx.process(impulse(2, kRate / 2))[0], kRate / 4);
}

TEST_F(Lv2Lilv, ADamagedChunkIsRefusedAndChangesNothing)
{
  fx.control("feedback") = 55.0f;
  fx.control("wobble") = 12.0f;
  fx.run(64);
  const auto before = chunkParameters(fx.chunk());
  ASSERT_EQ(before.size(), 18u);

  Instance other(host, kStereoUri);
  other.control("mix") = 20.0f;
  other.run(64);
  auto damaged = other.chunk();
  damaged.resize(32 + 8 * 5); // cut inside the parameter values
  EXPECT_EQ(fx.restoreChunk(damaged), LV2_STATE_ERR_UNKNOWN);
  EXPECT_EQ(chunkParameters(fx.chunk()), before);
  EXPECT_EQ(fx.restoreChunk(other.chunk(), host.map(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_EQ(chunkParameters(fx.chunk()), before);
  // Still running, and a whole chunk is taken.
  const auto out = fx.process(impulse(2, kRate));
  ASSERT_TRUE(allFinite(out));
  EXPECT_GT(peakLevel(out[0], kQuarter - 200, kQuarter + 200), 0.02f);
  EXPECT_EQ(fx.restoreChunk(other.chunk()), LV2_STATE_SUCCESS);
  EXPECT_DOUBLE_EQ(chunkParameters(fx.chunk())[params::kMix], 20.0);
}

TEST_F(Lv2Lilv, FactoryPresetsAreListedAndApplyTheirValues)
{
  LilvNode* presetClass = lilv_new_uri(host.world(), LV2_PRESETS__Preset);
  LilvNode* label = lilv_new_uri(host.world(), LILV_NS_RDFS "label");
  LilvNodes* presets = lilv_plugin_get_related(host.plugin(kMonoStereoUri), presetClass);
  std::vector<std::string> names;
  LILV_FOREACH(nodes, it, presets)
  {
    const LilvNode* preset = lilv_nodes_get(presets, it);
    lilv_world_load_resource(host.world(), preset);
    LilvNode* name = lilv_world_get(host.world(), preset, label, nullptr);
    ASSERT_NE(name, nullptr);
    names.emplace_back(lilv_node_as_string(name));
    lilv_node_free(name);

    LilvState* state = lilv_state_new_from_world(host.world(), host.mapFeature(), preset);
    ASSERT_NE(state, nullptr);
    Instance applied(host, kMonoStereoUri);
    applied.restoreState(state);
    lilv_state_free(state);
    applied.run(64);
    const auto values = chunkParameters(applied.chunk());
    const auto& factory = ostratapedelay::offline::factoryPresets();
    const auto match = std::find_if(factory.begin(), factory.end(),
                                    [&](const auto& p) { return p.name == names.back(); });
    ASSERT_NE(match, factory.end()) << names.back();
    const auto expected = chunkParameters(match->state);
    ASSERT_EQ(values.size(), expected.size()) << names.back();
    for (size_t i = 0; i < values.size(); ++i)
      EXPECT_NEAR(values[i], expected[i], 1e-5 * std::max(1.0, std::fabs(expected[i])))
          << names.back() << " " << i;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Ping and pong", "Warm and wide delay"}));
  lilv_nodes_free(presets);
  lilv_node_free(label);
  lilv_node_free(presetClass);
}

TEST_F(Lv2Lilv, TapsBecomeTheDelayTimeThroughTheWorker)
{
  fx.control("sync") = 0.0f;
  const int scheduledBefore = host.scheduledWork;
  // Four presses 0.3 s apart in 10 ms cycles, then a few cycles for the idle tick to see the last.
  for (int cycle = 0; cycle < 4 * 30 + 5; ++cycle)
  {
    fx.control("tap") = cycle % 30 == 0 && cycle < 120 ? 1.0f : 0.0f;
    fx.process(silence(2, 480), 480);
  }
  EXPECT_GT(host.scheduledWork - scheduledBefore, 50);
  const auto values = chunkParameters(fx.chunk());
  EXPECT_NEAR(values[params::kTimeL], 300.0, 0.5);
  EXPECT_DOUBLE_EQ(values[params::kTap], 0.0); // the button springs back inside the effect
}

TEST_F(Lv2Lilv, FreeWheelingIsNotAPause)
{
  // A real-time host that stops calling for over 200 ms has paused and the echoes are cleared;
  // a free-wheeling render may take any time between cycles.
  Instance offline(host, kStereoUri);
  offline.control("freewheel") = 1.0f;
  fx.process(impulse(2, 4800), 480);
  offline.process(impulse(2, 4800), 480);
  std::this_thread::sleep_for(std::chrono::milliseconds(260));
  EXPECT_LT(peakLevel(fx.process(silence(2, kQuarter), 480)[0], 0, kQuarter), 1e-6f);
  EXPECT_GT(peakLevel(offline.process(silence(2, kQuarter), 480)[0], 0, kQuarter), 0.02f);
}

TEST_F(Lv2Lilv, SampleRateAndBlockLengthOptionsAreTakenAndBadOnesRefused)
{
  const auto* options = static_cast<const LV2_Options_Interface*>(
      lilv_instance_get_extension_data(fx.raw(), LV2_OPTIONS__interface));
  ASSERT_NE(options, nullptr);
  const float rate = 96000.0f, badRate = -1.0f;
  const int32_t block = 32;
  const LV2_URID sampleRate = host.map(LV2_PARAMETERS__sampleRate),
                 atomFloat = host.map(LV2_ATOM__Float);
  const LV2_Options_Option set[] = {
      {LV2_OPTIONS_INSTANCE, 0, sampleRate, sizeof(float), atomFloat, &rate},
      {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
       host.map(LV2_ATOM__Int), &block},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  const LV2_Options_Option bad[] = {
      {LV2_OPTIONS_INSTANCE, 0, sampleRate, sizeof(float), atomFloat, &badRate},
      {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_ATOM__Path), sizeof(float), atomFloat, &badRate},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  EXPECT_EQ(options->set(lilv_instance_get_handle(fx.raw()), set),
            static_cast<uint32_t>(LV2_OPTIONS_SUCCESS));
  EXPECT_EQ(options->set(lilv_instance_get_handle(fx.raw()), bad),
            static_cast<uint32_t>(LV2_OPTIONS_ERR_BAD_VALUE | LV2_OPTIONS_ERR_BAD_KEY));
  // The quarter note is now 48000 frames, and 512-frame cycles run in 32-frame slices.
  expectEchoAt(fx.process(impulse(2, 96000))[0], 48000, 400);
}
