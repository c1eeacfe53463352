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

  /** Sets parameters to real values as host automation does. */
  void set(std::initializer_list<std::pair<int, double>> values)
  {
    for (auto [idx, value] : values)
      plugin->SetParameterFromHost(idx, value, 0);
  }

  /** Processes `in` (one vector per input channel) and returns one vector per output. */
  Channels run(const Channels& in, bool hostBypass = false)
  {
    const int frames = in.empty() ? 0 : static_cast<int>(in[0].size());
    Channels out(static_cast<size_t>(mOut), std::vector<double>(static_cast<size_t>(frames)));
    std::vector<double*> inPtrs(in.size()), outPtrs(out.size());
    for (int pos = 0; pos < frames; pos += mBlock)
    {
      const int n = std::min(frames - pos, mBlock);
      for (size_t c = 0; c < in.size(); ++c)
        inPtrs[c] = const_cast<double*>(in[c].data()) + pos;
      for (size_t c = 0; c < out.size(); ++c)
        outPtrs[c] = out[c].data() + pos;
      plugin->AttachBuffers(plug::kInput, 0, mIn, inPtrs.data(), n);
      plugin->AttachBuffers(plug::kOutput, 0, mOut, outPtrs.data(), n);
      if (hostBypass)
        plugin->PassThroughBuffers(n);
      else
        plugin->ProcessBuffers(n);
    }
    return out;
  }

  /** An impulse of `frames` samples on every input channel. */
  Channels impulse(size_t frames) const
  {
    Channels in(static_cast<size_t>(mIn), std::vector<double>(frames, 0.0));
    for (auto& ch : in)
      ch[0] = 0.5;
    return in;
  }

  std::unique_ptr<OstraTapeDelay> plugin;

private:
  int mIn;
  int mOut;
  int mBlock;
};

/** Deterministic noise in +-0.25. */
inline std::vector<double> noise(size_t n, unsigned seed)
{
  std::vector<double> v(n);
  for (auto& x : v)
  {
    seed = seed * 1664525u + 1013904223u;
    x = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.5;
  }
  return v;
}

} // namespace ostra::test
