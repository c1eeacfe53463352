#include "cli/CliTestSupport.h"
#include "cli/OfflineHost.h"
#include "cli/RenderCommand.h"
#include "plugin/OstraTapeDelay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace ostratapedelay::cli
{
namespace
{

using namespace test;

class Render : public ::testing::Test
{
protected:
  /** Options rendering `in` into `out` without a tail. */
  RenderOptions options(const std::string& in, const std::string& out,
                        std::vector<std::string> sets = {})
  {
    RenderOptions o;
    o.input = dir.file(in);
    o.output = dir.file(out);
    o.state.sets = std::move(sets);
    o.tail = "0";
    return o;
  }
  RenderResult run(const RenderOptions& o) { return render(o, notes, progress); }
  RenderResult run(const std::string& in, const std::string& out,
                   std::vector<std::string> sets = {})
  {
    return run(options(in, out, std::move(sets)));
  }

  TempDir dir;
  std::ostringstream notes, progress;
};

TEST_F(Render, AnImpulsesFirstEchoLandsOnTheBeatInTheInputsRateAndFormat)
{
  const struct
  {
    int rate, channels, outChannels, format;
    double tempo;
    std::vector<std::string> sets;
    size_t echo;
  } cases[] = {
      {48000, 2, 0, kFloatWav, 120.0, {}, 24000}, // a quarter note at 120 BPM
      {48000, 1, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 120.0, {}, 24000}, // mono to stereo
      {44100, 1, 0, kFloatWav, 90.0, {}, 29400},                         // 2/3 s
      {44100,
       1,
       0,
       kFloatWav,
       120.0,
       {"Sync=off", "Time L=250", "Wobble=0"},
       11025}, // Sync off: milliseconds
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.echo);
    writeRaw(dir.file("in.wav"), impulse(c.channels, 36000), c.rate, c.format);
    RenderOptions o = options("in.wav", "out.wav", c.sets);
    o.state.tempo = c.tempo;
    o.channels = c.outChannels;
    const RenderResult result = run(o);
    EXPECT_EQ(result.inputFrames, 36000);
    EXPECT_EQ(result.tailFrames, 0);
    SF_INFO info{};
    const Planes out = readRaw(o.output, &info);
    EXPECT_EQ(info.samplerate, c.rate);
    EXPECT_EQ(info.format, c.format);
    ASSERT_EQ(out.size(), static_cast<size_t>(std::max(c.channels, c.outChannels)));
    for (const auto& channel : out)
    {
      // Mix 100 %: no dry impulse, silence until the echo, its peak exactly on time.
      ASSERT_EQ(channel.size(), 36000u);
      EXPECT_LT(peak(channel, 0, c.echo - 100), 1e-4);
      EXPECT_EQ(peakIndex(channel), c.echo);
      EXPECT_GT(peak(channel, c.echo - 10, c.echo + 10), 0.05);
    }
  }
  EXPECT_TRUE(progress.str().empty()); // no bar unless asked for
}

TEST_F(Render, MixZeroReturnsTheInputUnchanged)
{
  writeRaw(dir.file("noise.wav"), noise(2, 30000, 7), 48000);
  run("noise.wav", "dry.wav", {"Mix=0", "Feedback=80", "Drive=12"});
  EXPECT_EQ(readRaw(dir.file("dry.wav")), readRaw(dir.file("noise.wav")));
}

TEST_F(Render, RefusesLayoutsAndInputModesItCannotUse)
{
  // A stereo file has no mono or three-channel layout.
  writeRaw(dir.file("stereo.wav"), impulse(2, 1000), 48000);
  RenderOptions o = options("stereo.wav", "x.wav");
  for (int channels : {1, 3})
  {
    o.channels = channels;
    EXPECT_THROW(run(o), CliError) << channels;
  }
  o.channels = 0;
  o.inputMode = "middle";
  EXPECT_THROW(run(o), CliError);

  // Input mode "left" feeds the echoes from the left channel only.
  Planes rightOnly = impulse(2, 30000);
  rightOnly[0][0] = 0.0;
  writeRaw(dir.file("right-only.wav"), rightOnly, 48000);
  o = options("right-only.wav", "left.wav");
  o.inputMode = "left";
  run(o);
  const Planes left = readRaw(o.output);
  EXPECT_LT(std::max(peak(left[0]), peak(left[1])), 1e-6);

  // A file cut short renders what it holds, with a warning.
  writeRaw(dir.file("whole.wav"), noise(1, 2000, 5), 48000);
  const std::string whole = readText(dir.file("whole.wav"));
  writeText(dir.file("cut.wav"), whole.substr(0, whole.size() - 4000));
  EXPECT_EQ(run("cut.wav", "cut-out.wav").inputFrames, 1000);
  EXPECT_TRUE(
      contains(notes.str(), "warning: '" + dir.file("cut.wav") + "' ends before its header says"))
      << notes.str();
}

TEST_F(Render, TheTailLetsTheEchoesRingOut)
{
  writeRaw(dir.file("impulse.wav"), impulse(1, 4800), 48000);
  RenderOptions o = options("impulse.wav", "fixed.wav");
  o.tail = "2.5";
  EXPECT_EQ(run(o).tailFrames, 120000);
  EXPECT_EQ(readRaw(o.output)[0].size(), 124800u);

  o = options("impulse.wav", "auto.wav", {"Feedback=60"});
  o.tail = "auto";
  const RenderResult automatic = run(o);
  const Planes out = readRaw(o.output);
  const auto frames = static_cast<size_t>(automatic.inputFrames + automatic.tailFrames);
  ASSERT_EQ(out[0].size(), frames);
  // Several echoes ring out, then exactly the last second is below -96 dBFS.
  EXPECT_GT(automatic.tailFrames, 5 * 24000);
  EXPECT_LT(automatic.tailFrames, 60 * 48000);
  const double quiet = std::pow(10.0, -96.0 / 20.0);
  EXPECT_LT(peak(out[0], frames - 48000), quiet);
  EXPECT_GE(peak(out[0], frames - 48001, frames - 48000), quiet);
}

TEST_F(Render, AFailedRenderLeavesAnExistingOutputAndNoTemporaryFile)
{
  writeRaw(dir.file("in.wav"), impulse(1, 1000), 48000);
  writeText(dir.file("out.wav"), "precious");
  EXPECT_THROW(run("in.wav", "out.wav", {"Bogus=1"}), CliError);
  EXPECT_THROW(run("missing.wav", "out.wav"), CliError);
  RenderOptions endless = options("in.wav", "out.wav");
  endless.tail = "forever";
  EXPECT_THROW(run(endless), CliError);
  EXPECT_EQ(readText(dir.file("out.wav")), "precious");

  // A failure after all audio was written: a directory where the output should go.
  std::filesystem::create_directory(dir.file("blocked.wav"));
  EXPECT_THROW(run("in.wav", "blocked.wav"), CliError);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("blocked.wav")));
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"blocked.wav", "in.wav", "out.wav"}));

  run("in.wav", "out.wav"); // a good render replaces it
  EXPECT_EQ(readRaw(dir.file("out.wav"))[0].size(), 1000u);
}

TEST_F(Render, BlockSizeDoesNotChangeTheSound)
{
  writeRaw(dir.file("noise.wav"), noise(2, 30000, 11), 48000);
  RenderOptions o =
      options("noise.wav", "",
              {"Sync=off", "Time L=100", "Time R=130", "Link=off", "Feedback=50", "Mix=50"});
  Planes results[2];
  for (int k : {0, 1})
  {
    o.blockSize = k == 0 ? 1 : 4096;
    o.output = dir.file("b" + std::to_string(k) + ".wav");
    run(o);
    results[k] = readRaw(o.output);
  }
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < results[0][c].size(); ++i)
      ASSERT_NEAR(results[0][c][i], results[1][c][i], 1e-6) << "channel " << c << " frame " << i;
  o.blockSize = 0;
  EXPECT_THROW(run(o), CliError);
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

} // namespace
} // namespace ostratapedelay::cli
