// The processor's buffers: processing, bypass, latency delay, block size, float conversion.
#include "framework/IProcessor.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace plug;

namespace
{

template <typename T>
using Buffers = std::vector<std::vector<T>>;
using D = std::vector<double>;
using F = std::vector<float>;

Config MakeConfig(const char* io = "1-1 1-2 2-2", int latency = 0)
{
  Config c;
  c.channelIOStr = io;
  c.latency = latency;
  return c;
}

// Doubles every input sample (or writes 7 where no input channel exists) and records what
// it was handed, so a test can tell processing from pass-through.
class GainProcessor : public IProcessor
{
public:
  explicit GainProcessor(const Config& config, int blockSize) : IProcessor(config)
  {
    if (blockSize > 0)
      SetBlockSize(blockSize);
  }

  void ProcessBlock(double** inputs, double** outputs, int nFrames) override
  {
    ++calls;
    largestBlock = std::max(largestBlock, nFrames);
    secondOutputOnEntry = outputs[1][0];
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int i = 0; i < nFrames; ++i)
        outputs[c][i] = c < NChannels(kInput) ? 2.0 * inputs[c][i] : 7.0;
  }

  int calls = 0;
  int largestBlock = 0;
  double secondOutputOnEntry = -1.0;
};

/** Connects one channel per buffer on each side and attaches the buffers. */
template <typename T>
void Wire(IProcessor& proc, Buffers<T>& ins, Buffers<T>& outs)
{
  std::vector<T*> in, out;
  for (auto& b : ins)
    in.push_back(b.data());
  for (auto& b : outs)
    out.push_back(b.data());
  const int nIn = static_cast<int>(in.size()), nOut = static_cast<int>(out.size());
  proc.SetChannelConnections(kInput, 0, nIn, true);
  proc.SetChannelConnections(kOutput, 0, nOut, true);
  proc.AttachBuffers(kInput, 0, nIn, in.data(), static_cast<int>(outs[0].size()));
  proc.AttachBuffers(kOutput, 0, nOut, out.data(), static_cast<int>(outs[0].size()));
}

D Ramp(int n, double start)
{
  D v;
  for (int i = 0; i < n; ++i)
    v.push_back(start + i);
  return v;
}

} // namespace

TEST(Processor, SamplesPerBeatFromRateAndTempoWithBadTemposGivingZero)
{
  IProcessor proc(MakeConfig());
  EXPECT_DOUBLE_EQ(proc.GetSamplesPerBeat(), 24000.0); // 48000 Hz and 120 bpm until told
  ITimeInfo t;
  t.mTempo = 90.0;
  proc.SetSampleRate(44100.0);
  proc.SetTimeInfo(t);
  EXPECT_DOUBLE_EQ(proc.GetSamplesPerBeat(), 29400.0);
  for (double bad : {0.0, -120.0, std::numeric_limits<double>::quiet_NaN()})
  {
    t.mTempo = bad;
    proc.SetTimeInfo(t);
    EXPECT_EQ(proc.GetSamplesPerBeat(), 0.0) << bad;
  }
}

TEST(Processor, ProcessBuffersRunsLongBlocksInSlicesAndSilencesWithoutABlockSize)
{
  GainProcessor proc(MakeConfig(), 16);
  Buffers<double> stereoIn{Ramp(4, 1), Ramp(4, 100)}, stereoOut{D(4), D(4)};
  Wire(proc, stereoIn, stereoOut);
  proc.ProcessBuffers(4);
  EXPECT_EQ(stereoOut, (Buffers<double>{{2, 4, 6, 8}, {200, 202, 204, 206}}));

  // With input 1 unconnected the block runs through the scratch buffers, in slices.
  proc.SetChannelConnections(kInput, 1, 1, false);
  Buffers<double> ins{Ramp(100, 0)}, outs{D(100), D(100, 9.0)};
  Wire(proc, ins, outs);
  proc.ProcessBuffers(100);
  EXPECT_EQ(proc.calls, 1 + 7); // 6 slices of 16 and one of 4
  EXPECT_EQ(proc.largestBlock, 16);
  for (size_t i = 0; i < 100; ++i)
    ASSERT_EQ(outs[0][i], 2.0 * i) << i;
  EXPECT_EQ(outs[1], D(100, 0.0));

  // Nothing to slice into yet: silence instead of an overrun.
  GainProcessor unsized(MakeConfig(), 0);
  Buffers<double> in8{Ramp(8, 1)}, out8{D(8, 5.0)};
  Wire(unsized, in8, out8);
  unsized.ProcessBuffers(8);
  EXPECT_EQ(unsized.calls, 0);
  EXPECT_EQ(out8[0], D(8, 0.0));
}

