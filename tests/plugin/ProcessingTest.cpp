#include "PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ostratapedelay::plugin;
using ostra::test::PluginHost;

namespace
{
size_t argmaxAbs(const std::vector<double>& v, size_t from = 0)
{
  size_t best = from;
  for (size_t i = from; i < v.size(); ++i)
    if (std::abs(v[i]) > std::abs(v[best]))
      best = i;
  return best;
}

std::vector<double> noise(size_t n, unsigned seed)
{
  std::vector<double> v(n);
  unsigned s = seed;
  for (auto& x : v)
  {
    s = s * 1664525u + 1013904223u;
    x = (static_cast<double>(s >> 8) / 16777216.0 - 0.5) * 0.5;
  }
  return v;
}
} // namespace

TEST(Processing, DefaultEchoLandsOnTheQuarterNoteAt120Bpm)
{
  PluginHost host;
  const auto out = host.run(host.impulse(30000));
  // Sync on, 1/4 at the fallback tempo of 120: half a second.
  EXPECT_EQ(argmaxAbs(out[0]), 24000u);
  EXPECT_EQ(argmaxAbs(out[1]), 24000u);
  // Nothing of the echo arrives early: the tape stage's latency is absorbed in the line.
  double early = 0.0;
  for (size_t i = 0; i < 24000 - 40; ++i)
    early = std::max(early, std::abs(out[0][i]));
  EXPECT_LT(early, 1e-9);
  EXPECT_GT(std::abs(out[0][24000]), 0.05);
}

TEST(Processing, EchoFollowsTimeInMillisecondsWithSyncOff)
{
  PluginHost host;
  host.set(kSync, 0.0);
  host.set(kTimeL, 375.0);
  const auto out = host.run(host.impulse(20000));
  EXPECT_EQ(argmaxAbs(out[0]), 18000u);
}

TEST(Processing, MixLaw)
{
  const auto in = std::vector<std::vector<double>>{noise(6000, 1), noise(6000, 2)};
  auto render = [&](double mix) {
    PluginHost host;
    host.set(kSync, 0.0);
    host.set(kTimeL, 20.0);
    host.set(kMix, mix);
    return host.run(in);
  };
  const auto dryOnly = render(0.0);
  EXPECT_EQ(dryOnly[0], in[0]);
  EXPECT_EQ(dryOnly[1], in[1]);

  const auto wetOnly = render(100.0);
  const auto half = render(50.0);
  double maxWet = 0.0;
  for (size_t i = 0; i < in[0].size(); ++i)
  {
    maxWet = std::max(maxWet, std::abs(wetOnly[0][i]));
    ASSERT_NEAR(half[0][i], in[0][i] + wetOnly[0][i], 1e-12) << i;
    ASSERT_NEAR(half[1][i], in[1][i] + wetOnly[1][i], 1e-12) << i;
  }
  EXPECT_GT(maxWet, 0.01); // the wet path really carries echoes
}

TEST(Processing, HostBypassPassesAudioUntouched)
{
  PluginHost host;
  const auto in = std::vector<std::vector<double>>{noise(3000, 3), noise(3000, 4)};
  const auto out = host.run(in, true);
  EXPECT_EQ(out, in);
}

TEST(Processing, BypassParameterFadesOutThenPassesInput)
{
  PluginHost host;
  host.set(kMix, 50.0);
  const auto in = std::vector<std::vector<double>>{noise(48000, 5), noise(48000, 6)};
  host.run(in); // build up echoes
  host.set(kBypass, 1.0);
  const auto out = host.run(in);
  // 20 ms crossfade, then the input exactly.
  for (size_t i = 960; i < out[0].size(); ++i)
  {
    ASSERT_EQ(out[0][i], in[0][i]) << i;
    ASSERT_EQ(out[1][i], in[1][i]) << i;
  }
  // The crossfade has no jump larger than the signal itself makes.
  for (size_t i = 1; i < 960; ++i)
    ASSERT_LT(std::abs(out[0][i] - out[0][i - 1]), 1.0);
}

TEST(Processing, MonoInputFeedsBothLinesAndTheRightDryIsTheLeftInput)
{
  PluginHost host(1, 2);
  host.set(kMix, 50.0);
  const auto in = std::vector<std::vector<double>>{noise(30000, 7)};
  const auto out = host.run(in);
  for (size_t i = 0; i < 100; ++i)
  {
    EXPECT_EQ(out[0][i], in[0][i]);
    EXPECT_EQ(out[1][i], in[0][i]);
  }
  EXPECT_TRUE(host.plugin->detectedMono());
}

TEST(Processing, MonoOutputWithPingPongCarriesBothLines)
{
  PluginHost pingPong(1, 1);
  pingPong.set(kPingPong, 1.0);
  pingPong.set(kSync, 0.0);
  pingPong.set(kTimeL, 100.0);
  const auto out = pingPong.run(pingPong.impulse(20000));
  // Echoes alternate between the lines; the mono output hears every one of them.
  EXPECT_GT(std::abs(out[0][4800]), 0.01);
  EXPECT_GT(std::abs(out[0][9600]), 0.005);
}

