#include "framework/IProcessor.h"

#include <algorithm>
#include <cstring>

namespace plug
{

IProcessor::IProcessor(const Config& config)
  : mLatency(std::max(config.latency, 0))
  , mPlugType(config.plugType)
  , mDoesMIDIIn(config.plugDoesMidiIn)
  , mDoesMIDIOut(config.plugDoesMidiOut)
{
  int maxIn = 0, maxOut = 0, maxInBuses = 0, maxOutBuses = 0;
  ParseChannelIOStr(config.channelIOStr, mIOConfigs, maxIn, maxOut, maxInBuses, maxOutBuses);

  mInChannels.resize(static_cast<size_t>(maxIn));
  mOutChannels.resize(static_cast<size_t>(maxOut));
  for (int i = 0; i < maxIn; ++i)
    mInChannels[static_cast<size_t>(i)].mLabel = "In " + std::to_string(i + 1);
  for (int i = 0; i < maxOut; ++i)
    mOutChannels[static_cast<size_t>(i)].mLabel = "Out " + std::to_string(i + 1);

  mInData.assign(static_cast<size_t>(maxIn), nullptr);
  mOutData.assign(static_cast<size_t>(maxOut), nullptr);
  mSliceIn.assign(static_cast<size_t>(maxIn), nullptr);
  mSliceOut.assign(static_cast<size_t>(maxOut), nullptr);
  mInFloat.assign(static_cast<size_t>(maxIn), nullptr);
  mOutFloat.assign(static_cast<size_t>(maxOut), nullptr);
}

void IProcessor::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
  const int nIn = inputs ? NChannels(kInput) : 0;
  const int nOut = outputs ? NChannels(kOutput) : 0;
  for (int c = 0; c < nOut; ++c)
  {
    double* out = outputs[c];
    if (!out)
      continue;
    const double* in = c < nIn ? inputs[c] : nullptr;
    if (in && in != out)
      std::memmove(out, in, sizeof(double) * static_cast<size_t>(nFrames));
    else if (!in)
      std::fill(out, out + nFrames, 0.0);
  }
}

// Channel layouts -------------------------------------------------------------------------

bool IProcessor::LegalIO(int nIn, int nOut) const
{
  const auto sideMatches = [](const IOConfig& config, ERoute direction, int n) {
    return n < 0 || config.ContainsWildcard(direction) || config.GetTotalNChannels(direction) == n;
  };
  for (const auto& config : mIOConfigs)
    if (sideMatches(config, kInput, nIn) && sideMatches(config, kOutput, nOut))
      return true;
  return false;
}

int IProcessor::MaxNBuses(ERoute direction, int* configIdx) const
{
  int maxBuses = 0;
  int index = mIOConfigs.empty() ? -1 : 0;
  for (int i = 0; i < NIOConfigs(); ++i)
  {
    const int n = mIOConfigs[static_cast<size_t>(i)].NBuses(direction);
    if (n > maxBuses)
    {
      maxBuses = n;
      index = i;
    }
  }
  if (configIdx)
    *configIdx = index;
  return maxBuses;
}

const IOConfig* IProcessor::GetIOConfig(int idx) const
{
  if (idx < 0 || idx >= NIOConfigs())
    return nullptr;
  return &mIOConfigs[static_cast<size_t>(idx)];
}

void IProcessor::GetBusName(ERoute direction, int busIdx, int nBuses, std::string& name)
{
  if (direction == kOutput)
    name = nBuses == 1 ? "Output" : "Output " + std::to_string(busIdx);
  else if (nBuses == 2)
    name = busIdx == 0 ? "Main" : "Aux";
  else if (nBuses == 1)
    name = "Input";
  else
    name = "Input " + std::to_string(busIdx);
}

std::uint32_t IProcessor::GetAUPluginType() const
{
  switch (mPlugType)
  {
    case kEffect:
      return mDoesMIDIIn ? FourCharCode("aumf") : FourCharCode("aufx");
    case kInstrument:
      return FourCharCode("aumu");
    case kMIDIEffect:
      return FourCharCode("aumi");
    case kGenerator:
      return FourCharCode("augn");
  }
  return FourCharCode("aufx");
}

