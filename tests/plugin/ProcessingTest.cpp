// The plug-in's audio side: echo timing, mix law, bypass, channel layouts, tap tempo and
// robustness against odd rates, block sizes and samples.
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ostratapedelay::plugin;
using ostra::test::Channels;
using ostra::test::noise;
using ostra::test::PluginHost;

namespace
{

size_t argmaxAbs(const std::vector<double>& v)
{
  size_t best = 0;
  for (size_t i = 0; i < v.size(); ++i)
    if (std::abs(v[i]) > std::abs(v[best]))
      best = i;
  return best;
}

double maxAbs(const std::vector<double>& v, size_t from, size_t to)
{
  double m = 0.0;
  for (size_t i = from; i < to; ++i)
    m = std::max(m, std::abs(v[i]));
  return m;
}

} // namespace

TEST(Processing, FirstEchoOfAnImpulseLandsOnTheDelayTime)
{
  {
    // Defaults: Sync on, 1/4 at the fallback tempo of 120, half a second.
    PluginHost host;
    const auto out = host.run(host.impulse(30000));
    EXPECT_EQ(argmaxAbs(out[0]), 24000u);
    EXPECT_EQ(argmaxAbs(out[1]), 24000u);
    // Nothing arrives early: the tape stage's latency is absorbed in the line.
    EXPECT_LT(maxAbs(out[0], 0, 24000 - 40), 1e-9);
    EXPECT_GT(std::abs(out[0][24000]), 0.05);
  }
  PluginHost host;
  host.set({{kSync, 0.0}, {kTimeL, 375.0}});
  EXPECT_EQ(argmaxAbs(host.run(host.impulse(20000))[0]), 18000u);
}

TEST(Processing, SyncUsesTheFallbackTempoAndLink)
{
  PluginHost host;
  plug::ITimeInfo info;
  info.mTempo = 0.0;
  host.plugin->SetTimeInfo(info);
  EXPECT_DOUBLE_EQ(host.plugin->delaySettings(0.0).timeLeft, 0.5);
  host.plugin->GetParam(kNoteL)->Set(8.0); // "1/8T"
  auto s = host.plugin->delaySettings(90.0);
  EXPECT_DOUBLE_EQ(s.timeLeft, (1.0 / 3.0) * 60.0 / 90.0);
  EXPECT_DOUBLE_EQ(s.timeRight, s.timeLeft); // linked
  host.set({{kLink, 0.0}});
  EXPECT_DOUBLE_EQ(host.plugin->delaySettings(90.0).timeRight, 60.0 / 90.0);
}

TEST(Processing, MixLaw)
{
  const Channels in{noise(6000, 1), noise(6000, 2)};
  auto render = [&](double mix) {
    PluginHost host;
    host.set({{kSync, 0.0}, {kTimeL, 20.0}, {kMix, mix}});
    return host.run(in);
  };
  EXPECT_EQ(render(0.0), in); // dry alone is the input, bit for bit
  const auto wet = render(100.0);
  const auto half = render(50.0);
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < in[c].size(); ++i)
      ASSERT_NEAR(half[c][i], in[c][i] + wet[c][i], 1e-12) << c << " " << i; // both at unity
  EXPECT_GT(maxAbs(wet[0], 0, wet[0].size()), 0.01); // the wet path really carries echoes
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
    for (size_t i = 960; i < in[c].size(); ++i)
      ASSERT_EQ(out[c][i], in[c][i]) << c << " " << i;
}

TEST(Processing, MonoInputLeftOnlyModeAndMonoOutput)
{
  {
    // Mono input feeds both lines; the right dry signal is the left input.
    PluginHost host(1, 2);
    host.set({{kMix, 50.0}});
    const Channels in{noise(30000, 7)};
    const auto out = host.run(in);
    for (size_t i = 0; i < 100; ++i)
      ASSERT_TRUE(out[0][i] == in[0][i] && out[1][i] == in[0][i]) << i;
    EXPECT_TRUE(host.plugin->detectedMono());
  }
  {
    // Left only: a silent left input makes no echoes, and the right dry signal still passes.
    PluginHost host;
    host.plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
    host.set({{kSync, 0.0}, {kTimeL, 50.0}, {kMix, 50.0}});
    const Channels in{std::vector<double>(6000, 0.0), noise(6000, 8)};
    const auto out = host.run(in);
    for (size_t i = 0; i < in[0].size(); ++i)
      ASSERT_TRUE(out[0][i] == 0.0 && out[1][i] == in[1][i]) << i;
  }
  // Ping-pong echoes alternate between the lines; a mono output hears every one of them.
  PluginHost host(1, 1);
  host.set({{kPingPong, 1.0}, {kSync, 0.0}, {kTimeL, 100.0}});
  const auto out = host.run(host.impulse(20000));
  EXPECT_GT(std::abs(out[0][4800]), 0.01);
  EXPECT_GT(std::abs(out[0][9600]), 0.005);
}

TEST(Processing, TapPairSetsTimeOnTheNextIdleTickUnlessSyncIsOn)
{
  for (bool sync : {false, true})
  {
    SCOPED_TRACE(sync ? "sync on" : "sync off");
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
    EXPECT_NEAR(host.plugin->GetParam(kTimeL)->Value(), sync ? 123.0 : 500.0, 1e-9);
  }
}

TEST(Processing, RatesAndBlockSizesGiveFiniteOutputAtExtremeSettings)
{
  for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0})
    for (int blockSize : {1, 77, 8192})
    {
      PluginHost host(2, 2, rate, blockSize);
      host.set({{kFeedback, 95.0}, {kDrive, 18.0}, {kWidth, 100.0}, {kDuck, 12.0}, {kSync, 0.0}, {kTimeL, 30.0}});
      const size_t frames = blockSize == 1 ? 4000 : 20000;
      for (const auto& ch : host.run({noise(frames, 9), noise(frames, 10)}))
        for (double x : ch)
          ASSERT_TRUE(std::isfinite(x) && std::abs(x) < 100.0) << rate << " " << blockSize;
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
    for (size_t i = 0; i < ch.size(); ++i)
      ASSERT_TRUE(std::isfinite(ch[i])) << i;
  EXPECT_GT(maxAbs(out[0], 2000, out[0].size()), 1e-3); // the echoes keep working

  // With the dry path open, the host's samples pass as they are.
  PluginHost half;
  half.set({{kMix, 50.0}});
  const auto halfOut = half.run(in);
  EXPECT_TRUE(std::isnan(halfOut[0][100]));
  EXPECT_TRUE(std::isfinite(halfOut[0][300]));
}