TEST(Processing, LeftOnlyInputModeFeedsEchoesFromTheLeftAlone)
{
  PluginHost host;
  host.plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
  host.set(kSync, 0.0);
  host.set(kTimeL, 50.0);
  host.set(kMix, 50.0);
  std::vector<std::vector<double>> in{std::vector<double>(6000, 0.0), noise(6000, 8)};
  const auto out = host.run(in);
  // Silent left input: no echoes anywhere, and the right dry signal still passes.
  for (size_t i = 0; i < out[0].size(); ++i)
  {
    ASSERT_EQ(out[0][i], 0.0) << i;
    ASSERT_EQ(out[1][i], in[1][i]) << i;
  }
}

TEST(Processing, SyncUsesFallbackTempoAndDamagedNoteIndex)
{
  PluginHost host;
  plug::ITimeInfo info;
  info.mTempo = 0.0;
  host.plugin->SetTimeInfo(info);
  auto s = host.plugin->delaySettings(0.0);
  EXPECT_DOUBLE_EQ(s.timeLeft, 0.5);
  host.plugin->GetParam(kNoteL)->Set(8.0); // "1/8T"
  s = host.plugin->delaySettings(90.0);
  EXPECT_DOUBLE_EQ(s.timeLeft, (1.0 / 3.0) * 60.0 / 90.0);
  EXPECT_DOUBLE_EQ(s.timeRight, s.timeLeft); // linked
  host.set(kLink, 0.0);
  s = host.plugin->delaySettings(90.0);
  EXPECT_DOUBLE_EQ(s.timeRight, 60.0 / 90.0);
}

TEST(Processing, TapPairSetsTimeOnTheNextIdleTick)
{
  PluginHost host(2, 2, 48000.0, 480);
  host.set(kSync, 0.0);
  const std::vector<std::vector<double>> block(2, std::vector<double>(480, 0.0));
  host.set(kTap, 1.0);
  host.run(block);
  host.plugin->OnTimer(); // Tap springs back
  EXPECT_EQ(host.plugin->GetParam(kTap)->Value(), 0.0);
  for (int b = 1; b < 50; ++b) // 0.5 s later in total
    host.run(block);
  host.set(kTap, 1.0);
  host.run(block);
  host.plugin->OnTimer();
  EXPECT_NEAR(host.plugin->GetParam(kTimeL)->Value(), 500.0, 1e-9);
}

TEST(Processing, TapWhileSyncIsOnChangesNothing)
{
  PluginHost host(2, 2, 48000.0, 480);
  const std::vector<std::vector<double>> block(2, std::vector<double>(480, 0.0));
  for (int tap = 0; tap < 3; ++tap)
  {
    host.set(kTap, 1.0);
    host.run(block);
    host.plugin->OnTimer();
    for (int b = 0; b < 30; ++b)
      host.run(block);
  }
  EXPECT_EQ(host.plugin->GetParam(kTimeL)->Value(), 500.0);
}

TEST(Processing, RatesAndBlockSizesGiveFiniteOutputAtExtremeSettings)
{
  for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0})
  {
    for (int blockSize : {1, 77, 8192})
    {
      PluginHost host(2, 2, rate, blockSize);
      host.set(kFeedback, 95.0);
      host.set(kDrive, 18.0);
      host.set(kWidth, 100.0);
      host.set(kDuck, 12.0);
      host.set(kSync, 0.0);
      host.set(kTimeL, 30.0);
      const size_t frames = blockSize == 1 ? 4000 : 20000;
      const auto out = host.run({noise(frames, 9), noise(frames, 10)});
      for (const auto& ch : out)
        for (double x : ch)
          ASSERT_TRUE(std::isfinite(x) && std::abs(x) < 100.0) << rate << " " << blockSize;
    }
  }
}

TEST(Processing, NonFiniteInputNeverReachesTheEchoes)
{
  PluginHost host;
  host.set(kSync, 0.0);
  host.set(kTimeL, 10.0);
  auto in = std::vector<std::vector<double>>{noise(4800, 11), noise(4800, 12)};
  in[0][100] = std::numeric_limits<double>::quiet_NaN();
  in[1][200] = std::numeric_limits<double>::infinity();
  const auto out = host.run(in);
  // At Mix 100 % the dry path is muted, so not even the bad samples themselves come out.
  for (size_t i = 0; i < out[0].size(); ++i)
  {
    ASSERT_TRUE(std::isfinite(out[0][i])) << i;
    ASSERT_TRUE(std::isfinite(out[1][i])) << i;
  }
  double later = 0.0;
  for (size_t i = 2000; i < out[0].size(); ++i)
    later = std::max(later, std::abs(out[0][i]));
  EXPECT_GT(later, 1e-3); // the echoes keep working after the bad samples

  // With the dry path open, the host's samples pass as they are.
  PluginHost half;
  half.set(kMix, 50.0);
  const auto halfOut = half.run(in);
  EXPECT_TRUE(std::isnan(halfOut[0][100]));
  EXPECT_TRUE(std::isfinite(halfOut[0][300]));
}