// Channels and buffers ----------------------------------------------------------------------

int IProcessor::NChannelsConnected(ERoute direction) const
{
  const auto& channels = Channels(direction);
  return static_cast<int>(std::count_if(channels.begin(), channels.end(),
                                        [](const IChannelData& c) { return c.mConnected; }));
}

bool IProcessor::IsChannelConnected(ERoute direction, int ch) const
{
  const auto& channels = Channels(direction);
  return ch >= 0 && ch < static_cast<int>(channels.size()) &&
         channels[static_cast<size_t>(ch)].mConnected;
}

const std::string& IProcessor::GetChannelLabel(ERoute direction, int ch) const
{
  static const std::string kNone;
  const auto& channels = Channels(direction);
  if (ch < 0 || ch >= static_cast<int>(channels.size()))
    return kNone;
  return channels[static_cast<size_t>(ch)].mLabel;
}

void IProcessor::SetChannelConnections(ERoute direction, int first, int count,
                                       bool connected) noexcept
{
  auto& channels = Channels(direction);
  auto& pointers = Pointers(direction);
  const int end = std::min(first + std::max(count, 0), NChannels(direction));
  for (int c = std::max(first, 0); c < end; ++c)
  {
    auto& channel = channels[static_cast<size_t>(c)];
    if (!connected)
    {
      // The scratch buffer may hold converted host audio from when it was connected.
      if (channel.mConnected)
        std::fill(channel.mScratchBuf.begin(), channel.mScratchBuf.end(), 0.0);
      pointers[static_cast<size_t>(c)] =
          channel.mScratchBuf.empty() ? nullptr : channel.mScratchBuf.data();
      if (direction == kInput)
        mInFloat[static_cast<size_t>(c)] = nullptr;
      else
        mOutFloat[static_cast<size_t>(c)] = nullptr;
    }
    channel.mConnected = connected;
  }
}

void IProcessor::AttachBuffers(ERoute direction, int first, int count, double** ptrs,
                               int /*nFrames*/) noexcept
{
  auto& channels = Channels(direction);
  auto& pointers = Pointers(direction);
  const int end = std::min(first + std::max(count, 0), NChannels(direction));
  int next = 0;
  for (int c = std::max(first, 0); c < end; ++c)
  {
    auto& channel = channels[static_cast<size_t>(c)];
    if (!channel.mConnected)
      continue;
    double* p = ptrs ? ptrs[next++] : nullptr;
    if (!p)
      p = channel.mScratchBuf.empty() ? nullptr : channel.mScratchBuf.data();
    pointers[static_cast<size_t>(c)] = p;
  }
}

void IProcessor::AttachBuffers(ERoute direction, int first, int count, float** ptrs,
                               int /*nFrames*/) noexcept
{
  auto& channels = Channels(direction);
  auto& pointers = Pointers(direction);
  const int end = std::min(first + std::max(count, 0), NChannels(direction));
  int next = 0;
  for (int c = std::max(first, 0); c < end; ++c)
  {
    auto& channel = channels[static_cast<size_t>(c)];
    if (!channel.mConnected)
      continue;
    float* p = ptrs ? ptrs[next++] : nullptr;
    if (direction == kInput)
      mInFloat[static_cast<size_t>(c)] = p;
    else
      mOutFloat[static_cast<size_t>(c)] = p;
    pointers[static_cast<size_t>(c)] =
        channel.mScratchBuf.empty() ? nullptr : channel.mScratchBuf.data();
  }
}

double* IProcessor::HostBuffer(ERoute direction, int ch) const
{
  const auto& channel = Channels(direction)[static_cast<size_t>(ch)];
  double* p = (direction == kInput ? mInData : mOutData)[static_cast<size_t>(ch)];
  if (!channel.mConnected || !p || p == channel.mScratchBuf.data())
    return nullptr;
  return p;
}

void IProcessor::SilenceHostOutputs(int nFrames) noexcept
{
  for (int c = 0; c < NChannels(kOutput); ++c)
  {
    if (double* out = HostBuffer(kOutput, c))
      std::fill(out, out + nFrames, 0.0);
    if (float* out = mOutFloat[static_cast<size_t>(c)]; out && IsChannelConnected(kOutput, c))
      std::fill(out, out + nFrames, 0.0f);
  }
}

