// The offline fast path of the delay lines: stretches where both lines hold
// only silence are run in one go.

#include "dsp/TapeDelay.h"

#include <algorithm>
#include <cmath>

namespace ostratapedelay::dsp
{

namespace
{

bool sectionQuiet(const Biquad& q, double floor) noexcept
{
  return std::abs(q.z1) < floor && std::abs(q.z2) < floor;
}

bool filtersQuiet(const TapeDelay::Line& line, double floor) noexcept
{
  return (!line.lowCutOn || sectionQuiet(line.lowCut, floor)) &&
         (line.highCutSections < 1 || sectionQuiet(line.highCut1, floor)) &&
         (line.highCutSections < 2 || sectionQuiet(line.highCut2, floor)) &&
         (!line.bandwidthOn || sectionQuiet(line.bandwidth, floor));
}

void zeroFilters(TapeDelay::Line& line) noexcept
{
  line.lowCut.clear();
  line.highCut1.clear();
  line.highCut2.clear();
  line.bandwidth.clear();
}

void writeSilence(TapeDelay::Line& line, std::uint32_t frames) noexcept
{
  const auto size = static_cast<std::uint32_t>(line.buffer.size());
  const std::uint32_t first = std::min(frames, size - line.writeIndex);
  std::fill_n(line.buffer.begin() + line.writeIndex, first, 0.0f);
  std::fill_n(line.buffer.begin(), frames - first, 0.0f);
  line.writeIndex = static_cast<std::uint32_t>((std::uint64_t{line.writeIndex} + frames) % size);
  line.filled = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(std::uint64_t{line.filled} + frames, size));
}

} // namespace

// Frames from now on during which `line` reads nothing at or above `floor`.
// Frame j reads slots i0 + j - 1 .. i0 + j + 2 with i0 = floor(writeIndex - D),
// all written before now as long as j < D - 3.
std::uint32_t TapeDelay::silentFrames(const Line& line, std::uint32_t maxFrames,
                                      double floor) noexcept
{
  const double d = line.delayCurrent;
  const auto reach = static_cast<std::int64_t>(std::floor(d)) - 3;
  if (reach <= 0)
    return 0;
  std::int64_t frames = std::min<std::int64_t>(maxFrames, reach);
  const auto head = static_cast<std::int64_t>(line.writeIndex);
  const std::int64_t oldest = head - static_cast<std::int64_t>(line.filled);
  const auto size = static_cast<std::int64_t>(line.buffer.size());
  const std::int64_t i0 =
      static_cast<std::int64_t>(std::floor(static_cast<double>(line.writeIndex) - d));
  // Only the written history can hold sound.
  const std::int64_t from = std::max(i0 - 1, oldest);
  const std::int64_t to = std::min(i0 + frames + 1, head - 1);
  const float limit = static_cast<float>(floor);
  for (std::int64_t k = from; k <= to; ++k)
  {
    const float v = line.buffer[static_cast<std::size_t>(k < 0 ? k + size : k)];
    if (!(std::abs(v) < limit))
    {
      frames = std::min(frames, k - i0 - 2);
      break;
    }
  }
  return frames > 0 ? static_cast<std::uint32_t>(frames) : 0u;
}

std::uint32_t TapeDelay::skipSilence(std::uint32_t maxFrames, double floor) noexcept
{
  if (maxFrames == 0 || mLeft.buffer.empty() || mRight.buffer.empty())
    return 0;
  // Wobble moves the read positions; a glide changes them every frame.
  if (mWobbleCurrent != 0.0 || mWobbleTarget != 0.0)
    return 0;
  if (mLeft.delayCurrent != mLeft.delayTarget || mRight.delayCurrent != mRight.delayTarget)
    return 0;
  if (!filtersQuiet(mLeft, floor) || !filtersQuiet(mRight, floor))
    return 0;
  std::uint32_t frames = silentFrames(mLeft, maxFrames, floor);
  if (frames > 0)
    frames = silentFrames(mRight, frames, floor);
  if (frames == 0)
    return 0;

  zeroFilters(mLeft);
  zeroFilters(mRight);
  for (std::uint32_t j = 0; j < frames; ++j)
  {
    mFeedbackCurrent += (mFeedbackTarget - mFeedbackCurrent) * mSmooth;
    advancePhases();
    if (!mPlain)
    {
      // Silence never exceeds a follower: both only decay.
      mInputEnvelope *= mInputRelease;
      mEchoEnvelope *= mEchoRelease;
    }
  }
  mFramesToAnchor = 0; // the oscillators did not follow the phases
  mLastGain = gainFromEnvelopes();
  writeSilence(mLeft, frames);
  writeSilence(mRight, frames);
  return frames;
}

} // namespace ostratapedelay::dsp
