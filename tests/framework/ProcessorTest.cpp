// The processor's buffers: processing, bypass, latency delay, block size, float conversion.
#include "framework/IProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace plug;

namespace
{

Config StereoConfig(const char* io = "1-1 1-2 2-2", int latency = 0)
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
  using IProcessor::IProcessor;

  void ProcessBlock(double** inputs, double** outputs, int nFrames) override
  {
    ++calls;
    largestBlock = std::max(largestBlock, nFrames);
    firstOutputOnEntry.clear();
    for (int c = 0; c < NChannels(kOutput); ++c)
      firstOutputOnEntry.push_back(outputs[c][0]);
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int i = 0; i < nFrames; ++i)
        outputs[c][i] = c < NChannels(kInput) ? 2.0 * inputs[c][i] : 7.0;
  }

  int calls = 0;
  int largestBlock = 0;
  std::vector<double> firstOutputOnEntry;
};

std::vector<double> Ramp(int n, double start)
{
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<size_t>(i)] = start + i;
  return v;
}

} // namespace

TEST(Processor, DefaultsBeforeTheHostSetsAnything)
{
  IProcessor proc(StereoConfig());
  EXPECT_EQ(proc.GetSampleRate(), 48000.0);
  EXPECT_EQ(proc.GetBlockSize(), 0);
  EXPECT_EQ(proc.GetLatency(), 0);
  EXPECT_EQ(proc.GetTailSize(), 0);
  EXPECT_FALSE(proc.GetRenderingOffline());
  EXPECT_EQ(proc.NChannelsConnected(kInput), 0);
  const ITimeInfo& t = proc.GetTimeInfo();
  EXPECT_EQ(t.mTempo, 120.0);
  EXPECT_EQ(t.mSamplePos, -1.0);
  EXPECT_EQ(t.mPPQPos, -1.0);
  EXPECT_EQ(t.mLastBar, -1.0);
  EXPECT_EQ(t.mLoopStart, -1.0);
  EXPECT_EQ(t.mLoopEnd, -1.0);
  EXPECT_EQ(t.mNumerator, 4);
  EXPECT_EQ(t.mDenominator, 4);
  EXPECT_FALSE(t.mPlaying);
  EXPECT_FALSE(t.mLooping);

  proc.SetRenderingOffline(true);
  EXPECT_TRUE(proc.GetRenderingOffline());
}

TEST(Processor, SamplesPerBeat)
{
  IProcessor proc(StereoConfig());
  EXPECT_DOUBLE_EQ(proc.GetSamplesPerBeat(), 24000.0);
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

TEST(Processor, ConnectionsAreLimitedToTheChannelRecords)
{
  IProcessor proc(StereoConfig());
  proc.SetChannelConnections(kInput, 1, 5, true);
  EXPECT_EQ(proc.NChannelsConnected(kInput), 1);
  EXPECT_TRUE(proc.IsChannelConnected(kInput, 1));
  EXPECT_FALSE(proc.IsChannelConnected(kInput, 0));
  proc.SetChannelConnections(kInput, -3, 10, true);
  EXPECT_EQ(proc.NChannelsConnected(kInput), 2);
  proc.SetChannelConnections(kInput, 0, 1, false);
  EXPECT_EQ(proc.NChannelsConnected(kInput), 1);
  EXPECT_FALSE(proc.IsChannelConnected(kInput, 7));
  EXPECT_EQ(proc.NChannelsConnected(kOutput), 0);
  EXPECT_FALSE(proc.GetChannelLabel(kOutput, 1).empty());
}

TEST(Processor, ProcessBuffersHandsTheAttachedBuffersToProcessBlock)
{
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(8);
  std::vector<double> inL = Ramp(8, 1), inR = Ramp(8, 100), outL(8), outR(8);
  double* ins[] = {inL.data(), inR.data()};
  double* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 2, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 2, ins, 8);
  proc.AttachBuffers(kOutput, 0, 2, outs, 8);
  proc.ProcessBuffers(8);
  EXPECT_EQ(proc.calls, 1);
  for (int i = 0; i < 8; ++i)
  {
    EXPECT_EQ(outL[static_cast<size_t>(i)], 2.0 * (1 + i));
    EXPECT_EQ(outR[static_cast<size_t>(i)], 2.0 * (100 + i));
  }
}

TEST(Processor, UnconnectedInputReadsSilenceAndTakesNoPointer)
{
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(4);
  std::vector<double> in = Ramp(4, 1), outL(4), outR(4, -5.0);
  double* ins[] = {in.data()};
  double* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 1, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  // Only one pointer is listed for two channels: the unconnected one must not consume it.
  proc.AttachBuffers(kInput, 0, 2, ins, 4);
  proc.AttachBuffers(kOutput, 0, 2, outs, 4);
  proc.ProcessBuffers(4);
  EXPECT_EQ(outL, (std::vector<double>{2, 4, 6, 8}));
  EXPECT_EQ(outR, std::vector<double>(4, 0.0));
}

