#pragma once

// Arithmetic of the delay lines written once for one line (`double`) and for
// the two lines side by side (`Pair`, left in lane 0). Every lane performs
// exactly the operations of the one-line code in the same order, so the pair
// gives the same bits as two single lines.
//
// Internal to the delay engine (TapeDelayProcess.cpp).

#include "dsp/Biquad.h"
#include "dsp/Lanes.h"
#include "dsp/TapeDelay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ostratapedelay::dsp::delaylanes
{

using corvana::dsp::firstOrder;
using corvana::dsp::Pair;
using corvana::dsp::secondOrder;

// Catmull-Rom through y0..y3 at t in [0, 1) between y1 and y2.
template <class V>
inline V catmullRom(V y0, V y1, V y2, V y3, V t) noexcept
{
  const V c1 = (y2 - y0) / 2.0;
  const V c2 = y0 - 2.5 * y1 + 2.0 * y2 - y3 / 2.0;
  const V c3 = 1.5 * (y1 - y2) + (y3 - y0) / 2.0;
  return ((c3 * t + c2) * t + c1) * t + y1;
}

// The four ring samples around a line's read position and the fraction
// between the middle two.
struct Taps
{
  double y[4];
  double t;
};

// Advances the line's glide and finds the samples `delayCurrent + offset`
// behind the write head as it is after `ahead` pending writes. Positions
// outside the written history give 0.
inline Taps tapsOf(TapeDelay::Line& line, double offset, std::uint32_t ahead) noexcept
{
  line.delayCurrent += (line.delayTarget - line.delayCurrent) * line.glide;

  const auto size = static_cast<std::int64_t>(line.buffer.size());
  auto head = static_cast<std::int64_t>(line.writeIndex) + ahead;
  if (head >= size)
    head -= size;
  const std::int64_t valid = std::min<std::int64_t>(std::int64_t{line.filled} + ahead, size);

  Taps taps{};
  const double p = static_cast<double>(head) - (line.delayCurrent + offset);
  if (!std::isfinite(p))
    return taps; // all 0: the curve through them is 0
  const double fl = std::floor(p);
  taps.t = p - fl;
  const auto i = static_cast<std::int64_t>(fl);

  // Valid positions k satisfy oldest <= k < head (unwrapped).
  const std::int64_t oldest = head - valid;
  const float* ring = line.buffer.data();
  if (i - 1 >= oldest && i + 2 < head && i - 1 >= 0)
  {
    // Common case: all four inside the history and no wrap.
    const float* r = ring + (i - 1);
    for (int j = 0; j < 4; ++j)
      taps.y[j] = r[j];
  }
  else
  {
    for (int j = 0; j < 4; ++j)
    {
      const std::int64_t k = i - 1 + j;
      if (k < head && k >= oldest)
        taps.y[j] = ring[k < 0 ? k + size : k];
    }
  }
  return taps;
}

// Whether every read of the line in the next `frames` frames, at most
// `swing` samples either side of its delay, lies inside the written history
// with neither the reads nor the write head crossing the end of the ring. Then
// tapsOf() needs none of its checks over those frames.
inline bool readsClear(const TapeDelay::Line& line, std::uint32_t frames, double swing) noexcept
{
  // A read at delay d reaches d + 2 behind the head and 2 short of it.
  const double longest = std::max(line.delayCurrent, line.delayTarget) + swing + 3.0;
  const double shortest = std::min(line.delayCurrent, line.delayTarget) - swing - 3.0;
  return std::uint64_t{line.writeIndex} + frames < line.buffer.size() &&
         longest <= line.writeIndex && longest <= line.filled && shortest >= 0.0;
}

#if defined(__GNUC__)
// The cut chains of both lines as one chain of pairs: coefficients and states
// loaded from the lines, the states stored back when done. Both lines must
// have the same sections switched on (set() designs them alike).
class CutPair
{
public:
  static bool fits(const TapeDelay::Line& l, const TapeDelay::Line& r) noexcept
  {
    return l.lowCutOn == r.lowCutOn && l.highCutSections == r.highCutSections &&
           l.highCutFirstOrder == r.highCutFirstOrder && l.bandwidthOn == r.bandwidthOn;
  }

  CutPair(const TapeDelay::Line& l, const TapeDelay::Line& r) noexcept
    : mLowCutOn(l.lowCutOn)
    , mBandwidthOn(l.bandwidthOn)
    , mFirstOrder(l.highCutFirstOrder)
    , mSections(l.highCutSections)
    , mLowCut(l.lowCut, r.lowCut)
    , mHighCut1(l.highCut1, r.highCut1)
    , mHighCut2(l.highCut2, r.highCut2)
    , mBandwidth(l.bandwidth, r.bandwidth)
  {
  }

  Pair run(Pair x) noexcept
  {
    if (mLowCutOn)
      x = mLowCut.second(x);
    if (mSections >= 1)
      x = mFirstOrder ? mHighCut1.first(x) : mHighCut1.second(x);
    if (mSections == 2)
      x = mHighCut2.second(x);
    if (mBandwidthOn)
      x = mBandwidth.first(x);
    return x;
  }

  void store(TapeDelay::Line& l, TapeDelay::Line& r) const noexcept
  {
    mLowCut.store(l.lowCut, r.lowCut);
    mHighCut1.store(l.highCut1, r.highCut1);
    mHighCut2.store(l.highCut2, r.highCut2);
    mBandwidth.store(l.bandwidth, r.bandwidth);
  }

private:
  struct Section
  {
    Pair b0, b1, b2, a1, a2, z1, z2;
    Section(const Biquad& l, const Biquad& r) noexcept
      : b0{l.b0, r.b0}
      , b1{l.b1, r.b1}
      , b2{l.b2, r.b2}
      , a1{l.a1, r.a1}
      , a2{l.a2, r.a2}
      , z1{l.z1, r.z1}
      , z2{l.z2, r.z2}
    {
    }
    Pair second(Pair x) noexcept { return secondOrder(x, b0, b1, b2, a1, a2, z1, z2); }
    Pair first(Pair x) noexcept { return firstOrder(x, b0, b1, a1, z1); }
    void store(Biquad& l, Biquad& r) const noexcept
    {
      l.z1 = z1[0];
      r.z1 = z1[1];
      l.z2 = z2[0];
      r.z2 = z2[1];
    }
  };

  bool mLowCutOn;
  bool mBandwidthOn;
  bool mFirstOrder;
  int mSections;
  Section mLowCut, mHighCut1, mHighCut2, mBandwidth;
};
#endif

} // namespace ostratapedelay::dsp::delaylanes
