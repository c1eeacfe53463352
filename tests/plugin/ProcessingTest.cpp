// The plug-in's audio side: echo timing, mix law, bypass, channel layouts, tap tempo and
// robustness against odd rates, block sizes and samples.
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace ostratapedelay::plugin;
using ostra::test::Channels;
using ostra::test::noise;
using ostra::test::PluginHost;

namespace
{

double peak(const std::vector<double>& v, size_t from = 0, size_t to = SIZE_MAX)
{
  double m = 0.0;
  for (size_t i = from; i < std::min(to, v.size()); ++i)
    m = std::max(m, std::abs(v[i]));
  return m;
}

size_t argmaxAbs(const std::vector<double>& v)
{
  return size_t(std::ranges::find(v, peak(v), [](double x) { return std::abs(x); }) - v.begin());
}

} // namespace

TEST(Processing, FirstEchoOfAnImpulseLandsOnTheDelayTime)
{
  // Defaults: Sync on, 1/4 at the fallback tempo of 120, half a second.
  PluginHost host;
  const auto out = host.run(host.impulse(30000));
  EXPECT_EQ(std::pair(argmaxAbs(out[0]), argmaxAbs(out[1])), std::pair(24000ul, 24000ul));
  // Nothing arrives early: the tape stage's latency is absorbed in the line.
  EXPECT_LT(peak(out[0], 0, 24000 - 40), 1e-9);

  PluginHost unsynced;
  unsynced.set({{kSync, 0.0}, {kTimeL, 375.0}});
  EXPECT_EQ(argmaxAbs(unsynced.run(unsynced.impulse(20000))[0]), 18000u);
}

TEST(Processing, MixLaw)
{
  const Channels in{noise(6000, 1), noise(6000, 2)};
  auto render = [&](double mix)
  {
    PluginHost host;
    host.set({{kSync, 0.0}, {kTimeL, 20.0}, {kMix, mix}});
    return host.run(in);
  };
  EXPECT_EQ(render(0.0), in); // dry alone is the input, bit for bit
  const auto wet = render(100.0), half = render(50.0);
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < in[c].size(); ++i)
      ASSERT_NEAR(half[c][i], in[c][i] + wet[c][i], 1e-12) << c << " " << i; // both at unity
  EXPECT_GT(peak(wet[0]), 0.01); // the wet path really carries echoes
}

TEST(Processing, HostBypassAndTheBypassParameterPassTheInput)
{
  const Channels in{noise(48000, 5), noise(48000, 6)};
  PluginHost host;
  host.set({{kMix, 50.0}});
  EXPECT_EQ(host.run(in, true), in);

  host.run(in); // build up echoes
  host.set({{kBypass, 1.0}});
  const auto out = host.run(in);
  // A 20 ms crossfade without jumps, then the input exactly.
  for (size_t i = 1; i < 960; ++i)
    ASSERT_LT(std::abs(out[0][i] - out[0][i - 1]), 1.0) << i;
  for (size_t c = 0; c < 2; ++c)
    EXPECT_TRUE(std::equal(out[c].begin() + 960, out[c].end(), in[c].begin() + 960)) << c;
}

TEST(Processing, MonoInputLeftOnlyModeAndMonoOutput)
{
  // Mono input feeds both lines; the right dry signal is the left input.
  PluginHost mono(1, 2);
  mono.set({{kMix, 50.0}});
  const Channels one{noise(30000, 7)};
  auto out = mono.run(one);
  for (size_t i = 0; i < 100; ++i)
    ASSERT_TRUE(out[0][i] == one[0][i] && out[1][i] == one[0][i]) << i;
  EXPECT_TRUE(mono.plugin->detectedMono());

  // Left only: a silent left input makes no echoes, and the right dry signal still passes.
  PluginHost left;
  left.plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
  left.set({{kSync, 0.0}, {kTimeL, 50.0}, {kMix, 50.0}});
  const Channels rightOnly{std::vector<double>(6000, 0.0), noise(6000, 8)};
  out = left.run(rightOnly);
  EXPECT_EQ(out[0], rightOnly[0]);
  EXPECT_EQ(out[1], rightOnly[1]);

  // Ping-pong echoes alternate between the lines; a mono output hears every one of them.
  PluginHost pingPong(1, 1);
  pingPong.set({{kPingPong, 1.0}, {kSync, 0.0}, {kTimeL, 100.0}});
  out = pingPong.run(pingPong.impulse(20000));
  EXPECT_GT(std::abs(out[0][4800]), 0.01);
  EXPECT_GT(std::abs(out[0][9600]), 0.005);
}

TEST(Processing, TapPairSetsTimeOnTheNextIdleTickUnlessSyncIsOn)
{
  for (bool sync : {false, true})
  {
    PluginHost host(2, 2, 48000.0, 480);
    host.set({{kSync, sync ? 1.0 : 0.0}, {kTimeL, 123.0}});
    const Channels block(2, std::vector<double>(480, 0.0));
    for (int tap = 0; tap < 2; ++tap)
    {
      host.set({{kTap, 1.0}});
      for (int b = 0; b < 50; ++b) // 0.5 s between the taps
        host.run(block);
      host.plugin->OnTimer();
      EXPECT_EQ(host.plugin->GetParam(kTap)->Value(), 0.0); // springs back
    }
    EXPECT_NEAR(host.plugin->GetParam(kTimeL)->Value(), sync ? 123.0 : 500.0, 1e-9) << sync;
  }
}

TEST(Processing, RatesAndBlockSizesGiveFiniteOutputAtExtremeSettings)
{
  for (double rate : {8000.0, 44100.0, 96000.0, 192000.0, 384000.0})
    for (int blockSize : {1, 77, 8192})
    {
      PluginHost host(2, 2, rate, blockSize);
      host.set({{kFeedback, 95.0},
                {kDrive, 18.0},
                {kWidth, 100.0},
                {kDuck, 12.0},
                {kSync, 0.0},
                {kTimeL, 30.0}});
      const size_t frames = blockSize == 1 ? 4000 : 20000;
      for (const auto& ch : host.run({noise(frames, 9), noise(frames, 10)}))
        EXPECT_TRUE(std::ranges::all_of(ch, [](double x)
                                        { return std::isfinite(x) && std::abs(x) < 100.0; }))
            << rate << " " << blockSize;
    }
}

TEST(Processing, NonFiniteInputNeverReachesTheEchoes)
{
  Channels in{noise(4800, 11), noise(4800, 12)};
  in[0][100] = std::numeric_limits<double>::quiet_NaN();
  in[1][200] = std::numeric_limits<double>::infinity();
  PluginHost host;
  host.set({{kSync, 0.0}, {kTimeL, 10.0}});
  const auto out = host.run(in);
  // At Mix 100 % the dry path is muted, so not even the bad samples themselves come out.
  for (const auto& ch : out)
    EXPECT_TRUE(std::ranges::all_of(ch, [](double x) { return std::isfinite(x); }));
  EXPECT_GT(peak(out[0], 2000), 1e-3); // the echoes keep working
}