TEST(Processor, BypassCopiesStereoWithoutProcessing)
{
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(16);
  std::vector<double> inL = Ramp(16, 0.5), inR = Ramp(16, -3), outL(16, 9.0), outR(16, 9.0);
  double* ins[] = {inL.data(), inR.data()};
  double* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 2, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 2, ins, 16);
  proc.AttachBuffers(kOutput, 0, 2, outs, 16);
  proc.PassThroughBuffers(16);
  EXPECT_EQ(proc.calls, 0);
  EXPECT_EQ(outL, inL);
  EXPECT_EQ(outR, inR);
}

TEST(Processor, BypassMonoIntoStereoGivesLeftCopyAndSilentRight)
{
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(4);
  std::vector<double> in = Ramp(4, 1), outL(4, 9.0), outR(4, 9.0);
  double* ins[] = {in.data()};
  double* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 1, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 1, ins, 4);
  proc.AttachBuffers(kOutput, 0, 2, outs, 4);
  proc.PassThroughBuffers(4);
  EXPECT_EQ(proc.calls, 0);
  EXPECT_EQ(outL, in);
  EXPECT_EQ(outR, std::vector<double>(4, 0.0));
}

TEST(Processor, BypassInPlaceAndLongerThanTheBlockSize)
{
  // A host block longer than the scratch buffers, with the host's buffers shared in place.
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(2);
  std::vector<double> bufL = Ramp(64, 1), bufR = Ramp(64, 200);
  const std::vector<double> wantL = bufL, wantR = bufR;
  double* io[] = {bufL.data(), bufR.data()};
  proc.SetChannelConnections(kInput, 0, 2, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 2, io, 64);
  proc.AttachBuffers(kOutput, 0, 2, io, 64);
  proc.PassThroughBuffers(64);
  EXPECT_EQ(bufL, wantL);
  EXPECT_EQ(bufR, wantR);
}

TEST(Processor, BypassKeepsTheReportedLatency)
{
  GainProcessor proc(StereoConfig("1-1 1-2 2-2", 3));
  proc.SetBlockSize(5);
  proc.InitLatencyDelay();
  ASSERT_TRUE(proc.HasLatencyDelay());
  std::vector<double> inL(5), inR(5), outL(5), outR(5);
  double* ins[] = {inL.data(), inR.data()};
  double* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 2, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);

  // Two blocks of a ramp: the output is the same ramp three frames later, across the seam.
  std::vector<double> gotL, gotR;
  for (int block = 0; block < 2; ++block)
  {
    for (int i = 0; i < 5; ++i)
    {
      inL[static_cast<size_t>(i)] = 1 + block * 5 + i;
      inR[static_cast<size_t>(i)] = -(1 + block * 5 + i);
    }
    proc.AttachBuffers(kInput, 0, 2, ins, 5);
    proc.AttachBuffers(kOutput, 0, 2, outs, 5);
    proc.PassThroughBuffers(5);
    gotL.insert(gotL.end(), outL.begin(), outL.end());
    gotR.insert(gotR.end(), outR.begin(), outR.end());
  }
  EXPECT_EQ(proc.calls, 0);
  EXPECT_EQ(gotL, (std::vector<double>{0, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(gotR, (std::vector<double>{0, 0, 0, -1, -2, -3, -4, -5, -6, -7}));

  // A new latency empties the delay: the next output starts with its new length of silence.
  proc.SetLatency(2);
  proc.AttachBuffers(kInput, 0, 2, ins, 5);
  proc.AttachBuffers(kOutput, 0, 2, outs, 5);
  proc.PassThroughBuffers(5);
  EXPECT_EQ(outL, (std::vector<double>{0, 0, inL[0], inL[1], inL[2]}));
}

TEST(Processor, LatencyDelayNeverReplaysNonFiniteInput)
{
  IProcessor proc(StereoConfig("2-2", 2));
  proc.SetBlockSize(4);
  proc.InitLatencyDelay();
  std::vector<double> inL = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(), 1.0, 2.0};
  std::vector<double> inR(4, 0.25), outL(4), outR(4);
  double* ins[] = {inL.data(), inR.data()};
  double* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 2, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 2, ins, 4);
  proc.AttachBuffers(kOutput, 0, 2, outs, 4);
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outL, std::vector<double>(4, 0.0));
  EXPECT_EQ(outR, (std::vector<double>{0, 0, 0.25, 0.25}));
  proc.PassThroughBuffers(4);
  EXPECT_EQ(outL, (std::vector<double>{1, 2, 0, 0}));
}

