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

// Doubles every input sample, so a test can tell processing from pass-through.
class GainProcessor : public IProcessor
{
public:
  GainProcessor(const Config& config, int blockSize)
    : IProcessor(config)
  {
    if (blockSize > 0)
      SetBlockSize(blockSize);
  }
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override
  {
    ++calls;
    largestBlock = std::max(largestBlock, nFrames);
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int i = 0; i < nFrames; ++i)
        outputs[c][i] = 2.0 * inputs[c][i];
  }
  int calls = 0;
  int largestBlock = 0;
};

// Connects one channel per buffer on each side and attaches the buffers.
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

TEST(Processor, LongBlocksRunInSlicesConnectionsStayInRangeAndNoBlockSizeGivesSilence)
{
  // With input 1 unconnected the block runs through the scratch buffers, reading silence.
  GainProcessor proc(MakeConfig(), 16);
  Buffers<double> ins{Ramp(100, 0)}, outs{D(100), D(100, 9.0)};
  Wire(proc, ins, outs);
  proc.ProcessBuffers(100);
  EXPECT_EQ(proc.calls, 7); // 6 slices of 16 and one of 4
  EXPECT_EQ(proc.largestBlock, 16);
  for (size_t i = 0; i < 100; ++i)
    ASSERT_EQ(outs[0][i], 2.0 * i) << i;
  EXPECT_EQ(outs[1], D(100, 0.0));

  proc.SetChannelConnections(kInput, 1, 5, true);
  proc.SetChannelConnections(kInput, -3, 10, true);
  EXPECT_EQ(proc.NChannelsConnected(kInput), 2);
  EXPECT_FALSE(proc.IsChannelConnected(kInput, 7));

  // Nothing to slice into yet: silence instead of an overrun.
  GainProcessor unsized(MakeConfig(), 0);
  Buffers<double> in8{Ramp(8, 1)}, out8{D(8, 5.0)};
  Wire(unsized, in8, out8);
  unsized.ProcessBuffers(8);
  EXPECT_EQ(unsized.calls, 0);
  EXPECT_EQ(out8[0], D(8, 0.0));
}

TEST(Processor, BypassCopiesWithoutProcessingAndMonoIntoStereoLeavesTheRightSilent)
{
  GainProcessor mono(MakeConfig(), 4);
  Buffers<double> monoIn{Ramp(4, 1)}, monoOuts{D(4, 9.0), D(4, 9.0)};
  Wire(mono, monoIn, monoOuts);
  mono.PassThroughBuffers(4);
  EXPECT_EQ(monoOuts, (Buffers<double>{monoIn[0], D(4, 0.0)}));
  EXPECT_EQ(mono.calls, 0);

  // Stereo in place, with a host block longer than the scratch buffers.
  GainProcessor inPlace(MakeConfig(), 2);
  Buffers<double> io{Ramp(64, 1), Ramp(64, 200)};
  const Buffers<double> want = io;
  Wire(inPlace, io, io);
  inPlace.PassThroughBuffers(64);
  EXPECT_EQ(io, want);
  EXPECT_EQ(inPlace.calls, 0);
}

TEST(Processor, BypassLatencyDelayCarriesAcrossBlocksButNeverReplaysNonFiniteInput)
{
  IProcessor proc(MakeConfig("2-2", 2));
  proc.SetBlockSize(4);
  proc.InitLatencyDelay();
  Buffers<double> ins{
      {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1.0, 2.0},
      D(4, 0.25)},
      outs{D(4), D(4)};
  Wire(proc, ins, outs);
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outs, (Buffers<double>{D(4, 0.0), {0, 0, 0.25, 0.25}}));
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outs[0], (D{1, 2, 0, 0}));

  // A new latency resizes the delay (starting from silence); none passes straight through.
  proc.SetLatency(3);
  ins = {{1, 2, 3, 4}, D(4, 0.5)};
  Wire(proc, ins, outs);
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outs, (Buffers<double>{{0, 0, 0, 1}, {0, 0, 0, 0.5}}));
  proc.SetLatency(0);
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outs, ins);
}

TEST(Processor, FloatBuffersRoundTripExactlyThroughDoubleProcessingAndBypass)
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
  Buffers<float> in{F(100, 0.25f), F(100, 1.0f)}, out{F(100, 9.0f), F(100, 9.0f)};
  Wire(proc, in, out);
  proc.ProcessBuffers(0.0f, 100);
  EXPECT_EQ(proc.calls, 4);
  EXPECT_EQ(out, (Buffers<float>{F(100, 0.5f), F(100, 2.0f)}));
  proc.SetChannelConnections(kInput, 1, 1, false);
  proc.ProcessBuffers(0.0f, 100);
  EXPECT_EQ(out[1], F(100, 0.0f));

  // Bypass of mono into stereo in floats, behind a latency of one sample.
  IProcessor delayed(MakeConfig("1-2", 1));
  delayed.SetBlockSize(4);
  delayed.InitLatencyDelay();
  Buffers<float> monoIn{{1, 2, 3, 4}}, stereoOut{F(4, 9.0f), F(4, 9.0f)};
  Wire(delayed, monoIn, stereoOut);
  delayed.PassThroughBuffers(0.0f, 4);
  EXPECT_EQ(stereoOut, (Buffers<float>{{0, 1, 2, 3}, F(4, 0.0f)}));
}
