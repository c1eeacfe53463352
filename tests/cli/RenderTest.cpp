#include "cli/CliError.h"
#include "cli/CliTestSupport.h"
#include "cli/OfflineHost.h"
#include "cli/RenderCommand.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>

namespace ostratapedelay::cli
{
namespace
{

using test::Planes;
using test::TempDir;

Planes impulse(int channels, int frames, double level = 0.5, int at = 0)
{
  Planes planes(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames), 0.0));
  for (auto& p : planes)
    p[static_cast<size_t>(at)] = level;
  return planes;
}

Planes noise(int channels, int frames, std::uint32_t seed)
{
  Planes planes(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames)));
  for (auto& p : planes)
    for (auto& x : p)
    {
      seed = seed * 1664525u + 1013904223u;
      x = (static_cast<double>(seed) / 4294967296.0 - 0.5) * 0.5;
    }
  return planes;
}

size_t peakIndex(const std::vector<double>& x, size_t from = 0, size_t to = SIZE_MAX)
{
  to = std::min(to, x.size());
  size_t best = from;
  for (size_t i = from; i < to; ++i)
    if (std::fabs(x[i]) > std::fabs(x[best]))
      best = i;
  return best;
}

double peak(const std::vector<double>& x, size_t from = 0, size_t to = SIZE_MAX)
{
  to = std::min(to, x.size());
  double p = 0.0;
  for (size_t i = from; i < to; ++i)
    p = std::max(p, std::fabs(x[i]));
  return p;
}

class Render : public ::testing::Test
{
protected:
  RenderResult run(const std::string& in, const std::string& out, std::vector<std::string> sets = {},
                   const std::string& tail = "0", int channels = 0)
  {
    RenderOptions options;
    options.input = in;
    options.output = out;
    options.state.sets = std::move(sets);
    options.tail = tail;
    options.channels = channels;
    return render(options, notes, progress);
  }

  TempDir dir;
  std::ostringstream notes;
  std::ostringstream progress;
};

TEST_F(Render, AnImpulsesFirstEchoArrivesAfterAQuarterNoteAt120BPM)
{
  const std::string in = dir.file("impulse.wav");
  test::writeRaw(in, impulse(2, 36000), 48000);
  const RenderResult result = run(in, dir.file("out.wav"));
  EXPECT_EQ(result.inputFrames, 36000);
  EXPECT_EQ(result.tailFrames, 0);

  const Planes out = test::readRaw(dir.file("out.wav"));
  ASSERT_EQ(out.size(), 2u);
  ASSERT_EQ(out[0].size(), 36000u);
  for (const auto& channel : out)
  {
    // Mix 100 %: no dry impulse, silence until the echo, the echo's peak exactly on 24000.
    EXPECT_LT(peak(channel, 0, 23900), 1e-6);
    EXPECT_EQ(peakIndex(channel, 0, 36000), 24000u);
    EXPECT_GT(peak(channel, 23990, 24010), 0.05);
  }
  EXPECT_TRUE(progress.str().empty()); // no bar unless asked for
}

TEST_F(Render, TempoAndSampleRateSetTheEchoTime)
{
  const std::string in = dir.file("impulse.wav");
  test::writeRaw(in, impulse(1, 40000), 44100);
  RenderOptions options;
  options.input = in;
  options.output = dir.file("out.wav");
  options.state.tempo = 90.0;
  options.tail = "0";
  render(options, notes, progress);
  SF_INFO info{};
  const Planes out = test::readRaw(options.output, &info);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(peakIndex(out[0]), 29400u); // 2/3 s at 44.1 kHz

  // Sync off: the time in milliseconds.
  run(in, dir.file("ms.wav"), {"Sync=off", "Time L=250", "Wobble=0"});
  EXPECT_EQ(peakIndex(test::readRaw(dir.file("ms.wav"))[0]), 11025u);
}