TEST(Processor, SetBlockSizeResizesAndZeroesScratchOnlyOnChange)
{
  // In "1-2" the second output has no input, so ProcessBlock writes 7 into it; with that
  // output unconnected it lands in the scratch buffer, and the value ProcessBlock finds
  // there on its next call shows whether the scratch buffer was zeroed in between.
  GainProcessor proc(StereoConfig("1-2"));
  proc.SetBlockSize(4);
  std::vector<double> in = Ramp(4, 1), out(4);
  double* ins[] = {in.data()};
  double* outs[] = {out.data()};
  proc.SetChannelConnections(kInput, 0, 1, true);
  proc.SetChannelConnections(kOutput, 0, 1, true);
  proc.AttachBuffers(kInput, 0, 1, ins, 4);
  proc.AttachBuffers(kOutput, 0, 1, outs, 4);
  proc.ProcessBuffers(4);
  ASSERT_EQ(proc.firstOutputOnEntry.size(), 2u);
  EXPECT_EQ(proc.firstOutputOnEntry[1], 0.0);
  proc.ProcessBuffers(4);
  EXPECT_EQ(proc.firstOutputOnEntry[1], 7.0);

  proc.SetBlockSize(4);
  proc.ProcessBuffers(4);
  EXPECT_EQ(proc.firstOutputOnEntry[1], 7.0);

  proc.SetBlockSize(8);
  EXPECT_EQ(proc.GetBlockSize(), 8);
  std::vector<double> in8 = Ramp(8, 1), out8(8);
  double* ins8[] = {in8.data()};
  double* outs8[] = {out8.data()};
  proc.AttachBuffers(kInput, 0, 1, ins8, 8);
  proc.AttachBuffers(kOutput, 0, 1, outs8, 8);
  proc.ProcessBuffers(8);
  EXPECT_EQ(proc.calls, 4);
  EXPECT_EQ(proc.largestBlock, 8);
  EXPECT_EQ(proc.firstOutputOnEntry[1], 0.0);
  EXPECT_EQ(out8[7], 16.0);
}

TEST(Processor, ZeroScratchBuffersClearsWhatProcessingLeft)
{
  GainProcessor proc(StereoConfig("1-2"));
  proc.SetBlockSize(2);
  std::vector<double> in = {1, 1}, out(2);
  double* ins[] = {in.data()};
  double* outs[] = {out.data()};
  proc.SetChannelConnections(kInput, 0, 1, true);
  proc.SetChannelConnections(kOutput, 0, 1, true);
  proc.AttachBuffers(kInput, 0, 1, ins, 2);
  proc.AttachBuffers(kOutput, 0, 1, outs, 2);
  proc.ProcessBuffers(2);
  proc.ProcessBuffers(2);
  EXPECT_EQ(proc.firstOutputOnEntry[1], 7.0);
  proc.ZeroScratchBuffers();
  proc.ProcessBuffers(2);
  EXPECT_EQ(proc.firstOutputOnEntry[1], 0.0);
}

TEST(Processor, LongBlockWithUnconnectedChannelRunsInSlices)
{
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(16);
  std::vector<double> in = Ramp(100, 0), out(100);
  double* ins[] = {in.data()};
  double* outs[] = {out.data()};
  proc.SetChannelConnections(kInput, 0, 1, true);
  proc.SetChannelConnections(kOutput, 0, 1, true);
  proc.AttachBuffers(kInput, 0, 1, ins, 100);
  proc.AttachBuffers(kOutput, 0, 1, outs, 100);
  proc.ProcessBuffers(100);
  EXPECT_EQ(proc.calls, 7); // 6 slices of 16 and one of 4
  EXPECT_EQ(proc.largestBlock, 16);
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(out[static_cast<size_t>(i)], 2.0 * i) << i;
}

TEST(Processor, NoBlockSizeYetSilencesInsteadOfOverrunning)
{
  GainProcessor proc(StereoConfig());
  std::vector<double> in = Ramp(8, 1), out(8, 5.0);
  double* ins[] = {in.data()};
  double* outs[] = {out.data()};
  proc.SetChannelConnections(kInput, 0, 1, true);
  proc.SetChannelConnections(kOutput, 0, 1, true);
  proc.AttachBuffers(kInput, 0, 1, ins, 8);
  proc.AttachBuffers(kOutput, 0, 1, outs, 8);
  proc.ProcessBuffers(8);
  EXPECT_EQ(proc.calls, 0);
  EXPECT_EQ(out, std::vector<double>(8, 0.0));
}

