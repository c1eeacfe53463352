#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace plug
{

/**
 * An N-lane delay of a fixed number of frames, used to keep bypassed audio aligned with
 * the latency the plug-in reports. All lanes share one position that advances one frame
 * per frame. Init/Resize allocate (main thread); ProcessLane/Advance/Clear are real-time safe.
 */
class LatencyDelay
{
public:
  /** (Re)creates the delay: `nLanes` lanes of `frames` frames, zeroed. Allocates. */
  void Init(int nLanes, int nOutputs, int frames)
  {
    mNLanes = std::max(nLanes, 0);
    mNOutputs = std::max(nOutputs, 0);
    Resize(frames);
  }

  /** Resizes every lane to `frames` frames, zeroes them and resets the position. Allocates. */
  void Resize(int frames)
  {
    mFrames = std::max(frames, 0);
    mBuffer.assign(static_cast<size_t>(mNLanes) * static_cast<size_t>(mFrames), 0.0);
    mPos = 0;
  }

  /** Zeroes the contents and resets the position. Real-time safe. */
  void Clear() noexcept
  {
    std::fill(mBuffer.begin(), mBuffer.end(), 0.0);
    mPos = 0;
  }

  int NLanes() const noexcept { return mNLanes; }
  int NOutputs() const noexcept { return mNOutputs; }
  int Frames() const noexcept { return mFrames; }

  /**
   * Runs `n` frames of one lane from the current position without advancing it: each
   * output frame gets the sample written `Frames()` frames earlier. A null `in` feeds
   * silence; a null `out` only feeds the lane. `in` and `out` may alias. Non-finite input
   * is stored as silence so it cannot outlive the frame it arrived in. Real-time safe.
   */
  template <typename In, typename Out>
  void ProcessLane(int lane, const In* in, Out* out, int n) noexcept
  {
    if (lane < 0 || lane >= mNLanes || mFrames <= 0 || n <= 0)
      return;
    double* ring = mBuffer.data() + static_cast<size_t>(lane) * static_cast<size_t>(mFrames);
    int pos = mPos;
    for (int f = 0; f < n; ++f)
    {
      const double x = in ? static_cast<double>(in[f]) : 0.0;
      const double delayed = ring[pos];
      ring[pos] = std::isfinite(x) ? x : 0.0;
      if (out)
        out[f] = static_cast<Out>(delayed);
      if (++pos == mFrames)
        pos = 0;
    }
  }

  /** Moves the shared position on by `n` frames, after every lane has run them. */
  void Advance(int n) noexcept
  {
    if (mFrames > 0 && n > 0)
      mPos = static_cast<int>((static_cast<long long>(mPos) + n) % mFrames);
  }

private:
  std::vector<double> mBuffer; // lane-major, mFrames per lane
  int mNLanes = 0;
  int mNOutputs = 0;
  int mFrames = 0;
  int mPos = 0;
};

} // namespace plug
