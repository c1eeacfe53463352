#pragma once

#include <cstdint>
#include <vector>

class OstraTapeDelay;

namespace ostratapedelay::cli
{

/**
 * Drives the plug-in the way a host's offline bounce does: fixed channel connections,
 * sample rate, maximum block size, the offline-render flag (so the slow or paused pace of
 * file I/O is never taken for a gap in processing), OnReset, then per block the time
 * information (tempo, position, playing), AttachBuffers and ProcessBuffers. Every 20 ms of
 * rendered audio the plug-in's idle timer ticks, as the main thread would during playback.
 *
 * Main thread (which here is also the render thread, as in an offline bounce).
 */
class OfflineHost
{
public:
  /** Sets the plug-in up for nIn inputs and nOut outputs (a layout it accepts: 1-1, 1-2 or
   *  2-2) at sampleRate, blocks of at most maxBlock frames, and tempo in BPM. Throws
   *  CliError for a layout the plug-in does not take. */
  OfflineHost(OstraTapeDelay& plugin, double sampleRate, int nIn, int nOut, int maxBlock,
              double tempo);

  /** Processes `frames` frames of inputs[0..nIn-1] into outputs[0..nOut-1] (separate
   *  buffers), in blocks of at most the maximum block size. */
  void process(const double* const* inputs, double* const* outputs, std::int64_t frames);

  std::int64_t framesProcessed() const { return mPosition; }
  std::uint64_t timerTicks() const { return mTicks; }

private:
  OstraTapeDelay& mPlugin;
  double mSampleRate;
  int mNIn;
  int mNOut;
  int mMaxBlock;
  double mTempo;
  std::int64_t mPosition = 0;
  std::int64_t mTimerInterval; // frames per idle tick (20 ms)
  std::int64_t mSinceTick = 0;
  std::uint64_t mTicks = 0;
  std::vector<std::vector<double>> mIn; // the block's input copy, handed to the processor
  std::vector<double*> mInPtrs;
  std::vector<double*> mOutPtrs;
};

} // namespace ostratapedelay::cli
