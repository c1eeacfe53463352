// The plug-in's audio side: echo timing, mix law, bypass, channel layouts, tap tempo and
// robustness against odd rates, block sizes and samples.
#include "PluginHost.h"
#include "dsp/Tape.h"
#include "plugin/TapTempo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>

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

double rms(const std::vector<double>& v, size_t from, size_t to)
{
  double sum = 0.0;
  for (size_t i = from; i < to; ++i)
    sum += v[i] * v[i];
  return std::sqrt(sum / double(to - from));
}

std::vector<double> slice(const std::vector<double>& v, size_t from, size_t to)
{
  return {v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(to)};
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

TEST(Processing, MixAndWidthStepsDuringPlaybackGlide)
{
  // Mix 0 -> 100 % while a long delay keeps the echoes silent: the output is the dry part
  // alone, which follows the 20 ms smoother through the mix law without a step.
  const double rate = 48000.0;
  const std::vector<double> in = noise(9600, 3);
  PluginHost host(1, 1, rate, 240);
  host.set({{kSync, 0.0}, {kTimeL, 2000.0}, {kMix, 0.0}});
  EXPECT_EQ(host.run({slice(in, 0, 4800)})[0], slice(in, 0, 4800));
  host.set({{kMix, 100.0}});
  const auto out = host.run({slice(in, 4800, 9600)})[0];
  for (size_t i = 0; i < out.size(); ++i)
  {
    const double m = 1.0 - std::exp(-double(i + 1) / (0.02 * rate));
    const double dry = std::min(1.0, 2.0 * (1.0 - m));
    ASSERT_NEAR(out[i], dry * in[4800 + i], 1e-12) << i;
  }

  // Width 0 -> 100 % on steady stereo echoes: the change sets in gradually.
  const Channels stereo{noise(24000, 4), noise(24000, 5)};
  auto render = [&](bool step)
  {
    PluginHost h(2, 2, rate, 480);
    h.set({{kSync, 0.0}, {kTimeL, 10.0}, {kFeedback, 60.0}});
    const Channels head{slice(stereo[0], 0, 12000), slice(stereo[1], 0, 12000)};
    const Channels tail{slice(stereo[0], 12000, 24000), slice(stereo[1], 12000, 24000)};
    h.run(head);
    if (step)
      h.set({{kWidth, 100.0}});
    return h.run(tail)[0];
  };
  const auto flat = render(false), widened = render(true);
  std::vector<double> change(flat.size());
  for (size_t i = 0; i < flat.size(); ++i)
    change[i] = widened[i] - flat[i];
  EXPECT_GT(rms(change, 4800, 9600), 0.01);                      // it did widen
  EXPECT_LT(rms(change, 0, 24), 0.05 * rms(change, 4800, 9600)); // but not at once
}

TEST(Processing, BypassCrossfadeIsALinearRampOf20Milliseconds)
{
  // Mix 100 % with echoes still silent: the effect's output is 0, so the crossfade alone
  // shapes what comes out, at any rate.
  for (double rate : {48000.0, 96000.0})
  {
    const size_t ramp = size_t(0.02 * rate);
    const std::vector<double> in = noise(2 * ramp + 100, 6);
    PluginHost host(1, 1, rate, 256);
    host.set({{kSync, 0.0}, {kTimeL, 3000.0}});
    host.run({std::vector<double>(256, 0.25)});
    for (bool bypass : {true, false})
    {
      host.set({{kBypass, bypass ? 1.0 : 0.0}});
      const auto out = host.run({in})[0];
      for (size_t i = 0; i < in.size(); ++i)
      {
        // The share of the side fading out: the effect's when bypassing, else the input's.
        const double fading = std::max(0.0, 1.0 - double(i + 1) / double(ramp));
        const double inputShare = bypass ? 1.0 - fading : fading;
        ASSERT_NEAR(out[i], in[i] * inputShare, 1e-12) << rate << (bypass ? " on " : " off ") << i;
      }
    }
  }
}

TEST(Processing, DuckerListensToTheInputThatFeedsTheEchoes)
{
  // Echoes of a burst on the left, then noise on the right only. The left output is those
  // echoes alone (Mix 100 %, no ping-pong); it ducks when the right input is what the
  // ducker hears.
  const size_t burst = 4800, total = 48000;
  Channels in{noise(total, 7), noise(total, 8)};
  std::fill(in[0].begin() + burst, in[0].end(), 0.0);
  std::fill(in[1].begin(), in[1].begin() + burst, 0.0);
  using Mode = OstraTapeDelay::InputMode;
  auto echoLevel = [&](Mode mode, double duck)
  {
    PluginHost host(2, 2, 48000.0, 512);
    host.plugin->setInputMode(mode);
    host.set(
        {{kSync, 0.0}, {kTimeL, 200.0}, {kFeedback, 80.0}, {kDuck, duck}, {kDuckRelease, 50.0}});
    return rms(host.run(in)[0], 28800, total); // once the burst's own ducking is over
  };
  for (Mode mode : {Mode::kInputAuto, Mode::kInputStereo, Mode::kInputLeftOnly})
  {
    const double ratioDb = 20.0 * std::log10(echoLevel(mode, 24.0) / echoLevel(mode, 0.0));
    if (mode == Mode::kInputLeftOnly)
      EXPECT_GT(ratioDb, -0.5) << "the silent left input keys it";
    else
      EXPECT_LT(ratioDb, -18.0) << "mode " << static_cast<int>(mode)
                                << ": the louder input keys it";
  }
}

TEST(Processing, TapeMeterReportsThePeakAndMeanSquareOfTheDrivenLevel)
{
  const Channels in{noise(4000, 9), noise(4000, 10)};
  auto meter = [&](double driveDb, bool enabled)
  {
    PluginHost host(2, 2, 48000.0, 333);
    host.set({{kDrive, driveDb}});
    host.plugin->setMeterEnabled(enabled);
    host.run(in);
    float peak = -1.0f;
    double meanSquare = -1.0;
    host.plugin->takeMeter(peak, meanSquare);
    float again = -1.0f;
    double againSquare = -1.0;
    host.plugin->takeMeter(again, againSquare); // taking empties the accumulators
    EXPECT_EQ(std::pair(again, againSquare), std::pair(0.0f, 0.0));
    return std::pair(peak, meanSquare);
  };

  // What the two tape stages drive into their saturators, frame by frame.
  using ostratapedelay::dsp::Tape;
  Tape left, right;
  double expectedPeak = 0.0, sum = 0.0;
  for (Tape* t : {&left, &right})
  {
    t->prepare(48000.0);
    t->setDrive(std::pow(10.0, 6.0 / 20.0));
    t->setMode(Tape::kOversampled);
  }
  for (size_t i = 0; i < in[0].size(); ++i)
  {
    left.tick(in[0][i]);
    right.tick(in[1][i]);
    const double level = std::max(std::abs(left.lastDriven()), std::abs(right.lastDriven()));
    expectedPeak = std::max(expectedPeak, level);
    sum += level * level;
  }
  const auto [peak, meanSquare] = meter(6.0, true);
  EXPECT_EQ(peak, static_cast<float>(expectedPeak));
  EXPECT_NEAR(meanSquare, sum / double(in[0].size()), 1e-12);
  // Drive scales it; a closed editor's meter collects nothing.
  EXPECT_NEAR(meter(-6.0, true).first / peak, std::pow(10.0, -12.0 / 20.0), 1e-3);
  EXPECT_EQ(meter(6.0, false), std::pair(0.0f, 0.0));
}

TEST(Processing, APauseOfTheHostClearsTheEchoesAndRestartsTheTapsUnlessOffline)
{
  for (bool offline : {false, true})
  {
    PluginHost host(1, 1, 48000.0, 480);
    host.plugin->SetRenderingOffline(offline);
    host.set({{kSync, 0.0}, {kTimeL, 100.0}, {kFeedback, 50.0}, {kTap, 1.0}});
    host.run(host.impulse(2400)); // the impulse and a tap; its first echo is due at 4800
    host.plugin->OnTimer();       // the tap springs back
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    host.run(Channels{std::vector<double>(21600, 0.0)});
    host.set({{kTap, 1.0}}); // 0.5 s of samples after the first tap
    const auto out = host.run(Channels{std::vector<double>(9600, 0.0)})[0];
    host.plugin->OnTimer();
    if (offline)
    {
      EXPECT_GT(peak(out), 1e-4) << "echoes go on";
      EXPECT_NEAR(host.plugin->GetParam(kTimeL)->Value(), 500.0, 1e-9) << "the taps pair up";
    }
    else
    {
      EXPECT_EQ(peak(out), 0.0) << "the pause cleared the echoes";
      EXPECT_EQ(host.plugin->GetParam(kTimeL)->Value(), 100.0) << "the pause restarted the taps";
    }
  }
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
    host.set({{kSync, sync ? 1.0 : 0.0}, {kTimeL, 123.0}, {kLink, 0.0}, {kTimeR, 246.0}});
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
    // Unlinked, the right time keeps its ratio to the left one.
    EXPECT_NEAR(host.plugin->GetParam(kTimeR)->Value(), sync ? 246.0 : 1000.0, 1e-9) << sync;
  }
}

TEST(Processing, TapsAverageUpToFourIntervalsIgnoreBounceAndRestartAfterAPause)
{
  ostratapedelay::plugin::TapTempo tap;
  auto press = [&](double t)
  {
    tap.press(t);
    return tap.takeInterval();
  };
  const std::pair<double, double> presses[] = {
      {10.0, -1.0},  // a first tap gives nothing yet
      {10.5, 0.5},   // one interval
      {10.53, -1.0}, // 30 ms later: contact bounce, ignored
      {11.1, 0.55},  // the average of two intervals, from the tap before the bounce
      {11.5, 0.5},   // of three
      {12.2, 0.55},  // of four
      {12.6, 0.525}, // still of the last four, more than five taps in (the ring wraps)
      {13.0, 0.475}, {15.5, -1.0}, // after more than 2 s: a new sequence
      {15.8, 0.3},                 // not averaged with the old one
      {1.0, -1.0},                 // the clock went back (a reset): a new sequence too
      {1.25, 0.25}};
  for (auto [time, interval] : presses)
    EXPECT_NEAR(press(time), interval, 1e-12) << "tap at " << time;
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