TEST_F(Render, MixZeroReturnsTheInputUnchanged)
{
  const std::string in = dir.file("noise.wav");
  const Planes input = noise(2, 30000, 7);
  test::writeRaw(in, input, 48000);
  run(in, dir.file("dry.wav"), {"Mix=0", "Feedback=80", "Drive=12"});
  const Planes original = test::readRaw(in);
  const Planes out = test::readRaw(dir.file("dry.wav"));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out, original);
}

TEST_F(Render, MonoInputGivesMonoOrStereoOutput)
{
  const std::string in = dir.file("mono.wav");
  test::writeRaw(in, impulse(1, 30000), 48000);

  run(in, dir.file("mono-out.wav"));
  const Planes mono = test::readRaw(dir.file("mono-out.wav"));
  ASSERT_EQ(mono.size(), 1u);
  EXPECT_EQ(peakIndex(mono[0]), 24000u);

  const RenderResult result = run(in, dir.file("stereo-out.wav"), {}, "0", 2);
  EXPECT_EQ(result.channels, 2);
  const Planes stereo = test::readRaw(dir.file("stereo-out.wav"));
  ASSERT_EQ(stereo.size(), 2u);
  EXPECT_EQ(peakIndex(stereo[0]), 24000u);
  EXPECT_EQ(peakIndex(stereo[1]), 24000u);
  EXPECT_GT(peak(stereo[1]), 0.05);

  // A stereo file has no mono layout.
  const std::string stereoIn = dir.file("stereo.wav");
  test::writeRaw(stereoIn, impulse(2, 1000), 48000);
  EXPECT_THROW(run(stereoIn, dir.file("x.wav"), {}, "0", 1), CliError);
  EXPECT_THROW(run(stereoIn, dir.file("x.wav"), {}, "0", 3), CliError);
}

TEST_F(Render, InputModeLeftFeedsTheEchoesFromTheLeftChannelOnly)
{
  const std::string in = dir.file("right-only.wav");
  Planes input = impulse(2, 30000);
  input[0][0] = 0.0;
  test::writeRaw(in, input, 48000);

  RenderOptions options;
  options.input = in;
  options.tail = "0";
  options.inputMode = "stereo";
  options.output = dir.file("stereo.wav");
  render(options, notes, progress);
  EXPECT_GT(peak(test::readRaw(options.output)[1], 23990, 24010), 0.05);

  options.inputMode = "left";
  options.output = dir.file("left.wav");
  render(options, notes, progress);
  const Planes left = test::readRaw(options.output);
  EXPECT_LT(peak(left[0]), 1e-6);
  EXPECT_LT(peak(left[1]), 1e-6);

  options.inputMode = "middle";
  EXPECT_THROW(render(options, notes, progress), CliError);
}

TEST_F(Render, TheTailLetsTheEchoesRingOut)
{
  const std::string in = dir.file("impulse.wav");
  test::writeRaw(in, impulse(1, 4800), 48000);

  const RenderResult fixed = run(in, dir.file("fixed.wav"), {}, "2.5");
  EXPECT_EQ(fixed.tailFrames, 120000);
  EXPECT_EQ(test::readRaw(dir.file("fixed.wav"))[0].size(), 124800u);

  const RenderResult automatic = run(in, dir.file("auto.wav"), {"Feedback=60"}, "auto");
  const Planes out = test::readRaw(dir.file("auto.wav"));
  const auto frames = static_cast<size_t>(automatic.inputFrames + automatic.tailFrames);
  ASSERT_EQ(out[0].size(), frames);
  // Several echoes ring out, then the last second is below -96 dBFS.
  EXPECT_GT(automatic.tailFrames, 5 * 24000);
  EXPECT_LT(automatic.tailFrames, 60 * 48000);
  const double quiet = std::pow(10.0, -96.0 / 20.0);
  EXPECT_LT(peak(out[0], frames - 48000), quiet);
  EXPECT_GE(peak(out[0], frames - 48001, frames - 48000), quiet);
}

