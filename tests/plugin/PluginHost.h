#pragma once

#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace ostra::test
{

using Channels = std::vector<std::vector<double>>;

/** Drives an OstraTapeDelay as a host binding does: connects channels, sets rate and block
 *  size, resets, then processes block by block. */
class PluginHost
{
public:
  explicit PluginHost(int nIn = 2, int nOut = 2, double rate = 48000.0, int blockSize = 512)
    : plugin(std::make_unique<OstraTapeDelay>())
    , mIn(nIn)
    , mOut(nOut)
    , mBlock(blockSize)
  {
    plugin->SetChannelConnections(plug::kInput, 0, plugin->NChannels(plug::kInput), false);
    plugin->SetChannelConnections(plug::kOutput, 0, plugin->NChannels(plug::kOutput), false);
    plugin->SetChannelConnections(plug::kInput, 0, nIn, true);
    plugin->SetChannelConnections(plug::kOutput, 0, nOut, true);
    plugin->SetSampleRate(rate);
    plugin->SetBlockSize(blockSize);
    plugin->SetRenderingOffline(true);
    plugin->OnReset();
  }

  void set(std::initializer_list<std::pair<int, double>> values)
  {
    for (auto [idx, value] : values)
      plugin->SetParameterFromHost(idx, value, 0);
  }

  /** Processes `in` (one vector per input channel) and returns one vector per output. */
  Channels run(const Channels& in, bool hostBypass = false)
  {
    const size_t frames = in[0].size();
    Channels out(static_cast<size_t>(mOut), std::vector<double>(frames));
    std::vector<double*> inPtrs(in.size()), outPtrs(out.size());
    for (size_t pos = 0; pos < frames; pos += size_t(mBlock))
    {
      const int n = std::min(int(frames - pos), mBlock);
      for (size_t c = 0; c < in.size(); ++c)
        inPtrs[c] = const_cast<double*>(in[c].data()) + pos;
      for (size_t c = 0; c < out.size(); ++c)
        outPtrs[c] = out[c].data() + pos;
      plugin->AttachBuffers(plug::kInput, 0, mIn, inPtrs.data(), n);
      plugin->AttachBuffers(plug::kOutput, 0, mOut, outPtrs.data(), n);
      hostBypass ? plugin->PassThroughBuffers(n) : plugin->ProcessBuffers(n);
    }
    return out;
  }

  /** An impulse of 0.5 on every input channel. */
  Channels impulse(size_t frames) const
  {
    Channels in(size_t(mIn), std::vector<double>(frames, 0.0));
    for (auto& ch : in)
      ch[0] = 0.5;
    return in;
  }

  std::unique_ptr<OstraTapeDelay> plugin;

private:
  int mIn, mOut, mBlock;
};

/** Deterministic noise in +-0.25. */
inline std::vector<double> noise(size_t n, unsigned seed)
{
  std::vector<double> v(n);
  for (auto& x : v)
    x = (double((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0 - 0.5) * 0.5;
  return v;
}

} // namespace ostra::test