TEST(Processor, ConnectionsStayInsideTheChannelRecordsAndAnUnconnectedChannelTakesNoPointer)
{
  GainProcessor proc(MakeConfig(), 4);
  proc.SetChannelConnections(kInput, 1, 5, true);
  EXPECT_EQ(proc.NChannelsConnected(kInput), 1);
  EXPECT_FALSE(proc.IsChannelConnected(kInput, 0));
  proc.SetChannelConnections(kInput, -3, 10, true);
  EXPECT_EQ(proc.NChannelsConnected(kInput), 2);
  EXPECT_FALSE(proc.IsChannelConnected(kInput, 7));
  EXPECT_EQ(proc.NChannelsConnected(kOutput), 0);

  // Only one pointer is listed for two channels: the unconnected one reads silence.
  proc.SetChannelConnections(kInput, 1, 1, false);
  D in = Ramp(4, 1), outL(4), outR(4, -5.0);
  double* inPtrs[] = {in.data()};
  double* outPtrs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 2, inPtrs, 4);
  proc.AttachBuffers(kOutput, 0, 2, outPtrs, 4);
  proc.ProcessBuffers(4);
  EXPECT_EQ(outL, (D{2, 4, 6, 8}));
  EXPECT_EQ(outR, D(4, 0.0));
}

TEST(Processor, BypassCopiesWithoutProcessingAndMonoIntoStereoLeavesTheRightSilent)
{
  GainProcessor stereo(MakeConfig(), 16), mono(MakeConfig(), 4);
  Buffers<double> ins{Ramp(16, 0.5), Ramp(16, -3)}, outs{D(16, 9.0), D(16, 9.0)};
  Wire(stereo, ins, outs);
  stereo.PassThroughBuffers(16);
  EXPECT_EQ(outs, ins);

  Buffers<double> monoIn{Ramp(4, 1)}, monoOuts{D(4, 9.0), D(4, 9.0)};
  Wire(mono, monoIn, monoOuts);
  mono.PassThroughBuffers(4);
  EXPECT_EQ(monoOuts, (Buffers<double>{monoIn[0], D(4, 0.0)}));
  EXPECT_EQ(stereo.calls + mono.calls, 0);

  // In place, with a host block longer than the scratch buffers.
  GainProcessor inPlace(MakeConfig(), 2);
  Buffers<double> io{Ramp(64, 1), Ramp(64, 200)};
  const Buffers<double> want = io;
  Wire(inPlace, io, io);
  inPlace.PassThroughBuffers(64);
  EXPECT_EQ(io, want);
}

TEST(Processor, BypassKeepsTheReportedLatencyAcrossBlocksAndRestartsOnANewOne)
{
  GainProcessor proc(MakeConfig("1-1 1-2 2-2", 3), 5);
  proc.InitLatencyDelay();
  ASSERT_TRUE(proc.HasLatencyDelay());
  const auto bypass = [&](double start) {
    Buffers<double> ins{Ramp(5, start), Ramp(5, start + 100)}, outs{D(5), D(5)};
    Wire(proc, ins, outs);
    proc.PassThroughBuffers(5);
    return outs;
  };
  EXPECT_EQ(bypass(1), (Buffers<double>{{0, 0, 0, 1, 2}, {0, 0, 0, 101, 102}}));
  EXPECT_EQ(bypass(6), (Buffers<double>{{3, 4, 5, 6, 7}, {103, 104, 105, 106, 107}}));
  proc.SetLatency(2); // empties the delay
  EXPECT_EQ(bypass(11)[0], (D{0, 0, 11, 12, 13}));
  EXPECT_EQ(proc.calls, 0);
}