void IProcessor::ProcessBuffers(int nFrames) noexcept
{
  if (nFrames <= 0)
    return;
  const int nIn = NChannels(kInput);
  const int nOut = NChannels(kOutput);

  bool allHost = true;
  for (int c = 0; c < nIn; ++c)
    allHost = allHost && HostBuffer(kInput, c);
  for (int c = 0; c < nOut; ++c)
    allHost = allHost && HostBuffer(kOutput, c);

  if (allHost || nFrames <= mBlockSize)
  {
    ProcessBlock(nIn ? mInData.data() : nullptr, nOut ? mOutData.data() : nullptr, nFrames);
    return;
  }
  if (mBlockSize <= 0)
  {
    SilenceHostOutputs(nFrames);
    return;
  }

  // Scratch buffers hold only one block size: run the block in slices of that size.
  for (int offset = 0; offset < nFrames; offset += mBlockSize)
  {
    const int n = std::min(mBlockSize, nFrames - offset);
    for (int c = 0; c < nIn; ++c)
    {
      double* host = HostBuffer(kInput, c);
      mSliceIn[static_cast<size_t>(c)] =
          host ? host + offset : mInChannels[static_cast<size_t>(c)].mScratchBuf.data();
    }
    for (int c = 0; c < nOut; ++c)
    {
      double* host = HostBuffer(kOutput, c);
      mSliceOut[static_cast<size_t>(c)] =
          host ? host + offset : mOutChannels[static_cast<size_t>(c)].mScratchBuf.data();
    }
    ProcessBlock(nIn ? mSliceIn.data() : nullptr, nOut ? mSliceOut.data() : nullptr, n);
  }
}

void IProcessor::ProcessBuffers(float, int nFrames) noexcept
{
  if (nFrames <= 0)
    return;
  if (mBlockSize <= 0)
  {
    SilenceHostOutputs(nFrames);
    return;
  }
  const int nIn = NChannels(kInput);
  const int nOut = NChannels(kOutput);

  for (int offset = 0; offset < nFrames; offset += mBlockSize)
  {
    const int n = std::min(mBlockSize, nFrames - offset);
    for (int c = 0; c < nIn; ++c)
    {
      auto& scratch = mInChannels[static_cast<size_t>(c)].mScratchBuf;
      const float* host =
          IsChannelConnected(kInput, c) ? mInFloat[static_cast<size_t>(c)] : nullptr;
      if (host)
        std::copy(host + offset, host + offset + n, scratch.begin());
      else
        std::fill(scratch.begin(), scratch.begin() + n, 0.0);
      mSliceIn[static_cast<size_t>(c)] = scratch.data();
    }
    for (int c = 0; c < nOut; ++c)
      mSliceOut[static_cast<size_t>(c)] = mOutChannels[static_cast<size_t>(c)].mScratchBuf.data();

    ProcessBlock(nIn ? mSliceIn.data() : nullptr, nOut ? mSliceOut.data() : nullptr, n);

    for (int c = 0; c < nOut; ++c)
    {
      float* host = IsChannelConnected(kOutput, c) ? mOutFloat[static_cast<size_t>(c)] : nullptr;
      if (!host)
        continue;
      const auto& scratch = mOutChannels[static_cast<size_t>(c)].mScratchBuf;
      std::transform(scratch.begin(), scratch.begin() + n, host + offset,
                     [](double x) { return static_cast<float>(x); });
    }
  }
}