TEST_F(Render, AFailedRenderLeavesAnExistingOutputAndNoTemporaryFile)
{
  const std::string in = dir.file("in.wav");
  test::writeRaw(in, impulse(1, 1000), 48000);
  const std::string out = dir.file("out.wav");
  test::writeText(out, "precious");

  EXPECT_THROW(run(in, out, {"Bogus=1"}), CliError);
  EXPECT_THROW(run(dir.file("missing.wav"), out), CliError);
  EXPECT_THROW(run(in, out, {}, "forever"), CliError);
  EXPECT_EQ(test::readText(out), "precious");

  // A failure after all audio was written: a directory where the output should go.
  const std::string blocked = dir.file("blocked.wav");
  std::filesystem::create_directory(blocked);
  EXPECT_THROW(run(in, blocked), CliError);
  EXPECT_TRUE(std::filesystem::is_directory(blocked));

  auto names = dir.entries();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"blocked.wav", "in.wav", "out.wav"}));

  // A good render replaces it.
  run(in, out);
  EXPECT_EQ(test::readRaw(out)[0].size(), 1000u);
}

TEST_F(Render, WritesTheInputsFormatOrWhatTheExtensionAsksFor)
{
  const std::string floatIn = dir.file("float.wav");
  test::writeRaw(floatIn, noise(2, 2000, 3), 48000);
  const std::string pcmIn = dir.file("pcm.wav");
  test::writeRaw(pcmIn, noise(1, 2000, 4), 96000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

  SF_INFO info{};
  run(floatIn, dir.file("a.wav"));
  test::readRaw(dir.file("a.wav"), &info);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(info.samplerate, 48000);

  run(pcmIn, dir.file("b.wav"), {}, "0", 2);
  test::readRaw(dir.file("b.wav"), &info);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(info.samplerate, 96000);
  EXPECT_EQ(info.channels, 2);

  run(floatIn, dir.file("c.flac"));
  test::readRaw(dir.file("c.flac"), &info);
  EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
}

TEST_F(Render, BlockSizeDoesNotChangeTheSound)
{
  const std::string in = dir.file("noise.wav");
  test::writeRaw(in, noise(2, 30000, 11), 48000);
  RenderOptions options;
  options.input = in;
  options.tail = "0";
  options.state.sets = {"Sync=off", "Time L=100", "Time R=130", "Link=off", "Feedback=50", "Mix=50"};
  Planes results[2];
  const int blocks[2] = {1, 4096};
  for (int k = 0; k < 2; ++k)
  {
    options.blockSize = blocks[k];
    options.output = dir.file("b" + std::to_string(k) + ".wav");
    render(options, notes, progress);
    results[k] = test::readRaw(options.output);
  }
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < results[0][c].size(); ++i)
      ASSERT_NEAR(results[0][c][i], results[1][c][i], 1e-6) << "channel " << c << " frame " << i;

  options.blockSize = 0;
  EXPECT_THROW(render(options, notes, progress), CliError);
}

TEST(OfflineHost, APauseBetweenBlocksIsNotAGapAndTheIdleTimerTicksEvery20ms)
{
  OstraTapeDelay plugin;
  OfflineHost host(plugin, 48000.0, 1, 1, 512, 120.0);
  std::vector<double> in(30000, 0.0), out(30000, 0.0);
  in[0] = 0.5;
  const double* inPtr[] = {in.data()};
  double* outPtr[] = {out.data()};
  host.process(inPtr, outPtr, 12000);
  // Longer than the plug-in's gap threshold: a real-time host would have stopped.
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  const double* inRest[] = {in.data() + 12000};
  double* outRest[] = {out.data() + 12000};
  host.process(inRest, outRest, 18000);
  EXPECT_EQ(peakIndex(out), 24000u);
  EXPECT_GT(std::fabs(out[24000]), 0.05);
  EXPECT_EQ(host.timerTicks(), 30000u / 960u);
  EXPECT_EQ(host.framesProcessed(), 30000);
}

TEST(OfflineHost, RefusesALayoutThePlugInDoesNotTake)
{
  OstraTapeDelay plugin;
  EXPECT_THROW(OfflineHost(plugin, 48000.0, 2, 1, 512, 120.0), CliError);
  EXPECT_THROW(OfflineHost(plugin, 48000.0, 3, 3, 512, 120.0), CliError);
}

} // namespace
} // namespace ostratapedelay::cli