TEST(Processor, LatencyDelayNeverReplaysNonFiniteInput)
{
  IProcessor proc(MakeConfig("2-2", 2));
  proc.SetBlockSize(4);
  proc.InitLatencyDelay();
  Buffers<double> ins{{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1.0, 2.0},
                      D(4, 0.25)},
    outs{D(4), D(4)};
  Wire(proc, ins, outs);
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outs, (Buffers<double>{D(4, 0.0), {0, 0, 0.25, 0.25}}));
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outs[0], (D{1, 2, 0, 0}));
}

TEST(Processor, ScratchBuffersAreZeroedOnABlockSizeChangeOrOnRequestOnly)
{
  // In "1-2" the second output has no input, so ProcessBlock writes 7 into it; unconnected,
  // it lands in the scratch buffer, where the next call finds it unless it was zeroed.
  GainProcessor proc(MakeConfig("1-2"), 4);
  Buffers<double> ins{Ramp(8, 1)}, outs{D(8)};
  Wire(proc, ins, outs);
  std::vector<double> seen;
  const auto run = [&] {
    proc.ProcessBuffers(4);
    seen.push_back(proc.secondOutputOnEntry);
  };
  run();
  run();
  proc.SetBlockSize(4); // unchanged: kept
  run();
  proc.ZeroScratchBuffers();
  run();
  proc.SetBlockSize(8);
  proc.ProcessBuffers(8);
  seen.push_back(proc.secondOutputOnEntry);
  EXPECT_EQ(seen, (D{0, 7, 7, 0, 0}));
  EXPECT_EQ(proc.largestBlock, 8);
  EXPECT_EQ(outs[0][7], 16.0);
}

TEST(Processor, FloatBuffersRoundTripExactlyThroughDoubleProcessing)
{
  // Every float is exactly representable as a double, so an identity pass is bit-exact.
  IProcessor identity(MakeConfig());
  identity.SetBlockSize(8);
  Buffers<float> ins{{0.0f, -0.0f, 1e-38f, -1.0f, 0.1f, 3.4e38f, 1e-45f, 0.7071068f},
                     {1.0f, 2.0f, -3.5f, 1e-7f, -1e-7f, 0.333333f, 123456.789f, -0.5f}},
    outs{F(8, 9.0f), F(8, 9.0f)};
  Wire(identity, ins, outs);
  identity.ProcessBuffers(0.0f, 8);
  EXPECT_EQ(outs, ins);

  // Long blocks are sliced; an input disconnected later reads silence, not stale audio.
  GainProcessor proc(MakeConfig(), 32);
  Buffers<float> in{F(100), F(100, 1.0f)}, out{F(100, 9.0f), F(100, 9.0f)};
  for (size_t i = 0; i < 100; ++i)
    in[0][i] = 0.25f * static_cast<float>(i);
  Wire(proc, in, out);
  proc.ProcessBuffers(0.0f, 100);
  EXPECT_EQ(proc.calls, 4);
  EXPECT_EQ(proc.largestBlock, 32);
  for (size_t i = 0; i < 100; ++i)
    ASSERT_EQ(out[0][i], 2.0f * in[0][i]) << i;
  EXPECT_EQ(out[1], F(100, 2.0f));
  proc.SetChannelConnections(kInput, 1, 1, false);
  proc.ProcessBuffers(0.0f, 100);
  EXPECT_EQ(out[1], F(100, 0.0f));
}

TEST(Processor, FloatBypassCopiesMonoToTheLeftAndKeepsTheLatency)
{
  for (int latency : {0, 1})
  {
    SCOPED_TRACE(latency);
    IProcessor proc(MakeConfig("1-2", latency));
    proc.SetBlockSize(4);
    proc.InitLatencyDelay();
    Buffers<float> ins{{1, 2, 3, 4}}, outs{F(4, 9.0f), F(4, 9.0f)};
    Wire(proc, ins, outs);
    proc.PassThroughBuffers(0.0f, 4);
    EXPECT_EQ(outs[0], latency ? F({0, 1, 2, 3}) : ins[0]);
    EXPECT_EQ(outs[1], F(4, 0.0f));
  }
}

TEST(Processor, ActivationNotifiesOnlyOnChange)
{
  struct Counting : IProcessor
  {
    using IProcessor::IProcessor;
    void OnActivate(bool active) override { seen.push_back(active); }
    std::vector<bool> seen;
  } proc(MakeConfig());
  for (bool active : {true, true, false})
    proc.SetActive(active);
  EXPECT_EQ(proc.seen, (std::vector<bool>{true, false}));
}