TEST(Processor, FloatBuffersRoundTripExactly)
{
  // Every float is exactly representable as a double, so an identity pass is bit-exact.
  IProcessor identity(StereoConfig());
  identity.SetBlockSize(8);
  std::vector<float> inL = {0.0f, -0.0f, 1e-38f, -1.0f, 0.1f, 3.4e38f, 1e-45f, 0.7071068f};
  std::vector<float> inR = {1.0f, 2.0f, -3.5f, 1e-7f, -1e-7f, 0.333333f, 123456.789f, -0.5f};
  std::vector<float> outL(8, 9.0f), outR(8, 9.0f);
  float* ins[] = {inL.data(), inR.data()};
  float* outs[] = {outL.data(), outR.data()};
  identity.SetChannelConnections(kInput, 0, 2, true);
  identity.SetChannelConnections(kOutput, 0, 2, true);
  identity.AttachBuffers(kInput, 0, 2, ins, 8);
  identity.AttachBuffers(kOutput, 0, 2, outs, 8);
  identity.ProcessBuffers(0.0f, 8);
  for (size_t i = 0; i < 8; ++i)
  {
    EXPECT_EQ(outL[i], inL[i]) << i;
    EXPECT_EQ(outR[i], inR[i]) << i;
  }
}

TEST(Processor, FloatProcessingConvertsBothWaysAndSlicesLongBlocks)
{
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(32);
  std::vector<float> in(100), outL(100, 9.0f), outR(100, 9.0f);
  for (size_t i = 0; i < in.size(); ++i)
    in[i] = 0.25f * static_cast<float>(i);
  float* ins[] = {in.data()};
  float* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 1, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 1, ins, 100);
  proc.AttachBuffers(kOutput, 0, 2, outs, 100);
  proc.ProcessBuffers(0.0f, 100);
  EXPECT_EQ(proc.largestBlock, 32);
  EXPECT_EQ(proc.calls, 4);
  for (size_t i = 0; i < 100; ++i)
  {
    ASSERT_EQ(outL[i], 2.0f * in[i]) << i;
    ASSERT_EQ(outR[i], 0.0f) << i; // input 1 is unconnected: silence doubled
  }
}

TEST(Processor, FloatInputDisconnectedLaterReadsSilence)
{
  GainProcessor proc(StereoConfig());
  proc.SetBlockSize(4);
  std::vector<float> inL = {1, 2, 3, 4}, inR = {5, 6, 7, 8}, outL(4), outR(4);
  float* ins[] = {inL.data(), inR.data()};
  float* outs[] = {outL.data(), outR.data()};
  proc.SetChannelConnections(kInput, 0, 2, true);
  proc.SetChannelConnections(kOutput, 0, 2, true);
  proc.AttachBuffers(kInput, 0, 2, ins, 4);
  proc.AttachBuffers(kOutput, 0, 2, outs, 4);
  proc.ProcessBuffers(0.0f, 4);
  EXPECT_EQ(outR, (std::vector<float>{10, 12, 14, 16}));

  proc.SetChannelConnections(kInput, 1, 1, false);
  proc.ProcessBuffers(0.0f, 4);
  EXPECT_EQ(outR, std::vector<float>(4, 0.0f));
}

TEST(Processor, FloatBypassCopiesAndDelays)
{
  IProcessor plain(StereoConfig());
  plain.SetBlockSize(4);
  std::vector<float> in = {1, 2, 3, 4}, outL(4, 9.0f), outR(4, 9.0f);
  float* ins[] = {in.data()};
  float* outs[] = {outL.data(), outR.data()};
  plain.SetChannelConnections(kInput, 0, 1, true);
  plain.SetChannelConnections(kOutput, 0, 2, true);
  plain.AttachBuffers(kInput, 0, 1, ins, 4);
  plain.AttachBuffers(kOutput, 0, 2, outs, 4);
  plain.PassThroughBuffers(0.0f, 4);
  EXPECT_EQ(outL, in);
  EXPECT_EQ(outR, std::vector<float>(4, 0.0f));

  IProcessor delayed(StereoConfig("1-2", 1));
  delayed.SetBlockSize(4);
  delayed.InitLatencyDelay();
  delayed.SetChannelConnections(kInput, 0, 1, true);
  delayed.SetChannelConnections(kOutput, 0, 2, true);
  delayed.AttachBuffers(kInput, 0, 1, ins, 4);
  delayed.AttachBuffers(kOutput, 0, 2, outs, 4);
  delayed.PassThroughBuffers(0.0f, 4);
  EXPECT_EQ(outL, (std::vector<float>{0, 1, 2, 3}));
  EXPECT_EQ(outR, std::vector<float>(4, 0.0f));
}

TEST(Processor, ActivationNotifiesOnlyOnChange)
{
  struct Counting : IProcessor
  {
    using IProcessor::IProcessor;
    void OnActivate(bool active) override { seen.push_back(active); }
    std::vector<bool> seen;
  } proc(StereoConfig());
  proc.SetActive(true);
  proc.SetActive(true);
  proc.SetActive(false);
  EXPECT_EQ(proc.seen, (std::vector<bool>{true, false}));
  EXPECT_FALSE(proc.IsActive());
}
