#pragma once

#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <memory>
#include <vector>

namespace ostra::test
{

/** Drives an OstraTapeDelay the way a host binding does: connects channels, sets rate and
 *  block size, resets, then attaches buffers and processes block by block. */
class PluginHost
{
public:
  explicit PluginHost(int nIn = 2, int nOut = 2, double rate = 48000.0, int blockSize = 512)
    : plugin(std::make_unique<OstraTapeDelay>()), mIn(nIn), mOut(nOut), mBlock(blockSize)
  {
    plugin->SetChannelConnections(plug::kInput, 0, plugin->NChannels(plug::kInput), false);
    plugin->SetChannelConnections(plug::kOutput, 0, plugin->NChannels(plug::kOutput), false);
    plugin->SetChannelConnections(plug::kInput, 0, nIn, true);
    plugin->SetChannelConnections(plug::kOutput, 0, nOut, true);
    plugin->SetSampleRate(rate);
    plugin->SetBlockSize(blockSize);
    plugin->SetRenderingOffline(true); // tests run at any pace
    plugin->OnReset();
  }

  /** Sets parameter `idx` to the real `value` as host automation does. */
  void set(int idx, double value) { plugin->SetParameterFromHost(idx, value, 0); }

  /** Processes `in` (one vector per input channel) and returns one vector per output. */
  std::vector<std::vector<double>> run(const std::vector<std::vector<double>>& in, bool bypass = false)
  {
    const size_t frames = in.empty() ? 0 : in[0].size();
    std::vector<std::vector<double>> out(static_cast<size_t>(mOut), std::vector<double>(frames));
    std::vector<double*> inPtrs(static_cast<size_t>(mIn));
    std::vector<double*> outPtrs(static_cast<size_t>(mOut));
    for (size_t pos = 0; pos < frames; pos += static_cast<size_t>(mBlock))
    {
      const int n = static_cast<int>(std::min(frames - pos, static_cast<size_t>(mBlock)));
      for (int c = 0; c < mIn; ++c)
        inPtrs[static_cast<size_t>(c)] = const_cast<double*>(in[static_cast<size_t>(c)].data()) + pos;
      for (int c = 0; c < mOut; ++c)
        outPtrs[static_cast<size_t>(c)] = out[static_cast<size_t>(c)].data() + pos;
      plugin->AttachBuffers(plug::kInput, 0, mIn, inPtrs.data(), n);
      plugin->AttachBuffers(plug::kOutput, 0, mOut, outPtrs.data(), n);
      if (bypass)
        plugin->PassThroughBuffers(n);
      else
        plugin->ProcessBuffers(n);
    }
    return out;
  }

  /** An impulse of `frames` samples on every input channel. */
  std::vector<std::vector<double>> impulse(size_t frames, double amplitude = 0.5) const
  {
    std::vector<std::vector<double>> in(static_cast<size_t>(mIn), std::vector<double>(frames, 0.0));
    for (auto& ch : in)
      ch[0] = amplitude;
    return in;
  }

  std::unique_ptr<OstraTapeDelay> plugin;

private:
  int mIn;
  int mOut;
  int mBlock;
};

} // namespace ostra::test
