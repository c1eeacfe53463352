#pragma once

#include "framework/Config.h"
#include "framework/IOConfig.h"
#include "framework/ITimeInfo.h"
#include "framework/LatencyDelay.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plug
{

/** One possible host channel of the processor. */
struct IChannelData
{
  bool mConnected = false;
  /** Block-size doubles: silence for an unconnected input, a sink for an unconnected output,
   *  and the conversion buffer when the host delivers 32-bit floats. */
  std::vector<double> mScratchBuf;
  std::string mLabel;
};

/**
 * Audio-side base of a plug-in: accepted channel layouts, connected host channels and their
 * buffers, sample rate, block size, latency, tail and the host's transport. The host binding
 * connects channels and attaches buffers before each block, then calls ProcessBuffers (which
 * runs ProcessBlock) or, while the host bypasses the effect, PassThroughBuffers.
 *
 * Threads: configuration queries (LegalIO, MaxNBuses, GetBusName, GetAUPluginType) read data
 * fixed at construction and may be called from any thread. Set-up calls that size buffers
 * (SetBlockSize, SetLatency, InitLatencyDelay) allocate and belong to the binding's
 * non-real-time property calls. Everything else is for the render thread and real-time safe.
 */
class IProcessor
{
public:
  /** Parses the configuration's channel I/O string and creates the channel records. */
  explicit IProcessor(const Config& config);
  virtual ~IProcessor() = default;

  IProcessor(const IProcessor&) = delete;
  IProcessor& operator=(const IProcessor&) = delete;

  /**
   * Processes one block. `inputs` / `outputs` hold one pointer per channel record (null when
   * the direction has no channels); unconnected channels point at silent scratch buffers.
   * Render thread; must be real-time safe. The default copies inputs to outputs.
   */
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);

  /** Hook for a (re)initialisation of processing; the sample rate is already updated. */
  virtual void OnReset() {}

  /** Hook for the binding switching processing on or off. */
  virtual void OnActivate(bool /*active*/) {}

  // Channel layouts ---------------------------------------------------------------------

  /** See plug::ParseChannelIOStr. Any thread; allocates. */
  static int ParseChannelIOStr(std::string_view text, std::vector<IOConfig>& configs,
                               int& maxNInputs, int& maxNOutputs, int& maxNInBuses,
                               int& maxNOutBuses)
  {
    return plug::ParseChannelIOStr(text, configs, maxNInputs, maxNOutputs, maxNInBuses,
                                   maxNOutBuses);
  }

  /**
   * True when some layout has exactly nIn input and nOut output channels in total; a
   * negative count matches any, and a side with a "*" bus matches any count. False when
   * there are no layouts. Any thread.
   */
  bool LegalIO(int nIn, int nOut) const;

  /** Largest bus count of a direction over all layouts; `configIdx` (optional) receives the
   *  index of the first layout with that many, or -1 when there are no layouts. Any thread. */
  int MaxNBuses(ERoute direction, int* configIdx = nullptr) const;

  int NIOConfigs() const { return static_cast<int>(mIOConfigs.size()); }
  const IOConfig* GetIOConfig(int idx) const;

  /** Name of bus `busIdx` of `nBuses` ("Input", "Main"/"Aux", "Output", "Output 2"...). */
  static void GetBusName(ERoute direction, int busIdx, int nBuses, std::string& name);

  /** The Audio Unit component type for the plug-in type ('aufx', 'aumf', 'aumu', ...). */
  std::uint32_t GetAUPluginType() const;

  // Channels and buffers (render thread, real-time safe) ----------------------------------

  /** Number of channel records (the largest total of any layout) of a direction. */
  int NChannels(ERoute direction) const { return static_cast<int>(Channels(direction).size()); }
  int NChannelsConnected(ERoute direction) const;
  bool IsChannelConnected(ERoute direction, int ch) const;
  const std::string& GetChannelLabel(ERoute direction, int ch) const;

  /** Marks channels first .. first+count-1 (limited to the records) (un)connected. An
   *  unconnected channel points at its scratch buffer, zeroed so it reads as silence. */
  void SetChannelConnections(ERoute direction, int first, int count, bool connected) noexcept;

  /** Hands the connected channels among first .. first+count-1 the host's double buffers,
   *  one pointer each in order; unconnected channels take none. A null pointer leaves the
   *  channel on its scratch buffer. */
  void AttachBuffers(ERoute direction, int first, int count, double** ptrs, int nFrames) noexcept;

  /** As above for a host with 32-bit float buffers: the connected channels use their double
   *  scratch buffers, and the float buffers are converted in and out by the float variants
   *  of ProcessBuffers / PassThroughBuffers. */
  void AttachBuffers(ERoute direction, int first, int count, float** ptrs, int nFrames) noexcept;

  /** Runs ProcessBlock over `nFrames` frames of the attached double buffers. When the block
   *  is longer than the block size and some channel lives on its scratch buffer, it runs in
   *  slices of at most the block size so no scratch buffer is overrun. */
  void ProcessBuffers(int nFrames) noexcept;

  /** Float variant: converts the attached float inputs into the scratch buffers, runs
   *  ProcessBlock on doubles and converts the connected outputs back, in slices of at most
   *  the block size. With no block size set the connected outputs are silenced. The first
   *  argument only selects the sample type. */
  void ProcessBuffers(float, int nFrames) noexcept;

  /** Bypass: each connected output gets its input (delayed by the latency when a latency
   *  delay is in use); outputs without an input are silenced. ProcessBlock is not called. */
  void PassThroughBuffers(int nFrames) noexcept;

  /** Float variant of PassThroughBuffers on the attached float buffers. */
  void PassThroughBuffers(float, int nFrames) noexcept;

  /** Zeroes every scratch buffer. Real-time safe. */
  void ZeroScratchBuffers() noexcept;

  // Timing --------------------------------------------------------------------------------

  /** Resizes and zeroes every scratch buffer when `n` differs from the block size. Allocates:
   *  call from the binding's set-up, never while rendering. Negative sizes count as 0. */
  void SetBlockSize(int n);
  int GetBlockSize() const { return mBlockSize; }

  /** Sets the latency in samples (negative counts as 0); resizes and zeroes an existing
   *  latency delay. Allocates when the delay exists. */
  void SetLatency(int samples);
  int GetLatency() const { return mLatency; }

  /** (Re)creates the latency delay, one lane per input channel, zeroed. Allocates. */
  void InitLatencyDelay();
  bool HasLatencyDelay() const { return mHasLatencyDelay; }

  void SetTailSize(int samples) { mTailSize = samples; }
  int GetTailSize() const { return mTailSize; }

  /** Sample rate in Hz; set by the binding, read anywhere (atomic). */
  void SetSampleRate(double rate) { mSampleRate.store(rate, std::memory_order_relaxed); }
  double GetSampleRate() const { return mSampleRate.load(std::memory_order_relaxed); }

  /** The binding marks a host's offline bounce (or a freewheeling host); read by the
   *  plug-in's audio code, which must not treat a non-real-time pace as a pause. Atomic. */
  void SetRenderingOffline(bool offline)
  {
    mRenderingOffline.store(offline, std::memory_order_relaxed);
  }
  bool GetRenderingOffline() const { return mRenderingOffline.load(std::memory_order_relaxed); }

  /** The host's bypass switch (the binding passes audio through while it is on). Atomic:
   *  set by the binding on the host's thread, read by the idle timer and the state writer. */
  void SetBypassed(bool bypassed) { mBypassed.store(bypassed, std::memory_order_relaxed); }
  bool GetBypassed() const { return mBypassed.load(std::memory_order_relaxed); }
  /** Whether the binding has processing switched on; calls OnActivate on a change. */
  void SetActive(bool active);
  bool IsActive() const { return mActive; }

  /** Transport and tempo; the binding sets them on the render thread before each block. */
  void SetTimeInfo(const ITimeInfo& info) { mTimeInfo = info; }
  const ITimeInfo& GetTimeInfo() const { return mTimeInfo; }
  double GetTempo() const { return mTimeInfo.mTempo; }

  /** Sample rate × 60 ÷ tempo, or 0 when the tempo is not positive. */
  double GetSamplesPerBeat() const;

  EPlugType GetPlugType() const { return mPlugType; }
  bool DoesMIDIIn() const { return mDoesMIDIIn; }
  bool DoesMIDIOut() const { return mDoesMIDIOut; }

private:
  std::vector<IChannelData>& Channels(ERoute d) { return d == kInput ? mInChannels : mOutChannels; }
  const std::vector<IChannelData>& Channels(ERoute d) const
  {
    return d == kInput ? mInChannels : mOutChannels;
  }
  std::vector<double*>& Pointers(ERoute d) { return d == kInput ? mInData : mOutData; }

  // The host's own buffer for a channel, or null when it lives on its scratch buffer.
  double* HostBuffer(ERoute direction, int ch) const;
  void SilenceHostOutputs(int nFrames) noexcept;
  template <typename In, typename Out>
  void PassThrough(const In* const* ins, Out* const* outs, int nFrames) noexcept;

  std::vector<IOConfig> mIOConfigs;
  std::vector<IChannelData> mInChannels;
  std::vector<IChannelData> mOutChannels;
  // Sample pointers handed to ProcessBlock, one per channel record.
  std::vector<double*> mInData;
  std::vector<double*> mOutData;
  // Per-slice pointer arrays, preallocated so slicing never allocates.
  std::vector<double*> mSliceIn;
  std::vector<double*> mSliceOut;
  // Host buffers attached by the float variant; null for unconnected channels.
  std::vector<const float*> mInFloat;
  std::vector<float*> mOutFloat;

  LatencyDelay mLatencyDelay;
  bool mHasLatencyDelay = false;

  ITimeInfo mTimeInfo;
  std::atomic<double> mSampleRate{48000.0};
  std::atomic<bool> mRenderingOffline{false};
  std::atomic<bool> mBypassed{false};
  int mBlockSize = 0;
  int mLatency = 0;
  int mTailSize = 0;
  bool mActive = false;
  EPlugType mPlugType = kEffect;
  bool mDoesMIDIIn = false;
  bool mDoesMIDIOut = false;
};

} // namespace plug
