#include "cli/OfflineHost.h"

#include "cli/CliError.h"
#include "framework/IAPIBase.h"
#include "framework/IProcessor.h"
#include "plugin/OstraTapeDelay.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ostratapedelay::cli
{

OfflineHost::OfflineHost(OstraTapeDelay& plugin, double sampleRate, int nIn, int nOut, int maxBlock,
                         double tempo)
  : mPlugin(plugin)
  , mSampleRate(sampleRate)
  , mNIn(nIn)
  , mNOut(nOut)
  , mMaxBlock(std::max(1, maxBlock))
  , mTempo(tempo)
  , mTimerInterval(
        std::max<std::int64_t>(1, std::llround(sampleRate * plug::kIdleTimerPeriodMs / 1000.0)))
{
  // An offline render stays off the network.
  mPlugin.stopUpdateWorker();
  plug::IProcessor& processor = mPlugin;
  if (!processor.LegalIO(nIn, nOut))
    throw CliError("the effect does not take " + std::to_string(nIn) + " input and " +
                   std::to_string(nOut) + " output channels");
  processor.SetSampleRate(sampleRate);
  processor.SetBlockSize(mMaxBlock);
  processor.SetChannelConnections(plug::kInput, 0, processor.NChannels(plug::kInput), false);
  processor.SetChannelConnections(plug::kOutput, 0, processor.NChannels(plug::kOutput), false);
  processor.SetChannelConnections(plug::kInput, 0, nIn, true);
  processor.SetChannelConnections(plug::kOutput, 0, nOut, true);
  processor.SetRenderingOffline(true);
  processor.SetActive(true);
  processor.OnReset();

  mIn.assign(static_cast<size_t>(nIn), std::vector<double>(static_cast<size_t>(mMaxBlock), 0.0));
  mInPtrs.resize(static_cast<size_t>(nIn));
  mOutPtrs.resize(static_cast<size_t>(nOut));
}

void OfflineHost::process(const double* const* inputs, double* const* outputs, std::int64_t frames)
{
  plug::IProcessor& processor = mPlugin;
  plug::IAPIBase& api = mPlugin;
  std::int64_t done = 0;
  while (done < frames)
  {
    const int n = static_cast<int>(std::min<std::int64_t>(mMaxBlock, frames - done));
    for (int c = 0; c < mNIn; ++c)
    {
      std::copy_n(inputs[c] + done, n, mIn[static_cast<size_t>(c)].begin());
      mInPtrs[static_cast<size_t>(c)] = mIn[static_cast<size_t>(c)].data();
    }
    for (int c = 0; c < mNOut; ++c)
      mOutPtrs[static_cast<size_t>(c)] = outputs[c] + done;

    plug::ITimeInfo time;
    time.mTempo = mTempo;
    time.mSamplePos = static_cast<double>(mPosition);
    time.mPPQPos = static_cast<double>(mPosition) * mTempo / (60.0 * mSampleRate);
    time.mLastBar = std::floor(time.mPPQPos / 4.0) * 4.0;
    time.mPlaying = true;
    processor.SetTimeInfo(time);
    processor.AttachBuffers(plug::kInput, 0, mNIn, mInPtrs.data(), n);
    processor.AttachBuffers(plug::kOutput, 0, mNOut, mOutPtrs.data(), n);
    processor.ProcessBuffers(n);

    mPosition += n;
    done += n;
    mSinceTick += n;
    while (mSinceTick >= mTimerInterval)
    {
      mSinceTick -= mTimerInterval;
      api.GetTimer().Tick();
      ++mTicks;
    }
  }
}

} // namespace ostratapedelay::cli