template <typename In, typename Out>
void IProcessor::PassThrough(const In* const* ins, Out* const* outs, int nFrames) noexcept
{
  const int nIn = NChannels(kInput);
  const int nOut = NChannels(kOutput);
  const bool delayed = mLatency > 0 && mHasLatencyDelay && mLatencyDelay.Frames() > 0;

  if (delayed)
  {
    // Every lane runs, even one whose output is not connected, so all stay aligned.
    for (int lane = 0; lane < mLatencyDelay.NLanes(); ++lane)
    {
      const In* in = lane < nIn ? ins[lane] : nullptr;
      Out* out = lane < nOut ? outs[lane] : nullptr;
      mLatencyDelay.ProcessLane(lane, in, out, nFrames);
    }
    mLatencyDelay.Advance(nFrames);
    for (int c = mLatencyDelay.NLanes(); c < nOut; ++c)
      if (outs[c])
        std::fill(outs[c], outs[c] + nFrames, Out(0));
    return;
  }

  for (int c = 0; c < nOut; ++c)
  {
    Out* out = outs[c];
    if (!out)
      continue;
    const In* in = c < nIn ? ins[c] : nullptr;
    if (!in)
      std::fill(out, out + nFrames, Out(0));
    else if (static_cast<const void*>(in) != static_cast<const void*>(out))
      std::copy(in, in + nFrames, out);
  }
}

void IProcessor::PassThroughBuffers(int nFrames) noexcept
{
  if (nFrames <= 0)
    return;
  // Only the host's own buffers take part: scratch buffers may be shorter than the block.
  for (int c = 0; c < NChannels(kInput); ++c)
    mSliceIn[static_cast<size_t>(c)] = HostBuffer(kInput, c);
  for (int c = 0; c < NChannels(kOutput); ++c)
    mSliceOut[static_cast<size_t>(c)] = HostBuffer(kOutput, c);
  PassThrough<double, double>(mSliceIn.data(), mSliceOut.data(), nFrames);
}

void IProcessor::PassThroughBuffers(float, int nFrames) noexcept
{
  if (nFrames <= 0)
    return;
  // Connection flags gate the float pointers, which SetChannelConnections also clears.
  for (int c = 0; c < NChannels(kInput); ++c)
    if (!IsChannelConnected(kInput, c))
      mInFloat[static_cast<size_t>(c)] = nullptr;
  for (int c = 0; c < NChannels(kOutput); ++c)
    if (!IsChannelConnected(kOutput, c))
      mOutFloat[static_cast<size_t>(c)] = nullptr;
  PassThrough<float, float>(mInFloat.data(), mOutFloat.data(), nFrames);
}

void IProcessor::ZeroScratchBuffers() noexcept
{
  for (auto* channels : {&mInChannels, &mOutChannels})
    for (auto& channel : *channels)
      std::fill(channel.mScratchBuf.begin(), channel.mScratchBuf.end(), 0.0);
}

// Timing ----------------------------------------------------------------------------------

void IProcessor::SetBlockSize(int n)
{
  n = std::max(n, 0);
  if (n == mBlockSize)
    return;
  for (ERoute direction : {kInput, kOutput})
  {
    auto& channels = Channels(direction);
    auto& pointers = Pointers(direction);
    for (size_t c = 0; c < channels.size(); ++c)
    {
      auto& scratch = channels[c].mScratchBuf;
      const bool onScratch = !channels[c].mConnected || pointers[c] == nullptr ||
                             (!scratch.empty() && pointers[c] == scratch.data());
      scratch.assign(static_cast<size_t>(n), 0.0);
      // Channels that pointed at the old scratch buffer must not keep a dangling pointer.
      if (onScratch)
        pointers[c] = scratch.empty() ? nullptr : scratch.data();
    }
  }
  mBlockSize = n;
}

void IProcessor::SetLatency(int samples)
{
  mLatency = std::max(samples, 0);
  if (mHasLatencyDelay)
    mLatencyDelay.Resize(mLatency);
}

void IProcessor::InitLatencyDelay()
{
  if (NChannels(kInput) <= 0)
    return;
  mLatencyDelay.Init(NChannels(kInput), NChannels(kOutput), mLatency);
  mHasLatencyDelay = true;
}

void IProcessor::SetActive(bool active)
{
  if (active == mActive)
    return;
  mActive = active;
  OnActivate(active);
}

double IProcessor::GetSamplesPerBeat() const
{
  const double tempo = mTimeInfo.mTempo;
  if (!(tempo > 0.0))
    return 0.0;
  return GetSampleRate() * 60.0 / tempo;
}

} // namespace plug
